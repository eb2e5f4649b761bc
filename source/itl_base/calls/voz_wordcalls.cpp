// voz_wordcalls.cpp -- GTRnormalizeWord, GTRunnormalizeWord, VOZStemUtil.
//
// Thin calls over the call layer's normaliser, the character layer's
// unnormaliser and the stemmer; the thesaurus library and the builder's key
// readers use them.
#include "calls/voz_wordcalls.hpp"

#include <cctype>
#include <cstring>
#include <vector>

#include "calls/voz_normline.hpp"
#include "calls/voz_stem.hpp"

void GTRnormalizeWord(uint8_t codepage, const uint8_t* word, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      int32_t mode, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if ((mode != 1 && mode != 2) || outLen == nullptr ||
        (word == nullptr && length > 0) || (out == nullptr && outSize > 0)) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_NORMWORD_MODE);
        return;
    }
    vozNormalizeWord(codepage, word, length, out, outSize, outLen, mode,
                     nullptr, gsp);
}

void GTRunnormalizeWord(uint8_t codepage, const uint8_t* key, int32_t length,
                        uint8_t* out, int32_t outSize, int32_t* outLen,
                        int32_t mode, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    if ((mode != 1 && mode != 2) || outLen == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_UNNORMWORD_MODE);
        return;
    }
    VOZ_CPINFO cp{};
    cp.callerCodePage = codepage;
    cp.code = codepage;
    vozCHsetCPInfo(&cp);
    vozUnnormalizeUnits(cp, key, length, out, outSize, outLen,
                        mode == 1 ? 0 : VOZ_NORM_FLAT,
                        VOZ_EC_UNNORMWORD_CONVERT, gsp);
}

void UnUnnormalizeAlpha(uint8_t* units, int32_t length, const char* text) {
    for (int32_t i = 0; i < length; ++i) {
        units[2 * i] = (uint8_t)toupper((unsigned char)text[i]);
        units[2 * i + 1] = VOZ_MARK_NOCASE;
    }
}

int32_t VOZStemUtil(const char* word, const char* word2, int32_t len2,
                    GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    STEMCTL sc{};
    const int32_t len = word != nullptr ? (int32_t)strnlen(word, 4096) : 0;
    // Longer words than the stemmer takes are refused by it; units are
    // made only for what it may read, plus one unit to be refused.
    const int32_t take = len < VOZ_STEM_MAX_LETTERS + 1 ? len
                                                        : VOZ_STEM_MAX_LETTERS + 1;
    std::vector<uint8_t> units((size_t)(2 * take + 2));
    UnUnnormalizeAlpha(units.data(), take, word);
    sc.word = word != nullptr ? units.data() : nullptr;
    sc.length = 2 * take;
    int32_t prefix = 0;
    vozStemming(&sc, 2, &prefix, nullptr, 0, 0, gsp);
    if (voz_Failed(gsp)) return 0;
    if (word2 == nullptr || len2 < 1) return prefix / 2;
    const int32_t take2 = len2 < VOZ_STEM_MAX_LETTERS + 1 ? len2
                                                          : VOZ_STEM_MAX_LETTERS + 1;
    std::vector<uint8_t> units2((size_t)(2 * take2));
    UnUnnormalizeAlpha(units2.data(), take2, word2);
    return vozStemming(&sc, 2, nullptr, units2.data(), 2 * take2, 0, gsp);
}
