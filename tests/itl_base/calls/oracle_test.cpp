// The exactness oracle of word search: a few hundred generated documents of
// Latin text (sentences, both cases, digits, punctuation, paragraph
// delimiters) are indexed through the creation calls and searched through
// GTRsearchIndex with queries of every class (frequent, medium and rare
// words, digits, words with punctuation, AND, OR, NOT, a distance over
// paragraphs, the sentence distance, trailing and leading masks, fuzzy
// words at 80, nested operators, a ranked top 10), by query text and, for
// every other query on the first index, by structured condition. The
// answers must equal those of the independent model of oracle_model.hpp and
// oracle_query.hpp.
//
// Word search on Latin text: code page 34, bigrams (index_type 2), key
// index n-grams of three (index_subtype 3); the letter runs (word rule 0)
// or the letter and digit runs (word rule 1) become whole-word keys. Two
// indexes are searched: one case folded (`disable` 1, word rule 0) made in
// one update, and one keeping case (`disable` 0, word rule 1) made in two
// (the second appends a supp half and deletes some documents of main),
// searched with case-sensitive words too, then again once VOZ_mergeIndex
// has merged its halves (and dropped the deleted documents).
//
// Query text notes: a distance operator names a boundary kind ("*5" the
// caller's delimiter 5, here paragraph starts; "*0" sentences), and mask
// characters apply when the precision option carries '_' ("abc*%_100").
//
// Every unranked query text also runs in the document-only answer form,
// which must give the same documents, each with the full answer's first
// entry.
//
// The corpus and the queries come from one seed: fixed, printed, and
// replaced by TEST_SEED.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"
#include "oracle_query.hpp"
#include "calls/voz_gtrmaint.hpp"
#include "calls/voz_gtrresult.hpp"

