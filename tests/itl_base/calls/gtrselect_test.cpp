// GTRgetSelectivity, GTRreleaseSelectivity and GTRgetIndexInfo over indexes
// built by the creation calls.
#include <gtest/gtest.h>

#include <string>

#include "gtrquery_fixture.hpp"

namespace {

void expectStatus(const GTRSTATUS& st, int32_t rc, int32_t ec,
                  const char* what) {
    EXPECT_EQ(std::make_pair(st.retcode, st.errcode), std::make_pair(rc, ec))
        << what;
}

GTRSELECTIVITY estimateRecord() {
    GTRSELECTIVITY s;
    memset(&s, 0x5A, sizeof s);
    return s;
}

TEST(GtrSelectivity, EstimatesTheDocumentsOfAWord) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    GTRSELECTIVITY sel = estimateRecord();
    GTRSTATUS st{};
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &q.c, &sel, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0x80);
    EXPECT_EQ(sel.sel_docnum, 2);
    EXPECT_EQ(sel.idx_docnum, 3);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&sel);
    int32_t at32 = 0, at36 = 0;
    memcpy(&at32, bytes + 32, 4);
    memcpy(&at36, bytes + 36, 4);
    EXPECT_EQ(at32, 2) << "bytes 32-35 of the record";
    EXPECT_EQ(at36, 3) << "bytes 36-39 of the record";
    EXPECT_EQ(sel.caller[0], 0x5A) << "the caller's part is not touched";

    gqfix::WordCond s({"333", "444"}, "1 + 2");
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &s.c, &sel, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_GE(sel.sel_docnum, 2);
    EXPECT_LE(sel.sel_docnum, 3);
}

TEST(GtrSelectivity, MissingIndexAndArgumentChecks) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222");
    GTRSELECTIVITY sel = estimateRecord();
    GTRSTATUS st{};
    GTRgetSelectivity(nullptr, "nosuch", k.dir(), nullptr, &q.c, &sel, &st);
    EXPECT_EQ(st.retcode, 20);
    EXPECT_EQ(sel.sel_docnum, 0);
    EXPECT_EQ(sel.idx_docnum, 0);

    int dummy = 0;
    GTRgetSelectivity(nullptr, "idx", k.dir(), &dummy, &q.c, &sel, &st);
    expectStatus(st, 115, 2719, "reserved pointer");
    GTRgetSelectivity(nullptr, nullptr, k.dir(), nullptr, &q.c, &sel, &st);
    expectStatus(st, 2, 2720, "no index name");
    GTRgetSelectivity(nullptr, std::string(2047, 'n').c_str(), k.dir(),
                      nullptr, &q.c, &sel, &st);
    EXPECT_NE(st.errcode, 2713) << "2047 bytes pass";
    GTRgetSelectivity(nullptr, std::string(2048, 'n').c_str(), k.dir(),
                      nullptr, &q.c, &sel, &st);
    expectStatus(st, 29, 2713, "2048 bytes fail");
    GTRgetSelectivity(nullptr, "idx", std::string(1791, 'd').c_str(), nullptr,
                      &q.c, &sel, &st);
    EXPECT_NE(st.errcode, 2721);
    GTRgetSelectivity(nullptr, "idx", std::string(1792, 'd').c_str(), nullptr,
                      &q.c, &sel, &st);
    expectStatus(st, 35, 2721, "directory of 1792");
    GTRSEARCH_COND c = q.c;
    c.codepage = 0;
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &c, &sel, &st);
    expectStatus(st, 108, 2722, "code page 0");
    c = q.c;
    c.cond_type = 9;
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &c, &sel, &st);
    expectStatus(st, 2, 2723, "condition type 9");
    c = q.c;
    c.codepage = 1;
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &c, &sel, &st);
    expectStatus(st, 108, 2724, "code page of the text half");

    gqfix::ItemCond item(1);
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &item.c, &sel, &st);
    expectStatus(st, 108, 2726, "code page of the item half");
    EXPECT_EQ(st.processed_index, 0x40);

    // A null record touches nothing, not even the status.
    st = GTRSTATUS{};
    st.detail = 5;
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, &q.c, nullptr, &st);
    expectStatus(st, 2, 2716, "no estimate record");
    EXPECT_EQ(st.detail, 5);
    GTRgetSelectivity(nullptr, "idx", k.dir(), nullptr, nullptr, &sel, &st);
    expectStatus(st, 2, 2716, "no condition");
}

