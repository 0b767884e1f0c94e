// The engine tqlserver runs.  The shipped program runs the DOZ language
// engine alone (tqldoz.cpp); the test build runs it with the protocol's
// "TEST ..." statements beside it (tqlcombo.cpp, tqlmini.cpp).
#pragma once

#include "tqlengine.h"

#include <string>

const TqlEngine &tql_server_engine();

// The error texts of the last statement when the DOZ engine ran it (it
// knows which table each code comes from); false for a test statement,
// whose codes are looked up in the catalogue by number.
bool tql_server_error_texts(void *engine, std::string texts[3]);
