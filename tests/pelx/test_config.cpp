// The configuration language (tokens, tree, includes, environment
// references, hash table, revision stamps) and the configuration reader.

#include "pelxtest.h"

#include "grecord.h"
#include "vxtest.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

std::vector<std::string> tokens(const std::string &text, int *lines = nullptr)
{
    FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    std::vector<std::string> out;
    char buf[256];
    int line = 1;
    while (glex_GReadToken(f, buf, 255, &line))
        out.push_back(buf);
    fclose(f);
    if (lines)
        *lines = line;
    return out;
}

using V = std::vector<std::string>;

TEST(Tokens, Cases)
{
    struct Case {
        std::string text;
        V want;
    } cases[] = {
        {"colours:{", {"colours", ":", "{"}},
        {"colours : {\n", {"colours", ":", "{"}},
        {"name : \"a b : { } c\" ", {"name", ":", "a b : { } c"}},
        {"na/* note */me : x ", {"name", ":", "x"}},              // a comment does not end a word
        {"a/b a//b c ", {"a/b", "a/b", "c"}},                      // two slashes count as one
        {"a//* comment */b ", {"ab"}},
        {"x\"quoted\" ", {"x", "quoted"}},                        // a quote ends the word before it
        {"\"\" ", {""}},                                           // empty quoted string
        {"last", {}},                                              // the last word is lost at the end
        {"one two", {"one"}},
        {"open \"never closed", {"open"}},
        {"/* unterminated comment", {}},
        {"}}", {"}", "}"}},
    };
    for (auto &c : cases)
        EXPECT_EQ(tokens(c.text), c.want) << c.text;
}

TEST(Tokens, LinesAndLength)
{
    int lines;
    tokens("a\n\"b\nc\"\n/* x\ny */ d\n", &lines);
    EXPECT_EQ(lines, 6);
    // 254 characters make a token; 255 never complete.
    EXPECT_EQ(tokens(std::string(254, 'w') + " ").at(0).size(), 254u);
    EXPECT_EQ(tokens(std::string(255, 'w') + " x "), V{});
}

TEST(Hash, InsertLookupDelete)
{
    GHashTable *h = ghash_GCreateHashTable(1009);
    ASSERT_NE(h, nullptr);
    struct {
        const char *key;
        long value;
    } keys[] = {{"a", 1}, {"ab", 2}, {"abc", 3}, {"abcd", 4}, {"abcz", 5}, {"abcdefgh", 6}, {"abd", 7}};
    for (auto &k : keys)
        ASSERT_EQ(ghash_GInsertHash(h, k.key, int(strlen(k.key)), k.value), 0);
    for (auto &k : keys)
        EXPECT_EQ(ghash_GHash(h, k.key, int(strlen(k.key))), k.value) << k.key;
    EXPECT_EQ(ghash_GHash(h, "abce", 4), -1);
    EXPECT_EQ(ghash_GHash(h, "", 0), -1);
    // The earliest entry of a key is found and deleted first.
    ghash_GInsertHash(h, "ab", 2, 20);
    EXPECT_EQ(ghash_GHash(h, "ab", 2), 2);
    EXPECT_EQ(ghash_GDeleteHash(h, "ab", 2), 0);
    EXPECT_EQ(ghash_GHash(h, "ab", 2), 20);
    EXPECT_EQ(ghash_GDeleteHash(h, "ab", 2), 0);
    EXPECT_EQ(ghash_GDeleteHash(h, "ab", 2), -1);
    ghash_GDestroyHashTable(h);
}

TEST(Environment, References)
{
    setenv("PELX_T_HOME", "/home/u", 1);
    unsetenv("PELX_T_UNSET");
    struct Case {
        const char *text, *want;
        bool unset_reported;
    } cases[] = {
        {"$PELX_T_HOME/etc", "/home/u/etc", false},
        {"\\$PELX_T_HOME/etc", "\\$PELX_T_HOME/etc", false},
        {"$PELX_T_HOME2x", "/home/u2x", false},  // digits end the name
        {"a$PELX_T_HOME:$PELX_T_HOME", "a/home/u:/home/u", false},
        {"<$PELX_T_UNSET>", "<>", true},
        {"no reference", "no reference", false},
        {"cost $5 or $", "cost $5 or $", false},  // a "$" without a name stays
    };
    for (auto &c : cases) {
        CaptureStderr();
        char *r = GExpandParseString(c.text);
        std::string err = GetCapturedStderr();
        ASSERT_NE(r, nullptr);
        EXPECT_STREQ(r, c.want) << c.text;
        EXPECT_EQ(err.find("(3,20)") != std::string::npos, c.unset_reported) << c.text;
        if (c.unset_reported) {
            EXPECT_NE(err.find("\tPELX_T_UNSET\n"), std::string::npos);
        }
        free(r);
    }
}

