// The ranks-all table builder against a deliberately simple version of the
// same rules (each window summed from its first day, the exchange sort as
// written, the general record writer), and the fulltable program's file
// handling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/daily_series.hpp"
#include "core/fields.hpp"
#include "core/ranks_all_table.hpp"
#include "core/failure.hpp"
#include "core/record.hpp"
#include "core/threads.hpp"
#include "core/window.hpp"
#include "support.hpp"

using namespace test_support;

namespace {

// The two lines of window (j, k), the simple way.
std::string reference_window(const core::daily_series& s, int j, int k) {
    static const core::layout means("(3i5,140f10.2)"), years("(3i5,140i10)");
    const int l = s.last_date.year, d = s.last_day_of_year;
    const int e = core::end_year(j, k, l, d);
    const int nyears = e - 1894;
    std::vector<float> mean(140, -999.0f);
    std::vector<int> year(140, -999);
    for (int y = 1895; y <= e; ++y) {
        float sum = 0.0f;
        int count = 0;
        for (int slot = j; slot <= j + k - 1; ++slot) {
            if (s.tmax(y, slot) > -998.0f) {
                float both = s.tmax(y, slot) + s.tmin(y, slot);
                float half = 0.5f * both;
                sum = sum + half;
                count = count + 1;
            }
        }
        mean[static_cast<std::size_t>(y - 1895)] = sum / static_cast<float>(count);
        year[static_cast<std::size_t>(y - 1895)] = y;
    }
    for (int pass = 0; pass < nyears; ++pass)
        for (int i = 0; i + 1 < nyears; ++i)
            if (mean[static_cast<std::size_t>(i)] > mean[static_cast<std::size_t>(i + 1)]) {
                std::swap(mean[static_cast<std::size_t>(i)], mean[static_cast<std::size_t>(i + 1)]);
                std::swap(year[static_cast<std::size_t>(i)], year[static_cast<std::size_t>(i + 1)]);
            }
    for (float& m : mean)
        if (std::isnan(m)) m = -999.0f;
    std::vector<core::value> mv{j, k, nyears}, yv{j, k, nyears};
    for (int p = 0; p < 140; ++p) {
        mv.emplace_back(mean[static_cast<std::size_t>(p)]);
        yv.emplace_back(static_cast<std::int32_t>(year[static_cast<std::size_t>(p)]));
    }
    std::string a, b;
    core::format_record(a, means, mv.data(), mv.size());
    core::format_record(b, years, yv.data(), yv.size());
    return a + "\n" + b + "\n";
}

// A generated daily input: gaps, missing TMAX or TMIN, a year with a long
// run of missing TMAX (NaN entries), copies of one year (equal means),
// negative values and records before 1895.
std::string generated_input(int last_year, int last_month, int last_day, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-8.0, 8.0);
    std::uniform_int_distribution<int> pct(0, 99);
    std::string text = daily_line(1893, 5, 5, 50.0, 40.0) + daily_line(1894, 12, 31, 10.0, 0.0);
    static const int mdays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int y = 1895; y <= last_year; ++y) {
        int doy = 0;
        for (int m = 1; m <= 12; ++m) {
            int nd = mdays[m - 1] + (m == 2 && y % 4 == 0 && y != 1900 ? 1 : 0);
            for (int d = 1; d <= nd; ++d) {
                ++doy;
                if (y == last_year && (m > last_month || (m == last_month && d > last_day))) break;
                int r = pct(rng);
                if (r < 2) continue;  // an absent day
                // 1898 repeats 1897's values day by day, so whole windows tie.
                std::uint32_t base = (y == 1898 ? 1897u : static_cast<std::uint32_t>(y)) * 1000u + static_cast<std::uint32_t>(doy);
                double v = 40.0 + 30.0 * std::sin(doy / 58.0) + std::fmod(base * 7.31, 11.0) - 5.0;
                if (y == 1899) v -= 80.0;  // means below zero, some rounding to -0.00
                double tmax = std::round((v + 9.0) * 100.0) / 100.0, tmin = std::round((v - 9.0 + noise(rng) / 10) * 100.0) / 100.0;
                if (y == 1898) tmin = std::round((v - 9.0) * 100.0) / 100.0;
                if (y == 1897) tmin = std::round((v - 9.0) * 100.0) / 100.0;
                if (r == 2) tmax = -999.0;
                if (r == 3) tmin = -999.0;
                if (y == 1901 && doy >= 40 && doy <= 120) tmax = -999.0;  // no counted day
                text += daily_line(y, m, d, tmax, tmin);
            }
        }
    }
    return text;
}

