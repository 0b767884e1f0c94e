// The index editor (17): the indexes of one table listed, a new index's
// key phrase typed or built from the table's columns picked on the
// canvas, an existing index picked to be dropped.
#pragma once

#include "dlmain.h"

#include <string>

struct DictIndex;

void dlidx_initialise_index_dialog(DialogRecord *rec);  // 17

// The list line of an index: "#%-2d %s%sBY %s %s".
std::string dlidx_index_line(const DictIndex &index);
// A list line taken apart: the key phrase behind "BY " (up to " ON ") and
// the location behind " ON " (empty without one).  False when the line
// has no "BY ".
bool dlidx_parse_line(const std::string &line, std::string &keys, std::string &location);
