// itl_bench.cpp -- the library's exported functions measured against the
// engine calls alone and the engine's peers (SQLite FTS5, Xapian) on one
// corpus in one run.
//
//   itl_bench [--corpus <dir>] [--per-class <n>] [--repeat <n>] [--seed <n>]
//             [--work <dir>] [--only library|text|engine|fts5|xapian]
//
// Corpus: every ".html" file below <dir> (default python3.11-doc's
// /usr/share/doc/python3.11/html), in path order; without it the program
// says so and exits 0. The query mix is engine_bench's (its classes, drawn
// with a fixed seed from the words of the pages' text).
//
// Each system runs in a child process of its own (engine_bench_run.hpp),
// so that its peak resident memory is its own:
//   library        the HTML pages through itlIndexUpdateDocument (format
//                  HTML), one transaction (process and commit timed as
//                  "finish"); then the mix, built, processed and walked
//                  through the exported query functions: the first 10
//                  elements' numbers and names (top10: ranked, limit 10)
//   library, text  the pages' text without tags (what the engine and the
//                  peers are fed) as TEXT documents: indexing only, so that
//                  the library's own cost shows on the same bytes as the
//                  engine's
//   engine calls   indexing: the same text through GTRcreateIndex* with
//                  the records the library passes (read from a library
//                  index: its create and system parameters, mode); queries: in the library's
//                  process, right after each library query, the condition
//                  the library built through GTRsearchIndex on the
//                  library's index and GTRsearchIndex_LookResult_Doc over
//                  the same 10 elements (top10: the same ranking request);
//                  library and engine calls take turns at running first
//   FTS5, Xapian   the text, engine_bench_peers.cpp's queries
// Every library answer (count of documents and the 10 walked numbers) is
// checked against the engine calls' on every run of every query; in the
// untimed first round every document number of the two answers is
// compared. The table shows indexing MB/s (of each system's input bytes)
// and peak memory, query p50/p99 per class, and the library's ratios.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "calls/voz_gtrresult.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "engine_bench.hpp"
#include "engine_bench_run.hpp"
#include "itl_api.h"
#include "itl_api_index.hpp"
#include "itl_api_query.hpp"
#include "itl_api_search_handle.hpp"
#include "itl_kernel_interface.hpp"
#include "itl_query_result.hpp"

namespace {

namespace fs = std::filesystem;
using namespace ebench;

constexpr size_t kWalk = 10;

struct Options {
  std::string corpus = "/usr/share/doc/python3.11/html";
  std::string work;
  std::string only;  // one system: library, text, engine, fts5, xapian
  int perClass = 20;
  uint32_t seed = 1;
  RunOptions run;
};

// The text of an HTML page without its tags.
std::string withoutTags(std::string const& html) {
  std::string out;
  out.reserve(html.size());
  bool inTag = false;
  for (char c : html) {
    if (c == '<') inTag = true;
    if (!inTag) out += c;
    if (c == '>') {
      inTag = false;
      out += ' ';
    }
  }
  return out;
}

std::vector<Doc> readPages(std::string const& root) {
  std::vector<std::string> files;
  for (auto const& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && e.path().extension() == ".html")
      files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  std::vector<Doc> pages;
  for (std::string const& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    if (!s.str().empty())
      pages.push_back({f.substr(root.size() + 1), s.str()});
  }
  return pages;
}

// ---- the library ---------------------------------------------------------------

// An index made and kept through the exported functions.
struct LibraryIndex {
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle index = nullptr;

  std::string error(char const* what, int rc) const {
    char const* c = itlErrorInfoGetContext(ei);
    return std::string(what) + " rc=" + std::to_string(rc) + " reason=" +
           std::to_string(itlErrorInfoGetReasonCode(ei)) + " " +
           (c != nullptr ? c : "");
  }

