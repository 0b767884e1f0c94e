// Drawn objects: what every annotation of a graph shares.  Where it sits
// (a reference frame of the graph, offsets from one of the frame's sides in
// a unit), its box and colours, the property protocol (get, set, check,
// write), the positioning, the opaque background with its bevelled border,
// the hit test and the clamping that keeps a dragged object on the canvas.
// Texts and arrows build on it; their content and drawing are their own.
//
// Coordinates: points asked about (hit test, drag, set position) are device
// coordinates of the graph's canvas; the box and outline are canvas units
// around the anchor, in the object's own (possibly turned) directions.
#pragma once

#include "goobjroot.h"
#include "pelx.h"

struct GoGraph;

// Reference frames.
enum { OBJ_FRAME_CANVAS = 0, OBJ_FRAME_DATA = 1, OBJ_FRAME_GRAPH = 2, OBJ_FRAME_AREA = 3, OBJ_FRAME_PLOT = 4,
       OBJ_FRAME_GIVEN = 5, OBJ_FRAME_XAXIS = 6, OBJ_FRAME_YAXIS = 7, OBJ_FRAME_ZAXIS = 8, OBJ_FRAME_SECY = 9,
       OBJ_FRAME_LAST = 223 };
// Units of the offsets in frames 2 to 5.
enum { OBJ_UNIT_PIXELS = 0, OBJ_UNIT_CM = 1, OBJ_UNIT_INCHES = 2, OBJ_UNIT_PERCENT = 3, OBJ_UNIT_CANVAS = 4 };

namespace gobj {

class Drawn : public Object {
public:
    Drawn(const ObjClassRec *cls, int id, void *owner);
    std::unique_ptr<Object> clone() const override = 0;
    void receive(ObjRequest &request) override;
    bool interested(const double point[2], double outline[8]) override;

    // The property protocol: the field of a property (null when it is not
    // this class's), whether a value is acceptable, storing one (unchecked;
    // false when not this class's), and the object's lines of a graph
    // format file.
    virtual void *get_property(int property, int extra, int *found);
    virtual bool check_property(int property, const void *value);
    virtual bool set_property(int property, const void *value);
    virtual void write_properties(FILE *file);
    virtual void draw(GoGraph *graph);
    virtual void set_position(GoGraph *graph, const double point[2], const void *body);
    // The angle of the object's own directions, degrees.
    virtual double turn() const { return 0; }

    // Places the object on the graph: the frame, then the anchor; `given` is
    // the rectangle of frame 5 (x0, y0, x1, y1 canvas units).  The placement
    // is kept until the offsets or the canvas change, unless `rebuild`.
    // False when the object cannot be placed (a frame, unit or origin out
    // of range, an axis the graph lacks, no canvas).
    bool position(GoGraph *graph, const double *given, bool rebuild);
    // The box around the anchor (canvas units, the object's directions),
    // set once the object has measured itself: from then on it is drawn.
    void set_box(double x0, double y0, double x1, double y1);

    // Stored values (properties 198-211).
    int origin = 0, frame = 0, hattach = 0, hunit = 0, vattach = 0, vunit = 0;
    double hoffset = 0, voffset = 0;
    int opaque = 0, fgcol = 0, bgcol = 0, linew = 0, border = 0, reference = 0;

    // Placement: offsets to canvas units (valid while `placed`), the
    // anchor, the object's directions to device coordinates, the box.
    GXform place{};
    bool placed = false;
    double anchor[2] = {0, 0};
    GXform xform{};
    double box[4] = {0, 0, 0, 0};
    bool drawn = false;
    GCanvasRecord *canvas = nullptr;  // last placed on
    GXformPart canvas_to_device{};    // of that canvas, to see it change
    double frame_box[4] = {0, 0, 0, 0};  // the frame's rectangle, canvas units
    double frame_given[4] = {0, 0, 0, 0};  // frame 5's rectangle, once given
    bool has_given = false;
    int builds = 0;                   // placements computed
};

}  // namespace gobj

using gobj::Drawn;

bool gobjdrw_position_object(Drawn *object, GoGraph *graph, const double *given);
void gobjdrw_draw_object(Drawn *object, GoGraph *graph);
void gobjdrw_set_object_position(Drawn *object, GoGraph *graph, const double point[2], const void *body);
void *gobjdrw_get_properties(Drawn *object, int property, int extra, int *found);
void gobjdrw_set_properties(Drawn *object, int property, const void *value);
bool gobjdrw_check_properties(Drawn *object, int property, const void *value);
void gobjdrw_write_properties(Drawn *object, FILE *file);
// Clamps a proposed anchor (device coordinates) so that the outline stays
// in the frame's box (the canvas for frames 1 and 6-223); true when moved.
bool gobjdrw_check_object_position(Drawn *object, double point[2]);
// The four corners of the box around the anchor, canvas units, turned with
// the object.
void gobjdrw_get_object_outline(const Drawn *object, double outline[8]);
// The opaque fill of the box in bgcol and its bevel; nothing unless opaque.
void gobjdrw_draw_background(Drawn *object, GCanvasRecord *canvas);
// Offsets after the graph was resized by these ratios: those that are
// lengths (frames 2, 3, 5, and 4 when `plot_too`, in pixels, centimetres
// or inches) follow, the width ratio horizontally, the height vertically.
void gobjdrw_reposition_objects(GoGraph *graph, double height_ratio, double width_ratio, int plot_too);
// Points of the object's directions (mode 0) to device coordinates, or
// device coordinates to the object's directions (mode 1); 0, or -1 when the
// object is not placed.
int gobjdrw_transform_object_points(const Drawn *object, int mode, const double *in, double *out, int count);
// The offsets that would put the anchor at the device point; false when
// the object cannot be placed.
bool gobjdrw_point_to_offsets(Drawn *object, GoGraph *graph, const double point[2], double offsets[2]);
// A length in points (1/72 inch of the base device) in canvas units along
// x (0) or y (1).
double gobjdrw_points_to_canvas(GCanvasRecord *canvas, int axis, double points);
// One line of a graph format file: name, the object id as qualifier, the
// value by type.
void gobjdrw_do_write_property(FILE *file, const char *name, int id, int type, const void *value);