core::daily_series load(const std::string& text, int last_year = 2016) {
    core::line_reader in = core::line_reader::from_text(text, "standard input");
    core::daily_series s = core::read_daily_series(in, last_year);
    core::extend_next_year(s, s.last_date.year);
    return s;
}

// The 730 lines the builder formats for start day j.
std::string built_start_day(const core::daily_series& s, int j) {
    std::string block(core::start_day_bytes, '\0');
    core::ranks_all_builder builder(s);
    builder.format_start_day(j, block.data());
    return block;
}

void expect_start_days_match(const core::daily_series& s, const std::vector<int>& days) {
    for (int j : days) {
        std::vector<std::string> got = lines_of(built_start_day(s, j));
        ASSERT_EQ(got.size(), 730u) << "start day " << j;
        for (int k = 1; k <= 365; ++k) {
            std::vector<std::string> want = lines_of(reference_window(s, j, k));
            ASSERT_EQ(got[static_cast<std::size_t>(2 * (k - 1))], want[0]) << "window " << j << "," << k;
            ASSERT_EQ(got[static_cast<std::size_t>(2 * (k - 1) + 1)], want[1]) << "window " << j << "," << k;
        }
    }
}

}  // namespace

TEST(RanksAllBuilder, MatchesTheSimpleRulesMidYear) {
    // Last date 30 June 1912 (D = 182, a leap year): every nyears case occurs
    // among the start days before, at and after D.
    core::daily_series s = load(generated_input(1912, 6, 30, 7));
    ASSERT_EQ(s.last_day_of_year, 182);
    expect_start_days_match(s, {1, 2, 60, 181, 182, 183, 184, 300, 364, 365});
}

TEST(RanksAllBuilder, MatchesTheSimpleRulesAtTheYearEnd) {
    core::daily_series s = load(generated_input(1911, 12, 31, 11));
    ASSERT_EQ(s.last_day_of_year, 365);
    expect_start_days_match(s, {1, 59, 200, 365});
}

TEST(RanksAllBuilder, InputEndingIn1895HasNoRankedYear) {
    // Last date 10 January 1895: windows reaching past day 10 have nyears 0
    // or -1 and only filler.
    core::daily_series s = load(generated_input(1895, 1, 10, 3));
    expect_start_days_match(s, {1, 10, 11, 365});
    std::vector<std::string> got = lines_of(built_start_day(s, 365));
    EXPECT_EQ(got[2 * 364].substr(0, 15), "  365  365   -1");
}

TEST(RanksAllBuilder, FullRecordSample) {
    core::daily_series s = load(generated_input(2016, 12, 31, 5));
    expect_start_days_match(s, {1, 365});
}

namespace {

bool same_file(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount()) return false;
        if (std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(fa.gcount())) != 0) return false;
        if (fa.gcount() == 0) return true;
    }
}

}  // namespace

// The whole table as the threaded writer gives it, with 1, 2 and 3 threads,
// the same file byte for byte, and every window of it as the simple rules
// give it: a series with gaps, a stretch of NaN entries (1901), tied years
// (1898 repeats 1897) and every nyears case (last date 15 August 1903).
TEST(RanksAllTable, ThreadedWriterMatchesTheSimpleRules) {
    core::daily_series s = load(generated_input(1903, 8, 15, 13));
    std::string dir = scratch_dir();
    auto build = [&](int threads) {
        std::string target = dir + "/T" + std::to_string(threads) + "_ranks_all.txt";
        core::replacement_file f(target);
        core::write_ranks_all_table(s, f, threads);
        f.commit();
        return target;
    };
    const std::string one = build(1);
    for (int threads : {2, 3}) {
        std::string other = build(threads);
        EXPECT_TRUE(same_file(one, other)) << threads << " threads";
        ::unlink(other.c_str());
    }
    std::ifstream table(one, std::ios::binary);
    std::string got(2 * 1416, '\0');
    for (int j = 1; j <= 365; ++j)
        for (int k = 1; k <= 365; ++k) {
            ASSERT_TRUE(table.read(&got[0], static_cast<std::streamsize>(got.size()))) << "window " << j << "," << k;
            ASSERT_EQ(got, reference_window(s, j, k)) << "window " << j << "," << k;
        }
    EXPECT_EQ(table.peek(), std::char_traits<char>::eof());
    ::unlink(one.c_str());
}

