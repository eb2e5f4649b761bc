// Thesaurus dictionaries: compilation and lookups over a definition of
// about 100k relations. The definition is made from WordNet's noun data
// ("/usr/share/wordnet/data.noun" of the wordnet-base package): a synonym
// block per synset, its hypernyms as ".HIGHER_THAN" lines; without the
// package, from generated words in blocks of the same shape. Relations are
// counted as the definition states them: n(n-1) in a block of n words and
// 2n for each relation line (the relation and its inverse).
//   BM_ThesCompile         one vozCNETregist (replace) per iteration,
//                          through the temporary store: relations per
//                          second
//   BM_ThesCompileInMemory the same with the in-memory compile (the
//                          internal test switch)
//   BM_ThesWordIndexBuild  the engine's build of the same word index
//                          alone (from the compiled set): the yardstick of
//                          the compile
//   BM_ThesLookup/<depth>  one vozCNETrefer of a random headword (all four
//                          relation kinds, term limit 100), warm handle:
//                          lookups per second, p50_us, p99_us
//   BM_ThesWordSearch      one word-index search of a headword through
//                          GTRsearchIndex (cnetWord_WordID), warm: the
//                          yardstick of a depth-1 lookup
// The dictionary lives in a temporary directory removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calls/voz_wordcalls.hpp"
#include "cnet_base.hpp"
#include "cnet_compile.hpp"
#include "cnet_regist.hpp"
#include "voz_cnet.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kRelations = 100000;
const char* const kWordNet = "/usr/share/wordnet/data.noun";

// Letters and digits with single inner blanks (WordNet's "_" a blank), at
// most 64 bytes.
bool plainWord(std::string* w) {
    std::replace(w->begin(), w->end(), '_', ' ');
    if (w->empty() || w->size() > 64 || w->front() == ' ' || w->back() == ' ') return false;
    for (size_t i = 0; i < w->size(); ++i) {
        const unsigned char c = static_cast<unsigned char>((*w)[i]);
        if (c == ' ' ? (*w)[i - 1] == ' ' : !std::isalnum(c)) return false;
    }
    return true;
}

struct Block {
    std::vector<std::string> words;
    std::vector<std::string> higher;  // targets of .HIGHER_THAN lines
};

size_t relationsOf(const Block& b) {
    return b.words.size() * (b.words.size() - 1) + 2 * b.words.size() * b.higher.size();
}

std::vector<Block> wordNetBlocks() {
    std::ifstream in(kWordNet);
    std::vector<Block> blocks;
    if (!in) return blocks;
    std::map<std::string, std::string> first;   // synset offset -> first word
    std::vector<std::pair<Block, std::vector<std::string>>> raw;  // hypernym offsets
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ' ') continue;
        std::istringstream s(line);
        std::string offset, lexFile, type, countHex;
        s >> offset >> lexFile >> type >> countHex;
        const long words = std::strtol(countHex.c_str(), nullptr, 16);
        Block b;
        for (long i = 0; i < words; ++i) {
            std::string w, lexId;
            s >> w >> lexId;
            if (plainWord(&w) &&
                std::find(b.words.begin(), b.words.end(), w) == b.words.end())
                b.words.push_back(w);
        }
        int pointers = 0;
        s >> pointers;
        std::vector<std::string> hyper;
        for (int i = 0; i < pointers; ++i) {
            std::string sym, target, pos, st;
            s >> sym >> target >> pos >> st;
            if (sym == "@") hyper.push_back(target);
        }
        if (b.words.empty()) continue;
        first[offset] = b.words[0];
        raw.emplace_back(std::move(b), std::move(hyper));
    }
    size_t total = 0;
    for (auto& r : raw) {
        for (const std::string& h : r.second) {
            auto it = first.find(h);
            if (it != first.end()) r.first.higher.push_back(it->second);
        }
        if (r.first.words.size() < 2 && r.first.higher.empty()) continue;
        total += relationsOf(r.first);
        blocks.push_back(std::move(r.first));
        if (total >= kRelations) break;
    }
    return blocks;
}

