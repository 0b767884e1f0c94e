// Requests decoded from the client's messages, each field checked against
// the bytes the message holds.

#include "tqlrequest.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t int_at(const DozMsg &m, size_t at)
{
    int32_t v;
    memcpy(&v, m.data + at, 4);
    return v;
}

}  // namespace

TqlRequest tql_decode(const DozMsg &m, int n)
{
    TqlRequest r;
    r.code = m.h.code;
    n = std::clamp(n, 0, DOZ_RECV_ROOM);
    switch (r.code) {
    case DOZ_INIT:
        if (n >= 32) {
            const char *user = reinterpret_cast<const char *>(m.data);
            r.user.assign(user, strnlen(user, 32));
        }
        break;
    case DOZ_BUFF:
        r.complete = n >= 16;
        if (r.complete) {
            r.kind = int_at(m, 0);
            r.shmid = int_at(m, 4);
            r.rows = int_at(m, 8);
            r.size = int_at(m, 12);
        }
        break;
    case DOZ_QUERY:
    case DOZ_QUERYM: {
        r.with_modes = r.code == DOZ_QUERYM;
        int skip = r.with_modes ? 4 : 0;
        r.complete = n >= skip + 1;
        if (!r.complete)
            break;
        if (r.with_modes)
            r.modes = static_cast<uint32_t>(int_at(m, 0)) & DOZ_SERVER_MASK;
        // The text ends at its NUL or at the end of the message.
        const char *text = reinterpret_cast<const char *>(m.data) + skip;
        r.text.assign(text, strnlen(text, static_cast<size_t>(n - skip)));
        break;
    }
    case DOZ_MODE:
        r.complete = n >= 5;
        if (r.complete) {
            r.bit = int_at(m, 0);
            r.on = m.data[4] != 0;
            r.complete = r.bit >= 0 && r.bit <= 11;
        }
        break;
    case DOZ_ERR:
        memcpy(r.codes, m.data, static_cast<size_t>(std::min(n, 12)));
        break;
    case DOZ_ATTACH:
        if (n >= 4)
            r.pid = int_at(m, 0);
        break;
    case DOZ_CLINFO:
        if (n >= 12)
            r.pid = int_at(m, 4);
        break;
    case DOZ_DUMP:
        r.complete = n >= 8;
        if (r.complete) {
            r.kind = int_at(m, 0);
            r.pid = int_at(m, 4);
        }
        break;
    case DOZ_AUTHORISE:
        if (n >= 4)
            r.right = int_at(m, 0);
        break;
    case DOZ_BLOB_RETRIEVAL:
        if (n >= 4)
            r.on = int_at(m, 0) != 0;
        break;
    default: break;
    }
    return r;
}
