// datereport: the rank file and the series file for a requested date.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "status_reference.hpp"
#include "support.hpp"

using namespace test_support;

namespace {

std::string today() {
    std::time_t now = std::time(nullptr);
    std::tm t;
    localtime_r(&now, &t);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return buf;
}

struct outcome {
    run_result r;
    std::string dir;
    std::string ranks, ts;  // contents, empty when absent
    std::vector<std::string> listing;
};

// Runs datereport in `dir` (a fresh one when empty) and reads the two files
// named with today's date (taken before and after the run, in case the run
// crosses midnight).
outcome run_date(const std::vector<std::string>& args, const std::string& input, std::string dir = "") {
    if (dir.empty()) dir = scratch_dir();
    std::string before = today();
    outcome o;
    o.r = run(program("datereport"), args, input, {dir, "", "", -1});
    o.dir = dir;
    std::string region = args.size() > 3 ? args[3] : "";
    for (const std::string& date : {before, today()}) {
        std::string rk = dir + "/" + region + "_ranks_" + date + ".txt";
        std::string ts = dir + "/" + region + "_ts_" + date + ".txt";
        if (file_exists(rk)) o.ranks = read_file(rk);
        if (file_exists(ts)) o.ts = read_file(ts);
    }
    o.listing = list_dir(dir);
    return o;
}

std::string constant_days(int y0, int m0, int d0, int y1, int m1, int d1, double v) {
    static const int mdays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::string text;
    int y = y0, m = m0, d = d0;
    for (;;) {
        text += daily_line(y, m, d, v, v);
        if (y == y1 && m == m1 && d == d1) return text;
        int len = mdays[m - 1] + (m == 2 && y % 4 == 0 && y % 100 != 0 ? 1 : 0);
        if (++d > len) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
    }
}

// 1895: 30 every day, 1896: 10, 1897 up to 5 January: 40 (TMAX = TMIN).
std::string three_years() {
    return constant_days(1895, 1, 1, 1895, 12, 31, 30.0) + constant_days(1896, 1, 1, 1896, 12, 31, 10.0) +
           constant_days(1897, 1, 1, 1897, 1, 5, 40.0);
}

std::vector<std::string> block(const std::string& ts, const std::string& label) {
    std::vector<std::string> out;
    for (const std::string& l : lines_of(ts))
        if (l.compare(0, 6, label) == 0) out.push_back(l);
    return out;
}

}  // namespace

TEST(Datereport, SmallFixtureByHand) {
    // 5 January 1897 (D = 5). The 1-day period ranks 1895 to 1897 by 30, 10
    // and 40. The 1-week period starts on slot 364, ranks 1895 and 1896 and
    // is labelled by the following year: 1895 holds two days of 30 and five
    // of 10 (110/7), 1896, a leap year, three days of 10 and four of 40
    // (190/7). The 2-week period (slot 357): 1895 nine days of 30 and five
    // of 10 (320/14), 1896 ten of 10 and four of 40 (260/14).
    outcome o = run_date({"1897", "1", "5", "TX"}, three_years());
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(o.r.out, "");
    EXPECT_EQ(o.listing.size(), 2u);
    std::vector<std::string> rk = lines_of(o.ranks);
    ASSERT_EQ(rk.size(), 12u);
    EXPECT_EQ(rk[0], "       Date  Duration   #years  CRank  WRank   Value Anomaly");
    EXPECT_EQ(rk[1], "Jan  5 1897     1-day        3      3      1   40.00   13.33");
    EXPECT_EQ(rk[3], "Jan  5 1897     4-day        3      3      1   40.00   13.33");
    EXPECT_EQ(rk[4], "Jan  5 1897    1-week        2      2      1   27.14    5.71");
    EXPECT_EQ(rk[5], "Jan  5 1897    2-week        2      1      2   18.57   -2.14");
    EXPECT_EQ(block(o.ts, " 1-day"),
              (std::vector<std::string>{" 1-day    3 1896    10.0000", " 1-day    2 1895    30.0000",
                                        " 1-day    1 1897    40.0000"}));
    EXPECT_EQ(block(o.ts, "1-week"),
              (std::vector<std::string>{"1-week    2 1896    15.7143", "1-week    1 1897    27.1429"}));
    EXPECT_EQ(block(o.ts, "2-week"),
              (std::vector<std::string>{"2-week    2 1897    18.5714", "2-week    1 1896    22.8571"}));
    reference::files ref = reference::datereport(three_years(), 1897, 1, 5);
    EXPECT_EQ(o.ranks, ref.ranks);
    EXPECT_EQ(o.ts, ref.ts);
}

