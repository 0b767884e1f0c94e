// Typed dates and times: free-form dates in the date input order, date
// input formats, local calendar time and elapsed time.

#include "vxdate.h"
#include "vxcal.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const char *deflanginfo(int item)
{
    static const char *const days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static const char *const abdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    static const char *const abmonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (item == 0)
        return "%d %h,%y %H";
    if (item >= 3 && item <= 9)
        return days[item - 3];
    if (item >= 10 && item <= 16)
        return abdays[item - 10];
    if (item >= 17 && item <= 28)
        return months[item - 17];
    if (item >= 29 && item <= 40)
        return abmonths[item - 29];
    switch (item) {
    case 41: return ".";
    case 42: return ",";
    case 43: return "Yes";
    case 44: return "No";
    case 45: return "+;";
    default: return "";
    }
}

// ---- date input formats ----------------------------------------------------

int str_to_date_input_format(const char *format, int order[3])
{
    int found[3] = {0, 0, 0}, n = 0, tmp[3];
    for (const char *p = format ? format : ""; *p; p++) {
        if (*p != '%')
            continue;
        p++;
        if (*p == '-' || *p == '0')
            p++;
        while (isdigit(static_cast<unsigned char>(*p)))
            p++;
        if (*p == '.') {
            p++;
            while (isdigit(static_cast<unsigned char>(*p)))
                p++;
        }
        if (!*p)
            break;
        int e = -1;
        switch (*p) {
        case 'B':
        case 'b':
        case 'm': e = DIF_MONTH; break;
        case 'Y':
        case 'y': e = DIF_YEAR; break;
        case 'd': e = DIF_DAY; break;
        default: break;
        }
        if (e < 0)
            continue;
        if (found[e] || n == 3)
            return 0;
        found[e] = 1;
        tmp[n++] = e;
    }
    if (n != 3)
        return 0;
    if (order)
        memcpy(order, tmp, sizeof tmp);
    return 1;
}

int check_date_input_str(const char *format) { return str_to_date_input_format(format, nullptr); }

void make_date_output_str(const char *input_format, char *out)
{
    int order[3];
    if (!str_to_date_input_format(input_format, order)) {
        strcpy(out, "%d/%m/%y");
        return;
    }
    static const char letters[] = {'d', 'm', 'y'};
    snprintf(out, 12, "%%%c/%%%c/%%%c", letters[order[0]], letters[order[1]], letters[order[2]]);
}

void get_date_input_from_locale(char *out) { make_date_output_str(deflanginfo(1), out); }

int dif_before(const int order[3], int a, int b)
{
    int pa = -1, pb = -1;
    for (int i = 0; i < 3; i++) {
        if (order[i] == a)
            pa = i;
        if (order[i] == b)
            pb = i;
    }
    return pa < pb ? 1 : 0;
}

void dif_set(VxDate *date, int year, int month, int day)
{
    date->year = static_cast<int16_t>(year);
    date->month = static_cast<int16_t>(month);
    date->day = static_cast<int16_t>(day);
}

void dif_map(VxDate *date, const int numbers[3], const int order[3])
{
    int v[3] = {0, 0, 0};
    for (int i = 0; i < 3; i++)
        v[order[i]] = numbers[i];
    dif_set(date, v[DIF_YEAR], v[DIF_MONTH], v[DIF_DAY]);
}

// ---- tokens ------------------------------------------------------------------

namespace {

enum Kind { NUMBER, MONTH, SUFFIX, MERIDIAN, OTHER };
struct Token {
    Kind kind;
    long value;
    int digits;
};
struct Word {
    std::string text;
    Kind kind;
    int value;
};

std::vector<Token> tokens(const char *text, const std::vector<Word> &words, bool prefixes)
{
    std::vector<Token> out;
    for (const char *p = text; *p;) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (isspace(c)) {
            p++;
        } else if (isdigit(c)) {
            long v = 0;
            int d = 0;
            while (isdigit(static_cast<unsigned char>(*p))) {
                if (d < 18)
                    v = v * 10 + (*p - '0');
                d++;
                p++;
            }
            out.push_back({NUMBER, v, d});
        } else if (isalpha(c)) {
            std::string w;
            while (isalpha(static_cast<unsigned char>(*p))) {
                if (w.size() < 20)
                    w += static_cast<char>(toupper(static_cast<unsigned char>(*p)));
                p++;
            }
            Token t{OTHER, 0, 0};
            for (const Word &x : words)
                if (x.text == w) {
                    t = {x.kind, x.value, 0};
                    break;
                }
            if (t.kind == OTHER && prefixes && w.size() > 2)
                for (const Word &x : words)
                    if (x.text.compare(0, w.size(), w) == 0) {
                        t = {x.kind, x.value, 0};
                        break;
                    }
            out.push_back(t);
        } else {
            p++;
        }
    }
    return out;
}

