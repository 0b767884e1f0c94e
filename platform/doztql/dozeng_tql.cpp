// Adapter from the engine's Session and Sink to the interpreter's engine
// table: result values are laid into rows with the shared row layout.

#include "dozeng_tql.h"

#include "dozeng_db.h"
#include "dozeng_int.h"
#include "dozids.h"
#include "dozrow.h"
#include "dozstore.h"
#include "vxcat.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace doz;

constexpr bool same_type(Type a, int b) { return static_cast<int>(a) == b; }
static_assert(same_type(STRING, DOZ_T_STRING) && same_type(LONG, DOZ_T_LONG) && same_type(SHORT, DOZ_T_SHORT) &&
              same_type(REAL, DOZ_T_REAL) && same_type(DATE, DOZ_T_DATE) && same_type(TIME, DOZ_T_TIME) &&
              same_type(COMPLEX, DOZ_T_COMPLEX) && same_type(BOOL, DOZ_T_BOOL) && same_type(CHAR, DOZ_T_CHAR) &&
              same_type(SHORTREAL, DOZ_T_SREAL) && same_type(BYTE, DOZ_T_TINY) && same_type(BLOB, DOZ_T_BLOB));
static_assert(MODE_FLAGS == DOZ_M_FLAGS && MODE_EOB == DOZ_M_EOB && MODE_TYPE == DOZ_M_TYPE &&
              MODE_WAIT == DOZ_M_WAIT && MODE_INTERACTIVE == DOZ_M_INTERACTIVE && MODE_NOEVAL == DOZ_M_NOEVAL &&
              MODE_SIGNAL_DONE == DOZ_M_SIGNAL_DONE);
static_assert(MAX_ELEMENTS <= DOZ_MAX_ELEMENTS);

// Database code: a result without end-of-buffer messages that does not
// fit its one buffer.
constexpr int E_BUFFER_FULL = 150;

DozColDesc descriptor(const Column &c);
void put_value(unsigned char *row, const DozField &f, const Value &v);

struct Stream;
struct Engine;

// Collects one statement's result set, each row laid out at once in the
// buffer layout the query's modes ask for.  With a stream the rows go
// on in blocks of about a buffer's size as they are made.
struct Collect : Sink {
    bool flags = false;
    bool opened = false;
    // The blobs delivered (number, bytes), kept only when the client takes
    // them by its retrieval procedure.
    bool keep_blobs = false;
    std::vector<std::pair<int32_t, std::string>> blobs;
    bool bad_layout = false;
    std::vector<DozColDesc> cols;
    DozLayout layout;
    std::vector<unsigned char> bytes;
    size_t rows = 0;
    Stream *stream = nullptr;
    size_t block_bytes = 0;
    void columns(const std::vector<Column> &c) override
    {
        opened = true;
        for (const Column &col : c)
            cols.push_back(descriptor(col));
        bad_layout = !doz_layout(cols, flags, layout);
    }
    bool row(const std::vector<Value> &v) override;
    void end() override {}
};

// A result handed from the statement, which runs on a thread of its own,
// to the result writer while it is made: blocks of rows through a queue
// of a few, so the interpreter holds a few buffers' worth of rows however
// many the statement makes.  A statement whose rows all fit the queue
// ends before the writer starts, and is answered as if it had not run
// on a thread at all.
struct Stream {
    static constexpr size_t kBlocks = 4;
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::vector<unsigned char>> blocks;
    bool done = false;        // the statement ended (status holds its outcome)
    bool cancelled = false;   // the writer stopped reading: the statement ends early
    Status status;
    Collect sink;
    std::string text;
    unsigned modes = 0;
    Engine *engine = nullptr;
    std::thread worker;
    // The reader's place: the block being read and the row in it.
    std::vector<unsigned char> current;
    size_t at = 0;

