// voz_fromto.cpp -- range words over the variable keys (see voz_fromto.hpp):
// key chains, the binary search over the key file and its window, the key
// walk into the pools, and the next-hit operation over the pools.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_status.hpp"
#include "search/voz_fromto.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr int32_t kChainMax = 255;  // records of the longest chain
constexpr int32_t kKeyMax = 6 + (kChainMax - 1) * VOZ_KEY_CONT_BYTES;

bool below(const SHORTOCC& a, const SHORTOCC& b) {
    return a.document < b.document ||
           (a.document == b.document && a.position < b.position);
}

// Reads `count` records from `number` into `out`; a failure keeps the
// read's retcode, file name and errno with the caller's errcode for a seek
// (retcode 6) or a read.
int32_t readRecords(IDXINFO* index, int32_t number, int32_t count,
                    KEY_REC* out, int32_t seekCode, int32_t readCode,
                    GTRSTATUS* st) {
    GTRSTATUS own{};
    if (voz_ReadKeyMulti(&index->fctl, out, number, count, 1, &own) == 0)
        return 0;
    own.errcode = own.retcode == 6 ? seekCode : readCode;
    if (st != nullptr && st->retcode == 0) *st = own;
    return -1;
}

// Reads the whole chain holding record `number` into `chain` (kChainMax
// records); *head gets its head's number. A continuation is followed back
// once to its head, which must be a 'V' record (else 17/badHead).
int32_t readChainAt(IDXINFO* index, int32_t number, KEY_REC* chain,
                    int32_t* head, int32_t badHead, GTRSTATUS* st) {
    if (readRecords(index, number, 1, chain, 361, 362, st) != 0) return -1;
    if (chain[0].kind == VOZ_KIND_CONT) {
        number -= voz_KeyRecToCont(chain[0]).index;
        if (number < 0 ||
            readRecords(index, number, 1, chain, 361, 362, st) != 0) {
            if (number < 0) voz_setStatus(st, VOZ_RC_INCONSISTENT, badHead);
            return -1;
        }
    }
    if (chain[0].kind != VOZ_KIND_VAR || chain[0].recCount < 1) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, badHead);
        return -1;
    }
    *head = number;
    if (chain[0].recCount > 1 &&
        readRecords(index, number + 1, chain[0].recCount - 1, chain + 1, 361,
                    362, st) != 0)
        return -1;
    return 0;
}

// The chain's record count, 1 at least.
int32_t countOf(const KEY_REC& head) {
    return head.recCount > 0 ? head.recCount : 1;
}

