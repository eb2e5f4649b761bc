// Tests of the pattern pool: entries per key length, argument checks, the
// making of room (growth, moving the current document to the front), the
// field-number key and the document list; the radix sorts against a
// stable comparison sort; the chains of random keys against their simple
// layout.
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "creat_fixture.hpp"

using namespace creatfix;

namespace {

int32_t Used(const CREATWRK* cwp) {
    return static_cast<int32_t>(cwp->pool.cursor - cwp->pool.start);
}

TEST(PattPool, EntriesPerKeyLength) {
    // One-byte units: the key bytes are the length.
    GTRCREATEPARM p = Parm();
    p.inputUnitWidth = p.storedUnitWidth = 1;
    p.fixedKeyUnits = 2;
    Cycle c;
    c.start(p);
    ASSERT_OK(c.st);
    const struct { int32_t bytes, entries; } kCases[] = {
        {1, 1}, {6, 1}, {7, 2}, {28, 2}, {29, 3}, {50, 3}, {51, 4}};
    uint8_t key[64];
    for (int i = 0; i < 64; ++i) key[i] = static_cast<uint8_t>('a' + i % 26);
    for (const auto& k : kCases) {
        int32_t before = Used(c.cwp);
        ASSERT_EQ(VOZ_pattPool(c.cwp, ')', key, 1, 1, k.bytes, &c.st), 0);
        EXPECT_EQ(Used(c.cwp) - before, k.entries) << k.bytes << " bytes";
        const PATTINFO* h = c.cwp->pool.start + before;
        EXPECT_EQ(h->kind, 'V');
        EXPECT_EQ(h->chainOrMark, k.entries);
        if (k.entries > 1) {
            EXPECT_EQ(voz_PattContUsed(h + k.entries - 1), (k.bytes - 6 - 1) % 22 + 1);
        }
        EXPECT_EQ(voz_PattKeyLength(h), k.bytes < 6 ? 6 : k.bytes);
    }
}

TEST(PattPool, RefusesBadArguments) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t key[6] = {'A', 'B', 0, 0, 0, 0};
    const struct {
        char kind;
        int32_t doc, pos, len, rc, ec;
    } kCases[] = {
        {'!', 1, 1, 0, 2, 14},
        {')', 0x7FFFFFFF, 1, 0, 30, 0x7FFFFFFF},
        {')', -1, 1, 0, 30, -1},
        {')', 1, 0x40000000, 0, 31, 0x40000000},
        {')', 1, 0, 0, 31, 0},
        {'*', 1, 0, 0, 31, 0},
        {'&', 1, -1, 0, 31, -1},
        {')', 1, 1, -2, 2, 2110},
        {')', 1, 1, 400, 2, 2110},  // longer than a chain of 36 entries
    };
    for (const auto& k : kCases) {
        GTRSTATUS st{};
        EXPECT_EQ(VOZ_pattPool(c.cwp, k.kind, key, k.doc, k.pos, k.len, &st), -1);
        EXPECT_RC(st, k.rc, k.ec) << "kind " << k.kind << " doc " << k.doc << " pos " << k.pos;
    }
    EXPECT_EQ(Used(c.cwp), 0);
    GTRSTATUS st{};
    EXPECT_EQ(VOZ_pattPool(c.cwp, ')', key, 0x7FFFFFFE, 0x3FFFFFFF, 0, &st), 0);
    EXPECT_EQ(VOZ_pattPool(c.cwp, '&', nullptr, 0x7FFFFFFE, 0, 0, &st), 0);
    EXPECT_EQ(VOZ_pattPool(c.cwp, 0, nullptr, 0x7FFFFFFE, 5, 0, &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(c.cwp->pool.documentCount, 1);
    EXPECT_EQ(c.cwp->registeredDocuments, 1);
    GTRSTATUS bad{};
    EXPECT_EQ(VOZ_pattPool(nullptr, ')', key, 1, 1, 0, &bad), -1);
    EXPECT_RC(bad, 1, 12);
}

TEST(PattPool, WritesEntriesByKind) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t ab[6] = {'A', 0, 'B', 0, 0, 0};
    GTRSTATUS& st = c.st;
    VOZ_pattPool(c.cwp, ')', ab, 3, 7, 0, &st);
    VOZ_pattPool(c.cwp, '+', ab, 3, 8, 0, &st);
    VOZ_pattPool(c.cwp, '+', ab, 3, 9, 2, &st);
    VOZ_pattPool_FldNumber(c.cwp, 0x0102, 3, 10, &st);
    VOZ_pattPool(c.cwp, 5, nullptr, 2, 11, 0, &st);
    ASSERT_OK(st);
    const PATTINFO* e = c.cwp->pool.start;
    EXPECT_EQ(e[0].kind, 'F');
    EXPECT_EQ(e[0].chainOrMark, ')');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e[0].keyHead), 6),
              std::string("A\0\0\0\0\0", 6));  // fixed pattern: 2 bytes
    EXPECT_EQ(e[1].kind, 'D');
    EXPECT_EQ(e[1].chainOrMark, '+');
    EXPECT_EQ(e[1].weight, 2);
    EXPECT_EQ(e[2].kind, 'V');
    EXPECT_EQ(e[2].weight, 2);
    EXPECT_EQ(e[3].kind, 'D');
    EXPECT_EQ(e[3].chainOrMark, ')');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e[3].keyHead), 6),
              std::string("\x01\x0E\x02\x0E\0\0", 6));
    EXPECT_EQ(e[4].chainOrMark, 5);
    EXPECT_EQ(c.cwp->pool.outOfOrder, 1);
    EXPECT_EQ(c.cwp->pool.lowestDocument, 2);
    EXPECT_EQ(c.cwp->pool.highestDocument, 3);
}

