// The procedure recorder and writer: recordings written against golden
// files (the merge of data and no-data queries by id, the pending data
// query placed among the no-data queries, every node once), the misuse
// texts that leave a recording unchanged, and the bounds of what a node
// keeps.

#include "prmgr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string golden(const std::string &name)
{
    std::ifstream in(std::string(VX_PROC_GOLDEN) + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string written(int graph_output = 0, void *current = nullptr)
{
    char *buf = nullptr;
    size_t size = 0;
    FILE *f = open_memstream(&buf, &size);
    EXPECT_EQ(prmgr_pr_write_procedure(f, graph_output, current), 0);
    fclose(f);
    std::string s(buf, size);
    free(buf);
    return s;
}

void reg(const char *statement, int kind) { prmgr_pr_register_query(std::vector<std::string>{statement}, kind); }

// A graph as the writer's hooks see it.
struct FakeGraph {
    int x, y, w, h, order;
};
int geometry(void *g, int *x, int *y, int *w, int *h, int *order)
{
    auto *f = static_cast<FakeGraph *>(g);
    *x = f->x, *y = f->y, *w = f->w, *h = f->h, *order = f->order;
    return 1;
}
void canvas(int *w, int *h) { *w = 801, *h = 401; }
void format(FILE *f, void *) { fputs("kind 1\nendformat\n", f); }

class Recorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        prmgr_graph_writer = PrGraphWriter{};
        prmgr_pr_new_procedure();
    }
    void TearDown() override
    {
        prmgr_graph_writer = PrGraphWriter{};
        prmgr_pr_new_procedure();
    }
};

TEST_F(Recorder, EmptyRecordingIsAHeaderOnly)
{
    EXPECT_FALSE(prmgr_pr_active_procedure());
    EXPECT_EQ(written(0), "table\n");
    EXPECT_EQ(written(1), "graph\n");
}

// No-data 0 and data 1 in a closed group with a graph; then no-data 2, a
// pending data query 3 and no-data 4: the pending query lands between 2
// and 4.  A pipe, prompts and the graph block's geometry are written too.
TEST_F(Recorder, MergesByIdAndPlacesThePendingDataQuery)
{
    prmgr_graph_writer = PrGraphWriter{geometry, canvas, format};
    FakeGraph g{200, 100, 400, 200, 2};
    reg("CREATE VAR X 1", PR_NODATA);
    prmgr_pr_retain_query(PR_NODATA);
    reg("DISPLAY DEPTNO FROM DEPT WHERE DEPTNO > X", PR_DATA);
    prmgr_pr_register_prompt("X", "Lowest department?", PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    prmgr_pr_end_subprocedure(&g);
    reg("SET %DISPLAY TRUE", PR_NODATA);
    prmgr_pr_retain_query(PR_NODATA);
    reg("DISPLAY DNAME FROM DEPT", PR_DATA);
    prmgr_pr_register_query(std::vector<std::string>{"DISPLAY LOC FROM DEPT", "DISPLAY DNAME FROM DEPT"}, PR_NODATA);
    prmgr_pr_register_pipe("sort -r | lpr");
    prmgr_pr_retain_query(PR_NODATA);
    EXPECT_TRUE(prmgr_pr_active_procedure());
    EXPECT_EQ(written(1), golden("merge.proc"));
}

// Data queries of the open group, with no-data queries older, newer and
// in between; and no trailing graph block when nothing follows a closed
// group.
TEST_F(Recorder, OpenGroupAndNothingAfterAClosedGroup)
{
    reg("D0", PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    prmgr_pr_end_subprocedure(nullptr);
    EXPECT_EQ(written(), "table\nstartgraph\nendgraph\nstartquery\n\tdata\n\tquery D0\nendquery\n");

    reg("N1", PR_NODATA_DIRECT);
    reg("D2", PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    reg("N3", PR_NODATA);
    prmgr_pr_retain_query(PR_NODATA);
    reg("D4", PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    reg("N5", PR_NODATA_DIRECT);
    reg("N6", PR_NODATA);  // pending, not kept: not written
    EXPECT_EQ(written(), golden("open.proc"));
}

TEST_F(Recorder, MisuseIsReportedAndChangesNothing)
{
    reg("D0", PR_DATA);
    prmgr_pr_retain_query(PR_DATA);
    const std::string before = written();
    struct Case {
        void (*misuse)();
        const char *text;
    } cases[] = {
        {[] { prmgr_pr_register_prompt("X", "x?", PR_DATA); }, "Error! PrMgr. Prompt but no query registered\n"},
        {[] { prmgr_pr_register_prompt("X", "x?", PR_NODATA); }, "Error! PrMgr. Prompt but no query registered\n"},
        {[] { prmgr_pr_register_pipe("lpr"); }, "Error! PrMgr. Pipeline but no query registered\n"},
        {[] { prmgr_pr_retain_query(PR_DATA); }, "Error! PrMgr. No query bundle to retain\n"},
        {[] { prmgr_pr_retain_query(PR_NODATA); }, "Error! PrMgr. No query bundle to retain\n"},
        {[] {
             prmgr_pr_end_subprocedure(nullptr);
             prmgr_pr_end_subprocedure(nullptr);
         },
         "Error! PrMgr. Null subprocedure or no queries\n"},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStderr();
        c.misuse();
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.text);
        EXPECT_EQ(written(), before) << c.text;
    }
}

// Names, prompts and pipe commands are kept within their bounds, and a
// line break in a text does not break the file's lines.
TEST_F(Recorder, TextsAreBoundedAndStayOnTheirLine)
{
    reg("DISPLAY A\nFROM B", PR_NODATA);
    prmgr_pr_register_pipe(std::string(200, 'p').c_str());
    prmgr_pr_register_prompt("ABCDEFGHIJKLMNOP", (std::string(100, 't') + "\n").c_str(), PR_NODATA);
    const PrQueryNode *n = prmgr_pr_registered_query(PR_NODATA);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->pipe.size(), PR_PIPE_MAX);
    EXPECT_EQ(n->prompts[0].name, "ABCDEFGHIJKL");
    EXPECT_EQ(n->prompts[0].text, std::string(82, 't'));
    prmgr_pr_retain_query(PR_NODATA);
    EXPECT_EQ(written(), "table\nstartgraph\nendgraph\nstartquery\n\tpipe " + std::string(128, 'p') + "\n\tprompt ABCDEFGHIJKL " +
                             std::string(82, 't') + "\n\tquery DISPLAY A FROM B\nendquery\n");
    EXPECT_FALSE(prmgr_pr_query_registered(PR_NODATA));
}

TEST_F(Recorder, NewProcedureForgetsEverything)
{
    reg("A", PR_DATA);
    reg("B", PR_NODATA);
    reg("C", PR_NODATA_DIRECT);
    EXPECT_TRUE(prmgr_pr_query_registered(PR_DATA));
    prmgr_pr_new_procedure();
    EXPECT_FALSE(prmgr_pr_query_registered(PR_DATA));
    EXPECT_FALSE(prmgr_pr_query_registered(PR_NODATA));
    EXPECT_FALSE(prmgr_pr_active_procedure());
    reg("D", PR_DATA);
    EXPECT_EQ(prmgr_pr_registered_query(PR_DATA)->id, 0);
}

}  // namespace
