// GIF files through the GIF library: the first image of a file is read;
// images of up to 256 colours are written (further colours take the
// nearest one).
#include "imagelib_msgs.h"
#include "imagelib_private.h"

#ifdef VX_HAVE_GIF
#include <gif_lib.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <string>
#include <cstring>
#include <unordered_map>
#include <vector>

using namespace imagelib;

#ifdef VX_HAVE_GIF

namespace {

int put_bytes(GifFileType *gif, const GifByteType *bytes, int n)
{
    return static_cast<int>(fwrite(bytes, 1, static_cast<size_t>(n), static_cast<FILE *>(gif->UserData)));
}

// Interlaced rows come in four passes: from rows 0, 4, 2 and 1, stepping
// 8, 8, 4 and 2.
const int kPassStart[] = {0, 4, 2, 1};
const int kPassStep[] = {8, 8, 4, 2};

uint32_t key(const unsigned char c[3]) { return (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2]; }

int gif_failed(int code)
{
    set_gif_error(code);
    return IERR_GIF;
}

}  // namespace

int imagelib::write_gif(FILE *stream, IImage *image, int flags)
{
    const size_t n = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    const bool has_transparent = image->transparent.magic != 0;
    const unsigned char tr[3] = {image->transparent.red, image->transparent.green, image->transparent.blue};

    // The first 256 distinct colours (the transparent one among them) make
    // the palette.
    std::vector<uint32_t> colours;
    std::unordered_map<uint32_t, int> index;
    auto add = [&](uint32_t k) {
        if (colours.size() < 256 && index.emplace(k, static_cast<int>(colours.size())).second)
            colours.push_back(k);
    };
    if (has_transparent)
        add(key(tr));
    for (size_t i = 0; i < n && colours.size() < 256; i++) {
        unsigned char c[3];
        pixel_rgb(image, i, c);
        add(key(c));
    }
    auto nearest = [&](uint32_t k) {
        auto it = index.find(k);
        if (it != index.end())
            return it->second;
        int best = 0, best_d = 1 << 30;
        for (size_t j = 0; j < colours.size(); j++) {
            uint32_t p = colours[j];
            int d = abs(int((p >> 16) & 0xff) - int((k >> 16) & 0xff)) + abs(int((p >> 8) & 0xff) - int((k >> 8) & 0xff)) +
                    abs(int(p & 0xff) - int(k & 0xff));
            if (d < best_d)
                best_d = d, best = static_cast<int>(j);
        }
        index.emplace(k, best);
        return best;
    };

    int size = 2, bits = 1;
    while (size < static_cast<int>(colours.size()))
        size *= 2, bits++;
    std::vector<GifColorType> map(static_cast<size_t>(size), GifColorType{0, 0, 0});
    for (size_t j = 0; j < colours.size(); j++)
        map[j] = GifColorType{static_cast<GifByteType>(colours[j] >> 16), static_cast<GifByteType>(colours[j] >> 8),
                              static_cast<GifByteType>(colours[j])};

    int err = 0;
    GifFileType *gif = EGifOpen(stream, put_bytes, &err);
    if (!gif)
        return gif_failed(err);
    ColorMapObject *cmap = GifMakeMapObject(size, map.data());
    std::vector<GifPixelType> row(static_cast<size_t>(image->width) + 1);
    bool ok = cmap != nullptr;
    EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, image->width, image->height, bits, 0, cmap) == GIF_OK;
    if (ok && image->comment)
        ok = EGifPutComment(gif, image->comment) == GIF_OK;
    if (ok && has_transparent) {
        const GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(index[key(tr)])};
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    const bool interlace = flags & IFILE_INTERLACE;
    ok = ok && EGifPutImageDesc(gif, 0, 0, image->width, image->height, interlace, nullptr) == GIF_OK;
    auto put_row = [&](int y) {
        for (int x = 0; x < image->width; x++) {
            unsigned char c[3];
            pixel_rgb(image, static_cast<size_t>(y) * static_cast<size_t>(image->width) + static_cast<size_t>(x), c);
            row[static_cast<size_t>(x)] = static_cast<GifPixelType>(nearest(key(c)));
        }
        return EGifPutLine(gif, row.data(), image->width) == GIF_OK;
    };
    if (interlace) {
        for (int p = 0; ok && p < 4; p++)
            for (int y = kPassStart[p]; ok && y < image->height; y += kPassStep[p])
                ok = put_row(y);
    } else {
        for (int y = 0; ok && y < image->height; y++)
            ok = put_row(y);
    }
    err = gif->Error;
    GifFreeMapObject(cmap);
    int close_err = 0;
    if (EGifCloseFile(gif, &close_err) != GIF_OK && ok) {
        ok = false;
        err = close_err;
    }
    if (ok && (fflush(stream) != 0 || ferror(stream))) {
        ok = false;
        err = E_GIF_ERR_WRITE_FAILED;
    }
    return ok ? 0 : gif_failed(err);
}

