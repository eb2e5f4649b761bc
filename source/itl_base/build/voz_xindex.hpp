// voz_xindex.hpp -- the X-index of an index half: an n-gram index over the
// variable keys of the regular key file's X part, its creation from a
// freshly written regular file set, and the merge of two X-indexes whose
// regular indexes were merged (renumbered through change tables).
//
// The X part of a regular key file is its variable keys: the records from
// R = basic word 52 (fixed records) onward, basic word 60 of them. X-part
// key k (k counts records from R, so a 'V' chain of c records advances it
// by c) becomes X-index document k. Its marked text (a start-mark unit,
// the key's units, an end-mark unit) is cut into windows of N units
// (N = the regular basic information's word 30, W = N x the X-part unit
// width bytes): window i is a fixed pattern posted at document k, position
// i + 1; the sentence-end slot (kind 0) closes the key at position
// windows + 1.
//
// An X-index file set is an ordinary file set (set index 1) with fixed
// keys only and sequential position lists: per key, per document a header
// (document delta, data length; postings/voz_bufferpos.hpp) and the data.
//
// Ownership: change tables are the caller's (voz_FreeChgRecNo frees their
// runs); CHANGEQOSCTL records live inside voz_MergeXindex.
#ifndef VOZ_XINDEX_HPP
#define VOZ_XINDEX_HPP

#include <cstdint>

#include "build/voz_creatwrk.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_records.hpp"

struct GTRSTATUS;
struct _FCTLHEAD;

// One run of a change table: X-part record numbers up to `oldHigh`
// (inclusive, above the previous run's) move by `shift`.
struct CHGRUN {
    int32_t oldHigh;
    int32_t shift;
};

// A change table: how the X-part record numbers of one merge input map to
// the merged key file's. Runs ascend in oldHigh. Clear it (all zero)
// before the first voz_SetChgRecNo.
struct CHGRECNO {
    CHGRUN* runs;
    int32_t count;
    int32_t capacity;
};

// Records that X-part record number `oldRecord` (and every number up to it
// above the previous run) moves by `shift`: an equal last oldHigh takes the
// new shift, an equal last shift extends the run, else a run is appended.
// Grows by 1,024 runs when full (11/609, table unchanged). 0 or -1.
int voz_SetChgRecNo(CHGRECNO* table, int32_t oldRecord, int32_t shift,
                    GTRSTATUS* st);

// Frees the runs of a table and clears it.
void voz_FreeChgRecNo(CHGRECNO* table);

// Maps `number` through `table`: the first run whose oldHigh >= number
// gives the shift. -1 when no run covers it.
int64_t voz_MapChgRecNo(const CHGRECNO* table, int32_t number);

// Derives the basic information of an X-index from `src`: version, words
// 4 and 30, the unit width (src's X-part unit width, word 92), bytes 8-19
// and the 41 header slots are copied; everything else of `dst` is zero.
void voz_SetXindexBasic(const KEYINFO_0* src, KEYINFO_0* dst);

// Builds the X-index of the regular file set `source` (closed; it is
// opened for reading here) into the X file set `target` with the creation
// machinery of `cwp` (pool, flush, work-file merge). Keys whose first
// record passes the block's unit-mark test (creationParm.keyCallback with
// kind 'X') are skipped; with a unit-equivalence function each window it
// rewrites is posted as well. The block's descriptor, output set, fixed
// pattern length and flags are restored on every exit. The key text is
// all key bytes of a chain (the head's six, then 22 per continuation).
// Failures: 17/612 an X part whose records do not form 'V' chains;
// 17/613 a window that is not 1-6 bytes; 140/614 no target directory; the
// storage's, the pool's and the merge's, unchanged. 0 or -1.
int voz_CreateXindex(_FCTLHEAD* source, CREATWRK* cwp, _FCTLHEAD* target,
                     GTRSTATUS* st);

// One input of an X-index merge: its X file set (missing files or a null
// set count as an empty input) and its change table (null: numbers stay).
struct VOZXMERGEIN {
    _FCTLHEAD* set;
    const CHGRECNO* changes;
};

// Merge state of one input, for one key at a time.
struct CHANGEQOSCTL {
    _FCTLHEAD* set;             // the input's X file set (open), or null
    const CHGRECNO* changes;
    KEY_REC key;                // current key record (host order)
    int32_t recordNumber;       // records read so far
    uint8_t* data;              // the key's position data
    uint32_t dataSize;          // bytes of the current key's data
    uint32_t dataCapacity;
    uint32_t readOffset;        // next undecoded byte of data
    int64_t document;           // running document number (before mapping)
    int64_t mapped;             // mapped number of the pending entry
    uint32_t entryOffset;       // data of the pending entry
    uint32_t entryLength;
    char atEnd;                 // 'Y': no key left in the input
    char taken;                 // 'Y': the current key joins the output
    char pending;               // 'Y': an entry is decoded and waiting
};

// Merges the position data of the current key of each input whose `taken`
// is 'Y' into the target's sequential position file, through `outBuf`
// (*outUsed of *outLength bytes in use; written out first, reason 7007,
// when an entry would not fit; target->posOffset counts the written
// bytes). Entries ascend by mapped document number; on a tie the first
// input's entry is kept and the second's dropped. Returns the number of
// entries written, or -1: seek 610 / read 611 failures of the input,
// 11/606 buffer, 17/607 entries past the data, 17/608 a number no run
// covers. *lastDocOut gets the highest mapped number written (-1: none).
int32_t voz_MergeQos(CHANGEQOSCTL* ctl, _FCTLHEAD* target, int32_t* outUsed,
                     uint8_t* outBuf, int32_t* outLength, int64_t* lastDocOut,
                     GTRSTATUS* st);

// Merges the X-indexes `inputs[0]` and `inputs[1]` into the X file set
// `target` (written "wb"; the inputs are opened for reading and closed
// again). The basic information comes from input 0 when `baseSelector` is
// non-zero, else from input 1. `workSet` is the caller's further X file
// set; it is not read. `display` 'D' prints progress. `markTest` is handed
// to the key writer. Failures: 17/605 an input with X-part keys or VVGs of
// its own; voz_MergeQos's; the storage's (reasons 7005, 7006). 0 or -1.
int voz_MergeXindex(int baseSelector, _FCTLHEAD* workSet,
                    const VOZXMERGEIN* inputs, _FCTLHEAD* target, char display,
                    VOZ_KEYCALLBACK_FN markTest, GTRSTATUS* st);

// Creates the directory of the file set `fs` with its missing parents
// (140/614 with the directory's name). 0 or -1.
int voz_MakeSetDirectory(const _FCTLHEAD* fs, GTRSTATUS* st);

#endif  // VOZ_XINDEX_HPP
