// voz_journal.cpp - the builder's commit journal: the mark file, the steps
// that switch new parts in, their undo, and recovery (see voz_journal.hpp
// for the states and invariants every function here keeps).
#include "build/voz_journal.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"

namespace {

// Damaged data: the status code of a file whose bytes make no sense.
constexpr int32_t kRcDamaged = 16;
// Not found: a part the call needs is missing.
constexpr int32_t kRcMissing = 20;

constexpr uint32_t kMagic = 0x564A4E4Cu;  // "VJNL"
constexpr uint16_t kVersion = 1;
constexpr uint32_t kHeadSize = 16;
constexpr uint32_t kStepSize = 20;
constexpr const char* kMarkName = "voz.JNL";
constexpr const char* kMarkTemp = "voz.JNL.tmp";
constexpr const char* kPendingName = "voz.JNL.pnd";

VozJnlTestHook gs_jnlHook = nullptr;

// Asks the test hook; true when it wants the operation to fail (errno is
// then EIO).
bool Injected(const char* op, const std::string& path) {
    if (gs_jnlHook == nullptr || gs_jnlHook(op, path.c_str()) == 0) {
        return false;
    }
    errno = EIO;
    return true;
}

uint32_t Crc32(const uint8_t* p, size_t n) { return voz_JnlCrc32(p, n); }

bool Exists(const std::string& path) {
    struct stat sb;
    return lstat(path.c_str(), &sb) == 0;
}

// The three names of a slot: live, new ("#") and old ("%").
enum Form { kLive = 0, kNew = 2, kOld = 4 };

// The file-set descriptor of a step's slot in one of its forms; all the
// slot's names come from voz_IDXgetFname through it.
void SlotSet(const VOZJOURNAL* j, const VOZJNLSTEP& s, Form form,
             _FCTLHEAD* fs) {
    memset(fs, 0, sizeof *fs);
    strcpy(fs->directory, j->directory);
    strcpy(fs->indexName, j->indexName);
    strcpy(fs->subdirPrefix, s.prefix);
    fs->fileType = (s.slot == VOZ_JNL_SUPP ? 1 : 0) + form;
}

std::string SlotPath(const VOZJOURNAL* j, const VOZJNLSTEP& s, Form form) {
    _FCTLHEAD fs;
    SlotSet(j, s, form, &fs);
    uint16_t type = s.slot == VOZ_JNL_DELETED
                        ? static_cast<uint16_t>(VOZ_FT_DIR | VOZ_FT_DELETED)
                        : static_cast<uint16_t>(VOZ_FT_DIR);
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &fs, type);
    return name;
}

std::string IndexDir(const VOZJOURNAL* j) {
    const char* d = strcmp(j->directory, "/") == 0 ? "" : j->directory;
    return std::string(d) + "/" + j->indexName;
}

// fsyncs a file or directory; 3/openReason, 5/syncReason with its name.
int SyncPath(const std::string& path, int32_t openReason, int32_t syncReason,
             GTRSTATUS* st) {
    if (Injected("sync", path)) {
        voz_setStatus(st, VOZ_RC_WRITE, syncReason, path.c_str(), errno);
        return -1;
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        voz_setStatus(st, VOZ_RC_OPEN, openReason, path.c_str(), errno);
        return -1;
    }
    int rc = fsync(fd);
    int err = errno;
    close(fd);
    if (rc != 0) {
        voz_setStatus(st, VOZ_RC_WRITE, syncReason, path.c_str(), err);
        return -1;
    }
    return 0;
}

int SyncIndexDir(const VOZJOURNAL* j, GTRSTATUS* st) {
    return SyncPath(IndexDir(j), 2419, 2413, st);
}

