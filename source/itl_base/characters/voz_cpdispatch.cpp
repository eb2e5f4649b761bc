// voz_cpdispatch.cpp -- the eight dispatch tables of the code pages.
//
// Each table is indexed by the internal code (entry 0 empty). The routines
// of the ASCII-based pages are in voz_norm_ascii.cpp and voz_norm_dbcs*.cpp,
// those of the EBCDIC pages in voz_norm_ebcdic*.cpp, those of UTF-8 and EUC
// in voz_norm_utf8*.cpp and voz_norm_euc*.cpp. An entry left null makes its
// dispatcher return its error result (voz_cpinfo.cpp).
#include "characters/voz_cpinfo.hpp"
#include "characters/voz_norm_ascii.hpp"
#include "characters/voz_norm_dbcs.hpp"
#include "characters/voz_norm_ebcdic.hpp"
#include "characters/voz_norm_euc.hpp"
#include "characters/voz_norm_utf8.hpp"

const VOZ_CONVERT_FN ConvertInto2[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozConvertInto2Sjis,          // 1
    vozConvertInto2Big5,          // 2
    vozConvertInto2KOKR,          // 3
    vozConvert_1381,              // 4
    vozConvertInto2Alt850,        // 5
    vozConvert850,                // 6
    vozConvert88591,              // 7
    vozConvert1252,               // 8
    vozConvert_SCHNWIN,           // 9
    vozConvertEbcdicKanaKanji,  // 10
    vozConvertEbcdicLatinKanji,  // 11
    vozConvertEbcdicTChn,  // 12
    vozConvertEbcdicKOKR,  // 13
    vozConvertEbcdicSChn,  // 14
    vozConvertEbcdic500,  // 15
    vozConvert1250,               // 16
    vozConvert1251,               // 17
    vozConvert1253,               // 18
    vozConvert1254,               // 19
    vozConvert1255,               // 20
    vozConvert1256,               // 21
    vozConvert1257,               // 22
    vozConvert1258,               // 23
    vozConvert874,                // 24
    vozConvertEbcdicTHAI,  // 25
    vozConvertEbcdicLATIN2,  // 26
    vozConvertEbcdicCYRILLIC,  // 27
    vozConvertEbcdicTURKEY,  // 28
    vozConvertEbcdicGREEK,  // 29
    vozConvertEbcdicHEBREW,  // 30
    vozConvertEbcdicARABIC,  // 31
    vozConvertEbcdicBALTIC,  // 32
    vozConvertEbcdicESTONIA,  // 33
    vozConvertUTF8,  // 34
    vozConvertEucJP,  // 35
    vozConvertEucTW,  // 36
    vozConvertUTF8TURKEY,  // 37
};

const VOZ_CONVERT_FN ConvertInto2Flat[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozConvertInto2Sjis,          // 1
    vozConvertInto2Big5,          // 2
    vozConvertInto2FlatKOKR,      // 3
    vozConvert_1381,              // 4
    vozConvertInto2Alt850,        // 5
    vozConvert850,                // 6
    vozConvert88591,              // 7
    vozConvert1252,               // 8
    vozConvert_SCHNWIN,           // 9
    vozConvertEbcdicKanaKanji,  // 10
    vozConvertEbcdicLatinKanji,  // 11
    vozConvertEbcdicTChn,  // 12
    vozConvertFlatEbcdicKOKR,  // 13
    vozConvertEbcdicSChn,  // 14
    vozConvertEbcdic500,  // 15
    vozConvert1250,               // 16
    vozConvert1251,               // 17
    vozConvert1253,               // 18
    vozConvert1254,               // 19
    vozConvert1255,               // 20
    vozConvert1256,               // 21
    vozConvert1257,               // 22
    vozConvert1258,               // 23
    vozConvert874,                // 24
    vozConvertEbcdicTHAI,  // 25
    vozConvertEbcdicLATIN2,  // 26
    vozConvertEbcdicCYRILLIC,  // 27
    vozConvertEbcdicTURKEY,  // 28
    vozConvertEbcdicGREEK,  // 29
    vozConvertEbcdicHEBREW,  // 30
    vozConvertEbcdicARABIC,  // 31
    vozConvertEbcdicBALTIC,  // 32
    vozConvertEbcdicESTONIA,  // 33
    vozConvertFlatUTF8,  // 34
    vozConvertEucJP,  // 35
    vozConvertEucTW,  // 36
    vozConvertFlatUTF8TURKEY,  // 37
};

