// The display window's Graph and Format commands in the program, on the
// test X server, with the installed interpreter and the demo database: a
// test dialog on the framework in the axes slot is registered with the
// selected graph's format, filled, popped up at its item and applied
// (a refused kind refills it); format files go through a test dialog in
// the format file slot and the Graph pane's own items; the four text
// operations run on real pointer input (a rubber band holds the server,
// so its gesture is sent on the program's own connection once the band
// has started); the graph background is set through its prompt.  A
// second graph that loaded the first one's saved format, with a text
// added and moved, is saved as a picture (into $VX_IMAGE_DIR when set).

#include "dygraphkit.h"  // first: gtest before the X headers

#include "goobj.h"
#include "goobjtext.h"
#include "mnbld.h"
#include "mndy.h"
#include "mnform.h"
#include "mngfile.h"
#include "mngraph.h"

#include <Xm/SelectioB.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using namespace dygk;

// ---- input ------------------------------------------------------------------------------

std::vector<std::pair<int, int>> band_path;
void send_band_path()
{
    for (auto [x, y] : band_path)
        pointer_to(x, y);
    XTestFakeButtonEvent(dpy(), 1, False, 0);
    XFlush(dpy());
    band_path.clear();
}

// A press of `button` at a canvas point, queued before the operation
// waits for it (and its release when `release`).
void queue_press(int x, int y, int button = 1, bool release = false)
{
    pointer_to(x, y);
    XTestFakeButtonEvent(dpy(), button, True, 0);
    if (release)
        XTestFakeButtonEvent(dpy(), button, False, 0);
    XSync(dpy(), False);
}

void release_buttons()
{
    for (unsigned b : {1u, 2u})
        XTestFakeButtonEvent(dpy(), b, False, 0);
    XSync(dpy(), False);
    vxdl::pump_idle();
}

std::array<int, 2> anchor_pixel(GoGraph *g, int id)
{
    auto *t = static_cast<Text *>(gobj_go_get_an_object(g, id));
    if (!t)
        return {-1, -1};
    const double in[3] = {t->anchor[0], t->anchor[1], 0};
    double out[3];
    gcoords_GApplyPart(&g->canvas->xf[GX_CC].forward, in, out);
    return {static_cast<int>(std::lround(out[0])), static_cast<int>(std::lround(out[1]))};
}

// A canvas point on which text `id` is picked, near its anchor.
std::array<int, 2> on_text(GoGraph *g, int id)
{
    const auto a = anchor_pixel(g, id);
    int found = -1, outline[8];
    const char *body = nullptr;
    for (int r = 0; r <= 10; r++)
        for (int dy = -r; dy <= r; dy++)
            for (int dx = -r; dx <= r; dx++)
                if (dygrph_dy_get_text(a[0] + dx, a[1] + dy, &found, &body, outline, nullptr) && found == id)
                    return {a[0] + dx, a[1] + dy};
    return {-1, -1};
}

