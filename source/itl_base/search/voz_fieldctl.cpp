// voz_fieldctl.cpp -- field controls and the inside-a-field test (see
// voz_fieldctl.hpp).
//
// A field key is read one boundary at a time, so that each control knows
// the ordinal of the boundary it stands on (odd: an instance starts there,
// even: one ends there) and the boundary before it; a skip over several
// boundaries at once would lose both.
#include "search/voz_fieldctl.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"
#include "search/voz_gctl.hpp"
#include "search/voz_qsort.hpp"

namespace {

constexpr uint16_t kNoField = 0xFFFF;
constexpr int32_t kFirstCapacity = 4;

// Index of `field` in the table, or -1; *stop := where the search ended.
int32_t findField(const MULTIFIELDCTRL* mfc, uint16_t field, int32_t* stop) {
    int32_t lo = 0, hi = mfc->fieldCount - 1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        uint16_t f = mfc->fieldTable[mid].field;
        if (f == field) {
            if (stop != nullptr) *stop = mid;
            return mid;
        }
        if (f < field) lo = mid + 1;
        else hi = mid - 1;
    }
    if (stop != nullptr) *stop = lo;
    return -1;
}

void clearControl(MULTIFIELDCTRL* mfc) {
    free(mfc->fieldTable);
    free(mfc->fieldPctl);
    mfc->fieldTable = nullptr;
    mfc->fieldPctl = nullptr;
    mfc->fieldCount = 0;
    mfc->fieldCapacity = 0;
}

// Ends the first n posting controls of the array.
void endControls(PCTLHEAD* pctl, int32_t n, GTRSTATUS* st) {
    for (int32_t i = 0; i < n; ++i) {
        voz_ReadInfo3Term(&pctl[i]);
        GTRSTATUS own{};
        voz_TermPctl(&pctl[i], &own);
        if (own.retcode != 0 && st != nullptr && !voz_Failed(st)) *st = own;
    }
}

}  // namespace

void voz_InitMultiFieldCtrl(MULTIFIELDCTRL* mfc, char weighted,
                            GTRSTATUS* /*st*/) {
    memset(mfc, 0, sizeof *mfc);
    mfc->weighted = weighted;
}

void voz_RegisterFieldNumber(MULTIFIELDCTRL* mfc, uint16_t field,
                             GTRSTATUS* st) {
    if (findField(mfc, field, nullptr) >= 0) return;
    if (mfc->fieldCount >= mfc->fieldCapacity) {
        int32_t want = mfc->fieldCapacity == 0 ? kFirstCapacity
                                               : mfc->fieldCapacity * 2;
        void* p = realloc(mfc->fieldTable, sizeof(FIELDCTRL) *
                                               static_cast<size_t>(want));
        if (p == nullptr) {
            clearControl(mfc);
            voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_FIELDTABLE_GROW, nullptr,
                          ENOMEM);
            return;
        }
        mfc->fieldTable = static_cast<FIELDCTRL*>(p);
        mfc->fieldCapacity = want;
    }
    FIELDCTRL& e = mfc->fieldTable[mfc->fieldCount++];
    memset(&e, 0, sizeof e);
    e.field = field;
    if (mfc->fieldCount > 1 &&
        field < mfc->fieldTable[mfc->fieldCount - 2].field)
        voz_SortFieldCtrl(mfc->fieldTable, mfc->fieldCount, st);
}

void voz_RegisterFieldNumberFinish(MULTIFIELDCTRL* mfc, IDXINFO* index,
                                   GTRSTATUS* st) {
    if (mfc->fieldCount == 0) return;
    auto* pctl = static_cast<PCTLHEAD*>(
        calloc(static_cast<size_t>(mfc->fieldCount), sizeof(PCTLHEAD)));
    if (pctl == nullptr) {
        clearControl(mfc);
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_FIELDPCTL_ALLOC, nullptr,
                      ENOMEM);
        return;
    }
    mfc->fieldPctl = pctl;
    int32_t kept = 0;
    uint16_t nextPresent = 0;  // fields below it are known to be absent
    for (int32_t i = 0; i < mfc->fieldCount; ++i) {
        uint16_t field = mfc->fieldTable[i].field;
        if (field < nextPresent) continue;
        PCTLHEAD* p = &pctl[kept];
        memset(p, 0, sizeof *p);
        uint16_t next = 0;
        voz_InitFieldPctl(p, index, field, &next, st);
        if (voz_Failed(st)) {
            endControls(pctl, kept + 1, nullptr);
            clearControl(mfc);
            return;
        }
        if (p->endOfDocs == 'Y') {  // absent, or a key without documents
            voz_TermPctl(p, st);
            nextPresent = next;
            continue;
        }
        nextPresent = 0;
        FIELDCTRL& e = mfc->fieldTable[kept++];
        e.field = field;
        e.pctl = p;
        e.ordinal = 0;
        e.before = 0;
    }
    mfc->fieldCount = kept;
}

