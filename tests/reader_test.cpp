// The line reader across buffer refills, and numbers read from arguments:
// cases the fuzz targets found wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "core/layout.hpp"
#include "core/record.hpp"

namespace {

// A descriptor reading back `text`, from an unlinked temporary file.
int descriptor_of(const std::string& text) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
    std::fflush(f);
    int fd = ::dup(fileno(f));
    std::fclose(f);
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::vector<std::string> read_lines(const std::string& text, std::size_t buffer, std::size_t keep) {
    int fd = descriptor_of(text);
    std::vector<std::string> lines;
    {
        core::line_reader r = buffer ? core::line_reader(fd, "input", buffer) : core::line_reader(fd, "input");
        std::string_view line;
        while (r.next(line, keep)) lines.emplace_back(line);
    }
    ::close(fd);
    return lines;
}

using lines = std::vector<std::string>;

}  // namespace

// A last line without a line feed that crosses a refill of the read buffer
// was cut in two: the piece still in the buffer when the input ended came
// back as a line of its own.
TEST(LineReader, LastLineWithoutLineFeedAcrossRefills) {
    struct tcase {
        std::string text;
        std::size_t buffer, keep;
        lines want;
    };
    const tcase cases[] = {
        {"abcdefghij", 4, 100, {"abcdefghij"}},
        {"abcdefghij", 4, 3, {"abc"}},
        {"ab\nabcdefghij", 4, 100, {"ab", "abcdefghij"}},
        {"abcdefghij\r", 4, 100, {"abcdefghij"}},
        {"abcdefg\r\nxyz", 4, 100, {"abcdefg", "xyz"}},
        {"abcdefghij\n", 4, 100, {"abcdefghij"}},
        {"a", 1, 100, {"a"}},
    };
    for (const tcase& c : cases)
        for (std::size_t buffer = c.buffer; buffer <= c.buffer + 3; ++buffer)
            EXPECT_EQ(read_lines(c.text, buffer, c.keep), c.want) << "buffer " << buffer << " text " << c.text;
}

// The same with the ordinary buffer: a final line longer than it.
TEST(LineReader, LongLastLineWithoutLineFeed) {
    std::string text = "first\n" + std::string(1100000, 'x');
    EXPECT_EQ(read_lines(text, 0, 70), (lines{"first", std::string(70, 'x')}));
}

// An argument was read through the line splitter, so a line feed or a
// final carriage return in it ended the number instead of being refused.
TEST(ArgumentNumber, ControlCharactersAreMalformed) {
    const core::layout i4("(i4)");
    const std::string refused[] = {"\n", "1\n99", "12\r", "\r\n", "7\n"};
    for (const std::string& text : refused) {
        try {
            core::read_argument_number(text, i4, 2);
            ADD_FAILURE() << "read " << core::quoted(text);
        } catch (const core::failure& e) {
            EXPECT_NE(std::string(e.what()).find("argument 2, columns 1-4: malformed integer field"),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(core::read_argument_number("12  ", i4, 1), 12);
    EXPECT_EQ(core::read_argument_number("", i4, 1), 0);
    EXPECT_EQ(core::read_argument_number("1998\n", i4, 1), 1998);  // beyond the field: ignored
    EXPECT_EQ(core::read_argument_number("123456", core::layout("(i5)"), 1), 12345);
}