const std::vector<Word> &date_words()
{
    static std::vector<Word> words;
    if (words.empty()) {
        auto upper = [](const char *s) {
            std::string u = s;
            for (char &ch : u)
                ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
            return u;
        };
        for (int i = 0; i < 12; i++)
            words.push_back({upper(deflanginfo(29 + i)), MONTH, i + 1});
        for (int i = 0; i < 12; i++)
            words.push_back({upper(deflanginfo(17 + i)), MONTH, i + 1});
        const char *suffixes[] = {"ST", "ND", "RD", "TH"};
        for (int i = 0; i < 4; i++)
            words.push_back({suffixes[i], SUFFIX, i + 1});
    }
    return words;
}

int current_year()
{
    static int year = 0;
    if (!year) {
        time_t now = time(nullptr);
        struct tm tm;
        localtime_r(&now, &tm);
        year = tm.tm_year + 1900;
    }
    return year;
}

int full_year(int y) { return y < 0 ? 2000 + y : cal_full_year(y); }

// Typed years are two-digit or 1800-2099.
bool valid_date(int day, int month, int year)
{
    if (!((year >= 0 && year <= 99) || (year >= 1800 && year <= 2099)))
        return false;
    return cal_valid_date(full_year(year), month, day);
}

struct Item {
    bool month_word;
    long value;
    int digits;
    bool suffix;
};

}  // namespace

int rdtime(const char *text, int *hour, int *minute, int *second)
{
    static const std::vector<Word> words = {{"AM", MERIDIAN, 1}, {"PM", MERIDIAN, 2}};
    if (!text)
        return -1;
    long num[3];
    int digits[3], n = 0, meridian = 0;
    bool too_many = false;
    for (const Token &t : tokens(text, words, false)) {
        if (t.kind == NUMBER) {
            if (n == 3)
                too_many = true;
            else {
                digits[n] = t.digits;
                num[n++] = t.value;
            }
        } else if (t.kind == MERIDIAN) {
            meridian = static_cast<int>(t.value);
        }
    }
    if (n == 0 || too_many)
        return -1;
    long h, m, s = 0;
    if (n == 1) {
        if (digits[0] > 6)
            return -1;
        if (digits[0] > 4) {
            h = num[0] / 10000;
            m = num[0] / 100 % 100;
            s = num[0] % 100;
        } else {
            h = num[0] / 100;
            m = num[0] % 100;
        }
    } else {
        h = num[0];
        m = num[1];
        if (n == 3)
            s = num[2];
    }
    if (h < 0 || h > 24 || m < 0 || m > 59 || s < 0 || s > 59 || (h == 24 && (m || s)))
        return -1;
    if (meridian == 1 && h == 12)
        h = 0;
    else if (meridian == 2 && h >= 1 && h <= 11)
        h += 12;
    *hour = static_cast<int>(h % 24);
    *minute = static_cast<int>(m);
    *second = static_cast<int>(s);
    return 0;
}

