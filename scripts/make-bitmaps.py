#!/usr/bin/env python3
"""Writes the workspace's tool, target and drag-cursor bitmaps (XBM) into
data/bitmaps.  Run it again after changing a glyph; the files are kept in
the tree."""
import os
import sys

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'C': ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    'D': ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    'G': ["01111", "10000", "10000", "10011", "10001", "10001", "01111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    'K': ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    'J': ["00111", "00010", "00010", "00010", "00010", "10010", "01100"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'W': ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    'X': ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
}

def write_xbm(path, name, rows, hot=None):
    h = len(rows)
    w = len(rows[0])
    data = []
    for row in rows:
        for x0 in range(0, w, 8):
            b = 0
            for i in range(8):
                if x0 + i < w and row[x0 + i] == '1':
                    b |= 1 << i
            data.append(b)
    with open(path, 'w') as f:
        f.write(f"#define {name}_width {w}\n#define {name}_height {h}\n")
        if hot:
            f.write(f"#define {name}_x_hot {hot[0]}\n#define {name}_y_hot {hot[1]}\n")
        f.write(f"static unsigned char {name}_bits[] = {{\n")
        f.write(",\n".join("   " + ", ".join(f"0x{b:02x}" for b in data[i:i + 12]) for i in range(0, len(data), 12)))
        f.write("};\n")

def label_icon(text, w=40, h=28, scale=2):
    grid = [[0] * w for _ in range(h)]
    for x in range(w):
        grid[0][x] = grid[h - 1][x] = 1
    for y in range(h):
        grid[y][0] = grid[y][w - 1] = 1
    tw = len(text) * 5 * scale + (len(text) - 1) * scale
    x0 = (w - tw) // 2
    y0 = (h - 7 * scale) // 2
    for n, ch in enumerate(text):
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == '1':
                    for dy in range(scale):
                        for dx in range(scale):
                            grid[y0 + gy * scale + dy][x0 + n * 6 * scale + gx * scale + dx] = 1
    return ["".join("1" if v else "0" for v in row) for row in grid]

TOOLS = {
    'expression.tool': 'EXP', 'statistics.tool': 'STA', 'sort.tool': 'SRT', 'join.tool': 'JN',
    'transfer.tool': 'XFR', 'condition.tool': 'WHR', 'variable.tool': 'VAR', 'group.tool': 'GRP',
    'edit.tool': 'ROW', 'table.tool': 'TAB', 'user.tool': 'USR', 'index.tool': 'IDX',
    'column.tool': 'COL', 'privilege.tool': 'PRV',
    'term.target': 'TRM', 'graph.target': 'GRF', 'table.target': 'TBL', 'pipe.target': 'PIP',
}

def drag_cursor():
    # An arrow with a small box at its tail; the hot spot is the arrow's tip.
    shape = [[0] * 16 for _ in range(16)]
    for i in range(9):
        for j in range(i + 1):
            if j == 0 or j == i or i == 8:
                shape[i][j] = 1
    for y in range(9, 15):
        for x in range(6, 15):
            if y in (9, 14) or x in (6, 14):
                shape[y][x] = 1
    mask = [[0] * 16 for _ in range(16)]
    for y in range(16):
        for x in range(16):
            if any(shape[yy][xx] for yy in range(max(0, y - 1), min(16, y + 2)) for xx in range(max(0, x - 1), min(16, x + 2))):
                mask[y][x] = 1
    rows = lambda g: ["".join("1" if v else "0" for v in r) for r in g]
    return rows(shape), rows(mask)

def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'data', 'bitmaps')
    os.makedirs(out, exist_ok=True)
    for file, text in TOOLS.items():
        write_xbm(os.path.join(out, file), file.replace('.', '_'), label_icon(text))
    shape, mask = drag_cursor()
    write_xbm(os.path.join(out, 'drag.cursor'), 'drag', shape, hot=(1, 1))
    write_xbm(os.path.join(out, 'dragm.cursor'), 'dragm', mask, hot=(1, 1))

main()
