// The output channel: files and spool commands.

#include "ghout.h"
#include "vxproc.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE *GHOpenOutputPipe(const char *command) { return fopen_pipe("/bin/sh", "sh", command, 1); }

int GHCloseOutputPipe(FILE *stream) { return fclose_pipe(stream); }

}  // namespace

FILE *ghout_GHOpenOutput(const char *name, unsigned char kind)
{
    if (!name)
        return nullptr;
    if (kind == GHOUT_SPOOL)
        return GHOpenOutputPipe(name);
    // Only a leading "~" is expanded, and only to $HOME: "~/plot.ps" is
    // plot.ps in the home directory; "~user" forms are not understood.
    std::string path = name;
    const char *home = getenv("HOME");
    if (name[0] == '~' && home)
        path = std::string(home) + (name + 1);
    return fopen(path.c_str(), "w");
}

int ghout_GHCloseOutput(FILE *stream, unsigned char kind)
{
    if (!stream)
        return 0;
    // What the stream still buffers is written now: its failure counts.
    bool failed = fflush(stream) != 0 || ferror(stream);
    if (kind == GHOUT_SPOOL)
        return GHCloseOutputPipe(stream) != 0 || failed ? -1 : 0;
    return fclose(stream) != 0 || failed ? -1 : 0;
}

int ghout_GHWriteOutput(FILE *stream, const void *bytes, size_t count)
{
    if (!stream || !bytes || count == 0)
        return -1;
    return fwrite(bytes, count, 1, stream) == 1 ? 0 : -1;
}

int ghout_GHWriteStringOutput(FILE *stream, const char *text)
{
    return ghout_GHWriteOutput(stream, text, text ? strlen(text) : 0);
}

int ghout_GHNl(FILE *stream) { return ghout_GHWriteOutput(stream, "\n", 1); }

int ghout_GHWriteIncludedFile(FILE *stream, const char *path)
{
    if (!stream || !path)
        return -1;
    FILE *in = fopen(path, "r");
    if (!in)
        return -1;
    char block[4096];
    int result = 0;
    size_t n;
    while ((n = fread(block, 1, sizeof block, in)) > 0)
        if (fwrite(block, 1, n, stream) != n) {
            result = -1;
            break;
        }
    if (ferror(in))
        result = -1;
    fclose(in);
    return result;
}

const char *gencode_GByteToHex(unsigned char byte)
{
    static char text[3];
    static const char digits[] = "0123456789abcdef";
    text[0] = digits[byte >> 4];
    text[1] = digits[byte & 0xF];
    text[2] = '\0';
    return text;
}
