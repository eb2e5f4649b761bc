// voz_gtrsearch.cpp -- GTRsearchIndex and GTRsearchIndex_Release (see
// voz_gtrsearch.hpp): checks, the front half shared with the estimate
// (voz_gtrsearch_steps.hpp), the evaluation, and the end step that closes
// the index and frees what the call made, whatever the outcome.
#include "calls/voz_gtrsearch.hpp"

#include <cstring>

#include "calls/voz_gtrsearch_steps.hpp"
#include "calls/voz_recdump.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_trace.hpp"
#include "search/voz_search.hpp"

#define VOZ_GS_ORIGIN VOZ_SRCH_ORIGIN

namespace {

constexpr const char* kCall = "GTRsearchIndex";
constexpr const char* kTextLetters = "KPLQMRNS";
constexpr size_t kPathMax = 2047;
constexpr uint8_t kCodeMax = 37;
constexpr uint8_t kProcessedText = 0x80;
constexpr uint8_t kProcessedItem = 0x40;
constexpr VOZSRCHCODES kCodes = {VOZ_EC_SRCH_CONDTYPE, 2560};

// One call's state: the steps' record and the handle in use.
struct SearchCall {
    VOZSRCHSTEPS steps;
    RANKPARM rankParm;
    bool ranked = false;
    VOZSEARCH* handle = nullptr;
    bool kept = false;  // the caller keeps the handle in its variable
};

void traceStart(void** hp, const char* idxname, const char* idxdir,
                const char* outdir, const GTRSEARCH_COND& cond,
                const GTRSEARCH_RANK* rank, void* rsv1, void* rsv2,
                const GTRSEARCH_RES* resp, GTRSTATUS* gsp) {
    vozTraceCallStart(kCall, VOZ_GS_ORIGIN);
    vozTraceArg("search_handle_ptr", &hp, sizeof hp, VOZ_GS_ORIGIN);
    if (hp != nullptr)
        vozTraceArg("*search_handle_ptr", hp, sizeof *hp, VOZ_GS_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_GS_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_GS_ORIGIN);
    vozTraceText("outdir", outdir, VOZ_GS_ORIGIN);
    vozSearchCond_Trace(cond);
    vozRtrvRank_Trace(rank);
    vozTraceArg("rsv_ptr1", &rsv1, sizeof rsv1, VOZ_GS_ORIGIN);
    vozTraceArg("rsv_ptr2", &rsv2, sizeof rsv2, VOZ_GS_ORIGIN);
    vozSearchRes_Trace(resp);
    vozTraceArg("gsp", &gsp, sizeof gsp, VOZ_GS_ORIGIN);
}

void traceEnd(void** hp, const GTRSEARCH_RES* resp, const GTRSTATUS* gsp) {
    vozTraceArg("search_handle_ptr", &hp, sizeof hp, VOZ_GS_ORIGIN);
    if (hp != nullptr)
        vozTraceArg("*search_handle_ptr", hp, sizeof *hp, VOZ_GS_ORIGIN);
    vozTraceArg("*resp", resp, sizeof *resp, VOZ_GS_ORIGIN);
    vozTraceCallEnd(kCall, gsp, VOZ_GS_ORIGIN);
}

// Step 4: the reserved bytes of the records and the ranking request.
bool checkRecords(const GTRSEARCH_COND& cond, const GTRSEARCH_RANK* rank,
                  const GTRSEARCH_RES* resp, GTRSTATUS* gsp) {
    if (!vozSearchStepsCheckCond(cond, gsp)) return false;
    if (rank != nullptr && cond.cond_type == GTR_COND_ITEM) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_SRCH_ITEMRANK);
        return false;
    }
    if (rank != nullptr && vozReservedCheck_GTRSEARCH_RANK(rank, gsp) != 0)
        return false;
    return vozReservedCheck_GTRSEARCH_RES(resp, gsp) == 0;
}

// Step 5: the arguments.
bool checkArguments(const char* idxname, const char* idxdir,
                    const char* outdir, const GTRSEARCH_COND& cond,
                    void* rsv1, void* rsv2, GTRSTATUS* gsp) {
    int32_t rc = 0, ec = 0;
    if (rsv1 != nullptr || rsv2 != nullptr) rc = 115, ec = VOZ_EC_SRCH_RSVPTR;
    else if (idxname == nullptr || idxdir == nullptr)
        rc = VOZ_RC_PARAMETER, ec = VOZ_EC_SRCH_NONAME;
    else if (strnlen(idxname, kPathMax + 1) + strnlen(idxdir, kPathMax + 1) >
                 kPathMax - 1 ||
             (outdir != nullptr && strnlen(outdir, kPathMax + 1) > kPathMax))
        rc = VOZ_RC_PATH_TOO_LONG, ec = VOZ_EC_SRCH_PATHLEN;
    else if (cond.word_limit < -1)
        rc = VOZ_RC_PARAMETER, ec = VOZ_EC_SRCH_WORDLIMIT;
    else if (cond.codepage == 0 || cond.codepage > kCodeMax)
        rc = 108, ec = VOZ_EC_SRCH_CODEPAGE;
    if (rc == 0) return true;
    voz_setStatus(gsp, rc, ec);
    return false;
}

