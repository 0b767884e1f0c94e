// The interpreter protocol: every message, code, mode bit, status block,
// column descriptor and blob descriptor that the client library and the
// query interpreter exchange.  Both sides include this one header, so the
// layouts cannot drift apart; the static_asserts pin every offset.
//
// All integers are 32-bit in the host's byte order.  Offsets are counted
// from the start of the message (the 8-byte message type first).
#pragma once

#include <cstddef>
#include <cstdint>

// ---- message framing -----------------------------------------------------

inline constexpr long DOZ_TO_SERVER = 1;   // message type client -> interpreter
inline constexpr long DOZ_TO_CLIENT = 2;   // message type interpreter -> client
inline constexpr int DOZ_MAX_PAYLOAD = 6000;   // ordinary messages
inline constexpr int DOZ_RECV_ROOM = 6008;     // receive room (payload bytes)
inline constexpr int DOZ_ERR_REPLY_BYTES = 244;
inline constexpr int DOZ_QSTAT_REPLY_BYTES = 82;
inline constexpr int DOZ_MAX_QUERY = 6000;     // a text must be shorter
inline constexpr int DOZ_MAGIC_3000 = 3000;    // passed in INIT and ATTACH
inline constexpr uint32_t DOZ_START_WORD = 0x8000001e;
inline constexpr int DOZ_MAX_CONNECTIONS = 32;
inline constexpr int DOZ_DEFAULT_ROWS = 1000;

// Message codes, client -> interpreter.
enum DozClientCode : int32_t {
    DOZ_INIT = 1,
    DOZ_TERM = 2,
    DOZ_BUFF = 3,
    DOZ_QUERY = 4,
    DOZ_MODE = 5,
    DOZ_EOB_REPLY = 6,
    DOZ_ERR = 7,
    DOZ_CONFIRM_REPLY = 8,
    DOZ_GETRESP_REPLY = 9,
    DOZ_QSTAT = 10,
    DOZ_ATTACH = 11,
    DOZ_ECHO_REPLY = 13,
    DOZ_DUMP = 14,
    DOZ_QUERYM = 15,
    DOZ_AUTHORISE = 16,
    DOZ_FORMAT = 17,
    DOZ_CLINFO = 18,
    DOZ_WRITE_BLOB_REPLY = 19,
    DOZ_READ_BLOB_REPLY = 20,
    DOZ_BLOB_RETRIEVAL = 21,
};

// Message codes, interpreter -> client.
enum DozServerCode : int32_t {
    DOZ_ACK = 100,
    DOZ_EOB = 102,
    DOZ_CONFIRM = 103,
    DOZ_ECHO = 104,
    DOZ_GETRESP = 105,
    DOZ_FORK = 106,
    DOZ_WRITE_BLOB = 108,
    DOZ_READ_BLOB = 109,
    DOZ_SET_FIFO = 110,
    // Never sent by an interpreter: the client's own wake-up, which its
    // child-death handler puts on a dead interpreter's queue so that a
    // blocked receive returns.
    DOZ_LOCAL_WAKE = 199,
};

// ---- mode bits -----------------------------------------------------------

