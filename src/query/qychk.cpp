// Query checks.

#include "qychk.h"
#include "qymgr.h"

#include <cstdio>
#include <string>

namespace {

// A name inside single quotes: a quote in it is doubled.
std::string quoted(const char *text)
{
    std::string s;
    for (const char *p = text ? text : ""; *p; p++) {
        s += *p;
        if (*p == '\'')
            s += '\'';
    }
    return s;
}

}  // namespace

int qychk_privs_exist(const char *table)
{
    std::string text = "DISPLAY %RNAME FROM %PRIVS WHERE %RNAME='" + quoted(table) + "'";
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_SIMPLE, QY_IGNORE);
    return qymgr_qy_ok() && qymgr_qy_rows() > 0 ? 1 : 0;
}
