// voz_searchrec.hpp -- the query evaluation's own records: operators and
// ranking parameters of one search, occurrences and their evaluation state,
// answer sets, result records, scopes, posting controls over several keys,
// word controls and the search handle.
//
// The caller's public records (GTRSEARCH_RES, GTRSKIPFUNCINFO, RTRVWORDEXT)
// are the call layer's (files/voz_records*.hpp); IDXINFO, _FCTLHEAD and
// PCTLHEAD belong to the storage (files/voz_names.hpp, postings/voz_pctl.hpp).
//
// Only OCC reaches disk (result files, spill files, back-reference files):
// it is written as the 16 bytes it occupies in memory, in host byte order,
// exactly as a result file's reader maps it. Everything else is an
// in-memory record with its natural x86-64 layout. Documents, positions and
// counts are 32-bit. Records are cleared (memset 0) before they are filled.
#ifndef VOZ_SEARCHREC_HPP
#define VOZ_SEARCHREC_HPP

#include <cstddef>
#include <cstdint>

#include "files/voz_file.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_pagedarray.hpp"
#include "postings/voz_pctl.hpp"

struct GTRSTATUS;
struct GTRFIELDRANGE;
struct GTRFIELDWEIGHT;
struct _WCTLHEAD;
struct ANSWERFORM;
struct FIELDARRAY;

// Document number past the last one, and the largest position.
constexpr int32_t VOZ_DOC_END = 0x7FFFFFFF;
constexpr int32_t VOZ_POS_END = 0x3FFFFFFF;
// Target of a next-hit operation that runs a word to its end and lets it
// release what it holds.
constexpr int32_t VOZ_RELEASE_POS = 0x40000000;
// Length of the texts kept by the search (names, directories).
constexpr size_t VOZ_SRCH_NAME_LEN = VOZ_FNAME_LEN;  // 2075
// Longest index name, temporary directory or file name a caller may give.
constexpr size_t VOZ_SRCH_NAME_MAX = 2047;

// ---- one operator and the ranking parameters of a search -----------------

// One operator, in postfix order. Slots number the words first, then the
// operators; the last operator's slot is the root of the expression.
struct OPEINFO {
    char op_kind;            // 'A', 'O', 'N', 'D'
    char op_mode;            // 'S', 'F' or 'P' (how the operator ranks)
    int16_t op_distance;     // 'D': distance in units, 0..32
    int32_t op_count;        // number of operands
    int32_t* op_operands;    // op_count slot numbers
    int16_t op_slot;         // slot of the operator's own result
    uint16_t op_range_count; // ranges of the operator
    int32_t op_range_value;  // first range value
    int32_t op_range_value2; // second range value
    int16_t op_percentage;   // percentage; 100 when not positive
    // Filled by the call layer's operator table (calls/voz_opeinfo.hpp):
    int32_t op_value;        // the caller's value for every operator (the
                             // search condition's answer limit)
    int32_t op_number;       // index of the operator, in completion order
    uint16_t fld_range_count;    // entries of fld_range (group option)
    uint16_t fld_weight_count;   // the group's weight: entries of
                                 // fld_weight, or with fld_weight null the
                                 // plain weight (group option)
    GTRFIELDRANGE* fld_range;    // null or fld_range_count entries
    GTRFIELDWEIGHT* fld_weight;  // null or fld_weight_count entries
};

struct GTRRANKFUNCINFO;

// Ranking parameters of one search (null: no ranking); filled by the call
// layer from the caller's ranking request.
struct RANKPARM {
    uint8_t rank_flags;      // bit 0: rank; bits 0xCE require rank_user
    char rank_kind;          // 'S', 'F' or 'P'
    uint8_t* rank_docs;      // caller's array of 20-byte ranked-document
                             // entries, in rank order; null for none
    int32_t rank_limit;      // most documents kept, >= 1
    GTRRANKFUNCINFO* rank_user;  // the caller's user rank record
    float* rank_weights;     // weight table
};

// ---- occurrences ------------------------------------------------------------

// One occurrence; 16 bytes in memory, spill files, result files and
// back-reference files (host byte order):
//   off size  field
//     0    4  docno   document number, 0..0x7FFFFFFE
//     4    4  pos     position in units, 1..0x3FFFFFFF
//     8    2  len     length in units; 0 = a document-level occurrence
//    10    1  weight  count contributed to the word's hit count
//    11    1  match   match grade of the word
//    12    2  node    slot of the query word
//    14    2  spare   cleared before output
struct OCC {
    int32_t docno;
    int32_t pos;
    uint16_t len;
    uint8_t weight;
    uint8_t match;
    int16_t node;
    uint16_t spare;
};
static_assert(sizeof(OCC) == 16, "OCC is 16 bytes");
static_assert(offsetof(OCC, len) == 8 && offsetof(OCC, node) == 12,
              "OCC layout");

