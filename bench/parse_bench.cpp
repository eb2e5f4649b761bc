// Document-layer parsing speed, shared by the parser benchmarks.
// Corpus: the HTML pages of python3.11-doc (/usr/share/doc/python3.11/html),
// concatenated up to 32 MB; the project's own sources when it is absent.
// Workloads:
//   BM_EngineCreateIndex  GTRcreateIndexOneDoc/Last/Term over the corpus as
//                         UTF-8 (code page 34), one document per page: the
//                         yardstick (MB/s).
//   BM_ScanUtf8           the input scanner over the corpus, CCSID 1208.
//   BM_ScanUtf16Mark      the same text as UTF-16 with a mark, CCSID 1200.
//   BM_Scan819            the corpus bytes read as CCSID 819.
//   BM_TagFinder20        characters per second through a 20-string tag
//                         finder, walked bit by bit as the GPP parser does.
//   BM_ParseText          every file of python3.11-doc's _sources as one TEXT
//                         document: scanner, plain-text parser, text
//                         document and a port that discards the text.
//   BM_ParseHtml          the concatenated HTML pages as one HTML document
//                         through the HTML parser, without a model, the
//                         same way.
//   BM_ParseGpp           the HTML pages repeated to 50 MB as one STRUCTURED
//                         document under a model of 20 start strings (the
//                         strings of BM_TagFinder20, most with end strings),
//                         the same way.
//   BM_ParseInso          for information: the HTML pages as lines of the
//                         stand-in filter libraries' toy format, one INSO
//                         document of up to 8 MB (built with the tests only).
// Each scanner run reports MB/s and its ratio to the engine's MB/s
// ("x_engine"; the goal is at least 5); every run prints a hash of its
// output so that fast-but-wrong shows (the parser runs: a digest of
// everything the port receives, from one extra pass outside the timing).
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_index.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "cos_memmgr.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_gpp_tag_finder.hpp"
#include "itl_documentmodels.hpp"
#include "itl_gppmodel.hpp"
#include "itl_gppparser.hpp"
#include "itl_htmlparser.hpp"
#include "itl_insoparser.hpp"
#include "itl_index_location.hpp"
#include "itl_textparser.hpp"
#include "itl_tldocument.hpp"
#include "bench_tl_port.hpp"

namespace {

namespace fs = std::filesystem;

constexpr size_t kCorpusBytes = 32u << 20;

std::vector<std::string> const& pages() {
  static std::vector<std::string> docs = [] {
    std::vector<std::string> out;
    size_t total = 0;
    fs::path root = "/usr/share/doc/python3.11/html";
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
      std::vector<fs::path> files;
      for (auto const& e : fs::recursive_directory_iterator(root, ec))
        if (e.is_regular_file() && e.path().extension() == ".html")
          files.push_back(e.path());
      std::sort(files.begin(), files.end());
      for (fs::path const& f : files) {
        std::ifstream in(f, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        out.push_back(ss.str());
        total += out.back().size();
        if (total >= kCorpusBytes) break;
      }
    }
    if (out.empty()) out = benchSourceTexts();
    std::fprintf(stderr, "corpus: %zu documents, %zu bytes%s\n", out.size(),
                 total, total ? "" : " (project sources)");
    return out;
  }();
  return docs;
}

std::string const& joined() {
  static std::string all = [] {
    std::string s;
    for (std::string const& p : pages()) s += p;
    return s;
  }();
  return all;
}

double& engineMBs() {
  static double v = 0;
  return v;
}

uint64_t hashUnits(unsigned short const* p, unsigned n) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

void BM_EngineCreateIndex(benchmark::State& state) {
  std::vector<std::string> const& docs = pages();
  size_t bytes = 0;
  for (std::string const& d : docs) bytes += d.size();
  fs::path dir = fs::temp_directory_path() /
                 ("parse_bench." + std::to_string(getpid()));
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "work");
  std::string out = (dir / "out").string(), work = (dir / "work").string();
  double sec = 0;
  for (auto _ : state) {
    GTRHCREATEPARM p = benchCreateParm(34, 1, 0);
    GTRSYSPARM sys = benchSysParm(8 << 20, 1 << 20, 'N');
    int32_t maxDoc = 0;
    GTRSTATUS st{};
    void* h = nullptr;
    auto t0 = std::chrono::steady_clock::now();
    GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B', &p,
                       &sys, &maxDoc, &st);
    int32_t docno = 0;
    for (std::string const& d : docs) {
      if (st.retcode != 0) break;
      benchAddText(h, d, ++docno, &st);
    }
    if (st.retcode == 0) GTRcreateIndexLast(h, &st);
    if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
    sec += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
               .count();
    if (st.retcode != 0) {
      state.SkipWithError("index creation failed");
      break;
    }
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
  }
  fs::remove_all(dir);
  double mb = static_cast<double>(bytes) / (1 << 20);
  engineMBs() = mb * static_cast<double>(state.iterations()) / sec;
  state.counters["MB/s"] = engineMBs();
}
BENCHMARK(BM_EngineCreateIndex)->Unit(benchmark::kSecond)->Iterations(1);

