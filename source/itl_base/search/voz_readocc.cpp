// voz_readocc.cpp -- reading the words' occurrences during an evaluation
// and keeping the words ordered by them (see voz_readocc.hpp).
//
// Read state of a word (_WCTLHEAD): readSlice with readCounters[0] entries
// of the shared spill buffer and two cursors (readCounters[1], [2]); the
// last-read mark (lastReadDoc, lastReadPos) is the occurrence read last,
// in the word's own coordinates (VVG id and relative position for a word
// that reads VVGs through its own walk).
#include "search/voz_readocc.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_file.hpp"
#include "files/voz_status.hpp"
#include "search/voz_qsort.hpp"

namespace {

// Occurrences of the answer set that lie in its spill file.
int32_t spilledCount(const ANSWERFORM* a) {
    if (a == nullptr || a->kind != VOZ_ANS_FILE || a->fileName[0] == 0)
        return 0;
    return a->occCount > a->memEntries ? a->occCount - a->memEntries : 0;
}

// Shares the spill buffer out among the words from `first` on.
void shareBuffer(_WCTLHEAD* words, int32_t wordCount, int32_t first,
                 OCC* buffer, int32_t entries) {
    int32_t remaining = entries;
    OCC* at = buffer;
    for (int32_t i = first; i < wordCount; ++i) {
        int32_t wordsLeft = wordCount - i;
        int32_t share = remaining / wordsLeft;
        if (share < 1) share = 1;
        if (share > words[i].addedCount) share = words[i].addedCount;
        if (share > remaining - (wordsLeft - 1)) share = remaining - (wordsLeft - 1);
        if (share < 0) share = 0;
        words[i].readSlice = at;
        words[i].readCounters[0] = share;
        words[i].readCounters[1] = words[i].readCounters[2] = 0;
        at += share;
        remaining -= share;
    }
}

// Opens the spill file for reading and gives the spilling words their
// slices of one read buffer.
void prepareSpill(_WCTLHEAD* words, int32_t wordCount, ANSWERFORM* answer,
                  int32_t spilled, GTRSTATUS* st) {
    int32_t first = 0;
    while (first < wordCount &&
           words[first].countBefore + words[first].addedCount <= answer->memEntries)
        ++first;
    int32_t spilling = wordCount - first;
    if (spilling <= 0) return;
    int32_t entries = spilled < VOZ_READOCC_BUFFER_LIMIT ? spilled
                                                         : VOZ_READOCC_BUFFER_LIMIT;
    if (entries < spilling) entries = spilling;
    OCC* buffer = static_cast<OCC*>(calloc(static_cast<size_t>(entries), sizeof(OCC)));
    if (buffer == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 262, nullptr, ENOMEM);
        return;
    }
    answer->readBuffer = buffer;
    if (answer->file != nullptr) voz_XXclose(answer->file);  // the writer's
    answer->file = voz_XXopen(answer->fileName, "rb");
    if (answer->file == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 263, answer->fileName, errno);
        return;
    }
    shareBuffer(words, wordCount, first, buffer, entries);
}

// Order key of a word: its current occurrence and refinement values.
bool occLess(const _WCTLHEAD& a, const _WCTLHEAD& b) {
    if (a.cur.docno != b.cur.docno) return a.cur.docno < b.cur.docno;
    if (a.cur.pos != b.cur.pos) return a.cur.pos < b.cur.pos;
    if (a.vvgMiss != b.vvgMiss) return a.vvgMiss < b.vvgMiss;
    if (a.vvgOverflow != b.vvgOverflow) return a.vvgOverflow < b.vvgOverflow;
    return a.cur.len < b.cur.len;
}

void endWord(_WCTLHEAD* w) {
    w->endFlag = 'Y';
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = VOZ_DOC_END;
}

}  // namespace

void voz_InitForReadOcc(_WCTLHEAD* words, int32_t wordCount,
                        ANSWERFORM* answer, IDXINFO* index, GTRSTATUS* st) {
    if (answer != nullptr) answer->readBuffer = nullptr;
    int32_t spilled = spilledCount(answer);
    if (spilled > 0) {
        prepareSpill(words, wordCount, answer, spilled, st);
        if (voz_Failed(st)) return;
    }
    bool vvgs = voz_IndexHasVvgs(index);
    for (int32_t i = 0; i < wordCount; ++i) {
        _WCTLHEAD* w = &words[i];
        w->readCounters[1] = w->readCounters[2] = 0;
        memset(&w->cur, 0, sizeof w->cur);
        w->cur.docno = -1;
        w->endFlag = 'N';
        w->vvgMiss = w->vvgOverflow = 0;
        w->vvgPctl = nullptr;
        if (w->kind != 'B' || !vvgs) continue;
        w->vvgPctl = static_cast<PCTLHEAD*>(calloc(1, sizeof(PCTLHEAD)));
        if (w->vvgPctl == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 276, nullptr, ENOMEM);
            return;
        }
        voz_InitPctl(w->vvgPctl, &index->info.slots[VOZ_SLOT_VVG], -1, 'Y', st);
    }
}

