// The functions file reader under the fuzzer: any bytes as the file.  The
// limits must hold whatever the lines are.

#include "dlfunc.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *fp = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!fp)
        return 0;
    FuncFile f;
    dlfunc_read_functions(fp, f);
    fclose(fp);
    if (f.libraries.size() > DLFUNC_MAX_LIBRARIES)
        abort();
    int id = DLFUNC_FIRST_HELP_ID;
    for (size_t i = 0; i < f.libraries.size(); i++) {
        const FuncLibrary &lib = f.libraries[i];
        if (lib.functions.size() > DLFUNC_MAX_FUNCTIONS)
            abort();
        if (lib.sorted.size() != lib.functions.size())
            abort();
        for (const std::string &entry : lib.functions)
            if (entry.size() >= DLFUNC_LINE_BUFFER || dlfunc_function_name(entry).size() > entry.size())
                abort();
        if (dlfunc_help_id(f, static_cast<int>(i)) != id)
            abort();
        id += static_cast<int>(lib.functions.size()) + 1;
    }
    if (f.fatal && f.fatal_line.size() >= DLFUNC_LINE_BUFFER)
        abort();
    return 0;
}
