// The messages the column and table editors format.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dlcoltab_msgs.def"
#undef VXMSG

// The text of a message as the validation's format.
template <class... A>
const char *dlcoltab_format(nl_catd cd, const VxMsg<A...> &m)
{
    return vx_msg_text(cd, m.set, m.number, m.fallback);
}
