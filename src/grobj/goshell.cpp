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
int no_selstate() { return 0; }
void no_readout(int, int, const char *, const char *, const char *) {}
void nothing() {}

const GoDisplayHooks defaults{default_canvas_size, no_shell, no_catalogue, no_command, no_command, no_name,
                              no_name,             no_name,  nullptr,      no_selstate, no_readout, nothing,
                              nothing};
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
    if (h->get_selstate)
        hooks.get_selstate = h->get_selstate;
    if (h->value_readout)
        hooks.value_readout = h->value_readout;
    if (h->flush_value_readout)
        hooks.flush_value_readout = h->flush_value_readout;
    if (h->reset_format_dialogs)
        hooks.reset_format_dialogs = h->reset_format_dialogs;
}

const GoDisplayHooks &go_display_hooks() { return hooks; }

void go_dy_canvas_size(int *width, int *height) { hooks.canvas_size(width, height); }
Widget go_dy_toplevel() { return hooks.toplevel(); }
nl_catd go_dy_nlsfd() { return hooks.catalogue(); }
int go_dy_get_selstate() { return hooks.get_selstate(); }
void go_dy_value_readout(int slot, int marker, const char *x, const char *y, const char *z)
{
    hooks.value_readout(slot, marker, x ? x : "", y ? y : "", z ? z : "");
}
void go_dy_flush_value_readout() { hooks.flush_value_readout(); }
void go_mn_reset_format_dialogs() { hooks.reset_format_dialogs(); }
