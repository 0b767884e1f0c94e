// Reading the help server's text file.

#include "helptext.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sstream>

namespace {

void trim_blank_lines(std::string &body)
{
    size_t start = 0;
    while (start < body.size()) {
        size_t nl = body.find('\n', start);
        if (nl == std::string::npos || body.find_first_not_of(" \t", start) < nl)
            break;
        start = nl + 1;
    }
    body.erase(0, start);
    size_t end = body.find_last_not_of(" \t\n");
    body.erase(end == std::string::npos ? 0 : end + 1);
}

// "@<id> <title>": the id, or 0 when the line is malformed.
int entry_id(const std::string &line, std::string &title)
{
    size_t i = 1;
    long id = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && id <= 32767)
        id = id * 10 + (line[i++] - '0');
    if (i == 1 || id < 1 || id > 32767)
        return 0;
    if (i < line.size() && line[i] != ' ' && line[i] != '\t')
        return 0;
    size_t t = line.find_first_not_of(" \t", i);
    if (t == std::string::npos)
        return 0;
    title = line.substr(t);
    size_t e = title.find_last_not_of(" \t\r");
    title.erase(e + 1);
    return static_cast<int>(id);
}

}  // namespace

HelpTexts parse_help_texts(const std::string &text)
{
    HelpTexts out;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    HelpEntryText *current = nullptr;
    HelpEntryText discard;
    while (std::getline(in, line)) {
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '#')
            continue;
        if (!line.empty() && line[0] == '@') {
            std::string title;
            int id = entry_id(line, title);
            discard = {};
            if (id == 0) {
                out.problems.push_back({number, HelpProblem::BAD_ENTRY, 0});
                current = &discard;
            } else if (out.entries.count(id)) {
                out.problems.push_back({number, HelpProblem::DUPLICATE, id});
                current = &discard;
            } else {
                current = &out.entries[id];
                current->title = title;
            }
            continue;
        }
        if (current)
            current->body += line + "\n";
    }
    for (auto &[id, e] : out.entries)
        trim_blank_lines(e.body);
    return out;
}

bool read_help_file(const std::string &path, HelpTexts &out)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        return false;
    out = parse_help_texts(ss.str());
    return true;
}