// fsyncs every file and directory of the tree at `path`, the deepest first.
int SyncTree(const std::string& path, GTRSTATUS* st) {
    struct stat sb;
    if (lstat(path.c_str(), &sb) != 0) {
        voz_setStatus(st, VOZ_RC_OPEN, 2407, path.c_str(), errno);
        return -1;
    }
    if (S_ISDIR(sb.st_mode)) {
        DIR* d = opendir(path.c_str());
        if (d == nullptr) {
            voz_setStatus(st, VOZ_RC_OPEN, 2407, path.c_str(), errno);
            return -1;
        }
        int rc = 0;
        while (struct dirent* e = readdir(d)) {
            if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) {
                continue;
            }
            if (SyncTree(path + "/" + e->d_name, st) != 0) {
                rc = -1;
                break;
            }
        }
        closedir(d);
        if (rc != 0) return -1;
    } else if (!S_ISREG(sb.st_mode)) {
        return 0;
    }
    return SyncPath(path, 2407, 2408, st);
}

// Moves a slot from one form to another when the source exists, and makes
// the move durable.  Renames report 9/1806 or 9/1807.
int Move(const VOZJOURNAL* j, const VOZJNLSTEP& s, Form from, Form to,
         GTRSTATUS* st) {
    _FCTLHEAD a, b;
    SlotSet(j, s, from, &a);
    SlotSet(j, s, to, &b);
    int32_t reason = s.slot == VOZ_JNL_DELETED ? 1807 : 1806;
    std::string source = SlotPath(j, s, from);
    if (Injected("rename", source)) {
        voz_setStatus2(st, VOZ_RC_RENAME, reason, source.c_str(),
                       SlotPath(j, s, to).c_str(), errno);
        return -1;
    }
    int rc = s.slot == VOZ_JNL_DELETED ? voz_SwitchDelDir(&a, &b, st)
                                       : voz_IDXswitchDir(&a, &b, st);
    if (rc != 0) return -1;
    return SyncIndexDir(j, st);
}

int Remove(const std::string& path, int32_t reason, GTRSTATUS* st) {
    if (Injected("remove", path) || voz_RemoveTree(path.c_str()) != 0) {
        voz_setStatus(st, VOZ_RC_REMOVE, reason, path.c_str(), errno);
        return -1;
    }
    return 0;
}

// Takes a step to its new state from any state on its way (invariant 5).
int RedoStep(const VOZJOURNAL* j, const VOZJNLSTEP& s, GTRSTATUS* st) {
    std::string live = SlotPath(j, s, kLive);
    std::string old = SlotPath(j, s, kOld);
    bool pending =
        s.kind == VOZ_JNL_REPLACE ? Exists(SlotPath(j, s, kNew)) : Exists(live);
    if (!pending) return 0;
    if (Exists(live)) {
        // An O beside a live L belongs to no commit in flight.
        if (Exists(old) && Remove(old, 2414, st) != 0) return -1;
        if (Move(j, s, kLive, kOld, st) != 0) return -1;
    }
    if (s.kind != VOZ_JNL_REPLACE) return 0;
    return Move(j, s, kNew, kLive, st);
}

// Takes a step back to its old state from any state on its way.
int UndoStep(const VOZJOURNAL* j, const VOZJNLSTEP& s, GTRSTATUS* st) {
    // A replace step whose N is gone has made its second move (a commit
    // starts only with every N present): L holds the new part.
    std::string live = SlotPath(j, s, kLive);
    if (s.kind == VOZ_JNL_REPLACE && Exists(live) &&
        !Exists(SlotPath(j, s, kNew))) {
        if (Move(j, s, kLive, kNew, st) != 0) return -1;
    }
    if (Exists(SlotPath(j, s, kOld)) && !Exists(live)) {
        return Move(j, s, kOld, kLive, st);
    }
    return 0;
}

// Removes the step's O once every step is done; an O of a replace step
// whose new part vanished (L missing) is the index and goes back.
int FinishStep(const VOZJOURNAL* j, const VOZJNLSTEP& s, GTRSTATUS* st) {
    std::string old = SlotPath(j, s, kOld);
    if (!Exists(old)) return 0;
    if (s.kind == VOZ_JNL_REPLACE && !Exists(SlotPath(j, s, kLive))) {
        return Move(j, s, kOld, kLive, st);
    }
    return Remove(old, 2414, st);
}

