// voz_gctl.cpp -- building a posting control over several keys: the
// variants of a word part with alternate characters, a batch from a
// candidate list, the split into kept keys and keys without postings, the
// start, the ending operations and the field-number key (see voz_gctl.hpp).
// The document and position skips are in voz_gctlskip.cpp.
#include "search/voz_gctl.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "characters/voz_cut.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"

namespace {

constexpr uint8_t kNoPostings = 0x10;   // posting-state byte of a key
constexpr int64_t kMaxVariants = 1 << 20;
constexpr int32_t kSliceCap = 4096;

int32_t unitWidthOf(const IDXINFO* index) {
    int32_t w = index->info.unitWidth;
    return w >= 1 && w <= VOZ_ALTER_UNIT_BYTES ? w : 2;
}

bool hasPostings(const PCTLHEAD& p) {
    return (p.posAttr.level & kNoPostings) == 0;
}

// Splits the found keys all[0 .. found-1] into g's kept keys; all becomes
// g->allPctl. False when memory runs out (11/ec; all stays the caller's).
bool splitKept(GCTLINFO* g, PCTLHEAD* all, int32_t found, int32_t ec,
               GTRSTATUS* st) {
    int32_t kept = 0;
    for (int32_t i = 0; i < found; ++i) kept += hasPostings(all[i]) ? 1 : 0;
    size_t n = static_cast<size_t>(kept > 0 ? kept : 1);
    PCTLHEAD* pctl = static_cast<PCTLHEAD*>(calloc(n, sizeof(PCTLHEAD)));
    int32_t* map = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (pctl == nullptr || map == nullptr) {
        free(pctl);
        free(map);
        voz_setStatus(st, VOZ_RC_MEMORY, ec, nullptr, ENOMEM);
        return false;
    }
    int32_t k = 0;
    for (int32_t i = 0; i < found; ++i) {
        if (hasPostings(all[i])) {
            pctl[k] = all[i];
            map[k++] = i;
            continue;
        }
        if (st != nullptr) st->retrieve_status |= 0x02;
        if (all[i].keyUnits > g->droppedUnits) g->droppedUnits = all[i].keyUnits;
    }
    g->allDropped = found > 0 && kept == 0 ? 1 : 0;
    g->pctl = pctl;
    g->keptToAll = map;
    g->allPctl = all;
    g->allCount = found;
    g->activeCount = g->keyCount = kept;
    return true;
}

// Number of variants of the part's units; -1 when there are too many.
int64_t variantCount(const VOZALTERENTRY* alters, int32_t units) {
    int64_t v = 1;
    for (int32_t i = 0; alters != nullptr && i < units; ++i) {
        int32_t c = alters[i].count;
        if (c < 0) c = 0;
        if (c > VOZ_ALTER_MAX) c = VOZ_ALTER_MAX;
        v *= c + 1;
        if (v > kMaxVariants) return -1;
    }
    return v;
}

int32_t altCount(const VOZALTERENTRY* alters, int32_t i) {
    if (alters == nullptr) return 0;
    int32_t c = alters[i].count;
    return c < 0 ? 0 : (c > VOZ_ALTER_MAX ? VOZ_ALTER_MAX : c);
}

// Builds the variant of the digits in slot `p`: its 6 key bytes in `key`.
// In mode 'B' the key begins with a begin-mark unit of value `startMark`.
void buildVariant(PCTLHEAD* p, uint8_t* key, const uint8_t* text,
                  const VOZALTERENTRY* alters, const int32_t* digit,
                  int32_t units, int32_t w, char mode, uint8_t startMark) {
    memset(p, 0, sizeof *p);
    memset(key, 0, VOZ_KEY_HEAD_BYTES);
    uint8_t raw[VOZ_KEY_HEAD_BYTES + 2 * VOZ_ALTER_UNIT_BYTES] = {};
    int32_t at = 0;
    if (mode == 'B') {
        vozCHmarkUnit_Set('B', raw, startMark, static_cast<int16_t>(w));
        at = w;
    }
    p->keyUnits = static_cast<int16_t>(units);
    p->totalWeight = 0;
    for (int32_t i = 0; i < units && at < VOZ_KEY_HEAD_BYTES; ++i) {
        const uint8_t* unit = text + i * w;
        int32_t weight = 100;
        if (digit[i] > 0) {
            const VOZALTERCHAR& a = alters[i].alter[digit[i] - 1];
            unit = a.unit;
            if (i > 0) weight = a.weight;
        }
        memcpy(raw + at, unit, static_cast<size_t>(w));
        at += w;
        if (i < 6) p->unitWeight[i] = weight;
        p->totalWeight += weight;
    }
    memcpy(key, raw, VOZ_KEY_HEAD_BYTES);
}

// Advances the odometer; false when every digit wrapped.
bool nextVariant(int32_t* digit, const VOZALTERENTRY* alters, int32_t units) {
    for (int32_t i = 0; i < units; ++i) {
        if (digit[i] < altCount(alters, i)) {
            ++digit[i];
            for (int32_t j = 0; j < i; ++j) digit[j] = 0;
            return true;
        }
    }
    return false;
}

void termAll(GCTLINFO* g, GTRSTATUS* st) {
    if (g->allPctl != nullptr && g->keptToAll != nullptr) {
        for (int32_t k = 0; k < g->keyCount; ++k)
            g->allPctl[g->keptToAll[k]] = g->pctl[k];
    }
    PCTLHEAD* list = g->allPctl != nullptr ? g->allPctl : g->pctl;
    int32_t n = g->allPctl != nullptr ? g->allCount : g->keyCount;
    for (int32_t i = 0; i < n; ++i) {
        GTRSTATUS mine{};
        voz_TermPctl(&list[i], &mine);
        if (mine.retcode != 0 && !voz_Failed(st))
            voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                           mine.errfname2, mine.system_errno);
    }
}

}  // namespace

