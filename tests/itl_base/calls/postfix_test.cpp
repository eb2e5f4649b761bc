// Tests of the postfix conversion of order strings, the optimiser and the
// trace print: a table of order strings, a differential test against a
// small precedence parser, hand-built arrays for the optimiser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "calls/voz_postfix.hpp"
#include "cos_trace.hpp"
#include "ti_test_util.hpp"

namespace {

std::string describe(const PFELEMENT& e) {
    if (e.kind == VOZ_PF_TERM)
        return e.whole_doc == 'Y' ? "D" : "T" + std::to_string(e.itemNo);
    std::string s;
    switch (e.kind) {
    case VOZ_PF_OR: s = "OR"; break;
    case VOZ_PF_AND: s = "AND"; break;
    case VOZ_PF_DISTANCE: s = "DIST" + std::to_string(e.Operator.op_dlmno); break;
    case VOZ_PF_NOT: s = "NOT"; break;
    case VOZ_PF_SPECIAL_NOT: s = "SNOT"; break;
    case VOZ_PF_PROXIMITY: s = "PROX"; break;
    case VOZ_PF_GROUP: s = "GROUP"; break;
    case VOZ_PF_REMOVED: return "X";
    default: s = "K" + std::to_string(e.kind); break;
    }
    if (e.mode != 0) s += e.mode;
    return s + "(" + std::to_string(e.opnum) + ")";
}

std::string describe(const PFELEMENT* a, int32_t n) {
    std::string s;
    for (int32_t i = 0; i < n; ++i) {
        if (i > 0) s += " ";
        s += describe(a[i]);
    }
    return s;
}

// Converts an order string; "rc/ec" on failure.
std::string convert(const std::string& order, char howto = 0,
                     bool optimize = false, int16_t* largest = nullptr) {
    std::string copy = order;
    RTRVRANK rank{};
    rank.howto_operate = howto;
    PFELEMENT* a = nullptr;
    int32_t n = -1;
    GTRSTATUS st{};
    vozConvertIntoPostfix(reinterpret_cast<uint8_t*>(&copy[0]), &a, &n,
                          VOZ_CPINFO{}, nullptr, vozIdentifyToken_NO,
                          howto != 0 ? &rank : nullptr, nullptr, &st);
    if (st.retcode == 0 && optimize) vozOptimizePostfix(a, n, largest, &st);
    std::string out = st.retcode != 0 ? std::to_string(st.retcode) + "/" +
                                            std::to_string(st.errcode)
                                      : describe(a, n);
    if (st.retcode != 0) {
        EXPECT_TRUE(n == 0 || optimize);
    }
    vozConvertIntoPostfixTerm(a, n);
    return out;
}

TEST(Postfix, OrderStrings) {
    const struct {
        const char* order;
        const char* postfix;
    } cases[] = {
        {"1 * 2 + 3", "T0 T1 AND(2) T2 OR(2)"},
        {"1 + 2 * 3", "T0 T1 T2 AND(2) OR(2)"},
        {"( 1 + 2 ) * 3", "T0 T1 OR(2) T2 AND(2)"},
        {"1 # 2 * 3", "T0 T1 SNOT(2) T2 AND(2)"},
        {"1", "T0 OR(1)"},
        {"  12\t", "T11 OR(1)"},
        {"3 *2S 1", "T2 T0 DIST2S(2)"},
        {"1 *P 2", "T0 T1 PROXP(2)"},
        {"1 *3P 2", "T0 T1 DIST3P(2)"},
        {"1 +F 2 -S 3", "T0 T1 T2 NOTS(2) ORF(2)"},
        {"! 1", "D T0 SNOT(2)"},
        {"1 * !S 2", "T0 D T1 SNOTS(2) AND(2)"},
        {"1 # 2 *P 3 * 4", "T0 T1 SNOT(2) T2 PROXP(2) T3 AND(2)"},
        {"1 2", "104/1130"},
        {"* 1", "104/1130"},
        {"1 *", "104/1130"},
        {"( ) 1", "104/1130"},
        {"1*2+3", "104/1130"},
        {") 1 (", "103/1129"},
        {"( 1", "103/1133"},
        {"1 +P 2", "102/1167"},
        {"1 (P 2", "102/1167"},
        {"1 * x", "102/1165"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(convert(c.order), c.postfix) << c.order;
}

TEST(Postfix, RankingModeIsTheDefaultOfOperatorsWithout) {
    EXPECT_EQ(convert("1 * 2", 'P'), "T0 T1 PROXP(2)");
    EXPECT_EQ(convert("1 *4 2", 'P'), "T0 T1 DIST4P(2)");
    EXPECT_EQ(convert("1 + 2", 'P'), "T0 T1 ORF(2)");
    EXPECT_EQ(convert("1 + 2", 'S'), "T0 T1 ORS(2)");
    EXPECT_EQ(convert("1 +F 2", 'S'), "T0 T1 ORF(2)");
}

TEST(Postfix, TheCallersStringIsReadInACopyOnly) {
    std::string order = "! 1";
    std::string kept = order;
    convert(order);
    EXPECT_EQ(order, kept);
}

// ---- reference parser --------------------------------------------------------
// Tokens of a generated order string.
struct Tok {
    char c;       // 'n' number, 'd' distance, one of "*+-#()!"
    int value;    // number or distance
    char mode;    // 0 or the letter written after the token
};

std::string render(const std::vector<Tok>& toks, std::mt19937& rng) {
    std::string s;
    for (const Tok& t : toks) {
        if (rng() % 2) s += ' ';
        // A number right after '*' or digits would join them.
        bool joins = !s.empty() && (s.back() == '*' || (s.back() >= '0' && s.back() <= '9'));
        if ((t.c == 'n' || t.c == 'd') && joins) s += ' ';
        if (t.c == 'n') s += std::to_string(t.value);
        else if (t.c == 'd') s += "*" + std::to_string(t.value);
        else s += t.c;
        if (t.mode != 0) s += t.mode;
        if (t.c == 'n' || rng() % 3 == 0) s += ' ';
    }
    return s;
}

// Kind of a token as the sequence rules see it; '!' is an operand followed
// by a special NOT.
int kindOf(const Tok& t) {
    switch (t.c) {
    case 'n': return 9;
    case '+': return 1;
    case '-': return 5;
    case '#': return 6;
    case '(': return 7;
    case ')': return 8;
    default: return t.mode == 'P' ? 11 : (t.c == 'd' ? 4 : 3);
    }
}

struct RefParser {
    const std::vector<Tok>& toks;
    size_t i = 0;

    // Binding levels, loosest first: OR; AND, distance, NOT; proximity;
    // special NOT.
    static int level(int kind) {
        return kind == 1 ? 0 : kind == 11 ? 2 : kind == 6 ? 3 : 1;
    }
    static std::string opText(const Tok& t) {
        std::string s;
        switch (t.c) {
        case '+': s = "OR"; break;
        case '-': s = "NOT"; break;
        case '#': case '!': s = "SNOT"; break;
        case '*': s = t.mode == 'P' ? "PROX" : "AND"; break;
        default: s = "DIST" + std::to_string(t.value); break;
        }
        if (t.mode != 0) s += t.mode;
        return s + "(2)";
    }
    void append(std::string& to, const std::string& s) {
        if (s.empty()) return;
        if (!to.empty()) to += ' ';
        to += s;
    }
    std::string primary() {
        const Tok& t = toks[i++];
        if (t.c == 'n') return "T" + std::to_string(t.value - 1);
        if (t.c == '!') {  // whole document, then its special NOT follows
            --i;
            return "D";
        }
        std::string inner;  // '('
        if (toks[i].c != ')') inner = expr(0);
        ++i;  // ')'
        return inner;
    }
    bool atOperator() const {
        if (i >= toks.size()) return false;
        char c = toks[i].c;
        return c != 'n' && c != '(' && c != ')';
    }
    int kindAt() const { return toks[i].c == '!' ? 6 : kindOf(toks[i]); }
    std::string expr(int minLevel) {
        std::string out = primary();
        while (atOperator() && level(kindAt()) >= minLevel) {
            const Tok op = toks[i];
            int lv = level(kindAt());
            if (op.c == '!') {
                // '!' already gave the operand D; it reads again as '#'
                ++i;
                std::string rhs = expr(lv + 1);
                append(out, rhs);
                append(out, opText(op));
                continue;
            }
            ++i;
            std::string rhs = expr(lv + 1);
            append(out, rhs);
            append(out, opText(op));
        }
        return out;
    }
};

// Checks the sequence and nesting as the conversion does, then parses.
std::string reference(const std::vector<Tok>& toks) {
    static const char* allowed[13] = {
        "\x07\x09\x0a", "\x07\x09", "\x07\x09", "\x07\x09", "\x07\x09",
        "\x07\x09", "\x07\x09", "\x07\x08\x09\x0c", "\x01\x02\x03\x04\x05\x06\x08\x0a\x0b\x0c",
        "\x01\x02\x03\x04\x05\x06\x08\x0a\x0b\x0c", "", "\x07\x09", ""};
    int prev = 0, depth = 0;
    std::vector<int> kinds;
    for (const Tok& t : toks) {
        if (t.mode == 'P' && t.c != '*' && t.c != 'd' && t.c != '!' && t.c != 'n')
            kinds.push_back(-1);  // tokenizer refuses
        else if (t.c == '!' && t.mode == 'P')
            kinds.push_back(-2);  // operand D, then '#' with 'P' refused
        else if (t.c == '!')
            kinds.push_back(-3);  // operand D, then special NOT
        else
            kinds.push_back(kindOf(t));
    }
    kinds.push_back(10);
    for (int k : kinds) {
        std::vector<int> seq;
        if (k == -1) return "102/1167";
        if (k == -2 || k == -3) seq = {9, k == -2 ? -1 : 6};
        else seq = {k};
        for (int s : seq) {
            if (s == -1) return "102/1167";
            if (s == 7) ++depth;
            if (s == 8) --depth;
            if (depth < 0) return "103/1129";
            if (std::strchr(allowed[prev], static_cast<char>(s)) == nullptr || s == 0)
                return "104/1130";
            prev = s;
        }
    }
    if (depth != 0) return "103/1133";
    RefParser p{toks};
    std::string out = toks.empty() ? "" : p.expr(0);
    int count = 0;
    for (char c : out) count += c == ' ';
    if (!out.empty() && count == 0) out += " OR(1)";
    return out;
}

Tok randomTok(std::mt19937& rng) {
    static const char ops[] = "*+-#()!nnnnd";
    Tok t{ops[rng() % (sizeof ops - 1)], 0, 0};
    if (t.c == 'n') t.value = static_cast<int>(rng() % 20) + 1;
    if (t.c == 'd') t.value = static_cast<int>(rng() % 40);
    if (t.c != 'n' && rng() % 3 == 0) t.mode = "SFP"[rng() % 3];
    return t;
}

// A mostly well-formed string: operand (operator operand)*, with groups.
void wellFormed(std::vector<Tok>& out, std::mt19937& rng, int depth) {
    auto operand = [&] {
        if (depth < 3 && rng() % 4 == 0) {
            out.push_back({'(', 0, 0});
            wellFormed(out, rng, depth + 1);
            out.push_back({')', 0, 0});
        } else if (rng() % 8 == 0) {
            out.push_back({'!', 0, rng() % 4 == 0 ? "SF"[rng() % 2] : '\0'});
            out.push_back({'n', static_cast<int>(rng() % 9) + 1, 0});
        } else {
            out.push_back({'n', static_cast<int>(rng() % 9) + 1, 0});
        }
    };
    operand();
    int n = static_cast<int>(rng() % 5);
    for (int k = 0; k < n; ++k) {
        Tok op = randomTok(rng);
        while (op.c == 'n' || op.c == '(' || op.c == ')' || op.c == '!')
            op = randomTok(rng);
        if (op.mode == 'P' && op.c != '*' && op.c != 'd' && rng() % 4 != 0)
            op.mode = 0;
        out.push_back(op);
        operand();
    }
}

TEST(Postfix, AgreesWithAPrecedenceParser) {
    std::mt19937 rng(testSeed());
    int valid = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<Tok> toks;
        if (round % 3 == 0) {
            int n = static_cast<int>(rng() % 8);
            for (int k = 0; k < n; ++k) toks.push_back(randomTok(rng));
        } else {
            wellFormed(toks, rng, 0);
            if (rng() % 5 == 0 && !toks.empty())  // one random damage
                toks[rng() % toks.size()] = randomTok(rng);
        }
        std::string text = render(toks, rng);
        std::string want = reference(toks);
        valid += want.find('/') == std::string::npos;
        ASSERT_EQ(convert(text), want) << "order \"" << text << "\"";
    }
    EXPECT_GT(valid, 1000) << "too few well-formed strings";
}

// ---- optimiser -------------------------------------------------------------------

TEST(Postfix, OptimiserFlattensLikeOperators) {
    int16_t largest = 0;
    EXPECT_EQ(convert("1 * 2 * 3", 0, true, &largest), "T0 T1 X T2 AND(3)");
    EXPECT_EQ(largest, 3);
    EXPECT_EQ(convert("1 + 2 + 3 + 4", 0, true, &largest), "T0 T1 X T2 X T3 OR(4)");
    EXPECT_EQ(largest, 4);
    EXPECT_EQ(convert("1 - 2 - 3", 0, true, &largest), "T0 T1 NOT(2) T2 NOT(2)");
    EXPECT_EQ(largest, 2);
    EXPECT_EQ(convert("1 *S 2 *F 3", 0, true), "T0 T1 ANDS(2) T2 ANDF(2)");
    EXPECT_EQ(convert("1 *2 2 *3 3", 0, true), "T0 T1 DIST2(2) T2 DIST3(2)");
    EXPECT_EQ(convert("1 *2 2 *2 3", 0, true), "T0 T1 X T2 DIST2(3)");
    EXPECT_EQ(convert("1 * ( 2 * 3 ) + 4 * 5", 0, true),
              "T0 T1 T2 X AND(3) T3 T4 AND(2) OR(2)");
    EXPECT_EQ(convert("1", 0, true), "T0 OR(1)");
}

PFELEMENT term(int32_t item) {
    PFELEMENT e{};
    e.kind = VOZ_PF_TERM;
    e.itemNo = item;
    return e;
}

PFELEMENT op(int16_t kind, int16_t n, char letter = 'A') {
    PFELEMENT e{};
    e.kind = kind;
    e.opnum = n;
    e.Operator.op = letter;
    e.itemNo = -1;
    return e;
}

TEST(Postfix, GroupOptionsGoToTheOperandBeforeThem) {
    GTRFIELDRANGE ranges[1] = {};
    GTRFIELDWEIGHT weights[1] = {};
    PFELEMENT a[3] = {term(0), op(VOZ_PF_GROUP, 1, 'O'), op(VOZ_PF_OR, 1, 'O')};
    a[1].winfoX.wi.fld_number = 1;
    a[1].winfoX.wi.pFieldRange = ranges;
    a[1].winfoX.wi.weight = 1;
    a[1].winfoX.wi.pFieldWeight = weights;
    GTRSTATUS st{};
    vozOptimizePostfix(a, 2, nullptr, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(a[0].winfoX.wi.pFieldRange, ranges);
    EXPECT_EQ(a[0].winfoX.wi.fld_number, 1);
    EXPECT_EQ(a[0].winfoX.wi.pFieldWeight, weights);
    EXPECT_EQ(a[0].winfoX.wi.weight, 1);
    EXPECT_EQ(describe(a[1]), "OR(1)");

    // An operand with a field of its own keeps it; the group keeps its range
    // and stays a group.
    PFELEMENT b[2] = {term(0), op(VOZ_PF_GROUP, 1, 'O')};
    b[0].winfoX.wi.fld_number = 7;
    b[1].winfoX.wi.fld_number = 1;
    b[1].winfoX.wi.pFieldRange = ranges;
    vozOptimizePostfix(b, 2, nullptr, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(b[0].winfoX.wi.fld_number, 7);
    EXPECT_EQ(b[0].winfoX.wi.pFieldRange, nullptr);
    EXPECT_EQ(describe(b[1]), "GROUP(1)");
}

TEST(Postfix, OptimiserRefusesBrokenArrays) {
    GTRSTATUS st{};
    PFELEMENT tooFew[2] = {term(0), op(VOZ_PF_AND, 2)};
    vozOptimizePostfix(tooFew, 2, nullptr, &st);
    EXPECT_EQ(st.retcode, 102);
    EXPECT_EQ(st.errcode, 1126);
    st = GTRSTATUS{};
    PFELEMENT leftOver[3] = {term(0), term(1), op(VOZ_PF_OR, 1, 'O')};
    vozOptimizePostfix(leftOver, 3, nullptr, &st);
    EXPECT_EQ(st.errcode, 1127);
    st = GTRSTATUS{};
    PFELEMENT noOperator[2] = {term(0), term(1)};
    vozOptimizePostfix(noOperator, 2, nullptr, &st);
    EXPECT_EQ(st.errcode, 1127);
    st = GTRSTATUS{};
    PFELEMENT negative[2] = {term(0), op(VOZ_PF_AND, -3)};
    vozOptimizePostfix(negative, 2, nullptr, &st);
    EXPECT_EQ(st.errcode, 1126);
}

std::vector<std::string> gTrace;
void collect(void*, CosEnTraceDetail, uint16_t component, CosEnTraceDataType,
             char const*, char const* label, void const* data, uint32_t length) {
    if (component != 1) return;
    std::string s = label;
    if (std::strcmp(label, "Operator") == 0)
        s += ": " + std::string(static_cast<const char*>(data), length);
    gTrace.push_back(s);
}

TEST(Postfix, TracePrint) {
    PFELEMENT a[8] = {term(0), term(1), op(VOZ_PF_AND, 3), op(VOZ_PF_DISTANCE, 2, 'D'),
                      op(VOZ_PF_SPECIAL_NOT, 2, 'N'), op(VOZ_PF_PROXIMITY, 2),
                      op(VOZ_PF_GROUP, 1), op(VOZ_PF_REMOVED, 2)};
    a[3].Operator.op_dlmno = 5;
    a[1].whole_doc = 'Y';
    gTrace.clear();
    vozPrintPostfix(a, 8);
    EXPECT_TRUE(gTrace.empty()) << "trace off";
    CosClTraceInstance* inst = cosTraceCreateInstance("VOZPOSTFIXTEST", nullptr);
    ASSERT_NE(inst, nullptr);
    inst->registerUserCallback(collect, nullptr);
    inst->activate();
    inst->enable();
    vozPrintPostfix(a, 8);
    cosTraceDeleteInstance();
    EXPECT_EQ(gTrace, (std::vector<std::string>{
                          "<< Optimized query >>", "postfix[px].itemNo",
                          "postfix[px].whole_doc", "Operator: * (3)",
                          "Operator: *5 (2)", "Operator: Special_Not (2)",
                          "Operator: ??????", "Operator: ??????"}));
}

}  // namespace