class Files : public testing::Test {
protected:
    std::string dir = vxtest::temp_dir("pelx-config");
    GHashTable *keys = nullptr;
    void SetUp() override
    {
        keys = ghash_GCreateHashTable(1009);
        GSetupConfigHash(keys);
    }
    void TearDown() override { ghash_GDestroyHashTable(keys); }
    std::string put(const std::string &name, const std::string &text)
    {
        write_file(dir + "/" + name, text);
        return dir + "/" + name;
    }
    // Parses a file; the tree printed as "keyword=value[children]" items.
    int parse(const std::string &name, std::string &out)
    {
        FILE *f = gparse_GOpenParseFile(name.c_str(), dir.c_str());
        if (!f)
            return -2;
        GParseNode *tree = nullptr;
        int line = 1;
        int r = gparse_GCreateParseTree(&tree, f, dir.c_str(), keys, &line);
        gparse_GCloseParseFile(f);
        out = show(tree);
        gparse_GFreeParseTree(tree);
        return r;
    }
    static std::string show(const GParseNode *n)
    {
        std::string s;
        for (; n; n = n->next) {
            s += n->keyword >= 0 ? gconfig_keys[n->keyword] : "?";
            s += "@" + std::to_string(n->line);
            if (n->value)
                s += std::string("=") + n->value;
            if (n->child)
                s += "[" + show(n->child) + "]";
            s += " ";
        }
        return s;
    }
};

TEST_F(Files, RevisionStamps)
{
    struct Case {
        const char *text;
        int wanted, result, reason;
    } cases[] = {
        {"/* PelxRevisionNumber: 1 */\n", 1, 0, 0},
        {"/*\n   PelxRevisionNumber:   1 0\n*/\n", 1, 0, 0},
        {"/* PelxRevisionNumber: 2 */\n", 1, -1, 3},
        {"/* PelxRevisionNumber: 2 */\n", 2, 0, 0},
        {"colours : { }\n", 1, -1, 2},
        {"PelxRevisionNumber:", 1, -1, 2},
        {"PelxRevisionNumber: x", 1, -1, 2},
    };
    for (auto &c : cases) {
        int reason = -5;
        EXPECT_EQ(grev_GCheckFileRevision(put("stamp", c.text).c_str(), c.wanted, &reason), c.result) << c.text;
        EXPECT_EQ(reason, c.reason) << c.text;
    }
    int reason;
    EXPECT_EQ(grev_GCheckFileRevision((dir + "/none").c_str(), 1, &reason), -1);
    EXPECT_EQ(reason, 1);
    // A device that never ends is not read at all.
    EXPECT_EQ(grev_GCheckFileRevision("/dev/zero", 1, &reason), -1);
    EXPECT_EQ(reason, 1);
    EXPECT_EQ(grev_GCheckFileRevision(dir.c_str(), 1, &reason), -1);
    std::string big = std::string(300, 'z') + " PelxRevisionNumber: 1\n";
    EXPECT_EQ(grev_GCheckFileRevision(put("big", big).c_str(), 1, &reason), -1);
    EXPECT_EQ(reason, 2);
    // A stamp the library writes is one it accepts.
    FILE *f = fopen((dir + "/dumped").c_str(), "w");
    grev_GDumpFileRevision(f);
    fputs("colours : { }\n", f);
    fclose(f);
    EXPECT_EQ(grev_GCheckFileRevision((dir + "/dumped").c_str(), 1, &reason), 0);
    std::string tree;
    EXPECT_EQ(parse("dumped", tree), 0);
    EXPECT_EQ(tree, "colours@8 ");

    // Opening for the parse reports each reason with the path.
    struct Open {
        const char *name, *text;
        std::pair<int, int> error;
    } opens[] = {{"nostamp", "x : y\n", {3, 18}}, {"wrong", "/* PelxRevisionNumber: 7 */", {3, 19}}};
    for (auto &o : opens) {
        put(o.name, o.text);
        CaptureStderr();
        EXPECT_EQ(gparse_GOpenParseFile(o.name, dir.c_str()), nullptr);
        std::string err = GetCapturedStderr();
        EXPECT_EQ(last_error(), o.error) << o.name;
        EXPECT_NE(err.find("\t" + dir + "/" + o.name + "\n"), std::string::npos) << err;
    }
    CaptureStderr();
    EXPECT_EQ(gparse_GOpenParseFile("missing", dir.c_str()), nullptr);
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 16));
}

