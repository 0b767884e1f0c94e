// Blobs: delivering the interpreter's blobs to files or to the retrieval
// procedure, and sending the program's own blobs for rows it writes.

#include "qysched_int.h"

using namespace qy;

namespace qy {

// ---- blobs -------------------------------------------------------------------

constexpr uint64_t SPEC_TAG = 0x766f7300ULL << 32;  // marks a token of ours

DozBlobWriteSpec *find_write_spec(uint64_t token)
{
    if ((token & 0xffffffff00000000ULL) != SPEC_TAG)
        return nullptr;
    uint64_t i = token & 0xffffffffULL;
    return i >= 1 && i <= lib.write_specs.size() ? lib.write_specs[i - 1] : nullptr;
}

ssize_t read_some(int fd, void *buf, size_t n)
{
    ssize_t r;
    do
        r = read(fd, buf, n);
    while (r < 0 && errno == EINTR);
    return r;
}

bool write_all(int fd, const unsigned char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies `in` to `out`: 0, or the read / write failure code.
int copy_fd(int in, int out, size_t block, int read_fail, int write_fail, int *error)
{
    std::vector<unsigned char> buf(block);
    for (;;) {
        ssize_t n = read_some(in, buf.data(), buf.size());
        if (n == 0)
            return 0;
        if (n < 0) {
            *error = errno;
            return read_fail;
        }
        if (!write_all(out, buf.data(), static_cast<size_t>(n))) {
            *error = errno;
            return write_fail;
        }
    }
}

int open_blob_destination(Connection *c, const std::string &dest)
{
    std::string path = dest;
    if (path.empty()) {
        if (!c->fifo[0])
            report(QY_NO_FIFO);
        path = c->fifo;
    }
    int fd;
    do
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int write_blob(Connection *c, const std::string &dest, uint64_t token, int32_t *error)
{
    lib.in_callback = 0;
    DozBlobWriteSpec *spec = find_write_spec(token);
    if (!spec) {
        report(QY_NULL_WRITE_SPEC);
        return -201;
    }
    if (spec->kind == 0) {
        int fd = open_blob_destination(c, dest);
        if (fd < 0) {
            *error = errno;
            return -197;
        }
        close(fd);
        return 0;
    }
    if (spec->kind == 1) {
        int in = open(spec->path, O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            *error = errno;
            return -201;
        }
        int out = open_blob_destination(c, dest);
        if (out < 0) {
            *error = errno;
            close(in);
            return -197;
        }
        int e = 0;
        int r = copy_fd(in, out, 8192, -204, -202, &e);
        *error = e;
        close(in);
        close(out);
        return r;
    }
    if ((spec->kind == 2 || spec->kind == 3) && spec->proc) {
        int out = open_blob_destination(c, dest);
        if (out < 0) {
            *error = errno;
            return -197;
        }
        spec->proc(spec->kind == 2 ? spec->argument : reinterpret_cast<long>(spec), out);
        close(out);
        return 0;
    }
    return 0;
}

int read_blob(Connection *c, DozReadBlobMsg *m, int len, int32_t *error)
{
    lib.in_callback = 0;
    int text_len = len - 40;
    if (text_len < 0)
        return -197;
    // Both paths must lie inside the message and end there.
    auto text_at = [&](int32_t off, std::string &out) {
        if (off < 0 || off >= text_len)
            return false;
        const char *p = m->text + off;
        size_t n = strnlen(p, static_cast<size_t>(text_len - off));
        if (n == static_cast<size_t>(text_len - off))
            return false;
        out.assign(p, n);
        return true;
    };
    std::string src, dst;
    if (!text_at(m->source_offset, src) || !text_at(m->destination_offset, dst))
        return -197;
    if (src.empty())
        src = c->fifo;
    int in;
    do
        in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    while (in < 0 && errno == EINTR);
    if (in < 0) {
        *error = errno;
        return -197;
    }
    int r = 0;
    if (dst.empty()) {
        if (c->blob_proc)
            c->blob_proc(c->cid, in, m->ident, c->blob_number++);
        else
            r = -200;
    } else {
        int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (out < 0) {
            *error = errno;
            r = -198;
        } else {
            long block = fs_blksize(dst.c_str());
            int e = 0;
            r = copy_fd(in, out, static_cast<size_t>(std::clamp<long>(block, 512, 1 << 20)), -203, -199, &e);
            *error = e;
            close(out);
        }
    }
    close(in);
    return r;
}


}  // namespace qy

void doz_set_blob_write_spec(DozBlobDesc *desc, DozBlobWriteSpec *spec)
{
    if (!desc)
        return;
    if (!spec) {
        // No specification: a zero token, which the interpreter takes as
        // "send no bytes" (an update keeps the stored blob).
        memset(reinterpret_cast<unsigned char *>(desc) + 16, 0, 8);
        return;
    }
    size_t i = 0;
    while (i < lib.write_specs.size() && lib.write_specs[i] != spec)
        i++;
    if (i == lib.write_specs.size())
        lib.write_specs.push_back(spec);
    uint64_t token = SPEC_TAG | static_cast<uint64_t>(i + 1);
    memcpy(reinterpret_cast<unsigned char *>(desc) + 16, &token, 8);
}

void doz_clear_blob_write_specs() { lib.write_specs.clear(); }
