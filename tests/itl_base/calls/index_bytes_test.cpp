// The bytes of every file of a built index: a made-up corpus (ASCII words,
// accented, Turkish, Cyrillic, Hangul, CJK and four-byte characters, long
// words, digits, punctuation, sentence ends, blank lines) indexed under each
// setting of index_build.hpp must give files of exactly the recorded sizes
// and FNV-1a digests. A change of the builder that is meant to leave the
// format alone (a faster sort, cut or writer) must keep them all.
//
// After a change that alters the format on purpose, INDEX_BYTES_PRINT=1
// prints the new table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "index_build.hpp"
#include "ti_test_util.hpp"

namespace {

namespace fs = std::filesystem;

// A fixed pseudo-random sequence (the same on every platform).
class Lcg {
public:
    explicit Lcg(uint64_t seed) : m_s(seed) {}
    uint32_t next() {
        m_s = m_s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(m_s >> 33);
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint64_t m_s;
};

const char* const kSyllables[] = {"ka", "to", "ri", "ne", "sa", "mu", "lo",
                                  "pe", "vi", "da", "gu", "che", "str", "on",
                                  "ex", "qua", "zy", "th", "an", "i"};

// Words other than the made-up ASCII ones, as UTF-8.
const char* const kOther[] = {
    "café", "naïve", "Straße", "über", "ılık", "İstanbul", "Iğdır",
    "привет", "λόγος", "한국어", "日本語の文章です。", "x86_64", "2024",
    "3.14", "ｶﾞｷﾞ", "😀", "𠀋", "fooBar", "HTTP", "e-mail", "a.b.c",
    "“quoted”", "—", "::", "()", "[1]", "#", "\t", "\xFF", "Ⅻ", "Ǆ"};

std::string asciiWord(Lcg& r) {
    std::string w;
    const uint32_t n = 1 + r.below(5);
    for (uint32_t i = 0; i < n; ++i) w += kSyllables[r.below(20)];
    const uint32_t c = r.below(10);
    if (c == 0) {
        for (char& ch : w) ch = static_cast<char>(ch - 'a' + 'A');
    } else if (c < 3) {
        w[0] = static_cast<char>(w[0] - 'a' + 'A');
    }
    return w;
}

std::string document(Lcg& r, uint32_t no) {
    std::string t;
    const uint32_t words = 10 + r.below(300);
    for (uint32_t i = 0; i < words; ++i) {
        const uint32_t k = r.below(100);
        if (k < 80) {
            t += asciiWord(r);
        } else if (k < 95) {
            t += kOther[r.below(sizeof kOther / sizeof kOther[0])];
        } else if (k < 97) {
            std::string longWord;
            const uint32_t n = 20 + r.below(120);  // parts of up to 128 units
            while (longWord.size() < n) longWord += kSyllables[r.below(20)];
            t += longWord;
        } else {
            t += std::to_string(r.below(100000));
        }
        const uint32_t s = r.below(40);
        if (s == 0) t += ".\n\n";
        else if (s < 3) t += ". ";
        else if (s < 5) t += ", ";
        else if (s == 5) t += "\n";
        else if (s == 6) t += "! ";
        else t += " ";
    }
    if (no % 17 == 0) t += "\n   \n";  // trailing blank lines
    return t;
}

std::vector<std::string> corpus() {
    Lcg r(20261211);
    std::vector<std::string> docs;
    for (uint32_t i = 1; i <= 240; ++i) docs.push_back(document(r, i));
    return docs;
}

uint64_t fnv1a(const std::string& bytes) {
    uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

struct FileSum {
    uint64_t size;
    uint64_t hash;
    bool operator==(const FileSum& o) const {
        return size == o.size && hash == o.hash;
    }
};

// Every file below dir by its path relative to dir. The write time in the
// header of the key files (bytes 88-91) counts as zero: it is the one field
// that differs from run to run.
std::map<std::string, FileSum> sums(const std::string& dir) {
    std::map<std::string, FileSum> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        const std::string path = fs::relative(e.path(), dir).string();
        std::string bytes = readFile(e.path().string());
        const bool keyFile = path.find("voz.KEY/") != std::string::npos ||
                             path.find("voz.LEY/") != std::string::npos;
        if (keyFile && bytes.size() >= 92) bytes.replace(88, 4, 4, '\0');
        out[path] = {bytes.size(), fnv1a(bytes)};
    }
    return out;
}

struct Expected {
    const char* setting;
    const char* path;
    uint64_t size;
    uint64_t hash;
};

// The files of each setting (INDEX_BYTES_PRINT=1 prints this table).
const Expected kExpected[] = {
#include "index_bytes_table.inc"
};

class IndexBytes : public ::testing::TestWithParam<index_build::Setting> {};

TEST_P(IndexBytes, EveryFileAsRecorded) {
    const index_build::Setting& s = GetParam();
    std::vector<std::string> docs = corpus();
    TempDir dir("index_bytes", fastTempParent());
    index_build::Times t;
    ASSERT_EQ(index_build::build(s, docs, dir.path(), &t), "");
    const std::map<std::string, FileSum> got = sums(dir / "out");
    if (std::getenv("INDEX_BYTES_PRINT") != nullptr) {
        for (const auto& [path, sum] : got)
            printf("    {\"%s\", \"%s\", %llu, 0x%016llxULL},\n", s.name,
                   path.c_str(), static_cast<unsigned long long>(sum.size),
                   static_cast<unsigned long long>(sum.hash));
    }
    std::map<std::string, FileSum> want;
    for (const Expected& e : kExpected)
        if (std::string(e.setting) == s.name) want[e.path] = {e.size, e.hash};
    ASSERT_FALSE(want.empty());
    for (const auto& [path, sum] : want) {
        auto it = got.find(path);
        if (it == got.end()) {
            ADD_FAILURE() << path << " missing";
            continue;
        }
        EXPECT_EQ(it->second.size, sum.size) << path;
        EXPECT_EQ(it->second.hash, sum.hash) << path;
    }
    for (const auto& [path, sum] : got)
        EXPECT_TRUE(want.count(path) != 0) << path << " not expected";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, IndexBytes, ::testing::ValuesIn(index_build::settings()),
    [](const ::testing::TestParamInfo<index_build::Setting>& i) {
        return std::string(i.param.name);
    });

}  // namespace
