// Graph format files without a display: loading along the search path,
// the own and the shared directory, with the faults a file can have;
// saving with every outcome, replacing a file only once it is whole; the
// user's default format read once per user; and the display window's
// item sensitivities over the run modes and views.

#include "gographkit.h"

#include "dsmgr.h"
#include "dygrph.h"
#include "gofile.h"
#include "grkind.h"
#include "goprop.h"
#include "mnbld.h"
#include "mndysens.h"
#include "mngfile.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Box {
    int set, number;
    std::string text;
};
std::vector<Box> errors;
void sink(int set, int number, const std::string &text) { errors.push_back({set, number, text}); }

std::string slurp(const fs::path &p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class FormatFiles : public ::testing::Test {
protected:
    fs::path root, install, own, shared;
    GoGraph *g = nullptr;
    void SetUp() override
    {
        char templ[] = "/tmp/vxgfXXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        root = templ;
        install = root / "install";
        own = install / "etc/graphs/ann";
        shared = install / "etc/graphs/shared";
        fs::create_directories(install / "etc/graphs");
        unsetenv("VX_FORMAT_PATH");
        AppData a{};
        static nl_catd catd =
            catopen((gokit::build_dir() + "/messages/SUN4SOLARIS/C/vostrelane.cat").c_str(), NL_CAT_LOCALE);
        a.catd = catd;
        a.install_dir = const_cast<char *>(install.c_str());
        mnbld_menu_init(&a);
        dsmgr_ds_init(nullptr, nullptr);
        gokit::record_boxes();
        ASSERT_TRUE(gokit::start_graphics());
        gomain_go_initialise_objects(nullptr);
        goprop_go_forget_default_graph_format();
        mngraph_set_error_sink(sink);
        errors.clear();
        mngraph_mn_set_graph_dirs("ann");
        dygrph_dy_resize(600, 450);
        const int r[4] = {5, 5, 300, 200};
        g = dygrph_dy_new_graph(0, 0, 0, r);
        ASSERT_NE(g, nullptr);
    }
    void TearDown() override
    {
        dygrph_dy_clear_graph(0, 0);
        mngraph_set_error_sink(nullptr);
        mngraph_mn_set_graph_dirs("");
        goprop_go_forget_default_graph_format();
        gokit::stop_graphics();
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        for (auto &e : fs::recursive_directory_iterator(root))
            if (e.is_directory())
                fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    // A format file holding the graph's format with a changed title size.
    void write_format(const fs::path &p, double titlesize)
    {
        fs::create_directories(p.parent_path());
        const double old = g->format->titlesize;
        g->format->titlesize = titlesize;
        FILE *f = fopen(p.c_str(), "w");
        ASSERT_NE(f, nullptr);
        gofile_go_write_graph(g, f);
        fclose(f);
        g->format->titlesize = old;
    }
};

TEST_F(FormatFiles, LoadFindsTheFileAndReportsEachFault)
{
    write_format(own / "MINE", 11);
    write_format(shared / "COMMON", 12);
    write_format(shared / "MINE", 13);  // the own one comes first
    write_format(root / "path" / "COMMON", 14);
    std::ofstream(own / "GARBAGE") << "\ttitlesize 21\n\tnosuchproperty 1\n\ttitlesize 22\n\t;\n";
    std::ofstream(own / "CUT") << "\ttitlesize 23\n";
    struct Case {
        const char *name;
        const char *path_variable;
        int result;
        double titlesize;      // what the format holds after
        int message;           // 66/n, 0 none
        std::string shown;     // the path the message names
    } cases[] = {
        {"MINE", nullptr, 0, 11, 0, ""},
        {"COMMON", nullptr, 0, 12, 0, ""},
        {"COMMON", "path", 0, 14, 0, ""},
        {"MINE", "path", 0, 11, 0, ""},  // not along the path: the own one
        {"NOWHERE", nullptr, 1, -1, 27, (shared / "NOWHERE").string()},
        {"GARBAGE", nullptr, 2, 21, 28, (own / "GARBAGE").string()},
        {"CUT", nullptr, 2, 23, 28, (own / "CUT").string()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.path_variable ? " along the path" : ""));
        if (c.path_variable)
            setenv("VX_FORMAT_PATH", (root / c.path_variable).c_str(), 1);
        else
            unsetenv("VX_FORMAT_PATH");
        g->format->titlesize = -1;
        g->format->filename[0] = '\0';
        errors.clear();
        EXPECT_EQ(mngraph_mn_load_graph_format(c.name), c.result);
        EXPECT_EQ(g->format->titlesize, c.titlesize);
        if (c.message) {
            ASSERT_EQ(errors.size(), 1u);
            EXPECT_EQ(errors[0].number, c.message);
            EXPECT_NE(errors[0].text.find(c.shown), std::string::npos) << errors[0].text;
            EXPECT_STREQ(g->format->filename, "") << "a failed load names no file";
        } else {
            EXPECT_TRUE(errors.empty());
            EXPECT_EQ(fs::path(g->format->filename).filename(), c.name);
        }
    }
}

TEST_F(FormatFiles, LoadOfAKindTheGraphCannotTakeIsPutBack)
{
    fs::create_directories(own);
    std::ofstream(own / "HBARS") << "\tgraphtype 6\n\ttitlesize 31\n\t;\n";
    g->kind = g->format->graphtype = 0;
    g->zoomed = 1;  // horizontal bars cannot be zoomed
    EXPECT_EQ(mngraph_mn_load_graph_format("HBARS"), 3);
    EXPECT_EQ(g->format->graphtype, 0) << "the kind put back";
    EXPECT_EQ(g->format->titlesize, 31) << "the rest taken";
    ASSERT_EQ(gokit::boxes().size(), 1u);
    EXPECT_EQ(gokit::boxes()[0].rfind("69/9:", 0), 0u);
    g->zoomed = 0;
}

TEST_F(FormatFiles, SaveOutcomes)
{
    const std::string long_name(256, 'L');
    fs::create_directories(root / "locked");
    fs::create_directories(root / "adir");
    fs::permissions(root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        const char *what;
        std::string name;
        int where;
        int result;
        int message;
        fs::path written;
    } cases[] = {
        {"own", "SALES", 1, 0, 0, own / "SALES"},
        {"shared", "SALES", 0, 0, 0, shared / "SALES"},
        {"path", (root / "elsewhere.fmt").string(), 2, 0, 0, root / "elsewhere.fmt"},
        {"empty", "", 1, 1, 0, {}},
        {"256 characters", long_name, 1, 4, 0, {}},
        {"directory not made", (root / "no/such/dir/F").string(), 2, 5, 30, {}},
        {"read-only directory", (root / "locked/F").string(), 2, 6, 27, {}},
        {"a directory's name", (root / "adir").string(), 2, 6, 27, {}},
    };
    const mode_t old_mask = umask(022);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (geteuid() == 0 && c.name.find("locked") != std::string::npos)
            continue;  // root writes into read-only directories
        errors.clear();
        EXPECT_EQ(mngraph_mn_save_graph_format(g, c.name.c_str(), c.where), c.result);
        ASSERT_EQ(errors.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(errors[0].number, c.message);
        }
        if (!c.written.empty()) {
            EXPECT_NE(slurp(c.written).find("\t;\n"), std::string::npos);
            EXPECT_EQ(fs::status(c.written).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                          fs::perms::others_read);
            EXPECT_STREQ(g->format->filename, c.written.c_str());
            EXPECT_STREQ(g->format->graphname, c.written.filename().c_str()) << "the name saved under";
            EXPECT_EQ(mngraph_mn_have_named_graph(), 1);
        }
    }
    umask(old_mask);
    EXPECT_EQ(fs::status(shared).permissions() & fs::perms::sticky_bit, fs::perms::sticky_bit);
}