TEST(Datereport, MatchesReferenceOnGeneratedSeries) {
    // Worked dates (5 January 2015, 31 December 2016, 5 January 2017), a date
    // after the input's end, dates in the first years and a 29 February.
    const std::string input = reference::generated(1895, 2016, 12, 31, 7);
    const auto loaded = reference::load(input);
    struct request {
        int y, m, d;
    };
    for (request q : std::vector<request>{{2015, 1, 5}, {2016, 12, 31}, {2017, 1, 5}, {2020, 7, 4},
                                          {1896, 2, 29}, {1895, 12, 31}, {1900, 3, 1}, {1960, 8, 15}}) {
        SCOPED_TRACE(std::to_string(q.y) + "-" + std::to_string(q.m) + "-" + std::to_string(q.d));
        outcome o = run_date({std::to_string(q.y), std::to_string(q.m), std::to_string(q.d), "GEN"}, input);
        ASSERT_EQ(o.r.status, 0) << o.r.err;
        reference::files ref = reference::datereport(*loaded, q.y, q.m, q.d);
        EXPECT_EQ(o.ranks, ref.ranks);
        EXPECT_EQ(o.ts, ref.ts);
        // The warm rank of each block's first line is nyears, and cold rank
        // plus warm rank is nyears + 1.
        std::vector<std::string> rk = lines_of(o.ranks);
        for (std::size_t i = 1; i < rk.size(); ++i) {
            int n = std::stoi(rk[i].substr(21, 9)), cold = std::stoi(rk[i].substr(30, 7)),
                warm = std::stoi(rk[i].substr(37, 7));
            EXPECT_EQ(cold + warm, n + 1) << rk[i];
            std::vector<std::string> b = block(o.ts, rk[i].substr(15, 6));
            ASSERT_EQ(static_cast<int>(b.size()), n);
            EXPECT_EQ(std::stoi(b[0].substr(7, 4)), n);
        }
    }
}

TEST(Datereport, FifthOfJanuary2015) {
    // The 1-, 3- and 4-day periods rank 1895 to 2015; the 7-day period
    // starts on slot 364, ranks 1895 to 2014 and carries the labels 1896 to
    // 2015.
    outcome o = run_date({"2015", "1", "5", "GEN"}, reference::generated(1895, 2015, 12, 31, 3));
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    std::vector<std::string> rk = lines_of(o.ranks);
    ASSERT_EQ(rk.size(), 12u);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(rk[static_cast<std::size_t>(i)].substr(21, 9), "      121");
    for (int i = 4; i <= 11; ++i) EXPECT_EQ(rk[static_cast<std::size_t>(i)].substr(21, 9), "      120");
    std::vector<int> years;
    for (const std::string& l : block(o.ts, "1-week")) years.push_back(std::stoi(l.substr(12, 4)));
    std::sort(years.begin(), years.end());
    ASSERT_EQ(years.size(), 120u);
    EXPECT_EQ(years.front(), 1896);
    EXPECT_EQ(years.back(), 2015);
}

TEST(Datereport, ThirtyFirstOfDecemberOfALeapYear) {
    // D = 366: the 1-day period is slot 366, a leap year's own 31 December
    // (2.0 here) and a common year's following 1 January (1.0; 1900 is
    // common). 92 common years come first in chronological order, then the
    // 30 leap years; 2016 is the last. Average 152/122, anomaly 0.75.
    std::string input;
    for (int y = 1895; y <= 2016; ++y) input += daily_line(y, 1, 1, 1.0, 1.0) + daily_line(y, 12, 31, 2.0, 2.0);
    input += daily_line(2017, 1, 1, 1.0, 1.0);
    outcome o = run_date({"2016", "12", "31", "GEN"}, input);
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(lines_of(o.ranks)[1], "Dec 31 2016     1-day      122    122      1    2.00    0.75");
    std::vector<std::string> b = block(o.ts, " 1-day");
    ASSERT_EQ(b.size(), 122u);
    EXPECT_EQ(b[0], " 1-day  122 1895     1.0000");
    EXPECT_EQ(b[4], " 1-day  118 1900     1.0000");
    EXPECT_EQ(b[91], " 1-day   31 2015     1.0000");
    EXPECT_EQ(b[92], " 1-day   30 1896     2.0000");
    EXPECT_EQ(b[121], " 1-day    1 2016     2.0000");
}

