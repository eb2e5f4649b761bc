// voz_keyfile_search.cpp -- binary searches over the fixed keys of a key
// file and over its key-index table (see voz_keyfile.hpp).
//
// The fixed records are sorted by their 6 key bytes. A search narrows its
// range by reading single records while 2340 or more remain, then reads the
// rest in one run (at most 2339 x 28 bytes, inside a 64 KB work buffer) and
// bisects in memory. The answer when the key is absent is its insertion
// point, the first record whose key is greater, as std::lower_bound gives.
//
// The work buffer is kept per thread for the thread's life: taking 64 KB
// from the allocator and returning it on every search put a block of that
// size at the top of the heap, so that the frees of a search trimmed the
// heap and the next search faulted fresh pages in again.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr size_t kWorkBytes = 65536;
constexpr size_t kWorkRecords = kWorkBytes / sizeof(KEY_REC);
static_assert(kWorkRecords >= VOZ_BINSEARCH_RUN_RECORDS,
              "the work buffer holds the longest run");

// This thread's work buffer (null when memory runs out). A search never
// calls another search, so one buffer per thread serves every search.
KEY_REC* workBuffer() {
    thread_local std::unique_ptr<KEY_REC[]> buffer;
    if (!buffer) buffer.reset(new (std::nothrow) KEY_REC[kWorkRecords]);
    return buffer.get();
}

// Bytes of a fixed key that take part in the comparison (the head holds 6).
int cmpLength(const IDXINFO* info) {
    return info->keyCmpLen < VOZ_KEY_HEAD_BYTES ? info->keyCmpLen
                                                 : VOZ_KEY_HEAD_BYTES;
}

int unitLength(const IDXINFO* info) {
    int w = info->info.unitWidth;
    return w < VOZ_KEYIDX_UNIT_BYTES ? w : VOZ_KEYIDX_UNIT_BYTES;
}

// First entry whose unit is not smaller than the key's first unit; sets
// *equal when that entry's unit is the key's.
uint32_t entryLowerBound(const uint8_t* key, const IDXINFO* info, bool* equal) {
    uint32_t lo = 0, hi = info->info.keyIndexEntries;
    int w = unitLength(info);
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        if (memcmp(info->keyIndex[mid].unit, key, static_cast<size_t>(w)) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    *equal = lo < info->info.keyIndexEntries &&
             memcmp(info->keyIndex[lo].unit, key, static_cast<size_t>(w)) == 0;
    return lo;
}

// The record returned beyond the last fixed key.
void beyondLast(KEY_REC* out) {
    memset(out, 0, sizeof *out);
    memset(out->key, 0xFF, VOZ_KEY_HEAD_BYTES);
}

// Search range [*lo, *hi] of the fixed records, or a final insertion point
// in *done (>= 0) when the key-index table already answers.
void searchRange(int32_t mode, const uint8_t* key, const IDXINFO* info,
                 int64_t* lo, int64_t* hi, int64_t* done) {
    const KEYINFO_0& k = info->info;
    int64_t fixed = k.fixedKeys, dKind = k.dKindRecords;
    if (dKind > fixed) dKind = fixed;  // counts from disk: keep them sane
    *done = -1;
    if (mode == VOZ_BS_FIELD) {
        *lo = 0;
        *hi = dKind - 1;
        return;
    }
    *lo = dKind;
    *hi = fixed - 1;
    if (info->keyIndex == nullptr || k.keyIndexEntries == 0) return;
    bool equal = false;
    uint32_t e = entryLowerBound(key, info, &equal);
    if (!equal) {  // no key starts with this unit: the table answers
        *done = e < k.keyIndexEntries ? info->keyIndex[e].firstRecord : fixed;
        if (*done > fixed) *done = fixed;
        return;
    }
    int64_t first = info->keyIndex[e].firstRecord;
    int64_t last = e + 1 < k.keyIndexEntries ? info->keyIndex[e + 1].firstRecord
                                             : fixed - 1;
    *lo = first > dKind ? first : dKind;
    if (*lo > fixed) *lo = fixed;  // a damaged entry: past the last key
    *hi = last < fixed - 1 ? last : fixed - 1;
}

struct SearchState {
    _FCTLHEAD* fs;
    const uint8_t* key;
    int cmpLen;
    KEY_REC* work;        // 2340 records
    int64_t runFirst = 0; // record number of work[0] when a run was read
    int64_t runCount = 0;
};

// Narrows [*lo, *hi] by single reads while 2340 or more records remain.
// Returns 1 when found (the record in work[0], number in *lo), 0 when
// narrowed, -1 on a read failure.
int narrowByReads(SearchState& s, int64_t* lo, int64_t* hi, GTRSTATUS* st) {
    while (*hi - *lo + 1 >= VOZ_BINSEARCH_RUN_RECORDS) {
        int64_t mid = *lo + (*hi - *lo) / 2;
        if (voz_ReadKey(s.fs, s.work, static_cast<int32_t>(mid), st) != 0)
            return -1;
        int c = memcmp(s.key, s.work[0].key, static_cast<size_t>(s.cmpLen));
        if (c == 0) {
            *lo = mid;
            return 1;
        }
        if (c < 0)
            *hi = mid - 1;
        else
            *lo = mid + 1;
    }
    return 0;
}

// Reads [lo, hi] in one run and bisects it. Returns 1 found / 0 not found
// with the record number (or insertion point) in *pos; -1 on failure.
int bisectRun(SearchState& s, int64_t lo, int64_t hi, int64_t* pos,
              GTRSTATUS* st) {
    int64_t n = hi - lo + 1;
    *pos = lo;
    if (n <= 0) return 0;
    if (voz_ReadKeyMulti(s.fs, s.work, static_cast<int32_t>(lo),
                         static_cast<int32_t>(n), 0, st) != 0)
        return -1;
    s.runFirst = lo;
    s.runCount = n;
    int64_t a = 0, b = n;
    while (a < b && s.work[a].dataLength == 0) ++a;  // 0 in either order
    while (a < b) {
        int64_t mid = a + (b - a) / 2;
        if (memcmp(s.work[mid].key, s.key, static_cast<size_t>(s.cmpLen)) < 0)
            a = mid + 1;
        else
            b = mid;
    }
    *pos = lo + a;
    return a < n && memcmp(s.work[a].key, s.key,
                           static_cast<size_t>(s.cmpLen)) == 0;
}

// Fills *out with record `pos`: from the run when it lies there, else read.
int fetchRecord(SearchState& s, int64_t pos, int64_t fixed, KEY_REC* out,
                GTRSTATUS* st) {
    if (pos >= fixed) {
        beyondLast(out);
        return 0;
    }
    KEY_REC rec;
    if (pos >= s.runFirst && pos < s.runFirst + s.runCount) {
        rec = s.work[pos - s.runFirst];
        if (rec.kind != VOZ_KIND_CONT) {
            uint8_t raw[VOZ_KEYREC_SIZE];
            memcpy(raw, &rec, sizeof raw);
            voz_KeyRecDecode(raw, &rec);
        }
    } else {
        if (voz_ReadKey(s.fs, s.work, static_cast<int32_t>(pos), st) != 0)
            return -1;
        rec = s.work[0];
    }
    if (rec.dataLength == 0) memset(rec.key, 0, VOZ_KEY_HEAD_BYTES);
    *out = rec;
    return 0;
}

}  // namespace

