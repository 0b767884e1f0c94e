// Runs the query manager's start-up in a process of its own, for the
// outcomes that end the program: qyprobe startup | old-revision | panic.
// Prints the texts sent, one a line, and what the start-up stored.

#include "qycompat.h"
#include "qymgr.h"
#include "vxcat.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string mode;
std::string catalogue;

int watch(const char *text, uint32_t modes)
{
    printf("sent %s\n", text);
    fflush(stdout);
    int r = querym(text, modes);
    if (mode == "old-revision" && strcmp(text, "PRINT REVISION()") == 0)
        strcpy(static_cast<char *>(qymgr_qy_buffer()), "2.90");
    return r;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    mode = argv[1];
    const char *b = getenv("VX_BUILD_DIR");
    catalogue = std::string(b ? b : ".") + "/messages/SUN4SOLARIS/C/vostrelane.cat";
    AppData ad{};
    ad.catd = nl_catopen(catalogue.c_str(), 0);
    ad.user_name = const_cast<char *>("TESTER");
    ad.server_name = const_cast<char *>("");
    ad.buffer_size = 200000;
    ad.runMode = 0;
    ad.dateInputFormat = const_cast<char *>("%d/%m/%y");
    qymgr_qy_set_querym(watch);

    char user[31] = "";
    float revision = 0;
    QySysvars sv{};
    QyDictionaryHooks dict{user, sizeof user, &revision, &sv};
    qymgr_qy_set_dictionary(&dict);

    qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, mode != "panic");
    if (mode == "panic") {
        qymgr_qy_query("NOT A STATEMENT", QY_NOWAIT, QY_SIMPLE, QY_PANIC);
        printf("still running\n");
        return 3;
    }
    printf("user %s\nrevision %.2f\n", user, revision);
    printf("sysvars %d %d %s %d %s %s %d %d %d\n", sv.unique, sv.lockwait, sv.dpriv, sv.reserved, sv.dateinput,
           sv.timezone, sv.overwrite, sv.writecheck, sv.nlsradix);
    printf("ok %d\n", qymgr_qy_ok());
    qymgr_qy_authorise();
    printf("authorised\n");
    qymgr_qy_term();
    return 0;
}
