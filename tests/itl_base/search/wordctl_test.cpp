// Word controls without key lookups: the whole-document list and back
// references (files with and without header, sorted and not, damaged).
#include <sys/stat.h>

#include "search/voz_wordctl.hpp"
#include "search_fixture.hpp"

using namespace srchfix;

namespace {

struct Hit {
    int32_t doc, pos;
    uint16_t len;
    bool operator==(const Hit& o) const {
        return doc == o.doc && pos == o.pos && len == o.len;
    }
};
std::ostream& operator<<(std::ostream& os, const Hit& h) {
    return os << "(" << h.doc << "," << h.pos << "," << h.len << ")";
}

// Runs the word with resume targets (-1) to its end.
std::vector<Hit> allHits(_WCTLHEAD& w, IDXINFO* index, GTRSTATUS& st) {
    std::vector<Hit> hits;
    for (int guard = 0; guard < 10000 && w.nextHit != nullptr; ++guard) {
        w.nextHit(&w, index, nullptr, nullptr, -1, 0, &st);
        if (st.retcode != 0 || w.cur.docno == VOZ_DOC_END) break;
        hits.push_back({w.cur.docno, w.cur.pos, w.cur.len});
    }
    return hits;
}

TEST(WholeDoc, EachDocumentOnceAtPosition1) {
    TempDir dir("wholedoc");
    GTRSTATUS st{};
    SetSpec spec;
    spec.docs = {0, 1, 2, 7, 8};
    spec.keys.push_back({"\1\0\1\0\1\0", {{0, {1}}}});
    writeSet(dir.path(), "idx", 0, 0, spec, st);
    ASSERT_OK(st);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    IDXINFO* set = &h->first.set0[0];
    _WCTLHEAD w{};
    voz_GetWholeDocNOInit(&w, set, nullptr, &st);
    ASSERT_OK(st);
    std::vector<Hit> want = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}, {7, 1, 0}, {8, 1, 0}};
    EXPECT_EQ(allHits(w, set, st), want);
    ASSERT_OK(st);
    EXPECT_EQ(w.endFlag, 'Y');
    EXPECT_EQ(w.priv, nullptr) << "the control is freed at the end";
    // Targets: the first document at or after them.
    _WCTLHEAD t{};
    voz_GetWholeDocNOInit(&t, set, nullptr, &st);
    struct { int32_t doc, pos, want; } targets[] = {
        {3, 1, 7}, {7, 1, 7}, {7, 2, 8}, {8, 1, 8}, {9, 1, VOZ_DOC_END}};
    for (auto c : targets) {
        t.nextHit(&t, set, nullptr, nullptr, c.doc, c.pos, &st);
        ASSERT_OK(st);
        EXPECT_EQ(t.cur.docno, c.want) << c.doc << "," << c.pos;
        if (c.want != VOZ_DOC_END) {
            EXPECT_EQ(t.cur.match, 100);
        }
    }
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}

TEST(WholeDoc, AnIndexWithoutDocumentsHasNoHits) {
    TempDir dir("wholedoc");
    GTRSTATUS st{};
    SetSpec spec;
    spec.keys.push_back({"\1\0\1\0\1\0", {{0, {1}}}});
    writeSet(dir.path(), "idx", 0, 0, spec, st);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    _WCTLHEAD w{};
    voz_GetWholeDocNOInit(&w, &h->first.set0[0], nullptr, &st);
    ASSERT_OK(st);
    EXPECT_EQ(w.nextHit, voz_GetOneWordNoOcc);
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    VOZ_SearchRelease(&h, &st);
}

// A back-reference word over `path` (which must outlive it).
RTRVWORDEXT backRefWord(std::string& path) {
    RTRVWORDEXT word{};
    word.wi.type = 'B';
    word.wi.wordp = reinterpret_cast<uint8_t*>(&path[0]);
    word.wi.wordlen = static_cast<int16_t>(path.size());
    return word;
}

