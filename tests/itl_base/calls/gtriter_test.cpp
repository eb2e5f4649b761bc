// The key information, key iterator and position iterator calls and
// GTRinit with its siblings: argument checks, the forwarding calls' null
// checks, walks over both halves of an index, and that no call leaves an
// index open.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <functional>
#include <string>

#include "build/keyiter_fixture.hpp"
#include "build/voz_positer.hpp"
#include "calls/voz_gtriter.hpp"

namespace {

// Open file descriptors of the process.
int openFiles() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (d != nullptr && readdir(d) != nullptr) ++n;
    if (d != nullptr) closedir(d);
    return n;
}

std::pair<int32_t, int32_t> rc(const GTRSTATUS& st) {
    return {st.retcode, st.errcode};
}

struct Index {
    gtrfix::Env env;
    Index() {
        iterfix::index(env, {{0, "alpha beta"}, {1, "beta zz"}, {2, "cat 42"}});
        iterfix::index(env, {{10, "zz beta"}, {11, "dog"}}, 'A');
    }
    const char* dir() const { return env.out.c_str(); }
};

TEST(GtrIter, InitCallsCheckTheirArguments) {
    Index ix;
    const std::string longName(2048, 'n');
    struct Case {
        const char* what;
        const char* name;
        const char* dir;
        bool out;
        int32_t lower, upper;
        std::pair<int32_t, int32_t> expected;
    } cases[] = {
        {"null name", nullptr, ix.dir(), true, 0, 10, {2, 2699}},
        {"null directory", "idx", nullptr, true, 0, 10, {2, 2699}},
        {"null out pointer", "idx", ix.dir(), false, 0, 10, {2, 2699}},
        {"empty name", "", ix.dir(), true, 0, 10, {29, 2700}},
        {"name of 2048", longName.c_str(), ix.dir(), true, 0, 10, {29, 2700}},
        {"bounds 5, 4", "idx", ix.dir(), true, 5, 4, {2, 2701}},
        {"lower -42", "idx", ix.dir(), true, -42, 10, {2, 2701}},
        {"missing index", "nothere", ix.dir(), true, 0, 10, {20, 264}},
    };
    const int files = openFiles();
    for (const Case& c : cases) {
        GTRSTATUS st{};
        KEYITERATOR* it = nullptr;
        KEYITERATOR* second = nullptr;
        GTRkeyIteratorInitEx(c.name, c.dir, 1, c.out ? &it : nullptr, &second,
                             c.lower, c.upper, &st);
        EXPECT_EQ(rc(st), c.expected) << c.what;
        EXPECT_EQ(it, nullptr) << c.what;
        EXPECT_EQ(second, nullptr) << c.what;
    }
    EXPECT_EQ(openFiles(), files) << "no index left open";

    GTRSTATUS st{};
    GTRkeyIteratorTerm(nullptr, &st);
    EXPECT_EQ(rc(st), std::make_pair(2, 2692));
    KEYITERATOR* it = nullptr;
    GTRkeyIteratorInit("idx", ix.dir(), 1, &it, &st);
    ASSERT_EQ(rc(st), std::make_pair(0, 0));
    POSITERATOR* pi = reinterpret_cast<POSITERATOR*>(&st);  // must be ignored
    GTRposIteratorInitEx(nullptr, it, 0, 5, &st);
    EXPECT_EQ(rc(st), std::make_pair(2, 2711));
    GTRposIteratorInitEx(&pi, nullptr, 0, 5, &st);
    EXPECT_EQ(rc(st), std::make_pair(2, 2711));
    pi = nullptr;
    GTRposIteratorInitEx(&pi, it, 5, 4, &st);
    EXPECT_EQ(rc(st), std::make_pair(2, 2712));
    GTRposIteratorInitEx(&pi, it, 0, 2147483647, &st);
    EXPECT_EQ(rc(st), std::make_pair(2, 2712));
    EXPECT_EQ(pi, nullptr);
    GTRkeyIteratorTerm(it, &st);
    EXPECT_EQ(rc(st), std::make_pair(0, 0));
    EXPECT_EQ(openFiles(), files);
}

