// voz_evalhit.cpp -- operator evaluation of one document (voz_evalhit.hpp).
//
// Every operator runs one pass over the whole text of the document, or,
// with a field list, one pass per field (only the occurrences inside an
// instance of that field count) and, when its result may also hold outside
// its fields, a last pass over the whole text. Its verdict goes to its own
// control (`hit` 1 or 0, `cur` the next candidate, `rank`, `prox`), and the
// occurrences that support a verdict are marked pending in the passes
// before the last and lifted to the operator in the last one (OCCSUPP::node
// := its node number), so that its parent sees them as its own operand's.
// What reaches the root survives.
//
// Per-occurrence state (OCCSUPP) as the walk leaves it before the first
// operator: node = the word's slot, enabled 1, alive 1, pending 0,
// in_unit 0, unit_no/score/unit_share/kept_share 0.
#include "search/voz_evalhit.hpp"

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_status.hpp"
#include "search/voz_blockctl.hpp"
#include "search/voz_fieldctl.hpp"
#include "search/voz_proximity.hpp"

namespace {

// Start of the search for the smallest operand (document, position): the
// largest document number and position.
constexpr int32_t kMinDocStart = 2147483646;
constexpr int32_t kMinPosStart = 1073741823;

bool isPartial(char subkind) {
    return subkind == VOZ_SUB_PARTIAL || subkind == VOZ_SUB_PROX;
}

bool rankingOn(const RANKPARM* rank) {
    return rank != nullptr && (rank->rank_flags & 0x01) != 0;
}

// Index of `node` among the operator's operands, -1 when it is none.
int32_t operandIndex(const OPPARM* op, int32_t node) {
    for (int32_t i = 0; i < op->nopnd; ++i)
        if (op->opnd_nos[i] == node) return i;
    return -1;
}

// Strict AND: holds when every operand holds; the next candidate is the
// largest operand document (0 without operands).
void evalStrictAnd(OPPARM* op) {
    float hit = 1.0f;
    int32_t doc = 0;
    for (int32_t i = 0; i < op->nopnd; ++i) {
        const _WCTLHEAD* o = op->opnd_recs[i];
        if (!(o->hit > 0)) hit = 0.0f;
        if (o->cur.docno > doc) doc = o->cur.docno;
    }
    op->node_rec->hit = hit;
    op->node_rec->cur.docno = doc;
}

// OR and partial operators: holds when any operand holds; the next
// candidate is the smallest operand (document, position).
void evalAny(OPPARM* op) {
    float hit = 0.0f;
    int32_t doc = kMinDocStart, pos = kMinPosStart;
    for (int32_t i = 0; i < op->nopnd; ++i) {
        const _WCTLHEAD* o = op->opnd_recs[i];
        if (o->hit > 0) hit = 1.0f;
        if (o->cur.docno < doc || (o->cur.docno == doc && o->cur.pos < pos)) {
            doc = o->cur.docno;
            pos = o->cur.pos;
        }
    }
    op->node_rec->hit = hit;
    op->node_rec->cur.docno = doc;
    op->node_rec->cur.pos = pos;
}

// NOT: the positive (first) operand decides; a negated operand that holds
// overrules it in strict mode and when the positive operand is a document
// list ('D' word). The negated operands' occurrences never survive.
void evalNot(OPPARM* op, OCC* occ, OCCSUPP* supp, int32_t nocc,
             int32_t nnode) {
    _WCTLHEAD* self = op->node_rec;
    const _WCTLHEAD* positive = op->opnd_recs[0];
    self->cur.docno = positive->cur.docno;
    self->cur.pos = positive->cur.pos;
    if (!(positive->hit > 0)) {
        self->hit = 0.0f;
        return;
    }
    self->hit = 1.0f;
    bool docList = op->opnd_nos[0] < nnode && positive->kind == 'D';
    if (!isPartial(op->subkind) || docList) {
        for (int32_t i = 1; i < op->nopnd; ++i)
            if (op->opnd_recs[i]->hit > 0) self->hit = 0.0f;
    }
    voz_DisableNotOcc(op, occ, supp, nocc);
}

// An occurrence that takes part in the operator's verdict: of one of its
// operands, or counted in one of its units ('D'). A unit mark counts only
// for the 'D' operator that set it (voz_EvaluateHit_Same clears the marks
// of earlier ones): an operator elsewhere in the tree must not take up the
// occurrences of a unit it does not contain.
bool takesPart(const OPPARM* op, const OCCSUPP* s) {
    return (op->kind == VOZ_OP_DIST && s->in_unit != 0) ||
           voz_Operand(op, s) != 0;
}

void lift(const OPPARM* op, OCCSUPP* s) {
    s->node = static_cast<int16_t>(op->node_no);
    s->pending = 0;
}

// 'D': the same-unit test decides; partial operators keep each
// occurrence's unit share, and occurrences that no longer count lose
// `alive`. False on a block-reader failure.
bool evalDistance(OPPARM* op, OCC* occ, OCCSUPP* supp, int32_t nocc,
                  _WCTLHEAD* nodes, IDXINFO* index, VVGDOCINFO* vvg,
                  bool last, GTRSTATUS* st) {
    int held = voz_EvaluateHit_Same(op, occ, supp, nocc, nodes, index, vvg, st);
    if (voz_Failed(st)) return false;
    bool partial = isPartial(op->subkind);
    if (partial) {
        evalAny(op);
        for (int32_t j = 0; j < nocc; ++j)
            if (supp[j].enabled && takesPart(op, &supp[j]))
                supp[j].kept_share = supp[j].unit_share;
    } else {
        evalStrictAnd(op);
    }
    op->node_rec->hit = held ? 1.0f : 0.0f;
    if (!last) return true;
    for (int32_t j = 0; j < nocc; ++j)
        if (!supp[j].pending && !supp[j].enabled && takesPart(op, &supp[j]))
            supp[j].alive = 0;
    return true;
}

// One pass of an operator: whether it is the last one, whether it is a
// field pass, and the weight w of what holds in it.
struct Pass {
    bool last;
    bool field;
    float w;
};

// The operator holds in this pass. Before the last pass its supporting
// occurrences become pending (with ranking, their score the best weight
// so far); in the last pass they are lifted and, on the ranking branch, the
// operator's rank becomes their average weight.
void settleHeld(OPPARM* op, const OCC* occ, OCCSUPP* supp, int32_t nocc,
                bool ranking, const RANKPARM* rank, const Pass& pass) {
    _WCTLHEAD* self = op->node_rec;
    float w = pass.w;
    bool rankBranch = ranking || op->subkind == VOZ_SUB_PROX;
    if (op->subkind == VOZ_SUB_PROX) {
        if (!ranking) w = 1.0f;
        if (self->prox < w) {
            float p = w * voz_ProximityRanking(nullptr, occ, supp, nocc, op,
                                               rank, self->prox / w);
            if (p > self->prox) self->prox = p;
        }
    }
    if (!pass.last) {
        for (int32_t j = 0; j < nocc; ++j) {
            OCCSUPP* s = &supp[j];
            if (!s->enabled || !takesPart(op, s)) continue;
            s->pending = 1;
            if (ranking && w > s->score) s->score = w;
        }
        return;
    }
    if (!rankBranch) {
        for (int32_t j = 0; j < nocc; ++j) {
            OCCSUPP* s = &supp[j];
            if (s->pending || (s->enabled && takesPart(op, s))) lift(op, s);
        }
        return;
    }
    float sum = 0.0f;
    int32_t count = 0;
    for (int32_t j = 0; j < nocc; ++j) {
        OCCSUPP* s = &supp[j];
        if (!takesPart(op, s)) continue;
        if (pass.field) {
            if (!s->enabled && !s->pending) continue;
            sum += s->score > w ? s->score : w;
        } else if (s->enabled) {
            sum += s->pending ? s->score : w;
        } else if (s->pending) {
            sum += s->score;
        } else {
            continue;
        }
        ++count;
        lift(op, s);
    }
    for (int32_t j = 0; j < nocc; ++j) supp[j].pending = 0;
    self->rank = count > 0 ? sum / static_cast<float>(count) : 0.0f;
}

// The operator fails in its last pass. Occurrences held over from an
// earlier pass still make it hold; on the ranking branch a node that never
// held ranks 1.
void settleFailed(OPPARM* op, OCCSUPP* supp, int32_t nocc, bool ranking,
                  bool heldBefore) {
    _WCTLHEAD* self = op->node_rec;
    bool rankBranch = ranking || op->subkind == VOZ_SUB_PROX;
    if (rankBranch && !heldBefore) {
        self->rank = 1.0f;
        return;
    }
    float sum = 0.0f;
    int32_t count = 0;
    for (int32_t j = 0; j < nocc; ++j) {
        if (!supp[j].pending) continue;
        self->hit = 1.0f;
        sum += supp[j].score;
        ++count;
        lift(op, &supp[j]);
    }
    if (rankBranch) self->rank = count > 0 ? sum / static_cast<float>(count) : 1.0f;
}

// The control of node `node`: a word's, or an operator's own.
_WCTLHEAD* nodeControl(OPPARM* ops, int32_t nop, _WCTLHEAD* nodes,
                       int32_t nnode, int32_t node) {
    if (node >= 0 && node < nnode) return &nodes[node];
    for (int32_t i = 0; i < nop; ++i)
        if (ops[i].node_no == node) return ops[i].node_rec;
    return nullptr;
}

// Rebuilds the hit counts of every node below the root from the
// occurrences that count in the pass (the enabled ones, or all).
void rebuildHits(OPPARM* ops, int32_t nop, const OCC* occ, OCCSUPP* supp,
                 int32_t nocc, _WCTLHEAD* nodes, int32_t nnode,
                 bool enabledOnly) {
    for (int32_t k = 0; k < nnode; ++k) nodes[k].hit = 0.0f;
    for (int32_t i = 0; i + 1 < nop; ++i) ops[i].node_rec->hit = 0.0f;
    for (int32_t j = 0; j < nocc; ++j) {
        if (enabledOnly && !supp[j].enabled) continue;
        _WCTLHEAD* c = nodeControl(ops, nop, nodes, nnode, supp[j].node);
        if (c != nullptr && c != ops[nop - 1].node_rec) c->hit += occ[j].weight;
    }
}

// Root holds: rebuild the words' hit counts from the occurrences that still
// count and move the survivors (lifted to the root) to the front.
int32_t keepSurvivors(const OPPARM* root, OCC* occ, OCCSUPP* supp,
                      int32_t nocc, _WCTLHEAD* nodes, int32_t nnode,
                      bool unitRan) {
    for (int32_t k = 0; k < nnode; ++k) nodes[k].hit = 0.0f;
    for (int32_t j = 0; j < nocc; ++j) {
        if (unitRan && !supp[j].alive) continue;
        float weight = occ[j].weight;
        if (unitRan && supp[j].kept_share > 0) weight *= supp[j].kept_share;
        if (occ[j].node >= 0 && occ[j].node < nnode)
            nodes[occ[j].node].hit += weight;
    }
    int32_t kept = 0;
    for (int32_t j = 0; j < nocc; ++j) {
        if (supp[j].node != root->node_no) continue;
        if (kept != j) {
            occ[kept] = occ[j];
            supp[kept] = supp[j];
        }
        ++kept;
    }
    return kept;
}

}  // namespace

