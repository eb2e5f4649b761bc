// voz_pattpool.hpp -- the pattern pool of a creation cycle: occurrences in
// arrival order (voz_creatwrk.hpp: PATTINFO, POOLINFO), its flush into one
// sorted section of the level-0 work files, and the radix sorts of the
// flush.
//
// Entries, by the kind the caller gives:
//   ')' length 0    one 'F' entry with the fixed pattern's bytes, mark ')'
//   ')' length n    a 'V' chain: a head with six key bytes, then
//                   continuations of 22 bytes each
//   '+'             as ')' with weight 2 (length 0: a 'D' entry, mark '+');
//                   '+' keys are written without a position list
//   '*'             field or item key in stored units: a 'V' chain, or
//                   with length 0 a 'D' entry with the 6 bytes, mark ')'
//   '&'             a document record: a 'D' entry, mark '&'
//   below 0x21      a 'D' entry with that code as mark
// A document is never split across two flushes: when the pool is full its
// earlier documents are flushed and the current one moves to the front.
#ifndef VOZ_PATTPOOL_HPP
#define VOZ_PATTPOOL_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;

// Adds one occurrence. Failures: kind 2/14; document not 0..0x7FFFFFFE
// 30/document; position above 0x3FFFFFFF, or not positive for a kind other
// than '&', 31/position; a key longer than a chain of 36 entries or a
// negative length 2/2110; a failing flush or growth keeps its status and
// the entry is not added. 0 or -1.
int VOZ_pattPool(CREATWRK* cwp, char kind, const uint8_t* pattern,
                 int32_t document, int32_t position, int32_t length,
                 GTRSTATUS* st);

// Adds the field-number key (f >> 8, 0x0E, f & 0xFF, 0x0E, 0, 0) with kind
// '*' and length 0.
int VOZ_pattPool_FldNumber(CREATWRK* cwp, uint16_t field, int32_t document,
                           int32_t position, GTRSTATUS* st);

// Keep and return the caller's three values.
void VOZ_saveDocPos(CREATWRK* cwp, int32_t a, int32_t b, int32_t c);
void VOZ_restoreDocPos(const CREATWRK* cwp, int32_t* a, int32_t* b,
                       int32_t* c);

// Inserts `document` at `index` of the pool's document list, growing it by
// 100 entries when full (11/2105, list unchanged). The count is the
// caller's. 0 or -1.
int vozAddToDocumentList(POOLINFO* pool, int32_t document, int32_t index,
                         GTRSTATUS* st);

// Flushes the pool into the next section of level 0 (opened in the work
// directory after the model `target`), then empties it. Failures: 11/7002
// output buffer; 1/16 no work block tag; 11/19 sort array; 17/20 unknown
// head kind; 17/21 heads counted and placed differ; 17/22 documents of a
// key not ascending; 17/23 positions not ascending; 11/101, 11/102 sort
// memory; the writers' failures; 50/1229 for the section that would fill
// level 0 (its merge upward is the work-file merge's), refused before
// anything is written. After a failure the pool is left as it was and no
// section is counted. 0 or -1.
int voz_PattFlush(CREATWRK* cwp, _FCTLHEAD* target, GTRSTATUS* st);

// Stable sorts of head-entry pointers (scratch allocated and freed inside;
// failure 11/101, 11/102 for the VAR sort, the array then unsorted):
// by mark (byte 7), by document, by the six key bytes as one big-endian
// number, by the whole variable key (a prefix first). Fewer than 2 entries
// or a null array: nothing. 0 or -1.
int voz_SortPattDLM(PATTINFO** a, int32_t n, GTRSTATUS* st);
int voz_SortPattDv(PATTINFO** a, int32_t n, GTRSTATUS* st);
int voz_SortPattFIX(PATTINFO** a, int32_t n, GTRSTATUS* st);
int voz_SortPattVAR(PATTINFO** a, int32_t n, GTRSTATUS* st);

// Three-way order of two 'V' chains of the pool: < 0, 0, > 0.
int voz_VpattCmp(const PATTINFO* a, const PATTINFO* b);

// Key length in bytes of the 'V' chain at `head`.
int32_t voz_PattKeyLength(const PATTINFO* head);

#endif  // VOZ_PATTPOOL_HPP
