// voz_keyiter.hpp -- the key iterator: a walk over the key dictionary of one
// half (main or supp) of an index opened for search, record by record, and
// what it tells about the key it stands on (kind, text, raw pattern, item
// value, document and hit counts); and the basic key information of one
// normalized word (how many documents of each half contain it).
//
// Record numbers: 0 and up are the key records of the half's key file;
// -41 .. -1 are the 41 key records kept in its basic information record
// (header slot s is record s - 41). Regular key records (fixed keys, the
// field-number 'D' records first) come before the X-part records (the
// variable keys, a 'V' head followed by its 'C' continuations).
//
// Ownership: VOZ_InitKeyIterator allocates the iterators (malloc); the
// caller frees each with VOZ_TermKeyIterator, which hands the search handle
// back. The search handle must stay open until then; the iterator reads
// through it but never closes it.
//
// Errors go into the caller's GTRSTATUS; a set retcode is never overwritten.
// After an error the iterator stays usable and its current record number is
// the one last set.
#ifndef VOZ_KEYITER_HPP
#define VOZ_KEYITER_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_records.hpp"

struct GTRSTATUS;
struct IDXINFO;
struct VOZSEARCH;

// Records the iterator's buffer holds for one key: a 'V' head counts its
// records in one byte, so a chain read from disk never exceeds 255.
constexpr int VOZ_KEYITER_RECORDS = 255;
// First record number a walk may start at (the first header slot).
constexpr int32_t VOZ_KEYITER_FIRST = -VOZ_KEY_SLOTS;

// Sub-index selector of VOZ_InitKeyIterator: 2 item, anything else text.
constexpr int32_t VOZ_KEYITER_ITEM = 2;

struct KEYITERATOR {
    VOZSEARCH* owner;          // search handle read through; handed back
    GTRCREATEPARM cparm;       // the sub-index's creation parameters
    IDXINFO* half;             // the half's key information (set 0)
    VOZ_CPINFO cpInfo;         // code page and internal code: the half's
    uint8_t code;              // code-page code (basic information byte 8)
    uint8_t normOption;        // normalization option (byte 9)
    VOZ_CUT_FN cut;            // cut function of the word rule (byte 11)
    int16_t unitWidth;         // bytes per unit of the code page (2 or 3)
    int32_t curRec;            // record number of the key last read
    int32_t nextRec;           // record number the next read takes
    int32_t firstRec;          // bounds of the walk, inclusive
    int32_t lastRec;
    KEYITERATOR* sibling;      // the other half's iterator over the same
                               // handle while both are alive; null else
    KEY_REC* rec;              // the current key: head, then continuations
    KEY_REC records[VOZ_KEYITER_RECORDS];
};

// Sets up one iterator over the main half of sub-index `subIndex` of
// `owner`, and *second over its supp half when the handle has it open (else
// *second is null). The walk runs from record `first` to the smaller of
// `last` and the half's last key record. REQUIRES: -41 <= first <= last.
// An iterator that cannot be allocated leaves its pointer null.
void VOZ_InitKeyIterator(KEYITERATOR** it, KEYITERATOR** second,
                         VOZSEARCH* owner, GTRCREATEPARM cparm,
                         int32_t subIndex, int32_t first, int32_t last);

// Frees `it` (null: nothing) and stores its search handle in *owner: the
// two iterators of one VOZ_InitKeyIterator share the handle, so while the
// other is alive *owner receives null and the handle stays open for it.
void VOZ_TermKeyIterator(KEYITERATOR* it, VOZSEARCH** owner);

// True while the next record number is within the walk.
bool VOZ_HasMoreKeys(const KEYITERATOR* it);

// Reads the next key; past the end nothing changes. A read error leaves
// the current record number moved on, the next one unchanged. Returns the
// current record number.
int32_t VOZ_GetNextKey(KEYITERATOR* it, GTRSTATUS* st);

// Moves to the key that holds record `target` (clamped into the walk's
// bounds), stepping back from continuation records to their head.
int32_t VOZ_JumpToKey(KEYITERATOR* it, int32_t target, GTRSTATUS* st);

// Moves to the first key equal to or greater than the first part of the
// word (`length` bytes of the index's code page), within the regular or
// the X part as the part's cut says. A word that normalizes to nothing
// leaves the iterator where it was. No memory: 11/1693.
int32_t VOZ_SearchKeyString(KEYITERATOR* it, const uint8_t* word,
                            int32_t length, GTRSTATUS* st);

