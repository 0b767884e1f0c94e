// Adapter from the engine's Session and Sink to the interpreter's engine
// table: result values are laid into rows with the shared row layout.

#include "dozeng_tql.h"

#include "dozeng_db.h"
#include "dozeng_int.h"
#include "dozrow.h"
#include "dozstore.h"
#include "vxcat.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

// Collects one statement's result set, each row laid out at once in the
// buffer layout the query's modes ask for.
struct Collect : Sink {
    bool flags = false;
    bool opened = false;
    bool bad_layout = false;
    std::vector<DozColDesc> cols;
    DozLayout layout;
    std::vector<unsigned char> bytes;
    size_t rows = 0;
    void columns(const std::vector<Column> &c) override
    {
        opened = true;
        for (const Column &col : c)
            cols.push_back(descriptor(col));
        bad_layout = !doz_layout(cols, flags, layout);
    }
    bool row(const std::vector<Value> &v) override
    {
        if (bad_layout)
            return false;
        size_t at = bytes.size();
        bytes.resize(at + static_cast<size_t>(layout.row_size), 0);
        for (size_t i = 0; i < v.size() && i < layout.fields.size(); i++)
            put_value(bytes.data() + at, layout.fields[i], v[i]);
        rows++;
        return true;
    }
    void end() override {}
};

struct Engine {
    std::unique_ptr<Session> session;
    std::string server_dir;
    int prefix_lock = -1;  // holds this connection's result-table prefix
    nl_catd catalogue = NL_NO_CATALOGUE;
    std::string texts[3];
    TqlHost *host = nullptr;
};

int ask(void *ctx, const char *question)
{
    auto *e = static_cast<Engine *>(ctx);
    return e->host && e->host->confirm ? e->host->confirm(e->host->self, question) : 0;
}

// The result-table prefix "RS" and two hex digits, unique among the live
// connections of a server directory: each holds a lock on its own.
std::string claim_prefix(const std::string &dir, int &fd)
{
    unsigned start = static_cast<unsigned>(getpid()) & 0xffu;
    char prefix[8];
    for (unsigned k = 0; k < 256; k++) {
        snprintf(prefix, sizeof prefix, "RS%02X", (start + k) & 0xffu);
        std::string path = dir + "/.result." + prefix + ".lock";
        int f = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (f < 0)
            break;
        if (flock(f, LOCK_EX | LOCK_NB) == 0) {
            fd = f;
            return prefix;
        }
        ::close(f);
    }
    // No lock can be had (a directory we cannot write): the process id decides.
    snprintf(prefix, sizeof prefix, "RS%02X", start);
    return prefix;
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
    std::vector<unsigned char> bytes(static_cast<size_t>(f.elem_size) * std::max<size_t>(v.e.size(), 1), 0);
    for (size_t i = 0; i < v.e.size(); i++) {
        unsigned char *at = bytes.data() + i * static_cast<size_t>(f.elem_size);
        const Elem &e = v.e[i];
        switch (v.type) {
        case LONG: {
            int32_t x = static_cast<int32_t>(e.i);
            memcpy(at, &x, 4);
            break;
        }
        case SHORT: {
            int16_t x = static_cast<int16_t>(e.i);
            memcpy(at, &x, 2);
            break;
        }
        case BYTE:
        case BOOL:
        case CHAR: *at = static_cast<unsigned char>(e.i); break;
        case REAL: memcpy(at, &e.r, 8); break;
        case SHORTREAL: {
            float x = static_cast<float>(e.r);
            memcpy(at, &x, 4);
            break;
        }
        case COMPLEX:
            memcpy(at, &e.r, 8);
            memcpy(at + 8, &e.im, 8);
            break;
        case DATE: {
            int y, m, d;
            civil_from_days(e.i, y, m, d);
            DozDate x{static_cast<int16_t>(y), static_cast<int16_t>(m), static_cast<int16_t>(d)};
            memcpy(at, &x, 6);
            break;
        }
        case TIME: {
            DozTime x{static_cast<int16_t>(e.i / 3600), static_cast<int16_t>(e.i / 60 % 60),
                      static_cast<int16_t>(e.i % 60)};
            memcpy(at, &x, 6);
            break;
        }
        default: break;
        }
    }
    doz_put(row, f, bytes.data(), static_cast<int>(v.e.size()), true);
}

void *open_engine(const TqlSession *s)
{
    auto *e = new Engine;
    SessionConfig cfg;
    cfg.user = upper(s && !s->user.empty() ? s->user : "BRASK");
    e->server_dir = s && !s->server_dir.empty() ? s->server_dir : ".";
    cfg.server_dir = e->server_dir;
    cfg.db = &db_layer();
    cfg.result_prefix = claim_prefix(e->server_dir, e->prefix_lock);
    const char *cd = getenv("DOZ_CLIENT_DIR"), *qd = getenv("QYDIR");
    std::string dir = cd && *cd ? cd : qd && *qd ? qd : "/usr/lib/qelbase";
    int status = 0;
    e->catalogue = open_msg_catalogue(dir.c_str(), "kernel", &status);
    cfg.catalogue = e->catalogue;
    e->session = std::make_unique<Session>(cfg);
    e->session->set_stop_probe(probe, e);
    e->session->set_confirm(ask, e);
    return e;
}

void run(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    auto *e = static_cast<Engine *>(engine);
    e->host = host;
    auto sink = std::make_shared<Collect>();
    sink->flags = (modes & MODE_FLAGS) != 0;
    Status st = e->session->execute(text ? text : "", modes, *sink);
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
    out->code[0] = st.query;
    out->code[1] = st.database;
    out->code[2] = st.filer;
    out->rows = st.rows;
    out->fifth = st.fifth;
    e->texts[0] = st.query_text;
    e->texts[1] = st.database_text;
    e->texts[2] = st.filer_text;
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
