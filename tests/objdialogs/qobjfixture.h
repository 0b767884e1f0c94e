// A fixture for the query-object editors under Xvfb: the function picker,
// the name prompt, the expression and condition editors and the editors of
// statistics, sorts, groups, joins and variables made on the test shell,
// with notify procedures that record what the client saw.
#pragma once

#include "dltestkit.h"  // first: gtest before the X headers

#include "dldbdialogs.h"
#include "dlexpr.h"
#include "dlkit.h"
#include "dlsgj.h"
#include "dlstat.h"
#include "dlvar.h"
#include "vxtest.h"
#include "wsobj.h"

#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleBG.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace qobj {

// What the client's notify procedures saw: the kind data of the last OK.
struct Client {
    int applies = 0;
    unsigned char value[600] = {};
};
inline Client &client()
{
    static Client c;
    return c;
}
inline void client_apply(DialogRecord *rec, int *done)
{
    client().applies++;
    memset(client().value, 0, sizeof client().value);
    const int kinds[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, OB_STATISTIC, OB_SORT, OB_GROUP, OB_JOIN, OB_VARIABLE};
    if (rec->id >= 10 && rec->id <= 14)
        memcpy(client().value, &kinds[rec->id], sizeof(int));
    rec->getval(rec, client().value);
    *done = 1;
}
inline void client_dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}
// The notify procedures the borrowed dialogs have while nobody borrows them.
inline void own_apply(DialogRecord *, int *done) { *done = 1; }
inline void own_dismiss(DialogRecord *rec, int *done)
{
    rec->popdown(rec);
    *done = 1;
}

inline ObColumnData column(const char *table, const char *name)
{
    ObColumnData c{};
    c.kind = OB_COLUMN;
    strcpy(c.name, name);
    strcpy(c.table, table);
    return c;
}
inline ObVariableData variable(const char *name)
{
    ObVariableData v{};
    v.kind = OB_VARIABLE;
    strcpy(v.name, name);
    return v;
}

class Editors : public testing::Test {
protected:
    static inline std::string dir;
    DialogRecord *picker = &dlmain_dialogs[6];
    DialogRecord *prompt = &dlmain_dialogs[7];
    DialogRecord *expr = &dlmain_dialogs[8];

    static void SetUpTestSuite()
    {
        vxdl::app();
        dlmain_clear_dialogs();
        dlfunc_initialise_function_dialog(&dlmain_dialogs[6]);
        dlname_initialise_name_dialog(&dlmain_dialogs[7]);
        dlexpr_initialise_expression_dialog(&dlmain_dialogs[8]);
        dlexpr_initialise_condition_dialog(&dlmain_dialogs[9]);
        initialise_statistic_dialog(&dlmain_dialogs[10]);
        dlsort_initialise_sort_dialog(&dlmain_dialogs[11]);
        dlgrp_initialise_group_dialog(&dlmain_dialogs[12]);
        dljoin_initialise_join_dialog(&dlmain_dialogs[13]);
        dlvar_initialise_variable_dialog(&dlmain_dialogs[14]);
        for (int id = 6; id <= 14; id++)
            ASSERT_EQ(dlmain_dialogs[id].create(&dlmain_dialogs[id], vxdl::app().top), 0) << id;
        dir = vxtest::temp_dir("qobj");
        vxtest::write_file(dir + "/funcs.txt", "MATHS\n    SQRT(x)\n    LOG(x)\n");
        FuncValue v{};
        dl_copy(v.path, dir + "/funcs.txt");
        dlmain_dialogs[6].setval(&dlmain_dialogs[6], &v);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }

    void SetUp() override
    {
        client() = Client{};
        dl_qualify_column_names = 0;
        for (int id = 6; id <= 14; id++) {
            DialogRecord *r = &dlmain_dialogs[id];
            r->apply = id <= 7 ? own_apply : client_apply;
            r->dismiss = id <= 7 ? own_dismiss : client_dismiss;
            r->reset = nullptr;
            r->adopt = nullptr;
        }
    }
    void TearDown() override
    {
        vxdl::cancel_pending();
        if (dlmain_text_error_pending())
            vxdl::press_box(dlmain_text_error_box(), XmDIALOG_OK_BUTTON);
        for (int id = 14; id >= 6; id--) {
            DialogRecord *r = &dlmain_dialogs[id];
            if (r->widget && XtIsManaged(r->widget))
                r->popdown(r);
        }
        vxdl::pump_idle();
    }

    DialogRecord *rec(int id) { return &dlmain_dialogs[static_cast<size_t>(id)]; }
    bool shown(DialogRecord *r) { return r->widget && XtIsManaged(r->widget); }
    Widget named(DialogRecord *r, const char *name)
    {
        Widget w = vxdl::find(r->widget, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    std::string text(DialogRecord *r, const char *name) { return vxdl::text(named(r, name)); }
    bool sensitive(DialogRecord *r, const char *name) { return XtIsSensitive(named(r, name)) == True; }
    // Sets the kind data, pops the dialog up and waits until it shows.
    void open(DialogRecord *r, void *value, int title_mode = 2)
    {
        r->setval(r, value);
        ASSERT_EQ(r->popup(r, 30, 30, 1, title_mode), 0);
        ASSERT_TRUE(vxdl::wait_viewable(r->widget));
        vxdl::pump_idle();
    }
    // Clicks a button and waits until `cond` holds.
    void click_until(Widget w, const std::function<bool()> &cond)
    {
        vxdl::click(w);
        EXPECT_TRUE(vxdl::pump_until(cond));
    }
};

}  // namespace qobj
