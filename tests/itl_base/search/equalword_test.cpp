// Equal words: the parts a word is cut into (marks, offsets, key kinds,
// slacks, fixed chains), the choice of one position per part against a
// brute-force search, and the position-slot regions.
#include <cstring>
#include <map>
#include <set>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_equalmatch.hpp"
#include "search/voz_equalword.hpp"

namespace {

constexpr int32_t U = VOZ_EQ_UNBOUNDED;

// One-byte units: letters form word tokens (cut result 1); a run of other
// bytes is a token of its own (cut result 0), as the item cut does.
int32_t cutLetters(uint8_t* start, uint8_t* end, int16_t, uint8_t** ps,
                   uint8_t** pe, uint8_t** next) {
    auto letter = [](uint8_t c) { return c >= 'a' && c <= 'z'; };
    uint8_t* p = start;
    const bool word = letter(*p);
    while (p < end && letter(*p) == word) ++p;
    *ps = start;
    *pe = p;
    *next = p;
    return word ? 1 : 0;
}

struct Word {
    std::string text;
    RTRVWORDEXT x{};
    Word(const std::string& t, int32_t byPosition, int32_t width = 130,
         int32_t group = 254)
        : text(t) {
        x.wi.type = 'E';
        x.wi.wordp = reinterpret_cast<uint8_t*>(text.data());
        x.wi.wordlen = static_cast<int16_t>(text.size());
        x.unit_width = 1;
        x.mask_unit[0][0] = '*';
        x.mask_unit[1][0] = '?';
        x.start_mark[0] = '<';
        x.end_mark[0] = '>';
        x.cut_function = cutLetters;
        x.eq_by_position = byPosition;
        x.eq_limit1 = width;
        x.eq_limit2 = group;
        x.eq_item_no = 3;
    }
};

struct Expect {
    std::string part;
    int32_t minOffset, maxOffset;
    char fixedChain;
    int32_t lead, trail, kind;
};

struct Case {
    const char* word;
    int32_t byPosition;
    const char* pattern;
    std::vector<Expect> parts;
};

TEST(EqualPrepare, PartsOffsetsKindsAndSlacks) {
    const int32_t V = VOZ_EQ_KEY_VAR, L = VOZ_EQ_KEY_LONG, S = VOZ_EQ_KEY_SHORT;
    const std::vector<Case> cases = {
        // One one-unit mask: "d" exactly 3 units after "ab"; the slacks give
        // what lies around each part inside the one word key "abcd".
        {"ab?d", 1, "<ab?d>",
         {{"<", 1, U, 'N', 0, 0, L}, {"ab", 1, 1, 'Y', 0, 2, V},
          {"d", 3, 3, 'Y', 3, 0, V}, {">", 1, 1, 'Y', 0, 0, L}}},
        // A trailing any-length mask drops the end mark.
        {"ab*", 1, "<ab*", {{"<", 1, U, 'N', 0, 0, L}, {"ab", 1, 1, 'Y', 0, U, V}}},
        // A leading any-length mask drops the start mark.
        {"*cd", 1, "*cd>", {{"cd", 1, U, 'N', U, 0, V}, {">", 2, 2, 'Y', 0, 0, L}}},
        // After a leading mask the variable parts may lie anywhere in
        // their key: "d" is not bound to 2 units after the key's start.
        {"*b?d", 1, "*b?d>",
         {{"b", 1, U, 'N', U, 2, V}, {"d", 2, 2, 'Y', U, 0, V},
          {">", 1, 1, 'Y', 0, 0, L}}},
        // A lone mask keeps its end mark in position mode ...
        {"*", 1, "*>", {{">", 1, U, 'N', 0, 0, S}}},
        // ... and in sentence mode, where no start mark was added.
        {"*", 0, "*>", {{">", 1, U, 'N', 0, 0, S}}},
        // Sentence mode: start mark and trailing mask drop the end mark.
        {"ab*", 0, "<ab*", {{"<", 1, U, 'N', 0, 0, L}, {"ab", 1, 1, 'Y', 0, U, V}}},
        // A digit run is one long token with the marks.
        {"12345", 1, "<12345>", {{"<12345>", 1, U, 'N', 0, 0, L}}},
        // Parts of a token split by a mask: chunk-long parts are long keys,
        // a shorter one that does not reach its token's end is short.
        {"1?34", 1, "<1?34>", {{"<1", 1, U, 'N', 0, 0, L}, {"34>", 3, 3, 'Y', 0, 0, L}}},
        {"?3", 1, "<?3>", {{"<", 1, U, 'N', 0, 0, S}, {"3>", 2, 2, 'Y', 0, 0, L}}},
        // An any-length mask between parts ends the fixed chain after it.
        {"a*b?c", 1, "<a*b?c>",
         {{"<", 1, U, 'N', 0, 0, L}, {"a", 1, 1, 'Y', 0, U, V},
          {"b", 1, U, 'Y', U, 2, V}, {"c", 2, 2, 'N', U, 0, V},
          {">", 1, 1, 'N', 0, 0, L}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        Word w(c.word, c.byPosition);
        VOZEQPREP prep;
        GTRSTATUS st{};
        voz_EqualPrepare(&w.x, 2, &prep, &st);
        ASSERT_EQ(st.retcode, 0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(prep.pattern),
                              static_cast<size_t>(prep.patternLength)),
                  c.pattern);
        EXPECT_EQ(prep.boundaryKind, c.byPosition);
        ASSERT_EQ(prep.partCount, static_cast<int32_t>(c.parts.size()));
        for (int32_t i = 0; i < prep.partCount; ++i) {
            SCOPED_TRACE(i);
            const ITEMCTL& p = prep.parts[i];
            const Expect& e = c.parts[static_cast<size_t>(i)];
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.partBytes),
                                  static_cast<size_t>(p.partLength)),
                      e.part);
            EXPECT_EQ(p.minOffset, e.minOffset);
            EXPECT_EQ(p.maxOffset, e.maxOffset);
            EXPECT_EQ(p.fixedChain, e.fixedChain);
            EXPECT_EQ(p.leadSlack, e.lead);
            EXPECT_EQ(p.trailSlack, e.trail);
            EXPECT_EQ(p.keyKind, e.kind);
        }
        voz_EqualPrepTerm(&prep);
    }
}

