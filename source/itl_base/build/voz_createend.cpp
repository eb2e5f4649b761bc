// voz_createend.cpp -- the end of a creation cycle: VOZ_createIndexLast
// (pending document, last flush, merge of every level into the "#" half)
// and VOZ_createIndexTerm (commit through the journal, or cancel). See
// voz_createend.hpp.
//
// The commit of a new index moves the new half from "#supp" to "#main"
// first (both "#" names: nothing live changes), then the journal replaces
// "main" (and sets aside an old "supp" and "del"); an append replaces
// "supp" (and "del" when the cycle wrote a new deleted-document list or
// merged the old supp, whose list then no longer applies).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "build/voz_createend.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_docidchk.hpp"
#include "build/voz_pattpool.hpp"
#include "build/voz_xindex.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

bool validBlock(const CREATWRK* cwp) {
    return cwp != nullptr && strcmp(cwp->tag, VOZ_CREATWRK_TAG) == 0;
}

bool flushed(const CREATWRK* cwp) { return cwp->tag[VOZ_TAG_FLUSHED] == 'Y'; }

_FCTLHEAD* set(CREATWRK* cwp, int kind, int slot) {
    return &cwp->indexSets[kind * VOZ_SETS_PER_KIND + slot];
}

// The header of `fs` read through its existence test (cleared when the
// set is missing). 0 or -1.
int readHeader(_FCTLHEAD* fs, KEYINFO_0* out, GTRSTATUS* st) {
    voz_IDXqueryExistence(fs, out, st);
    return voz_Failed(st) ? -1 : 0;
}

// Merges `a` and `b`, both parts of indexes, into `target` as the two
// sections of level 0, with their record-number changes. 0 or -1.
int mergePair(CREATWRK* cwp, _FCTLHEAD* a, _FCTLHEAD* b, _FCTLHEAD* target,
              CHGRECNO* changes, GTRSTATUS* st) {
    MCTLINFO* l0 = &cwp->levels[0];
    l0->numSections = 2;
    _FCTLHEAD* parts[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        memset(&l0->sections[i], 0, sizeof(MCTLHEAD));
        l0->sections[i].idx = *parts[i];
        l0->sections[i].workKind = 'N';
    }
    l0->fileOwner = 0;
    l0->filesOpen = 0;
    int rc = voz_MergePatt(cwp, target, 0, changes, st);
    l0->numSections = 0;
    return rc;
}

// Builds the X-index of `from` into X set `into` ('R'). 0 or -1.
int buildXindex(CREATWRK* cwp, _FCTLHEAD* from, int into, GTRSTATUS* st) {
    cwp->xindexResult = VOZ_XINDEX_REBUILT;
    return voz_CreateXindex(from, cwp, set(cwp, 1, into), st);
}

// Builds the X-index of the work set and merges it with the supp half's
// through the record-number changes of the key merge. 0 or -1.
int mergeXindex(CREATWRK* cwp, CHGRECNO* changes, GTRSTATUS* st) {
    if (buildXindex(cwp, set(cwp, 0, VOZ_SET_WORK), VOZ_SET_WORK, st) != 0) return -1;
    VOZXMERGEIN in[2] = {{set(cwp, 1, VOZ_SET_SUPP), &changes[0]},
                         {set(cwp, 1, VOZ_SET_WORK), &changes[1]}};
    return voz_MergeXindex(1, set(cwp, 1, VOZ_SET_WORK), in, set(cwp, 1, VOZ_SET_SUPP_NEW),
                           cwp->timeLogFlag, cwp->creationParm.keyCallback, st);
}

// Step 3e: the X-index from the header just read (words 56 and 76).
int decideXindex(CREATWRK* cwp, const KEYINFO_0& h, GTRSTATUS* st) {
    if (h.varKeys == h.filteredVarKeys) {
        cwp->xindexResult = VOZ_XINDEX_NONE;
        return 0;
    }
    if (static_cast<int32_t>(h.varKeys) == cwp->suppVariableKeys) {
        cwp->xindexResult = VOZ_XINDEX_KEPT;
        return 0;
    }
    return buildXindex(cwp, cwp->targetSet, VOZ_SET_SUPP_NEW, st);
}

