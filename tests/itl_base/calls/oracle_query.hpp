// Queries of the exactness oracle: a small tree of words and operators,
// its query text, its structured form, and the documents (and ranking
// scores) that the model of oracle_model.hpp expects.
//
// Expected documents per node:
// - a word holds where its occurrences are (exact, masked, or, for a fuzzy
//   word, those of the vocabulary word it was made from);
// - AND holds where every operand holds, OR where one does, NOT where the
//   first holds and the second does not, a distance k where one block of
//   boundary kind k holds an occurrence of every operand.
//
// Fuzzy words (similarity 80) are made only from words of a vocabulary in
// which no two words share a sequence of three letters, so that no other
// key of the index resembles the word: the word itself (100), the word
// without its last letter (every n-gram of the key index found in a row at
// the start of the key: 100, reported as 99), or the word with a letter
// appended that forms no sequence of three of any vocabulary word (every
// n-gram but the last found in a row: L x 100 / (L + 1), at least 80 from
// four letters on). Each finds the documents of the vocabulary word.
//
// Ranking (weight option 0x30: term counts and document frequencies; with
// 0x31 also the rank products, which are 1 here), per document of a word or
// an OR of words, within the index half that holds the document:
//   word score  s = p_w + (1 - p_w) (p_T + (1 - p_T) t / (t + L)) idf
//               t = occurrences / 100, L = (1024 + position + length of
//               the document's last occurrence of any query word) x kk /
//               1024, idf = N / (N + df), N the documents of the half, df
//               the largest document count among the keys the word's token
//               matches (the estimate of a posting control over several
//               keys);
//   OR          p_or max(s) + (1 - p_or) sum(s) / (number of operands);
//   AND, NOT    p_and min(s) + (1 - p_and) sum(s) / (number of operands),
//               a negated operand entering as 1 - s;
// with p_w 0.35, p_T 0.3, kk 0.3, p_or 0.99, p_and 0.01. A word absent from
// a document scores 0.
#ifndef TESTS_ITL_BASE_CALLS_ORACLE_QUERY_HPP
#define TESTS_ITL_BASE_CALLS_ORACLE_QUERY_HPP

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "oracle_model.hpp"

