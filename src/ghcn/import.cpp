#include "ghcn/import.hpp"

#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "core/calendar.hpp"
#include "core/failure.hpp"

namespace ghcn {

namespace {

constexpr std::int32_t no_value = -9999;
constexpr int tmax_element = 0, tmin_element = 1;

// What a source holds for one day of one element.
enum : std::uint8_t { absent = 0, reported = 1, flagged = 2 };

// One month of one station: both elements, 31 day slots each, and the line
// that filled each slot (0 for none), so that a repeat can name the first.
struct month_block {
    std::int32_t tenths[2][31];
    std::uint8_t state[2][31];
    long long line[2][31];
};

struct source {
    std::string station;
    std::map<std::int32_t, month_block> months;  // by year x 12 + month - 1
};

constexpr std::int32_t month_key(std::int32_t year, std::int32_t month) { return year * 12 + month - 1; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_code_char(char c) { return is_digit(c) || (c >= 'A' && c <= 'Z'); }
bool is_flag_char(char c) { return c == ' ' || is_code_char(c) || (c >= 'a' && c <= 'z'); }

bool all_digits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!is_digit(c)) return false;
    return true;
}

bool all_code_chars(std::string_view s) {
    for (char c : s)
        if (!is_code_char(c)) return false;
    return true;
}

std::int32_t number_of(std::string_view digits) {
    std::int32_t v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
}

// A value: blanks, an optional minus sign, then at least one digit and
// nothing else (the .dly value is right-justified in its five columns).
bool read_value(std::string_view s, std::int32_t& v) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = i < s.size() && s[i] == '-';
    if (negative) ++i;
    std::string_view digits = s.substr(i);
    if (!all_digits(digits)) return false;
    v = number_of(digits);
    if (negative) v = -v;
    return true;
}

int element_of(std::string_view e) {
    if (e == "TMAX") return tmax_element;
    if (e == "TMIN") return tmin_element;
    return -1;
}

// Columns `first` to `last` (from 1) of the current line of `input`.
[[noreturn]] void bad_line(const core::line_reader& input, std::size_t first, std::size_t last,
                           const std::string& what, std::string_view text) {
    std::string cols = last <= first ? "column " + std::to_string(first)
                                     : "columns " + std::to_string(first) + "-" + std::to_string(last);
    throw core::failure(input.name() + ", line " + std::to_string(input.line_number()) + ", " + cols + ": " +
                        what + " " + core::quoted(text));
}

std::string month_length_text(int year, int month) {
    return std::to_string(days_in_month(year, month)) + "-day month";
}

// Reads the lines of one file into its sources.
class file_reader {
public:
    file_reader(core::line_reader& input, std::vector<source>& sources)
        : input_(input), sources_(sources) {}

    file_form read() {
        std::string_view line;
        while (input_.next(line, kept_length)) {
            if (line.empty()) continue;
            if (form_ == file_form::none)
                form_ = line.find(',') != std::string_view::npos ? file_form::csv : file_form::dly;
            if (form_ == file_form::dly)
                dly_line(line);
            else
                csv_line(line);
        }
        if (!any_element_)
            throw core::failure(input_.name() + ": no TMAX or TMIN line");
        return form_;
    }

private:
    // The source of a station of this file, added when its first line is
    // read. Lines of one station mostly follow one another, so the last one
    // is tried first.
    source& source_of(std::string_view station) {
        if (last_ < sources_.size() && sources_[last_].station == station) return sources_[last_];
        auto [at, added] = index_.try_emplace(std::string(station), sources_.size());
        if (added) sources_.push_back(source{std::string(station), {}});
        last_ = at->second;
        return sources_[last_];
    }

    // A value of an element on a day: the checks every line gets, and for
    // TMAX and TMIN the absolute-zero check.
    void check_value(std::int32_t v, int element, int year, int month, int day, std::size_t first,
                     std::size_t last, std::string_view text) {
        if (v == no_value) return;
        if (day > days_in_month(year, month))
            bad_line(input_, first, last,
                     "value for day " + std::to_string(day) + " of a " + month_length_text(year, month), text);
        if (element >= 0 && v < lowest_tenths)
            bad_line(input_, first, last, "temperature below absolute zero", text);
    }

