// voz_aimaimix.hpp -- fuzzy lookup of a search word over a mixed index
// (voz_exactmix.hpp): every place where enough of the word's units occur,
// in nearly the same order and with small gaps, each hit with a match
// percentage of at least the word's similarity (1..99).
//
// The word counts N units: those inside its parts (blanks the cutting
// routine trims between parts do not count). Evidence comes from pieces:
//   'N' n-gram pieces: every run of n units (n = the mixed index's n-gram
//       length, stepping one unit) of the word's other parts, looked up by
//       pattern search in the mixed index;
//   'Y' candidate-key pieces: the token keys of the mixed index that
//       resemble a token part (voz_aimaicand.hpp), grouped by the word units
//       they cover; a group covering the whole word delivers its keys' hits
//       directly (the whole-word group) with the key's own percentage.
// Per document the pieces present are chained in position order; a chain
// scores the units it matches and pays for gaps; its percentage is
//   (score x 100 x 54 - penalty x 100) / (N x 5400), truncated,
// and 100 is reported only for a hit of exactly N units that used as many
// pieces as the word has parts (else 99).
//
// Piece records are GCTLINFOs whose owner fields say:
//   ownerByte       'N' n-gram piece or 'Y' candidate-key piece
//   ownerWords1     first and end (exclusive) word unit covered
//   ownerWords2     first candidate and number of candidates ('Y')
//   ownerWords3     part number (-1: none) and split kind (0 whole part,
//                   1 head, 2 tail of a part split over two keys)
//   ownerWords4     kinds 1 and 2: first and last index among the kept
//                   pieces between which its partners lie (the tails that
//                   begin where a head ends, the heads that end where a
//                   tail begins)
//   ownerWord0      1 once a lookup built it (it must be ended)
//
// Calling order: voz_GetOneWordAimaiMixInit -> next-hit calls (word-control
// protocol, voz_wordctl.hpp) -> the word ends by itself or with a target
// document above 0x7FFFFFFE.
#ifndef VOZ_AIMAIMIX_HPP
#define VOZ_AIMAIMIX_HPP

#include <cstdint>
#include <vector>

#include "files/voz_records.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Errcodes (retcode 11 memory, 17 refused).
constexpr int32_t VOZ_EC_AIMAI_NGRAMS = 165;
constexpr int32_t VOZ_EC_AIMAI_PIECES = 166;
constexpr int32_t VOZ_EC_AIMAI_TOO_MANY = 167;
constexpr int32_t VOZ_EC_AIMAI_CANDPIECES = 170;
constexpr int32_t VOZ_EC_AIMAI_WHOLE = 149;
constexpr int32_t VOZ_EC_AIMAI_KEPT = 559;
constexpr int32_t VOZ_EC_AIMAI_KEPT_WHOLE = 560;
constexpr int32_t VOZ_EC_AIMAI_CONTROL = 181;
constexpr int32_t VOZ_EC_AIMAI_ORDER = 176;
constexpr int32_t VOZ_EC_AIMAI_COVERAGE = 177;
constexpr int32_t VOZ_EC_AIMAI_TWINS = 178;

// Chain weights: scale, gap limits after a candidate-key and after an
// n-gram piece, their weights, the word-overlap weight.
constexpr int32_t VOZ_AIMAI_SCALE = 54;
constexpr int32_t VOZ_AIMAI_GAP_KEY = 9;
constexpr int32_t VOZ_AIMAI_GAP_NGRAM = 3;
constexpr int32_t VOZ_AIMAI_WEIGHT_KEY = 6;
constexpr int32_t VOZ_AIMAI_WEIGHT_NGRAM = 18;
constexpr int32_t VOZ_AIMAI_WEIGHT_OVERLAP = 9;

// One hit of the fuzzy lookup.
struct VOZAIMAIMIXHIT {
    int32_t doc;
    int32_t pos;
    int32_t len;             // units
    int32_t pct;             // match percentage
};

