// voz_pattpool.cpp -- VOZ_pattPool and its siblings: adding occurrences to
// the pattern pool, making room by growing or flushing, the document list
// (see voz_pattpool.hpp).
#include "build/voz_pattpool.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_status.hpp"
#include "files/voz_util.hpp"

namespace {

constexpr int32_t kMaxPosition = 0x3FFFFFFF;
constexpr int32_t kListStep = 100;
constexpr int64_t kPoolCeiling = VOZ_WORKAREA_CEILING;

bool kindAccepted(uint8_t k) {
    return k == ')' || k == '*' || k == '+' || k == '&' || k < 0x21;
}

bool hasKeyBytes(uint8_t k) { return k == ')' || k == '*' || k == '+'; }

// How the key bytes of a 'V' chain are laid out: copied (unit widths equal,
// or a '*' key already in stored units) or repacked unit by unit into two
// stored bytes.
struct ChainPlan {
    bool repack;
    int32_t keyBytes;      // bytes given
    int32_t units;         // units given
    int32_t headUnits;     // units in the head when repacking
    int32_t contUnits;     // units per continuation when repacking
    int32_t entries;       // entries of the chain, head included
};

// Stored bytes of one repacked unit.
constexpr int32_t kRepackedBytes = 2;

ChainPlan planChain(const CREATWRK* cwp, uint8_t kind, int32_t length) {
    int32_t iw = cwp->basicInfo.unitWidth;
    int32_t sw = cwp->basicInfo.xIndexUnitWidth;
    int32_t uw = kind == '*' ? sw : iw;
    ChainPlan p{};
    p.units = length;
    p.keyBytes = length * uw;
    p.repack = kind != '*' && iw != sw;
    if (p.keyBytes <= VOZ_KEY_HEAD_BYTES) {
        p.entries = 1;
    } else if (!p.repack) {
        p.entries = (p.keyBytes - VOZ_KEY_HEAD_BYTES + VOZ_PATT_CONT_BYTES - 1) /
                        VOZ_PATT_CONT_BYTES + 1;
    }
    if (p.repack) {
        // A repacked unit always takes two stored bytes (repackUnit), so
        // the head and the continuations are counted in two-byte units
        // whatever the stored width says: nothing is written past them.
        p.headUnits = VOZ_KEY_HEAD_BYTES / kRepackedBytes;
        p.contUnits = VOZ_PATT_CONT_BYTES / kRepackedBytes;
        p.entries = 1;
        if (length > p.headUnits)
            p.entries = 1 + (length - p.headUnits + p.contUnits - 1) / p.contUnits;
    }
    return p;
}

// (b mod 6) x 64 in 8 bits, for every byte b.
struct RepackHigh {
    uint8_t v[256];
    RepackHigh() {
        for (int b = 0; b < 256; ++b) v[b] = static_cast<uint8_t>((b % 6) * 64);
    }
};
const RepackHigh kRepackHigh;

// One input unit as two stored bytes: the first byte, then the low 8 bits
// of (third byte mod 6) x 64 + (second byte AND 63).
inline void repackUnit(const uint8_t* u, int32_t iw, uint8_t* out) {
    uint8_t second = iw >= 2 ? u[1] : 0;
    uint8_t third = iw >= 3 ? u[2] : 0;
    out[0] = u[0];
    out[1] = static_cast<uint8_t>(kRepackHigh.v[third] + (second & 63));
}

// The tag test of the entry points: "CREATWRK" and its terminating NUL.
inline bool tagged(const CREATWRK* cwp) {
    return cwp != nullptr &&
           memcmp(cwp->tag, VOZ_CREATWRK_TAG, sizeof VOZ_CREATWRK_TAG) == 0;
}

// The repacked key units of plan `p` into the chain at `h`: the head's
// units, then each continuation's. Width IW, or iw when IW is 0.
template <int32_t IW>
void repackChain(PATTINFO* h, const uint8_t* key, const ChainPlan& p,
                 int32_t iw) {
    const int32_t w = IW > 0 ? IW : iw;
    const int32_t head = p.units < p.headUnits ? p.units : p.headUnits;
    for (int32_t u = 0; u < head; ++u)
        repackUnit(key + u * w, w, h->keyHead + kRepackedBytes * u);
    for (int32_t u = head, e = 1; u < p.units; ++e) {
        const int32_t n = p.units - u < p.contUnits ? p.units - u : p.contUnits;
        uint8_t* out = voz_PattContKey(&h[e]);
        h[e].kind = VOZ_KIND_CONT;
        for (int32_t i = 0; i < n; ++i)
            repackUnit(key + (u + i) * w, w, out + kRepackedBytes * i);
        reinterpret_cast<uint8_t*>(&h[e])[1] = static_cast<uint8_t>(n * kRepackedBytes);
        u += n;
    }
}

// Writes the 'V' chain of plan `p` at `h` (entries already zeroed).
void writeChain(const CREATWRK* cwp, PATTINFO* h, const uint8_t* key,
                const ChainPlan& p) {
    h->kind = VOZ_KIND_VAR;
    h->chainOrMark = static_cast<uint8_t>(p.entries);
    if (!p.repack) {
        int32_t n = p.keyBytes < VOZ_KEY_HEAD_BYTES ? p.keyBytes : VOZ_KEY_HEAD_BYTES;
        memcpy(h->keyHead, key, static_cast<size_t>(n));
        for (int32_t at = n, e = 1; at < p.keyBytes; at += VOZ_PATT_CONT_BYTES, ++e) {
            int32_t used = p.keyBytes - at;
            if (used > VOZ_PATT_CONT_BYTES) used = VOZ_PATT_CONT_BYTES;
            h[e].kind = VOZ_KIND_CONT;
            reinterpret_cast<uint8_t*>(&h[e])[1] = static_cast<uint8_t>(used);
            memcpy(voz_PattContKey(&h[e]), key + at, static_cast<size_t>(used));
        }
        return;
    }
    const int32_t iw = cwp->basicInfo.unitWidth;
    if (iw == 3) {
        repackChain<3>(h, key, p, iw);  // UTF-8 units: the common case
    } else {
        repackChain<0>(h, key, p, iw);
    }
}

// Writes the one entry of a pattern without key bytes at `h`.
void writeSingle(const CREATWRK* cwp, PATTINFO* h, uint8_t kind,
                 const uint8_t* pattern) {
    h->chainOrMark = kind;
    if (kind == ')') {
        h->kind = VOZ_KIND_FIXED;
        if (cwp->fixedPatternBytes == VOZ_KEY_HEAD_BYTES) {
            memcpy(h->keyHead, pattern, VOZ_KEY_HEAD_BYTES);
        } else {
            for (int i = 0; i < cwp->fixedPatternBytes; ++i) h->keyHead[i] = pattern[i];
        }
    } else if (kind == '*') {
        h->kind = VOZ_KIND_DFIXED;
        h->chainOrMark = ')';
        memcpy(h->keyHead, pattern, VOZ_KEY_HEAD_BYTES);
    } else {
        h->kind = cwp->documentRecordKind;
    }
}

bool isDocumentRecord(const CREATWRK* cwp, const PATTINFO* e) {
    return e->kind == cwp->documentRecordKind && e->chainOrMark == '&';
}

// Flushes the earlier documents and moves the current document's entries
// [split, cursor) to the front of the pool. 0 or -1 (pool unchanged).
int flushBefore(CREATWRK* cwp, PATTINFO* split, int32_t document, GTRSTATUS* st) {
    POOLINFO& pool = cwp->pool;
    PATTINFO* end = pool.cursor;
    pool.cursor = split;
    if (voz_PattFlush(cwp, cwp->targetSet, st) != 0) {
        pool.cursor = end;
        return -1;
    }
    size_t n = static_cast<size_t>(end - split);
    memmove(pool.start, split, n * sizeof(PATTINFO));
    pool.cursor = pool.start + n;
    pool.highestDocument = pool.lowestDocument = document;
    pool.documentCount = 0;
    for (PATTINFO* e = pool.start; e < pool.cursor; ++e)
        if (isDocumentRecord(cwp, e)) ++pool.documentCount;
    return 0;
}

// Grows the pool by its growth step when the limits allow; 1 when it grew,
// 0 when it may not, -1 on failure.
int grow(POOLINFO& pool, GTRSTATUS* st) {
    int64_t size = pool.size, step = pool.growStep;
    if (step <= 0 || 2 * size >= kPoolCeiling || step >= kPoolCeiling ||
        2 * size + step >= kPoolCeiling)
        return 0;
    char* base = reinterpret_cast<char*>(pool.start);
    char* end = reinterpret_cast<char*>(pool.end);
    char* cur = reinterpret_cast<char*>(pool.cursor);
    if (voz_ReallocArea(static_cast<int32_t>(size + step), &base, &end, &cur,
                        VOZ_AREA_CREATION, st) != 0)
        return -1;
    pool.size = static_cast<int32_t>(size + step);
    pool.start = reinterpret_cast<PATTINFO*>(base);
    pool.end = pool.start + pool.size / VOZ_PATT_SIZE;
    pool.cursor = reinterpret_cast<PATTINFO*>(cur);
    return 1;
}

// Makes room for `need` entries at the cursor: flushes the other documents
// and keeps the current one, grows the pool, or flushes it whole. 0 or -1.
int makeRoom(CREATWRK* cwp, int32_t document, int32_t need, GTRSTATUS* st) {
    POOLINFO& pool = cwp->pool;
    while (pool.end - pool.cursor < need) {
        PATTINFO* other = nullptr;
        for (PATTINFO* e = pool.cursor - 1; e >= pool.start; --e) {
            if (e->kind == VOZ_KIND_CONT || e->document == document) continue;
            other = e;
            break;
        }
        if (other != nullptr) {
            PATTINFO* split = other + (other->kind == VOZ_KIND_VAR && other->chainOrMark > 0
                                           ? other->chainOrMark : 1);
            if (flushBefore(cwp, split, document, st) != 0) return -1;
            continue;
        }
        int g = grow(pool, st);
        if (g < 0) return -1;
        if (g > 0) continue;
        if (pool.cursor == pool.start) {  // cannot happen: the pool holds a chain
            voz_setStatus(st, VOZ_RC_WORK_TOO_LARGE, 296);
            return -1;
        }
        if (voz_PattFlush(cwp, cwp->targetSet, st) != 0) return -1;
    }
    return 0;
}

}  // namespace

