// An independent model of word search over Latin text, for the exactness
// oracle of the search calls. It knows nothing of the engine's code: it
// turns a document into the units, parts and positions that the indexer
// gives it (ASCII text in code page 34), records the sentence ends and the
// caller's delimiters, and answers a query by scanning those units.
//
// The rules it follows:
// - Units: one per character; a letter stands for both cases and carries
//   mark 1 (upper case) or 2 (lower case), a digit mark 6, punctuation
//   mark 4, the blank mark 5. On an index built with `disable` bit 0 the
//   letters of word parts carry mark 3 (case folded).
// - Parts: a run of letters (word rule 0) or of letters and digits (word
//   rule 1), at most 128 units, is a word part; a stretch of other units,
//   trimmed of blanks at both ends, is an n-gram part. Blanks between
//   parts take no position; every unit of a part takes one, counting from
//   1 within the document.
// - Sentence ends: in an n-gram part, a '?' or '!', or a '.' followed by a
//   blank within the part or ending the part with more text after it, ends
//   a sentence at the position after it.
// - A search word is cut into parts the same way. A token part matches a
//   word part of the document that starts where it must and has the same
//   units (marks compared only when the word is case-sensitive); an other
//   part matches a run of equal units inside one n-gram part (a run
//   shorter than an n-gram only where the indexer pooled it zero-filled).
//   The parts follow each other position by position.
// - Masks: a token followed by the any-mask matches every word part that
//   begins with the token, one preceded by it every word part that ends
//   with it.
// - A distance operator of number k holds in a document when one block of
//   boundary kind k (k 0: sentences, else the caller's delimiter k) holds
//   an occurrence of every operand; a block runs from one boundary to the
//   next, an occurrence belongs to the block its first position lies in.
#ifndef TESTS_ITL_BASE_CALLS_ORACLE_MODEL_HPP
#define TESTS_ITL_BASE_CALLS_ORACLE_MODEL_HPP

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace oracle {

constexpr int kPartLimit = 128;  // units of one word part at most

enum Mark : uint8_t {
    kUpper = 1,
    kLower = 2,
    kFolded = 3,
    kPunct = 4,
    kBlank = 5,
    kDigit = 6
};

struct Unit {
    char c;        // the character, letters in upper case
    uint8_t mark;
};

inline Unit unitOf(char ch) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (std::isupper(u)) return {ch, kUpper};
    if (std::islower(u)) return {static_cast<char>(std::toupper(u)), kLower};
    if (std::isdigit(u)) return {ch, kDigit};
    if (ch == ' ') return {ch, kBlank};
    return {ch, kPunct};
}

inline bool isLetter(const Unit& u) {
    return u.mark == kUpper || u.mark == kLower || u.mark == kFolded;
}

// The build settings the model must follow.
struct Rules {
    int wordRule = 0;     // 0 letters, 1 letters and digits
    bool folded = false;  // `disable` bit 0: word parts are case folded
    int ngram = 2;        // n-gram length of the index
};

inline bool partUnit(const Unit& u, int wordRule) {
    return isLetter(u) || (wordRule == 1 && u.mark == kDigit);
}

struct Part {
    bool word;      // word part, else n-gram part
    int first;      // index of its first unit in the unit string
    int length;     // units
};

// Cuts a unit string into parts by the word rule.
inline std::vector<Part> cut(const std::vector<Unit>& u, int wordRule) {
    std::vector<Part> parts;
    const int n = static_cast<int>(u.size());
    int p = 0;
    while (p < n) {
        if (partUnit(u[p], wordRule)) {
            int e = p;
            while (e < n && e - p < kPartLimit && partUnit(u[e], wordRule)) ++e;
            parts.push_back({true, p, e - p});
            p = e;
            while (p < n && u[p].mark == kBlank) ++p;
            continue;
        }
        int s = p;
        while (s < n && u[s].mark == kBlank) ++s;
        int next = s;
        while (next < n && !partUnit(u[next], wordRule)) ++next;
        int e = next;
        while (e > s && u[e - 1].mark == kBlank) --e;
        if (e > s) parts.push_back({false, s, e - s});
        p = next > p ? next : n;
    }
    return parts;
}

// One indexed document.
struct Doc {
    int32_t docno = 0;
    std::vector<Unit> pos;          // unit at position i + 1
    std::vector<int> partOf;        // part number of each position
    std::vector<Part> parts;        // parts with `first` as a position - 1
    std::vector<int> wordStart;     // word part starting at position i + 1,
                                    // else -1
    std::map<int, std::vector<int>> bounds;  // boundary kind -> positions
    int lastPos = 0;
    bool deleted = false;  // removed by a later update: never found
    std::vector<std::vector<int>> byChar =  // positions of each character
        std::vector<std::vector<int>>(256);
};

