// The name prompt (7): the name of a new query object, typed or taken from
// a variable picked on the workspace.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/LabelG.h>
#include <Xm/SelectioB.h>

namespace {

constexpr int ID = 7;
constexpr int HELP_ID = 302;
constexpr int NAME_MAX = 12;
// The callers' name fields hold 12 characters and a NUL.
constexpr size_t NAME_SIZE = NAME_MAX + 1;
// A variable's name field.
constexpr size_t VARIABLE_NAME_SIZE = 16;

struct {
    Widget text;
    std::string default_name;
} s;

void set_default(DialogRecord *rec, const std::string &name)
{
    s.default_name = name;
    dlmain_set_validation_default(rec->widget, s.text, s.default_name.c_str());
    dl_set_text(s.text, s.default_name);
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    DlXmString label(ID, 2);
    Arg extra[2];
    XtSetArg(extra[0], XmNselectionLabelString, static_cast<XmString>(label));
    XtSetArg(extra[1], XmNtextColumns, NAME_MAX);
    rec->widget = make_prompt_dialog(parent, "exprName", ID, 1, DL_MODELESS, {extra[0], extra[1]});
    finish_dialog(rec, 1, HELP_ID, DL_KEEP_TEXT | DL_KEEP_SELECTION | DL_NO_FORM);
    s.text = XmSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    XtVaSetValues(s.text, XmNmaxLength, NAME_MAX, nullptr);
    if (dlmain_data_font)
        XtVaSetValues(s.text, XmNfontList, dlmain_data_font, nullptr);
    dlmain_setup_text_validation(rec->widget, s.text, DL_VAL_DBNAME, s.default_name.c_str(), nullptr, nullptr,
                                 nullptr, nullptr);
    DlXmString explain(dl_text(ID, 3), true);
    Widget l = XtVaCreateManagedWidget("explainL", xmLabelGadgetClass, rec->widget, XmNlabelString, explain.arg(),
                                       nullptr);
    if (dlmain_label_font)
        XtVaSetValues(l, XmNfontList, dlmain_label_font, nullptr);
    return 0;
}

int setval_dialog(DialogRecord *rec, void *value)
{
    auto *name = static_cast<const char *>(value);
    set_default(rec, name ? std::string(name, strnlen(name, NAME_SIZE)) : std::string());
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    dl_copy_bounded(static_cast<char *>(value), NAME_SIZE, dl_get_trimmed(s.text));
    return 0;
}

int reference_dialog(DialogRecord *rec, void *object)
{
    if (dl_kind_of(object) != DL_KIND_VARIABLE)
        return -1;
    set_default(rec, dl_kind_text(object, VARIABLE_NAME_SIZE));
    return 0;
}

}  // namespace

void dlname_initialise_name_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
    rec->reference_mask = 1u << DL_KIND_VARIABLE;
    rec->reference = reference_dialog;
}
