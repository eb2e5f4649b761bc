// Field restrictions and field weights: whole searches over an index whose
// documents carry fields (built through the creation cycle), the field
// controls and the inside-a-field test over its field keys, the tables and
// normalised weights of words and operators, and ranked searches in
// weighted mode.
#include <gtest/gtest.h>

#include <cmath>

#include "field_fixture.hpp"
#include "rank_fixture.hpp"
#include "search/voz_fieldrange.hpp"

using namespace fldfix;

namespace {

// Positions are 1-based units, one per character (blanks included).
const std::vector<FieldDoc> kDocs = {
    {"123 456 789", {{5, 0, 7}, {6, 8, 11}}},   // d0: 123, 456 in 5; 789 in 6
    {"456 123 789", {{5, 0, 6}, {7, 0, 11}}},   // d1: 123 runs past 5's end
    {"123 123", {{5, 4, 7}}},                   // d2: the second 123 in 5
    {"123", {}},                                // d3: no fields
    {"789 123", {{3, 0, 7}, {8, 4, 7}}},        // d4: 123 in 3 and in 8
    {"123 456", {{5, 0, 3}, {6, 4, 7}}},        // d5: 123 in 5, 456 in 6
    {"456 456 456", {{11, 0, 4}, {11, 4, 8}}},  // d6: touching instances
};

using Fields = FieldSuite<&kDocs>;
// Restricts `w` to the ranges (a single field when one range of one field
// and `single`).
void restrict(Query& q, int32_t slot, std::vector<GTRFIELDRANGE>& ranges,
              bool single = false) {
    RTRVWORD& w = q.words[static_cast<size_t>(slot)].wi;
    if (single) {
        w.fld_number = static_cast<int16_t>(ranges[0].fld_start_num);
        return;
    }
    w.fld_number = static_cast<int16_t>(ranges.size());
    w.pFieldRange = ranges.data();
}

GTRFIELDRANGE range(uint16_t a, uint16_t b) {
    GTRFIELDRANGE r{};
    r.fld_start_num = a;
    r.fld_end_num = b;
    return r;
}

GTRFIELDWEIGHT weight(uint16_t a, uint16_t b, int16_t w) {
    GTRFIELDWEIGHT r{};
    r.fld_start_num = a;
    r.fld_end_num = b;
    r.weight = w;
    return r;
}

TEST_F(Fields, OneWordMatchesOnlyInsideItsFields) {
    struct Row {
        const char* what;
        std::vector<GTRFIELDRANGE> ranges;
        bool single;
        Hits want;
    };
    std::vector<Row> rows = {
        // d1's 123 starts inside field 5 but runs past its end.
        {"field 5", {range(5, 5)}, true, {{0, 1}, {2, 5}, {5, 1}}},
        {"range 5", {range(5, 5)}, false, {{0, 1}, {2, 5}, {5, 1}}},
        {"3..5", {range(3, 5)}, false, {{0, 1}, {2, 5}, {4, 5}, {5, 1}}},
        {"from 0 covers from 1", {range(0, 3)}, false, {{4, 5}}},
        {"overlapping", {range(5, 6), range(6, 7)}, false,
         {{0, 1}, {1, 5}, {2, 5}, {5, 1}}},
        {"absent fields", {range(9, 12)}, false, {}},
        {"start past end", {range(6, 5)}, false, {}},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.what);
        Query q;
        int32_t w = q.word("123");
        q.op('O', {w});
        restrict(q, w, row.ranges, row.single);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(hitsOf(o), row.want);
    }
}

TEST_F(Fields, TouchingInstancesOfOneFieldKeepBothBoundaries) {
    // The first instance ends where the second starts (position 5): the
    // field key holds 5 twice, so the second 456 is inside the second one.
    std::vector<GTRFIELDRANGE> eleven{range(11, 11)};
    Query q;
    int32_t w = q.word("456");
    q.op('O', {w});
    restrict(q, w, eleven);
    Outcome o = run(h, q);
    ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
    EXPECT_EQ(hitsOf(o), (Hits{{6, 1}, {6, 5}}));
}

