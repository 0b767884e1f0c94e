// Throughput of query results: rows and bytes per second from the
// interpreter writing them into the shared buffer to the client copying
// them out at each end of buffer, for a narrow and a wide row, with the
// default buffer and a large one; and a plain memcpy of the same bytes in
// the same buffer-sized pieces, the memory-bandwidth limit.
//
// What sets the figure is the handoff of each full buffer between the two
// processes: an end-of-buffer message, the client's copy and its reply,
// two trips through the message queue and two process switches per
// buffer.  The report gives the handoffs of each run and the time per
// handoff if nothing else took any, beside the handoff's floor: a bare
// msgsnd/msgrcv round trip between two processes with messages of the
// same sizes (an end-of-buffer message out, an empty reply back).
// Everything runs twice: with both processes free to run on any
// processor, and pinned to one (each handoff then switches processes on
// that one processor).
//
// Usage: bench_scheduler [--out FILE] [--rows-scale F]
// The interpreter is the one just built, copied with the modes the client
// checks into a private server directory.

#include "dozrow.h"
#include "qysched.h"
#include "vxbench.h"
#include "vxproc.h"

#include <sched.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<unsigned char> sink;
size_t sink_at = 0;
size_t rows_read = 0;

// The reader of the connection's result buffer.
DozReader reader;

void read_rows(int cid, int rows)
{
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    init_buffer(reader, b, static_cast<size_t>(doz_get_qbuffersize(cid)));
    int had;
    if (empty_buffer(reader) || prepare_buffer(reader, &had) != 0)
        return;
    size_t header = static_cast<size_t>(buffer_cursor(reader) - b);
    size_t bytes = doz_get_data_bytes(cid) - header;
    if (sink_at + bytes > sink.size())
        sink_at = 0;
    memcpy(sink.data() + sink_at, buffer_cursor(reader), bytes);
    sink_at += bytes;
    rows_read += static_cast<size_t>(rows);
}

struct Figure {
    double seconds, rows_per_s, mb_per_s;
    size_t rows, row_size;
};

Figure run(int cid, const char *types, size_t nrows, int row_size)
{
    rows_read = 0;
    std::string q = "TEST ROWS " + std::to_string(nrows) + " " + types;
    auto t0 = Clock::now();
    doz_querym(cid, q.c_str(), DOZ_M_FULL | DOZ_M_WAIT);
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (doz_error(cid) || rows_read != nrows) {
        fprintf(stderr, "query failed or short: %zu of %zu rows\n", rows_read, nrows);
        exit(1);
    }
    return {s, nrows / s, nrows * static_cast<double>(row_size) / s / 1e6, nrows, static_cast<size_t>(row_size)};
}

double memcpy_mb_per_s(size_t total, size_t piece)
{
    std::vector<unsigned char> from(piece, 0x5a), to(std::max<size_t>(total, piece));
    // Best of three passes.
    double best = 0;
    for (int pass = 0; pass < 3; pass++) {
        auto t0 = Clock::now();
        for (size_t at = 0; at < total; at += piece) {
            size_t n = std::min(piece, total - at);
            memcpy(to.data() + at, from.data(), n);
            from[at % piece] ^= 1;  // keep the copy from being folded away
        }
        double s = std::chrono::duration<double>(Clock::now() - t0).count();
        best = std::max(best, total / s / 1e6);
    }
    return best;
}

// The handoff's floor: a round trip between this process and a child of
// its own through two private message queues, an end-of-buffer message of
// the interpreter's size out and an empty reply of the client's size back.
// Microseconds a trip, the median of five passes of `trips` trips.
double bare_round_trip_us(int trips)
{
    const int out = msgget(IPC_PRIVATE, IPC_CREAT | 0600), back = msgget(IPC_PRIVATE, IPC_CREAT | 0600);
    if (out < 0 || back < 0)
        return -1;
    const size_t room = sizeof(DozMsg) - sizeof(long);
    const pid_t child = fork();
    if (child == 0) {
        DozMsg m{};
        while (msgrcv(out, &m, room, 0, 0) >= 0 && m.h.code != -1) {
            DozHeader reply{1, 0, 0};
            msgsnd(back, &reply, doz_msg_size(0), 0);
        }
        _exit(0);
    }
    std::vector<double> passes;
    DozMsg m{};
    for (int pass = 0; child > 0 && pass < 5; pass++) {
        auto t0 = Clock::now();
        for (int i = 0; i < trips; i++) {
            DozEobMsg eob{{1, 0, 0}, 1000, 8000};
            msgsnd(out, &eob, doz_msg_size(8), 0);
            msgrcv(back, &m, room, 0, 0);
        }
        passes.push_back(std::chrono::duration<double>(Clock::now() - t0).count() * 1e6 / trips);
    }
    DozEobMsg stop{{1, 0, -1}, 0, 0};
    msgsnd(out, &stop, doz_msg_size(8), 0);
    if (child > 0)
        waitpid(child, nullptr, 0);
    msgctl(out, IPC_RMID, nullptr);
    msgctl(back, IPC_RMID, nullptr);
    return passes.empty() ? -1 : vxbench::median(passes);
}

}  // namespace

