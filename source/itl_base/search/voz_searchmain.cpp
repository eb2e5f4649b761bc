// voz_searchmain.cpp -- VOZ_Search_, one search over an open search handle
// (see voz_search.hpp): the argument checks and the refusals of what the
// engine cannot search yet, the document-number boundary between the
// `main` and `supp` file sets, per file set the word set-up and either the
// estimates or the evaluation, the per-word counts, and the hand-over of
// the result answer set.
#include <cstdlib>
#include <cstring>

#include "build/voz_callseam.hpp"
#include "files/voz_pagedarray.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_evaluate.hpp"
#include "search/voz_rtrvwords.hpp"
#include "search/voz_scope.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr const char* kOrigin = "source/itl_base/search/voz_searchmain";
// Errcode (retcode 28) of an operator whose slot numbers do not fit the
// words and operators given.
constexpr int32_t kEcBadSlot = 1470;
// Errcode (retcode 1) of a search on no handle or on a handle not open.
constexpr int32_t kEcNotOpen = 1471;

// Refuses, before anything is read, what the engine cannot search yet,
// and operators whose slots lie outside the search's slots (a later
// operator's or the operator's own result cannot be an operand).
bool acceptable(int32_t wordCount, const RTRVWORDEXT* /*words*/, int32_t opCount,
                const OPEINFO* ops, const RANKPARM* /*rank*/,
                const char* /*freqName*/, GTRSTATUS* st) {
    for (int32_t i = 0; i < opCount; ++i) {
        const OPEINFO& op = ops[i];
        if (op.op_slot != wordCount + i || op.op_count < 1 ||
            op.op_operands == nullptr) {
            voz_setStatus(st, 28, kEcBadSlot);
            return false;
        }
        for (int32_t k = 0; k < op.op_count; ++k) {
            if (op.op_operands[k] < 0 || op.op_operands[k] >= op.op_slot) {
                voz_setStatus(st, 28, kEcBadSlot);
                return false;
            }
        }
    }
    for (int32_t i = 0; i < opCount; ++i) {
        if (ops[i].op_range_count != 0) {
            voz_setStatus(st, VOZ_RC_UNSUPPORTED, VOZ_EC_REFUSE_OPRANGE);
            return false;
        }
    }
    return true;
}

// Per-slot estimates of one file set; *out receives the last operator's.
void estimateOperators(_WCTLHEAD* ctl, const RTRVWORDEXT* words,
                       int32_t wordCount, const OPEINFO* ops, int32_t opCount,
                       int32_t ceiling, int32_t* out) {
    int32_t slots = wordCount + opCount;
    int32_t* est = static_cast<int32_t*>(calloc(static_cast<size_t>(slots),
                                                sizeof(int32_t)));
    if (est == nullptr) return;  // the estimates stay as they are
    for (int32_t i = 0; i < wordCount; ++i) {
        int32_t e = ctl[i].docEstimate;
        est[i] = e < 0 || e > ceiling ? ceiling : e;
        ctl[i].docEstimate = est[i];
    }
    for (int32_t j = 0; j < opCount; ++j) {
        const OPEINFO& op = ops[j];
        const int32_t* opnd = op.op_operands;
        int64_t v = est[opnd[0]];
        if (op.op_kind == 'A' || op.op_kind == 'D') {
            for (int32_t k = 1; k < op.op_count; ++k)
                if (est[opnd[k]] < v) v = est[opnd[k]];
        } else if (op.op_kind == 'O') {
            for (int32_t k = 1; k < op.op_count; ++k) {
                v += est[opnd[k]];
                if (v > ceiling) v = ceiling;
            }
        } else if (j == 0 && words[0].wi.type == 'D' && op.op_count > 1) {
            v = ceiling - est[opnd[1]];
        }
        est[op.op_slot] = static_cast<int32_t>(v);
        if (out != nullptr) *out = est[op.op_slot];
    }
    free(est);
}

// Adds one file set's counts to the words and the caller's count array.
void addWordCounts(const _WCTLHEAD* ctl, RTRVWORDEXT* words,
                   int32_t wordCount, int32_t capacity, GTRSEARCH_RES* res) {
    for (int32_t i = 0; i < wordCount; ++i)
        words[i].wi.docfreq += ctl[i].setDocCount;
    if (res->term_docnum == nullptr) return;
    res->term_docnum_count = 0;
    for (int32_t i = 0; i < wordCount && res->term_docnum_count < capacity;
         ++i) {
        int32_t at = words[i].word_no;
        if (at < 0 || at >= capacity) continue;
        if (ctl[i].docEstimate > 0) res->term_docnum[at] += ctl[i].docEstimate;
        ++res->term_docnum_count;
    }
}

