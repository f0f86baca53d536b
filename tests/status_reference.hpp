// Deliberately simple second implementations of the dated and the
// period-of-record status reports, written straight from their rules (a
// plain bubble sort, plain loops, direct formatting), for comparing the
// programs' files byte for byte on generated inputs. Also a small generator
// of daily series with gaps and missing values.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support.hpp"

namespace reference {

inline bool leap(int y) { return y % 4 == 0 && y != 1900; }
inline int day_of_year(int y, int m, int d) {
    static const int dy[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    static const int dyl[13] = {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335};
    return (leap(y) ? dyl : dy)[m] + d;
}

const int lengths[11] = {1, 3, 4, 7, 14, 21, 30, 90, 182, 273, 365};
const char* const labels[11] = {" 1-day", " 3-day", " 4-day", "1-week", "2-week", "3-week",
                                " 1-mon", " 3-mon", " 6-mon", " 9-mon", "1-year"};
const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";

struct series {
    float tmax[126][733];
    float tmin[126][733];
    int ly = 0, lm = 0, ln = 0;
};

// Loads lines written by daily_line (fixed columns, values with a point).
inline std::unique_ptr<series> load(const std::string& text) {
    auto s = std::make_unique<series>();
    for (int y = 0; y < 126; ++y)
        for (int d = 0; d < 733; ++d) s->tmax[y][d] = s->tmin[y][d] = -999.0f;
    for (const std::string& line : test_support::lines_of(text)) {
        int y = std::atoi(line.substr(0, 4).c_str());
        int m = std::atoi(line.substr(4, 3).c_str());
        int d = std::atoi(line.substr(7, 3).c_str());
        float tx = std::strtof(line.substr(10, 11).c_str(), nullptr);
        float tn = std::strtof(line.substr(40, 11).c_str(), nullptr);
        if (y < 1895) continue;
        int n = day_of_year(y, m, d);
        s->tmax[y - 1895][n] = tx;
        s->tmin[y - 1895][n] = tn;
        s->ly = y;
        s->lm = m;
        s->ln = d;
    }
    return s;
}

inline void extend(series& s, int bound) {
    for (int y = 1895; y <= bound - 1 && y < 2020; ++y) {
        int n = leap(y) ? 366 : 365;
        for (int j = 1; j <= 365; ++j) {
            s.tmax[y - 1895][n + j] = s.tmax[y + 1 - 1895][j];
            s.tmin[y - 1895][n + j] = s.tmin[y + 1 - 1895][j];
        }
    }
}

inline std::string fmt_int(int w, long long v) {
    std::string t = std::to_string(v);
    if (static_cast<int>(t.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - t.size(), ' ') + t;
}

// Rounds the exact value (v * 10^d is exact in double for these widths),
// a tie away from zero.
inline std::string fmt_real(int w, int d, float v) {
    std::string t;
    if (std::isnan(v)) {
        t = "NaN";
    } else {
        double scaled = static_cast<double>(v) * std::pow(10.0, d);
        long long r = std::llround(std::fabs(scaled));
        std::string digits = std::to_string(r);
        while (static_cast<int>(digits.size()) <= d) digits = "0" + digits;
        t = digits.substr(0, digits.size() - static_cast<std::size_t>(d)) + "." +
            digits.substr(digits.size() - static_cast<std::size_t>(d));
        if (std::signbit(v)) t = "-" + t;
    }
    if (static_cast<int>(t.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - t.size(), ' ') + t;
}

inline std::string rank_line(int month, int day, int year, int i, int n, int cold, int warm, float value,
                             float anomaly) {
    return std::string(months + 3 * (month - 1), 3) + fmt_int(3, day) + fmt_int(5, year) + "    " + labels[i] +
           fmt_int(9, n) + fmt_int(7, cold) + fmt_int(7, warm) + fmt_real(8, 2, value) + fmt_real(8, 2, anomaly) +
           "\n";
}

inline std::string series_line(int i, int warm, int year, float v) {
    return std::string(labels[i]) + " " + fmt_int(4, warm) + " " + fmt_int(4, year) + " " + fmt_real(10, 4, v) +
           "\n";
}

const char* const header = "       Date  Duration   #years  CRank  WRank   Value Anomaly\n";

struct files {
    std::string ranks, ts;
};

inline int start_day(int e, int k) {
    int j = e - k + 1;
    if (j <= 0) j = j + 365;
    return j;
}

inline int end_year(int j, int k, int r, int d) {
    if (d < j) {
        if (d + 365 < j + k - 1) return r - 2;
        return r - 1;
    }
    if (d < j + k - 1) return r - 1;
    return r;
}

inline void bubble(std::vector<float>& v, std::vector<int>& tag) {
    int n = static_cast<int>(v.size());
    for (int pass = 0; pass < n; ++pass)
        for (int i = 0; i + 1 < n; ++i)
            if (v[static_cast<std::size_t>(i)] > v[static_cast<std::size_t>(i + 1)]) {
                std::swap(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i + 1)]);
                std::swap(tag[static_cast<std::size_t>(i)], tag[static_cast<std::size_t>(i + 1)]);
            }
}

// The dated report for the request (y, m, n).
inline files datereport(const series& loaded, int y, int m, int n) {
    auto s = std::make_unique<series>(loaded);
    extend(*s, y);
    int d = day_of_year(y, m, n);
    files out;
    out.ranks = header;
    for (int i = 0; i < 11; ++i) {
        int k = lengths[i];
        int j = start_day(d, k);
        int e = end_year(j, k, y, d);
        int count = e - 1894;
        std::vector<float> mean;
        std::vector<int> tag;
        for (int yr = 1895; yr <= e; ++yr) {
            float sum = 0.0f;
            int nsum = 0;
            for (int slot = j; slot <= j + k - 1; ++slot) {
                if (s->tmax[yr - 1895][slot] > -998.0f) {
                    float both = s->tmax[yr - 1895][slot] + s->tmin[yr - 1895][slot];
                    float half = 0.5f * both;
                    sum = sum + half;
                    nsum = nsum + 1;
                }
            }
            mean.push_back(sum / static_cast<float>(nsum));
            tag.push_back(yr);
        }
        bubble(mean, tag);
        float acc = 0.0f;
        int cold = 0;
        float value = NAN;
        for (int p = 1; p <= count; ++p) {
            acc = acc + mean[static_cast<std::size_t>(p - 1)];
            if (tag[static_cast<std::size_t>(p - 1)] == e) {
                cold = p;
                value = mean[static_cast<std::size_t>(p - 1)];
            }
            out.ts += series_line(i, count - p + 1, tag[static_cast<std::size_t>(p - 1)] + (j > d ? 1 : 0),
                                  mean[static_cast<std::size_t>(p - 1)]);
        }
        if (count <= 0) {
            out.ranks += rank_line(m, n, y, i, 0, 0, 0, NAN, NAN);
            continue;
        }
        float average = acc / static_cast<float>(count);
        float anomaly = value - average;
        out.ranks += rank_line(m, n, y, i, count, cold, count - cold + 1, value, anomaly);
    }
    return out;
}

// The rows of the element table.
enum class rule { span, high, low, elem_tavg, elem_tmin, elem_tmax, elem_other };

// The period-of-record report for the request (y, m, n) with one row of the table.
inline files period_of_record(const series& loaded, int y, int m, int n, rule r) {
    auto s = std::make_unique<series>(loaded);
    if (s->ly <= y && s->lm <= m && s->ln <= n) {
        y = s->ly;
        m = s->lm;
        n = s->ln;
    }
    int d = day_of_year(y, m, n);
    extend(*s, s->ly);
    files out;
    out.ranks = header;
    for (int i = 0; i < 11; ++i) {
        int k = lengths[i];
        int j = start_day(d, k);
        int e = end_year(j, k, s->ly, d);
        int c = end_year(j, k, y, d);
        int count = e - 1894;
        std::vector<float> v;
        std::vector<int> tag;
        for (int yr = 1895; yr <= e; ++yr) {
            float sum = 0.0f;
            int nsum = 0;
            for (int slot = j + k - 1; slot >= j; --slot) {
                float tx = s->tmax[yr - 1895][slot];
                float tn = s->tmin[yr - 1895][slot];
                bool counts = r == rule::low ? tn > -998.0f : tx > -998.0f;
                if (!counts) continue;
                if (r == rule::span || r == rule::elem_tavg) {
                    float both = tx + tn;
                    float half = 0.5f * both;
                    sum = sum + half;
                } else if (r == rule::high || r == rule::elem_tmax) {
                    sum = sum + tx;
                } else if (r == rule::low || r == rule::elem_tmin) {
                    sum = sum + tn;
                }
                nsum = nsum + 1;
            }
            if (sum > 0.0f)
                v.push_back(sum / static_cast<float>(nsum));
            else
                v.push_back(sum);
            tag.push_back(yr);
        }
        bubble(v, tag);
        float value = -9999.0f;
        int cold = -9999, warm = -9999;
        float total = 0.0f;
        for (int p = 1; p <= count; ++p) {
            float vp = v[static_cast<std::size_t>(p - 1)];
            int yp = tag[static_cast<std::size_t>(p - 1)];
            float shown = -999.0f;
            if (vp >= 0.0f) {
                total = total + vp;
                shown = vp;
            }
            if (yp == c && vp > 0.0f) {
                cold = p;
                warm = count - p + 1;
                value = vp;
            }
            out.ts += series_line(i, count - p + 1, j > d ? yp + 1 : yp, shown);
        }
        float anomaly;
        if (value == -9999.0f) {
            anomaly = -9999.0f;
        } else {
            float average = total / static_cast<float>(count);
            anomaly = value - average;
        }
        out.ranks += rank_line(m, n, y, i, count < 0 ? 0 : count, cold, warm, value, anomaly);
    }
    return out;
}

inline files datereport(const std::string& input, int y, int m, int n) { return datereport(*load(input), y, m, n); }
inline files period_of_record(const std::string& input, int y, int m, int n, rule r) {
    return period_of_record(*load(input), y, m, n, r);
}

// A daily series of whole hundredths from (y0, 1 Jan) to (y1, m1, d1), with
// some days absent, some TMAX or TMIN values missing and some values below
// zero, from a fixed seed.
inline std::string generated(int y0, int y1, int m1, int d1, unsigned seed) {
    static const int mdays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::uint64_t st = seed;
    auto next = [&st]() {
        st = st * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(st >> 33);
    };
    std::string text;
    for (int y = y0; y <= y1; ++y)
        for (int m = 1; m <= 12; ++m) {
            int len = mdays[m - 1] + (m == 2 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 1 : 0);
            for (int d = 1; d <= len; ++d) {
                if (y == y1 && (m > m1 || (m == m1 && d > d1))) return text;
                unsigned r = next() % 1000;
                if (r < 3) continue;  // absent day
                double season = 30.0 * std::sin((m * 30 + d) * 0.0172) + 10.0;
                double tx = std::round((season + (next() % 2000) / 100.0 - 5.0) * 100.0) / 100.0;
                double tn = std::round((tx - 15.0 + (next() % 1000) / 100.0) * 100.0) / 100.0;
                if (r < 8) tx = -999.0;
                else if (r < 14) tn = -999.0;
                text += test_support::daily_line(y, m, d, tx, tn);
            }
        }
    return text;
}

}  // namespace reference
