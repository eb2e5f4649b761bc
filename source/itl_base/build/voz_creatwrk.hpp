// voz_creatwrk.hpp -- the creation work block CREATWRK of one creation cycle
// (one sub-index: text "Full"/"KPLQ" or item "Item"/"MRNS"), its pattern
// pool, position buffer and file sets, and the start and release of a cycle.
//
// A cycle: VOZ_createIndexInit opens the block; the call layer feeds
// patterns (voz_pattpool.hpp), each full pool is flushed as one section of
// the level-0 work files (voz_PattFlush); the end of creation merges the
// levels into the target set and commits or cancels. Everything here lives
// in memory only: no record of this header reaches disk as an image.
//
// Ownership: the block and everything it points to belong to the cycle; the
// caller holds the block from VOZ_createIndexInit until the end of creation
// or voz_CreateIndexReleaseAll frees it. A block is never shared.
#ifndef VOZ_CREATWRK_HPP
#define VOZ_CREATWRK_HPP

#include <cstdint>

#include "build/voz_worklevel.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_records.hpp"
#include "files/voz_timelog.hpp"

struct GTRSTATUS;
struct GTRSYSPARM;
struct VOZSTOPCLASS;
struct DOCCHKCTL;
struct VOZDOCRUN;

// Tag at the head of every work block; entry points compare it first.
#define VOZ_CREATWRK_TAG "CREATWRK"
constexpr int VOZ_TAG_LEN = 16;
constexpr int VOZ_TAG_FLUSHED = 15;   // tag byte set to 'Y' at the first flush

// ---- pattern pool --------------------------------------------------------
// One 24-byte pool entry. A head entry ('V', 'F' or the document record
// kind) uses the fields below; a continuation of a 'V' head (kind 'C')
// holds in byte 1 the key bytes it uses (1-22) and in bytes 2-23 those
// bytes, zero-filled (voz_PattContKey).
struct PATTINFO {
    char kind;                  //  0 'V', 'F', 'D' (record kind), 'C'
    uint8_t keyHead[6];         //  1 first six key bytes, zero-filled
    uint8_t chainOrMark;        //  7 'V': entries of the chain; else the
                                //    pattern kind (')' for a field key)
    int32_t document;           //  8 document number
    int32_t position;           // 12 position in the document
    uint8_t weight;             // 16 2 for kind '+', else 1
    uint8_t unused[7];          // 17 not written
};
static_assert(sizeof(PATTINFO) == 24, "a pool entry is 24 bytes");

constexpr int VOZ_PATT_SIZE = 24;
constexpr int VOZ_PATT_CONT_BYTES = 22;   // key bytes of one continuation
// Longest 'V' chain the pool takes: a merge holds a key in 36 records.
constexpr int VOZ_PATT_MAX_CHAIN = 36;

// Key bytes of continuation entry `e` (22 bytes at entry byte 2).
inline uint8_t* voz_PattContKey(PATTINFO* e) {
    return reinterpret_cast<uint8_t*>(e) + 2;
}
inline const uint8_t* voz_PattContKey(const PATTINFO* e) {
    return reinterpret_cast<const uint8_t*>(e) + 2;
}
// Key bytes used by continuation entry `e` (entry byte 1).
inline uint8_t voz_PattContUsed(const PATTINFO* e) {
    return reinterpret_cast<const uint8_t*>(e)[1];
}

// The pattern pool: entries in arrival order from start to cursor.
struct POOLINFO {
    PATTINFO* start;            // first entry
    PATTINFO* end;              // start + size / 24
    PATTINFO* cursor;           // next free entry
    PATTINFO** sortBuffer;      // head pointers sorted by the flush
    int32_t sortBufferCapacity; // in pointers
    int32_t size;               // bytes, a multiple of 24
    int32_t growStep;           // bytes, a multiple of 24
    int32_t highestDocument;    // -1 when empty
    int32_t lowestDocument;     // 0x7FFFFFFF when empty
    int32_t documentCount;      // '&' entries in the pool
    int32_t documentListCapacity;  // entries of documentList
    int32_t* documentList;      // growable list of document numbers
    int32_t poolWord;           // 0 at start and after each flush
    int32_t outOfOrder;         // 1 once a document came below the highest
};

