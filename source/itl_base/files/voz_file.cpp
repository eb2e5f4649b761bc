// voz_file.cpp - opening, closing and the buffered transfer of
// FILE_CONTROL.
//
// The buffer is empty (lastop 0), holds read data ('R': bufleft bytes at
// bufptr not yet handed out, physpos just after them) or unwritten data
// ('W': bufptr - bufstart bytes that belong at physpos).  Switching
// direction goes through a repositioning so that the logical position
// (voz_XXtell64) never jumps.  The unbuffered layer is voz_file_part.cpp.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/voz_file.hpp"
#include "files/voz_file_internal.hpp"

using namespace vozfile;

namespace {

constexpr int32_t kPerm = 0660;

// open() flags of a mode; -1 for an unknown mode.
int modeFlags(const char* mode) {
    static const struct {
        const char* mode;
        int flags;
    } kModes[] = {
        {"rb", O_RDONLY},
        {"wb", O_WRONLY | O_CREAT | O_TRUNC},
        {"rb+", O_RDWR},
        {"wb+", O_RDWR | O_CREAT | O_TRUNC},
        {"ab", O_WRONLY | O_APPEND},
    };
    if (mode == nullptr) return -1;
    for (const auto& m : kModes) {
        if (strcmp(mode, m.mode) == 0) return m.flags | O_LARGEFILE;
    }
    return -1;
}

FILE_CONTROL* newRecord(int flags) {
    FILE_CONTROL* f =
        static_cast<FILE_CONTROL*>(calloc(1, sizeof(FILE_CONTROL)));
    if (f == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    f->fd = -1;
    f->bufsize = VOZ_FCTL_BUFSIZE;
    f->bufstart = f->buf;
    f->bufptr = f->buf;
    f->oflags = flags;
    f->perm = kPerm;
    f->partsize = VOZ_PART_SIZE_UNKNOWN;
    f->curpart = -1;
    return f;
}

// Frees a record that failed to open, keeping errno.
FILE_CONTROL* dropRecord(FILE_CONTROL* f) {
    int saved = errno;
    if (f->fd >= 0) close(f->fd);
    free(f->partdir);
    free(f);
    errno = saved;
    return nullptr;
}

// Removes every entry of directory `path` (one level); a path that is not
// a directory is left alone.
void emptyDirectory(const char* path) {
    DIR* d = opendir(path);
    if (d == nullptr) return;
    std::string name;
    while (struct dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) {
            continue;
        }
        name.assign(path).append("/").append(e->d_name);
        remove(name.c_str());
    }
    closedir(d);
}

FILE_CONTROL* openPlain(FILE_CONTROL* f, const char* path) {
    f->fd = open(path, f->oflags | O_CLOEXEC, kPerm);
    if (f->fd < 0) return dropRecord(f);
    struct stat sb;
    if (fstat(f->fd, &sb) != 0) return dropRecord(f);
    if (S_ISDIR(sb.st_mode)) {
        errno = EISDIR;
        return dropRecord(f);
    }
    if (f->oflags & O_APPEND) {
        off_t end = lseek(f->fd, 0, SEEK_END);
        if (end < 0) return dropRecord(f);
        f->physpos = end;
    }
    return f;
}

// Sums the parts "0000", "0001", ... of directory f->partdir (at most
// 65536 of them).
bool scanParts(FILE_CONTROL* f) {
    for (int32_t part = 0; part <= 0xFFFF; ++part) {
        struct stat sb;
        if (stat(partName(f->partdir, part).c_str(), &sb) != 0) {
            return errno == ENOENT;
        }
        if (part == 1) f->partsize = f->logsize;
        f->logsize += sb.st_size;
    }
    return true;
}

FILE_CONTROL* openPartitioned(FILE_CONTROL* f, const char* path,
                              bool created) {
    f->partdir = strdup(path);
    if (f->partdir == nullptr) {
        errno = ENOMEM;
        return dropRecord(f);
    }
    int fd = -1;
    bool ok = scanParts(f);
    if (ok && f->partsize <= 0) {
        errno = EINVAL;  // an empty part 0 beside further parts
        ok = false;
    }
    if (ok) fd = openPart(partName(path, 0), f->oflags, f->perm);
    if (fd < 0) {
        int saved = errno;
        if (created) voz_XXremove(path);
        errno = saved;
        return dropRecord(f);
    }
    f->fd = fd;
    f->curpart = 0;
    f->partoff = 0;
    if (f->oflags & O_APPEND) f->logpos = f->physpos = f->logsize;
    return f;
}

// Opens an existing partitioned file of one part for reading: an open of
// part 0, its fstat and a look for part 1 (three calls), where the general
// way takes a stat of the folder and of each part before the open. Returns
// the record, or null with the record untouched when the general way is to
// decide (the path is no folder with a part 0, the file has more parts, or
// a call failed). *missing is set when part 0 does not exist (ENOENT): then
// the general way could only fail as well, the path being missing or a
// folder without part 0.
FILE_CONTROL* openPartitionedForRead(FILE_CONTROL* f, const char* path,
                                     bool* missing) {
    int fd = open(partName(path, 0).c_str(), f->oflags | O_CLOEXEC);
    *missing = fd < 0 && errno == ENOENT;
    if (fd < 0) return nullptr;
    struct stat sb, next;
    bool one = fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode) &&
               stat(partName(path, 1).c_str(), &next) != 0 && errno == ENOENT;
    if (one && (f->partdir = strdup(path)) != nullptr) {
        f->fd = fd;
        f->logsize = sb.st_size;
        f->curpart = 0;
        f->partoff = 0;
        return f;
    }
    close(fd);  // several parts, or a failure: the general way decides
    return nullptr;
}