const VOZ_GETSBCS_FN GetSBCSchar[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozGetSBCScharSjis,           // 1
    vozGetSBCScharBig5,           // 2
    vozGetSBCScharKOKR,           // 3
    vozGetSBCScharSCHN,           // 4
    vozGetSBCScharAlt850,         // 5
    vozGetSBCSchar_SBCS,          // 6
    vozGetSBCSchar_SBCS,          // 7
    vozGetSBCSchar_SBCS,          // 8
    vozGetSBCScharSCHN,           // 9
    vozGetSBCScharEbcdicKanaKanji,  // 10
    vozGetSBCScharEbcdicLatinKanji,  // 11
    vozGetSBCScharEbcdicTChn,  // 12
    vozGetSBCScharEbcdicKOKR,  // 13
    vozGetSBCScharEbcdicSChn,  // 14
    vozGetSBCSchar_SBCSEbcdic500,  // 15
    vozGetSBCSchar_SBCS,          // 16
    vozGetSBCSchar_SBCS,          // 17
    vozGetSBCSchar_SBCS,          // 18
    vozGetSBCSchar_SBCS,          // 19
    vozGetSBCSchar_SBCS,          // 20
    vozGetSBCSchar_SBCS,          // 21
    vozGetSBCSchar_SBCS,          // 22
    vozGetSBCSchar_SBCS,          // 23
    vozGetSBCSchar_SBCS,          // 24
    vozGetSBCSchar_SBCSEbcdicTHAI,  // 25
    vozGetSBCSchar_SBCSEbcdicLATIN2,  // 26
    vozGetSBCSchar_SBCSEbcdicCYRILLIC,  // 27
    vozGetSBCSchar_SBCSEbcdicTURKEY,  // 28
    vozGetSBCSchar_SBCSEbcdicGREEK,  // 29
    vozGetSBCSchar_SBCSEbcdicHEBREW,  // 30
    vozGetSBCSchar_SBCSEbcdicARABIC,  // 31
    vozGetSBCSchar_SBCSEbcdicBALTIC,  // 32
    vozGetSBCSchar_SBCSEbcdicESTONIA,  // 33
    vozGetSBCScharUTF8,  // 34
    vozGetSBCScharEucJP,  // 35
    vozGetSBCScharEucTW,  // 36
    vozGetSBCScharUTF8,  // 37
};

const VOZ_NEXTCHAR_FN PointNextChar[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozPointNextCharSjis,         // 1
    vozPointNextCharBig5,         // 2
    vozPointNextCharKOKR,         // 3
    vozPointNextChar_1381,        // 4
    vozPointNextCharAlt850,       // 5
    vozPointNextChar850,          // 6
    vozPointNextChar88591,        // 7
    vozPointNextChar1252,         // 8
    vozPointNextChar_SCHNWIN,     // 9
    vozPointNextCharEbcdicKanaKanji,  // 10
    vozPointNextCharEbcdicLatinKanji,  // 11
    vozPointNextCharEbcdicChn,  // 12
    vozPointNextCharEbcdicKOKR,  // 13
    vozPointNextCharEbcdicChn,  // 14
    vozPointNextCharEbcdic500,  // 15
    vozPointNextChar1250,         // 16
    vozPointNextChar1251,         // 17
    vozPointNextChar1253,         // 18
    vozPointNextChar1254,         // 19
    vozPointNextChar1255,         // 20
    vozPointNextChar1256,         // 21
    vozPointNextChar1257,         // 22
    vozPointNextChar1258,         // 23
    vozPointNextChar874,          // 24
    vozPointNextCharEbcdicTHAI,  // 25
    vozPointNextCharEbcdicLATIN2,  // 26
    vozPointNextCharEbcdicCYRILLIC,  // 27
    vozPointNextCharEbcdicTURKEY,  // 28
    vozPointNextCharEbcdicGREEK,  // 29
    vozPointNextCharEbcdicHEBREW,  // 30
    vozPointNextCharEbcdicARABIC,  // 31
    vozPointNextCharEbcdicBALTIC,  // 32
    vozPointNextCharEbcdicESTONIA,  // 33
    vozPointNextCharUTF8,  // 34
    vozPointNextCharEucJP,  // 35
    vozPointNextCharEucTW,  // 36
    vozPointNextCharUTF8,  // 37
};

