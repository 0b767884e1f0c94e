// The drivers' typed catalogue messages (catalogue "pelx", set 60).
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "drv_msgs.def"
#undef VXMSG
