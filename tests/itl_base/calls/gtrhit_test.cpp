// Hit information: occurrences back to byte offsets, against a small
// independent model of the position count for ASCII text (lines stripped,
// runs of letters one position a character, other stretches counted from
// their first to their last non-blank character), the checks in their
// order, and a document given in pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "calls/voz_gtrhit.hpp"
#include "cos_trace.hpp"
#include "ti_test_util.hpp"

namespace {

#define EXPECT_STATUS(st, rc, ec)                         \
    EXPECT_EQ(std::make_pair((st).retcode, (st).errcode), \
              std::make_pair(int32_t(rc), int32_t(ec)))

OCC occ(int32_t pos, uint16_t len, uint8_t rule = 0, int32_t doc = 1) {
    OCC o{};
    o.docno = doc;
    o.pos = pos;
    o.len = len;
    o.match = rule;
    return o;
}

using Hits = std::vector<std::pair<int32_t, int32_t>>;

Hits hitinfo(const std::string& text, std::vector<OCC> occs,
             GTRSTATUS* st, int32_t startpos = 0, uint8_t cp = 34) {
    std::vector<HITOFFSET> h(occs.size(), HITOFFSET{7, 7});
    GTRgetHitinfo(reinterpret_cast<const uint8_t*>(text.data()),
                  static_cast<int32_t>(text.size()),
                  static_cast<int32_t>(occs.size()), occs.data(), startpos,
                  h.data(), cp, st);
    Hits out;
    for (const HITOFFSET& x : h) out.emplace_back(x.start, x.end);
    return out;
}

// The model: byte offset of every position (1-based; [0] unused).
std::vector<int32_t> positionsOf(const std::string& text, int rule) {
    std::vector<int32_t> at(1, -1);
    auto isRun = [rule](char c) {
        return isalpha(static_cast<unsigned char>(c)) ||
               (rule == 1 && isdigit(static_cast<unsigned char>(c)));
    };
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        size_t i = lineStart;
        while (i < lineEnd) {
            if (isRun(text[i])) {
                at.push_back(static_cast<int32_t>(i++));
                continue;
            }
            size_t j = i;
            while (j < lineEnd && !isRun(text[j])) ++j;
            size_t a = i, b = j;
            while (a < b && text[a] == ' ') ++a;
            while (b > a && text[b - 1] == ' ') --b;
            for (size_t k = a; k < b; ++k) at.push_back(static_cast<int32_t>(k));
            i = j;
        }
        lineStart = lineEnd + 1;
    }
    return at;
}

std::pair<int32_t, int32_t> modelHit(const std::vector<int32_t>& at,
                                     const OCC& o, int32_t doclen) {
    const int32_t n = static_cast<int32_t>(at.size()) - 1;
    if (o.pos > n) return {-1, -1};
    const int32_t s = at[o.pos];
    if (o.len == 0) return {s, s};
    const int32_t last = o.pos + o.len - 1;
    return {s, last <= n ? at[last] + 1 : doclen};
}

TEST(GtrHit, PlacesHitsAsThePositionsCountThem) {
    GTRSTATUS st{};
    // Two letters, a blank, two letters: the blank counts nothing.
    EXPECT_EQ(hitinfo("ab cd", {occ(3, 2)}, &st), (Hits{{3, 5}}));
    EXPECT_STATUS(st, 0, 0);
    // Under rule 0 a digit, a blank and a digit are three positions.
    EXPECT_EQ(hitinfo("1 2", {occ(3, 1)}, &st), (Hits{{2, 3}}));
    // Under rule 1 the blank separates two runs.
    EXPECT_EQ(hitinfo("1 2", {occ(2, 1, 1)}, &st), (Hits{{2, 3}}));
    // Length 0: start = end; behind the text: -1, -1; past its end: doclen.
    EXPECT_EQ(hitinfo("ab cd", {occ(2, 0), occ(4, 3), occ(9, 1)}, &st),
              (Hits{{1, 1}, {4, 5}, {-1, -1}}));
    // Lines are stripped and the counter carries on.
    EXPECT_EQ(hitinfo("  ab  \n\n  cd ef\n", {occ(3, 2), occ(5, 2)}, &st),
              (Hits{{10, 12}, {13, 15}}));
    // A start position shifts the numbering; a hit that began before the
    // text gets start 0.
    EXPECT_EQ(hitinfo("cd ef", {occ(2, 3), occ(5, 1)}, &st, 2),
              (Hits{{0, 2}, {3, 4}}));
    // occnum 0 with no arrays succeeds.
    GTRgetHitinfo(nullptr, 0, 0, nullptr, 0, nullptr, 34, &st);
    EXPECT_STATUS(st, 0, 0);
}

