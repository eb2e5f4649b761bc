// voz_rtrvwords.cpp -- the word dispatch of one file set (see
// voz_rtrvwords.hpp): per word the lookup by kind, parts, length and
// similarity, the document-frequency estimates, and the end of all words.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "files/voz_records.hpp"
#include "files/voz_status.hpp"
#include "search/voz_aimaimix.hpp"
#include "search/voz_aimai.hpp"
#include "search/voz_exact.hpp"
#include "search/voz_exactalter.hpp"
#include "search/voz_exactmix.hpp"
#include "search/voz_fromto.hpp"
#include "search/voz_itemword.hpp"
#include "search/voz_rtrvwords.hpp"
#include "search/voz_shortword.hpp"
#include "search/voz_wordctl.hpp"

namespace {

// True when the word's text is one part for its cutting routine: no cut
// found and the resume point at the text's end. Without a routine the text
// is one part.
bool isOnePart(RTRVWORDEXT* word, int16_t width) {
    if (word->cut_function == nullptr) return true;
    uint8_t* text = word->wi.wordp;
    uint8_t* end = text + word->wi.wordlen;
    uint8_t* partStart = text;
    uint8_t* partEnd = text;
    uint8_t* next = end;
    int32_t cut = word->cut_function(text, end, width, &partStart, &partEnd,
                                     &next);
    return cut == 0 && next == end;
}

// Ends a lookup prepared only for its estimate: nothing of it stays.
void dropForEstimate(_WCTLHEAD* w) {
    w->nextHit = nullptr;
    w->priv = nullptr;
    w->cur.docno = VOZ_DOC_END;
    w->resumeDoc = VOZ_DOC_END;
    w->endFlag = 'Y';
}

// Runs the word's next-hit operation to its end (releasing what it holds);
// its failure goes into `st` when that is still clear.
void endWord(_WCTLHEAD* w, GTRSTATUS* st) {
    if (w->nextHit == nullptr) return;
    GTRSTATUS own{};
    w->nextHit(w, w->nextArg1, w->nextArg2, nullptr, VOZ_DOC_END,
               VOZ_RELEASE_POS, &own);
    if (own.retcode != 0 && !voz_Failed(st)) *st = own;
}

// A word of several parts over the mixed index and its key index: the
// exact (or wildcard) lookup, or the fuzzy one when the word prefers it.
void setUpMixed(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* primary,
                IDXINFO* keyIndex, ANSWERFORM* wordAnswer, GTRSTATUS* st,
                int estimateOnly) {
    int16_t width = static_cast<int16_t>(primary->info.unitWidth);
    if (estimateOnly) {
        voz_GetOneWordExactMixInit_(word, w, primary, keyIndex, wordAnswer, st, 1);
        const auto* ctl = static_cast<const VOZMIXCTL*>(w->priv);
        if (!voz_Failed(st) && ctl != nullptr)
            voz_GetDocFreqByGct_Selectivity(ctl->kept, 1, &w->docEstimate);
        else if (!voz_Failed(st) && w->docEstimate < 0)
            w->docEstimate = 0;  // no match (a stop word set its estimate)
        voz_TermEmpForSelectivity(word, w, primary, keyIndex, wordAnswer, st);
        dropForEstimate(w);
        return;
    }
    if (voz_WildcardFuzzyPreference(word, width, st) != 0) {
        voz_GetOneWordAimaiMixInit(word, w, primary, keyIndex, wordAnswer, st);
        if (!voz_Failed(st) && w->nextHit == voz_GetOneWordAimaiMix)
            voz_AimaiMixDocEstimate(w, &w->docEstimate);
        return;
    }
    voz_GetOneWordExactMixInit_(word, w, primary, keyIndex, wordAnswer, st, 0);
    const auto* ctl = static_cast<const VOZMIXCTL*>(w->priv);
    if (!voz_Failed(st) && ctl != nullptr)
        voz_GetDocFreqByGctl(ctl->kept, ctl->keptCount, &w->docEstimate);
}

// A one-part word with alternate characters or option 'S': fuzzy when its
// similarity is below 100 and it is longer than one key (not for an
// estimate), else exact.
void setUpAlter(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* primary,
                ANSWERFORM* wordAnswer, GTRSTATUS* st, int estimateOnly) {
    if (!estimateOnly && word->wi.precision < 100 &&
        word->wi.wordlen > primary->keyCmpLen) {
        voz_GetOneWordAimaiAlterInit(word, w, primary, wordAnswer, st);
        const auto* fuzzy = static_cast<const VOZAIMAICTL*>(w->priv);
        if (!voz_Failed(st) && fuzzy != nullptr)
            voz_GetDocFreqByGctl(fuzzy->groups, fuzzy->gramCount,
                                 &w->docEstimate);
        return;
    }
    voz_GetOneWordExactAlterInit(word, w, primary, wordAnswer, st,
                                 estimateOnly);
    const auto* ctl = static_cast<const VOZEXALTCTL*>(w->priv);
    if (!voz_Failed(st) && ctl != nullptr)
        voz_GetDocFreqByGctl(ctl->groups, ctl->groupCount, &w->docEstimate);
    else if (!voz_Failed(st) && estimateOnly)
        w->docEstimate = 0;  // a group without keys: no document
    if (!estimateOnly) return;
    voz_TermExpForSelectivityAlter(word, w, primary, nullptr, wordAnswer, st);
    dropForEstimate(w);
}

// A word of kind 'W': several parts go to the mixed index; one part below
// the key length is a short word; one part at least the key length an exact
// word (fuzzy when its similarity is below 100 and it is longer than one
// key); alternates and option 'S' go to their own lookups.
void setUpWordW(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* primary,
                IDXINFO* keyIndex, ANSWERFORM* wordAnswer, GTRSTATUS* st,
                int estimateOnly) {
    int16_t width = static_cast<int16_t>(primary->info.unitWidth);
    if (!isOnePart(word, width))
        return setUpMixed(word, w, primary, keyIndex, wordAnswer, st,
                          estimateOnly);
    int32_t length = word->wi.wordlen;
    int32_t keyLength = primary->keyCmpLen;
    if (length < keyLength) {
        if (estimateOnly) {
            w->docEstimate = -1;
            return;
        }
        voz_GetShortWordInit_(word, w, primary, wordAnswer, 0, st, 0);
        const auto* ctl = static_cast<const VOZSHORTCTL*>(w->priv);
        if (!voz_Failed(st) && ctl != nullptr)
            voz_GetDocFreqByShortOcc_(ctl->pairs, ctl->total, &w->docEstimate,
                                      0);
        return;
    }
    if (word->alter_chars != nullptr || word->wi.start_option == 'S')
        return setUpAlter(word, w, primary, wordAnswer, st, estimateOnly);
    if (estimateOnly) {
        voz_GetOneWordExactInit2(word, w, primary, wordAnswer, 0, st);
        const auto* ctl = static_cast<const VOZEXACTCTL*>(w->priv);
        if (!voz_Failed(st) && ctl != nullptr)
            voz_GetDocFreqByPctl(ctl->pctl, ctl->pieceCount, &w->docEstimate);
        else if (!voz_Failed(st))
            w->docEstimate = 0;  // a piece that is no key: no document
        voz_TermExpForSelectivity(word, w, primary, nullptr, wordAnswer, st);
        dropForEstimate(w);
        return;
    }
    if (word->wi.precision < 100 && length > keyLength) {
        voz_GetOneWordAimaiInit(word, w, primary, wordAnswer, st);
        const auto* fuzzy = static_cast<const VOZAIMAICTL*>(w->priv);
        if (!voz_Failed(st) && fuzzy != nullptr)
            voz_GetDocFreqByPctl(fuzzy->pctl, fuzzy->gramCount, &w->docEstimate);
        return;
    }
    voz_GetOneWordExactInit(word, w, primary, wordAnswer, 0, st);
    const auto* ctl = static_cast<const VOZEXACTCTL*>(w->priv);
    if (!voz_Failed(st) && ctl != nullptr)
        voz_GetDocFreqByPctl(ctl->pctl, ctl->pieceCount, &w->docEstimate);
}

// Item words look up the item half: a range ('F') over its variable keys,
// an equal word ('E') over its keys and its key index (item1).
void setUpItemWord(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* item0,
                   IDXINFO* item1, ANSWERFORM* wordAnswer, GTRSTATUS* st) {
    if (item0 == nullptr) {  // no item half open: no occurrences
        voz_GetOneWordNoOcc(w, nullptr, nullptr, nullptr, 0, 0, nullptr);
        return;
    }
    if (word->wi.type == 'E')
        return voz_GetEqualWordInit(word, w, item0, item1, wordAnswer, st);
    voz_GetFromToInit(word->from_key, word->from_keylen, word->from_bound,
                      word->to_key, word->to_keylen, word->to_bound, w, item0,
                      wordAnswer, st);
}

// One word's set-up by kind.
void setUpWord(RTRVWORDEXT* word, _WCTLHEAD* w, IDXINFO* primary,
               IDXINFO* keyIndex, IDXINFO* item0, IDXINFO* item1,
               ANSWERFORM* wordAnswer, GTRSTATUS* st, int estimateOnly) {
    switch (word->wi.type) {
    case 'D':
        if (estimateOnly)
            w->docEstimate = -1;
        else
            voz_GetWholeDocNOInit(w, primary, wordAnswer, st);
        return;
    case 'E':
    case 'F':
        if (estimateOnly)
            w->docEstimate = -1;
        else
            setUpItemWord(word, w, item0, item1, wordAnswer, st);
        return;
    case 'S':
        if (estimateOnly)
            w->docEstimate = -1;
        else
            voz_setStatus(st, VOZ_RC_UNSUPPORTED, VOZ_EC_BINSET);
        return;
    case 'B':
        voz_GetBackRefInit(word, w, primary, wordAnswer, st);
        if (estimateOnly) {
            // The estimate reads no occurrence: the file goes at once.
            if (!voz_Failed(st)) endWord(w, st);
            dropForEstimate(w);
            w->docEstimate = -1;
        }
        return;
    default:
        setUpWordW(word, w, primary, keyIndex, wordAnswer, st, estimateOnly);
        return;
    }
}

}  // namespace

