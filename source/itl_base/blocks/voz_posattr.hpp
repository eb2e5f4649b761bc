// voz_posattr.hpp - POS_ATTR, where one key's position list lies, and
// POS_DATA, a run of encoded documents handed to the B-tree level.
//
// A POS_ATTR travels with the key's record; the position brokers copy it
// from and to the key record, the position levels read and fill it, and
// the shared-slot manager and the B-tree nodes use its location fields
// (`blockID`, `blkOffset`, `dataleng`) to find a slot.  This is the
// in-memory form (named fields in host order); the key file writes it
// field by field in its own layout.
//
//   level  where the list lives          blockID / blkOffset / dataleng
//     0    sequential position file      start offset bits 0-31 / 32-47 /
//                                        byte length bits 0-31
//     1    one shared slot               slot block / slot offset /
//                                        slot bytes (0xFFFFFFFF: no slot)
//     2    one shared slot + pin table   as level 1 (length with the table)
//     4    B-tree, root is a leaf        root's slot block / offset /
//     8    B-tree, root is a branch      slot bytes (never 0 while the list
//                                        has a tree; 0xFFFFFFFF: no tree)
#ifndef VOZ_POSATTR_HPP
#define VOZ_POSATTR_HPP

#include <cstdint>

// Level values; written to disk in key records: never renumber.
enum : uint8_t {
    VOZ_POS_LEVEL_NORMAL = 0,
    VOZ_POS_LEVEL_LOW = 1,
    VOZ_POS_LEVEL_MED = 2,
    VOZ_POS_LEVEL_HIGH_LEAF = 4,
    VOZ_POS_LEVEL_HIGH_BRANCH = 8,
};

constexpr uint32_t VOZ_POS_NO_BLOCK = 0xFFFFFFFFu;

struct POS_ATTR {
    uint32_t blockID;      // location (see table); VOZ_POS_NO_BLOCK: none
    uint16_t blkOffset;    // slot offset in its block; level 0: offset
                           // bits 32-47
    uint8_t level;         // VOZ_POS_LEVEL_*
    uint32_t dataleng;     // data length (see table)
    uint32_t docCount;     // number of documents in the list
    uint32_t lastDocId;    // highest document id, 0xFFFFFFFF when empty
    uint8_t datalengHigh;  // level 0: data length bits 32-39; else 0
};

// A run of encoded documents for the B-tree level (zero it before use).
struct POS_DATA {
    uint32_t baseDocid;    // id the run's first delta is relative to
    uint32_t reserved1;    // 0
    uint32_t length;       // bytes of the run
    uint8_t* start;        // first byte of the run
    uint8_t* read;         // read pointer (start again)
    uint32_t reserved2;    // 0
    uint32_t lastDocid;    // last document id of the run
};

#endif  // VOZ_POSATTR_HPP
