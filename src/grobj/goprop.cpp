// The property table, the built-in and user default formats, and reading,
// setting and checking properties by number.

#include "goprop.h"
#include "gomain.h"
#include "goshell.h"
#include "gotvar.h"
#include "seams.h"

#include "dsmgr.h"
#include "pelx.h"
#include "vxutil.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale.h>

const GoPropertyInfo property_info[GO_NUM_PROPERTIES] = {
    {"graphtype", 0, 1, 1},
    {"datafunc", 2, 0, 1},
    {"datacharacter", 0, 0, 1},
    {"colour", 216, 1, 1},
    {"linestyle", 216, 1, 1},
    {"markerstyle", 216, 1, 1},
    {"hatchstyle", 216, 1, 1},
    {"asline", 216, 1, 1},
    {"xorigin", 0, 1, 0},
    {"xmaximum", 0, 1, 0},
    {"xminimum", 0, 1, 0},
    {"xdivision", 0, 1, 0},
    {"xlogarithmic", 0, 1, 1},
    {"xnumdivs", 0, 1, 0},
    {"xnumticks", 0, 1, 0},
    {"xlongticks", 0, 1, 1},
    {"xlabelangle", 0, 1, 1},
    {"xlabelformat", 0, 1, 0},
    {"yorigin", 0, 1, 0},
    {"ymaximum", 0, 1, 0},
    {"yminimum", 0, 1, 0},
    {"ydivision", 0, 1, 0},
    {"ylogarithmic", 0, 1, 1},
    {"ynumdivs", 0, 1, 0},
    {"ynumticks", 0, 1, 0},
    {"ylongticks", 0, 1, 1},
    {"ylabelangle", 0, 1, 1},
    {"ylabelformat", 0, 1, 0},
    {"zorigin", 0, 1, 0},
    {"zmaximum", 0, 1, 0},
    {"zminimum", 0, 1, 0},
    {"zdivision", 0, 1, 0},
    {"zlogarithmic", 0, 1, 1},
    {"znumdivs", 0, 1, 0},
    {"znumticks", 0, 1, 0},
    {"zlongticks", 0, 1, 1},
    {"zlabelangle", 0, 1, 1},
    {"zlabelformat", 0, 1, 0},
    {"xtitle", 0, 2, 0},
    {"xangle", 0, 0, 1},
    {"xtitlex", 0, 2, 1},
    {"xtitley", 0, 2, 1},
    {"ytitle", 0, 2, 0},
    {"yangle", 0, 2, 1},
    {"ytitlex", 0, 2, 1},
    {"ytitley", 0, 2, 1},
    {"ztitle", 0, 2, 0},
    {"zangle", 0, 2, 1},
    {"ztitlex", 0, 2, 1},
    {"ztitley", 0, 2, 1},
    {"title", 10, 2, 0},
    {"titlex", 10, 2, 1},
    {"titley", 10, 2, 1},
    {"overlayon", 9, 1, 1},
    {"ovlcolour", 9, 1, 1},
    {"ovlstyle", 9, 1, 1},
    {"ovlval", 9, 1, 1},
    {"leftmargin", 0, 1, 1},
    {"rightmargin", 0, 1, 1},
    {"topmargin", 0, 1, 1},
    {"bottommargin", 0, 1, 1},
    {"longticklen", 0, 1, 1},
    {"smallticklen", 0, 1, 1},
    {"xangledegs", 0, 1, 1},
    {"yangledegs", 0, 1, 1},
    {"zangledegs", 0, 1, 1},
    {"labelfont", 0, 1, 1},
    {"labelcolour", 0, 1, 1},
    {"labelsize", 0, 1, 3},
    {"titlefont", 0, 1, 1},
    {"titlecolour", 0, 1, 1},
    {"titlesize", 0, 1, 3},
    {"titleangle", 0, 0, 1},
    {"titleorigin", 0, 0, 1},
    {"markersize", 0, 1, 3},
    {"longtickstyle", 0, 1, 1},
    {"notesfont", 0, 1, 1},
    {"barwidth", 0, 1, 3},
    {"tickspace", 0, 0, 1},
    {"hilowidth", 0, 0, 1},
    {"arrowsize", 0, 0, 1},
    {"arrowangle", 0, 0, 1},
    {"numradialdivs", 0, 1, 1},
    {"xrotation", 0, 1, 1},
    {"yrotation", 0, 1, 1},
    {"surfacetype", 0, 1, 1},
    {"canvasborder", 0, 1, 1},
    {"plotborder", 0, 1, 1},
    {"drawaxes", 3, 1, 1},
    {"axiscolour", 0, 1, 1},
    {"axisstyle", 0, 1, 1},
    {"axiswidth", 0, 0, 1},
    {"gridx", 0, 1, 1},
    {"gridz", 0, 1, 1},
    {"markerjoin", 0, 1, 1},
    {"secyaxis", 215, 1, 1},
    {"syorigin", 215, 1, 0},
    {"symaximum", 215, 1, 0},
    {"syminimum", 215, 1, 0},
    {"sydivision", 215, 1, 0},
    {"sylogarithmic", 215, 1, 1},
    {"synumdivs", 215, 1, 0},
    {"synumticks", 215, 1, 0},
    {"sylongticks", 215, 1, 1},
    {"sylabelangle", 215, 1, 1},
    {"sylabelformat", 215, 1, 0},
    {"sytitle", 215, 1, 0},
    {"syangle", 215, 1, 1},
    {"sytitlex", 215, 1, 1},
    {"sytitley", 215, 1, 1},
    {"sytype", 215, 1, 1},
    {"syspacing", 215, 1, 1},
    {"xscale", 0, 1, 3},
    {"xoffset", 0, 1, 3},
    {"zscale", 0, 1, 3},
    {"zoffset", 0, 1, 3},
    {"probdist", 0, 1, 1},
    {"lgenable", 0, 1, 1},
    {"lggravity", 0, 1, 1},
    {"lgxoffset", 0, 1, 1},
    {"lgyoffset", 0, 1, 1},
    {"lgstyle", 0, 1, 1},
    {"lgcolumns", 0, 1, 1},
    {"lgborder", 0, 1, 1},
    {"lgtextfont", 0, 1, 1},
    {"lgtextsize", 0, 1, 3},
    {"lgdstext", 216, 1, 0},
    {"lgdolext", 9, 1, 0},
    {"usemarkers", 0, 1, 1},
    {"cmaprange", 0, 1, 1},
    {"drawgrid", 0, 1, 1},
    {"drawskirt", 0, 1, 1},
    {"drawunder", 0, 1, 1},
    {"coloursurf", 0, 1, 1},
    {"binmethod", 0, 1, 1},
    {"hbinsize", 0, 1, 0},
    {"hrelfreq", 0, 1, 1},
    {"cbenable", 0, 1, 1},
    {"cbxoffset", 0, 1, 1},
    {"cbwidth", 0, 1, 1},
    {"cbgravity", 0, 1, 1},
    {"cbborder", 0, 0, 1},
    {"probaxis", 0, 1, 1},
    {"boxwidth", 0, 1, 3},
    {"boxsdx", 0, 1, 3},
    {"shademethod", 0, 1, 1},
    {"xlightangle", 0, 1, 1},
    {"ylightangle", 0, 1, 1},
    {"ambint", 0, 1, 3},
    {"lightint", 0, 1, 3},
    {"labelbars", 0, 1, 1},
    {"usethresh", 0, 1, 1},
    {"thresh_val", 8, 1, 0},
    {"thresh_colour", 8, 1, 1},
    {"thresh_hatch", 8, 1, 1},
    {"thresh_lstyle", 8, 1, 1},
    {"thresh_marker", 8, 1, 1},
    {"wfdiameter", 0, 1, 0},
    {"die_x", 0, 1, 0},
    {"die_y", 0, 1, 0},
    {"wfcentre_x", 0, 1, 0},
    {"wfcentre_y", 0, 1, 0},
    {"wfoutline", 0, 1, 1},
    {"wffspot", 0, 1, 1},
    {"wfmisscolour", 0, 1, 1},
    {"aggregation", 0, 1, 1},
    {"centre_offset", 0, 1, 0},
    {"theta_orient", 0, 1, 1},
    {"theta_start", 0, 1, 0},
    {"connect_means", 0, 1, 1},
    {"limit_type", 0, 1, 1},
    {"box_limit", 0, 1, 0},
    {"linescat_opt", 0, 1, 1},
    {"thresh_lines", 0, 1, 1},
    {"threshold_by", 0, 1, 1},
    {"xallscale", 0, 1, 1},
    {"yallscale", 0, 1, 1},
    {"zallscale", 0, 1, 1},
    {"syallscale", 215, 1, 1},
    {"drawbox", 0, 1, 1},
    {"bartype", 0, 1, 1},
    {"barcentred", 0, 1, 1},
    {"tailtype", 0, 1, 1},
    {"tail_limit", 0, 1, 0},
    {"auto_redraw", 0, 1, 1},
    {"overlay_vars", 0, 1, 1},
    {"labeldie", 0, 1, 1},
    {"polar_output", 0, 1, 1},
    {"timeunits", 0, 1, 1},
    {"margin_units", 0, 1, 1},
    {"pie_explode", 0, 1, 1},
    {"pie_colour", 0, 1, 1},
    {"pie_style", 0, 1, 1},
    {"pie_label", 0, 1, 1},
    {"mdata_gaps", 0, 1, 1},
    {"aend_gaps", 0, 1, 1},
    {"graphname", 0, 1, 0},
    {"objtype", -1, 1, 1},
    {"position", -1, 1, 1},
    {"origin", -1, 1, 1},
    {"hattach", -1, 1, 1},
    {"hoffset", -1, 1, 3},
    {"hunit", -1, 1, 1},
    {"vattach", -1, 1, 1},
    {"voffset", -1, 1, 3},
    {"vunit", -1, 1, 1},
    {"reference", -1, 1, 1},
    {"opaque", -1, 1, 1},
    {"fgcol", -1, 1, 1},
    {"bgcol", -1, 1, 1},
    {"linew", -1, 1, 1},
    {"border", -1, 1, 1},
    {"annot", 0, 1, 1},
    {"annotbody", -1, 1, 0},
    {"annotfont", -1, 1, 1},
    {"annotsize", -1, 1, 3},
    {"annotangle", -1, 1, 1},
    {"annotlheight", -1, 1, 1},
    {"annotblheight", -1, 1, 1},
    {"arrow_x", -1, 1, 0},
    {"arrow_y", -1, 1, 0},
    {"arrow_z", -1, 1, 0},
    {"arrow_tip", -1, 1, 1},
    {"arrow_scale", -1, 1, 1},
    {"arrow_hangle", -1, 1, 1},
};

