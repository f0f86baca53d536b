// nowreport end to end: small hand-checked series, the edge cases of the
// last date, and every way a run fails.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/layout.hpp"
#include "core/record.hpp"
#include "support.hpp"

using test_support::daily_line;
using test_support::lines_of;
using test_support::program;
using test_support::run;

namespace {

const std::string header = " " + std::string("   Date        Duration #years Rank  %tile AvgTemp Anomaly   Low   High");

int month_length(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && y % 4 == 0 && y != 1900 ? 29 : d[m - 1];
}

// Every day of year y with TMAX = TMIN = v.
std::string whole_year(int y, double v) {
    std::string s;
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= month_length(y, m); ++d) s += daily_line(y, m, d, v, v);
    return s;
}

std::string day(int y, int m, int d, double v) { return daily_line(y, m, d, v, v); }

std::string report(const std::vector<std::string>& lines) {
    std::string s = header + "\n";
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

test_support::run_result nowreport(const std::string& input) { return run(program("nowreport"), {}, input); }

// 1895 all 10, 1896 (leap) all 20 but 1 January 40, and 1 January 1897 at 30.
std::string last_day_1_january() {
    std::string s = whole_year(1895, 10.0);
    std::string y96 = whole_year(1896, 20.0);
    s += day(1896, 1, 1, 40.0) + y96.substr(y96.find('\n') + 1);
    return s + day(1897, 1, 1, 30.0);
}

// The 1-day window ranks 1895 to 1897 by their 1 January: 10, 30, 40. Every
// longer window starts at day 367 - k: in 1895 it ends on 1 January 1896
// (40), so its mean is (10 (k - 1) + 40) / k; in leap 1896 it ends on its own
// 31 December, all 20, and 1897 is not ranked.
const std::vector<std::string> expect_1_january = {
    "Jan  1 1897     1-day        3     2   50.0   30.00    3.33  10.00  40.00",
    "Jan  1 1897     3-day        2     2   66.7   20.00    0.00  20.00  20.00",  // a tie: 1895 first
    "Jan  1 1897     4-day        2     2   66.7   20.00    1.25  17.50  20.00",
    "Jan  1 1897    1-week        2     2   66.7   20.00    2.86  14.29  20.00",
    "Jan  1 1897    2-week        2     2   66.7   20.00    3.93  12.14  20.00",
    "Jan  1 1897    3-week        2     2   66.7   20.00    4.29  11.43  20.00",
    "Jan  1 1897     1-mon        2     2   66.7   20.00    4.50  11.00  20.00",
    "Jan  1 1897     2-mon        2     2   66.7   20.00    4.75  10.50  20.00",
    "Jan  1 1897     3-mon        2     2   66.7   20.00    4.83  10.33  20.00",
    "Jan  1 1897     4-mon        2     2   66.7   20.00    4.88  10.25  20.00",
    "Jan  1 1897     5-mon        2     2   66.7   20.00    4.90  10.20  20.00",
    "Jan  1 1897     6-mon        2     2   66.7   20.00    4.92  10.16  20.00",
    "Jan  1 1897     7-mon        2     2   66.7   20.00    4.93  10.14  20.00",
    "Jan  1 1897     8-mon        2     2   66.7   20.00    4.94  10.12  20.00",
    "Jan  1 1897     9-mon        2     2   66.7   20.00    4.95  10.11  20.00",
    "Jan  1 1897    10-mon        2     2   66.7   20.00    4.95  10.10  20.00",
    "Jan  1 1897    11-mon        2     2   66.7   20.00    4.96  10.09  20.00",
    "Jan  1 1897    1-year        2     2   66.7   20.00    4.96  10.08  20.00",
};


// A plain second implementation of the report, written straight from the
// rules: tables by year and slot, the extension, each window's sums from
// its first day, an exchange sort of nyears passes, and the figures. Only
// the final formatting goes through the record layer.
std::string reference_report(const std::string& input) {
    const int last = 2020;
    std::vector<std::vector<float>> tmax(last + 1, std::vector<float>(733, -999.0f)), tmin = tmax;
    const int dyear[] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int dyearl[] = {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    auto leap = [](int y) { return y % 4 == 0 && y != 1900; };
    int ly = 0, lm = 0, ld = 0;
    for (const std::string& line : lines_of(input)) {
        int y = std::atoi(line.substr(0, 4).c_str()), m = std::atoi(line.substr(4, 3).c_str()),
            d = std::atoi(line.substr(7, 3).c_str());
        if (y < 1895) continue;
        int doy = (leap(y) ? dyearl : dyear)[m] + d;
        tmax[y][doy] = std::strtof(line.substr(10, 11).c_str(), nullptr);
        tmin[y][doy] = std::strtof(line.substr(40, 11).c_str(), nullptr);
        ly = y, lm = m, ld = d;
    }
    int l = (leap(ly) ? dyearl : dyear)[lm] + ld;
    for (int y = 1895; y <= ly - 1; ++y) {
        int n = leap(y) ? 366 : 365;
        for (int j = 1; j <= 365; ++j) {
            tmax[y][n + j] = tmax[y + 1][j];
            tmin[y][n + j] = tmin[y + 1][j];
        }
    }
    const int lengths[] = {1, 3, 4, 7, 14, 21, 30, 60, 90, 121, 152, 182, 212, 243, 273, 304, 334, 365};
    const char* labels[] = {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week", " 1-mon", " 2-mon", " 3-mon",
                            " 4-mon", " 5-mon", " 6-mon", " 7-mon", " 8-mon", " 9-mon", "10-mon", "11-mon", "1-year"};
    const char* months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    core::layout data_line("(a3,i3,i5,4x,a6,i9,i6,f7.1,f8.2,f8.2,2f7.2)");
    std::string out = header + "\n";
    for (int i = 0; i < 18; ++i) {
        int k = lengths[i];
        int j = l - k + 1;
        if (j <= 0) j = j + 365;
        int e;
        if (l < j) {
            e = ly - 1;
            if (l + 365 < j + k - 1) e = ly - 2;
        } else {
            e = l < j + k - 1 ? ly - 1 : ly;
        }
        int nyears = e - 1894;
        std::vector<float> mean(141);
        std::vector<int> tag(141);
        for (int y = 1895; y <= e; ++y) {
            float sum = 0.0f;
            int nsum = 0;
            for (int d = j; d <= j + k - 1; ++d) {
                if (tmax[y][d] > -998.0f) {
                    float both = tmax[y][d] + tmin[y][d];
                    float half = 0.5f * both;
                    sum = sum + half;
                    nsum = nsum + 1;
                }
            }
            mean[y - 1895] = sum / static_cast<float>(nsum);
            tag[y - 1895] = y;
        }
        for (int pass = 1; pass <= nyears; ++pass) {
            for (int p = 0; p + 1 < nyears; ++p) {
                if (mean[p] > mean[p + 1]) {
                    std::swap(mean[p], mean[p + 1]);
                    std::swap(tag[p], tag[p + 1]);
                }
            }
        }
        float acc = 0.0f, value = 0.0f;
        int cold = 0;
        for (int p = 1; p <= nyears; ++p) {
            acc = acc + mean[p - 1];
            if (tag[p - 1] == e) {
                cold = p;
                value = mean[p - 1];
            }
        }
        float average = acc / static_cast<float>(nyears);
        float anomaly = value - average;
        float scaled = static_cast<float>(cold) * 100.0f;
        float percentile = scaled / static_cast<float>(nyears + 1);
        std::string line;
        const core::value values[] = {std::string_view(months + 3 * (lm - 1), 3), ld, ly, labels[i], nyears, cold,
                                      percentile, value, anomaly, mean[0], mean[nyears - 1]};
        core::format_record(line, data_line, values, 11);
        out += line + "\n";
    }
    return out;
}

}  // namespace

TEST(Nowreport, LastDate1January) {
    auto r = nowreport(last_day_1_january());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, report(expect_1_january));
}

