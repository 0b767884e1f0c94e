// Variable objects: each stands for one of the interpreter's variables.
// Creating the object creates the variable (its value text as the initial
// value, the statement also recorded for procedures); deleting it drops
// the variable, and a refused drop keeps the object.  A variable whose
// value is prompted for at run time keeps an assignment with no source
// object, which the run walks to ask for its value.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obcheck.h"
#include "obdb.h"
#include "obdict.h"
#include "obmain.h"
#include "wsdict.h"

#include "vxutil.h"

#include <cstring>

namespace {

const char *variable_prefix() { return obmain_kind_prefix[OB_VARIABLE]; }

void terminate(ObVariableData *d)
{
    d->name[sizeof d->name - 1] = '\0';
    d->prompt_text[sizeof d->prompt_text - 1] = '\0';
    d->value[sizeof d->value - 1] = '\0';
}

void variable_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    if (!kind_data)
        return;
    ObVariableData data = *static_cast<ObVariableData *>(kind_data);
    terminate(&data);
    // A nameless variable is never sent.
    if (!data.name[0])
        return;
    if (obdict_ob_find_var(data.name)) {
        obcheck_error(OB_VARIABLE_EXISTS, data.name);
        return;
    }
    if (!obdb_obq_create_var(&data, 1))
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, variable_prefix(), &data, sizeof data, &at, drop, OB_VARIABLE);
    if (data.prompt)
        wsdict_ws_assign_object(*result, nullptr);
}

// The object is removed only when the interpreter drops the variable.
void variable_delete(QueryObject *object, void *, int *result)
{
    *result = 0;
    if (!object || !object->kind_data)
        return;
    const auto *data = static_cast<const ObVariableData *>(object->kind_data);
    *result = obdb_obq_drop_var(data->name) ? 1 : 0;
}

// The interpreter is not told of an edit: the variable keeps the name and
// value it was created with, and only its prompt settings change.
void variable_edit(QueryObject *object, void *kind_data)
{
    if (!object || !object->kind_data || !kind_data)
        return;
    const auto *old = static_cast<const ObVariableData *>(object->kind_data);
    ObVariableData data = *static_cast<ObVariableData *>(kind_data);
    memcpy(data.name, old->name, sizeof data.name);
    memcpy(data.value, old->value, sizeof data.value);
    terminate(&data);
    obmain_std_edit_object(object, variable_prefix(), &data);
    wsdict_ws_unassign_object(object);
    if (data.prompt)
        wsdict_ws_assign_object(object, nullptr);
}

ObVariableData variable_value;

void variable_newval(void **value, QueryObject *)
{
    variable_value = ObVariableData{};
    variable_value.kind = OB_VARIABLE;
    *value = &variable_value;
}

void variable_draw(QueryObject *object, int selected) { obmain_std_draw_object(object, variable_prefix(), selected); }

}  // namespace

void obvar_initialise_variable_object()
{
    obmain_set_class(OB_VARIABLE, 14, 1, 3, 1, 1, 1, 1, 0, 0x300);
    obmain_load_prefix(OB_VARIABLE, 10);
    ObClass &c = obmain_object_class[OB_VARIABLE];
    c.create = variable_create;
    c.del = variable_delete;
    c.edit = variable_edit;
    c.newval = variable_newval;
    c.draw = variable_draw;
    c.undraw = obmain_std_undraw_object;
}