int main(int argc, char **argv)
{
    std::string out = std::string(VX_RESULTS_DIR) + "/scheduler.txt";
    double scale = 1.0;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!strcmp(argv[i], "--rows-scale") && i + 1 < argc)
            scale = atof(argv[++i]);
        else {
            fprintf(stderr, "usage: %s [--out FILE] [--rows-scale F]\n", argv[0]);
            return 2;
        }
    }

    fs::path dir = vxbench::private_server(VX_TQLSERVER);

    struct Shape {
        const char *name, *types;
        size_t rows;
    } shapes[] = {
        {"narrow (one long)", "long", static_cast<size_t>(10000000 * scale)},
        {"wide (long, 2 reals, string(40), real[8], date, time, complex)",
         "long, real, real, string(40), real[8], date, time, complex", static_cast<size_t>(2000000 * scale)},
    };
    struct Buffer {
        int size, rows;
    } buffers[] = {{200000, 1000}, {4000000, 100000}};

    std::string report;
    char line[512];
    snprintf(line, sizeof line,
             "Result rows, interpreter write to client read (Full mode, WAIT); each full buffer is one handoff\n"
             "(end-of-buffer message, client copy, reply) between the two processes\n");
    report += line;
    cpu_set_t free_set;
    sched_getaffinity(0, sizeof free_set, &free_set);
    for (bool pinned : {false, true}) {
        if (pinned) {
            cpu_set_t one;
            CPU_ZERO(&one);
            for (int c = 0; c < CPU_SETSIZE; c++)
                if (CPU_ISSET(c, &free_set)) {
                    CPU_SET(c, &one);
                    break;
                }
            sched_setaffinity(0, sizeof one, &one);  // the interpreter started below inherits it
        }
        snprintf(line, sizeof line, "\n%s\n",
                 pinned ? "pinned: client and interpreter on one processor"
                        : "unpinned: client and interpreter free to run on any processor");
        report += line;
        fputs(line, stdout);
        const double trip = bare_round_trip_us(20000);
        snprintf(line, sizeof line, "bare msgsnd/msgrcv round trip between two processes (same sizes): %.1f us\n",
                 trip);
        report += line;
        fputs(line, stdout);
        for (const Buffer &b : buffers) {
            int cid = -1;
            if (doz_init(&cid, "", "BENCH", DOZ_START_WORD) != 0 || !doz_create_buffer(cid, b.size) ||
                doz_set_buffer_rows(cid, b.rows) != 0) {
                fprintf(stderr, "cannot start the interpreter\n");
                return 1;
            }
            doz_set_eob_proc(cid, read_rows);
            sink.assign(static_cast<size_t>(b.size) * 4, 0);
            for (const Shape &s : shapes) {
                // The row size as the interpreter lays it out.
                doz_querym(cid, (std::string("TEST ROWS 1 ") + s.types).c_str(), DOZ_M_FULL | DOZ_M_WAIT);
                DozLayout l;
                doz_layout(tinfo_table(reader), true, l);
                Figure f = run(cid, s.types, s.rows, l.row_size);
                double mc = memcpy_mb_per_s(f.rows * f.row_size, static_cast<size_t>(b.size));
                size_t per = std::min(static_cast<size_t>(b.rows),
                                      std::max<size_t>(1, static_cast<size_t>(b.size) / std::max<size_t>(f.row_size, 1)));
                size_t handoffs = (f.rows + per - 1) / per;
                const double each = handoffs ? f.seconds * 1e6 / static_cast<double>(handoffs) : 0.0;
                snprintf(line, sizeof line,
                         "buffer %7d bytes / %6d rows, %s: %zu rows of %zu bytes in %.3f s\n"
                         "    %.0f rows/s, %.1f MB/s; memcpy of the same bytes %.1f MB/s; ratio %.3f\n"
                         "    %zu handoffs, %.1f us each were they all the time; %.2f x the bare round trip\n",
                         b.size, b.rows, s.name, f.rows, f.row_size, f.seconds, f.rows_per_s, f.mb_per_s, mc,
                         f.mb_per_s / mc, handoffs, each, trip > 0 ? each / trip : 0.0);
                report += line;
                fputs(line, stdout);
            }
            doz_term(cid);
        }
    }
    sched_setaffinity(0, sizeof free_set, &free_set);
    vxbench::finish(dir, out, report);
    return 0;
}
