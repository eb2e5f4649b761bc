// engine_bench_corpus.cpp -- the corpus and the query mix of
// bench/engine_bench: reading a folder as one document per file, the
// deterministic Zipf text generator, the vocabulary and the queries drawn
// from it, and the query file.
//
// Randomness comes from std::mt19937 reduced by modulo only, so the same
// seed gives the same corpus and the same queries with any standard library.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine_bench.hpp"
#include "short_docs.hpp"

namespace ebench {

namespace fs = std::filesystem;

const char* const kClasses[] = {"word-freq", "word-med", "word-rare", "field",
                                "and",       "or",       "not",       "dist5",
                                "sent",      "prefix",   "suffix",    "fuzzy",
                                "top10"};
const int kClassCount = sizeof kClasses / sizeof kClasses[0];

std::vector<Doc> readCorpus(const std::string& dir) {
    std::vector<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<Doc> docs;
    for (const std::string& p : paths) {
        std::ifstream in(p, std::ios::binary);
        std::string t((std::istreambuf_iterator<char>(in)),
                      std::istreambuf_iterator<char>());
        if (t.empty()) continue;
        docs.push_back({fs::relative(p, dir).string(), std::move(t)});
    }
    return docs;
}

std::vector<Doc> cutShort(const std::vector<Doc>& docs, size_t bytes) {
    std::vector<Doc> out;
    std::vector<int> pieces(docs.size(), 0);
    short_docs::cut(docs.size(), [&](size_t d) -> const std::string& {
        return docs[d].text;
    }, bytes, [&](size_t d, std::string text) {
        out.push_back({docs[d].name + "#" + std::to_string(++pieces[d]), std::move(text)});
    });
    return out;
}

uint64_t treeBytes(const std::string& dir) {
    uint64_t n = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file()) n += e.file_size();
    return n;
}

int similarity(const std::string& a, const std::string& b) {
    const size_t la = a.size(), lb = b.size();
    const size_t longer = std::max(la, lb);
    if (longer == 0) return 100;
    // A length gap alone already below 80 %: no need to count edits.
    if ((longer - std::min(la, lb)) * 5 > longer) return 0;
    std::vector<size_t> row(lb + 1);
    for (size_t j = 0; j <= lb; ++j) row[j] = j;
    for (size_t i = 1; i <= la; ++i) {
        size_t diag = row[0];
        row[0] = i;
        for (size_t j = 1; j <= lb; ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diag = up;
        }
    }
    return static_cast<int>(100 - row[lb] * 100 / longer);
}

// ---- Zipf text ---------------------------------------------------------------

namespace {

uint32_t pick(std::mt19937& rng, uint32_t n) { return rng() % n; }

// 50,000 distinct made-up words of two to four syllables.
std::vector<std::string> zipfVocabulary(std::mt19937& rng) {
    static const char* const on[] = {"b", "c", "d", "f", "g", "l", "m", "n",
                                     "p", "r", "s", "t", "v", "br", "st", "tr"};
    static const char* const nu[] = {"a", "e", "i", "o", "u", "ai", "ea", "ou"};
    static const char* const co[] = {"", "", "n", "r", "s", "l", "t", "x"};
    std::set<std::string> seen;
    std::vector<std::string> words;
    while (words.size() < 50000) {
        std::string w;
        const uint32_t syllables = 2 + pick(rng, 3);
        for (uint32_t s = 0; s < syllables; ++s)
            w += std::string(on[pick(rng, 16)]) + nu[pick(rng, 8)] + co[pick(rng, 8)];
        if (seen.insert(w).second) words.push_back(w);
    }
    return words;
}

}  // namespace

