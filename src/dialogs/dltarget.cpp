// The query target dialog (29): results of the next queries go to the
// display, a result table, a named table or a shell command's pipe.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/Frame.h>
#include <Xm/ToggleBG.h>

namespace {

constexpr int ID = 29;
constexpr int HELP_ID = 298;
constexpr int NTARGETS = 4;

struct {
    Widget radio;
    Widget result, zapdup, table, owrite, pipe;
    // The widgets of the result-table, named-table and pipe groups.
    std::vector<Widget> group[3];
} s;

void target_cb(Widget, XtPointer, XtPointer)
{
    int target = dl_get_radio(s.radio) + 1;
    for (int g = 0; g < 3; g++)
        for (Widget w : s.group[g])
            XtSetSensitive(w, target == g + 2 ? True : False);
}

// A group under its label: a labelled field and, when given, a toggle.
void make_group(Widget form, int g, Widget above, int label_n, const char *field_label, int field_n,
                const char *field_name, int max_length, const char *toggle_name, int toggle_n, Widget &field,
                Widget &toggle)
{
    Widget gl = dl_label(form, dlmain_widget_name("label%dT", g + 1), ID, label_n, dlmain_label_font);
    dl_attach_top(gl, above, 5);
    dl_attach_left(gl);
    DlLabelledText lt = dl_labelled_text(form, field_label, ID, field_n, field_name, max_length == 8 ? 8 : 30,
                                         max_length, dlmain_label_font);
    dl_attach_top(lt.label, gl, 5);
    dl_attach_left(lt.label, nullptr, 20);
    s.group[g] = {gl, lt.label, lt.text};
    field = lt.text;
    toggle = nullptr;
    if (toggle_name) {
        toggle = dl_toggle(form, toggle_name, ID, toggle_n, dlmain_label_font);
        dl_align_top(toggle, lt.text);
        dl_attach_left(toggle, lt.text, 10);
        s.group[g].push_back(toggle);
    } else {
        dl_attach_right(lt.text);
    }
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_prompt_dialog(parent, "queryTarget", ID, 2, DL_MODELESS);
    Widget form = finish_dialog(rec, 2, HELP_ID);

    Widget frame = XtVaCreateManagedWidget("frame", xmFrameWidgetClass, form, nullptr);
    dl_attach_top(frame);
    dl_attach_left(frame);
    static const int targets[NTARGETS] = {2, 3, 4, 5};
    s.radio = dl_radio_box(frame, "targetRadio", ID, targets, "targetT", true, target_cb);

    Widget unused = nullptr;
    make_group(form, 0, frame, 6, "resultL", 9, "resultT", 8, "zapdupT", 10, s.result, s.zapdup);
    make_group(form, 1, s.result, 7, "tableL", 11, "tableT", 8, "owriteT", 12, s.table, s.owrite);
    make_group(form, 2, s.table, 8, "pipeL", 13, "pipeT", 128, nullptr, 0, s.pipe, unused);

    static const DlValidationSpec checks[] = {
        {"form1/resultT", DL_VAL_DBNAME | DL_VAL_MANDATORY, "RSLT", nullptr, nullptr, nullptr, 0},
        {"form1/tableT", DL_VAL_DBNAME | DL_VAL_MANDATORY, "TEMP", nullptr, nullptr, nullptr, 0},
        {"form1/pipeT", DL_VAL_MANDATORY, "cat - > /dev/null", nullptr, nullptr, nullptr, 0},
    };
    dl_setup_validations(rec, checks);
    return 0;
}

int setval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<TargetValue *>(value);
    if (v->target >= 1 && v->target <= NTARGETS) {
        dl_set_radio(s.radio, v->target - 1, true);
        dl_set_radio(s.radio, v->target - 1, false);
    }
    dl_set_text(s.result, dl_view(v->result));
    dl_set_text(s.table, dl_view(v->table));
    dl_set_text(s.pipe, dl_view(v->command));
    XmToggleButtonGadgetSetState(s.zapdup, v->remove_duplicates ? True : False, False);
    XmToggleButtonGadgetSetState(s.owrite, v->overwrite ? True : False, False);
    target_cb(nullptr, nullptr, nullptr);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<TargetValue *>(value);
    int target = dl_get_radio(s.radio);
    if (target >= 0)
        v->target = target + 1;
    dl_copy(v->result, dl_upper(dl_get_trimmed(s.result)));
    v->remove_duplicates = XmToggleButtonGadgetGetState(s.zapdup) ? 1 : 0;
    dl_copy(v->table, dl_get_trimmed(s.table));
    v->overwrite = XmToggleButtonGadgetGetState(s.owrite) ? 1 : 0;
    dl_copy(v->command, dl_get_trimmed(s.pipe));
    return 0;
}

}  // namespace

void dltarget_initialise_target_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