int skip_text_eval_errors = 0;

namespace {

// ---- numbers in the C locale ------------------------------------------------------

struct CNumeric {
    locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    locale_t previous = c ? uselocale(c) : nullptr;
    ~CNumeric()
    {
        if (c) {
            uselocale(previous);
            freelocale(c);
        }
    }
};

// Exactly one number and nothing after it.
bool one_number(const char *text, double *value)
{
    CNumeric cn;
    char rest[2];
    return sscanf(text, "%lf %1s", value, rest) == 1;
}

int clamp_int(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

// ---- default formats ----------------------------------------------------------------

void put_limit(GoFlaggedLimit &l, const char *text)
{
    l.set = 1;
    safe_strcpy(l.text, text, GO_LIMIT_LENGTH);
}

void default_axis(GoAxisFormat &a)
{
    a = GoAxisFormat{};
    strcpy(a.labelformat, "%v");
    a.labelangle = 1;
}

GoFormat *make_builtin()
{
    auto *f = new GoFormat{};
    static const int cycle[18] = {3, 4, 5, 6, 7, 1, 2, 9, 10, 11, 12, 13, 14, 15, 8, 17, 18, 19};
    for (int d = 0; d < GO_DATASETS; d++)
        f->dataset[d] = GoDatasetStyle{cycle[d % 18], 0, 0, 1, d == 0 ? 0 : 1};
    for (GoAxisFormat &a : f->axis)
        default_axis(a);
    for (GoSecondaryY &s : f->secy) {
        default_axis(s.axis);
        s.sytype = 2;
        s.syspacing = 20;
    }
    static const int ovl_colour[9] = {4, 5, 6, 7, 1, 2, 3, 4, 4};
    for (int o = 0; o < GO_OVERLAYS; o++)
        f->overlay[o] = GoOverlay{0, ovl_colour[o], 0, o == 8 ? 2 : 0};
    f->leftmargin = 80;
    f->rightmargin = 30;
    f->topmargin = 40;
    f->bottommargin = 30;
    f->longticklen = 10;
    f->smallticklen = 5;
    f->xangledegs = f->yangledegs = f->zangledegs = 315;
    f->labelfont = 1;
    f->labelcolour = 1;
    f->labelsize = 0.2;
    f->titlefont = 0;
    f->titlecolour = 1;
    f->titlesize = 0.3;
    f->markersize = 0.25;
    f->longtickstyle = 1;
    f->notesfont = 2;
    f->barwidth = 0.8;
    f->numradialdivs = 3;
    f->xrotation = 30;
    f->yrotation = 30;
    f->drawaxes[0] = f->drawaxes[1] = f->drawaxes[2] = 1;
    f->axiscolour = 1;
    f->gridx = f->gridz = 16;
    f->xscale = 1.0;
    f->zscale = 1.0;
    f->lggravity = 1;
    f->lgxoffset = f->lgyoffset = 10;
    f->lgstyle = 2;
    f->lgcolumns = 1;
    f->lgborder = 1;
    f->lgtextfont = 1;
    f->lgtextsize = 0.15;
    f->binmethod = 3;
    f->cbxoffset = 10;
    f->cbwidth = 15;
    f->cbgravity = 1;
    f->boxwidth = 2.0;
    f->boxsdx = 0.5;
    f->ambint = 0.3;
    f->lightint = 0.9;
    for (int t = 0; t < GO_THRESHOLDS; t++)
        f->threshold[t] = GoThreshold{0, {}, 3 + t, 1, 0, 0};
    put_limit(f->die_x, "1.0");
    put_limit(f->die_y, "1.0");
    put_limit(f->wfcentre_x, "0.0");
    put_limit(f->wfcentre_y, "0.0");
    f->wfoutline = 1;
    f->wffspot = 3;
    f->theta_orient = 1;
    put_limit(f->box_limit, "2.0");
    f->barcentred = 1;
    f->tailtype = 1;
    put_limit(f->tail_limit, "0.0");
    f->auto_redraw = 1;
    f->timeunits = 6;
    f->pie_colour = 1;
    f->aend_gaps = 1;
    return f;
}

GoFormat *builtin()
{
    static GoFormat *f = make_builtin();
    return f;
}

GoFormat *user_default = nullptr;

// ---- where a property lives -----------------------------------------------------------

struct Limit {
    char *text;
    int32_t *set;
};

// Limit slot of an axis property by its distance from the axis's origin
// property (origin, maximum, minimum, division, logarithmic, divisions,
// ticks); -1 for one that is no limit.
int limit_slot(int offset)
{
    static const int slot[7] = {GL_ORIGIN, GL_MAX, GL_MIN, GL_DIVISION, -1, GL_NDIVS, GL_NTICKS};
    return offset >= 0 && offset < 7 ? slot[offset] : -1;
}

// The axis format and the distance from its origin property of an axis
// property (x 8-17, y 18-27, z 28-37, secondary y 96-105), else null.
GoAxisFormat *axis_of(GoFormat *f, int p, int q, int *offset)
{
    if (p >= GP_XORIGIN && p <= GP_ZLABELFORMAT) {
        *offset = (p - GP_XORIGIN) % 10;
        return &f->axis[(p - GP_XORIGIN) / 10];
    }
    if (p >= GP_SYORIGIN && p <= GP_SYLABELFORMAT) {
        *offset = p - GP_SYORIGIN;
        return &f->secy[q].axis;
    }
    return nullptr;
}

bool limit_of(GoFormat *f, int p, int q, Limit *out)
{
    int offset = 0;
    if (GoAxisFormat *a = axis_of(f, p, q, &offset)) {
        const int s = limit_slot(offset);
        if (s < 0)
            return false;
        *out = {a->limit[s], &a->set[s]};
        return true;
    }
    GoFlaggedLimit *l = nullptr;
    switch (p) {
    case GP_HBINSIZE: *out = {f->hbinsize, &f->hbinsize_set}; return true;
    case GP_WFDIAMETER: l = &f->wfdiameter; break;
    case GP_DIE_X: l = &f->die_x; break;
    case GP_DIE_Y: l = &f->die_y; break;
    case GP_WFCENTRE_X: l = &f->wfcentre_x; break;
    case GP_WFCENTRE_Y: l = &f->wfcentre_y; break;
    case GP_CENTRE_OFFSET: l = &f->centre_offset; break;
    case GP_THETA_START: l = &f->theta_start; break;
    case GP_BOX_LIMIT: l = &f->box_limit; break;
    case GP_TAIL_LIMIT: l = &f->tail_limit; break;
    default: return false;
    }
    *out = {l->text, &l->set};
    return true;
}

bool is_divisions(int p)
{
    switch (p) {
    case GP_XNUMDIVS:
    case GP_XNUMTICKS:
    case GP_YNUMDIVS:
    case GP_YNUMTICKS:
    case GP_ZNUMDIVS:
    case GP_ZNUMTICKS:
    case GP_SYNUMDIVS:
    case GP_SYNUMTICKS: return true;
    default: return false;
    }
}

// The field of a property that the record holds as an int, a double or a
// plain text (not a limit text), for a qualifier already in range.
void *field_of(GoFormat *f, int p, int q)
{
    int offset = 0;
    if (GoAxisFormat *a = axis_of(f, p, q, &offset)) {
        switch (offset) {
        case 4: return &a->logarithmic;
        case 7: return &a->longticks;
        case 8: return &a->labelangle;
        case 9: return a->labelformat;
        default: return nullptr;
        }
    }
    GoDatasetStyle &ds = f->dataset[p >= GP_COLOUR && p <= GP_ASLINE ? q : 0];
    GoOverlay &ov = f->overlay[p >= GP_OVERLAYON && p <= GP_OVLVAL ? q : 0];
    GoThreshold &th = f->threshold[p >= GP_THRESH_COLOUR && p <= GP_THRESH_MARKER ? q : 0];
    GoSecondaryY &sy = f->secy[p == GP_SECYAXIS || p == GP_SYTYPE || p == GP_SYSPACING || p == GP_SYALLSCALE ? q : 0];
    switch (p) {
    case GP_GRAPHTYPE: return &f->graphtype;
    case GP_COLOUR: return &ds.colour;
    case GP_LINESTYLE: return &ds.linestyle;
    case GP_MARKERSTYLE: return &ds.markerstyle;
    case GP_HATCHSTYLE: return &ds.hatchstyle;
    case GP_ASLINE: return &ds.asline;
    case GP_OVERLAYON: return &ov.overlayon;
    case GP_OVLCOLOUR: return &ov.ovlcolour;
    case GP_OVLSTYLE: return &ov.ovlstyle;
    case GP_OVLVAL: return &ov.ovlval;
    case GP_LEFTMARGIN: return &f->leftmargin;
    case GP_RIGHTMARGIN: return &f->rightmargin;
    case GP_TOPMARGIN: return &f->topmargin;
    case GP_BOTTOMMARGIN: return &f->bottommargin;
    case GP_LONGTICKLEN: return &f->longticklen;
    case GP_SMALLTICKLEN: return &f->smallticklen;
    case GP_XANGLEDEGS: return &f->xangledegs;
    case GP_YANGLEDEGS: return &f->yangledegs;
    case GP_ZANGLEDEGS: return &f->zangledegs;
    case GP_LABELFONT: return &f->labelfont;
    case GP_LABELCOLOUR: return &f->labelcolour;
    case GP_LABELSIZE: return &f->labelsize;
    case GP_TITLEFONT: return &f->titlefont;
    case GP_TITLECOLOUR: return &f->titlecolour;
    case GP_TITLESIZE: return &f->titlesize;
    case GP_MARKERSIZE: return &f->markersize;
    case GP_LONGTICKSTYLE: return &f->longtickstyle;
    case GP_NOTESFONT: return &f->notesfont;
    case GP_BARWIDTH: return &f->barwidth;
    case GP_NUMRADIALDIVS: return &f->numradialdivs;
    case GP_XROTATION: return &f->xrotation;
    case GP_YROTATION: return &f->yrotation;
    case GP_SURFACETYPE: return &f->surfacetype;
    case GP_CANVASBORDER: return &f->canvasborder;
    case GP_PLOTBORDER: return &f->plotborder;
    case GP_DRAWAXES: return &f->drawaxes[q];
    case GP_AXISCOLOUR: return &f->axiscolour;
    case GP_AXISSTYLE: return &f->axisstyle;
    case GP_GRIDX: return &f->gridx;
    case GP_GRIDZ: return &f->gridz;
    case GP_MARKERJOIN: return &f->markerjoin;
    case GP_SECYAXIS: return &sy.secyaxis;
    case GP_SYTYPE: return &sy.sytype;
    case GP_SYSPACING: return &sy.syspacing;
    case GP_XSCALE: return &f->xscale;
    case GP_XOFFSET: return &f->xoffset;
    case GP_ZSCALE: return &f->zscale;
    case GP_ZOFFSET: return &f->zoffset;
    case GP_PROBDIST: return &f->probdist;
    case GP_LGENABLE: return &f->lgenable;
    case GP_LGGRAVITY: return &f->lggravity;
    case GP_LGXOFFSET: return &f->lgxoffset;
    case GP_LGYOFFSET: return &f->lgyoffset;
    case GP_LGSTYLE: return &f->lgstyle;
    case GP_LGCOLUMNS: return &f->lgcolumns;
    case GP_LGBORDER: return &f->lgborder;
    case GP_LGTEXTFONT: return &f->lgtextfont;
    case GP_LGTEXTSIZE: return &f->lgtextsize;
    case GP_LGDSTEXT: return f->lgdstext[q];
    case GP_LGDOLEXT: return f->lgdolext[q];
    case GP_USEMARKERS: return &f->usemarkers;
    case GP_CMAPRANGE: return &f->cmaprange;
    case GP_DRAWGRID: return &f->drawgrid;
    case GP_DRAWSKIRT: return &f->drawskirt;
    case GP_DRAWUNDER: return &f->drawunder;
    case GP_COLOURSURF: return &f->coloursurf;
    case GP_BINMETHOD: return &f->binmethod;
    case GP_HRELFREQ: return &f->hrelfreq;
    case GP_CBENABLE: return &f->cbenable;
    case GP_CBXOFFSET: return &f->cbxoffset;
    case GP_CBWIDTH: return &f->cbwidth;
    case GP_CBGRAVITY: return &f->cbgravity;
    case GP_CBBORDER: return &f->cbborder;
    case GP_PROBAXIS: return &f->probaxis;
    case GP_BOXWIDTH: return &f->boxwidth;
    case GP_BOXSDX: return &f->boxsdx;
    case GP_SHADEMETHOD: return &f->shademethod;
    case GP_XLIGHTANGLE: return &f->xlightangle;
    case GP_YLIGHTANGLE: return &f->ylightangle;
    case GP_AMBINT: return &f->ambint;
    case GP_LIGHTINT: return &f->lightint;
    case GP_LABELBARS: return &f->labelbars;
    case GP_USETHRESH: return &f->usethresh;
    case GP_THRESH_COLOUR: return &th.colour;
    case GP_THRESH_HATCH: return &th.hatch;
    case GP_THRESH_LSTYLE: return &th.lstyle;
    case GP_THRESH_MARKER: return &th.marker;
    case GP_WFOUTLINE: return &f->wfoutline;
    case GP_WFFSPOT: return &f->wffspot;
    case GP_WFMISSCOLOUR: return &f->wfmisscolour;
    case GP_AGGREGATION: return &f->aggregation;
    case GP_THETA_ORIENT: return &f->theta_orient;
    case GP_CONNECT_MEANS: return &f->connect_means;
    case GP_LIMIT_TYPE: return &f->limit_type;
    case GP_LINESCAT_OPT: return &f->linescat_opt;
    case GP_THRESH_LINES: return &f->thresh_lines;
    case GP_THRESHOLD_BY: return &f->threshold_by;
    case GP_XALLSCALE: return &f->axis[0].allscale;
    case GP_YALLSCALE: return &f->axis[1].allscale;
    case GP_ZALLSCALE: return &f->axis[2].allscale;
    case GP_SYALLSCALE: return &sy.axis.allscale;
    case GP_DRAWBOX: return &f->drawbox;
    case GP_BARTYPE: return &f->bartype;
    case GP_BARCENTRED: return &f->barcentred;
    case GP_TAILTYPE: return &f->tailtype;
    case GP_AUTO_REDRAW: return &f->auto_redraw;
    case GP_OVERLAY_VARS: return &f->overlay_vars;
    case GP_LABELDIE: return &f->labeldie;
    case GP_POLAR_OUTPUT: return &f->polar_output;
    case GP_TIMEUNITS: return &f->timeunits;
    case GP_MARGIN_UNITS: return &f->margin_units;
    case GP_PIE_EXPLODE: return &f->pie_explode;
    case GP_PIE_COLOUR: return &f->pie_colour;
    case GP_PIE_STYLE: return &f->pie_style;
    case GP_PIE_LABEL: return &f->pie_label;
    case GP_MDATA_GAPS: return &f->mdata_gaps;
    case GP_AEND_GAPS: return &f->aend_gaps;
    case GP_GRAPHNAME: return f->graphname;
    default: return nullptr;
    }
}

// The read-only constants.
bool constant_of(int p, int *value)
{
    switch (p) {
    case GP_TITLEANGLE: *value = 0; return true;
    case GP_TITLEORIGIN: *value = 7; return true;
    case GP_TICKSPACE: *value = 4; return true;
    case GP_HILOWIDTH: *value = 8; return true;
    case GP_ARROWSIZE: *value = 8; return true;
    case GP_ARROWANGLE: *value = 30; return true;
    case GP_AXISWIDTH: *value = 0; return true;
    default: return false;
    }
}

// Properties that the annotation objects hold.
bool in_objects(int p)
{
    return (p >= GP_XTITLE && p <= GP_TITLEY) || (p >= GP_SYTITLE && p <= GP_SYTITLEY) || p > GP_GRAPHNAME;
}

// Qualifier range of a row for reading (reduced) and setting: false for
// one the row cannot take.  `reduce` folds it into range the way the
// reader does.
bool qualifier_in_range(int p, int *q, bool setting)
{
    const int kind = property_info[p].qualifiers;
    if (kind == GQ_SINGLE || kind == GQ_OBJECT || kind == GQ_DATAFUNC || kind == GQ_TITLE)
        return true;
    if (*q < 0)
        return false;
    if (p == GP_DRAWAXES)
        return *q < 3;
    // Setting a dataset or overlay property takes the qualifier as it is.
    const bool unreduced = setting && ((kind == GQ_DATASET && p != GP_LGDSTEXT) ||
                                       (kind == GQ_OVERLAY && p != GP_LGDOLEXT));
    if (unreduced)
        return *q < kind;
    *q %= kind;
    return true;
}

double limit_value[GO_NUM_PROPERTIES];
int limit_int[GO_NUM_PROPERTIES];
double thresh_value;
int static_int;

// Evaluates a limit text; reports a failure unless it came from an
// evaluation nested in another.
bool evaluate_limit(GoGraph *graph, const char *text, double *value)
{
    if (goprop_eval_rstr(graph, text, value))
        return true;
    if (!gotvar_go_last_was_nested())
        go_show_error(GO_LIMIT_EVAL_FAILED, text);
    return false;
}

}  // namespace

// ---- the table -----------------------------------------------------------------------

int goprop_go_inquire_property(int index, const char **name, int *qualifiers, int *access, int *type)
{
    if (index < 0 || index >= GO_NUM_PROPERTIES)
        return 0;
    const GoPropertyInfo &r = property_info[index];
    if (name)
        *name = r.name;
    if (qualifiers)
        *qualifiers = r.qualifiers;
    if (access)
        *access = r.access;
    if (type)
        *type = r.type;
    return 1;
}

int goprop_go_property_in_objects(int property) { return in_objects(property) ? 1 : 0; }

int goprop_go_lookup_property(const char *name, int *index, int *qualifiers, int *access, int *type)
{
    if (!name)
        return 0;
    for (int i = 0; i < GO_NUM_PROPERTIES; i++) {
        if (strcmp(property_info[i].name, name) == 0) {
            if (index)
                *index = i;
            return goprop_go_inquire_property(i, nullptr, qualifiers, access, type);
        }
    }
    return 0;
}

// ---- default formats -------------------------------------------------------------------

void goprop_go_set_default_graph_format(const GoFormat *format)
{
    if (!format)
        return;
    auto *copy = new GoFormat(*format);
    delete user_default;
    user_default = copy;
}

GoFormat *goprop_go_default_graph_format()
{
    builtin()->objects = nullptr;
    return user_default ? user_default : builtin();
}

void goprop_go_forget_default_graph_format()
{
    delete user_default;
    user_default = nullptr;
}

// ---- reading ---------------------------------------------------------------------------

void *goprop_go_property(GoGraph *graph, int property, int qualifier, int evaluate)
{
    const int p = property;
    int q = qualifier;
    GoFormat *f = graph ? graph->format : nullptr;
    if (p >= 0 && p < GO_FORMAT_PROPERTIES && !in_objects(p) && p != GP_XANGLE) {
        if (!qualifier_in_range(p, &q, false)) {
            go_say(GO_ILLEGAL_QUALIFIER, qualifier, p);
            return nullptr;
        }
        int constant = 0;
        if (constant_of(p, &constant)) {
            static_int = constant;
            return &static_int;
        }
        if (p == GP_DATACHARACTER) {
            static int character;
            character = dsmgr_ds_character(q);
            return &character;
        }
        if (p == GP_DATAFUNC) {
            if (f)
                set_scale_offset(f->xscale, f->xoffset, f->zscale, f->zoffset);
            return reinterpret_cast<void *>(q == 1 ? &goprop_multiy_reader : &goprop_triple_reader);
        }
        if (!f)
            return nullptr;
        if (p == GP_GRAPHTYPE) {
            static int kind;
            kind = f->graphtype;
            return &kind;
        }
        Limit lim{};
        if (limit_of(f, p, q, &lim)) {
            if (!*lim.set)
                return nullptr;
            if (!evaluate)
                return lim.text;
            double v = 0;
            if (!evaluate_limit(graph, lim.text, &v))
                return nullptr;
            if (is_divisions(p)) {
                limit_int[p] = clamp_int(v);
                return &limit_int[p];
            }
            limit_value[p] = v;
            return &limit_value[p];
        }
        if (p == GP_THRESH_VAL) {
            GoThreshold &t = f->threshold[q];
            if (!t.set)
                return nullptr;
            if (!evaluate)
                return t.value;
            if (!evaluate_limit(graph, t.value, &thresh_value))
                return nullptr;
            return &thresh_value;
        }
        if ((p == GP_LGDSTEXT || p == GP_LGDOLEXT) && evaluate)
            return goprop_eval_text(graph, static_cast<char *>(field_of(f, p, q)));
        if (void *field = field_of(f, p, q))
            return field;
    }
    void *v = nullptr;
    if (gobj_go_get_obj_property(graph, property, qualifier, evaluate, &v))
        return v;
    go_say(GO_UNKNOWN_PROPERTY, property);
    return nullptr;
}

// ---- setting ---------------------------------------------------------------------------

void goprop_go_set_property(GoGraph *graph, int property, int qualifier, const void *value)
{
    const int p = property;
    int q = qualifier;
    GoFormat *f = graph ? graph->format : nullptr;
    int constant = 0;
    const bool own = p >= 0 && p < GO_FORMAT_PROPERTIES && !in_objects(p) && p != GP_XANGLE &&
                     p != GP_DATAFUNC && p != GP_DATACHARACTER && !constant_of(p, &constant);
    if (!own) {
        if (!gobj_go_set_obj_property(graph, property, qualifier, value)) {
            go_say(GO_ILLEGAL_SET, property);
            return;
        }
        if ((p == GP_YANGLE || p == GP_SYANGLE) && value) {
            // A y title across its axis hangs from its middle, one along it
            // from its foot.
            const int origin = *static_cast<const int *>(value) == 1 ? 3 : 1;
            const int id = p == GP_YANGLE ? 11 : 13 + qualifier % GO_SECY;
            gobj_go_set_obj_property(graph, GP_ORIGIN, id, &origin);
        }
        return;
    }
    if (!f || !qualifier_in_range(p, &q, true)) {
        go_say(GO_ILLEGAL_SET, property);
        return;
    }
    Limit lim{};
    if (limit_of(f, p, q, &lim)) {
        const char *text = static_cast<const char *>(value);
        *lim.set = text ? 1 : 0;
        if (text)
            safe_strcpy(lim.text, text, GO_LIMIT_LENGTH);
        else
            lim.text[0] = '\0';
        return;
    }
    if (p == GP_THRESH_VAL) {
        const char *text = static_cast<const char *>(value);
        GoThreshold &t = f->threshold[q];
        t.set = text && *text ? 1 : 0;
        if (t.set)
            safe_strcpy(t.value, text, GO_LIMIT_LENGTH);
        else
            t.value[0] = '\0';
        return;
    }
    void *field = field_of(f, p, q);
    if (!field || !value) {
        go_say(GO_ILLEGAL_SET, property);
        return;
    }
    switch (property_info[p].type) {
    case GT_INT: memcpy(field, value, sizeof(int32_t)); break;
    case GT_DOUBLE: memcpy(field, value, sizeof(double)); break;
    default: {
        const char *text = static_cast<const char *>(value);
        size_t n = GO_GRAPHNAME_LENGTH;
        if (p == GP_LGDSTEXT || p == GP_LGDOLEXT)
            n = GO_LEGEND_LENGTH;
        else if (p != GP_GRAPHNAME)
            n = GO_LABELFORMAT_LENGTH;
        safe_strcpy(static_cast<char *>(field), text, n);
        break;
    }
    }
    if (p == GP_BOXWIDTH) {
        char text[64];
        int n;
        {
            CNumeric cn;
            n = snprintf(text, sizeof text, "%*.*lf", 4, 6, f->boxwidth);
        }
        if (n < 0) {
            f->box_limit.text[0] = '\0';
        } else {
            safe_strcpy(f->box_limit.text, text, GO_LIMIT_LENGTH);
            f->box_limit.set = 1;
        }
    }
}

// ---- checking --------------------------------------------------------------------------

int goprop_go_check_property_value(GoGraph *graph, int property, int qualifier, const void *value)
{
    const int p = property;
    if (p > GP_GRAPHNAME || p < 0)
        return gobj_go_check_obj_property(graph, property, qualifier, value);
    const unsigned uq = static_cast<unsigned>(qualifier);
    const int *iv = static_cast<const int *>(value);
    const double *dv = static_cast<const double *>(value);
    const char *tv = static_cast<const char *>(value);
    auto ival = [&](int lo, int hi) { return iv && *iv >= lo && *iv <= hi; };
    auto below = [&](int lo, int n) { return iv && *iv >= lo && *iv < n; };
    auto dval = [&](double lo, double hi) { return dv && *dv >= lo && *dv <= hi; };
    auto tlen = [&](size_t n) { return !tv || strlen(tv) <= n; };
    switch (p) {
    case GP_GRAPHTYPE: return ival(0, 21);
    case GP_COLOUR: return uq <= 215 && ival(-1, gopix_num_colour_entries - 1);
    case GP_LINESTYLE: return uq <= 215 && below(0, gopix_num_linestyle_entries);
    case GP_MARKERSTYLE: return uq <= 215 && below(0, gopix_num_marker_entries);
    case GP_HATCHSTYLE: return uq <= 215 && below(0, gopix_num_hatch_entries);
    case GP_ASLINE:
    case GP_THRESH_VAL: return uq <= 215;
    case GP_XORIGIN:
    case GP_XMAXIMUM:
    case GP_XMINIMUM:
    case GP_XDIVISION:
    case GP_XNUMDIVS:
    case GP_XNUMTICKS:
    case GP_YORIGIN:
    case GP_YMAXIMUM:
    case GP_YMINIMUM:
    case GP_YDIVISION:
    case GP_YNUMDIVS:
    case GP_YNUMTICKS:
    case GP_ZORIGIN:
    case GP_ZMAXIMUM:
    case GP_ZMINIMUM:
    case GP_ZDIVISION:
    case GP_ZNUMDIVS:
    case GP_ZNUMTICKS:
    case GP_HBINSIZE: return tlen(GO_LIMIT_LENGTH);
    case GP_XLABELFORMAT:
    case GP_YLABELFORMAT:
    case GP_ZLABELFORMAT: return tlen(GO_LABELFORMAT_LENGTH);
    case GP_OVERLAYON: return uq <= 8;
    case GP_OVLCOLOUR: return below(0, gopix_num_colour_entries) && uq <= 8;
    case GP_OVLSTYLE: return below(0, gopix_num_linestyle_entries) && uq <= 8;
    case GP_LEFTMARGIN:
    case GP_RIGHTMARGIN:
    case GP_TOPMARGIN:
    case GP_BOTTOMMARGIN:
    case GP_LGXOFFSET:
    case GP_LGYOFFSET:
    case GP_CBXOFFSET: return ival(0, 1000);
    case GP_LONGTICKLEN:
    case GP_SMALLTICKLEN:
    case GP_NUMRADIALDIVS:
    case GP_CBWIDTH: return ival(0, 100);
    case GP_LABELFONT:
    case GP_TITLEFONT:
    case GP_NOTESFONT:
    case GP_LGTEXTFONT: return below(0, gopix_num_font_entries);
    case GP_LABELCOLOUR:
    case GP_TITLECOLOUR:
    case GP_AXISCOLOUR: return below(0, gopix_num_colour_entries);
    case GP_THRESH_COLOUR: return uq <= 215 && below(-1, gopix_num_colour_entries);
    case GP_WFMISSCOLOUR: return below(-1, gopix_num_colour_entries);
    case GP_AXISSTYLE: return below(0, gopix_num_linestyle_entries);
    case GP_THRESH_LSTYLE: return uq <= 215 && below(0, gopix_num_linestyle_entries);
    case GP_THRESH_HATCH: return uq <= 215 && below(0, gopix_num_hatch_entries);
    case GP_THRESH_MARKER: return uq <= 215 && below(0, gopix_num_marker_entries);
    case GP_LABELSIZE:
    case GP_TITLESIZE:
    case GP_MARKERSIZE:
    case GP_BARWIDTH:
    case GP_AMBINT:
    case GP_LIGHTINT:
    case GP_BOXSDX: return dval(0, 1);
    case GP_BOXWIDTH: return dval(0, 5);
    case GP_LGTEXTSIZE: return dval(0, 100);
    case GP_THETA_START: {
        // A limit text: a number must be an angle of one turn at most.
        if (!tlen(GO_LIMIT_LENGTH))
            return 0;
        double v = 0;
        return !tv || !one_number(tv, &v) || (v >= 0 && v <= 6.283185307179586);
    }
    case GP_XROTATION:
    case GP_XLIGHTANGLE:
    case GP_YLIGHTANGLE: return ival(-90, 90);
    case GP_YROTATION: return ival(-180, 180);
    case GP_SURFACETYPE:
    case GP_COLOURSURF:
    case GP_LIMIT_TYPE:
    case GP_LINESCAT_OPT:
    case GP_THRESHOLD_BY:
    case GP_LGSTYLE:
    case GP_TAILTYPE: return ival(0, 2);
    case GP_CBGRAVITY: return ival(1, 2);
    case GP_DRAWAXES: return uq <= 2;
    case GP_GRIDX:
    case GP_GRIDZ: return ival(3, 512);
    case GP_MARKERJOIN:
    case GP_BINMETHOD: return ival(0, 4);
    case GP_SYORIGIN:
    case GP_SYMAXIMUM:
    case GP_SYMINIMUM:
    case GP_SYDIVISION:
    case GP_SYNUMDIVS:
    case GP_SYNUMTICKS: return tlen(GO_LIMIT_LENGTH) && uq <= 214;
    case GP_SYLOGARITHMIC:
    case GP_SYLONGTICKS:
    case GP_SYLABELANGLE: return uq <= 214;
    case GP_SYLABELFORMAT: return tlen(GO_LABELFORMAT_LENGTH) && uq <= 214;
    case GP_SYTYPE: return ival(0, 3) && uq <= 214;
    case GP_SYSPACING: return ival(0, 1000) && uq <= 214;
    case GP_PROBDIST:
    case GP_CBBORDER:
    case GP_CMAPRANGE:
    case GP_PROBAXIS:
    case GP_SHADEMETHOD:
    case GP_USETHRESH:
    case GP_THETA_ORIENT:
    case GP_BARTYPE:
    case GP_BARCENTRED:
    case GP_AUTO_REDRAW:
    case GP_OVERLAY_VARS:
    case GP_PIE_COLOUR:
    case GP_PIE_STYLE:
    case GP_MDATA_GAPS:
    case GP_AEND_GAPS: return ival(0, 1);
    case GP_LGGRAVITY:
    case GP_DRAWBOX:
    case GP_PIE_EXPLODE: return ival(0, 3);
    case GP_LGCOLUMNS: return ival(1, 8);
    case GP_LGDSTEXT: return tlen(GO_LEGEND_LENGTH) && uq <= 215;
    case GP_LGDOLEXT: return tlen(GO_LEGEND_LENGTH) && uq <= 8;
    case GP_AGGREGATION:
    case GP_TIMEUNITS:
    case GP_PIE_LABEL: return ival(0, 7);
    case GP_GRAPHNAME: return tlen(GO_GRAPHNAME_LENGTH);
    case GP_XTITLE:
    case GP_XTITLEX:
    case GP_XTITLEY:
    case GP_YTITLE:
    case GP_YTITLEX:
    case GP_YTITLEY:
    case GP_ZTITLE:
    case GP_ZTITLEY:
    case GP_TITLE:
    case GP_TITLEX:
    case GP_TITLEY:
    case GP_SYTITLE:
    case GP_SYANGLE:
    case GP_SYTITLEX:
    case GP_SYTITLEY:
    case GP_WFDIAMETER:
    case GP_DIE_X:
    case GP_DIE_Y:
    case GP_WFCENTRE_X:
    case GP_WFCENTRE_Y:
    case GP_WFOUTLINE:
    case GP_WFFSPOT:
    case GP_CENTRE_OFFSET:
    case GP_CONNECT_MEANS:
    case GP_BOX_LIMIT:
    case GP_THRESH_LINES:
    case GP_TAIL_LIMIT:
    case GP_LABELDIE:
    case GP_POLAR_OUTPUT: return gobj_go_check_obj_property(graph, property, qualifier, value);
    default: return 1;
    }
}

// ---- texts -----------------------------------------------------------------------------

char *goprop_eval_text(GoGraph *graph, const char *text)
{
    static char expanded[GOTVAR_EXPANDED + 1];
    const char *failed = nullptr;
    if (!gotvar_go_expand_text_vars(graph, text ? text : "", expanded, &failed) && !skip_text_eval_errors &&
        !gotvar_go_last_was_nested()) {
        go_show_error_once(GO_TEXT_EVAL_FAILED, failed ? failed : (text ? text : ""));
    }
    return expanded;
}

int goprop_eval_rstr(GoGraph *graph, const char *text, double *value)
{
    if (!text || !value)
        return 0;
    if (one_number(text, value))
        return 1;
    return gotvar_go_eval_real(graph, text, value);
}
