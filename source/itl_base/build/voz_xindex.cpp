// voz_xindex.cpp -- the X-index build (voz_CreateXindex), the change
// tables of a merge (voz_SetChgRecNo) and the derived basic information.
// The merge of two X-indexes is in voz_xindex_merge.cpp.
//
// The build borrows the creation work block: its pool, flush and work-file
// merge write the target X set while the block's header, output set, fixed
// pattern length and flush state are set aside (restored on every exit).
#include "build/voz_xindex.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "build/voz_createend.hpp"
#include "build/voz_pattpool.hpp"
#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"

namespace {

constexpr int32_t kChgStep = 1024;
constexpr int kMaxChain = 255;                 // records of one key chain
constexpr int kTextMax = 2 * 4 + 6 + kMaxChain * VOZ_KEY_CONT_BYTES + 6;
constexpr const char* kXLabel = " X_start...";

// What the build sets aside in the work block.
struct SavedBlock {
    KEYINFO_0 basicInfo;
    _FCTLHEAD* targetSet;
    uint16_t fixedPatternBytes;
    char flushed;
    char flushFlag;
    int32_t lastFlushedDocument;
    int32_t registeredDocuments;
};

SavedBlock saveBlock(const CREATWRK* cwp) {
    return SavedBlock{cwp->basicInfo, cwp->targetSet, cwp->fixedPatternBytes,
                      cwp->tag[VOZ_TAG_FLUSHED], cwp->flushFlag,
                      cwp->lastFlushedDocument, cwp->registeredDocuments};
}

void restoreBlock(CREATWRK* cwp, const SavedBlock& s) {
    cwp->basicInfo = s.basicInfo;
    cwp->targetSet = s.targetSet;
    cwp->fixedPatternBytes = s.fixedPatternBytes;
    cwp->tag[VOZ_TAG_FLUSHED] = s.flushed;
    cwp->flushFlag = s.flushFlag;
    cwp->lastFlushedDocument = s.lastFlushedDocument;
    cwp->registeredDocuments = s.registeredDocuments;
}

// Empties the pool and the level counters for a build of its own.
void resetPool(CREATWRK* cwp) {
    POOLINFO& pool = cwp->pool;
    pool.cursor = pool.start;
    pool.highestDocument = -1;
    pool.lowestDocument = 0x7FFFFFFF;
    pool.documentCount = pool.poolWord = pool.outOfOrder = 0;
    for (int32_t i = 0; cwp->levels != nullptr && i < cwp->levelsInUse; ++i) {
        cwp->levels[i].numSections = 0;
        cwp->levels[i].lowDocno = 0x7FFFFFFF;
        cwp->levels[i].highMark = -1;
    }
    cwp->tag[VOZ_TAG_FLUSHED] = 'N';
    cwp->lastFlushedDocument = -1;
}

// The build of one source key: its windows into the pool.
struct Windows {
    CREATWRK* cwp;
    int32_t width;      // X-part unit width
    int32_t window;     // W, bytes of a window
    int32_t units;      // N
    uint8_t startMark;
    uint8_t endMark;

    int post(const uint8_t* w, int32_t doc, int32_t pos, GTRSTATUS* st) {
        if (VOZ_pattPool(cwp, ')', w, doc, pos, 0, st) != 0) return -1;
        VOZ_UNITEQUIV_FN eq = cwp->creationParm.unitEquivalence;
        if (eq == nullptr) return 0;
        uint8_t copy[VOZ_KEY_HEAD_BYTES] = {};
        memcpy(copy, w, static_cast<size_t>(window));
        if (eq(copy, window, static_cast<int16_t>(width)) != 0) return 0;
        return VOZ_pattPool(cwp, ')', copy, doc, pos, 0, st);
    }

    void mark(char kind, uint8_t* unit, uint8_t value) const {
        VOZ_MARKSETUNIT_FN set = cwp->creationParm.markSetter;
        if (set != nullptr) set(kind, unit, value, static_cast<int16_t>(width));
    }

    // Key bytes of the chain: the six of the head, 22 of each continuation;
    // the length L as the key records give it (a one-record key ends with
    // its last unit whose first byte is not 0). The head's six bytes are
    // all key bytes whatever the window: taking only W of them would drop
    // units from the middle of a key whose window is shorter.
    int32_t keyText(const KEY_REC* recs, uint8_t* text) const {
        int n = recs[0].recCount;
        int32_t head = VOZ_KEY_HEAD_BYTES;
        memcpy(text, recs[0].key, static_cast<size_t>(head));
        if (n < 2) {
            int32_t len = 0;
            for (int32_t u = 0; u + width <= head; u += width)
                if (recs[0].key[u] != 0) len = u + width;
            return len;
        }
        // The key reader leaves continuations in their own layout.
        int32_t at = head;
        KEY_CONT cont;
        for (int i = 1; i < n; ++i, at += VOZ_KEY_CONT_BYTES) {
            memcpy(&cont, &recs[i], sizeof cont);
            memcpy(text + at, cont.key, VOZ_KEY_CONT_BYTES);
        }
        memcpy(&cont, &recs[1], sizeof cont);
        int32_t len = cont.keyLength;
        return len < at ? len : at;
    }

