// The functions file without a display: libraries, sorted tables, the
// limits and their diagnostics, the fatal overlong function line (in a
// child process), help ids and the name a picked entry stands for.

#include <gtest/gtest.h>

#include "dlfunc.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

FuncFile read_text(const std::string &text)
{
    FuncFile f;
    FILE *fp = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    EXPECT_NE(fp, nullptr);
    dlfunc_read_functions(fp, f);
    fclose(fp);
    return f;
}

// What dlfunc_load_functions does with the text in a child process: its
// exit status (0 when it returned) and what it wrote on standard error.
struct Loaded {
    int status = -1;
    std::string err;
};
Loaded load_in_child(const std::string &text)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        FILE *fp = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
        FuncFile f;
        dlfunc_load_functions(fp, f);
        fflush(stderr);
        _exit(0);
    }
    close(fds[1]);
    Loaded r;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        r.err.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> names(const FuncFile &f)
{
    std::vector<std::string> v;
    for (const FuncLibrary &l : f.libraries)
        v.push_back(l.name);
    return v;
}

using Strings = std::vector<std::string>;

TEST(FunctionsFile, LibrariesAndTheirEntries)
{
    struct Case {
        const char *what;
        std::string text;
        Strings libraries;
        Strings first_functions;  // the first library's entries in file order
    };
    const Case cases[] = {
        {"comments only", "# one\n#two\n#\n", {}, {}},
        {"empty file", "", {}, {}},
        {"blank lines and lines of blanks skipped", "\n   \n\t\nSTRING\n\n    STR(s, start, len)\n \t \n",
         {"STRING"}, {"STR(s, start, len)"}},
        {"library name is the first word, the rest ignored", "STRING   texts and more\n  LEN(s)\n", {"STRING"},
         {"LEN(s)"}},
        {"leading blanks and tabs removed, the rest kept whole", "L\n\t  COND(c, a, b)  \n", {"L"},
         {"COND(c, a, b)  "}},
        {"a function line before the first library is skipped", "   ORPHAN(x)\nL\n  A()\n", {"L"}, {"A()"}},
        {"last line without a newline", "L\n  A()\n  B()", {"L"}, {"A()", "B()"}},
        {"a library without functions", "EMPTY\nNEXT\n  X()\n", {"EMPTY", "NEXT"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FuncFile f = read_text(c.text);
        EXPECT_FALSE(f.fatal);
        EXPECT_FALSE(f.truncated);
        EXPECT_EQ(names(f), c.libraries);
        if (!f.libraries.empty()) {
            EXPECT_EQ(f.libraries[0].functions, c.first_functions);
        }
    }
}

TEST(FunctionsFile, SortedTablesInByteOrderOnlyForLibrariesWithFunctions)
{
    FuncFile f = read_text("MIXED\n  sin(x)\n  ABS(x)\n  cos(x)\n  Zeta(x)\n  MAX(a)\nEMPTY\n");
    ASSERT_EQ(f.libraries.size(), 2u);
    EXPECT_EQ(f.libraries[0].functions, (Strings{"sin(x)", "ABS(x)", "cos(x)", "Zeta(x)", "MAX(a)"}));
    // Every capital before any lower-case letter.
    EXPECT_EQ(f.libraries[0].sorted, (Strings{"ABS(x)", "MAX(a)", "Zeta(x)", "cos(x)", "sin(x)"}));
    EXPECT_TRUE(f.libraries[1].functions.empty());
    EXPECT_TRUE(f.libraries[1].sorted.empty());
    EXPECT_LT(func_compare("Zeta", "abs"), 0);
    EXPECT_EQ(func_compare("A", "A"), 0);
}

std::string many_libraries(int n)
{
    std::string t;
    for (int i = 1; i <= n; i++)
        t += "LIB" + std::to_string(i) + "\n  F" + std::to_string(i) + "()\n";
    return t;
}

TEST(FunctionsFile, TheSixtiethLibraryStopsTheReadingWithAMessage)
{
    FuncFile f = read_text(many_libraries(61));
    EXPECT_TRUE(f.truncated);
    ASSERT_EQ(f.libraries.size(), 59u);
    EXPECT_EQ(f.libraries.back().name, "LIB59");
    EXPECT_EQ(f.libraries.back().functions, (Strings{"F59()"}));
    Loaded l = load_in_child(many_libraries(60));
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.err, "Vostrelane: Too many libraries in function file - truncating\n");
    // 59 are no reason to say anything.
    EXPECT_FALSE(read_text(many_libraries(59)).truncated);
    EXPECT_EQ(load_in_child(many_libraries(59)).err, "");
}

TEST(FunctionsFile, LinesPastTheEightiethOfALibraryAreDroppedWithOneLineEach)
{
    std::string t = "BIG\n";
    for (int i = 1; i <= 83; i++)
        t += "  F" + std::to_string(i) + "()\n";
    t += "SMALL\n  S()\nFULL\n";
    for (int i = 1; i <= 81; i++)
        t += "  G" + std::to_string(i) + "()\n";
    FuncFile f = read_text(t);
    ASSERT_EQ(names(f), (Strings{"BIG", "SMALL", "FULL"}));
    EXPECT_EQ(f.libraries[0].functions.size(), 80u);
    EXPECT_EQ(f.libraries[0].functions.back(), "F80()");
    EXPECT_EQ(f.libraries[1].functions, (Strings{"S()"}));
    EXPECT_EQ(f.libraries[2].functions.size(), 80u);
    EXPECT_EQ(f.overfull, (Strings{"BIG", "FULL"}));
    Loaded l = load_in_child(t);
    EXPECT_EQ(l.status, 0);
    EXPECT_EQ(l.err,
              "Vostrelane: Library BIG of the function file has more than 80 functions - the rest are dropped\n"
              "Vostrelane: Library FULL of the function file has more than 80 functions - the rest are dropped\n");
}

TEST(FunctionsFile, OverlongLinesOfTheThreeKinds)
{
    const std::string long_comment = "#" + std::string(300, 'c') + " L2\n";
    const std::string long_library = "LONGLIB " + std::string(300, 'x') + "\n";
    const std::string tail_library = "LIB" + std::string(124, ' ') + "TAIL\n";  // TAIL past the buffer
    // Comment and library lines are read whole: their tails never become
    // lines of their own.
    FuncFile f = read_text(long_comment + "L\n  A()\n" + long_library + "  B()\n" + tail_library + "  C()\n");
    EXPECT_FALSE(f.fatal);
    ASSERT_EQ(names(f), (Strings{"L", "LONGLIB", "LIB"}));
    EXPECT_EQ(f.libraries[0].functions, (Strings{"A()"}));
    EXPECT_EQ(f.libraries[1].functions, (Strings{"B()"}));
    EXPECT_EQ(f.libraries[2].functions, (Strings{"C()"}));

    // Function lines: 126 characters and a newline fit; 127 fit only as the
    // file's last line without a newline.
    const std::string f126 = "  " + std::string(124, 'F');
    const std::string f127 = "  " + std::string(125, 'F');
    EXPECT_FALSE(read_text("L\n" + f126 + "\n").fatal);
    EXPECT_FALSE(read_text("L\n" + f127).fatal);
    FuncFile bad = read_text("L\n  A()\n" + f127 + "\n  B()\n");
    EXPECT_TRUE(bad.fatal);
    EXPECT_EQ(bad.fatal_line, f127);
    EXPECT_EQ(bad.libraries[0].functions, (Strings{"A()"}));

    // The fatal one ends the program with status 1 and both lines.
    const std::string f200 = "  " + std::string(198, 'G');
    Loaded l = load_in_child("L\n  A()\n" + f200 + "\n");
    EXPECT_EQ(l.status, 1);
    EXPECT_EQ(l.err, "Function description line > maximum of 128 characters..\n" + f200.substr(0, 127) + "\n");
}

TEST(FunctionsFile, HelpIdsRunThroughTheFileInOrder)
{
    FuncFile f = read_text("FIRST\n  A()\n  B()\n  C()\n  D()\nSECOND\n  E()\n  F()\n  G()\nTHIRD\n");
    struct Case {
        int library, position, id;
    };
    const Case cases[] = {
        {0, -1, 1254}, {0, 0, 1255}, {0, 3, 1258}, {1, -1, 1259}, {1, 2, 1262}, {2, -1, 1263},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dlfunc_help_id(f, c.library, c.position), c.id) << c.library << " " << c.position;
}

TEST(FunctionsFile, APickTakesTheNameBeforeTheParenthesis)
{
    const std::pair<const char *, const char *> cases[] = {
        {"SUBSTR(s, start, len)", "SUBSTR"}, {"SYSDATE()", "SYSDATE"}, {"PI", "PI"}, {"(x)", ""}, {"F(a(b))", "F"},
    };
    for (auto [entry, name] : cases)
        EXPECT_EQ(dlfunc_function_name(entry), name) << entry;
}

}  // namespace
