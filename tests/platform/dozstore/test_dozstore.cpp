// The storage in one process: databases and their registry, users,
// items and tables, every value shape stored and read back bit for bit,
// order and sequence, keys, transactions, and the system relations.

#include "dozst_testkit.h"

#include <sqlite3.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

using namespace dozst_test;

namespace {

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---------------------------------------------------------------- databases

TEST_F(StoreTest, RegistryListsDatabasesAsNameLocationPairs)
{
    std::string elsewhere = server + "/disc2";
    std::filesystem::create_directory(elsewhere);
    ASSERT_FAULT_OK(create_database(server, "sales", elsewhere, "ANNA", "pw"));
    std::vector<std::pair<std::string, std::string>> dbs;
    ASSERT_FAULT_OK(list_databases(server, dbs));
    ASSERT_EQ(dbs.size(), 2u);
    EXPECT_EQ(dbs[0], (std::pair<std::string, std::string>{"DEMO", "./"}));
    EXPECT_EQ(dbs[1], (std::pair<std::string, std::string>{"SALES", elsewhere}));
    EXPECT_TRUE(std::filesystem::is_regular_file(server + "/DEMO/doz.sqlite"));
    EXPECT_TRUE(std::filesystem::is_regular_file(elsewhere + "/SALES/doz.sqlite"));

    std::string dump = server + "/.dump42";
    ASSERT_FAULT_OK(write_database_list(server, dump));
    EXPECT_EQ(slurp(dump), "DEMO ./\nSALES " + elsewhere + "\n");

    // Opened through the registry or through an explicit location.
    Fault f;
    EXPECT_TRUE(Database::open(server, "SALES", "", OpenMode::SHARED, "ANNA", "pw", f)) << codes(f);
    EXPECT_TRUE(Database::open(server, "SALES", elsewhere, OpenMode::SHARED, "ANNA", "pw", f)) << codes(f);

    ASSERT_FAULT_OK(drop_database(server, "SALES"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/SALES"));
    ASSERT_FAULT_OK(list_databases(server, dbs));
    EXPECT_EQ(dbs.size(), 1u);
    ASSERT_FAULT_OK(write_database_list(server, dump));
    EXPECT_EQ(slurp(dump), "DEMO ./\n");
}

TEST_F(StoreTest, DatabaseAdministrationFaults)
{
    std::filesystem::create_directory(server + "/LEFT");  // a directory that is not ours
    struct Case {
        const char *what;
        Fault fault;
        int database;
    } cases[] = {
        {"same name again", create_database(server, "demo", "./", "BRASK", pass), DB_EXISTS},
        {"directory exists", create_database(server, "LEFT", "./", "BRASK", pass), DB_EXISTS},
        {"name starting with a digit", create_database(server, "9LIVES", "./", "BRASK", pass), BAD_DB_NAME},
        {"name of nine", create_database(server, "NINECHARS", "./", "BRASK", pass), BAD_DB_NAME},
        {"blank in location", create_database(server, "X", "my disc", "BRASK", pass), BAD_LOCATION},
        {"missing location", create_database(server, "X", "nowhere/", "BRASK", pass), BAD_LOCATION},
        {"password of eleven", create_database(server, "X", "./", "BRASK", "12345678901"), BAD_LOGIN},
        {"drop unknown", drop_database(server, "NONE"), NO_DATABASE_FILE},
        {"configure unknown", configure_database(server, "NONE", {}), NO_DATABASE_FILE},
        {"configure bad setting", configure_database(server, "DEMO", {{"%COLOUR", 1}}), BAD_SETTING},
        {"configure zero size", configure_database(server, "DEMO", {{"%MEMSIZE", 0}}), BAD_SETTING},
    };
    for (auto &c : cases)
        EXPECT_EQ(c.fault.database, c.database) << c.what << " " << codes(c.fault);
    std::vector<std::pair<std::string, std::string>> dbs;
    ASSERT_FAULT_OK(list_databases(server, dbs));
    EXPECT_EQ(dbs.size(), 1u) << "a refused create registers nothing";
    EXPECT_TRUE(std::filesystem::is_directory(server + "/LEFT")) << "a foreign directory is left alone";

    Fault f;
    EXPECT_FALSE(Database::open(server, "NONE", "", OpenMode::SHARED, "BRASK", pass, f));
    EXPECT_EQ(f.database, NO_DATABASE_FILE);
    EXPECT_FALSE(Database::open(server, "DEMO", "", OpenMode::SHARED, "BRASK", "wrong", f));
    EXPECT_EQ(f.database, BAD_LOGIN);
    EXPECT_FALSE(Database::open(server, "DEMO", "", OpenMode::SHARED, "NOBODY", "", f));
    EXPECT_EQ(f.database, BAD_LOGIN);
    // A file in the database's place that is not one of ours.
    std::filesystem::create_directory(server + "/FAKE");
    std::ofstream(server + "/FAKE/doz.sqlite") << "not a database";
    EXPECT_FALSE(Database::open(server, "FAKE", "./", OpenMode::SHARED, "BRASK", pass, f));
    EXPECT_TRUE(f.database == NOT_A_DATABASE || f.filer == FILER_FAILURE) << codes(f);
}

TEST_F(StoreTest, PasswordsOfCreatorsAndChanges)
{
    // BRASK without SET %PASS offers its built-in password; another user
    // without SET %PASS offers none, and so does the creator after CREATE.
    EXPECT_EQ(session_password("brask", std::nullopt), "BRASK");
    EXPECT_EQ(session_password("ANNA", std::nullopt), "");
    EXPECT_EQ(session_password("ANNA", std::string("x")), "x");
    ASSERT_FAULT_OK(create_database(server, "ANNAS", "./", "anna", session_password("ANNA", std::nullopt)));
    Fault f;
    auto db = Database::open(server, "ANNAS", "", OpenMode::EXCLUSIVE, "ANNA", "", f);
    ASSERT_TRUE(db) << codes(f);
    Relation users;
    ASSERT_FAULT_OK(db->system_relation("%USERS", users));
    ASSERT_EQ(users.rows.size(), 1u);
    EXPECT_EQ(users.rows[0][0].s, "ANNA");
    EXPECT_EQ(users.rows[0][1].e[0].i, ACCESS_DBA);

    ASSERT_FAULT_OK(db->set_password("secret"));
    EXPECT_EQ(db->set_password("elevenchars").database, BAD_SETTING);
    db.reset();
    EXPECT_FALSE(Database::open(server, "ANNAS", "", OpenMode::SHARED, "ANNA", "", f));
    EXPECT_EQ(f.database, BAD_LOGIN);
    EXPECT_TRUE(Database::open(server, "ANNAS", "", OpenMode::SHARED, "ANNA", "secret", f)) << codes(f);
}

TEST_F(StoreTest, ConfigureDatabaseWhileClosedOnly)
{
    {
        auto db = open();
        EXPECT_EQ(configure_database(server, "DEMO", {{"%MEMSIZE", 10}}).database, DB_IN_USE);
        EXPECT_EQ(drop_database(server, "DEMO").database, DB_IN_USE);
    }
    ASSERT_FAULT_OK(configure_database(server, "DEMO", {{"%memsize", 512}, {"%DEFPOSTSIZE", 16},
                                                        {"%FILELOCKS", 0}, {"%MAXFILES", 77}}));
    auto db = open();
    DbParams p;
    ASSERT_FAULT_OK(db->params(p));
    EXPECT_EQ(p.memsize, 512);
    EXPECT_EQ(p.defpostsize, 16);
    EXPECT_FALSE(p.filelocks);
    EXPECT_EQ(p.maxfiles, 77);
    int64_t n = 0;
    ASSERT_FAULT_OK(db->sysinfo("%ROOT", "DEMO_____m", "MAXRECS", n));
    EXPECT_EQ(n, 77);
}

// ---------------------------------------------------------------- values

// Every type and array shape, with the values that are easy to lose:
// extremes, NaN and negative zero, full-length and empty strings,
// blobs with NUL bytes, empty and full variable arrays, nulls.
TEST_F(StoreTest, EveryValueShapeRoundTripsBitExactly)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double tiny = std::numeric_limits<double>::denorm_min();
    struct Shape {
        Item item;
        std::vector<doz::Value> values;  // one per row
    };
    std::vector<Shape> shapes = {
        {item("S", doz::STRING, 10),
         {doz::make_string("abcdefghij", 10), doz::make_string("", 10), doz::make_string("O'Brien \"x\"", 11)}},
        {item("L", doz::LONG, 11), {doz::make_long(INT32_MAX), doz::make_long(INT32_MIN), doz::make_long(0)}},
        {item("SH", doz::SHORT, 6),
         {doz::make_long(-32768, doz::SHORT), doz::make_long(32767, doz::SHORT), doz::make_long(0, doz::SHORT)}},
        {item("R", doz::REAL, 15, 0, {}, 3), {doz::make_real(nan), doz::make_real(-0.0), doz::make_real(tiny)}},
        {item("D", doz::DATE, 10),
         {doz::make_date(1999, 12, 31), doz::make_date(2034, 1, 1), doz::make_date(1935, 2, 28)}},
        {item("T", doz::TIME, 8), {doz::make_time(23, 59, 59), doz::make_time(0, 0, 0), doz::make_time(12, 0, 1)}},
        {item("C", doz::COMPLEX, 20, 0, {}, 2),
         {doz::make_complex(1.5, -2.25), doz::make_complex(-0.0, inf), doz::make_complex(nan, 0.1)}},
        {item("B", doz::BOOL, 5), {doz::make_bool(true), doz::make_bool(false), doz::make_bool(true)}},
        {item("CH", doz::CHAR, 1), {doz::make_char('?'), doz::make_char('\xff'), doz::make_char(' ')}},
        {item("SR", doz::SHORTREAL, 10), {doz::make_real(0.1, doz::SHORTREAL), doz::make_real(-inf, doz::SHORTREAL),
                                          doz::make_real(3.0e38, doz::SHORTREAL)}},
        {item("TY", doz::BYTE, 3), {doz::make_long(255, doz::BYTE), doz::make_long(0, doz::BYTE),
                                    doz::make_long(7, doz::BYTE)}},
        {item("BL", doz::BLOB, 3), {}},
        {item("LA", doz::LONG, 11, 3),
         {array(doz::LONG, 3, {ei(1), ei(-2), ei(INT32_MAX)}), array(doz::LONG, 3, {ei(0), ei(0), ei(0)}),
          array(doz::LONG, 3, {ei(5), ei(6), ei(7)})}},
        {item("RM", doz::REAL, 15, 6, {2, 3}),
         {array(doz::REAL, 6, {er(1), er(2), er(nan), er(-0.0), er(5), er(inf)}, {2, 3}),
          array(doz::REAL, 6, {er(0), er(0), er(0), er(0), er(0), er(tiny)}, {2, 3}),
          array(doz::REAL, 6, {er(9), er(8), er(7), er(6), er(5), er(4)}, {2, 3})}},
        {item("CA", doz::COMPLEX, 20, 2),
         {array(doz::COMPLEX, 2, {er(1, 2), er(-3, nan)}), array(doz::COMPLEX, 2, {er(0, 0), er(0, -0.0)}),
          array(doz::COMPLEX, 2, {er(1e300, -1e-300), er(2, 2)})}},
        {item("SV", doz::SHORT, 6, -5),
         {array(doz::SHORT, -5, {}), array(doz::SHORT, -5, {ei(1), ei(2), ei(3), ei(4), ei(5)}),
          array(doz::SHORT, -5, {ei(-1)})}},
        {item("DV", doz::DATE, 10, -4),
         {array(doz::DATE, -4, {ei(doz::days_from_civil(2000, 2, 29))}), array(doz::DATE, -4, {}),
          array(doz::DATE, -4, {ei(0), ei(1), ei(2), ei(3)})}},
        {item("TA", doz::TIME, 8, 2),
         {array(doz::TIME, 2, {ei(0), ei(86399)}), array(doz::TIME, 2, {ei(1), ei(2)}),
          array(doz::TIME, 2, {ei(3600), ei(60)})}},
        {item("YA", doz::BYTE, 3, 3),
         {array(doz::BYTE, 3, {ei(0), ei(128), ei(255)}), array(doz::BYTE, 3, {ei(1), ei(1), ei(1)}),
          array(doz::BYTE, 3, {ei(9), ei(8), ei(7)})}},
        {item("RV", doz::SHORTREAL, 10, -3),
         {array(doz::SHORTREAL, -3, {er(static_cast<float>(0.1))}), array(doz::SHORTREAL, -3, {er(1), er(nan), er(2)}),
          array(doz::SHORTREAL, -3, {})}},
    };
    // Blobs: bytes with NULs, an empty blob, and a large one.
    auto blob = [](std::string bytes) {
        doz::Value v = doz::make_null(doz::BLOB, 3);
        v.null = false;
        v.s = std::move(bytes);
        return v;
    };
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 31);
    shapes[11].values = {blob(std::string("a\0b\0", 4)), blob(""), blob(big)};
    shapes[0].item.len = 11;
    for (auto &v : shapes[0].values)
        v.len = 11;

    auto db = open(OpenMode::EXCLUSIVE);
    TableDef def{"ALLTYPES", 100, false, NOCACHED, SLOTTED, "", {}};
    for (auto &s : shapes) {
        ASSERT_FAULT_OK(db->create_item(s.item));
        def.cols.push_back({s.item.name, false, true});
    }
    ASSERT_FAULT_OK(db->create_table(def, PRIV_READ));
    std::vector<std::vector<doz::Value>> rows(4);
    for (size_t r = 0; r < 3; ++r)
        for (auto &s : shapes)
            rows[r].push_back(s.values[r]);
    // A fourth row of nulls in every column.
    for (auto &s : shapes) {
        doz::Value v = doz::make_null(s.item.type, s.item.type == doz::STRING || s.item.type == doz::BLOB ? s.item.len : 0);
        v.count = s.item.arr;
        if (s.item.dims.size() > 1)
            v.dims = s.item.dims;
        rows[3].push_back(v);
    }
    for (auto &r : rows) {
        Inserted what;
        ASSERT_FAULT_OK(db->insert("ALLTYPES", r, OnDuplicate::REJECT, what));
    }
    db.reset();

    db = open();
    auto back = read_all(*db, "ALLTYPES");
    ASSERT_EQ(back.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < shapes.size(); ++c)
            EXPECT_TRUE(same_value(back[r][c], rows[r][c])) << "row " << r << " column " << shapes[c].item.name;
    TableInfo info;
    ASSERT_FAULT_OK(db->table("alltypes", info));
    ASSERT_EQ(info.items.size(), shapes.size());
    for (size_t c = 0; c < shapes.size(); ++c) {
        EXPECT_EQ(info.items[c].type, shapes[c].item.type);
        EXPECT_EQ(info.items[c].len, shapes[c].item.len);
        EXPECT_EQ(info.items[c].frac, shapes[c].item.frac);
        EXPECT_EQ(info.items[c].arr, shapes[c].item.arr);
        EXPECT_EQ(info.items[c].dims, shapes[c].item.dims);
    }
}

TEST_F(StoreTest, ValuesThatDoNotFitTheirColumnAreRefused)
{
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("K", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(item("NAME", doz::STRING, 4)));
    ASSERT_FAULT_OK(db->create_item(item("FA", doz::REAL, 10, 2)));
    ASSERT_FAULT_OK(db->create_item(item("VA", doz::SHORT, 6, -2)));
    ASSERT_FAULT_OK(db->create_table({"V", 10, false, NOCACHED, SLOTTED, "",
                                      {{"K", true, false}, {"NAME", false, false}, {"FA", false, true},
                                       {"VA", false, true}}},
                                     PRIV_READ));
    auto row = [](doz::Value k, doz::Value name, doz::Value fa, doz::Value va) {
        return std::vector<doz::Value>{k, name, fa, va};
    };
    const doz::Value k = doz::make_long(1), name = doz::make_string("ab", 4),
                     fa = array(doz::REAL, 2, {er(1), er(2)}), va = array(doz::SHORT, -2, {ei(1)});
    struct Case {
        const char *what;
        std::vector<doz::Value> row;
        int database;
    } cases[] = {
        {"string longer than declared", row(k, doz::make_string("abcde", 4), fa, va), BAD_VALUE},
        {"wrong type", row(doz::make_real(1.0), name, fa, va), BAD_VALUE},
        {"fixed array too short", row(k, name, array(doz::REAL, 2, {er(1)}), va), BAD_VALUE},
        {"single for an array", row(k, name, doz::make_real(1.0), va), BAD_VALUE},
        {"variable array past its room", row(k, name, fa, array(doz::SHORT, -2, {ei(1), ei(2), ei(3)})), BAD_VALUE},
        {"variable array of another room", row(k, name, fa, array(doz::SHORT, -3, {ei(1)})), BAD_VALUE},
        {"dimensions of another count", row(k, name, array(doz::REAL, 2, {er(1), er(2)}, {3, 1}), va), BAD_VALUE},
        {"null in a column without nulls", row(k, doz::make_null(doz::STRING, 4), fa, va), NULL_NOT_ALLOWED},
        {"null key", row(doz::make_null(doz::LONG), name, fa, va), NULL_NOT_ALLOWED},
    };
    for (auto &c : cases) {
        Inserted what;
        EXPECT_EQ(db->insert("V", c.row, OnDuplicate::REJECT, what).database, c.database) << c.what;
    }
    Inserted what;
    EXPECT_EQ(db->insert("V", {k, name, fa}, OnDuplicate::REJECT, what).database, BAD_COLUMNS);
    EXPECT_EQ(db->insert("NOPE", row(k, name, fa, va), OnDuplicate::REJECT, what).database, NO_TABLE);
    EXPECT_EQ(db->insert("%USERS", {}, OnDuplicate::REJECT, what).database, SYSTEM_TABLE);
    EXPECT_FAULT_OK(db->insert("V", row(k, name, doz::make_null(doz::REAL), va), OnDuplicate::REJECT, what));
    int64_t n = -1;
    ASSERT_FAULT_OK(db->count("V", n));
    EXPECT_EQ(n, 1);
}

// Stored bytes that no longer fit their column (a damaged or hand-edited
// file) give a fault, never a crash or a made-up value.
TEST_F(StoreTest, DamagedStoredValuesAreReportedNotRead)
{
    {
        auto db = open();
        ASSERT_FAULT_OK(db->create_item(item("A", doz::REAL, 10, 4)));
        ASSERT_FAULT_OK(db->create_item(item("C", doz::COMPLEX, 10)));
        ASSERT_FAULT_OK(db->create_table({"T", 10, false, 0, 0, "", {{"A"}, {"C"}}}, -1));
        Inserted what;
        ASSERT_FAULT_OK(db->insert("T", {array(doz::REAL, 4, {er(1), er(2), er(3), er(4)}), doz::make_complex(1, 2)},
                                   OnDuplicate::REJECT, what));
    }
    const char *damage[] = {
        "UPDATE d000000001 SET c0=x'0400000004000000'",              // array cut short
        "UPDATE d000000001 SET c0=x'04000000ffffff7f00000000'",      // absurd element count
        "UPDATE d000000001 SET c0=x'040000000000000009000000'",      // nine dimensions
        "UPDATE d000000001 SET c1=x'0102'",                          // complex of two bytes
        "UPDATE d000000001 SET c1=42",                               // complex as a number
    };
    for (const char *sql : damage) {
        SCOPED_TRACE(sql);
        auto db = open();
        std::vector<RowId> ids;
        ASSERT_EQ(read_all(*db, "T", &ids).size(), 1u);
        sqlite3 *raw = nullptr;
        ASSERT_EQ(sqlite3_open((server + "/DEMO/doz.sqlite").c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        sqlite3_close(raw);
        Cursor c;
        ASSERT_FAULT_OK(db->scan("T", c));
        std::vector<doz::Value> row;
        EXPECT_FALSE(c.next(row));
        EXPECT_EQ(c.fault().filer, FILER_DAMAGED);
        EXPECT_EQ(db->get("T", ids[0], row).filer, FILER_DAMAGED);
        // A good row written over it reads again.
        ASSERT_FAULT_OK(db->update("T", ids[0], {array(doz::REAL, 4, {er(1), er(2), er(3), er(4)}), doz::make_complex(1, 2)}));
        EXPECT_FAULT_OK(db->get("T", ids[0], row));
    }
}

// ---------------------------------------------------------------- order

TEST_F(StoreTest, NaturalOrderAndSequenceOrderAreWhatReadsFollow)
{
    auto db = open();
    make_numbers(*db, "T");
    for (int n : {10, 20, 30, 40, 50})
        ASSERT_FAULT_OK(add(*db, "T", n));
    std::vector<RowId> ids;
    read_all(*db, "T", &ids);
    ASSERT_FAULT_OK(db->erase("T", ids[1]));
    EXPECT_EQ(db->erase("T", ids[1]).database, NO_ROW);
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{10, 30, 40, 50}));

    // SEQUENCE T BY ...: the rows named come first, the others follow in
    // natural order; rows added later go to the end of the sequence.
    std::vector<RowId> order = {ids[4], ids[0]};
    ASSERT_FAULT_OK(db->sequence("T", order));
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{50, 10, 30, 40}));
    ASSERT_FAULT_OK(add(*db, "T", 5));
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{50, 10, 30, 40, 5}));
    // a row no longer stored, a row named twice
    const std::vector<RowId> refused[] = {{ids[1]}, {ids[3], ids[0], ids[3]}};
    for (const auto &bad : refused) {
        Fault f = db->sequence("T", bad);
        EXPECT_EQ(f.database, NO_ROW);
        EXPECT_EQ(f.detail, std::to_string(bad.back()));
        EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{50, 10, 30, 40, 5})) << "a refused sequence changes nothing";
    }

    db.reset();
    db = open();
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{50, 10, 30, 40, 5})) << "the sequence is kept";
    ASSERT_FAULT_OK(db->unsequence("T"));
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{10, 30, 40, 50, 5}));
    // sequenced again, twice over (the second replaces the first whole)
    ids.clear();
    read_all(*db, "T", &ids);
    const std::vector<RowId> first = {ids[4], ids[3]}, second = {ids[2]};
    ASSERT_FAULT_OK(db->sequence("T", first));
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{5, 50, 10, 30, 40}));
    ASSERT_FAULT_OK(db->sequence("T", second));
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{40, 10, 30, 50, 5}));
}

