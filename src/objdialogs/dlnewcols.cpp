// The table editor's collection of new columns.

#include "dlnewcols.h"

#include "dlkit.h"

#include <algorithm>
#include <cstring>

namespace {

void fill(DictColumn &c, const ObColumnData &v)
{
    dl_copy(c.name, dl_view(v.name));
    c.key = v.key;
    c.null = v.null;
    DictItem &it = *c.item;
    dl_copy(it.name, dl_view(v.name));
    dl_copy(it.alias, dl_view(v.alias));
    it.type = v.type;
    it.length = v.length;
    it.fraction = v.fraction;
    it.var = v.var;
    it.array_size = v.array_size;
    it.ndims = std::clamp(v.ndims, 0, 8);
    std::copy(v.dims, v.dims + 8, it.dims);
}

}  // namespace

bool DlNewColumns::merge(const ObColumnData &value)
{
    if (!value.name[0])
        return false;
    auto same_value = std::find_if(values_.begin(), values_.end(), [&](const auto &v) {
        return strncmp(v->name, value.name, sizeof v->name) == 0;
    });
    if (same_value != values_.end()) {
        ObColumnData *link = (*same_value)->chain;
        **same_value = value;
        (*same_value)->chain = link;
    } else {
        values_.push_back(std::make_unique<ObColumnData>(value));
        values_.back()->chain = nullptr;
        if (values_.size() > 1)
            values_[values_.size() - 2]->chain = values_.back().get();
    }
    auto same_column = std::find_if(columns_.begin(), columns_.end(), [&](const auto &c) {
        return strncmp(c->name, value.name, sizeof c->name - 1) == 0 && strlen(value.name) < sizeof c->name;
    });
    DictColumn *column = same_column != columns_.end() ? same_column->get() : nullptr;
    if (!column) {
        items_.push_back(std::make_unique<DictItem>());
        columns_.push_back(std::make_unique<DictColumn>());
        column = columns_.back().get();
        column->item = items_.back().get();
        if (columns_.size() > 1)
            columns_[columns_.size() - 2]->next = column;
    }
    fill(*column, value);
    return true;
}

void DlNewColumns::clear()
{
    values_.clear();
    columns_.clear();
    items_.clear();
}
