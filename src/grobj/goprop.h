// Graph properties and the graph format record.
//
// Every graph carries one format record holding all that the user can
// change about its look and data handling.  Other code reaches it by
// property number (or by name through the lookup), never by field: 225
// numbered properties, each qualified by dataset, extra y axis, title line,
// overlay, threshold, axis or annotation object.  Rows 0-196 live in the
// record; the titles and rows 197-224 belong to the graph's annotation
// objects.  A null value means automatic.
//
// The getter, the text expansion and the point readers hand out pointers to
// static storage that stays valid until the next call of the same kind.
#pragma once

#include "dozproto.h"
#include "gopix.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

struct GoGraph;

inline constexpr int GO_NUM_PROPERTIES = 225;
inline constexpr int GO_FORMAT_PROPERTIES = 197;  // rows 0-196 live in the format record
inline constexpr int GO_DATASETS = 216, GO_SECY = 215, GO_TITLES = 10, GO_OVERLAYS = 9, GO_THRESHOLDS = 8;
inline constexpr int GO_LIMIT_LENGTH = 12;       // characters of a limit text
inline constexpr int GO_LABELFORMAT_LENGTH = 16;
inline constexpr int GO_LEGEND_LENGTH = 60;
inline constexpr int GO_GRAPHNAME_LENGTH = 14;

// Qualifier kinds, access codes and value types of the property table.
enum { GQ_SINGLE = 0, GQ_DATASET = 216, GQ_SECY = 215, GQ_TITLE = 10, GQ_OVERLAY = 9, GQ_THRESHOLD = 8,
       GQ_AXIS = 3, GQ_DATAFUNC = 2, GQ_OBJECT = -1 };
enum { GA_NOT_SAVED = 0, GA_SAVED = 1, GA_IN_OBJECT = 2 };
enum { GT_TEXT = 0, GT_INT = 1, GT_SHORT = 2, GT_DOUBLE = 3 };

struct GoPropertyInfo {
    char name[16];
    int32_t qualifiers;
    int32_t access;
    int32_t type;
};
extern const GoPropertyInfo property_info[GO_NUM_PROPERTIES];

