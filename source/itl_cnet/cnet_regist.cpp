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
#include <unordered_map>
#include <vector>

#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "cnet_def.hpp"
#include "cnet_regist.hpp"
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

bool syncOpenSet(CNETCTL* ctl, CNETSTATUS* st) {
    for (CNETFILE& f : ctl->f) {
        if (f.fp == nullptr) continue;
        if (std::fflush(f.fp) != 0 || cnetFileOpRefused("fsync", f.name) != 0 ||
            fsync(fileno(f.fp)) != 0) {
            cnetSetStatus(st, CNET_RC_WRITE, 701, f.name);
            return false;
        }
    }
    return true;
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

// ---- compilation -------------------------------------------------------------

struct Rec {
    uint32_t textOff;
    uint32_t len;
    uint8_t strength;
    CNETREL rel;      // (255, 0) for a member
    bool member;
    uint32_t wordId;
};

struct Block {
    uint32_t first;   // index of its first record
    uint32_t members;
    uint32_t rels;
    CNETREL rel;      // block relation, (0, 0) none
    uint32_t line;
    int64_t newId;    // -1: dropped as a duplicate
};

struct Compiled {
    std::vector<uint8_t> text;
    std::vector<Rec> recs;
    std::vector<Block> blocks;
    uint32_t wordCount = 0;
    std::vector<uint32_t> firstRec;   // by word id: its first record
};

bool readBlocks(const CNETDEFINE* def, uint8_t codepage, const CNETEXEC* opts,
                Compiled* c, CNETSTATUS* st) {
    DEFCTL* dc = static_cast<DEFCTL*>(std::malloc(sizeof(DEFCTL)));
    if (dc == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 730);
        return false;
    }
    bool ok = cnetDefOpen(dc, def, codepage, "rb", st);
    while (ok) {
        if (!cnetDefRead(dc, opts, st)) {
            ok = false;
            break;
        }
        if (dc->memberCount == 0) break;
        Block b;
        b.first = static_cast<uint32_t>(c->recs.size());
        b.members = dc->memberCount;
        b.rels = dc->relCount;
        b.rel = dc->blockRel;
        b.line = dc->blockLine;
        b.newId = 0;
        for (uint32_t i = 0; i < dc->count; ++i) {
            const DEFWORD& w = dc->words[i];
            Rec r;
            r.textOff = static_cast<uint32_t>(c->text.size());
            r.len = w.length;
            r.strength = w.strength;
            r.rel = w.rel;
            r.member = i < dc->memberCount;
            r.wordId = 0;
            c->text.insert(c->text.end(), dc->text + w.offset, dc->text + w.offset + w.length);
            c->recs.push_back(r);
        }
        c->blocks.push_back(b);
    }
    if (ok && c->recs.empty()) {
        cnetSetStatus(st, CNET_RC_DEFINITION, 1, def->fileName);
        ok = false;
    }
    cnetDefClose(dc, st);
    std::free(dc);
    return ok && !cnetFailed(st);
}

// Word ids by first appearance; duplicate blocks dropped (warning 704);
// group ids in block order.
void numberWords(const CNETDEFINE* def, const CNETEXEC* opts, Compiled* c) {
    std::unordered_map<std::string, uint32_t> ids;
    for (uint32_t i = 0; i < c->recs.size(); ++i) {
        Rec& r = c->recs[i];
        std::string key(reinterpret_cast<const char*>(c->text.data() + r.textOff), r.len);
        auto it = ids.find(key);
        if (it == ids.end()) {
            it = ids.emplace(key, c->wordCount++).first;
            c->firstRec.push_back(i);
        }
        r.wordId = it->second;
    }
    // Blocks equal in relation, counts and entries: the first is kept.
    std::unordered_map<std::string, uint32_t> seen;
    int64_t next = 0;
    for (uint32_t b = 0; b < c->blocks.size(); ++b) {
        Block& blk = c->blocks[b];
        std::string key;
        auto put32 = [&key](uint32_t v) {
            for (int s = 24; s >= 0; s -= 8) key.push_back(static_cast<char>(v >> s));
        };
        put32(blk.members);
        put32(blk.rels);
        key.push_back(static_cast<char>(blk.rel.category));
        key.push_back(static_cast<char>(blk.rel.id));
        for (uint32_t i = 0; i < blk.members + blk.rels; ++i) {
            const Rec& r = c->recs[blk.first + i];
            put32(r.wordId);
            key.push_back(static_cast<char>(r.strength));
            key.push_back(static_cast<char>(r.rel.category));
            key.push_back(static_cast<char>(r.rel.id));
        }
        auto it = seen.find(key);
        if (it != seen.end()) {
            blk.newId = -1;
            cnetWarnf(opts, def->fileName,
                      "vozC704W: Warning: line %lu: Equivalent to the block in line %lu.  "
                      "Discarded.\n",
                      static_cast<unsigned long>(blk.line),
                      static_cast<unsigned long>(c->blocks[it->second].line));
            continue;
        }
        seen.emplace(key, b);
        blk.newId = next++;
    }
}

