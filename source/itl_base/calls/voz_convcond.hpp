// voz_convcond.hpp -- conversion of search conditions whose words hide in
// text (simple queries, query text, mixed query text) into conditions whose
// words are explicit records joined by an order string, for the thesaurus
// expansion; and the order string of a postfix array.
//
// A conversion translates the condition into the postfix form
// (voz_translate.hpp), drops the whole-document operands that a single NOT
// brings, copies every remaining term's word into a record and writes the
// order string that joins them by number. Everything the converted
// condition points to lives in one area owned by a conversion handle:
//
//   area (one allocation, cleared to zero), in this order
//     word records   RTRVWORD (GTRconvertSearchCond) or GTRSEARCHMIX
//                    (GTRconvertSearchCond_Mix), one per kept term
//     section pairs  RTRVRANGE runs of all words; each word's `range`
//                    points at its own run
//     word texts     twice the summed byte length of the kept words,
//                    rounded up to a multiple of 8; the words' texts in the
//                    code page (back-reference names as they were)
//     order string   16 bytes per postfix element plus the element count
//                    times the digits of the element count, plus 1, plus
//                    the query text's length for query text
//
// The handle also keeps the query work area of the last translation of
// query text: the converted words' pFieldRange and pFieldWeight point into
// its arrays. The next conversion with the handle, or its release, frees
// the area and the work area together, so a converted condition is valid
// until then. Item values of a converted mixed query text point into the
// caller's query text, which must outlive the converted condition.
#ifndef VOZ_CONVCOND_HPP
#define VOZ_CONVCOND_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"
#include "calls/voz_querywork.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// The conversion handle (allocated by the first conversion that gets a
// handle variable holding null; freed by GTRconvertSearchCond_Release).
struct VOZCONVHANDLE {
    uint8_t* area;             // the converted condition's area, or null
    int32_t area_size;         // its size in bytes
    QUERYWORK work;            // arrays of the query-text options
};

// Simple query (1) or query text (2) into words joined by an order string
// (3): each word as the caller wrote it (as its units turned back into
// text, letters in their folded case, where the caller's bytes cannot be
// told); a structured condition (3) is checked and copied unchanged. The
// output record is cleared first; on success it holds scope, discon_count,
// word_limit and codepage of the input, cond_type 3, struct_num,
// struct_word and struct_order. Failures: 1/2619 hdlpp null, 2/2620
// new_cond_ptr null, 11/2621 handle, 128/1700 reserved bytes, 108/2622
// code page, 2/2623 another type, 25/2624 no element, 17/2625 a special NOT
// without two operands or a whole-document operand that is not the first
// operand of a special NOT (no order string writes it), 11/2626 area,
// 17/2627 a term neither word nor back-reference name, 17/2628 a simple
// query without a final operator;
// the translators' and vozSearchOrder_Query's codes pass. The handle is
// stored in *hdlpp whatever the outcome.
void GTRconvertSearchCond(void** hdlpp, GTRSEARCH_COND cond,
                          GTRSEARCH_COND* new_cond_ptr, GTRSTATUS* gsp);

// Mixed query text (6) into mixed entries joined by an order string (5):
// character items ('E') and numeric ranges ('F') become item entries with
// the item as read from the text, other terms word entries. A mixed
// condition (5) is checked and copied unchanged. Failures as above with
// 1/2633, 2/2634, 11/2635, 108/2636, 2/2637, 25/2638, 17/2639, 11/2640,
// 17/2641.
void GTRconvertSearchCond_Mix(void** hdlpp, GTRSEARCH_COND cond,
                              GTRSEARCH_COND* new_cond_ptr, GTRSTATUS* gsp);

// Frees the area, the work area and the handle and sets *hdlpp to null. A
// null hdlpp or handle does nothing.
void GTRconvertSearchCond_Release(void** hdlpp);

// Writes into `out` (at most `outSize` bytes, NUL-terminated) the order
// string of the postfix array, after optimising the array in place
// (vozOptimizePostfix; its failures pass). Terms are numbered from 1 in
// array order; an operator writes its operands joined by its sign ("*" AND,
// "+" OR, "-" NOT, "*n" distance n, "#" a special NOT of two operands, "?"
// another kind) and its mode letter, inside "( " and ") " unless it is the
// last element; a special NOT of one operand writes "!" with its mode and
// its operand; a single NOT's text that follows a special NOT is enclosed
// in "( " and ") ". Failures: 11/2629 memory, 17/2630 a special NOT of
// neither one nor two operands, 17/2631 not exactly one operator's text at
// the end, 17/2632 the text does not fit (nothing written past outSize).
void vozSearchOrder_Query(PFELEMENT* pf, int32_t count, char* out,
                          int32_t outSize, GTRSTATUS* gsp);

#endif  // VOZ_CONVCOND_HPP
