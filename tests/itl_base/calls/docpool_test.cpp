// The patterns one document pools: text normalised as the document call
// does, walked by vozPoolDocUnits into a recording sink, compared with
// tables derived by hand from the cutting rules (words by letters, n-gram
// stretches between them, blanks counting no position).
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"
#include "calls/voz_docpool.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr uint8_t kCode = VOZ_CP_88591;
constexpr int16_t kW = 2;

// Records every pattern as text: kind, units (letters as they stand, zero
// units '_', a 'B' mark unit '#'; byte 0 holds the upper-case fold, so a
// folded word reads upper-case), '@' position, '/' length when not 0.
struct Recorder {
    VOZ_CPINFO cp = cpOf(kCode);
    std::vector<std::string> out;
    std::vector<std::vector<uint8_t>> bytes;   // raw pattern bytes
    std::vector<int32_t> stopAnswers;          // consumed per word
    int failAt = -1;                           // pattern index that fails
    int gram = 2;                              // units of a fixed pattern

    std::string units(const uint8_t* p, int32_t n) const {
        std::string s;
        for (int32_t i = 0; i < n; ++i, p += kW) {
            if (p[0] == 0 && p[1] == 0) s += '_';
            else if (p[0] == 8) s += '#';
            else if (p[1] == VOZ_MARK_LOWER) s += char(tolower(p[0]));
            else s += static_cast<char>(p[0]);  // upper, folded, symbols
        }
        return s;
    }
    static int pattern(void* ctx, char kind, const uint8_t* patt, int32_t doc,
                       int32_t pos, int32_t len, GTRSTATUS* st) {
        auto* r = static_cast<Recorder*>(ctx);
        if (static_cast<int>(r->out.size()) == r->failAt) {
            st->retcode = 31;
            st->errcode = pos;
            return -1;
        }
        std::string s;
        if (kind == ')' || kind == '+') s += kind;
        else s += "k" + std::to_string(int(kind));
        const int32_t n = patt == nullptr ? 0 : len == 0 ? r->gram : len;
        s += r->units(patt, n);
        s += "@" + std::to_string(pos);
        if (len != 0) s += "/" + std::to_string(len);
        if (doc != 7) s += " doc" + std::to_string(doc);
        r->out.push_back(s);
        r->bytes.emplace_back(patt, patt + n * kW);
        return 0;
    }
    static int field(void* ctx, uint16_t f, int32_t doc, int32_t pos,
                     GTRSTATUS*) {
        auto* r = static_cast<Recorder*>(ctx);
        r->out.push_back("f" + std::to_string(f) + "@" + std::to_string(pos) +
                         (doc != 7 ? " doc" + std::to_string(doc) : ""));
        return 0;
    }
    static int32_t stop(void* ctx, const uint8_t*, int32_t, bool,
                        GTRSTATUS*) {
        auto* r = static_cast<Recorder*>(ctx);
        if (r->stopAnswers.empty()) return VOZ_STOP_NONE;
        const int32_t a = r->stopAnswers.front();
        r->stopAnswers.erase(r->stopAnswers.begin());
        return a;
    }
    VOZ_DOCSINK sink(bool stops = false) {
        return VOZ_DOCSINK{this, pattern, field, stops ? stop : nullptr};
    }
};

GTRCREATEPARM parmOf(int n, uint8_t disable = 0, uint8_t rule = 0) {
    GTRCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.fixedKeyUnits = static_cast<int16_t>(n);
    p.inputUnitWidth = kW;
    p.storedUnitWidth = kW;
    p.codeInfo[0] = kCode;
    p.codeInfo[2] = disable;
    p.codeInfo[3] = rule;
    p.options[2] = 8;
    return p;
}

// A normalised document and the walk's input over it.
struct Doc {
    uint8_t* units = nullptr;
    int32_t len = 0;
    GTRCREATEPARM parm;
    VOZ_DOCUNITS d{};
    explicit Doc(const std::string& text, const GTRCREATEPARM& p) : parm(p) {
        GTRSTATUS st{};
        vozNormalizeDoc(reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<int32_t>(text.size()), cpOf(kCode),
                        VOZ_NORM_TEXT, &units, &len, nullptr, &parm, &st);
        EXPECT_EQ(st.retcode, 0);
        d.cp = cpOf(kCode);
        d.cparm = &parm;
        d.docno = 7;
        d.units = units;
        d.length = len;
    }
    ~Doc() { free(units); }
    uint8_t* at(int unit) { return units + unit * kW; }
};

