// voz_idxset_path.cpp - replacing files and directories of an index
// without ever losing the target before its replacement is complete.
//
// Engine files are partitioned files (directories of parts), and halves are
// directories of such files, so rename(2) onto an existing target may fail
// with ENOTEMPTY.  The replacement is then made under "<to>.~new" (moved
// there, or copied there across file systems), the old target is moved to
// "<to>.~old", the new one into place, and only then the old one is removed.
// At every instant either the old or the new content is complete on disk.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "postings/voz_idxset.hpp"
#include "files/voz_status.hpp"

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

// Removes a file or a directory tree; a missing path is not an error.
int RemoveTree(const std::string& path) {
    struct stat sb;
    if (lstat(path.c_str(), &sb) != 0) return errno == ENOENT ? 0 : -1;
    if (!S_ISDIR(sb.st_mode)) return remove(path.c_str());
    return nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

int CopyFileBytes(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY);
    if (in < 0) return -1;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
    if (out < 0) {
        int e = errno;
        close(in);
        errno = e;
        return -1;
    }
    char buf[65536];
    int rc = 0;
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0 || write(out, buf, static_cast<size_t>(n)) != n) {
            rc = -1;
            break;
        }
    }
    int e = errno;
    if (fsync(out) != 0) rc = -1;
    close(in);
    if (close(out) != 0) rc = -1;
    errno = e;
    return rc;
}

// Copies a file or a directory tree.
int CopyTree(const std::string& from, const std::string& to) {
    struct stat sb;
    if (stat(from.c_str(), &sb) != 0) return -1;
    if (!S_ISDIR(sb.st_mode)) return CopyFileBytes(from, to);
    if (mkdir(to.c_str(), 0770) != 0 && errno != EEXIST) return -1;
    DIR* d = opendir(from.c_str());
    if (d == nullptr) return -1;
    int rc = 0;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (CopyTree(from + "/" + name, to + "/" + name) != 0) {
            rc = -1;
            break;
        }
    }
    int err = errno;
    closedir(d);
    errno = err;
    return rc;
}

// Moves the complete replacement `ready` over `to`.  On failure `to` is
// as it was; -1 with errno set.
int SwapIn(const std::string& ready, const std::string& to) {
    if (rename(ready.c_str(), to.c_str()) == 0) return 0;
    std::string aside = to + ".~old";
    RemoveTree(aside);
    if (rename(to.c_str(), aside.c_str()) != 0) return -1;
    if (rename(ready.c_str(), to.c_str()) != 0) {
        int e = errno;
        rename(aside.c_str(), to.c_str());
        errno = e;
        return -1;
    }
    RemoveTree(aside);
    return 0;
}

}  // namespace

int voz_ReplacePath(const char* from, const char* to, int32_t reason,
                    GTRSTATUS* st) {
    if (rename(from, to) == 0) return 0;
    int err = errno;
    if (err != ENOTEMPTY && err != EEXIST && err != EXDEV && err != EISDIR &&
        err != ENOTDIR) {
        voz_setStatus2(st, VOZ_RC_RENAME, reason, from, to, err);
        return -1;
    }
    std::string ready = std::string(to) + ".~new";
    RemoveTree(ready);
    bool copied = err == EXDEV;
    int rc = copied ? CopyTree(from, ready) : rename(from, ready.c_str());
    if (rc == 0 && SwapIn(ready, to) != 0) {
        err = errno;
        if (!copied) rename(ready.c_str(), from);
        rc = -1;
    } else if (rc != 0) {
        err = errno;
    }
    if (rc != 0) {
        if (copied) RemoveTree(ready);
        voz_setStatus2(st, VOZ_RC_RENAME, reason, from, to, err);
        return -1;
    }
    if (copied) RemoveTree(from);
    return 0;
}

int voz_CopyReplacing(const char* from, const char* to, int32_t reason,
                      GTRSTATUS* st) {
    std::string ready = std::string(to) + ".~new";
    RemoveTree(ready);
    if (voz_FileCopy(from, ready.c_str(), st) != 0) {
        RemoveTree(ready);
        return -1;
    }
    if (SwapIn(ready, to) != 0) {
        int err = errno;
        RemoveTree(ready);
        voz_setStatus2(st, VOZ_RC_RENAME, reason, ready.c_str(), to, err);
        return -1;
    }
    return 0;
}

int voz_RemoveTree(const char* path) { return RemoveTree(path); }