    // Hands a filled block over, waiting while the queue is full; false
    // when the writer stopped reading.
    bool hand_over(std::vector<unsigned char> &block)
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return blocks.size() < kBlocks || cancelled; });
        if (cancelled)
            return false;
        blocks.push_back(std::move(block));
        block.clear();
        cv.notify_all();
        return true;
    }
    // Waits until the statement ended or the queue is full: true when it
    // ended.
    bool settle()
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return done || blocks.size() >= kBlocks; });
        return done;
    }
    // The next row into `row`; false at the end of the rows.
    bool next(unsigned char *row, size_t size)
    {
        if (at + size > current.size()) {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [&] { return !blocks.empty() || done; });
            if (blocks.empty())
                return false;
            current = std::move(blocks.front());
            blocks.pop_front();
            at = 0;
            cv.notify_all();
            if (current.size() < size)
                return false;
        }
        memcpy(row, current.data() + at, size);
        at += size;
        return true;
    }
    // Up to `max` rows of `size` bytes at `rows`, across blocks; fewer
    // only at the end.
    int next_many(unsigned char *rows, int max, size_t size)
    {
        int n = 0;
        while (n < max) {
            unsigned char *to = rows + static_cast<size_t>(n) * size;
            if (at + size > current.size()) {
                // A row from the next block, taken as next() takes it.
                if (!next(to, size))
                    break;
                n++;
                continue;
            }
            size_t take = std::min((current.size() - at) / size, static_cast<size_t>(max - n));
            memcpy(to, current.data() + at, take * size);
            at += take * size;
            n += static_cast<int>(take);
        }
        return n;
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m);
            cancelled = true;
        }
        cv.notify_all();
        if (worker.joinable())
            worker.join();
    }
    ~Stream();
};

// One element of a value of type `type` as the row holds it, at `at`;
// the bytes it takes (0 for a type with no element of its own).
int put_elem(unsigned char *at, int type, const Elem &e)
{
    switch (type) {
    case LONG: {
        int32_t x = static_cast<int32_t>(e.i);
        memcpy(at, &x, 4);
        return 4;
    }
    case SHORT: {
        int16_t x = static_cast<int16_t>(e.i);
        memcpy(at, &x, 2);
        return 2;
    }
    case BYTE:
    case BOOL:
    case CHAR: *at = static_cast<unsigned char>(e.i); return 1;
    case REAL: memcpy(at, &e.r, 8); return 8;
    case SHORTREAL: {
        float x = static_cast<float>(e.r);
        memcpy(at, &x, 4);
        return 4;
    }
    case COMPLEX:
        memcpy(at, &e.r, 8);
        memcpy(at + 8, &e.im, 8);
        return 16;
    case DATE: {
        DozDate x = doz_date_from_days(e.i);
        memcpy(at, &x, 6);
        return 6;
    }
    case TIME: {
        DozTime x = doz_time_from_seconds(e.i);
        memcpy(at, &x, 6);
        return 6;
    }
    default: return 0;
    }
}

// put_value() of a single number, date or time into a row still all
// zeros: its presence byte and its bytes; false for anything else.
bool put_single(unsigned char *row, const DozField &f, const Value &v)
{
    if (v.null || v.count != 0 || v.e.size() != 1 || v.type == COMPLEX || f.room != 1 || f.count_at >= 0 ||
        f.type == DOZ_T_STRING || f.type == DOZ_T_BLOB)
        return false;
    unsigned char bytes[16];
    const int n = put_elem(bytes, v.type, v.e[0]);
    if (n == 0 || n > f.elem_size)
        return false;
    memcpy(row + f.value, bytes, static_cast<size_t>(n));
    if (f.presence >= 0)
        row[f.presence] = 1;
    return true;
}

bool Collect::row(const std::vector<Value> &v)
{
    if (bad_layout)
        return false;
    size_t at = bytes.size();
    bytes.resize(at + static_cast<size_t>(layout.row_size), 0);
    for (size_t i = 0; i < v.size() && i < layout.fields.size(); i++) {
        if (!put_single(bytes.data() + at, layout.fields[i], v[i]))
            put_value(bytes.data() + at, layout.fields[i], v[i]);
        if (keep_blobs && v[i].type == BLOB && !v[i].null && !v[i].e.empty())
            blobs.emplace_back(static_cast<int32_t>(v[i].e[0].i), v[i].s);
    }
    rows++;
    if (stream && bytes.size() >= block_bytes) {
        if (!stream->hand_over(bytes))
            return false;
        bytes.reserve(block_bytes + static_cast<size_t>(layout.row_size));
    }
    return true;
}

struct Engine {
    std::unique_ptr<Session> session;
    std::string server_dir;
    int prefix_lock = -1;  // holds this connection's result-table prefix
    nl_catd catalogue = NL_NO_CATALOGUE;
    std::string texts[3];
    TqlHost *host = nullptr;
};

Stream::~Stream()
{
    stop();
    engine->host = nullptr;
}

int ask(void *ctx, const char *question)
{
    auto *e = static_cast<Engine *>(ctx);
    return e->host && e->host->confirm ? e->host->confirm(e->host->self, question) : 0;
}

