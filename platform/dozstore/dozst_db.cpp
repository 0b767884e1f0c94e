// Databases: the registry of the server directory, creating, opening in
// the three modes, dropping and configuring, the locks that hold across
// processes, transactions, users and privileges.

#include "dozst_int.h"

#include "dozids.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace dozstore {

namespace {

constexpr const char *REGISTRY = "databases.list";
constexpr const char *REGISTRY_LOCK = "databases.lock";

// A file descriptor that closes itself.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int release()
    {
        int f = fd;
        fd = -1;
        return f;
    }
};

int open_lock_file(const std::string &path)
{
    // A link planted in a shared server directory is not followed.
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Takes a lock without waiting; false when another holder has it.
bool try_flock(int fd, int how)
{
    for (;;) {
        if (::flock(fd, how | LOCK_NB) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Is the lock file free for a shared lock?  (Takes and drops it.)
bool probe_shared(const std::string &path)
{
    Fd fd(open_lock_file(path));
    if (fd.fd < 0)
        return true;
    return try_flock(fd.fd, LOCK_SH);
}

std::string sys_error(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool is_dir(const std::string &p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_file(const std::string &p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string resolve(const std::string &server_dir, const std::string &location)
{
    if (!location.empty() && location[0] == '/')
        return location;
    return server_dir + "/" + location;
}

// A database directory a client named outside the server directory: its
// files are opened with the client's own rights (see dozids.h).
bool outside_server(const std::string &server_dir, const std::string &dir)
{
    return !dozids::inside(server_dir, dir) || dir.find("/..") != std::string::npos;
}

Fault check_location(const std::string &location)
{
    if (location.size() > MAX_LOCATION)
        return db_fault(BAD_LOCATION, location);
    for (unsigned char c : location)
        if (std::isspace(c) || std::iscntrl(c))
            return db_fault(BAD_LOCATION, location);
    return {};
}

// The registry: one "NAME<TAB>LOCATION" line per database.
struct Registry {
    Fd lock;
    std::string dir;
    std::vector<std::pair<std::string, std::string>> entries;

    Fault load(const std::string &server_dir, bool exclusive)
    {
        dozids::AsOwner me;  // the server directory's files are the database user's
        dir = server_dir;
        if (!is_dir(server_dir))
            return db_fault(BAD_LOCATION, server_dir);
        lock.fd = open_lock_file(server_dir + "/" + REGISTRY_LOCK);
        if (lock.fd < 0)
            return filer_fault(FILER_FAILURE, sys_error(server_dir));
        while (::flock(lock.fd, exclusive ? LOCK_EX : LOCK_SH) != 0)
            if (errno != EINTR)
                return filer_fault(FILER_FAILURE, sys_error(server_dir));
        std::ifstream in(server_dir + "/" + REGISTRY);
        std::string line;
        while (std::getline(in, line)) {
            size_t tab = line.find('\t');
            if (tab == std::string::npos || tab == 0)
                continue;
            entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        }
        return {};
    }

    const std::string *find(const std::string &name) const
    {
        for (auto &e : entries)
            if (e.first == name)
                return &e.second;
        return nullptr;
    }

    // Written beside, flushed to the disc and renamed over, so a reader
    // never sees half a list and a crash leaves the old one or the new.
    Fault save() const
    {
        dozids::AsOwner me;
        std::string tmp = dir + "/" + REGISTRY + ".new", text;
        for (auto &e : entries)
            text += e.first + '\t' + e.second + '\n';
        // A new file of ours (the registry lock is held): whatever lies
        // under the name, a planted link say, goes first.
        ::unlink(tmp.c_str());
        Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.fd < 0)
            return filer_fault(FILER_FAILURE, sys_error(tmp));
        size_t done = 0;
        while (done < text.size()) {
            ssize_t n = ::write(fd.fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return filer_fault(errno == ENOSPC ? FILER_FULL : FILER_FAILURE, sys_error(tmp));
            done += static_cast<size_t>(n);
        }
        if (::fsync(fd.fd) != 0)
            return filer_fault(FILER_FAILURE, sys_error(tmp));
        if (::rename(tmp.c_str(), (dir + "/" + REGISTRY).c_str()) != 0)
            return filer_fault(FILER_FAILURE, sys_error(tmp));
        return {};
    }
};


const char *const CATALOGUE = R"(
CREATE TABLE doz_meta(key TEXT PRIMARY KEY, value);
CREATE TABLE doz_items(name TEXT PRIMARY KEY, alias TEXT NOT NULL, type INTEGER NOT NULL,
  len INTEGER NOT NULL, frac INTEGER NOT NULL, arr INTEGER NOT NULL, dims TEXT NOT NULL);
CREATE TABLE doz_relations(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT UNIQUE NOT NULL,
  maxsize INTEGER NOT NULL, fixed INTEGER NOT NULL, memmode INTEGER NOT NULL,
  structure INTEGER NOT NULL, location TEXT NOT NULL, sequenced INTEGER NOT NULL DEFAULT 0,
  nrows INTEGER NOT NULL DEFAULT 0);
CREATE TABLE doz_columns(rel INTEGER NOT NULL, pos INTEGER NOT NULL, item TEXT NOT NULL,
  key INTEGER NOT NULL, nulls INTEGER NOT NULL, PRIMARY KEY(rel, pos));
CREATE TABLE doz_indexes(rel INTEGER NOT NULL, xno INTEGER NOT NULL, location TEXT NOT NULL,
  uniq INTEGER NOT NULL, upd INTEGER NOT NULL, PRIMARY KEY(rel, xno));
CREATE TABLE doz_keys(rel INTEGER NOT NULL, xno INTEGER NOT NULL, kno INTEGER NOT NULL,
  item TEXT NOT NULL, asc INTEGER NOT NULL, native INTEGER NOT NULL, PRIMARY KEY(rel, xno, kno));
CREATE TABLE doz_users(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT UNIQUE NOT NULL,
  password TEXT NOT NULL, access INTEGER NOT NULL);
CREATE TABLE doz_privs(id INTEGER PRIMARY KEY AUTOINCREMENT, rel INTEGER NOT NULL,
  user TEXT NOT NULL, priv INTEGER NOT NULL, restriction TEXT NOT NULL, UNIQUE(rel, user));
CREATE TABLE doz_systables(name TEXT PRIMARY KEY, maxsize INTEGER NOT NULL,
  fixed INTEGER NOT NULL, memmode INTEGER NOT NULL, structure INTEGER NOT NULL,
  gotix INTEGER NOT NULL);
)";

// WAL with full syncs: a commit is on the disc when it returns, and a
// process killed at any moment leaves the last commit and nothing after.
Fault configure_connection(sqlite3 *db)
{
    sqlite3_busy_timeout(db, 15000);
    sqlite3_extended_result_codes(db, 1);
    if (Fault f = exec(db, "PRAGMA journal_mode=WAL"); !f.ok())
        return f;
    return exec(db, "PRAGMA synchronous=FULL");
}

Fault open_sqlite(const std::string &file, bool create, sqlite3 *&db)
{
    db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Fault f = filer_fault(FILER_FAILURE, file + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        sqlite3_close(db);
        db = nullptr;
        return f;
    }
    // A new file gets pages of 32 KB before anything is written: a table
    // read from end to end then costs an eighth of the reads of the
    // default 4 KB pages.
    Fault f = create ? exec(db, "PRAGMA page_size=32768") : Fault{};
    if (f.ok())
        f = configure_connection(db);
    if (!f.ok()) {
        sqlite3_close(db);
        db = nullptr;
    }
    return f;
}


// Removes the files the storage made in a database directory, then the
// directory itself when nothing else is left in it.
void remove_database_files(const std::string &dir)
{
    if (DIR *d = ::opendir(dir.c_str())) {
        std::vector<std::string> names;
        while (struct dirent *e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.rfind(DB_FILE, 0) == 0 || n == OPEN_LOCK || n == FORCED_LOCK ||
                (n.rfind("use.", 0) == 0 && n.size() > 9 && n.compare(n.size() - 5, 5, ".lock") == 0))
                names.push_back(n);
        }
        ::closedir(d);
        for (auto &n : names)
            ::unlink((dir + "/" + n).c_str());
    }
    ::rmdir(dir.c_str());
}

// Takes the database's open lock exclusively for an administrative step
// (drop, configure): refused while any connection has it open.
Fault lock_unused(const std::string &dir, Fd &lock)
{
    lock.fd = open_lock_file(dir + "/" + OPEN_LOCK);
    if (lock.fd < 0)
        return filer_fault(FILER_FAILURE, sys_error(dir));
    if (!try_flock(lock.fd, LOCK_EX) || !probe_shared(dir + "/" + FORCED_LOCK))
        return db_fault(DB_IN_USE, dir);
    return {};
}

Fault find_database(const Registry &reg, const std::string &server_dir, const std::string &name, std::string &dir)
{
    const std::string *loc = reg.find(name);
    if (!loc)
        return db_fault(NO_DATABASE_FILE, name);
    dir = resolve(server_dir, *loc) + "/" + name;
    dozids::Scope ids(outside_server(server_dir, dir));
    if (!is_file(dir + "/" + DB_FILE))
        return db_fault(NO_DATABASE_FILE, name);
    return {};
}

}  // namespace

Fault exec(sqlite3 *db, const char *sql)
{
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? Fault{} : sql_fault(db, rc);
}

Fault set_meta(sqlite3 *db, const char *key, int64_t value)
{
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO doz_meta(key, value) VALUES(?, ?)", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st, 1, key, -1, SQLITE_STATIC);
        sqlite3_bind_int64(st, 2, value);
        rc = sqlite3_step(st);
    }
    Fault f = rc == SQLITE_DONE || rc == SQLITE_OK ? Fault{} : sql_fault(db, rc);
    sqlite3_finalize(st);
    return f;
}

// An empty file only its owner may read or write, made before SQLite
// opens it: SQLite gives its journal files the modes of the database file.
Fault make_private_file(const std::string &path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return filer_fault(FILER_FAILURE, sys_error(path));
    ::close(fd);
    return {};
}

std::string text_of(sqlite3_stmt *st, int col)
{
    const unsigned char *t = sqlite3_column_text(st, col);
    return t ? reinterpret_cast<const char *>(t) : "";
}

Fault sql_fault(sqlite3 *db, int rc)
{
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return filer_fault(FILER_BUSY, text);
    case SQLITE_FULL:
        return filer_fault(FILER_FULL, text);
    default:
        return filer_fault(FILER_FAILURE, text);
    }
}

std::string upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool valid_name(const std::string &s, size_t max)
{
    if (s.empty() || s.size() > max)
        return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && c != '#' && c != '%' && c != '_')
            return false;
    if (s.size() == 1 && !std::isalpha(static_cast<unsigned char>(s[0])) && s[0] != '%')
        return false;
    return !std::isdigit(static_cast<unsigned char>(s[0]));
}

DbCache::~DbCache()
{
    for (auto &s : stmts)
        sqlite3_finalize(s.second);
}

std::string session_password(const std::string &user, const std::optional<std::string> &set_pass)
{
    if (set_pass)
        return *set_pass;
    return upper(user) == "BRASK" ? "BRASK" : "";
}

Fault list_databases(const std::string &server_dir, std::vector<std::pair<std::string, std::string>> &out)
{
    Registry reg;
    if (Fault f = reg.load(server_dir, false); !f.ok())
        return f;
    out = reg.entries;
    return {};
}

Fault write_database_list(const std::string &server_dir, const std::string &path)
{
    std::vector<std::pair<std::string, std::string>> dbs;
    if (Fault f = list_databases(server_dir, dbs); !f.ok())
        return f;
    std::ofstream out(path, std::ios::trunc);
    for (auto &d : dbs)
        out << d.first << ' ' << d.second << '\n';
    out.flush();
    if (!out)
        return filer_fault(FILER_FAILURE, sys_error(path));
    return {};
}

Fault create_database(const std::string &server_dir, const std::string &name_in, const std::string &location_in,
                      const std::string &user_in, const std::string &password)
{
    std::string name = upper(name_in), user = upper(user_in);
    std::string location = location_in.empty() ? "./" : location_in;
    if (!valid_name(name, MAX_DB_NAME) || name[0] == '%')
        return db_fault(BAD_DB_NAME, name_in);
    if (Fault f = check_location(location); !f.ok())
        return f;
    if (!valid_name(user, MAX_USER_NAME) || password.size() > MAX_PASSWORD)
        return db_fault(BAD_LOGIN, user_in);
    Registry reg;
    if (Fault f = reg.load(server_dir, true); !f.ok())
        return f;
    if (reg.find(name))
        return db_fault(DB_EXISTS, name);
    std::string base = resolve(server_dir, location);
    dozids::Scope ids(outside_server(server_dir, base));
    if (!is_dir(base))
        return db_fault(BAD_LOCATION, location);
    std::string dir = base + "/" + name;
    // The database's directory and files are its owner's alone.
    if (::mkdir(dir.c_str(), 0700) != 0)
        return errno == EEXIST ? db_fault(DB_EXISTS, dir) : filer_fault(FILER_FAILURE, sys_error(dir));

    sqlite3 *db = nullptr;
    Fault f = make_private_file(dir + "/" + DB_FILE);
    if (f.ok())
        f = open_sqlite(dir + "/" + DB_FILE, true, db);
    if (f.ok())
        f = exec(db, "BEGIN IMMEDIATE");
    if (f.ok())
        f = exec(db, CATALOGUE);
    if (f.ok()) {
        DbParams p;
        f = set_meta(db, "format", FORMAT);
        if (f.ok())
            f = set_meta(db, "keyorder", 1);
        if (f.ok())
            f = set_meta(db, "%MEMSIZE", p.memsize);
        if (f.ok())
            f = set_meta(db, "%DEFPOSTSIZE", p.defpostsize);
        if (f.ok())
            f = set_meta(db, "%FILELOCKS", p.filelocks);
        if (f.ok())
            f = set_meta(db, "%MAXFILES", p.maxfiles);
        if (f.ok())
            f = set_meta(db, "passwords", 1);
    }
    std::string hashed = hash_password(password);
    if (f.ok() && hashed.empty())
        f = filer_fault(FILER_FAILURE, "crypt");
    if (f.ok()) {
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(db, "INSERT INTO doz_systables VALUES(?, ?, ?, 0, 0, ?)", -1, &st, nullptr);
        for (auto &t : SYSTEM_TABLES) {
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                break;
            sqlite3_reset(st);
            sqlite3_bind_text(st, 1, t.name, -1, SQLITE_STATIC);
            sqlite3_bind_int(st, 2, t.maxsize);
            sqlite3_bind_int(st, 3, t.fixed);
            sqlite3_bind_int(st, 4, t.gotix);
            rc = sqlite3_step(st);
        }
        if (rc == SQLITE_OK || rc == SQLITE_DONE) {
            sqlite3_finalize(st);
            rc = sqlite3_prepare_v2(db, "INSERT INTO doz_users(name, password, access) VALUES(?, ?, ?)", -1, &st,
                                    nullptr);
            if (rc == SQLITE_OK) {
                sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st, 2, hashed.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(st, 3, ACCESS_DBA);
                rc = sqlite3_step(st);
            }
        }
        sqlite3_finalize(st);
        if (rc != SQLITE_OK && rc != SQLITE_DONE)
            f = sql_fault(db, rc);
    }
    if (f.ok())
        f = exec(db, "COMMIT");
    sqlite3_close(db);
    if (f.ok()) {
        reg.entries.emplace_back(name, location);
        f = reg.save();
    }
    if (!f.ok())
        remove_database_files(dir);
    return f;
}

Fault drop_database(const std::string &server_dir, const std::string &name_in)
{
    std::string name = upper(name_in);
    Registry reg;
    if (Fault f = reg.load(server_dir, true); !f.ok())
        return f;
    const std::string *loc = reg.find(name);
    if (!loc)
        return db_fault(NO_DATABASE_FILE, name);
    std::string dir = resolve(server_dir, *loc) + "/" + name;
    dozids::Scope ids(outside_server(server_dir, dir));
    if (is_dir(dir)) {
        Fd lock;
        if (Fault f = lock_unused(dir, lock); !f.ok())
            return f;
        remove_database_files(dir);
    }
    std::erase_if(reg.entries, [&](auto &e) { return e.first == name; });
    return reg.save();
}

Fault configure_database(const std::string &server_dir, const std::string &name_in,
                         const std::vector<std::pair<std::string, int64_t>> &settings)
{
    std::string name = upper(name_in);
    for (auto &s : settings) {
        std::string key = upper(s.first);
        bool flag = key == "%FILELOCKS";
        if (key != "%MEMSIZE" && key != "%DEFPOSTSIZE" && key != "%MAXFILES" && !flag)
            return db_fault(BAD_SETTING, s.first);
        if (flag ? (s.second != 0 && s.second != 1) : (s.second <= 0 || s.second > INT32_MAX))
            return db_fault(BAD_SETTING, s.first);
    }
    std::string dir;
    Registry reg;
    if (Fault f = reg.load(server_dir, false); !f.ok())
        return f;
    if (Fault f = find_database(reg, server_dir, name, dir); !f.ok())
        return f;
    dozids::Scope ids(outside_server(server_dir, dir));
    Fd lock;
    if (Fault f = lock_unused(dir, lock); !f.ok())
        return f;
    sqlite3 *db = nullptr;
    Fault f = open_sqlite(dir + "/" + DB_FILE, false, db);
    if (f.ok())
        f = exec(db, "BEGIN IMMEDIATE");
    for (auto &s : settings)
        if (f.ok())
            f = set_meta(db, upper(s.first).c_str(), s.second);
    f = f.ok() ? exec(db, "COMMIT") : (exec(db, "ROLLBACK"), f);
    sqlite3_close(db);
    return f;
}

std::unique_ptr<Database> Database::open(const std::string &server_dir, const std::string &name_in,
                                         const std::string &location, OpenMode mode, const std::string &user_in,
                                         const std::string &password, Fault &fault)
{
    fault = {};
    std::string name = upper(name_in), user = upper(user_in);
    if (!valid_name(name, MAX_DB_NAME)) {
        fault = db_fault(BAD_DB_NAME, name_in);
        return nullptr;
    }
    std::string dir;
    if (location.empty()) {
        Registry reg;
        if (fault = reg.load(server_dir, false); !fault.ok())
            return nullptr;
        if (fault = find_database(reg, server_dir, name, dir); !fault.ok())
            return nullptr;
    } else {
        if (fault = check_location(location); !fault.ok())
            return nullptr;
        dir = resolve(server_dir, location) + "/" + name;
    }
    // Every file of the database is opened, for as long as it is open,
    // with the rights its place calls for.
    auto ids = std::make_unique<dozids::Scope>(outside_server(server_dir, dir));
    if (!location.empty() && !is_file(dir + "/" + DB_FILE)) {
        fault = db_fault(NO_DATABASE_FILE, name);
        return nullptr;
    }

    std::unique_ptr<Database> d(new Database);
    d->ids_ = std::move(ids);
    d->server_ = server_dir;
    d->name_ = name;
    d->dir_ = dir;
    d->user_ = user;
    d->mode_ = mode;
    d->cache_ = std::make_unique<DbCache>();

    // The user is known and allowed, the database file one of ours.
    int access = ACCESS_SELECT;
    auto log_in = [&]() -> bool {
        if (fault = open_sqlite(dir + "/" + DB_FILE, false, d->db_); !fault.ok())
            return false;
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(d->db_, "SELECT value FROM doz_meta WHERE key='format'", -1, &st, nullptr);
        bool good = rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == FORMAT;
        sqlite3_finalize(st);
        if (!good) {
            fault = db_fault(NOT_A_DATABASE, dir + "/" + DB_FILE);
            return false;
        }
        // Databases made before whole numbers in keys were stored in order
        // have no "keyorder" and keep the byte order they were made with.
        rc = sqlite3_prepare_v2(d->db_, "SELECT value FROM doz_meta WHERE key='keyorder'", -1, &st, nullptr);
        d->ordered_keys_ = rc == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 1;
        sqlite3_finalize(st);
        rc = sqlite3_prepare_v2(d->db_, "SELECT password, access FROM doz_users WHERE name=?", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
            rc = sqlite3_step(st);
        }
        bool known = rc == SQLITE_ROW && password_matches(d->db_, text_of(st, 0), password);
        access = rc == SQLITE_ROW ? sqlite3_column_int(st, 1) : ACCESS_SELECT;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fault = sql_fault(d->db_, rc);
        else if (!known)
            fault = db_fault(BAD_LOGIN, user);
        sqlite3_finalize(st);
        if (!fault.ok())
            return false;
        return true;
    };
    // The open lock, shared or exclusive, or the forced lock.
    auto take_locks = [&]() -> bool {
        Fd open_fd(open_lock_file(dir + "/" + OPEN_LOCK));
        if (open_fd.fd < 0) {
            fault = filer_fault(FILER_FAILURE, sys_error(dir));
            return false;
        }
        if (mode == OpenMode::FORCED) {
            // In regardless of the others; keeps later openers out.
            Fd forced(open_lock_file(dir + "/" + FORCED_LOCK));
            if (forced.fd < 0 || !try_flock(forced.fd, LOCK_EX)) {
                fault = db_fault(DB_EXCLUSIVE, name);
                return false;
            }
            d->forced_fd_ = forced.release();
        } else {
            if (!try_flock(open_fd.fd, mode == OpenMode::EXCLUSIVE ? LOCK_EX : LOCK_SH)) {
                fault = db_fault(mode == OpenMode::EXCLUSIVE ? DB_IN_USE : DB_EXCLUSIVE, name);
                return false;
            }
            if (!probe_shared(dir + "/" + FORCED_LOCK)) {
                fault = db_fault(DB_EXCLUSIVE, name);
                return false;
            }
        }
        d->open_fd_ = open_fd.release();
        return true;
    };
    // Keeping everyone else out is the database's DBAs' to do: such a user
    // is known before any lock is taken.  A shared open takes its lock first,
    // so that a database in exclusive use says so whoever asks.
    if (mode != OpenMode::SHARED) {
        if (!log_in())
            return nullptr;
        if (access < ACCESS_DBA) {
            fault = db_fault(NOT_ALLOWED, name);
            return nullptr;
        }
        if (!take_locks())
            return nullptr;
    } else if (!take_locks() || !log_in()) {
        return nullptr;
    }
    if (fault = hash_plain_passwords(d->db_); !fault.ok())
        return nullptr;
    return d;
}

Database::~Database()
{
    if (txn_ && db_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    cache_.reset();
    if (db_)
        sqlite3_close(db_);
    for (auto &u : uses_)
        ::close(u.second);
    if (open_fd_ >= 0)
        ::close(open_fd_);
    if (forced_fd_ >= 0)
        ::close(forced_fd_);
}

Fault Database::begin()
{
    if (txn_)
        return db_fault(TRANSACTION);
    if (Fault f = exec(db_, "BEGIN IMMEDIATE"); !f.ok())
        return f;
    txn_ = true;
    cache_->use_checked.clear();
    return {};
}

Fault Database::commit()
{
    if (!txn_)
        return db_fault(TRANSACTION);
    if (sqlite3_get_autocommit(db_)) {
        // SQLite already undid the transaction after a failure.
        txn_ = false;
        cache_->tables.clear();
        return filer_fault(FILER_LOST);
    }
    Fault f = exec(db_, "COMMIT");
    if (!f.ok()) {
        // A commit that cannot finish leaves nothing behind.
        exec(db_, "ROLLBACK");
        cache_->tables.clear();
    }
    txn_ = false;
    return f;
}

Fault Database::rollback()
{
    if (!txn_)
        return db_fault(TRANSACTION);
    txn_ = false;
    cache_->tables.clear();
    if (sqlite3_get_autocommit(db_))
        return {};  // already undone
    return exec(db_, "ROLLBACK");
}

}  // namespace dozstore