TEST(RanksAllFormat, LinesMatchTheGeneralWriter) {
    static const core::layout means("(3i5,140f10.2)"), years("(3i5,140i10)");
    std::mt19937 rng(42);
    std::uniform_int_distribution<std::uint32_t> bits;
    std::vector<float> specials = {-0.0f, 0.0f, -0.001f, -0.005f, 0.005f, 0.125f, -0.125f, -999.0f,
                                   9999999.99f, 1e7f, -999999.9f, -1e6f, 1e30f, -1e30f, NAN, INFINITY,
                                   -INFINITY, 12.345f, 99.995f, 1.0e-30f};
    for (int round = 0; round < 300; ++round) {
        float m[140];
        std::int32_t yv[140];
        for (int p = 0; p < 140; ++p) {
            float v;
            switch (round % 3) {
            case 0: {
                std::uint32_t b = bits(rng);
                std::memcpy(&v, &b, 4);
                break;
            }
            case 1:
                v = static_cast<float>(static_cast<std::int32_t>(bits(rng) % 2000001) - 1000000) / 100.0f;
                break;
            default:
                v = specials[bits(rng) % specials.size()];
            }
            m[p] = v;
            yv[p] = static_cast<std::int32_t>(bits(rng)) >> (bits(rng) % 31);
        }
        int nyears = static_cast<int>(bits(rng) % 145) - 2;
        std::vector<core::value> mv{round + 1, 365 - round, nyears}, yvv{round + 1, 365 - round, nyears};
        for (int p = 0; p < 140; ++p) {
            bool filled = p < nyears;
            mv.emplace_back(filled ? m[p] : -999.0f);
            yvv.emplace_back(filled ? yv[p] : static_cast<std::int32_t>(-999));
        }
        std::string a, b;
        core::format_record(a, means, mv.data(), mv.size());
        core::format_record(b, years, yvv.data(), yvv.size());
        std::string fa(1415, '?'), fb(1415, '?');
        core::format_means_line(&fa[0], round + 1, 365 - round, nyears, m);
        core::format_years_line(&fb[0], round + 1, 365 - round, nyears, yv);
        ASSERT_EQ(fa, a) << "round " << round;
        ASSERT_EQ(fb, b) << "round " << round;
    }
}

// Every hundredth from -1,100.00 to 1,100.00 and the floats on either side
// of it (the rounding boundaries, the edge of the table of field heads at
// 1,000, -0.00), against the general writer.
TEST(RanksAllFormat, MeansAcrossTheTemperatureRangeMatchTheGeneralWriter) {
    for (int i = -110000; i <= 110000; ++i) {
        const float v = static_cast<float>(i) / 100.0f;
        for (float x : {v, std::nextafter(v, -INFINITY), std::nextafter(v, INFINITY), v + 0.005f, v - 0.005f}) {
            char fast[10], general[10];
            core::format_f10_2(fast, x);
            core::write_real_field(general, 10, 2, x);
            ASSERT_EQ(std::string(fast, 10), std::string(general, 10)) << x;
        }
    }
}

namespace {

const std::string table_dir = std::string(SUITE_BIN_DIR) + "/test-tables/datasets/daily_anomalies/by_state/ranks/results_all/";

run_result fulltable(const std::vector<std::string>& args, const std::string& input) {
    return run(program("fulltable_testdir"), args, input);
}

}  // namespace

TEST(Fulltable, WritesTheWholeTableUnderTheRegionCode) {
    std::string input = generated_input(1900, 3, 1, 9);
    run_result r = fulltable({"Q1x"}, input);  // cut to two characters
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    std::string table = read_file(table_dir + "Q1_ranks_all.txt");
    ASSERT_EQ(table.size(), 377293200u);
    EXPECT_EQ(table.substr(0, 15), "    1    1    6");
    // The last line is the years line of window (365, 365).
    std::size_t last = table.rfind('\n', table.size() - 2) + 1;
    EXPECT_EQ(table.substr(last, 15), "  365  365    4");
    core::daily_series s = load(input);
    EXPECT_EQ(table.substr(0, 2 * 1416), reference_window(s, 1, 1));
    for (const std::string& n : list_dir(table_dir)) EXPECT_EQ(n.find(".Q1"), std::string::npos) << n;
    ::unlink((table_dir + "Q1_ranks_all.txt").c_str());
}

TEST(Fulltable, RegionCodeIsPaddedToTwoCharacters) {
    std::string input = daily_line(1896, 1, 1, 10.0, 0.0);
    ASSERT_EQ(fulltable({"W"}, input).status, 0);
    EXPECT_TRUE(file_exists(table_dir + "W _ranks_all.txt"));
    ::unlink((table_dir + "W _ranks_all.txt").c_str());
}