// The set views of file set k: text set 0 and 1, item set 0 and 1 (nulls
// for a half that is not open).
void setViews(VOZSEARCH* h, int k, IDXINFO* views[4]) {
    bool text = (h->openState & VOZ_OPEN_FIRST) != 0;
    bool item = (h->openState & VOZ_OPEN_SECOND) != 0;
    views[0] = text ? &h->first.set0[k] : nullptr;
    views[1] = text ? &h->first.set1[k] : nullptr;
    views[2] = item ? &h->second.set0[k] : nullptr;
    views[3] = item ? &h->second.set1[k] : nullptr;
}

// Everything one search holds; released in the order of the clean-up.
struct SearchRun {
    ANSWERFORM* wordAnswer = nullptr;
    ANSWERFORM* result = nullptr;
    SCOPECTL scope{};
    bool scopeOpen = false;
    _WCTLHEAD* controls = nullptr;

    ~SearchRun() {
        if (scopeOpen) voz_ScopeClose(&scope, nullptr);
        if (result != nullptr) voz_ReleaseAnswer(result);
        if (wordAnswer != nullptr) voz_ReleaseAnswer(wordAnswer);
        delete result;
        delete wordAnswer;
        free(controls);
    }
    void closeScope() {
        if (scopeOpen) voz_ScopeClose(&scope, nullptr);
        scopeOpen = false;
    }
};

struct SearchArgs {
    VOZSEARCH* h;
    GTRSEARCH_RES* res;
    int32_t wordCount;
    RTRVWORDEXT* words;
    int32_t opCount;
    OPEINFO* ops;
    RANKPARM* rank;
    GTRSEARCH_RES* scope;
    int32_t capacity;
    GTRSKIPFUNCINFO* skip;
    const int32_t* ceilings;
    int32_t* estimates;
    int estimateOnly;
};

// One file set (k 0 main, 1 supp): set-up, then estimates or evaluation.
// Returns false on a failure (in the status).
bool searchSet(const SearchArgs& a, SearchRun& run, int k, GTRSTATUS* st) {
    int32_t slots = a.wordCount + a.opCount;
    _WCTLHEAD* ctl = run.controls + static_cast<size_t>(k) * slots;
    IDXINFO* v[4];
    setViews(a.h, k, v);
    voz_RtrvWords_(v[0], v[1], v[2], v[3], a.wordCount, a.words, ctl,
                   run.wordAnswer, st, a.estimateOnly);
    if (voz_Failed(st)) {
        voz_RtrvWordsTerm(ctl, a.wordCount, nullptr);
        return false;
    }
    if (a.estimateOnly) {
        int32_t ceiling = a.ceilings != nullptr ? a.ceilings[k] : VOZ_DOC_END;
        estimateOperators(ctl, a.words, a.wordCount, a.ops, a.opCount,
                          ceiling, a.estimates != nullptr ? &a.estimates[k]
                                                          : nullptr);
        voz_RtrvWordsTerm(ctl, a.wordCount, nullptr);
        return true;
    }
    if (ctl[0].nextHit == nullptr) {
        voz_RtrvWordsTerm(ctl, a.wordCount, nullptr);
        return true;
    }
    if (a.scope != nullptr) {
        voz_ScopeOpen(a.scope, &run.scope, st);
        if (voz_Failed(st)) {
            voz_RtrvWordsTerm(ctl, a.wordCount, nullptr);
            return false;
        }
        run.scopeOpen = true;
    }
    IDXINFO* set0 = v[0] != nullptr ? v[0] : v[2];
    IDXINFO* set1 = v[0] != nullptr ? v[1] : v[3];
    voz_Evaluate(set0, set1, nullptr, nullptr, a.rank, a.wordCount, ctl,
                 a.words, a.opCount, a.ops, run.wordAnswer,
                 run.scopeOpen ? &run.scope : nullptr, run.result,
                 &a.res->result_docnum, &a.res->result_occnum, a.skip, st);
    if (voz_Failed(st)) return false;
    addWordCounts(ctl, a.words, a.wordCount, a.capacity, a.res);
    run.closeScope();
    return true;
}

