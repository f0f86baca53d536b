// rankmap and rankchart: the colours the map gives windows whose ranks are
// known by construction, where a year stands in a window, the chart's rank
// text, the three formats, and every input the programs must refuse.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/failure.hpp"
#include "core/io.hpp"
#include "plot/rank_map.hpp"
#include "plot/ranks.hpp"
#include "plot/window_chart.hpp"
#include "support.hpp"

using namespace test_support;

namespace {

// One cell of a generated table: positions 1 to n.
struct cell {
    std::vector<float> means;
    std::vector<int> years;
};

// A complete table in file order, cells from `make`. Each line stops after
// its last ranked position: the reader takes the missing fields as blanks.
std::string table_text(const std::function<cell(int, int)>& make) {
    std::string t;
    t.reserve(24u << 20);
    char buf[32];
    for (int j = 1; j <= 365; ++j)
        for (int k = 1; k <= 365; ++k) {
            cell c = make(j, k);
            int n = static_cast<int>(c.years.size());
            std::snprintf(buf, sizeof buf, "%5d%5d%5d", j, k, n);
            t += buf;
            for (float m : c.means) {
                std::snprintf(buf, sizeof buf, "%10.2f", static_cast<double>(m));
                t += buf;
            }
            t += '\n';
            std::snprintf(buf, sizeof buf, "%5d%5d%5d", j, k, n);
            t += buf;
            for (int y : c.years) {
                std::snprintf(buf, sizeof buf, "%10d", y);
                t += buf;
            }
            t += '\n';
        }
    return t;
}

// The n years up to `year`, means 10, 20, ... in position order, `year`
// at position p and the others in chronological order around it.
cell ranked_at(int year, int p, int n) {
    cell c;
    int other = year - n + 1;
    for (int q = 1; q <= n; ++q) {
        c.means.push_back(10.0f * static_cast<float>(q));
        c.years.push_back(q == p ? year : other++);
    }
    return c;
}

// The n years before `year`: a window whose count stops before it.
cell before(int year, int n) {
    cell c;
    for (int q = 1; q <= n; ++q) {
        c.means.push_back(10.0f * static_cast<float>(q));
        c.years.push_back(year - n - 1 + q);
    }
    return c;
}

// The map's table, for the year 2000. By start day: 1-60 the warmest of 3,
// 61-120 the coldest of 3, 121-180 the middle of 3 (percentile 50), 181-240
// 8th of 9 (80), 241-300 2nd of 9 (20), 301-330 listed without a mean,
// 331-365 not listed; and wherever the window runs past day 365, not
// listed either (the table ends before it could be ranked).
constexpr int map_year = 2000;

cell map_cell(int j, int k) {
    if (j + k - 1 > 365 || j > 330) return before(map_year, 3);
    if (j <= 60) return ranked_at(map_year, 3, 3);
    if (j <= 120) return ranked_at(map_year, 1, 3);
    if (j <= 180) return ranked_at(map_year, 2, 3);
    if (j <= 240) return ranked_at(map_year, 8, 9);
    if (j <= 300) return ranked_at(map_year, 2, 9);
    cell c = ranked_at(map_year, 3, 3);
    c.means[2] = -999.0f;
    return c;
}

std::uint32_t rgb_of(const plot::rgb& c) {
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(v * 255.0)); };
    return byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

std::uint32_t expected_map_pixel(int j, int k) {
    if (j + k - 1 > 365 || j > 300) return rgb_of(plot::not_ranked_colour);
    if (j <= 60) return rgb_of(plot::warmest_colour);
    if (j <= 120) return rgb_of(plot::coldest_colour);
    if (j <= 180) return 0xf7f7f7;  // the neutral middle of the scale
    if (j <= 240) return 0xd6604d;  // the scale's stop at 80
    return 0x4393c3;                // and at 20
}

