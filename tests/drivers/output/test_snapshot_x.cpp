// The snapshot with the real capture command: a mapped window of a known
// size becomes an XWD file of that size in the working directory.

#include <gtest/gtest.h>

#include "ghsnapx.h"
#include "vxtest.h"

#include <X11/Xutil.h>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

uint32_t be32(const std::vector<unsigned char> &b, size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

TEST(SnapshotX, CapturesTheWindowIntoAnXwdFile)
{
    Display *d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 123, 77, 0, BlackPixel(d, 0),
                                   WhitePixel(d, 0));
    XSelectInput(d, w, StructureNotifyMask | ExposureMask);
    XMapWindow(d, w);
    XEvent ev;
    do
        XNextEvent(d, &ev);
    while (ev.type != Expose);
    XSync(d, False);

    std::string dir = vxtest::temp_dir("snapx");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::string path = getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin";
    std::string src = std::string(getenv("VX_SOURCE_DIR") ? getenv("VX_SOURCE_DIR") : ".") + "/src/drivers/output";
    setenv("PATH", (src + ":" + path).c_str(), 1);
    int r = GTakeHappySnap(d, w, "graph window");
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(r, 0);

    std::string found;
    if (DIR *dd = opendir(dir.c_str())) {
        while (dirent *e = readdir(dd)) {
            std::string n = e->d_name;
            if (n.rfind("graph window-", 0) == 0 && n.size() > 4 && n.substr(n.size() - 4) == ".xwd")
                found = n;
        }
        closedir(dd);
    }
    ASSERT_FALSE(found.empty());
    std::ifstream in(dir + "/" + found, std::ios::binary);
    std::vector<unsigned char> head(28);
    in.read(reinterpret_cast<char *>(head.data()), 28);
    ASSERT_EQ(in.gcount(), 28);
    EXPECT_EQ(be32(head, 4), 7u);     // file version
    EXPECT_EQ(be32(head, 16), 123u);  // width
    EXPECT_EQ(be32(head, 20), 77u);   // height

    // A window that no longer exists: the command fails, and so does the
    // snapshot.
    XDestroyWindow(d, w);
    XSync(d, False);
    EXPECT_EQ(GTakeHappySnap(d, w, "gone"), -1);
    XCloseDisplay(d);
}

}  // namespace
