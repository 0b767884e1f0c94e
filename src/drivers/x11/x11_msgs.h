// The X11 driver's typed catalogue messages (catalogue "pelx").
#pragma once

#include "pelx_msgs.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "x11_msgs.def"
#undef VXMSG

// Writes a message to standard error.
template <class... A>
void gx_report(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    fputs(vx_msgf(gerror_GCatalogue(), m, args...).c_str(), stderr);
    fflush(stderr);
}
