// elemreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, for the
// element named on the command line (TAVG, TMIN or TMAX; a day counts by
// its TMAX value), written to region_ELEM_ranks and region_ELEM_ts.
#include "core/failure.hpp"
#include "core/options.hpp"
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

const core::program_help help = {
    "elemreport YY MM DD ELEM REGION < SERIES",
    "Ranks the periods of the eleven standard durations (1 day to 1 year) that\n"
    "end on the date YY MM DD within the whole record, 1895 to the last year of\n"
    "a region's daily series on standard input, by the mean of the element\n"
    "ELEM, and writes the rank file REGION_ELEM_ranks and the series file\n"
    "REGION_ELEM_ts into the current directory. A date at or after the series'\n"
    "last date in each of year, month and day is replaced by that last date. A\n"
    "blank argument other than ELEM prints the usage line and reads nothing.\n",
    "  YY      year (its first four characters)\n"
    "  MM      month, 1 to 12 (its first two characters)\n"
    "  DD      day of the month (its first two characters)\n"
    "  ELEM    TAVG (the mean of TMAX and TMIN), TMIN or TMAX, in capitals; any\n"
    "          other text adds nothing, so every value is 0\n"
    "  REGION  the start of both file names; may hold a directory part\n",
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("elemreport", help, elemreport, argc, argv); }