enum GoProperty : int {
    GP_GRAPHTYPE = 0,
    GP_DATAFUNC = 1,
    GP_DATACHARACTER = 2,
    GP_COLOUR = 3,
    GP_LINESTYLE = 4,
    GP_MARKERSTYLE = 5,
    GP_HATCHSTYLE = 6,
    GP_ASLINE = 7,
    GP_XORIGIN = 8,
    GP_XMAXIMUM = 9,
    GP_XMINIMUM = 10,
    GP_XDIVISION = 11,
    GP_XLOGARITHMIC = 12,
    GP_XNUMDIVS = 13,
    GP_XNUMTICKS = 14,
    GP_XLONGTICKS = 15,
    GP_XLABELANGLE = 16,
    GP_XLABELFORMAT = 17,
    GP_YORIGIN = 18,
    GP_YMAXIMUM = 19,
    GP_YMINIMUM = 20,
    GP_YDIVISION = 21,
    GP_YLOGARITHMIC = 22,
    GP_YNUMDIVS = 23,
    GP_YNUMTICKS = 24,
    GP_YLONGTICKS = 25,
    GP_YLABELANGLE = 26,
    GP_YLABELFORMAT = 27,
    GP_ZORIGIN = 28,
    GP_ZMAXIMUM = 29,
    GP_ZMINIMUM = 30,
    GP_ZDIVISION = 31,
    GP_ZLOGARITHMIC = 32,
    GP_ZNUMDIVS = 33,
    GP_ZNUMTICKS = 34,
    GP_ZLONGTICKS = 35,
    GP_ZLABELANGLE = 36,
    GP_ZLABELFORMAT = 37,
    GP_XTITLE = 38,
    GP_XANGLE = 39,
    GP_XTITLEX = 40,
    GP_XTITLEY = 41,
    GP_YTITLE = 42,
    GP_YANGLE = 43,
    GP_YTITLEX = 44,
    GP_YTITLEY = 45,
    GP_ZTITLE = 46,
    GP_ZANGLE = 47,
    GP_ZTITLEX = 48,
    GP_ZTITLEY = 49,
    GP_TITLE = 50,
    GP_TITLEX = 51,
    GP_TITLEY = 52,
    GP_OVERLAYON = 53,
    GP_OVLCOLOUR = 54,
    GP_OVLSTYLE = 55,
    GP_OVLVAL = 56,
    GP_LEFTMARGIN = 57,
    GP_RIGHTMARGIN = 58,
    GP_TOPMARGIN = 59,
    GP_BOTTOMMARGIN = 60,
    GP_LONGTICKLEN = 61,
    GP_SMALLTICKLEN = 62,
    GP_XANGLEDEGS = 63,
    GP_YANGLEDEGS = 64,
    GP_ZANGLEDEGS = 65,
    GP_LABELFONT = 66,
    GP_LABELCOLOUR = 67,
    GP_LABELSIZE = 68,
    GP_TITLEFONT = 69,
    GP_TITLECOLOUR = 70,
    GP_TITLESIZE = 71,
    GP_TITLEANGLE = 72,
    GP_TITLEORIGIN = 73,
    GP_MARKERSIZE = 74,
    GP_LONGTICKSTYLE = 75,
    GP_NOTESFONT = 76,
    GP_BARWIDTH = 77,
    GP_TICKSPACE = 78,
    GP_HILOWIDTH = 79,
    GP_ARROWSIZE = 80,
    GP_ARROWANGLE = 81,
    GP_NUMRADIALDIVS = 82,
    GP_XROTATION = 83,
    GP_YROTATION = 84,
    GP_SURFACETYPE = 85,
    GP_CANVASBORDER = 86,
    GP_PLOTBORDER = 87,
    GP_DRAWAXES = 88,
    GP_AXISCOLOUR = 89,
    GP_AXISSTYLE = 90,
    GP_AXISWIDTH = 91,
    GP_GRIDX = 92,
    GP_GRIDZ = 93,
    GP_MARKERJOIN = 94,
    GP_SECYAXIS = 95,
    GP_SYORIGIN = 96,
    GP_SYMAXIMUM = 97,
    GP_SYMINIMUM = 98,
    GP_SYDIVISION = 99,
    GP_SYLOGARITHMIC = 100,
    GP_SYNUMDIVS = 101,
    GP_SYNUMTICKS = 102,
    GP_SYLONGTICKS = 103,
    GP_SYLABELANGLE = 104,
    GP_SYLABELFORMAT = 105,
    GP_SYTITLE = 106,
    GP_SYANGLE = 107,
    GP_SYTITLEX = 108,
    GP_SYTITLEY = 109,
    GP_SYTYPE = 110,
    GP_SYSPACING = 111,
    GP_XSCALE = 112,
    GP_XOFFSET = 113,
    GP_ZSCALE = 114,
    GP_ZOFFSET = 115,
    GP_PROBDIST = 116,
    GP_LGENABLE = 117,
    GP_LGGRAVITY = 118,
    GP_LGXOFFSET = 119,
    GP_LGYOFFSET = 120,
    GP_LGSTYLE = 121,
    GP_LGCOLUMNS = 122,
    GP_LGBORDER = 123,
    GP_LGTEXTFONT = 124,
    GP_LGTEXTSIZE = 125,
    GP_LGDSTEXT = 126,
    GP_LGDOLEXT = 127,
    GP_USEMARKERS = 128,
    GP_CMAPRANGE = 129,
    GP_DRAWGRID = 130,
    GP_DRAWSKIRT = 131,
    GP_DRAWUNDER = 132,
    GP_COLOURSURF = 133,
    GP_BINMETHOD = 134,
    GP_HBINSIZE = 135,
    GP_HRELFREQ = 136,
    GP_CBENABLE = 137,
    GP_CBXOFFSET = 138,
    GP_CBWIDTH = 139,
    GP_CBGRAVITY = 140,
    GP_CBBORDER = 141,
    GP_PROBAXIS = 142,
    GP_BOXWIDTH = 143,
    GP_BOXSDX = 144,
    GP_SHADEMETHOD = 145,
    GP_XLIGHTANGLE = 146,
    GP_YLIGHTANGLE = 147,
    GP_AMBINT = 148,
    GP_LIGHTINT = 149,
    GP_LABELBARS = 150,
    GP_USETHRESH = 151,
    GP_THRESH_VAL = 152,
    GP_THRESH_COLOUR = 153,
    GP_THRESH_HATCH = 154,
    GP_THRESH_LSTYLE = 155,
    GP_THRESH_MARKER = 156,
    GP_WFDIAMETER = 157,
    GP_DIE_X = 158,
    GP_DIE_Y = 159,
    GP_WFCENTRE_X = 160,
    GP_WFCENTRE_Y = 161,
    GP_WFOUTLINE = 162,
    GP_WFFSPOT = 163,
    GP_WFMISSCOLOUR = 164,
    GP_AGGREGATION = 165,
    GP_CENTRE_OFFSET = 166,
    GP_THETA_ORIENT = 167,
    GP_THETA_START = 168,
    GP_CONNECT_MEANS = 169,
    GP_LIMIT_TYPE = 170,
    GP_BOX_LIMIT = 171,
    GP_LINESCAT_OPT = 172,
    GP_THRESH_LINES = 173,
    GP_THRESHOLD_BY = 174,
    GP_XALLSCALE = 175,
    GP_YALLSCALE = 176,
    GP_ZALLSCALE = 177,
    GP_SYALLSCALE = 178,
    GP_DRAWBOX = 179,
    GP_BARTYPE = 180,
    GP_BARCENTRED = 181,
    GP_TAILTYPE = 182,
    GP_TAIL_LIMIT = 183,
    GP_AUTO_REDRAW = 184,
    GP_OVERLAY_VARS = 185,
    GP_LABELDIE = 186,
    GP_POLAR_OUTPUT = 187,
    GP_TIMEUNITS = 188,
    GP_MARGIN_UNITS = 189,
    GP_PIE_EXPLODE = 190,
    GP_PIE_COLOUR = 191,
    GP_PIE_STYLE = 192,
    GP_PIE_LABEL = 193,
    GP_MDATA_GAPS = 194,
    GP_AEND_GAPS = 195,
    GP_GRAPHNAME = 196,
    GP_OBJTYPE = 197,
    GP_POSITION = 198,
    GP_ORIGIN = 199,
    GP_HATTACH = 200,
    GP_HOFFSET = 201,
    GP_HUNIT = 202,
    GP_VATTACH = 203,
    GP_VOFFSET = 204,
    GP_VUNIT = 205,
    GP_REFERENCE = 206,
    GP_OPAQUE = 207,
    GP_FGCOL = 208,
    GP_BGCOL = 209,
    GP_LINEW = 210,
    GP_BORDER = 211,
    GP_ANNOT = 212,
    GP_ANNOTBODY = 213,
    GP_ANNOTFONT = 214,
    GP_ANNOTSIZE = 215,
    GP_ANNOTANGLE = 216,
    GP_ANNOTLHEIGHT = 217,
    GP_ANNOTBLHEIGHT = 218,
    GP_ARROW_X = 219,
    GP_ARROW_Y = 220,
    GP_ARROW_Z = 221,
    GP_ARROW_TIP = 222,
    GP_ARROW_SCALE = 223,
    GP_ARROW_HANGLE = 224,
};

