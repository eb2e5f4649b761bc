// Posting control merge and search open.
//   BM_GctlWalk/keys:N    a word part whose alternate characters give N keys
//                         (1, 8, 64), each with 1500 documents of 1-4
//                         positions; the merged stream is walked whole
//                         (document skip, first position, position skips).
//                         Reports positions/s; "hash" sums the (document,
//                         position) pairs so a fast but wrong walk shows.
//   BM_SearchOpen/cached:0  open and close an index with a fresh handle
//                         each time (the key-index table is read)
//   BM_SearchOpen/cached:1  the same handle reopened (the cached table is
//                         reused)
// Fixed corpus: seed 42; the index is written once into a temporary
// directory through the storage's writers.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "files/voz_records.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_idxset.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int kDocs = 1500;

// The encoded position list of (document, positions) pairs.
std::vector<uint8_t> encode(const std::vector<std::pair<uint32_t,
                                                        std::vector<uint32_t>>>& l) {
    std::vector<uint8_t> out;
    uint32_t prevDoc = 0xFFFFFFFFu;
    for (auto& [doc, ps] : l) {
        std::vector<uint8_t> data;
        uint32_t prev = 0;
        for (uint32_t p : ps) {
            uint8_t code[5];
            data.insert(data.end(), code, code + voz_PosCodeEncode(code, p - prev));
            prev = p;
        }
        uint8_t head[16];
        uint32_t h = voz_PosHeaderEncode(head, doc - prevDoc,
                                         static_cast<uint32_t>(data.size()));
        out.insert(out.end(), head, head + h);
        out.insert(out.end(), data.begin(), data.end());
        prevDoc = doc;
    }
    return out;
}

// Letters of unit i's variants: the word's 'a' and its alternatives.
const char* kLetters = "abcd";

struct BenchIndex {
    std::string dir;
    BenchIndex() {
        dir = (std::filesystem::temp_directory_path() /
               ("search_bench." + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        GTRSTATUS st{};
        _FCTLHEAD fs;
        voz_SetFctlForRead(&fs, "idx", dir.c_str(), 0, 0, "KPLQ", "Full", &st);
        vozCreateIndexDirectory(&fs, &st);
        voz_IDXopen(&fs, "wb+", &st);
        KEYINFO_0 info{};
        memcpy(info.version, "V4_0", 4);
        info.fixedKeyUnits = 3;
        info.unitWidth = 2;
        voz_WriteKeyInfo(&fs, &info, &st);
        std::mt19937 rng(42);
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b)
                for (int c = 0; c < 4; ++c) {
                    std::vector<std::pair<uint32_t, std::vector<uint32_t>>> l;
                    for (uint32_t d = 0; d < kDocs; ++d) {
                        uint32_t doc = d * 3 + rng() % 3;
                        std::vector<uint32_t> ps;
                        uint32_t p = 0;
                        for (int k = 0, n = 1 + static_cast<int>(rng() % 4); k < n; ++k)
                            ps.push_back(p += 1 + rng() % 50);
                        l.push_back({doc, ps});
                    }
                    std::vector<uint8_t> bytes = encode(l);
                    voz_fseek_POSFILE(&fs, -1, &st);
                    KEY_REC rec{};
                    rec.kind = VOZ_KIND_FIXED;
                    rec.recCount = 1;
                    uint8_t key[6] = {static_cast<uint8_t>(kLetters[a]), 0,
                                      static_cast<uint8_t>(kLetters[b]), 0,
                                      static_cast<uint8_t>(kLetters[c]), 0};
                    memcpy(rec.key, key, 6);
                    rec.location = static_cast<uint32_t>(fs.posOffset);
                    rec.dataLength = static_cast<uint32_t>(bytes.size());
                    rec.docCount = static_cast<uint32_t>(l.size());
                    rec.lastDoc = l.back().first;
                    voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()),
                                       &fs, &st);
                    voz_WriteKey(&fs, &info, &rec, 255, nullptr, &st);
                }
        voz_WriteKeyInfo(&fs, &info, &st);
        voz_IDXclose(&fs, &st);
        voz_WriteKeyInfo2(&fs, &st);
        if (st.retcode != 0) std::abort();
    }
    ~BenchIndex() { std::filesystem::remove_all(dir); }
};

BenchIndex& benchIndex() {
    static BenchIndex idx;
    return idx;
}

VOZSEARCH* open(VOZSEARCH* h, GTRSTATUS* st) {
    GTRCREATEPARM p1, p2;
    VOZ_SearchOpen_(&h, "idx", benchIndex().dir.c_str(), "KPLQ", "MRNS", "Full",
                    "Item", nullptr, &p1, &p2, VOZ_HALF_TEXT, st, 0);
    return h;
}

void BM_GctlWalk(benchmark::State& state) {
    int n = static_cast<int>(state.range(0));
    int alts = n == 1 ? 0 : (n == 8 ? 1 : 3);  // (alts + 1)^3 keys
    GTRSTATUS st{};
    VOZSEARCH* h = open(nullptr, &st);
    IDXINFO* set = &h->first.set0[0];
    uint8_t text[6] = {'a', 0, 'a', 0, 'a', 0};
    VOZALTERENTRY alters[3] = {};
    for (auto& e : alters) {
        e.count = alts;
        for (int k = 0; k < alts; ++k) {
            e.alter[k].unit[0] = static_cast<uint8_t>(kLetters[k + 1]);
            e.alter[k].weight = 80;
        }
    }
    RTRVWORDEXT word{};
    word.wi.wordp = text;
    word.wi.wordlen = 6;
    word.alter_chars = alters;
    int64_t positions = 0;
    uint64_t hash = 0;
    for (auto _ : state) {
        GCTLINFO g{};
        g.pattLength = 6;
        voz_SearchPatt_(&word, &g, 0, set, 'A', &st, 0);
        while (g.endOfDocs != 'Y' && st.retcode == 0) {
            voz_GctlPosSkipFirst(&g, 1, set, &st);
            while (g.endOfPos != 'Y') {
                hash += static_cast<uint64_t>(g.curDoc) * 131 + g.curPos;
                ++positions;
                voz_GctlPosSkip(&g, g.curPos + 1, set, &st);
            }
            voz_GctlDocSkip(&g, g.curDoc + 1, set, &st);
        }
        voz_SearchPattTerm(&g, &st);
    }
    if (st.retcode != 0) state.SkipWithError("search failed");
    state.SetItemsProcessed(positions);
    state.counters["hash"] = static_cast<double>(hash % 1000000007u);
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}
BENCHMARK(BM_GctlWalk)->ArgName("keys")->Arg(1)->Arg(8)->Arg(64);

void BM_SearchOpen(benchmark::State& state) {
    bool cached = state.range(0) != 0;
    GTRSTATUS st{};
    VOZSEARCH* h = nullptr;
    for (auto _ : state) {
        h = open(h, &st);
        VOZ_SearchClose_(h, &st, 0);
        if (!cached) VOZ_SearchRelease(&h, &st);
    }
    if (st.retcode != 0) state.SkipWithError("open failed");
    VOZ_SearchRelease(&h, &st);
}
BENCHMARK(BM_SearchOpen)->ArgName("cached")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
