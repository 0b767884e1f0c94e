// The installation user and the checks on the interpreter program.

#include "qysched_int.h"

using namespace qy;

namespace qy {

// ---- the installation user and the program checks ------------------------

std::string trimmed_line(FILE *f)
{
    char line[256];
    if (!f || !fgets(line, sizeof line, f))
        return "";
    std::string s = line;
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
    if (s.size() > 30)
        s.resize(30);
    return s;
}

int obtain_orvanta_userid()
{
    std::string file = lib.server_dir + "/.orvanta_user";
    FILE *f = fopen(file.c_str(), "r");
    std::string user = trimmed_line(f), group = trimmed_line(f);
    if (f)
        fclose(f);
    if (user.empty())
        user = "orvanta";
    if (group.empty())
        group = user;
    struct passwd *pw = getpwnam(user.c_str());
    if (!pw) {
        pw = getpwnam("qelbase");
        if (!pw) {
            report(QY_NO_USER, user.c_str(), "qelbase");
            return DOZ_E_NO_USER;
        }
        report(QY_USER_FALLBACK, user.c_str(), "qelbase");
        user = "qelbase";
    }
    lib.inst_user = user;
    lib.inst_uid = pw->pw_uid;
    struct group *gr = getgrnam(group.c_str());
    if (!gr) {
        gr = getgrnam("qelbase");
        if (!gr) {
            report(QY_NO_GROUP, group.c_str(), "qelbase");
            return DOZ_E_NO_USER;
        }
        report(QY_GROUP_FALLBACK, group.c_str(), "qelbase");
        group = "qelbase";
    }
    lib.inst_group = group;
    lib.inst_gid = gr->gr_gid;
    return 0;
}

int check_interpreter_permissions(const char *path, bool remote)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        int e = errno;
        report(QY_CANNOT_STAT, path, e);
        if (e == ENOENT || e == ENOTDIR || e == ELOOP)
            return DOZ_E_NO_PROGRAM;
        return e == EACCES ? DOZ_E_PERMISSIONS : DOZ_E_PROGRAM;
    }
    if (!S_ISREG(st.st_mode)) {
        report(QY_NOT_REGULAR, path);
        return DOZ_E_PROGRAM;
    }
    if (remote) {
        if (!(st.st_mode & S_IXOTH)) {
            report(QY_NO_EXECUTE, path);
            return DOZ_E_PERMISSIONS;
        }
        if (st.st_mode & S_ISUID) {
            report(QY_RELAY_SETUID, path);
            report(QY_RELAY_MODES);
            return DOZ_E_PERMISSIONS;
        }
        return 0;
    }
    if (st.st_uid != lib.inst_uid) {
        report(QY_WRONG_USER, path, lib.inst_user.c_str());
        return DOZ_E_PERMISSIONS;
    }
    if (st.st_gid != lib.inst_gid) {
        report(QY_WRONG_GROUP, path, lib.inst_group.c_str());
        return DOZ_E_PERMISSIONS;
    }
#ifdef VX_PLAIN_INTERPRETER
    // A sanitizer build installs its interpreter without set-id bits (the
    // sanitizer runtime would act with the owner's rights before the
    // interpreter drops them): it runs as its caller.
    constexpr mode_t needed = S_IXOTH;
#else
    constexpr mode_t needed = S_ISUID | S_ISGID | S_IXOTH;
#endif
    if ((st.st_mode & needed) != needed) {
        report(QY_WRONG_MODES, path);
        return DOZ_E_PERMISSIONS;
    }
    return 0;
}


}  // namespace qy
