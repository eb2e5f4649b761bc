// voz_keyiter.cpp -- the key iterator's walk, key search, key text, raw
// pattern and item value (voz_keyiter.hpp). The document and hit counts
// and the basic key information are in voz_keyiter_count.cpp.
//
// The iterator always holds the whole current key: the head record in
// records[0] and, for a variable key, its continuations after it, as
// voz_ReadKey brings them. Header slots (negative record numbers) are
// served from the half's basic information record in memory.
#include "build/voz_keyiter.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "build/voz_callseam.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyfile_codec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

constexpr uint8_t kCodeUtf8 = 34;
constexpr uint8_t kCodeUtf8Var = 37;
constexpr uint8_t kMarkLower = 2;       // class mark of a lower-case letter
constexpr uint8_t kMarkItemStart = 10;  // start-mark unit of a character item
constexpr uint8_t kMarkItemEnd = 11;    // end-mark unit
constexpr uint8_t kNumericItem = 31;    // second byte of a numeric item key
// Longest pattern of one key: the head bytes and 254 continuations.
constexpr int32_t kPatternMax =
    VOZ_KEY_HEAD_BYTES + VOZ_KEY_CONT_BYTES * (VOZ_KEYITER_RECORDS - 1);

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
using Buffer = std::unique_ptr<uint8_t, FreeDeleter>;

// tolower of the C locale, whatever locale the process has set.
uint8_t lowerC(uint8_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c - 'A' + 'a') : c;
}

bool isUtf8(uint8_t code) { return code == kCodeUtf8 || code == kCodeUtf8Var; }

// Records of the key whose head is `head`: a variable key's record count,
// else 1 (a damaged count of 0 counts as 1, so that a walk moves on).
int32_t recordsOf(const KEY_REC& head) {
    if (head.kind == VOZ_KIND_VAR && head.recCount > 1) return head.recCount;
    return 1;
}

// Reads record `r` as the current key and moves `nextRec` behind it.
void readAt(KEYITERATOR* it, int32_t r, GTRSTATUS* st) {
    it->curRec = r;
    if (r < 0) {
        it->records[0] = it->half->info.slots[r - VOZ_KEYITER_FIRST];
    } else if (voz_ReadKey(&it->half->fctl, it->records, r, st) != 0) {
        return;
    }
    it->nextRec = r + recordsOf(it->records[0]);
}

// Unit width of the keys at record `r`: regular keys come first, then the
// X part (compared unsigned, so header slots count as X part).
int16_t keyWidthAt(const KEYINFO_0& k, int32_t r) {
    if (static_cast<uint32_t>(r) < k.fixedRecords)
        return static_cast<int16_t>(k.unitWidth);
    return static_cast<int16_t>(k.xIndexUnitWidth);
}

// Bytes of the current key's continuation chunk i (1 .. n-1) given the
// key's total length; the total is clamped to what its records can hold.
int32_t chunkLength(const KEY_CONT& first, int32_t records, int32_t i) {
    int32_t total = first.keyLength;
    int32_t most = VOZ_KEY_HEAD_BYTES + VOZ_KEY_CONT_BYTES * (records - 1);
    if (total > most) total = most;
    int32_t left = total - VOZ_KEY_HEAD_BYTES - VOZ_KEY_CONT_BYTES * (i - 1);
    if (left < 0) return 0;
    return left < VOZ_KEY_CONT_BYTES ? left : VOZ_KEY_CONT_BYTES;
}

// The current key's pattern into `out` (kPatternMax bytes); a key of one
// record is cut after its last unit of `width` bytes when `trim` is set.
int32_t patternOf(const KEYITERATOR* it, uint8_t* out, bool trim,
                  int16_t width) {
    const KEY_REC& head = it->records[0];
    memcpy(out, head.key, VOZ_KEY_HEAD_BYTES);
    int32_t n = recordsOf(head);
    if (n == 1)
        return trim ? voz_KeyLength1(head.key, width) : VOZ_KEY_HEAD_BYTES;
    int32_t len = VOZ_KEY_HEAD_BYTES;
    KEY_CONT first = voz_KeyRecToCont(it->records[1]);
    for (int32_t i = 1; i < n; ++i) {
        KEY_CONT c = voz_KeyRecToCont(it->records[i]);
        int32_t part = chunkLength(first, n, i);
        memcpy(out + len, c.key, static_cast<size_t>(part));
        len += part;
    }
    return len;
}

// memcmp over the shorter length; equal bytes: the shorter is smaller.
int comparePattern(const uint8_t* a, int32_t aLen, const uint8_t* b,
                   int32_t bLen) {
    int c = memcmp(a, b, static_cast<size_t>(aLen < bLen ? aLen : bLen));
    if (c != 0) return c;
    return aLen < bLen ? -1 : (aLen > bLen ? 1 : 0);
}

