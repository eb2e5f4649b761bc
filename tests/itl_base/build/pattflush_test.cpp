// Tests of the pattern flush: a small pool flushed into bytes equal to a
// hand-written fixture; random occurrences (documents partly out of order)
// through a small pool, read back by the storage readers and compared with
// a model; a full level 0 merged upward; a failing flush leaves the pool.
#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "creat_fixture.hpp"
#include "engine_test_util.hpp"

using namespace creatfix;

namespace {

std::string Key(char kind, const std::string& bytes) {
    std::string k(1, kind);
    k += bytes;
    k.resize(7, '\0');
    if (bytes.size() > 6) k += bytes.substr(6);
    return k;
}

// A model of one cycle: every occurrence, per key and document.
struct Model {
    Lists lists;
    std::set<std::pair<std::string, std::pair<int32_t, int32_t>>> seen;
    // A repeated occurrence counts once, except in a field-number key
    // (`keepRepeats`), whose positions are starts and ends read in pairs.
    void add(const std::string& key, int32_t doc, int32_t pos, bool keepRepeats = false) {
        if (!seen.insert({key, {doc, pos}}).second && !keepRepeats) return;
        lists[key][doc].push_back(pos);
    }
};

// Adds one random document of `n` occurrences to the pool and the model.
void AddDocument(CREATWRK* cwp, Model& m, std::mt19937& rng, int32_t doc, int n,
                 GTRSTATUS* st) {
    int32_t pos = 1;
    for (int i = 0; i < n && st->retcode == 0; ++i) {
        pos += static_cast<int32_t>(rng() % 3);  // 0: a repeated position
        uint32_t what = rng() % 10;
        if (what < 5) {  // a fixed key of one 2-byte unit
            uint8_t u[2] = {static_cast<uint8_t>('a' + rng() % 6), 0};
            VOZ_pattPool(cwp, ')', u, doc, pos, 0, st);
            m.add(Key('F', std::string(reinterpret_cast<char*>(u), 2)), doc, pos);
        } else if (what < 8) {  // a variable key of 1-20 units
            int units = 1 + static_cast<int>(rng() % 20);
            std::string bytes;
            for (int u = 0; u < units; ++u) {
                bytes += static_cast<char>('A' + rng() % 3);
                bytes += 'x';
            }
            VOZ_pattPool(cwp, ')', reinterpret_cast<const uint8_t*>(bytes.data()), doc, pos,
                         units, st);
            m.add(Key('V', bytes), doc, pos);
        } else if (what == 8) {
            uint16_t field = static_cast<uint16_t>(rng() % 3);
            VOZ_pattPool_FldNumber(cwp, field, doc, pos, st);
            m.add(Key('D', std::string("\0\x0E", 2) + static_cast<char>(field) + "\x0E"), doc,
                  pos, true);
        } else {
            VOZ_pattPool(cwp, 0, nullptr, doc, pos, 0, st);
            m.add("slot0", doc, pos);
        }
    }
    VOZ_pattPool(cwp, '&', nullptr, doc, pos, 0, st);
    m.add("slot38", doc, pos);
}

// The bytes of section `part` ("[key]" or "[positions]") of a fixture:
// each line "offset: hex bytes", checked to follow on from the last.
std::vector<uint8_t> FixtureBytes(const std::string& file, const std::string& part) {
    std::ifstream in(file);
    std::string line;
    std::vector<uint8_t> out;
    bool inPart = false;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        if (line.empty()) continue;
        if (line[0] == '[') {
            inPart = line.compare(0, part.size(), part) == 0;
            continue;
        }
        if (!inPart) continue;
        size_t colon = line.find(':');
        EXPECT_EQ(std::stoul(line.substr(0, colon)), out.size()) << line;
        std::string hex;
        for (char ch : line.substr(colon + 1)) if (ch != ' ') hex += ch;
        std::vector<uint8_t> b = fromHex(hex.c_str());
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::string s = slurp(path);
    return {s.begin(), s.end()};
}

// Three documents: a field key, 'F' keys (one occurrence repeated), a
// 15-unit variable key, sentence ends and document records.
TEST(PattFlush, ThreeDocumentsMatchTheFixture) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    CREATWRK* w = c.cwp;
    GTRSTATUS& st = c.st;
    const uint8_t ab[2] = {'a', 'b'}, cd[2] = {'c', 'd'};
    const char* longKey = "0123456789ABCDEFGHIJKLMNOPQRST";
    VOZ_pattPool_FldNumber(w, 1, 0, 1, &st);
    VOZ_pattPool(w, ')', ab, 0, 1, 0, &st);
    VOZ_pattPool(w, ')', cd, 0, 2, 0, &st);
    VOZ_pattPool(w, ')', ab, 0, 2, 0, &st);
    VOZ_pattPool(w, ')', ab, 0, 2, 0, &st);
    VOZ_pattPool(w, 0, nullptr, 0, 2, 0, &st);
    VOZ_pattPool(w, '&', nullptr, 0, 3, 0, &st);
    VOZ_pattPool(w, ')', ab, 1, 1, 0, &st);
    VOZ_pattPool(w, ')', reinterpret_cast<const uint8_t*>(longKey), 1, 1, 15, &st);
    VOZ_pattPool(w, '&', nullptr, 1, 1, 0, &st);
    VOZ_pattPool(w, ')', cd, 2, 5, 0, &st);
    VOZ_pattPool(w, 0, nullptr, 2, 5, 0, &st);
    VOZ_pattPool(w, '&', nullptr, 2, 5, 0, &st);
    ASSERT_OK(st);
    ASSERT_EQ(voz_PattFlush(w, w->targetSet, &st), 0);
    ASSERT_OK(st);
    std::string fixture = std::string(TI_TEST_DATA) + "/build/flush3.txt";
    std::vector<uint8_t> key = FileBytes(c.work + "/idx.K00");
    ASSERT_EQ(key.size(), 1464u);
    std::fill(key.begin() + 88, key.begin() + 92, 0);
    EXPECT_EQ(hexGroups(key, 28), hexGroups(FixtureBytes(fixture, "[key]"), 28));
    EXPECT_EQ(hexGroups(FileBytes(c.work + "/idx.P00"), 1),
              hexGroups(FixtureBytes(fixture, "[positions]"), 1));
    // What the pool passed on: the work block's counters are clear again.
    EXPECT_EQ(w->basicInfo.fixedKeys + w->basicInfo.varRecords, 0u);
    EXPECT_EQ(w->lastFlushedDocument, 2);
    EXPECT_EQ(w->levels[0].lowDocno, 0);
    EXPECT_EQ(w->levels[0].highMark, 2);
}

