// Odd and hostile input, and faults around the programs: each case with
// the exact behaviour a user sees (status, message, output, files).
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support.hpp"

using namespace test_support;

namespace {

std::string small_series() {
    std::string s;
    for (int y = 1895; y <= 1897; ++y)
        for (int d = 1; d <= 28; ++d) s += daily_line(y, 2, d, 30.0 + d, 10.0 + y % 7);
    return s;
}

std::string replace_all(const std::string& s, const std::string& from, const std::string& to) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    std::size_t start = 0;
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, start)) {
        out.append(s, start, at - start).append(to);
        start = at + from.size();
    }
    return out.append(s, start, std::string::npos);
}

run_result nowreport(const std::string& input, const run_options& o = {}) {
    return run(program("nowreport"), {}, input, o);
}

// A complete ranks-all table of short lines (positions read as zeros) with
// counts of 1, for the table cases.
std::string short_table() {
    std::string t;
    t.reserve(266450 * 16);
    char buf[32];
    for (int j = 1; j <= 365; ++j)
        for (int k = 1; k <= 365; ++k) {
            std::snprintf(buf, sizeof buf, "%5d%5d%5d\n", j, k, 1);
            t += buf;
            t += buf;
        }
    return t;
}

}  // namespace

TEST(HostileDaily, OddLinesReadByTheFieldRules) {
    const std::string base = small_series();
    const std::string good = nowreport(base).out;
    ASSERT_EQ(lines_of(good).size(), 19u);
    std::string first = base.substr(0, 70), rest = base.substr(71);
    struct same {
        std::string name, input;
    } accepted[] = {
        {"64 KiB after the fields", first + std::string(65536, 'x') + "\n" + rest},
        {"3 MiB after the fields", first + std::string(3 << 20, '7') + "\n" + rest},
        {"NUL bytes after the fields", first + std::string("\0\0\0", 3) + "\n" + rest},
        {"CRLF line ends", replace_all(base, "\n", "\r\n")},
        {"no final line feed", base.substr(0, base.size() - 1)},
    };
    for (const same& c : accepted) {
        run_result r = nowreport(c.input);
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, good) << c.name;
    }
    struct refused {
        std::string name, field, err;
    } bad[] = {
        {"NUL in a field", std::string("    30\0.000", 11),
         "nowreport: standard input, line 1, columns 11-21: malformed real field '    30\\x00.000'\n"},
        {"beyond single precision", "     1.0E39",
         "nowreport: standard input, line 1, columns 11-21: malformed real field '     1.0E39' out of range\n"},
        {"Inf", "        Inf", "nowreport: standard input, line 1, columns 11-21: malformed real field '        Inf'\n"},
        {"NaN", "        NaN", "nowreport: standard input, line 1, columns 11-21: malformed real field '        NaN'\n"},
        {"infinity", "   infinity", "nowreport: standard input, line 1, columns 11-21: malformed real field '   infinity'\n"},
    };
    for (const refused& c : bad) {
        run_result r = nowreport(base.substr(0, 10) + c.field + base.substr(21));
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
    // A day so large that its day of year would overflow 32 bits.
    run_result r = nowreport(base + "1897  2999" + base.substr(10, 61));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("nowreport: standard input, line 85, columns 8-10: day 999 of month 2"), 0u) << r.err;
}

TEST(HostileTable, OddLinesReadByTheFieldRules) {
    const std::string base = short_table();
    const std::string good = run(program("topten"), {"5"}, base).out;
    ASSERT_EQ(lines_of(good).size(), 23u);
    std::string first = base.substr(0, 15), rest = base.substr(16);
    struct same {
        std::string name, input;
    } accepted[] = {
        {"3 MiB line", first + std::string(1400, ' ') + std::string(3 << 20, 'z') + "\n" + rest},
        {"CRLF line ends", replace_all(base, "\n", "\r\n")},
        {"no final line feed", base.substr(0, base.size() - 1)},
        {"lines after the table", base + "garbage that is never read\n"},
    };
    for (const same& c : accepted) {
        run_result r = run(program("topten"), {"5"}, c.input);
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, good) << c.name;
    }
    struct refused {
        std::string name, line, err;
    } bad[] = {
        {"NUL in a field", first + std::string("     1\0.00", 10),
         "topten: standard input, line 1, columns 16-25: malformed real field '     1\\x00.00'\n"},
        {"beyond single precision", first + "   1.0E39", "topten: standard input, line 1, columns 16-25: malformed real field '   1.0E39' out of range\n"},
        {"NaN", first + "       NaN", "topten: standard input, line 1, columns 16-25: malformed real field '       NaN'\n"},
    };
    for (const refused& c : bad) {
        std::string input = c.line + "\n" + rest;
        run_result r = run(program("topten"), {"5"}, input);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

TEST(HostileArguments, LongArgumentsAreCut) {
    // Only the first five characters of topten's argument count.
    std::string table = short_table();
    EXPECT_EQ(run(program("topten"), {"00005" + std::string(2000, '9')}, table).out,
              run(program("topten"), {"5"}, table).out);
    run_result r = run(program("topten"), {"5" + std::string(2000, 'x')}, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "topten: argument 1, columns 1-5: malformed integer field '5xxxx'\n");
    // A 2,000-character region: both file names cut to 1,024 characters are
    // the same name, so nothing can be written; refused before reading.
    std::string dir = scratch_dir();
    run_options in_dir;
    in_dir.cwd = dir;
    r = run(program("datereport"), {"1897", "2", "10", std::string(2000, 'R')}, "not read\n", in_dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("datereport: "), std::string::npos);
    EXPECT_TRUE(list_dir(dir).empty());
    // A year argument of 2,000 digits reads its first four.
    r = run(program("spanreport"), {"1897" + std::string(2000, '0'), "2", "10", "TX"}, small_series(), in_dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"TX_ranks", "TX_ts"}));
}

