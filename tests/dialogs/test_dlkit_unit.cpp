// The dialog kit and the database dialogs without a display: the database
// list file, its items, the password masking, directory listings, text
// helpers and the text a workspace pick inserts.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dldbdialogs.h"
#include "dlkit.h"
#include "vxtest.h"

#include <sys/stat.h>

#include <clocale>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string write_file(const std::string &dir, const std::string &name, const std::string &body)
{
    std::string path = dir + "/" + name;
    std::ofstream(path) << body;
    return path;
}

// ---- the database list file ------------------------------------------------------------

TEST(DatabaseList, ReadsPairsUpToTheCap)
{
    std::string dir = vxtest::temp_dir("dblist");
    std::string many;
    for (int i = 0; i < 150; i++)
        many += "DB" + std::to_string(i) + " /loc/" + std::to_string(i) + (i % 3 ? " " : "\n");
    std::vector<std::pair<std::string, std::string>> pairs;
    ASSERT_TRUE(dldblst_read_list(write_file(dir, "many", many).c_str(), pairs));
    ASSERT_EQ(pairs.size(), 100u);
    EXPECT_EQ(pairs[0], std::make_pair(std::string("DB0"), std::string("/loc/0")));
    EXPECT_EQ(pairs[99], std::make_pair(std::string("DB99"), std::string("/loc/99")));

    // Line breaks carry no meaning; a last word without a partner is dropped.
    ASSERT_TRUE(dldblst_read_list(write_file(dir, "odd", "A\n/a B\t/b\n\nC").c_str(), pairs));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1], std::make_pair(std::string("B"), std::string("/b")));

    ASSERT_TRUE(dldblst_read_list(write_file(dir, "empty", "").c_str(), pairs));
    EXPECT_TRUE(pairs.empty());
    EXPECT_FALSE(dldblst_read_list((dir + "/missing").c_str(), pairs));
    EXPECT_TRUE(pairs.empty());
    EXPECT_FALSE(dldblst_read_list("", pairs));
}

TEST(DatabaseList, LongWordsAreCutAndTheRestSkipped)
{
    std::string dir = vxtest::temp_dir("dblist");
    std::string word(600, 'L');
    std::vector<std::pair<std::string, std::string>> pairs;
    ASSERT_TRUE(dldblst_read_list(write_file(dir, "long", "DEMO " + word + " NEXT /next\n").c_str(), pairs));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].second, std::string(511, 'L'));
    EXPECT_EQ(pairs[1], std::make_pair(std::string("NEXT"), std::string("/next")));
}

TEST(DatabaseList, ItemTextAndItsWords)
{
    EXPECT_EQ(dldblst_item_text("DEMO", "/data"), "DEMO       /data");
    EXPECT_EQ(dldblst_item_text("ABCDEFGH", "/x"), "ABCDEFGH   /x");
    EXPECT_EQ(dldblst_item_text("", "/x"), "           /x");
    std::string name, location;
    EXPECT_TRUE(dldblst_split_item(dldblst_item_text("DEMO", "/data"), name, location));
    EXPECT_EQ(name, "DEMO");
    EXPECT_EQ(location, "/data");
    EXPECT_FALSE(dldblst_split_item("SOLO    ", name, location));
    EXPECT_EQ(name, "SOLO");
    EXPECT_EQ(location, "");
}

// ---- password masking -------------------------------------------------------------------

struct MaskCase {
    const char *what;
    const char *held;
    bool empty;
    long start, end;
    const char *text;
    bool accept;
    const char *held_after;
    const char *shown;
};

