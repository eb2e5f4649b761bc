// voz_reshandle.cpp -- reading a memory result through its result handle
// (see voz_search.hpp): entries by index, documents by offset with their
// score, and the empty result.
//
// A result record holds its first memEntries entries in memory pages and
// the rest in a spill file (16 bytes each, in order). Documents are runs of
// entries with one document number; when some document has several
// entries, the document table gives the first entry of documents 0, 16,
// 32, ..., and a document is found by loading its 16-document block into
// the view area. Every table value is checked against the entry counts
// before it is used, so a damaged record gives 17/1443, never a bad read.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr int32_t kEnd = 123;  // end of the result (no errcode)
constexpr int32_t kBlockDocs = 16;

bool isOpen(const VOZRESULT* r) { return r->readBuffer != nullptr; }

int32_t tableAt(const VOZRESULT* r, int32_t t) {
    return *static_cast<int32_t*>(voz_PMitem(r->docTable, t));
}

// Reads entry i (pages or spill file) into *out.
bool readEntry(VOZRESULT* r, int32_t i, OCC* out, int32_t reason,
               GTRSTATUS* st) {
    if (i < r->memEntries) {
        *out = *voz_OccAt(r->pages, i);
        return true;
    }
    int64_t off = static_cast<int64_t>(i - r->memEntries) *
                  static_cast<int64_t>(sizeof(OCC));
    return voz_FileCtl_Read(&r->spill, off, out, sizeof(OCC), reason, st) >= 0;
}

// Entries of block b: [*first, *end). False when the table does not match.
bool blockRange(const VOZRESULT* r, int32_t b, int32_t* first, int32_t* end) {
    if (b < 0 || b >= r->tableEntries) return false;
    *first = tableAt(r, b);
    *end = b + 1 < r->tableEntries ? tableAt(r, b + 1) : r->totalEntries;
    return *first >= 0 && *first <= *end && *end <= r->totalEntries &&
           *end - *first <= r->largestBlock;
}

// Loads block b into the view area.
bool loadBlock(VOZRESULT* r, int32_t b, GTRSTATUS* st) {
    int32_t first, end;
    if (!blockRange(r, b, &first, &end) || r->viewArea == nullptr) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 1443);
        return false;
    }
    for (int32_t i = first; i < end; ++i) {
        if (!readEntry(r, i, &r->viewArea[i - first], 152, st)) return false;
    }
    r->viewFirstEntry = first;
    r->viewEndEntry = end;
    r->viewFirstDoc = b * kBlockDocs;
    int64_t last = static_cast<int64_t>(b + 1) * kBlockDocs;
    r->viewEndDoc = last < r->docCount ? static_cast<int32_t>(last)
                                       : r->docCount;
    return true;
}

// Entry index (in the view) where document `doc` of the loaded block
// starts, and its entry count; false when the view does not hold it.
bool findInView(const VOZRESULT* r, int32_t doc, int32_t* at, int32_t* n) {
    int32_t size = r->viewEndEntry - r->viewFirstEntry;
    int32_t p = 0;
    for (int32_t d = r->viewFirstDoc; d < doc; ++d) {
        int32_t no = r->viewArea[p].docno;
        while (p < size && r->viewArea[p].docno == no) ++p;
        if (p >= size) return false;
    }
    if (p >= size) return false;
    int32_t k = p;
    while (k < size && r->viewArea[k].docno == r->viewArea[p].docno) ++k;
    *at = p;
    *n = k - p;
    return true;
}

// The document offset that starts at or after entry `pos`; docCount when
// none. Loads the block that holds it.
bool docAtEntry(VOZRESULT* r, int32_t pos, int32_t* doc, GTRSTATUS* st) {
    int32_t lo = 0, hi = r->tableEntries - 1;
    while (lo < hi) {  // last block whose first entry is <= pos
        int32_t mid = lo + (hi - lo + 1) / 2;
        if (tableAt(r, mid) <= pos)
            lo = mid;
        else
            hi = mid - 1;
    }
    for (int32_t b = lo; b < r->tableEntries; ++b) {
        if (!loadBlock(r, b, st)) return false;
        int32_t p = 0, size = r->viewEndEntry - r->viewFirstEntry;
        for (int32_t d = r->viewFirstDoc; d < r->viewEndDoc; ++d) {
            if (p >= size) break;
            if (r->viewFirstEntry + p >= pos) {
                *doc = d;
                return true;
            }
            int32_t no = r->viewArea[p].docno;
            while (p < size && r->viewArea[p].docno == no) ++p;
        }
    }
    *doc = r->docCount;
    return true;
}