TEST(Nowreport, SameReportWhateverTheLineEndsOrIgnoredRecords) {
    std::string base = last_day_1_january();
    std::string no_final_lf = base.substr(0, base.size() - 1);
    std::string crlf;
    for (char c : base) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Records before 1895, and a line with a blank year (year 0), are
    // skipped and leave the last date as it was.
    std::string early = whole_year(1894, 99.0) + base + day(1894, 12, 31, 99.0) + std::string(70, ' ') + "\n";
    // Arguments are ignored.
    for (const std::string& input : {no_final_lf, crlf, early}) {
        auto r = nowreport(input);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, report(expect_1_january));
    }
    auto r = run(program("nowreport"), {"1999", "x"}, base);
    EXPECT_EQ(r.out, report(expect_1_january));
}

TEST(Nowreport, LastDate31DecemberOfALeapYear) {
    // 1895 all 10; 1896 all 20 but 1 January 5 and 31 December 30. Every
    // window starts at day 367 - k and ranks 1895 and 1896. Slot 366 of 1895
    // holds 1 January 1896 (5), so the 1-day window compares 5 with 30; a
    // k-day window has (10 (k - 1) + 5) / k in 1895 and (20 (k - 1) + 30) / k
    // in 1896.
    std::string y96 = whole_year(1896, 20.0);
    y96 = day(1896, 1, 1, 5.0) + y96.substr(y96.find('\n') + 1);
    y96 = y96.substr(0, y96.size() - 71) + day(1896, 12, 31, 30.0);
    auto r = nowreport(whole_year(1895, 10.0) + y96);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, report({
                         "Dec 31 1896     1-day        2     2   66.7   30.00   12.50   5.00  30.00",
                         "Dec 31 1896     3-day        2     2   66.7   23.33    7.50   8.33  23.33",
                         "Dec 31 1896     4-day        2     2   66.7   22.50    6.88   8.75  22.50",  // 6.875
                         "Dec 31 1896    1-week        2     2   66.7   21.43    6.07   9.29  21.43",
                         "Dec 31 1896    2-week        2     2   66.7   20.71    5.54   9.64  20.71",
                         "Dec 31 1896    3-week        2     2   66.7   20.48    5.36   9.76  20.48",
                         "Dec 31 1896     1-mon        2     2   66.7   20.33    5.25   9.83  20.33",
                         // 20.166666 - (9.916667 + 20.166666) / 2 is exactly 5.125: away from zero
                         "Dec 31 1896     2-mon        2     2   66.7   20.17    5.13   9.92  20.17",
                         "Dec 31 1896     3-mon        2     2   66.7   20.11    5.08   9.94  20.11",
                         "Dec 31 1896     4-mon        2     2   66.7   20.08    5.06   9.96  20.08",
                         "Dec 31 1896     5-mon        2     2   66.7   20.07    5.05   9.97  20.07",
                         "Dec 31 1896     6-mon        2     2   66.7   20.05    5.04   9.97  20.05",
                         "Dec 31 1896     7-mon        2     2   66.7   20.05    5.04   9.98  20.05",
                         "Dec 31 1896     8-mon        2     2   66.7   20.04    5.03   9.98  20.04",
                         "Dec 31 1896     9-mon        2     2   66.7   20.04    5.03   9.98  20.04",
                         "Dec 31 1896    10-mon        2     2   66.7   20.03    5.02   9.98  20.03",
                         "Dec 31 1896    11-mon        2     2   66.7   20.03    5.02   9.99  20.03",
                         "Dec 31 1896    1-year        2     2   66.7   20.03    5.02   9.99  20.03",
                     }));
}

