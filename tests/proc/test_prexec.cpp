// Replaying procedure files against the installed interpreter and the demo
// database: a table of small files with the answer, the end callback and
// the statements sent; a replay records what it ran so that writing the
// recording gives the file back; a pipe block's rows reach its command;
// and the comma-separated output leaves files alone until it can write.

#include "wstest.h"

#include "dsmgr.h"
#include "obdb.h"
#include "prexec.h"
#include "prmgr.h"
#include "prread.h"
#include "wsxfer.h"

#include <fstream>
#include <sstream>

namespace {

int eop_calls = 0;
void count_eop() { eop_calls++; }

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Replay : public wstest::Dictionary {
protected:
    std::string dir;

    void SetUp() override
    {
        wstest::Dictionary::SetUp();
        wstest::ensure_demo();
        start("BRASK");
        ok("OPEN DEMO");
        dsmgr_ds_init(nullptr, &ad);
        prexec_hooks = PrExecHooks{};
        prexec_hooks.catd = ad.catd;
        prexec_pr_on_eop(count_eop);
        obdb_set_record_hook(prmgr_pr_record_hook);
        prmgr_pr_new_procedure();
        eop_calls = 0;
        dir = vxtest::temp_dir("proc");
        scratch_dirs.push_back(dir);
        qymgr_qy_set_querym(qykit::watching_querym);
    }
    void TearDown() override
    {
        qymgr_qy_set_querym(nullptr);
        obdb_set_record_hook(nullptr);
        prexec_pr_on_eop(nullptr);
        prmgr_pr_new_procedure();
        dsmgr_ds_clear();
        wstest::Dictionary::TearDown();
    }
    int replay(const std::string &text, int no_prompts = 1)
    {
        FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
        int r = prexec_pr_execute_procedure(f, no_prompts, 0, nullptr, 0);
        fclose(f);
        return r;
    }
    std::vector<std::string> texts_sent()
    {
        std::vector<std::string> v;
        for (const qykit::Sent &s : qykit::sent())
            v.push_back(s.text);
        return v;
    }
    static std::string recording()
    {
        char *buf = nullptr;
        size_t size = 0;
        FILE *f = open_memstream(&buf, &size);
        prmgr_pr_write_procedure(f, 0, nullptr);
        fclose(f);
        std::string s(buf, size);
        free(buf);
        return s;
    }
};

std::string block(const char *kind, const std::string &lines)
{
    return std::string("startquery\n\t") + kind + "\n" + lines + "endquery\n";
}
const std::string head = "table\nstartgraph\nendgraph\n";
const std::string depts = "\tquery DISPLAY DEPTNO, DNAME FROM DEPT\n";

TEST_F(Replay, SmallFiles)
{
    struct Case {
        const char *what;
        std::string file;
        int answer;
        int eop;
        bool display_reset;  // "SET %DISPLAY TRUE" was sent
    } cases[] = {
        {"only the header", "table\n", 1, 1, false},
        {"a graph block, then the end", head, 0, 0, false},
        {"a data block", head + block("data", depts), 1, 1, false},
        {"data that returns no rows", head + block("data", "\tquery DISPLAY DEPTNO FROM DEPT WHERE DEPTNO < 0\n"), 0,
         0, false},
        {"no data that returns rows", head + block("nodata", depts), 0, 0, false},
        {"two data statements in a block", head + block("data", depts + depts), 0, 0, false},
        {"a failing statement", head + block("nodata", "\tquery CREATE VAR PRA 1\n") +
                                    block("data", "\tquery DISPLAY NOSUCH FROM NOWHERE\n") + block("data", depts),
         1, 0, true},
        {"an unknown header", "chart\n", 0, 0, false},
        {"a block without statements", head + block("data", ""), 0, 0, false},
        {"a prompt after a statement", head + block("data", depts + "\tprompt X x?\n"), 0, 0, false},
        {"graphs, which the table-only display cannot show", "graph\nstartgraph\nendgraph\n", 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        eop_calls = 0;
        qykit::sent().clear();
        prmgr_pr_new_procedure();
        EXPECT_EQ(replay(c.file), c.answer);
        EXPECT_EQ(eop_calls, c.eop);
        std::vector<std::string> sent = texts_sent();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "SET %DISPLAY TRUE"), c.display_reset ? 1 : 0);
        if (c.display_reset) {
            EXPECT_EQ(sent.back(), "SET %DISPLAY TRUE");
        }
    }
}