TEST(EqualPrepare, OneUnitMasksCappedAtSlotWidth) {
    Word w("a??????b", 1, 3, 254);
    VOZEQPREP prep;
    GTRSTATUS st{};
    voz_EqualPrepare(&w.x, 2, &prep, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(prep.partCount, 4);
    EXPECT_EQ(prep.parts[2].minOffset, 1 + 3);
    EXPECT_EQ(prep.parts[2].maxOffset, 1 + 3);
    voz_EqualPrepTerm(&prep);
}

TEST(EqualPrepare, ZeroSlotWidthOrGroupRefusedInBothModes) {
    for (int32_t mode : {0, 1}) {
        for (auto wg : {std::pair<int32_t, int32_t>{0, 254}, {130, 0}}) {
            Word w("ab", mode, wg.first, wg.second);
            VOZEQPREP prep;
            GTRSTATUS st{};
            voz_EqualPrepare(&w.x, 2, &prep, &st);
            EXPECT_EQ(st.retcode, 17);
            EXPECT_EQ(st.errcode, 301);
            EXPECT_EQ(prep.parts, nullptr);
            voz_EqualPrepTerm(&prep);
        }
    }
}

// Brute force: the first choice in lexicographic order of the collected
// positions.
bool bruteChoose(const std::vector<ITEMCTL>& parts,
                 const std::vector<std::vector<int32_t>>& pos, size_t i,
                 std::vector<int32_t>& chosen) {
    if (i == parts.size()) return true;
    for (int32_t p : pos[i]) {
        if (i > 0) {
            int64_t d = static_cast<int64_t>(p) - chosen[i - 1];
            if (d < parts[i].minOffset) continue;
            if (parts[i].maxOffset < U && d > parts[i].maxOffset) continue;
        }
        chosen[i] = p;
        if (bruteChoose(parts, pos, i + 1, chosen)) return true;
    }
    return false;
}

TEST(EqualChoose, BacktracksToAnEarlierPart) {
    // "ab" then "d" 3 units later; the first "ab" at 1 has no "d" at 4, the
    // second at 10 has one at 13.
    std::vector<ITEMCTL> parts(2);
    parts[0].minOffset = 1;
    parts[0].maxOffset = U;
    parts[1].minOffset = parts[1].maxOffset = 3;
    const int32_t list[] = {1, 10, 5, 13};
    const int32_t ranges[] = {0, 2, 2, 4};
    int32_t chosen[2] = {};
    ASSERT_EQ(voz_EqualChoose(parts.data(), 2, list, ranges, chosen), 1);
    EXPECT_EQ(chosen[0], 10);
    EXPECT_EQ(chosen[1], 13);
    const int32_t none[] = {1, 10, 5, 12};
    EXPECT_EQ(voz_EqualChoose(parts.data(), 2, none, ranges, chosen), 0);
}

TEST(EqualChoose, RandomAgainstBruteForce) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 3000; ++round) {
        const int32_t n = 1 + static_cast<int32_t>(rng() % 5);
        std::vector<ITEMCTL> parts(static_cast<size_t>(n));
        std::vector<std::vector<int32_t>> pos(static_cast<size_t>(n));
        std::vector<int32_t> list, ranges;
        for (int32_t i = 0; i < n; ++i) {
            ITEMCTL& p = parts[static_cast<size_t>(i)];
            p.minOffset = 1 + static_cast<int32_t>(rng() % 3);
            p.maxOffset = rng() % 3 == 0 ? U
                                         : p.minOffset + static_cast<int32_t>(rng() % 3);
            ranges.push_back(static_cast<int32_t>(list.size()));
            for (int32_t q = 1; q <= 20; ++q)
                if (rng() % 3 == 0) {
                    pos[static_cast<size_t>(i)].push_back(q);
                    list.push_back(q);
                }
            ranges.push_back(static_cast<int32_t>(list.size()));
        }
        std::vector<int32_t> want(static_cast<size_t>(n)), got(static_cast<size_t>(n));
        const bool found = bruteChoose(parts, pos, 0, want);
        ASSERT_EQ(voz_EqualChoose(parts.data(), n, list.data(), ranges.data(),
                                  got.data()) == 1,
                  found)
            << "seed " << seed << " round " << round;
        if (found) {
            EXPECT_EQ(got, want) << "seed " << seed << " round " << round;
        }
    }
}

