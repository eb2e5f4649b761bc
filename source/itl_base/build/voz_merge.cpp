// voz_merge.cpp -- VOZ__mergeIndex and VOZ__mergeIndexFinish (see
// voz_merge.hpp).
//
// VOZ__mergeIndex, in order; a failure releases the block and clears *cwpp:
//   1 block (new or reused), kind     6 clean-up of the sub-index (journal)
//   2 tag, mark-unit functions        7 store flags, deleted-document lists
//   3 path lengths                    8 primary header (none: retcode 20)
//   4 system parameters, time log     9 second header; nothing to merge?
//   5 file sets and one level        10-11 sections, merge into "#main"
//                                    12 X-index decision
// VOZ__mergeIndexFinish 'G' prepares each merged block's "#main" (its
// X-index copied or moved in) and then switches all of them in through one
// journal mark; see voz_journal.hpp for the states a crash may leave.
#include "build/voz_merge.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "build/voz_callseam.hpp"
#include "build/voz_cleantmp.hpp"
#include "build/voz_createend.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_sysparm.hpp"
#include "build/voz_xindex.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

#define VOZ_MG_STR2(x) #x
#define VOZ_MG_STR(x) VOZ_MG_STR2(x)
#define VOZ_MG_ORIGIN __FILE__ ":" VOZ_MG_STR(__LINE__)

namespace {

constexpr size_t kMaxOutdirAndName = 2046;
constexpr size_t kMaxWorkDir = 2048;
constexpr int32_t kRcMissing = 20;     // "The index does not exist."
constexpr int32_t kRcBadName = 29;     // the index name is incorrect

_FCTLHEAD* set(MERGEWRK* cwp, int kind, int slot) {
    return &cwp->indexSets[kind * VOZ_SETS_PER_KIND + slot];
}

bool tagged(const MERGEWRK* cwp) {
    return cwp != nullptr && strcmp(cwp->tag, VOZ_MERGEWRK_TAG) == 0;
}

// The slot of the second part: supp for kind 1, "#supp" for kind 3.
int secondSlot(const MERGEWRK* cwp) {
    return cwp->operation == VOZ_MERGE_NEWSUPP ? VOZ_SET_SUPP_NEW : VOZ_SET_SUPP;
}

bool exists(const std::string& path) {
    struct stat sb;
    return stat(path.c_str(), &sb) == 0;
}

// Path of the directory of `fs` as file type `fileType` (or of its
// deleted-document directory).
std::string dirOf(const _FCTLHEAD* fs, int32_t fileType, bool deleted) {
    _FCTLHEAD probe = *fs;
    probe.fileType = fileType;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &probe, static_cast<uint16_t>(VOZ_FT_DIR | (deleted ? VOZ_FT_DELETED : 0)));
    return name;
}

// Frees the block's memory without touching any file.
void freeBlock(MERGEWRK* cwp) {
    voz_freeForCreation(cwp);
    free(cwp);
}

// Step 5: the eight file sets (the work slot stays empty) and one level
// without sections. 0 or -1.
int setUpBlock(MERGEWRK* cwp, const char* name, const char* outdir,
               const char* letters, const char* prefix, GTRSTATUS* st) {
    static const int32_t kTypes[] = {VOZ_HALF_MAIN, VOZ_HALF_SUPP, VOZ_HALF_MAIN_NEW,
                                     VOZ_HALF_SUPP_NEW};
    for (int kind = 0; kind < 2; ++kind) {
        for (int slot = 0; slot < 4; ++slot) {
            _FCTLHEAD* fs = set(cwp, kind, slot);
            if (voz_SetFctlForRead(fs, name, outdir, 0, kind, letters, prefix, st) != 0)
                return -1;
            fs->fileType = kTypes[slot];
        }
    }
    cwp->levels = static_cast<MCTLINFO*>(calloc(1, sizeof(MCTLINFO)));
    if (cwp->levels == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2234, nullptr, ENOMEM);
        return -1;
    }
    cwp->levelsAllocated = 1;
    cwp->levels[0].lowDocno = 0x7FFFFFFF;
    cwp->levels[0].highMark = -1;
    return 0;
}