// Builds the model of one document: its text and the text offsets of its
// delimiters (kind -> offsets; each offset the first character of a word).
inline Doc index(int32_t docno, const std::string& text,
                 const std::map<int, std::vector<size_t>>& delims,
                 const Rules& r) {
    Doc d;
    d.docno = docno;
    std::vector<Unit> u;
    for (char ch : text) u.push_back(unitOf(ch));
    const std::vector<Part> parts = cut(u, r.wordRule);
    std::vector<int> posOfUnit(u.size(), 0);
    int pos = 1;
    for (size_t k = 0; k < parts.size(); ++k) {
        const Part& p = parts[k];
        Part q = p;
        q.first = pos - 1;
        for (int i = 0; i < p.length; ++i, ++pos) {
            Unit x = u[p.first + i];
            if (p.word && r.folded && isLetter(x)) x.mark = kFolded;
            d.pos.push_back(x);
            d.partOf.push_back(static_cast<int>(k));
            d.wordStart.push_back(p.word && i == 0 ? static_cast<int>(k) : -1);
            d.byChar[static_cast<unsigned char>(x.c)].push_back(pos);
            posOfUnit[p.first + i] = pos;
        }
        d.parts.push_back(q);
        if (p.word) continue;
        const bool moreText = [&] {
            size_t end = static_cast<size_t>(p.first + p.length);
            while (end < u.size() && u[end].mark == kBlank) ++end;
            return end < u.size();
        }();
        for (int i = 0; i < p.length; ++i) {
            const Unit& x = u[p.first + i];
            bool ends = x.c == '?' || x.c == '!';
            if (x.c == '.')
                ends = i + 1 < p.length ? u[p.first + i + 1].mark == kBlank
                                        : moreText;
            if (ends) d.bounds[0].push_back(q.first + i + 2);
        }
    }
    d.lastPos = pos - 1;
    for (const auto& [kind, offs] : delims)
        for (size_t off : offs) d.bounds[kind].push_back(posOfUnit[off]);
    for (auto& [kind, v] : d.bounds) std::sort(v.begin(), v.end());
    return d;
}

// ---- search words ------------------------------------------------------------

enum class Mask { None, Trailing, Leading };

struct Word {
    std::string text;
    bool caseSensitive = false;
    int precision = 100;
    Mask mask = Mask::None;
};

inline bool sameUnit(const Unit& a, const Unit& b, bool marks) {
    if (a.c != b.c) return false;
    if (!isLetter(a) || !isLetter(b)) return a.mark == b.mark;
    return !marks || a.mark == b.mark;
}

// The units of a search word as the search prepares them: case folded
// unless the word is case-sensitive on a case-keeping index.
inline std::vector<Unit> wordUnits(const std::string& text, bool keepCase) {
    std::vector<Unit> v;
    for (char ch : text) {
        Unit x = unitOf(ch);
        if (!keepCase && isLetter(x)) x.mark = kFolded;
        v.push_back(x);
    }
    return v;
}

// Whether `length` units from `position` can match an other part of a
// search word: they lie in one n-gram part, and a run shorter than an
// n-gram (looked up as a zero-filled n-gram) must end that part or begin
// it where the indexer pooled its leading short n-grams (a part longer
// than the run that does not begin the text).
inline bool gramRun(const Doc& d, int position, int length, const Rules& r) {
    const Part& part = d.parts[d.partOf[position - 1]];
    const int from = position - 1, end = part.first + part.length;
    if (part.word || from + length > end) return false;
    if (length >= r.ngram) return true;
    return from + length == end ||
           (from == part.first && part.first > 0 && part.length > length);
}

// Positions where the plain (unmasked) word starts in the document.
inline std::vector<int> exactHits(const Doc& d, const Word& w,
                                  const Rules& r) {
    const bool marks = w.caseSensitive && !r.folded;
    const std::vector<Unit> u = wordUnits(w.text, marks);
    const std::vector<Part> parts = cut(u, r.wordRule);
    std::vector<int> hits;
    if (parts.empty()) return hits;
    for (int start : d.byChar[static_cast<unsigned char>(u[parts[0].first].c)]) {
        if (parts[0].word && d.wordStart[start - 1] < 0) continue;
        int at = start;
        bool ok = true;
        for (const Part& p : parts) {
            if (at > d.lastPos) {
                ok = false;
                break;
            }
            if (p.word) {
                const int k = d.wordStart[at - 1];
                if (k < 0 || d.parts[k].length != p.length) {
                    ok = false;
                    break;
                }
            } else if (!gramRun(d, at, p.length, r)) {
                ok = false;
                break;
            }
            for (int i = 0; ok && i < p.length; ++i)
                ok = sameUnit(d.pos[at - 1 + i], u[p.first + i], marks);
            if (!ok) break;
            at += p.length;
        }
        if (ok) hits.push_back(start);
    }
    return hits;
}

// Positions of the word parts that a masked word (one token) matches.
inline std::vector<int> maskHits(const Doc& d, const Word& w, const Rules& r) {
    const bool marks = w.caseSensitive && !r.folded;
    const std::vector<Unit> u = wordUnits(w.text, marks);
    std::vector<int> hits;
    for (const Part& p : d.parts) {
        if (!p.word || p.length < static_cast<int>(u.size())) continue;
        const int off = w.mask == Mask::Trailing
                            ? 0 : p.length - static_cast<int>(u.size());
        bool ok = true;
        for (size_t i = 0; ok && i < u.size(); ++i)
            ok = sameUnit(d.pos[p.first + off + static_cast<int>(i)], u[i],
                          marks);
        if (ok) hits.push_back(p.first + 1);
    }
    return hits;
}

}  // namespace oracle

#endif  // TESTS_ITL_BASE_CALLS_ORACLE_MODEL_HPP