TEST(PasswordMasking, EditsTheHeldText)
{
    const MaskCase cases[] = {
        {"first character", "", true, 0, 0, "a", true, "a", "*"},
        {"typed at the end", "ab", false, 2, 2, "c", true, "abc", "*"},
        {"typed in the middle", "ac", false, 1, 1, "b", true, "abc", "*"},
        {"a paste", "ab", false, 2, 2, "xyz", false, "ab", ""},
        {"the middle star replaced", "abc", false, 1, 2, "X", true, "aXc", "*"},
        {"backspace at the end", "abc", false, 2, 3, nullptr, true, "ab", ""},
        {"all selected and deleted", "abc", false, 0, 3, nullptr, true, "", ""},
        {"an emptied field starts afresh", "abc", true, 0, 0, "z", true, "z", "*"},
        {"the eleventh character", "0123456789", false, 10, 10, "x", false, "0123456789", ""},
        {"a replacement within ten", "0123456789", false, 9, 10, "x", true, "012345678x", "*"},
    };
    for (const MaskCase &c : cases) {
        SCOPED_TRACE(c.what);
        PwdChange ch;
        ch.field_empty = c.empty;
        ch.start = c.start;
        ch.end = c.end;
        ch.insert_at = c.start;
        ch.text = c.text;
        ch.length = c.text ? static_cast<int>(strlen(c.text)) : 0;
        PwdResult r = dlpwd_mask(c.held, ch);
        EXPECT_EQ(r.accept, c.accept);
        EXPECT_EQ(r.held, c.held_after);
        if (c.accept)
            EXPECT_EQ(r.shown, c.shown);
        else
            EXPECT_TRUE(r.bell);
    }
    // Return changes nothing.
    PwdChange enter;
    enter.activate = true;
    enter.text = "abc";
    enter.length = 3;
    PwdResult r = dlpwd_mask("pw", enter);
    EXPECT_TRUE(r.accept);
    EXPECT_EQ(r.held, "pw");
}

TEST(PasswordMasking, MultibyteCharactersCountAsOne)
{
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    PwdChange ch;
    ch.start = ch.end = ch.insert_at = 1;
    ch.text = "\xc3\xa9";  // e acute, two bytes, one character
    ch.length = 2;
    PwdResult r = dlpwd_mask("ab", ch);
    EXPECT_TRUE(r.accept);
    EXPECT_EQ(r.held, "a\xc3\xa9"
                      "b");
    EXPECT_EQ(r.shown, "*");
    // Positions after it are characters, not bytes: the third star is "b".
    PwdChange del;
    del.start = 2;
    del.end = 3;
    r = dlpwd_mask(r.held, del);
    EXPECT_EQ(r.held, "a\xc3\xa9");
    setlocale(LC_CTYPE, "C");
}

// ---- directory listings ---------------------------------------------------------------------

TEST(DirectoryListing, SkipRules)
{
    struct {
        const char *name;
        unsigned rules;
        bool skipped;
    } cases[] = {
        {".hidden", 0, true},       {".DEFAULT", 0, true},      {"plain", 0, false},
        {"a.tsl", DL_SKIP_PROCEDURE, true}, {"old.FMT", DL_SKIP_PROCEDURE, true},
        {"x.tslx", DL_SKIP_PROCEDURE, false}, {"a.tsl", 0, false},
        {"tsl", DL_SKIP_PROCEDURE, false},    {"x.fmt", DL_SKIP_PROCEDURE, false},
    };
    for (auto &c : cases)
        EXPECT_EQ(dl_skip_name(c.name, c.rules), c.skipped) << c.name;
}