namespace {

using oracle::Query;

constexpr uint32_t kDefaultSeed = 20261210;
constexpr int kDocuments = 300;
constexpr int kVocabulary = 240;
constexpr int kParagraphDelim = 5;

uint32_t oracleSeed() {
    const char* s = std::getenv("TEST_SEED");
    uint32_t seed = s != nullptr
                        ? static_cast<uint32_t>(std::strtoul(s, nullptr, 0))
                        : kDefaultSeed;
    std::printf("seed %u (replay with TEST_SEED=%u)\n", seed, seed);
    return seed;
}

struct Rng {
    std::mt19937 g;
    explicit Rng(uint32_t seed) : g(seed) {}
    int pick(int n) { return static_cast<int>(g() % static_cast<uint32_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }
};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> trigramsOf(const std::string& w) {
    std::vector<std::string> t;
    const std::string u = upper(w);
    for (size_t i = 0; i + 3 <= u.size(); ++i) t.push_back(u.substr(i, 3));
    return t;
}

// ---- the corpus --------------------------------------------------------------

struct Text {
    int32_t docno;
    std::string text;
    std::vector<size_t> paragraphs;  // offsets of delimiter kParagraphDelim
};

struct Corpus {
    std::vector<std::string> vocab;   // letter words, no shared trigram
    std::set<std::string> trigrams;   // of the vocabulary
    std::vector<double> weight;       // Zipf weights of vocab
    std::vector<std::string> specials{"2024", "1999", "314", "4711",
                                      "x86", "b12", "k99", "3.14"};
    std::vector<Text> docs;
};

std::string pseudoWord(Rng& rng) {
    static const int lengths[] = {2, 3, 3, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 8, 8, 9, 10, 11};
    static const char vowels[] = "aeiou";
    const int len = lengths[rng.pick(sizeof lengths / sizeof lengths[0])];
    std::string w;
    for (int i = 0; i < len; ++i)
        w += rng.chance(40) ? vowels[rng.pick(5)]
                            : static_cast<char>('a' + rng.pick(26));
    return w;
}

std::string token(Rng& rng, const Corpus& c, std::discrete_distribution<int>& zipf) {
    if (rng.chance(3)) return c.specials[rng.pick(static_cast<int>(c.specials.size()))];
    return c.vocab[static_cast<size_t>(zipf(rng.g))];
}

Corpus makeCorpus(Rng& rng) {
    Corpus c;
    std::set<std::string> seen;
    while (static_cast<int>(c.vocab.size()) < kVocabulary) {
        std::string w = pseudoWord(rng);
        std::vector<std::string> t = trigramsOf(w);
        bool clash = !seen.insert(upper(w)).second;
        std::set<std::string> own;
        for (const std::string& x : t)
            clash = clash || c.trigrams.count(x) > 0 || !own.insert(x).second;
        if (clash) continue;
        c.vocab.push_back(w);
        c.trigrams.insert(t.begin(), t.end());
    }
    for (int i = 0; i < kVocabulary; ++i) c.weight.push_back(1.0 / (i + 1));
    std::discrete_distribution<int> zipf(c.weight.begin(), c.weight.end());
    for (int d = 0; d < kDocuments; ++d) {
        Text t;
        t.docno = d + 1;
        // Three long documents: high positions and many occurrences in one
        // document (the longest holds more than 4096 of an OR of frequent
        // words, past the first size of the evaluation's buffers).
        const int sentences = d == 150 ? 2400 : d % 100 == 50 ? 300 : 1 + rng.pick(6);
        for (int s = 0; s < sentences; ++s) {
            if (s > 0) t.text += ' ';
            if (s == 0 || rng.chance(35)) t.paragraphs.push_back(t.text.size());
            const int words = 3 + rng.pick(10);
            for (int k = 0; k < words; ++k) {
                std::string w = token(rng, c, zipf);
                if (std::isalpha(static_cast<unsigned char>(w[0]))) {
                    if (k == 0 || rng.chance(4)) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
                    else if (rng.chance(4)) w = upper(w);
                }
                if (k > 0) t.text += ' ';
                t.text += w;
                if (k + 1 == words) break;
                if (rng.chance(8)) t.text += ',';
                else if (rng.chance(2)) t.text += ';';
                else if (rng.chance(2)) t.text += " -";
                else if (rng.chance(2)) t.text += ", -";
            }
            const int end = rng.pick(100);
            t.text += end < 70 ? "." : end < 85 ? "!" : "?";
        }
        c.docs.push_back(t);
    }
    return c;
}

// ---- the index and the engine's answers ---------------------------------------

struct Built {
    gtrfix::Env env;
    oracle::Rules rules;
    std::vector<oracle::Doc> model;
    size_t mainDocs = 0;  // documents of the main half (0: all)
};

// Builds the index; with `appendFrom` the documents from that index on go
// in a second update cycle (the supp half).
void build(Built& b, const Corpus& c, uint8_t disable, uint8_t wordRule,
           size_t appendFrom = 0) {
    b.rules.wordRule = wordRule;
    b.rules.folded = (disable & 1) != 0;
    GTRHCREATEPARM p = gtrfix::HParm(1, 34);
    p.disable = disable;
    p.word_rule = wordRule;
    b.env.init(p);
    ASSERT_EQ(b.env.st.retcode, 0) << b.env.st.errcode;
    for (size_t i = 0; i < c.docs.size(); ++i) {
        const Text& t = c.docs[i];
        if (appendFrom > 0 && i == appendFrom) {
            b.env.finish();
            ASSERT_EQ(b.env.st.retcode, 0) << b.env.st.errcode;
            b.env.init(p, 'A');
            b.mainDocs = appendFrom;
            // The update also deletes every seventh document of main.
            std::vector<int32_t> gone;
            for (size_t k = 3; k < appendFrom; k += 7) {
                gone.push_back(c.docs[k].docno);
                b.model[k].deleted = true;
            }
            GTRdeleteDocs(b.env.h, static_cast<int32_t>(gone.size()), gone.data(),
                          nullptr, &b.env.st);
            ASSERT_EQ(b.env.st.retcode, 0) << b.env.st.errcode;
            ASSERT_EQ(b.env.st.retcode, 0) << b.env.st.errcode;
        }
        std::vector<int16_t> numbers(t.paragraphs.size(), kParagraphDelim);
        std::vector<uint8_t*> at;
        uint8_t* base = reinterpret_cast<uint8_t*>(const_cast<char*>(t.text.data()));
        for (size_t off : t.paragraphs) at.push_back(base + off);
        BOUNDARYINFO bi;
        memset(&bi, 0, sizeof bi);
        bi.delimiter_num = static_cast<int32_t>(at.size());
        bi.delimiter_NO = numbers.data();
        bi.boundary_ptr = at.data();
        int32_t start = 0;
        b.env.doc(t.text, t.docno, &start, &bi);
        ASSERT_EQ(b.env.st.retcode, 0) << t.docno << ": " << b.env.st.errcode;
        b.model.push_back(oracle::index(t.docno, t.text,
                                        {{kParagraphDelim, t.paragraphs}},
                                        b.rules));
    }
    b.env.finish();
    ASSERT_EQ(b.env.st.retcode, 0) << b.env.st.errcode;
}

struct Answer {
    GTRSTATUS st{};
    std::vector<int32_t> docs;    // in the order of the result
    std::vector<float> scores;
    std::vector<OCC> first;       // each document's first entry
};

Answer readResult(GTRSEARCH_RES& r) {
    Answer a;
    if (r.res_handle == nullptr) return a;
    GTRSTATUS st{};
    GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
    for (int guard = 0; st.retcode == 0 && guard < 100000; ++guard) {
        OCC* e = nullptr;
        int32_t n = 0;
        float score = 0;
        GTRsearchIndex_LookResult_Doc(r.res_handle, -1, &e, &n, &score,
                                      nullptr, &st);
        if (st.retcode != 0) break;
        if (n > 0) {
            a.docs.push_back(e[0].docno);
            a.scores.push_back(score);
            a.first.push_back(e[0]);
        }
    }
    EXPECT_EQ(st.retcode, VOZ_RC_END_OF_RESULT);
    GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
    GTRsearchIndex_ReleaseResult(r.res_handle, &st);
    r.res_handle = nullptr;
    return a;
}

// `form` 2: the document-only answer (one entry a document).
Answer searchCond(const Built& b, const GTRSEARCH_COND& c,
                  GTRSEARCH_RANK* rank, uint8_t form = 1) {
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    r.res_dataform = form;
    GTRSTATUS st{};
    GTRsearchIndex(nullptr, "idx", b.env.out.c_str(), nullptr, c, rank,
                   nullptr, nullptr, &r, &st);
    Answer got = readResult(r);
    got.st = st;
    return got;
}

Answer searchText(const Built& b, const std::string& text,
                  GTRSEARCH_RANK* rank, uint8_t form = 1) {
    gqfix::QueryCond q(text);
    return searchCond(b, q.c, rank, form);
}

Answer searchStruct(const Built& b, const Query& q) {
    std::vector<const Query*> words;
    oracle::leaves(q, &words);
    std::vector<std::string> texts;
    for (const Query* w : words) texts.push_back(w->word.text);
    gqfix::WordCond c(texts, oracle::orderString(q));
    for (size_t i = 0; i < words.size(); ++i) {
        c.words[i].casesens = words[i]->word.caseSensitive ? 'C' : 'N';
        c.words[i].precision = static_cast<int16_t>(words[i]->word.precision);
        c.words[i].mask[0] = '*';
        c.words[i].mask[1] = '?';
        c.words[i].search_flag = words[i]->word.mask != oracle::Mask::None ? 1 : 0;
    }
    return searchCond(b, c.c, nullptr);
}

// ---- the queries ---------------------------------------------------------------

struct Case {
    std::string cls;
    Query q;
    bool ranked = false;
};

struct Generator {
    Rng& rng;
    const Corpus& c;
    std::vector<std::string> frequent, medium, rare;

