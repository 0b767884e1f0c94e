// The messages of the transfer and row-edit actions and the row editor.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "obrow_msgs.def"
#undef VXMSG
