// voz_cpinfo.hpp -- the engine's code-page model: codes, units, dispatch.
//
// The engine never works on raw text: every text it indexes or searches is
// first turned into an array of fixed-width units, as a rule one per
// character, by the routines of the text's code page. This header holds
//   - the 37 internal code-page codes and the code groups callers test,
//   - VOZ_CPINFO, the 7-byte code-page record passed by value,
//   - the unit format: widths, class marks, the blank unit,
//   - the routine types of the eight dispatch tables and the tables,
//   - the vozCH* dispatchers, the only way the rest of the engine reaches a
//     code page,
//   - small helpers shared by the normalisers of every family (position map,
//     double-byte table lookup, Korean-style alternatives and word starts).
//
// Unit format (part of the index files: keys are stored as units):
//   single-byte character unit, width 2:  [folded char][class mark]
//   double-byte character unit, width 2:  [lead][trail]  (trail 0x20..0xFE,
//                                          never a mark: that tells them apart)
//   UTF-8 unit, width 3:                  [id byte][id byte][class mark], or a
//                                          kept three-byte character
//   blank unit: 0x20 then mark 5 (UTF-8: 0x20 0x20 5).
//
// Conventions: plain functions over caller-owned buffers, no state, no
// allocation except the alternative-character buffer (malloc/free). Convert
// and unnormalize routines return VOZ_CH_DONE (0) or VOZ_CH_FULL (8). A
// dispatcher given code 0, a code above 37 or a code whose table has no
// routine calls nothing and returns the error result its comment names.
// Values below reach disk through the index keys: never renumber them.
#ifndef VOZ_CPINFO_HPP
#define VOZ_CPINFO_HPP

#include <cstdint>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

// ---- internal code-page codes --------------------------------------------
enum : uint8_t {
    VOZ_CP_SJIS = 1,           // Shift-JIS
    VOZ_CP_BIG5 = 2,           // Big5
    VOZ_CP_KOKR = 3,           // Korean, ASCII-based double-byte
    VOZ_CP_SCHN1381 = 4,       // simplified Chinese, code page 1381
    VOZ_CP_ALT850 = 5,         // the second 850 family
    VOZ_CP_850 = 6,
    VOZ_CP_88591 = 7,
    VOZ_CP_1252 = 8,
    VOZ_CP_SCHNWIN = 9,        // simplified Chinese, Windows code page
    VOZ_CP_EBCDIC_KANAKANJI = 10,
    VOZ_CP_EBCDIC_LATINKANJI = 11,
    VOZ_CP_EBCDIC_TCHN = 12,
    VOZ_CP_EBCDIC_KOKR = 13,
    VOZ_CP_EBCDIC_SCHN = 14,
    VOZ_CP_EBCDIC_500 = 15,
    VOZ_CP_1250 = 16,
    VOZ_CP_1251 = 17,
    VOZ_CP_1253 = 18,
    VOZ_CP_1254 = 19,
    VOZ_CP_1255 = 20,
    VOZ_CP_1256 = 21,
    VOZ_CP_1257 = 22,
    VOZ_CP_1258 = 23,
    VOZ_CP_874 = 24,
    VOZ_CP_EBCDIC_THAI = 25,
    VOZ_CP_EBCDIC_LATIN2 = 26,
    VOZ_CP_EBCDIC_CYRILLIC = 27,
    VOZ_CP_EBCDIC_TURKEY = 28,
    VOZ_CP_EBCDIC_GREEK = 29,
    VOZ_CP_EBCDIC_HEBREW = 30,
    VOZ_CP_EBCDIC_ARABIC = 31,
    VOZ_CP_EBCDIC_BALTIC = 32,
    VOZ_CP_EBCDIC_ESTONIA = 33,
    VOZ_CP_UTF8 = 34,
    VOZ_CP_EUCJP = 35,
    VOZ_CP_EUCTW = 36,
    VOZ_CP_UTF8TURKEY = 37,
};
constexpr int VOZ_CP_MAX = 37;         // highest valid code
constexpr int VOZ_CP_TABLE_SIZE = 38;  // dispatch tables: entry 0 empty

// Code groups (tested by number throughout the engine).
bool vozCPisValid(uint8_t code);       // 1..37
bool vozCPisEbcdic(uint8_t code);      // 10..15, 25..33
bool vozCPisDbcsAscii(uint8_t code);   // 1..4, 9, 35, 36 (two-byte wide blank)
bool vozCPisUTF8(uint8_t code);        // 34, 37

// ---- code-page record ------------------------------------------------------
// 7 bytes, passed by value. Bytes 2..6 are written by vozCHsetCPInfo.
struct VOZ_CPINFO {
    uint8_t callerCodePage;    // byte 0: the caller's value, carried only
    uint8_t code;              // byte 1: internal code 1..37
    uint8_t sentenceEnd[3];    // bytes 2..4: '?', '!', '.'
    uint8_t blank;             // byte 5: ' '
    uint8_t newline;           // byte 6: 0x0A
};
static_assert(sizeof(VOZ_CPINFO) == 7, "VOZ_CPINFO is 7 bytes");

