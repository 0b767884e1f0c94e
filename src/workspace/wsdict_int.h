// What the dictionary's modules share inside the workspace.
#pragma once

#include "wsdict.h"

// Removes a freed entry from the sparse indexes.
void wsdict_forget_item(const DictItem *item);
void wsdict_forget_relation(const DictRelation *relation);
void wsdict_call_activity_notify();
