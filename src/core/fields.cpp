#include "core/fields.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace core {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

void fill_right(char* out, int width, const char* text, int len) {
    if (len > width) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return;
    }
    std::memset(out, ' ', static_cast<std::size_t>(width - len));
    std::memcpy(out + (width - len), text, static_cast<std::size_t>(len));
}

// Writes the special values; false for a finite value.
bool write_special(char* out, int width, float value) {
    if (std::isnan(value)) {
        fill_right(out, width, "NaN", 3);
        return true;
    }
    if (std::isinf(value)) {
        if (value < 0)
            fill_right(out, width, "-Inf", 4);
        else
            fill_right(out, width, "Inf", 3);
        return true;
    }
    return false;
}

// Places sign, integer digits, point and fraction digits; drops a lone
// leading 0 when only that keeps the value within the field.
void place_real(char* out, int width, bool negative, const char* int_digits, int int_len,
                const char* frac_digits, int decimals) {
    char buf[512];
    int n = 0;
    if (negative) buf[n++] = '-';
    int len = n + int_len + 1 + decimals;
    bool drop_zero = len > width && int_len == 1 && int_digits[0] == '0';
    if (!drop_zero) {
        std::memcpy(buf + n, int_digits, static_cast<std::size_t>(int_len));
        n += int_len;
    }
    if (n + 1 + decimals > static_cast<int>(sizeof buf)) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return;
    }
    buf[n++] = '.';
    std::memcpy(buf + n, frac_digits, static_cast<std::size_t>(decimals));
    n += decimals;
    fill_right(out, width, buf, n);
}

}  // namespace

field_error read_integer_field(std::string_view text, std::int32_t& value) {
    std::int64_t v = 0;
    bool negative = false, seen_sign = false, seen_digit = false;
    for (char c : text) {
        if (c == ' ') continue;
        if (!seen_digit && !seen_sign && (c == '+' || c == '-')) {
            seen_sign = true;
            negative = c == '-';
            continue;
        }
        if (!is_digit(c)) return field_error::malformed;
        seen_digit = true;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) v = 2147483649LL;  // saturates, still out of range
    }
    if (!seen_digit) {
        if (seen_sign) return field_error::malformed;  // a sign and nothing else
        value = 0;
        return field_error::none;
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return field_error::out_of_range;
    value = static_cast<std::int32_t>(v);
    return field_error::none;
}