// The fuzzy control, behind _WCTLHEAD::priv while the word lives (made with
// new, freed when the word ends).
struct VOZAIMAIMIXCTL {
    GCTLINFO* pieces = nullptr;    // kept pieces (copies)
    int32_t pieceCount = 0;
    GCTLINFO* all = nullptr;       // every piece of the word
    int32_t allCount = 0;
    int32_t* keptToAll = nullptr;  // index in `all` of each kept piece
    GCTLINFO* whole = nullptr;     // the whole-word group, or null
    void* candidates = nullptr;    // the PARTCTL behind the 'Y' pieces
    int32_t units = 0;             // N
    int32_t parts = 0;             // parts of the word
    int32_t similarity = 0;
    int32_t misses = 0;            // allowed missing units
    int32_t simN = 0;              // similarity x N
    int32_t bonus = 0;             // 100 x units outside the kept pieces
    std::vector<int32_t> coverage; // one cell per word unit
    std::vector<uint8_t> dropped;  // 1 for units of dropped pieces
    std::vector<VOZAIMAIMIXHIT> hits; // hits of document hitsDoc, in order
    int32_t hitsDoc = -1;          // document whose hits are computed
    int32_t pieceTarget = 0;       // next document the pieces may take
    GCTLINFO* twins = nullptr;     // start option: per kept piece its
                                   // start-unit twin (ownerByte 'N': none)
    size_t nextHit = 0;            // next entry of `hits` to deliver
    int64_t positionPhases = 0;    // documents that reached chain building
};

// Prepares the fuzzy lookup of a word of kind 'W' (similarity below 100)
// over `index` (the mixed index) and `keyIndex` (its X-index). Success:
// next-hit voz_GetOneWordAimaiMix, current document -1. A word whose pieces
// all found only keys without postings becomes the whole-document list
// (retrieve_status 0x02). Nothing that can match, or a failure (memory
// 11/165, 11/166, 11/170, 11/149, 11/559, 11/560, 11/181, 11/176, 11/177;
// more key-index n-grams than three per unit 17/167; those of the
// candidate search and the lookups below): next-hit voz_GetOneWordNoOcc,
// current document 0x7FFFFFFF, nothing held.
void voz_GetOneWordAimaiMixInit(RTRVWORDEXT* word, _WCTLHEAD* w,
                                IDXINFO* index, IDXINFO* keyIndex,
                                ANSWERFORM* answer, GTRSTATUS* st);

// Builds the fuzzy control over the kept pieces and the whole-word group
// (null: none) and installs the next-hit operation. Head and tail pieces
// are linked to their partners among the kept pieces (one without any is
// exhausted at once). The control takes the
// arrays over; on failure the caller still owns and ends them.
void voz_AimaiLoop(RTRVWORDEXT* word, int32_t units, int32_t parts,
                   GCTLINFO* pieces, int32_t pieceCount, GCTLINFO* wholeWord,
                   IDXINFO* index, ANSWERFORM* answer, _WCTLHEAD* w,
                   GTRSTATUS* st);

// Next-hit operation: the first hit at or after (doc, pos); a negative doc
// resumes after the last hit; doc above 0x7FFFFFFE ends the word.
void voz_GetOneWordAimaiMix(_WCTLHEAD* w, IDXINFO* index, IDXINFO* unused,
                            ANSWERFORM* answer, int32_t doc, int32_t pos,
                            GTRSTATUS* st);

// Delivers at most one whole-word hit lying before (doc, pos) into the word
// control (*delivered grows by one); the group then moves on.
void voz_FlushOkGctl(GCTLINFO* wholeWord, IDXINFO* index, int32_t doc,
                     int32_t pos, ANSWERFORM* answer, int32_t* delivered,
                     _WCTLHEAD* w, GTRSTATUS* st);

// The document estimate of a fuzzy word whose next-hit operation is
// voz_GetOneWordAimaiMix: the smallest of its pieces' largest key document
// counts (voz_GetDocFreqByGctl over the pieces that have keys), or the
// whole-word group's largest count when that is larger (a word whose
// candidates are all whole keys has no pieces). Reads the counts kept with
// the keys, no position list.
void voz_AimaiMixDocEstimate(const _WCTLHEAD* w, int32_t* estimate);

#endif  // VOZ_AIMAIMIX_HPP
