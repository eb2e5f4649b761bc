// Posting control over several keys: the merged stream against a model
// (the sorted union of the keys' postings) under random skips, variants of
// alternate characters, keys without postings, the deferred merge of the
// touched prefix, batch builds and field-number keys.
#include <random>

#include "search/voz_gctl.hpp"
#include "search_fixture.hpp"

using namespace srchfix;

namespace {

// A unit: the letter, then a zero class byte.
std::string unit(char c) { return std::string(1, c) + '\0'; }

// Alternatives of the three units: unit i may also be any of alts[i].
struct Word {
    std::string text;
    VOZALTERENTRY alters[3];
    RTRVWORDEXT ext;
    Word(const std::string& base, const std::vector<std::string>& alts) {
        text = unit(base[0]) + unit(base[1]) + unit(base[2]);
        memset(alters, 0, sizeof alters);
        for (int i = 0; i < 3; ++i) {
            alters[i].count = static_cast<int32_t>(alts[i].size());
            for (size_t k = 0; k < alts[i].size(); ++k) {
                alters[i].alter[k].unit[0] = static_cast<uint8_t>(alts[i][k]);
                alters[i].alter[k].weight = 80;
            }
        }
        memset(&ext, 0, sizeof ext);
        ext.wi.type = 'W';
        ext.wi.wordp = reinterpret_cast<uint8_t*>(&text[0]);
        ext.wi.wordlen = 6;
        ext.alter_chars = alters;
    }
    // Every variant's key bytes.
    std::vector<std::string> variants(const std::vector<std::string>& alts) const {
        std::vector<std::string> out;
        std::string c0 = std::string(1, text[0]) + alts[0];
        std::string c1 = std::string(1, text[2]) + alts[1];
        std::string c2 = std::string(1, text[4]) + alts[2];
        for (char a : c0)
            for (char b : c1)
                for (char c : c2) out.push_back(unit(a) + unit(b) + unit(c));
        return out;
    }
};

List randomList(std::mt19937& rng, uint32_t docs, uint32_t maxPos) {
    List l;
    for (uint32_t d = 0; d < docs; ++d) {
        if (rng() % 3 != 0) continue;
        std::set<uint32_t> ps;
        int n = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < n; ++i) ps.insert(1 + rng() % maxPos);
        l.push_back({d, {ps.begin(), ps.end()}});
    }
    if (l.empty()) l.push_back({docs / 2, {1}});
    return l;
}

struct Index {
    TempDir dir{"gctl"};
    VOZSEARCH* h = nullptr;
    GTRSTATUS st{};
    explicit Index(const SetSpec& spec) {
        writeSet(dir.path(), "idx", 0, 0, spec, st);
        if (st.retcode == 0) h = openText(dir.path(), "idx", st);
    }
    ~Index() {
        VOZ_SearchClose_(h, &st, 0);
        VOZ_SearchRelease(&h, &st);
    }
    IDXINFO* set() { return &h->first.set0[0]; }
};

