// voz_keyfile.hpp -- reading side of the key file: the basic information
// record, key records singly and in runs, the key-index table, binary
// searches over the fixed keys, variable-key order and field-number keys.
//
// Layout: voz_keyrec.hpp. The builder writes the file (voz_keywrite.hpp);
// query evaluation and the file-set operations read it through here.
//
// Conventions: every function takes the file set (_FCTLHEAD) whose key file
// is open, or whose `sharedFrom` set has it open; record r lies at the set's
// keyBase + 1296 + 28 * r. Failures fill the caller's GTRSTATUS (return code,
// reason, the key file's name, errno) and the function returns -1; a set
// retcode is never overwritten. Returned records hold host order. Bytes from
// disk are untrusted: counts and lengths are checked before they are used.
#ifndef VOZ_KEYFILE_HPP
#define VOZ_KEYFILE_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;
struct IDXINFO;

// Record number of voz_ReadKey meaning "the record after the last read".
constexpr int32_t VOZ_NEXT_RECORD = -1;

// Search modes of voz_BinSearchKey.
enum : int32_t {
    VOZ_BS_FIELD = 1,   // field-number keys: the 'D' records
    VOZ_BS_PATTERN = 2  // other fixed keys ('F' records)
};

// "V4_0".
const char* VOZ_getPgmVersion();

// Takes `rec` as the index's basic information: refuses a version other
// than "V4_0" (23/232) and a header that no writer makes: a unit width of
// 0 or above 4 (17/240); a key compare length (units x width, computed in
// 32 bits) of 0 or above the 6 key bytes of a KEY_REC (17/241); counts that
// cannot belong together ('D' records > fixed keys > fixed records, 'V'
// keys > their records, key-index entries > fixed records) or a special
// length above 16 (17/242).  Copies it into info->info and sets
// info->keyCmpLen.  *info is left alone on a refusal.
int voz_SetIndexBasic(IDXINFO* info, const KEYINFO_0* rec, GTRSTATUS* st);

// Checks that record `b` fits index `a` (version 23/233; key geometry
// 18/234; docGroupLength 18/235; storeParameter 18/297; block sizes 18/298;
// codeInfo 18/236; options 18/237; kinds of the header slots 18/226).
int voz_CheckIndexBasic(const KEYINFO_0* a, const KEYINFO_0* b,
                        GTRSTATUS* st);

// Reads and converts the header into *rec (xIndexUnitWidth becomes 2).
// Seek 6/201; short or failed read 4/202. With withIndex non-zero and a
// non-zero entry count it also loads the key-index table into *tableOut
// (voz_ReadKeyInfo2); otherwise *tableOut (when given) is left alone.
// REQUIRES: tableOut non-null when withIndex is non-zero.
int voz_ReadKeyInfo(_FCTLHEAD* fs, KEYINFO_0* rec, int withIndex,
                    KEYIDX_ENTRY** tableOut, GTRSTATUS* st);

// Loads the rec->keyIndexEntries entries that follow the key records into a
// new malloc'd array (*tableOut; the caller frees it). No memory 11/203;
// seek 6/204; short or failed read 4/205 (a table reaching past the end of
// the file is refused before anything is allocated). On failure *tableOut
// is null.
int voz_ReadKeyInfo2(_FCTLHEAD* fs, const KEYINFO_0* rec,
                     KEYIDX_ENTRY** tableOut, GTRSTATUS* st);

// Reads key record `recordNumber` (VOZ_NEXT_RECORD: the record after the
// last one read). A 'V' head of n > 1 records brings its n - 1
// continuations into records[1 .. n-1] (continuation key lengths
// converted). REQUIRES: `records` holds 255 records, or n when the caller
// knows it. Seek 6/206; at the end of the file 19/207; read failure 4/208,
// continuations 4/209.
int voz_ReadKey(_FCTLHEAD* fs, KEY_REC* records, int32_t recordNumber,
                GTRSTATUS* st);

// Reads record `recordNumber` and the one after it (records must hold 2),
// and sets *keyLengthOut: the one-record rule of voz_KeyLength1 with
// `unitWidth`, or the total length kept in the continuation. Succeeds when
// two records were read, or one whose record count is below 2. Negative
// number 17/210; seek 6/211; at the end 19/212; read failure 4/213.
int voz_ReadKeyRec_1(_FCTLHEAD* fs, KEY_REC* records, int32_t unitWidth,
                     int32_t* keyLengthOut, int32_t recordNumber,
                     GTRSTATUS* st);

// Reads `count` consecutive records from `recordNumber`. With convert
// non-zero the integers of every record but continuations are converted;
// otherwise the records hold the bytes as stored. Seek 6/214; at the end
// 19/215; read failure 4/216.
int voz_ReadKeyMulti(_FCTLHEAD* fs, KEY_REC* records, int32_t recordNumber,
                     int32_t count, int convert, GTRSTATUS* st);

// Key length of a one-record key in the 6 head bytes: the end of the last
// unit (units at 6 - w, 6 - 2w, ...) whose first byte is not 0; 0 when all
// are 0.
int32_t voz_KeyLength1(const uint8_t* key6, int32_t unitWidth);

// Finds fixed key `key` (keyCmpLen bytes, at most 6 compared) in the key
// file of info->fctl. Mode VOZ_BS_FIELD searches the 'D' records; other
// modes the 'F' records, through the loaded key-index table when there is
// one. Found: returns 0 with its number and record. Not found: returns 1
// with the insertion point (the first record whose key is greater) and its
// record, or, beyond the last fixed key (and always when there are no fixed
// keys, number -1 then), a zero record with key bytes FF x 6. A returned
// record with data length 0 has its key bytes cleared. Failure: -1, the
// read's status, *recordOut untouched; no memory 11/221.
int voz_BinSearchKey(int32_t mode, const uint8_t* key, IDXINFO* info,
                     KEY_REC* recordOut, int32_t* recordNumberOut,
                     GTRSTATUS* st);

// voz_BinSearchKey with mode VOZ_BS_PATTERN.
int voz_BinSearchPatt(const uint8_t* key, IDXINFO* info, KEY_REC* recordOut,
                      int32_t* recordNumberOut, GTRSTATUS* st);

// Writes the field-number key of `field` into keyBuffer (6 bytes, zero-
// padded) and searches it with VOZ_BS_FIELD.
int voz_BinSearchFldNumber(uint16_t field, uint8_t* keyBuffer, IDXINFO* info,
                           KEY_REC* recordOut, int32_t* recordNumberOut,
                           GTRSTATUS* st);

// Searches the loaded key-index table for the first unit of `key`
// (info->info.unitWidth bytes, at most 4). Found: *entryOut = its index,
// returns 0. Not found: *entryOut = the insertion point clamped to
// 0 .. count - 1, returns -1 (also with no table).
int voz_BinSearchKeyInfo2(const uint8_t* key, const IDXINFO* info,
                          int32_t* entryOut);

// Orders two variable keys given as record chains (head, continuations):
// < 0, 0, > 0 like memcmp; chains with equal bytes order by record count.
int voz_VkeyCmp(const KEY_REC* a, const KEY_REC* b);

// Field-number key: f >> 8, 0x0E, f & 0xFF, 0x0E (4 bytes written).
void voz_FldNumber_Set(uint8_t* buffer, uint16_t field);
// Decodes it: buffer[0] * 256 + buffer[2].
uint16_t voz_FldNumber_Get(const uint8_t* buffer);

#endif  // VOZ_KEYFILE_HPP
