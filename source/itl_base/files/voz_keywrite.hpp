// voz_keywrite.hpp -- writing side of the key file: the basic information
// record, key records and the key-index table.
//
// The index builder writes a key file in this order: the header once as a
// placeholder (voz_WriteKeyInfo, which leaves the file positioned after it),
// every key in key order (voz_WriteKey: 'D' keys, then 'F' keys, then the
// 'V' chains) while the in-memory record counts them, the final header
// (voz_WriteKeyInfo again), and for a finished index half the key-index
// table (voz_WriteKeyInfo2). The in-memory record holds host order; the file
// gets big-endian fields written one by one (layout: voz_keyrec.hpp).
//
// Failures fill the caller's GTRSTATUS with return code, reason and, for
// file failures, the key file's name and errno; the functions return -1.
#ifndef VOZ_KEYWRITE_HPP
#define VOZ_KEYWRITE_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "files/voz_records.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;

// Writes `rec` as the header of the key file of `fs` at fs->keyBase: the
// version "V4_0", with docGroupLength <= 0 maxDocNumber = highestDoc and
// reserved40 = 0, writeTime = time(), xIndexUnitWidth = 0, docCount 0 for
// set number 1, header slot s with key bytes s,0,0,0,0,0 and, when its data
// length and level are 0, location 0 and last document 0xFFFFFFFF.
// `rec` itself is not changed. Seek 6/505; write 5/506. Leaves the file
// positioned after the header.
int voz_WriteKeyInfo(_FCTLHEAD* fs, const KEYINFO_0* rec, GTRSTATUS* st);

// Writes one key at the key file's current position and counts it in `rec`.
// `records` is the head record, followed for a 'V' head of n records by its
// n - 1 continuations (in memory: host order). A null `records` does
// nothing. A `type` below 41 stores records[0] as header slot `type` and
// writes nothing. Kinds: 'F' and 'D' (fixed; 'D' also counted as such),
// 'V' (variable; `callback`, when rec->options[3] is non-zero and the
// callback is given, is asked with ('X', key bytes, options[3],
// xIndexUnitWidth) and a non-zero answer counts the key as filtered).
// Failures: other kinds 17/501; a continuation not of kind 'C' 17/503
// (found before anything is counted or written); more than 0x7FFFFFFE
// fixed or variable records 157/526, 157/527; write 5/502 (head), 5/504
// (continuations). rec->highestDoc rises to the head's lastDoc, compared
// signed: the -1 of a key without postings leaves it alone.
int voz_WriteKey(_FCTLHEAD* fs, KEYINFO_0* rec, const KEY_REC* records,
                 uint8_t type, VOZ_KEYCALLBACK_FN callback, GTRSTATUS* st);

// Builds the key-index table of the finished key file of `fs` when it has
// 'F' records, a unit width below 4 and no table yet: one entry per distinct
// first unit of the 'F' keys (first record, sum of data lengths, rank by
// that sum), appended after the key records; then rewrites the header
// (voz_WriteKeyInfo), also when no table was built. Uses the open key file
// of `fs` or opens it ("rb+": 3/514) and closes it again (10/515).
// Failures: header read (voz_ReadKeyInfo); seek 6/507; record reads
// (voz_ReadKey); memory 11/508, 11/509, 11/510; seek to the end 6/511;
// data already after the records 16/512; write 5/513.
int voz_WriteKeyInfo2(_FCTLHEAD* fs, GTRSTATUS* st);

// Orders the entry numbers numbers[0 .. count-1] ascending by the entries'
// data sums (equal sums in no fixed order).
void voz_SortKinf2(const KEYIDX_ENTRY* entries, int32_t* numbers,
                   int32_t count);

#endif  // VOZ_KEYWRITE_HPP
