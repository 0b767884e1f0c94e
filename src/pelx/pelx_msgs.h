// The graphics library's typed catalogue messages (catalogue "pelx").
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "pelx_msgs.def"
#undef VXMSG

// The library's catalogue, or NL_NO_CATALOGUE while it is not open.
nl_catd gerror_GCatalogue();
