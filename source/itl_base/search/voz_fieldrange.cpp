// voz_fieldrange.cpp -- field tables, weights and field controls of one
// evaluation (see voz_fieldrange.hpp).
//
// Set-up in three steps:
//  1. Tables, bottom-up in postfix order: every operand of every operator,
//     then the root's result. An operator's largest operand weight (largest
//     field weight x weight factor) gives its result the weight factor
//     largest / 100, before the parent reads it as an operand.
//  2. Field controls: the words' fields are registered in the search's
//     control and opened; each table keeps only the fields that exist.
//     Each operator with a table gets its own control the same way.
//  3. Normalisation, top-down: the root's result over its own largest
//     weight, then per operator its operands over the operator's largest
//     operand weight, scaled by the operator's normalised maximum.
#include "search/voz_fieldrange.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr int32_t kNeutralWeight = 100;  // percent
constexpr uint32_t kFieldNumbers = 0x10000;

bool weightedMode(const RANKPARM* rank) {
    return rank != nullptr && (rank->rank_flags & 0x01) != 0;
}

int32_t clampWeight(int32_t w) { return std::max<int32_t>(0, std::min<int32_t>(w, 32767)); }

// One entry of a range list: fields first..last with a weight.
struct Range {
    uint32_t first, last;
    int32_t weight;
};

// The weight list of a control (empty when none).
std::vector<Range> weightList(const _WCTLHEAD* w) {
    std::vector<Range> v;
    if (w->fieldWeights == nullptr) return v;
    for (int32_t i = 0; i < w->fieldWeightCount; ++i) {
        const GTRFIELDWEIGHT& e = w->fieldWeights[i];
        v.push_back({e.fld_start_num, e.fld_end_num, clampWeight(e.weight)});
    }
    return v;
}

// Weight of the last entry of `list` whose range covers `field`, else def.
int32_t coveringWeight(const std::vector<Range>& list, uint32_t field,
                       int32_t def) {
    for (size_t i = list.size(); i-- > 0;)
        if (list[i].first <= field && field <= list[i].last) return list[i].weight;
    return def;
}

// Builds the field table of one control (step 1). False on no memory.
bool buildTable(_WCTLHEAD* w, bool weighted, GTRSTATUS* st) {
    if (w->fieldArray != nullptr) return true;  // built already
    std::vector<Range> weights = weightList(w);
    bool hasWeights = !weights.empty();
    int32_t def = hasWeights ? kNeutralWeight
                             : (w->fieldWeightCount > 0 ? clampWeight(w->fieldWeightCount)
                                                        : kNeutralWeight);
    // A weight entry from field 0 stands for every field: the default.
    for (const Range& r : weights)
        if (r.first == 0) def = r.weight;
    std::vector<Range> ranges;
    bool single = w->fieldRanges == nullptr && w->fieldNumber != 0;
    bool weightsAsRanges = false;
    if (w->fieldRanges != nullptr) {
        for (int32_t i = 0; i < w->fieldNumber; ++i)
            ranges.push_back({w->fieldRanges[i].fld_start_num,
                              w->fieldRanges[i].fld_end_num, 0});
    } else if (!single && weighted && hasWeights) {
        ranges = weights;
        weightsAsRanges = true;
    }
    std::vector<FIELDARRAY> table;
    if (single) {
        uint16_t f = static_cast<uint16_t>(w->fieldNumber);
        int32_t wt = weighted ? coveringWeight(weights, f, def) : 0;
        table.push_back({f, static_cast<int16_t>(wt), 0.0f});
    } else if (!ranges.empty()) {
        // Walked from the last range to the first: a number that a later
        // range covers keeps that range's entry.
        std::vector<bool> seen(kFieldNumbers, false);
        for (size_t i = ranges.size(); i-- > 0;) {
            const Range& r = ranges[i];
            for (uint32_t f = std::max<uint32_t>(r.first, 1); f <= r.last && f < kFieldNumbers; ++f) {
                if (seen[f]) continue;
                seen[f] = true;
                int32_t wt = 0;
                if (weighted)
                    wt = weightsAsRanges ? r.weight : coveringWeight(weights, f, def);
                table.push_back({static_cast<uint16_t>(f), static_cast<int16_t>(wt), 0.0f});
            }
        }
    }
    if (table.empty() && !single && ranges.empty()) {
        // No restriction: no table, and occurrences everywhere count.
        w->fieldCount = 0;
        w->defaultWeight = def;
        w->outsideAllowed = 1;
        w->maxFieldWeight = static_cast<uint16_t>(def);
        return true;
    }
    auto* a = static_cast<FIELDARRAY*>(
        calloc(std::max<size_t>(table.size(), 1), sizeof(FIELDARRAY)));
    if (a == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_FIELDARRAY_ALLOC, nullptr, ENOMEM);
        return false;
    }
    if (!table.empty()) memcpy(a, table.data(), table.size() * sizeof(FIELDARRAY));
    voz_SortFieldArray(a, static_cast<int32_t>(table.size()), st);
    w->fieldArray = a;
    w->fieldCount = static_cast<int32_t>(table.size());
    w->defaultWeight = weightsAsRanges ? def : 0;
    w->outsideAllowed = weightsAsRanges ? 1 : 0;
    int32_t largest = w->defaultWeight;
    for (const FIELDARRAY& e : table) largest = std::max<int32_t>(largest, e.weight);
    w->maxFieldWeight = static_cast<uint16_t>(largest);
    return true;
}

