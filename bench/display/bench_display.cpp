// A large query result into the table view: the time from the new-data
// notice to the first screen and to the last line shown, and the view's
// memory growth, for 10,000 and 1,000,000 rows of a narrow and a wide
// row.  Beside it the floor: the dataset filled from the interpreter (as
// bench_dataset measures it) and the same dataset formatted into memory
// with nothing drawn.
//
// Usage: bench_display [--out FILE] [--rows N]   (DISPLAY must name a server)

#include "dsmgr.h"
#include "dymain.h"
#include "dyprt.h"
#include "dytab.h"
#include "qymgr.h"
#include "vxbench.h"
#include "vxcat.h"

#include <Xm/MainW.h>
#include <Xm/Xm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

Clock::time_point first_screen;
bool seen_first = false;

void screen_shown()
{
    if (!seen_first) {
        seen_first = true;
        first_screen = Clock::now();
    }
}

long rss_kb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return atol(line.c_str() + 6);
    return 0;
}

std::string memory_line;
size_t memory_lines = 0;
int into_memory(const char *text, int length)
{
    if (text)
        memory_line.assign(text, static_cast<size_t>(length));
    memory_lines++;
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/display.txt";
    std::vector<long> counts = {10000, 1000000};
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--rows") && i + 1 < argc)
            counts = {atol(argv[++i])};
        else {
            fprintf(stderr, "usage: %s [--out FILE] [--rows N]\n", argv[0]);
            return 2;
        }
    }
    auto dir = vxbench::private_server(VX_TQLSERVER);

    XtAppContext app;
    int xargc = 1;
    char name[] = "bench_display";
    char *xargv[] = {name, nullptr};
    Widget top = XtOpenApplication(&app, "Vostrelane", nullptr, 0, &xargc, xargv, nullptr,
                                   applicationShellWidgetClass, nullptr, 0);
    if (!top) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.user_name = const_cast<char *>("BENCH");
    ad.server_name = const_cast<char *>("");
    ad.displayBufferSize = 100;
    ad.buffer_size = ad.queryBufferSize = 4000000;
    XtVaSetValues(top, XmNwidth, 800, XmNheight, 600, nullptr);
    Widget mw = XmCreateMainWindow(top, const_cast<char *>("displayWindow"), nullptr, 0);
    XtManageChild(mw);
    XmMainWindowSetAreas(mw, nullptr, nullptr, nullptr, nullptr, dymain_display_init(top, mw, &ad, nullptr));
    qymgr_qy_use_widget(dymain_dy_canvas());
    dsmgr_ds_init(dymain_dy_canvas(), &ad);
    XtRealizeWidget(top);
    while (XtAppPending(app))
        XtAppProcessEvent(app, XtIMAll);
    dytab_dy_enable_table_mode(1);
    dytab_screen_shown = screen_shown;
    qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
    qymgr_qy_set_buffer_rows(100000);

    struct Shape {
        const char *name, *types;
    } shapes[] = {
        {"narrow (one long)", "long"},
        {"wide (long, 2 reals, string(40), real[8], date, time, complex)",
         "long, real, real, string(40), real[8], date, time, complex"},
    };
    std::string report = "A result into the table view (800 x 600 canvas, store of 100 lines), beside the "
                         "dataset fill and formatting into memory\n\n";
    char line[1024];
    for (long n : counts) {
        for (const Shape &s : shapes) {
            std::string q = "TEST ROWS " + std::to_string(n) + " " + s.types;
            mngraph_mn_new_view(0, 1);
            auto t0 = Clock::now();
            qymgr_qy_query(q.c_str(), QY_NOWAIT, QY_FULL, QY_IGNORE);
            double fill = std::chrono::duration<double>(Clock::now() - t0).count();
            if (dsmgr_ds_rows(0) != n) {
                fprintf(stderr, "short result: %d of %ld rows\n", dsmgr_ds_rows(0), n);
                return 1;
            }
            // Formatting into memory, nothing drawn.
            memory_lines = 0;
            dyprt_dy_set_output(into_memory, -1, 133, 3, 30, 0);
            auto f0 = Clock::now();
            dyprt_dy_print_dataset(0);
            double format = std::chrono::duration<double>(Clock::now() - f0).count();

            // The notice was sent when the query ended; the view takes it.
            long rss0 = rss_kb();
            seen_first = false;
            auto v0 = Clock::now();
            while (!dsmgr_ds_printed(0))
                XtAppProcessEvent(app, XtIMAll);
            XSync(XtDisplay(top), False);
            double last = std::chrono::duration<double>(Clock::now() - v0).count();
            double first = std::chrono::duration<double>(first_screen - v0).count();
            long grown = rss_kb() - rss0;
            snprintf(line, sizeof line,
                     "%ld rows, %s: %zu lines\n"
                     "    fill %.3f s; format into memory %.3f s (floor); view: first screen %.1f ms, last line "
                     "%.3f s (%.2f x floor); memory growth %ld kB\n",
                     n, s.name, memory_lines, fill, format, first * 1000, last, last / format, grown);
            fputs(line, stdout);
            report += line;
        }
    }
    qymgr_qy_term();
    vxbench::finish(dir, out, report);
    return 0;
}
