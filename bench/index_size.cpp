// index_size -- where the bytes of a text index go, and what the creation
// options change: builds one corpus (cut into short documents by default)
// under a list of creation variants and prints, for each, the indexing
// time, the bytes of every index file and, per file set and kind of key,
// the keys, their key-record bytes and their position bytes.
//
//   index_size --corpus DIR [--short BYTES] [--work DIR] [--only NAME,...]
//
// Variants (each differs from "bench", the engine benchmark's settings, in
// one option): gram1 and gram3 (n-gram length 1 and 3), rule0 (word rule
// 0, case kept), nosent (no sentence ends: disable bit 1), block0 (block
// threshold 0: positions always in the sequential file), block1 (threshold
// 1: every list over one document goes to the block store). --short
// defaults to 300 bytes (0 keeps whole documents). Nothing of the index
// format changes; the program only reads what the builder wrote.
//
// Kinds of key record: D field-number keys, F fixed keys (n-grams and the
// marks of word starts and sentence ends), V variable keys (words) with
// their continuation records C counted into V's key bytes.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_names.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_idxset.hpp"
#include "corpus_files.hpp"
#include "short_docs.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Variant {
    const char* name;
    uint8_t ngram;
    uint8_t wordRule;
    uint8_t disable;
    int16_t blockThreshold;
};

const Variant kVariants[] = {
    {"bench", 2, 1, 1, -1},  {"gram1", 1, 1, 1, -1}, {"gram3", 3, 1, 1, -1},
    {"rule0", 2, 0, 0, -1},  {"nosent", 2, 1, 3, -1}, {"block0", 2, 1, 1, 0},
    {"block1", 2, 1, 1, 1},
};

// Builds the index; false with a message on a failure.
bool build(const Variant& v, const std::vector<std::string>& docs,
           const std::string& out, const std::string& work, double* seconds) {
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = v.ngram;
    p.codepage = 34;
    p.index_purpose = 1;
    p.word_rule = v.wordRule;
    p.disable = v.disable;
    p.index_subtype = 3;
    p.block_threshold = v.blockThreshold;
    p.block_size = -1;
    GTRSYSPARM s;
    memset(&s, 0, sizeof s);
    s.poolsize = 64 << 20;
    s.poolsizedelta = 8 << 20;
    s.displaylog = 'N';
    GTRSTATUS st{};
    int32_t maxDoc = 0;
    void* h = nullptr;
    const auto t0 = Clock::now();
    GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B', &p, &s,
                       &maxDoc, &st);
    for (size_t i = 0; i < docs.size() && st.retcode == 0; ++i) {
        int32_t start = 0;
        GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(docs[i].data()),
                             static_cast<int32_t>(docs[i].size()),
                             static_cast<int32_t>(i + 1), &start, nullptr, &st);
    }
    if (st.retcode == 0) GTRcreateIndexLast(h, &st);
    if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
    *seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    if (st.retcode != 0) {
        fprintf(stderr, "%s: build failed %d/%d\n", v.name, st.retcode, st.errcode);
        return false;
    }
    return true;
}

struct Tally {
    uint64_t keys = 0, keyBytes = 0, posBytes = 0, docs = 0;
};

// Counts the key records of file set `set` of the main text half by kind.
bool tallyKeys(const std::string& out, int set, std::map<char, Tally>* t) {
    _FCTLHEAD f;
    GTRSTATUS st{};
    if (voz_SetFctlForRead(&f, "idx", out.c_str(), 0, set, "KPLQ", "Full", &st) != 0 ||
        voz_IDXopenKey(&f, "rb", &st) != 0)
        return false;
    KEYINFO_0 info;
    bool ok = voz_ReadKeyInfo(&f, &info, 0, nullptr, &st) == 0;
    const int64_t total = ok ? static_cast<int64_t>(info.fixedRecords) + info.varRecords : 0;
    std::vector<KEY_REC> recs(4096);
    for (int64_t r = 0; ok && r < total; r += static_cast<int64_t>(recs.size())) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(recs.size(), total - r));
        ok = voz_ReadKeyMulti(&f, recs.data(), static_cast<int32_t>(r), n, 1, &st) == 0;
        for (int32_t i = 0; ok && i < n; ++i) {
            const KEY_REC& k = recs[static_cast<size_t>(i)];
            const char kind = k.kind == 'C' ? 'V' : k.kind;
            Tally& x = (*t)[kind];
            x.keyBytes += 28;
            if (k.kind == 'C') continue;
            x.keys += 1;
            x.posBytes += k.dataLength;
            x.docs += k.docCount;
        }
    }
    voz_IDXcloseKey(&f, nullptr);
    return ok;
}

