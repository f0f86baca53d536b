// topten: the ten warmest and the ten coldest periods of one duration, read
// from a region's ranks-all table on standard input. Built twice: `topten`,
// and `topten-trace` (TOPTEN_TRACE defined), which also writes a line before
// and after every table line it reads.
#include <unistd.h>

#include "core/calendar.hpp"
#include "core/extremes.hpp"
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "core/table_reader.hpp"

#if defined(TOPTEN_TRACE)
#define PROGRAM "topten-trace"
constexpr bool with_trace = true;
#else
#define PROGRAM "topten"
constexpr bool with_trace = false;
#endif

namespace {

using namespace core;

void write_entry(out_stream& out, int rank, const extreme_entry& e) {
    static const layout entry_line("(i4,f8.2,a,1x,i4,1x,2(i2,1x))");
    month_day md = month_and_day(e.start_day, calendar_leap_year(e.year));
    write_record(out, entry_line, {rank, e.mean, "  | Start Date:", e.year, md.month, md.day});
}

int topten(int argc, char** argv) {
    static const layout duration_field("(i5)");
    static const layout title_line("(a,i3)");

    out_stream& out = standard_output();
    std::string arg = fixed_argument(argc, argv, 1, 40);
    if (is_blank(arg)) {
        write_plain_line(out, "<DURATION_#DAYS> < Input File (REGION_ranks_all.txt)");
        end_run();
    }
    std::int32_t d = read_argument_in_range(arg, duration_field, 1, "duration", 1, table_days);

    line_reader input(STDIN_FILENO, "standard input");
    duration_cells cells = read_ranks_all_table(input, d, with_trace ? &out : nullptr);

    extremes_list warm = warm_extremes(cells);
    sort_extremes(warm);
    write_record(out, title_line, {"Top 10 Warm for Duration (Days): ", d});
    for (int r = 1; r <= 10; ++r) write_entry(out, r, warm[static_cast<std::size_t>(table_days - r)]);

    write_plain_line(out, "");

    extremes_list cold = cold_extremes(cells);
    sort_extremes(cold);
    write_record(out, title_line, {"Top 10 Cold for Duration (Days): ", d});
    for (int r = 1; r <= 10; ++r) write_entry(out, r, cold[static_cast<std::size_t>(r - 1)]);
    end_run();
}

const program_help help = {
    PROGRAM " D < TABLE",
    "Reads a region's ranks-all table, as fulltable writes it, on standard\n"
    "input and prints the ten warmest and the ten coldest periods of D days:\n"
    "the warmest (coldest) year of the window of each start day, ordered by\n"
    "mean, each listed with its mean, its year and the date it starts.\n"
#if defined(TOPTEN_TRACE)
    "This build also writes a line before and after every table line it reads.\n"
#endif
    "A blank argument prints the usage line and reads nothing.\n",
    "  D  duration in days, 1 to 365 (its first five characters)\n",
};

}  // namespace

int main(int argc, char** argv) { return core::run_program(PROGRAM, help, topten, argc, argv); }
