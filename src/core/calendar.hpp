// Calendar tables, the two leap-year rules and the standard durations.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace core {

// Days before the first of each month, index 1 to 12 (index 0 unused), in a
// common year and in a leap year.
extern const std::array<std::int32_t, 13> dyear;
extern const std::array<std::int32_t, 13> dyearl;
// The three-letter month names, month m at characters 3m-2 to 3m.
extern const std::string_view month;
// The name of month m, 1 to 12.
std::string_view month_name(int m);

// Divisible by 4 and not 1900: the rule of the daily series.
constexpr bool loader_leap_year(std::int64_t year) { return year % 4 == 0 && year != 1900; }
// The Gregorian rule, used to turn a start day into a date.
constexpr bool calendar_leap_year(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Day of year of a date by the loader rule; the day is not checked against
// the month's length. The month must be 1 to 12; 64-bit so a day of any
// 32-bit value cannot overflow.
std::int64_t day_of_year(std::int64_t year, int month_number, std::int64_t day);

struct month_day {
    int month;
    int day;
};
// The last month whose days-before value is below n, and the day within it.
month_day month_and_day(int n, bool leap);

// A set of standard durations: `lengths` in days and their six-character
// `duration_labels`, in report order.
struct duration_set {
    const std::int32_t* lengths;
    const std::string_view* duration_labels;
    int size;
};
extern const duration_set durations_11;  // the dated and period-of-record reports
extern const duration_set durations_18;  // the last-day report

}  // namespace core
