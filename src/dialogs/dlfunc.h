// The functions file behind the function picker (dialog 6), read without
// any widget: libraries of call patterns, their sorted copies, the help ids
// the picker binds, and the name a picked entry stands for.
//
// The file is line-oriented: "#" lines are comments, blank lines are
// skipped, an unindented line names a library (its first word), an
// indented line is one function entry of the last library, shown as it
// stands after its leading blanks ("STR(s, start, len)").
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline constexpr int DLFUNC_MAX_LIBRARIES = 59;
inline constexpr int DLFUNC_MAX_FUNCTIONS = 80;
// Lines are read as through a buffer of 128 bytes: a function line holds
// at most 126 characters before its newline (127 when the file ends
// behind it without one).
inline constexpr int DLFUNC_LINE_BUFFER = 128;
// The picker's first help id: each library takes one id, each of its
// functions the ids that follow.
inline constexpr int DLFUNC_FIRST_HELP_ID = 1254;

struct FuncLibrary {
    std::string name;
    std::vector<std::string> functions;  // file order
    std::vector<std::string> sorted;     // byte order; empty when there are none
};

struct FuncFile {
    std::vector<FuncLibrary> libraries;
    // A 60th library line was met: reading stopped there.
    bool truncated = false;
    // Libraries that had lines past the 80th (dropped), once each.
    std::vector<std::string> overfull;
    // An overlong function line: reading stopped there; `fatal_line` holds
    // what the read buffer took of it.
    bool fatal = false;
    std::string fatal_line;
};

// Reads the whole file; never prints, never ends the program.
void dlfunc_read_functions(FILE *fp, FuncFile &out);
// Reads the file as the picker does: the diagnostics on standard error
// (catalogue texts of set 8), and an overlong function line ends the
// program with status 1.
void dlfunc_load_functions(FILE *fp, FuncFile &out);

// Byte order of two entries (strcmp): capitals before lower case.
int func_compare(const std::string &a, const std::string &b);
// The function name of an entry: its text up to the first "(".
std::string dlfunc_function_name(const std::string &entry);
// The help id of library `library` (function -1) or of its function at
// `position` in file order.
int dlfunc_help_id(const FuncFile &file, int library, int position = -1);

// The picker's state, for its tests: the library shown and the help id
// the list carries now.
int dlfunc_current_library();
int dlfunc_list_help_id();
