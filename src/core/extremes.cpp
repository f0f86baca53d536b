#include "core/extremes.hpp"

#include <utility>

namespace core {

extremes_list warm_extremes(const duration_cells& cells) {
    extremes_list list;
    for (int j = 1; j <= table_days; ++j) {
        int n = cells.nyears[static_cast<std::size_t>(j)];
        list[static_cast<std::size_t>(j - 1)] = {cells.mean(j, n), cells.year(j, n), j};
    }
    return list;
}

extremes_list cold_extremes(const duration_cells& cells) {
    extremes_list list;
    for (int j = 1; j <= table_days; ++j)
        list[static_cast<std::size_t>(j - 1)] = {cells.mean(j, 1), cells.year(j, 1), j};
    return list;
}

void sort_extremes(extremes_list& list) {
    for (std::size_t pass = 0; pass < list.size(); ++pass)
        for (std::size_t i = 0; i + 1 < list.size(); ++i)
            if (list[i].mean > list[i + 1].mean) std::swap(list[i], list[i + 1]);
}

}  // namespace core
