// The daily series store, the next-year extension, window placement, the
// end year, window means, the ranking and the summary figures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "core/daily_series.hpp"
#include "core/failure.hpp"
#include "core/window.hpp"
#include "support.hpp"

using test_support::daily_line;

namespace {

const float a_nan = std::numeric_limits<float>::quiet_NaN();

std::uint32_t bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

core::daily_series load(const std::string& text) {
    core::line_reader src = core::line_reader::from_text(text, "standard input");
    return core::read_daily_series(src, 2020);
}

std::string failure_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::failure& e) {
        return e.what();
    }
    return "(no failure)";
}

// The exchange sort as written: nyears passes over the whole list, with an
// exchange only when the earlier mean is strictly greater.
void exchange_sort(std::vector<float>& mean, std::vector<std::int32_t>& year) {
    std::size_t n = mean.size();
    for (std::size_t pass = 0; pass < n; ++pass) {
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (mean[i] > mean[i + 1]) {
                std::swap(mean[i], mean[i + 1]);
                std::swap(year[i], year[i + 1]);
            }
        }
    }
}

}  // namespace

TEST(WindowStart, Table) {
    struct c {
        int e, k, j;
    } cases[] = {
        {1, 1, 1}, {1, 3, 364}, {1, 365, 2}, {366, 1, 366}, {366, 365, 2}, {100, 100, 1},
        {100, 101, 365}, {200, 365, 201}, {15, 30, 351}, {365, 365, 1},
    };
    for (const auto& k : cases) EXPECT_EQ(core::window_start(k.e, k.k), k.j) << k.e << " " << k.k;
}

TEST(EndYear, Table) {
    const int r = 2000;
    struct c {
        int j, k, d, e;
    } cases[] = {
        {91, 10, 100, r},       // ends on D
        {91, 11, 100, r - 1},   // would end after D
        {200, 10, 100, r - 1},  // starts after D
        {300, 200, 100, r - 2}, // starts after D and ends past D + 365
        {300, 166, 100, r - 1}, // ends on D + 365 exactly
        {300, 167, 100, r - 2},
        {1, 1, 1, r},
        {364, 3, 1, r - 1},
        {366, 1, 366, r},
    };
    for (const auto& k : cases) EXPECT_EQ(core::end_year(k.j, k.k, r, k.d), k.e) << k.j << " " << k.k << " " << k.d;
    // For windows that end on the reference day: the reference year when
    // the window fits in its days so far, else the year before.
    for (int l = 1; l <= 366; ++l) {
        for (int k : {1, 3, 4, 7, 14, 21, 30, 60, 90, 121, 152, 182, 212, 243, 273, 304, 334, 365}) {
            int j = core::window_start(l, k);
            EXPECT_EQ(core::end_year(j, k, r, l), k <= l ? r : r - 1) << l << " " << k;
        }
    }
}

TEST(RankWindow, MatchesTheExchangeSort) {
    std::mt19937 gen(99);
    for (int trial = 0; trial < 3000; ++trial) {
        int n = static_cast<int>(gen() % (core::max_positions + 1));
        int kinds = 1 + static_cast<int>(gen() % 12);  // few distinct values: many ties
        core::ranked_window w;
        w.nyears = n;
        std::vector<float> mean;
        std::vector<std::int32_t> year;
        for (int p = 0; p < n; ++p) {
            int pick = static_cast<int>(gen() % static_cast<unsigned>(kinds + 2));
            float m;
            if (pick == kinds) m = a_nan;
            else if (pick == kinds + 1) m = (gen() & 1) ? 0.0f : -0.0f;
            else m = static_cast<float>(pick) * 1.25f - 3.0f;
            if (trial % 3 == 0) m = static_cast<float>(static_cast<int>(gen() % 2000) - 1000) / 7.0f;
            w.mean[static_cast<std::size_t>(p)] = m;
            w.year[static_cast<std::size_t>(p)] = 1895 + p;
            mean.push_back(m);
            year.push_back(1895 + p);
        }
        exchange_sort(mean, year);
        core::rank_window(w);
        for (int p = 0; p < n; ++p) {
            ASSERT_EQ(bits(w.mean[static_cast<std::size_t>(p)]), bits(mean[static_cast<std::size_t>(p)]))
                << "trial " << trial << " position " << p;
            ASSERT_EQ(w.year[static_cast<std::size_t>(p)], year[static_cast<std::size_t>(p)])
                << "trial " << trial << " position " << p;
        }
    }
}

