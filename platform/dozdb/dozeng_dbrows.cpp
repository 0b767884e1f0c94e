// The database layer's statements on users, privileges, columns and
// items, the row editor (FETCH, UPDATE and DELETE CURRENT), WRITE of the
// rows the client packed and PRINT BLOB.
#include "dozeng_dbint.h"

namespace doz::dbl {

// ---- users, privileges, columns and items ----------------------------------------

std::string quoted_word(Cursor &c)
{
    return upper(trimmed(text_operand(c)));
}

// CREATE USER name, 'password' WITH 'SELECT|CREATE|DBA'
void st_create_user(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string name = s.c.name();
    s.c.expect_punct(",");
    std::string password = text_operand(s.c);
    s.c.expect_word("WITH");
    std::string word = quoted_word(s.c);
    s.c.expect_end();
    int access = word_index(word, ACCESS_WORDS);
    if (access < 0)
        fail(E_ARGUMENT, word);
    if (password.size() > 10)
        fail(E_ARGUMENT, "password");
    change_with_access(s, db, ds::ACCESS_DBA, "CREATE USER", [&] { return db.create_user(name, password, access); });
}

// DROP USER name: with every privilege of the user.
void st_drop_user(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string name = s.c.name();
    s.c.expect_end();
    change_with_access(s, db, ds::ACCESS_DBA, "DROP USER", [&] { return db.drop_user(name); });
}

// GRANT 'access' TO user
// GRANT 'level' TO user|%DEFAULT ON t [WHERE restriction]   ('DEFAULT' removes the entry)
void st_grant(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string word = quoted_word(s.c);
    s.c.expect_word("TO");
    std::string user = s.c.name();
    if (!s.c.accept_word("ON")) {
        s.c.expect_end();
        int access = word_index(word, ACCESS_WORDS);
        if (access < 0)
            fail(E_ARGUMENT, word);
        if (s.noeval)
            return;
        need_access(s.st, db, ds::ACCESS_DBA, "GRANT");
        change(db, [&] { return db.set_access(user, access); });
        return;
    }
    std::string table = table_name(s.st, s.c);
    std::string restriction;
    if (s.c.accept_word("WHERE")) {
        size_t from = s.c.peek().pos;
        parse_expression(s.c);
        restriction = trimmed(s.c.text.substr(from));
    }
    s.c.expect_end();
    int priv = word == "DEFAULT" ? -1 : word_index(word, PRIV_WORDS);
    if (priv < 0 && word != "DEFAULT")
        fail(E_ARGUMENT, word);
    if (restriction.size() > 80)
        fail_db(ds::BAD_VALUE, "%RESTRICTION");
    // The restriction must name the table's own columns.
    Source one;
    add_table(s.st, db, one, table, ds::PRIV_NONE);
    restriction_of(s.st, one, restriction);
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_ADMIN);
    change(db, [&] { return priv < 0 ? db.revoke(table, user) : db.grant(table, user, priv, restriction); });
}

// RENAME COLUMN a AS b FROM t
void st_rename_column(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string from = s.c.name();
    s.c.expect_word("AS");
    std::string to = s.c.name();
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    if (s.noeval)
        return;
    need_priv(s.st, db, table, ds::PRIV_OWNERSHIP);
    // To a new name: a new item of the dictionary.
    ds::Item existing;
    if (!result_name(s.st, table) && !db.item(to, existing).ok())
        need_access(s.st, db, ds::ACCESS_CREATE, to);
    change(db, [&] { return db.rename_column(table, from, to); });
}

// RENAME ITEM x AS x [ALIAS a]: sets (or clears) the item's alias.
void st_rename_item(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::string item = s.c.name();
    s.c.expect_word("AS");
    std::string to = s.c.name();
    std::string alias;
    if (s.c.accept_word("ALIAS"))
        alias = s.c.name();
    s.c.expect_end();
    if (to != item)
        fail_db(ds::BAD_ITEM, to);  // items keep their names; columns are renamed
    change_with_access(s, db, ds::ACCESS_DBA, "RENAME ITEM", [&] { return db.set_alias(item, alias); });
}