int voz_BinSearchKey(int32_t mode, const uint8_t* key, IDXINFO* info,
                     KEY_REC* recordOut, int32_t* recordNumberOut,
                     GTRSTATUS* st) {
    int64_t fixed = info->info.fixedKeys;
    if (fixed == 0) {
        *recordNumberOut = -1;
        beyondLast(recordOut);
        return 1;
    }
    KEY_REC* work = workBuffer();
    if (work == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, 221, nullptr, ENOMEM);
        return -1;
    }
    SearchState s{&info->fctl, key, cmpLength(info), work};
    int64_t lo, hi, pos;
    int found = 0;
    searchRange(mode, key, info, &lo, &hi, &pos);
    if (pos < 0) {
        found = narrowByReads(s, &lo, &hi, st);
        if (found == 1)
            pos = lo;
        else if (found == 0)
            found = bisectRun(s, lo, hi, &pos, st);
    }
    int rc = found;
    if (found == 1 && s.runCount == 0) {  // found by a single read: work[0]
        *recordOut = work[0];
        if (recordOut->dataLength == 0)
            memset(recordOut->key, 0, VOZ_KEY_HEAD_BYTES);
        rc = 0;
    } else if (found == 1) {  // found in the run: never read again
        rc = fetchRecord(s, pos, fixed, recordOut, st);
    } else if (found == 0) {
        rc = fetchRecord(s, pos, fixed, recordOut, st) == 0 ? 1 : -1;
    }
    if (rc >= 0) *recordNumberOut = static_cast<int32_t>(pos);
    return rc;
}

int voz_BinSearchPatt(const uint8_t* key, IDXINFO* info, KEY_REC* recordOut,
                      int32_t* recordNumberOut, GTRSTATUS* st) {
    return voz_BinSearchKey(VOZ_BS_PATTERN, key, info, recordOut,
                            recordNumberOut, st);
}

int voz_BinSearchFldNumber(uint16_t field, uint8_t* keyBuffer, IDXINFO* info,
                           KEY_REC* recordOut, int32_t* recordNumberOut,
                           GTRSTATUS* st) {
    memset(keyBuffer, 0, VOZ_KEY_HEAD_BYTES);
    voz_FldNumber_Set(keyBuffer, field);
    return voz_BinSearchKey(VOZ_BS_FIELD, keyBuffer, info, recordOut,
                            recordNumberOut, st);
}

int voz_BinSearchKeyInfo2(const uint8_t* key, const IDXINFO* info,
                          int32_t* entryOut) {
    uint32_t n = info->keyIndex != nullptr ? info->info.keyIndexEntries : 0;
    if (n == 0) {
        *entryOut = 0;
        return -1;
    }
    bool equal = false;
    uint32_t e = entryLowerBound(key, info, &equal);
    *entryOut = static_cast<int32_t>(e < n ? e : n - 1);
    return equal ? 0 : -1;
}