// ---- unit format -------------------------------------------------------------
constexpr int VOZ_UNIT_WIDTH = 2;      // every code but the UTF-8 ones
constexpr int VOZ_UNIT_WIDTH_UTF8 = 3;
constexpr int VOZ_UNIT_MAX = 3;

// Class marks: the last byte of a single-byte or UTF-8 unit.
enum : uint8_t {
    VOZ_MARK_UPPER = 1,        // upper-case letter or letter without case
    VOZ_MARK_LOWER = 2,        // lower-case letter (byte 0 holds the fold)
    VOZ_MARK_NOCASE = 3,       // letter whose case is ignored
    VOZ_MARK_PUNCT = 4,        // punctuation or symbol
    VOZ_MARK_BLANK = 5,        // blank, separator, unassigned position
    VOZ_MARK_DIGIT = 6,
    VOZ_MARK_TURKISH_I = 7,    // Turkish dotted/dotless I (UTF-8 only)
    VOZ_MARK_ITEM_START = 10,  // start mark of a structure item
    VOZ_MARK_ITEM_END = 11,    // end mark of a structure item
    VOZ_MARK_DOUBLE_HEAD = 31, // head unit of a normalised number
    VOZ_MARK_OTHER = 0xFF,     // not classified
};

// The blank unit (0x20, 5) of the two-byte codes.
extern const uint8_t dbl_blank[2];
// Wide blank of each code (3 bytes a row; rows without one are zero).
extern const uint8_t raw_dbl_blank[VOZ_CP_TABLE_SIZE][3];
// Length in bytes of the wide blank of a code: 2 for the ASCII-based
// double-byte codes and the EBCDIC codes, 3 for UTF-8, 0 when none.
int vozCPwideBlankLength(uint8_t code);

// Results of convert and unnormalize routines.
constexpr int32_t VOZ_CH_DONE = 0;     // whole input handled
constexpr int32_t VOZ_CH_FULL = 8;     // output buffer full first
// Returned by an int-valued dispatcher for a code without a routine.
constexpr int32_t VOZ_CH_BADCODE = -1;

// Class letters of the next-character routines.
constexpr char VOZ_CLASS_LETTER = 'A';
constexpr char VOZ_CLASS_DIGIT = 'N';
constexpr char VOZ_CLASS_BLANK = 'B';
constexpr char VOZ_CLASS_OTHER = 'O';
constexpr char VOZ_CLASS_SHIFT = 'S';  // shift-out/in of the mixed EBCDIC pages

// Word-start letters of the word-boundary codes (3, 13, 34, 37).
constexpr char VOZ_WORD_START = 'M';   // a unit that starts a joined word
constexpr char VOZ_WORD_CONT = 'O';    // a continuation of one
constexpr char VOZ_WORD_NONE = 'N';    // not a unit of the joining range

// ---- position map --------------------------------------------------------
// Optional (null when unwanted), owned by the caller. Before a normaliser
// turns the source character at address s into units it serves, in each
// list in turn, every entry from the cursor on whose source address is not
// above s: the entry receives the current output address, the cursor moves.
struct VOZ_DOCNORMLIST {
    int32_t count;                  // entries in the two arrays
    const uint8_t** srcAddr;        // source addresses, ascending
    uint8_t** outAddr;              // receive output addresses
    int32_t cursor;                 // next entry not yet served
};
struct PTRDOCNORM {
    VOZ_DOCNORMLIST list[2];
};

// Serves the map (null allowed) for the source character at src, which will
// be written at out.
void vozDocNormServe(PTRDOCNORM* map, const uint8_t* src, uint8_t* out);
// The lowest source address the map still waits for (null map, or nothing
// left: null). Serving below it changes nothing, so a converter may serve
// only from there on.
const uint8_t* vozDocNormNext(const PTRDOCNORM* map);
// Moves every served entry whose output address is at or beyond `to` back to
// `to` (blanks dropped by word joining). Null map allowed.
void vozDocNormPullBack(PTRDOCNORM* map, uint8_t* to);

// ---- continuation text -----------------------------------------------------
// The text that follows the source in the caller's stream. A code page that
// combines a character with the next one (half-width voiced marks) may take
// its combining mark from here and then advances `text`. Routines never read
// at or beyond `end`.
struct VOZ_CONTTEXT {
    const uint8_t* text;
    const uint8_t* end;
};

