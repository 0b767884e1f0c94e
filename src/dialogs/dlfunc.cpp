// The function picker (6): the query language's functions by library, read
// once from the functions file; a pick puts the function's name into the
// text field, which the borrowing editor reads back.

#include "dlfunc.h"

#include "dldbdialogs.h"
#include "dlkit.h"
#include "dlmsgs.h"

#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SelectioB.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int ID = 6;
constexpr int HELP_ID = 280;
constexpr int NAME_MAX = 12;

struct {
    FuncFile flist;  // the libraries, read once
    Widget buttons[DLFUNC_MAX_LIBRARIES + 1] = {};
    int numlibs = 0;
    int flibno = 0;
    int lib_help_id = DLFUNC_FIRST_HELP_ID;
    int list_help_id = 0;
    Widget list = nullptr, text = nullptr, option = nullptr, pulldown = nullptr, sort = nullptr;
    DlItemList items;
} s;

// Shows library `index`: its sorted or file-order entries, its help id,
// and the first entry picked.
void option_cb(int index)
{
    if (index < 0 || index >= s.numlibs)
        return;
    const FuncLibrary &lib = s.flist.libraries[static_cast<size_t>(index)];
    s.items.clear();
    if (!lib.functions.empty()) {
        const bool sorted = XmToggleButtonGetState(s.sort);
        for (const std::string &entry : sorted ? lib.sorted : lib.functions)
            s.items.add(entry);
    }
    s.items.show(s.list);
    s.flibno = index;
    s.lib_help_id = dlfunc_help_id(s.flist, index);
    XmListSelectPos(s.list, 1, True);
}

void set_function_library(int index)
{
    option_cb(index);
    if (index >= 0 && index < s.numlibs)
        XtVaSetValues(s.option, XmNmenuHistory, s.buttons[index], nullptr);
}

void library_cb(Widget, XtPointer client, XtPointer) { option_cb(static_cast<int>(reinterpret_cast<long>(client))); }
void sort_cb(Widget, XtPointer, XtPointer) { option_cb(s.flibno); }

void help_cb(Widget, XtPointer, XtPointer)
{
    if (dlmain_appl_help_hook)
        dlmain_appl_help_hook(s.list);
}

void list_cb(Widget, XtPointer, XtPointer call)
{
    auto *cbs = static_cast<XmListCallbackStruct *>(call);
    const std::string entry = dl_list_item_text(call);
    std::string name = dlfunc_function_name(entry);
    dlmain_set_text_value(s.text, name.data(), 1, 3, 0);
    s.list_help_id = s.lib_help_id;
    if (s.flibno >= 0 && s.flibno < s.numlibs) {
        const auto &functions = s.flist.libraries[static_cast<size_t>(s.flibno)].functions;
        for (size_t i = 0; i < functions.size(); i++)
            if (functions[i] == entry) {
                s.list_help_id = s.lib_help_id + 1 + static_cast<int>(i);
                break;
            }
    }
    dl_register_help(s.list, s.list_help_id);
    if (cbs && cbs->reason == XmCR_DEFAULT_ACTION) {
        // A double click acts as OK.
        Widget ok = XmSelectionBoxGetChild(dlmain_dialogs[ID].widget, XmDIALOG_OK_BUTTON);
        XmPushButtonCallbackStruct pb{};
        pb.reason = XmCR_ACTIVATE;
        pb.event = cbs->event;
        pb.click_count = 1;
        XtCallCallbacks(ok, XmNactivateCallback, &pb);

    }
}

// The libraries' buttons, once the file is read.
void make_library_buttons()
{
    for (int i = 0; i < s.numlibs; i++) {
        DlXmString label(s.flist.libraries[static_cast<size_t>(i)].name);
        Widget b = XtVaCreateWidget("libB", xmPushButtonGadgetClass, s.pulldown, XmNlabelString, label.arg(), nullptr);
        if (dlmain_label_font)
            XtVaSetValues(b, XmNfontList, dlmain_label_font, nullptr);
        XtAddCallback(b, XmNactivateCallback, library_cb, reinterpret_cast<XtPointer>(static_cast<long>(i)));
        s.buttons[i] = b;
    }
    if (s.numlibs)
        XtManageChildren(s.buttons, static_cast<Cardinal>(s.numlibs));
}

