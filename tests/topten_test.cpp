// topten, plain and trace builds: the report, the reading trace, and every
// table or argument it must refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "core/calendar.hpp"
#include "core/extremes.hpp"
#include "core/failure.hpp"
#include "core/table_reader.hpp"
#include "core/record.hpp"
#include "support.hpp"

using namespace test_support;

namespace {

struct cell {
    int nyears;
    std::vector<float> means;  // positions 1.. at index 0..
    std::vector<int> years;
};

std::string means_line(int j, int k, const cell& c) {
    static const core::layout l("(3i5,140f10.2)");
    std::vector<core::value> v{j, k, c.nyears};
    for (int p = 0; p < 140; ++p)
        v.emplace_back(p < static_cast<int>(c.means.size()) ? c.means[static_cast<std::size_t>(p)] : -999.0f);
    std::string s;
    core::format_record(s, l, v.data(), v.size());
    return s + "\n";
}

std::string years_line(int j, int k, const cell& c) {
    static const core::layout l("(3i5,140i10)");
    std::vector<core::value> v{j, k, c.nyears};
    for (int p = 0; p < 140; ++p)
        v.emplace_back(static_cast<std::int32_t>(p < static_cast<int>(c.years.size()) ? c.years[static_cast<std::size_t>(p)] : -999));
    std::string s;
    core::format_record(s, l, v.data(), v.size());
    return s + "\n";
}

// A short line: the positions read as blanks, that is as zeros.
std::string head_line(int j, int k, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%5d%5d%5d\n", j, k, n);
    return buf;
}

// The cell of start day j used where a test sets nothing else: three years
// with means that put day j's entries in the middle of both reports.
cell plain_cell(int j) {
    float base = 50.0f + static_cast<float>(j % 7) / 10.0f;
    return {3, {base - 20.0f, base, base + 10.0f}, {1901, 1902, 1903}};
}

// A complete table in file order whose cells of duration d come from
// `cells` (or plain_cell); every other cell is a short pair.
std::string table(int d, const std::map<int, cell>& cells = {}) {
    std::string t;
    t.reserve(266450 * 17);
    for (int j = 1; j <= 365; ++j)
        for (int k = 1; k <= 365; ++k) {
            if (k != d) {
                t += head_line(j, k, 1);
                t += head_line(j, k, 1);
                continue;
            }
            auto it = cells.find(j);
            cell c = it == cells.end() ? plain_cell(j) : it->second;
            t += means_line(j, k, c);
            t += years_line(j, k, c);
        }
    return t;
}

run_result topten(const std::vector<std::string>& args, const std::string& input) {
    return run(program("topten"), args, input);
}

const std::string usage = " <DURATION_#DAYS> < Input File (REGION_ranks_all.txt)\n";

}  // namespace

