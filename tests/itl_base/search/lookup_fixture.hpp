// Test support for the word lookups over n-gram indexes: an index built by
// a creation cycle from documents of plain text (one unit per character:
// the character, then a zero byte; every position keyed by the n-gram that
// starts there, zero-filled at the end of the text), a brute-force oracle
// of a word's hits, a search word, and a walk of a word control through its
// next-hit operation. Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_LOOKUP_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_LOOKUP_FIXTURE_HPP

#include <unistd.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "build/voz_createend.hpp"
#include "build/voz_creatwrk.hpp"
#include "build/voz_pattpool.hpp"
#include "search/voz_wordctl.hpp"
#include "search_fixture.hpp"

namespace lookfix {

using namespace srchfix;

// A hit as (document, position).
using Hit = std::pair<int32_t, int32_t>;
using Hits = std::vector<Hit>;

// Units of a text: each character, then a zero byte.
inline std::string units(const std::string& text) {
    std::string u;
    for (char c : text) {
        u += c;
        u += '\0';
    }
    return u;
}

// An index "idx" built from `docs` (document i = docs[i]) with n-gram
// length n, opened for search.
struct NgramIndex {
    TempDir dir{"lookup"};
    VOZSEARCH* h = nullptr;
    GTRSTATUS st{};

    NgramIndex(const std::vector<std::string>& docs, int n) {
        build(docs, n);
        if (st.retcode == 0) h = openText(dir.path(), "idx", st);
    }
    ~NgramIndex() {
        GTRSTATUS ignored{};
        VOZ_SearchClose_(h, &ignored, 0);
        VOZ_SearchRelease(&h, &ignored);
    }
    NgramIndex(const NgramIndex&) = delete;
    NgramIndex& operator=(const NgramIndex&) = delete;
    IDXINFO* set() { return &h->first.set0[0]; }

private:
    void build(const std::vector<std::string>& docs, int n) {
        GTRCREATEPARM p;
        memset(&p, 0, sizeof p);
        p.fixedKeyUnits = static_cast<int16_t>(n);
        p.headKeyUnits = 3;
        p.inputUnitWidth = 2;
        p.storedUnitWidth = 2;
        p.codeInfo[0] = 1;
        p.options[2] = 8;
        GTRSYSPARM sys;
        memset(&sys, 0, sizeof sys);
        sys.poolsize = 1 << 20;
        sys.poolsizedelta = 8192;
        sys.displaylog = 'N';
        std::string work = dir.path() + "/work";
        mkdir(work.c_str(), 0770);
        CREATWRK* cwp = nullptr;
        int32_t maxDoc = 0;
        VOZ_createIndexInit(&cwp, "idx", dir.path().c_str(), nullptr, nullptr,
                            work.c_str(), 'N', 'B', p, &sys, &maxDoc, &st);
        if (st.retcode != 0) return;
        for (size_t d = 0; d < docs.size() && st.retcode == 0; ++d) {
            std::string u = units(docs[d]);
            int32_t len = static_cast<int32_t>(docs[d].size());
            for (int32_t i = 0; i < len && st.retcode == 0; ++i) {
                std::string gram = u.substr(2 * static_cast<size_t>(i),
                                            2 * static_cast<size_t>(n));
                gram.resize(2 * static_cast<size_t>(n), '\0');
                VOZ_pattPool(cwp, ')', reinterpret_cast<const uint8_t*>(gram.data()),
                             static_cast<int32_t>(d), i + 1, 0, &st);
            }
            VOZ_pattPool(cwp, '&', nullptr, static_cast<int32_t>(d),
                         len > 0 ? len : 1, 0, &st);
        }
        if (st.retcode == 0) VOZ_createIndexLast(cwp, &st);
        GTRSTATUS t{};
        VOZ_createIndexTerm(cwp, st.retcode == 0 ? 'G' : 'C', &t);
        if (st.retcode == 0) st = t;
    }
};

// Empties the position file of `set` behind its open handle (the file is
// kept as a directory of parts; its first part holds the postings here).
inline void emptyPositionFile(IDXINFO* set) {
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &set->fctl, VOZ_FT_POS);
    std::string part = std::string(name) + "/0000";
    ASSERT_EQ(truncate(part.c_str(), 0), 0) << part;
}

// Every (document, position) where `word` stands in the documents.
inline Hits oracle(const std::vector<std::string>& docs, const std::string& word) {
    Hits h;
    for (size_t d = 0; d < docs.size(); ++d)
        for (size_t at = docs[d].find(word); at != std::string::npos;
             at = docs[d].find(word, at + 1))
            h.push_back({static_cast<int32_t>(d), static_cast<int32_t>(at + 1)});
    return h;
}

// A search word of kind 'W' over its own units.
struct Word {
    std::string bytes;
    RTRVWORDEXT ext;
    explicit Word(const std::string& text) : bytes(units(text)) {
        memset(&ext, 0, sizeof ext);
        ext.wi.type = 'W';
        ext.wi.precision = 100;
        ext.wi.wordp = reinterpret_cast<uint8_t*>(&bytes[0]);
        ext.wi.wordlen = static_cast<int16_t>(bytes.size());
        ext.unit_width = 2;
    }
    Word(const Word&) = delete;
    Word& operator=(const Word&) = delete;
};

