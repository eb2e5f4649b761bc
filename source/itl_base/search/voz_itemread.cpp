// voz_itemread.cpp -- the key readers of equal-word parts over an item
// half (see voz_itemread.hpp).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "characters/voz_cut.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_pctl.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exactmix.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_itemread.hpp"

namespace {

constexpr int32_t kSliceCap = 4096;     // read slice of one short key
constexpr int32_t kKeyBytes = VOZ_KEY_HEAD_BYTES;
// Room for a variable part with its two marks.
constexpr int32_t kVarKeyBuffer = 3 * 1024;

int32_t unitWidthOf(const IDXINFO* index) {
    return index->info.unitWidth > 0 ? index->info.unitWidth : 1;
}

// Bytes of one stored n-gram (at most the 6 bytes of a key head).
int32_t chunkBytesOf(const IDXINFO* index) {
    const int32_t c = index->keyCmpLen;
    return c > 0 && c <= kKeyBytes ? c : kKeyBytes;
}

void endDocs(GCTLINFO* g) {
    g->endOfDocs = 'Y';
    g->curDoc = VOZ_DOC_END;
}

void noMemory(GTRSTATUS* st, int32_t ec) {
    voz_setStatus(st, VOZ_RC_MEMORY, ec, nullptr, ENOMEM);
}

}  // namespace

// ---- short parts ------------------------------------------------------------

void voz_ItemInitShort(ITEMCTL* part, GCTLINFO* g, IDXINFO* index, IDXINFO*,
                       VOZ_MARKSETUNIT_FN, GTRSTATUS* st) {
    g->pattern = const_cast<uint8_t*>(part->partBytes);
    g->pattLength = part->partLength;
    g->curDoc = -1;
    const int32_t len = std::min(part->partLength, chunkBytesOf(index));
    uint8_t low[kKeyBytes] = {};
    memcpy(low, part->partBytes, static_cast<size_t>(std::max(len, 0)));
    KEY_REC rec;
    int32_t first = 0;
    // The first key not below the part; a key without postings found there
    // has its bytes cleared, so the range below is filtered key by key.
    if (len < 1 || voz_BinSearchPatt(low, index, &rec, &first, st) < 0 ||
        first < 0)
        return endDocs(g);
    // The first key above every key that begins with the part: the part
    // incremented as a big-endian number (no such key when it overflows).
    uint8_t high[kKeyBytes] = {};
    memcpy(high, low, sizeof high);
    int32_t i = len - 1;
    while (i >= 0 && ++high[i] == 0) --i;
    int32_t end = static_cast<int32_t>(index->info.fixedKeys);
    if (i >= 0) {
        KEY_REC above;
        int32_t number = 0;
        if (voz_BinSearchPatt(high, index, &above, &number, st) < 0)
            return endDocs(g);
        if (number >= 0 && number < end) end = number;
    }
    const int32_t count = end - first;
    if (count < 1) return endDocs(g);
    KEY_REC* records = static_cast<KEY_REC*>(
        malloc(static_cast<size_t>(count) * sizeof(KEY_REC)));
    g->pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(count), sizeof(PCTLHEAD)));
    if (records == nullptr || g->pctl == nullptr) {
        free(records);
        noMemory(st, VOZ_EC_ITEM_SHORT_MEMORY);
        return endDocs(g);
    }
    if (voz_ReadKeyMulti(&index->fctl, records, first, count, 1, st) != 0) {
        free(records);
        return endDocs(g);
    }
    int32_t kept = 0;
    int64_t total = 0;
    for (int32_t k = 0; k < count; ++k) {
        const KEY_REC& r = records[k];
        if (r.kind == VOZ_KIND_CONT || r.dataLength == 0 ||
            memcmp(r.key, low, static_cast<size_t>(len)) != 0)
            continue;
        voz_InitPctl(&g->pctl[kept], &r, 0, 'N', st);
        total += std::min<uint32_t>(r.docCount, kSliceCap);
        ++kept;
    }
    free(records);
    g->keyCount = g->activeCount = kept;
    if (kept == 0) return endDocs(g);
    uint8_t* buffer = static_cast<uint8_t*>(
        malloc(static_cast<size_t>(std::max<int64_t>(total, 256))));
    if (buffer == nullptr) {
        noMemory(st, VOZ_EC_ITEM_SHORT_BUFFER);
        return endDocs(g);
    }
    for (int32_t k = 0, at = 0; k < kept; ++k) {
        const int32_t slice =
            static_cast<int32_t>(std::min<uint32_t>(g->pctl[k].docCount, kSliceCap));
        g->pctl[k].readBuffer = buffer + at;
        g->pctl[k].readBufferSize = slice;
        g->pctl[k].bufferOwner = 'N';
        at += slice;
    }
    voz_InitGctlPctl(g, index, nullptr, st);
}

