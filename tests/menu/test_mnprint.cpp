// Print settings without a display: properties and their checks, settings
// files, the default set and the old per-user file, commands run with
// their files in the environment, e-mail and preview with a print
// procedure of the test's own.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dsput.h"
#include "mnbld.h"
#include "mndy.h"
#include "mnmisc.h"
#include "mnprint.h"
#include "vxcat.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path &p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Hardcopy : public ::testing::Test {
protected:
    fs::path root, home, install;
    void SetUp() override
    {
        char templ[] = "/tmp/vxhcXXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        home = root / "home";
        install = root / "install";
        fs::create_directories(home);
        fs::create_directories(install / "etc" / "hardcopy");
        setenv("HOME", home.c_str(), 1);
        unsetenv("VX_HARDCOPY_PATH");
        setenv("VX_FILTERS_FILE", (root / "filters").c_str(), 1);
        std::ofstream(root / "filters") << "CONV : GIF : convert-gif\nCONV : TIFF : convert-tiff\n"
                                           "EMAIL :: cat \"$INFILE\" > " << (root / "mailed").string() << "\n";
        AppData a{};
        a.catd = NL_NO_CATALOGUE;
        a.install_dir = const_cast<char *>(install.c_str());
        mnbld_menu_init(&a);
        mnprint_reset_printer_setup();
        mnprint_mn_set_hc_dirs();
    }
    void TearDown() override
    {
        fs::permissions(install / "etc" / "hardcopy", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
        unsetenv("VX_FILTERS_FILE");
        unsetenv("VX_HARDCOPY_PATH");
        mn_hooks = MnHooks{};
    }
    fs::path set(const char *name) { return install / "etc" / "hardcopy" / name; }
};

TEST_F(Hardcopy, ChecksPerProperty)
{
    struct {
        const char *name;
        double good_low, good_high, bad_low, bad_high;
    } numbers[] = {
        {"tableformat", 0, 1, -1, 2},   {"orientation", 0, 1, -1, 2},   {"tableoutput", 0, 2, -1, 3},
        {"graphoutput", 0, 2, -1, 3},   {"graphformat", 1, 24, 0, 25},  {"imagescale", 1, 9999, 0, 10000},
        {"pageheight", 1, 100, 0.99, 100.01}, {"pagewidth", 1, 100, 0.5, 101},
        {"leftmargin", -1, 100, -0.5, 100.5}, {"bottommargin", 0, 100, -2, 1000},
    };
    for (auto &c : numbers) {
        int number, type;
        ASSERT_TRUE(mnprint_mn_lookup_hardcopy_property(c.name, &number, &type)) << c.name;
        for (auto [v, ok] : {std::pair{c.good_low, 1}, {c.good_high, 1}, {c.bad_low, 0}, {c.bad_high, 0}}) {
            int32_t i = static_cast<int32_t>(v);
            const void *value = type == HC_REAL ? static_cast<const void *>(&v) : &i;
            EXPECT_EQ(mnprint_mn_check_hardcopy_property_value(number, value), ok) << c.name << " " << v;
        }
    }
    std::string s255(255, 'x'), s256(256, 'x');
    EXPECT_EQ(mnprint_mn_check_hardcopy_property_value(HC_PSPRINT, s255.c_str()), 1);
    EXPECT_EQ(mnprint_mn_check_hardcopy_property_value(HC_PSPRINT, s256.c_str()), 0);
    EXPECT_EQ(mnprint_mn_check_hardcopy_property_value(2, s256.c_str()), 0);
    int number, type;
    EXPECT_FALSE(mnprint_mn_lookup_hardcopy_property("nosuch", &number, &type));
}

TEST_F(Hardcopy, GraphFormatCopiesItsConversion)
{
    std::ofstream(set("ONLY")) << "graphformat\t7\n";
    ASSERT_EQ(mnprint_mn_load_hardcopy_file(set("ONLY").c_str(), 0), 0);
    PrinterValue *v = mnprint_mn_printer_setup();
    EXPECT_EQ(v->graphformat, 7);
    EXPECT_STREQ(v->conversion, "convert-tiff");
    EXPECT_EQ(v->tableformat, 0);  // nothing else changed
    EXPECT_EQ(v->pagewidth, 8.5);
    int32_t f = 8;  // no third entry
    mnprint_mn_set_hardcopy_property(3, &f);
    EXPECT_STREQ(v->conversion, "");
    f = 6;
    mnprint_mn_set_hardcopy_property(3, &f);
    EXPECT_STREQ(v->conversion, "convert-gif");
    f = 2;
    mnprint_mn_set_hardcopy_property(3, &f);
    EXPECT_STREQ(v->conversion, "");
}