TEST(SlotRegion, InsideTheSlotOrTheNextSlotOfItsNumber) {
    struct R {
        int32_t pos, rel, vvgEnd, width, group, slot, start, end;
    };
    const std::vector<R> rows = {
        // VVG from 1: slot 2 of width 130 covers 131..260.
        {140, 140, 100000, 130, 254, 2, 131, 261},
        // Slot 1 asked at slot 2: the next round's slot 1, empty.
        {140, 140, 100000, 130, 254, 1, 1 + 130 * 254, 1 + 130 * 254},
        // Slot 3 asked at slot 2: later in the same round.
        {140, 140, 100000, 130, 254, 3, 261, 261},
        // A VVG starting at 1001; its slot 1 ends at the VVG's end.
        {1005, 5, 1100, 130, 254, 1, 1001, 1100},
        // The next slot lies past the VVG's end: capped there.
        {1005, 5, 1100, 130, 254, 2, 1100, 1100},
        // Second round, slot 2.
        {1 + 130 * 254 + 135, 1 + 130 * 254 + 135, 0x3FFFFFFF, 130, 254, 2,
         1 + 130 * 254 + 130, 1 + 130 * 254 + 260},
    };
    for (const R& r : rows) {
        int32_t s = -1, e = -1;
        voz_SlotRegion(r.pos, r.rel, r.vvgEnd, r.width, r.group, r.slot, &s, &e);
        EXPECT_EQ(s, r.start) << r.pos << " slot " << r.slot;
        EXPECT_EQ(e, r.end) << r.pos << " slot " << r.slot;
    }
}


