// Answer sets: limits, kinds, the memory budget and its spill file, result
// files byte for byte, the hand-over in rank order, and the empty result.
#include <cstdio>

#include "search/voz_wordctl.hpp"
#include "search_fixture.hpp"

using namespace srchfix;

namespace {

std::vector<uint8_t> bytesOf(const std::string& path) {
    std::string s = readFile(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

void put32(std::vector<uint8_t>& v, uint32_t x) {
    uint8_t b[4];
    memcpy(b, &x, 4);
    v.insert(v.end(), b, b + 4);
}

void putOcc(std::vector<uint8_t>& v, const OCC& o) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(&o);
    v.insert(v.end(), b, b + 16);
}

TEST(Answer, LimitsAndKinds) {
    struct { int32_t limit, occ, docs; } limits[] = {
        {0, 268435446, 0x7FFFFFFD}, {-5, 268435446, 5}, {100, 100, 0x7FFFFFFD}};
    for (auto c : limits) {
        ANSWERFORM* a = new ANSWERFORM();
        GTRSTATUS st{};
        voz_OpenAnswer(a, nullptr, c.limit, nullptr, nullptr, nullptr, &st);
        EXPECT_EQ(a->occLimit, c.occ) << c.limit;
        EXPECT_EQ(a->docLimit, c.docs) << c.limit;
        EXPECT_EQ(a->kind, VOZ_ANS_MEMORY);
        voz_ReleaseAnswer(a);
        delete a;
    }
    TempDir dir("answer");
    struct { int32_t memory, budget; } budgets[] = {{100, 256}, {0, 256},
                                                    {16000, 1000}};
    for (auto c : budgets) {
        ANSWERFORM* a = new ANSWERFORM();
        GTRSTATUS st{};
        GTRSEARCH_RES res = memRes(c.memory);
        voz_OpenAnswer(a, dir.path().c_str(), 0, &res, nullptr, nullptr, &st);
        EXPECT_EQ(a->kind, VOZ_ANS_BUDGET);
        EXPECT_EQ(a->budget, c.budget) << c.memory;
        EXPECT_EQ(a->firstCapacity, std::min(c.budget, 2048));
        voz_ReleaseAnswer(a);
        RANKPARM rank{};
        voz_OpenAnswer(a, dir.path().c_str(), 0, &res, &rank, nullptr, &st);
        EXPECT_EQ(a->kind, VOZ_ANS_MEMORY) << "ranking collects in memory";
        EXPECT_EQ(a->rankMembers[0], -1);
        voz_ReleaseAnswer(a);
        delete a;
    }
}

TEST(Answer, SpillsPastTheBudgetAndReadsBackThroughTheHandle) {
    TempDir dir("answer");
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes(100);
    std::vector<std::vector<OCC>> docs;
    for (int32_t d = 0; d < 300; ++d) docs.push_back({occ(d * 3, d + 1)});
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, dir.path().c_str(), 0, &res, nullptr, nullptr, &st);
    for (auto& d : docs) voz_WriteOcc(d.data(), 1, a, &st);
    ASSERT_OK(st);
    EXPECT_EQ(a->memEntries, 256);
    std::string spill = a->fileName;
    EXPECT_NE(spill.find("/voz"), std::string::npos) << spill;
    voz_CloseAnswer(a, &st);
    voz_SetAnswer(a, &res, nullptr, 0, &st);
    ASSERT_OK(st);
    voz_ReleaseAnswer(a);  // the spill file belongs to the result now
    delete a;
    EXPECT_TRUE(pathExists(spill));
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->memEntries, 256);
    EXPECT_EQ(r->totalEntries, 300);
    EXPECT_EQ(r->docTable, nullptr) << "one entry per document: no table";
    VOZ_ResultOpen(r, &st);
    ASSERT_OK(st);
    std::vector<OCC> back(300);
    EXPECT_EQ(VOZ_ResultRead(r, 0, 300, back.data(), &st), 300);
    ASSERT_OK(st);
    for (int32_t d = 0; d < 300; ++d)
        ASSERT_TRUE(sameOcc(back[d], docs[d][0])) << d;
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
    ASSERT_OK(st);
    EXPECT_FALSE(pathExists(spill)) << "release deletes the spill file";
}