std::string slurp(const fs::path &p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Answers the next question with `yes` (counting it) and the prompt with
// `reply` (Cancel when empty).
struct Answers {
    bool yes = false;
    std::string reply;
    int asked = 0, prompted = 0;
    XtIntervalId timer = 0;
    Answers() { arm(); }
    ~Answers()
    {
        if (timer)
            XtRemoveTimeOut(timer);
    }
    void arm() { timer = XtAppAddTimeOut(vxdl::app().context, 5, tick, this); }
    static void tick(XtPointer client, XtIntervalId *)
    {
        auto *a = static_cast<Answers *>(client);
        a->timer = 0;
        if (Widget confirm = dlmain_dialogs[2].widget; confirm && XtIsManaged(confirm)) {
            a->asked++;
            vxdl::press_box(confirm, a->yes ? XmDIALOG_OK_BUTTON : XmDIALOG_CANCEL_BUTTON);
        } else if (Widget prompt = dlmain_dialogs[3].widget; prompt && XtIsManaged(prompt)) {
            a->prompted++;
            if (a->reply.empty()) {
                vxdl::press_box(prompt, XmDIALOG_CANCEL_BUTTON);
            } else {
                vxdl::set_text(XmSelectionBoxGetChild(prompt, XmDIALOG_TEXT), a->reply.c_str());
                vxdl::press_box(prompt, XmDIALOG_OK_BUTTON);
            }
        }
        a->arm();
    }
};

// ---- a test dialog on the framework ---------------------------------------------------

struct Probe {
    int setvals = 0;
    void *last = nullptr;
    void (*change)(void *value) = nullptr;  // what the user "typed"
};
Probe probes[DL_NDIALOGS];
std::vector<int> filled;  // the dialogs in the order they were filled

int probe_setval(DialogRecord *rec, void *value)
{
    filled.push_back(rec->id);
    probes[rec->id].setvals++;
    probes[rec->id].last = value;
    return 1;
}
int probe_getval(DialogRecord *rec, void *value)
{
    if (probes[rec->id].change)
        probes[rec->id].change(value);
    return 1;
}

DialogRecord *install_probe(int id, const char *name)
{
    DialogRecord *rec = vxdl::make_test_dialog(id, displevel, name, 2);
    rec->setval = probe_setval;
    rec->getval = probe_getval;
    mnmisc_install_notify(id);
    probes[id] = Probe{};
    return rec;
}

void remove_probe(int id)
{
    DialogRecord *rec = &dlmain_dialogs[id];
    if (rec->widget && XtIsManaged(rec->widget))
        rec->popdown(rec);
    rec->popup = dlmain_std_unsupported;
}

int apply(int id)
{
    int done = -1;
    dlmain_dialogs[id].apply(&dlmain_dialogs[id], &done);
    return done;
}

void command(Widget item, int code)
{
    dmenu_cb(item, reinterpret_cast<XtPointer>(static_cast<intptr_t>(code)), nullptr);
    vxdl::pump_idle();
}

// ---- the program -------------------------------------------------------------------------

fs::path scratch;

class FormatCommands : public ::testing::Test {
protected:
    ErrorBoxes any_box;  // a box nobody expected is answered, not waited on
    static void SetUpTestSuite()
    {
        wstest::ensure_demo();
        qytest::use_installed_tree();
        start_program();
        dy_hooks.band_started = send_band_path;
        scratch = vxtest::temp_dir("mnform");
        // The format directories of a scratch installation.
        mnbld_mn_basedir = scratch.string();
        fs::create_directories(scratch / "etc/graphs");
        mngraph_mn_set_graph_dirs("BRASK");
        qymgr_qy_query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE", QY_WAIT, QY_FULL,
                       QY_REPORT);
        ASSERT_TRUE(qymgr_qy_returned_data());
        mndview_mn_as_graph(nullptr);
        ASSERT_TRUE(vxdl::pump_until([] { return dygrph_dy_selected_graph() && dygrph_dy_selected_graph()->first != -1; }));
    }
    static void TearDownTestSuite()
    {
        qymgr_qy_term();
        fs::remove_all(scratch);
    }
};

TEST_F(FormatCommands, AFormatDialogIsRegisteredFilledPoppedAndApplied)
{
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    DialogRecord *axes = install_probe(32, "testAxes");
    DialogRecord *titles = install_probe(33, "testTitles");
    DialogRecord *kind = install_probe(35, "testKind");
    DialogRecord *options = install_probe(45, "testOptions");

    // The refill: every dialog there, in order, with the format (the
    // titles dialog with the graph), registered with the format's apply.
    filled.clear();
    mnform_mn_reset_format_dialogs();
    EXPECT_EQ(filled, (std::vector<int>{35, 32, 33, 45}));
    EXPECT_EQ(kind->client_apply, setup_format);
    EXPECT_EQ(options->client_value, g->format);
    EXPECT_EQ(probes[32].setvals, 1);
    EXPECT_EQ(probes[32].last, g->format);
    EXPECT_EQ(axes->client_value, g->format);
    EXPECT_EQ(axes->client_apply, setup_format);
    EXPECT_EQ(probes[33].last, static_cast<void *>(g));
    EXPECT_EQ(titles->client_value, static_cast<void *>(g));

    // The item pops it up, filled.
    command(form_setup_axes_b, 51);
    EXPECT_TRUE(XtIsManaged(axes->widget));
    EXPECT_EQ(probes[32].setvals, 2);

    // Applied: a scatter graph, drawn as one, the dialog registered again;
    // the options of the new kind refilled.
    ASSERT_EQ(g->kind, 0);
    probes[32].change = [](void *v) { static_cast<GoFormat *>(v)->graphtype = 1; };
    filled.clear();
    EXPECT_EQ(apply(32), 1);
    EXPECT_EQ(g->kind, 1);
    EXPECT_EQ(axes->client_apply, setup_format);
    EXPECT_EQ(filled, (std::vector<int>{45}));

    // A kind the zoomed graph cannot take: put back, every dialog refilled
    // from the format as it is again, the dialog kept registered.
    g->zoomed = 1;
    probes[32].change = [](void *v) { static_cast<GoFormat *>(v)->graphtype = 6; };
    const int titles_before = probes[33].setvals;
    filled.clear();
    EXPECT_EQ(apply(32), 0);
    EXPECT_EQ(filled, (std::vector<int>{35, 32, 33, 45})) << "all refilled";
    EXPECT_EQ(g->format->graphtype, 1);
    EXPECT_EQ(g->kind, 1);
    EXPECT_EQ(probes[33].setvals, titles_before + 1) << "refilled";
    EXPECT_EQ(axes->client_apply, setup_format);
    ASSERT_TRUE(vxdl::pump_until([&] { return !any_box.texts.empty(); }));
    any_box.texts.clear();
    g->zoomed = 0;
    probes[32].change = [](void *v) { static_cast<GoFormat *>(v)->graphtype = 0; };
    EXPECT_EQ(apply(32), 1);
    EXPECT_EQ(g->kind, 0);
    probes[32].change = nullptr;

    // With no graph selected nothing is registered or filled.
    axes->client_apply = nullptr;
    const int before = probes[32].setvals;
    dygraph_dy_select_graph(nullptr, 1);
    GoGraph *none = dygrph_dy_selected_graph();
    if (!none) {
        mnform_mn_reset_format_dialogs();
        EXPECT_EQ(probes[32].setvals, before);
        EXPECT_EQ(axes->client_apply, nullptr);
    }
    dygraph_dy_select_graph(g, 1);
    for (int id : {32, 33, 35, 45})
        remove_probe(id);
}