float scoreOf(const VOZRESULT* r, int32_t doc) {
    return r->scores != nullptr ? r->scores[doc] : 1.0f;
}

// One entry per document: document `doc` is entry `doc`.
int32_t viewSingle(VOZRESULT* r, int32_t offset, OCC** entries,
                   int32_t* count, float* score, GTRSTATUS* st) {
    int32_t idx = offset < 0 ? r->readPos : offset;
    if (!readEntry(r, idx, &r->readBuffer[0], 149, st)) return r->curDoc;
    r->readPos = idx + 1;
    *entries = r->readBuffer;
    *count = 1;
    if (score != nullptr) *score = scoreOf(r, idx);
    r->curDoc = r->readPos;
    return r->curDoc;
}

}  // namespace

void VOZ_ResultOpen(VOZRESULT* r, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (r == nullptr) return voz_setStatus(st, VOZ_RC_HANDLE, 1432);
    if (voz_FileCtl_Opened(&r->spill) || r->readBuffer != nullptr)
        return voz_setStatus(st, 125, 1433);
    r->readPos = 0;
    r->curDoc = 0;
    r->viewArea = nullptr;
    r->viewFirstEntry = r->viewEndEntry = r->viewFirstDoc = r->viewEndDoc = 0;
    if (r->totalEntries <= 0) return;
    if (r->totalEntries > r->memEntries &&
        voz_FileCtl_Open(&r->spill, "rb", 143, st) != 0)
        return;
    r->largestBlock = 0;
    for (int32_t t = 0; t < r->tableEntries; ++t) {
        int32_t end = t + 1 < r->tableEntries ? tableAt(r, t + 1)
                                              : r->totalEntries;
        int32_t d = end - tableAt(r, t);
        if (d > r->largestBlock) r->largestBlock = d;
    }
    int64_t n = static_cast<int64_t>(r->largestDoc) + r->largestBlock;
    if (n < 1) n = 1;
    r->readBuffer = static_cast<OCC*>(malloc(static_cast<size_t>(n) *
                                             sizeof(OCC)));
    if (r->readBuffer == nullptr) {
        voz_FileCtl_Close(&r->spill, 143, nullptr);
        return voz_setStatus(st, VOZ_RC_MEMORY, 1434, nullptr, ENOMEM);
    }
    if (r->largestBlock > 0) r->viewArea = r->readBuffer + r->largestDoc;
}

int32_t VOZ_ResultRead(VOZRESULT* r, int32_t start, int32_t count,
                       OCC* buffer, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (r == nullptr) {
        voz_setStatus(st, VOZ_RC_HANDLE, 1436);
        return 0;
    }
    if (start < -1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1438);
        return r->readPos;
    }
    if (r->totalEntries > 0 && !isOpen(r)) {
        voz_setStatus(st, 126, 1437);
        return r->readPos;
    }
    if (start > r->totalEntries) {
        voz_setStatus(st, kEnd, 0);
        return r->readPos;
    }
    if (count < 1) {
        if (start != -1 && start != r->readPos) {
            r->readPos = start;
            r->curDoc = -1;
        }
        return r->readPos;
    }
    r->curDoc = -1;
    if (start >= 0) r->readPos = start;
    for (int32_t k = 0; k < count; ++k) {
        if (r->readPos >= r->totalEntries) {
            voz_setStatus(st, kEnd, 0);
            break;
        }
        if (!readEntry(r, r->readPos, &buffer[k], 149, st)) break;
        ++r->readPos;
    }
    return r->readPos;
}