    Generator(Rng& r, const Corpus& corpus, const std::vector<oracle::Doc>& folded,
              const oracle::Rules& rules)
        : rng(r), c(corpus) {
        std::vector<std::pair<int, std::string>> byDf;
        for (const std::string& w : c.vocab) {
            Query q = oracle::word(w);
            int df = static_cast<int>(oracle::expected(folded, q, rules).size());
            if (df > 0) byDf.push_back({df, w});
        }
        std::sort(byDf.rbegin(), byDf.rend());
        // The top tenth, the bottom fifth, the rest.
        const size_t top = byDf.size() / 10, bottom = byDf.size() * 4 / 5;
        for (size_t i = 0; i < byDf.size(); ++i) {
            if (i < top) frequent.push_back(byDf[i].second);
            else if (i >= bottom) rare.push_back(byDf[i].second);
            else medium.push_back(byDf[i].second);
        }
    }

    const std::string& from(const std::vector<std::string>& v) {
        return v[static_cast<size_t>(rng.pick(static_cast<int>(v.size())))];
    }
    const std::string& common() { return rng.chance(50) ? from(frequent) : from(medium); }

    // Distinct words, mostly common ones; `frequentShare` percent of them
    // frequent.
    std::vector<Query> words(int n, int frequentShare = 30) {
        std::vector<Query> out;
        std::set<std::string> used;
        while (static_cast<int>(out.size()) < n) {
            const std::string& w = rng.chance(frequentShare) ? from(frequent)
                                   : out.empty() || rng.chance(60) ? common()
                                                                   : from(rare);
            if (used.insert(w).second) out.push_back(oracle::word(w));
        }
        return out;
    }

