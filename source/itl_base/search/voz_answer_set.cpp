// voz_answer_set.cpp -- hand-over of a closed answer set to the caller's
// result descriptor (see voz_answer.hpp): a file result keeps its file, a
// memory result becomes a result record (VOZRESULT) that the result handle
// operations read, and a ranked set is first rewritten in rank order.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"

namespace {

// Moves the pages, the document table and the spill file's name of `a`
// into a new result record; null after a failure (nothing moved then).
VOZRESULT* buildRecord(ANSWERFORM* a, GTRSTATUS* st) {
    int32_t keep = a->memEntries > 0 ? a->memEntries - 1 : 0;
    if (a->pages != nullptr &&
        __PM_RESIZE(&a->pages, keep, static_cast<int32_t>(sizeof(OCC))) != 0) {
        voz_setStatus(st, VOZ_RC_MEMORY, 282, nullptr, ENOMEM);
        return nullptr;
    }
    if (a->occCount > a->docCount && a->tableUsed > 0) {
        if (__PM_RESIZE(&a->docTable, a->tableUsed - 1, 4) != 0) {
            voz_setStatus(st, VOZ_RC_MEMORY, 859, nullptr, ENOMEM);
            return nullptr;
        }
    } else {
        voz_PMfree(&a->docTable);
        a->tableUsed = 0;
    }
    VOZRESULT* r = static_cast<VOZRESULT*>(calloc(1, sizeof(VOZRESULT)));
    if (r == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 283, nullptr, ENOMEM);
        return nullptr;
    }
    r->pages = a->pages;
    r->memEntries = a->memEntries;
    r->totalEntries = a->occCount;
    r->docCount = a->docCount;
    r->largestDoc = a->largestWrite;
    if (a->occCount > a->memEntries) memcpy(r->spill.name, a->fileName,
                                            sizeof r->spill.name);
    r->docTable = a->docTable;
    r->tableEntries = a->tableUsed;
    r->curDoc = 0;
    a->pages = nullptr;
    a->docTable = nullptr;
    a->memEntries = a->capacity = a->tableUsed = a->tableCapacity = 0;
    return r;
}

}  // namespace

void voz_SetAnswer(ANSWERFORM* a, GTRSEARCH_RES* res, _PAGEMEMCTL* ranked,
                   int32_t rankedCount, GTRSTATUS* st) {
    if (res->res_type == GTR_RES_FILE ||
        res->res_type == GTR_RES_FILE_HEADER) {
        if (a->kind != VOZ_ANS_FILE || a->memEntries != 0) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 281);
            return;
        }
        a->fileName[0] = '\0';  // the file is the caller's now
        return;
    }
    if (res->res_type != GTR_RES_HANDLE || a->occCount < 1) return;
    float* scores = nullptr;
    if (ranked != nullptr) {
        int32_t n = a->docCount > 0 ? a->docCount : 1;
        scores = static_cast<float*>(calloc(static_cast<size_t>(n),
                                            sizeof(float)));
        if (scores == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 286, nullptr, ENOMEM);
            return;
        }
        for (int32_t i = 0; i < rankedCount && i < a->docCount; ++i)
            scores[i] = static_cast<RANKDOC*>(voz_PMitem(ranked, i))->score;
    }
    VOZRESULT* r = buildRecord(a, st);
    if (r == nullptr) {
        free(scores);
        return;
    }
    r->scores = scores;
    res->res_handle = r;
    a->fileName[0] = '\0';  // the spill file belongs to the record now
}

void voz_SetAnswer_Ranking(ANSWERFORM* a, const char* tempDir,
                           GTRSEARCH_RES* res, const RANKPARM* rank,
                           int32_t* occOut, GTRSTATUS* st) {
    if (a->kind != VOZ_ANS_MEMORY && a->kind != VOZ_ANS_COUNT) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 279);
        return;
    }
    _PAGEMEMCTL* ranked = a->ranked;
    _PAGEMEMCTL* old = a->pages;
    int32_t oldEntries = a->memEntries;
    int32_t n = ranked != nullptr ? a->rankMembers[3] : 0;
    a->ranked = nullptr;
    a->pages = nullptr;
    int32_t occLimit = a->occLimit, docLimit = a->docLimit;
    voz_ReleaseAnswer(a);
    voz_OpenAnswer(a, tempDir, 0, res, nullptr, nullptr, st);
    a->occLimit = occLimit;
    a->docLimit = docLimit;
    int32_t total = 0;
    std::vector<OCC> doc;
    for (int32_t i = 0; i < n && !voz_Failed(st); ++i) {
        RANKDOC* e = static_cast<RANKDOC*>(voz_PMitem(ranked, i));
        int32_t first = e->first, count = e->count;
        if (a->kind == VOZ_ANS_COUNT && count >= 0) {  // counts only: no pages
            e->first = total;
            a->occCount += count;
            total += count;
            continue;
        }
        if (first < 0 || count < 0 || count > oldEntries - first) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 279);
            break;
        }
        // One call per document, so that the largest write is the largest
        // document, which sizes the result handle's read buffer.
        doc.resize(static_cast<size_t>(count));
        for (int32_t k = 0; k < count; ++k) doc[k] = *voz_OccAt(old, first + k);
        e->first = total;
        if (count > 0) voz_WriteOcc(doc.data(), count, a, st);
        total += count;
    }
    *occOut = n > 0 ? total : 0;
    a->docCount = n;
    a->outOfOrder = 1;
    voz_CloseAnswer(a, st);
    if (!voz_Failed(st)) voz_SetAnswer(a, res, ranked, n, st);
    if (!voz_Failed(st) && rank != nullptr && rank->rank_docs != nullptr) {
        int32_t out = n < rank->rank_limit ? n : rank->rank_limit;
        for (int32_t i = 0; i < out; ++i)
            memcpy(rank->rank_docs + static_cast<size_t>(i) * VOZ_RANKDOC_OUT,
                   voz_PMitem(ranked, i), VOZ_RANKDOC_OUT);
    }
    voz_PMfree(&ranked);
    voz_PMfree(&old);
}
