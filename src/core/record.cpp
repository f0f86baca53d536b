#include "core/record.hpp"

#include <cstdlib>

#include "core/failure.hpp"
#include "core/fields.hpp"

namespace core {

namespace {

[[noreturn]] void bad_field(const line_reader& source, const field& f, std::string_view line,
                            field_error e) {
    std::string where = source.name();
    if (source.line_number() > 0) where += ", line " + std::to_string(source.line_number());
    std::string kind = f.kind == field_kind::integer ? "integer" : "real";
    std::string cols = std::to_string(f.column) + "-" + std::to_string(f.column + f.width - 1);
    std::string why = e == field_error::out_of_range ? " out of range" : "";
    throw failure(where + ", columns " + cols + ": malformed " + kind + " field " +
                  quoted(field_text(line, f)) + why);
}

}  // namespace

std::string_view field_text(std::string_view line, const field& f) {
    std::size_t start = static_cast<std::size_t>(f.column - 1);
    if (start >= line.size()) return {};
    return line.substr(start, static_cast<std::size_t>(f.width));
}

std::int32_t read_integer_at(const line_reader& source, std::string_view line, const field& f) {
    std::int32_t v = 0;
    field_error e = read_integer_field(field_text(line, f), v);
    if (e != field_error::none) bad_field(source, f, line, e);
    return v;
}

float read_real_at(const line_reader& source, std::string_view line, const field& f) {
    float v = 0.0f;
    field_error e = read_real_field(field_text(line, f), f.decimals, v);
    if (e != field_error::none) bad_field(source, f, line, e);
    return v;
}

bool read_record(line_reader& source, const layout& format, record& out) {
    std::string_view line;
    if (!source.next(line, static_cast<std::size_t>(format.read_width()))) return false;
    out.values.clear();
    for (const field& f : format.fields()) {
        switch (f.kind) {
        case field_kind::integer:
            out.values.emplace_back(read_integer_at(source, line, f));
            break;
        case field_kind::real:
            out.values.emplace_back(read_real_at(source, line, f));
            break;
        case field_kind::text:
            out.values.emplace_back(field_text(line, f));
            break;
        case field_kind::natural_text:
            out.values.emplace_back(std::string_view());
            break;
        case field_kind::skip:
            break;
        }
    }
    return true;
}

void format_record(std::string& line, const layout& format, const value* values, std::size_t count) {
    line.clear();
    std::size_t v = 0;
    std::size_t pending = 0;  // blanks of skips, written only before a further field
    for (const field& f : format.fields()) {
        if (f.kind == field_kind::skip) {
            pending += static_cast<std::size_t>(f.width);
            continue;
        }
        if (v >= count) throw failure("internal: too few values for layout " + format.text());
        const value& x = values[v++];
        line.append(pending, ' ');
        pending = 0;
        std::size_t at = line.size();
        switch (f.kind) {
        case field_kind::integer:
            if (x.kind != field_kind::integer) throw failure("internal: value kind for " + format.text());
            line.resize(at + static_cast<std::size_t>(f.width));
            write_integer_field(&line[at], f.width, x.integer);
            break;
        case field_kind::real:
            if (x.kind != field_kind::real) throw failure("internal: value kind for " + format.text());
            line.resize(at + static_cast<std::size_t>(f.width));
            write_real_field(&line[at], f.width, f.decimals, x.real);
            break;
        case field_kind::text:
            if (x.kind != field_kind::text) throw failure("internal: value kind for " + format.text());
            if (x.text.size() >= static_cast<std::size_t>(f.width)) {
                line.append(x.text.substr(0, static_cast<std::size_t>(f.width)));
            } else {
                line.append(static_cast<std::size_t>(f.width) - x.text.size(), ' ');
                line.append(x.text);
            }
            break;
        case field_kind::natural_text:
            if (x.kind != field_kind::text) throw failure("internal: value kind for " + format.text());
            line.append(x.text);
            break;
        case field_kind::skip:
            break;
        }
    }
    if (v != count) throw failure("internal: too many values for layout " + format.text());
}

void write_record(out_stream& dest, const layout& format, std::initializer_list<value> values) {
    static thread_local std::string line;
    format_record(line, format, values.begin(), values.size());
    line.push_back('\n');
    dest.write(line);
}

void write_record(out_stream& dest, const layout& format, const std::vector<value>& values) {
    static thread_local std::string line;
    format_record(line, format, values.data(), values.size());
    line.push_back('\n');
    dest.write(line);
}

void write_plain_line(out_stream& dest, std::string_view text) {
    dest.put(' ');
    dest.write(text);
    dest.put('\n');
}

void end_run() { throw run_ended{}; }

std::string fixed_argument(int argc, char** argv, int index, std::size_t length) {
    std::string text = index < argc ? std::string(argv[index]) : std::string();
    text.resize(length, ' ');
    return text;
}

bool is_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string_view without_trailing_blanks(std::string_view text) {
    std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::int32_t read_argument_number(std::string_view text, const layout& format, int index) {
    // The argument is one line whatever it holds: a line feed inside it is
    // just another character of the field, so it cannot cut the number short.
    if (format.value_count() != 1 || format.fields()[0].kind != field_kind::integer)
        throw failure("internal: argument layout " + format.text());
    line_reader source = line_reader::from_text("", "argument " + std::to_string(index));
    return read_integer_at(source, text, format.fields()[0]);
}

std::int32_t read_argument_in_range(std::string_view text, const layout& format, int index, const char* what,
                                    std::int32_t low, std::int32_t high) {
    std::int32_t v = read_argument_number(text, format, index);
    if (v < low || v > high)
        throw failure("argument " + std::to_string(index) + ": " + what + " " + std::to_string(v) + " outside " +
                      std::to_string(low) + " to " + std::to_string(high));
    return v;
}

}  // namespace core
