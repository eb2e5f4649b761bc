// voz_file_part.cpp - unbuffered transfer of FILE_CONTROL and the parts of
// partitioned files.
//
// A partitioned file is a directory of parts "0000".."ffff".  The byte at
// logical position p lies in part p / partsize at offset p % partsize.  The
// part size is unknown (VOZ_PART_SIZE_UNKNOWN) until the file system
// refuses a write with EFBIG; the length reached in part 0 then becomes
// the part size and the rest goes to the next part.  Only one part
// descriptor is open at a time.
//
// Invariants:
//  1. partsize changes only while the file still has a single part and the
//     data end inside it, so learning it never moves a stored byte.
//  2. A failed read or write leaves logpos where it was; the buffered layer
//     records the error and the caller reports it.  A failed read of a part
//     is never taken for the end of the data.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "files/voz_file_internal.hpp"

namespace vozfile {

namespace {

constexpr int32_t kMaxPart = 65535;

bool partitioned(const FILE_CONTROL* f) { return f->partdir != nullptr; }

// Whether the part size may still be learned from an EFBIG at `length`
// bytes into the current part (invariant 1).
bool canLearnPartSize(const FILE_CONTROL* f, int64_t length) {
    return f->partsize == VOZ_PART_SIZE_UNKNOWN && f->curpart == 0 &&
           length > 0 && f->logsize <= length;
}

// Positions the current part's descriptor at `off` unless it is there.
int seekPart(FILE_CONTROL* f, int64_t off) {
    if (f->partoff == off) return 0;
    if (lseek(f->fd, off, SEEK_SET) < 0) {
        f->partoff = -1;
        return -1;
    }
    f->partoff = off;
    return 0;
}

// Highest offset in [lo, hi] of the current part at which one zero byte can
// be written, plus one (lo when none).  Probes the top first, then bisects:
// EINVAL from lseek or EFBIG from write lowers the bound, a written byte
// raises it.  -1 with errno on any other failure.
int64_t probeZeroes(FILE_CONTROL* f, int64_t lo, int64_t hi) {
    static const char zero = 0;
    int64_t probe = hi;
    while (lo <= hi) {
        bool fits = false;
        if (lseek(f->fd, probe, SEEK_SET) < 0) {
            if (errno != EINVAL) return -1;
        } else {
            ssize_t w = write(f->fd, &zero, 1);
            if (w == 1) {
                fits = true;
            } else if (w < 0 && errno != EFBIG) {
                return -1;
            }
        }
        if (fits) {
            lo = probe + 1;
        } else {
            hi = probe - 1;
        }
        probe = lo + (hi - lo) / 2;
    }
    return lo;
}

// Fills the gap between logsize and a logpos beyond it with zeros, part by
// part.  0 when the gap is closed, -1 with errno otherwise.
int padZero(FILE_CONTROL* f) {
    int64_t gap = f->logpos - f->logsize;
    if (gap <= 0) return 0;
    while (gap > 0) {
        int32_t part = static_cast<int32_t>(f->logsize / f->partsize);
        int64_t off = f->logsize % f->partsize;
        if (partOpen(f, part) != 0) return -1;
        f->partoff = -1;  // probing moves the descriptor
        int64_t end = std::min(off + gap, f->partsize);
        int64_t reached = probeZeroes(f, off, end - 1);
        if (reached < 0) return -1;
        f->logsize += reached - off;
        gap -= reached - off;
        if (gap == 0) break;
        if (reached < f->partsize) {
            // The part is full before the part size: learn it once.
            if (!canLearnPartSize(f, reached)) {
                errno = EFBIG;
                return -1;
            }
            f->partsize = reached;
        }
    }
    return 0;
}

int64_t plainWrite(FILE_CONTROL* f, const void* buf, int64_t n) {
    const char* p = static_cast<const char*>(buf);
    int64_t done = 0;
    while (done < n) {
        ssize_t w = write(f->fd, p + done, static_cast<size_t>(n - done));
        if (w < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (w == 0) {
            errno = ENOSPC;
            break;
        }
        done += w;
    }
    return done == 0 && n > 0 ? -1 : done;
}

}  // namespace

std::string partName(const char* dir, int32_t part) {
    char tail[8];
    snprintf(tail, sizeof tail, "/%04x", static_cast<unsigned>(part));
    return std::string(dir) + tail;
}

int openPart(const std::string& name, int32_t oflags, int32_t perm) {
    int access = oflags & O_ACCMODE;
    int fd = open(name.c_str(), access | O_LARGEFILE | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && access != O_RDONLY) {
        fd = open(name.c_str(), O_RDWR | O_CREAT | O_LARGEFILE | O_CLOEXEC,
                  perm);
    }
    return fd;
}

bool writes(const FILE_CONTROL* f) {
    return (f->oflags & O_ACCMODE) != O_RDONLY;
}

int partOpen(FILE_CONTROL* f, int32_t part) {
    if (part == f->curpart) return 0;
    if (part < 0 || part > kMaxPart) {
        errno = EFBIG;
        return -1;
    }
    int fd = openPart(partName(f->partdir, part), f->oflags, f->perm);
    if (fd < 0) return -1;
    if (f->fd >= 0 && close(f->fd) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }
    f->fd = fd;
    f->curpart = part;
    f->partoff = 0;
    return 0;
}

int64_t rawRead(FILE_CONTROL* f, void* buf, int64_t n) {
    char* p = static_cast<char*>(buf);
    if (!partitioned(f)) {
        for (;;) {
            ssize_t r = read(f->fd, p, static_cast<size_t>(n));
            if (r >= 0 || errno != EINTR) return r;
        }
    }
    if (n > VOZ_POS_MAX - f->logpos) {
        errno = EINVAL;
        return -1;
    }
    int64_t done = 0;
    while (done < n) {
        int64_t q = f->logpos + done;
        if (q >= f->logsize) break;  // end of data
        int64_t off = q % f->partsize;
        if (partOpen(f, static_cast<int32_t>(q / f->partsize)) != 0) return -1;
        int64_t chunk = std::min(n - done, f->partsize - off);
        // A positioned read: one call instead of a seek and a read, and the
        // descriptor's position (partoff) stays where it was.
        ssize_t r = pread(f->fd, p + done, static_cast<size_t>(chunk),
                          static_cast<off_t>(off));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;  // a part that cannot be read is an error
        }
        if (r == 0) break;
        done += r;
    }
    f->logpos += done;
    return done;
}

int64_t rawWrite(FILE_CONTROL* f, const void* buf, int64_t n) {
    if (!partitioned(f)) return plainWrite(f, buf, n);
    const char* p = static_cast<const char*>(buf);
    if (f->oflags & O_APPEND) f->logpos = f->logsize;
    if (n > VOZ_POS_MAX - f->logpos) {
        errno = EFBIG;
        return -1;
    }
    if (f->logpos > f->logsize && padZero(f) != 0) return -1;
    int64_t done = 0;
    while (done < n) {
        int64_t q = f->logpos + done;
        int64_t off = q % f->partsize;
        if (partOpen(f, static_cast<int32_t>(q / f->partsize)) != 0) break;
        if (seekPart(f, off) != 0) break;
        int64_t chunk = std::min(n - done, f->partsize - off);
        ssize_t w = write(f->fd, p + done, static_cast<size_t>(chunk));
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EFBIG && canLearnPartSize(f, f->partoff)) {
                f->partsize = f->partoff;  // the rest goes to the next part
                continue;
            }
            break;
        }
        if (w == 0) {
            errno = ENOSPC;
            break;
        }
        f->partoff += w;
        done += w;
    }
    f->logpos += done;
    if (f->logpos > f->logsize) f->logsize = f->logpos;
    return done == 0 && n > 0 ? -1 : done;
}

int setPos(FILE_CONTROL* f, int64_t pos) {
    if (!partitioned(f)) return lseek(f->fd, pos, SEEK_SET) < 0 ? -1 : 0;
    if (pos < 0 || pos > VOZ_POS_MAX) {
        errno = EINVAL;
        return -1;
    }
    f->logpos = pos;
    return 0;
}

}  // namespace vozfile
