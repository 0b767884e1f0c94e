// The table list dialog (28): which tables the workspace shows and in
// which order.  Setval reads the table list file, the six edit buttons
// change and sort the records, getval (on OK) writes the file back: only
// when the read reached the end of the file, so that a list that could not
// be read whole is never written over with what little was read.

#include "dldbdialogs.h"
#include "dlkit.h"
#include "dltlist.h"

#include <Xm/List.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int ID = 28;
constexpr int HELP_ID = 305;
constexpr int EDIT_BUTTONS = 6;

struct {
    Widget list = nullptr;
    std::vector<DlTableRecord> records;
    bool complete = false;  // the records are the whole file
    DlItemList items;
} s;

void show_records()
{
    s.items.clear();
    for (const DlTableRecord &r : s.records)
        s.items.add(dltlist_item_text(r));
    s.items.show(s.list);
}

// The selected items' places, ascending.
std::vector<int> selected_places()
{
    std::vector<int> places;
    int *positions = nullptr;
    int count = 0;
    if (XmListGetSelectedPos(s.list, &positions, &count) && positions) {
        for (int i = 0; i < count; i++)
            places.push_back(positions[i] - 1);
        XtFree(reinterpret_cast<char *>(positions));
    }
    std::sort(places.begin(), places.end());
    return places;
}

void edit_cb(Widget, XtPointer client, XtPointer)
{
    const int button = static_cast<int>(reinterpret_cast<intptr_t>(client));
    const std::vector<int> places = selected_places();
    if (!dltlist_edit(s.records, places, button))
        return;
    XmListDeselectAllItems(s.list);
    show_records();
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_prompt_dialog(parent, "setTables", ID, 1, DL_MODAL);
    Widget form = finish_dialog(rec, 1, HELP_ID);

    Widget label = dl_label(form, "listL", ID, 2, dlmain_title_font);
    dl_attach_top(label);
    dl_attach_left(label);

    Arg args[4];
    Cardinal n = 0;
    XtSetArg(args[n], XmNselectionPolicy, XmMULTIPLE_SELECT);
    n++;
    XtSetArg(args[n], XmNvisibleItemCount, 12);
    n++;
    XtSetArg(args[n], XmNscrollBarDisplayPolicy, XmSTATIC);
    n++;
    s.list = XmCreateScrolledList(form, const_cast<char *>("tableList"), args, n);
    if (dlmain_data_font)
        XtVaSetValues(s.list, XmNfontList, dlmain_data_font, nullptr);
    XtManageChild(s.list);
    Widget scrolled = XtParent(s.list);
    dl_attach_top(scrolled, label, 4);
    dl_attach_left(scrolled);
    dl_attach_bottom(scrolled);
    // The scroll bars join the tab order.
    Widget bar = nullptr;
    XtVaGetValues(scrolled, XmNverticalScrollBar, &bar, nullptr);
    if (bar)
        XtVaSetValues(bar, XmNtraversalOn, True, nullptr);
    bar = nullptr;
    XtVaGetValues(scrolled, XmNhorizontalScrollBar, &bar, nullptr);
    if (bar)
        XtVaSetValues(bar, XmNtraversalOn, True, nullptr);

    Widget rc = XtVaCreateWidget("editRC", xmRowColumnWidgetClass, form, XmNorientation, XmVERTICAL,
                                 XmNadjustLast, False, nullptr);
    for (int i = 0; i < EDIT_BUTTONS; i++) {
        DlXmString text(ID, 3 + i);
        Widget b = XtVaCreateManagedWidget("listEditB", xmPushButtonGadgetClass, rc, XmNlabelString, text.arg(),
                                           nullptr);
        if (dlmain_button_font)
            XtVaSetValues(b, XmNfontList, dlmain_button_font, nullptr);
        XtAddCallback(b, XmNactivateCallback, edit_cb, reinterpret_cast<XtPointer>(static_cast<intptr_t>(i)));
    }
    XtManageChild(rc);
    dl_align_top(rc, scrolled);
    dl_attach_left(rc, scrolled, 8);
    dl_attach_right(rc);
    return 0;
}

int setval_dialog(DialogRecord *, void *value)
{
    const char *path = static_cast<const char *>(value);
    s.complete = dltlist_read_file(path, s.records);
    // An earlier file's items never stay: the buttons act on these.
    XmListDeselectAllItems(s.list);
    show_records();
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    const char *path = static_cast<const char *>(value);
    if (s.complete)
        dltlist_write_file(path, s.records);
    return 0;
}

}  // namespace

void dltlist_initialise_set_tables_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