// Step 10: the two (or one) sections: the primary half and the second
// part, each with its header. 0 or -1.
int fillSections(MERGEWRK* cwp, int n, const KEYINFO_0 headers[2], GTRSTATUS* st) {
    MCTLINFO* l0 = &cwp->levels[0];
    if (l0->sections == nullptr) {
        l0->sections = static_cast<MCTLHEAD*>(calloc(2, sizeof(MCTLHEAD)));
        if (l0->sections == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 28, nullptr, ENOMEM);
            return -1;
        }
        l0->maxSections = 2;
    }
    _FCTLHEAD* parts[2] = {set(cwp, 0, VOZ_SET_MAIN), set(cwp, 0, secondSlot(cwp))};
    for (int i = 0; i < n; ++i) {
        memset(&l0->sections[i], 0, sizeof(MCTLHEAD));
        l0->sections[i].idx = *parts[i];
        l0->sections[i].basic = headers[i];
        l0->sections[i].workKind = 'N';
    }
    l0->numSections = static_cast<uint16_t>(n);
    l0->fileOwner = 0;
    l0->filesOpen = 0;
    return 0;
}

// Step 12: what becomes of the X-indexes. 0 or -1.
int decideXindex(MERGEWRK* cwp, const KEYINFO_0 headers[2], int n, CHGRECNO* changes,
                 GTRSTATUS* st) {
    KEYINFO_0 merged{};
    voz_IDXqueryExistence(cwp->targetSet, &merged, st);
    if (voz_Failed(st)) return -1;
    const uint32_t w56 = merged.varKeys;
    if (w56 == merged.filteredVarKeys) {
        cwp->xindexResult = VOZ_XINDEX_NONE;
    } else if (w56 == headers[0].varKeys) {
        cwp->xindexResult = VOZ_XINDEX_KEPT;
    } else if (n == 2 && w56 == headers[1].varKeys) {
        cwp->xindexResult = cwp->operation == VOZ_MERGE_NEWSUPP ? VOZ_XINDEX_NEWSUPP_KEPT
                                                                : VOZ_XINDEX_SUPP_KEPT;
    } else {
        cwp->xindexResult = VOZ_XINDEX_REBUILT;
        bool own0 = headers[0].filteredVarKeys != headers[0].varKeys;
        bool own1 = n == 2 && headers[1].filteredVarKeys != headers[1].varKeys;
        VOZXMERGEIN in[2] = {{own0 ? set(cwp, 1, VOZ_SET_MAIN) : nullptr, &changes[0]},
                             {own1 ? set(cwp, 1, secondSlot(cwp)) : nullptr, &changes[1]}};
        return voz_MergeXindex(1, set(cwp, 1, VOZ_SET_WORK), in, set(cwp, 1, VOZ_SET_MAIN_NEW),
                               cwp->timeLogFlag, cwp->creationParm.keyCallback, st);
    }
    return 0;
}

// Steps 6-13 once the block is set up. 0 or -1.
int runMerge(MERGEWRK* cwp, GTRSTATUS* st) {
    if (vozCleanTmpDir(cwp, st) != 0) return -1;
    _FCTLHEAD* main = set(cwp, 0, VOZ_SET_MAIN);
    _FCTLHEAD* second = set(cwp, 0, secondSlot(cwp));
    main->flags |= VOZ_FCTL_CHOOSE | VOZ_FCTL_TAKE_FLAGS;
    set(cwp, 0, VOZ_SET_MAIN_NEW)->flags |= VOZ_FCTL_CHOOSE;
    main->noAutoTransaction = cwp->flushFlag == 'Y' ? 1 : 0;
    main->deletedDocs = vozAllocateDeletedDocs(main, 0, st);
    if (voz_Failed(st)) return -1;
    _FCTLHEAD* supp = set(cwp, 0, VOZ_SET_SUPP);
    supp->deletedDocs = vozAllocateDeletedDocs(supp, 0, st);
    if (voz_Failed(st)) return -1;
    KEYINFO_0 headers[2] = {};
    if (voz_IDXqueryExistence(main, &headers[0], st) != VOZ_EXISTS) {
        if (!voz_Failed(st)) voz_setStatus(st, kRcMissing, 2120);
        return -1;
    }
    int n = voz_IDXqueryExistence(second, &headers[1], st) == VOZ_EXISTS ? 2 : 1;
    if (voz_Failed(st)) return -1;
    cwp->mainState = 'N';
    if (n == 1 && main->deletedDocs == nullptr) return 0;  // nothing to merge
    if (fillSections(cwp, n, headers, st) != 0) return -1;
    cwp->targetSet = set(cwp, 0, VOZ_SET_MAIN_NEW);
    if (vozCreateIndexDirectory(cwp->targetSet, st) != 0) return -1;
    CHGRECNO changes[2] = {};
    int rc = voz_MergePatt(cwp, cwp->targetSet, 0, n == 2 ? changes : nullptr, st);
    cwp->levels[0].numSections = 0;
    if (rc == 0) {
        cwp->targetSet->flags |= VOZ_FCTL_CREATING;
        rc = decideXindex(cwp, headers, n, changes, st);
    }
    voz_FreeChgRecNo(&changes[0]);
    voz_FreeChgRecNo(&changes[1]);
    if (rc != 0 || voz_Failed(st)) return -1;
    cwp->mainState = 'M';
    return 0;
}

