// The table list of the table list dialog (28), without widgets: the
// file read and written, the list items and the edit buttons' rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

// The table list of dialog 28: one record a table, in list order.
struct DlTableRecord {
    char name[12];  // at most 11 characters
    int32_t shown;  // 1 the workspace shows the table
    int32_t order;  // the record's place, renumbered after every edit
};
static_assert(offsetof(DlTableRecord, shown) == 12);
static_assert(offsetof(DlTableRecord, order) == 16);
// Reads whitespace-separated pairs of a name and an integer flag, each
// record's order its place.  A name over 11 characters is skipped with its
// flag.  True only when the read reached the end of the file: false for a
// file that cannot be opened and for a malformed pair (a flag that is not
// an integer, a name without a flag), the records before it kept.
bool dltlist_read_file(const char *path, std::vector<DlTableRecord> &records);
bool dltlist_read(FILE *in, std::vector<DlTableRecord> &records);
// Writes one "%s %d\n" line a record in list order; false when the file
// cannot be written.
bool dltlist_write_file(const char *path, const std::vector<DlTableRecord> &records);
// The list item of a record: 16 characters, the name padded with blanks,
// "*" in the 15th column for a shown table whose name is shorter than 15.
std::string dltlist_item_text(const DlTableRecord &record);
// The edit buttons 0-5 (show, hide, to the top, to the bottom, gather,
// by name) on the records at the selected places (ascending); then the
// records are sorted, shown before hidden, by order (by name for 5), and
// renumbered.  Nothing happens without a selection, except for 5.  False
// when nothing was done.
bool dltlist_edit(std::vector<DlTableRecord> &records, std::span<const int> selected, int button);
