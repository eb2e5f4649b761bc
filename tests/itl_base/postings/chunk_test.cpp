// Tests of CVozChunk and CVozLump: a random position list cut into leaves
// by lump steps and read back by chunks equals the list; pin points, the
// result codes at leaf and document ends, and the Part-sized edge cases.
#include "postings/voz_chunk.hpp"

#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "postings/voz_bufferpos.hpp"

namespace {

using List = PosList;

// One leaf as the B-tree stores it: 256 bytes of pins, then the data.
struct Leaf {
    std::vector<uint8_t> image = std::vector<uint8_t>(VOZ_PINTABLE_SIZE);
    uint32_t lastDoc = 0xFFFFFFFF;
    int32_t carried = 0;
    bool continues = false;
    int32_t pins = 0;
    int32_t DataLen() const { return int32_t(image.size()) - VOZ_PINTABLE_SIZE; }
};

// Cuts the stream into leaves of `capacity` data bytes with StepDoc, the
// way the B-tree's writer does: header, absolute first position, then the
// bytes after the first copied as they stand.
std::vector<Leaf> CutIntoLeaves(std::vector<uint8_t>& stream, int32_t capacity) {
    std::vector<Leaf> leaves(1);
    int32_t written = 0;
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    lump.iv_roomLimit = capacity;
    lump.iv_written = &written;
    while (true) {
        int32_t r = lump.StepDoc();
        if (r == VOZ_LUMP_EXHAUSTED) break;
        Leaf& leaf = leaves.back();
        uint8_t buf[32];
        int32_t firstSize = lump.iv_resCount > 0 ? int32_t(voz_PosCodeEncode(
            buf + 16, uint32_t(lump.iv_resFirstPos))) : 0;
        uint32_t len = uint32_t(firstSize + lump.iv_resBytesAfter);
        uint32_t h = voz_PosHeaderEncode(buf, lump.iv_curDoc - leaf.lastDoc, len);
        leaf.image.insert(leaf.image.end(), buf, buf + h);
        leaf.image.insert(leaf.image.end(), buf + 16, buf + 16 + firstSize);
        leaf.image.insert(leaf.image.end(), lump.iv_resAfterFirst,
                          lump.iv_resAfterFirst + lump.iv_resBytesAfter);
        leaf.lastDoc = lump.iv_curDoc;
        written += int32_t(h + len);
        EXPECT_LE(written, capacity) << "a leaf overflowed";
        if (r == VOZ_LUMP_LEAF_FULL || r == VOZ_LUMP_NEARLY_FULL) {
            leaf.continues = r == VOZ_LUMP_LEAF_FULL;
            Leaf next;
            next.carried = r == VOZ_LUMP_LEAF_FULL ? lump.iv_posCount : 0;
            leaves.push_back(next);
            written = 0;
        }
    }
    if (leaves.back().DataLen() == 0 && leaves.size() > 1) leaves.pop_back();
    return leaves;
}

List ReadLeaves(std::vector<Leaf>& leaves, std::vector<int32_t>* ordinals) {
    List out;
    for (auto& leaf : leaves) {
        POS_BLOCK block{};
        block.numPinpoints = uint8_t(leaf.pins);
        block.poslen = leaf.DataLen();
        block.carriedCount = leaf.carried;
        block.data = leaf.image.data() + VOZ_PINTABLE_SIZE;
        CVozChunk chunk;
        chunk.Setup(block, leaf.continues ? leaf.lastDoc : 0xFFFFFFFF, 0);
        uint32_t doc;
        int32_t len;
        while (chunk.ExtractVvg(&doc, &len) == VOZ_CHUNK_OK) {
            if (out.empty() || out.back().first != doc) out.push_back({doc, {}});
            int32_t pos, ord;
            int32_t r;
            while ((r = chunk.ExtractPos(0, &pos, &ord)) == VOZ_CHUNK_OK) {
                out.back().second.push_back(uint32_t(pos));
                if (ordinals) ordinals->push_back(ord);
            }
            EXPECT_EQ(r, leaf.continues && doc == leaf.lastDoc ? VOZ_CHUNK_LEAF_END
                                                               : VOZ_CHUNK_DOC_END);
        }
    }
    return out;
}

List RandomList(std::mt19937& rng, int docs) {
    List list;
    uint32_t doc = rng() % 5;
    for (int i = 0; i < docs; ++i) {
        std::vector<uint32_t> pos;
        uint32_t p = 0;
        int n = rng() % 4 == 0 ? rng() % 300 : rng() % 6;
        for (int j = 0; j < n; ++j) pos.push_back(p += rng() % (j % 7 == 0 ? 100000 : 50));
        list.push_back({doc, pos});
        doc += 1 + rng() % (i % 5 == 0 ? 100000 : 30);
    }
    return list;
}

TEST(PosLump, CuttingIntoLeavesAndReadingBackKeepsTheList) {
    std::mt19937 rng(testSeed());
    for (int round = 0; round < 30; ++round) {
        List list = RandomList(rng, 1 + rng() % 400);
        auto stream = encodePositionList(list);
        int32_t capacity = 120 + rng() % 4000;
        auto leaves = CutIntoLeaves(stream, capacity);
        std::vector<int32_t> ordinals;
        List back = ReadLeaves(leaves, &ordinals);
        // Documents without positions are kept as entries too.
        ASSERT_EQ(back, list) << "round " << round << " capacity " << capacity;
        // Ordinals count from 1 in every document, across leaves.
        size_t k = 0;
        for (auto& [doc, pos] : list)
            for (size_t i = 0; i < pos.size(); ++i, ++k)
                ASSERT_EQ(ordinals[k], int32_t(i + 1)) << "doc " << doc;
    }
}

TEST(PosLump, PinPointsAreEveryKthDocumentUpTo32) {
    struct Case { int docs, every, pins; uint32_t lastPinnedIndex; };
    const Case cases[] = {{64, 2, 32, 63}, {100, 3, 32, 94}, {63, 1, 0, 0}};
    for (const auto& c : cases) {
        List list;
        for (int d = 0; d < c.docs; ++d) list.push_back({uint32_t(d * 10), {1}});
        auto stream = encodePositionList(list);
        CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
        EXPECT_EQ(lump.GetNumDocs(), c.docs);
        uint8_t table[VOZ_PINTABLE_SIZE] = {};
        int32_t pins = lump.CreatePinpoint(c.every, table);
        ASSERT_EQ(pins, c.pins) << c.docs << " docs every " << c.every;
        if (pins == 0) continue;
        // The last pin names the document in front of document index
        // lastPinnedIndex and the offset of that document's header.
        uint32_t id = (table[8 * (pins - 1)] << 24) | (table[8 * (pins - 1) + 1] << 16) |
                      (table[8 * (pins - 1) + 2] << 8) | table[8 * (pins - 1) + 3];
        EXPECT_EQ(id, (c.lastPinnedIndex - 1) * 10);
    }
}

TEST(PosChunk, PinPointsSkipForwardAndNeverBack) {
    List list;
    for (int d = 0; d < 200; ++d) list.push_back({uint32_t(d * 7), {uint32_t(d)}});
    Leaf leaf;
    auto stream = encodePositionList(list);
    leaf.image.insert(leaf.image.end(), stream.begin(), stream.end());
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    leaf.pins = lump.CreatePinpoint(200 / 32, leaf.image.data());
    POS_BLOCK block{};
    block.numPinpoints = uint8_t(leaf.pins);
    block.poslen = leaf.DataLen();
    block.data = leaf.image.data() + VOZ_PINTABLE_SIZE;
    CVozChunk chunk;
    chunk.Setup(block, 0xFFFFFFFF, 0);
    EXPECT_EQ(chunk.SkipByPinPoint(0), 0) << "not above the first pin";
    EXPECT_EQ(chunk.SkipByPinPoint(700), 1);
    uint32_t doc;
    int32_t len;
    // The first document behind the pin is at most the wanted one.
    ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    EXPECT_LE(doc, 700u);
    EXPECT_GT(doc, 600u);
    while (doc < 700) ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    EXPECT_EQ(doc, 700u);
    // Pins behind the reader are passed over without moving it back.
    EXPECT_EQ(chunk.SkipByPinPoint(701), 0);
    ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    EXPECT_EQ(doc, 707u);
}

TEST(PosChunk, JumpFromAContinuedLeafStartsOrdinalsAgain) {
    List list;
    for (int d = 0; d < 100; ++d) list.push_back({uint32_t(d * 5), {7, 9}});
    Leaf leaf;
    auto stream = encodePositionList(list);
    leaf.image.insert(leaf.image.end(), stream.begin(), stream.end());
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    leaf.pins = lump.CreatePinpoint(100 / 32, leaf.image.data());
    POS_BLOCK block{};
    block.numPinpoints = uint8_t(leaf.pins);
    block.poslen = leaf.DataLen();
    block.carriedCount = 5;
    block.data = leaf.image.data() + VOZ_PINTABLE_SIZE;
    CVozChunk chunk;
    chunk.Setup(block, 0xFFFFFFFF, 0);
    ASSERT_EQ(chunk.SkipByPinPoint(200), 1);
    uint32_t doc;
    int32_t len, pos, ord;
    ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    ASSERT_EQ(chunk.ExtractPos(0, &pos, &ord), VOZ_CHUNK_OK);
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(ord, 1) << "document " << doc << " is not the continued one";
}

TEST(PosChunk, EmptyLeafAndContinuedFirstDocument) {
    Leaf empty;
    POS_BLOCK block{};
    block.data = empty.image.data() + VOZ_PINTABLE_SIZE;
    CVozChunk chunk(block, 0xFFFFFFFF, 0);
    EXPECT_EQ(chunk.iv_state, 98);
    uint32_t doc;
    int32_t len;
    EXPECT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_LEAF_END);

