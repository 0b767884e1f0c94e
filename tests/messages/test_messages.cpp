// Every catalogue text must take exactly the arguments its callers pass:
// the callers' types are declared in the modules' "*_msgs.def" files (and
// enforced there by the compiler); the texts live in data/messages.

#include "registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Text {
    std::string text;
    std::string where;
};
using Catalogue = std::map<std::pair<int, int>, Text>;

// Reads gencat sources: "$set N", "$quote c", "$" comments, "N text" with
// C escapes and backslash-newline continuation.
void parse_msg(const fs::path &file, Catalogue &cat, std::vector<std::string> &errors)
{
    std::ifstream in(file);
    std::string line;
    int set = -1;
    char quote = 0;
    int lineno = 0;
    while (std::getline(in, line)) {
        lineno++;
        while (!line.empty() && line.back() == '\\') {
            std::string more;
            if (!std::getline(in, more))
                break;
            lineno++;
            line.pop_back();
            line += more;
        }
        std::string where = file.filename().string() + ":" + std::to_string(lineno);
        if (line.empty())
            continue;
        if (line[0] == '$') {
            if (line.rfind("$set", 0) == 0)
                set = std::atoi(line.c_str() + 4);
            else if (line.rfind("$quote", 0) == 0) {
                size_t p = line.find_first_not_of(" \t", 6);
                quote = p == std::string::npos ? 0 : line[p];
            }
            continue;
        }
        size_t p = 0;
        while (p < line.size() && isdigit(static_cast<unsigned char>(line[p])))
            p++;
        if (p == 0) {
            errors.push_back(where + ": not a message line");
            continue;
        }
        int number = std::atoi(line.substr(0, p).c_str());
        if (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
            p++;
        std::string raw = line.substr(p), text;
        if (quote && raw.size() >= 2 && raw.front() == quote && raw.back() == quote)
            raw = raw.substr(1, raw.size() - 2);
        for (size_t i = 0; i < raw.size(); i++) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                text += raw[i];
                continue;
            }
            char c = raw[++i];
            switch (c) {
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            case 'b': text += '\b'; break;
            case 'r': text += '\r'; break;
            case 'f': text += '\f'; break;
            case 'v': text += '\v'; break;
            default: text += c; break;
            }
        }
        if (set < 0) {
            errors.push_back(where + ": message before any $set");
            continue;
        }
        auto [it, fresh] = cat.emplace(std::make_pair(set, number), Text{text, where});
        if (!fresh)
            errors.push_back(where + ": set " + std::to_string(set) + " message " + std::to_string(number) +
                             " also at " + it->second.where);
    }
}

std::map<std::string, std::map<std::string, Catalogue>> read_all(std::vector<std::string> &errors)
{
    // language -> catalogue -> texts
    std::map<std::string, std::map<std::string, Catalogue>> all;
    fs::path root = fs::path(getenv("VX_SOURCE_DIR")) / "data" / "messages";
    for (auto &lang : fs::directory_iterator(root))
        for (auto &catdir : fs::directory_iterator(lang.path())) {
            if (!catdir.is_directory())
                continue;
            Catalogue &cat = all[lang.path().filename()][catdir.path().filename()];
            for (auto &f : fs::directory_iterator(catdir.path()))
                if (f.path().extension() == ".msg")
                    parse_msg(f.path(), cat, errors);
        }
    return all;
}

TEST(Messages, SourcesParse)
{
    std::vector<std::string> errors;
    auto all = read_all(errors);
    for (auto &e : errors)
        ADD_FAILURE() << e;
    ASSERT_TRUE(all.count("C"));
    for (auto &[lang, cats] : all)
        for (auto &[name, cat] : cats)
            EXPECT_TRUE(cat.count({1, 1})) << lang << "/" << name
                                           << ": message 1 of set 1 must exist, or the catalogue counts as not open";
}

TEST(Messages, EveryDeclaredMessageFitsItsCallers)
{
    std::vector<std::string> errors;
    auto all = read_all(errors);
    std::set<std::pair<std::string, std::pair<int, int>>> declared;
    for (const MsgTable &t : message_tables()) {
        ASSERT_NE(t.catalogue, nullptr) << t.file << " lacks VXMSG_CATALOGUE(...)";
        for (size_t i = 0; i < t.count; i++) {
            const VxMsgInfo &m = t.rows[i];
            auto key = std::make_pair(m.set, m.number);
            EXPECT_TRUE(declared.insert({t.catalogue, key}).second)
                << m.name << ": set " << m.set << " message " << m.number << " declared twice";
            if (m.fallback) {
                std::string sig;
                EXPECT_TRUE(vx_format_signature(m.fallback, sig) && sig == m.signature)
                    << m.name << ": fallback \"" << m.fallback << "\" takes \"" << sig << "\", callers pass \""
                    << m.signature << "\"";
            }
            auto &c_cat = all["C"][t.catalogue];
            EXPECT_TRUE(c_cat.count(key)) << m.name << ": no text in the C " << t.catalogue << " catalogue";
            for (auto &[lang, cats] : all) {
                auto it = cats[t.catalogue].find(key);
                if (it == cats[t.catalogue].end())
                    continue;
                std::string sig;
                EXPECT_TRUE(vx_format_signature(it->second.text.c_str(), sig) && sig == m.signature)
                    << lang << " " << it->second.where << " (" << m.name << "): text takes \"" << sig
                    << "\", callers pass \"" << m.signature << "\"";
            }
        }
    }
    // A text with conversions that no caller declares would be formatted
    // with whatever happens to be on the stack.
    for (auto &[lang, cats] : all)
        for (auto &[name, cat] : cats)
            for (auto &[key, text] : cat) {
                if (declared.count({name, key}))
                    continue;
                std::string sig;
                EXPECT_TRUE(vx_format_signature(text.text.c_str(), sig) && sig.empty())
                    << lang << " " << text.where << ": text has conversions but no caller declares them";
            }
}

}  // namespace