TEST_F(Files, Trees)
{
    struct Case {
        const char *text;
        std::string tree;
    } cases[] = {
        {"colours:{colour:any{red:1}}\n", "colours@1[colour@1=any[red@1=1 ] ] "},
        {"COLOURS : {\n Colour : any {\n RED : 1 }\n }\n", "colours@1[colour@2=any[red@3=1 ] ] "},
        // A value without a block, then the next keyword.
        {"fonts : { font : a name : b }\n", "fonts@1[font@1=a name@1=b ] "},
        // A missing "}" is no error; an entry whose value never came has none.
        {"fonts : { font : a {\n", "fonts@1[font@1=a ] "},
        {"fonts :", "fonts@1 "},
        // A stray "}" ends the file's entries.
        {"fonts : x\n}\nlines : y\n", "fonts@1=x "},
        // Values keep their case.
        {"name : \"Mixed Case\"\n", "name@1=Mixed Case "},
    };
    for (auto &c : cases) {
        put("t.cfg", std::string(STAMP) + c.text);
        std::string tree;
        EXPECT_EQ(parse("t.cfg", tree), 0) << c.text;
        // The stamp comment is line 1 of the file.
        std::string want = c.tree;
        for (size_t p = want.find('@'); p != std::string::npos; p = want.find('@', p + 1)) {
            size_t e = want.find_first_not_of("0123456789", p + 1);
            int n = std::stoi(want.substr(p + 1, e - p - 1)) + 1;
            want.replace(p + 1, e - p - 1, std::to_string(n));
        }
        EXPECT_EQ(tree, want) << c.text;
    }
}

TEST_F(Files, Errors)
{
    struct Case {
        const char *text;
        std::pair<int, int> error;
        const char *parameter;
    } cases[] = {
        {"colours { }\n", {3, 3}, nullptr},
        {"colours : { bogus : 1 }\n", {3, 4}, "\tToken       : bogus\n\tLine Number : 2"},
        {"\"\" : 1\n", {3, 4}, "\tToken       : \n\tLine Number : 2"},
        {"{ }\n", {3, 4}, nullptr},
    };
    for (auto &c : cases) {
        put("e.cfg", std::string(STAMP) + c.text);
        std::string tree;
        CaptureStderr();
        EXPECT_EQ(parse("e.cfg", tree), -1) << c.text;
        std::string err = GetCapturedStderr();
        EXPECT_EQ(last_error(), c.error) << c.text;
        if (c.parameter) {
            EXPECT_NE(err.find(std::string("\n\t") + c.parameter + "\n"), std::string::npos) << err;
        }
    }
}

TEST_F(Files, Includes)
{
    put("inner.cfg", std::string(STAMP) + "colour : b {\n}\ncolour : c\n");
    setenv("PELX_T_INNER", "inner", 1);
    put("outer.cfg", std::string(STAMP) + "colours : {\n colour : a\n include : \"$PELX_T_INNER.cfg\"\n colour : d\n}\n");
    std::string tree;
    ASSERT_EQ(parse("outer.cfg", tree), 0);
    // The included entries stand where the include stood, with their own lines.
    EXPECT_EQ(tree, "colours@2[colour@3=a colour@2=b colour@4=c colour@5=d ] ");

    // A file that includes itself stops at the nesting bound.
    put("self.cfg", std::string(STAMP) + "colours : { }\ninclude : self.cfg\n");
    CaptureStderr();
    EXPECT_EQ(parse("self.cfg", tree), -1);
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(3, 15));

    put("broken.cfg", std::string(STAMP) + "include : missing.cfg\n");
    CaptureStderr();
    EXPECT_EQ(parse("broken.cfg", tree), -1);
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 16));
}

TEST_F(Files, DeepNestingIsBounded)
{
    std::string text = STAMP;
    for (int i = 0; i < 100000; i++)
        text += "colours : { ";
    put("deep.cfg", text);
    std::string tree;
    CaptureStderr();
    EXPECT_EQ(parse("deep.cfg", tree), -1);
    GetCapturedStderr();
}

