// cnet_verify.cpp -- the administration readers of a live dictionary:
// vozCNETverify (the four files against each other and the head, then
// the word index through the engine) and vozCNETdump (the dictionary, or
// the groups of one term, written back as a definition file).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "calls/voz_gtradmin.hpp"
#include "calls/voz_wordcalls.hpp"
#include "cnet_def.hpp"
#include "cnet_refer.hpp"
#include "cnet_regist.hpp"
#include "files/voz_status.hpp"

namespace {

bool allZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0) return false;
    return true;
}

bool validRel(CNETREL r) {
    return (r.category < 4 || r.category == 255) && (r.id < 3 || r.id >= 128);
}

bool optionsOk(const CNETEXEC* opts) {
    return opts == nullptr ||
           (allZero(opts->reserved, sizeof opts->reserved) &&
            (opts->flags & ~(CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS | CNET_EXEC_WARNINGS)) == 0);
}

// The passes of the verification over the open live set.
bool verifyTables(CNETCTL* ctl, const CNETEXEC* opts, CNETSTATUS* st) {
    const CNETHEAD& h = ctl->head;
    const uint64_t slotsW = ctl->f[CNET_WORD_SLOTS].size;
    const uint64_t slotsG = ctl->f[CNET_GROUP_SLOTS].size;
    if (slotsW < CNET_HEAD_SIZE || uint64_t{h.wordCount} * CNET_SLOT_SIZE > slotsW - CNET_HEAD_SIZE ||
        uint64_t{h.groupCount} * CNET_SLOT_SIZE > slotsG || h.deletedWords > h.wordCount ||
        h.deletedGroups > h.groupCount) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 1000);
        return false;
    }
    std::vector<uint8_t> groups(h.groupCount), words(h.wordCount);
    const uint64_t total = uint64_t{h.groupCount} * 2 + uint64_t{h.wordCount} * 2;
    uint64_t done = 0;
    uint32_t live = 0;
    for (uint32_t g = 0; g < h.groupCount; ++g) {
        CNETGROUP grp;
        if (!cnetReadGroup(ctl, g, &grp, st)) return false;
        if (!grp.deleted) {
            groups[g] = 1;
            ++live;
        }
        cnetProgress(opts, ++done, total);
    }
    if (live != h.groupCount - h.deletedGroups) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 1001);
        return false;
    }
    live = 0;
    for (uint32_t w = 0; w < h.wordCount; ++w) {
        CNETWORD word;
        if (!cnetReadWord(ctl, w, &word, st)) return false;
        if (!word.deleted) {
            words[w] = 1;
            ++live;
        }
        cnetProgress(opts, ++done, total);
    }
    if (live != h.wordCount - h.deletedWords) {
        cnetSetStatus(st, CNET_RC_INTEGRITY, 1002);
        return false;
    }
    for (uint32_t g = 0; g < h.groupCount; ++g) {
        cnetProgress(opts, ++done, total);
        if (!groups[g]) continue;
        CNETGROUP grp;
        if (!cnetReadGroup(ctl, g, &grp, st)) return false;
        bool ok = grp.memberCount <= h.maxGroupMembers && grp.relCount <= h.maxGroupRels &&
                  validRel(grp.rel);
        uint32_t members = 0;
        for (uint32_t i = 0; ok && i < grp.memberCount + grp.relCount; ++i) {
            const CNETGRPENTRY& e = grp.entries[i];
            // Group entries hold strengths 0..100.
            ok = e.wordId < h.wordCount && words[e.wordId] && e.strength <= 100 &&
                 validRel(e.rel);
            if (e.rel.category == 255) ++members;
        }
        if (!ok || members != grp.memberCount) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 1003);
            return false;
        }
    }
    for (uint32_t w = 0; w < h.wordCount; ++w) {
        cnetProgress(opts, ++done, total);
        if (!words[w]) continue;
        CNETWORD word;
        if (!cnetReadWord(ctl, w, &word, st)) return false;
        bool ok = word.groupCount <= h.maxWordGroups && word.relCount <= h.maxWordRels;
        for (uint32_t i = 0; ok && i < word.groupCount; ++i)
            ok = word.groups[i] < h.groupCount && groups[word.groups[i]];
        for (uint32_t i = 0; ok && i < word.relCount; ++i) {
            const CNETRELENTRY& r = word.rels[i];
            ok = r.target < h.wordCount && words[r.target] && validRel(r.rel) &&
                 r.rel.category != 255 && r.strength >= 1 && r.strength <= 100;
        }
        if (!ok) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 1004);
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" void vozCNETverify(const char* dirspec, const char* name, const CNETEXEC* opts,
                              void* reserved1, void* reserved2, CNETSTATUS* st) {
    if (st == nullptr) return;
    cnetClearStatus(st);
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    if (reserved1 != nullptr || reserved2 != nullptr || !optionsOk(opts)) {
        cnetSetStatus(st, CNET_RC_RESERVED, 1010);
        return;
    }
    cnetTimef(opts, "Verify start...\n");
    CNETLOCK lk;
    cnetLockInit(&lk);
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    if (ctl == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 1011);
        return;
    }
    bool ok = cnetOpenForReading(dirspec, name, &lk, ctl, st);
    try {
        ok = ok && verifyTables(ctl, opts, st);
    } catch (const std::bad_alloc&) {
        cnetSetStatus(st, CNET_RC_MEMORY, 1012);
        ok = false;
    }
    if (ok) {
        cnetOutf(opts, "\n");
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        const int8_t option = cnetShowProgress(opts) ? 0 : 0x08;
        GTRverifyIndex(name, cnetIndexDir(&dirs), nullptr, option, nullptr, &gs);
        if (gs.retcode != 0) {
            cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                          CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode), gs.errfname1,
                          gs.errfname2);
            ok = false;
        }
    }
    cnetCloseForReading(dirspec, name, &lk, ctl, st);
    std::free(ctl);
    if (ok && !cnetFailed(st)) cnetTimef(opts, "Verify end\n");
}