TEST(GtrIter, ForwardingCallsReportANullIteratorWithTheirOwnErrcode) {
    struct Case {
        const char* call;
        std::function<int64_t(GTRSTATUS*)> run;
        int32_t errcode;
    };
    uint8_t buf[8];
    int32_t len = 0;
    char kind = 0;
    int16_t item = 0;
    double value = 0;
    const Case cases[] = {
        {"HasMoreKeys", [](GTRSTATUS* s) { return GTRkeyIterator_HasMoreKeys(nullptr, s); }, 2693},
        {"GetNextKey", [](GTRSTATUS* s) { return GTRkeyIterator_GetNextKey(nullptr, s); }, 2694},
        {"SearchKeyString", [](GTRSTATUS* s) { return GTRkeyIterator_SearchKeyString(nullptr, "a", 1, s); }, 2695},
        {"GetKeyString", [&](GTRSTATUS* s) { GTRkeyIterator_GetKeyString(nullptr, buf, 8, &len, s); return 0; }, 2696},
        {"GetDocumentCount", [](GTRSTATUS* s) { return GTRkeyIterator_GetDocumentCount(nullptr, s); }, 2697},
        {"GetHitCount", [](GTRSTATUS* s) { return GTRkeyIterator_GetHitCount(nullptr, s); }, 2698},
        {"GetKeyType", [](GTRSTATUS* s) { return GTRkeyIterator_GetKeyType(nullptr, s); }, 2702},
        {"GetDocumentCountEx", [](GTRSTATUS* s) { return GTRkeyIterator_GetDocumentCountEx(nullptr, s); }, 2703},
        {"GetItemString", [&](GTRSTATUS* s) { GTRkeyIterator_GetItemString(nullptr, buf, 8, &len, s); return 0; }, 2704},
        {"GetItem", [&](GTRSTATUS* s) { GTRkeyIterator_GetItem(nullptr, &kind, &item, buf, 8, &len, &value, s); return 0; }, 2705},
        {"posIteratorTerm", [](GTRSTATUS* s) { GTRposIteratorTerm(nullptr, s); return 0; }, 2706},
        {"HasMorePoss", [](GTRSTATUS* s) { return GTRposIterator_HasMorePoss(nullptr, s); }, 2707},
        {"GetNextPos", [](GTRSTATUS* s) { GTRposIterator_GetNextPos(nullptr, s); return 0; }, 2708},
        {"GetDocumentNumber", [](GTRSTATUS* s) { return GTRposIterator_GetDocumentNumber(nullptr, s); }, 2709},
        {"GetDocumentPosition", [](GTRSTATUS* s) { return GTRposIterator_GetDocumentPosition(nullptr, s); }, 2710},
    };
    for (const Case& c : cases) {
        GTRSTATUS st{};
        st.system_errno = 5;  // left as it is
        EXPECT_EQ(c.run(&st), 0) << c.call;
        EXPECT_EQ(rc(st), std::make_pair(2, c.errcode)) << c.call;
        EXPECT_EQ(st.system_errno, 5) << c.call;
    }
}

TEST(GtrIter, WalksBothHalvesAndTheirPositionsThroughTheCalls) {
    Index ix;
    const int files = openFiles();
    GTRSTATUS st{};
    KEYITERATOR* halves[2] = {};
    GTRkeyIteratorInitEx("idx", ix.dir(), 1, &halves[0], &halves[1], 0,
                         1000, &st);
    ASSERT_EQ(rc(st), std::make_pair(0, 0));
    ASSERT_NE(halves[1], nullptr) << "the append made a supp half";
    const std::map<int32_t, int32_t> expectedBeta[2] = {{{0, 1}, {1, 1}},
                                                         {{10, 1}}};
    for (int k = 0; k < 2; ++k) {
        KEYITERATOR* it = halves[k];
        // A forwarding call sets retcode 0 and leaves the rest.
        st.errcode = 77;
        EXPECT_GE(GTRkeyIterator_SearchKeyString(it, "beta", 4, &st), 0);
        EXPECT_EQ(rc(st), std::make_pair(0, 77));
        uint8_t text[64];
        int32_t len = 0;
        GTRkeyIterator_GetKeyString(it, text, sizeof text, &len, &st);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(text), len), "beta");
        EXPECT_EQ(GTRkeyIterator_GetKeyType(it, &st), VOZ_KIND_VAR);
        EXPECT_EQ(GTRkeyIterator_GetDocumentCountEx(it, &st),
                  static_cast<int32_t>(expectedBeta[k].size()));
        // The raw pattern is cut to the caller's buffer.
        GTRkeyIterator_GetItemString(it, text, 3, &len, &st);
        EXPECT_EQ(len, 3);
        POSITERATOR* pi = nullptr;
        GTRposIteratorInit(&pi, it, &st);
        ASSERT_NE(pi, nullptr);
        std::map<int32_t, int32_t> docs;
        while (GTRposIterator_HasMorePoss(pi, &st)) {
            ++docs[GTRposIterator_GetDocumentNumber(pi, &st)];
            EXPECT_GT(GTRposIterator_GetDocumentPosition(pi, &st), 0);
            GTRposIterator_GetNextPos(pi, &st);
        }
        EXPECT_EQ(docs, expectedBeta[k]) << "half " << k;
        GTRposIteratorTerm(pi, &st);
        EXPECT_EQ(st.retcode, 0) << st.errcode;
    }
    // The halves share one handle: ending the first leaves the second
    // usable, ending the second closes the index.
    GTRkeyIteratorTerm(halves[0], &st);
    ASSERT_EQ(rc(st), std::make_pair(0, 0));
    int32_t keys = 0;
    GTRkeyIterator_GetNextKey(halves[1], &st);
    while (GTRkeyIterator_HasMoreKeys(halves[1], &st)) {
        GTRkeyIterator_GetNextKey(halves[1], &st);
        ++keys;
    }
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_GT(keys, 0);
    GTRkeyIteratorTerm(halves[1], &st);
    EXPECT_EQ(rc(st), std::make_pair(0, 0));
    EXPECT_EQ(openFiles(), files) << "no index left open";
}