void voz_ItemTermShort(GCTLINFO* g) {
    uint8_t* shared = g->pctl != nullptr && g->keyCount > 0
                          ? g->pctl[0].readBuffer : nullptr;
    voz_TermGctlPctl(g, 1);
    GTRSTATUS ignored{};
    for (int32_t k = 0; k < g->keyCount; ++k) {
        g->pctl[k].readBuffer = nullptr;
        voz_TermPctl(&g->pctl[k], &ignored);
    }
    free(shared);
    free(g->pctl);
    g->pctl = nullptr;
    g->keyCount = g->activeCount = g->groupCount = 0;
}

// ---- long parts -------------------------------------------------------------

void voz_ItemInitLong(ITEMCTL* part, GCTLINFO* g, IDXINFO* index, IDXINFO*,
                      VOZ_MARKSETUNIT_FN, GTRSTATUS* st) {
    g->pattern = const_cast<uint8_t*>(part->partBytes);
    g->pattLength = part->partLength;
    g->curDoc = -1;
    const int32_t w = unitWidthOf(index);
    const int32_t c = chunkBytesOf(index);
    const int32_t length = part->partLength;
    if (length < 1) return endDocs(g);
    const int32_t chunks = length <= c ? 1 : (length + c - 1) / c;
    g->pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(chunks), sizeof(PCTLHEAD)));
    if (g->pctl == nullptr) {
        noMemory(st, VOZ_EC_ITEM_LONG_MEMORY);
        return endDocs(g);
    }
    for (int32_t k = 0; k < chunks; ++k) {
        const int32_t start = length <= c ? 0 : std::min(k * c, length - c);
        uint8_t key[kKeyBytes] = {};
        memcpy(key, part->partBytes + start,
               static_cast<size_t>(std::min(c, length - start)));
        KEY_REC rec;
        int32_t number = 0;
        const int rc = voz_BinSearchPatt(key, index, &rec, &number, st);
        if (rc != 0 || memcmp(rec.key, key, static_cast<size_t>(c)) != 0)
            return endDocs(g);
        voz_InitPctl(&g->pctl[k], &rec, (length - start) / w, 'N', st);
        g->keyCount = k + 1;
    }
    g->activeCount = g->keyCount;
    voz_ItemPointVvgLong(g, 0, index, st);
    g->endOfPos = 'N';
}

void voz_ItemPointVvgLong(GCTLINFO* g, int32_t doc, IDXINFO* index,
                          GTRSTATUS* st) {
    if (g->endOfDocs == 'Y' || g->keyCount < 1) return endDocs(g);
    int32_t target = std::max(doc, 0);
    for (;;) {
        int32_t highest = target;
        for (int32_t k = 0; k < g->keyCount; ++k) {
            PCTLHEAD& p = g->pctl[k];
            if (p.endOfDocs != 'Y' && p.curDoc < target)
                voz_PointVvgSkip(&index->fctl, &p, static_cast<uint32_t>(target), st);
            if (voz_Failed(st) || p.endOfDocs == 'Y' || p.curDoc >= VOZ_DOC_END)
                return endDocs(g);
            highest = std::max(highest, p.curDoc);
        }
        if (highest == target) break;
        target = highest;
    }
    g->curDoc = target;
    g->curPos = 0;
    g->endOfPos = 'N';
}

