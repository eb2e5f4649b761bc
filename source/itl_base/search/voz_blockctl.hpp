// voz_blockctl.hpp -- document walks of the evaluation: the VVG window
// (mapping an occurrence to its VVG and a position relative to the VVG's
// start, and mapping a VVG-relative occurrence back to its document), and
// the block reader that finds the block (sentence, paragraph, ...) holding
// an occurrence from the postings of the block kind's boundary key.
//
// Both only move forward: occurrences are presented in ascending document
// and position order between a start (or restart) and the end.
//
// An index records VVGs when its key-file header says so (docGroupLength);
// the VVG key is header slot 40 and holds, per document, (VVG id, start
// position) pairs. The boundary key of block kind k is header slot k
// (0..32).
#ifndef VOZ_BLOCKCTL_HPP
#define VOZ_BLOCKCTL_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSTATUS;

// Number of block kinds (boundary slots 0..32, up to the VVG slot 40): the
// size of a block-control table indexed by block kind.
constexpr int VOZ_BLOCK_KINDS = 41;
// vvgEnd of an index without VVGs.
constexpr int32_t VOZ_VVG_NONE_END = 0x3FFFFFFE;

// The VVG window: the VVG of the last occurrence mapped.
struct VVGDOCINFO {
    int32_t docNo;     // document of the last occurrence mapped; -1
    int32_t vvgStart;  // start of the current VVG; 0 without VVGs
    int32_t vvgEnd;    // the next VVG's start; VOZ_POS_END for the last;
                       // VOZ_VVG_NONE_END without VVGs
    int32_t vvgId;     // VVG id (-1 at start); without VVGs the document
    int32_t relPos;    // position of the last occurrence from vvgStart
    char fromWord;     // 1: taken from a word's raw occurrence
};

// Block reader of one block kind.
struct BLOCKCTL {
    PCTLHEAD pctl;     // on the block kind's boundary key
    IDXINFO* index;    // the index's file set
    int32_t vvgId;     // VVG or document the block was computed for; -1
    int32_t blockNo;   // ordinal of the block in its document or VVG, from 1
    int32_t blockStart;  // first position of the block
    int32_t blockEnd;    // boundary ending the block; VOZ_POS_END = open
    int32_t ordinal;     // ordinal of pctl.curPos among its document's
                         // boundaries (from 1; 0 before the first)
    int32_t baseOrdinal; // boundaries of the document before the VVG
};

// True when the index records VVGs.
bool voz_IndexHasVvgs(const IDXINFO* index);

// Starts a VVG walk: with VVGs, `vvg` on the VVG key (base -1) and
// `privateSet` a copy of the index's file set opened on its own files.
void voz_InitForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet,
                       VVGDOCINFO* info, GTRSTATUS* st);
// Restarts it from the first document (the private set stays open).
void voz_ResetForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet,
                        VVGDOCINFO* info, GTRSTATUS* st);
// Maps `occ` (or the raw occurrence of `word`, see the walk's rules) into
// `info`. A VVG list without the occurrence's document: 16/260.
void voz_VvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet,
                const OCC* occ, const _WCTLHEAD* word, VVGDOCINFO* info,
                GTRSTATUS* st);
// Ends the walk; errors are discarded.
void voz_TermForVvgDoc(IDXINFO* index, PCTLHEAD* vvg, IDXINFO* privateSet);

// Maps the word's raw occurrence (rawVvgId, rawRelPos) back to a document
// and position through the word's own VVG walk (word->vvgPctl); an id the
// walk does not hold sets vvgMiss/vvgOverflow.
void voz_VvgDocReverse(_WCTLHEAD* word, IDXINFO* index, GTRSTATUS* st);

// Opens `b` on the boundary key of `blockKind` (0..VOZ_BLOCK_KINDS-1; else
// 17/258).
void voz_InitForGetBlock(IDXINFO* index, BLOCKCTL* b, int16_t blockKind,
                         GTRSTATUS* st);
// Computes the block holding `occ` under the window `info`. A document
// without boundaries is one block from position 1; an occurrence after the
// last boundary lies in block (boundaries + 1).
void voz_GetBlock(IDXINFO* index, BLOCKCTL* b, const OCC* occ,
                  const VVGDOCINFO* info, GTRSTATUS* st);
// Ends `b`; errors are discarded.
void voz_TermForGetBlock(BLOCKCTL* b);

#endif  // VOZ_BLOCKCTL_HPP
