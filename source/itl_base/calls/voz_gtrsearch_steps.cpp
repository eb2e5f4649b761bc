// voz_gtrsearch_steps.cpp -- the front half of a search and of a
// selectivity estimate (see voz_gtrsearch_steps.hpp).
#include "calls/voz_gtrsearch_steps.hpp"

#include <cstdlib>
#include <cstring>

#include "calls/voz_gtrsearch.hpp"
#include "calls/voz_opeinfo.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cpinfo.hpp"
#include "search/voz_search.hpp"

namespace {

constexpr const char* kItemLetters = "MRNS";
constexpr const char* kTextPrefix = "Full";
constexpr const char* kItemPrefix = "Item";

bool wantsText(int32_t purpose) { return (purpose & VOZ_PURPOSE_TEXT) != 0; }
bool wantsItem(int32_t purpose) { return (purpose & VOZ_PURPOSE_ITEM) != 0; }

// Creation parameters for a translation: the text half's unless only the
// item half is needed.
const GTRCREATEPARM* translationParm(const VOZSRCHSTEPS* s) {
    return wantsText(s->purpose) ? &s->parm[0] : &s->parm[1];
}

// One half's recorded code page and purpose against the condition.
bool checkHalf(const GTRCREATEPARM& p, uint8_t codepage, uint8_t purpose,
               int32_t firstCode, GTRSTATUS* gsp) {
    if (p.codeInfo[0] != codepage) {
        voz_setStatus(gsp, 108, firstCode);
        return false;
    }
    if (p.codeInfo[1] != purpose) {
        voz_setStatus(gsp, 108, firstCode + 1);
        return false;
    }
    return true;
}

}  // namespace

void vozSearchStepsInit(VOZSRCHSTEPS* s, const GTRSEARCH_COND& cond,
                        const GTRSEARCH_RANK* rank) {
    memset(s, 0, sizeof *s);
    s->cond = cond;
    s->rank = rank;
    s->purpose = VOZ_PURPOSE_TEXT;
    s->cp.callerCodePage = cond.codepage;
    s->cp.code = cond.codepage;
    vozCHsetCPInfo(&s->cp);
}

bool vozSearchStepsCheckCond(const GTRSEARCH_COND& cond, GTRSTATUS* gsp) {
    if (vozReservedCheck_GTRSEARCH_COND(&cond, gsp) != 0) return false;
    if (cond.scope != nullptr &&
        vozReservedCheck_GTRSEARCH_RES(cond.scope, gsp) != 0)
        return false;
    return cond.pSkipFuncInfo == nullptr ||
           vozReservedCheck_GTRSKIPFUNCINFO(cond.pSkipFuncInfo, gsp) == 0;
}

void vozSearchStepsPurpose(VOZSRCHSTEPS* s) {
    const GTRSEARCH_COND& c = s->cond;
    GTRSTATUS own{};
    switch (c.cond_type) {
    case GTR_COND_ITEM: s->purpose = VOZ_PURPOSE_ITEM; break;
    case GTR_COND_MIX:
        s->purpose = vozTranslateCond_Mix4Purpose(c.mix_num, c.mix,
                                                  c.mix_order, &own);
        break;
    case GTR_COND_MIXQUERY: {
        QUERYWORK work{};
        s->purpose = vozTranslateCond_MixQuery4Purpose(s->cp, c.query, s->rank,
                                                       &work, &own);
        vozQueryWorkTerm(&work);
        break;
    }
    default: s->purpose = VOZ_PURPOSE_TEXT; break;
    }
    if (s->purpose < VOZ_PURPOSE_TEXT || s->purpose > VOZ_PURPOSE_BOTH)
        s->purpose = VOZ_PURPOSE_TEXT;
}

void vozSearchStepsOpen(VOZSRCHSTEPS* s, VOZSEARCH** handle,
                        const char* idxname, const char* idxdir,
                        const char* tempDir, const char* textLetters,
                        bool keep, GTRSTATUS* gsp) {
    const bool text = wantsText(s->purpose);
    const bool item = wantsItem(s->purpose);
    VOZ_SearchOpen_(handle, idxname, idxdir, text ? textLetters : nullptr,
                    item ? kItemLetters : nullptr,
                    text ? kTextPrefix : nullptr, item ? kItemPrefix : nullptr,
                    tempDir, &s->parm[0], &s->parm[1],
                    static_cast<uint8_t>(s->purpose), gsp, 0, keep ? 1 : 0);
}

