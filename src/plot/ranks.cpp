#include "plot/ranks.hpp"

#include <algorithm>
#include <numeric>

#include "core/failure.hpp"
#include "core/table_reader.hpp"

namespace plot {

namespace {

// -999.00 at a ranked position: a year without a counted day.
bool no_mean(float m) { return m == -999.0f; }

std::string cell_name(int j, int k) {
    return "start day " + std::to_string(j) + ", duration " + std::to_string(k);
}

std::string at_line(const core::line_reader& source, const core::table_line_cell& c) {
    return source.name() + ", line " + std::to_string(c.line);
}

void check_count(const core::line_reader& source, const core::table_line_cell& c) {
    if (c.nyears > core::table_positions)
        throw core::failure(at_line(source, c) + ": the cell of " + cell_name(c.start_day, c.duration) +
                            " has a count of " + std::to_string(c.nyears) + " ranked years, above 140");
}

// The ranked positions of a years line, each a year the format can hold.
void check_years(const core::line_reader& source, const core::table_line_cell& c, const std::int32_t* year) {
    for (int p = 1; p <= c.nyears; ++p) {
        std::int32_t y = year[p - 1];
        if (y < first_table_year || y > last_table_year)
            throw core::failure(at_line(source, c) + ": position " + std::to_string(p) + " of the cell of " +
                                cell_name(c.start_day, c.duration) + " holds the year " + std::to_string(y) +
                                ", outside 1895 to 2034");
    }
}

}  // namespace

year_standing standing_in(const float* mean, const std::int32_t* year, int nyears, int wanted) {
    year_standing s;
    int at = -1;
    for (int p = 0; p < nyears; ++p)
        if (year[p] == wanted) {
            at = p;
            break;
        }
    if (at < 0 || no_mean(mean[at])) return s;
    s.ranked = true;
    s.mean = mean[at];
    s.cold_rank = 1;
    for (int p = 0; p < nyears; ++p) {
        if (no_mean(mean[p])) continue;
        ++s.count;
        if (mean[p] < s.mean || (mean[p] == s.mean && p < at)) ++s.cold_rank;
    }
    return s;
}

double percentile(const year_standing& s) { return 100.0 * s.cold_rank / (s.count + 1); }

bool warmest_of_all(const year_standing& s) { return s.ranked && s.count > 1 && s.cold_rank == s.count; }
bool coldest_of_all(const year_standing& s) { return s.ranked && s.count > 1 && s.cold_rank == 1; }

std::string ordinal(int n) {
    const char* suffix = "th";
    if (n % 100 < 11 || n % 100 > 13) {
        if (n % 10 == 1) suffix = "st";
        if (n % 10 == 2) suffix = "nd";
        if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

std::string rank_text(const year_standing& s) {
    int warm = s.warm_rank(), cold = s.cold_rank;
    bool warm_end = warm <= cold;
    int r = warm_end ? warm : cold;
    std::string place = r == 1 ? std::string() : ordinal(r) + " ";
    return place + (warm_end ? "warmest" : "coldest") + " of " + std::to_string(s.count);
}

year_standing standing_of(const map_cell& c) {
    year_standing s;
    s.ranked = c.cold_rank > 0;
    s.cold_rank = c.cold_rank;
    s.count = c.count;
    return s;
}

namespace {

// Keeps the map's year's standing in every window, from each pair as it
// passes: the means line is held until its years line comes.
struct grid_keeper : core::table_cell_visitor {
    const core::line_reader& source;
    rank_grid& grid;
    std::vector<bool> seen = std::vector<bool>(core::table_pairs, false);
    core::table_line_cell held;
    float held_mean[core::table_positions] = {};

    grid_keeper(const core::line_reader& s, rank_grid& g) : source(s), grid(g) {}

    bool wants(const core::table_line_cell&) override { return true; }

    void take_means(const core::table_line_cell& c, const float* mean) override {
        check_count(source, c);
        held = c;
        std::copy(mean, mean + core::table_positions, held_mean);
    }

    void take_years(const core::table_line_cell& c, const std::int32_t* year) override {
        if (c.start_day != held.start_day || c.duration != held.duration || c.nyears != held.nyears)
            throw core::failure(at_line(source, c) + ": the years line names the cell of " +
                                cell_name(c.start_day, c.duration) + " with a count of " + std::to_string(c.nyears) +
                                ", the means line before it the cell of " + cell_name(held.start_day, held.duration) +
                                " with a count of " + std::to_string(held.nyears));
        check_years(source, c, year);
        std::size_t i = static_cast<std::size_t>((c.start_day - 1) * core::table_days + c.duration - 1);
        seen[i] = true;
        int n = std::max(c.nyears, 0);
        for (int p = 0; p < n; ++p) grid.last_year = std::max(grid.last_year, year[p]);
        year_standing s = standing_in(held_mean, year, n, grid.year);
        grid.cells[i] = s.ranked ? map_cell{static_cast<std::uint8_t>(s.cold_rank), static_cast<std::uint8_t>(s.count)}
                                 : map_cell{};
    }
};

// Keeps one window, each line placed by its own fields.
struct window_keeper : core::table_cell_visitor {
    const core::line_reader& source;
    int start_day, duration;
    bool has_means = false, has_years = false;
    std::int32_t nyears = 0;
    float mean[core::table_positions] = {};
    std::int32_t year[core::table_positions] = {};

    window_keeper(const core::line_reader& s, int j, int k) : source(s), start_day(j), duration(k) {}

    bool wants(const core::table_line_cell& c) override {
        return c.start_day == start_day && c.duration == duration;
    }
    void take_means(const core::table_line_cell& c, const float* m) override {
        check_count(source, c);
        std::copy(m, m + core::table_positions, mean);
        nyears = c.nyears;
        has_means = true;
    }
    void take_years(const core::table_line_cell& c, const std::int32_t* y) override {
        check_count(source, c);
        check_years(source, c, y);
        std::copy(y, y + core::table_positions, year);
        nyears = c.nyears;
        has_years = true;
    }
};

}  // namespace

rank_grid read_rank_grid(core::line_reader& source, int year) {
    rank_grid grid;
    grid.year = year;
    grid_keeper keeper(source, grid);
    core::read_table_cells(source, keeper, nullptr);
    for (int j = 1; j <= core::table_days; ++j)
        for (int k = 1; k <= core::table_days; ++k)
            if (!keeper.seen[static_cast<std::size_t>((j - 1) * core::table_days + k - 1)])
                throw core::failure(source.name() + ": the table has no line pair for the cell of " + cell_name(j, k));
    bool anywhere = std::any_of(grid.cells.begin(), grid.cells.end(), [](const map_cell& c) { return c.cold_rank > 0; });
    if (!anywhere)
        throw core::failure(source.name() + ": year " + std::to_string(year) +
                            " is ranked in no window of the table" +
                            (grid.last_year > 0 ? " (its years run 1895 to " + std::to_string(grid.last_year) + ")"
                                                : std::string(" (it ranks no year)")));
    return grid;
}

window_ranks read_window_ranks(core::line_reader& source, int start_day, int duration, int year) {
    window_keeper keeper(source, start_day, duration);
    core::read_table_cells(source, keeper, nullptr);
    std::string window = "the window of " + cell_name(start_day, duration);
    if (!keeper.has_means) throw core::failure(source.name() + ": the table has no means line for " + window);
    if (!keeper.has_years) throw core::failure(source.name() + ": the table has no years line for " + window);

    window_ranks w;
    w.start_day = start_day;
    w.duration = duration;
    w.year = year;
    int n = std::max(keeper.nyears, 0);
    std::vector<int> order;
    for (int p = 0; p < n; ++p)
        if (!no_mean(keeper.mean[p])) order.push_back(p);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keeper.year[a] < keeper.year[b]; });
    for (int p : order) {
        w.years.push_back(keeper.year[p]);
        w.means.push_back(keeper.mean[p]);
    }
    w.standing = standing_in(keeper.mean, keeper.year, n, year);
    if (!w.standing.ranked) {
        bool listed = std::find(keeper.year, keeper.year + n, year) != keeper.year + n;
        if (listed)
            throw core::failure(source.name() + ": year " + std::to_string(year) + " has no mean in " + window +
                                " (no day of it was counted)");
        throw core::failure(source.name() + ": year " + std::to_string(year) + " is not ranked in " + window +
                            (w.years.empty() ? std::string(" (it ranks no year)")
                                             : " (its years run " + std::to_string(w.first_year()) + " to " +
                                                   std::to_string(w.last_year()) + ")"));
    }
    double sum = std::accumulate(w.means.begin(), w.means.end(), 0.0);
    w.average = sum / static_cast<double>(w.means.size());
    return w;
}

}  // namespace plot
