// The view options dialog (27): three switches of the workspace's view:
// table information, index information and the system tables.  The
// sample-data flag of the value record is not shown and stays as it is.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/ToggleBG.h>

namespace {

constexpr int ID = 27;
constexpr int HELP_ID = 297;

struct {
    Widget toggle[3] = {};
} s;

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_prompt_dialog(parent, "viewOptions", ID, 1, DL_MODAL);
    Widget form = finish_dialog(rec, 1, HELP_ID);
    Widget above = nullptr;
    for (int i = 0; i < 3; i++) {
        s.toggle[i] = dl_toggle(form, dlmain_widget_name("vopt%dT", i + 1), ID, i + 2, dlmain_label_font);
        dl_attach_top(s.toggle[i], above);
        dl_attach_left(s.toggle[i]);
        above = s.toggle[i];
    }
    return 0;
}

// The flags the toggles show, in toggle order.
int32_t *flags_of(ViewOptionsValue *v, int i)
{
    int32_t *flags[3] = {&v->show_table_info, &v->show_index_info, &v->show_system_tables};
    return flags[i];
}

int setval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<ViewOptionsValue *>(value);
    if (!v)
        return 0;
    for (int i = 0; i < 3; i++)
        XmToggleButtonGadgetSetState(s.toggle[i], *flags_of(v, i) ? True : False, False);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<ViewOptionsValue *>(value);
    if (!v)
        return 0;
    for (int i = 0; i < 3; i++)
        *flags_of(v, i) = XmToggleButtonGadgetGetState(s.toggle[i]) ? 1 : 0;
    return 0;
}

}  // namespace

void dlvopt_initialise_view_options_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
