// voz_answer.cpp -- answer sets (see voz_answer.hpp): opening by kind,
// writing one document's occurrences, growth of the memory pages, the spill
// file, the document table of memory results, the order mark, closing with
// the type-4 header, and the hand-over to the result descriptor.
//
// Invariants while a set is open: memEntries <= capacity; the pages hold
// entries 0 .. memEntries-1 of the set, a spill file the entries after
// them; docTable entry t is the entry index of document 16t + 1 (1-based).
#include "search/voz_answer.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr int32_t kPageLimit = 0x7FFFFFF;    // entries of the pages
constexpr int32_t kTableLimit = 0x1FFFFFFF;  // entries of the document table
constexpr int32_t kGrowStep = 4096;

bool hasText(const char* s) { return s != nullptr && s[0] != '\0'; }

void copyText(char* dst, const char* src) {
    if (src == nullptr) {
        dst[0] = '\0';
        return;
    }
    size_t n = strnlen(src, VOZ_SRCH_NAME_LEN - 1);
    memcpy(dst, src, n);
    dst[n] = '\0';
}

// Makes room for `capacity` entries; false when memory runs out.
bool growPages(_PAGEMEMCTL** pages, int32_t capacity) {
    return __PM_RESIZE(pages, capacity > 0 ? capacity - 1 : 0,
                       static_cast<int32_t>(sizeof(OCC))) == 0;
}

void copyIn(ANSWERFORM* a, const OCC* occs, int32_t count, int32_t at) {
    for (int32_t i = 0; i < count; ++i) *voz_OccAt(a->pages, at + i) = occs[i];
}

// Capacity after growing from `cap` for `needed` entries.
int64_t grownCapacity(int64_t cap, int64_t needed, int64_t empty) {
    int64_t next = cap == 0 ? empty : cap + (cap < kGrowStep ? cap : kGrowStep);
    return next < needed ? needed : next;
}

// Writes the result-file header; form 2 sets its flag.
bool writeHeader(ANSWERFORM* a, GTRSTATUS* st) {
    uint8_t h[VOZ_RESFILE_HEADER] = {};
    uint32_t magic = VOZ_RESFILE_MAGIC;
    memcpy(h, &magic, 4);
    if (a->resForm == 2) h[12] = VOZ_RESFLAG_FORM2;
    if (voz_XXwrite(h, sizeof h, 1, a->file) != 1) {
        voz_setStatus(st, VOZ_RC_WRITE, 261, a->fileName, a->file->error);
        return false;
    }
    return true;
}

// Creates the caller's result file (a plain file) and its header.
void openResultFile(ANSWERFORM* a, const GTRSEARCH_RES* res, GTRSTATUS* st) {
    a->kind = VOZ_ANS_FILE;
    size_t n = strnlen(res->res_fname, GTR_RES_FNAME_LEN - 1);
    memcpy(a->fileName, res->res_fname, n);
    a->fileName[n] = '\0';
    a->file = voz_XXopenEx(a->fileName, "wb+", 0);
    if (a->file == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 277, a->fileName, errno);
        return;
    }
    if (res->res_type == GTR_RES_FILE_HEADER) writeHeader(a, st);
}

// Stores the occurrences of one call by the set's kind.
void store(OCC* occs, int32_t count, ANSWERFORM* a, bool newDoc,
           GTRSTATUS* st) {
    if (a->kind == VOZ_ANS_BUDGET) {
        if (a->memEntries + count <= a->capacity) {
            copyIn(a, occs, count, a->memEntries);
            a->memEntries += count;
            return;
        }
        if (static_cast<int64_t>(a->capacity) + count > a->budget) {
            char prefix[16] = "voz";
            if (voz_XXopenTempEx(a->fileName, prefix, "occ", a->tempDir,
                                 &a->file, st) != 0)
                return;
            a->kind = VOZ_ANS_FILE;  // later calls append to the spill file
        } else {
            int64_t cap = grownCapacity(a->capacity, a->memEntries + count,
                                        a->firstCapacity);
            if (cap > a->budget) cap = a->budget;
            if (cap < a->memEntries + count) cap = a->memEntries + count;
            if (cap >= kPageLimit ||
                !growPages(&a->pages, static_cast<int32_t>(cap))) {
                voz_setStatus(st, VOZ_RC_MEMORY, 271, nullptr, ENOMEM);
                return;
            }
            a->capacity = static_cast<int32_t>(cap);
            copyIn(a, occs, count, a->memEntries);
            a->memEntries += count;
            return;
        }
    }
    if (a->kind == VOZ_ANS_FILE) {
        if (a->resType == GTR_RES_FILE_HEADER && a->resForm == 2) {
            if (!newDoc) return;
            if (voz_XXwrite(&occs[0].docno, 4, 1, a->file) != 1)
                voz_setStatus(st, VOZ_RC_WRITE, 268, a->fileName,
                              a->file->error);
            return;
        }
        if (voz_XXwrite(occs, sizeof(OCC), static_cast<size_t>(count),
                        a->file) != static_cast<size_t>(count)) {
            bool spill = a->resType != GTR_RES_FILE &&
                         a->resType != GTR_RES_FILE_HEADER;
            voz_setStatus(st, VOZ_RC_WRITE, spill ? 272 : 269, a->fileName,
                          a->file->error);
        }
        return;
    }
    // VOZ_ANS_MEMORY
    if (static_cast<int64_t>(a->memEntries) + count >= a->capacity) {
        int64_t cap = grownCapacity(a->capacity, a->memEntries + count, 1024);
        if (cap >= kPageLimit ||
            !growPages(&a->pages, static_cast<int32_t>(cap))) {
            voz_setStatus(st, VOZ_RC_MEMORY, 270, nullptr, ENOMEM);
            return;
        }
        a->capacity = static_cast<int32_t>(cap);
    }
    copyIn(a, occs, count, a->memEntries);
    a->memEntries += count;
}

