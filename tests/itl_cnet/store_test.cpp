// Tests of the compile's temporary store and of compilation through it:
// the store's sorted and reading-order reads against std::sort over random
// words with runs small enough to flush and merge many times; random
// definitions compiled through the store (small runs) and in memory give
// the same files byte for byte; a refused temporary-file operation fails
// the compile and leaves the old dictionary; temporary files left by a
// killed compile are removed by the next compile or clear.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <tuple>

#include "cnet_compile.hpp"
#include "cnet_model.hpp"
#include "cnet_tmpstore.hpp"

namespace {

// Every file of a directory by name, with its bytes.
std::map<std::string, std::string> allFiles(const std::string& dir) {
    std::map<std::string, std::string> out;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return out;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        out[n] = readFile(dir + "/" + n);
    }
    closedir(d);
    return out;
}

std::vector<std::string> tempFiles(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& f : allFiles(dir))
        if (f.first.find(".$") != std::string::npos) out.push_back(f.first);
    return out;
}

// Restores the default compile settings at the end of a scope.
struct ScopedSettings {
    explicit ScopedSettings(const CnetCompileSettings& s) { cnetSetCompileSettings(&s); }
    ~ScopedSettings() { cnetSetCompileSettings(nullptr); }
};

struct Word {
    std::string text;
    uint8_t strength;
    CNETREL rel;
};

// Writes `words`, then checks both reads; returns false on a store failure.
void checkStore(const std::string& dir, const std::vector<Word>& words, uint32_t runRecords,
                uint32_t runText, const std::string& what) {
    CNETDIRS dirs;
    CNETSTATUS st;
    cnetClearStatus(&st);
    ASSERT_TRUE(cnetSplitDirs(dir.c_str(), "th", &dirs, &st));
    TMPCTL t;
    ASSERT_TRUE(cnetTmpOpen(&t, &dirs, "th", runRecords, runText, &st)) << st.retcode;
    for (const Word& w : words)
        ASSERT_TRUE(cnetTmpWrite(&t, reinterpret_cast<const uint8_t*>(w.text.data()),
                                 static_cast<uint32_t>(w.text.size()), w.strength, w.rel, &st))
            << what << " rc " << st.retcode;
    // Expected orders: by word (bytes, then length), then record number.
    std::vector<uint32_t> sorted(words.size());
    for (uint32_t i = 0; i < sorted.size(); ++i) sorted[i] = i;
    std::sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) {
        return std::tie(words[a].text, a) < std::tie(words[b].text, b);
    });
    auto readAll = [&](char mode, std::vector<uint32_t>* order) {
        ASSERT_TRUE(cnetTmpRewind(&t, mode, &st)) << what << " rc " << st.retcode;
        for (;;) {
            TMPREC r;
            const uint8_t* text = nullptr;
            bool more = false;
            ASSERT_TRUE(cnetTmpRead(&t, &r, &text, &more, &st)) << what << " rc " << st.retcode;
            if (!more) break;
            ASSERT_LT(r.number, words.size()) << what;
            const Word& w = words[r.number];
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(text), r.length), w.text) << what;
            ASSERT_EQ(r.strength, w.strength) << what;
            ASSERT_EQ(r.rel.category, w.rel.category) << what;
            ASSERT_EQ(r.rel.id, w.rel.id) << what;
            order->push_back(r.number);
        }
    };
    std::vector<uint32_t> gotSorted, gotPlain;
    readAll('S', &gotSorted);
    EXPECT_EQ(gotSorted, sorted) << what;
    readAll('R', &gotPlain);
    std::vector<uint32_t> plain(words.size());
    for (uint32_t i = 0; i < plain.size(); ++i) plain[i] = i;
    EXPECT_EQ(gotPlain, plain) << what;
    cnetTmpClose(&t);
    EXPECT_EQ(tempFiles(dir).size(), 6u) << what;
    EXPECT_TRUE(cnetTmpDelete(&dirs, "th", &st));
    EXPECT_TRUE(tempFiles(dir).empty()) << what;
}

