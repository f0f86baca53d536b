// spanreport, highreport, lowreport and elemreport: the period-of-record
// status reports, one implementation with a per-day rule per program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/daily_series.hpp"
#include "core/period_of_record.hpp"
#include "status_reference.hpp"
#include "support.hpp"

using namespace test_support;

namespace {

struct program_rule {
    std::string prog;
    std::string element;  // elemreport only
    reference::rule rule;
    std::string stem;  // file names without "_ranks" / "_ts"
};

const std::vector<program_rule> all_rows = {
    {"spanreport", "", reference::rule::span, "TX"},
    {"highreport", "", reference::rule::high, "TX"},
    {"lowreport", "", reference::rule::low, "TX"},
    {"elemreport", "TAVG", reference::rule::elem_tavg, "TX_TAVG"},
    {"elemreport", "TMIN", reference::rule::elem_tmin, "TX_TMIN"},
    {"elemreport", "TMAX", reference::rule::elem_tmax, "TX_TMAX"},
    {"elemreport", "tmax", reference::rule::elem_other, "TX_tmax"},
};

struct outcome {
    run_result r;
    std::string ranks, ts;
    std::vector<std::string> listing;
};

outcome run_report(const program_rule& p, const std::string& y, const std::string& m, const std::string& d,
                   const std::string& input, std::string dir = "") {
    if (dir.empty()) dir = scratch_dir();
    std::vector<std::string> args = {y, m, d};
    if (p.prog == "elemreport") args.push_back(p.element);
    args.push_back("TX");
    outcome o;
    o.r = run(program(p.prog), args, input, {dir, "", "", -1});
    if (file_exists(dir + "/" + p.stem + "_ranks")) o.ranks = read_file(dir + "/" + p.stem + "_ranks");
    if (file_exists(dir + "/" + p.stem + "_ts")) o.ts = read_file(dir + "/" + p.stem + "_ts");
    o.listing = list_dir(dir);
    return o;
}

outcome run_span(const std::string& y, const std::string& m, const std::string& d, const std::string& input) {
    return run_report(all_rows[0], y, m, d, input);
}

std::vector<std::string> block(const std::string& ts, const std::string& label) {
    std::vector<std::string> out;
    for (const std::string& l : lines_of(ts))
        if (l.compare(0, 6, label) == 0) out.push_back(l);
    return out;
}

std::string rank_line(const std::string& ranks, int i) { return lines_of(ranks).at(static_cast<std::size_t>(i)); }

// Every day from 1 January 1895 to 10 January 1897 has TMAX 20 and TMIN 10,
// except 5 January 1896 (TMIN missing, TMAX 30) and 5 January 1897 (TMAX
// missing, TMIN 4).
std::string element_fixture() {
    std::string text;
    for (int y = 1895; y <= 1897; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= 31; ++d) {
                if (y == 1897 && (m > 1 || d > 10)) return text;
                static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
                if (d > len[m - 1] + (m == 2 && y == 1896 ? 1 : 0)) break;
                double tx = 20.0, tn = 10.0;
                if (y == 1896 && m == 1 && d == 5) tx = 30.0, tn = -999.0;
                if (y == 1897 && m == 1 && d == 5) tx = -999.0, tn = 4.0;
                text += daily_line(y, m, d, tx, tn);
            }
    return text;
}

}  // namespace

TEST(PeriodOfRecord, FallbackComparesFieldByField) {
    const core::date last{2020, 3, 15};
    struct example {
        core::date requested;
        core::date expected;
    };
    for (const example& e : std::vector<example>{{{2021, 12, 31}, {2020, 3, 15}},
                                                 {{2020, 3, 15}, {2020, 3, 15}},
                                                 {{2020, 4, 10}, {2020, 4, 10}},
                                                 {{2021, 1, 20}, {2021, 1, 20}},
                                                 {{2019, 12, 31}, {2019, 12, 31}}}) {
        core::date got = core::reference_date(e.requested, last);
        EXPECT_EQ(got.year, e.expected.year);
        EXPECT_EQ(got.month, e.expected.month);
        EXPECT_EQ(got.day, e.expected.day);
    }
}

