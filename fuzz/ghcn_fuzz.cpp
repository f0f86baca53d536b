// Fuzz target: reading GHCN-Daily station files (.dly and per-station CSV)
// into the daily series, against a deliberately simple second reader.
//
// Input: the first byte is a control byte (bit 0: keep flagged values;
// bit 1: keep lone values; bits 2-4: the last date written, from a table),
// the rest is one to four station files separated by the byte 0x1e.
// Checked: both readers accept the same inputs, and then write the same
// bytes; or both reject, at the same file and line (the fast reader's
// message names them, on one printable line).
//
// The second reader takes each line whole, matches its shape with one
// regular expression per form, keeps the values in ordinary maps keyed by
// date and converts with F = tenths x 0.18 + 32 in double precision,
// written with printf.
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "ghcn/import.hpp"
#include "reference.hpp"

using namespace fuzz_ref;

namespace {

struct options {
    bool keep_flagged, keep_lone;
    int to_year, to_month, to_day;
};

// Where the second reader stopped: file index and line (0 for the file as
// a whole).
struct rejection {
    std::size_t file;
    long long line;
};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int month_days(int y, int m) {
    if (m == 2) return leap(y) ? 29 : 28;
    if (m == 4 || m == 6 || m == 9 || m == 11) return 30;
    return 31;
}

// A value as read: the tenths and whether its quality flag was set.
struct reading {
    int tenths;
    bool flagged;
};

// One station of one file: TMAX and TMIN by (year, month, day).
struct station {
    std::string id;
    std::map<std::tuple<int, int, int>, reading> tmax, tmin;
};

// Stores a value, or returns false when the line would break a rule.
bool value_ok(int value, bool temperature, int y, int m, int d) {
    if (value == -9999) return true;
    if (d > month_days(y, m)) return false;
    if (temperature && value < -2731) return false;
    return true;
}

std::optional<rejection> reference_read(const std::vector<std::string>& files, std::vector<station>& stations) {
    static const std::regex dly(
        "([A-Z0-9]{11})([0-9]{4})([0-9]{2})([A-Z0-9]{4})((?:[ 0-9-]{5}[A-Za-z0-9 ]{3}){31})");
    static const std::regex value(" *-?[0-9]+");
    static const std::regex csv(
        "([A-Z0-9]{11}),([0-9]{4})([0-9]{2})([0-9]{2}),([A-Z0-9]{4}),(-?[0-9]{1,5}),"
        "([A-Za-z0-9 ]?),([A-Za-z0-9 ]?),([A-Za-z0-9 ]?),([0-9]{4})?");
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::vector<std::string> lines = split_lines(files[f], static_cast<std::size_t>(-1));
        std::map<std::string, std::size_t> of_station;
        std::set<std::tuple<std::string, int, int, int, std::string>> seen;
        bool is_csv = false, decided = false, any = false;
        for (std::size_t n = 0; n < lines.size(); ++n) {
            const std::string& line = lines[n];
            rejection here{f, static_cast<long long>(n + 1)};
            if (line.empty()) continue;
            if (!decided) is_csv = line.find(',') != std::string::npos, decided = true;
            std::smatch m;
            std::string id, element;
            int y, mo;
            std::vector<std::tuple<int, int, char>> values;  // day, value, quality flag
            if (!is_csv) {
                if (!std::regex_match(line, m, dly)) return here;
                id = m[1], y = std::stoi(m[2]), mo = std::stoi(m[3]), element = m[4];
                if (mo < 1 || mo > 12) return here;
                for (int d = 1; d <= 31; ++d) {
                    std::string v = line.substr(21 + 8 * (d - 1), 5);
                    if (!std::regex_match(v, value)) return here;
                    values.emplace_back(d, std::stoi(v), line[21 + 8 * (d - 1) + 6]);
                }
            } else {
                if (!std::regex_match(line, m, csv)) return here;
                id = m[1], y = std::stoi(m[2]), mo = std::stoi(m[3]), element = m[5];
                int d = std::stoi(m[4]);
                if (mo < 1 || mo > 12 || d < 1 || d > 31) return here;
                std::string q = m[8];
                values.emplace_back(d, std::stoi(m[6]), q.empty() ? ' ' : q[0]);
            }
            bool temperature = element == "TMAX" || element == "TMIN";
            for (auto [d, v, q] : values)
                if (!value_ok(v, temperature, y, mo, d)) return here;
            if (!temperature) continue;
            any = true;
            int key_day = is_csv ? std::get<0>(values[0]) : 0;
            if (!seen.insert({id, y, mo, key_day, element}).second) return here;
            if (!of_station.count(id)) {
                of_station[id] = stations.size();
                stations.push_back(station{id, {}, {}});
            }
            station& s = stations[of_station[id]];
            for (auto [d, v, q] : values)
                if (v != -9999) (element == "TMAX" ? s.tmax : s.tmin)[{y, mo, d}] = reading{v, q != ' '};
        }
        if (!any) return rejection{f, 0};
    }
    return std::nullopt;
}