uint8_t combined(uint8_t s, uint8_t sW) {
    return static_cast<uint8_t>(((s - 1) * (sW - 1)) / 99 + 1);
}

CNETREL reversed(CNETREL r) {
    if (r.category == 1) r.category = 2;
    else if (r.category == 2) r.category = 1;
    return r;
}

bool relLess(const CNETRELENTRY& a, const CNETRELENTRY& b) {
    if (a.target != b.target) return a.target < b.target;
    if (a.rel.category != b.rel.category) return a.rel.category < b.rel.category;
    if (a.rel.id != b.rel.id) return a.rel.id < b.rel.id;
    return a.strength < b.strength;
}

bool relEqual(const CNETRELENTRY& a, const CNETRELENTRY& b) {
    return a.target == b.target && a.rel.category == b.rel.category &&
           a.rel.id == b.rel.id && a.strength == b.strength;
}

// Writes the words and groups of *c into the open set 1.
bool writeSet(CNETCTL* ctl, uint8_t codepage, const CNETEXEC* opts, Compiled* c,
              CNETSTATUS* st) {
    CNETHEAD head;
    std::memset(&head, 0, sizeof head);
    head.version = CNET_VERSION;
    head.codepage = codepage;
    if (!cnetWriteHead(ctl, &head, st)) return false;
    // Occurrences of each word: (block, record) pairs of kept blocks.
    std::vector<std::vector<uint32_t>> occ(c->wordCount);
    for (uint32_t b = 0; b < c->blocks.size(); ++b) {
        if (c->blocks[b].newId < 0) continue;
        const Block& blk = c->blocks[b];
        for (uint32_t i = 0; i < blk.members + blk.rels; ++i)
            occ[c->recs[blk.first + i].wordId].push_back(blk.first + i);
    }
    std::vector<uint32_t> recBlock(c->recs.size());
    for (uint32_t b = 0; b < c->blocks.size(); ++b)
        for (uint32_t i = 0; i < c->blocks[b].members + c->blocks[b].rels; ++i)
            recBlock[c->blocks[b].first + i] = b;
    std::vector<CNETRELENTRY> rels;
    std::vector<uint32_t> groups;
    for (uint32_t w = 0; w < c->wordCount; ++w) {
        const uint8_t sW = c->recs[c->firstRec[w]].strength;
        rels.clear();
        groups.clear();
        for (uint32_t ri : occ[w]) {
            const Rec& me = c->recs[ri];
            const Block& blk = c->blocks[recBlock[ri]];
            groups.push_back(static_cast<uint32_t>(blk.newId));
            for (uint32_t j = 0; j < blk.members + blk.rels; ++j) {
                const Rec& o = c->recs[blk.first + j];
                if (o.wordId == w) continue;
                CNETRELENTRY e;
                e.target = o.wordId;
                e.strength = combined(o.strength, sW);
                if (me.member && o.member) {
                    if (blk.rel.category == 0) continue;
                    e.rel = blk.rel;
                } else if (me.member) {
                    e.rel = reversed(o.rel);
                } else if (o.member) {
                    e.rel = me.rel;
                } else {
                    continue;
                }
                rels.push_back(e);
            }
        }
        std::sort(rels.begin(), rels.end(), relLess);
        rels.erase(std::unique(rels.begin(), rels.end(), relEqual), rels.end());
        std::sort(groups.begin(), groups.end());
        groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
        // A word both broader and narrower than one target contradicts itself.
        for (size_t i = 0; i + 1 < rels.size(); ++i) {
            for (size_t j = i + 1; j < rels.size() && rels[j].target == rels[i].target; ++j) {
                if (rels[i].rel.id == rels[j].rel.id &&
                    ((rels[i].rel.category == 1 && rels[j].rel.category == 2) ||
                     (rels[i].rel.category == 2 && rels[j].rel.category == 1))) {
                    uint8_t display[CNET_DEF_NORM_MAX];
                    uint32_t dlen = 0;
                    const Rec& r = c->recs[c->firstRec[w]];
                    CNETSTATUS ignored;
                    cnetClearStatus(&ignored);
                    if (cnetGTRunnormalizeWord(codepage, c->text.data() + r.textOff, r.len,
                                               display, CNET_DEF_NORM_MAX - 1, &dlen,
                                               &ignored)) {
                        display[dlen] = '\0';
                        cnetWarnf(opts, nullptr,
                                  "vozC706W: Warning: Inconsistent definition of `%s' is "
                                  "found.\n",
                                  reinterpret_cast<const char*>(display));
                    }
                    i = rels.size();
                    break;
                }
            }
        }
        const Rec& r = c->recs[c->firstRec[w]];
        CNETWORD word;
        std::memset(&word, 0, sizeof word);
        word.text = c->text.data() + r.textOff;
        word.textLen = r.len;
        word.groups = groups.data();
        word.groupCount = static_cast<uint32_t>(groups.size());
        word.rels = rels.data();
        word.relCount = static_cast<uint32_t>(rels.size());
        if (!cnetWriteWord(ctl, -1, &word, st)) return false;
        head.maxWordGroups = std::max(head.maxWordGroups, word.groupCount);
        head.maxWordRels = std::max(head.maxWordRels, word.relCount);
    }
    std::vector<CNETGRPENTRY> entries;
    for (const Block& blk : c->blocks) {
        if (blk.newId < 0) continue;
        entries.clear();
        for (uint32_t i = 0; i < blk.members + blk.rels; ++i) {
            const Rec& rr = c->recs[blk.first + i];
            CNETGRPENTRY e;
            e.wordId = rr.wordId;
            e.strength = rr.strength;
            e.rel = rr.rel;
            entries.push_back(e);
        }
        CNETGROUP g;
        std::memset(&g, 0, sizeof g);
        g.rel = blk.rel;
        g.entries = entries.data();
        g.memberCount = blk.members;
        g.relCount = blk.rels;
        if (!cnetWriteGroup(ctl, -1, &g, st)) return false;
        head.groupCount++;
        head.maxGroupMembers = std::max(head.maxGroupMembers, blk.members);
        head.maxGroupRels = std::max(head.maxGroupRels, blk.rels);
    }
    head.wordCount = c->wordCount;
    return cnetWriteHead(ctl, &head, st);
}

