// Round trip of the conversion: random query texts (words, quoted words,
// back-reference names, term options, the four operators with modes and
// distances, parentheses, single NOTs, stray blanks; no group options) are
// translated directly and, after GTRconvertSearchCond, as the structured
// condition it returns. Both optimised postfix arrays must agree element
// by element: kinds, operator parts, modes, operand counts, and every
// field of the words, the words compared as normalised units without the
// blank units at their ends (quoted words come with blanks at either end
// and letters in both cases, so a word that lost the caller's case shows).
// The seed is printed; TEST_SEED replays it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cut.hpp"
#include "query_test_util.hpp"
#include "ti_test_util.hpp"

namespace {

using qtest::codes;

// A random query text of the language, without group options.
class QueryGen {
public:
    explicit QueryGen(uint32_t seed, bool items = false)
        : rng_(seed), items_(items) {}

    std::string text() {
        std::string s = expr(3);
        if (pick(8) == 0) s = "  " + s + " ";
        return s;
    }

private:
    int pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

    std::string blank() { return pick(5) == 0 ? "  " : " "; }

    std::string expr(int depth) {
        std::string s = operand(depth);
        const int more = pick(3);
        for (int i = 0; i < more; ++i) {
            // A single NOT right after a special NOT makes the whole
            // document its second operand, which no order string writes.
            const std::string o = op();
            s += blank() + o + blank() + operand(depth, o[0] != '#');
        }
        return s;
    }

    std::string operand(int depth, bool notAllowed = true) {
        const int k = pick(10);
        if (depth > 0 && k == 0) return "(" + blank() + expr(depth - 1) + blank() + ")";
        if (depth > 0 && k == 1 && notAllowed) {
            const char* nots[] = {"!", "!S", "!F", "!P"};
            std::string inner = pick(2) == 0 ? term()
                                             : "( " + expr(depth - 1) + " )";
            return std::string(nots[pick(4)]) + blank() + inner;
        }
        return term();
    }

    std::string op() {
        const char* ops[] = {"*", "+", "-", "#"};
        const int k = pick(6);
        if (k == 5) {
            std::string d = "*" + std::to_string(pick(33));
            const char* modes[] = {"", "S", "F", "P"};
            return d + modes[pick(4)];
        }
        std::string o = ops[k % 4];
        const int m = pick(6);
        if (m == 0) o += 'S';
        if (m == 1) o += 'F';
        if (m == 2 && o == "*") o += 'P';
        return o;
    }

    std::string term() {
        const char* words[] = {"alpha", "Beta", "g1", "caf\xC3\xA9", "x",
                               "DELTA", "zz9", "\xE6\x97\xA5\xE6\x9C\xAC"};
        std::string t;
        if (items_ && pick(3) == 0) {
            const char* items[] = {"`N5=[1,10)`", "`N3=7`", "`N1=(*,-2.5]`",
                                   "`T3=red#C`", "`T4=\"a\"\"b\"`",
                                   "`T2=Blue<+=>`", "`T9=\"x y\"#N`"};
            return items[pick(7)];
        }
        const int k = pick(10);
        if (k == 0) {
            // Quoted words, now and then with blanks at either end and
            // letters in both cases.
            const char* edge[] = {"", "", " ", "  "};
            t = "\"" + std::string(edge[pick(4)]) + (pick(2) ? "q" : "Q") +
                std::string(pick(2) ? "\"\"" : " ") + (pick(2) ? "w" : "W") +
                edge[pick(4)] + "\"";
        }
        else if (k == 1)
            t = "'dir/f" + std::to_string(pick(9)) + ".txt'";
        else
            t = words[pick(8)];
        const bool backref = k == 1;
        // Options in their fixed order, each now and then.
        if (!backref && pick(5) == 0) {
            const char* p[] = {"%STEM", "%_80", "%50", "%1"};
            t += p[pick(4)];
        }
        if (pick(6) == 0) {
            const char* r[] = {"@2", "@2_1-3,7", "@F5", "@[F1_5,F7]", "@0_4"};
            t += r[pick(5)];
        }
        if (!backref && pick(6) == 0) t += pick(2) ? "#C" : "#N";
        if (!backref && pick(8) == 0) t += pick(2) ? "<*?>" : "<+=>";
        if (pick(6) == 0) {
            const char* w[] = {"$5", "$[F1=2,*=3]", "$32767"};
            t += w[pick(3)];
        }
        if (!backref && pick(8) == 0) t += "/S";
        return t;
    }

