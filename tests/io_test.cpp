// Line input, checked output and replacement files.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "support.hpp"

namespace {

constexpr std::size_t mib = std::size_t(1) << 20;
constexpr std::size_t whole = std::numeric_limits<std::size_t>::max();

// The lines of a text as the reader must give them: split at each line
// feed, a last piece without one is a line too, one carriage return before
// the end dropped, then cut to `keep` bytes.
std::vector<std::string> expected_lines(const std::string& text, std::size_t keep) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > keep) line.resize(keep);
        out.push_back(line);
        start = end + 1;
    }
    return out;
}

std::vector<std::string> read_all(core::line_reader& r, std::size_t keep) {
    std::vector<std::string> out;
    std::string_view line;
    while (r.next(line, keep)) {
        out.emplace_back(line);
        EXPECT_EQ(r.line_number(), static_cast<long long>(out.size()));
    }
    EXPECT_FALSE(r.next(line, keep));  // stays at the end
    return out;
}

// Compares without printing megabytes on a mismatch.
void expect_same_lines(const std::vector<std::string>& got, const std::vector<std::string>& want,
                       const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != want[i]) {
            ADD_FAILURE() << what << ": line " << i + 1 << " differs (length " << got[i].size() << ", expected "
                          << want[i].size() << ")";
            return;
        }
    }
}

std::vector<std::string> read_file_lines(const std::string& path, std::size_t keep) {
    int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    core::line_reader r(fd, "test file");
    std::vector<std::string> lines = read_all(r, keep);
    ::close(fd);
    return lines;
}

// Feeds `text` through a pipe from a child process, in writes of varying
// odd sizes, so reads return pieces that end anywhere.
std::vector<std::string> read_through_pipe(const std::string& text, std::size_t keep) {
    int p[2];
    EXPECT_EQ(::pipe(p), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        const std::size_t sizes[] = {1, 4093, 70, 65537, 3, 131071, 1000003};
        std::size_t at = 0, i = 0;
        while (at < text.size()) {
            std::size_t n = std::min(sizes[i++ % 7], text.size() - at);
            ssize_t w = ::write(p[1], text.data() + at, n);
            if (w <= 0) ::_exit(1);
            at += static_cast<std::size_t>(w);
        }
        ::_exit(0);
    }
    ::close(p[1]);
    core::line_reader r(p[0], "pipe");
    std::vector<std::string> lines = read_all(r, keep);
    ::close(p[0]);
    int ws = 0;
    ::waitpid(pid, &ws, 0);
    EXPECT_TRUE(WIFEXITED(ws) && WEXITSTATUS(ws) == 0);
    return lines;
}

std::string failure_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::failure& e) {
        return e.what();
    }
    return "(no failure)";
}

}  // namespace

TEST(LineReader, SmallTexts) {
    struct c {
        std::string text;
        std::size_t keep;
        std::vector<std::string> lines;
    } cases[] = {
        {"", whole, {}},
        {"\n", whole, {""}},
        {"\n\n", whole, {"", ""}},
        {"a\nb\n", whole, {"a", "b"}},
        {"a\nb", whole, {"a", "b"}},                 // last line without a line feed
        {"a\r\nb\r\n", whole, {"a", "b"}},           // CRLF
        {"a\r\nb\r", whole, {"a", "b"}},
        {"a\r\r\n", whole, {"a\r"}},                 // only one carriage return goes
        {"a\rb\n", whole, {"a\rb"}},
        {std::string("a\0b\n\0\n", 6), whole, {std::string("a\0b", 3), std::string("\0", 1)}},
        {"abcdef\nxy\n", 3, {"abc", "xy"}},
        {"abc\r\n", 3, {"abc"}},
        {"ab\r\n", 3, {"ab"}},
        {"abcdef", 0, {""}},
    };
    for (const auto& k : cases) {
        core::line_reader r = core::line_reader::from_text(k.text, "text");
        EXPECT_EQ(read_all(r, k.keep), k.lines);
        EXPECT_EQ(expected_lines(k.text, k.keep), k.lines);  // the reference agrees
    }
}

// Lines ending at, just before and just after the end of the first buffer
// fill, with and without a carriage return on the boundary.
TEST(LineReader, LinesAtTheBufferBoundary) {
    std::string dir = test_support::scratch_dir();
    int n = 0;
    for (std::size_t len : {mib - 2, mib - 1, mib, mib + 1}) {
        for (const char* end : {"\n", "\r\n", ""}) {
            const char* end_name = end[0] == '\n' ? "LF" : end[0] == '\r' ? "CRLF" : "none";
            std::string text(len, 'x');
            text[0] = 'A';
            text[len - 1] = 'Z';
            text += end;
            text += "second\r\nthird";
            std::string path = dir + "/f" + std::to_string(n++);
            test_support::write_file(path, text);
            for (std::size_t keep : {std::size_t(70), mib - 1, mib, whole}) {
                std::string what = "length " + std::to_string(len) + " end " + end_name + " keep " + std::to_string(keep);
                expect_same_lines(read_file_lines(path, keep), expected_lines(text, keep), what);
            }
        }
    }
}