TEST(RankWindow, NanStaysInPlaceAndSplitsTheList) {
    core::ranked_window w;
    const float in[] = {5, 3, a_nan, 2, 1, 2};
    w.nyears = 6;
    for (int p = 0; p < 6; ++p) {
        w.mean[static_cast<std::size_t>(p)] = in[p];
        w.year[static_cast<std::size_t>(p)] = 1895 + p;
    }
    core::rank_window(w);
    const int years[] = {1896, 1895, 1897, 1899, 1898, 1900};
    for (int p = 0; p < 6; ++p) EXPECT_EQ(w.year[static_cast<std::size_t>(p)], years[p]) << p;
    EXPECT_TRUE(std::isnan(w.mean[2]));
}

namespace {

core::ranked_window window_of(const std::vector<float>& means) {
    core::ranked_window w;
    w.nyears = static_cast<int>(means.size());
    for (std::size_t p = 0; p < means.size(); ++p) {
        w.mean[p] = means[p];
        w.year[p] = 1895 + static_cast<int>(p);
    }
    return w;
}

}  // namespace

TEST(WindowStatus, Figures) {
    // 125 years, year E at position 63: percentile 63 * 100 / 126 = 50.0.
    std::vector<float> m;
    for (int p = 0; p < 125; ++p) m.push_back(static_cast<float>(p));
    core::ranked_window w = window_of(m);
    w.year[62] = 2019;  // put E at position 63
    w.year[124] = 1957;
    core::window_status st = core::window_status_of(w, 2019);
    EXPECT_TRUE(st.ranked);
    EXPECT_EQ(st.cold_rank, 63);
    EXPECT_EQ(st.warm_rank, 63);
    EXPECT_EQ(st.percentile, 50.0f);
    EXPECT_EQ(st.value, 62.0f);
    EXPECT_EQ(st.average, 62.0f);  // (0 + ... + 124) / 125
    EXPECT_EQ(st.anomaly, 0.0f);
    EXPECT_EQ(st.low, 0.0f);
    EXPECT_EQ(st.high, 124.0f);

    // All means equal: chronological order, E last, cold rank nyears, warm 1.
    core::ranked_window eq = window_of(std::vector<float>(10, 41.5f));
    core::rank_window(eq);
    core::window_status s2 = core::window_status_of(eq, 1904);
    EXPECT_EQ(s2.cold_rank, 10);
    EXPECT_EQ(s2.warm_rank, 1);
    EXPECT_EQ(s2.percentile, 1000.0f / 11.0f);
    EXPECT_EQ(s2.anomaly, 0.0f);

    // E without a counted day: NaN value, anomaly, average and high.
    core::ranked_window wn = window_of({3.0f, 1.0f, a_nan});
    core::rank_window(wn);
    core::window_status s3 = core::window_status_of(wn, 1897);
    EXPECT_EQ(s3.cold_rank, 3);
    EXPECT_EQ(s3.percentile, 75.0f);
    EXPECT_TRUE(std::isnan(s3.value));
    EXPECT_TRUE(std::isnan(s3.anomaly));
    EXPECT_TRUE(std::isnan(s3.high));
    EXPECT_EQ(s3.low, 1.0f);

    // The average is accumulated from the lowest mean up, in single
    // precision: eight 1.0 before 1e8 add up to 100000008; 1e8 first would
    // absorb each of them.
    core::ranked_window wa = window_of({1e8f, 1, 1, 1, 1, 1, 1, 1, 1});
    core::rank_window(wa);
    core::window_status s4 = core::window_status_of(wa, 1895);
    EXPECT_EQ(s4.average, 100000008.0f / 9.0f);
    EXPECT_NE(s4.average, 1e8f / 9.0f);
    EXPECT_EQ(s4.cold_rank, 9);

    // No ranked year.
    core::ranked_window none;
    none.nyears = 0;
    core::window_status s5 = core::window_status_of(none, 1894);
    EXPECT_FALSE(s5.ranked);
    EXPECT_EQ(s5.cold_rank, 0);
    EXPECT_TRUE(std::isnan(s5.percentile) && std::isnan(s5.value) && std::isnan(s5.low) && std::isnan(s5.high));
}