// ---- the reader ----------------------------------------------------------

class Reader : public Files {
protected:
    void SetUp() override
    {
        Files::SetUp();
        put("pelx.rgb", "255 0 0 red\n0 255 0 green\n0 0 255 blue\n");
    }
    void TearDown() override
    {
        GTerminate();
        Files::TearDown();
    }
    // Reads a configuration; the standard error output in *err.
    int read(const std::string &text, std::string *err = nullptr)
    {
        put("r.cfg", std::string(STAMP) + text);
        CaptureStderr();
        int r = gconfig_GReadConfiguration(dir.c_str(), "r.cfg", (dir + "/pelx.rgb").c_str());
        std::string e = GetCapturedStderr();
        if (err)
            *err = e;
        return r;
    }
};

TEST_F(Reader, Colours)
{
    std::string err;
    ASSERT_EQ(read("colours : {\n"
                   " colour : any { name : red }\n"
                   " colour : any { name : \"#f80\" }\n"
                   " colour : any { name : \"#f800\" }\n"            // 4 digits: dropped
                   " colour : any { red : 1 green : 2 }\n"           // incomplete: dropped
                   " colour : any { red : 1 green : 2 blue : 3 red : 9 }\n"
                   " colour : any { name : unknown red : 5 }\n"      // name ends the entry
                   " colour : any { red : 300 green : -4 blue : 0 name : \"#ffffffffffff\" }\n"
                   "}\n"
                   "colours : { colour : any { name : blue } }\n",
                   &err),
              0);
    GList *t = gcolour_GGetDefaultColourTable();
    ASSERT_EQ(GGetNumColoursIn(t), 6);
    struct Want {
        const char *name;
        uint16_t r, g, b;
    } want[] = {{"red", 0xFFFF, 0, 0},  {"#f80", 0xF000, 0x8000, 0}, {"", 257, 514, 771},
                {"unknown", 0, 0, 0},   {"#ffffffffffff", 0xFFFF, 0xFFFF, 0xFFFF}, {"blue", 0, 0, 0xFFFF}};
    for (int i = 0; i < 6; i++) {
        GColour *c = gcolour_GGetColour(t, i);
        EXPECT_STREQ(c->name, want[i].name) << i;
        EXPECT_EQ(c->red, want[i].r) << i;
        EXPECT_EQ(c->green, want[i].g) << i;
        EXPECT_EQ(c->blue, want[i].b) << i;
        EXPECT_EQ(c->pixel, -1);
    }
    EXPECT_NE(err.find("(3,15)\n\tLine number : 5\n"), std::string::npos) << err;
}

