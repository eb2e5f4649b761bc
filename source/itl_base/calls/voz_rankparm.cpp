// voz_rankparm.cpp -- the steps between the translation of a condition and
// its evaluation (see voz_gtrsearch.hpp): the ranking parameters, the
// operator modes and the preparation of the search words.
#include <cstdlib>
#include <cstring>

#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_stem.hpp"
#include "characters/voz_cpinfo.hpp"
#include "characters/voz_cut.hpp"

namespace {

// Weighting bits that need the caller's ranking callback.
constexpr uint8_t kCallbackBits = 0xCE;
// The default ranking constants: a block of 32 bytes, two floats used.
constexpr size_t kTuningBytes = 32;
constexpr float kTuningDefaults[2] = {0.2f, 0.5f};

// The creation parameters a word is prepared with: the item half's for
// item operands when both halves are given, else whichever is given.
const GTRCREATEPARM* parmOfWord(const RTRVWORDEXT& w,
                                const GTRCREATEPARM* textParm,
                                const GTRCREATEPARM* itemParm) {
    const bool item = w.wi.type == 'E' || w.wi.type == 'F';
    if (item && itemParm != nullptr) return itemParm;
    return textParm != nullptr ? textParm : itemParm;
}

bool isZeroUnit(const uint8_t* unit) {
    for (int i = 0; i < VOZ_UNIT_FIELD; ++i)
        if (unit[i] != 0) return false;
    return true;
}

// The mask characters of a word: different when both are given, each given
// one a unit of the code page that is neither letter nor digit.
bool prepareMasks(RTRVWORDEXT& w, VOZ_CPINFO cp, const GTRCREATEPARM* p,
                  GTRSTATUS* gsp) {
    const char* m = w.wi.mask;
    if (m[0] != 0 && m[0] == m[1]) {
        voz_setStatus(gsp, 111, 1109);
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (m[i] == 0) continue;
        if (isZeroUnit(w.mask_unit[i]))
            vozCHcpy(cp, w.mask_unit[i], static_cast<uint8_t>(m[i]), p);
        if (vozCHalphaNum(cp, w.mask_unit[i])) {
            voz_setStatus(gsp, 111, 1110);
            return false;
        }
    }
    return true;
}

// The room of the out buffer: unit width times the lengths of all 'W' words.
size_t wordRoom(const RTRVWORDEXT* words, int32_t count, int16_t width) {
    size_t room = 0;
    for (int32_t i = 0; i < count; ++i)
        if (words[i].wi.type == 'W' && words[i].wi.wordlen > 0)
            room += static_cast<size_t>(width) *
                    static_cast<size_t>(words[i].wi.wordlen);
    return room;
}

// Converts a 'W' word's caller bytes, stripped of blanks, into units at
// `at`; the word then names the converted form.
bool convertWord(RTRVWORDEXT& w, VOZ_CPINFO cp, const GTRCREATEPARM* conv,
                 uint8_t* at, size_t room, size_t* used, GTRSTATUS* gsp) {
    int32_t len = 0;
    GTRSTATUS own{};
    if (w.wi.wordp != nullptr && w.wi.wordlen > 0)
        vozNormalizeLine(cp, w.wi.wordp, w.wi.wordlen, at,
                         static_cast<int32_t>(room), &len, VOZ_NORM_TEXT, conv,
                         &own);
    if (voz_Failed(&own)) {
        voz_setStatus(gsp, VOZ_RC_CHARNORM, VOZ_EC_NORM_CONVERT);
        return false;
    }
    w.wi.wordp = at;
    w.wi.wordlen = static_cast<int16_t>(len);
    *used += static_cast<size_t>(len);
    return true;
}

// Routines of a 'W' word: word start, alternatives, cutting, stemming.
bool prepareTextWord(RTRVWORDEXT& w, VOZ_CPINFO cp, GTRSTATUS* gsp) {
    if (!vozCHwordBoundaryEnable(cp.code)) w.wi.start_option = 0;
    vozCHsetAlterChar(cp, &w, gsp);
    if (voz_Failed(gsp)) return false;
    w.cut_function = Func_CutIntoPart[w.word_rule & 1];
    w.word_start_function = vozCHwordStartFunction(cp);
    if (w.wi.stemming == 1) w.stem_function = vozStemming;
    return true;
}

}  // namespace

