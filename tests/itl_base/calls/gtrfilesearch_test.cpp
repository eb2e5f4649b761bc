// The searches into a result file: the file they write, the names they
// compose (and refuse when the result record cannot hold them), their own
// argument checks before the search clears the status, the answer limit of
// a simple query, and the counts written whatever the outcome.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"
#include "calls/voz_gtrfilesearch.hpp"

namespace {

using gqfix::Docs;

// The occurrences of a type-1 result file.
std::vector<OCC> readOccs(const std::string& path) {
    std::vector<OCC> v;
    FILE* f = fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr) return v;
    OCC o;
    while (fread(&o, sizeof o, 1, f) == 1) v.push_back(o);
    fclose(f);
    return v;
}

TEST(GtrFileSearch, SearchQueryWritesTheResultFile) {
    gqfix::Corpus k;
    const std::string dir = k.env.tmp.path();
    int32_t docs = -1, occs = -1;
    GTRSTATUS st{};
    GTRsearchQuery("222", "idx", k.dir(), "r", dir.c_str(), 34, nullptr, 0,
                   &docs, &occs, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(std::make_pair(docs, occs), std::make_pair(2, 2));
    const std::vector<OCC> v = readOccs(dir + "/r");
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(std::make_pair(v[0].docno, v[1].docno), std::make_pair(1, 2));

    // The other forms into files of their own; NULL counts are skipped.
    gqfix::WordCond w({"222", "333"}, "1 * 2");
    GTRsearch(2, w.words.data(), "1 * 2", "idx", k.dir(), "s", nullptr,
              dir.c_str(), 34, nullptr, 0, nullptr, &docs, nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(docs, 1);
    EXPECT_EQ(readOccs(dir + "/s").size(), 2u);
    SIMPLERTRVOPT opt;
    memset(&opt, 0, sizeof opt);
    opt.Operator.op = 'N';
    opt.casesens = 'N';
    opt.precision = 100;
    GTRsimpleSearch("222 333", opt, "idx", k.dir(), "t", dir.c_str(), 34,
                    nullptr, nullptr, &occs, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(occs, 1);
    EXPECT_EQ(readOccs(dir + "/t").size(), 1u);

    // With frqfn the words' document frequencies are filled.
    w.words[0].docfreq = w.words[1].docfreq = -7;
    GTRsearch(2, w.words.data(), "1 + 2", "idx", k.dir(), "u", "f",
              dir.c_str(), 34, nullptr, 0, nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(docs, 3);
    EXPECT_EQ(std::make_pair(w.words[0].docfreq, w.words[1].docfreq),
              std::make_pair(2, 2));
}

TEST(GtrFileSearch, OutpathOfRootComposesSlashName) {
    gqfix::Corpus k;
    int32_t docs = -1;
    GTRSTATUS st{};
    const std::string name = "gtrfilesearch_test." + std::to_string(getpid());
    GTRsearchQuery("222", "idx", k.dir(), name.c_str(), "/", 34, nullptr, 0,
                   &docs, nullptr, &st);
    if (st.retcode == 0) {  // allowed to write into "/"
        EXPECT_EQ(readOccs("/" + name).size(), 2u);
        remove(("/" + name).c_str());
    } else {
        EXPECT_STREQ(st.errfname1, ("/" + name).c_str());
    }
}

TEST(GtrFileSearch, ArgumentChecksKeepTheStatusAndTheOutputs) {
    gqfix::Corpus k;
    const std::string dir = k.env.tmp.path();
    int rsv = 0;
    int32_t docs = -9, occs = -9;
    GTRSTATUS st{};
    st.detail = 77;  // not cleared by an argument failure
    GTRsearch(0, nullptr, "1", "idx", k.dir(), nullptr, nullptr, nullptr, 34,
              nullptr, 0, &rsv, &docs, &occs, &st);
    EXPECT_STATUS(st, 115, 2571);
    EXPECT_EQ(st.detail, 77);
    EXPECT_EQ(std::make_pair(docs, occs), std::make_pair(-9, -9));

    // The name made of outpath, "/" and outfn must fit 2048 bytes.
    const std::string fn2046(2046, 'f');
    const std::string dir1(1, 'd');
    struct Case {
        const char* outpath;
        const char* outfn;
        int32_t rc, ec;  // of GTRsearchQuery
    };
    const Case cases[] = {
        {nullptr, "r", 35, 2567},
        {dir.c_str(), nullptr, 35, 2567},
        {dir1.c_str(), fn2046.c_str(), 35, 2568},  // 2047 together: no room
        {"/", fn2046.c_str(), 36, 0},  // "/" and 2046: the name fits
    };
    for (const Case& c : cases) {
        st = GTRSTATUS{};
        GTRsearchQuery("222", "idx", k.dir(), c.outfn, c.outpath, 34, nullptr,
                       0, &docs, &occs, &st);
        if (c.rc == 36) {
            EXPECT_NE(st.errcode, 2568) << "the name was accepted";
        } else {
            EXPECT_STATUS(st, c.rc, c.ec);
        }
    }
    const std::string fn2047(2047, 'f');
    docs = occs = -9;  // the accepted name ran a search
    st = GTRSTATUS{};
    GTRsimpleSearch("222", SIMPLERTRVOPT{}, "idx", k.dir(), fn2047.c_str(),
                    "d", 34, nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 35, 2570);
    GTRsimpleSearch("222", SIMPLERTRVOPT{}, "idx", k.dir(), nullptr, "d", 34,
                    nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 35, 2569);
    GTRsearch(0, nullptr, "1", "idx", k.dir(), fn2047.c_str(), nullptr, "d",
              34, nullptr, 0, nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 35, 2573);
    const std::string fn2071(2071, 'q');  // with "dd/d": 2075 together
    GTRsearch(0, nullptr, "1", "idx", k.dir(), "r", fn2071.c_str(), "dd/d",
              34, nullptr, 0, nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 35, 2573);
    GTRsearch(0, nullptr, "1", "idx", k.dir(), "r", nullptr, nullptr, 34,
              nullptr, 0, nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 35, 2572);
    GTRitemSearch(0, nullptr, "1", &rsv, "idx", k.dir(), nullptr, nullptr, 34,
                  0, &docs, &st);
    EXPECT_STATUS(st, 115, 2564);
    GTRitemSearch(0, nullptr, "1", nullptr, "idx", k.dir(), "r", nullptr, 34,
                  0, &docs, &st);
    EXPECT_STATUS(st, 35, 2565);
    GTRitemSearch(0, nullptr, "1", nullptr, "idx", k.dir(), fn2047.c_str(),
                  "d", 34, 0, &docs, &st);
    EXPECT_STATUS(st, 35, 2566);
    EXPECT_EQ(std::make_pair(docs, occs), std::make_pair(-9, -9));
}

TEST(GtrFileSearch, SimpleSearchStopsAtItsAnswerLimit) {
    gtrfix::Env env;
    gqfix::build(env, std::vector<std::string>(8, "555 x"),
                 gtrfix::HParm(1, 34));
    const std::string dir = env.tmp.path();
    SIMPLERTRVOPT opt;
    memset(&opt, 0, sizeof opt);
    opt.Operator.op = 'O';
    opt.Operator.discon_count = 5;
    opt.casesens = 'N';
    opt.precision = 100;
    int32_t docs = 0, occs = 0;
    GTRSTATUS st{};
    GTRsimpleSearch("555", opt, "idx", env.out.c_str(), "r", dir.c_str(), 34,
                    nullptr, &docs, &occs, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(st.retrieve_status, 1);
    EXPECT_EQ(occs, 5);
    EXPECT_EQ(readOccs(dir + "/r").size(), 5u);
}

TEST(GtrFileSearch, ItemSearchWritesItsCountAlsoOnFailure) {
    gqfix::Corpus k;
    const std::string dir = k.env.tmp.path();
    static uint8_t blue[] = "blue";
    SEARCHITEM item;
    memset(&item, 0, sizeof item);
    item.item_number = 3;
    item.item_type = 'C';
    item.char_ptr = blue;
    item.char_len = 4;
    item.char_precision = 100;
    item.char_casesens = 'N';
    int32_t docs = -1;
    GTRSTATUS st{};
    GTRitemSearch(1, &item, "1", nullptr, "idx", k.dir(), "r", dir.c_str(),
                  34, 0, &docs, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(docs, 3);
    EXPECT_EQ(readOccs(dir + "/r").size(), 3u);
    // Without case "BLUE" finds the items "blue"; in its own case nothing.
    static uint8_t upper[] = "BLUE";
    item.char_ptr = upper;
    for (const char cs : {'N', 'C'}) {
        item.char_casesens = cs;
        docs = -1;
        GTRitemSearch(1, &item, "1", nullptr, "idx", k.dir(), "r", dir.c_str(),
                      34, 0, &docs, &st);
        EXPECT_STATUS(st, 0, 0);
        EXPECT_EQ(docs, cs == 'N' ? 3 : 0) << cs;
    }
    // With masks: "bl?e" and "*ue" find every document, "bl?" none.
    struct Masked {
        const char* value;
        int32_t docs;
    };
    for (const Masked& m : {Masked{"bl?e", 3}, Masked{"*ue", 3}, Masked{"bl?", 0}}) {
        item.char_ptr = reinterpret_cast<uint8_t*>(const_cast<char*>(m.value));
        item.char_len = static_cast<int16_t>(strlen(m.value));
        item.char_mask[0] = '*';
        item.char_mask[1] = '?';
        docs = -1;
        GTRitemSearch(1, &item, "1", nullptr, "idx", k.dir(), "r", dir.c_str(),
                      34, 0, &docs, &st);
        EXPECT_STATUS(st, 0, 0);
        EXPECT_EQ(docs, m.docs) << m.value;
    }
    item.char_ptr = blue;
    item.char_len = 4;
    docs = -1;
    GTRitemSearch(1, &item, "1", nullptr, "nosuch", k.dir(), "r", dir.c_str(),
                  34, 0, &docs, &st);
    EXPECT_EQ(st.retcode, 20);
    EXPECT_EQ(st.processed_index, 0x40);
    EXPECT_EQ(docs, 0);
}

}  // namespace
