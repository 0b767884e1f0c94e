// Test kit for the workspace: the demo database in the installed server
// directory, a query manager started as the database's owner with the
// dictionary hooked in, scratch databases, an independent reader of the
// system relations (Full mode, presence bytes, the shared row layout), and
// stand-in forms for the object dialogs.
#pragma once

#include "qykit.h"  // first: gtest before the X headers

#include "dlmain.h"
#include "dozrow.h"
#include "vxtest_demo.h"
#include "obdict.h"
#include "obmain.h"
#include "wsdict.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace wstest {

// The demo database DEMO, built once into the installed server directory.
using vxtest::ensure_demo;

// One row of a Full-mode result, every field as text (numbers in
// decimal, arrays joined by ":", a null as "NULL").
using Row = std::vector<std::string>;

struct FullRead {
    std::vector<DozColDesc> table;
    DozLayout layout;
    std::vector<Row> rows;
};
inline FullRead &full_read()
{
    static FullRead r;
    return r;
}

inline std::string field_text(const unsigned char *row, const DozField &f, const DozColDesc &d)
{
    int count = 0;
    bool present = false;
    const unsigned char *at = doz_get(row, f, &count, &present);
    if (!present)
        return "NULL";
    if (d.type == 0)
        return std::string(reinterpret_cast<const char *>(at), strnlen(reinterpret_cast<const char *>(at), f.elem_size));
    std::string s;
    for (int i = 0; i < count; i++) {
        const unsigned char *e = at + static_cast<size_t>(i) * f.elem_size;
        long v = 0;
        if (d.type == 1) {
            int32_t x;
            memcpy(&x, e, 4);
            v = x;
        } else if (d.type == 2) {
            int16_t x;
            memcpy(&x, e, 2);
            v = x;
        } else if (d.type == 8) {
            s += (i ? ":" : "") + std::string(1, static_cast<char>(*e));
            continue;
        } else if (d.type == 7 || d.type == 10) {
            v = *e;
        } else {
            char text[96];
            if (d.type == 3 || d.type == 6) {
                double x[2] = {0, 0};
                memcpy(x, e, d.type == 6 ? 16 : 8);
                snprintf(text, sizeof text, d.type == 6 ? "%.9g;%.9g" : "%.9g", x[0], x[1]);
            } else if (d.type == 9) {
                float x;
                memcpy(&x, e, 4);
                snprintf(text, sizeof text, "%.6g", static_cast<double>(x));
            } else if (d.type == 4 || d.type == 5) {
                int16_t x[3];
                memcpy(x, e, 6);
                snprintf(text, sizeof text, "%d-%d-%d", x[0], x[1], x[2]);
            } else {
                return "?";
            }
            s += (i ? ":" : "") + std::string(text);
            continue;
        }
        s += (i ? ":" : "") + std::to_string(v);
    }
    return s;
}

inline void full_handler(int event, int rows, int, DozReader &buffer)
{
    if (event != QY_EVENT_EOB)
        return;
    FullRead &r = full_read();
    int had = 0;
    if (empty_buffer(buffer) || prepare_buffer(buffer, &had) != 0)
        return;
    if (had) {
        r.table = tinfo_table(buffer);
        doz_layout(r.table, true, r.layout);
    }
    for (int k = 0; k < rows; k++) {
        const unsigned char *at = buffer_cursor(buffer);
        Row row;
        for (size_t c = 0; c < r.layout.fields.size(); c++)
            row.push_back(field_text(at, r.layout.fields[c], r.table[c]));
        r.rows.push_back(row);
        set_buffer_cursor(buffer, buffer_cursor(buffer) + r.layout.row_size);
        align_row(buffer);
    }
}

// The rows of a statement, read in the Full mode.
inline std::vector<Row> read_full(const std::string &text)
{
    full_read() = FullRead{};
    qymgr_qy_set_override_handler(full_handler);
    qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_FULL, QY_REPORT);
    EXPECT_TRUE(qymgr_qy_ok()) << text;
    return full_read().rows;
}

