// voz_pools.cpp -- the posting and pair pools of a range word (see
// voz_pools.hpp): set-up and tear-down, adding a key, moving pools to a
// target, sorts and order repairs.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_blockctl.hpp"
#include "search/voz_pools.hpp"
#include "search/voz_qsort.hpp"

namespace {

constexpr int32_t kEntry = static_cast<int32_t>(sizeof(_KEYPAIR));
constexpr int32_t kLinearProbe = 9;
const SHORTOCC kExhausted = {VOZ_DOC_END, 0};

bool below(const SHORTOCC& a, const SHORTOCC& b) {
    return a.document < b.document ||
           (a.document == b.document && a.position < b.position);
}

void noMemory(GTRSTATUS* st, int32_t ec) {
    voz_setStatus(st, VOZ_RC_MEMORY, ec, nullptr, ENOMEM);
}

// The hit a posting control stands on.
SHORTOCC pctlHit(const PCTLHEAD& p, bool vvg) {
    if (p.endOfDocs == 'Y' || p.curDoc >= VOZ_DOC_END) return kExhausted;
    return {p.curDoc, vvg ? p.curPos : 1};
}

// Moves a posting control to its first hit at or after `t` (document
// 0x7FFFFFFF when there is none).
void pctlSeek(PCTLHEAD* p, SHORTOCC t, IDXINFO* index, bool vvg,
              GTRSTATUS* st) {
    _FCTLHEAD* fs = &index->fctl;
    while (!voz_Failed(st) && below(pctlHit(*p, vvg), t)) {
        int32_t doc = p->curDoc;
        if (doc < t.document || (!vvg && doc == t.document)) {
            int32_t next = doc < t.document ? t.document : doc + 1;
            voz_PointVvgSkip(fs, p, static_cast<uint32_t>(next), st);
            if (vvg && !voz_Failed(st) && p->endOfDocs != 'Y')
                voz_PointPosSkip(fs, p, next == t.document ? t.position : 1, st);
        } else {
            voz_PointPosSkip(fs, p, t.position, st);
        }
        if (voz_Failed(st)) return;
        if (p->endOfDocs == 'Y') {
            p->curDoc = VOZ_DOC_END;
            return;
        }
        if (vvg && p->endOfPos == 'Y') t = {p->curDoc + 1, 1};
    }
}

// Moves a posting control to its next hit.
void pctlNext(PCTLHEAD* p, IDXINFO* index, bool vvg, GTRSTATUS* st) {
    SHORTOCC h = pctlHit(*p, vvg);
    if (h.document >= VOZ_DOC_END) return;
    pctlSeek(p, {h.document + 1, vvg ? 1 : 0}, index, vvg, st);
}

// Insertion place for an element of key `k` among order[from .. c-1]: the
// first whose key is not below `k`; a linear probe first, then a binary
// search.
template <typename KeyOf>
int32_t insertPlace(const int32_t* order, int32_t from, int32_t c,
                    const SHORTOCC& k, KeyOf keyOf) {
    int32_t j = from;
    for (int32_t probe = 0; j < c && probe < kLinearProbe; ++j, ++probe)
        if (!below(keyOf(order[j]), k)) return j;
    int32_t lo = j, hi = c;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;
        if (below(keyOf(order[mid]), k))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

template <typename KeyOf, typename Exhausted>
void keepOrder(int32_t* active, int32_t n, int32_t* order, KeyOf keyOf,
               Exhausted exhausted) {
    int32_t c = *active;
    if (c < 1 || n < 1 || order == nullptr) return;
    if (n > c) n = c;
    for (int32_t i = n - 1; i >= 0; --i) {
        int32_t e = order[i];
        if (exhausted(e)) {
            memmove(&order[i], &order[i + 1],
                    sizeof(int32_t) * static_cast<size_t>(c - 1 - i));
            order[--c] = e;
            continue;
        }
        int32_t j = insertPlace(order, i + 1, c, keyOf(e), keyOf);
        memmove(&order[i], &order[i + 1],
                sizeof(int32_t) * static_cast<size_t>(j - 1 - i));
        order[j - 1] = e;
    }
    *active = c;
}

// Opens the next posting pool (130/387 when the limits are reached).
_PCTLPOOL* newPctlPool(_POOLCTL* pc, GTRSTATUS* st) {
    int32_t n = pc->pctlCount;
    int32_t size = VOZ_PCTLPOOL_FIRST;
    if (n > 0) {
        int32_t last = pc->pctlPools[n - 1].blockSize;
        if (n >= pc->slots ||
            (n > 1 && VOZ_PCTLPOOL_TOTAL - 2 * pc->pctlPools[n - 2].blockSize <=
                          last)) {
            voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE2, 387);
            return nullptr;
        }
        size = 2 * last < VOZ_PCTLPOOL_TOTAL - 2 * last
                   ? 2 * last : VOZ_PCTLPOOL_TOTAL - 2 * last;
    }
    voz_PctlPoolInit(&pc->pctlPools[n], size, st);
    if (voz_Failed(st)) return nullptr;
    pc->pctlCount = n + 1;
    pc->pctlOrder[pc->pctlActive++] = n;
    return &pc->pctlPools[n];
}

// The pair pool a new pair goes to, opened when needed.
_SOCCPOOL* pairPool(_POOLCTL* pc, bool vvg, GTRSTATUS* st) {
    int32_t n = pc->soccCount;
    if (n > 0) {
        _SOCCPOOL* last = &pc->soccPools[n - 1];
        if (last->left < last->capacity) return last;
    }
    int32_t capacity = VOZ_SOCCPOOL_FIRST;
    if (n > 0) {
        int32_t c = pc->soccPools[n - 1].capacity;
        if (n >= pc->slots || c > VOZ_SOCCPOOL_MAX - 1) {
            voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE2, vvg ? 389 : 390);
            return nullptr;
        }
        capacity = 2 * c < VOZ_SOCCPOOL_MAX ? 2 * c : VOZ_SOCCPOOL_MAX;
    }
    voz_SOccPoolInit(&pc->soccPools[n], capacity, st);
    if (voz_Failed(st)) return nullptr;
    pc->soccCount = n + 1;
    pc->soccOrder[pc->soccActive++] = n;
    return &pc->soccPools[n];
}

}  // namespace

