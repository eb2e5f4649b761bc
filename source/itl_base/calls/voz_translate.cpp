// voz_translate.cpp -- the order-string translators (numbered words, items
// and mixed entries) and their release functions (voz_translate.hpp).
//
// One pattern serves the three forms: check the count and the order string,
// check the records, copy the order string and convert it with the order
// tokenizer, fill the operands from the numbered records, then normalise
// the word and character-item texts into one word buffer.
#include <cstdlib>
#include <cstring>

#include "calls/voz_normline.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_translate.hpp"

namespace {

constexpr int32_t RC_NO_QUERY = 25;
constexpr int32_t RC_ITEM_TYPE = 117;

// The errcodes of one form.
struct FormCodes {
    int32_t noQuery, copy, empty;
};
const FormCodes kItemCodes = {2574, 2575, 2576};
const FormCodes kMixCodes = {2597, 2598, 2599};
const FormCodes kWordCodes = {2593, 2594, 2595};

void clearOutputs(char** orderCopy, uint8_t** wordBuf, PFELEMENT** pf,
                  int32_t* pfCount) {
    *orderCopy = nullptr;
    *wordBuf = nullptr;
    *pf = nullptr;
    *pfCount = 0;
}

bool emptyOrder(const char* order) { return order == nullptr || *order == 0; }

// Copies the order string and converts it. False with the status set on
// failure (also for an empty postfix form).
bool convertOrder(VOZ_CPINFO cp, const char* order, const FormCodes& codes,
                  char** orderCopy, PFELEMENT** pf, int32_t* pfCount,
                  const RTRVRANK* rank, GTRSTATUS* gsp) {
    size_t len = std::strlen(order);
    *orderCopy = static_cast<char*>(std::malloc(len + 1));
    if (*orderCopy == nullptr) {
        voz_setStatus(gsp, 11, codes.copy);
        return false;
    }
    std::memcpy(*orderCopy, order, len + 1);
    vozConvertIntoPostfix(reinterpret_cast<uint8_t*>(*orderCopy), pf, pfCount,
                          cp, nullptr, vozIdentifyToken_NO, rank, nullptr, gsp);
    if (voz_Failed(gsp)) return false;
    if (*pfCount == 0) {
        voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, codes.empty);
        return false;
    }
    return true;
}

// Translates item condition `index` into operand x by its type.
void translateItem(VOZ_CPINFO cp, const SEARCHITEM* it, int32_t index,
                   RTRVWORDEXT* x, GTRSTATUS* gsp) {
    switch (it->item_type) {
    case 'C': vozTranslateCharItem(cp, it, index, x, gsp); break;
    case 'N': vozTranslateNumItem(it, index, x, gsp); break;
    case 'B': vozTranslateBackRef(it, index, x, gsp); break;
    case 'S': vozTranslateNumSetItem(it, index, x, gsp); break;
    default: voz_setStatus(gsp, RC_ITEM_TYPE, index); break;
    }
}

// The caller's word `no` becomes the operand's word.
void takeWord(PFELEMENT& e, const RTRVWORD& w, int32_t no, int16_t width) {
    e.winfoX.wi = w;
    e.winfoX.word_no = static_cast<int16_t>(no);
    e.winfoX.unit_width = width;
}

void wholeDocument(PFELEMENT& e) {
    e.winfoX.wi.type = 'D';
    e.winfoX.word_no = -1;
}

// Allocates the word buffer (size + extra bytes, none when size is 0) and
// normalises every 'W' operand (when `words`: mode 0xE0; a word without
// text fails with 2/nullWordCode) and 'E' operand (mode 0xF0) into it, one
// after another.
void fillWordBuffer(PFELEMENT* pf, int32_t n, VOZ_CPINFO cp, int32_t size,
                    int32_t extra, bool words, int32_t memCode,
                    int32_t nullWordCode, uint8_t** wordBuf,
                    const GTRCREATEPARM* cparm, GTRSTATUS* gsp) {
    if (size > 0) {
        *wordBuf = static_cast<uint8_t*>(
            std::malloc(static_cast<size_t>(size) + static_cast<size_t>(extra)));
        if (*wordBuf == nullptr) {
            voz_setStatus(gsp, 11, memCode);
            return;
        }
    }
    int32_t used = 0;
    for (int32_t i = 0; i < n; ++i) {
        RTRVWORD& w = pf[i].winfoX.wi;
        if (pf[i].kind != VOZ_PF_TERM) continue;
        bool word = words && w.type == 'W';
        if (!word && w.type != 'E') continue;
        if (word && (w.wordp == nullptr || w.wordlen < 1)) {
            voz_setStatus(gsp, 2, nullWordCode);
            return;
        }
        if (w.wordp == nullptr || w.wordlen < 1) {  // an empty item value
            w.wordlen = 0;
            continue;
        }
        int32_t len = 0;
        vozNormalizeLine(cp, w.wordp, w.wordlen, *wordBuf + used,
                         size + extra - used, &len,
                         word ? VOZ_NORM_TEXT : VOZ_NORM_ITEM, cparm, gsp);
        if (voz_Failed(gsp)) return;
        w.wordp = *wordBuf + used;
        w.wordlen = static_cast<int16_t>(len);
        used += len;
    }
}

