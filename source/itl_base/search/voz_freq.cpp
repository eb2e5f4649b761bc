// voz_freq.cpp -- the term-frequency output (see voz_freq.hpp).
#include "search/voz_freq.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_file.hpp"
#include "files/voz_status.hpp"
#include "postings/voz_posstore.hpp"

const char* pszFreqFile = "FREQUENCY_FILE";

namespace {

// Key slot of the document-list key, whose one position per document is
// the document's length.
constexpr int kDocSizeSlot = 38;
constexpr int32_t kEcNoMemory = 704;
constexpr int32_t kEcShortWrite = 706;
constexpr int32_t kEcSizeOrder = 999;

void putLE32(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}

void putFloatLE(uint8_t* at, float f) {
    uint32_t v;
    memcpy(&v, &f, sizeof v);
    putLE32(at, v);
}

// Exchange sort by term number: each sweep swaps neighbours in descending
// order; the next sweep runs from just before the first swap to just after
// the last one. Equal numbers are never swapped.
void sortByTermNo(int32_t* order, int32_t n, const _WCTLHEAD* words) {
    int32_t lo = 0, hi = n - 1;
    while (lo < hi) {
        int32_t first = -1, last = -1;
        for (int32_t i = lo; i < hi; ++i) {
            if (words[order[i]].term_no > words[order[i + 1]].term_no) {
                int32_t t = order[i];
                order[i] = order[i + 1];
                order[i + 1] = t;
                if (first < 0) first = i;
                last = i;
            }
        }
        if (first < 0) break;
        lo = first > 0 ? first - 1 : 0;
        hi = last + 1 < n - 1 ? last + 1 : n - 1;
    }
}

bool writeAll(const uint8_t* data, size_t length, FILE_CONTROL* file,
              GTRSTATUS* st) {
    errno = 0;
    if (voz_XXwrite(data, 1, length, file) == length) return true;
    voz_setStatus(st, VOZ_RC_WRITE, kEcShortWrite, pszFreqFile,
                  errno != 0 ? errno : EIO);
    return false;
}

}  // namespace

void voz_InitFreq(FREQCTL* fc, _WCTLHEAD* words, int32_t nword,
                  IDXINFO* index, GTRSTATUS* st) {
    memset(fc, 0, sizeof *fc);
    voz_InitPctl(&fc->size, &index->info.slots[kDocSizeSlot], 0, 'N', st);
    fc->sizeOpen = true;
    size_t n = static_cast<size_t>(nword > 0 ? nword : 1);
    fc->entries = static_cast<uint8_t*>(
        malloc(n * (VOZ_FREQ_ENTRY_SIZE + sizeof(int32_t))));
    if (fc->entries == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, kEcNoMemory, nullptr, ENOMEM);
        return;
    }
    fc->order = reinterpret_cast<int32_t*>(fc->entries + n * VOZ_FREQ_ENTRY_SIZE);
    for (int32_t i = 0; i < nword; ++i)
        if (words[i].term_no >= 0) fc->order[fc->nterms++] = i;
    sortByTermNo(fc->order, fc->nterms, words);
}

void voz_WriteFreq(FREQCTL* fc, _WCTLHEAD* words, int32_t /*nword*/,
                   IDXINFO* index, VVGDOCINFO* info, FILE_CONTROL* file,
                   GTRSTATUS* st) {
    if (fc->entries == nullptr) return;
    uint32_t count = 0;
    for (int32_t k = 0; k < fc->nterms; ++k) {
        const _WCTLHEAD& w = words[fc->order[k]];
        if (w.docCounters[0] == 0) continue;
        uint8_t* e = fc->entries + count * VOZ_FREQ_ENTRY_SIZE;
        putLE32(e, static_cast<uint32_t>(w.term_no));
        putFloatLE(e + 4, static_cast<float>(w.docCounters[0]));
        ++count;
    }
    if (count == 0) return;
    int32_t size = 0;
    if (info->fromWord == 0) {
        size = voz_GetDocSize(&fc->size, info, index, st);
        if (voz_Failed(st)) return;
        if (size < 0) size = 0;
    }
    uint8_t head[VOZ_FREQ_HEAD_SIZE] = {};
    putLE32(head, static_cast<uint32_t>(info->vvgId));
    putLE32(head + 4, static_cast<uint32_t>(size));
    putLE32(head + 16, count);
    if (writeAll(head, sizeof head, file, st))
        writeAll(fc->entries, count * VOZ_FREQ_ENTRY_SIZE, file, st);
}

void voz_TermFreq(FREQCTL* fc) {
    if (fc->sizeOpen) {
        GTRSTATUS dropped{};
        voz_TermPctl(&fc->size, &dropped);
        fc->sizeOpen = false;
    }
    free(fc->entries);
    fc->entries = nullptr;
    fc->order = nullptr;
    fc->nterms = 0;
}

int32_t voz_GetDocSize(PCTLHEAD* size, VVGDOCINFO* info, IDXINFO* index,
                       GTRSTATUS* st) {
    _FCTLHEAD* fs = &index->fctl;
    if (!voz_IndexHasVvgs(index) || size->keyKind == 'D') {
        // One position per document (or VVG id): its size. The reader
        // stands on the last document asked for (its size read: curPos
        // non-zero) or on the first listed one after it.
        if (info->vvgId <= size->curDoc && size->curPos != 0 &&
            size->endOfDocs != 'Y') {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, kEcSizeOrder);
            return -1;
        }
        if (size->endOfDocs == 'Y' || info->vvgId < size->curDoc) return -1;
        if (size->curDoc != info->vvgId) {
            voz_PointVvgSkip(fs, size, static_cast<uint32_t>(info->vvgId), st);
            if (voz_Failed(st) || size->endOfDocs == 'Y' || size->curDoc != info->vvgId)
                return -1;
        }
        voz_PointPosSkip(fs, size, 1, st);
        if (voz_Failed(st) || size->endOfPos == 'Y') return -1;
        return size->curPos;
    }
    // The key marks the ends of the VVG texts inside the document.
    if (size->curDoc != info->docNo) {
        if (size->curDoc > info->docNo && size->endOfDocs != 'Y') return -1;
        voz_PointVvgSkip(fs, size, static_cast<uint32_t>(info->docNo), st);
        if (voz_Failed(st) || size->endOfDocs == 'Y' || size->curDoc != info->docNo)
            return -1;
    }
    if (size->endOfPos == 'Y' || size->curPos < info->vvgStart) {
        voz_PointPosSkip(fs, size, info->vvgStart, st);
        if (voz_Failed(st) || size->endOfPos == 'Y') return -1;
    }
    if (size->curPos >= info->vvgEnd) return -1;
    return size->curPos - info->vvgStart;
}