TEST(GtrSelectivity, ItsHandleServesALaterSearch) {
    gqfix::Corpus k;
    gqfix::QueryCond q("222 * 333");
    GTRSELECTIVITY sel = estimateRecord();
    void* hv = nullptr;
    GTRSTATUS st{};
    GTRgetSelectivity(&hv, "idx", k.dir(), nullptr, &q.c, &sel, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    ASSERT_NE(hv, nullptr);
    void* kept = hv;
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    GTRsearchIndex(&hv, "idx", k.dir(), nullptr, q.c, nullptr, nullptr,
                   nullptr, &r, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(hv, kept);
    EXPECT_EQ(gqfix::readHandle(r), (gqfix::Docs{2}));

    st.detail = 3;
    GTRreleaseSelectivity(nullptr, &st);
    expectStatus(st, 2, 2717, "null handle variable");
    EXPECT_EQ(st.detail, 3) << "tested before the status is cleared";
    GTRreleaseSelectivity(&hv, &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(st.detail, 0);
    EXPECT_EQ(hv, nullptr);
}

// ---- index information ---------------------------------------------------------

TEST(GtrIndexInfo, ReturnsWhatCreationRecorded) {
    struct Set {
        uint8_t type, code, purpose, disable, rule, subtype;
        int16_t threshold, size;
        const char* special;
        int16_t recThreshold, recSize;  // as the builder records them
    };
    const Set sets[] = {
        {2, 34, 3, 0, 0, 3, -1, -1, "", 1500, 4},
        {1, 1, 1, 1, 1, 2, 800, 8, "#%", 800, 8},
    };
    for (const Set& s : sets) {
        gtrfix::Env env;
        GTRHCREATEPARM p = gtrfix::HParm(s.purpose, s.code);
        p.index_type = s.type;
        p.disable = s.disable;
        p.word_rule = s.rule;
        p.index_subtype = s.subtype;
        p.block_threshold = s.threshold;
        p.block_size = s.size;
        p.special_alpha_num = static_cast<uint8_t>(strlen(s.special));
        memcpy(p.special_alpha_list, s.special, strlen(s.special));
        gqfix::build(env, {"111 222", "222 333"}, p);

        GTRHCREATEPARM got;
        memset(&got, 0x77, sizeof got);
        int32_t docnum[2] = {9, 9};
        GTRSTATUS st{};
        const uint8_t text = 1;
        int32_t rc = GTRgetIndexInfo("idx", env.out.c_str(), &got, docnum,
                                     &text, &st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_GE(rc, 2);
        EXPECT_EQ(st.processed_index, 0x80);
        EXPECT_EQ(got.index_type, s.type);
        EXPECT_EQ(got.codepage, s.code);
        EXPECT_EQ(got.index_purpose, 1) << "the text sub-index";
        EXPECT_EQ(got.disable, s.disable);
        EXPECT_EQ(got.vvglength, 0);
        EXPECT_EQ(got.word_rule, s.rule);
        EXPECT_EQ(got.index_subtype, s.subtype);
        EXPECT_EQ(got.block_threshold, s.recThreshold);
        EXPECT_EQ(got.block_size, s.recSize);
        EXPECT_EQ(got.special_alpha_num, strlen(s.special));
        EXPECT_EQ(got.stop_word_list_num, 0);
        EXPECT_EQ(got.paStopWordList, nullptr);
        char want[16] = {};
        memcpy(want, s.special, strlen(s.special));
        EXPECT_EQ(memcmp(got.special_alpha_list, want, 16), 0);
        EXPECT_EQ(got.reserved[0], 0) << "the record was cleared";
        EXPECT_EQ(docnum[0], 2);
        EXPECT_EQ(docnum[1], 0);
        // The default selector is the text sub-index.
        rc = GTRgetIndexInfo("idx", env.out.c_str(), nullptr, docnum, nullptr,
                             &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_EQ(docnum[0], 2);
    }
}

TEST(GtrIndexInfo, SelectorAndExistence) {
    gqfix::Corpus k;
    GTRSTATUS st{};
    int32_t docnum[2] = {4, 4};
    GTRHCREATEPARM got;
    memset(&got, 0x77, sizeof got);
    const uint8_t bad = 3;
    EXPECT_EQ(GTRgetIndexInfo("idx", k.dir(), &got, docnum, &bad, &st), -1);
    expectStatus(st, 2, 2661, "selector 3");
    EXPECT_EQ(docnum[0], 0);
    EXPECT_EQ(got.codepage, 0) << "outputs cleared";

    const uint8_t item = 2;
    GTRgetIndexInfo("idx", k.dir(), &got, docnum, &item, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0x40);
    EXPECT_EQ(got.index_purpose, 2);
    EXPECT_EQ(got.codepage, 34);

    GTRgetIndexInfo("idx", k.dir(), nullptr, nullptr, &item, &st);
    EXPECT_EQ(st.retcode, 0) << "the item sub-index exists";
    GTRgetIndexInfo("nosuch", k.dir(), nullptr, nullptr, nullptr, &st);
    EXPECT_EQ(st.retcode, 20);
    EXPECT_EQ(st.processed_index, 0x80);
}

}  // namespace
