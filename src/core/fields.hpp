// The rules for one fixed-column field, read or written.
//
// Reading: blanks anywhere in a field are ignored and a blank field is zero.
// An integer is an optional sign and digits, within the 32-bit range. A real
// is an optional sign, digits with at most one point and an optional
// exponent (E or D in either case with an optionally signed integer, or a
// bare sign with an integer); with no point the last `decimals` digits are
// the fraction. The decimal number becomes the nearest single-precision
// value; one beyond the single-precision range is refused, and so are words
// such as Inf or NaN.
//
// Writing: right-justified in the field; a value that does not fit is all
// asterisks. Reals are rounded from their exact stored value to the nearest
// value of `decimals` decimals, a tie away from zero; a value below 1 in
// magnitude gets its leading 0 when there is room; a negative value (and a
// negative zero) keeps its minus sign when it rounds to zero; a NaN is NaN
// and an infinity Inf or -Inf, at the right of the field.
#pragma once

#include <cstdint>
#include <string_view>

namespace core {

enum class field_error { none, malformed, out_of_range };

field_error read_integer_field(std::string_view text, std::int32_t& value);
field_error read_real_field(std::string_view text, int decimals, float& value);

// Each writes exactly `width` characters at `out`.
void write_integer_field(char* out, int width, std::int64_t value);
void write_real_field(char* out, int width, int decimals, float value);

// The general real writer, from the exact decimal expansion of the value.
// `write_real_field` takes a shorter route for small widths; both must give
// the same characters, and the tests compare them.
void write_real_field_exact(char* out, int width, int decimals, float value);

}  // namespace core
