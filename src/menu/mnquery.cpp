// The Query pane and the workspace popup of the query window.

#include "mnquery.h"

#include "dlkit.h"
#include "dlmess.h"
#include "dsmgr.h"
#include "dytab.h"
#include "menumsgs.h"
#include "mnbld.h"
#include "mndb.h"
#include "mnmisc.h"
#include "mnproc.h"
#include "mnqy.h"
#include "obdb.h"
#include "obdict.h"
#include "prmgr.h"
#include "qybuild.h"
#include "qychk.h"
#include "qymgr.h"
#include "qysched.h"
#include "vxutil.h"
#include "wsdict.h"

#include <Xm/ToggleB.h>

#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

MnqWorkspaceHooks mnq_ws{};
int (*mnq_prepare_pipe)(const char *command) = dytab_dy_prepare_pipe_target;

TargetValue target_dval{TARGET_DISPLAY, "", "", "RSLT", 0, 0};
DozValue doz_dval;

namespace {

int schema_number = 1;

void enable_stop(int on)
{
    if (mnq_ws.enable_stop)
        mnq_ws.enable_stop(on);
}

void unassign_all(int unselect)
{
    if (mnq_ws.unassign_all_variables)
        mnq_ws.unassign_all_variables(unselect);
}

void refresh_workspace()
{
    if (mnq_ws.refresh)
        mnq_ws.refresh();
}

void refresh_panes()
{
    mnqy_mn_set_proc_sensitivity();
    mnqy_mn_set_query_sensitivity();
}

// The shell of the window an item belongs to (none: the default parent).
Widget shell_of(Widget w) { return w ? mnmisc_item_shell(w) : nullptr; }

void bell(Widget w)
{
    Widget at = w ? w : dlmain_toplevel;
    if (at)
        XBell(XtDisplayOfObject(at), 0);
}

bool is_result_name(const char *name) { return strncmp(name, "RSLT", 4) == 0; }

QyTarget build_target()
{
    QyTarget t{};
    t.kind = target_dval.target;
    dl_copy(t.table, dl_view(target_dval.table));
    dl_copy(t.program, dl_view(target_dval.command));
    dl_copy(t.result, dl_view(target_dval.result));
    t.overwrite = target_dval.overwrite;
    t.unique = target_dval.remove_duplicates;
    return t;
}

// The assignments from the last to the first, each variable once.
template <class F>
void walk_assignments(F &&visit)
{
    if (!wsdict_dictionary)
        return;
    ObAssignment *last = wsdict_dictionary->assignments;
    while (last && last->next)
        last = last->next;
    std::set<QueryObject *> seen;
    for (ObAssignment *a = last; a; a = a->prev) {
        QueryObject *o = a->variable;
        if (!o || !seen.insert(o).second)
            continue;
        if (o->kind != OB_VARIABLE || !o->kind_data) {
            fputs("Error! Assignment to non-variable\n", stderr);
            continue;
        }
        visit(*static_cast<ObVariableData *>(o->kind_data));
    }
}

void refill(int id, void *value)
{
    DialogRecord &rec = dlmain_dialogs[id];
    if (rec.widget)
        rec.setval(&rec, value);
}

// ---- Target --------------------------------------------------------------------------

void target_query(DialogRecord *rec, int *done)
{
    mnmisc_mn_register(29, &target_dval, target_query);
    if (mnmisc_ws_interaction()) {
        bell(rec->widget);
        *done = 0;
        return;
    }
    if (target_dval.target == TARGET_RESULT && !is_result_name(target_dval.result)) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_RESULT_NAME, target_dval.result);
        bell(rec->widget);
        *done = 0;
        snprintf(target_dval.result, sizeof target_dval.result, "%s", "RSLT");
        target_dval.target = TARGET_DISPLAY;
        refill(29, &target_dval);
        mnquery_mn_set_target_icon();
        return;
    }
    mnquery_mn_set_target_icon();
    *done = 1;
}

// ---- DOZ -----------------------------------------------------------------------------

void do_confirm(const char *question, int *answer)
{
    *answer = dlmess_dialog_confirm(nullptr, mnbld_mn_nlsfd, MN_INTERPRETER_QUESTION, -1, -1, 1,
                                    question ? question : "");
}

