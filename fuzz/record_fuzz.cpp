// Fuzz target: reading records by every layout of the suite.
//
// Input: the first byte picks the layout (its value modulo the number of
// layouts), the rest is the text, read line by line through read_record
// from a text source. Checked on every line:
// - a failure is the only way a read goes wrong, and it names the columns
//   of the first field that the simple reference reader also rejects;
// - every value agrees with the reference reader, bit for bit for reals;
// - the values written back by the layout and read again give the same
//   integers and texts, and reals within the rounding of their field;
// - the argument layouts read an argument's text the same way.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/failure.hpp"
#include "core/fields.hpp"
#include "core/io.hpp"
#include "core/layout.hpp"
#include "core/record.hpp"
#include "reference.hpp"

using namespace fuzz_ref;

namespace {

const char* const layouts[] = {
    "(i4)",
    "(i2)",
    "(i5)",
    "(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)",
    "(3i5,140f10.2)",
    "(3i5,140i10)",
    "(a3,i3,i5,4x,a6,i9,i6,f7.1,f8.2,f8.2,2f7.2)",
    "(a3,i3,i5,4x,a6,i9,2i7,2(f8.2))",
    "(a6,1x,2(i4,1x),f10.4,1x)",
    "(a,i3)",
    "(i4,f8.2,a,1x,i4,1x,2(i2,1x))",
    "(a,i5,i5,i5)",
};
constexpr int layout_count = sizeof layouts / sizeof layouts[0];

struct expected_field {
    core::field_error error = core::field_error::none;
    core::value v{std::int32_t{0}};
};

// What the reference reader makes of field `f` of `line`.
expected_field reference_field(std::string_view line, const core::field& f) {
    expected_field e;
    std::string_view text = core::field_text(line, f);
    if (f.kind == core::field_kind::integer) {
        std::int32_t i = 0;
        e.error = integer_field(text, i);
        e.v = core::value(i);
    } else if (f.kind == core::field_kind::real) {
        float r = 0.0f;
        e.error = real_field(text, f.decimals, r);
        e.v = core::value(r);
    } else if (f.kind == core::field_kind::text) {
        e.v = core::value(text);
    } else {
        e.v = core::value(std::string_view());
    }
    return e;
}

bool same_real(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Largest error of a real written with `decimals` decimals and read back:
// half a unit of the last decimal, plus the rounding to single precision.
bool within_field_rounding(float original, float back, int decimals) {
    double unit = std::pow(10.0, -decimals);
    double ulp = std::fabs(static_cast<double>(std::nextafter(back, INFINITY)) - back);
    return std::fabs(static_cast<double>(back) - original) <= unit / 2 * (1 + 1e-12) + ulp;
}

std::string columns_of(const core::field& f) {
    return "columns " + std::to_string(f.column) + "-" + std::to_string(f.column + f.width - 1);
}

// Writes the values read from a line back by the layout and reads the line
// again.
void check_round_trip(const core::layout& format, const core::record& r) {
    std::string line;
    core::format_record(line, format, r.values.data(), r.values.size());
    // No trailing blanks from a final skip, no line feed inside.
    check(line.find('\n') == std::string::npos, "line feed inside a written line");
    const auto& fields = format.fields();
    std::size_t trailing = fields.size();
    while (trailing > 0 && fields[trailing - 1].kind == core::field_kind::skip) --trailing;
    std::size_t width = 0;
    for (std::size_t k = 0; k < trailing; ++k) width += static_cast<std::size_t>(fields[k].width);
    check(line.size() == width, "written width");

    // The first field written as asterisks, if any: reading it back fails.
    const core::field* stars = nullptr;
    for (const core::field& f : fields) {
        if (f.kind == core::field_kind::skip) continue;
        std::string_view text = core::field_text(line, f);
        if ((f.kind == core::field_kind::integer || f.kind == core::field_kind::real) &&
            text.find('*') != std::string_view::npos) {
            check(text == std::string(static_cast<std::size_t>(f.width), '*'), "partial asterisks");
            if (!stars) stars = &f;
        }
    }

    core::line_reader again = core::line_reader::from_text(line, "written line");
    core::record back;
    try {
        check(core::read_record(again, format, back), "written line reads as end of input");
    } catch (const core::failure& e) {
        check(stars != nullptr, "written line refused without asterisks");
        check(std::string(e.what()).find(columns_of(*stars)) != std::string::npos,
              "asterisk field not named");
        return;
    }
    check(stars == nullptr, "asterisks read as a number");
    check(back.values.size() == r.values.size(), "value count after round trip");
    std::size_t v = 0;
    for (const core::field& f : fields) {
        if (f.kind == core::field_kind::skip) continue;
        const core::value& a = r.values[v];
        const core::value& b = back.values[v];
        ++v;
        switch (f.kind) {
        case core::field_kind::integer:
            check(a.integer == b.integer, "integer changed by round trip");
            break;
        case core::field_kind::real:
            check(within_field_rounding(a.real, b.real, f.decimals), "real beyond field rounding");
            break;
        case core::field_kind::text:
            // A text from a short line is written right-justified.
            check(b.text.size() == static_cast<std::size_t>(f.width), "text width after round trip");
            check(b.text.substr(b.text.size() - a.text.size()) == a.text, "text changed by round trip");
            break;
        default:
            break;
        }
    }
}

void check_line(const core::layout& format, std::string_view line, const core::record& r) {
    check(r.values.size() == static_cast<std::size_t>(format.value_count()), "value count");
    std::size_t v = 0;
    for (const core::field& f : format.fields()) {
        if (f.kind == core::field_kind::skip) continue;
        const core::value& got = r.values[v++];
        expected_field e = reference_field(line, f);
        check(e.error == core::field_error::none, "read a field the reference refuses");
        switch (f.kind) {
        case core::field_kind::integer:
            check(got.kind == f.kind && got.integer == e.v.integer, "integer disagrees with reference");
            break;
        case core::field_kind::real:
            check(got.kind == f.kind && same_real(got.real, e.v.real), "real disagrees with reference");
            break;
        case core::field_kind::text:
            check(got.kind == f.kind && got.text == e.v.text, "text disagrees");
            check(got.text.size() <= static_cast<std::size_t>(f.width), "text wider than field");
            break;
        default:
            check(got.kind == core::field_kind::text && got.text.empty(), "natural text read");
            break;
        }
    }
    check_round_trip(format, r);
}

// An argument's text: its first w characters are the field, blanks when
// short, whatever characters it holds.
void check_argument(const core::layout& format, std::string_view text) {
    const core::field& f = format.fields().front();
    std::string field(text.substr(0, static_cast<std::size_t>(f.width)));
    field.resize(static_cast<std::size_t>(f.width), ' ');
    std::int32_t want = 0;
    core::field_error e = integer_field(field, want);
    try {
        std::int32_t got = core::read_argument_number(text, format, 1);
        check(e == core::field_error::none, "argument read although malformed");
        check(got == want, "argument number disagrees with reference");
    } catch (const core::failure& x) {
        check(one_printable_line(x.what()), "diagnostic not one printable line");
        check(e != core::field_error::none, "argument refused although well formed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const std::vector<core::layout>* formats = [] {
        auto* v = new std::vector<core::layout>;
        for (const char* t : layouts) v->emplace_back(t);
        return v;
    }();
    const core::layout& format = (*formats)[data[0] % layout_count];
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // The same lines, taken by a second reader, to compare the fields with.
    std::size_t keep = static_cast<std::size_t>(format.read_width());
    std::vector<std::string> lines = split_lines(text, keep);

    core::line_reader source = core::line_reader::from_text(text, "fuzz input");
    core::record r;
    std::size_t n = 0;
    for (;;) {
        bool got;
        try {
            got = core::read_record(source, format, r);
        } catch (const core::failure& e) {
            check(one_printable_line(e.what()), "diagnostic not one printable line");
            check(n < lines.size(), "failure past the last line");
            // The first field the reference refuses is the one named.
            const core::field* bad = nullptr;
            for (const core::field& f : format.fields()) {
                if (f.kind == core::field_kind::skip) continue;
                if (reference_field(lines[n], f).error != core::field_error::none) {
                    bad = &f;
                    break;
                }
            }
            check(bad != nullptr, "failure on a line the reference reads");
            std::string want = ", line " + std::to_string(n + 1) + ", " + columns_of(*bad) + ":";
            check(std::string(e.what()).find(want) != std::string::npos, "failure names other columns");
            break;
        }
        if (!got) {
            check(n == lines.size(), "end of input before the last line");
            break;
        }
        check(n < lines.size(), "more lines than the text holds");
        check(source.line_number() == static_cast<long long>(n + 1), "line number");
        check_line(format, lines[n], r);
        ++n;
    }

    if (format.value_count() == 1 && format.fields().size() == 1) check_argument(format, text);
    return 0;
}
