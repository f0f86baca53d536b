#include "core/table_reader.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// AVX2 through per-function target attributes, chosen at run time (GCC and
// Clang on x86-64).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define WINDOW_RANKS_AVX2 1
#include <immintrin.h>
#endif

#include "core/failure.hpp"
#include "core/record.hpp"

namespace core {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten exact in double.
const double pow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// Where the number of a right-justified field starts: after its blanks and
// an optional minus sign. Returns false when the field is all blanks or a
// sign stands alone.
bool number_start(std::string_view text, std::size_t& i, bool& negative) {
    std::size_t n = text.size();
    i = 0;
    while (i < n && text[i] == ' ') ++i;
    negative = false;
    if (i < n && text[i] == '-') {
        negative = true;
        ++i;
    }
    return i < n;
}

// Classes of one byte as bits: blank, minus, digit, point.
struct byte_classes {
    std::uint64_t blank = 0, minus = 0, digit = 0, point = 0;
};

// The classes of 64 bytes, one bit per byte, the first byte in bit 0.
byte_classes classify64_portable(const char* p) {
    byte_classes c;
    for (int b = 0; b < 64; ++b) {
        std::uint64_t bit = std::uint64_t{1} << b;
        char x = p[b];
        if (x == ' ') c.blank |= bit;
        else if (x == '-') c.minus |= bit;
        else if (x == '.') c.point |= bit;
        else if (is_digit(x)) c.digit |= bit;
    }
    return c;
}

#if defined(__SSE2__)
byte_classes classify64_sse2(const char* p) {
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i minus = _mm_set1_epi8('-');
    const __m128i point = _mm_set1_epi8('.');
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    byte_classes c;
    for (int q = 0; q < 4; ++q) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * q));
        __m128i t = _mm_sub_epi8(x, zero);
        // x is a digit when x - '0', taken unsigned, is at most 9.
        __m128i d = _mm_cmpeq_epi8(_mm_min_epu8(t, nine), t);
        unsigned shift = 16u * static_cast<unsigned>(q);
        c.blank |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, blank)))) << shift;
        c.minus |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, minus)))) << shift;
        c.point |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, point)))) << shift;
        c.digit |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(d))) << shift;
    }
    return c;
}
#endif

#if defined(WINDOW_RANKS_AVX2)
// The same in two 32-byte steps, for processors that have AVX2; chosen at
// run time, so the build itself assumes no more than SSE2.
__attribute__((target("avx2"))) inline byte_classes classify64_avx2(const char* p) {
    const __m256i blank = _mm256_set1_epi8(' ');
    const __m256i minus = _mm256_set1_epi8('-');
    const __m256i point = _mm256_set1_epi8('.');
    const __m256i zero = _mm256_set1_epi8('0');
    const __m256i nine = _mm256_set1_epi8(9);
    byte_classes c;
    for (int q = 0; q < 2; ++q) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * q));
        __m256i t = _mm256_sub_epi8(x, zero);
        __m256i d = _mm256_cmpeq_epi8(_mm256_min_epu8(t, nine), t);
        unsigned shift = 32u * static_cast<unsigned>(q);
        c.blank |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, blank)))) << shift;
        c.minus |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, minus)))) << shift;
        c.point |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, point)))) << shift;
        c.digit |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(d))) << shift;
    }
    return c;
}
#endif

void set_bit(std::vector<field_shape_word>& rows, std::uint64_t field_shape_word::*row, std::size_t column0) {
    rows[column0 / 64].*row |= std::uint64_t{1} << (column0 % 64);
}

}  // namespace

