// cnet_tmpstore.cpp -- the temporary store of a compilation: writing with
// a bounded run, the flush (sort the run, merge it with the sorted file into
// the other pair, swap the pairs), sorted and reading-order reads, and the
// removal of the files. The layout is in cnet_tmpstore.hpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cnet_def.hpp"
#include "cnet_tmpstore.hpp"

namespace {

constexpr uint32_t kIoBuffer = 65536;   // bytes buffered per file
constexpr uint32_t kRunRecordsStart = 4096;
constexpr uint32_t kRunTextStart = 65536;

// ---- one file --------------------------------------------------------------

// Writes the pending bytes.
bool ioSpill(TMPIO* f, CNETSTATUS* st) {
    if (f->used == 0) return true;
    if (cnetFileOpRefused("write", f->name) != 0) {
        cnetSetStatus(st, CNET_RC_WRITE, 800, f->name);
        return false;
    }
    uint32_t done = 0;
    while (done < f->used) {
        ssize_t n = write(f->fd, f->buf + done, f->used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            cnetSetStatus(st, CNET_RC_WRITE, 801, f->name);
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    f->used = 0;
    return true;
}

// Appends `n` bytes (n <= kIoBuffer).
bool ioPut(TMPIO* f, const void* p, uint32_t n, CNETSTATUS* st) {
    if (f->used + n > kIoBuffer && !ioSpill(f, st)) return false;
    std::memcpy(f->buf + f->used, p, n);
    f->used += n;
    f->pos += n;
    return true;
}

// Empties the file for writing.
bool ioReset(TMPIO* f, CNETSTATUS* st) {
    f->used = f->at = 0;
    f->pos = 0;
    if (cnetFileOpRefused("write", f->name) != 0 || ftruncate(f->fd, 0) != 0) {
        cnetSetStatus(st, CNET_RC_WRITE, 802, f->name);
        return false;
    }
    if (lseek(f->fd, 0, SEEK_SET) != 0) {
        cnetSetStatus(st, CNET_RC_SEEK, 803, f->name);
        return false;
    }
    return true;
}

// Writes what is pending and reads from the beginning.
bool ioRewindRead(TMPIO* f, CNETSTATUS* st) {
    if (!ioSpill(f, st)) return false;
    f->used = f->at = 0;
    f->pos = 0;
    if (lseek(f->fd, 0, SEEK_SET) != 0) {
        cnetSetStatus(st, CNET_RC_SEEK, 804, f->name);
        return false;
    }
    return true;
}

// Reads up to `n` bytes; *got < n only at the end of the file.
bool ioGet(TMPIO* f, uint8_t* p, uint32_t n, uint32_t* got, CNETSTATUS* st) {
    *got = 0;
    while (*got < n) {
        if (f->at == f->used) {
            ssize_t r = read(f->fd, f->buf, kIoBuffer);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                cnetSetStatus(st, CNET_RC_READ, 805, f->name);
                return false;
            }
            if (r == 0) break;
            f->used = static_cast<uint32_t>(r);
            f->at = 0;
        }
        const uint32_t k = std::min(n - *got, f->used - f->at);
        std::memcpy(p + *got, f->buf + f->at, k);
        f->at += k;
        *got += k;
    }
    f->pos += *got;
    return true;
}

// ---- records ---------------------------------------------------------------

void encode(uint8_t* b, const TMPREC& r) {
    std::memcpy(b, &r.number, 4);
    std::memcpy(b + 4, &r.offset, 4);
    std::memcpy(b + 8, &r.length, 4);
    b[12] = r.strength;
    b[13] = 0;
    b[14] = r.rel.category;
    b[15] = r.rel.id;
}

void decode(const uint8_t* b, TMPREC* r) {
    std::memcpy(&r->number, b, 4);
    std::memcpy(&r->offset, b + 4, 4);
    std::memcpy(&r->length, b + 8, 4);
    r->strength = b[12];
    r->rel.category = b[14];
    r->rel.id = b[15];
}

// Appends a record and its text to a pair (the offset is the pair's).
bool pairPut(TMPFILECTL* p, const TMPREC& r, const uint8_t* text, CNETSTATUS* st) {
    TMPREC w = r;
    w.offset = static_cast<uint32_t>(p->text.pos);
    uint8_t b[CNET_TMP_RECORD];
    encode(b, w);
    return ioPut(&p->rec, b, sizeof b, st) && ioPut(&p->text, text, r.length, st);
}

// Reads a pair's next record and its text into `text`.
bool pairGet(TMPFILECTL* p, TMPREC* r, uint8_t* text, bool* more, CNETSTATUS* st) {
    uint8_t b[CNET_TMP_RECORD];
    uint32_t got = 0;
    *more = false;
    if (!ioGet(&p->rec, b, sizeof b, &got, st)) return false;
    if (got == 0) return true;
    if (got != sizeof b) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 806, p->rec.name);
        return false;
    }
    decode(b, r);
    if (r->offset != p->text.pos || r->length == 0 || r->length > CNET_TMP_WORD_MAX) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 807, p->rec.name);
        return false;
    }
    if (!ioGet(&p->text, text, r->length, &got, st)) return false;
    if (got != r->length) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 808, p->text.name);
        return false;
    }
    *more = true;
    return true;
}

