// engine_bench.cpp -- the engine measured against its peers on one corpus.
//
//   engine_bench --corpus <dir> --queries <file> [options]
//
// Indexes every file below <dir> as one document through the engine's
// update cycle, through SQLite FTS5 and through Xapian (the peers that the
// build found), runs one query mix on all three and prints one table from
// that single run:
//   build      indexing MB/s and documents/s (the engine's Last + Term
//              shown apart), index bytes / text bytes, peak resident memory
//   update     commit of a 100-document update, with the time its fsyncs
//              took shown apart
//   per class  query latency p50/p99 on a warm handle (the engine also from
//              a new handle: "cold"), documents found, and how many queries
//              found the same document set in the engine and in each peer
// The query file is read when it exists, else drawn from the corpus
// vocabulary with a fixed seed and written there. Each system runs in a
// child process of its own, so that its peak resident memory (VmHWM after
// a reset, less the resident memory at the start) is its own.
//
// Options: --zipf <MB> first writes that much Zipf text into an empty or
// missing <dir>; --short <bytes> cuts the corpus into documents of about
// that many bytes at line, sentence or word ends (short_docs.hpp), so that
// per-document costs show; --per-class <n> queries of each class (20); --seed <n>
// (1); --repeat <n> warm runs of the mix (5); --work <dir> (a temporary
// folder, removed at exit); --only engine|fts5|xapian.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine_bench.hpp"
#include "engine_bench_run.hpp"

namespace ebench {

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string corpus, queries, work, only;
    double zipfMB = 0;
    size_t shortBytes = 0;
    int perClass = 20;
    RunOptions run;
    uint32_t seed = 1;
};

// Per class: a value of each system and the engine's ratio to each peer.
void addRow(Table& t, const std::string& label, const std::vector<Outcome>& o,
            const std::function<double(const Outcome&)>& value,
            const char* f = "%.1f") {
    std::vector<std::string> r{label};
    std::vector<double> v;
    for (const Outcome& x : o) v.push_back(x.present ? value(x) : -1);
    for (double x : v) r.push_back(fmt(x, f));
    for (size_t i = 1; i < v.size(); ++i) r.push_back(ratio(v[0], v[i]));
    t.add(r);
}

void printTable(const std::vector<Doc>& docs, const std::vector<Query>& qs,
                const std::vector<Outcome>& o, const std::vector<std::string>& names) {
    uint64_t textBytes = 0;
    for (const Doc& d : docs) textBytes += d.text.size();
    const double mb = textBytes / 1e6;
    printf("corpus: %zu documents, %.1f MB; %zu queries\n\n", docs.size(), mb,
           qs.size());
    Table t;
    std::vector<std::string> head{"measure"};
    for (const std::string& n : names) head.push_back(n);
    for (size_t i = 1; i < names.size(); ++i) head.push_back("engine/" + names[i]);
    t.add(head);
    auto total = [](const Outcome& x) { return x.build.feedSec + x.build.finishSec; };
    addRow(t, "index MB/s", o, [&](const Outcome& x) { return mb / total(x); });
    addRow(t, "index docs/s", o, [&](const Outcome& x) { return docs.size() / total(x); },
           "%.0f");
    addRow(t, "feed s", o, [](const Outcome& x) { return x.build.feedSec; }, "%.2f");
    addRow(t, "finish s (engine: Last+Term)", o,
           [](const Outcome& x) { return x.build.finishSec; }, "%.2f");
    addRow(t, "index bytes / text bytes", o,
           [&](const Outcome& x) { return double(x.build.indexBytes) / textBytes; },
           "%.2f");
    addRow(t, "peak RSS MB, indexing", o,
           [](const Outcome& x) { return x.buildPeakKB / 1024.0; });
    addRow(t, "peak RSS MB, queries", o,
           [](const Outcome& x) { return x.queryPeakKB / 1024.0; });
    addRow(t, "100-doc update commit ms", o,
           [](const Outcome& x) { return x.updateSec * 1e3; }, "%.2f");
    addRow(t, "  of which fsync ms", o,
           [](const Outcome& x) { return x.updateSec < 0 ? -1 : x.updateSyncSec * 1e3; },
           "%.2f");
    addRow(t, "  commit less fsync ms", o, [](const Outcome& x) {
        return x.updateSec < 0 ? -1 : (x.updateSec - x.updateSyncSec) * 1e3;
    }, "%.2f");
    for (int c = 0; c < kClassCount; ++c) {
        const std::string cls = kClasses[c];
        auto samples = [&](const Outcome& x, bool cold) {
            std::vector<double> v;
            for (size_t i = 0; i < qs.size(); ++i) {
                if (qs[i].cls != cls || !x.ok[i]) continue;
                if (cold) {
                    if (x.coldUs[i] >= 0) v.push_back(x.coldUs[i]);
                } else {
                    v.insert(v.end(), x.warmUs[i].begin(), x.warmUs[i].end());
                }
            }
            return v;
        };
        addRow(t, cls + " p50 us", o, [&](const Outcome& x) {
            return percentile(samples(x, false), 50);
        });
        addRow(t, cls + " p99 us", o, [&](const Outcome& x) {
            return percentile(samples(x, false), 99);
        });
        addRow(t, cls + " cold p50 us", o, [&](const Outcome& x) {
            return percentile(samples(x, true), 50);
        });
        addRow(t, cls + " docs found / query", o, [&](const Outcome& x) {
            double n = 0;
            int q = 0;
            for (size_t i = 0; i < qs.size(); ++i)
                if (qs[i].cls == cls && x.ok[i]) n += x.found[i].size(), ++q;
            return q ? n / q : -1;
        });
        // Agreement: queries whose document sets are equal; for the ranked
        // class the mean number of the engine's ten that the peer ranks in
        // its ten too.
        std::vector<std::string> r{cls + (cls == "top10" ? " shared of 10"
                                                         : " same docs as engine")};
        r.push_back("");
        for (size_t p = 1; p < o.size(); ++p) {
            int same = 0, both = 0;
            for (size_t i = 0; o[p].present && o[0].present && i < qs.size(); ++i) {
                if (qs[i].cls != cls || !o[0].ok[i] || !o[p].ok[i]) continue;
                std::vector<int32_t> a = o[0].found[i], b = o[p].found[i];
                std::sort(a.begin(), a.end());
                std::sort(b.begin(), b.end());
                ++both;
                if (cls == "top10") {
                    std::vector<int32_t> shared;
                    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                                          std::back_inserter(shared));
                    same += static_cast<int>(shared.size());
                } else {
                    same += a == b;
                }
            }
            if (both == 0) r.push_back("-");
            else if (cls == "top10") r.push_back(fmt(double(same) / both));
            else r.push_back(std::to_string(same) + "/" + std::to_string(both));
        }
        while (r.size() < 2 * o.size()) r.push_back("");
        t.add(r);
    }
    t.print();
}