std::vector<std::string> run(Doc& doc, Recorder& r, int32_t* last,
                             bool stops = false) {
    GTRSTATUS st{};
    VOZ_DOCSINK s = r.sink(stops);
    EXPECT_EQ(vozPoolDocUnits(&doc.d, &s, last, &st), 0);
    EXPECT_EQ(st.retcode, 0);
    return r.out;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(DocPool, WordsGramsAndSentenceEndsByHand) {
    struct Case {
        const char* text;
        int n;
        uint8_t disable;
        Strings want;
        int32_t last;
    };
    const Case cases[] = {
        // Words at 1, 4, 8; ',' '.' '!' grams; '.' before more text and '!'
        // end sentences one position after them.
        {"Hi, you. Go!", 2, 0,
         {")Hi@1/2", "),_@3", ")you@4/3", "k0@8", ")._@7", ")Go@8/2",
          "k0@11", ")!_@10"},
         10},
        // A three-unit stretch not at the start: its prefix gram, then one
        // gram per unit, the last zero-filled.
        {"a ==> b", 2, 0, {")a@1/1", ")=_@2", ")==@2", ")=>@3", ")>_@4",
                           ")b@5/1"}, 5},
        // Trigrams: prefixes of 1 and 2 units.
        {"x ?!# y", 3, 0, {")x@1/1", "k0@3", "k0@4", ")?__@2", ")?!_@2",
                           ")?!#@2", ")!#_@3", ")#__@4", ")y@5/1"}, 5},
        // A stretch at the very start gets no prefix grams; a final '.' with
        // nothing after it ends no sentence.
        {"(( ok.", 2, 0, {")((@1", ")(_@2", ")ok@3/2", ")._@5"}, 5},
        // Sentence ends switched off.
        {"A. B?", 2, 2, {")A@1/1", ")._@2", ")B@3/1", ")?_@4"}, 4},
        // A full stop inside a stretch counts only before the blank.
        {"a .,. b", 2, 0, {")a@1/1", "k0@5", ")._@2", ").,@2", "),.@3",
                           ")._@4", ")b@5/1"}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Doc doc(c.text, parmOf(c.n, c.disable));
        Recorder r;
        r.gram = c.n;
        int32_t last = -1;
        EXPECT_EQ(run(doc, r, &last), c.want);
        EXPECT_EQ(last, c.last);
    }
}

TEST(DocPool, DelimitersWordStartsAndFieldsAtTheirPositions) {
    // Units: a b _ c d , _ e f (indices 0..8); positions ab 1-2, cd 3-4,
    // ',' 5, ef 6-7.
    Doc doc("ab cd, ef", parmOf(2));
    ASSERT_EQ(doc.len, 9 * kW);
    const int16_t nos[] = {5, 39};
    uint8_t* const ats[] = {doc.at(2), doc.at(7)};
    const VOZ_DOCFIELD fields[] = {{4, doc.at(3)}, {4, doc.at(5)},
                                   {9, doc.at(9)}};
    doc.d.delimCount = 2;
    doc.d.delimNo = nos;
    doc.d.delimAt = ats;
    doc.d.callerWordStarts = true;
    doc.d.fieldCount = 3;
    doc.d.fields = fields;
    Recorder r;
    int32_t last = 0;
    // A delimiter in the blank before a word takes the word's position; a
    // field end at the end of the text the position after the last unit.
    EXPECT_EQ(run(doc, r, &last),
              (Strings{")ab@1/2", "k5@3", ")cd@3/2", "f4@3", "),_@5", "f4@5",
                       ")ef@6/2", ")#e@6", "f9@8"}));
    EXPECT_EQ(last, 7);
}

TEST(DocPool, StopWordsFoldingAndContinuedDocuments) {
    {
        // First occurrence '+', a word met before: nothing, yet its
        // positions count.
        Doc doc("the cat the dog", parmOf(2));
        Recorder r;
        r.stopAnswers = {2, VOZ_STOP_NONE, VOZ_STOP_SEEN, VOZ_STOP_NONE};
        int32_t last = 0;
        EXPECT_EQ(run(doc, r, &last, true),
                  (Strings{"+the@1/3", ")cat@4/3", ")dog@10/3"}));
        EXPECT_EQ(last, 12);
    }
    {
        // disable bit 0: words are folded before they are pooled.
        Doc doc("Hi", parmOf(2, 1));
        Recorder r;
        int32_t last = 0;
        EXPECT_EQ(run(doc, r, &last), (Strings{")HI@1/2"}));
        EXPECT_EQ(r.bytes[0][3], VOZ_MARK_NOCASE);
    }
    {
        // A second call of the same document continues after *startpos; a
        // stretch at the start of the call gets no prefix grams.
        Doc doc("-- ab", parmOf(2));
        doc.d.startpos = 10;
        Recorder r;
        int32_t last = 0;
        EXPECT_EQ(run(doc, r, &last),
                  (Strings{")--@11", ")-_@12", ")ab@13/2"}));
        EXPECT_EQ(last, 14);
    }
}

TEST(DocPool, JoinedLineFullStopIsAPlainFullStop) {
    Doc plain("x.", parmOf(2));
    Recorder pr;
    int32_t last = 0;
    run(plain, pr, &last);
    ASSERT_EQ(pr.out.size(), 2u);
    for (uint8_t disable : {0, 2}) {
        // The line's final '.' is joined directly to "--" and marked 9; it
        // ends a sentence though no blank follows it.
        Doc doc("end.\n--", parmOf(2, disable));
        ASSERT_EQ(doc.len, 6 * kW);
        ASSERT_EQ(doc.units[3 * kW + 1], VOZ_MARK_LINE_STOP);
        Recorder r;
        Strings want = {")end@1/3", "k0@5", ")._@4", ").-@4", ")--@5",
                        ")-_@6"};
        if (disable == 2) want.erase(want.begin() + 1);
        EXPECT_EQ(run(doc, r, &last), want);
        EXPECT_EQ(r.bytes[disable == 2 ? 1 : 2], pr.bytes[1]);
    }
}

TEST(DocPool, SinkFailureStopsTheWalk) {
    Doc doc("ab, cd", parmOf(2));
    Recorder r;
    r.failAt = 1;
    int32_t last = 99;
    GTRSTATUS st{};
    VOZ_DOCSINK s = r.sink();
    EXPECT_EQ(vozPoolDocUnits(&doc.d, &s, &last, &st), -1);
    EXPECT_EQ(st.retcode, 31);
    EXPECT_EQ(last, 99);
    EXPECT_EQ(r.out, (Strings{")ab@1/2"}));
}