// The chart's table: the window (152, 92) holds 1895 to 2016, 2016 at
// position 120 of 122 (the 3rd warmest); the window (1, 1) has 1990
// without a mean; every other window ranks no year.
cell chart_cell(int j, int k) {
    if (j == 152 && k == 92) return ranked_at(2016, 120, 122);
    if (j == 1 && k == 1) {
        cell c = ranked_at(2016, 122, 122);
        c.means[1990 - 1895] = -999.0f;
        return c;
    }
    return {};
}

const std::string& stored(const std::string& name, const std::function<std::string()>& make) {
    static std::map<std::string, std::string> paths;
    auto it = paths.find(name);
    if (it != paths.end()) return it->second;
    std::string path = scratch_dir() + "/" + name;
    write_file(path, make());
    return paths[name] = path;
}
const std::string& map_table() { return stored("map_table.txt", [] { return table_text(map_cell); }); }
const std::string& chart_table() { return stored("chart_table.txt", [] { return table_text(chart_cell); }); }

struct image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

image read_png(const std::string& path) {
    image im;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        im.width = cairo_image_surface_get_width(s);
        im.height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < im.height; ++y)
            for (int x = 0; x < im.width; ++x)
                im.pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xffffff);
    }
    cairo_surface_destroy(s);
    return im;
}

run_result draw(const std::string& prog, const std::vector<std::string>& args, const std::string& table,
                const std::string& dir) {
    run_options o;
    o.cwd = dir;
    o.input_file = table;
    return run(program(prog), args, "", o);
}

}  // namespace

