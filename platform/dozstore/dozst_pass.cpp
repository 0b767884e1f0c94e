// Passwords of a database's users: kept as salted hashes (SHA-512 crypt),
// never as typed.  A database made when passwords were kept as typed has
// them hashed at its first open; until then a typed one still lets its
// user in.
#include "dozst_int.h"

#include <crypt.h>

#include <cstring>
#include <vector>

namespace dozstore {

namespace {

constexpr const char *HASHED_KEY = "passwords";  // doz_meta: 1 once every password is a hash
constexpr const char *PREFIX = "$6$";

bool hashed_database(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    bool yes = sqlite3_prepare_v2(db, "SELECT value FROM doz_meta WHERE key=?", -1, &st, nullptr) == SQLITE_OK;
    if (yes) {
        sqlite3_bind_text(st, 1, HASHED_KEY, -1, SQLITE_STATIC);
        yes = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 1;
    }
    sqlite3_finalize(st);
    return yes;
}

bool hash_matches(const std::string &stored, const std::string &offered)
{
    if (stored.compare(0, 3, PREFIX) != 0)
        return false;
    crypt_data data{};
    const char *h = crypt_rn(offered.c_str(), stored.c_str(), &data, sizeof data);
    return h && h[0] != '*' && stored == h;
}

Fault step_sql(sqlite3 *db, const char *sql, const std::string &a, const std::string &b)
{
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st, 1, a.c_str(), -1, SQLITE_TRANSIENT);
        if (!b.empty())
            sqlite3_bind_text(st, 2, b.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || rc == SQLITE_OK ? Fault{} : sql_fault(db, rc);
}

}  // namespace

std::string hash_password(const std::string &plain)
{
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!crypt_gensalt_rn(PREFIX, 0, nullptr, 0, setting, sizeof setting))
        return {};
    crypt_data data{};
    const char *h = crypt_rn(plain.c_str(), setting, &data, sizeof data);
    return h && h[0] != '*' ? std::string(h) : std::string();
}

bool password_matches(sqlite3 *db, const std::string &stored, const std::string &offered)
{
    if (hash_matches(stored, offered))
        return true;
    return !hashed_database(db) && stored == offered;
}

Fault hash_plain_passwords(sqlite3 *db)
{
    if (hashed_database(db))
        return {};
    // The typed passwords must not stay behind in the pages' free space.
    exec(db, "PRAGMA secure_delete=ON");
    struct Off {
        sqlite3 *db;
        ~Off() { exec(db, "PRAGMA secure_delete=OFF"); }
    } off{db};
    if (Fault f = exec(db, "BEGIN IMMEDIATE"); !f.ok())
        return f;
    Fault f;
    if (!hashed_database(db)) {  // another connection may have done it meanwhile
        std::vector<std::pair<std::string, std::string>> users;
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(db, "SELECT name, password FROM doz_users", -1, &st, nullptr);
        while (rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            users.emplace_back(text_of(st, 0), text_of(st, 1));
        sqlite3_finalize(st);
        for (auto &[name, plain] : users) {
            if (plain.size() > static_cast<size_t>(MAX_PASSWORD) && plain.compare(0, 3, PREFIX) == 0)
                continue;  // a hash already: no typed password is that long
            std::string h = hash_password(plain);
            if (h.empty()) {
                f = filer_fault(FILER_FAILURE, "crypt");
                break;
            }
            if (f = step_sql(db, "UPDATE doz_users SET password=? WHERE name=?", h, name); !f.ok())
                break;
        }
        if (f.ok())
            f = set_meta(db, HASHED_KEY, 1);
    }
    if (f.ok())
        f = exec(db, "COMMIT");
    if (!f.ok())
        exec(db, "ROLLBACK");
    return f;
}

}  // namespace dozstore
