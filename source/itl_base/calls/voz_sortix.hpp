// voz_sortix.hpp -- the two sorts of a document's boundary check.
//
// While a document's field entries are checked, its field starts and ends
// become events (field number, kind, position) that are sorted by an index
// array, and event positions are sorted with companion values. Both sorts
// are in place, iterative (an explicit stack of ranges, the smaller range
// first, so the stack stays below 64 entries) and allocate nothing.
#ifndef VOZ_SORTIX_HPP
#define VOZ_SORTIX_HPP

#include <cstdint>

// One field event of a document. Kinds: 0 start of a non-empty field, 3
// its end; 2 start and 1 end of an empty field.
struct VOZFLDEVENT {
    uint16_t fld_number;       // the field's number, not 0
    uint8_t kind;              // 0..3, above
    const uint8_t* position;   // into the document text
};

// Sorts keys[0..count) ascending as unsigned 32-bit values and moves
// values[i] with keys[i]. Null arrays or count < 2: nothing happens.
void vozSortDocIX(uint32_t* keys, int32_t* values, int32_t count);

// Sorts the index array ix[0..count) so that events[ix[i]] ascend by field
// number, then position, then kind. The events stay where they are. Null
// arrays or count < 2: nothing happens.
// REQUIRES: each ix[i] indexes `events`.
void vozSortFieldInfoIX(const VOZFLDEVENT* events, int32_t* ix,
                        int32_t count);

#endif  // VOZ_SORTIX_HPP
