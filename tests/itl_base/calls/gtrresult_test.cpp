// The result-handle calls over answers of GTRsearchIndex: the look-up loop,
// pages, read places, the spill file's life, the states and the reserved
// pointers; and the hits of a real corpus (source files of the project)
// mapped back through GTRgetHitinfo.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gtrquery_fixture.hpp"
#include "calls/voz_gtrhit.hpp"
#include "calls/voz_gtrresult.hpp"

namespace {

namespace fs = std::filesystem;
using gqfix::Docs;

// A memory result of `query` over the index in `dir`.
GTRSEARCH_RES searchHandle(const char* dir, const std::string& query,
                           const char* outdir = nullptr,
                           int32_t memory = 0) {
    gqfix::QueryCond q(query);
    GTRSEARCH_RES r = gqfix::result(GTR_RES_HANDLE);
    r.res_handle_memory = memory;
    GTRSTATUS st{};
    GTRsearchIndex(nullptr, "idx", dir, outdir, q.c, nullptr, nullptr,
                   nullptr, &r, &st);
    EXPECT_EQ(st.retcode, 0) << query << " " << st.errcode;
    return r;
}

// Every document's occurrences through the look-up loop, which must end
// with 123.
std::vector<OCC> lookAll(void* h) {
    std::vector<OCC> all;
    GTRSTATUS st{};
    int32_t next = 0;
    for (int guard = 0; guard < 1000000; ++guard) {
        OCC* e = nullptr;
        int32_t n = -1;
        float score = 0;
        const int32_t r =
            GTRsearchIndex_LookResult_Doc(h, -1, &e, &n, &score, nullptr, &st);
        if (st.retcode != 0) break;
        EXPECT_EQ(r, next + 1);
        EXPECT_EQ(score, 1.0f);
        next = r;
        all.insert(all.end(), e, e + n);
    }
    EXPECT_EQ(st.retcode, 123);
    return all;
}

Docs docsOf(const std::vector<OCC>& v) {
    Docs d;
    for (const OCC& o : v) d.insert(o.docno);
    return d;
}

bool sameOccs(const std::vector<OCC>& a, const std::vector<OCC>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const OCC& x, const OCC& y) {
               return x.docno == y.docno && x.pos == y.pos && x.len == y.len;
           });
}

TEST(GtrResult, LookUpLoopPagesAndReadPlaces) {
    gqfix::Corpus k;
    GTRSEARCH_RES r = searchHandle(k.dir(), "222 + 444");
    ASSERT_NE(r.res_handle, nullptr);
    void* h = r.res_handle;
    GTRSTATUS st{};
    GTRsearchIndex_OpenResult(h, nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    GTRsearchIndex_OpenResult(h, nullptr, &st);
    EXPECT_STATUS(st, 125, 1433);
    const std::vector<OCC> looked = lookAll(h);
    EXPECT_EQ(docsOf(looked), (Docs{1, 2, 3}));
    EXPECT_EQ(static_cast<int32_t>(looked.size()), r.result_occnum);

    // Pages of 3 from the start read what the look-up loop read.
    std::vector<OCC> paged;
    OCC page[3];
    int32_t at = GTRsearchIndex_GetResult(h, 0, 3, page, nullptr, nullptr, &st);
    for (int guard = 0; guard < 1000; ++guard) {
        const int32_t got = at - static_cast<int32_t>(paged.size());
        paged.insert(paged.end(), page, page + got);
        if (st.retcode != 0) break;
        at = GTRsearchIndex_GetResult(h, -1, 3, page, nullptr, nullptr, &st);
    }
    EXPECT_EQ(st.retcode, 123);
    EXPECT_TRUE(sameOccs(paged, looked));
    // (-1, 0) reports the current place; (n, 0) moves it.
    EXPECT_EQ(GTRsearchIndex_GetResult(h, -1, 0, nullptr, nullptr, nullptr, &st),
              r.result_occnum);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, 1, 0, nullptr, nullptr, nullptr, &st), 1);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, -1, 0, nullptr, nullptr, nullptr, &st), 1);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, -2, 1, page, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 2, 1438);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, 0, 1, nullptr, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 2, 1441);

    // Closed: reading fails, opening again works.
    GTRsearchIndex_CloseResult(h, nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, 0, 1, page, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 126, 1437);
    OCC* e = nullptr;
    int32_t n = 0;
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 0, &e, &n, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 126, 1440);
    GTRsearchIndex_OpenResult(h, nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 2, &e, &n, nullptr, nullptr, &st), 3);
    ASSERT_GE(n, 1);
    EXPECT_EQ(e[0].docno, 3);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 3, &e, &n, nullptr, nullptr, &st), 3);
    EXPECT_EQ(st.retcode, 123);
    EXPECT_EQ(std::make_pair(e, n), std::make_pair(static_cast<OCC*>(nullptr), 0));
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, -2, &e, &n, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 2, 1442);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 0, nullptr, &n, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 2, 1441);

    // Reserved pointers stop each call before anything else.
    int rsv = 0;
    GTRsearchIndex_OpenResult(h, &rsv, &st);
    EXPECT_STATUS(st, 115, 2642);
    EXPECT_EQ(GTRsearchIndex_GetResult(h, 0, 1, page, nullptr, &rsv, &st), -1);
    EXPECT_STATUS(st, 115, 2643);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 0, &e, &n, nullptr, &rsv, &st), -1);
    EXPECT_STATUS(st, 115, 2644);
    GTRsearchIndex_CloseResult(h, &rsv, &st);
    EXPECT_STATUS(st, 115, 2645);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(h, 0, &e, &n, nullptr, nullptr, &st), 1)
        << "still open after the refused close";
    GTRsearchIndex_ReleaseResult(h, &st);
    EXPECT_STATUS(st, 0, 0);
}