TEST(PattPool, RepacksThreeByteUnitsIntoTwo) {
    GTRCREATEPARM p = Parm();
    p.inputUnitWidth = 3;
    p.fixedKeyUnits = 2;
    Cycle c;
    c.start(p);
    ASSERT_OK(c.st);
    // 14 units: 3 in the head, 11 in the first continuation.
    std::vector<uint8_t> key;
    for (int u = 0; u < 14; ++u) {
        key.push_back(static_cast<uint8_t>(0x40 + u));
        key.push_back(static_cast<uint8_t>(0xC1 + u));
        key.push_back(static_cast<uint8_t>(u));
    }
    ASSERT_EQ(VOZ_pattPool(c.cwp, ')', key.data(), 1, 1, 14, &c.st), 0);
    const PATTINFO* h = c.cwp->pool.start;
    ASSERT_EQ(h->chainOrMark, 2);
    auto packed = [&](int u) { return static_cast<uint8_t>((u % 6) * 64 + ((0xC1 + u) & 63)); };
    EXPECT_EQ(h->keyHead[0], 0x40);
    EXPECT_EQ(h->keyHead[1], packed(0));
    EXPECT_EQ(h->keyHead[5], packed(2));
    EXPECT_EQ(voz_PattContUsed(h + 1), 22);
    EXPECT_EQ(voz_PattContKey(h + 1)[0], 0x43);
    EXPECT_EQ(voz_PattContKey(h + 1)[21], packed(13));
}

TEST(PattPool, GrowsForADocumentThatFillsThePool) {
    Cycle c;
    c.start(Parm(), Sys(8192, 16384));
    ASSERT_OK(c.st);
    int32_t size = c.cwp->pool.size;
    EXPECT_EQ(size, 8184);
    const uint8_t ab[2] = {'A', 'B'};
    int32_t n = size / 24 + 5;
    for (int32_t i = 0; i < n; ++i)
        ASSERT_EQ(VOZ_pattPool(c.cwp, ')', ab, 4, i + 1, 0, &c.st), 0) << i;
    EXPECT_EQ(c.cwp->pool.size, size + 16368);
    EXPECT_EQ(Used(c.cwp), n);
    EXPECT_EQ(c.cwp->levels[0].numSections, 0);  // nothing flushed
}

TEST(PattPool, MovesTheCurrentDocumentToTheFront) {
    Cycle c;
    c.start(Parm(), Sys(8192, 16384));
    ASSERT_OK(c.st);
    const uint8_t ab[2] = {'A', 'B'};
    int32_t cap = c.cwp->pool.size / 24;
    for (int32_t i = 0; i < cap - 10; ++i) VOZ_pattPool(c.cwp, ')', ab, 1, i + 1, 0, &c.st);
    VOZ_pattPool(c.cwp, '&', nullptr, 1, cap, 0, &c.st);
    for (int32_t i = 0; i < 20; ++i) VOZ_pattPool(c.cwp, ')', ab, 2, i + 1, 0, &c.st);
    ASSERT_OK(c.st);
    EXPECT_EQ(c.cwp->pool.size, 8184);  // no growth
    EXPECT_EQ(c.cwp->levels[0].numSections, 1);
    EXPECT_EQ(Used(c.cwp), 20);
    EXPECT_EQ(c.cwp->pool.start[0].document, 2);
    EXPECT_EQ(c.cwp->pool.start[0].position, 1);
    EXPECT_EQ(c.cwp->pool.lowestDocument, 2);
    EXPECT_EQ(c.cwp->pool.highestDocument, 2);
    EXPECT_EQ(c.cwp->pool.documentCount, 0);
    EXPECT_EQ(c.cwp->tag[15], 'Y');
    Section s = ReadSection(c.work, 0, &c.st);
    ASSERT_OK(c.st);
    EXPECT_EQ(s.info.docCount, 1u);
    EXPECT_EQ(s.lists["slot38"].count(1), 1u);
    EXPECT_EQ(s.lists.size(), 2u);  // the key and the document list
}

