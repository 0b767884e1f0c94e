// A large query result into the table view: the time from the new-data
// notice to the first screen and to the last line shown, and the view's
// memory growth, for 10,000 and 1,000,000 rows of a narrow and a wide
// row.  Beside it the floor: the same values written with plain snprintf
// into lines of the same widths, kept in a ring as large as the view's
// store; and, for the record, the dataset's fill from the interpreter and
// the project's formatter into memory with nothing drawn.  Medians of
// five runs of the floor and the formatter; the view once a size.
//
// Usage: bench_display [--out FILE] [--rows N] [--narrow]   (DISPLAY must name a server)

#include "dozrow.h"
#include "dsmgr.h"
#include "dymain.h"
#include "dyprt.h"
#include "dytab.h"
#include "qymgr.h"
#include "vxbench.h"
#include "vxcat.h"

#include <Xm/MainW.h>
#include <Xm/Xm.h>

#include <algorithm>
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

// The floor: every row's values by plain snprintf into lines of the
// view's widths (a margin of 3, columns two apart, the title lines every
// 30 rows, an array's elements on lines of their own under its name),
// each line kept in a ring of `keep` lines.  The lines made.
size_t snprintf_floor(int ds, int page_width, size_t keep)
{
    const DozColDesc *cols = dscol_ds_get_tinfo_list(ds);
    const int ncols = dsmgr_ds_columns(ds), rows = dsmgr_ds_rows(ds);
    std::vector<std::string> ring(keep);
    size_t made = 0;
    char line[8192];
    int at = 0;
    auto end_line = [&] {
        ring[made++ % keep].assign(line, static_cast<size_t>(at));
        at = 0;
    };
    auto pad = [&](int n) {
        for (; n > 0 && at < static_cast<int>(sizeof line) - 1; n--)
            line[at++] = ' ';
    };
    auto put = [&](int n) { at += std::clamp(n, 0, static_cast<int>(sizeof line) - 1 - at); };
    auto value = [&](const DozColDesc &c, const unsigned char *v, int w) {
        const int room = static_cast<int>(sizeof line) - at;
        int16_t f[3];
        double d[2];
        int32_t l;
        switch (c.type) {
        case DOZ_T_LONG: memcpy(&l, v, 4); put(snprintf(line + at, room, "%*d", w, l)); break;
        case DOZ_T_REAL: memcpy(d, v, 8); put(snprintf(line + at, room, "%*.*f", w, c.precision, d[0])); break;
        case DOZ_T_COMPLEX:
            memcpy(d, v, 16);
            put(snprintf(line + at, room, "%*.*f, %*.*f", (w - 2) / 2, c.precision, d[0], (w - 2) / 2, c.precision,
                         d[1]));
            break;
        case DOZ_T_DATE:
            memcpy(f, v, 6);
            put(snprintf(line + at, room, "%*s%02d/%02d/%04d", std::max(0, w - 10), "", f[2], f[1], f[0]));
            break;
        case DOZ_T_TIME:
            memcpy(f, v, 6);
            put(snprintf(line + at, room, "%*s%02d:%02d:%02d", std::max(0, w - 8), "", f[0], f[1], f[2]));
            break;
        default: put(snprintf(line + at, room, "%-*.*s", w, w, reinterpret_cast<const char *>(v))); break;
        }
    };
    auto title = [&] {
        end_line();
        pad(3);
        for (int c = 0; c < ncols; c++)
            if (cols[c].count == 0)
                put(snprintf(line + at, sizeof line - at, "%s%*s", c ? "  " : "", dyprt_column_width(cols[c]),
                             cols[c].name));
        end_line();
        end_line();
    };
    title();
    for (int r = 0; r < rows; r++) {
        if (r > 0 && r % 30 == 0)
            title();
        pad(3);
        for (int c = 0, first = 1; c < ncols; c++) {
            if (cols[c].count != 0)
                continue;
            if (!first)
                pad(2);
            first = 0;
            int n = 0;
            const auto *v = static_cast<const unsigned char *>(dscol_ds_get(ds, r, c, &n));
            const int w = dyprt_column_width(cols[c]);
            if (v)
                value(cols[c], v, w);
            else
                pad(w);
        }
        pad(3);
        end_line();
        for (int c = 0; c < ncols; c++) {
            if (cols[c].count == 0)
                continue;
            const int w = dyprt_column_width(cols[c]);
            end_line();
            pad(3);
            put(snprintf(line + at, sizeof line - at, "%*s", w, cols[c].name));
            end_line();
            end_line();
            int n = 0;
            const auto *v = static_cast<const unsigned char *>(dscol_ds_get(ds, r, c, &n));
            const int per_line = std::max(1, (page_width - 6) / (w + 2)), size = doz_elem_size(cols[c]);
            for (int m = 0; v && m < n; m += per_line) {
                pad(3);
                for (int k = m; k < std::min(n, m + per_line); k++) {
                    if (k > m)
                        pad(2);
                    value(cols[c], v + static_cast<size_t>(k) * size, w);
                }
                pad(3);
                end_line();
            }
            end_line();
        }
    }
    end_line();
    return made;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/display.txt";
    std::vector<long> counts = {10000, 1000000};
    bool narrow_only = false;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--rows") && i + 1 < argc)
            counts = {atol(argv[++i])};
        else if (!strcmp(argv[i], "--narrow"))
            narrow_only = true;
        else {
            fprintf(stderr, "usage: %s [--out FILE] [--rows N] [--narrow]\n", argv[0]);
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
    std::string report = "A result into the table view (800 x 600 canvas, store of 100 lines), beside plain "
                         "snprintf of the same values into lines of the same widths, kept (the floor)\n\n";
    char line[1024];
    for (long n : counts) {
        for (const Shape &s : shapes) {
            if (narrow_only && &s != &shapes[0])
                continue;
            std::string q = "TEST ROWS " + std::to_string(n) + " " + s.types;
            mngraph_mn_new_view(0, 1);
            auto t0 = Clock::now();
            qymgr_qy_query(q.c_str(), QY_NOWAIT, QY_FULL, QY_IGNORE);
            double fill = std::chrono::duration<double>(Clock::now() - t0).count();
            if (dsmgr_ds_rows(0) != n) {
                fprintf(stderr, "short result: %d of %ld rows\n", dsmgr_ds_rows(0), n);
                return 1;
            }
            // The floor, and the formatter into memory with nothing drawn.
            const int page = dytab_store()->columns();
            std::vector<double> floors, formats;
            size_t floor_lines = 0;
            for (int run = 0; run < 5; run++) {
                auto f0 = Clock::now();
                floor_lines = snprintf_floor(0, page, 100);
                floors.push_back(std::chrono::duration<double>(Clock::now() - f0).count());
                memory_lines = 0;
                dyprt_dy_set_output(into_memory, -1, page, 3, 30, 0);
                f0 = Clock::now();
                dyprt_dy_print_dataset(0);
                formats.push_back(std::chrono::duration<double>(Clock::now() - f0).count());
            }
            const double floor = median(floors), format = median(formats);

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
                     "%ld rows, %s: %zu lines (floor %zu)\n"
                     "    view: first screen %.1f ms, last line %.3f s; floor (snprintf, kept) %.3f s; "
                     "view / floor %.2f\n"
                     "    fill %.3f s; the formatter into memory %.3f s (%.2f x floor); memory growth %ld kB\n",
                     n, s.name, memory_lines, floor_lines, first * 1000, last, floor, last / floor, fill, format,
                     format / floor, grown);
            fputs(line, stdout);
            report += line;
        }
    }
    qymgr_qy_term();
    vxbench::finish(dir, out, report);
    return 0;
}
