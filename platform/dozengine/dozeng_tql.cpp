// Adapter from the engine's Session and Sink to the interpreter's engine
// table: result values are laid into rows with the shared row layout.

#include "dozeng_tql.h"

#include "dozeng_int.h"
#include "dozrow.h"
#include "vxcat.h"

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

// Collects one statement's result set.
struct Collect : Sink {
    bool opened = false;
    std::vector<Column> cols;
    std::vector<std::vector<Value>> rows;
    void columns(const std::vector<Column> &c) override
    {
        opened = true;
        cols = c;
    }
    bool row(const std::vector<Value> &v) override
    {
        rows.push_back(v);
        return true;
    }
    void end() override {}
};

struct Engine {
    std::unique_ptr<Session> session;
    nl_catd catalogue = NL_NO_CATALOGUE;
    std::string texts[3];
    TqlHost *host = nullptr;
};

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
    // One interpreter process serves one connection: its process id gives
    // the connection's result-table prefix.
    char prefix[8];
    snprintf(prefix, sizeof prefix, "RS%02X", static_cast<unsigned>(getpid()) & 0xffu);
    cfg.result_prefix = prefix;
    const char *cd = getenv("DOZ_CLIENT_DIR"), *qd = getenv("QYDIR");
    std::string dir = cd && *cd ? cd : qd && *qd ? qd : "/usr/lib/qelbase";
    int status = 0;
    e->catalogue = open_msg_catalogue(dir.c_str(), "kernel", &status);
    cfg.catalogue = e->catalogue;
    e->session = std::make_unique<Session>(cfg);
    e->session->set_stop_probe(probe, e);
    return e;
}

void run(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out)
{
    auto *e = static_cast<Engine *>(engine);
    e->host = host;
    auto sink = std::make_shared<Collect>();
    Status st = e->session->execute(text ? text : "", modes, *sink);
    e->host = nullptr;
    out->code[0] = st.query;
    out->code[1] = st.database;
    out->code[2] = st.filer;
    out->rows = st.rows;
    out->fifth = st.fifth;
    e->texts[0] = st.query_text;
    e->texts[1] = st.database_text;
    e->texts[2] = st.filer_text;
    if (st.error || !sink->opened)
        return;
    out->has_result = true;
    for (const Column &c : sink->cols)
        out->result.columns.push_back(descriptor(c));
    auto next = std::make_shared<size_t>(0);
    out->result.next_row = [sink, next](unsigned char *row, const DozLayout &layout) {
        if (*next >= sink->rows.size())
            return false;
        const std::vector<Value> &values = sink->rows[(*next)++];
        for (size_t i = 0; i < values.size() && i < layout.fields.size(); i++)
            put_value(row, layout.fields[i], values[i]);
        return true;
    };
}

int dump(void *, int kind, FILE *)
{
    // No databases are known without storage: an empty list.
    return kind == 4 ? 0 : -1;
}

int authorise(void *, int) { return 1; }

void close_engine(void *engine)
{
    auto *e = static_cast<Engine *>(engine);
    if (e->catalogue != NL_NO_CATALOGUE)
        nl_catclose(e->catalogue);
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