void voz_ReadOcc(_WCTLHEAD* w, int32_t mode, const VVGDOCINFO* info,
                 void* /*readerArg*/, void* vvgContext, GTRSTATUS* st) {
    bool own = w->vvgPctl != nullptr;
    int32_t doc = -1, pos = 0;
    switch (mode) {
    case VOZ_READ_VVG_START:
        doc = own ? info->vvgId : info->docNo;
        pos = own ? 1 : info->vvgStart;
        break;
    case VOZ_READ_NEXT_DOC:
        if (!own && info->vvgEnd == VOZ_VVG_NONE_END) {
            doc = info->docNo < VOZ_DOC_END - 1 ? info->docNo + 1 : VOZ_DOC_END;
            pos = 0;
            break;
        }
        [[fallthrough]];
    case VOZ_READ_VVG_END:
        doc = own ? info->vvgId + 1 : info->docNo;
        pos = own ? 1 : info->vvgEnd;
        break;
    case VOZ_READ_AFTER_MARK:
        doc = w->lastReadDoc;
        pos = w->lastReadPos + 1;
        if (doc < w->resumeDoc) doc = -1;
        break;
    default:
        break;
    }
    if (w->nextHit == nullptr) return endWord(w);
    w->nextHit(w, w->nextArg1, w->nextArg2, nullptr, doc, pos, st);
    if (voz_Failed(st)) return;
    if (w->resumeDoc > VOZ_DOC_END - 1 || w->endFlag == 'Y' ||
        w->cur.docno >= VOZ_DOC_END)
        return endWord(w);
    w->lastReadDoc = w->cur.docno;
    w->lastReadPos = w->cur.pos;
    if (!own) return;
    // The word's occurrences are VVG-relative: map them back to documents.
    w->rawVvgId = w->cur.docno;
    w->rawRelPos = w->cur.pos;
    IDXINFO* index = vvgContext != nullptr ? static_cast<IDXINFO*>(vvgContext)
                                           : w->nextArg1;
    voz_VvgDocReverse(w, index, st);
}

void voz_TermForReadOcc(_WCTLHEAD* words, int32_t wordCount,
                        ANSWERFORM* answer) {
    if (answer != nullptr) {
        free(answer->readBuffer);
        answer->readBuffer = nullptr;
        if (answer->file != nullptr && answer->kind == VOZ_ANS_FILE &&
            answer->resType == 0) {
            voz_XXclose(answer->file);
            answer->file = nullptr;
        }
    }
    for (int32_t i = 0; i < wordCount; ++i) {
        _WCTLHEAD* w = &words[i];
        w->readSlice = nullptr;
        w->readCounters[0] = w->readCounters[1] = w->readCounters[2] = 0;
        if (w->vvgPctl == nullptr) continue;
        GTRSTATUS ignored{};
        voz_TermPctl(w->vvgPctl, &ignored);
        free(w->vvgPctl);
        w->vvgPctl = nullptr;
    }
}

void voz_SortOccIX(const _WCTLHEAD* words, int32_t* order, int32_t n) {
    voz_QuickSort(order, n, [words](int32_t a, int32_t b) {
        return occLess(words[a], words[b]);
    });
}

void voz_OccKeepOrder(int32_t* count, int32_t n, int32_t* order,
                      const _WCTLHEAD* words) {
    constexpr int32_t kProbe = 9;
    for (int32_t i = n - 1; i >= 0; --i) {
        int32_t moved = order[i];
        int32_t active = *count;
        if (words[moved].endFlag == 'Y') {
            memmove(order + i, order + i + 1,
                    static_cast<size_t>(active - i - 1) * sizeof *order);
            order[active - 1] = moved;
            --*count;
            continue;
        }
        // First entry after i whose key is not below the moved word's.
        int32_t lo = i + 1, hi = active;
        int32_t probeEnd = lo + kProbe < hi ? lo + kProbe : hi;
        while (lo < probeEnd && occLess(words[order[lo]], words[moved])) ++lo;
        if (lo == probeEnd) {
            while (lo < hi) {
                int32_t mid = lo + (hi - lo) / 2;
                if (occLess(words[order[mid]], words[moved]))
                    lo = mid + 1;
                else
                    hi = mid;
            }
        }
        memmove(order + i, order + i + 1,
                static_cast<size_t>(lo - i - 1) * sizeof *order);
        order[lo - 1] = moved;
    }
}

bool voz_IsResultSortedByDoc(const OCC* occs, int32_t n, uint32_t bound,
                             uint8_t mode) {
    uint32_t last = bound;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t d = static_cast<uint32_t>(occs[i].docno);
        if (mode != 0) {
            if (d > bound) return false;
        } else {
            if (d < last) return false;
            last = d;
        }
    }
    return true;
}
