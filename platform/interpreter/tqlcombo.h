// The engine tqlserver runs: the DOZ language engine, with the stand-in's
// "TEST ..." statements kept beside it for the tests of the protocol.
#pragma once

#include "tqlengine.h"

#include <string>

const TqlEngine &tql_combo_engine();

// The error texts of the last statement when the DOZ engine ran it (it
// knows which table each code comes from); false for a test statement,
// whose codes are looked up in the catalogue by number.
bool tql_combo_error_texts(void *engine, std::string texts[3]);