enum DozModeBit : int {
    DOZ_BIT_FLAGS = 0,
    DOZ_BIT_EOB = 1,
    DOZ_BIT_TRAP = 2,
    DOZ_BIT_TYPE = 3,
    DOZ_BIT_WAIT = 4,
    DOZ_BIT_SCAN = 6,
    DOZ_BIT_INTERACTIVE = 7,
    DOZ_BIT_NOEVAL = 8,
    DOZ_BIT_SUBCOMPONENTS = 9,
    DOZ_BIT_SIGNAL_DONE = 10,
    DOZ_BIT_NO_SUICIDE = 11,
};
inline constexpr uint32_t DOZ_M_FLAGS = 1u << DOZ_BIT_FLAGS;
inline constexpr uint32_t DOZ_M_EOB = 1u << DOZ_BIT_EOB;
inline constexpr uint32_t DOZ_M_TRAP = 1u << DOZ_BIT_TRAP;
inline constexpr uint32_t DOZ_M_TYPE = 1u << DOZ_BIT_TYPE;
inline constexpr uint32_t DOZ_M_WAIT = 1u << DOZ_BIT_WAIT;
inline constexpr uint32_t DOZ_M_SCAN = 1u << DOZ_BIT_SCAN;
inline constexpr uint32_t DOZ_M_INTERACTIVE = 1u << DOZ_BIT_INTERACTIVE;
inline constexpr uint32_t DOZ_M_NOEVAL = 1u << DOZ_BIT_NOEVAL;
inline constexpr uint32_t DOZ_M_SUBCOMPONENTS = 1u << DOZ_BIT_SUBCOMPONENTS;
inline constexpr uint32_t DOZ_M_SIGNAL_DONE = 1u << DOZ_BIT_SIGNAL_DONE;
inline constexpr uint32_t DOZ_M_NO_SUICIDE = 1u << DOZ_BIT_NO_SUICIDE;
inline constexpr uint32_t DOZ_SERVER_MASK = 0x9db;
inline constexpr uint32_t DOZ_M_FULL = DOZ_M_FLAGS | DOZ_M_EOB | DOZ_M_TYPE;

// ---- status block --------------------------------------------------------

enum DozStatusIndex : int {
    DOZ_ST_ERROR = 0,   // error flag
    DOZ_ST_CODE = 1,    // query code (7 = stopped by the user)
    DOZ_ST_CODE2 = 2,   // database code
    DOZ_ST_CODE3 = 3,   // filer code
    DOZ_ST_ROWS = 4,    // rows produced or written
    DOZ_ST_FIFTH = 5,   // grant of AUTHORISE, rows rejected by a WRITE
};
inline constexpr int DOZ_CODE_STOPPED = 7;

// ---- messages ------------------------------------------------------------

struct DozHeader {
    long mtype;
    int32_t zero;
    int32_t code;
};
static_assert(sizeof(long) == 8, "the message type takes 8 bytes");
static_assert(offsetof(DozHeader, zero) == 8 && offsetof(DozHeader, code) == 12 && sizeof(DozHeader) == 16);

// Any message, for receiving: the header and the largest payload.
struct DozMsg {
    DozHeader h;
    unsigned char data[DOZ_RECV_ROOM];
};
static_assert(offsetof(DozMsg, data) == 16);

// The msgsnd / msgrcv size of a message with `payload` bytes after offset 16.
constexpr size_t doz_msg_size(size_t payload) { return 8 + payload; }

struct DozInitMsg {
    DozHeader h;
    char user[32];
    int32_t start_word;
    int32_t remote;
    int32_t magic;  // 3000
};
static_assert(offsetof(DozInitMsg, user) == 16 && offsetof(DozInitMsg, start_word) == 48 &&
              offsetof(DozInitMsg, remote) == 52 && offsetof(DozInitMsg, magic) == 56 &&
              offsetof(DozInitMsg, magic) + 4 == 16 + 44);

struct DozBuffMsg {
    DozHeader h;
    int32_t kind;  // 1 new segment, 0 new row count
    int32_t shmid;
    int32_t rows;
    int32_t size;
};
static_assert(offsetof(DozBuffMsg, kind) == 16 && offsetof(DozBuffMsg, shmid) == 20 &&
              offsetof(DozBuffMsg, rows) == 24 && offsetof(DozBuffMsg, size) == 28 && sizeof(DozBuffMsg) == 32);

struct DozQueryMsg {
    DozHeader h;
    char text[DOZ_MAX_QUERY];
};
static_assert(offsetof(DozQueryMsg, text) == 16);

struct DozQuerymMsg {
    DozHeader h;
    int32_t modes;
    char text[DOZ_MAX_QUERY];
};
static_assert(offsetof(DozQuerymMsg, modes) == 16 && offsetof(DozQuerymMsg, text) == 20);

struct DozModeMsg {
    DozHeader h;
    int32_t bit;
    uint8_t on;
    uint8_t pad[3];
};
static_assert(offsetof(DozModeMsg, bit) == 16 && offsetof(DozModeMsg, on) == 20 && sizeof(DozModeMsg) == 24);

struct DozErrMsg {
    DozHeader h;
    int32_t code[3];
};
static_assert(offsetof(DozErrMsg, code) == 16 && sizeof(DozErrMsg::code) == 12);

