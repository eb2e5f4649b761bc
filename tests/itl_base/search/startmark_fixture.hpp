// Test support for lookups with option 'S': an n-gram index over plain
// text (as lookfix::NgramIndex builds it) that also keys every word start
// as a begin-mark unit followed by the word's first unit, at the position
// of that unit; and the table of alternate characters of a search word.
// Header-only.
#ifndef TESTS_ITL_BASE_SEARCH_STARTMARK_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_STARTMARK_FIXTURE_HPP

#include <string>
#include <vector>

#include "characters/voz_cut.hpp"
#include "lookup_fixture.hpp"

namespace startfix {

using namespace lookfix;

// An index "idx" over `docs` with n-gram length n and word-start keys
// (a word starts at the text start and after a blank).
struct StartIndex {
    TempDir dir{"startmark"};
    VOZSEARCH* h = nullptr;
    GTRSTATUS st{};

    StartIndex(const std::vector<std::string>& docs, int n) {
        build(docs, n);
        if (st.retcode == 0) h = openText(dir.path(), "idx", st);
    }
    ~StartIndex() {
        GTRSTATUS ignored{};
        VOZ_SearchClose_(h, &ignored, 0);
        VOZ_SearchRelease(&h, &ignored);
    }
    StartIndex(const StartIndex&) = delete;
    StartIndex& operator=(const StartIndex&) = delete;
    IDXINFO* set() { return &h->first.set0[0]; }

private:
    void pool(CREATWRK* cwp, std::string key, int n, int32_t d, int32_t pos) {
        key.resize(2 * static_cast<size_t>(n), '\0');
        VOZ_pattPool(cwp, ')', reinterpret_cast<const uint8_t*>(key.data()), d, pos,
                     0, &st);
    }
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
        uint8_t mark[2] = {0, 0};
        vozCHmarkUnit_Set('B', mark, p.options[2], 2);
        for (size_t d = 0; d < docs.size() && st.retcode == 0; ++d) {
            const std::string& text = docs[d];
            std::string u = units(text);
            int32_t len = static_cast<int32_t>(text.size());
            for (int32_t i = 0; i < len && st.retcode == 0; ++i) {
                int32_t id = static_cast<int32_t>(d);
                pool(cwp, u.substr(2 * static_cast<size_t>(i), 2 * static_cast<size_t>(n)),
                     n, id, i + 1);
                if (text[i] != ' ' && (i == 0 || text[i - 1] == ' '))
                    pool(cwp, std::string(reinterpret_cast<char*>(mark), 2) +
                                  u.substr(2 * static_cast<size_t>(i), 2),
                         n, id, i + 1);
            }
            VOZ_pattPool(cwp, '&', nullptr, static_cast<int32_t>(d), len > 0 ? len : 1,
                         0, &st);
        }
        if (st.retcode == 0) VOZ_createIndexLast(cwp, &st);
        GTRSTATUS t{};
        VOZ_createIndexTerm(cwp, st.retcode == 0 ? 'G' : 'C', &t);
        if (st.retcode == 0) st = t;
    }
};

// Alternatives of a word's units: entry i serves unit i.
struct Alternates {
    std::vector<VOZALTERENTRY> table;
    explicit Alternates(size_t units) : table(units + 1) {
        memset(table.data(), 0, table.size() * sizeof(VOZALTERENTRY));
    }
    // Adds character c as an alternative of unit `unit` with `weight`.
    void add(size_t unit, char c, int16_t weight) {
        VOZALTERENTRY& e = table[unit];
        VOZALTERCHAR& a = e.alter[e.count++];
        a.unit[0] = static_cast<uint8_t>(c);
        a.weight = weight;
    }
};

}  // namespace startfix

#endif  // TESTS_ITL_BASE_SEARCH_STARTMARK_FIXTURE_HPP
