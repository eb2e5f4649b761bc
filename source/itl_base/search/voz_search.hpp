// voz_search.hpp -- the search's public operations: opening an index into a
// search handle, closing and releasing it, checking a search's arguments,
// and reading a memory result through its result handle.
//
// Conventions:
//  - Every operation clears the caller's GTRSTATUS on entry and reports a
//    failure only there (retcode, errcode, file names, errno).
//  - The search handle (VOZSEARCH, voz_searchrec.hpp) is allocated by
//    VOZ_SearchOpen_ and freed by VOZ_SearchRelease; after any open but an
//    allocation failure the caller's handle variable holds it, so the
//    caller releases it in every case.
//  - A result handle (GTRSEARCH_RES::res_handle of a memory result) is
//    owned by the caller and freed by VOZ_ResultRelease. A memory result
//    without occurrences has no result handle.
#ifndef VOZ_SEARCH_HPP
#define VOZ_SEARCH_HPP

#include <cstdint>

#include "search/voz_searchrec.hpp"

struct GTRCREATEPARM;
struct GTRSEARCH_RES;
struct GTRSKIPFUNCINFO;
struct GTRSTATUS;
struct RTRVWORDEXT;

// Halves argument of VOZ_SearchOpen_.
constexpr uint8_t VOZ_HALF_TEXT = 1;
constexpr uint8_t VOZ_HALF_ITEM = 2;

// Opens index `name` in `dir` (a directory, optionally a TAB and an
// alternate directory) for search. *handle 0 asks for a new handle (no
// memory: 11/1401, *handle stays 0). `halves` bit 1 opens the text half
// with initials1/prefix1, bit 2 the item half with initials2/prefix2;
// each requested half's GTRCREATEPARM is filled from its main set. A
// pending commit of the index is finished first. Name empty or longer than
// 2047: 29/1402; temporary directory longer than 2047: 35/1403; a missing
// main set 20/264. keyOnly non-zero opens only the key files. keep
// non-zero (with keyOnly 0) readies the halves to be held open by
// VOZ_SearchPark_; a half held from the last open is used again without
// opening its files when its directories are unchanged (voz_srchopen.cpp),
// else it is closed and opened anew.
void VOZ_SearchOpen_(VOZSEARCH** handle, const char* name, const char* dir,
                     const char* initials1, const char* initials2,
                     const char* prefix1, const char* prefix2,
                     const char* tempDir, GTRCREATEPARM* parm1,
                     GTRCREATEPARM* parm2, uint8_t halves, GTRSTATUS* st,
                     int keyOnly, int keep = 0);

// Closes the open halves' files (same keyOnly as the open), held ones as
// well; the handle and its key-information cache stay.
void VOZ_SearchClose_(VOZSEARCH* handle, GTRSTATUS* st, int keyOnly);

// Ends a search on a handle its caller keeps: each open half opened with
// keep whose sets can be held stays open for the next VOZ_SearchOpen_
// (holding up to three directory and four file descriptors); every other
// half is closed as by VOZ_SearchClose_.
void VOZ_SearchPark_(VOZSEARCH* handle, GTRSTATUS* st);

// Closes whatever is still open, frees the cached key-information blocks
// and the handle, and sets *handle to 0.
void VOZ_SearchRelease(VOZSEARCH** handle, GTRSTATUS* st);

// Runs one search over the open halves: the `main` file set, then `supp`
// when every open half has it. `words` and `ops` (postfix, slots: words
// first) come from the call layer; the answer goes to `res` (its counts,
// its result handle or file, res_flag 0x80 when the entries ascend by
// document). `scope` null or an earlier memory result; resultLimit > 0
// bounds occurrences, < 0 documents (-limit), 0 none; expansionLimit 0 =
// 1000, -1 = 0. Each word's wi.docfreq and res->term_docnum (the first
// min(words, wordcountCapacity) entries, by word_no) sum the documents over
// both file sets. With estimateOnly nothing is evaluated: estimates[i]
// receives the estimate of file set i (main, supp), each bounded by
// ceilings[i]. Unsupported words and parameters: retcode 50.
void VOZ_Search_(VOZSEARCH* handle, GTRSEARCH_RES* res, int32_t wordCount,
                 RTRVWORDEXT* words, int32_t opCount, OPEINFO* ops,
                 RANKPARM* rank, GTRSEARCH_RES* scope, int32_t resultLimit,
                 int32_t expansionLimit, int32_t unused,
                 int32_t wordcountCapacity, const char* freqName,
                 GTRSKIPFUNCINFO* skip, const int32_t* ceilings,
                 int32_t* estimates, GTRSTATUS* st, int estimateOnly);

// Checks the arguments of one search in the order of the checks' table:
// the result descriptor, the term-frequency file name, the operators, the
// words, the ranking, the scope, the skip record. The first failure ends it.
void voz_SearchParmCheck(int32_t wordCount, const RTRVWORDEXT* words,
                         int32_t opCount, const OPEINFO* ops,
                         const RANKPARM* rank, GTRSEARCH_RES* res,
                         const char* freqName, const GTRSEARCH_RES* scope,
                         const GTRSKIPFUNCINFO* skip, GTRSTATUS* st);

// Checks a result descriptor (2/1405, 35/1406, 2/1407, 2/1408) and clears
// its counts (and, for a memory result, its result handle).
void voz_SearchParmCheck_Result(GTRSEARCH_RES* res, GTRSTATUS* st);

// ---- result handles ------------------------------------------------------

// Prepares reading (null 1/1432; already open 125/1433; no memory 11/1434).
void VOZ_ResultOpen(VOZRESULT* r, GTRSTATUS* st);
// Copies `count` entries from entry `start` (-1: the read position) into
// `buffer`; count < 1 only positions. Returns the read position; the end
// of the result is retcode 123 (null 1/1436, not open 126/1437, start
// below -1 2/1438).
int32_t VOZ_ResultRead(VOZRESULT* r, int32_t start, int32_t count,
                       OCC* buffer, GTRSTATUS* st);
// Returns the entries of document `offset` (-1: the next one) in the
// handle's read buffer (valid until the next read or view) and its score
// (1.0 without ranking). Returns the current document; the end is 123
// (null 1/1439, not open 126/1440, no out pointers 2/1441, offset below -1
// 2/1442, document table not matching the entries 17/1443).
int32_t VOZ_ResultView_Doc(VOZRESULT* r, int32_t offset, OCC** entries,
                           int32_t* count, float* score, GTRSTATUS* st);
// Ends reading (null 1/1435); the result may be opened again.
void VOZ_ResultClose(VOZRESULT* r, GTRSTATUS* st);
// Frees the result and deletes its spill file (8/146 when that fails).
void VOZ_ResultRelease(VOZRESULT* r, GTRSTATUS* st);
// Gives `res` an empty answer (an empty file for file results, no result
// handle for memory results).
void VOZ_EmptyResult(VOZSEARCH* handle, GTRSEARCH_RES* res, GTRSTATUS* st);

#endif  // VOZ_SEARCH_HPP