// Walks g with random document and position skips and compares every
// answer with the model.
void walkAgainstModel(GCTLINFO& g, IDXINFO* index,
                      const std::vector<std::pair<uint32_t, uint32_t>>& model,
                      std::mt19937& rng, uint32_t seed) {
    GTRSTATUS st{};
    int32_t t = 0;
    for (;;) {
        voz_GctlDocSkip(&g, t, index, &st);
        ASSERT_OK(st);
        auto it = std::lower_bound(model.begin(), model.end(),
                                   std::make_pair(static_cast<uint32_t>(t), 0u));
        if (it == model.end()) {
            ASSERT_EQ(g.endOfDocs, 'Y') << "seed " << seed;
            return;
        }
        ASSERT_EQ(g.endOfDocs, 'N') << "seed " << seed;
        ASSERT_EQ(static_cast<uint32_t>(g.curDoc), it->first) << "seed " << seed;
        uint32_t doc = it->first;
        voz_GctlPosSkipFirst(&g, 1, index, &st);
        int32_t p = 1;
        for (;;) {
            auto pit = std::lower_bound(model.begin(), model.end(),
                                        std::make_pair(doc, static_cast<uint32_t>(p)));
            if (pit == model.end() || pit->first != doc) {
                ASSERT_EQ(g.endOfPos, 'Y') << "seed " << seed << " doc " << doc;
                break;
            }
            ASSERT_EQ(g.endOfPos, 'N') << "seed " << seed;
            ASSERT_EQ(static_cast<uint32_t>(g.curPos), pit->second)
                << "seed " << seed << " doc " << doc << " target " << p;
            ASSERT_EQ(g.pctl[g.curKey].curPos, g.curPos);
            ASSERT_LT(g.touched, VOZ_GCTL_MERGE_TOUCHED);
            p = g.curPos + 1 + (rng() % 4 == 0 ? static_cast<int32_t>(rng() % 8) : 0);
            voz_GctlPosSkip(&g, p, index, &st);
            ASSERT_OK(st);
        }
        t = g.curDoc + 1 + (rng() % 3 == 0 ? static_cast<int32_t>(rng() % 12) : 0);
    }
}

TEST(Gctl, MergedStreamAgreesWithTheUnionOfItsKeys) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    std::vector<std::string> alts = {"bc", "d", "ef"};
    Word word("aaa", alts);
    std::vector<std::string> vars = word.variants(alts);
    ASSERT_EQ(vars.size(), 18u) << "product of (alternatives + 1)";
    for (int round = 0; round < 6; ++round) {
        SetSpec spec;
        std::vector<List> lists;
        lists.reserve(vars.size());
        std::vector<const List*> kept;
        for (size_t i = 0; i < vars.size(); ++i) {
            if (round > 0 && rng() % 3 == 0) continue;  // variant not a key
            lists.push_back(randomList(rng, 60, 40));
            if (kept.size() < 2) lists.back().push_back({1000, {7}});  // shared
            spec.keys.push_back({vars[i], lists.back()});
            kept.push_back(&lists.back());
        }
        Index idx(spec);
        ASSERT_OK(idx.st);
        GCTLINFO g{};
        g.pattLength = 6;
        GTRSTATUS st{};
        voz_SearchPatt_(&word.ext, &g, 0, idx.set(), 'A', &st, 0);
        ASSERT_OK(st);
        EXPECT_EQ(g.keyCount, static_cast<int32_t>(kept.size()));
        if (round == 0) {
            EXPECT_EQ(g.allCount, 18) << "every variant is a key";
        }
        EXPECT_EQ(g.allDropped, 0);
        walkAgainstModel(g, idx.set(), unionOf(kept), rng, seed);
        voz_SearchPattTerm(&g, &st);
        ASSERT_OK(st);
        EXPECT_EQ(g.pctl, nullptr);
    }
}

