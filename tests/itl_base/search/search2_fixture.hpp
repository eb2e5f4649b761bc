// Test support for whole searches: an n-gram text index built from plain
// text through the update cycle's public calls (code page 1, word rule 0,
// 2-unit n-grams: digit groups are n-gram text, so every unit's 2-gram is a
// key), query words normalised the way the call layer prepares them, and a
// small query builder (words, postfix operators) with a runner that returns
// the documents of a memory result. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_SEARCH2_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_SEARCH2_FIXTURE_HPP

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_normline.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_records.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_search.hpp"
#include "search_fixture.hpp"

namespace s2fix {

#define S2_STATUS(st, rc, ec)                                          \
    EXPECT_EQ(std::make_pair((st).retcode, (st).errcode),              \
              std::make_pair(int32_t(rc), int32_t(ec)))

constexpr uint8_t kCode = 1;

inline GTRHCREATEPARM textParm() {
    GTRHCREATEPARM p;
    memset(&p, 0, sizeof p);
    p.index_type = 2;
    p.codepage = kCode;
    p.index_purpose = 1;
    p.word_rule = 0;
    p.index_subtype = 3;
    p.block_threshold = -1;
    p.block_size = -1;
    return p;
}

// Index "idx" in <tmp>/out built from texts; work files in <tmp>/work.
struct Corpus {
    TempDir tmp{"search2"};
    std::string out = tmp.path() + "/out";
    std::string work = tmp.path() + "/work";
    std::string temp = tmp.path() + "/temp";

