// cnet_regist.cpp -- vozCNETregist (compilation into set 1, the word
// index, the commit with its mark), the recovery of an interrupted commit,
// and vozCNETclear. The commit protocol is described in cnet_regist.hpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "cnet_compile.hpp"
#include "cnet_def.hpp"
#include "cnet_regist.hpp"
#include "cnet_tmpstore.hpp"
#include "files/voz_status.hpp"

namespace {

// ---- small file helpers --------------------------------------------------

bool fileExists(const char* path) {
    struct stat sb;
    return stat(path, &sb) == 0;
}

bool syncDir(const char* dir) {
    const char* d = dir[0] == '\0' ? "/" : dir;
    if (cnetFileOpRefused("fsync", d) != 0) return false;
    int fd = open(d, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

// Creates `path` holding `marker` (4 bytes), synced; an existing file is
// kept as it is.
bool writeMarkFile(const char* path, const char* marker, const char* op,
                   uint32_t site, CNETSTATUS* st) {
    if (cnetFileOpRefused(op, path) != 0) {
        cnetSetStatus(st, CNET_RC_OPEN, site, path);
        return false;
    }
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return true;
        cnetSetStatus(st, CNET_RC_OPEN, site, path);
        return false;
    }
    bool ok = write(fd, marker, 4) == 4;
    if (ok && (cnetFileOpRefused("fsync", path) != 0 || fsync(fd) != 0)) ok = false;
    if (close(fd) != 0) ok = false;
    if (!ok) cnetSetStatus(st, CNET_RC_WRITE, site + 1, path);
    return ok;
}

bool removeFile(const char* path, const char* op, uint32_t site, CNETSTATUS* st) {
    if (cnetFileOpRefused(op, path) != 0 || (unlink(path) != 0 && errno != ENOENT)) {
        cnetSetStatus(st, CNET_RC_DELETE, site, path);
        return false;
    }
    return true;
}

void lockFileName(char* out, const CNETDIRS* dirs, const char* name, int which) {
    std::snprintf(out, CNET_PATH_MAX, "%s/%s.lk%d", dirs->first, name, which);
}

// Drops every lock of *lk without writing ".lk3".
void releaseLocks(const CNETEXEC* opts, const char* dirspec, const char* name,
                  CNETLOCK* lk) {
    CNETSTATUS ignored;
    cnetClearStatus(&ignored);
    cnetUnlock(opts, 4, dirspec, name, lk, &ignored);
}

// ---- finishing a commit ----------------------------------------------------

// Makes set 1 live, whatever part of the commit was done: every set-1 file
// still there is renamed over its set-0 file, the word index is rebuilt
// from set 0, ".lk3" is written and the mark removed. REQUIRES: ".lk2"
// and ".lk1" held by the caller (or the dictionary is not locked).
bool finishCommit(const CNETEXEC* opts, const char* dirspec, const char* name,
                  CNETSTATUS* st) {
    CNETCTL* c0 = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETCTL* c1 = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    bool ok = c0 != nullptr && c1 != nullptr;
    if (!ok) cnetSetStatus(st, CNET_RC_MEMORY, 710);
    ok = ok && cnetSetCNETCTL(c0, dirspec, name, 0, st) &&
         cnetSetCNETCTL(c1, dirspec, name, 1, st);
    for (int k = 0; ok && k < 4; ++k) {
        if (!fileExists(c1->f[k].name)) continue;
        if (cnetFileOpRefused("rename", c1->f[k].name) != 0 ||
            std::rename(c1->f[k].name, c0->f[k].name) != 0) {
            cnetSetStatus(st, CNET_RC_RENAME, 711, c1->f[k].name, c0->f[k].name);
            ok = false;
        }
    }
    if (ok && !syncDir(c0->dirs.first)) {
        cnetSetStatus(st, CNET_RC_WRITE, 712, c0->dirs.first);
        ok = false;
    }
    // The rebuild runs inside whatever call found the mark (often a
    // lookup): the engine's build log stays off.
    CNETEXEC quiet;
    std::memset(&quiet, 0, sizeof quiet);
    if (opts != nullptr) quiet.flags = opts->flags & CNET_EXEC_WARNINGS;
    void* h = nullptr;
    ok = ok && cnetBuildWordIndex(&quiet, dirspec, name, 0, true, &h, st);
    if (ok && !c0->dirs.two) {
        char path[CNET_PATH_MAX];
        lockFileName(path, &c0->dirs, name, 3);
        ok = writeMarkFile(path, "CL03", "lock-create", 713, st);
    }
    if (ok) {
        char mark[CNET_PATH_MAX];
        cnetCommitMarkName(mark, &c0->dirs, name);
        ok = removeFile(mark, "delete", 715, st) && syncDir(c0->dirs.first);
    }
    if (c0 != nullptr) cnetFreeCNETCTL(c0);
    if (c1 != nullptr) cnetFreeCNETCTL(c1);
    std::free(c0);
    std::free(c1);
    return ok && !cnetFailed(st);
}

// Takes ".lk2" and ".lk1" alone without waiting (531 when either is busy)
// and finishes the commit of the mark.
bool recoverCommit(const CNETEXEC* opts, const char* dirspec, const char* name,
                   const CNETDIRS* dirs, CNETSTATUS* st) {
    int fds[2] = {-1, -1};
    bool ok = true;
    const int order[2] = {2, 1};
    for (int i = 0; i < 2 && ok; ++i) {
        char path[CNET_PATH_MAX];
        lockFileName(path, dirs, name, order[i]);
        int err = 0;
        fds[i] = cnetLockFile(path, CNET_LOCK_EXCLUSIVE, &err);
        if (fds[i] < 0 && err != ENOENT) {
            cnetSetStatus(st, err == EAGAIN || err == EACCES ? CNET_RC_LOCKED : CNET_RC_LOCKING,
                          720 + static_cast<uint32_t>(i), path);
            ok = false;
        }
    }
    // The mark may have gone while the locks were sought.
    if (ok && cnetCommitMarkExists(dirs, name)) ok = finishCommit(opts, dirspec, name, st);
    for (int fd : fds)
        if (fd >= 0) cnetReleaseLockFile(fd);
    return ok;
}

bool allZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

void deleteWorkSets(const char* dirspec, const char* name) {
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) return;
    for (int set = 1; set <= 2; ++set) {
        if (cnetSetCNETCTL(ctl, dirspec, name, set, nullptr)) cnetDelete(ctl, nullptr);
        cnetFreeCNETCTL(ctl);
    }
    std::free(ctl);
}

}  // namespace

