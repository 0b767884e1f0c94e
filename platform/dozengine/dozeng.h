// The DOZ statement engine: the language core of the query interpreter.
//
// One Session per client connection keeps the connection's macros,
// variables and system variables.  Session::execute() runs one statement
// text and reports its result set to a Sink (column descriptors, then
// rows of typed values, then the end) and its outcome in a Status (the
// six status words and the three error texts the ERR reply carries).
// The engine is headless: it knows nothing of message queues or shared
// buffers; the interpreter program lays the values into its buffers.
#pragma once

#include <nl_types.h>

#include "dozvalue.h"
#include "vxcal.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace doz {

// Bits of the per-query mode word that the engine itself looks at.  The
// buffer bits (FLAGS, EOB, TYPE) only shape how the interpreter lays out
// what the Sink receives.
inline constexpr unsigned MODE_FLAGS = 0x001;
inline constexpr unsigned MODE_EOB = 0x002;
inline constexpr unsigned MODE_TYPE = 0x008;
inline constexpr unsigned MODE_WAIT = 0x010;
inline constexpr unsigned MODE_INTERACTIVE = 0x080;
inline constexpr unsigned MODE_NOEVAL = 0x100;
inline constexpr unsigned MODE_SIGNAL_DONE = 0x400;

// Longest statement text a client may send (without its terminator).
inline constexpr size_t MAX_STATEMENT = 5999;
// Longest error text in the ERR reply (81 bytes with the terminator).
inline constexpr size_t MAX_ERROR_TEXT = 80;

// Makers of dates and times (invalid ones fail as statement errors).
Value make_date(int year, int month, int day);  // full year
Value make_time(int hour, int minute, int second);

// The program's calendar (vxcal.h) under the engine's names: days since
// 1970-01-01, dates of full years 1-9999.
inline int64_t days_from_civil(int64_t y, unsigned m, unsigned d) { return cal_days_from_civil(y, m, d); }
inline void civil_from_days(int64_t days, int &y, int &m, int &d) { cal_civil_from_days(days, y, m, d); }
inline bool valid_date(int y, int m, int d) { return cal_valid_date(y, m, d); }
// A year typed with one or two digits: 35..99 -> 1935..1999, 0..34 -> 2000..2034.
inline int full_year(int y) { return cal_full_year(y); }

// Where a statement's result set goes.  columns() opens a result set,
// row() delivers one row (a null Value is an absent field) and may answer
// false to end the rows early, end() closes the set.  A statement without
// a result set calls none of them; an unevaluated (NOEVAL) statement with a
// result calls columns() and end() only.
class Sink {
  public:
    virtual ~Sink() = default;
    virtual void columns(const std::vector<Column> &cols) = 0;
    virtual bool row(const std::vector<Value> &values) = 0;
    virtual void end() = 0;
};

// A Sink that drops everything (for statements whose results nobody reads).
class NullSink : public Sink {
  public:
    void columns(const std::vector<Column> &) override {}
    bool row(const std::vector<Value> &) override { return true; }
    void end() override {}
};

// The status block of the ACK and the texts of the ERR reply.
struct Status {
    int32_t error = 0;     // 1 when the statement failed or was stopped
    int32_t query = 0;     // query code (7 = stopped by the user)
    int32_t database = 0;  // database code
    int32_t filer = 0;     // filer code
    int32_t rows = 0;      // rows returned or written
    int32_t fifth = 0;     // rows rejected after a failed WRITE, and the like
    std::string query_text, database_text, filer_text;
};

struct DbLayer;

// Rows the client packed into its buffer for WRITE and UPDATE CURRENT,
// read in the layout of the statement's columns.  A blob field that came
// without bytes (no write request) is marked in `keep`: an update
// leaves the stored blob as it is.
struct InputRows {
    std::vector<std::vector<Value>> rows;
    std::vector<std::vector<bool>> keep;  // per row and column: a blob field sent without bytes
    std::vector<bool> unreadable;         // per row: a value no column can hold (a date that is none)
};
// Reads the packed rows for `cols`: 0, or a database code (with the word
// concerned in `detail`) when the rows handed in cannot be read.
using InputFn = int (*)(void *ctx, const std::vector<Column> &cols, InputRows &out, std::string &detail);

struct SessionConfig {
    std::string user = "BRASK";      // the connection's user (upper case)
    std::string server_dir = ".";    // where the database registry lives
    // The statements on databases and tables (dozeng_db.h), or none: then
    // they answer "no database open".
    const DbLayer *db = nullptr;
    std::string result_prefix = "RS00";  // RESULT(): "RS" and two hex digits
    nl_catd catalogue = reinterpret_cast<nl_catd>(-1);  // the "kernel" catalogue, or none
};

struct SessionState;

class Session {
  public:
    explicit Session(SessionConfig config = {});
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Runs one statement.  mode is the per-query mode word; only
    // MODE_NOEVAL changes what the engine does.
    Status execute(std::string_view text, unsigned mode, Sink &sink);

    // Asks the running statement to stop (async-signal-safe); it then
    // ends with query code 7.
    void stop() { stop_.store(true, std::memory_order_relaxed); }
    // A question the engine also asks while it works: true means stop.
    void set_stop_probe(bool (*probe)(void *ctx), void *ctx);
    // Asks the client a yes/no question (CONFIRM) in interactive mode;
    // nonzero is yes.
    void set_confirm(int (*confirm)(void *ctx, const char *question), void *ctx);
    // Where WRITE and UPDATE CURRENT read the rows the client packed.
    void set_input(InputFn input, void *ctx);

    // The macro body of a name, or nullptr (for tests and tools).
    const std::string *macro(std::string_view name) const;

  private:
    std::unique_ptr<SessionState> st_;
    std::atomic<bool> stop_{false};
};

}  // namespace doz
