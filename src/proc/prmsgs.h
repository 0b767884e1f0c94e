// The procedure module's catalogue messages, typed.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "proc_msgs.def"
#undef VXMSG
