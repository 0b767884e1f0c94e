// Fuzz target: the help server's text-file parser.  Any bytes give entries
// and problems, never a crash or a read past the text.

#include "helptext.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HelpTexts t = parse_help_texts(std::string(reinterpret_cast<const char *>(data), size));
    for (auto &[id, e] : t.entries)
        if (id < 1 || id > 32767 || e.body.size() > size || e.title.size() > size)
            __builtin_trap();
    return 0;
}
