#include "core/window.hpp"

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "core/failure.hpp"

// Sums and means must round to single precision after every operation.
static_assert(FLT_EVAL_METHOD == 0, "float arithmetic must not carry excess precision");

namespace core {

window_sum sum_window(const daily_series& s, int y, int j, int k, day_rule rule, day_order order) {
    const float* hi = s.tmax_row(y);
    const float* lo = s.tmin_row(y);
    const float* tested = rule.counted_by == day_rule::test::tmax ? hi : lo;
    float sum = 0.0f;
    std::int32_t count = 0;
    int first = j, last = j + k - 1;
    for (int i = 0; i < k; ++i) {
        int d = order == day_order::ascending ? first + i : last - i;
        if (!(tested[d] > present_above)) continue;
        switch (rule.adds) {
        case day_rule::term::mean_of_both: {
            float both = hi[d] + lo[d];
            float half = 0.5f * both;
            sum = sum + half;
            break;
        }
        case day_rule::term::tmax:
            sum = sum + hi[d];
            break;
        case day_rule::term::tmin:
            sum = sum + lo[d];
            break;
        case day_rule::term::nothing:
            break;
        }
        ++count;
    }
    return {sum, count};
}

void window_means(const daily_series& s, int j, int k, int e, ranked_window& out) {
    if (e > s.last_year() || j < 1 || k < 1 || j + k - 1 > day_slots)
        throw failure("internal: window (" + std::to_string(j) + ", " + std::to_string(k) + ") of year " +
                      std::to_string(e) + " lies outside the series");
    out.nyears = e - (first_year - 1);
    for (int y = first_year; y <= e; ++y) {
        window_sum w = sum_window(s, y, j, k, rule_mean, day_order::ascending);
        out.mean[static_cast<std::size_t>(y - first_year)] = w.sum / static_cast<float>(w.count);
        out.year[static_cast<std::size_t>(y - first_year)] = y;
    }
}

void rank_window(ranked_window& w) {
    // An insertion sort on each stretch between NaN entries is stable and so
    // gives the exchange sort's order with far fewer steps.
    int n = w.filled();
    int begin = 0;
    while (begin < n) {
        int end = begin;
        while (end < n && !std::isnan(w.mean[static_cast<std::size_t>(end)])) ++end;
        for (int i = begin + 1; i < end; ++i) {
            float m = w.mean[static_cast<std::size_t>(i)];
            std::int32_t y = w.year[static_cast<std::size_t>(i)];
            int p = i;
            while (p > begin && w.mean[static_cast<std::size_t>(p - 1)] > m) {
                w.mean[static_cast<std::size_t>(p)] = w.mean[static_cast<std::size_t>(p - 1)];
                w.year[static_cast<std::size_t>(p)] = w.year[static_cast<std::size_t>(p - 1)];
                --p;
            }
            w.mean[static_cast<std::size_t>(p)] = m;
            w.year[static_cast<std::size_t>(p)] = y;
        }
        begin = end + 1;  // past the NaN, which stays in place
    }
}

window_status window_status_of(const ranked_window& w, int e) {
    window_status st;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    int n = w.filled();
    if (n == 0) {
        st.value = st.average = st.anomaly = st.percentile = st.low = st.high = nan;
        return st;
    }
    float acc = 0.0f;
    st.value = nan;
    for (int p = 1; p <= n; ++p) {
        acc = acc + w.mean[static_cast<std::size_t>(p - 1)];
        if (w.year[static_cast<std::size_t>(p - 1)] == e) {
            st.cold_rank = p;
            st.value = w.mean[static_cast<std::size_t>(p - 1)];
        }
    }
    st.ranked = true;
    st.average = acc / static_cast<float>(n);
    st.anomaly = st.value - st.average;
    st.warm_rank = n - st.cold_rank + 1;
    float cold = static_cast<float>(st.cold_rank);
    float scaled = cold * 100.0f;
    st.percentile = scaled / static_cast<float>(n + 1);
    st.low = w.mean[0];
    st.high = w.mean[static_cast<std::size_t>(n - 1)];
    return st;
}

}  // namespace core