// The result-table prefix "RS" and two hex digits, unique among the live
// connections of a server directory: each holds a lock on its own.  A lock
// file we cannot open (another user's, a planted link) is passed over;
// with none to be had the prefix is empty: the session cannot start, and
// `refusal` tells whether every prefix is held by others (too many
// connections) or none of the lock files could be opened at all (the
// server directory is not ours to write).
std::string claim_prefix(const std::string &dir, int &fd, int32_t &refusal)
{
    unsigned start = static_cast<unsigned>(getpid()) & 0xffu;
    char prefix[8];
    bool held = false;
    dozids::AsOwner me;  // the lock files are the database user's alone
    for (unsigned k = 0; k < 256; k++) {
        snprintf(prefix, sizeof prefix, "RS%02X", (start + k) & 0xffu);
        std::string path = dir + "/.result." + prefix + ".lock";
        int f = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (f < 0)
            continue;
        held = true;
        if (flock(f, LOCK_EX | LOCK_NB) == 0) {
            fd = f;
            return prefix;
        }
        ::close(f);
    }
    refusal = held ? TQL_E_NO_PREFIX : TQL_E_NO_ACCESS;
    return "";
}

bool probe(void *ctx)
{
    auto *e = static_cast<Engine *>(ctx);
    return e->host && e->host->stop_requested && e->host->stop_requested(e->host->self);
}

DozColDesc descriptor(const Column &c)
{
    DozColDesc d{};
    d.type = c.type;
    d.width = c.width;
    d.precision = c.precision;
    d.count = c.count;
    snprintf(d.name, sizeof d.name, "%s", c.name.c_str());
    return d;
}

// The element bytes of a value in buffer form.
void put_value(unsigned char *row, const DozField &f, const Value &v)
{
    if (v.null || v.type == UNTYPED) {
        doz_put(row, f, nullptr, 0, false);
        return;
    }
    if (v.type == STRING) {
        doz_put(row, f, v.s.c_str(), 1, true);
        return;
    }
    if (v.type == BLOB) {
        // A blob is named "$n", n the number the engine gave it for PRINT BLOB.
        DozBlobDesc d{};
        d.id1 = 0;
        d.id2 = v.e.empty() ? 0 : static_cast<int32_t>(v.e[0].i);
        d.size = static_cast<int32_t>(std::min<size_t>(v.s.size(), INT32_MAX));
        doz_put(row, f, &d, 1, true);
        return;
    }
    // A single value is laid out in place; only arrays need room of their own.
    const size_t need = static_cast<size_t>(f.elem_size) * std::max<size_t>(v.e.size(), 1);
    unsigned char single[32];
    std::vector<unsigned char> many;
    unsigned char *bytes = single;
    if (need > sizeof single) {
        many.resize(need);
        bytes = many.data();
    }
    memset(bytes, 0, need);
    for (size_t i = 0; i < v.e.size(); i++)
        put_elem(bytes + i * static_cast<size_t>(f.elem_size), v.type, v.e[i]);
    doz_put(row, f, bytes, static_cast<int>(v.e.size()), true);
}

// Database codes: rows handed in that cannot be read; a blob the client
// did not take.
constexpr int E_BAD_INPUT = 152;
constexpr int E_BLOB_REFUSED = 154;

// Hands each blob of a result to the client's retrieval procedure: the
// bytes go through a file of our own, named as the source of READ_BLOB
// with no destination.  The client's result code of the first failure, or 0.
int deliver_blobs(Engine *e, TqlHost *host, const std::vector<std::pair<int32_t, std::string>> &blobs)
{
    for (const auto &[number, bytes] : blobs) {
        // In the client's own folder: the client reads the file itself
        // when it cannot take the bytes through the fifo.
        std::string path = dozids::exchange_dir() + "/blob.XXXXXX";
        dozids::AsCaller named;
        int fd = mkostemp(path.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size();) {
            ssize_t w = ::write(fd, bytes.data() + at, bytes.size() - at);
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            at += ok ? static_cast<size_t>(w) : 0;
        }
        ::close(fd);
        DozBlobDesc d{};
        d.id2 = number;
        d.size = static_cast<int32_t>(std::min<size_t>(bytes.size(), INT32_MAX));
        char ident[28];
        memcpy(ident, &d, sizeof ident);
        int error = 0;
        int r = ok ? host->read_blob(host->self, ident, path.c_str(), "", &error) : -1;
        unlink(path.c_str());
        if (r != 0)
            return r;
    }
    return 0;
}