// The current key as text of the code page (a field-number key as its
// decimal number) into `out` (`size` bytes); *outLen receives its length.
// Widths that differ outside UTF-8: 108/1690; no memory 11/1691.
void VOZ_GetKeyString(KEYITERATOR* it, uint8_t* out, int32_t size,
                      int32_t* outLen, GTRSTATUS* st);

// Kind byte of the current head record.
int8_t VOZ_GetKeyType(const KEYITERATOR* it);

// Document count stored in the current head record.
int32_t VOZ_GetDocumentCount(const KEYITERATOR* it);

// Documents of the current key, deleted documents left out; an error ends
// the walk with the count so far.
int32_t VOZ_GetDocumentCountEx(KEYITERATOR* it, GTRSTATUS* st);

// Positions of the current key, positions in deleted documents left out.
int32_t VOZ_GetHitCount(KEYITERATOR* it, GTRSTATUS* st);

// The current key's pattern bytes: the 6 head bytes and, for a variable
// key, its continuation bytes. REQUIRES: `out` holds 6 + 22 x 254 bytes
// (or the key's length when the caller knows it).
void VOZ_GetRawPattern(const KEYITERATOR* it, uint8_t* out, int32_t* outLen);

// The current key as an item: numeric ('N': item number and value) or
// character ('C': item number from the start or end mark, the value as
// text into `out` of `size` bytes). No memory: 11/1692.
void VOZ_GetItem(KEYITERATOR* it, char* kind, int16_t* itemNo, uint8_t* out,
                 int32_t size, int32_t* outLen, double* value,
                 GTRSTATUS* st);

// Document counts of `length` bytes of normalized word (units of
// `unitWidth` bytes) in the main and supp halves of the text sub-index of
// *handle, cut into parts by `cut`: per half the sum of the stored
// document counts of the keys the parts lead to, each key counted once,
// never above the half's document count. Returns the number of parts
// looked up; an error returns the parts so far with the status set.
int32_t VOZ_getKeyBasicInfo(VOZSEARCH** handle, const uint8_t* word,
                            int32_t length, VOZ_CUT_FN cut, int16_t unitWidth,
                            int32_t counts[2], GTRSTATUS* st);

// True when `head` is a key head whose position list may hold documents:
// empty header slots and continuation records have none.
inline bool voz_KeyHasPostings(const KEY_REC& head) {
    return head.kind != 0 && head.kind != VOZ_KIND_CONT && head.docCount != 0;
}

// Refuses a half whose documents are grouped into VVGs (50/1695): the
// iterators report document numbers and positions as stored.
bool voz_KeyIterPlainHalf(const IDXINFO* half, GTRSTATUS* st);

// The head record's document count.
int32_t voz_GetDocumentCount(IDXINFO* half, const KEY_REC* head,
                             GTRSTATUS* st);

// Documents of the key `head` of `half`, deleted ones left out.
int32_t voz_GetDocumentCountEx(IDXINFO* half, const KEY_REC* head,
                               GTRSTATUS* st);

// Positions of the key `head` of `half`, those in deleted documents left
// out.
int32_t voz_GetHitCount(IDXINFO* half, const KEY_REC* head, GTRSTATUS* st);

// One chunk of key bytes (`keyWidth`-byte units) as text of code page
// `code` into `out`: widened to `unitWidth` first when the widths differ
// (UTF-8 only, else 108/1690; no memory 11/1691), then unnormalized, then
// single-byte letters stored lower-case put back in lower case.
void voz_externalize(const uint8_t* bytes, int32_t length, uint8_t code,
                     int16_t keyWidth, int16_t unitWidth, uint8_t* out,
                     int32_t outSize, int32_t* outLen, GTRSTATUS* st);

// Repacks `length` bytes of 3-byte units in place into the 2-byte form of
// X-part keys (first byte kept; second = (second AND 63) + (third mod 6) x
// 64, kept to 8 bits); returns the new length.
int32_t voz_RepackUnits3to2(uint8_t* units, int32_t length);

// Widens 2-byte key units into 3-byte UTF-8 units; stops at a unit whose
// first byte is 0, at the end of the input, or when fewer than 4 bytes of
// room remain. *outLen receives the bytes written.
void voz_unpack_utf8(const uint8_t* in, int32_t inLen, uint8_t* out,
                     int32_t outSize, int32_t* outLen);

// The file sets of sub-index `subIndex` (2 item, else text) of a search
// handle: sets[0] main, sets[1] supp, sets[2] and sets[3] their X-indexes;
// null for a set that is not open. The search layer lies above the
// builder, so the call layer defines this (calls/voz_gtriter.cpp).
void vozSearchHandleSets(VOZSEARCH* handle, int32_t subIndex,
                         IDXINFO* sets[4]);

#endif  // VOZ_KEYITER_HPP