std::string header(uint32_t flags) {
    std::string h(128, '\0');
    uint32_t magic = 0xFFFFFFFFu;
    memcpy(&h[0], &magic, 4);
    memcpy(&h[12], &flags, 4);
    return h;
}

std::string recs(const std::vector<Hit>& hits) {
    std::string s;
    for (const Hit& h : hits) {
        OCC o = occ(h.doc, h.pos, h.len);
        s.append(reinterpret_cast<const char*>(&o), sizeof o);
    }
    return s;
}

std::string nums(const std::vector<int32_t>& v) {
    return std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4);
}

// A batch is checked whole before its first hit is given, so a fault in
// the first batch leaves no hit.
struct BackRefCase {
    const char* what;
    std::string bytes;
    int32_t low, high;             // document range of the answer set
    std::vector<Hit> want;
    int32_t rc, ec;
};

TEST(BackRef, FilesAsATable) {
    TempDir dir("backref");
    const int32_t all = VOZ_DOC_END - 1;
    std::vector<Hit> three = {{1, 2, 1}, {1, 5, 1}, {4, 1, 2}};
    const BackRefCase cases[] = {
        {"empty file", "", 0, all, {}, 0, 0},
        {"headerless 20 bytes", std::string(20, 'x'), 0, all, {}, 107, 810},
        {"headerless 3 bytes", "abc", 0, all, {}, 107, 810},
        {"headerless records", recs(three), 0, all, three, 0, 0},
        {"unsorted", recs({{9, 3, 1}, {1, 5, 2}, {1, 5, 1}, {4, 1, 1}, {1, 2, 7}}),
         0, all, {{1, 2, 7}, {1, 5, 1}, {1, 5, 2}, {4, 1, 1}, {9, 3, 1}}, 0, 0},
        {"sorted header", header(0x80) + recs(three), 0, all, three, 0, 0},
        {"sorted flag, out of order", header(0x80) + recs({{4, 1, 1}, {2, 1, 1}}),
         0, all, {}, 107, 814},
        {"sorted flag, position back", header(0x80) + recs({{4, 5, 1}, {4, 2, 1}}),
         0, all, {}, 22, 154},
        {"outside the range skipped", recs({{1, 1, 1}, {5, 2, 1}, {8, 3, 1}, {12, 1, 1}}),
         5, 10, {{5, 2, 1}, {8, 3, 1}}, 0, 0},
        {"position 0", recs({{1, 0, 1}}), 0, all, {}, 22, 153},
        {"document 0x7FFFFFFF", recs({{VOZ_DOC_END, 1, 1}}), 0, VOZ_DOC_END, {},
         22, 153},
        {"header, 20 record bytes", header(0) + std::string(20, 'x'), 0, all, {},
         107, 809},
        {"number list", header(0xC0) + nums({2, 5, 9}), 0, all,
         {{2, 1, 0}, {5, 1, 0}, {9, 1, 0}}, 0, 0},
        {"unsorted number list", header(0x40) + nums({9, 2, 5}), 0, all,
         {{2, 1, 0}, {5, 1, 0}, {9, 1, 0}}, 0, 0},
        {"number list, 6 bytes", header(0x40) + "abcdef", 0, all, {}, 107, 808},
        {"bad number", header(0x40) + nums({3, 0x7FFFFFFF}), 0, VOZ_DOC_END, {},
         17, 817},
        {"negative number", header(0xC0) + nums({-4}), 0, all, {}, 17, 817},
        {"sorted numbers out of order", header(0xC0) + nums({5, 3}), 0, all,
         {}, 17, 818},
        {"numbers outside the range", header(0xC0) + nums({1, 6, 7, 30}), 5, 10,
         {{6, 1, 0}, {7, 1, 0}}, 0, 0},
        {"truncated header", std::string(4, '\xFF') + "short", 0, all, {}, 4, 806},
    };
    for (const BackRefCase& c : cases) {
        std::string path = dir / "ref";
        ASSERT_TRUE(writeFile(path, c.bytes));
        ANSWERFORM* range = new ANSWERFORM();
        range->rangeLow = c.low;
        range->rangeHigh = c.high;
        RTRVWORDEXT word = backRefWord(path);
        _WCTLHEAD w{};
        GTRSTATUS st{};
        voz_GetBackRefInit(&word, &w, nullptr, range, &st);
        std::vector<Hit> hits;
        if (st.retcode == 0) hits = allHits(w, nullptr, st);
        EXPECT_EQ(hits, c.want) << c.what;
        EXPECT_EQ(st.retcode, c.rc) << c.what;
        EXPECT_EQ(st.errcode, c.ec) << c.what;
        EXPECT_EQ(w.priv, nullptr) << c.what << ": the word ended";
        EXPECT_EQ(w.cur.docno, VOZ_DOC_END) << c.what;
        delete range;
    }
}

