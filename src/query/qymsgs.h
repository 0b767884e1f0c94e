// The messages the query manager formats.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "query_msgs.def"
#undef VXMSG
