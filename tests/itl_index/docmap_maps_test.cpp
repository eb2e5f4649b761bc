// Tests of both directions of the document map: assignment and its limits,
// block geometry checked by an independent reader of the file format,
// appends, the name-to-number merge, lookups, damage, and a randomized
// round trip against a std::map model.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "docmap_pair.hpp"
#include "docmap_test_util.hpp"

using namespace docmap_test;

namespace {

// ---- an independent reader of the map files -----------------------------

struct Entry {
  uint64_t number;
  std::string name;
};

struct MapFile {
  uint64_t highest = 0;
  uint32_t blocks = 0;
  uint32_t indexEntries = 0;
  uint64_t documents = 0;
  std::vector<std::vector<Entry>> content;  // per block
  std::vector<std::string> indexKeys;       // per index entry (raw)
  std::vector<uint32_t> indexBlocks;
};

// Reads a data and index file pair; `nameSize` and `fixed` describe the
// layout, `indexEntry` the index entry size (12 or nameSize + 4).
MapFile readMap(std::string const& data, std::string const& index,
                uint16_t nameSize, bool fixed, size_t indexEntry) {
  MapFile m;
  std::string d = readFile(data), x = readFile(index);
  EXPECT_GE(d.size(), 44u);
  EXPECT_GE(x.size(), 44u);
  if (d.size() < 44 || x.size() < 44) return m;
  m.highest = get64(d, 0);
  m.blocks = get32(d, 8);
  m.indexEntries = get32(x, 0);
  m.documents = get64(x, 4);
  EXPECT_EQ(d.size(), 44 + size_t{m.blocks} * 32768);
  EXPECT_EQ(x.size(), 44 + size_t{m.indexEntries} * indexEntry);
  for (uint32_t b = 0; b < m.blocks; ++b) {
    std::string block = d.substr(44 + size_t{b} * 32768, 32768);
    std::vector<Entry> entries;
    size_t off = 0;
    uint32_t slots = fixed ? 32768 / (nameSize + 8) : 4096;
    for (uint32_t i = 0; i < slots; ++i) {
      uint64_t n = get64(block, 32760 - 8 * i);
      if (n == 0) break;
      Entry e{n, ""};
      if (fixed) {
        e.name = block.substr(i * nameSize, nameSize);
      } else {
        uint16_t length = static_cast<uint16_t>(
            static_cast<unsigned char>(block[off]) |
            static_cast<unsigned char>(block[off + 1]) << 8);
        e.name = block.substr(off + 2, length);
        off += 2 + length;
      }
      entries.push_back(e);
    }
    m.content.push_back(entries);
  }
  for (uint32_t k = 0; k < m.indexEntries; ++k) {
    m.indexBlocks.push_back(get32(x, 44 + k * indexEntry));
    m.indexKeys.push_back(x.substr(44 + k * indexEntry + 4, indexEntry - 4));
  }
  return m;
}

std::string padded(std::string const& name, size_t size) {
  std::string p = name;
  p.resize(size, '\0');
  return p;
}

// Checks the invariants of a number-to-name map; returns its pairs.
std::map<uint64_t, std::string> checkDix(MapPair& pair, uint16_t size,
                                         bool fixed) {
  MapFile m = readMap(pair.idx(".did"), pair.idx(".dii"), size, fixed, 12);
  std::map<uint64_t, std::string> all;
  EXPECT_EQ(m.blocks, m.indexEntries);
  uint64_t previous = 0;
  for (uint32_t b = 0; b < m.content.size(); ++b) {
    EXPECT_FALSE(m.content[b].empty());
    for (Entry const& e : m.content[b]) {
      EXPECT_GT(e.number, previous);
      previous = e.number;
      all[e.number] = e.name;
    }
    EXPECT_EQ(m.indexBlocks[b], b + 1);
    EXPECT_EQ(get64(m.indexKeys[b], 0), m.content[b].back().number);
  }
  EXPECT_GE(m.highest, previous);
  return all;
}

// Checks the invariants of a name-to-number map; returns its pairs.
std::map<std::string, uint64_t> checkDex(MapPair& pair, uint16_t size,
                                         bool fixed) {
  MapFile m = readMap(pair.idx(".ded"), pair.idx(".dei"), size, fixed,
                      size + 4u);
  std::map<std::string, uint64_t> all;
  EXPECT_EQ(m.blocks, m.indexEntries);
  std::string previous;
  bool first = true;
  uint64_t highest = 0;
  for (uint32_t b = 0; b < m.content.size(); ++b) {
    EXPECT_FALSE(m.content[b].empty());
    size_t used = 0;
    for (Entry const& e : m.content[b]) {
      if (!first) {
        EXPECT_LT(previous, e.name) << "name order";
      }
      first = false;
      previous = e.name;
      EXPECT_TRUE(all.emplace(e.name, e.number).second) << "one entry per name";
      highest = std::max(highest, e.number);
      used += fixed ? size + 8 : e.name.size() + 10;
    }
    EXPECT_EQ(m.indexBlocks[b], b + 1);
    EXPECT_EQ(m.indexKeys[b], padded(m.content[b].back().name, size));
    // A sequential block was written out only when the next entry's
    // doubled size did not fit.
    if (!fixed && b + 1 < m.content.size()) {
      size_t next = m.content[b + 1].front().name.size();
      EXPECT_LT(32768 - used, 2 * (next + 10)) << "block " << b + 1;
    }
  }
  EXPECT_EQ(m.highest, highest) << "highest number among the entries";
  EXPECT_EQ(m.documents, all.size());
  return all;
}

class DocMapMaps : public ::testing::Test {
 protected:
  TempDir dir{"docmap_maps"};
  std::string indexDir = dir / "index", workDir = dir / "work";
};

// ---- assignment ------------------------------------------------------------

TEST_F(DocMapMaps, AssignmentLimitsAndRefusals) {
  MapPair pair(indexDir, workDir, 64, false);
  pair.begin();
  EXPECT_EQ(pair.assign("first"), 1u);
  pair.dix->dataControl().ulHighestDocNumber = 2147483644;
  for (uint64_t refused : {2147483645ULL, 2147483646ULL}) {
    Thrown t = thrown([&] { pair.assign("x"); });
    EXPECT_EQ(t.reason, 305);
    EXPECT_EQ(t.context, "Document number: " + std::to_string(refused));
  }
  EXPECT_EQ(pair.dix->getTempEntries(), 1u);
  pair.dix->writeControlRecord(-1);
  EXPECT_EQ(get64(readFile(pair.work(".xid")), 0), 2147483644u);

  MapPair fixed(dir / "i2", dir / "w2", 24, true);
  fixed.begin();
  for (std::string bad : {std::string(), std::string(65, 'a')}) {
    _ItlStDocumentId id{bad.data(), static_cast<uint16_t>(bad.size())};
    uint64_t n = 0;
    EXPECT_EQ(thrown([&] { pair.dix->assignNumber(&id, &n); }).reason, 302);
  }
  EXPECT_EQ(thrown([&] { fixed.assign(std::string(23, 'a')); }).reason, 302);
  EXPECT_EQ(fixed.assign(std::string(24, 'a')), 1u);
}

TEST_F(DocMapMaps, TemporaryWritesHoldLessThanCapacity) {
  MapPair pair(indexDir, workDir, 64, false);
  pair.begin();
  uint32_t c = pair.dix->getTempCapacity();
  ASSERT_EQ(c, 32768u / 74);
  for (uint32_t i = 0; i + 1 < c; ++i) pair.assign("n" + std::to_string(i));
  EXPECT_FALSE(exists(pair.work(".tdm")));
  pair.assign("one more");
  EXPECT_EQ(readFile(pair.work(".tdm")).size(), size_t{c - 1} * 74);
  // An empty buffer writes nothing.
  pair.dix->writeTempDataBlock(true);
  size_t size = readFile(pair.work(".tdm")).size();
  pair.dix->writeTempDataBlock(true);
  EXPECT_EQ(readFile(pair.work(".tdm")).size(), size);
}

// ---- geometry ----------------------------------------------------------------

TEST_F(DocMapMaps, BlockGeometry) {
  {
    MapPair pair(indexDir, workDir, 64, false);
    pair.begin();
    for (int i = 0; i < 1638; ++i) {
      char name[11];
      std::snprintf(name, sizeof name, "name%06d", i);
      pair.assign(name);
    }
    pair.end();
    MapFile m = readMap(pair.idx(".did"), pair.idx(".dii"), 64, false, 12);
    ASSERT_EQ(m.blocks, 2u);
    EXPECT_EQ(m.content[0].size(), 1637u);
    EXPECT_EQ(m.content[1].size(), 1u);
    checkDix(pair, 64, false);
    checkDex(pair, 64, false);
  }
  MapPair fixed(dir / "i2", dir / "w2", 24, true);
  fixed.begin();
  for (int i = 0; i < 2100; ++i) {
    char name[25];
    std::snprintf(name, sizeof name, "fixed-name-%013d", i);
    fixed.assign(name);
  }
  fixed.end();
  MapFile m = readMap(fixed.idx(".did"), fixed.idx(".dii"), 24, true, 12);
  ASSERT_EQ(m.blocks, 3u);
  EXPECT_EQ(m.content[0].size(), 1024u);
  EXPECT_EQ(m.content[2].size(), 52u);
  EXPECT_EQ(get64(readFile(fixed.idx(".dii")), 4), 2100u);
  checkDix(fixed, 24, true);
  checkDex(fixed, 24, true);
}

// ---- appends -----------------------------------------------------------------

TEST_F(DocMapMaps, AppendsRewriteOnlyTheLastBlock) {
  MapPair pair(indexDir, workDir, 64, false);
  pair.begin();
  for (int i = 0; i < 3000; ++i) pair.assign("doc/" + std::to_string(i));
  pair.end();
  std::string dii1 = readFile(pair.idx(".dii")), did1 = readFile(pair.idx(".did"));
  MapFile before = readMap(pair.idx(".did"), pair.idx(".dii"), 64, false, 12);

  // An empty transaction rewrites the last block unchanged.
  pair.begin();
  pair.end();
  EXPECT_EQ(readFile(pair.idx(".did")), did1);
  EXPECT_EQ(readFile(pair.idx(".dii")), dii1);

  pair.begin();
  for (int i = 0; i < 10; ++i) pair.assign("more/" + std::to_string(i));
  pair.end();
  std::string dii2 = readFile(pair.idx(".dii")), did2 = readFile(pair.idx(".did"));
  EXPECT_EQ(dii2.substr(44, 12), dii1.substr(44, 12)) << "entry 1 unchanged";
  MapFile after = readMap(pair.idx(".did"), pair.idx(".dii"), 64, false, 12);
  EXPECT_EQ(after.blocks, before.blocks) << "the last block had room";
  EXPECT_EQ(did2.substr(0 + 44, 32768 * (before.blocks - 1)),
            did1.substr(44, 32768 * (before.blocks - 1)));
  EXPECT_EQ(get64(dii2, 44 + (after.blocks - 1) * 12 + 4), 3010u);
  EXPECT_EQ(after.highest, 3010u);
  pair.read();
  for (int i = 0; i < 3000; i += 7) {
    std::string name = "doc/" + std::to_string(i);
    EXPECT_EQ(pair.name(i + 1), name);
    EXPECT_EQ(pair.number(name), uint64_t(i + 1));
  }
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(pair.number("more/" + std::to_string(i)), uint64_t(3001 + i));
}

// ---- the name-to-number merge -----------------------------------------------

// Writes a sorted temporary file of (number, name) entries of size 16.
std::string sortedFile(std::vector<std::pair<uint64_t, std::string>> const& list) {
  std::string s;
  for (auto const& e : list) {
    std::string entry;
    put64(entry, 0, e.first);
    put16(entry, 8, static_cast<uint16_t>(e.second.size()));
    entry += e.second;
    entry.resize(26, '\0');
    s += entry;
  }
  return s;
}

TEST_F(DocMapMaps, MergeCases) {
  using List = std::vector<std::pair<uint64_t, std::string>>;
  struct Case {
    char const* what;
    List existing;  // merged first into an empty map
    List temps;
    int reason;
    std::map<std::string, uint64_t> expect;
  };
  std::vector<Case> cases = {
      {"interleaved", {{1, "b"}, {2, "d"}}, {{3, "a"}, {4, "c"}, {5, "e"}}, 0,
       {{"a", 3}, {"b", 1}, {"c", 4}, {"d", 2}, {"e", 5}}},
      {"higher number replaces", {{1, "b"}}, {{7, "b"}}, 0, {{"b", 7}}},
      {"lower number is out of synch", {{5, "b"}}, {{3, "b"}}, 7, {}},
      {"two temporaries leave the higher", {}, {{4, "x"}, {9, "x"}, {2, "y"}},
       0, {{"x", 9}, {"y", 2}}},
      {"no temporaries copy the existing", {{1, "p"}, {2, "q"}}, {}, 0,
       {{"p", 1}, {"q", 2}}},
      {"prefix names", {{1, "ab"}}, {{2, "a"}, {3, "abc"}}, 0,
       {{"a", 2}, {"ab", 1}, {"abc", 3}}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d("docmap_merge");
    MapPair pair(d / "i", d / "w", 16, false);
    auto merge = [&](List const& list) {
      pair.begin();
      writeFile(pair.work(".sdm"), sortedFile(list));
      std::string head = readFile(pair.work(".sdm")).substr(0, 26);
      std::vector<char> buffer(head.begin(), head.end());
      pair.dex->addTempDataToIndexFiles(pair.work(".sdm").c_str(),
                                        pair.work(".ted").c_str(),
                                        buffer.data(), list.empty() ? 0 : 1,
                                        true);
      pair.end();
    };
    merge(c.existing);
    std::string dedBefore = readFile(pair.idx(".ded"));
    Thrown t = thrown([&] { merge(c.temps); });
    ASSERT_EQ(t.reason, c.reason) << t.context;
    if (c.reason == 7) {
      EXPECT_EQ(t.context, "internal error, document numbers out of synch\n");
      continue;
    }
    EXPECT_EQ(checkDex(pair, 16, false), c.expect);
    uint64_t highest = 0;
    for (auto const& e : c.expect) highest = std::max(highest, e.second);
    EXPECT_EQ(get64(readFile(pair.idx(".ded")), 0), highest);
    if (c.temps.empty()) {
      EXPECT_EQ(readFile(pair.idx(".ded")), dedBefore);
    }
    pair.read();
    for (auto const& e : c.expect) EXPECT_EQ(pair.number(e.first), e.second);
  }
}

TEST_F(DocMapMaps, MergeOriginIsTheSynchCheck) {
  MapPair pair(indexDir, workDir, 16, false);
  pair.begin();
  pair.assign("b");
  pair.end();
  pair.begin();
  writeFile(pair.work(".sdm"), sortedFile({{1, "b"}}));
  std::vector<char> buffer(26);
  std::string head = readFile(pair.work(".sdm"));
  std::copy(head.begin(), head.end(), buffer.begin());
  try {
    pair.dex->addTempDataToIndexFiles(pair.work(".sdm").c_str(),
                                      pair.work(".ted").c_str(), buffer.data(),
                                      1, true);
    FAIL();
  } catch (ItlClException const& e) {
    EXPECT_STREQ(e.getSourceFile(), "source/itl_index/itl_docmapdex:374");
    EXPECT_EQ(e.getLine(), 374u);
  }
}

// ---- lookups -------------------------------------------------------------------

TEST_F(DocMapMaps, NumberLookups) {
  MapPair pair(indexDir, workDir, 64, false);
  pair.begin();
  for (int i = 0; i < 4000; ++i) pair.assign("n" + std::to_string(i));
  pair.end();
  // A gap: delete nothing, but a map's numbers are consecutive here; make
  // one by a merge that drops number 10.
  pair.begin();
  pair.remove("n9");
  pair.end(true);
  pair.read();
  std::vector<ItlStDixIndexEntry> const& table = pair.dix->getIndexTable();
  ASSERT_GE(table.size(), 2u);
  uint64_t top1 = table[0].ulHighest;
  EXPECT_EQ(pair.name(top1), "n" + std::to_string(top1 - 1));
  EXPECT_EQ(pair.dix->getCurrentBlock(), 1u);
  EXPECT_EQ(pair.name(top1 + 1), "n" + std::to_string(top1));
  EXPECT_EQ(pair.dix->getCurrentBlock(), 2u);
  Thrown t = thrown([&] { pair.name(4001); });
  EXPECT_EQ(t.reason, 301);
  EXPECT_EQ(t.context, "Document number: 4001");
  EXPECT_EQ(thrown([&] { pair.name(0); }).reason, 304);
  EXPECT_EQ(thrown([&] { pair.name(10); }).reason, 304);
  // Ascending lookups go on from the hit; a lower one starts again.
  for (uint64_t n = 1; n <= 4000; ++n)
    if (n != 10) {
      ASSERT_EQ(pair.name(n), "n" + std::to_string(n - 1));
    }
  EXPECT_EQ(pair.name(3), "n2");
}

TEST_F(DocMapMaps, NameLookups) {
  MapPair pair(indexDir, workDir, 64, false);
  ItlClDeletedDocs none(*pair.location);
  _ItlStDocumentId id{"x", 1};
  uint64_t n = 5;
  pair.dex->obtainDocNumber(&id, &n, none);
  EXPECT_EQ(n, 0u) << "no table loaded";

  pair.begin();
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) names.push_back("m" + std::to_string(100000 + i));
  names.push_back("m100500");  // already there: a prefix case below
  for (int i = 0; i < 3000; ++i) pair.assign(names[i]);
  pair.assign("m1005");  // a prefix of m100500.., sorted before it
  pair.end();
  pair.begin();
  pair.remove("m101000");
  pair.end();
  pair.read();
  EXPECT_EQ(pair.number("m101000"), 0u) << "deleted";
  EXPECT_EQ(pair.number("zzz"), 0u) << "above the last block";
  EXPECT_EQ(pair.number("a"), 0u) << "below block 1";
  EXPECT_EQ(pair.number("m100500"), 501u);
  EXPECT_EQ(pair.number("m1005"), 3001u) << "a prefix after its longer name";
  EXPECT_EQ(pair.number("m100499"), 500u);
  EXPECT_EQ(pair.number(std::string(65, 'm')), 0u) << "longer than the maximum";
}

// ---- merges of the number-to-name map -----------------------------------------

TEST_F(DocMapMaps, MergeDropsDeletedAndNeverReusesNumbers) {
  MapPair pair(indexDir, workDir, 32, true);
  auto name = [](int i) {
    char b[33];
    std::snprintf(b, sizeof b, "%032d", i);
    return std::string(b);
  };
  pair.begin();
  for (int i = 1; i <= 2000; ++i) pair.assign(name(i));
  pair.end();
  // No deleted list: every entry stays, ascending.
  pair.begin();
  pair.end(true);
  EXPECT_EQ(checkDix(pair, 32, true).size(), 2000u);
  // Delete the top 100, merge, assign: above the old highest.
  pair.begin();
  for (int i = 1901; i <= 2000; ++i) pair.remove(name(i));
  pair.end(true);
  EXPECT_EQ(checkDix(pair, 32, true).size(), 1900u);
  EXPECT_EQ(checkDex(pair, 32, true).size(), 1900u);
  EXPECT_FALSE(exists(pair.idx(".del")));
  pair.begin();
  EXPECT_EQ(pair.assign(name(5000)), 2001u);
  pair.end();
  // Delete everything: an empty temporary file, empty maps, number kept.
  pair.begin();
  for (int i = 1; i <= 1900; ++i) pair.remove(name(i));
  pair.remove(name(5000));
  pair.end(true);
  EXPECT_TRUE(checkDix(pair, 32, true).empty());
  EXPECT_TRUE(checkDex(pair, 32, true).empty());
  pair.begin();
  EXPECT_EQ(pair.assign(name(6000)), 2002u);
  pair.end();
  pair.read();
  EXPECT_EQ(pair.number(name(6000)), 2002u);
  EXPECT_EQ(pair.number(name(1)), 0u);
}

// ---- damage ----------------------------------------------------------------------

TEST_F(DocMapMaps, DamageIsReportedForEveryLookup) {
  struct Case {
    char const* what;
    std::function<void(MapPair&)> damage;
  };
  auto cut = [](std::string const& path, size_t size) {
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
  };
  std::vector<Case> cases = {
      {".did cut inside block 2",
       [&](MapPair& p) { cut(p.idx(".did"), 44 + 32768 + 1000); }},
      {".ded cut inside block 2",
       [&](MapPair& p) { cut(p.idx(".ded"), 44 + 32768 + 1000); }},
      {".dii entry naming block 7",
       [&](MapPair& p) {
         std::string x = readFile(p.idx(".dii"));
         put32(x, 44 + 12, 7);
         writeFile(p.idx(".dii"), x);
       }},
      {".dei entry naming block 7",
       [&](MapPair& p) {
         std::string x = readFile(p.idx(".dei"));
         put32(x, 44 + 68, 7);
         writeFile(p.idx(".dei"), x);
       }},
      {"a name length running into the slots",
       [&](MapPair& p) {
         for (char const* e : {".did", ".ded"}) {
           std::string d = readFile(p.idx(e));
           put16(d, 44 + 32768, 40000);
           writeFile(p.idx(e), d);
         }
       }},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d("docmap_damage");
    MapPair pair(d / "i", d / "w", 64, false);
    pair.begin();
    std::vector<std::string> names;
    for (int i = 0; i < 4000; ++i) names.push_back("damaged/" + std::to_string(10000 + i));
    for (std::string const& n : names) pair.assign(n);
    pair.end();
    c.damage(pair);
    pair.reopenObjects();
    int load = thrown([&] { pair.read(); }).reason;
    if (load != 0) {
      EXPECT_EQ(load, 300);
      continue;
    }
    std::set<int> reasons;
    for (uint64_t n = 1; n <= 4000; n += 97)
      reasons.insert(thrown([&] { pair.name(n); }).reason);
    for (size_t i = 0; i < names.size(); i += 97) {
      int reason = 0;
      uint64_t got = 0;
      reason = thrown([&] { got = pair.number(names[i]); }).reason;
      if (reason == 0) {
        EXPECT_EQ(got, i + 1);
      }
      reasons.insert(reason);
    }
    reasons.erase(0);
    ASSERT_FALSE(reasons.empty());
    for (int r : reasons) EXPECT_TRUE(r == 300 || r == 17) << r;
  }
}

// A data file whose control record counts blocks that the index file does
// not list (an empty index, a huge block count) must be refused before an
// update writes: writing the next block after the counted ones would put
// it terabytes beyond the file's end.
TEST_F(DocMapMaps, BlockCountWithoutIndexEntriesIsRefusedBeforeWriting) {
  for (bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "fixed" : "sequential");
    TempDir d("docmap_blockcount");
    MapPair pair(d / "i", d / "w", 20, fixed);
    pair.begin();
    pair.assign(fixed ? std::string(20, 'a') : "first");
    pair.end();
    std::string did = readFile(pair.idx(".did")), dii = readFile(pair.idx(".dii"));
    put32(did, 8, 0x20000002u);
    put32(dii, 0, 0);
    writeFile(pair.idx(".did"), did);
    writeFile(pair.idx(".dii"), dii);
    pair.reopenObjects();
    int reason = thrown([&] {
                   pair.begin();
                   pair.assign(fixed ? std::string(20, 'b') : "second");
                   pair.end();
                 }).reason;
    EXPECT_EQ(reason, 300);
    for (std::string const& dir : {d / "i", d / "w"}) {
      for (auto const& entry : std::filesystem::directory_iterator(dir))
        EXPECT_LT(std::filesystem::file_size(entry.path()), 1u << 20) << entry.path();
    }
  }
}