// Generated words in blocks of 1-5 words with a broader term from an
// earlier block.
std::vector<Block> generatedBlocks() {
    std::mt19937 rng(7);
    std::vector<Block> blocks;
    size_t total = 0;
    while (total < kRelations) {
        Block b;
        const int n = 1 + static_cast<int>(rng() % 5);
        for (int i = 0; i < n; ++i) {
            std::string w;
            const int len = 5 + static_cast<int>(rng() % 8);
            for (int k = 0; k < len; ++k) w += static_cast<char>('a' + rng() % 26);
            b.words.push_back(w);
        }
        if (!blocks.empty()) b.higher.push_back(blocks[rng() % blocks.size()].words[0]);
        if (b.words.size() < 2 && b.higher.empty()) continue;
        total += relationsOf(b);
        blocks.push_back(std::move(b));
    }
    return blocks;
}

struct Dictionary {
    fs::path dir;
    std::string def;
    size_t relations = 0;
    std::string source;
    std::vector<std::string> heads;  // first words of the blocks, shuffled
    void* refer = nullptr;
    void* search = nullptr;

    Dictionary() {
        dir = fs::temp_directory_path() / ("thesaurus_bench." + std::to_string(getpid()));
        fs::create_directories(dir);
        std::vector<Block> blocks = wordNetBlocks();
        source = "wordnet";
        if (blocks.empty()) {
            blocks = generatedBlocks();
            source = "generated";
        }
        std::string text;
        for (const Block& b : blocks) {
            text += ":WORDS:SYNONYM\n";
            for (const std::string& w : b.words) text += w + "\n";
            for (const std::string& h : b.higher) text += ".HIGHER_THAN " + h + "\n";
            relations += relationsOf(b);
            heads.push_back(b.words[0]);
        }
        def = (dir / "th.def").string();
        std::ofstream(def) << text;
        std::shuffle(heads.begin(), heads.end(), std::mt19937(11));
        if (heads.size() > 2000) heads.resize(2000);
    }
    ~Dictionary() {
        CNETSTATUS st;
        vozCNETrefer_Release(&refer, &st);
        cnetWord_WordID_Release(&search);
        fs::remove_all(dir);
    }
    uint32_t compile() {
        CNETDEFINE d;
        std::memset(&d, 0, sizeof d);
        d.kind = CNET_DEFINE_KIND_FILE;
        d.fileName = def.c_str();
        CNETATTRI a;
        std::memset(&a, 0, sizeof a);
        a.codepage = 34;
        CNETEXEC o;
        std::memset(&o, 0, sizeof o);
        o.flags = CNET_EXEC_REPLACE;
        CNETSTATUS st;
        vozCNETregist(dir.c_str(), "th", &d, &a, &o, nullptr, &st);
        return st.retcode;
    }
};

Dictionary& dictionary() {
    static Dictionary d;
    static const bool compiled = [] {
        const uint32_t rc = d.compile();
        if (rc != 0) std::fprintf(stderr, "compile failed: %u\n", rc);
        return rc == 0;
    }();
    (void)compiled;
    return d;
}

void reportLatencies(benchmark::State& state, std::vector<double>& us) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
}

