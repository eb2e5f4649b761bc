// voz_postfix.cpp -- conversion of a token stream into postfix order and
// its release (voz_postfix.hpp).
//
// The conversion is an operator-precedence parse driven by three tables
// indexed by element kind 0..12: seq_check (which kind may follow which),
// juni (what the kind on top of the stack does when a kind arrives) and
// need (which kinds reach the output). In effect: operands pass straight
// through; special NOT binds tightest, then the proximity operators, then
// AND, distance, NOT and "/" at one level, then OR; operators of one level
// are left-associative; a close parenthesis emits everything down to its
// open parenthesis, and one with group options replaces it on the stack and
// is emitted after the group as a one-operand operator.
#include "calls/voz_postfix.hpp"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int KINDS = 13;  // kinds 0..12 reach the tables

// juni[top][arriving]: > 0 pop (and output when needed) and go on comparing;
// 0 pop without output and stop; < 0 stop and push. -9 marks pairs that the
// sequence check never lets through.
const int8_t juni[KINDS][KINDS] = {
    /* 0 */ {-9, -1, -1, -1, -1, -1, -1, -1, -9, -1, 0, -1, -9},
    /* 1 */ {-9, 1, -1, -1, -1, -1, -1, -1, 1, -1, 1, -1, 1},
    /* 2 */ {-9, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, -1, 1},
    /* 3 */ {-9, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, -1, 1},
    /* 4 */ {-9, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, -1, 1},
    /* 5 */ {-9, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, -1, 1},
    /* 6 */ {-9, 1, 1, 1, 1, 1, 1, -1, 1, -1, 1, 1, 1},
    /* 7 */ {-9, -1, -1, -1, -1, -1, -1, -1, 0, -1, 1, -1, 0},
    /* 8 */ {-9, 1, 1, 1, 1, 1, 1, -9, 1, -9, 1, 1, 1},
    /* 9 */ {-9, 1, 1, 1, 1, 1, 1, -9, 1, -9, 1, 1, 1},
    /* 10 */ {-9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9},
    /* 11 */ {-9, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, 1, 1},
    /* 12 */ {-9, 1, 1, 1, 1, 1, 1, -9, 1, -9, 1, 1, 1},
};

// need[kind] > 0: the kind is emitted.
const int8_t need[KINDS] = {-1, 1, 1, 1, 1, 1, 1, -1, -1, 1, -1, 1, 1};

// seq_check[previous][arriving] != 0: the arriving kind may follow.
//                    0  1  2  3  4  5  6  7  8  9 10 11 12
const uint8_t afterStart[KINDS] = {0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 0, 0};
const uint8_t afterOperator[KINDS] = {0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
const uint8_t afterOpen[KINDS] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1};
const uint8_t afterOperand[KINDS] = {0, 1, 1, 1, 1, 1, 1, 0, 1, 0, 1, 1, 1};
const uint8_t afterEnd[KINDS] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t* const seq_check[KINDS] = {
    afterStart,    afterOperator, afterOperator, afterOperator, afterOperator,
    afterOperator, afterOperator, afterOpen,     afterOperand,  afterOperand,
    afterEnd,      afterOperator, afterOperand};

constexpr int32_t STACK_FIRST = 100;
constexpr int32_t GROW = 64;

bool validKind(int16_t k) { return k >= 0 && k < KINDS; }

// A growable array of elements.
struct ElemArray {
    PFELEMENT* data = nullptr;
    int32_t used = 0;
    int32_t room = 0;

    // Makes room for one more element; false when memory is short.
    bool reserve(int32_t step) {
        if (used < room) return true;
        size_t bytes = static_cast<size_t>(room + step) * sizeof(PFELEMENT);
        void* grown = std::realloc(data, bytes);
        if (grown == nullptr) return false;
        data = static_cast<PFELEMENT*>(grown);
        room += step;
        return true;
    }
};

void setStatus(GTRSTATUS* gsp, int32_t rc, int32_t ec) {
    voz_setStatus(gsp, rc, ec);
}

// Compares the arriving element with the stack top until it is placed.
// Returns false with the status set when memory ran out.
bool place(const PFELEMENT& in, ElemArray& stack, ElemArray& out,
           GTRSTATUS* gsp) {
    while (stack.used > 0) {
        const PFELEMENT& top = stack.data[stack.used - 1];
        int8_t action = juni[top.kind][in.kind];
        if (action > 0) {
            if (need[top.kind] > 0) {
                if (!out.reserve(GROW)) {
                    setStatus(gsp, 11, 1131);
                    return false;
                }
                out.data[out.used++] = top;
            }
            --stack.used;
            continue;
        }
        if (action == 0) {
            --stack.used;
            if (need[in.kind] <= 0) return true;
        }
        break;
    }
    // The stack grows when it is full to its last place.
    if (stack.used + 1 >= stack.room && !stack.reserve(GROW)) {
        setStatus(gsp, 11, 1132);
        return false;
    }
    stack.data[stack.used++] = in;
    return true;
}

