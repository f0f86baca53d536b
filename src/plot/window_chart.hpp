// The window chart: one window's mean in every ranked year, a bar per year
// from the mean of all years to the year's own mean (warm colours above,
// cold below), the chart's year picked out with its rank and mean written
// beside it, and the mean of all years as a dashed line.
#pragma once

#include <string>
#include <vector>

#include "core/io.hpp"
#include "plot/canvas.hpp"
#include "plot/ranks.hpp"

namespace plot {

struct chart_layout {
    int width = 1600, height = 1000;
    int plot_x = 130, plot_y = 190, plot_w = 1330, plot_h = 660;
};
extern const chart_layout window_chart_layout;

// The title: which days the window covers, and the years ranked.
std::string chart_title(const window_ranks& w);
// The lines written beside the chart's year: "2012: 3rd warmest of 122"
// and "mean 77.85".
std::vector<std::string> highlight_lines(const window_ranks& w);
// A mean as the chart writes it, with two decimals.
std::string mean_text(double m);

// Draws the chart of `w` and writes it to `out`.
void draw_window_chart(const window_ranks& w, image_format format, core::out_stream& out);

}  // namespace plot
