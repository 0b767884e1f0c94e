// The database configuration dialog (25): server memory and posting size,
// lock unit, the dictionary's size limits and its system indexes.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/Form.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/ToggleBG.h>

#include <cstdio>

namespace {

constexpr int ID = 25;
constexpr int HELP_ID = 290;

// A text field of the dialog and the field of the record it shows.
struct NumberField {
    const char *label_name;
    int label;
    const char *text_name;
    DbConfigField field;
};
// The size limits, two to a row.
constexpr NumberField limits[] = {
    {"filesL", 9, "filesT", DBC_FILES},       {"tablesL", 10, "tablesT", DBC_TABLES},
    {"itemsL", 11, "itemsT", DBC_ITEMS},      {"colsL", 12, "colsT", DBC_COLS},
    {"indexesL", 13, "indexesT", DBC_INDEXES}, {"keysL", 14, "keysT", DBC_KEYS},
    {"privsL", 15, "privsT", DBC_PRIVS},      {"usersL", 16, "usersT", DBC_USERS},
};
// The system-index toggles, two to a row; they reuse the limits' labels.
struct ToggleField {
    const char *name;
    int label;
    DbConfigField field;
};
constexpr ToggleField indexes[] = {
    {"xtablesT", 10, DBC_XTABLES}, {"xitemsT", 11, DBC_XITEMS},     {"xcolsT", 12, DBC_XCOLS},
    {"xindexesT", 13, DBC_XINDEXES}, {"xkeysT", 14, DBC_XKEYS}, {"xprivsT", 15, DBC_XPRIVS},
};

constexpr unsigned SIZE_FLAGS = DL_VAL_INTEGER | DL_VAL_DEFAULT | DL_VAL_RANGE | DL_VAL_NUMERIC;     // 0xB4
constexpr unsigned LIMIT_FLAGS = DL_VAL_INTEGER | DL_VAL_RANGE | DL_VAL_MANDATORY | DL_VAL_NUMERIC;  // 0x9C
constexpr DlValidationSpec checks[] = {
    {"form1/frame1/form2/memT", SIZE_FLAGS, "256", "128", nullptr, nullptr, 0},
    {"form1/frame1/form2/postT", SIZE_FLAGS, "32", "16", nullptr, nullptr, 0},
    {"form1/frame2/form3/filesT", LIMIT_FLAGS, "248", "248", nullptr, nullptr, 0},
    {"form1/frame2/form3/tablesT", LIMIT_FLAGS, "240", "240", nullptr, nullptr, 0},
    {"form1/frame2/form3/itemsT", LIMIT_FLAGS, "250", "250", nullptr, nullptr, 0},
    {"form1/frame2/form3/colsT", LIMIT_FLAGS, "500", "500", nullptr, nullptr, 0},
    {"form1/frame2/form3/indexesT", LIMIT_FLAGS, "240", "240", nullptr, nullptr, 0},
    {"form1/frame2/form3/keysT", LIMIT_FLAGS, "250", "250", nullptr, nullptr, 0},
    {"form1/frame2/form3/privsT", LIMIT_FLAGS, "200", "200", nullptr, nullptr, 0},
    {"form1/frame2/form3/usersT", LIMIT_FLAGS, "32", "32", nullptr, nullptr, 0},
};

struct {
    Widget text[DBC_NFIELDS];  // the text field of each number, none for the others
    Widget toggle[DBC_NFIELDS];
    Widget option, record_b, file_b;
} s;

Widget number_field(Widget form, const char *name)
{
    Widget t = dlmain_create_text_field(form, name, 8, 8);
    XtManageChild(t);
    return t;
}

int create_dialog(DialogRecord *rec, Widget parent)
{
    s = {};
    rec->widget = make_prompt_dialog(parent, "databaseConfig", ID, 1, DL_MODAL);
    Widget form = finish_dialog(rec, 1, HELP_ID);

    // The server's memory, posting size and lock unit.
    DlSection server = dl_section(form, "serverL", ID, 2, "frame1", "form2", nullptr);
    Widget meml = dl_label(server.form, "memL", ID, 3, dlmain_label_font);
    dl_attach_top(meml);
    dl_attach_left(meml);
    s.text[DBC_MEM] = number_field(server.form, "memT");
    dl_align_top(s.text[DBC_MEM], meml);
    dl_attach_left(s.text[DBC_MEM], meml, 10);
    Widget postl = dl_label(server.form, "postL", ID, 4, dlmain_label_font);
    dl_attach_top(postl, s.text[DBC_MEM], 5);
    dl_attach_left(postl);
    s.text[DBC_POST] = number_field(server.form, "postT");
    dl_align_top(s.text[DBC_POST], postl);
    dl_align_left(s.text[DBC_POST], s.text[DBC_MEM]);

    Widget pulldown = XmCreatePulldownMenu(server.form, const_cast<char *>("pulldown"), nullptr, 0);
    DlXmString record_label(ID, 5), file_label(ID, 6), option_label(ID, 7);
    s.record_b = XtVaCreateManagedWidget("recordB", xmPushButtonGadgetClass, pulldown, XmNlabelString,
                                         record_label.arg(), nullptr);
    s.file_b = XtVaCreateManagedWidget("fileB", xmPushButtonGadgetClass, pulldown, XmNlabelString, file_label.arg(),
                                       nullptr);
    if (dlmain_label_font) {
        XtVaSetValues(s.record_b, XmNfontList, dlmain_label_font, nullptr);
        XtVaSetValues(s.file_b, XmNfontList, dlmain_label_font, nullptr);
    }
    Arg a[2];
    XtSetArg(a[0], XmNsubMenuId, pulldown);
    XtSetArg(a[1], XmNlabelString, static_cast<XmString>(option_label));
    s.option = XmCreateOptionMenu(server.form, const_cast<char *>("optionM"), a, 2);
    if (dlmain_label_font) {
        XtVaSetValues(XmOptionLabelGadget(s.option), XmNfontList, dlmain_label_font, nullptr);
        XtVaSetValues(XmOptionButtonGadget(s.option), XmNfontList, dlmain_label_font, nullptr);
    }
    XtManageChild(s.option);
    dl_attach_top(s.option, s.text[DBC_POST], 5);
    dl_attach_left(s.option);

    // The limits, in a grid of two label and field pairs to a row.
    DlSection limit = dl_section(form, "limitsL", ID, 8, "frame2", "form3", server.frame);
    XtVaSetValues(limit.form, XmNfractionBase, 100, nullptr);
    Widget row_above = nullptr;
    for (size_t i = 0; i < std::size(limits); i++) {
        const NumberField &f = limits[i];
        Widget l = dl_label(limit.form, f.label_name, ID, f.label, dlmain_label_font);
        Widget t = number_field(limit.form, f.text_name);
        int column = static_cast<int>(i % 2) * 50;
        XtVaSetValues(l, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, column, nullptr);
        XtVaSetValues(t, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, column + 25, nullptr);
        dl_attach_top(t, row_above, row_above ? 2 : 0);
        dl_align_top(l, t);
        s.text[f.field] = t;
        if (i % 2 == 1)
            row_above = t;
    }

    // The system indexes, three rows of two toggles.
    DlSection sysix = dl_section(form, "sysixL", ID, 17, "frame3", "form4", limit.frame);
    XtVaSetValues(sysix.form, XmNfractionBase, 100, nullptr);
    row_above = nullptr;
    for (size_t i = 0; i < std::size(indexes); i++) {
        const ToggleField &f = indexes[i];
        Widget t = dl_toggle(sysix.form, f.name, ID, f.label, dlmain_label_font);
        XtVaSetValues(t, XmNleftAttachment, XmATTACH_POSITION, XmNleftPosition, static_cast<int>(i % 2) * 50,
                      nullptr);
        dl_attach_top(t, row_above);
        s.toggle[f.field] = t;
        if (i % 2 == 1)
            row_above = t;
    }
    dl_setup_validations(rec, checks);
    return 0;
}

int setval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<DbConfigValue *>(value);
    char buf[16];
    for (int i = 0; i < DBC_NFIELDS; i++) {
        if (s.text[i]) {
            snprintf(buf, sizeof buf, "%d", v->field[i]);
            dl_set_text(s.text[i], buf);
        }
        if (s.toggle[i])
            XmToggleButtonGadgetSetState(s.toggle[i], v->field[i] ? True : False, False);
    }
    XtVaSetValues(s.option, XmNmenuHistory, v->field[DBC_LOCKUNIT] ? s.record_b : s.file_b, nullptr);
    return 0;
}

int getval_dialog(DialogRecord *, void *value)
{
    auto *v = static_cast<DbConfigValue *>(value);
    for (int i = 0; i < DBC_NFIELDS; i++) {
        if (s.text[i]) {
            int n = 0;
            // A text that does not start with a number keeps the value.
            if (sscanf(dl_get_text(s.text[i]).c_str(), "%d", &n) == 1)
                v->field[i] = n;
        }
        if (s.toggle[i])
            v->field[i] = XmToggleButtonGadgetGetState(s.toggle[i]) ? 1 : 0;
    }
    Widget shown = nullptr;
    XtVaGetValues(s.option, XmNmenuHistory, &shown, nullptr);
    v->field[DBC_LOCKUNIT] = shown == s.file_b ? 0 : 1;
    return 0;
}

}  // namespace

void dldblst_initialise_database_config_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