// A few megabytes of lines of every length, up to several buffers long, with
// carriage returns and NUL bytes, read from a file and through a pipe.
TEST(LineReader, LongMixedInput) {
    std::mt19937 gen(5);
    std::string text;
    while (text.size() < 6 * mib) {
        std::size_t len;
        switch (gen() % 8) {
        case 0: len = gen() % (2 * mib); break;
        case 1: len = 2 * mib + gen() % mib; break;
        default: len = gen() % 120; break;
        }
        std::size_t at = text.size();
        text.append(len, 'a');
        for (std::size_t i = 0; i < len; i += 1 + gen() % 997) text[at + i] = static_cast<char>('a' + gen() % 26);
        if (len && gen() % 5 == 0) text[at + gen() % len] = '\0';
        if (gen() % 3 == 0) text += '\r';
        text += '\n';
    }
    text += "last line without a line feed";
    std::string path = test_support::scratch_dir() + "/long";
    test_support::write_file(path, text);
    for (std::size_t keep : {std::size_t(70), std::size_t(1415), whole}) {
        std::vector<std::string> want = expected_lines(text, keep);
        expect_same_lines(read_file_lines(path, keep), want, "file, keep " + std::to_string(keep));
        expect_same_lines(read_through_pipe(text, keep), want, "pipe, keep " + std::to_string(keep));
    }
}

TEST(LineReader, ReadErrorFails) {
    std::string dir = test_support::scratch_dir();
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    core::line_reader r(fd, "standard input");
    std::string_view line;
    std::string what = failure_text([&] { r.next(line, 70); });
    EXPECT_EQ(what.rfind("cannot read standard input: ", 0), 0u) << what;
    ::close(fd);
}

TEST(OutStream, FullDeviceFails) {
    int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    core::out_stream out(fd, "standard output");
    out.write("a line\n");  // buffered, not yet written
    std::string what = failure_text([&] { out.flush(); });
    EXPECT_EQ(what, "cannot write standard output: No space left on device");
    ::close(fd);
}

TEST(OutStream, LargeWritesArriveWhole) {
    std::string path = test_support::scratch_dir() + "/out";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    std::string expect;
    {
        core::out_stream out(fd, "out");
        for (int i = 0; i < 3000; ++i) {
            std::string piece(static_cast<std::size_t>(i * 7 % 1500), static_cast<char>('a' + i % 26));
            out.write(piece);
            out.put('\n');
            expect += piece;
            expect += '\n';
        }
        out.flush();
    }
    ::close(fd);
    EXPECT_TRUE(test_support::read_file(path) == expect);
}

TEST(ReplacementFile, ReplacesOnlyOnCommit) {
    std::string dir = test_support::scratch_dir();
    std::string target = dir + "/table.txt";
    test_support::write_file(target, "old\n");
    {
        core::replacement_file f(target);
        f.out().write("half-written");
    }  // not committed: the old file stays and the temporary goes
    EXPECT_EQ(test_support::read_file(target), "old\n");
    EXPECT_EQ(test_support::list_dir(dir), std::vector<std::string>{"table.txt"});
    {
        core::replacement_file f(target);
        f.out().write("new\n");
        f.commit();
    }
    EXPECT_EQ(test_support::read_file(target), "new\n");
    EXPECT_EQ(test_support::list_dir(dir), std::vector<std::string>{"table.txt"});

    std::string what = failure_text([&] { core::replacement_file f(dir + "/missing/table.txt"); });
    EXPECT_EQ(what.rfind("cannot create " + dir + "/missing/table.txt: ", 0), 0u) << what;
}

namespace {

// The lines of `path` from byte `from` on, through a reader with the given
// read buffer and mapping window; `stop_after` lines, or all of them. Also
// gives the descriptor's offset once the reader is gone.
std::vector<std::string> read_from(const std::string& path, off_t from, std::size_t buffer, std::size_t window,
                                   std::size_t keep, off_t& offset_after,
                                   std::size_t stop_after = std::numeric_limits<std::size_t>::max()) {
    int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::lseek(fd, from, SEEK_SET), from);
    std::vector<std::string> lines;
    {
        core::line_reader r(fd, "test file", buffer, window);
        std::string_view line;
        while (lines.size() < stop_after && r.next(line, keep)) lines.emplace_back(line);
    }
    offset_after = ::lseek(fd, 0, SEEK_CUR);
    ::close(fd);
    return lines;
}

}  // namespace

