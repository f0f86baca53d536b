#include "plot/rank_map.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "core/calendar.hpp"
#include "core/failure.hpp"

namespace plot {

namespace {

// Duration k's band runs from ln k to ln(k + 1) of ln 366, bottom to top.
const double log_span = std::log(366.0);

// ColorBrewer's RdBu, coldest first: 11 stops at 0, 10, ..., 100.
const rgb scale_stops[] = {
    hex_colour(0x053061), hex_colour(0x2166ac), hex_colour(0x4393c3), hex_colour(0x92c5de),
    hex_colour(0xd1e5f0), hex_colour(0xf7f7f7), hex_colour(0xfddbc7), hex_colour(0xf4a582),
    hex_colour(0xd6604d), hex_colour(0xb2182b), hex_colour(0x67001f),
};
constexpr int stop_count = sizeof scale_stops / sizeof scale_stops[0];

const rgb ink = hex_colour(0x222222);
const rgb soft_ink = hex_colour(0x555555);

std::uint32_t pixel_of(const rgb& c) {
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255.0)); };
    return byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// The windows of the plot, painted pixel by pixel: every pixel shows the
// window `window_at` names, so no two windows are blended together even
// where a duration's band is thinner than a pixel.
cairo_surface_t* map_image(const map_layout& l, const rank_grid& grid) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, l.plot_w, l.plot_h);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        throw core::failure("cannot create the picture: out of memory");
    }
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < l.plot_h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < l.plot_w; ++x) {
            int j = 0, k = 0;
            l.window_at(l.plot_x + x, l.plot_y + y, j, k);
            row[x] = pixel_of(map_colour(standing_of(grid.at(j, k))));
        }
    }
    cairo_surface_mark_dirty(image);
    return image;
}

void draw_axes(canvas& c, const map_layout& l) {
    const double bottom = l.plot_y + l.plot_h, right = l.plot_x + l.plot_w;
    c.stroke_rect(l.plot_x - 0.5, l.plot_y - 0.5, l.plot_w + 1, l.plot_h + 1, ink, 1);

    // Months of a common year: a tick where each begins, its name between.
    for (int m = 1; m <= 12; ++m) {
        double x0 = l.start_day_left(core::dyear[static_cast<std::size_t>(m)] + 1);
        double x1 = m < 12 ? l.start_day_left(core::dyear[static_cast<std::size_t>(m + 1)] + 1) : right;
        c.line(x0, bottom, x0, bottom + 10, ink, 1.5);
        c.line(x0, l.plot_y - 6, x0, l.plot_y, ink, 1.5);
        c.text((x0 + x1) / 2, bottom + 16, core::month_name(m), 18, ink, align::middle, valign::top);
    }
    c.line(right, bottom, right, bottom + 10, ink, 1.5);
    c.text(l.plot_x + l.plot_w / 2.0, bottom + 72, "start day of the window (day of the year; months of a common year)", 20,
           ink, align::middle);

    for (int t : {1, 7, 30, 60, 90, 180, 270, 365}) {
        double y = l.duration_middle(t);
        c.line(l.plot_x - 10, y, l.plot_x, y, ink, 1.5);
        c.line(right, y, right + 6, y, ink, 1.5);
        c.text(l.plot_x - 16, y, std::to_string(t), 18, ink, align::end, valign::middle);
    }
    c.text_upwards(l.plot_x - 78, l.plot_y + l.plot_h / 2.0, "duration of the window in days (log scale)", 20, ink);
}

