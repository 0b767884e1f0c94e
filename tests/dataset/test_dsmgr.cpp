// The dataset archive filled from the real interpreter: results over many
// buffers, stopped and failed queries, the archive's 500 slots, column
// characters and orders, reading values, and copies bounded by the segment.

#include "dsmgr.h"
#include "dstest.h"

#include "dozrow.h"
#include "dozvalue.h"

#include <gtest/gtest.h>

// After GoogleTest: the toolkit's macros (None, Bool) would trip it.
#include "dsput.h"
#include "vxadata.h"
#include "vxcat.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class Datasets : public ::testing::Test {
protected:
    void SetUp() override { dsmgr_ds_init(nullptr, nullptr); }
    void TearDown() override
    {
        dstest::stop();
        dsmgr_ds_init(nullptr, nullptr);
    }
};

bool is_null(int r, int c) { return (r + c) % 5 == 4; }

// Checks row r of dataset i, columns long, real, string(6), real[<=3], by
// the interpreter's rule for generated values.
void check_row(int i, int r)
{
    SCOPED_TRACE("row " + std::to_string(r));
    int n = -1;
    const void *v = dscol_ds_get(i, r, 0, &n);
    if (is_null(r, 0)) {
        EXPECT_EQ(v, nullptr);
    } else {
        ASSERT_NE(v, nullptr);
        int32_t l;
        memcpy(&l, v, 4);
        EXPECT_EQ(l, r * 100);
        EXPECT_EQ(n, 1);
    }
    v = dscol_ds_get(i, r, 1, &n);
    if (is_null(r, 1)) {
        EXPECT_EQ(v, nullptr);
    } else {
        ASSERT_NE(v, nullptr);
        double d;
        memcpy(&d, v, 8);
        EXPECT_EQ(d, r * 100.0 + 10 + 0.25);
    }
    v = dscol_ds_get(i, r, 2, &n);
    if (is_null(r, 2)) {
        EXPECT_EQ(v, nullptr);
    } else {
        ASSERT_NE(v, nullptr);
        std::string want = "r" + std::to_string(r) + "c2";
        EXPECT_STREQ(static_cast<const char *>(v), want.substr(0, 6).c_str());
    }
    v = dscol_ds_get(i, r, 3, &n);
    int count = (r + 3) % 4;
    if (is_null(r, 3) || count == 0) {
        EXPECT_EQ(v, nullptr);
    } else {
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(n, count);
        for (int e = 0; e < count; e++) {
            double d;
            memcpy(&d, static_cast<const unsigned char *>(v) + 8 * e, 8);
            EXPECT_EQ(d, r * 100.0 + 30 + e + 0.25) << "element " << e;
        }
    }
}

const char wide_types[] = "long, real, string(6), real[<=3]";

TEST_F(Datasets, ManyBuffersMakeOneDataset)
{
    ASSERT_TRUE(dstest::start());
    const int n = 250000;
    EXPECT_EQ(dstest::run("TEST ROWS " + std::to_string(n) + " " + wide_types), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_current(), 0);
    ASSERT_TRUE(dsmgr_ds_current_exists());
    EXPECT_EQ(dsmgr_ds_rows(0), n);
    EXPECT_EQ(dsmgr_ds_columns(0), 4);
    // y the long, x the real, z the string.
    EXPECT_EQ(dscol_ds_characterise(3), DS_CH_XY_ZOTHER);
    EXPECT_EQ(dsmgr_ds_order(0), 3);
    const DozColDesc *t = dscol_ds_get_tinfo_list(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t[3].type, DOZ_T_REAL);
    EXPECT_EQ(t[3].count, -3);
    EXPECT_STREQ(t[2].name, "C3");
    EXPECT_EQ(t[4].type, DOZ_T_END);
    for (int r : {0, 1, 2, 3, 4, 999, 1000, 1001, 123457, n - 2, n - 1})
        check_row(0, r);
    for (int r = 5; r < n; r += 997)
        check_row(0, r);
}