// Steps from the allocation of the controls to the hand-over.
void runSearch(const SearchArgs& a, int32_t resultLimit,
               int32_t expansionLimit, const char* freqName, GTRSTATUS* st) {
    VOZSEARCH* h = a.h;
    const IDXINFO& boundSet = (h->openState & VOZ_OPEN_FIRST) != 0
                                  ? h->first.set0[0]
                                  : h->second.set0[0];
    int32_t high = static_cast<int32_t>(boundSet.info.maxDocNumber);
    bool supp = h->setOpen[1] != 0;
    SearchRun run;
    size_t slots = static_cast<size_t>(a.wordCount + a.opCount);
    run.controls = static_cast<_WCTLHEAD*>(calloc(2 * slots, sizeof(_WCTLHEAD)));
    if (run.controls == nullptr) return voz_setStatus(st, VOZ_RC_MEMORY, 1404);
    for (int32_t i = 0; i < a.wordCount; ++i) a.words[i].wi.docfreq = 0;
    if (a.res->term_docnum != nullptr) {
        int32_t n = a.wordCount < a.capacity ? a.wordCount : a.capacity;
        for (int32_t i = 0; i < n; ++i) a.res->term_docnum[i] = 0;
    }
    run.result = new ANSWERFORM();
    run.wordAnswer = new ANSWERFORM();
    voz_OpenAnswer(run.result, h->tempDir, resultLimit, a.res, a.rank,
                   freqName, st);
    if (voz_Failed(st)) return;
    voz_OpenAnswer(run.wordAnswer, h->tempDir, 0, nullptr, nullptr, nullptr,
                   st);
    if (voz_Failed(st)) return;
    run.wordAnswer->occLimit = expansionLimit == 0    ? 1000
                               : expansionLimit == -1 ? 0
                                                      : expansionLimit;
    for (int k = 0; k < 2 && h->setOpen[k] != 0; ++k) {
        run.wordAnswer->rangeLow = k == 0 ? 0 : high + 1;
        run.wordAnswer->rangeHigh = k == 0 && supp ? high : VOZ_DOC_END - 1;
        if (!searchSet(a, run, k, st)) return;
    }
    bool wordFull = run.wordAnswer->limitReached == 'Y';
    bool resultFull = run.result->limitReached == 'Y';
    if (wordFull || resultFull) {
        st->retrieve_status |= 0x01;
        st->limit_mark = static_cast<uint8_t>((wordFull ? 0x01 : 0) |
                                              (resultFull ? 0x02 : 0));
    } else {
        st->limit_mark = 0;
    }
    voz_CloseAnswer(run.result, st);
    if (!voz_Failed(st)) {
        if (a.rank != nullptr) {
            voz_SetAnswer_Ranking(run.result, h->tempDir, a.res, a.rank,
                                  &a.res->result_occnum, st);
            // The walk counted every document written to the end of the
            // store, evicted ones too; the result holds the kept ones.
            if (!voz_Failed(st)) a.res->result_docnum = run.result->docCount;
        } else
            voz_SetAnswer(run.result, a.res, nullptr, 0, st);
    }
    if (!voz_Failed(st) && !run.result->outOfOrder) a.res->res_flag |= 0x80;
}

}  // namespace

void VOZ_Search_(VOZSEARCH* handle, GTRSEARCH_RES* res, int32_t wordCount,
                 RTRVWORDEXT* words, int32_t opCount, OPEINFO* ops,
                 RANKPARM* rank, GTRSEARCH_RES* scope, int32_t resultLimit,
                 int32_t expansionLimit, int32_t unused,
                 int32_t wordcountCapacity, const char* freqName,
                 GTRSKIPFUNCINFO* skip, const int32_t* ceilings,
                 int32_t* estimates, GTRSTATUS* st, int estimateOnly) {
    (void)unused;
    voz_ClearStatus(st);
    if (res != nullptr) res->result_docnum = res->result_occnum = 0;
    if (estimateOnly && estimates != nullptr) estimates[0] = estimates[1] = 0;
    SearchArgs a{handle, res, wordCount, words, opCount, ops, rank, scope,
                 wordcountCapacity, skip, ceilings, estimates, estimateOnly};
    // The handle's working pages serve this search and return to it: the
    // next search on the handle takes them again instead of the system.
    if (handle != nullptr && handle->pagePool == nullptr)
        handle->pagePool = voz_PMpoolNew();
    VozPagePoolScope pages(handle != nullptr ? handle->pagePool : nullptr);
    if (handle == nullptr || handle->openState == 0) {
        voz_setStatus(st, VOZ_RC_HANDLE, kEcNotOpen);
    } else {
        voz_SearchParmCheck(wordCount, words, opCount, ops, rank, res,
                            freqName, scope, skip, st);
    }
    if (!voz_Failed(st) &&
        acceptable(wordCount, words, opCount, ops, rank, freqName, st)) {
        res->res_flag = 0;
        if (scope != nullptr && scope->result_docnum == 0)
            VOZ_EmptyResult(handle, res, st);
        else
            runSearch(a, resultLimit, expansionLimit, freqName, st);
    }
    if (res != nullptr) {
        vozTraceArg("resp->result_docnum", &res->result_docnum, 4, kOrigin);
        vozTraceArg("resp->result_occnum", &res->result_occnum, 4, kOrigin);
    }
    vozTraceCallEnd("VOZ_Search", st, kOrigin);
}
