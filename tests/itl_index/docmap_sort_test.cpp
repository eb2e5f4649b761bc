// Tests of the external sort of temporary map entries (differential
// against std::sort, single and multi-run), its sizing, and both
// quicksorts on small and degenerate inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "docmap_test_util.hpp"
#include "itl_docmap_sort.hpp"

using namespace docmap_test;

namespace {

// One temporary entry: number, length, name padded to keyLength.
std::string entry(uint64_t number, std::string const& name,
                  uint16_t keyLength) {
  std::string e;
  put64(e, 0, number);
  put16(e, 8, static_cast<uint16_t>(name.size()));
  e += name;
  e.resize(10 + keyLength, '\0');
  return e;
}

std::string randomName(std::mt19937& rng, uint16_t maxLength,
                       std::vector<std::string> const& earlier) {
  std::string name;
  if (!earlier.empty() && rng() % 3 == 0) {
    // Shared prefixes, prefix names and equal names.
    std::string const& other = earlier[rng() % earlier.size()];
    name = other.substr(0, rng() % (other.size() + 1));
    if (rng() % 4 == 0) return other;
  }
  size_t length = 1 + rng() % maxLength;
  while (name.size() < length)
    name += static_cast<char>(rng() % 4 == 0 ? rng() % 256 : 'a' + rng() % 3);
  name.resize(std::min<size_t>(name.size(), maxLength));
  return name;
}

struct SortCase {
  uint16_t keyLength;
  uint32_t entries;
  ItlStDocMapSortLimits limits;
};

TEST(DocMapSort, AgreesWithStdSort) {
  std::mt19937 rng(testSeed());
  TempDir dir("docmap_sort");
  ItlStDocMapSortLimits one;
  ItlStDocMapSortLimits small;  // forces the merge of several runs
  small.ulSingleRunLimit = 40000;
  small.uiMinShareEntries = 2;
  std::vector<SortCase> cases = {
      {8, 1, one},      {8, 500, one},      {64, 3000, one},
      {256, 200, one},  {8, 9000, small},   {24, 6000, small},
      {64, 2500, small}, {256, 700, small}, {16, 40000, small},
  };
  for (SortCase const& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.keyLength << " entries "
                                    << c.entries);
    uint32_t size = c.keyLength + 10;
    std::vector<std::string> names, entries;
    std::string file;
    for (uint32_t i = 0; i < c.entries; ++i) {
      names.push_back(randomName(rng, c.keyLength, names));
      entries.push_back(entry(i + 1, names.back(), c.keyLength));
      file += entries.back();
    }
    file += "xyz";  // a trailing piece shorter than an entry is ignored
    std::string tdm = dir / "ix.tdm", sdm = dir / "ix.sdm";
    writeFile(tdm, file);
    writeFile(sdm, std::string(size * (c.entries + 50), 'Z'));  // stale
    ItlClDocMapSort sort;
    ASSERT_EQ(sort.sortTempDex(tdm.c_str(), sdm.c_str(),
                               static_cast<uint16_t>(size), c.keyLength,
                               c.limits),
              0);
    // Model: stable sort by key (equal keys keep run, then input order
    // is not promised; only runs are ordered, so compare keys and the
    // multiset of entries).
    std::vector<std::string> expect = entries;
    std::sort(expect.begin(), expect.end(),
              [](std::string const& a, std::string const& b) {
                return a.compare(10, std::string::npos, b, 10,
                                 std::string::npos) < 0;
              });
    std::string sorted = readFile(sdm);
    ASSERT_EQ(sorted.size(), size_t{size} * c.entries);
    std::vector<std::string> got;
    for (uint32_t i = 0; i < c.entries; ++i)
      got.push_back(sorted.substr(size_t{i} * size, size));
    for (uint32_t i = 0; i < c.entries; ++i)
      ASSERT_EQ(got[i].substr(10), expect[i].substr(10)) << i;
    std::vector<std::string> a = got, b = entries;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_TRUE(a == b) << "not a permutation";
    ASSERT_GT(sort.getEntriesInBuffer(), 0u);
    ASSERT_LE(sort.getEntriesInBuffer(), sort.getEntriesPerBuffer());
    ASSERT_EQ(std::string(sort.getBuffer(),
                          size_t{sort.getEntriesInBuffer()} * size),
              sorted.substr(0, size_t{sort.getEntriesInBuffer()} * size));
    if (c.limits.ulSingleRunLimit >= file.size()) {
      ASSERT_EQ(sort.getEntriesInBuffer(), c.entries);
    }
  }
}

TEST(DocMapSort, EqualKeysTakeTheEarlierRunFirst) {
  TempDir dir("docmap_sort");
  ItlStDocMapSortLimits small;
  small.ulSingleRunLimit = 18 * 100;
  small.uiMinShareEntries = 1;
  std::string file;
  // 1000 entries of 4 names; numbers ascend with the position, so in the
  // output numbers ascend within each name when earlier runs come first.
  for (uint32_t i = 0; i < 1000; ++i)
    file += entry(i + 1, std::string(1, static_cast<char>('a' + i % 4)), 8);
  writeFile(dir / "t", file);
  ItlClDocMapSort sort;
  ASSERT_EQ(sort.sortTempDex((dir / "t").c_str(), (dir / "s").c_str(), 18, 8,
                             small),
            0);
  std::string sorted = readFile(dir / "s");
  ASSERT_EQ(sorted.size(), file.size());
  // Runs of 100 entries: within one run, the quicksort keeps no order;
  // across runs, every entry of run r precedes those of run r+1.
  for (size_t i = 18; i < sorted.size(); i += 18) {
    if (sorted[i + 10] != sorted[i - 18 + 10]) continue;
    uint64_t prev = get64(sorted, i - 18), cur = get64(sorted, i);
    ASSERT_LE((prev - 1) / 100, (cur - 1) / 100) << "at entry " << i / 18;
  }
}

