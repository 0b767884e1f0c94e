// The error registry: its lines with and without a catalogue, the packed
// pair, and the library entry's once-only initialisation.

#include "pelxtest.h"

#include "vxtest.h"

using namespace pelxtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

TEST(Registry, LinesWithoutCatalogue)
{
    CaptureStderr();
    gerror_GRegisterError(4, 3, 0, nullptr);
    EXPECT_EQ(GetCapturedStderr(), "Graphics Library (No message catalogue) : (4,3)\n");
    EXPECT_EQ(GGetError(), (4L << 16) | 3);
    char buf[300] = "x";
    EXPECT_EQ(GGetErrorMessage(buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "");
}

TEST(Registry, MissingCatalogueIsReportedOnce)
{
    CaptureStderr();
    EXPECT_EQ(gerror_GInitialiseErrors("/nonexistent/pelx.cat"), -1);
    EXPECT_EQ(GetCapturedStderr(), "Graphics Library : Cannot open message catalogue\n");
}

TEST(Registry, LinesWithCatalogue)
{
    ASSERT_EQ(gerror_GInitialiseErrors(catalogue().c_str()), 0);
    struct Case {
        int type, number;
        const char *parameter;
        std::string out;
    } cases[] = {
        {4, 3, nullptr, "Graphics Library (Resource failure) : Out of memory (4,3)\n"},
        {4, 3, "", "Graphics Library (Resource failure) : Out of memory (4,3)\n"},
        {3, 20, "HOME", "Graphics Library (Error) : Environment variable is not set (3,20)\n\tHOME\n"},
        {2, 5, nullptr, "Graphics Library (Warning) : Point vector holder is already in use (2,5)\n"},
        // A pair without a text still gives the whole line.
        {3, 99, nullptr, "Graphics Library (Error) :  (3,99)\n"},
    };
    for (auto &c : cases) {
        CaptureStderr();
        gerror_GRegisterError(c.type, c.number, 0, c.parameter);
        EXPECT_EQ(GetCapturedStderr(), c.out) << c.type << "," << c.number;
        EXPECT_EQ(GGetError(), (long(c.type) << 16) | c.number);
    }
    // The message of the last failure, without its parameter line.
    CaptureStderr();
    gerror_GRegisterError(3, 20, 0, "NAME");
    GetCapturedStderr();
    char buf[300];
    ASSERT_NE(GGetErrorMessage(buf, sizeof buf), nullptr);
    EXPECT_STREQ(buf, "Graphics Library (Error) : Environment variable is not set (3,20)\n");
    // A short buffer is filled, never overrun.
    char small[10];
    GGetErrorMessage(small, sizeof small);
    EXPECT_STREQ(small, "Graphics ");
    gerror_GTerminateErrors();
    // Closing the catalogue keeps the last pair.
    EXPECT_EQ(GGetError(), (3L << 16) | 20);
}

TEST(Registry, LongParameterIsCut)
{
    std::string p(1000, 'p');
    CaptureStderr();
    gerror_GRegisterError(3, 18, 0, p.c_str());
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("\t" + std::string(255, 'p') + "\n"), std::string::npos);
    EXPECT_EQ(err.find(std::string(256, 'p')), std::string::npos);
}

TEST(Entry, InitialiseOnceAndTerminate)
{
    std::string dir = vxtest::temp_dir("pelx-entry");
    write_file(dir + "/pelx.cfg", std::string(STAMP) + "colours : { colour : any { red : 1 green : 2 blue : 3 } }\n");
    write_file(dir + "/pelx.rgb", "255 0 0 red\n");
    // The trailing slash is dropped before the file name is joined.
    CaptureStderr();
    EXPECT_EQ(GInitialise((dir + "/").c_str(), "pelx.cfg", catalogue().c_str(), (dir + "/pelx.rgb").c_str()), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(gerror_GLibraryDirectory(), dir);
    EXPECT_EQ(GGetNumColoursIn(nullptr), 1);
    // A second initialisation changes nothing.
    EXPECT_EQ(GInitialise(dir.c_str(), "pelx.cfg", catalogue().c_str(), (dir + "/pelx.rgb").c_str()), -1);
    EXPECT_EQ(GGetNumColoursIn(nullptr), 1);
    GTerminate();
    EXPECT_EQ(gcolour_GGetDefaultColourTable(), nullptr);
    EXPECT_EQ(GHandleResizeEvent(), -1);
    EXPECT_EQ(GEscape(), 0);
}

TEST(Entry, DirectoryOfOneSlashBecomesEmpty)
{
    // "/" + "/" + name would be "//pelx.cfg"; with the slash dropped the
    // configuration is looked for at "/pelx.cfg", which does not exist.
    CaptureStderr();
    EXPECT_EQ(GInitialise("/", "pelx.cfg", catalogue().c_str(), "/nonexistent"), -1);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("\t/pelx.cfg\n"), std::string::npos) << err;
    EXPECT_EQ(gerror_GLibraryDirectory(), std::string());
    EXPECT_EQ(last_error(), std::make_pair(4, 4));
    GTerminate();
}

}  // namespace