// Evaluation state kept beside the occurrence of the same index while one
// document is evaluated.
struct OCCSUPP {
    int32_t unit_no;         // unit in which a 'D' operator counted it; -1
    int16_t node;            // highest node the occurrence has reached
    int32_t enabled;         // 1 while it counts in the current field pass
    int32_t pending;         // 1 when it supported an earlier pass
    int32_t in_unit;         // 1 when the last 'D' operator counted it
    int32_t alive;           // 1 until a strict unit test drops it
    float score;             // best weight so far
    float unit_share;        // share of the 'D' operands found in its unit
    float kept_share;        // unit_share as taken over by the verdict
    int32_t in_field;        // 1 = inside the field tested
};

// One ranked document (24 bytes); its leading 20 bytes go to the caller.
struct RANKDOC {
    int32_t docno;           // document number
    int32_t hits;            // hit count of the document
    float score;             // its score
    int32_t first;           // first entry index of its occurrences
    int32_t count;           // number of its occurrences
    int32_t spare;
};
static_assert(sizeof(RANKDOC) == 24, "ranked-document entry is 24 bytes");
constexpr size_t VOZ_RANKDOC_OUT = 20;  // bytes handed to the caller

// ---- answer sets --------------------------------------------------------------

// Kinds of answer set (ANSWERFORM::kind).
constexpr char VOZ_ANS_NONE = 0;     // no storage (the word answer set)
constexpr char VOZ_ANS_MEMORY = 'M';
constexpr char VOZ_ANS_BUDGET = 'N'; // memory within a budget, then spill
constexpr char VOZ_ANS_FILE = 'F';
constexpr char VOZ_ANS_COUNT = '0';  // counts only

constexpr int32_t VOZ_ANS_OCC_LIMIT = 268435446;
constexpr int32_t VOZ_ANS_DOC_LIMIT = 0x7FFFFFFD;

struct ANSWERFORM {
    char kind;               // VOZ_ANS_*
    uint8_t resType;         // the descriptor's res_type
    uint8_t resForm;         // its res_dataform (1 without a descriptor)
    char limitReached;       // 'Y' once a limit was reached, else 'N'
    int32_t occLimit;        // result set: limit; word set: expansion limit
    int32_t docLimit;
    int32_t occCount;        // occurrences written
    int32_t largestWrite;    // most occurrences of one call (one document)
    int32_t lastDocOccs;     // occurrences of the last document so far
    int32_t budget;          // 'N': most entries kept in memory
    int32_t firstCapacity;   // 'N': capacity of the first allocation
    int32_t memEntries;      // entries stored in the pages
    int32_t capacity;        // entries the pages can hold
    _PAGEMEMCTL* pages;      // OCC entries
    FILE_CONTROL* file;      // the result file or the spill file
    char fileName[VOZ_SRCH_NAME_LEN];
    int32_t docCount;        // documents written
    _PAGEMEMCTL* docTable;   // entry index of documents 1, 17, 33, ...
    int32_t tableUsed;
    int32_t tableCapacity;
    char tempDir[VOZ_SRCH_NAME_LEN];
    _PAGEMEMCTL* ranked;     // RANKDOC entries
    int32_t rankMembers[4];  // -1, 0, 0, 0 with ranking; [3] ranked docs
    int32_t pageSize;        // 4096
    void* readBuffer;        // occurrence reading's buffer
    int32_t lastDoc;         // document of the last call
    char freqName[VOZ_SRCH_NAME_LEN];  // term-frequency file
    FILE_CONTROL* freqFile;
    int32_t rangeLow;        // document range of the file set searched
    int32_t rangeHigh;
    uint8_t outOfOrder;      // 1 once a document came below an earlier one
    int32_t orderMark;       // document number of the last occurrence
};

// ---- result records (a memory result, read through the result handle) -------

