// The interpreter's request decoder fed whole protocol messages: the
// 16-byte header (type, zero, code) and a payload of any length.
#include "tqlrequest.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    static DozMsg m;
    memset(&m, 0, sizeof m);
    size_t whole = size < sizeof m ? size : sizeof m;
    memcpy(&m, data, whole);
    int n = whole > 16 ? static_cast<int>(whole - 16) : 0;
    TqlRequest r = tql_decode(m, n);
    // Nothing decoded lies beyond the bytes the message holds.
    if (r.user.size() > 32 || r.text.size() > static_cast<size_t>(n) || r.code != m.h.code)
        abort();
    if ((r.code == DOZ_QUERY || r.code == DOZ_QUERYM) && r.complete && r.text.find('\0') != std::string::npos)
        abort();
    if (r.code == DOZ_MODE && r.complete && (r.bit < 0 || r.bit > 11))
        abort();
    if (r.code == DOZ_QUERYM && (r.modes & ~DOZ_SERVER_MASK))
        abort();
    return 0;
}