// Step 3: the merge of every level and of the existing supp half, then
// the X-index. 0 or -1.
int mergeAll(CREATWRK* cwp, GTRSTATUS* st) {
    _FCTLHEAD* supp = set(cwp, 0, VOZ_SET_SUPP);
    _FCTLHEAD* work = set(cwp, 0, VOZ_SET_WORK);
    _FCTLHEAD* suppNew = set(cwp, 0, VOZ_SET_SUPP_NEW);
    KEYINFO_0 h{};
    if (cwp->suppVariableKeys < 1) {
        if (vozMergeWorkFiles(cwp, cwp->targetSet, 0, 1, cwp->previousSet, st) != 0) return -1;
        if (readHeader(cwp->targetSet, &h, st) != 0) return -1;
        return decideXindex(cwp, h, st);
    }
    if (vozMergeWorkFiles(cwp, work, 0, 1, nullptr, st) != 0) return -1;
    CHGRECNO changes[2] = {};
    int rc = mergePair(cwp, supp, work, suppNew, changes, st);
    if (rc == 0) rc = readHeader(suppNew, &h, st);
    if (rc == 0 && h.varKeys == h.filteredVarKeys) {
        cwp->xindexResult = VOZ_XINDEX_NONE;
    } else if (rc == 0 && static_cast<int32_t>(h.varKeys) == cwp->suppVariableKeys) {
        cwp->xindexResult = VOZ_XINDEX_KEPT;
    } else if (rc == 0) {
        rc = mergeXindex(cwp, changes, st);
    }
    voz_FreeChgRecNo(&changes[0]);
    voz_FreeChgRecNo(&changes[1]);
    return rc;
}

// Whether the half of `fs` exists on disk.
bool halfExists(_FCTLHEAD* fs) {
    GTRSTATUS probe{};
    return voz_IDXqueryExistence(fs, nullptr, &probe) == VOZ_EXISTS;
}

// Step 4: the deleted-document lists, written (main; supp unless merged)
// under the "#" name and freed. Deletions go into both lists; an index
// without a supp half (a cycle that only deletes, or one right after a
// merge) holds every document in main, whose list keeps them, so the supp
// list has nothing to apply to and is dropped.
void closeLists(CREATWRK* cwp, GTRSTATUS* st) {
    _FCTLHEAD* main = set(cwp, 0, VOZ_SET_MAIN);
    _FCTLHEAD* supp = set(cwp, 0, VOZ_SET_SUPP);
    GTRSTATUS own{};
    if (main->deletedDocs != nullptr) {
        main->flags |= VOZ_FCTL_TAKE_FLAGS;
        vozFreeDeletedDocs(main->deletedDocs, main, &own);
        main->deletedDocs = nullptr;
    }
    if (supp->deletedDocs != nullptr) {
        bool write = !flushed(cwp) && halfExists(supp);
        vozFreeDeletedDocs(supp->deletedDocs, write ? supp : nullptr, &own);
        supp->deletedDocs = nullptr;
    }
    if (voz_Failed(&own) && !voz_Failed(st)) *st = own;
}

// Path of a directory of the index: the half `fileType` (0-5) of the
// regular sets, or with `deleted` its deleted-documents directory.
std::string dirPath(CREATWRK* cwp, int32_t fileType, bool deleted) {
    _FCTLHEAD fs = *set(cwp, 0, VOZ_SET_MAIN);
    fs.fileType = fileType;
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &fs, static_cast<uint16_t>(VOZ_FT_DIR | (deleted ? VOZ_FT_DELETED : 0)));
    return name;
}

bool exists(const std::string& path) {
    struct stat sb;
    return stat(path.c_str(), &sb) == 0;
}

// The index directory of the block's sets.
std::string indexDir(CREATWRK* cwp) {
    const _FCTLHEAD* m = set(cwp, 0, VOZ_SET_MAIN);
    return std::string(m->directory) + "/" + m->indexName;
}

// Adds the steps of the deleted-document directory: replaced when a new
// one was written, or when the supp half it described was merged (an
// empty new one then takes its place). 0 or -1.
int addDeletedStep(CREATWRK* cwp, VOZJOURNAL* j, const char* prefix, GTRSTATUS* st) {
    std::string fresh = dirPath(cwp, VOZ_HALF_MAIN_NEW, true);
    std::string live = dirPath(cwp, VOZ_HALF_MAIN, true);
    bool replace = exists(fresh);
    if (!replace && flushed(cwp) && cwp->previousSet != nullptr && exists(live)) {
        if (mkdir(fresh.c_str(), 0770) != 0) {
            voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 3412, fresh.c_str(), errno);
            return -1;
        }
        replace = true;
    }
    if (!replace) return 0;
    return voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_DELETED, prefix, st);
}