TEST(PeriodOfRecord, WorkedFallbackExamples) {
    // Every day of 2019 is 10 and every day of 2020 up to 15 March is 20
    // (TMAX = TMIN); 1895 to 2018 have no data and get the value 0.0.
    std::string input;
    for (int m = 1; m <= 12; ++m)
        for (int d = 1; d <= 31; ++d) {
            static const int len[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            if (d <= len[m - 1]) input += daily_line(2019, m, d, 10.0, 10.0);
        }
    for (int m = 1; m <= 3; ++m)
        for (int d = 1; d <= (m == 3 ? 15 : m == 2 ? 29 : 31); ++d) input += daily_line(2020, m, d, 20.0, 20.0);

    // 31 December 2021 is at or after 15 March 2020 in every field.
    outcome late = run_span("2021", "12", "31", input);
    ASSERT_EQ(late.r.status, 0) << late.r.err;
    EXPECT_EQ(rank_line(late.ranks, 1), "Mar 15 2020     1-day      126    126      1   20.00   19.76");
    for (int i = 1; i <= 11; ++i) EXPECT_EQ(rank_line(late.ranks, i).substr(0, 11), "Mar 15 2020");

    // 10 April 2020 stays (day 10 before 15): 2020 has no 1-day value; its
    // 30-day window (from slot 72) counts 12 to 15 March and ranks by them.
    outcome april = run_span("2020", "4", "10", input);
    ASSERT_EQ(april.r.status, 0) << april.r.err;
    EXPECT_EQ(rank_line(april.ranks, 1), "Apr 10 2020     1-day      126  -9999  -9999-9999.00-9999.00");
    EXPECT_EQ(rank_line(april.ranks, 7), "Apr 10 2020     1-mon      126    126      1   20.00   19.76");
    std::vector<std::string> day = block(april.ts, " 1-day");
    ASSERT_EQ(day.size(), 126u);
    EXPECT_EQ(day[0], " 1-day  126 1895     0.0000");
    EXPECT_EQ(day[124], " 1-day    2 2020     0.0000");
    EXPECT_EQ(day[125], " 1-day    1 2019    10.0000");

    // 20 January 2021 stays (month 1 before 3): the current year lies
    // beyond the ranked years in every window, and the blocks are complete.
    outcome january = run_span("2021", "1", "20", input);
    ASSERT_EQ(january.r.status, 0) << january.r.err;
    for (int i = 1; i <= 11; ++i)
        EXPECT_EQ(rank_line(january.ranks, i).substr(0, 11) + rank_line(january.ranks, i).substr(30),
                  "Jan 20 2021  -9999  -9999-9999.00-9999.00");

    for (const auto& [o, q] : {std::pair<const outcome&, std::vector<int>>{late, {2021, 12, 31}},
                               {april, {2020, 4, 10}}, {january, {2021, 1, 20}}}) {
        reference::files ref = reference::period_of_record(input, q[0], q[1], q[2], reference::rule::span);
        EXPECT_EQ(o.ranks, ref.ranks);
        EXPECT_EQ(o.ts, ref.ts);
    }
}

TEST(PeriodOfRecord, EachRowOfTheElementTable) {
    // 1-day windows of 5 January, requested for 1896 (ranked up to 1897):
    //               1895     1896 (TMIN missing)  1897 (TMAX missing)
    // mean of both  15       -484.5 undivided     no day: 0
    // TMAX          20       30                   0
    // TMIN by TMIN  10       no day: 0            4
    // TMIN by TMAX  10       -999 undivided       0
    // nothing       0        0 (counted)          0
    const std::string input = element_fixture();
    const std::string none = "Jan  5 1896     1-day        3  -9999  -9999-9999.00-9999.00";
    struct expectation {
        std::string rank;
        std::vector<std::string> series;
    };
    const std::vector<expectation> expected = {
        {none, {" 1-day    3 1896  -999.0000", " 1-day    2 1897     0.0000", " 1-day    1 1895    15.0000"}},
        {"Jan  5 1896     1-day        3      3      1   30.00   13.33",
         {" 1-day    3 1897     0.0000", " 1-day    2 1895    20.0000", " 1-day    1 1896    30.0000"}},
        {none, {" 1-day    3 1896     0.0000", " 1-day    2 1897     4.0000", " 1-day    1 1895    10.0000"}},
        {none, {" 1-day    3 1896  -999.0000", " 1-day    2 1897     0.0000", " 1-day    1 1895    15.0000"}},
        {none, {" 1-day    3 1896  -999.0000", " 1-day    2 1897     0.0000", " 1-day    1 1895    10.0000"}},
        {"Jan  5 1896     1-day        3      3      1   30.00   13.33",
         {" 1-day    3 1897     0.0000", " 1-day    2 1895    20.0000", " 1-day    1 1896    30.0000"}},
        {none, {" 1-day    3 1895     0.0000", " 1-day    2 1896     0.0000", " 1-day    1 1897     0.0000"}},
    };
    for (std::size_t i = 0; i < all_rows.size(); ++i) {
        const program_rule& p = all_rows[i];
        SCOPED_TRACE(p.prog + " " + p.element);
        outcome o = run_report(p, "1896", "1", "5", input);
        ASSERT_EQ(o.r.status, 0) << o.r.err;
        EXPECT_EQ(o.r.out, "");
        EXPECT_EQ(o.listing, (std::vector<std::string>{p.stem + "_ranks", p.stem + "_ts"}));
        EXPECT_EQ(rank_line(o.ranks, 1), expected[i].rank);
        EXPECT_EQ(block(o.ts, " 1-day"), expected[i].series);
        reference::files ref = reference::period_of_record(input, 1896, 1, 5, p.rule);
        EXPECT_EQ(o.ranks, ref.ranks);
        EXPECT_EQ(o.ts, ref.ts);
    }
}

TEST(PeriodOfRecord, UnrecognisedElementSumsNothing) {
    const std::string input = reference::generated(1895, 1930, 6, 30, 11);
    for (std::string element : {"tmax", "TMAXX", " TMAX", "X"}) {
        program_rule p{"elemreport", element, reference::rule::elem_other, "TX_" + element};
        outcome o = run_report(p, "1920", "3", "1", input);
        ASSERT_EQ(o.r.status, 0) << o.r.err;
        std::vector<std::string> rk = lines_of(o.ranks);
        ASSERT_EQ(rk.size(), 12u);
        for (std::size_t i = 1; i < rk.size(); ++i) EXPECT_EQ(rk[i].substr(30), "  -9999  -9999-9999.00-9999.00");
        // Every value is 0.0, so each block stays in chronological order.
        int previous = 0;
        std::string label;
        for (const std::string& l : lines_of(o.ts)) {
            EXPECT_EQ(l.substr(16), "     0.0000");
            int year = std::stoi(l.substr(12, 4));
            if (l.substr(0, 6) != label) previous = 0;
            label = l.substr(0, 6);
            EXPECT_GT(year, previous) << l;
            previous = year;
        }
    }
}

TEST(PeriodOfRecord, MatchesReferenceOnGeneratedSeries) {
    const std::string input = reference::generated(1895, 1950, 9, 20, 5);
    const auto loaded = reference::load(input);
    struct request {
        int y, m, d;
    };
    for (const program_rule& p : all_rows)
        for (request q : std::vector<request>{{1945, 1, 5}, {1944, 12, 31}, {1901, 7, 1}}) {
            SCOPED_TRACE(p.prog + " " + p.element + " " + std::to_string(q.y) + "-" + std::to_string(q.m) + "-" +
                         std::to_string(q.d));
            outcome o = run_report(p, std::to_string(q.y), std::to_string(q.m), std::to_string(q.d), input);
            ASSERT_EQ(o.r.status, 0) << o.r.err;
            reference::files ref = reference::period_of_record(*loaded, q.y, q.m, q.d, p.rule);
            EXPECT_EQ(o.ranks, ref.ranks);
            EXPECT_EQ(o.ts, ref.ts);
        }
    // More reference dates for the mean: the last date itself, a later
    // one, a year before the record and one after the input.
    for (request q : std::vector<request>{{1950, 9, 20}, {1951, 10, 25}, {1800, 2, 29}, {1951, 1, 1}, {1895, 1, 1}}) {
        SCOPED_TRACE(std::to_string(q.y) + "-" + std::to_string(q.m) + "-" + std::to_string(q.d));
        outcome o = run_span(std::to_string(q.y), std::to_string(q.m), std::to_string(q.d), input);
        ASSERT_EQ(o.r.status, 0) << o.r.err;
        reference::files ref = reference::period_of_record(*loaded, q.y, q.m, q.d, reference::rule::span);
        EXPECT_EQ(o.ranks, ref.ranks);
        EXPECT_EQ(o.ts, ref.ts);
    }
}

TEST(PeriodOfRecord, ElementReportsEqualTheirSiblings) {
    const std::string input = reference::generated(1895, 1952, 2, 29, 9);
    for (const auto& [sibling, element] : {std::pair<int, int>{0, 3}, {1, 5}}) {
        outcome a = run_report(all_rows[static_cast<std::size_t>(sibling)], "1951", "2", "28", input);
        outcome b = run_report(all_rows[static_cast<std::size_t>(element)], "1951", "2", "28", input);
        ASSERT_EQ(a.r.status, 0) << a.r.err;
        ASSERT_EQ(b.r.status, 0) << b.r.err;
        EXPECT_EQ(a.ranks, b.ranks);
        EXPECT_EQ(a.ts, b.ts);
    }
}

TEST(PeriodOfRecord, NegativeAndZeroTotals) {
    // 5 January: 1895 TMAX 5 TMIN -5 (total exactly 0.0), 1896 TMAX -10
    // TMIN -20 (total -15), 1897 TMAX 12 TMIN 8 (10).
    std::string input = daily_line(1895, 1, 5, 5.0, -5.0) + daily_line(1896, 1, 5, -10.0, -20.0) +
                        daily_line(1897, 1, 5, 12.0, 8.0);
    // The zero year is shown and averaged but not ranked.
    outcome zero = run_span("1895", "1", "5", input);
    ASSERT_EQ(zero.r.status, 0) << zero.r.err;
    EXPECT_EQ(rank_line(zero.ranks, 1), "Jan  5 1895     1-day        3  -9999  -9999-9999.00-9999.00");
    EXPECT_EQ(block(zero.ts, " 1-day"),
              (std::vector<std::string>{" 1-day    3 1896  -999.0000", " 1-day    2 1895     0.0000",
                                        " 1-day    1 1897    10.0000"}));
    // The negative year is left out of the total but counts in nyears.
    outcome negative = run_span("1896", "1", "5", input);
    EXPECT_EQ(rank_line(negative.ranks, 1), "Jan  5 1896     1-day        3  -9999  -9999-9999.00-9999.00");
    outcome positive = run_span("1897", "1", "5", input);
    // total 0 + 10 = 10, average 10/3: anomaly 6.67.
    EXPECT_EQ(rank_line(positive.ranks, 1), "Jan  5 1897     1-day        3      3      1   10.00    6.67");
}

TEST(PeriodOfRecord, NoYearToRank) {
    // The input ends in 1895: the windows that reach back into 1894 rank no year.
    std::string input;
    for (int d = 1; d <= 10; ++d) input += daily_line(1895, 1, d, 10.0, 0.0);
    outcome o = run_span("1895", "1", "5", input);
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(rank_line(o.ranks, 1), "Jan  5 1895     1-day        1      1      1    5.00    0.00");
    EXPECT_EQ(rank_line(o.ranks, 4), "Jan  5 1895    1-week        0  -9999  -9999-9999.00-9999.00");
    EXPECT_EQ(lines_of(o.ranks).size(), 12u);
    EXPECT_EQ(lines_of(o.ts).size(), 3u);
    EXPECT_TRUE(block(o.ts, "1-week").empty());
}

TEST(PeriodOfRecord, ThirtyFirstOfDecemberOfALeapYear) {
    // D = 366: slot 366 is 1 January 1896 for 1895 (7), 31 December 1896 for
    // 1896 (9), and for 1897, the last year, nothing (0). The labels are the
    // years themselves.
    std::string input = daily_line(1895, 12, 31, 50.0, 50.0) + daily_line(1896, 1, 1, 7.0, 7.0) +
                        daily_line(1896, 12, 31, 9.0, 9.0) + daily_line(1897, 1, 5, 1.0, 1.0);
    outcome o = run_span("1896", "12", "31", input);
    ASSERT_EQ(o.r.status, 0) << o.r.err;
    EXPECT_EQ(rank_line(o.ranks, 1), "Dec 31 1896     1-day        3      3      1    9.00    3.67");
    EXPECT_EQ(block(o.ts, " 1-day"),
              (std::vector<std::string>{" 1-day    3 1897     0.0000", " 1-day    2 1895     7.0000",
                                        " 1-day    1 1896     9.0000"}));
}

TEST(PeriodOfRecord, UsageLines) {
    const std::string four = " USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File\n";
    const std::string five = " USAGE: <YY> <MM> <DD> <ELEM> <STATE/REGION> < Input File \n";
    struct usage_case {
        std::string prog;
        std::vector<std::string> args;
        std::string out;
    };
    std::vector<usage_case> cases;
    for (std::string p : {"spanreport", "highreport", "lowreport"}) {
        cases.push_back({p, {"2000", "1", "5"}, four});
        cases.push_back({p, {"2000", "1", "5", ""}, four});
        cases.push_back({p, {"2000", "", "5", "TX"}, four});
    }
    cases.push_back({"elemreport", {"2000", "1", "5", "TX"}, five});  // the order of the others
    cases.push_back({"elemreport", {"2000", "1", "5", "TMAX", ""}, five});
    cases.push_back({"elemreport", {" ", "1", "5", "TMAX", "TX"}, five});
    cases.push_back({"elemreport", {"2000", "1", "", "TMAX", "TX"}, five});
    for (const usage_case& c : cases) {
        SCOPED_TRACE(c.prog + " " + std::to_string(c.args.size()));
        std::string dir = scratch_dir();
        run_result r = run(program(c.prog), c.args, "not a daily record\n", {dir, "", "", -1});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(list_dir(dir).empty());
    }
    // A blank element is not tested: it runs as an unrecognised element.
    std::string dir = scratch_dir();
    run_result r = run(program("elemreport"), {"1896", "1", "5", "", "TX"}, element_fixture(), {dir, "", "", -1});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"TX__ranks", "TX__ts"}));
    EXPECT_EQ(read_file(dir + "/TX__ts"), reference::period_of_record(element_fixture(), 1896, 1, 5,
                                                                      reference::rule::elem_other).ts);
}

