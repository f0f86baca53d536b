// Reading the ranks-all table back: every line checked field by field, and
// each line handed to a caller that keeps what it needs (for example the
// cells of one duration).
//
// The table is 266,450 lines of 1,415 columns, 143 fields each. Almost every
// field has the shape the writer gives it: a number right-justified after
// blanks, an optional minus sign, and for a real field a point followed by
// exactly its decimals. `table_line_reader` checks that shape for a whole
// line at once, with byte classes held as bit rows; a line or a field that
// does not have it is read by the general field rules instead, which decide
// whether it is accepted and what it holds. Either way the result is the
// same as reading every field by the general rules.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/io.hpp"
#include "core/layout.hpp"
#include "core/ranks_all_table.hpp"

namespace core {

// The usual shape of an integer field: blanks, an optional minus sign and
// one to nine digits, filling exactly the field's text. True, with the value,
// when `text` has it; false says nothing about the field (the general rules
// must read it).
bool fast_integer_field(std::string_view text, std::int32_t& value);
// The usual shape of a real field of `decimals` decimals (at most 8): blanks,
// an optional minus sign, one or more digits, a point and exactly `decimals`
// digits, at most 15 digits in all.
bool fast_real_field(std::string_view text, int decimals, float& value);

// The byte classification of the fast check: portable code, SSE2, or AVX2
// where the processor has it. The widest available is used unless a test
// asks for a narrower one, to compare them.
enum class byte_scan { portable, sse2, avx2 };
byte_scan widest_byte_scan();
void use_byte_scan(byte_scan scan);  // one wider than the processor has is ignored

// Bit rows of a layout, one bit per column, for each word of 64 columns:
// where a field starts, where a digit is required, where the point of a
// real field stands, where blanks and a sign may stand (the integer part),
// where a digit is not allowed (the first columns of a wide field, so it
// cannot overflow), and every column of a field.
struct field_shape_word {
    std::uint64_t start = 0, digit = 0, point = 0, head = 0, no_digit = 0, all = 0;
};

class table_line_reader {
public:
    // A layout of integer and real fields only, such as "(3i5,140f10.2)".
    explicit table_line_reader(const layout& format);

    // Checks every field of `line` by the field rules; a malformed one is a
    // `failure` naming the source, the line, the columns and the text.
    // Returns the values of the first three fields, which must be integer
    // fields.
    std::array<std::int32_t, 3> check(const line_reader& source, std::string_view line);

    // The values of the fields after the first three, of a line already
    // checked: reals or integers, whichever the layout gives (all of them
    // must be of that kind).
    void reals(const line_reader& source, std::string_view line, float* out) const;
    void integers(const line_reader& source, std::string_view line, std::int32_t* out) const;
    // The value of real field `n` (counting from 0) of a line already checked.
    float real(const line_reader& source, std::string_view line, std::size_t n) const;

    const layout& format() const { return format_; }

private:
    bool line_has_usual_shape(std::string_view line) const;

    const layout& format_;
    std::size_t width_;
    std::vector<field_shape_word> rows_;
    bool usable_ = true;  // false when a field is outside the usual shapes
};


// The cells of one duration, placed by each line's own start day.
struct duration_cells {
    std::int32_t duration = 0;
    // Indexed by start day 1 to 365 (index 0 unused).
    std::array<std::int32_t, table_days + 1> nyears{};
    std::array<bool, table_days + 1> has_means{};
    std::array<bool, table_days + 1> has_years{};
    // Position p (1 to 140) of start day j at (j - 1) * 140 + p - 1.
    std::vector<float> rtmean = std::vector<float>(table_days * table_positions, -999.0f);
    std::vector<std::int32_t> yrank = std::vector<std::int32_t>(table_days * table_positions, -999);

    float mean(int j, int p) const { return rtmean[static_cast<std::size_t>((j - 1) * table_positions + p - 1)]; }
    std::int32_t year(int j, int p) const { return yrank[static_cast<std::size_t>((j - 1) * table_positions + p - 1)]; }
};

// One line of the table as the whole-table pass hands it on: the cell its
// own first two fields name, its count, which line of its pair it is, and
// where it stands in the input.
struct table_line_cell {
    std::int32_t start_day = 0;
    std::int32_t duration = 0;
    std::int32_t nyears = 0;
    bool means_line = true;  // else the years line of its pair
    long long line = 0;      // line number in the source, from 1
};

// What the whole-table pass hands each line to, in file order.
class table_cell_visitor {
public:
    virtual ~table_cell_visitor() = default;
    // Whether the positions of this line are wanted. When they are, the pass
    // reads them and calls `take_means` (a means line) or `take_years` (a
    // years line), positions 1 to 140 at index 0 to 139.
    virtual bool wants(const table_line_cell& cell) = 0;
    virtual void take_means(const table_line_cell& cell, const float* mean) = 0;
    virtual void take_years(const table_line_cell& cell, const std::int32_t* year) = 0;
};

// Reads the 266,450 lines of a ranks-all table from `source`, checking every
// field of every line, and hands each line to `visitor`; lines after them
// are not read. The trace, when given, is as for `read_ranks_all_table`.
//
// Failures: a malformed field; a line whose start day or duration lies
// outside 1 to 365; a table that ends early (naming how many lines it had;
// the trace written so far is flushed first); and whatever the visitor
// throws.
void read_table_cells(line_reader& source, table_cell_visitor& visitor, out_stream* trace);

// Reads the 266,450 lines of a ranks-all table from `source`, checking every
// field of every line and keeping the cells of `duration`; lines after them
// are not read. When `trace` is given, the reading trace goes to it: a plain
// line before each line is read, a pair line after each is stored, and the
// plain line "test" at the end.
//
// Failures: a malformed field; a line whose start day or duration lies
// outside 1 to 365; a table that ends early (naming how many lines it had;
// the trace written so far is flushed first); and, once loaded, a start day
// whose cell of `duration` has no means line, no years line, or a count
// outside 1 to 140.
duration_cells read_ranks_all_table(line_reader& source, std::int32_t duration, out_stream* trace);

}  // namespace core