TEST_F(Datasets, StoppedOrFailedQueryLeavesTheArchiveAsItWas)
{
    ASSERT_TRUE(dstest::start(200000, 100));
    ASSERT_EQ(dstest::run(std::string("TEST ROWS 10 ") + wide_types), DS_EV_OK);
    ASSERT_EQ(dsmgr_ds_rows(0), 10);

    dstest::Driver &d = dstest::driver();
    d.own_handler = true;
    d.abort_after = 3;
    EXPECT_EQ(dstest::run("TEST ROWS 1000000 long"), DS_EV_STOPPED);
    d.abort_after = -1;
    EXPECT_GE(d.buffers, 3);
    EXPECT_TRUE(qymgr_qy_stopped());

    d.fail = true;
    EXPECT_EQ(dstest::run("TEST ROWS 500 real"), DS_EV_FAILED);
    EXPECT_EQ(d.buffers, 5) << "100 rows to a buffer";
    d.fail = false;

    EXPECT_EQ(dstest::run("TEST ROWS 5 nosuchtype"), 0) << "a query refused at once hands on nothing";
    d.own_handler = false;

    EXPECT_EQ(dsmgr_ds_current(), 0);
    EXPECT_EQ(dsmgr_ds_rows(0), 10);
    EXPECT_EQ(dsmgr_ds_columns(0), 4);
    for (int r = 0; r < 10; r++)
        check_row(0, r);

    // The next query that ends well replaces it.
    ASSERT_EQ(dstest::run("TEST ROWS 250 short"), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_rows(0), 250);
    EXPECT_EQ(dsmgr_ds_columns(0), 1);
}

TEST_F(Datasets, ArchiveHoldsFiveHundred)
{
    ASSERT_TRUE(dstest::start());
    dsmgr_ds_retain();
    EXPECT_EQ(dsmgr_ds_current(), 0) << "an empty slot is not kept";
    std::string err;
    for (int i = 0; i < DS_ARCHIVE_SIZE; i++) {
        ASSERT_EQ(dstest::run("TEST ROWS " + std::to_string(i % 7 + 1) + " long"), DS_EV_OK) << i;
        err += dstest::stderr_of(dsmgr_ds_retain);
    }
    EXPECT_EQ(err, "Warning! DsMgr. Too many datasets in archive\n") << "only the 500th retain fails";
    EXPECT_EQ(dsmgr_ds_current(), 499);

    // The 501st result takes slot 499; the others stay.
    ASSERT_EQ(dstest::run("TEST ROWS 42 real"), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_current(), 499);
    EXPECT_EQ(dsmgr_ds_rows(499), 42);
    for (int i : {0, 1, 250, 498})
        EXPECT_EQ(dsmgr_ds_rows(i), i % 7 + 1) << i;

    dsmgr_ds_set_printed(3);
    EXPECT_EQ(dsmgr_ds_printed(3), 1);
    EXPECT_EQ(dsmgr_ds_printed(4), 0);

    dsmgr_ds_clear();
    EXPECT_EQ(dsmgr_ds_current(), 0);
    EXPECT_FALSE(dsmgr_ds_current_exists());
    err = dstest::stderr_of([] {
        EXPECT_EQ(dsmgr_ds_rows(0), 0);
        EXPECT_EQ(dsmgr_ds_columns(3), 0);
        EXPECT_EQ(dsmgr_ds_character(-1), 0);
        EXPECT_EQ(dsmgr_ds_order(499), 3);
        EXPECT_EQ(dsmgr_ds_printed(500), 0);
    });
    std::string once = "Error! DsMgr. Dataset not in archive\n";
    EXPECT_EQ(err, once + once + once + once + once);
}

