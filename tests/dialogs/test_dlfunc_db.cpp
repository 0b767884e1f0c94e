// The installed functions file against the installed interpreter: every
// function it offers is one the interpreter knows.

#include "qytest.h"  // first: gtest before the X headers

#include "dlfunc.h"
#include "vxtest.h"

#include <cstdio>
#include <set>
#include <string>

namespace {

using qytest::Interpreter;

TEST_F(Interpreter, EveryFunctionOfTheInstalledFileIsKnownToTheInterpreter)
{
    const std::string path = vxtest::install_dir() + "/etc/funcs.txt";
    FILE *fp = fopen(path.c_str(), "r");
    ASSERT_NE(fp, nullptr) << path;
    FuncFile f;
    dlfunc_read_functions(fp, f);
    fclose(fp);
    ASSERT_FALSE(f.fatal);
    ASSERT_FALSE(f.truncated);
    EXPECT_TRUE(f.overfull.empty());
    // The sixth library is the one title mode 5 opens: the array functions
    // of collect expressions.
    ASSERT_GE(f.libraries.size(), 6u);
    std::set<std::string> sixth;
    for (const std::string &entry : f.libraries[5].functions)
        sixth.insert(dlfunc_function_name(entry));
    for (const char *name : {"MEAN", "VARC", "MAX", "MIN", "SUMARR", "LEN", "ELEM"})
        EXPECT_TRUE(sixth.count(name)) << name;

    const int cid = qytest::start();
    ASSERT_GE(cid, 0);
    int checked = 0;
    for (const FuncLibrary &lib : f.libraries) {
        EXPECT_FALSE(lib.functions.empty()) << lib.name;
        for (const std::string &entry : lib.functions) {
            const std::string name = dlfunc_function_name(entry);
            ASSERT_FALSE(name.empty()) << entry;
            const std::string statement = "PRINT " + name + "()";
            doz_query(cid, statement.c_str());
            int code = 0, code2 = 0, code3 = 0, rows = 0, fifth = 0;
            doz_status(cid, &code, &code2, &code3, &rows, &fifth);
            EXPECT_NE(code, -76) << statement;
            checked++;
        }
    }
    EXPECT_GT(checked, 30);
}

}  // namespace
