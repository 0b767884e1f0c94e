// What the object kinds share beyond the framework: the interpreter checks
// they make when a dialog is applied, and the message boxes in which they
// refuse.
//
// The checks are a table of procedures, the query checks by default;
// headless tests install their own to see which checks a kind asks for.
// Every box goes to an observer first when one is installed (tests), then
// to the message box on the object layer's toplevel (nothing shows
// without a display).
#pragma once

#include "dlmess.h"
#include "obmain.h"
#include "wsmsgs.h"

#include <cstddef>
#include <string>
#include <type_traits>

struct ObChecks {
    int (*expression)(const char *text);
    int (*condition)(const char *text);
    int (*statistic)(const char *text);
    int (*sort)(const char *text);
    int (*group)(const char *text);
    int (*join)(const char *text);
};

// The checks in use.
const ObChecks &obcheck_checks();
// Installs other checks; none puts the query checks back.
void obcheck_set_checks(const ObChecks *checks);

inline constexpr int OB_BOX_ERROR = 0, OB_BOX_WARNING = 1;
using ObBoxObserver = void (*)(int box, int set, int number, const std::string &text);
void obcheck_set_box_observer(ObBoxObserver observer);
void obcheck_box_seen(int box, int set, int number, const std::string &text);

template <class... A>
void obcheck_error(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    obcheck_box_seen(OB_BOX_ERROR, m.set, m.number, vx_msgf(obmain_ob_nlsfd, m, args...));
    dlmess_dialog_show_error(obmain_ob_toplevel, obmain_ob_nlsfd, m, args...);
}

template <class... A>
void obcheck_warning(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    obcheck_box_seen(OB_BOX_WARNING, m.set, m.number, vx_msgf(obmain_ob_nlsfd, m, args...));
    dlmess_dialog_show_warning(obmain_ob_toplevel, obmain_ob_nlsfd, m, args...);
}

// Assigns the object to the variable object of that name among the picks
// of the open dialog, first removing the object's earlier assignments
// when `replace` is set.  With no such pick nothing changes, so earlier
// assignments stay.
void obcheck_assign_from_references(QueryObject *object, const char *name, size_t name_size, bool replace);

// The drawing context is ready (a canvas window exists).
bool obcheck_can_draw();

// Removes the join drawn to this table object (undrawn, unlinked,
// destroyed, its area exposed): a join never outlives either of its tables.
void objoin_ws_remove_join_to(const QueryObject *table);
