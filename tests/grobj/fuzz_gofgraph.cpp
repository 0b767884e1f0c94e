// Fuzz target: reads the input as a graph format into a real graph, with
// its property table, setter and annotation objects.  The read ends with
// 0 or 1; what it left is a format that writes, reads back whole into a
// second graph and writes again byte for byte.

#include "dsmgr.h"
#include "gofile.h"
#include "gomain.h"
#include "goobj.h"
#include "goprop.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Graph {
    GoFormat format = *goprop_go_default_graph_format();
    GoGraph g{};
    Graph()
    {
        g.format = &format;
        g.first = g.last = g.kept = -1;
    }
    ~Graph() { gobj_go_destroy_objects(&g); }
    Graph(const Graph &) = delete;
    Graph &operator=(const Graph &) = delete;
};

std::string written(GoGraph *g)
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    if (!f)
        abort();
    gofile_go_write_graph(g, f);
    fclose(f);
    std::string s(buf, size);
    free(buf);
    return s;
}

int read_text(GoGraph *g, const void *data, size_t size)
{
    if (size == 0)
        return gofile_go_read_graph(g, nullptr);
    FILE *f = fmemopen(const_cast<void *>(data), size, "r");
    if (!f)
        abort();
    const int r = gofile_go_read_graph(g, f);
    fclose(f);
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    dsmgr_ds_init(nullptr, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Graph a;
    const int r = read_text(&a.g, data, size);
    if (r != 0 && r != 1)
        abort();
    std::string first = written(&a.g);
    Graph b;
    if (read_text(&b.g, first.data(), first.size()) != 1)
        abort();
    if (written(&b.g) != first)
        abort();
    return 0;
}