// Frees the control and ends the word.
void endWord(_WCTLHEAD* w, GTRSTATUS* st) {
    auto* c = static_cast<VOZFROMTOCTL*>(w->priv);
    if (c != nullptr) {
        voz_PoolCtlTerm(&c->pools, st);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

// Walks the variable keys from record `r` and pools those in the range;
// the records are read a window (`buffer`, VOZ_FROMTO_WINDOW records) at a
// time.
void walkKeys(const KEY_REC* lower, char lowerMode, const KEY_REC* upper,
              char upperMode, int32_t r, IDXINFO* index, KEY_REC* buffer,
              _POOLCTL* pools, GTRSTATUS* st) {
    int32_t end = static_cast<int32_t>(index->info.fixedRecords +
                                       index->info.varRecords);
    int32_t first = r, count = 0;  // records held: [first, first + count)
    while (r < end && !voz_Failed(st)) {
        if (r >= first + count ||
            r + countOf(buffer[r - first]) > first + count) {
            if (r == first && count > 0) {  // a chain past the variable range
                return voz_setStatus(st, VOZ_RC_INCONSISTENT, 355);
            }
            first = r;
            count = std::min(end - r, VOZ_FROMTO_WINDOW);
            if (readRecords(index, r, count, buffer, 366, 366, st) != 0) return;
            continue;
        }
        const KEY_REC* chain = &buffer[r - first];
        if (chain[0].kind != VOZ_KIND_VAR)
            return voz_setStatus(st, VOZ_RC_INCONSISTENT, 355);
        int c = voz_VkeyCmp(chain, lower);
        if (c > 0 || (c == 0 && lowerMode != 'X')) {
            c = voz_VkeyCmp(chain, upper);
            if (c > 0 || (c == 0 && upperMode == 'X')) return;
            voz_NumSearch(pools, chain, index, st);
        }
        r += countOf(chain[0]);
    }
}

// Drops an empty last posting pool; sorts entries, pools and pairs.
void sortPools(_POOLCTL* pc, GTRSTATUS* st) {
    if (pc->pctlCount > 0 && pc->pctlPools[pc->pctlCount - 1].active == 0) {
        voz_PctlPoolTerm(&pc->pctlPools[--pc->pctlCount], st);
        pc->pctlActive = pc->pctlCount;
    }
    for (int32_t i = 0; i < pc->pctlCount; ++i) {
        _PCTLPOOL* p = &pc->pctlPools[i];
        voz_SortKeyPairIX(voz_PoolEntries(p), p->order, p->active, st);
    }
    voz_SortPctlPoolIX(pc->pctlPools, pc->pctlOrder, pc->pctlActive, st);
    for (int32_t i = 0; i < pc->soccCount; ++i) {
        _SOCCPOOL* s = &pc->soccPools[i];
        voz_SortShortWord(s->pairs, s->left);
        s->cursor = 0;
    }
    voz_SortSOccPoolIX(pc->soccPools, pc->soccOrder, pc->soccActive, st);
}

}  // namespace

int32_t voz_GetKeyrecNum(int32_t length) {
    return length <= VOZ_KEY_HEAD_BYTES ? 1 : (length + 15) / 22 + 1;
}

void voz_SetKeyrec(const unsigned char* bytes, int32_t length,
                   KEY_REC* chain) {
    int32_t n = voz_GetKeyrecNum(length);
    memset(&chain[0], 0, sizeof chain[0]);
    chain[0].kind = VOZ_KIND_VAR;
    chain[0].recCount = static_cast<uint8_t>(n);
    int32_t head = std::min(length, VOZ_KEY_HEAD_BYTES);
    if (head > 0) memcpy(chain[0].key, bytes, static_cast<size_t>(head));
    int32_t at = head;
    for (int32_t i = 1; i < n; ++i) {
        KEY_CONT c;
        memset(&c, 0, sizeof c);
        c.kind = VOZ_KIND_CONT;
        c.recCount = static_cast<uint8_t>(n);
        c.index = static_cast<uint8_t>(i);
        int32_t take = std::min(length - at, VOZ_KEY_CONT_BYTES);
        if (take > 0) memcpy(c.key, bytes + at, static_cast<size_t>(take));
        at += std::max(take, 0);
        chain[i] = voz_KeyContToRec(c);
    }
}

int32_t voz_BinSearchVarMemory(const KEY_REC* key, int32_t low, int32_t high,
                               const KEY_REC* records, int32_t* index,
                               GTRSTATUS* st) {
    const int32_t base = low, last = high;
    while (low <= high) {
        int32_t m = low + (high - low) / 2;
        const KEY_REC* r = &records[m - base];
        if (r->kind == VOZ_KIND_CONT) {
            m -= voz_KeyRecToCont(*r).index;
            if (m < base || records[m - base].kind != VOZ_KIND_VAR) {
                voz_setStatus(st, VOZ_RC_INCONSISTENT, 367);
                return -1;
            }
            r = &records[m - base];
        }
        if (m + countOf(*r) - 1 > last) {  // a chain cut by the window
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 367);
            return -1;
        }
        int c = voz_VkeyCmp(key, r);
        if (c == 0) {
            *index = m;
            return 1;
        }
        if (c < 0)
            high = m - 1;
        else
            low = m + countOf(*r);
    }
    *index = low;
    return 0;
}

