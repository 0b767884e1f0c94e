// Bulk load, unload and comma-separated output against the installed
// interpreter, on a scratch database: every type with arrays and nulls in
// every format, blobs, batch sizes, rejected rows, the shape messages,
// pipes, buffers of 1000 rows, the question before a file is replaced and
// a full device.

#include "wstest.h"

#include "dsput.h"
#include "obbox.h"
#include "obcheck.h"
#include "obdb.h"
#include "vxutil.h"
#include "wsxfer.h"

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>

using wstest::Row;
using Rows = std::vector<Row>;

namespace {

struct Shown {
    int number;
    std::string text;
};
std::vector<Shown> &errors()
{
    static std::vector<Shown> v;
    return v;
}
std::vector<Shown> &warnings()
{
    static std::vector<Shown> v;
    return v;
}
std::vector<Shown> &questions()
{
    static std::vector<Shown> v;
    return v;
}
struct Line {
    int written, rejected, stopped;
    bool operator==(const Line &) const = default;
};
std::vector<Line> &statuses()
{
    static std::vector<Line> v;
    return v;
}
int answer = 1;

void on_error(int n, const char *t) { errors().push_back({n, t}); }
void on_warning(int n, const char *t) { warnings().push_back({n, t}); }
int on_confirm(int n, const char *t)
{
    questions().push_back({n, t});
    return answer;
}
void on_status(int w, int r, int s) { statuses().push_back({w, r, s}); }
const WsXferUser recording_user{on_error, on_warning, on_confirm, on_status};

int lines(const std::string &text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class Transfers : public wstest::Dictionary {
protected:
    std::string dir;
    bool items_made = false;

    void start_with(int buffer)
    {
        start("TESTER", buffer);
        make_scratch("X");
        wsdict_db_exclusive = 1;
        dir = vxtest::temp_dir("wsxfer");
        scratch_dirs.push_back(dir);
        wsxfer_set_user(&recording_user);
        errors().clear();
        warnings().clear();
        questions().clear();
        statuses().clear();
        answer = 1;
        dsprint_ds_set_date_time_format("%d/%m/%Y", "%H:%M:%S");
    }
    void SetUp() override { wstest::Dictionary::SetUp(); }
    void TearDown() override
    {
        wsxfer_set_user(nullptr);
        wsxfer_set_workspace(nullptr);
        wsdict_db_exclusive = 0;
        wstest::Dictionary::TearDown();
    }
    void read() { ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1); }
    ObTransferData request(const char *table, int direction, const std::string &path, int format = XFER_DELIMITED,
                           const char *delimiter = ",", int terminator = XFER_LF)
    {
        ObTransferData r;
        xfer_default_request(&r);
        safe_strcpy(r.table, table, sizeof r.table - 1);
        r.direction = direction;
        safe_strcpy(r.path, path.c_str(), sizeof r.path - 1);
        r.format = format;
        safe_strcpy(r.delimiter, delimiter, sizeof r.delimiter - 1);
        r.terminator = terminator;
        return r;
    }
    int writes_sent()
    {
        int n = 0;
        for (const qykit::Sent &s : qykit::sent())
            n += s.text.rfind("WRITE ", 0) == 0;
        return n;
    }
    // A table K (key), S string(8), L long, each but K admitting nulls.
    void simple_table(const char *name = "T")
    {
        if (!items_made) {
            ok("CREATE ITEM K AS LONG(8)");
            ok("CREATE ITEM S AS STRING(8)");
            ok("CREATE ITEM L AS LONG(8)");
            items_made = true;
        }
        ok(std::string("CREATE ") + name + "[1000] AS K PRIMARY,S NULL,L NULL");
        read();
    }
};

// ---- every type, every format ------------------------------------------------------------

TEST_F(Transfers, EveryTypeLoadsAndUnloadsAlikeInEveryFormat)
{
    start_with(200000);
    for (const char *item : {"K AS LONG(8)", "S AS STRING(12)", "SH AS SHORT(6)", "R AS REAL(12,3)", "D AS DATE(10)",
                             "TM AS TIME(8)", "C AS COMPLEX(12,3)", "B AS BOOL(5)", "CH AS CHAR(1)",
                             "SR AS SHORTREAL(10,2)", "TI AS BYTE(4)", "LA AS LONG(8)[3]", "LV AS LONG(8)[4]VAR"})
        ok(std::string("CREATE ITEM ") + item);
    const char *cols = "K PRIMARY,S NULL,SH NULL,R NULL,D NULL,TM NULL,C NULL,B NULL,CH NULL,SR NULL,TI NULL,LA NULL,"
                       "LV NULL";
    ok(std::string("CREATE T[100] AS ") + cols);
    ok(std::string("CREATE U[100] AS ") + cols);
    read();
    const std::string source = dir + "/source.csv";
    vxtest::write_file(source,
         "1,\"a \"\"b\"\",c\",-7,1.5,10/12/2026,12:34:56,1.25,-2.5,YES,x,2.25,200,1,2,3,2,5,6\n"
         "2,plain,,,,,,,,,,,,,,0\n"
         "3,z,32000,-0.125,01/01/1999,00:00:01,0,0,NO,q,-1,0,7,8,9,4,1,2,3,4\n");
    ObTransferData load = request("T", XFER_LOAD, source);
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    EXPECT_TRUE(errors().empty()) << errors()[0].text;
    ASSERT_FALSE(statuses().empty());
    EXPECT_EQ(statuses().back(), (Line{3, 0, 0}));
    const std::string all = "K, S, SH, R, D, TM, C, B, CH, SR, TI, LA, LV";
    Rows want = wstest::read_full("DISPLAY " + all + " FROM T");
    ASSERT_EQ(want.size(), 3u);
    EXPECT_EQ(want[0][1], "a \"b\",c");
    EXPECT_EQ(want[1][2], "NULL");
    EXPECT_EQ(want[1][12], "NULL");
    EXPECT_EQ(want[2][12], "1:2:3:4");

    struct Case {
        int format;
        const char *delimiter;
        int terminator;
    };
    for (const Case &c : std::vector<Case>{{XFER_FIXED, "", XFER_LF},
                                           {XFER_DELIMITED, ",", XFER_CRLF},
                                           {XFER_BINARY, "", XFER_NONE}}) {
        const std::string file = dir + "/out" + std::to_string(c.format) + c.delimiter;
        ObTransferData un = request("T", XFER_UNLOAD, file, c.format, c.delimiter, c.terminator);
        un.name_row = c.format != XFER_BINARY;
        ASSERT_EQ(perform_unload(&un), XFER_DONE);
        ok("CLEAR U");
        ObTransferData back = request("U", XFER_LOAD, file, c.format, c.delimiter, c.terminator);
        back.name_row = un.name_row;
        ASSERT_EQ(perform_load(&back), XFER_DONE) << c.format;
        Rows got = wstest::read_full("DISPLAY " + all + " FROM U");
        // The binary format has no null time, bool, char or byte; a null
        // array of numbers holds -9999 in every element.
        if (c.format == XFER_BINARY)
            for (Row &r : want)
                for (size_t i : {5u, 7u, 8u, 10u, 11u})
                    if (r[i] == "NULL")
                        r[i] = i == 5 ? "0-0-0" : i == 8 ? std::string(1, '\0') : i == 11 ? "-9999:-9999:-9999" : "0";
        EXPECT_EQ(got, want) << "format " << c.format << "\n" << vxtest::read_file(file);
    }
    EXPECT_TRUE(errors().empty());
}

TEST_F(Transfers, BlobsLoadFromFilesAndUnloadByName)
{
    start_with(200000);
    ok("CREATE ITEM K AS LONG(8)");
    ok("CREATE ITEM P AS BLOB CLASS 1");
    ok("CREATE T[10] AS K PRIMARY,P NULL");
    read();
    vxtest::write_file(dir + "/one.bin", std::string("first\0blob", 10));
    vxtest::write_file(dir + "/two.bin", "second blob bytes");
    vxtest::write_file(dir + "/in.csv", "1," + dir + "/one.bin\n2,\n3," + dir + "/two.bin\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    EXPECT_EQ(statuses().back(), (Line{3, 0, 0}));
    ObTransferData un = request("T", XFER_UNLOAD, dir + "/out.csv");
    ASSERT_EQ(perform_unload(&un), XFER_DONE);
    std::istringstream text(vxtest::read_file(dir + "/out.csv"));
    std::string line;
    std::vector<std::string> names;
    while (std::getline(text, line))
        names.push_back(line.substr(line.find(',') + 1));
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[1], "");
    ok("PRINT BLOB " + names[0] + " TO '" + dir + "/back1'");
    ok("PRINT BLOB " + names[2] + " TO '" + dir + "/back3'");
    EXPECT_EQ(vxtest::read_file(dir + "/back1"), std::string("first\0blob", 10));
    EXPECT_EQ(vxtest::read_file(dir + "/back3"), "second blob bytes");
}

// ---- batches and counts --------------------------------------------------------------------

TEST_F(Transfers, RowsOfOneHundredBytesGoNinetyTwoToAWrite)
{
    start_with(10240);
    ok("CREATE ITEM K AS LONG(8)");
    ok("CREATE ITEM S AS STRING(90)");
    ok("CREATE T[1000] AS K PRIMARY,S NULL");
    read();
    std::string text;
    for (int i = 1; i <= 200; i++)
        text += std::to_string(i) + ",row\n";
    vxtest::write_file(dir + "/in.csv", text);
    qykit::sent().clear();
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    EXPECT_EQ(writes_sent(), 3);
    EXPECT_EQ(statuses(), (std::vector<Line>{{92, 0, 0}, {184, 0, 0}, {200, 0, 0}, {200, 0, 0}}));
}

TEST_F(Transfers, DuplicatesAreRejectedUnlessOverwriteReplacesThem)
{
    start_with(200000);
    simple_table();
    vxtest::write_file(dir + "/a.csv", "1,one,10\n2,two,20\n");
    vxtest::write_file(dir + "/b.csv", "2,TWO,22\n3,three,30\n");
    ObTransferData a = request("T", XFER_LOAD, dir + "/a.csv");
    ASSERT_EQ(perform_load(&a), XFER_DONE);
    ObTransferData b = request("T", XFER_LOAD, dir + "/b.csv");
    ASSERT_EQ(perform_load(&b), XFER_DONE);
    EXPECT_EQ(statuses().back(), (Line{1, 1, 0}));
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_EQ(warnings()[0].number, 31);
    EXPECT_NE(warnings()[0].text.find('1'), std::string::npos);
    EXPECT_EQ(wstest::read_full("DISPLAY K, S FROM T WHERE K=2"), (Rows{{"2", "two"}}));
    b.overwrite = 1;
    qykit::sent().clear();
    ASSERT_EQ(perform_load(&b), XFER_DONE);
    EXPECT_EQ(statuses().back(), (Line{2, 0, 0}));
    EXPECT_EQ(wstest::read_full("DISPLAY K, S FROM T WHERE K=2"), (Rows{{"2", "TWO"}}));
    std::vector<std::string> sets;
    for (const qykit::Sent &s : qykit::sent())
        if (s.text.rfind("SET %OVERWRITE", 0) == 0)
            sets.push_back(s.text);
    EXPECT_EQ(sets, (std::vector<std::string>{"SET %OVERWRITE TRUE", "SET %OVERWRITE FALSE"}));
}

TEST_F(Transfers, EmptyFilesNameRowsAndTruncatedRows)
{
    start_with(200000);
    simple_table();
    struct Case {
        const char *what;
        std::string text;
        int name_row;
        Line status;
        std::vector<int> errors;
        int rows;
    };
    for (const Case &c : std::vector<Case>{
             {"empty file", "", 0, {0, 0, 0}, {}, 0},
             {"name row alone", "K,S,L\n", 1, {0, 0, 0}, {}, 0},
             {"truncated last row", "1,a,1\n2,b,2\n3,c", 0, {3, 0, 0}, {29}, 3},
             {"short row", "1,a\n2,b,2\n", 0, {2, 0, 0}, {30}, 2},
         }) {
        ok("CLEAR T");
        errors().clear();
        statuses().clear();
        qykit::sent().clear();
        vxtest::write_file(dir + "/in.csv", c.text);
        ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
        load.name_row = c.name_row;
        EXPECT_EQ(perform_load(&load), XFER_DONE) << c.what;
        ASSERT_FALSE(statuses().empty()) << c.what;
        EXPECT_EQ(statuses().back(), c.status) << c.what;
        std::vector<int> numbers;
        for (const Shown &s : errors())
            numbers.push_back(s.number);
        EXPECT_EQ(numbers, c.errors) << c.what;
        EXPECT_EQ(static_cast<int>(wstest::read_full("DISPLAY K FROM T").size()), c.rows) << c.what;
        if (c.rows == 0) {
            EXPECT_EQ(writes_sent(), 0) << c.what;
        }
    }
    // The message counts the rows read before the broken one.
    ok("CLEAR T");
    errors().clear();
    vxtest::write_file(dir + "/in.csv", "1,a,1\n2,b,2\n3,c");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    perform_load(&load);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].text.find(" 2 "), std::string::npos) << errors()[0].text;
    EXPECT_EQ(wstest::read_full("DISPLAY K, S, L FROM T WHERE K=3"), (Rows{{"3", "c", "NULL"}}));
}

