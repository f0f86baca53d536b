// A picture drawn with cairo and written as PNG, SVG or PDF to a checked
// output stream (in the programs, the temporary file of a
// `core::replacement_file`), with the text and shapes the two pictures use.
//
// Every picture is laid out in pixels of its PNG size. The vector formats
// get a page of half that many points, drawn at half scale, so a 1600 x 1200
// picture is a 800 x 600 pt page (about A4 landscape) and its raster parts
// are embedded at 144 per inch.
#pragma once

#include <string>
#include <string_view>

#include <cairo.h>

#include "core/io.hpp"

namespace plot {

enum class image_format { png, svg, pdf };

// The format named by the extension of the output name (argument `index`):
// ".png", ".svg" or ".pdf". Anything else, and a name that is a directory,
// is a failure naming the argument.
image_format output_format(std::string_view output, int index);

// Fails with "no font found; install fonts-dejavu-core" unless fontconfig
// finds a font file for the family the pictures use (or a fallback).
void require_font();

// The picture file of a run: the output name (argument `index`) checked
// for its format, a font checked, and the temporary file beside it created,
// in that order and before any input is read. `commit` renames it over the
// output; a run that fails before leaves an earlier file as it was.
class picture_file {
public:
    picture_file(const std::string& output, int index);
    image_format format() const { return format_; }
    core::out_stream& out() { return file_.out(); }
    void commit() { file_.commit(); }

private:
    // Lets cairo and fontconfig free their caches when the picture file
    // goes, however far its construction came, so a leak checker sees only
    // what the run itself kept.
    struct font_caches {
        font_caches() = default;
        font_caches(const font_caches&) = delete;
        font_caches& operator=(const font_caches&) = delete;
        ~font_caches();
    };
    static image_format checked(const std::string& output, int index);
    font_caches caches_;
    image_format format_;
    core::replacement_file file_;
};

struct rgb {
    double r, g, b;
};
constexpr rgb hex_colour(unsigned v) {
    return {((v >> 16) & 0xff) / 255.0, ((v >> 8) & 0xff) / 255.0, (v & 0xff) / 255.0};
}
// A colour between `a` (t = 0) and `b` (t = 1).
rgb mix(const rgb& a, const rgb& b, double t);

// Where a text stands against its point: across, its start, middle or end;
// up and down, its baseline, the middle or the top of its capitals.
enum class align { start, middle, end };
enum class valign { baseline, middle, top };

class canvas {
public:
    // A blank white picture of `width` x `height` pixels that writes itself
    // to `out` in `format`.
    canvas(image_format format, int width, int height, core::out_stream& out);
    ~canvas();
    canvas(const canvas&) = delete;
    canvas& operator=(const canvas&) = delete;

    cairo_t* cr() { return cr_; }

    // Text of `size` pixels (the font's em) at (x, y).
    void text(double x, double y, std::string_view s, double size, rgb colour, align h = align::start,
              valign v = valign::baseline, bool bold = false);
    // The same text turned a quarter left (reading upwards), centred on y.
    void text_upwards(double x, double y, std::string_view s, double size, rgb colour, bool bold = false);
    double text_width(std::string_view s, double size, bool bold = false);
    // The largest size up to `size` (and down to half of it) at which the
    // text fits in `width`.
    double fitting_size(std::string_view s, double size, double width, bool bold = false);

    void fill_rect(double x, double y, double w, double h, rgb colour);
    void stroke_rect(double x, double y, double w, double h, rgb colour, double width);
    void line(double x0, double y0, double x1, double y1, rgb colour, double width);

    // Paints an image at (x, y) pixel for pixel, without smoothing.
    void paint_image(cairo_surface_t* image, double x, double y);

    // Draws out the picture and writes it; every cairo status is checked and
    // a failure (including a failed write) is a `core::failure`.
    void finish();

private:
    void check(const char* what);
    void font(double size, bool bold);

    image_format format_;
    core::out_stream& out_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::string write_error_;  // the message of a write that failed inside cairo
    static cairo_status_t write_to(void* closure, const unsigned char* data, unsigned int length);
};

}  // namespace plot
