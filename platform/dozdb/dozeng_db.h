// The statements on databases and tables: the engine's database layer
// over the storage (dozstore.h).  Set SessionConfig::db to &db_layer() to
// give a Session databases, tables, the dictionary and queries.
#pragma once

#include "dozeng.h"

namespace doz {

const DbLayer &db_layer();

}  // namespace doz