// The end of a successful conversion: a lone operand gets an OR of one
// operand, and a distance in mode 'P' goes back to kind 4.
bool finish(ElemArray& out, GTRSTATUS* gsp) {
    if (out.used == 1) {
        if (!out.reserve(GROW)) {
            setStatus(gsp, 11, 1131);
            return false;
        }
        PFELEMENT& orOp = out.data[out.used++];
        std::memset(&orOp, 0, sizeof orOp);
        orOp.kind = VOZ_PF_OR;
        orOp.Operator.op = 'O';
        orOp.opnum = 1;
        orOp.itemNo = -1;
    }
    for (int32_t i = 0; i < out.used; ++i) {
        PFELEMENT& e = out.data[i];
        if (e.kind == VOZ_PF_PROXIMITY && e.Operator.op == 'D')
            e.kind = VOZ_PF_DISTANCE;
    }
    return true;
}

// Frees the range arrays that elements of a failed conversion own: the
// caller receives a count of 0 and would not see them.
void freeRange(PFELEMENT& e) {
    RTRVWORD& w = e.winfoX.wi;
    if (e.range_list == 1 && w.rangenum > 0) {
        std::free(w.range);
        w.range = nullptr;
    }
}

void freeRanges(ElemArray& a) {
    for (int32_t i = 0; i < a.used; ++i) freeRange(a.data[i]);
}

}  // namespace

void vozConvertIntoPostfix(uint8_t* text, PFELEMENT** out, int32_t* count,
                           VOZ_CPINFO cp, const uint8_t* unnorm,
                           VOZ_TOKENIZER_FN tokenizer, const RTRVRANK* rank,
                           QUERYWORK* work, GTRSTATUS* gsp) {
    *out = nullptr;
    *count = 0;
    ElemArray stack, output;
    if (!stack.reserve(STACK_FIRST)) {
        setStatus(gsp, 11, 1128);
        return;
    }
    std::memset(&stack.data[0], 0, sizeof(PFELEMENT));
    stack.data[0].kind = VOZ_PF_START;
    stack.used = 1;
    int16_t prev = VOZ_PF_START;
    int32_t depth = 0;
    bool ok = true;
    uint8_t* pos = text;
    for (bool ended = false; ok && !ended;) {
        PFELEMENT elem;
        uint8_t* next = pos;
        tokenizer(pos, &elem, &next, cp, unnorm, text, rank, work, gsp);
        if (voz_Failed(gsp)) {
            ok = false;
            break;
        }
        if (!validKind(elem.kind) || elem.kind == VOZ_PF_START) {
            setStatus(gsp, VOZ_RC_QUERY_SEQUENCE, 1130);
            freeRange(elem);
            ok = false;
            break;
        }
        if (elem.kind == VOZ_PF_OPEN) ++depth;
        if (elem.kind == VOZ_PF_CLOSE || elem.kind == VOZ_PF_GROUP) --depth;
        elem.opnum = elem.kind == VOZ_PF_GROUP ? 1 : 2;
        if (depth < 0) {
            setStatus(gsp, VOZ_RC_PAREN_NEST, 1129);
            ok = false;
        } else if (seq_check[prev][elem.kind] == 0) {
            setStatus(gsp, VOZ_RC_QUERY_SEQUENCE, 1130);
            ok = false;
        } else {
            ok = place(elem, stack, output, gsp);
        }
        if (!ok) freeRange(elem);
        prev = elem.kind;
        ended = elem.kind == VOZ_PF_END;
        pos = next;
    }
    if (ok && depth != 0) {
        setStatus(gsp, VOZ_RC_PAREN_NEST, 1133);
        ok = false;
    }
    if (ok && stack.used != 0) {
        setStatus(gsp, VOZ_RC_QUERY_SEQUENCE, 1134);
        ok = false;
    }
    if (ok) ok = finish(output, gsp);
    if (!ok) {
        freeRanges(stack);
        freeRanges(output);
    }
    std::free(stack.data);
    *out = output.data;
    if (ok) *count = output.used;
}

void vozConvertIntoPostfixTerm(PFELEMENT* elems, int32_t count) {
    if (elems == nullptr) return;
    for (int32_t i = 0; i < count; ++i) freeRange(elems[i]);
    std::free(elems);
}