TEST(Answer, DocumentWrittenInTwoCallsIsReadWhole) {
    // Lists of a damaged index can hand one document over twice in a row:
    // the result still reads it as one document of all its occurrences.
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes(0);
    std::vector<OCC> writes[] = {{occ(2, 1)}, {occ(5, 1)}, {occ(5, 2)},
                                 {occ(7, 4)}, {occ(7, 5)}, {occ(7, 9)}};
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, nullptr, 0, &res, nullptr, nullptr, &st);
    for (auto& w : writes) voz_WriteOcc(w.data(), 1, a, &st);
    voz_CloseAnswer(a, &st);
    voz_SetAnswer(a, &res, nullptr, 0, &st);
    ASSERT_OK(st);
    voz_ReleaseAnswer(a);
    delete a;
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    ASSERT_NE(r, nullptr);
    VOZ_ResultOpen(r, &st);
    ASSERT_OK(st);
    const int32_t expect[] = {1, 2, 3};  // occurrences of documents 2, 5, 7
    for (int32_t want : expect) {
        OCC* e = nullptr;
        int32_t n = 0;
        float score = 0;
        VOZ_ResultView_Doc(r, -1, &e, &n, &score, &st);
        ASSERT_OK(st);
        EXPECT_EQ(n, want);
    }
    OCC* e = nullptr;
    int32_t n = 0;
    VOZ_ResultView_Doc(r, -1, &e, &n, nullptr, &st);
    EXPECT_EQ(st.retcode, 123);
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
}

TEST(Answer, ResultFileOfType1HoldsTheOccurrences) {
    TempDir dir("answer");
    GTRSTATUS st{};
    GTRSEARCH_RES res = fileRes(GTR_RES_FILE, 1, dir / "r1");
    std::vector<std::vector<OCC>> docs = {{occ(4, 1), occ(4, 9, 2)}, {occ(6, 3)}};
    docs[0][0].spare = 0;
    buildResult(res, docs, nullptr, st);
    ASSERT_OK(st);
    EXPECT_EQ(res.res_handle, nullptr);
    std::vector<uint8_t> want;
    for (auto& d : docs)
        for (auto& o : d) putOcc(want, o);
    EXPECT_EQ(bytesOf(dir / "r1"), want);
}

TEST(Answer, ResultFileOfType4HasItsHeader) {
    TempDir dir("answer");
    struct Case {
        uint8_t form;
        std::vector<int32_t> docs;
        uint8_t flag;
    } cases[] = {{2, {3, 5, 8}, 0xC0}, {2, {5, 3}, 0x40}, {1, {3, 5}, 0x80}};
    for (const Case& c : cases) {
        GTRSTATUS st{};
        GTRSEARCH_RES res = fileRes(GTR_RES_FILE_HEADER, c.form, dir / "r4");
        std::vector<std::vector<OCC>> docs;
        int32_t occs = 0;
        for (int32_t d : c.docs) {
            docs.push_back({occ(d, 2), occ(d, 7)});
            occs += 2;
        }
        buildResult(res, docs, nullptr, st);
        ASSERT_OK(st);
        std::vector<uint8_t> want;
        put32(want, 0xFFFFFFFFu);
        put32(want, static_cast<uint32_t>(c.docs.size()));
        put32(want, static_cast<uint32_t>(occs));
        want.push_back(c.flag);
        want.resize(128, 0);
        for (auto& d : docs) {
            if (c.form == 2) {
                put32(want, static_cast<uint32_t>(d[0].docno));
            } else {
                for (auto& o : d) putOcc(want, o);
            }
        }
        EXPECT_EQ(bytesOf(dir / "r4"), want) << "form " << int(c.form);
    }
}

// Collects every hit of a back-reference word over `path`.
std::vector<OCC> backRefHits(const std::string& path, GTRSTATUS& st) {
    RTRVWORDEXT word{};
    word.wi.type = 'B';
    word.wi.wordp = reinterpret_cast<uint8_t*>(const_cast<char*>(path.c_str()));
    word.wi.wordlen = static_cast<int16_t>(path.size());
    _WCTLHEAD w{};
    voz_GetBackRefInit(&word, &w, nullptr, nullptr, &st);
    std::vector<OCC> hits;
    while (st.retcode == 0 && w.nextHit != nullptr) {
        w.nextHit(&w, nullptr, nullptr, nullptr, -1, 0, &st);
        if (w.cur.docno == VOZ_DOC_END) break;
        hits.push_back(w.cur);
    }
    return hits;
}

