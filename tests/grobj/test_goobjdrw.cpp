// Drawn objects on the recording driver, over a graph whose canvas is the
// whole 600 x 450 device: properties, placement by frame, unit and side,
// the kept placement, the hit test, the clamping of a drag, the background
// and its bevel (also as EPS rendered by Ghostscript and as PNG), stored
// values that cannot be placed, and the offsets after a resize.

#include "gographkit.h"
#include "gopicture.h"

#include "giinit.h"
#include "goobjdrw.h"
#include "gpinit.h"

#include <cmath>
#include <filesystem>
#include <sstream>

namespace {

using gokit::CanvasGraph;

// A drawn object of a fixed size: a box w x h canvas units up and to the
// right of its anchor (turned with the object), its outline drawn as a line
// that starts at the anchor.
class Fixed : public Drawn {
public:
    using Drawn::Drawn;
    std::unique_ptr<gobj::Object> clone() const override { return std::make_unique<Fixed>(*this); }
    double turn() const override { return angle; }
    void draw(GoGraph *g) override
    {
        if (!position(g, has_rect ? rect : nullptr, true))
            return;
        set_box(0, 0, w, h);
        gobjdrw_draw_background(this, g->canvas);
        const double corners[10] = {0, 0, w, 0, w, h, 0, h, 0, 0};
        double device[10];
        ASSERT_EQ(gobjdrw_transform_object_points(this, 0, corners, device, 5), 0);
        // Device points back to canvas units, drawn in canvas units.
        double cc[10];
        for (int k = 0; k < 5; k++) {
            const double p[3] = {device[2 * k], device[2 * k + 1], 0};
            double q[3];
            gcoords_GApplyPart(&g->canvas->xf[GX_CC].inverse, p, q);
            cc[2 * k] = q[0];
            cc[2 * k + 1] = q[1];
        }
        GCanvasModes m{};
        GGetCanvasModes(g->canvas, &m);
        const int was = m.coords;
        m.coords = GCS_CC;
        GSetCanvasModes(g->canvas, GCM_COORDS, &m);
        GVector v{GV_DOUBLE, 0, 2, 5, {cc, nullptr, nullptr}};
        gdraw_GDrawPolyLine(g->canvas, &v);
        m.coords = static_cast<unsigned char>(was);
        GSetCanvasModes(g->canvas, GCM_COORDS, &m);
    }
    double w = 409.6, h = 307.2;  // 60 x 45 pixels
    double angle = 0;
    double rect[4] = {0, 0, 0, 0};
    bool has_rect = false;
};

gobj::Object *make_fixed(int id, const ObjClassRec *c, void *o) { return new Fixed(c, id, o); }
const ObjClassRec fixedRec{"fixed", &drawnClassRec, make_fixed, 0, 0};

void set(Drawn &d, int property, int value) { gobjdrw_set_properties(&d, property, &value); }
void set(Drawn &d, int property, double value) { gobjdrw_set_properties(&d, property, &value); }

// Where the object's anchor is drawn, in device pixels (y downwards);
// (-1, -1) when nothing is drawn.
std::array<double, 2> drawn_anchor(Fixed &f, GoGraph *g)
{
    grec::clear();
    gobjdrw_draw_object(&f, g);
    const std::vector<grec::Call> lines = grec::of(GEP_DRAW_POLYLINE);
    if (lines.empty())
        return {-1, -1};
    return {lines.back().points[0].at(0, 0), lines.back().points[0].at(0, 1)};
}

// A point of the object's own directions in device coordinates.
std::array<double, 2> device_of(const Fixed &f, double x, double y)
{
    const double in[2] = {x, y};
    double out[2] = {-1, -1};
    EXPECT_EQ(gobjdrw_transform_object_points(&f, 0, in, out, 1), 0);
    return {out[0], out[1]};
}

class DrawnObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gopix_go_count_styles();
        gomain_graph_class[0] = &gokit::fake_class();
        gomain_go_set_run_mode(0);
        gomain_go_set_wid(0);
    }
    void TearDown() override
    {
        gomain_graph_class[0] = nullptr;
        gokit::stop_graphics();
        go_set_display_hooks(nullptr);
        dsmgr_ds_init(nullptr, nullptr);
    }
};