TEST_F(Fields, RestrictedWordsUnderOperators) {
    std::vector<GTRFIELDRANGE> absent{range(9, 12)}, five{range(5, 5)};
    {
        SCOPED_TRACE("a word whose fields are absent yields nothing");
        Query q;
        int32_t a = q.word("123"), b = q.word("789");
        q.op('O', {a, b});
        restrict(q, a, absent);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, (std::set<int32_t>{0, 1, 4}));
        q.ops[0].op_kind = 'A';
        o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_TRUE(o.docs.empty());
    }
    {
        SCOPED_TRACE("restricted AND unrestricted");
        Query q;
        int32_t a = q.word("123"), b = q.word("456");
        q.op('A', {a, b});
        restrict(q, a, five);
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, (std::set<int32_t>{0, 5}));
    }
}

TEST_F(Fields, AnOperatorWithFieldsHoldsInsideOneField) {
    // 123 and 456 are both in field 5 in d0; in d5 123 is in 5, 456 in 6.
    std::vector<GTRFIELDRANGE> ranges{range(5, 6)};
    for (bool groupRange : {false, true}) {
        SCOPED_TRACE(groupRange ? "with the group's range" : "words only");
        Query q;
        int32_t a = q.word("123"), b = q.word("456");
        q.op('A', {a, b});
        restrict(q, a, ranges);
        restrict(q, b, ranges);
        if (groupRange) {
            q.ops[0].fld_range_count = 1;
            q.ops[0].fld_range = ranges.data();
        }
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        EXPECT_EQ(o.docs, groupRange ? (std::set<int32_t>{0})
                                     : (std::set<int32_t>{0, 5}));
    }
    {
        SCOPED_TRACE("an OR with the group's range over unrestricted words");
        Query q;
        int32_t a = q.word("456"), b = q.word("789");
        q.op('O', {a, b});
        std::vector<GTRFIELDRANGE> six{range(6, 6)};
        q.ops[0].fld_range_count = 1;
        q.ops[0].fld_range = six.data();
        Outcome o = run(h, q);
        ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
        // d0's 789 and d5's 456 lie in field 6; d0's 456 does not.
        EXPECT_EQ(hitsOf(o), (Hits{{0, 9}, {5, 5}}));
    }
}

// ---- field controls over the index's field keys -------------------------------