int VOZ_pattPool(CREATWRK* cwp, char kind, const uint8_t* pattern,
                 int32_t document, int32_t position, int32_t length,
                 GTRSTATUS* st) {
    uint8_t k = static_cast<uint8_t>(kind);
    if (!tagged(cwp)) {
        voz_setStatus(st, VOZ_RC_HANDLE, 12);
        return -1;
    }
    if (!kindAccepted(k)) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 14);
        return -1;
    }
    if (document < 0 || static_cast<uint32_t>(document) > VOZ_MAX_DOCNO) {
        voz_setStatus(st, VOZ_RC_DOCNO_RANGE, document);
        return -1;
    }
    // A document record may carry position 0 (an empty document), never a
    // negative one: the flush could not write it and the pool would stay
    // stuck.
    if (position > kMaxPosition || position < 0 || (position == 0 && k != '&')) {
        voz_setStatus(st, 31, position);
        return -1;
    }
    ChainPlan plan{};
    plan.entries = 1;
    if (hasKeyBytes(k) && length != 0) {
        if (length < 0 || length > 0xFFFF) {
            voz_setStatus(st, VOZ_RC_PARAMETER, 2110);
            return -1;
        }
        plan = planChain(cwp, k, length);
        if (plan.entries > VOZ_PATT_MAX_CHAIN) {
            voz_setStatus(st, VOZ_RC_PARAMETER, 2110);
            return -1;
        }
    }
    if (cwp->pool.end - cwp->pool.cursor < plan.entries &&
        makeRoom(cwp, document, plan.entries, st) != 0)
        return -1;
    POOLINFO& pool = cwp->pool;
    PATTINFO* h = pool.cursor;
    h[0] = PATTINFO{};
    for (int32_t e = 1; e < plan.entries; ++e) h[e] = PATTINFO{};
    if (plan.keyBytes > 0) {
        writeChain(cwp, h, pattern, plan);
    } else {
        writeSingle(cwp, h, k, pattern);
    }
    h->document = document;
    h->position = position;
    h->weight = k == '+' ? 2 : 1;
    pool.cursor += plan.entries;
    if (document < pool.highestDocument) pool.outOfOrder = 1;
    if (document > pool.highestDocument) pool.highestDocument = document;
    if (document < pool.lowestDocument) pool.lowestDocument = document;
    if (k == '&') {
        ++pool.documentCount;
        ++cwp->registeredDocuments;
    }
    return 0;
}

