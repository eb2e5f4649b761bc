// Tests of mixed query text: item conditions between backquotes, their
// numbers, values and options, the unquoting of character values, the
// purpose code (counted from the operands), the purpose function, and the
// reading of numbers whatever the process locale.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "query_test_util.hpp"

using namespace qtest;

namespace {

Translation* mixed(const std::string& text) {
    return new Translation(text.c_str(), 34, true);
}

TEST(TokenMix, NumericItems) {
    {
        std::unique_ptr<Translation> t(mixed("`N5=[1,10)` * alpha"));
        ASSERT_EQ(t->st.retcode, 0) << codes(t->st);
        EXPECT_EQ(t->result(), "F W:alpha AND(2)");
        EXPECT_EQ(t->purpose, VOZ_PURPOSE_BOTH);
        const RTRVWORDEXT& x = t->pf[0].winfoX;
        EXPECT_EQ(x.item.item_number, 5);
        EXPECT_EQ(x.item.item_type, 'N');
        EXPECT_EQ(x.item.num_min_value, 1.0);
        EXPECT_EQ(x.item.num_min_equal, 'I');
        EXPECT_EQ(x.item.num_max_value, 10.0);
        EXPECT_EQ(x.item.num_max_equal, 'X');
        EXPECT_EQ(x.from_bound, 'I');
        EXPECT_EQ(x.to_bound, 'X');
        EXPECT_EQ(x.from_key, x.from_keybuf) << "keys point into the element";
        EXPECT_EQ(x.to_key, x.to_keybuf);
    }
    const struct {
        const char* text;
        double min, max;
        char minEq, maxEq;
    } values[] = {
        {"`N5=7`", 7, 7, 'I', 'I'},
        {"`N5=(*,10]`", -DBL_MAX, 10, 'X', 'I'},
        {"`N5=[-2.5e1,*)`", -25, DBL_MAX, 'I', 'X'},
        {"`N5=(,5]`", 0, 5, 'X', 'I'},
        {"`N5=[1,]`", 1, 0, 'I', 'I'},
        {"`N5=+1.5E+2`", 150, 150, 'I', 'I'},
        {"`N5=1e-2`", 0.01, 0.01, 'I', 'I'},
        {"`N5=(*x2]`", -DBL_MAX, 2, 'X', 'I'},  // the separator is not checked
    };
    for (const auto& v : values) {
        std::unique_ptr<Translation> t(mixed(v.text));
        ASSERT_EQ(t->st.retcode, 0) << v.text << " " << codes(t->st);
        const SEARCHITEM& it = t->pf[0].winfoX.item;
        EXPECT_EQ(it.num_min_value, v.min) << v.text;
        EXPECT_EQ(it.num_max_value, v.max) << v.text;
        EXPECT_EQ(it.num_min_equal, v.minEq) << v.text;
        EXPECT_EQ(it.num_max_equal, v.maxEq) << v.text;
    }
}

TEST(TokenMix, ItemOnlyQueryOpensTheItemHalfOnly) {
    const struct {
        const char* text;
        int32_t purpose;
    } cases[] = {
        {"`N5=7`", VOZ_PURPOSE_ITEM},
        {"! `N5=7`", VOZ_PURPOSE_ITEM},
        {"`N5=7` + `T2=x`", VOZ_PURPOSE_ITEM},
        {"alpha", VOZ_PURPOSE_TEXT},
        {"'f.txt' * alpha", VOZ_PURPOSE_TEXT},
        {"`N5=7` - 'f.txt'", VOZ_PURPOSE_BOTH},
        {"( `T1=a` )@2 * beta", VOZ_PURPOSE_BOTH},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Translation> t(mixed(c.text));
        ASSERT_EQ(t->st.retcode, 0) << c.text << " " << codes(t->st);
        EXPECT_EQ(t->purpose, c.purpose) << c.text;
        GTRSTATUS st{};
        QUERYWORK work{};
        EXPECT_EQ(vozTranslateCond_MixQuery4Purpose(cpinfo(34), c.text, nullptr,
                                                    &work, &st),
                  c.purpose)
            << c.text;
        EXPECT_EQ(st.retcode, 0);
        EXPECT_EQ(work.fieldRanges.arrays, nullptr) << "the caller's area is untouched";
    }
}

TEST(TokenMix, CharacterItems) {
    {
        std::unique_ptr<Translation> t(mixed("`T3=red#C`"));
        ASSERT_EQ(t->st.retcode, 0) << codes(t->st);
        EXPECT_EQ(t->result(), "E:red OR(1)");
        EXPECT_EQ(t->word().casesens, 'C');
        EXPECT_EQ(t->pf[0].winfoX.item.char_casesens, 'C');
        EXPECT_EQ(t->pf[0].winfoX.item.item_type, 'C');
        EXPECT_EQ(t->word().wordp, t->wordBuf) << "normalised into the word buffer";
    }
    const struct {
        std::string text;
        std::string result;
    } cases[] = {
        {"`T3=\"a\"\"b\"`", "E:a\"b OR(1)"},
        {"`T3=\"a`b\"` * x", "E:a`b W:x AND(2)"},
        {"`T3=red<%_>` + `T4=blue#N<*?>`", "E:red E:blue OR(2)"},
        {"`T3=Red Car`", "E:red OR(1)"},  // the value ends at the blank
        {"`T3=\"a\"\"b`", "105/1722"},
        {"`T3=\"ab\"`", "E:ab OR(1)"},
        {"`T3=\"ab`", "105/1722"},
        {"`T3=\"ab\"", "105/1722"},
        {"`T3=" + std::string(128, 'v') + "`", "E:" + std::string(128, 'v') + " OR(1)"},
        {"`T3=" + std::string(129, 'v') + "`", "102/1730"},
        {"`X1=2`", "102/1724"},
        {"`N=2`", "102/1725"},
        {"`N1`", "102/1726"},
        {"`N1:2`", "102/1727"},
        {"`T1=`", "102/1728"},
        {"`N1=`", "102/1731"},
        {"`N1=2", "102/1723"},
        {"``", "102/1723"},
        {"`N1=abc`", "102/1732"},
        {"`N1=" + std::string(32, '1') + "`", "102/1732"},
        {"`N1=" + std::string(31, '1') + "`", "F OR(1)"},
        {"`N1=1.2.3`", "102/1741"},
        {"`N1=[1`", "102/1733"},
        {"`N1=[1;2]`", "102/1734"},
        {"`N1=[1,`", "102/1735"},
        {"`N1=[*,`", "102/1735"},
        {"`N1=[1,]`", "F OR(1)"},
        {"`N1=[1,2`", "102/1739"},
        {"`N1=[1,2}`", "102/1738"},
        {"`N1=[1,*}`", "102/1740"},
        {"`N1=[1,2]x`", "102/1741"},
        {"`T1=red#CC`", "106/1742"},
        {"`T1=red#X`", "106/1743"},
        {"`T1=red<*?`", "111/1744"},
        {"`T1=red<*?x`", "111/1745"},
        {"`T1=red<**>`", "111/1746"},
        {"`T255=red`", "114/0"},
        {"`N32768=1`", "114/0"},
        {"`N32767=1`", "F OR(1)"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Translation> t(mixed(c.text));
        EXPECT_EQ(t->result(), c.result) << c.text;
    }
}

TEST(TokenMix, TranslationErrorsAndPurposeErrors) {
    EXPECT_EQ(std::unique_ptr<Translation>(mixed(""))->result(), "25/2608");
    EXPECT_EQ(std::unique_ptr<Translation>(mixed("   "))->result(), "25/2610");
    EXPECT_EQ(std::unique_ptr<Translation>(mixed("`N1=1` *"))->result(), "104/1130");
    GTRSTATUS st{};
    EXPECT_EQ(vozTranslateCond_MixQuery4Purpose(cpinfo(34), "", nullptr, nullptr, &st),
              VOZ_PURPOSE_TEXT);
    EXPECT_EQ(codes(st), "25/2614");
    st = GTRSTATUS{};
    EXPECT_EQ(vozTranslateCond_MixQuery4Purpose(cpinfo(34), "  ", nullptr, nullptr, &st),
              VOZ_PURPOSE_TEXT);
    EXPECT_EQ(codes(st), "25/2617");
    st = GTRSTATUS{};
    EXPECT_EQ(vozTranslateCond_MixQuery4Purpose(cpinfo(34), "`N1=1` alpha@F1,F2",
                                                nullptr, nullptr, &st),
              VOZ_PURPOSE_TEXT);
    EXPECT_EQ(codes(st), "120/1769");
    // A range list made before a failure is freed (ASan shows a leak).
    st = GTRSTATUS{};
    vozTranslateCond_MixQuery4Purpose(cpinfo(34), "a@[F1,F2] * b@2_1-4 * `X`",
                                      nullptr, nullptr, &st);
    EXPECT_EQ(codes(st), "102/1724");
}

TEST(TokenMix, NumbersIgnoreTheLocaleDecimalPoint) {
    EXPECT_EQ(voz_A2F("2.5"), 2.5);
    EXPECT_EQ(voz_A2F("-1e3"), -1000.0);
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    const char* set = nullptr;
    for (const char* n : names)
        if ((set = std::setlocale(LC_NUMERIC, n)) != nullptr) break;
    std::string dir;
    if (set == nullptr) {  // build one from the system's locale sources
        char tmpl[] = "/tmp/voz_locale_XXXXXX";
        if (mkdtemp(tmpl) != nullptr) {
            dir = tmpl;
            std::string cmd = "localedef -i de_DE -f UTF-8 " + dir +
                              "/de_DE.UTF-8 >/dev/null 2>&1";
            if (std::system(cmd.c_str()) == 0) {
                setenv("LOCPATH", dir.c_str(), 1);
                set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
            }
        }
    }
    if (set != nullptr) {
        EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    }
    if (!dir.empty()) std::system(("rm -rf " + dir).c_str());
    if (set == nullptr) GTEST_SKIP() << "no locale with a decimal comma";
    std::unique_ptr<Translation> t(mixed("`N1=2.5`"));
    std::setlocale(LC_NUMERIC, old.c_str());
    ASSERT_EQ(t->st.retcode, 0);
    EXPECT_EQ(t->pf[0].winfoX.item.num_min_value, 2.5);
}

}  // namespace
