// The spatial search over every query object of the workspace, in a fixed
// order of kinds: every expression, the first condition, every statistic,
// the first sort, the first group, every variable, the first join, the
// columns (each table's box first, then its columns), every table, every
// index, every privilege, the user object.  One search at a time.
#pragma once

#include "wsobj.h"

enum WsSearchMode : int {
    WS_SEARCH_SELECT = 0,  // the point lies in the select box
    WS_SEARCH_DROP = 1,    // the point lies in the drop box
    WS_SEARCH_COVER = 2,   // the outer box touches or overlaps the rectangle
    WS_SEARCH_BELOW = 3,   // the layout box's y is at or below the point's y
    WS_SEARCH_MULTI = 4,   // the select box lies wholly inside the rectangle
};

void wssrch_ws_start_search(int mode, const ObPoint *point, const ObBox *rect);
// The next matching object, or none when the search is over.
QueryObject *wssrch_ws_search();
void wssrch_ws_stop_search();

// The tests themselves (left and top edges inclusive, right and bottom
// exclusive for points; inclusive on all edges for rectangles).
bool wssrch_point_in(const ObBox &box, const ObPoint &p);
bool wssrch_box_touches(const ObBox &box, const ObBox &rect);
bool wssrch_box_inside(const ObBox &box, const ObBox &rect);