    std::mt19937 rng_;
    bool items_;
};

template <typename T>
bool sameArray(const T* a, const T* b, int32_t n) {
    if (n <= 0) return true;
    if (a == nullptr || b == nullptr) return a == b;
    return std::memcmp(a, b, sizeof(T) * static_cast<size_t>(n)) == 0;
}

// The units of a word without blank units at either end: the search
// takes a word's edge blanks as it takes none, and a structured word
// cannot carry them.
std::string trimmedUnits(VOZ_CPINFO cp, const RTRVWORD& w) {
    const int16_t u = vozCHlen(cp);
    int32_t from = 0, to = w.wordlen > 0 ? w.wordlen : 0;
    while (from + u <= to && vozCHcmp(cp, w.wordp + from, ' ', nullptr) == 0) from += u;
    while (to - u >= from && vozCHcmp(cp, w.wordp + to - u, ' ', nullptr) == 0) to -= u;
    return std::string(reinterpret_cast<const char*>(w.wordp) + from,
                       static_cast<size_t>(to - from));
}

// Differences between two words; empty when they agree.
std::string wordDiff(VOZ_CPINFO cp, const RTRVWORD& a, const RTRVWORD& b) {
    std::string d;
    auto check = [&d](bool same, const char* what) {
        if (!same) d += std::string(" ") + what;
    };
    check(a.type == b.type, "type");
    if (a.type == 'D') return d;
    check(trimmedUnits(cp, a) == trimmedUnits(cp, b), "word");
    check(a.start_option == b.start_option, "start_option");
    check(a.casesens == b.casesens, "casesens");
    check(a.stemming == b.stemming, "stemming");
    check(a.precision == b.precision, "precision");
    check(a.rangenum == b.rangenum && a.range_dlmno == b.range_dlmno &&
              sameArray(a.range, b.range, a.rangenum),
          "ranges");
    check(a.fld_number == b.fld_number &&
              sameArray(a.pFieldRange, b.pFieldRange,
                        a.pFieldRange ? a.fld_number : 0),
          "field ranges");
    check(a.weight == b.weight &&
              sameArray(a.pFieldWeight, b.pFieldWeight,
                        a.pFieldWeight ? a.weight : 0),
          "field weights");
    check(a.mask[0] == b.mask[0] && a.mask[1] == b.mask[1], "mask");
    check(a.search_flag == b.search_flag, "search_flag");
    return d;
}

// Differences between two item operands of mixed conditions.
std::string itemDiff(VOZ_CPINFO cp, const RTRVWORDEXT& a, const RTRVWORDEXT& b) {
    std::string d;
    if (a.wi.type == 'E') {
        d = wordDiff(cp, a.wi, b.wi);
        if (a.eq_item_no != b.eq_item_no) d += " item number";
    } else if (a.from_keylen != b.from_keylen || a.to_keylen != b.to_keylen ||
               a.from_bound != b.from_bound || a.to_bound != b.to_bound ||
               std::memcmp(a.from_key, b.from_key, static_cast<size_t>(a.from_keylen)) != 0 ||
               std::memcmp(a.to_key, b.to_key, static_cast<size_t>(a.to_keylen)) != 0) {
        d = " range keys";
    }
    return d;
}

// The elements that readers of an optimised array see.
std::vector<const PFELEMENT*> live(const PFELEMENT* pf, int32_t n) {
    std::vector<const PFELEMENT*> v;
    for (int32_t i = 0; i < n; ++i)
        if (pf[i].kind != VOZ_PF_REMOVED) v.push_back(&pf[i]);
    return v;
}

// Differences between the two optimised arrays; empty when they agree.
std::string arrayDiff(VOZ_CPINFO cp, const PFELEMENT* a, int32_t na,
                      const PFELEMENT* b, int32_t nb) {
    const auto la = live(a, na), lb = live(b, nb);
    if (la.size() != lb.size())
        return "element count " + std::to_string(la.size()) + " vs " +
               std::to_string(lb.size());
    for (size_t i = 0; i < la.size(); ++i) {
        const PFELEMENT& x = *la[i];
        const PFELEMENT& y = *lb[i];
        std::string d;
        if (x.kind != y.kind) d += " kind";
        if (x.mode != y.mode) d += " mode";
        if (x.opnum != y.opnum) d += " opnum";
        if (x.kind != VOZ_PF_TERM &&
            std::memcmp(&x.Operator, &y.Operator, sizeof x.Operator) != 0)
            d += " operator";
        if (x.kind == VOZ_PF_TERM && x.winfoX.wi.type != y.winfoX.wi.type)
            d += " type";
        else if (x.kind == VOZ_PF_TERM && (x.winfoX.wi.type == 'E' || x.winfoX.wi.type == 'F'))
            d += itemDiff(cp, x.winfoX, y.winfoX);
        else if (x.kind == VOZ_PF_TERM)
            d += wordDiff(cp, x.winfoX.wi, y.winfoX.wi);
        if (!d.empty()) return "element " + std::to_string(i) + ":" + d;
    }
    return "";
}

// The converted condition translated again (structured or mixed) and
// optimised.
struct BackTranslation {
    bool mixed;
    char* orderCopy = nullptr;
    uint8_t* wordBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t n = 0;
    GTRSTATUS st{};
    BackTranslation(const GTRSEARCH_COND& c, bool isMixed) : mixed(isMixed) {
        const VOZ_CPINFO cp = qtest::cpinfo(c.codepage);
        if (mixed)
            vozTranslateCond_Mix(cp, c.mix_num, c.mix, c.mix_order, &orderCopy,
                                 &wordBuf, &pf, &n, nullptr, nullptr, &st);
        else
            vozTranslateCond_Struct(cp, c.struct_num, c.struct_word,
                                    c.struct_order, &orderCopy, &wordBuf, &pf,
                                    &n, nullptr, nullptr, &st);
        if (st.retcode == 0) vozOptimizePostfix(pf, n, nullptr, &st);
    }
    ~BackTranslation() {
        if (mixed)
            vozTranslateCond_Mix_Term(orderCopy, wordBuf, pf, n);
        else
            vozTranslateCond_Struct_Term(orderCopy, wordBuf, pf, n);
    }
};

// `rounds` random texts (with item conditions when `mixed`), converted and
// translated back; at least `wellFormed` of them must translate.
void roundTrip(bool mixed, int rounds, int wellFormed) {
    const uint32_t seed = testSeed();
    QueryGen gen(seed, mixed);
    void* handle = nullptr;
    int translated = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string q = gen.text();
        SCOPED_TRACE("query [" + q + "] seed " + std::to_string(seed));
        qtest::Translation direct(q.c_str(), 34, mixed);
        if (direct.st.retcode != 0) continue;  // malformed by chance
        GTRSTATUS ost{};
        vozOptimizePostfix(direct.pf, direct.n, nullptr, &ost);
        ASSERT_EQ(ost.retcode, 0) << codes(ost);
        ++translated;

        GTRSEARCH_COND in{};
        in.codepage = 34;
        in.cond_type = mixed ? GTR_COND_MIXQUERY : GTR_COND_QUERY;
        in.query = const_cast<char*>(q.c_str());
        GTRSEARCH_COND out{};
        GTRSTATUS st{};
        if (mixed)
            GTRconvertSearchCond_Mix(&handle, in, &out, &st);
        else
            GTRconvertSearchCond(&handle, in, &out, &st);
        ASSERT_EQ(st.retcode, 0) << codes(st);
        SCOPED_TRACE(std::string("order [") +
                     (mixed ? out.mix_order : out.struct_order) + "]");
        BackTranslation back(out, mixed);
        ASSERT_EQ(back.st.retcode, 0) << codes(back.st);
        ASSERT_EQ(arrayDiff(direct.cp, direct.pf, direct.n, back.pf, back.n), "")
            << qtest::describe(direct.cp, direct.pf, direct.n) << "\n"
            << qtest::describe(direct.cp, back.pf, back.n);
    }
    GTRconvertSearchCond_Release(&handle);
    EXPECT_GT(translated, wellFormed) << "most generated texts are well formed";
}

TEST(ConvertSearchCondRoundTrip, RandomQueryTexts) { roundTrip(false, 1500, 1000); }

// Mixed query text through GTRconvertSearchCond_Mix and the translation of
// mixed conditions; quoted character values are compared as read.
TEST(ConvertSearchCondRoundTrip, RandomMixedQueryTexts) { roundTrip(true, 800, 500); }

}  // namespace
