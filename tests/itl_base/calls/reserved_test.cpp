// Tests of the reserved-field checks: every reserved run of every public
// record, the runs that are free, the order of the nested checks and the
// field-range and field-weight rules of a search word.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_reserved.hpp"

namespace {

typedef int32_t (*CHECK_FN)(const void* rec, GTRSTATUS* gsp);

template <typename T, int32_t (*F)(const T*, GTRSTATUS*)>
int32_t call(const void* rec, GTRSTATUS* gsp) {
    return F(static_cast<const T*>(rec), gsp);
}

struct ByteRun {
    size_t offset;
    size_t length;
};

struct RecordCase {
    const char* name;
    size_t size;
    CHECK_FN check;
    int32_t errcode;
    std::vector<ByteRun> reserved;  // each byte alone must fail
    std::vector<ByteRun> free;      // any byte there passes
};

#define RUN(T, member) ByteRun{offsetof(T, member), sizeof(((T*)nullptr)->member)}
#define CHECK(T) &call<T, vozReservedCheck_##T>

std::vector<RecordCase> recordCases() {
    return {
        {"GTRSEARCH_COND", sizeof(GTRSEARCH_COND), CHECK(GTRSEARCH_COND), 1700,
         {RUN(GTRSEARCH_COND, reserved1),
          RUN(GTRSEARCH_COND, simple_option.Operator.reserved1),
          RUN(GTRSEARCH_COND, simple_option.Operator.reserved2),
          RUN(GTRSEARCH_COND, simple_option.reserved1),
          RUN(GTRSEARCH_COND, simple_option.reserved2),
          RUN(GTRSEARCH_COND, reserved2), RUN(GTRSEARCH_COND, reserved3),
          RUN(GTRSEARCH_COND, reserved4), RUN(GTRSEARCH_COND, reserved5)},
         {RUN(GTRSEARCH_COND, item_spare), RUN(GTRSEARCH_COND, codepage),
          RUN(GTRSEARCH_COND, cond_type)}},
        {"SIMPLERTRVOPT", sizeof(SIMPLERTRVOPT), CHECK(SIMPLERTRVOPT), 1701,
         {RUN(SIMPLERTRVOPT, Operator.reserved1),
          RUN(SIMPLERTRVOPT, Operator.reserved2),
          RUN(SIMPLERTRVOPT, reserved1), RUN(SIMPLERTRVOPT, reserved2)},
         {RUN(SIMPLERTRVOPT, Operator.op), RUN(SIMPLERTRVOPT, search_flag)}},
        {"GTRSEARCH_RANK", sizeof(GTRSEARCH_RANK), CHECK(GTRSEARCH_RANK), 1702,
         {RUN(GTRSEARCH_RANK, reserved1), RUN(GTRSEARCH_RANK, reserved2)},
         {RUN(GTRSEARCH_RANK, weight_option), RUN(GTRSEARCH_RANK, howto_operate)}},
        {"GTRSEARCH_RES", sizeof(GTRSEARCH_RES), CHECK(GTRSEARCH_RES), 1703,
         {RUN(GTRSEARCH_RES, reserved1), RUN(GTRSEARCH_RES, reserved2),
          RUN(GTRSEARCH_RES, reserved3), RUN(GTRSEARCH_RES, reserved4)},
         {RUN(GTRSEARCH_RES, res_flag), RUN(GTRSEARCH_RES, res_fname)}},
        {"GTRHCREATEPARM", sizeof(GTRHCREATEPARM), CHECK(GTRHCREATEPARM), 1704,
         {RUN(GTRHCREATEPARM, reserved)},
         {RUN(GTRHCREATEPARM, special_alpha_list)}},
        {"BOUNDARYINFO", sizeof(BOUNDARYINFO), CHECK(BOUNDARYINFO), 1705,
         {RUN(BOUNDARYINFO, reserved1), RUN(BOUNDARYINFO, reserved2)},
         {RUN(BOUNDARYINFO, word_boundary)}},
        {"GTRSYSPARM", sizeof(GTRSYSPARM), CHECK(GTRSYSPARM), 1707,
         {RUN(GTRSYSPARM, reserved)},
         {RUN(GTRSYSPARM, filler), RUN(GTRSYSPARM, displaylog)}},
        {"REGISTITEM", sizeof(REGISTITEM), CHECK(REGISTITEM), 1708,
         {RUN(REGISTITEM, reserved1), RUN(REGISTITEM, reserved2),
          RUN(REGISTITEM, reserved3)},
         {RUN(REGISTITEM, num_value), RUN(REGISTITEM, item_type)}},
        {"RTRVWORD", sizeof(RTRVWORD), CHECK(RTRVWORD), 1709,
         {RUN(RTRVWORD, reserved1), RUN(RTRVWORD, reserved2),
          RUN(RTRVWORD, reserved3)},
         {RUN(RTRVWORD, mask), RUN(RTRVWORD, docfreq)}},
        {"SEARCHITEM", sizeof(SEARCHITEM), CHECK(SEARCHITEM), 1710,
         {RUN(SEARCHITEM, reserved1), RUN(SEARCHITEM, reserved2),
          RUN(SEARCHITEM, reserved3), RUN(SEARCHITEM, reserved4)},
         {RUN(SEARCHITEM, char_casesens), RUN(SEARCHITEM, numset_num)}},
        {"GTRKEYINFO", sizeof(GTRKEYINFO), CHECK(GTRKEYINFO), 1715,
         {RUN(GTRKEYINFO, reserved)}, {RUN(GTRKEYINFO, ucCodepage)}},
        {"GTRSKIPFUNCINFO", sizeof(GTRSKIPFUNCINFO), CHECK(GTRSKIPFUNCINFO),
         1751, {RUN(GTRSKIPFUNCINFO, reserved)}, {RUN(GTRSKIPFUNCINFO, flags)}},
        {"GTRRANKFUNCINFO", sizeof(GTRRANKFUNCINFO), CHECK(GTRRANKFUNCINFO),
         1752, {RUN(GTRRANKFUNCINFO, reserved)}, {RUN(GTRRANKFUNCINFO, flags)}},
        {"GTRONEDOCINFO", sizeof(GTRONEDOCINFO), CHECK(GTRONEDOCINFO), 1753,
         {RUN(GTRONEDOCINFO, reserved)}, {RUN(GTRONEDOCINFO, usDocType)}},
        {"GTRSEARCHMIX", sizeof(GTRSEARCHMIX), CHECK(GTRSEARCHMIX), 1754,
         {RUN(GTRSEARCHMIX, reserved1), RUN(GTRSEARCHMIX, reserved2)},
         {RUN(GTRSEARCHMIX, word.reserved3), RUN(GTRSEARCHMIX, item.reserved4)}},
        {"GTRFIELDRANGE", sizeof(GTRFIELDRANGE), CHECK(GTRFIELDRANGE), 1755,
         {RUN(GTRFIELDRANGE, reserved)}, {}},
        {"GTRFIELDWEIGHT", sizeof(GTRFIELDWEIGHT), CHECK(GTRFIELDWEIGHT), 1756,
         {RUN(GTRFIELDWEIGHT, reserved)}, {}},
    };
}

// A status whose every byte but retcode and errcode holds a pattern, so
// that a check that writes anything else shows.
GTRSTATUS patternStatus() {
    GTRSTATUS st;
    std::memset(&st, 0x5A, sizeof st);
    st.retcode = 0;
    st.errcode = 0;
    return st;
}

void expectOnlyCodesChanged(const GTRSTATUS& before, const GTRSTATUS& after) {
    GTRSTATUS a = after;
    a.retcode = before.retcode;
    a.errcode = before.errcode;
    EXPECT_EQ(std::memcmp(&a, &before, sizeof a), 0) << "other status bytes";
}

TEST(ReservedCheck, EveryReservedByteAloneFailsWithTheRecordsErrcode) {
    for (const RecordCase& rc : recordCases()) {
        SCOPED_TRACE(rc.name);
        std::vector<uint8_t> rec(rc.size, 0);
        GTRSTATUS st = patternStatus();
        EXPECT_EQ(rc.check(rec.data(), &st), 0) << "all zero";
        EXPECT_EQ(rc.check(nullptr, &st), 0) << "NULL record";
        EXPECT_EQ(st.retcode, 0);
        for (const ByteRun& run : rc.reserved) {
            for (size_t i = 0; i < run.length; ++i) {
                rec[run.offset + i] = 0x01;
                GTRSTATUS before = patternStatus(), after = before;
                EXPECT_EQ(rc.check(rec.data(), &after), 128)
                    << "offset " << run.offset + i;
                EXPECT_EQ(after.retcode, 128);
                EXPECT_EQ(after.errcode, rc.errcode) << "offset " << run.offset + i;
                expectOnlyCodesChanged(before, after);
                rec[run.offset + i] = 0;
            }
        }
        for (const ByteRun& run : rc.free) {
            std::memset(rec.data() + run.offset, 0xFF, run.length);
            GTRSTATUS free = patternStatus();
            EXPECT_EQ(rc.check(rec.data(), &free), 0) << "free at " << run.offset;
            EXPECT_EQ(free.retcode, 0);
            std::memset(rec.data() + run.offset, 0, run.length);
        }
    }
}

TEST(ReservedCheck, StopWordEntriesAreNotChecked) {
    GTRSTOPWORDLIST list{};
    std::memset(list.reserved, 0xFF, sizeof list.reserved);
    GTRHCREATEPARM p{};
    p.stop_word_list_num = 1;
    p.paStopWordList = &list;
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_GTRHCREATEPARM(&p, &st), 0);
    EXPECT_EQ(st.retcode, 0);
}