// ---- pipes ------------------------------------------------------------------------------------

TEST_F(Transfers, GzipPipesBothWaysAndFailingCommands)
{
    start_with(200000);
    simple_table();
    simple_table("T2");
    vxtest::write_file(dir + "/in.csv", "1,one,10\n2,,\n3,three,30\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    ObTransferData un = request("T", XFER_UNLOAD, "gzip > '" + dir + "/t.gz'");
    un.medium = XFER_PIPE;
    ASSERT_EQ(perform_unload(&un), XFER_DONE);
    ObTransferData back = request("T2", XFER_LOAD, "gzip -dc '" + dir + "/t.gz'");
    back.medium = XFER_PIPE;
    ASSERT_EQ(perform_load(&back), XFER_DONE);
    EXPECT_EQ(wstest::read_full("DISPLAY K, S, L FROM T2"), wstest::read_full("DISPLAY K, S, L FROM T"));
    EXPECT_TRUE(errors().empty());

    ObTransferData bad = request("T2", XFER_LOAD, "echo 9,x,9; exit 3");
    bad.medium = XFER_PIPE;
    EXPECT_EQ(perform_load(&bad), XFER_PIPE_FAILED);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].number, 33);
    ObTransferData bad_out = request("T", XFER_UNLOAD, "cat > /dev/null; exit 1");
    bad_out.medium = XFER_PIPE;
    EXPECT_EQ(perform_unload(&bad_out), XFER_PIPE_FAILED);
    EXPECT_EQ(errors().size(), 2u);
    ObTransferData missing = request("T2", XFER_LOAD, dir + "/none.csv");
    EXPECT_EQ(perform_load(&missing), XFER_CANNOT_OPEN);
    EXPECT_EQ(errors().back().number, 26);
}

