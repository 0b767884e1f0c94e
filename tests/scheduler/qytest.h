// Helpers for the tests that start the installed interpreter.
#pragma once

#include "qysched.h"
#include "vxtest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <functional>
#include <string>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qytest {

inline std::string server_dir() { return vxtest::install_dir() + "/server"; }

// A server directory of a test's own (the interpreter takes it from
// DOZ_SERVER_DIR): the installed one's ownership record in it, and owned
// by the account the installed server directory belongs to, the
// database account the interpreter runs as (it takes a server directory
// of no other account's).
inline std::string own_server_dir(const std::string &tag)
{
    std::string d = vxtest::temp_dir(tag);
    std::filesystem::copy_file(server_dir() + "/.orvanta_user", d + "/.orvanta_user");
    struct stat st;
    if (geteuid() == 0 && stat(server_dir().c_str(), &st) == 0 && st.st_uid != 0) {
        if (chown(d.c_str(), st.st_uid, st.st_gid) != 0 || chown((d + "/.orvanta_user").c_str(), st.st_uid, st.st_gid) != 0)
            ADD_FAILURE() << "cannot give " << d << " to the database account";
    }
    return d;
}

// Points the library at the installed tree.  The directories are settled
// at the first start of the process, so every test calls this first.
inline void use_installed_tree()
{
    setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
    setenv("DOZ_SERVER_DIR", server_dir().c_str(), 1);
    unsetenv("QYINT");
}

inline std::string &errors()
{
    static std::string text;
    return text;
}
inline void collect_error(const char *text) { errors() += text; }

inline bool queue_exists(int msqid)
{
    struct msqid_ds ds;
    return msqid >= 0 && msgctl(msqid, IPC_STAT, &ds) == 0;
}
inline bool segment_exists(int shmid)
{
    struct shmid_ds ds;
    return shmid >= 0 && shmctl(shmid, IPC_STAT, &ds) == 0;
}

// Ends every connection of this process, so that no queue, segment or
// interpreter outlives a test, whatever it left behind.
inline void close_all()
{
    for (int cid = 0; cid < DOZ_MAX_CONNECTIONS; cid++)
        if (doz_term(cid) != 0)
            doz_detach(cid, 1);
}

// Starts an interpreter with a buffer of `size` bytes and 1000 rows.
inline int start(int size = 200000)
{
    int cid = -1;
    if (doz_init(&cid, "", "TESTER", DOZ_START_WORD) != 0)
        return -1;
    if (size > 0 && (!doz_create_buffer(cid, size) || doz_set_buffer_rows(cid, DOZ_DEFAULT_ROWS) != 0))
        return -1;
    return cid;
}

// Runs `body` in a forked copy of this process and returns what it
// returned (its own connections stay in the copy).
inline std::string in_child(const std::function<std::string()> &body)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)  // not handed to programs the copy starts
        return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string r = body();
        ssize_t w = write(fds[1], r.data(), r.size());
        (void)w;
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int st;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
    }
    return out;
}

class Interpreter : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_installed_tree();
        errors().clear();
        doz_set_system_error_proc(collect_error);
    }
    void TearDown() override { close_all(); }
};

}  // namespace qytest