TEST(ReservedCheck, KeepsAFailureAlreadyRecorded) {
    GTRHCREATEPARM p{};
    p.reserved[3] = 1;
    GTRSTATUS st{};
    st.retcode = 2;
    st.errcode = 2501;
    EXPECT_EQ(vozReservedCheck_GTRHCREATEPARM(&p, &st), 128);
    EXPECT_EQ(st.retcode, 2);
    EXPECT_EQ(st.errcode, 2501);
}

TEST(ReservedCheck, BoundaryHeaderComesBeforeItsFieldEntries) {
    FLDBOUNDARYINFO f[2] = {};
    BOUNDARYINFO b{};
    b.fld_boundary_num = 2;
    b.fld_boundary = f;
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 0);

    b.reserved2[19] = 1;
    f[0].reserved1[0] = 1;
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 128);
    EXPECT_EQ(st.errcode, 1705) << "bad header and bad first entry";

    b.reserved2[19] = 0;
    f[0].reserved1[0] = 0;
    f[1].reserved2[19] = 1;
    st = GTRSTATUS{};
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 128);
    EXPECT_EQ(st.errcode, 1706) << "clean header, bad second entry";
    f[1].reserved2[19] = 0;
    f[1].reserved1[1] = 1;
    st = GTRSTATUS{};
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 128);
    EXPECT_EQ(st.errcode, 1706);

    st = GTRSTATUS{};
    b.fld_boundary_num = 0;
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 0) << "count 0";
    b.fld_boundary_num = 2;
    b.fld_boundary = nullptr;
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(&b, &st), 0) << "NULL entries";
    EXPECT_EQ(st.retcode, 0);
}