// Step 3 of the commit, first half: the new parts made ready under their
// "#" names and the block's steps added to `j` (nothing live moves).
// 0 or -1.
int stageCommit(CREATWRK* cwp, VOZJOURNAL* j, GTRSTATUS* st) {
    _FCTLHEAD* main = set(cwp, 0, VOZ_SET_MAIN);
    const char* prefix = main->subdirPrefix[0] != '\0' ? main->subdirPrefix : cwp->directoryPrefix;
    GTRSTATUS ignored{};
    voz_IDXremove(set(cwp, 0, VOZ_SET_WORK), &ignored);
    voz_IDXremove(set(cwp, 1, VOZ_SET_WORK), &ignored);
    bool existed = cwp->mainState == 'E';
    if (flushed(cwp)) {
        if (cwp->xindexResult == VOZ_XINDEX_KEPT) {
            _FCTLHEAD* from = set(cwp, 1, existed ? VOZ_SET_SUPP : VOZ_SET_MAIN);
            if (voz_IDXqueryExistence(from, nullptr, &ignored) == VOZ_EXISTS &&
                voz_IDXcopy(from, set(cwp, 1, VOZ_SET_SUPP_NEW), st) != 0)
                return -1;
        }
        if (existed) {
            if (voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_SUPP, prefix, st) != 0) return -1;
        } else {
            if (voz_IDXswitchDir(set(cwp, 0, VOZ_SET_SUPP_NEW), set(cwp, 0, VOZ_SET_MAIN_NEW), st) != 0)
                return -1;
            if (voz_JnlAdd(j, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, prefix, st) != 0) return -1;
            if (exists(dirPath(cwp, VOZ_HALF_SUPP, false)) &&
                voz_JnlAdd(j, VOZ_JNL_SET_ASIDE, VOZ_JNL_SUPP, prefix, st) != 0)
                return -1;
        }
    } else if (!existed) {
        // A new cycle without documents: an index there goes away.
        static const char kSlots[] = {VOZ_JNL_MAIN, VOZ_JNL_SUPP};
        for (int i = 0; i < 2; ++i)
            if (exists(dirPath(cwp, i, false)) &&
                voz_JnlAdd(j, VOZ_JNL_SET_ASIDE, kSlots[i], prefix, st) != 0)
                return -1;
        if (exists(dirPath(cwp, VOZ_HALF_MAIN, true)) &&
            voz_JnlAdd(j, VOZ_JNL_SET_ASIDE, VOZ_JNL_DELETED, prefix, st) != 0)
            return -1;
    }
    if (existed && addDeletedStep(cwp, j, prefix, st) != 0) return -1;
    return 0;
}

// Step 3, second half, once the mark is gone: what the new parts left.
void finishCommit(CREATWRK* cwp) {
    GTRSTATUS ignored{};
    voz_IDXremove(set(cwp, 0, VOZ_SET_SUPP_NEW), &ignored);
    if (cwp->mainState != 'E' && !flushed(cwp)) rmdir(indexDir(cwp).c_str());  // only when empty
}

// A staged commit keeps the "#" parts for its pending journal; a "#supp"
// half that no step of `j` names is a leftover of the cycle (a cycle that
// only deleted) and goes now, as finishCommit removes it after a commit.
void dropUnstaged(CREATWRK* cwp, const VOZJOURNAL* j) {
    const _FCTLHEAD* main = set(cwp, 0, VOZ_SET_MAIN);
    const char* prefix = main->subdirPrefix[0] != '\0' ? main->subdirPrefix : cwp->directoryPrefix;
    for (uint16_t i = 0; i < j->count; ++i)
        if (j->steps[i].kind == VOZ_JNL_REPLACE && j->steps[i].slot == VOZ_JNL_SUPP &&
            strcmp(j->steps[i].prefix, prefix) == 0)
            return;
    GTRSTATUS ignored{};
    voz_IDXremove(set(cwp, 0, VOZ_SET_SUPP_NEW), &ignored);
}

// Step 3: the new parts of the blocks switched in. Blocks of one index
// (the text and the item sub-index of an update) go under one mark, so
// that a crash leaves both old or both new. With `stageOnly` the mark is
// written under the pending name and nothing live moves. 0 or -1.
int commit(CREATWRK* blocks[2], bool stageOnly, GTRSTATUS* st) {
    const _FCTLHEAD* mains[2] = {};
    for (int i = 0; i < 2; ++i)
        if (blocks[i] != nullptr) mains[i] = set(blocks[i], 0, VOZ_SET_MAIN);
    if (stageOnly)
        return voz_JnlStageBlocks(
            2, mains,
            [blocks](int i, VOZJOURNAL* j, GTRSTATUS* s) {
                if (stageCommit(blocks[i], j, s) != 0) return -1;
                dropUnstaged(blocks[i], j);
                return 0;
            },
            st);
    return voz_JnlCommitBlocks(
        2, mains, [blocks](int i, VOZJOURNAL* j, GTRSTATUS* s) { return stageCommit(blocks[i], j, s); },
        [blocks](int i) { finishCommit(blocks[i]); }, st);
}

