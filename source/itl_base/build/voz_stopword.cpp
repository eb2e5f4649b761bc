// voz_stopword.cpp -- stop-word classes: registration, lookup tables, the
// met-words set and the stop-word file (layout in voz_stopword.hpp).
//
// While a class registers, longWords is its registration list (copies with
// a NUL after the bytes) and registeredLengths the byte length of each, so
// that a word whose units hold a 0 byte keeps its length; countByUnits[0]
// counts the entries and longCount is the list's capacity. A class is
// built once its unitWidth is set.
#include "build/voz_stopword.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "build/voz_creatwrk.hpp"
#include "files/voz_bigendian.hpp"
#include "files/voz_file.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr uint32_t kRegisterStep = 32;
constexpr uint32_t kMetFirst = 256;
constexpr uint32_t kMetStepMax = 1024;
// Largest word a class file may claim, in bytes: far above any stop word,
// low enough that a damaged count cannot ask for a huge buffer.
constexpr uint64_t kMaxWordBytes = 1u << 16;

struct CloseFile {
    void operator()(FILE_CONTROL* f) const {
        if (f != nullptr) voz_XXclose(f);
    }
};
using FilePtr = std::unique_ptr<FILE_CONTROL, CloseFile>;

// Three-way order by length, then bytes.
int cmpLenBytes(const uint8_t* a, uint32_t la, const uint8_t* b, uint32_t lb) {
    if (la != lb) return la < lb ? -1 : 1;
    return memcmp(a, b, la);
}

void freeClass(VOZSTOPCLASS* c) {
    for (uint8_t*& t : c->tableByUnits) {
        free(t);
        t = nullptr;
    }
    uint32_t n = c->longCount;
    for (uint32_t i = 0; c->longWords != nullptr && i < n; ++i) free(c->longWords[i]);
    free(c->longWords);
    free(c->scratch);
    for (uint32_t i = 0; c->metWords != nullptr && i < c->metCount; ++i)
        free(c->metWords[i].word);
    free(c->metWords);
    free(c->metOrder);
    free(c->registeredLengths);
    memset(c, 0, sizeof *c);
}

VOZSTOPCLASS* classOf(CREATWRK* cwp, uint8_t cls) {
    if (cwp == nullptr || cwp->stopClasses == nullptr || cls >= cwp->stopClassCount)
        return nullptr;
    return &cwp->stopClasses[cls];
}

// Binary search over `count` packed words of `len` bytes.
bool inTable(const uint8_t* table, uint32_t count, uint32_t len, const uint8_t* w) {
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        int c = memcmp(table + static_cast<size_t>(mid) * len, w, len);
        if (c == 0) return true;
        if (c > 0) hi = mid; else lo = mid + 1;
    }
    return false;
}

bool inLongList(char* const* words, uint32_t count, uint32_t len, const uint8_t* w) {
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        const uint8_t* e = reinterpret_cast<const uint8_t*>(words[mid]);
        int c = cmpLenBytes(e, static_cast<uint32_t>(strlen(words[mid])), w, len);
        if (c == 0) return true;
        if (c > 0) hi = mid; else lo = mid + 1;
    }
    return false;
}

// Moves one group of equal-length words (byte length `len`, `n` of them,
// sorted) into the class's table of `units` units. 0 or -1 (11/2221).
int appendGroup(VOZSTOPCLASS* c, uint32_t units, uint32_t len, char** words,
                uint32_t n, GTRSTATUS* st) {
    uint32_t have = c->countByUnits[units - 1];
    void* p = realloc(c->tableByUnits[units - 1], static_cast<size_t>(have + n) * len);
    if (p == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2221, nullptr, ENOMEM);
        return -1;
    }
    c->tableByUnits[units - 1] = static_cast<uint8_t*>(p);
    for (uint32_t i = 0; i < n; ++i)
        memcpy(c->tableByUnits[units - 1] + static_cast<size_t>(have + i) * len, words[i], len);
    c->countByUnits[units - 1] = have + n;
    return 0;
}