// ---- unload over many buffers, an empty table --------------------------------------------

TEST_F(Transfers, ManyBuffersAndAnEmptyTable)
{
    start_with(200000);
    simple_table();
    simple_table("E");
    qymgr_qy_set_buffer_rows(1000);
    std::string text;
    for (int i = 1; i <= 2500; i++)
        text += std::to_string(i) + ",s" + std::to_string(i) + "," + std::to_string(i * 2) + "\n";
    vxtest::write_file(dir + "/in.csv", text);
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    ObTransferData un = request("T", XFER_UNLOAD, dir + "/out.csv");
    un.name_row = 1;
    ASSERT_EQ(perform_unload(&un), XFER_DONE);
    std::string out = vxtest::read_file(dir + "/out.csv");
    EXPECT_EQ(lines(out), 2501);
    EXPECT_EQ(out.substr(0, 6), "K,S,L\n");
    EXPECT_EQ(out.substr(out.size() - 16), "2500,s2500,5000\n");
    EXPECT_EQ(statuses().back(), (Line{2500, 0, 0}));

    // No rows: no buffer comes, yet the name row is written and the pipe
    // ends, so that its command sees the end of its input.
    statuses().clear();
    ObTransferData empty = request("E", XFER_UNLOAD, "cat > '" + dir + "/empty.csv'");
    empty.medium = XFER_PIPE;
    empty.name_row = 1;
    ASSERT_EQ(perform_unload(&empty), XFER_DONE);
    EXPECT_EQ(vxtest::read_file(dir + "/empty.csv"), "K,S,L\n");
    EXPECT_EQ(statuses(), (std::vector<Line>{{0, 0, 0}}));
}