// A hash of every answer, so that a change of results shows beside a
// change of speed.
uint64_t answerHash(const Outcome& o) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < o.found.size(); ++i)
        for (int32_t d : o.found[i]) h = (h ^ static_cast<uint64_t>(d + i)) * 1099511628211ull;
    return h;
}

bool parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (v == nullptr) return false;
        if (a == "--corpus") o->corpus = v;
        else if (a == "--queries") o->queries = v;
        else if (a == "--work") o->work = v;
        else if (a == "--only") o->only = v;
        else if (a == "--zipf") o->zipfMB = atof(v);
        else if (a == "--short") o->shortBytes = static_cast<size_t>(atol(v));
        else if (a == "--per-class") o->perClass = atoi(v);
        else if (a == "--repeat") o->run.repeat = atoi(v);
        else if (a == "--seed") o->seed = static_cast<uint32_t>(atol(v));
        else return false;
        ++i;
    }
    return !o->corpus.empty() && !o->queries.empty() && o->perClass > 0 &&
           o->run.repeat > 0;
}

}  // namespace
}  // namespace ebench

int main(int argc, char** argv) {
    using namespace ebench;
    Options o;
    if (!parse(argc, argv, &o)) {
        fprintf(stderr,
                "usage: %s --corpus <dir> --queries <file> [--zipf <MB>] "
                "[--short <bytes>] [--per-class <n>] [--seed <n>] [--repeat <n>] "
                "[--work <dir>] "
                "[--only engine|fts5|xapian]\n", argv[0]);
        return 2;
    }
    if (o.zipfMB > 0 && (!fs::exists(o.corpus) || fs::is_empty(o.corpus)))
        writeZipfCorpus(o.corpus, static_cast<uint64_t>(o.zipfMB * 1e6), o.seed);
    std::vector<Doc> docs = readCorpus(o.corpus);
    if (o.shortBytes > 0) docs = cutShort(docs, o.shortBytes);
    if (docs.empty()) {
        fprintf(stderr, "no documents below %s\n", o.corpus.c_str());
        return 1;
    }
    std::vector<Query> qs;
    if (fs::exists(o.queries)) {
        if (!readQueries(o.queries, &qs)) {
            fprintf(stderr, "bad query file %s\n", o.queries.c_str());
            return 1;
        }
    } else {
        qs = makeQueries(docs, o.perClass, o.seed);
        if (qs.empty()) return 1;
        if (!writeQueries(o.queries, qs)) {
            fprintf(stderr, "cannot write %s\n", o.queries.c_str());
            return 1;
        }
    }
    const bool ownWork = o.work.empty();
    if (ownWork)
        o.work = (fs::temp_directory_path() /
                  ("engine_bench." + std::to_string(getpid()))).string();
    fs::create_directories(o.work);
    struct Entry {
        const char* key;
        std::string name;
        std::function<std::unique_ptr<System>()> make;
    };
    const std::vector<Entry> all = {{"engine", "engine", [] { return makeEngine(); }},
                                    {"fts5", "FTS5", makeFts5},
                                    {"xapian", "Xapian", makeXapian}};
    std::vector<Outcome> outcomes;
    std::vector<std::string> names;
    for (const Entry& e : all) {
        if (e.make() == nullptr) continue;  // not built with this peer
        names.push_back(e.name);
        if (!o.only.empty() && o.only != e.key) {
            outcomes.emplace_back();
            continue;
        }
        outcomes.push_back(runChild(e.make, docs, qs, o.run, o.work + "/" + e.key));
    }
    printTable(docs, qs, outcomes, names);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        if (!outcomes[i].present) continue;
        printf("%s: answer hash %016llx\n", names[i].c_str(),
               static_cast<unsigned long long>(answerHash(outcomes[i])));
        for (size_t k = 0; k < outcomes[i].errors.size() && k < 5; ++k)
            printf("  %s error: %s\n", names[i].c_str(), outcomes[i].errors[k].c_str());
    }
    if (ownWork) fs::remove_all(o.work);
    return 0;
}
