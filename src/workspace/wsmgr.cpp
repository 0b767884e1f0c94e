// The workspace object manager.

#include "wsmgr.h"

#include "dlmain.h"
#include "obbox.h"
#include "obmain.h"
#include "vxadata.h"
#include "vxhelp.h"
#include "wsdict.h"
#include "wsevent.h"
#include "wsmain.h"
#include "wsmsgs.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

namespace {

void warn(const VxMsg<> &m) { fputs(vx_msgf(obmain_ob_nlsfd, m).c_str(), stderr); }

struct Manager {
    int dialog = -1;
    int operation = 0;  // 0 create, 1 edit
    QueryObject *object = nullptr;
    void *value = nullptr;
    int apply_refused = 0;
    int validate = 1;
    QueryObject *references[WSMGR_MAX_REFERENCES] = {};
    int count = 0;
    QueryObject *drop = nullptr;
    ObPoint drop_point{0, 0};
} m;

void default_pause()
{
    if (Widget c = wsmain_ws_canvas()) {
        XSync(XtDisplay(c), False);
        usleep(150000);
    }
}
void (*flash_pause)() = default_pause;

ObClass *class_of(const QueryObject *o) { return o && o->kind >= 0 && o->kind < OB_KINDS ? &obmain_object_class[o->kind] : nullptr; }

DialogRecord *current_record() { return m.dialog >= 0 && m.dialog < DL_NDIALOGS ? &dlmain_dialogs[static_cast<size_t>(m.dialog)] : nullptr; }

// The pending references that still have a slot: the newest 50.
int live_references() { return std::min(m.count, WSMGR_MAX_REFERENCES); }
QueryObject *reference_at(int index)
{
    if (index < 0 || index >= live_references())
        return nullptr;
    // Oldest live first.
    const int first = m.count - live_references();
    return m.references[(first + index) % WSMGR_MAX_REFERENCES];
}

void expose(const ObBox &box, QueryObject *excluded) { wsmain_ws_expose_box(box, excluded); }

void pop_up(DialogRecord *rec, const ObPoint *point, int title_mode)
{
    int rx = 0, ry = 0;
    wsmain_ws_canvas_to_root(point ? point->x : 0, point ? point->y : 0, &rx, &ry);
    rec->setval(rec, m.value);
    if (rec->popup(rec, rx, ry, 2, title_mode) < 0) {
        // A dialog that cannot be shown leaves nothing current.
        wsmgr_ws_reset_manager();
        wsevent_ws_set_interaction(0);
        wsevent_ws_bell();
        return;
    }
    m.count = 0;
    wsevent_ws_set_interaction(1);
}

// The kind bound to a tool: its dialog record's, else the class whose
// dialog the tool opens.
int kind_of_tool(int tool)
{
    if (tool >= 0 && tool < DL_NDIALOGS && dlmain_dialogs[static_cast<size_t>(tool)].object_class >= 0)
        return dlmain_dialogs[static_cast<size_t>(tool)].object_class;
    for (int k = 0; k < OB_KINDS; k++)
        if (obmain_object_class[k].dialog_id == tool && obmain_object_class[k].newval)
            return k;
    return -1;
}

}  // namespace

void wsmgr_ws_set_flash_pause(void (*pause)()) { flash_pause = pause; }

void wsmgr_ws_reset_manager()
{
    const int validate = m.validate;
    m = Manager{};
    m.validate = validate;
}

void wsmgr_workspace_manager_init(const AppData *adata)
{
    m.validate = adata ? adata->initialValidateQuery : 1;
    for (int id = 6; id <= 23; id++) {
        DialogRecord &r = dlmain_dialogs[static_cast<size_t>(id)];
        r.apply = wsmgr_apply_notify;
        r.reset = wsmgr_reset_notify;
        r.del = wsmgr_delete_notify;
        r.help = wsmgr_help_notify;
        r.dismiss = wsmgr_dismiss_notify;
        r.adopt = wsmgr_adopt_notify;
    }
}

void wsmgr_ws_set_validation(int on) { m.validate = on ? 1 : 0; }
int wsmgr_ws_validation() { return m.validate; }

// ---- opening ---------------------------------------------------------------------------------