// The word as 3-byte units (a UTF-8 code page's word over an index of
// 2-byte stored units): each character c becomes (c, 64, 6), which packs
// into the stored unit (c, (64 AND 63) + (6 mod 6) x 64) = (c, 0).
inline void useThreeByteUnits(Word& word, const std::string& text) {
    word.bytes.clear();
    for (char c : text) word.bytes += std::string{c, 64, 6};
    word.ext.wi.wordp = reinterpret_cast<uint8_t*>(&word.bytes[0]);
    word.ext.wi.wordlen = static_cast<int16_t>(word.bytes.size());
    word.ext.unit_width = 3;
}

// A cleared word control.
inline _WCTLHEAD control() {
    _WCTLHEAD w;
    memset(&w, 0, sizeof w);
    return w;
}

// Walks w with resume targets until it ends; every hit's length must be
// `len`.
inline Hits walk(_WCTLHEAD& w, IDXINFO* set, GTRSTATUS& st, int32_t len) {
    Hits h;
    for (int guard = 0; guard < 1000000 && w.nextHit != nullptr; ++guard) {
        w.nextHit(&w, set, nullptr, nullptr, -1, 0, &st);
        if (st.retcode != 0 || w.cur.docno == VOZ_DOC_END) break;
        EXPECT_EQ(w.cur.len, len);
        EXPECT_EQ(w.cur.match, 100);
        h.push_back({w.cur.docno, w.cur.pos});
    }
    return h;
}

// An index "idx" written from `spec` by the storage's writers (trigrams),
// opened for search.
struct SpecIndex {
    TempDir dir{"lookspec"};
    VOZSEARCH* h = nullptr;
    GTRSTATUS st{};
    explicit SpecIndex(const SetSpec& spec) {
        writeSet(dir.path(), "idx", 0, 0, spec, st);
        if (st.retcode == 0) h = openText(dir.path(), "idx", st);
    }
    ~SpecIndex() {
        GTRSTATUS ignored{};
        VOZ_SearchClose_(h, &ignored, 0);
        VOZ_SearchRelease(&h, &ignored);
    }
    SpecIndex(const SpecIndex&) = delete;
    SpecIndex& operator=(const SpecIndex&) = delete;
    IDXINFO* set() { return &h->first.set0[0]; }
};

// A key without postings.
inline Key stopKey(const std::string& text) {
    Key k{units(text), {}};
    k.noPostings = true;
    return k;
}

// The word is at its end and holds nothing.
inline void expectEnded(const _WCTLHEAD& w) {
    EXPECT_EQ(w.cur.docno, VOZ_DOC_END);
    EXPECT_EQ(w.endFlag, 'Y');
    EXPECT_EQ(w.nextHit, voz_GetOneWordNoOcc);
    EXPECT_EQ(w.priv, nullptr);
}

// One call of a next-hit operation and the hit it must leave.
struct Step {
    int32_t doc, pos;
    Hit want;
};

// Runs the steps in order; the word must be at its end afterwards.
inline void runSteps(_WCTLHEAD& w, IDXINFO* set, const std::vector<Step>& steps) {
    GTRSTATUS st{};
    for (const Step& s : steps) {
        w.nextHit(&w, set, nullptr, nullptr, s.doc, s.pos, &st);
        ASSERT_OK(st);
        EXPECT_EQ(Hit(w.cur.docno, w.cur.pos), s.want) << s.doc << "," << s.pos;
    }
    expectEnded(w);
}

// Opens a memory answer set, lets `init` install a word with the write-all
// flag into w, calls its next-hit operation once and returns the
// occurrences written; the word must be at its end after that one call.
template <typename Init>
std::vector<OCC> writeAllHits(IDXINFO* set, Init init) {
    _WCTLHEAD w = control();
    GTRSTATUS st{};
    ANSWERFORM a;
    GTRSEARCH_RES res = memRes();
    voz_OpenAnswer(&a, nullptr, 0, &res, nullptr, nullptr, &st);
    init(&w, &a, &st);
    EXPECT_EQ(st.retcode, 0);
    w.nextHit(&w, set, nullptr, &a, -1, 0, &st);
    EXPECT_EQ(st.retcode, 0);
    expectEnded(w);
    std::vector<OCC> out;
    for (int32_t i = 0; i < a.occCount; ++i) out.push_back(*voz_OccAt(a.pages, i));
    voz_CloseAnswer(&a, &st);
    voz_ReleaseAnswer(&a);
    return out;
}

// Random documents over `alphabet`.
inline std::vector<std::string> randomDocs(std::mt19937& rng, int count,
                                           int maxLen, const std::string& alphabet) {
    std::vector<std::string> docs;
    for (int d = 0; d < count; ++d) {
        std::string s;
        int len = 1 + static_cast<int>(rng() % static_cast<uint32_t>(maxLen));
        for (int i = 0; i < len; ++i) s += alphabet[rng() % alphabet.size()];
        docs.push_back(s);
    }
    return docs;
}

}  // namespace lookfix

#endif  // TESTS_ITL_BASE_SEARCH_LOOKUP_FIXTURE_HPP