// The bytes of a blob the client sends for a blob write request, fetched
// through a file of our own in the server directory.
bool fetch_blob(Engine *e, uint64_t spec, std::string &bytes)
{
    if (!e->host || !e->host->write_blob)
        return false;
    // A file in the client's own folder, which the client fills.
    std::string path = dozids::exchange_dir() + "/blob.XXXXXX";
    dozids::AsCaller named;
    int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    int error = 0;
    bool ok = e->host->write_blob(e->host->self, path.c_str(), spec, &error) == 0;
    if (ok) {
        FILE *f = fopen(path.c_str(), "rbe");
        ok = f != nullptr;
        if (f) {
            char chunk[65536];
            size_t n;
            while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
                bytes.append(chunk, n);
            ok = !ferror(f);
            fclose(f);
        }
    }
    unlink(path.c_str());
    return ok;
}

// One field of a packed row as a value; false for bytes no value of the
// type can have (a date or time that is none).
bool get_value(Engine *e, const unsigned char *row, const DozField &f, const Column &c, Value &v, bool &keep,
               std::string &detail)
{
    int n = 0;
    bool present = false;
    const unsigned char *p = doz_get(row, f, &n, &present);
    keep = false;
    if (!present) {
        v = make_null(c.type, c.type == STRING || c.type == BLOB ? c.width : 0);
        v.count = c.count;
        return true;
    }
    if (c.type == STRING) {
        const char *t = reinterpret_cast<const char *>(p);
        v = make_string(std::string(t, strnlen(t, static_cast<size_t>(f.elem_size))), c.width);
        return true;
    }
    if (c.type == BLOB) {
        DozBlobDesc d;
        memcpy(&d, p, sizeof d);
        uint64_t spec;
        memcpy(&spec, p + 16, 8);
        v = make_null(BLOB, c.width);
        v.null = false;
        if (spec == 0) {
            keep = true;  // no bytes sent: an update keeps the stored blob
            return true;
        }
        if (!fetch_blob(e, spec, v.s)) {
            detail = c.name;
            throw Error{DATABASE_CODE, E_BAD_INPUT, c.name};
        }
        return true;
    }
    v = make_null(c.type);
    v.null = false;
    v.count = c.count;
    for (int k = 0; k < n; k++) {
        const unsigned char *at = p + static_cast<size_t>(k) * static_cast<size_t>(f.elem_size);
        Elem x;
        switch (c.type) {
        case LONG: {
            int32_t i;
            memcpy(&i, at, 4);
            x.i = i;
            break;
        }
        case SHORT: {
            int16_t i;
            memcpy(&i, at, 2);
            x.i = i;
            break;
        }
        case BYTE: x.i = *at; break;
        case BOOL: x.i = *at != 0; break;
        case CHAR: x.i = *at; break;
        case REAL: memcpy(&x.r, at, 8); break;
        case SHORTREAL: {
            float r;
            memcpy(&r, at, 4);
            x.r = r;
            break;
        }
        case COMPLEX:
            memcpy(&x.r, at, 8);
            memcpy(&x.im, at + 8, 8);
            break;
        case DATE: {
            DozDate d;
            memcpy(&d, at, 6);
            if (!doz_date_to_days(d, &x.i))
                return false;
            break;
        }
        case TIME: {
            DozTime t;
            memcpy(&t, at, 6);
            if (!doz_time_to_seconds(t, &x.i))
                return false;
            break;
        }
        default: return false;
        }
        v.e.push_back(x);
    }
    return true;
}

