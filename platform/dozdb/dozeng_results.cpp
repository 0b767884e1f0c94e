// The record of each connection's result tables in its prefix's lock file.

#include "dozeng_results.h"

#include "dozids.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace doz {

namespace {

std::string read_all(int fd)
{
    std::string text;
    char chunk[4096];
    if (lseek(fd, 0, SEEK_SET) < 0)
        return text;
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return text;
}

bool write_all(int fd, const std::string &text)
{
    for (size_t at = 0; at < text.size();) {
        ssize_t w = ::write(fd, text.data() + at, text.size() - at);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        at += static_cast<size_t>(w);
    }
    return true;
}

// Drops the tables recorded for `root` in the open record `fd` and keeps
// the lines of other databases.
void sweep_file(int fd, const std::string &root, const std::function<void(const std::string &)> &drop)
{
    std::string text = read_all(fd), kept;
    bool changed = false;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        size_t tab = line.find('\t');
        if (tab != std::string::npos && line.compare(0, tab, root) == 0 && tab == root.size()) {
            drop(line.substr(tab + 1));
            changed = true;
        } else if (!line.empty()) {
            kept += line + "\n";
        }
    }
    if (changed && ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0)
        write_all(fd, kept);
}

}  // namespace

std::string result_lock_path(const std::string &server_dir, const std::string &prefix)
{
    return server_dir + "/.result." + prefix + ".lock";
}

void record_result_table(const std::string &server_dir, const std::string &prefix, const std::string &root,
                         const std::string &table)
{
    dozids::AsOwner me;  // the server directory's files are the database user's
    int fd = ::open(result_lock_path(server_dir, prefix).c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;  // no lock file: a session without a server directory of its own
    write_all(fd, root + "\t" + table + "\n");
    ::close(fd);
}

void sweep_result_tables(const std::string &server_dir, const std::string &own_prefix, const std::string &root,
                         const std::function<void(const std::string &table)> &drop)
{
    std::vector<std::string> prefixes;
    // The lock files are opened as the database user; the tables are
    // dropped with the rights the open database was opened with.
    std::optional<dozids::AsOwner> me(std::in_place);
    if (DIR *d = opendir(server_dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            // ".result.RSxx.lock"
            if (n.size() == 17 && n.compare(0, 10, ".result.RS") == 0 && n.compare(12, 5, ".lock") == 0)
                prefixes.push_back(n.substr(8, 4));
        }
        closedir(d);
    }
    std::vector<std::pair<std::string, int>> files;
    for (const std::string &p : prefixes)
        if (int fd = ::open(result_lock_path(server_dir, p).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC); fd >= 0)
            files.emplace_back(p, fd);
    me.reset();
    for (const auto &[p, fd] : files) {
        // The own record is ours to change (this process holds its lock
        // through another descriptor); another is free only when its lock is.
        if (p == own_prefix || flock(fd, LOCK_EX | LOCK_NB) == 0)
            sweep_file(fd, root, drop);
        ::close(fd);
    }
}

}  // namespace doz
