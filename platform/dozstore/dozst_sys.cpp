// The definitions of the system relations: their items, their columns
// and the settings a new database gives them.

#include "dozst_int.h"

namespace dozstore {

// Name, dictionary-file letter, maximum rows, FIXED, system index.
const SystemTable SYSTEM_TABLES[7] = {
    {"%RELATNS", 'r', 1000, true, true},  {"%ITEMS", 'i', 4000, false, true},
    {"%COLS", 'c', 10000, false, true},   {"%INDEXES", 'x', 1000, true, true},
    {"%KEYS", 'k', 4000, false, true},    {"%USERS", 'u', 100, true, false},
    {"%PRIVS", 'p', 10000, false, true},
};

namespace {

Item str(const char *name, int len) { return Item{name, "", doz::STRING, len, -1, 0, {}}; }
Item num(const char *name, int type, int width) { return Item{name, "", type, width, -1, 0, {}}; }

}  // namespace

const std::vector<Item> &system_items()
{
    static const std::vector<Item> items = {
        str("%RNAME", 8),
        num("%MAXSIZE", doz::LONG, 11),
        str("%DLOC", 19),
        str("%DNAME", 10),
        num("%GOTIX", doz::BOOL, 5),
        str("%INAME", 12),
        str("%ALIAS", 12),
        num("%ITYPE", doz::SHORT, 6),
        num("%ILEN", doz::LONG, 11),
        num("%IFRAC", doz::LONG, 11),
        num("%IARR", doz::LONG, 11),
        num("%INDIMS", doz::SHORT, 6),
        Item{"%IDIMS", "", doz::LONG, 11, -1, MAX_DIMS, {MAX_DIMS}},
        num("%KEY", doz::BOOL, 5),
        num("%NULL", doz::BOOL, 5),
        num("%XNO", doz::LONG, 11),
        str("%XLOC", 16),
        num("%XUNIQUE", doz::BOOL, 5),
        num("%XUPDATE", doz::BOOL, 5),
        num("%KNO", doz::LONG, 11),
        num("%KASC", doz::BOOL, 5),
        num("%KNATIVE", doz::BOOL, 5),
        str("%UNAME", 30),
        num("%ACCESS", doz::SHORT, 6),
        num("%PRIV", doz::SHORT, 6),
        str("%RESTRICTION", 81),
    };
    return items;
}

const std::vector<ColumnDef> &system_columns(int table)
{
    static const std::vector<ColumnDef> cols[7] = {
        {{"%RNAME", true}, {"%MAXSIZE"}, {"%DLOC"}, {"%DNAME"}, {"%GOTIX"}},
        {{"%INAME", true}, {"%ALIAS"}, {"%ITYPE"}, {"%ILEN"}, {"%IFRAC"}, {"%IARR"}, {"%INDIMS"}, {"%IDIMS"}},
        {{"%RNAME"}, {"%INAME"}, {"%KEY"}, {"%NULL"}},
        {{"%RNAME"}, {"%XNO"}, {"%XLOC"}, {"%XUNIQUE"}, {"%XUPDATE"}},
        {{"%RNAME"}, {"%XNO"}, {"%INAME"}, {"%KNO"}, {"%KASC"}, {"%KNATIVE"}},
        {{"%UNAME", true}, {"%ACCESS"}},
        {{"%RNAME"}, {"%UNAME"}, {"%PRIV"}, {"%RESTRICTION"}},
    };
    return cols[table];
}

int system_index(const std::string &name)
{
    for (int i = 0; i < 7; ++i)
        if (name == SYSTEM_TABLES[i].name)
            return i;
    return -1;
}

std::string dictionary_file(const std::string &db, char letter)
{
    std::string s = db;
    if (s.size() < 9)
        s.append(9 - s.size(), '_');
    return s + letter;
}

bool Database::is_system(const std::string &name) { return system_index(upper(name)) >= 0; }

}  // namespace dozstore