field_error read_real_field(std::string_view text, int decimals, float& value) {
    // Mantissa digits, the position of the point and the exponent are taken
    // apart and put back together as "<sign><digits>e<exponent>", which
    // strtof converts with correct rounding.
    std::string digits;
    digits.reserve(32);
    bool negative = false, seen_point = false, seen_digit = false;
    long long after_point = 0;
    std::size_t i = 0, n = text.size();
    auto skip_blanks = [&] {
        while (i < n && text[i] == ' ') ++i;
    };
    skip_blanks();
    if (i == n) {
        value = 0.0f;
        return field_error::none;
    }
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    for (;; ++i) {
        skip_blanks();
        if (i == n) break;
        char c = text[i];
        if (is_digit(c)) {
            seen_digit = true;
            // Leading zeros carry no value; dropping them keeps the string short.
            if (!(digits.empty() && c == '0')) digits.push_back(c);
            if (seen_point) ++after_point;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    if (!seen_digit) return field_error::malformed;
    long long exponent = 0;
    if (i < n) {
        char c = text[i];
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D') {
            ++i;
            skip_blanks();
            if (i == n) return field_error::malformed;
            c = text[i];
        }
        bool exp_negative = false;
        if (c == '+' || c == '-') {
            exp_negative = c == '-';
            ++i;
        } else if (!is_digit(c)) {
            return field_error::malformed;
        }
        bool exp_digit = false;
        for (;; ++i) {
            skip_blanks();
            if (i == n) break;
            if (!is_digit(text[i])) return field_error::malformed;
            exp_digit = true;
            if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (!exp_digit) return field_error::malformed;
        if (exp_negative) exponent = -exponent;
    }
    long long scale = exponent - (seen_point ? after_point : decimals);
    if (digits.empty()) {
        value = negative ? -0.0f : 0.0f;
        return field_error::none;
    }
    // The digit string is at most as long as the field, so an exponent this
    // far out is 0 or beyond the range whatever the digits are.
    if (scale > 100000000) return field_error::out_of_range;
    if (scale < -100000000) {
        value = negative ? -0.0f : 0.0f;
        return field_error::none;
    }
    std::string number;
    number.reserve(digits.size() + 16);
    if (negative) number.push_back('-');
    number += digits;
    number.push_back('e');
    number += std::to_string(scale);
    errno = 0;
    char* end = nullptr;
    float v = std::strtof(number.c_str(), &end);
    if (std::isinf(v)) return field_error::out_of_range;
    value = v;
    return field_error::none;
}

void write_integer_field(char* out, int width, std::int64_t value) {
    char buf[24];
    int n = 0;
    std::uint64_t mag = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[24];
    int d = 0;
    do {
        digits[d++] = static_cast<char>('0' + mag % 10);
        mag /= 10;
    } while (mag);
    if (value < 0) buf[n++] = '-';
    while (d) buf[n++] = digits[--d];
    fill_right(out, width, buf, n);
}

void write_real_field_exact(char* out, int width, int decimals, float value) {
    if (write_special(out, width, value)) return;
    // glibc prints the exact binary value; 160 fraction digits hold every
    // digit of any single-precision value.
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.160f", std::fabs(static_cast<double>(value)));
    char* point = std::strchr(buf, '.');
    std::string int_part(buf, point);
    std::string frac(point + 1);
    if (decimals > 160) frac.append(static_cast<std::size_t>(decimals - 160), '0');
    bool up = decimals < static_cast<int>(frac.size()) && frac[static_cast<std::size_t>(decimals)] >= '5';
    frac.resize(static_cast<std::size_t>(decimals));
    std::string all = int_part + frac;
    if (up) {
        int k = static_cast<int>(all.size()) - 1;
        while (k >= 0 && all[static_cast<std::size_t>(k)] == '9') all[static_cast<std::size_t>(k--)] = '0';
        if (k >= 0)
            ++all[static_cast<std::size_t>(k)];
        else
            all.insert(all.begin(), '1');
    }
    std::string ip = all.substr(0, all.size() - static_cast<std::size_t>(decimals));
    std::string fp = all.substr(all.size() - static_cast<std::size_t>(decimals));
    std::size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? "0" : ip.substr(nz);
    if (ip.size() > 400) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return;
    }
    place_real(out, width, std::signbit(value), ip.data(), static_cast<int>(ip.size()), fp.data(),
               decimals);
}

void write_real_field(char* out, int width, int decimals, float value) {
    // The short route: v × 10^d is exact in double for d ≤ 4 (24 + 14 bits),
    // and std::round breaks a tie away from zero, as the exact route does.
    if (decimals > 4 || width + decimals > 18) {
        write_real_field_exact(out, width, decimals, value);
        return;
    }
    if (write_special(out, width, value)) return;
    static const double scale[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
    static const std::uint64_t pow10[] = {1, 10, 100, 1000, 10000};
    double x = std::fabs(static_cast<double>(value));
    if (x >= 1e15) {  // the scaled value would not fit the 64-bit integer below
        write_real_field_exact(out, width, decimals, value);
        return;
    }
    std::uint64_t r = static_cast<std::uint64_t>(std::round(x * scale[decimals]));
    std::uint64_t ip = r / pow10[decimals], fp = r % pow10[decimals];
    char idig[24], fdig[8];
    int il = 0;
    char tmp[24];
    int t = 0;
    do {
        tmp[t++] = static_cast<char>('0' + ip % 10);
        ip /= 10;
    } while (ip);
    while (t) idig[il++] = tmp[--t];
    for (int k = decimals - 1; k >= 0; --k) {
        fdig[k] = static_cast<char>('0' + fp % 10);
        fp /= 10;
    }
    place_real(out, width, std::signbit(value), idig, il, fdig, decimals);
}

}  // namespace core
