// lowreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, by the mean
// of TMIN alone (a day counts by its TMIN value), written to the files
// region_ranks and region_ts.
#include "core/failure.hpp"
#include "core/period_of_record.hpp"

namespace {

int lowreport(int argc, char** argv) {
    core::run_region_report(argc, argv, core::rule_tmin_by_tmin);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("lowreport", lowreport, argc, argv); }