    Corpus() {
        mkdir(out.c_str(), 0770);
        mkdir(work.c_str(), 0770);
        mkdir(temp.c_str(), 0770);
    }
    // One cycle ('N' new, 'A' append) of documents first, first+1, ...
    // with creation record `p`; bounds[i], when given, is document i's
    // boundary record (its pointers point into docs[i]).
    void cycle(char op, int32_t first, const std::vector<std::string>& docs,
               GTRSTATUS& st, GTRHCREATEPARM p = textParm(),
               const std::vector<BOUNDARYINFO*>* bounds = nullptr) {
        std::string old = std::filesystem::current_path().string();
        std::filesystem::current_path(work);
        GTRSYSPARM sys;
        memset(&sys, 0, sizeof sys);
        sys.poolsize = 1 << 20;
        sys.poolsizedelta = 1 << 16;
        sys.displaylog = 'N';
        int32_t maxDoc = 0;
        void* h = nullptr;
        GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), op, 'B', &p,
                           &sys, &maxDoc, &st);
        for (size_t i = 0; i < docs.size() && st.retcode == 0; ++i) {
            int32_t start = 0;
            GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(docs[i].data()),
                                 static_cast<int32_t>(docs[i].size()),
                                 first + static_cast<int32_t>(i), &start,
                                 bounds != nullptr ? (*bounds)[i] : nullptr, &st);
        }
        if (st.retcode == 0) {
            GTRcreateIndexLast(h, &st);
            if (st.retcode == 0) GTRcreateIndexTerm(h, 'G', &st);
        }
        std::filesystem::current_path(old);
    }
    // One half (0 main, 1 supp) of index "idx" written through the
    // storage's writers with the keys the builder makes of `docs` (numbered
    // from firstDoc): one zero-filled 2-gram per unit at its position
    // (gramOf), sentence ends after a full stop followed by a blank in
    // header slot 0, the document list in slot 38; the grams named in
    // `stopGrams` become keys without postings (stop words, which the
    // builder keeps only for word parts).
    void writeWithStops(const std::vector<std::string>& docs,
                        const std::set<std::string>& stopGrams, GTRSTATUS& st,
                        int half = 0, uint32_t firstDoc = 0) {
        std::map<std::string, srchfix::List> grams;
        std::set<std::string> stops;
        srchfix::List ends, list;
        for (size_t d = 0; d < docs.size(); ++d) {
            const std::string& t = docs[d];
            std::vector<uint8_t> u = unitsOf(t);
            uint32_t doc = firstDoc + static_cast<uint32_t>(d);
            size_t n = t.size();
            for (size_t i = 0; i < n; ++i) {
                std::string g(reinterpret_cast<const char*>(&u[2 * i]), 2);
                g += i + 1 < n ? std::string(reinterpret_cast<const char*>(&u[2 * i + 2]), 2)
                               : std::string(2, '\0');
                if (stopGrams.count(gramOf(t, i)) != 0) {
                    stops.insert(g);
                    continue;
                }
                srchfix::List& l = grams[g];
                if (l.empty() || l.back().id != doc) l.push_back({doc, {}});
                l.back().pos.push_back(static_cast<uint32_t>(i + 1));
                if (t[i] == '.' && i + 1 < n && t[i + 1] == ' ') {
                    if (ends.empty() || ends.back().id != doc) ends.push_back({doc, {}});
                    ends.back().pos.push_back(static_cast<uint32_t>(i + 2));
                }
            }
            list.push_back({doc, {1}});
        }
        _FCTLHEAD fs = srchfix::setOf(out, "idx", half, 0);
        fs.fileType = half;
        vozCreateIndexDirectory(&fs, &st);
        voz_IDXopen(&fs, "wb+", &st);
        KEYINFO_0 info{};
        memcpy(info.version, "V4_0", 4);
        info.fixedKeyUnits = 2;
        info.unitWidth = 2;
        info.codeInfo[0] = kCode;
        voz_WriteKeyInfo(&fs, &info, &st);
        auto writeList = [&](const srchfix::List& l, KEY_REC& rec) {
            std::vector<uint8_t> bytes = encodePositionList(l);
            voz_fseek_POSFILE(&fs, -1, &st);
            rec.location = static_cast<uint32_t>(fs.posOffset);
            rec.dataLength = static_cast<uint32_t>(bytes.size());
            rec.docCount = static_cast<uint32_t>(l.size());
            rec.lastDoc = l.back().id;
            voz_fwrite_POSFILE(bytes.data(), static_cast<int32_t>(bytes.size()), &fs, &st);
        };
        std::map<std::string, bool> keys;  // key -> has postings
        for (auto& [g, l] : grams) keys[g] = true;
        for (const std::string& g : stops) keys.emplace(g, false);
        for (auto& [g, has] : keys) {
            KEY_REC rec{};
            rec.kind = VOZ_KIND_FIXED;
            rec.recCount = 1;
            memcpy(rec.key, g.data(), 4);
            if (has) {
                writeList(grams[g], rec);
            } else {
                rec.level = 0x10;
                rec.location = 0xFFFFFFFFu;
                rec.lastDoc = 0xFFFFFFFFu;
            }
            voz_WriteKey(&fs, &info, &rec, 255, nullptr, &st);
        }
        for (auto [slot, l] : {std::make_pair(0, &ends), std::make_pair(38, &list)}) {
            if (l->empty()) continue;
            KEY_REC rec{};
            rec.kind = VOZ_KIND_FIXED;
            rec.recCount = 1;
            writeList(*l, rec);
            voz_WriteKey(&fs, &info, &rec, static_cast<uint8_t>(slot), nullptr, &st);
        }
        info.docCount = static_cast<uint32_t>(docs.size());
        voz_WriteKeyInfo(&fs, &info, &st);
        voz_IDXclose(&fs, &st);
        if (st.retcode == 0) voz_WriteKeyInfo2(&fs, &st);
    }
    // The characters of the gram at index i of t ('\0' past the end).
    static std::string gramOf(const std::string& t, size_t i) {
        return std::string(1, t[i]) + (i + 1 < t.size() ? t[i + 1] : '\0');
    }
    // Units of a text of single-byte characters without blanks at its
    // ends, one unit per character.
    static std::vector<uint8_t> unitsOf(const std::string& t) {
        std::vector<uint8_t> u(t.size() * 2 + 8);
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(t.data()),
                         static_cast<int32_t>(t.size()), u.data(),
                         static_cast<int32_t>(u.size()), &len, 1, nullptr, &st);
        EXPECT_EQ(len, static_cast<int32_t>(2 * t.size())) << t;
        u.resize(static_cast<size_t>(len));
        return u;
    }
    VOZSEARCH* open(GTRSTATUS& st, bool withTemp = false) {
        VOZSEARCH* h = nullptr;
        GTRCREATEPARM p1{}, p2{};
        VOZ_SearchOpen_(&h, "idx", out.c_str(), "KPLQ", "MRNS", "Full", "Item",
                        withTemp ? temp.c_str() : nullptr, &p1, &p2,
                        VOZ_HALF_TEXT, &st, 0);
        return h;
    }
};

