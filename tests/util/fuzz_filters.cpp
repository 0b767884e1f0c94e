// Fuzz target: reads the input as a filters file, for the conversion and the
// e-mail keywords.  Every entry read has a terminated label and command
// within their sizes; nothing crashes or reads past a line.

#include "vxfilter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = [] {
        char tmpl[] = "/tmp/filters-fuzz-XXXXXX";
        const char *d = mkdtemp(tmpl);
        if (!d)
            abort();
        std::string p = std::string(d) + "/filters";
        setenv("VX_FILTERS_FILE", p.c_str(), 1);
        return p;
    }();
    FILE *f = fopen(path.c_str(), "w");
    if (!f)
        abort();
    fwrite(data, 1, size, f);
    fclose(f);
    FilterEntry entries[8];
    for (const char *keyword : {"CONV", "EMAIL"}) {
        const int n = read_filters_file(keyword, entries, 8);
        if (n < 0 || n > 8)
            abort();
        for (int i = 0; i < n; i++)
            if (!memchr(entries[i].label, 0, sizeof entries[i].label) ||
                !memchr(entries[i].command, 0, sizeof entries[i].command))
                abort();
    }
    return 0;
}