  // Creates the index "ix" in `dir` (case respected, one block mode off,
  // as the library's tests make theirs).
  bool create(std::string const& dir, std::string* failure) {
    fs::create_directories(dir);
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    std::string const ini = dir + "/template.ini";
    std::ofstream(ini) << "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
                          "[IndexV4]\nBlockMode = OFF\n";
    int rc = itlHandleNewIndex(ctx, "ix", dir.c_str(), &index);
    if (rc <= 4) rc = itlIndexSetWorkingDirectory(index, dir.c_str());
    if (rc <= 4) rc = itlIndexCreate(index, ini.c_str());
    if (rc > 4) *failure = error("create", rc);
    return rc <= 4;
  }
  ~LibraryIndex() {
    if (index != nullptr) itlHandleDeleteIndex(&index);
    if (ctx != nullptr) itlHandleDeleteContext(&ctx);
    if (ei != nullptr) itlHandleDeleteErrorInfo(&ei);
  }

  // One transaction of every document; feed, then process and commit.
  BuildFigures build(std::vector<Doc> const& docs, ItlEnDocumentFormat format) {
    BuildFigures f;
    ItlTyIndexUpdateHandle update = nullptr;
    ItlTyDocumentIDHandle id = nullptr;
    int rc = itlHandleNewIndexUpdate(index, &update);
    if (rc <= 4) rc = itlHandleNewDocumentID(index, &id);
    Clock::time_point t0 = Clock::now();
    for (size_t i = 0; i < docs.size() && rc <= 4; ++i) {
      Doc const& d = docs[i];
      rc = itlDocumentIDSetName(id, d.name.data(),
                                static_cast<uint32_t>(d.name.size()));
      ItlTyCCSID ccsid = 1208;
      if (rc <= 4)
        rc = itlIndexUpdateDocument(update, id, format, nullptr, d.text.data(),
                                    static_cast<uint32_t>(d.text.size()), &ccsid,
                                    "en_US");
      if (rc > 4) f.error = error(d.name.c_str(), rc);
    }
    f.feedSec = secondsSince(t0);
    Clock::time_point t1 = Clock::now();
    if (rc <= 4) rc = itlIndexUpdateProcess(update);
    if (rc <= 4) rc = itlIndexUpdateCommit(update);
    f.finishSec = secondsSince(t1);
    if (rc > 4 && f.error.empty()) f.error = error("process/commit", rc);
    if (rc > 4) itlIndexUpdateRollback(update);
    itlHandleDeleteDocumentID(&id);
    itlHandleDeleteIndexUpdate(&update);
    f.ok = rc <= 4;
    return f;
  }
};

// One query built through the exported functions on a reused query
// handle; false when an operand is refused.
bool buildQuery(ItlTyContextHandle ctx, ItlTyQueryHandle q, Query const& query) {
  auto term = [&](std::string const& text, bool masks, int precision) {
    ItlTySearchStringHandle string = nullptr;
    ItlTySearchTermHandle t = nullptr;
    bool ok = itlHandleNewSearchString(text.data(),
                                       static_cast<uint32_t>(text.size()),
                                       &string, ctx) <= 4;
    if (ok && masks) ok = itlSearchStringSetMasks(string, "?", 1, "*", 1) <= 4;
    if (ok) ok = itlHandleNewSearchTerm(string, &t, ctx) <= 4;
    if (ok && masks) ok = itlSearchTermPreferMasks(t, true) <= 4;
    if (ok && precision != 0)
      ok = itlSearchTermSetPrecision(t, static_cast<ItlTyPrecision>(precision)) <= 4;
    if (ok) ok = itlQueryAddSearchTerm(q, t) <= 4;
    itlHandleDeleteSearchTerm(&t);
    itlHandleDeleteSearchString(&string);
    return ok;
  };
  std::vector<std::string> const& w = query.words;
  std::string const& cls = query.cls;
  if (cls == "prefix") return term(w[0] + "*", true, 0);
  if (cls == "suffix") return term("*" + w[0], true, 0);
  if (cls == "fuzzy") return term(w[0], false, 80);
  for (size_t i = 0; i < w.size(); ++i) {
    if (!term(w[i], false, 0)) return false;
    if (i == 0) continue;
    int rc = 0;
    if (cls == "dist5" || cls == "sent")
      rc = itlQueryAddProximityOperator(q, cls == "sent" ? 0 : 5,
                                        ItlEnOperatorMode_Strict);
    else
      rc = itlQueryAddBooleanOperator(
          q,
          cls == "or" || cls == "top10"
              ? ItlEnOperator_Or
              : cls == "not" ? ItlEnOperator_AndNot : ItlEnOperator_And,
          ItlEnOperatorMode_Strict);
    if (rc > 4) return false;
  }
  return true;
}

struct Answer {
  std::vector<int32_t> numbers;  // the walked documents, in list order
  uint64_t found = 0;
};

// The library's handles of the query loop.
struct LibraryQuery {
  ItlTyIndexSearchHandle search = nullptr;
  ItlTyQueryHandle q = nullptr;
  ItlTyQueryResultHandle result = nullptr;
  ItlTyDocumentIDHandle id = nullptr;