TEST_F(FormatCommands, FormatFilesThroughTheirDialogAndTheGraphPane)
{
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    install_probe(40, "testFormatFile");
    GraphFileValue *v = mngraph_graph_value();
    const fs::path own = mngraph_own_dir();
    Answers answers;

    // Save as: a new name is written without a question.
    snprintf(v->name, sizeof v->name, "SALES");
    v->shared = 0;
    g->format->titlesize = 5;
    command(graph_save_as_graph_b, 47);
    EXPECT_TRUE(XtIsManaged(dlmain_dialogs[40].widget));
    EXPECT_EQ(apply(40), 1);
    ASSERT_TRUE(fs::exists(own / "SALES"));
    EXPECT_EQ(answers.asked, 0);
    EXPECT_EQ(mngraph_mn_have_named_graph(), 1);
    // Over an existing name it asks, relaxed confirmation or not; No keeps
    // the dialog registered and the file as it was.
    const std::string saved = slurp(own / "SALES");
    g->format->titlesize = 6;
    command(graph_save_as_graph_b, 47);
    EXPECT_EQ(apply(40), 0);
    EXPECT_EQ(answers.asked, 1);
    EXPECT_EQ(dlmain_dialogs[40].client_apply, mngraph_save_as_proc);
    EXPECT_EQ(slurp(own / "SALES"), saved);

    // Load brings the saved format back.
    command(graph_load_graph_b, 44);
    EXPECT_EQ(apply(40), 1);
    EXPECT_EQ(g->format->titlesize, 5);
    // A name that is nowhere: reported, the dialog kept registered.
    ASSERT_TRUE(any_box.texts.empty()) << any_box.texts[0];
    snprintf(v->name, sizeof v->name, "NOWHERE");
    command(graph_load_graph_b, 44);
    EXPECT_EQ(apply(40), 0);
    EXPECT_EQ(dlmain_dialogs[40].client_apply, mngraph_load_proc);
    ASSERT_EQ(any_box.texts.size(), 1u);
    EXPECT_NE(any_box.texts[0].find("NOWHERE"), std::string::npos) << any_box.texts[0];
    any_box.texts.clear();

    // Save default, Load default and Save, from the menu.
    g->format->titlesize = 7;
    command(graph_save_default_b, 48);
    ASSERT_TRUE(fs::exists(own / ".DEFAULT"));
    EXPECT_EQ(goprop_go_default_graph_format()->titlesize, 7);
    EXPECT_STREQ(g->format->graphname, ".DEFAULT");
    g->format->titlesize = 8;
    command(graph_load_default_b, 45);
    EXPECT_EQ(g->format->titlesize, 7);
    g->format->titlesize = 9;
    command(graph_save_graph_b, 46);
    g->format->titlesize = 10;
    command(graph_load_default_b, 45);
    EXPECT_EQ(g->format->titlesize, 9) << "Save wrote the file it was loaded from";

    // Delete asks (forced); No keeps the file, Yes removes it.
    snprintf(v->name, sizeof v->name, "SALES");
    command(graph_delete_graph_b, 49);
    EXPECT_EQ(apply(40), 0);
    EXPECT_TRUE(fs::exists(own / "SALES"));
    EXPECT_EQ(dlmain_dialogs[40].client_apply, mngraph_delete_proc);
    answers.yes = true;
    EXPECT_EQ(apply(40), 1);
    EXPECT_FALSE(fs::exists(own / "SALES"));
    EXPECT_STREQ(v->name, "");
    EXPECT_TRUE(any_box.texts.empty()) << any_box.texts[0];
    remove_probe(40);
    goprop_go_forget_default_graph_format();
}