struct VOZRESULT {
    _PAGEMEMCTL* pages;      // OCC entries in result order
    int32_t memEntries;      // entries in the pages; the rest are spilt
    int32_t totalEntries;    // occurrences of the result
    int32_t docCount;        // documents of the result
    int32_t largestDoc;      // most entries of one document
    FILECTLHEAD spill;       // spill file (name empty when none)
    float* scores;           // one per document in result order, or null
    int32_t readPos;         // index of the next entry
    int32_t curDoc;          // next document offset of the view; -1
    OCC* readBuffer;         // largest document + largest block entries
    OCC* viewArea;           // the part after the largest document
    int32_t viewFirstEntry, viewEndEntry;
    int32_t viewFirstDoc, viewEndDoc;
    _PAGEMEMCTL* docTable;   // first entry of documents 0, 16, 32, ...
    int32_t tableEntries;
    int32_t largestBlock;    // most entries between two table entries
};

// ---- scopes -------------------------------------------------------------------

struct SCOPEDOCORDER {
    int32_t offset;          // document offset in the earlier result
    uint32_t docno;          // its document number
};

struct SCOPECTL {
    int32_t curDoc;          // last document delivered; -1 after opening
    VOZRESULT* result;       // points to `copy`
    VOZRESULT copy;          // copy of the earlier result's record
    char endFlag;            // 'Y' once exhausted
    int32_t* order;          // document offsets in document order, or null
    int32_t orderCount;
    int32_t orderPos;
};

// ---- posting control over several keys ----------------------------------------

struct GCTLINFO {
    char batchBuilt;         // 'Y': built from a candidate list
    int32_t ownerWord0;      // word of the owning lookup
    uint8_t* pattern;        // bytes of the word part searched as a key
    int32_t pattLength;      // its length in bytes
    int32_t curDoc;
    int32_t curPos;          // VOZ_POS_END = none
    int16_t basePos;         // added to every position read
    char endOfDocs;
    char endOfPos;
    uint8_t ownerByte;       // byte of the owning lookup
    int32_t groupCount;      // keys on curDoc: order[0 .. groupCount-1]
    int32_t curKey;          // index into pctl of the key holding curPos
    int32_t activeCount;     // keys not at their end: order[0 .. active-1]
    int32_t keyCount;        // entries of pctl
    PCTLHEAD* pctl;          // kept keys
    int32_t* order;          // indexes into pctl
    int32_t touched;         // group entries moved since last sorted
    int32_t* scratch;        // activeCount entries behind order
    int32_t docTotal;        // sum of document counts; batch: buffer size
    int32_t ownerWords1[2];
    int32_t maxWeight;       // largest totalWeight of the group
    int32_t maxUnits;        // largest keyUnits of the group
    int32_t ownerWords2[2];
    char takeAll;            // 'Y': batch build without length filters
    int32_t ownerWords3[2];
    void* extraBuffer;       // owner's buffer, freed with the record
    int32_t ownerWords4[2];
    int32_t allDropped;      // 1 when every key found had no postings
    int32_t droppedUnits;    // largest keyUnits of the dropped keys
    PCTLHEAD* allPctl;       // every key found, in found order
    int32_t allCount;
    int32_t* keptToAll;      // slot in allPctl of each pctl entry
};

// ---- word controls ----------------------------------------------------------------

struct IDXINFO;

// Next-hit operation: moves the word to its first occurrence at or after
// (doc, pos); doc < 0 resumes, doc > 0x7FFFFFFE runs it to its end.
typedef void (*VOZ_NEXTHIT_FN)(_WCTLHEAD* w, IDXINFO* index1, IDXINFO* index2,
                               ANSWERFORM* answer, int32_t doc, int32_t pos,
                               GTRSTATUS* st);

