// The window snapshot for callers holding a display connection.
#pragma once

#include "ghout.h"

#include <X11/Xlib.h>

inline int GTakeHappySnap(Display *display, Window window, const char *title)
{
    return ghsnap_GTakeHappySnap(display ? DisplayString(display) : "", window, title);
}
