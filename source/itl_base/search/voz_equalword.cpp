// voz_equalword.cpp -- preparation of equal words, the choice of one
// position per part, and the position-slot region (see voz_equalword.hpp).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_equalword.hpp"

namespace {

// Sum of two distances; VOZ_EQ_UNBOUNDED absorbs.
int32_t addDist(int32_t a, int32_t b) {
    if (a >= VOZ_EQ_UNBOUNDED || b >= VOZ_EQ_UNBOUNDED) return VOZ_EQ_UNBOUNDED;
    int64_t s = static_cast<int64_t>(a) + b;
    return s >= VOZ_EQ_UNBOUNDED ? VOZ_EQ_UNBOUNDED : static_cast<int32_t>(s);
}

// True when `u` is the mask unit `mask` (an all-zero mask is no mask).
bool isMask(const uint8_t* u, const uint8_t* mask, int32_t w) {
    bool any = false;
    for (int32_t i = 0; i < w; ++i) any = any || mask[i] != 0;
    return any && std::memcmp(u, mask, static_cast<size_t>(w)) == 0;
}

// Builds the pattern: start mark, word, end mark, as the word asks.
void buildPattern(const RTRVWORDEXT* word, VOZEQPREP* prep) {
    const int32_t w = prep->unitWidth;
    const int32_t n = word->wi.wordlen / w;
    const uint8_t* units = word->wi.wordp;
    const bool startsAny = n > 0 && isMask(units, word->mask_unit[0], w);
    const bool endsAny =
        n > 0 && isMask(units + (n - 1) * w, word->mask_unit[0], w);
    prep->startMark = startsAny ? 0 : 1;
    // One-unit masks in the trailing mask run need the end mark to count.
    bool trailingOne = false;
    for (int32_t i = n - 1; i >= 0; --i) {
        const uint8_t* u = units + i * w;
        if (isMask(u, word->mask_unit[1], w)) trailingOne = true;
        else if (!isMask(u, word->mask_unit[0], w)) break;
    }
    bool onlyAny = n > 0;
    for (int32_t i = 0; i < n && onlyAny; ++i)
        onlyAny = isMask(units + i * w, word->mask_unit[0], w);
    // A word of nothing but any-length masks keeps its end mark, so that it
    // has a part to look up (it matches every item).
    bool noEnd = word->eq_by_position != 0 ? (endsAny && n > 1 && !onlyAny)
                                           : (prep->startMark && endsAny);
    if (trailingOne) noEnd = false;
    prep->endMark = noEnd ? 0 : 1;
    uint8_t* p = prep->pattern;
    if (prep->startMark) {
        std::memcpy(p, word->start_mark, static_cast<size_t>(w));
        p += w;
    }
    if (n > 0) std::memcpy(p, units, static_cast<size_t>(n * w));
    p += n * w;
    if (prep->endMark) {
        std::memcpy(p, word->end_mark, static_cast<size_t>(w));
        p += w;
    }
    prep->patternLength = static_cast<int32_t>(p - prep->pattern);
}

// State of the cut while parts are emitted.
struct Cutter {
    VOZEQPREP* prep;
    const RTRVWORDEXT* word;
    int32_t chunkBytes;
    int32_t slotWidth;
    int32_t pendingOne = 0;     // one-unit masks since the last part
    bool pendingAny = false;    // an any-length mask since the last part

    void emit(const uint8_t* bytes, int32_t length, bool variable,
              bool reachesTokenEnd, bool endsPattern) {
        const int32_t w = prep->unitWidth;
        ITEMCTL& c = prep->parts[prep->partCount];
        c = ITEMCTL{};
        c.partBytes = bytes;
        c.partLength = length;
        const bool gap = pendingAny || pendingOne > 0;
        if (prep->partCount == 0) {
            // Leading masks leave the first part's position unconstrained.
            c.minOffset = 1;
            c.maxOffset = VOZ_EQ_UNBOUNDED;
        } else {
            const ITEMCTL& prev = prep->parts[prep->partCount - 1];
            const int32_t prevUnits = prev.partLength / w;
            const int32_t ones = std::min(pendingOne, slotWidth);
            c.minOffset = addDist(prevUnits, ones);
            c.maxOffset = pendingAny ? VOZ_EQ_UNBOUNDED : c.minOffset;
        }
        if (variable) {
            c.keyKind = VOZ_EQ_KEY_VAR;
        } else {
            const bool afterOther =
                prep->partCount == 0 ||
                prep->parts[prep->partCount - 1].keyKind != VOZ_EQ_KEY_VAR ||
                gap;
            const bool open = endsPattern || !reachesTokenEnd;
            c.keyKind = length < chunkBytes && afterOther && open
                            ? VOZ_EQ_KEY_SHORT
                            : VOZ_EQ_KEY_LONG;
        }
        ++prep->partCount;
        pendingOne = 0;
        pendingAny = false;
    }

