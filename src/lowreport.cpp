// lowreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, by the mean
// of TMIN alone (a day counts by its TMIN value), written to the files
// region_ranks and region_ts.
#include "core/failure.hpp"
#include "core/period_of_record.hpp"
#include "core/record.hpp"

namespace {

int lowreport(int argc, char** argv) {
    using namespace core;
    std::vector<std::string> args = take_arguments(argc, argv, 4);
    check_usage(args, {1, 2, 3, 4}, "USAGE: <YY> <MM> <DD> <STATE/REGION> < Input File");
    const date requested = read_requested_date(args);
    checked_day_of_year(requested);
    const std::string region(without_trailing_blanks(args[3]));
    run_period_of_record(requested, form_output_names(region + "_ranks", region + "_ts"), rule_tmin_by_tmin);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("lowreport", lowreport, argc, argv); }
