#include "core/ranks_all_table.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

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

// The first eight columns of an f10.2 field whose integer part is below
// 1,000: blanks, the minus sign of a negative value, the integer digits
// and the point ("    12.", "   -12.", "     0."), by sign and integer part.
struct small_field_heads {
    char text[2][1000][8];
    constexpr small_field_heads() : text() {
        for (int negative = 0; negative < 2; ++negative)
            for (int ip = 0; ip < 1000; ++ip) {
                char* t = text[negative][ip];
                for (int c = 0; c < 7; ++c) t[c] = ' ';
                t[7] = '.';
                int c = 6, v = ip;
                do {
                    t[c--] = static_cast<char>('0' + v % 10);
                    v /= 10;
                } while (v);
                if (negative) t[c] = '-';
            }
    }
};
constexpr small_field_heads small_heads;

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
    if (ip < 1000) {
        // Any mean of temperatures: two copies from tables, no digit loop.
        std::memcpy(out, small_heads.text[negative ? 1 : 0][ip], 8);
        std::memcpy(out + 8, two_digits.text + 2 * fp, 2);
        return;
    }
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
    : last_year_(series.last_date.year),
      last_day_(series.last_day_of_year),
      years_(series.last_date.year - (first_year - 1)) {
    if (years_ > max_positions) years_ = max_positions;
    if (years_ > series.last_year() - (first_year - 1)) years_ = series.last_year() - (first_year - 1);
    if (years_ < 0) years_ = 0;
    const std::size_t slots = 2 * table_days;  // a window reaches slot 729 at most
    tmax_by_day_.assign(slots * static_cast<std::size_t>(years_), missing);
    tmin_by_day_.assign(slots * static_cast<std::size_t>(years_), missing);
    for (int y = 0; y < years_; ++y) {
        const float* hi = series.tmax_row(first_year + y);
        const float* lo = series.tmin_row(first_year + y);
        for (std::size_t d = 1; d < slots; ++d) {
            tmax_by_day_[d * static_cast<std::size_t>(years_) + static_cast<std::size_t>(y)] = hi[d];
            tmin_by_day_[d * static_cast<std::size_t>(years_) + static_cast<std::size_t>(y)] = lo[d];
        }
    }
}

namespace {

constexpr int year_bits = 8;  // a year index, 0 to 139
static_assert(max_positions <= 1 << year_bits, "year index must fit its bits");

// A key that orders as (stretch, mean, year) does: the stretch in the high
// bits, then the mean's bits mapped so that unsigned order is numeric order,
// then the year index. `mean` is not a NaN; adding 0.0 turns -0.0 into 0.0,
// since the two are equal means and must keep chronological order.
std::uint64_t rank_key(int stretch, float mean, int year) {
    float m = mean + 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &m, sizeof b);
    b = (b & 0x80000000u) ? ~b : (b | 0x80000000u);
    return (static_cast<std::uint64_t>(stretch) << (32 + year_bits)) |
           (static_cast<std::uint64_t>(b) << year_bits) | static_cast<std::uint64_t>(year);
}

int key_year(std::uint64_t key) { return static_cast<int>(key & ((1u << year_bits) - 1)); }

}  // namespace

