// The row editor's held row under the fuzzer: the input is a Full-mode
// result buffer (descriptor table, then rows) as the interpreter might
// deliver it, followed by nothing else.  Whatever the descriptors say, the
// row is only copied when the buffer holds all of it, and every pointer
// the request gets, with its element count, stays inside the held row.

#include "obrowmap.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte chooses the null flags and counts written back.
    const uint8_t mode = data[0];
    // The buffer starts 8-aligned, as the shared segment does.
    std::vector<uint64_t> words((size - 1 + 7) / 8);
    memcpy(words.data(), data + 1, size - 1);
    DozReader reader(words.data(), size - 1);
    if (empty_buffer(reader))
        return 0;
    int had_table = 0;
    if (prepare_buffer(reader, &had_table) != 0 || !had_table)
        return 0;
    ObRowHeld held;
    held.tinfos = tinfo_table(reader);
    static ObRowEditData request;
    if (!obrow_held_lay_out(held, size - 1))
        return 0;
    obrow_held_empty(&request, held);
    obrow_held_copy_in(held, buffer_cursor(reader), buffer_left(reader));
    for (int round = 0; round < 2; round++) {
        obrow_held_map(&request, held);
        const unsigned char *begin = held.row();
        const unsigned char *end = begin + held.size();
        unsigned sum = 0;
        for (size_t i = 0; i < held.layout.fields.size(); i++) {
            const DozField &f = held.layout.fields[i];
            const auto *p = static_cast<const unsigned char *>(request.values[i]);
            const size_t bytes = static_cast<size_t>(request.lengths[i]) * static_cast<size_t>(f.elem_size);
            if (request.presence[i] < begin || request.presence[i] >= end || p < begin || p + bytes > end ||
                request.lengths[i] > f.room)
                __builtin_trap();
            for (size_t k = 0; k < bytes; k++)
                sum += p[k];
            sum += *request.presence[i];
        }
        // Keep the reads.
        asm volatile("" : : "r"(sum));
        for (int i = 0; i < OB_ROW_COLUMNS; i++) {
            request.nulls[i] = (mode >> (i % 8)) & 1;
            request.lengths[i] = (mode & 0x80) ? 1000000 : -5 + i % 11;
        }
        obrow_held_write_flags(&request, held);
    }
    return 0;
}