void cnetCommitMarkName(char* out, const CNETDIRS* dirs, const char* name) {
    std::snprintf(out, CNET_PATH_MAX, "%s/%s.%s", dirs->first, name, CNET_COMMIT_MARK_EXT);
}

bool cnetCommitMarkExists(const CNETDIRS* dirs, const char* name) {
    char path[CNET_PATH_MAX];
    cnetCommitMarkName(path, dirs, name);
    return fileExists(path);
}

bool cnetLockRecover(const CNETEXEC* opts, int mode, const char* dirspec,
                     const char* name, CNETLOCK* lk, CNETSTATUS* st) {
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return false;
    for (int attempt = 0;; ++attempt) {
        CNETSTATUS mine;
        cnetClearStatus(&mine);
        bool ok = cnetLock(opts, mode, dirspec, name, lk, &mine);
        // Busy or broken locks end here; otherwise an interrupted commit is
        // finished before the dictionary is used.
        if ((ok || mine.retcode == CNET_RC_NOT_EXIST) && cnetCommitMarkExists(&dirs, name) &&
            attempt < 3) {
            releaseLocks(opts, dirspec, name, lk);
            if (!recoverCommit(opts, dirspec, name, &dirs, st)) return false;
            continue;
        }
        if (!ok) {
            cnetSetStatus(st, mine.retcode, mine.errcode, mine.fname1, mine.fname2);
            return false;
        }
        return true;
    }
}

