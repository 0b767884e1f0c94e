// Row-edit requests: an action, not an object.  Create runs the row
// editor on the request (obrow.h) and keeps nothing; permit refuses a
// table the user may not read or whose columns the request cannot hold;
// newval fills the request for the table dropped on.

#include "obbox.h"
#include "obdict.h"
#include "obmain.h"
#include "obrow.h"
#include "obrowmsgs.h"
#include "obtab.h"
#include "vxutil.h"

namespace {

ObRowEditData edit_value{};

int column_count(const char *table)
{
    const DictRelation *r = obdict_ob_find_table(table);
    int n = 0;
    for (const DictColumn *c = r ? r->columns : nullptr; c; c = c->next)
        n++;
    return n;
}

void edit_create(QueryObject **result, void *kind_data, int, int, QueryObject *)
{
    if (result)
        *result = nullptr;
    // No kind data: the form was dismissed.
    if (!kind_data)
        return;
    auto *request = static_cast<ObRowEditData *>(kind_data);
    obrow_ob_row_editor(request, 1);
    if (request->status == ROW_TOO_BIG)
        obbox_error(OB_ROW_DOES_NOT_FIT);
}

void edit_permit(QueryObject *object, int, int *result)
{
    const char *table = obtab_table_name_of(object);
    int answer = 0;
    if (!obdict_ob_i_may(PRIV_READ, table)) {
        obbox_error(OB_ROWEDIT_REFUSED);
        answer = 2;
    } else if (column_count(table) > OB_ROW_COLUMNS) {
        obbox_error(OB_ROWEDIT_TOO_WIDE);
        answer = 2;
    }
    if (result)
        *result = answer;
}

void edit_newval(void **value, QueryObject *object)
{
    ObRowEditData &v = edit_value;
    v.kind = OB_ROWEDIT;
    if (object) {
        const char *table = obtab_table_name_of(object);
        safe_strcpy(v.table, table, sizeof v.table - 1);
        const DictRelation *r = obdict_ob_find_table(table);
        v.columns = r ? r->columns : nullptr;
        v.append_ok = obdict_ob_i_may(PRIV_APPEND, table);
        v.update_ok = obdict_ob_i_may(PRIV_WRITE, table);
    } else {
        v.table[0] = 0;
        v.columns = nullptr;
        v.append_ok = v.update_ok = 0;
    }
    v.status = ROW_NO_ROW;
    v.search_mode = 0;
    v.condition[0] = 0;
    v.request = ROW_REQ_NONE;
    if (value)
        *value = &v;
}

}  // namespace

void obedit_initialise_edit_object()
{
    obmain_set_class(OB_ROWEDIT, 20, 0, 0, 0, 0, 0, 0, 0, 0);
    ObClass &c = obmain_object_class[OB_ROWEDIT];
    c.create = edit_create;
    c.permit = edit_permit;
    c.newval = edit_newval;
}