void voz_RtrvWords_(IDXINFO* text0, IDXINFO* text1, IDXINFO* item0,
                    IDXINFO* item1, int32_t wordCount, RTRVWORDEXT* words,
                    _WCTLHEAD* controls, ANSWERFORM* wordAnswer,
                    GTRSTATUS* st, int estimateOnly) {
    if (wordCount < 1) {
        wordAnswer->limitReached = 'N';
        return;
    }
    IDXINFO* primary = text0 != nullptr ? text0 : item0;
    IDXINFO* keyIndex = text0 != nullptr ? text1 : item1;
    bool limitSeen = false;
    for (int32_t i = 0; i < wordCount; ++i) {
        _WCTLHEAD* w = &controls[i];
        memset(w, 0, sizeof *w);
        w->countBefore = wordAnswer->occCount;
        w->resumeDoc = w->resumeDoc2 = -1;
        w->resumePos = w->resumePos2 = 1;
        w->docEstimate = -1;
        setUpWord(&words[i], w, primary, keyIndex, item0, item1, wordAnswer,
                  st, estimateOnly);
        w->addedCount = wordAnswer->occCount - w->countBefore;
        w->addedCopy = w->addedCount;
        if (voz_Failed(st)) return;
        w->countAfter = wordAnswer->occCount;
        if (wordAnswer->limitReached == 'Y') limitSeen = true;
    }
    wordAnswer->limitReached = limitSeen ? 'Y' : 'N';
}

