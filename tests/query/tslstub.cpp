// A stand-in for the TSL script interpreter: attaches to the interpreter
// named by -m (segment), -q (queue) and -p (pid), sets %VXREREAD TRUE,
// writes its arguments into the file named by TSLSTUB_OUT, and detaches.

#include "qycompat.h"
#include "dozproto.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    int shmid = -1, msqid = -1, pid = 0;
    const char *out = getenv("TSLSTUB_OUT");
    FILE *f = out ? fopen(out, "w") : nullptr;
    for (int i = 0; i < argc; i++) {
        if (f)
            fprintf(f, "%s\n", argv[i]);
        if (i + 1 < argc && strcmp(argv[i], "-m") == 0)
            shmid = atoi(argv[i + 1]);
        else if (i + 1 < argc && strcmp(argv[i], "-q") == 0)
            msqid = atoi(argv[i + 1]);
        else if (i + 1 < argc && strcmp(argv[i], "-p") == 0)
            pid = atoi(argv[i + 1]);
    }
    if (f)
        fclose(f);
    if (qquery_attach(pid, shmid, msqid, DOZ_START_WORD, nullptr, 0) != 0)
        return 3;
    querym("CREATE VAR %VXREREAD TRUE", DOZ_M_WAIT);
    int bad = query_error();
    query_detach();
    return bad ? 4 : 0;
}
