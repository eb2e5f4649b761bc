// voz_verify.cpp - verification of one regular or X-index file set and of
// its key-index table (see voz_verify.hpp).  VOZ_checkDocno, which runs
// these over both halves, is in voz_verify_index.cpp.
//
// The key walk reads every key of a file set in record order: the header
// slots 0-39 first, then the key file's records (fixed keys 'D' then 'F',
// then the variable chains), and for each key with position data walks
// its documents and positions.  The document table collects every
// document the keys name until it holds the header's document count; from
// then on every document met must be one of them.
#include "build/voz_verify.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "build/voz_verify_walk.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"

namespace {

constexpr int32_t kInconsistent = 16;
constexpr uint32_t kFirstTableSize = 65536;  // documents reserved at first

// What the walk of one regular file set gathers.
struct RegularWalk {
    _FCTLHEAD* fs = nullptr;
    KEYINFO_0 info{};
    bool vvgs = false;
    VOZ_MARKCHK_FN markTest = nullptr;
    char logdisp = 'N';
    std::vector<DOCSTART> table;    // by document number
    std::vector<DOCSTART> byStart;  // VVGs: by stored document and start
    uint32_t capacity = 0;          // the header's document count
    int32_t highestStored = -1;     // over all keys but 'D'
    int32_t highestPos = 0;         // VVGs: in the highest stored document
    uint32_t fixedKeys = 0, varKeys = 0, markedKeys = 0, fieldKeys = 0;
};

bool byDocno(const DOCSTART& a, const DOCSTART& b) { return a.docno < b.docno; }

bool byStoredStart(const DOCSTART& a, const DOCSTART& b) {
    return a.storedDoc != b.storedDoc ? a.storedDoc < b.storedDoc
                                      : a.startPos < b.startPos;
}

// The VVG that holds (stored document, position), or null.
const DOCSTART* findVvg(const RegularWalk& w, int32_t stored, int32_t pos) {
    DOCSTART probe{0, stored, pos};
    auto it = std::upper_bound(w.byStart.begin(), w.byStart.end(), probe,
                               byStoredStart);
    if (it == w.byStart.begin()) return nullptr;
    --it;
    return it->storedDoc == stored ? &*it : nullptr;
}

// Step 3: the VVG key (header slot 40) gives the table: per stored
// document its (VVG id, start position) pairs.
int readVvgTable(RegularWalk* w, GTRSTATUS* st) {
    PCTLHEAD pctl;
    memset(&pctl, 0, sizeof pctl);
    voz_InitPctl(&pctl, &w->info.slots[VOZ_SLOT_VVG], -1, 'Y', st);
    uint32_t target = VOZ_NO_DOC;
    while (!voz_Failed(st)) {
        voz_PointVvgSkip(w->fs, &pctl, target, st);
        if (voz_Failed(st) || pctl.endOfDocs == 'Y') break;
        target = static_cast<uint32_t>(pctl.curDoc) + 1;
        for (;;) {
            voz_PointDocStartposSkip(w->fs, &pctl, INT32_MIN, INT32_MIN, st);
            if (voz_Failed(st) || pctl.endOfPos == 'Y') break;
            if (w->table.size() >= w->capacity) {
                voz_setStatus(st, kInconsistent, 440);
                break;
            }
            w->table.push_back({pctl.curId, pctl.curDoc, pctl.curPos});
        }
    }
    voz_TermPctl(&pctl, st);
    if (voz_Failed(st)) return -1;
    if (w->table.size() != w->capacity) {
        voz_setStatus(st, kInconsistent, 441);
        return -1;
    }
    w->byStart = w->table;
    std::sort(w->byStart.begin(), w->byStart.end(), byStoredStart);
    voz_SortDocstart(w->table.data(), static_cast<int32_t>(w->table.size()),
                     st);
    return 0;
}

// A document met without VVGs (or in a 'D' key): added while the table
// fills, looked up once it is full.  `added` collects the new entries,
// sorted in after the key.
int meetDocument(RegularWalk* w, int32_t doc, std::vector<DOCSTART>* added,
                 GTRSTATUS* st) {
    DOCSTART probe{doc, doc, 1};
    if (std::binary_search(w->table.begin(), w->table.end(), probe, byDocno))
        return 0;
    for (const DOCSTART& e : *added)
        if (e.docno == doc) return 0;
    if (w->table.size() + added->size() < w->capacity) {
        added->push_back(probe);
        return 0;
    }
    voz_setStatus(st, kInconsistent, w->table.size() < w->capacity ? 451 : 443);
    return -1;
}

// Step 5: the documents and positions of one key.
int walkPostings(RegularWalk* w, const KEY_REC& head, bool fromKeyFile,
                 GTRSTATUS* st) {
    const bool fieldKey = head.kind == VOZ_KIND_DFIXED;
    const bool perVvg = w->vvgs && !fieldKey;
    std::vector<DOCSTART> added;
    std::vector<int32_t> vvgIds;
    int32_t highest = -1;
    int32_t previous = -1;
    VOZPOSTWALK walk;
    voz_PostWalkBegin(&walk, w->fs, &head, st);
    while (voz_PostWalkNextDoc(&walk, st) == 1) {
        const int32_t doc = walk.pctl.curDoc;
        if (doc <= previous) {
            voz_setStatus(st, kInconsistent, 478);
            break;
        }
        previous = highest = doc;
        if (!perVvg) {
            if (meetDocument(w, doc, &added, st) != 0) break;
            vvgIds.push_back(doc);
        }
        while (voz_PostWalkNextPos(&walk, st) == 1) {
            if (!perVvg) continue;
            const int32_t pos = walk.pctl.curPos;
            const DOCSTART* vvg = findVvg(*w, doc, pos);
            if (vvg == nullptr) {
                voz_setStatus(st, kInconsistent, 444);
                break;
            }
            if (vvgIds.empty() || vvgIds.back() != vvg->docno)
                vvgIds.push_back(vvg->docno);
            if (doc == static_cast<int32_t>(w->info.highestDoc) &&
                pos > w->highestPos)
                w->highestPos = pos;
        }
        if (voz_Failed(st)) break;
    }
    voz_PostWalkEnd(&walk, st);
    if (voz_Failed(st)) return -1;
    if (!fieldKey && highest > w->highestStored) w->highestStored = highest;
    std::sort(vvgIds.begin(), vvgIds.end());
    const size_t distinct = static_cast<size_t>(
        std::unique(vvgIds.begin(), vvgIds.end()) - vvgIds.begin());
    if (fromKeyFile && distinct != head.docCount) {
        voz_setStatus(st, kInconsistent, 465);
        return -1;
    }
    if (highest != static_cast<int32_t>(head.lastDoc)) {
        voz_setStatus(st, kInconsistent, 445);
        return -1;
    }
    if (!added.empty()) {
        w->table.insert(w->table.end(), added.begin(), added.end());
        voz_SortDocstart(w->table.data(),
                         static_cast<int32_t>(w->table.size()), st);
    }
    return 0;
}

// A key without position data must not name a block.
bool emptyKeyBad(const KEY_REC& head) {
    return head.dataLength == 0 && head.lengthHigh == 0 &&
           head.location != 0xFFFFFFFFu && head.level > 3;
}

// Step 4: order and counts of one key-file key (`index`: its number among
// the key file's keys).
int checkKeyOrder(RegularWalk* w, const KEY_REC* recs, const KEY_REC* prev,
                  uint32_t index, GTRSTATUS* st) {
    const KEYINFO_0& k = w->info;
    const char kind = recs[0].kind;
    if (kind == VOZ_KIND_DFIXED) {
        if (index >= k.dKindRecords ||
            (prev != nullptr && voz_VerifyFixedCmp(prev, recs) >= 0)) {
            voz_setStatus(st, kInconsistent, 464);
            return -1;
        }
        ++w->fieldKeys;
        ++w->fixedKeys;
    } else if (kind == VOZ_KIND_FIXED) {
        if (index < k.dKindRecords || index >= k.fixedKeys ||
            (prev != nullptr && prev->kind == VOZ_KIND_FIXED &&
             voz_VerifyFixedCmp(prev, recs) >= 0)) {
            voz_setStatus(st, kInconsistent, 480);
            return -1;
        }
        ++w->fixedKeys;
    } else {
        if (index < k.fixedKeys ||
            (prev != nullptr && prev->kind == VOZ_KIND_VAR &&
             voz_VkeyCmp(prev, recs) >= 0)) {
            voz_setStatus(st, kInconsistent, 481);
            return -1;
        }
        ++w->varKeys;
        if (k.options[3] != 0 && w->markTest != nullptr &&
            w->markTest('X', recs[0].key, k.options[3],
                        static_cast<int16_t>(k.xIndexUnitWidth)) != 0)
            ++w->markedKeys;
    }
    return 0;
}

// Steps 4 and 5 over every key.
int walkKeys(RegularWalk* w, GTRSTATUS* st) {
    const KEYINFO_0& k = w->info;
    for (int s = 0; s < VOZ_SLOT_VVG; ++s) {
        if (s > 0 && voz_VerifyFixedCmp(&k.slots[s - 1], &k.slots[s]) >= 0) {
            voz_setStatus(st, kInconsistent, 482);
            return -1;
        }
        if (emptyKeyBad(k.slots[s])) {
            voz_setStatus(st, kInconsistent, 491);
            return -1;
        }
        if (voz_KeyHasPostings(k.slots[s]) &&
            walkPostings(w, k.slots[s], false, st) != 0)
            return -1;
    }
    VOZKEYWALK keys;
    if (voz_KeyWalkBegin(&keys, w->fs, k.fixedKeys + k.varKeys, 442, st) != 0)
        return -1;
    VOZPROGRESS progress(w->logdisp);
    int rc = 0;
    for (uint32_t i = 0; rc == 0 && i < keys.total; ++i) {
        if (voz_KeyWalkNext(&keys, st) != 0 ||
            checkKeyOrder(w, keys.current,
                          keys.havePrevious ? keys.previous : nullptr, i,
                          st) != 0) {
            rc = -1;
        } else if (emptyKeyBad(keys.current[0])) {
            voz_setStatus(st, kInconsistent, 491);
            rc = -1;
        } else if (voz_KeyHasPostings(keys.current[0])) {
            rc = walkPostings(w, keys.current[0], true, st);
        }
        progress.show(i + 1, keys.total);
    }
    progress.finish();
    voz_KeyWalkEnd(&keys);
    return rc;
}

// Step 6.
int checkTotals(const RegularWalk& w, GTRSTATUS* st) {
    const KEYINFO_0& k = w.info;
    const int32_t highestDoc =
        w.table.empty() ? -1 : w.table.back().docno;
    int32_t ec = 0;
    if (!w.table.empty() && highestDoc != static_cast<int32_t>(k.maxDocNumber))
        ec = 447;
    else if (w.highestStored > static_cast<int32_t>(k.highestDoc))
        ec = 448;
    else if (w.vvgs && static_cast<int64_t>(w.highestPos) + 32 >
                           static_cast<int64_t>(k.reserved40))
        ec = 449;
    else if (w.table.size() != k.docCount)
        ec = 450;
    else if (w.fixedKeys != k.fixedKeys || w.varKeys != k.varKeys ||
             w.markedKeys != k.filteredVarKeys || w.fieldKeys != k.dKindRecords)
        ec = 458;
    if (ec != 0) voz_setStatus(st, kInconsistent, ec);
    return ec != 0 ? -1 : 0;
}

// Step 7: the live documents into the record and the output file.
int liveDocuments(const RegularWalk& w, FILE_CONTROL* out, const char* outfn,
                  int32_t* lowest, int32_t* highest, int32_t* count,
                  GTRSTATUS* st) {
    CVozDeletedDocs* list = vozAllocateDeletedDocs(w.fs, 0, st);
    if (voz_Failed(st)) return -1;
    const uint32_t* ids = vozGetDeletedDocs(list);
    const uint32_t n = vozGetNumDeletedDocs(list);
    int rc = 0;
    for (const DOCSTART& e : w.table) {
        const uint32_t doc = static_cast<uint32_t>(e.docno);
        if (ids != nullptr && std::binary_search(ids, ids + n, doc)) continue;
        if (*lowest < 0 || e.docno < *lowest) *lowest = e.docno;
        if (e.docno > *highest) *highest = e.docno;
        ++*count;
        if (out != nullptr && voz_XXwrite(&e.docno, 4, 1, out) != 1) {
            voz_setStatus(st, VOZ_RC_WRITE, 446, outfn, errno);
            rc = -1;
            break;
        }
    }
    vozFreeDeletedDocs(list, nullptr, st);
    return rc;
}

// Steps 2 to 8 on an open file set.
int verifyOpenRegular(RegularWalk* w, FILE_CONTROL* out, const char* outfn,
                      DOCSINFO* d, GTRSTATUS* st) {
    w->capacity = w->info.docCount;
    try {
        // The header's count is the table's bound, not its first size: a
        // damaged count would ask for gigabytes before the walk finds the
        // table short (16/451).
        w->table.reserve(std::min<uint32_t>(w->capacity, kFirstTableSize));
    } catch (const std::bad_alloc&) {
        voz_setStatus(st, VOZ_RC_MEMORY, 439);
        return -1;
    }
    if ((w->vvgs && readVvgTable(w, st) != 0) || walkKeys(w, st) != 0 ||
        checkTotals(*w, st) != 0 ||
        liveDocuments(*w, out, outfn, &d->mainLowest, &d->mainHighest,
                      &d->mainCount, st) != 0) {
        return -1;
    }
    memcpy(d->version, w->info.version, sizeof d->version);
    d->vvgIndicator = w->info.docGroupLength;
    memcpy(d->codeInfo, w->info.codeInfo, sizeof d->codeInfo);
    d->creation[0] = static_cast<int16_t>(w->info.fixedKeyUnits);
    d->creation[1] = static_cast<int16_t>(
        w->info.headKeyUnits == 0 ? 3 : w->info.headKeyUnits);
    d->creation[2] = static_cast<int16_t>(w->info.unitWidth);
    if (voz_VerifyInfo3(w->fs, w->info, st) != 0) return -1;
    return voz_VerifyInfo2(w->fs, &w->info, st);
}

}  // namespace

