// The boxes of the database kinds: errors and warnings of set 62 and the
// questions of set 63, shown on the toplevel of the object layer.  Without
// a toplevel (no display) an error or warning goes to standard error and
// every question is declined.  A watcher, when one is installed, sees
// every box instead and answers the questions.
#pragma once

#include "dlmess.h"
#include "obcheck.h"
#include "obmain.h"
#include "vxmsg.h"

#include <cstdio>
#include <string>

// Errors and warnings are the box types of obcheck.h; questions are
inline constexpr int OB_BOX_CONFIRM = 2;

// type, set, number and the formatted text; the answer counts for
// questions only (1 yes).
using ObBoxWatcher = int (*)(int type, int set, int number, const std::string &text);
void obbox_set_watcher(ObBoxWatcher watcher);
ObBoxWatcher obbox_watcher();

template <class... A>
void obbox_error(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (ObBoxWatcher w = obbox_watcher()) {
        w(OB_BOX_ERROR, m.set, m.number, vx_msgf(obmain_ob_nlsfd, m, args...));
    } else if (obmain_ob_toplevel) {
        dlmess_dialog_show_error<A...>(obmain_ob_toplevel, obmain_ob_nlsfd, m, args...);
    } else {
        fputs((vx_msgf(obmain_ob_nlsfd, m, args...) + "\n").c_str(), stderr);
    }
}

template <class... A>
void obbox_warning(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (ObBoxWatcher w = obbox_watcher()) {
        w(OB_BOX_WARNING, m.set, m.number, vx_msgf(obmain_ob_nlsfd, m, args...));
    } else if (obmain_ob_toplevel) {
        dlmess_dialog_show_warning<A...>(obmain_ob_toplevel, obmain_ob_nlsfd, m, args...);
    } else {
        fputs((vx_msgf(obmain_ob_nlsfd, m, args...) + "\n").c_str(), stderr);
    }
}

// 1 yes, 0 no.
template <class... A>
int obbox_confirm(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    if (ObBoxWatcher w = obbox_watcher())
        return w(OB_BOX_CONFIRM, m.set, m.number, vx_msgf(obmain_ob_nlsfd, m, args...)) ? 1 : 0;
    if (obmain_ob_toplevel)
        return dlmess_dialog_confirm<A...>(obmain_ob_toplevel, obmain_ob_nlsfd, m, -1, -1, 1, args...);
    return 0;
}
