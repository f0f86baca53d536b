// ghcnimport: GHCN-Daily station files (.dly or per-station CSV) in, the
// suite's daily series out on standard output, one line per day in date
// order. Every file is read and checked to its end before the first line is
// written, so a failed run writes nothing.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "ghcn/import.hpp"

namespace {

const core::program_help help = {
    "ghcnimport [--keep-flagged] [--keep-lone] [--to YYYY-MM-DD] [FILE...] > SERIES",
    "Converts GHCN-Daily station files, in the .dly form or the per-station CSV form\n"
    "(told apart by their content), into the daily series the other programs read:\n"
    "one line per day with a TMAX or a TMIN, from 1895-01-01 on, in date order, in\n"
    "degrees F from tenths of a degree C. Without FILE, or with -, reads standard\n"
    "input. With several files each day comes from the first file that reports it.\n"
    "A value with a quality flag failed one of the dataset's checks and is written\n"
    "missing (-999.0000). A day with only one of TMAX and TMIN is written with both\n"
    "missing, since the programs would otherwise put -999 into a daily mean.\n"
    "Example: ghcnimport USW00094728.dly | nowreport\n",
    "  --keep-flagged    keep values whose quality flag is set\n"
    "  --keep-lone       write a day with only TMAX or only TMIN as it is\n"
    "  --to YYYY-MM-DD   write no day after this date (fulltable stores up to 2016)\n"
    "  --                end of the options\n"};

// A date given as YYYY-MM-DD, checked against the calendar.
core::date read_date_option(const std::string& text) {
    auto digits = [&](std::size_t at, std::size_t n) {
        for (std::size_t i = at; i < at + n; ++i)
            if (text[i] < '0' || text[i] > '9') return false;
        return true;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !digits(0, 4) || !digits(5, 2) || !digits(8, 2))
        throw core::failure("option --to: malformed date " + core::quoted(text) + ", not YYYY-MM-DD");
    core::date d{std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2))};
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > ghcn::days_in_month(d.year, d.month))
        throw core::failure("option --to: no such date " + core::quoted(text));
    return d;
}

int ghcnimport(int argc, char** argv) {
    ghcn::import_options options;
    std::vector<std::string> files;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (arg == "--keep-flagged") {
            options.keep_flagged = true;
        } else if (arg == "--keep-lone") {
            options.keep_lone = true;
        } else if (arg == "--to" || arg.rfind("--to=", 0) == 0) {
            if (arg == "--to" && i + 1 == argc) throw core::failure("option --to needs a date YYYY-MM-DD");
            options.to = read_date_option(arg == "--to" ? argv[++i] : arg.substr(5));
        } else if (arg == "--help" || arg == "--version") {
            char* alone[] = {argv[0], argv[i], nullptr};
            core::answer_help_or_version("ghcnimport", help, 2, alone);
        } else {
            throw core::failure("unknown option " + core::quoted(arg) + " (see ghcnimport --help)");
        }
    }
    if (files.empty()) files.push_back("-");

    ghcn::station_import import(options);
    for (const std::string& name : files) {
        if (name == "-") {
            core::line_reader input(STDIN_FILENO, "standard input");
            import.read(input);
            continue;
        }
        int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw core::failure("cannot open " + name + ": " + std::strerror(errno));
        struct closer {
            int fd;
            ~closer() { ::close(fd); }
        } close_at_end{fd};
        core::line_reader input(fd, name);
        import.read(input);
    }
    ghcn::write_days(core::standard_output(), import.days());
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("ghcnimport", help, ghcnimport, argc, argv); }
