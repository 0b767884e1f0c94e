// The row editor against the installed interpreter, on a scratch database
// with a table of every type, arrays, nulls and a blob: requests driven in
// order as the row edit form drives them, the held row read and changed
// through the request's pointers, what reaches the table read back.

#include "wstest.h"

#include "dlmain.h"
#include "dozvalue.h"
#include "dsput.h"
#include "obbox.h"
#include "obie.h"
#include "obmain.h"
#include "obrow.h"
#include "qysched.h"
#include "vxutil.h"
#include "wsevent.h"
#include "wsmgr.h"
#include "wsxfer.h"

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

using wstest::Row;
using Rows = std::vector<Row>;

namespace {

int bells = 0;
void count_bell() { bells++; }

struct Asked {
    int type, set, number;
    std::string text;
};
std::vector<Asked> asked;
int answer = 1;
int watch(int type, int set, int number, const std::string &text)
{
    asked.push_back({type, set, number, text});
    return answer;
}

// A table object as the workspace drops a tool on it.
struct TableObject {
    ObTableData data{};
    QueryObject object{};
    explicit TableObject(const char *name)
    {
        data.kind = OB_TABLE;
        safe_strcpy(data.name, name, sizeof data.name - 1);
        object.kind = OB_TABLE;
        object.kind_data = &data;
        object.kind_data_size = sizeof data;
    }
};

// The columns of the table of every type, in order.
enum Col { K, S, SH, R, D, TM, C, B, CH, SR, TI, LA, LV, P };
const char *const ALL = "K, S, SH, R, D, TM, C, B, CH, SR, TI, LA, LV";

class RowEditor : public wstest::Dictionary {
protected:
    std::string dir;
    ObRowEditData req{};
    bool items_made = false;

    void start_with(int buffer, const char *tag = "R")
    {
        start("TESTER", buffer);
        make_scratch(tag);
        wsdict_db_exclusive = 1;
        dir = vxtest::temp_dir("obrow");
        scratch_dirs.push_back(dir);
        bells = 0;
        wsevent_ws_set_bell(count_bell);
        asked.clear();
        answer = 1;
        obbox_set_watcher(watch);
        dsprint_ds_set_date_time_format("%d/%m/%Y", "%H:%M:%S");
    }
    void TearDown() override
    {
        obbox_set_watcher(nullptr);
        wsevent_ws_set_bell(nullptr);
        wsdict_db_exclusive = 0;
        wstest::Dictionary::TearDown();
    }
    void read() { ASSERT_EQ(wsdict_ws_read_dictionary(scratch.c_str()), 1); }

    // T of every type, with three rows: 1 full, 2 mostly null, 3 full;
    // rows 1 and 3 hold blobs.
    void every_type_table(const char *name = "T", bool rows = true)
    {
        if (!items_made) {
            for (const char *item : {"K AS LONG(8)", "S AS STRING(12)", "SH AS SHORT(6)", "R AS REAL(12,3)",
                                     "D AS DATE(10)", "TM AS TIME(8)", "C AS COMPLEX(12,3)", "B AS BOOL(5)",
                                     "CH AS CHAR(1)", "SR AS SHORTREAL(10,2)", "TI AS BYTE(4)", "LA AS LONG(8)[3]",
                                     "LV AS LONG(8)[4]VAR", "P AS BLOB CLASS 1"})
                ok(std::string("CREATE ITEM ") + item);
            items_made = true;
        }
        ok(std::string("CREATE ") + name +
           "[100] AS K PRIMARY,S NULL,SH NULL,R NULL,D NULL,TM NULL,C NULL,B NULL,CH NULL,SR NULL,TI NULL,"
           "LA NULL,LV NULL,P NULL");
        read();
        if (!rows)
            return;
        vxtest::write_file(dir + "/one.bin", std::string("first\0blob", 10));
        vxtest::write_file(dir + "/three.bin", "third blob bytes");
        vxtest::write_file(dir + "/in.csv",
             "1,\"a \"\"b\"\",c\",-7,1.5,10/12/2026,12:34:56,1.25,-2.5,YES,x,2.25,200,1,2,3,2,5,6," + dir +
                 "/one.bin\n"
                 "2,plain,,,,,,,,,,,,,,0,\n"
                 "3,z,32000,-0.125,01/01/1999,00:00:01,0,0,NO,q,-1,0,7,8,9,4,1,2,3,4," +
                 dir + "/three.bin\n");
        ObTransferData load;
        xfer_default_request(&load);
        safe_strcpy(load.table, name, sizeof load.table - 1);
        safe_strcpy(load.path, (dir + "/in.csv").c_str(), sizeof load.path - 1);
        safe_strcpy(load.delimiter, ",", sizeof load.delimiter - 1);
        load.terminator = XFER_LF;
        ASSERT_EQ(perform_load(&load), XFER_DONE);
        ASSERT_EQ(wstest::read_full(std::string("DISPLAY K FROM ") + name).size(), 3u);
    }