int32_t voz_CheckFieldExistence(IDXINFO* /*index*/, const MULTIFIELDCTRL* mfc,
                                uint16_t field, uint16_t* next,
                                GTRSTATUS* /*st*/) {
    if (mfc->fieldCount == 0) {
        *next = kNoField;
        return 0;
    }
    int32_t stop = 0;
    int32_t at = findField(mfc, field, &stop);
    if (at >= 0) {
        *next = at + 1 < mfc->fieldCount ? mfc->fieldTable[at + 1].field
                                         : kNoField;
        return 1;
    }
    *next = stop < mfc->fieldCount ? mfc->fieldTable[stop].field : kNoField;
    return 0;
}

void voz_SortFieldCtrl(FIELDCTRL* table, int32_t n, GTRSTATUS* /*st*/) {
    voz_QuickSort(table, n, [](const FIELDCTRL& a, const FIELDCTRL& b) {
        return a.field < b.field;
    });
}

void voz_SortFieldArray(FIELDARRAY* table, int32_t n, GTRSTATUS* /*st*/) {
    voz_QuickSort(table, n, [](const FIELDARRAY& a, const FIELDARRAY& b) {
        return a.field < b.field;
    });
}

void voz_TermMultiFieldCtrl(MULTIFIELDCTRL* mfc, GTRSTATUS* st) {
    if (mfc == nullptr) return;
    if (mfc->fieldPctl != nullptr) endControls(mfc->fieldPctl, mfc->fieldCount, st);
    clearControl(mfc);
    mfc->nfields = 0;
    mfc->fields = nullptr;
}

int32_t voz_FieldPlace(IDXINFO* index, FIELDCTRL* fc, int32_t doc,
                       int32_t pos, int32_t len, GTRSTATUS* st) {
    PCTLHEAD* k = fc->pctl;
    if (k == nullptr || k->endOfDocs == 'Y') return VOZ_FIELD_NONE;
    if (k->curDoc < doc) {
        voz_PointVvgSkip(&index->fctl, k, static_cast<uint32_t>(doc), st);
        fc->ordinal = 0;
        fc->before = 0;
        if (voz_Failed(st)) return VOZ_FIELD_ERROR;
    }
    if (k->curDoc != doc) return VOZ_FIELD_NONE;
    while (k->endOfPos != 'Y' && k->curPos <= pos) {
        int32_t was = k->curPos;
        voz_PointPosSkip(&index->fctl, k, was, st);  // the next boundary
        if (voz_Failed(st)) return VOZ_FIELD_ERROR;
        if (k->endOfPos == 'Y') break;
        fc->before = was;
        ++fc->ordinal;
    }
    if (k->curPos <= pos) return VOZ_FIELD_NONE;
    bool inside = fc->ordinal % 2 == 0 && fc->before <= pos &&
                  static_cast<int64_t>(pos) + len <= k->curPos;
    return inside ? VOZ_FIELD_INSIDE : VOZ_FIELD_OUTSIDE;
}

char voz_CheckMultiField(IDXINFO* index, MULTIFIELDCTRL* mfc,
                         const FIELDARRAY* fa, uint16_t count, OCC* occ,
                         float* weight, GTRSTATUS* st) {
    occ->spare = 0;
    char result = 0;
    float best = 0.0f;
    for (uint16_t i = 0; i < count; ++i) {
        int32_t at = findField(mfc, fa[i].field, nullptr);
        if (at < 0) continue;
        int32_t place = voz_FieldPlace(index, &mfc->fieldTable[at], occ->docno,
                                       occ->pos, occ->len, st);
        if (place == VOZ_FIELD_ERROR) return 0;
        if (place == VOZ_FIELD_NONE) continue;
        result = 1;
        if (place != VOZ_FIELD_INSIDE) continue;
        if (!mfc->weighted) {
            occ->spare = fa[i].field;
            return 1;
        }
        if (fa[i].normWeight > best) {
            best = fa[i].normWeight;
            occ->spare = fa[i].field;
            if (weight != nullptr) *weight = best;
        }
    }
    return result;
}

void voz_CheckFieldRangeAt(IDXINFO* index, MULTIFIELDCTRL* mfc,
                           uint16_t field, int32_t doc, int32_t base,
                           const OCC* occs, OCCSUPP* supps, int32_t n,
                           GTRSTATUS* st) {
    for (int32_t i = 0; i < n; ++i) supps[i].in_field = 0;
    if (mfc == nullptr || n <= 0) return;
    int32_t at = findField(mfc, field, nullptr);
    if (at < 0) return;
    FIELDCTRL* fc = &mfc->fieldTable[at];
    for (int32_t i = 0; i < n; ++i) {
        if (occs[i].len == 0) continue;  // a document-level occurrence
        int32_t place = voz_FieldPlace(index, fc, doc, occs[i].pos + base,
                                       occs[i].len, st);
        if (place == VOZ_FIELD_ERROR || place == VOZ_FIELD_NONE) return;
        supps[i].in_field = place == VOZ_FIELD_INSIDE ? 1 : 0;
    }
}

void voz_CheckFieldRange(IDXINFO* index, MULTIFIELDCTRL* mfc, uint16_t field,
                         const OCC* occs, OCCSUPP* supps, int32_t n,
                         GTRSTATUS* st) {
    if (n <= 0) return;
    voz_CheckFieldRangeAt(index, mfc, field, occs[0].docno, 0, occs, supps, n,
                          st);
}
