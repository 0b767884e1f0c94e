// XcgLiteClue's class and instance records.
#pragma once

#include "LiteClue.h"

#include <X11/IntrinsicP.h>
#include <X11/ShellP.h>

#include <cstdint>

struct LiteClueContext {
    LiteClueContext *next;
    LiteClueContext *prev;
    Widget watched;
    XcgLiteClueWidget cw;
    int32_t sensitive;
    char *text;
    int text_size;
};

typedef struct {
    int extension;
} XcgLiteClueClassPart;

typedef struct _XcgLiteClueClassRec {
    CoreClassPart core_class;
    CompositeClassPart composite_class;
    ShellClassPart shell_class;
    OverrideShellClassPart override_shell_class;
    XcgLiteClueClassPart LiteClue_class;
} XcgLiteClueClassRec;

extern XcgLiteClueClassRec xcgLiteClueClassRec;

typedef struct {
    // resources
    Pixel foreground;
    XFontSet fontset;
    int waitPeriod;
    int cancelWaitPeriod;
    // private state
    LiteClueContext widget_list;  // head of the circular list
    uint16_t font_height;
    uint16_t font_baseline;
    int text_y;                   // vertical offset of the text
    GC text_GC;
    XtIntervalId tid;             // 0 when no time-out is pending
    int32_t popped;
    Time last_popdown;
    bool own_fontset;             // the "fixed" fallback, freed with the widget
    LiteClueContext *shown;       // the context whose text is up
} XcgLiteCluePart;

typedef struct _XcgLiteClueRec {
    CorePart core;
    CompositePart composite;
    ShellPart shell;
    OverrideShellPart override;
    XcgLiteCluePart liteClue;
} XcgLiteClueRec;