// Empties the buffer (nothing written).
void emptyBuffer(FILE_CONTROL* f) {
    f->lastop = 0;
    f->bufptr = f->bufstart;
    f->bufleft = 0;
}

// Moves the physical position past `w` bytes just written.  In append mode
// they went to the end, wherever the position was.
void advanceAfterWrite(FILE_CONTROL* f, int64_t w) {
    if (f->partdir != nullptr) {
        f->physpos = f->logpos;
    } else if (f->oflags & O_APPEND) {
        f->physpos = lseek(f->fd, 0, SEEK_CUR);
    } else {
        f->physpos += w;
    }
}

// Writes out unwritten data.  0, or -1 with the sticky error set.
int flushWritten(FILE_CONTROL* f) {
    if (f->lastop == 'W' && f->bufptr > f->bufstart) {
        int64_t n = f->bufptr - f->bufstart;
        errno = 0;
        int64_t w = rawWrite(f, f->bufstart, n);
        if (w < n) {
            f->error = errno != 0 ? errno : VOZ_FCTL_ERR_SHORT_WRITE;
            if (w > 0) advanceAfterWrite(f, w);  // keep positions in step
            return -1;
        }
        advanceAfterWrite(f, w);
    }
    emptyBuffer(f);
    return 0;
}

// Gives up read data still in the buffer, moving the raw position back to
// the logical position.  0, or -1 with the sticky error set.
int dropReadData(FILE_CONTROL* f) {
    if (f->lastop == 'R' && f->bufleft > 0) {
        int64_t pos = f->physpos - f->bufleft;
        if (setPos(f, pos) != 0) {
            f->error = errno;
            return -1;
        }
        f->physpos = pos;
    }
    emptyBuffer(f);
    return 0;
}

// Fills the buffer with one raw read.  Bytes read, 0 at the end, -1 error.
int64_t fillBuffer(FILE_CONTROL* f) {
    int64_t n = rawRead(f, f->bufstart, f->bufsize);
    if (n <= 0) return n;
    f->physpos += n;
    f->bufptr = f->bufstart;
    f->bufleft = static_cast<int32_t>(n);
    f->lastop = 'R';
    return n;
}

// Bytes of a transfer of `count` items of `size`; 0 when there is nothing
// to do or the sticky error is set (an oversized request sets it).
int64_t requestBytes(FILE_CONTROL* f, size_t size, size_t count) {
    if (size == 0 || count == 0 || f->error != 0) return 0;
    if (count > static_cast<size_t>(VOZ_POS_MAX) / size) {
        f->error = EINVAL;
        return 0;
    }
    return static_cast<int64_t>(size * count);
}

}  // namespace