// ---- routine types of the dispatch tables ------------------------------------
// convert: source [src, srcEnd) into units at out. *outLen holds the capacity
// in bytes on entry and the bytes written on return. cont, map, cparm may be
// null. ctlAsBlank non-zero turns control bytes into blank units. *state is
// the shift state of the mixed EBCDIC pages (0 outside, 1 inside a
// double-byte stretch), kept by the caller across calls.
// Returns VOZ_CH_DONE, or VOZ_CH_FULL when the output filled first.
typedef int32_t (*VOZ_CONVERT_FN)(const uint8_t* src, const uint8_t* srcEnd,
                                  VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                                  uint8_t* out, int32_t* outLen,
                                  PTRDOCNORM* map, const GTRCREATEPARM* cparm,
                                  uint8_t* state);
// get single-byte character: the byte the unit stands for, 0 when none.
typedef uint8_t (*VOZ_GETSBCS_FN)(const uint8_t* unit);
// point next character: steps over the character at text (never beyond end,
// except into cont) and returns its class letter; *next receives where the
// next character starts.
typedef char (*VOZ_NEXTCHAR_FN)(const uint8_t* text, const uint8_t** next,
                                const uint8_t* end, VOZ_CONTTEXT* cont,
                                uint8_t ctlAsBlank, const GTRCREATEPARM* cparm,
                                uint8_t* state);
// sentence end: 1 when the unit is the code page's sentence-end unit.
typedef int32_t (*VOZ_SENTENCEEND_FN)(const uint8_t* unit);
// set alternative characters of a search word; 0 or the status retcode.
typedef int32_t (*VOZ_SETALTER_FN)(RTRVWORDEXT* word, GTRSTATUS* status);
// word start of the unit at `unit` among the units from `start`:
// VOZ_WORD_START, VOZ_WORD_CONT or VOZ_WORD_NONE.
typedef char (*VOZ_WORDSTART_FN)(const uint8_t* start, const uint8_t* unit);
// unnormalize: units [units, unitsEnd) back into text at out (capacity bytes);
// *written receives the bytes written; flag as the family says; *state the
// shift state. Never writes beyond capacity. VOZ_CH_DONE or VOZ_CH_FULL.
typedef int32_t (*VOZ_UNNORM_FN)(const uint8_t* units, const uint8_t* unitsEnd,
                                 uint8_t flag, uint8_t* out, int32_t capacity,
                                 int32_t* written, uint8_t* state);
// mark letter units as case-insensitive: 0 when a unit was marked, else 4.
typedef int32_t (*VOZ_SEEMSAME_FN)(uint8_t* units, int32_t length,
                                   int16_t width);

// ---- the dispatch tables (voz_cpdispatch.cpp) --------------------------------
extern const VOZ_CONVERT_FN ConvertInto2[VOZ_CP_TABLE_SIZE];
extern const VOZ_CONVERT_FN ConvertInto2Flat[VOZ_CP_TABLE_SIZE];
extern const VOZ_GETSBCS_FN GetSBCSchar[VOZ_CP_TABLE_SIZE];
extern const VOZ_NEXTCHAR_FN PointNextChar[VOZ_CP_TABLE_SIZE];
extern const VOZ_SENTENCEEND_FN SentenceEnd[VOZ_CP_TABLE_SIZE];
extern const VOZ_SETALTER_FN SetAlterChar[VOZ_CP_TABLE_SIZE];
extern const VOZ_WORDSTART_FN WordStart[VOZ_CP_TABLE_SIZE];
extern const VOZ_UNNORM_FN Unnormalize[VOZ_CP_TABLE_SIZE];

// ---- dispatchers ---------------------------------------------------------------
// Each calls the table entry of cp.code (or of the code given) with its
// arguments unchanged; a code without an entry gives the error result named.

// VOZ_CH_BADCODE, *outLen set to 0.
int32_t vozCHconvert(VOZ_CPINFO cp, const uint8_t* src, const uint8_t* srcEnd,
                     VOZ_CONTTEXT* cont, uint8_t ctlAsBlank, uint8_t* out,
                     int32_t* outLen, PTRDOCNORM* map,
                     const GTRCREATEPARM* cparm, uint8_t* state);
// Never passes special letters. Error: as vozCHconvert.
int32_t vozCHconvertFlat(VOZ_CPINFO cp, const uint8_t* src,
                         const uint8_t* srcEnd, VOZ_CONTTEXT* cont,
                         uint8_t ctlAsBlank, uint8_t* out, int32_t* outLen,
                         PTRDOCNORM* map, uint8_t* state);
// Error: 0.
uint8_t vozCHgetSBCSchar(VOZ_CPINFO cp, const uint8_t* unit);
// Error: 0, *next set to end (so that a walk stops).
char vozCHpointNextChar(uint8_t code, const uint8_t* text,
                        const uint8_t** next, const uint8_t* end,
                        VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,
                        const GTRCREATEPARM* cparm, uint8_t* state);
