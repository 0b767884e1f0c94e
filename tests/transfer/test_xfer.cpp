// The transfer codec without an interpreter: rows packed into a buffer,
// written in each file format, read back and packed again; hand-written
// files; exact bytes of the binary layouts.

#include <gtest/gtest.h>

#include "xfer.h"

#include "dozrow.h"
#include "dozvalue.h"
#include "dsput.h"
#include "qysched.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- a small row kit -----------------------------------------------------------------

struct Col {
    int type;
    int length;     // width / declared length
    int precision;
    int count;      // 0 single, n fixed, -n variable
    bool null = true;
};

DozColDesc desc_of(const Col &c, int i)
{
    DozColDesc d{};
    d.type = static_cast<int16_t>(c.type);
    d.width = static_cast<int16_t>(c.length);
    d.precision = static_cast<int16_t>(c.precision);
    d.count = c.count;
    snprintf(d.name, sizeof d.name, "C%d", i);
    return d;
}

XferColumn column_of(const Col &c, int i)
{
    XferColumn x;
    x.name = "C" + std::to_string(i);
    x.type = c.type;
    x.length = c.length;
    x.precision = c.precision;
    x.count = c.count < 0 ? -c.count : c.count;
    x.var = c.count < 0;
    x.null = c.null;
    return x;
}

int elem_size_of(int type) { return type == DOZ_T_BLOB ? 36 : xfer_binary_size(type, 0); }

// The bytes of element i of a value of the type, distinct per row k.
std::vector<unsigned char> sample(int type, int k, int i)
{
    std::vector<unsigned char> b(static_cast<size_t>(std::max(elem_size_of(type), 1)), 0);
    switch (type) {
    case DOZ_T_LONG: {
        int32_t v = 100000 * (k + 1) + i - 7;
        memcpy(b.data(), &v, 4);
        break;
    }
    case DOZ_T_SHORT: {
        int16_t v = static_cast<int16_t>(-300 * (k + 1) + i);
        memcpy(b.data(), &v, 2);
        break;
    }
    case DOZ_T_REAL: {
        double v = 1.25 * (k + 1) - 0.5 * i;
        memcpy(b.data(), &v, 8);
        break;
    }
    case DOZ_T_SREAL: {
        float v = 2.5f * static_cast<float>(k + 1) + static_cast<float>(i);
        memcpy(b.data(), &v, 4);
        break;
    }
    case DOZ_T_COMPLEX: {
        double v[2] = {1.5 + k, -2.25 - i};
        memcpy(b.data(), v, 16);
        break;
    }
    case DOZ_T_DATE: {
        DozDate d{static_cast<int16_t>(2026 - k), static_cast<int16_t>(12 - i), static_cast<int16_t>(10 + i)};
        memcpy(b.data(), &d, 6);
        break;
    }
    case DOZ_T_TIME: {
        DozTime t{static_cast<int16_t>(12 + k), static_cast<int16_t>(34 + i), 56};
        memcpy(b.data(), &t, 6);
        break;
    }
    case DOZ_T_BOOL: b[0] = static_cast<unsigned char>((k + i) % 2); break;
    case DOZ_T_CHAR: b[0] = static_cast<unsigned char>('x' + k); break;
    case DOZ_T_TINY: b[0] = static_cast<unsigned char>(200 + k + i); break;
    default: break;
    }
    return b;
}

// Canonical text of one field of a packed row (dozrow's layout with
// presence bytes): "NULL", or the elements joined by ":".
std::string canon(const unsigned char *row, const DozField &f, const DozColDesc &d)
{
    int count = 0;
    bool present = false;
    const unsigned char *at = doz_get(row, f, &count, &present);
    if (!present)
        return "NULL";
    if (f.var && count == 0)
        return "EMPTY";
    if (d.type == DOZ_T_STRING)
        return std::string(reinterpret_cast<const char *>(at), strnlen(reinterpret_cast<const char *>(at), f.elem_size));
    std::string s;
    for (int i = 0; i < count; i++) {
        const unsigned char *e = at + static_cast<size_t>(i) * f.elem_size;
        char t[80] = "";
        switch (d.type) {
        case DOZ_T_LONG: {
            int32_t v;
            memcpy(&v, e, 4);
            snprintf(t, sizeof t, "%d", v);
            break;
        }
        case DOZ_T_SHORT: {
            int16_t v;
            memcpy(&v, e, 2);
            snprintf(t, sizeof t, "%d", v);
            break;
        }
        case DOZ_T_REAL: {
            double v;
            memcpy(&v, e, 8);
            snprintf(t, sizeof t, "%.6g", v);
            break;
        }
        case DOZ_T_SREAL: {
            float v;
            memcpy(&v, e, 4);
            snprintf(t, sizeof t, "%.6g", static_cast<double>(v));
            break;
        }
        case DOZ_T_COMPLEX: {
            double v[2];
            memcpy(v, e, 16);
            snprintf(t, sizeof t, "%.6g;%.6g", v[0], v[1]);
            break;
        }
        case DOZ_T_DATE:
        case DOZ_T_TIME: {
            int16_t v[3];
            memcpy(v, e, 6);
            snprintf(t, sizeof t, "%d-%d-%d", v[0], v[1], v[2]);
            break;
        }
        case DOZ_T_CHAR: snprintf(t, sizeof t, "%c", *e); break;
        case DOZ_T_BLOB: snprintf(t, sizeof t, "blob"); break;
        default: snprintf(t, sizeof t, "%u", *e); break;
        }
        s += (i ? ":" : "") + std::string(t);
    }
    return s;
}

