// voz_exactmix.hpp -- exact lookup of a search word over a mixed index: an
// index that keys letter runs (token parts, up to 128 units) as whole-word
// keys and all other text by n-grams, beside a key index (the index half's
// X-index) whose documents are the mixed index's token keys.
//
// The word is cut into pieces: token pieces ('Y') are looked up in the key
// index -- plainly (marked key: start mark, units, end mark; a truncated end
// leaves its mark out), stemmed, or as a wildcard pattern when mask units
// stand next to them -- and every matching token key of the mixed index
// joins the piece's posting control; other pieces ('N') are cut into
// n-grams and looked up by pattern search. A hit is a document and position
// where every kept piece stands one after the other.
//
// Key-index numbering: key-index document k is the mixed index's X-part
// key whose head record is record fixedRecords + k of its key file.
//
// Calling order: voz_GetOneWordExactMixInit_ -> next-hit calls
// (word-control protocol, voz_wordctl.hpp) -> the word ends by itself
// (postings exhausted, an error, a target document above 0x7FFFFFFE); after
// an init in selectivity mode the caller reads the estimate from the first
// kept piece and ends the lookup with voz_TermEmpForSelectivity.
#ifndef VOZ_EXACTMIX_HPP
#define VOZ_EXACTMIX_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Kinds of piece (GCTLINFO::ownerByte of a piece record).
constexpr uint8_t VOZ_PIECE_TOKEN = 'Y';
constexpr uint8_t VOZ_PIECE_NGRAM = 'N';

// The longest word (in units) searched without the warning below.
constexpr int32_t VOZ_MIX_WORD_UNITS = 128;
// Printed to standard error for a longer word; the search goes on.
extern const char* const VOZ_MIX_LONG_WARNING;
// Largest piece and key text in bytes.
constexpr int32_t VOZ_MIX_PIECE_MAX = 768;

// Errcodes (retcode 11 memory, 17 refused, 16 bad key).
constexpr int32_t VOZ_EC_MIX_CONTROL = 180;
constexpr int32_t VOZ_EC_MIX_PIECES = 137;
constexpr int32_t VOZ_EC_MIX_NGRAMS = 138;
constexpr int32_t VOZ_EC_MIX_TRUNC_WILD = 139;
constexpr int32_t VOZ_EC_MIX_KEPT = 557;
constexpr int32_t VOZ_EC_STEM_CONTROLS = 146;
constexpr int32_t VOZ_EC_STEM_BUFFER = 147;
constexpr int32_t VOZ_EC_STEM_ARRAYS = 558;
constexpr int32_t VOZ_EC_STEM_KEYLEN = 556;

// A piece of the word is a GCTLINFO (voz_searchrec.hpp) whose owner fields
// describe it before the lookup:
//   ownerByte       VOZ_PIECE_TOKEN or VOZ_PIECE_NGRAM
//   pattern         its start in the word
//   pattLength      its length in bytes; -1 marks the start-unit piece
//   takeAll         'Y' when mask units were attached (a wildcard piece;
//                   the batch build then takes every key unfiltered)
//   ownerWord0      units shared with the preceding piece (overlap)
//   ownerWords1[0]  1 once a lookup built it (it must be ended)
// After the lookup it holds the posting state of voz_gctl.hpp; allDropped
// marks a piece whose keys all lack postings, droppedUnits its length.

// Mix control, behind _WCTLHEAD::priv while the word lives.
struct VOZMIXCTL {
    GCTLINFO* kept;          // copies of the kept pieces
    int32_t frontTrunc;
    int32_t rearTrunc;
    int32_t keptCount;
    GCTLINFO* all;           // every piece of the word
    int32_t allCount;
    int32_t* keptToAll;      // index in `all` of each kept piece
};

// Prepares the exact lookup of a word of several parts over `index` (the
// mixed index) with `keyIndex` (its X-index). Success: w->priv holds a
// VOZMIXCTL, next-hit voz_GetOneWordExactMix, current document -1; outside
// selectivity mode every kept piece stands on its first position. A word
// whose pieces all found only keys without postings becomes the
// whole-document list (retrieve_status 0x02). A word that cannot match, or
// a failure: next-hit voz_GetOneWordNoOcc, current document 0x7FFFFFFF.
// A wildcard expansion that left keys out sets answer->limitReached 'Y'.
void voz_GetOneWordExactMixInit_(RTRVWORDEXT* word, _WCTLHEAD* w,
                                 IDXINFO* index, IDXINFO* keyIndex,
                                 ANSWERFORM* answer, GTRSTATUS* st,
                                 int selectivity);

// Next-hit operation (word-control protocol): the first hit at or after
// (doc, pos); match 100.
void voz_GetOneWordExactMix(_WCTLHEAD* w, IDXINFO* index, IDXINFO* keyIndex,
                            ANSWERFORM* answer, int32_t doc, int32_t pos,
                            GTRSTATUS* st);

// Ends a lookup prepared in selectivity mode: every piece is ended, the
// control freed, w->priv cleared. A failure of an end goes into `st` only
// when that is still clear.
void voz_TermEmpForSelectivity(RTRVWORDEXT* word, _WCTLHEAD* w,
                               IDXINFO* index, IDXINFO* keyIndex,
                               ANSWERFORM* answer, GTRSTATUS* st);

// Builds the posting control of a stemmed token piece from the key numbers
// in `keys` (key-index documents): every key the stemming routine accepts
// as a form of the stem in `stem`. Keys without postings are dropped
// (retrieve_status 0x02; all dropped: piece->allDropped 1). No accepted key:
// keyCount 0. Memory 11/146, 11/147, 11/558; a key longer than 768 bytes
// 16/556.
void voz_InitPctlStemming(GCTLINFO* piece, ANSWERFORM* keys, IDXINFO* index,
                          int16_t keyUnitWidth, VOZ_WORDSTEM_FN stemming,
                          STEMCTL* stem, GTRSTATUS* st);

// Ends one piece that a lookup built, as its kind requires (token pieces
// were batch-built, n-gram pieces by pattern search); the first failure
// goes into `st`.
void voz_MixTermPiece(GCTLINFO* piece, GTRSTATUS* st);

// The record number of key-index document `k` in `index`'s key file.
int32_t voz_MixKeyRecord(const IDXINFO* index, int32_t k);

// Collects every key-index hit of `key` (keyLen bytes of units of `width`
// bytes, marks included; the lookups pack them into the key index's
// stored units) into `keys` (docno = key-index document, pos = position
// of the hit in the key's marked text, len = its length in units): as a
// short word below one key-index n-gram, else as an exact word. `mark`
// writes mark units (null: the character layer's). The lookup holds
// nothing afterwards. Failures of the lookups.
void voz_CollectKeyIndexHits(uint8_t* key, int32_t keyLen, int32_t width,
                             IDXINFO* keyIndex, VOZ_MARKSETUNIT_FN mark,
                             ANSWERFORM* keys, GTRSTATUS* st);

#endif  // VOZ_EXACTMIX_HPP
