// voz_pointhit.cpp -- vozPointHitPart, the walk that turns hit positions
// into byte offsets (see voz_gtrhit.hpp).
//
// The walk must count exactly as the indexer does: the text is taken line
// by line as the document normalisation takes it (blanks stripped from the
// start of the text and of every line with mode bit 0x80, each line stripped
// at both ends with the other bits), and each line is cut into runs by the
// raw cutting of the index's word rule. A run of n positions that holds no
// hit start and no hit end is passed in one step; otherwise it is stepped
// character by character.
//
// Invariants of the two cursors over the hits (ascending by position):
//   sx: every hit before sx got its start or was passed over for good
//       (its position lay before the text);
//   ex: every hit before ex got its end.
// A hit gets its start when the counter equals its position, before the
// character is counted, and its end when the counter, after the character,
// equals its position plus its length.
#include <cstring>

#include "calls/voz_gtrhit.hpp"
#include "calls/voz_rawcut.hpp"
#include "characters/voz_cut.hpp"

namespace {

constexpr uint8_t kLineStripMask = 0x7F;  // every mode bit but 0x80

struct Walk {
    const uint8_t* text;     // offsets are counted from here
    const GTRCREATEPARM* cparm;
    uint8_t code;
    uint8_t ctl;             // mode bit 0x40, handed to every step
    int64_t counter;         // number of the next position
    int32_t n;
    const OCC* hits;
    HITOFFSET* off;
    int32_t sx = 0;
    int32_t ex = 0;

    int64_t endOf(int32_t i) const {
        return static_cast<int64_t>(hits[i].pos) + hits[i].len;
    }

    void advanceEnds() {
        while (ex < n && off[ex].end != -1) ++ex;
    }

    // Starts of the hits at the counter; the character begins at `at`.
    void noteStarts(const uint8_t* at) {
        for (; sx < n && hits[sx].pos <= counter; ++sx) {
            if (hits[sx].pos != counter || off[sx].start != -1) continue;
            off[sx].start = static_cast<int32_t>(at - text);
            if (hits[sx].len == 0) off[sx].end = off[sx].start;
        }
    }

    // Ends of the hits at the counter; the character ended just before
    // `behind`.
    void noteEnds(const uint8_t* behind) {
        for (int32_t i = ex; i < n && hits[i].pos < counter; ++i) {
            if (off[i].end == -1 && endOf(i) == counter)
                off[i].end = static_cast<int32_t>(behind - text);
        }
        advanceEnds();
    }

    // Steps the run [from, partEnd) of `count` positions one character at
    // a time; characters before partStart (blanks and shift characters
    // that the cutting skipped) count nothing, nor do shift characters.
    void stepRun(const uint8_t* from, const uint8_t* partStart,
                 const uint8_t* partEnd, uint8_t state) {
        const uint8_t* p = from;
        while (p < partEnd) {
            const uint8_t* q = nullptr;
            const char cls = vozCHpointNextChar(code, p, &q, partEnd, nullptr,
                                                ctl, cparm, &state);
            if (q <= p || q > partEnd) q = partEnd;  // always progress
            if (p >= partStart && cls != VOZ_CLASS_SHIFT) {
                noteStarts(p);
                ++counter;
                noteEnds(q);
            }
            p = q;
        }
    }

    // One run of `count` positions cut from `from` (shift state `state`).
    void run(const uint8_t* from, const uint8_t* partStart,
             const uint8_t* partEnd, int32_t count, uint8_t state) {
        while (sx < n && hits[sx].pos < counter) ++sx;  // before the text
        const int64_t behind = counter + count;
        if ((sx == n || hits[sx].pos >= behind) &&
            (ex == n || hits[ex].pos >= behind)) {
            counter = behind;
            return;
        }
        stepRun(from, partStart, partEnd, state);
    }

    // Cuts one stripped line [first, last) into runs.
    void line(const uint8_t* first, const uint8_t* last, uint8_t wordRule,
              uint8_t* state) {
        const VOZ_RAWCUT_FN cut = Func_CutIntoPartRaw[wordRule & 1];
        const uint8_t* p = first;
        while (p < last) {
            const uint8_t* ps = nullptr;
            const uint8_t* pe = nullptr;
            const uint8_t* next = nullptr;
            const uint8_t before = *state;
            const int32_t count = cut(p, last, nullptr, code, ctl, &ps, &pe,
                                      &next, cparm, state, nullptr);
            if (count > 0) run(p, ps, pe, count, before);
            if (next <= p) break;
            p = next;
        }
    }
};

// The start of the next line from p on: with mode bit 0x80 its leading
// blanks are skipped (end when nothing but blanks is left).
const uint8_t* lineStart(const uint8_t* p, const uint8_t* end, uint8_t code,
                         uint8_t mode, uint8_t* state) {
    if (p >= end || (mode & 0x80) == 0) return p;
    const uint8_t* first = nullptr;
    const uint8_t* last = nullptr;
    vozCHstripBlank(p, end, code, 0x80, &first, &last, state);
    return first != nullptr ? first : end;
}

}  // namespace

void vozPointHitPart(const uint8_t* text, int32_t length,
                     const GTRCREATEPARM* cparm, uint8_t code, uint8_t mode,
                     uint8_t wordRule, int32_t* counter, int32_t hitCount,
                     const OCC* hits, HITOFFSET* offsets, int32_t* firstOpen) {
    Walk w{text, cparm, code, static_cast<uint8_t>(mode & 0x40), *counter,
           hitCount > 0 ? hitCount : 0, hits, offsets};
    if (text == nullptr || length < 0) length = 0;
    const uint8_t* const end = text + length;
    VOZ_CPINFO cp{};
    cp.code = code;
    vozCHsetCPInfo(&cp);
    uint8_t state = 0;
    const uint8_t* p = lineStart(text, end, code, mode, &state);
    w.advanceEnds();
    while (p < end && w.ex < w.n) {
        const void* nl = memchr(p, cp.newline, static_cast<size_t>(end - p));
        const uint8_t* lineEnd = nl != nullptr ? static_cast<const uint8_t*>(nl)
                                               : end;
        const uint8_t* first = nullptr;
        const uint8_t* last = nullptr;
        vozCHstripBlank(p, lineEnd, code, mode & kLineStripMask, &first, &last,
                        &state);
        if (first != nullptr && last > first) w.line(first, last, wordRule, &state);
        p = lineStart(lineEnd < end ? lineEnd + 1 : end, end, code, mode,
                      &state);
    }
    if (firstOpen != nullptr) *firstOpen = w.ex;
    for (int32_t i = 0; i < w.n; ++i) {
        if (offsets[i].start == -1 && offsets[i].end != -1) offsets[i].start = 0;
        else if (offsets[i].start != -1 && offsets[i].end == -1)
            offsets[i].end = length;
    }
    *counter = w.counter <= INT32_MAX ? static_cast<int32_t>(w.counter)
                                      : INT32_MAX;
}