TEST_F(Reader, StylesAndFonts)
{
    std::string err;
    ASSERT_EQ(read("markers : {\n markersize : 3\n"
                   " marker : any { line : -5,0,5,0 line : 0,-5,0,5 }\n"
                   " marker : any { line : 1,2,3 }\n"                 // too few numbers
                   " hatch : any { line : 1,1,1,1 }\n"
                   "}\n"
                   "hatches : { hatch : any { grid : 45,8 grid : 135,8 } hatch : any { name : x } }\n"
                   "lines : {\n"
                   " linestyle : any { name : dash dashlist : 8,4,2 listlen : 2 length : 12 }\n"
                   " linestyle : any { dashlist : 3 listlen : 5 }\n"  // fewer dashes than listlen
                   " linestyle : any { linewidth : 0 }\n"             // nothing to draw, no name
                   " linestyle : any { name : plain linewidth : 0 }\n"
                   "}\n"
                   "fonts : {\n"
                   " font : any { name : fixed height : 12 fixed : TRUE nls : no }\n"
                   " font : any { name : s numchars : 4 width : 7 characters : {\n"
                   "   character : 1 { line : 0,0,4,8 metrics : 6,0,8,0 }\n"
                   "   character : 2 { line : 1,1,2,2 line : 2,2,3,3 } } }\n"
                   " font : any { name : nochars characters : { character : 1 { } } }\n"
                   " font : any { name : range numchars : 2 characters : { character : 2 { } } }\n"
                   "}\n",
                   &err),
              0);
    GList *m = gmarker_GGetDefaultMarkerTable();
    ASSERT_EQ(glist_GGetListLen(m), 1);
    GMarker *mk = gmarker_GGetMarker(m, 0);
    EXPECT_EQ(mk->count, 4);
    EXPECT_EQ(static_cast<int16_t *>(mk->data[0])[7], 5);
    EXPECT_NE(err.find("(3,13)"), std::string::npos);

    ASSERT_EQ(glist_GGetListLen(ghatch_GGetDefaultHatchTable()), 1);
    GHatch *h = ghatch_GGetHatch(nullptr, 0);
    EXPECT_EQ(h->count, 2);
    EXPECT_EQ(static_cast<int16_t *>(h->data[0])[2], 135);
    EXPECT_NE(err.find("(3,14)"), std::string::npos);

    GList *l = glines_GGetDefaultLineTable();
    ASSERT_EQ(glist_GGetListLen(l), 3);
    GLineStyle *s0 = glines_GGetLine(l, 0);
    EXPECT_STREQ(s0->name, "dash");
    EXPECT_EQ(s0->dashes.count, 2);
    EXPECT_EQ(s0->length, 12);
    EXPECT_EQ(s0->width, 1);
    EXPECT_EQ(glines_GGetLine(l, 1)->dashes.count, 1);
    EXPECT_STREQ(glines_GGetLine(l, 2)->name, "plain");
    EXPECT_NE(err.find("(3,11)\n\tLine number : -1\n"), std::string::npos) << err;

    GList *f = gfont_GGetDefaultFontTable();
    ASSERT_EQ(glist_GGetListLen(f), 2);
    GFont *f0 = gfont_GGetFont(f, 0), *f1 = gfont_GGetFont(f, 1);
    EXPECT_STREQ(f0->name, "fixed");
    EXPECT_EQ(f0->flags, GF_NAME | GF_HEIGHT | GF_FIXED | GF_NLS);
    EXPECT_EQ(f0->fixed, 1);
    EXPECT_EQ(f0->nls, 0);
    EXPECT_EQ(f0->glyphs, nullptr);
    ASSERT_NE(f1->glyphs, nullptr);
    EXPECT_EQ(f1->glyphs[0], nullptr);
    EXPECT_EQ(f1->glyphs[3], nullptr);
    ASSERT_NE(f1->glyphs[1], nullptr);
    EXPECT_EQ(f1->glyphs[1]->count, 2);
    ASSERT_NE(f1->glyphs[1]->data[1], nullptr);
    EXPECT_EQ(static_cast<int16_t *>(f1->glyphs[1]->data[1])[0], 6);
    EXPECT_EQ(f1->glyphs[2]->count, 4);
    EXPECT_EQ(f1->glyphs[2]->data[1], nullptr);
    EXPECT_NE(err.find("(3,12)\n\tLine number : -1\n"), std::string::npos) << err;
}

