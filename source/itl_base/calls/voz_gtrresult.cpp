// voz_gtrresult.cpp -- the result-handle calls (see voz_gtrresult.hpp).
//
// Each call is a thin frame around the query evaluation's result function:
// trace start and arguments, the reserved-pointer test, the call, the trace
// end. The evaluation reports a failed read with the read place it kept;
// these calls return -1 for every failure but the end of the result, so a
// caller can tell a failure from a place by the value alone.
#include "calls/voz_gtrresult.hpp"

#include "calls/voz_trace.hpp"
#include "search/voz_search.hpp"

#define VOZ_GR_STR2(x) #x
#define VOZ_GR_STR(x) VOZ_GR_STR2(x)
#define VOZ_GR_ORIGIN __FILE__ ":" VOZ_GR_STR(__LINE__)

namespace {

VOZRESULT* resultOf(void* handle) { return static_cast<VOZRESULT*>(handle); }

// The start record and the handle argument shared by the five calls. They
// write no binary trace record, so they do not look for its marker file: a
// caller reads a result one document per call, and a file-system lookup in
// each call cost more than the read itself.
void traceStart(const char* start, void* handle) {
    vozTraceCallStart(start, VOZ_GR_ORIGIN);
    vozTraceArg("result_handle", &handle, sizeof handle, VOZ_GR_ORIGIN);
}

void traceRsv(const char* name, void* rsv) {
    vozTraceArg(name, &rsv, sizeof rsv, VOZ_GR_ORIGIN);
}

void traceGsp(GTRSTATUS* gsp) {
    vozTraceArg("gsp", &gsp, sizeof gsp, VOZ_GR_ORIGIN);
}

// True (with 115/errcode set) when a reserved pointer is set.
bool reservedSet(const void* a, const void* b, int32_t errcode,
                 GTRSTATUS* gsp) {
    if (a == nullptr && b == nullptr) return false;
    voz_setStatus(gsp, VOZ_RC_RESERVED_PTR, errcode);
    return true;
}

// A read place for the caller: the evaluation's value on success and at
// the end of the result, -1 after any other failure.
int32_t placeOf(int32_t reached, const GTRSTATUS* gsp) {
    if (gsp == nullptr || gsp->retcode == 0 ||
        gsp->retcode == VOZ_RC_END_OF_RESULT)
        return reached;
    return -1;
}

}  // namespace

void GTRsearchIndex_OpenResult(void* result_handle, void* rsv_ptr,
                               GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceStart("GTRsearchIndex_OpenResult", result_handle);
    traceRsv("rsv_ptr", rsv_ptr);
    traceGsp(gsp);
    if (!reservedSet(rsv_ptr, nullptr, VOZ_EC_OPENRESULT_RSV, gsp))
        VOZ_ResultOpen(resultOf(result_handle), gsp);
    vozTraceCallEnd("GTRsearchIndex_OpenResult", gsp, VOZ_GR_ORIGIN);
}

int32_t GTRsearchIndex_GetResult(void* result_handle, int32_t occ_offset,
                                 int32_t occnum, OCC* occ, void* rsv_ptr1,
                                 void* rsv_ptr2, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceStart("GTRsearchIndex_GetResult", result_handle);
    vozTraceArg("occ_offset", &occ_offset, 4, VOZ_GR_ORIGIN);
    vozTraceArg("occnum", &occnum, 4, VOZ_GR_ORIGIN);
    vozTraceArg("occ", &occ, sizeof occ, VOZ_GR_ORIGIN);
    traceRsv("rsv_ptr1", rsv_ptr1);
    traceRsv("rsv_ptr2", rsv_ptr2);
    traceGsp(gsp);
    int32_t reached = -1;
    if (!reservedSet(rsv_ptr1, rsv_ptr2, VOZ_EC_GETRESULT_RSV, gsp)) {
        // A positive count copies entries, which needs a buffer: refused
        // as a look-up without its out pointers is.
        if (occ == nullptr && occnum > 0 && result_handle != nullptr) {
            voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_GETRESULT_NOBUF);
        } else {
            reached = placeOf(VOZ_ResultRead(resultOf(result_handle),
                                             occ_offset, occnum, occ, gsp),
                              gsp);
        }
    }
    vozTraceArg("current_occ_offset", &reached, 4, VOZ_GR_ORIGIN);
    vozTraceCallEnd("GTRsearchIndex_GetResult", gsp, VOZ_GR_ORIGIN);
    return reached;
}

int32_t GTRsearchIndex_LookResult_Doc(void* result_handle, int32_t doc_offset,
                                      OCC** occ, int32_t* occnum,
                                      float* score, void* rsv_ptr,
                                      GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    // Called once per document of a result: the trace is tested once.
    const bool tracing = vozTraceOn();
    if (tracing) {
        traceStart("GTRsearchIndex_LookResult_Doc", result_handle);
        vozTraceArg("doc_offset", &doc_offset, 4, VOZ_GR_ORIGIN);
        vozTraceArg("occ", &occ, sizeof occ, VOZ_GR_ORIGIN);
        vozTraceArg("occnum", &occnum, sizeof occnum, VOZ_GR_ORIGIN);
        vozTraceArg("score", &score, sizeof score, VOZ_GR_ORIGIN);
        traceRsv("rsv_ptr", rsv_ptr);
        traceGsp(gsp);
    }
    int32_t reached = -1;
    if (!reservedSet(rsv_ptr, nullptr, VOZ_EC_LOOKRESULT_RSV, gsp)) {
        // The outputs are cleared before any test, also for a NULL handle.
        if (occ != nullptr) *occ = nullptr;
        if (occnum != nullptr) *occnum = 0;
        if (score != nullptr) *score = 1.0f;
        reached = placeOf(VOZ_ResultView_Doc(resultOf(result_handle),
                                             doc_offset, occ, occnum, score,
                                             gsp),
                          gsp);
    }
    if (tracing) {
        vozTraceArg("current_doc_offset", &reached, 4, VOZ_GR_ORIGIN);
        if (score != nullptr) vozTraceArg("score", score, 4, VOZ_GR_ORIGIN);
        vozTraceCallEnd("GTRsearchIndex_LookResult_Doc", gsp, VOZ_GR_ORIGIN);
    }
    return reached;
}

void GTRsearchIndex_CloseResult(void* result_handle, void* rsv_ptr,
                                GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceStart("GTRsearchIndex_CloseResult", result_handle);
    traceRsv("rsv_ptr", rsv_ptr);
    traceGsp(gsp);
    if (!reservedSet(rsv_ptr, nullptr, VOZ_EC_CLOSERESULT_RSV, gsp))
        VOZ_ResultClose(resultOf(result_handle), gsp);
    vozTraceCallEnd("GTRsearchIndex_CloseResult", gsp, VOZ_GR_ORIGIN);
}

void GTRsearchIndex_ReleaseResult(void* result_handle, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceStart("GTRsearchIndex_ReleaseResult", result_handle);
    traceGsp(gsp);
    VOZ_ResultRelease(resultOf(result_handle), gsp);
    vozTraceCallEnd("GTRsearchIndex_ReleaseResult", gsp, VOZ_GR_ORIGIN);
}
