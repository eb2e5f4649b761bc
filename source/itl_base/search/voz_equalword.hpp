// voz_equalword.hpp -- equal words ('E') over character item keys: the
// word, which may hold the any-length mask (mask_unit[0]) and the one-unit
// mask (mask_unit[1]), is cut into parts at the masks; a match is one
// position per part, each part at an allowed distance from the one before,
// all inside one boundary region (a sentence, or one position slot of a
// VVG: slot `eq_item_no` of width `eq_limit1` in groups of `eq_limit2`).
//
// This file holds the pieces of the equal-word search that need no key
// file: the preparation of the parts (ITEMCTL), the depth-first choice of
// one collected position per part, and the position-slot region.
//
// Distances are in units; VOZ_EQ_UNBOUNDED stands for "no upper bound" and
// every sum that meets it stays VOZ_EQ_UNBOUNDED.
#ifndef VOZ_EQUALWORD_HPP
#define VOZ_EQUALWORD_HPP

#include <cstdint>

struct GTRSTATUS;
struct RTRVWORDEXT;

constexpr int32_t VOZ_EQ_UNBOUNDED = 0x3FFFFFFF;

// Key kinds of a part (index into the item tables).
constexpr int32_t VOZ_EQ_KEY_VAR = 0;
constexpr int32_t VOZ_EQ_KEY_LONG = 1;
constexpr int32_t VOZ_EQ_KEY_SHORT = 2;

// One part of an equal word.
struct ITEMCTL {
    const uint8_t* partBytes;  // first byte of the part in the pattern
    int32_t partLength;        // bytes
    int32_t minOffset;         // distance from the previous part's position
    int32_t maxOffset;         //   (VOZ_EQ_UNBOUNDED = any)
    char fixedChain;           // 'Y': parts 1..i-1 all at fixed distances
    int32_t leadSlack;         // variable keys: units before the part
    int32_t trailSlack;        //   and after it inside its key
    int32_t keyKind;           // VOZ_EQ_KEY_*
};

// The prepared word: the pattern (marks added) and its parts. Owns its
// buffers; voz_EqualPrepTerm frees them.
struct VOZEQPREP {
    uint8_t* pattern;
    int32_t patternLength;     // bytes
    int32_t unitWidth;
    ITEMCTL* parts;
    int32_t partCount;
    int16_t startMark;         // 1 when the start-mark unit was added
    int16_t endMark;           // 1 when the end-mark unit was added
    int32_t boundaryKind;      // 0 sentence, 1 position slot
};

// Prepares `word` (unit width word->unit_width, at least 1). chunkBytes is
// the byte length of a stored key chunk (units per chunk x unit width).
// Slot width or group size 0: 17/301. No memory: 11/302.
void voz_EqualPrepare(const RTRVWORDEXT* word, int32_t chunkBytes,
                      VOZEQPREP* prep, GTRSTATUS* st);
void voz_EqualPrepTerm(VOZEQPREP* prep);

// Chooses one position per part: list[ranges[2i] .. ranges[2i+1]-1] are the
// collected positions of part i (ascending). Part 0's choices are tried in
// ascending order; each later part takes its first position whose distance
// to the previous choice lies in [minOffset, maxOffset]; a part without one
// makes the part before it take its next position in range. 1 with
// chosen[0 .. n-1] filled, else 0.
int32_t voz_EqualChoose(const ITEMCTL* parts, int32_t n, const int32_t* list,
                        const int32_t* ranges, int32_t* chosen);

// The position-slot region for position `pos`, which lies `rel` units into
// its VVG (from 1) whose next VVG starts at vvgEnd: slots of `width`
// positions, `group` slots a round, slot number `slot` (from 1). The region
// is [*start, *end); when pos is not in slot `slot`, the region is the
// empty one at the start of the next such slot (capped at vvgEnd).
void voz_SlotRegion(int32_t pos, int32_t rel, int32_t vvgEnd, int32_t width,
                    int32_t group, int32_t slot, int32_t* start, int32_t* end);

#endif  // VOZ_EQUALWORD_HPP