using Rows = std::vector<std::vector<std::string>>;

// A buffer of rows packed as the interpreter lays them out.
struct Packed {
    std::vector<unsigned char> buffer = std::vector<unsigned char>(1 << 16, 0);
    std::vector<DozColDesc> descs;
    DozLayout layout;
    int rows = 0;
    DozReader reader;  // over the buffer, for packing and unloading

    explicit Packed(const std::vector<Col> &cols)
    {
        for (size_t i = 0; i < cols.size(); i++)
            descs.push_back(desc_of(cols[i], static_cast<int>(i)));
        EXPECT_TRUE(doz_layout(descs, true, layout));
        init_buffer(reader, buffer.data(), buffer.size());
    }
    Rows read() const
    {
        Rows out;
        for (int k = 0; k < rows; k++) {
            const unsigned char *row = buffer.data() + static_cast<size_t>(k) * layout.row_size;
            std::vector<std::string> r;
            for (size_t c = 0; c < descs.size(); c++)
                r.push_back(canon(row, layout.fields[c], descs[c]));
            out.push_back(r);
        }
        return out;
    }
};

// Moves the cursor to the end of the row it is in.
void pad_row(Packed &p)
{
    const size_t off = static_cast<size_t>(buffer_cursor(p.reader) - p.buffer.data());
    const size_t size = static_cast<size_t>(p.layout.row_size);
    set_buffer_cursor(p.reader, p.buffer.data() + (off + size - 1) / size * size);
}

// Packs row k of the columns: `mode` 0 every value, 1 every value null,
// 2 variable arrays holding one element fewer than their room.
void pack_row(Packed &p, const std::vector<Col> &cols, int k, int mode)
{
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    set_buffer_cursor(p.reader, p.buffer.data() + static_cast<size_t>(p.rows) * p.layout.row_size);
    for (const Col &c : cols) {
        if (mode == 1) {
            ASSERT_EQ(dsput_put(p.reader, c.type, c.type == DOZ_T_STRING ? c.length : c.count, 0, nullptr), 0);
            continue;
        }
        if (c.type == DOZ_T_STRING) {
            std::string s = "s" + std::to_string(k) + " \"q\",;x";
            ASSERT_EQ(dsput_put(p.reader, c.type, c.length, 1, s.substr(0, static_cast<size_t>(c.length)).c_str()), 0);
            continue;
        }
        int room = c.count == 0 ? 1 : std::abs(c.count);
        std::vector<unsigned char> v;
        for (int i = 0; i < room; i++) {
            auto e = sample(c.type, k, i);
            v.insert(v.end(), e.begin(), e.end());
        }
        int held = c.count < 0 && mode == 2 ? room - 1 : room;
        ASSERT_EQ(dsput_put(p.reader, c.type, c.count, held, v.data()), 0);
    }
    ASSERT_LE(buffer_cursor(p.reader), p.buffer.data() + static_cast<size_t>(p.rows + 1) * p.layout.row_size);
    p.rows++;
}

struct TempFile {
    std::string path;
    TempFile()
    {
        char t[] = "/tmp/xfertestXXXXXX";
        int fd = mkstemp(t);
        EXPECT_GE(fd, 0);
        close(fd);
        path = t;
    }
    ~TempFile() { unlink(path.c_str()); }
    std::string contents() const
    {
        std::string s;
        if (FILE *f = fopen(path.c_str(), "rb")) {
            char b[4096];
            size_t n;
            while ((n = fread(b, 1, sizeof b, f)) > 0)
                s.append(b, n);
            fclose(f);
        }
        return s;
    }
    void write(const std::string &s) const
    {
        FILE *f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(s.data(), 1, s.size(), f);
        fclose(f);
    }
};

ObTransferData request(int format, const char *delimiter, int terminator)
{
    ObTransferData r;
    xfer_default_request(&r);
    r.format = format;
    snprintf(r.delimiter, sizeof r.delimiter, "%s", delimiter);
    r.terminator = terminator;
    return r;
}

