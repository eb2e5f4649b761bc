// Throughput of documents through the update handles: MB/s of TEXT (the
// text sources of python3.11-doc) and of HTML (its pages) through
// itlIndexUpdateDocument, process and commit, in transactions of 1, 100
// and all documents; and the time of a one-document commit on an index
// that already holds many documents. Skips what is absent.
//   build/bench/itl_update_bench --benchmark_filter=Html
//   ITL_BENCH_BIG=100000 build/bench/itl_update_bench --benchmark_filter=One
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "update_fixture.hpp"

namespace {

namespace fs = std::filesystem;

struct Corpus {
  std::vector<std::string> names, texts;
  size_t bytes = 0;
};

Corpus const& corpus(bool html) {
  static Corpus pages[2];
  static bool loaded[2] = {false, false};
  Corpus& c = pages[html ? 1 : 0];
  if (loaded[html ? 1 : 0]) return c;
  loaded[html ? 1 : 0] = true;
  std::string root = html ? "/usr/share/doc/python3.11/html"
                          : "/usr/share/doc/python3.11/html/_sources";
  if (!fs::is_directory(root)) return c;
  std::vector<std::string> files;
  for (auto const& e : fs::recursive_directory_iterator(root)) {
    std::string ext = e.path().extension().string();
    if (!e.is_regular_file()) continue;
    if (html ? ext == ".html" : ext == ".txt")
      files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  for (auto const& f : files) {
    if (!html && f.find("/_sources/") == std::string::npos) continue;
    std::ifstream in(f, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    c.names.push_back(fs::relative(f, root).string().substr(0, 250));
    c.texts.push_back(s.str());
    c.bytes += c.texts.back().size();
  }
  return c;
}

// Adds every document of `c` in transactions of `batch` (0: all).
void addAll(upfix::ApiIndex& ix, Corpus const& c, size_t batch,
            ItlEnDocumentFormat format) {
  ItlTyIndexUpdateHandle update = nullptr;
  ItlTyDocumentIDHandle id = nullptr;
  itlHandleNewIndexUpdate(ix.index, &update);
  itlHandleNewDocumentID(ix.index, &id);
  for (size_t i = 0; i < c.texts.size(); ++i) {
    itlDocumentIDSetName(id, c.names[i].data(),
                         static_cast<uint32_t>(c.names[i].size()));
    ItlTyCCSID ccsid = 1208;
    itlIndexUpdateDocument(update, id, format, nullptr, c.texts[i].data(),
                           static_cast<uint32_t>(c.texts[i].size()), &ccsid,
                           "en_US");
    if (batch != 0 && (i + 1) % batch == 0) {
      itlIndexUpdateProcess(update);
      itlIndexUpdateCommit(update);
    }
  }
  itlIndexUpdateProcess(update);
  itlIndexUpdateCommit(update);
  itlHandleDeleteDocumentID(&id);
  itlHandleDeleteIndexUpdate(&update);
}

void run(benchmark::State& state, bool html) {
  Corpus const& c = corpus(html);
  if (c.texts.empty()) {
    state.SkipWithError("python3.11-doc absent");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    upfix::ApiIndex ix;
    state.ResumeTiming();
    addAll(ix, c, static_cast<size_t>(state.range(0)),
           html ? ItlEnDocumentFormat_Html : ItlEnDocumentFormat_Text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(c.bytes));
}

void BM_Text(benchmark::State& state) { run(state, false); }
void BM_Html(benchmark::State& state) { run(state, true); }
BENCHMARK(BM_Text)->Arg(1)->Arg(100)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Html)->Arg(1)->Arg(100)->Arg(0)->Unit(benchmark::kMillisecond);

// One document committed on an index of ITL_BENCH_BIG (default 10,000)
// small documents.
void BM_OneDocumentCommit(benchmark::State& state) {
  char const* env = std::getenv("ITL_BENCH_BIG");
  size_t big = env != nullptr ? std::strtoul(env, nullptr, 10) : 10000;
  Corpus c;
  for (size_t i = 0; i < big; ++i) {
    c.names.push_back("d" + std::to_string(i));
    c.texts.push_back("word" + std::to_string(i % 997) + " shared text");
  }
  upfix::ApiIndex ix;
  addAll(ix, c, 0, ItlEnDocumentFormat_Text);
  size_t n = 0;
  for (auto _ : state) {
    std::string name = "extra" + std::to_string(n++);
    upfix::addDocuments(ix.index,
                        {upfix::Document(name, ItlEnDocumentFormat_Text,
                                         "one more document")});
  }
  state.counters["documents"] = static_cast<double>(big);
}
BENCHMARK(BM_OneDocumentCommit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
