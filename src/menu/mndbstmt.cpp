// The database commands' statements, the configuration value's order and
// the Database and View panes' sensitivity rules.

#include "mndbstmt.h"

#include <cstring>
#include <iterator>

std::string mndb_quoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

std::string mndb_pass_statement(const std::string &password) { return "SET %PASS " + mndb_quoted(password); }

std::string mndb_open_statement(const std::string &name, int mode, const std::string &location)
{
    const char *word = mode == 1 ? "EXCLUSIVE" : mode == 2 ? "FORCED" : "";
    std::string s = "OPEN " + name + " " + word;
    if (!location.empty())
        s += " ON " + mndb_quoted(location);
    return s;
}

std::string mndb_open_exclusive_statement(const std::string &name, const std::string &location)
{
    std::string s = "OPEN " + name + " EXCLUSIVE";
    if (!location.empty())
        s += " ON " + mndb_quoted(location);
    return s;
}

std::string mndb_create_statement(const std::string &name, const std::string &location)
{
    return "CREATE DATABASE " + name + " ON " + mndb_quoted(location.empty() ? "./" : location);
}

std::vector<std::string> mndb_drop_table_statements(const std::vector<std::string> &tables)
{
    std::vector<std::string> out;
    for (const std::string &t : tables)
        if (!t.empty() && t[0] != '%')
            out.push_back("DROP " + t);
    return out;
}

std::string mndb_drop_database_statement(const std::string &name) { return "DROP DATABASE " + name; }

std::string mndb_table_list_path(const std::string &install_dir, const std::string &database,
                                 const std::string &user)
{
    return install_dir + "/etc/tables/" + database + "." + user;
}

// ---- the configuration value --------------------------------------------------------

// Where each out-parameter of the read lands in the value.
static const int read_to_value[MNDB_CONFIG_COUNT] = {1, 0, 2, 3, 4, 5, 6, 9, 10, 8, 7, 11, 12, 13, 15, 16, 14};

void mndb_config_from_read(const MndbConfigRead &read, int value[MNDB_CONFIG_COUNT])
{
    int flat[MNDB_CONFIG_COUNT];
    flat[0] = read.memsize;
    flat[1] = read.postsize;
    flat[2] = read.locks_off;
    for (int i = 0; i < 8; i++)
        flat[3 + i] = read.limits[i];
    for (int i = 0; i < 6; i++)
        flat[11 + i] = read.indexed[i];
    for (int k = 0; k < MNDB_CONFIG_COUNT; k++)
        value[read_to_value[k]] = flat[k];
}

MndbConfigWrite mndb_config_to_write(const int value[MNDB_CONFIG_COUNT])
{
    static const int sizes[7] = {4, 5, 6, 9, 10, 8, 7};
    static const int wishes[6] = {11, 12, 13, 15, 16, 14};
    MndbConfigWrite w{};
    for (int i = 0; i < 7; i++)
        w.sizes[i] = value[sizes[i]];
    for (int i = 0; i < 6; i++)
        w.wishes[i] = value[wishes[i]];
    w.memsize = value[1];
    w.postsize = value[0];
    w.locks_choice = value[2];
    w.maxfiles = value[3];
    return w;
}

// ---- sensitivity ------------------------------------------------------------------

static bool when_open(const MndbSensState &s) { return s.open; }
static bool when_closed(const MndbSensState &s) { return !s.open; }
static bool when_droppable(const MndbSensState &s) { return s.open && s.exclusive && s.dbpriv; }
static bool when_password(const MndbSensState &s) { return s.open && !s.default_user; }

const MndbSensRule mndb_dbase_rules[] = {
    {"dbase_close_b", when_open},       {"dbase_build_b", when_closed}, {"dbase_conf_b", when_closed},
    {"dbase_delete_b", when_droppable}, {"dbase_pass_b", when_password}, {"dbase_schema_b", when_open},
};
const std::size_t mndb_dbase_rule_count = std::size(mndb_dbase_rules);

const MndbSensRule mndb_view_rules[] = {
    {"view_reread_b", when_open},
    {"popup_reread_b", when_open},
    {"view_set_tables_b", when_open},
};
const std::size_t mndb_view_rule_count = std::size(mndb_view_rules);

const MndbSensRule *mndb_sens_rule(const char *item)
{
    for (const MndbSensRule &r : mndb_dbase_rules)
        if (std::strcmp(r.item, item) == 0)
            return &r;
    for (const MndbSensRule &r : mndb_view_rules)
        if (std::strcmp(r.item, item) == 0)
            return &r;
    return nullptr;
}

// ---- view options -------------------------------------------------------------------

MnqOptionChange mnqview_option_change(const MnqOptions &before, const MnqOptions &after, bool db_open)
{
    MnqOptionChange c{false, 0};
    if (!db_open)
        return c;
    c.mark_indexed = !before.show_index_info && after.show_index_info;
    if (!before.show_system_tables && after.show_system_tables)
        c.system_tables = 1;
    else if (before.show_system_tables && !after.show_system_tables)
        c.system_tables = -1;
    return c;
}

MnqOptions mnqview_applied_options(const MnqOptions &before, const MnqOptions &after)
{
    MnqOptions o = before;
    o.show_table_info = after.show_table_info;
    o.show_index_info = after.show_index_info;
    o.show_system_tables = after.show_system_tables;
    return o;
}
