// The menu module's headless parts: labels and mnemonics, the user-menu
// text, the settings directory and file rules, and the notify procedures
// of the dialog binding.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "mnbld.h"
#include "mnmisc.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct LabelCase {
    const char *text;
    const char *label;
    wchar_t mnemonic;
};

TEST(Labels, MnemonicsAreTakenOut)
{
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    std::string hundred(100, 'x');
    const LabelCase cases[] = {
        {"@Open", "Open", L'O'},
        {"Sa@ve", "Save", L'v'},
        {"Close", "Close", L' '},
        {"@Save @as", "Save as", L'a'},       // the last "@" wins
        {"\xc3\x9c@\xc3\xa4nder", "\xc3\x9c\xc3\xa4nder", L'\xe4'},  // multibyte
        {"End@", "End", L' '},
        {"", "", L' '},
    };
    for (const LabelCase &c : cases) {
        wchar_t m = 0;
        EXPECT_EQ(handle_mnemonic(c.text, &m), c.label) << c.text;
        EXPECT_EQ(m, c.mnemonic) << c.text;
    }
    // 100 characters are cut at 80.
    wchar_t m = 0;
    EXPECT_EQ(handle_mnemonic(("@" + hundred).c_str(), &m), hundred.substr(0, 80));
    EXPECT_EQ(m, L'x');
    // A cut never splits a character: 79 bytes and a two-byte character
    // leave 79.
    std::string text = std::string(79, 'a') + "\xc3\xa4" + "b";
    EXPECT_EQ(handle_mnemonic(text.c_str(), &m), std::string(79, 'a'));
    setlocale(LC_ALL, "C");
}

TEST(Labels, KeySymbols)
{
    EXPECT_EQ(char_to_keysym(L'O'), static_cast<KeySym>('O'));
    EXPECT_EQ(char_to_keysym(L'\xe4'), static_cast<KeySym>(0xe4));
    EXPECT_EQ(char_to_keysym(L'\x20ac'), static_cast<KeySym>(0x010020ac));
    EXPECT_EQ(char_to_keysym(L' '), static_cast<KeySym>(NoSymbol));
}

struct UserCase {
    const char *name;
    const char *text;
    bool menu;
    const char *title;
    std::vector<std::pair<std::string, std::string>> items;
};

TEST(UserMenus, TextFormat)
{
    const UserCase cases[] = {
        {"tools", "@Tools\nList\tls -l\n   Disk\tdf -k\n", true, "Tools", {{"List", "ls -l"}, {"Disk", "df -k"}}},
        {"title only", "Tools\n", false, "", {}},
        {"title without newline", "  Tools  ", false, "", {}},
        {"blank", " \n\t ", false, "", {}},
        {"none", nullptr, false, "", {}},
        {"trailing text without TAB", "Tools\nList\tls\nrest of it", true, "Tools", {{"List", "ls"}}},
        {"label across lines", "T\nMulti\nline\tcmd one\n", true, "T", {{"Multi\nline", "cmd one"}}},
        {"blanks trimmed, mnemonic", "  @Run  \n  Sho@w \t  echo hi  \n", true, "Run", {{"Show", "echo hi"}}},
        {"empty command", "T\nNothing\t\nNext\tx\n", true, "T", {{"Nothing", ""}, {"Next", "x"}}},
    };
    for (const UserCase &c : cases) {
        UserMenu m;
        EXPECT_EQ(parse_user_menu(c.text, m), c.menu) << c.name;
        if (!c.menu)
            continue;
        EXPECT_EQ(m.title, c.title) << c.name;
        ASSERT_EQ(m.items.size(), c.items.size()) << c.name;
        for (size_t i = 0; i < c.items.size(); i++) {
            EXPECT_EQ(m.items[i].label, c.items[i].first) << c.name;
            EXPECT_EQ(m.items[i].command, c.items[i].second) << c.name;
        }
    }
}

TEST(UserMenus, OverlongFields)
{
    std::string long_label(200, 'L');
    std::string cmd255(255, 'c');
    std::string cmd256(256, 'c');
    std::string text = std::string(150, 'T') + "\n" + long_label + "\tok\nFits\t" + cmd255 + "\nToo long\t" +
                       cmd256 + "\nAfter\tdate\n";
    UserMenu m;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(parse_user_menu(text.c_str(), m));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(m.title, std::string(123, 'T'));
    ASSERT_EQ(m.items.size(), 3u);
    EXPECT_EQ(m.items[0].label, std::string(123, 'L'));
    EXPECT_EQ(m.items[1].command, cmd255);
    EXPECT_EQ(m.items[2].label, "After");
    EXPECT_NE(err.find("Too long"), std::string::npos) << err;
}

class TempTree : public ::testing::Test {
protected:
    fs::path root;
    void SetUp() override
    {
        char templ[] = "/tmp/vxmenuXXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
    }
    void TearDown() override
    {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
        unsetenv("VX_TEST_PATH");
    }
    void write(const fs::path &p, const char *text = "x\n")
    {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text;
    }
};

