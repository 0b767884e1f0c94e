// What the query manager's core and its X side share.
#pragma once

#include "qymgr.h"

#include <cstdint>
#include <nl_types.h>

// The end-of-query pipe: a byte written by the end-of-query handler (or a
// signal handler) wakes the event pump.  Both ends are non-blocking.
extern int qypipe[2];
extern int qypipe_init;
// Reads every byte waiting on the pipe.
void qymgr_drain_pipe();
// Once the own interpreter has died, one line on standard error says so.
void qymgr_note_death();

const QyUi *qymgr_ui();
nl_catd qymgr_catd();

// The mode word of a query: from WAIT and SIGNAL_DONE, by the execution
// and buffer modes, then the INTERACTIVE override (-1 none).
uint32_t qymgr_mode_word(int exec_mode, int buffer_mode, int interactive_override);

// X side: adds the pipes as input sources of the X event loop once they
// exist (nothing without X); interns the new-data atom on the widget's
// display (0 without one).
void qymgr_register_inputs();
Atom qymgr_intern_newdata(Widget w);

// The pump and reports used without X (tests build on it).
const QyUi *qymgr_headless_ui();

// The workspace hooks installed (never null; empty slots when none).
const QyWorkspaceHooks *qymgr_workspace_hooks();