TEST(ReservedCheck, RankFunctionRecordComesBeforeTheRankRecord) {
    GTRRANKFUNCINFO fi{};
    GTRSEARCH_RANK r{};
    r.pRankFuncInfo = &fi;
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_GTRSEARCH_RANK(&r, &st), 0);
    fi.reserved[22] = 1;
    r.reserved2[0] = 1;
    EXPECT_EQ(vozReservedCheck_GTRSEARCH_RANK(&r, &st), 128);
    EXPECT_EQ(st.errcode, 1752);
    fi.reserved[22] = 0;
    st = GTRSTATUS{};
    EXPECT_EQ(vozReservedCheck_GTRSEARCH_RANK(&r, &st), 128);
    EXPECT_EQ(st.errcode, 1702);
}

struct WordCase {
    const char* what;
    std::vector<GTRFIELDRANGE> ranges;
    std::vector<GTRFIELDWEIGHT> weights;
    uint8_t ownReserved;  // written into the word's reserved3[11]
    int32_t retcode, errcode;
};

TEST(ReservedCheck, SearchWordFieldRangesAndWeights) {
    auto range = [](uint16_t s, uint16_t e, uint8_t r = 0) {
        GTRFIELDRANGE x{};
        x.fld_start_num = s, x.fld_end_num = e, x.reserved[7] = r;
        return x;
    };
    auto weight = [](uint16_t s, uint16_t e, int16_t w, uint8_t r = 0) {
        GTRFIELDWEIGHT x{};
        x.fld_start_num = s, x.fld_end_num = e, x.weight = w, x.reserved[5] = r;
        return x;
    };
    const WordCase cases[] = {
        {"good ranges and weights", {range(1, 1), range(2, 9)},
         {weight(1, 1, 0), weight(2, 3, 50)}, 0, 0, 0},
        {"range starts at field 0", {range(1, 2), range(0, 5)}, {}, 0, 120, 1772},
        {"range ends before it starts", {range(3, 2)}, {}, 0, 120, 1772},
        {"negative weight", {}, {weight(1, 1, -1)}, 0, 112, 1773},
        {"weight run ends before it starts", {}, {weight(2, 1, 0)}, 0, 112, 1773},
        {"reserved byte of a range entry", {range(1, 2, 1)}, {}, 0, 128, 1755},
        {"reserved byte of a weight entry", {}, {weight(1, 2, 5, 1)}, 0, 128, 1756},
        {"range entry reserved before its values", {range(0, 5, 1)}, {}, 0, 128, 1755},
        {"bad range wins over the word's own byte", {range(0, 5)}, {}, 1, 120, 1772},
        {"bad range ends the check before weights", {range(3, 2)},
         {weight(1, 1, 0, 1)}, 0, 120, 1772},
        {"the word's own reserved byte", {range(1, 1)}, {weight(1, 1, 1)}, 1, 128, 1709},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GTRFIELDRANGE> ranges = c.ranges;
        std::vector<GTRFIELDWEIGHT> weights = c.weights;
        RTRVWORD w{};
        if (!ranges.empty()) {
            w.pFieldRange = ranges.data();
            w.fld_number = static_cast<int16_t>(ranges.size());
        }
        if (!weights.empty()) {
            w.pFieldWeight = weights.data();
            w.weight = static_cast<int16_t>(weights.size());
        }
        w.reserved3[11] = c.ownReserved;
        GTRSTATUS st{};
        EXPECT_EQ(vozReservedCheck_RTRVWORD(&w, &st), c.retcode);
        EXPECT_EQ(st.retcode, c.retcode);
        EXPECT_EQ(st.errcode, c.errcode);
    }
}

