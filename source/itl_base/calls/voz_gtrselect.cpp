// voz_gtrselect.cpp -- GTRgetSelectivity and GTRgetIndexInfo (see
// voz_gtrsearch.hpp): the estimate runs the front half of a search
// (voz_gtrsearch_steps.hpp) and the evaluation in its estimate mode; the
// index information reads the recorded creation parameters and document
// counts of one sub-index.
#include <cstring>

#include "build/voz_basicinfo.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_gtrsearch_steps.hpp"
#include "calls/voz_recdump.hpp"
#include "calls/voz_trace.hpp"
#include "search/voz_search.hpp"

#define VOZ_SEL_ORIGIN VOZ_SRCH_ORIGIN

namespace {

constexpr const char* kSelCall = "GTRgetSelectivity";
constexpr const char* kInfoCall = "GTRgetIndexInfo";
constexpr const char* kTextLetters = "KPLQ";
constexpr VOZSRCHCODES kCodes = {2723, 2724};
constexpr size_t kNameMax = 2048;   // names of this length or more fail
constexpr size_t kDirMax = 1792;    // directories of this length or more fail
constexpr uint8_t kCodeMax = 37;

// The sub-indexes of GTRgetIndexInfo: extent letters, prefix, status bit.
struct SubIndex {
    const char* letters;
    const char* prefix;
    uint8_t bit;
};
constexpr SubIndex kText = {"KPLQ", "Full", 0x80};
constexpr SubIndex kItem = {"MRNS", "Item", 0x40};

// Step 3: records, reserved argument, names and code page.
bool checkSelectivity(const char* idxname, const char* idxdir, void* rsv1,
                      const GTRSEARCH_COND& cond, GTRSTATUS* gsp) {
    if (!vozSearchStepsCheckCond(cond, gsp)) return false;
    int32_t rc = 0, ec = 0;
    if (rsv1 != nullptr) rc = 115, ec = 2719;
    else if (idxname == nullptr) rc = VOZ_RC_PARAMETER, ec = 2720;
    else if (strnlen(idxname, kNameMax) >= kNameMax) rc = 29, ec = 2713;
    else if (strnlen(idxdir, kDirMax) >= kDirMax)
        rc = VOZ_RC_PATH_TOO_LONG, ec = 2721;
    else if (cond.codepage == 0 || cond.codepage > kCodeMax)
        rc = 108, ec = 2722;
    if (rc == 0) return true;
    voz_setStatus(gsp, rc, ec);
    return false;
}

// Steps 4 to 13 over `handle`; a failure ends them.
void runEstimate(VOZSRCHSTEPS& s, VOZSEARCH** handle, const char* idxname,
                 const char* idxdir, bool kept, GTRSELECTIVITY* selp,
                 GTRSTATUS* gsp) {
    vozSearchStepsPurpose(&s);
    vozSearchStepsOpen(&s, handle, idxname, idxdir, nullptr, kTextLetters,
                       kept, gsp);
    if (gsp->retcode == 20) {
        selp->sel_docnum = 0;
        selp->idx_docnum = 0;
    }
    if (voz_Failed(gsp)) return;
    vozSearchStepsTranslate(&s, kCodes, gsp);
    if (voz_Failed(gsp)) return;
    vozSearchStepsOperators(&s, 0, gsp);
    if (voz_Failed(gsp)) return;
    vozSearchStepsCheckHalves(&s, kCodes, gsp);
    if (voz_Failed(gsp)) return;
    vozSearchStepsWords(&s, gsp);
    if (voz_Failed(gsp)) return;
    const GTRSEARCH_COND& cond = s.cond;
    int32_t counts[2] = {0, 0};
    const uint8_t half = cond.cond_type == GTR_COND_ITEM ? 2 : 1;
    GTRSTATUS own{};
    GTRgetIndexInfo(idxname, idxdir, nullptr, counts, &half, &own);
    if (own.retcode != 0) {
        own.processed_index = 0;
        *gsp = own;
        return;
    }
    GTRSEARCH_RES res;
    memset(&res, 0, sizeof res);
    res.res_type = GTR_RES_HANDLE;
    res.res_dataform = 1;
    int32_t estimates[2] = {0, 0};
    VOZ_Search_(*handle, &res, s.nWords, s.words, s.nOps, s.ops, nullptr,
                cond.scope, cond.discon_count, cond.word_limit,
                static_cast<int32_t>(cond.item_spare), 0, nullptr,
                cond.pSkipFuncInfo, counts, estimates, gsp, 1);
    if (voz_Failed(gsp)) return;
    selp->sel_docnum = estimates[0] + estimates[1];
    selp->idx_docnum = counts[0] + counts[1];
    vozSearchStepsDocFreq(&s);
}

// The caller's creation record from the recorded parameters.
void fillCreateParm(const GTRCREATEPARM& p, GTRHCREATEPARM* h) {
    h->index_type = static_cast<uint8_t>(p.fixedKeyUnits);
    h->codepage = p.codeInfo[0];
    h->index_purpose = p.codeInfo[1];
    h->disable = p.codeInfo[2];
    h->vvglength = p.sysparmArgument;  // the recorded VVG word
    h->word_rule = p.codeInfo[3];
    h->index_subtype = static_cast<uint8_t>(p.headKeyUnits);
    h->block_threshold = p.storeParameter;
    h->block_size = p.storeBlockUnit;
    h->special_alpha_num = p.specialLength;
    h->stop_word_list_num = p.storeFlag;
    h->paStopWordList = nullptr;
    if (p.specialLength != 0)
        memcpy(h->special_alpha_list, p.specialLetters,
               sizeof h->special_alpha_list);
}

}  // namespace

