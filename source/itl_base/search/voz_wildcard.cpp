// voz_wildcard.cpp -- wildcard expansion through the key index (see
// voz_wildcard.hpp): the pattern becomes literal pieces with distance
// bounds, every piece gets the key-index keys it can be, and a walk over the
// key-index documents (the token keys) tries, in each document where every
// piece occurs, to place the pieces one after the other within their bounds
// (depth first over the pieces' positions).
#include "search/voz_wildcard.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/voz_keyfile.hpp"
#include "files/voz_status.hpp"
#include "search/voz_answer.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_gctl.hpp"

namespace {

constexpr int32_t kAnyReach = 768;  // units an any-mask may stand for
constexpr int kChain = 255;         // records a voz_ReadKey buffer must hold

// One unit of the pattern: a literal (packed to the key width) or a mask.
struct PattUnit {
    char kind;  // 'L' literal, '*' any run, '?' exactly one
    uint8_t bytes[VOZ_KEY_HEAD_BYTES];
};

// One literal piece: its bytes, its distance bounds from the previous
// piece's start (the first: from the key start) and its keys.
struct WildPiece {
    uint8_t bytes[VOZ_KEY_HEAD_BYTES];
    int32_t units;
    int32_t minDist;
    int32_t maxDist;
    GCTLINFO g;
    int32_t capacity;
    int32_t* pos;      // positions in the current key
    int32_t posCount;
    int32_t posCapacity;
};

// Everything the expansion holds.
struct WildState {
    PattUnit* units = nullptr;
    int32_t unitCount = 0;
    WildPiece* pieces = nullptr;
    int32_t pieceCount = 0;
    int32_t pieceCapacity = 0;
    int32_t* orderArea = nullptr;
    int32_t* table = nullptr;
    int32_t* ranges = nullptr;   // from, to per piece
    int32_t* choices = nullptr;  // chosen index per piece

    ~WildState() {
        for (int32_t i = 0; i < pieceCount; ++i) {
            GCTLINFO& g = pieces[i].g;
            for (int32_t k = 0; k < g.keyCount; ++k) {
                GTRSTATUS ignore{};
                voz_TermPctl(&g.pctl[k], &ignore);
            }
            voz_TermGctlPctl(&g, 0);
            free(g.pctl);
        }
        free(units);
        free(pieces);
        free(orderArea);
        free(table);
        free(ranges);
        free(choices);
    }
};

bool sameUnit(const uint8_t* u, const uint8_t* mask, int32_t w) {
    return mask != nullptr && mask[0] != 0 &&
           memcmp(u, mask, static_cast<size_t>(w)) == 0;
}

// Reads the pattern into units, literals packed to the key width.
bool readUnits(WildState& s, const uint8_t* pattern, int32_t length,
               int32_t ww, int32_t kw, const uint8_t* anyMask,
               const uint8_t* oneMask, GTRSTATUS* st) {
    int32_t n = length / ww;
    s.units = static_cast<PattUnit*>(calloc(static_cast<size_t>(n + 1),
                                            sizeof(PattUnit)));
    if (s.units == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_CONVERT, nullptr, ENOMEM);
        return false;
    }
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t* u = pattern + static_cast<size_t>(i) * ww;
        PattUnit& p = s.units[i];
        p.kind = sameUnit(u, anyMask, ww) ? '*'
                 : sameUnit(u, oneMask, ww) ? '?' : 'L';
        if (p.kind == 'L') voz_PackUnit(u, ww, kw, p.bytes);
    }
    s.unitCount = n;
    // A run of anything right after the start mark (or before the end
    // mark) makes that anchor meaningless.
    if (n >= 2 && s.units[1].kind == '*') {
        memmove(s.units, s.units + 1, sizeof(PattUnit) * static_cast<size_t>(n - 1));
        --n;
    }
    if (n >= 3 && s.units[n - 2].kind == '*' && s.units[n - 3].kind == 'L') --n;
    s.unitCount = n;
    return true;
}

