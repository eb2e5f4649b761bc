// voz_keyrec.hpp -- records and layout constants of the engine's key file.
//
// The key file (extension EY) is the dictionary of one index half and set.
// It starts, at the file set's key-file base offset, with the 1296-byte
// basic information record KEYINFO_0, followed by 28-byte key records in
// key order and an optional table of 16-byte key-index entries:
//
//   off              size       content
//   0                1296       basic information record (KEYINFO_0)
//   1296 + 28*r      28         key record r: fixed records first (kind 'D'
//                               then 'F'), then the variable keys (a 'V'
//                               head followed by its 'C' continuations)
//   after the last   16*n       key-index entries (n = keyIndexEntries)
//
// Every integer on disk is big-endian and is written field by field
// (voz_keyfile_codec.hpp); the records below are the in-memory form and hold
// host order. Their natural x86-64 layout happens to place every field at its
// on-disk offset (checked below), which keeps byte-range comparisons of the
// option fields meaningful, but nothing is ever written as a struct image.
//
// Values in this header reach disk: never renumber them.
#ifndef VOZ_KEYREC_HPP
#define VOZ_KEYREC_HPP

#include <cstddef>
#include <cstdint>

// ---- layout constants -------------------------------------------------------
constexpr int VOZ_KEYINFO_SIZE = 1296;      // basic information record
constexpr int VOZ_KEYREC_SIZE = 28;         // one key record
constexpr int VOZ_KEYIDX_ENTRY_SIZE = 16;   // one key-index entry
constexpr int VOZ_KEY_HEAD_BYTES = 6;       // key bytes held by a head record
constexpr int VOZ_KEY_CONT_BYTES = 22;      // key bytes held by a continuation
constexpr int VOZ_KEY_SLOTS = 41;           // header key slots 0..40
constexpr int VOZ_KEYINFO_SLOT_OFFSET = 148;  // offset of header slot 0
constexpr int VOZ_KEYIDX_UNIT_BYTES = 4;    // unit bytes of a key-index entry
// A fixed-key range smaller than this is read in one run and bisected in
// memory; a larger one is bisected by reading single records.
constexpr int VOZ_BINSEARCH_RUN_RECORDS = 2340;
// Highest document id an index may hold; 0x7FFFFFFF means "no document".
constexpr uint32_t VOZ_MAX_DOCID = 2147483646u;
constexpr uint32_t VOZ_NO_DOC = 0xFFFFFFFFu;  // "all ones", empty slot

// Format version stamped by the writer, refused by the readers when different.
#define VOZ_KEYFILE_VERSION "V4_0"

// Key record kinds (byte 0 of a key record).
constexpr char VOZ_KIND_VAR = 'V';     // head of a variable key chain
constexpr char VOZ_KIND_FIXED = 'F';   // fixed key
constexpr char VOZ_KIND_DFIXED = 'D';  // fixed key counted in dKindRecords
constexpr char VOZ_KIND_CONT = 'C';    // continuation of a 'V' chain

// Header key slots (KEYINFO_0::slots): the key record of the control code
// or mark s. Slots 0-32 hold the boundary keys (0 the sentence end, 1-32
// the delimiters of those numbers), slot 38 the '&' key that lists every
// document, slot 40 the VVG key; the others stay empty.
constexpr int VOZ_SLOT_BOUNDARY_LAST = 32;
constexpr int VOZ_SLOT_DOCLIST = 38;   // '&'
constexpr int VOZ_SLOT_VVG = 40;

// indexFlags bit: positions lie in the B-tree block files.
constexpr uint8_t VOZ_IDXFLAG_BTREE = 0x01;

// ---- key records -------------------------------------------------------------
// Head record of a key (kinds 'V', 'F', 'D') and header key slot.
//   off size  field
//     0    1  kind
//     1    1  records of this key (1 for fixed keys; 'V': head + continuations)
//     2    6  first 6 key bytes, zero-padded
//     8    1  level of the position list
//     9    1  bits 32-39 of the position data length
//    10    2  high 16 bits of the location
//    12    4  location (low 32 bits)
//    16    4  position data length (low 32 bits)
//    20    4  last (highest) document id of the key
//    24    4  number of documents of the key
struct KEY_REC {
    char kind;
    uint8_t recCount;
    uint8_t key[VOZ_KEY_HEAD_BYTES];
    uint8_t level;
    uint8_t lengthHigh;
    uint16_t locationHigh;
    uint32_t location;
    uint32_t dataLength;
    uint32_t lastDoc;
    uint32_t docCount;
};