const VOZ_SENTENCEEND_FN SentenceEnd[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozSentenceEndSjis,           // 1
    vozSentenceEndBig5,           // 2
    vozSentenceEndKOKR,           // 3
    vozSentenceEndSCHN,           // 4
    vozSentenceEndAlt850,         // 5
    vozSentenceEnd850,            // 6
    vozSentenceEnd88591,          // 7
    vozSentenceEnd1252,           // 8
    vozSentenceEndSCHN,           // 9
    vozSentenceEndEbcdicKanji,  // 10
    vozSentenceEndEbcdicKanji,  // 11
    vozSentenceEndEbcdicTChn,  // 12
    vozSentenceEndEbcdicKOKR,  // 13
    vozSentenceEndEbcdicSChn,  // 14
    vozSentenceEndEbcdic500,  // 15
    vozSentenceEnd1250,           // 16
    vozSentenceEnd1251,           // 17
    vozSentenceEnd1253,           // 18
    vozSentenceEnd1254,           // 19
    vozSentenceEnd1255,           // 20
    vozSentenceEnd1256,           // 21
    vozSentenceEnd1257,           // 22
    vozSentenceEnd1258,           // 23
    vozSentenceEnd874,            // 24
    vozSentenceEndEbcdicTHAI,  // 25
    vozSentenceEndEbcdicLATIN2,  // 26
    vozSentenceEndEbcdicCYRILLIC,  // 27
    vozSentenceEndEbcdicTURKEY,  // 28
    vozSentenceEndEbcdicGREEK,  // 29
    vozSentenceEndEbcdicHEBREW,  // 30
    vozSentenceEndEbcdicARABIC,  // 31
    vozSentenceEndEbcdicBALTIC,  // 32
    vozSentenceEndEbcdicESTONIA,  // 33
    vozSentenceEndUTF8,  // 34
    vozSentenceEndEucJP,  // 35
    vozSentenceEndEucTW,  // 36
    vozSentenceEndUTF8,  // 37
};

const VOZ_SETALTER_FN SetAlterChar[VOZ_CP_TABLE_SIZE] = {
    nullptr, nullptr,
    nullptr,                      // 2
    vozSetAlterCharKOKR,          // 3
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 4-9
    nullptr, nullptr, nullptr,    // 10-12
    vozSetAlterCharEbcdicKOKR,  // 13
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 14-19
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 20-25
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 26-31
    nullptr, nullptr,             // 32-33
    vozSetAlterCharUTF8,  // 34
    nullptr, nullptr,             // 35-36
    vozSetAlterCharUTF8,  // 37
};

const VOZ_WORDSTART_FN WordStart[VOZ_CP_TABLE_SIZE] = {
    nullptr, nullptr,
    nullptr,                      // 2
    vozWordStartKOKR,             // 3
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 4-9
    nullptr, nullptr, nullptr,    // 10-12
    vozWordStartEbcdicKOKR,  // 13
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 14-19
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 20-25
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 26-31
    nullptr, nullptr,             // 32-33
    vozWordStartUTF8,  // 34
    nullptr, nullptr,             // 35-36
    vozWordStartUTF8,  // 37
};

const VOZ_UNNORM_FN Unnormalize[VOZ_CP_TABLE_SIZE] = {
    nullptr,
    vozUnnormalize,               // 1
    vozUnnormalize,               // 2
    vozUnnormalizeKOKR,           // 3
    vozUnnormalize,               // 4
    vozUnnormalizeAlt850,         // 5
    vozUnnormalize,               // 6
    vozUnnormalize,               // 7
    vozUnnormalize,               // 8
    vozUnnormalize,               // 9
    vozUnnormalizeEbcdic,  // 10
    vozUnnormalizeEbcdic,  // 11
    vozUnnormalizeEbcdic,  // 12
    vozUnnormalizeEbcdicKOKR,  // 13
    vozUnnormalizeEbcdic,  // 14
    vozUnnormalizeEbcdic500,  // 15
    vozUnnormalize,               // 16
    vozUnnormalize,               // 17
    vozUnnormalize,               // 18
    vozUnnormalize,               // 19
    vozUnnormalize,               // 20
    vozUnnormalize,               // 21
    vozUnnormalize,               // 22
    vozUnnormalize,               // 23
    vozUnnormalize,               // 24
    vozUnnormalizeEbcdicTHAI,  // 25
    vozUnnormalizeEbcdicLATIN2,  // 26
    vozUnnormalizeEbcdicCYRILLIC,  // 27
    vozUnnormalizeEbcdicTURKEY,  // 28
    vozUnnormalizeEbcdicGREEK,  // 29
    vozUnnormalizeEbcdicHEBREW,  // 30
    vozUnnormalizeEbcdicARABIC,  // 31
    vozUnnormalizeEbcdicBALTIC,  // 32
    vozUnnormalizeEbcdicESTONIA,  // 33
    vozUnnormalizeUTF8,  // 34
    vozUnnormalizeEucJP,  // 35
    vozUnnormalizeEucTW,  // 36
    vozUnnormalizeUTF8TURKEY,  // 37
};