bool addPiece(WildState& s, const PattUnit* run, int32_t units, int32_t kw,
              int32_t minDist, int32_t maxDist, GTRSTATUS* st) {
    if (s.pieceCount == s.pieceCapacity) {
        int32_t cap = s.pieceCapacity + 8;
        void* p = realloc(s.pieces, sizeof(WildPiece) * static_cast<size_t>(cap));
        if (p == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_PIECES, nullptr, ENOMEM);
            return false;
        }
        s.pieces = static_cast<WildPiece*>(p);
        s.pieceCapacity = cap;
    }
    WildPiece& w = s.pieces[s.pieceCount++];
    memset(&w, 0, sizeof w);
    for (int32_t i = 0; i < units; ++i)
        memcpy(w.bytes + i * kw, run[i].bytes, static_cast<size_t>(kw));
    w.units = units;
    w.minDist = minDist;
    w.maxDist = maxDist;
    return true;
}

// Cuts every literal run into pieces of at most one key; distances as in
// the header: a run's first piece from the previous piece's start by the
// previous length plus the one-masks (plus up to 768 with an any-mask),
// later pieces of a run by their exact unit distance.
bool splitPieces(WildState& s, int32_t keyUnits, int32_t kw, GTRSTATUS* st) {
    int32_t ones = 0, prevStart = 0, prevLen = 0;
    bool any = false, first = true;
    int32_t i = 0;
    while (i < s.unitCount) {
        if (s.units[i].kind != 'L') {
            if (s.units[i].kind == '*') any = true; else ++ones;
            ++i;
            continue;
        }
        int32_t a = i;
        while (i < s.unitCount && s.units[i].kind == 'L') ++i;
        int32_t b = i;
        for (int32_t at = a; at < b; at += keyUnits) {
            int32_t start = at + keyUnits > b ? (b - keyUnits > a ? b - keyUnits : a) : at;
            int32_t len = b - start < keyUnits ? b - start : keyUnits;
            int32_t lo, hi;
            if (at == a) {
                int32_t before = first ? 0 : prevLen;
                lo = before + ones;
                hi = any ? before + kAnyReach : before + ones;
            } else {
                lo = hi = start - prevStart;
            }
            if (!addPiece(s, &s.units[start], len, kw, lo, hi, st)) return false;
            first = false;
            prevStart = start;
            prevLen = len;
        }
        ones = 0;
        any = false;
    }
    return true;
}

// Appends one key-index key to the piece's controls.
bool addKey(WildPiece& p, const KEY_REC& rec, GTRSTATUS* st) {
    GCTLINFO& g = p.g;
    if (g.keyCount == p.capacity) {
        int32_t cap = p.capacity == 0 ? 4 : p.capacity * 2;
        void* q = realloc(g.pctl, sizeof(PCTLHEAD) * static_cast<size_t>(cap));
        if (q == nullptr) {
            voz_setStatus(st, VOZ_RC_MEMORY,
                          p.capacity == 0 ? VOZ_EC_WILD_PCTL : VOZ_EC_WILD_PCTL_GROW,
                          nullptr, ENOMEM);
            return false;
        }
        g.pctl = static_cast<PCTLHEAD*>(q);
        p.capacity = cap;
    }
    PCTLHEAD* c = &g.pctl[g.keyCount++];
    memset(c, 0, sizeof *c);
    voz_InitPctl(c, &rec, 0, 'Y', st);
    c->keyUnits = static_cast<int16_t>(p.units);
    return true;
}

