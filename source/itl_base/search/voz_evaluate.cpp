// voz_evaluate.cpp -- the evaluation driver of one file set (see
// voz_evaluate.hpp): working copies of the controls and words, the
// operators' parameters without empty operands, the range check and
// occurrence reading around the document walk, and the copy back.
//
// Every word is run to its end by the time voz_Evaluate returns: by the
// walk, by the dropping of unused slots, or by the clean-up after a
// failure; the caller never calls a word's next-hit operation afterwards.
#include "search/voz_evaluate.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_checkrange.hpp"
#include "search/voz_evalocc.hpp"
#include "search/voz_readocc.hpp"
#include "search/voz_rtrvwords.hpp"

namespace {

// The OPPARM block: the array, then the operand-control and operand-slot
// arrays of all operators.
struct OpBlock {
    OPPARM* parms;
    _WCTLHEAD** recs;
    int32_t* nos;
};

bool allocOpBlock(const OPEINFO* ops, int32_t opCount, OpBlock* b) {
    int64_t operands = 0;
    for (int32_t i = 0; i < opCount; ++i)
        operands += ops[i].op_count > 0 ? ops[i].op_count : 0;
    size_t bytes = sizeof(OPPARM) * static_cast<size_t>(opCount) +
                   sizeof(_WCTLHEAD*) * static_cast<size_t>(operands) +
                   sizeof(int32_t) * static_cast<size_t>(operands);
    void* p = calloc(1, bytes > 0 ? bytes : 1);
    if (p == nullptr) return false;
    b->parms = static_cast<OPPARM*>(p);
    b->recs = reinterpret_cast<_WCTLHEAD**>(b->parms + opCount);
    b->nos = reinterpret_cast<int32_t*>(b->recs + operands);
    return true;
}

// Units of a dropped word, added as a gap after the last kept operand.
int32_t wordUnits(const RTRVWORDEXT& w, const IDXINFO* index) {
    int32_t width = index != nullptr ? index->info.unitWidth : 0;
    if (width <= 0) width = w.unit_width > 0 ? w.unit_width : 2;
    return w.wi.wordlen / width;
}

// Keeps the non-empty operands of `op` in parm (step 2 of the build);
// returns the kept count.
int32_t keepOperands(const OPEINFO& op, _WCTLHEAD* controls,
                     const RTRVWORDEXT* words, int32_t wordCount,
                     const IDXINFO* index, OPPARM* parm) {
    int32_t kept = 0;
    for (int32_t j = 0; j < op.op_count; ++j) {
        int32_t s = op.op_operands[j];
        bool empty = controls[s].emptyFlag != 0;
        bool notKeep = op.op_kind == VOZ_OP_NOT && j + 1 < op.op_count &&
                       controls[op.op_operands[j + 1]].emptyFlag == 0;
        if (!empty || notKeep) {
            parm->opnd_nos[kept++] = s;
            continue;
        }
        if (kept > 0 && s < wordCount)
            controls[parm->opnd_nos[kept - 1]].gapUnits +=
                wordUnits(words[s], index);
    }
    return kept;
}

// Fills the kept operator's parameters and its own control.
void fillParm(const OPEINFO& op, int32_t kept, _WCTLHEAD* controls,
              OPPARM* parm) {
    parm->kind = op.op_kind;
    parm->ope_mode = op.op_mode;
    parm->distance = op.op_distance;
    parm->ope_count = op.op_count;
    parm->nopnd = kept;
    parm->node_no = op.op_slot;
    parm->subkind = op.op_mode;
    if (kept == 1 && parm->subkind == VOZ_SUB_PROX)
        parm->subkind = VOZ_SUB_STRICT;
    _WCTLHEAD* own = &controls[op.op_slot];
    own->rangeCount = op.op_range_count;
    own->percentage = op.op_percentage > 0 ? op.op_percentage : 100;
    own->rangeData = reinterpret_cast<void*>(
        static_cast<intptr_t>(op.op_range_value));
    own->rangeValue = op.op_range_value2;
    own->weight = 1.0f;
    // The group's field options: a range list and a weight list.
    own->fieldNumber = op.fld_range != nullptr ? op.fld_range_count : 0;
    own->fieldRanges = op.fld_range_count != 0 ? op.fld_range : nullptr;
    own->fieldWeights = op.fld_weight_count != 0 ? op.fld_weight : nullptr;
    own->fieldWeightCount = own->fieldWeights != nullptr ? op.fld_weight_count : 0;
}

// Removes the slots no kept operator uses (running each to its end),
// renumbers the rest and refreshes the parameters' pointers.
void dropUnusedSlots(OPPARM* parms, int32_t kept, _WCTLHEAD* controls,
                     int32_t* slotMap, int32_t* slotCount,
                     RTRVWORDEXT* words, int32_t* wordCount, GTRSTATUS* st) {
    int32_t slots = *slotCount;
    auto* used = static_cast<uint8_t*>(calloc(static_cast<size_t>(slots) + 1, 1));
    auto* newNo = static_cast<int32_t*>(
        malloc(sizeof(int32_t) * (static_cast<size_t>(slots) + 1)));
    if (used == nullptr || newNo == nullptr) {
        free(used);
        free(newNo);
        voz_setStatus(st, VOZ_RC_MEMORY, 1431);
        return;
    }
    for (int32_t i = 0; i < kept; ++i) {
        used[parms[i].node_no] = 1;
        for (int32_t k = 0; k < parms[i].nopnd; ++k) used[parms[i].opnd_nos[k]] = 1;
    }
    int32_t next = 0;
    int32_t words0 = *wordCount;
    int32_t wordsLeft = 0;
    for (int32_t s = 0; s < slots; ++s) {
        _WCTLHEAD* c = &controls[next];
        if (used[s]) {
            newNo[s] = next;
            slotMap[next] = s;
            if (s < words0) ++wordsLeft;
            ++next;
            continue;
        }
        newNo[s] = -1;
        if (c->nextHit != nullptr) {
            c->nextHit(c, c->nextArg1, c->nextArg2, nullptr, VOZ_DOC_END, 1, st);
            c->nextHit = nullptr;
        }
        size_t after = static_cast<size_t>(slots - s - 1);
        memmove(c, c + 1, sizeof *c * after);
        if (s < words0) {
            int32_t w = wordsLeft;  // the word's index among the kept
            memmove(&words[w], &words[w + 1],
                    sizeof(RTRVWORDEXT) * static_cast<size_t>(words0 - s - 1));
        }
        if (voz_Failed(st)) {
            // The slots not walked yet stay, so that they can be ended.
            *slotCount = next + static_cast<int32_t>(after);
            *wordCount = wordsLeft + (s < words0 ? words0 - s - 1 : 0);
            break;
        }
    }
    if (!voz_Failed(st)) {
        *slotCount = next;
        *wordCount = wordsLeft;
        for (int32_t i = 0; i < kept; ++i) {
            OPPARM* p = &parms[i];
            p->node_no = newNo[p->node_no];
            p->node_rec = &controls[p->node_no];
            for (int32_t k = 0; k < p->nopnd; ++k) {
                p->opnd_nos[k] = newNo[p->opnd_nos[k]];
                p->opnd_recs[k] = &controls[p->opnd_nos[k]];
            }
        }
    }
    free(used);
    free(newNo);
}

// Copies the members of each word into its working control.
void copyWordMembers(_WCTLHEAD* controls, const RTRVWORDEXT* words,
                     int32_t wordCount) {
    for (int32_t i = 0; i < wordCount; ++i) {
        const RTRVWORD& wi = words[i].wi;
        _WCTLHEAD* c = &controls[i];
        c->fieldNumber = wi.fld_number;
        c->fieldRanges = wi.fld_number > 0 ? wi.pFieldRange : nullptr;
        c->fieldWeights = wi.weight > 0 ? wi.pFieldWeight : nullptr;
        c->fieldWeightCount = wi.weight;
        c->delimiterNumber = wi.range_dlmno;
        c->rangeData = wi.range;
        c->rangeCount = static_cast<uint16_t>(wi.rangenum);
        c->kind = wi.type;
        c->matchGrade = static_cast<uint8_t>(
            wi.type == 'W' || wi.type == 'E' ? wi.precision : 100);
        c->percentage = 100;
        c->operandWeight = 1.0f;
        c->weight = 1.0f;
        c->setDocCount = 0;
        c->term_no = words[i].word_no;  // its number in term frequencies
    }
}

// Adds each kept operator's operand weights.
void sumOperandWeights(OPPARM* parms, int32_t kept, int32_t wordCount) {
    for (int32_t i = 0; i < kept; ++i) {
        float sum = 0.0f;
        for (int32_t k = 0; k < parms[i].nopnd; ++k)
            sum += parms[i].opnd_nos[k] < wordCount
                       ? parms[i].opnd_recs[k]->operandWeight
                       : 1.0f;
        parms[i].opnd_weight_sum = sum;
    }
}

}  // namespace

