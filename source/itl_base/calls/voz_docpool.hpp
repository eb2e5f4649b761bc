// voz_docpool.hpp -- one document's normalised units into index patterns.
//
// The document call normalises a caller's text (vozNormalizeDoc) with its
// delimiter and field pointers carried into the units, then hands the units
// here. The walk cuts them part by part with the word rule's cutting
// function and counts positions as the raw cutting counts characters: one
// position a unit of a part, blanks between parts count nothing.
//   n-gram part  sentence ends (kind 0, one position after the unit);
//                prefix grams of 1..n-1 units when the part does not begin
//                the text; then one n-unit gram (zero-filled) per unit,
//                all as ')' with length 0 (fixed patterns)
//   word part    ')' with its length in units, or '+' for the first
//                occurrence of a stop word, nothing for a stop word met
//                before; case-folded first under `disable` bit 0
// After each part: engine-found word starts (mark unit 'B' + the unit), the
// delimiters and the field events that lie before the next part. Field
// events left after the last part go at the position after it.
//
// Patterns leave through a VOZ_DOCSINK, so that the walk can be watched
// without a builder; vozDocSinkOf gives the sink of a creation work block.
#ifndef VOZ_DOCPOOL_HPP
#define VOZ_DOCPOOL_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

struct CREATWRK;

// Results of a stop-word check (never renumber: the builder's values).
constexpr int32_t VOZ_STOP_NONE = 1;     // the word is no stop word
constexpr int32_t VOZ_STOP_SEEN = 4;     // a stop word met before
// any other value: the first occurrence of a stop word

// Where the patterns of a document go. Each function returns 0 or -1 with
// the status filled. `stopWord` may be null (no stop words); it gets the
// word's units, its length in units and whether the word was case-folded
// already, and returns a VOZ_STOP_* value (or -1 on failure).
struct VOZ_DOCSINK {
    void* ctx;
    int (*pattern)(void* ctx, char kind, const uint8_t* pattern,
                   int32_t docno, int32_t position, int32_t length,
                   GTRSTATUS* st);
    int (*field)(void* ctx, uint16_t field, int32_t docno, int32_t position,
                 GTRSTATUS* st);
    int32_t (*stopWord)(void* ctx, const uint8_t* units, int32_t lengthUnits,
                        bool folded, GTRSTATUS* st);
};

// A sink that pools into `cwp` (VOZ_pattPool, VOZ_pattPool_FldNumber); no
// stop words. The block must outlive the sink.
VOZ_DOCSINK vozDocSinkOf(CREATWRK* cwp);

// One field start or end, its pointer carried into the units.
struct VOZ_DOCFIELD {
    uint16_t number;
    const uint8_t* at;
};

// One document call after normalisation.
struct VOZ_DOCUNITS {
    VOZ_CPINFO cp;
    const GTRCREATEPARM* cparm;  // n-gram length fixedKeyUnits, disable
                                 // codeInfo[2], word rule codeInfo[3],
                                 // word-start mark options[2]
    int32_t docno;
    int32_t startpos;            // last position used so far, 0 fresh
    uint8_t* units;              // may be rewritten (folding, marks 9)
    int32_t length;              // bytes
    int32_t delimCount;
    const int16_t* delimNo;      // 1..32, or 39 a caller's word start
    uint8_t* const* delimAt;     // into the units, ascending
    bool callerWordStarts;       // word_boundary 1
    int32_t fieldCount;
    const VOZ_DOCFIELD* fields;  // events in position order
    bool itemValue;              // a character item's key: cut as it is
                                 // (vozCHcutIntoPartAsis), no sentence ends
                                 // and no word starts
};

// Pools the document. On success *lastPos is the last position used (the
// start position when nothing was pooled) and 0 is returned; on failure -1
// with the sink's status, *lastPos unchanged.
// REQUIRES: d->cparm != nullptr, fixedKeyUnits 1..3.
int vozPoolDocUnits(const VOZ_DOCUNITS* d, const VOZ_DOCSINK* sink,
                    int32_t* lastPos, GTRSTATUS* st);

#endif  // VOZ_DOCPOOL_HPP
