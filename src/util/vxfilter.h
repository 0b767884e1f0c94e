// The filters file: the conversion, e-mail and preview commands that
// printing runs, one entry a line.
//
//     # comment
//     CONV : GIF : gs -q -sDEVICE=... -sOutputFile="$OUTFILE" "$INFILE"
//     EMAIL :: mail -s graph someone < "$INFILE"
//
// A line is a keyword, anything up to the first ":", the label (ended by a
// blank or ":"), anything up to the next ":", and the command (the rest of
// the line).  Commands get their files through the environment only.
#pragma once

#include <cstdio>

inline constexpr int FILTER_LABEL_SIZE = 32;     // at most 31 characters
inline constexpr int FILTER_COMMAND_SIZE = 512;  // at most 511 characters
inline constexpr int FILTER_LINE_MAX = 1023;

struct FilterEntry {
    char label[FILTER_LABEL_SIZE];
    char command[FILTER_COMMAND_SIZE];
};

// Where the default filters file lies: "<dir>/etc/filters".
void filters_set_install_dir(const char *dir);
// VX_FILTERS_FILE when set, else the file under the installation
// directory; empty when neither is known.
const char *filters_file_path();

// Fills up to `maximum` entries from the lines that begin with `keyword`
// (a prefix test, after leading blanks) and returns their number; 0 for
// an empty keyword or a missing file.  Lines over 1023 characters and
// entries whose command is over 511 are skipped; labels are cut at 31.
int read_filters_file(const char *keyword, FilterEntry *entries, int maximum);

// ---- settings files whose contents run -----------------------------------

// A filters file, procedure or hardcopy set is taken only when it belongs
// to the user, to root or to the installation's owner (the owner of the
// directory filters_set_install_dir named), and no other user can write
// it: a file another user could have planted or changed is refused.
bool settings_file_trusted(int fd);
// fopen(path, "r") of such a file.  Null when it cannot be opened, and
// null with `*refused` set when it is there but not to be trusted.
FILE *open_trusted_settings_file(const char *path, bool *refused);
// The path of the filters file the last read refused, or null.
const char *filters_file_refused();
