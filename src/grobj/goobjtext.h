// Text annotations (class annot) and arrows (class arrow): the ten titles,
// the axis titles and the user's texts, and the arrows that point from a
// text to a data value.  Their properties, their defaults by object id, and
// their lines of a graph format file.
#pragma once

#include "goobjdrw.h"

#include <string>

inline constexpr int OBJ_BODY_MAX = 4095;  // characters of a text kept
inline constexpr int OBJ_TIP_MAX = 12;     // characters of an arrow's tip coordinate
inline constexpr int OBJ_PREDEFINED = 228; // texts 0-227 every graph has

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
    // Sets the body and, given a point (device coordinates), places the
    // anchor there; then draws.
    void set_position(GoGraph *graph, const double point[2], const void *body) override;
    // Back to the defaults of the object's id.
    void reset();

    std::string body;
    int font = 0, angle = 0, lheight = 0, blheight = 0;
    double size = 0;

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

    TipText tip[3];  // x, y, z
    int tip_style = 0, head_size = 15, half_angle = 30;

private:
    double resolved_ = 0;
};

}  // namespace gobj

using gobj::Arrow;
using gobj::Text;

extern const ObjClassRec textClassRec, arrowClassRec;
extern const ObjClassRec *const textClass, *const arrowClass;