TEST(Nowreport, MissingTmaxOnTheLastDate) {
    // 1895 all 10, 1896 all 20, 1897 from 1 to 10 January 30 but TMAX
    // missing on the 10th.
    std::string s = whole_year(1895, 10.0) + whole_year(1896, 20.0);
    for (int d = 1; d <= 9; ++d) s += day(1897, 1, d, 30.0);
    s += daily_line(1897, 1, 10, -999.0, 30.0);
    auto r = nowreport(s);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 19u);
    // 1897's 1-day mean is 0/0 and stays last: rank 3 of 3, 75.0, NaN value,
    // anomaly and high, the lowest real mean as low.
    EXPECT_EQ(lines[1], "Jan 10 1897     1-day        3     3   75.0     NaN     NaN  10.00    NaN");
    // 3 days: 1897 counts the 8th and 9th only.
    EXPECT_EQ(lines[2], "Jan 10 1897     3-day        3     3   75.0   30.00   10.00  10.00  30.00");
    EXPECT_EQ(lines[4], "Jan 10 1897    1-week        3     3   75.0   30.00   10.00  10.00  30.00");
    // 14 days start at day 362 and rank 1895 and 1896: 1895 has 4 days of 10
    // and 10 of 20 (240 / 14); 1896 has 5 days of 20 and 1 to 9 January 1897
    // (370 / 14), ending the day before the last date.
    EXPECT_EQ(lines[5], "Jan 10 1897    2-week        2     2   66.7   26.43    4.64  17.14  26.43");
}

