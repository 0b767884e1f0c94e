// The menu builder: labels and mnemonics, one recursive pane builder, menu
// bars, popup menus and the user-defined menus.

#include "mnbld.h"

#include "menumsgs.h"
#include "vxcat.h"

#include <Xm/CascadeBG.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SeparatoG.h>
#include <Xm/ToggleBG.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

static Widget menu_help_marker;
Widget *const MN_MENU_HELP = &menu_help_marker;

nl_catd mnbld_mn_nlsfd = NL_NO_CATALOGUE;
XmFontList menufont = nullptr;
int mnbld_mn_runmode = 0;
std::string mnbld_mn_basedir;

// The query window's bar, to which the help pane is added last.
static Widget query_bar = nullptr;

void mnbld_menu_init(const AppData *adata)
{
    mnbld_mn_nlsfd = adata->catd;
    menufont = adata->menuFont;
    mnbld_mn_runmode = adata->runMode;
    mnbld_mn_basedir = adata->install_dir ? adata->install_dir : "";
    query_bar = nullptr;
}

// ---- labels -----------------------------------------------------------------

std::string handle_mnemonic(const char *text, wchar_t *mnemonic, size_t size)
{
    *mnemonic = L' ';
    std::string out;
    if (!text)
        return out;
    mbstate_t st{};
    const char *p = text;
    size_t left = strlen(text);
    bool take_next = false;
    while (left > 0) {
        wchar_t wc = 0;
        size_t n = mbrtowc(&wc, p, left, &st);
        if (n == 0)
            break;
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            // Not a character of the locale: keep the byte as it stands.
            st = mbstate_t{};
            n = 1;
            wc = static_cast<unsigned char>(*p);
        }
        if (wc == L'@' && !take_next) {
            take_next = true;
        } else {
            if (take_next)
                *mnemonic = wc;
            take_next = false;
            if (out.size() + n > size - 1)
                break;
            out.append(p, n);
        }
        p += n;
        left -= n;
    }
    return out;
}

std::string menu_label(int set, int number, wchar_t *mnemonic)
{
    return handle_mnemonic(nl_catgets(mnbld_mn_nlsfd, set, number), mnemonic);
}

KeySym char_to_keysym(wchar_t c)
{
    if (c == L' ' || c <= 0)
        return NoSymbol;
    if (c < 0x100)
        return static_cast<KeySym>(c);
    return static_cast<KeySym>(0x01000000u | static_cast<unsigned>(c));
}

// ---- panes ------------------------------------------------------------------

static void store_widget(const MenuItem &item, Widget parent, Widget w)
{
    if (item.store == MN_MENU_HELP)
        XtVaSetValues(parent, XmNmenuHelpWidget, w, nullptr);
    else if (item.store)
        *item.store = w;
}

static void create_menu(Widget parent, int set, const MenuItem *items, int count)
{
    std::vector<Widget> managed;
    for (int i = 0; i < count; i++) {
        const MenuItem &item = items[i];
        if (item.kind == MN_SEPARATOR) {
            Widget w = XmCreateSeparatorGadget(parent, const_cast<char *>(item.name), nullptr, 0);
            XtManageChild(w);
            store_widget(item, parent, w);
            continue;
        }
        wchar_t mnemonic;
        std::string text = menu_label(set, item.label, &mnemonic);
        XmString label = XmStringCreate(const_cast<char *>(text.c_str()), const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
        XmString accel = nullptr;
        std::vector<Arg> args;
        auto add = [&](const char *name, XtArgVal value) {
            Arg a;
            XtSetArg(a, const_cast<char *>(name), value);
            args.push_back(a);
        };
        add(XmNlabelString, reinterpret_cast<XtArgVal>(label));
        if (menufont)
            add(XmNfontList, reinterpret_cast<XtArgVal>(menufont));
        KeySym ks = char_to_keysym(mnemonic);
        if (ks != NoSymbol)
            add(XmNmnemonic, static_cast<XtArgVal>(ks));
        std::string accel_event;
        if ((item.kind == MN_PUSH || item.kind == MN_TOGGLE) && item.accelerator) {
            accel_event = item.accelerator;
            if (!accel_event.empty() && accel_event.back() == ':')
                accel_event.pop_back();
            add(XmNaccelerator, reinterpret_cast<XtArgVal>(accel_event.c_str()));
            accel = XmStringCreate(const_cast<char *>(item.accel_text ? item.accel_text : ""),
                                   const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
            add(XmNacceleratorText, reinterpret_cast<XtArgVal>(accel));
        }
        Widget w = nullptr;
        auto client = reinterpret_cast<XtPointer>(static_cast<intptr_t>(item.client_data));
        switch (item.kind) {
        case MN_PUSH:
            w = XmCreatePushButtonGadget(parent, const_cast<char *>(item.name), args.data(),
                                         static_cast<Cardinal>(args.size()));
            if (item.callback)
                XtAddCallback(w, XmNactivateCallback, item.callback, client);
            managed.push_back(w);
            break;
        case MN_CASCADE: {
            Widget pane = XmCreatePulldownMenu(parent, const_cast<char *>("submenuRC"), nullptr, 0);
            add(XmNsubMenuId, reinterpret_cast<XtArgVal>(pane));
            w = XmCreateCascadeButtonGadget(parent, const_cast<char *>(item.name), args.data(),
                                            static_cast<Cardinal>(args.size()));
            managed.push_back(w);
            create_menu(pane, set, item.sub, item.sub_count);
            break;
        }
        case MN_TOGGLE:
            w = XmCreateToggleButtonGadget(parent, const_cast<char *>(item.name), args.data(),
                                           static_cast<Cardinal>(args.size()));
            XtManageChild(w);
            if (item.callback)
                XtAddCallback(w, XmNvalueChangedCallback, item.callback, client);
            break;
        default:
            break;
        }
        if (w && ks != NoSymbol)
            XtVaSetValues(w, XmNmnemonic, ks, nullptr);
        XmStringFree(label);
        if (accel)
            XmStringFree(accel);
        if (w)
            store_widget(item, parent, w);
    }
    if (!managed.empty())
        XtManageChildren(managed.data(), static_cast<Cardinal>(managed.size()));
}

Widget mnbld_mn_create_pulldown_menu(Widget parent, const char *name, int set, const MenuItem *items, int count,
                                     Widget previous)
{
    if (strcmp(name, "helpM") == 0) {
        if (query_bar)
            create_menu(query_bar, set, items, count);
        return previous;
    }
    Widget bar = XmCreateMenuBar(parent, const_cast<char *>(name), nullptr, 0);
    XtManageChild(bar);
    if (strcmp(name, "queryM") == 0)
        query_bar = bar;
    create_menu(bar, set, items, count);
    return bar;
}

Widget mnbld_mn_create_popup_menu(Widget parent, const char *name, int set, const MenuItem *items, int count)
{
    Arg a;
    XtSetArg(a, XmNmenuPost, "<Btn3Down>");
    Widget popup = XmCreatePopupMenu(parent, const_cast<char *>(name), &a, 1);
    create_menu(popup, set, items, count);
    return popup;
}

void popup_pp(Widget menu, XEvent *event)
{
    if (!menu)
        return;
    if (event && (event->type == ButtonPress || event->type == ButtonRelease))
        XmMenuPosition(menu, &event->xbutton);
    XtManageChild(menu);
}

// ---- user menus -----------------------------------------------------------------

static bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

static std::string trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && is_white(s[a]))
        a++;
    while (b > a && is_white(s[b - 1]))
        b--;
    return s.substr(a, b - a);
}