TEST(DailySeries, LoadingRules) {
    std::string text;
    text += daily_line(1895, 1, 1, 10.0, 2.0);
    text += daily_line(1900, 12, 31, 11.0, 3.0);   // 1900 is common: slot 365
    text += daily_line(1904, 12, 31, 12.0, 4.0);   // 1904 is leap: slot 366
    text += daily_line(1896, 3, 1, 13.0, 5.0);     // out of order
    text += daily_line(1896, 3, 1, 14.0, 6.0);     // the later line stands
    text += daily_line(1894, 12, 31, 99.0, 99.0);  // skipped, last date unchanged
    text += std::string(70, ' ') + "\n";           // year 0: skipped too
    core::daily_series s = load(text);
    EXPECT_EQ(s.tmax(1895, 1), 10.0f);
    EXPECT_EQ(s.tmin(1895, 1), 2.0f);
    EXPECT_EQ(s.tmax(1900, 365), 11.0f);
    EXPECT_EQ(s.tmax(1900, 366), core::missing);
    EXPECT_EQ(s.tmax(1904, 366), 12.0f);
    EXPECT_EQ(s.tmax(1896, 61), 14.0f);
    EXPECT_EQ(s.tmin(1896, 61), 6.0f);
    EXPECT_EQ(s.tmax(1895, 2), core::missing);
    EXPECT_EQ(s.tmin(2020, 732), core::missing);
    EXPECT_EQ(s.last_date.year, 1896);
    EXPECT_EQ(s.last_date.month, 3);
    EXPECT_EQ(s.last_date.day, 1);
    EXPECT_EQ(s.last_day_of_year, 61);
}

TEST(DailySeries, RecordsOutsideTheTablesFail) {
    struct c {
        std::string line;
        const char* message;
    } cases[] = {
        {daily_line(2021, 1, 1, 1, 1),
         "standard input, line 2, columns 1-4: year 2021 is after 2020, the last year this program stores"},
        {daily_line(1990, 13, 1, 1, 1), "standard input, line 2, columns 5-7: month 13 is not 1 to 12"},
        {daily_line(1990, 0, 1, 1, 1), "standard input, line 2, columns 5-7: month 0 is not 1 to 12"},
        {daily_line(1996, 12, 32, 1, 1),
         "standard input, line 2, columns 8-10: day 32 of month 12 gives day of year 367, not 1 to 366"},
        {daily_line(1990, 1, 0, 1, 1),
         "standard input, line 2, columns 8-10: day 0 of month 1 gives day of year 0, not 1 to 366"},
    };
    for (const auto& k : cases) {
        std::string text = daily_line(1990, 1, 1, 1, 1) + k.line;
        EXPECT_EQ(failure_text([&] { load(text); }), k.message);
    }
    EXPECT_EQ(failure_text([&] { load(""); }), "standard input: no record of 1895 or later");
    EXPECT_EQ(failure_text([&] { load(daily_line(1894, 5, 5, 1, 1)); }), "standard input: no record of 1895 or later");
}