  explicit LibraryQuery(LibraryIndex& ix) {
    itlHandleNewIndexSearch(ix.index, &search);
    itlHandleNewQuery(search, "en_US", 1208, &q);
    itlHandleNewQueryResult(&result, ix.ctx);
    itlHandleNewDocumentID(ix.index, &id);
  }
  ~LibraryQuery() {
    itlHandleDeleteDocumentID(&id);
    itlHandleDeleteQueryResult(&result);
    itlHandleDeleteQuery(&q);
    itlHandleDeleteIndexSearch(&search);
  }

  // Builds `query` and compiles its condition, without a search.
  // A new query handle each time: a query not processed cannot be reset.
  void prepare(ItlTyContextHandle ctx, Query const& query) {
    itlHandleDeleteQuery(&q);
    itlHandleNewQuery(search, "en_US", 1208, &q);
    itlQueryDoRank(q, query.cls == "top10", ItlEnRankFormula_Default);
    if (buildQuery(ctx, q, query))
      itlApiQuery(q)->getCondition().finalize(
          &itlApiIndexSearch(search)->getContext());
  }

  // Builds, processes and walks the first `walk` elements (numbers and
  // names).
  bool run(ItlTyContextHandle ctx, Query const& query, size_t walk,
           Answer* answer) {
    answer->numbers.clear();
    bool const ranked = query.cls == "top10";
    itlQueryResetToDefault(q);
    itlQueryDoRank(q, ranked, ItlEnRankFormula_Default);
    itlQueryResultSetLimit(result, ranked ? kWalk : 0);
    if (!buildQuery(ctx, q, query)) return false;
    ItlTyListHandle list = nullptr;
    if (itlQueryProcess(q, result, &list) > 4) return false;
    itlQueryResultObtainStatistics(result, &answer->found, nullptr, nullptr);
    if (list == nullptr) return true;
    ItlTyIteratorHandle it = nullptr;
    itlHandleNewIterator(list, &it);
    for (bool ok = itlListIteratorIsValid(it); ok && answer->numbers.size() < walk;
         ok = itlListIteratorSetToNext(it, 1)) {
      if (itlQueryResultElementObtainData(it, id, nullptr, nullptr, nullptr) > 4)
        break;
      uint64_t number = 0;
      char const* name = nullptr;
      uint32_t length = 0;
      itlDocumentIDObtainNumber(id, &number);
      itlDocumentIDObtainName(id, &name, &length);
      answer->numbers.push_back(static_cast<int32_t>(number));
    }
    itlHandleDeleteIterator(&it);
    itlHandleDeleteList(&list);
    return true;
  }
};

// The engine calls alone with the condition the library built (and, for
// top10, the same ranking request) on a kept search handle.
bool engineQuery(ItlClIndex& index, void** handle, GTRSEARCH_COND const& cond,
                 bool ranked, size_t walk, Answer* answer) {
  answer->numbers.clear();
  GTRSEARCH_RES r;
  std::memset(&r, 0, sizeof r);
  r.res_type = GTR_RES_HANDLE;
  r.res_dataform = 1;
  r.res_handle_memory = ItlClQueryResult::MEMORY_SIZE_DEFAULT;
  RTRVRANK rank;
  std::memset(&rank, 0, sizeof rank);
  GTRRANKDOC best[kWalk];
  std::memset(best, 0, sizeof best);
  if (ranked) {
    rank.rankcount = static_cast<int32_t>(kWalk);
    rank.rankdoc = best;
    rank.weight_option = ItlClAlQuery::rankFormulaCode(ItlEnRankFormula_Default);
  }
  GTRSTATUS st{};
  GTRsearchIndex(handle, index.getName(), index.getDirectory(),
                 index.getWorkingDirectory(), cond, ranked ? &rank : nullptr,
                 nullptr, nullptr, &r, &st);
  if (st.retcode != 0) return false;
  answer->found = static_cast<uint64_t>(r.result_docnum);
  if (ranked) {
    int32_t n = std::min<int32_t>(r.result_docnum, static_cast<int32_t>(kWalk));
    for (int32_t i = 0; i < n; ++i) answer->numbers.push_back(best[i].docno);
  } else if (r.res_handle != nullptr) {
    GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
    int32_t n = static_cast<int32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(r.result_docnum), walk));
    for (int32_t i = 0; i < n && st.retcode == 0; ++i) {
      OCC* occ = nullptr;
      int32_t count = 0;
      float score = 0;
      GTRsearchIndex_LookResult_Doc(r.res_handle, i, &occ, &count, &score,
                                    nullptr, &st);
      if (st.retcode == 0 && occ != nullptr) answer->numbers.push_back(occ->docno);
    }
    GTRSTATUS closed{};
    GTRsearchIndex_CloseResult(r.res_handle, nullptr, &closed);
  }
  if (r.res_handle != nullptr) {
    GTRSTATUS released{};
    GTRsearchIndex_ReleaseResult(r.res_handle, &released);
  }
  return st.retcode == 0;
}