TEST(Datereport, FifthOfJanuary2017WeekEndsBeforeTheDay) {
    // j = 364, E = 2016: 2016's period is 29 December 2016 to 4 January
    // 2017; 28 December and 5 January (1000) lie outside it. The years
    // without data have NaN means, so the anomaly is NaN.
    std::string input = daily_line(2016, 12, 28, 1000.0, 1000.0);
    for (int d = 29; d <= 31; ++d) input += daily_line(2016, 12, d, 10.0, 10.0);
    for (int d = 1; d <= 4; ++d) input += daily_line(2017, 1, d, 10.0, 10.0);
    input += daily_line(2017, 1, 5, 1000.0, 1000.0);
    outcome o = run_date({"2017", "1", "5", "GEN"}, input);
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(lines_of(o.ranks)[4], "Jan  5 2017    1-week      122    122      1   10.00     NaN");
    std::vector<std::string> b = block(o.ts, "1-week");
    ASSERT_EQ(b.size(), 122u);
    EXPECT_EQ(b[0], "1-week  122 1896        NaN");
    EXPECT_EQ(b[121], "1-week    1 2017    10.0000");
}

TEST(Datereport, DateAfterTheInputEndsIsNaNAndLast) {
    outcome o = run_date({"1897", "2", "1", "TX"}, three_years());
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(lines_of(o.ranks)[1], "Feb  1 1897     1-day        3      3      1     NaN     NaN");
    EXPECT_EQ(block(o.ts, " 1-day"),
              (std::vector<std::string>{" 1-day    3 1896    10.0000", " 1-day    2 1895    30.0000",
                                        " 1-day    1 1897        NaN"}));
}

TEST(Datereport, NoYearToRankGivesZeroRanksAndNaN) {
    // 5 January 1895: the periods of a week and more reach back into 1894.
    outcome o = run_date({"1895", "1", "5", "TX"}, constant_days(1895, 1, 1, 1895, 1, 10, 5.0));
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    std::vector<std::string> rk = lines_of(o.ranks);
    ASSERT_EQ(rk.size(), 12u);
    EXPECT_EQ(rk[1], "Jan  5 1895     1-day        1      1      1    5.00    0.00");
    EXPECT_EQ(rk[4], "Jan  5 1895    1-week        0      0      0     NaN     NaN");
    EXPECT_EQ(rk[11], "Jan  5 1895    1-year        0      0      0     NaN     NaN");
    EXPECT_EQ(lines_of(o.ts).size(), 3u);
}

TEST(Datereport, BlankArgumentWritesUsageAndReadsNothing) {
    // The input is malformed: reading it would fail the run.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"1897", "1", "5"}, {"1897", "1", "5", ""}, {"1897", "1", "5", "   "}, {"", "1", "5", "TX"},
             {"1897", " ", "5", "TX"}, {}}) {
        outcome o = run_date(args, "not a daily record\n");
        EXPECT_EQ(o.r.status, 0);
        EXPECT_EQ(o.r.out, " USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File\n");
        EXPECT_EQ(o.r.err, "");
        EXPECT_TRUE(o.listing.empty());
    }
}

TEST(Datereport, SecondRunReplacesTheFirst) {
    std::string dir = scratch_dir();
    outcome first = run_date({"1897", "1", "5", "TX"}, three_years(), dir);
    ASSERT_EQ(first.r.status, 0) << first.r.err;
    std::string other = constant_days(1895, 1, 1, 1897, 1, 5, 12.5);
    outcome second = run_date({"1897", "1", "5", "TX"}, other, dir);
    ASSERT_EQ(second.r.status, 0) << second.r.err;
    reference::files ref = reference::datereport(other, 1897, 1, 5);
    EXPECT_EQ(second.ranks, ref.ranks);
    EXPECT_EQ(second.ts, ref.ts);
    EXPECT_NE(second.ts, first.ts);
    EXPECT_EQ(second.listing.size(), 2u);  // no temporary file left
}

