// The functions file: libraries of call patterns, read whole, line by line.

#include "dlfunc.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// What a read buffer of DLFUNC_LINE_BUFFER bytes takes of a line.
constexpr size_t BUFFER_TEXT = DLFUNC_LINE_BUFFER - 1;

// The next line without its newline; false at the end of the file.
// `newline` tells whether the line ended with one.
bool next_line(FILE *fp, std::string &line, bool &newline)
{
    line.clear();
    newline = false;
    int c;
    while ((c = getc(fp)) != EOF) {
        if (c == '\n') {
            newline = true;
            return true;
        }
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
}

bool space(char c) { return isspace(static_cast<unsigned char>(c)) != 0; }

bool blank_line(const std::string &line)
{
    return std::all_of(line.begin(), line.end(), space);
}

// A function line fits when its text and newline fit the buffer, or its
// text alone when the file ends behind it.
bool overlong(const std::string &line, bool newline)
{
    return line.size() > BUFFER_TEXT || (line.size() == BUFFER_TEXT && newline);
}

// The text as a C buffer holds it: up to its first NUL.
std::string c_text(const std::string &text) { return text.substr(0, text.find('\0')); }

}  // namespace

int func_compare(const std::string &a, const std::string &b) { return strcmp(a.c_str(), b.c_str()); }

void dlfunc_read_functions(FILE *fp, FuncFile &out)
{
    out = FuncFile{};
    if (!fp)
        return;
    std::string line;
    bool newline = false;
    bool overfull_noted = false;
    while (next_line(fp, line, newline)) {
        if (line.empty() || line[0] == '#' || blank_line(line))
            continue;
        if (!space(line[0])) {
            // A library line: its first word, as far as the buffer holds it.
            if (static_cast<int>(out.libraries.size()) >= DLFUNC_MAX_LIBRARIES) {
                out.truncated = true;
                break;
            }
            const std::string held = c_text(line.substr(0, BUFFER_TEXT));
            size_t end = 0;
            while (end < held.size() && !space(held[end]))
                end++;
            out.libraries.push_back(FuncLibrary{held.substr(0, end), {}, {}});
            overfull_noted = false;
            continue;
        }
        if (overlong(line, newline)) {
            out.fatal = true;
            out.fatal_line = c_text(line.substr(0, BUFFER_TEXT));
            break;
        }
        // A function line before any library has nowhere to go.
        if (out.libraries.empty())
            continue;
        FuncLibrary &lib = out.libraries.back();
        if (static_cast<int>(lib.functions.size()) >= DLFUNC_MAX_FUNCTIONS) {
            if (!overfull_noted)
                out.overfull.push_back(lib.name);
            overfull_noted = true;
            continue;
        }
        size_t start = 0;
        while (start < line.size() && space(line[start]))
            start++;
        lib.functions.push_back(c_text(line.substr(start)));
    }
    for (FuncLibrary &lib : out.libraries) {
        lib.sorted = lib.functions;
        std::stable_sort(lib.sorted.begin(), lib.sorted.end(),
                         [](const std::string &a, const std::string &b) { return func_compare(a, b) < 0; });
    }
}

std::string dlfunc_function_name(const std::string &entry) { return entry.substr(0, entry.find('(')); }

int dlfunc_help_id(const FuncFile &file, int library, int position)
{
    int id = DLFUNC_FIRST_HELP_ID;
    const int count = static_cast<int>(file.libraries.size());
    for (int k = 0; k < library && k < count; k++)
        id += static_cast<int>(file.libraries[static_cast<size_t>(k)].functions.size()) + 1;
    return position < 0 ? id : id + 1 + position;
}