TEST_F(StoreTest, FetchWalksTheTableOrderAndReportsItsEnds)
{
    auto db = open();
    make_numbers(*db, "T");
    make_numbers(*db, "EMPTY");
    for (int n : {1, 2, 3})
        ASSERT_FAULT_OK(add(*db, "T", n));
    std::vector<RowId> ids;
    read_all(*db, "T", &ids);
    for (bool sequenced : {false, true}) {
        if (sequenced) {
            std::vector<RowId> rev(ids.rbegin(), ids.rend());
            ASSERT_FAULT_OK(db->sequence("T", rev));
        }
        auto value = [&](Fetch where, RowId cur, int expect_code) -> int64_t {
            RowId id = 0;
            std::vector<doz::Value> row;
            Fault f = db->fetch("T", where, cur, id, row);
            EXPECT_EQ(f.database, expect_code) << codes(f);
            return f.ok() ? row[0].e[0].i : -1;
        };
        RowId first = sequenced ? ids[2] : ids[0], last = sequenced ? ids[0] : ids[2];
        EXPECT_EQ(value(Fetch::FIRST, 0, 0), sequenced ? 3 : 1);
        EXPECT_EQ(value(Fetch::LAST, 0, 0), sequenced ? 1 : 3);
        EXPECT_EQ(value(Fetch::NEXT, first, 0), 2);
        EXPECT_EQ(value(Fetch::PREVIOUS, last, 0), 2);
        EXPECT_EQ(value(Fetch::CURRENT, ids[1], 0), 2);
        EXPECT_EQ(value(Fetch::NEXT, last, END_OF_TABLE), -1);
        EXPECT_EQ(value(Fetch::PREVIOUS, first, START_OF_TABLE), -1);
        EXPECT_EQ(value(Fetch::CURRENT, 999, NO_CURRENT), -1);
        EXPECT_EQ(value(Fetch::NEXT, 999, NO_CURRENT), -1);
    }
    RowId id;
    std::vector<doz::Value> row;
    EXPECT_EQ(db->fetch("EMPTY", Fetch::FIRST, 0, id, row).database, NO_CURRENT);
    EXPECT_EQ(db->fetch("EMPTY", Fetch::LAST, 0, id, row).database, NO_CURRENT);
}

