// The table view's line store and selection.

#include "dystore.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {
const std::string no_text;
}

DyLineStore::DyLineStore(int capacity)
    : capacity_(std::max(1, capacity)), lines_(static_cast<size_t>(capacity_)),
      widths_(static_cast<size_t>(capacity_), 0)
{
}

const std::string &DyLineStore::text(int index) const
{
    if (index < 0 || index >= count_)
        return no_text;
    return lines_[static_cast<size_t>(slot(index))];
}

int32_t DyLineStore::width(int index) const
{
    if (index < 0 || index >= count_)
        return 0;
    return widths_[static_cast<size_t>(slot(index))];
}

bool DyLineStore::add(std::string_view text, int32_t pixel_width)
{
    bool full = count_ == capacity_;
    int chars = static_cast<int>(text.size());
    if (full) {
        head_ = (head_ + 1) % capacity_;
        first_++;
        count_--;
    }
    size_t s = static_cast<size_t>(slot(count_));
    lines_[s].assign(text);  // into the room the dropped line leaves
    widths_[s] = pixel_width;
    count_++;
    widest_ = std::max(widest_, chars);
    return full;
}

void DyLineStore::clear()
{
    for (auto &l : lines_)
        std::string().swap(l);
    std::fill(widths_.begin(), widths_.end(), 0);
    first_ += count_;
    head_ = 0;
    count_ = 0;
    top_ = 0;
    widest_ = 0;
    column_offset_ = 0;
}

void DyLineStore::set_window(int width, int height, int line_height, int char_width)
{
    line_height = std::max(1, line_height);
    char_width = std::max(1, char_width);
    rows_ = height > 0 ? (height - 1) / line_height + 1 : 1;
    columns_ = width > 0 ? (width - 1) / char_width + 1 : 1;
}

int DyLineStore::set_top(int top)
{
    int was = top_;
    top_ = std::clamp(top, 0, std::max(0, count_ - rows_));
    return top_ - was;
}

int DyLineStore::set_column_offset(int offset)
{
    int was = column_offset_;
    column_offset_ = std::clamp(offset, 0, std::max(0, widest_ - columns_));
    return column_offset_ - was;
}

void DyLineStore::pull_back()
{
    top_ = std::clamp(top_, 0, std::max(0, count_ - rows_));
    column_offset_ = std::clamp(column_offset_, 0, std::max(0, widest_ - columns_));
}

DyCell DyLineStore::cell_at(int x, int y, int line_height, int char_width) const
{
    line_height = std::max(1, line_height);
    char_width = std::max(1, char_width);
    int index = std::max(0, y) / line_height + top_;
    index = std::clamp(index, 0, std::max(0, count_ - 1));
    int column = std::max(0, x) / char_width + column_offset_;
    column = std::clamp(column, 0, static_cast<int>(text(index).size()));
    return {column, first_ + index};
}

bool DyLineStore::selection_lost_line() const
{
    if (!sel_.exists && !sel_.selecting)
        return false;
    return sel_.anchor.line < first_ || sel_.end.line < first_;
}

void DyLineStore::drop_selection()
{
    sel_.exists = false;
    sel_.selecting = false;
    sel_.owns_primary = false;
    sel_.direction = 0;
}

void DyLineStore::ordered(DyCell &from, DyCell &to) const
{
    from = std::min(sel_.anchor, sel_.end);
    to = std::max(sel_.anchor, sel_.end);
}

// Where the character holding byte `at` of `t` starts (`forward`: where
// the next one starts), in the locale's encoding; bytes that are no
// character count one each.
static size_t character_edge(const std::string &t, size_t at, bool forward)
{
    if (MB_CUR_MAX == 1 || at == 0 || at >= t.size())
        return std::min(at, t.size());
    mbstate_t ps{};
    size_t start = 0;
    while (start < t.size()) {
        size_t k = mbrtowc(nullptr, t.data() + start, t.size() - start, &ps);
        if (k == 0 || k == static_cast<size_t>(-1) || k == static_cast<size_t>(-2)) {
            k = 1;
            ps = mbstate_t{};
        }
        if (start + k > at)
            return start == at || !forward ? start : start + k;
        start += k;
    }
    return t.size();
}

std::string DyLineStore::selection_text() const
{
    DyCell from, to;
    ordered(from, to);
    std::string out;
    for (int64_t l = std::max(from.line, first_); l <= to.line && l < end(); l++) {
        const std::string &t = text(static_cast<int>(l - first_));
        size_t a = l == from.line ? character_edge(t, static_cast<size_t>(from.column), false) : 0;
        if (l == to.line && static_cast<size_t>(to.column) < t.size()) {
            size_t b = character_edge(t, static_cast<size_t>(to.column), true);
            out.append(t, a, std::max(a, b) - a);
            break;
        }
        out.append(t, a, std::string::npos);
        out += '\n';
    }
    return out;
}

DyCell DyLineStore::midpoint(DyCell a, DyCell b) const
{
    int64_t la = a.line - first_, lb = b.line - first_;
    if ((la & 1) == (lb & 1))
        return {(a.column + b.column) / 2, first_ + (la + lb) / 2};
    return {0, first_ + (la + lb) / 2 + 1};
}