void doz_doquery(DialogRecord *rec, int *done)
{
    mnmisc_mn_register(30, doz_dval, doz_doquery);
    if (mnmisc_ws_interaction()) {
        bell(rec->widget);
        *done = 0;
        return;
    }
    std::string text(doz_dval, strnlen(doz_dval, sizeof doz_dval));
    if (text.find_first_not_of(" \t") == std::string::npos)
        return;
    prompt_variables();
    enable_stop(1);
    qymgr_qy_interactive(1);
    doz_set_callback_proc(DOZ_CB_CONFIRM, reinterpret_cast<DozCallback>(do_confirm));
    qymgr_qy_query(text.c_str(), QY_BGROUND, QY_FULL, QY_REPORT);
    doz_set_callback_proc(DOZ_CB_CONFIRM, nullptr);
    qymgr_qy_interactive(0);
    bool data = qymgr_qy_returned_data() != 0;
    if (qymgr_qy_ok()) {
        int kind = data ? PR_DATA : PR_NODATA;
        prmgr_pr_register_query(std::vector<std::string>{text}, kind);
        register_prompts(kind);
    }
    if (!data)
        enable_stop(0);
    unassign_all(0);
    refresh_panes();
}

// ---- query schema ----------------------------------------------------------------------

void write_schema_query(DialogRecord *, int *done)
{
    *done = 1;
    const char *path = file_dval;
    bool is_new = access(path, R_OK | W_OK) != 0;
    FILE *f = fopen(path, "a");
    if (!f) {
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_SCHEMA_NOT_WRITTEN, path);
        return;
    }
    const PrQueryNode *q = prmgr_pr_registered_query(PR_DATA);
    if (q) {
        int slot = dsmgr_archive.current;
        if (slot >= 0 && slot < DS_ARCHIVE_SIZE && !dsmgr_archive.slot[slot] && slot > 0)
            slot--;
        const DsDataset *ds = slot >= 0 && slot < DS_ARCHIVE_SIZE ? dsmgr_archive.slot[slot] : nullptr;
        std::vector<char *> texts;
        for (const std::string &s : q->statements)
            texts.push_back(const_cast<char *>(s.c_str()));
        wsdict_ws_write_query_schema(f, texts.data(), static_cast<int>(texts.size()),
                                     ds && !ds->tinfo.empty() ? ds->tinfo.data() : nullptr, schema_number++,
                                     is_new ? 1 : 0);
    }
    if (fclose(f) != 0)
        dlmess_dialog_show_error(nullptr, mnbld_mn_nlsfd, MN_SCHEMA_NOT_WRITTEN, path);
}

}  // namespace

// ---- variables -------------------------------------------------------------------------

void prompt_variables()
{
    walk_assignments([](ObVariableData &v) {
        if (!v.prompt)
            return;
        char text[sizeof v.prompt_text + 1];
        snprintf(text, sizeof text, "%s", v.prompt_text);
        const char *reply = dlmess_dialog_prompt(nullptr, mnbld_mn_nlsfd, -1, text, "");
        snprintf(v.value, sizeof v.value, "%s", reply ? reply : "");
        obdb_obq_create_var(&v, 0);
        v.value[0] = '\0';
    });
}

void register_prompts(int kind)
{
    walk_assignments([kind](ObVariableData &v) {
        if (!v.prompt)
            return;
        std::string name(v.name, strnlen(v.name, sizeof v.name));
        std::string text(v.prompt_text, strnlen(v.prompt_text, sizeof v.prompt_text));
        prmgr_pr_register_prompt(name.c_str(), text.c_str(), kind);
    });
}

// ---- Run -------------------------------------------------------------------------------

