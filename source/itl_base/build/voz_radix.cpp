// voz_radix.cpp -- the flush's stable radix sorts of head-entry pointers
// and the order of variable keys (see voz_pattpool.hpp).
//
// Every sort moves pointers only, never pool entries. Each pass is a
// stable counting sort over one digit (8 or 16 bits) and is skipped when
// all entries share the digit; least significant digit first, so a later
// pass keeps the order of the earlier ones among equal digits. The flush
// relies on that: sorting by document first and then by key gives each
// key's entries in document order.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "build/voz_pattpool.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr int32_t kBuckets16 = 65536;

// Scratch of one sort: a pointer array for the scatter and the bucket
// counts (sized with sizeof: pointers are 8 bytes here).
struct Scratch {
    PATTINFO** tmp = nullptr;
    int32_t* count = nullptr;
    ~Scratch() {
        free(tmp);
        free(count);
    }
    bool alloc(int32_t n) {
        tmp = static_cast<PATTINFO**>(malloc(sizeof(PATTINFO*) * static_cast<size_t>(n)));
        count = static_cast<int32_t*>(malloc(sizeof(int32_t) * (kBuckets16 + 1)));
        return tmp != nullptr && count != nullptr;
    }
};

// One stable counting pass over a[from .. n) by digit(entry), digits below
// `buckets`. Skipped when all digits are equal.
template <typename Digit>
void countingPass(PATTINFO** a, int32_t from, int32_t n, int32_t buckets,
                  Scratch& s, Digit digit) {
    if (n - from < 2) return;
    int32_t* c = s.count;
    memset(c, 0, sizeof(int32_t) * static_cast<size_t>(buckets + 1));
    uint32_t first = digit(a[from]);
    bool same = true;
    for (int32_t i = from; i < n; ++i) {
        uint32_t d = digit(a[i]);
        same = same && d == first;
        ++c[d + 1];
    }
    if (same) return;
    for (int32_t b = 0; b < buckets; ++b) c[b + 1] += c[b];
    for (int32_t i = from; i < n; ++i) {
        uint32_t d = digit(a[i]);
        s.tmp[c[d]++] = a[i];
    }
    memcpy(a + from, s.tmp, sizeof(PATTINFO*) * static_cast<size_t>(n - from));
}

bool prepare(Scratch& s, PATTINFO** a, int32_t n, int32_t errcode,
             GTRSTATUS* st, bool* nothing) {
    *nothing = a == nullptr || n < 2;
    if (*nothing) return true;
    if (s.alloc(n)) return true;
    voz_setStatus(st, VOZ_RC_MEMORY, errcode, nullptr, ENOMEM);
    return false;
}

uint32_t be16(const uint8_t* p) { return (uint32_t(p[0]) << 8) | p[1]; }

// Byte p of the variable key of the chain at `h`.
inline uint8_t keyByte(const PATTINFO* h, int32_t p) {
    if (p < 6) return h->keyHead[p];
    int32_t q = p - 6;
    return voz_PattContKey(h + q / VOZ_PATT_CONT_BYTES + 1)[q % VOZ_PATT_CONT_BYTES];
}

}  // namespace

int32_t voz_PattKeyLength(const PATTINFO* head) {
    int c = head->chainOrMark;
    if (c < 2) return 6;
    return 6 + VOZ_PATT_CONT_BYTES * (c - 2) + voz_PattContUsed(head + c - 1);
}

int voz_SortPattDLM(PATTINFO** a, int32_t n, GTRSTATUS* st) {
    Scratch s;
    bool nothing;
    if (!prepare(s, a, n, 101, st, &nothing)) return -1;
    if (nothing) return 0;
    countingPass(a, 0, n, 256, s, [](const PATTINFO* e) { return uint32_t(e->chainOrMark); });
    return 0;
}

int voz_SortPattDv(PATTINFO** a, int32_t n, GTRSTATUS* st) {
    Scratch s;
    bool nothing;
    if (!prepare(s, a, n, 101, st, &nothing)) return -1;
    if (nothing) return 0;
    countingPass(a, 0, n, kBuckets16, s, [](const PATTINFO* e) {
        return uint32_t(e->document) & 0xFFFFu;
    });
    countingPass(a, 0, n, kBuckets16, s, [](const PATTINFO* e) {
        return uint32_t(e->document) >> 16;
    });
    return 0;
}

int voz_SortPattFIX(PATTINFO** a, int32_t n, GTRSTATUS* st) {
    Scratch s;
    bool nothing;
    if (!prepare(s, a, n, 101, st, &nothing)) return -1;
    if (nothing) return 0;
    for (int at = 4; at >= 0; at -= 2) {
        countingPass(a, 0, n, kBuckets16, s, [at](const PATTINFO* e) {
            return be16(e->keyHead + at);
        });
    }
    return 0;
}

// Sorted by length first (a prefix then comes before its extensions), then
// from the last byte pair down to the first, each pass over the suffix of
// entries long enough to have the pair's first byte (shorter keys stay in
// front, in length order); a missing second byte counts as 0, the length
// order settles that tie.
int voz_SortPattVAR(PATTINFO** a, int32_t n, GTRSTATUS* st) {
    Scratch s;
    bool nothing;
    if (!prepare(s, a, n, 102, st, &nothing)) return -1;
    if (nothing) return 0;
    int32_t maxLen = 0;
    for (int32_t i = 0; i < n; ++i) {
        int32_t l = voz_PattKeyLength(a[i]);
        if (l > maxLen) maxLen = l;
    }
    countingPass(a, 0, n, maxLen < 256 ? 256 : kBuckets16, s,
                 [](const PATTINFO* e) { return uint32_t(voz_PattKeyLength(e)); });
    int32_t from = n;
    for (int32_t p = (maxLen - 1) & ~1; p >= 0; p -= 2) {
        while (from > 0 && voz_PattKeyLength(a[from - 1]) > p) --from;
        countingPass(a, from, n, kBuckets16, s, [p](const PATTINFO* e) {
            int32_t l = voz_PattKeyLength(e);
            uint32_t hi = keyByte(e, p);
            uint32_t lo = p + 1 < l ? keyByte(e, p + 1) : 0;
            return (hi << 8) | lo;
        });
    }
    return 0;
}

int voz_VpattCmp(const PATTINFO* a, const PATTINFO* b) {
    int c = memcmp(a->keyHead, b->keyHead, 6);
    if (c != 0) return c < 0 ? -1 : 1;
    int ca = a->chainOrMark, cb = b->chainOrMark;
    for (int i = 1; i < ca && i < cb; ++i) {
        int la = voz_PattContUsed(a + i), lb = voz_PattContUsed(b + i);
        const uint8_t* ka = voz_PattContKey(a + i);
        const uint8_t* kb = voz_PattContKey(b + i);
        if (la != lb) {
            int m = memcmp(ka, kb, static_cast<size_t>(la < lb ? la : lb));
            if (la > lb) return m < 0 ? -1 : 1;
            return m <= 0 ? -1 : 1;
        }
        int m = memcmp(ka, kb, static_cast<size_t>(la));
        if (m != 0) return m < 0 ? -1 : 1;
    }
    return ca - cb;
}