int voz_Operand(const OPPARM* op, const OCCSUPP* s) {
    return operandIndex(op, s->node) >= 0 ? 1 : 0;
}

void voz_DisableNotOcc(const OPPARM* op, OCC* occ, OCCSUPP* supp,
                       int32_t nocc) {
    (void)occ;
    if (op->kind != VOZ_OP_NOT || op->nopnd < 2) return;
    for (int32_t j = 0; j < nocc; ++j) {
        for (int32_t i = 1; i < op->nopnd; ++i) {
            if (op->opnd_nos[i] == supp[j].node) {
                supp[j].enabled = 0;
                break;
            }
        }
    }
}

int voz_InitForOperation(OPPARM* ops, int32_t nop, IDXINFO* index,
                         unsigned char* mask, GTRSTATUS* st) {
    *mask = 0;
    bool ranges = false;
    for (int32_t i = 0; i < nop; ++i) {
        OPPARM* op = &ops[i];
        switch (op->kind) {
        case VOZ_OP_AND: *mask |= VOZ_OPMASK_AND; break;
        case VOZ_OP_OR: *mask |= VOZ_OPMASK_OR; break;
        case VOZ_OP_NOT: *mask |= VOZ_OPMASK_NOT; break;
        case VOZ_OP_DIST: *mask |= VOZ_OPMASK_DIST; break;
        default:
            voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_OPKIND_INIT);
            return 0;
        }
        if (op->subkind == VOZ_SUB_PARTIAL) *mask |= VOZ_OPMASK_PARTIAL;
        else if (op->subkind == VOZ_SUB_PROX) *mask |= VOZ_OPMASK_PROX;
        else if (op->subkind != 0) *mask |= VOZ_OPMASK_OTHER;
        const _WCTLHEAD* ctl = op->node_rec;
        if (ctl != nullptr && (ctl->rangeCount != 0 || ctl->rangeValue != 0))
            ranges = true;
        if (op->field_ctl != nullptr) ranges = true;  // field passes
        if (op->kind != VOZ_OP_DIST) continue;
        assert(op->unit_reader == nullptr);
        op->unit_reader = static_cast<BLOCKCTL*>(calloc(1, sizeof(BLOCKCTL)));
        op->unit_seen = static_cast<uint8_t*>(
            calloc(static_cast<size_t>(op->nopnd > 0 ? op->nopnd : 1), 1));
        if (op->unit_reader == nullptr || op->unit_seen == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_UNIT_READER, nullptr,
                          ENOMEM);
            return 0;
        }
        voz_InitForGetBlock(index, op->unit_reader, op->distance, st);
        if (voz_Failed(st)) return 0;
    }
    uint8_t m = *mask;
    if ((m & (VOZ_OPMASK_DIST | VOZ_OPMASK_NOT)) != 0) return 0;
    if ((m & VOZ_OPMASK_AND) && (m & VOZ_OPMASK_OR)) return 0;
    return nop <= 1 && !ranges ? 1 : 0;
}

