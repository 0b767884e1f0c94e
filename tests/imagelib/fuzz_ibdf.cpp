// Fuzz target: the BDF font reader, given the input as the lines of a font.
// A malformed font is refused with its error, never read past its lines.

#include "imagelib.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size; i++) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    std::vector<const char *> ptrs;
    for (auto &l : lines)
        ptrs.push_back(l.c_str());
    ptrs.push_back(nullptr);
    if (IFontBDFReadData("fuzz", ptrs.data()) == 0)
        IFontBDFFree("fuzz");
    return 0;
}