// Orders the registration list (words and their lengths together).
void sortRegistration(char** words, uint32_t* lengths, uint32_t n) {
    std::unique_ptr<uint32_t[]> idx(new uint32_t[n]);
    for (uint32_t i = 0; i < n; ++i) idx[i] = i;
    std::sort(idx.get(), idx.get() + n, [&](uint32_t a, uint32_t b) {
        return cmpLenBytes(reinterpret_cast<uint8_t*>(words[a]), lengths[a],
                           reinterpret_cast<uint8_t*>(words[b]), lengths[b]) < 0;
    });
    std::unique_ptr<char*[]> w(new char*[n]);
    std::unique_ptr<uint32_t[]> l(new uint32_t[n]);
    for (uint32_t i = 0; i < n; ++i) {
        w[i] = words[idx[i]];
        l[i] = lengths[idx[i]];
    }
    std::copy(w.get(), w.get() + n, words);
    std::copy(l.get(), l.get() + n, lengths);
}

// Builds the tables of one class from its registration list.
int buildClass(VOZSTOPCLASS* c, uint16_t width, GTRSTATUS* st) {
    uint32_t n = c->countByUnits[0];
    char** words = c->longWords;
    uint32_t* lengths = c->registeredLengths;
    c->longWords = nullptr;
    c->registeredLengths = nullptr;
    c->countByUnits[0] = 0;
    c->longCount = 0;
    // A word that is not a whole number of units can never be met: drop it
    // rather than let it break the fixed-width tables. A long word is kept
    // and stored NUL-terminated: one holding a 0 byte could be neither
    // found nor stored, and its shorter string length would break the
    // order of the long list (hiding other words) and of the file (which
    // would no longer read).
    uint32_t kept = 0;
    for (uint32_t k = 0; k < n; ++k) {
        const bool isLong = lengths[k] > static_cast<uint32_t>(VOZ_STOP_SHORT_UNITS) * width;
        if (lengths[k] == 0 || lengths[k] % width != 0 ||
            (isLong && memchr(words[k], 0, lengths[k]) != nullptr)) {
            free(words[k]);
            continue;
        }
        words[kept] = words[k];
        lengths[kept++] = lengths[k];
    }
    n = kept;
    if (n > 0) sortRegistration(words, lengths, n);
    uint32_t i = 0;
    int rc = 0;
    uint32_t maxBytes = 0;
    while (rc == 0 && i < n) {
        uint32_t len = lengths[i], j = i;
        while (j < n && lengths[j] == len) ++j;
        uint32_t units = len / width;
        if (units > VOZ_STOP_SHORT_UNITS) break;
        rc = appendGroup(c, units, len, words + i, j - i, st);
        if (rc == 0) {
            for (uint32_t k = i; k < j; ++k) free(words[k]);
            c->maxUnits = units;
            maxBytes = len;
            i = j;
        }
    }
    if (rc == 0 && i < n) {
        c->longWords = static_cast<char**>(malloc(sizeof(char*) * (n - i)));
        if (c->longWords == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2222, nullptr, ENOMEM);
            rc = -1;
        } else {
            for (uint32_t k = i; k < n; ++k) c->longWords[c->longCount++] = words[k];
            maxBytes = lengths[n - 1];
            c->maxUnits = (maxBytes + width - 1) / width;
            i = n;
        }
    }
    for (uint32_t k = i; k < n; ++k) free(words[k]);  // left after a failure
    free(words);
    free(lengths);
    c->unitWidth = static_cast<int16_t>(width);
    if (rc == 0 && (c->scratch = static_cast<uint8_t*>(malloc(maxBytes + 1))) == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2223, nullptr, ENOMEM);
        rc = -1;
    }
    return rc;
}

}  // namespace

void vozSortString(char** words, long n) {
    if (words == nullptr || n < 2) return;
    std::sort(words, words + n, [](const char* a, const char* b) {
        return cmpLenBytes(reinterpret_cast<const uint8_t*>(a), static_cast<uint32_t>(strlen(a)),
                           reinterpret_cast<const uint8_t*>(b), static_cast<uint32_t>(strlen(b))) < 0;
    });
}

