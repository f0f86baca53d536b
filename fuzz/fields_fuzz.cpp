// Fuzz target: the field writers against the general writer and the field
// readers.
//
// Input: a run of 5-byte groups. In each, the first byte picks a field of
// the suite (its value modulo the number of fields), the next four are the
// bit pattern of the value: a float for a real field, a 32-bit integer for
// an integer field. Checked for every group:
// - the fast real writer writes exactly what the general, exact one does;
// - a real written and read back is the value within the rounding of the
//   field (a field of asterisks only when the value does not fit, NaN and
//   Inf only for those values);
// - an integer written and read back is the same integer, or asterisks
//   exactly when its digits do not fit, as a simple printf check says.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/fields.hpp"
#include "reference.hpp"

using namespace fuzz_ref;

namespace {

struct real_field_kind {
    int width, decimals;
};
// Every real field of the suite's layouts.
const real_field_kind real_fields[] = {{11, 4}, {10, 2}, {7, 1}, {8, 2}, {7, 2}, {10, 4}};
// Every integer field width of the suite's layouts.
const int integer_widths[] = {2, 3, 4, 5, 6, 7, 9, 10};
constexpr int real_count = sizeof real_fields / sizeof real_fields[0];
constexpr int kind_count = real_count + sizeof integer_widths / sizeof integer_widths[0];

void check_real(int w, int d, float value) {
    char fast[32], exact[32];
    core::write_real_field(fast, w, d, value);
    core::write_real_field_exact(exact, w, d, value);
    if (std::memcmp(fast, exact, static_cast<std::size_t>(w)) != 0) {
        std::fprintf(stderr, "f%d.%d of %a: fast '%.*s', exact '%.*s'\n", w, d, static_cast<double>(value), w,
                     fast, w, exact);
        fail("fast real writer disagrees with the exact one");
    }
    std::string text(fast, static_cast<std::size_t>(w));
    check(text.size() == static_cast<std::size_t>(w) && text.back() != ' ', "real field not right-justified");
    if (std::isnan(value)) {
        check(text == std::string(static_cast<std::size_t>(w - 3), ' ') + "NaN", "NaN written");
        return;
    }
    if (std::isinf(value)) {
        check(text.find("Inf") != std::string::npos, "infinity written");
        return;
    }
    // Does the rounded value fit? printf rounds the exact value too (only
    // its rule for an exact tie differs, which never changes the length of a
    // field of one or more decimals); a lone leading 0 may be dropped.
    char wide[128];
    int len = std::snprintf(wide, sizeof wide, "%.*f", d, static_cast<double>(value));
    const char* digits = wide[0] == '-' ? wide + 1 : wide;
    bool zero_int = digits[0] == '0' && digits[1] == '.';
    bool want_stars = len > w && !(zero_int && len - 1 <= w);
    bool stars = text == std::string(static_cast<std::size_t>(w), '*');
    check(stars == want_stars, "asterisks unlike the length of the rounded value");
    if (stars) return;
    float back = 0.0f;
    core::field_error e = core::read_real_field(text, d, back);
    check(e == core::field_error::none, "written real does not read back");
    double unit = std::pow(10.0, -d);
    double ulp = std::fabs(static_cast<double>(std::nextafter(back, INFINITY)) - back);
    check(std::fabs(static_cast<double>(back) - value) <= unit / 2 * (1 + 1e-12) + ulp,
          "real read back beyond the rounding of its field");
    check(std::signbit(back) == std::signbit(value) || back == 0.0f, "sign lost");
    // The reference reader agrees with the fast one on what was written.
    float ref = 0.0f;
    check(real_field(text, d, ref) == core::field_error::none && std::memcmp(&ref, &back, sizeof ref) == 0,
          "readers disagree on a written real");
}

void check_integer(int w, std::int32_t value) {
    char out[32];
    core::write_integer_field(out, w, value);
    std::string text(out, static_cast<std::size_t>(w));
    char want[32];
    int len = std::snprintf(want, sizeof want, "%*d", w, value);
    if (len > w) {
        check(text == std::string(static_cast<std::size_t>(w), '*'), "wide integer not asterisks");
        return;
    }
    check(text == want, "integer written unlike printf");
    std::int32_t back = 0;
    check(core::read_integer_field(text, back) == core::field_error::none && back == value,
          "integer read back differs");
    std::int32_t ref = 0;
    check(integer_field(text, ref) == core::field_error::none && ref == back, "readers disagree on an integer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 0; at + 5 <= size; at += 5) {
        int kind = data[at] % kind_count;
        std::uint32_t bits;
        std::memcpy(&bits, data + at + 1, sizeof bits);
        if (kind < real_count) {
            float value;
            std::memcpy(&value, &bits, sizeof value);
            check_real(real_fields[kind].width, real_fields[kind].decimals, value);
        } else {
            std::int32_t value;
            std::memcpy(&value, &bits, sizeof value);
            check_integer(integer_widths[kind - real_count], value);
        }
    }
    return 0;
}