// ---- the format record -------------------------------------------------------

// A limit text: at most 12 characters and a NUL.
using GoLimitText = char[GO_LIMIT_LENGTH + 1];

struct GoDatasetStyle {
    int32_t colour, linestyle, markerstyle, hatchstyle, asline;
};

// The limits of an axis, in the record's order.
enum { GL_MIN = 0, GL_MAX, GL_ORIGIN, GL_DIVISION, GL_NDIVS, GL_NTICKS, GL_COUNT };

struct GoAxisFormat {
    GoLimitText limit[GL_COUNT];
    int32_t set[GL_COUNT];
    int32_t logarithmic;
    int32_t longticks;
    char labelformat[GO_LABELFORMAT_LENGTH + 1];
    int32_t reserved;
    int32_t labelangle;
    int32_t allscale;
};

struct GoSecondaryY {
    int32_t secyaxis, sytype, syspacing;
    GoAxisFormat axis;
    int32_t reserved[16];
};

struct GoOverlay {
    int32_t overlayon, ovlcolour, ovlstyle, ovlval;
};

// A limit text with its flag first (wafer and kind options).
struct GoFlaggedLimit {
    int32_t set;
    GoLimitText text;
};

struct GoThreshold {
    int32_t set;
    char value[16];
    int32_t colour, hatch, lstyle, marker;
};