    // WIDE, whose row of two arrays of 800 reals fits no buffer of 10240
    // bytes.
    void wide_table()
    {
        ok("CREATE ITEM K AS LONG(8)");
        ok("CREATE ITEM W1 AS REAL(12,2)[800]");
        ok("CREATE ITEM W2 AS REAL(12,2)[800]");
        ok("CREATE WIDE[10] AS K PRIMARY,W1 NULL,W2 NULL");
    }
    // C300 of the 300 columns I001 to I300 of `type`, the first its key,
    // and C301 of those and I301.
    void tables_of_300_and_301_columns(const char *type)
    {
        std::string cols;
        for (int i = 1; i <= 301; i++) {
            char name[8];
            snprintf(name, sizeof name, "I%03d", i);
            ok(std::string("CREATE ITEM ") + name + " AS " + type);
            if (i <= 300)
                cols += std::string(i > 1 ? "," : "") + name + (i == 1 ? " PRIMARY" : " NULL");
        }
        ok("CREATE C300[10] AS " + cols);
        ok("CREATE C301[10] AS " + cols + ",I301 NULL");
    }

    // The request as the row-edit class's newval leaves it for `table`.
    void request_for(const char *table)
    {
        memset(&req, 0, sizeof req);
        req.kind = OB_ROWEDIT;
        safe_strcpy(req.table, table, sizeof req.table - 1);
        req.append_ok = req.update_ok = 1;
        req.status = ROW_NO_ROW;
    }
    void run(int request, int interactive = 1)
    {
        req.request = request;
        obrow_ob_row_editor(&req, interactive);
        EXPECT_EQ(req.request, ROW_REQ_NONE);
    }
    void open(const char *table)
    {
        request_for(table);
        run(ROW_REQ_OPEN);
    }

    int32_t long_at(int col, int element = 0) const
    {
        int32_t v;
        memcpy(&v, static_cast<const unsigned char *>(req.values[col]) + 4 * element, 4);
        return v;
    }
    void set_long(int col, int32_t v) { memcpy(req.values[col], &v, 4); }
    std::string text_at(int col) const { return static_cast<const char *>(req.values[col]); }
    int16_t short_at(int col) const
    {
        int16_t v;
        memcpy(&v, req.values[col], 2);
        return v;
    }
    void set_short(int col, int16_t v) { memcpy(req.values[col], &v, 2); }
    std::string blob_name(int col) const
    {
        char name[DOZ_BLOB_NAME_SIZE];
        doz_blob_name(static_cast<const DozBlobDesc *>(req.values[col]), name);
        return name;
    }
    // The texts sent since the last clear.
    std::vector<std::string> texts() const
    {
        std::vector<std::string> v;
        for (const qykit::Sent &s : qykit::sent())
            v.push_back(s.text);
        return v;
    }
    bool sent(const std::string &text) const
    {
        for (const qykit::Sent &s : qykit::sent())
            if (s.text == text)
                return true;
        return false;
    }
    void clear_records()
    {
        qykit::sent().clear();
        qykit::boxes().clear();
        asked.clear();
        bells = 0;
    }
};

// ---- moves ------------------------------------------------------------------------------------

TEST_F(RowEditor, OpenMapsTheFirstRowAndMovesRingAtBothEnds)
{
    start_with(200000);
    every_type_table();
    clear_records();
    open("T");
    EXPECT_EQ(texts(), (std::vector<std::string>{"DISPLAY * FROM T", "FETCH FIRST FROM T"}));
    ASSERT_EQ(req.status, ROW_HELD);
    EXPECT_GT(obrow_row_size(), 0);

    // Row 1 through the pointers: values, arrays with their counts, nulls.
    EXPECT_EQ(long_at(K), 1);
    EXPECT_EQ(text_at(S), "a \"b\",c");
    EXPECT_EQ(short_at(SH), -7);
    EXPECT_EQ(req.lengths[K], 1);
    EXPECT_EQ(req.lengths[LA], 3);
    EXPECT_EQ(long_at(LA, 2), 3);
    EXPECT_EQ(req.lengths[LV], 2);
    EXPECT_EQ(long_at(LV, 1), 6);
    for (int c = K; c <= P; c++)
        EXPECT_EQ(req.nulls[c], 0) << c;
    EXPECT_EQ(*req.presence[S], 1);
    EXPECT_EQ(req.values[P + 1], nullptr);
    EXPECT_EQ(req.nulls[P + 1], 1);

    // Row 2: the nulls.
    run(ROW_REQ_NEXT);
    EXPECT_EQ(long_at(K), 2);
    for (int c = SH; c <= LV; c++) {
        EXPECT_EQ(req.nulls[c], 1) << c;
        EXPECT_EQ(*req.presence[c], 0) << c;
    }
    EXPECT_EQ(req.lengths[LV], 0);

    // Past the end: one bell, the last row held, no box.
    run(ROW_REQ_NEXT);
    EXPECT_EQ(long_at(K), 3);
    EXPECT_EQ(bells, 0);
    clear_records();
    run(ROW_REQ_NEXT);
    EXPECT_EQ(bells, 1);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 3);
    EXPECT_EQ(req.lengths[LV], 4);
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(texts(), (std::vector<std::string>{"FETCH NEXT FROM T", "FETCH LAST FROM T"}));