void voz_InitOPPARM(OPEINFO* ops, int32_t opCount, _WCTLHEAD* controls,
                    int32_t* slotMap, int32_t* slotCount, RTRVWORDEXT* words,
                    int32_t* wordCount, OPPARM** opParms, int32_t* keptOps,
                    IDXINFO* index, GTRSTATUS* st) {
    *opParms = nullptr;
    *keptOps = 0;
    OpBlock b{};
    if (!allocOpBlock(ops, opCount, &b)) {
        voz_setStatus(st, VOZ_RC_MEMORY, 1430);
        return;
    }
    int32_t kept = 0;
    int32_t operandAt = 0;
    for (int32_t i = 0; i < opCount; ++i) {
        const OPEINFO& op = ops[i];
        OPPARM* parm = &b.parms[kept];
        parm->opnd_recs = b.recs + operandAt;
        parm->opnd_nos = b.nos + operandAt;
        int32_t n = keepOperands(op, controls, words, *wordCount, index, parm);
        if (n == 0) {
            controls[op.op_slot].emptyFlag = 1;
            memset(parm, 0, sizeof *parm);
            continue;
        }
        operandAt += op.op_count;
        fillParm(op, n, controls, parm);
        ++kept;
    }
    dropUnusedSlots(b.parms, kept, controls, slotMap, slotCount, words,
                    wordCount, st);
    if (voz_Failed(st)) {
        free(b.parms);
        return;
    }
    *opParms = b.parms;
    *keptOps = kept;
}