// ---- the row editor and packed rows ----------------------------------------------------

struct TableCols {
    ds::TableInfo info;
    std::vector<Column> cols;
    std::shared_ptr<Node> restrict;  // the user's restriction on the table
};

TableCols table_cols(SessionState &st, ds::Database &db, const std::string &table, int level)
{
    TableCols t;
    Source src;
    add_table(st, db, src, table, level);
    check(db.table(table, t.info));
    for (const SrcCol &c : src.cols)
        t.cols.push_back(c.col);
    t.restrict = src.restrict[0];
    return t;
}

// FETCH FIRST|LAST|NEXT|PREVIOUS|CURRENT FROM t; FETCH FROM t WHERE c
// (the first matching row from the start); FETCH FROM t (the next row
// after the current one that matches the last condition).  One row.
void st_fetch(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    int how = -1;
    if (!s.c.is_word("FROM"))
        how = keyword_index(s.c, {"FIRST", "LAST", "NEXT", "PREVIOUS", "CURRENT"});
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    std::string cond;
    bool find = how < 0;
    if (find && s.c.accept_word("WHERE")) {
        size_t from = s.c.peek().pos;
        parse_expression(s.c);
        cond = trimmed(s.c.text.substr(from));
        if (cond.empty())
            s.c.syntax();
    }
    s.c.expect_end();
    TableCols t = table_cols(s.st, db, table, ds::PRIV_READ);
    EditCursor &ec = state(s.st).cursors[table];
    std::shared_ptr<Node> match;
    bool again = find && cond.empty();
    if (find) {
        Source one;
        add_table(s.st, db, one, table, ds::PRIV_READ);
        if (!cond.empty())
            match = restriction_of(s.st, one, cond);
        else if (!ec.find.empty())
            match = restriction_of(s.st, one, ec.find);
        else
            fail_db(E_NO_MATCH, table);  // nothing to repeat
    }
    if (s.noeval) {
        s.sink.columns(t.cols);
        s.sink.end();
        return;
    }
    if (!cond.empty())
        ec.find = cond;
    std::vector<Value> row;
    ds::RowId id = 0;
    ds::Fetch step = find ? (again ? ds::Fetch::NEXT : ds::Fetch::FIRST) : static_cast<ds::Fetch>(how);
    ds::RowId at = ec.current;
    if (find && again && at == 0)
        step = ds::Fetch::FIRST;
    // Rows outside the user's restriction, or not matching a find, are passed over.
    for (uint32_t polls = 1;; polls++) {
        ds::Fault f = db.fetch(table, step, at, id, row);
        if (!f.ok()) {
            if (find && (f.database == ds::END_OF_TABLE || f.database == ds::NO_CURRENT))
                fail_db(E_NO_MATCH, table);
            raise(f);
        }
        if (passes_restriction(s.st, t.restrict.get(), row) && passes_restriction(s.st, match.get(), row))
            break;
        if (step == ds::Fetch::CURRENT)
            fail_db(ds::NO_CURRENT, table);
        if ((polls & 1023) == 0 && stopping(s.st))
            fail(E_STOPPED);
        at = id;
        step = step == ds::Fetch::LAST || step == ds::Fetch::PREVIOUS ? ds::Fetch::PREVIOUS : ds::Fetch::NEXT;
    }
    ec.current = id;
    s.sink.columns(t.cols);
    s.sink.row(row);
    s.sink.end();
    s.status.rows = 1;
}

// DELETE CURRENT FROM t: the next row becomes current, else the previous,
// else none.
void st_delete_current(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    s.c.expect_word("CURRENT");
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    table_cols(s.st, db, table, ds::PRIV_WRITE);
    if (s.noeval)
        return;
    EditCursor &ec = state(s.st).cursors[table];
    std::vector<Value> row;
    ds::RowId id = 0, next = 0;
    Txn txn(db);  // the row and its neighbours as they are when it goes
    if (ec.current == 0 || !db.fetch(table, ds::Fetch::CURRENT, ec.current, id, row).ok())
        fail_db(ds::NO_CURRENT, table);
    if (!db.fetch(table, ds::Fetch::NEXT, ec.current, next, row).ok() &&
        !db.fetch(table, ds::Fetch::PREVIOUS, ec.current, next, row).ok())
        next = 0;
    check(db.erase(table, ec.current));
    txn.commit();
    ec.current = next;
    s.status.rows = 1;
}

