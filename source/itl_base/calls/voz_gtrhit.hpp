// voz_gtrhit.hpp -- hit information: turning occurrences of a search back
// into byte offsets of a document's text.
//
// An occurrence (OCC, search/voz_searchrec.hpp) names a hit by the index
// position of its first character and its length in positions. Positions
// count characters as the raw cutting (calls/voz_rawcut.hpp) counts them
// over the text's lines: a line is stripped of the blanks at its ends, the
// counter carries on from line to line, a run of letters (under word rule
// 1 letters and digits) counts one position per character, and a stretch of
// other characters counts from its first character that is not a blank to
// its last one, the blanks inside included. The walk below
// (vozPointHitPart) steps through the text by the same measure and notes
// the byte offsets where each hit starts and ends.
//
// For the hit calls, byte 11 of an OCC (`match`) is the word rule of the
// index that found the hit (0 letters only, 1 letters and digits), and byte
// 10 is carried but not read. A search result carries the match grade in
// byte 11, so a caller puts the index's word rule there first.
//
// Conventions: every call clears the caller's GTRSTATUS on entry and
// reports only there; outputs already written stay written after a failure
// (entries of `hitinfo` keep -1, -1 where the matching did not run). The
// calls keep no state; GTRgetHitOffset carries the numbering of one
// document given in pieces through the caller's *startpos.
#ifndef VOZ_GTRHIT_HPP
#define VOZ_GTRHIT_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_searchrec.hpp"  // OCC

// One hit in the text: byte offsets from the start of the text given to the
// call; `end` is just behind the hit's last character. -1, -1: not found in
// the text given.
struct HITOFFSET {
    int32_t start;
    int32_t end;
};
static_assert(sizeof(HITOFFSET) == 8, "HITOFFSET is 8 bytes");

// Mode of the hit matching: blank stripping and control characters as the
// document normalisation of the indexer uses them.
constexpr uint8_t VOZ_HIT_MODE = 0xE0;
// Highest start position + 1 (positions are below 2^30).
constexpr int32_t VOZ_HIT_POS_MAX = 0x3FFFFFFF;

// Status codes of the hit calls (message numbers and sites; never
// renumber).
constexpr int32_t VOZ_RC_STARTPOS = 34;     // "Start position error."
constexpr int32_t VOZ_RC_CODEPAGE = 108;    // "Codepage error."
constexpr int32_t VOZ_RC_HIT_ORDER = 110;   // occurrences not ascending
constexpr int32_t VOZ_RC_HIT_RULE = 22;     // word rule neither 0 nor 1
constexpr int32_t VOZ_EC_HIT_NULL = 2646;
constexpr int32_t VOZ_EC_HITEXT_CODEPAGE = 2647;
constexpr int32_t VOZ_EC_HITEXT_SPECIALNUM = 2648;
constexpr int32_t VOZ_EC_HITEXT_SPECIAL = 2649;  // + class: 2649..2653
constexpr int32_t VOZ_EC_HITEXT_NULL = 2654;
constexpr int32_t VOZ_EC_HITOFF_NULL = 2655;
constexpr int32_t VOZ_EC_HITOFF_STARTPOS = 2656;
constexpr int32_t VOZ_EC_HIT_STARTPOS = 2657;
constexpr int32_t VOZ_EC_HIT_CODEPAGE = 2658;
constexpr int32_t VOZ_EC_HIT_ORDER = 2659;
constexpr int32_t VOZ_EC_HIT_RULE = 2660;

// Fills hitinfo[0..occnum) with the offsets of the occurrences `occs` in
// the whole document `docmp` (`doclen` bytes of engine code page
// `codepage`); `startpos` is the number of positions before the text (0
// for a whole document). Occurrences must ascend by document, position,
// length. occnum 0 succeeds and writes nothing; a negative occnum, NULL
// occs or hitinfo 2/2646; startpos outside 0..0x3FFFFFFE 34/2657; code page
// outside 1..37 108/2658; entries out of order 110/2659; a word rule other
// than 0 or 1 22/2660. A hit that starts before the text gets start 0, one
// that goes on behind it end = doclen; one not in the text keeps -1, -1.
void GTRgetHitinfo(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                   const OCC* occs, int32_t startpos, HITOFFSET* hitinfo,
                   uint8_t codepage, GTRSTATUS* gsp);

// As GTRgetHitinfo with the index's creation record (may be NULL: code
// page 1, no additional letters): its code page (1..37, else 108/2647) and
// its additional alphanumeric characters (at most 16, 2/2648; each printable
// ASCII punctuation, else 2/2649 below 0x21, 2650 a digit, 2651 an
// upper-case letter, 2652 a lower-case letter, 2653 above 0x7E) class the
// characters as when the index was built. NULL occs or hitinfo 2/2654.
void GTRgetHitinfoExt(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                      const OCC* occs, int32_t startpos, HITOFFSET* hitinfo,
                      const GTRHCREATEPARM* hcparmp, GTRSTATUS* gsp);

// One piece of a document given in consecutive pieces. *startpos (in/out)
// is the number of positions before the piece; on return it holds the
// number after what the matching walked, so that the next piece carries
// on. Occurrences that end before the piece get -1, -1 and are skipped;
// *starthx (may be NULL) is the first one not skipped (occnum when all
// are), *endhx (may be NULL) the first one from *starthx on whose end is
// not in this piece (occnum when all ends are); both -1 until known.
// Offsets are relative to the piece. NULL occs or hitinfo 2/2655, NULL
// startpos 2/2656; the other failures as GTRgetHitinfo's.
void GTRgetHitOffset(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                     const OCC* occs, uint8_t codepage, int32_t* startpos,
                     HITOFFSET* hitinfo, int32_t* starthx, int32_t* endhx,
                     GTRSTATUS* gsp);

// The checks shared by the hit calls (start position, code page, order,
// word rule) and the matching over `occnum` occurrences (at least 1) with
// the creation parameters `cparm` (may be NULL). hitinfo entries are set
// to -1, -1 first. *startpos (in/out) receives the counter the matching
// reached minus 1 (unchanged when a check fails). *firstOpen (may be NULL)
// receives the index of the first occurrence whose end the text did not
// hold (occnum when none).
void vozGetHit(const uint8_t* docmp, int32_t doclen, int32_t occnum,
               const OCC* occs, int32_t* startpos, HITOFFSET* hitinfo,
               const GTRCREATEPARM* cparm, uint8_t codepage, GTRSTATUS* gsp,
               int32_t* firstOpen);

// The walk: steps through `length` bytes of `text` line by line with the
// raw cutting of word rule `wordRule` (0 or 1), code-page code `code`,
// `mode` (VOZ_HIT_MODE) and `cparm` (may be NULL), numbering positions from
// *counter on, and writes the start and end offsets of the `hitCount`
// `hits` (ascending by position) into `offsets`, which the caller presets
// to -1, -1. Stops after the line in which the last hit got its end. Hits
// that began before the text get start 0, hits that go on behind it end =
// length. *counter receives the next position number; *firstOpen (may be
// NULL) the index of the first hit whose end was not found.
void vozPointHitPart(const uint8_t* text, int32_t length,
                     const GTRCREATEPARM* cparm, uint8_t code, uint8_t mode,
                     uint8_t wordRule, int32_t* counter, int32_t hitCount,
                     const OCC* hits, HITOFFSET* offsets, int32_t* firstOpen);

#endif  // VOZ_GTRHIT_HPP