// ---- the match search over an in-memory text ---------------------------------

// One document's text: one byte a position (from 1), 0 where nothing is.
using Docs = std::vector<std::string>;

// A part's postings: the positions where its bytes stand in each document.
struct MemPart {
    std::map<int32_t, std::vector<int32_t>> postings;
    std::vector<int32_t>* cur = nullptr;
    size_t at = 0;
};

void memVvg(GCTLINFO* g, int32_t target, IDXINFO*, GTRSTATUS*) {
    auto* p = static_cast<MemPart*>(g->extraBuffer);
    auto it = p->postings.lower_bound(std::max(target, g->curDoc + 1));
    if (it == p->postings.end()) {
        g->endOfDocs = 'Y';
        g->curDoc = VOZ_DOC_END;
        return;
    }
    g->curDoc = it->first;
    p->cur = &it->second;
    p->at = 0;
    g->endOfPos = 'N';
    g->curPos = 0;
}

void memPos(GCTLINFO* g, int32_t target, IDXINFO*, GTRSTATUS*) {
    auto* p = static_cast<MemPart*>(g->extraBuffer);
    while (p->at < p->cur->size() && (*p->cur)[p->at] < target) ++p->at;
    if (p->at == p->cur->size()) {
        g->endOfPos = 'Y';
        return;
    }
    g->endOfPos = 'N';
    g->curPos = (*p->cur)[p->at];
}

void memFirstPos(GCTLINFO* g, int32_t target, IDXINFO* x, GTRSTATUS* st) {
    static_cast<MemPart*>(g->extraBuffer)->at = 0;
    memPos(g, target, x, st);
}

const VOZEQMOVES kMemMoves = {memVvg, memFirstPos, memPos};

struct Slots {
    int32_t width, group, slot;
};

// Each round of slots is one VVG here; the limit is the VVG's end, so a
// VVG gives at most one occurrence.
void slotRegion(void* ctx, int32_t, int32_t pos, int32_t* start, int32_t* end,
                int32_t* limit, GTRSTATUS*) {
    const Slots* s = static_cast<const Slots*>(ctx);
    const int32_t round = s->width * s->group;
    const int32_t rel = (pos - 1) % round + 1;
    const int32_t vvgEnd = pos - rel + 1 + round;
    voz_SlotRegion(pos, rel, vvgEnd, s->width, s->group, s->slot, start, end);
    if (limit != nullptr) *limit = vvgEnd;
}

