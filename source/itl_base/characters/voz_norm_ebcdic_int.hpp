// voz_norm_ebcdic_int.hpp -- pieces shared by the EBCDIC normalisers.
//
// The mixed pages share one character routine (a page record says which
// tables apply) and every EBCDIC page shares the unnormaliser frame, which
// writes shift-out/shift-in around double-byte stretches.
#ifndef VOZ_NORM_EBCDIC_INT_HPP
#define VOZ_NORM_EBCDIC_INT_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

constexpr uint8_t VOZ_EBCDIC_SO = 0x0E;     // shift-out: double-byte follows
constexpr uint8_t VOZ_EBCDIC_SI = 0x0F;     // shift-in: single-byte follows
constexpr uint8_t VOZ_EBCDIC_BLANK = 0x40;

// A mixed page.
struct VOZ_EBCDIC_MIXED {
    const uint8_t (*table)[2];    // units of the single bytes 0x40..0xFF
    const uint8_t (*voiced)[2];   // Japanese pages: kana voicing, else null
    bool korean;                  // Korean letter rows and joining
};

// What one step over mixed text found.
struct VOZ_EBCDIC_STEP {
    int32_t len;                  // bytes of the text taken (1 or 2)
    bool hasUnit;                 // false for a shift byte
    bool hangul;                  // a Korean syllable (lead 0x84..0xD3)
    uint8_t unit[2];
};
// One character (or shift byte) of mixed text at p (p < end); a voiced mark
// taken from the continuation text advances cont->text by one.
void vozEbcdicMixedStep(const VOZ_EBCDIC_MIXED* page, const uint8_t* p,
                        const uint8_t* end, VOZ_CONTTEXT* cont,
                        uint8_t ctlAsBlank, uint8_t* state,
                        VOZ_EBCDIC_STEP* step);
// Class letter of a unit: 'B' blank, 'A' letter, 'N' digit, else 'O'.
char vozEbcdicUnitClass(const uint8_t* unit);

inline bool vozEbcdicIsBlankUnit(const uint8_t* u) {
    return u[0] == 0x20 && u[1] == VOZ_MARK_BLANK;
}
// A single-byte unit: (character, mark) or (byte, 0xFF).
inline bool vozEbcdicIsSingleUnit(const uint8_t* u) {
    return u[1] < 0x20 || u[1] == 0xFF;
}

// Korean joined syllables: the lead moved out of 0x84..0xD3.
bool vozEbcdicKOKRisJoined(const uint8_t* u);
uint8_t vozEbcdicKOKRplainLead(uint8_t joinedLead);
uint8_t vozEbcdicKOKRjoinedLead(uint8_t plainLead);

// Kinds of page for the unnormaliser frame.
enum : int {
    VOZ_EBCDIC_KIND_SINGLE = 0,   // single-byte page
    VOZ_EBCDIC_KIND_MIXED = 1,    // mixed page: full-width Latin units
    VOZ_EBCDIC_KIND_KOREAN = 3,   // mixed page with joined syllables
};
// Unnormaliser frame of every EBCDIC page. Single-byte units become the byte
// found in `primary` (marks 2 and 3 read as 1), else in `secondary` (when
// given; first with the mark read as 1, then as it stands); on mixed pages a
// letter or digit unit with a character of 0x80 and up is a full-width Latin
// character and comes back as 42 xx; anything else as byte 0 of the unit.
// On the Korean page with flag 0 a joined syllable comes back as a blank and
// the syllable. A unit whose bytes do not all fit is not written.
int32_t vozEbcdicUnnormalize(const uint8_t* units, const uint8_t* unitsEnd,
                             uint8_t flag, uint8_t* out, int32_t capacity,
                             int32_t* written, uint8_t* state,
                             const DBCS_TABLE_INFO* primary,
                             const DBCS_TABLE_INFO* secondary, int kind);

#endif  // VOZ_NORM_EBCDIC_INT_HPP
