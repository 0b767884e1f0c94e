// The demo database for the graph tests against the installed interpreter.
#pragma once

#include "vxtest_demo.h"

#include <string>

namespace godemo {

inline std::string server_dir() { return vxtest::install_dir() + "/server"; }

using vxtest::ensure_demo;

}  // namespace godemo
