// voz_evalocc.cpp -- the document walks of one index half (see
// voz_evalocc.hpp).
//
// Both walks share one engine (class Walk): the active words are kept in
// ascending order of their current occurrence; per round the window (VVG,
// or the whole document without VVGs) of the first word at or after the
// next candidate document is taken, the lagging words are moved to it, the
// scope is consulted, the window's occurrences gathered and range-checked,
// and the document decided: by the operators for several words, by "any
// occurrence accepted" for one word. A hit passes the limits, the deleted
// documents and the skip callback before it is written.
//
// Document-only walks: when the answer keeps one occurrence a document
// (answer form 2) and nothing counts occurrences (no ranking, no
// term-frequency output) and the operators decide by word presence alone
// (AND, OR and NOT without sub-kinds, field lists or ranges), a word that
// had a positioned occurrence accepted in the window moves on to the next
// window at once instead of reading the rest of the window's occurrences.
// The document decided and the occurrence kept are the same: the kept one
// is the first positioned survivor, which is the first accepted positioned
// occurrence of some word, and survival is decided word by word.
//
// Every exit runs the release path: each word's next-hit operation is run
// to its end (so it frees what it holds), then the buffers, the VVG window
// and the operators' block readers are freed, in that order.
#include "search/voz_evalocc.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/voz_records_search.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_evalhit.hpp"
#include "search/voz_rankheap.hpp"
#include "search/voz_ranking.hpp"
#include "search/voz_freq.hpp"
#include "search/voz_readocc.hpp"
#include "search/voz_scope.hpp"

namespace {

// Occurrence buffers start at kFirstCapacity entries and double up to
// kGrowStep, then grow by kGrowStep: most documents hold few occurrences,
// and a large first block costs every search a heap grow and trim.
constexpr int32_t kFirstCapacity = 64;
constexpr int32_t kGrowStep = 4096;
// Bytes of the skip callback's record, and its fields.
constexpr size_t kSkipRecordSize = 32;
constexpr size_t kSkipDoc = 0, kSkipOne = 4, kSkipNext = 8, kSkipKeep = 12;
// Operator kinds and sub-kinds that let one active word suffice.
constexpr uint8_t kAnyWordMask =
    VOZ_OPMASK_OR | VOZ_OPMASK_NOT | VOZ_OPMASK_PARTIAL | VOZ_OPMASK_PROX;

struct WalkArgs {
    _WCTLHEAD* words;
    int32_t wordCount;
    OPPARM* ops;             // null for the one-word walk
    int32_t opCount;
    IDXINFO* index;
    void* readerArg1;
    void* readerArg2;
    BLOCKCTL** blocks;
    MULTIFIELDCTRL* mfc;
    SCOPECTL* scope;
    ANSWERFORM* answer;
    int32_t* docCount;
    int32_t* occCount;
    GTRSKIPFUNCINFO* skip;
    RANKPARM* rank;          // null: no ranking
    OPPARM* oneOp;           // the one-word walk's operator
};

class Walk {
public:
    Walk(const WalkArgs& a, GTRSTATUS* st) : a_(a), st_(st) {}
    ~Walk() { release(); }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    void run();
    // A ranked walk writes no term frequencies.
    void setRanked(bool ranked) { ranked_ = ranked; }

private:
    bool single() const { return a_.ops == nullptr; }
    bool failed() const { return voz_Failed(st_); }
    bool setUp();
    bool documentsOnly() const;
    bool inWindow(const _WCTLHEAD* w) const;
    void read(_WCTLHEAD* w, int32_t mode) {
        voz_ReadOcc(w, mode, &info_, a_.readerArg1, a_.readerArg2, st_);
    }
    void readHead(int32_t count, int32_t mode);
    bool takeWindow();
    bool scopeAllows(bool* stop);
    void passWindow();
    bool rankAllows();
    bool keepRanked(int32_t doc);
    bool gather();
    bool append(_WCTLHEAD* w, int32_t wordNo);
    int decide();
    bool deleted(int32_t doc);
    bool callSkip(int32_t doc, bool* keep);
    void jumpTo(int32_t doc);
    void release();