// ---- dump ------------------------------------------------------------------------

// The sorted, distinct group ids of `ids` (duplicates dropped in place).
void cnetGrpIdCheck(std::vector<uint32_t>* ids) {
    std::sort(ids->begin(), ids->end());
    ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
}

// Writes group `g` as one block; a deleted group is skipped.
bool cnetDumpGroup(CNETCTL* ctl, DEFCTL* dc, uint32_t g, const CNETEXEC* opts, CNETSTATUS* st) {
    CNETGROUP grp;
    if (!cnetReadGroup(ctl, g, &grp, st)) return false;
    if (grp.deleted) return true;
    // The read buffers serve the word reads below: keep the entries.
    std::vector<CNETGRPENTRY> entries(grp.entries, grp.entries + grp.memberCount + grp.relCount);
    cnetDefClearBlock(dc);
    dc->blockRel = grp.rel;
    for (const CNETGRPENTRY& e : entries) {
        CNETWORD w;
        if (!cnetReadWord(ctl, e.wordId, &w, st)) return false;
        if (w.deleted) {
            cnetSetStatus(st, CNET_RC_INTEGRITY, 1020);
            return false;
        }
        if (!cnetDefAddEntry(dc, w.text, w.textLen, e.strength, e.rel, st)) return false;
    }
    return cnetDefWrite(dc, opts, st);
}

