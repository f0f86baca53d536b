// ghcnimport: the line writer against the general record writer, small
// fixtures cut from real GHCN-Daily files (values worked out by hand from
// the lines shown in tests/fixtures/ghcn), every refused input, and the real
// station files and sample against the series converted from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/layout.hpp"
#include "core/record.hpp"
#include "ghcn/import.hpp"
#include "support.hpp"

using test_support::daily_line;
using test_support::lines_of;
using test_support::program;
using test_support::read_file;
using test_support::run;
using test_support::run_result;
using test_support::scratch_dir;
using test_support::write_file;

namespace {

const std::string source_dir = SUITE_SOURCE_DIR;
const std::string shared_data = source_dir + "/../shared/data";
constexpr double none = -999.0;

std::string fixture(const std::string& name) { return read_file(source_dir + "/tests/fixtures/ghcn/" + name); }

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

// The lines of a fixture whose station, year and month (columns 1-17) or
// element (18-21) match.
std::vector<std::string> pick(const std::string& text, const std::string& key, bool keep = true) {
    std::vector<std::string> out;
    for (const std::string& l : lines_of(text)) {
        bool match = l.compare(11, 6, key) == 0 || l.compare(17, 4, key) == 0;
        if (match == keep) out.push_back(l);
    }
    return out;
}

// Day `day` of a .dly line set to `value` (five columns) and `flags`.
std::string with_slot(std::string line, int day, const std::string& value, const std::string& flags = "   ") {
    line.replace(21 + 8 * static_cast<std::size_t>(day - 1), 8, value + flags);
    return line;
}

// The per-station CSV form of .dly lines, as NOAA writes it: one row per
// reported day, blank flags as empty fields, no observation time.
std::string to_csv(const std::string& dly) {
    std::string out;
    for (const std::string& l : lines_of(dly))
        for (int d = 1; d <= 31; ++d) {
            std::string slot = l.substr(21 + 8 * static_cast<std::size_t>(d - 1), 8);
            int v = std::stoi(slot.substr(0, 5));
            if (v == -9999) continue;
            char date[16];
            std::snprintf(date, sizeof date, "%s%02d", l.substr(11, 6).c_str(), d);
            out += l.substr(0, 11) + "," + date + "," + l.substr(17, 4) + "," + std::to_string(v);
            for (int f = 5; f < 8; ++f) out += slot[f] == ' ' ? std::string(",") : std::string(",") + slot[f];
            out += ",\n";
        }
    return out;
}

// Runs ghcnimport in a directory holding `files` (name, text).
run_result import(const std::vector<std::string>& args, const std::vector<std::pair<std::string, std::string>>& files,
                  const std::string& input = "") {
    test_support::run_options o;
    o.cwd = scratch_dir();
    for (const auto& [name, text] : files) write_file(o.cwd + "/" + name, text);
    return run(program("ghcnimport"), args, input, o);
}

run_result import_text(const std::string& text, std::vector<std::string> args = {}) {
    args.push_back("in.dly");
    return import(args, {{"in.dly", text}});
}

// The output line of a date, or "" when there is none.
std::string day_line(const std::string& out, int y, int m, int d) {
    std::string key = daily_line(y, m, d, 0, 0).substr(0, 10);
    for (const std::string& l : lines_of(out))
        if (l.compare(0, 10, key) == 0) return l + "\n";
    return "";
}

}  // namespace

