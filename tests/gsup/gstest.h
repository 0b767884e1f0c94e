// Shared by the scale library's tests.
#pragma once

#include <ctime>

// Calendar time of a local date and time, as the system's mktime has it.
inline double local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<double>(mktime(&tm));
}
