// voz_checkrange.cpp -- range check of words: field restrictions (through
// voz_fieldrange.hpp) and block ranges (see voz_checkrange.hpp).
//
// A word names block ranges with rangeCount (the entries of the RTRVRANGE
// list in rangeData, or 0xFFFF for "every even-numbered block") and the
// block kind in delimiterNumber. A word with a field table (fieldCount
// non-zero after the set-up) is tested against its fields first; only a
// word weighted by field (whose weight list serves as its fields) may also
// have blocks: the search refuses a field restriction with blocks.
#include "search/voz_checkrange.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "search/voz_fieldrange.hpp"

namespace {

constexpr int32_t kEcNoBlockCtl = 259;
// rangeCount of a word whose every even-numbered block counts.
constexpr uint16_t kEvenBlocks = 0xFFFF;

bool hasBlockRanges(const _WCTLHEAD* w) { return w->rangeCount != 0; }

// Smallest start and largest end of the word's well-formed ranges.
void rangeBounds(const _WCTLHEAD* w, int32_t* low, int32_t* high) {
    *low = 0x7FFFFFFE;
    *high = 1;
    const RTRVRANGE* r = static_cast<const RTRVRANGE*>(w->rangeData);
    for (int32_t i = 0; r != nullptr && i < w->rangeCount; ++i) {
        if (r[i].start > r[i].end) continue;
        if (r[i].start < *low) *low = r[i].start;
        if (r[i].end > *high) *high = r[i].end;
    }
}

bool inSomeRange(const _WCTLHEAD* w, int32_t n) {
    const RTRVRANGE* r = static_cast<const RTRVRANGE*>(w->rangeData);
    for (int32_t i = 0; r != nullptr && i < w->rangeCount; ++i)
        if (r[i].start <= n && n <= r[i].end) return true;
    return false;
}

// Lets the word's next read after a rejection start at (doc, pos).
void skipHint(_WCTLHEAD* w, int32_t doc, int32_t pos) {
    w->lastReadDoc = doc;
    w->lastReadPos = pos - 1;
}

// Opens a block control for every block kind a word's ranges name.
void openBlockControls(IDXINFO* index, _WCTLHEAD* words, int32_t wordCount,
                       BLOCKCTL** blocks, GTRSTATUS* st) {
    for (int32_t i = 0; i < wordCount && !voz_Failed(st); ++i) {
        _WCTLHEAD* w = &words[i];
        if (!hasBlockRanges(w)) continue;
        int16_t kind = w->delimiterNumber;
        if (kind < 0 || kind >= VOZ_BLOCK_KINDS) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 258);
            return;
        }
        if (blocks[kind] != nullptr) continue;
        auto* b = static_cast<BLOCKCTL*>(calloc(1, sizeof(BLOCKCTL)));
        if (b == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, kEcNoBlockCtl, nullptr, ENOMEM);
            return;
        }
        blocks[kind] = b;
        voz_InitForGetBlock(index, b, kind, st);
    }
}

// The block test of the word's current occurrence (VOZ_RANGE_*).
int32_t checkBlock(IDXINFO* index, _WCTLHEAD* w, BLOCKCTL** blocks,
                   VVGDOCINFO* info, GTRSTATUS* st) {
    const OCC& o = w->cur;
    if (w->vvgPctl != nullptr || o.len == 0) return VOZ_RANGE_REJECT;
    BLOCKCTL* b = blocks[w->delimiterNumber];
    if (b == nullptr) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_RANGE_RESTRICTED);
        return VOZ_RANGE_ERROR;
    }
    if (!(b->vvgId == info->vvgId && b->blockStart <= o.pos && o.pos < b->blockEnd)) {
        voz_GetBlock(index, b, &o, info, st);
        if (voz_Failed(st)) return VOZ_RANGE_ERROR;
    }
    int32_t n = b->blockNo;
    bool fits = static_cast<int64_t>(o.pos) + o.len - 1 < b->blockEnd;
    if (w->rangeCount == kEvenBlocks) {
        if (n % 2 != 0) {
            skipHint(w, o.docno, b->blockEnd);
            return VOZ_RANGE_REJECT;
        }
        return fits ? VOZ_RANGE_ACCEPT : VOZ_RANGE_REJECT;
    }
    int32_t low, high;
    rangeBounds(w, &low, &high);
    if (n < low) {
        skipHint(w, o.docno, b->blockEnd);
        return VOZ_RANGE_REJECT;
    }
    if (n > high) {
        if (voz_IndexHasVvgs(index))
            skipHint(w, o.docno, info->vvgEnd);
        else
            skipHint(w, o.docno + 1, 1);
        return VOZ_RANGE_REJECT;
    }
    bool listed = inSomeRange(w, n);
    if (listed && fits) return VOZ_RANGE_ACCEPT;
    if (!listed) skipHint(w, o.docno, b->blockEnd);
    return VOZ_RANGE_REJECT;
}

}  // namespace

