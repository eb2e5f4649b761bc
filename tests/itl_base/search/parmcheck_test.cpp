// The argument checks of one search: one row per check on an otherwise
// valid call, and pairs of faults that show the order of the checks.
#include <functional>

#include "search_fixture.hpp"

using namespace srchfix;

namespace {

struct Call {
    GTRSEARCH_RES res = memRes();
    bool noRes = false;
    std::string text = std::string("\0a\0b\0c", 6);
    std::string path = std::string("/tmp/ref");
    RTRVWORDEXT words[2];
    int32_t wordCount = 2;
    OPEINFO ops[1];
    int32_t slots[2] = {0, 1};
    int32_t opCount = 1;
    RANKPARM rank{};
    bool ranked = false;
    GTRRANKFUNCINFO user{};
    std::string freq;
    bool hasFreq = false;
    GTRSEARCH_RES scope = memRes();
    bool hasScope = false;
    GTRSKIPFUNCINFO skip{};
    bool hasSkip = false;

    Call() {
        memset(words, 0, sizeof words);
        for (RTRVWORDEXT& w : words) {
            w.wi.type = 'W';
            w.wi.wordp = reinterpret_cast<uint8_t*>(&text[0]);
            w.wi.wordlen = static_cast<int16_t>(text.size());
            w.wi.precision = 100;
        }
        memset(ops, 0, sizeof ops);
        ops[0].op_kind = 'A';
        ops[0].op_count = 2;
        ops[0].op_operands = slots;
        ops[0].op_slot = 2;
        rank.rank_kind = 'S';
        rank.rank_limit = 10;
        scope.result_docnum = 3;
        scope.res_handle = &scope;  // any non-null handle
        skip.skip_function = [](void*, void*) -> uint32_t { return 0; };
    }
    GTRSTATUS run() {
        GTRSTATUS st{};
        voz_SearchParmCheck(wordCount, words, opCount, ops,
                            ranked ? &rank : nullptr, noRes ? nullptr : &res,
                            hasFreq ? freq.c_str() : nullptr,
                            hasScope ? &scope : nullptr,
                            hasSkip ? &skip : nullptr, &st);
        return st;
    }
};

struct Row {
    const char* what;
    std::function<void(Call&)> fault;
    int32_t rc, ec;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> r = {
        {"no result descriptor", [](Call& c) { c.noRes = true; }, 2, 1405},
        {"file result without a name", [](Call& c) { c.res.res_type = 4; }, 35, 1406},
        {"res_type 3", [](Call& c) { c.res.res_type = 3; }, 2, 1407},
        {"res_dataform 3", [](Call& c) { c.res.res_dataform = 3; }, 2, 1408},
        {"empty frequency file",
         [](Call& c) { c.hasFreq = true; }, 35, 1409},
        {"frequency file of 2048",
         [](Call& c) { c.hasFreq = true; c.freq.assign(2048, 'f'); }, 35, 1409},
        {"no word", [](Call& c) { c.wordCount = 0; }, 25, 1410},
        {"no operator", [](Call& c) { c.opCount = 0; }, 28, 1411},
        {"operator X", [](Call& c) { c.ops[0].op_kind = 'X'; }, 28, 1412},
        {"distance 33",
         [](Call& c) { c.ops[0].op_kind = 'D'; c.ops[0].op_distance = 33; }, 28, 1413},
        {"word kind Q", [](Call& c) { c.words[1].wi.type = 'Q'; }, 2, 1414},
        {"mask flag 2", [](Call& c) { c.words[0].wi.search_flag = 2; }, 2, 1415},
        {"'W' without text", [](Call& c) { c.words[0].wi.wordp = nullptr; }, 2, 1416},
        {"'E' of length 0",
         [](Call& c) { c.words[0].wi.type = 'E'; c.words[0].wi.wordlen = 0; }, 2, 1416},
        {"'B' of 2048 bytes",
         [](Call& c) {
             c.path.assign(2048, 'p');
             c.words[0].wi.type = 'B';
             c.words[0].wi.wordp = reinterpret_cast<uint8_t*>(&c.path[0]);
             c.words[0].wi.wordlen = 2048;
         }, 35, 1417},
        {"similarity 0", [](Call& c) { c.words[0].wi.precision = 0; }, 26, 1418},
        {"'E' similarity 101",
         [](Call& c) { c.words[1].wi.type = 'E'; c.words[1].wi.precision = 101; }, 26, 1418},
        {"field -2", [](Call& c) { c.words[0].wi.fld_number = -2; }, 27, 1419},
        {"field 5, delimiter 33",
         [](Call& c) { c.words[0].wi.fld_number = 5; c.words[0].wi.range_dlmno = 33; },
         27, 1419},
        {"start option X", [](Call& c) { c.words[0].wi.start_option = 'X'; }, 32, 1420},
        {"ranges with field 5 (word 1)",
         [](Call& c) {
             c.words[1].wi.fld_number = 5;
             c.words[1].wi.range_dlmno = 32;
             c.words[1].wi.rangenum = 1;
         }, 120, 1},
        {"ranges with field -1 (word 0)",
         [](Call& c) { c.words[0].wi.fld_number = -1; c.words[0].wi.rangenum = 2; },
         120, 0},
        {"rank flags 0x02 without user",
         [](Call& c) { c.ranked = true; c.rank.rank_flags = 0x02; }, 2, 1421},
        {"rank kind X",
         [](Call& c) { c.ranked = true; c.rank.rank_kind = 'X'; }, 2, 1422},
        {"ranking with a frequency file",
         [](Call& c) { c.ranked = true; c.hasFreq = true; c.freq = "f"; }, 2, 1423},
        {"rank limit 0",
         [](Call& c) { c.ranked = true; c.rank.rank_limit = 0; }, 2, 1424},
        {"empty scope not in memory",
         [](Call& c) {
             c.hasScope = true;
             c.scope.result_docnum = 0;
             c.scope.res_type = 1;
         }, 127, 1425},
        {"scope without handle",
         [](Call& c) { c.hasScope = true; c.scope.res_handle = nullptr; }, 127, 1426},
        {"scope with documents not in memory",
         [](Call& c) { c.hasScope = true; c.scope.res_type = 4; }, 127, 1427},
        {"skip record without function",
         [](Call& c) { c.hasSkip = true; c.skip.skip_function = nullptr; }, 2, 1428},
    };
    return r;
}

TEST(ParmCheck, EachCheckOnAnOtherwiseValidCall) {
    Call ok;
    ok.ranked = ok.hasScope = ok.hasSkip = true;
    GTRSTATUS st = ok.run();
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    for (const Row& row : rows()) {
        Call c;
        row.fault(c);
        st = c.run();
        EXPECT_EQ(st.retcode, row.rc) << row.what;
        EXPECT_EQ(st.errcode, row.ec) << row.what;
    }
}

TEST(ParmCheck, PassesTheEdgeValues) {
    Call c;
    c.path.assign(2047, 'p');
    c.words[0].wi.type = 'B';
    c.words[0].wi.wordp = reinterpret_cast<uint8_t*>(&c.path[0]);
    c.words[0].wi.wordlen = 2047;
    c.words[1].wi.fld_number = 5;
    c.words[1].wi.range_dlmno = 32;
    c.words[1].wi.precision = 1;
    c.words[1].wi.start_option = 'S';
    c.words[1].wi.search_flag = 1;
    c.ops[0].op_kind = 'D';
    c.ops[0].op_distance = 32;
    c.hasFreq = true;
    c.freq.assign(2047, 'f');
    c.res.res_type = 255;
    c.res.res_dataform = 9;  // not checked for 255
    GTRSTATUS st = c.run();
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    Call w;  // a 'W' word of 2048 bytes passes these checks
    w.text.assign(2048, 'w');
    w.words[0].wi.wordp = reinterpret_cast<uint8_t*>(&w.text[0]);
    w.words[0].wi.wordlen = 2048;
    st = w.run();
    EXPECT_EQ(st.retcode, 0);
}

TEST(ParmCheck, ChecksRunInTheirOrder) {
    struct Pair {
        const char* first;
        const char* second;
    } pairs[] = {
        {"res_type 3", "no word"},
        {"empty frequency file", "no word"},
        {"no operator", "word kind Q"},
        {"distance 33", "mask flag 2"},
        {"similarity 0", "start option X"},
        {"ranges with field -1 (word 0)", "word kind Q"},
        {"word kind Q", "rank kind X"},
        {"rank limit 0", "scope without handle"},
        {"scope without handle", "skip record without function"},
    };
    auto find = [](const char* what) {
        for (const Row& r : rows())
            if (strcmp(r.what, what) == 0) return r;
        ADD_FAILURE() << what;
        return rows()[0];
    };
    for (const Pair& p : pairs) {
        Row a = find(p.first), b = find(p.second);
        Call c;
        b.fault(c);
        a.fault(c);
        GTRSTATUS st = c.run();
        EXPECT_EQ(st.retcode, a.rc) << p.first << " before " << p.second;
        EXPECT_EQ(st.errcode, a.ec) << p.first << " before " << p.second;
    }
}

TEST(ParmCheck, ResultCheckClearsTheCounts) {
    GTRSEARCH_RES res = memRes();
    res.result_docnum = 4;
    res.result_occnum = 9;
    res.res_handle = &res;
    GTRSTATUS st{};
    voz_SearchParmCheck_Result(&res, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(res.result_docnum, 0);
    EXPECT_EQ(res.result_occnum, 0);
    EXPECT_EQ(res.res_handle, nullptr);
}

}  // namespace