TEST(GhcnLine, SameBytesAsTheGeneralRecordWriter) {
    // Every value from absolute zero up to the largest whose float is close
    // enough for four exact decimals (below 1024 F), and the missing value,
    // through both writers.
    static const core::layout daily_record("(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)");
    std::string general;
    char fast[ghcn::daily_line_size];
    for (int t = ghcn::lowest_tenths - 1; t <= 5510; ++t) {
        std::int32_t h = t < ghcn::lowest_tenths ? ghcn::missing_hundredths : ghcn::hundredths_f(t);
        std::int32_t h2 = ghcn::hundredths_f(-t / 2);
        int year = 1895 + t % 130, month = 1 + (t & 0xffff) % 12, day = 1 + (t & 0xffff) % 31;
        ghcn::day_values d{year, month, day, h, h2};
        ghcn::format_daily_line(fast, d);
        core::value v[] = {year, month, day, static_cast<float>(h / 100.0), 0.0f, 0, 0,
                           static_cast<float>(h2 / 100.0), 0.0f, 0, 0};
        core::format_record(general, daily_record, v, 11);
        ASSERT_EQ(std::string(fast, sizeof fast), general + "\n") << "tenths " << t;
    }
}

TEST(GhcnLine, ExactHundredthsAndSigns) {
    struct {
        std::int32_t tenths;
        const char* field;
    } cases[] = {
        {283, "    82.9400"}, {-178, "    -0.0400"}, {-179, "    -0.2200"}, {-177, "     0.1400"},
        {0, "    32.0000"}, {-2731, "  -459.5800"}, {99999, " 18031.8200"},  // past float's four decimals
    };
    char line[ghcn::daily_line_size];
    for (const auto& c : cases) {
        ghcn::format_daily_line(line, {2016, 12, 31, ghcn::hundredths_f(c.tenths), ghcn::missing_hundredths});
        EXPECT_EQ(std::string(line, sizeof line),
                  std::string("2016 12 31") + c.field + "     0.0000    0  0  -999.0000     0.0000    0  0\n");
    }
}

TEST(GhcnImport, OneLinePerReportedDayFrom1895InDateOrder) {
    // Central Park, December 1894 to February 1900, every element: TMAX and
    // TMIN of 1895-01, 1895-02 (28 days), 1895-04 (30), 1896-02 (29, leap),
    // 1900-02 (28, not leap); -9999 in the slots past each month's end.
    std::string nyc = fixture("nyc_1894_1900.dly");
    run_result r = import_text(nyc);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 31u + 28 + 30 + 29 + 28);
    EXPECT_EQ(lines.front() + "\n", daily_line(1895, 1, 1, 26.06, 15.98));  // -33 and -89 tenths
    EXPECT_EQ(day_line(r.out, 1895, 2, 1), daily_line(1895, 2, 1, 39.02, 21.02));
    EXPECT_EQ(day_line(r.out, 1895, 2, 28), daily_line(1895, 2, 28, 46.04, 37.94));
    EXPECT_EQ(day_line(r.out, 1895, 2, 29), "");
    EXPECT_EQ(day_line(r.out, 1895, 4, 30), daily_line(1895, 4, 30, 62.06, 50.00));
    EXPECT_EQ(day_line(r.out, 1896, 2, 29), daily_line(1896, 2, 29, 53.96, 46.94));
    EXPECT_EQ(lines.back() + "\n", daily_line(1900, 2, 28, 41.00, 17.06));
    EXPECT_EQ(day_line(r.out, 1894, 12, 31), "");
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_LT(lines[i - 1].substr(0, 10), lines[i].substr(0, 10));

    // The same lines in another order give the same series.
    std::vector<std::string> reversed = lines_of(nyc);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(import_text(joined(reversed)).out, r.out);

    // --to stops at a date, the date included.
    run_result to = import_text(nyc, {"--to", "1896-02-28"});
    ASSERT_EQ(to.status, 0) << to.err;
    EXPECT_EQ(lines_of(to.out).size(), 31u + 28 + 30 + 28);
    EXPECT_EQ(lines_of(to.out).back() + "\n", daily_line(1896, 2, 28, 51.08, 32.00));
    EXPECT_EQ(import_text(nyc, {"--to=1895-01-01"}).out, daily_line(1895, 1, 1, 26.06, 15.98));
    run_result before = import_text(nyc, {"--to", "1894-12-31"});
    EXPECT_EQ(before.status, 0);
    EXPECT_EQ(before.out, "");
}