// Writes the packed rows to a file with unload_row.
std::string unload(const ObTransferData &req, Packed &p, const TempFile &file, bool names = false)
{
    XferWriter w;
    w.request = &req;
    w.out = fopen(file.path.c_str(), "wb");
    EXPECT_NE(w.out, nullptr);
    if (names) {
        std::vector<XferName> list;
        for (const DozColDesc &d : p.descs)
            list.push_back({d.name, d.width});
        unload_colnames(w, list);
    }
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    for (int k = 0; k < p.rows; k++) {
        set_buffer_cursor(p.reader, p.buffer.data() + static_cast<size_t>(k) * p.layout.row_size);
        EXPECT_EQ(unload_row(w, p.reader, p.descs), 0);
        if (req.format != XFER_BINARY)
            write_row_terminator(w);
    }
    EXPECT_EQ(xfer_flush(w), 0);
    fclose(w.out);
    return file.contents();
}

struct LoadResult {
    Rows rows;
    std::vector<int> results;  // load_row's answer per call, the last the end
};

// Reads the file with load_row until the input ends.
LoadResult load(const ObTransferData &req, const std::vector<Col> &cols, const TempFile &file, bool names = false)
{
    Packed out(cols);
    std::vector<XferColumn> list;
    for (size_t i = 0; i < cols.size(); i++)
        list.push_back(column_of(cols[i], static_cast<int>(i)));
    XferReader r;
    r.request = &req;
    r.in = fopen(file.path.c_str(), "rb");
    EXPECT_NE(r.in, nullptr);
    check_xfer_bcmode(r);
    if (names)
        skip_colnames(r, list);
    XferBlobs *blobs = xfer_blobs_new();
    LoadResult res;
    init_buffer(out.reader, out.buffer.data(), out.buffer.size());
    for (int guard = 0; guard < 1000; guard++) {
        unsigned char *start = buffer_cursor(out.reader);
        int got = load_row(r, out.reader, list, blobs);
        res.results.push_back(got);
        if (got == XFER_ROW_EMPTY || got == XFER_ROW_NO_ROOM) {
            set_buffer_cursor(out.reader, start);
            break;
        }
        set_buffer_cursor(out.reader, start + out.layout.row_size);
        out.rows++;
        if (r.eof_input)
            break;
    }
    xfer_blobs_free(blobs);
    fclose(r.in);
    res.rows = out.read();
    return res;
}

class Transfer : public testing::Test {
protected:
    void SetUp() override
    {
        dsprint_ds_set_date_time_format("%d/%m/%Y", "%H:%M:%S");
        unsetenv("XFER_LD_BINARR_PARTIAL");
        unsetenv("XFER_LD_ZERO_ARRAYS");
    }
};

// ---- the request ---------------------------------------------------------------------------

TEST_F(Transfer, NewRequestDefaults)
{
    ObTransferData r;
    memset(&r, 0x55, sizeof r);
    xfer_default_request(&r);
    EXPECT_EQ(r.kind, 12);
    EXPECT_STREQ(r.table, "");
    EXPECT_EQ(r.direction, XFER_LOAD);
    EXPECT_EQ(r.medium, XFER_FILE);
    EXPECT_STREQ(r.path, "/tmp/file");
    EXPECT_EQ(r.format, XFER_DELIMITED);
    EXPECT_STREQ(r.delimiter, "");
    EXPECT_EQ(r.terminator, XFER_NONE);
    EXPECT_EQ(r.overwrite + r.name_row + r.use_where, 0);
    EXPECT_STREQ(r.where, "");
}

// ---- worked examples --------------------------------------------------------------------

TEST_F(Transfer, DefaultsWriteQuotedStringAndBlankAndReadBack)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 10, 10, 0}, {DOZ_T_LONG, 8, 0, 0}};
    Packed p(cols);
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_STRING, 10, 1, "abc"), 0);
    int32_t twelve = 12;
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_LONG, 0, 1, &twelve), 0);
    pad_row(p);
    p.rows = 1;
    ObTransferData req;
    xfer_default_request(&req);
    TempFile f;
    EXPECT_EQ(unload(req, p, f), "\"abc\" 12");
    LoadResult l = load(req, cols, f);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0], (std::vector<std::string>{"abc", "12"}));
}

TEST_F(Transfer, EveryDelimiterCharacterEndsAFieldAndAllAreWritten)
{
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, 0}, {DOZ_T_LONG, 8, 0, 0}, {DOZ_T_LONG, 8, 0, 0}};
    ObTransferData req = request(XFER_DELIMITED, ",;", XFER_LF);
    TempFile f;
    f.write("1,2;3\n4;5,6\n");
    LoadResult l = load(req, cols, f);
    EXPECT_EQ(l.rows, (Rows{{"1", "2", "3"}, {"4", "5", "6"}}));
    Packed p(cols);
    pack_row(p, cols, 0, 0);
    EXPECT_EQ(unload(req, p, f), "99993,;99993,;99993\n");
}

