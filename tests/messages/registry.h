#pragma once

#include "vxmsg.h"

#include <cstddef>
#include <vector>

struct MsgTable {
    const char *file;
    const char *catalogue;
    const VxMsgInfo *rows;
    size_t count;
};

const std::vector<MsgTable> &message_tables();