// ---- the finish ------------------------------------------------------------

// The X-index the merged half keeps, put into "#main" before the switch.
// The live halves are only copied from: nothing live moves before the mark.
int placeXindex(MERGEWRK* cwp, GTRSTATUS* st) {
    _FCTLHEAD* target = set(cwp, 1, VOZ_SET_MAIN_NEW);
    GTRSTATUS probe{};
    switch (cwp->xindexResult) {
    case VOZ_XINDEX_KEPT:
    case VOZ_XINDEX_SUPP_KEPT: {
        _FCTLHEAD* from = set(cwp, 1, cwp->xindexResult == VOZ_XINDEX_KEPT ? VOZ_SET_MAIN
                                                                             : VOZ_SET_SUPP);
        if (voz_IDXqueryExistence(from, nullptr, &probe) != VOZ_EXISTS) return 0;
        return voz_IDXcopy(from, target, st);
    }
    case VOZ_XINDEX_NEWSUPP_KEPT:
        return voz_IDXrename(set(cwp, 1, VOZ_SET_SUPP_NEW), target, st);
    default:
        return 0;
    }
}

// A merge of main with the "#supp" part leaves the live supp in place: its
// deleted-document list is carried into the new "del" directory.
int keepSuppList(MERGEWRK* cwp, GTRSTATUS* st) {
    _FCTLHEAD* supp = set(cwp, 0, VOZ_SET_SUPP);
    if (supp->deletedDocs == nullptr) return 0;
    vozFreeDeletedDocs(supp->deletedDocs, supp, st);
    supp->deletedDocs = nullptr;
    return voz_Failed(st) ? -1 : 0;
}

// Adds the steps of one merged block: "main" replaced, the merged supp and
// the consumed deleted-document directory set aside. 0 or -1.
int addSteps(MERGEWRK* cwp, VOZJOURNAL* j, GTRSTATUS* st) {
    const _FCTLHEAD* main = set(cwp, 0, VOZ_SET_MAIN);
    const char* prefix = main->subdirPrefix[0] != '\0' ? main->subdirPrefix : cwp->directoryPrefix;
    if (placeXindex(cwp, st) != 0) return -1;
    if (voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, prefix, st) != 0) return -1;
    if (cwp->operation == VOZ_MERGE_SUPP) {
        if (exists(dirOf(main, VOZ_HALF_SUPP, false)) &&
            voz_JnlAdd(j, VOZ_JNL_SET_ASIDE, VOZ_JNL_SUPP, prefix, st) != 0)
            return -1;
    } else if (keepSuppList(cwp, st) != 0) {
        return -1;
    }
    if (exists(dirOf(main, VOZ_HALF_MAIN_NEW, true)))
        return voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_DELETED, prefix, st);
    if (exists(dirOf(main, VOZ_HALF_MAIN, true)))
        return voz_JnlAdd(j, VOZ_JNL_SET_ASIDE, VOZ_JNL_DELETED, prefix, st);
    return 0;
}