    // Back past the start: the first row again.
    run(ROW_REQ_PREVIOUS);
    run(ROW_REQ_PREVIOUS);
    EXPECT_EQ(long_at(K), 1);
    clear_records();
    run(ROW_REQ_PREVIOUS);
    EXPECT_EQ(bells, 1);
    EXPECT_EQ(long_at(K), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"FETCH PREVIOUS FROM T", "FETCH FIRST FROM T"}));
    EXPECT_TRUE(qykit::boxes().empty());

    run(ROW_REQ_LAST);
    EXPECT_EQ(long_at(K), 3);
    run(ROW_REQ_FIRST);
    EXPECT_EQ(long_at(K), 1);
    run(ROW_REQ_CURRENT);
    EXPECT_EQ(long_at(K), 1);

    // The workspace is busy while the editor runs, and as it was after.
    wsevent_ws_set_display_window_probe([] { return 1; });
    wsevent_ws_set_interaction(WS_REFERENCE);
    std::vector<int> modes;
    qykit::after_querym() = [&modes](const char *) { modes.push_back(wsevent_ws_interaction()); };
    run(ROW_REQ_NEXT);
    run(ROW_REQ_LAST);
    qykit::after_querym() = nullptr;
    EXPECT_EQ(modes, (std::vector<int>{WS_BUSY2, WS_BUSY2}));
    EXPECT_EQ(wsevent_ws_interaction(), WS_REFERENCE);
    wsevent_ws_set_interaction(WS_NORMAL);
    wsevent_ws_set_display_window_probe(nullptr);
}

TEST_F(RowEditor, ARowOfAnotherLayoutThanTheOpenOneIsNeverCopied)
{
    start_with(200000);
    ok("CREATE ITEM K AS LONG(8)");
    ok("CREATE ITEM S AS STRING(200)");
    ok("CREATE ITEM L AS LONG(8)");
    ok("CREATE ITEM M AS LONG(8)");
    ok("CREATE X[10] AS K PRIMARY,S NULL");
    ok("SELECT 1 AS K,'one' AS S FROMVAR TO X");
    read();
    open("X");
    ASSERT_EQ(req.status, ROW_HELD);
    ASSERT_EQ(text_at(S), "one");
    // The table is made again, narrower, behind the editor's back: the
    // row it delivers is shorter than the open layout.
    ok("DROP X");
    ok("CREATE X[10] AS L PRIMARY,M NULL");
    ok("SELECT 2 AS L FROMVAR TO X");
    clear_records();
    run(ROW_REQ_FIRST);
    EXPECT_EQ(req.status, ROW_NO_ROW);
    EXPECT_EQ(req.nulls[K], 1);
    EXPECT_EQ(req.nulls[S], 1);
    // Another open takes the new layout.
    run(ROW_REQ_OPEN);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(0), 2);
    EXPECT_EQ(req.nulls[1], 1);
    EXPECT_EQ(req.values[2], nullptr);
}

TEST_F(RowEditor, FindsWithAConditionWithNoneAndAgainUntilNoMatch)
{
    start_with(200000);
    every_type_table();
    open("T");
    clear_records();

    // An empty text finds every row.
    req.condition[0] = 0;
    run(ROW_REQ_FIND);
    EXPECT_EQ(texts(), (std::vector<std::string>{"FETCH FROM T WHERE TRUE"}));
    EXPECT_EQ(long_at(K), 1);

    safe_strcpy(req.condition, "K > 1", sizeof req.condition - 1);
    run(ROW_REQ_FIND);
    EXPECT_EQ(long_at(K), 2);
    EXPECT_EQ(req.search_mode, 1);
    run(ROW_REQ_FIND_AGAIN);
    EXPECT_EQ(long_at(K), 3);

    // No further match: the current row read again, silently.
    clear_records();
    run(ROW_REQ_FIND_AGAIN);
    EXPECT_EQ(texts(), (std::vector<std::string>{"FETCH FROM T", "FETCH CURRENT FROM T"}));
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 3);
    EXPECT_EQ(req.search_mode, 0);
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(bells, 0);

    // A condition the interpreter refuses is shown; the current row stays.
    run(ROW_REQ_FIRST);
    clear_records();
    safe_strcpy(req.condition, "K >", sizeof req.condition - 1);
    run(ROW_REQ_FIND);
    EXPECT_EQ(qykit::boxes().size(), 1u);
    EXPECT_EQ(req.search_mode, 0);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 1);

    // Quiet, the same failure leaves no row and no box.
    clear_records();
    run(ROW_REQ_FIND, 0);
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(req.status, ROW_NO_ROW);
}

TEST_F(RowEditor, AnEmptyTableHoldsNoRowAndEveryValueIsNull)
{
    start_with(200000);
    every_type_table("T", false);
    clear_records();
    open("T");
    EXPECT_EQ(req.status, ROW_NO_ROW);
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(bells, 0);
    for (int c = 0; c < OB_ROW_COLUMNS; c++) {
        EXPECT_EQ(req.nulls[c], 1) << c;
        EXPECT_EQ(req.lengths[c], 0) << c;
    }
    // The pointers still lead into a row an insert can fill.
    EXPECT_NE(req.values[LV], nullptr);

    // Request 0 changes nothing and says so on standard error.
    clear_records();
    qykit::StderrCapture err;
    run(ROW_REQ_NONE);
    EXPECT_EQ(err.stop(), "Warning! ObRow. Editor request was NONE!\n");
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(req.status, ROW_NO_ROW);
}

// ---- sizes ----------------------------------------------------------------------------------

