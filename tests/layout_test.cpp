// The layout notation, reading and writing whole lines, plain lines, the end
// of a run and fixed-length arguments.
#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "core/layout.hpp"
#include "core/record.hpp"
#include "support.hpp"

namespace {

// The expanded fields of a layout, written back in the notation, one item
// per field, with the column each field starts at.
std::string expanded(const core::layout& l) {
    std::string s;
    for (const core::field& f : l.fields()) {
        if (!s.empty()) s += ' ';
        switch (f.kind) {
        case core::field_kind::integer:
            s += "i" + std::to_string(f.width);
            break;
        case core::field_kind::real:
            s += "f" + std::to_string(f.width) + "." + std::to_string(f.decimals);
            break;
        case core::field_kind::text:
            s += "a" + std::to_string(f.width);
            break;
        case core::field_kind::natural_text:
            s += "a";
            break;
        case core::field_kind::skip:
            s += std::to_string(f.width) + "x";
            break;
        }
        s += "@" + std::to_string(f.column);
    }
    return s;
}

std::string failure_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::failure& e) {
        return e.what();
    }
    return "(no failure)";
}

// Runs `body` as a program in a child process through run_program, with
// standard output and standard error captured.
struct child_result {
    int status;
    std::string out, err;
};
child_result run_in_child(int (*body)(int, char**)) {
    std::string dir = test_support::scratch_dir();
    std::string out = dir + "/out", err = dir + "/err";
    pid_t pid = ::fork();
    if (pid == 0) {
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(o, 1);
        ::dup2(e, 2);
        char name[] = "prog";
        char* argv[] = {name, nullptr};
        ::_exit(core::run_program("prog", body, 1, argv));
    }
    int ws = 0;
    ::waitpid(pid, &ws, 0);
    return {WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws), test_support::read_file(out),
            test_support::read_file(err)};
}

std::string format(const char* layout_text, std::initializer_list<core::value> values) {
    core::layout l(layout_text);
    std::string line;
    core::format_record(line, l, values.begin(), values.size());
    return line;
}

}  // namespace

TEST(Layout, ExpandsEveryLayoutOfTheSystem) {
    struct c {
        const char* text;
        const char* fields;
        int values, read_width;
    } cases[] = {
        {"(i4)", "i4@1", 1, 4},
        {"(I2)", "i2@1", 1, 2},
        {"(i5)", "i5@1", 1, 5},
        {"(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)",
         "i4@1 i3@5 i3@8 f11.4@11 f11.4@22 i5@33 i3@38 f11.4@41 f11.4@52 i5@63 i3@68", 11, 70},
        {"(a3,i3,i5,4x,a6,i9,i6,f7.1,f8.2,f8.2,2f7.2)",
         "a3@1 i3@4 i5@7 4x@12 a6@16 i9@22 i6@31 f7.1@37 f8.2@44 f8.2@52 f7.2@60 f7.2@67", 11, 73},
        {"(a3,i3,i5,4x,a6,i9,2i7,2(f8.2))", "a3@1 i3@4 i5@7 4x@12 a6@16 i9@22 i7@31 i7@38 f8.2@45 f8.2@53", 9, 60},
        {"(a6,1x,2(i4,1x),f10.4,1x)", "a6@1 1x@7 i4@8 1x@12 i4@13 1x@17 f10.4@18 1x@28", 4, 28},
        {"(a,i3)", "a@1 i3@1", 2, 3},
        {"(i4,f8.2,a,1x,i4,1x,2(i2,1x))", "i4@1 f8.2@5 a@13 1x@13 i4@14 1x@18 i2@19 1x@21 i2@22 1x@24", 6, 24},
        {"(a,i5,i5,i5)", "a@1 i5@1 i5@6 i5@11", 4, 15},
        // Both cases, nested groups, repeat counts on groups and skips.
        {"(A3,F7.1,2X,I2)", "a3@1 f7.1@4 2x@11 i2@13", 3, 14},
        {"(2(i1,2(a2)),x)", "i1@1 a2@2 a2@4 i1@6 a2@7 a2@9 1x@11", 6, 11},
        {"(f5.0)", "f5.0@1", 1, 5},
        {"(12x)", "12x@1", 0, 12},
    };
    for (const auto& k : cases) {
        core::layout l(k.text);
        EXPECT_EQ(expanded(l), k.fields) << k.text;
        EXPECT_EQ(l.value_count(), k.values) << k.text;
        EXPECT_EQ(l.read_width(), k.read_width) << k.text;
    }
    core::layout big("(3i5,140f10.2)");
    EXPECT_EQ(big.value_count(), 143);
    EXPECT_EQ(big.read_width(), 1415);
    EXPECT_EQ(big.fields().back().column, 1406);
    core::layout years("(3i5,140i10)");
    EXPECT_EQ(years.value_count(), 143);
    EXPECT_EQ(years.read_width(), 1415);
}