int32_t VOZ_ResultView_Doc(VOZRESULT* r, int32_t offset, OCC** entries,
                           int32_t* count, float* score, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (r == nullptr) {
        voz_setStatus(st, VOZ_RC_HANDLE, 1439);
        return 0;
    }
    if (entries == nullptr || count == nullptr) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1441);
        return r->curDoc;
    }
    if (offset < -1) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 1442);
        return r->curDoc;
    }
    *entries = nullptr;
    *count = 0;
    if (score != nullptr) *score = 1.0f;
    if (r->totalEntries > 0 && !isOpen(r)) {
        voz_setStatus(st, 126, 1440);
        return r->curDoc;
    }
    if (offset >= r->docCount ||
        (offset == -1 && r->readPos >= r->totalEntries)) {
        if (offset == -1) r->curDoc = r->docCount;
        voz_setStatus(st, kEnd, 0);
        return r->curDoc;
    }
    if (r->totalEntries == r->docCount)
        return viewSingle(r, offset, entries, count, score, st);
    int32_t doc = offset;
    if (doc == -1) {
        if (r->curDoc >= 0) {
            doc = r->curDoc;
        } else if (!docAtEntry(r, r->readPos, &doc, st)) {
            return r->curDoc;
        }
        if (doc >= r->docCount) {
            r->curDoc = r->docCount;
            voz_setStatus(st, kEnd, 0);
            return r->curDoc;
        }
    }
    if (doc < r->viewFirstDoc || doc >= r->viewEndDoc) {
        if (!loadBlock(r, doc / kBlockDocs, st)) return r->curDoc;
    }
    int32_t at, n;
    if (!findInView(r, doc, &at, &n) || n > r->largestDoc) {
        voz_setStatus(st, VOZ_RC_INCONSISTENT, 1443);
        return r->curDoc;
    }
    memcpy(r->readBuffer, r->viewArea + at, static_cast<size_t>(n) * sizeof(OCC));
    r->readPos = r->viewFirstEntry + at + n;
    r->curDoc = doc + 1;
    *entries = r->readBuffer;
    *count = n;
    if (score != nullptr) *score = scoreOf(r, doc);
    return r->curDoc;
}

void VOZ_ResultClose(VOZRESULT* r, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (r == nullptr) return voz_setStatus(st, VOZ_RC_HANDLE, 1435);
    r->readPos = 0;
    voz_FileCtl_Close(&r->spill, 143, nullptr);
    free(r->readBuffer);
    r->readBuffer = nullptr;
    r->viewArea = nullptr;
    r->viewFirstEntry = r->viewEndEntry = r->viewFirstDoc = r->viewEndDoc = 0;
}

void VOZ_ResultRelease(VOZRESULT* r, GTRSTATUS* st) {
    voz_ClearStatus(st);
    if (r == nullptr) return;
    voz_FileCtl_Close(&r->spill, 146, nullptr);
    free(r->readBuffer);
    voz_PMfree(&r->pages);
    voz_FileCtl_Remove(&r->spill, 146, st);
    voz_PMfree(&r->docTable);
    free(r->scores);
    free(r);
}

void VOZ_EmptyResult(VOZSEARCH* handle, GTRSEARCH_RES* res, GTRSTATUS* st) {
    voz_ClearStatus(st);
    voz_SearchParmCheck_Result(res, st);
    if (voz_Failed(st)) return;
    res->result_docnum = 0;
    res->result_occnum = 0;
    ANSWERFORM* a = static_cast<ANSWERFORM*>(calloc(1, sizeof(ANSWERFORM)));
    if (a == nullptr) return voz_setStatus(st, VOZ_RC_MEMORY, 283, nullptr, ENOMEM);
    voz_OpenAnswer(a, handle != nullptr ? handle->tempDir : nullptr, 0, res,
                   nullptr, nullptr, st);
    voz_CloseAnswer(a, st);
    if (!voz_Failed(st)) voz_SetAnswer(a, res, nullptr, 0, st);
    voz_ReleaseAnswer(a);
    free(a);
}