// A file broken at each kind of line names the line and what was wrong
// there; a file that replays, or stops at a failing statement, names none.
TEST_F(Replay, ABrokenFileNamesItsLine)
{
    const std::string start = head + "startquery\n";
    struct Case {
        std::string file;
        const char *fault;
    } cases[] = {
        {"tabel\n", "Line 1: \"tabel\" does not belong here."},
        {"graph\nstartgraph\nendgraph\n", "Line 1: the display could not show the procedure's table or graphs."},
        {"table\nstartgraf\n", "Line 2: \"startgraf\" does not belong here."},
        {"table\nstartgraph\n", "Line 2: the file ends before the procedure does."},
        {"table\nstartgraph\nposition 10 x\n", "Line 3: a position, size or data order is not a number in its range."},
        {"table\nstartgraph\nposition 1 2\nsise 3 4\n", "Line 4: \"sise\" does not belong here."},
        {"table\nstartgraph\nposition 1 2\nsize 3 4\norder 9\n",
         "Line 5: a position, size or data order is not a number in its range."},
        {head + "startqery\n", "Line 4: \"startqery\" does not belong here."},
        {start + "\tdta\n", "Line 5: \"dta\" does not belong here."},
        {start + "\tpipe\n" + depts + "endquery\n", "Line 5: a statement, pipe command or prompt is empty or too long."},
        {start + "\tdata\n\tprompt AVERYLONGNAME1 Which?\n" + depts + "endquery\n",
         "Line 6: the variable name AVERYLONGNAME1 is longer than 12 characters."},
        {start + "\tdata\n\tquery\nendquery\n", "Line 6: a statement, pipe command or prompt is empty or too long."},
        {start + "\tdata\n" + depts + "\tquery " + std::string(PR_STATEMENT_MAX + 1, 'x') + "\nendquery\n",
         "Line 7: a statement, pipe command or prompt is empty or too long."},
        {start + "\tnodata\n" + depts + "endquery\n",
         "Line 7: the data came back otherwise than the procedure recorded."},
        {start + "\tdata\n" + depts + depts + "endquery\n",
         "Line 7: the data came back otherwise than the procedure recorded."},
        {start + "\tdata\n" + depts + "\tquerry x\nendquery\n", "Line 7: \"querry\" does not belong here."},
        {start + "\tdata\n" + depts, "Line 6: the file ends before the procedure does."},
        {start + "\tdata\n" + depts + "endquery\nendgraph\n", "Line 8: \"endgraph\" does not belong here."},
        // Not the file's fault.
        {start + "\tdata\n" + depts + "endquery\n", ""},
        {start + "\tdata\n\tquery DISPLAY NOSUCH FROM NOWHERE\nendquery\n", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file.substr(0, 200));
        prmgr_pr_new_procedure();
        const int answer = replay(c.file);
        EXPECT_EQ(prexec_pr_fault_text(), c.fault);
        EXPECT_EQ(answer, *c.fault ? 0 : 1);
    }
    // The comma-separated output names no line of an earlier replay.
    replay("tabel\n");
    FILE *f = fmemopen(const_cast<char *>("x"), 1, "r");
    prexec_pr_execute_procedure(f, 1, 1, (dir + "/out.csv").c_str(), 1);
    fclose(f);
    EXPECT_EQ(prexec_pr_fault_text(), "");
}

// A replay records every block again (prompts too, even when they are not
// asked): the recording written out is the file that was replayed.
TEST_F(Replay, RecordsWhatItRan)
{
    const std::string file = head + block("nodata", "\tquery CREATE VAR PRB 30\n") +
                             block("data", "\tprompt LOW Lowest department?\n\tquery DISPLAY DEPTNO FROM DEPT WHERE DEPTNO > PRB\n") +
                             block("nodata", "\tquery SET %DISPLAY TRUE\n");
    EXPECT_EQ(replay(file), 1);
    EXPECT_EQ(eop_calls, 1);
    EXPECT_EQ(recording(), file);
}