TEST(PeriodOfRecord, RejectionsCreateNoFile) {
    struct rejection {
        std::string prog;
        std::vector<std::string> args;
        std::string message;
    };
    const std::string long_region(1023, 'R');
    const std::vector<rejection> cases = {
        {"spanreport", {"2000", "0", "5", "TX"}, "argument 2: month 0 is outside 1 to 12"},
        {"highreport", {"2000", "13", "5", "TX"}, "argument 2: month 13 is outside 1 to 12"},
        {"lowreport", {"2000", "12", "32", "TX"}, "gives day of year 367, outside 1 to 366"},
        {"elemreport", {"2001", "1", "-5", "TMAX", "TX"}, "gives day of year -5, outside 1 to 366"},
        {"elemreport", {"9999", "99", "99", "TMAX", "TX"}, "argument 2: month 99 is outside 1 to 12"},
        {"spanreport", {"2000", "1x", "5", "TX"}, "argument 2, columns 1-2: malformed integer field"},
        {"spanreport", {"2000", "1", "5", long_region}, "region too long"},
        {"elemreport", {"2000", "1", "5", std::string(1020, 'E'), "TX"}, "region too long"},
        {"highreport", {"2000", "1", "5", std::string(260, 'R')}, "a file name may have"},
    };
    for (const rejection& c : cases) {
        SCOPED_TRACE(c.prog + " " + c.args[1] + " " + c.args[2]);
        std::string dir = scratch_dir();
        run_result r = run(program(c.prog), c.args, "not a daily record\n", {dir, "", "", -1});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind(c.prog + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("standard input"), std::string::npos) << r.err;
        EXPECT_TRUE(list_dir(dir).empty());
    }
    // Any year the field holds is accepted: a year before the record ranks
    // nothing but writes full blocks.
    outcome early = run_span("-999", "1", "5", element_fixture());
    ASSERT_EQ(early.r.status, 0) << early.r.err;
    EXPECT_EQ(rank_line(early.ranks, 1), "Jan  5 -999     1-day        3  -9999  -9999-9999.00-9999.00");
    EXPECT_EQ(block(early.ts, " 1-day").size(), 3u);
    // An input without a record of 1895 or later.
    std::string dir = scratch_dir();
    run_result none = run(program("spanreport"), {"2000", "1", "5", "TX"}, daily_line(1894, 1, 1, 1.0, 1.0),
                          {dir, "", "", -1});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err.rfind("spanreport: ", 0), 0u) << none.err;
    EXPECT_TRUE(list_dir(dir).empty());
}