int voz_VerifyRegular(_FCTLHEAD* fs, const char* outfn, const char* openMode,
                      char logdisp, DOCSINFO* docsinfo,
                      VOZ_MARKCHK_FN markTest, GTRSTATUS* gsp) {
    VOZOPENSET open(fs);
    if (open.open(gsp) != 0) return -1;
    RegularWalk w;
    w.fs = fs;
    w.markTest = markTest;
    w.logdisp = logdisp;
    if (voz_ReadKeyInfo(fs, &w.info, 0, nullptr, gsp) != 0) return -1;
    w.vvgs = w.info.docGroupLength > 0;
    FILE_CONTROL* out = nullptr;
    if (outfn != nullptr && outfn[0] != '\0') {
        out = voz_XXopenEx(outfn, openMode, 0);  // a plain file for the caller
        if (out == nullptr) {
            voz_setStatus(gsp, VOZ_RC_OPEN, 438, outfn, errno);
            return -1;
        }
    }
    int rc = 0;
    if (memcmp(w.info.version, VOZ_KEYFILE_VERSION, 4) != 0) {
        voz_setStatus(gsp, VOZ_RC_VERSION, 421);
        rc = -1;
    } else {
        rc = verifyOpenRegular(&w, out, outfn, docsinfo, gsp);
    }
    if (voz_fclose(out, outfn, 448, gsp) != 0) rc = -1;
    return rc;
}

