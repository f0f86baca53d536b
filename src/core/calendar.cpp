#include "core/calendar.hpp"

namespace core {

const std::array<std::int32_t, 13> dyear = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
const std::array<std::int32_t, 13> dyearl = {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
const std::string_view month = "JanFebMarAprMayJunJulAugSepOctNovDec";

std::string_view month_name(int m) { return month.substr(static_cast<std::size_t>(3 * m - 3), 3); }

std::int64_t day_of_year(std::int64_t year, int month_number, std::int64_t day) {
    return (loader_leap_year(year) ? dyearl : dyear)[static_cast<std::size_t>(month_number)] + day;
}

month_day month_and_day(int n, bool leap) {
    const auto& t = leap ? dyearl : dyear;
    month_day r{1, n};
    for (int m = 1; m <= 12; ++m) {
        if (t[static_cast<std::size_t>(m)] < n) {
            r.month = m;
            r.day = n - t[static_cast<std::size_t>(m)];
        }
    }
    return r;
}

namespace {

const std::int32_t lengths_11[] = {1, 3, 4, 7, 14, 21, 30, 90, 182, 273, 365};
const std::string_view labels_11[] = {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week",
                                      " 1-mon", " 3-mon", " 6-mon", " 9-mon", "1-year"};
const std::int32_t lengths_18[] = {1, 3, 4, 7, 14, 21, 30, 60, 90, 121, 152, 182, 212, 243, 273, 304, 334, 365};
const std::string_view labels_18[] = {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week",
                                      " 1-mon", " 2-mon", " 3-mon", " 4-mon", " 5-mon", " 6-mon",
                                      " 7-mon", " 8-mon", " 9-mon", "10-mon", "11-mon", "1-year"};

}  // namespace

const duration_set durations_11 = {lengths_11, labels_11, 11};
const duration_set durations_18 = {lengths_18, labels_18, 18};

}  // namespace core
