// make_series: writes a synthetic daily series in the daily record layout,
// one line per calendar day, for samples, tests and benchmarks.
//
//   make_series [--from YYYY-MM-DD] [--to YYYY-MM-DD] [--seed N]
//               [--missing-tmax P] [--missing-tmin P]
//
// Defaults: 1895-01-01 to 2016-12-31, seed 1, no missing values. Values
// follow a seasonal cycle with day-to-day noise, in whole hundredths, so the
// same arguments always give the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::uint64_t state = 1;
double uniform() {
    // splitmix64
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 9007199254740992.0;
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int month_days(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

bool parse_date(const char* s, int& y, int& m, int& d) { return std::sscanf(s, "%d-%d-%d", &y, &m, &d) == 3; }

}  // namespace

int main(int argc, char** argv) {
    int y0 = 1895, m0 = 1, d0 = 1, y1 = 2016, m1 = 12, d1 = 31;
    double miss_max = 0.0, miss_min = 0.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* opt = argv[i];
        const char* val = argv[i + 1];
        bool ok = true;
        if (!std::strcmp(opt, "--from")) ok = parse_date(val, y0, m0, d0);
        else if (!std::strcmp(opt, "--to")) ok = parse_date(val, y1, m1, d1);
        else if (!std::strcmp(opt, "--seed")) state = std::strtoull(val, nullptr, 10);
        else if (!std::strcmp(opt, "--missing-tmax")) miss_max = std::atof(val);
        else if (!std::strcmp(opt, "--missing-tmin")) miss_min = std::atof(val);
        else ok = false;
        if (!ok) {
            std::fprintf(stderr, "make_series: bad option %s %s\n", opt, val);
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fprintf(stderr, "make_series: option %s has no value\n", argv[argc - 1]);
        return 2;
    }
    int y = y0, m = m0, d = d0, doy = 0;
    for (int mm = 1; mm < m; ++mm) doy += month_days(y, mm);
    doy += d;
    double anomaly = 0.0;
    for (;;) {
        double season = std::cos(2.0 * 3.14159265358979 * (doy - 200) / 365.25);
        anomaly = 0.8 * anomaly + 4.0 * (uniform() - 0.5);
        double trend = 0.01 * (y - 1895);
        double mid = 52.0 + 22.0 * season + anomaly + trend;
        double range = 18.0 + 6.0 * uniform();
        double tmax = std::round((mid + range / 2) * 100.0) / 100.0;
        double tmin = std::round((mid - range / 2) * 100.0) / 100.0;
        if (uniform() < miss_max) tmax = -999.0;
        if (uniform() < miss_min) tmin = -999.0;
        std::printf("%4d%3d%3d%11.4f%11.4f%5d%3d%11.4f%11.4f%5d%3d\n", y, m, d, tmax, 0.0, 0, 0, tmin, 0.0, 0, 0);
        if (y == y1 && m == m1 && d == d1) break;
        if (++d > month_days(y, m)) {
            d = 1;
            if (++m > 12) {
                m = 1;
                ++y;
                doy = 0;
            }
        }
        ++doy;
        if (y > 9999) break;
    }
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