// ---- position buffer -----------------------------------------------------
// Positions (or document starts) of one document of one key, encoded, until
// voz_WritePos writes them with their document header (voz_poswrite.hpp).
struct POSBUFFER {
    uint8_t* start;
    uint8_t* end;
    uint8_t* cursor;            // next free byte
    int32_t spare;              // not used
    int32_t lastDocument;       // -1 after a reset
    int32_t lastPosition;       // 0 after a reset
    int32_t lastDocumentStart;  // 0 after a reset (the reader's origin)
};
constexpr int32_t VOZ_POSBUF_STEP = 65530;   // first size and growth step

// ---- the ten file sets -----------------------------------------------------
// indexSets[kind * 5 + slot]: kind 0 the regular index, 1 the X-index.
enum : int {
    VOZ_SET_MAIN = 0,           // file type 0 "main"
    VOZ_SET_SUPP = 1,           // file type 1 "supp"
    VOZ_SET_MAIN_NEW = 2,       // file type 2 "#main"
    VOZ_SET_SUPP_NEW = 3,       // file type 3 "#supp"
    VOZ_SET_WORK = 4,           // file type 6, the work set
    VOZ_SETS_PER_KIND = 5,
    VOZ_SET_COUNT = 10
};

// Capacity of the sub-index prefix text ("Full", "Item").
constexpr int VOZ_PREFIX_LEN = VOZ_SUBDIR_PREFIX_LEN;

// The creation work block.
struct CREATWRK {
    char tag[VOZ_TAG_LEN];      // "CREATWRK"; byte 15 'Y' after a flush
    KEYINFO_0 basicInfo;        // header of the index being built, host order
    uint16_t fixedPatternBytes; // fixed key units x input unit width, 1-6
    POSBUFFER positionBuffer;
    POOLINFO pool;
    MCTLINFO* levels;           // levelsAllocated records
    char workDirectory[VOZ_FNAME_LEN];
    _FCTLHEAD indexSets[VOZ_SET_COUNT];
    int32_t suppVariableKeys;   // supp header word 56, 0 without supp
    _FCTLHEAD* targetSet;       // receives this cycle's output
    char operation;             // 'N' new, 'A' append
    char mainState;             // 'E' main set exists, else 'N'
    char suppState;             // 'E' supp set exists, else 'N'
    int32_t maxDocument;        // highest document already indexed, -1
    int32_t existingWords[2];   // header words 32 and 40 of supp (or main)
    VOZ_TIMELOG timeLog;
    char timeLogFlag;           // 'D' prints the time log
    char flushFlag;             // 'Y' or 'N'
    char batchOnline;           // 'B' or 'O'
    // The caller's creation parameters as given: the two creation words and
    // the key callback (the unit-equivalence function, the mark-unit
    // setter and check) are taken from here; the rest is in basicInfo.
    GTRCREATEPARM creationParm;
    int32_t savedDocumentPosition[3];  // VOZ_saveDocPos; first -1 at start
    int32_t lastFlushedDocument;       // last pool document of the previous
                                       // flush, -1 at start
    int32_t flushWords[2];
    char documentRecordKind;    // kind byte of document records, 'D'
    char directoryPrefix[VOZ_PREFIX_LEN];  // "Full" or "Item"
    _FCTLHEAD* previousSet;     // the supp set when the output follows it
    int32_t levelsAllocated;
    int32_t levelsInUse;
    int32_t registeredLow;      // 0x7FFFFFFF at start
    int32_t registeredHigh;     // -1 at start
    int32_t registeredDocuments;  // '&' records pooled in this cycle
    char xindexResult;          // VOZ_createIndexLast: 'R' X-index rebuilt,
                                // 'N' kept (copied at commit), 'D' none
    // Stop-word classes (voz_stopword.hpp).
    uint8_t stopClassCount;
    uint8_t stopListPending;    // 1: registered here, written at commit
    VOZSTOPCLASS* stopClasses;
    // Document-number checks (voz_docidchk.hpp): the existing index's
    // context, null without one, and the numbers registered in this cycle
    // as ascending disjoint runs.
    DOCCHKCTL* documentCheck;
    VOZDOCRUN* registeredRuns;
    int32_t registeredRunCount;
    int32_t registeredRunCapacity;
};