TEST(Datereport, FailedRunLeavesEarlierFilesIntact) {
    std::string dir = scratch_dir();
    outcome first = run_date({"1897", "1", "5", "TX"}, three_years(), dir);
    ASSERT_EQ(first.r.status, 0) << first.r.err;
    // A malformed line after good ones.
    outcome bad = run_date({"1897", "1", "5", "TX"}, three_years() + "1897  1  6      x.00\n", dir);
    EXPECT_EQ(bad.r.status, 1);
    EXPECT_NE(bad.r.err.find("datereport: standard input, line"), std::string::npos) << bad.r.err;
    // A full device: the files cannot be written out.
    run_result full = run(program("datereport"), {"1897", "1", "5", "TX"}, three_years(), {dir, "", "", 100});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("datereport: cannot write"), std::string::npos) << full.err;
    EXPECT_EQ(list_dir(dir), first.listing);  // no temporary file left
    std::string date = today();
    EXPECT_EQ(read_file(dir + "/TX_ranks_" + date + ".txt"), first.ranks);
    EXPECT_EQ(read_file(dir + "/TX_ts_" + date + ".txt"), first.ts);
}

TEST(Datereport, RejectionsCreateNoFileAndReadNoInput) {
    struct rejection {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string long_region(1023, 'R');
    const std::string long_part(300, 'R');
    for (const rejection& c : std::vector<rejection>{
             {{"1894", "12", "31", "TX"}, "argument 1: year 1894 is outside 1895 to 2020"},
             {{"2021", "1", "1", "TX"}, "argument 1: year 2021 is outside 1895 to 2020"},
             {{"-1", "1", "1", "TX"}, "argument 1: year -1 is outside 1895 to 2020"},
             {{"2000", "0", "1", "TX"}, "argument 2: month 0 is outside 1 to 12"},
             {{"2000", "13", "1", "TX"}, "argument 2: month 13 is outside 1 to 12"},
             {{"2000", "1", "0", "TX"}, "argument 3: day 0 of month 1 in 2000 gives day of year 0, outside 1 to 366"},
             {{"2000", "12", "32", "TX"}, "gives day of year 367, outside 1 to 366"},
             {{"2001", "12", "99", "TX"}, "gives day of year 433"},
             {{"20x1", "1", "1", "TX"}, "argument 1, columns 1-4: malformed integer field"},
             {{"2000", "1", "5", long_region}, "region too long"},
             {{"2000", "1", "5", long_part}, "more than the 255 a file name may have"}}) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
        // The input is malformed, so a message about it would show it was read.
        outcome o = run_date(c.args, "not a daily record\n");
        EXPECT_EQ(o.r.status, 1);
        EXPECT_EQ(o.r.err.rfind("datereport: ", 0), 0u) << o.r.err;
        EXPECT_NE(o.r.err.find(c.message), std::string::npos) << o.r.err;
        EXPECT_EQ(o.r.err.find("standard input"), std::string::npos) << o.r.err;
        EXPECT_EQ(o.r.out, "");
        EXPECT_TRUE(o.listing.empty());
    }
}

TEST(Datereport, FileThatCannotBeCreatedFailsTheRun) {
    outcome o = run_date({"1897", "1", "5", "missing/TX"}, three_years());
    EXPECT_EQ(o.r.status, 1);
    EXPECT_NE(o.r.err.find("datereport: cannot create missing/TX_ranks_"), std::string::npos) << o.r.err;
    EXPECT_TRUE(o.listing.empty());
}

TEST(Datereport, RegionJustShortEnoughStillDiffers) {
    // A region of 1,022 characters leaves "_r" and "_t" as the names'
    // last characters; the directory part keeps each file name short.
    std::string dir = scratch_dir();
    std::string region;
    while (region.size() + 4 <= 1022) region += "sub/";
    ASSERT_EQ(0, std::system(("mkdir -p '" + dir + "/" + region + "'").c_str()));
    region += std::string(1022 - region.size(), 'x');
    run_result r = run(program("datereport"), {"1897", "1", "5", region}, three_years(), {dir, "", "", -1});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(file_exists(dir + "/" + region + "_r"));
    EXPECT_TRUE(file_exists(dir + "/" + region + "_t"));
}
