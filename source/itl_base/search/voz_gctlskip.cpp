// voz_gctlskip.cpp -- walking a posting control over several keys: the
// start, document skips, position skips (with the deferred merge of the
// touched prefix), the alter pair, order keeping and the sorts (see
// voz_gctl.hpp).
//
// Document skips touch only the keys below the target and restore the
// order with a 9-entry linear probe before a binary search, because an
// advanced key usually moves only a little. Position skips scan the sorted
// untouched tail only up to the first key already at or beyond the target
// and re-sort the touched prefix once VOZ_GCTL_MERGE_TOUCHED entries were
// touched.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_qsort.hpp"

namespace {

constexpr int32_t kProbe = 9;

bool docEnded(const PCTLHEAD& p) { return p.endOfDocs == 'Y'; }
bool posEnded(const PCTLHEAD& p) { return p.endOfPos == 'Y'; }

// The shared body of both order-keeping variants.
template <typename Ended, typename Value>
void keepOrder(int32_t* count, int32_t n, int32_t* order, PCTLHEAD* pctl,
               Ended ended, Value value) {
    int32_t c = *count;
    if (c < 1 || n < 1) return;
    if (n > c) n = c;
    for (int32_t i = n - 1; i >= 0; --i) {
        int32_t e = order[i];
        if (ended(pctl[e])) {
            memmove(order + i, order + i + 1,
                    static_cast<size_t>(c - 1 - i) * sizeof(int32_t));
            order[c - 1] = e;
            --c;
            continue;
        }
        int32_t v = value(pctl[e]);
        int32_t j = i + 1;
        int32_t limit = i + kProbe < c - 1 ? i + kProbe : c - 1;
        while (j <= limit && value(pctl[order[j]]) < v) ++j;
        if (j > limit) {  // binary search over the rest
            int32_t lo = limit + 1, hi = c;
            while (lo < hi) {
                int32_t mid = lo + (hi - lo) / 2;
                if (value(pctl[order[mid]]) < v)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            j = lo;
        }
        memmove(order + i, order + i + 1,
                static_cast<size_t>(j - 1 - i) * sizeof(int32_t));
        order[j - 1] = e;
    }
    *count = c;
}

void keepOrderVvg(int32_t* count, int32_t n, int32_t* order, PCTLHEAD* pctl) {
    keepOrder(count, n, order, pctl, docEnded,
              [](const PCTLHEAD& p) { return p.curDoc; });
}

// Forms the group of keys on the first key's document.
void formGroup(GCTLINFO* g) {
    if (g->activeCount < 1 || docEnded(g->pctl[g->order[0]])) {
        g->endOfDocs = 'Y';
        g->curDoc = VOZ_DOC_END;
        g->groupCount = 0;
        return;
    }
    g->curKey = g->order[0];
    g->curDoc = g->pctl[g->curKey].curDoc;
    g->groupCount = 0;
    g->maxWeight = g->maxUnits = 0;
    while (g->groupCount < g->activeCount) {
        const PCTLHEAD& p = g->pctl[g->order[g->groupCount]];
        if (docEnded(p) || p.curDoc != g->curDoc) break;
        if (p.totalWeight > g->maxWeight) g->maxWeight = p.totalWeight;
        if (p.keyUnits > g->maxUnits) g->maxUnits = p.keyUnits;
        ++g->groupCount;
    }
    g->touched = 0;
}

// Moves key `k` to its first position >= pos; a key out of positions gets
// VOZ_POS_END. True when it still has a position.
bool movePos(GCTLINFO* g, int32_t k, int32_t pos, IDXINFO* index,
             GTRSTATUS* st) {
    PCTLHEAD& p = g->pctl[k];
    voz_PointPosSkip(&index->fctl, &p, pos, st);
    if (posEnded(p)) {
        p.curPos = VOZ_POS_END;
        return false;
    }
    return true;
}

// Merges the touched prefix back into the sorted tail; keys out of
// positions go behind the group and leave it.
void mergeTouched(GCTLINFO* g) {
    int32_t t = g->touched;
    std::vector<int32_t> live, gone;
    for (int32_t i = 0; i < t; ++i) {
        int32_t k = g->order[i];
        (posEnded(g->pctl[k]) ? gone : live).push_back(k);
    }
    voz_SortPctlIXpos(g->pctl, live.data(), static_cast<int32_t>(live.size()));
    std::vector<int32_t> merged;
    size_t a = 0;
    int32_t b = t;
    while (a < live.size() || b < g->groupCount) {
        bool takeLive = b >= g->groupCount ||
                        (a < live.size() && g->pctl[live[a]].curPos <=
                                                g->pctl[g->order[b]].curPos);
        merged.push_back(takeLive ? live[a++] : g->order[b++]);
    }
    for (int32_t k : gone) merged.push_back(k);
    memcpy(g->order, merged.data(), merged.size() * sizeof(int32_t));
    g->groupCount -= static_cast<int32_t>(gone.size());
    g->touched = 0;
}

}  // namespace

void voz_PctlKeepOrderPos(int32_t* count, int32_t n, int32_t* order,
                          PCTLHEAD* pctl) {
    keepOrder(count, n, order, pctl, posEnded,
              [](const PCTLHEAD& p) { return p.curPos; });
}

void voz_SortPctlIXvvg(PCTLHEAD* pctl, int32_t* order, int32_t n) {
    voz_QuickSort(order, n, [pctl](int32_t x, int32_t y) {
        return pctl[x].curDoc < pctl[y].curDoc;
    });
}

void voz_SortPctlIXpos(PCTLHEAD* pctl, int32_t* order, int32_t n) {
    voz_QuickSort(order, n, [pctl](int32_t x, int32_t y) {
        return pctl[x].curPos < pctl[y].curPos;
    });
}

void voz_SortPPset(PPSET* set, int32_t n, GTRSTATUS*) {
    voz_QuickSort(set, n, [](const PPSET& x, const PPSET& y) {
        return x.second < y.second;
    });
}

void voz_InitGctlPctl(GCTLINFO* g, IDXINFO* index, int32_t* order,
                      GTRSTATUS* st) {
    if (g->activeCount < 1) {
        g->endOfDocs = 'Y';
        return;
    }
    int64_t total = 0;
    for (int32_t i = 0; i < g->activeCount; ++i) {
        total += g->pctl[i].docCount;
        voz_PointVvgSkip(&index->fctl, &g->pctl[i], 0, st);
        if (voz_Failed(st)) return;
    }
    g->docTotal = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
    if (order == nullptr) {
        order = static_cast<int32_t*>(
            malloc(2 * static_cast<size_t>(g->activeCount) * sizeof(int32_t)));
        if (order == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 274, nullptr, ENOMEM);
            return;
        }
        g->scratch = order + g->activeCount;
    }
    g->order = order;
    for (int32_t i = 0; i < g->activeCount; ++i) order[i] = i;
    voz_SortPctlIXvvg(g->pctl, order, g->activeCount);
    for (int32_t i = 0; i < g->activeCount; ++i) {
        if (docEnded(g->pctl[order[i]])) {
            g->activeCount = i;
            break;
        }
    }
    g->endOfDocs = 'N';
    g->endOfPos = 'N';
    g->curPos = 0;
    formGroup(g);
}