TEST_F(RowEditor, ARowTooBigForTheBufferIsNeverFetchedUntilTheNextOpen)
{
    start_with(10240);
    wide_table();
    ok("CREATE ITEM S AS STRING(8)");
    ok("CREATE NARROW[10] AS K PRIMARY,S NULL");
    ok("SELECT 1 AS K FROMVAR TO NARROW");
    read();
    clear_records();
    open("WIDE");
    EXPECT_EQ(req.status, ROW_TOO_BIG);
    EXPECT_EQ(obrow_row_size(), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"DISPLAY * FROM WIDE"}));
    for (int r : {ROW_REQ_FIRST, ROW_REQ_NEXT, ROW_REQ_FIND, ROW_REQ_UPDATE, ROW_REQ_INSERT, ROW_REQ_DELETE,
                  ROW_REQ_CURRENT, ROW_REQ_CLOSE}) {
        req.status = ROW_HELD;
        run(r);
        EXPECT_EQ(req.status, ROW_TOO_BIG) << r;
    }
    EXPECT_EQ(texts().size(), 1u);
    EXPECT_TRUE(asked.empty());

    // Another open starts afresh.
    safe_strcpy(req.table, "NARROW", sizeof req.table - 1);
    run(ROW_REQ_OPEN);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 1);
}

TEST_F(RowEditor, ThreeHundredColumnsOpenAndMoreAreRefused)
{
    start_with(200000);
    tables_of_300_and_301_columns("SHORT(4)");
    ok("SELECT 5 AS I001,7 AS I300 FROMVAR TO C300");
    ok("SELECT 6 AS I001,8 AS I301 FROMVAR TO C301");
    read();
    open("C300");
    ASSERT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(short_at(0), 5);
    EXPECT_EQ(short_at(299), 7);
    EXPECT_EQ(req.nulls[1], 1);

    // A descriptor table wider than the request is never mapped.
    open("C301");
    EXPECT_EQ(req.status, ROW_TOO_BIG);
    run(ROW_REQ_FIRST);
    EXPECT_EQ(req.status, ROW_TOO_BIG);
}

// ---- changes ----------------------------------------------------------------------------------

TEST_F(RowEditor, UpdateWritesTheHeldRowAndKeepsBlobsWhateverRanMeanwhile)
{
    start_with(200000);
    every_type_table();
    open("T");
    Rows before = wstest::read_full(std::string("DISPLAY ") + ALL + " FROM T WHERE K=1");
    ASSERT_EQ(before.size(), 1u);
    ok("PRINT BLOB " + blob_name(P) + " TO '" + dir + "/before'");
    ASSERT_EQ(vxtest::read_file(dir + "/before"), std::string("first\0blob", 10));

    // Change a value, then let other queries overwrite the shared buffer.
    set_short(SH, 1234);
    EXPECT_EQ(print("'" + std::string(200, 'x') + "'").substr(0, 3), "xxx");
    wstest::read_full("DISPLAY K, S FROM T WHERE K=3");
    clear_records();
    run(ROW_REQ_UPDATE);
    EXPECT_EQ(texts(), (std::vector<std::string>{"UPDATE CURRENT FROM T", "FETCH CURRENT FROM T"}));
    EXPECT_TRUE(qykit::boxes().empty());
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(short_at(SH), 1234);

    Rows after = wstest::read_full(std::string("DISPLAY ") + ALL + " FROM T WHERE K=1");
    before[0][SH] = "1234";
    EXPECT_EQ(after, before);
    ok("PRINT BLOB " + blob_name(P) + " TO '" + dir + "/after'");
    EXPECT_EQ(vxtest::read_file(dir + "/after"), std::string("first\0blob", 10));

    // Nulls go back through the flags: row 2's short and array get values,
    // row 1's string becomes null.
    run(ROW_REQ_NEXT);
    ASSERT_EQ(long_at(K), 2);
    req.nulls[SH] = 0;
    set_short(SH, -5);
    req.nulls[LV] = 0;
    req.lengths[LV] = 3;
    for (int i = 0; i < 3; i++)
        memcpy(static_cast<unsigned char *>(req.values[LV]) + 4 * i, &i, 4);
    run(ROW_REQ_UPDATE);
    run(ROW_REQ_FIRST);
    req.nulls[S] = 1;
    run(ROW_REQ_UPDATE);
    EXPECT_EQ(req.nulls[S], 1);
    Rows got = wstest::read_full("DISPLAY K, S, SH, LV FROM T");
    EXPECT_EQ(got, (Rows{{"1", "NULL", "1234", "5:6"}, {"2", "plain", "-5", "0:1:2"}, {"3", "z", "32000", "1:2:3:4"}}));
}

TEST_F(RowEditor, AFailedUpdateIsShownAndTheCurrentRowReadAgain)
{
    start_with(200000);
    every_type_table();
    open("T");
    run(ROW_REQ_NEXT);
    // Row 2 cannot take row 3's key.
    set_long(K, 3);
    clear_records();
    run(ROW_REQ_UPDATE);
    EXPECT_EQ(qykit::boxes().size(), 1u);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 2);
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM T"), (Rows{{"1"}, {"2"}, {"3"}}));
}

