// The output channel of the file drivers: a stream on a file or on a pipe
// into a spool command, written in bytes, texts, newlines and included
// files, and closed with the kind it was opened with.  Beside it the hex
// encoder of PostScript image data and the window snapshot.
#pragma once

#include <cstddef>
#include <cstdio>

// Output kinds: 1 a spool command run through /bin/sh; any other a file.
enum : unsigned char { GHOUT_FILE = 0, GHOUT_SPOOL = 1 };

// Kind 1: `name` is a command line whose standard input the stream writes.
// Otherwise `name` is a path (a leading "~" stands for $HOME when it is
// set), created or truncated.  Null on failure; nothing is registered.
FILE *ghout_GHOpenOutput(const char *name, unsigned char kind);
// 0, or -1 when a write or the close failed or the spool command ended
// with a non-zero status or a signal.  No stream: 0.
int ghout_GHCloseOutput(FILE *stream, unsigned char kind);
// -1 when there is no stream or the bytes were not all written (a count
// of 0 is -1 too), else 0.
int ghout_GHWriteOutput(FILE *stream, const void *bytes, size_t count);
int ghout_GHWriteStringOutput(FILE *stream, const char *text);
int ghout_GHNl(FILE *stream);
// Copies the file whole into the stream: -1 when it cannot be opened or
// the copy is short.
int ghout_GHWriteIncludedFile(FILE *stream, const char *path);

// Two lower-case hex digits, high nibble first, in a static text that the
// next call overwrites.
const char *gencode_GByteToHex(unsigned char byte);

// Runs the capture command "xwcp -title T -display D -id 0x<window>" (found
// on PATH, no shell): 0, or -1 when it cannot be run or ends with a
// non-zero status.
int ghsnap_GTakeHappySnap(const char *display_name, unsigned long window, const char *title);
