// The table view: datasets formatted into text lines in a bounded store
// that scrolls like a terminal, whole-line and whole-column scrolling,
// selection offered as PRIMARY, and Stop polling while a dataset is being
// formatted.  Also table printing and the pipe target of a query.
#pragma once

#include "dystore.h"

#include <X11/Intrinsic.h>

void dytab_dy_enable_table_mode(int on);
int dytab_dy_table_mode();
void dytab_dy_clear_table(int reset);
void dytab_dy_set_stop_widget(Widget w);

// The line output procedure of the screen destination.
int dytab_dy_output_line(const char *text, int length);
// Brings the window up to the lines stored (one scroll, then the strip).
void dytab_dy_catch_up();
// Called after each catch-up has been flushed to the server (null: none);
// the benchmark times the view with it.
extern void (*dytab_screen_shown)();

// Prints every kept dataset by the print settings; 1 on success.  With
// `report`, failures show error boxes.
int dytab_dy_print_table(int report);
// A command: the next query's rows go into it through a pipe; none (or
// empty): the open pipe is closed.  1, or 0 when the pipe cannot be opened.
int dytab_dy_prepare_pipe_target(const char *command);

// The store (null before the view was first switched on), the font
// metrics, for tests and the bench.
const DyLineStore *dytab_store();
void dytab_metrics(int *line_height, int *char_width);

// Starts a new view: the datasets freed, the table and the graphs cleared
// (with `fresh_graph` a new empty graph made), then the menus told; `ask`
// confirms first.
void mngraph_mn_new_view(int ask, int fresh_graph);