struct GoFormat {
    int32_t graphtype;
    GoDatasetStyle dataset[GO_DATASETS];
    GoAxisFormat axis[3];  // x, y, z
    GoSecondaryY secy[GO_SECY];
    int32_t secy_reserved[64];
    GoOverlay overlay[GO_OVERLAYS];

    int32_t titlecolour, reserved1;
    double titlesize;
    int32_t titlefont, notesfont, labelfont, reserved2;
    double labelsize;
    int32_t labelcolour, xangledegs, yangledegs, zangledegs;
    // The lower offset of the plot from the canvas edge is `topmargin`:
    // world y grows upwards, so the viewport's origin offset is the top
    // margin's field and `bottommargin` the upper one.
    int32_t leftmargin, rightmargin, bottommargin, topmargin;
    int32_t longticklen, smallticklen, longtickstyle, reserved3;
    double markersize;
    int32_t xrotation, yrotation, numradialdivs, surfacetype, bartype, barcentred, timeunits, margin_units;
    int32_t canvasborder, plotborder, gridx, gridz, markerjoin, probdist;
    int32_t drawaxes[3];
    int32_t axiscolour, axisstyle, usemarkers;
    double barwidth;
    int32_t cmaprange, drawgrid, drawskirt, drawunder, coloursurf, binmethod;
    GoLimitText hbinsize;
    int32_t hbinsize_set;
    int32_t hrelfreq, probaxis, reserved4;
    double boxsdx, boxwidth;
    int32_t shademethod, xlightangle, ylightangle;
    double ambint, lightint;
    int32_t labelbars;

    GoFlaggedLimit wfdiameter, die_x, die_y, wfcentre_x, wfcentre_y;
    int32_t wfoutline, labeldie, wffspot, wfmisscolour, aggregation;
    GoFlaggedLimit centre_offset;
    int32_t theta_orient;
    GoFlaggedLimit theta_start;
    int32_t connect_means, limit_type;
    GoFlaggedLimit box_limit;
    int32_t tailtype;
    GoFlaggedLimit tail_limit;
    int32_t linescat_opt, thresh_lines, threshold_by, drawbox, auto_redraw, overlay_vars, polar_output;
    int32_t pie_explode, pie_colour, pie_style, pie_label, mdata_gaps, aend_gaps;

    int32_t lgenable, lggravity, lgxoffset, lgyoffset, lgstyle, lgcolumns, lgborder, lgtextfont;
    double lgtextsize;
    char lgdstext[GO_DATASETS][GO_LEGEND_LENGTH + 1];
    char lgdolext[GO_OVERLAYS][GO_LEGEND_LENGTH + 1];

    double xscale, xoffset, zscale, zoffset;
    int32_t cbenable, cbgravity, cbwidth, cbxoffset, cbborder;
    int32_t usethresh;
    GoThreshold threshold[GO_THRESHOLDS];
    void *objects;  // the annotation object manager of the graph's titles and texts
    char graphname[GO_GRAPHNAME_LENGTH + 1];
    // The file the format was last loaded from or saved to (no property,
    // never written to a file).
    char filename[256];
    char reserved5[49];
};
static_assert(std::is_trivially_copyable_v<GoFormat> && std::is_standard_layout_v<GoFormat>);
static_assert(offsetof(GoFormat, dataset) == 4 && sizeof(GoDatasetStyle) == 20);
static_assert(offsetof(GoFormat, axis) == 4 + 216 * 20 && sizeof(GoAxisFormat) == 144);
static_assert(offsetof(GoFormat, secy) == offsetof(GoFormat, axis) + 3 * sizeof(GoAxisFormat));
static_assert(offsetof(GoFormat, titlecolour) == offsetof(GoFormat, overlay) + 9 * sizeof(GoOverlay));
static_assert(offsetof(GoFormat, titlesize) % 8 == 0 && sizeof(GoThreshold) == 36);

