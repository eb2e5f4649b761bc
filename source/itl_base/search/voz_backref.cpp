// voz_backref.cpp -- back references: the records of an earlier search's
// result file, checked and put in order, as the hits of a word (see
// voz_wordctl.hpp for the file layout).
//
// The file is read forward once, in batches: a sorted file (header flag
// 0x80) batch by batch into a buffer of at most 4096 bytes, an unsorted one
// whole (the buffer grows) so that it can be sorted. `left` counts the
// records not yet read from the file, exactly, also when records outside
// the document range are skipped.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "files/voz_util.hpp"
#include "search/voz_qsort.hpp"
#include "search/voz_wordctl.hpp"

namespace {

constexpr int32_t kBufMax = 4096;
constexpr uint32_t kFlagSorted = 0x80;
constexpr uint32_t kFlagNumbers = 0x40;

struct BACKREFCTL {
    FILECTLHEAD file;
    uint8_t* buf;            // OCC records or 32-bit numbers
    int32_t bufBytes;
    int32_t recSize;         // 16 or 4
    int32_t cursor;          // next record in the buffer
    int32_t inBuffer;        // records left in the buffer
    int64_t left;            // records not yet read from the file
    uint8_t sorted;
    int32_t rangeLow, rangeHigh;
    OCC prev;                // last kept record (document -1 at start)
};

BACKREFCTL* ctlOf(_WCTLHEAD* w) { return static_cast<BACKREFCTL*>(w->priv); }

void endBackRef(_WCTLHEAD* w, GTRSTATUS* st) {
    BACKREFCTL* c = ctlOf(w);
    if (c != nullptr) {
        voz_FileCtl_Close(&c->file, c->recSize == 4 ? 819 : 815, st);
        free(c->buf);
        free(c);
    }
    w->priv = nullptr;
    voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
}

bool inRange(const BACKREFCTL* c, int32_t doc) {
    return doc >= c->rangeLow && doc <= c->rangeHigh;
}

// Makes room for one more record; an unsorted file grows the buffer.
// Returns 1 when there is room, 0 when a sorted batch is full, -1 failure.
int room(BACKREFCTL* c, int32_t n, GTRSTATUS* st) {
    if ((n + 1) * c->recSize <= c->bufBytes) return 1;
    if (c->sorted) return 0;
    int64_t grown = c->bufBytes + static_cast<int64_t>(c->recSize) * c->left;
    int64_t twice = 2 * static_cast<int64_t>(c->bufBytes);
    if (grown > twice) grown = twice;
    if (grown < (n + 1) * c->recSize) grown = (n + 1) * c->recSize;
    uint8_t* b = grown < INT32_MAX
        ? static_cast<uint8_t*>(realloc(c->buf, static_cast<size_t>(grown)))
        : nullptr;
    if (b == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, c->recSize == 4 ? 822 : 157, nullptr,
                      ENOMEM);
        return -1;
    }
    c->buf = b;
    c->bufBytes = static_cast<int32_t>(grown);
    return 1;
}

// Reads the next record of the file into *rec (a document number becomes
// the hit (number, 1, length 0, match 100)) and checks its values.
bool readRecord(BACKREFCTL* c, OCC* rec, GTRSTATUS* st) {
    *rec = OCC{};
    if (c->recSize == 4) {
        int32_t v;
        if (voz_FileCtl_Read(&c->file, -1, &v, 4, 816, st) < 0) return false;
        if (v < 0 || v == VOZ_DOC_END) {
            voz_setStatus(st, VOZ_RC_INCONSISTENT, 817);
            return false;
        }
        rec->docno = v;
        rec->pos = 1;
        rec->match = 100;
        return true;
    }
    if (voz_FileCtl_Read(&c->file, -1, rec, sizeof *rec, 813, st) < 0)
        return false;
    voz_CheckBackRef(rec, nullptr, st);
    return !voz_Failed(st);
}

