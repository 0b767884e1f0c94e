// What the graph model needs of the display window: the shell and catalogue
// of its error boxes, the canvas size, the printer commands and prolog
// names, and the print settings.  The display window fills the hooks; until
// it does, headless defaults serve (no shell, no catalogue, a 600 x 450
// canvas, empty commands, no print settings, selection state 0, no value
// read-out, no format dialogs to reset).
#pragma once

#include "dlmess.h"
#include "vxcat.h"
#include "vxmsg.h"

#include <cstdio>
#include <string>

#define VXMSG(name, set, num, fb, ...) inline constexpr VxMsg<__VA_ARGS__> name{set, num, fb};
#include "grobj_msgs.def"
#undef VXMSG

// The print settings the print dialogs fill.
struct GoPrintSettings {
    int kind;             // 1-5: PostScript, EPS, HP-GL, PCL, image
    int destination;      // 0 printer (spool), 1 file
    char filename[256];
    int image_option;
    double page_height, page_width;  // inches
    int landscape;
    double left, right, top, bottom;  // inches; -1 none
    unsigned char options[2];
};

// The display print commands, one per output kind, each at most 255
// characters; an empty one means the default command.
inline constexpr int GO_PRINTER_COMMANDS = 6;

struct GoDisplayHooks {
    void (*canvas_size)(int *width, int *height);
    Widget (*toplevel)();
    nl_catd (*catalogue)();
    const char *(*printer_command)(int kind);
    const char *(*default_printer_command)(int kind);
    const char *(*ps_prolog)();
    const char *(*hpgl_prolog)();
    const char *(*hpgl_epilog)();
    // Replaces the error box (tests): set, number and the formatted text.
    void (*show_error)(int set, int number, const std::string &text);
    // The graph view's selection state (bit 0x40: data-point markers follow
    // by point position, else by x value).
    int (*get_selstate)();
    // The value read-out: one line per marker slot (dataset slot, marker
    // number, x, y and z texts), then shown at the flush.
    void (*value_readout)(int slot, int marker, const char *x, const char *y, const char *z);
    void (*flush_value_readout)();
    // The format dialogs take the graph's format again (after overlays were
    // switched off).
    void (*reset_format_dialogs)();
};

// Installs the hooks (null: the headless defaults); a null member keeps
// its default.
void go_set_display_hooks(const GoDisplayHooks *hooks);
const GoDisplayHooks &go_display_hooks();
// The display window's canvas size, shell and catalogue, through the hooks
// (the display window's own functions of these names live in src/display).
void go_dy_canvas_size(int *width, int *height);
Widget go_dy_toplevel();
nl_catd go_dy_nlsfd();
int go_dy_get_selstate();
void go_dy_value_readout(int slot, int marker, const char *x, const char *y, const char *z);
void go_dy_flush_value_readout();
void go_mn_reset_format_dialogs();

// Shows a message of the graph model in the display window's error box.
template <class... A>
void go_show_error(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    const GoDisplayHooks &h = go_display_hooks();
    if (h.show_error) {
        h.show_error(m.set, m.number, vx_msgf(go_dy_nlsfd(), m, args...));
        return;
    }
    dlmess_dialog_show_error(go_dy_toplevel(), go_dy_nlsfd(), m, args...);
}

// Shown once until new data arrive: the message's key is registered for
// suppression first, so that the box's going, which exposes the graph and
// draws it again, does not bring the box back.
template <class... A>
void go_show_error_once(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    dlmess_add_error_suppression(dlmess_error_key(m.set, m.number));
    go_show_error(m, args...);
}

// A diagnostic line on standard error.
template <class... A>
void go_say(const VxMsg<A...> &m, std::type_identity_t<A>... args)
{
    fputs(vx_msgf(go_dy_nlsfd(), m, args...).c_str(), stderr);
}