TEST(GtrHit, ChecksInTheirOrder) {
    struct Case {
        std::vector<OCC> occs;
        int32_t startpos;
        uint8_t cp;
        int32_t rc, ec;
    };
    const Case cases[] = {
        {{occ(5, 2), occ(5, 1)}, 0, 34, 110, 2659},
        {{occ(5, 2), occ(5, 2)}, 0, 34, 0, 0},  // equal entries pass
        {{occ(1, 1, 0, 2), occ(1, 1, 0, 1)}, 0, 34, 110, 2659},
        {{occ(1, 1)}, -1, 34, 34, 2657},
        {{occ(1, 1)}, 0x3FFFFFFF, 34, 34, 2657},
        {{occ(1, 1)}, 0x3FFFFFFE, 34, 0, 0},
        {{occ(1, 1)}, 0, 0, 108, 2658},
        {{occ(1, 1)}, -1, 0, 34, 2657},  // start position first
        {{occ(1, 1, 2)}, 0, 34, 22, 2660},
        {{occ(1, 0, 2), occ(2, 1, 1)}, 0, 34, 0, 0},  // rule of a length
        {{occ(1, 1, 2), occ(1, 0)}, 0, 34, 110, 2659},  // order before rule
    };
    for (const Case& c : cases) {
        GTRSTATUS st{};
        hitinfo("ab cd", c.occs, &st, c.startpos, c.cp);
        EXPECT_STATUS(st, c.rc, c.ec) << c.occs[0].pos << " " << c.startpos;
    }
    GTRSTATUS st{};
    HITOFFSET h{};
    GTRgetHitinfo(nullptr, 0, 1, nullptr, 0, &h, 34, &st);
    EXPECT_STATUS(st, 2, 2646);
}

