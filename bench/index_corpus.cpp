// index_corpus -- builds the text index of a corpus folder under one of the
// fixed settings of tests/itl_base/calls/index_build.hpp and prints the time
// of the feed and of the finish, so that two builds of the engine can be
// timed on the same text and their index files compared byte for byte
// (bench/same_index_bytes.sh).
//
//   index_corpus --corpus DIR --out DIR [--config NAME] [--short BYTES]
//                [--list]
//
// Every file below DIR is one document, numbered from 1 in path order (as
// in engine_bench). The index goes to <out>/out, its work files to
// <out>/work; <out> must not hold an index yet. --short cuts the corpus
// into documents of about BYTES bytes first (short_docs.hpp, as
// engine_bench --short does). --list names the settings.
// Output: one line "setting docs MB feed_s finish_s MB/s peak_MB".
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "index_build.hpp"
#include "corpus_files.hpp"
#include "short_docs.hpp"

int main(int argc, char** argv) {
    std::string corpus, outDir, name = "bench";
    size_t shortBytes = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list") {
            for (const index_build::Setting& c : index_build::settings())
                printf("%s\n", c.name);
            return 0;
        }
        if (i + 1 >= argc) break;
        const char* v = argv[++i];
        if (a == "--corpus") corpus = v;
        else if (a == "--out") outDir = v;
        else if (a == "--config") name = v;
        else if (a == "--short") shortBytes = static_cast<size_t>(atol(v));
        else break;
    }
    const index_build::Setting* c = nullptr;
    for (const index_build::Setting& k : index_build::settings())
        if (name == k.name) c = &k;
    if (corpus.empty() || outDir.empty() || c == nullptr) {
        fprintf(stderr,
                "usage: %s --corpus DIR --out DIR [--config NAME] "
                "[--short BYTES] [--list]\n",
                argv[0]);
        return 2;
    }
    std::vector<std::string> docs = readCorpus(corpus);
    const double mb = short_docs::cutAll(docs, shortBytes);
    index_build::Times t;
    const std::string err = index_build::build(*c, docs, outDir, &t);
    if (!err.empty()) {
        fprintf(stderr, "%s: %s\n", c->name, err.c_str());
        return 1;
    }
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    printf("%s %zu %.1f %.3f %.3f %.2f %.1f\n", c->name, docs.size(), mb,
           t.feed, t.finish, mb / (t.feed + t.finish),
           static_cast<double>(ru.ru_maxrss) / 1024.0);
    return 0;
}