TEST_F(Transfer, BinaryStringsEmptyAndNull)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 3, 3, 0}};
    Packed p(cols);
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_STRING, 3, 1, ""), 0);
    pad_row(p);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_STRING, 3, 0, nullptr), 0);
    pad_row(p);
    p.rows = 2;
    ObTransferData req = request(XFER_BINARY, "", XFER_NONE);
    TempFile f;
    EXPECT_EQ(unload(req, p, f), std::string("\0\0\0\0\0\1\0\0", 8));
    LoadResult l = load(req, cols, f);
    // The empty string stays a string (the packer keeps it present).
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.rows[0][0], "");
    EXPECT_EQ(l.rows[1][0], "NULL");
}

TEST_F(Transfer, MinusNineNineNineNineIsNullOnlyAsASingleValue)
{
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, 0}, {DOZ_T_LONG, 8, 0, 2}, {DOZ_T_REAL, 10, 1, 0},
                             {DOZ_T_COMPLEX, 10, 1, 0}};
    struct Case {
        int format;
        std::string text;
    };
    int32_t l[3] = {-9999, -9999, 5};
    double re[3] = {-9999.0, -9999.0, -9999.0};
    std::string bin(reinterpret_cast<char *>(l), 12);
    bin += std::string(reinterpret_cast<char *>(re), 24);
    for (const Case &c : std::vector<Case>{{XFER_DELIMITED, "-9999 -9999 5 -9999.0 -9999 -9999"},
                                           {XFER_FIXED, "   -9999   -9999       5   -9999.0     -9999     -9999"},
                                           {XFER_BINARY, bin}}) {
        ObTransferData req = request(c.format, "", XFER_NONE);
        TempFile f;
        f.write(c.text);
        LoadResult r = load(req, cols, f);
        ASSERT_EQ(r.rows.size(), 1u) << c.format;
        EXPECT_EQ(r.rows[0], (std::vector<std::string>{"NULL", "-9999:5", "NULL", "NULL"})) << c.format;
    }
}

// ---- round trips: every type, single, fixed and variable, with nulls, each format -------------

TEST_F(Transfer, EveryTypeRoundTripsInEveryFormat)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 12, 12, 0}, {DOZ_T_BOOL, 5, 0, 0}, {DOZ_T_CHAR, 1, 0, 0}};
    for (int type : {DOZ_T_LONG, DOZ_T_SHORT, DOZ_T_REAL, DOZ_T_DATE, DOZ_T_TIME, DOZ_T_COMPLEX, DOZ_T_SREAL,
                     DOZ_T_TINY}) {
        int width = type == DOZ_T_DATE ? 10 : type == DOZ_T_TIME ? 8 : 12;
        int precision = type == DOZ_T_REAL || type == DOZ_T_SREAL || type == DOZ_T_COMPLEX ? 3 : 0;
        for (int count : {0, 3, -4})
            cols.push_back({type, width, precision, count});
    }
    Packed p(cols);
    pack_row(p, cols, 0, 0);
    pack_row(p, cols, 1, 1);
    pack_row(p, cols, 2, 2);
    pack_row(p, cols, 3, 0);
    const Rows want = p.read();
    // The binary format has no null time, bool, char or tiny: their room
    // holds zeroes.  A null fixed array of numbers holds -9999 in each
    // element, which loads as numbers.
    Rows want_binary = want;
    for (size_t c = 0; c < cols.size(); c++) {
        const int t = cols[c].type;
        if ((t == DOZ_T_LONG || t == DOZ_T_SHORT || t == DOZ_T_REAL || t == DOZ_T_SREAL || t == DOZ_T_COMPLEX) &&
            cols[c].count > 0) {
            std::string m = t == DOZ_T_COMPLEX ? "-9999;-9999" : "-9999";
            want_binary[1][c] = m + ":" + m + ":" + m;
        }
        if ((t == DOZ_T_TIME || t == DOZ_T_BOOL || t == DOZ_T_CHAR || t == DOZ_T_TINY) && cols[c].count >= 0) {
            std::string zero = t == DOZ_T_TIME ? "0-0-0" : t == DOZ_T_CHAR ? "" : "0";
            std::string all = zero;
            for (int i = 1; i < cols[c].count; i++)
                all += ":" + zero;
            want_binary[1][c] = all;
        }
    }
    for (int format : {XFER_FIXED, XFER_DELIMITED, XFER_BINARY}) {
        for (const char *delim : {"", ",", "\t"}) {
            for (int term : {XFER_LF, XFER_CR, XFER_CRLF, XFER_NONE}) {
                if (format == XFER_FIXED && term == XFER_NONE && *delim)
                    continue;
                // Rows of the delimited format need a terminator unless
                // fields are separated by white space.
                if (format == XFER_DELIMITED && term == XFER_NONE)
                    continue;
                ObTransferData req = request(format, delim, term);
                TempFile f;
                unload(req, p, f);
                LoadResult l = load(req, cols, f);
                const Rows &expect = format == XFER_BINARY ? want_binary : want;
                // Fields separated by white space lose the empty ones of a
                // null row: that row is not compared.
                const bool white = format == XFER_DELIMITED && !*delim;
                for (size_t i = 0; i < std::min(l.rows.size(), expect.size()); i++)
                    for (size_t c = 0; c < expect[i].size() && !(white && i == 1); c++)
                        EXPECT_EQ(l.rows[i][c], expect[i][c]) << "format " << format << " delimiter '" << delim
                                                              << "' terminator " << term << " row " << i << " column " << c;
                EXPECT_EQ(l.rows.size(), expect.size()) << "format " << format << " delimiter '" << delim << "' terminator " << term
                                        << "\n" << f.contents();
                for (size_t i = 0; i < l.results.size() && i < 4; i++)
                    if (!white || i != 1) {
                        EXPECT_EQ(l.results[i], XFER_ROW_PACKED) << format << " row " << i;
                    }
            }
        }
    }
}

