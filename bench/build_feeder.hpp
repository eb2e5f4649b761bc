// build_feeder.hpp -- the corpus and feeder shared by the builder's
// benchmarks: 32 MB of UTF-8 text from a fixed multilingual word list
// (fixed seed) cut into documents of about 4 KB, normalised with the
// character layer (code 34, 3-byte units); every 2-gram of units goes to
// the pool (kind ')', fixed patterns of 2 units), then the document record
// '&'. Header-only; each benchmark program includes it once.
#ifndef BENCH_BUILD_FEEDER_HPP
#define BENCH_BUILD_FEEDER_HPP

#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "build/voz_creatwrk.hpp"
#include "build/voz_pattpool.hpp"
#include "characters/voz_norm_utf8.hpp"
#include "files/voz_records_create.hpp"

namespace buildfeed {

inline const char* const kWords[] = {
    "Crème", "brûlée", "São", "Paulo", "Zürich", "łódź", "Ελληνικά", "σοφία",
    "Русский", "язык", "中文", "漢字", "日本語", "한국어", "문장", "index",
    "engine", "2026", "naïve", "façade", "Straße", "words.", "end!", "search",
    "pattern", "pool", "flush", "sort", "merge", "level", "section", "key",
};

constexpr size_t kCorpusBytes = 32u << 20;
constexpr size_t kDocBytes = 4096;
constexpr int kUnit = 3;

inline const std::vector<std::string>& documents() {
    static std::vector<std::string> docs;
    if (docs.empty()) {
        std::mt19937 rng(20261210);
        std::uniform_int_distribution<size_t> pick(0, sizeof kWords / sizeof *kWords - 1);
        size_t total = 0;
        while (total < kCorpusBytes) {
            std::string d;
            while (d.size() < kDocBytes) {
                d += kWords[pick(rng)];
                d += rng() % 7 ? " " : "\n";
            }
            total += d.size();
            docs.push_back(std::move(d));
        }
    }
    return docs;
}

// Normalises one document into `units` (resized); returns the unit count.
inline size_t normalize(const std::string& text, std::vector<uint8_t>& units) {
    units.resize(text.size() * 3 + 3);
    int32_t len = static_cast<int32_t>(units.size());
    uint8_t state = 0;
    const uint8_t* s = reinterpret_cast<const uint8_t*>(text.data());
    vozConvertUTF8(s, s + text.size(), nullptr, 0, units.data(), &len, nullptr, nullptr,
                   &state);
    return static_cast<size_t>(len) / kUnit;
}

// Pools the 2-grams of one document and its document record.
inline void feed(CREATWRK* cwp, const std::vector<uint8_t>& units, size_t n, int32_t doc,
          GTRSTATUS* st) {
    for (size_t i = 0; i + 1 < n; ++i)
        VOZ_pattPool(cwp, ')', units.data() + i * kUnit, doc, static_cast<int32_t>(i + 1), 0,
                     st);
    VOZ_pattPool(cwp, '&', nullptr, doc, static_cast<int32_t>(n), 0, st);
}

inline double peakMB() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

// The creation parameters of the feeder's index (2-unit fixed keys of
// 3-byte units, code 34) and system parameters with a pool of `pool` bytes
// growing by 1 MB, no time log.
inline void benchParms(int32_t pool, GTRCREATEPARM* p, GTRSYSPARM* sys) {
    memset(p, 0, sizeof *p);
    p->fixedKeyUnits = 2;
    p->headKeyUnits = 3;
    p->inputUnitWidth = kUnit;
    p->storedUnitWidth = 2;
    p->codeInfo[0] = 34;
    memset(sys, 0, sizeof *sys);
    sys->poolsize = pool;
    sys->poolsizedelta = 1 << 20;
    sys->displaylog = 'N';
}

}  // namespace buildfeed

#endif  // BENCH_BUILD_FEEDER_HPP