// A dialog still to come (its slot was never filled): the box the menus
// give, named after the tool (its tip's first words).  True when missing.
static bool dialog_missing(int dialog)
{
    int (*const unsupported)(DialogRecord *, int, int, int, int) = dlmain_std_unsupported;
    if (dlmain_dialogs[dialog].popup != unsupported)
        return false;
    std::string name;
    const std::span<const WsTool> boxes[] = {query_tool_box, build_tool_box};
    for (const std::span<const WsTool> box : boxes)
        for (const WsTool &t : box)
            if (t.dialog == dialog && name.empty()) {
                const char *tip = vx_msg_text(obmain_ob_nlsfd, 70, t.tip, nullptr);
                name = tip ? std::string(tip).substr(0, std::string(tip).find(':')) : t.name;
            }
    obbox_error(WS_TOOL_NOT_AVAILABLE, name.c_str());
    return true;
}

void wsmgr_ws_perform_edit(QueryObject *object, const ObPoint *point)
{
    ObClass *c = class_of(object);
    if (!c || c->dialog_id < 0 || c->dialog_id >= DL_NDIALOGS)
        return;
    if (dialog_missing(c->dialog_id))
        return;
    int answer = 0;
    c->permit(object, 1, &answer);
    if (answer == 2)
        return;
    m.object = object;
    m.value = object->kind_data;
    m.operation = 1;
    m.dialog = c->dialog_id;
    m.apply_refused = answer == 1;
    m.drop = nullptr;
    wsdict_ws_save_nomination();
    pop_up(current_record(), point, m.apply_refused ? 3 : 1);
}

void wsmgr_ws_perform_create(int tool, const ObPoint *point, QueryObject *drop)
{
    const int kind = kind_of_tool(tool);
    if (kind < 0 || kind >= OB_KINDS || tool < 0 || tool >= DL_NDIALOGS)
        return;
    if (dialog_missing(tool))
        return;
    ObClass *c = &obmain_object_class[kind];
    int answer = 0;
    c->permit(drop, 0, &answer);
    if (answer == 2)
        return;
    m.object = nullptr;
    m.value = nullptr;
    m.operation = 0;
    m.dialog = tool;
    m.apply_refused = answer == 1;
    m.drop_point = point ? *point : ObPoint{0, 0};
    m.drop = drop;
    wsdict_ws_save_nomination();
    c->newval(&m.value, drop);
    DialogRecord *rec = current_record();
    pop_up(rec, point, m.apply_refused ? 3 : 2);
    if (m.dialog < 0)
        return;
    // The object the tool was dropped on may be the first reference.
    ObClass *dc = class_of(drop);
    const uint32_t mask = rec->reference_mask;
    if (drop && !m.apply_refused && (mask & DL_REF_PICK_DROP_TARGET) && dc->referenceable &&
        (mask & (1u << drop->kind)) && (!(mask & 0x80000000u) || drop->selected) && wsdict_ws_check_nominations(drop))
        wsmgr_ws_perform_reference(drop);
}

void wsmgr_ws_perform_reference(QueryObject *object)
{
    DialogRecord *rec = current_record();
    if (!object || !object->kind_data || !rec)
        return;
    ObClass *c = class_of(object);
    c->select(object, !object->selected);
    expose(object->outer, nullptr);
    flash_pause();
    c->select(object, !object->selected);
    expose(object->outer, nullptr);
    rec->reference(rec, object->kind_data);
    wsmain_ws_flush();
    for (int i = 0; i < live_references(); i++)
        if (reference_at(i) == object)
            return;
    if (m.count >= WSMGR_MAX_REFERENCES)
        warn(WS_TOO_MANY_REFERENCES);
    m.references[m.count % WSMGR_MAX_REFERENCES] = object;
    m.count++;
}

// ---- enquiries ------------------------------------------------------------------------------

QueryObject *wsmgr_ws_enquire_current_object() { return m.object; }
Widget wsmgr_ws_enquire_current_dialog()
{
    DialogRecord *rec = current_record();
    return rec ? rec->widget : nullptr;
}
int wsmgr_ws_enquire_current_dialog_id() { return m.dialog; }
QueryObject *wsmgr_ws_enquire_last_reference() { return m.count ? reference_at(live_references() - 1) : nullptr; }
QueryObject *wsmgr_ws_enquire_reference(int index) { return reference_at(index); }
QueryObject *wsmgr_ws_enquire_var_reference(const char *name)
{
    for (int i = 0; i < live_references(); i++) {
        QueryObject *o = reference_at(i);
        if (o && o->kind == OB_VARIABLE && o->kind_data && name &&
            strcmp(static_cast<ObVariableData *>(o->kind_data)->name, name) == 0)
            return o;
    }
    return nullptr;
}
unsigned wsmgr_ws_refernce_mask()
{
    DialogRecord *rec = current_record();
    return rec ? rec->reference_mask : 0;
}
int wsmgr_ws_reference_count() { return m.count; }

