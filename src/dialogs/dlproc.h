// The procedures dialog (31): the stored procedure files that can be run,
// saved over or deleted, the name of one, an external editor for it, and
// output as comma-separated text when running.  Opened with title mode 4
// (Load and run), 5 (Save as) or 6 (Delete).
#pragma once

#include "dlmain.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct ProcValue {
    char user_dir[256];
    char shared_dir[256];
    char name[16];       // at most 14 characters typed
    int32_t shared;      // the name is in the shared directory
    int32_t transaction; // translate the procedure to TSL after saving
    int32_t csv;         // results of the run go to a comma-separated file
    char csv_file[256];
};
static_assert(offsetof(ProcValue, shared_dir) == 256);
static_assert(offsetof(ProcValue, name) == 512);
static_assert(offsetof(ProcValue, shared) == 528);
static_assert(offsetof(ProcValue, transaction) == 532);
static_assert(offsetof(ProcValue, csv) == 536);
static_assert(offsetof(ProcValue, csv_file) == 540);

inline constexpr size_t DL_PROC_MAX_ENTRIES = 1000;
inline constexpr int DL_PROC_NAME_MAX = 14;

void dlproc_initialise_procedure_dialog(DialogRecord *rec);

// Switches the client library's watch on the interpreter's death off (0)
// and on (1) around the editor command (none: nothing to switch).
extern void (*dlproc_death_trap)(int on);

// The editor command for a path: with `editor` (VX_EDITOR) "<editor>
// <path> &", else "xterm -e <EDITOR or vi> <path> &"; the path is quoted
// as one shell word.
std::string dlproc_editor_command(const char *vx_editor, const char *editor, const std::string &path);
// A text as one shell word.
std::string dlproc_shell_word(const std::string &text);