// Step 2: the new parts removed (unless a pending mark owns them).
void cancel(CREATWRK* cwp) {
    GTRSTATUS ignored{};
    if (voz_JnlMarkExists(set(cwp, 0, VOZ_SET_MAIN))) return;
    for (int kind = 0; kind < 2; ++kind) {
        voz_IDXremove(set(cwp, kind, VOZ_SET_MAIN_NEW), &ignored);
        voz_IDXremove(set(cwp, kind, VOZ_SET_SUPP_NEW), &ignored);
    }
    voz_RemoveDelDir(set(cwp, 0, VOZ_SET_MAIN_NEW), &ignored);
    voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_OTHER, 'T', cwp->timeLogFlag);
    voz_TimeLogC(&cwp->timeLog, "Canceled", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
}

}  // namespace

int VOZ_createIndexLast(CREATWRK* cwp, GTRSTATUS* st) {
    *st = GTRSTATUS{};
    if (!validBlock(cwp)) {
        voz_setStatus(st, VOZ_RC_HANDLE, 12);
        return -1;
    }
    int rc = 0;
    int32_t* saved = cwp->savedDocumentPosition;
    if (saved[0] >= 0) {
        rc = VOZ_pattPool(cwp, '&', nullptr, saved[0], saved[2], 0, st);
        saved[2] = 0;
    }
    if (rc == 0) rc = voz_PattFlush(cwp, cwp->targetSet, st);
    if (rc == 0 && flushed(cwp)) rc = mergeAll(cwp, st);
    closeLists(cwp, st);
    return rc == 0 && !voz_Failed(st) ? 0 : -1;
}

namespace {

// VOZ_createIndexTermPair and VOZ_createIndexStagePair ('G' with
// `stageOnly`).
int termPair(CREATWRK* first, CREATWRK* second, char goOrCancel, bool stageOnly,
             GTRSTATUS* st) {
    *st = GTRSTATUS{};
    CREATWRK* blocks[2] = {first, second};
    if ((first == nullptr && second == nullptr) || (first != nullptr && !validBlock(first)) ||
        (second != nullptr && !validBlock(second))) {
        voz_setStatus(st, VOZ_RC_HANDLE, 12);
        return -1;
    }
    for (CREATWRK* cwp : blocks) {
        if (cwp == nullptr) continue;
        vozCheckDocIDTerm(cwp->documentCheck, st);
        cwp->documentCheck = nullptr;
    }
    if (voz_Failed(st)) {
        // Nothing committed: the new parts go.
    } else if (goOrCancel == 'G') {
        commit(blocks, stageOnly, st);
    } else if (goOrCancel != 'C') {
        voz_setStatus(st, VOZ_RC_PARAMETER, 11);
    }
    bool failed = voz_Failed(st);
    if (goOrCancel == 'C' || (failed && goOrCancel == 'G')) {
        for (CREATWRK* cwp : blocks)
            if (cwp != nullptr) cancel(cwp);
    }
    // A new index that ends without result leaves no empty index
    // directory behind (rmdir removes only an empty one).
    std::string emptied;
    CREATWRK* any = blocks[0] != nullptr ? blocks[0] : blocks[1];
    if ((goOrCancel == 'C' || failed) && any != nullptr && any->mainState != 'E')
        emptied = indexDir(any);
    for (CREATWRK* cwp : blocks) voz_CreateIndexReleaseAll(cwp, st);
    if (!emptied.empty()) rmdir(emptied.c_str());
    return failed ? -1 : 0;
}

}  // namespace

int VOZ_createIndexTermPair(CREATWRK* first, CREATWRK* second, char goOrCancel,
                            GTRSTATUS* st) {
    return termPair(first, second, goOrCancel, false, st);
}

int VOZ_createIndexStagePair(CREATWRK* first, CREATWRK* second, GTRSTATUS* st) {
    return termPair(first, second, 'G', true, st);
}

int VOZ_createIndexTerm(CREATWRK* cwp, char goOrCancel, GTRSTATUS* st) {
    return VOZ_createIndexTermPair(cwp, nullptr, goOrCancel, st);
}
