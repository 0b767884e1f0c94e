// How a graph's texts are measured on a canvas: the legend, the annotation
// texts and the colour bar share it.  A stroke font is measured by its own
// metrics, a device font on the image device by the device's text limits,
// and any other device font by the X font of its name ("fixed" when that
// is missing) when there is a display to ask; without one, by the device's
// text limits, or failing those the metrics of the font table.  Widths and
// heights are canvas units.  X fonts are loaded once per display and name.
#pragma once

#include "pelx.h"
#include "vxmsg.h"

#include <X11/Xlib.h>

#include <string>

struct GoGraph;

struct GoTextMeasure {
    GCanvasRecord *c = nullptr;
    const GFont *font = nullptr;
    bool stroke = true;
    bool image = false;  // measured by the device's text limits
    double size = 0;  // the text modes' scale
    Display *display = nullptr;
    XFontStruct *xfont = nullptr;  // kept for the display's life
    double height = 0;  // of one line
    double unit = 0;    // the width of a wide character

    GoTextMeasure() = default;
    GoTextMeasure(const GoTextMeasure &) = delete;
    GoTextMeasure &operator=(const GoTextMeasure &) = delete;
    ~GoTextMeasure();

    // The width of one line of text.
    double width(const std::string &text) const;
    // The width and height of a text's limits on the device, device units.
    bool limits(const char *text, double *w, double *h) const;
};

// Sets up `m` for the canvas's font `font_index` at `size`; `no_font` goes
// to standard error with the font's name when neither its X font nor
// "fixed" loads.
void gotext_measure(GoTextMeasure &m, GCanvasRecord *c, int font_index, double size,
                    const VxMsg<const char *> &no_font);
// Base device units to canvas units along x (0) or y (1); 0 when the
// canvas cannot say.
double gotext_to_cc(GCanvasRecord *c, int axis, double length);