// The query manager started as `user` with the dictionary hooked in, the
// start-up statements sent.
class Dictionary : public qykit::Manager {
protected:
    std::vector<std::string> scratch_dirs;
    std::string scratch;  // the scratch database, when one was made

    void start(const char *user, int buffer = 200000)
    {
        ad.user_name = const_cast<char *>(user);
        ad.buffer_size = ad.queryBufferSize = buffer;
        wsdict_ws_init_dictionary();
        obmain_ob_nlsfd = ad.catd;
        qymgr_qy_init(&ad, 0, 0, 0, nullptr, 0, 1);
    }
    void TearDown() override
    {
        if (!scratch.empty()) {
            qymgr_qy_query("CLOSE", QY_NOWAIT, QY_ASIS, QY_IGNORE);
            qymgr_qy_query(("DROP DATABASE " + scratch).c_str(), QY_NOWAIT, QY_ASIS, QY_IGNORE);
        }
        wsdict_ws_clear_dictionary(0);
        wsdict_ws_set_activity_notify(nullptr);
        qykit::Manager::TearDown();
        for (const std::string &d : scratch_dirs)
            std::filesystem::remove_all(d);
    }
    void ok(const std::string &text)
    {
        qymgr_qy_query(text.c_str(), QY_NOWAIT, QY_ASIS, QY_REPORT);
        ASSERT_TRUE(qymgr_qy_ok()) << text;
    }
    std::string print(const std::string &expr)
    {
        qymgr_qy_query(("PRINT " + expr).c_str(), QY_NOWAIT, QY_SIMPLE, QY_REPORT);
        return static_cast<const char *>(qymgr_qy_buffer());
    }
    // A new database of this process, opened exclusively.
    void make_scratch(const char *tag)
    {
        char n[16];
        snprintf(n, sizeof n, "%s%04X", tag, static_cast<unsigned>(getpid()) & 0xffffu);
        scratch = n;
        std::string where = vxtest::temp_dir("wsdict");
        scratch_dirs.push_back(where);
        ok("CREATE DATABASE " + scratch + " ON '" + where + "'");
        ok("OPEN " + scratch + " EXCLUSIVE");
    }
};

// Stand-in forms for the object dialogs: a form shows what setval gave it
// (the kind data, as long as its kind's), and getval hands that back with
// the test's changes, as a user changes some fields.
struct StandInForm {
    std::vector<unsigned char> shown;
    std::function<void(void *)> fill;
};
inline StandInForm &stand_in_form()
{
    static StandInForm f;
    return f;
}
inline int stand_in_popup(DialogRecord *, int, int, int, int) { return 0; }
inline int stand_in_quiet(DialogRecord *) { return 0; }
inline int stand_in_setval(DialogRecord *, void *value)
{
    const int size = value ? obmain_kind_data_size(*static_cast<int *>(value)) : 0;
    stand_in_form().shown.assign(static_cast<unsigned char *>(value), static_cast<unsigned char *>(value) + size);
    return 0;
}
inline int stand_in_getval(DialogRecord *, void *value)
{
    StandInForm &f = stand_in_form();
    if (!f.shown.empty() && *reinterpret_cast<int *>(f.shown.data()) == *static_cast<int *>(value))
        memcpy(value, f.shown.data(), f.shown.size());
    if (f.fill)
        f.fill(value);
    return 0;
}
inline int stand_in_reference(DialogRecord *, void *) { return 0; }
// Makes dialog `id` a stand-in form.
inline void stand_in_dialog(int id)
{
    DialogRecord &r = dlmain_dialogs[static_cast<size_t>(id)];
    r.popup = stand_in_popup;
    r.popdown = stand_in_quiet;
    r.setval = stand_in_setval;
    r.getval = stand_in_getval;
    r.reference = stand_in_reference;
}
// The changes the next getval makes, to kind data of type T.
template <class T>
void stand_in_fill(std::function<void(T &)> fill)
{
    stand_in_form().fill = [fill](void *v) { fill(*static_cast<T *>(v)); };
}
// Forgets what the form shows and the changes.
inline void stand_in_clear() { stand_in_form() = StandInForm{}; }

}  // namespace wstest
