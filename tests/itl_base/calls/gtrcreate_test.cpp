// The update cycle's public calls: the start's argument checks (a failed
// start leaves nothing behind), the creation parameters each work area
// receives, stop-word lists, the document and item calls' failures (each
// cancels the update: no "!" directory is left), bad handles, and the
// directory switch of a new index.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/voz_creatwrk.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "gtrcreate_fixture.hpp"

namespace {

using gtrfix::Env;
using gtrfix::HParm;

GTRHCREATEPARM hparm(uint8_t purpose = 1, uint8_t code = 7) {
    return HParm(purpose, code);
}

}  // namespace

TEST(GtrCreateInit, RefusesBadArgumentsAndLeavesNothing) {
    struct Case {
        const char* what;
        void (*edit)(GTRHCREATEPARM*);
        int32_t rc, ec;
    };
    const Case cases[] = {
        {"purpose 0", [](GTRHCREATEPARM* p) { p->index_purpose = 0; }, 2, 2514},
        {"code page 38", [](GTRHCREATEPARM* p) { p->codepage = 38; }, 108, 2505},
        {"disable bit 2", [](GTRHCREATEPARM* p) { p->disable = 4; }, 2, 2506},
        {"word rule 2", [](GTRHCREATEPARM* p) { p->word_rule = 2; }, 2, 2507},
        {"two stop lists", [](GTRHCREATEPARM* p) { p->stop_word_list_num = 2; },
         2, 2728},
        {"17 specials",
         [](GTRHCREATEPARM* p) { p->special_alpha_num = 17; }, 2, 2508},
        {"special a", [](GTRHCREATEPARM* p) {
             p->special_alpha_num = 2;
             p->special_alpha_list[0] = '-';
             p->special_alpha_list[1] = 'a';
         }, 2, 2512},
        {"special 1", [](GTRHCREATEPARM* p) {
             p->special_alpha_num = 1;
             p->special_alpha_list[0] = '1';
         }, 2, 2510},
        {"special A", [](GTRHCREATEPARM* p) {
             p->special_alpha_num = 1;
             p->special_alpha_list[0] = 'A';
         }, 2, 2511},
        {"special blank", [](GTRHCREATEPARM* p) {
             p->special_alpha_num = 1;
             p->special_alpha_list[0] = ' ';
         }, 2, 2509},
        {"reserved", [](GTRHCREATEPARM* p) { p->reserved[3] = 1; }, 128, 1704},
        {"no stop list", [](GTRHCREATEPARM* p) { p->stop_word_list_num = 1; },
         2, 2548},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Env env;
        GTRHCREATEPARM p = hparm();
        c.edit(&p);
        GTRSTATUS st;
        memset(&st, 0xAB, sizeof st);
        void* h = reinterpret_cast<void*>(1);
        GTRcreateIndexInit(&h, "idx", env.out.c_str(), env.work.c_str(), 'N',
                           'B', &p, &env.sys, &env.maxDoc, &st);
        EXPECT_STATUS(st, c.rc, c.ec);
        EXPECT_TRUE(h == nullptr || h == reinterpret_cast<void*>(1));
        EXPECT_TRUE(env.tempDirs().empty());
    }
    Env env;
    GTRSTATUS st{};
    void* h = nullptr;
    GTRcreateIndexInit(&h, nullptr, env.out.c_str(), env.work.c_str(), 'N',
                       'B', nullptr, nullptr, &env.maxDoc, &st);
    EXPECT_STATUS(st, 2, 2501);
    GTRcreateIndexInit(&h, "", env.out.c_str(), env.work.c_str(), 'N', 'B',
                       nullptr, nullptr, &env.maxDoc, &st);
    EXPECT_STATUS(st, 35, 2502);
    const std::string longName(2047 - env.out.size(), 'x');
    GTRcreateIndexInit(&h, longName.c_str(), env.out.c_str(),
                       env.work.c_str(), 'N', 'B', nullptr, nullptr,
                       &env.maxDoc, &st);
    EXPECT_STATUS(st, 35, 2502);
    GTRcreateIndexInit(&h, "idx", env.out.c_str(), env.work.c_str(), 'X', 'B',
                       nullptr, nullptr, &env.maxDoc, &st);
    EXPECT_NE(st.retcode, 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(env.tempDirs().empty());
}

TEST(GtrCreateInit, WorkAreasGetTheDerivedParameters) {
    Env env;
    GTRSTATUS st{};
    void* h = nullptr;
    GTRcreateIndexInit(&h, "idx", env.out.c_str(), env.work.c_str(), 'N', 'B',
                       nullptr, &env.sys, &env.maxDoc, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    auto* ch = static_cast<VOZCREATEHANDLE*>(h);
    ASSERT_NE(ch->text, nullptr);
    EXPECT_EQ(ch->item, nullptr);
    GTRCREATEPARM got;
    VOZ_createIndexInfo(ch->text, &got, &st);
    ASSERT_EQ(st.retcode, 0);
    EXPECT_EQ(got.fixedKeyUnits, 2);
    EXPECT_EQ(got.headKeyUnits, 3);
    EXPECT_EQ(got.inputUnitWidth, 2);
    EXPECT_EQ(got.storedUnitWidth, 2);
    EXPECT_EQ(got.codeInfo[0], 1);
    EXPECT_EQ(got.codeInfo[1], 1);
    EXPECT_EQ(got.options[0], 17);
    EXPECT_EQ(got.options[1], 18);
    EXPECT_EQ(got.options[2], 8);
    EXPECT_EQ(got.options[3], 0);
    EXPECT_EQ(ch->text->creationParm.memoryScale, 1);
    EXPECT_EQ(ch->text->creationParm.storeParameter, -1);
    EXPECT_EQ(ch->text->creationParm.storeBlockUnit, -1);
    GTRcreateIndexTerm(h, 'C', &st);
    EXPECT_EQ(st.retcode, 0);

    // Both sub-indexes, UTF-8, disable 1, sub-type 1, trigram request 0.
    GTRHCREATEPARM p = hparm(3, 34);
    p.disable = 1;
    p.index_type = 0;
    p.index_subtype = 1;
    p.word_rule = 1;
    p.stop_word_list_num = 255;
    env.init(&p);
    h = env.h;
    env.h = nullptr;   // terminated below
    st = env.st;
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(p.stop_word_list_num, 0);
    ch = static_cast<VOZCREATEHANDLE*>(h);
    ASSERT_NE(ch->item, nullptr);
    for (CREATWRK* cw : {ch->text, ch->item}) {
        const bool text = cw == ch->text;
        SCOPED_TRACE(text ? "text" : "item");
        VOZ_createIndexInfo(cw, &got, &st);
        ASSERT_EQ(st.retcode, 0);
        EXPECT_EQ(got.fixedKeyUnits, 2);
        EXPECT_EQ(got.headKeyUnits, 1);
        EXPECT_EQ(got.inputUnitWidth, 3);
        EXPECT_EQ(got.storedUnitWidth, 2);
        EXPECT_EQ(got.codeInfo[0], 34);
        EXPECT_EQ(got.codeInfo[1], text ? 1 : 2);
        EXPECT_EQ(got.codeInfo[2], 1);
        EXPECT_EQ(got.codeInfo[3], text ? 1 : 0);
        EXPECT_EQ(got.options[3], text ? 0 : 31);
        EXPECT_EQ(cw->creationParm.memoryScale, text ? 2 : 4);
        EXPECT_EQ(cw->creationParm.storeFlag, 0);
    }
    GTRcreateIndexTerm(h, 'C', &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_TRUE(env.tempDirs().empty());
}

TEST(GtrCreateInit, StopWordListErrorsNameFileAndLine) {
    struct Case {
        const char* text;
        int32_t rc, ec, line;
    };
    const Case cases[] = {
        {"the\n\n  a b\n", 151, 2551, 3},
        {"the\nit's\n", 151, 2550, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Env env;
        const std::string file = env.tmp.path() + "/stop.txt";
        std::ofstream(file) << c.text;
        GTRSTOPWORDLIST list;
        memset(&list, 0, sizeof list);
        list.pszStopWordList = const_cast<char*>(file.c_str());
        GTRHCREATEPARM p = hparm();
        p.stop_word_list_num = 1;
        p.paStopWordList = &list;
        GTRSTATUS st{};
        env.init(p);
        void* h = env.h;
        st = env.st;
        EXPECT_STATUS(st, c.rc, c.ec);
        EXPECT_EQ(st.detail, c.line);
        EXPECT_EQ(std::string(st.errfname1), file);
        EXPECT_EQ(h, nullptr);
        EXPECT_TRUE(env.tempDirs().empty());
    }
    Env env;
    const std::string missing = env.tmp.path() + "/none.txt";
    GTRSTOPWORDLIST list;
    memset(&list, 0, sizeof list);
    list.pszStopWordList = const_cast<char*>(missing.c_str());
    GTRHCREATEPARM p = hparm();
    p.stop_word_list_num = 1;
    p.paStopWordList = &list;
    GTRSTATUS st{};
    env.init(p);
    st = env.st;
    EXPECT_EQ(env.h, nullptr);
    EXPECT_STATUS(st, 3, 2549);
    EXPECT_EQ(st.system_errno, ENOENT);
}

namespace {

// A started text cycle of `purpose`.
struct TextCycle : Env {
    explicit TextCycle(uint8_t purpose = 1) {
        init(hparm(purpose));
        EXPECT_EQ(st.retcode, 0) << st.errcode;
    }
    Env& env = *this;
};

}  // namespace

TEST(GtrCreateDoc, FailuresCancelTheUpdate) {
    {
        TextCycle c;
        int32_t start = 0;
        c.doc("abc", 2147483647, &start);
        EXPECT_STATUS(c.st, 30, 2147483647);
        EXPECT_TRUE(c.env.tempDirs().empty());
    }
    {
        TextCycle c;
        int32_t start = 0;
        c.doc("one two", 5, &start);
        ASSERT_EQ(c.st.retcode, 0);
        EXPECT_EQ(start, 6);
        int32_t lower = 3;
        c.doc("three", 5, &lower);
        EXPECT_STATUS(c.st, 34, 2522);
        EXPECT_TRUE(c.env.tempDirs().empty());
    }
    {
        TextCycle c;
        int32_t start = 0;
        c.doc("a", 1, &start);
        start = 0;
        c.doc("b", 2, &start);
        start = 0;
        c.doc("c", 1, &start);
        EXPECT_STATUS(c.st, 153, 1823);
        EXPECT_EQ(c.st.detail, 1);
    }
    struct Delims {
        std::vector<int16_t> nos;
        std::vector<int> at;    // offsets into the text
        int32_t rc, ec;
    };
    const Delims delims[] = {
        {{39}, {3}, 24, 2527},        // a word start the caller did not set
        {{33}, {3}, 24, 2527},
        {{1, 2}, {10, 5}, 109, 2526}, // descending
        {{1}, {13}, 2, 2525},         // beyond the text
    };
    for (const Delims& d : delims) {
        TextCycle c;
        std::string text = "abcdefghijkl";
        std::vector<int16_t> nos = d.nos;
        std::vector<uint8_t*> at;
        for (int off : d.at) at.push_back((uint8_t*)&text[0] + off);
        BOUNDARYINFO b;
        memset(&b, 0, sizeof b);
        b.delimiter_num = static_cast<int32_t>(nos.size());
        b.delimiter_NO = nos.data();
        b.boundary_ptr = at.data();
        int32_t start = 0;
        c.doc(text, 1, &start, &b);
        EXPECT_STATUS(c.st, d.rc, d.ec);
    }
    {
        // Overlapping fields of one number do not pair up.
        TextCycle c;
        const std::string text = "abcdefghijkl";
        uint8_t* t = (uint8_t*)text.data();
        FLDBOUNDARYINFO f[2];
        memset(f, 0, sizeof f);
        f[0] = {5, {}, t + 2, t + 8, {}};
        f[1] = {5, {}, t + 4, t + 10, {}};
        BOUNDARYINFO b;
        memset(&b, 0, sizeof b);
        b.fld_boundary_num = 2;
        b.fld_boundary = f;
        int32_t start = 0;
        c.doc(text, 9, &start, &b);
        EXPECT_STATUS(c.st, 120, 9);
    }
    {
        TextCycle c(2);
        int32_t start = 0;
        c.doc("abc", 1, &start);
        EXPECT_STATUS(c.st, 21, 2521);
        EXPECT_TRUE(c.env.tempDirs().empty());
    }
}

TEST(GtrCreateItems, TooManyOccurrencesAndBadItems) {
    TextCycle c(2);
    std::vector<REGISTITEM> items(1024);
    static uint8_t text[] = "v";
    for (REGISTITEM& it : items) {
        memset(&it, 0, sizeof it);
        it.item_number = 3;
        it.item_type = 'C';
        it.char_ptr = text;
        it.char_len = 1;
    }
    GTRcreateItemIndexOneDoc(c.h, 4, 1023, items.data(), &c.st);
    ASSERT_EQ(c.st.retcode, 0) << c.st.errcode;
    GTRcreateItemIndexOneDoc(c.h, 6, 1024, items.data(), &c.st);
    EXPECT_STATUS(c.st, 119, 6);
    c.h = nullptr;
    EXPECT_TRUE(c.env.tempDirs().empty());

    struct Case {
        int16_t number;
        char type;
        int32_t rc;
    };
    for (const Case& k : {Case{255, 'C', 114}, Case{0, 'N', 114},
                          Case{1, 'X', 117}}) {
        TextCycle d(3);
        REGISTITEM it;
        memset(&it, 0, sizeof it);
        it.item_number = k.number;
        it.item_type = k.type;
        GTRcreateItemIndexOneDoc(d.h, 8, 1, &it, &d.st);
        EXPECT_STATUS(d.st, k.rc, 8);
        d.h = nullptr;
    }
}

TEST(GtrCreateHandles, BadHandlesCancelNothing) {
    TextCycle c;
    GTRSTATUS st{};
    char fake[sizeof(VOZCREATEHANDLE)] = "NOTATAG";
    int32_t start = 0;
    for (void* bad : {static_cast<void*>(nullptr), static_cast<void*>(fake)}) {
        GTRcreateIndexOneDoc(bad, (const uint8_t*)"a", 1, 1, &start, nullptr,
                             &st);
        EXPECT_STATUS(st, 1, 2519);
        GTRcreateItemIndexOneDoc(bad, 1, 0, nullptr, &st);
        EXPECT_STATUS(st, 1, 2528);
        GTRdeleteDocs(bad, 0, nullptr, nullptr, &st);
        EXPECT_STATUS(st, 2, 2518);
        st = GTRSTATUS{};
        GTRcreateIndexLast(bad, &st);
        EXPECT_STATUS(st, 1, 2516);
        st = GTRSTATUS{};
        GTRcreateIndexTerm(bad, 'G', &st);
        EXPECT_STATUS(st, 1, 2517);
    }
    // The update stays open after the bad calls.
    c.doc("still open", 1, &start);
    EXPECT_EQ(c.st.retcode, 0);
    int32_t one = 1;
    GTRdeleteDocs(c.h, 1, &one, &one, &st);
    EXPECT_STATUS(st, 2, 2518);
    c.h = nullptr;   // a delete with a reserved pointer cancels
    EXPECT_TRUE(c.env.tempDirs().empty());

    EXPECT_EQ(GTRcreateIndexPluralDoc(nullptr, nullptr, nullptr, nullptr, &st),
              -1);
    EXPECT_STATUS(st, 50, 2534);
    EXPECT_EQ(GTRcreateItemIndexPluralDoc(nullptr, nullptr, nullptr, nullptr,
                                          &st),
              -1);
    EXPECT_STATUS(st, 50, 2542);
}