// 'G': the merged blocks of one index under one mark; blocks of another
// index (never the case for the call layer) under a mark of their own.
int commitAll(MERGEWRK* blocks[2], bool stageOnly, GTRSTATUS* st) {
    const _FCTLHEAD* mains[2] = {};
    for (int i = 0; i < 2; ++i)
        if (blocks[i] != nullptr) mains[i] = set(blocks[i], 0, VOZ_SET_MAIN);
    if (stageOnly)
        return voz_JnlStageBlocks(
            2, mains, [blocks](int i, VOZJOURNAL* j, GTRSTATUS* s) { return addSteps(blocks[i], j, s); },
            st);
    return voz_JnlCommitBlocks(
        2, mains, [blocks](int i, VOZJOURNAL* j, GTRSTATUS* s) { return addSteps(blocks[i], j, s); },
        nullptr, st);
}

// 'C': the "#" parts of each block removed (failures ignored); refused for
// a block whose merge wrote its primary half without a transaction.
int cancelAll(MERGEWRK* used[2], GTRSTATUS* st) {
    for (int i = 0; i < 2; ++i) {
        MERGEWRK* cwp = used[i];
        if (cwp == nullptr) continue;
        voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_OTHER, 'T', cwp->timeLogFlag);
        if (cwp->flushFlag == 'Y') {
            voz_TimeLogC(&cwp->timeLog, "Cancel denied", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
            voz_setStatus(st, VOZ_RC_PARAMETER, 2023);
            return -1;
        }
        voz_TimeLogC(&cwp->timeLog, "Canceled", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
    }
    return 0;
}

}  // namespace

namespace {

void mergeIndex(MERGEWRK** cwpp, const char* idxname, const char* outdir,
                const char* letters, const char* prefix, const char* wrkdir,
                const GTRSYSPARM* sysp, VOZ_MARKSETUNIT_FN markSet,
                VOZ_KEYCALLBACK_FN markCheck, char cStatus, MERGEWRK* reuse,
                GTRSTATUS* st) {
    voz_ClearStatus(st);
    *cwpp = nullptr;
    const bool reused = cStatus == VOZ_MERGE_NEWSUPP && reuse != nullptr;
    MERGEWRK* cwp = reused ? reuse : static_cast<MERGEWRK*>(calloc(1, sizeof(MERGEWRK)));
    if (cwp == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 24, nullptr, ENOMEM);
        return;
    }
    int rc = 0;
    if (cStatus != VOZ_MERGE_SUPP && cStatus != VOZ_MERGE_NEWSUPP) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2102);
        rc = -1;
    }
    if (rc == 0) {
        memset(cwp->tag, 0, sizeof cwp->tag);
        strcpy(cwp->tag, VOZ_MERGEWRK_TAG);
        cwp->operation = cStatus;
        cwp->creationParm.markSetter = markSet;
        cwp->creationParm.keyCallback = markCheck;
        strncpy(cwp->directoryPrefix, prefix, VOZ_PREFIX_LEN - 1);
        if (strlen(outdir) + strlen(idxname) > kMaxOutdirAndName) {
            voz_setStatus(st, kRcBadName, 25);
            rc = -1;
        } else if (strlen(wrkdir) >= kMaxWorkDir) {
            voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 27);
            rc = -1;
        }
    }
    if (rc == 0 && !reused) {
        VOZSYSPARM sys;
        voz_GetGTRsysparm('B', sysp, &sys, 0, nullptr);
        cwp->timeLogFlag = sys.timeLogFlag;
        cwp->flushFlag = sys.flushFlag;
        strncpy(cwp->workDirectory, wrkdir, VOZ_FNAME_LEN - 1);
    }
    if (rc == 0) {
        voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_MERGE, 'T', cwp->timeLogFlag);
        voz_TimeLogC(&cwp->timeLog, " Start...", VOZ_PHASE_MERGE, 'O', cwp->timeLogFlag);
        char four[5] = {0};
        memcpy(four, letters, 4);
        if (!reused) rc = setUpBlock(cwp, idxname, outdir, four, prefix, st);
    }
    if (rc == 0) rc = runMerge(cwp, st);
    if (rc != 0 || voz_Failed(st)) {
        if (voz_Failed(st) && st->retcode == kRcMissing) {
            freeBlock(cwp);  // nothing was written: only memory to free
        } else {
            voz_CreateIndexReleaseAll(cwp, st);
        }
        return;
    }
    *cwpp = cwp;
}

}  // namespace