// The keys a piece can be: the end key for a piece that begins with the
// end mark, the one equal key for a full piece, every key that begins with
// a shorter piece. False on a failure.
bool findKeys(WildPiece& p, IDXINFO* keyIndex, RTRVWORDEXT* word, int32_t kw,
              GTRSTATUS* st) {
    uint8_t endMark = keyIndex->info.options[1];
    if (word->mark_check_function != nullptr &&
        word->mark_check_function('E', p.bytes, endMark,
                                  static_cast<int16_t>(kw)) != 0) {
        const KEY_REC& end = keyIndex->info.slots[0];
        if (end.docCount == 0) return true;
        return addKey(p, end, st);
    }
    KEY_REC rec;
    int32_t number = 0;
    int rc = voz_BinSearchKeyWhole(VOZ_BS_PATTERN, p.bytes, keyIndex, &rec,
                                   &number, st);
    if (rc < 0) return false;
    size_t bytes = static_cast<size_t>(p.units * kw);
    if (p.units * kw >= keyIndex->keyCmpLen) {
        if (rc == 0 && memcmp(rec.key, p.bytes, VOZ_KEY_HEAD_BYTES) == 0)
            return addKey(p, rec, st);
        return true;
    }
    if (number < 0) return true;
    KEY_REC chain[kChain];
    int64_t last = keyIndex->info.fixedKeys;
    for (int64_t r = number; r < last; ++r) {
        if (voz_ReadKey(&keyIndex->fctl, chain, static_cast<int32_t>(r), st) != 0)
            return false;
        if (memcmp(chain[0].key, p.bytes, bytes) != 0) break;
        if (!addKey(p, chain[0], st)) return false;
    }
    return true;
}

// Starts every piece's group over one shared order area of two entries
// (order and scratch) per control.
bool startGroups(WildState& s, IDXINFO* keyIndex, GTRSTATUS* st) {
    size_t total = 0;
    for (int32_t i = 0; i < s.pieceCount; ++i)
        total += 2 * static_cast<size_t>(s.pieces[i].g.keyCount);
    s.orderArea = static_cast<int32_t*>(calloc(total, sizeof(int32_t)));
    if (s.orderArea == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_PCTL, nullptr, ENOMEM);
        return false;
    }
    int32_t* at = s.orderArea;
    for (int32_t i = 0; i < s.pieceCount; ++i) {
        GCTLINFO& g = s.pieces[i].g;
        g.activeCount = g.keyCount;
        g.curDoc = -1;
        g.order = at;
        g.scratch = at + g.keyCount;
        at += 2 * g.keyCount;
        voz_InitGctlPctl(&g, keyIndex, g.order, st);
        if (voz_Failed(st)) return false;
    }
    return true;
}

bool allocTables(WildState& s, int32_t perPiece, GTRSTATUS* st) {
    size_t n = static_cast<size_t>(s.pieceCount);
    s.table = static_cast<int32_t*>(calloc(n * static_cast<size_t>(perPiece), sizeof(int32_t)));
    if (s.table == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_TABLE, nullptr, ENOMEM);
        return false;
    }
    s.ranges = static_cast<int32_t*>(calloc(2 * n, sizeof(int32_t)));
    if (s.ranges == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_RANGES, nullptr, ENOMEM);
        return false;
    }
    s.choices = static_cast<int32_t*>(calloc(n, sizeof(int32_t)));
    if (s.choices == nullptr) {
        voz_setStatus(st, VOZ_RC_MEMORY, VOZ_EC_WILD_CHOICES, nullptr, ENOMEM);
        return false;
    }
    for (int32_t i = 0; i < s.pieceCount; ++i) {
        s.pieces[i].pos = s.table + static_cast<size_t>(i) * perPiece;
        s.pieces[i].posCapacity = perPiece;
    }
    return true;
}

// Collects every position of each piece in the key all stand on.
bool collectPositions(WildState& s, IDXINFO* keyIndex, GTRSTATUS* st) {
    for (int32_t i = 0; i < s.pieceCount; ++i) {
        WildPiece& p = s.pieces[i];
        p.posCount = 0;
        voz_GctlPosSkipFirst(&p.g, 1, keyIndex, st);
        while (!voz_Failed(st) && p.g.endOfPos != 'Y' && p.posCount < p.posCapacity) {
            p.pos[p.posCount++] = p.g.curPos;
            voz_GctlPosSkip(&p.g, p.g.curPos + 1, keyIndex, st);
        }
        if (voz_Failed(st)) return false;
    }
    return true;
}

// First index of a position of piece i within [lo, hi] from index `from`.
int32_t fitFrom(const WildPiece& p, int32_t from, int32_t lo, int32_t hi) {
    for (int32_t k = from; k < p.posCount; ++k) {
        if (p.pos[k] > hi) return -1;
        if (p.pos[k] >= lo) return k;
    }
    return -1;
}