TEST_F(FormatFiles, AWriteCutShortKeepsTheOldFile)
{
    ASSERT_EQ(mngraph_mn_save_graph_format(g, "KEPT", 1), 0);
    const std::string before = slurp(own / "KEPT");
    g->format->titlesize = 77;
    errors.clear();
    // The file may grow to a few bytes only; the signal would end the test.
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit limit{}, saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit.rlim_cur = 64;
    limit.rlim_max = saved.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int result = mngraph_mn_save_graph_format(g, "KEPT", 1);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(result, 6);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 27);
    EXPECT_EQ(slurp(own / "KEPT"), before) << "the old file intact";
    int files = 0;
    for (auto &e : fs::directory_iterator(own))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1) << "no partial file left beside it";
}

TEST_F(FormatFiles, TheUsersDefaultIsReadOncePerUser)
{
    // Save default under ann: the default format of every new graph.
    g->format->titlesize = 42;
    ASSERT_EQ(mngraph_mn_save_graph_format(g, ".DEFAULT", 1), 0);
    goprop_go_set_default_graph_format(g->format);
    EXPECT_STREQ(g->format->graphname, ".DEFAULT");
    // bob has no default: the built-in one, not ann's.
    mngraph_mn_set_graph_dirs("bob");
    EXPECT_NE(goprop_go_default_graph_format()->titlesize, 42);
    const double builtin = goprop_go_default_graph_format()->titlesize;
    // Back to ann: the file is read again.
    mngraph_mn_set_graph_dirs("ann");
    EXPECT_EQ(goprop_go_default_graph_format()->titlesize, 42);
    // The same user again: not read again (a changed file waits).
    std::ofstream(own / ".DEFAULT") << "\ttitlesize 43\n\t;\n";
    mngraph_mn_set_graph_dirs("ann");
    EXPECT_EQ(goprop_go_default_graph_format()->titlesize, 42);
    // A user whose .DEFAULT is garbage keeps the built-in default.
    fs::create_directories(install / "etc/graphs/cy");
    std::ofstream(install / "etc/graphs/cy/.DEFAULT") << "\tnonsense 1\n";
    mngraph_mn_set_graph_dirs("cy");
    EXPECT_EQ(goprop_go_default_graph_format()->titlesize, builtin);
    // A fresh process's directories restore ann's saved default.
    dygrph_dy_clear_graph(0, 0);
    g = nullptr;
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        goprop_go_forget_default_graph_format();
        mngraph_mn_set_graph_dirs("ann");
        _exit(goprop_go_default_graph_format()->titlesize == 43 ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(FormatFiles, AUserNameThatIsNoDirectoryNameHasNoOwnDirectory)
{
    for (const char *user : {"", ".", "..", "../ann", "a/b", "shared"}) {
        SCOPED_TRACE(user);
        mngraph_mn_set_graph_dirs(user);
        EXPECT_EQ(mngraph_own_dir(), "");
        EXPECT_EQ(mngraph_shared_dir(), shared.string());
        errors.clear();
        EXPECT_EQ(mngraph_mn_save_graph_format(g, "F", 1), 5);
        EXPECT_EQ(errors.size(), 1u);
    }
    EXPECT_FALSE(fs::exists(install / "etc/graphs/F"));
    EXPECT_FALSE(fs::exists(install / "etc/F"));
    mngraph_mn_set_graph_dirs("ann");
    EXPECT_EQ(mngraph_own_dir(), own.string());
}

// ---- sensitivities -----------------------------------------------------------------------

TEST(DisplaySensitivity, EveryRuleOverRunModesAndViews)
{
    using R = bool MnDySensitivity::*;
    struct Rule {
        const char *item;
        R field;
        bool (*expected)(const MnDySensState &s);
    };
    static const Rule rules[] = {
        {"new view", &MnDySensitivity::new_view,
         [](const MnDySensState &s) { return s.run_mode == 0 && (s.slot_not_first || s.slot_has_dataset); }},
        {"new graph", &MnDySensitivity::new_graph,
         [](const MnDySensState &s) { return s.run_mode == 0 && s.graph_view && s.selected && s.has_data; }},
        {"load", &MnDySensitivity::load,
         [](const MnDySensState &s) { return s.selected && (s.run_mode == 0 || s.run_mode == 3) && s.graph_view; }},
        {"save", &MnDySensitivity::save,
         [](const MnDySensState &s) {
             return s.selected && (s.run_mode == 0 || s.run_mode == 3) && s.graph_view && s.named_graph;
         }},
        {"delete", &MnDySensitivity::delete_, [](const MnDySensState &s) { return s.graph_view != 0; }},
        {"keep", &MnDySensitivity::keep,
         [](const MnDySensState &s) { return s.run_mode == 0 && s.graph_view && s.slot_has_dataset; }},
        {"format", &MnDySensitivity::format,
         [](const MnDySensState &s) { return s.selected && (s.run_mode == 0 || s.run_mode == 3) && s.graph_view; }},
        {"background", &MnDySensitivity::background, [](const MnDySensState &s) { return s.graph_view != 0; }},
        {"order toggles", &MnDySensitivity::order_toggles,
         [](const MnDySensState &s) {
             return s.selected && (s.run_mode == 0 || s.run_mode == 3) && s.graph_view && !s.has_data;
         }},
        {"annotate", &MnDySensitivity::annotate,
         [](const MnDySensState &s) {
             return s.selected && (s.run_mode == 0 || s.run_mode == 3) && s.graph_view && s.has_primary_data;
         }},
        {"as graph", &MnDySensitivity::as_graph, [](const MnDySensState &s) { return !s.graph_view; }},
        {"as table", &MnDySensitivity::as_table, [](const MnDySensState &s) { return s.graph_view != 0; }},
        {"position, move", &MnDySensitivity::place,
         [](const MnDySensState &s) { return s.selected && s.graph_view && (s.run_mode == 0 || s.run_mode == 3); }},
        {"zoom", &MnDySensitivity::zoom,
         [](const MnDySensState &s) { return s.selected && s.graph_view && s.has_primary_data; }},
        {"unzoom", &MnDySensitivity::unzoom,
         [](const MnDySensState &s) { return s.selected && s.graph_view && s.zoomed; }},
        {"maximise", &MnDySensitivity::maximise,
         [](const MnDySensState &s) { return s.selected && s.graph_view && !s.maximised; }},
        {"restore", &MnDySensitivity::restore,
         [](const MnDySensState &s) { return s.selected && s.graph_view && s.maximised; }},
        {"snapshot", &MnDySensitivity::snapshot, [](const MnDySensState &s) { return s.graph_view != 0; }},
        {"print files", &MnDySensitivity::print_files,
         [](const MnDySensState &s) { return s.run_mode == 0 || s.run_mode == 3; }},
        {"print save, mark", &MnDySensitivity::print_named,
         [](const MnDySensState &s) { return (s.run_mode == 0 || s.run_mode == 3) && s.named_hc; }},
        {"e-mail", &MnDySensitivity::email, [](const MnDySensState &s) { return s.email_entry != 0; }},
        {"preview", &MnDySensitivity::preview,
         [](const MnDySensState &s) { return s.graph_view && s.preview_entry; }},
    };
    // Every run mode and view, with each other input on and off in a
    // few patterns that separate the rules.
    int checked = 0;
    for (int mode = 0; mode <= 6; mode++)
        for (int view = 0; view <= 1; view++)
            for (unsigned bits = 0; bits < 2048; bits += 7) {
                MnDySensState s{};
                s.run_mode = mode;
                s.graph_view = view;
                s.selected = bits & 1;
                s.has_data = s.has_primary_data = (bits >> 1) & 1;
                s.zoomed = (bits >> 2) & 1;
                s.maximised = (bits >> 3) & 1;
                s.slot_not_first = (bits >> 4) & 1;
                s.slot_has_dataset = (bits >> 5) & 1;
                s.named_graph = (bits >> 6) & 1;
                s.named_hc = (bits >> 7) & 1;
                s.email_entry = (bits >> 8) & 1;
                s.preview_entry = (bits >> 9) & 1;
                const MnDySensitivity r = mndy_sensitivity(s);
                EXPECT_EQ(r.graph_rules, mode == 0 || mode == 3 || mode == 4) << "mode " << mode;
                EXPECT_EQ(r.view_rules, mode != 5 && mode != 6) << "mode " << mode;
                for (const Rule &rule : rules) {
                    EXPECT_EQ(r.*rule.field, rule.expected(s))
                        << rule.item << " in mode " << mode << ", view " << view << ", inputs " << bits;
                    checked++;
                }
            }
    EXPECT_GT(checked, 0);
}

}  // namespace