// Removes the mark.  The directory fsync behind it is best effort: a
// removal lost in a crash only makes the next recovery find every step done
// and drop the mark again.
int DropMark(const VOZJOURNAL* j, GTRSTATUS* st) {
    std::string mark = IndexDir(j) + "/" + kMarkName;
    if (Injected("remove", mark) ||
        (unlink(mark.c_str()) != 0 && errno != ENOENT)) {
        voz_setStatus(st, VOZ_RC_REMOVE, 2415, mark.c_str(), errno);
        return -1;
    }
    GTRSTATUS own{};
    SyncIndexDir(j, &own);
    return 0;
}

// Writes `bytes` to `path` whole and fsyncs it.
int WriteSynced(const std::string& path, const uint8_t* bytes, size_t n,
                GTRSTATUS* st) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0660);
    if (fd < 0) {
        voz_setStatus(st, VOZ_RC_OPEN, 2409, path.c_str(), errno);
        return -1;
    }
    size_t done = 0;
    while (done < n) {
        ssize_t w = write(fd, bytes + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            voz_setStatus(st, VOZ_RC_WRITE, 2410, path.c_str(), errno);
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(w);
    }
    int rc = Injected("sync", path) ? -1 : fsync(fd);
    int err = errno;
    if (close(fd) != 0 && rc == 0) {
        rc = -1;
        err = errno;
    }
    if (rc != 0) {
        voz_setStatus(st, VOZ_RC_WRITE, 2411, path.c_str(), err);
        return -1;
    }
    return 0;
}

// Writes the mark atomically under `finalName` (the mark, or the pending
// journal): temporary name, fsync, rename, directory fsync (invariant 3).
int WriteMark(const VOZJOURNAL* j, GTRSTATUS* st,
              const char* finalName = kMarkName) {
    uint8_t bytes[voz_JnlMarkSize(VOZ_JNL_MAX_STEPS)];
    voz_JnlEncodeMark(j, bytes);
    std::string dir = IndexDir(j);
    std::string temp = dir + "/" + kMarkTemp;
    std::string mark = dir + "/" + finalName;
    if (Injected("write-mark", temp)) {
        voz_setStatus(st, VOZ_RC_WRITE, 2410, temp.c_str(), errno);
        return -1;
    }
    if (WriteSynced(temp, bytes, voz_JnlMarkSize(j->count), st) != 0) {
        unlink(temp.c_str());
        return -1;
    }
    if (Injected("rename", temp) || rename(temp.c_str(), mark.c_str()) != 0) {
        voz_setStatus2(st, VOZ_RC_RENAME, 2412, temp.c_str(), mark.c_str(),
                       errno);
        unlink(temp.c_str());
        return -1;
    }
    return SyncIndexDir(j, st);
}

// Checks that no mark and no O stand in the way and that every N exists
// (invariant 6).  Touches nothing.
int CheckStart(const VOZJOURNAL* j, GTRSTATUS* st) {
    if (j->count == 0) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2403);
        return -1;
    }
    for (const char* name : {kMarkName, kPendingName}) {
        std::string mark = IndexDir(j) + "/" + name;
        if (Exists(mark)) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 2404, mark.c_str());
            return -1;
        }
    }
    for (uint16_t i = 0; i < j->count; ++i) {
        const VOZJNLSTEP& s = j->steps[i];
        std::string old = SlotPath(j, s, kOld);
        if (Exists(old)) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 2405, old.c_str());
            return -1;
        }
        std::string n = SlotPath(j, s, kNew);
        if (s.kind == VOZ_JNL_REPLACE && !Exists(n)) {
            voz_setStatus(st, kRcMissing, 2406, n.c_str(), ENOENT);
            return -1;
        }
    }
    return 0;
}