inline void closeHandle(VOZSEARCH*& h) {
    GTRSTATUS st{};
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}

// Corpus D5: its words are digit groups (n-gram text under word rule 0).
inline const std::vector<std::string> kD5 = {"123 456. 789", "123 2020",
                                             "456 789 123", "2020",
                                             "3131 123. 456"};

// A suite over one read-only index that kBuild writes into a fresh corpus
// once; each test gets a handle `h` of its own, opened on the index.
template <void (*kBuild)(Corpus&, GTRSTATUS&)>
class BuiltSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        corpus = new Corpus();
        GTRSTATUS st{};
        kBuild(*corpus, st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    static void TearDownTestSuite() {
        delete corpus;
        corpus = nullptr;
    }
    void SetUp() override {
        GTRSTATUS st{};
        h = corpus->open(st);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
    }
    void TearDown() override { closeHandle(h); }
    // The text half's main file set of the open handle.
    IDXINFO* mainSet() { return &h->first.set0[0]; }
    static inline Corpus* corpus = nullptr;
    VOZSEARCH* h = nullptr;
};

// One update cycle of *kDocs, numbered from 0.
template <const std::vector<std::string>* kDocs>
void cycleOf(Corpus& c, GTRSTATUS& st) {
    c.cycle('N', 0, *kDocs, st);
}

// A suite over one read-only index built once from *kDocs through the update
// cycle.
template <const std::vector<std::string>* kDocs>
using CorpusSuite = BuiltSuite<&cycleOf<kDocs>>;

// One query: words and postfix operators. Slots number the words first.
struct Query {
    std::vector<std::vector<uint8_t>> texts;
    std::vector<RTRVWORDEXT> words;
    std::vector<std::vector<int32_t>> operands;
    std::vector<OPEINFO> ops;

    // A 'W' word (normalised); returns its slot.
    int32_t word(const std::string& text, int16_t precision = 100) {
        std::vector<uint8_t> units(text.size() * 4 + 8);
        int32_t len = 0;
        GTRSTATUS st{};
        vozNormalizeWord(kCode, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()), units.data(),
                         static_cast<int32_t>(units.size()), &len, 1, nullptr, &st);
        EXPECT_EQ(st.retcode, 0);
        units.resize(static_cast<size_t>(len));
        return add('W', units, precision);
    }
    // A word of another kind with raw bytes (a back reference's path, ...).
    int32_t add(char kind, const std::vector<uint8_t>& bytes,
                int16_t precision = 100) {
        texts.push_back(bytes);
        RTRVWORDEXT w;
        memset(&w, 0, sizeof w);
        w.wi.type = kind;
        w.wi.wordlen = static_cast<int16_t>(bytes.size());
        w.wi.precision = precision;
        w.unit_width = 2;
        w.cut_function = Func_CutIntoPart[0];
        w.word_no = static_cast<int16_t>(words.size());
        words.push_back(w);
        return static_cast<int32_t>(words.size()) - 1;
    }
    // An operator over earlier slots; returns its slot.
    int32_t op(char kind, std::vector<int32_t> opnds, int16_t distance = 0,
               char mode = 'S') {
        operands.push_back(std::move(opnds));
        OPEINFO o;
        memset(&o, 0, sizeof o);
        o.op_kind = kind;
        o.op_mode = mode;
        o.op_distance = distance;
        o.op_count = static_cast<int32_t>(operands.back().size());
        ops.push_back(o);
        return static_cast<int32_t>(words.size() + ops.size()) - 1;
    }
    // Fixes the pointers once the query is complete.
    void finish() {
        for (size_t i = 0; i < words.size(); ++i) words[i].wi.wordp = texts[i].data();
        for (size_t i = 0; i < ops.size(); ++i) {
            ops[i].op_operands = operands[i].data();
            ops[i].op_slot = static_cast<int16_t>(words.size() + i);
        }
    }
};