// The plot space a quarter of the canvas in from the left and the bottom,
// half its width and height; the world 0..10 on both axes over it.
void quarter_plot(GoGraph *g)
{
    GCanvasModes m{};
    GGetCanvasModes(g->canvas, &m);
    m.psorigin[0] = 1024;
    m.psorigin[1] = 768;
    m.pssize[0] = m.pssize[2] = 2048;
    m.pssize[1] = 1536;
    const double world[6] = {0, 0, 0, 10, 10, 10};
    std::copy(world, world + 6, m.world);
    GSetCanvasModes(g->canvas, GCM_PSORIGIN | GCM_PSSIZE | GCM_WORLD, &m);
}

TEST_F(DrawnObjects, PropertiesDefaultsChecksAndFileLines)
{
    CanvasGraph g;
    Fixed d(&fixedRec, 230, &g.g), none(&fixedRec, -1, &g.g);
    struct Row {
        int property;
        double fresh, unset;  // an object of id 230, of id -1
    } rows[] = {{GP_ORIGIN, 4, 0},  {GP_POSITION, 3, 0}, {GP_HATTACH, 0, 0}, {GP_HOFFSET, 0, 0}, {GP_HUNIT, 3, 0},
                {GP_VATTACH, 0, 0}, {GP_VOFFSET, 0, 0},  {GP_VUNIT, 3, 0},   {GP_OPAQUE, 0, 0},  {GP_FGCOL, 1, 0},
                {GP_BGCOL, 0, 0},   {GP_LINEW, 0, 0},    {GP_BORDER, 0, 0},  {GP_REFERENCE, 0, 0}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.property);
        for (auto [object, want] : {std::pair{&d, r.fresh}, {&none, r.unset}}) {
            int found = 0;
            const void *v = gobjdrw_get_properties(object, r.property, 0, &found);
            ASSERT_EQ(found, 1);
            const bool real = r.property == GP_HOFFSET || r.property == GP_VOFFSET;
            EXPECT_EQ(real ? *static_cast<const double *>(v) : *static_cast<const int *>(v), want);
        }
    }
    int found = 1;
    EXPECT_EQ(gobjdrw_get_properties(&d, GP_ANNOTBODY, 0, &found), nullptr);
    EXPECT_EQ(found, 0) << "a text's property is not a drawn object's";

    ASSERT_GT(gopix_num_colour_entries, 2);
    const int colours = gopix_num_colour_entries;
    struct Check {
        const char *what;
        int property, frame;
        double value;
        bool ok;
    } checks[] = {
        {"hoffset 10000 on the canvas", GP_HOFFSET, 0, 10000, true},
        {"hoffset 10001 on the canvas", GP_HOFFSET, 0, 10001, false},
        {"hoffset -1 on the canvas", GP_VOFFSET, 0, -1, false},
        {"hoffset 10001 in data", GP_HOFFSET, 1, 10001, true},
        {"hoffset -50 in pixels", GP_HOFFSET, 2, -50, true},
        {"not a number", GP_VOFFSET, 1, std::nan(""), false},
        {"the last extra y axis", GP_POSITION, 3, 223, true},
        {"past the last frame", GP_POSITION, 3, 224, false},
        {"no frame", GP_POSITION, 3, -1, false},
        {"origin 8", GP_ORIGIN, 3, 8, true},
        {"origin 9 names no point", GP_ORIGIN, 3, 9, false},
        {"unit 4", GP_HUNIT, 3, 4, true},
        {"unit 5", GP_VUNIT, 3, 5, false},
        {"side 2", GP_VATTACH, 3, 2, true},
        {"side 3", GP_HATTACH, 3, 3, false},
        {"opaque 9", GP_OPAQUE, 3, 9, true},
        {"opaque 10", GP_OPAQUE, 3, 10, false},
        {"colour -1", GP_FGCOL, 3, -1, true},
        {"the last colour", GP_BGCOL, 3, colours - 1.0, true},
        {"past the colours", GP_BGCOL, 3, double(colours), false},
        {"line width 100", GP_LINEW, 3, 100, true},
        {"line width 101", GP_LINEW, 3, 101, false},
        {"sunken", GP_BORDER, 3, 2, true},
        {"border 3", GP_BORDER, 3, 3, false},
        {"reference -1", GP_REFERENCE, 3, -1, false},
        {"a text's property", GP_ANNOTFONT, 3, 1, false},
    };
    for (const Check &c : checks) {
        SCOPED_TRACE(c.what);
        d.frame = c.frame;
        const int i = static_cast<int>(c.value);
        const bool real = c.property == GP_HOFFSET || c.property == GP_VOFFSET;
        EXPECT_EQ(gobjdrw_check_properties(&d, c.property, real ? static_cast<const void *>(&c.value) : &i), c.ok);
    }
    EXPECT_FALSE(gobjdrw_check_properties(&d, GP_ORIGIN, nullptr));

    d.frame = 3;
    set(d, GP_HOFFSET, 12.5);
    set(d, GP_VUNIT, 0);
    set(d, GP_BGCOL, 4);
    set(d, GP_BORDER, 2);
    char *text = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&text, &size);
    gobjdrw_write_properties(&d, f);
    fclose(f);
    EXPECT_STREQ(text, "\tobjtype 230 0\n\torigin 230 4\n\tposition 230 3\n\thattach 230 0\n"
                       "\thoffset 230 12.500000\n\thunit 230 3\n\tvattach 230 0\n\tvoffset 230 0.000000\n"
                       "\tvunit 230 0\n\topaque 230 0\n\tfgcol 230 1\n\tbgcol 230 4\n\tlinew 230 0\n"
                       "\tborder 230 2\n\treference 230 0\n");
    free(text);
}