TEST_F(RowEditor, InsertWritesTheHeldRowAsANewOneAndCountsTheRowsAgain)
{
    start_with(200000);
    every_type_table();
    open("T");
    TableObject box("T");
    box.data.rows = -1;
    DictRelation *rel = obdict_ob_find_table("T");
    ASSERT_NE(rel, nullptr);
    rel->table_object = &box.object;
    // The dictionary must not outlive the box with a link to it.
    std::unique_ptr<DictRelation, void (*)(DictRelation *)> unlink(rel, [](DictRelation *r) { r->table_object = nullptr; });
    run(ROW_REQ_LAST);
    set_long(K, 10);
    safe_strcpy(static_cast<char *>(req.values[S]), "new", 12);
    clear_records();
    run(ROW_REQ_INSERT);
    EXPECT_EQ(texts().front(), "WRITE * TO T");
    EXPECT_EQ(texts().back(), "FETCH CURRENT FROM T");
    // The table box's row count is read again.
    EXPECT_EQ(box.data.rows, 4);
    EXPECT_TRUE(qykit::boxes().empty());
    // The current row is still the one before the insert.
    EXPECT_EQ(long_at(K), 3);
    Rows got = wstest::read_full("DISPLAY K, S, LV FROM T WHERE K=10");
    EXPECT_EQ(got, (Rows{{"10", "new", "1:2:3:4"}}));

    // Into an empty table, from the empty row.
    ok("CLEAR T");
    run(ROW_REQ_FIRST);
    ASSERT_EQ(req.status, ROW_NO_ROW);
    req.nulls[K] = 0;
    set_long(K, 42);
    run(ROW_REQ_INSERT);
    EXPECT_EQ(wstest::read_full("DISPLAY K, S, LV FROM T"), (Rows{{"42", "NULL", "NULL"}}));
    EXPECT_EQ(box.data.rows, 1);
}

TEST_F(RowEditor, DeleteAsksFirstAndReadsTheCurrentRowEitherWay)
{
    start_with(200000);
    every_type_table();
    open("T");
    TableObject box("T");
    DictRelation *rel = obdict_ob_find_table("T");
    ASSERT_NE(rel, nullptr);
    rel->table_object = &box.object;
    std::unique_ptr<DictRelation, void (*)(DictRelation *)> unlink(rel, [](DictRelation *r) { r->table_object = nullptr; });
    run(ROW_REQ_NEXT);

    answer = 0;
    clear_records();
    run(ROW_REQ_DELETE);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].type, OB_BOX_CONFIRM);
    EXPECT_EQ(asked[0].set, 63);
    EXPECT_EQ(asked[0].number, 6);
    EXPECT_NE(asked[0].text.find("T"), std::string::npos);
    EXPECT_FALSE(sent("DELETE CURRENT FROM T"));
    EXPECT_EQ(texts().back(), "FETCH CURRENT FROM T");
    EXPECT_EQ(long_at(K), 2);
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM T").size(), 3u);

    answer = 1;
    clear_records();
    run(ROW_REQ_DELETE);
    EXPECT_TRUE(sent("DELETE CURRENT FROM T"));
    EXPECT_EQ(texts().back(), "FETCH CURRENT FROM T");
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM T"), (Rows{{"1"}, {"3"}}));
    EXPECT_EQ(box.data.rows, 2);
    EXPECT_EQ(req.status, ROW_HELD);
    EXPECT_EQ(long_at(K), 3);

    // The last rows go; then there is no row.
    run(ROW_REQ_DELETE);
    run(ROW_REQ_DELETE);
    EXPECT_EQ(wstest::read_full("DISPLAY K FROM T").size(), 0u);
    EXPECT_EQ(req.status, ROW_NO_ROW);
    EXPECT_EQ(req.nulls[K], 1);
}

// ---- the row-edit and transfer classes ---------------------------------------------------------

struct Line {
    int written, rejected, stopped;
    bool operator==(const Line &) const = default;
};
std::vector<Line> statuses;
void on_status(int w, int r, int s) { statuses.push_back({w, r, s}); }
const WsXferUser status_user{nullptr, nullptr, nullptr, on_status};

class Actions : public RowEditor {
protected:
    void classes()
    {
        obmain_initialise_classes();
        statuses.clear();
        wsxfer_set_user(&status_user);
    }
    void TearDown() override
    {
        wsxfer_set_user(nullptr);
        wsmgr_ws_reset_manager();
        dlmain_clear_dialogs();
        wstest::stand_in_clear();
        RowEditor::TearDown();
    }
    void stand_in_forms()
    {
        dlmain_clear_dialogs();
        wsmgr_workspace_manager_init(nullptr);
        wsmgr_ws_set_validation(1);
        // The row edit and transfer forms.
        wstest::stand_in_dialog(20);
        wstest::stand_in_dialog(22);
    }
    // Apply on the open form; the manager's answer (1: done).
    template <class T>
    int apply_form(std::function<void(T &)> fill)
    {
        wstest::stand_in_fill(fill);
        const int id = wsmgr_ws_enquire_current_dialog_id();
        EXPECT_GE(id, 0);
        if (id < 0)
            return -1;
        DialogRecord &r = dlmain_dialogs[static_cast<size_t>(id)];
        int done = 0;
        r.apply(&r, &done);
        return done;
    }
    const std::vector<unsigned char> &form() const { return wstest::stand_in_form().shown; }
    const ObRowEditData &shown_row() const { return *reinterpret_cast<const ObRowEditData *>(form().data()); }
    const ObClass &edit() const { return obmain_object_class[OB_ROWEDIT]; }
    const ObClass &xfer() const { return obmain_object_class[OB_TRANSFER]; }
    int permit(const ObClass &c, QueryObject *drop)
    {
        int result = -1;
        c.permit(drop, 0, &result);
        return result;
    }
    std::vector<int> errors_seen() const
    {
        std::vector<int> v;
        for (const Asked &a : asked)
            v.push_back(a.set * 100 + a.number);
        return v;
    }
};