TEST(GhcnImport, FlaggedValuesAndLoneValues) {
    // Blue Hill, February 1896: TMAX of the 25th (0) and TMIN of the 24th
    // (28) carry quality flag I; TMAX of the 24th is 61, TMIN of the 25th -117.
    std::string blue_hill = fixture("blue_hill_1896_02.dly");
    struct {
        std::vector<std::string> args;
        std::string day24, day25;
    } cases[] = {
        {{}, daily_line(1896, 2, 24, none, none), daily_line(1896, 2, 25, none, none)},
        {{"--keep-lone"}, daily_line(1896, 2, 24, 42.98, none), daily_line(1896, 2, 25, none, 10.94)},
        {{"--keep-flagged"}, daily_line(1896, 2, 24, 42.98, 37.04), daily_line(1896, 2, 25, 32.00, 10.94)},
        {{"--keep-lone", "--keep-flagged"}, daily_line(1896, 2, 24, 42.98, 37.04),
         daily_line(1896, 2, 25, 32.00, 10.94)},
    };
    for (const auto& c : cases) {
        run_result r = import_text(blue_hill, c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(lines_of(r.out).size(), 29u);
        EXPECT_EQ(day_line(r.out, 1896, 2, 24), c.day24) << ::testing::PrintToString(c.args);
        EXPECT_EQ(day_line(r.out, 1896, 2, 25), c.day25) << ::testing::PrintToString(c.args);
        EXPECT_EQ(day_line(r.out, 1896, 2, 29), daily_line(1896, 2, 29, 50.00, 41.00));
    }

    // Santa Cruz, January 1895: TMAX -9999 on the 16th to 18th, TMIN -9999
    // on the 4th. Every day still has one value, so every day has a line.
    std::string santa_cruz = fixture("santa_cruz_1895_01.dly");
    run_result strict = import_text(santa_cruz), lone = import_text(santa_cruz, {"--keep-lone"});
    ASSERT_EQ(lines_of(strict.out).size(), 31u);
    ASSERT_EQ(lines_of(lone.out).size(), 31u);
    EXPECT_EQ(day_line(strict.out, 1895, 1, 3), daily_line(1895, 1, 3, 68.00, 42.98));
    EXPECT_EQ(day_line(lone.out, 1895, 1, 3), daily_line(1895, 1, 3, 68.00, 42.98));
    EXPECT_EQ(day_line(strict.out, 1895, 1, 4), daily_line(1895, 1, 4, none, none));
    EXPECT_EQ(day_line(lone.out, 1895, 1, 4), daily_line(1895, 1, 4, 62.06, none));
    EXPECT_EQ(day_line(strict.out, 1895, 1, 16), daily_line(1895, 1, 16, none, none));
    EXPECT_EQ(day_line(lone.out, 1895, 1, 16), daily_line(1895, 1, 16, none, 44.06));
    EXPECT_EQ(day_line(lone.out, 1895, 1, 18), daily_line(1895, 1, 18, none, 44.96));

    // A TMAX month line without its TMIN line: every day is lone; the days
    // TMAX has no value for get no line.
    std::vector<std::string> tmax_only = pick(santa_cruz, "TMAX");
    run_result alone = import_text(joined(tmax_only)), kept = import_text(joined(tmax_only), {"--keep-lone"});
    ASSERT_EQ(lines_of(alone.out).size(), 28u);
    EXPECT_EQ(day_line(alone.out, 1895, 1, 1), daily_line(1895, 1, 1, none, none));
    EXPECT_EQ(day_line(kept.out, 1895, 1, 1), daily_line(1895, 1, 1, 57.92, none));
    EXPECT_EQ(day_line(kept.out, 1895, 1, 17), "");
}

TEST(GhcnImport, FilesAndStationsJoinedFirstComeFirst) {
    std::string nyc = fixture("nyc_1894_1900.dly"), santa_cruz = fixture("santa_cruz_1895_01.dly");
    std::string whole = import_text(nyc).out;
    // The first file lacks February 1895 and both values of 5 January 1895;
    // the second holds Santa Cruz for January 1895 and Central Park's
    // February: it fills the gaps and nothing else.
    std::vector<std::string> first = pick(nyc, "189502", false);
    for (std::string& l : first)
        if (l.compare(11, 10, "189501TMAX") == 0 || l.compare(11, 10, "189501TMIN") == 0) l = with_slot(l, 5, "-9999");
    std::string second = santa_cruz + joined(pick(nyc, "189502"));
    run_result r = import({"a.dly", "b.dly"}, {{"a.dly", joined(first)}, {"b.dly", second}});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string want = whole;
    want.replace(want.find(day_line(whole, 1895, 1, 5)), 71, daily_line(1895, 1, 5, 68.00, 48.02));
    EXPECT_EQ(r.out, want);

    // Two stations in one file: each day from the station whose first line
    // comes first in the file.
    std::string january = joined(pick(nyc, "189501"));
    EXPECT_EQ(day_line(import_text(santa_cruz + january).out, 1895, 1, 1), daily_line(1895, 1, 1, 57.92, 37.94));
    EXPECT_EQ(day_line(import_text(january + santa_cruz).out, 1895, 1, 1), daily_line(1895, 1, 1, 26.06, 15.98));

    // Standard input as a file among others.
    run_result in = import({"b.dly", "-"}, {{"b.dly", santa_cruz}}, january);
    EXPECT_EQ(day_line(in.out, 1895, 1, 1), daily_line(1895, 1, 1, 57.92, 37.94));
    EXPECT_EQ(import({}, {}, january).out, import_text(january).out);
}

TEST(GhcnImport, CsvFormGivesTheSameSeries) {
    const std::vector<std::vector<std::string>> option_sets = {{}, {"--keep-lone"}, {"--keep-flagged"}};
    for (const char* name : {"nyc_1894_1900.dly", "blue_hill_1896_02.dly", "santa_cruz_1895_01.dly"}) {
        std::string dly = fixture(name), csv = to_csv(dly);
        // Rows in reverse order, CRLF line ends and a -9999 row change nothing.
        std::vector<std::string> rows = lines_of(csv);
        std::reverse(rows.begin(), rows.end());
        std::string odd = rows.front().substr(0, 12) + "19991231,TMAX,-9999,,,0,\r\n";
        for (const std::string& row : rows) odd += row + "\r\n";
        for (const auto& args : option_sets) {
            run_result a = import_text(dly, args);
            ASSERT_EQ(a.status, 0) << a.err;
            for (const std::string& text : {csv, odd}) {
                run_result b = import_text(text, args);
                ASSERT_EQ(b.status, 0) << b.err;
                EXPECT_EQ(b.out, a.out) << name << " " << ::testing::PrintToString(args);
            }
        }
    }
    // Observation times and flags in the CSV's own columns.
    std::string row = "USC00190736,18960224,TMAX,61,,,6,0700\nUSC00190736,18960224,TMIN,28,,I,6,0700\n";
    EXPECT_EQ(import_text(row).out, daily_line(1896, 2, 24, none, none));
    EXPECT_EQ(import_text(row, {"--keep-flagged"}).out, daily_line(1896, 2, 24, 42.98, 37.04));
}

TEST(GhcnImport, BadInputNamesFileLineColumnsAndText) {
    std::string nyc = fixture("nyc_1894_1900.dly");
    std::string tmax = pick(nyc, "189501")[0];  // 1895-01 TMAX
    std::string april = pick(nyc, "189504")[0];                    // 1895-04 TMAX
    std::string february = pick(nyc, "189502")[0];                 // 1895-02 TMAX
    std::string prcp = pick(nyc, "PRCP")[0];
    std::string cut80 = "'" + tmax.substr(0, 80) + "...'";
    const std::string csv_row = "USW00094728,18950101,TMAX,-33,,,0,";
    struct {
        const char* what;
        std::string text;
        std::string message;
    } cases[] = {
        {"short line", tmax.substr(0, 268) + "\n", "in.dly, line 1, columns 1-268: 268 columns, not the 269 of a .dly line " + cut80},
        {"one column", "x\n", "in.dly, line 1, column 1: 1 column, not the 269 of a .dly line 'x'"},
        {"long line", tmax + "    1\n", "in.dly, line 1, columns 1-270: line longer than the 269 columns of a .dly line " + cut80},
        {"station id", "usw" + tmax.substr(3) + "\n", "in.dly, line 1, columns 1-11: malformed station id 'usw00094728'"},
        {"year", tmax.substr(0, 11) + "18x5" + tmax.substr(15) + "\n", "in.dly, line 1, columns 12-15: malformed year '18x5'"},
        {"month 13", tmax.substr(0, 15) + "13" + tmax.substr(17) + "\n", "in.dly, line 1, columns 16-17: month outside 1 to 12 '13'"},
        {"month 0", tmax.substr(0, 15) + "00" + tmax.substr(17) + "\n", "in.dly, line 1, columns 16-17: month outside 1 to 12 '00'"},
        {"element", tmax.substr(0, 17) + "Tmax" + tmax.substr(21) + "\n", "in.dly, line 1, columns 18-21: malformed element 'Tmax'"},
        {"value", prcp + "\n" + with_slot(tmax, 2, " 2x3 ") + "\n", "in.dly, line 2, columns 30-34: malformed value of day 2 ' 2x3 '"},
        {"blank value", with_slot(tmax, 31, "     ") + "\n", "in.dly, line 1, columns 262-266: malformed value of day 31 '     '"},
        {"flag", with_slot(tmax, 1, "  -33", " #0") + "\n", "in.dly, line 1, column 28: malformed quality flag of day 1 '#'"},
        {"day 31 of April", with_slot(april, 31, "  100") + "\n", "in.dly, line 1, columns 262-266: value for day 31 of a 30-day month '  100'"},
        {"29 February 1895", with_slot(february, 29, "   50") + "\n", "in.dly, line 1, columns 246-250: value for day 29 of a 28-day month '   50'"},
        {"day 31 of April, not a temperature", with_slot(prcp.substr(0, 15) + "04" + prcp.substr(17), 31, "    0") + "\n", "in.dly, line 1, columns 262-266: value for day 31 of a 30-day month '    0'"},
        {"below absolute zero", with_slot(tmax, 1, "-2732") + "\n", "in.dly, line 1, columns 22-26: temperature below absolute zero '-2732'"},
        {"repeated line", tmax + "\n" + prcp + "\n" + tmax + "\n", "in.dly, line 3, columns 1-21: repeated station, month and element (first on line 1) 'USW00094728189501TMAX'"},
        {"no temperature", prcp + "\n", "in.dly: no TMAX or TMIN line"},
        {"empty file", "", "in.dly: no TMAX or TMIN line"},
        {"CSV field count", csv_row + "\n" + "USW00094728,18950102,TMAX,-22,,,0\n", "in.dly, line 2, columns 1-33: 7 fields, not the 8 of a CSV line 'USW00094728,18950102,TMAX,-22,,,0'"},
        {"CSV header", "ID,DATE,ELEMENT,DATA_VALUE,M_FLAG,Q_FLAG,S_FLAG,OBS_TIME\n", "in.dly, line 1, columns 1-2: malformed station id 'ID'"},
        {"CSV date", "USW00094728,1895011,TMAX,-33,,,0,\n", "in.dly, line 1, columns 13-19: malformed date '1895011'"},
        {"CSV month", "USW00094728,18951301,TMAX,-33,,,0,\n", "in.dly, line 1, columns 13-20: month outside 1 to 12 '18951301'"},
        {"CSV day", "USW00094728,18950132,TMAX,-33,,,0,\n", "in.dly, line 1, columns 13-20: day outside 1 to 31 '18950132'"},
        {"CSV 30 February", "USW00094728,18960230,TMIN,5,,,0,\n", "in.dly, line 1, columns 13-20: value for day 30 of a 29-day month '18960230'"},
        {"CSV value", "USW00094728,18950101,TMAX,3.3,,,0,\n", "in.dly, line 1, columns 27-29: malformed value '3.3'"},
        {"CSV empty value", "USW00094728,18950101,TMAX,,,,0,\n", "in.dly, line 1, column 27: malformed value ''"},
        {"CSV flag", "USW00094728,18950101,TMAX,-33,,II,0,\n", "in.dly, line 1, columns 32-33: malformed quality flag 'II'"},
        {"CSV observation time", "USW00094728,18950101,TMAX,-33,,,0,7am\n", "in.dly, line 1, columns 35-37: malformed observation time '7am'"},
        {"CSV repeat", csv_row + "\n" + csv_row + "\n", "in.dly, line 2, columns 1-25: repeated station, date and element (first on line 1) 'USW00094728,18950101,TMAX'"},
        {"CSV below absolute zero", "USW00094728,18950101,TMIN,-3000,,,0,\n", "in.dly, line 1, columns 27-31: temperature below absolute zero '-3000'"},
    };
    for (const auto& c : cases) {
        run_result r = import_text(c.text);
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_EQ(r.err, "ghcnimport: " + c.message + "\n") << c.what;
    }

    // A bad second file: nothing is written for the good first one.
    run_result two = import({"good.dly", "bad.dly"}, {{"good.dly", nyc}, {"bad.dly", tmax.substr(0, 100)}});
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.out, "");
    EXPECT_EQ(two.err.substr(0, 47), "ghcnimport: bad.dly, line 1, columns 1-100: 100");

    // The command line.
    struct {
        std::vector<std::string> args;
        std::string message;
    } arg_cases[] = {
        {{"missing.dly"}, "cannot open missing.dly: No such file or directory"},
        {{"--to", "2015-02-29", "good.dly"}, "option --to: no such date '2015-02-29'"},
        {{"--to=2015-2-28", "good.dly"}, "option --to: malformed date '2015-2-28', not YYYY-MM-DD"},
        {{"good.dly", "--to"}, "option --to needs a date YYYY-MM-DD"},
        {{"--keep-lonely", "good.dly"}, "unknown option '--keep-lonely' (see ghcnimport --help)"},
        {{".", "good.dly"}, "cannot read .: Is a directory"},
    };
    for (const auto& c : arg_cases) {
        run_result r = import(c.args, {{"good.dly", nyc}});
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "ghcnimport: " + c.message + "\n");
    }
}