TEST(Layout, MalformedLayoutsFail) {
    for (const char* text : {"", "i4", "(i4", "i4)", "()", "(i4,)", "(,i4)", "(i)", "(i0)", "(f8)", "(f8.)",
                             "(f.2)", "(0i3)", "(0x)", "(i4 ,i3)", "(i4) ", "(q4)", "(2)", "(i4,(i3)", "(i4))",
                             "((i4)", "(a-3)", "(i999999999)", "(99999(99999i5))", "(2(50001i5))"}) {
        std::string what = failure_text([&] { core::layout l(text); });
        EXPECT_NE(what.find("malformed layout"), std::string::npos) << "'" << text << "': " << what;
    }
}

TEST(ReadRecord, FieldsOfADailyLine) {
    core::layout daily("(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)");
    std::string full = test_support::daily_line(1896, 2, 29, 41.25, -3.5);
    full.pop_back();
    // A line of 40 characters reads its TMIN group as zeros; characters after
    // the 70th are ignored.
    struct c {
        std::string line;
        float tmax, tmin;
    } cases[] = {
        {full, 41.25f, -3.5f},
        {full.substr(0, 40), 41.25f, 0.0f},
        {full + "trailing junk past the last field", 41.25f, -3.5f},
        {full.substr(0, 10), 0.0f, 0.0f},
    };
    for (const auto& k : cases) {
        core::line_reader src = core::line_reader::from_text(k.line, "test");
        core::record r;
        ASSERT_TRUE(core::read_record(src, daily, r)) << k.line;
        ASSERT_EQ(r.values.size(), 11u);
        EXPECT_EQ(r.integer(0), 1896);
        EXPECT_EQ(r.integer(1), 2);
        EXPECT_EQ(r.integer(2), 29);
        EXPECT_EQ(r.real(3), k.tmax) << k.line;
        EXPECT_EQ(r.real(7), k.tmin) << k.line;
        EXPECT_FALSE(core::read_record(src, daily, r));  // a text source holds one line
    }
}

TEST(ReadRecord, MalformedFieldNamesSourceLineColumnsAndText) {
    core::layout daily("(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)");
    std::string good = test_support::daily_line(1900, 1, 1, 1.0, 2.0);
    std::string bad = test_support::daily_line(1900, 1, 2, 1.0, 2.0);
    bad.replace(40, 11, "   12.x5000");
    core::line_reader src = core::line_reader::from_text(good + bad, "standard input");
    core::record r;
    ASSERT_TRUE(core::read_record(src, daily, r));
    std::string what = failure_text([&] { core::read_record(src, daily, r); });
    EXPECT_EQ(what, "standard input, line 2, columns 41-51: malformed real field '   12.x5000'");

    core::layout wide("(i12)");
    core::line_reader src2 = core::line_reader::from_text("  2147483648", "argument 1");
    what = failure_text([&] { core::read_record(src2, wide, r); });
    EXPECT_EQ(what, "argument 1, line 1, columns 1-12: malformed integer field '  2147483648' out of range");

    core::line_reader src3 = core::line_reader::from_text(std::string("19\0001", 4), "standard input");
    what = failure_text([&] { core::read_record(src3, daily, r); });
    EXPECT_EQ(what, "standard input, line 1, columns 1-4: malformed integer field '19\\x001'");
}

TEST(WriteRecord, Lines) {
    // The last-day status line, 73 columns.
    EXPECT_EQ(format("(a3,i3,i5,4x,a6,i9,i6,f7.1,f8.2,f8.2,2f7.2)",
                     {"Jan", 1, 1897, " 1-day", 3, 2, 50.0f, 30.0f, 3.333334f, 10.0f, 40.0f}),
              "Jan  1 1897     1-day        3     2   50.0   30.00    3.33  10.00  40.00");
    // A final skip writes nothing: 27 columns ending with the real field.
    std::string series = format("(a6,1x,2(i4,1x),f10.4,1x)", {" 1-day", 1895, 1, 12.5f});
    EXPECT_EQ(series, " 1-day 1895    1    12.5000");
    EXPECT_EQ(series.size(), 27u);
    // Natural-width text keeps its trailing blank; the i3 follows it.
    EXPECT_EQ(format("(a,i3)", {"Top 10 Warm for Duration (Days): ", 7}), "Top 10 Warm for Duration (Days):   7");
    std::string entry = format("(i4,f8.2,a,1x,i4,1x,2(i2,1x))", {1, 45.5f, " ", 1936, 7, 14});
    EXPECT_EQ(entry, "   1   45.50  1936  7 14");
    // Text fields: shorter padded on the left, longer cut to the width.
    EXPECT_EQ(format("(a6,a3)", {"ab", "abcdef"}), "    ababc");
    EXPECT_EQ(format("(a)", {""}), "");
    // Overflow and NaN within a line.
    EXPECT_EQ(format("(i3,f8.2)", {1000, std::numeric_limits<float>::quiet_NaN()}), "***     NaN");
}