    // A vocabulary word of at least `len` letters.
    std::string longWord(size_t len) {
        for (;;) {
            const std::string& w = rng.chance(70) ? common() : from(rare);
            if (w.size() >= len) return w;
        }
    }

    Query fuzzy() {
        Query q;
        q.base = longWord(6);
        q.word.precision = 80;
        q.word.caseSensitive = rng.chance(25);
        const int kind = rng.pick(3);
        q.word.text = q.base;
        if (kind == 1 && q.base.size() >= 7) q.word.text.pop_back();
        if (kind == 2) {
            for (;;) {
                const char extra = static_cast<char>('a' + rng.pick(26));
                std::string tail = upper(q.base.substr(q.base.size() - 2)) +
                                   static_cast<char>(std::toupper(extra));
                if (c.trigrams.count(tail) == 0) {
                    q.word.text += extra;
                    break;
                }
            }
        }
        return q;
    }

    Query masked(bool trailing) {
        const std::string w = longWord(4);
        const size_t n = 2 + static_cast<size_t>(rng.pick(2));
        Query q;
        q.word.caseSensitive = rng.chance(25);
        if (trailing) {
            q.word.text = w.substr(0, n) + "*";
            q.word.mask = oracle::Mask::Trailing;
        } else {
            q.word.text = "*" + w.substr(w.size() - n);
            q.word.mask = oracle::Mask::Leading;
        }
        q.word.text.erase(std::remove(q.word.text.begin(), q.word.text.end(), '*'), q.word.text.end());
        return q;
    }

    // Two words of a document joined by the punctuation between them
    // ("abc,def", "abc-def", the blanks left out), or a word with the
    // punctuation after it ("abc,").
    Query compound() {
        for (;;) {
            const std::string& t = c.docs[static_cast<size_t>(rng.pick(kDocuments))].text;
            std::vector<std::string> tok;
            size_t at = 0;
            while (at < t.size()) {
                size_t e = t.find(' ', at);
                if (e == std::string::npos) e = t.size();
                tok.push_back(t.substr(at, e - at));
                at = e + 1;
            }
            auto letters = [](const std::string& w) {
                return !w.empty() && std::all_of(w.begin(), w.end(), [](char ch) {
                    return std::isalpha(static_cast<unsigned char>(ch)) != 0;
                });
            };
            for (int tries = 0; tries < 20 && tok.size() > 2; ++tries) {
                const size_t i = static_cast<size_t>(rng.pick(static_cast<int>(tok.size()) - 2));
                const std::string& a = tok[i];
                if (tok[i + 1] == "-" && letters(a) && letters(tok[i + 2]))
                    return oracle::word(a + "-" + tok[i + 2], rng.chance(30));
                const char last = a.empty() ? 0 : a.back();
                if ((last == ',' || last == ';') && letters(a.substr(0, a.size() - 1)))
                    return oracle::word(rng.chance(40) ? a : a + tok[i + 1],
                                        rng.chance(30));
            }
        }
    }

    // A word, or an operator over two or three nodes (at depth 0 and 1),
    // now and then a word the corpus does not hold.
    Query tree(int depth) {
        if (depth == 2 || rng.chance(45)) {
            if (rng.chance(12)) return oracle::word(pseudoWord(rng) + "qx");
            return oracle::word(rng.chance(60) ? common() : from(rare));
        }
        static const char ops[] = {'A', 'O', 'N', 'D'};
        const char op = ops[rng.pick(4)];
        std::vector<Query> kids;
        const int n = op == 'N' ? 2 : 2 + rng.pick(2);
        for (int i = 0; i < n; ++i) kids.push_back(op == 'D' ? oracle::word(common()) : tree(depth + 1));
        return oracle::join(op, kids, op == 'D' ? (rng.chance(50) ? 0 : kParagraphDelim) : 0);
    }