TEST_F(StoreTest, KeyedRowsAreRejectedOrReplacedInPlace)
{
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("ID", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(item("NAME", doz::STRING, 8)));
    ASSERT_FAULT_OK(db->create_table(
        {"K", 100, false, NOCACHED, SLOTTED, "", {{"ID", true, false}, {"NAME", false, true}}}, PRIV_READ));
    auto put = [&](int id, const char *name, OnDuplicate dup) {
        Inserted what;
        Fault f = db->insert("K", {doz::make_long(id), doz::make_string(name, 8)}, dup, what);
        EXPECT_TRUE(f.ok()) << codes(f);
        return what;
    };
    EXPECT_EQ(put(1, "one", OnDuplicate::REJECT), Inserted::NEW);
    EXPECT_EQ(put(2, "two", OnDuplicate::REJECT), Inserted::NEW);
    EXPECT_EQ(put(1, "uno", OnDuplicate::REJECT), Inserted::REJECTED);
    EXPECT_EQ(put(1, "eins", OnDuplicate::REPLACE), Inserted::REPLACED);
    EXPECT_EQ(put(3, "three", OnDuplicate::REPLACE), Inserted::NEW);
    std::vector<RowId> ids;
    auto rows = read_all(*db, "K", &ids);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1].s, "eins") << "a replaced row keeps its place";
    EXPECT_EQ(rows[1][1].s, "two");
    // An update may not give a row another row's key.
    EXPECT_EQ(db->update("K", ids[1], {doz::make_long(3), doz::make_string("x", 8)}).database, DUPLICATE_KEY);
    EXPECT_FAULT_OK(db->update("K", ids[1], {doz::make_long(2), doz::make_string("zwei", 8)}));
    EXPECT_EQ(db->update("K", 9999, {doz::make_long(9), doz::make_string("x", 8)}).database, NO_ROW);
    EXPECT_EQ(read_all(*db, "K")[1][1].s, "zwei");
}