// The rows the client packed in its buffer (Write mode: presence bytes,
// as many rows as it announced), read for the statement's columns.
int take_input(void *ctx, const std::vector<Column> &cols, InputRows &out, std::string &detail)
{
    auto *e = static_cast<Engine *>(ctx);
    size_t size = 0;
    int announced = 0;
    const unsigned char *buf = e->host && e->host->input ? e->host->input(e->host->self, &size, &announced) : nullptr;
    std::vector<DozColDesc> descs;
    for (const Column &c : cols)
        descs.push_back(descriptor(c));
    DozLayout layout;
    if (!buf || !doz_layout(descs, true, layout) || layout.row_size <= 0) {
        detail = "WRITE";
        return E_BAD_INPUT;
    }
    size_t rows = announced > 0 ? static_cast<size_t>(announced) : DOZ_DEFAULT_ROWS;
    if (rows * static_cast<size_t>(layout.row_size) > size) {
        detail = std::to_string(rows) + " rows";
        return E_BAD_INPUT;
    }
    out.rows.reserve(out.rows.size() + rows);
    out.keep.reserve(out.keep.size() + rows);
    out.unreadable.reserve(out.unreadable.size() + rows);
    try {
        for (size_t r = 0; r < rows; r++) {
            const unsigned char *row = buf + r * static_cast<size_t>(layout.row_size);
            std::vector<Value> values(cols.size());
            std::vector<bool> keep(cols.size());
            bool readable = true;
            for (size_t i = 0; i < cols.size(); i++) {
                bool k = false;
                readable = get_value(e, row, layout.fields[i], cols[i], values[i], k, detail) && readable;
                keep[i] = k;
            }
            out.rows.push_back(std::move(values));
            out.keep.push_back(std::move(keep));
            out.unreadable.push_back(!readable);
        }
    } catch (const Error &err) {
        detail = err.detail;
        return err.code;
    }
    return 0;
}

void *open_engine(const TqlSession *s)
{
    auto *e = new Engine;
    SessionConfig cfg;
    cfg.user = upper(s && !s->user.empty() ? s->user : "BRASK");
    e->server_dir = s && !s->server_dir.empty() ? s->server_dir : ".";
    cfg.server_dir = e->server_dir;
    cfg.db = &db_layer();
    int32_t refusal = TQL_E_NO_PREFIX;
    cfg.result_prefix = claim_prefix(e->server_dir, e->prefix_lock, refusal);
    if (cfg.result_prefix.empty()) {
        if (s)
            s->refusal = refusal;
        delete e;
        return nullptr;
    }
    std::string dir = vx_client_dir();
    int status = 0;
    {
        dozids::AsCaller named;  // the client's catalogues, where the client says they are
        e->catalogue = open_msg_catalogue(dir.c_str(), "kernel", &status);
    }
    cfg.catalogue = e->catalogue;
    e->session = std::make_unique<Session>(cfg);
    e->session->set_stop_probe(probe, e);
    e->session->set_confirm(ask, e);
    e->session->set_input(take_input, e);
    return e;
}

// The codes and texts of a statement's outcome.
void report(Engine *e, const Status &st, TqlOutcome *out)
{
    out->code[0] = st.query;
    out->code[1] = st.database;
    out->code[2] = st.filer;
    out->rows = st.rows;
    out->fifth = st.fifth;
    e->texts[0] = st.query_text;
    e->texts[1] = st.database_text;
    e->texts[2] = st.filer_text;
}

// A statement whose rows go to the client a buffer at a time: it runs on
// a thread of its own and its rows are handed over as they are made.
void run_streamed(Engine *e, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    auto sm = std::make_shared<Stream>();
    Stream *s = sm.get();
    s->engine = e;
    s->text = text ? text : "";
    s->modes = modes;
    s->sink.flags = (modes & MODE_FLAGS) != 0;
    s->sink.stream = s;
    // Blocks of about the client's buffer (within sane bounds).
    size_t size = 0;
    int announced = 0;
    if (host && host->input)
        host->input(host->self, &size, &announced);
    s->sink.block_bytes = std::clamp<size_t>(size, 64 * 1024, 4 * 1024 * 1024);
    s->worker = std::thread([s] {
        Status st = s->engine->session->execute(s->text, s->modes, s->sink);
        {
            std::lock_guard<std::mutex> lock(s->m);
            s->status = st;
            if (!s->sink.bytes.empty() && !s->cancelled)
                s->blocks.push_back(std::move(s->sink.bytes));
            s->done = true;
        }
        s->cv.notify_all();
    });
    if (s->settle()) {
        // Ended before the queue filled: answered as a statement run whole.
        s->worker.join();
        report(e, s->status, out);
        if (s->status.error || !s->sink.opened || s->sink.bad_layout)
            return;
    } else {
        // Rows follow while the statement goes on; a failure after this
        // point is reported when the writer is done (finish below).
        report(e, Status{}, out);
    }
    out->has_result = true;
    out->result.columns = s->sink.cols;
    out->result.next_row = [sm](unsigned char *row, const DozLayout &layout) {
        if (layout.row_size != sm->sink.layout.row_size)
            return false;
        return sm->next(row, static_cast<size_t>(layout.row_size));
    };
    out->result.next_rows = [sm](unsigned char *rows, int max, const DozLayout &layout) {
        if (layout.row_size != sm->sink.layout.row_size || layout.row_size <= 0)
            return 0;
        return sm->next_many(rows, max, static_cast<size_t>(layout.row_size));
    };
    out->result.finish = [sm, e](int32_t codes[3]) {
        bool cancelled;
        {
            std::lock_guard<std::mutex> lock(sm->m);
            cancelled = !sm->done || !sm->blocks.empty();
        }
        sm->stop();
        const Status &st = sm->status;
        if (cancelled || !st.error || codes[0] || codes[1] || codes[2])
            return;
        codes[0] = st.query;
        codes[1] = st.database;
        codes[2] = st.filer;
        e->texts[0] = st.query_text;
        e->texts[1] = st.database_text;
        e->texts[2] = st.filer_text;
    };
}

