// Randomized searches against a brute-force model: documents of digit
// groups over {1,2,3}, random AND/OR/NOT trees of 1-4 words of 1-5 units.
// The model scans the texts for each word and applies the dropping of
// empty operands; every query also runs with the quick evaluation
// forbidden (a further one-operand OR above the root). Two indexes per
// seed: one built by the update cycle (main and an appended supp), one
// written with the gram "33" as a stop word. TEST_SEED replays a seed.
#include <gtest/gtest.h>

#include <random>

#include "search2_fixture.hpp"

using namespace s2fix;

namespace {

using Docs = std::set<int32_t>;

std::string randomDoc(std::mt19937& rng) {
    std::string d;
    int groups = 1 + static_cast<int>(rng() % 6);
    for (int g = 0; g < groups; ++g) {
        if (g > 0) d += rng() % 4 == 0 ? ". " : " ";
        int len = 1 + static_cast<int>(rng() % 5);
        for (int k = 0; k < len; ++k) d += static_cast<char>('1' + rng() % 3);
    }
    return d;
}

// The texts of all documents by number, and the stop grams.
struct Model {
    std::vector<std::string> texts;
    std::set<std::string> stops;
    std::set<std::string> grams;  // every gram of the corpus (a key)

    void add(const std::string& t) {
        texts.push_back(t);
        for (size_t i = 0; i < t.size(); ++i) grams.insert(Corpus::gramOf(t, i));
    }
    bool stop(const std::string& g) const { return stops.count(g) != 0; }

    // A word: empty (only stop keys) and its documents.
    std::pair<bool, Docs> word(const std::string& w) const {
        Docs docs;
        if (w.size() == 1) {
            bool any = false, live = false;
            for (const std::string& g : grams) {
                if (g[0] != w[0]) continue;
                any = true;
                live = live || !stop(g);
            }
            if (any && !live) return {true, docs};
            for (size_t d = 0; d < texts.size(); ++d)
                for (size_t i = 0; i < texts[d].size(); ++i)
                    if (texts[d][i] == w[0] && !stop(Corpus::gramOf(texts[d], i)))
                        docs.insert(static_cast<int32_t>(d));
            return {false, docs};
        }
        // Pieces of 2 units from units 0, 2, ...; the last one ends the word.
        std::vector<std::string> pieces;
        for (size_t s = 0; s < w.size(); s += 2)
            pieces.push_back(w.substr(s + 2 > w.size() ? w.size() - 2 : s, 2));
        size_t stopped = 0;
        for (const std::string& p : pieces) {
            if (grams.count(p) == 0) return {false, docs};  // no such key
            if (stop(p)) ++stopped;
        }
        if (stopped == pieces.size()) return {true, docs};
        if (stopped > 0) return {false, docs};
        for (size_t d = 0; d < texts.size(); ++d)
            if (texts[d].find(w) != std::string::npos) docs.insert(static_cast<int32_t>(d));
        return {false, docs};
    }
};

// A random query tree in postfix form, evaluated by the model alongside.
struct Built {
    Query q;
    std::vector<std::pair<bool, Docs>> slots;  // words, then operators
    std::string text;
};

void addOperator(Built& b, char kind, std::vector<int32_t> opnds) {
    // The dropping rule: empty operands leave, except an empty NOT operand
    // followed by a non-empty one.
    std::vector<int32_t> kept;
    for (size_t j = 0; j < opnds.size(); ++j) {
        bool empty = b.slots[static_cast<size_t>(opnds[j])].first;
        bool notKeep = kind == 'N' && j + 1 < opnds.size() &&
                       !b.slots[static_cast<size_t>(opnds[j + 1])].first;
        if (!empty || notKeep) kept.push_back(opnds[j]);
    }
    std::pair<bool, Docs> v{kept.empty(), {}};
    for (size_t j = 0; j < kept.size(); ++j) {
        const Docs& d = b.slots[static_cast<size_t>(kept[j])].second;
        if (j == 0) {
            v.second = d;
        } else if (kind == 'A') {
            Docs both;
            for (int32_t x : v.second)
                if (d.count(x) != 0) both.insert(x);
            v.second = both;
        } else if (kind == 'O') {
            v.second.insert(d.begin(), d.end());
        } else {
            for (int32_t x : d) v.second.erase(x);
        }
    }
    b.q.op(kind, opnds);
    b.slots.push_back(v);
}

Built randomQuery(std::mt19937& rng, const Model& m) {
    Built b;
    int words = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < words; ++i) {
        std::string w;
        int len = 1 + static_cast<int>(rng() % 5);
        for (int k = 0; k < len; ++k) w += static_cast<char>('1' + rng() % 3);
        b.q.word(w);
        b.slots.push_back(m.word(w));
        b.text += w + " ";
    }
    // Operators combine the open slots from the left until one is left.
    std::vector<int32_t> open;
    for (int i = 0; i < words; ++i) open.push_back(i);
    const char kinds[] = {'A', 'O', 'N'};
    do {
        size_t take = open.size() == 1 ? 1 : 2 + rng() % (open.size() - 1);
        size_t at = rng() % (open.size() - take + 1);
        std::vector<int32_t> opnds(open.begin() + static_cast<long>(at),
                                   open.begin() + static_cast<long>(at + take));
        char kind = kinds[rng() % 3];
        addOperator(b, kind, opnds);
        b.text += std::string(1, kind) + std::to_string(take) + " ";
        open.erase(open.begin() + static_cast<long>(at),
                   open.begin() + static_cast<long>(at + take));
        open.insert(open.begin() + static_cast<long>(at),
                    static_cast<int32_t>(b.slots.size()) - 1);
    } while (open.size() > 1);
    return b;
}

