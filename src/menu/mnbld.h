// Menu tables and the builder that turns them into Motif menus.
//
// Each window keeps its menus as static tables of `MenuItem`.  Labels come
// from the catalogue's menu set (65) by the item's label number; a "@" in
// the text marks the mnemonic.  Every push and toggle item carries a
// command code (equal to its label number) that the window's dispatcher
// turns into a command.
#pragma once

#include "vxadata.h"

#include <X11/Intrinsic.h>
#include <Xm/Xm.h>
#include <nl_types.h>

#include <cstdint>
#include <string>
#include <vector>

// Item kinds.
inline constexpr unsigned char MN_PUSH = 1, MN_CASCADE = 2, MN_SEPARATOR = 3, MN_TOGGLE = 4;
// The catalogue set of the menu labels.
inline constexpr int MN_LABEL_SET = 65;
// The size of the label buffer: labels are cut at 80 bytes.
inline constexpr int MN_LABEL_SIZE = 81;
// A widget store that makes the created cascade the bar's help item.
extern Widget *const MN_MENU_HELP;

struct MenuItem {
    unsigned char kind;
    const char *name;
    int32_t label;
    const char *accelerator;
    const char *accel_text;
    XtCallbackProc callback;
    int32_t client_data;
    const MenuItem *sub;
    int32_t sub_count;
    Widget *store;
};

// Builder state, set once from the resource record.
extern nl_catd mnbld_mn_nlsfd;
extern XmFontList menufont;
extern int mnbld_mn_runmode;
extern std::string mnbld_mn_basedir;

void mnbld_menu_init(const AppData *adata);

// A managed menu bar `name` on `parent`, filled from `items`.  For the
// name "helpM" no bar is made: the items join the remembered query bar
// ("queryM") and `previous` is returned.
Widget mnbld_mn_create_pulldown_menu(Widget parent, const char *name, int set, const MenuItem *items, int count,
                                     Widget previous);
// A popup menu `name` on `parent`, posted by mouse button 3.
Widget mnbld_mn_create_popup_menu(Widget parent, const char *name, int set, const MenuItem *items, int count);
// Adds one user menu to `menubar` from a resource text; the callback gets
// the item's command (a private copy) as client data.
void mnbld_mn_create_user_defined_menu(Widget menubar, const char *text, XtCallbackProc callback);
// Positions a popup menu at the button event and shows it.
void popup_pp(Widget menu, XEvent *event);

// ---- pure parts, exposed for tests --------------------------------------------

// Takes the "@" marks out of `text` (the character after the last one is
// the mnemonic) and cuts the result to fit `size` bytes on a character
// boundary.  The mnemonic is 32 (blank) when there is none.
std::string handle_mnemonic(const char *text, wchar_t *mnemonic, size_t size = MN_LABEL_SIZE);
// The label of (set, number) from the builder's catalogue.
std::string menu_label(int set, int number, wchar_t *mnemonic);
KeySym char_to_keysym(wchar_t c);

// User menus: titles and labels are held in 124 bytes, commands in 256.
inline constexpr size_t MN_USER_LABEL_SIZE = 124;
inline constexpr size_t MN_USER_COMMAND_SIZE = 256;

struct UserMenuItem {
    std::string label;  // "@" taken out
    wchar_t mnemonic;
    std::string command;
};
struct UserMenu {
    std::string title;  // "@" taken out
    wchar_t mnemonic;
    std::vector<UserMenuItem> items;
};
// Reads a user-menu text; false when it makes no menu.  An item whose
// command does not fit is left out with a line on standard error.
bool parse_user_menu(const char *text, UserMenu &menu);
