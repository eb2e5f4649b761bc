// voz_docidchk.cpp -- document-number checks of a creation cycle (see
// voz_docidchk.hpp).
//
// Stored documents: each half's document list is the key of header slot
// 38, read forward with a position control (voz_PointVvgSkip), beside a
// cursor over the half's ascending deleted-document list. Registered
// documents: ascending disjoint runs [low, high] in the work block, kept
// for the whole cycle, so a number registered before a flush is still
// known after it.
#include "build/voz_docidchk.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build/voz_creatwrk.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kRunStep = 100;

// Sets the walk and the deleted cursor of an open half to the start.
void startWalk(VOZDOCWALK& h, const KEY_REC& docList) {
    memset(&h.walk, 0, sizeof h.walk);
    voz_InitPctl(&h.walk, &docList, 0, 'N', nullptr);
    h.deletedNext = vozGetDeletedDocs(h.deleted);
    h.deletedCount = vozGetNumDeletedDocs(h.deleted);
}

// Closes one half; failures go to `st` unless it holds one already.
void closeHalf(VOZDOCWALK& h, GTRSTATUS* st) {
    if (h.files == nullptr) return;
    GTRSTATUS own{};
    voz_TermPctl(&h.walk, &own);
    vozFreeDeletedDocs(h.deleted, nullptr, nullptr);
    h.deleted = nullptr;
    if (h.open == 'Y') voz_IDXclose(h.files, &own);
    if (own.retcode != 0 && !voz_Failed(st) && st != nullptr) *st = own;
    free(h.files);
    h.files = nullptr;
    h.open = 'N';
}

// Opens the halves that exist. 0 or -1 (what was opened stays for the
// caller to close).
int openHalves(DOCCHKCTL* ctx, GTRSTATUS* st) {
    for (int i = 0; i < VOZ_DOCCHK_HALVES; ++i) {
        VOZDOCWALK& h = ctx->halves[i];
        h.files = static_cast<_FCTLHEAD*>(calloc(1, sizeof(_FCTLHEAD)));
        if (h.files == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2225, nullptr, ENOMEM);
            return -1;
        }
        if (voz_SetFctlForRead(h.files, ctx->indexName, ctx->directory, i, 0,
                               ctx->extentInitials, ctx->directoryPrefix, st) != 0)
            return -1;
        GTRSTATUS probe{};
        if (voz_IDXqueryExistence(h.files, nullptr, &probe) != VOZ_EXISTS) {
            free(h.files);
            h.files = nullptr;
            continue;
        }
        if (voz_IDXopen(h.files, "rb", st) != 0) return -1;
        h.open = 'Y';
        KEYINFO_0 info;
        if (voz_ReadKeyInfo(h.files, &info, 0, nullptr, st) != 0) return -1;
        h.deleted = vozAllocateDeletedDocs(h.files, 0, st);
        if (voz_Failed(st)) return -1;
        h.docList = info.slots[VOZ_SLOT_DOCLIST];
        startWalk(h, h.docList);
    }
    ctx->lastAsked = -1;
    return 0;
}

void closeHalves(DOCCHKCTL* ctx, GTRSTATUS* st) {
    for (VOZDOCWALK& h : ctx->halves) closeHalf(h, st);
}

// Answers for one open half.
bool halfHas(VOZDOCWALK& h, int32_t docno, GTRSTATUS* st) {
    if (h.walk.curDoc < docno && h.walk.endOfDocs != 'Y') {
        voz_PointVvgSkip(h.files, &h.walk, static_cast<uint32_t>(docno), st);
        if (voz_Failed(st)) return false;
    }
    while (h.deletedCount > 0 && *h.deletedNext < static_cast<uint32_t>(docno)) {
        ++h.deletedNext;
        --h.deletedCount;
    }
    if (h.walk.curDoc != docno) return false;
    return h.deletedCount == 0 || *h.deletedNext != static_cast<uint32_t>(docno);
}

// Grows the run array by kRunStep when full. 0 or -1 (11/2105).
int roomForRun(CREATWRK* cwp, GTRSTATUS* st) {
    if (cwp->registeredRunCount < cwp->registeredRunCapacity) return 0;
    int32_t cap = cwp->registeredRunCapacity + kRunStep;
    void* p = realloc(cwp->registeredRuns, sizeof(VOZDOCRUN) * static_cast<size_t>(cap));
    if (p == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2105, nullptr, ENOMEM);
        return -1;
    }
    cwp->registeredRuns = static_cast<VOZDOCRUN*>(p);
    cwp->registeredRunCapacity = cap;
    return 0;
}