TEST(PattPool, KeepsSavedValuesAndDocumentList) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    int32_t a, b, d;
    VOZ_restoreDocPos(c.cwp, &a, &b, &d);
    EXPECT_EQ(a, -1);
    VOZ_saveDocPos(c.cwp, 7, 8, 9);
    VOZ_restoreDocPos(c.cwp, &a, &b, &d);
    EXPECT_EQ(std::vector<int32_t>({a, b, d}), std::vector<int32_t>({7, 8, 9}));
    POOLINFO& pool = c.cwp->pool;
    for (int32_t i = 0; i < 250; ++i) {
        ASSERT_EQ(vozAddToDocumentList(&pool, 1000 - i, 0, &c.st), 0);
        ++pool.documentCount;
    }
    ASSERT_EQ(vozAddToDocumentList(&pool, 5, 3, &c.st), 0);
    EXPECT_EQ(pool.documentListCapacity, 300);
    EXPECT_EQ(pool.documentList[0], 751);
    EXPECT_EQ(pool.documentList[3], 5);
    EXPECT_EQ(pool.documentList[4], 754);
    pool.documentCount = 0;
}

// ---- the sorts ------------------------------------------------------------

std::vector<PATTINFO> RandomChains(std::mt19937& rng, int n, std::vector<PATTINFO*>* heads) {
    std::vector<PATTINFO> pool(static_cast<size_t>(n) * 6);
    size_t at = 0;
    for (int i = 0; i < n; ++i) {
        int bytes = 1 + static_cast<int>(rng() % 70);
        int entries = bytes <= 6 ? 1 : (bytes - 6 + 21) / 22 + 1;
        PATTINFO* h = &pool[at];
        memset(h, 0, sizeof(PATTINFO) * entries);
        h->kind = 'V';
        h->chainOrMark = static_cast<uint8_t>(entries);
        h->document = static_cast<int32_t>(rng() % 100000);
        h->weight = static_cast<uint8_t>(i);
        uint8_t alphabet = static_cast<uint8_t>(1 + rng() % 3);  // many ties
        for (int b = 0; b < bytes; ++b) {
            uint8_t v = static_cast<uint8_t>('a' + rng() % alphabet);
            if (b < 6) h->keyHead[b] = v;
            else voz_PattContKey(h + (b - 6) / 22 + 1)[(b - 6) % 22] = v;
        }
        for (int e = 1; e < entries; ++e) {
            h[e].kind = 'C';
            reinterpret_cast<uint8_t*>(&h[e])[1] =
                static_cast<uint8_t>(e < entries - 1 ? 22 : bytes - 6 - 22 * (entries - 2));
        }
        heads->push_back(h);
        at += static_cast<size_t>(entries);
    }
    return pool;
}

TEST(PattSort, RadixSortsMatchAStableSort) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 20; ++round) {
        std::vector<PATTINFO*> heads;
        std::vector<PATTINFO> pool = RandomChains(rng, 1 + static_cast<int>(rng() % 400), &heads);
        int32_t n = static_cast<int32_t>(heads.size());
        GTRSTATUS st{};
        std::vector<PATTINFO*> want = heads, got = heads;
        std::stable_sort(want.begin(), want.end(), [](const PATTINFO* a, const PATTINFO* b) {
            return a->document < b->document;
        });
        ASSERT_EQ(voz_SortPattDv(got.data(), n, &st), 0);
        ASSERT_EQ(got, want) << "seed " << seed;
        std::stable_sort(want.begin(), want.end(), [](const PATTINFO* a, const PATTINFO* b) {
            return voz_VpattCmp(a, b) < 0;
        });
        ASSERT_EQ(voz_SortPattVAR(got.data(), n, &st), 0);
        ASSERT_EQ(got, want) << "seed " << seed << " round " << round;
        std::stable_sort(want.begin(), want.end(), [](const PATTINFO* a, const PATTINFO* b) {
            return memcmp(a->keyHead, b->keyHead, 6) < 0;
        });
        ASSERT_EQ(voz_SortPattFIX(got.data(), n, &st), 0);
        ASSERT_EQ(got, want) << "seed " << seed;
        for (PATTINFO* h : heads) h->chainOrMark = static_cast<uint8_t>(rng() % 50);
        std::stable_sort(want.begin(), want.end(), [](const PATTINFO* a, const PATTINFO* b) {
            return a->chainOrMark < b->chainOrMark;
        });
        ASSERT_EQ(voz_SortPattDLM(got.data(), n, &st), 0);
        ASSERT_EQ(got, want) << "seed " << seed;
        ASSERT_OK(st);
    }
}