void voz_TermOPPARM(OPPARM* opParms) { free(opParms); }

void voz_Evaluate(IDXINFO* index0, IDXINFO* index1, IDXINFO* spare1,
                  IDXINFO* spare2, RANKPARM* rank, int32_t wordCount,
                  _WCTLHEAD* controls, RTRVWORDEXT* words, int32_t opCount,
                  OPEINFO* ops, ANSWERFORM* wordAnswer, SCOPECTL* scope,
                  ANSWERFORM* result, int32_t* docCount, int32_t* occCount,
                  GTRSKIPFUNCINFO* skip, GTRSTATUS* st) {
    (void)index1;
    (void)spare1;
    (void)spare2;
    int32_t slots = wordCount + opCount;
    size_t n = static_cast<size_t>(slots);
    auto* work = static_cast<_WCTLHEAD*>(calloc(n, sizeof(_WCTLHEAD)));
    auto* wwords = static_cast<RTRVWORDEXT*>(
        calloc(static_cast<size_t>(wordCount) + 1, sizeof(RTRVWORDEXT)));
    auto* slotMap = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (work == nullptr || wwords == nullptr || slotMap == nullptr) {
        free(work);
        free(wwords);
        free(slotMap);
        voz_setStatus(st, VOZ_RC_MEMORY, 1429);
        voz_RtrvWordsTerm(controls, wordCount, nullptr);
        return;
    }
    memcpy(work, controls, sizeof(_WCTLHEAD) * n);
    for (int32_t i = 0; i < wordCount; ++i) vozWordExtCopy(&wwords[i], &words[i]);
    int32_t words1 = wordCount;
    OPPARM* parms = nullptr;
    int32_t kept = 0;
    BLOCKCTL* blocks[VOZ_BLOCK_KINDS] = {};
    MULTIFIELDCTRL mfc{};
    bool rangeReady = false;
    bool readReady = false;
    voz_InitOPPARM(ops, opCount, work, slotMap, &slots, wwords, &words1,
                   &parms, &kept, index0, st);
    if (!voz_Failed(st) && kept > 0) {
        copyWordMembers(work, wwords, words1);
        voz_InitForReadOcc(work, words1, wordAnswer, index0, st);
        readReady = true;
        if (!voz_Failed(st)) {
            voz_InitForCheckRange(index0, work, blocks, words1, parms, kept,
                                  &mfc, rank, st);
            rangeReady = true;
        }
        if (!voz_Failed(st)) {
            sumOperandWeights(parms, kept, words1);
            _WCTLHEAD* root = parms[0].node_rec;
            // An operator with a field list needs the operator evaluation.
            if (words1 == 1 && kept == 1 && root->rangeData == nullptr &&
                root->rangeValue == 0 && parms[0].field_ctl == nullptr)
                voz_EvaluateOccsOneWord(&work[0], rank, parms[0], index0,
                                        nullptr, blocks, &mfc, nullptr, scope,
                                        result, docCount, occCount, skip, st);
            else
                voz_EvaluateOccsMultiWord(work, words1, rank, parms, kept,
                                          index0, nullptr, blocks, &mfc,
                                          nullptr, scope, result, docCount,
                                          occCount, skip, st);
        }
    }
    if (!voz_Failed(st)) {
        for (int32_t s = 0; s < slots; ++s) controls[slotMap[s]] = work[s];
    } else {
        // The walk may not have run: release what the words still hold.
        voz_RtrvWordsTerm(work, words1, nullptr);
        for (int32_t i = 0; i < wordCount; ++i) controls[i].nextHit = nullptr;
    }
    if (rangeReady) {
        GTRSTATUS own{};
        voz_TermForCheckRange(work, words1, parms, kept, blocks, &mfc, &own);
        if (own.retcode != 0 && !voz_Failed(st)) *st = own;
        // The field tables copied back went with the range check.
        for (int32_t s = 0; s < wordCount + opCount; ++s) {
            controls[s].fieldArray = nullptr;
            controls[s].fieldCount = 0;
        }
    }
    if (readReady) voz_TermForReadOcc(work, words1, wordAnswer);
    voz_TermOPPARM(parms);
    free(work);
    free(wwords);
    free(slotMap);
}