    int key(const KEY_REC* recs, int32_t doc, GTRSTATUS* st) {
        // Only the bytes that the windows read are cleared: the start mark,
        // the key, the end mark and one window after it (the arrays are
        // some 11 KB, and this runs once per key of the index).
        uint8_t text[kTextMax + VOZ_KEY_HEAD_BYTES];
        uint8_t own[kTextMax];  // keyText writes every byte up to its length
        int32_t len = keyText(recs, own);
        const size_t used = static_cast<size_t>(3 * width + len + window);
        memset(text, 0, used < sizeof text ? used : sizeof text);
        mark('S', text, startMark);
        memcpy(text + width, own, static_cast<size_t>(len));
        mark('E', text + width + len, endMark);
        int32_t count = len / width + 1;
        for (int32_t i = 0; i < count; ++i)
            if (post(text + i * width, doc, i + 1, st) != 0) return -1;
        uint8_t zero[VOZ_KEY_HEAD_BYTES] = {};
        if (VOZ_pattPool(cwp, 0, zero, doc, count + 1, 0, st) != 0) return -1;
        if (units == 1) {
            uint8_t end[VOZ_KEY_HEAD_BYTES] = {};
            memcpy(end, text + width + len, static_cast<size_t>(width));
            if (post(end, doc, count + 1, st) != 0) return -1;
        }
        if (len < window) {
            uint8_t shortKey[VOZ_KEY_HEAD_BYTES] = {};
            memcpy(shortKey, own, static_cast<size_t>(len));
            if (post(shortKey, doc, 2, st) != 0) return -1;
        }
        return 0;
    }
};

// Pools the windows of every X-part key of `source` (open). 0 or -1.
int poolKeys(CREATWRK* cwp, _FCTLHEAD* source, const KEYINFO_0& rb, Windows& w,
             GTRSTATUS* st) {
    KEY_REC recs[kMaxChain];
    int32_t first = static_cast<int32_t>(rb.fixedRecords);
    int64_t total = rb.varRecords;
    VOZ_KEYCALLBACK_FN test = cwp->creationParm.keyCallback;
    for (int64_t k = 0; k < total;) {
        int32_t number = k == 0 ? first : VOZ_NEXT_RECORD;
        if (voz_ReadKey(source, recs, number, st) != 0) return -1;
        int n = recs[0].recCount < 1 ? 1 : recs[0].recCount;
        if (recs[0].kind != VOZ_KIND_VAR || k + n > total || k > 0x7FFFFFFE) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 612, source->indexName);
            return -1;
        }
        bool skip = test != nullptr &&
                    test('X', recs[0].key, rb.options[3], static_cast<int16_t>(w.width)) != 0;
        if (!skip && w.key(recs, static_cast<int32_t>(k), st) != 0) return -1;
        k += n;
    }
    return 0;
}

// Writes an X-index with its basic information only (nothing pooled).
int writeEmpty(_FCTLHEAD* target, const KEYINFO_0& xb, GTRSTATUS* st) {
    if (voz_MakeSetDirectory(target, st) != 0) return -1;
    if (voz_IDXopen(target, "wb", st) != 0) return -1;
    int rc = voz_WriteKeyInfo(target, &xb, st);
    GTRSTATUS closing{};
    voz_IDXclose(target, &closing);
    if (rc == 0 && closing.retcode != 0) {
        *st = closing;
        rc = -1;
    }
    return rc;
}

