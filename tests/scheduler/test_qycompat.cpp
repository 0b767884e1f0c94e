// The default connection: the calls the rest of the program makes.

#include "qycompat.h"
#include "qytest.h"

namespace {

int rows_seen = 0;
void count_rows(int rows) { rows_seen += rows; }

TEST(DefaultConnection, ForwardsToTheOneConnection)
{
    qytest::use_installed_tree();
    ASSERT_EQ(query_init("TESTER", DOZ_START_WORD), 0);
    EXPECT_EQ(query_connection(), 0);
    void *address = nullptr;
    ASSERT_EQ(query_buffer(&address, 1000, 100000), 0);
    ASSERT_NE(address, nullptr);
    int shmid;
    query_get_server_details(nullptr, nullptr, &shmid);
    // A second call with the same address only announces the rows.
    ASSERT_EQ(query_buffer(&address, 2, 100000), 0);
    int shmid_after;
    query_get_server_details(nullptr, nullptr, &shmid_after);
    EXPECT_EQ(shmid_after, shmid);
    EXPECT_EQ(get_qbuffer(), address);

    ASSERT_EQ(query_on_eob(count_rows), 0);
    ASSERT_EQ(querym("TEST ROWS 5 long", DOZ_M_FULL | DOZ_M_WAIT), 0);
    EXPECT_EQ(rows_seen, 5) << "over buffers of two rows";
    EXPECT_EQ(Query("TEST PRINT 1", "TEST PRINT 2", nullptr), 0);
    int32_t v;
    memcpy(&v, get_qbuffer(), 4);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(Query("TEST PRINT 3", "TEST WRONG", "TEST PRINT 4", nullptr), 0);
    EXPECT_EQ(query_error(), 1);
    memcpy(&v, get_qbuffer(), 4);
    EXPECT_EQ(v, 3) << "stopped at the failing text";
    EXPECT_EQ(query_clear_error(), 0);
    EXPECT_EQ(query_error(), 0);

    pid_t pid;
    int msqid;
    query_get_server_details(&pid, &msqid, nullptr);
    ASSERT_EQ(query_term(), 0);
    EXPECT_FALSE(qytest::queue_exists(msqid));
    EXPECT_EQ(query_error(), 0) << "an unknown connection is no error";
    EXPECT_EQ(query("TEST PRINT 1"), -1);

    // Started again after the handlers were given back; then detached:
    // every call now fails as for an unknown connection.
    ASSERT_EQ(query_init("TESTER", DOZ_START_WORD), 0);
    address = nullptr;
    ASSERT_EQ(query_buffer(&address, 1000, 4096), 0);
    query_get_server_details(&pid, &msqid, &shmid);
    ASSERT_EQ(query_detach(), 0);
    EXPECT_EQ(query_connection(), -1);
    EXPECT_EQ(query("TEST PRINT 1"), -1);
    EXPECT_EQ(get_qbuffer(), nullptr);
    // What a detach leaves to its owner: the interpreter, queue and segment.
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    msgctl(msqid, IPC_RMID, nullptr);
    shmctl(shmid, IPC_RMID, nullptr);
}

}  // namespace
