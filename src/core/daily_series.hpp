// The daily series: TMAX and TMIN by year and day slot, loaded from the
// daily input, with the last date stored.
#pragma once

#include <cstdint>
#include <vector>

#include "core/io.hpp"

namespace core {

constexpr int first_year = 1895;
constexpr int day_slots = 732;     // slots 1 to 732 of each year
constexpr float missing = -999.0f;
// A daily value is present when strictly above this threshold.
constexpr float present_above = -998.0f;

struct date {
    std::int32_t year = 0, month = 0, day = 0;
};

class daily_series {
public:
    // Years 1895 to `last_year`, every slot missing.
    explicit daily_series(int last_year);

    int last_year() const { return last_year_; }
    float tmax(int year, int slot) const { return tmax_[index(year, slot)]; }
    float tmin(int year, int slot) const { return tmin_[index(year, slot)]; }
    float& tmax(int year, int slot) { return tmax_[index(year, slot)]; }
    float& tmin(int year, int slot) { return tmin_[index(year, slot)]; }
    // Slots 1 to 732 of a year, at index 1 to 732 (index 0 unused).
    const float* tmax_row(int year) const { return &tmax_[index(year, 0)]; }
    const float* tmin_row(int year) const { return &tmin_[index(year, 0)]; }

    bool has_last_date = false;
    date last_date;
    int last_day_of_year = 0;

private:
    std::size_t index(int year, int slot) const {
        return static_cast<std::size_t>(year - first_year) * (day_slots + 1) + static_cast<std::size_t>(slot);
    }
    int last_year_;
    std::vector<float> tmax_, tmin_;
};

// Loads the daily input to its end. Records before 1895 are skipped; a record
// of a year after the last supported year, with a month outside 1 to 12 or a
// day of year outside 1 to 366, and an input that stores no record at all,
// are failures: storing them would fall outside the tables.
daily_series read_daily_series(line_reader& input, int last_year);

// Copies days 1 to 365 of each year y+1 into the slots after year y's own
// days, for y from 1895 to bound - 1 (never past the store's last year).
void extend_next_year(daily_series& series, int bound);

}  // namespace core