// Grows a buffer size by a word's normalised room, never past INT32_MAX.
void addRoom(int32_t& size, int16_t width, int16_t len) {
    int64_t grown = int64_t{size} + int64_t{width} * (len > 0 ? len : 0);
    size = grown > 0x7FFFFFF0 ? 0x7FFFFFF0 : static_cast<int32_t>(grown);
}

void itemOperands(VOZ_CPINFO cp, int32_t count, SEARCHITEM* items,
                  PFELEMENT* pf, int32_t n, int32_t* size, GTRSTATUS* gsp) {
    int16_t width = vozCHlen(cp);
    for (int32_t i = 0; i < n && !voz_Failed(gsp); ++i) {
        PFELEMENT& e = pf[i];
        if (e.kind == VOZ_PF_DISTANCE ||
            (e.kind == VOZ_PF_PROXIMITY && e.Operator.op == 'D')) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 2577);
            return;
        }
        if (e.kind != VOZ_PF_TERM) continue;
        if (e.itemNo < 0 || e.itemNo >= count) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 2578);
            return;
        }
        e.winfoX.unit_width = width;
        if (e.whole_doc == 'Y') {
            wholeDocument(e);
            continue;
        }
        const SEARCHITEM* it = &items[e.itemNo];
        if (vozReservedCheck_SEARCHITEM(it, gsp) != 0) return;
        translateItem(cp, it, e.itemNo, &e.winfoX, gsp);
        if (it->item_type == 'C') addRoom(*size, width, it->char_len);
    }
}

// Fills the operands of a mixed condition; words and items alike.
void mixOperands(VOZ_CPINFO cp, int32_t count, GTRSEARCHMIX* mix,
                 PFELEMENT* pf, int32_t n, int32_t* size, GTRSTATUS* gsp) {
    int16_t width = vozCHlen(cp);
    for (int32_t i = 0; i < n && !voz_Failed(gsp); ++i) {
        PFELEMENT& e = pf[i];
        if (e.kind != VOZ_PF_TERM) continue;
        if (e.itemNo < 0 || e.itemNo >= count) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 2600);
            return;
        }
        e.winfoX.unit_width = width;
        if (e.whole_doc == 'Y') {
            wholeDocument(e);
            continue;
        }
        const GTRSEARCHMIX& m = mix[e.itemNo];
        if (m.mix_type == GTR_MIX_WORD) {
            takeWord(e, m.word, e.itemNo, width);
            if (m.word.type == 'W') addRoom(*size, width, m.word.wordlen);
        } else {
            translateItem(cp, &m.item, e.itemNo, &e.winfoX, gsp);
            if (m.item.item_type == 'C') addRoom(*size, width, m.item.char_len);
        }
    }
}

void freeNumSets(PFELEMENT* pf, int32_t n) {
    if (pf == nullptr) return;
    for (int32_t i = 0; i < n; ++i) {
        RTRVWORDEXT& x = pf[i].winfoX;
        if (x.wi.type == 'S') {
            std::free(x.numset);
            x.numset = nullptr;
        }
    }
}

}  // namespace

void vozAdjustPF(PFELEMENT* pf, int32_t pfCount, RTRVWORD* words,
                 int32_t count, VOZ_CPINFO cp, uint8_t** wordBuf,
                 const GTRCREATEPARM* cparm, GTRSTATUS* gsp) {
    *wordBuf = nullptr;
    int16_t width = vozCHlen(cp);
    int32_t size = 0;
    for (int32_t i = 0; i < pfCount; ++i) {
        PFELEMENT& e = pf[i];
        if (e.kind != VOZ_PF_TERM) continue;
        if (e.itemNo < 0 || e.itemNo >= count) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 2605);
            return;
        }
        e.winfoX.unit_width = width;
        if (e.whole_doc == 'Y') {
            wholeDocument(e);
            continue;
        }
        takeWord(e, words[e.itemNo], e.itemNo, width);
        if (words[e.itemNo].type == 'W') addRoom(size, width, words[e.itemNo].wordlen);
    }
    fillWordBuffer(pf, pfCount, cp, size, 0, true, 2606, 2607, wordBuf, cparm,
                   gsp);
}

