// Both windows' menus and the dialog table as start-up builds them in each
// run mode, in process on the test X server: every item by its path with
// its label, mnemonic, accelerator and handle; every item's command or its
// "not available" box; the busy workspace's bell.

#include "dltestkit.h"
#include "vxtest.h"

#include "dlmess.h"
#include "mnbld.h"
#include "mndy.h"
#include "mnmisc.h"
#include "mnqy.h"
#include "qymgr.h"
#include "startup.h"
#include "wsevent.h"
#include "vxcat.h"
#include "vxmain.h"

#include <X11/XKBlib.h>
#include <Xm/CascadeBG.h>
#include <Xm/LabelG.h>
#include <Xm/MessageB.h>
#include <Xm/PushBG.h>
#include <Xm/ToggleBG.h>
#include <Xm/RowColumn.h>
#include <Xm/ToggleB.h>

#include <cstring>
#include <set>
#include <sstream>

using namespace std::chrono_literals;

namespace {

struct Expect {
    const char *path;
    unsigned char kind;
    int code;
    const char *accelerator;
    const char *accel_text;
    const char *handle;  // "@help": the bar's help item
};

// Every item of both windows, as the menu trees name them.
const Expect items[] = {
    {"queryM/dbaseM", MN_CASCADE, 1, "", "", "dbase_c"},
    {"queryM/dbaseM/openA", MN_PUSH, 6, "Ctrl<Key>O", "Ctrl-O", ""},
    {"queryM/dbaseM/closeA", MN_PUSH, 7, "", "", "dbase_close_b"},
    {"queryM/dbaseM/buildA", MN_PUSH, 8, "", "", "dbase_build_b"},
    {"queryM/dbaseM/dropA", MN_PUSH, 9, "", "", "dbase_delete_b"},
    {"queryM/dbaseM/confA", MN_PUSH, 10, "", "", "dbase_conf_b"},
    {"queryM/dbaseM/passA", MN_PUSH, 11, "", "", "dbase_pass_b"},
    {"queryM/dbaseM/schemA", MN_PUSH, 12, "", "", "dbase_schema_b"},
    {"queryM/dbaseM/quitA", MN_PUSH, 13, "Ctrl<Key>E", "Ctrl-E", ""},
    {"queryM/viewM", MN_CASCADE, 2, "", "", "view_c"},
    {"queryM/viewM/refreshA", MN_PUSH, 14, "Ctrl<Key>F", "Ctrl-F", ""},
    {"queryM/viewM/rereadA", MN_PUSH, 15, "", "", "view_reread_b"},
    {"queryM/viewM/optionsA", MN_PUSH, 16, "", "", ""},
    {"queryM/viewM/tablesA", MN_PUSH, 17, "", "", "view_set_tables_b"},
    {"queryM/queryM", MN_CASCADE, 3, "", "", "query_c"},
    {"queryM/queryM/newA", MN_PUSH, 18, "Ctrl<Key>N", "Ctrl-N", "query_new_b"},
    {"queryM/queryM/runA", MN_PUSH, 19, "Ctrl<Key>R", "Ctrl-R", "query_run_b"},
    {"queryM/queryM/targetA", MN_PUSH, 20, "Ctrl<Key>T", "Ctrl-T", "query_target_b"},
    {"queryM/queryM/qschemaA", MN_PUSH, 22, "", "", "query_schema_b"},
    {"queryM/queryM/dozA", MN_PUSH, 21, "Ctrl<Key>Q", "Ctrl-Q", ""},
    {"queryM/queryM/verifyM", MN_CASCADE, 23, "", "", ""},
    {"queryM/queryM/verifyM/verifyA", MN_TOGGLE, 24, "", "", "query_verify_t"},
    {"queryM/procM", MN_CASCADE, 4, "", "", "proc_c"},
    {"queryM/procM/newprocA", MN_PUSH, 25, "", "", "proc_new_b"},
    {"queryM/procM/loadA", MN_PUSH, 26, "Ctrl<Key>L", "Ctrl-L", "proc_load_b"},
    {"queryM/procM/saveA", MN_PUSH, 27, "Ctrl<Key>S", "Ctrl-S", "proc_save_b"},
    {"queryM/procM/saveAsA", MN_PUSH, 28, "", "", "proc_save_as_b"},
    {"queryM/procM/delprocA", MN_PUSH, 29, "", "", "proc_delete_b"},
    {"queryM/procM/keepA", MN_PUSH, 30, "Ctrl<Key>K", "Ctrl-K", "proc_keep_b"},
    {"queryM/helpM", MN_CASCADE, 5, "", "", "@help"},
    {"queryM/helpM/revA", MN_PUSH, 31, "", "", ""},
    {"queryM/helpM/itemA", MN_PUSH, 32, "Ctrl<Key>H", "Ctrl-H", ""},
    {"queryM/helpM/topicA", MN_PUSH, 33, "", "", "help_topic_b"},
    {"queryPU/runPA", MN_PUSH, 19, "", "", "popup_run_b"},
    {"queryPU/targetPA", MN_PUSH, 20, "", "", "popup_target_b"},
    {"queryPU/refreshPA", MN_PUSH, 14, "", "", ""},
    {"queryPU/rereadPA", MN_PUSH, 15, "", "", "popup_reread_b"},
    {"queryPU/collectPA", MN_PUSH, 34, "", "", "popup_collect_b"},
    {"displayM/graphM", MN_CASCADE, 35, "", "", "graph_c"},
    {"displayM/graphM/newvA", MN_PUSH, 41, "Ctrl<Key>V", "Ctrl-V", "graph_new_view_b"},
    {"displayM/graphM/newgA", MN_PUSH, 42, "Ctrl<Key>N", "Ctrl-N", "graph_new_graph_b"},
    {"displayM/graphM/keepA", MN_PUSH, 43, "Ctrl<Key>K", "Ctrl-K", "graph_keep_b"},
    {"displayM/graphM/loadA", MN_PUSH, 44, "Ctrl<Key>L", "Ctrl-L", "graph_load_graph_b"},
    {"displayM/graphM/loadDefA", MN_PUSH, 45, "", "", "graph_load_default_b"},
    {"displayM/graphM/saveA", MN_PUSH, 46, "Ctrl<Key>S", "Ctrl-S", "graph_save_graph_b"},
    {"displayM/graphM/saveAsA", MN_PUSH, 47, "", "", "graph_save_as_graph_b"},
    {"displayM/graphM/saveDefA", MN_PUSH, 48, "", "", "graph_save_default_b"},
    {"displayM/graphM/deleteA", MN_PUSH, 49, "", "", "graph_delete_graph_b"},
    {"displayM/formM", MN_CASCADE, 36, "", "", "format_c"},
    {"displayM/formM/formatA", MN_PUSH, 50, "Shift<Key>G:", "Shift-G", "form_setup_graph_b"},
    {"displayM/formM/axesA", MN_PUSH, 51, "Shift<Key>A:", "Shift-A", "form_setup_axes_b"},
    {"displayM/formM/titlesA", MN_PUSH, 52, "Shift<Key>T:", "Shift-T", "form_setup_titles_b"},
    {"displayM/formM/overlaysA", MN_PUSH, 53, "Shift<Key>O:", "Shift-O", "form_setup_ovl_b"},
    {"displayM/formM/fontsA", MN_PUSH, 54, "Shift<Key>F:", "Shift-F", "form_setup_fonts_b"},
    {"displayM/formM/layA", MN_PUSH, 55, "Shift<Key>L:", "Shift-L", "form_setup_layout_b"},
    {"displayM/formM/miscA", MN_PUSH, 56, "Shift<Key>M:", "Shift-M", "form_setup_misc_b"},
    {"displayM/formM/multiyA", MN_PUSH, 57, "Shift<Key>Y:", "Shift-Y", "form_setup_multiy_b"},
    {"displayM/formM/legendM", MN_CASCADE, 58, "", "", "form_setup_legend_b"},
    {"displayM/formM/legendM/leglayA", MN_PUSH, 64, "Shift<Key>K:", "Shift-K", ""},
    {"displayM/formM/legendM/legtextA", MN_PUSH, 65, "Shift<Key>S:", "Shift-S", ""},
    {"displayM/formM/legendM/cbarA", MN_PUSH, 66, "Shift<Key>C:", "Shift-C", ""},
    {"displayM/formM/threshA", MN_PUSH, 129, "Shift<Key>R:", "Shift-R", "form_setup_thresh_b"},
    {"displayM/formM/optA", MN_PUSH, 59, "Shift<Key>P:", "Shift-P", "form_setup_options_b"},
    {"displayM/formM/orderM", MN_CASCADE, 60, "", "", "form_setup_order_b"},
    {"displayM/formM/orderM/xyzA", MN_TOGGLE, 67, "", "", "order_xyz_t"},
    {"displayM/formM/orderM/xzyA", MN_TOGGLE, 68, "", "", "order_xzy_t"},
    {"displayM/formM/orderM/yxzA", MN_TOGGLE, 69, "", "", "order_yxz_t"},
    {"displayM/formM/orderM/yzxA", MN_TOGGLE, 70, "", "", "order_yzx_t"},
    {"displayM/formM/orderM/zxyA", MN_TOGGLE, 71, "", "", "order_zxy_t"},
    {"displayM/formM/orderM/zyxA", MN_TOGGLE, 72, "", "", "order_zyx_t"},
    {"displayM/formM/implicitA", MN_PUSH, 61, "Shift<Key>I:", "Shift-I", "form_setup_implicit_b"},
    {"displayM/formM/backgA", MN_PUSH, 62, "Shift<Key>B:", "Shift-B", "form_setup_background_b"},
    {"displayM/formM/annM", MN_CASCADE, 63, "", "", "form_annotate_b"},
    {"displayM/formM/annM/addtA", MN_PUSH, 73, "Ctrl<Key>F1", "Ctrl-F1", ""},
    {"displayM/formM/annM/edittA", MN_PUSH, 74, "Ctrl<Key>F2", "Ctrl-F2", ""},
    {"displayM/formM/annM/movetA", MN_PUSH, 75, "Ctrl<Key>F3", "Ctrl-F3", ""},
    {"displayM/formM/annM/dletA", MN_PUSH, 76, "Ctrl<Key>F4", "Ctrl-F4", ""},
    {"displayM/viewM", MN_CASCADE, 37, "", "", "view_c"},
    {"displayM/viewM/asgA", MN_PUSH, 77, "Ctrl<Key>G", "Ctrl-G", "view_as_graph_b"},
    {"displayM/viewM/astA", MN_PUSH, 78, "Ctrl<Key>T", "Ctrl-T", "view_as_table_b"},
    {"displayM/viewM/posA", MN_PUSH, 79, "Ctrl<Key>P", "Ctrl-P", "view_position_b"},
    {"displayM/viewM/moveA", MN_PUSH, 80, "", "", "view_move_b"},
    {"displayM/viewM/zoomA", MN_PUSH, 83, "Ctrl<Key>Z", "Ctrl-Z", "view_zoom_b"},
    {"displayM/viewM/unzoomA", MN_PUSH, 84, "Ctrl<Key>U", "Ctrl-U", "view_unzoom_b"},
    {"displayM/viewM/zoomtoolA", MN_PUSH, 131, "Ctrl<Key>O", "Ctrl-O", "view_zoomtool_b"},
    {"displayM/viewM/maxA", MN_PUSH, 85, "Ctrl<Key>X", "Ctrl-X", "view_maximise_b"},
    {"displayM/viewM/resA", MN_PUSH, 86, "Ctrl<Key>R", "Ctrl-R", "view_restore_b"},
    {"displayM/viewM/refA", MN_PUSH, 87, "Ctrl<Key>F", "Ctrl-F", ""},
    {"displayM/viewM/snapshotA", MN_PUSH, 88, "", "", "view_snapshot_b"},
    {"displayM/selectM", MN_CASCADE, 38, "", "", "select_c"},
    {"displayM/selectM/curA", MN_PUSH, 81, "Ctrl<Key>C", "Ctrl-C", "select_cursor_b"},
    {"displayM/selectM/msrM", MN_CASCADE, 82, "", "", "select_measure_b"},
    {"displayM/selectM/msrM/noconsA", MN_PUSH, 89, "Ctrl<Key>M", "Ctrl-M", ""},
    {"displayM/selectM/msrM/fixedyA", MN_PUSH, 90, "", "", ""},
    {"displayM/selectM/msrM/fixedxA", MN_PUSH, 91, "", "", ""},
    {"displayM/selectM/markerM", MN_CASCADE, 92, "", "", "select_marker_b"},
    {"displayM/selectM/markerM/marker1A", MN_TOGGLE, 98, "Ctrl Shift<Key>1:", "Ctrl-Shift-1", "marker_enable1_t"},
    {"displayM/selectM/markerM/marker2A", MN_TOGGLE, 99, "Ctrl Shift<Key>2:", "Ctrl-Shift-2", "marker_enable2_t"},
    {"displayM/selectM/markerM/markerSetA", MN_PUSH, 100, "Ctrl Shift<Key>m:", "Ctrl-Shift-M", ""},
    {"displayM/selectM/markerM/markerDialogA", MN_PUSH, 101, "", "", ""},
    {"displayM/selectM/markerM/markerPos", MN_TOGGLE, 102, "", "", "marker_bypos_t"},
    {"displayM/cmapM", MN_CASCADE, 39, "", "", "colourmap_c"},
    {"displayM/cmapM/loadcA", MN_PUSH, 110, "Ctrl<Key>1", "Ctrl-1", "cmap_load_cmap_b"},
    {"displayM/cmapM/loadDefcA", MN_PUSH, 111, "", "", "cmap_load_default_cmap_b"},
    {"displayM/cmapM/savecA", MN_PUSH, 112, "Ctrl<Key>9", "Ctrl-9", "cmap_save_cmap_b"},
    {"displayM/cmapM/saveAscA", MN_PUSH, 113, "", "", "cmap_save_as_cmap_b"},
    {"displayM/cmapM/saveDefcA", MN_PUSH, 114, "", "", "cmap_save_default_cmap_b"},
    {"displayM/cmapM/deletecA", MN_PUSH, 115, "", "", "cmap_delete_cmap_b"},
    {"displayM/cmapM/editcA", MN_PUSH, 116, "", "", "cmap_edit_cmap_b"},
    {"displayM/printM", MN_CASCADE, 40, "", "", "print_c"},
    {"displayM/printM/toprintA", MN_PUSH, 117, "Ctrl<Key>Y", "Ctrl-Y", ""},
    {"displayM/printM/sendtoemailA", MN_PUSH, 118, "Ctrl<Key>e", "Ctrl-E", "print_send_via_email_b"},
    {"displayM/printM/previewA", MN_PUSH, 119, "Ctrl<Key>w", "Ctrl-W", "print_preview_b"},
    {"displayM/printM/loadhA", MN_PUSH, 120, "Ctrl<Key>3", "Ctrl-3", "print_load_hc_b"},
    {"displayM/printM/loadDefhA", MN_PUSH, 121, "", "", "print_load_default_hc_b"},
    {"displayM/printM/savehA", MN_PUSH, 122, "Ctrl<Key>7", "Ctrl-7", "print_save_hc_b"},
    {"displayM/printM/saveAshA", MN_PUSH, 123, "", "", "print_save_as_hc_b"},
    {"displayM/printM/saveDefhA", MN_PUSH, 124, "", "", "print_mark_default_hc_b"},
    {"displayM/printM/deletehA", MN_PUSH, 125, "", "", "print_delete_hc_b"},
    {"displayM/printM/editprintA", MN_PUSH, 126, "", "", "print_edit_hc_b"},
    {"displayM/printM/edittabA", MN_PUSH, 127, "", "", "print_edit_tabcom_b"},
    {"displayM/printM/editgrpA", MN_PUSH, 128, "", "", "print_edit_grpcom_b"},
    {"displayM/helpM", MN_CASCADE, 5, "", "", "@help"},
    {"displayM/helpM/revA", MN_PUSH, 31, "", "", ""},
    {"displayM/helpM/itemA", MN_PUSH, 32, "Ctrl<Key>H", "Ctrl-H", ""},
    {"displayM/helpM/topicA", MN_PUSH, 33, "", "", "help_topic_b"},
    {"displayPU/keepPA", MN_PUSH, 43, "", "", "popup_keep_b"},
    {"displayPU/formatPA", MN_PUSH, 50, "", "", "popup_setup_graph_b"},
    {"displayPU/axesPA", MN_PUSH, 51, "", "", "popup_setup_axes_b"},
    {"displayPU/titlesPA", MN_PUSH, 52, "", "", "popup_setup_titles_b"},
    {"displayPU/overlaysPA", MN_PUSH, 53, "", "", "popup_setup_ovl_b"},
    {"displayPU/fontsPA", MN_PUSH, 54, "", "", "popup_setup_fonts_b"},
    {"displayPU/layPA", MN_PUSH, 55, "", "", "popup_setup_layout_b"},
    {"displayPU/miscPA", MN_PUSH, 56, "", "", "popup_setup_misc_b"},
    {"displayPU/multiyPA", MN_PUSH, 57, "", "", "popup_setup_multiy_b"},
    {"displayPU/legendPM", MN_CASCADE, 58, "", "", "popup_setup_legend_b"},
    {"displayPU/legendPM/leglayPA", MN_PUSH, 64, "", "", ""},
    {"displayPU/legendPM/legtextPA", MN_PUSH, 65, "", "", ""},
    {"displayPU/legendPM/cbarPA", MN_PUSH, 66, "", "", ""},
    {"displayPU/threshPA", MN_PUSH, 129, "", "", "popup_setup_thresh_b"},
    {"displayPU/optPA", MN_PUSH, 59, "", "", "popup_setup_options_b"},
    {"displayPU/zoomPA", MN_PUSH, 83, "", "", "popup_zoom_b"},
    {"displayPU/unzoomPA", MN_PUSH, 84, "", "", "popup_unzoom_b"},
    {"displayPU/maxPA", MN_PUSH, 85, "", "", "popup_maximise_b"},
    {"displayPU/resPA", MN_PUSH, 86, "", "", "popup_restore_b"},
};

bool in_tsl_menus(const std::string &path)
{
    for (const char *p : {"displayM/viewM", "displayM/selectM", "displayM/printM", "displayPU/zoomPA",
                          "displayPU/unzoomPA", "displayPU/maxPA", "displayPU/resPA"})
        if (path.rfind(p, 0) == 0)
            return true;
    return false;
}

// Whether a run mode builds the item.
bool built(const std::string &path, int mode, bool nochangepass = false)
{
    if (path.rfind("query", 0) == 0)
        return mode == RUN_INTERACTIVE && !(nochangepass && path == "queryM/dbaseM/passA");
    if (mode == RUN_INTERACTIVE || mode == RUN_TSL_EDIT)
        return true;
    if (mode == RUN_TSL_NOMENU || mode == RUN_TSL_NOWIN)
        return false;
    return in_tsl_menus(path);
}

Widget by_path(const std::string &path)
{
    std::istringstream in(path);
    std::string seg;
    std::getline(in, seg, '/');
    Widget w = seg == "queryM" ? qm1 : seg == "queryPU" ? qm2 : seg == "displayM" ? dm1 : dm2;
    if (!w || seg != XtName(w))
        return nullptr;
    while (std::getline(in, seg, '/')) {
        if (!XmIsRowColumn(w)) {
            Widget pane = nullptr;
            XtVaGetValues(w, XmNsubMenuId, &pane, nullptr);
            w = pane;
        }
        if (!w)
            return nullptr;
        w = XtNameToWidget(w, seg.c_str());
        if (!w)
            return nullptr;
    }
    return w;
}

Widget handle(const std::string &path, const std::string &name)
{
    const MnHandle *table = path.rfind("query", 0) == 0 ? mnqy_handles : mndy_handles;
    int count = path.rfind("query", 0) == 0 ? mnqy_handle_count : mndy_handle_count;
    for (int i = 0; i < count; i++)
        if (name == table[i].name)
            return *table[i].widget;
    ADD_FAILURE() << "no handle " << name;
    return nullptr;
}

std::string accelerator(Widget w)
{
    char *a = nullptr;
    XtVaGetValues(w, XmNaccelerator, &a, nullptr);
    return a ? a : "";
}

std::string accel_text(Widget w)
{
    XmString s = nullptr;
    XtVaGetValues(w, XmNacceleratorText, &s, nullptr);
    std::string r = s ? vxdl::xmstring(s) : "";
    if (s)
        XmStringFree(s);
    return r;
}

KeySym mnemonic(Widget w)
{
    KeySym k = NoSymbol;
    XtVaGetValues(w, XmNmnemonic, &k, nullptr);
    return k;
}

// Builds the windows of a run mode on fresh shells, as start-up does.
void build(int mode, bool nochangepass = false, const char *user_menu = nullptr)
{
    vxdl::App &a = vxdl::app();
    // The program builds its menus once; a test building again starts
    // from empty handles.
    dlmain_clear_dialogs();
    qm1 = qm2 = dm1 = dm2 = nullptr;
    for (int i = 0; i < mnqy_handle_count; i++)
        *mnqy_handles[i].widget = nullptr;
    for (int i = 0; i < mndy_handle_count; i++)
        *mndy_handles[i].widget = nullptr;
    adata = a.adata;
    adata.runMode = mode;
    adata.menuFont = a.adata.labelFont;
    adata.nochangepass = nochangepass;
    adata.userMenuDefinition2 = const_cast<char *>(user_menu);
    adata.initialValidateQuery = True;
    adata.nomap = 0;
    adata.noResize = 0;
    adata.displayId = nullptr;
    toplevel = XtVaAppCreateShell("queryShell", "Vostrelane", applicationShellWidgetClass, a.display, XmNwidth, 300,
                                  XmNheight, 200, nullptr);
    startup_build_user_interface(False);
    XSync(a.display, False);
}

// Answers the next "not available" box with OK and keeps its text.
struct BoxAnswer {
    std::string text;
    bool seen = false;
    bool prompted = false;
    bool asked = false;  // a question, answered No
    XtIntervalId id = 0;
};

void answer_tick(XtPointer client, XtIntervalId *)
{
    auto *b = static_cast<BoxAnswer *>(client);
    b->id = 0;
    Widget prompt = dlmain_dialogs[3].widget;
    if (prompt && XtIsManaged(prompt)) {
        b->prompted = true;
        vxdl::press_box(prompt, XmDIALOG_CANCEL_BUTTON);
        return;
    }
    Widget confirm = dlmain_dialogs[2].widget;
    if (confirm && XtIsManaged(confirm)) {
        b->asked = true;
        vxdl::press_box(confirm, XmDIALOG_CANCEL_BUTTON);
        return;
    }
    Widget box = dlmain_dialogs[0].widget;
    if (box && XtIsManaged(box)) {
        b->seen = true;
        b->text = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        return;
    }
    b->id = XtAppAddTimeOut(vxdl::app().context, 5, answer_tick, b);
}

std::string expected_label(int code)
{
    wchar_t m;
    return handle_mnemonic(nl_catgets(vxdl::app().adata.catd, MN_LABEL_SET, code), &m);
}

const int all_modes[] = {RUN_INTERACTIVE, RUN_CONNECTED, RUN_TSL, RUN_TSL_EDIT, RUN_TSL_NOMENU, RUN_TSL_NOWIN};

TEST(Menus, EveryItemByPathWithLabelMnemonicAcceleratorAndHandle)
{
    for (int mode : all_modes) {
        SCOPED_TRACE("run mode " + std::to_string(mode));
        build(mode);
        if (mode == RUN_TSL_NOMENU || mode == RUN_TSL_NOWIN) {
            EXPECT_EQ(dm1, nullptr);
            EXPECT_EQ(dm2, nullptr);
        }
        EXPECT_EQ(qm1 != nullptr, mode == RUN_INTERACTIVE);
        int found = 0;  // every built item is asserted to be found
        for (const Expect &e : items) {
            Widget w = by_path(e.path);
            if (!built(e.path, mode)) {
                EXPECT_EQ(w, nullptr) << e.path;
                if (*e.handle && *e.handle != '@' && (mode == RUN_TSL_NOMENU || mode == RUN_TSL_NOWIN ||
                                                      std::string(e.path).rfind("query", 0) == 0)) {
                    EXPECT_EQ(handle(e.path, e.handle), nullptr) << e.path;
                }
                continue;
            }
            ASSERT_NE(w, nullptr) << e.path;
            found++;
            std::string label = vxdl::label(w);
            EXPECT_FALSE(label.empty()) << e.path;
            EXPECT_EQ(label, expected_label(e.code)) << e.path;
            EXPECT_EQ(label.find('@'), std::string::npos) << e.path;
            wchar_t m;
            handle_mnemonic(nl_catgets(vxdl::app().adata.catd, MN_LABEL_SET, e.code), &m);
            EXPECT_EQ(mnemonic(w), char_to_keysym(m)) << e.path;
            EXPECT_NE(m, L' ') << e.path << " has no mnemonic";
            if (e.kind != MN_CASCADE) {
                // The event part only: a trailing ":" would leave the
                // accelerator dead.
                std::string event = e.accelerator;
                if (!event.empty() && event.back() == ':')
                    event.pop_back();
                EXPECT_EQ(accelerator(w), event) << e.path;
                EXPECT_EQ(accel_text(w), e.accel_text) << e.path;
            }
            if (std::string(e.handle) == "@help") {
                Widget help = nullptr;
                XtVaGetValues(XtParent(w), XmNmenuHelpWidget, &help, nullptr);
                EXPECT_EQ(help, w) << e.path << " is not the bar's help item";
            } else if (*e.handle) {
                EXPECT_EQ(handle(e.path, e.handle), w) << e.path;
            }
        }
        if (mode != RUN_TSL_NOMENU && mode != RUN_TSL_NOWIN) {
            EXPECT_GT(found, 0);
        }
    }
}

// Mnemonics of one pane's items, compared without case.
void check_pane(Widget pane, const std::string &where)
{
    WidgetList children = nullptr;
    Cardinal n = 0;
    XtVaGetValues(pane, XmNchildren, &children, XmNnumChildren, &n, nullptr);
    std::set<KeySym> seen;
    for (Cardinal i = 0; i < n; i++) {
        KeySym k = NoSymbol;
        if (!XtIsSubclass(children[i], xmLabelGadgetClass) && !XmIsCascadeButtonGadget(children[i]) &&
            !XmIsPushButtonGadget(children[i]) && !XmIsToggleButtonGadget(children[i]))
            continue;
        XtVaGetValues(children[i], XmNmnemonic, &k, nullptr);
        if (k == NoSymbol)
            continue;
        char c[8];
        KeySym lower, upper;
        XConvertCase(k, &lower, &upper);
        snprintf(c, sizeof c, "%lx", lower);
        EXPECT_TRUE(seen.insert(lower).second) << where << "/" << XtName(children[i]) << " repeats mnemonic " << c;
        if (XmIsCascadeButtonGadget(children[i])) {
            Widget sub = nullptr;
            XtVaGetValues(children[i], XmNsubMenuId, &sub, nullptr);
            if (sub)
                check_pane(sub, where + "/" + XtName(children[i]));
        }
    }
}

TEST(Menus, MnemonicsAreUniqueWithinEachPane)
{
    build(RUN_INTERACTIVE);
    for (Widget w : {qm1, qm2, dm1, dm2})
        check_pane(w, XtName(w));
}

TEST(Menus, DatabasePaneWithoutChangePasswordAndHelpAfterUserMenus)
{
    build(RUN_INTERACTIVE, true, "@Tools\nList\tls -l\n");
    Widget pane = nullptr;
    XtVaGetValues(dbase_c, XmNsubMenuId, &pane, nullptr);
    WidgetList children = nullptr;
    Cardinal n = 0;
    XtVaGetValues(pane, XmNchildren, &children, XmNnumChildren, &n, nullptr);
    EXPECT_EQ(n, 9u);
    EXPECT_EQ(XtNameToWidget(pane, "passA"), nullptr);
    EXPECT_EQ(dbase_pass_b, nullptr);

    // The bar: the four panes, the user menu, then Help at the right end.
    XtVaGetValues(qm1, XmNchildren, &children, XmNnumChildren, &n, nullptr);
    std::vector<std::string> names;
    for (Cardinal i = 0; i < n; i++)
        if (XtIsManaged(children[i]))
            names.push_back(XtName(children[i]));
    EXPECT_EQ(names, (std::vector<std::string>{"dbaseM", "viewM", "queryM", "procM", "userMenuCB", "helpM"}));
    Widget help = nullptr;
    XtVaGetValues(qm1, XmNmenuHelpWidget, &help, nullptr);
    ASSERT_NE(help, nullptr);
    EXPECT_STREQ(XtName(help), "helpM");
    Widget user = XtNameToWidget(qm1, "userMenuCB");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(vxdl::label(user), "Tools");
    EXPECT_EQ(mnemonic(user), static_cast<KeySym>('T'));
}

// The dialog records and widgets each run mode leaves.
TEST(Menus, DialogTablePerRunMode)
{
    auto has_record = [](int id) {
        return dlmain_dialogs[id].popup != static_cast<DlPopupProc>(dlmain_std_unsupported);
    };
    for (int mode : all_modes) {
        SCOPED_TRACE("run mode " + std::to_string(mode));
        build(mode);
        for (int id = 0; id < 4; id++) {
            EXPECT_TRUE(has_record(id)) << id;
        }
        EXPECT_EQ(has_record(5), mode <= RUN_TSL_EDIT);
        EXPECT_EQ(dlmain_dialogs[5].widget != nullptr, mode == RUN_INTERACTIVE || mode == RUN_TSL ||
                                                           mode == RUN_TSL_EDIT);
        if (mode == RUN_TSL_NOMENU || mode == RUN_TSL_NOWIN)
            for (int id = 4; id < DL_NDIALOGS; id++) {
                EXPECT_FALSE(has_record(id)) << id;
            }
        // Every slot a run mode fills is in the table for that mode.
        for (int i = 0; i < startup_dialog_count; i++) {
            const StartupDialog &d = startup_dialogs[i];
            if (d.initialise) {
                EXPECT_EQ(has_record(d.id), (d.run_modes >> mode & 1u) != 0) << d.id;
            }
        }
        // The menu side's notify procedures: query dialogs in run mode 0,
        // the revision box wherever a Help pane can reach it.
        EXPECT_EQ(dlmain_dialogs[5].apply == mnmisc_mn_apply_notify, mode <= RUN_TSL_EDIT);
        EXPECT_EQ(dlmain_dialogs[24].apply == mnmisc_mn_apply_notify, mode == RUN_INTERACTIVE);
    }
    // Each of the 57 slots appears once.
    std::set<int> ids;
    for (int i = 0; i < startup_dialog_count; i++) {
        EXPECT_TRUE(ids.insert(startup_dialogs[i].id).second) << startup_dialogs[i].id;
    }
    EXPECT_EQ(ids.size(), 57u);
}

// Activates an item the way the toolkit does for a click.
void activate(Widget w)
{
    if (XmIsToggleButtonGadget(w) || XmIsToggleButton(w))
        XmToggleButtonSetState(w, !XmToggleButtonGetState(w), True);
    else
        vxdl::press(w);
}

TEST(Menus, EveryItemRunsItsCommandOrSaysItIsNotAvailable)
{
    for (int mode : {RUN_INTERACTIVE, RUN_TSL}) {
        SCOPED_TRACE("run mode " + std::to_string(mode));
        build(mode);
        for (const Expect &e : items) {
            // Item help waits for a click and topic help talks to the help
            // server: both are the help client's own.
            if (e.kind == MN_CASCADE || e.code == 32 || e.code == 33 || !built(e.path, mode))
                continue;
            // The database commands and Reread talk to the interpreter:
            // their own tests run them.
            if ((e.code >= 6 && e.code <= 13) || e.code == 15)
                continue;
            // So do the Query and Procedure commands.
            if ((e.code >= 19 && e.code <= 22) || (e.code >= 25 && e.code <= 30))
                continue;
            // New graph, Position and Move wait for a rectangle drawn with
            // the pointer: the graph view's tests draw them.
            if (e.code == 42 || e.code == 79 || e.code == 80)
                continue;
            Widget w = by_path(e.path);
            ASSERT_NE(w, nullptr) << e.path;
            bool toggle = XmIsToggleButtonGadget(w);
            Boolean before = toggle ? XmToggleButtonGetState(w) : False;
            BoxAnswer box;
            box.id = XtAppAddTimeOut(vxdl::app().context, 5, answer_tick, &box);
            activate(w);
            if (box.id)
                XtRemoveTimeOut(box.id);
            if (e.code == 31) {
                EXPECT_FALSE(box.seen);
                Widget rev = dlmain_dialogs[5].widget;
                ASSERT_NE(rev, nullptr);
                EXPECT_TRUE(XtIsManaged(rev));
                std::string text = vxdl::message(rev);
                EXPECT_NE(text.find("5.30"), std::string::npos) << text;
                dlmain_dialogs[5].popdown(&dlmain_dialogs[5]);
            } else if (e.code == 127 || e.code == 128 || e.code == 62) {
                // The command prompts, answered with Cancel.
                EXPECT_TRUE(box.prompted) << e.path;
            } else if (e.code == 117 || e.code == 118 || e.code == 119 || e.code == 121 || e.code == 122 ||
                       e.code == 124) {
                // Printing, and the settings commands that need a set or a
                // filters file first: whatever they say, they return.
            } else if (e.code == 16 || e.code == 17) {
                // View options and the table list: their dialogs open.
                EXPECT_FALSE(box.seen) << e.path;
                DialogRecord *d = &dlmain_dialogs[e.code + 11];
                ASSERT_NE(d->widget, nullptr) << e.path;
                EXPECT_TRUE(XtIsManaged(d->widget)) << e.path;
                d->popdown(d);
            } else if (e.code == 41) {
                // New view asks first; No leaves everything.
                EXPECT_TRUE(box.asked) << e.path;
                EXPECT_FALSE(box.seen) << e.path;
            } else if (e.code == 43 || e.code == 77 || e.code == 78 || (e.code >= 85 && e.code <= 87) ||
                       e.code == 45 || e.code == 46 || e.code == 48 || e.code == 75 || e.code == 76) {
                // The graph view's commands, the format file commands
                // without a dialog and the moving and deleting of texts:
                // with no graph they do nothing.
                EXPECT_FALSE(box.seen) << e.path;
            } else if (e.code == 14 || e.code == 18 || e.code == 24 || e.code == 34) {
                // The workspace's Refresh, New, Verify and Collect run
                // without a word (Verify is put back as it was).
                EXPECT_FALSE(box.seen) << e.path;
                if (toggle)
                    XmToggleButtonSetState(w, before, True);
            } else if (e.code >= 67 && e.code <= 72) {
                // Each data order in turn (no graph has data): its toggle
                // is on and the order taken; the current one stays on.
                EXPECT_FALSE(box.seen) << e.path;
                EXPECT_TRUE(XmToggleButtonGetState(w)) << e.path;
                EXPECT_EQ(mnform_mn_data_order(), e.code - 66) << e.path;
                const Widget orders[] = {order_xyz_t, order_xzy_t, order_yxz_t, order_yzx_t, order_zxy_t, order_zyx_t};
                for (int k = 0; k < 6; k++) {
                    EXPECT_EQ(XmToggleButtonGetState(orders[k]), k == e.code - 67) << e.path << " toggle " << k;
                }
            } else {
                EXPECT_TRUE(box.seen) << e.path;
                EXPECT_EQ(box.text, vxdl::label(w) + " is not available yet") << e.path;
                if (toggle) {
                    EXPECT_EQ(XmToggleButtonGetState(w), before) << e.path << " was not set back";
                }
            }
        }
    }
    mnform_mn_set_data_order(3);
}

TEST(Menus, UnknownCodesAreReportedAndCascadeCodesDoNothing)
{
    build(RUN_INTERACTIVE);
    testing::internal::CaptureStderr();
    mnqy_qmenu_cb(nullptr, reinterpret_cast<XtPointer>(35), nullptr);
    mnqy_qmenu_cb(nullptr, reinterpret_cast<XtPointer>(3), nullptr);
    dmenu_cb(nullptr, reinterpret_cast<XtPointer>(130), nullptr);
    dmenu_cb(nullptr, reinterpret_cast<XtPointer>(6), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error! QueryMenu. Unknown action\nError! DisplayMenu. Unknown action\n"
              "Error! DisplayMenu. Unknown action\n");
}

// Waits for an XKB bell notice on a second connection.
bool bell_rang(Display *watch)
{
    return vxtest::wait_for(
        [&] {
            while (XPending(watch)) {
                XEvent ev;
                XNextEvent(watch, &ev);
                int xkb_event = 0;
                XkbQueryExtension(watch, nullptr, &xkb_event, nullptr, nullptr, nullptr);
                if (ev.type == xkb_event && reinterpret_cast<XkbAnyEvent *>(&ev)->xkb_type == XkbBellNotify)
                    return true;
            }
            return false;
        },
        5s);
}

TEST(Menus, BusyWorkspaceRingsTheBellAndKeepsVerify)
{
    build(RUN_INTERACTIVE);
    Display *watch = XkbOpenDisplay(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(watch, nullptr);
    XkbSelectEvents(watch, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(watch, False);

    // The workspace is there: its mode is the one the menus read.
    wsevent_ws_set_interaction(2);
    Boolean before = XmToggleButtonGetState(query_verify_t);
    BoxAnswer box;
    box.id = XtAppAddTimeOut(vxdl::app().context, 5, answer_tick, &box);
    XmToggleButtonSetState(query_verify_t, !before, True);
    XFlush(vxdl::app().display);
    EXPECT_TRUE(bell_rang(watch));
    EXPECT_EQ(XmToggleButtonGetState(query_verify_t), before);

    // A display item is refused the same way.
    vxdl::press(by_path("displayM/graphM/newvA"));
    XFlush(vxdl::app().display);
    EXPECT_TRUE(bell_rang(watch));
    if (box.id)
        XtRemoveTimeOut(box.id);
    EXPECT_FALSE(box.seen);
    wsevent_ws_set_interaction(0);
    XCloseDisplay(watch);
}

}  // namespace
