// voz_positer.hpp -- the position iterator: every occurrence (document,
// position) of the key a key iterator stands on, in ascending document and
// position order, within a range of document numbers, deleted documents
// left out.
//
// Reading protocol: while VOZ_HasMorePoss(it): VOZ_GetDocumentNumber,
// VOZ_GetDocumentPosition, VOZ_GetNextPos. VOZ_HasMorePoss reads one
// occurrence ahead; VOZ_GetNextPos consumes it.
//
// Ownership: VOZ_InitPosIterator allocates the iterator (calloc) and
// VOZ_TermPosIterator frees it. The key iterator and its search handle
// must outlive it. Errors go into the caller's GTRSTATUS; a set retcode is
// never overwritten.
#ifndef VOZ_POSITER_HPP
#define VOZ_POSITER_HPP

#include <cstdint>

#include "postings/voz_pctl.hpp"

struct GTRSTATUS;
struct KEYITERATOR;

struct POSITERATOR {
    KEYITERATOR* keyIter;     // whose current key is listed
    int32_t occDoc;           // the occurrence read last: document number
    int32_t occPos;           //   and position (less the control's base)
    PCTLHEAD pctl;            // position control over the key's postings
    uint8_t pending;          // 1: an occurrence was read ahead, unconsumed
    const uint32_t* deleted;  // the half's sorted deleted documents
    uint32_t numDeleted;
    int32_t firstDoc;         // range of document numbers, inclusive
    int32_t lastDoc;
};

// *it null: allocates an iterator (no memory 11/1694) over the key
// iterator's current key and moves it to the first document >= first;
// *it is set only on success. *it given: restarts that iterator on the key
// iterator's current key from its stored first document number. A half
// whose documents are grouped into VVGs is refused (50/1695).
// REQUIRES: first <= last < 0x7FFFFFFF (the call layer checks).
void VOZ_InitPosIterator(POSITERATOR** it, KEYITERATOR* keyIter,
                         int32_t first, int32_t last, GTRSTATUS* st);

// True while an occurrence within the range is available. A read error
// returns false with the status set.
bool VOZ_HasMorePoss(POSITERATOR* it, GTRSTATUS* st);

// Consumes the current occurrence (without a pending one: skips one).
void VOZ_GetNextPos(POSITERATOR* it, GTRSTATUS* st);

int32_t VOZ_GetDocumentNumber(const POSITERATOR* it);
int32_t VOZ_GetDocumentPosition(const POSITERATOR* it);

// Ends the position control and frees the iterator (null: nothing).
void VOZ_TermPosIterator(POSITERATOR* it, GTRSTATUS* st);

// Reads ahead the next occurrence not in a deleted document; sets the
// pending flag when there is one.
void voz_MoveToNextPos(POSITERATOR* it, GTRSTATUS* st);

#endif  // VOZ_POSITER_HPP
