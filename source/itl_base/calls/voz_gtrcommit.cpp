// voz_gtrcommit.cpp -- the directory switch of a new index (see
// voz_gtrcreate.hpp) and the removal of unfinished builds.
//
// States of a commit of `outDir`/`I` built in `outDir`/`T` ("!" name):
//   1 T complete, I old (or absent)       linkOther, syncTree(T), sync outDir
//   2 exchanged: I new, T old              renameat2(RENAME_EXCHANGE)
//      (no old index: rename T to I)
//   3 T removed                            vozRemoveBuild(T)
// Before the exchange the old index gets the owner file too.
// A crash in state 1 leaves the old index and an unfinished "!" build; in
// state 2 the new index and the old one under the "!" name. Either "!"
// directory carries the owner file naming I, by which the next cycle of I
// removes it. The build is locked (flock) while its cycle lives, and the
// old index while the commit sets it aside, so that the removal passes
// over what a live cycle still owns.
#include "calls/voz_gtrcreate.hpp"
#include "postings/voz_idxset.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kOwnerFile = "voz.OWN";
// The owner file is written under this name and renamed, so that a crash
// never leaves a partial owner file.
constexpr const char* kOwnerTemp = "voz.OWN.tmp";

VozCommitTestHook gs_commitHook = nullptr;

// Asks the test hook before a file operation; true (errno EIO) when the
// hook wants it to fail.
bool hookRefuses(const char* operation, const std::string& path) {
    if (gs_commitHook == nullptr || gs_commitHook(operation, path.c_str()) == 0)
        return false;
    errno = EIO;
    return true;
}

bool isDir(const std::string& p) {
    struct stat sb;
    return lstat(p.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return out;
    while (struct dirent* e = readdir(d)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            out.emplace_back(e->d_name);
    }
    closedir(d);
    return out;
}

int syncPath(const std::string& p) {
    if (hookRefuses("fsync", p)) return -1;
    const int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const int rc = fsync(fd);
    close(fd);
    return rc;
}

int syncTree(const std::string& p) {
    if (isDir(p)) {
        for (const std::string& e : entries(p))
            if (syncTree(p + "/" + e) != 0) return -1;
    }
    return syncPath(p);
}

int copyFile(const std::string& from, const std::string& to) {
    if (hookRefuses("copy", to)) return -1;
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return -1;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                         0660);
    if (out < 0) {
        close(in);
        return -1;
    }
    char buf[65536];
    ssize_t n;
    int rc = 0;
    while ((n = read(in, buf, sizeof buf)) > 0) {
        if (write(out, buf, static_cast<size_t>(n)) != n) {
            rc = -1;
            break;
        }
    }
    if (n < 0) rc = -1;
    close(in);
    if (close(out) != 0) rc = -1;
    return rc;
}

// Hard-links (or copies) the tree `from` to `to`; the source stays whole.
int linkTree(const std::string& from, const std::string& to) {
    if (isDir(from)) {
        if (mkdir(to.c_str(), 0770) != 0 && errno != EEXIST) return -1;
        for (const std::string& e : entries(from))
            if (linkTree(from + "/" + e, to + "/" + e) != 0) return -1;
        return 0;
    }
    if (hookRefuses("link", to)) return -1;
    if (link(from.c_str(), to.c_str()) == 0) return 0;
    return copyFile(from, to);
}

// The entries of the old index that belong to the sub-index not built:
// its directories (prefix "Full" or "Item") and its top-level files
// "voz.<letter>..." with a letter of its extents.
bool belongsTo(const std::string& name, const char* prefix,
               const char* letters) {
    if (name.compare(0, 4, prefix) == 0) return true;
    if (name.size() > 4 && name.compare(0, 4, "voz.") == 0)
        return strchr(letters, name[4]) != nullptr;
    return false;
}

int linkOther(const std::string& oldDir, const std::string& newDir,
              int builtPurpose) {
    if (builtPurpose == 3 || !isDir(oldDir)) return 0;
    const char* prefix = builtPurpose == 1 ? "Item" : "Full";
    const char* letters = builtPurpose == 1 ? "MRNS" : "KPLQ";
    for (const std::string& e : entries(oldDir)) {
        if (!belongsTo(e, prefix, letters)) continue;
        if (linkTree(oldDir + "/" + e, newDir + "/" + e) != 0) return -1;
    }
    return 0;
}

// Removes the file or tree `path` (a missing path is fine); 0 or -1.
int removeTree(const std::string& path) {
    if (hookRefuses("remove", path)) return -1;
    return voz_RemoveTree(path.c_str());
}

std::string stemOf(const std::string& name) {
    return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

}  // namespace

