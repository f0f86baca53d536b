// The fast field check of fixed-column lines (the ranks-all table's two
// layouts and the daily record) against the general record reader, with
// every byte classification this processor has: lines in the writer's own
// shape with one or two bytes changed, which is where a shape check can
// take a malformed line for a usual one.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/failure.hpp"
#include "core/layout.hpp"
#include "core/record.hpp"
#include "core/table_reader.hpp"

namespace {

// A field in its usual shape: a number right-justified after blanks, a real
// with its point and exactly its decimals.
std::string usual_field(std::mt19937& rng, const core::field& f) {
    char buf[64];
    int digits = 1 + static_cast<int>(rng() % static_cast<unsigned>(f.kind == core::field_kind::integer ? 6 : 5));
    long long magnitude = 1;
    for (int i = 0; i < digits; ++i) magnitude *= 10;
    long long v = static_cast<long long>(rng() % static_cast<unsigned long long>(magnitude));
    if (rng() % 3 == 0) v = -v;
    if (f.kind == core::field_kind::integer) {
        std::snprintf(buf, sizeof buf, "%*lld", f.width, v);
    } else {
        double scale = 1.0;
        for (int i = 0; i < f.decimals; ++i) scale *= 10.0;
        std::snprintf(buf, sizeof buf, "%*.*f", f.width, f.decimals, static_cast<double>(v) / scale);
    }
    std::string t = buf;
    if (static_cast<int>(t.size()) > f.width) t = t.substr(t.size() - static_cast<std::size_t>(f.width));
    return t;
}

// What reading a line gives: a failure message, or the first three
// integers, the reals after them and, where every field after them is an
// integer field, those integers.
struct outcome {
    std::string error;
    std::vector<std::int32_t> head, integers;
    std::vector<float> reals;
};

bool integers_only(const core::layout& format) {
    for (std::size_t n = 3; n < format.fields().size(); ++n)
        if (format.fields()[n].kind != core::field_kind::integer) return false;
    return true;
}

bool operator==(const outcome& a, const outcome& b) {
    return a.error == b.error && a.head == b.head && a.integers == b.integers && a.reals.size() == b.reals.size() &&
           (a.reals.empty() || std::memcmp(a.reals.data(), b.reals.data(), a.reals.size() * sizeof(float)) == 0);
}

outcome general(const core::layout& format, const std::string& line) {
    core::line_reader src = core::line_reader::from_text(line, "t");
    core::record r;
    outcome o;
    try {
        EXPECT_TRUE(core::read_record(src, format, r));
        for (std::size_t n = 0; n < format.fields().size(); ++n) {
            if (n < 3)
                o.head.push_back(r.integer(n));
            else if (format.fields()[n].kind == core::field_kind::real)
                o.reals.push_back(r.real(n));
            else if (integers_only(format))
                o.integers.push_back(r.integer(n));
        }
    } catch (const core::failure& e) {
        o = outcome{};
        o.error = e.what();
    }
    return o;
}

// The check alone must refuse every malformed line: the values of an
// accepted one are taken only for the cells a reader keeps.
outcome fast(const core::layout& format, core::table_line_reader& reader, const std::string& line) {
    core::line_reader src = core::line_reader::from_text(line, "t");
    std::string_view view;
    src.next(view, static_cast<std::size_t>(format.read_width()));
    outcome o;
    std::array<std::int32_t, 3> head{};
    try {
        head = reader.check(src, view);
    } catch (const core::failure& e) {
        o.error = e.what();
        return o;
    }
    o.head.assign(head.begin(), head.end());
    try {
        const auto& fields = format.fields();
        if (integers_only(format)) {
            o.integers.resize(fields.size() - 3);
            reader.integers(src, view, o.integers.data());
        }
        for (std::size_t n = 3; n < fields.size(); ++n)
            if (fields[n].kind == core::field_kind::real) o.reals.push_back(reader.real(src, view, n));
    } catch (const core::failure& e) {
        o.error = std::string("accepted by the check, then: ") + e.what();
    }
    return o;
}

}  // namespace

TEST(FastFieldCheck, AgreesWithTheGeneralRulesForEveryByteScan) {
    const char* layouts[] = {"(3i5,140f10.2)", "(3i5,140i10)", "(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)"};
    const char changes[] = " -+./0123456789:eEdDx\t";  // with the neighbours of the digits
    std::vector<core::byte_scan> scans;
    for (core::byte_scan s : {core::byte_scan::portable, core::byte_scan::sse2, core::byte_scan::avx2})
        if (static_cast<int>(s) <= static_cast<int>(core::widest_byte_scan())) scans.push_back(s);
    for (core::byte_scan scan : scans) {
        core::use_byte_scan(scan);
        std::mt19937 rng(77);
        for (const char* text : layouts) {
            const core::layout format(text);
            core::table_line_reader reader(format);
            int refused = 0;
            for (int round = 0; round < 1500; ++round) {
                std::string line;
                for (const core::field& f : format.fields()) line += usual_field(rng, f);
                int changed = static_cast<int>(rng() % 3);  // 0, 1 or 2 bytes
                for (int c = 0; c < changed; ++c)
                    line[rng() % line.size()] = changes[rng() % (sizeof changes - 1)];
                if (round % 50 == 0) line.resize(1 + rng() % (line.size() - 1));  // a short line reads as blanks
                const outcome want = general(format, line);
                const outcome got = fast(format, reader, line);
                refused += !want.error.empty();
                ASSERT_EQ(got.error, want.error) << "scan " << static_cast<int>(scan) << ": " << line;
                ASSERT_TRUE(got == want) << "scan " << static_cast<int>(scan) << ": " << line;
            }
            // Both kinds of line occur: the changes do break some of them.
            EXPECT_GT(refused, 100) << text;
            EXPECT_LT(refused, 1400) << text;
        }
    }
    core::use_byte_scan(core::widest_byte_scan());
}
