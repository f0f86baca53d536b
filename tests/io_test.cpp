// Line input, checked output and replacement files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <limits>
#include <random>
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