    // Splits one token [ps, pe) at the mask units.
    void token(const uint8_t* ps, const uint8_t* pe, bool variable) {
        const int32_t w = prep->unitWidth;
        const uint8_t* patternEnd = prep->pattern + prep->patternLength;
        const uint8_t* run = nullptr;
        for (const uint8_t* u = ps; pe - u >= w; u += w) {
            const bool any = isMask(u, word->mask_unit[0], w);
            const bool one = !any && isMask(u, word->mask_unit[1], w);
            if (!any && !one) {
                if (run == nullptr) run = u;
                continue;
            }
            if (run != nullptr) {
                emit(run, static_cast<int32_t>(u - run), variable, false,
                     false);
                run = nullptr;
            }
            if (any) pendingAny = true;
            else ++pendingOne;
        }
        if (run != nullptr)
            emit(run, static_cast<int32_t>(pe - run), variable, true,
                 pe >= patternEnd);
    }
};

// Lead and trail slack of the variable-key parts; the fixed chain.
void setSlacks(VOZEQPREP* prep) {
    ITEMCTL* parts = prep->parts;
    const int32_t n = prep->partCount;
    const int32_t w = prep->unitWidth;
    for (int32_t i = 0; i < n; ++i) {
        ITEMCTL& c = parts[i];
        if (c.keyKind != VOZ_EQ_KEY_VAR) continue;
        int32_t j = i - 1;
        while (j >= 0 && parts[j].keyKind == VOZ_EQ_KEY_VAR) --j;
        if (j < 0) {
            // Only variable parts before it, the first of them after a
            // leading mask: it may lie anywhere in its key, and so may
            // every part that follows it in that key.
            c.leadSlack = VOZ_EQ_UNBOUNDED;
        } else {
            int32_t sum = 0;
            for (int32_t k = i; k >= j + 1; --k)
                sum = addDist(sum, parts[k].maxOffset);
            if (sum < VOZ_EQ_UNBOUNDED) sum -= parts[j].partLength / w;
            c.leadSlack = sum;
        }
        int32_t k = i + 1;
        while (k < n && parts[k].keyKind == VOZ_EQ_KEY_VAR) ++k;
        if (i == n - 1 || k >= n) {
            c.trailSlack = VOZ_EQ_UNBOUNDED;
        } else {
            int32_t sum = 0;
            for (int32_t m = i + 1; m <= k; ++m)
                sum = addDist(sum, parts[m].maxOffset);
            if (sum < VOZ_EQ_UNBOUNDED) sum -= c.partLength / w;
            c.trailSlack = sum;
        }
    }
    bool fixed = true;
    for (int32_t i = 0; i < n; ++i) {
        parts[i].fixedChain = i == 0 ? 'N' : (fixed ? 'Y' : 'N');
        if (i >= 1 && parts[i].minOffset != parts[i].maxOffset) fixed = false;
    }
}

}  // namespace

