// The command line and the two output files shared by the dated and the
// period-of-record status reports.
//
// The rank file holds a header and one line per duration; the series file
// holds, for each duration, one line per ranked year from the lowest mean
// up. Both are written into temporary files beside their targets and only
// renamed into place once both are complete, so a failed run leaves earlier
// files of the same names as they were.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/daily_series.hpp"
#include "core/io.hpp"

namespace core {

// Every argument of a status report is a text of this length.
constexpr std::size_t status_argument_length = 1024;
// Output file names are formed in a field of this length.
constexpr std::size_t file_name_length = 1024;

// Arguments 1 to `count` as texts of 1,024 characters (index 0 is argument 1).
std::vector<std::string> take_arguments(int argc, char** argv, int count);

// Writes `usage` as a plain line on standard output and ends the run (exit
// status 0) when any of the arguments `tested` (numbered from 1) is blank.
void check_usage(const std::vector<std::string>& args, std::initializer_list<int> tested,
                 std::string_view usage);

// The date of arguments 1 to 3: the year through "(i4)", the month and the
// day through "(i2)". A malformed number is a failure naming the argument.
date read_requested_date(const std::vector<std::string>& args);

// The day of year of a requested date by the loader leap rule. A month
// outside 1 to 12, or a day that gives a day of year outside 1 to 366, is a
// failure: such a date would fall outside the series tables.
int checked_day_of_year(const date& requested);

// Today's local date as CCYYMMDD.
std::string today_ccyymmdd();

struct output_names {
    std::string ranks, series;
};

// Forms the two output names, each cut to 1,024 characters and without its
// trailing blanks, and checks them before any input is read: the two must
// differ, and no part of a name between slashes may be longer than the file
// system allows (or empty at the end), so a run that could not create its
// files fails before it starts.
output_names form_output_names(std::string_view ranks, std::string_view series);

class status_files {
public:
    // Creates the rank file and then the series file (as temporary files)
    // and writes the rank file's header line.
    explicit status_files(const output_names& names);

    // One rank line: reference date, duration label, number of years,
    // cold rank, warm rank, value and anomaly.
    void rank_line(const date& reference, std::string_view label, std::int32_t nyears,
                   std::int32_t cold_rank, std::int32_t warm_rank, float value, float anomaly);
    // One series line: duration label, warm rank of the position, year label
    // and the value at the position.
    void series_line(std::string_view label, std::int32_t warm_rank, std::int32_t year_label, float value);

    // Writes both files out completely, then closes and renames the series
    // file and then the rank file into place.
    void commit();

private:
    replacement_file ranks_;
    replacement_file series_;
};

}  // namespace core