// Error: 0.
int32_t vozCHsentenceEnd(VOZ_CPINFO cp, const uint8_t* unit);
// The SentenceEnd entry itself, null for codes without one.
VOZ_SENTENCEEND_FN vozCHsentenceEndFunction(VOZ_CPINFO cp);
// Error: VOZ_WORD_NONE.
char vozCHwordStart(VOZ_CPINFO cp, const uint8_t* start, const uint8_t* unit);
// The WordStart entry itself, null for codes without one.
VOZ_WORDSTART_FN vozCHwordStartFunction(VOZ_CPINFO cp);
// VOZ_CH_BADCODE, *written set to 0.
int32_t vozCHunnormalize(VOZ_CPINFO cp, const uint8_t* units,
                         const uint8_t* unitsEnd, uint8_t flag, uint8_t* out,
                         int32_t capacity, int32_t* written, uint8_t* state);
// Clears word->alter_chars; for codes 3, 13, 34, 37 and a word of kind 'W'
// calls the SetAlterChar entry (0 when nothing was called). Error: a null
// entry gives VOZ_CH_BADCODE.
int32_t vozCHsetAlterChar(VOZ_CPINFO cp, RTRVWORDEXT* word, GTRSTATUS* status);
// Frees word->alter_chars (when set) and clears it.
void vozCHsetAlterCharTerm(RTRVWORDEXT* word);
// Unit width: 3 for 34 and 37, else 2 (also for invalid codes).
int16_t vozCHlen(VOZ_CPINFO cp);
// Width of the variable form (UTF-8 kept in two bytes): always 2.
int16_t vozCHlenVar();
// Writes "?!. \n" into bytes 2..6; bytes 0 and 1 stay the caller's.
void vozCHsetCPInfo(VOZ_CPINFO* cp);
// True for the word-boundary codes 3, 13, 34, 37.
bool vozCHwordBoundaryEnable(uint8_t code);
// vozSeemAsSameUnitVarUTF8 for 34 and 37, vozCHcaseInsensAlpha otherwise.
VOZ_SEEMSAME_FN vozCHgetFuncSeemAsSameUnit(uint8_t code);

// ---- helpers shared by the normaliser families -------------------------------

// A list of two-byte unit tables: entry i of `table` is the unit of byte
// first + i. Lists end with an entry whose table is null.
struct DBCS_TABLE_INFO {
    const uint8_t (*table)[2];
    int32_t entries;
    int32_t first;
};
// The byte whose table unit equals the unit's two bytes (first table, first
// entry that matches), 0 when none does.
uint8_t vozGetSBCSchar_DBCS(const uint8_t* unit, const DBCS_TABLE_INFO* info);

// Alternative characters in the manner of the word-boundary codes: for each
// unit of the word (only the first when its precision is 100) for which
// `alternative` writes an alternative unit and returns true, the entry of
// that unit holds it with weight 100 (first unit) or 80. The buffer holds one
// zeroed entry per byte of the word and is freed again when no unit got an
// alternative. A failed allocation sets retcode 11 with `errcode` and returns
// 11; otherwise returns 0. Words without units get nothing.
typedef bool (*VOZ_ALTUNIT_FN)(const uint8_t* unit, uint8_t* altUnit);
int32_t vozSetAlterCharUnits(RTRVWORDEXT* word, GTRSTATUS* status, int width,
                             VOZ_ALTUNIT_FN alternative, int32_t errcode);

// Word start in the manner of the word-boundary codes: the first unit is
// VOZ_WORD_START when plain, else VOZ_WORD_NONE; a later plain unit is
// VOZ_WORD_CONT after a plain or joined unit and VOZ_WORD_START otherwise; a
// later joined unit VOZ_WORD_START; anything else VOZ_WORD_NONE.
// vozWordStartOf takes the two tests as function objects, so that a code's
// own word-start entry can have them inlined.
typedef bool (*VOZ_UNITTEST_FN)(const uint8_t* unit);
char vozWordStartUnits(const uint8_t* start, const uint8_t* unit, int width,
                       VOZ_UNITTEST_FN isPlain, VOZ_UNITTEST_FN isJoined);
template <typename Plain, typename Joined>
inline char vozWordStartOf(const uint8_t* start, const uint8_t* unit,
                           int width, Plain isPlain, Joined isJoined) {
    if (unit == start) return isPlain(unit) ? VOZ_WORD_START : VOZ_WORD_NONE;
    if (isPlain(unit)) {
        const uint8_t* before = unit - width;
        return (isPlain(before) || isJoined(before)) ? VOZ_WORD_CONT
                                                     : VOZ_WORD_START;
    }
    return isJoined(unit) ? VOZ_WORD_START : VOZ_WORD_NONE;
}

#endif  // VOZ_CPINFO_HPP
