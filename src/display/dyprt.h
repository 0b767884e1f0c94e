// The dataset text formatter: one dataset becomes lines of text, a title
// line and one column per field, handed line by line to an output
// procedure.  The table view and table printing each set their own
// destination (procedure, page geometry, margin, title repetition).
#pragma once

#include <string>
#include <string_view>

// Called with each finished line (text, length), and with (null, 0) for a
// page break.  Returns 1 to go on, 0 to abandon the dataset.
using DyOutputProc = int (*)(const char *text, int length);

inline constexpr int DYPRT_LINE_MAX = 5000;

// Page length -1: no pages.  Title interval -1: a title at the start of
// every page instead of every N rows.
void dyprt_dy_set_output(DyOutputProc proc, int page_length, int page_width, int margin, int title_interval,
                         int arrays_in_columns);
// The current page width (the table view follows its window with it).
void dyprt_dy_set_page_width(int page_width);

// Formats all rows of dataset `index` to the current output.  Returns 1
// when every line went out, 0 when the output procedure abandoned the
// dataset (or the dataset is not there).
int dyprt_dy_print_dataset(int index);

// One column's width in the layout: the larger of its name (at least 8)
// and its values' width.
struct DozColDesc;
int dyprt_column_width(const DozColDesc &desc);

// Appends `text` to `line` by the output rules (escapes for control
// characters, octal for other unprintable ones, multibyte characters
// whole), never past `limit` bytes; false when something was dropped.
bool dyprt_add_text(std::string &line, std::string_view text, size_t limit = DYPRT_LINE_MAX);

// The first `n` characters of `text`, never splitting a multibyte one.
std::string_view dyprt_cut_chars(std::string_view text, size_t n);