void draw_colour_bar(canvas& c, const map_layout& l, int year) {
    const double x = l.plot_x + l.plot_w + 60, w = 36;
    const double top = l.plot_y + 60, h = 480;
    c.text(x, l.plot_y + 8, "percentile of " + std::to_string(year), 20, ink, align::start, valign::top, true);
    c.text(x, l.plot_y + 34, "among the window's years", 16, soft_ink, align::start, valign::top);

    cairo_t* cr = c.cr();
    cairo_pattern_t* scale = cairo_pattern_create_linear(0, top + h, 0, top);
    for (int i = 0; i < stop_count; ++i)
        cairo_pattern_add_color_stop_rgb(scale, i / 10.0, scale_stops[i].r, scale_stops[i].g, scale_stops[i].b);
    cairo_rectangle(cr, x, top, w, h);
    cairo_set_source(cr, scale);
    cairo_fill(cr);
    cairo_pattern_destroy(scale);
    c.stroke_rect(x - 0.5, top - 0.5, w + 1, h + 1, ink, 1);
    for (int p = 0; p <= 100; p += 25) {
        double y = top + h - h * p / 100.0;
        c.line(x + w, y, x + w + 8, y, ink, 1.5);
        c.text(x + w + 14, y, std::to_string(p), 18, ink, align::start, valign::middle);
    }
    c.text(x + w + 60, top + 8, "warmer", 18, hex_colour(0x67001f), align::start, valign::top, true);
    c.text(x + w + 60, top + h - 8, "colder", 18, hex_colour(0x053061), align::start, valign::baseline, true);
    c.text(x, top + h + 30, "100 \u00d7 rank / (years + 1),", 16, soft_ink, align::start, valign::top);
    c.text(x, top + h + 52, "rank 1 the coldest", 16, soft_ink, align::start, valign::top);

    const std::string y = std::to_string(year);
    struct swatch {
        rgb colour;
        std::vector<std::string> lines;
    } swatches[] = {
        {warmest_colour, {y + " the warmest of", "all the window's years"}},
        {coldest_colour, {y + " the coldest of", "all the window's years"}},
        {not_ranked_colour, {"not ranked: the window ends", "after the table's last date,", "or " + y + " has no mean in it"}},
    };
    double at = top + h + 100;
    for (const swatch& s : swatches) {
        c.fill_rect(x, at, w, 30, s.colour);
        c.stroke_rect(x - 0.5, at - 0.5, w + 1, 31, ink, 1);
        for (std::size_t i = 0; i < s.lines.size(); ++i)
            c.text(x + w + 12, at + 2 + 19.0 * static_cast<double>(i), s.lines[i], 16, ink, align::start, valign::top);
        at += 30 + 19.0 * static_cast<double>(s.lines.size());
    }
}

}  // namespace

const map_layout rank_map_layout{};

const rgb warmest_colour = hex_colour(0xffd700);
const rgb coldest_colour = hex_colour(0x00e0ff);
const rgb not_ranked_colour = hex_colour(0xb0b0b0);

bool map_layout::window_at(int x, int y, int& start_day, int& duration) const {
    if (x < plot_x || x >= plot_x + plot_w || y < plot_y || y >= plot_y + plot_h) return false;
    start_day = (x - plot_x) / 3 + 1;
    // The duration whose band holds the pixel's top edge: near the top a
    // band is thinner than a pixel, and this way the top row still shows
    // the whole year.
    double u = static_cast<double>(plot_y + plot_h - y) / plot_h;
    int k = static_cast<int>(std::floor(std::exp(u * log_span) * (1 - 1e-12)));
    duration = k < 1 ? 1 : k > core::table_days ? core::table_days : k;
    return true;
}

double map_layout::duration_middle(int k) const {
    double u = (std::log(static_cast<double>(k)) + std::log(k + 1.0)) / 2 / log_span;
    return plot_y + plot_h - u * plot_h;
}

rgb percentile_colour(double p) {
    double t = p <= 0 ? 0.0 : p >= 100 ? 10.0 : p / 10.0;
    int i = static_cast<int>(t);
    if (i >= stop_count - 1) return scale_stops[stop_count - 1];
    return mix(scale_stops[i], scale_stops[i + 1], t - i);
}

rgb map_colour(const year_standing& s) {
    if (!s.ranked) return not_ranked_colour;
    if (warmest_of_all(s)) return warmest_colour;
    if (coldest_of_all(s)) return coldest_colour;
    return percentile_colour(percentile(s));
}

void draw_rank_map(const rank_grid& grid, image_format format, core::out_stream& out) {
    const map_layout& l = rank_map_layout;
    canvas c(format, l.width, l.height, out);
    std::string year = std::to_string(grid.year);
    c.text(l.plot_x, 50, year + " in every window of the year, ranked among 1895\u2013" + std::to_string(grid.last_year),
           32, ink, align::start, valign::baseline, true);
    c.text(l.plot_x, 90,
           "Each cell is the window of that start day and duration; its colour, where " + year +
               "'s mean stands among the years ranked there.",
           19, soft_ink);

    cairo_surface_t* image = map_image(l, grid);
    c.paint_image(image, l.plot_x, l.plot_y);
    cairo_surface_destroy(image);
    draw_axes(c, l);
    draw_colour_bar(c, l, grid.year);
    c.finish();
}

}  // namespace plot
