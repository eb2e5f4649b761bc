// voz_merge_rec.hpp - MCTLHEAD, the per-index record of a merge: the
// builder's control of one section (or one part of an existing index)
// during a work-file or index merge, and the record vozMergeMerge takes
// once for the target and as an array for the sources.
//
// vozMergeMerge reads, of each record: the file set `idx` (its position
// broker and its deleted-document list), the head record of the key being
// merged (`curKey[0]`: level byte, data length, location) and `holdsKey`
// ('Y' when that index holds the key).  It writes nothing into the records.
// The other fields belong to the builder's merge.  An in-memory record
// (natural layout); nothing of it is written to disk as an image.
#ifndef VOZ_MERGE_REC_HPP
#define VOZ_MERGE_REC_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"

// Key records of one variable key chain (head and continuations).
constexpr int VOZ_MERGE_KEY_RECORDS = 36;

struct MCTLHEAD {
    _FCTLHEAD idx;              // the section's file set and read state
    void* ownedBuffer;          // freed when the merge of its level ends
    KEY_REC curKey[VOZ_MERGE_KEY_RECORDS];  // current key, host order
    KEYINFO_0 basic;            // the section's basic information record
    char fixedDone;             // 'Y': no fixed-key record left
    char varDone;               // 'Y': no variable-key record left
    char workKind;              // 0 work section; 'N' part of an index
    uint8_t entryNo;            // basic-information entry being merged
    int32_t mark;               // -1 when a merge starts
    char needRead;              // 'Y': read the next key first
    char holdsKey;              // 'Y': this index holds the merged key
    uint32_t shift;             // output records placed before the key
    uint32_t consumed;          // variable-key records read so far
    int32_t rank;               // result of the last minimum search
    int32_t lowDocno;           // lowest document number of the section
};

#endif  // VOZ_MERGE_REC_HPP
