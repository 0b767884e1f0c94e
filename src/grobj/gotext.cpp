// The measuring of texts on a canvas (gotext.h).

#include "gotext.h"

#include "goshell.h"

#include <X11/Intrinsic.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

// Last: it defines min and max as macros (for the close-display hook).
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {

Display *display_of(GCanvasRecord *c)
{
    if (c->device && c->device->modes.displayconn)
        return static_cast<Display *>(c->device->modes.displayconn);
    Widget top = go_dy_toplevel();
    return top ? XtDisplay(top) : nullptr;
}

double stroke_width(const GoTextMeasure &m, const std::string &t)
{
    if (!m.font)
        return 0;
    if (m.font->glyphs) {
        long w = 0, h = 0, d = 0, b = 0;
        GFontMetrics(t.c_str(), m.font, 5 * m.size, &w, &h, &d, &b);
        return static_cast<double>(w);
    }
    return static_cast<double>(t.size()) * 5 * m.size * m.font->width;
}

// The X fonts measured on a display, loaded once by name and kept until
// the display closes; a name that did not load is remembered as null.
struct DisplayFonts {
    Display *display;
    std::map<std::string, XFontStruct *> fonts;
};
std::vector<DisplayFonts> &font_cache()
{
    static std::vector<DisplayFonts> cache;
    return cache;
}

int forget_display(Display *display, XExtCodes *)
{
    auto &cache = font_cache();
    for (auto it = cache.begin(); it != cache.end(); ++it)
        if (it->display == display) {
            for (auto &[name, font] : it->fonts)
                if (font)
                    XFreeFont(display, font);
            cache.erase(it);
            break;
        }
    return 0;
}

XFontStruct *load_font(Display *display, const std::string &name)
{
    auto &cache = font_cache();
    auto it = std::find_if(cache.begin(), cache.end(), [&](const DisplayFonts &f) { return f.display == display; });
    if (it == cache.end()) {
        // Told when the display closes, while its connection still serves.
        if (XExtCodes *codes = XAddExtension(display))
            XESetCloseDisplay(display, codes->extension, forget_display);
        cache.push_back({display, {}});
        it = cache.end() - 1;
    }
    auto [font, fresh] = it->fonts.try_emplace(name, nullptr);
    if (fresh)
        font->second = XLoadQueryFont(display, name.c_str());
    return font->second;
}

}  // namespace

double gotext_to_cc(GCanvasRecord *c, int axis, double length)
{
    const double v = GTransformLength(c, 2, axis, GTransformLength(c, 5, axis, length));
    return std::isfinite(v) ? v : 0;
}

GoTextMeasure::~GoTextMeasure() = default;

bool GoTextMeasure::limits(const char *t, double *w, double *h) const
{
    short k[8];
    if (!c || GGetRelativeTextLimits(c, t, k) != 0)
        return false;
    short x0 = k[0], x1 = k[0], y0 = k[1], y1 = k[1];
    for (int i = 1; i < 4; i++) {
        x0 = std::min(x0, k[2 * i]);
        x1 = std::max(x1, k[2 * i]);
        y0 = std::min(y0, k[2 * i + 1]);
        y1 = std::max(y1, k[2 * i + 1]);
    }
    *w = x1 - x0;
    *h = y1 - y0;
    return true;
}

double GoTextMeasure::width(const std::string &t) const
{
    if (stroke)
        return stroke_width(*this, t);
    if (image) {
        double w = 0, h = 0;
        return limits(t.c_str(), &w, &h) ? gotext_to_cc(c, 0, w) : 0;
    }
    if (xfont)
        return gotext_to_cc(c, 0, XTextWidth(xfont, t.c_str(), static_cast<int>(t.size())));
    return stroke_width(*this, t);
}

void gotext_measure(GoTextMeasure &m, GCanvasRecord *c, int font_index, double size,
                    const VxMsg<const char *> &no_font)
{
    m.c = c;
    m.size = size;
    m.font = gfont_GGetCanvasFont(c, font_index);
    if (!m.font)
        m.font = gfont_GGetFont(gfont_GGetDefaultFontTable(), font_index);
    m.stroke = !m.font || m.font->glyphs;
    m.image = !m.stroke && c->device && c->device->modes.protocol == GP_IMAGE;
    if (!m.stroke && !m.image) {
        // A device font is measured with the X font of its name, when there
        // is a display to ask.
        m.display = display_of(c);
        if (m.display) {
            const char *name = m.font->name ? m.font->name : "";
            m.xfont = load_font(m.display, name);
            if (!m.xfont)
                m.xfont = load_font(m.display, "fixed");
            if (!m.xfont)
                go_say(no_font, name);
        }
        if (!m.xfont) {
            // No display to ask: the device's own text limits, where it
            // gives them, else the font table's metrics.
            double w = 0, h = 0;
            m.image = m.limits("Q", &w, &h) && h > 0;
            m.stroke = !m.image;
        }
    }
    if (m.image) {
        double w = 0, h = 0, sw = 0, sh = 0;
        m.limits("Q", &w, &h);
        m.limits(" ", &sw, &sh);
        m.height = gotext_to_cc(c, 1, h);
        m.unit = gotext_to_cc(c, 0, 6 * sw);
    } else if (m.xfont) {
        m.height = gotext_to_cc(c, 1, m.xfont->max_bounds.ascent + m.xfont->max_bounds.descent);
        m.unit = gotext_to_cc(c, 0, m.xfont->max_bounds.width);
    } else if (m.font) {
        m.height = 5 * m.size * m.font->height;
        m.unit = 5 * m.size * m.font->width;
    }
}
