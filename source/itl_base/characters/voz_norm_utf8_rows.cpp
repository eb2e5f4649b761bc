// voz_norm_utf8_rows.cpp -- row descriptors and row handlers of the UTF-8
// normaliser.
//
// vozUTF8unit (voz_norm_utf8.cpp) picks a row by the leading bytes of a
// character and lets the row's handler write the unit. The 64-entry tables
// that the rows point to are generated (voz_cptab_uni.cpp); row C2 is the
// only one given by parameters: all of U+0080..U+00BF are symbols (mark 4).
#include "characters/voz_norm_utf8.hpp"

void GetCharFromParameterUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                              uint8_t* unit) {
    unit[1] = key;
    unit[2] = key > row->threshold ? row->highMark : row->lowMark;
}

void GetCharFrom2BytesTableUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                uint8_t* unit) {
    unit[1] = row->tab2[key - 0x80][0];
    unit[2] = row->tab2[key - 0x80][1];
}

void GetCharFrom3BytesTableUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                uint8_t* unit) {
    unit[0] = row->tab3[key - 0x80][0];
    unit[1] = row->tab3[key - 0x80][1];
    unit[2] = row->tab3[key - 0x80][2];
}

void GetCharFromParaWithMinusUTF8(const VOZ_UTF8ROW* row, uint8_t key,
                                  uint8_t* unit) {
    uint8_t second = unit[1];
    unit[0] = (uint8_t)(second - row->subtrahend);
    unit[1] = key;
    unit[2] = row->highMark;
    if (second == 0xBA || second == 0xBB) {
        unit[0] = (uint8_t)(second - 0x80);
        unit[2] = VOZ_MARK_NOCASE;
    }
}

void GetCharAsIsUTF8(const VOZ_UTF8ROW*, uint8_t, uint8_t*) {}

#define VOZ_ROW3(tab) {GetCharFrom3BytesTableUTF8, nullptr, tab, 0, 0, 0, 0}

const VOZ_UTF8ROW tblUTF8_2BYTES[30] = {
    {GetCharFromParameterUTF8, nullptr, nullptr, 0, VOZ_MARK_PUNCT,
     VOZ_MARK_PUNCT, 0},
    VOZ_ROW3(tblUTF8_C380_C3BF), VOZ_ROW3(tblUTF8_C480_C4BF),
    VOZ_ROW3(tblUTF8_C580_C5BF), VOZ_ROW3(tblUTF8_C680_C6BF),
    VOZ_ROW3(tblUTF8_C780_C7BF), VOZ_ROW3(tblUTF8_C880_C8BF),
    VOZ_ROW3(tblUTF8_C980_C9BF), VOZ_ROW3(tblUTF8_CA80_CABF),
    VOZ_ROW3(tblUTF8_CB80_CBBF), VOZ_ROW3(tblUTF8_CC80_CCBF),
    VOZ_ROW3(tblUTF8_CD80_CDBF), VOZ_ROW3(tblUTF8_CE80_CEBF),
    VOZ_ROW3(tblUTF8_CF80_CFBF), VOZ_ROW3(tblUTF8_D080_D0BF),
    VOZ_ROW3(tblUTF8_D180_D1BF), VOZ_ROW3(tblUTF8_D280_D2BF),
    VOZ_ROW3(tblUTF8_D380_D3BF), VOZ_ROW3(tblUTF8_D480_D4BF),
    VOZ_ROW3(tblUTF8_D580_D5BF), VOZ_ROW3(tblUTF8_D680_D6BF),
    VOZ_ROW3(tblUTF8_D780_D7BF), VOZ_ROW3(tblUTF8_D880_D8BF),
    VOZ_ROW3(tblUTF8_D980_D9BF), VOZ_ROW3(tblUTF8_DA80_DABF),
    VOZ_ROW3(tblUTF8_DB80_DBBF), VOZ_ROW3(tblUTF8_DC80_DCBF),
    VOZ_ROW3(tblUTF8_DD80_DDBF), VOZ_ROW3(tblUTF8_DE80_DEBF),
    VOZ_ROW3(tblUTF8_DF80_DFBF),
};

// Myanmar, Georgian and the Hangul letters (U+1000..U+11FF).
const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_E18080[8] = {
    VOZ_ROW3(tblUTF8_E18080_E180BF), VOZ_ROW3(tblUTF8_E18180_E181BF),
    VOZ_ROW3(tblUTF8_E18280_E182BF), VOZ_ROW3(tblUTF8_E18380_E183BF),
    VOZ_ROW3(tblUTF8_E18480_E184BF), VOZ_ROW3(tblUTF8_E18580_E185BF),
    VOZ_ROW3(tblUTF8_E18680_E186BF), VOZ_ROW3(tblUTF8_E18780_E187BF),
};

// Latin Extended Additional and Greek Extended (U+1E00..U+1FFF).
const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_E1B880[8] = {
    VOZ_ROW3(tblUTF8_E1B880_E1B8BF), VOZ_ROW3(tblUTF8_E1B980_E1B9BF),
    VOZ_ROW3(tblUTF8_E1BA80_E1BABF), VOZ_ROW3(tblUTF8_E1BB80_E1BBBF),
    VOZ_ROW3(tblUTF8_E1BC80_E1BCBF), VOZ_ROW3(tblUTF8_E1BD80_E1BDBF),
    VOZ_ROW3(tblUTF8_E1BE80_E1BEBF), VOZ_ROW3(tblUTF8_E1BF80_E1BFBF),
};

// U+FE00..U+FFFF: variation selectors and vertical forms, small forms,
// Arabic presentation forms (moved down by 0x80 in the first byte, the byte
// order mark of row BB excepted), half-width and full-width forms.
const VOZ_UTF8ROW tblUTF8_3BYTES_FROM_EFB880[8] = {
    VOZ_ROW3(tblUTF8_EFB880_EFB8BF), VOZ_ROW3(tblUTF8_EFB980_EFB9BF),
    {GetCharFromParaWithMinusUTF8, nullptr, nullptr, 0, 0, VOZ_MARK_NOCASE,
     0x80},
    VOZ_ROW3(tblUTF8_EFBB80_EFBBBF),
    VOZ_ROW3(tblUTF8_EFBC80_EFBCBF), VOZ_ROW3(tblUTF8_EFBD80_EFBDBF),
    VOZ_ROW3(tblUTF8_EFBE80_EFBEBF), VOZ_ROW3(tblUTF8_EFBF80_EFBFBF),
};
#undef VOZ_ROW3
