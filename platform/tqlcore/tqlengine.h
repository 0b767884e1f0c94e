// The statement engine behind the query interpreter's protocol loop.
//
// The protocol side (tqlserver.cpp) owns the message queue, the shared
// buffer, the modes and the signals; an engine only parses and runs one
// statement at a time and describes its outcome: status codes, result
// columns with a row producer, or a satellite program to start.  The
// result writer (tqlwriter.h) lays the rows into the buffer.  Any DOZ
// engine can be put behind this table of functions.
#pragma once

#include "dozrow.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// What the protocol side knows of its client, handed to the engine.
struct TqlSession {
    std::string user;        // from INIT
    int client_pid = -1;
    std::string server_dir;  // where dump files go
    // Why open() gave no session: TQL_E_NO_PREFIX or TQL_E_NO_ACCESS.
    mutable int32_t refusal = 0;
};

// Services of the protocol side while a statement runs.
struct TqlHost {
    void *self = nullptr;
    // True once the client asked to stop (SIGUSR1).
    bool (*stop_requested)(void *self) = nullptr;
    // The rows the client packed (Write mode): the buffer, its size and the
    // row count last announced.  Null without a buffer.
    const unsigned char *(*input)(void *self, size_t *size, int *rows) = nullptr;
    // Interactive questions; each waits for the client's reply.
    int (*confirm)(void *self, const char *question) = nullptr;
    void (*echo)(void *self, int first, const char *text, int second) = nullptr;
    std::string (*get_response)(void *self, const char *prompt, int flag) = nullptr;
    // Blob transfers through the client: a blob delivered from `source`
    // (to `destination`, or to the client's retrieval procedure when that
    // is empty), and the bytes of the blob write request `spec` of a row
    // the client sent, fetched into `destination`.  The client's result
    // code; its errno in `error`.
    int (*read_blob)(void *self, const char ident[28], const char *source, const char *destination,
                     int *error) = nullptr;
    int (*write_blob)(void *self, const char *destination, uint64_t spec, int *error) = nullptr;
    // Whether the client has a retrieval procedure for the blobs of its
    // results (BLOB retrieval set): then each blob a result delivers is
    // handed to it with read_blob and no destination.
    bool (*blob_retrieval)(void *self) = nullptr;
};

// Result rows: the columns, and a producer that fills the next row laid
// out by `layout` (presence bytes or not) and returns false at the end.
struct TqlResult {
    std::vector<DozColDesc> columns;
    std::function<bool(unsigned char *row, const DozLayout &layout)> next_row;
    // Optional, in place of next_row: lays up to `max` rows one after the
    // other from `rows` on (each complete, zero bytes included) and
    // returns how many; fewer than `max` only at the end.
    std::function<int(unsigned char *rows, int max, const DozLayout &layout)> next_rows;
    // Called once the writer is done with the rows (may be empty).  An
    // engine that makes its rows while they are written reports here, in
    // the three codes (query, database, filer), a failure that came after
    // its first rows went out; it leaves codes already set alone.
    std::function<void(int32_t codes[3])> finish;
};

struct TqlOutcome {
    int32_t code[3] = {0, 0, 0};  // query, database and filer codes; 0 = success
    int32_t rows = 0;             // rows written by a statement that stores rows
    int32_t fifth = 0;
    bool has_result = false;
    TqlResult result;
    // A satellite program to start in place of the acknowledgement.
    bool fork = false;
    std::string fork_command;
    uint8_t fork_flags[4] = {0, 0, 0, 0};
    // Test statements: leave without an answer, or send a code no
    // client knows.
    bool exit_now = false;
    int32_t raw_code = 0;
};

struct TqlEngine {
    const char *name;
    // Null when the session cannot be had (no result-table prefix free).
    void *(*open)(const TqlSession *session);
    // Runs (with NOEVAL in `modes`: only checks) one statement.
    void (*run)(void *engine, const char *text, uint32_t modes, TqlHost *host, TqlOutcome *out);
    // Writes dump `kind` (4: the database list, one "name location" pair a
    // line); 0 or -1.
    int (*dump)(void *engine, int kind, FILE *to);
    // Whether `right` is granted to the session's user.
    int (*authorise)(void *engine, int right);
    void (*close)(void *engine);
};

// The test statements' engine (the interpreter's test build; see
// docs/interpreter-protocol.md).
const TqlEngine &tql_mini_engine();

// Codes the protocol side, the writer and the test statements report
// (query code, status[1]).
enum TqlCode : int32_t {
    TQL_E_TOO_LONG = -1,  // a message longer than any request
    TQL_E_SYNTAX = -2,    // statement not recognised
    TQL_E_ARGUMENT = -3,  // bad argument or column type
    TQL_E_ROW_SIZE = -4,  // a row does not fit into the buffer
    TQL_E_NO_BUFFER = -5, // no shared buffer announced
    TQL_E_INPUT = -6,     // the rows handed in do not fit the buffer
    TQL_E_STOPPED = 7,    // stopped by the client
    TQL_E_NO_PREFIX = 29, // no result-table prefix free: too many connections
    TQL_E_NO_ACCESS = 30, // the server directory's lock files cannot be made or opened
};
