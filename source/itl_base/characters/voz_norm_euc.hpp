// voz_norm_euc.hpp -- normalisers of EUC-JP (code 35) and EUC-TW (code 36).
//
// Two-byte units as for the ASCII-based double-byte pages: ASCII letters and
// digits and their full-width forms give (ASCII letter, mark), the wide blank
// A1 A1 and the space the blank unit, ASCII punctuation the unit of its
// full-width form, every other double-byte character its two bytes.
// Characters of the extra planes are moved into byte ranges no plain
// character uses:
//   EUC-JP 8F c1 c2 (JIS X 0212)      -> (c1 + 0xA0, c2)   first 0x41..0x9E
//   EUC-JP 8E k (half-width katakana) -> the full-width katakana unit
//   EUC-TW 8E A2 c1 c2 (plane 2)      -> (c1 + 0xA0, c2)
//   EUC-TW 8E p c1 c2 (planes 3..16)  -> odd planes (c1 - 0x60, c2 + 0xA0),
//                                        even planes (c1, c2 + 0xA0)
// so planes 3..16 share two unit ranges (unnormalised as planes 13 and 12).
// Argument conventions: the routine types of voz_cpinfo.hpp.
#ifndef VOZ_NORM_EUC_HPP
#define VOZ_NORM_EUC_HPP

#include <cstdint>

#include "characters/voz_cpinfo.hpp"

// Generated tables (voz_norm_euc_tab.cpp).
extern const uint8_t EUC_JP_2080[96][2];      // units of 0x20..0x7F
extern const uint8_t EUC_TW_2080[96][2];
extern const uint8_t tblEUC_JP_A0E5[69][2];   // 8E A0..8E E4

#define VOZ_EUC_PAGE(page)                                                    \
    int32_t vozConvert##page(const uint8_t* src, const uint8_t* srcEnd,       \
                             VOZ_CONTTEXT* cont, uint8_t ctlAsBlank,          \
                             uint8_t* out, int32_t* outLen, PTRDOCNORM* map,  \
                             const GTRCREATEPARM* cparm, uint8_t* state);     \
    char vozPointNextChar##page(const uint8_t* text, const uint8_t** next,    \
                                const uint8_t* end, VOZ_CONTTEXT* cont,       \
                                uint8_t ctlAsBlank,                           \
                                const GTRCREATEPARM* cparm, uint8_t* state);  \
    uint8_t vozGetSBCSchar##page(const uint8_t* unit);                        \
    int32_t vozSentenceEnd##page(const uint8_t* unit);                        \
    int32_t vozUnnormalize##page(const uint8_t* units,                        \
                                 const uint8_t* unitsEnd, uint8_t flag,       \
                                 uint8_t* out, int32_t capacity,              \
                                 int32_t* written, uint8_t* state);

VOZ_EUC_PAGE(EucJP)   // sentence end A1 A3
VOZ_EUC_PAGE(EucTW)   // sentence end A1 A4
#undef VOZ_EUC_PAGE

#endif  // VOZ_NORM_EUC_HPP