void voz_RtrvWordsTerm(_WCTLHEAD* controls, int32_t wordCount,
                       GTRSTATUS* st) {
    for (int32_t i = 0; i < wordCount; ++i) endWord(&controls[i], st);
}

int32_t voz_WildcardFuzzyPreference(RTRVWORDEXT* word, int16_t unitWidth,
                                    GTRSTATUS* st) {
    (void)st;
    if (word->wi.precision == 100) return 0;
    if (word->wi.search_flag == 0) return 1;
    const uint8_t* m0 = word->mask_unit[0];
    const uint8_t* m1 = word->mask_unit[1];
    if (m0[0] == 0 && m1[0] == 0) return 1;
    size_t w = static_cast<size_t>(unitWidth);
    auto isMask = [&](const uint8_t* u) {
        return (m0[0] != 0 && memcmp(u, m0, w) == 0) ||
               (m1[0] != 0 && memcmp(u, m1, w) == 0);
    };
    uint8_t* text = word->wi.wordp;
    uint8_t* end = text + word->wi.wordlen;
    uint8_t* at = text;
    while (at < end && word->cut_function != nullptr) {
        uint8_t* partStart = at;
        uint8_t* partEnd = at;
        uint8_t* next = end;
        // Every boundary the routine reports counts, whether it handed out
        // a part or the stretch before one.
        word->cut_function(at, end, unitWidth, &partStart, &partEnd, &next);
        if (partEnd > text && partEnd - w >= text && isMask(partEnd - w))
            return 0;
        if (next < end && next + w <= end && isMask(next)) return 0;
        if (next <= at) break;  // no progress: the rest is one stretch
        at = next;
    }
    return 1;
}

