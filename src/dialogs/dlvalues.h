// The values the display window's menus hand to the graph formatting
// dialogs: the saved-file value of the graph format file dialog and the
// annotation value of the annotation text dialog and its sub-dialogs.  The
// menus own one record of each; the dialogs read and write them through
// setval and getval.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The graph format file dialog (40): the user's own directory of formats,
// the shared one, the chosen name and whether it is (to be) shared.
struct GraphFileValue {
    char user_dir[256];
    char shared_dir[256];
    char name[16];
    int32_t shared;
};
static_assert(std::is_standard_layout_v<GraphFileValue>);
static_assert(offsetof(GraphFileValue, user_dir) == 0 && offsetof(GraphFileValue, shared_dir) == 256);
static_assert(offsetof(GraphFileValue, name) == 512 && offsetof(GraphFileValue, shared) == 528);
static_assert(sizeof(GraphFileValue) == 532);

// The longest format name the dialog takes.
inline constexpr int GRAPH_FILE_NAME_MAX = 15;

// The annotation text dialog (52): the graph that owns the text (a graph
// record, opaque here), the text's object id on it (0-227 the titles, from
// 228 the user's texts), the mode (1 adding, 2 editing) and the body as
// typed.
inline constexpr int ANNOT_BODY_SIZE = 4104;
inline constexpr int ANNOT_ADD = 1, ANNOT_EDIT = 2;

struct AnnotValue {
    void *graph;
    int32_t id;
    int32_t mode;
    char body[ANNOT_BODY_SIZE];
};
static_assert(std::is_standard_layout_v<AnnotValue>);
static_assert(offsetof(AnnotValue, graph) == 0 && offsetof(AnnotValue, id) == sizeof(void *));
static_assert(offsetof(AnnotValue, mode) == sizeof(void *) + 4 && offsetof(AnnotValue, body) == sizeof(void *) + 8);