// Whole numbers in keys go most significant byte first, so the key index
// follows the numbers (rows with ascending keys are appended at its end);
// a database made before that keeps its host-order keys and still finds
// them, so its duplicates are still refused.
TEST_F(StoreTest, KeyBytesFollowTheNumbersAndOlderDatabasesKeepTheirOwn)
{
    auto key_bytes = [&](const std::string &order) {
        sqlite3 *raw = nullptr;
        EXPECT_EQ(sqlite3_open((server + "/DEMO/doz.sqlite").c_str(), &raw), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, ("SELECT hex(kb), c0 FROM d000000001 ORDER BY " + order).c_str(), -1, &st,
                                     nullptr),
                  SQLITE_OK);
        std::vector<std::pair<std::string, int64_t>> out;
        while (sqlite3_step(st) == SQLITE_ROW)
            out.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), sqlite3_column_int64(st, 1));
        sqlite3_finalize(st);
        sqlite3_close(raw);
        return out;
    };
    const int64_t keys[] = {256, -1, 1, std::numeric_limits<int64_t>::min(), 0, -256,
                            std::numeric_limits<int64_t>::max()};
    for (bool older : {false, true}) {
        SCOPED_TRACE(older ? "older database" : "new database");
        TearDown();
        SetUp();
        if (older) {
            sqlite3 *raw = nullptr;
            ASSERT_EQ(sqlite3_open((server + "/DEMO/doz.sqlite").c_str(), &raw), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(raw, "DELETE FROM doz_meta WHERE key='keyorder'", nullptr, nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(raw);
        }
        {
            auto db = open();
            make_numbers(*db, "K", true);
            for (int64_t k : keys)
                ASSERT_FAULT_OK(add(*db, "K", k));
        }
        auto db = open();
        for (int64_t k : keys) {
            Inserted what = Inserted::NEW;
            ASSERT_FAULT_OK(add(*db, "K", k, &what));
            EXPECT_EQ(what, Inserted::REJECTED) << k;
        }
        Appender app;
        ASSERT_FAULT_OK(db->append("K", app));
        for (int64_t k : keys) {
            Inserted what = Inserted::NEW;
            ASSERT_FAULT_OK(app.add({doz::make_long(k)}, OnDuplicate::REJECT, what));
            EXPECT_EQ(what, Inserted::REJECTED) << k;
        }
        ASSERT_FAULT_OK(app.finish());
        EXPECT_EQ(numbers(*db, "K").size(), std::size(keys));
        auto stored = key_bytes("kb");
        ASSERT_EQ(stored.size(), std::size(keys));
        // the type, the length 8, then the number (-1 and 1)
        const auto by_number = key_bytes("c0");
        EXPECT_EQ(by_number[2].first, older ? "0308000000FFFFFFFFFFFFFFFF" : "03080000007FFFFFFFFFFFFFFF");
        EXPECT_EQ(by_number[4].first, older ? "03080000000100000000000000" : "03080000008000000000000001");
        for (size_t i = 1; i < stored.size() && !older; ++i)
            EXPECT_LT(stored[i - 1].second, stored[i].second) << "keys in the index out of order";
    }
}

TEST_F(StoreTest, AppendedRowsAreCheckedOneByOneAndStayOnlyWhenFinished)
{
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("ID", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(item("NAME", doz::STRING, 8)));
    ASSERT_FAULT_OK(db->create_table(
        {"K", 4, true, NOCACHED, SLOTTED, "", {{"ID", true, false}, {"NAME", false, true}}}, PRIV_READ));
    Inserted what;
    ASSERT_FAULT_OK(db->insert("K", {doz::make_long(1), doz::make_string("one", 8)}, OnDuplicate::REJECT, what));
    auto row = [](int id, const char *name) {
        return std::vector<doz::Value>{doz::make_long(id), doz::make_string(name, 8)};
    };
    auto names = [&] {
        std::vector<std::string> out;
        for (auto &r : read_all(*db, "K"))
            out.push_back(std::to_string(r[0].e[0].i) + r[1].s);
        return out;
    };
    struct Step {
        std::vector<doz::Value> row;
        OnDuplicate dup;
        int fault;         // database code, 0 none
        Inserted what;     // when no fault
    };
    const Step steps[] = {
        {row(2, "two"), OnDuplicate::REJECT, 0, Inserted::NEW},
        {row(2, "deux"), OnDuplicate::REJECT, 0, Inserted::REJECTED},  // a key appended just before
        {row(1, "eins"), OnDuplicate::REPLACE, 0, Inserted::REPLACED},
        {{doz::make_string("x"), doz::make_string("y", 8)}, OnDuplicate::REJECT, BAD_VALUE, Inserted::NEW},
        {{doz::make_null(doz::LONG), doz::make_string("y", 8)}, OnDuplicate::REJECT, NULL_NOT_ALLOWED, Inserted::NEW},
        {row(3, "three"), OnDuplicate::REJECT, 0, Inserted::NEW},
        {row(4, "four"), OnDuplicate::REJECT, 0, Inserted::NEW},
        {row(5, "five"), OnDuplicate::REJECT, TABLE_FULL, Inserted::NEW},  // FIXED at four rows
        {row(4, "vier"), OnDuplicate::REJECT, 0, Inserted::REJECTED},      // full, but the key is stored
    };
    for (int round = 0; round < 2; round++) {
        Appender app;
        ASSERT_FAULT_OK(db->append("K", app));
        for (const Step &st : steps) {
            Fault f = app.add(st.row, st.dup, what);
            EXPECT_EQ(f.database, st.fault) << codes(f);
            if (st.fault == 0) {
                EXPECT_EQ(what, st.what);
            }
        }
        if (round == 0)
            continue;  // dropped unfinished: nothing of it stays
        ASSERT_FAULT_OK(app.finish());
        EXPECT_EQ(app.add(row(9, "nine"), OnDuplicate::REJECT, what).database, TRANSACTION);
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"1eins", "2two", "3three", "4four"}));
    int64_t n = 0;
    ASSERT_FAULT_OK(db->count("K", n));
    EXPECT_EQ(n, 4);

    // Inside a transaction the appender's rows go with it; a sequenced
    // table keeps appended rows after the ones it holds, in their order.
    make_numbers(*db, "T");
    for (int v : {30, 10, 20})
        ASSERT_FAULT_OK(add(*db, "T", v));
    std::vector<RowId> ids;
    read_all(*db, "T", &ids);
    const RowId order[] = {ids[1], ids[2], ids[0]};
    ASSERT_FAULT_OK(db->sequence("T", order));
    ASSERT_FAULT_OK(db->begin());
    {
        Appender app;
        ASSERT_FAULT_OK(db->append("T", app));
        for (int v : {5, 1})
            ASSERT_FAULT_OK(app.add({doz::make_long(v)}, OnDuplicate::REJECT, what));
        ASSERT_FAULT_OK(app.finish());
    }
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{10, 20, 30, 5, 1}));
    ASSERT_FAULT_OK(db->rollback());
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{10, 20, 30}));
    ASSERT_FAULT_OK(db->count("T", n));
    EXPECT_EQ(n, 3);
    Appender sys;
    EXPECT_EQ(db->append("%USERS", sys).database, SYSTEM_TABLE);
    EXPECT_EQ(db->append("NOPE", sys).database, NO_TABLE);
}

TEST_F(StoreTest, RowsCountedTogetherEndAsRowsAddedOneByOne)
{
    // The same rows through add() into one table and add_counted() into
    // another, keyed and not: past several statements' worth of waiting
    // rows, with keys stored before, repeated among the waiting rows, rows
    // refused at once, replacements and a flush between them.
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("ID", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(item("NAME", doz::STRING, 8)));
    ASSERT_FAULT_OK(db->create_item(item("R", doz::REAL, 10)));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double reals[] = {1.5, -0.0, nan, 0.0, -2.25};
    std::vector<std::vector<doz::Value>> rows;
    for (int k = 0; k < 300; k++) {
        int id = k % 7 == 3 ? k / 2 : k;  // some keys repeat earlier ones
        doz::Value name = k % 11 == 5 ? doz::make_string("far too long", 12) : doz::make_string("n" + std::to_string(k), 8);
        doz::Value r = k % 13 == 0 ? doz::make_null(doz::REAL) : doz::make_real(reals[k % 5]);
        rows.push_back({doz::make_long(id), name, r});
    }
    for (bool keyed : {true, false}) {
        std::string one = keyed ? "KA" : "PA", many = keyed ? "KB" : "PB";
        for (const std::string &t : {one, many}) {
            ASSERT_FAULT_OK(db->create_table(
                {t, 1000, false, NOCACHED, SLOTTED, "", {{"ID", keyed, !keyed}, {"NAME", false, true}, {"R", false, true}}},
                PRIV_READ));
            Inserted what;
            ASSERT_FAULT_OK(db->insert(t, rows[10], OnDuplicate::REJECT, what));  // a key stored before
        }
        int64_t stored_one = 0;
        auto dup = [](size_t k) { return k % 50 == 49 ? OnDuplicate::REPLACE : OnDuplicate::REJECT; };
        std::vector<std::string> faults;
        {
            Appender a;
            ASSERT_FAULT_OK(db->append(one, a));
            for (size_t k = 0; k < rows.size(); k++) {
                Inserted what = Inserted::REJECTED;
                Fault f = a.add(rows[k], dup(k), what);
                faults.push_back(codes(f));
                stored_one += f.ok() && what != Inserted::REJECTED;
            }
            ASSERT_FAULT_OK(a.finish());
        }
        Appender b;
        ASSERT_FAULT_OK(db->append(many, b));
        for (size_t k = 0; k < rows.size(); k++) {
            EXPECT_EQ(codes(b.add_counted(rows[k], dup(k))), faults[k]) << k;
            if (k == 150)
                ASSERT_FAULT_OK(b.flush());
        }
        ASSERT_FAULT_OK(b.finish());
        EXPECT_EQ(b.stored(), stored_one);
        EXPECT_GT(stored_one, 200);
        std::vector<RowId> ids_one, ids_many;
        auto in_one = read_all(*db, one, &ids_one), in_many = read_all(*db, many, &ids_many);
        ASSERT_EQ(in_one.size(), in_many.size());
        EXPECT_EQ(ids_one, ids_many);
        for (size_t i = 0; i < in_one.size(); i++)
            for (size_t c = 0; c < 3; c++) {
                const doz::Value &x = in_one[i][c], &y = in_many[i][c];
                EXPECT_EQ(x.null, y.null) << i;
                if (x.null || y.null)
                    continue;
                if (c == 1)
                    EXPECT_EQ(x.s, y.s) << i;
                else if (c == 2)
                    EXPECT_EQ(0, memcmp(&x.e[0].r, &y.e[0].r, 8)) << i;  // NaN and -0.0 bit for bit
                else
                    EXPECT_EQ(x.e[0].i, y.e[0].i) << i;
            }
        int64_t n1 = 0, n2 = 0;
        ASSERT_FAULT_OK(db->count(one, n1));
        ASSERT_FAULT_OK(db->count(many, n2));
        EXPECT_EQ(n1, n2);
        EXPECT_EQ(n1, static_cast<int64_t>(in_many.size()));
    }
}