TEST(Nowreport, TheLastStoredLineDecidesTheDate) {
    std::string s = whole_year(1895, 10.0);
    s += day(1896, 1, 5, 50.0);
    s += day(1896, 1, 3, 20.0);  // earlier date, but the last line
    auto r = nowreport(s);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 19u);
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, 11), "Jan  3 1896") << i;
    EXPECT_EQ(lines[1], "Jan  3 1896     1-day        2     2   66.7   20.00    5.00  10.00  20.00");
    // 3 days (1 to 3 January): only the 3rd of 1896 is present.
    EXPECT_EQ(lines[2], "Jan  3 1896     3-day        2     2   66.7   20.00    5.00  10.00  20.00");
    // 4 days start at day 365 of 1895, which alone is ranked: 10 and 20.
    EXPECT_EQ(lines[3], "Jan  3 1896     4-day        1     1   50.0   15.00    0.00  15.00  15.00");
}

TEST(Nowreport, DuplicateDatesTheLaterLineStands) {
    std::string s = whole_year(1895, 10.0) + day(1896, 1, 1, 20.0) + day(1896, 1, 1, 40.0);
    auto r = nowreport(s);
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[1], "Jan  1 1896     1-day        2     2   66.7   40.00   15.00  10.00  40.00");
}

TEST(Nowreport, ShortLastLineReadsItsTminAsZero) {
    std::string s = last_day_1_january();
    s = s.substr(0, s.size() - 71) + day(1897, 1, 1, 30.0).substr(0, 40) + "\n";
    auto r = nowreport(s);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> want = expect_1_january;
    // 1 January 1897 is 0.5 * (30 + 0) = 15: ranked 10, 15, 40.
    want[0] = "Jan  1 1897     1-day        3     2   50.0   15.00   -6.67  10.00  40.00";
    EXPECT_EQ(r.out, report(want));
}

TEST(Nowreport, DurationsWithNoRankedYear) {
    // Last date 10 January 1895: durations up to 10 days rank 1895 alone;
    // longer ones would start in 1894 and rank no year.
    std::string s;
    for (int d = 1; d <= 10; ++d) s += day(1895, 1, d, 10.0);
    auto r = nowreport(s);
    EXPECT_EQ(r.status, 0);
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 19u);
    const char* labels[] = {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week", " 1-mon", " 2-mon", " 3-mon",
                            " 4-mon", " 5-mon", " 6-mon", " 7-mon", " 8-mon", " 9-mon", "10-mon", "11-mon", "1-year"};
    for (int i = 0; i < 18; ++i) {
        std::string want = std::string("Jan 10 1895    ") + labels[i] +
                           (i < 4 ? "        1     1   50.0   10.00    0.00  10.00  10.00"
                                  : "        0     0    NaN     NaN     NaN    NaN    NaN");
        EXPECT_EQ(lines[static_cast<std::size_t>(i) + 1], want) << i;
    }
}

