// The engine of the interpreter's test build: the DOZ language engine with
// the protocol's "TEST ..." statements (tqlmini.cpp) beside it.

#include "tqlserve.h"

#include "dozeng_tql.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace {

struct Combo {
    void *doz = nullptr;
    void *mini = nullptr;
    bool last_was_doz = true;
};

bool is_test_statement(const char *text)
{
    while (*text == ' ' || *text == '\t')
        text++;
    return strncasecmp(text, "TEST", 4) == 0 && (text[4] == ' ' || text[4] == '\t' || text[4] == '\0');
}

void *combo_open(const TqlSession *session)
{
    void *doz = doz_tql_engine().open(session);
    if (!doz)
        return nullptr;
    auto *c = new Combo;
    c->doz = doz;
    c->mini = tql_mini_engine().open(session);
    return c;
}

void combo_run(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    auto *c = static_cast<Combo *>(engine);
    c->last_was_doz = !is_test_statement(text);
    if (c->last_was_doz)
        doz_tql_engine().run(c->doz, text, modes, host, out);
    else
        tql_mini_engine().run(c->mini, text, modes, host, out);
}

int combo_dump(void *engine, int kind, FILE *to)
{
    auto *c = static_cast<Combo *>(engine);
    // Kind 4 is the database list, which the DOZ engine keeps; the other
    // kinds are the stand-in's diagnostic dump.
    return kind == 4 ? doz_tql_engine().dump(c->doz, kind, to) : tql_mini_engine().dump(c->mini, kind, to);
}

int combo_authorise(void *engine, int right)
{
    return doz_tql_engine().authorise(static_cast<Combo *>(engine)->doz, right);
}

void combo_close(void *engine)
{
    auto *c = static_cast<Combo *>(engine);
    doz_tql_engine().close(c->doz);
    tql_mini_engine().close(c->mini);
    delete c;
}

const TqlEngine combo_engine = {"doz", combo_open, combo_run, combo_dump, combo_authorise, combo_close};

}  // namespace

const TqlEngine &tql_server_engine() { return combo_engine; }

bool tql_server_error_texts(void *engine, std::string texts[3])
{
    auto *c = static_cast<Combo *>(engine);
    if (!c || !c->last_was_doz)
        return false;
    doz_tql_error_texts(c->doz, texts);
    return true;
}