void voz_ItemPointPosLong(GCTLINFO* g, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st) {
    if (g->endOfPos == 'Y' || g->keyCount < 1) {
        g->endOfPos = 'Y';
        return;
    }
    // Chunks report the part's end (start + base of chunk 0).
    const int32_t base = g->pctl[0].basePos;
    int64_t target = static_cast<int64_t>(std::max(pos, 1)) + base;
    for (;;) {
        if (target >= VOZ_POS_END) {
            g->endOfPos = 'Y';
            return;
        }
        int64_t highest = target;
        for (int32_t k = 0; k < g->keyCount; ++k) {
            PCTLHEAD& p = g->pctl[k];
            if (p.endOfPos != 'Y' && p.curPos < target)
                voz_PointPosSkip(&index->fctl, &p, static_cast<int32_t>(target), st);
            if (voz_Failed(st) || p.endOfPos == 'Y' || p.curPos < target) {
                g->endOfPos = 'Y';
                return;
            }
            highest = std::max<int64_t>(highest, p.curPos);
        }
        if (highest == target) break;
        target = highest;
    }
    g->curPos = static_cast<int32_t>(target - base);
    g->endOfPos = 'N';
}

void voz_ItemTermLong(GCTLINFO* g) {
    GTRSTATUS ignored{};
    for (int32_t k = 0; k < g->keyCount; ++k)
        voz_TermPctl(&g->pctl[k], &ignored);
    free(g->pctl);
    g->pctl = nullptr;
    g->keyCount = g->activeCount = 0;
}

// ---- variable parts ---------------------------------------------------------

void voz_InitPctlBatchItem(GCTLINFO* g, ANSWERFORM* candidates,
                           IDXINFO* index, int32_t maxLead, int32_t maxTrail,
                           GTRSTATUS* st) {
    const int32_t n = candidates != nullptr ? candidates->memEntries : 0;
    g->curDoc = -1;
    g->pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(std::max(n, 1)), sizeof(PCTLHEAD)));
    if (g->pctl == nullptr) {
        noMemory(st, VOZ_EC_ITEM_CAND_MEMORY);
        return endDocs(g);
    }
    // Candidates are variable keys: their units have the X part's width.
    const int32_t w = index->info.xIndexUnitWidth > 0 ? index->info.xIndexUnitWidth
                                                      : unitWidthOf(index);
    int32_t kept = 0;
    for (int32_t c = 0; c < n; ++c) {
        const OCC* e = voz_OccAt(candidates->pages, c);
        const int32_t at = e->pos, length = e->len;
        const int32_t lead = std::max(at, 2) - 2;
        if (lead > maxLead) continue;
        KEY_REC recs[2];
        int32_t keyLength = 0;
        if (voz_ReadKeyRec_1(&index->fctl, recs, w, &keyLength, e->docno, st) != 0)
            break;
        const int32_t keyUnits = keyLength / w;
        const int32_t trail = std::max(0, keyUnits - (at + length) + 2);
        if (trail > maxTrail) continue;
        PCTLHEAD* p = &g->pctl[kept++];
        p->keyUnits = static_cast<int16_t>(keyUnits);
        voz_InitPctl(p, &recs[0], lead, 'N', st);
        p->leadOffset = lead;
        p->trailExcess = trail;
    }
    g->keyCount = g->activeCount = kept;
    if (voz_Failed(st) || kept == 0) return endDocs(g);
    voz_InitGctlPctl(g, index, nullptr, st);
}

