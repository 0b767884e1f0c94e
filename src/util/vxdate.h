// Dates and times typed by users: free-form parsing with the date input
// order, date input formats, local time conversion and elapsed time; and
// the built-in English language information the formatters use.
#pragma once

#include <cstdint>
#include <ctime>
#include <sys/time.h>

// Item `item` of the built-in language information (0 the date-time
// format, 3-9 day names, 10-16 their abbreviations, 17-28 month names,
// 29-40 their abbreviations, 41 radix, 42 thousands separator, 43 "Yes",
// 44 "No", 45 "+;"); "" for any other item.
const char *deflanginfo(int item);

// Element codes of a date input order.
enum { DIF_DAY = 0, DIF_MONTH = 1, DIF_YEAR = 2 };

struct VxDate {
    int16_t year, month, day;
};

int check_date_input_str(const char *format);
// 1 and the order of the three elements for a valid format; 0 otherwise.
int str_to_date_input_format(const char *format, int order[3]);
// "%d/%m/%y"-style output format in the input format's order (`out` has
// room for 12 bytes).
void make_date_output_str(const char *input_format, char *out);
void get_date_input_from_locale(char *out);
int dif_before(const int order[3], int a, int b);
void dif_set(VxDate *date, int year, int month, int day);
void dif_map(VxDate *date, const int numbers[3], const int order[3]);

// 0 and the values, or -1 for an empty or invalid text.  The year is the
// full year (two-digit years map to 1935-2034).
int rdtime(const char *text, int *hour, int *minute, int *second);
int rddate(const char *text, const int order[3], int *day, int *month, int *year);

// Calendar time of a local time; rule 0 daylight saving on, 1 off, 2 as
// the system decides.  -1 with errno ERANGE when not representable.
time_t un_ctime(int year, int month, int day, int hour, int minute, int second, int rule);
void get_current_time(struct timeval *out);
double subtract_time(const struct timeval *a, const struct timeval *b);