TEST_F(DrawnObjects, FramesUnitsAndSidesPlaceTheAnchor)
{
    CanvasGraph g;
    ASSERT_NE(g.g.canvas, nullptr);
    quarter_plot(&g.g);
    // Device x = canvas fraction x 599, y = 449 - fraction x 449 (y
    // downwards); a pixel is 4096 / 600 canvas units across, 3072 / 450 up;
    // no screen: 75 pixels to the inch.
    struct Case {
        const char *what;
        int frame, hattach, hunit;
        double hoffset;
        int vattach, vunit;
        double voffset;
        double x, y;
    } cases[] = {
        {"canvas, ten-thousandths", 0, 1, 7, 5000, 0, 7, 9000, 299.5, 44.9},
        {"area, percent, left and bottom", 3, 0, 3, 25, 1, 3, 20, 149.8, 359.2},
        {"area, percent, right and top", 3, 1, 3, 25, 0, 3, 20, 449.3, 89.8},
        {"graph, pixels, left and bottom", 2, 0, 0, 100, 1, 0, 50, 99.9, 399.1},
        {"graph, pixels, right and top", 2, 1, 0, 100, 0, 0, 50, 499.1, 49.9},
        {"area, inches", 3, 0, 2, 2, 2, 2, 1, 149.8, 374.1},
        {"area, centimetres", 3, 0, 1, 2.54, 1, 1, 5.08, 74.9, 299.2},
        {"area, canvas units", 3, 0, 4, 2047.5, 1, 4, 1535.5, 299.5, 224.5},
        {"plot space, percent, left and bottom", 4, 0, 3, 10, 1, 3, 10, 179.7, 314.3},
        {"plot space, percent, right and top", 4, 1, 3, 10, 0, 3, 10, 419.4, 134.6},
        {"a given rectangle, percent", 5, 0, 3, 50, 1, 3, 50, 149.8, 336.7},
        {"data", 1, 1, 7, 5, 0, 7, 5, 299.6, 224.4},
        {"data off the middle", 1, 0, 3, 2.5, 1, 3, 7.5, 224.7, 168.2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Fixed f(&fixedRec, 228, &g.g);
        f.rect[2] = 2048;
        f.rect[3] = 1536;
        f.has_rect = true;
        set(f, GP_POSITION, c.frame);
        set(f, GP_HATTACH, c.hattach);
        set(f, GP_HUNIT, c.hunit);
        set(f, GP_HOFFSET, c.hoffset);
        set(f, GP_VATTACH, c.vattach);
        set(f, GP_VUNIT, c.vunit);
        set(f, GP_VOFFSET, c.voffset);
        const auto at = drawn_anchor(f, &g.g);
        EXPECT_NEAR(at[0], c.x, 1);
        EXPECT_NEAR(at[1], c.y, 1);
        // The line goes round the box: 60 pixels right, 45 up.
        const auto corner = device_of(f, f.w, f.h);
        EXPECT_NEAR(corner[0] - at[0], 60, 1);
        EXPECT_NEAR(at[1] - corner[1], 45, 1);
    }
}

TEST_F(DrawnObjects, ThePlacementIsKeptWhileTheOffsetsKeepTheirThousandths)
{
    CanvasGraph g;
    Fixed f(&fixedRec, 228, &g.g);
    set(f, GP_HUNIT, OBJ_UNIT_CANVAS);
    set(f, GP_HOFFSET, 12.3456);
    drawn_anchor(f, &g.g);
    const int built = f.builds;
    const auto inside = device_of(f, 10, 10);
    double point[2] = {inside[0], inside[1]};
    struct Step {
        double hoffset;
        int builds;  // more than after the draw
    } steps[] = {{12.3459, 0}, {12.3459, 0}, {12.347, 1}, {12.3471, 1}, {-12.347, 2}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.hoffset);
        set(f, GP_HOFFSET, s.hoffset);
        EXPECT_TRUE(f.interested(point, nullptr));
        EXPECT_EQ(f.builds - built, s.builds);
    }
    // Another frame is placed again too.
    set(f, GP_POSITION, OBJ_FRAME_CANVAS);
    f.interested(point, nullptr);
    EXPECT_EQ(f.builds - built, 3);
}

