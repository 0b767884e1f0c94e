// Rows packed by the program, read back with the interpreter's own layout
// and the client's extraction; value text and scanning; pipes.

#include "dsput.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "vxtest.h"
#include "vxtest_doz.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using vxtest::col;

// Distinct bytes for element e of column c, so that a value landing in the
// wrong place shows.
std::vector<unsigned char> element(const DozColDesc &d, int c, int e)
{
    DozLayout l;
    doz_layout(std::span<const DozColDesc>(&d, 1), true, l);
    std::vector<unsigned char> b(static_cast<size_t>(l.fields[0].elem_size));
    for (size_t i = 0; i < b.size(); i++)
        b[i] = static_cast<unsigned char>(1 + c * 31 + e * 7 + i);
    return b;
}

struct PackCase {
    const char *name;
    std::vector<DozColDesc> cols;
};

const std::vector<PackCase> pack_cases = {
    {"every scalar",
     {col(DOZ_T_LONG), col(DOZ_T_SHORT), col(DOZ_T_TINY), col(DOZ_T_REAL), col(DOZ_T_SREAL), col(DOZ_T_COMPLEX),
      col(DOZ_T_DATE), col(DOZ_T_TIME), col(DOZ_T_BOOL), col(DOZ_T_CHAR), col(DOZ_T_BLOB), col(DOZ_T_STRING, 0, 7)}},
    {"fixed and variable arrays",
     {col(DOZ_T_BOOL), col(DOZ_T_REAL, -3), col(DOZ_T_TINY, -5), col(DOZ_T_DATE, 2), col(DOZ_T_COMPLEX, -2),
      col(DOZ_T_SHORT, -4), col(DOZ_T_TIME, -2), col(DOZ_T_SREAL, 2), col(DOZ_T_LONG, 3)}},
    {"strings and bools only", {col(DOZ_T_STRING, 0, 3), col(DOZ_T_BOOL), col(DOZ_T_STRING, 0, 0), col(DOZ_T_CHAR)}},
    {"char then variable longs then char", {col(DOZ_T_CHAR), col(DOZ_T_LONG, -1), col(DOZ_T_CHAR)}},
};

int pack_count(const DozColDesc &d) { return d.type == DOZ_T_STRING ? d.width : d.count; }

TEST(RowPacking, RowSizeAgreesWithTheInterpretersLayout)
{
    for (const PackCase &pc : pack_cases) {
        SCOPED_TRACE(pc.name);
        DozLayout l;
        ASSERT_TRUE(doz_layout(pc.cols, true, l));
        dsput_clear_row_alignment();
        int size = 0;
        for (const DozColDesc &d : pc.cols)
            size = dsput_acc_row_alignment(d.type, pack_count(d));
        EXPECT_EQ(dsput_final_row_size(), l.row_size);
        EXPECT_LE(size, l.row_size);
        EXPECT_GT(size, l.row_size - l.row_align);
    }
    dsput_clear_row_alignment();
    EXPECT_EQ(dsput_acc_row_alignment(99, 0), 0) << "an unknown type adds nothing";
    EXPECT_EQ(dsput_final_row_size(), 0);
}

