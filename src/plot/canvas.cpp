#include "plot/canvas.hpp"

#include <algorithm>
#include <new>

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/failure.hpp"

namespace plot {

namespace {

// The family every text of the pictures asks for; fontconfig substitutes
// another sans-serif face when it is not installed.
const char* const font_family = "DejaVu Sans";

// Points of the vector formats per pixel of the layout.
constexpr double vector_scale = 0.5;

bool ends_with(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

image_format output_format(std::string_view output, int index) {
    std::string argument = "argument " + std::to_string(index) + ": output " + core::quoted(output);
    image_format f;
    if (ends_with(output, ".png"))
        f = image_format::png;
    else if (ends_with(output, ".svg"))
        f = image_format::svg;
    else if (ends_with(output, ".pdf"))
        f = image_format::pdf;
    else
        throw core::failure(argument + " does not end in .png, .svg or .pdf, which name its format");
    struct stat st;
    if (::stat(std::string(output).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw core::failure(argument + " is a directory");
    return f;
}

void require_font() {
    bool found = false;
    if (FcInit()) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(font_family));
        if (pattern) {
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pattern, &result);
            FcChar8* file = nullptr;
            if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
                ::access(reinterpret_cast<const char*>(file), R_OK) == 0)
                found = true;
            if (match) FcPatternDestroy(match);
            FcPatternDestroy(pattern);
        }
    }
    if (!found) throw core::failure("no font found; install fonts-dejavu-core");
}

image_format picture_file::checked(const std::string& output, int index) {
    image_format f = output_format(output, index);
    require_font();
    return f;
}

picture_file::picture_file(const std::string& output, int index) : format_(checked(output, index)), file_(output) {}

picture_file::font_caches::~font_caches() {
    cairo_debug_reset_static_data();
    FcFini();
}

rgb mix(const rgb& a, const rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

canvas::canvas(image_format format, int width, int height, core::out_stream& out) : format_(format), out_(out) {
    switch (format) {
    case image_format::png:
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        break;
    case image_format::svg:
        surface_ = cairo_svg_surface_create_for_stream(write_to, this, width * vector_scale, height * vector_scale);
        break;
    case image_format::pdf:
        surface_ = cairo_pdf_surface_create_for_stream(write_to, this, width * vector_scale, height * vector_scale);
        break;
    }
    cr_ = cairo_create(surface_);
    check("create the picture");
    if (format != image_format::png) cairo_scale(cr_, vector_scale, vector_scale);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
    fill_rect(0, 0, width, height, {1, 1, 1});
}

canvas::~canvas() {
    // A picture dropped on a failure may still write its end through the
    // callback; it goes nowhere.
    write_error_ = "dropped";
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
}

cairo_status_t canvas::write_to(void* closure, const unsigned char* data, unsigned int length) {
    canvas* c = static_cast<canvas*>(closure);
    if (!c->write_error_.empty()) return CAIRO_STATUS_WRITE_ERROR;
    // A failure must not unwind through cairo: it is kept and raised once
    // cairo has returned.
    try {
        c->out_.write(std::string_view(reinterpret_cast<const char*>(data), length));
    } catch (const core::failure& e) {
        c->write_error_ = e.what();
        return CAIRO_STATUS_WRITE_ERROR;
    } catch (const std::bad_alloc&) {
        c->write_error_ = "out of memory";
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

void canvas::check(const char* what) {
    cairo_status_t st = cr_ ? cairo_status(cr_) : CAIRO_STATUS_SUCCESS;
    if (st == CAIRO_STATUS_SUCCESS) st = cairo_surface_status(surface_);
    if (st == CAIRO_STATUS_SUCCESS && write_error_.empty()) return;
    if (!write_error_.empty()) throw core::failure(write_error_);
    throw core::failure(std::string("cannot ") + what + ": " + cairo_status_to_string(st));
}

void canvas::font(double size, bool bold) {
    cairo_select_font_face(cr_, font_family, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, size);
}

double canvas::text_width(std::string_view s, double size, bool bold) {
    font(size, bold);
    std::string t(s);
    cairo_text_extents_t e;
    cairo_text_extents(cr_, t.c_str(), &e);
    return e.x_advance;
}

double canvas::fitting_size(std::string_view s, double size, double width, bool bold) {
    double w = text_width(s, size, bold);
    if (w <= width) return size;
    return std::max(size / 2, size * width / w);
}

void canvas::text(double x, double y, std::string_view s, double size, rgb colour, align h, valign v, bool bold) {
    font(size, bold);
    std::string t(s);
    cairo_text_extents_t e;
    cairo_text_extents(cr_, t.c_str(), &e);
    double dx = h == align::start ? 0.0 : h == align::middle ? -e.x_advance / 2 : -e.x_advance;
    // The capitals of DejaVu Sans stand 0.73 em above the baseline.
    double cap = 0.73 * size;
    double dy = v == valign::baseline ? 0.0 : v == valign::middle ? cap / 2 : cap;
    cairo_set_source_rgb(cr_, colour.r, colour.g, colour.b);
    cairo_move_to(cr_, x + dx, y + dy);
    cairo_show_text(cr_, t.c_str());
}

void canvas::text_upwards(double x, double y, std::string_view s, double size, rgb colour, bool bold) {
    cairo_save(cr_);
    cairo_translate(cr_, x, y);
    cairo_rotate(cr_, -1.5707963267948966);
    text(0, 0, s, size, colour, align::middle, valign::baseline, bold);
    cairo_restore(cr_);
}

void canvas::fill_rect(double x, double y, double w, double h, rgb colour) {
    cairo_set_source_rgb(cr_, colour.r, colour.g, colour.b);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_fill(cr_);
}

void canvas::stroke_rect(double x, double y, double w, double h, rgb colour, double width) {
    cairo_set_source_rgb(cr_, colour.r, colour.g, colour.b);
    cairo_set_line_width(cr_, width);
    cairo_rectangle(cr_, x, y, w, h);
    cairo_stroke(cr_);
}

void canvas::line(double x0, double y0, double x1, double y1, rgb colour, double width) {
    cairo_set_source_rgb(cr_, colour.r, colour.g, colour.b);
    cairo_set_line_width(cr_, width);
    cairo_move_to(cr_, x0, y0);
    cairo_line_to(cr_, x1, y1);
    cairo_stroke(cr_);
}

void canvas::paint_image(cairo_surface_t* image, double x, double y) {
    cairo_save(cr_);
    cairo_set_source_surface(cr_, image, x, y);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr_, x, y, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image));
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void canvas::finish() {
    check("draw the picture");
    if (format_ == image_format::png) {
        cairo_surface_flush(surface_);
        cairo_status_t st = cairo_surface_write_to_png_stream(surface_, write_to, this);
        if (!write_error_.empty()) throw core::failure(write_error_);
        if (st != CAIRO_STATUS_SUCCESS)
            throw core::failure(std::string("cannot write the picture: ") + cairo_status_to_string(st));
    } else {
        cairo_surface_finish(surface_);
    }
    check("write the picture");
}

}  // namespace plot
