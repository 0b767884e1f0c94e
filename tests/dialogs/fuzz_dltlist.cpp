// The table list reader under the fuzzer: any bytes as the file, then
// every edit button on the records read.  Names stay within their bound,
// orders stay the places, and the item texts stay 16 columns.

#include "dltlist.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *fp = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!fp)
        return 0;
    std::vector<DlTableRecord> records;
    dltlist_read(fp, records);
    fclose(fp);
    if (records.size() > size)
        abort();
    for (int button = 0; button < 6; button++) {
        std::vector<int> selected;
        for (size_t i = 0; i < records.size(); i += 1 + static_cast<size_t>(button))
            selected.push_back(static_cast<int>(i));
        dltlist_edit(records, selected, button);
        for (size_t i = 0; i < records.size(); i++) {
            if (strnlen(records[i].name, sizeof records[i].name) > 11 || records[i].order != static_cast<int>(i))
                abort();
            if (dltlist_item_text(records[i]).size() != 16)
                abort();
        }
    }
    return 0;
}