void vozFreeStopWords(CREATWRK* cwp) {
    if (cwp == nullptr || cwp->stopClasses == nullptr) return;
    for (uint8_t i = 0; i < cwp->stopClassCount; ++i) {
        VOZSTOPCLASS* c = &cwp->stopClasses[i];
        if (c->unitWidth == 0) {  // still registering: the list's own form
            for (uint32_t k = 0; c->longWords != nullptr && k < c->countByUnits[0]; ++k)
                free(c->longWords[k]);
            free(c->longWords);
            c->longWords = nullptr;
            c->longCount = 0;
        }
        freeClass(c);
    }
    free(cwp->stopClasses);
    cwp->stopClasses = nullptr;
    cwp->stopClassCount = 0;
}

int vozRegisterStopWordInit(CREATWRK* cwp, uint8_t classes, GTRSTATUS* st) {
    vozFreeStopWords(cwp);
    if (classes == 0) return 0;
    cwp->stopClasses = static_cast<VOZSTOPCLASS*>(calloc(classes, sizeof(VOZSTOPCLASS)));
    if (cwp->stopClasses == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2218, nullptr, ENOMEM);
        return -1;
    }
    cwp->stopClassCount = classes;
    return 0;
}

int vozRegisterStopWord(CREATWRK* cwp, uint8_t cls, const char* word,
                        uint32_t length, GTRSTATUS* st) {
    VOZSTOPCLASS* c = classOf(cwp, cls);
    if (c == nullptr || c->unitWidth != 0 || (word == nullptr && length > 0)) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2247);
        return -1;
    }
    uint32_t& n = c->countByUnits[0];
    uint32_t*& lengths = c->registeredLengths;
    for (uint32_t i = 0; i < n; ++i)
        if (lengths[i] == length && memcmp(c->longWords[i], word, length) == 0) return 0;
    if (n == c->longCount) {
        uint32_t cap = c->longCount + kRegisterStep;
        void* w = realloc(c->longWords, sizeof(char*) * cap);
        if (w != nullptr) c->longWords = static_cast<char**>(w);
        void* l = w == nullptr ? nullptr : realloc(lengths, sizeof(uint32_t) * cap);
        if (l == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2219, nullptr, ENOMEM);
            return -1;
        }
        lengths = static_cast<uint32_t*>(l);
        c->longCount = cap;
    }
    char* copy = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
    if (copy == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2220, nullptr, ENOMEM);
        return -1;
    }
    if (length > 0) memcpy(copy, word, length);
    copy[length] = '\0';
    c->longWords[n] = copy;
    lengths[n] = length;
    ++n;
    return 0;
}

int vozRegisterStopWordTerm(CREATWRK* cwp, uint16_t unitWidth, GTRSTATUS* st) {
    if (unitWidth == 0 || unitWidth > 4) {
        voz_setStatus(st, VOZ_RC_PARAMETER, 2247);
        return -1;
    }
    for (uint8_t i = 0; i < cwp->stopClassCount; ++i) {
        VOZSTOPCLASS* c = &cwp->stopClasses[i];
        if (c->unitWidth != 0) continue;  // built already
        if (buildClass(c, unitWidth, st) != 0) return -1;
    }
    cwp->stopListPending = 1;
    return 0;
}

int vozIsStopWord(CREATWRK* cwp, uint8_t cls, const void* word, uint32_t units,
                  VOZ_STOPNORM_FN normalize) {
    VOZSTOPCLASS* c = classOf(cwp, cls);
    if (c == nullptr || c->unitWidth <= 0 || units == 0 || units > c->maxUnits) return 0;
    uint32_t len = static_cast<uint32_t>(c->unitWidth) * units;
    const uint8_t* w = static_cast<const uint8_t*>(word);
    if (normalize != nullptr && c->scratch != nullptr) {
        memcpy(c->scratch, w, len);
        normalize(c->scratch, static_cast<int16_t>(len), c->unitWidth);
        w = c->scratch;
    }
    if (units <= VOZ_STOP_SHORT_UNITS)
        return inTable(c->tableByUnits[units - 1], c->countByUnits[units - 1], len, w) ? 1 : 0;
    return inLongList(c->longWords, c->longCount, len, w) ? 1 : 0;
}