int voz_VerifyExtended(_FCTLHEAD* fs, char logdisp, GTRSTATUS* gsp) {
    VOZOPENSET open(fs);
    if (open.open(gsp) != 0) return -1;
    KEYINFO_0 k;
    if (voz_ReadKeyInfo(fs, &k, 0, nullptr, gsp) != 0) return -1;
    if (memcmp(k.version, VOZ_KEYFILE_VERSION, 4) != 0) {
        voz_setStatus(gsp, VOZ_RC_VERSION, 422);
        return -1;
    }
    if (k.docGroupLength != 0 || k.varKeys != 0) {
        voz_setStatus(gsp, kInconsistent, 453);
        return -1;
    }
    int32_t highest = -1;
    auto oneKey = [&](const KEY_REC& head) {
        if (emptyKeyBad(head)) {
            voz_setStatus(gsp, kInconsistent, 492);
            return -1;
        }
        if (!voz_KeyHasPostings(head)) return 0;
        int32_t last = voz_PostWalkLastDoc(fs, head, gsp);
        if (voz_Failed(gsp)) return -1;
        if (last != static_cast<int32_t>(head.lastDoc)) {
            voz_setStatus(gsp, kInconsistent, 471);
            return -1;
        }
        if (last > highest) highest = last;
        return 0;
    };
    for (int s = 0; s < VOZ_SLOT_VVG; ++s)
        if (oneKey(k.slots[s]) != 0) return -1;
    VOZKEYWALK keys;
    if (voz_KeyWalkBegin(&keys, fs, k.fixedKeys + k.varKeys, 454, gsp) != 0)
        return -1;
    VOZPROGRESS progress(logdisp);
    int rc = 0;
    for (uint32_t i = 0; rc == 0 && i < keys.total; ++i) {
        rc = voz_KeyWalkNext(&keys, gsp) != 0 ? -1 : oneKey(keys.current[0]);
        progress.show(i + 1, keys.total);
    }
    progress.finish();
    voz_KeyWalkEnd(&keys);
    if (rc != 0) return -1;
    if (highest >= 0 && (highest != static_cast<int32_t>(k.maxDocNumber) ||
                         highest != static_cast<int32_t>(k.highestDoc))) {
        voz_setStatus(gsp, kInconsistent, 472);
        return -1;
    }
    return voz_VerifyInfo3(fs, k, gsp);
}

void voz_SortDocstart(DOCSTART* table, int32_t count, GTRSTATUS* /*gsp*/) {
    if (table == nullptr || count < 2) return;
    // Explicit stack of ranges, middle pivot, Hoare partition; the smaller
    // part is pushed last so that it is sorted first and the stack stays
    // logarithmic.
    struct Range { int32_t lo, hi; };
    Range stack[64];
    int top = 0;
    stack[top++] = {0, count - 1};
    while (top > 0) {
        Range r = stack[--top];
        while (r.lo < r.hi) {
            const int32_t pivot = table[r.lo + (r.hi - r.lo) / 2].docno;
            int32_t i = r.lo - 1;
            int32_t j = r.hi + 1;
            for (;;) {
                do ++i; while (table[i].docno < pivot);
                do --j; while (table[j].docno > pivot);
                if (i >= j) break;
                std::swap(table[i], table[j]);
            }
            Range left{r.lo, j};
            Range right{j + 1, r.hi};
            if (left.hi - left.lo < right.hi - right.lo) {
                stack[top++] = right;
                r = left;
            } else {
                stack[top++] = left;
                r = right;
            }
        }
    }
}
