// The DOZ engine behind the query interpreter's engine interface
// (tqlengine.h).
#pragma once

#include "tqlengine.h"

#include <string>

const TqlEngine &doz_tql_engine();

// The three texts (query, database, filer) of the last statement's
// failure, for the ERR reply; empty after a success.
void doz_tql_error_texts(void *engine, std::string texts[3]);
