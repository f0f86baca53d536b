// spanreport: how the periods ending on a requested date (or on the last
// date of the input) rank within the whole period of record, by the daily
// mean of TMAX and TMIN, written to the files region_ranks and region_ts.
#include "core/failure.hpp"
#include "core/period_of_record.hpp"

namespace {

int spanreport(int argc, char** argv) {
    core::run_region_report(argc, argv, core::rule_mean);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("spanreport", spanreport, argc, argv); }
