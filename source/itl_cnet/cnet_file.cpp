// cnet_file.cpp -- the dictionary's file layer: open and close a file set,
// seek-read and seek-write, sizes, and the whole-set copy, rename, delete
// and existence check.
//
// Every write, fsync, rename and delete first asks the test hook
// (cnetFileOpRefused), which may refuse it with an errno.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cnet_file.hpp"

namespace {

// A rename refused with EBUSY is tried again this many times, this many
// seconds apart.
constexpr int kRenameTries = 720;
constexpr unsigned kRenameSleep = 5;

// fsync of a file by name (for files that are closed).
bool syncFile(const char* path) {
    if (cnetFileOpRefused("fsync", path) != 0) return false;
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

// fsync of the directory holding `path`.
bool syncDirectoryOf(const char* path) {
    char dir[CNET_PATH_MAX];
    std::snprintf(dir, sizeof dir, "%s", path);
    char* slash = std::strrchr(dir, '/');
    if (slash == nullptr)
        std::strcpy(dir, ".");
    else if (slash == dir)
        dir[1] = '\0';
    else
        *slash = '\0';
    if (cnetFileOpRefused("fsync", dir) != 0) return false;
    int fd = open(dir, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

}  // namespace

bool cnetSetCNETCTL(CNETCTL* ctl, const char* dirspec, const char* name,
                    int set, CNETSTATUS* st) {
    std::memset(ctl, 0, sizeof *ctl);
    if (!cnetSplitDirs(dirspec, name, &ctl->dirs, st)) return false;
    if (set < 0 || set > 3) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 110);
        return false;
    }
    std::strcpy(ctl->dictName, name);
    ctl->set = set;
    for (int i = 0; i < 4; ++i)
        cnetFileName(ctl->f[i].name, &ctl->dirs, name, cnet_ext[set][i]);
    return true;
}

void cnetFreeCNETCTL(CNETCTL* ctl) {
    for (CNETFILE& f : ctl->f) {
        if (f.fp != nullptr) std::fclose(f.fp);
        f.fp = nullptr;
    }
    std::free(ctl->raw);
    std::free(ctl->groups);
    std::free(ctl->rels);
    std::free(ctl->entries);
    ctl->raw = nullptr;
    ctl->groups = nullptr;
    ctl->rels = nullptr;
    ctl->entries = nullptr;
    ctl->rawCap = ctl->groupsCap = ctl->relsCap = ctl->entriesCap = 0;
}

bool cnetOpen(CNETCTL* ctl, const char* mode, CNETSTATUS* st) {
    bool writing = std::strpbrk(mode, "wa+") != nullptr;
    for (CNETFILE& f : ctl->f) {
        if (writing && cnetFileOpRefused("write", f.name) != 0) {
            cnetSetStatus(st, CNET_RC_OPEN, 120, f.name);
            return false;
        }
        f.fp = std::fopen(f.name, mode);
        if (f.fp == nullptr) {
            cnetSetStatus(st, CNET_RC_OPEN, 121, f.name);
            return false;
        }
        if (!cnetFileSize(&f, &f.size, st)) return false;
    }
    ctl->haveHead = false;
    ctl->nextWord = 0;
    ctl->nextGroup = 0;
    return true;
}

bool cnetClose(CNETCTL* ctl, CNETSTATUS* st) {
    bool ok = true;
    for (CNETFILE& f : ctl->f) {
        if (f.fp == nullptr) continue;
        if (std::fclose(f.fp) != 0) {
            cnetSetStatus(st, CNET_RC_CLOSE, 130, f.name);
            ok = false;
        }
        f.fp = nullptr;
    }
    return ok;
}

bool cnetFileSize(CNETFILE* f, uint64_t* size, CNETSTATUS* st) {
    f->pos = -1;
    if (fseeko(f->fp, 0, SEEK_END) != 0) {
        cnetSetStatus(st, CNET_RC_TELL, 140, f->name);
        return false;
    }
    off_t end = ftello(f->fp);
    if (end < 0) {
        cnetSetStatus(st, CNET_RC_TELL, 141, f->name);
        return false;
    }
    *size = static_cast<uint64_t>(end);
    return true;
}

bool cnetFileSeekRead(CNETFILE* f, int64_t offset, void* buf, size_t len,
                      CNETSTATUS* st) {
    f->pos = -1;
    if (offset < 0) {
        off_t here = ftello(f->fp);
        if (here < 0) {
            cnetSetStatus(st, CNET_RC_SEEK, 150, f->name);
            return false;
        }
        offset = here;
    }
    if (static_cast<uint64_t>(offset) > f->size ||
        len > f->size - static_cast<uint64_t>(offset)) {
        cnetSetStatus(st, CNET_RC_EOF, 151, f->name);
        return false;
    }
    if (fseeko(f->fp, static_cast<off_t>(offset), SEEK_SET) != 0) {
        cnetSetStatus(st, CNET_RC_SEEK, 152, f->name);
        return false;
    }
    if (len == 0) return true;
    if (std::fread(buf, 1, len, f->fp) != len) {
        if (std::ferror(f->fp))
            cnetSetStatus(st, CNET_RC_READ, 153, f->name);
        else
            cnetSetStatus(st, CNET_RC_EOF, 154, f->name);
        return false;
    }
    return true;
}

bool cnetFileSeekWrite(CNETFILE* f, int64_t offset, const void* buf,
                       size_t len, CNETSTATUS* st) {
    const int64_t last = f->pos;
    f->pos = -1;
    off_t here = static_cast<off_t>(offset);
    if (offset < 0 || offset != last) {
        if (offset >= 0 && fseeko(f->fp, static_cast<off_t>(offset), SEEK_SET) != 0) {
            cnetSetStatus(st, CNET_RC_SEEK, 160, f->name);
            return false;
        }
        here = offset >= 0 ? here : ftello(f->fp);
        if (here < 0) {
            cnetSetStatus(st, CNET_RC_SEEK, 161, f->name);
            return false;
        }
    }
    if (cnetFileOpRefused("write", f->name) != 0 ||
        std::fwrite(buf, 1, len, f->fp) != len) {
        cnetSetStatus(st, CNET_RC_WRITE, 162, f->name);
        return false;
    }
    uint64_t end = static_cast<uint64_t>(here) + len;
    if (end > f->size) f->size = end;
    f->pos = static_cast<int64_t>(end);
    return true;
}

bool cnetCopy(const CNETCTL* from, const CNETCTL* to, CNETSTATUS* st) {
    char buffer[65536];
    for (int i = 0; i < 4; ++i) {
        const char* src = from->f[i].name;
        const char* dst = to->f[i].name;
        FILE* in = std::fopen(src, "rb");
        if (in == nullptr) {
            cnetSetStatus(st, CNET_RC_OPEN, 170, src);
            return false;
        }
        FILE* out = cnetFileOpRefused("write", dst) != 0 ? nullptr
                                                         : std::fopen(dst, "wb");
        if (out == nullptr) {
            std::fclose(in);
            cnetSetStatus(st, CNET_RC_OPEN, 171, dst);
            return false;
        }
        bool ok = true;
        size_t n;
        while (ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
            if (cnetFileOpRefused("write", dst) != 0 ||
                std::fwrite(buffer, 1, n, out) != n) {
                cnetSetStatus(st, CNET_RC_WRITE, 172, dst);
                ok = false;
            }
        }
        if (ok && std::ferror(in)) {
            cnetSetStatus(st, CNET_RC_READ, 173, src);
            ok = false;
        }
        std::fclose(in);
        if (ok && (std::fflush(out) != 0 ||
                   cnetFileOpRefused("fsync", dst) != 0 ||
                   fsync(fileno(out)) != 0)) {
            cnetSetStatus(st, CNET_RC_WRITE, 174, dst);
            ok = false;
        }
        if (std::fclose(out) != 0 && ok) {
            cnetSetStatus(st, CNET_RC_CLOSE, 175, dst);
            ok = false;
        }
        if (!ok) return false;
    }
    if (!syncDirectoryOf(to->f[0].name)) {
        cnetSetStatus(st, CNET_RC_WRITE, 176, to->f[0].name);
        return false;
    }
    return true;
}

// Renames one file. EBUSY is tried again after a pause, with a warning;
// EACCES and EPERM (a permission that waiting does not change) and every
// other error fail at once.
static bool renameOne(const char* src, const char* dst, const CNETEXEC* opts,
                      CNETSTATUS* st) {
    for (int retry = 0;; ++retry) {
        if (cnetFileOpRefused("rename", src) == 0 && std::rename(src, dst) == 0)
            return true;
        if (errno != EBUSY || retry == kRenameTries) break;
        cnetWarnf(opts, nullptr, "\n VOZ Warning!! renaming %s to %s ... (%d)",
                  src, dst, retry + 1);
        cnetSleep(kRenameSleep);
    }
    cnetSetStatus(st, CNET_RC_RENAME, 180, src, dst);
    return false;
}

bool cnetRename(const CNETCTL* from, const CNETCTL* to, const CNETEXEC* opts,
                CNETSTATUS* st) {
    for (int i = 0; i < 4; ++i) {
        if (!syncFile(from->f[i].name)) {
            cnetSetStatus(st, CNET_RC_WRITE, 181, from->f[i].name);
            return false;
        }
    }
    for (int i = 0; i < 4; ++i)
        if (!renameOne(from->f[i].name, to->f[i].name, opts, st)) return false;
    if (!syncDirectoryOf(to->f[0].name)) {
        cnetSetStatus(st, CNET_RC_RENAME, 182, from->f[0].name, to->f[0].name);
        return false;
    }
    return true;
}

bool cnetDelete(const CNETCTL* ctl, CNETSTATUS* st) {
    bool ok = true;
    for (const CNETFILE& f : ctl->f) {
        if (cnetFileOpRefused("delete", f.name) != 0 ||
            (std::remove(f.name) != 0 && errno != ENOENT)) {
            cnetSetStatus(st, CNET_RC_DELETE, 190, f.name);
            ok = false;
        }
    }
    return ok;
}

bool cnetExist(const char* dirspec, const char* name, bool* exists,
               uint8_t* codepage, CNETSTATUS* st) {
    *exists = false;
    CNETCTL* ctl = static_cast<CNETCTL*>(std::malloc(sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 195);
        return false;
    }
    bool ok = cnetSetCNETCTL(ctl, dirspec, name, 0, st);
    struct stat sb;
    if (ok && stat(ctl->f[CNET_WORD_SLOTS].name, &sb) == 0) {
        for (int i = 1; i < 4 && ok; ++i) {
            if (stat(ctl->f[i].name, &sb) != 0) {
                cnetSetStatus(st, CNET_RC_INTEGRITY, 196, ctl->f[i].name);
                ok = false;
            }
        }
        if (ok) *exists = true;
        if (ok && codepage != nullptr) {
            CNETHEAD head;
            ok = cnetOpen(ctl, "rb", st) && cnetReadHead(ctl, &head, st);
            if (ok) *codepage = head.codepage;
            ok = cnetClose(ctl, st) && ok;
        }
    }
    cnetFreeCNETCTL(ctl);
    std::free(ctl);
    return ok;
}
