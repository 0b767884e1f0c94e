// Blob transfers and satellite programs through the real interpreter.

#include "dozrow.h"
#include "dozvalue.h"
#include "qytest.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using qytest::Interpreter;

namespace {

std::string satellite() { return std::string(getenv("VX_BUILD_DIR")) + "/tests/scheduler/qysatellite"; }

std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

int status_at(int cid, int i)
{
    int st[6];
    doz_get_qstatus(cid, st);
    return st[i];
}

int32_t first_long(int cid)
{
    int32_t v;
    memcpy(&v, doz_get_qbuffer(cid), 4);
    return v;
}

std::string retrieved;
int retrieved_number = -1;
std::string retrieved_ident;
bool retrieved_by_fifo = false;
int keep_blob(int, int fd, const char *ident, int number)
{
    struct stat st;
    retrieved_by_fifo = fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
    char buf[256];
    ssize_t n;
    retrieved.clear();
    while ((n = read(fd, buf, sizeof buf)) > 0)
        retrieved.append(buf, static_cast<size_t>(n));
    retrieved_number = number;
    retrieved_ident.assign(ident, 28);
    return 0;
}

TEST_F(Interpreter, BlobsDeliveredByTheInterpreter)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    std::string dir = vxtest::temp_dir("blob");
    std::string bytes("blob\0bytes\n", 11);
    std::ofstream(dir + "/src", std::ios::binary) << bytes;

    struct {
        std::string src, dst;
        int result;
    } cases[] = {
        {dir + "/src", dir + "/copy", 0},
        {dir + "/missing", dir + "/copy2", -197},
        {dir + "/src", dir + "/no/such/dir/copy", -198},
        {dir + "/src", "", -200},
    };
    for (auto &c : cases) {
        std::string q = "TEST READBLOB '" + c.src + "' '" + c.dst + "'";
        ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
        EXPECT_EQ(first_long(cid), c.result) << c.src << " -> " << c.dst;
    }
    EXPECT_EQ(slurp(dir + "/copy"), bytes);
    struct stat st;
    ASSERT_EQ(stat((dir + "/copy").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Without a destination: the retrieval procedure, numbered per query.
    ASSERT_EQ(doz_set_blob_retrieval_proc(cid, keep_blob), 0);
    for (int round = 0; round < 2; round++) {
        std::string q = "TEST READBLOB '" + dir + "/src' ''";
        ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
        EXPECT_EQ(first_long(cid), 0);
        EXPECT_EQ(retrieved, bytes);
        EXPECT_TRUE(retrieved_by_fifo) << "through the fifo the interpreter announced";
        EXPECT_EQ(retrieved_number, 0);
        DozBlobDesc d{};
        memcpy(&d, retrieved_ident.data(), 28);
        char name[DOZ_BLOB_NAME_SIZE];
        EXPECT_STREQ(doz_blob_name(&d, name), "B_1_2");
    }
    fs::remove_all(dir);
}

void write_hello(long value, int fd)
{
    auto *spec = reinterpret_cast<DozBlobWriteSpec *>(value);
    std::string text = "hello " + std::to_string(spec->argument);
    ssize_t w = write(fd, text.data(), text.size());
    (void)w;
}

TEST_F(Interpreter, BlobsSentToTheInterpreter)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    std::string dir = vxtest::temp_dir("blobw");
    std::ofstream(dir + "/src") << "file contents";
    DozColDesc col{};
    col.type = DOZ_T_BLOB;
    DozLayout l;
    ASSERT_TRUE(doz_layout(std::span(&col, 1), true, l));

    DozBlobWriteSpec from_file{1, 0, "", nullptr};
    snprintf(from_file.path, sizeof from_file.path, "%s/src", dir.c_str());
    DozBlobWriteSpec missing{1, 0, "/no/such/source", nullptr};
    DozBlobWriteSpec by_proc{3, 42, "", write_hello};
    struct {
        DozBlobWriteSpec *spec;
        uint64_t forged;
        int result;
        std::string content, errors;
    } cases[] = {
        {&from_file, 0, 0, "file contents", ""},
        {&by_proc, 0, 0, "hello 42", ""},
        {&missing, 0, -201, "", ""},
        {nullptr, 0x00007fff12345678ULL, -201, "", "Error: Null value for blob write spec\n"},
    };
    auto *b = static_cast<unsigned char *>(doz_get_qbuffer(cid));
    int i = 0;
    for (auto &c : cases) {
        SCOPED_TRACE(i);
        qytest::errors().clear();
        DozBlobDesc d{};
        if (c.spec)
            doz_set_blob_write_spec(&d, c.spec);
        else
            memcpy(reinterpret_cast<unsigned char *>(&d) + 16, &c.forged, 8);
        memset(b, 0, static_cast<size_t>(l.row_size));
        doz_put(b, l.fields[0], &d, 1, true);
        ASSERT_EQ(doz_set_buffer_rows(cid, 1), 0);
        std::string dst = dir + "/out" + std::to_string(i++);
        std::string q = "TEST WRITEBLOB '" + dst + "'";
        ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT | DOZ_M_FLAGS), 0);
        EXPECT_EQ(doz_error(cid), 0);
        int32_t r;
        memcpy(&r, b + 4, 4);  // FLAGS layout: presence byte, then the long
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(qytest::errors(), c.errors);
        if (c.result == 0) {
            EXPECT_EQ(slurp(dst), c.content);
        }
    }
    doz_clear_blob_write_specs();
    fs::remove_all(dir);
}

