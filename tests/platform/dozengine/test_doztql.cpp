// The engine behind the interpreter's engine table: what the protocol
// side lays into the shared buffer for the statements the program sends
// at start-up and for its checks, written by the real result writer.

#include "dozeng_tql.h"
#include "dozrow.h"
#include "tqlwriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct Pass {
    TqlOutcome out;
    TqlWritten written;
    std::vector<unsigned char> buffer = std::vector<unsigned char>(200000, 0xee);
    std::vector<int> eobs;  // rows of each buffer handed over
};

struct Harness {
    void *engine = nullptr;
    bool stop = false;
    TqlHost host;
    Harness()
    {
        TqlSession s;
        s.user = "brask";
        engine = doz_tql_engine().open(&s);
        host.self = this;
        host.stop_requested = [](void *self) { return static_cast<Harness *>(self)->stop; };
    }
    ~Harness() { doz_tql_engine().close(engine); }

    // Runs a statement the way tqlserver does: the engine, then the writer.
    void run(const char *text, uint32_t modes, Pass &r)
    {
        doz_tql_engine().run(engine, text, modes, &host, &r.out);
        if (r.out.code[0] || r.out.code[1] || r.out.code[2] || !r.out.has_result)
            return;
        TqlChannel ch;
        ch.self = &r;
        ch.buffer = r.buffer.data();
        ch.size = static_cast<int>(r.buffer.size());
        ch.send_eob = [](void *self, int rows, int) {
            static_cast<Pass *>(self)->eobs.push_back(rows);
            return true;
        };
        r.written = tql_write_result(ch, r.out.result, modes);
    }
};

constexpr uint32_t SIMPLE = 0;
constexpr uint32_t NOEVAL = DOZ_M_NOEVAL;
constexpr uint32_t FULL = DOZ_M_FULL;

TEST(DozTqlEngine, SimpleLayoutOfStartUpAndCheckStatements)
{
    Harness h;
    {
        // The revision: a text at offset 0 that reads as at least 3.0.
        Pass r;
        h.run("PRINT REVISION()", SIMPLE, r);
        ASSERT_EQ(r.out.code[0], 0);
        EXPECT_EQ(r.written.rows, 1);
        float rev = 0;
        ASSERT_EQ(sscanf(reinterpret_cast<const char *>(r.buffer.data()), "%f", &rev), 1);
        EXPECT_GE(rev, 3.0f);
        EXPECT_EQ(r.buffer[4], 0);
        EXPECT_TRUE(r.eobs.empty());
    }
    {
        // The user in a 31-byte field, the database name at offset 31.
        Pass r;
        h.run("PRINT sysuser(), dbname()", SIMPLE, r);
        ASSERT_EQ(r.out.code[0], 0);
        EXPECT_STREQ(reinterpret_cast<const char *>(r.buffer.data()), "BRASK");
        EXPECT_EQ(r.buffer[31], 0);
        EXPECT_EQ(r.written.rows, 1);
    }
    {
        // A fresh variable read back as a bool byte at offset 0.
        Pass c, r;
        h.run("CREATE VAR %VXREREAD FALSE", SIMPLE, c);
        ASSERT_EQ(c.out.code[0], 0);
        EXPECT_FALSE(c.out.has_result);
        h.run("CREATE VAR %VXREREAD TRUE", SIMPLE, c);
        h.run("PRINT %VXREREAD", SIMPLE, r);
        EXPECT_EQ(r.written.rows, 1);
        EXPECT_EQ(r.buffer[0], 1);
    }
    {
        // A date with its full year, a time, and a variable array's count
        // word before its elements.
        Pass r;
        h.run("PRINT STRTODATE('2/1/24'), [13:5:9], SETLEN(SETMAXLEN(ARRAY(7,8),4),2)", SIMPLE, r);
        ASSERT_EQ(r.out.code[0], 0);
        int16_t date[3], time[3];
        int32_t count, elems[2];
        memcpy(date, r.buffer.data(), 6);
        memcpy(time, r.buffer.data() + 6, 6);
        memcpy(&count, r.buffer.data() + 12, 4);
        memcpy(elems, r.buffer.data() + 16, 8);
        EXPECT_EQ(date[0], 2024);
        EXPECT_EQ(date[1], 1);
        EXPECT_EQ(date[2], 2);
        EXPECT_EQ(time[0], 13);
        EXPECT_EQ(time[1], 5);
        EXPECT_EQ(time[2], 9);
        EXPECT_EQ(count, 2);
        EXPECT_EQ(elems[0], 7);
        EXPECT_EQ(elems[1], 8);
    }
    {
        // Statistic check: "@" stands for the test array; NOEVAL runs nothing.
        Pass d, p, u;
        h.run("DEFINE @ %TEST", SIMPLE, d);
        h.run("PRINT MEAN(@)/LEN(@)", NOEVAL, p);
        h.run("UNDEFINE @", SIMPLE, u);
        EXPECT_EQ(d.out.code[0], 0);
        EXPECT_EQ(p.out.code[0], 0);
        EXPECT_EQ(p.written.rows, 0);
        EXPECT_EQ(u.out.code[0], 0);
    }
    {
        // Name checks: an unknown name is allowed as a table (-76), a
        // reserved word or function refused as a column (-85).
        Pass a, b;
        h.run("PRINT EMP()", NOEVAL, a);
        h.run("PRINT LEN()", NOEVAL, b);
        EXPECT_EQ(a.out.code[0], -76);
        EXPECT_EQ(b.out.code[0], -85);
        std::string texts[3];
        doz_tql_error_texts(h.engine, texts);
        EXPECT_NE(texts[0], "");
        EXPECT_EQ(texts[1], "");
    }
}

