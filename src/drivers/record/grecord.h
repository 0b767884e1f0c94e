// The recording driver: an entry table whose every operation records its
// call (slot, scalar arguments, the points of its vectors, its text and the
// canvas's modes at the time) and otherwise behaves as the stand-in driver
// of the device's protocol.  Installed for all four drivers at once, it lets
// tests check what the kernel asks a driver to do.
#pragma once

#include "pelx.h"

#include <string>
#include <vector>

namespace grec {

struct Points {
    int type = -1;  // element type, -1 for an absent vector
    int dims = 0;
    std::vector<double> values;  // count x dims, interleaved
    long count() const { return dims ? static_cast<long>(values.size()) / dims : 0; }
    double at(long i, int c) const { return values[static_cast<size_t>(i * dims + c)]; }
};

// A copy of the raster image DrawImage received.
struct Image {
    int x = 0, y = 0, width = 0, height = 0, depth = 0, bits = 0;
    std::vector<unsigned char> data;  // the pixel buffer as it came
    int mask_flag = 0;
    std::vector<unsigned char> mask;  // mask rows as they came (empty: none)
    int mask_width = 0, mask_height = 0;
    int invert_y = 0;
    // Pixel (column, row) by the storage bits.
    unsigned long pixel(long column, long row) const;
    // Mask bit (column, row); 1 when there is no mask.
    int kept(long column, long row) const;
};

struct Call {
    int slot;  // GEP_*
    std::vector<long> ints;
    std::vector<Points> points;
    std::string text;
    GLineModes line{};
    GFillModes fill{};
    GTextModes text_modes{};
    Image image{};  // DrawImage only
};

extern const char *const slot_names[GEP_COUNT];

// Installs the recorder for every driver (and clears the record); remove()
// puts the stand-ins back.
void install();
void remove();
void clear();
const std::vector<Call> &calls();
std::vector<Call> of(int slot);
long count(int slot);

// Answers the recorder gives.
struct Answers {
    int invert_y = -1;        // -1: by protocol (X and image 1, others 0)
    int open_device = 0;      // OpenDevice result
    short text_limits[8] = {0, 0, 0, 10, 40, 10, 40, 0};  // GetRelativeTextLimits
    int text_limits_result = 0;
    long canvas_colour = 7;   // GetCanvasColour
};
Answers &answers();

}  // namespace grec
