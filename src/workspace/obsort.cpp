// Sort objects: the ordering of a query.  At most one stands on the
// canvas; it keeps, checks and draws its text.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obcheck.h"
#include "obmain.h"
#include "wsdict.h"

#include "vxutil.h"

namespace {

const char *sort_prefix() { return obmain_kind_prefix[OB_SORT]; }

void sort_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObSortData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, sort_prefix(), data, sizeof *data, &at, drop, OB_SORT);
    auto *copy = static_cast<ObSortData *>((*result)->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(*result, sort_prefix(), copy);
}

void sort_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObSortData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    obmain_std_edit_object(object, sort_prefix(), data);
    auto *copy = static_cast<ObSortData *>(object->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(object, sort_prefix(), copy);
}

void sort_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObSortData *>(kind_data);
    if (!check || !data)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    if (!obcheck_checks().sort(text)) {
        *result = 0;
        obcheck_error(OB_BAD_SORT);
    }
}

void sort_permit(QueryObject *, int op, int *result)
{
    *result = 0;
    if (op == 0 && wsdict_dictionary && wsdict_dictionary->sorts) {
        *result = 2;
        obcheck_error(OB_SORT_EXISTS);
    }
}

ObSortData sort_value;

void sort_newval(void **value, QueryObject *)
{
    sort_value = ObSortData{};
    sort_value.kind = OB_SORT;
    *value = &sort_value;
}

void sort_draw(QueryObject *object, int selected) { obmain_std_draw_object(object, sort_prefix(), selected); }

}  // namespace

void obsort_initialise_sort_object()
{
    obmain_set_class(OB_SORT, 11, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_SORT, 11);
    ObClass &c = obmain_object_class[OB_SORT];
    c.create = sort_create;
    c.edit = sort_edit;
    c.validate = sort_validate;
    c.permit = sort_permit;
    c.newval = sort_newval;
    c.draw = sort_draw;
    c.undraw = obmain_std_undraw_object;
}