    Leaf leaf;
    auto stream = encodePositionList({{9, {4, 8}}, {12, {1}}});
    leaf.image.insert(leaf.image.end(), stream.begin(), stream.end());
    block.poslen = leaf.DataLen();
    block.carriedCount = 5;
    block.data = leaf.image.data() + VOZ_PINTABLE_SIZE;
    chunk.Setup(block, 12, 0);
    int32_t pos, ord;
    ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    EXPECT_EQ(chunk.ExtractPos(5, &pos, &ord), VOZ_CHUNK_OK);
    EXPECT_EQ(pos, 8);
    EXPECT_EQ(ord, 7) << "goes on from the carried count";
    EXPECT_EQ(chunk.ExtractPos(0, &pos, &ord), VOZ_CHUNK_DOC_END);
    EXPECT_EQ(pos, -1);
    ASSERT_EQ(chunk.ExtractVvg(&doc, &len), VOZ_CHUNK_OK);
    EXPECT_EQ(chunk.ExtractPos(0, &pos, &ord), VOZ_CHUNK_OK);
    EXPECT_EQ(ord, 1) << "the next document starts again";
    EXPECT_EQ(chunk.ExtractPos(0, &pos, &ord), VOZ_CHUNK_LEAF_END)
        << "document 12 continues in the next leaf";
}