TEST_F(Transfer, NameRowIsWrittenAndSkippedInTheTextFormats)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 6, 6, 0}, {DOZ_T_LONG, 8, 0, 0}};
    Packed p(cols);
    pack_row(p, cols, 0, 0);
    Rows want = p.read();
    struct Case {
        int format;
        const char *delim;
        const char *head;
    };
    for (const Case &c : std::vector<Case>{{XFER_DELIMITED, "", "\"C0\" \"C1\"\n"},
                                           {XFER_DELIMITED, ",", "C0,C1\n"},
                                           {XFER_FIXED, "", "C0    C1      \n"},
                                           {XFER_BINARY, "", ""}}) {
        ObTransferData req = request(c.format, c.delim, XFER_LF);
        TempFile f;
        std::string text = unload(req, p, f, true);
        EXPECT_EQ(text.substr(0, strlen(c.head)), c.head) << c.format;
        EXPECT_EQ(load(req, cols, f, true).rows, want) << c.format;
    }
    // A file of the name row alone loads nothing.
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    f.write("C0,C1\n");
    LoadResult l = load(req, cols, f, true);
    EXPECT_TRUE(l.rows.empty());
    EXPECT_EQ(l.results, std::vector<int>{XFER_ROW_EMPTY});
}

// ---- hand-written files ---------------------------------------------------------------------

TEST_F(Transfer, HandWrittenDelimitedFiles)
{
    std::vector<Col> two = {{DOZ_T_STRING, 8, 8, 0}, {DOZ_T_LONG, 8, 0, 0}};
    struct Case {
        const char *what;
        const char *delim;
        int term;
        std::string text;
        Rows rows;
        std::vector<int> results;
    };
    const int P = XFER_ROW_PACKED, E = XFER_ROW_EMPTY, T = XFER_ROW_TRUNCATED, S = XFER_ROW_SHORT;
    std::vector<Case> cases = {
        {"doubled quote", ",", XFER_LF, "\"a\"\"b\",1\n", {{"a\"b", "1"}}, {P, E}},
        {"text after the closing quote", ",", XFER_LF, "\"a\"x,2\n", {{"a", "2"}}, {P, E}},
        {"both delimiters", ",;", XFER_LF, "a;1\nb,2\n", {{"a", "1"}, {"b", "2"}}, {P, P, E}},
        {"LF", ",", XFER_LF, "a,1\nb,2\n", {{"a", "1"}, {"b", "2"}}, {P, P, E}},
        {"CR", ",", XFER_CR, "a,1\rb,2\r", {{"a", "1"}, {"b", "2"}}, {P, P, E}},
        {"CR LF", ",", XFER_CRLF, "a,1\r\nb,2\r\n", {{"a", "1"}, {"b", "2"}}, {P, P, E}},
        {"no terminator", "", XFER_NONE, "a 1 b 2", {{"a", "1"}, {"b", "2"}}, {P, P}},
        {"blank-separated quoted strings", "", XFER_LF, "\"a b\" 1\n\"c  d\" 2\n", {{"a b", "1"}, {"c  d", "2"}},
         {P, P, E}},
        {"number ends at a letter", ",", XFER_LF, "a,12xy\n", {{"a", "12"}}, {P, E}},
        {"truncated last row", ",", XFER_LF, "a,1\nb", {{"a", "1"}, {"b", "NULL"}}, {P, T}},
        {"terminator mid-row", ",", XFER_LF, "a\nb,2\n", {{"a", "NULL"}, {"b", "2"}}, {S, P, E}},
        {"empty fields", ",", XFER_LF, ",\n", {{"NULL", "NULL"}}, {P, E}},
        {"empty file", ",", XFER_LF, "", {}, {E}},
        {"quoted delimiter and terminator", ",", XFER_LF, "\"x,y\n", {{"x,y", "NULL"}}, {S, E}},
        {"last row without terminator", ",", XFER_LF, "a,1\nb,2", {{"a", "1"}, {"b", "2"}}, {P, P}},
    };
    for (const Case &c : cases) {
        ObTransferData req = request(XFER_DELIMITED, c.delim, c.term);
        TempFile f;
        f.write(c.text);
        LoadResult l = load(req, two, f);
        EXPECT_EQ(l.rows, c.rows) << c.what;
        EXPECT_EQ(l.results, c.results) << c.what;
    }
}