void mnquery_run(Widget w)
{
    const int target = target_dval.target;
    const bool pipe = target == TARGET_PIPE;
    // 1. Results kept in the result table are offered for replacement.
    bool offered = false;
    if (mnq_ws.group_objects_exist && mnq_ws.group_objects_exist() && target != TARGET_RESULT &&
        qychk_result_exists()) {
        if (!dlmess_dialog_confirm(shell_of(w), mnbld_mn_nlsfd, MN_CONFIRM_REPLACE_RESULT, -1, -1, 1))
            return;
        offered = true;
    }
    // 2-4. Prompts, the pipe, the statements.
    prompt_variables();
    if (pipe)
        mnq_prepare_pipe(target_dval.command);
    QyTarget t = build_target();
    char **list = nullptr;
    int count = 0;
    bool ok = false;
    if (qybuild_qy_build_query(&list, &count, &t) && list && count > 0) {
        enable_stop(1);
        ok = true;
        for (int i = 0; i < count && ok; i++) {
            if (pipe && i > 0)
                mnq_prepare_pipe("");
            mnquery_mn_record_doz(list[i]);
            qymgr_qy_query(list[i], QY_BGROUND, QY_FULL, QY_REPORT);
            ok = qymgr_qy_ok() != 0;
        }
    }
    // The pipe is closed even when nothing was built.
    if (pipe)
        mnq_prepare_pipe(nullptr);
    const bool data = ok && qymgr_qy_returned_data();
    // 5. Recording, or the display put back.
    if (!ok) {
        qymgr_qy_query("SET %DISPLAY TRUE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
    } else {
        int kind = target == TARGET_DISPLAY ? PR_DATA : PR_NODATA;
        prmgr_pr_register_query(list, count, kind);
        register_prompts(kind);
        if (pipe)
            prmgr_pr_register_pipe(target_dval.command);
    }
    if (list)
        qy_free_query(list, count);
    // 6, 7.
    if (!(target == TARGET_DISPLAY && data))
        enable_stop(0);
    unassign_all(0);
    refresh_panes();
    // 8. The result table under its name.
    if (target == TARGET_RESULT && qychk_result_exists()) {
        if (!is_result_name(target_dval.result)) {
            dlmess_dialog_show_error(shell_of(w), mnbld_mn_nlsfd, MN_RESULT_NAME, target_dval.result);
        } else {
            if (mnq_ws.destroy_result_objects)
                mnq_ws.destroy_result_objects();
            bool last_ok = ok;
            if (strcmp(target_dval.result, "RSLT") != 0) {
                std::string rename = std::string("RENAME RSLT AS ") + target_dval.result;
                qymgr_qy_query(rename.c_str(), QY_WAIT, QY_ASIS, QY_REPORT);
                last_ok = qymgr_qy_ok() != 0;
            }
            if (last_ok) {
                char name[sizeof target_dval.result];
                snprintf(name, sizeof name, "%s", target_dval.result);
                if (wsdict_dictionary && strlen(wsdict_dictionary->result) >= 4)
                    memcpy(name, wsdict_dictionary->result, 4);
                wsdict_ws_read_result_into_dictionary(name);
                memcpy(name, "RSLT", 4);
                if (mnq_ws.create_result_objects)
                    mnq_ws.create_result_objects(name);
                if (mnq_ws.resize_drawing_area)
                    mnq_ws.resize_drawing_area();
                refresh_workspace();
            } else {
                qymgr_qy_query("drop RSLT", QY_WAIT, QY_ASIS, QY_REPORT);
            }
        }
    }
    // 9. A named table's row count.
    if (target == TARGET_TABLE && obdict_ob_find_table(target_dval.table)) {
        if (mnq_ws.reset_table_object_rows)
            mnq_ws.reset_table_object_rows(target_dval.table);
        refresh_workspace();
    }
    // 10. A result that was replaced away.
    if (offered && !qychk_result_exists()) {
        if (mnq_ws.destroy_result_objects)
            mnq_ws.destroy_result_objects();
        refresh_workspace();
    }
    // 11. The target goes back to the display.
    target_dval.target = TARGET_DISPLAY;
    refill(29, &target_dval);
    mnquery_mn_set_target_icon();
}

// ---- the other commands -----------------------------------------------------------------

void mnquery_set_target(Widget w)
{
    mnmisc_mn_register(29, &target_dval, target_query);
    refill(29, &target_dval);
    mnmisc_mn_popup_dialog(w, 29, 4);
}

void mnquery_doz(Widget w)
{
    mnmisc_mn_register(30, doz_dval, doz_doquery);
    doz_dval[0] = '\0';
    refill(30, doz_dval);
    mnmisc_mn_popup_dialog(w, 30, 4);
}

void mnquery_mn_record_doz(const char *text)
{
    snprintf(doz_dval, sizeof doz_dval, "%s", text ? text : "");
    refill(30, doz_dval);
}

void mnquery_mn_write_query_schema(Widget w)
{
    mnmisc_mn_register(4, file_dval, write_schema_query);
    mnmisc_mn_popup_dialog(w, 4, 4);
}

void mnquery_new(Widget w)
{
    if (!mnq_ws.new_query) {
        mnmisc_not_available(w);
        return;
    }
    unassign_all(1);
    mnq_ws.new_query();
}

void mnquery_set_verify(Widget w)
{
    if (!mnq_ws.set_validation) {
        mnmisc_not_available(w);
        return;
    }
    mnq_ws.set_validation(w && XmToggleButtonGetState(w) ? 1 : 0);
}

void mnquery_collect(Widget w)
{
    if (!mnq_ws.collect_objects || !w) {
        mnmisc_not_available(w);
        return;
    }
    // The popup menu's shell was posted where the pointer was.
    Widget posted = XtParent(XtParent(w));
    Position x = 0, y = 0;
    XtTranslateCoords(posted, 0, 0, &x, &y);
    mnq_ws.collect_objects(x, y);
}

void mnquery_mn_set_target_icon()
{
    if (!mnq_ws.set_target_icon)
        return;
    int index = 0;
    switch (target_dval.target) {
    case TARGET_DISPLAY:
        index = mnq_ws.graph_view && mnq_ws.graph_view() ? 1 : 0;
        break;
    case TARGET_RESULT:
    case TARGET_TABLE:
        index = 2;
        break;
    case TARGET_PIPE:
        index = 3;
        break;
    }
    mnq_ws.set_target_icon(index);
}

// ---- sensitivity --------------------------------------------------------------------------

namespace {

bool selected(const MnqSensState &s) { return s.selected; }
bool selected_open(const MnqSensState &s) { return s.selected && s.open; }
bool open(const MnqSensState &s) { return s.open; }
bool collect(const MnqSensState &s) { return s.selected || s.variables; }
bool schema(const MnqSensState &s) { return s.open && s.data_recorded; }
bool recorder(const MnqSensState &s) { return s.data_recorded || s.nodata_recorded || s.active; }
bool new_proc(const MnqSensState &s) { return s.open && recorder(s); }
bool save(const MnqSensState &s) { return s.open && recorder(s) && s.named; }
bool keep(const MnqSensState &s) { return s.open && s.nodata_recorded; }

}  // namespace

const MnqSensRule mnq_query_rules[] = {
    {"query_new_b", selected},       {"query_run_b", selected_open},    {"popup_run_b", selected_open},
    {"query_target_b", open},        {"popup_target_b", open},          {"popup_collect_b", collect},
    {"query_schema_b", schema},
};
const std::size_t mnq_query_rule_count = std::size(mnq_query_rules);

const MnqSensRule mnq_proc_rules[] = {
    {"proc_new_b", new_proc}, {"proc_load_b", open},   {"proc_delete_b", open},
    {"proc_save_b", save},    {"proc_save_as_b", new_proc}, {"proc_keep_b", keep},
};
const std::size_t mnq_proc_rule_count = std::size(mnq_proc_rules);

MnqSensState mnq_sens_state()
{
    MnqSensState s{};
    s.selected = wsdict_dictionary && wsdict_ws_objects_selected();
    s.open = wsdict_db_open != 0;
    s.variables = wsdict_dictionary && wsdict_ws_variables_exist();
    s.data_recorded = prmgr_pr_query_registered(PR_DATA) != 0;
    s.nodata_recorded = prmgr_pr_query_registered(PR_NODATA) != 0;
    s.active = prmgr_pr_active_procedure() != 0;
    s.named = mnproc_mn_have_named_proc() != 0;
    return s;
}

static void apply_rules(const MnqSensRule *rules, std::size_t count)
{
    if (mnbld_mn_runmode != 0)
        return;
    MnqSensState s = mnq_sens_state();
    for (std::size_t i = 0; i < count; i++)
        for (int h = 0; h < mnqy_handle_count; h++)
            if (strcmp(mnqy_handles[h].name, rules[i].item) == 0 && *mnqy_handles[h].widget)
                XtSetSensitive(*mnqy_handles[h].widget, rules[i].sensitive(s) ? True : False);
}

void mnqy_mn_set_query_sensitivity()
{
    apply_rules(mnq_query_rules, mnq_query_rule_count);
    if (mnbld_mn_runmode == 0 && mnq_ws.set_buttons_sensitive) {
        MnqSensState s = mnq_sens_state();
        mnq_ws.set_buttons_sensitive(selected_open(s) ? 1 : 0);
    }
}

void mnqy_mn_set_proc_sensitivity() { apply_rules(mnq_proc_rules, mnq_proc_rule_count); }
