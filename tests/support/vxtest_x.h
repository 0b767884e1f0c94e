// Test support for Motif test programs: the toolkit started and the test
// X server opened as the application "vostrelane" of class "Vostrelane".
#pragma once

#include <X11/Intrinsic.h>

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

}  // namespace vxtest
