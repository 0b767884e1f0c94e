// The load's field reader under the fuzzer: the first bytes choose the
// format, terminator, delimiter and the column types; the rest is the file.
// Reading must end, keep every field within its room and never read past
// the input.

#include "xfer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 8)
        return 0;
    static const int formats[] = {XFER_FIXED, XFER_DELIMITED, XFER_BINARY};
    static const char *const delimiters[] = {"", ",", ",;", " ", "\t", "\"", "a", "\n"};
    ObTransferData req{};
    req.kind = 12;
    req.format = formats[data[0] % 3];
    req.terminator = data[1] % 4;
    snprintf(req.delimiter, sizeof req.delimiter, "%s", delimiters[data[2] % 8]);
    int types[4], lengths[4];
    for (int i = 0; i < 4; i++) {
        types[i] = data[3 + i] % 12;
        lengths[i] = (data[3 + i] / 12) % 20;
    }
    const int columns = 1 + data[7] % 4;
    FILE *in = fmemopen(const_cast<uint8_t *>(data + 8), size - 8 == 0 ? 1 : size - 8, "rb");
    if (!in)
        return 0;
    XferReader r;
    r.request = &req;
    r.in = size > 8 ? in : nullptr;
    // Each field takes at least one byte until the input ends.
    for (size_t n = 0; r.in && !r.eof_input && n <= size + 1; n++) {
        if (n == size + 1)
            __builtin_trap();
        const int c = static_cast<int>(n % static_cast<size_t>(columns));
        r.last_item = c == columns - 1;
        if (c == 0)
            r.eof_row = false;
        long before = ftell(r.in);
        int got = xfer_read_field(r, types[c], lengths[c]);
        if (r.text_len < 0 || r.text_len > XFER_FIELD_MAX || r.text[r.text_len] != 0)
            __builtin_trap();
        if (got == XFER_FIELD_TEXT && strlen(r.text) > static_cast<size_t>(r.text_len))
            __builtin_trap();
        if (!r.eof_input && ftell(r.in) <= before && !(req.format != XFER_BINARY && r.eof_row))
            __builtin_trap();
    }
    fclose(in);
    return 0;
}
