// Databases and queries through the client library against the installed
// interpreter: the dictionary reads in their exact one-buffer layouts, the
// dictionary questions and settings, the database list, results larger
// than one buffer, text variables, and a database reopened after its
// interpreter was killed in the middle of a statement.

#include "dozrow.h"
#include "dozvalue.h"
#include "qytest.h"
#include "vxtest.h"
#include "vxutil.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

using qytest::Interpreter;

namespace {

constexpr uint32_t SIMPLE = DOZ_M_WAIT;
constexpr uint32_t FULL = DOZ_M_FULL | DOZ_M_WAIT;
constexpr uint32_t NOEVAL = DOZ_M_WAIT | DOZ_M_NOEVAL;

int status_at(int cid, int i)
{
    int st[6] = {};
    doz_get_qstatus(cid, st);
    return st[i];
}

std::string codes(int cid)
{
    return std::to_string(status_at(cid, 1)) + "/" + std::to_string(status_at(cid, 2)) + "/" +
           std::to_string(status_at(cid, 3));
}

// Rows of the Full-mode buffers, as raw bytes per row.
struct Got {
    std::vector<DozColDesc> table;
    DozLayout layout;
    std::vector<std::vector<unsigned char>> rows;
    std::vector<int> per_buffer;
} got;

// The reader of the connection's result buffer.
DozReader reader;

void collect(int cid, int rows)
{
    got.per_buffer.push_back(rows);
    init_buffer(reader, doz_get_qbuffer(cid), static_cast<size_t>(doz_get_qbuffersize(cid)));
    int had = 0;
    if (empty_buffer(reader) || prepare_buffer(reader, &had) != 0)
        return;
    if (had) {
        got.table = tinfo_table(reader);
        doz_layout(got.table, true, got.layout);
    }
    for (int k = 0; k < rows; k++) {
        const unsigned char *at = buffer_cursor(reader);
        got.rows.emplace_back(at, at + got.layout.row_size);
        set_buffer_cursor(reader, buffer_cursor(reader) + got.layout.row_size);
        align_row(reader);
    }
}

class Database : public Interpreter {
  protected:
    int cid = -1;
    std::string name, where;
    unsigned char *b = nullptr;