TEST(Gctl, DropsKeysWithoutPostings) {
    std::vector<std::string> alts = {"b", "", ""};
    Word two("aaa", alts);
    SetSpec spec;
    Key none{two.variants(alts)[0], {}, true};  // "aaa", the smallest key
    spec.keys = {none, {two.variants(alts)[1], {{3, {2, 4}}}},
                 {unit('z') + unit('z') + unit('z'), {{1, {1}}}}};
    Index idx(spec);
    ASSERT_OK(idx.st);
    Word alone("aaa", {"", "", ""}), missing("qqq", {"", "", ""});
    struct {
        const char* what;
        Word* word;
        int32_t found, kept, allDropped, droppedUnits, curDoc;
        uint8_t retrieve;
    } cases[] = {
        {"one of two keys without postings", &two, 2, 1, 0, 3, 3, 0x02},
        {"the only key without postings", &alone, 1, 0, 1, 3, 0, 0x02},
        {"no key at all", &missing, 0, 0, 0, 0, 0, 0},
    };
    for (auto& c : cases) {
        GCTLINFO g{};
        g.pattLength = 6;
        GTRSTATUS st{};
        voz_SearchPatt_(&c.word->ext, &g, 0, idx.set(), 'A', &st, 0);
        ASSERT_OK(st) << c.what;
        EXPECT_EQ(g.allCount, c.found) << c.what;
        EXPECT_EQ(g.keyCount, c.kept) << c.what;
        EXPECT_EQ(g.allDropped, c.allDropped) << c.what;
        EXPECT_EQ(g.droppedUnits, c.droppedUnits) << c.what;
        EXPECT_EQ(st.retrieve_status, c.retrieve) << c.what;
        if (c.kept > 0) {
            EXPECT_EQ(g.curDoc, c.curDoc) << c.what;
        } else {
            voz_InitGctlPctl(&g, idx.set(), nullptr, &st);
            EXPECT_EQ(g.endOfDocs, 'Y') << "starting an empty record ends it";
        }
        voz_SearchPattTerm(&g, &st);
        ASSERT_OK(st);
    }
}

TEST(Gctl, TwentiethTouchedEntryMergesThePrefix) {
    std::vector<std::string> alts = {"bcdefg", "bcd", ""};  // 7 x 4 variants
    Word word("aaa", alts);
    std::vector<std::string> vars = word.variants(alts);
    SetSpec spec;
    std::vector<List> lists(vars.size());
    for (size_t i = 0; i < vars.size(); ++i) {
        lists[i] = {{7, {static_cast<uint32_t>(1 + i), static_cast<uint32_t>(200 + i)}}};
        spec.keys.push_back({vars[i], lists[i]});
    }
    Index idx(spec);
    ASSERT_OK(idx.st);
    GCTLINFO g{};
    g.pattLength = 6;
    GTRSTATUS st{};
    voz_SearchPatt_(&word.ext, &g, 0, idx.set(), 'A', &st, 0);
    ASSERT_OK(st);
    ASSERT_EQ(g.groupCount, 28);
    voz_GctlPosSkipFirst(&g, 1, idx.set(), &st);
    EXPECT_EQ(g.curPos, 1);
    // Each skip past the smallest position moves one more key: after 19
    // skips 19 entries are touched, the 20th skip merges them back.
    for (int32_t p = 2; p <= 20; ++p) {
        voz_GctlPosSkip(&g, p, idx.set(), &st);
        ASSERT_OK(st);
        EXPECT_EQ(g.curPos, p);
        EXPECT_EQ(g.touched, p - 1) << p;
    }
    voz_GctlPosSkip(&g, 21, idx.set(), &st);
    EXPECT_EQ(g.curPos, 21);
    EXPECT_EQ(g.touched, 0) << "the 20th touched entry merges";
    for (int32_t i = 1; i < g.groupCount; ++i)
        EXPECT_LE(g.pctl[g.order[i - 1]].curPos, g.pctl[g.order[i]].curPos);
    voz_SearchPattTerm(&g, &st);
}

