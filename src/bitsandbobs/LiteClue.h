// XcgLiteClue: a tool-tip widget.  One tip serves any number of watched
// widgets, each with its own one-line text, shown in an undecorated window
// below the widget once the pointer has rested on it for `waitPeriod`
// milliseconds, and at once when the pointer comes within
// `cancelWaitPeriod` milliseconds of the last tip being taken down.
//
// Resources: foreground (Pixel, "black"), fontSet (FontSet), waitPeriod
// (int, 500), cancelWaitPeriod (int, 1000).
#pragma once

#include <X11/Intrinsic.h>
#include <nl_types.h>

#define XtNwaitPeriod "waitPeriod"
#define XtCWaitPeriod "WaitPeriod"
#define XtNcancelWaitPeriod "cancelWaitPeriod"
#define XtCcancelWaitPeriod "cancelWaitPeriod"

extern WidgetClass xcgLiteClueWidgetClass;
typedef struct _XcgLiteClueClassRec *XcgLiteClueWidgetClass;
typedef struct _XcgLiteClueRec *XcgLiteClueWidget;

// Watches `w` with `text` (`size` bytes, or up to the terminator when 0).
// A widget already watched takes the new text when one is given.
void XcgLiteClueAddWidget(Widget tip, Widget w, const char *text, int size, int option);
// Stops watching `w`; an unwatched widget is ignored.
void XcgLiteClueDeleteWidget(Widget tip, Widget w);
// Sets one watched widget's flag, or every one's when `w` is null.
void XcgLiteClueSetSensitive(Widget tip, Widget w, Boolean sensitive);
// That widget's flag (false when not watched), or the first watched
// widget's when `w` is null (false when none).
Boolean XcgLiteClueGetSensitive(Widget tip, Widget w);
// For an enter or leave event on a watched widget that the toolkit holds
// insensitive (and so does not deliver): handles it and returns true.
Boolean XcgLiteClueDispatchEvent(Widget tip, XEvent *event);

// The catalogue of the widget's complaints (set 79); without one the
// built-in texts are used.
void XcgLiteClueSetCatalogue(nl_catd catd);