// Keeps the table entries whose field the control holds.
void compactTable(_WCTLHEAD* w, const MULTIFIELDCTRL* mfc, GTRSTATUS* st) {
    int32_t kept = 0;
    for (int32_t i = 0; i < w->fieldCount; ++i) {
        uint16_t next = 0;
        if (voz_CheckFieldExistence(nullptr, mfc, w->fieldArray[i].field, &next, st))
            w->fieldArray[kept++] = w->fieldArray[i];
    }
    w->fieldCount = kept;
}

// Registers a table's fields in `mfc`, opens them, and compacts the table.
void openFields(IDXINFO* index, _WCTLHEAD* w, MULTIFIELDCTRL* mfc,
                GTRSTATUS* st) {
    for (int32_t i = 0; i < w->fieldCount && !voz_Failed(st); ++i)
        voz_RegisterFieldNumber(mfc, w->fieldArray[i].field, st);
    if (!voz_Failed(st)) voz_RegisterFieldNumberFinish(mfc, index, st);
    if (!voz_Failed(st)) compactTable(w, mfc, st);
}

// A word none of whose fields exists and that has no default weight
// yields nothing: its lookup is ended and replaced.
void silenceWord(_WCTLHEAD* w, GTRSTATUS* st) {
    if (w->nextHit != nullptr && w->nextHit != voz_GetOneWordNoOcc)
        w->nextHit(w, w->nextArg1, w->nextArg2, nullptr, VOZ_DOC_END,
                   VOZ_RELEASE_POS, st);
    w->nextHit = voz_GetOneWordNoOcc;
}

// Step 3 for one operand: its weights over `divisor`, scaled by `factor`.
void normalise(_WCTLHEAD* w, float factor, float divisor) {
    float k = w->weightFactor * factor / (divisor > 0 ? divisor : 1.0f);
    w->wordWeight = static_cast<float>(w->defaultWeight) * k;
    w->maxWeight = static_cast<float>(w->maxFieldWeight) * k;
    for (int32_t i = 0; i < w->fieldCount; ++i) {
        FIELDARRAY& e = w->fieldArray[i];
        e.normWeight = static_cast<float>(e.weight) * k;
        w->maxWeight = std::max(w->maxWeight, e.normWeight);
    }
}

// The operator's own field control, built from its result's table.
void openOperatorFields(IDXINFO* index, OPPARM* op, bool weighted,
                        GTRSTATUS* st) {
    _WCTLHEAD* self = op->node_rec;
    if (self == nullptr || self->fieldArray == nullptr) return;
    auto* mfc = static_cast<MULTIFIELDCTRL*>(calloc(1, sizeof(MULTIFIELDCTRL)));
    if (mfc == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_OPFIELD_ALLOC, nullptr, ENOMEM);
        return;
    }
    voz_InitMultiFieldCtrl(mfc, weighted ? 1 : 0, st);
    op->field_ctl = mfc;
    openFields(index, self, mfc, st);
    mfc->nfields = self->fieldCount;
    mfc->fields = self->fieldArray;
    // Without a field left, or where outside occurrences count, the
    // operator also holds over the whole text.
    self->extra_pass = self->fieldCount == 0 || self->outsideAllowed ? 1 : 0;
}

}  // namespace

