// voz_evalhit.hpp -- operator evaluation for one document at a time.
//
// The document walk gathers the current document's occurrences of every
// query word (OCC, in position order, with an OCCSUPP of the same index),
// sets each word's `hit` (weighted count) and current occurrence, and asks
// the operators whether the query holds. Operators run bottom-up in the
// postfix order of the OPPARM array (voz_opparm.hpp); each writes its
// verdict into its own control (`hit`, `cur`, `rank`, `prox`), where its
// parent reads it as an operand. The last OPPARM is the root; its `cur`
// document is the next document that could satisfy the query, so the walk
// can skip the documents in between.
//
// An occurrence survives when it was lifted (OCCSUPP::node) through every
// operator up to the root. 'D' operators ask their block reader for the
// unit (block of boundary key `distance`) around each occurrence.
//
// Calling order for one search half: voz_InitForOperation -> per document
// voz_EvaluateHit or voz_EvaluateHitQuick (quick only when the set-up
// allowed it) -> voz_TermForOperation (always, also after a failure).
// Failures go to the GTRSTATUS (the first one is kept).
#ifndef VOZ_EVALHIT_HPP
#define VOZ_EVALHIT_HPP

#include <cstdint>

#include "search/voz_opparm.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct IDXINFO;
struct VVGDOCINFO;

// Operator-kind mask built by voz_InitForOperation.
constexpr uint8_t VOZ_OPMASK_AND = 0x80;
constexpr uint8_t VOZ_OPMASK_OR = 0x40;
constexpr uint8_t VOZ_OPMASK_DIST = 0x20;
constexpr uint8_t VOZ_OPMASK_NOT = 0x10;
constexpr uint8_t VOZ_OPMASK_PARTIAL = 0x08;   // sub-kind 'F'
constexpr uint8_t VOZ_OPMASK_PROX = 0x04;      // sub-kind 'P'
constexpr uint8_t VOZ_OPMASK_OTHER = 0x02;     // any other sub-kind

// Errcodes (retcode 17 unless said).
constexpr int32_t VOZ_EC_OPKIND_QUICK = 703;   // unknown kind, quick eval
constexpr int32_t VOZ_EC_OPKIND_INIT = 705;    // unknown kind at set-up
constexpr int32_t VOZ_EC_UNIT_READER = 259;    // retcode 11: no memory for
                                               // a block reader

// Walks the operators: fills *mask (cleared first) and opens the block
// reader of every 'D' operator on its boundary key. Returns 1 when quick
// evaluation is allowed (no 'D', no NOT, not both AND and OR, at most one
// operator, no operator control with a range count or range value, no
// operator with a field list), else
// 0. An unknown kind sets 17/705 and returns 0; a reader that cannot be
// opened returns 0 with its status. Whatever was opened is closed by
// voz_TermForOperation, which the caller runs in any case.
// REQUIRES: nop >= 0; every opened operator's unit_reader null on entry.
int voz_InitForOperation(OPPARM* ops, int32_t nop, IDXINFO* index,
                         unsigned char* mask, GTRSTATUS* st);

// Closes and frees the block reader of every 'D' operator (null allowed).
void voz_TermForOperation(OPPARM* ops, int32_t nop);

// General evaluation of the current document. Returns 1 when the root
// holds and at least one occurrence survives; the survivors are moved to
// the front of `occ` in order and *nocc becomes their count (unchanged
// when the root fails). *next_doc := the root's `cur.docno`. Word `hit`s
// (the first nnode controls) are rebuilt from the survivors' weights when
// the root holds. A failure of the block reader or of a field key returns 0
// with its status. An operator with a field list (OPPARM::field_ctl) holds
// when it holds inside some instance of one of its fields, or, with
// `extra_pass`, over the whole text. `mfc` is the search's field control
// (unused: the words' fields are tested as they are gathered); ranking is
// on when `rank` is given and bit 0 of its flags is set.
// REQUIRES: nop >= 1; occ/supp hold *nocc entries of one document.
int voz_EvaluateHit(OPPARM* ops, int32_t nop, OCC* occ, OCCSUPP* supp,
                    int32_t* nocc, IDXINFO* index, VVGDOCINFO* vvg,
                    _WCTLHEAD* nodes, int32_t nnode, int32_t* next_doc,
                    MULTIFIELDCTRL* mfc, RANKPARM* rank, GTRSTATUS* st);

// Quick evaluation (AND or OR only, no units, no fields): returns 1 when
// the root's `hit` is non-zero, 0 when not, -1 with 17/703 for a kind
// other than 'A', 'O', 'D'. Keeps every occurrence.
// REQUIRES: nop >= 1.
int voz_EvaluateHitQuick(OPPARM* ops, int32_t nop, OCC* occ, OCCSUPP* supp,
                         int32_t* nocc, _WCTLHEAD* nodes, int32_t* next_doc,
                         RANKPARM* rank, GTRSTATUS* st);

// Same-unit test of one 'D' operator over the document's occurrences:
// returns 1 when it holds (strict: all operands inside one unit; partial:
// any operand present). Sets unit_no/in_unit/alive/unit_share of the
// occurrences, the operands' `hit` (the weight found inside qualifying
// units) and `best_units`. 0 with the status on a block-reader failure.
// REQUIRES: voz_InitForOperation opened the operator's reader; `vvg` is
// the walk's window on the current document.
int voz_EvaluateHit_Same(OPPARM* op, OCC* occ, OCCSUPP* supp, int32_t nocc,
                         _WCTLHEAD* nodes, IDXINFO* index, VVGDOCINFO* vvg,
                         GTRSTATUS* st);

// 1 when the occurrence's node is one of the operator's operand nodes.
int voz_Operand(const OPPARM* op, const OCCSUPP* s);

// For a NOT with at least two operands: clears `enabled` of every
// occurrence of a negated operand.
void voz_DisableNotOcc(const OPPARM* op, OCC* occ, OCCSUPP* supp,
                       int32_t nocc);

// Output clean-up of the surviving occurrences (in order): clears `node`
// and `spare`, reports equal occurrences (docno, pos, len, weight) once,
// lets a positioned occurrence replace a document-level one before it,
// and folds document-level occurrences into one with the smaller `match`.
void voz_RemoveDupOcc(OCC* occ, int32_t* nocc);

#endif  // VOZ_EVALHIT_HPP