// The rows of a pipe block go to its command; the pipe is closed at the
// end of the block.
TEST_F(Replay, PipeBlockFeedsItsCommand)
{
    const std::string out = dir + "/rows.txt";
    const std::string file = head + block(("pipe cat > '" + out + "'").c_str(), depts);
    EXPECT_EQ(replay(file), 1);
    std::string rows = slurp(out);
    EXPECT_NE(rows.find("Research"), std::string::npos) << rows;
    EXPECT_NE(rows.find("Administration"), std::string::npos) << rows;
    EXPECT_EQ(recording(), file);
}

// Until comma-separated output is there, asking for it touches no file.
TEST_F(Replay, CsvOutputNotAvailableLeavesTheFile)
{
    const std::string csv = dir + "/out.csv";
    {
        std::ofstream o(csv);
        o << "kept\n";
    }
    const std::string file = head + block("data", depts);
    FILE *f = fmemopen(const_cast<char *>(file.data()), file.size(), "r");
    qykit::sent().clear();
    qykit::StderrCapture err;
    EXPECT_EQ(prexec_pr_execute_procedure(f, 1, 1, csv.c_str(), 1), 0);
    fclose(f);
    EXPECT_NE(err.stop().find("not available yet"), std::string::npos);
    EXPECT_EQ(slurp(csv), "kept\n");
    EXPECT_TRUE(texts_sent().empty());
}

// With an output procedure: the first data query of the file is handed to
// it with the file opened for writing; a file without one leaves the
// output as it was.
std::vector<std::string> csv_statements;
int write_csv(const char *statement, FILE *file, int mode)
{
    csv_statements.push_back(statement);
    fprintf(file, "rows of %s, mode %d\n", statement, mode);
    return 1;
}

TEST_F(Replay, CsvOutputWritesTheFirstDataQuery)
{
    prexec_hooks.output_csv = write_csv;
    csv_statements.clear();
    const std::string csv = dir + "/out.csv";
    {
        std::ofstream o(csv);
        o << "kept\n";
    }
    struct Case {
        std::string file;
        int answer;
        std::string content;
    } cases[] = {
        {head + block("nodata", "\tquery SET %DISPLAY TRUE\n"), 0, "kept\n"},
        {head + block("data", depts), 1, "rows of DISPLAY DEPTNO, DNAME FROM DEPT, mode 1\n"},
    };
    for (const Case &c : cases) {
        FILE *f = fmemopen(const_cast<char *>(c.file.data()), c.file.size(), "r");
        EXPECT_EQ(prexec_pr_execute_procedure(f, 1, 1, csv.c_str(), 1), c.answer);
        fclose(f);
        EXPECT_EQ(slurp(csv), c.content);
    }
    EXPECT_EQ(csv_statements.size(), 1u);
    prexec_hooks.output_csv = nullptr;
}

}  // namespace

namespace {

// The transfer module's output: the rows of the first data query as
// comma-separated lines in a new file.
TEST_F(Replay, CsvOutputThroughTheTransferModule)
{
    prexec_hooks.output_csv = perform_output_csv;
    const std::string csv = dir + "/depts.csv";
    const std::string file = head + block("data", depts) + block("nodata", "\tquery SET %DISPLAY TRUE\n");
    FILE *f = fmemopen(const_cast<char *>(file.data()), file.size(), "r");
    EXPECT_EQ(prexec_pr_execute_procedure(f, 1, 1, csv.c_str(), 0), 1);
    fclose(f);
    prexec_hooks.output_csv = nullptr;
    std::string rows = slurp(csv);
    EXPECT_NE(rows.find("20,Research\n"), std::string::npos) << rows;
    EXPECT_NE(rows.find("60,Administration\n"), std::string::npos) << rows;
}

}  // namespace
