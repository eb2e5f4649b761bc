// voz_scope.cpp -- scopes (see voz_scope.hpp).
#include "search/voz_scope.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_qsort.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int32_t kEnd = 123;

// Copies the failure of a result-handle call (which clears its own status)
// into the caller's status.
void keep(const GTRSTATUS& mine, GTRSTATUS* st) {
    if (mine.retcode != 0)
        voz_setStatus2(st, mine.retcode, mine.errcode, mine.errfname1,
                       mine.errfname2, mine.system_errno);
}

// Builds the order list of a result that is not in document order.
bool buildOrder(SCOPECTL* ctl, int32_t docs, GTRSTATUS* st) {
    SCOPEDOCORDER* pairs = static_cast<SCOPEDOCORDER*>(
        malloc(static_cast<size_t>(docs > 0 ? docs : 1) * sizeof(SCOPEDOCORDER)));
    if (pairs == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 289, nullptr, ENOMEM);
        return false;
    }
    int32_t n = 0;
    for (int32_t i = 0; i < docs; ++i) {
        GTRSTATUS mine{};
        OCC* e = nullptr;
        int32_t k = 0;
        VOZ_ResultView_Doc(ctl->result, i, &e, &k, nullptr, &mine);
        if (mine.retcode == kEnd) continue;
        if (mine.retcode != 0) {
            keep(mine, st);
            free(pairs);
            return false;
        }
        if (k < 1) continue;
        pairs[n].offset = i;
        pairs[n].docno = static_cast<uint32_t>(e[0].docno);
        ++n;
    }
    voz_SortScopeDoc(pairs, n, st);
    ctl->order = static_cast<int32_t*>(
        malloc(static_cast<size_t>(n > 0 ? n : 1) * sizeof(int32_t)));
    if (ctl->order == nullptr) {
        free(pairs);
        voz_setStatus(st, VOZ_RC_MEMORY, 290, nullptr, ENOMEM);
        return false;
    }
    for (int32_t i = 0; i < n; ++i) ctl->order[i] = pairs[i].offset;
    ctl->orderCount = n;
    free(pairs);
    return true;
}

}  // namespace

void voz_SortScopeDoc(SCOPEDOCORDER* pairs, int32_t count, GTRSTATUS*) {
    voz_QuickSort(pairs, count, [](const SCOPEDOCORDER& x,
                                   const SCOPEDOCORDER& y) {
        return x.docno < y.docno;
    });
}

void voz_ScopeOpen(const GTRSEARCH_RES* scope, SCOPECTL* ctl, GTRSTATUS* st) {
    memset(ctl, 0, sizeof *ctl);
    ctl->curDoc = -1;
    ctl->endFlag = 'N';
    const VOZRESULT* r = static_cast<const VOZRESULT*>(scope->res_handle);
    if (r == nullptr) {
        ctl->endFlag = 'Y';
        return;
    }
    ctl->copy = *r;
    ctl->copy.spill.fctl = nullptr;  // the copy reads through its own file
    ctl->copy.spill.offset = 0;
    ctl->copy.readBuffer = nullptr;
    ctl->copy.viewArea = nullptr;
    ctl->result = &ctl->copy;
    GTRSTATUS mine{};
    VOZ_ResultOpen(ctl->result, &mine);
    if (mine.retcode != 0) return keep(mine, st);
    if (scope->res_flag & 0x80) return;
    if (!buildOrder(ctl, scope->result_docnum, st)) {
        voz_ScopeClose(ctl, nullptr);
        return;
    }
    VOZ_ResultClose(ctl->result, &mine);
    VOZ_ResultOpen(ctl->result, &mine);
    keep(mine, st);
}

int32_t voz_ScopeRead(SCOPECTL* ctl, int32_t target, GTRSTATUS* st) {
    if (ctl->endFlag == 'Y') return -1;
    if (ctl->curDoc >= target) return ctl->curDoc;
    do {
        int32_t offset = -1;
        if (ctl->order != nullptr) {
            if (ctl->orderPos >= ctl->orderCount) {
                ctl->endFlag = 'Y';
                return -1;
            }
            offset = ctl->order[ctl->orderPos++];
        }
        GTRSTATUS mine{};
        OCC* e = nullptr;
        int32_t k = 0;
        VOZ_ResultView_Doc(ctl->result, offset, &e, &k, nullptr, &mine);
        if (mine.retcode == kEnd || (mine.retcode == 0 && k < 1)) {
            ctl->endFlag = 'Y';
            return -1;
        }
        if (mine.retcode != 0) {
            keep(mine, st);
            return -1;
        }
        ctl->curDoc = e[0].docno;
    } while (ctl->curDoc < target);
    return ctl->curDoc;
}

void voz_ScopeClose(SCOPECTL* ctl, GTRSTATUS*) {
    if (ctl == nullptr) return;
    if (ctl->result != nullptr) {
        GTRSTATUS mine{};
        VOZ_ResultClose(ctl->result, &mine);
    }
    free(ctl->order);
    ctl->order = nullptr;
    ctl->orderCount = ctl->orderPos = 0;
}
