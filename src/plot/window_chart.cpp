#include "plot/window_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/calendar.hpp"

namespace plot {

namespace {

const rgb ink = hex_colour(0x222222);
const rgb soft_ink = hex_colour(0x555555);
const rgb grid_line = hex_colour(0xe3e3e3);
const rgb warm_bar = hex_colour(0xf4a582), cold_bar = hex_colour(0x92c5de);
const rgb warm_highlight = hex_colour(0xb2182b), cold_highlight = hex_colour(0x2166ac);

// "1 Jun": a day of the year as a date of a common year.
std::string date_text(int day_of_year) {
    core::month_day md = core::month_and_day(day_of_year, false);
    return std::to_string(md.day) + " " + std::string(core::month_name(md.month));
}

// A step of 1, 2 or 5 times a power of ten giving about `ticks` steps over
// `span`.
double nice_step(double span, int ticks) {
    double raw = span / ticks;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

std::string tick_text(double v, double step) {
    char buf[32];
    int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    std::snprintf(buf, sizeof buf, "%.*f", decimals, std::abs(v) < step / 1000 ? 0.0 : v);
    return buf;
}

}  // namespace

const chart_layout window_chart_layout{};

std::string mean_text(double m) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", m);
    return buf;
}

std::string chart_title(const window_ranks& w) {
    int last = w.start_day + w.duration - 1;
    std::string days;
    if (w.duration == 1) {
        days = "The day " + date_text(w.start_day);
    } else {
        days = "The " + std::to_string(w.duration) + " days from " + date_text(w.start_day) + " to " +
               date_text(last > core::table_days ? last - core::table_days : last);
    }
    return days + " (start day " + std::to_string(w.start_day) + "): every year's mean, " +
           std::to_string(w.first_year()) + "\u2013" + std::to_string(w.last_year());
}

std::vector<std::string> highlight_lines(const window_ranks& w) {
    return {std::to_string(w.year) + ": " + rank_text(w.standing), "mean " + mean_text(w.standing.mean)};
}

void draw_window_chart(const window_ranks& w, image_format format, core::out_stream& out) {
    const chart_layout& l = window_chart_layout;
    canvas c(format, l.width, l.height, out);
    const double bottom = l.plot_y + l.plot_h, right = l.plot_x + l.plot_w;

    const std::string title = chart_title(w);
    const double title_width = l.width - l.plot_x - 40;
    c.text(l.plot_x, 50, title, c.fitting_size(title, 30, title_width, true), ink, align::start, valign::baseline, true);
    c.text(l.plot_x, 88,
           std::to_string(w.year) + " (dark bar): " + rank_text(w.standing) + " years, mean " +
               mean_text(w.standing.mean) + ". Each bar runs from the mean of all years, " + mean_text(w.average) +
               " (dashed line).",
           19, soft_ink);

    // Scales: years across, one slot each; means up, with room around them.
    const int first = w.first_year(), last = w.last_year();
    const double slot = static_cast<double>(l.plot_w) / (last - first + 1);
    auto year_x = [&](int y) { return l.plot_x + (y - first + 0.5) * slot; };
    double lo = std::min(*std::min_element(w.means.begin(), w.means.end()), static_cast<float>(w.average));
    double hi = std::max(*std::max_element(w.means.begin(), w.means.end()), static_cast<float>(w.average));
    if (hi - lo < 0.1) {
        lo -= 0.05;
        hi += 0.05;
    }
    double pad = (hi - lo) * 0.08;
    lo -= pad;
    hi += pad;
    auto mean_y = [&](double m) { return bottom - (m - lo) / (hi - lo) * l.plot_h; };

    // The mean axis with its grid.
    double step = nice_step(hi - lo, 8);
    for (double v = std::ceil(lo / step) * step; v <= hi; v += step) {
        double y = mean_y(v);
        c.line(l.plot_x, y, right, y, grid_line, 1);
        c.line(l.plot_x - 8, y, l.plot_x, y, ink, 1.5);
        c.text(l.plot_x - 14, y, tick_text(v, step), 18, ink, align::end, valign::middle);
    }
    c.text_upwards(l.plot_x - 90, l.plot_y + l.plot_h / 2.0, "mean of the window's days", 20, ink);

    // The bars, the chart's year last so nothing covers it.
    const double base = mean_y(w.average);
    const double bar_w = std::max(1.0, slot * 0.75);
    double year_end = base;
    for (std::size_t i = 0; i < w.years.size(); ++i) {
        bool warm = w.means[i] >= w.average;
        double y = mean_y(w.means[i]);
        if (w.years[i] == w.year) {
            year_end = y;
            continue;
        }
        c.fill_rect(year_x(w.years[i]) - bar_w / 2, std::min(y, base), bar_w, std::max(std::abs(y - base), 1.0),
                    warm ? warm_bar : cold_bar);
    }
    bool year_warm = w.standing.mean >= w.average;
    double yx = year_x(w.year);
    c.fill_rect(yx - bar_w / 2, std::min(year_end, base), bar_w, std::max(std::abs(year_end - base), 1.0),
                year_warm ? warm_highlight : cold_highlight);

    // The mean of all years, named in the margin at its end.
    cairo_t* cr = c.cr();
    const double dash[] = {10, 6};
    cairo_set_dash(cr, dash, 2, 0);
    c.line(l.plot_x, base, right, base, ink, 2);
    cairo_set_dash(cr, nullptr, 0, 0);
    c.text(right + 10, base - 4, "all years", 17, ink);
    c.text(right + 10, base + 18, mean_text(w.average), 17, ink);

    // The years axis.
    c.stroke_rect(l.plot_x - 0.5, l.plot_y - 0.5, l.plot_w + 1, l.plot_h + 1, ink, 1);
    for (int y = (first + 9) / 10 * 10; y <= last; y += 10) {
        double x = year_x(y);
        c.line(x, bottom, x, bottom + 10, ink, 1.5);
        c.text(x, bottom + 16, std::to_string(y), 18, ink, align::middle, valign::top);
    }
    c.text(l.plot_x + l.plot_w / 2.0, bottom + 72, "year (the year the window starts in)", 20, ink, align::middle);

    // The chart's year: its rank and mean in a box above the plot, over its
    // own slot, with a pointer down to its bar.
    std::vector<std::string> lines = highlight_lines(w);
    double box_w = std::max(c.text_width(lines[0], 20, true), c.text_width(lines[1], 18)) + 20, box_h = 58;
    double bx = std::clamp(yx - box_w / 2, static_cast<double>(l.plot_x), right - box_w);
    double by = l.plot_y - box_h - 18;
    double tip = std::min(year_end, base) - 3;
    c.line(yx, by + box_h, yx, tip - 8, ink, 1.5);
    cairo_move_to(cr, yx - 6, tip - 10);
    cairo_line_to(cr, yx + 6, tip - 10);
    cairo_line_to(cr, yx, tip);
    cairo_close_path(cr);
    cairo_fill(cr);
    c.fill_rect(bx, by, box_w, box_h, {1, 1, 1});
    c.stroke_rect(bx, by, box_w, box_h, ink, 1.5);
    c.text(bx + 10, by + 8, lines[0], 20, year_warm ? warm_highlight : cold_highlight, align::start, valign::top,
           true);
    c.text(bx + 10, by + 35, lines[1], 18, ink, align::start, valign::top);

    c.text(l.plot_x, l.height - 20,
           "Dates as in a common year: in a leap year a start day after 28 Feb falls a day earlier.", 16, soft_ink);
    c.finish();
}

}  // namespace plot
