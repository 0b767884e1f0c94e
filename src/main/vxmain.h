// The program's frame: options, resources, fonts, catalogue and the main
// loop.
#pragma once

#include "vxadata.h"

#include <X11/Intrinsic.h>

#include <nl_types.h>

#include <string>
#include <vector>

extern Widget toplevel;
extern AppData adata;
extern bool is_tty;

extern XrmOptionDescRec options[];
extern const int options_count;
extern XtResource resources[];
extern const int resources_count;

// The program: never returns.
[[noreturn]] int vx_main(int argc, char **argv);

void get_class_name(int *argc, char **argv, char *class_buffer);
void show_usage(bool error);
std::string get_version(const char *ident);
const char *get_state(char letter);
void set_other_fonts();
void initialise_nls_environment();
Boolean cvt_str_to_fontlist(Display *dpy, XrmValue *args, Cardinal *nargs, XrmValue *from, XrmValue *to,
                            XtPointer *data);

// Server, user and installation directory as start-up resolves them from
// the resources and the environment (step 8); exposed for tests.
struct Resolution {
    std::string server, user, password, install_dir;
    bool password_set;
};
Resolution resolve_identity(const char *server_res, const char *user_res, const char *password_res);

// The build ident that -version reports.
extern const char vx_build_ident[];

// What the command line asks for before a display is opened: 1 the
// version banner (-version), 2 the usage text (-help), 0 neither.  The
// standard X options' values are passed over, not read as options.
int early_request(int argc, char **argv);

// The numeric resources checked against their ranges: a value outside is
// put back to the default, and each such finding is returned, to be told
// on standard error once the catalogue is open (`range_warning`).
struct ResourceRange {
    const char *name;
    int AppData::*field;
    int min, max, fallback;
};
extern const ResourceRange resource_ranges[];
extern const int resource_ranges_count;
struct RangeFinding {
    std::string name, value, min, max, fallback;
};
std::vector<RangeFinding> check_resource_ranges(AppData &data);
std::string range_warning(const RangeFinding &finding, nl_catd catd);
