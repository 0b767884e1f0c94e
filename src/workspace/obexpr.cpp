// Expression and condition objects: labelled boxes holding a value to show
// and the condition that restricts the rows.  They send nothing to the
// database; they keep, check and draw their text, and an expression may
// give its value to a variable picked in its dialog.
//
// The initialiser sets the class flags and the standard methods; the
// kind's own methods go into obmain_object_class[kind] after that.

#include "obcheck.h"
#include "obmain.h"
#include "wsdict.h"

#include "vxutil.h"

#include <cstring>

namespace {

const char *expression_prefix() { return obmain_kind_prefix[OB_EXPRESSION]; }
const char *condition_prefix() { return obmain_kind_prefix[OB_CONDITION]; }

// The object's copy always ends its texts, whatever the dialog left there.
void terminate(ObExpressionData *d)
{
    d->text[sizeof d->text - 1] = '\0';
    d->name[sizeof d->name - 1] = '\0';
}

// ---- expression ------------------------------------------------------------------------------

void expression_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObExpressionData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, expression_prefix(), data, sizeof *data, &at, drop, OB_EXPRESSION);
    auto *copy = static_cast<ObExpressionData *>((*result)->kind_data);
    terminate(copy);
    obmain_ob_set_object_bounds(*result, expression_prefix(), copy);
    obcheck_assign_from_references(*result, copy->name, sizeof copy->name, false);
}

void expression_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObExpressionData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    obmain_std_edit_object(object, expression_prefix(), data);
    auto *copy = static_cast<ObExpressionData *>(object->kind_data);
    terminate(copy);
    obmain_ob_set_object_bounds(object, expression_prefix(), copy);
    obcheck_assign_from_references(object, copy->name, sizeof copy->name, true);
}

void expression_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObExpressionData *>(kind_data);
    if (!check || !data)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    if (!obcheck_checks().expression(text)) {
        *result = 0;
        obcheck_error(OB_BAD_EXPRESSION);
    }
}

ObExpressionData expression_value;

void expression_newval(void **value, QueryObject *)
{
    expression_value = ObExpressionData{};
    expression_value.kind = OB_EXPRESSION;
    *value = &expression_value;
}

void expression_draw(QueryObject *object, int selected) { obmain_std_draw_object(object, expression_prefix(), selected); }

// ---- condition -------------------------------------------------------------------------------

void condition_create(QueryObject **result, void *kind_data, int x, int y, QueryObject *drop)
{
    *result = nullptr;
    auto *data = static_cast<ObConditionData *>(kind_data);
    if (!data || !data->text[0])
        return;
    const ObPoint at{x, y};
    obmain_std_create_object(result, condition_prefix(), data, sizeof *data, &at, drop, OB_CONDITION);
    auto *copy = static_cast<ObConditionData *>((*result)->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(*result, condition_prefix(), copy);
}

void condition_edit(QueryObject *object, void *kind_data)
{
    auto *data = static_cast<ObConditionData *>(kind_data);
    if (!object || !data || !data->text[0])
        return;
    obmain_std_edit_object(object, condition_prefix(), data);
    auto *copy = static_cast<ObConditionData *>(object->kind_data);
    copy->text[sizeof copy->text - 1] = '\0';
    obmain_ob_set_object_bounds(object, condition_prefix(), copy);
}

void condition_validate(void *kind_data, int check, int *result)
{
    *result = 1;
    auto *data = static_cast<ObConditionData *>(kind_data);
    if (!check || !data)
        return;
    char text[sizeof data->text];
    safe_strcpy(text, data->text, sizeof text - 1);
    if (!obcheck_checks().condition(text)) {
        *result = 0;
        obcheck_error(OB_BAD_CONDITION);
    }
}

// At most one condition stands on the canvas; the one there may always be
// opened.
void condition_permit(QueryObject *, int op, int *result)
{
    *result = 0;
    if (op == 0 && wsdict_dictionary && wsdict_dictionary->conditions) {
        *result = 2;
        obcheck_error(OB_CONDITION_EXISTS);
    }
}

ObConditionData condition_value;

void condition_newval(void **value, QueryObject *)
{
    condition_value = ObConditionData{};
    condition_value.kind = OB_CONDITION;
    *value = &condition_value;
}

void condition_draw(QueryObject *object, int selected) { obmain_std_draw_object(object, condition_prefix(), selected); }

}  // namespace

void obexpr_initialise_expression_object()
{
    obmain_set_class(OB_EXPRESSION, 8, 1, 4, 1, 1, 1, 1, 0, 0x3e00);
    obmain_load_prefix(OB_EXPRESSION, 1);
    ObClass &c = obmain_object_class[OB_EXPRESSION];
    c.create = expression_create;
    c.edit = expression_edit;
    c.validate = expression_validate;
    c.newval = expression_newval;
    c.draw = expression_draw;
    c.undraw = obmain_std_undraw_object;
}

void obexpr_initialise_condition_object()
{
    obmain_set_class(OB_CONDITION, 9, 1, 4, 0, 1, 1, 1, 0, 0);
    obmain_load_prefix(OB_CONDITION, 2);
    ObClass &c = obmain_object_class[OB_CONDITION];
    c.create = condition_create;
    c.edit = condition_edit;
    c.validate = condition_validate;
    c.permit = condition_permit;
    c.newval = condition_newval;
    c.draw = condition_draw;
    c.undraw = obmain_std_undraw_object;
}
