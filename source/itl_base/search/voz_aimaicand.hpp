// voz_aimaicand.hpp -- candidate keys of a fuzzy word's token parts, found
// through the key index of a mixed index (voz_exactmix.hpp).
//
// In the key index a token key of L units is a document: a start-mark unit
// at position 1, its units at positions 2 .. L+1, an end-mark unit, and the
// end key (header slot 0) at position L + 2. Its fixed keys are windows of
// n' units (n' = the key index's n-gram length). A token part of the word
// is cut into n'-unit n-grams stepping one unit; every key document that
// holds enough of them, nearly in the part's order and spacing, becomes a
// candidate with a score of (matched units x 100). The alignment of one key
// is a small graph: nodes are the part's n-grams at their positions in the
// key, edges join a node to its nearest successors in both orders; a path's
// gain counts the word's units it matches (4 per unit), its penalty the
// gaps in the key and in the word. A transposed pair of units is recognised
// through the reversed n-gram of the word position (its last two units
// swapped) standing in the key where the gap is.
//
// Candidates become posting controls over the mixed index grouped by the
// range of the word they cover (voz_InitPctlBatch2); every control carries
// the key's length (keyUnits), head offset (leadOffset), tail remainder
// (trailExcess), score (totalWeight) and percentage (unitWeight[0]).
//
// Calling order for one word: voz_InitForAimaiLoopX (finds each n-gram's
// key and the reversed n-grams' keys) -> per token part voz_AimaiLoopX (or
// voz_AimaiExact for a part shorter than one n-gram) into one PARTCTL ->
// voz_TermForAimaiLoopX -> voz_AimaiDropDominated -> voz_ReadParts ->
// voz_SortPartinfo -> voz_InitPctlBatch2 per group (ended with
// voz_TermPctlBatch2); voz_PartctlFree at the end.
//
// Without a part number every candidate the search keeps begins at the
// key's first unit (head offset 0) with the part's first n-gram and reaches
// the similarity. With one (the word's first token part) it also keeps the
// two sides of a part split over two keys: a head (kind 1: the part's first
// n-gram on, below the similarity, at most one key unit after it) and a
// tail (kind 2: at the key's first unit, through the part's last n-gram).
#ifndef VOZ_AIMAICAND_HPP
#define VOZ_AIMAICAND_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct RTRVWORDEXT;

// Errcodes (retcode 11 unless noted).
constexpr int32_t VOZ_EC_AIMAI_EXACT_GROW = 171;
constexpr int32_t VOZ_EC_AIMAI_REVERSED = 172;
constexpr int32_t VOZ_EC_AIMAI_CAND_GROW = 175;
constexpr int32_t VOZ_EC_AIMAI_NO_END_KEY = 174;   // retcode 16
constexpr int32_t VOZ_EC_AIMAI_READPARTS = 179;
constexpr int32_t VOZ_EC_AIMAI_BATCH2 = 184;
constexpr int32_t VOZ_EC_AIMAI_BATCH2_BUF = 185;
constexpr int32_t VOZ_EC_AIMAI_BATCH2_ARR = 561;
constexpr int32_t VOZ_EC_AIMAI_PATHS = 551;
constexpr int32_t VOZ_EC_AIMAI_NODES = 552;
constexpr int32_t VOZ_EC_AIMAI_NODEMAP = 553;
constexpr int32_t VOZ_EC_AIMAI_EDGES = 554;

// Graph weights: gain per matched unit, key-gap and word-gap penalty per
// unit, the largest gap (units) an edge may bridge.
constexpr int32_t VOZ_AIMAI_GAIN = 4;
constexpr int32_t VOZ_AIMAI_KEYGAP = 2;
constexpr int32_t VOZ_AIMAI_WORDGAP = 1;
constexpr int32_t VOZ_AIMAI_TOLERANCE = 2;

// One candidate key (56 bytes in the 32-bit layout; natural layout here).
struct PARTINFO {
    char removed;            // 'Y' = dominated by another candidate
    uint8_t splitKind;       // 0 whole part, 1 head, 2 tail
    int32_t keyNumber;       // key record number in the mixed index
    int16_t headOffset;      // key units before the match
    int16_t matchEnd;        // end of the match in the key, units
    int16_t startUnit;       // word units covered: [startUnit, endUnit)
    int16_t endUnit;
    int16_t tailRemainder;   // key units after the match
    int16_t score;           // matched units x 100
    int32_t keyUnits;        // key length in units
    int32_t partNumber;      // -1 when none
    KEY_REC keyRec;          // the key's head record (voz_ReadParts)
};

// Growing array of candidates (grows by 1,024 entries).
struct PARTCTL {
    int32_t capacity;
    int32_t count;
    PARTINFO* parts;
};
constexpr int32_t VOZ_PARTCTL_STEP = 1024;

// Limits of one part's candidate search.
struct AIMAIXPARM {
    int32_t partNumber;      // -1: the match must reach the similarity
    int32_t headMax01;       // largest head offset, kinds 0 and 1
    int32_t tailMax02;       // largest tail remainder, kinds 0 and 2
    int32_t headMax2;        // largest head offset, kind 2
    int32_t tailMax1;        // largest tail remainder, kind 1
};