TEST(DozTqlEngine, FullModeTablesAndRows)
{
    Harness h;
    {
        Pass r;
        h.run("PRINT 1 AS A, 'xy' AS B", FULL, r);
        ASSERT_EQ(r.out.code[0], 0);
        ASSERT_EQ(r.eobs, std::vector<int>{1});
        DozColDesc d[3];
        memcpy(d, r.buffer.data(), sizeof d);
        EXPECT_EQ(d[0].type, DOZ_T_LONG);
        EXPECT_STREQ(d[0].name, "A");
        EXPECT_EQ(d[1].type, DOZ_T_STRING);
        EXPECT_EQ(d[1].width, 2);
        EXPECT_EQ(d[2].type, DOZ_T_END);
        DozLayout layout;
        ASSERT_TRUE(doz_layout(std::span<const DozColDesc>(d, 2), true, layout));
        const unsigned char *row = r.buffer.data() + 3 * 64;
        int n = 0;
        bool present = false;
        const unsigned char *v = doz_get(row, layout.fields[0], &n, &present);
        int32_t a;
        memcpy(&a, v, 4);
        EXPECT_TRUE(present);
        EXPECT_EQ(a, 1);
        v = doz_get(row, layout.fields[1], &n, &present);
        EXPECT_STREQ(reinterpret_cast<const char *>(v), "xy");
    }
    {
        // Checked, not run: the table alone in one buffer.
        Pass r;
        h.run("PRINT 1 AS A", FULL | NOEVAL, r);
        ASSERT_EQ(r.out.code[0], 0);
        EXPECT_EQ(r.eobs, std::vector<int>{0});
    }
    {
        // No result set, no buffer.
        Pass r;
        h.run("SET %UNIQUE TRUE", FULL, r);
        ASSERT_EQ(r.out.code[0], 0);
        EXPECT_TRUE(r.eobs.empty());
    }
    {
        // A NULL is an absent field.
        Pass r;
        h.run("PRINT NULL+1", FULL, r);
        ASSERT_EQ(r.eobs, std::vector<int>{1});
        EXPECT_EQ(r.buffer[2 * 64], 0);
    }
}

TEST(DozTqlEngine, StopFromTheHost)
{
    Harness h;
    h.stop = true;
    Pass r;
    h.run("PRINT SUMARR(ROUND(FLOAT(REPEAT(1,30000))))", SIMPLE, r);
    EXPECT_EQ(r.out.code[0], 7);
    h.stop = false;
    Pass ok;
    h.run("PRINT 1", SIMPLE, ok);
    EXPECT_EQ(ok.out.code[0], 0);
}

}  // namespace