// cnetCreate: the definition into set 1, synced.
bool cnetCreate(const char* dirspec, const char* name, const CNETDEFINE* def,
                uint8_t codepage, const CNETEXEC* opts, CNETSTATUS* st) {
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 740);
        return false;
    }
    bool ok = cnetSetCNETCTL(ctl, dirspec, name, 1, st);
    try {
        Compiled c;
        cnetTimef(opts, "Step1 start...\n");
        ok = ok && readBlocks(def, codepage, opts, &c, st);
        if (ok) {
            cnetTimef(opts, "Step2 start...\n");
            numberWords(def, opts, &c);
            cnetTimef(opts, "Step3 start...\n");
            for (const CNETFILE& f : ctl->f) {
                if (cnetFileOpRefused("write", f.name) != 0) {
                    cnetSetStatus(st, CNET_RC_OPEN, 741, f.name);
                    ok = false;
                    break;
                }
            }
            ok = ok && cnetOpen(ctl, "w+b", st) && writeSet(ctl, codepage, opts, &c, st) &&
                 syncOpenSet(ctl, st);
        }
    } catch (const std::bad_alloc&) {
        cnetSetStatus(st, CNET_RC_MEMORY, 742);
        ok = false;
    }
    cnetClose(ctl, st);
    cnetFreeCNETCTL(ctl);
    std::free(ctl);
    return ok && !cnetFailed(st);
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
    CNETSTATUS ignored;
    cnetClearStatus(&ignored);
    cnetUnlock(nullptr, 3, dirspec, name, &lk, cnetFailed(st) ? &ignored : st);
}