void voz_TermForOperation(OPPARM* ops, int32_t nop) {
    if (ops == nullptr) return;
    for (int32_t i = 0; i < nop; ++i) {
        if (ops[i].unit_reader != nullptr) {
            voz_TermForGetBlock(ops[i].unit_reader);
            free(ops[i].unit_reader);
            ops[i].unit_reader = nullptr;
        }
        free(ops[i].unit_seen);
        ops[i].unit_seen = nullptr;
    }
}

namespace {

// Prepares pass j of `op`: a field pass enables the occurrences inside an
// instance of its field (when the field changed since the last check), the
// whole-text pass after field passes enables them all again; either way the
// hit counts are rebuilt. False on a failure of the field check.
bool preparePass(OPPARM* ops, int32_t nop, OPPARM* op, int32_t j, OCC* occ,
                 OCCSUPP* supp, int32_t n, IDXINFO* index,
                 const VVGDOCINFO* vvg, _WCTLHEAD* nodes, int32_t nnode,
                 int32_t* curField, GTRSTATUS* st) {
    const MULTIFIELDCTRL* fc = op->field_ctl;
    if (fc != nullptr && j < fc->nfields) {
        uint16_t field = fc->fields[j].field;
        op->node_rec->field_index = static_cast<uint16_t>(j);
        if (field == *curField) return true;
        voz_CheckFieldRangeAt(index, op->field_ctl, field, vvg->docNo,
                              vvg->vvgStart, occ, supp, n, st);
        if (voz_Failed(st)) return false;
        for (int32_t k = 0; k < n; ++k) supp[k].enabled = supp[k].in_field;
        rebuildHits(ops, nop, occ, supp, n, nodes, nnode, true);
        *curField = field;
        return true;
    }
    if (*curField != 0) {
        rebuildHits(ops, nop, occ, supp, n, nodes, nnode, false);
        for (int32_t k = 0; k < n; ++k) supp[k].enabled = 1;
        *curField = 0;
    }
    return true;
}

}  // namespace

