// The transfer dialog's sensitivity rules over every request shape.

#include <gtest/gtest.h>  // before the X headers, which define None

#include "dlxfer.h"
#include "xfer.h"

#include <string>

namespace {

TEST(TransferSensitivity, EveryDirectionMediumFormatAndCondition)
{
    // 1 sensitive: overwrite, use where, where group, search, delimiter,
    // terminator, name row.
    struct Row {
        int direction, medium, format, use_where;
        const char *expected;
    } rows[] = {
        {XFER_LOAD, XFER_FILE, XFER_FIXED, 0, "1001010"},
        {XFER_LOAD, XFER_FILE, XFER_FIXED, 1, "1011010"},
        {XFER_LOAD, XFER_FILE, XFER_DELIMITED, 0, "1001111"},
        {XFER_LOAD, XFER_FILE, XFER_DELIMITED, 1, "1011111"},
        {XFER_LOAD, XFER_FILE, XFER_BINARY, 0, "1001000"},
        {XFER_LOAD, XFER_FILE, XFER_BINARY, 1, "1011000"},
        {XFER_LOAD, XFER_PIPE, XFER_FIXED, 0, "1000010"},
        {XFER_LOAD, XFER_PIPE, XFER_FIXED, 1, "1010010"},
        {XFER_LOAD, XFER_PIPE, XFER_DELIMITED, 0, "1000111"},
        {XFER_LOAD, XFER_PIPE, XFER_DELIMITED, 1, "1010111"},
        {XFER_LOAD, XFER_PIPE, XFER_BINARY, 0, "1000000"},
        {XFER_LOAD, XFER_PIPE, XFER_BINARY, 1, "1010000"},
        {XFER_UNLOAD, XFER_FILE, XFER_FIXED, 0, "0101010"},
        {XFER_UNLOAD, XFER_FILE, XFER_FIXED, 1, "0111010"},
        {XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 0, "0101111"},
        {XFER_UNLOAD, XFER_FILE, XFER_DELIMITED, 1, "0111111"},
        {XFER_UNLOAD, XFER_FILE, XFER_BINARY, 0, "0101000"},
        {XFER_UNLOAD, XFER_FILE, XFER_BINARY, 1, "0111000"},
        {XFER_UNLOAD, XFER_PIPE, XFER_FIXED, 0, "0100010"},
        {XFER_UNLOAD, XFER_PIPE, XFER_FIXED, 1, "0110010"},
        {XFER_UNLOAD, XFER_PIPE, XFER_DELIMITED, 0, "0100111"},
        {XFER_UNLOAD, XFER_PIPE, XFER_DELIMITED, 1, "0110111"},
        {XFER_UNLOAD, XFER_PIPE, XFER_BINARY, 0, "0100000"},
        {XFER_UNLOAD, XFER_PIPE, XFER_BINARY, 1, "0110000"},
    };
    for (const Row &r : rows) {
        const DlXferSensitivity s = dlxfer_sensitivity(r.direction, r.medium, r.format, r.use_where);
        std::string got;
        for (bool b : {s.overwrite, s.use_where, s.where_group, s.search, s.delimiter, s.terminator, s.colnames})
            got += b ? '1' : '0';
        EXPECT_EQ(got, r.expected) << r.direction << " " << r.medium << " " << r.format << " " << r.use_where;
    }
}

}  // namespace