void vozSearchStepsTranslate(VOZSRCHSTEPS* s, const VOZSRCHCODES& codes,
                             GTRSTATUS* gsp) {
    GTRSEARCH_COND& c = s->cond;
    s->cp.callerCodePage = c.codepage;
    s->cp.code = c.codepage;
    vozCHsetCPInfo(&s->cp);
    const GTRCREATEPARM* parm = translationParm(s);
    s->form = c.cond_type;
    switch (c.cond_type) {
    case GTR_COND_SIMPLE:
        vozTranslateCond_Simple(s->cp, c.simple_query, c.simple_option,
                                &s->queryBuf, &s->pf, &s->pfCount, parm,
                                s->rank, gsp);
        break;
    case GTR_COND_QUERY:
        vozTranslateCond_Query(s->cp, c.query, &s->queryBuf, &s->pf,
                               &s->pfCount, parm, s->rank, &s->work, gsp);
        break;
    case GTR_COND_STRUCT:
        vozTranslateCond_Struct(s->cp, c.struct_num, c.struct_word,
                                c.struct_order, &s->orderCopy, &s->wordBuf,
                                &s->pf, &s->pfCount, parm, s->rank, gsp);
        break;
    case GTR_COND_ITEM:
        vozTranslateCond_Item(s->cp, c.item_num, c.item, c.item_order,
                              &s->orderCopy, &s->wordBuf, &s->pf, &s->pfCount,
                              &s->parm[1], nullptr, gsp);
        break;
    case GTR_COND_MIX:
        s->purpose = vozTranslateCond_Mix(s->cp, c.mix_num, c.mix, c.mix_order,
                                          &s->orderCopy, &s->wordBuf, &s->pf,
                                          &s->pfCount, parm, s->rank, gsp);
        break;
    case GTR_COND_MIXQUERY:
        s->purpose = vozTranslateCond_MixQuery(s->cp, c.query, &s->queryBuf,
                                               &s->wordBuf, &s->pf,
                                               &s->pfCount, parm, s->rank,
                                               &s->work, gsp);
        break;
    default:
        s->form = 0;
        voz_setStatus(gsp, VOZ_RC_PARAMETER, codes.condType);
        break;
    }
}

void vozSearchStepsOperators(VOZSRCHSTEPS* s, int ranking, GTRSTATUS* gsp) {
    vozHowtoOperate_(s->pf, s->pfCount, ranking, 0, 0);
    vozOptimizePostfix(s->pf, s->pfCount, nullptr, gsp);
    if (voz_Failed(gsp)) return;
    vozOpeInfo(s->pf, s->pfCount, s->cond.discon_count, &s->nWords, &s->words,
               &s->nOps, &s->ops, nullptr, gsp);
}

void vozSearchStepsCheckHalves(VOZSRCHSTEPS* s, const VOZSRCHCODES& codes,
                               GTRSTATUS* gsp) {
    const uint8_t code = s->cond.codepage;
    if (wantsText(s->purpose) &&
        !checkHalf(s->parm[0], code, VOZ_PURPOSE_TEXT, codes.halfCodes, gsp))
        return;
    if (wantsItem(s->purpose))
        checkHalf(s->parm[1], code, VOZ_PURPOSE_ITEM, codes.halfCodes + 2,
                  gsp);
}

void vozSearchStepsWords(VOZSRCHSTEPS* s, GTRSTATUS* gsp) {
    const GTRCREATEPARM* text = wantsText(s->purpose) ? &s->parm[0] : nullptr;
    const GTRCREATEPARM* item = wantsItem(s->purpose) ? &s->parm[1] : nullptr;
    vozSetWordExt(s->words, s->nWords, s->cp, text, item, nullptr,
                  translationParm(s), gsp);
}

void vozSearchStepsDocFreq(VOZSRCHSTEPS* s) {
    const GTRSEARCH_COND& c = s->cond;
    if (c.cond_type != GTR_COND_STRUCT || c.frqfn == nullptr) return;
    for (int32_t i = 0; i < s->nWords; ++i) {
        const int16_t no = s->words[i].word_no;
        if (no >= 0 && no < c.struct_num)
            c.struct_word[no].docfreq = s->words[i].wi.docfreq;
    }
}

void vozSearchStepsTerm(VOZSRCHSTEPS* s) {
    vozSetWordExtTerm(s->words, s->nWords);
    vozOpeInfoTerm(s->ops);
    s->ops = nullptr;
    s->words = nullptr;
    switch (s->form) {
    case GTR_COND_SIMPLE:
        vozTranslateCond_Simple_Term(s->queryBuf, s->pf, s->pfCount);
        break;
    case GTR_COND_QUERY:
        vozTranslateCond_Query_Term(s->queryBuf, s->pf, s->pfCount);
        break;
    case GTR_COND_STRUCT:
        vozTranslateCond_Struct_Term(s->orderCopy, s->wordBuf, s->pf,
                                     s->pfCount);
        break;
    case GTR_COND_ITEM:
        vozTranslateCond_Item_Term(s->orderCopy, s->wordBuf, s->pf,
                                   s->pfCount);
        break;
    case GTR_COND_MIX:
        vozTranslateCond_Mix_Term(s->orderCopy, s->wordBuf, s->pf, s->pfCount);
        break;
    case GTR_COND_MIXQUERY:
        vozTranslateCond_MixQuery_Term(s->queryBuf, s->wordBuf, s->pf,
                                       s->pfCount);
        break;
    default: break;
    }
    s->form = 0;
    s->pf = nullptr;
    s->pfCount = 0;
    vozQueryWorkTerm(&s->work);
}

void vozSearchStepsEndHandle(VOZSEARCH* handle, void** handleVar,
                             GTRSTATUS* gsp) {
    GTRSTATUS own{};
    // A kept handle may hold its files for the next call unless this one
    // failed; the next open checks that they are still the index's.
    if (handleVar != nullptr && !voz_Failed(gsp))
        VOZ_SearchPark_(handle, &own);
    else
        VOZ_SearchClose_(handle, &own, 0);
    if (own.retcode != 0 && !voz_Failed(gsp)) *gsp = own;
    if (handleVar != nullptr) {
        *handleVar = handle;
        return;
    }
    GTRSTATUS rel{};
    VOZ_SearchRelease(&handle, &rel);
    if (rel.retcode != 0 && !voz_Failed(gsp)) *gsp = rel;
}
