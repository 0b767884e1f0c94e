// The calendar every part of the program shares: leap years, month
// lengths, valid dates, full years from two-digit ones and day numbers
// (days since 1970-01-01, proleptic Gregorian).
#pragma once

#include <cstdint>

bool cal_leap_year(long year);
// Days in `month` (1-12) of `year`; 0 for a month outside 1-12.
int cal_month_length(long year, int month);
// A date of a full year 1-9999.
bool cal_valid_date(long year, int month, int day);
// A year typed with one or two digits: 35..99 -> 1935..1999, 0..34 ->
// 2000..2034; any other year as it is.
int cal_full_year(int year);
int64_t cal_days_from_civil(int64_t year, unsigned month, unsigned day);
void cal_civil_from_days(int64_t days, int &year, int &month, int &day);
