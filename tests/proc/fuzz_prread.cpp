// Fuzz target: walks the input as a procedure file with operations that
// only check what they are handed.  Every text stays within its bound,
// every block has statements before it ends, and the walk ends.

#include "prread.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int header(void *, int) { return 1; }
int graph(void *, const PrGraphBlock &g, FILE *)
{
    if (!g.graph || g.order < 1 || g.order > 6)
        abort();
    return 1;
}
void next_group(void *) {}
void prompt(void *, PrQueryBlock &, const std::string &name, const std::string &text)
{
    if (name.size() > 12 || text.size() > 82)
        abort();
}
int statement(void *, PrQueryBlock &b, const std::string &text, bool first, const PrGraphBlock &)
{
    if (text.empty() || text.size() > PR_STATEMENT_MAX || first != b.statements.empty() || b.pipe.size() > 128)
        abort();
    if (text == "FAIL")
        return PR_STATEMENT_FAILED;
    if (text == "BAD")
        return PR_STATEMENT_INVALID;
    return PR_STATEMENT_OK;
}
int end_block(void *, PrQueryBlock &b, const PrGraphBlock &)
{
    if (b.statements.empty())
        abort();
    return b.kind != PR_BLOCK_NODATA || b.statements.size() < 3;
}
void end(void *) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!f)
        return 0;
    PrReplayOps ops{nullptr, header, graph, next_group, prompt, statement, end_block, end};
    int r = prread_walk(f, ops, size % 2 == 1);
    if (r != 0 && r != 1)
        abort();
    fclose(f);
    return 0;
}
