// Rows the program builds itself, value text, and pipes of dataset rows.
//
// Packing writes at the cursor of a reader over the buffer being filled
// (dozrow.h: DozReader, buffer_cursor), field by field, in exactly the layout the
// interpreter uses, so that a bulk load or the row editor hands the
// interpreter rows it reads like its own, and the display reads packed
// rows like query results.
#pragma once

#include "dozrow.h"

#include <cstdio>

// ---- packing -----------------------------------------------------------------

// Starts a new row size: size 0, row alignment 1.
void dsput_clear_row_alignment();
// Adds one column (count: 0 one value, n a fixed array, -n a variable array
// of at most n; a string's declared length) and answers the size so far.
int dsput_acc_row_alignment(int type, int count);
// The row size rounded up to the row alignment.
int dsput_final_row_size();
// Packs one value at the reader's cursor and moves past it: `data` holds `held`
// elements of a variable array, `count` of a fixed one, the text of a
// string (cut to `count` characters); null packs a missing value, whose
// room is kept (and cleared).  Types above 11 are ignored.  Returns 0, or
// -1 when the field does not fit in the buffer (nothing is written).
int dsput_put(DozReader &r, int type, int count, int held, const void *data);

// ---- value text ----------------------------------------------------------------

void dsprint_ds_set_date_time_format(const char *date_format, const char *time_format);
void dsprint_ds_get_date_time_format(char *date_format, char *time_format);
void dsprint_ds_set_complex_output_format(const char *format);
// Takes a date input order ("DMY", "MDY", ...); 1 when valid, else 0 and the
// old order stays.
int dsprint_ds_set_date_input_format(const char *text);
// Non-zero: the printer text (numbers in the locale's form); zero: normal.
void ds_set_sprint_proc(int printer);
// One value in `width` columns by the current text procedure; a missing
// value's marker (-9999) prints as blanks.
const char *dsprint_ds_sprint(const void *value, int width, int precision, int type);
// Text to a value of the type: a pointer to a static value (for a string or
// a blob the text itself), or null when the text is blank (missing) or not
// a valid value of the type.  Types outside 0-11 answer `default_value`.
const void *dsprint_ds_scan(const char *text, int type, const void *default_value);
// Size of one element of the type (a string: length + 1).
int dsprint_ds_sizeof(int type, int length);
// Address of element `index` of an array of the type.
void *dsprint_ds_elem(void *base, int index, int type);

// ---- pipes -------------------------------------------------------------------------

// Runs the command with "/bin/sh": mode "a" writes into its standard input,
// any other mode reads its standard output.  Null on failure.
FILE *dspipe_ds_open_pipe(const char *command, const char *mode);
// Closes it; 1 when the command ended with status 0.
int dspipe_ds_close_pipe(FILE *file);

// ---- commands of the filters file ------------------------------------------------

// One variable for a command's environment.
struct EnvPair {
    char name[32];
    char value[255];
};

// Puts at most two pairs (up to the first with an empty name) into the
// environment, where they stay, and runs `command` through the shell with
// the interpreter client's child-death watch off.  1 when it ran
// something, 0 for an empty command.
int process_cmd_line(const EnvPair *pairs, const char *command, int count);
