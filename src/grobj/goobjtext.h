// Text annotations (class annot) and arrows (class arrow): the ten titles,
// the axis titles and the user's texts, and the arrows that point from a
// text to a data value.  Their properties, their defaults by object id, and
// their lines of a graph format file.
#pragma once

#include "goobjdrw.h"

#include <string>
#include <vector>

inline constexpr int OBJ_BODY_MAX = 4095;  // characters of a text kept
inline constexpr int OBJ_TIP_MAX = 12;     // characters of an arrow's tip coordinate
inline constexpr int OBJ_PREDEFINED = 228; // texts 0-227 every graph has
inline constexpr int OBJ_LINES_DRAWN = 300; // lines of a text drawn

namespace gobj {

class Text : public Drawn {
public:
    Text(const ObjClassRec *cls, int id, void *owner);
    std::unique_ptr<Object> clone() const override { return std::make_unique<Text>(*this); }
    double turn() const override { return angle; }
    // `extra` is the evaluate flag: text variables expanded, and a font,
    // size or colour that follows the graph's settings resolved.
    void *get_property(int property, int extra, int *found) override;
    bool check_property(int property, const void *value) override;
    bool set_property(int property, const void *value) override;
    void write_properties(FILE *file) override;
    // Measures the expanded body in the canvas's text font, boxes it around
    // the anchor by the origin code, then draws the background and the
    // lines (at most 300).
    void draw(GoGraph *graph) override;
    // Only a text with a body that was drawn is found.
    bool interested(const double point[2], double outline[8]) override;
    // Sets the body and, given a point (device coordinates), places the
    // anchor there; then draws.
    void set_position(GoGraph *graph, const double point[2], const void *body) override;
    // Back to the defaults of the object's id.
    void reset();
    // Attachment point n (0-8: the bottom row left to right, the middle
    // row, the top row) in canvas units; false before the text was drawn.
    bool attachment(int n, double point[2]) const;

    // One line as drawn: its foot on the left, object directions.
    struct Line {
        double x, y;
        std::string text;
    };

    std::string body;
    int font = 0, angle = 0, lheight = 0, blheight = 0;
    double size = 0;
    // The layout of the last draw.
    std::vector<Line> lines;
    double width = 0, height = 0, margin = 0;
    double attach[9][2] = {};
    GTextModes modes{};  // as the lines were drawn

private:
    int resolved_int_ = 0;
    double resolved_double_ = 0;
};

// One coordinate of an arrow's tip: a text of at most 12 characters, or
// not given.
struct TipText {
    char text[OBJ_TIP_MAX + 1] = {};
    bool given = false;
};

class Arrow : public Drawn {
public:
    // The arrow belongs to the active object (the text it was made for).
    Arrow(const ObjClassRec *cls, int id, void *owner);
    std::unique_ptr<Object> clone() const override { return std::make_unique<Arrow>(*this); }
    // With `extra` set a tip coordinate is evaluated as a number.
    void *get_property(int property, int extra, int *found) override;
    bool check_property(int property, const void *value) override;
    bool set_property(int property, const void *value) override;
    void write_properties(FILE *file) override;
    // From the parent's attachment point (the origin code) to the tip, with
    // a head unless the tip style is 0 (or the head's size is not above 0
    // or its half-angle not within 90 degrees); nothing when a needed
    // coordinate of the tip or the parent is missing.
    void draw(GoGraph *graph) override;
    // Arrows are never found by the hit test.
    bool interested(const double *, double *) override { return false; }

    TipText tip[3];  // x, y, z
    int tip_style = 0, head_size = 15, half_angle = 30;
    // The last drawn: the shaft (start, end) and the head (tip, two barbs),
    // canvas units; `head` false without one.
    double shaft[4] = {}, barbs[6] = {};
    bool head = false;

private:
    double resolved_ = 0;
};

}  // namespace gobj

using gobj::Arrow;
using gobj::Text;

extern const ObjClassRec textClassRec, arrowClassRec;
extern const ObjClassRec *const textClass, *const arrowClass;
