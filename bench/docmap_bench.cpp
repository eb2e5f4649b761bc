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
// Rates are bytes (sorts of entries) or items per second.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

}  // namespace

BENCHMARK_MAIN();
