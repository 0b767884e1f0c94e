// The image library's typed catalogue messages (catalogue "pelx", sets 50
// and 51).  Their texts come from the catalogue the caller hands over with
// ISetCatalogue, else from the fallbacks here.
#pragma once

#include "vxmsg.h"

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "imagelib_msgs.def"
#undef VXMSG

namespace imagelib {
nl_catd catalogue();
}  // namespace imagelib

// Prints a library diagnostic on standard error.
template <class... A>
void imagelib_warn(const VxMsg<A...> &m, typename std::type_identity<A>::type... args)
{
    fputs(vx_msgf(imagelib::catalogue(), m, args...).c_str(), stderr);
}