TEST_F(DrawnObjects, TheHitTest)
{
    CanvasGraph g;
    auto manager = gobjmgr_create_manager();
    g.format.objects = manager.get();
    auto owned = std::make_unique<Fixed>(&fixedRec, 231, &g.g);
    Fixed &f = *owned;
    gobjmgr_adopt_object(manager.get(), std::move(owned));
    f.w = 600;
    f.h = 300;
    set(f, GP_HOFFSET, 40.0);
    set(f, GP_VOFFSET, 40.0);

    double point[2] = {0, 0};
    auto at = [&](double x, double y) {
        const auto p = device_of(f, x, y);
        point[0] = p[0];
        point[1] = p[1];
        return point;
    };
    drawn_anchor(f, &g.g);
    EXPECT_TRUE(f.interested(at(300, 150), nullptr));
    f.drawn = false;
    EXPECT_FALSE(f.interested(at(300, 150), nullptr)) << "not drawn yet";

    struct Case {
        const char *what;
        double angle, x, y;
        bool hit;
    } cases[] = {
        {"2% left of the box", 0, -12, 150, true},       {"3% left of the box", 0, -18, 150, false},
        {"2% right of the box", 0, 612, 150, true},      {"2% above the box", 0, 300, 306, true},
        {"3% below the box", 0, 300, -9, false},         {"the middle", 0, 300, 150, true},
        {"turned: the far end", 90, 590, 150, true},     {"turned: beyond it", 90, 630, 150, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        f.angle = c.angle;
        drawn_anchor(f, &g.g);
        double outline[8] = {};
        EXPECT_EQ(f.interested(at(c.x, c.y), outline), c.hit);
        if (c.hit) {
            // The outline is the box's corners around the anchor, turned.
            const double far_x = c.angle == 90 ? -300 : 600, far_y = c.angle == 90 ? 600 : 300;
            EXPECT_NEAR(outline[4], far_x, 1e-6);
            EXPECT_NEAR(outline[5], far_y, 1e-6);
        }
    }
    f.angle = 0;
    drawn_anchor(f, &g.g);

    // Through the manager: the object under the point becomes active.
    gobjmgr_set_active_object(-1);
    ObjRequest r;
    r.id = OBJ_AT_POINT;
    r.owner = &g.g;
    r.point = at(300, 150);
    gobjmgr_message(manager.get(), r);
    EXPECT_EQ(r.id, 231);
    EXPECT_EQ(gobjmgr_get_active_object(), 231);

    // The canvas moves to the right half: the object is placed again on it
    // before the point is judged.
    const auto before = device_of(f, 300, 150);
    const int placement[4] = {300, 0, 300, 450};
    gomain_go_position_canvas(g.g.canvas, placement);
    point[0] = before[0];
    point[1] = before[1];
    EXPECT_FALSE(f.interested(point, nullptr)) << "the old place";
    EXPECT_TRUE(f.interested(at(300, 150), nullptr));
    EXPECT_GT(point[0], before[0] + 100);

    // A request on hold leaves the object alone; without, it is set.
    const int frame = OBJ_FRAME_CANVAS;
    ObjRequest s;
    s.id = 231;
    s.owner = &g.g;
    s.cls = &fixedRec;
    s.operation = OBJ_OP_SET;
    s.property = GP_POSITION;
    s.value = &frame;
    s.hold = 1;
    gobjmgr_message(manager.get(), s);
    EXPECT_EQ(f.frame, OBJ_FRAME_AREA);
    s.hold = 0;
    gobjmgr_message(manager.get(), s);
    EXPECT_EQ(f.frame, OBJ_FRAME_CANVAS);
    EXPECT_EQ(s.found, 1);
    gobjmgr_destroy_owned_objects(manager.get(), &g.g);
}

TEST_F(DrawnObjects, ADragIsKeptOnTheCanvas)
{
    CanvasGraph g;
    Fixed f(&fixedRec, 228, &g.g);
    struct Case {
        const char *what;
        double w;         // canvas units (60 pixels: 409.6)
        double x, y;      // proposed anchor, device pixels
        bool moved;
        double to_x, to_y;
    } cases[] = {
        {"inside", 409.6, 300, 200, false, 300, 200},
        {"past the right edge: pulled back", 409.6, 580, 200, true, 539.2, 200},
        {"past the left edge: pushed in", 409.6, -10, 200, true, 0, 200},
        {"above the top: pushed down", 409.6, 300, 20, true, 300, 45},
        {"wider than the canvas: back as far as there is room", 5000, 100, 200, true, 0, 200},
        {"over both sides: the anchor clamped into the canvas", 5000, -50, 200, true, 0, 200},
        {"no more than the room on the left", 4100, 5, 200, true, 0, 200},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        f.w = c.w;
        drawn_anchor(f, &g.g);
        double p[2] = {c.x, c.y};
        EXPECT_EQ(gobjdrw_check_object_position(&f, p), c.moved);
        EXPECT_NEAR(p[0], c.to_x, 0.5);
        EXPECT_NEAR(p[1], c.to_y, 0.5);
    }
    // Through a request.
    double p[2] = {580, 200};
    ObjRequest r;
    r.operation = OBJ_OP_CHECK_POSITION;
    r.point = p;
    f.w = 409.6;
    drawn_anchor(f, &g.g);
    f.receive(r);
    EXPECT_EQ(r.found, 1);
    EXPECT_NEAR(p[0], 539.2, 0.5);
}

TEST_F(DrawnObjects, BackgroundAndBorders)
{
    CanvasGraph g;
    Fixed f(&fixedRec, 228, &g.g);
    set(f, GP_BGCOL, 4);
    long light = 0, dark = 0;
    ASSERT_EQ(gcolour_GGetShadowColours(g.g.canvas, 4, &light, &dark), 0);
    ASSERT_NE(light, dark);
    struct Case {
        int opaque, border;
        std::vector<std::pair<long, long>> polygons;  // (points, colour)
    } cases[] = {
        {0, 1, {}},
        {1, 0, {{4, 4}}},
        {3, 1, {{4, 4}, {6, light}, {6, dark}}},
        {1, 2, {{4, 4}, {6, dark}, {6, light}}},
        {1, -1, {{4, 4}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "opaque " << c.opaque << " border " << c.border);
        set(f, GP_OPAQUE, c.opaque);
        set(f, GP_BORDER, c.border);
        drawn_anchor(f, &g.g);
        std::vector<std::pair<long, long>> seen;
        for (const grec::Call &k : grec::of(GEP_DRAW_FILLED_POLYGON))
            seen.push_back({k.points[0].count(), k.fill.colour});
        EXPECT_EQ(seen, c.polygons);
    }
    // The raised bevel's top side takes in the box's top left corner, the
    // bottom side its bottom right; both 5% of the height thick (2.25 px).
    set(f, GP_BORDER, 1);
    drawn_anchor(f, &g.g);
    const std::vector<grec::Call> p = grec::of(GEP_DRAW_FILLED_POLYGON);
    ASSERT_EQ(p.size(), 3u);
    const auto tl = device_of(f, 0, f.h), br = device_of(f, f.w, 0), inner = device_of(f, f.w - 15.36, f.h - 15.36);
    EXPECT_NEAR(p[1].points[0].at(1, 0), tl[0], 1);
    EXPECT_NEAR(p[1].points[0].at(1, 1), tl[1], 1);
    EXPECT_NEAR(p[1].points[0].at(3, 0), inner[0], 1);
    EXPECT_NEAR(p[1].points[0].at(3, 1), inner[1], 1);
    EXPECT_NEAR(p[2].points[0].at(1, 0), br[0], 1);
    EXPECT_NEAR(p[2].points[0].at(1, 1), br[1], 1);
    GFillModes fm{};
    GGetFillModes(g.g.canvas, &fm);
    EXPECT_NE(fm.colour, dark) << "the canvas's fill modes are put back";
}

// The background and a raised border in a picture: an EPS file rendered by
// Ghostscript and a PNG file, probed inside the box and on both bevels.
TEST_F(DrawnObjects, BackgroundInPictures)
{
    const std::string dir = testing::TempDir() + "/vx-objects-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    {
        CanvasGraph screen;  // the base device: a screen of 600 x 450
    }
    gomain_go_close_device();
    grec::remove();
    gpinit_GInstallDriver();
    giinit_GInstallDriver();
    static std::string prolog;
    prolog = gokit::build_dir() + "/etc/prolog.ps";
    GoDisplayHooks h{};
    h.show_error = gokit::record_box;
    h.ps_prolog = [] { return prolog.c_str(); };
    go_set_display_hooks(&h);

    struct Probe {
        int x, y;
        gopic::RGB rgb;
        const char *what;
    };
    std::vector<Probe> probes;
    auto draw = [&](int kind, const std::string &path) {
        GoPrintSettings s{};
        s.kind = kind;
        s.destination = 1;
        snprintf(s.filename, sizeof s.filename, "%s", path.c_str());
        s.page_width = 6;
        s.page_height = 8;
        s.left = s.right = s.top = s.bottom = 1;
        s.image_option = 1;
        ASSERT_EQ(gomain_go_set_device_type(kind, &s, 0), 1);
        {
            CanvasGraph g;
            ASSERT_NE(g.g.canvas, nullptr);
            Fixed f(&fixedRec, 228, &g.g);
            f.w = 2000;
            f.h = 1000;
            set(f, GP_HOFFSET, 25.0);
            set(f, GP_VOFFSET, 25.0);
            set(f, GP_OPAQUE, 1);
            set(f, GP_BGCOL, 4);
            set(f, GP_BORDER, 1);
            gobjdrw_draw_object(&f, &g.g);
            if (kind == 5) {
                long light = 0, dark = 0;
                ASSERT_EQ(gcolour_GGetShadowColours(g.g.canvas, 4, &light, &dark), 0);
                GList *table = g.g.canvas->device->tables[GT_COLOURS];
                auto rgb = [&](long i) {
                    const GColour *c = gcolour_GGetColour(table, i);
                    return gopic::RGB{c->red >> 8, c->green >> 8, c->blue >> 8};
                };
                auto px = [&](double x, double y) {
                    const auto d = device_of(f, x, y);
                    return std::array<int, 2>{int(std::lround(d[0])), int(std::lround(d[1]))};
                };
                const auto mid = px(1000, 500), top = px(1000, 1000 - 20), bottom = px(1000, 20);
                probes = {{mid[0], mid[1], rgb(4), "inside"},
                          {top[0], top[1], rgb(light), "the light top"},
                          {bottom[0], bottom[1], rgb(dark), "the dark bottom"}};
            }
            GCloseCanvas(g.g.canvas);
            g.g.canvas = nullptr;
        }
        gomain_go_close_device();
    };
    const std::string eps = dir + "/box.eps", png = dir + "/box.png", rendered = dir + "/eps.png";
    draw(2, eps);
    draw(5, png);
    gomain_go_set_device_type(0, nullptr, 0);
    gopic::render_eps(eps, rendered);
    gopic::Image ours = gopic::read_png(png), theirs = gopic::read_png(rendered);
    ASSERT_TRUE(ours && theirs);
    const int ox = (theirs->width - ours->width) / 2, oy = (theirs->height - ours->height) / 2;
    ASSERT_GE(ox, 0);
    ASSERT_GE(oy, 0);
    ASSERT_EQ(probes.size(), 3u);
    EXPECT_NE(probes[1].rgb, probes[2].rgb);
    for (const Probe &p : probes) {
        SCOPED_TRACE(p.what);
        EXPECT_TRUE(gopic::found(ours.get(), p.x, p.y, p.rgb, 1)) << "PNG at " << p.x << "," << p.y;
        EXPECT_TRUE(gopic::found(theirs.get(), p.x + ox, p.y + oy, p.rgb, 1)) << "EPS at " << p.x << "," << p.y;
    }
    EXPECT_TRUE(gokit::boxes().empty());
    std::filesystem::remove_all(dir);
}

TEST_F(DrawnObjects, StoredValuesThatCannotBePlaced)
{
    CanvasGraph g;
    struct Case {
        const char *what;
        int property, value;
    } cases[] = {
        {"frame 224", GP_POSITION, 224},
        {"frame -1", GP_POSITION, -1},
        {"an extra y axis outside multi-y mode", GP_POSITION, 9},
        {"unit 7", GP_HUNIT, 7},
        {"unit -1", GP_VUNIT, -1},
        {"origin 9", GP_ORIGIN, 9},
        {"origin -3", GP_ORIGIN, -3},
        {"a given rectangle not given", GP_POSITION, 5},
    };
    auto manager = gobjmgr_create_manager();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto owned = std::make_unique<Fixed>(&fixedRec, 229, &g.g);
        Fixed &f = *owned;
        gobjmgr_adopt_object(manager.get(), std::move(owned));
        set(f, GP_OPAQUE, 1);
        drawn_anchor(f, &g.g);
        ASSERT_TRUE(f.drawn) << "placed before";
        const auto middle = device_of(f, f.w / 2, f.h / 2);
        set(f, c.property, c.value);
        EXPECT_EQ(drawn_anchor(f, &g.g)[0], -1) << "nothing drawn";
        EXPECT_EQ(grec::count(GEP_DRAW_FILLED_POLYGON), 0);
        double point[2] = {middle[0], middle[1]};
        EXPECT_FALSE(f.interested(point, nullptr));
        ObjRequest r;
        r.id = OBJ_AT_POINT;
        r.owner = &g.g;
        r.point = point;
        gobjmgr_message(manager.get(), r);
        EXPECT_EQ(r.id, OBJ_AT_POINT) << "no hit";
        EXPECT_FALSE(gobjdrw_check_object_position(&f, point));
        double offsets[2];
        EXPECT_FALSE(gobjdrw_point_to_offsets(&f, &g.g, point, offsets));
        gobjmgr_destroy_owned_objects(manager.get(), &g.g);
    }
}