void vozTranslateCond_Struct(VOZ_CPINFO cp, int32_t count, RTRVWORD* words,
                             const char* order, char** orderCopy,
                             uint8_t** wordBuf, PFELEMENT** pf,
                             int32_t* pfCount, const GTRCREATEPARM* cparm,
                             const RTRVRANK* rank, GTRSTATUS* gsp) {
    clearOutputs(orderCopy, wordBuf, pf, pfCount);
    if (count < 1 || emptyOrder(order) || words == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, kWordCodes.noQuery);
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        if (vozReservedCheck_RTRVWORD(&words[i], gsp) != 0) return;
    if (!convertOrder(cp, order, kWordCodes, orderCopy, pf, pfCount, rank, gsp))
        return;
    vozAdjustPF(*pf, *pfCount, words, count, cp, wordBuf, cparm, gsp);
}

void vozTranslateCond_Item(VOZ_CPINFO cp, int32_t count, SEARCHITEM* items,
                           const char* order, char** orderCopy,
                           uint8_t** wordBuf, PFELEMENT** pf, int32_t* pfCount,
                           const GTRCREATEPARM* cparm, const RTRVRANK* rank,
                           GTRSTATUS* gsp) {
    clearOutputs(orderCopy, wordBuf, pf, pfCount);
    if (count < 1 || emptyOrder(order) || items == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, kItemCodes.noQuery);
        return;
    }
    if (!convertOrder(cp, order, kItemCodes, orderCopy, pf, pfCount, rank, gsp))
        return;
    int32_t size = 0;
    itemOperands(cp, count, items, *pf, *pfCount, &size, gsp);
    if (voz_Failed(gsp)) return;
    fillWordBuffer(*pf, *pfCount, cp, size, 1, false, 2579, 0, wordBuf, cparm,
                   gsp);
}

int32_t vozTranslateCond_Mix(VOZ_CPINFO cp, int32_t count, GTRSEARCHMIX* mix,
                             const char* order, char** orderCopy,
                             uint8_t** wordBuf, PFELEMENT** pf,
                             int32_t* pfCount, const GTRCREATEPARM* cparm,
                             const RTRVRANK* rank, GTRSTATUS* gsp) {
    clearOutputs(orderCopy, wordBuf, pf, pfCount);
    if (count < 1 || emptyOrder(order) || mix == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, kMixCodes.noQuery);
        return VOZ_PURPOSE_TEXT;
    }
    bool hasWord = false, hasItem = false;
    for (int32_t i = 0; i < count; ++i) {
        if (vozReservedCheck_GTRSEARCHMIX(&mix[i], gsp) != 0) break;
        bool word = mix[i].mix_type == GTR_MIX_WORD;
        int32_t rc = word ? vozReservedCheck_RTRVWORD(&mix[i].word, gsp)
                          : vozReservedCheck_SEARCHITEM(&mix[i].item, gsp);
        if (rc != 0) break;
        (word ? hasWord : hasItem) = true;
    }
    int32_t purpose = hasWord && hasItem ? VOZ_PURPOSE_BOTH
                      : !hasItem         ? VOZ_PURPOSE_TEXT
                                         : VOZ_PURPOSE_ITEM;
    if (voz_Failed(gsp)) return purpose;
    if (!convertOrder(cp, order, kMixCodes, orderCopy, pf, pfCount, rank, gsp))
        return purpose;
    int32_t size = 0;
    mixOperands(cp, count, mix, *pf, *pfCount, &size, gsp);
    if (!voz_Failed(gsp))
        fillWordBuffer(*pf, *pfCount, cp, size, 0, true, 2603, 2604, wordBuf,
                       cparm, gsp);
    return purpose;
}

int32_t vozTranslateCond_Mix4Purpose(int32_t count, const GTRSEARCHMIX* mix,
                                     const char* order, GTRSTATUS* gsp) {
    if (count < 1 || emptyOrder(order) || mix == nullptr) {
        voz_setStatus(gsp, RC_NO_QUERY, 2596);
        return VOZ_PURPOSE_TEXT;
    }
    bool hasWord = false, hasItem = false;
    for (int32_t i = 0; i < count; ++i)
        (mix[i].mix_type == GTR_MIX_WORD ? hasWord : hasItem) = true;
    if (hasWord && hasItem) return VOZ_PURPOSE_BOTH;
    return hasItem ? VOZ_PURPOSE_ITEM : VOZ_PURPOSE_TEXT;
}

void vozTranslateCond_Item_Term(char* orderCopy, uint8_t* wordBuf,
                                PFELEMENT* pf, int32_t pfCount) {
    std::free(orderCopy);
    std::free(wordBuf);
    freeNumSets(pf, pfCount);
    vozConvertIntoPostfixTerm(pf, pfCount);
}

void vozTranslateCond_Mix_Term(char* orderCopy, uint8_t* wordBuf,
                               PFELEMENT* pf, int32_t pfCount) {
    vozTranslateCond_Item_Term(orderCopy, wordBuf, pf, pfCount);
}

void vozTranslateCond_Struct_Term(char* orderCopy, uint8_t* wordBuf,
                                  PFELEMENT* pf, int32_t pfCount) {
    std::free(orderCopy);
    std::free(wordBuf);
    vozConvertIntoPostfixTerm(pf, pfCount);
}