// A user's own directory is 0755 and a shared one 01777, whatever the
// mask; the mask itself is left as it was.
TEST_F(TempTree, MakeDirKeepsTheMaskAndMakesOnlyTheLastComponent)
{
    mode_t old = umask(0);
    std::string dir = (root / "settings").string();
    EXPECT_EQ(mnmisc_mn_make_dir(dir.c_str()), 1);
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_EQ(umask(077), 0u) << "the mask changed";
    const std::string shared = (root / "shared").string();
    EXPECT_EQ(mnmisc_mn_make_dir(shared.c_str(), true), 1);
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 01777u);
    umask(022);
    EXPECT_EQ(mnmisc_mn_make_dir(dir.c_str()), 1);  // exists
    EXPECT_EQ(mnmisc_mn_make_dir((root / "a" / "b").c_str()), 0);
    EXPECT_EQ(mnmisc_mn_make_dir(""), 0);
    // A later file keeps the user's mask.
    std::ofstream((root / "later").string()) << "x";
    ASSERT_EQ(stat((root / "later").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    umask(old);
}

TEST_F(TempTree, SettingsLookup)
{
    fs::path own = root / "own", shared = root / "shared", search = root / "search";
    write(own / "MINE");
    write(shared / "MINE");
    write(shared / "COMMON");
    write(search / "COMMON");
    write(search / "LOCKED");
    write(own / "LOCKED");
    fs::permissions(search / "LOCKED", fs::perms::none);
    bool root_user = geteuid() == 0;
    struct Case {
        const char *name;
        const char *path_var;
        std::string expect;
    } cases[] = {
        {"COMMON", nullptr, (shared / "COMMON").string()},                        // shared
        {"MINE", nullptr, (own / "MINE").string()},                               // own first
        {"COMMON", "/nowhere:SEARCH", (search / "COMMON").string()},              // search path hit
        {"LOCKED", "SEARCH", (root_user ? search : own).string() + "/LOCKED"},    // found, will not open
        {"NONE", "SEARCH", ""},                                                   // nowhere
        {"", nullptr, ""},
    };
    for (const Case &c : cases) {
        if (c.path_var) {
            std::string v = c.path_var;
            v.replace(v.find("SEARCH"), 6, search.string());
            setenv("VX_TEST_PATH", v.c_str(), 1);
        } else {
            unsetenv("VX_TEST_PATH");
        }
        EXPECT_EQ(mnmisc_find_settings_file("VX_TEST_PATH", own.string(), shared.string(), c.name), c.expect)
            << c.name;
    }
}

TEST_F(TempTree, SaveMakesTheDirectoryAndShares)
{
    mode_t old = umask(022);
    fs::path dir = root / "formats";
    EXPECT_EQ(mnmisc_save_settings_file(dir.string(), "F1", [](FILE *f) { return fputs("one\n", f) >= 0; }),
              MN_SAVED);
    struct stat st {};
    ASSERT_EQ(stat((dir / "F1").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(umask(022), 022u);
    EXPECT_EQ(mnmisc_save_settings_file((root / "x" / "y").string(), "F", [](FILE *) { return true; }),
              MN_SAVE_NO_DIR);
    fs::create_directories(dir / "F2");  // a directory where the file should go
    EXPECT_EQ(mnmisc_save_settings_file(dir.string(), "F2", [](FILE *) { return true; }), MN_SAVE_NOT_WRITABLE);
    EXPECT_EQ(mnmisc_save_settings_file(dir.string(), "F3", [](FILE *) { return false; }), MN_SAVE_WRITE_FAILED);
    umask(old);
}

// ---- the notify procedures on a record of our own ----------------------------------

int getvals = 0, setvals = 0, popdowns = 0;
int getval(DialogRecord *, void *value)
{
    getvals++;
    *static_cast<int *>(value) = 42;
    return 0;
}
int setval(DialogRecord *, void *) { return ++setvals, 0; }
int popdown(DialogRecord *) { return ++popdowns, 0; }
int applied = 0;
void apply_once(DialogRecord *, int *done)
{
    applied++;
    *done = 1;
}
int resets = 0;
void on_reset(DialogRecord *) { resets++; }

TEST(DialogBinding, NotifyProcedures)
{
    dlmain_clear_dialogs();
    mnmisc_install_notify(40);
    DialogRecord *rec = &dlmain_dialogs[40];
    rec->getval = getval;
    rec->setval = setval;
    rec->popdown = popdown;
    int value = 0;
    EXPECT_EQ(mnmisc_mn_register(40, &value, apply_once), 1);
    EXPECT_EQ(mnmisc_mn_register(57, &value, apply_once), 0);

    // Apply: the value is read, the procedure runs once and the reset
    // hook goes.
    mnmisc_mn_tell_me_reset(on_reset);
    int done = 0;
    testing::internal::CaptureStderr();
    rec->apply(rec, &done);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(value, 42);
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(mnmisc_reset_hook(), nullptr);

    // A second Apply: the value is still read, the procedure does not run.
    value = 0;
    testing::internal::CaptureStderr();
    rec->apply(rec, &done);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning! MenuMgr. No Apply proc registered\n");
    EXPECT_EQ(value, 42);
    EXPECT_EQ(applied, 1);

    // Reset refills and calls the hook, which stays; dismiss clears it.
    mnmisc_mn_tell_me_reset(on_reset);
    done = 0;
    rec->reset(rec, &done);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(setvals, 1);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(mnmisc_reset_hook(), on_reset);
    done = 0;
    rec->dismiss(rec, &done);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(popdowns, 1);
    EXPECT_EQ(mnmisc_reset_hook(), nullptr);

    done = 1;
    testing::internal::CaptureStderr();
    rec->del(rec, &done);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Warning! MenuMgr. Unexpected DeleteNotify from dialog\n");
    EXPECT_EQ(done, 0);

    EXPECT_EQ(rec->adopt(rec, 12), &dlmain_dialogs[12]);
    EXPECT_EQ(rec->adopt(rec, 99), nullptr);
    // A slot without its dialog cannot be shown.
    EXPECT_FALSE(mnmisc_dialog_available(40));
}

}  // namespace
