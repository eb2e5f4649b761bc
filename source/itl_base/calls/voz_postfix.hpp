// voz_postfix.hpp -- the postfix form of a search condition: the element
// PFELEMENT, the table-driven conversion of a token stream into postfix
// order, the flattening of nested like operators and the trace print.
//
// Every condition form is tokenized (order strings by vozIdentifyToken_NO,
// query text by its own tokenizers) into elements that the conversion
// places: operands in evaluation order, each operator right after its
// operands with its operand count. The search and the selectivity estimate
// build their operator table from the optimised array.
//
// Ownership: the arrays made here are owned by the caller, also after a
// failure, and freed with vozConvertIntoPostfixTerm (or the release function
// of the translator that made them).
#ifndef VOZ_POSTFIX_HPP
#define VOZ_POSTFIX_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// Element kinds.
enum : int16_t {
    VOZ_PF_START = 0,        // bottom of the conversion stack
    VOZ_PF_OR = 1,
    VOZ_PF_SLASH = 2,        // printed "/", ranked with AND; no tokenizer
    VOZ_PF_AND = 3,
    VOZ_PF_DISTANCE = 4,
    VOZ_PF_NOT = 5,
    VOZ_PF_SPECIAL_NOT = 6,
    VOZ_PF_OPEN = 7,
    VOZ_PF_CLOSE = 8,
    VOZ_PF_TERM = 9,
    VOZ_PF_END = 10,
    VOZ_PF_PROXIMITY = 11,   // AND or distance in mode 'P'
    VOZ_PF_GROUP = 12,       // close parenthesis with group options
    VOZ_PF_RESULT = 30,      // optimiser's stack entry for an operator result
    VOZ_PF_REMOVED = 50      // operator merged away by the optimiser
};

// One element: token, stack entry and output element alike.
struct PFELEMENT {
    int16_t kind;            // VOZ_PF_*
    RTRVOPERATOR Operator;   // op letter, op_dlmno (the distance), rest;
                             // compared and copied as one block
    char mode;               // 'S', 'F', 'P' or 0
    RTRVWORDEXT winfoX;      // the operand's word
    int32_t itemNo;          // order strings: 0-based condition number;
                             // -1 for operators, parentheses and the end
    char whole_doc;          // 'Y': the whole-document operand of a '!'
    int16_t opnum;           // operands of an operator
    int16_t producer;        // optimiser's stack: the operator it stands for
    uint8_t range_list;      // 1: winfoX.wi.range was allocated by a range
                             // option and is freed with the array
};

struct QUERYWORK;

// A tokenizer: reads the token at `pos` into *elem (cleared first) and sets
// *next after it (not at the end of the text). Failures only through gsp.
// `unnorm` is the caller's unnormalised text (or null), `start` the start of
// the text being read; rank and work may be null.
typedef void (*VOZ_TOKENIZER_FN)(uint8_t* pos, PFELEMENT* elem, uint8_t** next,
                                 VOZ_CPINFO cp, const uint8_t* unnorm,
                                 const uint8_t* start, const RTRVRANK* rank,
                                 QUERYWORK* work, GTRSTATUS* gsp);

// Retcodes of the conversion and the tokenizers.
constexpr int32_t VOZ_RC_QUERY_SYNTAX = 102;
constexpr int32_t VOZ_RC_PAREN_NEST = 103;
constexpr int32_t VOZ_RC_QUERY_SEQUENCE = 104;

// Converts the tokens read from `text` by `tokenizer` into postfix order.
// *out (allocated here, owned by the caller even on failure; null when
// nothing was output) and *count (0 unless the conversion succeeds)
// receive the result. A lone operand gets an OR of one operand after it.
// Failures: 11/1128 stack, 11/1131 output, 11/1132 stack growth, 103/1129 a
// close parenthesis too many, 104/1130 an element that may not follow the
// one before, 103/1133 parentheses left open, 104/1134 a stack not emptied;
// tokenizer failures pass through.
void vozConvertIntoPostfix(uint8_t* text, PFELEMENT** out, int32_t* count,
                           VOZ_CPINFO cp, const uint8_t* unnorm,
                           VOZ_TOKENIZER_FN tokenizer, const RTRVRANK* rank,
                           QUERYWORK* work, GTRSTATUS* gsp);

// Frees the range array of every operand that owns one (range_list set and
// rangenum above 0; the pointer is cleared), then the array. A null array
// is allowed; with a count below 1 only the array is freed.
void vozConvertIntoPostfixTerm(PFELEMENT* elems, int32_t count);

// Flattens nested like operators in place (an operator whose operand is the
// result of an operator of the same kind, operator part and mode takes over
// its operands; that operator becomes VOZ_PF_REMOVED), hands the options of
// a group that closes right after an operand to that operand, checks the
// array and writes the trace print. *largest (may be null) receives the
// largest operand count, at least 2. Failures: 11/1122 memory, 102/1126 an
// operator with too few operands, 102/1127 not exactly one result.
void vozOptimizePostfix(PFELEMENT* elems, int32_t count, int16_t* largest,
                        GTRSTATUS* gsp);

// Writes the array to the trace while it is on ("<< Optimized query >>",
// one record per element), then flushes it.
void vozPrintPostfix(const PFELEMENT* elems, int32_t count);

// Tokenizer of order strings: condition numbers from 1, "*+-#()" with an
// optional mode letter, '*' with digits a distance, '!' the whole document
// (rewritten to '#' in the string, which is read again as a special NOT).
// Bytes of value 32 or below before a token are skipped. Failures: 102/1165
// neither an operator nor a number, 102/1167 mode 'P' after an operator
// other than AND or distance.
void vozIdentifyToken_NO(uint8_t* pos, PFELEMENT* elem, uint8_t** next,
                         VOZ_CPINFO cp, const uint8_t* unnorm,
                         const uint8_t* start, const RTRVRANK* rank,
                         QUERYWORK* work, GTRSTATUS* gsp);

// Tokenizer of query text: words, "double-quoted" words, 'back-reference'
// names (taken from `unnorm`), parentheses with group options, one-character
// operators "*+-#" with a mode letter or a distance, the special NOT, and
// the options of a term (calls/voz_token_query.hpp).
void vozIdentifyToken_Query(uint8_t* pos, PFELEMENT* elem, uint8_t** next,
                            VOZ_CPINFO cp, const uint8_t* unnorm,
                            const uint8_t* start, const RTRVRANK* rank,
                            QUERYWORK* work, GTRSTATUS* gsp);

// Tokenizer of mixed query text: query text in which a backquoted token is
// an item condition.
void vozIdentifyToken_MixQuery(uint8_t* pos, PFELEMENT* elem, uint8_t** next,
                               VOZ_CPINFO cp, const uint8_t* unnorm,
                               const uint8_t* start, const RTRVRANK* rank,
                               QUERYWORK* work, GTRSTATUS* gsp);

#endif  // VOZ_POSTFIX_HPP