TEST(PattFlush, RandomOccurrencesReadBackAsTheModel) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    Cycle c;
    c.start(Parm(), Sys(8192, 8192));
    ASSERT_OK(c.st);
    Model m;
    std::vector<int32_t> docs;
    for (int32_t d = 0; d < 400; ++d) docs.push_back(d * 3 + static_cast<int32_t>(rng() % 3));
    // Some documents arrive out of order: swap a few neighbours.
    for (size_t i = 0; i + 1 < docs.size(); i += 7) std::swap(docs[i], docs[i + 1]);
    for (int32_t d : docs) AddDocument(c.cwp, m, rng, d, 1 + static_cast<int>(rng() % 40), &c.st);
    ASSERT_OK(c.st) << "seed " << seed;
    ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    ASSERT_OK(c.st);
    std::vector<uint64_t> bases = SectionBases(c.cwp);
    ASSERT_GT(bases.size(), 3u) << "seed " << seed;
    ASSERT_LT(bases.size(), 60u);
    Lists got;
    std::set<int32_t> allDocs;
    for (size_t i = 0; i < bases.size(); ++i) {
        Section s = ReadSection(c.work, bases[i], &c.st);
        ASSERT_OK(c.st) << "section " << i;
        // The section's header counts against what it holds.
        std::set<int32_t> sectionDocs;
        for (auto& d : s.lists["slot38"]) sectionDocs.insert(d.first);
        uint32_t fixed = 0, var = 0, varRecords = 0, dKind = 0;
        for (const std::string& k : s.order) {
            if (k[0] == 'V') {
                ++var;
                varRecords += k.size() <= 7 ? 1 : 1 + static_cast<uint32_t>((k.size() - 7 + 21) / 22);
            } else {
                ++fixed;
                if (k[0] == 'D') ++dKind;
            }
        }
        EXPECT_EQ(s.info.docCount, sectionDocs.size()) << "section " << i;
        EXPECT_EQ(s.info.fixedKeys, fixed);
        EXPECT_EQ(s.info.fixedRecords, fixed);
        EXPECT_EQ(s.info.dKindRecords, dKind);
        EXPECT_EQ(s.info.varKeys, var);
        EXPECT_EQ(s.info.varRecords, varRecords);
        EXPECT_EQ(static_cast<int32_t>(s.info.highestDoc), *sectionDocs.rbegin());
        EXPECT_EQ(s.info.maxDocNumber, s.info.highestDoc);
        EXPECT_TRUE(std::is_sorted(s.order.begin(), s.order.end(),
                                   [](const std::string& a, const std::string& b) {
                                       if ((a[0] == 'V') != (b[0] == 'V')) return b[0] == 'V';
                                       return a < b;
                                   }))
            << "keys of section " << i << " out of order";
        for (auto& [key, docsOfKey] : s.lists) {
            for (auto& [doc, pos] : docsOfKey) {
                EXPECT_TRUE(got[key].emplace(doc, pos).second)
                    << "document " << doc << " in two sections";
                allDocs.insert(doc);
            }
        }
    }
    EXPECT_EQ(allDocs.size(), docs.size());
    for (auto& [key, d] : m.lists) {
        for (auto& [doc, pos] : d) std::sort(pos.begin(), pos.end());
    }
    EXPECT_TRUE(got == m.lists) << "seed " << seed;
}