TEST_F(Datasets, CharacterAndOrderOfColumns)
{
    ASSERT_TRUE(dstest::start());
    struct Case {
        const char *types;
        int asked, order, character;
    } cases[] = {
        {"long", 3, 3, DS_CH_Y},
        {"long", 5, 3, DS_CH_Y},
        {"string(4)", 3, 3, 0},
        {"long, real", 5, 1, DS_CH_XY},
        {"long, real", 6, 3, DS_CH_XY},
        {"long, real", 9, 3, DS_CH_XY},
        {"long, real[2]", 3, 3, DS_CH_Y},
        {"long, string(4)", 3, 3, DS_CH_Y_XOTHER},
        {"long, string(4)", 1, 1, DS_CH_YOTHER_X},
        {"bool, string(2)", 3, 3, 0},
        {"real[3]", 3, 3, DS_CH_YARRAY},
        {"real[2], long", 3, 3, DS_CH_YARRAY},
        {"real[3], long[<=2]", 1, 1, DS_CH_XYARRAY},
        {"long, real, short", 1, 1, DS_CH_XYZ},
        {"date, time, complex", 2, 2, DS_CH_XYZ},
        {"long, real, real[2]", 1, 1, DS_CH_XY},
        {"long, real, bool", 1, 1, DS_CH_XY_ZOTHER},
        {"bool, real, tiny", 6, 6, DS_CH_XY_ZOTHER},
        {"bool, real, tiny", 2, 2, DS_CH_Y_XOTHER},
        {"real, bool, tiny", 6, 6, DS_CH_YOTHER_X},
        {"real, bool, tiny", 2, 2, DS_CH_XY_ZOTHER},
        {"real[2], real[2], tiny", 1, 1, DS_CH_XYARRAY_Z},
        {"real[2], real[2], char", 1, 1, DS_CH_XYARRAY_ZOTHER},
        {"real[2], real[2], real[<=2]", 4, 4, DS_CH_XYZARRAY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.types) + " order " + std::to_string(c.asked));
        ASSERT_EQ(dstest::run(std::string("TEST ROWS 3 ") + c.types), DS_EV_OK);
        EXPECT_EQ(dsmgr_ds_character(0), 0) << "not characterised yet";
        EXPECT_EQ(dscol_ds_characterise(c.asked), c.character);
        EXPECT_EQ(dsmgr_ds_order(0), c.order);
        EXPECT_EQ(dsmgr_ds_character(0), c.character);
    }
    dsmgr_ds_clear();
    EXPECT_EQ(dscol_ds_characterise(5), 5) << "nothing to characterise";
}