TEST(DocMapSort, EmptyFileSortsToNothing) {
  TempDir dir("docmap_sort");
  writeFile(dir / "t", "");
  writeFile(dir / "s", "stale");
  ItlClDocMapSort sort;
  EXPECT_EQ(sort.sortTempDex((dir / "t").c_str(), (dir / "s").c_str(), 74, 64),
            0);
  EXPECT_EQ(sort.getMemorySize(), 0x400000u);
  EXPECT_EQ(sort.getEntriesInBuffer(), 0u);
  EXPECT_EQ(readFile(dir / "s"), "");
  EXPECT_EQ(sort.sortTempDex((dir / "none").c_str(), (dir / "s").c_str(), 74,
                             64),
            17);
}

TEST(DocMapSort, Sizing) {
  ItlStDocMapSortLimits limits;
  ItlStDocMapSortSizing s;
  struct Case {
    uint64_t size;
    uint32_t entry;
    int rc;
    uint32_t memory;  // 0: not checked
    uint32_t runs;
  };
  std::vector<Case> cases = {
      {0, 74, 0, 0x400000, 0},
      {74, 74, 0, 74, 1},
      {0x4FFFFFF, 74, 0, 0x4FFFFFF, 1},
      // Halves; the remainder of the halving forms a small third run.
      {0x4FFFFFF + 1, 74, 0, 0x2800000, 3},
      {74ULL * 1200000, 74, 0, 74 * 600000, 2},
      {74ULL * 5000000, 74, 0, 0, 0},
      // More than 512 runs.
      {0x4FFFFFFULL * 600, 74, 2, 0, 0},
      // Shares under 30 entries: huge entries.
      {0x4FFFFFFULL * 3, 0x4FFFFFF / 40, 2, 0, 0},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.size);
    ASSERT_EQ(itlDocMapSortSizing(c.size, c.entry, limits, s), c.rc);
    if (c.rc != 0) continue;
    if (c.memory != 0) {
      EXPECT_EQ(s.uiMemorySize, c.memory);
    }
    if (c.runs != 0) {
      EXPECT_EQ(s.uiRuns, c.runs);
    }
    EXPECT_LE(s.uiMemorySize, 0x4FFFFFFu);
    EXPECT_EQ(s.uiEntriesPerBuffer, s.uiMemorySize / c.entry);
    // The table holds every run the file forms.
    uint64_t entries = c.size / c.entry;
    uint64_t formed = (entries + s.uiEntriesPerBuffer - 1) / s.uiEntriesPerBuffer;
    EXPECT_EQ(s.uiRuns, formed);
    EXPECT_GE(s.uiRunTableSize, formed);
    EXPECT_GE(s.uiRunTableSize, 1u);
  }
  // S not a multiple of E.
  ASSERT_EQ(itlDocMapSortSizing(0x4FFFFFFULL * 2 + 37, 74, limits, s), 0);
  uint64_t entries = (0x4FFFFFFULL * 2 + 37) / 74;
  EXPECT_GE(uint64_t{s.uiRunTableSize} * s.uiEntriesPerBuffer, entries);
}

TEST(DocMapSort, QuickSortsOnSmallAndDegenerateInputs) {
  std::mt19937 rng(testSeed());
  auto shapes = [&](uint32_t n) {
    std::vector<std::vector<uint64_t>> v(5, std::vector<uint64_t>(n));
    for (uint32_t i = 0; i < n; ++i) {
      v[0][i] = rng();                          // random
      v[1][i] = 7;                              // equal
      v[2][i] = i;                              // sorted
      v[3][i] = n - i;                          // reversed
      v[4][i] = (uint64_t{rng() % 3} << 40) | (rng() % 3);  // few, > 2^32
    }
    return v;
  };
  for (uint32_t n : {0u, 1u, 2u, 3u, 17u, 1000u}) {
    for (auto values : shapes(n)) {
      std::vector<uint64_t> expect = values;
      std::sort(expect.begin(), expect.end());
      std::vector<uint64_t> numbers = values;
      itlSortDelEntries(numbers.data(), n);
      ASSERT_EQ(numbers, expect) << n;

      // Records of 18 bytes keyed by 8 bytes: the number big-endian.
      std::vector<std::string> records;
      for (uint64_t v : values) {
        std::string r(18, '\0');
        for (int i = 0; i < 8; ++i) r[10 + i] = static_cast<char>(v >> (56 - 8 * i));
        records.push_back(r);
      }
      std::vector<char*> pointers;
      for (std::string& r : records) pointers.push_back(&r[0]);
      QuikSort(pointers.data(), n, 18, 8);
      for (uint32_t i = 0; i < n; ++i) {
        uint64_t v = 0;
        for (int k = 0; k < 8; ++k)
          v = v << 8 | static_cast<unsigned char>(pointers[i][10 + k]);
        ASSERT_EQ(v, expect[i]) << n << " at " << i;
      }
    }
  }
  uint64_t a = 1ULL << 40, b = 5;
  EXPECT_GT(itlDocNoComp(&a, &b), 0);
  EXPECT_LT(itlDocNoComp(&b, &a), 0);
  EXPECT_EQ(itlDocNoComp(&a, &a), 0);
}

}  // namespace