// After a failing step: undoes steps `last` .. 0 and drops the mark, each
// with a status of its own; the mark stays when an undo fails.
void UndoFrom(const VOZJOURNAL* j, int last) {
    GTRSTATUS own{};
    for (int i = last; i >= 0; --i) {
        if (UndoStep(j, j->steps[i], &own) != 0) return;
    }
    DropMark(j, &own);
}

// Once every step is done: removes the O's, then the mark.  The mark
// stays on failure.
int FinishAll(const VOZJOURNAL* j, GTRSTATUS* st) {
    for (uint16_t i = 0; i < j->count; ++i) {
        if (FinishStep(j, j->steps[i], st) != 0) return -1;
    }
    if (SyncIndexDir(j, st) != 0) return -1;
    return DropMark(j, st);
}

// Reads the mark `name` of the index of `j` into j's steps.  1 when a
// mark was read, 0 when there is none, -1 on failure.
int ReadMark(VOZJOURNAL* j, GTRSTATUS* st, const char* name = kMarkName) {
    std::string mark = IndexDir(j) + "/" + name;
    int fd = open(mark.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return 0;
        voz_setStatus(st, VOZ_RC_READ, 2417, mark.c_str(), errno);
        return -1;
    }
    uint8_t bytes[voz_JnlMarkSize(VOZ_JNL_MAX_STEPS) + 1];
    size_t got = 0;
    for (;;) {
        ssize_t r = read(fd, bytes + got, sizeof bytes - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            voz_setStatus(st, VOZ_RC_READ, 2417, mark.c_str(), errno);
            close(fd);
            return -1;
        }
        if (r == 0 || (got += static_cast<size_t>(r)) == sizeof bytes) break;
    }
    close(fd);
    if (voz_JnlDecodeMark(bytes, static_cast<uint32_t>(got), j, mark.c_str(),
                          st) != 0) {
        return -1;
    }
    return 1;
}

// Finishes a pending commit of the index of `anySet`.  0 or -1.
int FinishPending(const _FCTLHEAD* anySet, GTRSTATUS* st) {
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, st) != 0) return -1;
    int present = ReadMark(&j, st);
    if (present <= 0) return present;
    for (uint16_t i = 0; i < j.count; ++i) {
        if (RedoStep(&j, j.steps[i], st) != 0) return -1;
    }
    return FinishAll(&j, st);
}

// Recovery without a mark for one slot: removes N, removes an O whose L
// exists, moves back an O whose L is missing.
int CleanSlot(const VOZJOURNAL* j, const VOZJNLSTEP& s, GTRSTATUS* st) {
    std::string n = SlotPath(j, s, kNew);
    if (Exists(n) && Remove(n, 2414, st) != 0) return -1;
    std::string old = SlotPath(j, s, kOld);
    if (!Exists(old)) return 0;
    if (Exists(SlotPath(j, s, kLive))) return Remove(old, 2414, st);
    return Move(j, s, kOld, kLive, st);
}

}  // namespace

void voz_JnlSetTestHook(VozJnlTestHook hook) { gs_jnlHook = hook; }

uint32_t voz_JnlCrc32(const uint8_t* bytes, size_t size) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        c ^= bytes[i];
        for (int b = 0; b < 8; ++b)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

int voz_JnlBegin(VOZJOURNAL* jnl, const _FCTLHEAD* anySet, GTRSTATUS* st) {
    memset(jnl, 0, sizeof *jnl);
    size_t d = strnlen(anySet->directory, sizeof anySet->directory);
    size_t n = strnlen(anySet->indexName, sizeof anySet->indexName);
    if (d >= sizeof jnl->directory || n >= sizeof jnl->indexName ||
        d + n + 2 + VOZ_SUBDIR_PREFIX_LEN + 8 >= VOZ_FNAME_LEN) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 2401, anySet->indexName);
        return -1;
    }
    memcpy(jnl->directory, anySet->directory, d);
    memcpy(jnl->indexName, anySet->indexName, n);
    return 0;
}