extern "C" void vozCNETdump(const char* dirspec, const char* name, const CNETBASE* base,
                            const CNETDEFINE* out, const CNETEXEC* opts, void* reserved,
                            CNETSTATUS* st) {
    if (st == nullptr) return;
    cnetClearStatus(st);
    CNETDIRS dirs;
    if (!cnetSplitDirs(dirspec, name, &dirs, st)) return;
    if (out == nullptr || (base != nullptr && (base->length > 64 || (base->length > 0 &&
                                                                      base->precision != 100))) ||
        out->kind != CNET_DEFINE_KIND_FILE || out->fileName == nullptr ||
        out->fileName[0] == '\0' || out->format != 0 ||
        std::strlen(out->fileName) >= CNET_NAME_MAX + 1) {
        cnetSetStatus(st, CNET_RC_PARAMETER, 1030);
        return;
    }
    if (reserved != nullptr || !allZero(out->reserved1, sizeof out->reserved1) ||
        !allZero(out->reserved2, sizeof out->reserved2) ||
        !allZero(out->reserved3, sizeof out->reserved3) ||
        (base != nullptr && !allZero(base->reserved, sizeof base->reserved)) || !optionsOk(opts)) {
        cnetSetStatus(st, CNET_RC_RESERVED, 1031);
        return;
    }
    bool exists = false;
    if (!cnetExist(dirspec, name, &exists, nullptr, st)) return;
    if (!exists && !cnetCommitMarkExists(&dirs, name)) {
        cnetSetStatus(st, CNET_RC_NOT_EXIST, 1032);
        return;
    }
    const bool replace = opts != nullptr && (opts->flags & CNET_EXEC_REPLACE) != 0;
    struct stat sb;
    if (!replace && stat(out->fileName, &sb) == 0) {
        cnetSetStatus(st, CNET_RC_OUTPUT_EXISTS, 1033, out->fileName);
        return;
    }
    // With replacing, the dump goes to a file beside the output that
    // replaces it only when complete: a failed dump leaves the old output.
    char temp[CNET_PATH_MAX];
    std::snprintf(temp, sizeof temp, "%s.$dmp", out->fileName);
    CNETDEFINE target = *out;
    if (replace) target.fileName = temp;
    cnetTimef(opts, "Dump start...\n");
    CNETLOCK lk;
    cnetLockInit(&lk);
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    DEFCTL* dc = static_cast<DEFCTL*>(std::calloc(1, sizeof(DEFCTL)));
    if (ctl == nullptr || dc == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 1034);
        std::free(ctl);
        std::free(dc);
        return;
    }
    bool ok = cnetOpenForReading(dirspec, name, &lk, ctl, st);
    bool opened = false;
    try {
        std::vector<uint32_t> groupIds;
        const bool whole = base == nullptr || base->length == 0 || base->term[0] == 0;
        if (ok && !whole) {
            const uint8_t cp = ctl->head.codepage;
            uint8_t norm[CNET_DEF_NORM_MAX * 2 + 8];
            int32_t normLen = 0;
            GTRSTATUS gs;
            std::memset(&gs, 0, sizeof gs);
            GTRnormalizeWord(cp, base->term, base->length, norm, static_cast<int32_t>(sizeof norm),
                             &normLen, 1, &gs);
            uint8_t display[CNET_DEF_NORM_MAX];
            uint32_t displayLen = 0;
            if (gs.retcode != 0) {
                cnetSetStatus(st, CNET_RC_ENGINE + static_cast<uint32_t>(gs.retcode),
                              CNET_RC_ENGINE + static_cast<uint32_t>(gs.errcode));
                ok = false;
            } else if (normLen <= 0 || normLen > static_cast<int32_t>(CNET_DEF_NORM_MAX)) {
                cnetSetStatus(st, CNET_RC_PARAMETER, 1035);
                ok = false;
            }
            ok = ok && cnetGTRunnormalizeWord(cp, norm, static_cast<uint32_t>(normLen), display,
                                              CNET_DEF_NORM_MAX, &displayLen, st);
            uint32_t* ids = nullptr;
            uint32_t count = 0;
            void* work = nullptr;
            ok = ok && cnetWord_WordID(&work, &dirs, name, cp, display, displayLen, 100,
                                       base->singleMask, base->multiMask, &ids, &count, st);
            cnetWord_WordID_Release(&work);
            for (uint32_t i = 0; ok && i < count; ++i) {
                CNETWORD w;
                if (!cnetReadWord(ctl, ids[i], &w, st)) ok = false;
                else if (!w.deleted) groupIds.insert(groupIds.end(), w.groups, w.groups + w.groupCount);
            }
            std::free(ids);
            if (ok && groupIds.empty()) {
                cnetSetStatus(st, CNET_RC_NOT_FOUND, 1036);
                ok = false;
            }
            cnetGrpIdCheck(&groupIds);
        }
        if (ok) ok = opened = cnetDefOpen(dc, &target, ctl->head.codepage, "wb", st);
        if (ok && whole) {
            for (uint32_t g = 0; ok && g < ctl->head.groupCount; ++g) {
                ok = cnetDumpGroup(ctl, dc, g, opts, st);
                cnetProgress(opts, g + 1, ctl->head.groupCount);
            }
            cnetOutf(opts, "\n");
        } else if (ok) {
            for (uint32_t g : groupIds)
                if (ok) ok = cnetDumpGroup(ctl, dc, g, opts, st);
        }
    } catch (const std::bad_alloc&) {
        cnetSetStatus(st, CNET_RC_MEMORY, 1037);
        ok = false;
    }
    if (opened) {
        if (ok && (std::fflush(dc->fp) != 0 || cnetFileOpRefused("fsync", target.fileName) != 0 ||
                   fsync(fileno(dc->fp)) != 0)) {
            cnetSetStatus(st, CNET_RC_WRITE, 1038, target.fileName);
            ok = false;
        }
        cnetDefClose(dc, st);
        ok = ok && !cnetFailed(st);
        if (replace) {
            if (ok && (cnetFileOpRefused("rename", temp) != 0 ||
                       std::rename(temp, out->fileName) != 0)) {
                cnetSetStatus(st, CNET_RC_RENAME, 1039, temp, out->fileName);
                ok = false;
            }
            if (!ok) unlink(temp);
        }
    } else {
        cnetDefClose(dc, nullptr);
        if (replace) unlink(temp);
    }
    cnetCloseForReading(dirspec, name, &lk, ctl, st);
    std::free(ctl);
    std::free(dc);
    if (ok && !cnetFailed(st)) cnetTimef(opts, "Dump end\n");
}
