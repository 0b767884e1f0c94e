// Print settings: the value the display window prints with, its 21 named
// properties, named settings sets in the hardcopy directory, the user's
// default set, and the Print menu's commands.
#pragma once

#include "dlmain.h"
#include "dymain.h"
#include "vxfilter.h"

#include <X11/Intrinsic.h>

#include <cstdint>
#include <string>

struct PrinterValue {
    int32_t tableformat;   // 0 plain text, 1 PostScript
    int32_t tableoutput;   // 0 print command, 1 file, 2 file then mail
    char tablefile[256];
    int32_t graphformat;   // 1 PS, 2 EPS, 3 HP-GL, 4 PCL, 5 PNG, 6-24 conversions
    int32_t graphoutput;
    char graphfile[256];
    int32_t imagescale;    // 1-9999
    double pageheight, pagewidth;  // 1-100
    int32_t orientation;   // 0 or 1
    double leftmargin, rightmargin, topmargin, bottommargin;  // -1 automatic, 0-100
    int32_t pageborder, centretopage;
    char conversion[FILTER_COMMAND_SIZE];
    char mail[FILTER_COMMAND_SIZE];
};

// Property types.
inline constexpr int HC_STRING = 0, HC_INTEGER = 1, HC_REAL = 3;
inline constexpr int HC_NPROPERTIES = 21;
// The print commands among the properties: plain print, PostScript print,
// graph print, graph plot, PCL.
inline constexpr int HC_PLAINPRINT = 16, HC_PSPRINT = 17, HC_PSPLOT = 18, HC_HPGLPLOT = 19, HC_PCLPLOT = 20;
inline constexpr int HC_NAME_MAX = 14;

struct HardcopyInfo {
    char name[16];
    int32_t type;
};
extern const HardcopyInfo hardcopy_info[HC_NPROPERTIES];

// The print settings value.
PrinterValue *mnprint_mn_printer_setup();
// Back to the values at start (for tests).
void mnprint_reset_printer_setup();

int mnprint_mn_lookup_hardcopy_property(const char *name, int *number, int *type);
int mnprint_mn_inquire_hardcopy_property(int number, const char **name, int *type);
// The address of a property's value; a command asked for with `defaulted`
// gives its resource when it is empty.
void *mnprint_mn_hardcopy_property(int number, int defaulted);
void mnprint_mn_set_hardcopy_property(int number, const void *value);
int mnprint_mn_check_hardcopy_property_value(int number, const void *value);

// The print command of property `number` (16-20), as stored.
char *mnprint_print_command(int number);

// Settings files.  Load: 0 loaded, 1 not opened, 2 unknown property.
int mnprint_mn_load_hardcopy_file(const char *path, int report);
// Save: 0 saved, 1 empty path, 4 path over 255 characters, 6 not written.
int mnprint_mn_save_hardcopy_file(const char *path);
void mnprint_mn_set_hc_dirs();
int mnprint_mn_have_named_hc();
const std::string &mnprint_hc_dir();
const std::string &mnprint_default_hc();
const std::string &mnprint_hcpath();

// The hardcopy file dialog's value.
struct HcFileValue {
    char directory[256];
    char name[HC_NAME_MAX + 1];
};
HcFileValue *mnprint_hc_value();

// The dialog procedures (for dialog 49, and 41 for edit).
void mnprint_load_proc(DialogRecord *rec, int *done);
void mnprint_save_as_proc(DialogRecord *rec, int *done);
void mnprint_delete_proc(DialogRecord *rec, int *done);
void mnprint_edit_proc(DialogRecord *rec, int *done);

// Menu commands.
void mnprint_mn_load_hc(Widget w);
void mnprint_mn_load_default_hc(Widget w);
void mnprint_mn_save_hc(Widget w);
void mnprint_mn_save_as_hc(Widget w);
void mnprint_mn_mark_default_hc(Widget w);
void mnprint_mn_delete_hc(Widget w);
void mnprint_mn_edit_hc(Widget w);
void mnprint_mn_edit_tabcom(Widget w);
void mnprint_mn_edit_grpcom(Widget w);
void mnprint_mn_print(Widget w);
void mn_send_via_email(Widget w);
void mn_print_preview(Widget w);

// What the table view prints with, as these settings hold it.
DyPrintSettings mnprint_table_settings();
// Runs a filters file command with INFILE naming `file`; a command that
// fails or cannot run is told in a box with its exit status.  The status
// (0: it ran well; -1: it could not be started; 128 + n: signal n).
int mnprint_run_with_infile(const char *command, const char *file);

// The file e-mail and preview print to: the name, created afresh (never
// through an existing name); empty when none could be made.
std::string mnprint_create_temp(const char *format_head, long pid, int *count, const char *extension);