TEST(DirectoryListing, PathThenOwnThenSharedUpToTheCap)
{
    std::string root = vxtest::temp_dir("listing");
    for (const char *d : {"a", "b", "own", "shared"})
        ASSERT_EQ(mkdir((root + "/" + d).c_str(), 0755), 0);
    write_file(root + "/a", "A1", "");
    write_file(root + "/b", "B1", "");
    write_file(root + "/own", "O1", "");
    write_file(root + "/own", "A1", "");
    write_file(root + "/own", ".hidden", "");
    write_file(root + "/shared", "S1", "");
    std::string path = root + "/a::" + root + "/b:" + root + "/missing";
    std::string shared = root + "/shared";

    DlListing l = dl_list_files(path.c_str(), root + "/own", &shared, 100, 0);
    ASSERT_EQ(l.names.size(), 5u);
    EXPECT_EQ(l.names[0], "A1");
    EXPECT_EQ(l.names[1], "B1");
    EXPECT_EQ(l.first_shared, 4u);
    EXPECT_EQ(l.names[4], "S1");

    l = dl_list_files(path.c_str(), root + "/own", nullptr, 100, DL_NO_DUPLICATES);
    EXPECT_EQ(l.names.size(), 3u);  // A1 once; no shared directory
    EXPECT_EQ(l.first_shared, 3u);

    l = dl_list_files(nullptr, root + "/own", &shared, 2, 0);
    EXPECT_EQ(l.names.size(), 2u);
    EXPECT_EQ(l.first_shared, 2u);
}

TEST(DirectoryListing, ABigDirectoryStopsAtTheCap)
{
    std::string dir = vxtest::temp_dir("big");
    for (int i = 0; i < 1200; i++)
        write_file(dir, "p" + std::to_string(i), "");
    DlListing l;
    dl_read_directory(dir, l, 1000, DL_SKIP_PROCEDURE);
    EXPECT_EQ(l.names.size(), 1000u);
}

TEST(DirectoryListing, SearchPathPieces)
{
    EXPECT_EQ(dl_split_path("a::b:"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(dl_split_path(nullptr).empty());
    EXPECT_TRUE(dl_split_path(":").empty());
}

// ---- text helpers ---------------------------------------------------------------------------

TEST(KitText, TrimUpperCapsAndBoundedCopies)
{
    EXPECT_EQ(dl_trim(" \t a b \t"), "a b");
    EXPECT_EQ(dl_trim("   "), "");
    EXPECT_EQ(dl_upper("rslt2"), "RSLT2");
    EXPECT_EQ(dl_caps("select 'it''s' from t where n = \"Ab c\""),
              "SELECT 'it''s' FROM T WHERE N = \"Ab c\"");
    EXPECT_EQ(dl_caps("x = 'open"), "X = 'open");

    char small[4];
    dl_copy(small, "abcdef");
    EXPECT_STREQ(small, "abc");
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    char two[3];
    dl_copy(two, "a\xc3\xa9");  // the two-byte character does not fit whole
    EXPECT_STREQ(two, "a");
    setlocale(LC_CTYPE, "C");
    char fixed[3] = {'a', 'b', 'c'};  // no terminator
    EXPECT_EQ(dl_view(fixed), "abc");
}

// ---- workspace picks ---------------------------------------------------------------------------

TEST(KitPicks, ReferenceTextByKind)
{
    DlColumnHead col{};
    col.kind = DL_KIND_COLUMN;
    dl_copy(col.column_name, "NAME");
    dl_copy(col.table_name, "EMP");
    struct {
        int32_t kind;
        char name[16];
    } var{DL_KIND_VARIABLE, "COUNTER"};
    struct {
        int32_t kind;
        char text[256];
        char name[13];
    } expr{0, "A + B", "SUM"};

    int saved = dl_qualify_column_names;
    dl_qualify_column_names = 0;
    EXPECT_EQ(dl_reference_text(&col), "NAME");
    dl_qualify_column_names = 1;
    EXPECT_EQ(dl_reference_text(&col), "EMP.NAME");
    dl_qualify_column_names = saved;
    EXPECT_EQ(dl_reference_text(&var), "COUNTER");
    EXPECT_EQ(dl_reference_text(&expr), "A + B");
    EXPECT_EQ(dl_kind_of(&var), DL_KIND_VARIABLE);
    EXPECT_EQ(dl_kind_of(nullptr), -1);
    EXPECT_EQ(dl_reference_text(nullptr), "");
}

}  // namespace