void voz_EqualPrepare(const RTRVWORDEXT* word, int32_t chunkBytes,
                      VOZEQPREP* prep, GTRSTATUS* st) {
    *prep = VOZEQPREP{};
    if (word->eq_limit1 == 0 || word->eq_limit2 == 0) {
        voz_setStatus(st, 17, 301);
        return;
    }
    prep->unitWidth = word->unit_width > 0 ? word->unit_width : 1;
    prep->boundaryKind = word->eq_by_position != 0 ? 1 : 0;
    const int32_t w = prep->unitWidth;
    const int32_t n = std::max<int32_t>(word->wi.wordlen, 0) / w;
    prep->pattern = static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(n + 2), static_cast<size_t>(w)));
    prep->parts = static_cast<ITEMCTL*>(
        std::calloc(static_cast<size_t>(n + 2), sizeof(ITEMCTL)));
    if (prep->pattern == nullptr || prep->parts == nullptr) {
        voz_EqualPrepTerm(prep);
        voz_setStatus(st, 11, 302);
        return;
    }
    buildPattern(word, prep);
    Cutter cut{prep, word, chunkBytes, std::max(word->eq_limit1, 0)};
    uint8_t* p = prep->pattern;
    uint8_t* end = prep->pattern + prep->patternLength;
    while (end - p >= w) {
        uint8_t* ps = p;
        uint8_t* pe = p;
        uint8_t* next = end;
        int32_t r = word->cut_function != nullptr
                        ? word->cut_function(p, end, static_cast<int16_t>(w),
                                             &ps, &pe, &next)
                        : 0;
        if (word->cut_function == nullptr) pe = end;
        if (next <= p) next = pe > p ? pe : end;  // never stand still
        cut.token(ps, pe, r != 0);
        p = next;
    }
    setSlacks(prep);
}

void voz_EqualPrepTerm(VOZEQPREP* prep) {
    std::free(prep->pattern);
    std::free(prep->parts);
    prep->pattern = nullptr;
    prep->parts = nullptr;
    prep->partCount = 0;
}

namespace {

// Depth-first choice from part i on; failed[k] marks list entries from
// which the rest of the parts cannot be chosen.
bool chooseFrom(const ITEMCTL* parts, int32_t n, const int32_t* list,
                const int32_t* ranges, int32_t* chosen, int32_t i,
                std::vector<char>& failed) {
    if (i == n) return true;
    for (int32_t k = ranges[2 * i]; k < ranges[2 * i + 1]; ++k) {
        if (failed[static_cast<size_t>(k)]) continue;
        if (i > 0) {
            const int64_t d = static_cast<int64_t>(list[k]) - chosen[i - 1];
            if (d < parts[i].minOffset) continue;
            if (parts[i].maxOffset < VOZ_EQ_UNBOUNDED && d > parts[i].maxOffset)
                break;
        }
        chosen[i] = list[k];
        if (chooseFrom(parts, n, list, ranges, chosen, i + 1, failed))
            return true;
        failed[static_cast<size_t>(k)] = 1;
    }
    return false;
}

}  // namespace

int32_t voz_EqualChoose(const ITEMCTL* parts, int32_t n, const int32_t* list,
                        const int32_t* ranges, int32_t* chosen) {
    if (n < 1) return 0;
    int32_t total = 0;
    for (int32_t i = 0; i < n; ++i) total = std::max(total, ranges[2 * i + 1]);
    std::vector<char> failed(static_cast<size_t>(total), 0);
    return chooseFrom(parts, n, list, ranges, chosen, 0, failed) ? 1 : 0;
}

void voz_SlotRegion(int32_t pos, int32_t rel, int32_t vvgEnd, int32_t width,
                    int32_t group, int32_t slot, int32_t* start,
                    int32_t* end) {
    const int64_t w = std::max(width, 1);
    const int64_t g = std::max(group, 1);
    const int64_t k = (static_cast<int64_t>(rel) - 1) / w;
    const int64_t grp = k / g;
    const int64_t index = k % g + 1;
    const int64_t base = static_cast<int64_t>(pos) - rel + 1;
    if (index == slot) {
        const int64_t s = base + w * k;
        *start = static_cast<int32_t>(std::min<int64_t>(s, vvgEnd));
        *end = static_cast<int32_t>(std::min<int64_t>(s + w, vvgEnd));
        return;
    }
    const int64_t nextGroup = index > slot ? grp + 1 : grp;
    const int64_t s = base + w * (slot - 1 + nextGroup * g);
    *start = static_cast<int32_t>(std::min<int64_t>(s, vvgEnd));
    *end = *start;
}