int voz_JnlAdd(VOZJOURNAL* jnl, char kind, char slot, const char* prefix,
               GTRSTATUS* st) {
    size_t len = prefix != nullptr ? strnlen(prefix, VOZ_SUBDIR_PREFIX_LEN) : 0;
    bool ok = (kind == VOZ_JNL_REPLACE || kind == VOZ_JNL_SET_ASIDE) &&
              (slot == VOZ_JNL_MAIN || slot == VOZ_JNL_SUPP ||
               slot == VOZ_JNL_DELETED) &&
              len > 0 && len < VOZ_SUBDIR_PREFIX_LEN &&
              strpbrk(prefix, "/.") == nullptr &&
              jnl->count < VOZ_JNL_MAX_STEPS;
    for (uint16_t i = 0; ok && i < jnl->count; ++i) {
        ok = !(jnl->steps[i].slot == slot &&
               strcmp(jnl->steps[i].prefix, prefix) == 0);
    }
    if (!ok) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2402);
        return -1;
    }
    VOZJNLSTEP& s = jnl->steps[jnl->count++];
    memset(&s, 0, sizeof s);
    s.kind = kind;
    s.slot = slot;
    memcpy(s.prefix, prefix, len);
    return 0;
}

int voz_JnlCommit(const VOZJOURNAL* jnl, GTRSTATUS* st) {
    if (CheckStart(jnl, st) != 0) return -1;
    for (uint16_t i = 0; i < jnl->count; ++i) {
        if (jnl->steps[i].kind != VOZ_JNL_REPLACE) continue;
        if (SyncTree(SlotPath(jnl, jnl->steps[i], kNew), st) != 0) return -1;
    }
    if (SyncIndexDir(jnl, st) != 0) return -1;
    if (WriteMark(jnl, st) != 0) {
        // The mark may be in place without its directory fsync: no step
        // has run, so dropping it gives the old index back.
        UndoFrom(jnl, -1);
        return -1;
    }
    for (uint16_t i = 0; i < jnl->count; ++i) {
        if (RedoStep(jnl, jnl->steps[i], st) != 0) {
            UndoFrom(jnl, i);
            return -1;
        }
    }
    return FinishAll(jnl, st);
}

namespace {

// voz_JnlCommitBlocks and voz_JnlStageBlocks: each journal committed, or
// with `pendingOnly` staged.
int CommitBlocks(int count, const _FCTLHEAD* const* mains,
                 const std::function<int(int, VOZJOURNAL*, GTRSTATUS*)>& stage,
                 const std::function<void(int)>& done, bool pendingOnly,
                 GTRSTATUS* st) {
    std::vector<bool> taken(static_cast<size_t>(count), false);
    auto sameIndex = [mains](int a, int b) {
        return mains[b] != nullptr && strcmp(mains[a]->directory, mains[b]->directory) == 0 &&
               strcmp(mains[a]->indexName, mains[b]->indexName) == 0;
    };
    for (int a = 0; a < count; ++a) {
        if (mains[a] == nullptr || taken[a]) continue;
        VOZJOURNAL j;
        if (voz_JnlBegin(&j, mains[a], st) != 0) return -1;
        for (int b = a; b < count; ++b) {
            if (!sameIndex(a, b)) continue;
            taken[b] = true;
            if (stage(b, &j, st) != 0) return -1;
        }
        if (j.count > 0 &&
            (pendingOnly ? voz_JnlStage(&j, st) : voz_JnlCommit(&j, st)) != 0)
            return -1;
        for (int b = a; done && b < count; ++b)
            if (sameIndex(a, b)) done(b);
    }
    return 0;
}

}  // namespace

int voz_JnlCommitBlocks(int count, const _FCTLHEAD* const* mains,
                        const std::function<int(int, VOZJOURNAL*, GTRSTATUS*)>& stage,
                        const std::function<void(int)>& done, GTRSTATUS* st) {
    return CommitBlocks(count, mains, stage, done, false, st);
}

int voz_JnlStageBlocks(int count, const _FCTLHEAD* const* mains,
                       const std::function<int(int, VOZJOURNAL*, GTRSTATUS*)>& stage,
                       GTRSTATUS* st) {
    return CommitBlocks(count, mains, stage, nullptr, true, st);
}