TEST(Topten, UsageLineForABlankArgumentWithoutReadingInput) {
    for (auto args : std::vector<std::vector<std::string>>{{}, {""}, {"     "}}) {
        for (const char* prog : {"topten", "topten-trace"}) {
            run_result r = run(program(prog), args, "not a table\n");
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, usage);
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST(Topten, ArgumentsOutsideTheTableAreRefusedBeforeReading) {
    struct bad {
        std::string arg, err;
    } cases[] = {
        {"123456", "topten: argument 1: duration 12345 outside 1 to 365\n"},  // only five characters count
        {"0", "topten: argument 1: duration 0 outside 1 to 365\n"},
        {"366", "topten: argument 1: duration 366 outside 1 to 365\n"},
        {"-3", "topten: argument 1: duration -3 outside 1 to 365\n"},
        {"7abc", "topten: argument 1, columns 1-5: malformed integer field '7abc '\n"},
    };
    for (const bad& c : cases) {
        run_result r = topten({c.arg}, "");
        EXPECT_NE(r.status, 0) << c.arg;
        EXPECT_EQ(r.out, "") << c.arg;
        EXPECT_EQ(r.err, c.err) << c.arg;
    }
}

TEST(Topten, ReportOrderTiesAndStartDates) {
    // Warm entries (last ranked position) and cold entries (position 1) set
    // by hand; every other start day sits near 50.
    std::map<int, cell> cells;
    cells[60] = {2, {-10.0f, 90.0f}, {1937, 1936}};   // warm 90.00 in 1936: 29 Feb
    cells[61] = {2, {-10.0f, 90.0f}, {1900, 1937}};   // same warm mean, later day first; cold tie
    cells[365] = {3, {-999.0f, 20.0f, 88.5f}, {1950, 1951, 2000}};  // 30 Dec 2000; cold -999.00
    cells[1] = {1, {87.25f}, {1999}};                // one year: warm and cold alike
    cells[100] = {3, {-10.0f, 40.0f, 60.0f}, {1901, 1902, 1903}};
    run_result r = topten({"7"}, table(7, cells));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[0], "Top 10 Warm for Duration (Days):   7");
    EXPECT_EQ(lines[1], "   1   90.00  | Start Date: 1937  3  2");  // day 61, the later of the tie
    EXPECT_EQ(lines[2], "   2   90.00  | Start Date: 1936  2 29");
    EXPECT_EQ(lines[3], "   3   88.50  | Start Date: 2000 12 30");
    EXPECT_EQ(lines[4], "   4   87.25  | Start Date: 1999  1  1");
    // Then the plain cells' warm means 60.60 (days with j % 7 == 6), latest first.
    EXPECT_EQ(lines[5], "   5   60.60  | Start Date: 1903 12 29");  // day 363, the last with j % 7 == 6
    EXPECT_EQ(lines[11], " ");
    EXPECT_EQ(lines[12], "Top 10 Cold for Duration (Days):   7");
    EXPECT_EQ(lines[13], "   1 -999.00  | Start Date: 1950 12 31");  // 1950 is common: day 365 is 31 Dec
    EXPECT_EQ(lines[14], "   2  -10.00  | Start Date: 1937  3  1");  // day 60 of 1937
    EXPECT_EQ(lines[15], "   3  -10.00  | Start Date: 1900  3  2");  // day 61 of 1900
    EXPECT_EQ(lines[16], "   4  -10.00  | Start Date: 1901  4 10");  // day 100
    // Then the lowest plain cold means 30.00 (j % 7 == 0), earliest first: day 7.
    EXPECT_EQ(lines[17], "   5   30.00  | Start Date: 1901  1  7");
}

TEST(Extremes, SortKeepsTiesInOrderAndNaNInPlace) {
    core::extremes_list list;
    for (int j = 1; j <= 365; ++j) list[static_cast<std::size_t>(j - 1)] = {static_cast<float>(400 - j), 1900, j};
    list[9].mean = NAN;   // start day 10 stays 10th
    list[0].mean = 5.0f;
    list[300].mean = 5.0f;
    core::sort_extremes(list);
    // Start days 1..9 form one stretch, 11..365 the other; each sorted alone.
    EXPECT_TRUE(std::isnan(list[9].mean));
    EXPECT_EQ(list[9].start_day, 10);
    EXPECT_EQ(list[0].start_day, 1);  // 5.0 is the lowest of the first stretch
    EXPECT_EQ(list[8].start_day, 2);
    EXPECT_EQ(list[10].start_day, 301);  // 5.0, lowest of the second stretch
    EXPECT_EQ(list[11].start_day, 365);
    EXPECT_EQ(list[364].start_day, 11);
}

TEST(Topten, CellsArePlacedByTheirOwnFields) {
    std::string normal = topten({"9"}, table(9)).out;
    ASSERT_EQ(lines_of(normal).size(), 23u);
    // The same pairs, start days in reverse order.
    std::string t = table(9);
    std::vector<std::string> lines = lines_of(t);
    std::string reversed;
    for (int pair = 133224; pair >= 0; --pair)
        reversed += lines[static_cast<std::size_t>(2 * pair)] + "\n" + lines[static_cast<std::size_t>(2 * pair + 1)] + "\n";
    EXPECT_EQ(topten({"9"}, reversed).out, normal);
    // Years lines swapped between the pairs of two cells: each cell still
    // gets its own means and years.
    std::size_t a = 2 * (365 * 4 + 8) + 1, b = 2 * (365 * 5 + 8) + 1;  // years lines of (5, 9) and (6, 9)
    std::swap(lines[a], lines[b]);
    std::string crossed;
    for (const std::string& l : lines) crossed += l + "\n";
    EXPECT_EQ(topten({"9"}, crossed).out, normal);
}

TEST(Topten, TheYearsLineCountStands) {
    // Means line of (5, 9) counts 3, its years line 2: position 2 is the warmest.
    std::map<int, cell> cells;
    cells[5] = {3, {10.0f, 95.0f, 99.0f}, {1901, 1950, 1951}};
    std::string t = table(9, cells);
    std::string means = means_line(5, 9, cells[5]);
    cell two = cells[5];
    two.nyears = 2;
    std::size_t at = t.find(years_line(5, 9, cells[5]));
    ASSERT_NE(at, std::string::npos);
    t.replace(at, 1416, years_line(5, 9, two));
    run_result r = topten({"9"}, t);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out)[1], "   1   95.00  | Start Date: 1950  1  5");
}