// Depth-first choice of one position per piece within the bounds.
bool placePieces(WildState& s, int32_t base) {
    int32_t i = 0;
    s.ranges[0] = base + s.pieces[0].minDist;
    s.ranges[1] = base + s.pieces[0].maxDist;
    s.choices[0] = fitFrom(s.pieces[0], 0, s.ranges[0], s.ranges[1]);
    if (s.choices[0] < 0) return false;
    while (true) {
        if (i == s.pieceCount - 1) return true;
        int32_t chosen = s.pieces[i].pos[s.choices[i]];
        WildPiece& next = s.pieces[i + 1];
        s.ranges[2 * (i + 1)] = chosen + next.minDist;
        s.ranges[2 * (i + 1) + 1] = chosen + next.maxDist;
        int32_t c = fitFrom(next, 0, s.ranges[2 * (i + 1)], s.ranges[2 * (i + 1) + 1]);
        if (c >= 0) {
            s.choices[++i] = c;
            continue;
        }
        // Back up to the nearest piece that has a further fitting position.
        while (true) {
            int32_t k = fitFrom(s.pieces[i], s.choices[i] + 1, s.ranges[2 * i],
                                s.ranges[2 * i + 1]);
            if (k >= 0) {
                s.choices[i] = k;
                break;
            }
            if (i == 0) return false;
            --i;
        }
    }
}

// Walks the keys every piece occurs in; writes the matches.
void walkKeys(WildState& s, IDXINFO* keyIndex, RTRVWORDEXT* word, int32_t kw,
              ANSWERFORM* answer, GTRSTATUS* st) {
    uint8_t startMark = keyIndex->info.options[0];
    bool anchored = word->mark_check_function != nullptr &&
                    word->mark_check_function('S', s.pieces[0].bytes, startMark,
                                              static_cast<int16_t>(kw)) != 0;
    int32_t base = anchored ? 1 : 2;
    int32_t target = 0;
    while (true) {
        int32_t high = -1;
        bool agree = true;
        for (int32_t i = 0; i < s.pieceCount; ++i) {
            GCTLINFO& g = s.pieces[i].g;
            if (g.curDoc < target) voz_GctlDocSkip(&g, target, keyIndex, st);
            if (voz_Failed(st) || g.endOfDocs == 'Y') return;
            if (high >= 0 && g.curDoc != high) agree = false;
            if (g.curDoc > high) high = g.curDoc;
        }
        target = high;
        if (!agree) continue;
        if (!collectPositions(s, keyIndex, st)) return;
        if (placePieces(s, base)) {
            if (answer->occCount >= answer->occLimit) {
                answer->limitReached = 'Y';
                return;
            }
            OCC e;
            memset(&e, 0, sizeof e);
            e.docno = high;
            voz_WriteOcc(&e, 1, answer, st);
            if (voz_Failed(st)) return;
        }
        target = high + 1;
    }
}

}  // namespace

void voz_WildCard(unsigned char* pattern, int32_t length, IDXINFO* keyIndex,
                  unsigned char* anyMask, unsigned char* oneMask,
                  ANSWERFORM* answer, RTRVWORDEXT* word, GTRSTATUS* st) {
    int32_t ww = word->unit_width > 0 ? word->unit_width : 2;
    int32_t kw = keyIndex->info.unitWidth > 0 ? keyIndex->info.unitWidth : 2;
    int32_t keyUnits = keyIndex->info.fixedKeyUnits;
    if (keyUnits < 1 || keyUnits * kw > VOZ_KEY_HEAD_BYTES || length < ww) return;
    WildState s;
    if (!readUnits(s, pattern, length, ww, kw, anyMask, oneMask, st)) return;
    if (!splitPieces(s, keyUnits, kw, st) || s.pieceCount == 0) return;
    for (int32_t i = 0; i < s.pieceCount; ++i) {
        if (!findKeys(s.pieces[i], keyIndex, word, kw, st)) return;
        if (s.pieces[i].g.keyCount == 0) return;  // a piece no key holds
    }
    if (!startGroups(s, keyIndex, st)) return;
    if (!allocTables(s, kAnyReach / kw, st)) return;
    walkKeys(s, keyIndex, word, kw, answer, st);
}