TEST(GhcnImport, OptionsAnywhereHelpAndVersion) {
    std::string blue_hill = fixture("blue_hill_1896_02.dly");
    run_result before = import({"--keep-lone", "a.dly"}, {{"a.dly", blue_hill}});
    run_result after = import({"a.dly", "--keep-lone"}, {{"a.dly", blue_hill}});
    EXPECT_EQ(before.out, after.out);
    EXPECT_EQ(day_line(after.out, 1896, 2, 24), daily_line(1896, 2, 24, 42.98, none));
    // After --, a name that looks like an option is a file.
    run_result dashed = import({"--", "--keep-lone"}, {{"--keep-lone", blue_hill}});
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_EQ(day_line(dashed.out, 1896, 2, 24), daily_line(1896, 2, 24, none, none));

    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"--keep-lone", "--help"}}) {
        run_result help = run(program("ghcnimport"), args, "");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind("Usage: ghcnimport [--keep-flagged] [--keep-lone] [--to YYYY-MM-DD] [FILE...]", 0), 0u);
        EXPECT_NE(help.out.find("only one of TMAX and TMIN is written with both\nmissing"), std::string::npos);
        EXPECT_NE(help.out.find("quality flag"), std::string::npos);
        EXPECT_NE(help.out.find("| nowreport"), std::string::npos);
    }
    EXPECT_EQ(run(program("ghcnimport"), {"--version"}, "").out.rfind("ghcnimport (window-ranks) ", 0), 0u);
}

