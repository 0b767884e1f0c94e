// The column editor's checks and list lines, and the table editor's
// collection of new columns, without a display.

#include <gtest/gtest.h>

#include "dlcolchk.h"
#include "dlnewcols.h"
#include "wsdict.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(ColumnChecks, LengthAtEachTypesBounds)
{
    struct Case {
        int type;
        const char *length;
        bool ok;
    };
    std::vector<Case> cases = {
        {DLCOL_STRING, "4096", true}, {DLCOL_STRING, "4097", false}, {DLCOL_BOOL, "6", true},
        {DLCOL_BOOL, "7", false},     {DLCOL_CHAR, "6", true},       {DLCOL_CHAR, "7", false},
        {DLCOL_BLOB, "0", true},      {DLCOL_BLOB, "99999", true},   {DLCOL_STRING, "", false},
        {DLCOL_LONG, "x", false},     {-1, "1", false},
    };
    for (int type : {DLCOL_LONG, DLCOL_SHORT, DLCOL_REAL, DLCOL_DATE, DLCOL_TIME, DLCOL_COMPLEX, DLCOL_SHORTREAL,
                     DLCOL_BYTE}) {
        cases.push_back({type, "20", true});
        cases.push_back({type, "21", false});
    }
    for (const Case &c : cases)
        EXPECT_EQ(dlcol_length_ok(c.type, c.length), c.ok) << dlcol_type_name(c.type) << " " << c.length;
}

TEST(ColumnChecks, FractionAgainstTheLength)
{
    struct Case {
        int length;
        const char *fraction;
        bool ok;
    } cases[] = {{8, "", true}, {7, "", true}, {6, "", false}, {5, "", false}, {6, "5", false},
                 {6, "4", true}, {6, " 4 ", true}, {12, "2", true}, {2, "0", true}, {1, "0", false},
                 {8, "x", false}};
    for (const Case &c : cases)
        EXPECT_EQ(dlcol_fraction_ok(c.length, c.fraction), c.ok) << c.length << " '" << c.fraction << "'";
}

TEST(ColumnChecks, DimensionsWithinTheArrayLimit)
{
    struct Case {
        const char *text;
        bool ok;
        int ndims;
        int64_t count;
    } cases[] = {
        {"", true, 0, 0},
        {"  ", true, 0, 0},
        {"2, 3", true, 2, 6},
        {" 7 ", true, 1, 7},
        {"2,2,2,2,2,2,2,2", true, 8, 256},
        {"32767", true, 1, 32767},
        {"1,2,3,4,5,6,7,8,9", false, 0, 0},  // nine
        {"0", false, 0, 0},                  // an array of nothing
        {"3,0", false, 0, 0},
        {"32768", false, 0, 0},
        {"181,182", false, 0, 0},            // 32942 elements
        {"99999999999", false, 0, 0},        // past any int
        {"40000,40000,40000,40000,40000,40000,40000,40000", false, 0, 0},
        {"A", false, 0, 0},
        {"2,,3", false, 0, 0},
        {"2,", false, 0, 0},
        {"-2", false, 0, 0},
        {"2 3", false, 0, 0},
    };
    for (const Case &c : cases) {
        DlColDims d;
        d.ndims = 99;
        EXPECT_EQ(dlcol_parse_dims(c.text, d), c.ok) << "'" << c.text << "'";
        EXPECT_EQ(d.ndims, c.ndims) << c.text;
        EXPECT_EQ(d.count, c.count) << c.text;
    }
    DlColDims d;
    ASSERT_TRUE(dlcol_parse_dims("2, 3", d));
    EXPECT_EQ(d.dims[0], 2);
    EXPECT_EQ(d.dims[1], 3);
    EXPECT_EQ(dlcol_dims_text(d.ndims, d.dims), "2,3");
}

