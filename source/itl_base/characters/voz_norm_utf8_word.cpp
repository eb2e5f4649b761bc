// voz_norm_utf8_word.cpp -- word boundaries and Turkish rules of UTF-8 units.
//
// Characters of the joining range (U+A48D..U+E7FF, Hangul among them) that
// the converter joined across blanks carry their first byte raised by 0x10
// (FA..FE). A search word may have been written with or without the blank,
// so every such unit gets the other form as its alternative, and the word
// start of a unit tells the search whether it may begin a word there.
#include "characters/voz_norm_utf8.hpp"

#include "characters/voz_cut.hpp"

namespace {

// Plain units of the joining range: first byte EA..ED, or EE with a second
// byte up to 9F.
bool isPlainJoinUnit(const uint8_t* u) {
    return (u[0] >= 0xEA && u[0] <= 0xED) || (u[0] == 0xEE && u[1] <= 0x9F);
}

bool isJoinedUnit(const uint8_t* u) { return u[0] >= 0xFA && u[0] <= 0xFE; }

bool joinAlternative(const uint8_t* u, uint8_t* alt) {
    if (isPlainJoinUnit(u)) alt[0] = (uint8_t)(u[0] + 0x10);
    else if (isJoinedUnit(u)) alt[0] = (uint8_t)(u[0] - 0x10);
    else return false;
    alt[1] = u[1];
    alt[2] = u[2];
    return true;
}

}  // namespace

int32_t vozSetAlterCharUTF8(RTRVWORDEXT* word, GTRSTATUS* status) {
    return vozSetAlterCharUnits(word, status, VOZ_UNIT_WIDTH_UTF8,
                                joinAlternative, 1999);
}

char vozWordStartUTF8(const uint8_t* start, const uint8_t* unit) {
    return vozWordStartOf(
        start, unit, VOZ_UNIT_WIDTH_UTF8,
        [](const uint8_t* u) { return isPlainJoinUnit(u); },
        [](const uint8_t* u) { return isJoinedUnit(u); });
}

void vozConvertTurkey(uint8_t* units, int32_t* length, int32_t direction) {
    if (!direction) return;
    for (int32_t i = 0; i + VOZ_UNIT_WIDTH_UTF8 <= *length;
         i += VOZ_UNIT_WIDTH_UTF8) {
        uint8_t* u = units + i;
        for (int k = 0; k < 2; ++k)
            if (u[0] == turkeytable[k][0] && u[1] == turkeytable[k][1] &&
                u[2] == turkeytable[k][2]) {
                u[0] = turkeytable[k + 2][0];
                u[1] = turkeytable[k + 2][1];
                u[2] = turkeytable[k + 2][2];
                break;
            }
    }
}
