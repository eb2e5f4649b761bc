// Differential test of the query-text translation: random query texts
// (words with options, quoted words, the four operators with modes and
// distances, parentheses with group options, the single NOT, stray blanks,
// and some malformed texts) are translated, and the same texts are
// evaluated by an independent model written here: a token list from which
// the expected errors follow in reading order (token errors, the sequence
// table, the parenthesis depth), and a precedence-climbing parser that
// gives the expected postfix array (special NOT binds tightest, then
// proximity, then AND, distance and NOT, then OR; all left-associative; a
// lone result gets an OR of one operand).
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "query_test_util.hpp"
#include "ti_test_util.hpp"

using namespace qtest;

namespace {

// ---- the token model --------------------------------------------------------

enum class T { Word, Open, Close, Op, Whole, End };

struct Tok {
    Tok(T type, std::string shown, std::string written, int16_t k = 0,
        char op = 0)
        : t(type), text(std::move(shown)), render(std::move(written)), kind(k),
          letter(op) {}
    T t;
    std::string text;       // Word: the word as the description shows it
    std::string render;     // as written in the query
    int16_t kind = 0;       // Op: the element kind while converting
    char letter = 0;        // Op: operator letter
    int distance = 0;       // Op: distance of a 'D'
    char mode = 0;
    bool group = false;     // Close: carries group options
    std::string error;      // "rc/ec" when reading this token fails
};

const char* kValidOptions[6][3] = {
    {"%80", "%STEM", "%_50"}, {"@2", "@2_1-3", "@[F1_3,F5]"},
    {"#C", "#N", "#C"},       {"<%_>", "<*?>", "<+->"},
    {"$7", "$[F1=2]", "$[*=3,F2_4=1]"}, {"/S", "/S", "/S"}};
const struct {
    int index;
    const char* text;
    const char* error;
} kBadOptions[] = {{0, "%101", "26/1143"}, {2, "#X", "106/1157"},
                   {4, "$0", "112/0"},     {1, "@F1_5", "120/1766"},
                   {3, "<**>", "111/1161"}};

struct Gen {
    std::mt19937 rng;
    explicit Gen(uint32_t seed) : rng(seed) {}
    int pick(int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    std::string options(std::string* error) {
        std::string s;
        int bad = chance(8) ? pick(5) : -1;
        for (int i = 0; i < 6; ++i) {
            if (bad >= 0 && kBadOptions[bad].index == i) {
                s += kBadOptions[bad].text;
                if (error->empty()) *error = kBadOptions[bad].error;
            } else if (chance(15)) {
                s += kValidOptions[i][pick(3)];
            }
        }
        return s;
    }

    Tok word() {
        Tok k{T::Word, "", ""};
        static const char* odd[] = {"*33", "*1234", "+x", "!x", "-ab", "*5x", "#c"};
        if (chance(10)) {
            k.text = odd[pick(7)];
            k.render = k.text;
        } else if (chance(20)) {  // a quoted word
            static const char chars[] = "abc *()+\"";
            int n = chance(5) ? 0 : 1 + pick(5);
            std::string content;
            for (int i = 0; i < n; ++i) content += chars[pick(9)];
            k.text = content;
            k.render = "\"";
            for (char c : content) k.render += c == '"' ? std::string("\"\"") : std::string(1, c);
            k.render += "\"";
            if (n == 0) k.error = "105/1135";
        } else {
            int n = 1 + pick(5);
            for (int i = 0; i < n; ++i) k.text += static_cast<char>('a' + pick(6));
            k.render = k.text;
        }
        if (k.error.empty()) k.render += options(&k.error);
        k.text = "W:" + k.text;
        return k;
    }

    Tok op() {
        Tok k{T::Op, "", ""};
        static const char ops[] = "*+-#";
        static const char modes[] = {0, 'S', 'F', 'P'};
        int c = pick(4);
        k.mode = chance(40) ? modes[1 + pick(3)] : 0;
        k.render = std::string(1, ops[c]);
        k.letter = "AONN"[c];
        static const int16_t kinds[] = {VOZ_PF_AND, VOZ_PF_OR, VOZ_PF_NOT,
                                        VOZ_PF_SPECIAL_NOT};
        k.kind = kinds[c];
        if (c == 0 && chance(30)) {
            k.distance = pick(33);
            k.render += std::to_string(k.distance);
            k.letter = 'D';
            k.kind = VOZ_PF_DISTANCE;
        }
        if (k.mode != 0) k.render += k.mode;
        if (k.mode == 'P') {
            if (c != 0)
                k.error = "102/1166";
            else
                k.kind = VOZ_PF_PROXIMITY;
        }
        return k;
    }

    Tok close() {
        Tok k{T::Close, "", ")"};
        if (chance(20)) {
            k.group = true;
            bool range = chance(60), weight = !range || chance(50);
            if (range) k.render += chance(90) ? "@2" : "@[F3]";
            if (weight) {
                bool bad = chance(10);
                k.render += bad ? "$0" : "$4";
                if (bad) k.error = "112/0";
            }
        }
        return k;
    }

    // A well-formed expression of at most `depth` levels.
    void expr(std::vector<Tok>& out, int depth) {
        operand(out, depth);
        int n = pick(3);
        for (int i = 0; i < n; ++i) {
            out.push_back(op());
            operand(out, depth);
        }
    }
    void operand(std::vector<Tok>& out, int depth) {
        int r = pick(10);
        if (depth > 0 && r < 2) {
            out.push_back(Tok(T::Open, "", "("));
            expr(out, depth - 1);
            out.push_back(close());
        } else if (r == 2) {
            Tok w{T::Whole, "D", "!"};
            w.mode = chance(30) ? "SFP"[pick(3)] : 0;
            if (w.mode != 0) w.render += w.mode;
            out.push_back(w);
            out.push_back(word());
        } else {
            out.push_back(word());
        }
    }

    std::vector<Tok> query() {
        std::vector<Tok> toks;
        expr(toks, 3);
        if (chance(25)) {  // damage it
            int at = pick(static_cast<int>(toks.size()) + 1);
            switch (pick(5)) {
            case 0: if (at < static_cast<int>(toks.size())) toks.erase(toks.begin() + at); break;
            case 1: toks.insert(toks.begin() + at, word()); break;
            case 2: toks.insert(toks.begin() + at, op()); break;
            case 3: toks.insert(toks.begin() + at, Tok(T::Open, "", "(")); break;
            default: toks.insert(toks.begin() + at, close()); break;
            }
        }
        if (chance(3)) {  // an unclosed quote swallows the rest
            Tok k{T::Word, "", "\"ab c"};
            k.error = "105/1135";
            toks.push_back(k);
        }
        return toks;
    }

    std::string render(const std::vector<Tok>& toks) {
        std::string s(pick(3), ' ');
        for (size_t i = 0; i < toks.size(); ++i) {
            bool paren = toks[i].t == T::Open || toks[i].t == T::Close ||
                         (i > 0 && toks[i - 1].t == T::Open);
            if (i > 0) s += std::string(paren && chance(40) ? 0 : 1 + pick(3), ' ');
            // a word may not touch a following ')' when it has no options
            s += toks[i].render;
        }
        return s + std::string(pick(3), ' ');
    }
};

// ---- the model's reading: errors in order ---------------------------------

// The element kinds that the tokens give, in reading order.
struct Elem {
    int16_t kind;
    const Tok* tok;
};

bool allowed(int16_t prev, int16_t next) {
    auto in = [](int16_t k, std::initializer_list<int> ks) {
        for (int x : ks)
            if (x == k) return true;
        return false;
    };
    switch (prev) {
    case 0: return in(next, {7, 9, 10});
    case 7: return in(next, {7, 8, 9, 12});
    case 8: case 9: case 12: return in(next, {1, 2, 3, 4, 5, 6, 8, 10, 11, 12});
    default: return in(next, {7, 9});
    }
}

// The expected error, or "" with the elements of a readable text.
std::string readModel(const std::vector<Tok>& toks, std::vector<Elem>* elems) {
    int16_t prev = 0;
    int depth = 0;
    static const Tok specialNot{T::Op, "", "#", VOZ_PF_SPECIAL_NOT, 'N'};
    std::vector<std::pair<int16_t, const Tok*>> flat;
    std::vector<std::unique_ptr<Tok>> made;
    for (const Tok& k : toks) {
        std::vector<std::pair<int16_t, const Tok*>> now;
        std::string err = k.error;
        switch (k.t) {
        case T::Word: now.push_back({9, &k}); break;
        case T::Open: now.push_back({7, &k}); break;
        case T::Close: now.push_back({k.group ? int16_t(12) : int16_t(8), &k}); break;
        case T::Op: now.push_back({k.kind, &k}); break;
        case T::Whole: {
            now.push_back({9, &k});
            if (k.mode == 'P') {
                err = "102/1166";  // "#P"
                break;
            }
            made.emplace_back(new Tok(specialNot));
            made.back()->mode = k.mode;
            now.push_back({VOZ_PF_SPECIAL_NOT, made.back().get()});
            break;
        }
        default: break;
        }
        for (size_t i = 0; i < now.size(); ++i) {
            if (!err.empty() && i + 1 == now.size() && k.t != T::Whole) return err;
            int16_t kind = now[i].first;
            if (kind == 7) ++depth;
            if (kind == 8 || kind == 12) --depth;
            if (depth < 0) return "103/1129";
            if (!allowed(prev, kind)) return "104/1130";
            prev = kind;
            elems->push_back(Elem{kind, now[i].second});
        }
        if (!err.empty()) return err;
    }
    if (!allowed(prev, 10)) return "104/1130";
    if (depth != 0) return "103/1133";
    static std::vector<std::unique_ptr<Tok>> keep;  // the special NOTs live on
    for (auto& m : made) keep.push_back(std::move(m));
    return "";
}

// ---- the model's parse: precedence climbing ----------------------------------

int precedence(int16_t kind) {
    switch (kind) {
    case VOZ_PF_OR: return 1;
    case VOZ_PF_AND: case VOZ_PF_DISTANCE: case VOZ_PF_NOT: return 2;
    case VOZ_PF_PROXIMITY: return 3;
    case VOZ_PF_SPECIAL_NOT: return 4;
    default: return 0;
    }
}

std::string opText(const Elem& e, int operands) {
    const Tok& k = *e.tok;
    std::string s;
    switch (e.kind) {
    case VOZ_PF_OR: s = "OR"; break;
    case VOZ_PF_AND: s = "AND"; break;
    case VOZ_PF_DISTANCE: s = "DIST" + std::to_string(k.distance); break;
    case VOZ_PF_NOT: s = "NOT"; break;
    case VOZ_PF_SPECIAL_NOT: s = "SNOT"; break;
    case VOZ_PF_PROXIMITY:
        s = k.letter == 'D' ? "DIST" + std::to_string(k.distance)
                            : std::string("PROX") + k.letter;
        break;
    case VOZ_PF_GROUP: s = "GROUP"; break;
    }
    if (k.mode != 0) s += k.mode;
    return s + "(" + std::to_string(operands) + ")";
}

struct Parser {
    explicit Parser(const std::vector<Elem>& elems) : e(elems) {}
    const std::vector<Elem>& e;
    size_t at = 0;
    std::vector<std::string> out;
    void expr(int minPrec) {
        primary();
        while (at < e.size() && precedence(e[at].kind) >= minPrec &&
               precedence(e[at].kind) > 0) {
            const Elem& op = e[at++];
            expr(precedence(op.kind) + 1);
            out.push_back(opText(op, 2));
        }
    }
    void primary() {
        const Elem& x = e[at++];
        if (x.kind == VOZ_PF_TERM) {
            out.push_back(x.tok->text);
            return;
        }
        // an open parenthesis: a group, which may be empty
        if (e[at].kind != VOZ_PF_CLOSE && e[at].kind != VOZ_PF_GROUP) expr(1);
        const Elem& close = e[at++];
        if (close.kind == VOZ_PF_GROUP) out.push_back(opText(close, 1));
    }
};

std::string modelResult(const std::vector<Tok>& toks) {
    std::vector<Elem> elems;
    std::string err = readModel(toks, &elems);
    if (!err.empty()) return err;
    if (elems.empty()) return "25/2584";
    Parser p(elems);
    p.expr(1);
    if (p.out.size() == 1) p.out.push_back("OR(1)");
    if (p.out.empty()) return "25/2584";
    std::string s;
    for (size_t i = 0; i < p.out.size(); ++i) s += (i ? " " : "") + p.out[i];
    return s;
}

TEST(QueryDiff, TranslationMatchesAPrecedenceParser) {
    uint32_t seed = testSeed();
    Gen g(seed);
    int failures = 0, valid = 0;
    for (int i = 0; i < 3000 && failures < 5; ++i) {
        std::vector<Tok> toks = g.query();
        if (toks.empty()) continue;
        std::string text = g.render(toks);
        std::string expected = modelResult(toks);
        Translation t(text.c_str());
        if (t.st.retcode == 0) ++valid;
        if (t.result() != expected) {
            ++failures;
            ADD_FAILURE() << "seed " << seed << " case " << i << "\n text:     [" << text
                          << "]\n expected: " << expected << "\n got:      "
                          << t.result();
        }
    }
    EXPECT_GT(valid, 1000) << "most texts are readable";
}

}  // namespace