void runScanner(benchmark::State& state, std::string const& bytes,
                uint32_t ccsid) {
  ItlClDocumentInputScanner scanner;
  CosClMemoryPool pool(4096, 4096, 256);
  uint64_t h = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    scanner.reset();
    scanner.setInputText(pool, bytes.data(),
                         static_cast<unsigned>(bytes.size()), CosClCCSID(ccsid));
    unsigned n = 0;
    unsigned short const* text = scanner.getNextBuffer(n);
    benchmark::DoNotOptimize(text);
    h = n;
  }
  double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
                   .count();
  unsigned n = 0;
  scanner.reset();
  scanner.setInputText(pool, bytes.data(), static_cast<unsigned>(bytes.size()),
                       CosClCCSID(ccsid));
  unsigned short const* text = scanner.getNextBuffer(n);
  h = hashUnits(text, n);
  double mb = static_cast<double>(bytes.size()) / (1 << 20);
  double rate = mb * static_cast<double>(state.iterations()) / sec;
  state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) *
                          static_cast<int64_t>(state.iterations()));
  state.counters["MB/s"] = rate;
  if (engineMBs() > 0) state.counters["x_engine"] = rate / engineMBs();
  std::fprintf(stderr, "ccsid %u: %u units, hash %016llx\n", ccsid, n,
               static_cast<unsigned long long>(h));
}

void BM_ScanUtf8(benchmark::State& state) { runScanner(state, joined(), 1208); }
BENCHMARK(BM_ScanUtf8)->Unit(benchmark::kMillisecond);

void BM_ScanUtf16Mark(benchmark::State& state) {
  static std::string bytes = [] {
    std::string const& s = joined();
    std::string out(s.size() * 2 + 2, '\0');
    UErrorCode st = U_ZERO_ERROR;
    int32_t n = ucnv_convert("UTF-16LE", "UTF-8", &out[2],
                             static_cast<int32_t>(out.size() - 2), s.data(),
                             static_cast<int32_t>(s.size()), &st);
    out.resize(static_cast<size_t>(n) + 2);
    out[0] = '\xFF';
    out[1] = '\xFE';
    return out;
  }();
  runScanner(state, bytes, 1200);
}
BENCHMARK(BM_ScanUtf16Mark)->Unit(benchmark::kMillisecond);

void BM_Scan819(benchmark::State& state) { runScanner(state, joined(), 819); }
BENCHMARK(BM_Scan819)->Unit(benchmark::kMillisecond);