// Lower bound of `word` among the keys whose heads lie in [low, high):
// the first key not smaller than the word, or `high` when all are. Every
// probe lands on a head (VOZ_JumpToKey), so the search never splits a key.
int32_t lowerBound(KEYITERATOR* it, const uint8_t* word, int32_t wordLen,
                   int16_t width, int32_t low, int32_t high, GTRSTATUS* st) {
    std::unique_ptr<uint8_t[]> pattern(new uint8_t[kPatternMax]);
    while (low < high) {
        int32_t mid = low + (high - low) / 2;
        int32_t at = VOZ_JumpToKey(it, mid, st);
        if (voz_Failed(st)) return at;
        if (at < low) at = low;  // a head below the range: its start
        int32_t keyLen = patternOf(it, pattern.get(), true, width);
        int c = comparePattern(word, wordLen, pattern.get(), keyLen);
        if (c == 0) return at;
        if (c > 0) {
            int32_t next = at + recordsOf(it->records[0]);
            low = next > low ? next : low + 1;
        } else {
            high = at;
        }
    }
    return low;
}

}  // namespace

void VOZ_InitKeyIterator(KEYITERATOR** it, KEYITERATOR** second,
                         VOZSEARCH* owner, GTRCREATEPARM cparm,
                         int32_t subIndex, int32_t first, int32_t last) {
    IDXINFO* sets[4] = {};
    vozSearchHandleSets(owner, subIndex, sets);
    KEYITERATOR** outs[2] = {it, second};
    for (int k = 0; k < 2; ++k) {
        if (outs[k] == nullptr) continue;
        *outs[k] = nullptr;
        if (sets[k] == nullptr) continue;
        auto* p = static_cast<KEYITERATOR*>(calloc(1, sizeof(KEYITERATOR)));
        if (p == nullptr) continue;
        const KEYINFO_0& info = sets[k]->info;
        p->owner = owner;
        p->cparm = cparm;
        p->half = sets[k];
        p->code = info.codeInfo[0];
        p->normOption = info.codeInfo[1];
        p->cpInfo.callerCodePage = p->code;
        p->cpInfo.code = p->code;
        vozCHsetCPInfo(&p->cpInfo);
        p->cut = Func_CutIntoPart[info.codeInfo[3] == 1 ? 1 : 0];
        p->unitWidth = vozCHlen(p->cpInfo);
        p->firstRec = first;
        p->nextRec = first;
        p->curRec = first - 1;
        int64_t keys = static_cast<int64_t>(info.fixedRecords) +
                       static_cast<int64_t>(info.varRecords) - 1;
        p->lastRec = keys < last ? static_cast<int32_t>(keys) : last;
        p->rec = p->records;
        *outs[k] = p;
    }
    if (it != nullptr && second != nullptr && *it != nullptr &&
        *second != nullptr) {
        (*it)->sibling = *second;
        (*second)->sibling = *it;
    }
}

void VOZ_TermKeyIterator(KEYITERATOR* it, VOZSEARCH** owner) {
    if (it == nullptr) return;
    VOZSEARCH* handle = it->owner;
    if (it->sibling != nullptr) {
        it->sibling->sibling = nullptr;
        handle = nullptr;  // still read through by the other iterator
    }
    if (owner != nullptr) *owner = handle;
    free(it);
}

bool VOZ_HasMoreKeys(const KEYITERATOR* it) {
    return it->nextRec <= it->lastRec;
}

int32_t VOZ_GetNextKey(KEYITERATOR* it, GTRSTATUS* st) {
    if (it->nextRec > it->lastRec) return it->curRec;
    readAt(it, it->nextRec, st);
    return it->curRec;
}

int32_t VOZ_JumpToKey(KEYITERATOR* it, int32_t target, GTRSTATUS* st) {
    if (it->lastRec < it->firstRec) return it->curRec;  // nothing to stand on
    if (target >= it->lastRec) target = it->lastRec;
    if (target < it->firstRec) target = it->firstRec;
    for (;;) {
        readAt(it, target, st);
        if (voz_Failed(st) || it->records[0].kind != VOZ_KIND_CONT ||
            target <= VOZ_KEYITER_FIRST)
            break;
        --target;
    }
    return it->curRec;
}