TEST_F(Actions, RowEditNewvalPermitAndCreateRunTheEditor)
{
    start_with(200000);
    every_type_table();
    classes();
    TableObject t("T");

    void *value = nullptr;
    edit().newval(&value, &t.object);
    auto *v = static_cast<ObRowEditData *>(value);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, OB_ROWEDIT);
    EXPECT_STREQ(v->table, "T");
    EXPECT_EQ(v->columns, obdict_ob_find_table("T")->columns);
    EXPECT_EQ(v->append_ok, 1);
    EXPECT_EQ(v->update_ok, 1);
    EXPECT_EQ(v->status, ROW_NO_ROW);
    EXPECT_EQ(v->request, ROW_REQ_NONE);
    EXPECT_EQ(permit(edit(), &t.object), 0);

    // The form's Apply: create with the request set; nothing is kept.
    v->request = ROW_REQ_OPEN;
    QueryObject *made = &t.object;
    edit().create(&made, v, 0, 0, &t.object);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(v->status, ROW_HELD);
    EXPECT_EQ(v->request, ROW_REQ_NONE);
    EXPECT_EQ(*static_cast<int32_t *>(v->values[K]), 1);
    v->request = ROW_REQ_NEXT;
    edit().create(&made, v, 0, 0, nullptr);
    EXPECT_EQ(*static_cast<int32_t *>(v->values[K]), 2);
    edit().create(&made, nullptr, 0, 0, nullptr);  // dismissed
    EXPECT_TRUE(asked.empty());

    // Without a table: nothing to edit and no permissions.
    edit().newval(&value, nullptr);
    EXPECT_STREQ(v->table, "");
    EXPECT_EQ(v->columns, nullptr);
    EXPECT_EQ(v->append_ok + v->update_ok, 0);
    EXPECT_EQ(v->condition[0], 0);
}

TEST_F(Actions, TheToolsOpenTheirFormsAndApplyRunsTheActions)
{
    start_with(200000);
    every_type_table();
    classes();
    stand_in_forms();
    TableObject t("T");
    ObPoint at{40, 40};

    // The row edit tool dropped on T: the form shows the request for T;
    // each Apply runs the editor with the request the form set, and the
    // form shows the row held.
    wsmgr_ws_perform_create(20, &at, &t.object);
    ASSERT_EQ(wsmgr_ws_enquire_current_dialog_id(), 20);
    ASSERT_EQ(form().size(), sizeof(ObRowEditData));
    EXPECT_STREQ(shown_row().table, "T");
    EXPECT_EQ(shown_row().status, ROW_NO_ROW);
    EXPECT_EQ(apply_form<ObRowEditData>([](ObRowEditData &v) { v.request = ROW_REQ_OPEN; }), 1);
    EXPECT_EQ(shown_row().status, ROW_HELD);
    EXPECT_EQ(*static_cast<const int32_t *>(shown_row().values[K]), 1);
    apply_form<ObRowEditData>([](ObRowEditData &v) { v.request = ROW_REQ_NEXT; });
    EXPECT_EQ(*static_cast<const int32_t *>(shown_row().values[K]), 2);
    apply_form<ObRowEditData>([](ObRowEditData &v) {
        v.request = ROW_REQ_FIND;
        safe_strcpy(v.condition, "K = 3", sizeof v.condition - 1);
    });
    EXPECT_EQ(*static_cast<const int32_t *>(shown_row().values[K]), 3);
    EXPECT_STREQ(shown_row().condition, "K = 3");
    apply_form<ObRowEditData>([](ObRowEditData &v) {
        v.request = ROW_REQ_UPDATE;
        safe_strcpy(static_cast<char *>(v.values[S]), "applied", 12);
    });
    EXPECT_EQ(wstest::read_full("DISPLAY S FROM T WHERE K=3"), (Rows{{"applied"}}));
    EXPECT_EQ(wsmgr_ws_enquire_current_object(), nullptr);
    EXPECT_TRUE(asked.empty());
    wsmgr_ws_reset_manager();

    // The transfer tool: Apply unloads.
    const std::string file = dir + "/applied.txt";
    wsmgr_ws_perform_create(22, &at, &t.object);
    ASSERT_EQ(wsmgr_ws_enquire_current_dialog_id(), 22);
    ASSERT_EQ(form().size(), sizeof(ObTransferData));
    EXPECT_EQ(apply_form<ObTransferData>([&file](ObTransferData &r) {
                  r.direction = XFER_UNLOAD;
                  safe_strcpy(r.path, file.c_str(), sizeof r.path - 1);
                  safe_strcpy(r.delimiter, ",", sizeof r.delimiter - 1);
                  r.terminator = XFER_LF;
              }),
              1);
    const std::string written = vxtest::read_file(file);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
    EXPECT_NE(written.find("applied"), std::string::npos);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), (Line{-1, -1, 0}));
}