// ---- comma-separated output --------------------------------------------------------------

TEST_F(Transfers, CsvOutputInWindowAndProgramInterfaceModes)
{
    start_with(200000);
    simple_table();
    vxtest::write_file(dir + "/in.csv", "1,\"a,b\",10\n2,c,\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    // The columns of PRINT are named PRINT: their names are left out of the
    // header but their fields stay.
    struct Case {
        const char *query;
        std::string text;
    };
    for (const Case &c : std::vector<Case>{{"DISPLAY K, S, L FROM T", "K,S,L\n1,\"a,b\",10\n2,c,\n"},
                                           {"PRINT 7, 'x' AS S, 3", ",S,\n7,x,3\n"},
                                           // no rows: no descriptor comes, so no header
                                           {"DISPLAY K, S, L FROM T WHERE K=99", ""}}) {
        FILE *f = fopen((dir + "/w.csv").c_str(), "w");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(perform_output_csv(c.query, f, 0), 1);
        fclose(f);
        EXPECT_EQ(vxtest::read_file(dir + "/w.csv"), c.text) << c.query;
        f = fopen((dir + "/a.csv").c_str(), "w");
        EXPECT_EQ(perform_output_csv(c.query, f, 1), 1) << c.query;
        fclose(f);
        EXPECT_EQ(vxtest::read_file(dir + "/a.csv"), c.text) << c.query;
    }
    const char *query = "DISPLAY K FROM T";
    EXPECT_EQ(perform_output_csv(query, nullptr, 0), 0);
    FILE *f = fopen((dir + "/bad.csv").c_str(), "w");
    EXPECT_EQ(perform_output_csv("DISPLAY NOSUCH FROM T", f, 1), 0);
    fclose(f);
}

// ---- the file that exists, the device that is full ---------------------------------------

TEST_F(Transfers, ExistingFilesAndFullDevices)
{
    start_with(200000);
    simple_table();
    vxtest::write_file(dir + "/in.csv", "1,one,10\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);
    vxtest::write_file(dir + "/keep.csv", "precious\n");
    answer = 0;
    ObTransferData un = request("T", XFER_UNLOAD, dir + "/keep.csv");
    EXPECT_EQ(perform_unload(&un), XFER_DONE);
    ASSERT_EQ(questions().size(), 1u);
    EXPECT_EQ(questions()[0].number, 5);
    EXPECT_EQ(questions()[0].text, dir + "/keep.csv");
    EXPECT_EQ(vxtest::read_file(dir + "/keep.csv"), "precious\n");
    answer = 1;
    EXPECT_EQ(perform_unload(&un), XFER_DONE);
    EXPECT_EQ(vxtest::read_file(dir + "/keep.csv"), "1,one,10\n");

    // Enough rows to fill the stream's buffer inside a result buffer.
    std::string text;
    for (int i = 2; i <= 3000; i++)
        text += std::to_string(i) + ",row,1\n";
    vxtest::write_file(dir + "/more.csv", text);
    ObTransferData more = request("T", XFER_LOAD, dir + "/more.csv");
    ASSERT_EQ(perform_load(&more), XFER_DONE);
    errors().clear();
    ObTransferData full = request("T", XFER_UNLOAD, "/dev/full");
    EXPECT_EQ(perform_unload(&full), XFER_DONE);
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].number, 27);
    // The query was aborted: fewer rows than the table holds were counted.
    EXPECT_LT(statuses().back().written, 3000);
    // The connection serves the next query.
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM T WHERE K=1"), (Rows{{"1"}}));
}