// Every occurrence of `word` in the documents, one search after another.
std::vector<OCC> search(Word& word, const Docs& docs, Slots slots) {
    VOZEQPREP prep;
    GTRSTATUS st{};
    voz_EqualPrepare(&word.x, 2, &prep, &st);
    EXPECT_EQ(st.retcode, 0);
    const int32_t n = prep.partCount;
    std::vector<MemPart> mem(static_cast<size_t>(n));
    std::vector<GCTLINFO> g(static_cast<size_t>(n));
    std::vector<const VOZEQMOVES*> moves(static_cast<size_t>(n), &kMemMoves);
    for (int32_t i = 0; i < n; ++i) {
        const std::string part(
            reinterpret_cast<const char*>(prep.parts[i].partBytes),
            static_cast<size_t>(prep.parts[i].partLength));
        for (size_t d = 0; d < docs.size(); ++d)
            for (size_t at = docs[d].find(part); at != std::string::npos;
                 at = docs[d].find(part, at + 1))
                mem[static_cast<size_t>(i)]
                    .postings[static_cast<int32_t>(d)]
                    .push_back(static_cast<int32_t>(at) + 1);
        GCTLINFO& c = g[static_cast<size_t>(i)];
        c.extraBuffer = &mem[static_cast<size_t>(i)];
        c.curDoc = -1;
        c.endOfDocs = 'N';
        c.endOfPos = 'Y';
    }
    VOZEQMATCH m;
    m.parts = prep.parts;
    m.partCount = n;
    m.gctl = g.data();
    m.moves = moves.data();
    m.index = nullptr;
    m.region = slotRegion;
    m.regionCtx = &slots;
    m.startMark = prep.startMark;
    m.endMark = prep.endMark;
    m.unitWidth = 1;
    std::vector<OCC> out;
    int32_t doc = 0, pos = 1;
    for (int guard = 0; guard < 100000; ++guard) {
        OCC occ;
        int32_t resume = 0;
        int32_t r = voz_EqualNext(&m, doc, pos, &occ, &resume, &st);
        EXPECT_GE(r, 0);
        if (r != 1) break;
        out.push_back(occ);
        doc = occ.docno;
        pos = resume + 1;
    }
    voz_EqualPrepTerm(&prep);
    return out;
}

// Glob match: '*' any units, '?' one unit.
bool glob(const char* p, const char* s) {
    if (*p == 0) return *s == 0;
    if (*p == '*') return glob(p + 1, s) || (*s != 0 && glob(p, s + 1));
    if (*s == 0) return false;
    return (*p == '?' || *p == *s) && glob(p + 1, s + 1);
}

// The marks of an item carry its number (its slot).
std::string startMark(int32_t slot) { return std::string(1, char('0' + slot)); }
std::string endMark(int32_t slot) { return std::string(1, char('3' + slot)); }

// An item word of slot `slot` in slots of width 12, 3 slots a round.
struct SlotWord : Word {
    SlotWord(const std::string& t, int32_t slot) : Word(t, 1, 12, 3) {
        x.start_mark[0] = static_cast<uint8_t>(startMark(slot)[0]);
        x.end_mark[0] = static_cast<uint8_t>(endMark(slot)[0]);
        x.eq_item_no = slot;
    }
};

// Documents of items in slots of width 12, 3 slots a round.
struct ItemDocs {
    Docs text;
    std::vector<std::vector<std::string>> items;  // [doc][round*3 + slot-1]
    static constexpr int32_t kWidth = 12, kGroup = 3;
    void put(size_t doc, int32_t round, int32_t slot, const std::string& item) {
        if (text.size() <= doc) {
            text.resize(doc + 1);
            items.resize(doc + 1);
        }
        const size_t start =
            static_cast<size_t>(kWidth * (slot - 1 + round * kGroup));
        std::string& t = text[doc];
        if (t.size() < start + kWidth) t.resize(start + kWidth, '\0');
        const std::string key = startMark(slot) + item + endMark(slot);
        t.replace(start, key.size(), key);
        auto& it = items[doc];
        const size_t k = static_cast<size_t>(round * kGroup + slot - 1);
        if (it.size() <= k) it.resize(k + 1);
        it[k] = item;
    }
};