namespace {

// The numbers and month names of a typed date (at most three kept); false
// for a text with anything else, or a suffix not after a number.
bool date_items(const char *text, std::vector<Item> &items)
{
    bool any = false, last_kept = false;
    Kind last = OTHER;
    for (const Token &t : tokens(text, date_words(), true)) {
        any = true;
        if (t.kind == OTHER)
            return false;
        if (t.kind == SUFFIX) {
            if (last != NUMBER)
                return false;
            if (last_kept)
                items.back().suffix = true;
        } else if (t.kind == NUMBER || t.kind == MONTH) {
            last_kept = items.size() < 3;  // later items are ignored
            if (last_kept)
                items.push_back({t.kind == MONTH, t.value, t.digits, false});
        }
        last = t.kind;
    }
    return any && !items.empty();
}

// A single number holding several parts, split by its digit count (8:
// with a four-digit year where the order puts the year); false for any
// other count.
bool split_packed(std::vector<Item> &items, const int order[3])
{
    Item it = items[0];
    std::vector<Item> parts;
    long v = it.value;
    if (it.digits == 8) {
        int year_pos = order[0] == DIF_YEAR ? 0 : order[1] == DIF_YEAR ? 1 : 2;
        long a, b, c;
        if (year_pos == 2) {
            a = v / 1000000;
            b = v / 10000 % 100;
            c = v % 10000;
        } else if (year_pos == 0) {
            a = v / 10000;
            b = v / 100 % 100;
            c = v % 100;
        } else {
            a = v / 1000000;
            b = v / 100 % 10000;
            c = v % 100;
        }
        parts = {{false, a, 2, false}, {false, b, 2, false}, {false, c, 2, false}};
    } else if (it.digits == 6) {
        parts = {{false, v / 10000, 2, false}, {false, v / 100 % 100, 2, false}, {false, v % 100, 2, false}};
    } else if (it.digits == 4) {
        parts = {{false, v / 100, 2, false}, {false, v % 100, 2, false}};
    } else {
        return false;
    }
    parts.back().suffix = it.suffix;
    items = parts;
    return true;
}

// Reads the items as a date by their pattern of numbers (N) and month
// names (M), trying the input order first and the other readings after.
struct DateMatch {
    const int *order;
    bool day_first;
    int d = 0, m = 0, y = 0;

    bool accept(int dd, int mm, int yy)
    {
        if (!valid_date(dd, mm, yy))
            return false;
        d = dd;
        m = mm;
        y = yy;
        return true;
    }
    // a and b in the order's day-month sequence; exchanged when invalid.
    bool day_month(long a, long b, int yy)
    {
        long dd = day_first ? a : b, mm = day_first ? b : a;
        return accept(static_cast<int>(dd), static_cast<int>(mm), yy) ||
               accept(static_cast<int>(mm), static_cast<int>(dd), yy);
    }

    bool two_numbers(const Item &a, const Item &b, int cy)
    {
        if (a.suffix || b.suffix) {
            const Item &dd = a.suffix ? a : b, &mm = a.suffix ? b : a;
            return accept(static_cast<int>(dd.value), static_cast<int>(mm.value), cy);
        }
        if (a.value >= 32)
            return accept(1, static_cast<int>(b.value), static_cast<int>(a.value));
        if (b.value >= 32)
            return accept(1, static_cast<int>(a.value), static_cast<int>(b.value));
        return day_month(a.value, b.value, cy);
    }

    bool number_and_month(const Item &num, const Item &mon, int cy)
    {
        if (num.value < 32 || num.suffix)
            return accept(static_cast<int>(num.value), static_cast<int>(mon.value), cy);
        return accept(1, static_cast<int>(mon.value), static_cast<int>(num.value));
    }

    bool three_numbers(const std::vector<Item> &items)
    {
        int suffix_at = -1;
        for (int i = 0; i < 3; i++)
            if (items[i].suffix)
                suffix_at = i;
        int nums[3] = {static_cast<int>(items[0].value), static_cast<int>(items[1].value),
                       static_cast<int>(items[2].value)};
        auto by_order = [&]() {
            VxDate dt;
            dif_map(&dt, nums, order);
            return accept(dt.day, dt.month, dt.year);
        };
        if (suffix_at < 0) {
            if (by_order())
                return true;
            int yi = 2;
            for (int i = 0; i < 3; i++)
                if (nums[i] >= 32) {
                    yi = i;
                    break;
                }
            long rest[2];
            for (int i = 0, k = 0; i < 3; i++)
                if (i != yi)
                    rest[k++] = nums[i];
            return day_month(rest[0], rest[1], nums[yi]);
        }
        if (order[suffix_at] == DIF_DAY && by_order())
            return true;
        long rest[2];
        for (int i = 0, k = 0; i < 3; i++)
            if (i != suffix_at)
                rest[k++] = nums[i];
        return accept(nums[suffix_at], static_cast<int>(rest[0]), static_cast<int>(rest[1])) ||
               accept(nums[suffix_at], static_cast<int>(rest[1]), static_cast<int>(rest[0]));
    }

