// rankmap: a picture of how one year ranks in every window of a region's
// ranks-all table (start day across, duration up), written as PNG, SVG or
// PDF by the output name's extension.
//
// The picture is written into a temporary file beside OUTPUT, created before
// the table is read (so a missing directory fails at once), and renamed over
// OUTPUT only when complete.
#include <unistd.h>

#include "core/failure.hpp"
#include "core/options.hpp"
#include "core/record.hpp"
#include "plot/rank_map.hpp"

namespace {

using namespace core;

const program_help help = {
    "rankmap YEAR OUTPUT < REGION_ranks_all.txt",
    "Draws how YEAR ranks in every window of the ranks-all table on standard input:\n"
    "start day across, duration up, each window coloured by YEAR's percentile among\n"
    "its ranked years, with the windows where YEAR is the warmest or the coldest of\n"
    "all in colours of their own.\n",
    "  YEAR    the year to draw, 1895 to 2020 (its first four characters)\n"
    "  OUTPUT  the picture to write; .png, .svg or .pdf names its format\n",
};

int rankmap(int argc, char** argv) {
    static const layout year_field("(i4)");
    std::string year_text = fixed_argument(argc, argv, 1, 40);
    std::string output = argc > 2 ? argv[2] : "";
    if (is_blank(year_text) || is_blank(output)) {
        write_plain_line(standard_output(), "<YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)");
        end_run();
    }
    std::int32_t year = read_argument_in_range(year_text, year_field, 1, "year", 1895, 2020);
    plot::picture_file picture(output, 2);

    line_reader input(STDIN_FILENO, "standard input");
    plot::rank_grid grid = plot::read_rank_grid(input, year);
    plot::draw_rank_map(grid, picture.format(), picture.out());
    picture.commit();
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return core::run_program("rankmap", help, rankmap, argc, argv); }
