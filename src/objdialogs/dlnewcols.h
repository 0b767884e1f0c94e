// The columns of a new table as the table editor collects them: the column
// values (column kind data, chained, handed to the workspace with the
// table's kind data) and, beside them, the new columns with their items
// that the column editor lists.  Both belong to the collection.
#pragma once

#include "wsdict.h"
#include "wsobj.h"

#include <memory>
#include <vector>

class DlNewColumns {
public:
    DlNewColumns() = default;
    DlNewColumns(const DlNewColumns &) = delete;
    DlNewColumns &operator=(const DlNewColumns &) = delete;

    // Takes a column value: the entry of the same name is overwritten in
    // place (its link kept), else a copy is appended; the new column of
    // that name is updated, or a new column with its own item appended.
    // A value without a name is left out (false).
    bool merge(const ObColumnData &value);
    void clear();

    ObColumnData *values() { return values_.empty() ? nullptr : values_.front().get(); }
    DictColumn *columns() { return columns_.empty() ? nullptr : columns_.front().get(); }
    size_t size() const { return values_.size(); }

private:
    std::vector<std::unique_ptr<ObColumnData>> values_;
    std::vector<std::unique_ptr<DictColumn>> columns_;
    std::vector<std::unique_ptr<DictItem>> items_;
};