TEST_F(Actions, RowEditRefusesTablesWiderThanTheRequest)
{
    start_with(200000);
    tables_of_300_and_301_columns("BYTE(3)");
    read();
    classes();
    TableObject c300("C300"), c301("C301");
    EXPECT_EQ(permit(edit(), &c300.object), 0);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(permit(edit(), &c301.object), 2);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6235}));
}

TEST_F(Actions, RowEditCreateSaysWhenARowDoesNotFitTheBuffer)
{
    start_with(10240);
    wide_table();
    read();
    classes();
    TableObject wide("WIDE");
    EXPECT_EQ(permit(edit(), &wide.object), 0);
    void *value = nullptr;
    edit().newval(&value, &wide.object);
    auto *v = static_cast<ObRowEditData *>(value);
    v->request = ROW_REQ_OPEN;
    QueryObject *made = nullptr;
    edit().create(&made, v, 0, 0, &wide.object);
    EXPECT_EQ(v->status, ROW_TOO_BIG);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6234}));
    v->request = ROW_REQ_FIRST;
    edit().create(&made, v, 0, 0, nullptr);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6234, 6234}));
}

TEST_F(Actions, TransferNewvalKeepsTheLastRequestAndCreateRunsIt)
{
    start_with(200000);
    every_type_table();
    ok("CREATE U[100] AS K PRIMARY,S NULL,SH NULL,R NULL,D NULL,TM NULL,C NULL,B NULL,CH NULL,SR NULL,TI NULL,"
       "LA NULL,LV NULL");
    read();
    classes();
    TableObject t("T"), u("U");

    void *value = nullptr;
    xfer().newval(&value, &t.object);
    auto *r = static_cast<ObTransferData *>(value);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, OB_TRANSFER);
    EXPECT_STREQ(r->table, "T");

    // An unload of T through create: nothing is kept, the
    // status line is cleared first and shows the rows.
    const std::string file = dir + "/t.txt";
    r->direction = XFER_UNLOAD;
    safe_strcpy(r->path, file.c_str(), sizeof r->path - 1);
    safe_strcpy(r->delimiter, ";", sizeof r->delimiter - 1);
    r->terminator = XFER_LF;
    int valid = -1;
    xfer().validate(r, 1, &valid);
    EXPECT_EQ(valid, 1);
    QueryObject *made = &t.object;
    xfer().create(&made, r, 0, 0, &t.object);
    EXPECT_EQ(made, nullptr);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), (Line{-1, -1, 0}));
    EXPECT_EQ(statuses.back(), (Line{3, 0, 0}));
    const std::string written = vxtest::read_file(file);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);

    // The next request keeps those fields and takes the new table's name.
    xfer().newval(&value, &u.object);
    EXPECT_STREQ(r->table, "U");
    EXPECT_EQ(r->direction, XFER_UNLOAD);
    EXPECT_STREQ(r->path, file.c_str());
    EXPECT_STREQ(r->delimiter, ";");
    xfer().newval(&value, nullptr);
    EXPECT_STREQ(r->table, "");
    EXPECT_STREQ(r->path, file.c_str());
}

TEST_F(Actions, PerformTransferRunsALoadAndAnUnloadEndToEnd)
{
    start_with(200000);
    ok("CREATE ITEM K AS LONG(8)");
    ok("CREATE ITEM S AS STRING(8)");
    ok("CREATE A[10] AS K PRIMARY,S NULL");
    read();
    classes();
    vxtest::write_file(dir + "/in.txt", "1,one\n2,\n3,three\n");
    ObTransferData r;
    xfer_default_request(&r);
    safe_strcpy(r.table, "A", sizeof r.table - 1);
    safe_strcpy(r.path, (dir + "/in.txt").c_str(), sizeof r.path - 1);
    safe_strcpy(r.delimiter, ",", sizeof r.delimiter - 1);
    r.terminator = XFER_LF;
    EXPECT_EQ(obie_ob_perform_transfer(&r), XFER_DONE);
    EXPECT_EQ(wstest::read_full("DISPLAY K, S FROM A"), (Rows{{"1", "one"}, {"2", "NULL"}, {"3", "three"}}));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), (Line{-1, -1, 0}));
    EXPECT_EQ(statuses.back(), (Line{3, 0, 0}));

    statuses.clear();
    r.direction = XFER_UNLOAD;
    safe_strcpy(r.path, (dir + "/out.txt").c_str(), sizeof r.path - 1);
    EXPECT_EQ(obie_ob_perform_transfer(&r), XFER_DONE);
    EXPECT_EQ(vxtest::read_file(dir + "/out.txt"), "1,one\n2,\n3,three\n");
    EXPECT_EQ(statuses.front(), (Line{-1, -1, 0}));
    EXPECT_EQ(statuses.back(), (Line{3, 0, 0}));
}

// ---- as GUEST on the demo database ---------------------------------------------------------------

class Guest : public Actions {
protected:
    void SetUp() override
    {
        Actions::SetUp();
        wstest::ensure_demo();
        start("GUEST");
        ok("SET %PASS 'GUEST'");
        ok("OPEN DEMO");
        ASSERT_EQ(wsdict_ws_read_dictionary("DEMO"), 1);
        asked.clear();
        obbox_set_watcher(watch);
        wsevent_ws_set_bell(count_bell);
        classes();
    }
    void TearDown() override
    {
        obbox_set_watcher(nullptr);
        wsevent_ws_set_bell(nullptr);
        Actions::TearDown();
    }
};

