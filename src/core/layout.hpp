// Line layouts: "(i4,2i3,2f11.4,i5,i3,2f11.4,i5,i3)" and the like, expanded
// once into the row of fields they describe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

enum class field_kind { integer, real, text, natural_text, skip };

struct field {
    field_kind kind;
    int width;     // columns; 0 for a text field of natural width
    int decimals;  // real fields only
    int column;    // first column of the field when read, counting from 1
};

class layout {
public:
    // Parses and expands a layout text; a malformed text is a `failure`.
    explicit layout(std::string_view text);

    const std::vector<field>& fields() const { return fields_; }
    // Number of integer, real and text fields: the values a line carries.
    int value_count() const { return values_; }
    // Columns that reading a line takes (natural-width texts count none).
    int read_width() const { return read_width_; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::vector<field> fields_;
    int values_ = 0;
    int read_width_ = 0;
};

}  // namespace core