// One control per word and per operator, in slot order.
struct _WCTLHEAD {
    int32_t addedCount;      // entries the set-up added to the word set
    OCC cur;                 // current occurrence; docno VOZ_DOC_END = past
    char endFlag;            // 'Y' past the last occurrence
    int32_t fieldNumber;     // a field, or the entries of fieldRanges
    int32_t fieldData;
    // Field restriction and weights (search/voz_fieldrange.hpp): the lists
    // the driver copies from the word or from the operator's group, and the
    // field table that the range check's set-up makes of them.
    const GTRFIELDRANGE* fieldRanges;    // null, or fieldNumber entries
    const GTRFIELDWEIGHT* fieldWeights;  // null, or fieldWeightCount entries
    int32_t fieldWeightCount;  // entries of fieldWeights; a word without
                               // them: its plain weight (0 none)
    FIELDARRAY* fieldArray;  // the fields it may match, ascending; owned by
                             // the range check, null when none
    int32_t fieldCount;      // entries of fieldArray
    int32_t defaultWeight;   // weight (percent) outside the listed fields
    uint16_t maxFieldWeight; // largest of the table's weights and default
    uint16_t field_index;    // operator: fieldArray entry of the pass
    uint8_t outsideAllowed;  // 1: occurrences outside the fields count
    float weightFactor;      // words 1.0; operators: largest operand weight
                             // / 100
    int16_t delimiterNumber;
    char kind;
    uint8_t matchGrade;
    int32_t unitCount;
    int32_t setDocCount;     // documents of the word in this file set
    int32_t docEstimate;     // -1 = none
    int32_t gapUnits;        // units of dropped operands that follow
    uint16_t rangeCount;
    void* rangeData;         // word: its ranges; operator: a range value
    int32_t rangeValue;
    int16_t percentage;
    float operandWeight;
    int32_t countBefore;
    int32_t countAfter;
    int32_t addedCopy;
    int32_t resumeDoc;       // -1 at set-up
    int32_t resumePos;       // 1 at set-up
    VOZ_NEXTHIT_FN nextHit;  // null when the word has no occurrences
    int32_t resumeDoc2;
    int32_t resumePos2;
    IDXINFO* nextArg1;
    IDXINFO* nextArg2;
    void* priv;              // the lookup's own control
    uint8_t emptyFlag;       // 1 = the slot has no occurrences
    float weight;            // 1.0 at evaluation start
    // Evaluation members.
    PCTLHEAD* vvgPctl;       // VVG walk
    int32_t rawVvgId;        // raw occurrence read back
    int32_t rawRelPos;
    int32_t lastReadDoc;     // last-read mark
    int32_t lastReadPos;
    OCC* readSlice;          // slice of the read buffer
    int32_t readCounters[3];
    int32_t vvgMiss;         // VVG id + 1 when the raw VVG was not found
    int32_t vvgOverflow;     // how far the position ran past its VVG, + 1
    float wordWeight;        // weight of an accepted occurrence (1.0)
    float maxWeight;         // largest weight an occurrence can get
    float resultWeight;      // weight of the occurrence accepted last
    float accWeight;         // sum of the accepted occurrences' weights
    int32_t docCounters[2];  // per-document counters
    float hit;               // weighted count of the node's occurrences in
                             // the document; 0 = the node does not hold
    float rank;              // average weight of those occurrences
    int32_t max_len;
    float df;
    float idf;
    float score;
    float prox;
    float unit_hit;          // 'D': weighted count inside the unit tested
    int32_t unit_excluded;   // non-zero: never counts in unit tests
    int32_t extra_pass;      // non-zero: a whole-text pass after the
                             // field passes
    int32_t term_no;         // number in the term-frequency output; -1
};

// ---- the search handle ------------------------------------------------------------

struct VOZKEPTHALF;

// One half of a search handle (one sub-index): four set views and the
// key-information cache. Index [0] is main, [1] supp.
struct VOZSEARCHHALF {
    IDXINFO set0[2];
    IDXINFO set1[2];
    KEYINFO_0 cache0[2];
    KEYINFO_0 cache1[2];
    KEYIDX_ENTRY* cacheBlock0[2];
    KEYIDX_ENTRY* cacheBlock1[2];
    // The open the cache belongs to ("" = none).
    char lastName[VOZ_SRCH_NAME_LEN];
    char lastDir[VOZ_SRCH_NAME_LEN];
    char lastInitials[4];
    // The files a kept handle leaves open between searches and what proves
    // them current (voz_srchopen.hpp); null until a kept open.
    VOZKEPTHALF* kept;
};

constexpr uint8_t VOZ_OPEN_FIRST = 0x80;
constexpr uint8_t VOZ_OPEN_SECOND = 0x40;

struct VOZSEARCH {
    char indexName[VOZ_SRCH_NAME_LEN];
    char indexDir[VOZ_SRCH_NAME_LEN];
    char initials[4];
    VOZSEARCHHALF first;     // text sub-index
    int32_t setOpen[2];      // main open, supp open
    char tempDir[VOZ_SRCH_NAME_LEN];
    VOZSEARCHHALF second;    // item sub-index
    uint8_t openState;       // VOZ_OPEN_FIRST | VOZ_OPEN_SECOND
    // The searches' working pages (answer sets, rank heap, result pages),
    // kept for the next search on the handle and freed at its release;
    // null until the first search.
    VOZPAGEPOOL* pagePool;
};

#endif  // VOZ_SEARCHREC_HPP