int voz_JnlStage(const VOZJOURNAL* jnl, GTRSTATUS* st) {
    if (CheckStart(jnl, st) != 0) return -1;
    for (uint16_t i = 0; i < jnl->count; ++i) {
        if (jnl->steps[i].kind != VOZ_JNL_REPLACE) continue;
        if (SyncTree(SlotPath(jnl, jnl->steps[i], kNew), st) != 0) return -1;
    }
    if (SyncIndexDir(jnl, st) != 0) return -1;
    if (WriteMark(jnl, st, kPendingName) != 0) {
        // Not installed: whatever stands under the pending name goes.
        std::string pending = IndexDir(jnl) + "/" + kPendingName;
        unlink(pending.c_str());
        return -1;
    }
    return 0;
}

int voz_JnlInstallPending(const _FCTLHEAD* anySet, GTRSTATUS* st) {
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, st) != 0) return -1;
    std::string dir = IndexDir(&j);
    std::string pending = dir + "/" + kPendingName;
    std::string mark = dir + "/" + kMarkName;
    if (Exists(pending)) {
        // Only a whole journal becomes the mark.
        if (ReadMark(&j, st, kPendingName) < 0) return -1;
        if (Exists(mark)) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 2404, mark.c_str());
            return -1;
        }
        if (Injected("rename", pending) ||
            rename(pending.c_str(), mark.c_str()) != 0) {
            voz_setStatus2(st, VOZ_RC_RENAME, 2412, pending.c_str(),
                           mark.c_str(), errno);
            return -1;
        }
        if (SyncIndexDir(&j, st) != 0) return -1;
    }
    return FinishPending(anySet, st);
}

int voz_JnlDropPending(const _FCTLHEAD* anySet, GTRSTATUS* st) {
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, st) != 0) return -1;
    std::string pending = IndexDir(&j) + "/" + kPendingName;
    if (!Exists(pending)) return 0;
    // The new parts it names go first, its steps read as far as they
    // read; a removal cut short leaves "#" directories that the next
    // start of the sub-index removes.
    GTRSTATUS own{};
    if (ReadMark(&j, &own, kPendingName) == 1) {
        for (uint16_t i = 0; i < j.count; ++i) {
            const VOZJNLSTEP& s = j.steps[i];
            if (s.kind != VOZ_JNL_REPLACE) continue;
            std::string n = SlotPath(&j, s, kNew);
            if (Exists(n) && Remove(n, 2414, st) != 0) return -1;
        }
    }
    if (Remove(pending, 2415, st) != 0) return -1;
    return SyncIndexDir(&j, st);
}

int voz_JnlPendingExists(const _FCTLHEAD* anySet) {
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, nullptr) != 0) return 0;
    return Exists(IndexDir(&j) + "/" + kPendingName) ? 1 : 0;
}

int voz_JnlRollForward(const _FCTLHEAD* anySet, GTRSTATUS* st) {
    return FinishPending(anySet, st);
}

int voz_JnlRecover(const _FCTLHEAD* anySet, GTRSTATUS* st) {
    if (FinishPending(anySet, st) != 0) return -1;
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, st) != 0) return -1;
    std::string temp = IndexDir(&j) + "/" + kMarkTemp;
    if (Exists(temp) && Remove(temp, 2415, st) != 0) return -1;
    // A pending journal nobody installed before this start belongs to a
    // commit that never happened.
    if (voz_JnlDropPending(anySet, st) != 0) return -1;
    if (anySet->subdirPrefix[0] == '\0') return 0;
    static const char kSlots[] = {VOZ_JNL_MAIN, VOZ_JNL_SUPP, VOZ_JNL_DELETED};
    for (char slot : kSlots) {
        VOZJNLSTEP s{};
        s.slot = slot;
        memcpy(s.prefix, anySet->subdirPrefix, sizeof s.prefix);
        s.prefix[sizeof s.prefix - 1] = '\0';
        if (CleanSlot(&j, s, st) != 0) return -1;
    }
    return 0;
}

