// The display window's input state machines, free of X: the click
// machine (single click, double click, hold), the pending-resize machine
// and the key map.  The window feeds them events and gives them its timers
// and its way of delivering actions.
#pragma once

#include <cstdint>

// Display actions (one bit each).
enum DyAction : int {
    DY_EXPOSE = 1,
    DY_RESIZE = 2,
    DY_SINGLE_CLICK = 4,
    DY_DOUBLE_CLICK = 8,
    DY_NEW_DATA = 16,
    DY_SCROLL = 32,
    DY_HOLD = 64,
    DY_START_SELECT = 128,
    DY_DRAG_SELECT = 256,
    DY_END_SELECT = 512,
    DY_ADJUST_SELECT = 1024,
    DY_RESELECT = 2048,
    DY_TOGGLE_BOX = 4096,
};
inline constexpr int DY_TABLE_MASK = 4019;
inline constexpr int DY_GRAPH_MASK = 4191;
static_assert(DY_TABLE_MASK == (DY_EXPOSE | DY_RESIZE | DY_NEW_DATA | DY_SCROLL | DY_START_SELECT | DY_DRAG_SELECT |
                                DY_END_SELECT | DY_ADJUST_SELECT | DY_RESELECT));
static_assert(DY_GRAPH_MASK == (DY_EXPOSE | DY_RESIZE | DY_SINGLE_CLICK | DY_DOUBLE_CLICK | DY_NEW_DATA | DY_HOLD |
                                DY_TOGGLE_BOX));

struct DyPoint {
    int x, y;
};

// What the click machine asks of its owner.
struct DyClickOwner {
    virtual ~DyClickOwner() = default;
    virtual void start_single_timer() = 0;  // singleClickInterval
    virtual void stop_single_timer() = 0;
    virtual void start_double_timer() = 0;  // doubleClickInterval
    virtual void stop_double_timer() = 0;
    virtual void deliver(int action, DyPoint at) = 0;
    virtual void bell() = 0;
};

// States: 1 idle, 2 down, 3 up and waiting, 4 second down.
class DyClickMachine {
public:
    explicit DyClickMachine(DyClickOwner &owner) : owner_(owner) {}
    void press(int button, DyPoint at);
    void release(int button);
    void single_timer_fired();
    void double_timer_fired();
    int state() const { return state_; }

private:
    DyClickOwner &owner_;
    int state_ = 1;
    DyPoint saved_{0, 0};
};

// The pending resize: shrinking reports at once; growing waits for the
// expose that follows (two when it grew both ways and it is not the first
// resize).  With the server quirk an expose that covers the whole canvas
// reports at once.
class DyResizeMachine {
public:
    enum Result { IGNORE, REPORT_RESIZE, REPORT_EXPOSE };
    // After a size change by (dw, dh): true when the resize is to be
    // reported now.
    bool resized(int dw, int dh);
    // On an expose of (w, h) with the canvas (cw, ch).
    Result exposed(int w, int h, int cw, int ch, bool quirk);
    int pending() const { return pending_; }
    bool first_resize() const { return first_; }

private:
    int pending_ = 0;
    bool first_ = true;
};

// Key symbol (and Shift) to the graph action name; null for other keys.
const char *dy_key_action(unsigned long keysym, bool shift);
