// spanreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, by the daily
// mean of TMAX and TMIN, written to the files region_ranks and region_ts.
#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/period_of_record.hpp"

namespace {

int spanreport(int argc, char** argv) {
    core::run_region_report(argc, argv, core::rule_mean);
    return 0;
}

const core::program_help help = {
    "spanreport YY MM DD REGION < SERIES",
    "Ranks the periods of the eleven standard durations (1 day to 1 year) that\n"
    "end on the date YY MM DD within the whole record, 1895 to the last year of\n"
    "a region's daily series on standard input, by the daily mean of TMAX and\n"
    "TMIN, and writes the rank file REGION_ranks and the series file REGION_ts\n"
    "into the current directory. A date at or after the series' last date in\n"
    "each of year, month and day is replaced by that last date. A blank\n"
    "argument prints the usage line and reads nothing.\n",
    core::region_report_arguments,
};

}  // namespace

int main(int argc, char** argv) { return core::run_program("spanreport", help, spanreport, argc, argv); }
