// The checks and boxes the object kinds share.

#include "obcheck.h"

#include "qychk.h"
#include "wsdict.h"
#include "wsmgr.h"

#include <cstring>

namespace {

const ObChecks query_checks{qychk_qy_check_expression, qychk_qy_check_condition, qychk_qy_check_statistic,
                            qychk_qy_check_sort,       qychk_qy_check_group,     qychk_qy_check_join};
ObChecks checks = query_checks;
ObBoxObserver observer = nullptr;

}  // namespace

const ObChecks &obcheck_checks() { return checks; }
void obcheck_set_checks(const ObChecks *c) { checks = c ? *c : query_checks; }

void obcheck_set_box_observer(ObBoxObserver o) { observer = o; }
void obcheck_box_seen(int box, int set, int number, const std::string &text)
{
    if (observer)
        observer(box, set, number, text);
}

void obcheck_assign_from_references(QueryObject *object, const char *name, size_t name_size, bool replace)
{
    if (!object || !name)
        return;
    const std::string wanted(name, strnlen(name, name_size));
    if (wanted.empty())
        return;
    QueryObject *variable = wsmgr_ws_enquire_var_reference(wanted.c_str());
    if (!variable)
        return;
    if (replace)
        wsdict_ws_unassign_object(object);
    wsdict_ws_assign_object(variable, object);
}

bool obcheck_can_draw() { return obmain_gri.display && obmain_gri.window && obmain_gri.gc; }
