// The PCL device: the X11 driver draws into a pixmap at 75 dots per inch,
// and at close the pixmap is read back and written as PCL raster through
// the output channel: one bit per pixel in monochrome, run-length coded
// planes of palette indices in colour.

#include "gx11.h"
#include "ghout.h"
#include "x11_msgs.h"
#include "vxutil.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

// The output the error handler stops when the monochrome read fails.
struct Stop {
    FILE *out = nullptr;
    unsigned char kind = 0;
    bool stopped = false;
    XErrorHandler previous = nullptr;
};
Stop stop;

int on_error(Display *d, XErrorEvent *e)
{
    if (e->error_code == BadMatch) {
        ghout_GHCloseOutput(stop.out, stop.kind);
        stop.out = nullptr;
        gx_report(GX_PCL_FAILED);
        stop.stopped = true;
        return 0;
    }
    return stop.previous ? stop.previous(d, e) : 0;
}

void put(FILE *out, const std::string &s) { ghout_GHWriteOutput(out, s.data(), s.size()); }

std::string esc(const char *format, long a)
{
    char buf[64];
    snprintf(buf, sizeof buf, format, a);
    return std::string("\033") + buf;
}

std::string esc(const char *format, long a, long b)
{
    char buf[64];
    snprintf(buf, sizeof buf, format, a, b);
    return std::string("\033") + buf;
}

// The pixels of one raster row: a pixmap row, or (rotated) a pixmap column
// from the right read top to bottom.
template <class F>
void raster_row(XImage *img, bool rotated, long row, long length, F &&each)
{
    for (long i = 0; i < length; i++) {
        unsigned long px = rotated ? XGetPixel(img, static_cast<int>(img->width - 1 - row), static_cast<int>(i))
                                   : XGetPixel(img, static_cast<int>(i), static_cast<int>(row));
        each(i, px);
    }
}

int write_monochrome(GDeviceRecord *device, FILE *out, unsigned char kind, bool rotated)
{
    Display *d = gx_display(device);
    long w = device->modes.dcxdim, h = device->modes.dcydim;
    put(out, "\033*r1A");
    stop = Stop{out, kind, false, nullptr};
    XSync(d, False);
    stop.previous = XSetErrorHandler(on_error);
    XImage *img = XGetImage(d, gx_drawable(device), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 1,
                            XYPixmap);
    XSync(d, False);
    XSetErrorHandler(stop.previous);
    if (stop.stopped || !img) {
        if (img)
            XDestroyImage(img);
        return -1;
    }
    long rows = rotated ? w : h, length = rotated ? h : w;
    long bytes = (length + 7) / 8;
    std::vector<unsigned char> row(static_cast<size_t>(bytes));
    for (long r = 0; r < rows; r++) {
        std::fill(row.begin(), row.end(), 0);
        raster_row(img, rotated, r, length, [&](long i, unsigned long px) {
            if (px & 1)
                row[static_cast<size_t>(i / 8)] |= static_cast<unsigned char>(0x80 >> (i % 8));
        });
        put(out, esc("*b%ldW", bytes));
        ghout_GHWriteOutput(out, row.data(), row.size());
    }
    XDestroyImage(img);
    return 0;
}

// Run-length pairs (repeat - 1, byte) of a row of bytes.
void run_length(const std::vector<unsigned char> &in, std::vector<unsigned char> &out)
{
    out.clear();
    for (size_t i = 0; i < in.size();) {
        size_t n = 1;
        while (i + n < in.size() && in[i + n] == in[i] && n < 256)
            n++;
        out.push_back(static_cast<unsigned char>(n - 1));
        out.push_back(in[i]);
        i += n;
    }
}

