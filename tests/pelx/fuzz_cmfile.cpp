// Fuzz target: reads the input as a colour-map file.  The first byte's low
// bit puts a revision stamp in front of the rest, so that most inputs reach
// the parser and the reader.  The read ends with 0 or -1 and a registered
// error, never a crash, a hang or a leak.

#include "pelx.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/pelx-cmap-fuzz-XXXXXX";
        const char *d = mkdtemp(tmpl);
        if (!d)
            abort();
        return std::string(d);
    }();
    if (size == 0)
        return 0;
    FILE *f = fopen((dir + "/f.cmap").c_str(), "w");
    if (!f)
        abort();
    if (data[0] & 1)
        fputs("/* PelxRevisionNumber: 1 */\n", f);
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);
    int r = gcolmap_GReadColourMapFile(nullptr, dir.c_str(), "f.cmap");
    if (r != 0 && r != -1)
        abort();
    GTerminate();
    return 0;
}