void writeZipfCorpus(const std::string& dir, uint64_t bytes, uint32_t seed) {
    std::mt19937 rng(seed);
    const std::vector<std::string> vocab = zipfVocabulary(rng);
    std::vector<double> cumulative(vocab.size());
    double sum = 0;
    for (size_t k = 0; k < vocab.size(); ++k) cumulative[k] = sum += 1.0 / (k + 1);
    fs::create_directories(dir);
    uint64_t written = 0;
    for (int file = 0; written < bytes; ++file) {
        // 2 to 64 KB, evenly spread on a log scale.
        const double size = 2048.0 * std::pow(32.0, pick(rng, 1000) / 1000.0);
        std::string text;
        while (text.size() < size) {
            const uint32_t sentences = 3 + pick(rng, 6);
            for (uint32_t s = 0; s < sentences; ++s) {
                const uint32_t n = 5 + pick(rng, 21);
                for (uint32_t i = 0; i < n; ++i) {
                    const double r = (rng() / 4294967296.0) * sum;
                    const size_t k = std::lower_bound(cumulative.begin(),
                                                      cumulative.end(), r) -
                                     cumulative.begin();
                    std::string w = vocab[std::min(k, vocab.size() - 1)];
                    if (i == 0) w[0] = static_cast<char>(toupper(w[0]));
                    text += w;
                    text += i + 1 < n ? (pick(rng, 12) == 0 ? ", " : " ") : ". ";
                }
            }
            text += "\n\n";
        }
        char name[32];
        snprintf(name, sizeof name, "/%06d.txt", file);
        std::ofstream(dir + name, std::ios::binary) << text;
        written += text.size();
    }
}

// ---- vocabulary and queries --------------------------------------------------

namespace {

// The document's words: runs of ASCII letters and digits, lower-cased,
// kept when made of letters only (3 to 20 of them) and not touching a
// non-ASCII byte, so that every system cuts them the same way. `sentence`
// gets the running sentence number of each word (a '.', '!' or '?' before
// a blank or the end closes one).
std::vector<std::string> wordsOf(const std::string& t,
                                 std::vector<int>* sentence = nullptr) {
    std::vector<std::string> out;
    int sent = 0;
    size_t i = 0;
    while (i < t.size()) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (!isalnum(c)) {
            if ((c == '.' || c == '!' || c == '?') &&
                (i + 1 == t.size() || isspace(static_cast<unsigned char>(t[i + 1]))))
                ++sent;
            ++i;
            continue;
        }
        size_t j = i;
        bool letters = true;
        while (j < t.size() && isalnum(static_cast<unsigned char>(t[j]))) {
            letters = letters && isalpha(static_cast<unsigned char>(t[j]));
            ++j;
        }
        const bool clean = (i == 0 || static_cast<unsigned char>(t[i - 1]) < 0x80) &&
                           (j == t.size() || static_cast<unsigned char>(t[j]) < 0x80);
        if (letters && clean && j - i >= 3 && j - i <= 20) {
            std::string w = t.substr(i, j - i);
            for (char& ch : w) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
            out.push_back(std::move(w));
            if (sentence != nullptr) sentence->push_back(sent);
        }
        i = j;
    }
    return out;
}

struct Vocabulary {
    std::map<std::string, int> df;  // documents holding the word
    std::vector<std::string> freq, med, rare;

    explicit Vocabulary(const std::vector<Doc>& docs) {
        for (const Doc& d : docs) {
            const std::vector<std::string> w = wordsOf(d.text);
            for (const std::string& s : std::set<std::string>(w.begin(), w.end()))
                ++df[s];
        }
        const int n = static_cast<int>(docs.size());
        // Rare: in 1 to 3 documents, or, in a corpus where every word is
        // more common (large Zipf text), in as few documents as any word.
        int fewest = n;
        for (const auto& entry : df) fewest = std::min(fewest, entry.second);
        const int rareLimit = std::max(3, fewest);
        for (const auto& [w, c] : df) {
            if (c * 10 >= n) freq.push_back(w);
            else if (c * 100 >= n && c > rareLimit) med.push_back(w);
            else if (c <= rareLimit) rare.push_back(w);
        }
    }
    // The first kind of word the corpus lacks, or null.
    const char* missing() const {
        if (freq.empty()) return "frequent";
        if (med.empty()) return "medium";
        if (rare.empty()) return "rare";
        return nullptr;
    }
};

}  // namespace