void BM_TagFinder20(benchmark::State& state) {
  static char const* const starts[20] = {
      "<div", "<p>", "</p>", "<a href", "</a>", "<span", "<pre", "<code",
      "<h1", "<h2", "<li>", "<ul", "<table", "<tr", "<td", "class=\"",
      "&amp;", "&lt;", "def ", "import "};
  std::vector<std::unique_ptr<ItlClGppModelItem>> items;
  ItlClGppTagFinder finder;
  for (char const* s : starts) {
    items.emplace_back(new ItlClGppModelItem());
    items.back()->setName("f");
    items.back()->setStartString(s);
    finder.registerTag(*items.back());
  }
  ItlClDocumentInputScanner scanner;
  CosClMemoryPool pool(4096, 4096, 256);
  std::string const& text = joined();
  scanner.setInputText(pool, text.data(), static_cast<unsigned>(text.size()),
                       CosClCCSID(1208));
  unsigned n = 0;
  unsigned short const* units = scanner.getNextBuffer(n);
  uint64_t matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (unsigned i = 0; i < n; ++i) {
      ItlClGppTagFinder::Node* node = finder.getRoot();
      for (unsigned j = i; j < n && node != nullptr && !node->isLeaf(); ++j) {
        unsigned short u = units[j];
        for (int b = 0; b < 16 && node != nullptr; ++b) node = node->child(u);
      }
      if (node != nullptr && node->isLeaf()) ++matches;
    }
    benchmark::DoNotOptimize(matches);
  }
  state.counters["chars/s"] = benchmark::Counter(
      static_cast<double>(n) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
  std::fprintf(stderr, "tag finder: %llu matches in %u units\n",
               static_cast<unsigned long long>(matches), n);
}
BENCHMARK(BM_TagFinder20)->Unit(benchmark::kMillisecond);

std::vector<std::string> const& textSources() {
  static std::vector<std::string> docs = [] {
    std::vector<std::string> out;
    std::error_code ec;
    fs::path root = "/usr/share/doc/python3.11/html/_sources";
    if (!fs::is_directory(root, ec)) return out;
    std::vector<fs::path> files;
    for (auto const& e : fs::recursive_directory_iterator(root, ec))
      if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (fs::path const& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      out.push_back(ss.str());
    }
    return out;
  }();
  return docs;
}

double seconds(timeval const& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Each document through scanner, parser and text document; MB/s of input.
// Also printed: the process's user and system time and page faults over
// the timed part, and the digest of one more pass (not timed).
// `model`: the model name handed to the parser; `raw`: the bytes go to the
// parser unconverted (filter-library documents).
void runParser(benchmark::State& state, ItlClParserABase& parser,
               std::vector<std::string> const& docs,
               char const* model = nullptr, bool raw = false) {
  if (docs.empty()) {
    state.SkipWithError("corpus not installed");
    return;
  }
  size_t bytes = 0;
  for (std::string const& d : docs) bytes += d.size();
  DiscardingPort port;
  CosClMemoryPool pool(65536, 65536, 256);
  ItlClTlDocument doc(port);
  doc.init(pool);
  NumberedId id;
  ItlClDocumentInputScanner scanner;
  // One document through scanner and parser into `doc`.
  auto parseOne = [&](std::string const& d) {
    pool.deleteAll();
    doc.startDocument(id, CosClCCSID(1208), CosClLanguage("en"));
    scanner.reset();
    if (raw)
      scanner.setInputTextNoConv(d.data(), static_cast<unsigned>(d.size()));
    else
      scanner.setInputText(pool, d.data(), static_cast<unsigned>(d.size()),
                           CosClCCSID(1208));
    parser.startDocument(ItlEnParserModus_Index, &doc, nullptr, nullptr, model);
    parser.processDocument(scanner);
    parser.endDocument();
  };
  uint64_t units = 0;
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (std::string const& d : docs) {
      parseOne(d);
      units += port.getBufferPosition();
      doc.endDocument();
    }
  }
  double sec = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
                   .count();
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  double mb = static_cast<double>(bytes) / (1 << 20);
  double rate = mb * static_cast<double>(state.iterations()) / sec;
  state.counters["MB/s"] = rate;
  if (engineMBs() > 0) state.counters["x_engine"] = rate / engineMBs();
  std::fprintf(stderr,
               "parsed %zu documents, %llu bytes of index text; timed part: "
               "user %.3f s, system %.3f s, %ld page faults\n",
               docs.size(), static_cast<unsigned long long>(units),
               seconds(after.ru_utime) - seconds(before.ru_utime),
               seconds(after.ru_stime) - seconds(before.ru_stime),
               after.ru_minflt - before.ru_minflt);
  // One more pass, not timed, through a port that digests what it gets.
  port.digest = true;
  for (std::string const& d : docs) {
    parseOne(d);
    doc.endDocument();
  }
  std::fprintf(stderr, "output digest %016llx\n",
               static_cast<unsigned long long>(port.hash));
}

