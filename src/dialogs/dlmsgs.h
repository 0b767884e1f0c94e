// The messages the dialog framework and the message boxes format.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dialogs_msgs.def"
#undef VXMSG