extern "C" void vozCNETregist(const char* dirspec, const char* name,
                              const CNETDEFINE* def, const CNETATTRI* attri,
                              const CNETEXEC* opts, void* reserved, CNETSTATUS* st) {
    if (st == nullptr) return;
    cnetClearStatus(st);
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    if (def == nullptr || attri == nullptr || def->kind != CNET_DEFINE_KIND_FILE ||
        def->fileName == nullptr || def->fileName[0] == '\0' || def->format != 0 ||
        std::strlen(def->fileName) > CNET_NAME_MAX || attri->codepage == 0 ||
        attri->codepage > 36) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 750);
        return;
    }
    if (reserved != nullptr || !allZero(def->reserved1, sizeof def->reserved1) ||
        !allZero(def->reserved2, sizeof def->reserved2) ||
        !allZero(def->reserved3, sizeof def->reserved3) ||
        !allZero(attri->reserved, sizeof attri->reserved) ||
        (opts != nullptr && (!allZero(opts->reserved, sizeof opts->reserved) ||
                             (opts->flags & ~(CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS |
                                              CNET_EXEC_WARNINGS)) != 0))) {
        cnetSetStatus(st, CNET_RC_RESERVED, 751);
        return;
    }
    const bool replace = opts != nullptr && (opts->flags & CNET_EXEC_REPLACE) != 0;
    if (!replace) {
        bool exists = false;
        if (!cnetExist(dirspec, name, &exists, nullptr, st)) return;
        if (exists) {
            cnetSetStatus(st, CNET_RC_EXISTS, 752);
            return;
        }
    }
    const uint8_t codepage = attri->codepage;
    cnetTimef(opts, "Regist start...\n");
    cnetWarnf(opts, def->fileName, "Regist start...\n");

    CNETLOCK lk1, lk2;
    cnetLockInit(&lk1);
    cnetLockInit(&lk2);
    if (!cnetLockRecover(opts, 1, dirspec, name, &lk1, st)) {
        releaseLocks(opts, dirspec, name, &lk1);
        return;
    }
    void* index = nullptr;
    bool marked = false;    // the commit mark is on disk
    bool ok = cnetCreate(dirspec, name, def, codepage, opts, st);
    if (ok) {
        cnetTimef(opts, "Indexing start...\n");
        cnetWarnf(opts, def->fileName, "Indexing start...\n");
        ok = cnetBuildWordIndex(opts, dirspec, name, 1, false, &index, st);
    }
    char mark[CNET_PATH_MAX];
    cnetCommitMarkName(mark, &dirs, name);
    if (ok) {
        ok = writeMarkFile(mark, "CLCM", "write", 760, st) && syncDir(dirs.first);
        if (!ok) {
            cnetSetStatus(st, CNET_RC_WRITE, 762, mark);
            CNETSTATUS ignored;
            cnetClearStatus(&ignored);
            removeFile(mark, "delete", 766, &ignored);
        }
        marked = fileExists(mark);
    }
    if (ok) {
        ok = cnetLock(opts, 2, dirspec, name, &lk2, st);
        if (!ok) {
            // Nothing of the live dictionary changed: the mark goes again.
            CNETSTATUS ignored;
            cnetClearStatus(&ignored);
            marked = !(removeFile(mark, "delete", 763, &ignored) && syncDir(dirs.first));
        }
    }
    if (ok) {
        CNETCTL* c0 = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
        CNETCTL* c1 = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
        ok = c0 != nullptr && c1 != nullptr && cnetSetCNETCTL(c0, dirspec, name, 0, st) &&
             cnetSetCNETCTL(c1, dirspec, name, 1, st);
        if (c0 == nullptr || c1 == nullptr) cnetSetStatus(st, CNET_RC_MEMORY, 764);
        ok = ok && cnetRename(c1, c0, opts, st);
        if (c0 != nullptr) cnetFreeCNETCTL(c0);
        if (c1 != nullptr) cnetFreeCNETCTL(c1);
        std::free(c0);
        std::free(c1);
    }
    if (ok) {
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        GTRcreateIndexTerm(index, 'G', &gs);
        index = nullptr;
        if (gs.retcode != 0) {
            cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                          CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                          gs.errfname2);
            ok = false;
        }
    }
    if (ok) {
        ok = cnetUnlock(opts, 2, dirspec, name, &lk2, st);
        ok = ok && removeFile(mark, "delete", 765, st) && syncDir(dirs.first);
        marked = !ok && fileExists(mark);
    }
    if (index != nullptr) {
        GTRSTATUS gs;
        GTRcreateIndexTerm(index, 'C', &gs);
        index = nullptr;
    }
    if (!ok && marked && (lk2.fd[0] >= 0 || dirs.two)) {
        // A commit that failed after its mark is finished from the mark
        // while the locks are still held; when that fails too, the mark
        // stays for the next call.
        CNETSTATUS again;
        cnetClearStatus(&again);
        finishCommit(opts, dirspec, name, &again);
    }
    releaseLocks(opts, dirspec, name, &lk2);
    if (ok) {
        cnetTimef(opts, "Regist end\n");
        cnetWarnf(opts, def->fileName, "Regist end\n");
    }
    deleteWorkSets(dirspec, name);
    releaseLocks(opts, dirspec, name, &lk1);
}

extern "C" void vozCNETclear(const char* dirspec, const char* name, CNETSTATUS* st) {
    if (st == nullptr) return;
    cnetClearStatus(st);
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    CNETLOCK lk;
    cnetLockInit(&lk);
    if (!cnetLockRecover(nullptr, 3, dirspec, name, &lk, st)) {
        releaseLocks(nullptr, dirspec, name, &lk);
        return;
    }
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 770);
    } else {
        if (cnetSetCNETCTL(ctl, dirspec, name, 0, st)) cnetDelete(ctl, st);
        cnetFreeCNETCTL(ctl);
        std::free(ctl);
    }
    if (!cnetFailed(st)) {
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        VOZ_deleteIndex(3, name, cnetIndexDir(&dirs), &gs);
        if (gs.retcode != 0)
            cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                          CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                          gs.errfname2);
    }
    if (!cnetFailed(st)) deleteWorkSets(dirspec, name);
    // Temporary files a killed compile left.
    if (!cnetFailed(st)) cnetTmpDelete(&dirs, name, st);
    CNETSTATUS ignored;
    cnetClearStatus(&ignored);
    cnetUnlock(nullptr, 3, dirspec, name, &lk, cnetFailed(st) ? &ignored : st);
}