struct NoModels {
  ItlClIndexLocation location{"bench", "/nonexistent"};
  ItlClErrorInfo info;
  ItlClDocumentModels models{location, info};
};

void BM_ParseText(benchmark::State& state) {
  NoModels m;
  ItlClParserText parser(m.info, m.models);
  runParser(state, parser, textSources());
}
BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond);

void BM_ParseHtml(benchmark::State& state) {
  NoModels m;
  // Warnings of the pages (unknown references) must not end a document.
  m.info.setWarningThreshold(0);
  ItlClParserHTML parser(m.info, m.models);
  static std::vector<std::string> one{joined()};
  runParser(state, parser, one);
}
BENCHMARK(BM_ParseHtml)->Unit(benchmark::kMillisecond);

// A model store in a temporary index directory, removed at the end.
struct TempModels {
  fs::path dir = fs::temp_directory_path() /
                 ("parse_bench_models." + std::to_string(getpid()));
  std::unique_ptr<ItlClIndexLocation> location;
  ItlClErrorInfo info;
  std::unique_ptr<ItlClDocumentModels> models;
  TempModels() {
    fs::create_directories(dir);
    location.reset(new ItlClIndexLocation("bench", dir.c_str()));
    models.reset(new ItlClDocumentModels(*location, info));
    models->onIndexFileCreate();
  }
  ~TempModels() {
    models.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

void BM_ParseGpp(benchmark::State& state) {
  // Start and end strings (XML-escaped); no start string is a prefix of
  // another.
  static char const* const items[20][2] = {
      {"&lt;div", "&gt;"}, {"&lt;p&gt;", nullptr}, {"&lt;/p&gt;", nullptr},
      {"&lt;a href", "&lt;/a&gt;"}, {"&lt;/a&gt;", nullptr},
      {"&lt;span", "&gt;"}, {"&lt;pre", "&lt;/pre&gt;"},
      {"&lt;code", "&lt;/code&gt;"}, {"&lt;h1", "&lt;/h1&gt;"},
      {"&lt;h2", "&lt;/h2&gt;"}, {"&lt;li&gt;", nullptr}, {"&lt;ul", "&gt;"},
      {"&lt;table", "&gt;"}, {"&lt;tr", "&gt;"}, {"&lt;td", "&gt;"},
      {"class=\"", "\""}, {"&amp;amp;", nullptr}, {"&amp;lt;", nullptr},
      {"def ", "("}, {"import ", "&#10;"}};
  std::string model = "<GPPModel>";
  for (unsigned i = 0; i < 20; ++i) {
    model += "<GPPFieldDefinition name='f" + std::to_string(i) + "' start='" +
             items[i][0] + "'";
    if (items[i][1] != nullptr) model += std::string(" end='") + items[i][1] + "'";
    model += "/>";
  }
  model += "</GPPModel>";
  TempModels m;
  m.models->add("twenty", model.data(), static_cast<unsigned>(model.size()));
  m.info.setWarningThreshold(0);
  static std::vector<std::string> one = [] {
    std::string d;
    while (d.size() < (50u << 20)) d += joined();
    d.resize(50u << 20);
    return std::vector<std::string>{d};
  }();
  ItlClParserGpp parser(m.info, *m.models);
  runParser(state, parser, one, "twenty");
}
BENCHMARK(BM_ParseGpp)->Unit(benchmark::kMillisecond);

#ifdef TI_FILTER_STANDIN_DIR
void BM_ParseInso(benchmark::State& state) {
  TempModels m;
  m.info.setWarningThreshold(0);
  // The pages' lines, none read as a toy-format command.
  static std::vector<std::string> one = [] {
    std::string d;
    std::istringstream in(joined());
    std::string line;
    while (d.size() < (8u << 20) && std::getline(in, line))
      d += (line.empty() || line[0] != '@' ? line : " " + line) + "\n";
    return std::vector<std::string>{d};
  }();
  ItlClParserINSO parser(m.info, TI_FILTER_STANDIN_DIR, *m.models);
  parser.init();
  runParser(state, parser, one, nullptr, true);
}
BENCHMARK(BM_ParseInso)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
