// Fuzz target: the ranks-all table reader of the extremes report.
//
// Input: byte 0 picks the duration kept (1 to 365), byte 1 whether the
// table is completed; the rest is the first lines of the table. Checked:
// - each line's fast field check agrees with the general record reader by
//   the line's layout (means lines at odd line numbers, years lines at
//   even), in the failure message and in every value, bit for bit;
// - the whole reader either fails with a `failure` or returns cells whose
//   counts all lie within 1 to 140, from which both extremes lists sort.
// When byte 1 is 1 modulo 8, the table is filled out after the fuzzed lines with
// short pairs (their positions read as zeros) up to 266,450 lines, so the
// checks after loading run too.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/extremes.hpp"
#include "core/failure.hpp"
#include "core/io.hpp"
#include "core/record.hpp"
#include "core/table_reader.hpp"

namespace {

void check_line(const core::layout& format, core::table_line_reader& fast, const std::string& line, bool real) {
    core::line_reader a = core::line_reader::from_text(line, "t");
    core::line_reader b = core::line_reader::from_text(line, "t");
    std::string_view view;
    if (!a.next(view, 1415)) return;
    core::record r;
    std::string general, quick;
    try {
        core::read_record(b, format, r);
    } catch (const core::failure& e) {
        general = e.what();
    }
    std::array<std::int32_t, 3> head{};
    std::vector<float> reals(140);
    std::vector<std::int32_t> ints(140);
    try {
        head = fast.check(a, view);
        if (real)
            fast.reals(a, view, reals.data());
        else
            fast.integers(a, view, ints.data());
    } catch (const core::failure& e) {
        quick = e.what();
    }
    if (general != quick) std::abort();
    if (!general.empty()) return;
    for (std::size_t f = 0; f < 3; ++f)
        if (head[f] != r.integer(f)) std::abort();
    for (std::size_t p = 0; p < 140; ++p) {
        if (real) {
            float want = r.real(3 + p), got = reals[p];
            if (std::memcmp(&want, &got, sizeof want) != 0) std::abort();
        } else if (ints[p] != r.integer(3 + p)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const core::layout means("(3i5,140f10.2)"), years("(3i5,140i10)");
    static core::table_line_reader fast_means(means), fast_years(years);
    if (size < 2) return 0;
    const int duration = 1 + data[0] % 365;
    const bool complete = (data[1] & 7) == 1;
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    // Line by line, the fast check against the general reader.
    std::size_t start = 0, lines = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool is_means = lines % 2 == 0;
        check_line(is_means ? means : years, is_means ? fast_means : fast_years, line, is_means);
        ++lines;
        if (lf == std::string::npos) break;
        start = lf + 1;
    }

    if (complete) {
        if (!text.empty() && text.back() != '\n') {
            text.push_back('\n');
        }
        char buf[32];
        for (std::size_t n = lines; n < static_cast<std::size_t>(core::table_lines); ++n) {
            long pair = static_cast<long>(n / 2);
            std::snprintf(buf, sizeof buf, "%5ld%5ld%5d\n", pair / 365 + 1, pair % 365 + 1, 1 + static_cast<int>(n % 3));
            text += buf;
        }
    }

    static int null_fd = ::open("/dev/null", O_WRONLY);
    core::out_stream trace(null_fd, "trace");
    core::line_reader source = core::line_reader::from_text(text, "standard input");
    try {
        core::duration_cells cells = core::read_ranks_all_table(source, duration, (data[1] & 2) ? &trace : nullptr);
        for (int j = 1; j <= core::table_days; ++j)
            if (cells.nyears[static_cast<std::size_t>(j)] < 1 || cells.nyears[static_cast<std::size_t>(j)] > 140)
                std::abort();
        core::extremes_list warm = core::warm_extremes(cells), cold = core::cold_extremes(cells);
        core::sort_extremes(warm);
        core::sort_extremes(cold);
    } catch (const core::failure&) {
    }
    trace.flush();
    return 0;
}
