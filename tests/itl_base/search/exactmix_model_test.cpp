// Randomized exact words over a mixed index against a brute-force scan.
// Documents are runs of letters (token keys), digits or CJK characters
// (2-gram text, code pages 1 and 34) and both side by side; query words are
// letter runs, or a letter run and a digit run of at least 2 units side by
// side (a word of a token piece and n-gram pieces), alone or under AND/OR,
// the first word with or without truncation counts. A letter run matches
// where the text holds it as a whole run of letters (a front-truncated
// first run may begin inside one, a rear-truncated last run may end inside
// one); a digit run where the text holds its digits; blanks beside letters
// take no position. TEST_SEED replays a seed.
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mix_fixture.hpp"

namespace {

// Any non-zero truncation count lets a word begin or end inside a word.
constexpr int32_t kTruncAny = 0x3FFFFFFF;

using Docs = std::set<int32_t>;
using mixfix::addWord;

bool isLetter(char ch) { return ch >= 'a' && ch <= 'z'; }

std::string run(std::mt19937& rng, bool letters, int minLen) {
    int len = minLen + static_cast<int>(rng() % 3);
    std::string s;
    for (int k = 0; k < len; ++k)
        s += letters ? static_cast<char>('a' + rng() % 3)
                     : static_cast<char>('1' + rng() % 3);
    return s;
}

// A query word: a letter run, a letter run then digits, or digits then a
// letter run.
std::string randomWord(std::mt19937& rng) {
    switch (rng() % 3) {
    case 0: return run(rng, true, 1);
    case 1: return run(rng, true, 1) + run(rng, false, 2);
    default: return run(rng, false, 2) + run(rng, true, 1);
    }
}

std::string randomDoc(std::mt19937& rng) {
    std::string d;
    int segments = 1 + static_cast<int>(rng() % 6);
    for (int g = 0; g < segments; ++g) {
        if (g > 0) d += rng() % 4 == 0 ? ". " : " ";
        d += rng() % 2 == 0 ? randomWord(rng) : run(rng, rng() % 2 == 0, 1);
    }
    return d;
}

// Where `w` occurs in `t` with each of its letter runs a whole run of
// letters of the text, except that with `front` the word's first unit and
// with `rear` its last may lie inside one. A blank beside a letter run
// takes no position (the cut passes over it); one between other characters
// is a unit of their n-gram text. Runs keep the bounds the blanks gave them.
bool occurs(const std::string& t, const std::string& w, bool front = false,
            bool rear = false) {
    std::string packed;
    std::vector<bool> starts, ends;
    for (size_t i = 0; i < t.size(); ++i) {
        size_t b = i, e = i;
        while (b > 0 && t[b - 1] == ' ') --b;
        while (e < t.size() && t[e] == ' ') ++e;
        bool inner = b > 0 && e < t.size() && !isLetter(t[b - 1]) && !isLetter(t[e]);
        if (t[i] == ' ' && !inner) continue;
        packed += t[i];
        starts.push_back(isLetter(t[i]) && (i == 0 || !isLetter(t[i - 1])));
        ends.push_back(isLetter(t[i]) && (i + 1 == t.size() || !isLetter(t[i + 1])));
    }
    for (size_t i = packed.find(w); i != std::string::npos;
         i = packed.find(w, i + 1)) {
        bool whole = true;
        for (size_t k = 0; k < w.size() && whole; ++k) {
            if (!isLetter(w[k])) continue;
            // A run of the word starts exactly where a run of the text does.
            bool first = k == 0, last = k + 1 == w.size();
            if (!(first && front) &&
                (first || !isLetter(w[k - 1])) != starts[i + k])
                whole = false;
            if (!(last && rear) && (last || !isLetter(w[k + 1])) && !ends[i + k])
                whole = false;
        }
        if (whole) return true;
    }
    return false;
}

// The text of a model string in code page `code`: under UTF-8 (34) the
// digits stand for CJK characters, which are n-gram text there too.
std::string render(const std::string& m, uint8_t code) {
    if (code != 34) return m;
    static const char* const kCjk[] = {"\xE6\x97\xA5", "\xE6\x9C\xAC",
                                       "\xE8\xAA\x9E"};  // U+65E5 U+672C U+8A9E
    std::string t;
    for (char ch : m) t += ch >= '1' && ch <= '3' ? kCjk[ch - '1'] : std::string(1, ch);
    return t;
}

Docs scan(const std::vector<std::string>& docs, const std::string& w,
          bool front = false, bool rear = false) {
    Docs d;
    for (size_t i = 0; i < docs.size(); ++i)
        if (occurs(docs[i], w, front, rear)) d.insert(static_cast<int32_t>(i));
    return d;
}

// One round: a random corpus in code page `code`, 40 random queries.
void round(std::mt19937& rng, uint8_t code, int16_t width) {
    SCOPED_TRACE(code);
    {
        std::vector<std::string> docs;
        int n = 8 + static_cast<int>(rng() % 20);
        for (int i = 0; i < n; ++i) docs.push_back(randomDoc(rng));
        std::vector<std::string> texts;
        for (const std::string& d : docs) texts.push_back(render(d, code));
        s2fix::Corpus c;
        GTRSTATUS st{};
        mixfix::build(c, texts, mixfix::parm(code), st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        VOZSEARCH* h = c.open(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        for (int k = 0; k < 40; ++k) {
            s2fix::Query q;
            std::string a = randomWord(rng), b = randomWord(rng);
            const uint32_t trunc = rng() % 4;  // bit 0 front, bit 1 rear
            const bool front = (trunc & 1) != 0, rear = (trunc & 2) != 0;
            Docs want = scan(docs, a, front, rear);
            int32_t sa = addWord(q, {render(a, code), front ? kTruncAny : 0,
                                     rear ? kTruncAny : 0},
                                 code, width);
            std::string shown = (front ? "*" : "") + a + (rear ? "*" : "");
            switch (rng() % 3) {
            case 0:
                q.op('O', {sa});
                break;
            case 1: {
                Docs db = scan(docs, b), both;
                for (int32_t d : want)
                    if (db.count(d) != 0) both.insert(d);
                want = both;
                q.op('A', {sa, addWord(q, {render(b, code)}, code, width)});
                shown += " AND " + b;
                break;
            }
            default: {
                Docs db = scan(docs, b);
                want.insert(db.begin(), db.end());
                q.op('O', {sa, addWord(q, {render(b, code)}, code, width)});
                shown += " OR " + b;
                break;
            }
            }
            SCOPED_TRACE(shown);
            s2fix::Outcome o = s2fix::run(h, q);
            ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
            EXPECT_EQ(o.docs, want) << [&] {
                std::string t;
                for (int32_t d : o.docs)
                    if (want.count(d) == 0) t += docs[static_cast<size_t>(d)] + " | ";
                for (int32_t d : want)
                    if (o.docs.count(d) == 0) t += docs[static_cast<size_t>(d)] + " | ";
                return t;
            }();
        }
        s2fix::closeHandle(h);
    }
}

TEST(ExactMixModel, RandomCorporaAgainstAScan) {
    std::mt19937 rng(testSeed());
    for (int r = 0; r < 2; ++r) {
        SCOPED_TRACE(r);
        round(rng, 1, 2);   // letters and digits
        round(rng, 34, 3);  // Latin letters and CJK characters, UTF-8
    }
}

}  // namespace
