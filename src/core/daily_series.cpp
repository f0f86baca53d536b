#include "core/daily_series.hpp"

#include <array>
#include <string_view>

#include "core/calendar.hpp"
#include "core/failure.hpp"
#include "core/layout.hpp"
#include "core/table_reader.hpp"

namespace core {

daily_series::daily_series(int last_year)
    : last_year_(last_year),
      tmax_(static_cast<std::size_t>(last_year - first_year + 1) * (day_slots + 1), missing),
      tmin_(tmax_) {}

namespace {

[[noreturn]] void outside(const line_reader& input, const char* columns, const std::string& what) {
    throw failure(input.name() + ", line " + std::to_string(input.line_number()) + ", columns " +
                  columns + ": " + what);
}

}  // namespace

daily_series read_daily_series(line_reader& input, int last_year) {
    static const layout daily_record("(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)");
    // Every field of every line is checked by the field rules, as reading
    // the record would; a line in the usual shape of its fields (numbers
    // right-justified, reals with their point and four decimals) takes the
    // fast check of the fixed-field reader.
    table_line_reader fields(daily_record);
    const std::size_t width = static_cast<std::size_t>(daily_record.read_width());
    daily_series s(last_year);
    std::string_view line;
    while (input.next(line, width)) {
        const std::array<std::int32_t, 3> head = fields.check(input, line);
        std::int32_t year = head[0], mon = head[1], day = head[2];
        if (year < first_year) continue;
        if (year > last_year)
            outside(input, "1-4", "year " + std::to_string(year) + " is after " +
                                      std::to_string(last_year) + ", the last year this program stores");
        if (mon < 1 || mon > 12) outside(input, "5-7", "month " + std::to_string(mon) + " is not 1 to 12");
        std::int64_t d = day_of_year(year, mon, day);
        if (d < 1 || d > 366)
            outside(input, "8-10", "day " + std::to_string(day) + " of month " + std::to_string(mon) +
                                       " gives day of year " + std::to_string(d) + ", not 1 to 366");
        s.tmax(year, static_cast<int>(d)) = fields.real(input, line, 3);
        s.tmin(year, static_cast<int>(d)) = fields.real(input, line, 7);
        s.last_date = date{year, mon, day};
        s.has_last_date = true;
    }
    if (!s.has_last_date) throw failure(input.name() + ": no record of 1895 or later");
    s.last_day_of_year = static_cast<int>(day_of_year(s.last_date.year, s.last_date.month, s.last_date.day));
    return s;
}

void extend_next_year(daily_series& s, int bound) {
    int last = bound - 1;
    if (last > s.last_year() - 1) last = s.last_year() - 1;
    for (int y = first_year; y <= last; ++y) {
        int n = loader_leap_year(y) ? 366 : 365;
        for (int j = 1; j <= 365; ++j) {
            s.tmax(y, n + j) = s.tmax(y + 1, j);
            s.tmin(y, n + j) = s.tmin(y + 1, j);
        }
    }
}

}  // namespace core
