// What the pictures take from a ranks-all table: where one year stands in a
// window, for every window of the table (the rank map) or for one window
// (the window chart). Nothing here draws; the drawing units take these.
//
// A year's standing is counted among the years of the window that have a
// mean. A year without a counted day in the window holds -999.00 in the
// means line; it is not ranked, and since the builder's sort leaves such an
// entry where it stands (the order holds only between such entries), the
// standing is counted from the means themselves, not read off the position:
// the cold rank is one more than the years with a lower mean, or an equal
// mean at an earlier position (the table's order for equal means).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/io.hpp"
#include "core/ranks_all_table.hpp"

namespace plot {

// The years the table format has room for: 1895 to 2034.
constexpr int first_table_year = 1895;
constexpr int last_table_year = first_table_year + core::table_positions - 1;

struct year_standing {
    bool ranked = false;  // the year is among the window's years and has a mean
    int cold_rank = 0;    // 1 is the coldest
    int count = 0;        // the window's years with a mean
    float mean = 0.0f;    // the year's mean, as the table gives it
    int warm_rank() const { return count - cold_rank + 1; }
};

// Where `wanted` stands among positions 1 to `nyears` of a cell (`mean` and
// `year` at index 0 to nyears - 1; `nyears` at most 140, below 1 for none).
year_standing standing_in(const float* mean, const std::int32_t* year, int nyears, int wanted);

// The percentile the pictures draw: 100 * cold rank / (count + 1), as the
// status reports give it. The coldest of 122 is 0.8, the warmest 99.2.
double percentile(const year_standing& s);

// Whether the year is the warmest, the coldest of the window's years (a
// window of a single year has no record).
bool warmest_of_all(const year_standing& s);
bool coldest_of_all(const year_standing& s);

// 1st, 2nd, 3rd, 4th, ..., 11th, 12th, 13th, ..., 21st, 22nd, ...
std::string ordinal(int n);
// "3rd warmest of 122", "warmest of 122", "5th coldest of 122": from the
// nearer end, the warm end when the year stands in the middle.
std::string rank_text(const year_standing& s);

// One window's standing of the map's year, two bytes a window.
struct map_cell {
    std::uint8_t cold_rank = 0;  // 0: the year is not ranked in this window
    std::uint8_t count = 0;
};

// The map's year in every window of a table.
struct rank_grid {
    int year = 0;
    int last_year = 0;  // the largest year ranked in any window
    std::vector<map_cell> cells = std::vector<map_cell>(core::table_pairs);

    const map_cell& at(int start_day, int duration) const {
        return cells[static_cast<std::size_t>((start_day - 1) * core::table_days + duration - 1)];
    }
    map_cell& at(int start_day, int duration) {
        return cells[static_cast<std::size_t>((start_day - 1) * core::table_days + duration - 1)];
    }
};
year_standing standing_of(const map_cell& c);

// Reads a whole table (every field checked, as for topten) and keeps where
// `year` stands in every window. Each years line must follow the means line
// of its own cell, as in every table fulltable writes, and every window must
// be there. Failures name the line: a pair whose two lines name different
// cells or counts; a count above 140; a ranked position holding a year
// outside 1895 to 2034; a window missing; `year` ranked in no window.
rank_grid read_rank_grid(core::line_reader& source, int year);

// One window of a table: its years with a mean, in year order, and where
// the chart's year stands.
struct window_ranks {
    int start_day = 0, duration = 0, year = 0;
    std::vector<std::int32_t> years;
    std::vector<float> means;
    year_standing standing;
    double average = 0.0;  // the mean of all the years' means
    int first_year() const { return years.front(); }
    int last_year() const { return years.back(); }
};

// Reads a whole table (every field checked) and keeps the window of
// `start_day` and `duration`, each line placed by its own fields as topten
// places them. Failures: the window's means line or years line missing, its
// count above 140, a ranked position holding a year outside 1895 to 2034,
// `year` not among its ranked years or without a mean in it.
window_ranks read_window_ranks(core::line_reader& source, int start_day, int duration, int year);

}  // namespace plot
