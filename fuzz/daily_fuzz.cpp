// Fuzz target: the daily-series loader and the line reader under it.
//
// Input: the first byte is a control byte (bit 0: last stored year 2016,
// as the table builder stores, instead of 2020; bits 1-6: the read buffer
// size, 1 to 64 bytes, of a descriptor reader; bit 7: the descriptor loader
// maps the file instead of reading it), the rest is the daily input.
// Checked:
// - a text source, a descriptor read through a tiny buffer, a descriptor
//   mapped a page at a time from an offset that puts a page boundary inside
//   the text, and a plain split of the whole text give the same lines;
// - read_daily_series gives a series or a failure with a one-line message,
//   the same from both sources;
// - a loaded series holds exactly what a simple reference loader stores
//   (records before 1895 skipped, a later record of a date overwriting an
//   earlier one, the last date that of the last stored record), and the
//   extension and one window of the last-day report stay within the tables.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "core/calendar.hpp"
#include "core/daily_series.hpp"
#include "core/failure.hpp"
#include "core/io.hpp"
#include "core/record.hpp"
#include "core/window.hpp"
#include "reference.hpp"

using namespace fuzz_ref;

namespace {

// A descriptor that reads back `text` from its offset: an anonymous
// in-memory file holding `skip` other bytes before the text.
int descriptor_of(std::string_view text, std::size_t skip = 0) {
    int fd = memfd_create("fuzz-daily", 0);
    check(fd >= 0, "memfd_create");
    std::string all = std::string(skip, 'p') + std::string(text);
    std::size_t done = 0;
    while (done < all.size()) {
        ssize_t n = ::write(fd, all.data() + done, all.size() - done);
        check(n > 0, "write to memfd");
        done += static_cast<std::size_t>(n);
    }
    check(::lseek(fd, static_cast<off_t>(skip), SEEK_SET) == static_cast<off_t>(skip), "lseek");
    return fd;
}

// Bytes before the text so that a page boundary falls inside it.
std::size_t skip_for(std::string_view text) { return 4096 - text.size() / 2 % 4096; }

std::vector<std::string> lines_of(core::line_reader& r, std::size_t keep) {
    std::vector<std::string> out;
    std::string_view line;
    while (r.next(line, keep)) {
        out.emplace_back(line);
        check(r.line_number() == static_cast<long long>(out.size()), "line number");
    }
    check(!r.next(line, keep), "a line after end of input");
    return out;
}

void check_lines(std::string_view text, std::size_t buffer, std::size_t keep) {
    std::vector<std::string> want = split_lines(text, keep);
    core::line_reader t = core::line_reader::from_text(text, "text");
    check(lines_of(t, keep) == want, "text source lines differ from a plain split");
    int fd = descriptor_of(text);
    {
        core::line_reader d(fd, "descriptor", buffer, 0);
        check(lines_of(d, keep) == want, "descriptor lines differ from a plain split");
    }
    ::close(fd);
    const std::size_t skip = skip_for(text);
    fd = descriptor_of(text, skip);
    {
        core::line_reader m(fd, "mapped", buffer, 1);
        check(lines_of(m, keep) == want, "mapped lines differ from a plain split");
    }
    // Left after the lines handed out, as reading them would leave it.
    check(::lseek(fd, 0, SEEK_CUR) == static_cast<off_t>(skip + text.size()), "offset after mapped lines");
    ::close(fd);
}

struct loaded {
    std::optional<core::daily_series> series;
    std::string message;
};

loaded load(core::line_reader& input, int last_year) {
    loaded l;
    try {
        l.series.emplace(core::read_daily_series(input, last_year));
    } catch (const core::failure& e) {
        check(one_printable_line(e.what()), "diagnostic not one printable line");
        l.message = e.what();
    }
    return l;
}

bool same_tables(const core::daily_series& a, const core::daily_series& b) {
    for (int y = core::first_year; y <= a.last_year(); ++y) {
        std::size_t bytes = (core::day_slots + 1) * sizeof(float);
        if (std::memcmp(a.tmax_row(y), b.tmax_row(y), bytes) != 0) return false;
        if (std::memcmp(a.tmin_row(y), b.tmin_row(y), bytes) != 0) return false;
    }
    return true;
}

// The reference loader: every record read with the daily layout, stored by
// year and day of year in a map.
void check_against_reference(std::string_view text, const core::daily_series& s, int last_year) {
    static const core::layout daily("(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)");
    core::line_reader input = core::line_reader::from_text(text, "reference");
    std::map<std::pair<int, int>, std::pair<float, float>> stored;
    core::record r;
    core::date last;
    bool any = false;
    while (core::read_record(input, daily, r)) {
        int year = r.integer(0), mon = r.integer(1), day = r.integer(2);
        if (year < 1895) continue;
        check(year <= last_year && mon >= 1 && mon <= 12, "loader stored a record outside the tables");
        bool leap = year % 4 == 0 && year != 1900;
        const int before[] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
        long long doy = static_cast<long long>(before[mon]) + (leap && mon > 2 ? 1 : 0) + day;
        check(doy >= 1 && doy <= 366, "loader stored a day outside the tables");
        stored[{year, static_cast<int>(doy)}] = {r.real(3), r.real(7)};
        last = core::date{year, mon, day};
        any = true;
    }
    check(any && s.has_last_date, "series without a stored record");
    check(s.last_date.year == last.year && s.last_date.month == last.month && s.last_date.day == last.day,
          "last date");
    check(s.last_day_of_year == core::day_of_year(last.year, last.month, last.day), "last day of year");
    check(s.last_day_of_year >= 1 && s.last_day_of_year <= 366, "last day of year out of range");
    core::daily_series want(last_year);
    for (const auto& [at, values] : stored) {
        want.tmax(at.first, at.second) = values.first;
        want.tmin(at.first, at.second) = values.second;
    }
    check(same_tables(s, want), "stored slots differ from the reference loader");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int last_year = (data[0] & 1) ? 2016 : 2020;
    const std::size_t buffer = 1 + ((data[0] >> 1) & 63);
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    check_lines(text, buffer, 70);
    check_lines(text, buffer, 5);

    core::line_reader from_text = core::line_reader::from_text(text, "standard input");
    loaded a = load(from_text, last_year);
    const bool mapped = (data[0] & 128) != 0;
    int fd = mapped ? descriptor_of(text, skip_for(text)) : descriptor_of(text);
    loaded b;
    {
        core::line_reader from_fd(fd, "standard input", buffer, mapped ? 1 : 0);
        b = load(from_fd, last_year);
    }
    ::close(fd);
    check(a.series.has_value() == b.series.has_value() && a.message == b.message,
          "text source and descriptor load differently");
    if (!a.series) return 0;
    check(same_tables(*a.series, *b.series), "text source and descriptor store differently");
    check_against_reference(text, *a.series, last_year);

    // One window of the last-day report, as that program places it.
    core::daily_series& s = *a.series;
    core::extend_next_year(s, s.last_date.year);
    int k = core::durations_18.lengths[size % core::durations_18.size];
    int j = core::window_start(s.last_day_of_year, k);
    int e = core::end_year(j, k, s.last_date.year, s.last_day_of_year);
    check(j >= 1 && j <= 366 && j + k - 1 <= core::day_slots, "window outside the slots");
    core::ranked_window w;
    core::window_means(s, j, k, e, w);
    core::rank_window(w);
    core::window_status st = core::window_status_of(w, e);
    check(st.ranked == (w.nyears > 0), "ranked status");
    if (st.ranked) check(st.cold_rank >= 1 && st.cold_rank <= w.nyears, "cold rank outside the list");
    return 0;
}
