// Reading and writing single fields by the record rules.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/fields.hpp"

using core::field_error;

namespace {

std::string real_out(int w, int d, float v) {
    std::string s(static_cast<std::size_t>(w), '?');
    core::write_real_field(&s[0], w, d, v);
    return s;
}

}  // namespace

TEST(RealWrite, EdgeCasesOfTheRules) {
    EXPECT_EQ(real_out(10, 2, -999.0f), "   -999.00");
    EXPECT_EQ(real_out(8, 2, 100000.0f), "********");
    EXPECT_EQ(real_out(8, 2, -0.001f), "   -0.00");
    EXPECT_EQ(real_out(8, 2, NAN), "     NaN");
    EXPECT_EQ(real_out(8, 2, 12.345f), "   12.35");
}