TEST(Answer, Type4FileReadAsBackReferenceGivesTheSameHits) {
    TempDir dir("answer");
    for (uint8_t form : {1, 2}) {
        GTRSTATUS st{};
        GTRSEARCH_RES res = fileRes(GTR_RES_FILE_HEADER, form, dir / "r4");
        std::vector<std::vector<OCC>> docs = {
            {occ(1, 2), occ(1, 5, 3)}, {occ(4, 1, 0)}, {occ(9, 8)}};
        buildResult(res, docs, nullptr, st);
        ASSERT_OK(st);
        std::vector<OCC> hits = backRefHits(dir / "r4", st);
        ASSERT_OK(st);
        std::vector<OCC> want;
        for (auto& d : docs) {
            if (form == 2) {
                OCC o{};
                o.docno = d[0].docno;
                o.pos = 1;
                o.match = 100;
                want.push_back(o);
            } else {
                for (auto o : d) {
                    if (o.len == 0 && o.pos == 1) o.match = 0;
                    want.push_back(o);
                }
            }
        }
        ASSERT_EQ(hits.size(), want.size()) << int(form);
        for (size_t i = 0; i < hits.size(); ++i)
            EXPECT_TRUE(sameOcc(hits[i], want[i])) << int(form) << " hit " << i;
    }
}

TEST(Answer, RankedHandOverWritesRankOrderScoresAndEntries) {
    TempDir dir("answer");
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes(4096);
    GTRRANKDOC out[3];
    memset(out, 0xAB, sizeof out);
    RANKPARM rank{};
    rank.rank_kind = 'S';
    rank.rank_limit = 2;
    rank.rank_docs = reinterpret_cast<uint8_t*>(out);
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, dir.path().c_str(), 0, &res, &rank, nullptr, &st);
    // Documents 2 (3 hits), 5 (1), 9 (2) in document order; ranked 9, 2, 5.
    std::vector<std::vector<OCC>> docs = {
        {occ(2, 1), occ(2, 4), occ(2, 8)}, {occ(5, 3)}, {occ(9, 2), occ(9, 6)}};
    int32_t first[3], at = 0;
    for (int i = 0; i < 3; ++i) {
        first[i] = at;
        voz_WriteOcc(docs[i].data(), static_cast<int32_t>(docs[i].size()), a, &st);
        at += static_cast<int32_t>(docs[i].size());
    }
    struct { int doc; float score; } order[] = {{2, 0.9f}, {0, 0.5f}, {1, 0.25f}};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(__PM_RESIZE(&a->ranked, i, sizeof(RANKDOC)), 0);
        RANKDOC* e = static_cast<RANKDOC*>(voz_PMitem(a->ranked, i));
        *e = RANKDOC{docs[order[i].doc][0].docno, 7, order[i].score,
                     first[order[i].doc],
                     static_cast<int32_t>(docs[order[i].doc].size()), 0};
    }
    a->rankMembers[3] = 3;
    voz_CloseAnswer(a, &st);
    int32_t occs = 0;
    voz_SetAnswer_Ranking(a, dir.path().c_str(), &res, &rank, &occs, &st);
    ASSERT_OK(st);
    EXPECT_EQ(occs, 6);
    voz_ReleaseAnswer(a);
    delete a;
    // The caller's entries: rank_limit of them, 20 bytes each.
    EXPECT_EQ(out[0].docno, 9);
    EXPECT_EQ(out[0].first_occ, 0);
    EXPECT_EQ(out[0].occ_count, 2);
    EXPECT_FLOAT_EQ(out[1].score, 0.5f);
    EXPECT_EQ(out[1].docno, 2);
    EXPECT_EQ(out[1].first_occ, 2);
    EXPECT_EQ(out[2].docno, static_cast<int32_t>(0xABABABAB)) << "beyond the limit";
    VOZRESULT* r = static_cast<VOZRESULT*>(res.res_handle);
    ASSERT_NE(r, nullptr);
    VOZ_ResultOpen(r, &st);
    int32_t wantDocs[] = {9, 2, 5};
    float wantScores[] = {0.9f, 0.5f, 0.25f};
    for (int i = 0; i < 3; ++i) {
        OCC* e = nullptr;
        int32_t n = 0;
        float score = 0;
        VOZ_ResultView_Doc(r, -1, &e, &n, &score, &st);
        ASSERT_OK(st);
        EXPECT_EQ(e[0].docno, wantDocs[i]);
        EXPECT_EQ(n, static_cast<int32_t>(docs[order[i].doc].size()));
        EXPECT_FLOAT_EQ(score, wantScores[i]);
    }
    VOZ_ResultClose(r, &st);
    VOZ_ResultRelease(r, &st);
}