    void dly_line(std::string_view line) {
        if (line.size() != dly_length)
            bad_line(input_, 1, line.size(),
                     line.size() > dly_length ? "line longer than the 269 columns of a .dly line"
                                              : std::to_string(line.size()) + (line.size() == 1 ? " column" : " columns") +
                                                    ", not the 269 of a .dly line",
                     line);
        std::string_view station = line.substr(0, 11);
        if (!all_code_chars(station)) bad_line(input_, 1, 11, "malformed station id", station);
        std::string_view year_text = line.substr(11, 4), month_text = line.substr(15, 2);
        if (!all_digits(year_text)) bad_line(input_, 12, 15, "malformed year", year_text);
        if (!all_digits(month_text)) bad_line(input_, 16, 17, "malformed month", month_text);
        std::int32_t year = number_of(year_text), month = number_of(month_text);
        if (month < 1 || month > 12) bad_line(input_, 16, 17, "month outside 1 to 12", month_text);
        std::string_view element_text = line.substr(17, 4);
        if (!all_code_chars(element_text)) bad_line(input_, 18, 21, "malformed element", element_text);
        int element = element_of(element_text);

        std::int32_t values[31];
        char quality[31];
        for (int i = 0; i < 31; ++i) {
            std::size_t at = 21 + 8 * static_cast<std::size_t>(i);
            std::string_view value_text = line.substr(at, 5);
            if (!read_value(value_text, values[i]))
                bad_line(input_, at + 1, at + 5, "malformed value of day " + std::to_string(i + 1), value_text);
            check_value(values[i], element, year, month, i + 1, at + 1, at + 5, value_text);
            static const char* const flag_names[] = {"measurement", "quality", "source"};
            for (std::size_t f = 0; f < 3; ++f)
                if (!is_flag_char(line[at + 5 + f]))
                    bad_line(input_, at + 6 + f, at + 6 + f,
                             std::string("malformed ") + flag_names[f] + " flag of day " + std::to_string(i + 1),
                             line.substr(at + 5 + f, 1));
            quality[i] = line[at + 6];
        }
        if (element < 0) return;
        any_element_ = true;
        month_block& b = source_of(station).months[month_key(year, month)];
        if (b.line[element][0] != 0)
            bad_line(input_, 1, 21,
                     "repeated station, month and element (first on line " + std::to_string(b.line[element][0]) +
                         ")",
                     line.substr(0, 21));
        for (int i = 0; i < 31; ++i) {
            b.line[element][i] = input_.line_number();
            if (values[i] == no_value) continue;
            b.tenths[element][i] = values[i];
            b.state[element][i] = quality[i] == ' ' ? reported : flagged;
        }
    }

    void csv_line(std::string_view line) {
        // The eight fields and the column where each starts.
        std::string_view field[8];
        std::size_t start[8];
        std::size_t count = 0, from = 0;
        for (;;) {
            std::size_t comma = line.find(',', from);
            std::size_t end = comma == std::string_view::npos ? line.size() : comma;
            if (count < 8) {
                field[count] = line.substr(from, end - from);
                start[count] = from + 1;
            }
            ++count;
            if (comma == std::string_view::npos) break;
            from = comma + 1;
        }
        if (count != 8)
            bad_line(input_, 1, line.size(),
                     std::to_string(count) + (count == 1 ? " field" : " fields") + ", not the 8 of a CSV line", line);
        auto bad = [&](int i, const std::string& what, std::string_view text) {
            bad_line(input_, start[i], start[i] + (field[i].empty() ? 0 : field[i].size() - 1), what, text);
        };
        if (field[0].size() != 11 || !all_code_chars(field[0])) bad(0, "malformed station id", field[0]);
        std::string_view date = field[1];
        if (date.size() != 8 || !all_digits(date)) bad(1, "malformed date", date);
        std::int32_t year = number_of(date.substr(0, 4)), month = number_of(date.substr(4, 2)),
                     day = number_of(date.substr(6, 2));
        if (month < 1 || month > 12) bad(1, "month outside 1 to 12", date);
        if (day < 1 || day > 31) bad(1, "day outside 1 to 31", date);
        if (field[2].size() != 4 || !all_code_chars(field[2])) bad(2, "malformed element", field[2]);
        int element = element_of(field[2]);
        std::string_view value_text = field[3];
        std::int32_t value = 0;
        bool sign = !value_text.empty() && value_text[0] == '-';
        if (value_text.size() > 5u + sign || !all_digits(value_text.substr(sign)) || !read_value(value_text, value))
            bad(3, "malformed value", value_text);
        static const char* const flag_names[] = {"measurement", "quality", "source"};
        for (int f = 4; f <= 6; ++f)
            if (field[f].size() > 1 || (field[f].size() == 1 && !is_flag_char(field[f][0])))
                bad(f, std::string("malformed ") + flag_names[f - 4] + " flag", field[f]);
        if (!field[7].empty() && (field[7].size() != 4 || !all_digits(field[7])))
            bad(7, "malformed observation time", field[7]);
        if (value != no_value && day > days_in_month(year, month))
            bad(1, "value for day " + std::to_string(day) + " of a " + month_length_text(year, month), date);
        if (element >= 0 && value != no_value && value < lowest_tenths)
            bad(3, "temperature below absolute zero", value_text);
        if (element < 0) return;
        any_element_ = true;
        month_block& b = source_of(field[0]).months[month_key(year, month)];
        long long& first = b.line[element][day - 1];
        if (first != 0)
            bad_line(input_, 1, start[2] + 3,
                     "repeated station, date and element (first on line " + std::to_string(first) + ")",
                     line.substr(0, start[2] + 3));
        first = input_.line_number();
        if (value == no_value) return;
        b.tenths[element][day - 1] = value;
        b.state[element][day - 1] = field[5].empty() || field[5] == " " ? reported : flagged;
    }