int vozCheckStopWord(CREATWRK* cwp, uint8_t cls, const void* word, uint32_t units,
                     VOZ_STOPNORM_FN normalize, GTRSTATUS* st) {
    if (vozIsStopWord(cwp, cls, word, units, normalize) != 1) return 1;
    VOZSTOPCLASS* m = &cwp->stopClasses[0];
    uint32_t len = units * static_cast<uint32_t>(m->unitWidth);
    const uint8_t* w = static_cast<const uint8_t*>(word);
    uint32_t lo = 0, hi = m->metCount;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        const VOZMETWORD& e = m->metWords[m->metOrder[mid]];
        int c = cmpLenBytes(e.word, e.length, w, len);
        if (c == 0) return 4;
        if (c > 0) hi = mid; else lo = mid + 1;
    }
    if (m->metCount == m->metCapacity) {
        uint32_t cap = std::max(kMetFirst, std::min(m->metCapacity * 2, m->metCapacity + kMetStepMax));
        void* a = realloc(m->metWords, sizeof(VOZMETWORD) * cap);
        if (a == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2226, nullptr, ENOMEM);
            return 0;
        }
        m->metWords = static_cast<VOZMETWORD*>(a);
        void* b = realloc(m->metOrder, sizeof(uint32_t) * cap);
        if (b == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2227, nullptr, ENOMEM);
            return 0;
        }
        m->metOrder = static_cast<uint32_t*>(b);
        m->metCapacity = cap;
    }
    uint8_t* copy = static_cast<uint8_t*>(malloc(len));
    if (copy == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2228, nullptr, ENOMEM);
        return 0;
    }
    memcpy(copy, w, len);
    memmove(m->metOrder + lo + 1, m->metOrder + lo, sizeof(uint32_t) * (m->metCount - lo));
    m->metOrder[lo] = m->metCount;
    m->metWords[m->metCount++] = VOZMETWORD{copy, len};
    return 2;
}

// ---- the stop-word file ----------------------------------------------------

namespace {

uint32_t longBytes(const VOZSTOPCLASS& c) {
    uint64_t total = 0;
    for (uint32_t i = 0; i < c.longCount; ++i) total += strlen(c.longWords[i]) + 1;
    return static_cast<uint32_t>(total);
}

void encodeClass(const VOZSTOPCLASS& c, uint8_t* rec) {
    memset(rec, 0, VOZ_STOP_CLASS_SIZE);
    for (int n = 0; n < VOZ_STOP_SHORT_UNITS; ++n) voz_putBE32(rec + 4 * n, c.countByUnits[n]);
    voz_putBE32(rec + 40, c.longCount);
    voz_putBE32(rec + 44, c.maxUnits);
    voz_putBE32(rec + 48, longBytes(c));
    voz_putBE16(rec + 52, static_cast<uint16_t>(c.unitWidth));
}

bool put(FILE_CONTROL* f, const void* p, size_t n) {
    return n == 0 || voz_XXwrite(p, 1, n, f) == n;
}

// Writes the header, the class records and the words. 0 or -1.
int writeBody(CREATWRK* cwp, FILE_CONTROL* f, const char* path, GTRSTATUS* st) {
    uint8_t head[VOZ_STOP_HEADER_SIZE] = {};
    head[0] = cwp->stopClassCount;
    if (!put(f, head, sizeof head)) {
        voz_setStatus(st, VOZ_RC_WRITE, 2214, path, errno);
        return -1;
    }
    for (uint8_t i = 0; i < cwp->stopClassCount; ++i) {
        uint8_t rec[VOZ_STOP_CLASS_SIZE];
        encodeClass(cwp->stopClasses[i], rec);
        if (!put(f, rec, sizeof rec)) {
            voz_setStatus(st, VOZ_RC_WRITE, 2215, path, errno);
            return -1;
        }
    }
    for (uint8_t i = 0; i < cwp->stopClassCount; ++i) {
        const VOZSTOPCLASS& c = cwp->stopClasses[i];
        for (uint32_t n = 1; n <= VOZ_STOP_SHORT_UNITS; ++n) {
            size_t bytes = static_cast<size_t>(c.countByUnits[n - 1]) * n * static_cast<size_t>(c.unitWidth);
            if (!put(f, c.tableByUnits[n - 1], bytes)) {
                voz_setStatus(st, VOZ_RC_WRITE, 2216, path, errno);
                return -1;
            }
        }
        for (uint32_t k = 0; k < c.longCount; ++k) {
            if (!put(f, c.longWords[k], strlen(c.longWords[k]) + 1)) {
                voz_setStatus(st, VOZ_RC_WRITE, 2217, path, errno);
                return -1;
            }
        }
    }
    return voz_XXflush(f) == 0 ? 0 : (voz_setStatus(st, VOZ_RC_WRITE, 2217, path, errno), -1);
}

}  // namespace