// Notes the first entry of documents 1, 17, 33, ... of a memory result.
void noteDocument(ANSWERFORM* a, int32_t firstEntry, GTRSTATUS* st) {
    if (a->docCount % 16 != 1) return;
    int32_t t = (a->docCount - 1) / 16;
    if (t >= a->tableCapacity) {
        int64_t cap = static_cast<int64_t>(a->tableCapacity) + kGrowStep;
        if (cap >= kTableLimit ||
            __PM_RESIZE(&a->docTable, static_cast<int32_t>(cap - 1), 4) != 0) {
            voz_setStatus(st, VOZ_RC_MEMORY, 284, nullptr, ENOMEM);
            return;
        }
        a->tableCapacity = static_cast<int32_t>(cap);
    }
    *static_cast<int32_t*>(voz_PMitem(a->docTable, t)) = firstEntry;
    a->tableUsed = t + 1;
}

}  // namespace

void voz_OpenAnswer(ANSWERFORM* a, const char* tempDir, int32_t limit,
                    GTRSEARCH_RES* res, const RANKPARM* rank,
                    const char* freqName, GTRSTATUS* st) {
    memset(a, 0, sizeof *a);
    a->pageSize = 4096;
    copyText(a->tempDir, tempDir);
    a->lastDoc = VOZ_DOC_END;
    a->limitReached = 'N';
    a->occLimit = limit > 0 ? limit : VOZ_ANS_OCC_LIMIT;
    a->docLimit = limit < 0 ? (limit == INT32_MIN ? INT32_MAX : -limit)
                            : VOZ_ANS_DOC_LIMIT;
    a->resForm = 1;
    if (res == nullptr) {
        if (hasText(tempDir)) {
            a->kind = VOZ_ANS_BUDGET;
            a->budget = 65536;
            a->firstCapacity = 2048;
        } else {
            a->kind = VOZ_ANS_MEMORY;
        }
    } else {
        a->resType = res->res_type;
        a->resForm = res->res_dataform;
        if (res->res_type == GTR_RES_NONE) {
            a->kind = VOZ_ANS_COUNT;
        } else if (rank != nullptr) {
            a->kind = VOZ_ANS_MEMORY;
        } else if (res->res_type == GTR_RES_FILE ||
                   res->res_type == GTR_RES_FILE_HEADER) {
            openResultFile(a, res, st);
            if (voz_Failed(st)) return;
        } else if (hasText(tempDir)) {
            a->kind = VOZ_ANS_BUDGET;
            int32_t bytes = res->res_handle_memory > 4096
                                ? res->res_handle_memory : 4096;
            a->budget = bytes / static_cast<int32_t>(sizeof(OCC));
            a->firstCapacity = a->budget < 2048 ? a->budget : 2048;
        } else {
            a->kind = VOZ_ANS_MEMORY;
        }
    }
    if (hasText(freqName)) {
        copyText(a->freqName, freqName);
        a->freqFile = voz_XXopenEx(a->freqName, "wb", 0);
        if (a->freqFile == nullptr)
            voz_setStatus(st, VOZ_RC_OPEN, 122, a->freqName, errno);
    } else if (rank != nullptr) {
        a->rankMembers[0] = -1;
    }
}

