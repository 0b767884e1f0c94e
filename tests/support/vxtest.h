// Test support: run a program with a chosen environment and capture what
// it prints; wait for a condition with a bound instead of sleeping.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vxtest {

struct Result {
    int status = -1;       // exit status, or -1
    int signal = 0;        // terminating signal, or 0
    bool timed_out = false;
    std::string out, err;
};

struct Options {
    std::map<std::string, std::string> set_env;   // added or replaced
    std::vector<std::string> unset_env;           // removed
    std::chrono::milliseconds timeout{30000};     // SIGKILL after this
    std::string input;                            // written to stdin
};

Result run(const std::vector<std::string> &argv, const Options &opts = {});

// A started program whose output is collected into files.
struct Child {
    int pid = -1;
    std::string out_path, err_path;
    std::string out() const;
    std::string err() const;
    // Waits for it to end; false when it had not ended within the bound.
    bool wait(std::chrono::milliseconds bound, Result &result);
    void kill_now();
    ~Child();
};
Child start(const std::vector<std::string> &argv, const Options &opts = {});

// Polls `cond` every few milliseconds until it holds or the bound passes.
bool wait_for(const std::function<bool()> &cond, std::chrono::milliseconds bound);

// The installed tree the tests run against (VX_INSTALL_DIR).
std::string install_dir();
// A fresh empty directory under the system's temporary directory.
std::string temp_dir(const std::string &tag);
// A whole file's bytes (empty when it cannot be read); a file made to hold `text`.
std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);

}  // namespace vxtest
