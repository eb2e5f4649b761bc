// voz_postfix_opt.cpp -- flattening of nested like operators in a postfix
// array, and its trace print (voz_postfix.hpp).
//
// The optimiser simulates the evaluation on a stack: operands push
// themselves, an operator pops its operands and pushes an entry of kind
// VOZ_PF_RESULT naming itself. An operand entry that names an operator of
// the same kind, operator part and mode is merged into the consuming
// operator (not for NOT, special NOT and groups, whose operand order
// matters).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "calls/voz_postfix.hpp"
#include "cos_trace.hpp"

namespace {

// A stack entry: the kind of the entry and, for a result, the operator.
struct SimEntry {
    int16_t kind;
    int32_t producer;
};

bool isOperator(int16_t kind) {
    return (kind >= VOZ_PF_OR && kind <= VOZ_PF_SPECIAL_NOT) ||
           kind == VOZ_PF_PROXIMITY || kind == VOZ_PF_GROUP;
}

bool mergeable(const PFELEMENT& a, const PFELEMENT& b) {
    return a.kind == b.kind && a.mode == b.mode &&
           std::memcmp(&a.Operator, &b.Operator, sizeof a.Operator) == 0;
}

// A group closing right after an operand hands its field range and its
// weight to the operand where the operand has none; a group left with
// neither becomes an OR of one operand.
void handGroupOptions(PFELEMENT& group, PFELEMENT& operand) {
    RTRVWORD& g = group.winfoX.wi;
    RTRVWORD& w = operand.winfoX.wi;
    if (w.fld_number == 0) {
        w.fld_number = g.fld_number;
        w.pFieldRange = g.pFieldRange;
        g.fld_number = 0;
        g.pFieldRange = nullptr;
    }
    if (w.weight == 0) {
        w.weight = g.weight;
        w.pFieldWeight = g.pFieldWeight;
        g.weight = 0;
        g.pFieldWeight = nullptr;
    }
    if (g.fld_number == 0 && g.weight == 0) {
        group.kind = VOZ_PF_OR;
        group.Operator.op = 'O';
        group.opnum = 1;
    }
}

// Handles operator i of the walk; returns false when the stack holds too
// few operands.
bool simulateOperator(PFELEMENT* elems, int32_t i, SimEntry* stack,
                      int32_t& top, int16_t& largest) {
    PFELEMENT& op = elems[i];
    int32_t n = op.opnum;
    if (n < 0 || n > top) return false;
    bool keepsOrder = op.kind == VOZ_PF_NOT || op.kind == VOZ_PF_SPECIAL_NOT ||
                      op.kind == VOZ_PF_GROUP;
    if (!keepsOrder && n >= 1) {
        for (int32_t k = top - n; k < top; ++k) {
            if (stack[k].kind != VOZ_PF_RESULT) continue;
            PFELEMENT& inner = elems[stack[k].producer];
            if (!mergeable(inner, op)) continue;
            op.opnum = static_cast<int16_t>(op.opnum + inner.opnum - 1);
            inner.kind = VOZ_PF_REMOVED;
            if (op.opnum > largest) largest = op.opnum;
        }
    }
    if (op.kind == VOZ_PF_GROUP && i > 0 && elems[i - 1].kind == VOZ_PF_TERM)
        handGroupOptions(op, elems[i - 1]);
    top -= n;
    stack[top].kind = VOZ_PF_RESULT;
    stack[top].producer = i;
    ++top;
    return true;
}

void traceText(const char* label, const char* text) {
    cosTraceDump(CosEnTraceDetail::MED, 1, CosEnTraceDataType::CSTRING,
                 "source/itl_base/calls/voz_postfix_opt.cpp", label, text,
                 static_cast<uint32_t>(std::strlen(text)));
}

void traceData(const char* label, const void* data, uint32_t length) {
    cosTraceDump(CosEnTraceDetail::MED, 1, CosEnTraceDataType::DATA,
                 "source/itl_base/calls/voz_postfix_opt.cpp", label, data,
                 length);
}

void printOperator(const PFELEMENT& e) {
    char text[48];
    switch (e.kind) {
    case VOZ_PF_OR: std::snprintf(text, sizeof text, "+ (%d)", e.opnum); break;
    case VOZ_PF_SLASH: std::snprintf(text, sizeof text, "/ (%d)", e.opnum); break;
    case VOZ_PF_AND: std::snprintf(text, sizeof text, "* (%d)", e.opnum); break;
    case VOZ_PF_DISTANCE:
        std::snprintf(text, sizeof text, "*%d (%d)", e.Operator.op_dlmno, e.opnum);
        break;
    case VOZ_PF_NOT: std::snprintf(text, sizeof text, "- (%d)", e.opnum); break;
    default:
        std::snprintf(text, sizeof text, "Special_Not (%d)", e.opnum);
        break;
    }
    traceText("Operator", text);
}

}  // namespace

void vozPrintPostfix(const PFELEMENT* elems, int32_t count) {
    if (gs_pclCosTraceInstance == nullptr) return;
    traceText("<< Optimized query >>", "<< Optimized query >>");
    for (int32_t px = 0; px < count && elems != nullptr; ++px) {
        const PFELEMENT& e = elems[px];
        if (e.kind >= VOZ_PF_OR && e.kind <= VOZ_PF_SPECIAL_NOT) {
            printOperator(e);
        } else if (e.kind == VOZ_PF_TERM) {
            const RTRVWORD& w = e.winfoX.wi;
            if (w.wordp != nullptr && w.wordlen > 0)
                cosTraceDump(CosEnTraceDetail::MED, 1,
                             CosEnTraceDataType::CSTRING,
                             "source/itl_base/calls/voz_postfix_opt.cpp",
                             "postfix[px].winfoX.wi.wordp", w.wordp,
                             static_cast<uint32_t>(w.wordlen));
            else if (e.whole_doc == 'Y')
                traceData("postfix[px].whole_doc", &e.whole_doc, 1);
            else
                traceData("postfix[px].itemNo", &e.itemNo, sizeof e.itemNo);
        } else if (e.kind != VOZ_PF_REMOVED) {
            traceText("Operator", "??????");
        }
    }
    cosTraceFlush();
}

void vozOptimizePostfix(PFELEMENT* elems, int32_t count, int16_t* largest,
                        GTRSTATUS* gsp) {
    int16_t most = 2;
    SimEntry* stack = static_cast<SimEntry*>(
        std::malloc(sizeof(SimEntry) * static_cast<size_t>(count > 0 ? count : 1)));
    if (stack == nullptr) {
        voz_setStatus(gsp, 11, 1122);
        vozPrintPostfix(elems, count);
        if (largest != nullptr) *largest = most;
        return;
    }
    int32_t top = 0;
    bool ok = true;
    if (count >= 2) {
        for (int32_t i = 0; i < count && ok; ++i) {
            int16_t kind = elems[i].kind;
            if (kind == VOZ_PF_TERM) {
                stack[top].kind = VOZ_PF_TERM;
                stack[top].producer = i;
                ++top;
            } else if (isOperator(kind)) {
                if (!simulateOperator(elems, i, stack, top, most)) {
                    voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1126);
                    ok = false;
                }
            }
        }
        if (ok && (top != 1 || stack[0].kind != VOZ_PF_RESULT))
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1127);
    }
    if (largest != nullptr) *largest = most;
    vozPrintPostfix(elems, count);
    std::free(stack);
}