TEST(Topten, TablesThatCannotGiveAReportFail) {
    std::string full = table(7);
    struct bad {
        std::string name, input, err;
    } cases[] = {
        {"empty", "", "topten: standard input: the table ends early, after 0 lines (a complete table has 266450)\n"},
        {"last years line missing", full.substr(0, full.size() - 16),
         "topten: standard input: the table ends early, after 266449 lines (a complete table has 266450)\n"},
        {"malformed field", head_line(1, 1, 1).substr(0, 15) + "      1x.5\n" + full.substr(16),
         "topten: standard input, line 1, columns 16-25: malformed real field '      1x.5'\n"},
        {"start day 366", head_line(366, 1, 1) + full.substr(16),
         "topten: standard input, line 1: start day 366 outside 1 to 365\n"},
        {"duration 0", full.substr(0, 16) + head_line(1, 0, 1) + full.substr(32),
         "topten: standard input, line 2: duration 0 outside 1 to 365\n"},
    };
    for (const bad& c : cases) {
        run_result r = topten({"7"}, c.input);
        EXPECT_NE(r.status, 0) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
    // A cell of duration 7 replaced by another cell, and a count of 141.
    std::map<int, cell> cells;
    cells[3] = {141, {1.0f}, {1901}};
    run_result r = topten({"7"}, table(7, cells));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "topten: standard input: the cell of start day 3, duration 7 has a count of 141 ranked years, outside 1 to 140\n");
    std::string t = table(7);
    std::size_t at = t.find(means_line(3, 7, plain_cell(3)));
    t.replace(at, 2 * 1416, means_line(4, 7, plain_cell(4)) + years_line(4, 7, plain_cell(4)));
    r = topten({"7"}, t);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, "topten: standard input: the table has no means line for the cell of start day 3, duration 7\n");
}

TEST(ToptenTrace, TraceLinesThenTheReport) {
    std::string t = table(2);
    run_result r = run(program("topten-trace"), {"2"}, t);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 4u * 133225 + 1 + 23);
    EXPECT_EQ(lines[0], " READING IN ONES");
    EXPECT_EQ(lines[1], "ONE    1    1    1");
    EXPECT_EQ(lines[2], " READING IN TWOS");
    EXPECT_EQ(lines[3], "TWO    1    1    1");
    EXPECT_EQ(lines[5], "ONE    1    2    3");
    EXPECT_EQ(lines[4 * 133225 - 1], "TWO  365  365    1");
    EXPECT_EQ(lines[4 * 133225], " test");
    std::string plain = topten({"2"}, t).out;
    EXPECT_EQ(r.out.substr(r.out.size() - plain.size()), plain);
}