// The library's child: builds `docs` in `format`; with `qs`, runs the mix
// paired with the engine calls. Writes the library's outcome to
// `dir`.lib, the engine calls' to `dir`.calls.
void libraryChild(std::vector<Doc> const& docs, ItlEnDocumentFormat format,
                  std::vector<Query> const& qs, RunOptions const& o,
                  std::string const& dir) {
  Outcome lib, calls;
  lib.present = calls.present = true;
  size_t const n = qs.size();
  lib.ok.assign(n, 0);
  lib.coldUs.assign(n, -1);
  lib.warmUs.resize(n);
  lib.found.resize(n);
  calls.ok = lib.ok;
  calls.coldUs = lib.coldUs;
  calls.warmUs.resize(n);
  calls.found.resize(n);

  resetPeak();
  long const base = statusKB("VmRSS:");
  {
    LibraryIndex ix;
    std::string failure;
    if (ix.create(dir, &failure)) {
      SyncClock const s0 = syncsSoFar();
      lib.build = ix.build(docs, format);
      lib.build.syncSec = syncsSoFar().seconds - s0.seconds;
    } else {
      lib.build.error = failure;
    }
    lib.build.indexBytes = treeBytes(dir);
    lib.buildPeakKB = statusKB("VmHWM:") - base;
    if (!lib.build.ok) lib.errors.push_back(lib.build.error);
    if (lib.build.ok && !qs.empty()) {
      resetPeak();
      LibraryQuery lq(ix), prep(ix);
      ItlClIndex& index = *itlApiIndex(ix.index);
      void* handle = nullptr;
      for (size_t i = 0; i < n; ++i) lib.ok[i] = calls.ok[i] = 1;
      int differ = 0;
      for (int round = 0; round <= o.repeat; ++round) {
        for (size_t i = 0; i < n; ++i) {
          if (!lib.ok[i]) continue;
          // The first round is not timed: it walks every document of both
          // answers.
          size_t const walk = round == 0 ? SIZE_MAX : kWalk;
          Answer a, b;
          bool const ranked = qs[i].cls == "top10";
          // Whichever runs second finds the caches warm from the first:
          // the order alternates between queries and rounds. To run first,
          // the engine calls take the condition of the same query built
          // on a second query handle and compiled without a search.
          bool const engineFirst = round > 0 && (round + i) % 2 == 1;
          double libUs = 0, engUs = 0;
          bool engineOk = true;
          if (engineFirst) {
            prep.prepare(ix.ctx, qs[i]);
            GTRSEARCH_COND cond = itlApiQuery(prep.q)->getCondition().getCondition();
            Clock::time_point s1 = Clock::now();
            engineOk = engineQuery(index, &handle, cond, ranked, walk, &b);
            engUs = micros(s1);
          }
          Clock::time_point s0 = Clock::now();
          bool ok = lq.run(ix.ctx, qs[i], walk, &a);
          libUs = micros(s0);
          if (!ok) {
            lib.ok[i] = calls.ok[i] = 0;
            lib.errors.push_back(qs[i].cls + " " + qs[i].words[0] + ": " +
                                 ix.error("query", 8));
            continue;
          }
          if (!engineFirst) {
            GTRSEARCH_COND cond = itlApiQuery(lq.q)->getCondition().getCondition();
            Clock::time_point s1 = Clock::now();
            engineOk = engineQuery(index, &handle, cond, ranked, walk, &b);
            engUs = micros(s1);
          }
          if (!engineOk || a.numbers != b.numbers || a.found != b.found) {
            if (++differ <= 5)
              lib.errors.push_back("differs from the engine calls: " + qs[i].cls +
                                   " " + qs[i].words[0]);
            calls.ok[i] = 0;
            continue;
          }
          if (round == 0) {
            lib.found[i] = a.numbers;
            calls.found[i] = b.numbers;
            continue;
          }
          lib.warmUs[i].push_back(libUs);
          calls.warmUs[i].push_back(engUs);
        }
      }
      GTRSTATUS st{};
      GTRsearchIndex_Release(&handle, &st);
      lib.queryPeakKB = statusKB("VmHWM:") - base;
    }
  }
  writeOutcome(dir + ".lib", lib);
  writeOutcome(dir + ".calls", calls);
}