TEST_F(FormatCommands, TextsAreMovedAddedEditedAndDeleted)
{
    GoGraph *g = dygrph_dy_selected_graph();
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(dygrph_dy_set_text(0, "Revenue of department 10", nullptr, 1), 1);
    vxdl::pump_idle();
    const auto title = anchor_pixel(g, 0);
    const double hoffset = *static_cast<const double *>(goprop_go_property(g, GP_HOFFSET, 0, 0));
    int id = -1, outline[8];
    const char *body = nullptr;
    // A point on the title's ink: inside its outline, near the anchor.
    ASSERT_EQ(dygrph_dy_get_text(title[0], title[1] - 4, &id, &body, outline, nullptr), 1);
    ASSERT_EQ(id, 0);

    // Move: the title follows the pointer by the drag.
    queue_press(title[0], title[1] - 4);
    band_path = {{title[0] - 40, title[1] + 30}, {title[0] - 60, title[1] + 60}};
    EXPECT_EQ(dymain_dy_move_text(), 1);
    vxdl::pump_idle();
    auto moved = anchor_pixel(g, 0);
    // The anchor is where the pointer was released.
    EXPECT_NEAR(moved[0], title[0] - 60, 2);
    EXPECT_NEAR(moved[1], title[1] + 60, 2);
    EXPECT_NE(*static_cast<const double *>(goprop_go_property(g, GP_HOFFSET, 0, 0)), hoffset)
        << "the position is the title's property";
    Picture p = shot();
    const Colours c = graph_colours();
    EXPECT_TRUE(found(p, moved[0], moved[1] - 4, c.foreground, 6)) << "drawn at its new place";

    // Add: placed at the press and dragged.
    const int user = dygrph_dy_new_text();
    ASSERT_GE(user, 228);
    const int ax = g->x + g->width / 3, ay = g->y + g->height / 2;
    queue_press(ax, ay);
    band_path = {{ax + 20, ay + 10}, {ax + 40, ay + 20}};
    EXPECT_EQ(dymain_dy_add_text("Peak", user, 1), user);
    vxdl::pump_idle();
    const auto added = anchor_pixel(g, user);
    EXPECT_NEAR(added[0], ax + 40, 2);
    EXPECT_NEAR(added[1], ay + 20, 2);

    // Edit: the callback gets the picked text.
    static int picked = -1;
    picked = -1;
    const auto [at_x, at_y] = on_text(g, user);
    ASSERT_GE(at_x, 0) << "the added text is found at its place";
    queue_press(at_x, at_y, 1, true);
    EXPECT_EQ(dymain_dy_edit_text(nullptr, [](void *, int text) { picked = text; }), 1);
    EXPECT_EQ(picked, user);

    // A key, another button or a press on no text rings; nothing changes.
    struct Fault {
        const char *what;
        int button;  // 0: a key
        bool on_text;
    } faults[] = {{"a key", 0, true}, {"button 2", 2, true}, {"no text", 1, false}};
    for (const Fault &f : faults) {
        SCOPED_TRACE(f.what);
        const int bells = vxdl::bells();
        const int x = f.on_text ? at_x : g->x + 3, y = f.on_text ? at_y : g->y + g->height - 3;
        if (f.button) {
            queue_press(x, y, f.button, true);
        } else {
            pointer_to(x, y);
            const unsigned k = XKeysymToKeycode(dpy(), XK_a);
            XSetInputFocus(dpy(), XtWindow(canvas()), RevertToParent, CurrentTime);
            XTestFakeKeyEvent(dpy(), k, True, 0);
            XTestFakeKeyEvent(dpy(), k, False, 0);
            XSync(dpy(), False);
        }
        EXPECT_EQ(dymain_dy_move_text(), 0);
        release_buttons();
        EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() > bells; }));
        EXPECT_EQ(anchor_pixel(g, user), added);
        EXPECT_EQ(anchor_pixel(g, 0), moved);
    }

    // Delete removes it.
    queue_press(at_x, at_y, 1, true);
    EXPECT_EQ(dymain_dy_delete_text(), 1);
    EXPECT_EQ(gobj_go_get_an_object(g, user), nullptr);
    dygrph_dy_set_text(0, "", nullptr, 1);
    vxdl::pump_idle();
}

