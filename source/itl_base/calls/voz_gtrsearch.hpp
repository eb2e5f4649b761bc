// voz_gtrsearch.hpp -- the search call GTRsearchIndex and the release of a
// kept search handle, the selectivity estimate GTRgetSelectivity with its
// release, the index information GTRgetIndexInfo, and the steps that run
// between the translation of a condition and its evaluation: the ranking
// parameters (vozSetRankParm), the operator modes (vozHowtoOperate_) and the
// preparation of the search words (vozSetWordExt).
//
// Handles: a search handle is allocated by the first GTRsearchIndex or
// GTRgetSelectivity whose handle variable holds NULL and handed back in that
// variable. After a successful call it may hold the index files open; the
// next call that passes it uses them only while the index's sub-index
// directories are still the ones they were opened in (every commit, rename,
// deletion or rebuild switches them), else it opens the index anew. It ends
// with GTRsearchIndex_Release or GTRreleaseSelectivity, which close its
// files and leave the variable NULL. Without a handle
// variable the handle lives only for the call. A result handle
// (GTRSEARCH_RES::res_handle) belongs to the caller.
//
// Status: every call clears the caller's GTRSTATUS on entry (except
// GTRreleaseSelectivity, which tests its handle variable first, and
// GTRgetSelectivity's first test) and reports the first failure there.
#ifndef VOZ_GTRSEARCH_HPP
#define VOZ_GTRSEARCH_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"

// ---- public calls ---------------------------------------------------------

// Searches index `idxname` in `idxdir` with condition `cond` and leaves the
// answer where `resp` asks for it (a result handle, a result file or only
// the counts). `outdir` (may be NULL) is the directory of spill files;
// `rank` NULL or a ranking request; `rsv_ptr1` and `rsv_ptr2` must be NULL.
// processed_index ends as 0x80 (0x40 for an item condition) whatever the
// outcome once `resp` was given. A missing index gives retcode 20 with an
// empty result in `resp`.
void GTRsearchIndex(void** search_handle_ptr, const char* idxname,
                    const char* idxdir, const char* outdir,
                    GTRSEARCH_COND cond, GTRSEARCH_RANK* rank, void* rsv_ptr1,
                    void* rsv_ptr2, GTRSEARCH_RES* resp, GTRSTATUS* gsp);

// Frees the search handle in *search_handle_ptr and sets it to NULL; a NULL
// pointer or handle is no error.
void GTRsearchIndex_Release(void** search_handle_ptr, GTRSTATUS* gsp);

// The caller's estimate record: only the two counts are written.
struct GTRSELECTIVITY {
    uint8_t caller[32];        //  0: the caller's, not touched
    int32_t sel_docnum;        // 32: out: documents the condition selects
    int32_t idx_docnum;        // 36: out: documents of the sub-index
};

// Estimates the documents that `cond` selects without building a result.
// A missing index gives retcode 20 with both counts 0.
void GTRgetSelectivity(void** sel_handle_ptr, const char* idxname,
                       const char* idxdir, void* rsv_ptr1,
                       GTRSEARCH_COND* cond, GTRSELECTIVITY* selp,
                       GTRSTATUS* gsp);

// The release of a handle made by GTRgetSelectivity; a NULL pointer fails
// with 2/2717 and leaves the status as it was otherwise.
void GTRreleaseSelectivity(void** sel_handle_ptr, GTRSTATUS* gsp);

// The recorded creation parameters (hparmp, may be NULL) and the document
// counts of the main and supp halves (docnum, two entries, may be NULL) of
// the text sub-index (selector NULL or 1) or the item sub-index (2).
// Returns the builder's result (the highest document number, -1 on
// failure); a selector other than 1 or 2 gives -1 with 2/2661.
int32_t GTRgetIndexInfo(const char* idxname, const char* idxdir,
                        GTRHCREATEPARM* hparmp, int32_t* docnum,
                        const uint8_t* selector, GTRSTATUS* gsp);

// ---- steps of a search ----------------------------------------------------

// The evaluation's ranking parameters from the caller's ranking request.
// Failures: 2/1104 rankcount below 0, 2/1105 a weighting bit of 0xCE
// without a ranking callback, 2/1106 howto_operate not 0, 'S', 'F' or 'P',
// 2/1713 rankcount 0 with rankdoc set, 11/1776 no memory for the default
// tuning constants. Free with vozSetRankParmTerm (also after a failure).
void vozSetRankParm(const GTRSEARCH_RANK* rank, RANKPARM* parm,
                    GTRSTATUS* gsp);
void vozSetRankParmTerm(const GTRSEARCH_RANK* rank, RANKPARM* parm);

// Operator modes of the postfix form: without ranking every non-term
// element loses its mode letter (with `proximity` set, 'F' and 'P' make the
// operator an OR first); with ranking every special NOT gets 'S'.
void vozHowtoOperate_(PFELEMENT* elems, int32_t count, int ranking,
                      int unused, int proximity);

// Prepares `count` search words for the evaluation (normalised units, masks,
// functions and defaults). `textParm` and `itemParm` are the creation
// parameters of the halves searched (either may be NULL, not both:
// 17/1714). With `outBuf`, the 'W' words are stripped of blanks into one
// buffer handed back there (the caller frees it). `convParm` is the
// conversion's creation parameters. Failures: 11/1108, 101/1124, 111/1109
// equal mask characters, 111/1110 an alphanumeric mask, and those of the
// alternative-character set-up. Free with vozSetWordExtTerm.
void vozSetWordExt(RTRVWORDEXT* words, int32_t count, VOZ_CPINFO cp,
                   const GTRCREATEPARM* textParm,
                   const GTRCREATEPARM* itemParm, uint8_t** outBuf,
                   const GTRCREATEPARM* convParm, GTRSTATUS* gsp);
void vozSetWordExtTerm(RTRVWORDEXT* words, int32_t count);

// Errcodes of the search call and the estimate.
constexpr int32_t VOZ_EC_SRCH_NORESP = 2552;
constexpr int32_t VOZ_EC_SRCH_ITEMRANK = 2553;
constexpr int32_t VOZ_EC_SRCH_RSVPTR = 2554;
constexpr int32_t VOZ_EC_SRCH_NONAME = 2555;
constexpr int32_t VOZ_EC_SRCH_PATHLEN = 2556;
constexpr int32_t VOZ_EC_SRCH_WORDLIMIT = 2557;
constexpr int32_t VOZ_EC_SRCH_CODEPAGE = 2558;
constexpr int32_t VOZ_EC_SRCH_CONDTYPE = 2559;

#endif  // VOZ_GTRSEARCH_HPP