TEST_F(Datasets, ReadingValuesAndDescriptors)
{
    ASSERT_TRUE(dstest::start());
    ASSERT_EQ(dstest::run("PRINT 7, 'seven'"), DS_EV_OK);
    ASSERT_EQ(dsmgr_ds_columns(0), 2);
    int n;
    const void *v = dscol_ds_get(0, 0, 1, &n);
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(static_cast<const char *>(v), "seven");

    // An empty result: columns, no rows.
    ASSERT_EQ(dstest::run("TEST ROWS 5 long, real", QY_NOEVAL), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_rows(0), 0);
    EXPECT_EQ(dsmgr_ds_columns(0), 2);
    std::string err = dstest::stderr_of([&] { EXPECT_EQ(dscol_ds_get(0, 0, 0, &n), nullptr); });
    EXPECT_EQ(err, "Error! DsGet. Row number out of range\n");

    ASSERT_EQ(dstest::run(std::string("TEST ROWS 3 ") + wide_types), DS_EV_OK);
    struct Case {
        int dataset, row, column;
        bool value;
        int row_read;  // the row whose long comes back
        const char *error;
    } cases[] = {
        {0, 1, 0, true, 1, ""},
        {0, 7, 0, true, 2, "Error! DsGet. Row number out of range\n"},
        {0, -1, 0, false, 0, "Error! DsGet. Row number out of range\n"},
        {0, 0, 4, false, 0, "Error! DsGet. Column number out of range\n"},
        {0, 0, -1, false, 0, "Error! DsGet. Column number out of range\n"},
        {1, 0, 0, false, 0, "Error! DsGet. Dataset not in archive\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.dataset) + "/" + std::to_string(c.row) + "/" + std::to_string(c.column));
        err = dstest::stderr_of([&] { v = dscol_ds_get(c.dataset, c.row, c.column, &n); });
        EXPECT_EQ(err, c.error);
        if (!c.value) {
            EXPECT_EQ(v, nullptr);
            continue;
        }
        ASSERT_NE(v, nullptr);
        int32_t l;
        memcpy(&l, v, 4);
        EXPECT_EQ(l, c.row_read * 100);
    }
    err = dstest::stderr_of([] {
        EXPECT_EQ(dscol_ds_get_tinfo(0, 4), nullptr);
        EXPECT_EQ(dscol_ds_get_tinfo(2, 0), nullptr);
        EXPECT_EQ(dscol_ds_get_tinfo_list(2), nullptr);
    });
    EXPECT_EQ(err, "Error! DsGet. Column number out of range\nError! DsGet. Dataset not in archive\n"
                   "Error! DsGet. Dataset not in archive\n");
}

// Counts that claim more than the buffer holds take no byte from beyond
// the segment, and only whole rows.
TEST_F(Datasets, CopiesStayInsideTheSegment)
{
    ASSERT_TRUE(dstest::start(200000, 1000));
    dstest::driver().own_handler = true;
    dstest::driver().rows_bonus = 5000;
    dstest::driver().bytes_bonus = 10000000;
    ASSERT_EQ(dstest::run("TEST ROWS 2000 real[100], long"), DS_EV_OK);
    // A buffer holds 244 rows of 816 bytes after the table and 245 after a
    // lone closing entry; the claims take each buffer up to that, no further.
    const int buffers = dstest::driver().buffers;
    ASSERT_GE(buffers, 2);
    EXPECT_EQ(dsmgr_ds_rows(0), 244 + (buffers - 1) * 245);
    int n;
    const void *v = dscol_ds_get(0, 1999, 1, &n);
    ASSERT_NE(v, nullptr);
    int32_t l;
    memcpy(&l, v, 4);
    EXPECT_EQ(l, 1999 * 100 + 10);

    // Fewer bytes than rows: only the rows whose bytes came.
    dstest::driver().rows_bonus = 0;
    dstest::driver().bytes_bonus = -816 * 10;
    ASSERT_EQ(dstest::run("TEST ROWS 100 real[100], long"), DS_EV_OK);
    EXPECT_EQ(dsmgr_ds_rows(0), 90);
}

// Buffers made by hand: what the interpreter never sends but a damaged or
// foreign buffer could hold.
TEST_F(Datasets, OddBuffers)
{
    alignas(8) unsigned char buf[512];
    // The buffer as a query manager would hand it on: read as far as the
    // bytes said to be filled.
    auto deliver = [&](int event, int rows, int bytes) {
        DozReader reader(buf, static_cast<size_t>(bytes));
        ds_manager(event, rows, bytes, reader);
    };
    // Only empty buffers: no dataset, nothing in the slot.
    int16_t empty = -2;
    memcpy(buf, &empty, 2);
    deliver(DS_EV_EOB, 0, 0);
    deliver(DS_EV_OK, 0, 0);
    EXPECT_FALSE(dsmgr_ds_current_exists());

    // A head without its closing entry is refused.
    DozColDesc d{};
    d.type = DOZ_T_LONG;
    for (size_t at = 0; at < sizeof buf; at += sizeof d)
        memcpy(buf + at, &d, sizeof d);
    std::string err = dstest::stderr_of([&] {
        deliver(DS_EV_EOB, 3, 512);
        deliver(DS_EV_OK, 0, 0);
    });
    EXPECT_NE(err.find("Error! DsMgr."), std::string::npos) << err;
    EXPECT_FALSE(dsmgr_ds_current_exists());

    // A later buffer that carries a table again is reported and read on.
    auto fill = [&](bool table, int32_t value) {
        memset(buf, 0, sizeof buf);
        int at = 0;
        if (table) {
            DozColDesc c{};
            c.type = DOZ_T_LONG;
            strcpy(c.name, "%NAME12");
            memcpy(buf, &c, sizeof c);
            at = 64;
        }
        doz_put_terminator(buf + at, 4);
        at += 64;
        buf[at] = 1;
        memcpy(buf + at + 4, &value, 4);
        return at + 8;
    };
    int bytes = fill(true, 11);
    deliver(DS_EV_EOB, 1, bytes);
    bytes = fill(true, 22);
    err = dstest::stderr_of([&] { deliver(DS_EV_EOB, 1, bytes); });
    EXPECT_EQ(err, "Error! DsMgr. TINFO in non-first EOB\n");
    bytes = fill(false, 33);
    deliver(DS_EV_EOB, 1, bytes);
    deliver(DS_EV_OK, 0, 0);
    ASSERT_EQ(dsmgr_ds_rows(0), 3);
    EXPECT_STREQ(dscol_ds_get_tinfo(0, 0)->name, "") << "a generated name is no name";
    for (int r = 0; r < 3; r++) {
        int n;
        const void *v = dscol_ds_get(0, r, 0, &n);
        ASSERT_NE(v, nullptr);
        int32_t l;
        memcpy(&l, v, 4);
        EXPECT_EQ(l, 11 * (r + 1));
    }
}

TEST_F(Datasets, FormatsComeFromTheResources)
{
    AppData ad{};
    ad.catd = NL_NO_CATALOGUE;
    char date_out[] = "%Y-%m-%d", time_out[] = "%H.%M", date_in[] = "%m/%d/%y", complex_out[] = "%X + %Yi";
    ad.dateOutputFormat = date_out;
    ad.timeOutputFormat = time_out;
    ad.dateInputFormat = date_in;
    ad.complexOutputFormat = complex_out;
    dsmgr_ds_init(nullptr, &ad);
    DozDate date{99, 12, 31};
    DozTime time{7, 5, 0};
    double complex[2] = {1.5, -2.0};
    EXPECT_EQ(std::string(dsprint_ds_sprint(&date, 10, 0, DOZ_T_DATE)), "1999-12-31");
    EXPECT_EQ(std::string(dsprint_ds_sprint(&time, 5, 0, DOZ_T_TIME)), "07.05");
    EXPECT_EQ(std::string(dsprint_ds_sprint(complex, 17, 1, DOZ_T_COMPLEX)), "   1.5 +   -2.0i");
    const void *v = dsprint_ds_scan("12/31/99", DOZ_T_DATE, nullptr);
    ASSERT_NE(v, nullptr);
    DozDate back;
    memcpy(&back, v, sizeof back);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 31);

    char empty[] = "";
    ad.dateOutputFormat = ad.timeOutputFormat = ad.complexOutputFormat = empty;
    ad.dateInputFormat = nullptr;
    dsmgr_ds_init(nullptr, &ad);
    EXPECT_EQ(std::string(dsprint_ds_sprint(&date, 8, 0, DOZ_T_DATE)), "31/12/99");
    EXPECT_NE(dsprint_ds_scan("12/31/99", DOZ_T_DATE, nullptr), nullptr) << "the input order was kept";
    dsprint_ds_set_date_input_format("%d/%m/%y");
}

TEST_F(Datasets, DataNullFlag)
{
    EXPECT_EQ(dsmgr_ds_check_datanull(), 0);
    dsmgr_ds_set_datanull(1);
    EXPECT_EQ(dsmgr_ds_check_datanull(), 1);
    dsmgr_ds_set_datanull(0);
    EXPECT_EQ(dsmgr_ds_check_datanull(), 0);
}

}  // namespace