TEST(RankMap, EveryPixelShowsTheColourOfItsWindowsRank) {
    std::string dir = scratch_dir();
    run_result r = draw("rankmap", {"2000", "map.png"}, map_table(), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    image im = read_png(dir + "/map.png");
    const plot::map_layout& l = plot::rank_map_layout;
    ASSERT_EQ(im.width, l.width);
    ASSERT_EQ(im.height, l.height);
    int wrong = 0;
    for (int y = l.plot_y; y < l.plot_y + l.plot_h; ++y)
        for (int x = l.plot_x; x < l.plot_x + l.plot_w; ++x) {
            int j = 0, k = 0;
            ASSERT_TRUE(l.window_at(x, y, j, k));
            if (im.at(x, y) != expected_map_pixel(j, k) && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y << " (start day " << j << ", duration " << k << ") is "
                              << std::hex << im.at(x, y) << ", not " << expected_map_pixel(j, k);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(RankMap, PlotCornersAndBands) {
    const plot::map_layout& l = plot::rank_map_layout;
    int bottom = l.plot_y + l.plot_h - 1, right = l.plot_x + l.plot_w - 1;
    struct corner {
        int x, y, j, k;
    } corners[] = {
        {l.plot_x, bottom, 1, 1},         // start day 1, one day: bottom left
        {l.plot_x + 2, bottom, 1, 1},     // three pixels a start day
        {l.plot_x + 3, bottom, 2, 1},
        {right, l.plot_y, 365, 365},      // the whole year: top right
    };
    for (const corner& c : corners) {
        int j = 0, k = 0;
        ASSERT_TRUE(l.window_at(c.x, c.y, j, k));
        EXPECT_EQ(j, c.j) << c.x << "," << c.y;
        EXPECT_EQ(k, c.k) << c.x << "," << c.y;
    }
    int j, k;
    EXPECT_FALSE(l.window_at(l.plot_x - 1, bottom, j, k));
    EXPECT_FALSE(l.window_at(l.plot_x, bottom + 1, j, k));
    // Log axis: duration k's band is ln k to ln(k + 1) of ln 366, so one day
    // takes ln 2 / ln 366 of the height, and 8 days begin ln 8 / ln 366 up;
    // a pixel row shows the band that holds its top edge.
    double day = l.plot_h * std::log(2.0) / std::log(366.0);
    EXPECT_NEAR(l.duration_middle(1), l.plot_y + l.plot_h - day / 2, 1e-9);
    int eight = l.plot_y + l.plot_h - static_cast<int>(std::ceil(l.plot_h * std::log(8.0) / std::log(366.0)));
    ASSERT_TRUE(l.window_at(l.plot_x, eight, j, k));
    EXPECT_EQ(k, 8);
    ASSERT_TRUE(l.window_at(l.plot_x, eight + 1, j, k));
    EXPECT_EQ(k, 7);
}

TEST(RankMap, ScaleStopsAndColoursOfTheirOwn) {
    EXPECT_EQ(rgb_of(plot::percentile_colour(0)), 0x053061u);    // deep blue
    EXPECT_EQ(rgb_of(plot::percentile_colour(50)), 0xf7f7f7u);   // neutral
    EXPECT_EQ(rgb_of(plot::percentile_colour(100)), 0x67001fu);  // deep red
    EXPECT_EQ(rgb_of(plot::percentile_colour(-5)), 0x053061u);
    // Records and windows without a rank must not be taken for a percentile.
    for (const plot::rgb* own : {&plot::warmest_colour, &plot::coldest_colour, &plot::not_ranked_colour}) {
        for (double p = 0; p <= 100; p += 0.5) {
            plot::rgb c = plot::percentile_colour(p);
            double d = std::abs(c.r - own->r) + std::abs(c.g - own->g) + std::abs(c.b - own->b);
            EXPECT_GT(d, 0.3) << "percentile " << p;
        }
    }
    EXPECT_NE(rgb_of(plot::warmest_colour), rgb_of(plot::coldest_colour));
}

TEST(Standing, CountedAmongTheYearsWithAMean) {
    struct example {
        const char* what;
        std::vector<float> means;
        std::vector<int> years;
        int year;
        bool ranked;
        int cold_rank, count;
    } examples[] = {
        {"sorted: the position", {1, 2, 3, 4}, {1903, 1901, 1904, 1902}, 1904, true, 3, 4},
        {"not listed", {1, 2}, {1901, 1902}, 1903, false, 0, 0},
        {"listed without a mean", {1, -999, 3}, {1901, 1902, 1903}, 1902, false, 0, 0},
        // A year without a mean stays at its chronological place, so the
        // positions after it are not ranks: 1897 at position 3 is the coldest
        // of the three years with a mean, 1898 the warmest.
        {"after an entry without a mean", {20, -999, 10, 30}, {1895, 1896, 1897, 1898}, 1897, true, 1, 3},
        {"last after an entry without a mean", {20, -999, 10, 30}, {1895, 1896, 1897, 1898}, 1898, true, 3, 3},
        // Equal means keep the table's order.
        {"equal means, earlier", {5, 5}, {1901, 1902}, 1901, true, 1, 2},
        {"equal means, later", {5, 5}, {1901, 1902}, 1902, true, 2, 2},
        {"no ranked years", {}, {}, 1901, false, 0, 0},
    };
    for (const example& e : examples) {
        plot::year_standing s =
            plot::standing_in(e.means.data(), e.years.data(), static_cast<int>(e.years.size()), e.year);
        EXPECT_EQ(s.ranked, e.ranked) << e.what;
        if (!e.ranked) continue;
        EXPECT_EQ(s.cold_rank, e.cold_rank) << e.what;
        EXPECT_EQ(s.count, e.count) << e.what;
    }
    plot::year_standing one = plot::standing_in(std::vector<float>{7}.data(), std::vector<int>{1901}.data(), 1, 1901);
    EXPECT_FALSE(plot::warmest_of_all(one));  // a single year is no record
    EXPECT_FALSE(plot::coldest_of_all(one));
    EXPECT_DOUBLE_EQ(plot::percentile(one), 50.0);
}

TEST(RankText, OrdinalsAndTheNearerEnd) {
    const std::pair<int, const char*> ordinals[] = {
        {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},     {11, "11th"},   {12, "12th"},   {13, "13th"},
        {21, "21st"}, {22, "22nd"}, {23, "23rd"}, {101, "101st"}, {111, "111th"}, {112, "112th"}, {122, "122nd"},
    };
    for (const auto& o : ordinals) EXPECT_EQ(plot::ordinal(o.first), o.second);

    auto text = [](int cold_rank, int count) {
        plot::year_standing s;
        s.ranked = true;
        s.cold_rank = cold_rank;
        s.count = count;
        return plot::rank_text(s);
    };
    EXPECT_EQ(text(120, 122), "3rd warmest of 122");
    EXPECT_EQ(text(122, 122), "warmest of 122");
    EXPECT_EQ(text(1, 122), "coldest of 122");
    EXPECT_EQ(text(5, 122), "5th coldest of 122");
    EXPECT_EQ(text(62, 122), "61st warmest of 122");  // the middle: the warm end
    EXPECT_EQ(text(61, 122), "61st coldest of 122");
    EXPECT_EQ(text(2, 3), "2nd warmest of 3");
}

TEST(RankChart, WrittenRankOfAGeneratedWindow) {
    core::line_reader source = core::line_reader::from_text(table_text(chart_cell), "standard input");
    plot::window_ranks w = plot::read_window_ranks(source, 152, 92, 2016);
    ASSERT_EQ(w.years.size(), 122u);
    EXPECT_EQ(w.first_year(), 1895);
    EXPECT_EQ(w.last_year(), 2016);
    // Means 10 to 1220 by position, 2016 at 120: the mean of them all is 615.
    EXPECT_DOUBLE_EQ(w.average, 615.0);
    EXPECT_EQ(plot::highlight_lines(w), (std::vector<std::string>{"2016: 3rd warmest of 122", "mean 1200.00"}));
    EXPECT_EQ(plot::chart_title(w), "The 92 days from 1 Jun to 31 Aug (start day 152): every year's mean, 1895\u20132016");

    std::string dir = scratch_dir();
    run_result r = draw("rankchart", {"152", "92", "2016", "chart.png"}, chart_table(), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    image im = read_png(dir + "/chart.png");
    EXPECT_EQ(im.width, plot::window_chart_layout.width);
    EXPECT_EQ(im.height, plot::window_chart_layout.height);
}

TEST(Pictures, EachFormatIsWhatItsExtensionSays) {
    struct example {
        std::string prog;
        std::vector<std::string> args;
        const std::string& table;
        std::string head;
    } examples[] = {
        {"rankmap", {"2000", "map.png"}, map_table(), "\x89PNG\r\n\x1a\n"},
        {"rankmap", {"2000", "map.svg"}, map_table(), "<?xml"},
        {"rankmap", {"2000", "map.pdf"}, map_table(), "%PDF-"},
        {"rankchart", {"152", "92", "2016", "chart.svg"}, chart_table(), "<?xml"},
        {"rankchart", {"152", "92", "2016", "chart.pdf"}, chart_table(), "%PDF-"},
    };
    for (const example& e : examples) {
        std::string dir = scratch_dir();
        run_result r = draw(e.prog, e.args, e.table, dir);
        ASSERT_EQ(r.status, 0) << e.args.back() << ": " << r.err;
        std::string bytes = read_file(dir + "/" + e.args.back());
        EXPECT_EQ(bytes.substr(0, e.head.size()), e.head) << e.args.back();
        if (e.head == "<?xml") {
            EXPECT_NE(bytes.find("<svg"), std::string::npos);
        }
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{e.args.back()}) << "a temporary file left beside it";
    }
}

TEST(Pictures, BlankArgumentsWriteTheUsageLineAndHelpAnswers) {
    const std::string map_usage = " <YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)\n";
    const std::string chart_usage =
        " <START_DAY> <DURATION_#DAYS> <YEAR> <OUTPUT.png|.svg|.pdf> < Input File (REGION_ranks_all.txt)\n";
    struct example {
        std::string prog;
        std::vector<std::string> args;
        std::string out;
    } examples[] = {
        {"rankmap", {}, map_usage},
        {"rankmap", {"2000"}, map_usage},
        {"rankmap", {" ", "map.png"}, map_usage},
        {"rankchart", {"152", "92", "2016"}, chart_usage},
        {"rankchart", {"152", "", "2016", "c.png"}, chart_usage},
    };
    for (const example& e : examples) {
        run_result r = run(program(e.prog), e.args, "not a table\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, e.out);
        EXPECT_EQ(r.err, "");
    }
    for (const char* prog : {"rankmap", "rankchart"}) {
        run_result r = run(program(prog), {"--help"}, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: ") + prog + " ", 0), 0u) << r.out;
    }
}

TEST(Pictures, BadInputFailsWithOneLineAndLeavesAnEarlierPicture) {
    const std::string map_text = read_file(map_table());
    const std::string chart_text = read_file(chart_table());
    // The first n lines of a table.
    auto first_lines = [](const std::string& t, int n) {
        std::size_t at = 0;
        for (int i = 0; i < n; ++i) at = t.find('\n', at) + 1;
        return t.substr(0, at);
    };
    // The table with line n (from 1) replaced.
    auto replace_line = [](const std::string& t, int n, const std::string& line) {
        std::size_t at = 0;
        for (int i = 1; i < n; ++i) at = t.find('\n', at) + 1;
        return t.substr(0, at) + line + t.substr(t.find('\n', at));
    };
    const std::string fonts_conf = scratch_dir() + "/fonts.conf";
    write_file(fonts_conf, "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    // Line of the years line of window (152, 92) and of the means line of (152, 93).
    const int chart_years_line = 2 * (365 * 151 + 91) + 2;

    struct example {
        std::string prog;
        std::vector<std::string> args;
        std::string input;  // the table (empty for a run refused before reading)
        std::string err;
        std::vector<std::pair<std::string, std::string>> env = {};
    } examples[] = {
        {"rankmap", {"1894", "out.png"}, "", "argument 1: year 1894 outside 1895 to 2020"},
        {"rankmap", {"2021", "out.png"}, "", "argument 1: year 2021 outside 1895 to 2020"},
        {"rankmap", {"20x0", "out.png"}, "", "argument 1, columns 1-4: malformed integer field '20x0'"},
        {"rankmap", {"2000", "out.gif"}, "",
         "argument 2: output 'out.gif' does not end in .png, .svg or .pdf, which name its format"},
        {"rankmap", {"2000", "out"}, "", "argument 2: output 'out' does not end in .png, .svg or .pdf, which name its format"},
        {"rankmap", {"2000", "missing/out.png"}, "", "cannot create missing/out.png: No such file or directory"},
        {"rankmap", {"2000", "adir.png"}, "", "argument 2: output 'adir.png' is a directory"},
        {"rankmap", {"2000", "out.png"}, "", "no font found; install fonts-dejavu-core", {{"FONTCONFIG_FILE", fonts_conf}}},
        {"rankmap", {"2000", "out.png"}, first_lines(map_text, 1000),
         "standard input: the table ends early, after 1000 lines (a complete table has 266450)"},
        {"rankmap", {"2000", "out.png"}, replace_line(map_text, 3, "    1    2    3     1x.00"),
         "standard input, line 3, columns 16-25: malformed real field '     1x.00'"},
        {"rankmap", {"2000", "out.png"}, replace_line(map_text, 4, "    1    3    3      1998      1999      2000"),
         "standard input, line 4: the years line names the cell of start day 1, duration 3 with a count of 3, the "
         "means line before it the cell of start day 1, duration 2 with a count of 3"},
        {"rankmap", {"2000", "out.png"},
         replace_line(replace_line(map_text, 3, "    1    1    0"), 4, "    1    1    0"),
         "standard input: the table has no line pair for the cell of start day 1, duration 2"},
        {"rankmap", {"2000", "out.png"}, replace_line(map_text, 1, "    1    1  141"),
         "standard input, line 1: the cell of start day 1, duration 1 has a count of 141 ranked years, above 140"},
        {"rankmap", {"2000", "out.png"}, replace_line(map_text, 2, "    1    1    3      1998      1799      2000"),
         "standard input, line 2: position 2 of the cell of start day 1, duration 1 holds the year 1799, outside 1895 "
         "to 2034"},
        {"rankmap", {"2010", "out.png"}, map_text,
         "standard input: year 2010 is ranked in no window of the table (its years run 1895 to 2000)"},

        {"rankchart", {"0", "92", "2016", "out.png"}, "", "argument 1: start day 0 outside 1 to 365"},
        {"rankchart", {"152", "366", "2016", "out.png"}, "", "argument 2: duration 366 outside 1 to 365"},
        {"rankchart", {"152", "92", "1894", "out.png"}, "", "argument 3: year 1894 outside 1895 to 2020"},
        {"rankchart", {"152", "92", "2016", "out.jpg"}, "",
         "argument 4: output 'out.jpg' does not end in .png, .svg or .pdf, which name its format"},
        {"rankchart", {"152", "92", "2016", "missing/out.svg"}, "", "cannot create missing/out.svg: No such file or directory"},
        {"rankchart", {"152", "92", "2016", "out.png"}, first_lines(chart_text, 266449),
         "standard input: the table ends early, after 266449 lines (a complete table has 266450)"},
        {"rankchart", {"152", "92", "2017", "out.png"}, chart_text,
         "standard input: year 2017 is not ranked in the window of start day 152, duration 92 (its years run 1895 to "
         "2016)"},
        {"rankchart", {"1", "1", "1990", "out.png"}, chart_text,
         "standard input: year 1990 has no mean in the window of start day 1, duration 1 (no day of it was counted)"},
        {"rankchart", {"152", "92", "2016", "out.png"}, replace_line(chart_text, chart_years_line, "  152   93    0"),
         "standard input: the table has no years line for the window of start day 152, duration 92"},
    };
    const std::string earlier = "an earlier picture\n";
    for (const example& e : examples) {
        std::string dir = scratch_dir();
        const std::string& target = e.args.back();
        ::mkdir((dir + "/adir.png").c_str(), 0755);
        bool has_dir = target.find('/') == std::string::npos;
        if (has_dir && target != "adir.png") write_file(dir + "/" + target, earlier);
        std::vector<std::string> before = list_dir(dir);
        std::string input = scratch_dir() + "/table";
        write_file(input, e.input);
        run_options o;
        o.cwd = dir;
        o.input_file = input;
        o.env = e.env;
        run_result r = run(program(e.prog), e.args, "", o);
        std::string what = e.prog + " " + e.args[0] + " ... " + target;
        EXPECT_EQ(r.status, 1) << what;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_EQ(r.err, e.prog + ": " + e.err + "\n") << what;
        if (has_dir && target != "adir.png") {
            EXPECT_EQ(read_file(dir + "/" + target), earlier) << what;
        }
        EXPECT_EQ(list_dir(dir), before) << what << ": a file made or left";
    }
}

TEST(Pictures, AFailedWriteFailsTheRunInEveryFormat) {
    // The write fails inside cairo's output callback; the failure must come
    // out as the run's message, with the earlier picture kept.
    for (const char* name : {"map.png", "map.svg", "map.pdf"}) {
        std::string dir = scratch_dir();
        write_file(dir + "/" + name, "an earlier picture\n");
        run_options o;
        o.cwd = dir;
        o.input_file = map_table();
        o.file_size_limit = 10000;
        run_result r = run(program("rankmap"), {"2000", name}, "", o);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, std::string("rankmap: cannot write ") + name + ": File too large\n");
        EXPECT_EQ(read_file(dir + "/" + name), "an earlier picture\n");
        EXPECT_EQ(list_dir(dir), std::vector<std::string>{name});
    }
}