TEST(GtrResult, NullHandles) {
    GTRSTATUS st{};
    OCC page[1];
    OCC* e = reinterpret_cast<OCC*>(page);
    int32_t n = 5;
    float score = 0;
    GTRsearchIndex_OpenResult(nullptr, nullptr, &st);
    EXPECT_STATUS(st, 1, 1432);
    EXPECT_EQ(GTRsearchIndex_GetResult(nullptr, 0, 1, page, nullptr, nullptr, &st), -1);
    EXPECT_STATUS(st, 1, 1436);
    EXPECT_EQ(GTRsearchIndex_LookResult_Doc(nullptr, 0, &e, &n, &score, nullptr, &st), -1);
    EXPECT_STATUS(st, 1, 1439);
    EXPECT_EQ(std::make_pair(e, n), std::make_pair(static_cast<OCC*>(nullptr), 0));
    EXPECT_EQ(score, 1.0f);
    GTRsearchIndex_CloseResult(nullptr, nullptr, &st);
    EXPECT_STATUS(st, 1, 1435);
    st.retcode = 99;
    GTRsearchIndex_ReleaseResult(nullptr, &st);
    EXPECT_STATUS(st, 0, 0);
}

// Names in the spill directory (a spill file is a partitioned file: a
// directory of parts).
std::set<std::string> spillFiles(const std::string& dir) {
    std::set<std::string> s;
    for (const auto& e : fs::directory_iterator(dir))
        s.insert(e.path().filename().string());
    return s;
}

TEST(GtrResult, SpillFileLivesUntilRelease) {
    gtrfix::Env env;
    std::vector<std::string> docs;
    for (int d = 0; d < 400; ++d) docs.push_back("555 1 555 2 555");
    gqfix::build(env, docs, gtrfix::HParm(1, 34));
    const std::string spill = env.tmp.path() + "/spill";
    fs::create_directory(spill);
    GTRSEARCH_RES r = searchHandle(env.out.c_str(), "555", spill.c_str(), 4096);
    ASSERT_EQ(r.result_occnum, 1200);
    ASSERT_NE(r.res_handle, nullptr);
    EXPECT_EQ(spillFiles(spill).size(), 1u) << "the occurrences did not fit";
    GTRSTATUS st{};
    GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::vector<OCC> all = lookAll(r.res_handle);
    EXPECT_EQ(all.size(), 1200u);
    EXPECT_EQ(docsOf(all).size(), 400u);
    EXPECT_EQ(spillFiles(spill).size(), 1u);
    GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
    GTRsearchIndex_ReleaseResult(r.res_handle, &st);
    EXPECT_STATUS(st, 0, 0);
    EXPECT_TRUE(spillFiles(spill).empty());
}

// ---- hits of a real corpus ------------------------------------------------

// The text without its line breaks and the blanks beside them.
std::string joinLines(const std::string& s) {
    static const std::regex breaks("[ \\t\\r]*\\n[ \\t\\r]*");
    return std::regex_replace(s, breaks, "");
}

