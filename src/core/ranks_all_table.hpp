// The ranks-all table: for every window of the year (start day 1 to 365 by
// duration 1 to 365) a means line "(3i5,140f10.2)" and a years line
// "(3i5,140i10)", start day outer, duration inner.
//
// Building it the direct way (each window summed from its first day, an
// exchange sort, a formatted write per field) costs many seconds, so this
// builder takes shorter routes that give the same bytes:
// - the running sum and count of a start day and year are carried from
//   duration k to k + 1, which keeps exactly the additions of a direct sum
//   (from 0.0, one day at a time in ascending slot order);
// - the years are ordered by (mean, year) within each stretch between NaN
//   entries, which is the exchange sort's order, with an insertion sort that
//   starts from the previous duration's order, since that changes little;
//   each entry is one integer key (stretch, mean, year) that orders as the
//   triple does, so a comparison is a single instruction;
// - the two line layouts are written by dedicated formatters that match the
//   general record writer byte for byte;
// - start days are independent and every start day's block of the file has
//   the same length, so several threads rank and format start days at once
//   and write each block at its own offset.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/daily_series.hpp"
#include "core/io.hpp"
#include "core/window.hpp"

namespace core {

constexpr int table_days = 365;           // start days and durations
constexpr int table_positions = 140;      // positions of a cell
constexpr long table_pairs = 365L * 365L; // windows, a means line and a years line each
constexpr int table_line_length = 1415;   // both layouts, without the line feed
constexpr long table_lines = 2 * table_pairs;
constexpr std::size_t table_name_field = 1024;
// The 730 lines of one start day, line feeds included.
constexpr std::size_t start_day_bytes = 2 * table_days * (table_line_length + 1);

extern const char* const means_layout;  // "(3i5,140f10.2)"
extern const char* const years_layout;  // "(3i5,140i10)"

// Output directory + region code + "_ranks_all.txt", with the trailing
// blanks of the whole name dropped.
std::string ranks_all_name(std::string_view directory, std::string_view region);

// One f10.2 field: 10 characters at `out`, as the general writer gives them.
void format_f10_2(char* out, float value);
// The 1,415 characters of a means line or a years line at `out`; `mean` and
// `year` hold positions 1 to 140 at index 0 to 139.
void format_means_line(char* out, int j, int k, int nyears, const float* mean);
void format_years_line(char* out, int j, int k, int nyears, const std::int32_t* year);

// Ranks the windows of the table on an extended series, with its last date
// as the reference date of every window.
class ranks_all_builder {
public:
    explicit ranks_all_builder(const daily_series& series);

    // Ranks windows (j, 1) to (j, 365) and formats their 730 lines, line
    // feeds included, into the `start_day_bytes` bytes at `out`. Start days
    // are independent of each other.
    void format_start_day(int j, char* out);

private:
    void rank(int n);

    int last_year_, last_day_;
    int years_;  // years summed: 1895 to the last date's year
    // TMAX and TMIN of day slot d for every year summed, year by year from
    // index d * years_, so one day joins all the running sums in one sweep.
    std::vector<float> tmax_by_day_, tmin_by_day_;
    std::array<float, max_positions> sum_{}, mean_{};
    std::array<std::int32_t, max_positions> count_{};
    std::array<bool, max_positions> nan_{}, listed_{};
    // The keys of the non-NaN entries, in ranked order; the low bits of a
    // key hold its year index.
    std::array<std::uint64_t, max_positions> order_{};
    int ordered_ = 0;
    // The cell of the current window, positions 1 to 140.
    std::array<float, max_positions> cell_mean_{};
    std::array<std::int32_t, max_positions> cell_year_{};
};

// Ranks every window of `series` and writes the whole table into `file`,
// each start day's block at its own offset, with `threads` threads (at most
// eight, and fewer when the system refuses to start more) that take start
// days in turn. A
// failed write in any thread fails the run with its message; no write
// starts after it, and the other threads stop at their next start day.
void write_ranks_all_table(const daily_series& series, replacement_file& file, int threads);

}  // namespace core