void checkQueries(VOZSEARCH* h, const Model& m, std::mt19937& rng, int count) {
    for (int i = 0; i < count; ++i) {
        Built b = randomQuery(rng, m);
        SCOPED_TRACE(b.text);
        Docs want = b.slots.back().second;
        Outcome r = run(h, b.q);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.docs, want);
        EXPECT_EQ(r.res.result_docnum, static_cast<int32_t>(want.size()));
        int32_t root = static_cast<int32_t>(b.slots.size()) - 1;
        addOperator(b, 'O', {root});
        r = run(h, b.q);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(r.docs, want) << "quick evaluation forbidden";
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(Search2Model, BuiltIndexOverBothHalves) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    Model m;
    std::vector<std::string> mainDocs, suppDocs;
    for (int i = 0; i < 40; ++i) mainDocs.push_back(randomDoc(rng));
    for (int i = 0; i < 20; ++i) suppDocs.push_back(randomDoc(rng));
    for (const std::string& t : mainDocs) m.add(t);
    for (const std::string& t : suppDocs) m.add(t);
    Corpus c;
    GTRSTATUS st{};
    c.cycle('N', 0, mainDocs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    c.cycle('A', 40, suppDocs, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = c.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_NE(h->setOpen[1], 0);
    checkQueries(h, m, rng, 150);
    closeHandle(h);
    // Reopened on the same handle's cache.
    h = c.open(st);
    ASSERT_EQ(st.retcode, 0);
    checkQueries(h, m, rng, 30);
    closeHandle(h);
}

TEST(Search2Model, StopWordsAreDropped) {
    uint32_t seed = testSeed() + 1;
    std::mt19937 rng(seed);
    Model m;
    m.stops = {"33"};
    std::vector<std::string> docs;
    for (int i = 0; i < 40; ++i) docs.push_back(randomDoc(rng));
    for (const std::string& t : docs) m.add(t);
    Corpus c;
    GTRSTATUS st{};
    c.writeWithStops(docs, m.stops, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZSEARCH* h = c.open(st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    checkQueries(h, m, rng, 200);
    closeHandle(h);
}

}  // namespace