namespace oracle {

struct Query {
    char op = 'W';       // 'W' word, 'A', 'O', 'N', 'D'
    int distance = 0;    // boundary kind of a 'D'
    Word word;           // of a 'W'
    std::string base;    // fuzzy word: the vocabulary word it stands for
    std::vector<Query> kids;
};

inline Query word(const std::string& text, bool caseSensitive = false) {
    Query q;
    q.word.text = text;
    q.word.caseSensitive = caseSensitive;
    return q;
}

inline Query join(char op, std::vector<Query> kids, int distance = 0) {
    Query q;
    q.op = op;
    q.distance = distance;
    q.kids = std::move(kids);
    return q;
}

// The word as query text: text, then its options in their fixed order.
inline std::string wordText(const Word& w) {
    std::string s = w.text;
    // The masks apply when the precision option carries '_'.
    if (w.mask != Mask::None) s += "%_" + std::to_string(w.precision);
    else if (w.precision < 100) s += "%" + std::to_string(w.precision);
    if (w.caseSensitive) s += "#C";
    return s;
}

inline std::string opText(const Query& q) {
    switch (q.op) {
    case 'A': return " * ";
    case 'O': return " + ";
    case 'N': return " - ";
    default: return " *" + std::to_string(q.distance) + " ";
    }
}

// The word nodes of a query, left to right.
inline void leaves(const Query& q, std::vector<const Query*>* out) {
    if (q.op == 'W') out->push_back(&q);
    for (const Query& k : q.kids) leaves(k, out);
}

// Query text: every operand that is an operator stands in parentheses.
inline std::string text(const Query& q) {
    if (q.op == 'W') return wordText(q.word);
    std::string s;
    for (size_t i = 0; i < q.kids.size(); ++i) {
        if (i > 0) s += opText(q);
        s += q.kids[i].op == 'W' ? text(q.kids[i]) : "(" + text(q.kids[i]) + ")";
    }
    return s;
}

// The order string of the structured form ("1*(2)*(3)", "1*5(2)",
// "(1+(2))-(3)" ...): the words numbered left to right; digits after '*'
// make a distance, so every right operand stands in parentheses, and so
// does a left operand that is an operator.
inline std::string orderString(const Query& q, int* counter) {
    if (q.op == 'W') return std::to_string(++*counter);
    const std::string op = q.op == 'A' ? "*" : q.op == 'O' ? "+"
                         : q.op == 'N' ? "-" : "*" + std::to_string(q.distance);
    std::string s;
    for (size_t i = 0; i < q.kids.size(); ++i) {
        const std::string k = orderString(q.kids[i], counter);
        if (i > 0) s += op;
        s += i == 0 && q.kids[i].op == 'W' ? k : "(" + k + ")";
    }
    return s;
}

inline std::string orderString(const Query& q) {
    int counter = 0;
    return orderString(q, &counter);
}

// Occurrence start positions of a word node in a document.
inline std::vector<int> occurrences(const Doc& d, const Query& q,
                                    const Rules& r) {
    if (!q.base.empty()) {
        Word w;
        w.text = q.base;
        w.caseSensitive = q.word.caseSensitive;
        return exactHits(d, w, r);
    }
    if (q.word.mask != Mask::None) return maskHits(d, q.word, r);
    return exactHits(d, q.word, r);
}

inline int blockOf(const Doc& d, int kind, int position) {
    auto it = d.bounds.find(kind);
    if (it == d.bounds.end()) return 0;
    return static_cast<int>(std::upper_bound(it->second.begin(),
                                             it->second.end(), position) -
                            it->second.begin());
}

inline bool holds(const Doc& d, const Query& q, const Rules& r) {
    switch (q.op) {
    case 'W': return !occurrences(d, q, r).empty();
    case 'A':
        for (const Query& k : q.kids)
            if (!holds(d, k, r)) return false;
        return true;
    case 'O':
        for (const Query& k : q.kids)
            if (holds(d, k, r)) return true;
        return false;
    case 'N': return holds(d, q.kids[0], r) && !holds(d, q.kids[1], r);
    default: {
        std::map<int, int> seen;  // block -> operands present
        for (size_t i = 0; i < q.kids.size(); ++i) {
            std::set<int> blocks;
            for (int p : occurrences(d, q.kids[i], r))
                blocks.insert(blockOf(d, q.distance, p));
            for (int b : blocks) ++seen[b];
        }
        for (const auto& [b, n] : seen)
            if (n == static_cast<int>(q.kids.size())) return true;
        return false;
    }
    }
}

inline std::set<int32_t> expected(const std::vector<Doc>& docs,
                                  const Query& q, const Rules& r) {
    std::set<int32_t> out;
    for (const Doc& d : docs)
        if (!d.deleted && holds(d, q, r)) out.insert(d.docno);
    return out;
}

// ---- ranking -----------------------------------------------------------------

// The document frequency a plain word gets: the largest document count
// among the distinct unit forms (keys) its token matches.
inline int documentFrequency(const std::vector<const Doc*>& docs,
                             const Word& w, const Rules& r) {
    std::map<std::string, std::set<int32_t>> byForm;
    const int len = static_cast<int>(w.text.size());
    for (const Doc* doc : docs) {
        const Doc& d = *doc;
        for (int p : exactHits(d, w, r)) {
            std::string form;
            for (int i = 0; i < len; ++i) {
                form += d.pos[p - 1 + i].c;
                form += static_cast<char>('0' + d.pos[p - 1 + i].mark);
            }
            byForm[form].insert(d.docno);
        }
    }
    size_t best = 0;
    for (const auto& [form, set] : byForm) best = std::max(best, set.size());
    return static_cast<int>(best);
}

struct Scored {
    int32_t docno;
    double score;
};

// Scores the documents of one index half that a word, or an AND, OR or NOT
// of plain words finds, appending them to `out`.
inline void rankHalf(const std::vector<const Doc*>& docs, const Query& q,
                     const Rules& r, std::vector<Scored>* out) {
    const double pw = 0.35, pT = 0.3, kk = 0.3, por = 0.99, pand = 0.01;
    std::vector<const Query*> words;
    if (q.op == 'W') words.push_back(&q);
    for (const Query& k : q.kids) words.push_back(&k);
    const double n = static_cast<double>(docs.size());
    std::vector<double> idf;
    for (const Query* w : words) {
        const double df = documentFrequency(docs, w->word, r);
        idf.push_back(df >= 1 ? n / (n + df) : 1.0);
    }
    for (const Doc* doc : docs) {
        const Doc& d = *doc;
        std::vector<std::vector<int>> occ;
        int last = 0, lastLen = 0;
        for (const Query* w : words) {
            occ.push_back(exactHits(d, w->word, r));
            for (int p : occ.back()) {
                if (p > last) {
                    last = p;
                    lastLen = static_cast<int>(w->word.text.size());
                }
            }
        }
        if (last == 0 || d.deleted || !holds(d, q, r)) continue;
        const double size = (1024.0 + last + lastLen) * kk / 1024.0;
        double best = 0, least = 1e9, sum = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            double s = 0;
            if (!occ[i].empty()) {
                const double t = static_cast<double>(occ[i].size()) / 100.0;
                s = pw + (1 - pw) * (pT + (1 - pT) * t / (t + size)) * idf[i];
            }
            if (q.op == 'N' && i > 0) s = 1 - s;
            best = std::max(best, s);
            least = std::min(least, s);
            sum += s;
        }
        const double k = static_cast<double>(words.size());
        const double score = q.op == 'A' || q.op == 'N'
                                 ? pand * least + (1 - pand) * sum / k
                                 : por * best + (1 - por) * sum / k;
        out->push_back({d.docno, score});
    }
}

// Scores of the documents that a word, or an AND, OR or NOT of plain words
// finds, best
// first (ties by ascending document number). The first `mainDocs`
// documents form the main half, the rest the supp half (0: all in one);
// each half is scored with its own document count and key counts, which
// still count its deleted documents (a deletion touches no key).
inline std::vector<Scored> rank(const std::vector<Doc>& docs, const Query& q,
                                const Rules& r, size_t mainDocs = 0) {
    std::vector<Scored> out;
    std::vector<const Doc*> halves[2];
    for (size_t i = 0; i < docs.size(); ++i)
        halves[mainDocs > 0 && i >= mainDocs ? 1 : 0].push_back(&docs[i]);
    for (const auto& half : halves) rankHalf(half, q, r, &out);
    std::sort(out.begin(), out.end(), [](const Scored& a, const Scored& b) {
        return a.score != b.score ? a.score > b.score : a.docno < b.docno;
    });
    return out;
}

}  // namespace oracle

#endif  // TESTS_ITL_BASE_CALLS_ORACLE_QUERY_HPP