TEST_F(Fields, RegistrationKeepsTheFieldsThatExist) {
    MULTIFIELDCTRL mfc;
    GTRSTATUS st{};
    voz_InitMultiFieldCtrl(&mfc, 0, &st);
    for (uint16_t f : {9, 3, 5, 12, 8, 5, 1})
        voz_RegisterFieldNumber(&mfc, f, &st);
    ASSERT_EQ(mfc.fieldCount, 6);
    for (int32_t i = 1; i < mfc.fieldCount; ++i)
        EXPECT_LT(mfc.fieldTable[i - 1].field, mfc.fieldTable[i].field);
    voz_RegisterFieldNumberFinish(&mfc, mainSet(), &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    std::vector<uint16_t> kept;
    for (int32_t i = 0; i < mfc.fieldCount; ++i) kept.push_back(mfc.fieldTable[i].field);
    EXPECT_EQ(kept, (std::vector<uint16_t>{3, 5, 8}));
    struct Row {
        uint16_t field;
        int32_t found;
        uint16_t next;
    };
    for (Row r : std::vector<Row>{{5, 1, 8}, {8, 1, 0xFFFF}, {4, 0, 5}, {9, 0, 0xFFFF}, {1, 0, 3}}) {
        uint16_t next = 0;
        EXPECT_EQ(voz_CheckFieldExistence(nullptr, &mfc, r.field, &next, &st), r.found) << r.field;
        EXPECT_EQ(next, r.next) << r.field;
    }
    voz_TermMultiFieldCtrl(&mfc, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(mfc.fieldTable, nullptr);
    uint16_t next = 0;
    EXPECT_EQ(voz_CheckFieldExistence(nullptr, &mfc, 3, &next, &st), 0);
    EXPECT_EQ(next, 0xFFFF);
}

TEST_F(Fields, TheOccurrenceRecordsItsBestField) {
    // d4's 123 (position 5, 3 units) lies inside field 3 and field 8.
    struct Row {
        const char* what;
        char weighted;
        float w3, w8;
        uint16_t field;
        float weight;
    };
    const std::vector<Row> rows = {
        {"unweighted: the first in table order", 0, 0, 0, 3, -1},
        {"the larger weight", 1, 0.25f, 1.0f, 8, 1.0f},
        {"the first of equals", 1, 0.5f, 0.5f, 3, 0.5f},
        {"a weight of 0 never", 1, 0.0f, 0.0f, 0, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MULTIFIELDCTRL mfc;
        GTRSTATUS st{};
        voz_InitMultiFieldCtrl(&mfc, row.weighted, &st);
        voz_RegisterFieldNumber(&mfc, 3, &st);
        voz_RegisterFieldNumber(&mfc, 8, &st);
        voz_RegisterFieldNumberFinish(&mfc, mainSet(), &st);
        FIELDARRAY fa[2] = {{3, 0, row.w3}, {8, 0, row.w8}};
        OCC occ{};
        occ.docno = 4;
        occ.pos = 5;
        occ.len = 3;
        occ.spare = 77;
        float w = -1;
        EXPECT_EQ(voz_CheckMultiField(mainSet(), &mfc, fa, 2, &occ, &w, &st), 1);
        EXPECT_EQ(occ.spare, row.field);
        EXPECT_FLOAT_EQ(w, row.weight);
        // d5 has neither field: nothing follows.
        occ.docno = 5;
        occ.pos = 1;
        EXPECT_EQ(voz_CheckMultiField(mainSet(), &mfc, fa, 2, &occ, &w, &st), 0);
        EXPECT_EQ(occ.spare, 0);
        voz_TermMultiFieldCtrl(&mfc, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
}

TEST_F(Fields, InFieldFlagsOfOneDocument) {
    // d0: 123 at 1, 456 at 5 (field 5 = positions 1..7), 789 at 9 (field 6).
    MULTIFIELDCTRL mfc;
    GTRSTATUS st{};
    voz_InitMultiFieldCtrl(&mfc, 0, &st);
    voz_RegisterFieldNumber(&mfc, 5, &st);
    voz_RegisterFieldNumber(&mfc, 6, &st);
    voz_RegisterFieldNumberFinish(&mfc, mainSet(), &st);
    OCC occ[4] = {{0, 1, 3, 1, 0, 0, 0}, {0, 5, 3, 1, 0, 0, 0},
                  {0, 6, 3, 1, 0, 0, 0}, {0, 9, 3, 1, 0, 0, 0}};
    OCCSUPP supp[4];
    memset(supp, 0xFF, sizeof supp);
    voz_CheckFieldRange(mainSet(), &mfc, 5, occ, supp, 4, &st);
    EXPECT_EQ((std::vector<int32_t>{supp[0].in_field, supp[1].in_field, supp[2].in_field,
                                    supp[3].in_field}),
              (std::vector<int32_t>{1, 1, 0, 0}));
    voz_CheckFieldRange(mainSet(), &mfc, 6, occ, supp, 4, &st);
    EXPECT_EQ((std::vector<int32_t>{supp[0].in_field, supp[1].in_field, supp[2].in_field,
                                    supp[3].in_field}),
              (std::vector<int32_t>{0, 0, 0, 1}));
    voz_CheckFieldRange(mainSet(), &mfc, 4, occ, supp, 4, &st);  // not registered
    EXPECT_EQ(supp[0].in_field + supp[1].in_field + supp[2].in_field + supp[3].in_field, 0);
    voz_TermMultiFieldCtrl(&mfc, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
}

// ---- tables and weights ----------------------------------------------------------

// Two words under an OR over the real index: w0 with a weight list, w1
// with a plain weight.
struct TwoWords {
    _WCTLHEAD c[3];
    _WCTLHEAD* recs[2];
    int32_t nos[2] = {0, 1};
    OPPARM op{};
    MULTIFIELDCTRL mfc{};
    std::vector<GTRFIELDWEIGHT> weights;
    TwoWords(std::vector<GTRFIELDWEIGHT> wl, int32_t plain) : weights(std::move(wl)) {
        memset(c, 0, sizeof c);
        c[0].fieldWeights = weights.data();
        c[0].fieldWeightCount = static_cast<int32_t>(weights.size());
        c[1].fieldWeightCount = plain;
        recs[0] = &c[0];
        recs[1] = &c[1];
        op.kind = 'O';
        op.nopnd = 2;
        op.node_rec = &c[2];
        op.node_no = 2;
        op.opnd_recs = recs;
        op.opnd_nos = nos;
    }
};

TEST_F(Fields, WeightsAreNormalisedThroughTheTree) {
    TwoWords t({weight(5, 5, 50), weight(6, 6, 200), weight(0, 0, 10)}, 100);
    RANKPARM rp{};
    rp.rank_flags = 0x01;
    GTRSTATUS st{};
    voz_InitForCheckFieldRange(mainSet(), &t.op, 1, t.c, 2, &t.mfc, &rp, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    // The weight list serves as ranges; "*" (field 0) is the default.
    ASSERT_EQ(t.c[0].fieldCount, 2);
    EXPECT_EQ(t.c[0].fieldArray[0].field, 5);
    EXPECT_EQ(t.c[0].fieldArray[1].field, 6);
    EXPECT_EQ(t.c[0].outsideAllowed, 1);
    EXPECT_EQ(t.c[0].defaultWeight, 10);
    EXPECT_EQ(t.c[0].maxFieldWeight, 200);
    // The largest weight anywhere is 200: it becomes 1.0.
    EXPECT_FLOAT_EQ(t.c[0].fieldArray[0].normWeight, 0.25f);
    EXPECT_FLOAT_EQ(t.c[0].fieldArray[1].normWeight, 1.0f);
    EXPECT_FLOAT_EQ(t.c[0].wordWeight, 0.05f);
    EXPECT_FLOAT_EQ(t.c[0].maxWeight, 1.0f);
    EXPECT_EQ(t.c[1].fieldCount, 0);
    EXPECT_FLOAT_EQ(t.c[1].wordWeight, 0.5f);
    EXPECT_FLOAT_EQ(t.c[2].weightFactor, 2.0f);
    EXPECT_FLOAT_EQ(t.c[2].maxWeight, 1.0f);
    voz_TermForCheckFieldRange(t.c, 2, &t.op, 1, &t.mfc, &st);
    EXPECT_EQ(t.c[0].fieldArray, nullptr);

    // Unweighted, a weight list restricts nothing and every weight is 1.
    TwoWords u({weight(5, 5, 50)}, 100);
    voz_InitForCheckFieldRange(mainSet(), &u.op, 1, u.c, 2, &u.mfc, nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(u.c[0].fieldCount, 0);
    EXPECT_FLOAT_EQ(u.c[0].wordWeight, 1.0f);
    voz_TermForCheckFieldRange(u.c, 2, &u.op, 1, &u.mfc, &st);
    EXPECT_EQ(st.retcode, 0);
}

TEST_F(Fields, RangeTablesListEachExistingFieldOnce) {
    // Overlapping ranges, one from field 0 (covering 1 and 2, which the
    // index lacks), in an unweighted search.
    std::vector<GTRFIELDRANGE> ranges{range(5, 6), range(6, 7), range(0, 2), range(7, 5)};
    TwoWords t({}, 0);
    t.c[0].fieldRanges = ranges.data();
    t.c[0].fieldNumber = static_cast<int32_t>(ranges.size());
    GTRSTATUS st{};
    voz_InitForCheckFieldRange(mainSet(), &t.op, 1, t.c, 2, &t.mfc, nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    std::vector<uint16_t> fields;
    for (int32_t i = 0; i < t.c[0].fieldCount; ++i) fields.push_back(t.c[0].fieldArray[i].field);
    EXPECT_EQ(fields, (std::vector<uint16_t>{5, 6, 7}));
    EXPECT_EQ(t.c[0].outsideAllowed, 0);
    EXPECT_EQ(t.c[0].defaultWeight, 0);
    std::vector<uint16_t> registered;
    for (int32_t i = 0; i < t.mfc.fieldCount; ++i) registered.push_back(t.mfc.fieldTable[i].field);
    EXPECT_EQ(registered, fields);
    EXPECT_EQ(t.c[1].fieldArray, nullptr);  // unrestricted: no table
    EXPECT_EQ(t.c[1].outsideAllowed, 1);
    voz_TermForCheckFieldRange(t.c, 2, &t.op, 1, &t.mfc, &st);
    EXPECT_EQ(st.retcode, 0);
}

TEST_F(Fields, WeightedRankingScoresByTheOccurrencesFields) {
    // 123 weighted 200 in field 5 and 100 in field 3, 100 elsewhere
    // (default): field 5 counts 1.0, everything else 0.5. With rank flag
    // 0x01 alone a one-word score is the word's average term weight.
    // The same weights given to the word's group (its one operator) rank
    // the same way, through the operator's field passes.
    std::vector<GTRFIELDWEIGHT> wl{weight(5, 5, 200), weight(3, 3, 100)};
    for (bool group : {false, true}) {
        SCOPED_TRACE(group ? "group" : "word");
        Query q;
        int32_t w = q.word("123");
        q.op('O', {w});
        if (group) {
            q.ops[0].fld_weight = wl.data();
            q.ops[0].fld_weight_count = static_cast<uint16_t>(wl.size());
        } else {
            q.words[0].wi.pFieldWeight = wl.data();
            q.words[0].wi.weight = static_cast<int16_t>(wl.size());
        }
        rankfix::Ranked r = rankfix::runRanked(h, q, 0x01, 10);
        ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
        EXPECT_EQ(rankfix::docOrder(r), (std::vector<int32_t>{0, 5, 2, 1, 3, 4}));
        std::vector<float> want{1.0f, 1.0f, 0.75f, 0.5f, 0.5f, 0.5f};
        for (size_t i = 0; i < r.docs.size() && i < want.size(); ++i)
            EXPECT_NEAR(r.docs[i].score, want[i], 1e-5) << i;
    }
}

}  // namespace

namespace {

TEST_F(Fields, AGroupWeightListRanksInsideItsFieldsAndHoldsOutside) {
    // OR(123, 456) whose group weighs field 5 at 200 (1.0 once normalised)
    // and the rest at the default 100 (0.5): one pass over field 5, then one
    // over the whole text. The operator's rank is the average weight of its
    // occurrences, and the document's score (flag 0x01) the OR of the word
    // scores times that rank.
    std::vector<GTRFIELDWEIGHT> wl{weight(5, 5, 200)};
    Query q;
    int32_t a = q.word("123"), b = q.word("456");
    q.op('O', {a, b});
    q.ops[0].fld_weight_count = 1;
    q.ops[0].fld_weight = wl.data();
    rankfix::Ranked r = rankfix::runRanked(h, q, 0x01, 10);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    EXPECT_EQ(rankfix::docOrder(r), (std::vector<int32_t>{0, 1, 5, 2, 3, 4, 6}));
    const float oneWord = 0.99f + 0.01f * 0.5f;  // OR with one operand present
    std::vector<float> want{1.0f, 0.75f, 0.75f, oneWord * 0.75f, oneWord * 0.5f,
                            oneWord * 0.5f, oneWord * 0.5f};
    for (size_t i = 0; i < r.docs.size() && i < want.size(); ++i)
        EXPECT_NEAR(r.docs[i].score, want[i], 1e-5) << i;
}

}  // namespace

namespace {

// Random documents of three-digit words with random field instances,
// against an in-memory model of "the word lies inside an instance of a
// listed field". Half the documents have fields of different numbers that
// overlap freely (instances of one number never touch: the creation cycle
// refuses touching instances of one field among unordered fields); the
// others a chain of instances in text order whose ends may touch the next
// start: the field key then holds that position twice, an end and a start.
struct RandomCorpus {
    std::vector<FieldDoc> docs;
    std::vector<std::vector<std::string>> tokens;

    // An instance over words [at, stop), ending after the last word or
    // after the blank that follows it.
    static Field instance(uint16_t f, int at, int stop, bool blank) {
        return Field{f, 4 * at, 4 * stop - (blank ? 0 : 1)};
    }
    explicit RandomCorpus(std::mt19937& rng) {
        static const char* const kVocab[] = {"123", "456", "789", "147"};
        for (int d = 0; d < 30; ++d) {
            int n = 1 + static_cast<int>(rng() % 10);
            FieldDoc doc;
            std::vector<std::string> toks;
            for (int i = 0; i < n; ++i) {
                toks.push_back(kVocab[rng() % 4]);
                doc.text += (i > 0 ? " " : "") + toks.back();
            }
            bool chain = rng() % 2 == 0;
            int at = 0;
            for (uint16_t f = 1; f <= 6; ++f) {
                if (!chain) at = static_cast<int>(rng() % static_cast<uint32_t>(n + 1));
                for (int k = static_cast<int>(rng() % 3); k > 0 && at < n; --k) {
                    int stop = std::min(n, at + 1 + static_cast<int>(rng() % 3));
                    bool blank = stop < n && rng() % 2 == 0;
                    uint16_t number = chain ? static_cast<uint16_t>(1 + rng() % 3) : f;
                    doc.fields.push_back(instance(number, at, stop, blank));
                    at = chain && blank && rng() % 2 == 0 ? stop : stop + 1;
                }
            }
            tokens.push_back(toks);
            docs.push_back(doc);
        }
    }
    // (document, position) of `word` inside some listed field.
    Hits model(const std::string& word, const std::vector<GTRFIELDRANGE>& ranges) const {
        Hits h;
        for (size_t d = 0; d < docs.size(); ++d) {
            for (size_t i = 0; i < tokens[d].size(); ++i) {
                if (tokens[d][i] != word) continue;
                int from = 4 * static_cast<int>(i), to = from + 3;
                bool inside = false;
                for (const Field& f : docs[d].fields)
                    for (const GTRFIELDRANGE& r : ranges)
                        if (f.number >= std::max<int>(r.fld_start_num, 1) &&
                            f.number <= r.fld_end_num && f.start <= from && to <= f.end)
                            inside = true;
                if (inside) h.push_back({static_cast<int32_t>(d), from + 1});
            }
        }
        return h;
    }
};

TEST(FieldsRandomized, WordsInFieldsAgreeWithTheModel) {
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 3; ++round) {
        RandomCorpus rc(rng);
        Corpus c;
        GTRSTATUS st{};
        buildWithFields(c, rc.docs, st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        VOZSEARCH* h = c.open(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        for (int n = 0; n < 40; ++n) {
            static const char* const kWords[] = {"123", "456", "789", "147"};
            std::string word = kWords[rng() % 4];
            std::vector<GTRFIELDRANGE> ranges;
            for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k) {
                uint16_t a = static_cast<uint16_t>(rng() % 8);
                ranges.push_back(range(a, static_cast<uint16_t>(a + rng() % 3)));
            }
            SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) +
                         " query " + std::to_string(n));
            Query q;
            int32_t w = q.word(word);
            q.op('O', {w});
            restrict(q, w, ranges);
            Outcome o = run(h, q);
            ASSERT_EQ(o.st.retcode, 0) << o.st.errcode;
            EXPECT_EQ(hitsOf(o), rc.model(word, ranges));
        }
        closeHandle(h);
    }
}

}  // namespace

namespace {

// Two sentences in document 0, field 5 over the first "123".
const std::vector<FieldDoc> kSentences = {{"123. 123", {{5, 0, 3}}}, {"123", {}}};
using FieldsAndBlocks = FieldSuite<&kSentences>;

TEST_F(FieldsAndBlocks, AWordWeightedByFieldStillKeepsToItsBlocks) {
    // Weighted by field 5 (no field restriction) and restricted to the
    // second sentence: only the second 123, outside field 5 (weight 0.5).
    std::vector<GTRFIELDWEIGHT> wl{weight(5, 5, 200)};
    std::vector<RTRVRANGE> second{{2, 2}};
    Query q;
    int32_t w = q.word("123");
    q.op('O', {w});
    RTRVWORD& wi = q.words[0].wi;
    wi.pFieldWeight = wl.data();
    wi.weight = 1;
    wi.range_dlmno = 0;
    wi.rangenum = 1;
    wi.range = second.data();
    rankfix::Ranked r = rankfix::runRanked(h, q, 0x01, 10);
    ASSERT_EQ(r.st.retcode, 0) << r.st.errcode;
    ASSERT_EQ(rankfix::docOrder(r), (std::vector<int32_t>{0}));
    EXPECT_NEAR(r.docs[0].score, 0.5f, 1e-5);
    ASSERT_EQ(r.occs.size(), 1u);
    EXPECT_EQ(r.occs[0].pos, 6);
}

}  // namespace
