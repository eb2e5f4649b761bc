// engine_bench.hpp -- the shared pieces of bench/engine_bench: the corpus,
// the query mix and the interface through which the engine and its peers
// (SQLite FTS5, Xapian) index the same documents and answer the same
// queries.
//
// Documents are numbered from 1 in corpus order in every system, so that
// the document sets that the systems find can be compared directly. A query
// is kept in a neutral form (its class and its words) and each system
// writes it in its own language (engine_bench_engine.cpp,
// engine_bench_peers.cpp).
#ifndef BENCH_ENGINE_BENCH_HPP
#define BENCH_ENGINE_BENCH_HPP

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"

namespace ebench {

struct Doc {
    std::string name;   // path below the corpus folder
    std::string text;   // UTF-8
};

// Every regular file below `dir` (sorted by path), one document each;
// empty files are skipped.
std::vector<Doc> readCorpus(const std::string& dir);

// The documents cut into pieces of about `bytes` bytes at line, sentence
// or word ends (short_docs.hpp); a piece is named "<document>#<n>".
std::vector<Doc> cutShort(const std::vector<Doc>& docs, size_t bytes);

// Writes about `bytes` of Zipf-distributed words (exponent 1, a
// vocabulary of 50,000 made-up Latin words, sentences and paragraphs)
// into files of 2 to 64 KB under `dir`; the same seed gives the same bytes.
void writeZipfCorpus(const std::string& dir, uint64_t bytes, uint32_t seed);

// Query classes, in the order of the table.
//   word-freq / word-med / word-rare  one word in many / some / 1-3 documents
//   field   the word-med words, each restricted to the document's field
//           (engine only: its documents carry one field, number 1, over
//           their whole text)
//   and     2 or 3 words, all required
//   or      2 to 5 words, any
//   not     word minus word
//   dist5   two words joined by the distance 5
//   sent    two words in one sentence
//   prefix  a trailing mask: the first letters of a word and "*"
//   suffix  a leading mask: "*" and the last letters of a word
//   fuzzy   one word at similarity 80
//   top10   OR of 2 or 3 words, the 10 best ranked documents
extern const char* const kClasses[];
extern const int kClassCount;

struct Query {
    std::string cls;
    std::vector<std::string> words;  // lower-case ASCII letters
};

// Builds a mix of `perClass` queries of every class from the corpus
// vocabulary (words of letters, case-folded) with a fixed seed; empty (with
// a message) when the corpus lacks frequent, medium or rare words.
std::vector<Query> makeQueries(const std::vector<Doc>& docs, int perClass,
                               uint32_t seed);
// One query a line: class, then the words, tab-separated.
bool writeQueries(const std::string& file, const std::vector<Query>& qs);
bool readQueries(const std::string& file, std::vector<Query>* qs);

// What one system measured while building its index.
struct BuildFigures {
    double feedSec = 0;     // documents handed over
    double finishSec = 0;   // flush and commit (engine: Last + Term)
    uint64_t indexBytes = 0;
    double syncSec = 0;     // of feed and finish: the fsyncs' time
    bool ok = false;
    std::string error;
};

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The fsyncs and fdatasyncs of the process so far (engine_bench.cpp counts
// them), so that a commit's own time can be told from the disk's.
struct SyncClock {
    double seconds = 0;
    int count = 0;
};
SyncClock syncsSoFar();

// A commit step: its seconds and the syncs inside it.
struct CommitFigures {
    double seconds = -1;
    double syncSeconds = 0;
    int syncs = 0;
    // Times `commit` and the syncs it makes; false when it failed.
    template <typename Fn>
    bool time(Fn commit);
};

// One system under test. The benchmark builds it once in its own process
// (so that its peak resident memory is its own), then runs the query mix.
class System {
public:
    virtual ~System() = default;
    virtual const char* name() const = 0;
    virtual BuildFigures build(const std::vector<Doc>& docs,
                               const std::string& dir) = 0;
    // Opens the built index for the warm queries.
    virtual bool open() = 0;
    // Runs `q`; on success fills `found` (ascending document numbers; for
    // top10 the ranked documents in rank order). `cold`: from a closed
    // index (only the engine offers it). False when the system has no such
    // query or the query failed (`error` says which).
    virtual bool run(const Query& q, bool cold, std::vector<int32_t>* found,
                     std::string* error) = 0;
    virtual bool hasCold() const { return false; }
    // Commits an update of `docs` (new numbers from `firstNo`) into the
    // built index; fills the figures of the commit step alone (its seconds
    // < 0 when the update failed).
    virtual void update(const std::vector<Doc>&, int32_t, CommitFigures* c) {
        c->seconds = -1;
    }
};

template <typename Fn>
bool CommitFigures::time(Fn commit) {
    const SyncClock s0 = syncsSoFar();
    const auto t0 = Clock::now();
    const bool ok = commit();
    const double s = secondsSince(t0);
    const SyncClock s1 = syncsSoFar();
    seconds = ok ? s : -1;
    syncSeconds = s1.seconds - s0.seconds;
    syncs = s1.count - s0.count;
    return ok;
}

// The engine's records of an index build: engine_bench's settings by
// default (engine_bench_engine.cpp), or a caller's (itl_bench passes the
// library's).
struct EngineSettings {
    GTRHCREATEPARM create;
    GTRSYSPARM system;
    char buildOperation = 'N';  // GTRcreateIndexInit's operation of the build
    char mode = 'B';            // its mode
};
EngineSettings engineBenchSettings();

std::unique_ptr<System> makeEngine();
std::unique_ptr<System> makeEngine(const EngineSettings& s);
std::unique_ptr<System> makeFts5();    // null when built without SQLite
std::unique_ptr<System> makeXapian();  // null when built without Xapian

// Bytes of every file below `dir`.
uint64_t treeBytes(const std::string& dir);

// Levenshtein similarity in percent (100 = equal), as the peers' fuzzy
// expansion over their vocabulary counts it.
int similarity(const std::string& a, const std::string& b);

}  // namespace ebench

#endif  // BENCH_ENGINE_BENCH_HPP