TEST(Faults, StandardStreamsClosedFullOrADirectory) {
    const std::string series = small_series();
    struct fault {
        std::string name;
        std::vector<std::string> cmd;
        run_options o;
        std::string err;
    };
    run_options closed_out, full_out, closed_in, dir_in;
    closed_out.close_stdout = true;
    full_out.stdout_path = "/dev/full";
    closed_in.close_stdin = true;
    dir_in.input_file = "/tmp";
    std::vector<fault> cases = {
        {"nowreport, stdout closed", {"nowreport"}, closed_out, "nowreport: cannot write standard output: Bad file descriptor\n"},
        {"nowreport, stdout full", {"nowreport"}, full_out, "nowreport: cannot write standard output: No space left on device\n"},
        {"usage line, stdout full", {"datereport"}, full_out, "datereport: cannot write standard output: No space left on device\n"},
        {"--help, stdout full", {"fulltable", "--help"}, full_out, "fulltable: cannot write standard output: No space left on device\n"},
        {"--version, stdout closed", {"topten", "--version"}, closed_out, "topten: cannot write standard output: Bad file descriptor\n"},
        {"topten usage, stdout closed", {"topten"}, closed_out, "topten: cannot write standard output: Bad file descriptor\n"},
        {"nowreport, stdin closed", {"nowreport"}, closed_in, "nowreport: cannot read standard input: Bad file descriptor\n"},
        {"nowreport, stdin a directory", {"nowreport"}, dir_in, "nowreport: cannot read standard input: Is a directory\n"},
        {"topten, stdin a directory", {"topten", "7"}, dir_in, "topten: cannot read standard input: Is a directory\n"},
    };
    for (const fault& c : cases) {
        std::vector<std::string> args(c.cmd.begin() + 1, c.cmd.end());
        run_result r = run(program(c.cmd[0]), args, series, c.o);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

TEST(Faults, ReportFilesSurviveAFullDiskAndAMissingDirectory) {
    std::string dir = scratch_dir();
    run_options in_dir;
    in_dir.cwd = dir;
    const std::string series = small_series();
    ASSERT_EQ(run(program("spanreport"), {"1897", "2", "10", "TX"}, series, in_dir).status, 0);
    const std::string ranks = read_file(dir + "/TX_ranks"), ts = read_file(dir + "/TX_ts");
    // A file-size limit below the size of the series file.
    run_options small = in_dir;
    small.file_size_limit = 200;
    for (const char* prog : {"spanreport", "highreport", "lowreport"}) {
        run_result r = run(program(prog), {"1897", "2", "10", "TX"}, series, small);
        EXPECT_EQ(r.status, 1) << prog;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << prog << ": " << r.err;
        EXPECT_EQ(read_file(dir + "/TX_ranks"), ranks) << prog;
        EXPECT_EQ(read_file(dir + "/TX_ts"), ts) << prog;
        EXPECT_EQ(list_dir(dir), (std::vector<std::string>{"TX_ranks", "TX_ts"})) << prog;
    }
    // A working directory that is gone by the time the files are written.
    std::string gone = scratch_dir() + "/gone";
    ASSERT_EQ(::mkdir(gone.c_str(), 0755), 0);
    run_options in_gone;
    in_gone.cwd = gone;
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    in_gone.cwd = "/";
    run_result r = run(program("datereport"), {"1897", "2", "10", gone + "/TX"}, series, in_gone);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("datereport: cannot create " + gone + "/TX_ranks_"), 0u) << r.err;
}

TEST(Faults, TableOutputDirectoryRemovedDuringTheRun) {
    // fulltable holds its temporary table in the output directory; when the
    // directory disappears before the rename, the run fails and says so.
    const std::string dir = std::string(SUITE_BIN_DIR) + "/moving-tables/datasets/daily_anomalies/by_state/ranks/results_all/";
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string err_path = scratch_dir() + "/err";
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(fds[0], 0);
        ::close(fds[1]);
        int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(err, 2);
        std::string prog = program("fulltable_movingdir");
        ::execl(prog.c_str(), prog.c_str(), "Q4", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    auto temp = [&] {
        for (const std::string& f : list_dir(dir))
            if (f.find(".Q4_ranks_all.txt.") == 0) return f;
        return std::string();
    };
    for (int i = 0; i < 500 && temp().empty(); ++i) ::usleep(10000);
    std::string t = temp();
    ASSERT_FALSE(t.empty());
    // Move the directory away and put an empty one in its place: the rename
    // into the original path then finds no temporary file.
    std::string moved = std::string(SUITE_BIN_DIR) + "/moving-tables/moved";
    std::string parent = dir.substr(0, dir.size() - 1);
    ASSERT_EQ(::rename(parent.c_str(), moved.c_str()), 0);
    std::string line = daily_line(1900, 1, 1, 10.0, 0.0);
    ASSERT_EQ(::write(fds[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    ::close(fds[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(read_file(err_path).find("fulltable: cannot replace " + dir + "Q4_ranks_all.txt: No such file or directory"), 0u)
        << read_file(err_path);
    // Put the directory back for the other tests.
    ::unlink((moved + "/" + t).c_str());
    ASSERT_EQ(::rename(moved.c_str(), parent.c_str()), 0);
    EXPECT_TRUE(temp().empty());
}