TEST(EqualMatch, MasksInsideOneSlot) {
    ItemDocs d;
    d.put(0, 0, 2, "abcd");
    d.put(0, 1, 2, "abccd");
    d.put(1, 0, 1, "abcd");   // another item number
    d.put(1, 0, 2, "abxy");
    d.put(2, 0, 2, "xxcd");
    d.put(2, 0, 3, "abcd");   // another item number
    d.put(3, 0, 2, "ab");
    // A chain without a match in round 0, a match in round 1.
    d.put(4, 0, 2, "acbac");
    d.put(4, 1, 2, "aba");
    const Slots slots{ItemDocs::kWidth, ItemDocs::kGroup, 2};
    struct Row {
        const char* pattern;
        std::vector<std::pair<int32_t, int32_t>> hits;  // (doc, pos)
    };
    const std::vector<Row> rows = {
        {"ab?d", {{0, 14}}},
        {"ab*", {{0, 14}, {0, 50}, {1, 14}, {3, 14}, {4, 50}}},
        // One-unit masks before a trailing any-length mask still count.
        {"ab?*", {{0, 14}, {0, 50}, {1, 14}, {4, 50}}},
        {"a*a", {{4, 50}}},
        {"*cd", {{0, 16}, {0, 53}, {2, 16}}},
        {"abcd", {{0, 14}}},
        {"a*c*d", {{0, 14}, {0, 50}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.pattern);
        SlotWord w(r.pattern, 2);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (const OCC& o : search(w, d.text, slots)) {
            got.emplace_back(o.docno, o.pos);
            EXPECT_EQ(o.match, 100);
        }
        EXPECT_EQ(got, r.hits);
    }
}

TEST(EqualMatch, TwoMatchesInOneSlotGiveOneOccurrence) {
    ItemDocs d;
    d.put(0, 0, 1, "abab");
    SlotWord w("*ab*", 1);
    std::vector<OCC> got =
        search(w, d.text, Slots{ItemDocs::kWidth, ItemDocs::kGroup, 1});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].pos, 2);
    EXPECT_EQ(got[0].len, 2);
}

TEST(EqualMatch, RandomPatternsAgainstGlob) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const char* letters = "abc";
    for (int round = 0; round < 60; ++round) {
        ItemDocs d;
        for (size_t doc = 0; doc < 6; ++doc)
            for (int32_t r = 0; r < 3; ++r)
                for (int32_t slot = 1; slot <= 3; ++slot) {
                    if (rng() % 4 == 0) continue;
                    std::string item;
                    const int len = 1 + static_cast<int>(rng() % 8);
                    for (int i = 0; i < len; ++i) item += letters[rng() % 3];
                    d.put(doc, r, slot, item);
                }
        for (int q = 0; q < 20; ++q) {
            std::string pat;
            const int len = 1 + static_cast<int>(rng() % 5);
            for (int i = 0; i < len; ++i) {
                const uint32_t c = rng() % 6;
                pat += c == 0 ? '*' : c == 1 ? '?' : letters[c % 3];
            }
            const int32_t slot = 1 + static_cast<int32_t>(rng() % 3);
            // Leading masks before an any-length mask do not constrain.
            std::string oracle = pat;
            if (pat[0] == '*')
                oracle = "*" + pat.substr(pat.find_first_not_of("*?") ==
                                                  std::string::npos
                                              ? pat.size()
                                              : pat.find_first_not_of("*?"));
            std::set<std::pair<int32_t, int32_t>> want, got;
            for (size_t doc = 0; doc < d.items.size(); ++doc)
                for (size_t k = 0; k < d.items[doc].size(); ++k)
                    if (static_cast<int32_t>(k) % 3 + 1 == slot &&
                        !d.items[doc][k].empty() &&
                        glob(oracle.c_str(), d.items[doc][k].c_str()))
                        want.emplace(static_cast<int32_t>(doc),
                                     static_cast<int32_t>(k) / 3);
            SlotWord w(pat, slot);
            for (const OCC& o :
                 search(w, d.text, Slots{ItemDocs::kWidth, ItemDocs::kGroup, slot}))
                EXPECT_TRUE(got.emplace(o.docno, (o.pos - 1) / (ItemDocs::kWidth *
                                                                ItemDocs::kGroup))
                                .second)
                    << "two occurrences in one slot";
            ASSERT_EQ(got, want) << "seed " << seed << " round " << round
                                 << " pattern " << pat << " slot " << slot;
        }
    }
}

}  // namespace
