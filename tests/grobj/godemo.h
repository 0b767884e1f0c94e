// The demo database for the graph tests against the installed interpreter.
#pragma once

// gtest before the X headers, whose None macro it cannot take.
#include <gtest/gtest.h>

#include "qymgr.h"
#include "vxadata.h"
#include "vxcat.h"
#include "vxtest_demo.h"

#include <cstdlib>
#include <string>

namespace godemo {

inline std::string server_dir() { return vxtest::install_dir() + "/server"; }

using vxtest::ensure_demo;

// The client library pointed at the installed tree and the demo's server
// directory, with no interpreter named by the environment.
inline void use_installed_interpreter()
{
    setenv("DOZ_CLIENT_DIR", vxtest::install_dir().c_str(), 1);
    setenv("DOZ_SERVER_DIR", server_dir().c_str(), 1);
    unsetenv("QYINT");
}

// The query manager connected as BRASK, without a user interface, and the
// demo database open. Call through ASSERT_NO_FATAL_FAILURE.
inline void open_demo()
{
    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    ad.user_name = const_cast<char *>("BRASK");
    ad.server_name = const_cast<char *>("");
    ad.buffer_size = ad.queryBufferSize = 200000;
    qymgr_qy_set_ui(nullptr);
    qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
    ASSERT_GE(qymgr_qy_connection(), 0);
    qymgr_qy_query("OPEN DEMO", QY_NOWAIT, QY_ASIS, QY_REPORT);
    ASSERT_TRUE(qymgr_qy_ok());
}

}  // namespace godemo
