// docmap_bench.cpp: speed of the document-number maps.
//
// Workloads (fixed seed; files in /dev/shm when writable, else /tmp):
//   BM_SortTempDex/<n>     the external sort of n temporary entries of name
//                          size 64 (74 bytes each): 1 M fits one run,
//                          1.2 M (89 MB) forms several
//   BM_StdSortBaseline/<n> the same entries sorted in memory with std::sort
//                          plus one sequential read and write of the file:
//                          the target is at most 2x this
//   BM_SortDelEntries/<n>  itlSortDelEntries on n random numbers
//   BM_StdSortNumbers/<n>  std::sort of the same (target: at most 1.5x)
//   BM_DixLookup/<fixed>/<order>  number to name on a 1 M-name map
//                          (variable names of up to 64 bytes, or fixed
//                          names of 32): order 0 random, 1 ascending
//   BM_DexLookup/<fixed>/<order>  name to number, random or sorted
//   BM_DexMerge/<existing> the merge of 1 M sorted names into an empty
//                          (0) or a 1 M-name (1) map, bytes of the new
//                          data file per second
//   BM_SequentialWrite     a plain write of as many bytes (the baseline
//                          of the merge: at least half its speed)
//   BM_MappingTransaction/<existing>  1 M random names in one transaction
//                          of the document-name mapping, into an empty (0)
//                          or a 1 M-name (1) index: counters assign_s,
//                          end_s, commit_s and sort_s (the sort of the
//                          same entries alone; target: end + commit at
//                          most 3x sort_s)
//   BM_OneDocument         a 1-document transaction on a 1 M-name index:
//                          working copy, end (the ".ded" rewrite, the
//                          known hot spot) and commit, each in multiples
//                          of one plain copy of the four map files
// Rates are bytes (sorts of entries) or items per second.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "docmap_pair.hpp"
#include "itl_docname_mapping.hpp"
#include "itl_error.hpp"
#include "itl_docmap_sort.hpp"

