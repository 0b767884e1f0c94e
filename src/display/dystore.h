// The table view's line store and selection, free of X.
//
// The store is a ring of `capacity` lines, each held as its text and its
// pixel width in the table font.  Every line added gets the next sequence
// number; the oldest line held is `first()`, and a line's index in the
// store (what the view and its scroll bar count in) is its number minus
// `first()`.  When the store is full, adding a line drops the oldest.
//
// Selection coordinates are (column, line number); they compare by line,
// then column.  A selection end on a dropped line abandons the selection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DyCell {
    int column = 0;
    int64_t line = 0;  // sequence number
    auto operator<=>(const DyCell &) const = default;
};

class DyLineStore {
public:
    // A capacity below 1 counts as 1.
    explicit DyLineStore(int capacity = 100);

    int capacity() const { return capacity_; }
    int count() const { return count_; }
    int64_t first() const { return first_; }
    int64_t end() const { return first_ + count_; }
    // The line by its index (0 the oldest held); empty out of range.
    const std::string &text(int index) const;
    int32_t width(int index) const;
    int widest() const { return widest_; }

    // Adds a line; returns true when the oldest was dropped to make room.
    bool add(std::string_view text, int32_t pixel_width);
    void clear();

    // ---- the view over the store ----------------------------------------------
    int top() const { return top_; }  // index of the first visible line
    int column_offset() const { return column_offset_; }
    int rows() const { return rows_; }
    int columns() const { return columns_; }
    // Visible rows and columns of a canvas in a font.
    void set_window(int width, int height, int line_height, int char_width);
    // Sets top, kept within 0 .. max(0, count - rows); returns the change.
    int set_top(int top);
    int set_column_offset(int offset);
    // Top and column offset pulled back so that the last line and the
    // widest column stay reachable (never below 0).
    void pull_back();
    // The top that shows the newest line at the bottom.
    int tail_top() const { return count_ > rows_ ? count_ - rows_ : 0; }

    // A point of the canvas to a cell: the line clamped to the lines held,
    // the column to that line's length.
    DyCell cell_at(int x, int y, int line_height, int char_width) const;

    // ---- selection --------------------------------------------------------------
    enum SelState { NONE, PENDING, SELECTING, EXISTING };
    struct Selection {
        bool owns_primary = false;
        bool exists = false;
        bool selecting = false;
        bool start_pending = false;
        DyCell anchor, end, press;
        int direction = 0;
    };
    Selection &selection() { return sel_; }
    const Selection &selection() const { return sel_; }
    // True when the selection lost a line (it is then dropped); checked by
    // the caller after add().
    bool selection_lost_line() const;
    void drop_selection();
    // Ordered ends of the selection (start <= end).
    void ordered(DyCell &from, DyCell &to) const;
    // The selected text: the first line from its start column, the others
    // from column 0, each ended by a newline; the last cut at the end
    // column (no newline then) or whole.
    std::string selection_text() const;
    // The midpoint of two cells as the adjust action takes it.
    DyCell midpoint(DyCell a, DyCell b) const;

private:
    int slot(int index) const { return static_cast<int>((head_ + index) % capacity_); }
    int capacity_;
    std::vector<std::string> lines_;
    std::vector<int32_t> widths_;
    int head_ = 0;
    int count_ = 0;
    int64_t first_ = 0;
    int widest_ = 0;
    int top_ = 0;
    int column_offset_ = 0;
    int rows_ = 1;
    int columns_ = 1;
    Selection sel_;
};