int32_t voz_BinSearchVarFile(const KEY_REC* key, int32_t* low, int32_t* high,
                             IDXINFO* index, KEY_REC* buffer, GTRSTATUS* st) {
    KEY_REC chain[kChainMax];
    while (*high - *low + 1 > VOZ_FROMTO_WINDOW) {
        int32_t probe = *low + (*high - *low) / 2;
        int32_t head = probe;
        if (readChainAt(index, probe, chain, &head, 363, st) != 0) return -1;
        int c = voz_VkeyCmp(key, chain);
        if (c == 0) {
            *low = head;
            *high = head + countOf(chain[0]) - 1;
            break;
        }
        if (c < 0)
            *high = head - 1;
        else
            *low = head + countOf(chain[0]);
    }
    int32_t n = *high - *low + 1;
    if (n < 1) return 0;
    if (n > VOZ_FROMTO_WINDOW) n = VOZ_FROMTO_WINDOW;  // a chain past the window
    return readRecords(index, *low, n, buffer, 365, 364, st);
}

int32_t voz_BinSearchVar(const KEY_REC* key, IDXINFO* index, KEY_REC* buffer,
                         int32_t* recordNumber, GTRSTATUS* st) {
    int32_t low = static_cast<int32_t>(index->info.fixedRecords);
    int32_t high = low + static_cast<int32_t>(index->info.varRecords) - 1;
    if (high < low) {
        *recordNumber = low;
        return 0;
    }
    if (voz_BinSearchVarFile(key, &low, &high, index, buffer, st) != 0)
        return -1;
    if (high < low) {
        *recordNumber = low;
        return 0;
    }
    high = std::min(high, low + VOZ_FROMTO_WINDOW - 1);
    return voz_BinSearchVarMemory(key, low, high, buffer, recordNumber, st);
}

void voz_GetFromToInit(unsigned char* lower, int32_t lowerLength,
                       char lowerMode, unsigned char* upper,
                       int32_t upperLength, char upperMode, _WCTLHEAD* w,
                       IDXINFO* index, ANSWERFORM*, GTRSTATUS* st) {
    w->priv = nullptr;
    lowerLength = std::clamp(lowerLength, 0, kKeyMax);
    upperLength = std::clamp(upperLength, 0, kKeyMax);
    auto* c = static_cast<VOZFROMTOCTL*>(calloc(1, sizeof(VOZFROMTOCTL)));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 384, nullptr, ENOMEM);
        return endWord(w, nullptr);
    }
    w->priv = c;
    c->index = index;
    int32_t chainRecs = voz_GetKeyrecNum(std::max(lowerLength, upperLength));
    size_t records = static_cast<size_t>(2 * chainRecs + VOZ_FROMTO_WINDOW);
    auto* work = static_cast<KEY_REC*>(calloc(records, sizeof(KEY_REC)));
    if (work == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 385, nullptr, ENOMEM);
        return endWord(w, nullptr);
    }
    KEY_REC* lowerChain = work;
    KEY_REC* upperChain = work + chainRecs;
    KEY_REC* window = work + 2 * chainRecs;
    voz_SetKeyrec(lower, lowerLength, lowerChain);
    voz_SetKeyrec(upper, upperLength, upperChain);
    int32_t first = 0;
    if (voz_BinSearchVar(lowerChain, index, window, &first, st) >= 0) {
        voz_PoolCtlInit(&c->pools, st);
        if (!voz_Failed(st) && c->pools.pctlPools == nullptr)
            voz_setStatus(st, VOZ_RC_MEMORY, 386, nullptr, ENOMEM);
    }
    if (!voz_Failed(st))
        walkKeys(lowerChain, lowerMode, upperChain, upperMode, first, index,
                 window, &c->pools, st);
    if (!voz_Failed(st)) sortPools(&c->pools, st);
    free(work);
    if (voz_Failed(st)) return endWord(w, nullptr);
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 1;
    w->nextArg1 = index;
    w->nextHit = voz_GetFromTo;
}