// ---- without hooks of the user ------------------------------------------------------------

struct Box {
    int type, set, number;
    std::string text;
    bool operator==(const Box &) const = default;
};
std::vector<Box> &boxes()
{
    static std::vector<Box> v;
    return v;
}
int watch(int type, int set, int number, const std::string &text)
{
    boxes().push_back({type, set, number, text});
    return 0;
}

// Without hooks of its own the transfer shows its errors and its warning
// of rejected rows as the object layer's boxes (message boxes in the
// program); with nobody to ask, an existing file is left alone.
TEST_F(Transfers, WithoutUserHooksTheObjectLayersBoxesSpeak)
{
    start_with(200000);
    simple_table();
    wsxfer_set_user(nullptr);
    boxes().clear();
    obbox_set_watcher(watch);
    ObTransferData missing = request("T", XFER_LOAD, dir + "/none.csv");
    EXPECT_EQ(perform_load(&missing), XFER_CANNOT_OPEN);
    vxtest::write_file(dir + "/in.csv", "1,one,10\n1,again,11\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    EXPECT_EQ(perform_load(&load), XFER_DONE);
    vxtest::write_file(dir + "/keep.csv", "precious\n");
    ObTransferData un = request("T", XFER_UNLOAD, dir + "/keep.csv");
    EXPECT_EQ(perform_unload(&un), XFER_DONE);
    obbox_set_watcher(nullptr);
    EXPECT_EQ(vxtest::read_file(dir + "/keep.csv"), "precious\n");
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0], (Box{OB_BOX_ERROR, 62, 26, "Cannot open " + dir + "/none.csv."}));
    EXPECT_EQ(boxes()[1].type, OB_BOX_WARNING);
    EXPECT_EQ(boxes()[1].set, 62);
    EXPECT_EQ(boxes()[1].number, 31);
}