void load(const std::string &path)
{
    FILE *fp = fopen(path.c_str(), "r");
    if (!fp)
        return;
    dlfunc_load_functions(fp, s.flist);
    fclose(fp);
    s.numlibs = static_cast<int>(s.flist.libraries.size());
    make_library_buttons();
    set_function_library(0);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    DlXmString selection(ID, 3);
    Arg extra[2];
    XtSetArg(extra[0], XmNselectionLabelString, static_cast<XmString>(selection));
    XtSetArg(extra[1], XmNtextColumns, NAME_MAX);
    rec->widget = make_selection_dialog(parent, "function", ID, 2, 2, DL_MODELESS, nullptr, nullptr,
                                        {extra[0], extra[1]});
    Widget form = finish_dialog(rec, 2, HELP_ID, DL_KEEP_TEXT | DL_KEEP_SELECTION);
    s.list = XmSelectionBoxGetChild(rec->widget, XmDIALOG_LIST);
    // The box's own list handling would put the whole entry into the text
    // and press OK a second time on a double click: the picker's replaces it.
    for (const char *reason : {XmNsingleSelectionCallback, XmNbrowseSelectionCallback, XmNdefaultActionCallback})
        XtRemoveAllCallbacks(s.list, reason);
    XtAddCallback(s.list, XmNsingleSelectionCallback, list_cb, nullptr);
    XtAddCallback(s.list, XmNdefaultActionCallback, list_cb, nullptr);
    s.text = XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    XtVaSetValues(s.text, XmNmaxLength, NAME_MAX, nullptr);
    if (dlmain_data_font)
        XtVaSetValues(s.text, XmNfontList, dlmain_data_font, nullptr);
    dlmain_setup_text_validation(rec->widget, s.text, DL_VAL_UPPER, "", nullptr, nullptr, nullptr, nullptr);

    s.pulldown = XmCreatePulldownMenu(form, const_cast<char *>("libPD"), nullptr, 0);
    DlXmString option_label(ID, 4);
    Arg oargs[2];
    XtSetArg(oargs[0], XmNsubMenuId, s.pulldown);
    XtSetArg(oargs[1], XmNlabelString, option_label.arg());
    s.option = XmCreateOptionMenu(form, const_cast<char *>("libO"), oargs, 2);
    if (dlmain_label_font)
        for (Widget w : {XmOptionButtonGadget(s.option), XmOptionLabelGadget(s.option)})
            if (w)
                XtVaSetValues(w, XmNfontList, dlmain_label_font, nullptr);
    XtManageChild(s.option);
    dl_attach_top(s.option);
    dl_attach_left(s.option);

    DlXmString sort_label(ID, 5);
    s.sort = XtVaCreateManagedWidget("sortLibT", xmToggleButtonWidgetClass, form, XmNlabelString, sort_label.arg(),
                                     nullptr);
    if (dlmain_label_font)
        XtVaSetValues(s.sort, XmNfontList, dlmain_label_font, nullptr);
    XtAddCallback(s.sort, XmNvalueChangedCallback, sort_cb, nullptr);
    dl_attach_top(s.sort, nullptr, 4);
    dl_attach_left(s.sort, s.option, 10);

    DlXmString help_label(ID, 6);
    Widget help = XtVaCreateManagedWidget("fhelpBut", xmPushButtonWidgetClass, form, XmNlabelString,
                                          help_label.arg(), nullptr);
    if (dlmain_button_font)
        XtVaSetValues(help, XmNfontList, dlmain_button_font, nullptr);
    XtAddCallback(help, XmNactivateCallback, help_cb, nullptr);
    dl_attach_top(help, nullptr, 2);
    dl_attach_left(help, s.sort, 10);
    return 0;
}

int setval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<FuncValue *>(value);
    if (!v)
        return 0;
    if (s.numlibs == 0)
        load(std::string(dl_view(v->path)));
    std::string name(dl_view(v->name));
    if (!name.empty())
        dlmain_set_text_value(s.text, name.data(), 1, 3, 0);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<FuncValue *>(value);
    if (v)
        dl_copy(v->name, dl_caps(dl_get_trimmed(s.text)));
    return 0;
}

int popup_dialog(DialogRecord *rec, int x, int y, int position_mode, int title_mode)
{
    // The array functions of collect expressions are the sixth library.
    if (title_mode == 5 && s.numlibs > 0)
        set_function_library(std::min(5, s.numlibs - 1));
    return dlmain_std_popup_dialog(rec, x, y, position_mode, title_mode);
}

}  // namespace

void dlfunc_load_functions(FILE *fp, FuncFile &out)
{
    dlfunc_read_functions(fp, out);
    for (const std::string &name : out.overfull)
        fputs(vx_msgf(dlmain_catd, DL_FUNC_TOO_MANY_FUNCTIONS, name.c_str(), DLFUNC_MAX_FUNCTIONS).c_str(), stderr);
    if (out.truncated)
        fputs(vx_msgf(dlmain_catd, DL_FUNC_TOO_MANY_LIBRARIES).c_str(), stderr);
    if (out.fatal) {
        fputs(vx_msgf(dlmain_catd, DL_FUNC_LINE_TOO_LONG, DLFUNC_LINE_BUFFER).c_str(), stderr);
        fprintf(stderr, "%s\n", out.fatal_line.c_str());
        exit(1);
    }
}

int dlfunc_current_library() { return s.flibno; }
int dlfunc_list_help_id() { return s.list_help_id; }

void dlfunc_initialise_function_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->popup = popup_dialog;
}
