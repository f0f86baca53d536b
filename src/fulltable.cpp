// fulltable: ranks every window of the year (start day 1 to 365 by duration
// 1 to 365 days) of one region's daily series against the years since 1895
// and writes the region's ranks-all table into the table directory: the one
// named by RANKS_ALL_DIR when that is set and not empty, else the output
// directory set at build time.
//
// The table is written into a temporary file beside its target, created
// before any input is read (so a missing or read-only directory fails at
// once), and renamed over the target only after its last line: a run that
// fails on its input or on a write leaves an earlier table as it was.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "core/daily_series.hpp"
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/ranks_all_table.hpp"
#include "core/record.hpp"
#include "core/table_directory.hpp"
#include "core/threads.hpp"

#ifndef FULLTABLE_OUTPUT_DIR
#error "FULLTABLE_OUTPUT_DIR must name the output directory, ending in /"
#endif

namespace {

constexpr const char output_dir[] = FULLTABLE_OUTPUT_DIR;
constexpr const char suffix[] = "datasets/daily_anomalies/by_state/ranks/results_all/";
// The whole file name must fit its field of 1,024 characters.
static_assert(sizeof output_dir - 1 + 2 + std::strlen("_ranks_all.txt") <= core::table_name_field,
              "output directory too long for the table's file name");

constexpr bool ends_with_suffix() {
    std::size_t n = sizeof output_dir - 1, m = sizeof suffix - 1;
    if (n < m) return false;
    for (std::size_t i = 0; i < m; ++i)
        if (output_dir[n - m + i] != suffix[i]) return false;
    return true;
}
static_assert(ends_with_suffix(), "output directory must end in datasets/daily_anomalies/by_state/ranks/results_all/");

// The last year the table's daily series stores.
constexpr int store_last_year = 2016;

int fulltable(int argc, char** argv) {
    using namespace core;
    const int threads = thread_count("FULLTABLE_THREADS");
    std::string region = fixed_argument(argc, argv, 1, 2);
    // A slash would put the table under another name or directory.
    if (region.find('/') != std::string::npos)
        throw failure("argument 1: region code " + quoted(region) + " holds a '/'");
    const std::string dir = table_directory(std::getenv(table_directory_variable), output_dir);
    replacement_file table(ranks_all_name(dir, region));

    line_reader input(STDIN_FILENO, "standard input");
    daily_series series = read_daily_series(input, store_last_year);
    extend_next_year(series, series.last_date.year);

    write_ranks_all_table(series, table, threads);
    table.commit();
    return 0;
}

const core::program_help help = {
    "fulltable RG < SERIES",
    "Ranks every window of the year (start day 1 to 365 by duration 1 to 365\n"
    "days) of a region's daily series on standard input (1895 to 2016) against\n"
    "every year since 1895, and writes the ranks-all table RG_ranks_all.txt\n"
    "(266,450 lines, two per window) into the table directory. The table is\n"
    "put in place only once it is complete.\n",
    "  RG  region code: the first two characters (a shorter one is padded with\n"
    "      blanks); it may not hold a '/'\n",
    "  RANKS_ALL_DIR  the table directory, which must exist; when unset or\n"
    "                 empty, the directory fixed at build time:\n"
    "                 " FULLTABLE_OUTPUT_DIR "\n"
    "  FULLTABLE_THREADS  at most this many threads (a positive whole number);\n"
    "                 when unset or empty, the cores available (up to 8)\n",
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("fulltable", help, fulltable, argc, argv); }
