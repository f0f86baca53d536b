// The period-of-record status report: for each of the eleven standard
// durations, the window ending on a reference date is ranked among the same
// window of every year from 1895 to the last year of the input, and the
// rank file and the series file are written. The reports of this kind
// differ only in the per-day rule (which value decides that a day counts
// and what it adds) and in their command line.
#pragma once

#include <string_view>

#include "core/daily_series.hpp"
#include "core/status_files.hpp"
#include "core/window.hpp"

namespace core {

// Figures of "no value" in the rank line.
constexpr std::int32_t no_rank = -9999;
constexpr float no_value = -9999.0f;

// The reference date: the last date of the input when the request is at or
// after it in each of year, month and day compared separately (not in
// calendar order), otherwise the request itself.
date reference_date(const date& requested, const date& last);

// The per-day rule of an element name: "TAVG", "TMIN" or "TMAX" (exact
// case, trailing blanks ignored); any other text adds nothing.
day_rule rule_of_element(std::string_view element);

// Writes the eleven rank lines and the series blocks for
// `requested` (after the fallback to the last date) into `files`. The
// series must be loaded and not yet extended; it is extended here with the
// last year of the input as bound.
void write_period_of_record(daily_series& series, const date& requested, day_rule rule, status_files& files);

// The whole run after the command line has been read and checked: loads
// the daily series from standard input, creates the two files named
// `names`, writes them and puts them in place.
void run_period_of_record(const date& requested, const output_names& names, day_rule rule);

// The arguments of such a report, as its --help lists them.
extern const char* const region_report_arguments;

// The whole run of a report that takes year, month, day and region
// (spanreport, highreport, lowreport): the usage check on all four, the
// date read and checked, the files region_ranks and region_ts.
void run_region_report(int argc, char** argv, day_rule rule);

}  // namespace core
