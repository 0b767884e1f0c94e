// The table list of the table list dialog without widgets: reading and
// writing the file, the list items, and the rules of the edit buttons.

#include "dltlist.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t NAME_MAX_CHARS = 11;
constexpr size_t ITEM_WIDTH = 16;
constexpr size_t STAR_COLUMN = 14;  // the 15th
constexpr size_t GROW_BY = 40;

enum Button { SHOW = 0, HIDE = 1, TO_TOP = 2, TO_BOTTOM = 3, GATHER = 4, BY_NAME = 5 };

// The next blank-separated word, or false at the end of the input.  A word
// is kept up to a bound; what lies beyond it only makes the word "long".
bool next_word(FILE *in, std::string &word, bool &long_word)
{
    word.clear();
    long_word = false;
    int c;
    while ((c = fgetc(in)) != EOF && isspace(c))
        ;
    if (c == EOF)
        return false;
    for (; c != EOF && !isspace(c); c = fgetc(in)) {
        if (word.size() < 64)
            word += static_cast<char>(c);
        else
            long_word = true;
    }
    return true;
}

// A whole word that is an integer (an optional sign and digits).
bool parse_flag(const std::string &word, bool long_word, int &flag)
{
    if (long_word || word.empty())
        return false;
    const char *p = word.c_str();
    char *end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 10);
    if (end == p || *end || errno != 0 || v < INT_MIN || v > INT_MAX)
        return false;
    flag = static_cast<int>(v);
    return true;
}

}  // namespace

bool dltlist_read(FILE *in, std::vector<DlTableRecord> &records)
{
    records.clear();
    if (!in)
        return false;
    std::string name, flag_word;
    bool long_name = false, long_flag = false;
    int place = 0;
    while (next_word(in, name, long_name)) {
        int flag = 0;
        if (!next_word(in, flag_word, long_flag) || !parse_flag(flag_word, long_flag, flag))
            return false;
        if (long_name || name.size() > NAME_MAX_CHARS)
            continue;
        if (records.size() == records.capacity())
            records.reserve(records.size() + GROW_BY);
        DlTableRecord r{};
        memcpy(r.name, name.data(), name.size());
        r.shown = flag != 0 ? 1 : 0;
        r.order = place++;
        records.push_back(r);
    }
    return !ferror(in);
}

bool dltlist_read_file(const char *path, std::vector<DlTableRecord> &records)
{
    records.clear();
    FILE *in = path && *path ? fopen(path, "r") : nullptr;
    if (!in)
        return false;
    const bool complete = dltlist_read(in, records);
    fclose(in);
    return complete;
}

bool dltlist_write_file(const char *path, const std::vector<DlTableRecord> &records)
{
    FILE *out = path && *path ? fopen(path, "w") : nullptr;
    if (!out)
        return false;
    bool ok = true;
    for (const DlTableRecord &r : records)
        if (fprintf(out, "%s %d\n", r.name, r.shown) < 0)
            ok = false;
    if (fclose(out) != 0)
        ok = false;
    return ok;
}

std::string dltlist_item_text(const DlTableRecord &record)
{
    const size_t len = strnlen(record.name, sizeof record.name);
    std::string text(record.name, std::min(len, ITEM_WIDTH));
    text.resize(ITEM_WIDTH, ' ');
    if (record.shown && len < STAR_COLUMN + 1)
        text[STAR_COLUMN] = '*';
    return text;
}

bool dltlist_edit(std::vector<DlTableRecord> &records, std::span<const int> selected, int button)
{
    if (button < SHOW || button > BY_NAME)
        return false;
    std::vector<DlTableRecord *> picked;
    for (int place : selected)
        if (place >= 0 && static_cast<size_t>(place) < records.size())
            picked.push_back(&records[static_cast<size_t>(place)]);
    if (picked.empty() && button != BY_NAME)
        return false;
    // Orders far enough from the others: the list's own length.
    const int n = static_cast<int>(records.size());
    switch (button) {
    case SHOW:
    case HIDE:
        for (DlTableRecord *r : picked)
            r->shown = button == SHOW ? 1 : 0;
        break;
    case TO_TOP:
    case TO_BOTTOM:
        for (size_t k = 0; k < picked.size(); k++)
            picked[k]->order = static_cast<int>(k) + (button == TO_TOP ? -n : n);
        break;
    case GATHER: {
        const int first = picked[0]->order;
        for (DlTableRecord &r : records)
            if (r.order > first)
                r.order += n;
        for (size_t k = 1; k < picked.size(); k++)
            picked[k]->order = first + static_cast<int>(k);
        break;
    }
    default:
        break;
    }
    std::stable_sort(records.begin(), records.end(), [button](const DlTableRecord &a, const DlTableRecord &b) {
        if ((a.shown != 0) != (b.shown != 0))
            return a.shown != 0;
        if (button == BY_NAME)
            return strncmp(a.name, b.name, sizeof a.name) < 0;
        return a.order < b.order;
    });
    for (size_t i = 0; i < records.size(); i++)
        records[i].order = static_cast<int>(i);
    return true;
}