// Reads the next batch: a sorted file up to a full buffer, an unsorted
// one whole, then sorted. False on a failure.
bool refill(BACKREFCTL* c, GTRSTATUS* st) {
    bool numbers = c->recSize == 4;
    int32_t n = 0;
    while (c->left > 0) {
        int r = room(c, n, st);
        if (r < 0) return false;
        if (r == 0) break;
        OCC rec;
        if (!readRecord(c, &rec, st)) return false;
        --c->left;
        if (!inRange(c, rec.docno)) continue;
        if (c->sorted && rec.docno < c->prev.docno) {
            if (numbers)
                voz_setStatus(st, VOZ_RC_INCONSISTENT, 818);
            else
                voz_setStatus(st, 107, 814);
            return false;
        }
        if (c->sorted && !numbers) {
            voz_CheckBackRef(&rec, &c->prev, st);
            if (voz_Failed(st)) return false;
        }
        if (numbers)
            memcpy(c->buf + 4 * n, &rec.docno, 4);
        else
            memcpy(c->buf + sizeof(OCC) * n, &rec, sizeof rec);
        ++n;
        c->prev = rec;
    }
    if (!c->sorted && numbers) voz_SortINT4(reinterpret_cast<int32_t*>(c->buf), n);
    if (!c->sorted && !numbers) voz_SortBackRef(reinterpret_cast<OCC*>(c->buf), n);
    c->cursor = 0;
    c->inBuffer = n;
    return true;
}

// Opens the file and reads its header; false on a failure. Sets
// c->left = 0 for a file without records.
bool openFile(BACKREFCTL* c, GTRSTATUS* st) {
    struct stat sb;
    int err = 0;
    if (stat(c->file.name, &sb) != 0)
        err = errno;
    else if (!S_ISREG(sb.st_mode))  // a FIFO would block, a directory is
        err = S_ISDIR(sb.st_mode) ? EISDIR : EINVAL;  // read as parts
    if (err != 0) {
        voz_setStatus(st, VOZ_RC_OPEN, 804, c->file.name, err);
        return false;
    }
    if (voz_FileCtl_Open(&c->file, "rb", 804, st) != 0) return false;
    int64_t size = voz_FileCtl_Read(&c->file, VOZ_FILECTL_END, nullptr, 0, 826, st);
    if (size < 0) return false;
    if (size == 0) return true;
    uint32_t first = 0;
    if (size >= 4 && voz_FileCtl_Read(&c->file, 0, &first, 4, 805, st) < 0)
        return false;
    int64_t area = size;
    c->recSize = static_cast<int32_t>(sizeof(OCC));
    if (size >= 4 && first == 0xFFFFFFFFu) {
        uint8_t rest[124];
        if (voz_FileCtl_Read(&c->file, -1, rest, sizeof rest, 806, st) < 0)
            return false;
        uint32_t flags;
        memcpy(&flags, rest + 8, 4);
        area = size - 128;
        c->sorted = (flags & kFlagSorted) != 0;
        if (flags & kFlagNumbers) c->recSize = 4;
        if (area % c->recSize != 0) {
            voz_setStatus(st, 107, c->recSize == 4 ? 808 : 809, c->file.name);
            return false;
        }
        if (voz_FileCtl_Read(&c->file, 128, nullptr, 0, 189, st) < 0) return false;
    } else {
        if (area % c->recSize != 0) {
            voz_setStatus(st, 107, 810, c->file.name);
            return false;
        }
        if (voz_FileCtl_Read(&c->file, 0, nullptr, 0, 821, st) < 0) return false;
    }
    c->left = area / c->recSize;
    if (c->left == 0) return true;
    c->bufBytes = static_cast<int32_t>(area < kBufMax ? area : kBufMax);
    c->buf = static_cast<uint8_t*>(malloc(static_cast<size_t>(c->bufBytes)));
    if (c->buf == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, c->recSize == 4 ? 811 : 812, nullptr,
                      ENOMEM);
        return false;
    }
    return true;
}