void voz_GetFromTo(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*, int32_t doc,
                   int32_t pos, GTRSTATUS* st) {
    auto* c = static_cast<VOZFROMTOCTL*>(w->priv);
    if (c == nullptr || doc > VOZ_DOC_END - 1) return endWord(w, st);
    if (doc >= 0 && w->cur.docno >= 0 &&
        !below({w->cur.docno, w->cur.pos}, {doc, pos}))
        return;
    _POOLCTL* pc = &c->pools;
    if (pc->pctlActive < 1 && pc->soccActive < 1) return endWord(w, st);
    const SHORTOCC target = {doc, pos};
    SHORTOCC head = pc->pctlActive > 0
                        ? voz_PctlPoolHead(&pc->pctlPools[pc->pctlOrder[0]])
                        : SHORTOCC{VOZ_DOC_END, 0};
    if (doc >= 0 && pc->pctlActive > 0 && below(head, target)) {
        for (int32_t i = 0; i < pc->pctlActive && !voz_Failed(st); ++i)
            voz_PointPctlPoolSkip(&pc->pctlPools[pc->pctlOrder[i]], &target,
                                  c->index, st);
        voz_SortPctlPoolIX(pc->pctlPools, pc->pctlOrder, pc->pctlActive, st);
        head = voz_PctlPoolHead(&pc->pctlPools[pc->pctlOrder[0]]);
    }
    SHORTOCC pair = pc->soccActive > 0
                        ? voz_SOccPoolHead(&pc->soccPools[pc->soccOrder[0]])
                        : SHORTOCC{VOZ_DOC_END, 0};
    if (doc >= 0 && pc->soccActive > 0 && below(pair, target)) {
        for (int32_t i = 0; i < pc->soccActive; ++i)
            voz_PointSOccPoolSkip(&pc->soccPools[pc->soccOrder[i]], &target, st);
        voz_SortSOccPoolIX(pc->soccPools, pc->soccOrder, pc->soccActive, st);
        pair = voz_SOccPoolHead(&pc->soccPools[pc->soccOrder[0]]);
    }
    if (voz_Failed(st)) return endWord(w, nullptr);
    bool fromPctl = head.document < VOZ_DOC_END && !below(pair, head);
    SHORTOCC hit = fromPctl ? head : pair;
    if (hit.document >= VOZ_DOC_END) return endWord(w, st);
    memset(&w->cur, 0, sizeof w->cur);
    w->cur.docno = hit.document;
    w->cur.pos = hit.position;
    w->cur.len = 1;
    w->cur.match = 100;
    w->resumeDoc = hit.document;
    w->resumePos = hit.position + 1;
    if (fromPctl) {
        int32_t i = pc->pctlOrder[0];
        voz_PointPctlPoolSkip(&pc->pctlPools[i], nullptr, c->index, st);
        voz_KeepOrderPctlPoolIX(&pc->pctlActive, 1, pc->pctlOrder, pc->pctlPools);
        if (pc->pctlPools[i].active < 1) voz_PctlPoolTerm(&pc->pctlPools[i], st);
    } else {
        int32_t i = pc->soccOrder[0];
        voz_PointSOccPoolSkip(&pc->soccPools[i], nullptr, st);
        voz_KeepOrderSOccPoolIX(&pc->soccActive, 1, pc->soccOrder, pc->soccPools);
        if (pc->soccPools[i].left < 1) voz_SOccPoolTerm(&pc->soccPools[i], st);
    }
    if (voz_Failed(st)) endWord(w, nullptr);
}

void voz_GetBinSet(RTRVWORDEXT*, _WCTLHEAD* w, IDXINFO*, ANSWERFORM*,
                   GTRSTATUS* st) {
    voz_setStatus(st, 50, 391);
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}