// By word, then record number.
bool recLess(const TMPREC& a, const uint8_t* at, const TMPREC& b, const uint8_t* bt) {
    const int c = cnetWordCmp(at, a.length, bt, b.length);
    return c != 0 ? c < 0 : a.number < b.number;
}

void sortRun(TMPCTL* t) {
    const uint8_t* text = t->runText;
    std::sort(t->run, t->run + t->runCount, [text](const TMPREC& a, const TMPREC& b) {
        return recLess(a, text + a.offset, b, text + b.offset);
    });
}

// Sorts the run and merges it with the sorted file into the other pair,
// which becomes the sorted file; the run is empty afterwards.
bool flushRun(TMPCTL* t, CNETSTATUS* st) {
    sortRun(t);
    TMPFILECTL* in = &t->pair[t->sorted];
    TMPFILECTL* out = &t->pair[1 - t->sorted];
    if (!ioRewindRead(&in->rec, st) || !ioRewindRead(&in->text, st) ||
        !ioReset(&out->rec, st) || !ioReset(&out->text, st))
        return false;
    TMPREC fr;
    bool have = false;
    if (!pairGet(in, &fr, t->fileText, &have, st)) return false;
    uint32_t i = 0;
    while (i < t->runCount || have) {
        if (i < t->runCount &&
            (!have || recLess(t->run[i], t->runText + t->run[i].offset, fr, t->fileText))) {
            if (!pairPut(out, t->run[i], t->runText + t->run[i].offset, st)) return false;
            ++i;
        } else {
            if (!pairPut(out, fr, t->fileText, st) || !pairGet(in, &fr, t->fileText, &have, st))
                return false;
        }
    }
    if (!ioSpill(&out->rec, st) || !ioSpill(&out->text, st)) return false;
    t->sorted = 1 - t->sorted;
    t->runCount = 0;
    t->textUsed = 0;
    return true;
}

template <class T>
bool grow(T** p, uint32_t* cap, uint32_t capMax, uint32_t need, CNETSTATUS* st) {
    uint32_t c = *cap;
    while (c < need && c < capMax) c = c > capMax / 2 ? capMax : c * 2;
    if (c < need) return false;
    T* n = static_cast<T*>(std::realloc(*p, static_cast<size_t>(c) * sizeof(T)));
    if (n == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 809);
        return false;
    }
    *p = n;
    *cap = c;
    return true;
}

}  // namespace

void cnetTmpName(char* out, const CNETDIRS* dirs, const char* name, int pair, int file) {
    std::snprintf(out, CNET_PATH_MAX, "%s/%s.$%d%d", dirs->first, name, pair, file);
}

bool cnetTmpOpen(TMPCTL* t, const CNETDIRS* dirs, const char* name, uint32_t runRecords,
                 uint32_t runText, CNETSTATUS* st) {
    std::memset(t, 0, sizeof *t);
    for (TMPFILECTL& p : t->pair) p.rec.fd = p.text.fd = -1;
    t->mode = 'W';
    t->runCapMax = std::max<uint32_t>(runRecords, 1);
    t->textCapMax = std::max(runText, CNET_TMP_RUN_TEXT_MIN);
    t->runCap = std::min(kRunRecordsStart, t->runCapMax);
    t->textCap = std::min(kRunTextStart, t->textCapMax);
    t->run = static_cast<TMPREC*>(std::malloc(t->runCap * sizeof(TMPREC)));
    t->runText = static_cast<uint8_t*>(std::malloc(t->textCap));
    if (t->run == nullptr || t->runText == nullptr) {
        cnetSetStatus(st, CNET_RC_MEMORY, 810);
        return false;
    }
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < 2; ++j) {
            TMPIO* f = j == 0 ? &t->pair[k].rec : &t->pair[k].text;
            cnetTmpName(f->name, dirs, name, k, j);
            f->buf = static_cast<uint8_t*>(std::malloc(kIoBuffer));
            if (f->buf == nullptr) {
                cnetSetStatus(st, CNET_RC_MEMORY, 811);
                return false;
            }
            if (cnetFileOpRefused("write", f->name) != 0) {
                cnetSetStatus(st, CNET_RC_OPEN, 812, f->name);
                return false;
            }
            f->fd = open(f->name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (f->fd < 0) {
                cnetSetStatus(st, CNET_RC_OPEN, 813, f->name);
                return false;
            }
        }
    }
    return true;
}

