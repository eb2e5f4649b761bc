// voz_ranking.cpp -- word and operator scores (see voz_ranking.hpp).
#include "search/voz_ranking.hpp"

#include <algorithm>

#include "search/voz_proximity.hpp"

namespace {

constexpr float p_w = 0.35f;       // floor of a word's score
constexpr float p_T = 0.3f;        // floor of the term-count factor
constexpr float kk = 0.3f;         // weight of the document length
constexpr int64_t dsizeUnit = 1024;  // length unit of the size estimate
constexpr float p_and = 0.01f;     // smallest operand in AND and NOT
constexpr float p_or = 0.99f;      // largest operand in OR
constexpr float p_I = 0.0f;        // floor of the document-frequency weight

float wordScore(const _WCTLHEAD* w, uint8_t flags, float lengthFactor) {
    if (!(w->hit > 0)) return 0.0f;
    if (w->kind == 'D' || w->kind == 'E' || w->kind == 'F' ||
        (w->kind == 'B' && w->max_len == 0))
        return 1.0f;
    if ((flags & 0x10) == 0) return p_w + (1.0f - p_w) * w->idf;
    float t = w->hit / 100.0f;
    return p_w + (1.0f - p_w) * (p_T + (1.0f - p_T) * t / (t + lengthFactor)) * w->idf;
}

void operatorScore(OPPARM* op, uint8_t flags, float lambda) {
    _WCTLHEAD* self = op->node_rec;
    self->score = 0.0f;
    float lo = 0.0f, hi = 0.0f, sum = 0.0f;
    for (int32_t k = 0; k < op->nopnd; ++k) {
        _WCTLHEAD* o = op->opnd_recs[k];
        if (flags & 0x01) o->score *= o->rank;
        float s = op->kind == VOZ_OP_NOT && k > 0 ? 1.0f - o->score : o->score;
        lo = k == 0 ? s : std::min(lo, s);
        hi = k == 0 ? s : std::max(hi, s);
        sum += s;
    }
    float avg = op->opnd_weight_sum != 0.0f ? sum / op->opnd_weight_sum : 0.0f;
    float n = static_cast<float>(op->nopnd);
    switch (op->kind) {
    case VOZ_OP_AND:
    case VOZ_OP_NOT: self->score = p_and * lo + (1.0f - p_and) * avg; break;
    case VOZ_OP_OR: self->score = p_or * hi + (1.0f - p_or) * avg; break;
    case VOZ_OP_DIST:
        self->score = op->best_units == op->nopnd
                          ? avg
                          : 0.5f * (avg + avg * static_cast<float>(op->best_units) / n);
        break;
    default: break;
    }
    if (op->subkind == VOZ_SUB_PROX)
        self->score = (1.0f - lambda) * self->score + lambda * self->prox;
}

}  // namespace

void voz_InitRanking(_WCTLHEAD* words, int32_t nword, const IDXINFO* index,
                     const RANKPARM* rank, GTRSTATUS* /*st*/) {
    const uint32_t docs = index != nullptr ? index->info.docCount : 0;
    const bool useIdf = rank != nullptr && (rank->rank_flags & 0x20) != 0;
    for (int32_t i = 0; i < nword; ++i) {
        _WCTLHEAD* w = &words[i];
        if (!(w->df > 0) && w->docEstimate > 0) w->df = static_cast<float>(w->docEstimate);
        w->idf = 1.0f;
        if (useIdf && w->df >= 1.0f && w->kind != 'B') {
            uint32_t df = static_cast<uint32_t>(w->df);
            w->idf = p_I + (1.0f - p_I) * static_cast<float>(docs) /
                               static_cast<float>(static_cast<uint32_t>(docs + df));
        }
        w->score = 0.0f;
    }
}

void voz_EvaluateWithRank(OPPARM* ops, int32_t nop, _WCTLHEAD* words,
                          int32_t nword, const RANKPARM* rank,
                          const IDXINFO* /*index*/, const VVGDOCINFO* /*vvg*/,
                          const OCC* occ, int32_t nocc, GTRSTATUS* /*st*/) {
    if (rank == nullptr || nop < 1) return;
    const uint8_t flags = rank->rank_flags;
    // The document's size is estimated from the end of its last occurrence.
    int64_t last = 0;
    for (int32_t i = 0; i < nocc; ++i)
        last = std::max<int64_t>(last, int64_t(occ[i].pos) + occ[i].len);
    float lengthFactor = static_cast<float>(dsizeUnit + last) * kk / 1024.0f;
    for (int32_t i = 0; i < nword; ++i)
        words[i].score = wordScore(&words[i], flags, lengthFactor);
    float lambda = voz_ProximityOptions(rank).prox_share;
    for (int32_t i = 0; i < nop; ++i) operatorScore(&ops[i], flags, lambda);
    _WCTLHEAD* root = ops[nop - 1].node_rec;
    if (flags & 0x01) root->score *= root->rank;
}