struct DozIntMsg {  // CONFIRM reply, AUTHORISE, FORMAT, BLOB retrieval
    DozHeader h;
    int32_t value;
    int32_t pad;
};
static_assert(offsetof(DozIntMsg, value) == 16);
inline constexpr size_t DOZ_INT_PAYLOAD = 4;

struct DozGetrespReplyMsg {
    DozHeader h;
    char text[82];
};
static_assert(offsetof(DozGetrespReplyMsg, text) == 16);

struct DozAttachMsg {
    DozHeader h;
    int32_t pid;
    int32_t start_word;
    int32_t magic;  // 3000
};
static_assert(offsetof(DozAttachMsg, pid) == 16 && offsetof(DozAttachMsg, start_word) == 20 &&
              offsetof(DozAttachMsg, magic) == 24 && offsetof(DozAttachMsg, magic) + 4 == 16 + 12);

struct DozDumpMsg {
    DozHeader h;
    int32_t kind;
    int32_t pid;
};
static_assert(offsetof(DozDumpMsg, kind) == 16 && offsetof(DozDumpMsg, pid) == 20 && sizeof(DozDumpMsg) == 24);

struct DozClinfoMsg {
    DozHeader h;
    uint8_t first_contact;  // 1 after INIT, 0 after ATTACH
    uint8_t remote;
    uint8_t pad[2];
    int32_t pid;
    int32_t uid;
    char host[31];
    uint8_t pad2;
};
static_assert(offsetof(DozClinfoMsg, first_contact) == 16 && offsetof(DozClinfoMsg, remote) == 17 &&
              offsetof(DozClinfoMsg, pid) == 20 && offsetof(DozClinfoMsg, uid) == 24 &&
              offsetof(DozClinfoMsg, host) == 28 && offsetof(DozClinfoMsg, pad2) + 1 == 16 + 44);

struct DozBlobReplyMsg {  // WRITE_BLOB and READ_BLOB replies
    DozHeader h;
    int32_t result;
    int32_t error;
};
static_assert(offsetof(DozBlobReplyMsg, result) == 16 && offsetof(DozBlobReplyMsg, error) == 20 &&
              sizeof(DozBlobReplyMsg) == 24);

// Interpreter -> client.

struct DozAckMsg {
    DozHeader h;
    int32_t status[6];
    int32_t data_bytes;
    int32_t pad;
};
static_assert(offsetof(DozAckMsg, status) == 16 && offsetof(DozAckMsg, data_bytes) == 40);
inline constexpr size_t DOZ_ACK_PAYLOAD = 28;

struct DozEobMsg {
    DozHeader h;
    int32_t rows;
    int32_t data_bytes;
};
static_assert(offsetof(DozEobMsg, rows) == 16 && offsetof(DozEobMsg, data_bytes) == 20 && sizeof(DozEobMsg) == 24);

struct DozTextMsg {  // CONFIRM question, SET_FIFO path
    DozHeader h;
    char text[DOZ_MAX_PAYLOAD];
};
static_assert(offsetof(DozTextMsg, text) == 16);

struct DozEchoMsg {
    DozHeader h;
    int32_t first;
    int32_t second;
    char text[DOZ_MAX_PAYLOAD - 8];
};
static_assert(offsetof(DozEchoMsg, first) == 16 && offsetof(DozEchoMsg, second) == 20 &&
              offsetof(DozEchoMsg, text) == 24);

struct DozGetrespMsg {
    DozHeader h;
    char prompt[41];  // offsets 16 to 56
    int8_t flag;      // offset 57
};
static_assert(offsetof(DozGetrespMsg, prompt) == 16 && offsetof(DozGetrespMsg, flag) == 57);
inline constexpr size_t DOZ_GETRESP_PAYLOAD = 42;

struct DozForkMsg {
    DozHeader h;
    char command[256];   // 16 to 271
    uint8_t flags[4];    // 272 to 275
    uint8_t pad[4];
    unsigned char area[DOZ_MAX_PAYLOAD - 264];  // handed to the fork procedure
};
static_assert(offsetof(DozForkMsg, command) == 16 && offsetof(DozForkMsg, flags) == 272 &&
              offsetof(DozForkMsg, area) == 280);

