// A real thesaurus: the English data file of the mythes-en-us package
// ("/usr/share/mythes/th_en_US_v2.dat") turned into a UTF-8 definition,
// one synonym block per meaning of a headword (the headword and the
// meaning's plain synonyms; words the definition language cannot hold are
// left out). It compiles with 0, and synonym lookups of depth 1 give
// exactly the other members of the blocks that hold the word (compared in
// the engine's normalised form; the definition's words are in lower case).
// A random part of the file keeps the test short. Skipped when the package is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cnet_dict_util.hpp"

namespace {

const char* const kDataFile = "/usr/share/mythes/th_en_US_v2.dat";

// Words of ASCII letters and digits with single inner blanks, at most 64
// bytes: nothing the definition reader could take for syntax.
bool plainWord(const std::string& w) {
    if (w.empty() || w.size() > 64 || w.front() == ' ' || w.back() == ' ') return false;
    for (size_t i = 0; i < w.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(w[i]);
        if (c == ' ') {
            if (w[i - 1] == ' ') return false;
        } else if (!std::isalnum(c) || c >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string lower(std::string w) {
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return w;
}

// The engine's normalised form of a word in lower case. The definition
// holds its words in lower case: words that differ in case only are apart
// in a dictionary but share their display form.
std::string key(const std::string& w) { return cdict::norm(34, lower(w)); }

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t bar = line.find('|', start);
        out.push_back(line.substr(start, bar == std::string::npos ? std::string::npos
                                                                  : bar - start));
        if (bar == std::string::npos) return out;
        start = bar + 1;
    }
}

TEST(CnetRealDictionary, MythesSynonymsCompileAndLookUp) {
    std::ifstream in(kDataFile);
    if (!in) GTEST_SKIP() << kDataFile << " absent (package mythes-en-us)";
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));  // the encoding
    ASSERT_EQ(line, "UTF-8");

    // Blocks of about one headword in 40.
    std::vector<std::vector<std::string>> blocks;
    std::vector<std::string> heads;
    while (std::getline(in, line)) {
        const std::vector<std::string> h = split(line);
        if (h.size() != 2) continue;
        const int meanings = std::atoi(h[1].c_str());
        const bool take = rng() % 40 == 0 && plainWord(h[0]);
        bool any = false;
        for (int m = 0; m < meanings && std::getline(in, line); ++m) {
            if (!take) continue;
            std::vector<std::string> parts = split(line);
            std::vector<std::string> block{lower(h[0])};
            std::set<std::string> seen{key(h[0])};
            for (size_t i = 1; i < parts.size(); ++i)
                if (plainWord(parts[i]) && seen.insert(key(parts[i])).second)
                    block.push_back(lower(parts[i]));
            if (block.size() < 2) continue;
            blocks.push_back(block);
            any = true;
        }
        if (any) heads.push_back(lower(h[0]));
    }
    ASSERT_GT(blocks.size(), 100u);

    std::string def;
    std::map<std::string, std::set<std::string>> others;  // normalised
    for (const auto& b : blocks) {
        def += ":WORDS:SYNONYM\n";
        for (const std::string& w : b) def += w + "\n";
        for (const std::string& w : b)
            for (const std::string& o : b)
                if (w != o) others[key(w)].insert(key(o));
    }
    TempDir dir("cnet_real", fastTempParent());
    CNETSTATUS st = cdict::compile(dir.path(), "en", def, 34);
    ASSERT_EQ(st.retcode, 0u) << st.errcode << " line " << st.line;

    std::shuffle(heads.begin(), heads.end(), rng);
    cdict::Lookup lk;
    lk.types = CNET_TYPE_SYNONYM;
    lk.userKinds = 0;
    lk.depth = 1;
    lk.limit = 1000;
    for (size_t i = 0; i < heads.size() && i < 200; ++i) {
        std::vector<cdict::Found> got;
        st = lk.run(dir.path(), "en", heads[i], &got);
        ASSERT_EQ(st.retcode, 0u) << heads[i];
        EXPECT_EQ(st.resultsCut, 0u) << heads[i];
        std::set<std::string> found;
        for (const cdict::Found& f : got) {
            EXPECT_EQ(f.depth, 1u);
            found.insert(key(f.term));
        }
        EXPECT_EQ(found.size(), got.size()) << heads[i] << ": a term twice " << ::testing::PrintToString(got);
        EXPECT_EQ(found, others[key(heads[i])]) << heads[i];
    }
}

}  // namespace
