#include "core/status_files.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/calendar.hpp"
#include "core/failure.hpp"
#include "core/layout.hpp"
#include "core/record.hpp"

namespace core {

namespace {

#ifdef NAME_MAX
constexpr std::size_t longest_name_part = NAME_MAX;
#else
constexpr std::size_t longest_name_part = 255;
#endif

// Each part of a path between slashes must be a name the file system can
// hold; the last part must not be empty (the name of a directory).
void check_name_parts(const std::string& name) {
    std::size_t begin = 0;
    for (;;) {
        std::size_t end = name.find('/', begin);
        std::size_t len = (end == std::string::npos ? name.size() : end) - begin;
        if (len > longest_name_part)
            throw failure("output file name " + quoted(name) + " has a part of " + std::to_string(len) +
                          " characters, more than the " + std::to_string(longest_name_part) +
                          " a file name may have");
        if (end == std::string::npos) {
            if (len == 0) throw failure("output file name " + quoted(name) + " names a directory, not a file");
            return;
        }
        begin = end + 1;
    }
}

std::string cut_name(std::string_view name) {
    std::string_view cut = name.substr(0, std::min(name.size(), file_name_length));
    return std::string(without_trailing_blanks(cut));
}

}  // namespace

std::vector<std::string> take_arguments(int argc, char** argv, int count) {
    std::vector<std::string> args;
    for (int i = 1; i <= count; ++i) args.push_back(fixed_argument(argc, argv, i, status_argument_length));
    return args;
}

void check_usage(const std::vector<std::string>& args, std::initializer_list<int> tested, std::string_view usage) {
    for (int i : tested) {
        if (is_blank(args[static_cast<std::size_t>(i - 1)])) {
            write_plain_line(standard_output(), usage);
            end_run();
        }
    }
}

date read_requested_date(const std::vector<std::string>& args) {
    static const layout year_field("(i4)");
    static const layout month_day_field("(i2)");
    date d;
    d.year = read_argument_number(args[0], year_field, 1);
    d.month = read_argument_number(args[1], month_day_field, 2);
    d.day = read_argument_number(args[2], month_day_field, 3);
    return d;
}

int checked_day_of_year(const date& requested) {
    if (requested.month < 1 || requested.month > 12)
        throw failure("argument 2: month " + std::to_string(requested.month) + " is outside 1 to 12");
    std::int64_t d = day_of_year(requested.year, requested.month, requested.day);
    if (d < 1 || d > 366)
        throw failure("argument 3: day " + std::to_string(requested.day) + " of month " +
                      std::to_string(requested.month) + " in " + std::to_string(requested.year) +
                      " gives day of year " + std::to_string(d) + ", outside 1 to 366");
    return static_cast<int>(d);
}

std::string today_ccyymmdd() {
    std::time_t now = std::time(nullptr);
    std::tm local;
    if (now == static_cast<std::time_t>(-1) || !localtime_r(&now, &local))
        throw failure("cannot read the local date from the system clock");
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}

output_names form_output_names(std::string_view ranks, std::string_view series) {
    output_names names{cut_name(ranks), cut_name(series)};
    if (names.ranks == names.series)
        throw failure("region too long: the rank file and the series file names, cut to " +
                      std::to_string(file_name_length) + " characters, would both be " + quoted(names.ranks));
    check_name_parts(names.ranks);
    check_name_parts(names.series);
    return names;
}

status_files::status_files(const output_names& names) : ranks_(names.ranks), series_(names.series) {
    write_plain_line(ranks_.out(), "      Date  Duration   #years  CRank  WRank   Value Anomaly");
}

void status_files::rank_line(const date& reference, std::string_view label, std::int32_t nyears,
                             std::int32_t cold_rank, std::int32_t warm_rank, float value, float anomaly) {
    static const layout line("(a3,i3,i5,4x,a6,i9,2i7,2(f8.2))");
    write_record(ranks_.out(), line,
                 {month_name(reference.month), reference.day, reference.year, label, nyears, cold_rank,
                  warm_rank, value, anomaly});
}

void status_files::series_line(std::string_view label, std::int32_t warm_rank, std::int32_t year_label,
                               float value) {
    static const layout line("(a6,1x,2(i4,1x),f10.4,1x)");
    write_record(series_.out(), line, {label, warm_rank, year_label, value});
}

void status_files::commit() {
    // Everything reaches both files before either replaces an earlier one,
    // so a write that fails (a full device) leaves both earlier files.
    ranks_.out().flush();
    series_.out().flush();
    series_.commit();
    ranks_.commit();
}

}  // namespace core
