// Fuzz target: reads the input as a graph format over a small property
// table.  Every text handed on is within its row's bound, a single row
// gets qualifier 0 (any 32-bit number is the setter's to judge), and the
// read ends.

#include "gofile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Row {
    const char *name;
    GoFileProperty p;
};
const Row rows[] = {
    {"graphtype", {0, 0, 1, 1, 0}},      {"colour", {3, 216, 1, 1, 0}},
    {"ymaximum", {19, 0, 1, 0, 0}},      {"labelsize", {68, 0, 1, 3, 0}},
    {"title", {50, 10, 2, 0, GOFILE_BODY_MAX}}, {"datacharacter", {2, 0, 0, 1, 0}},
    {"syallscale", {178, 215, 1, 1, 0}}, {"hoffset", {201, -1, 1, 3, 0}},
    {"depth", {300, 0, 1, 2, 0}},        {"lgdolext", {127, 9, 1, 0, 60}},
};

bool lookup(void *, const char *name, GoFileProperty *row)
{
    if (strlen(name) > GOFILE_WORD_MAX)
        abort();
    for (const Row &r : rows)
        if (strcmp(r.name, name) == 0) {
            *row = r.p;
            return true;
        }
    return false;
}

void set(void *, const GoFileProperty &row, int qualifier, const void *value)
{
    if (row.access != 1 && row.access != 2)
        abort();
    if (row.qualifiers == 0 && qualifier != 0)
        abort();
    const size_t bound = row.bound > 0 ? static_cast<size_t>(row.bound) : GOFILE_STRING_MAX;
    if (value && row.type == 0 && strlen(static_cast<const char *>(value)) > bound)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!f)
        return 0;
    int r = gofile_read_format(f, GoFileSink{nullptr, lookup, set});
    if (r != 0 && r != 1)
        abort();
    fclose(f);
    return 0;
}