    WalkArgs a_;
    GTRSTATUS* st_;
    uint8_t mask_ = 0;
    bool quick_ = false;
    bool opsOpen_ = false;
    bool vvgOpen_ = false;
    VVGDOCINFO info_{};
    PCTLHEAD vvg_{};
    std::unique_ptr<IDXINFO> privateSet_;
    int32_t* active_ = nullptr;
    int32_t activeCount_ = 0;
    int32_t quorum_ = 1;
    int32_t nextCand_ = 0;
    OCC* occ_ = nullptr;
    OCCSUPP* supp_ = nullptr;
    int32_t nocc_ = 0;
    int32_t cap_ = 0;
    const uint32_t* deleted_ = nullptr;
    uint32_t deletedLeft_ = 0;
    bool released_ = false;
    bool ranked_ = false;
    bool docOnly_ = false;
    bool freqOpen_ = false;
    FREQCTL freq_{};
};

bool Walk::setUp() {
    if (!single()) {
        opsOpen_ = true;
        quick_ = voz_InitForOperation(a_.ops, a_.opCount, a_.index, &mask_, st_) == 1;
        if (failed()) return false;
    }
    privateSet_.reset(new IDXINFO());
    vvgOpen_ = true;
    voz_InitForVvgDoc(a_.index, &vvg_, privateSet_.get(), &info_, st_);
    if (failed()) return false;
    if (a_.rank != nullptr) {
        voz_InitRanking(a_.words, a_.wordCount, a_.index, a_.rank, st_);
        voz_RebuildRankHeap(a_.answer);  // kept by a walk over another half
        if (failed()) return false;
    }
    if (a_.answer->freqFile != nullptr && !ranked_) {
        freqOpen_ = true;
        voz_InitFreq(&freq_, a_.words, a_.wordCount, a_.index, st_);
        if (failed()) return false;
    }
    docOnly_ = documentsOnly();
    CVozDeletedDocs* list = a_.index->fctl.deletedDocs;
    deleted_ = vozGetDeletedDocs(list);
    deletedLeft_ = deleted_ != nullptr ? vozGetNumDeletedDocs(list) : 0;
    active_ = static_cast<int32_t*>(
        malloc(static_cast<size_t>(std::max(a_.wordCount, 1)) * sizeof(int32_t)));
    if (active_ == nullptr) {
        voz_setStatus(st_, VOZ_RC_MEMORY, 700, nullptr, ENOMEM);
        return false;
    }
    for (int32_t i = 0; i < a_.wordCount; ++i) {
        _WCTLHEAD* w = &a_.words[i];
        w->setDocCount = 0;
        w->lastReadDoc = -1;
        w->lastReadPos = 0;
        read(w, VOZ_READ_NEXT);
        if (failed()) return false;
        if (w->endFlag != 'Y') active_[activeCount_++] = i;
    }
    quorum_ = single() || (mask_ & kAnyWordMask) != 0 ? 1 : a_.wordCount;
    voz_SortOccIX(a_.words, active_, activeCount_);
    return true;
}

// True when the walk may leave a word's window after its first accepted
// positioned occurrence (see the head of this file).
bool Walk::documentsOnly() const {
    if (a_.answer->resForm != 2 || a_.rank != nullptr || freqOpen_) return false;
    if (single()) return true;
    for (int32_t i = 0; i < a_.opCount; ++i) {
        const OPPARM& op = a_.ops[i];
        const _WCTLHEAD* ctl = op.node_rec;
        if (op.kind != VOZ_OP_AND && op.kind != VOZ_OP_OR && op.kind != VOZ_OP_NOT)
            return false;
        if (op.subkind != 0 && op.subkind != VOZ_SUB_STRICT) return false;
        if (op.field_ctl != nullptr) return false;
        if (ctl != nullptr && (ctl->rangeCount != 0 || ctl->rangeValue != 0)) return false;
    }
    return true;
}

bool Walk::inWindow(const _WCTLHEAD* w) const {
    if (w->vvgPctl != nullptr) return w->rawVvgId == info_.vvgId;
    return w->cur.docno == info_.docNo && info_.vvgStart <= w->cur.pos &&
           w->cur.pos < info_.vvgEnd;
}

// Moves the first `count` active words on with `mode` and restores the
// order.
void Walk::readHead(int32_t count, int32_t mode) {
    for (int32_t i = 0; i < count && !failed(); ++i) read(&a_.words[active_[i]], mode);
    if (!failed()) voz_OccKeepOrder(&activeCount_, count, active_, a_.words);
}

// Takes the window of the first active word at or after the next
// candidate and moves the words before it there. False: the walk ends.
bool Walk::takeWindow() {
    int32_t k = 0;
    while (k < activeCount_ && a_.words[active_[k]].cur.docno < nextCand_) ++k;
    if (k == activeCount_) return false;
    _WCTLHEAD* w = &a_.words[active_[k]];
    voz_VvgDoc(a_.index, &vvg_, privateSet_.get(), &w->cur, w, &info_, st_);
    if (failed()) return false;
    if (k > 0) readHead(k, VOZ_READ_VVG_START);
    return !failed();
}

// Brings the scope to the window's document. False when the window is not
// in the scope (*stop: the walk ends).
bool Walk::scopeAllows(bool* stop) {
    SCOPECTL* s = a_.scope;
    *stop = false;
    if (s == nullptr) return true;
    if (s->curDoc < info_.vvgId && voz_ScopeRead(s, info_.vvgId, st_) < 0) {
        *stop = true;  // exhausted, or a failure in the status
        return false;
    }
    if (s->curDoc == info_.vvgId) return true;
    passWindow();
    if (!voz_IndexHasVvgs(a_.index)) nextCand_ = std::max(nextCand_, s->curDoc);
    *stop = failed();
    return false;
}

// Moves every active word standing in the window past it.
void Walk::passWindow() {
    int32_t n = 0;
    while (n < activeCount_ && inWindow(&a_.words[active_[n]])) ++n;
    if (n > 0) readHead(n, VOZ_READ_VVG_END);
}

// With a rank callback: false (the window passed) when the window's sort
// key is below the threshold, so the document could not enter the full
// rank heap.
bool Walk::rankAllows() {
    if (a_.rank == nullptr || a_.rank->rank_user == nullptr) return true;
    uint32_t value = 0;
    uint32_t key = voz_UserRank(static_cast<uint32_t>(info_.vvgId), a_.rank, &value);
    if (key >= static_cast<uint32_t>(a_.answer->rankMembers[1])) return true;
    passWindow();
    return false;
}

// Scores the hit document and offers it to the rank heap; a kept
// document's occurrences go to the end of the store or into a reused run.
bool Walk::keepRanked(int32_t doc) {
    RANKPARM* r = a_.rank;
    OPPARM* ops = single() ? a_.oneOp : a_.ops;
    int32_t nop = single() ? 1 : a_.opCount;
    float score = 0.0f;
    if ((r->rank_flags & VOZ_RANK_SCORING) != 0 && ops != nullptr) {
        voz_EvaluateWithRank(ops, nop, a_.words, a_.wordCount, r, a_.index,
                             &info_, occ_, nocc_, st_);
        if (failed()) return false;
        score = ops[nop - 1].node_rec->score;
    }
    voz_RemoveDupOcc(occ_, &nocc_);
    if (a_.answer->resForm == 2 && nocc_ > 1) nocc_ = 1;
    ANSWERFORM* ans = a_.answer;
    RANKDOC2 d{};
    d.docno = doc;
    d.sort_key = voz_UserRank(static_cast<uint32_t>(doc), r, &d.user_value);
    d.score = score;
    d.occ_offset = ans->occCount;
    d.occ_count = nocc_;
    if (voz_KeepRanking(&d, r->rank_limit, ans, st_) != 0) return !failed();
    if (d.occ_offset >= ans->occCount) {
        voz_WriteOcc(occ_, nocc_, ans, st_);
        if (failed()) return false;
        *a_.docCount += 1;
        *a_.occCount += nocc_;
    } else {
        voz_WriteAssignedOcc(occ_, nocc_, d.occ_offset, ans, st_);
    }
    return !failed();
}

bool Walk::append(_WCTLHEAD* w, int32_t wordNo) {
    if (nocc_ == cap_) {
        int32_t cap = cap_ == 0 ? kFirstCapacity
                                : cap_ + std::min(cap_, kGrowStep);
        OCC* o = static_cast<OCC*>(realloc(occ_, static_cast<size_t>(cap) * sizeof(OCC)));
        if (o == nullptr) {
            voz_setStatus(st_, VOZ_RC_MEMORY, single() ? 702 : 701, nullptr, ENOMEM);
            return false;
        }
        occ_ = o;
        if (!single()) {
            OCCSUPP* s = static_cast<OCCSUPP*>(
                realloc(supp_, static_cast<size_t>(cap) * sizeof(OCCSUPP)));
            if (s == nullptr) {
                voz_setStatus(st_, VOZ_RC_MEMORY, 707, nullptr, ENOMEM);
                return false;
            }
            supp_ = s;
        }
        cap_ = cap;
    }
    OCC o = w->cur;
    o.docno = info_.vvgId;
    o.pos = w->vvgPctl != nullptr ? w->rawRelPos : w->cur.pos - info_.vvgStart;
    if (w->kind != 'W' && w->kind != 'B') {
        o.pos = 1;
        o.len = 0;
    }
    if (w->kind != 'B') o.match = w->matchGrade;
    o.node = static_cast<int16_t>(single() ? 0 : wordNo);
    if (single()) o.spare = 0;
    occ_[nocc_] = o;
    if (!single()) {
        OCCSUPP& s = supp_[nocc_];
        memset(&s, 0, sizeof s);
        s.node = static_cast<int16_t>(wordNo);
        s.enabled = 1;
        if (!quick_) {
            s.unit_no = -1;
            s.alive = 1;
        }
    }
    ++nocc_;
    return true;
}

// Gathers the window's occurrences. False on a failure.
bool Walk::gather() {
    for (int32_t i = 0; i < a_.wordCount; ++i) {
        _WCTLHEAD* w = &a_.words[i];
        w->hit = 0;
        w->rank = 0;
        w->docCounters[0] = 0;
        w->max_len = 0;
    }
    nocc_ = 0;
    bool moved = false;
    while (activeCount_ > 0) {
        int32_t wordNo = active_[0];
        _WCTLHEAD* w = &a_.words[wordNo];
        if (!inWindow(w)) {
            // An occurrence the window cannot hold (a position at the very
            // end of the position range): pass it rather than loop on it.
            if (!moved) readHead(1, VOZ_READ_NEXT);
            break;
        }
        moved = true;
        if (w->docCounters[0]++ == 0) ++w->setDocCount;
        int32_t verdict = voz_CheckRange(a_.index, w, a_.blocks, a_.mfc, &info_, st_);
        int32_t mode = VOZ_READ_NEXT;
        if (verdict == VOZ_RANGE_ACCEPT) {
            // Lookups that leave the count at 0 contribute one hit.
            if (w->cur.weight == 0) w->cur.weight = 1;
            w->hit += w->cur.weight;
            w->max_len = std::max<int32_t>(w->max_len, w->cur.len);
            w->rank += static_cast<float>(w->cur.weight) * w->weight;
            if (!append(w, wordNo)) return false;
            if (docOnly_ && occ_[nocc_ - 1].len != 0) mode = VOZ_READ_NEXT_DOC;
        } else if (verdict == VOZ_RANGE_REJECT_DOC) {
            mode = VOZ_READ_VVG_END;
        } else {
            if (failed()) return false;
            // Term-frequency output counts every occurrence: read them all.
            mode = freqOpen_ ? VOZ_READ_NEXT : VOZ_READ_AFTER_MARK;
        }
        readHead(1, mode);
        if (failed()) return false;
    }
    return !failed();
}

// 1 when the gathered document hits, 0 when not, -1 on a failure.
int Walk::decide() {
    for (int32_t i = 0; i < a_.wordCount; ++i) {
        _WCTLHEAD* w = &a_.words[i];
        if (w->hit > 0) w->rank = w->rank / w->hit;
    }
    if (single()) return nocc_ > 0 ? 1 : 0;
    int32_t next = nextCand_;
    int hit = quick_ ? voz_EvaluateHitQuick(a_.ops, a_.opCount, occ_, supp_, &nocc_,
                                            a_.words, &next, a_.rank, st_)
                     : voz_EvaluateHit(a_.ops, a_.opCount, occ_, supp_, &nocc_,
                                       a_.index, &info_, a_.words, a_.wordCount,
                                       &next, a_.mfc, a_.rank, st_);
    if (failed()) return -1;
    nextCand_ = next;
    return hit == 1 ? 1 : 0;
}

// True when `doc` is deleted; the list is consumed up to it (documents
// arrive in ascending order).
bool Walk::deleted(int32_t doc) {
    if (deletedLeft_ == 0 || doc < 0) return false;
    const uint32_t* end = deleted_ + deletedLeft_;
    const uint32_t* at = std::lower_bound(deleted_, end, static_cast<uint32_t>(doc));
    bool found = at != end && *at == static_cast<uint32_t>(doc);
    if (found) ++at;
    deletedLeft_ = static_cast<uint32_t>(end - at);
    deleted_ = at;
    return found;
}

// Calls the skip callback for `doc`. False when it failed (150/value).
bool Walk::callSkip(int32_t doc, bool* keep) {
    *keep = true;
    GTRSKIPFUNCINFO* k = a_.skip;
    if (k == nullptr || k->skip_function == nullptr || (k->flags & 1) == 0) return true;
    alignas(8) uint8_t rec[kSkipRecordSize] = {};
    int32_t one = 1, next = doc + 1;
    memcpy(rec + kSkipDoc, &doc, 4);
    memcpy(rec + kSkipOne, &one, 4);
    memcpy(rec + kSkipNext, &next, 4);
    rec[kSkipKeep] = 1;
    uint32_t rc = k->skip_function(rec, k->user_data);
    if (rc != 0) {
        voz_setStatus(st_, VOZ_RC_SKIPFUNC, static_cast<int32_t>(rc));
        return false;
    }
    *keep = rec[kSkipKeep] != 0;
    memcpy(&next, rec + kSkipNext, 4);
    if (next > doc + 1) jumpTo(next);
    return !failed();
}

// Moves the window to the first VVG of `doc` and the words before it there.
void Walk::jumpTo(int32_t doc) {
    OCC at{};
    at.docno = doc;
    at.pos = 1;
    voz_VvgDoc(a_.index, &vvg_, privateSet_.get(), &at, nullptr, &info_, st_);
    if (failed()) return;
    int32_t n = 0;
    while (n < activeCount_ && a_.words[active_[n]].cur.docno < doc) ++n;
    if (n > 0) readHead(n, VOZ_READ_VVG_START);
    nextCand_ = std::max(nextCand_, doc);
}

void Walk::run() {
    if (!setUp()) return;
    while (activeCount_ >= quorum_ && activeCount_ > 0) {
        if (!takeWindow()) return;
        if (activeCount_ < quorum_) return;
        bool stop = false;
        if (!scopeAllows(&stop)) {
            if (stop) return;
            continue;
        }
        if (!rankAllows()) {
            if (failed()) return;
            continue;
        }
        if (!gather()) return;
        if (freqOpen_) {
            voz_WriteFreq(&freq_, a_.words, a_.wordCount, a_.index, &info_,
                          a_.answer->freqFile, st_);
            if (failed()) return;
        }
        if (nocc_ == 0) continue;
        int32_t doc = occ_[0].docno;
        int verdict = decide();
        if (verdict < 0) return;
        if (verdict == 0) continue;
        ANSWERFORM* ans = a_.answer;
        if (*a_.docCount >= ans->docLimit || *a_.occCount >= ans->occLimit) {
            ans->limitReached = 'Y';
            return;
        }
        if (deleted(doc)) continue;
        bool keep = true;
        if (!callSkip(doc, &keep)) return;
        if (!keep) continue;
        if (a_.rank != nullptr) {
            if (!keepRanked(doc)) return;
            continue;
        }
        voz_RemoveDupOcc(occ_, &nocc_);
        if (ans->resForm == 2 && nocc_ > 1) nocc_ = 1;
        voz_WriteOcc(occ_, nocc_, ans, st_);
        if (failed()) return;
        *a_.docCount += 1;
        *a_.occCount += nocc_;
    }
}

void Walk::release() {
    if (released_) return;
    released_ = true;
    for (int32_t i = 0; i < a_.wordCount; ++i) {
        _WCTLHEAD* w = &a_.words[i];
        if (w->nextHit == nullptr) continue;
        GTRSTATUS mine{};
        w->nextHit(w, w->nextArg1, w->nextArg2, nullptr, VOZ_DOC_END,
                   VOZ_RELEASE_POS, &mine);
        if (mine.retcode != 0)
            voz_setStatus2(st_, mine.retcode, mine.errcode, mine.errfname1,
                           mine.errfname2, mine.system_errno);
    }
    if (freqOpen_) voz_TermFreq(&freq_);
    free(active_);
    free(occ_);
    free(supp_);
    active_ = nullptr;
    occ_ = nullptr;
    supp_ = nullptr;
    if (vvgOpen_) voz_TermForVvgDoc(a_.index, &vvg_, privateSet_.get());
    if (opsOpen_) voz_TermForOperation(a_.ops, a_.opCount);
}

// Ends a ranked walk that ran to its end (or to a limit): the kept
// documents are put in rank order.
void finishRanking(RANKPARM* rank, ANSWERFORM* answer, GTRSTATUS* st) {
    if (rank == nullptr || voz_Failed(st)) return;
    int32_t count = 0;
    voz_FinishRanking(rank, answer, &count, st);
}

}  // namespace