bool parse_user_menu(const char *text, UserMenu &menu)
{
    menu = UserMenu{};
    if (!text)
        return false;
    std::string all = trim(text);
    if (all.empty())
        return false;
    size_t nl = all.find('\n');
    if (nl == std::string::npos)
        return false;
    menu.title = handle_mnemonic(trim(all.substr(0, nl)).c_str(), &menu.mnemonic, MN_USER_LABEL_SIZE);
    size_t pos = nl + 1;
    for (;;) {
        while (pos < all.size() && is_white(all[pos]))
            pos++;
        if (pos >= all.size())
            break;
        size_t tab = all.find('\t', pos);
        if (tab == std::string::npos)
            break;
        std::string label = trim(all.substr(pos, tab - pos));
        size_t end = all.find('\n', tab + 1);
        if (end == std::string::npos)
            end = all.size();
        std::string command = trim(all.substr(tab + 1, end - tab - 1));
        pos = end;
        UserMenuItem item;
        item.label = handle_mnemonic(label.c_str(), &item.mnemonic, MN_USER_LABEL_SIZE);
        if (command.size() > MN_USER_COMMAND_SIZE - 1) {
            fputs(vx_msgf(mnbld_mn_nlsfd, MN_USER_COMMAND_TOO_LONG, item.label.c_str(),
                          static_cast<int>(MN_USER_COMMAND_SIZE - 1))
                      .c_str(),
                  stderr);
            continue;
        }
        item.command = command;
        menu.items.push_back(std::move(item));
    }
    return true;
}

static void free_command(Widget, XtPointer client, XtPointer) { free(client); }

void mnbld_mn_create_user_defined_menu(Widget menubar, const char *text, XtCallbackProc callback)
{
    UserMenu menu;
    if (!menubar || !parse_user_menu(text, menu))
        return;
    Widget pane = XmCreatePulldownMenu(menubar, const_cast<char *>("submenuRC"), nullptr, 0);
    XmString title = XmStringCreate(const_cast<char *>(menu.title.c_str()), const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
    Widget cascade = XtVaCreateManagedWidget("userMenuCB", xmCascadeButtonGadgetClass, menubar, XmNlabelString,
                                             title, XmNsubMenuId, pane, nullptr);
    XmStringFree(title);
    if (menufont)
        XtVaSetValues(cascade, XmNfontList, menufont, nullptr);
    if (KeySym ks = char_to_keysym(menu.mnemonic); ks != NoSymbol)
        XtVaSetValues(cascade, XmNmnemonic, ks, nullptr);
    for (const UserMenuItem &item : menu.items) {
        XmString label =
            XmStringCreate(const_cast<char *>(item.label.c_str()), const_cast<char *>(XmFONTLIST_DEFAULT_TAG));
        Widget b = XtVaCreateManagedWidget("userItemB", xmPushButtonGadgetClass, pane, XmNlabelString, label,
                                           nullptr);
        XmStringFree(label);
        if (menufont)
            XtVaSetValues(b, XmNfontList, menufont, nullptr);
        if (KeySym ks = char_to_keysym(item.mnemonic); ks != NoSymbol)
            XtVaSetValues(b, XmNmnemonic, ks, nullptr);
        char *command = strdup(item.command.c_str());
        if (callback)
            XtAddCallback(b, XmNactivateCallback, callback, command);
        XtAddCallback(b, XmNdestroyCallback, free_command, command);
    }
}
