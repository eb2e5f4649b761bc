// voz_answer.hpp -- answer sets: the occurrences a search produces, document
// by document, kept in memory pages, in memory within a budget with a spill
// file, in the caller's result file, or only counted; and their hand-over to
// the caller's result descriptor, plainly or in rank order.
//
// Life cycle: voz_OpenAnswer -> voz_WriteOcc / voz_WriteAssignedOcc per
// document -> voz_CloseAnswer -> voz_SetAnswer or voz_SetAnswer_Ranking ->
// voz_ReleaseAnswer (always, also after a failure: it closes what is open
// and deletes a spill file or a result file that was never handed over).
//
// Result file (res_type 1 and 4; host byte order, the entries exactly as in
// memory). Type 1: OCC entries (voz_searchrec.hpp), nothing else. Type 4:
//   off  size  field
//     0     4  0xFFFFFFFF
//     4     4  documents                     (filled at close)
//     8     4  occurrences                   (filled at close)
//    12     1  flags: 0x40 entries are 32-bit document numbers (form 2),
//                     0x80 entries ascend by document (filled at close)
//    13   115  zero
//   128     *  form 2: one 32-bit document number per document;
//              else OCC entries
// Spill file: a temporary file "voz..." in the temporary directory holding
// the OCC entries that passed the memory budget, after those in memory.
//
// Every function reports through the GTRSTATUS passed last (retcode,
// errcode, file name, errno) and never overwrites a first failure.
#ifndef VOZ_ANSWER_HPP
#define VOZ_ANSWER_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRSEARCH_RES;
struct GTRSTATUS;

constexpr int32_t VOZ_RESFILE_HEADER = 128;
constexpr uint8_t VOZ_RESFLAG_FORM2 = 0x40;
constexpr uint8_t VOZ_RESFLAG_SORTED = 0x80;
constexpr uint32_t VOZ_RESFILE_MAGIC = 0xFFFFFFFFu;

// Opens `a` (cleared first). `tempDir` null or "": none. A positive limit
// bounds the occurrences, a negative one the documents (-limit). Without a
// descriptor the set is a word set ('M', or 'N' with a temporary
// directory); res_type 255 counts only; with `rank` it collects in memory;
// res_type 1 and 4 create the file res_fname (3/277; header 5/261); 2 keeps
// the result in memory, within res_handle_memory (at least 4096 bytes) when
// there is a temporary directory. A term-frequency file name creates that
// file (3/122).
void voz_OpenAnswer(ANSWERFORM* a, const char* tempDir, int32_t limit,
                    GTRSEARCH_RES* res, const RANKPARM* rank,
                    const char* freqName, GTRSTATUS* st);

// Writes the `count` occurrences of one document.
void voz_WriteOcc(OCC* occs, int32_t count, ANSWERFORM* a, GTRSTATUS* st);

// Writes `count` occurrences at entry `index` of the pages; marks the set
// out of order.
void voz_WriteAssignedOcc(OCC* occs, int32_t count, int32_t index,
                          ANSWERFORM* a, GTRSTATUS* st);

// Completes a type-4 header and closes the result or spill file and the
// term-frequency file.
void voz_CloseAnswer(ANSWERFORM* a, GTRSTATUS* st);

// Hands a closed set to `res`: a file result keeps its file; a memory
// result with occurrences becomes a result record (res->res_handle, owned
// by the caller, freed by VOZ_ResultRelease). With `ranked` (n entries in
// rank order) the record gets one score per document.
void voz_SetAnswer(ANSWERFORM* a, GTRSEARCH_RES* res, _PAGEMEMCTL* ranked,
                   int32_t rankedCount, GTRSTATUS* st);

// Rewrites a ranked set (collected in memory) in rank order into the kind
// the descriptor asks for, hands it over with the scores and copies the
// leading 20 bytes of each ranked entry to rank->rank_docs (at most
// rank_limit entries). *occOut receives the occurrences written.
void voz_SetAnswer_Ranking(ANSWERFORM* a, const char* tempDir,
                           GTRSEARCH_RES* res, const RANKPARM* rank,
                           int32_t* occOut, GTRSTATUS* st);

// Closes what is open, deletes a file whose name the set still holds and
// frees the pages, the ranked list and the document table.
void voz_ReleaseAnswer(ANSWERFORM* a);

// The OCC entry `i` of a paged array (REQUIRES: addressable).
inline OCC* voz_OccAt(const _PAGEMEMCTL* pages, int32_t i) {
    return static_cast<OCC*>(voz_PMitem(pages, i));
}

#endif  // VOZ_ANSWER_HPP