// A dictionary of three items, EMPNO (alias NO) and ENAME in the table,
// DEPTNO (alias DNO) in another one.
struct Fixture {
    DictItem deptno{}, ename{}, empno{};
    DictColumn c_ename{}, c_empno{};
    Fixture()
    {
        strcpy(empno.name, "EMPNO");
        strcpy(empno.alias, "NO");
        strcpy(ename.name, "ENAME");
        strcpy(deptno.name, "DEPTNO");
        strcpy(deptno.alias, "DNO");
        deptno.type = DLCOL_LONG;
        empno.next = &ename;
        ename.next = &deptno;
        strcpy(c_empno.name, "EMPNO");
        c_empno.item = &empno;
        c_empno.next = &c_ename;
        strcpy(c_ename.name, "ENAME");
        c_ename.item = &ename;
    }
    DlColView view(const char *default_name, bool qualify = false)
    {
        DlColView v;
        v.items = &empno;
        v.columns = &c_empno;
        v.default_name = default_name;
        v.qualify = qualify;
        return v;
    }
};

TEST(ColumnChecks, NameOverTheDictionary)
{
    Fixture f;
    struct Case {
        const char *default_name;
        bool qualify;
        const char *text;
        bool valid, is_default;
        const char *name;
        const DictItem *item;
    } cases[] = {
        {"", false, "", true, false, "", nullptr},
        {"", false, "bonus", true, false, "BONUS", nullptr},          // upper-cased, new
        {"ENAME", false, "ename", true, true, "ENAME", nullptr},      // the column shown
        {"STAFF.ENAME", true, "staff.ename", true, true, "STAFF.ENAME", nullptr},
        {"", false, "ENAME", false, false, "ENAME", nullptr},         // a column the table has
        {"", false, "NO", false, false, "NO", nullptr},               // its item's alias
        {"", true, "STAFF.EMPNO", false, false, "STAFF.EMPNO", nullptr},
        {"", false, "DEPTNO", true, false, "DEPTNO", &f.deptno},      // an item: its definition
        {"", false, "dno", true, false, "DNO", &f.deptno},            // by its alias
        {"", true, "T.DEPTNO", true, false, "T.DEPTNO", &f.deptno},
        {"", false, "T.DEPTNO", true, false, "T.DEPTNO", nullptr},    // unqualified names: no item
    };
    for (const Case &c : cases) {
        const DlColNameCheck r = dlcol_check_name(f.view(c.default_name, c.qualify), c.text);
        EXPECT_EQ(r.valid, c.valid) << c.text;
        EXPECT_EQ(r.is_default, c.is_default) << c.text;
        EXPECT_EQ(r.name, c.name) << c.text;
        EXPECT_EQ(r.item, c.item) << c.text;
    }
}

TEST(ColumnChecks, AliasOverTheDictionary)
{
    Fixture f;
    struct Case {
        const char *default_name;
        bool qualify;
        const char *alias, *name;
        bool valid;
    } cases[] = {
        {"", false, "", "BONUS", true},
        {"", false, "B", "BONUS", true},
        {"", false, "bonus", "BONUS", false},            // the name itself
        {"", true, "BONUS", "NEWT.BONUS", false},        // the name without its table
        {"", false, "ENAME", "BONUS", false},            // an item's name
        {"", false, "DNO", "BONUS", false},              // an item's alias
        {"DEPTNO", false, "DNO", "DEPTNO", true},        // the item's own alias, editing it
        {"T.DEPTNO", true, "DNO", "T.DEPTNO", true},
        {"ENAME", false, "DNO", "ENAME", false},         // another item's
    };
    for (const Case &c : cases)
        EXPECT_EQ(dlcol_check_alias(f.view(c.default_name, c.qualify), c.alias, c.name), c.valid)
            << c.alias << " for " << c.name;
}

DictItem item(int type, int length, int fraction = -1, std::vector<int> dims = {}, int var = 0)
{
    DictItem it{};
    it.type = type;
    it.length = length;
    it.fraction = fraction;
    it.ndims = static_cast<int>(dims.size());
    it.array_size = dims.empty() ? 0 : 1;
    for (size_t i = 0; i < dims.size(); i++) {
        it.dims[i] = dims[i];
        it.array_size *= dims[i];
    }
    it.var = var;
    return it;
}