TEST(Fulltable, FailuresLeaveTheEarlierTableIntact) {
    const std::string target = table_dir + "Q2_ranks_all.txt";
    write_file(target, "an earlier table\n");
    struct failing {
        std::string input;
        std::string message;
    } cases[] = {
        {daily_line(1900, 1, 1, 10.0, 0.0) + "1900  1  2    1x.0000\n",
         "fulltable: standard input, line 2, columns 11-21: malformed real field '    1x.0000'\n"},
        {daily_line(2016, 12, 31, 10.0, 0.0) + daily_line(2017, 1, 1, 10.0, 0.0),
         "fulltable: standard input, line 2, columns 1-4: year 2017 is after 2016, the last year this program stores\n"},
        {daily_line(1894, 1, 1, 10.0, 0.0), "fulltable: standard input: no record of 1895 or later\n"},
    };
    for (const failing& c : cases) {
        run_result r = fulltable({"Q2"}, c.input);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(read_file(target), "an earlier table\n");
    }
    // A full disk while writing the table.
    run_options small;
    small.file_size_limit = 100000;
    run_result r = run(program("fulltable_testdir"), {"Q2"}, daily_line(1900, 1, 1, 10.0, 0.0), small);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("fulltable: cannot write " + target), std::string::npos) << r.err;
    EXPECT_EQ(read_file(target), "an earlier table\n");
    for (const std::string& n : list_dir(table_dir)) EXPECT_EQ(n.find(".Q2"), std::string::npos) << n;
    ::unlink(target.c_str());
}