// Runs libraryChild in a child process; fills the two outcomes.
void runLibrary(std::vector<Doc> const& docs, ItlEnDocumentFormat format,
                std::vector<Query> const& qs, RunOptions const& o,
                std::string const& dir, Outcome* lib, Outcome* calls) {
  fs::remove_all(dir);
  std::fflush(stdout);
  pid_t const pid = fork();
  if (pid == 0) {
    libraryChild(docs, format, qs, o, dir);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  *lib = readOutcome(dir + ".lib", qs.size());
  if (calls != nullptr) *calls = readOutcome(dir + ".calls", qs.size());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    lib->errors.push_back("the child process failed");
  fs::remove_all(dir);
}

// The engine with the records the library's update passes it (create and
// system parameters, add operation, mode), read from a library index made
// in `scratch` for the purpose.
std::unique_ptr<System> engineWithLibrarySettings(std::string const& scratch) {
  EngineSettings s = engineBenchSettings();
  {
    LibraryIndex ix;
    std::string failure;
    if (ix.create(scratch, &failure)) {
      ItlClIndex& index = *itlApiIndex(ix.index);
      ItlClKernelInterface::fillVozCreateParm(s.create, index.getConfig());
      index.getKernelInterface().fillVozSysParm(s.system, index.getConfig());
      s.mode = index.getKernelInterface().getHighPerfMode() ? 'B' : 'O';
      s.buildOperation = 'A';
    }
  }
  fs::remove_all(scratch);
  return makeEngine(s);
}

// ---- the table -----------------------------------------------------------------

struct Column {
  std::string name;
  Outcome const* o;
  double inputMB;  // what it indexed
};

void printTable(std::vector<Column> const& cols, std::vector<Query> const& qs) {
  Table t;
  std::vector<std::string> head{"measure"};
  for (Column const& c : cols) head.push_back(c.name);
  for (size_t i = 1; i < cols.size(); ++i) head.push_back("library/" + cols[i].name);
  t.add(head);
  auto row = [&](std::string const& label,
                 std::function<double(Column const&)> const& value,
                 char const* f = "%.1f") {
    std::vector<std::string> r{label};
    std::vector<double> v;
    for (Column const& c : cols) v.push_back(c.o->present ? value(c) : -1);
    for (double x : v) r.push_back(fmt(x, f));
    for (size_t i = 1; i < v.size(); ++i) r.push_back(ratio(v[0], v[i]));
    t.add(r);
  };
  auto total = [](Column const& c) {
    return c.o->build.ok ? c.o->build.feedSec + c.o->build.finishSec : -1;
  };
  row("input MB", [](Column const& c) { return c.inputMB; });
  row("index MB/s", [&](Column const& c) {
    return total(c) > 0 ? c.inputMB / total(c) : -1;
  });
  row("index s", total, "%.2f");
  row("  feed s", [](Column const& c) { return c.o->build.feedSec; }, "%.2f");
  row("  finish s", [](Column const& c) { return c.o->build.finishSec; }, "%.2f");
  row("  of which fsync s", [](Column const& c) { return c.o->build.syncSec; },
      "%.2f");
  row("index s less fsync", [&](Column const& c) {
    return total(c) > 0 ? total(c) - c.o->build.syncSec : -1;
  }, "%.2f");
  row("peak RSS MB, indexing",
      [](Column const& c) { return c.o->buildPeakKB / 1024.0; });
  row("peak RSS MB, queries", [](Column const& c) {
    return c.o->queryPeakKB > 0 ? c.o->queryPeakKB / 1024.0 : -1;
  });
  auto samples = [&](Outcome const& x, std::string const& cls) {
    std::vector<double> v;
    for (size_t i = 0; i < qs.size() && i < x.ok.size(); ++i)
      if ((cls.empty() || qs[i].cls == cls) && x.ok[i])
        v.insert(v.end(), x.warmUs[i].begin(), x.warmUs[i].end());
    return v;
  };
  std::vector<std::string> classes(kClasses, kClasses + kClassCount);
  classes.push_back("");
  for (std::string const& cls : classes) {
    std::string const label = cls.empty() ? "mix" : cls;
    for (int p : {50, 99})
      row(label + " p" + std::to_string(p) + " us", [&](Column const& c) {
        return percentile(samples(*c.o, cls), p);
      });
  }
  t.print();
}

bool parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string const a = argv[i];
    char const* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (v == nullptr) return false;
    if (a == "--corpus") o->corpus = v;
    else if (a == "--work") o->work = v;
    else if (a == "--only") o->only = v;
    else if (a == "--per-class") o->perClass = std::atoi(v);
    else if (a == "--repeat") o->run.repeat = std::atoi(v);
    else if (a == "--seed") o->seed = static_cast<uint32_t>(std::atol(v));
    else return false;
    ++i;
  }
  return o->perClass > 0 && o->run.repeat > 0;
}

