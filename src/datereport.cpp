// datereport: how the periods ending on a requested date rank against the
// same periods of every year since 1895, for the eleven standard durations,
// written to a rank file and a series file named with the region and
// today's date.
#include <unistd.h>

#include "core/calendar.hpp"
#include "core/daily_series.hpp"
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "core/status_files.hpp"
#include "core/window.hpp"

namespace {

constexpr int last_stored_year = 2020;

int datereport(int argc, char** argv) {
    using namespace core;
    std::vector<std::string> args = take_arguments(argc, argv, 4);
    check_usage(args, {1, 2, 3, 4}, "USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File");
    const date requested = read_requested_date(args);
    if (requested.year < first_year || requested.year > last_stored_year)
        throw failure("argument 1: year " + std::to_string(requested.year) + " is outside " +
                      std::to_string(first_year) + " to " + std::to_string(last_stored_year) +
                      ", the years the series holds");
    const int d = checked_day_of_year(requested);
    const std::string today = today_ccyymmdd();
    const std::string region(without_trailing_blanks(args[3]));
    const output_names names = form_output_names(region + "_ranks_" + today + ".txt", region + "_ts_" + today + ".txt");

    line_reader input(STDIN_FILENO, "standard input");
    daily_series series = read_daily_series(input, last_stored_year);
    extend_next_year(series, requested.year);

    status_files files(names);
    ranked_window w;
    for (int i = 0; i < durations_11.size; ++i) {
        const int k = durations_11.lengths[i];
        const std::string_view label = durations_11.duration_labels[i];
        const int j = window_start(d, k);
        const int e = end_year(j, k, requested.year, d);
        // A period that reaches back across 1 January is labelled by the
        // year in which it ends.
        const int label_shift = j > d ? 1 : 0;
        window_means(series, j, k, e, w);
        rank_window(w);
        for (int p = 1; p <= w.filled(); ++p)
            files.series_line(label, w.nyears - p + 1, w.year[static_cast<std::size_t>(p - 1)] + label_shift,
                              w.mean[static_cast<std::size_t>(p - 1)]);
        // With no year to rank (a request in 1895 whose period reaches back
        // into 1894) the ranks are 0 and the value and anomaly NaN.
        const window_status st = window_status_of(w, e);
        files.rank_line(requested, label, w.filled(), st.cold_rank, st.warm_rank, st.value, st.anomaly);
    }
    files.commit();
    return 0;
}

const core::program_help help = {
    "datereport YY MM DD REGION < SERIES",
    "Ranks the periods of the eleven standard durations (1 day to 1 year) that\n"
    "end on the date YY MM DD among the same periods of every year since 1895,\n"
    "from a region's daily series on standard input, and writes the rank file\n"
    "REGION_ranks_CCYYMMDD.txt and the series file REGION_ts_CCYYMMDD.txt\n"
    "(CCYYMMDD: today's date) into the current directory. A blank argument\n"
    "prints the usage line and reads nothing.\n",
    "  YY      year, 1895 to 2020 (its first four characters)\n"
    "  MM      month, 1 to 12 (its first two characters)\n"
    "  DD      day of the month (its first two characters)\n"
    "  REGION  the start of both file names; may hold a directory part\n",
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("datereport", help, datereport, argc, argv); }
