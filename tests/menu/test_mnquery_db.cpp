// The Query pane's Run and DOZ commands over query objects put into the
// dictionary, against the installed interpreter in a scratch database: what
// each target sends, what is recorded, the pipe's preparation, the result
// table's name, a failed run; the prompted variable asked before a run and
// again when the recording is replayed.

#include "wstest.h"  // first: gtest before the X headers

#include "dltestkit.h"

#include "dlkit.h"
#include "dlmess.h"
#include "dytab.h"
#include "dsmgr.h"
#include "mnbld.h"
#include "mnproc.h"
#include "mnquery.h"
#include "obdb.h"
#include "prexec.h"
#include "prmgr.h"
#include "qychk.h"
#include "vxutil.h"

#include <Xm/SelectioB.h>
#include <Xm/TextF.h>

namespace {

std::vector<std::string> texts()
{
    std::vector<std::string> v;
    for (const qykit::Sent &s : qykit::sent())
        v.push_back(s.text);
    return v;
}
bool sent(const std::string &text)
{
    std::vector<std::string> v = texts();
    return std::find(v.begin(), v.end(), text) != v.end();
}

std::vector<std::string> &pipe_calls()
{
    static std::vector<std::string> v;
    return v;
}
int logging_pipe(const char *command)
{
    pipe_calls().push_back(command ? std::string("\"") + command + "\"" : "none");
    return dytab_dy_prepare_pipe_target(command);
}

std::string recording()
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    prmgr_pr_write_procedure(f, 0, nullptr);
    fclose(f);
    std::string s(buf, size);
    free(buf);
    return s;
}

class Run : public wstest::Dictionary {
protected:
    std::vector<QueryObject *> made;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        vxdl::App &a = vxdl::app();
        mnbld_mn_nlsfd = a.adata.catd;
        dlmain_clear_dialogs();
        dlerr_initialise_error_dialog(&dlmain_dialogs[0]);
        dlconf_initialise_confirm_dialog(&dlmain_dialogs[2]);
        dlprompt_initialise_prompt_dialog(&dlmain_dialogs[3]);
        dlmess_dialog_manage_error(&dlmain_dialogs[0]);
        dlmess_dialog_manage_confirm(&dlmain_dialogs[2]);
        dlmess_dialog_manage_prompt(&dlmain_dialogs[3]);
        dlmess_dialog_register_alternate_shell(a.other);
        dlmess_dialog_set_error_mode(1);
        start("TESTER");
        make_scratch("M");
        ok("CREATE ITEM DEPTNO AS SHORT(4)");
        ok("CREATE ITEM DNAME AS STRING(12)");
        ok("CREATE DEPT[10] AS DEPTNO PRIMARY,DNAME");
        ok("CREATE KEEP[10] AS DEPTNO PRIMARY,DNAME");
        for (const char *d : {"10", "20", "30"})
            ok(std::string("SELECT ") + d + " AS DEPTNO,'D" + d + "' AS DNAME FROMVAR TO DEPT");
        ASSERT_TRUE(wsdict_ws_read_dictionary(scratch.c_str()));
        wsdict_db_open = 1;
        dsmgr_ds_init(nullptr, &ad);
        obdb_set_record_hook(prmgr_pr_record_hook);
        prexec_hooks = PrExecHooks{};
        prexec_hooks.catd = ad.catd;
        prmgr_pr_new_procedure();
        target_dval = TargetValue{TARGET_DISPLAY, "", "", "RSLT", 0, 0};
        mnq_prepare_pipe = logging_pipe;
        pipe_calls().clear();
        qymgr_qy_set_querym(qykit::watching_querym);
    }
    void TearDown() override
    {
        qymgr_qy_set_querym(nullptr);
        mnq_prepare_pipe = dytab_dy_prepare_pipe_target;
        vxdl::cancel_pending();
        clear_objects();
        obdb_set_record_hook(nullptr);
        prmgr_pr_new_procedure();
        dsmgr_ds_clear();
        wsdict_db_open = 0;
        wstest::Dictionary::TearDown();
    }
    void clear_objects()
    {
        while (wsdict_dictionary && wsdict_dictionary->selected)
            wsdict_ws_unselect_object(wsdict_dictionary->selected->object);
        while (wsdict_dictionary && wsdict_dictionary->assignments)
            wsdict_ws_unassign_object(wsdict_dictionary->assignments->variable);
        for (QueryObject *o : made) {
            wsdict_ws_unlink_object(o);
            o->next = nullptr;
            obmain_ob_free_object(o);
        }
        made.clear();
        wsdict_nomination = WsNomination{};
    }
    template <class T>
    QueryObject *object(int kind)
    {
        auto *d = static_cast<T *>(vx_malloc(sizeof(T), 1));
        memset(d, 0, sizeof(T));
        d->kind = kind;
        auto *o = static_cast<QueryObject *>(vx_malloc(sizeof(QueryObject), 1));
        memset(o, 0, sizeof *o);
        o->kind = kind;
        o->kind_data = d;
        made.push_back(o);
        return o;
    }
    void select(QueryObject *o)
    {
        wsdict_ws_link_object(o);
        ASSERT_TRUE(wsdict_ws_check_nominations(o));
        wsdict_ws_select_object(o);
    }
    void column(const char *name)
    {
        QueryObject *o = object<ObColumnData>(OB_COLUMN);
        auto *d = static_cast<ObColumnData *>(o->kind_data);
        safe_strcpy(d->table, "DEPT", 21);
        safe_strcpy(d->name, name, 21);
        select(o);
    }
    void select_depts()
    {
        column("DEPTNO");
        column("DNAME");
    }
};

