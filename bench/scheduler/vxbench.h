// Shared by the benchmarks that run queries through the interpreter just
// built: its private server directory; and by all: the written report.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vxbench {

// A private server directory holding a copy of the interpreter at
// `tqlserver` with the modes and the user file the client checks, named by
// DOZ_SERVER_DIR for the client; no QYINT overrides it.
inline std::filesystem::path private_server(const char *tqlserver)
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("vx-bench-server-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(tqlserver, dir / "tqlserver", fs::copy_options::overwrite_existing);
    chmod((dir / "tqlserver").c_str(), 06755);
    std::ofstream(dir / ".orvanta_user") << getpwuid(getuid())->pw_name << "\n" << getgrgid(getgid())->gr_name << "\n";
    setenv("DOZ_SERVER_DIR", dir.c_str(), 1);
    unsetenv("QYINT");
    return dir;
}

// Writes the report to `out`, making its directory, and says where.
inline void write_report(const std::string &out, const std::string &report)
{
    namespace fs = std::filesystem;
    fs::create_directories(fs::path(out).parent_path());
    std::ofstream(out) << report;
    printf("written to %s\n", out.c_str());
}

// Removes the server directory and writes the report to `out`.
inline void finish(const std::filesystem::path &dir, const std::string &out, const std::string &report)
{
    std::filesystem::remove_all(dir);
    write_report(out, report);
}

}  // namespace vxbench