void voz_InitForCheckRange(IDXINFO* index, _WCTLHEAD* words,
                           BLOCKCTL** blocks, int32_t wordCount,
                           OPPARM* ops, int32_t opCount, MULTIFIELDCTRL* mfc,
                           RANKPARM* rank, GTRSTATUS* st) {
    if (blocks != nullptr)
        memset(blocks, 0, VOZ_BLOCK_KINDS * sizeof *blocks);
    if (mfc != nullptr) memset(mfc, 0, sizeof *mfc);
    for (int32_t i = 0; i < wordCount; ++i) {
        _WCTLHEAD* w = &words[i];
        // Until the field set-up says otherwise every occurrence counts 1.0.
        w->wordWeight = 1.0f;
        w->maxWeight = 1.0f;
        w->resultWeight = 0.0f;
        w->accWeight = 0.0f;
        w->fieldArray = nullptr;
        w->fieldCount = 0;
    }
    if (blocks != nullptr) openBlockControls(index, words, wordCount, blocks, st);
    if (mfc != nullptr && !voz_Failed(st))
        voz_InitForCheckFieldRange(index, ops, opCount, words, wordCount, mfc,
                                   rank, st);
}

int32_t voz_CheckRange(IDXINFO* index, _WCTLHEAD* word, BLOCKCTL** blocks,
                       MULTIFIELDCTRL* mfc, VVGDOCINFO* info,
                       GTRSTATUS* st) {
    bool fields = word->fieldCount > 0 && mfc != nullptr;
    if (fields) {
        if (word->vvgPctl != nullptr || word->cur.len == 0)
            return VOZ_RANGE_REJECT;
        int32_t verdict = voz_CheckFieldRangeForOneTerm(index, word, blocks,
                                                        mfc, info, st);
        if (verdict != VOZ_RANGE_ACCEPT) return verdict;
    }
    // A word weighted by field (no field restriction) may also have blocks.
    if (hasBlockRanges(word)) {
        if (blocks == nullptr) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_RANGE_RESTRICTED);
            return VOZ_RANGE_ERROR;
        }
        int32_t verdict = checkBlock(index, word, blocks, info, st);
        if (verdict != VOZ_RANGE_ACCEPT) return verdict;
    }
    if (!fields) word->resultWeight = word->wordWeight;
    word->accWeight += word->resultWeight;
    word->weight = word->resultWeight;  // the term weight of the walk
    return VOZ_RANGE_ACCEPT;
}

void voz_TermForCheckRange(_WCTLHEAD* words, int32_t wordCount,
                           OPPARM* ops, int32_t opCount,
                           BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                           GTRSTATUS* st) {
    if (blocks != nullptr) {
        for (int k = 0; k < VOZ_BLOCK_KINDS; ++k) {
            if (blocks[k] == nullptr) continue;
            voz_TermForGetBlock(blocks[k]);
            free(blocks[k]);
            blocks[k] = nullptr;
        }
    }
    voz_TermForCheckFieldRange(words, wordCount, ops, opCount, mfc, st);
    if (mfc != nullptr) memset(mfc, 0, sizeof *mfc);
}