int build(_FCTLHEAD* source, CREATWRK* cwp, _FCTLHEAD* target, GTRSTATUS* st) {
    if (voz_IDXopen(source, "rb", st) != 0) return -1;
    KEYINFO_0 rb;
    if (voz_ReadKeyInfo(source, &rb, 0, nullptr, st) != 0) {
        GTRSTATUS ignored{};
        voz_IDXclose(source, &ignored);
        return -1;
    }
    KEYINFO_0 xb;
    voz_SetXindexBasic(&rb, &xb);
    int32_t n = rb.headKeyUnits == 0 ? 3 : rb.headKeyUnits;
    int32_t width = xb.unitWidth;
    xb.fixedKeyUnits = static_cast<uint16_t>(n);
    xb.headKeyUnits = 0;
    xb.docGroupLength = 0;
    memcpy(xb.version, VOZ_KEYFILE_VERSION, 4);
    Windows w{cwp, width, n * width, n, rb.options[0], rb.options[1]};
    if (width < 1 || w.window > VOZ_KEY_HEAD_BYTES) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 613, source->indexName);
        GTRSTATUS ignored{};
        voz_IDXclose(source, &ignored);
        return -1;
    }
    cwp->basicInfo = xb;
    cwp->targetSet = target;
    cwp->fixedPatternBytes = static_cast<uint16_t>(w.window);
    voz_TimeLogC(&cwp->timeLog, cwp->directoryPrefix, VOZ_PHASE_OTHER, 'T', cwp->timeLogFlag);
    voz_TimeLogC(&cwp->timeLog, kXLabel, VOZ_PHASE_OTHER, 'O', cwp->timeLogFlag);
    resetPool(cwp);
    GTRSTATUS removal{};
    voz_IDXremove(target, &removal);
    int rc = poolKeys(cwp, source, rb, w, st);
    GTRSTATUS closing{};
    voz_IDXclose(source, &closing);
    if (rc != 0) return -1;
    if (cwp->pool.cursor == cwp->pool.start && cwp->tag[VOZ_TAG_FLUSHED] != 'Y')
        return writeEmpty(target, xb, st);
    if (voz_PattFlush(cwp, target, st) != 0) return -1;
    return vozMergeWorkFiles(cwp, target, 0, 1, nullptr, st);
}

}  // namespace

int voz_MakeSetDirectory(const _FCTLHEAD* fs, GTRSTATUS* st) {
    char dir[VOZ_FNAME_LEN];
    if (fs->fileType >= VOZ_HALF_WORK) {  // work files lie in the directory
        snprintf(dir, sizeof dir, "%s", fs->directory);
    } else {
        voz_IDXgetFname(dir, fs, VOZ_FT_KEY | VOZ_FT_DIR);
    }
    if (mkTreeDir(dir) != 0) {
        voz_setStatus(st, VOZ_RC_NO_TEMP_DIR, 614, dir, errno);
        return -1;
    }
    return 0;
}

int voz_SetChgRecNo(CHGRECNO* t, int32_t oldRecord, int32_t shift, GTRSTATUS* st) {
    if (t->count > 0) {
        CHGRUN& last = t->runs[t->count - 1];
        if (oldRecord == last.oldHigh) {
            last.shift = shift;
            return 0;
        }
        if (shift == last.shift) {
            last.oldHigh = oldRecord;
            return 0;
        }
    }
    if (t->count == t->capacity) {
        size_t want = sizeof(CHGRUN) * static_cast<size_t>(t->capacity + kChgStep);
        void* p = realloc(t->runs, want);
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 609, nullptr, ENOMEM);
            return -1;
        }
        t->runs = static_cast<CHGRUN*>(p);
        t->capacity += kChgStep;
    }
    t->runs[t->count++] = CHGRUN{oldRecord, shift};
    return 0;
}

void voz_FreeChgRecNo(CHGRECNO* t) {
    free(t->runs);
    *t = CHGRECNO{};
}

int64_t voz_MapChgRecNo(const CHGRECNO* t, int32_t number) {
    if (t == nullptr) return number;
    int32_t lo = 0, hi = t->count;
    while (lo < hi) {  // first run whose oldHigh >= number
        int32_t mid = lo + (hi - lo) / 2;
        if (t->runs[mid].oldHigh < number) lo = mid + 1; else hi = mid;
    }
    if (lo == t->count) return -1;
    return static_cast<int64_t>(number) + t->runs[lo].shift;
}

void voz_SetXindexBasic(const KEYINFO_0* src, KEYINFO_0* dst) {
    memset(dst, 0, sizeof *dst);
    memcpy(dst->version, src->version, sizeof dst->version);
    dst->fixedKeyUnits = src->fixedKeyUnits;
    dst->headKeyUnits = src->headKeyUnits;
    dst->unitWidth = src->xIndexUnitWidth;
    memcpy(dst->codeInfo, src->codeInfo, sizeof dst->codeInfo);
    memcpy(dst->options, src->options, sizeof dst->options);
    memcpy(dst->slots, src->slots, sizeof dst->slots);
}

int voz_CreateXindex(_FCTLHEAD* source, CREATWRK* cwp, _FCTLHEAD* target, GTRSTATUS* st) {
    voz_ClearStatus(st);
    SavedBlock saved = saveBlock(cwp);
    int rc = build(source, cwp, target, st);
    restoreBlock(cwp, saved);
    return rc;
}
