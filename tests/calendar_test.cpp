// Calendar tables, the two leap rules, days of the year and the standard
// durations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/calendar.hpp"

TEST(Calendar, Tables) {
    const int common[] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int before = 0, before_leap = 0;
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(core::dyear[static_cast<std::size_t>(m)], before) << m;
        EXPECT_EQ(core::dyearl[static_cast<std::size_t>(m)], before_leap) << m;
        before += common[m];
        before_leap += common[m] + (m == 2 ? 1 : 0);
    }
    EXPECT_EQ(core::month.size(), 36u);
    EXPECT_EQ(core::month_name(1), "Jan");
    EXPECT_EQ(core::month_name(2), "Feb");
    EXPECT_EQ(core::month_name(9), "Sep");
    EXPECT_EQ(core::month_name(12), "Dec");
}

TEST(Calendar, LeapRules) {
    struct c {
        int year;
        bool loader, calendar;
    } cases[] = {
        {1900, false, false}, {2000, true, true},  {1896, true, true},   {2016, true, true},
        {2100, true, false},  {1800, true, false}, {1895, false, false}, {2019, false, false},
        {1600, true, true},   {2020, true, true},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(core::loader_leap_year(k.year), k.loader) << k.year;
        EXPECT_EQ(core::calendar_leap_year(k.year), k.calendar) << k.year;
    }
    // The two rules agree from 1801 to 2099.
    for (int y = 1801; y <= 2099; ++y) EXPECT_EQ(core::loader_leap_year(y), core::calendar_leap_year(y)) << y;
}

TEST(Calendar, DayOfYear) {
    struct c {
        int year, month, day;
        long long doy;
    } cases[] = {
        {2000, 3, 1, 61},  {1900, 3, 1, 60},    {2016, 12, 31, 366}, {1900, 12, 31, 365}, {1904, 12, 31, 366},
        {1896, 2, 29, 60}, {1895, 1, 1, 1},     {1895, 2, 30, 61},   // the day is not checked against the month
        {1895, 1, 0, 0},   {1896, 12, 32, 367}, {1895, 2, -5, 26},
    };
    for (const auto& k : cases) EXPECT_EQ(core::day_of_year(k.year, k.month, k.day), k.doy) << k.year << "-" << k.month << "-" << k.day;
}

TEST(Calendar, MonthAndDay) {
    struct c {
        int n;
        bool leap;
        int month, day;
    } cases[] = {
        {1, false, 1, 1},    {1, true, 1, 1},     {59, false, 2, 28},  {59, true, 2, 28},   {60, false, 3, 1},
        {60, true, 2, 29},   {365, false, 12, 31}, {365, true, 12, 30}, {366, true, 12, 31}, {32, false, 2, 1},
    };
    for (const auto& k : cases) {
        core::month_day md = core::month_and_day(k.n, k.leap);
        EXPECT_EQ(md.month, k.month) << k.n << " " << k.leap;
        EXPECT_EQ(md.day, k.day) << k.n << " " << k.leap;
    }
    // Every day of both kinds of year goes back to itself.
    for (bool leap : {false, true}) {
        for (int n = 1; n <= (leap ? 366 : 365); ++n) {
            core::month_day md = core::month_and_day(n, leap);
            EXPECT_EQ(core::day_of_year(leap ? 1896 : 1895, md.month, md.day), n) << n << " " << leap;
            EXPECT_GE(md.day, 1);
        }
    }
}

TEST(Calendar, DurationSets) {
    struct set {
        const core::duration_set& s;
        std::vector<int> days;
        std::vector<std::string> labels;
    } sets[] = {
        {core::durations_11,
         {1, 3, 4, 7, 14, 21, 30, 90, 182, 273, 365},
         {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week", " 1-mon", " 3-mon", " 6-mon", " 9-mon",
          "1-year"}},
        {core::durations_18,
         {1, 3, 4, 7, 14, 21, 30, 60, 90, 121, 152, 182, 212, 243, 273, 304, 334, 365},
         {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week", " 1-mon", " 2-mon", " 3-mon", " 4-mon",
          " 5-mon", " 6-mon", " 7-mon", " 8-mon", " 9-mon", "10-mon", "11-mon", "1-year"}},
    };
    for (const auto& k : sets) {
        ASSERT_EQ(k.s.size, static_cast<int>(k.days.size()));
        for (int i = 0; i < k.s.size; ++i) {
            EXPECT_EQ(k.s.lengths[i], k.days[static_cast<std::size_t>(i)]) << i;
            EXPECT_EQ(k.s.duration_labels[i], k.labels[static_cast<std::size_t>(i)]) << i;
            EXPECT_EQ(k.s.duration_labels[i].size(), 6u) << i;
        }
    }
}