// Packs two rows of every case (the second with every other value null and
// variable arrays partly filled) and reads them with the interpreter's
// layout and with the client's extraction.
TEST(RowPacking, PackedRowsReadBackLikeQueryResults)
{
    for (const PackCase &pc : pack_cases) {
        SCOPED_TRACE(pc.name);
        DozLayout l;
        ASSERT_TRUE(doz_layout(pc.cols, true, l));
        std::vector<unsigned char> buf(static_cast<size_t>(l.row_size) * 2, 0xee);
        DozReader rd(buf.data(), buf.size());
        for (int r = 0; r < 2; r++) {
            for (size_t c = 0; c < pc.cols.size(); c++) {
                const DozColDesc &d = pc.cols[c];
                const DozField &f = l.fields[c];
                bool null = r == 1 && c % 2 == 0;
                std::vector<unsigned char> data;
                for (int e = 0; e < f.room; e++) {
                    auto x = element(d, static_cast<int>(c), e);
                    data.insert(data.end(), x.begin(), x.end());
                }
                if (d.type == DOZ_T_STRING)
                    data.assign({'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0});
                int held = f.var ? (r == 0 ? f.room : f.room / 2) : 0;
                ASSERT_EQ(dsput_put(rd, d.type, pack_count(d), held, null ? nullptr : data.data()), 0);
            }
            align(rd, l.row_align);
        }
        ASSERT_EQ(buffer_cursor(rd), buf.data() + buf.size());

        init_buffer(rd, buf.data(), buf.size());
        for (int r = 0; r < 2; r++) {
            const unsigned char *row = buf.data() + static_cast<size_t>(r) * l.row_size;
            for (size_t c = 0; c < pc.cols.size(); c++) {
                SCOPED_TRACE("row " + std::to_string(r) + " column " + std::to_string(c));
                const DozColDesc &d = pc.cols[c];
                const DozField &f = l.fields[c];
                bool null = r == 1 && c % 2 == 0;
                int n = -1;
                bool present;
                const unsigned char *v = doz_get(row, f, &n, &present);
                int xn = -1;
                const void *xv = extract(rd, d, &xn);
                EXPECT_EQ(present, !null);
                int want = f.var ? (r == 0 ? f.room : f.room / 2) : f.room;
                if (null) {
                    EXPECT_EQ(xv, nullptr);
                    for (int i = 0; i < f.elem_size * f.room; i++)
                        ASSERT_EQ(v[i], 0) << "a null keeps its room, cleared";
                    continue;
                }
                if (f.var && want == 0) {
                    EXPECT_EQ(xv, nullptr);
                    continue;
                }
                EXPECT_EQ(xv, v);
                EXPECT_EQ(n, want);
                EXPECT_EQ(xn, want);
                if (d.type == DOZ_T_STRING) {
                    std::string s(reinterpret_cast<const char *>(v));
                    EXPECT_EQ(s, std::string("abcdefghi").substr(0, static_cast<size_t>(d.width)));
                    continue;
                }
                for (int e = 0; e < f.room; e++) {
                    auto x = element(d, static_cast<int>(c), e);
                    std::vector<unsigned char> got(v + e * f.elem_size, v + (e + 1) * f.elem_size);
                    if (e < want)
                        EXPECT_EQ(got, x) << "element " << e;
                    else
                        EXPECT_EQ(got, std::vector<unsigned char>(x.size(), 0)) << "unused room, element " << e;
                }
            }
            align(rd, l.row_align);
        }
    }
}

TEST(RowPacking, FieldsAtTheirPlaces)
{
    alignas(8) unsigned char buf[64];
    memset(buf, 0xee, sizeof buf);
    DozReader rd(buf, sizeof buf);

    // A null long: presence 0, its four bytes kept (and cleared).
    ASSERT_EQ(dsput_put(rd, DOZ_T_LONG, 0, 0, nullptr), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buffer_cursor(rd), buf + 8);
    EXPECT_EQ(std::vector<unsigned char>(buf + 4, buf + 8), std::vector<unsigned char>(4, 0));

    // A 20-character text packed with length 8: its first 8 and a 0.
    ASSERT_EQ(dsput_put(rd, DOZ_T_STRING, 8, 0, "abcdefghijklmnopqrst"), 0);
    EXPECT_EQ(buf[8], 1);
    EXPECT_STREQ(reinterpret_cast<char *>(buf + 9), "abcdefgh");
    EXPECT_EQ(buffer_cursor(rd), buf + 18);

    // At most 5 longs holding 2: count 2, room for 5.
    int32_t two[2] = {7, -9};
    ASSERT_EQ(dsput_put(rd, DOZ_T_LONG, -5, 2, two), 0);
    EXPECT_EQ(buf[18], 1);
    int32_t count, first, second;
    memcpy(&count, buf + 20, 4);
    memcpy(&first, buf + 24, 4);
    memcpy(&second, buf + 28, 4);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(first, 7);
    EXPECT_EQ(second, -9);
    EXPECT_EQ(buffer_cursor(rd), buf + 44);

    // More held than room is cut to the room.
    int32_t many[4] = {1, 2, 3, 4};
    ASSERT_EQ(dsput_put(rd, DOZ_T_LONG, -2, 4, many), 0);
    memcpy(&count, buf + 48, 4);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(buffer_cursor(rd), buf + 60);

    // A field that does not fit is not written and the cursor stays.
    double r = 1.5;
    EXPECT_EQ(dsput_put(rd, DOZ_T_REAL, 0, 0, &r), -1);
    EXPECT_EQ(buffer_cursor(rd), buf + 60);
    EXPECT_EQ(buf[60], 0xee);
    EXPECT_EQ(dsput_put(rd, DOZ_T_TINY, 0, 0, "\x05"), 0) << "a byte still fits";
    EXPECT_EQ(buf[61], 5);

    EXPECT_EQ(dsput_put(rd, 12, 0, 0, &r), 0) << "types above 11 are ignored";
    EXPECT_EQ(buffer_cursor(rd), buf + 62);
}

// ---- text --------------------------------------------------------------------

std::vector<unsigned char> bytes(const void *p, size_t n)
{
    const auto *b = static_cast<const unsigned char *>(p);
    return {b, b + n};
}
template <class T>
std::vector<unsigned char> bytes_of(const T &v)
{
    return bytes(&v, sizeof v);
}

TEST(ValueText, ScanningByType)
{
    ASSERT_EQ(dsprint_ds_set_date_input_format("%d/%m/%y"), 1);
    struct Case {
        const char *text;
        int type;
        bool valid;
        std::vector<unsigned char> want;
    } cases[] = {
        {"42", DOZ_T_LONG, true, bytes_of(int32_t{42})},
        {" -2147483648 ", DOZ_T_LONG, true, bytes_of(int32_t{INT32_MIN})},
        {"2147483648", DOZ_T_LONG, false, {}},
        {"12abc", DOZ_T_LONG, false, {}},
        {"  ", DOZ_T_LONG, false, {}},
        {"-32768", DOZ_T_SHORT, true, bytes_of(int16_t{-32768})},
        {"40000", DOZ_T_SHORT, false, {}},
        {"255", DOZ_T_TINY, true, bytes_of(uint8_t{255})},
        {"300", DOZ_T_TINY, false, {}},
        {"-1", DOZ_T_TINY, false, {}},
        {"2.5e3", DOZ_T_REAL, true, bytes_of(2500.0)},
        {"x", DOZ_T_REAL, false, {}},
        {"0.75", DOZ_T_SREAL, true, bytes_of(0.75f)},
        {"1e60", DOZ_T_SREAL, false, {}},
        {"31/12/1999", DOZ_T_DATE, true, bytes_of(DozDate{1999, 12, 31})},
        {"31/02/1999", DOZ_T_DATE, false, {}},
        {"13:05:09", DOZ_T_TIME, true, bytes_of(DozTime{13, 5, 9})},
        {"25:00:00", DOZ_T_TIME, false, {}},
        {" yes", DOZ_T_BOOL, true, {1}},
        {"True", DOZ_T_BOOL, true, {1}},
        {"t", DOZ_T_BOOL, true, {1}},
        {"1", DOZ_T_BOOL, true, {1}},
        {"no ", DOZ_T_BOOL, true, {0}},
        {"FALSE", DOZ_T_BOOL, true, {0}},
        {"f", DOZ_T_BOOL, true, {0}},
        {"0", DOZ_T_BOOL, true, {0}},
        {"maybe", DOZ_T_BOOL, false, {}},
        {"xyz", DOZ_T_CHAR, true, {'x'}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "' as type " + std::to_string(c.type));
        const void *v = dsprint_ds_scan(c.text, c.type, nullptr);
        if (!c.valid) {
            EXPECT_EQ(v, nullptr);
            continue;
        }
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(bytes(v, c.want.size()), c.want);
    }
    const char text[] = "some words";
    EXPECT_EQ(dsprint_ds_scan(text, DOZ_T_STRING, nullptr), text);
    EXPECT_EQ(dsprint_ds_scan(text, DOZ_T_BLOB, nullptr), text);
    EXPECT_EQ(dsprint_ds_scan(" \t", DOZ_T_STRING, nullptr), nullptr) << "blank is missing for every type";
    int fallback = 5;
    EXPECT_EQ(dsprint_ds_scan("1", 12, &fallback), &fallback);

    // The date input order decides which number is the day.
    ASSERT_EQ(dsprint_ds_set_date_input_format("%m/%d/%y"), 1);
    const void *md = dsprint_ds_scan("12/31/1999", DOZ_T_DATE, nullptr);
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(bytes(md, 6), bytes_of(DozDate{1999, 12, 31}));
    EXPECT_EQ(dsprint_ds_set_date_input_format("%q/%d"), 0);
    EXPECT_NE(dsprint_ds_scan("12/31/1999", DOZ_T_DATE, nullptr), nullptr) << "a bad order keeps the old one";
    ASSERT_EQ(dsprint_ds_set_date_input_format("%d/%m/%y"), 1);
}

// Text made from a value scans back to the same value, and packs into a
// row that extracts to it again.
TEST(ValueText, TextRoundTripsThroughScanAndPack)
{
    ASSERT_EQ(dsprint_ds_set_date_input_format("%d/%m/%y"), 1);
    dsprint_ds_set_date_time_format("%d/%m/%Y", "%H:%M:%S");
    ds_set_sprint_proc(0);
    struct Case {
        int type;
        std::vector<unsigned char> value;
        int width, precision;
    } cases[] = {
        {DOZ_T_LONG, bytes_of(int32_t{-123456}), 10, 0},
        {DOZ_T_SHORT, bytes_of(int16_t{-321}), 6, 0},
        {DOZ_T_TINY, bytes_of(uint8_t{200}), 4, 0},
        {DOZ_T_REAL, bytes_of(1234.5), 12, 3},
        {DOZ_T_SREAL, bytes_of(-2.25f), 8, 2},
        {DOZ_T_DATE, bytes_of(DozDate{2005, 3, 7}), 12, 0},
        {DOZ_T_TIME, bytes_of(DozTime{23, 59, 1}), 10, 0},
        {DOZ_T_BOOL, {1}, 5, 0},
        {DOZ_T_BOOL, {0}, 5, 0},
        {DOZ_T_CHAR, {'Q'}, 3, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        std::string text = dsprint_ds_sprint(c.value.data(), c.width, c.precision, c.type);
        // A char prints centred; its value is the first non-blank.
        if (c.type == DOZ_T_CHAR)
            text = text.substr(text.find_first_not_of(' '));
        const void *v = dsprint_ds_scan(text.c_str(), c.type, nullptr);
        ASSERT_NE(v, nullptr) << "'" << text << "'";
        EXPECT_EQ(bytes(v, c.value.size()), c.value) << "'" << text << "'";

        alignas(8) unsigned char row[32] = {};
        DozReader rd(row, sizeof row);
        ASSERT_EQ(dsput_put(rd, c.type, 0, 0, v), 0);
        init_buffer(rd, row, sizeof row);
        int n;
        const void *back = extract(rd, col(c.type), &n);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(bytes(back, c.value.size()), c.value);
    }
    dsprint_ds_set_date_time_format("", "");
}

TEST(ValueText, MissingValueMarkerPrintsAsBlanks)
{
    struct Case {
        double v;
        int width, precision;
        bool blank;
    } cases[] = {
        {-9999.0, 10, 2, true}, {-9999.0, 8, 0, true}, {-9999.5, 10, 1, true},
        {-99990.0, 10, 1, false}, {9999.0, 10, 2, false}, {-9998.0, 10, 2, false},
    };
    for (int printer = 0; printer < 2; printer++) {
        ds_set_sprint_proc(printer);
        for (const Case &c : cases) {
            SCOPED_TRACE(std::to_string(c.v) + (printer ? " printer" : " normal"));
            std::string text = dsprint_ds_sprint(&c.v, c.width, c.precision, DOZ_T_REAL);
            EXPECT_EQ(text.size(), static_cast<size_t>(c.width));
            if (c.blank)
                EXPECT_EQ(text, std::string(static_cast<size_t>(c.width), ' '));
            else
                EXPECT_NE(text.find_first_not_of(' '), std::string::npos);
        }
        int32_t l = -9999;
        EXPECT_EQ(std::string(dsprint_ds_sprint(&l, 6, 0, DOZ_T_LONG)), "      ");
    }
    ds_set_sprint_proc(0);
}

// The printer text takes its numbers' form from the environment's locale
// and leaves the program's own numeric locale as it was.
TEST(ValueText, PrinterTextUsesTheEnvironmentsLocale)
{
    std::string dir = vxtest::temp_dir("dslocale");
    std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    int rc = system(cmd.c_str());
    (void)rc;
    if (!std::ifstream(dir + "/de_DE.UTF-8/LC_NUMERIC"))
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    setenv("LOCPATH", dir.c_str(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    ASSERT_NE(setlocale(LC_NUMERIC, "C"), nullptr);

    double v = 1234.5, missing = -9999.0;
    ds_set_sprint_proc(1);
    EXPECT_EQ(std::string(dsprint_ds_sprint(&v, 10, 2, DOZ_T_REAL)), "   1234,50");
    EXPECT_EQ(std::string(dsprint_ds_sprint(&missing, 10, 2, DOZ_T_REAL)), std::string(10, ' '));
    EXPECT_STREQ(setlocale(LC_NUMERIC, nullptr), "C");
    ds_set_sprint_proc(0);
    EXPECT_EQ(std::string(dsprint_ds_sprint(&v, 10, 2, DOZ_T_REAL)), "   1234.50");

    unsetenv("LC_ALL");
    unsetenv("LOCPATH");
}

TEST(ValueText, ElementSizes)
{
    struct Case {
        int type, length, size, step;
    } cases[] = {
        {DOZ_T_STRING, 10, 11, 1}, {DOZ_T_LONG, 0, 4, 4},    {DOZ_T_SHORT, 0, 2, 2}, {DOZ_T_REAL, 0, 8, 8},
        {DOZ_T_DATE, 0, 6, 6},     {DOZ_T_TIME, 0, 6, 6},    {DOZ_T_COMPLEX, 0, 16, 16}, {DOZ_T_BOOL, 0, 1, 1},
        {DOZ_T_CHAR, 0, 1, 1},     {DOZ_T_SREAL, 0, 4, 4},   {DOZ_T_TINY, 0, 1, 1},  {DOZ_T_BLOB, 0, 36, 36},
        {40, 0, 36, 36},
    };
    unsigned char base[128];
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(dsprint_ds_sizeof(c.type, c.length), c.size);
        EXPECT_EQ(dsprint_ds_elem(base, 3, c.type), base + 3 * c.step);
    }
}

// ---- pipes -----------------------------------------------------------------------

TEST(DatasetPipes, WriteReadAndExitStatus)
{
    std::string dir = vxtest::temp_dir("dspipe");
    std::string file = dir + "/out.txt";
    FILE *w = dspipe_ds_open_pipe(("cat > '" + file + "'").c_str(), "a");
    ASSERT_NE(w, nullptr);
    fputs("row 1\nrow 2\n", w);
    EXPECT_EQ(dspipe_ds_close_pipe(w), 1);
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "row 1\nrow 2\n");

    FILE *r = dspipe_ds_open_pipe("echo from the command", "r");
    ASSERT_NE(r, nullptr);
    char line[64] = {};
    ASSERT_NE(fgets(line, sizeof line, r), nullptr);
    EXPECT_STREQ(line, "from the command\n");
    EXPECT_EQ(dspipe_ds_close_pipe(r), 1);

    FILE *bad = dspipe_ds_open_pipe("exit 3", "r");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(dspipe_ds_close_pipe(bad), 0) << "a failing command is reported";
}

}  // namespace
