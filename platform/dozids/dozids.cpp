#include "dozids.h"

#include <dirent.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dozids {

namespace {

uid_t caller_u = 0, owner_u = 0;
gid_t caller_g = 0, owner_g = 0;
bool is_split = false;
unsigned long next_id = 1;
std::vector<std::pair<unsigned long, bool>> scopes;  // id, caller

void apply()
{
    if (!is_split)
        return;
    bool caller = !scopes.empty() && scopes.back().second;
    // The group first when giving up the owner's ids, the user last when
    // taking them back: each step is one an unprivileged process may take.
    bool ok = caller ? setegid(caller_g) == 0 && seteuid(caller_u) == 0
                     : seteuid(owner_u) == 0 && setegid(owner_g) == 0;
    if (!ok) {
        // Going on with the wrong ids would open a client's paths with the
        // database user's rights.
        fputs("tqlserver: cannot change to the caller's or the owner's ids\n", stderr);
        _exit(1);
    }
}

}  // namespace

bool init(std::string &why)
{
    caller_u = getuid();
    owner_u = geteuid();
    caller_g = getgid();
    owner_g = getegid();
    if ((owner_u == 0 && caller_u != 0) || (owner_g == 0 && caller_g != 0)) {
        why = "set-user-id or set-group-id root is refused: install it for the database account";
        return false;
    }
    is_split = caller_u != owner_u || caller_g != owner_g;
    // The saved ids stay the owner's: each scope may switch either way.
    if (is_split && (setresgid(caller_g, owner_g, owner_g) != 0 || setresuid(caller_u, owner_u, owner_u) != 0)) {
        why = "cannot keep the database user's ids";
        return false;
    }
    return true;
}

bool split() { return is_split; }

namespace {
std::string exchange;
}

std::string exchange_dir()
{
    if (exchange.empty()) {
        AsCaller named;
        char dir[] = "/tmp/tqlXXXXXX";
        if (mkdtemp(dir))
            exchange = dir;
    }
    return exchange;
}

void remove_exchange_dir()
{
    if (exchange.empty())
        return;
    AsCaller named;
    if (DIR *d = opendir(exchange.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.' || (e->d_name[1] && (e->d_name[1] != '.' || e->d_name[2])))
                unlink((exchange + "/" + e->d_name).c_str());
        closedir(d);
    }
    rmdir(exchange.c_str());
    exchange.clear();
}

uid_t owner_uid() { return owner_u; }

Scope::Scope(bool caller) : id_(next_id++)
{
    scopes.emplace_back(id_, caller);
    apply();
}

Scope::~Scope()
{
    for (auto it = scopes.begin(); it != scopes.end(); ++it)
        if (it->first == id_) {
            scopes.erase(it);
            break;
        }
    apply();
}

bool inside(const std::string &dir, const std::string &path)
{
    if (dir.empty() || path.compare(0, dir.size(), dir) != 0)
        return false;
    return path.size() == dir.size() || path[dir.size()] == '/';
}

namespace {

// The directory's full name when it is a directory of the database user.
std::string owned(const std::string &dir)
{
    struct stat st;
    if (dir.empty() || lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != owner_u)
        return "";
    char real[PATH_MAX];
    return realpath(dir.c_str(), real) ? std::string(real) : std::string();
}

}  // namespace

std::string server_dir(const std::string &wanted)
{
    if (!is_split)
        return wanted;  // no rights but the caller's own to guard
    AsOwner me;
    if (std::string d = owned(wanted); !d.empty())
        return d;
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "";
    std::string self(exe, static_cast<size_t>(n));
    std::string dir = self.substr(0, self.rfind('/'));
    return owned(dir);
}

}  // namespace dozids