namespace {

constexpr uint16_t KEY = 64, ENTRY = KEY + 10;

std::string scratch(char const* name) {
  return std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
         "/docmap_bench_" + std::to_string(getpid()) + name;
}

std::string const& entries(size_t n) {
  static std::string bytes;
  static size_t made = 0;
  if (made != n) {
    std::mt19937 rng(64);
    bytes.assign(n * ENTRY, '\0');
    for (size_t i = 0; i < n; ++i) {
      char* e = &bytes[i * ENTRY];
      uint64_t number = i + 1;
      std::memcpy(e, &number, 8);
      std::string name = "/usr/share/doc/pkg" + std::to_string(rng() % 50000) +
                         "/file" + std::to_string(rng());
      uint16_t length = static_cast<uint16_t>(name.size());
      std::memcpy(e + 8, &length, 2);
      std::memcpy(e + 10, name.data(), name.size());
    }
    made = n;
  }
  return bytes;
}

void writeAll(std::string const& path, std::string const& bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    std::abort();
  close(fd);
}

void BM_SortTempDex(benchmark::State& state) {
  size_t n = static_cast<size_t>(state.range(0));
  std::string const& bytes = entries(n);
  std::string tdm = scratch(".tdm"), sdm = scratch(".sdm");
  ItlClDocMapSort sort;
  for (auto _ : state) {
    state.PauseTiming();
    writeAll(tdm, bytes);
    state.ResumeTiming();
    if (sort.sortTempDex(tdm.c_str(), sdm.c_str(), ENTRY, KEY) != 0)
      state.SkipWithError("sort failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  unlink(tdm.c_str());
  unlink(sdm.c_str());
}
BENCHMARK(BM_SortTempDex)->Arg(1000000)->Arg(1200000)->Unit(benchmark::kMillisecond);

void BM_StdSortBaseline(benchmark::State& state) {
  size_t n = static_cast<size_t>(state.range(0));
  std::string const& bytes = entries(n);
  std::string tdm = scratch(".tdm"), sdm = scratch(".sdm");
  std::string buffer(bytes.size(), '\0');
  for (auto _ : state) {
    state.PauseTiming();
    writeAll(tdm, bytes);
    state.ResumeTiming();
    int fd = open(tdm.c_str(), O_RDONLY);
    if (read(fd, &buffer[0], buffer.size()) != ssize_t(buffer.size())) std::abort();
    close(fd);
    std::vector<char const*> pointers(n);
    for (size_t i = 0; i < n; ++i) pointers[i] = &buffer[i * ENTRY];
    std::sort(pointers.begin(), pointers.end(), [](char const* a, char const* b) {
      return std::memcmp(a + 10, b + 10, KEY) < 0;
    });
    std::string out(bytes.size(), '\0');
    for (size_t i = 0; i < n; ++i) std::memcpy(&out[i * ENTRY], pointers[i], ENTRY);
    writeAll(sdm, out);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  unlink(tdm.c_str());
  unlink(sdm.c_str());
}
BENCHMARK(BM_StdSortBaseline)->Arg(1000000)->Arg(1200000)->Unit(benchmark::kMillisecond);

std::vector<uint64_t> numbers(size_t n) {
  std::mt19937_64 rng(7);
  std::vector<uint64_t> v(n);
  for (auto& x : v) x = rng() % (1ULL << 40);
  return v;
}

void BM_SortDelEntries(benchmark::State& state) {
  std::vector<uint64_t> const source = numbers(size_t(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<uint64_t> v = source;
    state.ResumeTiming();
    itlSortDelEntries(v.data(), static_cast<uint32_t>(v.size()));
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SortDelEntries)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_StdSortNumbers(benchmark::State& state) {
  std::vector<uint64_t> const source = numbers(size_t(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<uint64_t> v = source;
    state.ResumeTiming();
    std::sort(v.begin(), v.end());
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_StdSortNumbers)->Arg(1000000)->Unit(benchmark::kMillisecond);

// ---- maps of 1 M names ------------------------------------------------------

constexpr int NAMES = 1000000;

std::string mapName(int i, bool fixed) {
  char b[64];
  if (fixed)
    std::snprintf(b, sizeof b, "doc-%028d", (i * 7919) % NAMES);
  else
    std::snprintf(b, sizeof b, "/srv/docs/%d/item-%d.txt", i % 977, i);
  return b;
}

docmap_test::MapPair& map(bool fixed) {
  static std::unique_ptr<docmap_test::MapPair> maps[2];
  std::unique_ptr<docmap_test::MapPair>& m = maps[fixed];
  if (!m) {
    std::string base = scratch(fixed ? "_fix" : "_seq");
    m.reset(new docmap_test::MapPair(base + "i", base + "w", fixed ? 32 : 64,
                                     fixed));
    m->begin();
    for (int i = 0; i < NAMES; ++i) m->assign(mapName(i, fixed));
    m->end();
    m->read();
  }
  return *m;
}

void BM_DixLookup(benchmark::State& state) {
  bool fixed = state.range(0) != 0, ascending = state.range(1) != 0;
  docmap_test::MapPair& m = map(fixed);
  std::mt19937 rng(1);
  uint64_t n = 0, sum = 0;
  for (auto _ : state) {
    n = ascending ? n % NAMES + 1 : 1 + rng() % NAMES;
    sum += m.name(n).size();
  }
  state.counters["bytes"] = double(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DixLookup)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

void BM_DexLookup(benchmark::State& state) {
  bool fixed = state.range(0) != 0, sorted = state.range(1) != 0;
  docmap_test::MapPair& m = map(fixed);
  static std::vector<std::string> names[2];
  if (names[fixed].empty()) {
    for (int i = 0; i < NAMES; ++i) names[fixed].push_back(mapName(i, fixed));
    std::sort(names[fixed].begin(), names[fixed].end());
  }
  std::vector<std::string> const& list = names[fixed];
  std::mt19937 rng(2);
  size_t at = 0;
  uint64_t sum = 0;
  for (auto _ : state) {
    at = sorted ? (at + 1) % list.size() : rng() % list.size();
    sum += m.number(list[at]);
  }
  state.counters["sum"] = double(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DexLookup)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

void BM_DexMerge(benchmark::State& state) {
  bool existing = state.range(0) != 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string base = scratch("_merge");
    std::string cleanup = "rm -rf " + base + "i " + base + "w";
    if (std::system(cleanup.c_str()) != 0) std::abort();
    docmap_test::MapPair m(base + "i", base + "w", 64, false);
    if (existing) {
      m.begin();
      for (int i = 0; i < NAMES; ++i) m.assign(mapName(i, false) + "/old");
      m.end();
    }
    m.begin();
    for (int i = 0; i < NAMES; ++i) m.assign(mapName(i, false));
    m.dix->writeTempDataBlock(true);
    m.dix->addTempDataToIndexFile(false, false);
    m.dix->writeControlRecord(-1);
    m.dix->closeTempFile();
    ItlClDocMapSort sort;
    if (sort.sortTempDex(m.work(".tdm").c_str(), m.work(".sdm").c_str(),
                         m.dex->getSeqEntrySize(), 64) != 0)
      std::abort();
    state.ResumeTiming();
    m.dex->addTempDataToIndexFiles(m.work(".sdm").c_str(),
                                   m.work(".ted").c_str(), sort.getBuffer(),
                                   sort.getEntriesInBuffer(), true);
    state.PauseTiming();
    struct stat st;
    stat(m.work(".xed").c_str(), &st);
    bytes += st.st_size;
    if (std::system(cleanup.c_str()) != 0) std::abort();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DexMerge)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SequentialWrite(benchmark::State& state) {
  std::string block(32768, 'x');
  std::string path = scratch(".seq");
  for (auto _ : state) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (int i = 0; i < 1200; ++i)
      if (write(fd, block.data(), block.size()) != 32768) std::abort();
    close(fd);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 1200 * 32768);
  unlink(path.c_str());
}
BENCHMARK(BM_SequentialWrite)->Unit(benchmark::kMillisecond);

// ---- the document-name mapping ---------------------------------------------

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since)
      .count();
}

struct MappingIndex {
  std::string base;
  ItlClErrorInfo info;
  std::unique_ptr<ItlClIndexLocation> location;
  explicit MappingIndex(char const* tag) : base(scratch(tag)) {
    std::string cleanup = "rm -rf " + base + "i " + base + "w";
    if (std::system(cleanup.c_str()) != 0) std::abort();
    mkdir((base + "i").c_str(), 0700);
    mkdir((base + "w").c_str(), 0700);
    location.reset(new ItlClIndexLocation("ix", (base + "i").c_str(),
                                          (base + "w").c_str()));
  }
  ~MappingIndex() {
    std::string cleanup = "rm -rf " + base + "i " + base + "w";
    if (std::system(cleanup.c_str()) != 0) std::abort();
  }
  std::unique_ptr<ItlClDocumentNameMapping> open() {
    std::unique_ptr<ItlClDocumentNameMapping> m(
        new ItlClDocumentNameMapping(info, *location));
    m->setNameLayout(64, false);
    return m;
  }
};

void assignName(ItlClDocumentNameMapping& m, std::string const& name) {
  _ItlStDocumentId id{name.data(), static_cast<uint16_t>(name.size())};
  uint64_t number;
  bool isNew;
  m.assignDocumentNameToNumber(&id, &number, isNew);
}

void fill(MappingIndex& index, char const* suffix) {
  auto m = index.open();
  for (int i = 0; i < NAMES; ++i) assignName(*m, mapName(i, false) + suffix);
  m->onIndexFileEndTransaction();
  m->onIndexFileCommitTransaction();
}

void BM_MappingTransaction(benchmark::State& state) {
  for (auto _ : state) {
    MappingIndex index("_mapping");
    if (state.range(0) != 0) fill(index, "/old");
    std::vector<std::string> names;
    std::mt19937 rng(3);
    for (int i = 0; i < NAMES; ++i) names.push_back(mapName(int(rng() % 100000000), false) + "/n" + std::to_string(i));
    auto m = index.open();
    auto t = std::chrono::steady_clock::now();
    for (std::string const& n : names) assignName(*m, n);
    state.counters["assign_s"] = seconds(t);
    t = std::chrono::steady_clock::now();
    m->onIndexFileEndTransaction();
    state.counters["end_s"] = seconds(t);
    // The sort alone, on a copy of the same temporary entries.
    std::string tdm = index.base + "w/ix.tdm";
    std::string copy = index.base + "w/copy.tdm", sorted = index.base + "w/copy.sdm";
    std::string command = "cp " + tdm + " " + copy;
    if (std::system(command.c_str()) == 0) {
      ItlClDocMapSort sort;
      t = std::chrono::steady_clock::now();
      sort.sortTempDex(copy.c_str(), sorted.c_str(), 74, 64);
      state.counters["sort_s"] = seconds(t);
      unlink(copy.c_str());
      unlink(sorted.c_str());
    }
    t = std::chrono::steady_clock::now();
    m->onIndexFileCommitTransaction();
    state.counters["commit_s"] = seconds(t);
  }
}
BENCHMARK(BM_MappingTransaction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_OneDocument(benchmark::State& state) {
  for (auto _ : state) {
    MappingIndex index("_one");
    fill(index, "");
    auto t = std::chrono::steady_clock::now();
    std::string command = "mkdir -p " + index.base + "c && cp " + index.base +
                          "i/ix.d* " + index.base + "c/";
    if (std::system(command.c_str()) != 0) std::abort();
    double plainCopy = seconds(t);
    auto m = index.open();
    t = std::chrono::steady_clock::now();
    m->copyFileSetToWorking();
    double workingCopy = seconds(t);
    assignName(*m, "one more document");
    t = std::chrono::steady_clock::now();
    m->onIndexFileEndTransaction();
    double end = seconds(t);
    t = std::chrono::steady_clock::now();
    m->onIndexFileCommitTransaction();
    double install = seconds(t);
    state.counters["copy_x"] = workingCopy / plainCopy;
    state.counters["ded_rewrite_x"] = end / plainCopy;
    state.counters["install_x"] = install / plainCopy;
    command = "rm -rf " + index.base + "c";
    if (std::system(command.c_str()) != 0) std::abort();
  }
}
BENCHMARK(BM_OneDocument)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