InputRows read_input(Stmt &s, const std::vector<Column> &cols)
{
    InputRows in;
    std::string detail;
    if (!s.st.input)
        fail_db(E_BAD_INPUT, "WRITE");
    if (int code = s.st.input(s.st.input_ctx, cols, in, detail))
        fail_db(code, detail);
    in.keep.resize(in.rows.size());
    in.unreadable.resize(in.rows.size(), false);
    return in;
}

// A row handed in, made to fit the table: values by column, checked
// against the items.
void fit_row_into(const ds::TableInfo &info, const std::vector<int> &map, const std::vector<Value> &given,
                  std::vector<Value> &out)
{
    out.resize(map.size());
    for (size_t i = 0; i < map.size(); i++) {
        const ds::Item &it = info.items[i];
        if (map[i] < 0)
            out[i] = template_of(it);
        else
            conform_into(out[i], given[static_cast<size_t>(map[i])], it, it.name);
        if (it.dims.size() > 1 && out[i].count > 0)
            out[i].dims = it.dims;
    }
}

std::vector<Value> fit_row(const ds::TableInfo &info, const std::vector<int> &map, const std::vector<Value> &given)
{
    std::vector<Value> out;
    fit_row_into(info, map, given, out);
    return out;
}

// UPDATE CURRENT FROM t: the current row becomes the row handed in; a
// blob field sent without bytes keeps the stored blob.
void st_update_current(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    s.c.expect_word("CURRENT");
    s.c.expect_word("FROM");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    TableCols t = table_cols(s.st, db, table, ds::PRIV_WRITE);
    if (s.noeval)
        return;
    EditCursor &ec = state(s.st).cursors[table];
    if (ec.current == 0)
        fail_db(ds::NO_CURRENT, table);
    InputRows in = read_input(s, t.cols);
    if (in.rows.empty())
        fail_db(E_BAD_INPUT, table);
    // The blobs kept are those of the row as it is when it is replaced.
    Txn txn(db);
    std::vector<Value> stored;
    ds::RowId id = 0;
    if (!db.fetch(table, ds::Fetch::CURRENT, ec.current, id, stored).ok())
        fail_db(ds::NO_CURRENT, table);
    std::vector<int> map(t.cols.size());
    for (size_t i = 0; i < map.size(); i++)
        map[i] = static_cast<int>(i);
    if (in.unreadable[0])
        fail_db(ds::BAD_VALUE, table);
    std::vector<Value> row = fit_row(t.info, map, in.rows[0]);
    for (size_t i = 0; i < row.size(); i++)
        if (i < in.keep[0].size() && in.keep[0][i])
            row[i] = stored[i];
    check(db.update(table, ec.current, row));
    txn.commit();
    s.status.rows = 1;
}

