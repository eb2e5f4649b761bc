// Test support for ranked searches over corpus D5: a shared index and a
// runner that passes ranking parameters and returns the ranked entries.
#ifndef TESTS_ITL_BASE_SEARCH_RANK_FIXTURE_HPP
#define TESTS_ITL_BASE_SEARCH_RANK_FIXTURE_HPP

#include <vector>

#include "search2_fixture.hpp"

namespace rankfix {

using namespace s2fix;

using D5Ranked = CorpusSuite<&kD5>;

struct Ranked {
    GTRSTATUS st{};
    std::vector<GTRRANKDOC> docs;  // in rank order
    std::vector<OCC> occs;
};

// Runs `q` ranked: flags, limit, optional callback and weight table.
inline Ranked runRanked(VOZSEARCH* h, Query& q, uint8_t flags, int32_t limit,
                        GTRRANKFUNCINFO* user = nullptr, float* weights = nullptr) {
    q.finish();
    Ranked out;
    std::vector<GTRRANKDOC> docs(static_cast<size_t>(limit < 16 ? limit : 16));
    RANKPARM rp{};
    rp.rank_flags = flags;
    rp.rank_kind = 'S';
    rp.rank_docs = reinterpret_cast<uint8_t*>(docs.data());
    rp.rank_limit = limit;
    rp.rank_user = user;
    float defaults[8] = {0.2f, 0.5f};
    rp.rank_weights = weights != nullptr ? weights : defaults;
    GTRSEARCH_RES res{};
    res.res_type = GTR_RES_HANDLE;
    res.res_dataform = 1;
    std::vector<int32_t> counts(q.words.size());
    res.term_docnum = counts.data();
    res.term_docnum_max = static_cast<int32_t>(q.words.size());
    int32_t ceilings[2] = {VOZ_DOC_END, VOZ_DOC_END}, est[2] = {0, 0};
    VOZ_Search_(h, &res, static_cast<int32_t>(q.words.size()), q.words.data(),
                static_cast<int32_t>(q.ops.size()), q.ops.data(), &rp, nullptr, 0, 0,
                0, static_cast<int32_t>(q.words.size()), nullptr, nullptr, ceilings,
                est, &out.st, 0);
    out.occs = readAll(res);
    releaseResult(res);
    int32_t n = res.result_docnum < static_cast<int32_t>(docs.size())
                    ? res.result_docnum
                    : static_cast<int32_t>(docs.size());
    docs.resize(static_cast<size_t>(n > 0 ? n : 0));
    out.docs = docs;
    return out;
}

inline std::vector<int32_t> docOrder(const Ranked& r) {
    std::vector<int32_t> v;
    for (const GTRRANKDOC& d : r.docs) v.push_back(d.docno);
    return v;
}

}  // namespace rankfix

#endif  // TESTS_ITL_BASE_SEARCH_RANK_FIXTURE_HPP