// The common next-hit step: the first buffered record at or after the
// target, refilling while the file has records.
void nextHit(_WCTLHEAD* w, int32_t doc, int32_t pos, GTRSTATUS* st) {
    BACKREFCTL* c = ctlOf(w);
    if (doc > VOZ_DOC_END - 1 || c == nullptr) return endBackRef(w, st);
    bool numbers = c->recSize == 4;
    for (;;) {
        while (c->inBuffer > 0) {
            OCC rec{};
            if (numbers) {
                memcpy(&rec.docno, c->buf + 4 * c->cursor, 4);
                rec.pos = 1;
                rec.match = 100;
            } else {
                memcpy(&rec, c->buf + sizeof(OCC) * c->cursor, sizeof rec);
            }
            ++c->cursor;
            --c->inBuffer;
            if (doc >= 0 && (rec.docno < doc || (rec.docno == doc && rec.pos < pos)))
                continue;
            w->cur = rec;
            return;
        }
        if (c->left <= 0) return endBackRef(w, st);
        if (!refill(c, st)) return endBackRef(w, st);
    }
}

}  // namespace

void voz_CheckBackRef(const OCC* rec, const OCC* prev, GTRSTATUS* st) {
    if (rec->docno < 0 || rec->docno > VOZ_DOC_END - 1 || rec->pos < 1 ||
        rec->pos > VOZ_POS_END)
        return voz_setStatus(st, 22, 153);
    if (prev != nullptr && rec->docno == prev->docno &&
        (rec->pos < prev->pos || (rec->pos == prev->pos && rec->len < prev->len)))
        voz_setStatus(st, 22, 154);
}

void voz_SortBackRef(OCC* records, int32_t count) {
    voz_QuickSort(records, count, [](const OCC& x, const OCC& y) {
        if (x.docno != y.docno) return x.docno < y.docno;
        if (x.pos != y.pos) return x.pos < y.pos;
        return x.len < y.len;
    });
}

void voz_GetBackRefInit(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* index,
                        ANSWERFORM* answer, GTRSTATUS* st) {
    w->nextArg1 = index;
    BACKREFCTL* c = static_cast<BACKREFCTL*>(calloc(1, sizeof(BACKREFCTL)));
    if (c == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 802, nullptr, ENOMEM);
        return voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
    }
    w->priv = c;
    int32_t len = word->wi.wordp != nullptr ? word->wi.wordlen : 0;
    if (len < 1 || static_cast<size_t>(len) >= sizeof c->file.name) {
        voz_setStatus(st, VOZ_RC_PATH_TOO_LONG, 1417);
        return endBackRef(w, st);
    }
    memcpy(c->file.name, word->wi.wordp, static_cast<size_t>(len));
    c->file.name[len] = '\0';
    c->rangeLow = 0;
    c->rangeHigh = VOZ_DOC_END - 1;
    if (answer != nullptr) {
        c->rangeLow = answer->rangeLow;
        c->rangeHigh = answer->rangeHigh;
    }
    c->prev.docno = -1;
    if (!openFile(c, st) || c->left == 0) return endBackRef(w, st);
    w->cur.docno = -1;
    w->endFlag = 'N';
    w->resumeDoc = -1;
    w->resumePos = 1;
    w->nextHit = c->recSize == 4 ? voz_GetBackRefDocID : voz_GetBackRef;
}

void voz_GetBackRef(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*,
                    int32_t doc, int32_t pos, GTRSTATUS* st) {
    nextHit(w, doc, pos, st);
}

void voz_GetBackRefDocID(_WCTLHEAD* w, IDXINFO*, IDXINFO*, ANSWERFORM*,
                         int32_t doc, int32_t pos, GTRSTATUS* st) {
    nextHit(w, doc, pos, st);
}