int write_colour(GDeviceRecord *device, FILE *out, bool rotated, int planes)
{
    Display *d = gx_display(device);
    long w = device->modes.dcxdim, h = device->modes.dcydim;
    long size = 1L << planes;
    // Palette entries: colours 0 and 1 of the device, the rest from the
    // colour map used for drawing (evenly spaced) or the device's table.
    GList *table = device->tables[GT_COLOURS];
    long used = gcolmap_GColourMapWasUsed();
    GColourMap *map = used >= 0 ? gcolmap_GGetColourMap(device->tables[GT_COLOURMAPS], used) : nullptr;
    long map_count = map ? GGetNumColoursIn(map->colours) : 0;
    // Keyed by the whole pixel value: a pixel not listed takes the entry of
    // the next higher one listed.
    std::map<unsigned long, long> entry_of;
    for (long e = 0; e < size; e++) {
        const GColour *c = nullptr;
        if (e < 2 || !map || map_count == 0)
            c = gcolour_GGetColour(table, e);
        else
            c = gcolour_GGetColour(map->colours, e * map_count / size);
        if (!c || c->pixel < 0)
            continue;
        entry_of[static_cast<unsigned long>(c->pixel)] = e;
        put(out, esc("*v%ldA", static_cast<long>(c->red * 86 / 65576.0 + 4.5)));
        put(out, esc("*v%ldB", static_cast<long>(c->green * 84 / 65576.0 + 4.5)));
        put(out, esc("*v%ldC", static_cast<long>(c->blue * 79 / 65576.0 + 6.5)));
        put(out, esc("*v%ldI", e));
    }
    if (map)
        for (long i = 2; i < GGetNumColoursIn(table); i++)
            if (const GColour *c = gcolour_GGetColour(table, i); c && c->pixel >= 0)
                entry_of.emplace(static_cast<unsigned long>(c->pixel), 1);
    XImage *img = XGetImage(d, gx_drawable(device), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (!img)
        return -1;
    put(out, "\033*r1A\033*b1M");
    long rows = rotated ? w : h, length = rotated ? h : w;
    long bytes = (length + 7) / 8;
    std::vector<long> index(static_cast<size_t>(length));
    std::vector<unsigned char> bits(static_cast<size_t>(bytes)), coded;
    unsigned long last_px = ~0UL;
    long last_entry = 0;
    for (long r = 0; r < rows; r++) {
        raster_row(img, rotated, r, length, [&](long i, unsigned long px) {
            if (px != last_px) {
                auto it = entry_of.lower_bound(px);
                last_entry = it == entry_of.end() ? 0 : it->second;
                last_px = px;
            }
            index[static_cast<size_t>(i)] = last_entry;
        });
        for (int m = 0; m < planes; m++) {
            std::fill(bits.begin(), bits.end(), 0);
            for (long i = 0; i < length; i++)
                if (index[static_cast<size_t>(i)] >> m & 1)
                    bits[static_cast<size_t>(i / 8)] |= static_cast<unsigned char>(0x80 >> (i % 8));
            run_length(bits, coded);
            put(out, esc("*b%ldV", static_cast<long>(coded.size())));
            ghout_GHWriteOutput(out, coded.data(), coded.size());
        }
        put(out, "\033*b0W");
    }
    XDestroyImage(img);
    return 0;
}

}  // namespace

int gxpcl_GXSetupPCL(GDeviceRecord *device)
{
    GDeviceModes &m = device->modes;
    GXDevicePart *part = gx_device(device);
    m.iswindow = 0;
    if (m.clr_planes == 1)
        m.bitdepth = 1;
    else if (m.bitdepth == 1)
        m.bitdepth = 8;  // any depth but 1: the screen's
    bool wide = m.ucxdim >= m.ucydim;
    bool rotated = (wide && !m.landscape) || (!wide && m.landscape);
    part->landscape = rotated;
    if (m.fillpage) {
        double px = rotated ? m.ucydim : m.ucxdim, py = rotated ? m.ucxdim : m.ucydim;
        double s = std::min(m.dcxdim > 0 ? px / m.dcxdim : 1.0, m.dcydim > 0 ? py / m.dcydim : 1.0);
        m.dcxdim = static_cast<int64_t>(m.dcxdim * s);
        m.dcydim = static_cast<int64_t>(m.dcydim * s);
        m.dcxpos = m.dcypos = 0;
    } else if (rotated) {
        std::swap(m.dcxdim, m.dcydim);
        m.dcypos = m.ucydim - (m.dcypos + m.dcxdim);
    } else {
        m.dcypos = m.ucydim - (m.dcypos + m.dcydim);
    }
    return 0;
}

int gxpcl_GXWritePCLOutput(GDeviceRecord *device)
{
    GDeviceModes &m = device->modes;
    GXDevicePart *part = gx_device(device);
    unsigned char kind = m.output == 1 ? GHOUT_SPOOL : GHOUT_FILE;
    const char *name = m.output == 1 ? m.spoolcmd : m.filename;
    FILE *out = ghout_GHOpenOutput(name, kind);
    if (!out) {
        gerror_GRegisterError(4, 8, 0, name);
        return -1;
    }
    part->output = out;
    part->output_kind = kind;
    int planes = m.clr_planes;
    bool rotated = part->landscape != 0;
    put(out, "\033E\033&l1E");
    put(out, esc("&a%ldh%ldV", static_cast<long>(m.dcxpos * 720 / 75), static_cast<long>(m.dcypos * 720 / 75)));
    put(out, rotated ? esc("*r%lds%ldT", static_cast<long>(m.dcydim), static_cast<long>(m.dcxdim))
                     : esc("*r%lds%ldT", static_cast<long>(m.dcxdim), static_cast<long>(m.dcydim)));
    put(out, esc("*t%ldR", 75L));
    put(out, "\033*r3F");
    if (planes > 1)
        put(out, esc("*r%ldU", static_cast<long>(planes)));
    int r = planes > 1 ? write_colour(device, out, rotated, std::min(planes, 8))
                       : write_monochrome(device, out, kind, rotated);
    part->output = nullptr;
    if (stop.stopped) {
        stop = Stop{};
        return -1;  // the handler closed the output
    }
    if (r != 0) {
        ghout_GHCloseOutput(out, kind);
        return -1;
    }
    put(out, "\033*rB\033E");
    return ghout_GHCloseOutput(out, kind);
}