void run(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    auto *e = static_cast<Engine *>(engine);
    e->host = host;
    const bool keep_blobs = host && host->read_blob && host->blob_retrieval && host->blob_retrieval(host->self);
    if ((modes & MODE_EOB) && !(modes & MODE_NOEVAL) && !keep_blobs) {
        run_streamed(e, text, modes, host, out);
        return;
    }
    auto sink = std::make_shared<Collect>();
    sink->flags = (modes & MODE_FLAGS) != 0;
    sink->keep_blobs = keep_blobs;
    Status st = e->session->execute(text ? text : "", modes, *sink);
    if (!st.error && !sink->blobs.empty()) {
        if (int r = deliver_blobs(e, host, sink->blobs)) {
            st.error = 1;
            st.database = E_BLOB_REFUSED;
            st.rows = 0;
            st.database_text = error_text(e->catalogue, DATABASE_CODE, st.database, std::to_string(r));
        }
        sink->blobs.clear();
    }
    e->host = nullptr;
    if (!st.error && sink->opened && sink->rows > 0 && !(modes & (MODE_EOB | MODE_NOEVAL)) && host && host->input) {
        // Without end-of-buffer messages the rows must fit one buffer:
        // more is an error, never a result cut short.
        size_t size = 0;
        int announced = 0;
        host->input(host->self, &size, &announced);
        const size_t cap = announced > 0 ? static_cast<size_t>(announced) : DOZ_DEFAULT_ROWS;
        if (sink->rows > cap || sink->bytes.size() > size) {
            st.error = 1;
            st.database = E_BUFFER_FULL;
            st.rows = 0;
            st.database_text = error_text(e->catalogue, DATABASE_CODE, st.database,
                                          std::to_string(sink->rows) + " rows");
        }
    }
    report(e, st, out);
    if (st.error || !sink->opened || sink->bad_layout)
        return;
    out->has_result = true;
    out->result.columns = sink->cols;
    auto next = std::make_shared<size_t>(0);
    out->result.next_row = [sink, next](unsigned char *row, const DozLayout &layout) {
        if (*next >= sink->rows || layout.row_size != sink->layout.row_size)
            return false;
        memcpy(row, sink->bytes.data() + *next * static_cast<size_t>(layout.row_size),
               static_cast<size_t>(layout.row_size));
        ++*next;
        return true;
    };
}

int dump(void *engine, int kind, FILE *to)
{
    // Kind 4: the registered databases, "NAME LOCATION" a line.
    if (kind != 4)
        return -1;
    auto *e = static_cast<Engine *>(engine);
    std::vector<std::pair<std::string, std::string>> list;
    if (!dozstore::list_databases(e->server_dir, list).ok())
        return -1;
    for (const auto &[name, location] : list)
        fprintf(to, "%s %s\n", name.c_str(), location.c_str());
    return 0;
}

int authorise(void *, int) { return 1; }

void close_engine(void *engine)
{
    auto *e = static_cast<Engine *>(engine);
    e->session.reset();  // closes the database first
    if (e->catalogue != NL_NO_CATALOGUE)
        nl_catclose(e->catalogue);
    if (e->prefix_lock >= 0)
        ::close(e->prefix_lock);
    delete e;
}

const TqlEngine engine_table = {"doz", open_engine, run, dump, authorise, close_engine};

}  // namespace

const TqlEngine &doz_tql_engine() { return engine_table; }

void doz_tql_error_texts(void *engine, std::string texts[3])
{
    auto *e = static_cast<Engine *>(engine);
    for (int i = 0; i < 3; i++)
        texts[i] = e ? e->texts[i] : std::string();
}