TEST_F(Transfer, LongFieldKeepsItsFirst4096Characters)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 5000, 5000, 0}, {DOZ_T_LONG, 8, 0, 0}};
    std::string big(4097, 'a');
    big[4095] = 'b';
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    f.write(big + ",7\n");
    LoadResult l = load(req, cols, f);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0][0], big.substr(0, 4096));
    EXPECT_EQ(l.rows[0][1], "7");
}

TEST_F(Transfer, HandWrittenFixedWidthFiles)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 4, 4, 0}, {DOZ_T_LONG, 3, 0, 0}};
    struct Case {
        const char *what;
        int term;
        std::string text;
        Rows rows;
    };
    std::vector<Case> cases = {
        {"packed rows", XFER_NONE, "ab   12cd    3", {{"ab", "12"}, {"cd", "3"}}},
        {"LF, longer lines cut", XFER_LF, "ab   12junk\ncd    3\n", {{"ab", "12"}, {"cd", "3"}}},
        {"CR LF", XFER_CRLF, "ab   12\r\ncd    3\r\n", {{"ab", "12"}, {"cd", "3"}}},
        {"terminator mid-row keeps the next row", XFER_LF, "ab\ncd    3\n", {{"ab", "NULL"}, {"cd", "3"}}},
        {"truncated", XFER_LF, "ab   12\ncd ", {{"ab", "12"}, {"cd", "NULL"}}},
    };
    for (const Case &c : cases) {
        ObTransferData req = request(XFER_FIXED, "", c.term);
        TempFile f;
        f.write(c.text);
        EXPECT_EQ(load(req, cols, f).rows, c.rows) << c.what;
    }
}

// ---- arrays, switches, blobs -----------------------------------------------------------------

TEST_F(Transfer, VariableArrayCountsAndTheEnvironmentSwitches)
{
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, -3}, {DOZ_T_LONG, 8, 0, 0}};
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    // A count above the room is cut to it; a negative count is 0; a
    // zero-element array is null unless XFER_LD_ZERO_ARRAYS is set.
    f.write("5,1,2,3,9\n-1,8\n0,7\n");
    EXPECT_EQ(load(req, cols, f).rows, (Rows{{"1:2:3", "9"}, {"NULL", "8"}, {"NULL", "7"}}));
    setenv("XFER_LD_ZERO_ARRAYS", "1", 1);
    EXPECT_EQ(load(req, cols, f).rows, (Rows{{"1:2:3", "9"}, {"EMPTY", "8"}, {"EMPTY", "7"}}));
    unsetenv("XFER_LD_ZERO_ARRAYS");
    // Binary: by default the full room follows the count; with the partial
    // switch only the counted elements do.
    int32_t full[] = {1, 4, -1, -1, 6};
    int32_t partial[] = {1, 4, 6};
    ObTransferData bin = request(XFER_BINARY, "", XFER_NONE);
    f.write(std::string(reinterpret_cast<char *>(full), sizeof full));
    EXPECT_EQ(load(bin, cols, f).rows, (Rows{{"4", "6"}}));
    setenv("XFER_LD_BINARR_PARTIAL", "1", 1);
    f.write(std::string(reinterpret_cast<char *>(partial), sizeof partial));
    EXPECT_EQ(load(bin, cols, f).rows, (Rows{{"4", "6"}}));
    setenv("XFER_LD_BINARR_PARTIAL", "0", 1);
    EXPECT_NE(load(bin, cols, f).rows, (Rows{{"4", "6"}}));
}

