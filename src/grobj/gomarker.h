// Data-point markers: two markers on one graph, each with a position on
// every dataset of the graph, moved through the data together (to the same
// x value, or in follow-by-position mode to the same point number).  One
// marker has the focus and is the one that moves.  Markers are the
// graphics library's selection markers drawn in exclusive-or, so drawing
// them twice takes them away; the values under them go to the display
// window's value read-out.
//
// Every operation returns 1 when it did something and 0 when not (no
// markers, a graph with no data, nothing to move to).
#pragma once

#include "goprop.h"

#include <cstdint>

struct GoGraph;

inline constexpr int GO_MARKERS = 2;
inline constexpr int GO_MARKER_SLOTS = 216;
inline constexpr int GO_MARKER_TEXT = 60;  // characters of a read-out text
// Bit of the display window's selection state: follow by point position.
inline constexpr int GO_FOLLOW_POSITION = 0x40;

// One marker's position on one dataset.
struct GoMarker {
    unsigned char shown;   // the marker has a position on this dataset
    unsigned char focus;   // this marker is the focussed one
    int32_t dataset;       // -1: slot unused
    int32_t number;        // 0 or 1
    double *x, *y, *z;     // the values under the marker
    char xtext[GO_MARKER_TEXT + 1], ytext[GO_MARKER_TEXT + 1], ztext[GO_MARKER_TEXT + 1];
    GoTuple tuple;         // the position
    GoMarker *partner;     // marker 1's record of the slot (from marker 0 only)
    GoMarker *next;        // the same marker's record of the next slot
};

// Both chains; marker 0 shown and focussed; every dataset of the graph
// added.  A null graph gives the chains with no datasets.
int gomarker_go_create_markers(GoGraph *graph);
int gomarker_go_destroy_markers();
int gomarker_go_display_markers();
int gomarker_go_undraw_markers();
// number 1 or 2; -1 gives the focus to the other marker.
int gomarker_go_set_focussed_marker(int number);
int gomarker_go_activate_marker(int number);
int gomarker_go_deactivate_marker(int number);
int gomarker_go_add_dataset_markers(int dataset);
int gomarker_go_delete_dataset_markers(int dataset);
int gomarker_go_marker_move_next();
int gomarker_go_marker_move_prev();
int gomarker_go_marker_next_page();
int gomarker_go_marker_prev_page();
int gomarker_go_marker_to_start();
int gomarker_go_marker_to_end();
// Moves the focussed marker to the point nearest the world position:
// dimensions 0 measures in x and y, 1 in x and z, other in x, y and z.
int gomarker_go_find_closest_point(double x, double y, int mode, int dimensions, double z);
int go_change_marker_graph(GoGraph *graph);

// The marker graph (null: none) and a marker's record of a slot (null when
// there are no markers), for the display window and tests.
GoGraph *gomarker_go_marker_graph();
const GoMarker *gomarker_go_marker(int number, int slot);