TEST(DailySeries, NextYearExtension) {
    std::string text;
    // Mark a few days: value = (year - 1890) * 1000 + day of year.
    auto mark = [&](int y, int m, int d, int doy) {
        int v = (y - 1890) * 1000 + doy;
        text += daily_line(y, m, d, v, -v);
    };
    mark(1896, 1, 1, 1);
    mark(1896, 12, 30, 365);
    mark(1896, 12, 31, 366);
    mark(1897, 1, 1, 1);
    mark(1897, 12, 31, 365);
    mark(1898, 1, 1, 1);
    core::daily_series s = load(text);
    core::extend_next_year(s, 1898);
    // 1895 (common): slot 366 is 1 January 1896.
    EXPECT_EQ(s.tmax(1895, 366), 6001.0f);
    EXPECT_EQ(s.tmin(1895, 366), -6001.0f);
    EXPECT_EQ(s.tmax(1895, 365 + 365), 6365.0f);  // 30 December 1896
    EXPECT_EQ(s.tmax(1895, 731), core::missing);      // 1896's day 366 is never copied
    // 1896 (leap): slot 366 is its own 31 December, slot 367 1 January 1897.
    EXPECT_EQ(s.tmax(1896, 366), 6366.0f);
    EXPECT_EQ(s.tmax(1896, 367), 7001.0f);
    EXPECT_EQ(s.tmax(1896, 731), 7365.0f);
    EXPECT_EQ(s.tmax(1896, 732), core::missing);
    // 1897 gets 1898's days; 1898, the bound year, is not extended.
    EXPECT_EQ(s.tmax(1897, 366), 8001.0f);
    EXPECT_EQ(s.tmax(1898, 366), core::missing);
    // A missing source day is copied as missing.
    EXPECT_EQ(s.tmax(1895, 367), core::missing);

    // A bound of 1895 or less copies nothing; a bound past the store stops at its end.
    core::daily_series t = load(text);
    core::extend_next_year(t, 1895);
    EXPECT_EQ(t.tmax(1895, 366), core::missing);
    core::extend_next_year(t, 5000);
    EXPECT_EQ(t.tmax(1895, 366), 6001.0f);
    EXPECT_EQ(t.tmax(2020, 366), core::missing);
}

TEST(WindowMeans, CountingAndSummation) {
    std::string text;
    // 1895: the half-sums of days 1-3 are 49990, -49990 and 0.001.
    text += daily_line(1895, 1, 1, 49990, 49990);
    text += daily_line(1895, 1, 2, 10, -99990);
    text += daily_line(1895, 1, 3, 0.001, 0.001);
    // 1896: a TMIN of -999.0 is counted; a TMAX of exactly -998.0 is not.
    text += daily_line(1896, 1, 1, 10.0, -999.0);
    text += daily_line(1896, 1, 2, -998.0, 50.0);
    text += daily_line(1896, 1, 3, 20.0, 20.0);
    // 1897: nothing in days 1-3, so 0/0.
    text += daily_line(1897, 1, 4, 20.0, 20.0);
    core::daily_series s = load(text);
    core::extend_next_year(s, 1897);
    core::ranked_window w;
    core::window_means(s, 1, 3, 1897, w);
    EXPECT_EQ(w.nyears, 3);
    // Ascending: (49990 + -49990) + 0.001 = 0.001, over 3 days.
    EXPECT_EQ(w.mean[0], 0.001f / 3.0f);
    // (0.5 * (10 + -999)) + 20 = -474.5, over 2 days.
    EXPECT_EQ(w.mean[1], -474.5f / 2.0f);
    EXPECT_TRUE(std::isnan(w.mean[2]));
    EXPECT_EQ(w.year[0], 1895);
    EXPECT_EQ(w.year[2], 1897);
    // From the last day down, 0.001 + -49990 rounds to -49990, so the sum is 0.
    core::window_sum down = core::sum_window(s, 1895, 1, 3, core::rule_mean, core::day_order::descending);
    EXPECT_EQ(down.sum, 0.0f);
    EXPECT_EQ(down.count, 3);
    core::window_means(s, 1, 3, 1894, w);
    EXPECT_EQ(w.nyears, 0);
}