void ranks_all_builder::rank(int n) {
    // Stretch number of each year: how many NaN entries come before it.
    int nans = 0;
    std::array<std::int32_t, max_positions> stretch;
    for (int y = 0; y < n; ++y) {
        bool nan = std::isnan(mean_[static_cast<std::size_t>(y)]);
        nan_[static_cast<std::size_t>(y)] = nan;
        stretch[static_cast<std::size_t>(y)] = nans;
        nans += nan;
    }
    // Keep the previous order of the years still in the list, with their
    // new keys, then add the years that have just got a mean, and sort.
    int kept = 0;
    listed_.fill(false);
    for (int i = 0; i < ordered_; ++i) {
        int y = key_year(order_[static_cast<std::size_t>(i)]);
        if (y < n && !nan_[static_cast<std::size_t>(y)]) {
            order_[static_cast<std::size_t>(kept++)] =
                rank_key(stretch[static_cast<std::size_t>(y)], mean_[static_cast<std::size_t>(y)], y);
            listed_[static_cast<std::size_t>(y)] = true;
        }
    }
    if (kept + nans < n)
        for (int y = 0; y < n; ++y)
            if (!nan_[static_cast<std::size_t>(y)] && !listed_[static_cast<std::size_t>(y)])
                order_[static_cast<std::size_t>(kept++)] =
                    rank_key(stretch[static_cast<std::size_t>(y)], mean_[static_cast<std::size_t>(y)], y);
    ordered_ = kept;
    for (int i = 1; i < kept; ++i) {
        std::uint64_t key = order_[static_cast<std::size_t>(i)];
        int p = i;
        while (p > 0 && order_[static_cast<std::size_t>(p - 1)] > key) {
            order_[static_cast<std::size_t>(p)] = order_[static_cast<std::size_t>(p - 1)];
            --p;
        }
        order_[static_cast<std::size_t>(p)] = key;
    }

    // A NaN entry stays at its own position, with -999.0 for its mean; the
    // other positions take the sorted years in turn, stretch by stretch.
    int next = 0;
    for (int p = 0; p < n; ++p) {
        if (nan_[static_cast<std::size_t>(p)]) {
            cell_mean_[static_cast<std::size_t>(p)] = missing;
            cell_year_[static_cast<std::size_t>(p)] = first_year + p;
        } else {
            int y = key_year(order_[static_cast<std::size_t>(next++)]);
            cell_mean_[static_cast<std::size_t>(p)] = mean_[static_cast<std::size_t>(y)];
            cell_year_[static_cast<std::size_t>(p)] = first_year + y;
        }
    }
}

void ranks_all_builder::format_start_day(int j, char* out) {
    sum_.fill(0.0f);
    count_.fill(0);
    ordered_ = 0;
    const int years = years_;
    for (int k = 1; k <= table_days; ++k) {
        const std::size_t d = static_cast<std::size_t>(j + k - 1);
        // Day d joins every year's running sum, exactly as the direct sum of
        // window (j, k) would add it last. Written without a branch, so the
        // compiler may take several years in one vector instruction; each
        // year's sum still gets the same single-precision operations.
        const float* hi = tmax_by_day_.data() + d * static_cast<std::size_t>(years);
        const float* lo = tmin_by_day_.data() + d * static_cast<std::size_t>(years);
        float* sum = sum_.data();
        std::int32_t* count = count_.data();
        for (int y = 0; y < years; ++y) {
            float both = hi[y] + lo[y];
            float half = 0.5f * both;
            bool counted = hi[y] > present_above;
            sum[y] = counted ? sum[y] + half : sum[y];
            count[y] += counted ? 1 : 0;
        }
        const int e = end_year(j, k, last_year_, last_day_);
        const int nyears = e - (first_year - 1);
        const int n = positions_filled(nyears) < years ? positions_filled(nyears) : years;
        for (int y = 0; y < n; ++y)
            mean_[static_cast<std::size_t>(y)] =
                sum_[static_cast<std::size_t>(y)] / static_cast<float>(count_[static_cast<std::size_t>(y)]);
        rank(n);

        char* line = out + static_cast<std::size_t>(k - 1) * 2 * (table_line_length + 1);
        format_means_line(line, j, k, nyears, cell_mean_.data());
        line[table_line_length] = '\n';
        format_years_line(line + table_line_length + 1, j, k, nyears, cell_year_.data());
        line[2 * table_line_length + 1] = '\n';
    }
}

void write_ranks_all_table(const daily_series& series, replacement_file& file, int threads) {
    // Each thread holds about 1.7 MB (its block and its copy of the series
    // by day), and beyond a few threads the writes, which the kernel copies
    // into the file one at a time, set the pace: eight keep the run within
    // 20 MB on a machine of any size.
    constexpr int max_threads = 8;
    if (threads > max_threads) threads = max_threads;
    std::atomic<int> next_day{1};
    std::atomic<bool> stop{false};
    std::mutex error_lock;
    std::exception_ptr error;
    auto work = [&] {
        try {
            ranks_all_builder builder(series);
            std::vector<char> block(start_day_bytes);
            while (!stop.load(std::memory_order_relaxed)) {
                int j = next_day.fetch_add(1);
                if (j > table_days) break;
                builder.format_start_day(j, block.data());
                file.write_at(std::string_view(block.data(), block.size()),
                              static_cast<std::uint64_t>(j - 1) * start_day_bytes);
            }
        } catch (...) {
            std::lock_guard<std::mutex> hold(error_lock);
            if (!error) error = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (...) {
            break;  // the system refuses another thread: those started do the work
        }
    }
    work();
    for (std::thread& h : helpers) h.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace core