int voz_EvaluateHit(OPPARM* ops, int32_t nop, OCC* occ, OCCSUPP* supp,
                    int32_t* nocc, IDXINFO* index, VVGDOCINFO* vvg,
                    _WCTLHEAD* nodes, int32_t nnode, int32_t* next_doc,
                    MULTIFIELDCTRL* mfc, RANKPARM* rank, GTRSTATUS* st) {
    assert(nop >= 1);
    (void)mfc;  // the words' fields were tested while they were gathered
    const bool ranking = rankingOn(rank);
    const int32_t n = *nocc;
    bool unitRan = false;
    int32_t curField = 0;
    for (int32_t i = 0; i < nop; ++i) ops[i].node_rec->prox = 0.0f;
    for (int32_t i = 0; i < nop; ++i) {
        OPPARM* op = &ops[i];
        const MULTIFIELDCTRL* fc = op->field_ctl;
        int32_t nfields = fc != nullptr ? fc->nfields : 0;
        int32_t passes = nfields;
        if (fc == nullptr || op->node_rec->extra_pass != 0 || passes == 0) ++passes;
        bool heldBefore = false;
        for (int32_t j = 0; j < passes; ++j) {
            if (!preparePass(ops, nop, op, j, occ, supp, n, index, vvg, nodes,
                             nnode, &curField, st))
                return 0;
            Pass pass{j == passes - 1, j < nfields,
                      j < nfields ? fc->fields[j].normWeight : op->node_rec->weight};
            switch (op->kind) {
            case VOZ_OP_AND:
                if (isPartial(op->subkind)) evalAny(op);
                else evalStrictAnd(op);
                break;
            case VOZ_OP_OR: evalAny(op); break;
            case VOZ_OP_NOT: evalNot(op, occ, supp, n, nnode); break;
            case VOZ_OP_DIST:
                unitRan = true;
                if (!evalDistance(op, occ, supp, n, nodes, index, vvg,
                                  pass.last, st))
                    return 0;
                break;
            default:
                voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_OPKIND_INIT);
                return 0;
            }
            if (op->node_rec->hit > 0) {
                settleHeld(op, occ, supp, n, ranking, rank, pass);
                heldBefore = true;
            } else if (pass.last) {
                settleFailed(op, supp, n, ranking, heldBefore);
            }
        }
    }
    const OPPARM* root = &ops[nop - 1];
    *next_doc = root->node_rec->cur.docno;
    if (!(root->node_rec->hit > 0)) return 0;
    *nocc = keepSurvivors(root, occ, supp, n, nodes, nnode, unitRan);
    return *nocc > 0 ? 1 : 0;
}

