// Variable objects against the installed interpreter, through the object
// manager with a stand-in dialog (setval and getval copy the kind data):
// create, a duplicate refused with nothing sent, prompt assignments, drop,
// and the creates and drops the interpreter refuses.

#include "wstest.h"

#include "dlmain.h"
#include "obcheck.h"
#include "obdb.h"
#include "obmain.h"
#include "wsevent.h"
#include "wsmgr.h"

#include "vxutil.h"

#include <algorithm>

namespace {

constexpr int VARIABLE_TOOL = 14;

std::vector<unsigned char> shown_data;
int si_popup(DialogRecord *, int, int, int, int) { return 0; }
int si_popdown(DialogRecord *) { return 0; }
int si_setval(DialogRecord *, void *value)
{
    shown_data.assign(static_cast<unsigned char *>(value), static_cast<unsigned char *>(value) + sizeof(ObVariableData));
    return 0;
}
int si_getval(DialogRecord *, void *value)
{
    if (shown_data.size() == sizeof(ObVariableData))
        memcpy(value, shown_data.data(), sizeof(ObVariableData));
    return 0;
}

std::vector<std::string> boxes_seen;
void observe(int, int set, int number, const std::string &text)
{
    boxes_seen.push_back(std::to_string(set) + "," + std::to_string(number) + " " + text);
}
std::vector<std::string> recorded;
void record(char **texts, int n)
{
    for (int i = 0; i < n; i++)
        recorded.push_back(texts[i]);
}
void no_pause() {}
void no_bell() {}

class Variables : public wstest::Dictionary {
protected:
    DialogRecord *rec = &dlmain_dialogs[VARIABLE_TOOL];

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        start("TESTER");
        make_scratch("V");
        obmain_initialise_classes();
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(nullptr);
        wsmgr_ws_reset_manager();
        wsmgr_ws_set_flash_pause(no_pause);
        wsevent_ws_set_bell(no_bell);
        wsevent_ws_set_interaction(0);
        rec->object_class = OB_VARIABLE;
        rec->popup = si_popup;
        rec->popdown = si_popdown;
        rec->setval = si_setval;
        rec->getval = si_getval;
        rec->reference_mask = DL_REF_NO_PENDING;
        obcheck_set_box_observer(observe);
        obdb_set_record_hook(record);
        boxes_seen.clear();
        recorded.clear();
        shown_data.clear();
    }
    void TearDown() override
    {
        int done = 0;
        if (wsmgr_ws_enquire_current_dialog_id() >= 0)
            rec->dismiss(rec, &done);
        obcheck_set_box_observer(nullptr);
        obdb_set_record_hook(nullptr);
        dlmain_clear_dialogs();
        wstest::Dictionary::TearDown();
    }
    ObVariableData &shown() { return *reinterpret_cast<ObVariableData *>(shown_data.data()); }
    void fill(const char *name, const char *value, int prompt = 0, const char *prompt_text = "")
    {
        safe_strcpy(shown().name, name, 15);
        safe_strcpy(shown().value, value, 80);
        shown().prompt = prompt;
        safe_strcpy(shown().prompt_text, prompt_text, 80);
    }
    void open_create()
    {
        const ObPoint at{50, 50};
        wsmgr_ws_perform_create(VARIABLE_TOOL, &at, nullptr);
        ASSERT_EQ(wsmgr_ws_enquire_current_dialog_id(), VARIABLE_TOOL);
    }
    void open_edit(QueryObject *o)
    {
        const ObPoint at{0, 0};
        wsmgr_ws_perform_edit(o, &at);
        ASSERT_EQ(wsmgr_ws_enquire_current_dialog_id(), VARIABLE_TOOL);
    }
    int apply()
    {
        int done = 0;
        rec->apply(rec, &done);
        return done;
    }
    void dismiss()
    {
        int done = 0;
        rec->dismiss(rec, &done);
    }
    std::vector<std::string> sent()
    {
        std::vector<std::string> v;
        for (const qykit::Sent &s : qykit::sent())
            v.push_back(s.text);
        return v;
    }
    std::vector<std::string> names()
    {
        std::vector<std::string> v;
        for (QueryObject *o = wsdict_dictionary->variables; o; o = o->next)
            v.push_back(static_cast<ObVariableData *>(o->kind_data)->name);
        std::sort(v.begin(), v.end());
        return v;
    }
    bool interpreter_has(const std::string &name)
    {
        qymgr_qy_query(("PRINT " + name).c_str(), QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
        return qymgr_qy_ok();
    }
};

using Texts = std::vector<std::string>;

TEST_F(Variables, CreatedOnceWithTheirValueAndADuplicateSendsNothing)
{
    open_create();
    fill("V1", "ABC");
    qykit::sent().clear();
    EXPECT_EQ(apply(), 1);
    EXPECT_EQ(sent(), Texts{"CREATE VAR V1 'ABC'"});
    EXPECT_EQ(recorded, Texts{"CREATE VAR V1 'ABC'"});
    EXPECT_EQ(names(), Texts{"V1"});
    QueryObject *v1 = wsdict_dictionary->variables;
    EXPECT_EQ(print("V1"), "ABC");
    EXPECT_TRUE(boxes_seen.empty());

    // The same name again, in the same dialog: refused before anything is sent.
    qykit::sent().clear();
    recorded.clear();
    EXPECT_EQ(apply(), 1);
    EXPECT_EQ(sent(), Texts{});
    EXPECT_EQ(recorded, Texts{});
    EXPECT_EQ(boxes_seen, Texts{"62,7 A variable called V1 exists already."});
    EXPECT_EQ(names(), Texts{"V1"});
    EXPECT_EQ(wsdict_dictionary->variables, v1);
    dismiss();
    // A variable with no name is never sent.
    open_create();
    fill("", "1");
    qykit::sent().clear();
    apply();
    dismiss();
    EXPECT_EQ(sent(), Texts{});
    EXPECT_EQ(names(), Texts{"V1"});
}

TEST_F(Variables, ThePromptFlagKeepsAnAssignmentWithNoSourceAndAnEditSendsNothing)
{
    open_create();
    fill("ASKED", "", 1, "How many?");
    EXPECT_EQ(apply(), 1);
    QueryObject *v = wsmgr_ws_enquire_current_object();
    dismiss();
    ASSERT_NE(v, nullptr);
    ASSERT_NE(wsdict_dictionary->assignments, nullptr);
    EXPECT_EQ(wsdict_dictionary->assignments->variable, v);
    EXPECT_EQ(wsdict_dictionary->assignments->assigned, nullptr);
    EXPECT_EQ(wsdict_dictionary->assignments->next, nullptr);

    // Off again: the assignment goes; the name and value stay those the
    // interpreter knows, whatever the dialog holds.
    open_edit(v);
    fill("OTHER", "99", 0, "");
    qykit::sent().clear();
    EXPECT_EQ(apply(), 1);
    dismiss();
    EXPECT_EQ(sent(), Texts{});
    EXPECT_EQ(wsdict_dictionary->assignments, nullptr);
    EXPECT_STREQ(static_cast<ObVariableData *>(v->kind_data)->name, "ASKED");
    EXPECT_STREQ(static_cast<ObVariableData *>(v->kind_data)->value, "");
    // And on: one assignment, not two.
    open_edit(v);
    shown().prompt = 1;
    apply();
    apply();
    dismiss();
    ASSERT_NE(wsdict_dictionary->assignments, nullptr);
    EXPECT_EQ(wsdict_dictionary->assignments->next, nullptr);
}

TEST_F(Variables, ADropTheInterpreterRefusesKeepsTheObject)
{
    for (const char *name : {"GONE", "KEPT"}) {
        open_create();
        fill(name, "1");
        apply();
        dismiss();
    }
    ASSERT_EQ(names(), (Texts{"GONE", "KEPT"}));
    QueryObject *gone = obdict_ob_find_var("GONE"), *kept = obdict_ob_find_var("KEPT");

    // Deleted from its dialog: dropped and removed.
    open_edit(gone);
    qykit::sent().clear();
    int done = 0;
    rec->del(rec, &done);
    dismiss();
    EXPECT_EQ(sent(), Texts{"DROP VAR GONE"});
    EXPECT_EQ(names(), Texts{"KEPT"});
    EXPECT_FALSE(interpreter_has("GONE"));

    // Dropped behind the workspace's back, then trashed: the interpreter
    // refuses and the object stays.
    ok("DROP VAR KEPT");
    qykit::sent().clear();
    wsevent_ws_trash_drop(kept);
    EXPECT_EQ(sent(), Texts{"DROP VAR KEPT"});
    EXPECT_EQ(names(), Texts{"KEPT"});
}

TEST_F(Variables, ACreateTheInterpreterRefusesMakesNoObject)
{
    open_create();
    fill("WHERE", "1", 1, "Which?");
    qykit::sent().clear();
    EXPECT_EQ(apply(), 1);
    dismiss();
    EXPECT_EQ(sent(), Texts{"CREATE VAR WHERE 1"});
    EXPECT_EQ(names(), Texts{});
    EXPECT_EQ(wsdict_dictionary->assignments, nullptr);
}

}  // namespace
