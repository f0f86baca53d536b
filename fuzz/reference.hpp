// Deliberately simple second readings of the record rules, for the fuzz
// targets to compare the core against: a field reader that strips blanks
// and hands a rebuilt decimal text to strtof, and a line splitter that
// works on the whole text at once.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.hpp"

namespace fuzz_ref {

inline bool digit(char c) { return c >= '0' && c <= '9'; }

inline std::string without_blanks(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ') s.push_back(c);
    return s;
}

// Integer field: blanks ignored, then an optional sign and at least one
// digit; all blanks is 0; the value must fit 32 bits.
inline core::field_error integer_field(std::string_view text, std::int32_t& value) {
    std::string s = without_blanks(text);
    if (s.empty()) {
        value = 0;
        return core::field_error::none;
    }
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        i = 1;
    }
    if (i == s.size()) return core::field_error::malformed;
    for (std::size_t k = i; k < s.size(); ++k)
        if (!digit(s[k])) return core::field_error::malformed;
    while (i + 1 < s.size() && s[i] == '0') ++i;  // leading zeros
    if (s.size() - i > 10) return core::field_error::out_of_range;
    long long v = std::stoll(s.substr(i));
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return core::field_error::out_of_range;
    value = static_cast<std::int32_t>(v);
    return core::field_error::none;
}

// Real field of `decimals` decimals: blanks ignored; an optional sign,
// digits with at most one point (at least one digit), then optionally an
// exponent: E, e, D or d with an optionally signed integer, or a sign with
// an integer. Without a point the last `decimals` digits are the fraction;
// the point is put into the text and strtof does the rest.
inline core::field_error real_field(std::string_view text, int decimals, float& value) {
    std::string s = without_blanks(text);
    if (s.empty()) {
        value = 0.0f;
        return core::field_error::none;
    }
    std::size_t i = 0;
    std::string sign;
    if (s[0] == '+' || s[0] == '-') {
        sign = s.substr(0, 1);
        i = 1;
    }
    std::string mantissa;
    bool point = false, any_digit = false;
    for (; i < s.size(); ++i) {
        if (digit(s[i])) {
            any_digit = true;
            mantissa.push_back(s[i]);
        } else if (s[i] == '.' && !point) {
            point = true;
            mantissa.push_back('.');
        } else {
            break;
        }
    }
    if (!any_digit) return core::field_error::malformed;
    std::string exponent;
    if (i < s.size()) {
        char c = s[i];
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D') ++i;
        else if (c != '+' && c != '-') return core::field_error::malformed;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) exponent.push_back(s[i++]);
        if (i == s.size()) return core::field_error::malformed;
        for (; i < s.size(); ++i) {
            if (!digit(s[i])) return core::field_error::malformed;
            exponent.push_back(s[i]);
        }
    }
    if (!point) {
        std::size_t d = static_cast<std::size_t>(decimals);
        if (mantissa.size() < d) mantissa.insert(0, d - mantissa.size(), '0');
        mantissa.insert(mantissa.size() - d, ".");
    }
    std::string number = sign + mantissa + (exponent.empty() ? "" : "e" + exponent);
    float v = std::strtof(number.c_str(), nullptr);
    if (std::isinf(v)) return core::field_error::out_of_range;
    value = v;
    return core::field_error::none;
}

// The lines of a text: split at line feeds, a final piece without a line
// feed is a line too, one carriage return before the end of a line is
// dropped, and each line is cut to `keep` bytes.
inline std::vector<std::string> split_lines(std::string_view text, std::size_t keep) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > keep) line.resize(keep);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    return lines;
}

// A diagnostic must be one line of printable characters.
inline bool one_printable_line(const char* message) {
    for (const char* p = message; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f) return false;
    }
    return *message != '\0';
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

}  // namespace fuzz_ref
