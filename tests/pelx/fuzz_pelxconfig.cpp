// Fuzz target: reads the input as a configuration file.  The first byte's
// low bit puts a revision stamp in front of the rest, so that most inputs
// reach the parser and the reader.  Whatever the input, the read ends with
// 0 or -1 and a registered error, never a crash, a hang or a leak.

#include "pelx.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &work_dir()
{
    static std::string dir = [] {
        char tmpl[] = "/tmp/pelx-fuzz-XXXXXX";
        const char *d = mkdtemp(tmpl);
        if (!d)
            abort();
        return std::string(d);
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string path = work_dir() + "/f.cfg";
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        abort();
    if (data[0] & 1)
        fputs("/* PelxRevisionNumber: 1 */\n", f);
    fwrite(data + 1, 1, size - 1, f);
    fclose(f);
    int r = gconfig_GReadConfiguration(work_dir().c_str(), "f.cfg", nullptr);
    if (r != 0 && r != -1)
        abort();
    if (r == -1 && GGetError() == 0)
        abort();
    // Whatever was built is freed (leaks are reported by the sanitizer).
    GTerminate();
    return 0;
}
