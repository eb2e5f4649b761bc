// Test support for the maintenance calls: an index "idx" in <tmp>/out
// whose documents each hold one word of a small vocabulary with pairwise
// disjoint letters (so every key belongs to one word), driven through the
// engine calls (update, GTRdeleteDoc, VOZ_mergeIndex), and read back two
// independent ways: the live documents that verification writes, and the
// documents of every key counted by the key iterator. Header-only.
#ifndef TESTS_ITL_BASE_CALLS_GTRMAINT_FIXTURE_HPP
#define TESTS_ITL_BASE_CALLS_GTRMAINT_FIXTURE_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ti_test_util.hpp"
#include "build/voz_keyiter.hpp"
#include "calls/voz_gtradmin.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrmaint.hpp"
#include "files/voz_file.hpp"
#include "postings/voz_idxset.hpp"
#include "gtrcreate_fixture.hpp"
#include "search/voz_search.hpp"

namespace mtfix {

// Words with letters no other word uses.
constexpr const char* kWords[] = {"ab", "cd", "ef", "gh", "ij"};
constexpr int kWordCount = 5;

// Document number -> word index.
using Docs = std::map<int32_t, int>;

inline std::string TextOf(int32_t doc, int word) {
    (void)doc;
    return std::string(kWords[word]) + " " + kWords[word];
}

// One update cycle through the engine calls: `docs` added to index "idx"
// ('N' new, 'A' append); purpose 3 adds one numeric item per document.
// `threshold` is the block-store threshold (-1 the default, sequential
// files for small indexes; 1 the block store). `beforeTerm` runs just
// before GTRcreateIndexTerm (crash tests arm their kill hooks there).
inline void Update(const std::string& out, const std::string& work, char op,
                   const Docs& docs, GTRSTATUS* st, uint8_t purpose = 1,
                   int16_t threshold = -1,
                   const std::function<void()>& beforeTerm = nullptr) {
    GTRHCREATEPARM p = gtrfix::HParm(purpose);
    p.block_threshold = threshold;
    GTRSYSPARM sys = gtrfix::SysParm(1 << 16, 1 << 14);
    int32_t maxDoc = 0;
    void* h = nullptr;
    GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), op, 'B', &p, &sys, &maxDoc, st);
    for (const auto& [doc, word] : docs) {
        if (st->retcode != 0) return;
        const std::string text = TextOf(doc, word);
        int32_t start = 0;
        GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int32_t>(text.size()), doc, &start, nullptr, st);
        if (st->retcode != 0 || (purpose & 2) == 0) continue;
        REGISTITEM item{};
        item.item_number = 1;
        item.item_type = 'N';
        item.num_value = word;
        GTRcreateItemIndexOneDoc(h, doc, 1, &item, st);
    }
    if (st->retcode != 0) return;
    GTRcreateIndexLast(h, st);
    if (st->retcode != 0) return;
    if (beforeTerm) beforeTerm();
    GTRcreateIndexTerm(h, 'G', st);
}

// GTRdeleteDoc of `docs`, finished with `fin`; `beforeFinish` runs just
// before GTRdeleteDocFinish.
inline void Delete(const std::string& out, const std::string& work,
                   std::vector<int32_t> docs, char fin, GTRSTATUS* st,
                   const std::function<void()>& beforeFinish = nullptr) {
    void* h = nullptr;
    GTRdeleteDoc(&h, "idx", out.c_str(), work.c_str(), docs.data(),
                 static_cast<int32_t>(docs.size()), nullptr, st);
    if (st->retcode != 0) return;
    if (beforeFinish) beforeFinish();
    GTRdeleteDocFinish(h, fin, st);
}

// VOZ_mergeIndex finished with `fin`; `beforeFinish` runs just before
// VOZ_mergeIndexFinish.
inline void Merge(const std::string& out, const std::string& work, char fin, GTRSTATUS* st,
                  const std::function<void()>& beforeFinish = nullptr) {
    void* h = nullptr;
    GTRSYSPARM sys = gtrfix::SysParm(1 << 16, 1 << 14);
    sys.displaylog = 'N';
    VOZ_mergeIndex(&h, "idx", out.c_str(), work.c_str(), &sys, st);
    if (st->retcode != 0) return;
    if (beforeFinish) beforeFinish();
    VOZ_mergeIndexFinish(h, fin, st);
}

// The live documents of a sub-index (0x40 text, 0 items) as verification
// writes them; `st` gets verification's status.
inline std::vector<int32_t> Live(const std::string& out, int8_t text, GTRSTATUS* st) {
    const std::string file = out + "/live.bin";
    GTRVERIFYINFO info{};
    GTRverifyIndex("idx", out.c_str(), file.c_str(), static_cast<int8_t>(text | 0x08), &info, st);
    // The engine writes it as one of its own (possibly partitioned) files.
    std::vector<int32_t> docs;
    FILE_CONTROL* f = voz_XXopen(file.c_str(), "rb");
    int32_t d = 0;
    while (f != nullptr && voz_XXread(&d, sizeof d, 1, f) == 1) docs.push_back(d);
    if (f != nullptr) voz_XXclose(f);
    voz_RemoveTree(file.c_str());
    return docs;
}

