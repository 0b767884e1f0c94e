// The graph kinds: one class record per kind (kinds 0-21), the line kind's
// drawing, and the seam that every kind not built yet draws with.
#pragma once

#include "gomain.h"

#include <string>

inline constexpr int GK_KINDS = 22;

// The initialisers, one per kind: each returns its class record.
GoClass *go_initialise_go_0();
GoClass *go_initialise_go_1();
GoClass *go_initialise_go_2();
GoClass *go_initialise_go_3();
GoClass *go_initialise_go_4();
GoClass *go_initialise_go_5();
GoClass *go_initialise_go_6();
GoClass *go_initialise_go_7();
GoClass *go_initialise_go_8();
GoClass *go_initialise_go_9();
GoClass *go_initialise_go_10();
GoClass *go_initialise_go_11();
GoClass *go_initialise_go_12();
GoClass *go_initialise_go_13();
GoClass *go_initialise_go_14();
GoClass *go_initialise_go_15();
GoClass *go_initialise_go_16();
GoClass *go_initialise_go_17();
GoClass *go_initialise_go_18();
GoClass *go_initialise_go_19();
GoClass *go_initialise_go_20();
GoClass *go_initialise_go_21();

// Fills `gomain_graph_class` (22-29 none) and takes the run mode and the
// text-evaluation switch from the resource record.
struct AppData;
void gomain_go_initialise_objects(const AppData *resources);

// The kind's name (catalogue set 68).
std::string gokind_name(int kind);

// The line kind's draw, and the skeleton other kinds follow.
int goline_draw_graph(GoGraph *graph, int reason, uint64_t *flags);