void voz_InitForCheckFieldRange(IDXINFO* index, OPPARM* ops, int32_t opCount,
                                _WCTLHEAD* words, int32_t wordCount,
                                MULTIFIELDCTRL* mfc, RANKPARM* rank,
                                GTRSTATUS* st) {
    const bool weighted = weightedMode(rank);
    // Tables of an earlier file set's evaluation were freed with it.
    auto reset = [](_WCTLHEAD* w) {
        w->fieldArray = nullptr;
        w->fieldCount = 0;
        w->weightFactor = 1.0f;
    };
    for (int32_t i = 0; i < wordCount; ++i) reset(&words[i]);
    for (int32_t i = 0; i < opCount; ++i) {
        if (ops[i].node_rec != nullptr) reset(ops[i].node_rec);
        ops[i].field_ctl = nullptr;
    }
    std::vector<float> opMax(static_cast<size_t>(std::max(opCount, 0)), 0.0f);
    for (int32_t i = 0; i < opCount && !voz_Failed(st); ++i) {
        OPPARM* op = &ops[i];
        float largest = 0.0f;
        for (int32_t k = 0; k < op->nopnd && !voz_Failed(st); ++k) {
            _WCTLHEAD* r = op->opnd_recs != nullptr ? op->opnd_recs[k] : nullptr;
            if (r == nullptr || !buildTable(r, weighted, st)) continue;
            largest = std::max(largest, static_cast<float>(r->maxFieldWeight) * r->weightFactor);
        }
        opMax[static_cast<size_t>(i)] = largest;
        if (op->node_rec != nullptr) op->node_rec->weightFactor = largest / kNeutralWeight;
    }
    _WCTLHEAD* root = opCount > 0 ? ops[opCount - 1].node_rec : nullptr;
    if (root != nullptr && !voz_Failed(st)) buildTable(root, weighted, st);
    if (voz_Failed(st)) return;

    voz_InitMultiFieldCtrl(mfc, weighted ? 1 : 0, st);
    for (int32_t i = 0; i < wordCount && !voz_Failed(st); ++i)
        for (int32_t f = 0; f < words[i].fieldCount && !voz_Failed(st); ++f)
            voz_RegisterFieldNumber(mfc, words[i].fieldArray[f].field, st);
    if (!voz_Failed(st)) voz_RegisterFieldNumberFinish(mfc, index, st);
    for (int32_t i = 0; i < wordCount && !voz_Failed(st); ++i) {
        _WCTLHEAD* w = &words[i];
        if (w->fieldArray == nullptr) continue;
        compactTable(w, mfc, st);
        if (w->fieldCount == 0 && w->defaultWeight == 0) silenceWord(w, st);
    }
    for (int32_t i = 0; i < opCount && !voz_Failed(st); ++i)
        openOperatorFields(index, &ops[i], weighted, st);
    if (voz_Failed(st)) return;

    if (!weighted) {
        for (int32_t i = 0; i < wordCount; ++i) words[i].wordWeight = words[i].maxWeight = 1.0f;
        for (int32_t i = 0; i < opCount; ++i)
            if (ops[i].node_rec != nullptr)
                ops[i].node_rec->wordWeight = ops[i].node_rec->maxWeight = 1.0f;
        return;
    }
    if (root != nullptr)
        normalise(root, 1.0f, static_cast<float>(root->maxFieldWeight) * root->weightFactor);
    for (int32_t i = opCount; i-- > 0;) {
        OPPARM* op = &ops[i];
        float factor = op->node_rec != nullptr ? op->node_rec->maxWeight : 1.0f;
        for (int32_t k = 0; k < op->nopnd; ++k)
            if (op->opnd_recs != nullptr && op->opnd_recs[k] != nullptr)
                normalise(op->opnd_recs[k], factor, opMax[static_cast<size_t>(i)]);
    }
    // An operator's weight over the whole text is its normalised weight.
    for (int32_t i = 0; i < opCount; ++i)
        if (ops[i].node_rec != nullptr) ops[i].node_rec->weight = ops[i].node_rec->wordWeight;
}

int32_t voz_CheckFieldRangeForOneTerm(IDXINFO* index, _WCTLHEAD* word,
                                      BLOCKCTL** /*blocks*/,
                                      MULTIFIELDCTRL* mfc,
                                      VVGDOCINFO* /*info*/, GTRSTATUS* st) {
    float weight = 0.0f;
    char later = voz_CheckMultiField(index, mfc, word->fieldArray,
                                     static_cast<uint16_t>(word->fieldCount),
                                     &word->cur, &weight, st);
    if (voz_Failed(st)) return 8;
    bool recorded = word->cur.spare != 0;
    if (!mfc->weighted) {
        if (recorded) {
            word->resultWeight = word->wordWeight;
            return 0;
        }
    } else if (recorded) {
        word->resultWeight = weight;
        return 0;
    } else if (word->outsideAllowed) {
        word->resultWeight = word->wordWeight;
        return 0;
    }
    return later ? 4 : 16;
}

void voz_TermForCheckFieldRange(_WCTLHEAD* words, int32_t wordCount,
                                OPPARM* ops, int32_t opCount,
                                MULTIFIELDCTRL* mfc, GTRSTATUS* st) {
    auto dropTable = [](_WCTLHEAD* w) {
        free(w->fieldArray);
        w->fieldArray = nullptr;
        w->fieldCount = 0;
    };
    for (int32_t i = 0; words != nullptr && i < wordCount; ++i) dropTable(&words[i]);
    for (int32_t i = 0; ops != nullptr && i < opCount; ++i) {
        OPPARM* op = &ops[i];
        if (op->field_ctl != nullptr) {
            voz_TermMultiFieldCtrl(op->field_ctl, st);
            free(op->field_ctl);
            op->field_ctl = nullptr;
        }
        if (op->node_rec != nullptr) dropTable(op->node_rec);
    }
    if (mfc != nullptr) voz_TermMultiFieldCtrl(mfc, st);
}