void voz_PoolCtlInit(_POOLCTL* pc, GTRSTATUS* st) {
    memset(pc, 0, sizeof *pc);
    pc->slots = VOZ_POOL_SLOTS;
    size_t n = static_cast<size_t>(pc->slots);
    pc->pctlPools = static_cast<_PCTLPOOL*>(calloc(n, sizeof(_PCTLPOOL)));
    if (pc->pctlPools == nullptr) return noMemory(st, 379);
    pc->soccPools = static_cast<_SOCCPOOL*>(calloc(n, sizeof(_SOCCPOOL)));
    if (pc->soccPools == nullptr) {
        noMemory(st, 380);
        return voz_PoolCtlTerm(pc, nullptr);
    }
    pc->pctlOrder = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (pc->pctlOrder == nullptr) {
        noMemory(st, 381);
        return voz_PoolCtlTerm(pc, nullptr);
    }
    pc->soccOrder = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (pc->soccOrder == nullptr) {
        noMemory(st, 382);
        return voz_PoolCtlTerm(pc, nullptr);
    }
    if (newPctlPool(pc, st) == nullptr) voz_PoolCtlTerm(pc, nullptr);
}

void voz_PoolCtlTerm(_POOLCTL* pc, GTRSTATUS* st) {
    if (pc->pctlPools != nullptr)
        for (int32_t i = 0; i < pc->pctlCount; ++i)
            voz_PctlPoolTerm(&pc->pctlPools[i], st);
    if (pc->soccPools != nullptr)
        for (int32_t i = 0; i < pc->soccCount; ++i)
            voz_SOccPoolTerm(&pc->soccPools[i], st);
    free(pc->pctlPools);
    free(pc->soccPools);
    free(pc->pctlOrder);
    free(pc->soccOrder);
    memset(pc, 0, sizeof *pc);
}

void voz_PctlPoolInit(_PCTLPOOL* p, int32_t size, GTRSTATUS* st) {
    memset(p, 0, sizeof *p);
    p->block = static_cast<uint8_t*>(calloc(1, static_cast<size_t>(size)));
    if (p->block == nullptr) return noMemory(st, 392);
    p->order = static_cast<int32_t*>(
        calloc(static_cast<size_t>(size / kEntry) + 1, sizeof(int32_t)));
    if (p->order == nullptr) {
        free(p->block);
        p->block = nullptr;
        return noMemory(st, 378);
    }
    p->blockSize = size;
    p->freeEnd = size;
}