// ---------------------------------------------------------------- transactions

TEST_F(StoreTest, TransactionsCommitOrLeaveNothing)
{
    auto db = open();
    make_numbers(*db, "T");
    ASSERT_FAULT_OK(db->begin());
    EXPECT_EQ(db->begin().database, TRANSACTION);
    ASSERT_FAULT_OK(add(*db, "T", 1));
    ASSERT_FAULT_OK(add(*db, "T", 2));
    ASSERT_FAULT_OK(db->rollback());
    EXPECT_TRUE(numbers(*db, "T").empty());

    // A failing call inside a transaction undoes only itself.
    ASSERT_FAULT_OK(db->begin());
    ASSERT_FAULT_OK(add(*db, "T", 1));
    Inserted what;
    EXPECT_EQ(db->insert("T", {doz::make_string("x")}, OnDuplicate::REJECT, what).database, BAD_VALUE);
    EXPECT_EQ(db->rename_column("T", "N", "N2").ok(), true);
    EXPECT_EQ(db->clear_table("NOPE").database, NO_TABLE);
    ASSERT_FAULT_OK(add(*db, "T", 2));
    ASSERT_FAULT_OK(db->commit());
    EXPECT_EQ(db->commit().database, TRANSACTION);
    EXPECT_EQ(db->rollback().database, TRANSACTION);
    db.reset();
    db = open();
    EXPECT_EQ(numbers(*db, "T"), (std::vector<int64_t>{1, 2}));
    TableInfo info;
    ASSERT_FAULT_OK(db->table("T", info));
    EXPECT_EQ(info.def.cols[0].name, "N2");

    // A table create that fails half-way (the dictionary's privilege table
    // is full when its rows are written) leaves no trace.
    Relation before;
    ASSERT_FAULT_OK(db->system_relation("%COLS", before));
    int64_t privs = 0;
    ASSERT_FAULT_OK(db->sysinfo("", "DEMO_____p", "SIZE", privs));
    ASSERT_FAULT_OK(db->configure_table("%PRIVS", static_cast<int32_t>(privs + 1), true, std::nullopt));
    EXPECT_EQ(db->create_table({"HALF", 10, false, NOCACHED, SLOTTED, "", {{"N2"}}}, PRIV_READ).database, TABLE_FULL);
    EXPECT_FALSE(db->exists("HALF"));
    Relation after;
    ASSERT_FAULT_OK(db->system_relation("%COLS", after));
    EXPECT_EQ(after.rows.size(), before.rows.size());
    ASSERT_FAULT_OK(db->create_table({"HALF", 10, false, NOCACHED, SLOTTED, "", {{"N2"}}}, -1));
}

// ---------------------------------------------------------------- definitions

TEST_F(StoreTest, ItemDefinitionsAreChecked)
{
    auto db = open();
    struct Case {
        const char *what;
        Item item;
        int database;
    } cases[] = {
        {"string of no length", item("A", doz::STRING, 0), BAD_ITEM},
        {"string past 4096", item("A", doz::STRING, 4097), BAD_ITEM},
        {"bool array", item("A", doz::BOOL, 5, 3), BAD_ITEM},
        {"string array", item("A", doz::STRING, 5, 3), BAD_ITEM},
        {"fraction on a long", item("A", doz::LONG, 11, 0, {}, 2), BAD_ITEM},
        {"dimensions not the count", item("A", doz::LONG, 11, 6, {2, 2}), BAD_ITEM},
        {"nine dimensions", item("A", doz::LONG, 11, 512, {2, 2, 2, 2, 2, 2, 2, 2, 2}), BAD_ITEM},
        {"variable with two dimensions", item("A", doz::LONG, 11, -4, {2, 2}), BAD_ITEM},
        {"numeric width past 20", item("A", doz::LONG, 21), BAD_ITEM},
        {"name of thirteen", item("ABCDEFGHIJKLM", doz::LONG, 11), BAD_ITEM},
        {"system item", item("%RNAME", doz::STRING, 8), ITEM_EXISTS},
    };
    for (auto &c : cases)
        EXPECT_EQ(db->create_item(c.item).database, c.database) << c.what;
    ASSERT_FAULT_OK(db->create_item(item("%FIQL", doz::REAL, 12, 0, {}, 2)));
    EXPECT_EQ(db->create_item(item("%fiql", doz::LONG, 11)).database, ITEM_EXISTS);
    Item got;
    ASSERT_FAULT_OK(db->item("%FIQL", got));
    EXPECT_EQ(got.frac, 2);
    EXPECT_EQ(db->item("MISSING", got).database, UNKNOWN_ITEM);
}

TEST_F(StoreTest, TablesAreCreatedRenamedClearedAndDroppedWithTheirDictionary)
{
    auto db = open();
    for (auto &it : {item("A", doz::LONG, 11), item("B", doz::STRING, 5), item("SHARED", doz::LONG, 11)})
        ASSERT_FAULT_OK(db->create_item(it));
    ASSERT_FAULT_OK(db->set_alias("B", "BEE"));
    TableDef t1{"EMP", 50, true, CACHED, CHAINED, "dbfiles", {{"A", true}, {"B", false, true}, {"SHARED"}}};
    ASSERT_FAULT_OK(db->create_table(t1, PRIV_WRITE));
    ASSERT_FAULT_OK(db->create_table({"OTHER", 5, false, NOCACHED, SLOTTED, "", {{"SHARED"}}}, -1));
    struct Case {
        const char *what;
        Fault fault;
        int database;
    } cases[] = {
        {"same name", db->create_table({"emp", 5, false, 0, 0, "", {{"A"}}}, -1), TABLE_EXISTS},
        {"unknown item", db->create_table({"X", 5, false, 0, 0, "", {{"NOSUCH"}}}, -1), UNKNOWN_ITEM},
        {"column twice", db->create_table({"X", 5, false, 0, 0, "", {{"A"}, {"A"}}}, -1), BAD_COLUMNS},
        {"key admitting nulls", db->create_table({"X", 5, false, 0, 0, "", {{"A", true, true}}}, -1), BAD_COLUMNS},
        {"no columns", db->create_table({"X", 5, false, 0, 0, "", {}}, -1), BAD_COLUMNS},
        {"system name", db->create_table({"%ITEMS", 5, false, 0, 0, "", {{"A"}}}, -1), BAD_TABLE_NAME},
        {"name of nine", db->create_table({"ABCDEFGHI", 5, false, 0, 0, "", {{"A"}}}, -1), BAD_TABLE_NAME},
        {"no size", db->create_table({"X", 0, false, 0, 0, "", {{"A"}}}, -1), BAD_SETTING},
        {"location of twenty", db->create_table({"X", 5, false, 0, 0, "12345678901234567890", {{"A"}}}, -1),
         BAD_SETTING},
        {"rename onto a table", db->rename_table("EMP", "OTHER"), TABLE_EXISTS},
        {"rename a system table", db->rename_table("%USERS", "U"), SYSTEM_TABLE},
        {"drop a system table", db->drop_table("%USERS"), SYSTEM_TABLE},
        {"drop unknown", db->drop_table("NOPE"), NO_TABLE},
    };
    for (auto &c : cases)
        EXPECT_EQ(c.fault.database, c.database) << c.what << " " << codes(c.fault);

    int32_t xno = 0;
    ASSERT_FAULT_OK(db->create_index("EMP", true, false, {{"B", false, true}, {"A"}}, "ix", xno));
    EXPECT_EQ(xno, 1);
    EXPECT_EQ(db->create_index("EMP", false, true, {{"Z"}}, "", xno).database, UNKNOWN_ITEM);

    // A FIXED table holds at most its size; CONFIGURE changes the size.
    for (int i = 0; i < 3; ++i) {
        Inserted what;
        ASSERT_FAULT_OK(db->insert("EMP", {doz::make_long(i), doz::make_string("x", 5), doz::make_long(0)},
                                   OnDuplicate::REJECT, what));
    }
    ASSERT_FAULT_OK(db->configure_table("EMP", 3, true, MEMORY));
    Inserted what;
    EXPECT_EQ(db->insert("EMP", {doz::make_long(9), doz::make_null(doz::STRING, 5), doz::make_long(0)},
                         OnDuplicate::REJECT, what)
                  .database,
              TABLE_FULL);
    EXPECT_EQ(db->configure_table("EMP", 2, true, std::nullopt).database, TABLE_FULL);

    // Renames carry the columns, indexes and privileges.
    ASSERT_FAULT_OK(db->rename_table("EMP", "STAFF"));
    EXPECT_FALSE(db->exists("EMP"));
    TableInfo info;
    ASSERT_FAULT_OK(db->table("STAFF", info));
    EXPECT_EQ(info.def.maxsize, 3);
    EXPECT_EQ(info.def.memmode, MEMORY);
    EXPECT_EQ(info.def.structure, CHAINED);
    EXPECT_EQ(info.def.location, "dbfiles");
    EXPECT_EQ(info.items[1].alias, "BEE");
    Relation keys, privs;
    ASSERT_FAULT_OK(db->system_relation("%KEYS", keys));
    ASSERT_FAULT_OK(db->system_relation("%PRIVS", privs));
    ASSERT_EQ(keys.rows.size(), 2u);
    EXPECT_EQ(keys.rows[0][0].s, "STAFF");
    ASSERT_EQ(privs.rows.size(), 2u);
    EXPECT_EQ(privs.rows[0][0].s, "STAFF");

    ASSERT_FAULT_OK(db->clear_table("STAFF"));
    int64_t n = -1;
    ASSERT_FAULT_OK(db->count("STAFF", n));
    EXPECT_EQ(n, 0);

    // Dropping takes the indexes, keys and privileges, and the items no
    // other table uses.
    ASSERT_FAULT_OK(db->drop_table("STAFF"));
    Item it;
    EXPECT_EQ(db->item("A", it).database, UNKNOWN_ITEM);
    EXPECT_EQ(db->item("B", it).database, UNKNOWN_ITEM);
    EXPECT_FAULT_OK(db->item("SHARED", it));
    for (const char *rel : {"%INDEXES", "%KEYS", "%PRIVS"}) {
        Relation r;
        ASSERT_FAULT_OK(db->system_relation(rel, r));
        EXPECT_TRUE(r.rows.empty()) << rel;
    }
    std::vector<std::string> names;
    ASSERT_FAULT_OK(db->tables(names));
    EXPECT_EQ(names, std::vector<std::string>{"OTHER"});
}

