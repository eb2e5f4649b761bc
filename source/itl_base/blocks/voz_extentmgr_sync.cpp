// voz_extentmgr_sync.cpp - forcing block files to disk and replacing
// control files atomically.
//
// Commit order of a block or slot file (see voz_blockmgr.hpp): the data
// pages are written and forced to disk (voz_BLKsyncPath) before the
// control file that refers to them is replaced (voz_BLKreplaceFile).  The
// replacement writes a temporary file, forces it, renames it over the old
// content and forces the directory, so a kill at any instant leaves the
// old control or the new one.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "blocks/voz_extentmgr.hpp"

namespace {

std::string partPath(const std::string& dir, uint32_t part) {
    char tail[8];
    snprintf(tail, sizeof tail, "/%04x", part);
    return dir + tail;
}

// fsync of one path opened read-only (files and directories alike).
int syncOne(const std::string& path) {
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

// Writes all bytes to a new file `tmp` and forces them to disk.  Returns
// 0, or the retcode/errcode pair through the arguments.
bool writeTemp(const std::string& tmp, const uint8_t* bytes, size_t n,
               int32_t* rc, int32_t* ec) {
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

}  // namespace

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
        if (mkdir(path, 0770) != 0) {
            throw CVozException(VOZ_RC_OPEN, 3351, path);
        }
        created = true;
    }
    if (!exists || S_ISDIR(sb.st_mode)) target = partPath(target, 0);
    std::string tmp = target + ".tmp";
    int32_t rc = 0, ec = 0;
    if (!writeTemp(tmp, bytes, n, &rc, &ec)) {
        if (created) rmdir(path);
        throw CVozException(rc, ec, path);
    }
    if (rename(tmp.c_str(), target.c_str()) != 0) {
        unlink(tmp.c_str());
        throw CVozException(VOZ_RC_RENAME, 3358, path);
    }
    if (syncOne(parentOf(target)) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3357, path);
    }
    if (created && syncOne(parentOf(std::string(path))) != 0) {
        throw CVozException(VOZ_RC_WRITE, 3357, path);
    }
}