int vozWriteStopWordFile(CREATWRK* cwp, GTRSTATUS* st) {
    if (cwp->stopClassCount == 0 || cwp->stopListPending == 0) return 0;
    char path[VOZ_FNAME_LEN];
    voz_IDXgetFname(path, cwp->targetSet, VOZ_FT_STOPWORD);
    FILE_CONTROL* f = voz_XXopenEx(path, "wb", 0);
    if (f == nullptr) {
        voz_setStatus(st, VOZ_RC_OPEN, 2213, path, errno);
        return -1;
    }
    int rc = writeBody(cwp, f, path, st);
    if (voz_XXclose(f) != 0 && rc == 0) {
        voz_setStatus(st, VOZ_RC_CLOSE, 2246, path, errno);
        rc = -1;
    }
    return rc;
}

namespace {

struct Reader {
    FILE_CONTROL* f;
    const char* path;
    uint64_t left;  // bytes of the file not yet read
    GTRSTATUS* st;

    // Reads n bytes; a file too short or failing read gives 4/`reason`.
    bool get(void* p, uint64_t n, int32_t reason) {
        if (n > left || (n > 0 && voz_XXread(p, 1, n, f) != n)) {
            voz_setStatus(st, VOZ_RC_READ, reason, path, errno);
            return false;
        }
        left -= n;
        return true;
    }
};

bool damaged(Reader& r) {
    voz_setStatus(r.st, VOZ_RC_INCONSISTENT, 2248, r.path);
    return false;
}

// Decodes and checks one class record; the long-word byte total goes to
// *longTotal.
bool readClassRecord(Reader& r, VOZSTOPCLASS* c, uint64_t* longTotal,
                     uint32_t* longCountOut) {
    uint8_t rec[VOZ_STOP_CLASS_SIZE];
    if (!r.get(rec, sizeof rec, 2205)) return false;
    for (int n = 0; n < VOZ_STOP_SHORT_UNITS; ++n) c->countByUnits[n] = voz_getBE32(rec + 4 * n);
    uint32_t longCount = voz_getBE32(rec + 40);
    c->maxUnits = voz_getBE32(rec + 44);
    *longTotal = voz_getBE32(rec + 48);
    c->unitWidth = static_cast<int16_t>(voz_getBE16(rec + 52));
    uint64_t words = 0;
    for (int n = 0; n < VOZ_STOP_SHORT_UNITS; ++n)
        words += static_cast<uint64_t>(c->countByUnits[n]) * (n + 1) * static_cast<uint64_t>(c->unitWidth);
    if (c->unitWidth < 1 || c->unitWidth > 4 ||
        static_cast<uint64_t>(c->maxUnits) * static_cast<uint64_t>(c->unitWidth) > kMaxWordBytes ||
        words + *longTotal > r.left || longCount > *longTotal)
        return damaged(r);
    c->longCount = 0;  // counted as the words are read
    c->scratch = static_cast<uint8_t*>(malloc(static_cast<size_t>(c->maxUnits) * c->unitWidth + 1));
    if (c->scratch == nullptr) {
        voz_setStatus(r.st, VOZ_RC_MEMORY, 2206, nullptr, ENOMEM);
        return false;
    }
    *longCountOut = longCount;
    return true;
}

// Reads the tables and long words of one class.
bool readClassWords(Reader& r, VOZSTOPCLASS* c, uint64_t longTotal,
                    uint32_t longCount) {
    for (uint32_t n = 1; n <= VOZ_STOP_SHORT_UNITS; ++n) {
        uint64_t bytes = static_cast<uint64_t>(c->countByUnits[n - 1]) * n * static_cast<uint64_t>(c->unitWidth);
        if (bytes == 0) continue;
        c->tableByUnits[n - 1] = static_cast<uint8_t*>(malloc(bytes));
        if (c->tableByUnits[n - 1] == nullptr) {
            voz_setStatus(r.st, VOZ_RC_MEMORY, 2207, nullptr, ENOMEM);
            return false;
        }
        if (!r.get(c->tableByUnits[n - 1], bytes, 2208)) return false;
    }
    c->longWords = static_cast<char**>(calloc(longCount + 1, sizeof(char*)));
    std::unique_ptr<char, decltype(&free)> all(static_cast<char*>(malloc(longTotal + 1)), &free);
    if (c->longWords == nullptr || all == nullptr) {
        voz_setStatus(r.st, VOZ_RC_MEMORY, all == nullptr ? 2210 : 2209, nullptr, ENOMEM);
        return false;
    }
    if (!r.get(all.get(), longTotal, 2211)) return false;
    for (uint64_t at = 0; at < longTotal;) {
        const char* end = static_cast<const char*>(memchr(all.get() + at, '\0', longTotal - at));
        if (end == nullptr || c->longCount == longCount) return damaged(r);
        size_t n = static_cast<size_t>(end - (all.get() + at)) + 1;
        char* w = static_cast<char*>(malloc(n));
        if (w == nullptr) {
            voz_setStatus(r.st, VOZ_RC_MEMORY, 2212, nullptr, ENOMEM);
            return false;
        }
        memcpy(w, all.get() + at, n);
        c->longWords[c->longCount++] = w;
        at += n;
    }
    return c->longCount == longCount || damaged(r);
}

}  // namespace

