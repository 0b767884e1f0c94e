// A request from the client as the interpreter reads it: the fields its
// code carries, taken only from the bytes the message holds.
#pragma once

#include "dozproto.h"

#include <cstdint>
#include <string>

struct TqlRequest {
    int32_t code = 0;
    // False when the message is too short for its code (or, for MODE,
    // names no mode bit): answered with an argument error (QUERY: a
    // syntax error), nothing done.
    bool complete = true;
    std::string user;           // INIT: empty in a short message
    std::string text;           // QUERY, QUERYM: up to its NUL or the end
    bool with_modes = false;    // QUERYM
    uint32_t modes = 0;         // QUERYM: the server's bits of the mode word
    int32_t kind = 0;           // BUFF (1 new segment), DUMP
    int32_t shmid = -1;         // BUFF
    int32_t rows = 0;           // BUFF
    int32_t size = 0;           // BUFF
    int32_t bit = 0;            // MODE
    bool on = false;            // MODE, BLOB_RETRIEVAL
    int32_t pid = 0;            // ATTACH, CLINFO (0 when not given), DUMP
    int32_t right = 0;          // AUTHORISE
    int32_t codes[3] = {0, 0, 0};  // ERR
};

// Decodes message `m` whose payload is `n` bytes (0 <= n <= DOZ_RECV_ROOM).
TqlRequest tql_decode(const DozMsg &m, int n);
