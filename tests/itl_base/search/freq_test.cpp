// Term-frequency output: the record layout and term order (byte-exact),
// records of whole searches over corpus D5 (visited documents only, word
// numbers from the query, document sizes from the document list, counts
// taken before block ranges), and a short write.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "files/voz_file.hpp"
#include "search/voz_freq.hpp"
#include "search2_fixture.hpp"

using namespace s2fix;

namespace {

using Bytes = std::vector<uint8_t>;

void le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void leFloat(Bytes& b, float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    le32(b, v);
}

// The record the file must hold: document, size, two zeros, the entries.
Bytes record(int32_t doc, int32_t size,
             const std::vector<std::pair<int32_t, float>>& entries) {
    Bytes b;
    le32(b, static_cast<uint32_t>(doc));
    le32(b, static_cast<uint32_t>(size));
    le32(b, 0);
    le32(b, 0);
    le32(b, static_cast<uint32_t>(entries.size()));
    for (auto [t, c] : entries) {
        le32(b, static_cast<uint32_t>(t));
        leFloat(b, c);
    }
    return b;
}

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(FreqRecord, TermsInNumberOrderWithoutEmptyOnes) {
    TempDir tmp("freq");
    std::string path = tmp.path() + "/f";
    // term numbers 3, 1, -1 (not written), 1, 0: ascending, equal numbers
    // in word order; words whose counter is 0 left out.
    const int32_t terms[] = {3, 1, -1, 1, 0};
    const int32_t counts[] = {2, 5, 9, 0, 1};
    _WCTLHEAD words[5] = {};
    for (int i = 0; i < 5; ++i) {
        words[i].term_no = terms[i];
        words[i].docCounters[0] = counts[i];
    }
    IDXINFO index{};
    FREQCTL fc;
    GTRSTATUS st{};
    voz_InitFreq(&fc, words, 5, &index, &st);
    ASSERT_EQ(st.retcode, 0);
    ASSERT_EQ(fc.nterms, 4);
    EXPECT_EQ(std::vector<int32_t>(fc.order, fc.order + 4),
              (std::vector<int32_t>{4, 1, 3, 0}));
    FILE_CONTROL* f = voz_XXopenEx(path.c_str(), "wb", 0);
    ASSERT_NE(f, nullptr);
    VVGDOCINFO info{};
    info.vvgId = 7;
    info.fromWord = 1;  // mapped from a word's raw occurrence: size 0
    voz_WriteFreq(&fc, words, 5, &index, &info, f, &st);
    for (_WCTLHEAD& w : words) w.docCounters[0] = w.term_no < 0 ? 4 : 0;
    info.vvgId = 8;     // only the unnumbered word occurs: no record
    voz_WriteFreq(&fc, words, 5, &index, &info, f, &st);
    EXPECT_EQ(st.retcode, 0);
    voz_XXclose(f);
    voz_TermFreq(&fc);
    EXPECT_EQ(fc.entries, nullptr);
    EXPECT_EQ(fileBytes(path), record(7, 0, {{0, 1.0f}, {1, 5.0f}, {3, 2.0f}}));
}

TEST(FreqRecord, ShortWriteNamesTheFile) {
    _WCTLHEAD word{};
    word.term_no = 0;
    word.docCounters[0] = 1;
    IDXINFO index{};
    FREQCTL fc;
    GTRSTATUS st{};
    voz_InitFreq(&fc, &word, 1, &index, &st);
    FILE_CONTROL* f = voz_XXopenEx("/dev/full", "wb", 0);
    ASSERT_NE(f, nullptr);
    VVGDOCINFO info{};
    info.fromWord = 1;
    for (int32_t d = 0; d < 1000000 && st.retcode == 0; ++d) {
        info.vvgId = d;
        voz_WriteFreq(&fc, &word, 1, &index, &info, f, &st);
    }
    S2_STATUS(st, 5, 706);
    EXPECT_STREQ(st.errfname1, "FREQUENCY_FILE");
    EXPECT_EQ(st.system_errno, ENOSPC);
    voz_XXclose(f);
    voz_TermFreq(&fc);
}

class FreqSearch : public CorpusSuite<&kD5> {
protected:
    // Runs q with a term-frequency file and returns the file's bytes.
    Bytes search(Query& q, GTRSTATUS& st, RANKPARM* rank = nullptr) {
        q.finish();
        std::string path = corpus->tmp.path() + "/freq";
        remove(path.c_str());
        GTRSEARCH_RES res{};
        res.res_type = GTR_RES_HANDLE;
        res.res_dataform = 1;
        VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(),
                    static_cast<int32_t>(q.ops.size()), q.ops.data(), rank, nullptr,
                    0, 0, 0, 0, path.c_str(), nullptr, nullptr, nullptr, &st, 0);
        releaseResult(res);
        return fileBytes(path);
    }
};