TEST(GhcnImport, RealStationFilesGiveTheConvertedSeries) {
    if (!test_support::file_exists(shared_data + "/raw")) GTEST_SKIP() << "no " << shared_data << "/raw: skipped";
    const std::pair<const char*, const char*> stations[] = {
        {"USW00094728", "nyc_central_park"}, {"USC00190736", "blue_hill_ma"}, {"USC00053005", "fort_collins_co"},
        {"USC00047916", "santa_cruz_ca"},    {"USW00013782", "charleston_sc"},
    };
    for (const auto& [id, name] : stations) {
        std::string raw = shared_data + "/raw/" + id + ".dly";
        std::string want = read_file(shared_data + "/" + name + ".daily");
        run_result lone = run(program("ghcnimport"), {"--keep-lone", raw}, "");
        ASSERT_EQ(lone.status, 0) << lone.err;
        EXPECT_TRUE(lone.out == want) << id << ": differs from " << name << ".daily";
        EXPECT_TRUE(run(program("ghcnimport"), {"--keep-lone", "--to", "2016-12-31", raw}, "").out ==
                    read_file(shared_data + "/" + name + "_to2016.daily"))
            << id << " to 2016";

        // By default only the days with one value missing differ: both missing.
        run_result strict = run(program("ghcnimport"), {raw}, "");
        std::vector<std::string> a = lines_of(strict.out), b = lines_of(want);
        ASSERT_EQ(a.size(), b.size()) << id;
        const std::string missing = "  -999.0000";
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] == b[i]) continue;
            bool lone_day = (b[i].substr(10, 11) == missing) != (b[i].substr(40, 11) == missing);
            std::string both = b[i].substr(0, 10) + missing + b[i].substr(21, 19) + missing + b[i].substr(51);
            EXPECT_TRUE(lone_day && a[i] == both) << id << ": " << a[i] << " for " << b[i];
        }
    }
    // The sample in data/ is the same record as the whole raw file.
    std::string raw = shared_data + "/raw/USW00094728.dly", sample = source_dir + "/data/USW00094728.dly";
    EXPECT_TRUE(run(program("ghcnimport"), {sample}, "").out == run(program("ghcnimport"), {raw}, "").out);
}