TEST(CnetTmpStore, SortedAndPlainReadsOverManyRuns) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir d{"cnet_store", fastTempParent()};
    // Run limits: a run of one record, of a few, text-bound, and the
    // defaults (no flush at all).
    const std::pair<uint32_t, uint32_t> runs[] = {
        {1, 0}, {3, 0}, {7, 400}, {64, 0}, {100000, CNET_TMP_RUN_TEXT_MIN},
        {CNET_TMP_RUN_RECORDS, CNET_TMP_RUN_TEXT}};
    for (const auto& run : runs) {
        for (int round = 0; round < 3; ++round) {
            std::vector<Word> words;
            const int n = static_cast<int>(rng() % 600);
            const int vocab = 1 + static_cast<int>(rng() % 80);
            for (int i = 0; i < n; ++i) {
                Word w;
                // Equal words, prefixes of each other, bytes above 0x7f
                // and the longest texts.
                const int v = static_cast<int>(rng() % vocab);
                if (v == 0) w.text.assign(CNET_TMP_WORD_MAX, static_cast<char>(0xe3));
                else w.text = std::string(1 + v % 5, static_cast<char>('a' + v % 3)) +
                              (v % 7 == 0 ? "\xc3\xa9" : std::to_string(v));
                w.strength = static_cast<uint8_t>(1 + rng() % 100);
                w.rel = CNETREL{static_cast<uint8_t>(rng() % 4), static_cast<uint8_t>(rng())};
                words.push_back(w);
            }
            checkStore(d.path(), words, run.first, run.second,
                       "seed " + std::to_string(seed) + " run " + std::to_string(run.first) +
                           "/" + std::to_string(run.second) + " n " + std::to_string(n));
        }
    }
}

// A record file and a text file that do not fit together give 501, never a
// read past the text or a huge one.
TEST(CnetTmpStore, DamagedFilesGive501) {
    TempDir d{"cnet_store_d", fastTempParent()};
    CNETDIRS dirs;
    CNETSTATUS st;
    cnetClearStatus(&st);
    ASSERT_TRUE(cnetSplitDirs(d.path().c_str(), "th", &dirs, &st));
    const std::string recs = d.path() + "/th.$20", texts = d.path() + "/th.$21";
    auto patch = [](const std::string& path, size_t at, uint32_t v) {
        std::string b = readFile(path);
        std::memcpy(&b[at], &v, 4);
        writeFile(path, b);
    };
    const std::vector<std::pair<std::string, std::function<void()>>> damage = {
        {"offset of record 1", [&] { patch(recs, 16 + 4, 12345); }},
        {"length of record 2 zero", [&] { patch(recs, 32 + 8, 0); }},
        {"length of record 2 huge", [&] { patch(recs, 32 + 8, 0x7fffffff); }},
        {"text file short", [&] { writeFile(texts, readFile(texts).substr(0, 7)); }},
        {"record file cut inside a record",
         [&] { writeFile(recs, readFile(recs).substr(0, 40)); }},
    };
    for (const auto& dm : damage) {
        TMPCTL t;
        cnetClearStatus(&st);
        ASSERT_TRUE(cnetTmpOpen(&t, &dirs, "th", 2, 0, &st));
        for (const char* w : {"alpha", "beta", "gamma", "delta"})
            ASSERT_TRUE(cnetTmpWrite(&t, reinterpret_cast<const uint8_t*>(w),
                                     static_cast<uint32_t>(std::strlen(w)), 100,
                                     CNETREL{255, 0}, &st));
        ASSERT_TRUE(cnetTmpRewind(&t, 'R', &st));
        dm.second();
        bool more = true;
        int n = 0;
        TMPREC r;
        const uint8_t* text = nullptr;
        while (more && cnetTmpRead(&t, &r, &text, &more, &st)) ++n;
        EXPECT_EQ(st.retcode, 501u) << dm.first;
        EXPECT_LT(n, 4) << dm.first;
        cnetTmpClose(&t);
    }
}

// Random definitions compiled through the store and in memory must give the
// same files, and lookups go through the same word index.
TEST(CnetTmpStore, StoreAndMemoryCompilesAreByteIdentical) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    // Each round builds two word indexes, which a sanitized build makes
    // slow: it runs fewer rounds.
#if defined(__SANITIZE_ADDRESS__)
    const int rounds = 8;
#else
    const int rounds = 24;