void voz_TermPctlBatchItem(GCTLINFO* g) {
    GTRSTATUS ignored{};
    for (int32_t k = 0; k < g->keyCount; ++k)
        voz_TermPctl(&g->pctl[k], &ignored);
    free(g->pctl);
    g->pctl = nullptr;
    g->keyCount = g->activeCount = g->groupCount = 0;
    voz_TermGctlPctl(g, 1);
}

void voz_ItemInitVar(ITEMCTL* part, GCTLINFO* g, IDXINFO* index,
                     IDXINFO* index2, VOZ_MARKSETUNIT_FN mark, GTRSTATUS* st) {
    g->pattern = const_cast<uint8_t*>(part->partBytes);
    g->pattLength = part->partLength;
    g->curDoc = -1;
    // No variable keys, or no key index over them: no key holds the part.
    if (index2 == nullptr || index2->info.fixedKeys == 0 ||
        index->info.varKeys == 0 || index->info.varRecords == 0 ||
        part->partLength < 1)
        return endDocs(g);
    // The pattern is built in the part's units (marks included); the key
    // index lookups pack them into its stored units themselves.
    const int32_t w = unitWidthOf(index);
    if (mark == nullptr) mark = vozCHmarkUnit_Set;
    uint8_t key[kVarKeyBuffer] = {};
    int32_t at = 0;
    const int32_t room = kVarKeyBuffer - 2 * VOZ_UNIT_FIELD;
    const int32_t length = std::min(part->partLength, room);
    if (part->leadSlack == 0) {
        mark('S', key, index2->info.options[0], static_cast<int16_t>(w));
        at += w;
    }
    memcpy(key + at, part->partBytes, static_cast<size_t>(length));
    at += length;
    if (part->trailSlack == 0) {
        mark('E', key + at, index2->info.options[1], static_cast<int16_t>(w));
        at += w;
    }
    ANSWERFORM keys;
    voz_OpenAnswer(&keys, nullptr, 0, nullptr, nullptr, nullptr, st);
    if (!voz_Failed(st)) voz_CollectKeyIndexHits(key, at, w, index2, mark, &keys, st);
    if (!voz_Failed(st) && keys.memEntries > 0) {
        // Key-index documents count the X part's records.
        for (int32_t i = 0; i < keys.memEntries; ++i)
            voz_OccAt(keys.pages, i)->docno +=
                static_cast<int32_t>(index->info.fixedRecords);
        voz_InitPctlBatchItem(g, &keys, index, part->leadSlack,
                              part->trailSlack, st);
    } else {
        endDocs(g);
    }
    voz_ReleaseAnswer(&keys);
}

void voz_ItemTermVar(GCTLINFO* g) { voz_TermPctlBatchItem(g); }

// ---- tables -----------------------------------------------------------------

const VOZ_ITEMINIT_FN ItemInit[3] = {voz_ItemInitVar, voz_ItemInitLong,
                                     voz_ItemInitShort};
const VOZ_ITEMTERM_FN ItemTerm[3] = {voz_ItemTermVar, voz_ItemTermLong,
                                     voz_ItemTermShort};
const VOZ_EQMOVE_FN ItemPointVvg[3] = {voz_GctlDocSkip, voz_ItemPointVvgLong,
                                       voz_GctlDocSkip};
const VOZ_EQMOVE_FN ItemPointFirstPos[3] = {
    voz_GctlPosSkipFirst, voz_ItemPointPosLong, voz_GctlPosSkipFirst};
const VOZ_EQMOVE_FN ItemPointPos[3] = {voz_GctlPosSkip, voz_ItemPointPosLong,
                                       voz_GctlPosSkip};
const VOZEQMOVES ItemMoves[3] = {
    {voz_GctlDocSkip, voz_GctlPosSkipFirst, voz_GctlPosSkip},
    {voz_ItemPointVvgLong, voz_ItemPointPosLong, voz_ItemPointPosLong},
    {voz_GctlDocSkip, voz_GctlPosSkipFirst, voz_GctlPosSkip},
};