TEST_F(Guest, SeesOnlyTheRowsOfItsRestriction)
{
    TableObject staff("STAFF");
    EXPECT_EQ(permit(edit(), &staff.object), 0);
    void *value = nullptr;
    edit().newval(&value, &staff.object);
    auto *v = static_cast<ObRowEditData *>(value);
    EXPECT_EQ(v->append_ok, 0);
    EXPECT_EQ(v->update_ok, 0);
    v->request = ROW_REQ_OPEN;
    QueryObject *made = nullptr;
    edit().create(&made, v, 0, 0, &staff.object);
    ASSERT_EQ(v->status, ROW_HELD);
    // EMPNO, ENAME, DEPTNO: walk to the end.
    std::vector<int> employees;
    for (int guard = 0; guard < 1000 && bells == 0; guard++) {
        int16_t dept;
        memcpy(&dept, v->values[2], 2);
        EXPECT_EQ(dept, 10);
        int32_t emp;
        memcpy(&emp, v->values[0], 4);
        if (employees.empty() || employees.back() != emp)
            employees.push_back(emp);
        v->request = ROW_REQ_NEXT;
        edit().create(&made, v, 0, 0, nullptr);
    }
    EXPECT_EQ(bells, 1);
    Rows seen = wstest::read_full("DISPLAY EMPNO FROM STAFF");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(employees.size(), seen.size());
    EXPECT_TRUE(asked.empty());

    // Changes the privilege does not allow are the interpreter's to refuse:
    // shown, and the row read again.
    for (int request : {ROW_REQ_UPDATE, ROW_REQ_INSERT}) {
        qykit::boxes().clear();
        v->request = request;
        edit().create(&made, v, 0, 0, nullptr);
        EXPECT_EQ(qykit::boxes().size(), 1u) << request;
        EXPECT_EQ(v->status, ROW_HELD) << request;
    }
    EXPECT_EQ(wstest::read_full("DISPLAY EMPNO FROM STAFF"), seen);

    // Close releases the table of a database open for shared use.
    qykit::sent().clear();
    v->request = ROW_REQ_CLOSE;
    edit().create(&made, v, 0, 0, nullptr);
    EXPECT_EQ(texts(), (std::vector<std::string>{"UNUSE STAFF"}));
}

TEST_F(Guest, MayUnloadButNotLoadARestrictedTable)
{
    TableObject staff("STAFF");
    EXPECT_EQ(permit(xfer(), &staff.object), 0);
    EXPECT_TRUE(asked.empty());
    void *value = nullptr;
    xfer().newval(&value, &staff.object);
    auto *r = static_cast<ObTransferData *>(value);
    struct Case {
        int direction, overwrite, valid;
    } cases[] = {
        // An unload never reads the overwrite switch.
        {XFER_UNLOAD, 0, 1},
        {XFER_UNLOAD, 1, 1},
        {XFER_UNLOAD, 0x7fffffff, 1},
        {XFER_LOAD, 0, 0},
        {XFER_LOAD, 1, 0},
    };
    for (const Case &c : cases) {
        asked.clear();
        r->direction = c.direction;
        r->overwrite = c.overwrite;
        int valid = -1;
        xfer().validate(r, 1, &valid);
        EXPECT_EQ(valid, c.valid) << c.direction << " " << c.overwrite;
        EXPECT_EQ(errors_seen(), c.valid ? std::vector<int>{} : std::vector<int>{6225});
    }
    // Apply of a load on the transfer form is refused the same way, and
    // the form stays open; nothing is sent.
    stand_in_forms();
    ObPoint at{10, 10};
    wsmgr_ws_perform_create(22, &at, &staff.object);
    ASSERT_EQ(wsmgr_ws_enquire_current_dialog_id(), 22);
    asked.clear();
    qykit::sent().clear();
    EXPECT_EQ(apply_form<ObTransferData>([](ObTransferData &t) { t.direction = XFER_LOAD; }), 0);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6225}));
    EXPECT_TRUE(texts().empty());
    EXPECT_EQ(wsmgr_ws_enquire_current_dialog_id(), 22);
    wsmgr_ws_reset_manager();

    // A table the user may not read at all is refused at the drop.
    TableObject none("NOSUCH");
    asked.clear();
    EXPECT_EQ(permit(xfer(), &none.object), 2);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6225}));
    asked.clear();
    EXPECT_EQ(permit(edit(), &none.object), 2);
    EXPECT_EQ(errors_seen(), (std::vector<int>{6232}));
}

// The blob write specification of none is the zero token, whatever the
// descriptor held there before.
TEST(BlobWriteSpec, NoneWritesTheZeroToken)
{
    DozBlobDesc d;
    memset(&d, 0x5a, sizeof d);
    doz_set_blob_write_spec(&d, nullptr);
    const auto *b = reinterpret_cast<const unsigned char *>(&d);
    for (int i = 0; i < 36; i++)
        EXPECT_EQ(b[i], i >= 16 && i < 24 ? 0 : 0x5a) << i;
}

}  // namespace
