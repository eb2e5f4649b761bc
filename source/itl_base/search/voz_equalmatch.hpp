// voz_equalmatch.hpp -- the match search of an equal word over its parts'
// posting controls (GCTLINFO, one per part of voz_equalword.hpp): the
// parts are brought to a common document, chained at their distances, and
// the boundary region holding the chain is searched for one position per
// part. Each region gives at most one occurrence.
//
// Each part is moved through its own operations (by key kind); the region
// comes from a boundary function. Both are given by the caller, so that
// the search runs over key-file readers or over any other position source.
#ifndef VOZ_EQUALMATCH_HPP
#define VOZ_EQUALMATCH_HPP

#include <cstdint>
#include <vector>

#include "search/voz_equalword.hpp"
#include "search/voz_searchrec.hpp"

struct GTRSTATUS;
struct IDXINFO;

typedef void (*VOZ_EQMOVE_FN)(GCTLINFO* g, int32_t target, IDXINFO* index,
                              GTRSTATUS* st);

// How one part is moved: to its first document >= target, to its first
// position >= target in a new document, to a later position >= target.
struct VOZEQMOVES {
    VOZ_EQMOVE_FN pointVvg;
    VOZ_EQMOVE_FN pointFirstPos;
    VOZ_EQMOVE_FN pointPos;
};

// The region [*start, *end) holding (doc, pos); *limit (when not null)
// gets a position below which no later region begins.
typedef void (*VOZ_EQREGION_FN)(void* ctx, int32_t doc, int32_t pos,
                                int32_t* start, int32_t* end, int32_t* limit,
                                GTRSTATUS* st);

struct VOZEQMATCH {
    const ITEMCTL* parts;
    int32_t partCount;
    GCTLINFO* gctl;                  // partCount controls, started
    const VOZEQMOVES* const* moves;  // partCount entries
    IDXINFO* index;
    VOZ_EQREGION_FN region;
    void* regionCtx;
    int16_t startMark;
    int16_t endMark;
    int32_t unitWidth;
    std::vector<int32_t> list;       // collected positions
    std::vector<int32_t> ranges;     // two per part
    std::vector<int32_t> chosen;     // one per part
    // Document whose positions the parts hold (-1: none yet). Readers over
    // key files only move forward, so on that document again the parts
    // are moved on from where they stand, never started over.
    int32_t posDoc = -1;
};

// The next occurrence at or after (doc, pos): 1 with *occ (rank 100) and
// the resume position (the next call starts at it + 1: the larger of the
// region's end and the boundary's limit, so that each region gives one
// occurrence and the next region is searched from its first position), 0
// when the word has no more occurrences, -1 on a failure (status set).
int32_t voz_EqualNext(VOZEQMATCH* m, int32_t doc, int32_t pos, OCC* occ,
                      int32_t* resumePos, GTRSTATUS* st);

#endif  // VOZ_EQUALMATCH_HPP