TEST_F(StoreTest, RenamingAColumnFollowsItsItem)
{
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("OLD", doz::REAL, 12, 0, {}, 2)));
    ASSERT_FAULT_OK(db->create_item(item("SAME", doz::REAL, 12, 0, {}, 2)));
    ASSERT_FAULT_OK(db->create_item(item("DIFF", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(item("K", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_table({"T", 10, false, 0, 0, "", {{"K", true}, {"OLD"}}}, -1));
    int32_t xno;
    ASSERT_FAULT_OK(db->create_index("T", false, true, {{"OLD"}}, "", xno));
    Inserted what;
    ASSERT_FAULT_OK(db->insert("T", {doz::make_long(1), doz::make_real(2.5)}, OnDuplicate::REJECT, what));

    EXPECT_EQ(db->rename_column("T", "OLD", "DIFF").database, BAD_ITEM) << "an item of another definition";
    EXPECT_EQ(db->rename_column("T", "OLD", "K").database, BAD_COLUMNS) << "a column of the table";
    EXPECT_EQ(db->rename_column("T", "NONE", "X").database, UNKNOWN_ITEM);
    // A new name makes a new item of the same definition; the old item,
    // now unused, goes.
    ASSERT_FAULT_OK(db->rename_column("T", "OLD", "NEW"));
    Item it;
    ASSERT_FAULT_OK(db->item("NEW", it));
    EXPECT_EQ(it.type, doz::REAL);
    EXPECT_EQ(it.frac, 2);
    EXPECT_EQ(db->item("OLD", it).database, UNKNOWN_ITEM);
    // An existing item of the same definition is taken as it is.
    ASSERT_FAULT_OK(db->rename_column("T", "NEW", "SAME"));
    TableInfo info;
    ASSERT_FAULT_OK(db->table("T", info));
    EXPECT_EQ(info.def.cols[1].name, "SAME");
    Relation keys;
    ASSERT_FAULT_OK(db->system_relation("%KEYS", keys));
    ASSERT_EQ(keys.rows.size(), 1u);
    EXPECT_EQ(keys.rows[0][2].s, "SAME");
    EXPECT_EQ(read_all(*db, "T")[0][1].e[0].r, 2.5);
}

TEST_F(StoreTest, UsersAndPrivileges)
{
    auto db = open();
    make_numbers(*db, "T");
    ASSERT_FAULT_OK(db->create_user("anna", "pw", ACCESS_CREATE));
    EXPECT_EQ(db->create_user("ANNA", "pw", ACCESS_SELECT).database, USER_EXISTS);
    EXPECT_EQ(db->create_user("%DEFAULT", "pw", ACCESS_SELECT).database, BAD_LOGIN);
    EXPECT_EQ(db->create_user("BOB", "elevenchars", ACCESS_SELECT).database, BAD_SETTING);
    ASSERT_FAULT_OK(db->set_access("ANNA", ACCESS_DBA));
    ASSERT_FAULT_OK(db->grant("T", "ANNA", PRIV_WRITE, "N>0"));
    ASSERT_FAULT_OK(db->grant("T", "ANNA", PRIV_APPEND, ""));
    EXPECT_EQ(db->grant("T", "NOBODY", PRIV_READ, "").database, NO_USER);
    EXPECT_EQ(db->grant("T", "ANNA", 7, "").database, BAD_SETTING);
    Relation privs;
    ASSERT_FAULT_OK(db->system_relation("%PRIVS", privs));
    ASSERT_EQ(privs.rows.size(), 3u);  // %DEFAULT, the creator, ANNA
    EXPECT_EQ(privs.rows[0][1].s, "%DEFAULT");
    EXPECT_EQ(privs.rows[0][2].e[0].i, PRIV_READ);
    EXPECT_EQ(privs.rows[1][1].s, "BRASK");
    EXPECT_EQ(privs.rows[1][2].e[0].i, PRIV_OWNERSHIP);
    EXPECT_EQ(privs.rows[2][2].e[0].i, PRIV_APPEND);
    ASSERT_FAULT_OK(db->revoke("T", "%DEFAULT"));
    EXPECT_EQ(db->drop_user("BRASK").database, BAD_SETTING) << "not the connection's own user";
    ASSERT_FAULT_OK(db->drop_user("ANNA"));
    EXPECT_EQ(db->drop_user("ANNA").database, NO_USER);
    ASSERT_FAULT_OK(db->system_relation("%PRIVS", privs));
    ASSERT_EQ(privs.rows.size(), 1u);
    EXPECT_EQ(privs.rows[0][1].s, "BRASK");
}

// ---------------------------------------------------------------- system relations

struct ColumnShape {
    const char *name;
    int type;
    int width;
    int count;
};

TEST_F(StoreTest, SystemRelationsHaveTheirColumns)
{
    auto db = open();
    const std::vector<std::pair<const char *, std::vector<ColumnShape>>> expected = {
        {"%RELATNS",
         {{"%RNAME", doz::STRING, 8, 0}, {"%MAXSIZE", doz::LONG, 11, 0}, {"%DLOC", doz::STRING, 19, 0},
          {"%DNAME", doz::STRING, 10, 0}, {"%GOTIX", doz::BOOL, 5, 0}}},
        {"%ITEMS",
         {{"%INAME", doz::STRING, 12, 0}, {"%ALIAS", doz::STRING, 12, 0}, {"%ITYPE", doz::SHORT, 6, 0},
          {"%ILEN", doz::LONG, 11, 0}, {"%IFRAC", doz::LONG, 11, 0}, {"%IARR", doz::LONG, 11, 0},
          {"%INDIMS", doz::SHORT, 6, 0}, {"%IDIMS", doz::LONG, 11, 8}}},
        {"%COLS",
         {{"%RNAME", doz::STRING, 8, 0}, {"%INAME", doz::STRING, 12, 0}, {"%KEY", doz::BOOL, 5, 0},
          {"%NULL", doz::BOOL, 5, 0}}},
        {"%INDEXES",
         {{"%RNAME", doz::STRING, 8, 0}, {"%XNO", doz::LONG, 11, 0}, {"%XLOC", doz::STRING, 16, 0},
          {"%XUNIQUE", doz::BOOL, 5, 0}, {"%XUPDATE", doz::BOOL, 5, 0}}},
        {"%KEYS",
         {{"%RNAME", doz::STRING, 8, 0}, {"%XNO", doz::LONG, 11, 0}, {"%INAME", doz::STRING, 12, 0},
          {"%KNO", doz::LONG, 11, 0}, {"%KASC", doz::BOOL, 5, 0}, {"%KNATIVE", doz::BOOL, 5, 0}}},
        {"%USERS", {{"%UNAME", doz::STRING, 30, 0}, {"%ACCESS", doz::SHORT, 6, 0}}},
        {"%PRIVS",
         {{"%RNAME", doz::STRING, 8, 0}, {"%UNAME", doz::STRING, 30, 0}, {"%PRIV", doz::SHORT, 6, 0},
          {"%RESTRICTION", doz::STRING, 81, 0}}},
    };
    for (auto &[name, cols] : expected) {
        EXPECT_TRUE(Database::is_system(name));
        Relation r;
        ASSERT_FAULT_OK(db->system_relation(name, r));
        ASSERT_EQ(r.cols.size(), cols.size()) << name;
        for (size_t i = 0; i < cols.size(); ++i) {
            EXPECT_EQ(r.cols[i].name, cols[i].name) << name;
            EXPECT_EQ(r.cols[i].type, cols[i].type) << cols[i].name;
            EXPECT_EQ(r.cols[i].width, cols[i].width) << cols[i].name;
            EXPECT_EQ(r.cols[i].count, cols[i].count) << cols[i].name;
        }
        // Every row has a value of its column's shape.
        for (auto &row : r.rows) {
            ASSERT_EQ(row.size(), cols.size());
            for (size_t i = 0; i < cols.size(); ++i) {
                EXPECT_EQ(row[i].type, cols[i].type);
                EXPECT_EQ(row[i].count, cols[i].count);
                if (cols[i].type == doz::STRING) {
                    EXPECT_EQ(row[i].len, cols[i].width);
                    EXPECT_LE(row[i].s.size(), static_cast<size_t>(cols[i].width));
                }
            }
        }
        // The cursor and the dictionary give the same.
        TableInfo info;
        ASSERT_FAULT_OK(db->table(name, info));
        EXPECT_TRUE(info.system);
        ASSERT_EQ(info.items.size(), cols.size());
        Cursor c;
        ASSERT_FAULT_OK(db->scan(name, c));
        std::vector<doz::Value> row;
        size_t n = 0;
        while (c.next(row))
            ++n;
        EXPECT_EQ(n, r.rows.size()) << name;
    }
    EXPECT_FALSE(Database::is_system("%FIQL"));
}

TEST_F(StoreTest, SystemRelationsListThemselvesAndTheTables)
{
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("ID", doz::LONG, 11)));
    ASSERT_FAULT_OK(db->create_item(Item{"GRID", "G", doz::SHORT, 6, -1, 6, {2, 3}}));
    ASSERT_FAULT_OK(db->create_item(item("VALS", doz::REAL, 12, -10, {}, 3)));
    ASSERT_FAULT_OK(db->create_table({"ZED", 20, false, MEMORY, SIMPLE, "far", {{"ID", true}, {"GRID"}}}, PRIV_READ));
    ASSERT_FAULT_OK(db->create_table({"ABC", 30, true, 0, 0, "", {{"VALS", false, true}, {"ID"}}}, -1));
    int32_t x1, x2, x3;
    ASSERT_FAULT_OK(db->create_index("ZED", true, false, {{"GRID"}, {"ID", false, true}}, "ixloc", x1));
    ASSERT_FAULT_OK(db->create_index("ABC", false, true, {{"ID"}}, "", x2));
    ASSERT_FAULT_OK(db->create_index("ZED", false, true, {{"ID"}}, "", x3));
    EXPECT_EQ(x1, 1);
    EXPECT_EQ(x2, 1);
    EXPECT_EQ(x3, 2);

    Relation rel;
    ASSERT_FAULT_OK(db->system_relation("%RELATNS", rel));
    const char *names[] = {"%RELATNS", "%ITEMS", "%COLS", "%INDEXES", "%KEYS", "%USERS", "%PRIVS", "ZED", "ABC"};
    const char letters[] = "ricxkup";
    ASSERT_EQ(rel.rows.size(), 9u);
    for (size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(rel.rows[i][0].s, names[i]);
        if (i < 7) {
            EXPECT_EQ(rel.rows[i][3].s, std::string("DEMO_____") + letters[i]);
        }
    }
    EXPECT_EQ(rel.rows[7][2].s, "far");
    EXPECT_TRUE(rel.rows[0][4].e[0].i) << "%RELATNS has its system index";
    EXPECT_FALSE(rel.rows[5][4].e[0].i) << "%USERS has none";

    // SYSINFO answers for a table through its %DNAME, and for the
    // dictionary files through the database's padded name.
    auto info = [&](const std::string &file, const char *what) {
        int64_t v = -1;
        Fault f = db->sysinfo("", file, what, v);
        EXPECT_TRUE(f.ok()) << file << " " << what << codes(f);
        return v;
    };
    std::string zed = rel.rows[7][3].s, abc = rel.rows[8][3].s;
    Inserted what;
    ASSERT_FAULT_OK(db->insert("ZED", {doz::make_long(1), array(doz::SHORT, 6, {ei(1), ei(2), ei(3), ei(4), ei(5), ei(6)}, {2, 3})},
                               OnDuplicate::REJECT, what));
    EXPECT_EQ(info(zed, "FIXED"), 0);
    EXPECT_EQ(info(zed, "STRUCTURE"), SIMPLE);
    EXPECT_EQ(info(zed, "REQMEM"), MEMORY);
    EXPECT_EQ(info(zed, "SIZE"), 1);
    EXPECT_EQ(info(zed, "MAXRECS"), 20);
    EXPECT_EQ(info(abc, "fixed"), 1);
    EXPECT_EQ(info("DEMO_____r", "SIZE"), 9);
    EXPECT_EQ(info("DEMO_____r", "MAXRECS"), 1000);
    EXPECT_EQ(info("DEMO_____r", "FIXED"), 1);
    EXPECT_EQ(info("DEMO_____i", "FIXED"), 0);
    EXPECT_EQ(info("DEMO_____x", "SIZE"), 3);
    EXPECT_EQ(info("DEMO_____k", "SIZE"), 4);
    EXPECT_EQ(info("DEMO_____u", "SIZE"), 1);
    EXPECT_EQ(info("DEMO_____p", "SIZE"), 2);
    int64_t v;
    EXPECT_EQ(db->sysinfo("", "OTHER____r", "SIZE", v).database, NO_TABLE);
    EXPECT_EQ(db->sysinfo("", zed, "COLOUR", v).database, BAD_SETTING);

    Relation items;
    ASSERT_FAULT_OK(db->system_relation("%ITEMS", items));
    const auto &grid = items.rows[items.rows.size() - 2], &vals = items.rows.back();
    EXPECT_EQ(items.rows[0][0].s, "%RNAME");
    EXPECT_EQ(grid[0].s, "GRID");
    EXPECT_EQ(grid[1].s, "G");
    EXPECT_EQ(grid[2].e[0].i, doz::SHORT);
    EXPECT_EQ(grid[5].e[0].i, 6);
    EXPECT_EQ(grid[6].e[0].i, 2);
    std::vector<int64_t> dims;
    for (auto &e : grid[7].e)
        dims.push_back(e.i);
    EXPECT_EQ(dims, (std::vector<int64_t>{2, 3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(vals[4].e[0].i, 3);
    EXPECT_EQ(vals[5].e[0].i, -10);
    EXPECT_EQ(vals[6].e[0].i, 1);
    EXPECT_EQ(info("DEMO_____i", "SIZE"), static_cast<int64_t>(items.rows.size()));

    // %COLS: grouped by table, columns in table order, the system
    // relations' own columns first.
    Relation cols;
    ASSERT_FAULT_OK(db->system_relation("%COLS", cols));
    EXPECT_EQ(cols.rows[0][0].s, "%RELATNS");
    EXPECT_EQ(cols.rows[0][1].s, "%RNAME");
    EXPECT_TRUE(cols.rows[0][2].e[0].i);
    size_t n = cols.rows.size();
    EXPECT_EQ(info("DEMO_____c", "SIZE"), static_cast<int64_t>(n));
    std::vector<std::string> tail;
    for (size_t i = n - 4; i < n; ++i)
        tail.push_back(cols.rows[i][0].s + "." + cols.rows[i][1].s + (cols.rows[i][2].e[0].i ? "+key" : "") +
                       (cols.rows[i][3].e[0].i ? "+null" : ""));
    EXPECT_EQ(tail, (std::vector<std::string>{"ZED.ID+key", "ZED.GRID", "ABC.VALS+null", "ABC.ID"}));

    // %INDEXES in index order per table; %KEYS in key order per index.
    Relation idx, keys;
    ASSERT_FAULT_OK(db->system_relation("%INDEXES", idx));
    ASSERT_FAULT_OK(db->system_relation("%KEYS", keys));
    std::vector<std::string> got;
    for (auto &r : idx.rows)
        got.push_back(r[0].s + "/" + std::to_string(r[1].e[0].i) + "/" + r[2].s + "/" +
                      std::to_string(r[3].e[0].i) + std::to_string(r[4].e[0].i));
    EXPECT_EQ(got, (std::vector<std::string>{"ZED/1/ixloc/10", "ZED/2//01", "ABC/1//01"}));
    got.clear();
    for (auto &r : keys.rows)
        got.push_back(r[0].s + "/" + std::to_string(r[1].e[0].i) + "/" + r[2].s + "/" +
                      std::to_string(r[3].e[0].i) + std::to_string(r[4].e[0].i) + std::to_string(r[5].e[0].i));
    EXPECT_EQ(got, (std::vector<std::string>{"ZED/1/GRID/110", "ZED/1/ID/201", "ZED/2/ID/110", "ABC/1/ID/110"}));
}

TEST_F(StoreTest, DictionaryTablesAreConfigured)
{
    auto db = open(OpenMode::EXCLUSIVE);
    int64_t v = 0;
    // A configure that changes nothing, or leaves a fixed table smaller
    // than its rows, is refused with the filer code the program accepts.
    EXPECT_EQ(db->configure_table("%RELATNS", 1000, true, std::nullopt).filer, FILER_CONFIGURE);
    EXPECT_EQ(db->configure_table("%RELATNS", 3, true, std::nullopt).filer, FILER_CONFIGURE);
    ASSERT_FAULT_OK(db->configure_table("%RELATNS", 8, true, std::nullopt));
    ASSERT_FAULT_OK(db->sysinfo("", "DEMO_____r", "MAXRECS", v));
    EXPECT_EQ(v, 8);
    ASSERT_FAULT_OK(db->configure_table("%ITEMS", 4000, true, std::nullopt));
    ASSERT_FAULT_OK(db->sysinfo("", "DEMO_____i", "FIXED", v));
    EXPECT_EQ(v, 1);
    // The fixed relation table now holds the seven and one table more.
    make_numbers(*db, "ONE");
    EXPECT_EQ(db->create_table({"TWO", 5, false, 0, 0, "", {{"N"}}}, -1).database, TABLE_FULL);

    ASSERT_FAULT_OK(db->set_system_index("%USERS", true));
    ASSERT_FAULT_OK(db->set_system_index("%relatns", false));
    EXPECT_EQ(db->set_system_index("ONE", true).database, SYSTEM_TABLE);
    Relation rel;
    ASSERT_FAULT_OK(db->system_relation("%RELATNS", rel));
    EXPECT_FALSE(rel.rows[0][4].e[0].i);
    EXPECT_TRUE(rel.rows[5][4].e[0].i);
}

TEST_F(StoreTest, ConditionsOnRealsFindRealsStoredAsBytesHoweverTheyWentIn)
{
    // While a table's reals are all numbers SQLite judges conditions on
    // them alone (and copies by them); a real stored as bytes (here NaN,
    // which the reader may find equal to anything) must then still reach
    // the reader, whichever way it went in, from this connection or another.
    auto db = open();
    ASSERT_FAULT_OK(db->create_item(item("N", doz::LONG, 9)));
    ASSERT_FAULT_OK(db->create_item(item("R", doz::REAL, 15, 0, {}, 3)));
    auto make = [&](const std::string &name) {
        return db->create_table({name, 100, false, NOCACHED, SLOTTED, "", {{"N", false, true}, {"R", false, true}}},
                                PRIV_READ);
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<doz::Value> odd{doz::make_long(9), doz::make_real(nan)};
    ASSERT_FAULT_OK(make("SRC"));
    Inserted what;
    ASSERT_FAULT_OK(db->insert("SRC", odd, OnDuplicate::REJECT, what));
    ASSERT_FAULT_OK(make("OUT"));
    const Condition eq5{Condition::COMPARE, 1, "=", doz::make_real(5.0), {}};
    const Condition below1{Condition::COMPARE, 1, "<", doz::make_long(1), {}};
    // Rows a scan with R=5 hands over, and whether a copy by R<1 was the
    // storage's alone.
    auto odd_rows = [](Database &d, const std::string &t, const Condition &c) {
        Cursor cur;
        EXPECT_FAULT_OK(d.scan(t, cur, {}, &c));
        std::vector<doz::Value> row;
        int n = 0;
        while (cur.next(row))
            n += !row[1].null && std::isnan(row[1].e[0].r);
        EXPECT_FAULT_OK(cur.fault());
        return n;
    };
    auto copied_alone = [&](const std::string &t) {
        bool done = false;
        int64_t copied = 0;
        EXPECT_FAULT_OK(db->copy_rows(t, &below1, "OUT", {0, 1}, {}, done, copied));
        return done;
    };
    auto failed = [] {
        Fault f;
        f.database = BAD_SETTING;
        return f;
    };
    struct Way {
        const char *how;
        std::function<Fault(const std::string &)> put;
    };
    const Way ways[] = {
        {"insert", [&](const std::string &t) { return db->insert(t, odd, OnDuplicate::REJECT, what); }},
        {"append",
         [&](const std::string &t) {
             Appender a;
             if (Fault f = db->append(t, a); !f.ok())
                 return f;
             if (Fault f = a.add(odd, OnDuplicate::REJECT, what); !f.ok())
                 return f;
             return a.finish();
         }},
        {"append counted",
         [&](const std::string &t) {
             Appender a;
             if (Fault f = db->append(t, a); !f.ok())
                 return f;
             if (Fault f = a.add_counted(odd, OnDuplicate::REJECT); !f.ok())
                 return f;
             return a.finish();
         }},
        {"update",
         [&](const std::string &t) {
             std::vector<RowId> ids;
             read_all(*db, t, &ids);
             return db->update(t, ids.at(0), odd);
         }},
        {"copy",
         [&](const std::string &t) {
             bool done = false;
             int64_t copied = 0;
             Fault f = db->copy_rows("SRC", nullptr, t, {0, 1}, {}, done, copied);
             return f.ok() && !done ? failed() : f;
         }},
        {"another connection",
         [&](const std::string &t) {
             auto other = open();
             return other->insert(t, odd, OnDuplicate::REJECT, what);
         }},
        {"a database made before the mark",
         [&](const std::string &t) {
             std::vector<RowId> ids;
             read_all(*db, t, &ids);
             sqlite3 *raw = nullptr;
             EXPECT_EQ(sqlite3_open((server + "/DEMO/doz.sqlite").c_str(), &raw), SQLITE_OK);
             std::string data;
             {
                 sqlite3_stmt *st = nullptr;
                 sqlite3_prepare_v2(raw, "SELECT id FROM doz_relations WHERE name=?", -1, &st, nullptr);
                 sqlite3_bind_text(st, 1, t.c_str(), -1, SQLITE_TRANSIENT);
                 char name[16];
                 snprintf(name, sizeof name, "d%09lld", sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0LL);
                 sqlite3_finalize(st);
                 data = name;
             }
             std::string sql = "DELETE FROM doz_meta WHERE key LIKE 'plainreals.%'; UPDATE " + data +
                               " SET c1=x'000000000000f87f' WHERE nat=" + std::to_string(ids.at(0));
             int rc = sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr);
             sqlite3_close(raw);
             return rc == SQLITE_OK ? Fault{} : failed();
         }},
    };
    int n = 0;
    for (const Way &w : ways) {
        SCOPED_TRACE(w.how);
        std::string t = "T" + std::to_string(n++);
        ASSERT_FAULT_OK(make(t));
        ASSERT_FAULT_OK(db->insert(t, {doz::make_long(1), doz::make_real(5.0)}, OnDuplicate::REJECT, what));
        EXPECT_TRUE(copied_alone(t)) << "numbers only: the storage copies by a real condition";
        ASSERT_FAULT_OK(w.put(t));
        EXPECT_EQ(odd_rows(*db, t, eq5), 1);
        EXPECT_EQ(odd_rows(*db, t, below1), 1);
        EXPECT_EQ(odd_rows(*open(), t, eq5), 1) << "a fresh connection";
        EXPECT_FALSE(copied_alone(t));
    }
    // Dropping and making the table again starts it over.
    ASSERT_FAULT_OK(db->drop_table("T0"));
    ASSERT_FAULT_OK(make("T0"));
    EXPECT_TRUE(copied_alone("T0"));
}

TEST_F(StoreTest, CursorStopsWhenAsked)
{
    auto db = open();
    make_numbers(*db, "T");
    ASSERT_FAULT_OK(db->begin());
    for (int i = 0; i < 1000; ++i)
        ASSERT_FAULT_OK(add(*db, "T", i));
    ASSERT_FAULT_OK(db->commit());
    int seen = 0;
    Cursor c;
    ASSERT_FAULT_OK(db->scan("T", c, [&] { return seen >= 300; }));
    std::vector<doz::Value> row;
    while (c.next(row))
        ++seen;
    EXPECT_GE(seen, 300);
    EXPECT_LT(seen, 1000);
    EXPECT_EQ(c.fault().query, 7);
    EXPECT_FALSE(c.next(row)) << "a stopped cursor stays stopped";
}

}  // namespace