// Word index of a key text (-1: not a word's key).
inline int WordOfKey(const std::string& key) {
    for (int w = 0; w < kWordCount; ++w)
        if (!key.empty() && key.find_first_not_of(kWords[w]) == std::string::npos) return w;
    return -1;
}

// Documents of every word key of the text sub-index, summed over both
// halves with the deleted documents left out (VOZ_GetDocumentCountEx).
inline std::map<std::string, int32_t> KeyCounts(const std::string& out, GTRSTATUS* st) {
    std::map<std::string, int32_t> counts;
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, "idx", out.c_str(), "KPLQ", "MRNS", "Full", "Item", nullptr, &p1, &p2,
                    VOZ_HALF_TEXT, st, 0);
    if (st->retcode != 0) {
        GTRSTATUS rs{};
        VOZ_SearchRelease(&h, &rs);
        return counts;
    }
    KEYITERATOR* its[2] = {nullptr, nullptr};
    VOZ_InitKeyIterator(&its[0], &its[1], h, p1, 1, 0, 0x7FFFFFFF);
    for (KEYITERATOR* it : its) {
        while (it != nullptr && st->retcode == 0 && VOZ_HasMoreKeys(it)) {
            VOZ_GetNextKey(it, st);
            uint8_t text[256];
            int32_t len = 0;
            VOZ_GetKeyString(it, text, sizeof text, &len, st);
            std::string key(reinterpret_cast<char*>(text), static_cast<size_t>(len > 0 ? len : 0));
            if (WordOfKey(key) < 0) continue;
            counts[key] += VOZ_GetDocumentCountEx(it, st);
        }
    }
    VOZSEARCH* back = nullptr;
    VOZ_TermKeyIterator(its[1], &back);
    VOZ_TermKeyIterator(its[0], &back);
    GTRSTATUS rs{};
    VOZ_SearchRelease(&back, &rs);
    return counts;
}

// What KeyCounts must give for the live documents: every key of a word
// counts the live documents holding the word. `keyWords` names the word of
// each key seen (keys of a word whose documents are all gone count 0).
inline std::map<std::string, int32_t> ModelCounts(const Docs& live,
                                                  const std::map<std::string, int32_t>& seen) {
    int perWord[kWordCount] = {};
    for (const auto& [doc, word] : live) ++perWord[word];
    std::map<std::string, int32_t> want;
    for (const auto& [key, n] : seen) {
        (void)n;
        want[key] = perWord[WordOfKey(key)];
    }
    return want;
}

inline std::vector<int32_t> Numbers(const Docs& d) {
    std::vector<int32_t> v;
    for (const auto& [doc, word] : d) v.push_back(doc);
    return v;
}

// Index "idx" in <tmp>/out with the current directory in <tmp>; <tmp> is a
// fresh directory under `parent`.
struct Env {
    TempDir tmp;
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    std::string dir = out + "/idx";
    std::string oldCwd;
    explicit Env(const std::string& parent = TI_BINARY_DIR) : tmp("gtrmaint", parent) {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
        oldCwd = std::filesystem::current_path().string();
        std::filesystem::current_path(tmp.path());
    }
    ~Env() { std::filesystem::current_path(oldCwd); }
    // Names in the index directory starting with '#', '%' or '!', or the mark.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> bad;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            const std::string n = e.path().filename().string();
            if (n[0] == '#' || n[0] == '%' || n[0] == '!' || n == "voz.JNL") bad.push_back(n);
        }
        return bad;
    }
};

// The base index of the maintenance crash tests, both sub-indexes: main
// 1-20 and supp 21-30 with document 4 deleted; `threshold` as for Update.
// Built once per process and threshold (a build costs several synced
// commits) and copied into `env`; returns its live documents.
inline Docs CopyBase(const Env& env, int16_t threshold = -1) {
    static std::map<int16_t, std::unique_ptr<TempDir>> models;
    Docs docs;
    for (int32_t d = 1; d <= 30; ++d) docs[d] = static_cast<int>(d % kWordCount);
    docs.erase(4);
    std::unique_ptr<TempDir>& model = models[threshold];
    if (model == nullptr) {
        model = std::make_unique<TempDir>("gtrmaintmodel", fastTempParent());
        Env fresh(fastTempParent());  // the current directory comes back at its end
        GTRSTATUS st{};
        Docs first, second;
        for (int32_t d = 1; d <= 30; ++d) (d <= 20 ? first : second)[d] = d % kWordCount;
        Update(fresh.out, fresh.work, 'N', first, &st, 3, threshold);
        if (st.retcode == 0) Update(fresh.out, fresh.work, 'A', second, &st, 3, threshold);
        if (st.retcode == 0) Delete(fresh.out, fresh.work, {4}, 'G', &st);
        if (st.retcode != 0) {
            std::fprintf(stderr, "the base index failed: %d/%d\n", st.retcode, st.errcode);
            std::abort();
        }
        std::filesystem::copy(fresh.dir, model->path() + "/idx",
                              std::filesystem::copy_options::recursive);
    }
    std::filesystem::remove_all(env.dir);
    std::filesystem::copy(model->path() + "/idx", env.dir,
                          std::filesystem::copy_options::recursive);
    return docs;
}

}  // namespace mtfix

#endif  // TESTS_ITL_BASE_CALLS_GTRMAINT_FIXTURE_HPP
