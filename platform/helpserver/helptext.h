// The help server's texts: one file keyed by help id.
//
//     # comment
//     @803 Error messages
//     Text of the entry, up to the next entry line.
//
// An entry line is "@", the id (1 to 32767), a blank and the title; the
// lines after it up to the next entry line are its text (blank lines at its
// start and end are dropped).  Lines beginning "#" are comments.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HelpEntryText {
    std::string title;
    std::string body;
};

struct HelpProblem {
    int line;
    enum { BAD_ENTRY, DUPLICATE } kind;
    int id;  // the duplicated id
};

struct HelpTexts {
    std::map<int, HelpEntryText> entries;
    std::vector<HelpProblem> problems;
};

// Parses the text of a help file.
HelpTexts parse_help_texts(const std::string &text);
// Reads and parses a file; false when it cannot be read.
bool read_help_file(const std::string &path, HelpTexts &out);
