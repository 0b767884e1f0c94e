// The shared calendar (see vxcal.h).

#include "vxcal.h"

bool cal_leap_year(long year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int cal_month_length(long year, int month)
{
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && cal_leap_year(year) ? 29 : lengths[month - 1];
}

bool cal_valid_date(long year, int month, int day)
{
    return year >= 1 && year <= 9999 && day >= 1 && day <= cal_month_length(year, month);
}

int cal_full_year(int year)
{
    if (year >= 0 && year < 100)
        return year < 35 ? 2000 + year : 1900 + year;
    return year;
}

int64_t cal_days_from_civil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void cal_civil_from_days(int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}
