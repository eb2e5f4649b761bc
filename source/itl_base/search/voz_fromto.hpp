// voz_fromto.hpp -- range words ('F'): every occurrence of every variable
// key between a lower and an upper key (item values stored in an
// order-preserving encoding). The init finds the first variable key not
// below the lower key by a binary search that probes the key file and then
// searches a window of it in memory, walks the keys up to the upper key and
// hands each key's postings to the pools (voz_pools.hpp); the next-hit
// operation gives the merged postings out in (document, position) order.
// Binary sets ('S') are not supported.
//
// Key chain of a key of L bytes (28-byte KEY_REC records):
//   head:          byte 0 'V', byte 1 record count (1 when L <= 6, else
//                  (L + 15) / 22 + 1), bytes 2-7 the first min(L, 6) key
//                  bytes, zero-filled
//   continuation:  byte 0 'C', byte 1 the record count, byte 2 its sequence
//                  number (1, 2, ...), bytes 6-27 the next 22 key bytes,
//                  zero-filled
// Keys compare as voz_VkeyCmp does. Variable records are numbered F .. F+V-1
// after the F fixed records (F, V from the key file's header).
#ifndef VOZ_FROMTO_HPP
#define VOZ_FROMTO_HPP

#include <cstdint>

#include "search/voz_pools.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// Records of the in-memory window of the binary search.
constexpr int32_t VOZ_FROMTO_WINDOW = 2340;

// The range word's own control (behind _WCTLHEAD::priv).
struct VOZFROMTOCTL {
    _POOLCTL pools;
    IDXINFO* index;
};

// Sets up a range word. Success: current document -1, next-hit
// voz_GetFromTo. Failure: next-hit voz_GetOneWordNoOcc, nothing held.
// Memory 11/384, 11/385, 11/386; a record of the variable range that is no
// head 17/355; key-file reads as voz_BinSearchVar; pool errors.
void voz_GetFromToInit(unsigned char* lower, int32_t lowerLength,
                       char lowerMode, unsigned char* upper,
                       int32_t upperLength, char upperMode, _WCTLHEAD* w,
                       IDXINFO* index, ANSWERFORM* answer, GTRSTATUS* st);
void voz_GetFromTo(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                   ANSWERFORM* answer, int32_t doc, int32_t pos,
                   GTRSTATUS* st);

// 1 when a key equal to `key` (a chain) exists: its head's record number in
// *recordNumber; else 0 with the first variable key above it (F + V when
// none). `buffer` holds VOZ_FROMTO_WINDOW records. -1 on failure: seek
// 6/361, 6/365; read 4/362, 4/364; a continuation without its head 17/363,
// 17/367.
int32_t voz_BinSearchVar(const KEY_REC* key, IDXINFO* index, KEY_REC* buffer,
                         int32_t* recordNumber, GTRSTATUS* st);
// Narrows [*low, *high] by probing the key file while it holds more than
// VOZ_FROMTO_WINDOW records, then reads the window into `buffer`. Returns 1
// when a probe found the key (the window is then that chain), 0, or -1.
int32_t voz_BinSearchVarFile(const KEY_REC* key, int32_t* low, int32_t* high,
                             IDXINFO* index, KEY_REC* buffer, GTRSTATUS* st);
// Searches records[0 ..] (record numbers low .. high); *index gets the
// absolute record number. 1 found, 0 not found, -1 failure.
int32_t voz_BinSearchVarMemory(const KEY_REC* key, int32_t low, int32_t high,
                               const KEY_REC* records, int32_t* index,
                               GTRSTATUS* st);

// Builds the chain of a key of `length` bytes (voz_GetKeyrecNum records).
void voz_SetKeyrec(const unsigned char* bytes, int32_t length, KEY_REC* chain);
int32_t voz_GetKeyrecNum(int32_t length);

// A binary set: always 50/391; the word gets no occurrences.
void voz_GetBinSet(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                   ANSWERFORM* answer, GTRSTATUS* st);

#endif  // VOZ_FROMTO_HPP