// Steps 6 to 15; a failure ends them (the end step follows in any case).
void runSearch(SearchCall& c, const char* idxname, const char* idxdir,
               const char* outdir, GTRSEARCH_RES* resp, GTRSTATUS* gsp) {
    VOZSRCHSTEPS& s = c.steps;
    vozSearchStepsPurpose(&s);
    vozSearchStepsOpen(&s, &c.handle, idxname, idxdir, outdir, kTextLetters,
                       c.kept, gsp);
    if (gsp->retcode == 20) {
        GTRSTATUS own{};
        VOZ_EmptyResult(c.handle, resp, &own);
        return;
    }
    if (voz_Failed(gsp)) return;
    if ((s.purpose & 1) != 0 && s.parm[0].codeInfo[0] == 37 &&
        s.cond.codepage == 34)
        s.cond.codepage = 37;
    vozSearchStepsTranslate(&s, kCodes, gsp);
    if (voz_Failed(gsp)) return;
    if (s.rank != nullptr) {
        c.ranked = true;
        vozSetRankParm(s.rank, &c.rankParm, gsp);
        if (voz_Failed(gsp)) return;
    }
    vozSearchStepsOperators(&s, s.rank != nullptr, gsp);
    if (voz_Failed(gsp)) return;
    vozSearchStepsCheckHalves(&s, kCodes, gsp);
    if (voz_Failed(gsp)) return;
    vozSearchStepsWords(&s, gsp);
    if (voz_Failed(gsp)) return;
    const GTRSEARCH_COND& cond = s.cond;
    const bool struct3 = cond.cond_type == GTR_COND_STRUCT;
    int32_t ceilings[2] = {0, 0}, estimates[2] = {0, 0};
    VOZ_Search_(c.handle, resp, s.nWords, s.words, s.nOps, s.ops,
                c.ranked ? &c.rankParm : nullptr, cond.scope,
                cond.discon_count, cond.word_limit,
                static_cast<int32_t>(cond.item_spare), resp->term_docnum_max,
                struct3 ? cond.frqfn : nullptr, cond.pSkipFuncInfo, ceilings,
                estimates, gsp, 0);
    if (!voz_Failed(gsp)) vozSearchStepsDocFreq(&s);
}

}  // namespace

void GTRsearchIndex(void** search_handle_ptr, const char* idxname,
                    const char* idxdir, const char* outdir,
                    GTRSEARCH_COND cond, GTRSEARCH_RANK* rank, void* rsv_ptr1,
                    void* rsv_ptr2, GTRSEARCH_RES* resp, GTRSTATUS* gsp) {
    GTRSTATUS spare{};
    if (gsp == nullptr) gsp = &spare;
    traceStart(search_handle_ptr, idxname, idxdir, outdir, cond, rank,
               rsv_ptr1, rsv_ptr2, resp, gsp);
    voz_ClearStatus(gsp);
    if (resp == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_SRCH_NORESP);
        return vozTraceCallEnd(kCall, gsp, VOZ_GS_ORIGIN);
    }
    resp->result_docnum = 0;
    resp->result_occnum = 0;
    resp->res_handle = nullptr;
    SearchCall c;
    memset(&c.rankParm, 0, sizeof c.rankParm);
    vozSearchStepsInit(&c.steps, cond, rank);
    c.handle = search_handle_ptr != nullptr
                   ? static_cast<VOZSEARCH*>(*search_handle_ptr) : nullptr;
    c.kept = search_handle_ptr != nullptr;
    if (checkRecords(cond, rank, resp, gsp) &&
        checkArguments(idxname, idxdir, outdir, cond, rsv_ptr1, rsv_ptr2, gsp))
        runSearch(c, idxname, idxdir, outdir, resp, gsp);
    vozSearchStepsEndHandle(c.handle, search_handle_ptr, gsp);
    if (c.ranked) vozSetRankParmTerm(rank, &c.rankParm);
    gsp->processed_index =
        cond.cond_type == GTR_COND_ITEM ? kProcessedItem : kProcessedText;
    vozSearchStepsTerm(&c.steps);
    traceEnd(search_handle_ptr, resp, gsp);
}

void GTRsearchIndex_Release(void** search_handle_ptr, GTRSTATUS* gsp) {
    vozTraceCallStart("GTRsearchIndex_Release", VOZ_GS_ORIGIN);
    vozTraceArg("search_handle_ptr", &search_handle_ptr,
                sizeof search_handle_ptr, VOZ_GS_ORIGIN);
    voz_ClearStatus(gsp);
    if (search_handle_ptr != nullptr) {
        auto* h = static_cast<VOZSEARCH*>(*search_handle_ptr);
        VOZ_SearchRelease(&h, gsp);
        *search_handle_ptr = nullptr;
    }
    vozTraceCallEnd("GTRsearchIndex_Release", gsp, VOZ_GS_ORIGIN);
}

void GTRreleaseSelectivity(void** sel_handle_ptr, GTRSTATUS* gsp) {
    if (sel_handle_ptr == nullptr) {
        // The caller's status is not cleared: only the failure is written.
        if (gsp != nullptr) {
            gsp->retcode = VOZ_RC_PARAMETER;
            gsp->errcode = 2717;
        }
        return;
    }
    GTRsearchIndex_Release(sel_handle_ptr, gsp);
}