std::vector<std::string> fork_calls;
int fork_answer = 0;
int fork_proc(int phase, int a, int b, const unsigned char *, char ***)
{
    fork_calls.push_back(std::to_string(phase) + ":" + std::to_string(a) + "," + std::to_string(b));
    return phase == 0 ? fork_answer : 0;
}

TEST_F(Interpreter, SatellitePrograms)
{
    int cid = qytest::start();
    ASSERT_GE(cid, 0);
    const std::string sat = satellite();
    struct {
        std::string words;
        int code, code2, code3, exitstatus;
        std::string lines[3];
    } cases[] = {
        {"exit 0", 0, 0, 0, 0, {}},
        {"exit 3", 17, 0, 0, 3, {}},
        {"exit 2 first second third", 17, 99, 93, 2, {"first", "second", "third"}},
        {"exit 4 only", 17, 0, 0, 4, {"only", "", ""}},
        {"signal", 24, 0, 0, 0, {}},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.words);
        std::string q = "TEST FORK '" + sat + " " + c.words + "' 1 0 0 0";
        ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
        int code, code2, code3;
        doz_status(cid, &code, &code2, &code3, nullptr, nullptr);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(code2, c.code2);
        EXPECT_EQ(code3, c.code3);
        EXPECT_EQ(doz_error(cid), c.code ? 1 : 0);
        if (c.code == 17) {
            char t1[81], t2[81], t3[81];
            EXPECT_EQ(doz_mess(cid, t1, t2, t3), -1);
            EXPECT_EQ(t1, c.lines[0]);
            EXPECT_EQ(t2, c.lines[1]);
            EXPECT_EQ(t3, c.lines[2]);
        }
        // The exit status reached the interpreter; the connection goes on.
        ASSERT_EQ(doz_querym(cid, "PRINT %exitstatus", DOZ_M_WAIT), 0);
        EXPECT_EQ(doz_error(cid), 0);
        EXPECT_EQ(first_long(cid), c.exitstatus);
    }

    // Not there at all: could not be started, ENOENT.
    ASSERT_EQ(doz_querym(cid, "TEST FORK '/no/such/satellite x' 1 0 0 0", DOZ_M_WAIT), 0);
    EXPECT_EQ(status_at(cid, 1), 19);
    EXPECT_EQ(status_at(cid, 2), 21);

    // The argument list, with the fork options; the fork procedure sees
    // both phases with their flag bytes.
    fork_calls.clear();
    doz_set_callback_proc(DOZ_CB_FORK, reinterpret_cast<DozCallback>(fork_proc));
    query_set_fork_option("-x opt");
    std::string q = "TEST FORK '" + sat + " args more' 1 2 3 4";
    ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
    char t1[81], t2[81], t3[81];
    doz_mess(cid, t1, t2, t3);
    pid_t pid;
    int msqid, shmid;
    doz_get_server_details(cid, &pid, &msqid, &shmid);
    std::string head = "qysatellite -q " + std::to_string(msqid) + " -m " + std::to_string(shmid) + " -p " +
                       std::to_string(pid) + " -e ";
    std::string line = t1;
    EXPECT_EQ(line.substr(0, head.size()), head);
    EXPECT_NE(line.find(" -x opt args more"), std::string::npos) << line;
    EXPECT_EQ(fork_calls, (std::vector<std::string>{"0:2,3", "1:2,4"}));

    // Refused by the fork procedure: nothing runs, no error.
    fork_calls.clear();
    fork_answer = -1;
    q = "TEST FORK '" + sat + " exit 9' 1 0 0 0";
    ASSERT_EQ(doz_querym(cid, q.c_str(), DOZ_M_WAIT), 0);
    EXPECT_EQ(doz_error(cid), 0);
    EXPECT_EQ(fork_calls, std::vector<std::string>{"0:0,0"});
    fork_answer = 0;
    doz_set_callback_proc(DOZ_CB_FORK, nullptr);
    query_set_fork_option(nullptr);
    ASSERT_EQ(doz_querym(cid, "TEST PRINT 8", DOZ_M_WAIT), 0);
    EXPECT_EQ(first_long(cid), 8);
}

}  // namespace