bool cnetTmpWrite(TMPCTL* t, const uint8_t* text, uint32_t length, uint8_t strength,
                  CNETREL rel, CNETSTATUS* st) {
    if (t->mode != 'W' || length == 0 || length > CNET_TMP_WORD_MAX) {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 820);
        return false;
    }
    if (t->runCount == t->runCap &&
        !grow(&t->run, &t->runCap, t->runCapMax, t->runCount + 1, st)) {
        if (cnetFailed(st) || !flushRun(t, st)) return false;
    }
    if (t->textUsed + length > t->textCap &&
        !grow(&t->runText, &t->textCap, t->textCapMax, t->textUsed + length, st)) {
        if (cnetFailed(st) || !flushRun(t, st)) return false;
    }
    TMPREC r;
    r.number = t->total;
    r.offset = t->textUsed;
    r.length = length;
    r.strength = strength;
    r.rel = rel;
    std::memcpy(t->runText + t->textUsed, text, length);
    t->textUsed += length;
    t->run[t->runCount++] = r;
    if (!pairPut(&t->pair[2], r, text, st)) return false;
    ++t->total;
    return true;
}

bool cnetTmpRewind(TMPCTL* t, char mode, CNETSTATUS* st) {
    if (t->mode == 'W' && !ioSpill(&t->pair[2].rec, st)) return false;
    if (t->mode == 'W' && !ioSpill(&t->pair[2].text, st)) return false;
    if (mode == 'S') {
        if (t->mode == 'W') sortRun(t);
        TMPFILECTL* in = &t->pair[t->sorted];
        t->readPos = 0;
        t->mode = 'S';
        return ioRewindRead(&in->rec, st) && ioRewindRead(&in->text, st) &&
               pairGet(in, &t->fileRec, t->fileText, &t->haveFile, st);
    }
    if (mode == 'R') {
        t->mode = 'R';
        return ioRewindRead(&t->pair[2].rec, st) && ioRewindRead(&t->pair[2].text, st);
    }
    cnetSetStatus(st, CNET_RC_UNEXPECTED, 821);
    return false;
}

bool cnetTmpRead(TMPCTL* t, TMPREC* rec, const uint8_t** text, bool* more,
                 CNETSTATUS* st) {
    *more = false;
    if (t->mode == 'R') {
        *text = t->outText;
        return pairGet(&t->pair[2], rec, t->outText, more, st);
    }
    if (t->mode != 'S') {
        cnetSetStatus(st, CNET_RC_UNEXPECTED, 822);
        return false;
    }
    const bool runLeft = t->readPos < t->runCount;
    if (!runLeft && !t->haveFile) return true;
    *more = true;
    if (runLeft) {
        const TMPREC& r = t->run[t->readPos];
        if (!t->haveFile || recLess(r, t->runText + r.offset, t->fileRec, t->fileText)) {
            *rec = r;
            *text = t->runText + r.offset;
            ++t->readPos;
            return true;
        }
    }
    *rec = t->fileRec;
    std::memcpy(t->outText, t->fileText, t->fileRec.length);
    *text = t->outText;
    return pairGet(&t->pair[t->sorted], &t->fileRec, t->fileText, &t->haveFile, st);
}

void cnetTmpClose(TMPCTL* t) {
    for (TMPFILECTL& p : t->pair) {
        for (TMPIO* f : {&p.rec, &p.text}) {
            if (f->fd >= 0) close(f->fd);
            f->fd = -1;
            std::free(f->buf);
            f->buf = nullptr;
        }
    }
    std::free(t->run);
    std::free(t->runText);
    t->run = nullptr;
    t->runText = nullptr;
    t->runCount = t->textUsed = 0;
    t->mode = 0;
}

bool cnetTmpDelete(const CNETDIRS* dirs, const char* name, CNETSTATUS* st) {
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < 2; ++j) {
            char path[CNET_PATH_MAX];
            cnetTmpName(path, dirs, name, k, j);
            struct stat sb;
            if (lstat(path, &sb) != 0) continue;
            if (cnetFileOpRefused("delete", path) != 0 ||
                (unlink(path) != 0 && errno != ENOENT)) {
                cnetSetStatus(st, CNET_RC_DELETE, 830, path);
                ok = false;
            }
        }
    }
    return ok;
}
