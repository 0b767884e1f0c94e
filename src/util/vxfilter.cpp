// The filters file reader.

#include "vxfilter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static std::string install_dir;
static std::string path_buffer;

void filters_set_install_dir(const char *dir) { install_dir = dir ? dir : ""; }

const char *filters_file_path()
{
    if (const char *env = getenv("VX_FILTERS_FILE"); env && *env)
        return env;
    path_buffer = install_dir.empty() ? std::string() : install_dir + "/etc/filters";
    return path_buffer.c_str();
}

static std::string refused_path;

bool settings_file_trusted(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (st.st_mode & S_IWOTH)
        return false;
    if ((st.st_mode & S_IWGRP) && st.st_gid != getgid())
        return false;
    if (st.st_uid == getuid() || st.st_uid == 0)
        return true;
    // The installation's owner: the owner of the tree start-up named.
    struct stat tree;
    return !install_dir.empty() && stat(install_dir.c_str(), &tree) == 0 && st.st_uid == tree.st_uid;
}

FILE *open_trusted_settings_file(const char *path, bool *refused)
{
    if (refused)
        *refused = false;
    if (!path || !*path)
        return nullptr;
    // The file is judged by what was opened, not by its name: it cannot be
    // swapped between the look and the read.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (!settings_file_trusted(fd)) {
        close(fd);
        if (refused)
            *refused = true;
        return nullptr;
    }
    FILE *f = fdopen(fd, "r");
    if (!f)
        close(fd);
    return f;
}

const char *filters_file_refused() { return refused_path.empty() ? nullptr : refused_path.c_str(); }

static bool blank(char c) { return c == ' ' || c == '\t'; }

// One entry line (leading blanks gone, keyword matched); false when it
// holds no entry that fits.
static bool parse_entry(const std::string &line, FilterEntry &entry)
{
    size_t p = line.find(':');
    if (p == std::string::npos)
        return false;
    p++;
    while (p < line.size() && blank(line[p]))
        p++;
    size_t start = p;
    while (p < line.size() && !blank(line[p]) && line[p] != ':')
        p++;
    std::string label = line.substr(start, p - start);
    p = line.find(':', p);
    if (p == std::string::npos)
        return false;
    p++;
    while (p < line.size() && blank(line[p]))
        p++;
    std::string command = line.substr(p);
    if (command.size() > FILTER_COMMAND_SIZE - 1)
        return false;
    if (label.size() > FILTER_LABEL_SIZE - 1)
        label.resize(FILTER_LABEL_SIZE - 1);
    memcpy(entry.label, label.c_str(), label.size() + 1);
    memcpy(entry.command, command.c_str(), command.size() + 1);
    return true;
}

int read_filters_file(const char *keyword, FilterEntry *entries, int maximum)
{
    if (!keyword || !*keyword || maximum <= 0)
        return 0;
    const char *path = filters_file_path();
    bool refused = false;
    FILE *f = open_trusted_settings_file(path, &refused);
    refused_path = refused ? path : "";
    if (!f)
        return 0;
    size_t klen = strlen(keyword);
    int found = 0;
    std::string line;
    bool too_long = false;
    bool more = true;
    while (more && found < maximum) {
        int c = getc(f);
        if (c != EOF && c != '\n') {
            if (line.size() < FILTER_LINE_MAX)
                line += static_cast<char>(c);
            else
                too_long = true;
            continue;
        }
        more = c != EOF;
        if (!too_long && !(c == EOF && line.empty())) {
            size_t s = 0;
            while (s < line.size() && blank(line[s]))
                s++;
            bool comment = !line.empty() && line[0] == '#';
            if (!comment && line.size() - s >= klen && line.compare(s, klen, keyword) == 0 &&
                parse_entry(line.substr(s), entries[found]))
                found++;
        }
        line.clear();
        too_long = false;
    }
    fclose(f);
    return found;
}
