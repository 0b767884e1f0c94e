// The sort (11), group (12) and join (13) editors: one line of text each,
// columns picked on the canvas entered into it, a few buttons.
#pragma once

#include "dlmain.h"

void dlsort_initialise_sort_dialog(DialogRecord *rec);
void dlgrp_initialise_group_dialog(DialogRecord *rec);
void dljoin_initialise_join_dialog(DialogRecord *rec);

// The insert mode of a picked column in editor `id` (11 sort: a list, 12
// group: the whole text, 13 join: after "=" where the text asks), 0 for
// another id.
int dlsgj_pick_insert_mode(int id);