// A run of document numbers low .. high registered in this cycle.
struct VOZDOCRUN {
    int32_t low;
    int32_t high;
};

// Pool size after the memory scale of the creation parameters: 1 gives
// size / 38 x 28, 2 size x 0.7093333, 4 size x 0.037333343 (the constants
// single precision, truncated); other scales leave it.
int32_t voz_ScalePoolSize(int32_t size, uint8_t memoryScale);

// Opens a creation cycle (see the source for the steps). On success *cwpp
// is the new block and *currMaxDoc the highest document number already in
// the index (-1 for none); on failure *cwpp is null, nothing is left on
// disk under "#" names, and `st` says why: 11/2101 no block; 2/4 operation
// not 'N'/'A'; 2/5 mode not 'B'/'O'; 2/6 fixed pattern not 1-6 bytes; 2/39
// head key units negative or 7+ head bytes; 2/2103 storeParameter below
// -1; 2/2104 storeBlockUnit not 4, 8 or 16; 11/519, 525, 520, 521 memory;
// file-layer failures unchanged. `letters` holds 4 characters (not
// terminated); null letters and prefix mean "KPLQ" and "Full".
void VOZ_createIndexInit(CREATWRK** cwpp, const char* indexName,
                         const char* outDir, const char* letters,
                         const char* prefix, const char* workDir,
                         char operation, char batchOnline,
                         GTRCREATEPARM cparm, const GTRSYSPARM* sysp,
                         int32_t* currMaxDoc, GTRSTATUS* st);

// Reads back the creation parameters of a block: fields 1-10, 16 and 17
// (head key units with its default, the system-parameter word 0); the store
// fields stay 0. A null block or a wrong tag is 1/12.
void VOZ_createIndexInfo(const CREATWRK* cwp, GTRCREATEPARM* out,
                         GTRSTATUS* st);

// The cycle's memory: the pool (poolSize rounded down to 24 bytes; 11/519),
// level 0 with 60 section records (11/525, 11/520), the position buffer
// (11/521). 0 or -1; on failure what was allocated stays for
// voz_freeForCreation.
int voz_mallocForCreation(CREATWRK* cwp, int32_t poolSize,
                          int32_t poolSizeDelta, GTRSTATUS* st);

// Frees everything voz_mallocForCreation and the cycle allocated: closes
// open level files, removes work-file levels, writes back and frees the
// deleted-document lists. Every pointer is cleared, so a second call frees
// nothing twice. Never fails (close failures are dropped: the cycle is
// being given up).
void voz_freeForCreation(CREATWRK* cwp);

// Ends a cycle without result: frees its memory, removes the "#main" and
// "#supp" sets of both kinds, ends the time log and frees the block. The
// caller's status is left as it was.
void voz_CreateIndexReleaseAll(CREATWRK* cwp, GTRSTATUS* st);

// Not supported: 50/1227 and 50/1228.
void GTRcreateIndexLastMerge(void* a, void* b, void* c, GTRSTATUS* st);
void GTRcreateIndexTermMerge(void* a, void* b, void* c, GTRSTATUS* st);

#endif  // VOZ_CREATWRK_HPP
