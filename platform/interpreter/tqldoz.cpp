// The engine the shipped tqlserver runs: the DOZ language engine alone.

#include "tqlserve.h"

#include "dozeng_tql.h"

const TqlEngine &tql_server_engine() { return doz_tql_engine(); }

bool tql_server_error_texts(void *engine, std::string texts[3])
{
    doz_tql_error_texts(engine, texts);
    return true;
}
