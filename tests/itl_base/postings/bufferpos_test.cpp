// Tests of the position-list encoding and CVozBufferPos: golden bytes of
// headers and position codes, round trips of random lists, document and
// position skipping (with pins and deleted documents), run appends and the
// merge of one document's positions from several sources.
#include "postings/voz_bufferpos.hpp"

#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include "files/voz_bigendian.hpp"

#include <cstdlib>
#include <map>
#include <random>
#include <vector>

namespace {

using Doc = PosList::value_type;
using List = PosList;

void Load(CVozBufferPos& b, const List& list) {
    b.Clear();
    auto bytes = encodePositionList(list);
    b.AppendRawData(bytes.data(), static_cast<uint32_t>(bytes.size()));
    b.iv_docCount = static_cast<uint32_t>(list.size());
    b.iv_curDoc = -1;
}

// Reads the whole stream back through SkipDoc / SkipPosNext.
List Decode(CVozBufferPos& b) {
    List out;
    for (uint32_t d = b.SkipDoc(0); d != VOZ_POS_NO_DOC; d = b.SkipDoc(d + 1)) {
        Doc doc{d, {}};
        uint8_t done = 0;
        while (!done) {
            int32_t p = b.SkipPosNext(0, done);
            if (p != VOZ_POS_NO_POS) doc.second.push_back(p);
        }
        out.push_back(doc);
    }
    return out;
}

List RandomList(std::mt19937& rng, int docs, int maxPos) {
    List list;
    uint32_t doc = rng() % 3;
    std::uniform_int_distribution<int> gapKind(0, 9);
    for (int i = 0; i < docs; ++i) {
        Doc d{doc, {}};
        int n = rng() % (maxPos + 1);
        uint32_t p = 0;
        for (int j = 0; j < n; ++j) {
            int k = gapKind(rng);
            uint32_t gap = k < 6 ? rng() % 64 : k < 8 ? rng() % 20000
                         : k < 9 ? rng() % 0x500000 : rng() % 0x08000000;
            if (p + gap >= 0x40000000u) break;
            p += gap;
            d.second.push_back(p);
        }
        list.push_back(d);
        int k = gapKind(rng);
        doc += 1 + (k < 6 ? rng() % 16 : k < 9 ? rng() % 5000 : rng() % 200000);
    }
    return list;
}

TEST(PosEncoding, GoldenStreamOfTwoDocuments) {
    // Document 0 with positions 5 and 70, then document 300 with 20000.
    auto bytes = encodePositionList({{0, {5, 70}}, {300, {20000}}});
    std::vector<uint8_t> want{0x13, 0xC5, 0x80, 0x41, 0x00,
                              0x12, 0xC3, 0x40, 0x4E, 0x20};
    EXPECT_EQ(bytes, want);
    // A delta of 3 and two one-byte codes share the header byte.
    EXPECT_EQ(encodePositionList({{2, {1, 2}}}), (std::vector<uint8_t>{0x32, 0xC1, 0xC1}));
}

TEST(PosEncoding, HeaderFormsSwitchAtTheirBounds) {
    struct Case { uint32_t delta, length; std::vector<uint8_t> bytes; };
    const Case cases[] = {
        {1, 1, {0x11}},
        {15, 15, {0xFF}},
        {16, 1, {0x01, 0x01}},
        {255, 16, {0x0F, 0xF0, 0x10}},
        {256, 255, {0x00, 0x10, 0x00, 0xFF}},
        {4095, 256, {0x00, 0xFF, 0xF0, 0x01, 0x00}},
        {4096, 4095, {0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF}},
        {65535, 4096, {0x00, 0x0F, 0xFF, 0xF0, 0x00, 0x10, 0x00}},
        {65536, 65535, {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0xFF, 0xFF}},
        {65536, 65536, {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}},
        {0, 1, {0x00, 0x00, 0x00, 0x00, 0x01}},
        {1, 0, {0x10, 0x00, 0x00, 0x00}},
        {0, 0, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {0x7FFFFFFE, (1u << 28) - 1,
         {0x00, 0x00, 0x07, 0xFF, 0xFF, 0xFF, 0xE0, 0x00, 0x0F, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        uint8_t out[16] = {};
        uint32_t n = voz_PosHeaderEncode(out, c.delta, c.length);
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes)
            << "delta " << c.delta << " length " << c.length;
        uint32_t d = 0, l = 0;
        EXPECT_EQ(voz_PosHeaderDecode(out, n, &d, &l), n);
        EXPECT_EQ(d, c.delta);
        EXPECT_EQ(l, c.length);
        // A header cut short is never decoded from bytes beyond it.
        EXPECT_EQ(voz_PosHeaderDecode(out, n - 1, &d, &l), 0u);
    }
}

TEST(PosEncoding, PositionCodesSwitchAtTheirBounds) {
    struct Case { uint32_t value; std::vector<uint8_t> bytes; };
    const Case cases[] = {
        {0, {0xC0}}, {63, {0xFF}}, {64, {0x80, 0x40}},
        {16383, {0xBF, 0xFF}}, {16384, {0x40, 0x40, 0x00}},
        {0x3FFFFF, {0x7F, 0xFF, 0xFF}}, {0x400000, {0x00, 0x40, 0x00, 0x00}},
        {0x0FFFFFFF, {0x0F, 0xFF, 0xFF, 0xFF}},
        {0x10000000, {0x10, 0x10, 0x00, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        uint8_t out[8];
        uint32_t n = voz_PosCodeEncode(out, c.value);
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes) << c.value;
        EXPECT_EQ(voz_PosCodeSizeOf(out[0]), n);
        EXPECT_EQ(voz_PosCodeDecode(out), c.value);
    }
    // Any first byte 0x10-0x3F is the five-byte form.
    const uint8_t odd[] = {0x3F, 0x00, 0x00, 0x01, 0x00};
    EXPECT_EQ(voz_PosCodeSizeOf(odd[0]), 5u);
    EXPECT_EQ(voz_PosCodeDecode(odd), 256u);
}

TEST(PosBuffer, RandomListsRoundTrip) {
    std::mt19937 rng(testSeed());
    CVozBufferPos b;
    size_t positions = 0;
    for (int round = 0; round < 40; ++round) {
        List list = RandomList(rng, 1 + rng() % 3000, round % 4 == 0 ? 400 : 12);
        for (auto& d : list) positions += d.second.size();
        Load(b, list);
        ASSERT_EQ(Decode(b), list) << "round " << round;
    }
    EXPECT_GT(positions, 100000u);
}

TEST(PosBuffer, SkipDocWithAndWithoutPinsAgreesWithModel) {
    std::mt19937 rng(testSeed());
    for (int round = 0; round < 20; ++round) {
        List list = RandomList(rng, 50 + rng() % 2000, 3);
        CVozBufferPos plain, pinned;
        Load(plain, list);
        Load(pinned, list);
        uint16_t size = 0;
        uint8_t* table = pinned.CreatePinPoint(size);
        uint16_t pins = static_cast<uint16_t>((table[0] << 8) | table[1]);
        EXPECT_EQ(size, 2 + 6 * pins);
        std::vector<uint8_t> copy(table + 2, table + size);
        pinned.SetPinPoint(pins, copy.data());
        std::map<uint32_t, size_t> index;
        for (size_t i = 0; i < list.size(); ++i) index[list[i].first] = i;
        // Once SkipPos has read a document's header, that document is
        // behind the reader: each target lies past the previous answer.
        uint32_t target = 0;
        while (true) {
            target += rng() % 400;
            auto it = index.lower_bound(target);
            uint32_t want = it == index.end() ? VOZ_POS_NO_DOC : it->first;
            ASSERT_EQ(plain.SkipDoc(target), want) << "target " << target;
            ASSERT_EQ(pinned.SkipDoc(target), want) << "target " << target;
            if (want == VOZ_POS_NO_DOC) break;
            const auto& pos = list[it->second].second;
            int32_t p = pinned.SkipPos(0);
            ASSERT_EQ(p, pos.empty() ? VOZ_POS_NO_POS : int32_t(pos[0]));
            target = want + 1;
        }
    }
}

TEST(PosBuffer, PinCountFollowsDocumentCount) {
    for (uint32_t docs : {1u, 100u, 101u, 250u, 1000u}) {
        List list;
        for (uint32_t d = 0; d < docs; ++d) list.push_back({d * 3, {d}});
        CVozBufferPos b;
        Load(b, list);
        uint16_t size = 0;
        b.CreatePinPoint(size);
        EXPECT_EQ(size, 2 + 6 * ((docs - 1) / 100)) << docs << " documents";
        EXPECT_EQ(b.iv_curDoc, -1);
        EXPECT_EQ(Decode(b), list) << "the reader is rewound";
    }
}

TEST(PosBuffer, SkipPosLeavesThePositionUnconsumed) {
    CVozBufferPos b;
    Load(b, {{7, {3, 10, 10, 40}}});
    EXPECT_EQ(b.SkipDoc(0), 7u);
    EXPECT_EQ(b.SkipPos(5), 10);
    EXPECT_EQ(b.SkipPos(5), 10);
    EXPECT_EQ(b.MoveToNextPos(), 10);  // consumes one 10, the next is 10
    EXPECT_EQ(b.MoveToNextPos(), 40);
    uint8_t done = 0;
    EXPECT_EQ(b.SkipPosNext(41, done), VOZ_POS_NO_POS);
    EXPECT_EQ(done, 1);
    try {
        b.MoveToNextPos();
        FAIL() << "nothing was left";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 3311);
    }
}

TEST(PosBuffer, CorruptCodeLengthIsReported) {
    // Header says two bytes of position data, but the code needs three.
    const uint8_t bytes[] = {0x12, 0x40, 0x00, 0x00};
    CVozBufferPos b;
    b.AppendRawData(bytes, sizeof bytes);
    EXPECT_EQ(b.SkipDoc(0), 0u);
    try {
        b.SkipPos(0);
        FAIL() << "corrupt list accepted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 3306);
    }
}

TEST(PosBuffer, TruncatedEntrySetsNeedMoreData) {
    std::vector<uint32_t> many;
    for (uint32_t p = 0; p < 30; ++p) many.push_back(p);
    auto bytes = encodePositionList({{0, {1}}, {5, many}});
    CVozBufferPos b;
    b.AppendRawData(bytes.data(), static_cast<uint32_t>(bytes.size() - 3));
    b.iv_morePending = 1;
    EXPECT_EQ(b.SkipDoc(0), 0u);
    EXPECT_EQ(b.SkipDoc(1), VOZ_POS_NO_DOC);
    EXPECT_EQ(b.iv_needMoreData, 1);
    // CheckOverrun asks for exactly the lacking bytes of the entry.
    b.Request(0);
    uint32_t missing = 0;
    uint8_t* at = b.CheckOverrun(missing);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(missing, 3u);
}

TEST(PosBuffer, DeletedDocumentsAreSkipped) {
    List list{{1, {1}}, {2, {2}}, {3, {3}}, {4, {4}}, {9, {9}}};
    const uint32_t deleted[] = {1, 2, 9};
    CVozBufferPos b;
    Load(b, list);
    b.iv_delIds = deleted;
    b.iv_delLeft = 3;
    EXPECT_EQ(b.SkipDoc(0), 3u);  // 1 and 2 are dropped
    EXPECT_EQ(b.iv_docCount, 3u);
    EXPECT_EQ(b.iv_delAhead, 0);
    // Passing live documents 3 and 4 and then meeting deleted 9 stops
    // there and tells the caller so.
    EXPECT_EQ(b.SkipDoc(5), 9u);
    EXPECT_EQ(b.iv_delAhead, 1);
}

TEST(PosBuffer, PinTableIgnoresPendingDeletedIds) {
    List list;
    for (uint32_t d = 0; d < 150; ++d) list.push_back({d, {d}});
    const uint32_t deleted[] = {5, 10, 140};
    CVozBufferPos b;
    Load(b, list);
    b.iv_delIds = deleted;
    b.iv_delLeft = 3;
    uint16_t size = 0;
    const uint8_t* table = b.CreatePinPoint(size);
    ASSERT_EQ(size, 8);
    EXPECT_EQ(b.iv_docCount, 150u) << "building pins drops no document";
    EXPECT_EQ(b.iv_delAhead, 0);
    EXPECT_EQ(b.iv_delLeft, 3u) << "the deleted ids stay pending";
    EXPECT_EQ(b.iv_delIds, deleted);
    // The one pin is a true pair: its offset is that of the entry after
    // the pinned document (here the end of the stream, after 2-document
    // strides).
    uint32_t pinDoc = voz_getBE32(table + 2);
    uint16_t off = voz_getBE16(table + 6);
    if (off == b.Used()) {
        EXPECT_EQ(pinDoc, list.back().first);
    } else {
        uint32_t delta = 0, len = 0;
        ASSERT_NE(voz_PosHeaderDecode(b.iv_data + off, b.Used() - off,
                                      &delta, &len), 0u);
        EXPECT_EQ(pinDoc + delta, list[pinDoc + 1].first);
    }
}

TEST(PosBuffer, APinBehindTheReaderIsNotTaken) {
    List list;
    for (uint32_t d = 0; d < 20; ++d) list.push_back({d * 10, {d}});
    CVozBufferPos b;
    Load(b, list);
    // A damaged table: a pin far ahead by id whose offset is the stream
    // start.
    uint8_t table[6];
    voz_putBE32(table, 120);
    voz_putBE16(table + 4, 0);
    b.SetPinPoint(1, table);
    ASSERT_EQ(b.SkipDoc(50), 50u);
    EXPECT_EQ(b.SkipDoc(150), 150u) << "the reader went back over its bytes";
}

TEST(PosBuffer, RequestRefusesALengthThatWrapsTheBuffer) {
    CVozBufferPos b;
    const uint8_t bytes[] = {0x11, 0xC1};
    b.AppendRawData(bytes, sizeof bytes);
    try {
        b.Request(0xFFFFFFFFu);
        FAIL() << "a wrapping request was granted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, VOZ_RC_MEMORY);
        EXPECT_EQ(e.errcode, 3302);
    }
    EXPECT_EQ(b.Unread(), 2u);
}

TEST(PosBuffer, AppendRebasesTheRun) {
    List all{{3, {1, 2}}, {10, {5}}, {12, {7, 9}}, {40, {0}}};
    auto bytes = encodePositionList(all);
    auto head = encodePositionList({all[0]});
    // The run of documents 10..40 cut from the stream.
    CVozBufferPos b;
    Load(b, {{0, {4}}});
    b.iv_curDoc = 0;
    b.Append(bytes.data() + head.size(),
             static_cast<uint32_t>(bytes.size() - head.size()), 10, 40);
    EXPECT_EQ(b.iv_curDoc, 40);
    b.iv_curDoc = -1;
    List want{{0, {4}}, all[1], all[2], all[3]};
    EXPECT_EQ(Decode(b), want);
}

TEST(PosBuffer, AppendPosMergesSourcesOfOneDocument) {
    std::mt19937 rng(testSeed());
    for (int round = 0; round < 200; ++round) {
        uint32_t doc = rng() % 100000;
        int count = 1 + rng() % 4;
        std::vector<std::vector<uint32_t>> parts(count);
        uint32_t p = rng() % 100;
        for (auto& part : parts) {
            int n = rng() % 6;
            for (int j = 0; j < n; ++j) {
                p += j == 0 ? 1 + rng() % 70000 : rng() % 300;
                part.push_back(p);
            }
        }
        // Hand the sources over in shuffled order with an order array.
        std::vector<int> perm(count);
        for (int i = 0; i < count; ++i) perm[i] = i;
        std::shuffle(perm.begin(), perm.end(), rng);
        std::vector<std::unique_ptr<CVozBufferPos>> src;
        std::vector<CVozBufferPos*> ptrs;
        std::vector<int32_t> order;
        for (int i = 0; i < count; ++i) {
            src.emplace_back(new CVozBufferPos);
            Load(*src.back(), {{doc, parts[perm[i]]}});
            src.back()->SkipDoc(doc);
            ptrs.push_back(src.back().get());
            order.push_back(i);
        }
        std::vector<uint32_t> merged;
        for (auto& part : parts) merged.insert(merged.end(), part.begin(), part.end());
        // Sources without positions sort last and contribute nothing.
        CVozBufferPos out;
        try {
            out.AppendPos(ptrs.data(), count, doc, order.data());
        } catch (const CVozException& e) {
            FAIL() << "round " << round << ": " << e.retcode << "/" << e.errcode;
        }
        EXPECT_EQ(std::vector<uint8_t>(out.Data(), out.Data() + out.Used()),
                  encodePositionList({{doc, merged}}))
            << "round " << round;
    }
}

TEST(PosBuffer, AppendPosRefusesOverlappingSources) {
    CVozBufferPos a, b, out;
    Load(a, {{5, {10, 20}}});
    Load(b, {{5, {15}}});
    a.SkipDoc(5);
    b.SkipDoc(5);
    CVozBufferPos* src[] = {&a, &b};
    try {
        out.AppendPos(src, 2, 5, nullptr);
        FAIL() << "overlap accepted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 3303);
    }
}

TEST(PosBuffer, SortOrderPosSortsIndexesByKey) {
    std::mt19937 rng(testSeed());
    std::vector<int32_t> keys(500), order(500);
    for (int i = 0; i < 500; ++i) {
        keys[i] = static_cast<int32_t>(rng() % 50) - 25;
        order[i] = i;
    }
    CVozBufferPos::SortOrderPos(keys.data(), order.data(), 500, nullptr);
    for (int i = 1; i < 500; ++i) ASSERT_LE(keys[order[i - 1]], keys[order[i]]);
    std::sort(order.begin(), order.end());
    for (int i = 0; i < 500; ++i) ASSERT_EQ(order[i], i);
}

}  // namespace