double megabytes(std::vector<Doc> const& docs) {
  uint64_t bytes = 0;
  for (Doc const& d : docs) bytes += d.text.size();
  return static_cast<double>(bytes) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: %s [--corpus <dir>] [--per-class <n>] [--repeat <n>] "
                 "[--seed <n>] [--work <dir>] "
                 "[--only library|text|engine|fts5|xapian]\n",
                 argv[0]);
    return 2;
  }
  if (!fs::is_directory(o.corpus)) {
    std::printf("itl_bench: skipped: no %s (Debian package python3.11-doc)\n",
                o.corpus.c_str());
    return 0;
  }
  std::vector<Doc> pages = readPages(o.corpus);
  std::vector<Doc> texts;
  for (Doc const& p : pages) texts.push_back({p.name, withoutTags(p.text)});
  std::vector<Query> qs = makeQueries(texts, o.perClass, o.seed);
  if (pages.empty() || qs.empty()) {
    std::fprintf(stderr, "no pages or no queries below %s\n", o.corpus.c_str());
    return 1;
  }
  bool const ownWork = o.work.empty();
  if (ownWork)
    o.work = (fs::temp_directory_path() / ("itl_bench." + std::to_string(getpid())))
                 .string();
  fs::create_directories(o.work);

  Outcome lib, calls, libText, engine, fts5, xapian;
  auto wanted = [&](char const* key) { return o.only.empty() || o.only == key; };
  if (wanted("library"))
    runLibrary(pages, ItlEnDocumentFormat_Html, qs, o.run, o.work + "/library",
               &lib, &calls);
  if (wanted("text"))
    runLibrary(texts, ItlEnDocumentFormat_Text, {}, o.run,
               o.work + "/library_text", &libText, nullptr);
  if (wanted("engine")) {
    std::string const scratch = o.work + "/settings";
    engine = runChild([&] { return engineWithLibrarySettings(scratch); }, texts,
                      qs, o.run, o.work + "/engine");
    fs::remove_all(o.work + "/engine");
    // The engine calls index the text; they answer on the library's index.
    calls.present = true;
    calls.build = engine.build;
    calls.buildPeakKB = engine.buildPeakKB;
  }
  std::vector<Column> cols{{"library", &lib, megabytes(pages)},
                           {"library text", &libText, megabytes(texts)},
                           {"engine calls", &calls, megabytes(texts)}};
  if (makeFts5() != nullptr) {
    if (wanted("fts5")) fts5 = runChild(makeFts5, texts, qs, o.run, o.work + "/fts5");
    cols.push_back({"FTS5", &fts5, megabytes(texts)});
  }
  if (makeXapian() != nullptr) {
    if (wanted("xapian"))
      xapian = runChild(makeXapian, texts, qs, o.run, o.work + "/xapian");
    cols.push_back({"Xapian", &xapian, megabytes(texts)});
  }

  std::printf("corpus: %s, %zu HTML pages (%.1f MB; %.1f MB of text without tags); "
              "%zu queries x %d runs\n\n",
              o.corpus.c_str(), pages.size(), megabytes(pages), megabytes(texts),
              qs.size(), o.run.repeat);
  printTable(cols, qs);

  // The library's own costs against the engine calls alone.
  int compared = 0, equal = 0;
  for (size_t i = 0; i < qs.size(); ++i) {
    if (i >= lib.ok.size() || !lib.ok[i]) continue;
    ++compared;
    if (calls.ok[i]) ++equal;
  }
  // Indexing: the time less the fsyncs' (the disk's, not the library's).
  double const libS = libText.build.feedSec + libText.build.finishSec -
                      libText.build.syncSec;
  double const engS = engine.build.feedSec + engine.build.finishSec -
                      engine.build.syncSec;
  std::vector<double> l, e;
  for (size_t i = 0; i < qs.size() && i < lib.ok.size(); ++i)
    if (lib.ok[i] && calls.ok[i]) {
      l.insert(l.end(), lib.warmUs[i].begin(), lib.warmUs[i].end());
      e.insert(e.end(), calls.warmUs[i].begin(), calls.warmUs[i].end());
    }
  double const lp = percentile(l, 50), ep = percentile(e, 50);
  std::printf("\nlibrary overhead: indexing the same text %+.1f %% time less fsync "
              "(library text vs engine calls); query mix p50 %+.1f %% (%+.1f us)\n",
              libS > 0 && engS > 0 ? 100.0 * (libS / engS - 1) : 0.0,
              ep > 0 ? 100.0 * (lp - ep) / ep : 0.0, lp - ep);
  std::printf("answers equal, library and engine calls: %d of %d queries on every run\n",
              equal, compared);
  for (Outcome const* x : {&lib, &libText, &engine, &fts5, &xapian})
    for (size_t k = 0; k < x->errors.size() && k < 5; ++k)
      std::printf("  error: %s\n", x->errors[k].c_str());
  if (ownWork) fs::remove_all(o.work);
  return equal == compared && (compared > 0 || !wanted("library")) ? 0 : 1;
}