TEST(PattFlush, KeyWithoutPostingsAndOnlyDocumentRecords) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t stop[4] = {'t', 'h', 'e', 0};
    VOZ_pattPool(c.cwp, '+', stop, 4, 2, 2, &c.st);
    VOZ_pattPool(c.cwp, '&', nullptr, 4, 0, 0, &c.st);
    VOZ_pattPool(c.cwp, '&', nullptr, 9, 3, 0, &c.st);
    ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    Section s = ReadSection(c.work, 0, &c.st);
    ASSERT_OK(c.st);
    ASSERT_EQ(s.order.size(), 1u);
    EXPECT_TRUE(s.lists[s.order[0]].empty());  // level 0x10: no list
    EXPECT_EQ(s.info.docCount, 2u);
    EXPECT_EQ(s.info.highestDoc, 9u);  // the '+' key's -1 does not count
    Docs want{{4, {0}}, {9, {3}}};
    EXPECT_EQ(s.lists["slot38"], want);
    // An empty pool writes nothing.
    ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    EXPECT_EQ(c.cwp->levels[0].numSections, 1);
}

int32_t AcceptsCapitalA(char kind, const uint8_t* key, uint8_t options, int16_t width) {
    return kind == 'X' && key[0] == 'A' && options == 7 && width == 2 ? 1 : 0;
}

TEST(PattFlush, KeyCallbackCountsVariableKeys) {
    GTRCREATEPARM p = Parm();
    p.options[3] = 7;
    p.keyCallback = AcceptsCapitalA;
    Cycle c;
    c.start(p);
    ASSERT_OK(c.st);
    for (const char* k : {"Axyz", "Bxyz", "Aqrs", "Axyz"})
        VOZ_pattPool(c.cwp, ')', reinterpret_cast<const uint8_t*>(k), 1, 1, 2, &c.st);
    ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0);
    Section s = ReadSection(c.work, 0, &c.st);
    ASSERT_OK(c.st);
    EXPECT_EQ(s.info.varKeys, 3u);
    EXPECT_EQ(s.info.filteredVarKeys, 2u);
}

TEST(PattFlush, LevelZeroFullIsMergedUpward) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t u[2] = {'a', 0};
    for (int i = 0; i < 60; ++i) {
        VOZ_pattPool(c.cwp, ')', u, i, 1, 0, &c.st);
        ASSERT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), 0) << i;
        EXPECT_EQ(c.cwp->levels[0].numSections, (i + 1) % 60);
    }
    ASSERT_EQ(c.cwp->levelsInUse, 2);
    EXPECT_EQ(c.cwp->levels[1].numSections, 1);
    EXPECT_EQ(c.cwp->levels[1].maxSections, 60);
    EXPECT_EQ(c.cwp->levels[1].lowDocno, 0);
    EXPECT_EQ(c.cwp->levels[1].sections[0].basic.fixedKeys, 1u);
    EXPECT_EQ(c.cwp->pool.cursor, c.cwp->pool.start);
}

TEST(PattFlush, FailureLeavesThePool) {
    Cycle c;
    c.start();
    ASSERT_OK(c.st);
    const uint8_t u[2] = {'a', 0};
    VOZ_pattPool(c.cwp, ')', u, 5, 9, 0, &c.st);
    VOZ_pattPool(c.cwp, ')', u, 5, 3, 0, &c.st);  // positions going back
    ASSERT_OK(c.st);
    EXPECT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &c.st), -1);
    EXPECT_RC(c.st, 17, 23);
    EXPECT_EQ(c.cwp->pool.cursor - c.cwp->pool.start, 2);
    EXPECT_EQ(c.cwp->levels[0].numSections, 0);
    EXPECT_EQ(c.cwp->levels[0].filesOpen, 0);
    GTRSTATUS bad{};
    char tag = c.cwp->tag[0];
    c.cwp->tag[0] = 'X';
    EXPECT_EQ(voz_PattFlush(c.cwp, c.cwp->targetSet, &bad), -1);
    EXPECT_RC(bad, 1, 16);
    c.cwp->tag[0] = tag;
}

}  // namespace