void voz_SearchPatt_(RTRVWORDEXT* word, GCTLINFO* g, int32_t start,
                     IDXINFO* index, char mode, GTRSTATUS* st, int noStart) {
    int32_t w = unitWidthOf(index);
    int32_t units = mode == 'B' ? 1 : g->pattLength / w;
    if (units < 1) units = 1;
    // Never past the word: a damaged header may give keys longer than the
    // units the word has left.
    const int32_t left = word->wi.wordlen / w - start;
    if (left < 1) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 255);
        return;
    }
    if (units > left) units = left;
    const uint8_t* text = word->wi.wordp + static_cast<size_t>(start) * w;
    const VOZALTERENTRY* alters =
        word->alter_chars != nullptr ? word->alter_chars + start : nullptr;
    int64_t variants = variantCount(alters, units);
    PCTLHEAD* cand = variants < 0 ? nullptr
        : static_cast<PCTLHEAD*>(calloc(static_cast<size_t>(variants),
                                        sizeof(PCTLHEAD)));
    if (cand == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 253, nullptr, ENOMEM);
        return;
    }
    g->docTotal = 0;
    int32_t digit[VOZ_KEY_HEAD_BYTES * 8] = {};
    if (units > static_cast<int32_t>(sizeof digit / sizeof digit[0]))
        units = sizeof digit / sizeof digit[0];
    int32_t found = 0;
    do {
        if (found >= variants) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 255);
            break;
        }
        uint8_t key[VOZ_KEY_HEAD_BYTES];
        PCTLHEAD* p = &cand[found];
        // The word-start keys carry the mark value the builder writes (the
        // creation parameters' word-start mark), not the code page.
        buildVariant(p, key, text, alters, digit, units, w, mode,
                     index->info.options[2]);
        KEY_REC rec;
        int32_t number = 0;
        if (voz_BinSearchKeyWhole(VOZ_BS_PATTERN, key, index, &rec, &number,
                                  st) < 0)
            break;
        if (memcmp(rec.key, key, VOZ_KEY_HEAD_BYTES) == 0) {
            voz_InitPctl(p, &rec, g->basePos, 'N', st);
            ++found;
        }
    } while (nextVariant(digit, alters, units));
    if (!voz_Failed(st) && found == 0) {
        g->activeCount = g->keyCount = 0;
        free(cand);
        return;
    }
    if (voz_Failed(st) || !splitKept(g, cand, found, 291, st)) {
        free(cand);
        return;
    }
    if (g->keyCount > 0 && noStart == 0) voz_InitGctlPctl(g, index, nullptr, st);
}

