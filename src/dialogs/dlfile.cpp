// The file selection dialog (4): the path of a schema header file.

#include "dldbdialogs.h"
#include "dlkit.h"

#include <Xm/FileSB.h>

namespace {

constexpr int ID = 4;
constexpr size_t PATH_SIZE = 256;

int create_dialog(DialogRecord *rec, Widget parent)
{
    rec->widget = make_file_selection(parent, "searchFile", ID, 1, "*.h");
    // No help and no form of its own: the box's children are all used.
    finish_dialog(rec, 3, 0, DL_KEEP_TEXT | DL_KEEP_SELECTION | DL_NO_FORM);
    return 0;
}

// The dialog keeps the directory and filter of its last use.
int setval_dialog(DialogRecord *, void *)
{
    return 0;
}

int getval_dialog(DialogRecord *rec, void *value)
{
    Widget text = XmFileSelectionBoxGetChild(rec->widget, XmDIALOG_TEXT);
    std::string path = dl_get_text(text);
    char cut[PATH_SIZE];
    dl_copy(cut, path);
    dl_copy_bounded(static_cast<char *>(value), PATH_SIZE, dl_trim(cut));
    return 0;
}

}  // namespace

void dlfile_initialise_file_dialog(DialogRecord *rec)
{
    dlmain_std_record(rec, ID, create_dialog, setval_dialog, getval_dialog);
}