TEST_F(Reader, Devices)
{
    std::string err;
    ASSERT_EQ(read("colours : { colour : any { name : red } colour : any { name : green } }\n"
                   "lines : { linestyle : any { name : a } linestyle : any { name : b } }\n"
                   "devices : {\n"
                   " device : any { protocol : X dcxdim : 640 iswindow : TRUE display : \":7\" bg_colour : 1\n"
                   "   colours : { colour : 1 { name : blue } }\n"
                   "   lines : { linestyle : 1 { name : replaced } } }\n"
                   " device : any { protocol : PostScript iswindow : TRUE landscape : maybe output : FILE\n"
                   "   filename : out.ps }\n"
                   " device : any { protocol : \"HP-GL\" supports : { hpgl_ra : FALSE hpgl_lo : FALSE } }\n"
                   " device : any { protocol : \"HP-GL/2\" supports : { hpgl_ra : FALSE } }\n"
                   " device : any { protocol : PNG clr_planes : 3 }\n"
                   " device : any { protocol : PCL clr_planes : 3 output : SPOOL }\n"
                   " device : any { bogus_is_not_read_here : 1 }\n"
                   "}\n",
                   &err),
              -1);
    // An unknown keyword fails the whole parse...
    EXPECT_EQ(last_error(), std::make_pair(3, 15));
    ASSERT_EQ(read("colours : { colour : any { name : red } colour : any { name : green } }\n"
                   "lines : { linestyle : any { name : a } linestyle : any { name : b } }\n"
                   "devices : {\n"
                   " device : any { protocol : X dcxdim : 640 iswindow : TRUE display : \":7\" bg_colour : 1\n"
                   "   colours : { colour : 1 { name : blue } }\n"
                   "   lines : { linestyle : 1 { name : replaced } } }\n"
                   " device : any { protocol : PostScript iswindow : TRUE landscape : maybe output : FILE\n"
                   "   filename : out.ps }\n"
                   " device : any { protocol : \"HP-GL\" supports : { hpgl_ra : FALSE hpgl_lo : FALSE } }\n"
                   " device : any { protocol : \"HP-GL/2\" supports : { hpgl_ra : FALSE } }\n"
                   " device : any { protocol : PNG clr_planes : 3 }\n"
                   " device : any { protocol : PCL clr_planes : 3 output : SPOOL }\n"
                   "}\n",
                   &err),
              0);
    ASSERT_EQ(gdev_GNumDevices(), 6);
    GDeviceEntry e;
    ASSERT_EQ(GGetDevice(0, &e), 0);
    EXPECT_EQ(e.modes.protocol, GP_X);
    EXPECT_EQ(e.mask, GDM_PROTOCOL | GDM_DCXDIM | GDM_ISWINDOW | GDM_DISPLAY);
    EXPECT_EQ(e.modes.dcxdim, 640);
    EXPECT_EQ(e.modes.bg_colour, 1);
    EXPECT_STREQ(e.modes.display, ":7");
    // Refinements change the device's copies only; "linestyle : 1" is the
    // first entry of the table.
    EXPECT_STREQ(gcolour_GGetColour(e.tables[GT_COLOURS], 1)->name, "blue");
    EXPECT_STREQ(gcolour_GGetColour(nullptr, 1)->name, "green");
    EXPECT_STREQ(glines_GGetLine(e.tables[GT_LINES], 0)->name, "replaced");
    EXPECT_STREQ(glines_GGetLine(nullptr, 0)->name, "a");
    gdev_GFreeDeviceEntry(&e);

    ASSERT_EQ(GGetDevice(1, &e), 0);
    EXPECT_EQ(e.modes.protocol, GP_POSTSCRIPT);
    // iswindow on a file device is refused and stores nothing; the bad
    // landscape value keeps the field but sets the bit.
    EXPECT_EQ(e.mask, GDM_PROTOCOL | GDM_LANDSCAPE | GDM_OUTPUT | GDM_FILENAME);
    EXPECT_EQ(e.modes.iswindow, 0);
    EXPECT_EQ(e.modes.output, 0);
    EXPECT_STREQ(e.modes.filename, "out.ps");
    // A fresh record per device: the X device's size and display are gone.
    EXPECT_EQ(e.modes.dcxdim, 0);
    EXPECT_STREQ(e.modes.display, "");
    EXPECT_STREQ(gcolour_GGetColour(e.tables[GT_COLOURS], 1)->name, "green");
    gdev_GFreeDeviceEntry(&e);
    EXPECT_NE(err.find("(3,15)\n\tLine number : -1\n"), std::string::npos);

    ASSERT_EQ(GGetDevice(2, &e), 0);
    EXPECT_EQ(e.modes.supports, 0xFFFFFFFFu & ~0x41u);
    gdev_GFreeDeviceEntry(&e);
    ASSERT_EQ(GGetDevice(3, &e), 0);
    EXPECT_EQ(e.modes.protocol, GP_HPGL2);
    EXPECT_EQ(e.modes.supports, 0xFFFFFFFFu);
    gdev_GFreeDeviceEntry(&e);
    ASSERT_EQ(GGetDevice(4, &e), 0);
    EXPECT_EQ(e.modes.protocol, GP_IMAGE);
    EXPECT_FALSE(e.mask & GDM_CLRPLANES);
    gdev_GFreeDeviceEntry(&e);
    ASSERT_EQ(GGetDevice(5, &e), 0);
    EXPECT_EQ(e.modes.clr_planes, 3);
    EXPECT_EQ(e.modes.output, 1);
    gdev_GFreeDeviceEntry(&e);
    // Indexes wrap: 6 is the first device again, -3 the first too.
    for (long i : {6L, -3L}) {
        ASSERT_EQ(GGetDevice(i, &e), 0);
        EXPECT_EQ(e.modes.protocol, GP_X) << i;
        gdev_GFreeDeviceEntry(&e);
    }
}