TEST(ToptenTrace, TraceUpToATableThatEndsEarly) {
    std::string t = table(2).substr(0, 3 * 16);  // three lines
    run_result r = run(program("topten-trace"), {"2"}, t);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, " READING IN ONES\nONE    1    1    1\n READING IN TWOS\nTWO    1    1    1\n"
                     " READING IN ONES\nONE    1    2    3\n READING IN TWOS\n");
    EXPECT_EQ(r.err, "topten-trace: standard input: the table ends early, after 3 lines (a complete table has 266450)\n");
    r = run(program("topten-trace"), {"2"}, "");
    EXPECT_EQ(r.out, " READING IN ONES\n");
}

namespace {

// A field text of width w: mostly the writer's own shape, often something
// else the general rules accept or refuse.
std::string random_field(std::mt19937& rng, int w, bool real) {
    static const char* odd[] = {"", " ", "-", "+", "1e5", "1.5E2", "12 34", "1.2.3", "1-2", "+7", "-0", "1D-1",
                                "9999999999", "-2147483648", "2147483648", ".5", "5.", "x", "\t1", "0.0000001",
                                "1+2", "--1", "1e", "NaN", "-999.00", "   -0.00"};
    std::uniform_int_distribution<int> pick(0, 99);
    std::string t;
    int r = pick(rng);
    if (r < 60) {
        char buf[32];
        if (real)
            std::snprintf(buf, sizeof buf, "%*.2f", w, (static_cast<int>(rng() % 2000000) - 1000000) / 100.0);
        else
            std::snprintf(buf, sizeof buf, "%*d", w, static_cast<int>(rng() % 4000) - 1000);
        t = buf;
    } else {
        t = odd[rng() % (sizeof odd / sizeof *odd)];
        if (rng() % 2) t.insert(0, static_cast<std::size_t>(rng() % 4), ' ');
    }
    if (static_cast<int>(t.size()) > w) t = t.substr(0, static_cast<std::size_t>(w));
    t.insert(0, static_cast<std::size_t>(w) - t.size(), ' ');
    return t;
}

}  // namespace

TEST(TableReader, FastCheckAgreesWithTheGeneralRules) {
    std::mt19937 rng(2024);
    for (const char* text : {"(3i5,140f10.2)", "(3i5,140i10)"}) {
        core::layout format(text);
        bool real = std::strchr(text, 'f') != nullptr;
        core::table_line_reader fast(format);
        for (int round = 0; round < 3000; ++round) {
            std::string line;
            for (int f = 0; f < 143; ++f) {
                bool odd_line = round % 3 == 0;
                std::string field = f < 3 ? random_field(rng, 5, false) : random_field(rng, 10, real);
                if (!odd_line && !(f == 17 && round % 5 == 0)) {
                    char buf[16];
                    if (f < 3) std::snprintf(buf, sizeof buf, "%5d", 1 + f);
                    else if (real) std::snprintf(buf, sizeof buf, "%10.2f", (static_cast<int>(rng() % 200000) - 100000) / 100.0);
                    else std::snprintf(buf, sizeof buf, "%10d", 1895 + static_cast<int>(rng() % 130));
                    field = buf;
                }
                line += field;
            }
            if (round % 7 == 0) line.resize(1 + rng() % (line.size() - 1));  // a short line reads as blanks
            core::line_reader a = core::line_reader::from_text(line, "t");
            core::line_reader b = core::line_reader::from_text(line, "t");
            std::string_view view;
            ASSERT_TRUE(a.next(view, 1415));
            core::record r;
            std::string general_error, fast_error;
            try {
                core::read_record(b, format, r);
            } catch (const core::failure& e) {
                general_error = e.what();
            }
            std::array<std::int32_t, 3> head{};
            std::vector<float> reals(140);
            std::vector<std::int32_t> ints(140);
            try {
                head = fast.check(a, view);
                if (real) fast.reals(a, view, reals.data());
                else fast.integers(a, view, ints.data());
            } catch (const core::failure& e) {
                fast_error = e.what();
            }
            ASSERT_EQ(fast_error, general_error) << line;
            if (!general_error.empty()) continue;
            for (int f = 0; f < 3; ++f) ASSERT_EQ(head[static_cast<std::size_t>(f)], r.integer(static_cast<std::size_t>(f)));
            for (int p = 0; p < 140; ++p) {
                if (real) {
                    float want = r.real(static_cast<std::size_t>(3 + p)), got = reals[static_cast<std::size_t>(p)];
                    ASSERT_EQ(std::memcmp(&want, &got, 4), 0) << line << " position " << p + 1;
                } else {
                    ASSERT_EQ(ints[static_cast<std::size_t>(p)], r.integer(static_cast<std::size_t>(3 + p))) << line;
                }
            }
        }
    }
}

