// The transfer dialog's formatted texts.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dlxfer_msgs.def"
#undef VXMSG
