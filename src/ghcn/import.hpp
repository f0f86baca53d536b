// Reading GHCN-Daily station files into the suite's daily series.
//
// Two forms of station file are read, told apart by their content:
// - the fixed-column .dly form, one line per station, year, month and
//   element with 31 day slots (value, measurement, quality and source flag);
// - the per-station CSV form, one line per station, date and element:
//   ID,YYYYMMDD,ELEMENT,VALUE,MFLAG,QFLAG,SFLAG,OBS-TIME.
// Only TMAX and TMIN (tenths of a degree C) are used; every line of every
// element is checked all the same. Values come out in exact hundredths of a
// degree F, so that the written line has no binary rounding noise.
//
// Several files (and several stations in one file) make one record: each
// day comes from the first source that reports a TMAX or a TMIN for it,
// sources taken file by file in the order they are read and, within a file,
// station by station in the order of each station's first line.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "core/daily_series.hpp"
#include "core/io.hpp"

namespace ghcn {

// Hundredths of a degree F of a value in tenths of a degree C, exactly:
// F = C x 9/5 + 32 = tenths x 0.18 + 32.
constexpr std::int32_t hundredths_f(std::int32_t tenths_c) { return tenths_c * 18 + 3200; }
// The suite's missing value, -999.0 F, in hundredths.
constexpr std::int32_t missing_hundredths = -99900;
// The lowest value in tenths of a degree C that is not below absolute zero.
constexpr std::int32_t lowest_tenths = -2731;
// Longest line either form can have, and the bytes a reader keeps of a line:
// one more, so that a longer line is still seen as too long.
constexpr std::size_t dly_length = 269;
constexpr std::size_t kept_length = dly_length + 1;

struct import_options {
    // Keep values whose quality flag is set, instead of making them missing.
    bool keep_flagged = false;
    // Write a day with only one of TMAX and TMIN as it is, instead of with
    // both missing.
    bool keep_lone = false;
    // The last date written.
    core::date to{9999, 12, 31};
};

// One day of the daily series, the values in hundredths of a degree F.
struct day_values {
    std::int32_t year, month, day;
    std::int32_t tmax, tmin;
};

enum class file_form { none, dly, csv };

// Days of a month by the Gregorian calendar, as GHCN-Daily dates are.
int days_in_month(int year, int month);

class station_import {
public:
    explicit station_import(const import_options& options);
    ~station_import();
    station_import(const station_import&) = delete;
    station_import& operator=(const station_import&) = delete;

    // Reads one station file to its end, checking every line. A bad line is
    // a core::failure naming the source, the line, the columns and the text;
    // so is a file without any TMAX or TMIN line. Returns the form read.
    file_form read(core::line_reader& input);

    // The joined series: one entry per day that a source reports a TMAX or a
    // TMIN for, from 1895-01-01 to the last date of the options, in date
    // order, with the quality and day rules of the options applied.
    std::vector<day_values> days() const;

private:
    struct store;
    import_options options_;
    std::unique_ptr<store> store_;
};

// The daily series line of one day: 70 columns and a line feed, exactly as
// the daily record layout writes (year, month, day, tmax, 0.0, 0, 0, tmin,
// 0.0, 0, 0). Writes `daily_line_size` bytes at `out`.
constexpr std::size_t daily_line_size = 71;
void format_daily_line(char* out, const day_values& d);

void write_days(core::out_stream& out, const std::vector<day_values>& days);

}  // namespace ghcn