void voz_InitPctlBatch0_(GCTLINFO* g, ANSWERFORM* candidates, IDXINFO* index,
                         int32_t maxLead, int32_t maxTrail, GTRSTATUS* st,
                         int noStart) {
    int32_t n = candidates != nullptr ? candidates->memEntries : 0;
    g->curDoc = -1;
    g->activeCount = n;
    g->docTotal = 0;
    PCTLHEAD* slots = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(n > 0 ? n : 1), sizeof(PCTLHEAD)));
    if (slots == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 256, nullptr, ENOMEM);
        return;
    }
    // Candidates are token keys: their units have the X part's width.
    int32_t w = index->info.xIndexUnitWidth > 0 ? index->info.xIndexUnitWidth
                                                : unitWidthOf(index);
    bool all = g->takeAll == 'Y';
    int32_t filled = 0;
    for (int32_t c = 0; c < n; ++c) {
        const OCC* e = voz_OccAt(candidates->pages, c);
        int32_t length = e->pos, candStart = e->len;
        int32_t lead = (length > 2 ? length : 2) - 2;
        if (!all && lead > maxLead) continue;
        KEY_REC recs[2];
        int32_t keyLength = 0;
        if (voz_ReadKeyRec_1(&index->fctl, recs, w, &keyLength, e->docno, st) != 0)
            break;
        int32_t keyUnits = keyLength / w;
        int32_t trail = keyUnits - (candStart + length) + 2;
        if (trail < 0) trail = 0;
        if (!all && trail > maxTrail) continue;
        PCTLHEAD* p = &slots[filled++];
        p->keyUnits = static_cast<int16_t>(keyUnits);
        voz_InitPctl(p, &recs[0], 0, 'N', st);
        p->leadOffset = all ? 0 : lead;
        p->trailExcess = all ? 0 : trail;
    }
    if (voz_Failed(st) || filled == 0) {
        free(slots);
        g->activeCount = 0;
        return;
    }
    if (!splitKept(g, slots, filled, 292, st)) {
        free(slots);
        return;
    }
    int64_t total = 0;
    for (int32_t k = 0; k < g->keyCount; ++k)
        total += g->pctl[k].docCount < static_cast<uint32_t>(kSliceCap)
                     ? g->pctl[k].docCount : kSliceCap;
    g->docTotal = static_cast<int32_t>(total);
    if (g->keyCount == 0) return;
    size_t size = static_cast<size_t>(total > 256 ? total : 256);
    uint8_t* buf = static_cast<uint8_t*>(malloc(size));
    if (buf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 257, nullptr, ENOMEM);
        return;
    }
    size_t at = 0;
    for (int32_t k = 0; k < g->keyCount; ++k) {
        uint32_t slice = g->pctl[k].docCount < static_cast<uint32_t>(kSliceCap)
                             ? g->pctl[k].docCount : kSliceCap;
        g->pctl[k].readBuffer = buf + at;
        g->pctl[k].readBufferSize = static_cast<int32_t>(slice);
        g->pctl[k].bufferOwner = 'N';
        at += slice;
    }
    if (noStart == 0) voz_InitGctlPctl(g, index, nullptr, st);
}

void voz_SearchPattTerm(GCTLINFO* g, GTRSTATUS* st) {
    termAll(g, st);
    free(g->allPctl);
    free(g->keptToAll);
    free(g->pctl);
    free(g->order);
    free(g->extraBuffer);
    g->allPctl = g->pctl = nullptr;
    g->keptToAll = g->order = g->scratch = nullptr;
    g->extraBuffer = nullptr;
    g->allCount = g->keyCount = g->activeCount = g->groupCount = 0;
}

void voz_TermPctlBatch0(GCTLINFO* g, GTRSTATUS* st) {
    bool had = g->pctl != nullptr;
    uint8_t* shared = had && g->keyCount > 0 ? g->pctl[0].readBuffer : nullptr;
    if (had) {
        for (int32_t k = 0; k < g->keyCount; ++k) {
            g->pctl[k].readBuffer = nullptr;  // slices of the shared buffer
            g->pctl[k].readBufferSize = 0;
        }
    }
    termAll(g, st);
    free(shared);
    free(g->allPctl);
    free(g->keptToAll);
    free(g->pctl);
    if (had) {
        free(g->order);
        free(g->extraBuffer);
        g->extraBuffer = nullptr;
        g->order = g->scratch = nullptr;
    }
    g->allPctl = g->pctl = nullptr;
    g->keptToAll = nullptr;
    g->allCount = g->keyCount = g->activeCount = g->groupCount = 0;
}

void voz_TermGctlPctl(GCTLINFO* g, char freeOrder) {
    if (freeOrder) free(g->order);
    g->order = g->scratch = nullptr;
    free(g->extraBuffer);
    g->extraBuffer = nullptr;
}

void voz_InitFieldPctl(PCTLHEAD* p, IDXINFO* index, uint16_t field,
                       uint16_t* nextField, GTRSTATUS* st) {
    uint8_t key[VOZ_KEY_HEAD_BYTES] = {};
    voz_FldNumber_Set(key, field);
    KEY_REC rec;
    int32_t number = 0;
    if (voz_BinSearchKeyWhole(VOZ_BS_FIELD, key, index, &rec, &number, st) < 0)
        return;
    if (memcmp(rec.key, key, VOZ_KEY_HEAD_BYTES) != 0) {
        p->endOfDocs = 'Y';
        p->curId = p->curDoc = VOZ_DOC_END;
        if (nextField != nullptr)
            *nextField = rec.kind == VOZ_KIND_DFIXED ? voz_FldNumber_Get(rec.key)
                                                     : 0xFFFF;
        return;
    }
    voz_InitPctl(p, &rec, 0, 'N', st);
    voz_PointVvgSkip(&index->fctl, p, 0, st);
}
