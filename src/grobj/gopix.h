// Style pixmaps: one small X pixmap per colour, line style, marker, hatch
// and font of the graphics library's screen tables, each drawn by the
// library itself on an X device opened on the pixmap, so that the
// formatting dialogs show exactly what a graph will draw.  The counts
// found here bound every style index of the graph properties.
#pragma once

#include <X11/Intrinsic.h>

// The style counts: device colours + 2 (the last two pictures show the
// colour map's ramp, the last one wide), device line styles, device
// markers - 4 (the selection markers get no picture), device hatches + 2
// (0 hollow, 1 solid, s >= 2 device hatch s - 2), device fonts.
extern int gopix_num_colour_entries, gopix_num_linestyle_entries, gopix_num_marker_entries,
    gopix_num_hatch_entries, gopix_num_font_entries;

// Takes the counts from the graphics library's device 0; 0 when it has none
// (the counts then stay as they were).
int gopix_go_count_styles();

// Builds every picture on the widget's display and screen, on the colour
// widget's background (the widget's own when null); the counts come from
// the picture device.  With no widget, or no device to draw with, the
// counts come from device 0's tables and there are no pictures.  A picture
// whose device or canvas cannot be opened is said so on standard error,
// and the rest are made.
void go_initialise_pixmaps(Widget widget, Widget colour_widget);

// A colour's picture: -1 (colour by the colour map) and count - 2 the
// ramp, count - 2 with `wide` set the wide ramp (and *wide_out 1); -1 for
// an index at or above count - 1 or below -1.  wide_out may be null.
long gopix_go_pelx_colour(int index, int wide, int *wide_out);
// The picture of a style, or -1 for an index outside 0 .. count - 1.
long gopix_go_pelx_linestyle(int index);
long gopix_go_pelx_marker(int index);
long gopix_go_pelx_hatch(int index);
long gopix_go_pelx_font(int index);

// Frees every picture (their display must still be open); the counts stay.
void gopix_go_free_pixmaps();