TEST(PeriodOfRecord, RunsReplaceOneAnotherAndFailuresKeepFiles) {
    std::string dir = scratch_dir();
    const std::string input = element_fixture();
    outcome span = run_report(all_rows[0], "1896", "1", "5", input, dir);
    ASSERT_EQ(span.r.status, 0) << span.r.err;
    outcome high = run_report(all_rows[1], "1896", "1", "5", input, dir);
    ASSERT_EQ(high.r.status, 0) << high.r.err;
    EXPECT_EQ(high.listing, (std::vector<std::string>{"TX_ranks", "TX_ts"}));
    EXPECT_EQ(high.ts, reference::period_of_record(input, 1896, 1, 5, reference::rule::high).ts);
    // A malformed line, then a full device: the high files stay.
    run_result bad = run(program("lowreport"), {"1896", "1", "5", "TX"}, input + "1897  1 11 abc\n", {dir, "", "", -1});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("lowreport: standard input, line"), std::string::npos) << bad.err;
    run_result full = run(program("lowreport"), {"1896", "1", "5", "TX"}, input, {dir, "", "", 200});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("lowreport: cannot write"), std::string::npos) << full.err;
    EXPECT_EQ(list_dir(dir), high.listing);
    EXPECT_EQ(read_file(dir + "/TX_ranks"), high.ranks);
    EXPECT_EQ(read_file(dir + "/TX_ts"), high.ts);
}