TEST(Topten, EndToEndFromADailySeries) {
    // A generated series through fulltable, then both builds of topten,
    // against the report worked out here from the table's lines of duration
    // 30 with the general record reader and the exchange sort as written.
    run_result made = run(program("make_series"), {"--to", "2016-12-31", "--missing-tmax", "0.02"}, "");
    ASSERT_EQ(made.status, 0);
    ASSERT_EQ(run(program("fulltable_testdir"), {"E2"}, made.out).status, 0);
    const std::string path = std::string(SUITE_BIN_DIR) +
                             "/test-tables/datasets/daily_anomalies/by_state/ranks/results_all/E2_ranks_all.txt";
    std::string t = read_file(path);
    const int d = 30;
    core::layout means("(3i5,140f10.2)"), years("(3i5,140i10)");
    std::vector<core::extreme_entry> warm(365), cold(365);
    std::vector<std::string> lines = lines_of(t);
    ASSERT_EQ(lines.size(), 266450u);
    for (int j = 1; j <= 365; ++j) {
        std::size_t at = static_cast<std::size_t>(2 * (365 * (j - 1) + (d - 1)));
        core::line_reader src = core::line_reader::from_text(lines[at] + "\n" + lines[at + 1] + "\n", "t");
        core::record m, y;
        ASSERT_TRUE(core::read_record(src, means, m));
        ASSERT_TRUE(core::read_record(src, years, y));
        int n = y.integer(2);
        warm[static_cast<std::size_t>(j - 1)] = {m.real(static_cast<std::size_t>(2 + n)), y.integer(static_cast<std::size_t>(2 + n)), j};
        cold[static_cast<std::size_t>(j - 1)] = {m.real(3), y.integer(3), j};
    }
    auto exchange = [](std::vector<core::extreme_entry>& l) {
        for (int pass = 0; pass < 365; ++pass)
            for (int i = 0; i < 364; ++i)
                if (l[static_cast<std::size_t>(i)].mean > l[static_cast<std::size_t>(i + 1)].mean) std::swap(l[static_cast<std::size_t>(i)], l[static_cast<std::size_t>(i + 1)]);
    };
    exchange(warm);
    exchange(cold);
    core::layout title("(a,i3)"), entry("(i4,f8.2,a,1x,i4,1x,2(i2,1x))");
    std::string want, s;
    auto add = [&](const core::extreme_entry& e, int r) {
        core::month_day md = core::month_and_day(e.start_day, core::calendar_leap_year(e.year));
        std::vector<core::value> v{r, e.mean, "  | Start Date:", e.year, md.month, md.day};
        core::format_record(s, entry, v.data(), v.size());
        want += s + "\n";
    };
    std::vector<core::value> tv{"Top 10 Warm for Duration (Days): ", d};
    core::format_record(s, title, tv.data(), tv.size());
    want += s + "\n";
    for (int r = 1; r <= 10; ++r) add(warm[static_cast<std::size_t>(365 - r)], r);
    want += " \n";
    tv = {"Top 10 Cold for Duration (Days): ", d};
    core::format_record(s, title, tv.data(), tv.size());
    want += s + "\n";
    for (int r = 1; r <= 10; ++r) add(cold[static_cast<std::size_t>(r - 1)], r);

    run_result plain = run(program("topten"), {"30"}, "", {"", path, "", -1});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, want);
    run_result trace = run(program("topten-trace"), {"30"}, "", {"", path, "", -1});
    EXPECT_EQ(trace.status, 0);
    EXPECT_EQ(std::count(trace.out.begin(), trace.out.end(), '\n'), 532924);
    EXPECT_EQ(trace.out.substr(trace.out.size() - want.size()), want);
    ::unlink(path.c_str());
}