void BM_ThesCompile(benchmark::State& state) {
    Dictionary& d = dictionary();
    for (auto _ : state) {
        if (d.compile() != 0) state.SkipWithError("compile failed");
    }
    state.counters["relations"] = static_cast<double>(d.relations);
    state.counters["relations_per_s"] = benchmark::Counter(
        static_cast<double>(d.relations) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.SetLabel(d.source);
}
BENCHMARK(BM_ThesCompile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ThesCompileInMemory(benchmark::State& state) {
    const CnetCompileSettings memory{true, 0, 0};
    cnetSetCompileSettings(&memory);
    BM_ThesCompile(state);
    cnetSetCompileSettings(nullptr);
}
BENCHMARK(BM_ThesCompileInMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ThesWordIndexBuild(benchmark::State& state) {
    Dictionary& d = dictionary();
    for (auto _ : state) {
        CNETSTATUS st;
        cnetClearStatus(&st);
        void* h = nullptr;
        CNETEXEC quiet;
        std::memset(&quiet, 0, sizeof quiet);
        if (!cnetBuildWordIndex(&quiet, d.dir.c_str(), "th", 0, true, &h, &st))
            state.SkipWithError("word index build failed");
    }
    state.SetLabel(d.source);
}
BENCHMARK(BM_ThesWordIndexBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ThesLookup(benchmark::State& state) {
    Dictionary& d = dictionary();
    std::vector<CNETRESULT> res(100);
    CNETPATH p;
    std::memset(&p, 0, sizeof p);
    p.types = CNET_TYPE_SYNONYM | CNET_TYPE_RELATED | CNET_TYPE_HIGHER | CNET_TYPE_LOWER;
    p.termLimit = 100;
    p.depthLimit = static_cast<uint32_t>(state.range(0));
    std::vector<double> us;
    size_t i = 0;
    for (auto _ : state) {
        const std::string& w = d.heads[i++ % d.heads.size()];
        CNETBASE b;
        std::memset(&b, 0, sizeof b);
        std::memcpy(b.term, w.data(), w.size());
        b.length = static_cast<uint16_t>(w.size());
        b.precision = 100;
        CNETOUTPUT o;
        std::memset(&o, 0, sizeof o);
        o.results = res.data();
        CNETSTATUS st;
        const auto t0 = std::chrono::steady_clock::now();
        vozCNETrefer(&d.refer, nullptr, "th", d.dir.c_str(), &b, &p, nullptr, &o, &st);
        us.push_back(std::chrono::duration<double, std::micro>(
                         std::chrono::steady_clock::now() - t0)
                         .count());
        if (st.retcode != 0) state.SkipWithError("lookup failed");
    }
    state.counters["lookups_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    reportLatencies(state, us);
}
BENCHMARK(BM_ThesLookup)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_ThesWordSearch(benchmark::State& state) {
    Dictionary& d = dictionary();
    // The display forms the lookups search for.
    std::vector<std::string> display;
    for (const std::string& w : d.heads) {
        uint8_t norm[512], out[512];
        int32_t nlen = 0, dlen = 0;
        GTRSTATUS gs;
        std::memset(&gs, 0, sizeof gs);
        GTRnormalizeWord(34, reinterpret_cast<const uint8_t*>(w.data()),
                         static_cast<int32_t>(w.size()), norm, sizeof norm, &nlen, 1, &gs);
        GTRunnormalizeWord(34, norm, nlen, out, sizeof out, &dlen, 1, &gs);
        display.emplace_back(reinterpret_cast<char*>(out), static_cast<size_t>(dlen));
    }
    CNETDIRS dirs;
    CNETSTATUS st;
    cnetClearStatus(&st);
    cnetSplitDirs(d.dir.c_str(), "th", &dirs, &st);
    std::vector<double> us;
    size_t i = 0;
    for (auto _ : state) {
        const std::string& w = display[i++ % display.size()];
        uint32_t* ids = nullptr;
        uint32_t count = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = cnetWord_WordID(&d.search, &dirs, "th", 34,
                                        reinterpret_cast<const uint8_t*>(w.data()),
                                        static_cast<uint32_t>(w.size()), 100, 0, 0, &ids,
                                        &count, &st);
        us.push_back(std::chrono::duration<double, std::micro>(
                         std::chrono::steady_clock::now() - t0)
                         .count());
        std::free(ids);
        if (!ok || count == 0) state.SkipWithError("word not found");
    }
    state.counters["searches_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    reportLatencies(state, us);
}
BENCHMARK(BM_ThesWordSearch)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