TEST_F(Transfer, BlobFieldsAreFileNamesOnLoadAndNamesOnUnload)
{
    std::vector<Col> cols = {{DOZ_T_BLOB, 24, 0, 0}, {DOZ_T_LONG, 4, 0, 0}};
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    f.write("/tmp/one,1\n,2\n");
    XferReader r;
    r.request = &req;
    r.in = fopen(f.path.c_str(), "rb");
    std::vector<XferColumn> list = {column_of(cols[0], 0), column_of(cols[1], 1)};
    Packed out(cols);
    XferBlobs *blobs = xfer_blobs_new();
    init_buffer(out.reader, out.buffer.data(), out.buffer.size());
    EXPECT_EQ(load_row(r, out.reader, list, blobs), XFER_ROW_PACKED);
    pad_row(out);
    EXPECT_EQ(load_row(r, out.reader, list, blobs), XFER_ROW_PACKED);
    pad_row(out);
    out.rows = 2;
    EXPECT_EQ(xfer_blobs_in_use(blobs), 1);
    Rows rows = out.read();
    EXPECT_EQ(rows, (Rows{{"blob", "1"}, {"NULL", "2"}}));
    fclose(r.in);

    // Fixed width: a blob field is read 80 characters wide, as the unload
    // writes it, so the field after it stays in place.
    ObTransferData fixed_req = request(XFER_FIXED, "", XFER_NONE);
    TempFile g;
    g.write(std::string("/tmp/two") + std::string(72, ' ') + "   2");
    XferReader fr;
    fr.request = &fixed_req;
    fr.in = fopen(g.path.c_str(), "rb");
    Packed fixed_out(cols);
    init_buffer(fixed_out.reader, fixed_out.buffer.data(), fixed_out.buffer.size());
    EXPECT_EQ(load_row(fr, fixed_out.reader, list, blobs), XFER_ROW_PACKED);
    pad_row(fixed_out);
    fixed_out.rows = 1;
    EXPECT_EQ(fixed_out.read(), (Rows{{"blob", "2"}}));
    xfer_blobs_free(blobs);
    fclose(fr.in);

    // Unload: the blob's name, 80 wide in the fixed-width format and
    // NUL-padded to 81 bytes in the binary one.
    Packed p(cols);
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    DozBlobDesc d{};
    snprintf(d.prefix, sizeof d.prefix, "IMG");
    d.id1 = 1;
    d.id2 = 2;
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_BLOB, 0, 1, &d), 0);
    int32_t one = 1;
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_LONG, 0, 1, &one), 0);
    pad_row(p);
    p.rows = 1;
    char name[DOZ_BLOB_NAME_SIZE];
    doz_blob_name(&d, name);
    EXPECT_EQ(unload(req, p, f), std::string(name) + ",1\n");
    std::string fixed = unload(request(XFER_FIXED, "", XFER_NONE), p, f);
    EXPECT_EQ(fixed.size(), 84u);
    EXPECT_EQ(fixed.substr(0, strlen(name)), name);
    std::string bin = unload(request(XFER_BINARY, "", XFER_NONE), p, f);
    ASSERT_EQ(bin.size(), 85u);
    EXPECT_EQ(bin.substr(0, 81), std::string(name) + std::string(81 - strlen(name), '\0'));
}

// ---- exact bytes -------------------------------------------------------------------------------

TEST_F(Transfer, BinaryGoldenBytesInHostOrder)
{
    if constexpr (std::endian::native != std::endian::little)
        GTEST_SKIP() << "golden bytes are little-endian";
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, 0}, {DOZ_T_SHORT, 4, 0, -2}, {DOZ_T_STRING, 3, 3, 0},
                             {DOZ_T_DATE, 10, 0, 0},  {DOZ_T_REAL, 8, 2, 0},   {DOZ_T_TINY, 3, 0, 0}};
    Packed p(cols);
    pack_row(p, cols, 0, 1);  // every value null
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    set_buffer_cursor(p.reader, p.buffer.data() + p.layout.row_size);
    int32_t l = 258;
    int16_t s[2] = {7, 0};
    DozDate date{2026, 12, 10};
    double half = 0.5;
    unsigned char tiny = 9;
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_LONG, 0, 1, &l), 0);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_SHORT, -2, 1, s), 0);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_STRING, 3, 1, "ab"), 0);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_DATE, 0, 1, &date), 0);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_REAL, 0, 1, &half), 0);
    ASSERT_EQ(dsput_put(p.reader, DOZ_T_TINY, 0, 1, &tiny), 0);
    pad_row(p);
    p.rows = 2;
    TempFile f;
    std::string got = unload(request(XFER_BINARY, "", XFER_NONE), p, f);
    const unsigned char golden[] = {
        // nulls: long -9999, count 0 and two shorts -9999, string 0 1 0 0,
        // date zeroes, real -9999.0, tiny 0
        0xF1, 0xD8, 0xFF, 0xFF, 0, 0, 0, 0, 0xF1, 0xD8, 0xF1, 0xD8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0x80, 0x87, 0xC3, 0xC0, 0,
        // values
        0x02, 0x01, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0, 'a', 'b', 0, 0, 0xEA, 0x07, 12, 0, 10, 0,
        0, 0, 0, 0, 0, 0, 0xE0, 0x3F, 9};
    EXPECT_EQ(got, std::string(reinterpret_cast<const char *>(golden), sizeof golden));
}