TEST(Answer, RankedCountOnlyResultCountsWithoutPages) {
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes();
    res.res_type = GTR_RES_NONE;
    RANKPARM rank{};
    rank.rank_kind = 'S';
    rank.rank_limit = 5;
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, nullptr, 0, &res, &rank, nullptr, &st);
    EXPECT_EQ(a->kind, VOZ_ANS_COUNT);
    OCC o[2] = {occ(3, 1), occ(3, 4)};
    voz_WriteOcc(o, 2, a, &st);
    ASSERT_EQ(__PM_RESIZE(&a->ranked, 0, sizeof(RANKDOC)), 0);
    *static_cast<RANKDOC*>(voz_PMitem(a->ranked, 0)) = RANKDOC{3, 0, 1.0f, 0, 2, 0};
    a->rankMembers[3] = 1;
    voz_CloseAnswer(a, &st);
    int32_t occs = 0;
    voz_SetAnswer_Ranking(a, nullptr, &res, &rank, &occs, &st);
    ASSERT_OK(st);
    EXPECT_EQ(occs, 2);
    EXPECT_EQ(res.res_handle, nullptr);
    voz_ReleaseAnswer(a);
    delete a;
}

TEST(Answer, EmptyResultGivesAnEmptyFileOrNoHandle) {
    TempDir dir("answer");
    GTRSTATUS st{};
    GTRSEARCH_RES res = memRes();
    res.result_docnum = 5;
    VOZ_EmptyResult(nullptr, &res, &st);
    ASSERT_OK(st);
    EXPECT_EQ(res.res_handle, nullptr);
    EXPECT_EQ(res.result_docnum, 0);
    GTRSEARCH_RES file = fileRes(GTR_RES_FILE_HEADER, 2, dir / "e");
    VOZ_EmptyResult(nullptr, &file, &st);
    ASSERT_OK(st);
    std::vector<uint8_t> want;
    put32(want, 0xFFFFFFFFu);
    want.resize(12, 0);
    want.push_back(0xC0);
    want.resize(128, 0);
    EXPECT_EQ(bytesOf(dir / "e"), want);
    GTRSEARCH_RES bad = fileRes(GTR_RES_FILE, 1, "");
    VOZ_EmptyResult(nullptr, &bad, &st);
    EXPECT_RC(st, 35, 1406);
}

TEST(Answer, ReleaseDeletesAResultFileNeverHandedOver) {
    TempDir dir("answer");
    GTRSTATUS st{};
    GTRSEARCH_RES res = fileRes(GTR_RES_FILE, 1, dir / "gone");
    ANSWERFORM* a = new ANSWERFORM();
    voz_OpenAnswer(a, nullptr, 0, &res, nullptr, nullptr, &st);
    OCC o = occ(1, 1);
    voz_WriteOcc(&o, 1, a, &st);
    ASSERT_OK(st);
    EXPECT_TRUE(pathExists(dir / "gone"));
    voz_ReleaseAnswer(a);
    delete a;
    EXPECT_FALSE(pathExists(dir / "gone"));
    GTRSEARCH_RES nodir = fileRes(GTR_RES_FILE, 1, dir / "no/such/dir/r");
    a = new ANSWERFORM();
    voz_OpenAnswer(a, nullptr, 0, &nodir, nullptr, nullptr, &st);
    EXPECT_RC(st, 3, 277);
    voz_ReleaseAnswer(a);
    delete a;
}

}  // namespace