void voz_WriteOcc(OCC* occs, int32_t count, ANSWERFORM* a, GTRSTATUS* st) {
    if (count < 1) return;
    a->occCount += count;
    bool newDoc = occs[0].docno != a->lastDoc;
    if (newDoc) {
        ++a->docCount;
        a->lastDoc = occs[0].docno;
    }
    if (a->kind == VOZ_ANS_COUNT) return;
    for (int32_t i = 0; i < count; ++i) {
        if (occs[i].len == 0 && occs[i].pos == 1) occs[i].match = 0;
    }
    // The largest document bounds what one read of the result copies; a
    // document written in two calls (lists of a damaged index repeat one)
    // counts with all its occurrences.
    a->lastDocOccs = newDoc ? count : a->lastDocOccs + count;
    if (a->lastDocOccs > a->largestWrite) a->largestWrite = a->lastDocOccs;
    store(occs, count, a, newDoc, st);
    if (voz_Failed(st)) return;
    if (a->resType == GTR_RES_HANDLE && a->ranked == nullptr && newDoc)
        noteDocument(a, a->occCount - count, st);
    if (!a->outOfOrder) {
        int32_t mark = a->orderMark;
        for (int32_t i = 0; i < count; ++i) {
            if (occs[i].docno < mark) {
                a->outOfOrder = 1;
                break;
            }
            mark = occs[i].docno;
        }
    }
    a->orderMark = occs[count - 1].docno;
}

void voz_WriteAssignedOcc(OCC* occs, int32_t count, int32_t index,
                          ANSWERFORM* a, GTRSTATUS* st) {
    if (count < 1 || index < 0) return;
    if (occs[0].len == 0 && occs[0].pos == 1) occs[0].match = 0;
    if (count > a->largestWrite) a->largestWrite = count;
    int64_t needed = static_cast<int64_t>(index) + count;
    if (needed > a->capacity) {
        int64_t cap = grownCapacity(a->capacity, needed, 256);
        if (cap >= kPageLimit ||
            !growPages(&a->pages, static_cast<int32_t>(cap))) {
            voz_setStatus(st, VOZ_RC_MEMORY, 273, nullptr, ENOMEM);
            return;
        }
        a->capacity = static_cast<int32_t>(cap);
    }
    copyIn(a, occs, count, index);
    if (needed > a->memEntries) a->memEntries = static_cast<int32_t>(needed);
    a->outOfOrder = 1;
}

void voz_CloseAnswer(ANSWERFORM* a, GTRSTATUS* st) {
    if (a->file != nullptr && a->resType == GTR_RES_FILE_HEADER &&
        a->kind == VOZ_ANS_FILE) {
        uint8_t h[VOZ_RESFILE_HEADER];
        if (voz_XXseek64(a->file, 0, 0) != 0) {
            voz_setStatus(st, VOZ_RC_SEEK, 287, a->fileName, a->file->error);
        } else if (voz_XXread(h, sizeof h, 1, a->file) != 1) {
            voz_setStatus(st, VOZ_RC_WRITE, 280, a->fileName, a->file->error);
        } else {
            memcpy(h + 4, &a->docCount, 4);
            memcpy(h + 8, &a->occCount, 4);
            if (!a->outOfOrder) h[12] |= VOZ_RESFLAG_SORTED;
            if (voz_XXseek64(a->file, 0, 0) != 0)
                voz_setStatus(st, VOZ_RC_SEEK, 288, a->fileName,
                              a->file->error);
            else if (voz_XXwrite(h, sizeof h, 1, a->file) != 1)
                voz_setStatus(st, VOZ_RC_WRITE, 285, a->fileName,
                              a->file->error);
        }
    }
    if (a->file != nullptr) {
        voz_fclose(a->file, a->fileName, 278, st);
        a->file = nullptr;
    }
    if (a->freqFile != nullptr) {
        voz_fclose(a->freqFile, a->freqName, 124, st);
        a->freqFile = nullptr;
    }
}

void voz_ReleaseAnswer(ANSWERFORM* a) {
    if (a->file != nullptr) voz_XXclose(a->file);
    if (a->freqFile != nullptr) voz_XXclose(a->freqFile);
    a->file = a->freqFile = nullptr;
    if (a->fileName[0] != '\0') voz_XXremove(a->fileName);
    a->fileName[0] = '\0';
    voz_PMfree(&a->pages);
    voz_PMfree(&a->ranked);
    voz_PMfree(&a->docTable);
    free(a->readBuffer);
    a->readBuffer = nullptr;
    a->memEntries = a->capacity = 0;
}
