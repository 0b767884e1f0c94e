// The messages the workspace formats.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "workspace_msgs.def"
#undef VXMSG