TEST(WriteRecord, WrongValuesAreAnInternalFailure) {
    core::layout l("(i3,f8.2)");
    std::string line;
    const core::value few[] = {1};
    EXPECT_NE(failure_text([&] { core::format_record(line, l, few, 1); }).find("too few"), std::string::npos);
    const core::value many[] = {1, 2.0f, 3};
    EXPECT_NE(failure_text([&] { core::format_record(line, l, many, 3); }).find("too many"), std::string::npos);
    const core::value kinds[] = {1, 2};
    EXPECT_NE(failure_text([&] { core::format_record(line, l, kinds, 2); }).find("value kind"), std::string::npos);
}

namespace {

int plain_lines_then_end(int, char**) {
    core::out_stream& out = core::standard_output();
    core::write_plain_line(out, "test");
    core::write_plain_line(out, "");
    core::write_plain_line(out, "two  ");
    core::end_run();
}

int fails_after_writing(int, char**) {
    core::write_plain_line(core::standard_output(), "never seen");
    throw core::failure("standard input, line 3: something wrong");
}

int returns_three(int, char**) {
    core::write_plain_line(core::standard_output(), "x");
    return 3;
}

}  // namespace

TEST(Run, EndRunCompletesOutputAndExitsZero) {
    child_result r = run_in_child(plain_lines_then_end);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " test\n \n two  \n");
    EXPECT_EQ(r.err, "");
}

TEST(Run, FailureIsOneLineOnStandardErrorAndNothingBuffered) {
    child_result r = run_in_child(fails_after_writing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "prog: standard input, line 3: something wrong\n");
}

TEST(Run, BodyStatusIsKept) {
    child_result r = run_in_child(returns_three);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, " x\n");
}

TEST(Arguments, FixedLength) {
    char p[] = "prog", a1[] = "7", a2[] = "123456", a3[] = "", a4[] = "ab cd  ";
    char* argv[] = {p, a1, a2, a3, a4, nullptr};
    EXPECT_EQ(core::fixed_argument(5, argv, 1, 5), "7    ");
    EXPECT_EQ(core::fixed_argument(5, argv, 2, 5), "12345");
    EXPECT_EQ(core::fixed_argument(5, argv, 3, 4), "    ");
    EXPECT_EQ(core::fixed_argument(5, argv, 4, 10), "ab cd     ");
    EXPECT_EQ(core::fixed_argument(5, argv, 5, 3), "   ");  // missing
    EXPECT_EQ(core::fixed_argument(5, argv, 9, 2), "  ");
    EXPECT_TRUE(core::is_blank(core::fixed_argument(5, argv, 3, 4)));
    EXPECT_TRUE(core::is_blank(""));
    EXPECT_FALSE(core::is_blank(core::fixed_argument(5, argv, 1, 5)));
    EXPECT_EQ(core::without_trailing_blanks("ab cd  "), "ab cd");
    EXPECT_EQ(core::without_trailing_blanks("   "), "");
}

TEST(Arguments, NumbersReadThroughOneFieldLayouts) {
    core::layout i5("(i5)"), i4("(i4)"), i2("(i2)");
    struct c {
        const char* arg;
        const core::layout& l;
        std::size_t length;
        std::int32_t value;
    } cases[] = {
        {"7", i5, 5, 7}, {"365", i5, 5, 365}, {"123456", i5, 5, 12345}, {"-3", i5, 5, -3},
        {"2016", i4, 4, 2016}, {"1 2", i2, 2, 1}, {" 3", i2, 2, 3}, {"", i2, 2, 0},
    };
    for (const auto& k : cases) {
        char p[] = "prog";
        std::string a = k.arg;
        char* argv[] = {p, &a[0], nullptr};
        std::string text = core::fixed_argument(2, argv, 1, k.length);
        EXPECT_EQ(core::read_argument_number(text, k.l, 1), k.value) << "'" << k.arg << "'";
    }
    std::string what = failure_text([&] { core::read_argument_number("abc  ", i5, 1); });
    EXPECT_EQ(what, "argument 1, columns 1-5: malformed integer field 'abc  '");
    // An argument is one field text: a line feed in it is malformed, not a line end.
    what = failure_text([&] { core::read_argument_number("1\n2", core::layout("(i4)"), 2); });
    EXPECT_EQ(what, "argument 2, columns 1-4: malformed integer field '1\\x0a2'");
}
