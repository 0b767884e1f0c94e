// Statistic objects: an aggregate of one of seven functions over a column
// or expression.  The label's prefix names the function; function 7
// collects an array through its own statistic expression and never stands
// together with a group.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obcheck.h"
#include "obmain.h"
#include "wsdict.h"

#include "vxutil.h"

#include <cstring>

namespace {

constexpr int FUNCTIONS = 7;
constexpr int ARRAY_FUNCTION = 7;

// One prefix per function (set 61 messages 3 to 9).
char prefixes[FUNCTIONS][20];

const char *prefix_of(int function)
{
    return function >= 1 && function <= FUNCTIONS ? prefixes[function - 1] : "";
}

void terminate(ObStatisticData *d)
{
    d->text[sizeof d->text - 1] = '\0';
    d->statistic[sizeof d->statistic - 1] = '\0';
    d->name[sizeof d->name - 1] = '\0';
}

bool group_exists() { return wsdict_dictionary && wsdict_dictionary->groups; }

void statistic_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObStatisticData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, prefix_of(data->function), data, sizeof *data, &at, drop, OB_STATISTIC);
    auto *copy = static_cast<ObStatisticData *>((*result)->kind_data);
    terminate(copy);
    obmain_ob_set_object_bounds(*result, prefix_of(copy->function), copy);
    obcheck_assign_from_references(*result, copy->name, sizeof copy->name, false);
}

// The label follows a change of function.
void statistic_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObStatisticData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    obmain_std_edit_object(object, prefix_of(data->function), data);
    auto *copy = static_cast<ObStatisticData *>(object->kind_data);
    terminate(copy);
    obmain_ob_set_object_bounds(object, prefix_of(copy->function), copy);
    obcheck_assign_from_references(object, copy->name, sizeof copy->name, true);
}

void statistic_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObStatisticData *>(kind_data);
    if (!data)
        return;
    // Asked whether or not the interpreter is asked: an array statistic
    // and a group exclude each other.
    if (data->function == ARRAY_FUNCTION && group_exists()) {
        *result = 0;
        obcheck_error(OB_ARRAY_WITH_GROUP);
        return;
    }
    if (!check)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    bool ok = obcheck_checks().expression(text) != 0;
    if (ok && data->function == ARRAY_FUNCTION) {
        char statistic[sizeof data->statistic];
        safe_strcpy(statistic, data->statistic, sizeof statistic - 1);
        ok = obcheck_checks().statistic(statistic) != 0;
    }
    if (!ok) {
        *result = 0;
        obcheck_error(OB_BAD_EXPRESSION);
    }
}

ObStatisticData statistic_value;

void statistic_newval(void **value, QueryObject *)
{
    statistic_value = ObStatisticData{};
    statistic_value.kind = OB_STATISTIC;
    statistic_value.function = 1;
    *value = &statistic_value;
}

void statistic_draw(QueryObject *object, int selected)
{
    const auto *data = static_cast<const ObStatisticData *>(object->kind_data);
    obmain_std_draw_object(object, prefix_of(data ? data->function : 0), selected);
}

}  // namespace

void obstat_initialise_statistic_object()
{
    obmain_set_class(OB_STATISTIC, 10, 1, 4, 1, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_STATISTIC, 3);
    for (int f = 1; f <= FUNCTIONS; f++)
        safe_strcpy(prefixes[f - 1], obmain_ob_message(f + 2), sizeof prefixes[f - 1] - 1);
    ObClass &c = obmain_object_class[OB_STATISTIC];
    c.create = statistic_create;
    c.edit = statistic_edit;
    c.validate = statistic_validate;
    c.newval = statistic_newval;
    c.draw = statistic_draw;
    c.undraw = obmain_std_undraw_object;
}
