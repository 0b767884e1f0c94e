// Test support for the row layout: a column description in one call.
#pragma once

#include "dozproto.h"

#include <cstdint>

namespace vxtest {

inline DozColDesc col(int type, int count = 0, int width = 0)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(type);
    d.width = static_cast<int16_t>(width);
    d.count = count;
    return d;
}

}  // namespace vxtest
