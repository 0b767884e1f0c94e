#include "vxcat.h"

#include "vxutil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    const char *lang = getenv("LANG");
    if (!lang || !*lang)
        lang = "C";
    const char *dir = client_dir ? client_dir : "";
    std::string path = std::string(dir) + "/messages/SUN4SOLARIS/" + lang + "/" + name + ".cat";
    nl_catd cd = nl_catopen(path.c_str(), 0);
    if (cd != NL_NO_CATALOGUE) {
        *status = 0;
        return cd;
    }
    if (strcmp(lang, "C") == 0) {  // the C catalogue was the one just tried
        *status = 2;
        return NL_NO_CATALOGUE;
    }
    path = std::string(dir) + "/messages/SUN4SOLARIS/C/" + name + ".cat";
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