TEST(GtrIter, KeyInfoCountsTheDocumentsOfAWordInEachHalf) {
    Index ix;
    const int files = openFiles();
    struct Case {
        const char* word;
        int32_t parts;
        int32_t main, supp;
    } cases[] = {
        {"zz", 1, 1, 1},
        {"cat", 1, 1, 0},
        {"dog", 1, 0, 1},
        {"eel", 1, 0, 0},
        {"42", 1, 1, 0},  // digits: the regular (n-gram) keys
        // Two parts ("bet", "eta") whose windows name the same key: the
        // key's documents count once.
        {"beta", 2, 2, 1},
    };
    for (const Case& c : cases) {
        GTRSTATUS st{};
        GTRKEYINFO ki{};
        ki.pszWord = const_cast<char*>(c.word);
        ki.ucCodepage = 34;
        int32_t counts[2] = {-1, -1};
        GTRgetKeyInfo("idx", ix.dir(), &ki, counts, &st);
        EXPECT_EQ(rc(st), std::make_pair(0, 0)) << c.word;
        EXPECT_EQ(ki.lNumKeyRec, c.parts) << c.word;
        EXPECT_EQ(counts[0], c.main) << c.word;
        EXPECT_EQ(counts[1], c.supp) << c.word;
    }
    EXPECT_EQ(openFiles(), files);
}

TEST(GtrIter, KeyInfoRefusesBadArgumentsAndAnotherCodePage) {
    Index ix;
    const int files = openFiles();
    char word[] = "zz";
    int32_t counts[2];
    GTRKEYINFO good{};
    good.pszWord = word;
    good.ucCodepage = 34;
    GTRKEYINFO noWord = good;
    noWord.pszWord = nullptr;
    GTRKEYINFO reserved = good;
    reserved.reserved[22] = 1;
    GTRKEYINFO otherPage = good;
    otherPage.ucCodepage = 1;
    const std::string longName(2048, 'n');
    struct Case {
        const char* what;
        const char* name;
        const char* dir;
        GTRKEYINFO* info;
        int32_t* counts;
        std::pair<int32_t, int32_t> expected;
    } cases[] = {
        {"null name", nullptr, ix.dir(), &good, counts, {2, 2689}},
        {"null directory", "idx", nullptr, &good, counts, {2, 2689}},
        {"null record", "idx", ix.dir(), nullptr, counts, {2, 2689}},
        {"null word", "idx", ix.dir(), &noWord, counts, {2, 2689}},
        {"null counts", "idx", ix.dir(), &good, nullptr, {2, 2689}},
        {"reserved byte", "idx", ix.dir(), &reserved, counts, {128, 1715}},
        {"empty name", "", ix.dir(), &good, counts, {29, 2690}},
        {"name of 2048", longName.c_str(), ix.dir(), &good, counts, {29, 2690}},
        {"code page 1 for an index of 34", "idx", ix.dir(), &otherPage, counts,
         {108, 2691}},
        {"missing index", "nothere", ix.dir(), &good, counts, {20, 264}},
    };
    for (const Case& c : cases) {
        GTRSTATUS st{};
        GTRgetKeyInfo(c.name, c.dir, c.info, c.counts, &st);
        EXPECT_EQ(rc(st), c.expected) << c.what;
        EXPECT_EQ(openFiles(), files) << c.what << ": no index left open";
    }
}

TEST(GtrIter, InitAndTermCallsClearTheStatus) {
    void (*calls[])(GTRSTATUS*) = {GTRinit, GTRterm, GTRinitThread,
                                   GTRtermThread};
    for (auto call : calls) {
        GTRSTATUS st{};
        st.retcode = 9;
        st.errcode = 9;
        st.system_errno = 9;
        strcpy(st.errfname1, "x");
        call(&st);
        GTRSTATUS clear{};
        EXPECT_EQ(memcmp(&st, &clear, sizeof st), 0);
        call(nullptr);  // nothing to clear, nothing fails
    }
}

}  // namespace
