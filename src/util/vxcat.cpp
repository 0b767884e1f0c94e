// Catalogue access, the interpreter error texts and the installation's
// directories.

#include "vxcat.h"

#include "vxutil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

nl_catd nl_catopen(const char *path, int flag)
{
    if (!path)
        return NL_NO_CATALOGUE;
    nl_catd cd = catopen(path, flag);
    if (cd == NL_NO_CATALOGUE)
        return NL_NO_CATALOGUE;
    // catgets hands back the default pointer itself when the message is
    // missing, so a probe default tells "missing" from "empty".
    static const char probe[] = "";
    const char *text = catgets(cd, 1, 1, probe);
    if (text == probe) {
        catclose(cd);
        return NL_NO_CATALOGUE;
    }
    return cd;
}

void nl_catclose(nl_catd handle)
{
    if (handle != NL_NO_CATALOGUE)
        catclose(handle);
}

const char *nl_catgets(nl_catd handle, int set, int number)
{
    if (handle == NL_NO_CATALOGUE)
        return "";
    const char *text = catgets(handle, set, number, "");
    return text ? text : "";
}

// ---- where things are installed -------------------------------------------

namespace {

const char *env_dir(const char *name)
{
    const char *v = getenv(name);
    return v && *v ? v : nullptr;
}

const char *const default_install_dir = "/usr/lib/qelbase";

// <dir>/messages/SUN4SOLARIS/<lang>/<name>.cat
std::string catalogue_file(const char *dir, const char *lang, const char *name)
{
    return std::string(dir ? dir : "") + "/messages/SUN4SOLARIS/" + lang + "/" + name + ".cat";
}

const char *language()
{
    const char *lang = getenv("LANG");
    return lang && *lang ? lang : "C";
}

}  // namespace

std::string vx_install_dir()
{
    const char *d = env_dir("QYDIR");
    return d ? d : default_install_dir;
}

const char *vx_client_dir_env()
{
    const char *d = env_dir("DOZ_CLIENT_DIR");
    return d ? d : env_dir("QYDIR");
}

std::string vx_client_dir()
{
    const char *d = vx_client_dir_env();
    return d ? d : default_install_dir;
}

std::string vx_server_dir()
{
    const char *d = env_dir("DOZ_SERVER_DIR");
    return d ? d : vx_install_dir();
}

std::string vx_catalogue_path(const char *client_dir, const char *name)
{
    const char *lang = language();
    if (strchr(lang, '/') == nullptr) {
        std::string p = catalogue_file(client_dir, lang, name);
        if (access(p.c_str(), R_OK) == 0)
            return p;
    }
    return catalogue_file(client_dir, "C", name);
}

// ---- catalogues ----------------------------------------------------------

nl_catd open_msg_catalogue(const char *client_dir, const char *name, int *status)
{
    int dummy;
    if (!status)
        status = &dummy;
    if (strchr(name, '/')) {
        nl_catd cd = nl_catopen(name, 0);
        *status = cd == NL_NO_CATALOGUE ? 2 : 0;
        return cd;
    }
    const char *lang = language();
    std::string path = catalogue_file(client_dir, lang, name);
    nl_catd cd = nl_catopen(path.c_str(), 0);
    if (cd != NL_NO_CATALOGUE) {
        *status = 0;
        return cd;
    }
    if (strcmp(lang, "C") == 0) {  // the C catalogue was the one just tried
        *status = 2;
        return NL_NO_CATALOGUE;
    }
    path = catalogue_file(client_dir, "C", name);
    cd = nl_catopen(path.c_str(), 0);
    *status = cd == NL_NO_CATALOGUE ? 2 : 1;
    return cd;
}

static nl_catd qerror_cd = NL_NO_CATALOGUE;
static std::string qerror_dir;

void init_qerror_handling(const char *client_dir)
{
    qerror_dir = client_dir ? client_dir : "";
    if (qerror_cd != NL_NO_CATALOGUE)
        return;
    int status;
    qerror_cd = open_msg_catalogue(qerror_dir.c_str(), "kernel", &status);
}

int terminate_qerror_handling(int value)
{
    if (qerror_cd != NL_NO_CATALOGUE)
        catclose(qerror_cd);
    qerror_cd = NL_NO_CATALOGUE;
    return value;
}

bool qerror_catalogue_open() { return qerror_cd != NL_NO_CATALOGUE; }

void nl_qmsg(int code, char *text, size_t n)
{
    if (qerror_cd == NL_NO_CATALOGUE || !text)
        return;
    const char *m = code >= 1 ? nl_catgets(qerror_cd, 21, code) : nl_catgets(qerror_cd, 22, 1 - code);
    safe_strcpy(text, m, n);
}
