// Shared helpers of the graphics library tests.
#pragma once

#include "pelx.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace pelxtest {

inline std::string build_dir()
{
    const char *b = getenv("VX_BUILD_DIR");
    return b ? b : ".";
}
// The build tree's configuration directory and catalogue.
inline std::string etc_dir() { return build_dir() + "/etc"; }
inline std::string catalogue() { return build_dir() + "/messages/SUN4SOLARIS/C/pelx.cat"; }

inline void write_file(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text;
}

inline const char *STAMP = "/* PelxRevisionNumber: 1 */\n";

// Error pair of the last failure.
inline std::pair<int, int> last_error()
{
    long e = GGetError();
    return {static_cast<int>(e >> 16), static_cast<int>(e & 0xFFFF)};
}

}  // namespace pelxtest