// ---- properties ----------------------------------------------------------------

// 1 and the row for 0 <= index <= 224, else 0 (nothing written).  Any out
// may be null.
int goprop_go_inquire_property(int index, const char **name, int *qualifiers, int *access, int *type);
// Exact, case-sensitive; 1 and the first matching row, else 0.
int goprop_go_lookup_property(const char *name, int *index, int *qualifiers, int *access, int *type);
// The value (int, double or text by the row's type), or null: automatic, not
// evaluable, or unknown.  Valid until the next call for the same property.
void *goprop_go_property(GoGraph *graph, int property, int qualifier, int evaluate);
// 1 when the property's value lives in the graph's annotation objects (the
// titles, their places and angles, and rows 197-224).
int goprop_go_property_in_objects(int property);
// value points to an int, a double or a text by type; for limit texts null
// means automatic.
void goprop_go_set_property(GoGraph *graph, int property, int qualifier, const void *value);
// 1 when the value (and qualifier) is acceptable.
int goprop_go_check_property_value(GoGraph *graph, int property, int qualifier, const void *value);

void goprop_go_set_default_graph_format(const GoFormat *format);
// The user default, else the built-in default (object manager cleared).
GoFormat *goprop_go_default_graph_format();
// Drops the user default (the built-in default serves again).
void goprop_go_forget_default_graph_format();

// Expands the bracketed expressions of a text into a static buffer of
// 4,097 bytes; a failure is reported unless skip_text_eval_errors is set.
char *goprop_eval_text(GoGraph *graph, const char *text);
// A limit text as one number, else as an expression: 1 and *value, or 0.
int goprop_eval_rstr(GoGraph *graph, const char *text, double *value);

extern int skip_text_eval_errors;

// The style counts that bound colour, line-style, marker, hatch and font
// indices are the style pixmaps' (gopix.h).

// ---- the point readers ---------------------------------------------------------

// Status flags of a tuple.
enum : int32_t {
    GT_S_READ = 0x1,
    GT_S_ROW_END = 0x2,
    GT_S_END = 0x4,
    GT_S_CELL_START = 0x8,
    GT_S_ELEMENT0 = 0x10,
    GT_S_START = 0x20,
};

// One point of a dataset.  The caller sets the dataset and zeroes the step
// count (value-initialising the record does both).
struct GoTuple {
    int32_t dataset;
    int32_t step;
    int32_t row;
    int32_t xcol, ycol, zcol;
    int32_t element;
    int32_t counter;
    const DozColDesc *xtype, *ytype, *ztype;
    int32_t xcount, ycount, zcount;
    double *x, *y, *z;  // null: missing
    const char *xtext, *ytext, *ztext;
    int32_t status;
    int32_t null;
    // The storage a copy writes the values into (see goprop_go_copy_tuple).
    double *own[3];
};

using GoTupleReader = GoTuple *(*)(GoTuple *);

void set_scale_offset(double xscale, double xoffset, double zscale, double zoffset);
void goprop_go_tuple_autoinc(int flag);
int goprop_go_tuple_autoinc_get();
void goprop_go_next_point(GoTuple *t);
void goprop_go_previous_point(GoTuple *t);
void go_set_page_size(GoTuple *t);
void goprop_go_page_forward(GoTuple *t);
void goprop_go_page_back(GoTuple *t);
void goprop_go_to_start(GoTuple *t);
void goprop_go_to_end(GoTuple *t);
int goprop_go_peek_data_event(GoTuple *t, int backward);
// Copies the record but writes the values into the destination's own
// storage (its value pointers when first copied into); a missing value is
// copied as missing.
void goprop_go_copy_tuple(GoTuple *destination, const GoTuple *source);
void goprop_go_restore_tuple(GoTuple *destination, const GoTuple *source);
int goprop_go_tuples_match(const GoTuple *a, const GoTuple *b);
int goprop_go_find_tuple(GoTuple *t, const GoTuple *target, int backward, GoTupleReader reader);
int goprop_null_tuple(const GoTuple *t);

// The readers themselves (property `datafunc` hands them out).
GoTuple *goprop_triple_reader(GoTuple *t);
GoTuple *goprop_multiy_reader(GoTuple *t);
