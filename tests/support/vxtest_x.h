// Test support for Motif test programs: the toolkit started and the test
// X server opened as the application "vostrelane" of class "Vostrelane".
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/Xresource.h>

#include <string>

namespace vxtest {

// Null when the display cannot be opened.
inline Display *open_app_display(XtAppContext *app)
{
    XtSetLanguageProc(nullptr, nullptr, nullptr);
    XtToolkitInitialize();
    *app = XtCreateApplicationContext();
    int argc = 1;
    char name[] = "vostrelane";
    char *argv[] = {name, nullptr};
    return XtOpenDisplay(*app, nullptr, "vostrelane", "Vostrelane", nullptr, 0, &argc, argv);
}

// An application shell of a size, realised on the test X server, for the
// fixtures that draw into a window of their own; closing destroys the
// shell, then the connection and the context.
struct AppShell {
    XtAppContext app = nullptr;
    Display *dpy = nullptr;
    Widget shell = nullptr;
    // False when the display cannot be opened.
    bool open_shell(Dimension width, Dimension height)
    {
        dpy = open_app_display(&app);
        if (!dpy)
            return false;
        shell = XtVaAppCreateShell("vostrelane", "Vostrelane", applicationShellWidgetClass, dpy, XtNwidth, width,
                                   XtNheight, height, nullptr);
        XtRealizeWidget(shell);
        return true;
    }
    void close_shell()
    {
        if (shell)
            XtDestroyWidget(shell);
        if (dpy)
            XtCloseDisplay(dpy);
        if (app)
            XtDestroyApplicationContext(app);
        shell = nullptr;
        dpy = nullptr;
        app = nullptr;
    }
};

// A widget's bindings as an application defaults file gives them (the
// test process reads no resource files): the translation table of the
// resource `name`, of class `cls`, over the widget's own.  False when the
// file or the resource is missing.
inline bool override_translations(Widget w, const std::string &defaults, const char *name, const char *cls)
{
    XrmDatabase db = XrmGetFileDatabase(defaults.c_str());
    if (!db)
        return false;
    char *type = nullptr;
    XrmValue v{};
    const bool found = XrmGetResource(db, name, cls, &type, &v) && v.addr;
    if (found) {
        // The directive is for the resource converter; the table follows it.
        std::string table = static_cast<char *>(v.addr);
        if (table.rfind("#override", 0) == 0)
            table.erase(0, table.find('\n') + 1);
        XtOverrideTranslations(w, XtParseTranslationTable(table.c_str()));
    }
    XrmDestroyDatabase(db);
    return found;
}

}  // namespace vxtest