namespace {

// The file's bytes, handed to the library from memory.
struct GifInput {
    const std::string &bytes;
    size_t at;
};

int get_memory(GifFileType *gif, GifByteType *bytes, int n)
{
    auto *in = static_cast<GifInput *>(gif->UserData);
    const size_t k = std::min(static_cast<size_t>(std::max(n, 0)), in->bytes.size() - in->at);
    memcpy(bytes, in->bytes.data() + in->at, k);
    in->at += k;
    return static_cast<int>(k);
}

// Whether the screen and every image a GIF file declares fit what its bytes
// can hold (LZW codes of twelve bits stand for at most 4096 pixels), checked
// before the library allocates any of them.  What does not parse is left to
// the library to refuse.
bool gif_sizes_ok(const std::string &d)
{
    constexpr uint64_t ratio = 4096 * 8 / 12 + 1;
    auto u8 = [&](size_t i) { return i < d.size() ? static_cast<unsigned>(static_cast<unsigned char>(d[i])) : 0u; };
    auto le16 = [&](size_t i) { return static_cast<uint64_t>(u8(i) | (u8(i + 1) << 8)); };
    auto skip_blocks = [&](size_t &at) {
        while (at < d.size()) {
            const unsigned n = u8(at++);
            if (n == 0)
                break;
            at += n;
        }
    };
    if (d.size() < 13 || d.compare(0, 3, "GIF") != 0)
        return true;
    if (!declared_size_ok(le16(6), le16(8), d.size(), ratio))
        return false;
    size_t at = 13;
    if (u8(10) & 0x80)
        at += size_t(3) << ((u8(10) & 7) + 1);
    while (at < d.size()) {
        const unsigned kind = u8(at++);
        if (kind == 0x21) {
            at++;
            skip_blocks(at);
        } else if (kind == 0x2C) {
            if (!declared_size_ok(le16(at + 4), le16(at + 6), d.size(), ratio))
                return false;
            const unsigned f = u8(at + 8);
            at += 9;
            if (f & 0x80)
                at += size_t(3) << ((f & 7) + 1);
            at++;
            skip_blocks(at);
        } else {
            break;
        }
    }
    return true;
}

}  // namespace

int imagelib::read_gif(FILE *stream, int flags, IImage **out)
{
    std::string bytes;
    if (!slurp(stream, bytes, size_t(256) << 20))
        return gif_failed(D_GIF_ERR_READ_FAILED);
    if (!gif_sizes_ok(bytes))
        return gif_failed(D_GIF_ERR_NOT_ENOUGH_MEM);
    GifInput input{bytes, 0};
    int err = 0;
    GifFileType *gif = DGifOpen(&input, get_memory, &err);
    if (!gif)
        return gif_failed(err);
    if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
        err = gif->Error ? gif->Error : D_GIF_ERR_NO_IMAG_DSCR;
        DGifCloseFile(gif, nullptr);
        return gif_failed(err);
    }
    const SavedImage &frame = gif->SavedImages[0];
    const ColorMapObject *cmap = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    const int w = frame.ImageDesc.Width, h = frame.ImageDesc.Height;
    IImage *image = (cmap && cmap->ColorCount > 0 && frame.RasterBits) ? ICreateImage(w, h, 0) : nullptr;
    if (!image) {
        DGifCloseFile(gif, nullptr);
        return gif_failed(cmap ? D_GIF_ERR_NOT_ENOUGH_MEM : D_GIF_ERR_NO_COLOR_MAP);
    }
    // The library has already put interlaced rows in order.
    bool warned = false;
    for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h); i++) {
        int v = frame.RasterBits[i];
        if (v >= cmap->ColorCount) {
            if (!warned)
                imagelib_warn(IMG_GIF_INDEX, v);
            warned = true;
            v = cmap->ColorCount - 1;
        }
        image->pixels[3 * i] = cmap->Colors[v].Red;
        image->pixels[3 * i + 1] = cmap->Colors[v].Green;
        image->pixels[3 * i + 2] = cmap->Colors[v].Blue;
    }
    for (int e = 0; e < frame.ExtensionBlockCount; e++) {
        const ExtensionBlock &x = frame.ExtensionBlocks[e];
        if (x.Function == COMMENT_EXT_FUNC_CODE && x.ByteCount > 0) {
            // A comment is the run of its data blocks.
            std::string text(reinterpret_cast<const char *>(x.Bytes), static_cast<size_t>(x.ByteCount));
            for (int more = e + 1; more < frame.ExtensionBlockCount &&
                                   frame.ExtensionBlocks[more].Function == CONTINUE_EXT_FUNC_CODE;
                 more++)
                text.append(reinterpret_cast<const char *>(frame.ExtensionBlocks[more].Bytes),
                            static_cast<size_t>(frame.ExtensionBlocks[more].ByteCount));
            ISetComment(image, text.c_str());
        } else if (x.Function == GRAPHICS_EXT_FUNC_CODE && x.ByteCount >= 4 && (x.Bytes[0] & 1)) {
            int t = std::min<int>(x.Bytes[3], cmap->ColorCount - 1);
            int handle = IAllocColor(cmap->Colors[t].Red, cmap->Colors[t].Green, cmap->Colors[t].Blue);
            ISetTransparent(image, handle);
            IFreeColor(handle);
        }
    }
    DGifCloseFile(gif, nullptr);
    *out = image;
    return 0;
}

#else

int imagelib::write_gif(FILE *, IImage *, int) { return IERR_NO_GIF; }
int imagelib::read_gif(FILE *, int, IImage **) { return IERR_NO_GIF; }

#endif
