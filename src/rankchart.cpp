// rankchart: a picture of one window of a region's ranks-all table, every
// ranked year's mean against the year, with one year picked out by its rank
// and mean, written as PNG, SVG or PDF by the output name's extension.
//
// The picture is written into a temporary file beside OUTPUT, created before
// the table is read (so a missing directory fails at once), and renamed over
// OUTPUT only when complete.
#include <unistd.h>

#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "plot/window_chart.hpp"

namespace {

using namespace core;

const program_help help = {
    "rankchart START DURATION YEAR OUTPUT < REGION_ranks_all.txt",
    "Draws the window of START and DURATION from the ranks-all table on standard\n"
    "input: every ranked year's mean as a bar from the mean of all years, YEAR\n"
    "picked out with its rank (\"3rd warmest of 122\") and its mean.\n",
    "  START     start day of the window, 1 to 365 (its first five characters)\n"
    "  DURATION  duration of the window in days, 1 to 365 (its first five characters)\n"
    "  YEAR      the year to pick out, 1895 to 2020 (its first four characters)\n"
    "  OUTPUT    the picture to write; .png, .svg or .pdf names its format\n",
};

int rankchart(int argc, char** argv) {
    static const layout day_field("(i5)");
    static const layout year_field("(i4)");
    std::string start_text = fixed_argument(argc, argv, 1, 40);
    std::string duration_text = fixed_argument(argc, argv, 2, 40);
    std::string year_text = fixed_argument(argc, argv, 3, 40);
    std::string output = argc > 4 ? argv[4] : "";
    if (is_blank(start_text) || is_blank(duration_text) || is_blank(year_text) || is_blank(output)) {
        write_plain_line(standard_output(),
                         "<START_DAY> <DURATION_#DAYS> <YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)");
        end_run();
    }
    std::int32_t start = read_argument_in_range(start_text, day_field, 1, "start day", 1, 365);
    std::int32_t duration = read_argument_in_range(duration_text, day_field, 2, "duration", 1, 365);
    std::int32_t year = read_argument_in_range(year_text, year_field, 3, "year", 1895, 2020);
    plot::picture_file picture(output, 4);

    line_reader input(STDIN_FILENO, "standard input");
    plot::window_ranks window = plot::read_window_ranks(input, start, duration, year);
    plot::draw_window_chart(window, picture.format(), picture.out());
    picture.commit();
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("rankchart", help, rankchart, argc, argv); }
