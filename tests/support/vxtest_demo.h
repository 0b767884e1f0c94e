// The demo database DEMO, built into the installed server directory once;
// concurrent tests wait for the one that builds it (the same lock and mark
// as the workspace's tests use).
#pragma once

#include "vxtest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace vxtest {

inline void ensure_demo()
{
    const std::string server = install_dir() + "/server";
    const std::string ready = server + "/.demo.ready";
    if (access(ready.c_str(), F_OK) == 0)
        return;
    int fd = open((server + "/.demo.build.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    if (access(ready.c_str(), F_OK) != 0) {
        // A build that was cut short leaves nothing we could trust.
        std::filesystem::remove_all(server + "/DEMO");
        std::string list = server + "/databases.list";
        if (FILE *f = fopen(list.c_str(), "r")) {
            std::string kept;
            char buf[512];
            while (fgets(buf, sizeof buf, f))
                if (strncmp(buf, "DEMO\t", 5) != 0)
                    kept += buf;
            fclose(f);
            if (FILE *w = fopen(list.c_str(), "w")) {
                fputs(kept.c_str(), w);
                fclose(w);
            }
        }
        Options o;
        o.timeout = std::chrono::milliseconds(600000);
        Result r = run({server + "/dozdemo", "-q", server, install_dir() + "/demo/demo.doz"}, o);
        ASSERT_EQ(r.status, 0) << r.err;
        FILE *f = fopen(ready.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    flock(fd, LOCK_UN);
    close(fd);
}

}  // namespace vxtest