// ---- the request of the transfer object ----------------------------------------------------

void seen(int type, int set, int number, const std::string &text) { boxes().push_back({type, set, number, text}); }

// An unload's WHERE text goes to the interpreter's check before anything
// is opened: a text it refuses stops the transfer there, and the file
// stays.  Switched on with no text, every row goes.  A new request
// delimits with "," and ends rows with LF, so that it loads back.
TEST_F(Transfers, TheRequestOfTheTransferObject)
{
    start_with(200000);
    simple_table();
    obxfer_initialise_transfer_object();
    const ObClass &c = obmain_object_class[OB_TRANSFER];
    void *value = nullptr;
    c.newval(&value, nullptr);
    ASSERT_NE(value, nullptr);
    const auto *fresh = static_cast<const ObTransferData *>(value);
    EXPECT_STREQ(fresh->delimiter, ",");
    EXPECT_EQ(fresh->terminator, XFER_LF);
    EXPECT_EQ(fresh->format, XFER_DELIMITED);

    vxtest::write_file(dir + "/in.csv", "1,one,10\n2,two,20\n3,three,30\n");
    ObTransferData load = request("T", XFER_LOAD, dir + "/in.csv");
    ASSERT_EQ(perform_load(&load), XFER_DONE);

    struct Case {
        const char *what;
        int direction, use_where;
        const char *where;
        int valid, rows;  // rows: the unload's lines (-1: not run)
    } cases[] = {
        {"use where without a text: every row", XFER_UNLOAD, 1, "", 1, 3},
        {"a condition", XFER_UNLOAD, 1, "L>10", 1, 2},
        {"a condition switched off", XFER_UNLOAD, 0, "L>", 1, 3},
        {"a condition the interpreter refuses", XFER_UNLOAD, 1, "L>", 0, -1},
        {"an unknown word", XFER_UNLOAD, 1, "L>10 AND", 0, -1},
        {"a load reads no condition", XFER_LOAD, 1, "L>", 1, -1},
    };
    obcheck_set_box_observer(seen);
    for (const Case &k : cases) {
        boxes().clear();
        const std::string out = dir + "/out.csv";
        vxtest::write_file(out, "precious\n");
        ObTransferData t = request("T", k.direction, out);
        t.overwrite = 1;
        t.use_where = k.use_where;
        safe_strcpy(t.where, k.where, sizeof t.where - 1);
        int valid = -1;
        c.validate(&t, 1, &valid);
        EXPECT_EQ(valid, k.valid) << k.what;
        EXPECT_EQ(!boxes().empty() && boxes().back().set == 62 && boxes().back().number == 20, k.valid == 0)
            << k.what;
        if (k.rows >= 0) {
            ASSERT_EQ(perform_unload(&t), XFER_DONE) << k.what;
            EXPECT_EQ(lines(vxtest::read_file(out)), k.rows) << k.what;
        } else {
            EXPECT_EQ(vxtest::read_file(out), "precious\n") << k.what;
        }
    }
    obcheck_set_box_observer(nullptr);
}

}  // namespace