int voz_EvaluateHitQuick(OPPARM* ops, int32_t nop, OCC* occ, OCCSUPP* supp,
                         int32_t* nocc, _WCTLHEAD* nodes, int32_t* next_doc,
                         RANKPARM* rank, GTRSTATUS* st) {
    assert(nop >= 1);
    (void)occ;
    (void)supp;
    (void)nocc;
    (void)nodes;
    (void)rank;
    for (int32_t i = 0; i < nop; ++i) {
        OPPARM* op = &ops[i];
        if (op->kind != VOZ_OP_AND && op->kind != VOZ_OP_OR &&
            op->kind != VOZ_OP_DIST) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_OPKIND_QUICK);
            return -1;
        }
        if (op->kind == VOZ_OP_OR || isPartial(op->subkind)) evalAny(op);
        else evalStrictAnd(op);
        _WCTLHEAD* self = op->node_rec;
        self->prox = op->subkind == VOZ_SUB_PROX && op->nopnd >= 2
                         ? voz_ProximityRanking(nodes, occ, supp, *nocc, op,
                                                rank, 0.0f)
                         : 0.0f;
        self->rank = 1.0f;
    }
    const _WCTLHEAD* root = ops[nop - 1].node_rec;
    *next_doc = root->cur.docno;
    return root->hit != 0 ? 1 : 0;
}

