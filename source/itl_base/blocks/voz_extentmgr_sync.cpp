// voz_extentmgr_sync.cpp - forcing block files to disk and replacing
// control files atomically.
//
// Commit order of a block or slot file (see voz_blockmgr.hpp): the data
// pages are written and forced to disk (voz_BLKsyncPath) before the
// control file that refers to them is replaced (voz_BLKreplaceFile).  The
// replacement writes a temporary file, forces it, renames it over the old
// content and forces the directory, so a kill at any instant leaves the
// old control or the new one.  Missing directories on the way to a new
// control file are made level by level, each forced into its parent.
// Every file operation first reports to the test hook (voz_ctlgroup.hpp).
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "blocks/voz_ctlgroup.hpp"
#include "blocks/voz_extentmgr.hpp"

namespace {

VozFileOpHook g_hook = nullptr;
void* g_hookContext = nullptr;

std::string partPath(const std::string& dir, uint32_t part) {
    char tail[8];
    snprintf(tail, sizeof tail, "/%04x", part);
    return dir + tail;
}

// fsync of one path opened read-only (files and directories alike).
int syncOne(const std::string& path) {
    voz_BLKfileOp("fsync");
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = fsync(fd);
    int saved = errno;
    close(fd);
    errno = saved;
    return rc;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool isDir(const std::string& path) {
    struct stat sb;
    return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

// Makes directory `dir` with every missing level above it (mkdir -p); each
// level made is forced into its parent.  False with errno on failure.
bool makeDirs(const std::string& dir) {
    if (dir.empty() || isDir(dir)) return true;
    std::string parent = parentOf(dir);
    if (parent != dir && !makeDirs(parent)) return false;
    voz_BLKfileOp("mkdir");
    if (mkdir(dir.c_str(), 0770) != 0 && errno != EEXIST) return false;
    if (!isDir(dir)) {
        errno = ENOTDIR;
        return false;
    }
    return syncOne(parent) == 0;
}

// Writes all bytes to a new file `tmp` and forces them to disk.  True, or
// false with the retcode/errcode pair through the arguments.
bool writeTemp(const std::string& tmp, const uint8_t* bytes, size_t n,
               int32_t* rc, int32_t* ec) {
    voz_BLKfileOp("write");
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660);
    if (fd < 0) {
        *rc = VOZ_RC_OPEN;
        *ec = 3351;
        return false;
    }
    size_t done = 0;
    while (done < n) {
        ssize_t w = write(fd, bytes + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            close(fd);
            unlink(tmp.c_str());
            *rc = VOZ_RC_WRITE;
            *ec = 3354;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    voz_BLKfileOp("fsync");
    if (fsync(fd) != 0) {
        close(fd);
        unlink(tmp.c_str());
        *rc = VOZ_RC_WRITE;
        *ec = 3357;
        return false;
    }
    close(fd);
    return true;
}

// Replaces file `target` (a plain file) by the bytes; `path` names it in
// failures.
void replaceOne(const std::string& target, const char* path,
                const uint8_t* bytes, size_t n) {
    std::string tmp = target + ".tmp";
    int32_t rc = 0, ec = 0;
    if (!writeTemp(tmp, bytes, n, &rc, &ec)) {
        throw CVozException(rc, ec, path);
    }
    voz_BLKfileOp("rename");
    if (rename(tmp.c_str(), target.c_str()) != 0) {
        unlink(tmp.c_str());
        throw CVozException(VOZ_RC_RENAME, 3358, path);
    }
    if (syncOne(parentOf(target)) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3357, path);
    }
}

}  // namespace

void voz_BLKsetFileOpHook(VozFileOpHook hook, void* context) {
    g_hook = hook;
    g_hookContext = context;
}

void voz_BLKfileOp(const char* what) {
    if (g_hook != nullptr) g_hook(g_hookContext, what);
}

int voz_BLKsyncPath(const char* path) {
    struct stat sb;
    if (path == nullptr || stat(path, &sb) != 0) return -1;
    if (!S_ISDIR(sb.st_mode)) return syncOne(path);
    std::string dir(path);
    for (uint32_t part = 0;; ++part) {
        std::string name = partPath(dir, part);
        if (access(name.c_str(), F_OK) != 0) break;
        if (syncOne(name) != 0) return -1;
    }
    return syncOne(dir);
}

void voz_BLKreplaceFile(const char* path, const uint8_t* bytes, size_t n) {
    if (path == nullptr) throw CVozException(VOZ_RC_OPEN, 3351, path);
    std::string target(path);
    struct stat sb;
    bool exists = stat(path, &sb) == 0;
    bool created = false;
    if (!exists) {
        // A new control file is made partitioned, with every missing
        // directory above it.
        if (!makeDirs(parentOf(target)) || !makeDirs(target)) {
            throw CVozException(VOZ_RC_OPEN, 3351, path);
        }
        created = true;
    }
    if (!exists || S_ISDIR(sb.st_mode)) target = partPath(target, 0);
    try {
        replaceOne(target, path, bytes, n);
    } catch (const CVozException&) {
        if (created) rmdir(path);
        throw;
    }
}

void voz_BLKreplacePlainFile(const char* path, const uint8_t* bytes,
                             size_t n) {
    if (path == nullptr) throw CVozException(VOZ_RC_OPEN, 3351, path);
    std::string target(path);
    if (!makeDirs(parentOf(target))) {
        throw CVozException(VOZ_RC_OPEN, 3351, path);
    }
    replaceOne(target, path, bytes, n);
}

void voz_BLKremoveFile(const char* path) {
    voz_BLKfileOp("unlink");
    if (unlink(path) != 0) {
        if (errno == ENOENT) return;
        throw CVozException(VOZ_RC_REMOVE, 3091, path);
    }
    if (syncOne(parentOf(std::string(path))) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3357, path);
    }
}
