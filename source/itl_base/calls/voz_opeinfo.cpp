// voz_opeinfo.cpp -- builds the operator table of a search from its
// optimised postfix form (layout and numbering in voz_opeinfo.hpp).
#include "calls/voz_opeinfo.hpp"

#include <cstdlib>
#include <cstring>

namespace {

// One entry of the walk's stack: a term (its element and ordinal) or the
// result of an operator made earlier.
struct OpeStackEntry {
    bool isResult;
    int32_t elem;     // term: index of its element
    int32_t ordinal;  // term: ordinal, -1 for a whole-document operand
    int32_t op;       // result: index of the operator
};

bool isOperatorKind(int16_t kind) {
    return kind != VOZ_PF_TERM && kind != VOZ_PF_REMOVED;
}

size_t alignUp(size_t n, size_t a) { return (n + a - 1) / a * a; }

// The block's part offsets for `ops` operators and `words` word records.
struct BlockLayout {
    size_t wordsAt, listsAt, size;
    BlockLayout(int32_t ops, int32_t words) {
        wordsAt = alignUp(sizeof(OPEINFO) * static_cast<size_t>(ops),
                          alignof(RTRVWORDEXT));
        listsAt = alignUp(wordsAt + sizeof(RTRVWORDEXT) * static_cast<size_t>(words),
                          alignof(int32_t));
        size = listsAt + sizeof(int32_t) * static_cast<size_t>(ops + words);
        if (size == 0) size = 1;
    }
};

// The state of one build: the block's parts and how far each is filled.
struct OpeBuild {
    const PFELEMENT* elems;
    OPEINFO* ops;
    RTRVWORDEXT* words;
    int32_t* lists;
    int32_t opCap, wordCap, listCap;
    int32_t nOps = 0, nWords = 0, nList = 0;
    OpeStackEntry* stack;
    int32_t depth = 0;
    GTRSTATUS* gsp;

    bool fail(int32_t errcode) {
        voz_setStatus(gsp, VOZ_RC_INCONSISTENT, errcode);
        return false;
    }

    // The operand number of stack entry `e`; a term becomes a new word
    // record holding a copy of its extended word.
    bool operandOf(const OpeStackEntry& e, int32_t* out) {
        if (e.isResult) {
            *out = wordCap + e.op;
            return true;
        }
        if (nWords >= wordCap) return fail(VOZ_EC_OPEINFO_TERMS);
        RTRVWORDEXT* w = &words[nWords];
        vozWordExtCopy(w, &elems[e.elem].winfoX);
        w->word_no = static_cast<int16_t>(e.ordinal);
        *out = nWords++;
        return true;
    }

    // Makes operator record nOps from element `el` taking the top `n` stack
    // entries, deepest first, and pushes its result.
    bool makeOperator(const PFELEMENT& el, int32_t n, char letter,
                      int32_t value) {
        if (nOps >= opCap) return fail(VOZ_EC_OPEINFO_OPERATORS);
        if (n < 1 || n > depth || nList + n > listCap)
            return fail(VOZ_EC_OPEINFO_RESULT);
        OPEINFO* op = &ops[nOps];
        op->op_kind = letter;
        op->op_mode = el.mode;
        op->op_distance = el.Operator.op_dlmno;
        op->op_value = value;
        op->op_number = nOps;
        op->op_slot = static_cast<int16_t>(wordCap + nOps);
        op->op_count = n;
        op->op_operands = &lists[nList];
        for (int32_t k = 0; k < n; ++k)
            if (!operandOf(stack[depth - n + k], &op->op_operands[k])) return false;
        nList += n;
        depth -= n;
        stack[depth++] = OpeStackEntry{true, -1, 0, nOps};
        ++nOps;
        return true;
    }

    // Hands a group's field options to operator record `op`.
    static void giveGroupOptions(OPEINFO* op, const PFELEMENT& group) {
        const RTRVWORD& wi = group.winfoX.wi;
        if (wi.pFieldRange != nullptr && wi.fld_number > 0) {
            op->fld_range_count = static_cast<uint16_t>(wi.fld_number);
            op->fld_range = wi.pFieldRange;
        }
        // The weight comes as the group's word record holds it: the
        // entries of its field-weight list, or with no list its plain
        // weight.
        if (wi.weight > 0) {
            op->fld_weight_count = static_cast<uint16_t>(wi.weight);
            op->fld_weight = wi.pFieldWeight;
        }
    }
};

// Field ranges flow down from the last operator to the first: an operand
// without a field range of its own takes its operator's.
void flowFieldRanges(OPEINFO* ops, int32_t nOps, RTRVWORDEXT* words,
                     int32_t nWords, int32_t wordCap) {
    for (int32_t i = nOps - 1; i >= 0; --i) {
        const OPEINFO& op = ops[i];
        if (op.fld_range_count == 0) continue;
        for (int32_t k = 0; k < op.op_count; ++k) {
            int32_t o = op.op_operands[k];
            if (o < nWords) {
                RTRVWORD& wi = words[o].wi;
                if (wi.pFieldRange == nullptr) {
                    wi.pFieldRange = op.fld_range;
                    wi.fld_number = static_cast<int16_t>(op.fld_range_count);
                }
            } else if (o - wordCap >= 0 && o - wordCap < i) {
                OPEINFO& child = ops[o - wordCap];
                if (child.fld_range_count == 0) {
                    child.fld_range_count = op.fld_range_count;
                    child.fld_range = op.fld_range;
                }
            }
        }
    }
}

}  // namespace