TEST(ReservedCheck, SearchWordArraysNeedACountAndAPointer) {
    GTRFIELDRANGE bad{};  // fld_start_num 0
    RTRVWORD w{};
    w.pFieldRange = &bad;
    w.fld_number = 0;
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_RTRVWORD(&w, &st), 0) << "count 0";
    w.fld_number = -1;
    EXPECT_EQ(vozReservedCheck_RTRVWORD(&w, &st), 0) << "negative count";
    w.fld_number = 3;  // a plain field number without an array
    w.pFieldRange = nullptr;
    EXPECT_EQ(vozReservedCheck_RTRVWORD(&w, &st), 0) << "NULL array";
}

TEST(ReservedCheck, SimpleOptionByteFailsAsConditionOrAsOptions) {
    GTRSEARCH_COND cond{};
    cond.cond_type = GTR_COND_QUERY;  // the options are checked whatever the type
    cond.simple_option.reserved2[0] = 1;
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_GTRSEARCH_COND(&cond, &st), 128);
    EXPECT_EQ(st.errcode, 1700);
    st = GTRSTATUS{};
    EXPECT_EQ(vozReservedCheck_SIMPLERTRVOPT(&cond.simple_option, &st), 128);
    EXPECT_EQ(st.errcode, 1701);
}

}  // namespace