TEST(Gctl, BatchBuildFiltersCandidatesByLeadAndTrail) {
    SetSpec spec;
    for (char c : std::string("abcd"))
        spec.keys.push_back({unit(c) + unit(c) + unit(c), {{static_cast<uint32_t>(c), {1}}}});
    Index idx(spec);
    ASSERT_OK(idx.st);
    ANSWERFORM* cand = new ANSWERFORM();
    GTRSTATUS st{};
    voz_OpenAnswer(cand, nullptr, 0, nullptr, nullptr, nullptr, &st);
    // (record, length, start): lead = length - 2, trail = 3 - (start +
    // length) + 2.
    OCC c0 = occ(0, 2, 0), c1 = occ(1, 5, 0), c2 = occ(2, 3, 2), c3 = occ(3, 2, 3);
    for (OCC* c : {&c0, &c1, &c2, &c3}) voz_WriteOcc(c, 1, cand, &st);
    ASSERT_OK(st);
    GCTLINFO g{};
    voz_InitPctlBatch0_(&g, cand, idx.set(), 1, 0, &st, 0);
    ASSERT_OK(st);
    // c0: lead 0, trail 3 > 0: out; c1: lead 3 > 1: out; c2: lead 1,
    // trail 0: in; c3: lead 0, trail 0: in.
    EXPECT_EQ(g.keyCount, 2);
    EXPECT_EQ(g.curDoc, 'c');
    EXPECT_EQ(g.docTotal, 2);
    voz_TermPctlBatch0(&g, &st);
    GCTLINFO all{};
    all.takeAll = 'Y';
    voz_InitPctlBatch0_(&all, cand, idx.set(), 0, 0, &st, 0);
    EXPECT_EQ(all.keyCount, 4);
    EXPECT_EQ(all.curDoc, 'a');
    voz_TermPctlBatch0(&all, &st);
    ASSERT_OK(st);
    voz_ReleaseAnswer(cand);
    delete cand;
}

TEST(Gctl, FieldKeyOrTheNextFieldNumber) {
    auto field = [](uint16_t f) {
        std::string k(6, '\0');
        k[0] = static_cast<char>(f >> 8);
        k[1] = 0x0E;
        k[2] = static_cast<char>(f & 0xFF);
        k[3] = 0x0E;
        return k;
    };
    SetSpec spec;
    spec.keys = {{field(3), {{4, {1}}, {9, {1}}}, false, VOZ_KIND_DFIXED},
                 {field(300), {{2, {1}}}, false, VOZ_KIND_DFIXED},
                 {unit('a') + unit('a') + unit('a'), {{1, {1}}}}};
    Index idx(spec);
    ASSERT_OK(idx.st);
    struct { uint16_t field; int32_t doc; uint16_t next; } cases[] = {
        {3, 4, 0}, {300, 2, 0}, {5, VOZ_DOC_END, 300}, {1, VOZ_DOC_END, 3},
        {301, VOZ_DOC_END, 0xFFFF}};
    for (auto c : cases) {
        PCTLHEAD p{};
        uint16_t next = 0;
        GTRSTATUS st{};
        voz_InitFieldPctl(&p, idx.set(), c.field, &next, &st);
        ASSERT_OK(st);
        EXPECT_EQ(p.curDoc, c.doc) << c.field;
        EXPECT_EQ(next, c.next) << c.field;
        voz_TermPctl(&p, &st);
    }
}

TEST(Gctl, KeepOrderAndSorts) {
    PCTLHEAD p[12] = {};
    int32_t order[12];
    for (int32_t i = 0; i < 12; ++i) {
        p[i].curPos = 10 * (i + 1);
        p[i].endOfPos = 'N';
        order[i] = i;
    }
    // The first three advanced: to 115, past the end, to 25.
    p[0].curPos = 115;
    p[1].endOfPos = 'Y';
    p[2].curPos = 25;
    int32_t count = 12;
    voz_PctlKeepOrderPos(&count, 3, order, p);
    EXPECT_EQ(count, 11);
    EXPECT_EQ(order[11], 1) << "a key out of positions goes behind";
    for (int32_t i = 1; i < count; ++i)
        EXPECT_LE(p[order[i - 1]].curPos, p[order[i]].curPos) << i;
    EXPECT_EQ(order[0], 2);
    EXPECT_EQ(order[9], 0) << "115 lies between 110 and 120 (binary search)";
    PPSET set[5] = {{1, 50}, {2, 10}, {3, 30}, {4, 10}, {5, 0}};
    voz_SortPPset(set, 5, nullptr);
    for (int i = 1; i < 5; ++i) EXPECT_LE(set[i - 1].second, set[i].second);
}

}  // namespace