void voz_RemoveDupOcc(OCC* occ, int32_t* nocc) {
    if (*nocc <= 0) return;
    occ[0].node = 0;
    occ[0].spare = 0;
    int32_t last = 0;
    for (int32_t i = 1; i < *nocc; ++i) {
        OCC e = occ[i];
        e.node = 0;
        e.spare = 0;
        OCC& kept = occ[last];
        if (e.len == 0) {
            if (kept.len == 0 && e.match < kept.match) kept.match = e.match;
        } else if (kept.len == 0) {
            kept = e;
        } else if (e.docno != kept.docno || e.pos != kept.pos ||
                   e.len != kept.len || e.weight != kept.weight) {
            occ[++last] = e;
        }
    }
    *nocc = last + 1;
}

// ---- the same-unit test ------------------------------------------------------

namespace {

struct UnitScan {
    OPPARM* op;
    OCC* occ;
    OCCSUPP* supp;
    int32_t nocc;
};

// Last position covered by an occurrence.
int64_t lastPos(const OCC& o) {
    return static_cast<int64_t>(o.pos) + o.len - 1;
}

// Index of the operand the occurrence belongs to when it may count in a
// unit (positioned, enabled, of an operand not excluded), else -1.
int32_t unitOperand(const UnitScan& u, int32_t j) {
    const OCCSUPP& s = u.supp[j];
    if (u.occ[j].len == 0 || !s.enabled) return -1;
    int32_t k = operandIndex(u.op, s.node);
    if (k < 0 || u.op->opnd_recs[k]->unit_excluded != 0) return -1;
    return k;
}

// Marks the occurrences from `first` on that lie in the unit
// [start, end) (end exclusive: the boundary that ends the unit) and
// returns the index where the next unit's scan begins: the first counting
// occurrence that starts at or after the unit's end. Occurrences that run
// past the end belong to no unit.
int32_t scanUnit(const UnitScan& u, int32_t first, int64_t start,
                 int64_t end, int32_t unitNo, int32_t* seen) {
    OPPARM* op = u.op;
    for (int32_t i = 0; i < op->nopnd; ++i) op->opnd_recs[i]->unit_hit = 0.0f;
    memset(op->unit_seen, 0, static_cast<size_t>(op->nopnd));
    *seen = 0;
    int32_t j = first;
    for (; j < u.nocc; ++j) {
        OCCSUPP& s = u.supp[j];
        s.in_unit = 0;
        int32_t k = unitOperand(u, j);
        if (k < 0) continue;
        if (u.occ[j].pos >= end) break;
        if (u.occ[j].pos < start || lastPos(u.occ[j]) >= end) continue;
        s.unit_no = unitNo;
        s.in_unit = 1;
        op->opnd_recs[k]->unit_hit += u.occ[j].weight;
        if (!op->unit_seen[k]) {
            op->unit_seen[k] = 1;
            ++*seen;
        }
    }
    return j;
}

// Books one unit: strict units count only when complete (else their
// occurrences are dropped); partial units count by the share of operands
// they hold.
void bookUnit(const UnitScan& u, int32_t first, int32_t stop, int32_t seen,
              bool partial) {
    OPPARM* op = u.op;
    if (!partial) {
        if (seen == op->nopnd) {
            for (int32_t i = 0; i < op->nopnd; ++i)
                op->opnd_recs[i]->hit += op->opnd_recs[i]->unit_hit;
        } else {
            for (int32_t j = first; j < stop; ++j) {
                if (!u.supp[j].in_unit) continue;
                u.supp[j].in_unit = 0;
                u.supp[j].alive = 0;
            }
        }
    } else {
        float share = static_cast<float>(seen) / static_cast<float>(op->nopnd);
        for (int32_t i = 0; i < op->nopnd; ++i)
            op->opnd_recs[i]->hit += op->opnd_recs[i]->unit_hit * share;
        for (int32_t j = first; j < stop; ++j) {
            OCCSUPP& s = u.supp[j];
            if (!s.in_unit) continue;
            s.unit_share = s.unit_share == 0 ? share : s.unit_share * share;
        }
    }
    if (seen > op->best_units) op->best_units = seen;
}

}  // namespace