    std::vector<Case> all() {
        std::vector<Case> v;
        for (int i = 0; i < 8; ++i) v.push_back({"frequent", oracle::word(from(frequent))});
        for (int i = 0; i < 8; ++i) v.push_back({"medium", oracle::word(from(medium))});
        for (int i = 0; i < 8; ++i) v.push_back({"rare", oracle::word(from(rare))});
        for (const std::string& s : c.specials)
            if (s.find('.') == std::string::npos) v.push_back({"digits", oracle::word(s)});
        for (int i = 0; i < 10; ++i) v.push_back({"compound", compound()});
        for (int i = 0; i < 16; ++i) {
            Query q = tree(0);
            if (q.op == 'W') q = oracle::join('O', {q, tree(1)});
            v.push_back({"nested", q});
        }
        for (int i = 0; i < 12; ++i) v.push_back({"and", oracle::join('A', words(2 + rng.pick(2), 80))});
        for (int i = 0; i < 12; ++i) v.push_back({"or", oracle::join('O', words(2 + rng.pick(4), 50))});
        for (int i = 0; i < 10; ++i) v.push_back({"not", oracle::join('N', words(2, 50))});
        for (int i = 0; i < 10; ++i) v.push_back({"distance5", oracle::join('D', words(2, 80), kParagraphDelim)});
        for (int i = 0; i < 10; ++i) v.push_back({"sentence", oracle::join('D', words(2, 90), 0)});
        for (int i = 0; i < 8; ++i) v.push_back({"trailing mask", masked(true)});
        for (int i = 0; i < 8; ++i) v.push_back({"leading mask", masked(false)});
        for (int i = 0; i < 12; ++i) v.push_back({"fuzzy", fuzzy()});
        for (int i = 0; i < 12; ++i) {
            const int kind = rng.pick(10);
            Query q = kind < 3 ? oracle::word(common())
                    : kind < 6 ? oracle::join('O', words(2 + rng.pick(2)))
                    : kind < 8 ? oracle::join('A', words(2, 100))
                               : oracle::join('N', words(2, 60));
            v.push_back({"ranked", q, true});
        }
        return v;
    }
};

// The query with the mask characters written back into its words.
Query withMasks(Query q) {
    if (q.word.mask == oracle::Mask::Trailing) q.word.text += "*";
    if (q.word.mask == oracle::Mask::Leading) q.word.text = "*" + q.word.text;
    for (Query& k : q.kids) k = withMasks(k);
    return q;
}

std::string queryText(const Query& q) { return oracle::text(withMasks(q)); }

std::string show(const std::set<int32_t>& s) {
    std::string out;
    for (int32_t d : s) out += " " + std::to_string(d);
    return out;
}

// Compares a ranked answer with the model's scores: the engine's scores
// match, its order follows them, and its ten are the model's ten wherever
// the scores tell them apart.
void checkRanked(const Answer& a, const std::vector<oracle::Scored>& model,
                 const std::string& label, int* differences) {
    constexpr double kEps = 1e-4;
    std::map<int32_t, double> score;
    for (const oracle::Scored& s : model) score[s.docno] = s.score;
    const size_t want = std::min<size_t>(10, model.size());
    bool ok = a.docs.size() == want;
    const double tenth = want > 0 ? model[want - 1].score : 0;
    for (size_t i = 0; ok && i < a.docs.size(); ++i) {
        auto it = score.find(a.docs[i]);
        ok = it != score.end() && std::fabs(it->second - a.scores[i]) < kEps &&
             it->second > tenth - kEps;
        if (ok && i > 0) ok = a.scores[i] <= a.scores[i - 1] + kEps;
    }
    for (size_t i = 0; ok && i < want; ++i) {
        if (model[i].score <= tenth + kEps) break;
        ok = std::find(a.docs.begin(), a.docs.end(), model[i].docno) != a.docs.end();
    }
    if (ok) return;
    ++*differences;
    std::string got, exp;
    for (size_t i = 0; i < a.docs.size(); ++i)
        got += " " + std::to_string(a.docs[i]) + ":" + std::to_string(a.scores[i]);
    for (size_t i = 0; i < model.size() && i < 12; ++i)
        exp += " " + std::to_string(model[i].docno) + ":" + std::to_string(model[i].score);
    ADD_FAILURE() << label << "\n engine:" << got << "\n model: " << exp;
}

// Runs every case on `b`; with `structured` every other query also as a
// structured condition.
void runAll(const Built& b, const std::vector<Case>& cases, const char* name,
            bool structured) {
    int differences = 0;
    std::map<std::string, int> perClass, found, empty;
    for (const Case& k : cases) {
        const std::string text = queryText(k.q);
        const std::string label = std::string(name) + " [" + k.cls + "] " + text;
        ++perClass[k.cls];
        if (k.ranked) {
            GTRSEARCH_RANK rk;
            memset(&rk, 0, sizeof rk);
            rk.rankcount = 10;
            // Term counts and document frequencies, every other query also
            // with the rank products (all 1 for plain words and operators
            // without field weights, so the scores stay the same).
            rk.weight_option = perClass[k.cls] % 2 == 0 ? 0x31 : 0x30;
            rk.howto_operate = 'S';
            Answer a = searchText(b, text, &rk);
            EXPECT_EQ(a.st.retcode, 0) << label << " " << a.st.errcode;
            checkRanked(a, oracle::rank(b.model, k.q, b.rules, b.mainDocs), label,
                        &differences);
            continue;
        }
        const std::set<int32_t> want = oracle::expected(b.model, k.q, b.rules);
        found[k.cls] += static_cast<int>(want.size());
        if (want.empty()) ++empty[k.cls];
        const int forms = structured && perClass[k.cls] % 2 == 0 ? 2 : 1;
        for (int form = 0; form < forms; ++form) {
            Answer a = form == 0 ? searchText(b, text, nullptr)
                                 : searchStruct(b, withMasks(k.q));
            const std::set<int32_t> got(a.docs.begin(), a.docs.end());
            if (form == 0) {
                // The document-only answer (which leaves a word's document
                // after its first accepted occurrence where the operators
                // allow it) holds the same documents, each with the first
                // entry of the full answer.
                Answer d = searchText(b, text, nullptr, 2);
                bool same = d.st.retcode == a.st.retcode && d.docs == a.docs &&
                            d.first.size() == a.first.size();
                for (size_t i = 0; same && i < d.first.size(); ++i)
                    same = memcmp(&d.first[i], &a.first[i], sizeof(OCC)) == 0;
                if (!same) {
                    ++differences;
                    const std::set<int32_t> only(d.docs.begin(), d.docs.end());
                    ADD_FAILURE() << label << " (document-only answer) rc "
                                  << d.st.retcode << "/" << d.st.errcode
                                  << "\n documents only:" << show(only)
                                  << "\n full answer:   " << show(got);
                }
            }
            if (a.st.retcode == 0 && got == want) continue;
            ++differences;
            ADD_FAILURE() << label << (form == 0 ? " (query text)" : " (structured)")
                          << " rc " << a.st.retcode << "/" << a.st.errcode
                          << "\n engine:" << show(got) << "\n model: " << show(want);
        }
    }
    std::printf("%s: %zu queries, %d differences;", name, cases.size(), differences);
    for (const auto& [cls, n] : perClass)
        std::printf(" %s %d (%d documents, %d empty)", cls.c_str(), n,
                    found[cls], empty[cls]);
    std::printf("\n");
}

TEST(Oracle, EveryQueryClassAgreesWithTheModel) {
    Rng rng(oracleSeed());
    const Corpus c = makeCorpus(rng);
    Built folded, kept;
    build(folded, c, 1, 0);
    build(kept, c, 0, 1, kDocuments * 2 / 3);
    if (HasFatalFailure()) return;
    Generator g(rng, c, folded.model, folded.rules);
    std::vector<Case> cases = g.all();
    runAll(folded, cases, "folded", true);
    // The case-keeping index: the same queries, and case-sensitive words in
    // the forms the text holds.
    for (int i = 0; i < 10; ++i) {
        const Text& t = c.docs[static_cast<size_t>(rng.pick(kDocuments))];
        const std::string w = t.text.substr(0, t.text.find_first_of(" ,;.!?"));
        if (!std::isalpha(static_cast<unsigned char>(w[0]))) {
            --i;
            continue;
        }
        Query q = oracle::word(w, true);
        cases.push_back({"case-sensitive", q});
        cases.push_back({"case-sensitive and",
                         oracle::join('A', {q, oracle::word(g.common())})});
    }
    runAll(kept, cases, "kept", false);
    // Merged into one half: the deleted documents leave the index.
    GTRSTATUS st{};
    void* merge = nullptr;
    VOZ_mergeIndex(&merge, "idx", kept.env.out.c_str(), kept.env.work.c_str(),
                   &kept.env.sys, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZ_mergeIndexFinish(merge, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    kept.model.erase(std::remove_if(kept.model.begin(), kept.model.end(),
                                    [](const oracle::Doc& d) { return d.deleted; }),
                     kept.model.end());
    kept.mainDocs = 0;
    runAll(kept, cases, "merged", false);
}

}  // namespace