// Size of a document as its document-list entry records it: its units.
int32_t sizeOf(int32_t doc) { return static_cast<int32_t>(kD5[static_cast<size_t>(doc)].size()); }

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(FreqSearch, UnrankedOrWritesOneRecordPerVisitedDocument) {
    Query q;
    q.op('O', {q.word("123"), q.word("456")});
    GTRSTATUS st{};
    Bytes got = search(q, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    Bytes doc1 = record(1, sizeOf(1), {{0, 1.0f}});
    EXPECT_EQ(doc1.size(), 28u);
    EXPECT_EQ(got, concat({record(0, sizeOf(0), {{0, 1.0f}, {1, 1.0f}}), doc1,
                           record(2, sizeOf(2), {{0, 1.0f}, {1, 1.0f}}),
                           record(4, sizeOf(4), {{0, 1.0f}, {1, 1.0f}})}));
}

TEST_F(FreqSearch, VisitedDocumentsCountEvenWithoutAHit) {
    // AND(123, 456) hits 0, 2, 4 but visits 1 as well; the unnumbered
    // word 2020 gives document 3 no record.
    Query q;
    int32_t a = q.word("123"), b = q.word("456"), c = q.word("2020");
    q.words[static_cast<size_t>(c)].word_no = -1;
    q.words[static_cast<size_t>(b)].word_no = 5;
    q.op('O', {q.op('A', {a, b}), c});
    GTRSTATUS st{};
    Bytes got = search(q, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(got, concat({record(0, sizeOf(0), {{0, 1.0f}, {5, 1.0f}}),
                           record(1, sizeOf(1), {{0, 1.0f}}),
                           record(2, sizeOf(2), {{0, 1.0f}, {5, 1.0f}}),
                           record(4, sizeOf(4), {{0, 1.0f}, {5, 1.0f}})}));
}

TEST_F(FreqSearch, OccurrencesOutsideTheWordsBlocksStillCount) {
    // "123" lies in sentence 1 everywhere: no hit, yet every occurrence
    // seen is counted.
    static RTRVRANGE second{2, 2};
    Query q;
    int32_t w = q.word("123");
    q.op('O', {w});
    q.words[0].wi.rangenum = 1;
    q.words[0].wi.range = &second;
    GTRSTATUS st{};
    Bytes got = search(q, st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    Bytes want;
    for (int32_t d : {0, 1, 2, 4}) {
        Bytes r = record(d, sizeOf(d), {{0, 1.0f}});
        want.insert(want.end(), r.begin(), r.end());
    }
    EXPECT_EQ(got, want);
}

TEST_F(FreqSearch, RankingWithAFrequencyFileIsRefused) {
    RANKPARM rank{};
    rank.rank_kind = 'S';
    rank.rank_limit = 10;
    Query q;
    q.op('O', {q.word("123")});
    GTRSTATUS st{};
    search(q, st, &rank);
    S2_STATUS(st, 2, 1423);
}

}  // namespace
