// voz_gtrresult.hpp -- the public calls that read a search's result handle:
// open it for reading, read occurrences in pages, look up one document's
// occurrences with its score, close it, release it.
//
// Conventions:
//  - The result handle is GTRSEARCH_RES::res_handle of a memory result
//    (res_type 2) made by GTRsearchIndex; the caller owns it and ends it
//    with GTRsearchIndex_ReleaseResult, after which it must not be used. A
//    memory result without occurrences has no handle (NULL).
//  - Order of use: OpenResult, any number of GetResult and LookResult_Doc,
//    CloseResult (the handle may be opened again), ReleaseResult. Release is
//    allowed in either state.
//  - Every call clears the caller's GTRSTATUS on entry and reports only
//    there. The reserved pointers must be NULL (retcode 115); a reserved
//    pointer that is set stops the call before anything else happens.
//    Failures of the reading itself (handle NULL 1, not open 126, already
//    open 125, end of the result 123, ...) come unchanged from the query
//    evaluation's result functions (search/voz_search.hpp).
#ifndef VOZ_GTRRESULT_HPP
#define VOZ_GTRRESULT_HPP

#include <cstdint>

#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"  // OCC

// Errcodes of a reserved pointer that is not NULL.
constexpr int32_t VOZ_EC_OPENRESULT_RSV = 2642;
constexpr int32_t VOZ_EC_GETRESULT_RSV = 2643;
constexpr int32_t VOZ_EC_LOOKRESULT_RSV = 2644;
constexpr int32_t VOZ_EC_CLOSERESULT_RSV = 2645;
// GetResult with a NULL buffer and a positive count (retcode 2).
constexpr int32_t VOZ_EC_GETRESULT_NOBUF = 1441;
// Retcode of a reserved pointer that is not NULL.
constexpr int32_t VOZ_RC_RESERVED_PTR = 115;
// Retcode of the end of a result (not a failure of the caller's data: the
// entries read up to the end are in the caller's buffer).
constexpr int32_t VOZ_RC_END_OF_RESULT = 123;

// Opens the handle for reading: its spill file (when the result did not fit
// its memory pages) and a read buffer for the largest document. NULL handle
// 1/1432, already open 125/1433, no memory 11/1434.
void GTRsearchIndex_OpenResult(void* result_handle, void* rsv_ptr,
                               GTRSTATUS* gsp);

// Copies up to `occnum` entries from occurrence `occ_offset` (-1: from the
// current place) into `occ` (room for occnum entries). An occnum below 1
// only moves the read place to occ_offset (or reports it, for -1). Returns
// the index of the next unread occurrence; the end of the result is
// retcode 123 with the entries before it copied. -1 on failure: reserved
// pointer 115/2643, NULL handle 1/1436, not open 126/1437, occ_offset below
// -1 2/1438, a NULL `occ` with occnum above 0 2/1441.
int32_t GTRsearchIndex_GetResult(void* result_handle, int32_t occ_offset,
                                 int32_t occnum, OCC* occ, void* rsv_ptr1,
                                 void* rsv_ptr2, GTRSTATUS* gsp);

// Points *occ at the entries of document `doc_offset` of the result (-1:
// the next document) and sets *occnum to their count and *score (may be
// NULL) to the document's score (1.0 for an unranked result). The entries
// stay valid until the next look-up, CloseResult or ReleaseResult. Returns
// the index of the next document; the end is 123. -1 on failure: reserved
// pointer 115/2644, NULL handle 1/1439, not open 126/1440, NULL occ or
// occnum 2/1441, doc_offset below -1 2/1442, damaged pages 17/1443.
int32_t GTRsearchIndex_LookResult_Doc(void* result_handle, int32_t doc_offset,
                                      OCC** occ, int32_t* occnum,
                                      float* score, void* rsv_ptr,
                                      GTRSTATUS* gsp);

// Ends reading: closes the spill file and frees the read buffer. Reserved
// pointer 115/2645, NULL handle 1/1435.
void GTRsearchIndex_CloseResult(void* result_handle, void* rsv_ptr,
                                GTRSTATUS* gsp);

// Frees the whole handle (pages, scores, read buffer) and removes its spill
// file. A NULL handle is no error.
void GTRsearchIndex_ReleaseResult(void* result_handle, GTRSTATUS* gsp);

#endif  // VOZ_GTRRESULT_HPP