void voz_GctlDocSkip(GCTLINFO* g, int32_t doc, IDXINFO* index, GTRSTATUS* st) {
    if (g->endOfDocs == 'Y') return;
    g->curPos = 0;
    g->endOfPos = 'N';
    if (g->activeCount == 1) {
        int32_t k = g->order[0];
        PCTLHEAD& p = g->pctl[k];
        if (doc > p.curDoc) voz_PointVvgSkip(&index->fctl, &p, doc, st);
        if (voz_Failed(st)) return;
        formGroup(g);
        return;
    }
    int32_t n = 0;
    while (n < g->activeCount) {
        PCTLHEAD& p = g->pctl[g->order[n]];
        if (docEnded(p) || p.curDoc >= doc) break;
        voz_PointVvgSkip(&index->fctl, &p, doc, st);
        if (voz_Failed(st)) return;
        ++n;
    }
    int32_t before = g->activeCount;
    keepOrderVvg(&g->activeCount, n, g->order, g->pctl);
    for (int32_t i = g->activeCount; i < before; ++i) {
        GTRSTATUS mine{};
        voz_TermPctl(&g->pctl[g->order[i]], &mine);
        if (mine.retcode != 0)
            voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                           mine.errfname2, mine.system_errno);
    }
    if (voz_Failed(st)) return;
    formGroup(g);
}