TEST_F(Run, Targets)
{
    struct Case {
        const char *what;
        int target;
        const char *name;  // result or table name
        int recorded;      // the kind recorded, -1 none
        const char *table_after;  // a table that holds the rows afterwards
        const char *rename;       // the rename sent, or none
    } cases[] = {
        {"the display", TARGET_DISPLAY, "", PR_DATA, nullptr, nullptr},
        {"the result table RSLT", TARGET_RESULT, "RSLT", PR_NODATA, "RSLT", nullptr},
        {"the result table RSLTX", TARGET_RESULT, "RSLTX", PR_NODATA, "RSLTX", "RENAME RSLT AS RSLTX"},
        {"a named table", TARGET_TABLE, "KEEP", PR_NODATA, "KEEP", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        prmgr_pr_new_procedure();
        qykit::sent().clear();
        select_depts();
        target_dval.target = c.target;
        if (c.target == TARGET_RESULT)
            dl_copy(target_dval.result, c.name);
        if (c.target == TARGET_TABLE)
            dl_copy(target_dval.table, c.name);
        mnquery_run(nullptr);
        EXPECT_EQ(target_dval.target, TARGET_DISPLAY);
        const PrQueryNode *n = prmgr_pr_registered_query(c.recorded);
        ASSERT_NE(n, nullptr);
        ASSERT_EQ(n->statements.size(), 1u);
        EXPECT_TRUE(sent(n->statements[0]));
        EXPECT_EQ(std::string(doz_dval), n->statements[0]);
        if (c.table_after) {
            EXPECT_EQ(qychk_table_rows(c.table_after), 3);
        }
        bool renamed = false;
        for (const std::string &t : texts())
            renamed |= t.rfind("RENAME", 0) == 0;
        EXPECT_EQ(renamed, c.rename != nullptr);
        if (c.rename) {
            EXPECT_TRUE(sent(c.rename));
        }
        EXPECT_FALSE(sent("SET %DISPLAY TRUE"));
        clear_objects();
    }
}

// A result table named otherwise than RSLT... is refused after the run,
// and the target falls back to the display.
TEST_F(Run, ResultNameNotBeginningWithRsltIsRefused)
{
    ok("SELECT DEPTNO FROM DEPT");  // the result table exists
    ASSERT_TRUE(qychk_result_exists());
    select_depts();
    target_dval.target = TARGET_RESULT;
    dl_copy(target_dval.result, "ABC");
    std::string shown;
    auto p = vxdl::when_shown("error", [&](Widget box) {
        shown = vxdl::message(box);
        vxdl::press_box(box, XmDIALOG_OK_BUTTON);
    });
    mnquery_run(nullptr);
    EXPECT_TRUE(p->ran);
    EXPECT_NE(shown.find("ABC"), std::string::npos) << shown;
    EXPECT_EQ(target_dval.target, TARGET_DISPLAY);
    for (const std::string &t : texts())
        EXPECT_NE(t.rfind("RENAME", 0), 0u) << t;
}

// A pipe: the command before the first statement, an empty command before
// each further one, none at the end.
TEST_F(Run, PipeIsPreparedForEachStatement)
{
    const std::string out = vxtest::temp_dir("mnpipe") + "/rows.txt";
    scratch_dirs.push_back(out.substr(0, out.rfind('/')));
    select_depts();
    QueryObject *g = object<ObGroupData>(OB_GROUP);
    safe_strcpy(static_cast<ObGroupData *>(g->kind_data)->text, "DEPTNO", 255);
    static_cast<ObGroupData *>(g->kind_data)->sequence = 1;
    select(g);
    target_dval.target = TARGET_PIPE;
    dl_copy(target_dval.command, "cat >> " + out);
    mnquery_run(nullptr);
    const PrQueryNode *n = prmgr_pr_registered_query(PR_NODATA);
    ASSERT_NE(n, nullptr);
    ASSERT_GE(n->statements.size(), 2u);
    std::vector<std::string> expected{"\"cat >> " + out + "\""};
    for (size_t i = 1; i < n->statements.size(); i++)
        expected.push_back("\"\"");
    expected.push_back("none");
    EXPECT_EQ(pipe_calls(), expected);
    EXPECT_TRUE(n->has_pipe);
    EXPECT_EQ(n->pipe, "cat >> " + out);
}

// A run that fails records nothing and puts the display back.
TEST_F(Run, FailedRunRecordsNothing)
{
    column("NOSUCH");
    mnquery_run(nullptr);
    EXPECT_FALSE(prmgr_pr_query_registered(PR_DATA));
    EXPECT_FALSE(prmgr_pr_query_registered(PR_NODATA));
    EXPECT_TRUE(sent("SET %DISPLAY TRUE"));
    EXPECT_FALSE(qykit::boxes().empty());
}

// A variable with a prompt is asked for through the prompt box before the
// run and recorded with the query; replaying the recording asks again and
// records the prompt again.
TEST_F(Run, PromptedVariableAskedAgainOnReplay)
{
    QueryObject *v = object<ObVariableData>(OB_VARIABLE);
    auto *vd = static_cast<ObVariableData *>(v->kind_data);
    safe_strcpy(vd->name, "LOW", 15);
    vd->prompt = 1;
    safe_strcpy(vd->prompt_text, "Lowest department?", 80);
    wsdict_ws_link_object(v);
    QueryObject *c = object<ObConditionData>(OB_CONDITION);
    safe_strcpy(static_cast<ObConditionData *>(c->kind_data)->text, "DEPTNO > LOW", 255);
    select_depts();
    select(c);
    wsdict_ws_assign_object(v, c);

    std::vector<std::string> asked;
    auto answer = [&](const char *reply) {
        return vxdl::when_shown("prompt", [&asked, reply](Widget box) {
            asked.push_back(vxdl::label(XmSelectionBoxGetChild(box, XmDIALOG_SELECTION_LABEL)));
            XmTextFieldSetString(XmSelectionBoxGetChild(box, XmDIALOG_TEXT), const_cast<char *>(reply));
            vxdl::press_box(box, XmDIALOG_OK_BUTTON);
        });
    };
    auto p = answer("15");
    mnquery_run(nullptr);
    EXPECT_TRUE(p->ran);
    EXPECT_TRUE(sent("CREATE VAR LOW 15"));
    ASSERT_TRUE(prmgr_pr_query_registered(PR_DATA));
    prmgr_pr_retain_query(PR_DATA);
    const std::string file = recording();
    EXPECT_NE(file.find("\tprompt LOW Lowest department?\n"), std::string::npos) << file;

    clear_objects();
    prmgr_pr_new_procedure();
    qykit::sent().clear();
    p = answer("25");
    FILE *f = fmemopen(const_cast<char *>(file.data()), file.size(), "r");
    EXPECT_EQ(prexec_pr_execute_procedure(f, 0, 0, nullptr, 0), 1);
    fclose(f);
    EXPECT_TRUE(p->ran);
    EXPECT_EQ(asked, (std::vector<std::string>{"Lowest department?", "Lowest department?"}));
    EXPECT_TRUE(sent("CREATE VAR LOW 25"));
    const std::string again = recording();
    EXPECT_NE(again.find("\tprompt LOW Lowest department?\n"), std::string::npos) << again;
    EXPECT_NE(again.find("\tquery CREATE VAR LOW 25\n"), std::string::npos) << again;
}

}  // namespace