// One key-index n-gram of the word, with its key and posting control.
struct AIMAINGRAM {
    uint8_t bytes[VOZ_KEY_HEAD_BYTES];  // key-index units, zero-padded
    int32_t units;           // length in units (n', fewer for a short part)
    int32_t startUnit;       // first word unit it covers
    uint8_t mark;            // bit 1: first of its part, bit 2: last
    int32_t hasKey;          // 1 when the key index holds it
    KEY_REC key;
    PCTLHEAD pctl;           // over the key index; live while in use
    int32_t live;            // 1 while pctl stands on a key document
};
constexpr uint8_t VOZ_NGRAM_FIRST = 1;
constexpr uint8_t VOZ_NGRAM_LAST = 2;

// Graph records of one key.
struct AIMAIMX_NODE {
    int32_t ngram;           // index of the n-gram in the part
    int32_t keyPos;          // its position in the key document
    int32_t start;           // 1 for a start node
    int32_t wordGap;         // word units skipped between n-grams so far
};
struct AIMAIMX_EDGE {
    int32_t from;
    int32_t to;              // -1: end edge
    int32_t gain;
    int32_t penalty;
};
struct AIMAIMX_CTL {
    AIMAIMX_NODE* nodes;
    int32_t nodeCount, nodeCap;
    AIMAIMX_EDGE* edges;
    int32_t edgeCount, edgeCap;
    int32_t* firstEdge;      // per node: its first edge, or -1
};

// Appends one candidate (growth 11/175). False on failure.
bool voz_PartctlAdd(PARTCTL* out, const PARTINFO& p, int32_t ec,
                    GTRSTATUS* st);
void voz_PartctlFree(PARTCTL* out);

// Finds the key of every n-gram (clears hasKey when the key index lacks it)
// and, with n' >= 2, prepares the reversed n-gram of each full n-gram's
// start unit in reversed[startUnit] (reversed has `positions` entries).
// Memory 11/172.
void voz_InitForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count,
                           IDXINFO* keyIndex, AIMAINGRAM* reversed,
                           int32_t positions, GTRSTATUS* st);
// Reopens the n-grams [0, count) on their first key document; those without
// a key are not live.
void voz_ResetForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count,
                            IDXINFO* keyIndex, GTRSTATUS* st);
// Ends every n-gram's posting control.
void voz_TermForAimaiLoopX(AIMAINGRAM* ngrams, int32_t count);

// Appends the candidates of the part ngrams[0 .. count-1] (one token part,
// first to last mark). `reversed` is indexed by word unit.
void voz_AimaiLoopX(int16_t similarity, AIMAINGRAM* ngrams, int32_t count,
                    AIMAINGRAM* reversed, int32_t positions,
                    IDXINFO* keyIndex, IDXINFO* index, const AIMAIXPARM* parm,
                    PARTCTL* out, GTRSTATUS* st);

// 1 when the reversed n-gram of word unit `unit` stands in key document
// `key` at exactly `position`, else 0.
int voz_CheckReverse(AIMAINGRAM* reversed, int32_t positions, int32_t unit,
                     int32_t position, int32_t key, IDXINFO* keyIndex,
                     GTRSTATUS* st);

// Appends one copy of `model` per mixed-index key whose text is exactly
// `text` (length bytes of word units), with its key number and length.
void voz_AimaiExact(const uint8_t* text, int32_t length, RTRVWORDEXT* word,
                    IDXINFO* keyIndex, IDXINFO* index, PARTCTL* out,
                    const PARTINFO* model, GTRSTATUS* st);

// Sorts by key number, start unit ascending, end unit descending.
void voz_SortPartinfoByPartNO(PARTINFO* parts, int32_t count, GTRSTATUS* st);
// Sorts by start unit, end unit, split kind.
void voz_SortPartinfo(PARTINFO* parts, int32_t count, GTRSTATUS* st);
// Sorts by key number and removes every candidate that an earlier one of
// the same key covers with at least its score; closes up the array.
void voz_AimaiDropDominated(PARTCTL* parts, GTRSTATUS* st);
// Reads every candidate's key head record from `index` in runs of records
// within 291 of a run's first (memory 11/179).
void voz_ReadParts(PARTCTL* parts, IDXINFO* index, GTRSTATUS* st);

// Builds `piece` over the candidates first[0 .. count-1]: one posting
// control per candidate key over `index`, keys without postings dropped
// (retrieve_status 0x02; all dropped: allDropped 1), the controls started
// (voz_InitGctlPctl). `wordUnits` and `parts` give each control's
// percentage (score / N; 100 becomes 99 unless the word is one part and
// the key exactly N units). Ended with voz_TermPctlBatch2.
void voz_InitPctlBatch2(GCTLINFO* piece, const PARTINFO* first, int32_t count,
                        int32_t wordUnits, int32_t parts, IDXINFO* index,
                        GTRSTATUS* st);

// Ends a candidate-key piece: every control, the arrays, the shared buffer.
void voz_TermPctlBatch2(GCTLINFO* piece, GTRSTATUS* st);

#endif  // VOZ_AIMAICAND_HPP
