// voz_querywork.hpp -- QUERYWORK, the work area of one translation of query
// text: the field-range and field-weight arrays that the options of its
// terms allocate, listed so that they can be freed when the search is done.
//
// The translation that made the work area owns it. An option registers its
// array only once the array is complete (a failing option frees its own);
// vozQueryWorkTerm frees every listed array and the lists. The operands'
// pFieldRange and pFieldWeight point into these arrays, so the work area
// must outlive the postfix array that uses them.
#ifndef VOZ_QUERYWORK_HPP
#define VOZ_QUERYWORK_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// One growable list of array pointers (grown by 8 entries at a time).
struct VOZQWLIST {
    int16_t count;            // arrays listed
    int16_t capacity;         // room of `arrays`
    void** arrays;            // the arrays, allocated with malloc
};

struct QUERYWORK {
    VOZQWLIST fieldRanges;    // GTRFIELDRANGE arrays of range options
    VOZQWLIST fieldWeights;   // GTRFIELDWEIGHT arrays of weight options
};

// Appends `array` to `list`; false (the status 11/errcode set, the array
// not listed) when the list cannot grow. The caller frees an array that
// was not listed.
bool vozQueryWorkAdd(VOZQWLIST* list, void* array, int32_t errcode,
                     GTRSTATUS* gsp);

// Frees every array listed in both lists, then each list, and clears the
// list pointers; the counts are left as they are. A null work area is
// allowed.
void vozQueryWorkTerm(QUERYWORK* work);

#endif  // VOZ_QUERYWORK_HPP