int32_t VOZ_SearchKeyString(KEYITERATOR* it, const uint8_t* word,
                            int32_t length, GTRSTATUS* st) {
    const KEYINFO_0& k = it->half->info;
    if (word == nullptr || length <= 0) return it->curRec;
    const int64_t wanted = static_cast<int64_t>(it->unitWidth) * length + 1;
    const int32_t size = wanted > INT32_MAX ? 0 : static_cast<int32_t>(wanted);
    Buffer buf(size > 0 ? static_cast<uint8_t*>(malloc(static_cast<size_t>(size)))
                        : nullptr);
    if (!buf) {
        voz_setStatus(st, VOZ_RC_MEMORY, 1693);
        return it->curRec;
    }
    GTRSTATUS local{};
    int32_t n = 0;
    vozNormalizeWord(it->code, word, length, buf.get(), size, &n,
                     it->normOption, &it->cparm, &local);
    if (voz_Failed(&local)) {
        if (!voz_Failed(st)) *st = local;
        return it->curRec;
    }
    uint8_t* partStart = nullptr;
    uint8_t* partEnd = nullptr;
    uint8_t* next = nullptr;
    int32_t xPart = it->cut(buf.get(), buf.get() + n, it->unitWidth,
                            &partStart, &partEnd, &next);
    if (partStart == nullptr || partEnd <= partStart) return it->curRec;
    int32_t partLen = static_cast<int32_t>(partEnd - partStart);
    if (k.codeInfo[2] & 1)
        vozCHcaseInsensAlpha(partStart, partLen,
                             static_cast<int16_t>(k.unitWidth));
    int16_t width = static_cast<int16_t>(k.unitWidth);
    int32_t low = static_cast<int32_t>(k.dKindRecords);
    int32_t high = static_cast<int32_t>(k.fixedRecords);
    if (xPart == 1) {
        // X-part keys are stored in their own (2-byte) unit width.
        if (k.xIndexUnitWidth != k.unitWidth && k.unitWidth == 3) {
            partLen = voz_RepackUnits3to2(partStart, partLen);
            width = static_cast<int16_t>(k.xIndexUnitWidth);
        }
        low = static_cast<int32_t>(k.fixedRecords);
        high = static_cast<int32_t>(k.fixedRecords + k.varRecords);
    }
    int32_t at = lowerBound(it, partStart, partLen, width, low, high, st);
    if (voz_Failed(st)) return it->curRec;
    if (at != it->curRec) VOZ_JumpToKey(it, at, st);
    return it->curRec;
}

int32_t voz_RepackUnits3to2(uint8_t* units, int32_t length) {
    int32_t n = length / 3;
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t* u = units + 3 * i;
        uint8_t b0 = u[0];
        uint8_t b1 = static_cast<uint8_t>((u[1] & 63) + (u[2] % 6) * 64);
        units[2 * i] = b0;
        units[2 * i + 1] = b1;
    }
    return 2 * n;
}

void voz_unpack_utf8(const uint8_t* in, int32_t inLen, uint8_t* out,
                     int32_t outSize, int32_t* outLen) {
    int32_t o = 0;
    for (int32_t i = 0; i + 2 <= inLen; i += 2) {
        if (outSize - o < 4) break;
        uint8_t b0 = in[i];
        uint8_t b1 = in[i + 1];
        if (b0 == 0) break;
        uint8_t low = b1 & 63;
        uint8_t top = b1 >> 6;
        uint8_t second = low;
        uint8_t mark;
        if (b0 == 0x20 || b0 == 0x21) {
            if (low == 0x20) {
                mark = 5;
            } else if (low >= '0' && low <= '9') {
                mark = 6;
            } else if (top != 0) {
                if (low < 0x21) second = static_cast<uint8_t>(low | 0x40);
                mark = top;
            } else {
                mark = 4;
            }
        } else {
            second = static_cast<uint8_t>(low | 0x80);
            if (top != 0)
                mark = top;
            else
                mark = (b0 == 0xBA || b0 == 0xBB) ? 0 : 4;
        }
        out[o++] = b0;
        out[o++] = second;
        out[o++] = mark;
    }
    *outLen = o;
}

void voz_externalize(const uint8_t* bytes, int32_t length, uint8_t code,
                     int16_t keyWidth, int16_t unitWidth, uint8_t* out,
                     int32_t outSize, int32_t* outLen, GTRSTATUS* st) {
    *outLen = 0;
    const uint8_t* units = bytes;
    int32_t unitLen = length;
    Buffer wide;
    if (keyWidth != unitWidth) {
        if (!isUtf8(code)) {
            voz_setStatus(st, 108, 1690);
            return;
        }
        int32_t size = unitWidth * length / (keyWidth > 0 ? keyWidth : 1) + 1;
        wide.reset(static_cast<uint8_t*>(malloc(static_cast<size_t>(size))));
        if (!wide) {
            voz_setStatus(st, VOZ_RC_MEMORY, 1691);
            return;
        }
        voz_unpack_utf8(bytes, length, wide.get(), size, &unitLen);
        units = wide.get();
    }
    GTRSTATUS local{};
    int32_t written = 0;
    GTRunnormalizeWord(code, units, unitLen, out, outSize, &written, 1, &local);
    if (voz_Failed(&local)) {
        if (!voz_Failed(st)) *st = local;
        return;
    }
    *outLen = written;
    // Case: the unnormalizer writes letters as stored; one unit per
    // character, a single-byte letter whose unit says lower case is lowered.
    const uint8_t* t = out;
    const uint8_t* end = out + written;
    const uint8_t* u = units;
    const uint8_t* uEnd = units + unitLen;
    while (t < end && u + unitWidth <= uEnd) {
        const uint8_t* nextChar = end;
        uint8_t state = 0;
        char cls = vozCHpointNextChar(code, t, &nextChar, end, nullptr, 0,
                                      nullptr, &state);
        if (nextChar - t == 1 && cls == VOZ_CLASS_LETTER &&
            u[unitWidth - 1] == kMarkLower)
            out[t - out] = lowerC(*t);
        if (nextChar <= t) break;
        t = nextChar;
        u += unitWidth;
    }
}