    void SetUp() override
    {
        Interpreter::SetUp();
        char n[16];
        snprintf(n, sizeof n, "T%05X", static_cast<unsigned>(getpid()) & 0xfffffu);
        name = n;
        where = vxtest::temp_dir("dozclient");
        cid = qytest::start();
        ASSERT_GE(cid, 0);
        b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
        ok("CREATE DATABASE " + name + " ON '" + where + "'");
        ok("OPEN " + name + " EXCLUSIVE");
        ok("CREATE ITEM NAME AS STRING(10)");
        ok("CREATE ITEM N AS LONG(9)");
        ok("CREATE ITEM V ALIAS VALS AS REAL(12,2)[2,3]");
        ok("CREATE EMP[50] AS NAME PRIMARY,N NULL ,V NULL CONFIGURE AS FIXED CACHED CHAINED ON 'dbfiles'");
    }
    void TearDown() override
    {
        if (cid >= 0 && !doz_dead(cid)) {
            doz_querym(cid, "CLOSE", SIMPLE);
            doz_querym(cid, ("DROP DATABASE " + name).c_str(), SIMPLE);
        }
        Interpreter::TearDown();
        std::filesystem::remove_all(where);
    }
    void ok(const std::string &text, uint32_t modes = SIMPLE)
    {
        ASSERT_EQ(doz_querym(cid, text.c_str(), modes), 0) << text;
        ASSERT_EQ(doz_error(cid), 0) << text << ": " << codes(cid);
    }
    std::string run(const std::string &text, uint32_t modes = SIMPLE)
    {
        if (doz_querym(cid, text.c_str(), modes) != 0)
            return "not sent";
        return doz_error(cid) ? codes(cid) : "ok";
    }
    int rows() { return status_at(cid, DOZ_ST_ROWS); }
    std::string str(size_t at) { return reinterpret_cast<const char *>(b + at); }
    int32_t l32(size_t at)
    {
        int32_t v;
        memcpy(&v, b + at, 4);
        return v;
    }
    int16_t s16(size_t at)
    {
        int16_t v;
        memcpy(&v, b + at, 2);
        return v;
    }
    // Doubles a one-column table of N values (0, 1, ...) `times` times.
    void numbers(const std::string &table, int times)
    {
        ok("SELECT 0 AS N FROMVAR TO " + table);
        for (int i = 0, k = 1; i < times; i++, k *= 2)
            ok("SELECT N+" + std::to_string(k) + " AS N FROM " + table + " TO " + table);
    }
};

TEST_F(Database, DictionaryReadsHaveTheirExactOneBufferLayouts)
{
    ok("SELECT 'ANN' AS NAME,7 AS N FROMVAR TO EMP");
    ok("CREATE ITEM %FIQL AS BYTE(3)");

    // C1: relations by name, the system relations among them.
    ok("DISPLAY %RNAME,%MAXSIZE,%DLOC, \t\t SYSINFO(%DLOC,%DNAME,'FIXED'), \t\t SYSINFO(%DLOC,%DNAME,'STRUCTURE'), "
       "\t\t SYSINFO(%DLOC,%DNAME,'REQMEM'), \t\t SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t SEQUENCE BY %RNAME");
    ASSERT_EQ(rows(), 8);
    EXPECT_EQ(doz_get_data_bytes(cid), 8u * 52);
    std::vector<std::string> names;
    for (int r = 0; r < 8; r++)
        names.push_back(str(r * 52u));
    EXPECT_EQ(names, (std::vector<std::string>{"%COLS", "%INDEXES", "%ITEMS", "%KEYS", "%PRIVS", "%RELATNS",
                                               "%USERS", "EMP"}));
    const size_t emp = 7 * 52;
    EXPECT_EQ(l32(emp + 12), 50);
    EXPECT_EQ(str(emp + 16), "dbfiles");
    EXPECT_EQ(l32(emp + 36), 1) << "FIXED";
    EXPECT_EQ(l32(emp + 40), 1) << "CHAINED";
    EXPECT_EQ(l32(emp + 44), 1) << "CACHED";
    EXPECT_EQ(l32(emp + 48), 1) << "rows now";

    // C2: items by name, with the dimensions as a fixed LONG[8] field.
    ok("DISPLAY %INAME,%ALIAS,%ITYPE,%ILEN,%IFRAC,\t\t\t%IARR,%INDIMS,%IDIMS FROM %ITEMS SEQUENCE BY %INAME");
    EXPECT_EQ(doz_get_data_bytes(cid), static_cast<uint32_t>(rows()) * 76u);
    size_t v = 0;
    for (int r = 0; r < rows(); r++)
        if (str(r * 76u) == "V")
            v = r * 76u;
    ASSERT_NE(v, 0u);
    EXPECT_EQ(str(v + 13), "VALS");
    EXPECT_EQ(s16(v + 26), 3);
    EXPECT_EQ(l32(v + 28), 12);
    EXPECT_EQ(l32(v + 32), 2);
    EXPECT_EQ(l32(v + 36), 6);
    EXPECT_EQ(s16(v + 40), 2);
    EXPECT_EQ(l32(v + 44), 2);
    EXPECT_EQ(l32(v + 48), 3);
    EXPECT_EQ(str(0), "%ACCESS") << "items sorted by name";

    // C3 and C8, C9: users; the result prefix; the root.
    ok("DISPLAY %UNAME,%ACCESS FROM %USERS");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(doz_get_data_bytes(cid), 34u);
    EXPECT_EQ(str(0), "TESTER");
    EXPECT_EQ(s16(32), 2);
    ok("PRINT RESULT()");
    std::string prefix = str(0);
    EXPECT_EQ(prefix.size(), 4u);
    EXPECT_EQ(prefix.compare(0, 2, "RS"), 0);
    ok("PRINT LOCATE('%ROOT')");
    EXPECT_EQ(str(0), where + "/" + name);

    // C4 and C4': columns grouped by table, in table order.
    ok("DISPLAY %RNAME,%INAME,%KEY,%NULL FROM %COLS");
    ASSERT_GE(rows(), 3);
    EXPECT_EQ(doz_get_data_bytes(cid), static_cast<uint32_t>(rows()) * 24u);
    size_t last = static_cast<size_t>(rows() - 3) * 24;
    EXPECT_EQ(str(last), "EMP");
    EXPECT_EQ(str(last + 9), "NAME");
    EXPECT_EQ(b[last + 22], 1);
    EXPECT_EQ(b[last + 23], 0);
    EXPECT_EQ(str(last + 24 + 9), "N");
    EXPECT_EQ(b[last + 24 + 23], 1);
    ok("DISPLAY %INAME,%KEY,%NULL FROM %COLS \t\t\tWHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(doz_get_data_bytes(cid), 45u);
    EXPECT_EQ(str(30), "V");
    EXPECT_EQ(b[13], 1);
    EXPECT_EQ(b[29], 1);

    // C5, C5': privileges of the new table: %DEFAULT and the creator.
    ok("DISPLAY %RNAME,%UNAME,%PRIV, %RESTRICTION FROM %PRIVS");
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(doz_get_data_bytes(cid), 248u);
    ok("DISPLAY %UNAME,%PRIV, %RESTRICTION FROM %PRIVS \t\t\tWHERE %RNAME='EMP'");
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(doz_get_data_bytes(cid), 232u);
    std::set<std::pair<std::string, int>> privs = {{str(0), s16(32)}, {str(116), s16(116 + 32)}};
    EXPECT_EQ(privs, (std::set<std::pair<std::string, int>>{{"%DEFAULT", 1}, {"TESTER", 6}}));
    EXPECT_EQ(str(34), "");

    // C6, C7: indexes by table, keys by table and index, in key order; the
    // row count of CREATE INDEX is the new index's number.
    ok("CREATE INDEX EMP UNIQUE  BY N DESC, NAME NATIVE ON \"idx\"");
    EXPECT_EQ(rows(), 1);
    ok("CREATE INDEX EMP   NOUPDATE BY V");
    EXPECT_EQ(rows(), 2);
    ok("DISPLAY %RNAME,%XNO,%XLOC,%XUNIQUE,%XUPDATE FROM %INDEXES \t\t\tSEQUENCE BY %RNAME");
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(doz_get_data_bytes(cid), 72u);
    EXPECT_EQ(str(0), "EMP");
    EXPECT_EQ(l32(12), 1);
    EXPECT_EQ(str(16), "idx");
    EXPECT_EQ(b[33], 1);
    EXPECT_EQ(b[34], 1);
    EXPECT_EQ(l32(36 + 12), 2);
    EXPECT_EQ(b[36 + 33], 0);
    EXPECT_EQ(b[36 + 34], 0) << "no-update";
    ok("DISPLAY %RNAME,%XNO,%INAME,%KNO,%KASC,%KNATIVE \t\t    FROM %KEYS SEQUENCE BY %RNAME,%XNO");
    ASSERT_EQ(rows(), 3);
    EXPECT_EQ(doz_get_data_bytes(cid), 120u);
    const char *key_names[] = {"N", "NAME", "V"};
    const int key_no[] = {1, 2, 1}, key_asc[] = {0, 1, 1}, key_native[] = {0, 1, 0}, key_index[] = {1, 1, 2};
    for (size_t r = 0; r < 3; r++) {
        EXPECT_EQ(str(r * 40), "EMP");
        EXPECT_EQ(l32(r * 40 + 12), key_index[r]) << r;
        EXPECT_EQ(str(r * 40 + 16), key_names[r]) << r;
        EXPECT_EQ(l32(r * 40 + 32), key_no[r]) << r;
        EXPECT_EQ(b[r * 40 + 36], key_asc[r]) << r;
        EXPECT_EQ(b[r * 40 + 37], key_native[r]) << r;
    }
    ok("DISPLAY %XNO,%XUNIQUE,%XUPDATE FROM %INDEXES \t\t\tWHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(doz_get_data_bytes(cid), 16u);
    EXPECT_EQ(l32(8), 2);
    EXPECT_EQ(b[5], 1);
    ok("DISPLAY %INAME,%KNO,%KASC,%KNATIVE FROM %KEYS \t\t\tWHERE %RNAME='EMP' AND %XNO=1");
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(doz_get_data_bytes(cid), 48u);
    EXPECT_EQ(str(24), "NAME");
    EXPECT_EQ(l32(24 + 16), 2);
    EXPECT_EQ(b[24 + 21], 1);
    ok("DROP INDEX 1 FROM EMP");
    ok("DISPLAY %XNO,%XUNIQUE,%XUPDATE FROM %INDEXES \t\t\tWHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 1);

    // C1' of a result table under its real name.
    ok("SELECT NAME,N FROM EMP");
    ok("RENAME RSLT AS RSLTAB");
    ok("DISPLAY %RNAME,%MAXSIZE,%DLOC, \t\t SYSINFO(%DLOC,%DNAME,'FIXED'), \t\t SYSINFO(%DLOC,%DNAME,'STRUCTURE'), "
       "\t\t SYSINFO(%DLOC,%DNAME,'REQMEM'), \t\t SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS\t\tWHERE %RNAME='" +
       prefix + "AB'");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(str(0), prefix + "AB");
    EXPECT_EQ(l32(48), 1);
}

TEST_F(Database, QuestionsAndSettingsOfTheDictionary)
{
    ok("SELECT 'ANN' AS NAME FROMVAR TO EMP");
    ok("SELECT 'BOB' AS NAME FROMVAR TO EMP");
    // D1 with the result-table form, D2, D3
    ok("DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(l32(0), 2);
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME=RESULT()");
    EXPECT_EQ(rows(), 0);
    ok("SELECT NAME FROM EMP WHERE NAME='BOB'");
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME=RESULT()");
    EXPECT_EQ(rows(), 1);
    ok("DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS \t\t\tWHERE %RNAME=RESULT()+''");
    EXPECT_EQ(l32(0), 1);
    ok("DISPLAY %RNAME FROM %PRIVS WHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 2);

    // D16, D17-D20: parameters and the dictionary files' limits
    ok("%PRINT %MEMSIZE, %DEFPOSTSIZE, %FILELOCKS");
    EXPECT_EQ(l32(0), 4096);
    EXPECT_EQ(l32(4), 64);
    EXPECT_EQ(b[8], 1);
    ok("DEFINE DN %0+STR('__________',1,9-LEN(%0))+%1", DOZ_M_WAIT);
    ok("DEFINE INFO SYSINFO('%ROOT',DN('" + name + "',%0),'MAXRECS')");
    ok("PRINT INFO('m'),INFO('r'),INFO('i'), \t\t\tINFO('c'),INFO('x'),INFO('k'),INFO('u'),INFO('p')");
    const int32_t limits[] = {1000, 1000, 4000, 10000, 1000, 4000, 100, 10000};
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(l32(i * 4u), limits[i]) << i;
    ok("UNDEFINE DN");
    ok("UNDEFINE INFO");

    // D21-D23: system indexes, the dictionary tables' sizes
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='%ITEMS' AND %GOTIX");
    EXPECT_EQ(rows(), 1);
    ok("DROP INDEX FROM %ITEMS");
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='%ITEMS' AND %GOTIX");
    EXPECT_EQ(rows(), 0);
    ok("INDEX %ITEMS");
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='%ITEMS' AND %GOTIX");
    EXPECT_EQ(rows(), 1);
    ok("CONFIGURE %ITEMS[5000] AS EXTENSIBLE");
    EXPECT_EQ(run("CONFIGURE %ITEMS[5000] AS EXTENSIBLE"), "0/0/25") << "a change that changes nothing";
    ok("PRINT SYSINFO('%ROOT','" + name + std::string(9 - name.size(), '_') + "i','MAXRECS')");
    EXPECT_EQ(l32(0), 5000);

    // D24 after CLOSE, then the new settings
    ok("CLOSE");
    ok("CONFIGURE DATABASE " + name + " SET %MEMSIZE 2048 \t\t  SET %DEFPOSTSIZE 16 SET %FILELOCKS FALSE \t\t  SET %MAXFILES 77");
    ok("OPEN " + name + " EXCLUSIVE");
    ok("%PRINT %MEMSIZE, %DEFPOSTSIZE, %FILELOCKS");
    EXPECT_EQ(l32(0), 2048);
    EXPECT_EQ(l32(4), 16);
    EXPECT_EQ(b[8], 0);
}

TEST_F(Database, TheDatabaseListNamesEveryRegisteredDatabase)
{
    char path[512] = "";
    ASSERT_EQ(doz_dumpinfo(cid, 4, path, sizeof path), 0);
    std::ifstream f(path);
    std::string n, loc;
    bool found = false;
    while (f >> n >> loc)
        found |= n == name && loc == where;
    EXPECT_TRUE(found) << path;
    unlink(path);
}

TEST_F(Database, OneBufferResultsNeverComeBackCutShort)
{
    numbers("NUMS", 11);  // 2048 rows
    // more rows than announced without end-of-buffer messages: an error
    EXPECT_EQ(run("DISPLAY N FROM NUMS"), "0/150/0");
    ok("DISPLAY N FROM NUMS WHERE N<1000");
    EXPECT_EQ(rows(), 1000);
    EXPECT_EQ(l32(999 * 4), 999);
    // with them, every row in buffers of at most 1000
    got = Got{};
    doz_set_eob_proc(cid, collect);
    ok("DISPLAY N FROM NUMS SEQUENCE BY N DESC", FULL);
    EXPECT_EQ(rows(), 2048);
    EXPECT_EQ(got.per_buffer, (std::vector<int>{1000, 1000, 48}));
    ASSERT_EQ(got.rows.size(), 2048u);
    int32_t first;
    memcpy(&first, got.rows[0].data() + got.layout.fields[0].value, 4);
    EXPECT_EQ(first, 2047);
}

TEST_F(Database, LongResultsComeWhileTheyAreMadeAndLateFailuresStillFail)
{
    numbers("NUMS", 16);  // 65,536 rows: more than the interpreter holds at once
    got = Got{};
    doz_set_eob_proc(cid, collect);
    ok("DISPLAY N FROM NUMS", FULL);
    EXPECT_EQ(rows(), 65536);
    ASSERT_EQ(got.rows.size(), 65536u);
    bool in_order = true;
    for (size_t i = 0; i < got.rows.size() && in_order; i++) {
        int32_t n;
        memcpy(&n, got.rows[i].data() + got.layout.fields[0].value, 4);
        in_order = n == static_cast<int32_t>(i);
    }
    EXPECT_TRUE(in_order);
    // a row that fails after many buffers went out fails the statement;
    // the rows before it had gone out as they were made
    got = Got{};
    EXPECT_EQ(run("DISPLAY N,100/(N-60000) AS Q FROM NUMS", FULL), "-31/0/0");
    EXPECT_GT(got.rows.size(), 0u);
    EXPECT_LE(got.rows.size(), 60000u);
    // and the interpreter goes on with the next statement as usual
    got = Got{};
    ok("DISPLAY N FROM NUMS WHERE N>=65000", FULL);
    EXPECT_EQ(got.rows.size(), 536u);
    EXPECT_EQ(rows(), 536);
}

TEST_F(Database, TextVariablesAndChecksInFullMode)
{
    ok("SELECT 'ANN' AS NAME,41 AS N FROMVAR TO EMP");
    got = Got{};
    doz_set_eob_proc(cid, collect);
    ok("DISPLAY N+1 FROM EMP", FULL);
    ASSERT_EQ(got.rows.size(), 1u);
    int32_t v;
    memcpy(&v, got.rows[0].data() + got.layout.fields[0].value, 4);
    EXPECT_EQ(v, 42);
    // an unevaluated DISPLAY gives its descriptor table only
    got = Got{};
    ok("DISPLAY NAME,N FROM EMP", FULL | DOZ_M_NOEVAL);
    EXPECT_EQ(got.per_buffer, std::vector<int>{0});
    ASSERT_EQ(got.table.size(), 2u);
    EXPECT_EQ(got.table[0].width, 10);
    // no database: the text variable cannot be asked
    ok("CLOSE");
    EXPECT_EQ(run("PRINT N", FULL), "-104/0/0");
    EXPECT_EQ(run("PRINT N", NOEVAL), "-85/0/0");
    EXPECT_EQ(run("PRINT TD(SYSDATE())", SIMPLE), "ok");
}

std::string question;
int answer_with = 0;
void confirm(const char *q, int *answer)
{
    question = q;
    *answer = answer_with;
}

TEST_F(Database, InteractiveStatementsAskTheClient)
{
    ok("SELECT 'ANN' AS NAME FROMVAR TO EMP");
    doz_set_callback_proc(DOZ_CB_CONFIRM, reinterpret_cast<DozCallback>(confirm));
    answer_with = 0;
    EXPECT_EQ(run("CLEAR EMP", FULL | DOZ_M_INTERACTIVE), "7/0/0");
    EXPECT_NE(question.find("EMP"), std::string::npos) << question;
    ok("DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS WHERE %RNAME='EMP'");
    EXPECT_EQ(l32(0), 1);
    answer_with = 1;
    question.clear();
    ok("DROP EMP", FULL | DOZ_M_INTERACTIVE);
    EXPECT_FALSE(question.empty());
    ok("DISPLAY %RNAME FROM %RELATNS WHERE %RNAME='EMP'");
    EXPECT_EQ(rows(), 0);
    doz_set_callback_proc(DOZ_CB_CONFIRM, nullptr);
}

TEST_F(Database, AKilledInterpreterLeavesWholeStatementsOnly)
{
    numbers("NUMS", 15);  // 32768 rows
    ok("CLOSE");
    const std::string wal = where + "/" + name + "/doz.sqlite-wal";
    auto wal_size = [&] {
        std::error_code ec;
        auto n = std::filesystem::file_size(wal, ec);
        return ec ? 0 : n;
    };
    // Killed at once, and killed once the copy has begun to reach the disc.
    for (int attempt = 0; attempt < 2; attempt++) {
        int victim = qytest::start();
        ASSERT_GE(victim, 0);
        pid_t pid = -1;
        int msq, shm;
        ASSERT_EQ(doz_get_server_details(victim, &pid, &msq, &shm), 0);
        ASSERT_EQ(doz_querym(victim, ("OPEN " + name).c_str(), SIMPLE), 0);
        ASSERT_EQ(doz_error(victim), 0) << codes(victim);
        auto before = wal_size();
        ASSERT_EQ(doz_querym(victim, "SELECT N FROM NUMS TO COPY", DOZ_M_FULL), 0);
        if (attempt == 1)
            vxtest::wait_for([&] { return wal_size() != before; }, std::chrono::seconds(10));
        kill(pid, SIGKILL);
        ASSERT_TRUE(vxtest::wait_for([&] { return waitpid(pid, nullptr, WNOHANG) == pid || kill(pid, 0) != 0; },
                                     std::chrono::seconds(10)));
        doz_term(victim);
        ok("OPEN " + name);
        ASSERT_EQ(run("DISPLAY SYSINFO(%DLOC,%DNAME,'SIZE') FROM %RELATNS WHERE %RNAME='COPY'"), "ok");
        if (rows() == 1) {
            EXPECT_EQ(l32(0), 32768) << "all of the statement or none of it";
            ok("DROP COPY");
        }
        ok("CLOSE");
    }
}

}  // namespace

// A load's batch, the row editor's fetch and update, and a blob written
// with its row that comes back byte for byte, also after an update that
// does not touch it.
TEST_F(Database, PackedRowsCarryBlobsThatSurviveUpdates)
{
    constexpr uint32_t WRITE = DOZ_M_FLAGS | DOZ_M_WAIT;
    ok("CREATE ITEM PIC AS BLOB CLASS 3");
    ok("CREATE PICS[100] AS NAME PRIMARY,N NULL ,PIC NULL CONFIGURE AS EXTENSIBLE NOCACHED SLOTTED");
    std::string bytes;
    for (int i = 0; i < 70000; i++)
        bytes += static_cast<char>((i * 7 + i / 256) & 0xff);
    std::string blob_file = where + "/in.bin";
    std::ofstream(blob_file, std::ios::binary) << bytes;

    std::vector<DozColDesc> cols(3);
    cols[0] = DozColDesc{DOZ_T_STRING, 10, -1, {}, 0, "NAME"};
    cols[1] = DozColDesc{DOZ_T_LONG, 9, -1, {}, 0, "N"};
    cols[2] = DozColDesc{DOZ_T_BLOB, 3, -1, {}, 0, "PIC"};
    DozLayout layout;
    ASSERT_TRUE(doz_layout(cols, true, layout));
    DozBlobWriteSpec spec{};
    spec.kind = 1;
    snprintf(spec.path, sizeof spec.path, "%s", blob_file.c_str());
    auto pack = [&](int at, const char *n, int32_t v, bool with_blob, bool blob_present) {
        unsigned char *row = b + static_cast<size_t>(at) * static_cast<size_t>(layout.row_size);
        doz_put(row, layout.fields[0], n, 1, true);
        doz_put(row, layout.fields[1], &v, 1, true);
        DozBlobDesc d{};
        if (with_blob)
            doz_set_blob_write_spec(&d, &spec);
        doz_put(row, layout.fields[2], &d, 1, blob_present);
    };
    // three rows, one repeating a key: two written, one rejected
    memset(b, 0, static_cast<size_t>(layout.row_size) * 3);
    pack(0, "ANN", 1, true, true);
    pack(1, "BOB", 2, false, false);
    pack(2, "ANN", 3, false, false);
    ASSERT_EQ(doz_set_buffer_rows(cid, 3), 0);
    ok("WRITE NAME, N, PIC TO PICS", WRITE);
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(status_at(cid, 5), 1);
    doz_set_buffer_rows(cid, 1000);

    // the row editor: the first row comes back at offset 0 in the Write layout
    ok("FETCH FIRST FROM PICS", WRITE);
    EXPECT_EQ(rows(), 1);
    int n = 0;
    bool present = false;
    EXPECT_STREQ(reinterpret_cast<const char *>(doz_get(b, layout.fields[0], &n, &present)), "ANN");
    DozBlobDesc got_desc;
    memcpy(&got_desc, doz_get(b, layout.fields[2], &n, &present), sizeof got_desc);
    EXPECT_TRUE(present);
    EXPECT_EQ(got_desc.size, 70000);
    // an update that sends the blob field without bytes keeps the stored blob
    memset(b, 0, static_cast<size_t>(layout.row_size));
    pack(0, "ANN", 42, false, true);
    doz_set_buffer_rows(cid, 1);
    ok("UPDATE CURRENT FROM PICS", WRITE);
    doz_set_buffer_rows(cid, 1000);
    ok("FETCH NEXT FROM PICS", WRITE);
    EXPECT_STREQ(reinterpret_cast<const char *>(b + layout.fields[0].value), "BOB");
    EXPECT_EQ(run("FETCH NEXT FROM PICS", WRITE), "0/7/0");
    ok("DELETE CURRENT FROM PICS");
    ok("FETCH CURRENT FROM PICS", WRITE);
    EXPECT_STREQ(reinterpret_cast<const char *>(b + layout.fields[0].value), "ANN");

    // the blob of the delivered row is named "$n" and printed byte for byte
    ok("DISPLAY N,PIC FROM PICS");
    EXPECT_EQ(l32(0), 42);
    DozBlobDesc shown;
    memcpy(&shown, b + 4, sizeof shown);
    EXPECT_EQ(shown.id1, 0);
    EXPECT_EQ(shown.size, 70000);
    std::string out = where + "/out.bin";
    ok("PRINT BLOB $" + std::to_string(shown.id2) + " TO '" + out + "'");
    std::ifstream in(out, std::ios::binary);
    std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(back == bytes) << back.size();
    // a later result's blobs get new names; the earlier name keeps its blob
    ok("DISPLAY PIC FROM PICS");
    DozBlobDesc again;
    memcpy(&again, b, sizeof again);
    EXPECT_NE(again.id2, shown.id2);
    std::filesystem::remove(out);
    ok("PRINT BLOB $" + std::to_string(shown.id2) + " TO '" + out + "'");
    EXPECT_EQ(std::filesystem::file_size(out), bytes.size());
    // the same blob by the long form of its name: a first id of 0
    char id2[8];
    int_base32(static_cast<uint32_t>(shown.id2), id2, 0);
    std::filesystem::remove(out);
    ok(std::string("PRINT BLOB PICS_0_") + id2 + " TO '" + out + "'");
    EXPECT_EQ(std::filesystem::file_size(out), bytes.size());
    EXPECT_EQ(run("PRINT BLOB $99 TO '" + out + "'"), "0/153/0");
    EXPECT_EQ(run("PRINT BLOB PICS_1_1 TO '" + out + "'"), "0/153/0");

    // with a retrieval procedure each blob of a result is handed to it
    static std::vector<std::string> taken;
    static std::vector<int> numbers;
    taken.clear();
    numbers.clear();
    ASSERT_EQ(doz_set_blob_retrieval_proc(cid, [](int, int fd, const char *, int number) {
                  std::string got;
                  char chunk[8192];
                  for (ssize_t k; (k = read(fd, chunk, sizeof chunk)) > 0;)
                      got.append(chunk, static_cast<size_t>(k));
                  taken.push_back(got);
                  numbers.push_back(number);
                  return 0;
              }),
              0);
    ok("DISPLAY NAME,PIC FROM PICS");
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_TRUE(taken[0] == bytes) << taken[0].size();
    EXPECT_EQ(numbers, std::vector<int>{0});
    doz_set_blob_retrieval_proc(cid, nullptr);
    ok("DISPLAY NAME,PIC FROM PICS");
    EXPECT_EQ(taken.size(), 1u);
    doz_clear_blob_write_specs();
}

// A load of 10,000 packed rows in batches of 1,000, with repeated and
// missing keys, counts what it wrote and rejected; a second user with a
// restricted privilege then reads only its rows.
TEST_F(Database, BatchedLoadsCountRejectsAndRestrictedUsersSeeTheirRows)
{
    constexpr uint32_t WRITE = DOZ_M_FLAGS | DOZ_M_WAIT;
    ok("CREATE LOAD[20000] AS N PRIMARY,NAME NULL CONFIGURE AS EXTENSIBLE NOCACHED SLOTTED");
    std::vector<DozColDesc> cols(2);
    cols[0] = DozColDesc{DOZ_T_STRING, 10, -1, {}, 0, "NAME"};
    cols[1] = DozColDesc{DOZ_T_LONG, 9, -1, {}, 0, "N"};
    DozLayout layout;
    ASSERT_TRUE(doz_layout(cols, true, layout));
    ASSERT_LE(layout.row_size * 1000, doz_get_qbuffersize(cid));
    int written = 0, rejected = 0, fresh = 0;
    for (int batch = 0; batch < 10; batch++) {
        memset(b, 0, static_cast<size_t>(layout.row_size) * 1000);
        for (int i = 0; i < 1000; i++) {
            int n = batch * 1000 + i;
            unsigned char *row = b + static_cast<size_t>(i) * static_cast<size_t>(layout.row_size);
            std::string name = n % 2 ? "ODD" : "EVEN";
            doz_put(row, layout.fields[0], name.c_str(), 1, true);
            int32_t key = n % 10 == 9 ? n - 9 : n;  // every tenth repeats a key
            doz_put(row, layout.fields[1], &key, 1, n % 25 != 24);  // every 25th has none
            fresh += n % 10 != 9 && n % 25 != 24;
        }
        ASSERT_EQ(doz_set_buffer_rows(cid, 1000), 0);
        ok("WRITE NAME, N TO LOAD", WRITE);
        written += rows();
        rejected += status_at(cid, 5);
    }
    EXPECT_EQ(written, fresh);
    EXPECT_EQ(written + rejected, 10000);
    ok("DISPLAY COUNT N AS C FROM LOAD");
    EXPECT_EQ(l32(0), fresh);

    ok("CREATE USER GUEST, 'G' WITH 'SELECT'");
    ok("GRANT 'READ' TO GUEST ON LOAD WHERE N<100 AND NAME='ODD'");
    ok("CLOSE");
    ok("OPEN " + name);
    int guest = -1;
    ASSERT_EQ(doz_init(&guest, "", "GUEST", DOZ_START_WORD), 0);
    ASSERT_NE(doz_create_buffer(guest, 200000), nullptr);
    auto on_guest = [&](const std::string &text) {
        EXPECT_EQ(doz_querym(guest, text.c_str(), SIMPLE), 0) << text;
        return doz_error(guest) ? codes(guest) : std::string("ok");
    };
    EXPECT_EQ(on_guest("SET %PASS 'G'"), "ok");
    EXPECT_EQ(on_guest("OPEN " + name), "ok");
    EXPECT_EQ(on_guest("DISPLAY N FROM LOAD"), "ok");
    int st[6] = {};
    doz_get_qstatus(guest, st);
    // odd keys below 100 that were stored: not 9, 19, ... (repeats) nor 49, 99 (no key)
    std::vector<int> seen;
    const unsigned char *gb = static_cast<const unsigned char *>(doz_get_qbuffer(guest));
    for (int r = 0; r < st[DOZ_ST_ROWS]; r++) {
        int32_t v;
        memcpy(&v, gb + 4 * r, 4);
        seen.push_back(v);
    }
    std::vector<int> want;
    for (int n = 1; n < 100; n += 2)
        if (n % 10 != 9 && n % 25 != 24)
            want.push_back(n);
    EXPECT_EQ(seen, want);
    EXPECT_EQ(on_guest("DELETE FROM LOAD"), "0/151/0");
    EXPECT_EQ(on_guest("DISPLAY NAME FROM EMP"), "ok") << "the %DEFAULT entry lets everyone read";
    doz_term(guest);
}

// The row editor's cursor: the descriptor table of an unevaluated
// DISPLAY *, rows added with WRITE *, a walk over both ends with the
// codes 7, 8, 9 and 21 (query code 0) that leaves the current row where it
// was, an update in place, and deletes that move the current row to the
// next, else the previous, else nowhere.
TEST_F(Database, TheRowEditorWalksBothEndsAndKeepsItsCurrentRow)
{
    constexpr uint32_t WRITE = DOZ_M_FLAGS | DOZ_M_WAIT;
    ok("CREATE ED[20] AS NAME PRIMARY,N NULL CONFIGURE AS EXTENSIBLE NOCACHED SLOTTED");
    got = Got{};
    doz_set_eob_proc(cid, collect);
    ok("DISPLAY * FROM ED", FULL | DOZ_M_NOEVAL);
    EXPECT_EQ(got.per_buffer, std::vector<int>{0});
    ASSERT_EQ(got.table.size(), 2u);
    EXPECT_STREQ(got.table[0].name, "NAME");
    EXPECT_STREQ(got.table[1].name, "N");
    EXPECT_TRUE(got.rows.empty());
    DozLayout layout;
    ASSERT_TRUE(doz_layout(got.table, true, layout));
    const size_t row_size = static_cast<size_t>(layout.row_size);
    auto pack = [&](int at, const char *n, int32_t v) {
        unsigned char *row = b + static_cast<size_t>(at) * row_size;
        memset(row, 0, row_size);
        doz_put(row, layout.fields[0], n, 1, true);
        doz_put(row, layout.fields[1], &v, 1, true);
    };
    auto shown = [&] {
        int n = 0;
        bool present = false;
        std::string s = reinterpret_cast<const char *>(doz_get(b, layout.fields[0], &n, &present));
        int32_t v;
        memcpy(&v, doz_get(b, layout.fields[1], &n, &present), 4);
        return s + "=" + std::to_string(v);
    };
    struct Step {
        std::string statement, result, row;  // row: the current one afterwards
    };
    // Runs the steps; each fetch that succeeds delivers exactly one row.
    auto walk = [&](const std::vector<Step> &steps) {
        for (const auto &s : steps) {
            bool fetch = s.statement.starts_with("FETCH");
            EXPECT_EQ(run(s.statement, fetch ? WRITE : SIMPLE), s.result) << s.statement;
            if (fetch && s.result == "ok") {
                EXPECT_EQ(rows(), 1) << s.statement;
            }
            if (s.row.empty())
                continue;
            ASSERT_EQ(run("FETCH CURRENT FROM ED", WRITE), "ok") << s.statement;
            EXPECT_EQ(shown(), s.row) << "current after " << s.statement;
        }
    };

    // an empty table has no current row
    walk({{"FETCH FIRST FROM ED", "0/21/0", ""},
          {"FETCH NEXT FROM ED", "0/21/0", ""},
          {"FETCH LAST FROM ED", "0/21/0", ""},
          {"DELETE CURRENT FROM ED", "0/21/0", ""}});

    pack(0, "ANN", 1);
    pack(1, "BOB", 2);
    pack(2, "CAT", 3);
    ASSERT_EQ(doz_set_buffer_rows(cid, 3), 0);
    ok("WRITE * TO ED", WRITE);
    EXPECT_EQ(rows(), 3);
    doz_set_buffer_rows(cid, 1000);

    walk({{"FETCH CURRENT FROM ED", "0/21/0", ""},
          {"FETCH FIRST FROM ED", "ok", "ANN=1"},
          {"FETCH PREVIOUS FROM ED", "0/8/0", "ANN=1"},
          {"FETCH NEXT FROM ED", "ok", "BOB=2"},
          {"FETCH NEXT FROM ED", "ok", "CAT=3"},
          {"FETCH NEXT FROM ED", "0/7/0", "CAT=3"},
          {"FETCH FIRST FROM ED", "ok", "ANN=1"},
          {"FETCH LAST FROM ED", "ok", "CAT=3"},
          {"FETCH NEXT FROM ED", "0/7/0", "CAT=3"},
          {"FETCH PREVIOUS FROM ED", "ok", "BOB=2"},
          {"FETCH PREVIOUS FROM ED", "ok", "ANN=1"},
          {"FETCH PREVIOUS FROM ED", "0/8/0", "ANN=1"},
          // a search from the start, then its repetition from the current row
          {"FETCH FROM ED WHERE N>1", "ok", "BOB=2"},
          {"FETCH FROM ED", "ok", "CAT=3"},
          {"FETCH FROM ED", "0/9/0", "CAT=3"},
          {"FETCH FROM ED WHERE N>5", "0/9/0", "CAT=3"}});

    // the current row is replaced in its place
    ASSERT_EQ(run("FETCH FIRST FROM ED", WRITE), "ok");
    pack(0, "ANN", 10);
    doz_set_buffer_rows(cid, 1);
    ok("UPDATE CURRENT FROM ED", WRITE);
    doz_set_buffer_rows(cid, 1000);
    walk({{"FETCH NEXT FROM ED", "ok", "BOB=2"}, {"FETCH PREVIOUS FROM ED", "ok", "ANN=10"}});
    ok("DISPLAY COUNT N AS C FROM ED");
    EXPECT_EQ(l32(0), 3);

    // deletes: the next row becomes current, at the end the previous, and
    // with the last row gone there is none
    walk({{"FETCH FIRST FROM ED", "ok", "ANN=10"},
          {"DELETE CURRENT FROM ED", "ok", "BOB=2"},
          {"FETCH LAST FROM ED", "ok", "CAT=3"},
          {"DELETE CURRENT FROM ED", "ok", "BOB=2"},
          {"DELETE CURRENT FROM ED", "ok", ""},
          {"FETCH CURRENT FROM ED", "0/21/0", ""},
          {"DELETE CURRENT FROM ED", "0/21/0", ""},
          {"FETCH FIRST FROM ED", "0/21/0", ""}});
    pack(0, "DAN", 4);
    doz_set_buffer_rows(cid, 1);
    EXPECT_EQ(run("UPDATE CURRENT FROM ED", WRITE), "0/21/0");
    doz_set_buffer_rows(cid, 1000);
    ok("DISPLAY COUNT N AS C FROM ED");
    EXPECT_EQ(l32(0), 0);
}

// Blobs of a result handed to the client's retrieval procedure come
// through the fifo the interpreter announced: each blob of each row and
// column whole (also when larger than a pipe holds), numbered from 0 in
// each query and named apart.  A procedure that stops reading early
// leaves the interpreter able to go on.
namespace {
struct Taken {
    bool fifo = false;
    std::string bytes;
    int number = -1;
    DozBlobDesc ident{};
};
std::vector<Taken> taken;
size_t read_at_most = SIZE_MAX;

int take_blob(int, int fd, const char *ident, int number)
{
    Taken t;
    struct stat st;
    t.fifo = fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
    char chunk[4096];
    for (ssize_t k; t.bytes.size() < read_at_most && (k = read(fd, chunk, sizeof chunk)) > 0;)
        t.bytes.append(chunk, static_cast<size_t>(k));
    t.number = number;
    memcpy(&t.ident, ident, 28);
    taken.push_back(t);
    return 0;
}
}  // namespace

TEST_F(Database, ResultBlobsReachTheRetrievalProcedureWholeThroughTheFifo)
{
    constexpr uint32_t WRITE = DOZ_M_FLAGS | DOZ_M_WAIT;
    ok("CREATE ITEM PA AS BLOB CLASS 1");
    ok("CREATE ITEM PB AS BLOB CLASS 2");
    ok("CREATE TWO[10] AS NAME PRIMARY,PA NULL ,PB NULL CONFIGURE AS EXTENSIBLE NOCACHED SLOTTED");
    // row r, column c: distinct bytes; one blob far larger than a pipe
    std::string content[2][2];
    DozBlobWriteSpec specs[2][2] = {};
    for (int r = 0; r < 2; r++)
        for (int c = 0; c < 2; c++) {
            size_t size = r == 1 && c == 0 ? 300000 : 1000u + static_cast<size_t>(r * 2 + c);
            for (size_t i = 0; i < size; i++)
                content[r][c] += static_cast<char>((i * (3 + r * 2 + c) + i / 251) & 0xff);
            std::string path = where + "/b" + std::to_string(r) + std::to_string(c);
            std::ofstream(path, std::ios::binary) << content[r][c];
            specs[r][c].kind = 1;
            snprintf(specs[r][c].path, sizeof specs[r][c].path, "%s", path.c_str());
        }
    std::vector<DozColDesc> cols(3);
    cols[0] = DozColDesc{DOZ_T_STRING, 10, -1, {}, 0, "NAME"};
    cols[1] = DozColDesc{DOZ_T_BLOB, 1, -1, {}, 0, "PA"};
    cols[2] = DozColDesc{DOZ_T_BLOB, 2, -1, {}, 0, "PB"};
    DozLayout layout;
    ASSERT_TRUE(doz_layout(cols, true, layout));
    const char *names[] = {"ANN", "BOB"};
    memset(b, 0, static_cast<size_t>(layout.row_size) * 2);
    for (int r = 0; r < 2; r++) {
        unsigned char *row = b + static_cast<size_t>(r) * static_cast<size_t>(layout.row_size);
        doz_put(row, layout.fields[0], names[r], 1, true);
        for (int c = 0; c < 2; c++) {
            DozBlobDesc d{};
            doz_set_blob_write_spec(&d, &specs[r][c]);
            doz_put(row, layout.fields[1 + c], &d, 1, true);
        }
    }
    ASSERT_EQ(doz_set_buffer_rows(cid, 2), 0);
    ok("WRITE NAME, PA, PB TO TWO", WRITE);
    EXPECT_EQ(rows(), 2);
    doz_set_buffer_rows(cid, 1000);
    doz_clear_blob_write_specs();

    taken.clear();
    read_at_most = SIZE_MAX;
    ASSERT_EQ(doz_set_blob_retrieval_proc(cid, take_blob), 0);
    for (int round = 0; round < 2; round++) {
        taken.clear();
        ok("DISPLAY PA,PB FROM TWO SEQUENCE BY NAME");
        ASSERT_EQ(rows(), 2);
        ASSERT_EQ(taken.size(), 4u);
        std::set<std::string> blob_names;
        std::set<int> numbers;
        for (int r = 0; r < 2; r++)
            for (int c = 0; c < 2; c++) {
                DozBlobDesc d;
                memcpy(&d, b + (r * 2 + c) * sizeof d, sizeof d);
                EXPECT_EQ(static_cast<size_t>(d.size), content[r][c].size()) << r << c;
                const Taken *t = nullptr;
                for (const auto &k : taken)
                    if (k.ident.id1 == d.id1 && k.ident.id2 == d.id2)
                        t = &k;
                ASSERT_NE(t, nullptr) << "row " << r << " column " << c;
                EXPECT_TRUE(t->fifo) << r << c;
                EXPECT_TRUE(t->bytes == content[r][c]) << r << c << ": " << t->bytes.size() << " bytes";
                char name[DOZ_BLOB_NAME_SIZE];
                blob_names.insert(doz_blob_name(&d, name));
                numbers.insert(t->number);
            }
        EXPECT_EQ(blob_names.size(), 4u) << "each blob named apart";
        EXPECT_EQ(numbers, (std::set<int>{0, 1, 2, 3})) << "numbered from 0 in each query";
    }

    // a procedure that takes only the start of each blob
    taken.clear();
    read_at_most = 10;
    ok("DISPLAY PA FROM TWO SEQUENCE BY NAME");
    ASSERT_EQ(taken.size(), 2u);
    read_at_most = SIZE_MAX;
    taken.clear();
    ok("DISPLAY PA FROM TWO WHERE NAME='BOB'");
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_TRUE(taken[0].bytes == content[1][0]) << taken[0].bytes.size();
    doz_set_blob_retrieval_proc(cid, nullptr);
}
