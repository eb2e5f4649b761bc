// voz_radix.cpp -- the flush's stable sorts of head-entry pointers and the
// order of variable keys (see voz_pattpool.hpp).
//
// Every sort moves pointers only, never pool entries, and is stable: the
// flush relies on that, sorting by document first and then by key gives
// each key's entries in document order. The mark, document and fixed-key
// sorts are radix sorts: each pass is a stable counting sort over one
// digit (8 or 16 bits), skipped when all entries share the digit, least
// significant digit first. The variable keys are grouped and counted
// (see below).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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

// ---- the variable keys ------------------------------------------------------
//
// The order of variable keys: their bytes (head 6, then 22 per continuation,
// as voz_PattKeyLength counts them: a one-entry chain is its 6 head bytes)
// compared byte by byte, a key before its extensions; equal keys keep their
// order. Most keys of a pool are repeats of a few thousand words, so the sort
// groups equal keys through a hash table (each key's bytes read once), sorts
// one representative per group, and places the heads by their group's rank
// in one stable counting pass. A pool whose keys seldom repeat (more groups
// than half its heads) is radix sorted instead: there the groups would cost
// memory and save nothing.

namespace {

// Equality and hashing read an entry as three 8-byte words, masked to the
// key bytes the entry holds: head bytes 1-6, continuation bytes 2 .. 2+n.
struct EntryMask {
    uint64_t w[3];
};

uint64_t word(const PATTINFO* e, int i) {
    uint64_t v;
    memcpy(&v, reinterpret_cast<const uint8_t*>(e) + 8 * i, 8);
    return v;
}

// masks[0] the head's; masks[n] a continuation's with n key bytes.
const EntryMask* entryMasks() {
    static const struct Table {
        EntryMask m[VOZ_PATT_CONT_BYTES + 1];
        Table() {
            for (int n = 0; n <= VOZ_PATT_CONT_BYTES; ++n) {
                uint8_t b[24] = {};
                const int from = n == 0 ? 1 : 2;
                const int to = n == 0 ? 7 : 2 + n;
                for (int j = from; j < to; ++j) b[j] = 0xFF;
                memcpy(m[n].w, b, sizeof b);
            }
        }
    } table;
    return table.m;
}

// Key bytes held by entry e of a chain of key length len.
inline int32_t entryBytes(int32_t len, int32_t e) {
    const int32_t rest = len - 6 - VOZ_PATT_CONT_BYTES * (e - 1);
    return rest < VOZ_PATT_CONT_BYTES ? rest : VOZ_PATT_CONT_BYTES;
}

// The key of chain h (key length len) as a 64-bit hash.
uint64_t hashVarKey(const PATTINFO* h, int32_t len, const EntryMask* masks) {
    uint64_t x = 1469598103934665603ULL ^ static_cast<uint64_t>(len);
    auto mix = [&x](uint64_t w) {
        x ^= w;
        x *= 1099511628211ULL;
        x ^= x >> 29;
    };
    mix(word(h, 0) & masks[0].w[0]);
    const int32_t c = len > 6 ? h->chainOrMark : 1;
    for (int32_t e = 1; e < c; ++e) {
        const EntryMask& m = masks[entryBytes(len, e)];
        mix(word(h + e, 0) & m.w[0]);
        mix(word(h + e, 1) & m.w[1]);
        mix(word(h + e, 2) & m.w[2]);
    }
    return x;
}

// Whether chains a and b, both of key length len, hold the same key.
bool sameVarKey(const PATTINFO* a, const PATTINFO* b, int32_t len,
                const EntryMask* masks) {
    if (((word(a, 0) ^ word(b, 0)) & masks[0].w[0]) != 0) return false;
    const int32_t c = len > 6 ? a->chainOrMark : 1;
    for (int32_t e = 1; e < c; ++e) {
        const EntryMask& m = masks[entryBytes(len, e)];
        const uint64_t d = ((word(a + e, 0) ^ word(b + e, 0)) & m.w[0]) |
                           ((word(a + e, 1) ^ word(b + e, 1)) & m.w[1]) |
                           ((word(a + e, 2) ^ word(b + e, 2)) & m.w[2]);
        if (d != 0) return false;
    }
    return true;
}

// Three-way order of two chains of key lengths la and lb (see above).
int compareVarKeys(const PATTINFO* a, int32_t la, const PATTINFO* b, int32_t lb) {
    const int32_t m = la < lb ? la : lb;
    int c = memcmp(a->keyHead, b->keyHead, static_cast<size_t>(m < 6 ? m : 6));
    for (int32_t at = 6, e = 1; c == 0 && at < m; at += VOZ_PATT_CONT_BYTES, ++e) {
        const int32_t n = m - at < VOZ_PATT_CONT_BYTES ? m - at : VOZ_PATT_CONT_BYTES;
        c = memcmp(voz_PattContKey(a + e), voz_PattContKey(b + e), static_cast<size_t>(n));
    }
    if (c != 0) return c;
    return la == lb ? 0 : la < lb ? -1 : 1;
}

// Byte p of the variable key of the chain at `h`.
inline uint8_t keyByte(const PATTINFO* h, int32_t p) {
    if (p < 6) return h->keyHead[p];
    int32_t q = p - 6;
    return voz_PattContKey(h + q / VOZ_PATT_CONT_BYTES + 1)[q % VOZ_PATT_CONT_BYTES];
}

// The radix sort of the variable keys, for pools whose keys seldom repeat:
// sorted by length
// first (a prefix then comes before its extensions), then from the last
// byte pair down to the first, each pass over the suffix of entries long
// enough to have the pair's first byte (shorter keys stay in front, in
// length order); a missing second byte counts as 0, the length order
// settles that tie.
int radixSortVAR(PATTINFO** a, int32_t n, GTRSTATUS* st) {
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

// The groups of equal keys among the heads a[0 .. n). A group is known by
// its first head; the table holds group numbers, -1 for a free slot.
class KeyGroups {
public:
    explicit KeyGroups(PATTINFO* const* a) : m_a(a) {}
    ~KeyGroups() {
        free(m_slot);
        free(m_rep);
    }

    // The group of head a[i] (key length len), a new one when its key is
    // new. -1 when memory runs out.
    int32_t groupOf(int32_t i, int32_t len) {
        if (2 * static_cast<uint32_t>(m_count + 1) > m_cap && !grow()) return -1;
        const PATTINFO* h = m_a[i];
        const auto x = static_cast<uint32_t>(hashVarKey(h, len, m_masks));
        for (uint32_t s = x & (m_cap - 1);; s = (s + 1) & (m_cap - 1)) {
            const int32_t g = m_slot[s];
            if (g < 0) {
                m_slot[s] = m_count;
                m_rep[m_count] = Rep{i, x};
                return m_count++;
            }
            const Rep& r = m_rep[g];
            const PATTINFO* rh = m_a[r.first];
            if (r.hash == x && voz_PattKeyLength(rh) == len &&
                sameVarKey(rh, h, len, m_masks))
                return g;
        }
    }

    int32_t count() const { return m_count; }
    // Index in a of the first head of group g.
    int32_t first(int32_t g) const { return m_rep[g].first; }
    // Frees the table, keeping the groups' first heads.
    void dropTable() {
        free(m_slot);
        m_slot = nullptr;
        m_cap = 0;
    }

private:
    struct Rep {
        int32_t first;  // index in a of the group's first head
        uint32_t hash;
    };

    bool grow() {
        const uint32_t cap = m_cap == 0 ? 4096 : 2 * m_cap;
        int32_t* slot = static_cast<int32_t*>(malloc(sizeof(int32_t) * cap));
        Rep* rep = static_cast<Rep*>(realloc(m_rep, sizeof(Rep) * (cap / 2)));
        if (rep != nullptr) m_rep = rep;
        if (slot == nullptr || rep == nullptr) {
            free(slot);
            return false;
        }
        memset(slot, 0xFF, sizeof(int32_t) * cap);
        for (int32_t g = 0; g < m_count; ++g) {
            uint32_t s = m_rep[g].hash & (cap - 1);
            while (slot[s] >= 0) s = (s + 1) & (cap - 1);
            slot[s] = g;
        }
        free(m_slot);
        m_slot = slot;
        m_cap = cap;
        return true;
    }

    PATTINFO* const* m_a;
    const EntryMask* m_masks = entryMasks();
    int32_t* m_slot = nullptr;  // group numbers, -1 free
    Rep* m_rep = nullptr;       // one a group
    uint32_t m_cap = 0;         // slots, a power of 2
    int32_t m_count = 0;
};

// A group with its first 16 key bytes as two big-endian numbers.
struct Ranked {
    uint64_t first;
    uint64_t second;
    int32_t group;
    int32_t head;  // index in a of the group's first head
};

uint64_t bigEndian(const uint8_t* p, int32_t n) {
    uint64_t v = 0;
    for (int32_t i = 0; i < 8; ++i) v = v << 8 | (i < n ? p[i] : 0);
    return v;
}

Ranked rankedOf(PATTINFO* const* a, int32_t head, int32_t group) {
    const PATTINFO* h = a[head];
    const int32_t len = voz_PattKeyLength(h);
    uint8_t k[16] = {};
    memcpy(k, h->keyHead, 6);
    if (len > 6) {
        const int32_t n = len - 6 < 10 ? len - 6 : 10;
        memcpy(k + 6, voz_PattContKey(h + 1), static_cast<size_t>(n));
    }
    return Ranked{bigEndian(k, 8), bigEndian(k + 8, 8), group, head};
}

enum class Grouped { kDone, kNoMemory, kFewRepeats };

// Sets group[i] to the group of a[i] and *order to the groups, one Ranked
// each, unsorted (*count of them). kFewRepeats, with nothing kept, when
// more than half the heads have keys of their own.
Grouped groupKeys(PATTINFO* const* a, int32_t n, int32_t* group,
                  std::unique_ptr<Ranked[]>* order, int32_t* count) {
    KeyGroups groups(a);
    const int32_t most = n / 2;
    for (int32_t i = 0; i < n; ++i) {
        group[i] = groups.groupOf(i, voz_PattKeyLength(a[i]));
        if (group[i] < 0) return Grouped::kNoMemory;
        if (groups.count() > most) return Grouped::kFewRepeats;
    }
    const int32_t ng = groups.count();
    groups.dropTable();
    order->reset(new (std::nothrow) Ranked[static_cast<size_t>(ng)]);
    if (*order == nullptr) return Grouped::kNoMemory;
    for (int32_t g = 0; g < ng; ++g) (*order)[g] = rankedOf(a, groups.first(g), g);
    *count = ng;
    return Grouped::kDone;
}

}  // namespace

int voz_SortPattVAR(PATTINFO** a, int32_t n, GTRSTATUS* st) {
    if (a == nullptr || n < 2) return 0;
    auto fail = [st]() {
        voz_setStatus(st, VOZ_RC_MEMORY, 102, nullptr, ENOMEM);
        return -1;
    };
    std::unique_ptr<int32_t[]> group(new (std::nothrow) int32_t[static_cast<size_t>(n)]);
    if (group == nullptr) return fail();
    std::unique_ptr<Ranked[]> order;
    int32_t ng = 0;
    switch (groupKeys(a, n, group.get(), &order, &ng)) {
    case Grouped::kNoMemory:
        return fail();
    case Grouped::kFewRepeats:
        group.reset();
        return radixSortVAR(a, n, st);
    case Grouped::kDone:
        break;
    }
    if (ng < 2) return 0;
    // The groups in key order: by their first 16 key bytes (zero-padded,
    // which orders as the bytes do), then by the whole key.
    std::sort(order.get(), order.get() + ng, [a](const Ranked& x, const Ranked& y) {
        if (x.first != y.first) return x.first < y.first;
        if (x.second != y.second) return x.second < y.second;
        const PATTINFO* hx = a[x.head];
        const PATTINFO* hy = a[y.head];
        return compareVarKeys(hx, voz_PattKeyLength(hx), hy, voz_PattKeyLength(hy)) < 0;
    });
    // at[g]: the members of group g, then where its heads go.
    std::unique_ptr<int32_t[]> at(new (std::nothrow) int32_t[static_cast<size_t>(ng)]());
    if (at == nullptr) return fail();
    for (int32_t i = 0; i < n; ++i) ++at[group[i]];
    int32_t next = 0;
    for (int32_t r = 0; r < ng; ++r) {
        const int32_t g = order[r].group;
        const int32_t members = at[g];
        at[g] = next;
        next += members;
    }
    order.reset();
    std::unique_ptr<PATTINFO*[]> tmp(new (std::nothrow) PATTINFO*[static_cast<size_t>(n)]);
    if (tmp == nullptr) return fail();
    for (int32_t i = 0; i < n; ++i) tmp[at[group[i]]++] = a[i];
    memcpy(a, tmp.get(), sizeof(PATTINFO*) * static_cast<size_t>(n));
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