void GTRgetSelectivity(void** sel_handle_ptr, const char* idxname,
                       const char* idxdir, void* rsv_ptr1,
                       GTRSEARCH_COND* cond, GTRSELECTIVITY* selp,
                       GTRSTATUS* gsp) {
    if (idxdir == nullptr || cond == nullptr || selp == nullptr) {
        // Nothing else of the caller's is touched, the status included.
        if (gsp != nullptr) {
            gsp->retcode = VOZ_RC_PARAMETER;
            gsp->errcode = 2716;
        }
        return;
    }
    vozTraceCallStart(kSelCall, VOZ_SEL_ORIGIN);
    vozTraceArg("sel_handle_ptr", &sel_handle_ptr, sizeof sel_handle_ptr,
                VOZ_SEL_ORIGIN);
    if (sel_handle_ptr != nullptr)
        vozTraceArg("*sel_handle_ptr", sel_handle_ptr, sizeof *sel_handle_ptr,
                    VOZ_SEL_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_SEL_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_SEL_ORIGIN);
    vozSearchCond_Trace(*cond);
    vozTraceArg("rsv_ptr1", &rsv_ptr1, sizeof rsv_ptr1, VOZ_SEL_ORIGIN);
    GTRSTATUS spare{};
    if (gsp == nullptr) gsp = &spare;
    voz_ClearStatus(gsp);
    VOZSRCHSTEPS s;
    vozSearchStepsInit(&s, *cond, nullptr);
    VOZSEARCH* handle = sel_handle_ptr != nullptr
                            ? static_cast<VOZSEARCH*>(*sel_handle_ptr)
                            : nullptr;
    if (checkSelectivity(idxname, idxdir, rsv_ptr1, *cond, gsp))
        runEstimate(s, &handle, idxname, idxdir, sel_handle_ptr != nullptr,
                    selp, gsp);
    vozSearchStepsEndHandle(handle, sel_handle_ptr, gsp);
    gsp->processed_index = cond->cond_type == GTR_COND_ITEM ? kItem.bit
                                                             : kText.bit;
    vozSearchStepsTerm(&s);
    if (sel_handle_ptr != nullptr)
        vozTraceArg("*sel_handle_ptr", sel_handle_ptr, sizeof *sel_handle_ptr,
                    VOZ_SEL_ORIGIN);
    vozTraceCallEnd(kSelCall, gsp, VOZ_SEL_ORIGIN);
}

int32_t GTRgetIndexInfo(const char* idxname, const char* idxdir,
                        GTRHCREATEPARM* hparmp, int32_t* docnum,
                        const uint8_t* selector, GTRSTATUS* gsp) {
    vozTraceCallStart(kInfoCall, VOZ_SEL_ORIGIN);
    vozTraceText("idxname", idxname, VOZ_SEL_ORIGIN);
    vozTraceText("idxdir", idxdir, VOZ_SEL_ORIGIN);
    vozTraceArg("index_kind", &selector, sizeof selector, VOZ_SEL_ORIGIN);
    GTRSTATUS spare{};
    if (gsp == nullptr) gsp = &spare;
    voz_ClearStatus(gsp);
    if (hparmp != nullptr) memset(hparmp, 0, sizeof *hparmp);
    if (docnum != nullptr) docnum[0] = docnum[1] = 0;
    int32_t result = -1;
    if (selector != nullptr && *selector != 1 && *selector != 2) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, 2661);
    } else {
        const SubIndex& sub = selector != nullptr && *selector == 2 ? kItem
                                                                    : kText;
        GTRCREATEPARM recorded;
        memset(&recorded, 0, sizeof recorded);
        result = VOZ_getIndexBasicInfo(idxname, idxdir, sub.letters,
                                       sub.prefix, &recorded, docnum, gsp);
        gsp->processed_index |= sub.bit;
        if (!voz_Failed(gsp) && hparmp != nullptr)
            fillCreateParm(recorded, hparmp);
    }
    if (hparmp != nullptr)
        vozTraceArg("*hparmp", hparmp, sizeof *hparmp, VOZ_SEL_ORIGIN);
    if (docnum != nullptr)
        vozTraceArg("docnum", docnum, 2 * sizeof *docnum, VOZ_SEL_ORIGIN);
    vozTraceCallEnd(kInfoCall, gsp, VOZ_SEL_ORIGIN);
    return result;
}
