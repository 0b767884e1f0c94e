// The display window's input state machines.

#include "dymachines.h"

#include <X11/keysym.h>

void DyClickMachine::press(int button, DyPoint at)
{
    saved_ = at;
    if (button != 1)
        return;
    if (state_ == 1) {
        state_ = 2;
        owner_.start_single_timer();
    } else if (state_ == 3) {
        state_ = 4;
        owner_.stop_double_timer();
        owner_.start_single_timer();
    } else {
        state_ = 1;
        owner_.stop_single_timer();
        owner_.bell();
    }
}

void DyClickMachine::release(int button)
{
    if (button != 1)
        return;
    owner_.stop_single_timer();
    if (state_ == 2) {
        state_ = 3;
        owner_.start_double_timer();
    } else if (state_ == 4) {
        state_ = 1;
        owner_.deliver(8, saved_);
    } else {
        state_ = 1;
        owner_.bell();
    }
}

void DyClickMachine::single_timer_fired()
{
    int was = state_;
    state_ = 1;
    if (was == 2)
        owner_.deliver(64, saved_);
}

void DyClickMachine::double_timer_fired()
{
    int was = state_;
    state_ = 1;
    if (was == 3)
        owner_.deliver(4, saved_);
}

bool DyResizeMachine::resized(int dw, int dh)
{
    if (dw > 0 || dh > 0) {
        pending_ = (dw > 0 && dh > 0 && !first_) ? 2 : 1;
        return false;
    }
    pending_ = 0;
    return true;
}

DyResizeMachine::Result DyResizeMachine::exposed(int w, int h, int cw, int ch, bool quirk)
{
    first_ = false;
    switch (pending_) {
    case 1: pending_ = 0; return REPORT_RESIZE;
    case 2:
        if (quirk && w == cw && h == ch) {
            pending_ = 0;
            return REPORT_RESIZE;
        }
        pending_ = 1;
        return IGNORE;
    default: return REPORT_EXPOSE;
    }
}

const char *dy_key_action(unsigned long keysym, bool shift)
{
    switch (keysym) {
    case XK_Tab:
    case XK_Up:
    case XK_Down: return "marker_toggle";
    case XK_Home: return shift ? "marker_end" : "marker_start";
    case XK_Left: return "marker_left";
    case XK_Right: return "marker_right";
    case XK_Prior: return "marker_previous";
    case XK_Next: return "marker_next";
    default: return nullptr;
    }
}
