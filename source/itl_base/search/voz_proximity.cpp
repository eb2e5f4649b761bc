// voz_proximity.cpp -- the search for the best arrangement of a 'P'
// operator's operands (see voz_proximity.hpp).
#include "search/voz_proximity.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Positions on either side of the previous pick that a next pick may lie.
constexpr int64_t kWindow = 1000;
constexpr float kScoreConstant = 100.0f;
// Arrangements tried per document at most: the search is exhaustive for
// ordinary queries, but many operands each met often in one document
// would make it exponential (a fuzzed query of 40 words took minutes);
// beyond the budget the best score found so far stands.
constexpr int64_t kMaxSteps = int64_t(1) << 18;

struct ProxSearch {
    const OCC* occ;
    const OCCSUPP* supp;
    const OPPARM* op;
    float orderPenalty;
    int32_t n;                              // operands
    std::vector<std::vector<int32_t>> cand; // per operand, by position
    std::vector<int32_t> chosen;            // per operand: occ index, -1
    std::vector<int32_t> byPos;             // chosen occ indexes by position
    float best;
    int64_t steps = 0;                      // recurse calls so far

    int64_t pos(int32_t j) const { return occ[j].pos; }
    int64_t end(int32_t j) const { return int64_t(occ[j].pos) + occ[j].len; }

    bool overlaps(int32_t j) const {
        for (int32_t k : byPos)
            if (pos(j) < end(k) && pos(k) < end(j)) return true;
        return false;
    }
    void score();
    void tryPick(int32_t level, int32_t included, int32_t j);
    void recurse(int32_t level, int32_t included);
};

// Scores the current choice (at least two picks).
void ProxSearch::score() {
    int32_t c = static_cast<int32_t>(byPos.size());
    if (c < 2) return;
    // Expected gap after each chosen operand, in query order: its own gap
    // units plus those of the skipped operands up to the next chosen one.
    std::vector<int64_t> expected;
    for (int32_t k = 0; k < n; ++k) {
        int64_t g = op->opnd_recs[k]->gapUnits;
        if (chosen[k] >= 0) expected.push_back(g);
        else if (!expected.empty()) expected.back() += g;
    }
    int64_t gaps = 0;
    float p = 1.0f;
    for (int32_t i = 0; i + 1 < c; ++i) {
        int32_t a = byPos[i], b = byPos[i + 1];
        gaps += std::llabs(pos(b) - end(a) - expected[i]);
        if (occ[b].node < occ[a].node) p -= orderPenalty / static_cast<float>(n - 1);
    }
    float s = static_cast<float>(c) *
              (kScoreConstant / (static_cast<float>(gaps) + kScoreConstant)) * p /
              static_cast<float>(n);
    best = std::max(best, s);
}

void ProxSearch::tryPick(int32_t level, int32_t included, int32_t j) {
    if (overlaps(j)) return;
    auto at = std::upper_bound(byPos.begin(), byPos.end(), j,
                               [this](int32_t x, int32_t y) { return pos(x) < pos(y); });
    at = byPos.insert(at, j);
    chosen[level] = j;
    recurse(level + 1, included);
    byPos.erase(std::find(byPos.begin(), byPos.end(), j));
    chosen[level] = -1;
}

void ProxSearch::recurse(int32_t level, int32_t included) {
    if (++steps > kMaxSteps) return;
    if (level == n) return score();
    const std::vector<int32_t>& list = cand[level];
    int32_t prev = -1;
    for (int32_t k = level - 1; k >= 0 && prev < 0; --k) prev = chosen[k];
    if (op->opnd_recs[level]->hit != 0) {
        if (prev < 0) {
            for (int32_t j : list) tryPick(level, included, j);
        } else {
            // Candidates from p onwards by position, then before it going
            // back, each side while inside the window.
            auto mid = std::lower_bound(list.begin(), list.end(), pos(prev),
                                        [this](int32_t x, int64_t p) { return pos(x) < p; });
            bool unit = op->kind == VOZ_OP_DIST;
            for (auto it = mid; it != list.end() && pos(*it) <= end(prev) + kWindow; ++it)
                if (!unit || supp[*it].unit_no == supp[prev].unit_no)
                    tryPick(level, included, *it);
            for (auto it = mid; it != list.begin();) {
                --it;
                if (end(*it) < pos(prev) - kWindow) break;
                if (!unit || supp[*it].unit_no == supp[prev].unit_no)
                    tryPick(level, included, *it);
            }
        }
    }
    // A choice can score at most its share of included operands.
    if (included >= 3 && static_cast<float>(included - 1) / static_cast<float>(n) > best) {
        chosen[level] = -1;
        recurse(level + 1, included - 1);
    }
}

}  // namespace

PROXIMITY_OPTION voz_ProximityOptions(const RANKPARM* rank) {
    PROXIMITY_OPTION o{0.0f, 0.0f};
    if (rank == nullptr || rank->rank_weights == nullptr) return o;
    o.order_penalty = rank->rank_weights[0];
    o.prox_share = rank->rank_weights[1];
    return o;
}

float voz_ProximityRanking(_WCTLHEAD* /*nodes*/, const OCC* occ,
                           const OCCSUPP* supp, int32_t nocc, const OPPARM* op,
                           const RANKPARM* rank, float start) {
    if (op->nopnd < 2) return 0.0f;
    ProxSearch s{occ, supp, op, voz_ProximityOptions(rank).order_penalty,
                 op->nopnd, {}, {}, {}, start};
    s.cand.resize(static_cast<size_t>(s.n));
    s.chosen.assign(static_cast<size_t>(s.n), -1);
    for (int32_t j = 0; j < nocc; ++j) {
        if (!supp[j].enabled || occ[j].len == 0) continue;
        for (int32_t k = 0; k < s.n; ++k)
            if (op->opnd_nos[k] == supp[j].node) s.cand[k].push_back(j);
    }
    for (auto& list : s.cand)
        std::stable_sort(list.begin(), list.end(),
                         [occ](int32_t x, int32_t y) { return occ[x].pos < occ[y].pos; });
    s.recurse(0, s.n);
    return s.best;
}