bool fast_integer_field(std::string_view text, std::int32_t& value) {
    std::size_t i;
    bool negative;
    if (!number_start(text, i, negative)) return false;
    std::size_t n = text.size();
    if (n - i > 9) return false;
    std::int32_t v = 0;
    for (; i < n; ++i) {
        if (!is_digit(text[i])) return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

bool fast_real_field(std::string_view text, int decimals, float& value) {
    if (decimals < 0 || decimals > 8) return false;
    std::size_t i;
    bool negative;
    if (!number_start(text, i, negative)) return false;
    std::size_t n = text.size();
    std::size_t d = static_cast<std::size_t>(decimals);
    // At least one digit before the point, the point, the decimals.
    if (n - i < d + 2 || n - i - 1 > 15) return false;
    std::size_t point = n - d - 1;
    if (text[point] != '.') return false;
    std::int64_t v = 0;
    for (; i < n; ++i) {
        if (i == point) continue;
        if (!is_digit(text[i])) return false;
        v = v * 10 + (text[i] - '0');
    }
    // v below 10^15 is exact in double, and so is 10^d; the quotient rounded
    // to double and then to single is the correctly rounded single value,
    // since with d at most 8 no decimal of this kind lies close enough to a
    // midpoint between two single values for the double step to matter.
    double x = static_cast<double>(v) / pow10[d];
    float f = static_cast<float>(x);
    value = negative ? -f : f;
    return true;
}

table_line_reader::table_line_reader(const layout& format)
    : format_(format), width_(static_cast<std::size_t>(format.read_width())) {
    rows_.assign((width_ + 63) / 64, field_shape_word{});
    const auto& fields = format.fields();
    if (fields.size() < 3) throw failure("internal: table layout " + format.text());
    for (std::size_t n = 0; n < fields.size(); ++n) {
        const field& f = fields[n];
        if (f.kind != field_kind::integer && f.kind != field_kind::real)
            throw failure("internal: table layout " + format.text());
        if (n < 3 && f.kind != field_kind::integer) throw failure("internal: table layout " + format.text());
        std::size_t first = static_cast<std::size_t>(f.column - 1);
        std::size_t last = first + static_cast<std::size_t>(f.width) - 1;
        for (std::size_t c = first; c <= last; ++c) set_bit(rows_, &field_shape_word::all, c);
        set_bit(rows_, &field_shape_word::start, first);
        if (f.kind == field_kind::integer) {
            // blanks, a sign, at most nine digits, the last column a digit
            for (std::size_t c = first; c <= last; ++c) set_bit(rows_, &field_shape_word::head, c);
            set_bit(rows_, &field_shape_word::digit, last);
            for (std::size_t c = first; c + 9 <= last; ++c) set_bit(rows_, &field_shape_word::no_digit, c);
        } else {
            std::size_t d = static_cast<std::size_t>(f.decimals);
            if (f.decimals > 8 || static_cast<std::size_t>(f.width) < d + 2) {
                usable_ = false;
                continue;
            }
            std::size_t pt = last - d;
            for (std::size_t c = first; c < pt; ++c) set_bit(rows_, &field_shape_word::head, c);
            set_bit(rows_, &field_shape_word::point, pt);
            for (std::size_t c = pt - 1; c <= last; ++c)
                if (c != pt) set_bit(rows_, &field_shape_word::digit, c);
            // at most fifteen digits in all
            for (std::size_t c = first; c + 15 < last; ++c) set_bit(rows_, &field_shape_word::no_digit, c);
        }
    }
}

namespace {

// The shape rules for one word of 64 columns, given its byte classes; see
// table_line_reader's bit rows. Returns the columns that break them.
inline __attribute__((always_inline)) std::uint64_t bad_columns(const field_shape_word& r, const byte_classes& c,
                                                                std::uint64_t& carry) {
    std::uint64_t all = r.all;
    std::uint64_t after_blank = (c.blank << 1) | carry;
    carry = c.blank >> 63;
    std::uint64_t bad = 0;
    // every column a blank, a minus sign, a digit or a point
    bad |= all & ~(c.blank | c.minus | c.digit | c.point);
    // points exactly where real fields have them
    bad |= (c.point & all) ^ r.point;
    // the digits a field must have, none where it must not
    bad |= r.digit & ~c.digit;
    bad |= r.no_digit & c.digit;
    // blanks and a sign only in the integer part, each at the start of the
    // field or after a blank: so blanks come first, then a sign, then
    // digits to the point or the field's end
    std::uint64_t bm = (c.blank | c.minus) & all;
    bad |= bm & ~r.head;
    bad |= bm & ~r.start & ~after_blank;
    return bad;
}

// Every word of the line but the last is classified where it lies; the last,
// shorter one from `tail`, a copy padded with blanks.
#define SHAPE_CHECK_WORDS(classify)                                              \
    std::uint64_t bad = 0, carry = 0;                                            \
    for (std::size_t w = 0; w + 1 < words; ++w)                                  \
        bad |= bad_columns(rows[w], classify(line + 64 * w), carry);             \
    bad |= bad_columns(rows[words - 1], classify(tail), carry);                  \
    return bad == 0

bool shape_ok_portable(const field_shape_word* rows, std::size_t words, const char* line, const char* tail) {
    SHAPE_CHECK_WORDS(classify64_portable);
}
#if defined(__SSE2__)
bool shape_ok_sse2(const field_shape_word* rows, std::size_t words, const char* line, const char* tail) {
    SHAPE_CHECK_WORDS(classify64_sse2);
}
#endif
#if defined(WINDOW_RANKS_AVX2)
__attribute__((target("avx2"))) bool shape_ok_avx2(const field_shape_word* rows, std::size_t words, const char* line,
                                                  const char* tail) {
    SHAPE_CHECK_WORDS(classify64_avx2);
}
#endif
#undef SHAPE_CHECK_WORDS

byte_scan widest() {
#if defined(WINDOW_RANKS_AVX2)
    if (__builtin_cpu_supports("avx2")) return byte_scan::avx2;
#endif
#if defined(__SSE2__)
    return byte_scan::sse2;
#else
    return byte_scan::portable;
#endif
}

byte_scan& scan_in_use() {
    static byte_scan scan = widest();
    return scan;
}

}  // namespace

byte_scan widest_byte_scan() { return widest(); }

void use_byte_scan(byte_scan scan) {
    if (static_cast<int>(scan) <= static_cast<int>(widest())) scan_in_use() = scan;
}

bool table_line_reader::line_has_usual_shape(std::string_view line) const {
    const std::size_t words = rows_.size();
    if (!usable_ || line.size() != width_ || words == 0) return false;
    // The last word, padded with blanks so the classification never reads
    // past the line.
    alignas(64) char tail[64];
    std::size_t last = (words - 1) * 64;
    std::memset(tail, ' ', sizeof tail);
    std::memcpy(tail, line.data() + last, width_ - last);
    switch (scan_in_use()) {
#if defined(WINDOW_RANKS_AVX2)
    case byte_scan::avx2:
        return shape_ok_avx2(rows_.data(), words, line.data(), tail);
#endif
#if defined(__SSE2__)
    case byte_scan::sse2:
        return shape_ok_sse2(rows_.data(), words, line.data(), tail);
#endif
    default:
        return shape_ok_portable(rows_.data(), words, line.data(), tail);
    }
}

namespace {

// One field by the usual shape when it has it, else by the general rules
// (a field beyond the end of a short line reads as blanks, zero).
std::int32_t integer_of(const line_reader& source, std::string_view line, const field& f) {
    std::string_view text = field_text(line, f);
    std::int32_t v = 0;
    if (text.empty() || fast_integer_field(text, v)) return v;
    return read_integer_at(source, line, f);
}

float real_of(const line_reader& source, std::string_view line, const field& f) {
    std::string_view text = field_text(line, f);
    float v = 0.0f;
    if (text.empty() || fast_real_field(text, f.decimals, v)) return v;
    return read_real_at(source, line, f);
}

}  // namespace

std::array<std::int32_t, 3> table_line_reader::check(const line_reader& source, std::string_view line) {
    const auto& fields = format_.fields();
    std::array<std::int32_t, 3> head{};
    bool usual = line_has_usual_shape(line);
    for (std::size_t n = 0; n < 3; ++n) head[n] = integer_of(source, line, fields[n]);
    if (usual) return head;
    for (std::size_t n = 3; n < fields.size(); ++n) {
        if (fields[n].kind == field_kind::integer)
            integer_of(source, line, fields[n]);
        else
            real_of(source, line, fields[n]);
    }
    return head;
}

void table_line_reader::reals(const line_reader& source, std::string_view line, float* out) const {
    const auto& fields = format_.fields();
    for (std::size_t n = 3; n < fields.size(); ++n) out[n - 3] = real_of(source, line, fields[n]);
}

float table_line_reader::real(const line_reader& source, std::string_view line, std::size_t n) const {
    return real_of(source, line, format_.fields()[n]);
}

void table_line_reader::integers(const line_reader& source, std::string_view line, std::int32_t* out) const {
    const auto& fields = format_.fields();
    for (std::size_t n = 3; n < fields.size(); ++n) out[n - 3] = integer_of(source, line, fields[n]);
}

namespace {

struct table_loader {
    line_reader& source;
    out_stream* trace;
    table_cell_visitor& visitor;
    table_line_reader means{means_layout()};
    table_line_reader years{years_layout()};
    const layout& pair_line = pair_layout();
    // The positions of the line being handed on.
    float mean[table_positions] = {};
    std::int32_t year[table_positions] = {};

    static const layout& means_layout() {
        static const layout l("(3i5,140f10.2)");
        return l;
    }
    static const layout& years_layout() {
        static const layout l("(3i5,140i10)");
        return l;
    }
    static const layout& pair_layout() {
        static const layout l("(a,i5,i5,i5)");
        return l;
    }

    std::string where() const {
        return source.name() + ", line " + std::to_string(source.line_number());
    }

    // Reads one line of the table and returns its start day, duration and
    // count; hands its positions on when the visitor wants them.
    std::array<std::int32_t, 3> read_line(table_line_reader& reader, bool is_means) {
        std::string_view line;
        if (!source.next(line, static_cast<std::size_t>(reader.format().read_width()))) {
            if (trace) trace->flush();
            long long n = source.line_number();
            throw failure(source.name() + ": the table ends early, after " + std::to_string(n) +
                          (n == 1 ? " line" : " lines") + " (a complete table has " +
                          std::to_string(table_lines) + ")");
        }
        std::array<std::int32_t, 3> head = reader.check(source, line);
        std::int32_t j = head[0], k = head[1];
        if (j < 1 || j > table_days)
            throw failure(where() + ": start day " + std::to_string(j) + " outside 1 to 365");
        if (k < 1 || k > table_days)
            throw failure(where() + ": duration " + std::to_string(k) + " outside 1 to 365");
        table_line_cell cell{j, k, head[2], is_means, source.line_number()};
        if (visitor.wants(cell)) {
            if (is_means) {
                reader.reals(source, line, mean);
                visitor.take_means(cell, mean);
            } else {
                reader.integers(source, line, year);
                visitor.take_years(cell, year);
            }
        }
        return head;
    }

    void run() {
        for (long pair = 0; pair < table_pairs; ++pair) {
            if (trace) write_plain_line(*trace, "READING IN ONES");
            std::array<std::int32_t, 3> h = read_line(means, true);
            if (trace) write_record(*trace, pair_line, {"ONE", h[0], h[1], h[2]});
            if (trace) write_plain_line(*trace, "READING IN TWOS");
            h = read_line(years, false);
            if (trace) write_record(*trace, pair_line, {"TWO", h[0], h[1], h[2]});
        }
        if (trace) write_plain_line(*trace, "test");
    }
};

// Keeps the cells of one duration, each line placed by its own fields; both
// lines set the count, so the later one stays.
struct duration_keeper : table_cell_visitor {
    duration_cells& cells;
    explicit duration_keeper(duration_cells& c) : cells(c) {}

    bool wants(const table_line_cell& cell) override { return cell.duration == cells.duration; }
    void take_means(const table_line_cell& cell, const float* mean) override {
        std::size_t j = static_cast<std::size_t>(cell.start_day);
        std::copy(mean, mean + table_positions, cells.rtmean.begin() + static_cast<std::ptrdiff_t>((j - 1) * table_positions));
        cells.nyears[j] = cell.nyears;
        cells.has_means[j] = true;
    }
    void take_years(const table_line_cell& cell, const std::int32_t* year) override {
        std::size_t j = static_cast<std::size_t>(cell.start_day);
        std::copy(year, year + table_positions, cells.yrank.begin() + static_cast<std::ptrdiff_t>((j - 1) * table_positions));
        cells.nyears[j] = cell.nyears;
        cells.has_years[j] = true;
    }
};

void check_cells(const duration_cells& cells, const std::string& name) {
    for (int j = 1; j <= table_days; ++j) {
        std::size_t i = static_cast<std::size_t>(j);
        std::string cell = "cell of start day " + std::to_string(j) + ", duration " + std::to_string(cells.duration);
        if (!cells.has_means[i]) throw failure(name + ": the table has no means line for the " + cell);
        if (!cells.has_years[i]) throw failure(name + ": the table has no years line for the " + cell);
        std::int32_t n = cells.nyears[i];
        if (n < 1 || n > table_positions)
            throw failure(name + ": the " + cell + " has a count of " + std::to_string(n) +
                          " ranked years, outside 1 to 140");
    }
}

}  // namespace

void read_table_cells(line_reader& source, table_cell_visitor& visitor, out_stream* trace) {
    table_loader loader{source, trace, visitor};
    try {
        loader.run();
    } catch (const failure&) {
        // The trace up to the failing line is part of what the run shows.
        if (trace) trace->flush();
        throw;
    }
}

duration_cells read_ranks_all_table(line_reader& source, std::int32_t duration, out_stream* trace) {
    duration_cells cells;
    cells.duration = duration;
    duration_keeper keeper(cells);
    read_table_cells(source, keeper, trace);
    check_cells(cells, source.name());
    return cells;
}

}  // namespace core