void VOZ__mergeIndex(MERGEWRK** cwpp, const char* idxname, const char* outdir,
                     const char* letters, const char* prefix,
                     const char* wrkdir, const GTRSYSPARM* sysp,
                     VOZ_MARKSETUNIT_FN markSet, VOZ_KEYCALLBACK_FN markCheck,
                     char cStatus, MERGEWRK* reuse, GTRSTATUS* st) {
    vozTraceCallStart("VOZ_mergeIndex", VOZ_MG_ORIGIN);
    vozTraceArg("cwpp", &cwpp, sizeof cwpp, VOZ_MG_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_MG_ORIGIN);
    vozTraceText("outdir", outdir, VOZ_MG_ORIGIN);
    vozTraceText("wrkdir", wrkdir, VOZ_MG_ORIGIN);
    vozTraceArg("*sysp", sysp, sysp != nullptr ? sizeof *sysp : 0, VOZ_MG_ORIGIN);
    vozTraceArg("cStatus", &cStatus, 1, VOZ_MG_ORIGIN);
    mergeIndex(cwpp, idxname, outdir, letters, prefix, wrkdir, sysp, markSet, markCheck,
               cStatus, reuse, st);
    vozTraceArg("*cwpp", cwpp, sizeof *cwpp, VOZ_MG_ORIGIN);
    vozTraceCallEnd("VOZ_mergeIndex", st, VOZ_MG_ORIGIN);
}

namespace {

int mergeFinish(MERGEWRK* cwp1, MERGEWRK* cwp2, long use1, long use2, char proc,
                bool stageOnly, GTRSTATUS* st) {
    vozTraceCallStart("VOZ_mergeIndexFinish", VOZ_MG_ORIGIN);
    vozTraceArg("cwp1", &cwp1, sizeof cwp1, VOZ_MG_ORIGIN);
    vozTraceArg("cwp2", &cwp2, sizeof cwp2, VOZ_MG_ORIGIN);
    vozTraceArg("proc", &proc, 1, VOZ_MG_ORIGIN);
    voz_ClearStatus(st);
    MERGEWRK* used[2] = {use1 != 0 && tagged(cwp1) ? cwp1 : nullptr,
                         use2 != 0 && tagged(cwp2) ? cwp2 : nullptr};
    bool bad = (!tagged(cwp1) && !tagged(cwp2)) || (use1 != 0 && !tagged(cwp1)) ||
               (use2 != 0 && !tagged(cwp2));
    bool keepFiles = false;
    if (bad) {
        voz_setStatus(st, VOZ_RC_HANDLE, 29);
    } else if (proc == 'C') {
        keepFiles = cancelAll(used, st) != 0;
    } else if (proc == 'G') {
        MERGEWRK* merged[2] = {};
        for (int i = 0; i < 2; ++i)
            if (used[i] != nullptr && used[i]->mainState == 'M') merged[i] = used[i];
        commitAll(merged, stageOnly, st);
    } else {
        voz_setStatus(st, VOZ_RC_PARAMETER, 30);
    }
    // Release: the "#" parts go with the blocks (a pending mark keeps them
    // for recovery), except after a refused cancel.
    for (MERGEWRK* cwp : used) {
        if (cwp == nullptr) continue;
        if (keepFiles) {
            freeBlock(cwp);
        } else {
            voz_CreateIndexReleaseAll(cwp, st);
        }
    }
    vozTraceCallEnd("VOZ_mergeIndexFinish", st, VOZ_MG_ORIGIN);
    return voz_Failed(st) ? -1 : 0;
}

}  // namespace

int VOZ__mergeIndexFinish(MERGEWRK* cwp1, MERGEWRK* cwp2, long use1, long use2,
                          char proc, GTRSTATUS* st) {
    return mergeFinish(cwp1, cwp2, use1, use2, proc, false, st);
}

int VOZ__mergeIndexStage(MERGEWRK* cwp1, MERGEWRK* cwp2, long use1, long use2,
                         GTRSTATUS* st) {
    return mergeFinish(cwp1, cwp2, use1, use2, 'G', true, st);
}
