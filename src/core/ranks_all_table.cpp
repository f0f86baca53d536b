#include "core/ranks_all_table.hpp"

#include <cmath>
#include <cstring>

#include "core/fields.hpp"

namespace core {

const char* const means_layout = "(3i5,140f10.2)";
const char* const years_layout = "(3i5,140i10)";

namespace {

constexpr int header_length = 15;
constexpr int field_width = 10;

// "00" to "99", two characters each.
struct two_digit_table {
    char text[200];
    constexpr two_digit_table() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr two_digit_table two_digits;

// The filler of every position of a line: "   -999.00" or "      -999".
struct filler_line {
    char means[max_positions * field_width];
    char years[max_positions * field_width];
    filler_line() {
        for (int p = 0; p < max_positions; ++p) {
            std::memcpy(means + p * field_width, "   -999.00", field_width);
            std::memcpy(years + p * field_width, "      -999", field_width);
        }
    }
};
const filler_line filler;

void format_header(char* out, int j, int k, int nyears) {
    write_integer_field(out, 5, j);
    write_integer_field(out + 5, 5, k);
    write_integer_field(out + 10, 5, nyears);
}

int positions_filled(int nyears) {
    if (nyears < 0) return 0;
    return nyears > max_positions ? max_positions : nyears;
}

}  // namespace

std::string ranks_all_name(std::string_view directory, std::string_view region) {
    std::string name;
    name.reserve(directory.size() + region.size() + 14);
    name.append(directory).append(region).append("_ranks_all.txt");
    if (name.size() > table_name_field) name.resize(table_name_field);
    std::string::size_type end = name.find_last_not_of(' ');
    name.resize(end == std::string::npos ? 0 : end + 1);
    return name;
}

void format_f10_2(char* out, float value) {
    float a = std::fabs(value);
    bool negative = std::signbit(value);
    // Below these bounds the field always fits (at most 7 integer digits, or
    // 6 and a minus sign); beyond them, and for NaN and infinities, the
    // general writer decides, asterisks included.
    if (!(negative ? a < 1.0e6f : a < 1.0e7f)) {
        write_real_field(out, field_width, 2, value);
        return;
    }
    // a × 100 is exact in double (24 + 7 bits) and so is adding 0.5, so the
    // truncation rounds the exact value to hundredths, a tie away from zero.
    std::uint64_t r = static_cast<std::uint64_t>(static_cast<double>(a) * 100.0 + 0.5);
    std::uint32_t ip = static_cast<std::uint32_t>(r / 100);
    std::uint32_t fp = static_cast<std::uint32_t>(r % 100);
    std::memcpy(out, "          ", field_width);
    char* q = out + field_width - 2;
    std::memcpy(q, two_digits.text + 2 * fp, 2);
    *--q = '.';
    do {
        *--q = static_cast<char>('0' + ip % 10);
        ip /= 10;
    } while (ip);
    if (negative) *--q = '-';
}

void format_means_line(char* out, int j, int k, int nyears, const float* mean) {
    format_header(out, j, k, nyears);
    char* f = out + header_length;
    int n = positions_filled(nyears);
    for (int p = 0; p < n; ++p) format_f10_2(f + p * field_width, mean[p]);
    std::memcpy(f + n * field_width, filler.means + n * field_width,
                static_cast<std::size_t>((max_positions - n) * field_width));
}

void format_years_line(char* out, int j, int k, int nyears, const std::int32_t* year) {
    format_header(out, j, k, nyears);
    char* f = out + header_length;
    int n = positions_filled(nyears);
    for (int p = 0; p < n; ++p) {
        std::int32_t y = year[p];
        char* d = f + p * field_width;
        if (y >= 1000 && y <= 9999) {
            std::memcpy(d, "      ", 6);
            std::memcpy(d + 6, two_digits.text + 2 * (y / 100), 2);
            std::memcpy(d + 8, two_digits.text + 2 * (y % 100), 2);
        } else {
            write_integer_field(d, field_width, y);
        }
    }
    std::memcpy(f + n * field_width, filler.years + n * field_width,
                static_cast<std::size_t>((max_positions - n) * field_width));
}

ranks_all_builder::ranks_all_builder(const daily_series& series)
    : series_(series),
      last_year_(series.last_date.year),
      last_day_(series.last_day_of_year),
      years_(series.last_date.year - (first_year - 1)) {
    if (years_ > max_positions) years_ = max_positions;
    if (years_ > series.last_year() - (first_year - 1)) years_ = series.last_year() - (first_year - 1);
    if (years_ < 0) years_ = 0;
}

void ranks_all_builder::rank(int n) {
    // Stretch number of each year: how many NaN entries come before it.
    int nans = 0;
    for (int y = 0; y < n; ++y) {
        nan_[static_cast<std::size_t>(y)] = std::isnan(mean_[static_cast<std::size_t>(y)]);
        stretch_[static_cast<std::size_t>(y)] = nans;
        if (nan_[static_cast<std::size_t>(y)]) ++nans;
    }
    // Keep the previous order of the years still in the list, then add the
    // years that have just got a mean, and sort by (stretch, mean, year).
    int kept = 0;
    listed_.fill(false);
    for (int i = 0; i < ordered_; ++i) {
        std::int32_t y = order_[static_cast<std::size_t>(i)];
        if (y < n && !nan_[static_cast<std::size_t>(y)]) {
            order_[static_cast<std::size_t>(kept++)] = y;
            listed_[static_cast<std::size_t>(y)] = true;
        }
    }
    for (int y = 0; y < n; ++y)
        if (!nan_[static_cast<std::size_t>(y)] && !listed_[static_cast<std::size_t>(y)])
            order_[static_cast<std::size_t>(kept++)] = y;
    ordered_ = kept;

    auto before = [this](std::int32_t a, std::int32_t b) {
        std::int32_t sa = stretch_[static_cast<std::size_t>(a)], sb = stretch_[static_cast<std::size_t>(b)];
        if (sa != sb) return sa < sb;
        float ma = mean_[static_cast<std::size_t>(a)], mb = mean_[static_cast<std::size_t>(b)];
        if (ma < mb) return true;
        if (mb < ma) return false;
        return a < b;  // equal means (0.0 and -0.0 included) keep chronological order
    };
    for (int i = 1; i < kept; ++i) {
        std::int32_t y = order_[static_cast<std::size_t>(i)];
        int p = i;
        while (p > 0 && before(y, order_[static_cast<std::size_t>(p - 1)])) {
            order_[static_cast<std::size_t>(p)] = order_[static_cast<std::size_t>(p - 1)];
            --p;
        }
        order_[static_cast<std::size_t>(p)] = y;
    }

    // A NaN entry stays at its own position, with -999.0 for its mean; the
    // other positions take the sorted years in turn, stretch by stretch.
    int next = 0;
    for (int p = 0; p < n; ++p) {
        if (nan_[static_cast<std::size_t>(p)]) {
            cell_mean_[static_cast<std::size_t>(p)] = missing;
            cell_year_[static_cast<std::size_t>(p)] = first_year + p;
        } else {
            std::int32_t y = order_[static_cast<std::size_t>(next++)];
            cell_mean_[static_cast<std::size_t>(p)] = mean_[static_cast<std::size_t>(y)];
            cell_year_[static_cast<std::size_t>(p)] = first_year + y;
        }
    }
}

void ranks_all_builder::write_start_day(int j, out_stream& out) {
    sum_.fill(0.0f);
    count_.fill(0);
    ordered_ = 0;
    const int years = years_;
    for (int k = 1; k <= table_days; ++k) {
        const int d = j + k - 1;
        // Day d joins every year's running sum, exactly as the direct sum of
        // window (j, k) would add it last.
        for (int y = 0; y < years; ++y) {
            float hi = series_.tmax_row(first_year + y)[d];
            if (hi > present_above) {
                float lo = series_.tmin_row(first_year + y)[d];
                float both = hi + lo;
                float half = 0.5f * both;
                sum_[static_cast<std::size_t>(y)] = sum_[static_cast<std::size_t>(y)] + half;
                ++count_[static_cast<std::size_t>(y)];
            }
        }
        const int e = end_year(j, k, last_year_, last_day_);
        const int nyears = e - (first_year - 1);
        const int n = positions_filled(nyears) < years ? positions_filled(nyears) : years;
        for (int y = 0; y < n; ++y)
            mean_[static_cast<std::size_t>(y)] =
                sum_[static_cast<std::size_t>(y)] / static_cast<float>(count_[static_cast<std::size_t>(y)]);
        rank(n);

        char* line = out.reserve(2 * (table_line_length + 1));
        format_means_line(line, j, k, nyears, cell_mean_.data());
        line[table_line_length] = '\n';
        format_years_line(line + table_line_length + 1, j, k, nyears, cell_year_.data());
        line[2 * table_line_length + 1] = '\n';
        out.advance(2 * (table_line_length + 1));
    }
}

void ranks_all_builder::write_table(out_stream& out) {
    for (int j = 1; j <= table_days; ++j) write_start_day(j, out);
}

}  // namespace core