// Everything a search gives back.
struct Outcome {
    GTRSTATUS st{};
    GTRSEARCH_RES res{};
    std::vector<OCC> occs;
    std::set<int32_t> docs;
    std::vector<int32_t> wordCounts;
    int32_t estimates[2] = {0, 0};
};

// Extra arguments of a search.
struct Options {
    int32_t limit = 0;
    int32_t expansion = 0;
    GTRSEARCH_RES* scope = nullptr;
    GTRSKIPFUNCINFO* skip = nullptr;
    uint8_t form = 1;
    int estimateOnly = 0;
    int32_t ceilings[2] = {VOZ_DOC_END, VOZ_DOC_END};
    bool keepResult = false;   // leave the result handle in out.res
};

// Reads every occurrence of a memory result.
inline std::vector<OCC> readAll(GTRSEARCH_RES& res) {
    std::vector<OCC> v;
    auto* r = static_cast<VOZRESULT*>(res.res_handle);
    if (r == nullptr) return v;
    GTRSTATUS st{};
    VOZ_ResultOpen(r, &st);
    v.resize(static_cast<size_t>(res.result_occnum));
    if (!v.empty()) VOZ_ResultRead(r, 0, res.result_occnum, v.data(), &st);
    EXPECT_TRUE(st.retcode == 0 || st.retcode == 123) << st.retcode << "/" << st.errcode;
    GTRSTATUS cst{};
    VOZ_ResultClose(r, &cst);
    return v;
}

inline void releaseResult(GTRSEARCH_RES& res) {
    if (res.res_handle == nullptr) return;
    GTRSTATUS st{};
    VOZ_ResultRelease(static_cast<VOZRESULT*>(res.res_handle), &st);
    res.res_handle = nullptr;
}

inline Outcome run(VOZSEARCH* h, Query& q, const Options& o = Options()) {
    q.finish();
    Outcome out;
    out.res.res_type = GTR_RES_HANDLE;
    out.res.res_dataform = o.form;
    out.wordCounts.assign(q.words.size(), -7);
    out.res.term_docnum = out.wordCounts.data();
    out.res.term_docnum_max = static_cast<int32_t>(q.words.size());
    VOZ_Search_(h, &out.res, static_cast<int32_t>(q.words.size()), q.words.data(),
                static_cast<int32_t>(q.ops.size()), q.ops.data(), nullptr, o.scope,
                o.limit, o.expansion, 0, static_cast<int32_t>(q.words.size()),
                nullptr, o.skip, o.ceilings, out.estimates, &out.st, o.estimateOnly);
    out.occs = readAll(out.res);
    for (const OCC& x : out.occs) out.docs.insert(x.docno);
    if (!o.keepResult) releaseResult(out.res);
    return out;
}

// The (document, position) pairs of a search's occurrences, in order.
using Hits = std::vector<std::pair<int32_t, int32_t>>;

inline Hits hitsOf(const Outcome& o) {
    Hits h;
    for (const OCC& x : o.occs) h.push_back({x.docno, x.pos});
    return h;
}

}  // namespace s2fix

#endif  // TESTS_ITL_BASE_SEARCH_SEARCH2_FIXTURE_HPP
