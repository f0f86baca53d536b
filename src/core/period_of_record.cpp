#include "core/period_of_record.hpp"

#include <unistd.h>

#include "core/calendar.hpp"
#include "core/io.hpp"
#include "core/record.hpp"

namespace core {

date reference_date(const date& requested, const date& last) {
    if (last.year <= requested.year && last.month <= requested.month && last.day <= requested.day) return last;
    return requested;
}

day_rule rule_of_element(std::string_view element) {
    std::string_view name = without_trailing_blanks(element);
    if (name == "TAVG") return rule_mean;
    if (name == "TMIN") return rule_tmin_by_tmax;
    if (name == "TMAX") return rule_tmax;
    return rule_nothing;
}

void write_period_of_record(daily_series& series, const date& requested, day_rule rule, status_files& files) {
    const date ref = reference_date(requested, series.last_date);
    const int d = static_cast<int>(day_of_year(ref.year, ref.month, ref.day));
    const int last_year = series.last_date.year;
    extend_next_year(series, last_year);

    ranked_window w;
    for (int i = 0; i < durations_11.size; ++i) {
        const int k = durations_11.lengths[i];
        const std::string_view label = durations_11.duration_labels[i];
        const int j = window_start(d, k);
        const int e = end_year(j, k, last_year, d);
        const int current = end_year(j, k, ref.year, d);
        const int label_shift = j > d ? 1 : 0;

        // Each year's value: the days added from the last one down, the sum
        // divided by the count only when it is positive.
        w.nyears = e - (first_year - 1);
        for (int y = first_year; y <= e; ++y) {
            window_sum s = sum_window(series, y, j, k, rule, day_order::descending);
            std::size_t at = static_cast<std::size_t>(y - first_year);
            w.mean[at] = s.sum > 0.0f ? s.sum / static_cast<float>(s.count) : s.sum;
            w.year[at] = y;
        }
        rank_window(w);

        // A value enters the total (and shows in the series file) when it is
        // zero or more; the current year is ranked only with a positive one.
        bool ranked = false;
        std::int32_t cold = no_rank, warm = no_rank;
        float value = no_value;
        float total = 0.0f;
        for (int p = 1; p <= w.filled(); ++p) {
            float v = w.mean[static_cast<std::size_t>(p - 1)];
            std::int32_t y = w.year[static_cast<std::size_t>(p - 1)];
            float shown = missing;
            if (v >= 0.0f) {
                total = total + v;
                shown = v;
            }
            if (y == current && v > 0.0f) {
                ranked = true;
                cold = p;
                warm = w.nyears - p + 1;
                value = v;
            }
            files.series_line(label, w.nyears - p + 1, y + label_shift, shown);
        }
        float anomaly = no_value;
        if (ranked) {
            float average = total / static_cast<float>(w.nyears);
            anomaly = value - average;
        }
        files.rank_line(ref, label, w.nyears, cold, warm, value, anomaly);
    }
}

void run_period_of_record(const date& requested, const output_names& names, day_rule rule) {
    line_reader input(STDIN_FILENO, "standard input");
    daily_series series = read_daily_series(input, 2020);
    status_files files(names);
    write_period_of_record(series, requested, rule, files);
    files.commit();
}

const char* const region_report_arguments =
    "  YY      year (its first four characters)\n"
    "  MM      month, 1 to 12 (its first two characters)\n"
    "  DD      day of the month (its first two characters)\n"
    "  REGION  the start of both file names; may hold a directory part\n";

void run_region_report(int argc, char** argv, day_rule rule) {
    std::vector<std::string> args = take_arguments(argc, argv, 4);
    check_usage(args, {1, 2, 3, 4}, "USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File");
    const date requested = read_requested_date(args);
    checked_day_of_year(requested);
    const std::string region(without_trailing_blanks(args[3]));
    run_period_of_record(requested, form_output_names(region + "_ranks", region + "_ts"), rule);
}

}  // namespace core