void VOZ_GetKeyString(KEYITERATOR* it, uint8_t* out, int32_t size,
                      int32_t* outLen, GTRSTATUS* st) {
    *outLen = 0;
    if (size <= 0) return;
    const KEYINFO_0& k = it->half->info;
    const KEY_REC& head = it->records[0];
    int32_t cur = it->curRec;
    if (cur >= 0 && static_cast<uint32_t>(cur) < k.dKindRecords) {
        int n = snprintf(reinterpret_cast<char*>(out), static_cast<size_t>(size),
                         "%d", head.key[0] * 256 + head.key[2]);
        *outLen = n < size ? n : (size > 0 ? size - 1 : 0);
        return;
    }
    int16_t keyWidth = keyWidthAt(k, cur);
    int32_t n = recordsOf(head);
    int32_t headLen = n > 1 ? VOZ_KEY_HEAD_BYTES
                            : voz_KeyLength1(head.key, keyWidth);
    int32_t total = 0;
    voz_externalize(head.key, headLen, it->code, keyWidth, it->unitWidth, out,
                    size, &total, st);
    if (voz_Failed(st)) return;
    KEY_CONT first = n > 1 ? voz_KeyRecToCont(it->records[1]) : KEY_CONT{};
    for (int32_t i = 1; i < n; ++i) {
        KEY_CONT c = voz_KeyRecToCont(it->records[i]);
        int32_t part = 0;
        voz_externalize(c.key, chunkLength(first, n, i), it->code, keyWidth,
                        it->unitWidth, out + total, size - total, &part, st);
        if (voz_Failed(st)) break;
        total += part;
    }
    *outLen = total;
}

int8_t VOZ_GetKeyType(const KEYITERATOR* it) {
    return static_cast<int8_t>(it->records[0].kind);
}

int32_t VOZ_GetDocumentCount(const KEYITERATOR* it) {
    return static_cast<int32_t>(it->records[0].docCount);
}

void VOZ_GetRawPattern(const KEYITERATOR* it, uint8_t* out, int32_t* outLen) {
    *outLen = patternOf(it, out, false, 0);
}

void VOZ_GetItem(KEYITERATOR* it, char* kind, int16_t* itemNo, uint8_t* out,
                 int32_t size, int32_t* outLen, double* value,
                 GTRSTATUS* st) {
    if (size > 0) memset(out, 0, static_cast<size_t>(size));
    *outLen = 0;
    *itemNo = 0;
    int16_t keyWidth = keyWidthAt(it->half->info, it->curRec);
    // The pattern goes into a copy of its own: the caller's buffer may be
    // shorter than the key.
    Buffer pattern(static_cast<uint8_t*>(malloc(kPatternMax)));
    if (!pattern) {
        voz_setStatus(st, VOZ_RC_MEMORY, 1692);
        return;
    }
    int32_t len = patternOf(it, pattern.get(), true, keyWidth);
    const uint8_t* p = pattern.get();
    if (len >= 2 && p[1] == kNumericItem) {
        *kind = 'N';
        int32_t number = 0;
        vozUnnormalizeDouble(p, len, &number, value);
        *itemNo = static_cast<int16_t>(number);
        return;
    }
    *kind = 'C';
    // Units carrying the mark values 10 and 11 in their last byte frame
    // the value and carry the item number in their first.
    int32_t start = 0;
    int32_t end = len;
    for (int32_t u = 0; keyWidth > 0 && u + keyWidth <= len; u += keyWidth) {
        uint8_t mark = p[u + keyWidth - 1];
        if (mark == kMarkItemStart) {
            *itemNo = p[u];
            start = u + keyWidth;
        } else if (mark == kMarkItemEnd) {
            *itemNo = p[u];
            end = u;
            break;
        }
    }
    if (end <= start) return;
    voz_externalize(p + start, end - start, it->code, keyWidth, it->unitWidth,
                    out, size, outLen, st);
}