    bool two_numbers_and_month(const std::vector<Item> &items)
    {
        std::vector<const Item *> nums;
        const Item *mon = nullptr;
        for (const Item &it : items) {
            if (it.month_word)
                mon = &it;
            else
                nums.push_back(&it);
        }
        const Item *a = nums[0], *b = nums[1];
        int mm = static_cast<int>(mon->value);
        if (a->suffix || b->suffix) {
            const Item *dd = a->suffix ? a : b, *yy = a->suffix ? b : a;
            return accept(static_cast<int>(dd->value), mm, static_cast<int>(yy->value));
        }
        bool day_before_year = dif_before(order, DIF_DAY, DIF_YEAR);
        const Item *dd = day_before_year ? a : b, *yy = day_before_year ? b : a;
        return accept(static_cast<int>(dd->value), mm, static_cast<int>(yy->value)) ||
               accept(static_cast<int>(yy->value), mm, static_cast<int>(dd->value));
    }

    bool match(const std::vector<Item> &items)
    {
        std::string pattern;
        for (const Item &it : items)
            pattern += it.month_word ? 'M' : 'N';
        const int cy = current_year();
        if (pattern == "NN")
            return two_numbers(items[0], items[1], cy);
        if (pattern == "NM" || pattern == "MN")
            return number_and_month(items[pattern == "NM" ? 0 : 1], items[pattern == "NM" ? 1 : 0], cy);
        if (pattern == "NNN")
            return three_numbers(items);
        if (pattern == "NNM" || pattern == "NMN" || pattern == "MNN")
            return two_numbers_and_month(items);
        return false;
    }
};

}  // namespace

int rddate(const char *text, const int order[3], int *day, int *month, int *year)
{
    static const int default_order[3] = {DIF_DAY, DIF_MONTH, DIF_YEAR};
    if (!order)
        order = default_order;
    if (!text)
        return -1;
    std::vector<Item> items;
    if (!date_items(text, items))
        return -1;
    if (items.size() == 1 && !items[0].month_word && !split_packed(items, order))
        return -1;
    DateMatch dm{order, dif_before(order, DIF_DAY, DIF_MONTH) != 0};
    if (!dm.match(items))
        return -1;
    *day = dm.d;
    *month = dm.m;
    *year = full_year(dm.y);
    return 0;
}

// ---- calendar time -----------------------------------------------------------

time_t un_ctime(int year, int month, int day, int hour, int minute, int second, int rule)
{
    struct tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = rule == 0 ? 1 : rule == 1 ? 0 : -1;
    struct tm asked = tm;
    errno = 0;
    time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1)) {
        // Genuine when it is the second before 1970 in the local zone.
        struct tm back;
        time_t minus = -1;
        if (localtime_r(&minus, &back) && back.tm_year == asked.tm_year && back.tm_mon == asked.tm_mon &&
            back.tm_mday == asked.tm_mday && back.tm_hour == asked.tm_hour && back.tm_min == asked.tm_min &&
            back.tm_sec == asked.tm_sec)
            return t;
        errno = ERANGE;
        return -1;
    }
    if (rule == 2 && tm.tm_hour != asked.tm_hour % 24 && tm.tm_isdst) {
        // Inside a daylight-saving gap the system moved the hour: take the
        // hour after when that is in daylight saving time.
        struct tm later = asked;
        later.tm_hour += 1;
        later.tm_isdst = -1;
        time_t t2 = mktime(&later);
        if (t2 != static_cast<time_t>(-1) && later.tm_isdst > 0)
            return t2;
    }
    return t;
}

void get_current_time(struct timeval *out) { gettimeofday(out, nullptr); }

double subtract_time(const struct timeval *a, const struct timeval *b)
{
    return static_cast<double>(a->tv_sec - b->tv_sec) + static_cast<double>(a->tv_usec - b->tv_usec) / 1e6;
}
