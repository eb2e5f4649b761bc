// voz_creatmem.cpp -- the memory of a creation cycle and the release of a
// whole cycle (see voz_creatwrk.hpp).
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "build/voz_creatwrk.hpp"
#include "build/voz_docidchk.hpp"
#include "build/voz_journal.hpp"
#include "build/voz_stopword.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

int voz_mallocForCreation(CREATWRK* cwp, int32_t poolSize, int32_t poolSizeDelta,
                          GTRSTATUS* st) {
    POOLINFO& pool = cwp->pool;
    int32_t size = poolSize / VOZ_PATT_SIZE * VOZ_PATT_SIZE;
    // However small the parameters make it, the pool holds the longest
    // chain of one pattern, or that pattern could never be added.
    if (size < VOZ_PATT_SIZE * VOZ_PATT_MAX_CHAIN) size = VOZ_PATT_SIZE * VOZ_PATT_MAX_CHAIN;
    pool.start = static_cast<PATTINFO*>(malloc(static_cast<size_t>(size)));
    if (pool.start == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 519, nullptr, ENOMEM);
        return -1;
    }
    pool.size = size;
    pool.end = pool.start + size / VOZ_PATT_SIZE;
    pool.cursor = pool.start;
    pool.growStep = poolSizeDelta / VOZ_PATT_SIZE * VOZ_PATT_SIZE;
    pool.lowestDocument = 0x7FFFFFFF;
    pool.highestDocument = -1;
    pool.poolWord = pool.outOfOrder = 0;

    cwp->levels = static_cast<MCTLINFO*>(calloc(1, sizeof(MCTLINFO)));
    if (cwp->levels == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 525, nullptr, ENOMEM);
        return -1;
    }
    MCTLINFO& l0 = cwp->levels[0];
    l0.maxSections = VOZ_LEVEL0_SECTIONS;
    l0.lowDocno = 0x7FFFFFFF;
    l0.highMark = -1;
    cwp->levelsAllocated = cwp->levelsInUse = 1;
    l0.sections = static_cast<MCTLHEAD*>(calloc(VOZ_LEVEL0_SECTIONS, sizeof(MCTLHEAD)));
    if (l0.sections == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 520, nullptr, ENOMEM);
        return -1;
    }

    POSBUFFER& pb = cwp->positionBuffer;
    pb.start = static_cast<uint8_t*>(malloc(VOZ_POSBUF_STEP));
    if (pb.start == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 521, nullptr, ENOMEM);
        return -1;
    }
    pb.cursor = pb.start;
    pb.end = pb.start + VOZ_POSBUF_STEP;
    cwp->savedDocumentPosition[0] = -1;
    return 0;
}

// Closes a level's files and removes them when they are work files.
static void releaseLevel(MCTLINFO* lvl) {
    if (lvl->sections == nullptr) return;
    GTRSTATUS ignored{};
    if (lvl->filesOpen) {
        for (uint16_t i = 0; i < lvl->numSections; ++i) voz_IDXclose(&lvl->sections[i].idx, &ignored);
        voz_IDXclose(&lvl->sections[lvl->fileOwner].idx, &ignored);
        lvl->filesOpen = 0;
    }
    _FCTLHEAD* owner = &lvl->sections[lvl->fileOwner].idx;
    if (owner->indexName[0] != '\0' && owner->fileType >= VOZ_HALF_LEVEL0)
        voz_IDXremove(owner, &ignored);
}

void voz_freeForCreation(CREATWRK* cwp) {
    for (int32_t i = 0; cwp->levels != nullptr && i < cwp->levelsAllocated; ++i) {
        MCTLINFO* lvl = &cwp->levels[i];
        if (i < cwp->levelsInUse) releaseLevel(lvl);
        free(lvl->sections);
        lvl->sections = nullptr;
    }
    free(cwp->levels);
    cwp->levels = nullptr;
    cwp->levelsAllocated = cwp->levelsInUse = 0;
    POOLINFO& pool = cwp->pool;
    free(pool.start);
    free(pool.sortBuffer);
    free(pool.documentList);
    pool.start = pool.end = pool.cursor = nullptr;
    pool.sortBuffer = nullptr;
    pool.documentList = nullptr;
    pool.sortBufferCapacity = pool.documentListCapacity = 0;
    vozFreeStopWords(cwp);
    vozCheckDocIDTerm(cwp->documentCheck, nullptr);
    cwp->documentCheck = nullptr;
    free(cwp->registeredRuns);
    cwp->registeredRuns = nullptr;
    cwp->registeredRunCount = cwp->registeredRunCapacity = 0;
    free(cwp->positionBuffer.start);
    cwp->positionBuffer.start = cwp->positionBuffer.end = cwp->positionBuffer.cursor = nullptr;
    // The deleted-document lists are only freed here: a cycle that ends
    // without result must not leave its changes on disk, and the commit
    // writes the lists it changed before it frees the cycle.
    static const int kWithLists[] = {VOZ_SET_MAIN, VOZ_SET_SUPP, VOZ_SET_MAIN_NEW,
                                     VOZ_SET_SUPP_NEW};
    GTRSTATUS ignored{};
    for (int s : kWithLists) {
        vozFreeDeletedDocs(cwp->indexSets[s].deletedDocs, nullptr, &ignored);
        cwp->indexSets[s].deletedDocs = nullptr;
    }
}

void voz_CreateIndexReleaseAll(CREATWRK* cwp, GTRSTATUS* st) {
    (void)st;  // the caller's status stays as it was
    if (cwp == nullptr) return;
    GTRSTATUS own{};
    voz_freeForCreation(cwp);
    static const int kNewSets[] = {VOZ_SET_MAIN_NEW, VOZ_SET_SUPP_NEW,
                                   VOZ_SETS_PER_KIND + VOZ_SET_MAIN_NEW,
                                   VOZ_SETS_PER_KIND + VOZ_SET_SUPP_NEW};
    // A commit whose mark stayed (an undo failed) owns the "#" sets: the
    // next recovery finishes it.
    bool owned = cwp->indexSets[VOZ_SET_MAIN].indexName[0] != '\0' &&
                 voz_JnlMarkExists(&cwp->indexSets[VOZ_SET_MAIN]) != 0;
    for (int s : kNewSets) {
        if (owned) break;
        _FCTLHEAD* fs = &cwp->indexSets[s];
        if (fs->indexName[0] == '\0') continue;  // sets not set up yet
        voz_IDXremove(fs, &own);  // the block files are shared: left alone
        own = GTRSTATUS{};
    }
    voz_TimeLogC(&cwp->timeLog, " End", VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
    voz_TotalTimeC(&cwp->timeLog, cwp->timeLogFlag);
    free(cwp);
}