// ---- randomized round trip ---------------------------------------------------------

std::vector<std::string> debianFileNames(size_t max) {
  std::vector<std::string> names;
  FILE* p = popen("dpkg -L coreutils bash libc6 2>/dev/null", "r");
  if (p == nullptr) return names;
  char line[4096];
  while (names.size() < max && std::fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    if (!s.empty() && s.size() <= 64) names.push_back(s);
  }
  pclose(p);
  return names;
}

void roundTrip(std::string const& base, bool fixed, uint32_t seed) {
  std::mt19937 rng(seed);
  uint16_t size = fixed ? 20 : 64;
  MapPair pair(base + "/i", base + "/w", size, fixed);
  std::set<std::string> used;
  std::vector<std::string> pool = debianFileNames(3000);
  auto fresh = [&]() {
    for (;;) {
      std::string s;
      if (!pool.empty() && rng() % 10 == 0) {
        s = pool[rng() % pool.size()];
      } else if (!used.empty() && rng() % 5 == 0) {
        auto it = used.lower_bound(std::string(1, char(rng() % 256)));
        if (it == used.end()) it = used.begin();
        s = it->substr(0, 1 + rng() % it->size());
      } else {
        size_t length = 1 + rng() % size;
        for (size_t i = 0; i < length; ++i) {
          uint32_t r = rng() % 8;
          s += r == 0 ? '\0' : r == 1 ? '\xFF' : char('a' + rng() % 26);
        }
      }
      if (fixed) s.resize(size, '#');
      if (s.size() > size) s.resize(size);
      if (used.insert(s).second) return s;
    }
  };
  std::map<uint64_t, std::string> byNumber;
  uint64_t next = 1;
  // Several transactions of names (large enough for many blocks of both
  // maps; the document-name mapping's round trip runs 100,000 names).
  for (int tx = 0; tx < 4; ++tx) {
    pair.begin();
    for (int i = 0; i < 6000; ++i) {
      std::string s = fresh();
      ASSERT_EQ(pair.assign(s), next);
      byNumber[next++] = s;
    }
    pair.end();
  }
  // Delete 10 %, then merge.
  std::set<uint64_t> deleted;
  pair.begin();
  for (auto const& e : byNumber)
    if (rng() % 10 == 0) {
      pair.remove(e.second);
      deleted.insert(e.first);
    }
  pair.end(true);
  auto dix = checkDix(pair, size, fixed);
  auto dex = checkDex(pair, size, fixed);
  EXPECT_EQ(dix.size(), byNumber.size() - deleted.size());
  EXPECT_EQ(dex.size(), dix.size());
  pair.read();
  // A deleted number above every number left in the map lies past its
  // last block (301); one below lies in a block that lacks it (304).
  uint64_t highestLeft = 0;
  for (auto const& e : byNumber)
    if (deleted.count(e.first) == 0) highestLeft = e.first;
  for (auto const& e : byNumber) {
    bool gone = deleted.count(e.first) != 0;
    uint64_t number = pair.number(e.second);
    ASSERT_EQ(number, gone ? 0 : e.first);
    if (gone) {
      int reason = thrown([&] { pair.name(e.first); }).reason;
      ASSERT_EQ(reason, e.first > highestLeft ? 301 : 304);
    } else {
      ASSERT_EQ(pair.name(e.first), e.second);
    }
  }
}

TEST_F(DocMapMaps, RoundTripSequential) { roundTrip(dir.path(), false, testSeed()); }
TEST_F(DocMapMaps, RoundTripFixed) { roundTrip(dir.path(), true, testSeed()); }

}  // namespace