TEST_F(Reader, SectionErrors)
{
    std::string err;
    ASSERT_EQ(read("colours : nothing\nname : x\nfonts : { colour : any { } }\n", &err), 0);
    EXPECT_NE(err.find("(3,15)\n\tLine number : -1\n"), std::string::npos) << err;
    EXPECT_NE(err.find("(3,15)\n\tLine number : 3\n"), std::string::npos) << err;
    EXPECT_NE(err.find("(3,12)\n\tLine number : 4\n"), std::string::npos) << err;
    // Nothing was made of them.
    EXPECT_EQ(GGetNumColoursIn(nullptr), 0);
    // No device table: asking for a device is an error, not a crash.
    GDeviceEntry e;
    CaptureStderr();
    EXPECT_EQ(GGetDevice(0, &e), -1);
    GetCapturedStderr();
}

TEST_F(Reader, MissingOrUnparsableFile)
{
    CaptureStderr();
    EXPECT_EQ(gconfig_GReadConfiguration(dir.c_str(), "absent.cfg", nullptr), -1);
    GetCapturedStderr();
    EXPECT_EQ(last_error(), std::make_pair(4, 4));
    EXPECT_EQ(read("colours : { colour : any { name : red } }\nnonsense : 1\n"), -1);
    EXPECT_EQ(last_error(), std::make_pair(3, 15));
}

// ---- the installed configuration -----------------------------------------

TEST(Installed, InitialisesCleanly)
{
    grec::install();
    CaptureStderr();
    int r = GInitialise(etc_dir().c_str(), "pelx.cfg", catalogue().c_str(), (etc_dir() + "/pelx.rgb").c_str());
    std::string err = GetCapturedStderr();
    ASSERT_EQ(r, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_GE(GGetNumColoursIn(nullptr), 20);
    GColour *white = gcolour_GGetColour(nullptr, 0), *black = gcolour_GGetColour(nullptr, 1);
    EXPECT_EQ(white->red + white->green + white->blue, 3 * 65535);
    EXPECT_EQ(black->red + black->green + black->blue, 0);
    GFont *stroke = gfont_GGetFont(nullptr, 1);
    ASSERT_NE(stroke->glyphs, nullptr);
    for (int c = 32; c < 127; c++) {
        ASSERT_NE(stroke->glyphs[c], nullptr) << c;
        EXPECT_NE(stroke->glyphs[c]->data[1], nullptr) << c;  // metrics
        if (c > 32) {
            EXPECT_GT(stroke->glyphs[c]->count, 0) << c;
        }
    }
    EXPECT_EQ(gfont_GGetFont(nullptr, 0)->glyphs, nullptr);
    ASSERT_GE(glist_GGetListLen(gcolmap_GGetDefaultColourMapTable()), 1);
    EXPECT_EQ(GGetNumColoursIn(gcolmap_GGetColourMap(nullptr, 0)->colours), 128);
    EXPECT_GE(glist_GGetListLen(gmarker_GGetDefaultMarkerTable()), 5);

    // The six devices in order, each opening and closing through its table.
    const unsigned char protocols[] = {GP_X, GP_POSTSCRIPT, GP_EPS, GP_HPGL, GP_PCL, GP_IMAGE};
    ASSERT_EQ(gdev_GNumDevices(), 6);
    for (int i = 0; i < 6; i++) {
        GDeviceEntry e;
        ASSERT_EQ(GGetDevice(i, &e), 0);
        EXPECT_EQ(e.modes.protocol, protocols[i]) << i;
        grec::clear();
        GDeviceRecord *d = GOpenDevice(e.mask, &e.modes, e.tables);
        ASSERT_NE(d, nullptr) << i;
        EXPECT_EQ(d->modes.protocol, protocols[i]);
        GCanvasRecord *c = GOpenCanvas(d, 0, nullptr);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(GCloseDevice(d), 0);
        std::vector<int> slots;
        for (auto &k : grec::calls())
            if (k.slot == 23 || k.slot == 24 || k.slot == 19 || k.slot == 18 || k.slot == 3 || k.slot == 4)
                slots.push_back(k.slot);
        // Defaults, modes, open; the canvas; its close before the device's.
        EXPECT_EQ(slots, (std::vector<int>{23, 24, 19, 18, 3, 4})) << i;
        EXPECT_EQ(grec::of(19).at(0).ints.at(0), static_cast<long>(e.mask));
    }
    grec::remove();
    GTerminate();
}

}  // namespace
