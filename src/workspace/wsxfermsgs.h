// The messages of bulk load and unload.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "wsxfer_msgs.def"
#undef VXMSG
