// Fuzz target: the image-file readers.  The first byte picks the format
// (PNG, PPM, PGM, XPM, BMP or GIF), the rest is the file.  Whatever the
// bytes, a reader gives an image or its error, never a crash, a hang, a leak
// or an allocation larger than the file can justify.

#include "imagelib.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int formats[] = {IFORMAT_PNG, IFORMAT_PPM, IFORMAT_PGM, IFORMAT_XPM, IFORMAT_BMP, IFORMAT_GIF};
    if (size == 0)
        return 0;
    const int format = formats[data[0] % (sizeof formats / sizeof formats[0])];
    FILE *f = tmpfile();
    if (!f)
        abort();
    fwrite(data + 1, 1, size - 1, f);
    rewind(f);
    IImage *image = nullptr;
    if (IReadImageFile(f, format, 0, &image) == 0)
        IFreeImage(image);
    fclose(f);
    return 0;
}