TEST(Fulltable, ASignalRemovesTheTemporaryTable) {
    // fulltable waits on a pipe with its temporary table created; SIGTERM
    // then removes the temporary file and leaves the earlier table alone.
    const std::string target = table_dir + "Q3_ranks_all.txt";
    write_file(target, "an earlier table\n");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(fds[0], 0);
        ::close(fds[1]);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        std::string prog = program("fulltable_testdir");
        ::execl(prog.c_str(), prog.c_str(), "Q3", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    std::string line = daily_line(1900, 1, 1, 10.0, 0.0);
    ASSERT_EQ(::write(fds[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    auto temp_count = [&] {
        int n = 0;
        for (const std::string& f : list_dir(table_dir)) n += f.find(".Q3_ranks_all.txt.") == 0;
        return n;
    };
    for (int i = 0; i < 500 && temp_count() == 0; ++i) ::usleep(10000);
    ASSERT_EQ(temp_count(), 1);
    ::usleep(50000);  // let it reach its read of the pipe
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(fds[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(temp_count(), 0);
    EXPECT_EQ(read_file(target), "an earlier table\n");
    ::unlink(target.c_str());
}

namespace {

run_result fulltable_in(const std::string& ranks_all_dir, const std::vector<std::string>& args,
                        const std::string& input, const std::string& input_file = "") {
    run_options o;
    o.env = {{"RANKS_ALL_DIR", ranks_all_dir}};
    o.input_file = input_file;
    return run(program("fulltable_testdir"), args, input, o);
}

}  // namespace

TEST(TableDirectory, RanksAllDirTakesThePlaceOfTheBuiltInOne) {
    const std::string input = daily_line(1896, 1, 1, 10.0, 0.0);
    // A value without its trailing slash; the region code rules stay, so
    // "--helpx" is the region "--".
    const std::string dir = scratch_dir();
    run_result r = fulltable_in(dir, {"--helpx"}, input);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(list_dir(dir), std::vector<std::string>{"--_ranks_all.txt"});
    std::string table = read_file(dir + "/--_ranks_all.txt");
    EXPECT_EQ(table.size(), 377293200u);
    EXPECT_EQ(table.substr(0, 15), "    1    1    2");
    table.clear();
    ::unlink((dir + "/--_ranks_all.txt").c_str());
    // Other tests write into the built-in directory at the same time, so
    // only this test's names are looked for there.
    for (const std::string& n : list_dir(table_dir)) EXPECT_EQ(n.find("--_ranks_all"), std::string::npos) << n;

    // An empty value is no value: the built-in directory.
    ASSERT_EQ(fulltable_in("", {"Q5"}, input).status, 0);
    EXPECT_TRUE(file_exists(table_dir + "Q5_ranks_all.txt"));
    ::unlink((table_dir + "Q5_ranks_all.txt").c_str());

    // A failed run leaves the earlier table in that directory as it was.
    write_file(dir + "/Q6_ranks_all.txt", "an earlier table\n");
    r = fulltable_in(dir, {"Q6"}, input + "1900  1  2    1x.0000\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "fulltable: standard input, line 2, columns 11-21: malformed real field '    1x.0000'\n");
    EXPECT_EQ(list_dir(dir), std::vector<std::string>{"Q6_ranks_all.txt"});
    EXPECT_EQ(read_file(dir + "/Q6_ranks_all.txt"), "an earlier table\n");

    // fulltable --help names the variable and the built-in directory.
    r = run(program("fulltable_testdir"), {"--help"}, "");
    EXPECT_NE(r.out.find("RANKS_ALL_DIR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(table_dir), std::string::npos) << r.out;
}

TEST(TableDirectory, RefusedBeforeTheInputIsRead) {
    // Standard input is a directory, so getting as far as reading it would
    // fail with another message.
    const std::string dir = scratch_dir();
    write_file(dir + "/plain", "");
    // The longest directory that leaves room for the file name (1,008
    // characters with the slash that is added), and one character more:
    // five nested parts under the scratch directory, the first filling up.
    ASSERT_LE(dir.size(), 201u) << "TMPDIR too long for this test";
    const std::string first(202 - dir.size(), 'd');
    std::string longest = dir + "/" + first;
    ASSERT_EQ(::mkdir(longest.c_str(), 0755), 0);
    for (int i = 0; i < 4; ++i) {
        longest += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(longest.c_str(), 0755), 0);
    }
    ASSERT_EQ(longest.size(), 1007u);
    struct refused {
        std::string value, args0, err;
    } cases[] = {
        {dir + "/missing", "Q7", "fulltable: cannot use RANKS_ALL_DIR '" + dir + "/missing/': No such file or directory\n"},
        {dir + "/plain", "Q7", "fulltable: cannot use RANKS_ALL_DIR '" + dir + "/plain/': Not a directory\n"},
        {longest + "x", "Q7",
         "fulltable: RANKS_ALL_DIR '" + longest.substr(0, 80) +
             "...' is 1009 characters long, more than the 1008 that the table's file name leaves room for\n"},
        {dir, "Q/", "fulltable: argument 1: region code 'Q/' holds a '/'\n"},
        // Accepted: the run gets as far as its input.
        {longest, "Q7", "fulltable: cannot read standard input: Is a directory\n"},
    };
    for (const refused& c : cases) {
        SCOPED_TRACE(c.value);
        run_result r = fulltable_in(c.value, {c.args0}, "", scratch_dir());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{first, "plain"}));
    EXPECT_TRUE(list_dir(longest).empty());
    for (const std::string& n : list_dir(table_dir)) EXPECT_EQ(n.find("Q7_ranks_all"), std::string::npos) << n;
}

// FULLTABLE_THREADS lowers the thread count below the cores available; a
// value that is not a positive whole number is refused, before the table is
// touched.
TEST(Fulltable, ThreadCountFromTheEnvironment) {
    const char* variable = "WINDOW_RANKS_TEST_THREADS";
    const int cores = core::available_cores();
    ASSERT_GE(cores, 1);
    struct accepted {
        const char* value;
        int threads;
    } good[] = {{nullptr, cores}, {"", cores}, {"1", 1}, {"0001", 1}, {"99999999999999999999999999", cores}};
    for (const accepted& c : good) {
        if (c.value)
            ::setenv(variable, c.value, 1);
        else
            ::unsetenv(variable);
        EXPECT_EQ(core::thread_count(variable), c.threads) << (c.value ? c.value : "unset");
    }
    for (const char* value : {"0", "000", "-1", "+2", " 2", "2 ", "two", "1.5", "2\n"}) {
        ::setenv(variable, value, 1);
        std::string what = "(no failure)";
        try {
            core::thread_count(variable);
        } catch (const core::failure& e) {
            what = e.what();
        }
        EXPECT_EQ(what, std::string("environment variable ") + variable + ": " + core::quoted(value) +
                            " is not a positive whole number of threads");
    }
    ::unsetenv(variable);

    const std::string target = table_dir + "Q8_ranks_all.txt";
    write_file(target, "an earlier table\n");
    run_options o;
    o.env = {{"FULLTABLE_THREADS", "0"}};
    run_result r = run(program("fulltable_testdir"), {"Q8"}, daily_line(1900, 1, 1, 10.0, 0.0), o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "fulltable: environment variable FULLTABLE_THREADS: '0' is not a positive whole number of threads\n");
    EXPECT_EQ(read_file(target), "an earlier table\n");
    for (const std::string& n : list_dir(table_dir)) EXPECT_EQ(n.find(".Q8"), std::string::npos) << n;
    ::unlink(target.c_str());
}
