// Axis label formats: one prepared format at a time turns division values
// into label texts.
//
// A user format is free text with at most one value directive "%v"
// (optionally "%<width>.<precision>v").  Numbers are printed by the value
// printer, dates and times by a small strftime-like formatter, strings are
// cut to fit.  The user's text is never used as a printf format.
#pragma once

// Value types of the result data used here (date and time 17 is the
// scale library's own).
enum {
    VT_STRING = 0,
    VT_LONG = 1,
    VT_SHORT = 2,
    VT_REAL = 3,
    VT_DATE = 4,
    VT_TIME = 5,
    VT_COMPLEX = 6,
    VT_BOOL = 7,
    VT_CHAR = 8,
    VT_SHORTREAL = 9,
    VT_TINY = 10,
    VT_BLOB = 11,
    VT_DATETIME = 17,
};

// Prepares the format; time unit -1 for an axis that is not a time axis.
int format_GSetupLabelFormat(const char *user_format, int type, int label_length, int field_length,
                             int fraction_length, int time_unit);
void format_GSetupZoomLabelAdjustment(int adjustment);
// Writes the label of a value (a double, or a string for a non-scalar
// type) into out, which holds the label length plus a terminator.
// `type` is the type to print other scalar types as.
void format_GFormatLabel(char *out, const void *value, int type);
void format_set_julian_offset(int days);

bool format_GIsScalar(int type);
bool format_GIsNumeric(int type);
bool format_GIsReal(int type);

// The time formatter: "%%", "%B", "%b", "%h", "%d", "%H", "%M", "%S", "%j",
// "%m", "%Y", "%y"; other directives print nothing.  Trailing blanks are
// removed; limit -1 for none.  out holds at least `out_size` bytes.
void format_timedate(char *out, int out_size, const char *format, double value, int limit, int time_unit);