void voz_GetDocFreqByPctl(const PCTLHEAD* pctl, int32_t count,
                          int32_t* estimate) {
    int64_t best = count > 0 ? INT64_MAX : 0;
    for (int32_t i = 0; i < count; ++i)
        best = std::min<int64_t>(best, pctl[i].docCount);
    *estimate = static_cast<int32_t>(std::min<int64_t>(best, VOZ_DOC_END));
}

void voz_GetDocFreqByGctl(const GCTLINFO* gctl, int32_t count,
                          int32_t* estimate) {
    int64_t best = count > 0 ? INT64_MAX : 0;
    for (int32_t i = 0; i < count; ++i) {
        int64_t largest = 0;
        for (int32_t k = 0; k < gctl[i].keyCount; ++k)
            largest = std::max<int64_t>(largest, gctl[i].pctl[k].docCount);
        best = std::min(best, largest);
    }
    *estimate = static_cast<int32_t>(std::min<int64_t>(best, VOZ_DOC_END));
}

void voz_GetDocFreqByGct_Selectivity(const GCTLINFO* gctl, int32_t count,
                                     int32_t* estimate) {
    int64_t best = count > 0 ? INT64_MAX : 0;
    for (int32_t i = 0; i < count; ++i) {
        int64_t sum = 0;
        for (int32_t k = 0; k < gctl[i].keyCount && sum < VOZ_DOC_END; ++k)
            sum = std::min<int64_t>(sum + gctl[i].pctl[k].docCount,
                                    VOZ_DOC_END);
        best = std::min(best, sum);
    }
    *estimate = static_cast<int32_t>(std::min<int64_t>(best, VOZ_DOC_END));
}

void voz_GetDocFreqByShortOcc_(const SHORTOCC* occs, int32_t count,
                               int32_t* estimate, int none) {
    if (none) {
        *estimate = -1;
        return;
    }
    int32_t runs = 0;
    for (int32_t i = 0; i < count; ++i)
        if (i == 0 || occs[i].document != occs[i - 1].document) ++runs;
    *estimate = runs;
}
