// cnet_expand.hpp -- the expand handle of vozCNETexpandSearchCond and the
// steps of an expansion: moving the converted condition into the handle,
// expanding its words, and rewriting the order string.
#ifndef CNET_EXPAND_HPP
#define CNET_EXPAND_HPP

#include <cstdint>
#include <vector>

#include "cnet_file.hpp"
#include "cnet_refer.hpp"
#include "files/voz_records.hpp"

// The expand handle. After a successful expansion the new condition points
// only into what the handle holds: its word (or element) array, the moved
// texts and order string, the moved ranges, the related terms' records,
// the new order string; field ranges and field weights of the words and
// item values of mixed elements stay where the engine's conversion left
// them (its area, or the caller's condition).
struct EXPANDWRK {
    char tag[8];                // "EXPANDWR"
    void* conv;                 // the engine's conversion handle
    void* refer;                // the word-index search work
    RTRVWORD* words;            // new word array (structured conditions)
    GTRSEARCHMIX* mix;          // new element array (mixed conditions)
    uint8_t* texts;             // moved word texts, then the moved order string
    RTRVRANGE* ranges;          // moved range arrays of the words
    char* order;                // new order string
    CNETRESULT* results;        // related terms of every word
};

EXPANDWRK* cnetCreateExpandHandle();
// Frees what one expansion made; the handle and its word-index search stay.
void cnetClearExpandHandle(EXPANDWRK* h);
void cnetReleaseExpandHandle(EXPANDWRK* h);

// Copies the converted structured condition `conv` into the handle: its
// words into h->words (room for `capacity` words, at least its word
// count), their texts and the order string into h->texts, their range
// arrays into h->ranges; the copies are re-pointed, and a precision of 0
// becomes 100. *moved is `conv` pointing at the copies. 503 for no word or
// a missing or empty order string, 520 when memory runs out.
bool cnetMoveCond(EXPANDWRK* h, const GTRSEARCH_COND& conv, size_t capacity,
                  GTRSEARCH_COND* moved, CNETSTATUS* st);
// The same for a mixed condition: every element into h->mix, the word
// elements' texts and ranges moved as above.
bool cnetMoveCond_Mix(EXPANDWRK* h, const GTRSEARCH_COND& conv, size_t capacity,
                      GTRSEARCH_COND* moved, CNETSTATUS* st);

// Expands the words of a moved condition (its arrays are the handle's,
// with room for termLimit related terms per word) into *out.
bool cnetExpandCond(EXPANDWRK* h, CNETCTL* ctl, const GTRSEARCH_COND& moved,
                    const CNETPATH* path, const CNETRELSEL* sel, GTRSEARCH_COND* out,
                    CNETSTATUS* st);
bool cnetExpandCond_Mix(EXPANDWRK* h, CNETCTL* ctl, const GTRSEARCH_COND& moved,
                        const CNETPATH* path, const CNETRELSEL* sel, GTRSEARCH_COND* out,
                        CNETSTATUS* st);

// The order string with every element number n (1..count) replaced by
// "( n + a + ... )" of its related terms' numbers (n alone when it has
// none); a digit run right after "*" is a distance and stays. 503 for a
// number outside 1..count; *out is malloc'ed.
bool cnetSearchOrder_OR(const char* order, int32_t count,
                        const std::vector<std::vector<int32_t>>& related, char** out,
                        CNETSTATUS* st);

#endif  // CNET_EXPAND_HPP