int vozCompareINT4(const void* a, const void* b) {
    int32_t x = *static_cast<const int32_t*>(a);
    int32_t y = *static_cast<const int32_t*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

void vozOpeInfo(const PFELEMENT* elems, int32_t count, int32_t value,
                int32_t* nWords, RTRVWORDEXT** firstWord, int32_t* nOps,
                OPEINFO** block, void* /*unused*/, GTRSTATUS* gsp) {
    *nWords = 0;
    *nOps = 0;
    *firstWord = nullptr;
    *block = nullptr;
    int32_t terms = 0, operators = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (elems[i].kind == VOZ_PF_TERM) ++terms;
        else if (isOperatorKind(elems[i].kind)) ++operators;
    }
    OpeBuild b;
    b.elems = elems;
    b.gsp = gsp;
    b.stack = static_cast<OpeStackEntry*>(
        std::malloc(sizeof(OpeStackEntry) * static_cast<size_t>(count > 0 ? count : 1)));
    if (b.stack == nullptr) {
        voz_setStatus(gsp, VOZ_RC_MEMORY, VOZ_EC_OPEINFO_STACK);
        return;
    }
    BlockLayout lay(operators, terms);
    uint8_t* raw = static_cast<uint8_t*>(std::calloc(1, lay.size));
    if (raw == nullptr) {
        std::free(b.stack);
        voz_setStatus(gsp, VOZ_RC_MEMORY, VOZ_EC_OPEINFO_BLOCK);
        return;
    }
    *block = b.ops = reinterpret_cast<OPEINFO*>(raw);
    b.words = reinterpret_cast<RTRVWORDEXT*>(raw + lay.wordsAt);
    b.lists = reinterpret_cast<int32_t*>(raw + lay.listsAt);
    b.opCap = operators;
    b.wordCap = terms;
    b.listCap = operators + terms;
    *firstWord = b.words;

    bool ok = true;
    int32_t ordinal = 0;
    int16_t prevKind = -1;  // kind of the element before, -1 at the start
    for (int32_t i = 0; ok && i < count; ++i) {
        const PFELEMENT& el = elems[i];
        if (el.kind == VOZ_PF_REMOVED) continue;
        if (el.kind == VOZ_PF_TERM) {
            int32_t ord = el.winfoX.wi.type == 'D' ? -1 : ordinal++;
            b.stack[b.depth++] = OpeStackEntry{false, i, ord, -1};
        } else if (el.kind == VOZ_PF_GROUP &&
                   (prevKind == -1 || prevKind == VOZ_PF_TERM ||
                    prevKind == VOZ_PF_GROUP)) {
            // A group around a single operand: an OR of one operand that
            // carries the group's options.
            ok = b.makeOperator(el, 1, 'O', value);
            if (ok) OpeBuild::giveGroupOptions(&b.ops[b.nOps - 1], el);
        } else if (el.kind == VOZ_PF_GROUP) {
            if (b.nOps == 0) ok = b.fail(VOZ_EC_OPEINFO_RESULT);
            else OpeBuild::giveGroupOptions(&b.ops[b.nOps - 1], el);
        } else {
            ok = b.makeOperator(el, el.opnum, el.Operator.op, value);
        }
        prevKind = el.kind;
    }
    if (ok && !(b.depth == 1 && b.stack[0].isResult)) ok = b.fail(VOZ_EC_OPEINFO_RESULT);
    std::free(b.stack);
    *nWords = b.nWords;
    *nOps = b.nOps;
    if (!ok) return;
    for (int32_t i = 0; i < b.nOps; ++i) {
        OPEINFO& op = b.ops[i];
        int32_t from = op.op_kind == 'N' ? 1 : 0;
        if (op.op_count - from > 1)
            std::qsort(op.op_operands + from, static_cast<size_t>(op.op_count - from),
                       sizeof(int32_t), vozCompareINT4);
    }
    flowFieldRanges(b.ops, b.nOps, b.words, b.nWords, b.wordCap);
}

void vozOpeInfoTerm(OPEINFO* block) { std::free(block); }
