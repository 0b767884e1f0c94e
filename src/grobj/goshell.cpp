// The display window's services as hooks, with headless defaults.

#include "goshell.h"

namespace {

void default_canvas_size(int *width, int *height)
{
    if (width)
        *width = 600;
    if (height)
        *height = 450;
}
Widget no_shell() { return nullptr; }
nl_catd no_catalogue() { return NL_NO_CATALOGUE; }
const char *no_command(int) { return ""; }
const char *no_name() { return ""; }

const GoDisplayHooks defaults{default_canvas_size, no_shell, no_catalogue, no_command, no_command,
                              no_name,             no_name,  no_name,      nullptr};
GoDisplayHooks hooks = defaults;

}  // namespace

void go_set_display_hooks(const GoDisplayHooks *h)
{
    hooks = defaults;
    if (!h)
        return;
    if (h->canvas_size)
        hooks.canvas_size = h->canvas_size;
    if (h->toplevel)
        hooks.toplevel = h->toplevel;
    if (h->catalogue)
        hooks.catalogue = h->catalogue;
    if (h->printer_command)
        hooks.printer_command = h->printer_command;
    if (h->default_printer_command)
        hooks.default_printer_command = h->default_printer_command;
    if (h->ps_prolog)
        hooks.ps_prolog = h->ps_prolog;
    if (h->hpgl_prolog)
        hooks.hpgl_prolog = h->hpgl_prolog;
    if (h->hpgl_epilog)
        hooks.hpgl_epilog = h->hpgl_epilog;
    hooks.show_error = h->show_error;
}

const GoDisplayHooks &go_display_hooks() { return hooks; }

void go_dy_canvas_size(int *width, int *height) { hooks.canvas_size(width, height); }
Widget go_dy_toplevel() { return hooks.toplevel(); }
nl_catd go_dy_nlsfd() { return hooks.catalogue(); }