std::string reference_output(const std::vector<station>& stations, const options& o) {
    std::set<std::tuple<int, int, int>> dates;
    for (const station& s : stations) {
        for (const auto& [date, r] : s.tmax) dates.insert(date);
        for (const auto& [date, r] : s.tmin) dates.insert(date);
    }
    std::string out;
    for (const auto& date : dates) {
        if (date < std::make_tuple(1895, 1, 1)) continue;
        if (date > std::make_tuple(o.to_year, o.to_month, o.to_day)) break;
        for (const station& s : stations) {
            auto x = s.tmax.find(date), n = s.tmin.find(date);
            if (x == s.tmax.end() && n == s.tmin.end()) continue;
            double tmax = -999.0, tmin = -999.0;
            if (x != s.tmax.end() && (!x->second.flagged || o.keep_flagged)) tmax = x->second.tenths * 0.18 + 32;
            if (n != s.tmin.end() && (!n->second.flagged || o.keep_flagged)) tmin = n->second.tenths * 0.18 + 32;
            if (!o.keep_lone && (tmax == -999.0) != (tmin == -999.0)) tmax = tmin = -999.0;
            char line[128];
            std::snprintf(line, sizeof line, "%4d%3d%3d%11.4f%11.4f%5d%3d%11.4f%11.4f%5d%3d\n", std::get<0>(date),
                          std::get<1>(date), std::get<2>(date), tmax, 0.0, 0, 0, tmin, 0.0, 0, 0);
            out += line;
            break;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const int to_dates[8][3] = {{9999, 12, 31}, {1895, 1, 1},   {1900, 2, 28},  {1904, 2, 29},
                                       {2000, 12, 31}, {2016, 12, 31}, {1894, 12, 31}, {2100, 3, 1}};
    const int* to = to_dates[(data[0] >> 2) & 7];
    options o{(data[0] & 1) != 0, (data[0] & 2) != 0, to[0], to[1], to[2]};

    std::vector<std::string> files(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] != 0x1e)
            files.back().push_back(static_cast<char>(data[i]));
        else if (files.size() < 4)
            files.emplace_back();
        else
            break;
    }

    ghcn::import_options io;
    io.keep_flagged = o.keep_flagged;
    io.keep_lone = o.keep_lone;
    io.to = core::date{o.to_year, o.to_month, o.to_day};
    ghcn::station_import import(io);
    std::string fast, message;
    bool accepted = true;
    try {
        for (std::size_t f = 0; f < files.size(); ++f) {
            core::line_reader input = core::line_reader::from_text(files[f], "file" + std::to_string(f + 1));
            import.read(input);
        }
        for (const ghcn::day_values& d : import.days()) {
            char line[ghcn::daily_line_size];
            ghcn::format_daily_line(line, d);
            fast.append(line, sizeof line);
        }
    } catch (const core::failure& e) {
        accepted = false;
        message = e.what();
        check(one_printable_line(e.what()), "diagnostic not one printable line");
    }

    std::vector<station> stations;
    std::optional<rejection> r = reference_read(files, stations);
    if (r) {
        check(!accepted, "fast reader accepts what the second reader rejects");
        std::string where = "file" + std::to_string(r->file + 1) +
                            (r->line ? ", line " + std::to_string(r->line) + ", " : ": no TMAX or TMIN line");
        if (message.compare(0, where.size(), where) != 0) {
            std::fprintf(stderr, "fast: %s\nsecond reader: %s\n", message.c_str(), where.c_str());
            fail("fast reader disagrees on the failing file or line");
        }
        return 0;
    }
    if (!accepted) {
        std::fprintf(stderr, "fast: %s\n", message.c_str());
        fail("fast reader rejects what the second reader accepts");
    }
    check(fast == reference_output(stations, o), "fast reader disagrees with the second reader on the output");
    return 0;
}
