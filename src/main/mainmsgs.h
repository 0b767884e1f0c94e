// The start-up module's messages (set 73), typed by their arguments.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "main_msgs.def"
#undef VXMSG