void voz_PctlPoolTerm(_PCTLPOOL* p, GTRSTATUS* st) {
    if (p->block != nullptr) {
        _KEYPAIR* e = voz_PoolEntries(p);
        for (int32_t i = 0; i < p->nextFree / kEntry; ++i) {
            GTRSTATUS own{};
            voz_TermPctl(&e[i].pctl, &own);
            if (own.retcode != 0 && st != nullptr && st->retcode == 0) *st = own;
        }
    }
    free(p->block);
    free(p->order);
    memset(p, 0, sizeof *p);
}

void voz_SOccPoolInit(_SOCCPOOL* p, int32_t capacity, GTRSTATUS* st) {
    memset(p, 0, sizeof *p);
    p->pairs = static_cast<SHORTOCC*>(
        calloc(static_cast<size_t>(capacity), sizeof(SHORTOCC)));
    if (p->pairs == nullptr) return noMemory(st, 383);
    p->capacity = capacity;
}

void voz_SOccPoolTerm(_SOCCPOOL* p, GTRSTATUS*) {
    free(p->pairs);
    memset(p, 0, sizeof *p);
}

void voz_NumSearch(_POOLCTL* pc, const KEY_REC* key, IDXINFO* index,
                   GTRSTATUS* st) {
    if (pc->pctlCount < 1) return voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE2, 387);
    bool vvg = voz_IndexHasVvgs(index);
    if (!vvg && key->docCount == 1 && key->dataLength != 0 &&
        key->lastDoc < static_cast<uint32_t>(VOZ_DOC_END)) {
        // One document: the key record names it, no position list is read.
        _SOCCPOOL* s = pairPool(pc, vvg, st);
        if (s != nullptr)
            s->pairs[s->left++] = {static_cast<int32_t>(key->lastDoc), 1};
        return;
    }
    int32_t share = key->docCount < static_cast<uint32_t>(VOZ_POOL_SHARE_MAX)
                        ? static_cast<int32_t>(key->docCount) : VOZ_POOL_SHARE_MAX;
    _PCTLPOOL* p = &pc->pctlPools[pc->pctlCount - 1];
    if (p->freeEnd - p->nextFree < share + kEntry) {
        p = newPctlPool(pc, st);
        if (p == nullptr) return;
    }
    _KEYPAIR* e = reinterpret_cast<_KEYPAIR*>(p->block + p->nextFree);
    memset(e, 0, sizeof *e);
    voz_InitPctl(&e->pctl, key, 0, 'N', st);
    // The reader keeps its own buffer; the share only bounds the pool.
    pctlSeek(&e->pctl, {0, 0}, index, vvg, st);
    SHORTOCC first = pctlHit(e->pctl, vvg);
    if (!voz_Failed(st) && first.document < VOZ_DOC_END)
        pctlNext(&e->pctl, index, vvg, st);
    if (voz_Failed(st) || first.document >= VOZ_DOC_END ||
        pctlHit(e->pctl, vvg).document >= VOZ_DOC_END) {
        GTRSTATUS own{};
        voz_TermPctl(&e->pctl, &own);
        memset(e, 0, sizeof *e);
        if (voz_Failed(st) || first.document >= VOZ_DOC_END) return;
        _SOCCPOOL* s = pairPool(pc, vvg, st);
        if (s == nullptr) return;
        s->pairs[s->left++] = first;
        return;
    }
    e->pair = first;
    p->order[p->active++] = p->nextFree / kEntry;
    p->nextFree += kEntry;
    p->freeEnd -= share;
}

void voz_PointPctlPoolSkip(_PCTLPOOL* p, const SHORTOCC* target,
                           IDXINFO* index, GTRSTATUS* st) {
    if (p->block == nullptr || p->active < 1) return;
    bool vvg = voz_IndexHasVvgs(index);
    _KEYPAIR* entries = voz_PoolEntries(p);
    auto step = [&](_KEYPAIR* e) {
        e->pair = pctlHit(e->pctl, vvg);
        if (e->pair.document >= VOZ_DOC_END) {
            e->pair = kExhausted;
            GTRSTATUS own{};
            voz_TermPctl(&e->pctl, &own);
            e->pctl.curDoc = VOZ_DOC_END;
            e->pctl.endOfDocs = 'Y';
            return;
        }
        pctlNext(&e->pctl, index, vvg, st);
    };
    int32_t moved = 0;
    if (target == nullptr) {
        step(&entries[p->order[0]]);
        moved = 1;
    } else {
        while (moved < p->active && below(entries[p->order[moved]].pair, *target)) {
            _KEYPAIR* e = &entries[p->order[moved]];
            if (below(pctlHit(e->pctl, vvg), *target))
                pctlSeek(&e->pctl, *target, index, vvg, st);
            step(e);
            ++moved;
            if (voz_Failed(st)) break;
        }
    }
    voz_KeepOrderKeyPairIX(&p->active, moved, p->order, entries);
}

