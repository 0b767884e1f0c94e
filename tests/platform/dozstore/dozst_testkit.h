// Shared pieces of the storage tests: a server directory with one
// database in it, value makers and a bit-exact value comparison.
#pragma once

#include "dozeng.h"
#include "dozstore.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace dozst_test {

using namespace dozstore;

inline std::string codes(const Fault &f)
{
    return "(q " + std::to_string(f.query) + ", db " + std::to_string(f.database) + ", filer " +
           std::to_string(f.filer) + ": " + f.detail + ")";
}

#define EXPECT_FAULT_OK(expr)                      \
    do {                                           \
        ::dozstore::Fault f_ = (expr);             \
        EXPECT_TRUE(f_.ok()) << #expr << " " << ::dozst_test::codes(f_); \
    } while (0)
#define ASSERT_FAULT_OK(expr)                      \
    do {                                           \
        ::dozstore::Fault f_ = (expr);             \
        ASSERT_TRUE(f_.ok()) << #expr << " " << ::dozst_test::codes(f_); \
    } while (0)

// A server directory with the database DEMO, created by BRASK.
class StoreTest : public ::testing::Test {
  protected:
    std::string server;
    const std::string pass = session_password("BRASK", std::nullopt);

    void SetUp() override
    {
        server = vxtest::temp_dir("dozstore");
        ASSERT_FAULT_OK(create_database(server, "DEMO", "./", "BRASK", pass));
    }
    void TearDown() override { std::filesystem::remove_all(server); }

    std::unique_ptr<Database> open(OpenMode mode = OpenMode::SHARED, const std::string &user = "BRASK",
                                   const std::string *password = nullptr)
    {
        Fault f;
        auto db = Database::open(server, "DEMO", "", mode, user, password ? *password : pass, f);
        EXPECT_TRUE(f.ok()) << codes(f);
        return db;
    }
};

inline Item item(const std::string &name, int type, int len, int32_t arr = 0, std::vector<int32_t> dims = {},
                 int frac = -1)
{
    if (arr != 0 && dims.empty())
        dims = {arr < 0 ? -arr : arr};
    return Item{name, "", type, len, frac, arr, dims};
}

inline doz::Value array(int type, int32_t count, std::vector<doz::Elem> e, std::vector<int32_t> dims = {})
{
    doz::Value v;
    v.type = type;
    v.null = false;
    v.count = count;
    v.e = std::move(e);
    v.dims = std::move(dims);
    return v;
}

inline doz::Elem ei(int64_t i) { return doz::Elem{i, 0.0, 0.0}; }
inline doz::Elem er(double r, double im = 0.0) { return doz::Elem{0, r, im}; }

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Equal in every field that travels, reals compared bit for bit.
inline ::testing::AssertionResult same_value(const doz::Value &a, const doz::Value &b)
{
    auto fail = [&](const char *what) { return ::testing::AssertionFailure() << "values differ in " << what; };
    if (a.type != b.type)
        return fail("type");
    if (a.null != b.null)
        return fail("null");
    if (a.null)
        return ::testing::AssertionSuccess();
    if (a.count != b.count)
        return fail("count");
    if ((a.type == doz::STRING || a.type == doz::BLOB) && (a.len != b.len || a.s != b.s))
        return fail("text");
    if (a.dims != b.dims)
        return fail("dims");
    if (a.e.size() != b.e.size())
        return fail("elements");
    for (size_t i = 0; i < a.e.size(); ++i)
        if (a.e[i].i != b.e[i].i || !same_bits(a.e[i].r, b.e[i].r) || !same_bits(a.e[i].im, b.e[i].im))
            return fail("an element");
    return ::testing::AssertionSuccess();
}

// All rows of a table in its order.
inline std::vector<std::vector<doz::Value>> read_all(Database &db, const std::string &table,
                                                     std::vector<RowId> *ids = nullptr)
{
    Cursor c;
    std::vector<std::vector<doz::Value>> rows;
    Fault f = db.scan(table, c);
    EXPECT_TRUE(f.ok()) << codes(f);
    std::vector<doz::Value> row;
    RowId id = 0;
    while (c.next(row, &id)) {
        rows.push_back(row);
        if (ids)
            ids->push_back(id);
    }
    EXPECT_TRUE(c.fault().ok()) << codes(c.fault());
    return rows;
}

// A one-column LONG table N (key or not) for the order and process tests.
inline void make_numbers(Database &db, const std::string &table, bool key = false)
{
    Item n;
    if (!db.item("N", n).ok())
        ASSERT_FAULT_OK(db.create_item(item("N", doz::LONG, 11)));
    TableDef def{table, 100000, false, NOCACHED, SLOTTED, "", {{"N", key, false}}};
    ASSERT_FAULT_OK(db.create_table(def, PRIV_READ));
}

inline std::vector<int64_t> numbers(Database &db, const std::string &table)
{
    std::vector<int64_t> out;
    for (auto &r : read_all(db, table))
        out.push_back(r[0].e[0].i);
    return out;
}

inline Fault add(Database &db, const std::string &table, int64_t n, Inserted *what = nullptr,
                 OnDuplicate dup = OnDuplicate::REJECT)
{
    Inserted w;
    return db.insert(table, {doz::make_long(n)}, dup, what ? *what : w);
}

}  // namespace dozst_test