TEST_F(Hardcopy, AllPropertiesSavedAndLoadedInAnyOrder)
{
    // Under any mask the set is the user's own: no one else writes it.
    mode_t old = umask(0);
    PrinterValue *v = mnprint_mn_printer_setup();
    v->tableformat = 1;
    v->graphoutput = 2;
    strcpy(v->tablefile, "");
    strcpy(v->graphfile, "/tmp/with blanks/g.ps");
    v->pageheight = 29.7;
    v->leftmargin = 2.5;
    v->imagescale = 250;
    strcpy(mnprint_print_command(HC_PSPRINT), "lp -d laser");
    ASSERT_EQ(mnprint_mn_save_hardcopy_file(set("ALL").c_str()), 0);
    struct stat st {};
    ASSERT_EQ(stat(set("ALL").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    umask(old);
    std::string text = slurp(set("ALL"));
    EXPECT_NE(text.find("tablefile\t-\n"), std::string::npos) << text;
    EXPECT_NE(text.find("plainprint\t-\n"), std::string::npos) << text;

    // Shuffled back in: every value as it was.
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 21u);
    std::rotate(lines.begin(), lines.begin() + 8, lines.end());
    std::swap(lines[0], lines[20]);
    std::ofstream out(set("SHUFFLED"));
    for (auto &l : lines)
        out << l << "\n";
    out.close();
    PrinterValue saved = *v;
    mnprint_reset_printer_setup();
    ASSERT_EQ(mnprint_mn_load_hardcopy_file(set("SHUFFLED").c_str(), 0), 0);
    EXPECT_EQ(v->tableformat, saved.tableformat);
    EXPECT_EQ(v->graphoutput, saved.graphoutput);
    EXPECT_STREQ(v->tablefile, "");
    EXPECT_STREQ(v->graphfile, saved.graphfile);
    EXPECT_DOUBLE_EQ(v->pageheight, 29.7);
    EXPECT_DOUBLE_EQ(v->leftmargin, 2.5);
    EXPECT_EQ(v->imagescale, 250);
    EXPECT_STREQ(mnprint_print_command(HC_PSPRINT), "lp -d laser");
    EXPECT_STREQ(mnprint_print_command(HC_PLAINPRINT), "");
    EXPECT_EQ(mnprint_hcpath(), set("SHUFFLED").string());
}

TEST_F(Hardcopy, BadFilesKeepWhatWasRead)
{
    std::ofstream(set("BAD")) << "tableformat\t1\nnosuch\t3\ngraphformat\t2\n";
    EXPECT_EQ(mnprint_mn_load_hardcopy_file(set("BAD").c_str(), 0), 2);
    EXPECT_EQ(mnprint_mn_printer_setup()->tableformat, 1);
    EXPECT_EQ(mnprint_mn_printer_setup()->graphformat, 1);
    EXPECT_EQ(mnprint_mn_load_hardcopy_file(set("MISSING").c_str(), 0), 1);
    std::ofstream(set("RANGE")) << "imagescale\t0\n";
    EXPECT_EQ(mnprint_mn_load_hardcopy_file(set("RANGE").c_str(), 0), 2);
    EXPECT_EQ(mnprint_mn_printer_setup()->imagescale, 1);
    EXPECT_EQ(mnprint_mn_save_hardcopy_file(""), 1);
    EXPECT_EQ(mnprint_mn_save_hardcopy_file(("/tmp/" + std::string(260, 'n')).c_str()), 4);
}

TEST_F(Hardcopy, SearchPathSetIsSavedWhereItWasFound)
{
    fs::create_directories(root / "search");
    std::ofstream(root / "search" / "LASER") << "orientation\t0\n";
    setenv("VX_HARDCOPY_PATH", (root / "search").c_str(), 1);
    ASSERT_EQ(mnprint_mn_load_hardcopy_file(set("LASER").c_str(), 0), 0);
    EXPECT_EQ(mnprint_mn_printer_setup()->orientation, 0);
    ASSERT_EQ(mnprint_mn_save_hardcopy_file(set("LASER").c_str()), 0);
    EXPECT_FALSE(fs::exists(set("LASER")));
    EXPECT_NE(slurp(root / "search" / "LASER").find("imagescale\t1\n"), std::string::npos);
}

TEST_F(Hardcopy, DefaultSetAndTheOldPerUserFile)
{
    // .vxdefhc names a set that is loaded silently; a name too long for a
    // set is no set.
    std::ofstream(set("MINE")) << "pagewidth\t21\n";
    std::ofstream(home / ".vxdefhc") << "MINE\n";
    mnprint_mn_set_hc_dirs();
    EXPECT_EQ(mnprint_default_hc(), "MINE");
    EXPECT_DOUBLE_EQ(mnprint_mn_printer_setup()->pagewidth, 21);
    std::ofstream(home / ".vxdefhc") << std::string(15, 'L') << "\n";
    mnprint_reset_printer_setup();
    mnprint_mn_set_hc_dirs();
    EXPECT_DOUBLE_EQ(mnprint_mn_printer_setup()->pagewidth, 8.5);

    // The old file: kept while the hardcopy directory is read-only...
    std::ofstream(home / ".vxprinter") << "pageheight\t30\n";
    setenv("LOGNAME", "averyveryverylongname", 1);
    fs::permissions(install / "etc" / "hardcopy", fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() != 0) {
        testing::internal::CaptureStderr();
        mnprint_mn_set_hc_dirs();
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(fs::exists(home / ".vxprinter"));
    }
    // ... and made the user's default set, under the upper-cased name cut
    // to 14, once it can be saved.
    fs::permissions(install / "etc" / "hardcopy", fs::perms::owner_all, fs::perm_options::add);
    mnprint_mn_set_hc_dirs();
    EXPECT_FALSE(fs::exists(home / ".vxprinter"));
    EXPECT_TRUE(fs::exists(set("AVERYVERYVERYL")));
    EXPECT_EQ(slurp(home / ".vxdefhc"), "AVERYVERYVERYL\n");
    EXPECT_EQ(mnprint_default_hc(), "AVERYVERYVERYL");
    unsetenv("LOGNAME");

    // Mark default without HOME writes nothing.
    fs::remove(home / ".vxdefhc");
    unsetenv("HOME");
    mnprint_mn_mark_default_hc(nullptr);
    EXPECT_FALSE(fs::exists(home / ".vxdefhc"));
}

// ---- commands, e-mail and preview ------------------------------------------------------

TEST_F(Hardcopy, CommandsGetTheirFilesIntact)
{
    fs::path log = root / "log";
    std::string command = "printf '%s|%s' \"$INFILE\" \"$OUTFILE\" > '" + log.string() + "'";
    std::vector<std::string> files = {"with blanks.ps", "quote'\"d", "semi; touch " + (root / "ran").string(),
                                      "$(touch " + (root / "ran").string() + ")", "new\nline"};
    for (const std::string &f : files) {
        EnvPair pairs[2]{};
        strcpy(pairs[0].name, "INFILE");
        strcpy(pairs[0].value, f.c_str());
        strcpy(pairs[1].name, "OUTFILE");
        strcpy(pairs[1].value, (f + ".out").c_str());
        EXPECT_EQ(process_cmd_line(pairs, command.c_str(), 2), 1);
        EXPECT_EQ(slurp(log), f + "|" + f + ".out");
        EXPECT_FALSE(fs::exists(root / "ran")) << f;
        EXPECT_STREQ(getenv("INFILE"), f.c_str());  // left set
    }
    EXPECT_EQ(process_cmd_line(nullptr, "", 0), 0);
}

int prints = 0;
int print_result = 1;
std::string printed_to;
int test_print(int)
{
    prints++;
    PrinterValue *v = mnprint_mn_printer_setup();
    printed_to = mndy_mn_output_mode() == 1 ? v->graphfile : v->tablefile;
    std::ofstream(printed_to, std::ios::app) << "printed\n";
    return print_result;
}

TEST_F(Hardcopy, EmailAndPreview)
{
    mn_hooks.print_graph = test_print;
    mn_hooks.print_table = test_print;
    PrinterValue *v = mnprint_mn_printer_setup();
    int32_t format = 7;  // TIFF
    mnprint_mn_set_hardcopy_property(3, &format);
    strcpy(v->graphfile, "kept.ps");
    PrinterValue before = *v;
    long pid = getpid();

    mndy_mn_set_output_mode(1);
    // A symlink planted at the first name is left alone.
    std::string first = "/tmp/graphfile_" + std::to_string(pid) + "_0.tiff";
    fs::remove(first);
    fs::create_symlink(root / "victim", first);
    mn_send_via_email(nullptr);
    EXPECT_FALSE(fs::exists(root / "victim"));
    EXPECT_EQ(printed_to, "/tmp/graphfile_" + std::to_string(pid) + "_1.tiff");
    EXPECT_EQ(slurp(root / "mailed"), "printed\n");
    fs::remove(first);
    fs::remove(printed_to);
    EXPECT_EQ(v->graphformat, 7);
    EXPECT_STREQ(v->graphfile, "kept.ps");
    EXPECT_EQ(v->graphoutput, before.graphoutput);

    // Tables count on their own.
    mndy_mn_set_output_mode(0);
    mn_send_via_email(nullptr);
    EXPECT_EQ(printed_to, "/tmp/tablefile_" + std::to_string(pid) + "_0.txt");
    fs::remove(printed_to);
    EXPECT_EQ(v->tableoutput, before.tableoutput);

    // Printing fails: nothing is mailed, the settings are back.
    fs::remove(root / "mailed");
    print_result = 0;
    mndy_mn_set_output_mode(1);
    mn_send_via_email(nullptr);
    fs::remove(printed_to);
    EXPECT_FALSE(fs::exists(root / "mailed"));
    EXPECT_STREQ(v->graphfile, "kept.ps");
    print_result = 1;

    // Preview without a preview command: printed as PostScript to its
    // file, which is gone afterwards; the settings unchanged.
    mn_print_preview(nullptr);
    EXPECT_EQ(printed_to, "/tmp/.ghostview." + std::to_string(pid));
    EXPECT_FALSE(fs::exists(printed_to));
    EXPECT_EQ(v->graphformat, 7);
    EXPECT_STREQ(v->conversion, "convert-tiff");
    EXPECT_STREQ(v->graphfile, "kept.ps");
    mndy_mn_set_output_mode(0);
}

}  // namespace