void voz_GctlPosSkipFirst(GCTLINFO* g, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st) {
    int32_t live = 0;
    for (int32_t i = 0; i < g->groupCount; ++i) {
        int32_t k = g->order[i];
        if (!movePos(g, k, pos, index, st)) continue;
        if (voz_Failed(st)) return;
        // Keys with a position move to the front; the others stay behind
        // the group, still on its document.
        g->order[i] = g->order[live];
        g->order[live++] = k;
    }
    if (voz_Failed(st)) return;
    g->groupCount = live;
    voz_SortPctlIXpos(g->pctl, g->order, live);
    g->touched = 0;
    if (live == 0) {
        g->endOfPos = 'Y';
        g->curPos = VOZ_POS_END;
        return;
    }
    g->endOfPos = 'N';
    g->curKey = g->order[0];
    g->curPos = g->pctl[g->curKey].curPos;
}

void voz_GctlPosSkip(GCTLINFO* g, int32_t pos, IDXINFO* index, GTRSTATUS* st) {
    if (g->groupCount < 1) {
        g->endOfPos = 'Y';
        return;
    }
    if (g->groupCount == 1) {
        int32_t k = g->order[0];
        PCTLHEAD& p = g->pctl[k];
        if (!posEnded(p) && pos > p.curPos) movePos(g, k, pos, index, st);
        if (voz_Failed(st)) return;
        if (posEnded(p)) {
            g->endOfPos = 'Y';
            return;
        }
        g->curKey = k;
        g->curPos = p.curPos;
        return;
    }
    int32_t best = -1;
    int32_t bestPos = VOZ_POS_END;
    for (int32_t i = 0; i < g->touched; ++i) {
        int32_t k = g->order[i];
        PCTLHEAD& p = g->pctl[k];
        if (posEnded(p)) continue;
        if (p.curPos < pos && !movePos(g, k, pos, index, st)) continue;
        if (voz_Failed(st)) return;
        if (p.curPos < bestPos) {
            best = k;
            bestPos = p.curPos;
        }
    }
    int32_t i = g->touched;
    for (; i < g->groupCount; ++i) {
        int32_t k = g->order[i];
        PCTLHEAD& p = g->pctl[k];
        if (posEnded(p)) continue;
        if (p.curPos >= pos) {
            if (p.curPos < bestPos) {
                best = k;
                bestPos = p.curPos;
            }
            break;
        }
        bool alive = movePos(g, k, pos, index, st);
        if (voz_Failed(st)) return;
        if (alive && p.curPos < bestPos) {
            best = k;
            bestPos = p.curPos;
        }
    }
    g->touched = i;
    if (best < 0) {
        g->endOfPos = 'Y';
        g->curPos = VOZ_POS_END;
    } else {
        g->curKey = best;
        g->curPos = bestPos;
    }
    if (g->touched >= VOZ_GCTL_MERGE_TOUCHED) mergeTouched(g);
}

void voz_GctlPosSkipAlter(GCTLINFO* pair, int32_t pos, IDXINFO* index,
                          GTRSTATUS* st) {
    GCTLINFO* g = &pair[0];
    for (int32_t i = 0; i < g->groupCount; ++i) {
        int32_t k = g->order[i];
        PCTLHEAD& p = g->pctl[k];
        if (posEnded(p) && p.curPos == VOZ_POS_END) continue;
        if (pos == 0 || p.curPos <= pos) movePos(g, k, pos, index, st);
        if (voz_Failed(st)) return;
    }
    voz_SortPctlIXpos(g->pctl, g->order, g->groupCount);
    g->touched = 0;
    pair[1].touched = 0;
    if (g->groupCount < 1) {
        g->curPos = pair[1].curPos = VOZ_POS_END;
        return;
    }
    g->curKey = g->order[0];
    g->curPos = g->pctl[g->curKey].curPos;
    if (g->groupCount >= 2) {
        pair[1].curKey = g->order[1];
        pair[1].curPos = g->pctl[g->order[1]].curPos;
    } else {
        pair[1].curKey = -1;
        pair[1].curPos = VOZ_POS_END;
    }
}