int vozReadStopWordFile(CREATWRK* cwp, GTRSTATUS* st) {
    char path[VOZ_FNAME_LEN];
    voz_IDXgetFname(path, cwp->targetSet, VOZ_FT_STOPWORD);
    struct stat sb;
    FilePtr f(voz_XXopenEx(path, "rb", 0));
    if (f == nullptr || stat(path, &sb) != 0) {
        voz_setStatus(st, VOZ_RC_OPEN, 2201, path, errno);
        return -1;
    }
    Reader r{f.get(), path, static_cast<uint64_t>(sb.st_size), st};
    uint8_t head[VOZ_STOP_HEADER_SIZE];
    if (!r.get(head, sizeof head, 2202)) return -1;
    vozFreeStopWords(cwp);
    uint8_t k = head[0];
    if (k > 0) {
        cwp->stopClasses = static_cast<VOZSTOPCLASS*>(calloc(k, sizeof(VOZSTOPCLASS)));
        if (cwp->stopClasses == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, 2203, nullptr, ENOMEM);
            return -1;
        }
        cwp->stopClassCount = k;
    }
    std::unique_ptr<uint64_t[]> totals(new (std::nothrow) uint64_t[k + 1]);
    std::unique_ptr<uint32_t[]> counts(new (std::nothrow) uint32_t[k + 1]);
    if (totals == nullptr || counts == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 2204, nullptr, ENOMEM);
        return -1;
    }
    bool ok = true;
    for (uint8_t i = 0; ok && i < k; ++i)
        ok = readClassRecord(r, &cwp->stopClasses[i], &totals[i], &counts[i]);
    for (uint8_t i = 0; ok && i < k; ++i)
        ok = readClassWords(r, &cwp->stopClasses[i], totals[i], counts[i]);
    cwp->stopListPending = 0;
    FILE_CONTROL* raw = f.release();
    if (voz_XXclose(raw) != 0 && ok) {
        voz_setStatus(st, VOZ_RC_CLOSE, 2245, path, errno);
        ok = false;
    }
    return ok ? 0 : -1;
}