// ---- notify procedures -------------------------------------------------------------------

void wsmgr_reset_notify(DialogRecord *rec, int *done)
{
    if (m.dialog < 0) {
        warn(WS_RESET_NO_DIALOG);
        return;
    }
    ObClass *c = &obmain_object_class[kind_of_tool(m.dialog)];
    if (m.operation == 0)
        c->newval(&m.value, m.drop);
    rec->setval(rec, m.value);
    *done = 1;
    wsdict_ws_restore_nomination();
}

void wsmgr_apply_notify(DialogRecord *rec, int *done)
{
    if (m.dialog < 0) {
        warn(WS_APPLY_NO_DIALOG);
        return;
    }
    if (m.apply_refused) {
        wsmgr_reset_notify(rec, done);
        return;
    }
    const int kind = m.operation == 1 && m.object ? m.object->kind : kind_of_tool(m.dialog);
    ObClass *c = &obmain_object_class[kind];
    void *value = nullptr;
    c->newval(&value, m.operation == 1 ? m.object : m.drop);
    rec->getval(rec, value);
    int ok = 0;
    c->validate(value, m.validate, &ok);
    if (!ok) {
        *done = 0;
        return;
    }
    if (m.operation == 1 && m.object) {
        if (c->drawn) {
            c->undraw(m.object);
            expose(m.object->outer, m.object);
        }
        c->edit(m.object, value);
        if (c->drawn)
            expose(m.object->outer, nullptr);
    } else {
        QueryObject *made = nullptr;
        c->create(&made, value, m.drop_point.x, m.drop_point.y, m.drop);
        if (made) {
            wsdict_ws_link_object(made);
            if (c->selection & OB_SELECT_ON_CREATE) {
                c->select(made, 1);
                wsdict_ws_select_object(made);
            }
            if (c->drawn)
                expose(made->outer, nullptr);
            m.object = made;
        }
    }
    if (m.object && !(rec->reference_mask & DL_REF_NO_PENDING)) {
        for (int i = 0; i < live_references(); i++)
            wsdict_ws_reference_object(m.object, reference_at(i));
    } else if (m.count) {
        m.count = 0;
        wsdict_ws_restore_nomination();
    }
    m.value = value;
    rec->setval(rec, m.value);
    *done = 1;
}

void wsmgr_delete_notify(DialogRecord *rec, int *done)
{
    if (m.dialog < 0) {
        warn(WS_DELETE_NO_DIALOG);
        return;
    }
    wsdict_ws_restore_nomination();
    *done = 1;
    QueryObject *o = m.object;
    if (!o)
        return;
    ObClass *c = class_of(o);
    void *value = nullptr;
    c->newval(&value, o);
    rec->getval(rec, value);
    int agreed = 0;
    c->del(o, value, &agreed);
    if (agreed) {
        const ObBox old = o->outer;
        const bool drawn = c->drawn;
        if (drawn)
            c->undraw(o);
        wsdict_ws_unlink_object(o);
        c->destroy(o);
        // The object is gone: the dismissal that follows must not hand it on.
        m.object = nullptr;
        m.value = nullptr;
        if (drawn)
            expose(old, nullptr);
    } else {
        rec->setval(rec, value);
    }
}

void wsmgr_help_notify(DialogRecord *rec, int *done)
{
    if (rec && rec->widget)
        ApplicationHelp(rec->widget);
    *done = 1;
}

void wsmgr_dismiss_notify(DialogRecord *rec, int *done)
{
    if (m.dialog < 0) {
        warn(WS_DISMISS_NO_DIALOG);
        return;
    }
    const int kind = m.operation == 1 && m.object ? m.object->kind : kind_of_tool(m.dialog);
    ObClass *c = kind >= 0 ? &obmain_object_class[kind] : nullptr;
    const bool deleted = m.operation == 1 && !m.object;
    if (c && c->dismiss_notify && !deleted) {
        if (m.operation == 1)
            c->edit(m.object, nullptr);
        else {
            QueryObject *none = nullptr;
            c->create(&none, nullptr, m.drop_point.x, m.drop_point.y, m.drop);
        }
    }
    *done = 1;
    rec->popdown(rec);
    const int validate = m.validate;
    m = Manager{};
    m.validate = validate;
    wsevent_ws_set_interaction(0);
}

DialogRecord *wsmgr_adopt_notify(DialogRecord *, int id)
{
    return id >= 0 && id < DL_NDIALOGS ? &dlmain_dialogs[static_cast<size_t>(id)] : nullptr;
}