// WRITE cols TO t, WRITE * TO t: the rows the client packed.  A row whose
// key is stored is rejected (or with %OVERWRITE replaces the stored row),
// as is a row with a value its column cannot hold; the row count is the
// rows written, the fifth value the rows rejected.
void st_write(Stmt &s)
{
    ds::Database &db = need_db(s.st);
    std::vector<std::string> names;
    bool star = s.c.accept_punct("*");
    if (!star)
        do
            names.push_back(s.c.name());
        while (s.c.accept_punct(","));
    s.c.expect_word("TO");
    std::string table = table_name(s.st, s.c);
    s.c.expect_end();
    bool overwrite = sysvar_on(s.st, "%OVERWRITE");
    TableCols t = table_cols(s.st, db, table, overwrite ? ds::PRIV_WRITE : ds::PRIV_APPEND);
    if (t.info.system)
        fail_db(ds::SYSTEM_TABLE, table);
    std::vector<Column> cols;
    std::vector<int> map(t.cols.size(), -1);
    if (star) {
        cols = t.cols;
        for (size_t i = 0; i < map.size(); i++)
            map[i] = static_cast<int>(i);
    }
    for (const std::string &n : names) {
        size_t i = 0;
        while (i < t.cols.size() && t.cols[i].name != n)
            i++;
        if (i == t.cols.size())
            fail_db(ds::UNKNOWN_ITEM, n);
        if (map[i] >= 0)
            fail_db(ds::BAD_COLUMNS, n);
        map[i] = static_cast<int>(cols.size());
        cols.push_back(t.cols[i]);
    }
    if (s.noeval)
        return;
    InputRows in = read_input(s, cols);
    const int32_t total = static_cast<int32_t>(in.rows.size());
    int32_t written = 0;
    s.status.fifth = total;
    Txn txn(db);
    ds::Appender out;
    bool appending = false;
    std::vector<Value> row;
    for (size_t r = 0; r < in.rows.size(); r++) {
        if ((r & 255) == 255 && stopping(s.st)) {
            if (appending && out.flush().ok())
                s.status.fifth = total - static_cast<int32_t>(out.stored());
            fail(E_STOPPED);
        }
        if (in.unreadable[r])
            continue;
        try {
            fit_row_into(t.info, map, in.rows[r], row);
        } catch (const Error &e) {
            if (e.slot != DATABASE_CODE)
                throw;
            continue;  // a value its column cannot hold: rejected
        }
        if (!appending) {
            check(db.append(table, out));
            appending = true;
        }
        // Rows may wait in the appender to go in many at a time: the
        // count of rows stored is its own.
        ds::Fault f = out.add_counted(row, overwrite ? ds::OnDuplicate::REPLACE : ds::OnDuplicate::REJECT);
        if (f.database == ds::BAD_VALUE || f.database == ds::NULL_NOT_ALLOWED || f.database == ds::DUPLICATE_KEY)
            continue;
        if (!f.ok())
            s.status.fifth = total - static_cast<int32_t>(out.stored());
        check(f);
    }
    if (appending) {
        ds::Fault f = out.finish();
        written = static_cast<int32_t>(out.stored());
        s.status.fifth = total - written;
        check(f);
    }
    txn.commit();
    s.status.rows = written;
}

// The number of a blob name: "$n", or "prefix_id1_id2" (ids in base 32)
// as a descriptor with those fields is named, where a first id of 0 is
// the numbered blob id2.  0 for a name of no blob of ours.
int32_t blob_number(const std::string &name)
{
    auto number = [](const std::string &t, int base) -> int64_t {
        const char *digits = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
        if (t.empty() || t.size() > 10)
            return -1;
        int64_t v = 0;
        for (char c : t) {
            const char *d = strchr(digits, c);
            if (!c || !d || d - digits >= base)
                return -1;
            v = v * base + (d - digits);
        }
        return v;
    };
    int64_t n = -1;
    if (name.size() > 1 && name[0] == '$') {
        n = number(name.substr(1), 10);
    } else if (size_t b = name.rfind('_'); b != std::string::npos && b > 0) {
        size_t a = name.rfind('_', b - 1);
        if (a != std::string::npos && number(name.substr(a + 1, b - a - 1), 32) == 0)
            n = number(name.substr(b + 1), 32);
    }
    return n > 0 && n <= INT32_MAX ? static_cast<int32_t>(n) : 0;
}

// PRINT BLOB $n TO 'file': the bytes of a blob a result delivered.
void st_print_blob(Stmt &s)
{
    DbState &d = state(s.st);
    need_db(s.st);
    std::string name = s.c.name();
    int32_t n = blob_number(name);
    s.c.expect_word("TO");
    std::string file = text_operand(s.c);
    s.c.expect_end();
    auto found = d.blobs.find(n);
    if (found == d.blobs.end())
        fail_db(E_NO_BLOB, name);
    if (s.noeval)
        return;
    FILE *f = nullptr;
    {
        dozids::AsCaller named;  // a file the client names is opened with its own rights
        f = fopen(file.c_str(), "wbe");
    }
    if (!f)
        throw Error{FILER_CODE, 1, file};
    const std::string &bytes = found->second;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok)
        throw Error{FILER_CODE, 2, file};
}


}  // namespace doz::dbl