TEST(ColumnList, LinesOfNewColumns)
{
    struct Case {
        const char *name;
        DictItem item;
        int key, null;
        const char *line;
    } cases[] = {
        {"NAME", item(DLCOL_STRING, 30), 1, 0, "NAME         STRING(30) PRIMARY"},
        {"NOTE", item(DLCOL_STRING, 30), 0, 1, "NOTE         STRING(30) NULL"},
        {"K", item(DLCOL_LONG, 6), 0, 0, "K            LONG(6) "},
        {"BONUS", item(DLCOL_REAL, 10, 2), 0, 1, "BONUS        REAL(10,2) NULL"},
        {"GRID", item(DLCOL_SHORT, 4, -1, {2, 3}, 1), 0, 0, "GRID         SHORT(4)[2,3]VAR "},
        {"CUBE", item(DLCOL_REAL, 8, 0, {2, 2, 2}), 1, 0, "CUBE         REAL(8,0)[2,2,2] PRIMARY"},
        {"PIC", item(DLCOL_BLOB, 3), 0, 1, "PIC          BLOB CLASS 3 NULL"},
        {"DOC", item(DLCOL_BLOB, 0), 0, 0, "DOC          BLOB CLASS 0 "},
        {"ALONGERNAME1", item(DLCOL_SHORTREAL, 9, 3), 0, 0, "ALONGERNAME1 SHORTREAL(9,3) "},
    };
    for (Case &c : cases) {
        DictColumn col{};
        strcpy(col.name, c.name);
        col.key = c.key;
        col.null = c.null;
        col.item = &c.item;
        EXPECT_EQ(dlcol_list_line(col), c.line);
    }
}

ObColumnData value(const char *name, int type, int length, int key = 0)
{
    ObColumnData v{};
    v.kind = OB_COLUMN;
    strcpy(v.name, name);
    strcpy(v.alias, "");
    v.type = type;
    v.length = length;
    v.fraction = -1;
    v.key = key;
    return v;
}

TEST(NewColumns, TheSameNameIsUpdatedInPlaceOthersAppended)
{
    DlNewColumns list;
    EXPECT_FALSE(list.merge(value("", DLCOL_LONG, 6)));
    EXPECT_EQ(list.values(), nullptr);
    EXPECT_EQ(list.columns(), nullptr);

    ASSERT_TRUE(list.merge(value("K", DLCOL_LONG, 6, 1)));
    ASSERT_TRUE(list.merge(value("NOTE", DLCOL_STRING, 30)));
    ObColumnData *first = list.values();
    DictColumn *first_column = list.columns();
    // NOTE again, redefined: one entry, the same records, in place.
    ObColumnData note = value("NOTE", DLCOL_STRING, 40);
    note.null = 1;
    strcpy(note.alias, "N");
    ASSERT_TRUE(list.merge(note));
    ASSERT_TRUE(list.merge(value("DEPTNO", DLCOL_LONG, 6)));
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.values(), first);
    EXPECT_EQ(list.columns(), first_column);

    std::vector<std::string> names;
    for (const ObColumnData *v = list.values(); v; v = v->chain)
        names.push_back(v->name);
    EXPECT_EQ(names, (std::vector<std::string>{"K", "NOTE", "DEPTNO"}));
    const ObColumnData *second = first->chain;
    EXPECT_EQ(second->length, 40);
    EXPECT_EQ(second->null, 1);

    std::vector<std::string> lines;
    for (const DictColumn *c = list.columns(); c; c = c->next) {
        ASSERT_NE(c->item, nullptr);
        EXPECT_STREQ(c->item->name, c->name);
        lines.push_back(dlcol_list_line(*c));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"K            LONG(6) PRIMARY", "NOTE         STRING(40) NULL",
                                               "DEPTNO       LONG(6) "}));
    EXPECT_STREQ(list.columns()->next->item->alias, "N");

    list.clear();
    EXPECT_EQ(list.values(), nullptr);
    EXPECT_EQ(list.columns(), nullptr);
    EXPECT_EQ(list.size(), 0u);
}

}  // namespace