void voz_EvaluateOccsMultiWord(_WCTLHEAD* words, int32_t wordCount,
                               RANKPARM* rank, OPPARM* ops, int32_t opCount,
                               IDXINFO* index, void* readerArg2,
                               BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                               void* readerArg1, SCOPECTL* scope,
                               ANSWERFORM* answer, int32_t* docCount,
                               int32_t* occCount, GTRSKIPFUNCINFO* skip,
                               GTRSTATUS* st) {
    WalkArgs a{words, wordCount, ops, opCount, index, readerArg1, readerArg2,
               blocks, mfc, scope, answer, docCount, occCount, skip,
               rank, nullptr};
    Walk walk(a, st);
    walk.setRanked(rank != nullptr);
    if (ops == nullptr || opCount < 1) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, VOZ_EC_WALK_NO_OPERATOR);
        return;
    }
    walk.run();
    finishRanking(rank, answer, st);
}

void voz_EvaluateOccsOneWord(_WCTLHEAD* word, RANKPARM* rank, OPPARM op,
                             IDXINFO* index, void* readerArg2,
                             BLOCKCTL** blocks, MULTIFIELDCTRL* mfc,
                             void* readerArg1, SCOPECTL* scope,
                             ANSWERFORM* answer, int32_t* docCount,
                             int32_t* occCount, GTRSKIPFUNCINFO* skip,
                             GTRSTATUS* st) {
    word[1].rank = 1;  // the root of a one-word query
    WalkArgs a{word, 1, nullptr, 0, index, readerArg1, readerArg2,
               blocks, mfc, scope, answer, docCount, occCount, skip,
               rank, &op};
    Walk walk(a, st);
    walk.setRanked(rank != nullptr);
    walk.run();
    finishRanking(rank, answer, st);
}
