// The extremes list of the top-ten report: one entry per start day, the
// warmest or the coldest year of the window of one duration, ordered by
// mean with the exchange sort.
#pragma once

#include <array>
#include <cstdint>

#include "core/table_reader.hpp"

namespace core {

struct extreme_entry {
    float mean;
    std::int32_t year;
    std::int32_t start_day;
};

using extremes_list = std::array<extreme_entry, table_days>;

// Entry j - 1 holds start day j's last ranked position (the warmest year).
extremes_list warm_extremes(const duration_cells& cells);
// Entry j - 1 holds start day j's first position (the coldest year).
extremes_list cold_extremes(const duration_cells& cells);

// 365 passes of neighbour exchanges, a pair exchanged only when the first
// mean is greater: equal means keep their order and a NaN never moves.
void sort_extremes(extremes_list& list);

}  // namespace core
