// lowreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, by the mean
// of TMIN alone (a day counts by its TMIN value), written to the files
// region_ranks and region_ts.
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/period_of_record.hpp"

namespace {

int lowreport(int argc, char** argv) {
    core::run_region_report(argc, argv, core::rule_tmin_by_tmin);
    return 0;
}

const core::program_help help = {
    "lowreport YY MM DD REGION < SERIES",
    "Ranks the periods of the eleven standard durations (1 day to 1 year) that\n"
    "end on the date YY MM DD within the whole record, 1895 to the last year of\n"
    "a region's daily series on standard input, by the mean of TMIN alone (a\n"
    "day counts when its TMIN value is present), and writes the rank file\n"
    "REGION_ranks and the series file REGION_ts into the current directory (the\n"
    "names spanreport and highreport use). A date at or after the series' last\n"
    "date in each of year, month and day is replaced by that last date. A blank\n"
    "argument prints the usage line and reads nothing.\n",
    core::region_report_arguments,
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("lowreport", help, lowreport, argc, argv); }
