// nowreport: how the periods ending on the last day of a daily series rank
// against the same periods of every year since 1895, for the eighteen
// standard durations, printed as one table on standard output.
#include <unistd.h>

#include "core/calendar.hpp"
#include "core/daily_series.hpp"
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "core/window.hpp"

namespace {

int nowreport(int, char**) {
    using namespace core;
    static const layout data_line("(a3,i3,i5,4x,a6,i9,i6,f7.1,f8.2,f8.2,2f7.2)");

    line_reader input(STDIN_FILENO, "standard input");
    daily_series series = read_daily_series(input, 2020);
    const date last = series.last_date;
    const int l = series.last_day_of_year;
    extend_next_year(series, last.year);

    out_stream& out = standard_output();
    write_plain_line(out, "   Date        Duration #years Rank  %tile AvgTemp Anomaly   Low   High");
    ranked_window w;
    for (int i = 0; i < durations_18.size; ++i) {
        int k = durations_18.lengths[i];
        int j = window_start(l, k);
        int e = end_year(j, k, last.year, l);
        window_means(series, j, k, e, w);
        rank_window(w);
        window_status st = window_status_of(w, e);
        write_record(out, data_line,
                     {month_name(last.month), last.day, last.year, durations_18.duration_labels[i],
                      w.nyears, st.cold_rank, st.percentile, st.value, st.anomaly, st.low, st.high});
    }
    return 0;
}

const core::program_help help = {
    "nowreport < SERIES",
    "Ranks the periods of the eighteen standard durations (1 day to 1 year)\n"
    "that end on the last day of a region's daily series, read on standard\n"
    "input, among the same periods of every year since 1895, and prints one\n"
    "table on standard output: a header line, then for each duration the\n"
    "number of years ranked, the rank (1 = coldest), the percentile, the mean,\n"
    "its anomaly and the lowest and highest means on record. Other arguments\n"
    "are ignored.\n",
    "",
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("nowreport", help, nowreport, argc, argv); }