    core::line_reader& input_;
    std::vector<source>& sources_;
    std::unordered_map<std::string, std::size_t> index_;  // station -> source, this file only
    std::size_t last_ = static_cast<std::size_t>(-1);
    file_form form_ = file_form::none;
    bool any_element_ = false;
};

}  // namespace

int days_in_month(int year, int month) {
    // Station records follow the Gregorian calendar, 1900 a common year.
    const auto& before = core::calendar_leap_year(year) ? core::dyearl : core::dyear;
    return month == 12 ? 31 : before[static_cast<std::size_t>(month) + 1] - before[static_cast<std::size_t>(month)];
}

struct station_import::store {
    std::vector<source> sources;
};

station_import::station_import(const import_options& options)
    : options_(options), store_(std::make_unique<store>()) {}

station_import::~station_import() = default;

file_form station_import::read(core::line_reader& input) {
    return file_reader(input, store_->sources).read();
}

std::vector<day_values> station_import::days() const {
    const std::vector<source>& sources = store_->sources;
    std::map<std::int32_t, std::vector<const month_block*>> months;
    for (std::size_t i = 0; i < sources.size(); ++i)
        for (const auto& [key, block] : sources[i].months) {
            std::vector<const month_block*>& row = months[key];
            if (row.empty()) row.assign(sources.size(), nullptr);
            row[i] = &block;
        }

    const core::date& to = options_.to;
    std::vector<day_values> out;
    for (auto at = months.lower_bound(month_key(core::first_year, 1)); at != months.end(); ++at) {
        if (at->first > month_key(to.year, to.month)) break;
        int year = at->first / 12, month = at->first % 12 + 1;
        int last = days_in_month(year, month);
        if (at->first == month_key(to.year, to.month) && to.day < last) last = to.day;
        for (int d = 0; d < last; ++d) {
            const month_block* from = nullptr;
            for (const month_block* b : at->second)
                if (b && (b->state[tmax_element][d] != absent || b->state[tmin_element][d] != absent)) {
                    from = b;
                    break;
                }
            if (!from) continue;
            std::int32_t v[2];
            for (int e = 0; e < 2; ++e) {
                std::uint8_t s = from->state[e][d];
                bool kept = s == reported || (s == flagged && options_.keep_flagged);
                v[e] = kept ? hundredths_f(from->tenths[e][d]) : missing_hundredths;
            }
            if (!options_.keep_lone && (v[0] == missing_hundredths) != (v[1] == missing_hundredths))
                v[0] = v[1] = missing_hundredths;
            out.push_back(day_values{year, month, d + 1, v[0], v[1]});
        }
    }
    return out;
}

namespace {

// A non-negative integer right-justified in `width` columns (it fits).
void put_integer(char* field, int width, std::int32_t v) {
    char* p = field + width;
    do {
        *--p = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && p > field);
    while (p > field) *--p = ' ';
}

// Hundredths as an 11-column real of 4 decimals: the last two are zeros.
void put_hundredths(char* field, std::int32_t h) {
    bool negative = h < 0;
    std::uint32_t a = negative ? 0u - static_cast<std::uint32_t>(h) : static_cast<std::uint32_t>(h);
    char* p = field + 11;
    *--p = '0';
    *--p = '0';
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
    *--p = static_cast<char>('0' + a % 10);
    a /= 10;
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a != 0);
    if (negative) *--p = '-';
    while (p > field) *--p = ' ';
}

}  // namespace

void format_daily_line(char* out, const day_values& d) {
    static const char unused_group[] = "     0.0000    0  0";  // the second value and the two integers
    put_integer(out, 4, d.year);
    put_integer(out + 4, 3, d.month);
    put_integer(out + 7, 3, d.day);
    put_hundredths(out + 10, d.tmax);
    std::memcpy(out + 21, unused_group, 19);
    put_hundredths(out + 40, d.tmin);
    std::memcpy(out + 51, unused_group, 19);
    out[70] = '\n';
}

void write_days(core::out_stream& out, const std::vector<day_values>& days) {
    for (const day_values& d : days) {
        format_daily_line(out.reserve(daily_line_size), d);
        out.advance(daily_line_size);
    }
}

}  // namespace ghcn