TEST(Nowreport, GeneratedSeriesGivesNineteenLinesOfFixedWidth) {
    auto gen = run(program("make_series"), {"--to", "2020-07-18", "--missing-tmax", "0.05"}, "");
    ASSERT_EQ(gen.status, 0) << gen.err;
    auto r = nowreport(gen.out);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(lines[0].size(), 72u);
    for (std::size_t i = 1; i < 19; ++i) {
        EXPECT_EQ(lines[i].size(), 73u) << lines[i];
        EXPECT_EQ(lines[i].substr(0, 11), "Jul 18 2020");
    }
    // L = 200: up to 6 months rank 1895 to 2020, from 7 months on to 2019.
    EXPECT_EQ(lines[12].substr(15, 15), " 6-mon      126");
    EXPECT_EQ(lines[13].substr(15, 15), " 7-mon      125");
}

TEST(Nowreport, AgreesWithAPlainImplementationOnGeneratedSeries) {
    struct c {
        const char *to, *seed;
    } cases[] = {
        {"2016-12-31", "1"}, {"2020-02-29", "2"}, {"2019-01-01", "3"}, {"1901-03-01", "4"}, {"2012-12-31", "5"},
        {"1896-02-10", "6"}, {"2020-12-31", "7"},
    };
    for (const auto& k : cases) {
        auto gen = run(program("make_series"),
                       {"--to", k.to, "--seed", k.seed, "--missing-tmax", "0.03", "--missing-tmin", "0.03"}, "");
        ASSERT_EQ(gen.status, 0) << gen.err;
        auto r = nowreport(gen.out);
        EXPECT_EQ(r.status, 0) << k.to;
        EXPECT_EQ(r.out, reference_report(gen.out)) << k.to;
    }
}

// ---- failures: one line on standard error, status 1, nothing on standard output ----

TEST(Nowreport, FailuresWriteNothingAndExitNonZero) {
    std::string good = whole_year(1895, 10.0);
    std::string bad_field = daily_line(1896, 1, 1, 1.0, 1.0);
    bad_field.replace(10, 11, "    12.x500");
    std::string beyond_float = daily_line(1896, 1, 1, 1.0, 1.0);
    beyond_float.replace(40, 11, "    1.0E+39");
    struct c {
        std::string input;
        std::string message;
    } cases[] = {
        {good + bad_field, "nowreport: standard input, line 366, columns 11-21: malformed real field '    12.x500'\n"},
        {good + beyond_float,
         "nowreport: standard input, line 366, columns 41-51: malformed real field '    1.0E+39' out of range\n"},
        {good + daily_line(2021, 1, 1, 1, 1),
         "nowreport: standard input, line 366, columns 1-4: year 2021 is after 2020, the last year this program "
         "stores\n"},
        {good + daily_line(1896, 13, 1, 1, 1), "nowreport: standard input, line 366, columns 5-7: month 13 is not 1 to 12\n"},
        {good + daily_line(1896, 12, 32, 1, 1),
         "nowreport: standard input, line 366, columns 8-10: day 32 of month 12 gives day of year 367, not 1 to 366\n"},
        {"", "nowreport: standard input: no record of 1895 or later\n"},
        {whole_year(1894, 5.0), "nowreport: standard input: no record of 1895 or later\n"},
    };
    for (const auto& k : cases) {
        auto r = nowreport(k.input);
        EXPECT_EQ(r.status, 1) << k.message;
        EXPECT_EQ(r.out, "") << k.message;
        EXPECT_EQ(r.err, k.message);
    }
}

TEST(Nowreport, FailedReadOrWriteFails) {
    test_support::run_options full;
    full.stdout_path = "/dev/full";
    auto r = run(program("nowreport"), {}, last_day_1_january(), full);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nowreport: cannot write standard output: No space left on device\n");

    test_support::run_options dir_input;
    dir_input.input_file = test_support::scratch_dir();
    r = run(program("nowreport"), {}, "", dir_input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "nowreport: cannot read standard input: Is a directory\n");
}