FILE_CONTROL* voz_XXopenEx(const char* path, const char* mode,
                           int partition) {
    int flags = modeFlags(mode);
    if (flags < 0 || path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    FILE_CONTROL* f = newRecord(flags);
    if (f == nullptr) return nullptr;
    if (partition == 0) return openPlain(f, path);

    bool created = false;
    if (flags & O_TRUNC) emptyDirectory(path);
    if (flags & O_CREAT) {
        struct stat before;
        created = stat(path, &before) != 0;
        mkTreeDir(path);
    }
    if (flags == (O_RDONLY | O_LARGEFILE)) {
        bool missing = false;
        if (openPartitionedForRead(f, path, &missing) != nullptr) return f;
        if (missing) return dropRecord(f);  // errno is ENOENT
    }
    struct stat sb;
    if (stat(path, &sb) != 0) return dropRecord(f);
    if (!S_ISDIR(sb.st_mode)) return openPlain(f, path);
    return openPartitioned(f, path, created);
}

FILE_CONTROL* voz_XXopen(const char* path, const char* mode) {
    return voz_XXopenEx(path, mode, 1);
}

FILE_CONTROL* voz_XXopenFileWithMode(const char* path, const char* mode) {
    return voz_XXopenEx(path, mode, 1);
}

FILE_CONTROL* voz_XXcreateExclusive(const char* path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    if (mkdir(path, 0770) != 0) return nullptr;  // EEXIST: name is taken
    // The directory is ours now; on any failure below it is removed again.
    FILE_CONTROL* f = newRecord(modeFlags("wb+"));
    if (f != nullptr) {
        f->partdir = strdup(path);
        if (f->partdir == nullptr) errno = ENOMEM;
    }
    if (f != nullptr && f->partdir != nullptr) {
        f->fd = open(partName(path, 0).c_str(),
                     O_RDWR | O_CREAT | O_EXCL | O_LARGEFILE | O_CLOEXEC,
                     kPerm);
        if (f->fd >= 0) {
            f->curpart = 0;
            return f;
        }
    }
    int saved = errno;
    if (f != nullptr) dropRecord(f);
    voz_XXremove(path);
    errno = saved;
    return nullptr;
}

size_t voz_XXread(void* buffer, size_t size, size_t count, FILE_CONTROL* f) {
    int64_t total = requestBytes(f, size, count);
    if (total == 0) return 0;
    if (f->lastop == 'W' && flushWritten(f) != 0) return 0;
    char* out = static_cast<char*>(buffer);
    int64_t copied = 0;
    while (copied < total) {
        if (f->bufleft > 0) {
            if (f->lastop != 'R') {
                f->error = VOZ_FCTL_ERR_MIXED;
                return 0;
            }
            int64_t take = std::min<int64_t>(f->bufleft, total - copied);
            memcpy(out + copied, f->bufptr, static_cast<size_t>(take));
            f->bufptr += take;
            f->bufleft -= static_cast<int32_t>(take);
            copied += take;
            continue;
        }
        int64_t want = total - copied;
        int64_t n;
        if (want < f->bufsize) {
            n = fillBuffer(f);
        } else {
            n = rawRead(f, out + copied, want);
            if (n > 0) {
                f->physpos += n;
                copied += n;
                emptyBuffer(f);
            }
        }
        if (n < 0) {
            f->error = errno;
            break;
        }
        if (n == 0) {
            f->eof = 1;
            break;
        }
    }
    return static_cast<size_t>(copied) / size;
}

size_t voz_XXwrite(const void* buffer, size_t size, size_t count,
                   FILE_CONTROL* f) {
    int64_t total = requestBytes(f, size, count);
    if (total == 0) return 0;
    if (f->lastop == 'R' && dropReadData(f) != 0) return 0;
    const char* in = static_cast<const char*>(buffer);
    int64_t taken = 0;
    while (taken < total) {
        int64_t room = f->bufsize - (f->bufptr - f->bufstart);
        if (room > 0) {
            int64_t c = std::min(room, total - taken);
            memcpy(f->bufptr, in + taken, static_cast<size_t>(c));
            f->bufptr += c;
            f->lastop = 'W';
            taken += c;
            continue;
        }
        if (flushWritten(f) != 0) break;
        int64_t rest = total - taken;
        if (rest < f->bufsize) continue;  // copied into the emptied buffer
        errno = 0;
        int64_t w = rawWrite(f, in + taken, rest);
        if (w > 0) {
            advanceAfterWrite(f, w);
            taken += w;
        }
        if (w < 0) {
            f->error = errno;
        } else if (w < rest) {
            f->error = VOZ_FCTL_ERR_SHORT_WRITE;
        }
        break;
    }
    return static_cast<size_t>(taken) / size;
}

int voz_XXflush(FILE_CONTROL* f) {
    if (f->error != 0) return -1;
    if (f->lastop == 'W') {
        if (flushWritten(f) != 0) return -1;
    } else if (dropReadData(f) != 0) {
        return -1;
    }
    f->eof = 0;
    return 0;
}

int voz_XXseek64(FILE_CONTROL* f, int64_t offset, int whence) {
    if (f->error != 0) return -1;
    if (f->lastop == 'W' && flushWritten(f) != 0) return -1;
    int64_t target;
    if (whence == 2) {
        emptyBuffer(f);
        if (f->partdir == nullptr) {
            off_t r = lseek(f->fd, offset, SEEK_END);
            if (r < 0) {
                f->error = errno;
                return -1;
            }
            f->physpos = r;
        } else {
            target = f->logsize + offset;
            if ((offset < 0 && target < 0) ||
                (offset > 0 && offset > VOZ_POS_MAX - f->logsize)) {
                f->error = EINVAL;
                return -1;
            }
            f->logpos = f->physpos = target;
        }
        f->eof = 0;
        return 0;
    }
    if (whence != 0 && whence != 1) {
        f->error = EINVAL;
        return -1;
    }
    int64_t cur = voz_XXtell64(f);
    if (whence == 1 && offset > 0 && cur > INT64_MAX - offset) {
        f->error = EINVAL;  // the target is not representable
        return -1;
    }
    target = whence == 1 ? cur + offset : offset;
    if (f->lastop == 'R' && target >= cur && target <= f->physpos) {
        f->bufptr += target - cur;  // still among the unread bytes
        f->bufleft -= static_cast<int32_t>(target - cur);
        f->eof = 0;
        return 0;
    }
    // A file opened for reading only may also go back among the bytes the
    // buffer still holds (a header read twice costs no second read).
    int64_t held = f->bufptr - f->bufstart;
    if (f->lastop == 'R' && (f->oflags & O_ACCMODE) == O_RDONLY &&
        target < cur && target >= cur - held) {
        f->bufptr -= cur - target;
        f->bufleft += static_cast<int32_t>(cur - target);
        f->eof = 0;
        return 0;
    }
    emptyBuffer(f);
    if (target != f->physpos) {
        if (setPos(f, target) != 0) {
            f->error = errno;
            return -1;
        }
        f->physpos = target;
    }
    f->eof = 0;
    return 0;
}

int64_t voz_XXtell64(FILE_CONTROL* f) {
    if (f->error != 0) return -1;
    if (f->lastop == 'R') return f->physpos - f->bufleft;
    return f->physpos + (f->bufptr - f->bufstart);
}

int voz_XXeof(FILE_CONTROL* f) {
    // Nothing buffered may be left: the logical position is the physical.
    bool drained = f->lastop == 'R' ? f->bufleft == 0 : f->bufptr == f->bufstart;
    return f->eof && drained ? 1 : 0;
}

void voz_XXclearerror(FILE_CONTROL* f) { f->error = 0; }

void voz_ResetBuf(FILE_CONTROL* f) {
    emptyBuffer(f);
    f->eof = 0;
}

void voz_XXsetvbuf(FILE_CONTROL* f, char* buffer, int mode, size_t size) {
    (void)mode;
    if (buffer == nullptr || size == 0) return;
    if (f->lastop == 'W') {
        flushWritten(f);
    } else {
        dropReadData(f);
    }
    f->bufstart = buffer;
    f->bufsize = static_cast<int32_t>(
        std::min<size_t>(size, static_cast<size_t>(INT32_MAX)));
    emptyBuffer(f);
}

int voz_XXclose(FILE_CONTROL* f) {
    if (f == nullptr) return 0;
    int rc = 0;
    int saved = 0;
    if (voz_XXflush(f) != 0) {
        rc = -1;
        saved = f->error > 0 ? f->error : EIO;
    }
    if (f->fd >= 0 && close(f->fd) != 0 && rc == 0) {
        rc = -1;
        saved = errno;
    }
    free(f->partdir);
    free(f);
    if (rc != 0) errno = saved;
    return rc;
}
