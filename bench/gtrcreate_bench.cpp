// The update cycle over real text: the project's ASCII sources, repeated to
// at least 30 MB, one document each, pooled through GTRcreateIndexOneDoc
// with an 8 MB pool, then GTRcreateIndexLast and GTRcreateIndexTerm.
// Counters: MB/s and documents/s of the pooling and of Last + Term, and
// the peak resident memory.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_index.hpp"
#include "calls/voz_gtrcreate.hpp"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> corpus(size_t minBytes) {
    const std::vector<std::string> texts = benchSourceTexts();
    std::vector<std::string> docs;
    size_t total = 0;
    while (total < minBytes && !texts.empty()) {
        for (const std::string& t : texts) {
            docs.push_back(t);
            total += t.size();
        }
    }
    return docs;
}

void BM_CreateCycle(benchmark::State& state) {
    static const std::vector<std::string> docs = corpus(30u << 20);
    size_t bytes = 0;
    for (const std::string& d : docs) bytes += d.size();
    const fs::path dir = fs::temp_directory_path() /
                         ("gtrcreate_bench." + std::to_string(getpid()));
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "work");
    const std::string out = (dir / "out").string();
    const std::string work = (dir / "work").string();
    double poolSec = 0, endSec = 0;
    for (auto _ : state) {
        GTRHCREATEPARM p = benchCreateParm(34, 1, 0);
        GTRSYSPARM sys = benchSysParm(8 << 20, 1 << 20, 'N');
        int32_t maxDoc = 0;
        GTRSTATUS st{};
        void* h = nullptr;
        GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B', &p,
                           &sys, &maxDoc, &st);
        const auto t0 = std::chrono::steady_clock::now();
        int32_t docno = 0;
        for (const std::string& d : docs) {
            if (st.retcode != 0) break;
            benchAddText(h, d, ++docno, &st);
        }
        const auto t1 = std::chrono::steady_clock::now();
        if (st.retcode == 0) GTRcreateIndexLast(h, &st);
        if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        const auto t2 = std::chrono::steady_clock::now();
        if (st.retcode != 0) {
            state.SkipWithError(("cycle failed: " + std::to_string(st.retcode) +
                                 "/" + std::to_string(st.errcode)).c_str());
            break;
        }
        poolSec += std::chrono::duration<double>(t1 - t0).count();
        endSec += std::chrono::duration<double>(t2 - t1).count();
    }
    fs::remove_all(dir);
    const double n = static_cast<double>(state.iterations());
    const double mb = static_cast<double>(bytes) / (1 << 20);
    state.counters["MB"] = mb;
    state.counters["pool_MB/s"] = mb * n / poolSec;
    state.counters["pool_docs/s"] = static_cast<double>(docs.size()) * n / poolSec;
    state.counters["end_MB/s"] = mb * n / endSec;
    state.counters["end_docs/s"] = static_cast<double>(docs.size()) * n / endSec;
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_MB"] = static_cast<double>(ru.ru_maxrss) / 1024;
}
BENCHMARK(BM_CreateCycle)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
