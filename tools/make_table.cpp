// make_table: writes a complete ranks-all table (266,450 lines) of random
// cells to standard output, for benchmarks.
//
//   make_table [--seed N]
//
// Each cell has the count of ranked years a table built from a series ending
// on 31 December 2015 has (121 when the window ends within the year, else
// 120), ascending means in whole hundredths, a permutation of the years, and
// the filler above the count. The same seed always gives the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "core/record.hpp"

namespace {

std::uint64_t state = 1;
std::uint64_t next_random() {
    // splitmix64
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

int make_table(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            state = std::strtoull(argv[++i], nullptr, 10);
        else
            throw core::failure("usage: make_table [--seed N]");
    }
    static const core::layout means_line("(3i5,140f10.2)");
    static const core::layout years_line("(3i5,140i10)");
    core::out_stream& out = core::standard_output();
    std::vector<core::value> means, years;
    std::vector<int> hundredths;
    std::vector<std::int32_t> order;
    for (std::int32_t j = 1; j <= 365; ++j) {
        for (std::int32_t k = 1; k <= 365; ++k) {
            std::int32_t n = j + k - 1 <= 365 ? 121 : 120;
            hundredths.clear();
            for (int p = 0; p < n; ++p) hundredths.push_back(static_cast<int>(next_random() % 6001) - 2000);
            std::sort(hundredths.begin(), hundredths.end());
            order.clear();
            for (int p = 0; p < n; ++p) order.push_back(1895 + p);
            for (int p = n - 1; p > 0; --p)
                std::swap(order[static_cast<std::size_t>(p)], order[next_random() % static_cast<std::uint64_t>(p + 1)]);
            means.assign({j, k, n});
            years.assign({j, k, n});
            for (int p = 0; p < 140; ++p) {
                bool filled = p < n;
                means.emplace_back(filled ? static_cast<float>(hundredths[static_cast<std::size_t>(p)]) / 100.0f : -999.0f);
                years.emplace_back(filled ? order[static_cast<std::size_t>(p)] : std::int32_t{-999});
            }
            core::write_record(out, means_line, means);
            core::write_record(out, years_line, years);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("make_table", make_table, argc, argv); }