int voz_EvaluateHit_Same(OPPARM* op, OCC* occ, OCCSUPP* supp, int32_t nocc,
                         _WCTLHEAD* nodes, IDXINFO* index, VVGDOCINFO* vvg,
                         GTRSTATUS* st) {
    assert(op->unit_reader != nullptr && op->unit_seen != nullptr);
    (void)nodes;  // the operands' controls are reached through the OPPARM
    op->best_units = 0;
    // Unit marks are this operator's own: marks an earlier 'D' operator
    // left on other occurrences must not make them count here.
    for (int32_t j = 0; j < nocc; ++j) supp[j].in_unit = 0;
    if (vvg->fromWord) return 0;
    int32_t present = 0;
    for (int32_t i = 0; i < op->nopnd; ++i) {
        const _WCTLHEAD* o = op->opnd_recs[i];
        if (o->hit != 0 && o->unit_excluded == 0) ++present;
    }
    for (int32_t i = 0; i < op->nopnd; ++i) op->opnd_recs[i]->hit = 0.0f;
    const bool partial = isPartial(op->subkind);
    if (partial && present == 0) return 0;
    if (!partial && present < op->nopnd) {
        if (present > 0) {
            for (int32_t j = 0; j < nocc; ++j)
                if (voz_Operand(op, &supp[j]) && !supp[j].pending)
                    supp[j].enabled = 0;
        }
        return 0;
    }
    for (int32_t j = 0; j < nocc; ++j) supp[j].unit_no = -1;
    UnitScan u{op, occ, supp, nocc};
    const BLOCKCTL* b = op->unit_reader;
    int32_t unitNo = 0;
    int32_t j = 0;
    while (j < nocc) {
        if (unitOperand(u, j) < 0) {
            ++j;
            continue;
        }
        OCC probe = occ[j];
        probe.docno = vvg->docNo;
        probe.pos = occ[j].pos + vvg->vvgStart;
        voz_GetBlock(index, op->unit_reader, &probe, vvg, st);
        if (voz_Failed(st)) return 0;
        int64_t start = static_cast<int64_t>(b->blockStart) - vvg->vvgStart;
        int64_t end = static_cast<int64_t>(b->blockEnd) - vvg->vvgStart;
        if (occ[j].pos < start || lastPos(occ[j]) >= end) {
            ++j;  // runs past its unit (or the reader disagrees): no unit
            continue;
        }
        int32_t seen = 0;
        int32_t stop = scanUnit(u, j, start, end, unitNo, &seen);
        bookUnit(u, j, stop, seen, partial);
        ++unitNo;
        j = stop;
    }
    return partial || op->best_units == op->nopnd ? 1 : 0;
}
