// dozdemo: runs a file of DOZ statements through the statement engine
// directly against a server directory, without an interpreter process,
// so that a database can be built from a script in a few seconds.
//
//     dozdemo [-u user] [-q] <server dir> <script>
//
// One statement a line; a line ending in a backslash continues on the
// next; blank lines and lines starting with "#" are skipped.  The first
// failing statement ends the run with its error texts on standard error
// and exit status 1.  Result rows of queries go to standard output,
// blank-separated, unless -q.  Run by root, it works as the owner of the
// server directory.

#include "dozeng_db.h"
#include "dozeng_int.h"
#include "vxcat.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using namespace doz;

// Prints result rows as text.
struct Printer : Sink {
    bool quiet = false;
    void columns(const std::vector<Column> &) override {}
    bool row(const std::vector<Value> &values) override
    {
        if (quiet)
            return true;
        std::string line;
        for (size_t i = 0; i < values.size(); i++) {
            const Value &v = values[i];
            std::string t;
            if (v.null)
                t = "-";
            else if (v.is_array())
                t = "{" + std::to_string(v.e.size()) + "}";
            else if (is_text(v.type))
                t = as_text(v);
            else if (is_integer(v.type) || v.type == BOOL)
                t = std::to_string(v.e[0].i);
            else if (v.type == DATE) {
                int y, m, d;
                civil_from_days(v.e[0].i, y, m, d);
                char b[16];
                snprintf(b, sizeof b, "%04d-%02d-%02d", y, m, d);
                t = b;
            } else if (v.type == TIME) {
                char b[16];
                snprintf(b, sizeof b, "%02d:%02d:%02d", static_cast<int>(v.e[0].i / 3600),
                         static_cast<int>(v.e[0].i / 60 % 60), static_cast<int>(v.e[0].i % 60));
                t = b;
            } else if (v.type == COMPLEX) {
                char b[64];
                snprintf(b, sizeof b, "(%g,%g)", v.e[0].r, v.e[0].im);
                t = b;
            } else {
                char b[40];
                snprintf(b, sizeof b, "%g", v.e[0].r);
                t = b;
            }
            line += (i ? " " : "") + t;
        }
        puts(line.c_str());
        return true;
    }
    void end() override {}
};

int usage()
{
    fprintf(stderr, "usage: dozdemo [-u user] [-q] server-dir script\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string user = "BRASK";
    bool quiet = false;
    int opt;
    while ((opt = getopt(argc, argv, "u:q")) != -1) {
        if (opt == 'u')
            user = upper(optarg);
        else if (opt == 'q')
            quiet = true;
        else
            return usage();
    }
    if (argc - optind != 2)
        return usage();
    std::ifstream in(argv[optind + 1]);
    if (!in) {
        perror(argv[optind + 1]);
        return 1;
    }
    // Root builds a database as the account that owns the server
    // directory (the interpreter's database account), never as root: the
    // interpreter could not open root's files.
    struct stat dir_st;
    if (geteuid() == 0 && stat(argv[optind], &dir_st) == 0 && dir_st.st_uid != 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(dir_st.st_gid, dir_st.st_gid, dir_st.st_gid) != 0 ||
            setresuid(dir_st.st_uid, dir_st.st_uid, dir_st.st_uid) != 0) {
            perror("dozdemo: cannot take the server directory's owner's ids");
            return 1;
        }
    }
    umask(077);
    SessionConfig cfg;
    cfg.user = user;
    cfg.server_dir = argv[optind];
    cfg.db = &db_layer();
    const char *env_dir = vx_client_dir_env();
    std::string dir = env_dir ? env_dir : "";
    int status = 0;
    cfg.catalogue = dir.empty() ? NL_NO_CATALOGUE : open_msg_catalogue(dir.c_str(), "kernel", &status);
    int rc = 0;
    {
        Session s(cfg);
        Printer out;
        out.quiet = quiet;
        std::string line, stmt;
        int number = 0, first = 0;
        while (std::getline(in, line)) {
            number++;
            if (stmt.empty())
                first = number;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line.back() == '\\') {
                line.pop_back();
                stmt += line + " ";
                continue;
            }
            stmt += line;
            size_t at = stmt.find_first_not_of(" \t");
            if (at == std::string::npos || stmt[at] == '#') {
                stmt.clear();
                continue;
            }
            Status st = s.execute(stmt, 0, out);
            if (st.error) {
                fprintf(stderr, "%s:%d: %s\n", argv[optind + 1], first, stmt.c_str());
                for (const std::string *t : {&st.query_text, &st.database_text, &st.filer_text})
                    if (!t->empty())
                        fprintf(stderr, "  %s\n", t->c_str());
                fprintf(stderr, "  (codes %d, %d, %d)\n", st.query, st.database, st.filer);
                rc = 1;
                break;
            }
            stmt.clear();
        }
    }
    if (cfg.catalogue != NL_NO_CATALOGUE)
        nl_catclose(cfg.catalogue);
    return rc;
}