void vozSetRankParm(const GTRSEARCH_RANK* rank, RANKPARM* parm,
                    GTRSTATUS* gsp) {
    memset(parm, 0, sizeof *parm);
    if (rank->rankcount < 0) return voz_setStatus(gsp, 2, 1104);
    if ((rank->weight_option & kCallbackBits) != 0 &&
        rank->pRankFuncInfo == nullptr)
        return voz_setStatus(gsp, 2, 1105);
    const char how = rank->howto_operate == 0 ? 'S' : rank->howto_operate;
    if (how != 'S' && how != 'F' && how != 'P')
        return voz_setStatus(gsp, 2, 1106);
    if (rank->rankcount == 0 && rank->rankdoc != nullptr)
        return voz_setStatus(gsp, 2, 1713);
    parm->rank_flags = rank->weight_option;
    parm->rank_kind = how;
    parm->rank_docs = reinterpret_cast<uint8_t*>(rank->rankdoc);
    parm->rank_limit = rank->rankcount == 0 ? 0x7FFFFFFF : rank->rankcount;
    parm->rank_user = rank->pRankFuncInfo;
    parm->rank_weights = rank->pRankTuning;
    if (parm->rank_weights != nullptr) return;
    auto* block = static_cast<float*>(calloc(1, kTuningBytes));
    if (block == nullptr) return voz_setStatus(gsp, VOZ_RC_MEMORY, 1776);
    block[0] = kTuningDefaults[0];
    block[1] = kTuningDefaults[1];
    parm->rank_weights = block;
}

void vozSetRankParmTerm(const GTRSEARCH_RANK* rank, RANKPARM* parm) {
    if (parm == nullptr) return;
    const float* callers = rank != nullptr ? rank->pRankTuning : nullptr;
    if (parm->rank_weights != callers) free(parm->rank_weights);
    parm->rank_weights = nullptr;
}

void vozHowtoOperate_(PFELEMENT* elems, int32_t count, int ranking,
                      int /*unused*/, int proximity) {
    for (int32_t i = 0; i < count; ++i) {
        PFELEMENT& e = elems[i];
        if (ranking) {
            if (e.kind == VOZ_PF_SPECIAL_NOT) e.mode = 'S';
            continue;
        }
        if (e.kind == VOZ_PF_TERM) continue;
        if (proximity && (e.mode == 'F' || e.mode == 'P')) {
            e.kind = VOZ_PF_OR;
            e.Operator.op = 'O';
        }
        e.mode = 0;
    }
}

void vozSetWordExt(RTRVWORDEXT* words, int32_t count, VOZ_CPINFO cp,
                   const GTRCREATEPARM* textParm,
                   const GTRCREATEPARM* itemParm, uint8_t** outBuf,
                   const GTRCREATEPARM* convParm, GTRSTATUS* gsp) {
    if (outBuf != nullptr) *outBuf = nullptr;
    if (textParm == nullptr && itemParm == nullptr)
        return voz_setStatus(gsp, VOZ_RC_INCONSISTENT, 1714);
    const int16_t width = vozCHlen(cp);
    size_t room = 0, used = 0;
    if (outBuf != nullptr && (room = wordRoom(words, count, width)) > 0) {
        *outBuf = static_cast<uint8_t*>(malloc(room));
        if (*outBuf == nullptr) return voz_setStatus(gsp, VOZ_RC_MEMORY, 1108);
    }
    for (int32_t i = 0; i < count; ++i) {
        RTRVWORDEXT& w = words[i];
        const GTRCREATEPARM* p = parmOfWord(w, textParm, itemParm);
        w.mark_check_function = vozCHmarkUnit_Chk;
        w.mark_set_function = vozCHmarkUnit_Set;
        w.unit_width = p->inputUnitWidth > 0 ? p->inputUnitWidth : width;
        if (w.wi.precision < 1) w.wi.precision = 100;
        w.word_rule = p->codeInfo[3];
        const char kind = w.wi.type;
        if (kind != 'W' && kind != 'E') continue;
        if (kind == 'W' && outBuf != nullptr && *outBuf != nullptr &&
            !convertWord(w, cp, convParm, *outBuf + used, room - used, &used,
                         gsp))
            return;
        if (((p->codeInfo[2] & 1) != 0 || w.wi.casesens == 'N') &&
            w.wi.wordp != nullptr && w.wi.wordlen > 0)
            vozCHcaseInsensAlpha(w.wi.wordp, w.wi.wordlen, w.unit_width);
        if (!prepareMasks(w, cp, p, gsp)) return;
        if (kind == 'W' && !prepareTextWord(w, cp, gsp)) return;
    }
}

void vozSetWordExtTerm(RTRVWORDEXT* words, int32_t count) {
    if (words == nullptr) return;
    for (int32_t i = 0; i < count; ++i) vozCHsetAlterCharTerm(&words[i]);
}
