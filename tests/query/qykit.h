// Test kit for the query manager against the installed interpreter: a
// resource record, recording query handlers, a recording UI on top of the
// headless pump, a watch on what is sent, and stderr capture.
#pragma once

#include <gtest/gtest.h>  // before the X headers, which define None

#include "qycompat.h"
#include "qymgr.h"
#include "qymgr_int.h"
#include "qytest.h"
#include "vxcat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace qykit {

struct Event {
    int event, rows, bytes;
    int16_t first_short;  // of the buffer, when the handler saw it
    bool operator==(const Event &o) const = default;
};

inline std::vector<Event> &default_events()
{
    static std::vector<Event> v;
    return v;
}
inline std::vector<Event> &override_events()
{
    static std::vector<Event> v;
    return v;
}
// Runs inside the default handler (after recording), when set.
inline std::function<void(int event)> &in_default_handler()
{
    static std::function<void(int)> f;
    return f;
}

inline int16_t first_short(const void *buffer)
{
    int16_t v = 0;
    if (buffer)
        memcpy(&v, buffer, sizeof v);
    return v;
}

// The bytes the last handler call was allowed to read.
inline size_t &readable()
{
    static size_t n = 0;
    return n;
}

inline void default_handler(int event, int rows, int bytes, DozReader &buffer)
{
    default_events().push_back({event, rows, bytes, first_short(buffer.buffhandle)});
    readable() = buffer.buffsize;
    if (in_default_handler())
        in_default_handler()(event);
}
inline void override_handler(int event, int rows, int bytes, DozReader &buffer)
{
    override_events().push_back({event, rows, bytes, first_short(buffer.buffhandle)});
    readable() = buffer.buffsize;
}

// The UI: counts the pump's turns (running `on_pump` first) and records
// the error boxes.
struct Box {
    int message;
    std::string text1, text2;
};
inline int &pumps()
{
    static int n = 0;
    return n;
}
inline std::function<void()> &on_pump()
{
    static std::function<void()> f;
    return f;
}
inline std::vector<Box> &boxes()
{
    static std::vector<Box> v;
    return v;
}
inline void ui_process()
{
    pumps()++;
    if (on_pump())
        on_pump()();
    qymgr_headless_ui()->process_event();
}
inline void ui_error(int message, const char *t1, const char *t2) { boxes().push_back({message, t1, t2}); }
inline int ui_confirm(int) { return 1; }
inline const QyUi recording_ui{ui_process, ui_error, ui_confirm, nullptr};

// What the manager hands the client library: the texts and mode words.
struct Sent {
    std::string text;
    uint32_t modes;
};
inline std::vector<Sent> &sent()
{
    static std::vector<Sent> v;
    return v;
}
// Runs after the real call, when set (to change what the caller sees).
inline std::function<void(const char *text)> &after_querym()
{
    static std::function<void(const char *)> f;
    return f;
}
inline int watching_querym(const char *text, uint32_t modes)
{
    sent().push_back({text, modes});
    int r = querym(text, modes);
    if (after_querym())
        after_querym()(text);
    return r;
}

inline std::string catalogue_path()
{
    const char *b = getenv("VX_BUILD_DIR");
    return std::string(b ? b : ".") + "/messages/SUN4SOLARIS/C/vostrelane.cat";
}

inline AppData resources(int run_mode = 0)
{
    AppData a{};
    a.catd = nl_catopen(catalogue_path().c_str(), 0);
    a.user_name = const_cast<char *>("TESTER");
    a.server_name = const_cast<char *>("");
    a.buffer_size = 200000;
    a.queryBufferSize = 200000;
    a.runMode = run_mode;
    a.dateInputFormat = const_cast<char *>("%d/%m/%y");
    return a;
}

// Standard error of this process, collected between start and stop.
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        char name[] = "/tmp/qystderrXXXXXX";
        fd_ = mkstemp(name);
        unlink(name);
        saved_ = dup(2);
        dup2(fd_, 2);
    }
    std::string stop()
    {
        if (saved_ < 0)
            return text_;
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        lseek(fd_, 0, SEEK_SET);
        char buf[1024];
        ssize_t n;
        while ((n = read(fd_, buf, sizeof buf)) > 0)
            text_.append(buf, static_cast<size_t>(n));
        close(fd_);
        return text_;
    }
    ~StderrCapture() { stop(); }

private:
    int fd_ = -1, saved_ = -1;
    std::string text_;
};

inline void reset_records()
{
    default_events().clear();
    override_events().clear();
    in_default_handler() = nullptr;
    boxes().clear();
    pumps() = 0;
    on_pump() = nullptr;
    sent().clear();
    after_querym() = nullptr;
}

// Starts the manager's own interpreter (no start-up statements) with the
// recording UI and handlers; ends everything afterwards.
class Manager : public qytest::Interpreter {
protected:
    AppData ad = resources();

    void SetUp() override
    {
        qytest::Interpreter::SetUp();
        reset_records();
        qymgr_qy_set_ui(&recording_ui);
        qymgr_qy_set_handler(default_handler);
        qymgr_qy_set_querym(watching_querym);
        qymgr_qy_set_workspace_hooks(nullptr);
        qymgr_qy_set_dictionary(nullptr);
    }
    void start_own()
    {
        qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 0);
        sent().clear();
    }
    void TearDown() override
    {
        qymgr_qy_set_override_handler(nullptr);
        qymgr_qy_term();
        qymgr_qy_set_querym(nullptr);
        qymgr_qy_set_ui(nullptr);
        reset_records();
        qytest::Interpreter::TearDown();
        if (ad.catd != NL_NO_CATALOGUE)
            nl_catclose(ad.catd);
    }
};

}  // namespace qykit