TEST_F(FormatCommands, TheBackgroundIsSetThroughItsPrompt)
{
    Answers answers;
    answers.reply = "red";
    command(form_setup_background_b, 62);
    EXPECT_EQ(answers.prompted, 1);
    Picture p = shot();
    EXPECT_TRUE(near(p.at(1, 1), 0xff0000)) << std::hex << p.at(1, 1);
    const int bells = vxdl::bells();
    answers.reply = "no such colour";
    command(form_setup_background_b, 62);
    EXPECT_EQ(answers.prompted, 2);
    EXPECT_TRUE(vxdl::pump_until([&] { return vxdl::bells() > bells; }));
    p = shot();
    EXPECT_TRUE(near(p.at(1, 1), 0xff0000)) << "unchanged";
    answers.reply = "Black";
    command(form_setup_background_b, 62);
}

// As a user would see it: a second graph that loaded the first one's
// saved format, with a text added and moved.
TEST_F(FormatCommands, ASecondGraphTakesTheFirstOnesFormat)
{
    GoGraph *first = dygrph_dy_selected_graph();
    ASSERT_NE(first, nullptr);
    int cw = 0, ch = 0;
    dymain_dy_get_canvas_size(&cw, &ch);
    const int left[4] = {5, 5, cw / 2 - 10, ch - 10};
    dygraph_dy_explicit_pos_graph(first, 1, left);
    first->format->graphtype = 2;  // impulses
    dygrph_dy_notify_property_change(1, 1, nullptr);
    dygrph_dy_set_text(0, "Department 10", nullptr, 1);
    ASSERT_EQ(mngraph_mn_save_graph_format(first, "IMPULSES", 1), 0);

    const int right[4] = {cw / 2 + 5, 5, cw / 2 - 10, ch - 10};
    GoGraph *second = dygrph_dy_new_graph(0, 0, 1, right);
    ASSERT_NE(second, nullptr);
    qymgr_qy_query("DISPLAY REVENUE, SDATE FROM SALES WHERE DEPTNO=10 SEQUENCE BY SDATE", QY_WAIT, QY_FULL, QY_REPORT);
    ASSERT_TRUE(vxdl::pump_until([&] { return second->first != -1; }));
    dygraph_dy_select_graph(second, 1);
    EXPECT_EQ(mngraph_mn_load_graph_format("IMPULSES"), 0);
    EXPECT_EQ(second->kind, 2);
    const int user = dygrph_dy_new_text();
    const int ax = second->x + second->width / 4, ay = second->y + second->height / 3;
    queue_press(ax, ay);
    band_path = {{ax + 30, ay + 10}, {ax + 50, ay + 15}};
    EXPECT_EQ(dymain_dy_add_text("Copied format", user, 1), user);
    const auto placed = anchor_pixel(second, user);
    const auto hit = on_text(second, user);
    ASSERT_GE(hit[0], 0);
    queue_press(hit[0], hit[1]);
    band_path = {{placed[0] + 10, placed[1] + 20}, {placed[0] + 20, placed[1] + 40}};
    EXPECT_EQ(dymain_dy_move_text(), 1);
    EXPECT_NEAR(anchor_pixel(second, user)[1], placed[1] + 40, 3);
    dymain_dy_refresh_display();
    vxdl::pump_idle();
    const char *dir = getenv("VX_IMAGE_DIR");
    const std::string path = dir ? std::string(dir) + "/graph-format.png" : (scratch / "graph-format.png").string();
    Picture window = dypic::grab(dpy(), XtWindow(displevel));
    ASSERT_TRUE(dypic::save_png(window, path)) << path;
}

}  // namespace