// Continuation record i (1 .. n-1) after a 'V' head of n records. It occupies
// a KEY_REC slot of a record array; convert with voz_KeyRecToCont /
// voz_KeyContToRec (voz_keyfile_codec.hpp).
//   off size  field
//     0    1  'C'
//     1    1  n, records of the chain
//     2    1  i, number of this continuation
//     3    1  0
//     4    2  record 1: total key length (6 + all chunks); others 0
//     6   22  next 22 key bytes
struct KEY_CONT {
    char kind;
    uint8_t recCount;
    uint8_t index;
    uint8_t zero;
    uint16_t keyLength;
    uint8_t key[VOZ_KEY_CONT_BYTES];
};

// Key-index entry: one per distinct first unit among the 'F' records.
//   off size  field
//     0    4  first unit of the keys (unit-width bytes, zero-padded)
//     4    4  record number of the first fixed key with that unit
//     8    4  sum of the position data lengths of those records
//    12    4  rank of the entry when ordered by that sum
struct KEYIDX_ENTRY {
    uint8_t unit[VOZ_KEYIDX_UNIT_BYTES];
    uint32_t firstRecord;
    uint32_t dataSum;
    uint32_t rank;
};

// ---- basic information record ---------------------------------------------
// Offsets are those of the key file header; see the field comments.
struct KEYINFO_0 {
    char version[4];            //   0 "V4_0"
    uint16_t fixedKeyUnits;     //   4 units per key prefix
    uint16_t unitWidth;         //   6 bytes per normalised unit
    uint8_t codeInfo[8];        //   8 index options, compared
    uint8_t options[4];         //  16 index options; byte 19 feeds the key filter
    uint8_t reserved20[10];     //  20 not interpreted
    uint16_t headKeyUnits;      //  30 index option; 0 is read as 3
    uint32_t highestDoc;        //  32 max of the key records' lastDoc
    uint32_t maxDocNumber;      //  36 reported maximum document number
    uint32_t reserved40;        //  40 not interpreted
    int32_t docGroupLength;     //  44 index option, compared; 0 here
    uint32_t fixedKeys;         //  48 keys of kinds 'F' and 'D'
    uint32_t fixedRecords;      //  52 records of kinds 'F' and 'D'
    uint32_t varKeys;           //  56 'V' keys
    uint32_t varRecords;        //  60 'V' and 'C' records
    uint32_t keyIndexEntries;   //  64 entries after the records; 0 = no table
    uint32_t posDataMB;         //  68 position data size in MB
    uint32_t docCount;          //  72 document count; 0 for set number 1
    uint32_t filteredVarKeys;   //  76 'V' keys accepted by the key filter
    uint32_t dKindRecords;      //  80 'D' records (first in the file)
    uint32_t extraRecords16;    //  84 further 16-byte records after the keys
    uint32_t writeTime;         //  88 seconds since the epoch, set on write
    uint16_t xIndexUnitWidth;   //  92 written 0; 2 in memory after a load
    uint16_t sharedBlockKB;     //  94 slot-block file block size, KB
    uint16_t branchBlockKB;     //  96 branch-block file block size, KB
    uint16_t leafBlockKB;       //  98 leaf-block file block size, KB
    uint16_t storeParameter;    // 100 index option, compared
    uint8_t indexFlags;         // 102 VOZ_IDXFLAG_*
    uint8_t storeFlag;          // 103 passed to the creation parameters
    uint8_t specialLength;      // 104 length of specialLetters (<= 16)
    uint8_t specialLetters[16]; // 105 passed to the creation parameters
    uint8_t reserved121[27];    // 121 not interpreted
    KEY_REC slots[VOZ_KEY_SLOTS];  // 148 header key slots 0..40
};

static_assert(sizeof(KEY_REC) == VOZ_KEYREC_SIZE, "KEY_REC size");
static_assert(sizeof(KEY_CONT) == VOZ_KEYREC_SIZE, "KEY_CONT size");
static_assert(sizeof(KEYIDX_ENTRY) == VOZ_KEYIDX_ENTRY_SIZE, "entry size");
static_assert(sizeof(KEYINFO_0) == VOZ_KEYINFO_SIZE, "KEYINFO_0 size");
static_assert(offsetof(KEY_REC, locationHigh) == 10, "KEY_REC layout");
static_assert(offsetof(KEY_REC, docCount) == 24, "KEY_REC layout");
static_assert(offsetof(KEY_CONT, keyLength) == 4, "KEY_CONT layout");
static_assert(offsetof(KEYINFO_0, headKeyUnits) == 30, "KEYINFO_0 layout");
static_assert(offsetof(KEYINFO_0, writeTime) == 88, "KEYINFO_0 layout");
static_assert(offsetof(KEYINFO_0, storeParameter) == 100, "KEYINFO_0 layout");
static_assert(offsetof(KEYINFO_0, specialLetters) == 105, "KEYINFO_0 layout");
static_assert(offsetof(KEYINFO_0, slots) == VOZ_KEYINFO_SLOT_OFFSET,
              "KEYINFO_0 layout");

#endif  // VOZ_KEYREC_HPP
