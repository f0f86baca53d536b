// The rank map: one year's standing in every window of a table, start day
// across and duration up (a log axis, so the short windows a week or a
// month long get room), each window coloured by the year's percentile on a
// diverging scale, records and windows without a rank in colours of their
// own, with a title, axes and a colour bar.
#pragma once

#include "core/io.hpp"
#include "plot/canvas.hpp"
#include "plot/ranks.hpp"

namespace plot {

// Where the map stands in the picture, in pixels of the PNG, and which
// window each of its pixels shows.
struct map_layout {
    int width = 1600, height = 1200;
    // The plot: 3 pixels a start day, start day 1 at the left.
    int plot_x = 130, plot_y = 130, plot_w = 3 * core::table_days, plot_h = 960;

    // The window shown at pixel (x, y) of the picture; false outside the
    // plot. A pixel row shows the duration whose band holds its top edge.
    bool window_at(int x, int y, int& start_day, int& duration) const;
    // The picture's y of the middle of duration k's band.
    double duration_middle(int k) const;
    // The picture's x of the left edge of start day j's column.
    double start_day_left(int j) const { return plot_x + 3.0 * (j - 1); }
};
extern const map_layout rank_map_layout;

// The colours of the map.
extern const rgb warmest_colour;     // the year is the warmest of the window's years
extern const rgb coldest_colour;     // the coldest
extern const rgb not_ranked_colour;  // not ranked there, or without a mean
// The diverging scale: deep blue at 0, neutral at 50, deep red at 100.
rgb percentile_colour(double p);
rgb map_colour(const year_standing& s);

// Draws the rank map of `grid` and writes it to `out`.
void draw_rank_map(const rank_grid& grid, image_format format, core::out_stream& out);

}  // namespace plot
