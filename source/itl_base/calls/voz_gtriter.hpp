// voz_gtriter.hpp -- the engine calls that read the keys of an existing
// index: the basic key information of a word (GTRgetKeyInfo), the key and
// position iterators over an index opened for reading, and GTRinit,
// GTRterm, GTRinitThread and GTRtermThread, which only clear the status.
//
// Conventions:
//  - A key iterator owns the search handle it was opened on; the handle is
//    closed and released by GTRkeyIteratorTerm (for the two iterators of
//    one GTRkeyIteratorInitEx, by the term of the second of them).
//  - A position iterator reads through a key iterator, which must outlive
//    it; GTRposIteratorTerm frees it.
//  - The init, term and key-information calls clear the status first and
//    fill it at the first failing step. The forwarding calls (the
//    GTRkeyIterator_* and GTRposIterator_* calls and GTRposIteratorTerm)
//    only set retcode to 0, leave the rest of the status as it is, and
//    report a null iterator (or a null required pointer) as 2 with their
//    own errcode; their result is then 0 or false.
#ifndef VOZ_GTRITER_HPP
#define VOZ_GTRITER_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

struct KEYITERATOR;
struct POSITERATOR;

// Document counts of `kinfp->pszWord` in the main and supp halves of the
// text sub-index into number_of_documents[0..1]; kinfp->lNumKeyRec
// receives the number of word parts looked up. Null arguments 2/2689;
// reserved bytes 128/1715; name 1 to 2047 characters, else 29/2690; an
// index of another code page than kinfp->ucCodepage 108/2691. No index is
// left open on any path.
void GTRgetKeyInfo(const char* idxname, const char* idxdir, GTRKEYINFO* kinfp,
                   int32_t* number_of_documents, GTRSTATUS* gsp);

// Opens sub-index `subIndex` (2 item, else text) for reading and sets up
// the key iterators over its main half (*it) and supp half (*second, null
// without a supp half) for the record numbers lower .. upper. Null name,
// directory or out pointer 2/2699; name length 29/2700; lower below -41
// or above upper 2/2701; no memory for an iterator 11/2713. On a failure
// the index is closed and released and the out pointers are null.
void GTRkeyIteratorInitEx(const char* idxname, const char* idxdir,
                          int32_t subIndex, KEYITERATOR** it,
                          KEYITERATOR** second, int32_t lower, int32_t upper,
                          GTRSTATUS* gsp);
// The main half only, every key record: bounds 0 and 2147483647.
void GTRkeyIteratorInit(const char* idxname, const char* idxdir,
                        int32_t subIndex, KEYITERATOR** it, GTRSTATUS* gsp);
// Ends the iterator; the search handle is closed and released once no
// iterator reads through it. Null 2/2692.
void GTRkeyIteratorTerm(KEYITERATOR* it, GTRSTATUS* gsp);

bool GTRkeyIterator_HasMoreKeys(KEYITERATOR* it, GTRSTATUS* gsp);
int32_t GTRkeyIterator_GetNextKey(KEYITERATOR* it, GTRSTATUS* gsp);
int32_t GTRkeyIterator_SearchKeyString(KEYITERATOR* it, const char* string,
                                       int32_t length, GTRSTATUS* gsp);
void GTRkeyIterator_GetKeyString(KEYITERATOR* it, uint8_t* buffer,
                                 int32_t size, int32_t* length,
                                 GTRSTATUS* gsp);
int32_t GTRkeyIterator_GetDocumentCount(KEYITERATOR* it, GTRSTATUS* gsp);
int32_t GTRkeyIterator_GetHitCount(KEYITERATOR* it, GTRSTATUS* gsp);
int8_t GTRkeyIterator_GetKeyType(KEYITERATOR* it, GTRSTATUS* gsp);
int32_t GTRkeyIterator_GetDocumentCountEx(KEYITERATOR* it, GTRSTATUS* gsp);
// The raw pattern, at most `size` bytes of it; *length receives the bytes
// copied.
void GTRkeyIterator_GetItemString(KEYITERATOR* it, uint8_t* buffer,
                                  int32_t size, int32_t* length,
                                  GTRSTATUS* gsp);
void GTRkeyIterator_GetItem(KEYITERATOR* it, char* kind, int16_t* itemNo,
                            uint8_t* buffer, int32_t size, int32_t* length,
                            double* value, GTRSTATUS* gsp);

// Sets up a position iterator over the key iterator's current key for the
// documents lowest .. highest. Null pointers 2/2711; lowest above highest
// or highest of 2147483647 or more 2/2712.
void GTRposIteratorInitEx(POSITERATOR** it, KEYITERATOR* keyIter,
                          int32_t lowest, int32_t highest, GTRSTATUS* gsp);
// *it is set to null first; documents 0 .. 2147483646.
void GTRposIteratorInit(POSITERATOR** it, KEYITERATOR* keyIter,
                        GTRSTATUS* gsp);
void GTRposIteratorTerm(POSITERATOR* it, GTRSTATUS* gsp);
bool GTRposIterator_HasMorePoss(POSITERATOR* it, GTRSTATUS* gsp);
void GTRposIterator_GetNextPos(POSITERATOR* it, GTRSTATUS* gsp);
int32_t GTRposIterator_GetDocumentNumber(POSITERATOR* it, GTRSTATUS* gsp);
int32_t GTRposIterator_GetDocumentPosition(POSITERATOR* it, GTRSTATUS* gsp);

// Clear the status record (and trace their start, gsp and end).
void GTRinit(GTRSTATUS* gsp);
void GTRterm(GTRSTATUS* gsp);
void GTRinitThread(GTRSTATUS* gsp);
void GTRtermThread(GTRSTATUS* gsp);

#endif  // VOZ_GTRITER_HPP
