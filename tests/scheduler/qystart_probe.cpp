// Starts one interpreter with the environment it is given and reports:
// "<result> <status[1]>\n" on standard output, the library's error texts
// on standard error.  Ends the connection again.
#include "qysched.h"

#include <cstdio>

static void to_stderr(const char *text) { fputs(text, stderr); }

int main()
{
    doz_set_system_error_proc(to_stderr);
    int cid = -1;
    int r = doz_init(&cid, "", "PROBE", DOZ_START_WORD);
    int status[6] = {};
    doz_get_qstatus(cid, status);
    printf("%d %d\n", r, status[1]);
    if (doz_term(cid) != 0)
        doz_detach(cid, 1);
    return 0;
}