// Adds `docno` (in no run) before run `at`, joining neighbours it touches.
int addNumber(CREATWRK* cwp, int32_t at, int32_t docno, GTRSTATUS* st) {
    VOZDOCRUN* r = cwp->registeredRuns;
    int32_t n = cwp->registeredRunCount;
    bool joinsLeft = at > 0 && r[at - 1].high == docno - 1;
    bool joinsRight = at < n && r[at].low == docno + 1;
    if (joinsLeft && joinsRight) {
        r[at - 1].high = r[at].high;
        memmove(r + at, r + at + 1, sizeof(VOZDOCRUN) * static_cast<size_t>(n - at - 1));
        --cwp->registeredRunCount;
    } else if (joinsLeft) {
        r[at - 1].high = docno;
    } else if (joinsRight) {
        r[at].low = docno;
    } else {
        if (roomForRun(cwp, st) != 0) return -1;
        r = cwp->registeredRuns;
        memmove(r + at + 1, r + at, sizeof(VOZDOCRUN) * static_cast<size_t>(n - at));
        r[at] = VOZDOCRUN{docno, docno};
        ++cwp->registeredRunCount;
    }
    return 0;
}

}  // namespace

int vozCheckDocIDInit(DOCCHKCTL** out, const char* indexName, const char* directory,
                      const char* extentInitials, const char* directoryPrefix,
                      const GTRCREATEPARM* createParm, GTRSTATUS* st) {
    *out = nullptr;
    DOCCHKCTL* ctx = static_cast<DOCCHKCTL*>(calloc(1, sizeof(DOCCHKCTL)));
    if (ctx == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2225, nullptr, ENOMEM);
        return -1;
    }
    snprintf(ctx->indexName, sizeof ctx->indexName, "%s", indexName);
    snprintf(ctx->directory, sizeof ctx->directory, "%s", directory);
    memcpy(ctx->extentInitials, extentInitials, 4);
    snprintf(ctx->directoryPrefix, sizeof ctx->directoryPrefix, "%s", directoryPrefix);
    if (createParm != nullptr) ctx->createParm = *createParm;
    if (openHalves(ctx, st) != 0) {
        closeHalves(ctx, nullptr);
        free(ctx);
        return -1;
    }
    if (ctx->halves[0].open != 'Y' && ctx->halves[1].open != 'Y') {
        free(ctx);  // no index: every document is new
        return 0;
    }
    *out = ctx;
    return 0;
}

uint32_t vozCheckDocID(CREATWRK* cwp, int32_t docno, GTRSTATUS* st) {
    DOCCHKCTL* ctx = cwp->documentCheck;
    if (ctx == nullptr || docno < 0) return 0;
    if (docno < ctx->lastAsked) {  // asked out of order: read again from the start
        for (VOZDOCWALK& h : ctx->halves) {
            if (h.open != 'Y') continue;
            GTRSTATUS own{};
            voz_TermPctl(&h.walk, &own);
            startWalk(h, h.docList);
        }
    }
    ctx->lastAsked = docno;
    uint32_t result = 0;
    for (VOZDOCWALK& h : ctx->halves) {
        if (h.open != 'Y') continue;
        if (halfHas(h, docno, st)) result = 1;
        if (voz_Failed(st)) {
            vozCheckDocIDTerm(ctx, nullptr);
            cwp->documentCheck = nullptr;
            return 1;
        }
    }
    return result;
}

void vozCheckDocIDSuspend(DOCCHKCTL* ctx, GTRSTATUS* st) {
    if (ctx == nullptr) return;
    closeHalves(ctx, st);
}

void vozCheckDocIDContinue(DOCCHKCTL* ctx, GTRSTATUS* st) {
    if (ctx == nullptr) return;
    closeHalves(ctx, nullptr);
    if (openHalves(ctx, st) != 0) closeHalves(ctx, nullptr);
}

void vozCheckDocIDTerm(DOCCHKCTL* ctx, GTRSTATUS* st) {
    if (ctx == nullptr) return;
    closeHalves(ctx, st);
    free(ctx);
}

uint32_t vozCheckRegisteredDocID(CREATWRK* cwp, int32_t docno, GTRSTATUS* st) {
    int32_t n = cwp->registeredRunCount;
    if (n == 0 || docno < cwp->registeredLow) {
        if (addNumber(cwp, 0, docno, st) != 0) return 0;
        cwp->registeredLow = docno;
        if (docno > cwp->registeredHigh) cwp->registeredHigh = docno;
        return 0;
    }
    if (docno > cwp->registeredHigh) {
        if (addNumber(cwp, n, docno, st) != 0) return 0;
        cwp->registeredHigh = docno;
        return 0;
    }
    int32_t lo = 0, hi = n;  // first run whose high >= docno
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (cwp->registeredRuns[mid].high < docno) lo = mid + 1; else hi = mid;
    }
    if (lo < n && cwp->registeredRuns[lo].low <= docno) return 1;
    addNumber(cwp, lo, docno, st);
    return 0;
}