TEST_F(DrawnObjects, OnlyLengthsFollowAResize)
{
    CanvasGraph g;
    auto manager = gobjmgr_create_manager();
    g.format.objects = manager.get();
    struct Case {
        const char *what;
        int frame, hunit, vunit;
        double h, v;           // after a resize to twice the width, 1.5 times the height
        double h_all, v_all;   // the same with the plot space too
    } cases[] = {
        {"area in pixels", 3, 0, 0, 200, 75, 200, 75},
        {"graph in centimetres and inches", 2, 1, 2, 200, 75, 200, 75},
        {"a given rectangle in pixels and percent", 5, 0, 3, 200, 50, 200, 50},
        {"area in percent", 3, 3, 3, 100, 50, 100, 50},
        {"area in canvas units", 3, 4, 4, 100, 50, 100, 50},
        {"plot space in pixels", 4, 0, 0, 100, 50, 200, 75},
        {"the canvas", 0, 0, 0, 100, 50, 100, 50},
        {"data", 1, 0, 0, 100, 50, 100, 50},
        {"the x axis", 6, 0, 0, 100, 50, 100, 50},
        {"an extra y axis", 40, 0, 0, 100, 50, 100, 50},
    };
    std::vector<Fixed *> objects;
    int id = 228;
    for (const Case &c : cases) {
        auto f = std::make_unique<Fixed>(&fixedRec, id++, &g.g);
        set(*f, GP_POSITION, c.frame);
        set(*f, GP_HUNIT, c.hunit);
        set(*f, GP_VUNIT, c.vunit);
        set(*f, GP_HOFFSET, 100.0);
        set(*f, GP_VOFFSET, 50.0);
        objects.push_back(f.get());
        gobjmgr_adopt_object(manager.get(), std::move(f));
    }
    CanvasGraph other;
    auto stranger = std::make_unique<Fixed>(&fixedRec, 228, &other.g);
    set(*stranger, GP_HUNIT, 0);
    set(*stranger, GP_HOFFSET, 100.0);
    Fixed *elsewhere = stranger.get();
    gobjmgr_adopt_object(manager.get(), std::move(stranger));

    gobjdrw_reposition_objects(&g.g, 1.5, 2, 0);  // the height ratio first
    for (size_t i = 0; i < objects.size(); i++) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_DOUBLE_EQ(objects[i]->hoffset, cases[i].h);
        EXPECT_DOUBLE_EQ(objects[i]->voffset, cases[i].v);
        set(*objects[i], GP_HOFFSET, 100.0);
        set(*objects[i], GP_VOFFSET, 50.0);
    }
    gobjdrw_reposition_objects(&g.g, 1.5, 2, 1);
    for (size_t i = 0; i < objects.size(); i++) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_DOUBLE_EQ(objects[i]->hoffset, cases[i].h_all);
        EXPECT_DOUBLE_EQ(objects[i]->voffset, cases[i].v_all);
    }
    EXPECT_DOUBLE_EQ(elsewhere->hoffset, 100) << "another graph's object";
    g.format.objects = nullptr;
    gobjdrw_reposition_objects(&g.g, 1.5, 2, 1);  // no objects: nothing
    gobjdrw_reposition_objects(nullptr, 1.5, 2, 1);
}

}  // namespace
