// The join drawn on the test X server: its frame, its dashed lines to the
// name rows of both tables (from its top edge to a table above, from its
// bottom edge to one below), the same tables after a move, and the drawing
// context handed back solid and 2 pixels wide.  Drawn into a pixmap and
// read back pixel by pixel.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "obcheck.h"
#include "obdict.h"
#include "obmain.h"
#include "wsdict.h"

#include "vxutil.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int W = 800, H = 700;

int fake_height() { return 10; }
int fake_width(const char *, int length) { return 5 * length; }
const ObMetrics fake_metrics{fake_height, fake_width};

class JoinDrawing : public ::testing::Test {
protected:
    Display *d = nullptr;
    Pixmap canvas = 0;
    GC gc = nullptr;
    QueryObject *ta = nullptr, *tb = nullptr, *join = nullptr;

    void SetUp() override
    {
        d = XOpenDisplay(nullptr);
        ASSERT_NE(d, nullptr);
        const int screen = DefaultScreen(d);
        canvas = XCreatePixmap(d, RootWindow(d, screen), W, H, static_cast<unsigned>(DefaultDepth(d, screen)));
        XGCValues v{};
        v.foreground = BlackPixel(d, screen);
        v.background = WhitePixel(d, screen);
        v.line_width = 2;
        gc = XCreateGC(d, canvas, GCForeground | GCBackground | GCLineWidth, &v);
        obmain_gri = ObDrawing{};
        obmain_gri.display = d;
        obmain_gri.window = canvas;
        obmain_gri.gc = gc;
        obmain_gri.foreground = BlackPixel(d, screen);
        obmain_gri.background = WhitePixel(d, screen);
        obmain_gri.outline = BlackPixel(d, screen);
        obmain_set_metrics(&fake_metrics);
        wsdict_ws_init_dictionary();
        obmain_initialise_classes();
        ta = table("A", {40, 20, 60, 14});
        tb = table("B", {600, 500, 60, 14});
        ObJoinData data{};
        data.kind = OB_JOIN;
        safe_strcpy(data.text, "A.X = B.X", 20);
        obmain_object_class[OB_JOIN].create(&join, &data, 300, 250, nullptr);
        ASSERT_NE(join, nullptr);
        wsdict_ws_link_object(join);
        auto *jd = static_cast<ObJoinData *>(join->kind_data);
        jd->first = tb;
        jd->second = ta;
        ObPoint at{join->layout.x, join->layout.y};
        obmain_object_class[OB_JOIN].move(join, &at);  // the box over both tables
    }
    void TearDown() override
    {
        wsdict_ws_clear_dictionary(0);
        obmain_gri = ObDrawing{};
        obmain_set_metrics(nullptr);
        if (d) {
            XFreeGC(d, gc);
            XFreePixmap(d, canvas);
            XCloseDisplay(d);
        }
    }
    QueryObject *table(const char *name, ObBox box)
    {
        auto *r = static_cast<DictRelation *>(vx_malloc(sizeof(DictRelation), 1));
        memset(r, 0, sizeof *r);
        safe_strcpy(r->name, name, 8);
        r->next = wsdict_dictionary->relations;
        wsdict_dictionary->relations = r;
        QueryObject *t = nullptr;
        obmain_std_create_object(&t, "", nullptr, obmain_kind_data_size(OB_TABLE), nullptr, nullptr, OB_TABLE);
        t->select = t->drop = box;
        t->outer = t->layout = {box.x - 2, box.y - 2, box.width + 4, box.height + 4};
        t->anchor_x = box.x;
        t->anchor_y = box.y;
        r->table_object = t;
        return t;
    }

    XImage *image = nullptr;
    void draw(int selected)
    {
        XSetForeground(d, gc, obmain_gri.background);
        XFillRectangle(d, canvas, gc, 0, 0, W, H);
        obmain_object_class[OB_JOIN].draw(join, selected);
        if (image)
            XDestroyImage(image);
        image = XGetImage(d, canvas, 0, 0, W, H, AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
    }
    bool dark(int x, int y) { return XGetPixel(image, x, y) == obmain_gri.foreground; }
    bool dark_near(int x, int y)
    {
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                if (dark(x + dx, y + dy))
                    return true;
        return false;
    }
    // Of 100 points on the segment's inner part, how many lie on a drawn
    // pixel (or next to one).
    int drawn_along(int x0, int y0, int x1, int y1)
    {
        int n = 0;
        for (int i = 10; i < 110; i++) {
            const double t = i / 120.0;
            n += dark_near(static_cast<int>(x0 + t * (x1 - x0) + 0.5), static_cast<int>(y0 + t * (y1 - y0) + 0.5));
        }
        return n;
    }
    void expect_dashed(int x0, int y0, int x1, int y1)
    {
        const int n = drawn_along(x0, y0, x1, y1);
        EXPECT_GT(n, 30) << "a line from " << x0 << "," << y0 << " to " << x1 << "," << y1;
        EXPECT_LT(n, 95) << "dashed, not solid";
    }
    ~JoinDrawing() override
    {
        if (image)
            XDestroyImage(image);
    }
};

TEST_F(JoinDrawing, DashedLinesRunFromTheJoinsEdgesToBothNameRows)
{
    const ObBox s = join->select;
    const int cx = s.x + s.width / 2;
    draw(0);
    // The frame just outside the label box, the label box in the background.
    EXPECT_TRUE(dark(s.x - 1, s.y + s.height / 2));
    EXPECT_TRUE(dark(s.x + s.width, s.y + s.height / 2));
    EXPECT_FALSE(dark(s.x + 3, s.y + s.height / 2));
    // A lies above: from the top edge; B below: from the bottom edge.
    expect_dashed(cx, s.y - 2, 40 + 30, 20 - 2);
    expect_dashed(cx, s.y + s.height + 2, 600 + 30, 500 - 2);
    // Nothing runs from the bottom edge to A.
    EXPECT_LT(drawn_along(cx, s.y + s.height + 2, 70, 18), 5);
    // The context is handed back solid and 2 wide.
    XGCValues v{};
    XGetGCValues(d, gc, GCLineWidth | GCLineStyle, &v);
    EXPECT_EQ(v.line_width, 2);
    EXPECT_EQ(v.line_style, LineSolid);

    // Selected: the label box inverted.
    draw(1);
    EXPECT_TRUE(dark(s.x + 3, s.y + s.height / 2));
}

TEST_F(JoinDrawing, AfterAMoveTheLinesStillReachBothTables)
{
    ObPoint to{650, 100};
    obmain_object_class[OB_JOIN].move(join, &to);
    const ObBox s = join->select;
    ASSERT_EQ(s.x, 652);
    const int cx = s.x + s.width / 2;
    draw(0);
    expect_dashed(cx, s.y - 2, 70, 18);
    expect_dashed(cx, s.y + s.height + 2, 630, 498);
    // Its outer box covers the lines: undrawing it clears them.
    for (const ObPoint p : {ObPoint{70, 18}, ObPoint{630, 498}, ObPoint{cx, s.y - 2}, ObPoint{cx, s.y + s.height + 2}}) {
        EXPECT_GE(p.x, join->outer.x);
        EXPECT_GE(p.y, join->outer.y);
        EXPECT_LT(p.x, join->outer.x + join->outer.width);
        EXPECT_LT(p.y, join->outer.y + join->outer.height);
    }
}

}  // namespace