TEST(BackRef, OpensRegularFilesOnly) {
    TempDir dir("backref");
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (std::string path : {dir.path(), fifo, dir / "missing"}) {
        RTRVWORDEXT word = backRefWord(path);
        _WCTLHEAD w{};
        GTRSTATUS st{};
        voz_GetBackRefInit(&word, &w, nullptr, nullptr, &st);  // never blocks
        EXPECT_RC(st, 3, 804);
        EXPECT_EQ(w.nextHit, voz_GetOneWordNoOcc) << path;
    }
}

TEST(BackRef, TargetsSkipRecordsBelowThem) {
    TempDir dir("backref");
    std::string path = dir / "ref";
    // A sorted file larger than one 4096-byte batch.
    std::vector<Hit> hits;
    for (int32_t d = 0; d < 600; ++d) hits.push_back({d, 1 + d % 7, 1});
    ASSERT_TRUE(writeFile(path, header(0x80) + recs(hits)));
    RTRVWORDEXT word = backRefWord(path);
    _WCTLHEAD w{};
    GTRSTATUS st{};
    voz_GetBackRefInit(&word, &w, nullptr, nullptr, &st);
    ASSERT_OK(st);
    struct { int32_t doc, pos, want; } targets[] = {
        {10, 1, 10}, {10, 9, 11}, {300, 1, 300}, {599, 1, 599}, {700, 1, VOZ_DOC_END}};
    for (auto t : targets) {
        w.nextHit(&w, nullptr, nullptr, nullptr, t.doc, t.pos, &st);
        ASSERT_OK(st);
        EXPECT_EQ(w.cur.docno, t.want) << t.doc;
    }
}

TEST(BackRef, CheckAndSort) {
    OCC prev = occ(4, 5, 2);
    struct { OCC rec; int32_t rc, ec; } cases[] = {
        {occ(4, 5, 2), 0, 0}, {occ(4, 6, 1), 0, 0}, {occ(5, 1, 0), 0, 0},
        {occ(4, 4, 9), 22, 154}, {occ(4, 5, 1), 22, 154},
        {occ(0x7FFFFFFF, 1), 22, 153}, {occ(4, 0x40000000), 22, 153}};
    for (auto c : cases) {
        GTRSTATUS st{};
        voz_CheckBackRef(&c.rec, &prev, &st);
        EXPECT_EQ(st.retcode, c.rc) << c.rec.docno << "," << c.rec.pos;
        EXPECT_EQ(st.errcode, c.ec);
    }
    std::vector<OCC> v = {occ(3, 2, 5), occ(1, 9), occ(3, 2, 1), occ(3, 1), occ(0, 4)};
    voz_SortBackRef(v.data(), static_cast<int32_t>(v.size()));
    for (size_t i = 1; i < v.size(); ++i) {
        auto key = [](const OCC& o) { return std::make_tuple(o.docno, o.pos, o.len); };
        EXPECT_LE(key(v[i - 1]), key(v[i]));
    }
}

}  // namespace