TEST(GtrHit, ExtUsesTheCreationRecord) {
    const std::string text = "1 # 2";
    std::vector<OCC> o = {occ(3, 1)};
    std::vector<HITOFFSET> h(1);
    GTRSTATUS st{};
    // NULL: code page 1, '#' is another character.
    GTRgetHitinfoExt(reinterpret_cast<const uint8_t*>(text.data()), 5, 1,
                     o.data(), 0, h.data(), nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(std::make_pair(h[0].start, h[0].end), std::make_pair(2, 3));
    // '#' as an additional letter splits the stretch: "1", "#", "2".
    GTRHCREATEPARM p{};
    p.codepage = 34;
    p.special_alpha_num = 1;
    p.special_alpha_list[0] = '#';
    GTRgetHitinfoExt(reinterpret_cast<const uint8_t*>(text.data()), 5, 1,
                     o.data(), 0, h.data(), &p, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(std::make_pair(h[0].start, h[0].end), std::make_pair(4, 5));
    const std::pair<char, int32_t> bad[] = {
        {' ', 2649}, {'1', 2650}, {'A', 2651}, {'a', 2652}, {'\x7F', 2653}};
    for (const auto& [c, ec] : bad) {
        p.special_alpha_list[0] = c;
        GTRgetHitinfoExt(nullptr, 0, 0, nullptr, 0, nullptr, &p, &st);
        EXPECT_STATUS(st, 2, ec) << c;
    }
    p.special_alpha_list[0] = '#';
    p.special_alpha_num = 17;
    GTRgetHitinfoExt(nullptr, 0, 0, nullptr, 0, nullptr, &p, &st);
    EXPECT_STATUS(st, 2, 2648);
    p.special_alpha_num = 0;
    p.codepage = 38;
    GTRgetHitinfoExt(nullptr, 0, 0, nullptr, 0, nullptr, &p, &st);
    EXPECT_STATUS(st, 108, 2647);
    GTRgetHitinfoExt(nullptr, 0, 1, nullptr, 0, nullptr, nullptr, &st);
    EXPECT_STATUS(st, 2, 2654);
}

// Random ASCII texts of letters, digits, blanks, punctuation and line
// breaks; random sorted occurrences; both rules.
std::string randomText(std::mt19937& rng, size_t n) {
    static const char alphabet[] = "abcXYZ0123   .,;-\n";
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += alphabet[rng() % (sizeof alphabet - 1)];
    return s;
}

std::vector<OCC> randomOccs(std::mt19937& rng, int32_t positions, int rule) {
    std::vector<OCC> v;
    const int count = 1 + static_cast<int>(rng() % 12);
    // The rule is read from the first occurrence with a length among those
    // a call is given: under rule 1 every occurrence has one, so that each
    // piece of a document reads it.
    for (int i = 0; i < count; ++i)
        v.push_back(occ(1 + static_cast<int32_t>(rng() % (positions + 3)),
                        static_cast<uint16_t>(rule + rng() % (6 - rule)),
                        static_cast<uint8_t>(rule)));
    std::sort(v.begin(), v.end(), [](const OCC& a, const OCC& b) {
        return a.pos != b.pos ? a.pos < b.pos : a.len < b.len;
    });
    return v;
}

TEST(GtrHit, AgreesWithTheModelAndWithPieces) {
    const uint32_t seed = testSeed();
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        const int rule = static_cast<int>(rng() % 2);
        const std::string text = randomText(rng, 1 + rng() % 200);
        const std::vector<int32_t> at = positionsOf(text, rule);
        const int32_t n = static_cast<int32_t>(at.size()) - 1;
        const std::vector<OCC> occs = randomOccs(rng, n, rule);
        GTRSTATUS st{};
        const Hits got = hitinfo(text, occs, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        const int32_t len = static_cast<int32_t>(text.size());
        for (size_t i = 0; i < occs.size(); ++i)
            ASSERT_EQ(got[i], modelHit(at, occs[i], len))
                << "round " << round << " occ " << i << " text [" << text << "]";

        // The same document in pieces cut at line breaks.
        std::vector<size_t> cuts = {0};
        for (size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n' && rng() % 2 == 0) cuts.push_back(i + 1);
        cuts.push_back(text.size());
        Hits joined(occs.size(), {-1, -1});
        std::vector<bool> open(occs.size(), false);
        int32_t startpos = 0;
        const int32_t occnum = static_cast<int32_t>(occs.size());
        for (size_t c = 0; c + 1 < cuts.size(); ++c) {
            const int32_t base = static_cast<int32_t>(cuts[c]);
            const int32_t plen = static_cast<int32_t>(cuts[c + 1] - cuts[c]);
            std::vector<HITOFFSET> h(occs.size(), HITOFFSET{7, 7});
            int32_t sx = 99, ex = 99;
            GTRgetHitOffset(reinterpret_cast<const uint8_t*>(text.data()) + base,
                            plen, occnum, occs.data(), 34, &startpos, h.data(),
                            &sx, &ex, &st);
            ASSERT_EQ(st.retcode, 0) << st.errcode;
            ASSERT_LE(sx, ex);
            for (int32_t i = 0; i < sx; ++i) {
                EXPECT_EQ(std::make_pair(h[i].start, h[i].end),
                          std::make_pair(-1, -1));
            }
            for (int32_t i = sx; i < occnum; ++i) {
                if (h[i].start == -1) continue;
                if (joined[i].first == -1) joined[i].first = base + h[i].start;
                joined[i].second = base + h[i].end;
                // Its last position lies behind this piece: it goes on.
                open[i] = occs[i].len > 0 &&
                          occs[i].pos + occs[i].len - 1 > startpos;
                if (i == ex) {
                    EXPECT_EQ(h[i].end, plen);
                }
            }
        }
        // A hit still open after its last piece goes on to the text's end.
        for (size_t i = 0; i < occs.size(); ++i)
            if (open[i]) joined[i].second = len;
        for (size_t i = 0; i < occs.size(); ++i)
            ASSERT_EQ(joined[i], got[i]) << "round " << round << " occ " << i;
    }
}

TEST(GtrHit, HitOffsetArguments) {
    GTRSTATUS st{};
    int32_t sx = 5, ex = 5, startpos = 0;
    HITOFFSET h{};
    OCC o = occ(1, 1);
    GTRgetHitOffset(nullptr, 0, 1, nullptr, 34, &startpos, &h, &sx, &ex, &st);
    EXPECT_STATUS(st, 2, 2655);
    EXPECT_EQ(std::make_pair(sx, ex), std::make_pair(-1, -1));
    GTRgetHitOffset(nullptr, 0, 1, &o, 34, nullptr, &h, &sx, &ex, &st);
    EXPECT_STATUS(st, 2, 2656);
    // Every occurrence ended before the piece: all skipped, numbering kept.
    startpos = 10;
    const uint8_t text[] = "abc";
    GTRgetHitOffset(text, 3, 1, &o, 34, &startpos, &h, &sx, &ex, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(std::make_pair(sx, ex), std::make_pair(1, 1));
    EXPECT_EQ(startpos, 10);
    EXPECT_EQ(std::make_pair(h.start, h.end), std::make_pair(-1, -1));
    // A failing check leaves endhx -1 and the numbering.
    startpos = 0;
    GTRgetHitOffset(text, 3, 1, &o, 0, &startpos, &h, &sx, &ex, &st);
    EXPECT_STATUS(st, 108, 2658);
    EXPECT_EQ(std::make_pair(sx, ex), std::make_pair(0, -1));
    EXPECT_EQ(startpos, 0);
    // A hit going on behind the piece: endhx names it, numbering carried.
    o = occ(2, 4);
    GTRgetHitOffset(text, 3, 1, &o, 34, &startpos, &h, &sx, &ex, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(std::make_pair(sx, ex), std::make_pair(0, 0));
    EXPECT_EQ(std::make_pair(h.start, h.end), std::make_pair(1, 3));
    EXPECT_EQ(startpos, 3);
}

std::vector<std::string> gRecords;

void collect(void*, CosEnTraceDetail, uint16_t component, CosEnTraceDataType,
             char const*, char const* message, void const*, uint32_t) {
    if (component == 1) gRecords.push_back(message != nullptr ? message : "");
}

TEST(GtrHit, TraceNamesTheCallEveryOccurrenceAndHit) {
    CosClTraceInstance* inst = cosTraceCreateInstance("GTRHITTEST", nullptr);
    ASSERT_NE(inst, nullptr);
    inst->registerUserCallback(collect, nullptr);
    inst->activate();
    inst->enable();
    gRecords.clear();
    GTRSTATUS st{};
    hitinfo("ab cd", {occ(1, 2), occ(3, 2)}, &st);
    cosTraceDeleteInstance();
    const std::vector<std::string> want = {
        "GTRgetHitinfo", "docmp", "doclen", "occnum", "occs[ox]", "occs[ox]",
        "startpos", "hitinfo", "codepage", "gsp", "hitinfo[hx]", "hitinfo[hx]",
        "GTRgetHitinfo end", "(gsp)->retcode", "(gsp)->errcode",
        "(gsp)->errfname1", "(gsp)->errfname2", "(gsp)->retrieve_status",
        "(gsp)->processed_index", "(gsp)->system_errno"};
    EXPECT_EQ(gRecords, want);
}

}  // namespace
