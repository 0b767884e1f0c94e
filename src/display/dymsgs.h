// The display window's catalogue messages (set 69).
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "display_msgs.def"
#undef VXMSG
