// The statement engine's typed catalogue messages (catalogue "kernel").
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "dozeng_msgs.def"
#undef VXMSG