TEST(PattSort, PrefixSortsBeforeItsExtension) {
    PATTINFO a[3] = {}, b[3] = {};
    a[0].kind = b[0].kind = 'V';
    memcpy(a[0].keyHead, "abcdef", 6);
    memcpy(b[0].keyHead, "abcdef", 6);
    a[0].chainOrMark = 2;
    a[1].kind = 'C';
    reinterpret_cast<uint8_t*>(&a[1])[1] = 3;
    memcpy(voz_PattContKey(&a[1]), "ghi", 3);
    b[0].chainOrMark = 2;
    b[1].kind = 'C';
    reinterpret_cast<uint8_t*>(&b[1])[1] = 2;
    memcpy(voz_PattContKey(&b[1]), "gh", 2);
    EXPECT_GT(voz_VpattCmp(a, b), 0);
    EXPECT_LT(voz_VpattCmp(b, a), 0);
    PATTINFO* v[2] = {a, b};
    GTRSTATUS st{};
    voz_SortPattVAR(v, 2, &st);
    EXPECT_EQ(v[0], b);
}

}  // namespace

namespace {

// The pool entries of one key as the simple layout says: the key's stored
// bytes (three-byte units repacked into two: the first byte, then the low
// 8 bits of (third mod 6) x 64 + (second AND 63)) in a head of 6 bytes and
// continuations of 22, zero-filled.
std::vector<PATTINFO> LaidOut(const std::vector<uint8_t>& key, int iw, int32_t doc,
                              int32_t pos) {
    std::vector<uint8_t> stored;
    if (iw == 3) {
        for (size_t u = 0; u + 3 <= key.size(); u += 3) {
            stored.push_back(key[u]);
            stored.push_back(static_cast<uint8_t>((key[u + 2] % 6) * 64 + (key[u + 1] & 63)));
        }
    } else {
        stored = key;
    }
    const size_t n = stored.size();
    const size_t entries = n <= 6 ? 1 : (n - 6 + 21) / 22 + 1;
    std::vector<PATTINFO> out(entries);
    memset(out.data(), 0, sizeof(PATTINFO) * entries);
    out[0].kind = 'V';
    out[0].chainOrMark = static_cast<uint8_t>(entries);
    out[0].document = doc;
    out[0].position = pos;
    out[0].weight = 1;
    for (size_t b = 0; b < n; ++b) {
        if (b < 6) out[0].keyHead[b] = stored[b];
        else voz_PattContKey(&out[(b - 6) / 22 + 1])[(b - 6) % 22] = stored[b];
    }
    for (size_t e = 1; e < entries; ++e) {
        out[e].kind = 'C';
        reinterpret_cast<uint8_t*>(&out[e])[1] =
            static_cast<uint8_t>(e + 1 < entries ? 22 : n - 6 - 22 * (entries - 2));
    }
    return out;
}

TEST(PattPool, ChainsOfRandomKeysAsTheSimpleLayout) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int iw : {3, 2}) {
        GTRCREATEPARM p = Parm();
        p.inputUnitWidth = static_cast<uint8_t>(iw);
        p.fixedKeyUnits = 2;
        Cycle c;
        c.start(p);
        ASSERT_OK(c.st);
        for (int round = 0; round < 300; ++round) {
            const int units = 1 + static_cast<int>(rng() % (iw == 3 ? 180 : 120));
            std::vector<uint8_t> key(static_cast<size_t>(units * iw));
            for (uint8_t& b : key) b = static_cast<uint8_t>(rng());
            const int32_t before = Used(c.cwp);
            ASSERT_EQ(VOZ_pattPool(c.cwp, ')', key.data(), 1, 1 + round, units, &c.st), 0)
                << "seed " << seed;
            const std::vector<PATTINFO> want = LaidOut(key, iw, 1, 1 + round);
            ASSERT_EQ(Used(c.cwp) - before, static_cast<int32_t>(want.size()));
            EXPECT_EQ(memcmp(c.cwp->pool.start + before, want.data(),
                             sizeof(PATTINFO) * want.size()),
                      0)
                << "seed " << seed << " units " << units << " width " << iw;
            if (Used(c.cwp) > 200) c.cwp->pool.cursor = c.cwp->pool.start;
        }
    }
}

}  // namespace