void voz_PointSOccPoolSkip(_SOCCPOOL* p, const SHORTOCC* target,
                           GTRSTATUS*) {
    if (p->pairs == nullptr || p->left < 1) return;
    auto exhaust = [p] {
        p->left = 0;
        p->cursor = 0;
        p->pairs[0].document = VOZ_DOC_END;
    };
    if (target == nullptr) {
        if (--p->left == 0) return exhaust();
        ++p->cursor;
        return;
    }
    if (!below(p->pairs[p->cursor], *target)) return;
    // pairs[lo] lies before the target; pairs[hi] (or the end) does not.
    int32_t lo = p->cursor, end = p->cursor + p->left, hi = end;
    int32_t probe = lo + (p->left - 1) / 8 + 1;
    if (probe < end && below(p->pairs[probe], *target))
        lo = probe;
    else if (probe < end)
        hi = probe;
    while (hi - lo > 1) {
        int32_t mid = lo + (hi - lo) / 2;
        if (below(p->pairs[mid], *target))
            lo = mid;
        else
            hi = mid;
    }
    if (hi >= end) return exhaust();
    p->left -= hi - p->cursor;
    p->cursor = hi;
}

SHORTOCC voz_PctlPoolHead(const _PCTLPOOL* p) {
    if (p->block == nullptr || p->active < 1) return kExhausted;
    return voz_PoolEntries(p)[p->order[0]].pair;
}

SHORTOCC voz_SOccPoolHead(const _SOCCPOOL* p) {
    if (p->pairs == nullptr || p->left < 1) return kExhausted;
    return p->pairs[p->cursor];
}

void voz_SortKeyPairIX(_KEYPAIR* entries, int32_t* order, int32_t n,
                       GTRSTATUS*) {
    voz_QuickSort(order, n, [entries](int32_t a, int32_t b) {
        return below(entries[a].pair, entries[b].pair);
    });
}

void voz_SortPctlPoolIX(_PCTLPOOL* pools, int32_t* order, int32_t n,
                        GTRSTATUS*) {
    voz_QuickSort(order, n, [pools](int32_t a, int32_t b) {
        return below(voz_PctlPoolHead(&pools[a]), voz_PctlPoolHead(&pools[b]));
    });
}

void voz_SortSOccPoolIX(_SOCCPOOL* pools, int32_t* order, int32_t n,
                        GTRSTATUS*) {
    voz_QuickSort(order, n, [pools](int32_t a, int32_t b) {
        return below(voz_SOccPoolHead(&pools[a]), voz_SOccPoolHead(&pools[b]));
    });
}

void voz_KeepOrderPctlPoolIX(int32_t* active, int32_t n, int32_t* order,
                             _PCTLPOOL* pools) {
    keepOrder(active, n, order,
              [pools](int32_t i) { return voz_PctlPoolHead(&pools[i]); },
              [pools](int32_t i) {
                  return pools[i].block == nullptr || pools[i].active < 1;
              });
}

void voz_KeepOrderSOccPoolIX(int32_t* active, int32_t n, int32_t* order,
                             _SOCCPOOL* pools) {
    keepOrder(active, n, order,
              [pools](int32_t i) { return voz_SOccPoolHead(&pools[i]); },
              [pools](int32_t i) {
                  return pools[i].pairs == nullptr || pools[i].left < 1;
              });
}

void voz_KeepOrderKeyPairIX(int32_t* active, int32_t n, int32_t* order,
                            _KEYPAIR* entries) {
    keepOrder(active, n, order,
              [entries](int32_t i) { return entries[i].pair; },
              [entries](int32_t i) {
                  return entries[i].pair.document >= VOZ_DOC_END;
              });
}
