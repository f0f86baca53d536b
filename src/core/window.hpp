// Windows of the year and their ranking: where a window starts, the last
// year it can be ranked for, the per-year means, the sort and the summary
// figures a status report reads off the ranked list.
#pragma once

#include <array>
#include <cstdint>

#include "core/daily_series.hpp"

namespace core {

constexpr int max_positions = 140;

// The start day of the window of `k` days that ends on day of year `e`;
// the fold is always 365 days.
constexpr int window_start(int e, int k) {
    int j = e - k + 1;
    return j <= 0 ? j + 365 : j;
}

// The last year whose window (j, k) is ranked, for reference year r and
// reference day of year d.
constexpr int end_year(int j, int k, int r, int d) {
    if (d < j) return d + 365 < j + k - 1 ? r - 2 : r - 1;
    return d < j + k - 1 ? r - 1 : r;
}

// A window's per-year values and, after `rank_window`, its ranked list:
// position p (1 to nyears) at index p - 1.
struct ranked_window {
    int nyears = 0;  // end year - 1894; 0 or less when no year is ranked
    std::array<float, max_positions> mean;
    std::array<std::int32_t, max_positions> year;
    // Number of positions that hold a year.
    int filled() const { return nyears < 0 ? 0 : nyears; }
};

// Which daily value decides that a day counts, and what a counted day adds.
struct day_rule {
    enum class test { tmax, tmin } counted_by;
    enum class term { mean_of_both, tmax, tmin, nothing } adds;
};
constexpr day_rule rule_mean{day_rule::test::tmax, day_rule::term::mean_of_both};
constexpr day_rule rule_tmax{day_rule::test::tmax, day_rule::term::tmax};
constexpr day_rule rule_tmin_by_tmin{day_rule::test::tmin, day_rule::term::tmin};
constexpr day_rule rule_tmin_by_tmax{day_rule::test::tmax, day_rule::term::tmin};
constexpr day_rule rule_nothing{day_rule::test::tmax, day_rule::term::nothing};

enum class day_order { ascending, descending };

// The sum and count of the counted days of window (j, k) in year y, added
// one day at a time in single precision, in the given order.
struct window_sum {
    float sum;
    std::int32_t count;
};
window_sum sum_window(const daily_series& s, int y, int j, int k, day_rule rule, day_order order);

// The mean of the daily mean over window (j, k) for years 1895 to e, days
// added from the first up; a year without a counted day gets 0/0, a NaN.
// The list is in chronological order with the year tags.
void window_means(const daily_series& s, int j, int k, int e, ranked_window& out);

// Sorts the positions by mean, ascending, carrying the years, exactly as an
// exchange sort that swaps only when the earlier mean is greater: equal
// means keep their order and a NaN stays where it is, with the stretches
// before and after it each sorted on their own.
void rank_window(ranked_window& w);

struct window_status {
    bool ranked = false;  // false when no year is ranked (nyears of 0 or less)
    std::int32_t cold_rank = 0, warm_rank = 0;
    float value, average, anomaly, percentile, low, high;
};

// The figures of year e in a ranked list. With no ranked year the ranks are
// 0 and every real figure is a NaN.
window_status window_status_of(const ranked_window& w, int e);

}  // namespace core