int VOZ_pattPool_FldNumber(CREATWRK* cwp, uint16_t field, int32_t document,
                           int32_t position, GTRSTATUS* st) {
    uint8_t key[VOZ_KEY_HEAD_BYTES] = {0, 0, 0, 0, 0, 0};
    voz_FldNumber_Set(key, field);
    return VOZ_pattPool(cwp, '*', key, document, position, 0, st);
}

void VOZ_saveDocPos(CREATWRK* cwp, int32_t a, int32_t b, int32_t c) {
    cwp->savedDocumentPosition[0] = a;
    cwp->savedDocumentPosition[1] = b;
    cwp->savedDocumentPosition[2] = c;
}

void VOZ_restoreDocPos(const CREATWRK* cwp, int32_t* a, int32_t* b, int32_t* c) {
    *a = cwp->savedDocumentPosition[0];
    *b = cwp->savedDocumentPosition[1];
    *c = cwp->savedDocumentPosition[2];
}

int vozAddToDocumentList(POOLINFO* pool, int32_t document, int32_t index,
                         GTRSTATUS* st) {
    if (pool->documentListCapacity <= pool->documentCount) {
        int32_t want = pool->documentListCapacity + kListStep;
        void* p = realloc(pool->documentList, sizeof(int32_t) * static_cast<size_t>(want));
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2105, nullptr, ENOMEM);
            return -1;
        }
        pool->documentList = static_cast<int32_t*>(p);
        pool->documentListCapacity = want;
    }
    int32_t used = pool->documentCount;
    if (index < 0) index = 0;
    if (index > used) index = used;
    memmove(pool->documentList + index + 1, pool->documentList + index,
            sizeof(int32_t) * static_cast<size_t>(used - index));
    pool->documentList[index] = document;
    return 0;
}