#endif
    for (int round = 0; round < rounds; ++round) {
        std::vector<cmodel::MBlock> blocks;
        const int vocab = 4 + static_cast<int>(rng() % 120);
        const bool blanks = rng() % 2 == 0;
        const int parts = 1 + static_cast<int>(rng() % 12);
        for (int p = 0; p < parts; ++p) {
            auto more = cmodel::randomBlocks(rng, vocab, blanks);
            blocks.insert(blocks.end(), more.begin(), more.end());
        }
        const uint8_t cp = rng() % 2 == 0 ? 8 : 34;
        const std::string def = cmodel::definition(blocks);
        const CnetCompileSettings store{false, 1 + static_cast<uint32_t>(rng() % 16),
                                        static_cast<uint32_t>(rng() % 2 == 0 ? 0 : 200 + rng() % 800)};
        const std::string what = "seed " + std::to_string(seed) + " round " +
                                 std::to_string(round) + " run " +
                                 std::to_string(store.runRecords) + "/" +
                                 std::to_string(store.runText) + "\n" + def;
        TempDir a{"cnet_store_a", fastTempParent()};
        TempDir b{"cnet_store_b", fastTempParent()};
        CNETSTATUS sa, sb;
        {
            ScopedSettings s(store);
            sa = cdict::compile(a.path(), "th", def, cp);
        }
        {
            ScopedSettings s(CnetCompileSettings{true, 0, 0});
            sb = cdict::compile(b.path(), "th", def, cp);
        }
        ASSERT_EQ(sa.retcode, 0u) << what << " errcode " << sa.errcode;
        ASSERT_EQ(sb.retcode, 0u) << what;
        const auto fa = allFiles(a.path()), fb = allFiles(b.path());
        ASSERT_EQ(fa.size(), fb.size()) << what;
        for (auto ia = fa.begin(), ib = fb.begin(); ia != fa.end(); ++ia, ++ib) {
            ASSERT_EQ(ia->first, ib->first) << what;
            EXPECT_EQ(hex(ia->second), hex(ib->second)) << ia->first << " " << what;
        }
        EXPECT_TRUE(tempFiles(a.path()).empty()) << what;
        // And both equal the model.
        cmodel::Model model(blocks, cp);
        EXPECT_EQ(hex(cdict::liveFiles(a.path(), "th")), hex(model.files())) << what;
    }
}

// Refuses "write" and "delete" of the temporary files from the n-th on.
long g_refuseFrom = -1;
long g_tmpOps = 0;
int refuseTmp(const char* op, const char* path) {
    if (std::string(path).find(".$") == std::string::npos) return 0;
    if (std::string(op) != "write" && std::string(op) != "delete") return 0;
    return g_tmpOps++ >= g_refuseFrom && g_refuseFrom >= 0 ? EIO : 0;
}

TEST(CnetTmpStore, RefusedTemporaryFileFailsTheCompileCleanly) {
    ScopedSettings s(CnetCompileSettings{false, 2, 0});
    const std::string defA = ":WORDS:SYNONYM\ncar\nauto\n";
    const std::string defB =
        ":WORDS:SYNONYM\nbus\ncoach\ntram\n:WORDS:RELATED\nbus\nvan\nlorry\ntruck\n";
    TempDir d{"cnet_store_f", fastTempParent()};
    // Count the operations on temporary files of one compile of B.
    g_refuseFrom = -1;
    g_tmpOps = 0;
    cnetSetTestHooks(&refuseTmp, nullptr);
    ASSERT_EQ(cdict::compile(d.path(), "th", defB).retcode, 0u);
    const long total = g_tmpOps;
    ASSERT_EQ(cdict::compile(d.path(), "th", defA).retcode, 0u);
    const std::string before = cdict::liveFiles(d.path(), "th");
    ASSERT_GT(total, 12);
    std::set<uint32_t> codes;
    for (long k = 0; k < total; ++k) {
        g_refuseFrom = k;
        g_tmpOps = 0;
        CNETSTATUS st = cdict::compile(d.path(), "th", defB);
        codes.insert(st.retcode);
        EXPECT_NE(st.retcode, 0u) << k;
        EXPECT_NE(std::string(st.fname1).find(".$"), std::string::npos) << k;
        EXPECT_EQ(cdict::liveFiles(d.path(), "th"), before) << k;
        EXPECT_TRUE(exists(d.path() + "/th.lk3")) << k;
    }
    cnetSetTestHooks(nullptr, nullptr);
    EXPECT_EQ(codes, (std::set<uint32_t>{510, 512, 515}));
    // The temporary files a refused delete left go with the next compile.
    ASSERT_EQ(cdict::compile(d.path(), "th", defB).retcode, 0u);
    EXPECT_TRUE(tempFiles(d.path()).empty());
}

TEST(CnetTmpStore, LeftTemporaryFilesGoWithTheNextCompileOrClear) {
    for (bool clear : {false, true}) {
        TempDir d{"cnet_store_l", fastTempParent()};
        ASSERT_EQ(cdict::compile(d.path(), "th", ":WORDS:SYNONYM\ncar\nauto\n").retcode, 0u);
        for (const char* n : {"$00", "$01", "$10", "$11", "$20", "$21"})
            writeFile(d.path() + "/th." + n, "left by a killed compile");
        ScopedSettings s(CnetCompileSettings{true, 0, 0});  // even in memory
        CNETSTATUS st;
        if (clear)
            vozCNETclear(d.path().c_str(), "th", &st);
        else
            st = cdict::compile(d.path(), "th", ":WORDS:SYNONYM\ncar\nmotorcar\n");
        EXPECT_EQ(st.retcode, 0u);
        EXPECT_TRUE(tempFiles(d.path()).empty()) << clear;
    }
}

}  // namespace