std::vector<Query> makeQueries(const std::vector<Doc>& docs, int perClass,
                               uint32_t seed) {
    std::mt19937 rng(seed);
    const Vocabulary v(docs);
    std::vector<Query> qs;
    if (v.missing() != nullptr) {
        fprintf(stderr, "the corpus has no %s words to draw queries from\n",
                v.missing());
        return qs;
    }
    auto any = [&](const std::vector<std::string>& from) {
        return from[pick(rng, static_cast<uint32_t>(from.size()))];
    };
    auto longWord = [&](const std::vector<std::string>& from, size_t min) {
        for (;;) {
            const std::string& w = any(from);
            if (w.size() >= min) return w;
        }
    };
    // Two words of one document at most `span` words apart (and, when
    // `oneSentence`, in one sentence), both not frequent.
    auto pair = [&](size_t span, bool oneSentence) {
        for (;;) {
            const Doc& d = docs[pick(rng, static_cast<uint32_t>(docs.size()))];
            std::vector<int> sent;
            const std::vector<std::string> w = wordsOf(d.text, &sent);
            if (w.size() < span + 2) continue;
            const size_t i = pick(rng, static_cast<uint32_t>(w.size() - span - 1));
            const size_t j = i + 1 + pick(rng, static_cast<uint32_t>(span));
            if (w[i] == w[j] || v.df.at(w[i]) * 10 >= static_cast<int>(docs.size()) ||
                v.df.at(w[j]) * 10 >= static_cast<int>(docs.size()))
                continue;
            if (oneSentence && sent[i] != sent[j]) continue;
            return std::vector<std::string>{w[i], w[j]};
        }
    };
    // 2 to `most` distinct medium words of one document.
    auto together = [&](uint32_t most) {
        for (;;) {
            const Doc& d = docs[pick(rng, static_cast<uint32_t>(docs.size()))];
            std::vector<std::string> mine;
            for (const std::string& w : wordsOf(d.text))
                if (std::binary_search(v.med.begin(), v.med.end(), w)) mine.push_back(w);
            std::sort(mine.begin(), mine.end());
            mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
            const uint32_t n = 2 + pick(rng, most - 1);
            if (mine.size() < n) continue;
            std::vector<std::string> out;
            while (out.size() < n) {
                const std::string& w = any(mine);
                if (std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
            }
            return out;
        }
    };
    for (int i = 0; i < perClass; ++i) {
        qs.push_back({"word-freq", {any(v.freq)}});
        qs.push_back({"word-med", {any(v.med)}});
        qs.push_back({"word-rare", {any(v.rare)}});
        qs.push_back({"and", together(3)});
        std::vector<std::string> ors;
        const uint32_t n = 2 + pick(rng, 4);
        while (ors.size() < n) ors.push_back(any(v.med));
        qs.push_back({"or", ors});
        qs.push_back({"not", {any(v.freq), any(v.med)}});
        qs.push_back({"dist5", pair(5, false)});
        qs.push_back({"sent", pair(8, true)});
        qs.push_back({"prefix", {longWord(v.med, 6).substr(0, 4 + pick(rng, 2))}});
        const std::string s = longWord(v.med, 7);
        qs.push_back({"suffix", {s.substr(s.size() - 4 - pick(rng, 2))}});
        std::string typo = longWord(v.med, 7);
        typo[1 + pick(rng, static_cast<uint32_t>(typo.size() - 2))] =
            static_cast<char>('a' + pick(rng, 26));
        qs.push_back({"fuzzy", {typo}});
        qs.push_back({"top10", together(3)});
    }
    // The medium words again, each restricted to the field that holds the
    // whole document: the same documents, so the two classes' times compare
    // the cost of the field check alone.
    for (size_t i = 0, n = qs.size(); i < n; ++i)
        if (qs[i].cls == "word-med") qs.push_back({"field", qs[i].words});
    std::stable_sort(qs.begin(), qs.end(), [](const Query& a, const Query& b) {
        auto rank = [](const std::string& c) {
            return std::find_if(kClasses, kClasses + kClassCount,
                                [&](const char* k) { return c == k; }) - kClasses;
        };
        return rank(a.cls) < rank(b.cls);
    });
    return qs;
}

bool writeQueries(const std::string& file, const std::vector<Query>& qs) {
    std::ofstream out(file);
    for (const Query& q : qs) {
        out << q.cls;
        for (const std::string& w : q.words) out << '\t' << w;
        out << '\n';
    }
    return static_cast<bool>(out);
}

bool readQueries(const std::string& file, std::vector<Query>* qs) {
    std::ifstream in(file);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        Query q;
        std::string w;
        if (!std::getline(f, q.cls, '\t')) continue;
        while (std::getline(f, w, '\t'))
            if (!w.empty()) q.words.push_back(w);
        const bool known = std::any_of(kClasses, kClasses + kClassCount,
                                       [&](const char* k) { return q.cls == k; });
        if (!known || q.words.empty()) return false;
        qs->push_back(std::move(q));
    }
    return true;
}

}  // namespace ebench