// A regular file is mapped a window at a time: lines that cross windows,
// a start in the middle of the file, windows of one page and more, and the
// same lines from read(2); the descriptor is left after the lines handed
// out, wherever the reader stopped.
TEST(LineReader, MappedWindowsGiveTheLinesReadingGives) {
    std::mt19937 gen(11);
    std::string text;
    while (text.size() < 40000) {
        std::size_t len = gen() % 9 == 0 ? 4000 + gen() % 9000 : gen() % 150;
        for (std::size_t i = 0; i < len; ++i) text += static_cast<char>('a' + gen() % 26);
        if (gen() % 4 == 0) text += '\r';
        text += '\n';
    }
    text += "last\r";
    std::string path = test_support::scratch_dir() + "/mapped";
    test_support::write_file(path, text);
    for (off_t from : {off_t(0), off_t(1), off_t(4095), off_t(5000)}) {
        const std::string rest = text.substr(static_cast<std::size_t>(from));
        for (std::size_t keep : {std::size_t(70), whole}) {
            const std::vector<std::string> want = expected_lines(rest, keep);
            struct way {
                std::size_t buffer, window;
            } ways[] = {{7, 0}, {mib, 0}, {7, 1}, {7, 3 * 4096}, {mib, 4 * mib}};
            for (const way& w : ways) {
                std::string what = "from " + std::to_string(from) + " keep " + std::to_string(keep) + " buffer " +
                                   std::to_string(w.buffer) + " window " + std::to_string(w.window);
                off_t after = -1;
                expect_same_lines(read_from(path, from, w.buffer, w.window, keep, after), want, what);
                EXPECT_EQ(after, static_cast<off_t>(text.size())) << what;
                std::vector<std::string> two = read_from(path, from, w.buffer, w.window, keep, after, 2);
                ASSERT_EQ(two.size(), 2u) << what;
                if (w.window) {  // reading ahead leaves read(2)'s offset anywhere
                    std::size_t end = rest.find('\n', rest.find('\n') + 1) + 1;
                    EXPECT_EQ(after, from + static_cast<off_t>(end)) << what;
                }
            }
        }
    }
}

// What a file gains after reading began is read too, and a line that ends
// in it is one line: the mapping covers the size the file had, read(2)
// takes over from there.
TEST(LineReader, AFileThatGrowsWhileItIsRead) {
    std::string path = test_support::scratch_dir() + "/growing";
    test_support::write_file(path, "a\nb");
    int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    core::line_reader r(fd, "test file", 4, 1);
    std::string_view line;
    ASSERT_TRUE(r.next(line, whole));
    EXPECT_EQ(line, "a");
    int w = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_EQ(::write(w, "c\nd\n", 4), 4);
    ::close(w);
    std::vector<std::string> rest;
    while (r.next(line, whole)) rest.emplace_back(line);
    EXPECT_EQ(rest, (std::vector<std::string>{"bc", "d"}));
    EXPECT_EQ(r.line_number(), 3);
    ::close(fd);
}

// Files of /proc claim a size of 0 and hold text all the same: read(2)
// gets it.
TEST(LineReader, FilesWhoseSizeSaysNothing) {
    const std::string path = "/proc/self/mountinfo";
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) GTEST_SKIP() << path << " is not there";
    std::vector<std::string> lines;
    {
        core::line_reader r(fd, path);
        std::string_view line;
        while (r.next(line, whole)) lines.emplace_back(line);
    }
    ::close(fd);
    EXPECT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find(' '), std::string::npos);
}

// A failed positioned write fails with its message, and so does every call
// after it, which writes nothing, even where a write would succeed: the
// threads that write blocks of one file all stop at the first failure.
TEST(ReplacementFile, AFailedWriteStopsEveryLaterWrite) {
    std::string dir = test_support::scratch_dir();
    std::string target = dir + "/table.txt";
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    if (old.rlim_cur != RLIM_INFINITY && old.rlim_cur < 65536) GTEST_SKIP() << "a file-size limit is set already";
    // Past the limit a write fails with EFBIG instead of the signal, as the
    // programs arrange.
    struct restore {
        rlimit limit;
        void (*handler)(int);
        ~restore() {
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, handler);
        }
    } guard{old, std::signal(SIGXFSZ, SIG_IGN)};
    std::string past_limit, below_limit, commit, temporary;
    {
        core::replacement_file f(target);
        f.write_at("abc", 0);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        past_limit = failure_text([&] { f.write_at("x", 8192); });
        ::setrlimit(RLIMIT_FSIZE, &old);
        below_limit = failure_text([&] { f.write_at("def", 0); });
        commit = failure_text([&] { f.commit(); });
        for (const std::string& n : test_support::list_dir(dir)) temporary += test_support::read_file(dir + "/" + n);
    }
    EXPECT_EQ(past_limit, "cannot write " + target + ": File too large");
    EXPECT_EQ(below_limit, past_limit);
    EXPECT_EQ(commit, past_limit);
    EXPECT_EQ(temporary, "abc");
    EXPECT_TRUE(test_support::list_dir(dir).empty());
}
