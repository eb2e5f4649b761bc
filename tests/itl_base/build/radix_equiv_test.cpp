// The flush's sorts against the least-significant-digit radix sorts they
// replaced (kept here as the reference): over random chains with many
// repeated keys, zero and 0xFF bytes, prefixes of each other and every
// chain length, the new sort must give the very same permutation, ties in
// their old order included, since the order of equal keys decides the order
// of the position lists in the files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "build/voz_pattpool.hpp"
#include "files/voz_status.hpp"
#include "ti_test_util.hpp"

namespace {

// ---- the reference: the radix sorts as they were -------------------------

void countingPass(PATTINFO** a, int32_t from, int32_t n, int32_t buckets,
                  uint32_t (*digit)(const PATTINFO*, int32_t), int32_t arg) {
    if (n - from < 2) return;
    std::vector<int32_t> c(static_cast<size_t>(buckets) + 1, 0);
    std::vector<PATTINFO*> tmp(static_cast<size_t>(n - from));
    for (int32_t i = from; i < n; ++i) ++c[digit(a[i], arg) + 1];
    for (int32_t b = 0; b < buckets; ++b) c[b + 1] += c[b];
    for (int32_t i = from; i < n; ++i) tmp[c[digit(a[i], arg)]++] = a[i];
    std::copy(tmp.begin(), tmp.end(), a + from);
}

uint8_t keyByte(const PATTINFO* h, int32_t p) {
    if (p < 6) return h->keyHead[p];
    int32_t q = p - 6;
    return voz_PattContKey(h + q / VOZ_PATT_CONT_BYTES + 1)[q % VOZ_PATT_CONT_BYTES];
}

uint32_t lengthDigit(const PATTINFO* e, int32_t) {
    return static_cast<uint32_t>(voz_PattKeyLength(e));
}

uint32_t pairDigit(const PATTINFO* e, int32_t p) {
    int32_t l = voz_PattKeyLength(e);
    uint32_t hi = keyByte(e, p);
    uint32_t lo = p + 1 < l ? keyByte(e, p + 1) : 0;
    return (hi << 8) | lo;
}

void referenceSortVAR(PATTINFO** a, int32_t n) {
    if (n < 2) return;
    int32_t maxLen = 0;
    for (int32_t i = 0; i < n; ++i) maxLen = std::max(maxLen, voz_PattKeyLength(a[i]));
    countingPass(a, 0, n, maxLen < 256 ? 256 : 65536, lengthDigit, 0);
    int32_t from = n;
    for (int32_t p = (maxLen - 1) & ~1; p >= 0; p -= 2) {
        while (from > 0 && voz_PattKeyLength(a[from - 1]) > p) --from;
        countingPass(a, from, n, 65536, pairDigit, p);
    }
}

// ---- random chains ----------------------------------------------------------

struct Chains {
    std::vector<PATTINFO> pool;
    std::vector<PATTINFO*> heads;
};

// Key bytes from a small alphabet that holds 0 and 0xFF.
std::vector<uint8_t> randomKey(std::mt19937& rng, int maxBytes) {
    static const uint8_t alphabet[] = {0, 1, '!', 'a', 'b', 0x7F, 0x80, 0xFF};
    std::vector<uint8_t> k(1 + rng() % static_cast<uint32_t>(maxBytes));
    const uint32_t letters = 1 + rng() % 8;
    for (uint8_t& b : k) b = alphabet[rng() % letters];
    return k;
}

// n chains whose keys are drawn from `words` distinct keys (some cut short
// or extended, so that prefixes meet), each laid out as the pool lays it.
Chains randomChains(std::mt19937& rng, int n, int words, int maxBytes) {
    std::vector<std::vector<uint8_t>> dict;
    for (int i = 0; i < words; ++i) dict.push_back(randomKey(rng, maxBytes));
    Chains c;
    c.pool.resize(static_cast<size_t>(n) * (VOZ_PATT_MAX_CHAIN + 1));
    size_t at = 0;
    for (int i = 0; i < n; ++i) {
        std::vector<uint8_t> k = dict[rng() % dict.size()];
        if (rng() % 8 == 0) k.resize(1 + rng() % k.size());
        if (rng() % 8 == 0) k.push_back(static_cast<uint8_t>(rng() % 3));
        const int bytes = static_cast<int>(k.size());
        const int entries = bytes <= 6 ? 1 : (bytes - 6 + 21) / 22 + 1;
        PATTINFO* h = &c.pool[at];
        memset(h, 0, sizeof(PATTINFO) * static_cast<size_t>(entries));
        h->kind = VOZ_KIND_VAR;
        h->chainOrMark = static_cast<uint8_t>(entries);
        h->document = i;
        for (int b = 0; b < bytes; ++b) {
            if (b < 6) h->keyHead[b] = k[b];
            else voz_PattContKey(h + (b - 6) / 22 + 1)[(b - 6) % 22] = k[b];
        }
        for (int e = 1; e < entries; ++e) {
            h[e].kind = VOZ_KIND_CONT;
            reinterpret_cast<uint8_t*>(&h[e])[1] = static_cast<uint8_t>(
                e < entries - 1 ? 22 : bytes - 6 - 22 * (entries - 2));
        }
        c.heads.push_back(h);
        at += static_cast<size_t>(entries);
    }
    return c;
}

TEST(SortEquivalence, VariableKeysAsTheRadixSortedThem) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    struct Shape {
        int n, words, maxBytes;
    };
    // Repeats of few words, many words, long chains, one or two keys. The
    // 20000 heads of 400 words make about 2700 keys (cut and extended ones
    // too), more than the sort's first table holds; the 3000 heads of 2500
    // words (about 1900 keys) and 1500 of 10^6 (about 1200) have more keys
    // than half their heads, which the sort leaves to its radix passes.
    const Shape shapes[] = {{2, 2, 8},        {50, 3, 10},     {3000, 40, 30},
                            {3000, 2500, 60}, {800, 100, 790}, {5000, 1, 12},
                            {20000, 400, 40}, {1500, 1000000, 24}};
    for (const Shape& sh : shapes) {
        for (int round = 0; round < 3; ++round) {
            Chains c = randomChains(rng, sh.n, sh.words, sh.maxBytes);
            std::vector<PATTINFO*> want = c.heads, got = c.heads;
            referenceSortVAR(want.data(), sh.n);
            GTRSTATUS st{};
            ASSERT_EQ(voz_SortPattVAR(got.data(), sh.n, &st), 0);
            ASSERT_EQ(got, want) << "n " << sh.n << " words " << sh.words
                                 << " seed " << seed;
        }
    }
}

}  // namespace
