// Fixed-column records: reading a line by a layout, writing one, plain
// lines, the end of a run and command-line arguments of fixed length.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/io.hpp"
#include "core/layout.hpp"

namespace core {

// One value of a line: an integer, a real or a text.
struct value {
    value(std::int32_t i) : kind(field_kind::integer), integer(i) {}
    value(float r) : kind(field_kind::real), real(r) {}
    value(std::string_view t) : kind(field_kind::text), text(t) {}
    value(const char* t) : kind(field_kind::text), text(t) {}
    value(const std::string& t) : kind(field_kind::text), text(t) {}

    field_kind kind;
    std::int32_t integer = 0;
    float real = 0.0f;
    std::string_view text;
};

// The values of one line read, in layout order (skips take none).
struct record {
    std::vector<value> values;
    std::int32_t integer(std::size_t i) const { return values[i].integer; }
    float real(std::size_t i) const { return values[i].real; }
};

// Reads the next line of `source` by `format` into `out`; false at end of
// input. A malformed field is a `failure` naming the source, the line, the
// columns and the field's text.
bool read_record(line_reader& source, const layout& format, record& out);

// Reads one field of a line already taken, with the same diagnostics; for
// readers that need only some fields of a line.
std::int32_t read_integer_at(const line_reader& source, std::string_view line, const field& f);
float read_real_at(const line_reader& source, std::string_view line, const field& f);
// The text of field `f` of `line`, with the missing columns of a short line
// left out (they read as blanks).
std::string_view field_text(std::string_view line, const field& f);

// Writes one line by `format`; the number and kinds of `values` must match
// its fields.
void write_record(out_stream& dest, const layout& format, std::initializer_list<value> values);
void write_record(out_stream& dest, const layout& format, const std::vector<value>& values);
// Formats the same line into `line`, without the line feed.
void format_record(std::string& line, const layout& format, const value* values, std::size_t count);

// One blank, the text and a line feed.
void write_plain_line(out_stream& dest, std::string_view text);

// Thrown by `end_run` and caught by `run_program`, which completes the
// output and exits 0, after open replacement files have removed their
// temporary copies.
struct run_ended {};
[[noreturn]] void end_run();

// Argument `index` (1 for the first) as a text of exactly `length`
// characters: padded with blanks, or cut.
std::string fixed_argument(int argc, char** argv, int index, std::size_t length);
bool is_blank(std::string_view text);
std::string_view without_trailing_blanks(std::string_view text);

// Reads an integer from an argument's text with a one-field layout such as
// "(i4)"; a malformed number is a `failure` naming the argument.
std::int32_t read_argument_number(std::string_view text, const layout& format, int index);
// The same, and a number outside `low` to `high` is a failure
// "argument INDEX: WHAT N outside LOW to HIGH".
std::int32_t read_argument_in_range(std::string_view text, const layout& format, int index, const char* what,
                                    std::int32_t low, std::int32_t high);

}  // namespace core