int voz_JnlMarkExists(const _FCTLHEAD* anySet) {
    VOZJOURNAL j;
    if (voz_JnlBegin(&j, anySet, nullptr) != 0) return 0;
    return Exists(IndexDir(&j) + "/" + kMarkName) ||
                   Exists(IndexDir(&j) + "/" + kPendingName)
               ? 1
               : 0;
}

void voz_JnlEncodeMark(const VOZJOURNAL* jnl, uint8_t* out) {
    uint32_t size = voz_JnlMarkSize(jnl->count);
    memset(out, 0, size);
    voz_putBE32(out, kMagic);
    voz_putBE16(out + 4, kVersion);
    voz_putBE16(out + 6, jnl->count);
    voz_putBE32(out + 8, size);
    for (uint16_t i = 0; i < jnl->count; ++i) {
        const VOZJNLSTEP& s = jnl->steps[i];
        uint8_t* p = out + kHeadSize + kStepSize * i;
        size_t len = strnlen(s.prefix, sizeof s.prefix);
        p[0] = static_cast<uint8_t>(s.kind);
        p[1] = static_cast<uint8_t>(s.slot);
        p[2] = static_cast<uint8_t>(len);
        memcpy(p + 4, s.prefix, len);
    }
    voz_putBE32(out + size - 4, Crc32(out, size - 4));
}

// One decoded step; false when a field is out of range.
static bool DecodeStep(const uint8_t* p, VOZJNLSTEP* s) {
    memset(s, 0, sizeof *s);
    uint8_t len = p[2];
    if ((p[0] != VOZ_JNL_REPLACE && p[0] != VOZ_JNL_SET_ASIDE) ||
        (p[1] != VOZ_JNL_MAIN && p[1] != VOZ_JNL_SUPP &&
         p[1] != VOZ_JNL_DELETED) ||
        len == 0 || len >= VOZ_SUBDIR_PREFIX_LEN || p[3] != 0) {
        return false;
    }
    for (uint8_t i = 0; i < 16; ++i) {
        bool inside = i < len;
        if (inside == (p[4 + i] == 0)) return false;
        if (inside && (p[4 + i] == '/' || p[4 + i] == '.')) return false;
    }
    s->kind = static_cast<char>(p[0]);
    s->slot = static_cast<char>(p[1]);
    memcpy(s->prefix, p + 4, len);
    return true;
}

int voz_JnlDecodeMark(const uint8_t* bytes, uint32_t size, VOZJOURNAL* jnl,
                      const char* name, GTRSTATUS* st) {
    bool ok = size >= voz_JnlMarkSize(1) && voz_getBE32(bytes) == kMagic &&
              voz_getBE16(bytes + 4) == kVersion;
    uint16_t count = ok ? voz_getBE16(bytes + 6) : 0;
    ok = ok && count >= 1 && count <= VOZ_JNL_MAX_STEPS &&
         voz_getBE32(bytes + 8) == voz_JnlMarkSize(count) &&
         size == voz_JnlMarkSize(count) && voz_getBE32(bytes + 12) == 0 &&
         voz_getBE32(bytes + size - 4) == Crc32(bytes, size - 4);
    VOZJOURNAL parsed;
    parsed.count = 0;
    for (uint16_t i = 0; ok && i < count; ++i) {
        ok = DecodeStep(bytes + kHeadSize + kStepSize * i, &parsed.steps[i]);
        for (uint16_t k = 0; ok && k < i; ++k) {
            ok = !(parsed.steps[k].slot == parsed.steps[i].slot &&
                   strcmp(parsed.steps[k].prefix, parsed.steps[i].prefix) == 0);
        }
    }
    if (!ok) {
        voz_setStatus(st, kRcDamaged, 2416, name);
        return -1;
    }
    jnl->count = count;
    memcpy(jnl->steps, parsed.steps, sizeof(VOZJNLSTEP) * count);
    return 0;
}
