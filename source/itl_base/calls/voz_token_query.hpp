// voz_token_query.hpp -- the query-text language: the characters that the
// tokenizers of query text and mixed query text recognise in each code
// page, the option handlers of a term and of a parenthesised group, the
// item conditions of mixed query text, and the helpers they share.
//
// Query text is read as normalised units (one unit per character,
// vozCHlen bytes), NUL-terminated; a unit is compared with a character
// through vozCHcmp. A term is a word, a "double-quoted" word or a
// 'back-reference' file name, followed by options in the fixed order
//   %precision  @range  #case  <mask>  $weight  /S
// a group ")" takes "@range" and "$weight". Mixed query text adds item
// conditions between backquotes: `Tn=value#C<*?>` and `Nn=value` or
// `Nn=[low,high)` (voz_itemtoken.cpp).
//
// Every function reports failure only through the status (retcode and
// errcode); an option that fails leaves the element partly filled and any
// array it made freed.
#ifndef VOZ_TOKEN_QUERY_HPP
#define VOZ_TOKEN_QUERY_HPP

#include <cstdint>

#include "calls/voz_postfix.hpp"
#include "calls/voz_querywork.hpp"

// Indexes of the nine token characters of a code page.
enum : int {
    VOZ_TK_PRECISION = 0,
    VOZ_TK_RANGE = 1,
    VOZ_TK_CASE = 2,
    VOZ_TK_MASK = 3,
    VOZ_TK_WEIGHT = 4,
    VOZ_TK_START = 5,
    VOZ_TK_BLANK = 6,
    VOZ_TK_OPEN = 7,
    VOZ_TK_CLOSE = 8,
    VOZ_TK_COUNT = 9
};

// The nine token characters of the code page (by its internal code).
const uint8_t* vozGetTokenChar(VOZ_CPINFO cp);
// The five characters of a group: range, weight, blank, '(' and ')'.
const uint8_t* vozGetTokenCharForSubQuery(VOZ_CPINFO cp);
// The five item token characters: case, mask, weight, start, blank.
const uint8_t* vozGetItemTokenChar(VOZ_CPINFO cp);
uint8_t vozGetDoubleQuote(VOZ_CPINFO cp);
uint8_t vozGetBackQuote(VOZ_CPINFO cp);
uint8_t vozGetSingleNot(VOZ_CPINFO cp);

// A stretch of units [p, end) of one code page, with the comparisons the
// tokenizers need.
struct VozUnits {
    VOZ_CPINFO cp;
    int16_t w;      // unit width
    // True when the unit at p (before end) is the character ch.
    bool is(const uint8_t* p, const uint8_t* end, uint8_t ch) const;
    // The single-byte character of the unit at p (0 when none).
    uint8_t chr(const uint8_t* p) const;
    // The decimal digit at p (0..9), or -1.
    int digit(const uint8_t* p, const uint8_t* end) const;
    // Units between p and end.
    int32_t count(const uint8_t* p, const uint8_t* end) const {
        return static_cast<int32_t>((end - p) / w);
    }
};
VozUnits vozUnits(VOZ_CPINFO cp);
// The end of the NUL-terminated unit text that starts at p.
uint8_t* vozUnitTextEnd(const VozUnits& u, uint8_t* p);
// The start of a tokenizer call: clears the element, finds the end of the
// text (*end) and skips the blank units at pos. Returns the first unit of
// the token, or null when the text ends (the element is then the end
// element).
uint8_t* vozTokenStart(const VozUnits& u, uint8_t* pos, PFELEMENT* e,
                       uint8_t** end);
// The first unit in [p, end) that is one of the `n` characters chars[0..n),
// or end.
const uint8_t* vozFindUnit(const VozUnits& u, const uint8_t* p,
                           const uint8_t* end, const uint8_t* chars, int n);

// Reads decimal digits at *pos (at most 15 are kept, more are passed
// over) and moves *pos past them; returns the value. No digit: 0, *pos
// unchanged, no error. A value above 65535: 0 with 120/1757.
uint16_t vozAnalyzeNumber(VOZ_CPINFO cp, const uint8_t** pos,
                          const uint8_t* end, GTRSTATUS* gsp);

// Option handlers: (first unit after the option character, end of the
// option, element, code page, work area, status).
typedef void (*VOZ_OPTION_FN)(const uint8_t* start, const uint8_t* end,
                              PFELEMENT* e, VOZ_CPINFO cp, QUERYWORK* work,
                              GTRSTATUS* gsp);
void vozPrecisionToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                       VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
void vozRangeToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                   VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
void vozCaseToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                  VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
void vozMaskChar(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                 VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
void vozWeightToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                    VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
void vozStartOption(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                    VOZ_CPINFO cp, QUERYWORK* work, GTRSTATUS* gsp);
// Indexed by option 0..5 (term) and 0..1 (group: range, weight).
extern const VOZ_OPTION_FN HandleToken[6];
extern const VOZ_OPTION_FN HandleTokenForSubQuery[2];

// Writes the trace records of a failing option (its error text, then
// "startp" with the option's units) and flushes the trace; nothing while
// the trace is off.
void vozTraceOptionError(const char* text, const uint8_t* start,
                         const uint8_t* end);

// The bytes of the unnormalised text that the units [first, last) of the
// normalised text `normStart` stand for: leading blanks of the unnormalised
// text [orgText, orgEnd) are stripped, then one character is stepped over
// per unit. *outStart and *outLen receive the span (*outLen 0 when the
// text ends first).
void vozExtractOrgStr(VOZ_CPINFO cp, const uint8_t* orgText,
                      const uint8_t* orgEnd, const uint8_t* normStart,
                      const uint8_t* first, const uint8_t* last,
                      const uint8_t** outStart, int32_t* outLen);

// ---- item conditions of mixed query text (voz_itemtoken.cpp) ----------------

// Reads the item condition [start, end) (between the backquotes) and
// translates it into the element's word; the element keeps a copy of the
// item. Failures 102/1724 .. 102/1747, 105/1729, 106, 111 and those of the
// item translators.
void vozItemToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                  VOZ_CPINFO cp, const uint8_t* unnorm,
                  const uint8_t* normStart, GTRSTATUS* gsp);
void vozNumItemToken(const uint8_t* start, const uint8_t* end,
                     SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp);
void vozCharItemToken(const uint8_t* start, const uint8_t* end,
                      SEARCHITEM* item, VOZ_CPINFO cp, const uint8_t* unnorm,
                      const uint8_t* normStart, GTRSTATUS* gsp);
void vozItemCaseToken(const uint8_t* start, const uint8_t* end,
                      SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp);
void vozItemMaskChar(const uint8_t* start, const uint8_t* end,
                     SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp);

// Decimal text with "." as the decimal point, whatever the process locale,
// to a double (the process locale is not touched).
double voz_A2F(const char* text);

#endif  // VOZ_TOKEN_QUERY_HPP