TEST_F(Transfer, DfsHeaderRecordSizeAndRowSeparators)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 5, 5, 0}, {DOZ_T_LONG, 8, 0, 0}, {DOZ_T_REAL, 8, 2, 3},
                             {DOZ_T_BOOL, 5, 0, 0}};
    Packed p(cols);
    pack_row(p, cols, 0, 0);
    pack_row(p, cols, 1, 1);
    EXPECT_EQ(xfer_dfs_record_size(p.descs), (1 + 6) + (1 + 4) + (1 + 24) + (1 + 1) + 1);
    TempFile f;
    std::string got = unload(request(XFER_DFS, "", XFER_NONE), p, f);
    std::string head = "6;4;8;1\n40\n";
    ASSERT_EQ(got.substr(0, head.size()), head);
    // Two records of 39 bytes with one separator byte between them.
    ASSERT_EQ(got.size(), head.size() + 39 + 1 + 39);
    EXPECT_EQ(got[head.size()], 1);                       // the string is present
    EXPECT_EQ(got[head.size() + 39], 1);                  // the separator
    EXPECT_EQ(got.substr(head.size() + 40), std::string(39, '\0'));  // every field null
}

// ---- comma-separated header and write failures ----------------------------------------------

TEST_F(Transfer, CsvHeaderKeepsTheFieldOfAPrintColumn)
{
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, 0}, {DOZ_T_LONG, 8, 0, 0}, {DOZ_T_STRING, 4, 4, 0}};
    Packed p(cols);
    snprintf(p.descs[1].name, sizeof p.descs[1].name, "PRINT");
    snprintf(p.descs[2].name, sizeof p.descs[2].name, "A,B");
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    XferWriter w;
    w.request = &req;
    w.out = fopen(f.path.c_str(), "wb");
    write_csv_header(w, p.descs);
    fclose(w.out);
    EXPECT_EQ(f.contents(), "C0,,\"A,B\"\n");
}

TEST_F(Transfer, RefusedWritesSetTheFailureOnce)
{
    std::vector<Col> cols = {{DOZ_T_LONG, 8, 0, 0}, {DOZ_T_STRING, 4, 4, 0}};
    Packed p(cols);
    pack_row(p, cols, 0, 1);
    struct Case {
        int format;
        int failure;
    };
    // A null number in the binary format fails without a message; text
    // fails with one.
    for (const Case &c : std::vector<Case>{{XFER_BINARY, XFER_WRITE_SILENT}, {XFER_DELIMITED, XFER_WRITE_REFUSED}}) {
        ObTransferData req = request(c.format, ",", XFER_LF);
        XferWriter w;
        w.request = &req;
        w.out = fopen("/dev/null", "rb");  // refuses every write
        ASSERT_NE(w.out, nullptr);
        setvbuf(w.out, nullptr, _IONBF, 0);
        init_buffer(p.reader, p.buffer.data(), p.buffer.size());
        EXPECT_EQ(unload_row(w, p.reader, p.descs), -1);
        EXPECT_EQ(w.failed, c.failure);
        fclose(w.out);
    }
    // A full device fails at the latest when the output is flushed.
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    XferWriter w;
    w.request = &req;
    w.out = fopen("/dev/full", "wb");
    ASSERT_NE(w.out, nullptr);
    init_buffer(p.reader, p.buffer.data(), p.buffer.size());
    unload_row(w, p.reader, p.descs);
    EXPECT_EQ(xfer_flush(w), -1);
    EXPECT_EQ(w.failed, XFER_WRITE_REFUSED);
    fclose(w.out);
}

TEST_F(Transfer, RowThatDoesNotFitTheBufferPacksNothing)
{
    std::vector<Col> cols = {{DOZ_T_STRING, 100, 100, 0}};
    XferColumn c = column_of(cols[0], 0);
    EXPECT_EQ(xfer_row_size(std::span<const XferColumn>(&c, 1)), 102);
    ObTransferData req = request(XFER_DELIMITED, ",", XFER_LF);
    TempFile f;
    f.write("abc\n");
    XferReader r;
    r.request = &req;
    r.in = fopen(f.path.c_str(), "rb");
    std::vector<unsigned char> small(50);
    DozReader rows(small.data(), small.size());
    EXPECT_EQ(load_row(r, rows, std::span<const XferColumn>(&c, 1), nullptr), XFER_ROW_NO_ROOM);
    EXPECT_EQ(buffer_cursor(rows), small.data());
    fclose(r.in);
}

}  // namespace