struct DozWriteBlobMsg {
    DozHeader h;
    int32_t unused;
    char destination[260];  // 20 to 279; empty = the fifo
    uint64_t spec;          // the blob write request's token, handed back as it came in the row
};
static_assert(offsetof(DozWriteBlobMsg, destination) == 20 && offsetof(DozWriteBlobMsg, spec) == 280 &&
              sizeof(DozWriteBlobMsg) == 288);

struct DozReadBlobMsg {
    DozHeader h;
    int32_t unused;
    char ident[28];
    int32_t source_offset;       // into `text`
    int32_t destination_offset;  // into `text`
    char text[DOZ_MAX_PAYLOAD - 40];
};
static_assert(offsetof(DozReadBlobMsg, ident) == 20 && offsetof(DozReadBlobMsg, source_offset) == 48 &&
              offsetof(DozReadBlobMsg, destination_offset) == 52 && offsetof(DozReadBlobMsg, text) == 56);

// The ERR reply: three 81-byte texts, filer first.
struct DozErrReplyMsg {
    DozHeader h;
    char text3[81];  // filer text, 16
    char text2[81];  // database text, 97
    char text1[81];  // query text, 178
    char pad;
};
static_assert(offsetof(DozErrReplyMsg, text3) == 16 && offsetof(DozErrReplyMsg, text2) == 97 &&
              offsetof(DozErrReplyMsg, text1) == 178 && offsetof(DozErrReplyMsg, pad) + 1 == 16 + DOZ_ERR_REPLY_BYTES);

struct DozQstatReplyMsg {
    DozHeader h;
    char text[DOZ_QSTAT_REPLY_BYTES];
};
static_assert(offsetof(DozQstatReplyMsg, text) == 16 && sizeof(DozQstatReplyMsg::text) == DOZ_QSTAT_REPLY_BYTES);

// ---- result buffer -------------------------------------------------------

enum DozType : int16_t {
    DOZ_T_STRING = 0,
    DOZ_T_LONG = 1,
    DOZ_T_SHORT = 2,
    DOZ_T_REAL = 3,
    DOZ_T_DATE = 4,
    DOZ_T_TIME = 5,
    DOZ_T_COMPLEX = 6,
    DOZ_T_BOOL = 7,
    DOZ_T_CHAR = 8,
    DOZ_T_SREAL = 9,
    DOZ_T_TINY = 10,
    DOZ_T_BLOB = 11,
    DOZ_T_END = -1,  // the terminator entry of a descriptor table
};
inline constexpr int DOZ_NTYPES = 12;
inline constexpr int16_t DOZ_EMPTY_MARK = -2;  // first int16 of an empty buffer

struct DozColDesc {
    int16_t type;
    int16_t width;      // string: declared length; else print width
    int16_t precision;  // string: display width; else precision; terminator: row alignment
    uint8_t unused[2];
    int32_t count;      // 0 single, n fixed array, -n variable array of at most n
    char name[52];
};
static_assert(offsetof(DozColDesc, type) == 0 && offsetof(DozColDesc, width) == 2 &&
              offsetof(DozColDesc, precision) == 4 && offsetof(DozColDesc, count) == 8 &&
              offsetof(DozColDesc, name) == 12 && sizeof(DozColDesc) == 64);

struct DozDate {
    int16_t year, month, day;
};
struct DozTime {
    int16_t hour, minute, second;
};
static_assert(sizeof(DozDate) == 6 && sizeof(DozTime) == 6);

struct DozBlobDesc {
    char prefix[16];
    int32_t id1;  // 0: a numbered temporary blob
    int32_t id2;
    int32_t size;
    int32_t flags;
    int32_t subclass;
};
static_assert(offsetof(DozBlobDesc, id1) == 16 && offsetof(DozBlobDesc, id2) == 20 &&
              offsetof(DozBlobDesc, size) == 24 && offsetof(DozBlobDesc, flags) == 28 &&
              offsetof(DozBlobDesc, subclass) == 32 && sizeof(DozBlobDesc) == 36);