TEST(GtrResult, CorpusDigitGroupsMapBackToTheirBytes) {
    const fs::path root = fs::path(TI_TEST_DATA) / ".." / ".." / "..";
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(root / "source" / "itl_base")) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".cpp" || ext == ".hpp"))
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> texts;
    for (const fs::path& p : files) {
        if (texts.size() == 60) break;
        std::ifstream in(p, std::ios::binary);
        std::string t((std::istreambuf_iterator<char>(in)),
                      std::istreambuf_iterator<char>());
        if (t.empty() || std::any_of(t.begin(), t.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80 || c == '\t';
            }))
            continue;
        texts.push_back(t);
    }
    ASSERT_GE(texts.size(), 30u);
    gtrfix::Env env;
    gqfix::build(env, texts, gtrfix::HParm(1, 34));

    // Digit groups of 3 to 5 digits from the files, counted by files.
    std::map<std::string, int> groups;
    static const std::regex digits("[0-9]{3,5}");
    for (const std::string& t : texts) {
        std::set<std::string> seen;
        for (auto it = std::sregex_iterator(t.begin(), t.end(), digits);
             it != std::sregex_iterator(); ++it)
            seen.insert(it->str());
        for (const std::string& g : seen) ++groups[g];
    }
    std::vector<std::string> picks;
    for (const auto& [g, n] : groups)
        if (n >= 2 && picks.size() < 6) picks.push_back(g);
    for (const auto& [g, n] : groups)
        if (n == 1 && picks.size() < 10) picks.push_back(g);
    ASSERT_GE(picks.size(), 4u);

    auto holders = [&](const std::string& g) {
        Docs d;
        for (size_t i = 0; i < texts.size(); ++i) {
            std::istringstream in(texts[i]);
            std::string line;
            while (std::getline(in, line))
                if (line.find(g) != std::string::npos) d.insert(int32_t(i + 1));
        }
        return d;
    };
    std::vector<std::pair<std::string, Docs>> queries;
    for (const std::string& g : picks) queries.push_back({g, holders(g)});
    for (size_t i = 0; i + 1 < picks.size(); i += 2) {
        Docs both;
        const Docs a = holders(picks[i]), b = holders(picks[i + 1]);
        std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                              std::inserter(both, both.end()));
        queries.push_back({picks[i] + " * " + picks[i + 1], both});
    }
    for (const auto& [query, want] : queries) {
        GTRSEARCH_RES r = searchHandle(env.out.c_str(), query);
        if (r.res_handle == nullptr) {
            EXPECT_TRUE(want.empty()) << query;
            continue;
        }
        GTRSTATUS st{};
        GTRsearchIndex_OpenResult(r.res_handle, nullptr, &st);
        const std::vector<OCC> all = lookAll(r.res_handle);
        const Docs got = docsOf(all);
        EXPECT_TRUE(std::includes(got.begin(), got.end(), want.begin(), want.end()))
            << query;
        // Each document's occurrences through the hit call over its file.
        std::map<int32_t, std::vector<OCC>> byDoc;
        for (OCC o : all) {
            o.match = 0;  // the index's word rule
            byDoc[o.docno].push_back(o);
        }
        for (const auto& [doc, occs] : byDoc) {
            const std::string& t = texts[static_cast<size_t>(doc - 1)];
            std::vector<HITOFFSET> h(occs.size());
            GTRgetHitinfo(reinterpret_cast<const uint8_t*>(t.data()),
                          static_cast<int32_t>(t.size()),
                          static_cast<int32_t>(occs.size()), occs.data(), 0,
                          h.data(), 34, &st);
            ASSERT_EQ(st.retcode, 0) << query << " " << st.errcode;
            for (size_t i = 0; i < occs.size(); ++i) {
                ASSERT_GE(h[i].start, 0) << query << " doc " << doc;
                const std::string bytes =
                    joinLines(t.substr(h[i].start, h[i].end - h[i].start));
                const bool isWord = std::find(picks.begin(), picks.end(), bytes) !=
                                    picks.end();
                EXPECT_TRUE(isWord && query.find(bytes) != std::string::npos)
                    << query << " doc " << doc << " [" << bytes << "]";
            }
        }
        GTRsearchIndex_CloseResult(r.res_handle, nullptr, &st);
        GTRsearchIndex_ReleaseResult(r.res_handle, &st);
    }
}

}  // namespace
