// elemreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, for the
// element named on the command line (TAVG, TMIN or TMAX; a day counts by
// its TMAX value), written to region_ELEM_ranks and region_ELEM_ts.
#include "core/failure.hpp"
#include "core/period_of_record.hpp"
#include "core/record.hpp"

namespace {

int elemreport(int argc, char** argv) {
    using namespace core;
    std::vector<std::string> args = take_arguments(argc, argv, 5);
    // The element is not tested: a blank one runs as an unrecognised element.
    check_usage(args, {1, 2, 3, 5}, "USAGE: <YY> <MM> <DD> <ELEM> <STATE/REGION> < Input File ");
    const date requested = read_requested_date(args);
    checked_day_of_year(requested);
    const std::string element(without_trailing_blanks(args[3]));
    const std::string region(without_trailing_blanks(args[4]));
    const std::string stem = region + "_" + element;
    run_period_of_record(requested, form_output_names(stem + "_ranks", stem + "_ts"), rule_of_element(element));
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("elemreport", elemreport, argc, argv); }