void report(const Variant& v, const std::string& out, size_t docs, double mb,
            double seconds) {
    uint64_t total = 0;
    std::map<std::string, uint64_t> files;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
        if (!e.is_regular_file()) continue;
        // A partitioned file is a folder of parts: counted under the folder.
        fs::path rel = fs::relative(e.path(), out);
        if (rel.parent_path().filename().string().rfind("voz.", 0) == 0)
            rel = rel.parent_path();
        files[rel.string()] += e.file_size();
        total += e.file_size();
    }
    printf("== %s: %zu documents, %.1f MB, %.2f s, %.2f MB/s, index %.2f MB "
           "(%.3f of the text)\n", v.name, docs, mb, seconds, mb / seconds,
           static_cast<double>(total) / 1e6, static_cast<double>(total) / 1e6 / mb);
    for (const auto& [name, bytes] : files)
        printf("  file %-28s %12llu  %5.1f %%\n", name.c_str(),
               static_cast<unsigned long long>(bytes),
               100.0 * static_cast<double>(bytes) / static_cast<double>(total));
    for (int set = 0; set < 2; ++set) {
        std::map<char, Tally> t;
        if (!tallyKeys(out, set, &t)) continue;
        for (const auto& [kind, x] : t)
            printf("  set %d kind %c keys %10llu key bytes %12llu position bytes %12llu "
                   "docs/key %.1f\n", set, kind,
                   static_cast<unsigned long long>(x.keys),
                   static_cast<unsigned long long>(x.keyBytes),
                   static_cast<unsigned long long>(x.posBytes),
                   x.keys ? static_cast<double>(x.docs) / static_cast<double>(x.keys) : 0.0);
    }
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus, work, only;
    size_t shortBytes = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--corpus") corpus = argv[i + 1];
        else if (a == "--short") shortBytes = static_cast<size_t>(atol(argv[i + 1]));
        else if (a == "--work") work = argv[i + 1];
        else if (a == "--only") only = "," + std::string(argv[i + 1]) + ",";
        else corpus.clear(), i = argc;
    }
    if (corpus.empty()) {
        fprintf(stderr, "usage: %s --corpus DIR [--short BYTES] [--work DIR] "
                        "[--only NAME,...]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> docs = readCorpus(corpus);
    const double mb = short_docs::cutAll(docs, shortBytes);
    const bool ownWork = work.empty();
    if (ownWork) work = (fs::temp_directory_path() / "index_size.XXXXXX").string();
    if (ownWork && mkdtemp(&work[0]) == nullptr) return 1;
    int rc = 0;
    for (const Variant& v : kVariants) {
        if (!only.empty() && only.find("," + std::string(v.name) + ",") == std::string::npos)
            continue;
        const std::string base = work + "/" + v.name;
        fs::remove_all(base);
        fs::create_directories(base + "/out");
        fs::create_directories(base + "/work");
        double seconds = 0;
        if (!build(v, docs, base + "/out", base + "/work", &seconds)) {
            rc = 1;
            continue;
        }
        report(v, base + "/out", docs.size(), mb, seconds);
        fs::remove_all(base);
    }
    if (ownWork) fs::remove_all(work);
    return rc;
}