int vozMarkBuildOwner(const char* outDir, const char* tempName,
                      const char* indexName) {
    const std::string dir = std::string(outDir) + "/" + tempName;
    const std::string p = dir + "/" + kOwnerFile;
    const std::string temp = dir + "/" + kOwnerTemp;
    if (hookRefuses("owner", temp)) return -1;
    FILE* f = fopen(temp.c_str(), "wb");
    if (f == nullptr) return -1;
    const bool written = fputs(indexName, f) >= 0;
    if (fclose(f) != 0 || !written || hookRefuses("rename", p) ||
        rename(temp.c_str(), p.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        errno = err;
        return -1;
    }
    return 0;
}

// Removes a build directory with its owner file last, so that a removal
// cut short still carries the mark by which the next cycle finishes it.
int vozRemoveBuild(const char* path) {
    const std::string dir = path;
    int rc = 0;
    for (const std::string& e : entries(dir))
        if (e != kOwnerFile && removeTree(dir + "/" + e) != 0)
            rc = -1;
    const std::string owner = dir + "/" + kOwnerFile;
    if (rc == 0 && (hookRefuses("unlink", owner) ||
                    (unlink(owner.c_str()) != 0 && errno != ENOENT)))
        rc = -1;
    if (rc == 0 && (hookRefuses("rmdir", dir) || rmdir(dir.c_str()) != 0)) rc = -1;
    return rc;
}

int vozLockBuild(const char* path) {
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void vozRemoveUnfinishedBuilds(const char* outDir, const char* indexName) {
    const std::string dir = outDir;
    const std::string stem = stemOf(indexName) + "!";
    for (const std::string& e : entries(dir)) {
        if (e.size() != stem.size() + 3 || e.compare(0, stem.size(), stem) != 0)
            continue;
        if (e == indexName) continue;
        const std::string build = dir + "/" + e;
        // A build whose lock is held belongs to a live cycle; holding the
        // lock keeps the removal to one starter at a time.
        const int lock = vozLockBuild(build.c_str());
        if (lock < 0) continue;
        const std::string owner = build + "/" + kOwnerFile;
        FILE* f = fopen(owner.c_str(), "rb");
        if (f == nullptr) {
            // Killed between making the directory and marking it: only a
            // directory that holds nothing but an unfinished owner file is
            // taken for such a start.
            const std::vector<std::string> in = entries(build);
            if (in.empty() || (in.size() == 1 && in[0] == kOwnerTemp)) {
                unlink((build + "/" + kOwnerTemp).c_str());
                rmdir(build.c_str());
            }
            close(lock);
            continue;
        }
        char buf[VOZ_CREATE_NAME_LEN] = {};
        const size_t n = fread(buf, 1, sizeof buf - 1, f);
        fclose(f);
        if (std::string(buf, n) == indexName) vozRemoveBuild(build.c_str());
        close(lock);
    }
}

int vozCommitNewIndex(const char* outDir, const char* indexName,
                      const char* tempName, int builtPurpose, GTRSTATUS* gsp) {
    const std::string dir = outDir;
    const std::string oldDir = dir + "/" + indexName;
    const std::string newDir = dir + "/" + tempName;
    if (linkOther(oldDir, newDir, builtPurpose) != 0) {
        voz_setStatus(gsp, 3, 2561, oldDir.c_str(), errno);
        return -1;
    }
    if (syncTree(newDir) != 0 || syncPath(dir) != 0) {
        voz_setStatus(gsp, 5, 2562, newDir.c_str(), errno);
        return -1;
    }
    const bool replacing = isDir(oldDir);
    // The old index, once aside under the "!" name, stays locked until this
    // commit has removed it: another cycle's start must not take it for a
    // leftover while this one still works on it.
    struct Lock {
        int fd = -1;
        ~Lock() { if (fd >= 0) close(fd); }
    } oldLock;
    if (replacing) {
        // The old index will lie under the "!" name after the exchange:
        // mark it as this index's, so that a crash before its removal
        // leaves it to the next cycle's clean-up.
        oldLock.fd = open(oldDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (oldLock.fd >= 0) flock(oldLock.fd, LOCK_EX);
        if (vozMarkBuildOwner(outDir, indexName, indexName) != 0 ||
            syncPath(oldDir) != 0) {
            voz_setStatus(gsp, 5, 2562, oldDir.c_str(), errno);
            return -1;
        }
        if (hookRefuses("exchange", oldDir) ||
            renameat2(AT_FDCWD, newDir.c_str(), AT_FDCWD, oldDir.c_str(),
                      RENAME_EXCHANGE) != 0) {
            voz_setStatus2(gsp, 9, 2560, newDir.c_str(), oldDir.c_str(),
                           errno);
            return -1;
        }
    } else if (hookRefuses("rename", oldDir) ||
               rename(newDir.c_str(), oldDir.c_str()) != 0) {
        voz_setStatus2(gsp, 9, 2560, newDir.c_str(), oldDir.c_str(), errno);
        return -1;
    }
    // The new index is in place; the owner file no longer belongs to it.
    if (!hookRefuses("unlink", oldDir + "/" + kOwnerFile))
        unlink((oldDir + "/" + kOwnerFile).c_str());
    if (syncPath(dir) != 0) {
        voz_setStatus(gsp, 5, 2562, dir.c_str(), errno);
        return -1;
    }
    if (replacing && vozRemoveBuild(newDir.c_str()) != 0) {
        voz_setStatus(gsp, 8, 2563, newDir.c_str(), errno);
        return -1;
    }
    return 0;
}

void vozSetCommitTestHook(VozCommitTestHook hook) { gs_commitHook = hook; }
