// Fuzz target: typed dates and times.  The first byte picks rddate with one
// of the six element orders or rdtime; the rest is the text.  An accepted
// value is always a real calendar date or a time of day.

#include "vxcal.h"
#include "vxdate.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int orders[6][3] = {{DIF_DAY, DIF_MONTH, DIF_YEAR}, {DIF_MONTH, DIF_DAY, DIF_YEAR},
                                     {DIF_YEAR, DIF_MONTH, DIF_DAY}, {DIF_YEAR, DIF_DAY, DIF_MONTH},
                                     {DIF_DAY, DIF_YEAR, DIF_MONTH}, {DIF_MONTH, DIF_YEAR, DIF_DAY}};
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    const int pick = data[0] % 7;
    if (pick == 6) {
        int h, m, s;
        if (rdtime(text.c_str(), &h, &m, &s) == 0 && (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59))
            __builtin_trap();
    } else {
        int d, m, y;
        if (rddate(text.c_str(), orders[pick], &d, &m, &y) == 0 && (m < 1 || m > 12 || d < 1 || d > 31))
            __builtin_trap();
    }
    return 0;
}