TEST(PosLump, StepDocTakesAFirstPositionEvenWithoutRoom) {
    auto stream = encodePositionList({{3, {1, 2, 3, 4, 5, 6}}});
    int32_t written = 100;
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    lump.iv_roomLimit = 110;  // 10 bytes left: below the 26 kept free
    lump.iv_written = &written;
    // The first position is taken, and one more byte after it, before the
    // step stops with a full leaf.
    EXPECT_EQ(lump.StepDoc(), VOZ_LUMP_LEAF_FULL);
    EXPECT_EQ(lump.iv_resFirstPos, 1);
    EXPECT_EQ(lump.iv_resBytesAfter, 1);
    EXPECT_EQ(lump.StepDoc(), VOZ_LUMP_LEAF_FULL);
    EXPECT_EQ(lump.iv_resFirstPos, 3) << "absolute, not a delta";
    lump.iv_roomLimit = 1000;
    EXPECT_EQ(lump.StepDoc(), VOZ_LUMP_DOC_DONE);
    EXPECT_EQ(lump.StepDoc(), VOZ_LUMP_EXHAUSTED);
}

TEST(PosLump, StepDocLimitTakesWholeDocumentsBelowTheLimit) {
    auto stream = encodePositionList({{1, {1}}, {5, {2, 3}}, {9, {4}}, {20, {5}}});
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    lump.iv_roomLimit = 1000;
    uint32_t last;
    int32_t lastLen, count;
    EXPECT_EQ(lump.StepDoc_Limit(1, 0, last, lastLen, count), VOZ_LUMP_NOTHING);
    EXPECT_EQ(lump.StepDoc_Limit(10, 0, last, lastLen, count), VOZ_LUMP_DOC_DONE);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(last, 9u);
    EXPECT_EQ(lastLen, 1);
    // The first taken header is left out of the taken bytes.
    EXPECT_EQ(lump.TakenBegin(), stream.data() + 1);
    uint32_t next;
    int32_t nextLen;
    next = lump.CheckNextDocid(nextLen);
    EXPECT_EQ(next, 20u);
    EXPECT_EQ(lump.StepDoc_Limit(100, 0, last, lastLen, count), VOZ_LUMP_EXHAUSTED);
    EXPECT_EQ(lump.StepDoc_Limit(100, 0, last, lastLen, count), VOZ_LUMP_NOTHING);
    EXPECT_EQ(lump.CheckNextDocid(nextLen), 0xFFFFFFFFu);

    CVozLump inside(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 1);
    try {
        inside.StepDoc_Limit(10, 0, last, lastLen, count);
        FAIL() << "called inside a document";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.errcode, 6221);
    }
}

TEST(PosLump, PullOutHandsOverFirstRestAndLast) {
    auto stream = encodePositionList({{4, {10, 70, 80}}});
    CVozLump lump(stream.data(), int32_t(stream.size()), 0xFFFFFFFF, 0);
    uint8_t* rest;
    int32_t restLen, first, last;
    EXPECT_EQ(lump.StepDoc_PullOut(&rest, restLen, first, last), VOZ_LUMP_DOC_DONE);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 80);
    EXPECT_EQ(restLen, 2);  // the deltas 60 and 10, one byte each
    EXPECT_EQ(rest, stream.data() + 2);
}

TEST(PosLump, TruncatedStreamIsReported) {
    auto stream = encodePositionList({{4, {10, 70, 80}}});
    CVozLump lump(stream.data(), int32_t(stream.size()) - 2, 0xFFFFFFFF, 0);
    EXPECT_THROW(lump.GetNumDocs(), CVozException);
    lump.iv_roomLimit = 1000;
    try {
        lump.StepDoc();
        FAIL() << "truncated stream accepted";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 6220);
    }
}

TEST(PosChunk, ByteSwapHelpers) {
    EXPECT_EQ(swpint4(0x01020304u), 0x04030201u);
    EXPECT_EQ(swpint2(0x0102), 0x0201);
}

}  // namespace
