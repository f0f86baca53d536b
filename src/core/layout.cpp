#include "core/layout.hpp"

#include <cctype>

#include "core/failure.hpp"

namespace core {

namespace {

constexpr std::size_t max_fields = 100000;

class layout_parser {
public:
    explicit layout_parser(std::string_view text) : s_(text) {}

    std::vector<field> parse() {
        expect('(');
        std::vector<field> out = list();
        expect(')');
        if (pos_ != s_.size()) bad();
        return out;
    }

private:
    std::vector<field> list() {
        std::vector<field> out;
        for (;;) {
            std::vector<field> item = repeated_item();
            out.insert(out.end(), item.begin(), item.end());
            if (out.size() > max_fields) bad();
            if (peek() != ',') return out;
            ++pos_;
        }
    }

    std::vector<field> repeated_item() {
        int count = std::isdigit(static_cast<unsigned char>(peek())) ? positive() : 1;
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(peek())));
        std::vector<field> one;
        if (c == '(') {
            ++pos_;
            one = list();
            expect(')');
        } else if (c == 'x') {
            ++pos_;
            // "4x" is one skip of four columns, not four skips.
            return {field{field_kind::skip, count, 0, 0}};
        } else if (c == 'i') {
            ++pos_;
            one = {field{field_kind::integer, positive(), 0, 0}};
        } else if (c == 'f') {
            ++pos_;
            int w = positive();
            expect('.');
            if (!std::isdigit(static_cast<unsigned char>(peek()))) bad();
            int d = number();
            one = {field{field_kind::real, w, d, 0}};
        } else if (c == 'a') {
            ++pos_;
            if (std::isdigit(static_cast<unsigned char>(peek())))
                one = {field{field_kind::text, positive(), 0, 0}};
            else
                one = {field{field_kind::natural_text, 0, 0, 0}};
        } else {
            bad();
        }
        // No line of the system has more than a few hundred fields; a cap keeps
        // a layout such as "99999(99999i5)" from expanding without bound.
        if (one.size() * static_cast<std::size_t>(count) > max_fields) bad();
        std::vector<field> out;
        for (int r = 0; r < count; ++r) out.insert(out.end(), one.begin(), one.end());
        return out;
    }

    int positive() {
        if (!std::isdigit(static_cast<unsigned char>(peek()))) bad();
        int n = number();
        if (n < 1) bad();
        return n;
    }
    int number() {
        long n = 0;
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            n = n * 10 + (s_[pos_++] - '0');
            if (n > 100000) bad();
        }
        return static_cast<int>(n);
    }
    char peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
    void expect(char c) {
        if (peek() != c) bad();
        ++pos_;
    }
    [[noreturn]] void bad() const {
        throw failure("malformed layout " + quoted(s_) + " at character " + std::to_string(pos_ + 1));
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

layout::layout(std::string_view text) : text_(text) {
    fields_ = layout_parser(text).parse();
    int column = 1;
    for (field& f : fields_) {
        f.column = column;
        column += f.width;
        if (f.kind != field_kind::skip) ++values_;
    }
    read_width_ = column - 1;
}

}  // namespace core