TEST(GhcnImport, SampleThroughTheReportsEndToEnd) {
    // The quick start: the sample imported, the last-day report; imported to
    // 2016, the ranks-all table and the top ten 7-day periods read from it.
    std::string sample = source_dir + "/data/USW00094728.dly";
    run_result all = run(program("ghcnimport"), {sample}, "");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(lines_of(all.out).back().substr(0, 10), "2020  1  3");
    run_result now = run(program("nowreport"), {}, all.out);
    EXPECT_EQ(now.status, 0) << now.err;
    EXPECT_EQ(now.err, "");
    EXPECT_EQ(lines_of(now.out).size(), 19u);
    EXPECT_EQ(now.out.find("NaN"), std::string::npos);

    run_result to2016 = run(program("ghcnimport"), {"--to", "2016-12-31", sample}, "");
    ASSERT_EQ(to2016.status, 0) << to2016.err;
    run_result table = run(program("fulltable_testdir"), {"GI"}, to2016.out);
    ASSERT_EQ(table.status, 0) << table.err;
    std::string path = std::string(SUITE_BIN_DIR) + "/test-tables/datasets/daily_anomalies/by_state/ranks/results_all/GI_ranks_all.txt";
    test_support::run_options from_table;
    from_table.input_file = path;
    run_result top = run(program("topten"), {"7"}, "", from_table);
    EXPECT_EQ(top.status, 0) << top.err;
    EXPECT_EQ(lines_of(top.out).size(), 23u);
}
