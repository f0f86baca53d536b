// Reading and writing single fields by the record rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/fields.hpp"

using core::field_error;

namespace {

std::string real_out(int w, int d, float v) {
    std::string s(static_cast<std::size_t>(w), '?');
    core::write_real_field(&s[0], w, d, v);
    return s;
}

std::string real_out_exact(int w, int d, float v) {
    std::string s(static_cast<std::size_t>(w), '?');
    core::write_real_field_exact(&s[0], w, d, v);
    return s;
}

std::string int_out(int w, std::int64_t v) {
    std::string s(static_cast<std::size_t>(w), '?');
    core::write_integer_field(&s[0], w, v);
    return s;
}

float bits_to_float(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

std::uint32_t float_bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

}  // namespace

// ---- integer fields, read ----

struct int_case {
    const char* text;
    field_error error;
    std::int32_t value;
};

TEST(IntegerRead, Table) {
    const int_case cases[] = {
        {"  12", field_error::none, 12},  // right-justified
        {"12  ", field_error::none, 12},  // left-justified
        {"1 2 ", field_error::none, 12},  // blanks inside are ignored
        {"    ", field_error::none, 0},   // blank field
        {"", field_error::none, 0},       // past the end of a short line
        {"  -3", field_error::none, -3},
        {"  +7", field_error::none, 7},
        {"- 42", field_error::none, -42},
        {"0000", field_error::none, 0},
        {"-0", field_error::none, 0},
        {"2147483647", field_error::none, 2147483647},
        {"-2147483648", field_error::none, std::numeric_limits<std::int32_t>::min()},
        {"2147483648", field_error::out_of_range, 0},
        {"-2147483649", field_error::out_of_range, 0},
        {"99999999999999999999", field_error::out_of_range, 0},
        {"   -", field_error::malformed, 0},   // a sign and no digit
        {"  +-1", field_error::malformed, 0},  // two signs
        {"  1-", field_error::malformed, 0},   // sign after a digit
        {" abc", field_error::malformed, 0},
        {"  1.", field_error::malformed, 0},   // no point in an integer field
        {" 1e2", field_error::malformed, 0},
        {"\t 12", field_error::malformed, 0},  // only the blank is a blank
    };
    for (const int_case& c : cases) {
        std::string text = c.text;
        std::int32_t v = -12345;
        field_error e = core::read_integer_field(text, v);
        EXPECT_EQ(e, c.error) << "'" << text << "'";
        if (c.error == field_error::none) {
            EXPECT_EQ(v, c.value) << "'" << text << "'";
        }
    }
}

TEST(IntegerRead, EmbeddedNulIsMalformed) {
    std::int32_t v = 0;
    EXPECT_EQ(core::read_integer_field(std::string("1\0002", 3), v), field_error::malformed);
}

// ---- real fields, read ----

struct real_case {
    const char* text;
    int decimals;
    field_error error;
    float value;
};

TEST(RealRead, Table) {
    const real_case cases[] = {
        {"       -1.5", 4, field_error::none, -1.5f},
        {"      12345", 4, field_error::none, 1.2345f},  // implied decimals
        {"       -999", 4, field_error::none, -0.0999f},
        {"   -999.000", 4, field_error::none, -999.0f},
        {"      1.5E2", 4, field_error::none, 150.0f},
        {"      1.5e2", 4, field_error::none, 150.0f},
        {"      1.5D2", 4, field_error::none, 150.0f},
        {"      1.5d2", 4, field_error::none, 150.0f},
        {"     1.5E+2", 4, field_error::none, 150.0f},
        {"     1.5E-2", 4, field_error::none, 0.015f},
        {"      1.5+2", 4, field_error::none, 150.0f},  // bare sign exponent
        {"      1.5-2", 4, field_error::none, 0.015f},
        {"     15E+01", 1, field_error::none, 15.0f},    // 1.5 from the implied decimal, times 10
        {"        15-1", 0, field_error::none, 1.5f},
        {"           ", 4, field_error::none, 0.0f},
        {"", 4, field_error::none, 0.0f},
        {" 1 2 . 5   ", 4, field_error::none, 12.5f},  // blanks anywhere
        {"1.5 E 2", 4, field_error::none, 150.0f},
        {"      +2.25", 2, field_error::none, 2.25f},
        {"        .25", 2, field_error::none, 0.25f},
        {"         5.", 2, field_error::none, 5.0f},
        {"     0.0001", 4, field_error::none, 0.0001f},
        {"        0.1", 4, field_error::none, 0.1f},  // nearest single-precision value
        {"   16777217", 0, field_error::none, 16777216.0f},  // tie to even
        {"   16777219", 0, field_error::none, 16777220.0f},
        {"  3.4028235E38", 4, field_error::none, std::numeric_limits<float>::max()},
        {"     1.0E-50", 4, field_error::none, 0.0f},  // underflows to zero
        {"      1.0E39", 4, field_error::out_of_range, 0.0f},
        {"     -1.0E39", 4, field_error::out_of_range, 0.0f},
        {"  1E99999999999", 4, field_error::out_of_range, 0.0f},
        {"  1E-99999999999", 4, field_error::none, 0.0f},
        {"        Inf", 4, field_error::malformed, 0.0f},
        {"   Infinity", 4, field_error::malformed, 0.0f},
        {"        NaN", 4, field_error::malformed, 0.0f},
        {"       -inf", 4, field_error::malformed, 0.0f},
        {"          -", 4, field_error::malformed, 0.0f},  // sign alone
        {"          .", 4, field_error::malformed, 0.0f},  // point alone
        {"     1.2.3", 4, field_error::malformed, 0.0f},
        {"       1.5E", 4, field_error::malformed, 0.0f},
        {"      1.5E+", 4, field_error::malformed, 0.0f},
        {"    1.5E2.0", 4, field_error::malformed, 0.0f},
        {"      1.5E2E", 4, field_error::malformed, 0.0f},
        {"        E5", 4, field_error::malformed, 0.0f},
        {"       1.5x", 4, field_error::malformed, 0.0f},
        {"    --1.5", 4, field_error::malformed, 0.0f},
        {"   1.5Q2", 4, field_error::malformed, 0.0f},
        {"      12,5", 4, field_error::malformed, 0.0f},
        {"\t1.5", 4, field_error::malformed, 0.0f},
    };
    for (const real_case& c : cases) {
        float v = -12345.0f;
        field_error e = core::read_real_field(c.text, c.decimals, v);
        EXPECT_EQ(e, c.error) << "'" << c.text << "' d=" << c.decimals;
        if (c.error == field_error::none && e == field_error::none) {
            EXPECT_EQ(float_bits(v), float_bits(c.value)) << "'" << c.text << "' read " << v;
        }
    }
}

TEST(RealRead, NegativeZeroKeepsItsSign) {
    float v = 1.0f;
    ASSERT_EQ(core::read_real_field("     -0.000", 4, v), field_error::none);
    EXPECT_EQ(v, 0.0f);
    EXPECT_TRUE(std::signbit(v));
}

TEST(RealRead, WrittenValuesReadBackToTheNearestFloat) {
    // Every value printed with 9 significant digits reads back bit for bit;
    // a decimal halfway between two floats rounds to the even one.
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> mag(-20.0f, 20.0f);
    for (int i = 0; i < 2000; ++i) {
        float x = std::pow(10.0f, mag(gen)) * ((i & 1) ? -1.0f : 1.0f);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.8E", static_cast<double>(x));
        float v = 0.0f;
        ASSERT_EQ(core::read_real_field(buf, 4, v), field_error::none) << buf;
        EXPECT_EQ(float_bits(v), float_bits(x)) << buf;
    }
    // 1 + 2^-24 is halfway between 1 and the next float: even is 1.
    float v = 0.0f;
    ASSERT_EQ(core::read_real_field("1.000000059604644775390625", 4, v), field_error::none);
    EXPECT_EQ(v, 1.0f);
    ASSERT_EQ(core::read_real_field("1.000000059604644775390626", 4, v), field_error::none);
    EXPECT_EQ(float_bits(v), float_bits(1.0f) + 1);
}

// ---- integer fields, written ----

TEST(IntegerWrite, Table) {
    struct c {
        int width;
        std::int64_t value;
        const char* out;
    } cases[] = {
        {3, 1000, "***"},      {4, -999, "-999"},    {5, -999, " -999"}, {3, 0, "  0"},
        {1, 7, "7"},           {1, -1, "*"},         {2, -1, "-1"},      {9, 126, "      126"},
        {4, 2020, "2020"},     {10, -2147483648LL, "**********"},        {11, -2147483648LL, "-2147483648"},
        {10, 2147483647, "2147483647"},
    };
    for (const auto& k : cases) EXPECT_EQ(int_out(k.width, k.value), k.out) << k.width << " " << k.value;
}

// ---- real fields, written ----

TEST(RealWrite, Table) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct c {
        int width, decimals;
        float value;
        const char* out;
    } cases[] = {
        {10, 2, -999.0f, "   -999.00"},
        {8, 2, 100000.0f, "********"},
        {8, 2, 99999.99f, "99999.99"},   // stored as 99999.9921875
        {8, 2, 99999.998f, "********"},  // stored as 100000.0
        {8, 2, -9999.99f, "-9999.99"},
        {8, 2, -10000.0f, "********"},
        {8, 2, -0.001f, "   -0.00"},     // a negative value rounding to zero keeps its sign
        {8, 2, -0.0f, "   -0.00"},
        {8, 2, 0.0f, "    0.00"},
        {8, 2, 0.5f, "    0.50"},
        {8, 2, nan, "     NaN"},
        {7, 1, nan, "    NaN"},
        {3, 1, nan, "NaN"},
        {8, 2, inf, "     Inf"},
        {8, 2, -inf, "    -Inf"},
        {8, 2, 12.345f, "   12.35"},     // 12.3450002... rounds up
        {8, 2, 1.005f, "    1.00"},      // 1.00499999... rounds down
        {8, 2, 0.125f, "    0.13"},      // an exact tie goes away from zero
        {8, 2, -0.125f, "   -0.13"},
        {8, 2, 2.5f, "    2.50"},
        {7, 1, 0.25f, "    0.3"},
        {7, 1, -0.25f, "   -0.3"},
        {7, 1, 50.0f, "   50.0"},
        {7, 1, 99.20635f, "   99.2"},
        {7, 2, -999.0f, "-999.00"},
        {7, 2, 9999.995f, "*******"},    // rounds to 10000.00: too wide
        {7, 2, 9999.994f, "9999.99"},
        {10, 4, -0.0999f, "   -0.0999"},
        {11, 4, 1.2345f, "     1.2345"},  // 1.23450005... rounds down
        {10, 4, 123456.5f, "**********"},
        {4, 2, -0.5f, "-.50"},            // the leading 0 goes only when there is no room
        {4, 2, 0.5f, "0.50"},
        {3, 2, 0.5f, ".50"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(real_out(k.width, k.decimals, k.value), k.out) << "f" << k.width << "." << k.decimals << " "
                                                                   << k.value;
        EXPECT_EQ(real_out_exact(k.width, k.decimals, k.value), k.out)
            << "exact f" << k.width << "." << k.decimals << " " << k.value;
    }
}

// The short route of write_real_field must give the same characters as the
// exact writer, which rounds from the full decimal expansion of the float:
// random magnitudes, whole hundredths, any bit pattern, exact ties and their
// neighbours, and values around the limits of the short route.
TEST(RealWrite, FastWriterMatchesExactWriter) {
    struct format {
        int width, decimals;
    };
    const std::vector<format> formats = {{7, 1}, {8, 2}, {10, 2}, {10, 4}, {11, 4}, {5, 0}, {18, 0},
                                         {14, 4}, {12, 3}, {3, 1}, {4, 2}};
    std::mt19937 gen(2024);
    std::uniform_int_distribution<std::uint32_t> any_bits;
    std::uniform_real_distribution<float> exponent(-6.0f, 17.0f);
    std::uniform_int_distribution<int> hundredths(-200000, 200000);
    std::vector<float> values;
    for (int i = 0; i < 5000; ++i) {
        float x = std::pow(10.0f, exponent(gen));
        values.push_back((i & 1) ? -x : x);
        values.push_back(static_cast<float>(hundredths(gen)) / 100.0f);  // the values daily data holds
        values.push_back(bits_to_float(any_bits(gen)));                  // any bit pattern, NaNs included
    }
    // Exact ties and their neighbours at each number of decimals.
    for (int m = 1; m <= 5; ++m) {
        for (int n = -600; n <= 600; ++n) {
            float t = static_cast<float>(2 * n + 1) / static_cast<float>(1 << m);
            values.push_back(t);
            values.push_back(std::nextafter(t, 1e30f));
            values.push_back(std::nextafter(t, -1e30f));
        }
    }
    for (float big : {1e15f, 9.99999e14f, 1e16f, 1e17f, 1e18f, 3.4e38f, 1e-45f}) {
        values.push_back(big);
        values.push_back(-big);
    }
    for (const format& f : formats) {
        for (float v : values) {
            ASSERT_EQ(real_out(f.width, f.decimals, v), real_out_exact(f.width, f.decimals, v))
                << "f" << f.width << "." << f.decimals << " bits " << std::hex << float_bits(v);
        }
    }
}
