// voz_convcond.cpp -- GTRconvertSearchCond, GTRconvertSearchCond_Mix and
// GTRconvertSearchCond_Release (voz_convcond.hpp).
//
// Both conversions run the same steps: clear the output, get the handle
// (a reused handle loses its area and work area), check the condition,
// translate it, drop the whole-document operands, lay out the area, copy
// the kept terms' words into it and write the order string. They differ in
// their errcodes, in the record of a word (RTRVWORD or GTRSEARCHMIX) and in
// the translators they call; the Conversion record carries what differs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"
#include "calls/voz_normline.hpp"
#include "calls/voz_recdump.hpp"
#include "calls/voz_reserved.hpp"
#include "calls/voz_token_query.hpp"
#include "calls/voz_trace.hpp"
#include "calls/voz_translate.hpp"
#include "characters/voz_cut.hpp"

#define VOZ_CC_STR2(x) #x
#define VOZ_CC_STR(x) VOZ_CC_STR2(x)
#define VOZ_CC_ORIGIN __FILE__ ":" VOZ_CC_STR(__LINE__)

namespace {

constexpr int32_t RC_CONVERT = 17;
constexpr uint8_t MAX_CODEPAGE = 37;
const char* const kCallName = "GTRconvertSearchCond";

// The errcodes of one of the two conversions.
struct ConvCodes {
    int32_t noHandleVar, noOutput, handleMemory, codepage, type, empty,
        specialNot, area, wordType;
};
const ConvCodes kStructCodes = {2619, 2620, 2621, 2622, 2623,
                                2624, 2625, 2626, 2627};
const ConvCodes kMixCodes = {2633, 2634, 2635, 2636, 2637,
                             2638, 2639, 2640, 2641};

// What one translation returned; released by the form's release function.
struct Translated {
    uint8_t form = 0;          // cond_type translated
    char* orderCopy = nullptr;
    uint8_t* queryBuf = nullptr;
    uint8_t* wordBuf = nullptr;
    PFELEMENT* pf = nullptr;
    int32_t count = 0;

    ~Translated() {
        switch (form) {
        case GTR_COND_SIMPLE: vozTranslateCond_Simple_Term(queryBuf, pf, count); break;
        case GTR_COND_QUERY: vozTranslateCond_Query_Term(queryBuf, pf, count); break;
        case GTR_COND_STRUCT:
            vozTranslateCond_Struct_Term(orderCopy, wordBuf, pf, count);
            break;
        case GTR_COND_MIX: vozTranslateCond_Mix_Term(orderCopy, wordBuf, pf, count); break;
        case GTR_COND_MIXQUERY:
            vozTranslateCond_MixQuery_Term(queryBuf, wordBuf, pf, count);
            break;
        default: std::free(pf); break;
        }
    }
};

// An item operand of mixed query text: a character item or numeric range.
bool isItemTerm(const PFELEMENT& e) {
    return e.winfoX.wi.type == 'E' || e.winfoX.wi.type == 'F';
}

// The length of a character item's value when it is quoted, else 0.
int32_t quotedLength(VOZ_CPINFO cp, const SEARCHITEM& item) {
    if (item.item_type != 'C' || item.char_ptr == nullptr || item.char_len < 1 ||
        item.char_ptr[0] != vozGetDoubleQuote(cp))
        return 0;
    return item.char_len;
}

// Copies a quoted character value without its quotes (a doubled quote
// with a further byte after it stands for one), as the translation of the
// query text reads it, so that the item searches the same value when the
// converted condition is translated. Returns the bytes written.
int32_t unquoteInto(VOZ_CPINFO cp, const uint8_t* v, int32_t len, uint8_t* out) {
    const uint8_t dq = vozGetDoubleQuote(cp);
    int32_t n = 0;
    for (int32_t q = 1; q < len; ++q) {
        if (v[q] != dq) {
            out[n++] = v[q];
        } else if (q + 2 < len && v[q + 1] == dq) {
            out[n++] = dq;
            ++q;
        } else {
            break;
        }
    }
    return n;
}

// Sums of the kept terms, gathered while compacting.
struct Kept {
    int32_t words = 0;         // kept terms (records of the area)
    int64_t pairs = 0;         // section pairs of the word entries
    int64_t bytes = 0;         // byte lengths of the word entries
};

// Drops the whole-document terms in place. Such a term is written as a
// single NOT, which reads as the whole document taken as the first operand
// of a special NOT; so that special NOT keeps one operand, a special NOT
// between two conditions keeps both, and a whole-document term in any
// other place cannot be written and fails like a special NOT of another
// form. False with the status set.
bool compact(VOZ_CPINFO cp, PFELEMENT* pf, int32_t* count, bool mixed,
             Kept* kept, int32_t specialNotCode, GTRSTATUS* gsp) {
    std::vector<bool> wholeDoc;  // per stack entry: a dropped term
    int32_t out = 0;
    for (int32_t i = 0; i < *count; ++i) {
        PFELEMENT& e = pf[i];
        if (e.kind == VOZ_PF_REMOVED) {
            pf[out++] = e;
            continue;
        }
        if (e.kind == VOZ_PF_TERM) {
            const bool drop = e.winfoX.wi.type == 'D';
            wholeDoc.push_back(drop);
            if (drop) continue;
            ++kept->words;
            if (mixed && isItemTerm(e)) {
                kept->bytes += quotedLength(cp, e.winfoX.item);
            } else {
                if (e.winfoX.wi.rangenum > 0 && e.winfoX.wi.range != nullptr)
                    kept->pairs += e.winfoX.wi.rangenum;
                if (e.winfoX.wi.wordlen > 0) kept->bytes += e.winfoX.wi.wordlen;
            }
            pf[out++] = e;
            continue;
        }
        const size_t n = e.opnum > 0 ? static_cast<size_t>(e.opnum) : 0;
        const size_t first = wholeDoc.size() > n ? wholeDoc.size() - n : 0;
        bool ok = true;
        if (e.kind == VOZ_PF_SPECIAL_NOT) {
            ok = e.opnum == 2 && wholeDoc.size() >= 2;
            if (ok && wholeDoc[first]) e.opnum = 1;
        }
        for (size_t k = first + (e.kind == VOZ_PF_SPECIAL_NOT && e.opnum == 1 ? 1 : 0);
             ok && k < wholeDoc.size(); ++k)
            ok = !wholeDoc[k];
        if (!ok) {
            voz_setStatus(gsp, RC_CONVERT, specialNotCode);
            return false;
        }
        wholeDoc.resize(first);
        wholeDoc.push_back(false);
        pf[out++] = e;
    }
    *count = out;
    return true;
}

// The area's parts.
struct AreaLayout {
    size_t records, pairs, texts, order, total;
};

size_t digitsOf(int32_t n) {
    size_t d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

AreaLayout layoutOf(const Kept& kept, size_t recordSize, int32_t elements,
                    size_t queryLength) {
    AreaLayout a{};
    a.records = recordSize * static_cast<size_t>(kept.words);
    a.pairs = sizeof(RTRVRANGE) * static_cast<size_t>(kept.pairs);
    a.texts = (static_cast<size_t>(kept.bytes) * 2 + 7) / 8 * 8;
    const size_t n = static_cast<size_t>(elements);
    a.order = 16 * n + n * digitsOf(elements) + 1 + queryLength;
    a.total = a.records + a.pairs + a.texts + a.order;
    return a;
}

// Where the next word's pairs and text go.
struct AreaCursor {
    RTRVRANGE* pairs;
    uint8_t* text;
    uint8_t* textEnd;
};

// The caller's text and the units it was normalised into, from which the
// words of query text and simple queries were read.
struct WordSource {
    const uint8_t* text;       // the caller's text, or null
    size_t length;
    const uint8_t* units;      // the translation's query buffer, or null
};

// Whether `bytes` normalise into the units of `wi`. Normalising a word
// alone strips its leading and trailing blanks, which a quoted word of
// query text keeps; a structured word is stripped of them when searched,
// so the word's blank units at either end need not come back.
bool normalisesInto(VOZ_CPINFO cp, const uint8_t* bytes, int32_t len,
                    const RTRVWORD& wi) {
    const int16_t w = vozCHlen(cp);
    int32_t lead = 0;
    while (lead + w <= wi.wordlen &&
           vozCHcmp(cp, wi.wordp + lead, ' ', nullptr) == 0)
        lead += w;
    const uint8_t* units = wi.wordp + lead;
    const int32_t unitLen = wi.wordlen - lead;
    std::vector<uint8_t> again(static_cast<size_t>(wi.wordlen) + 16);
    int32_t againLen = 0;
    GTRSTATUS st{};
    vozNormalizeLine(cp, bytes, len, again.data(),
                     static_cast<int32_t>(again.size()), &againLen,
                     VOZ_NORM_TEXT, nullptr, &st);
    if (st.retcode != 0 || againLen < 1 || againLen > unitLen ||
        std::memcmp(again.data(), units, static_cast<size_t>(againLen)) != 0)
        return false;
    for (int32_t i = againLen; i + w <= unitLen; i += w)
        if (vozCHcmp(cp, units + i, ' ', nullptr) != 0) return false;
    return (unitLen - againLen) % w == 0;
}

// The caller's own bytes of a word read from its text. The word's units
// stand for the caller's characters at the same places, except that each
// doubled quote inside a quoted word moved the units before it one unit to
// the right: with d doubled quotes the caller's span starts d characters
// earlier, and its doubled quotes are folded into one. A span is taken
// only when it normalises back into exactly the word's units. Turning
// units back into text gives every letter in its folded case, which a
// case-sensitive word cannot take; the caller's bytes keep it. Returns the
// length copied to `out`, or -1 when no span serves.
int32_t callerBytes(VOZ_CPINFO cp, const WordSource& src, const RTRVWORD& wi,
                    uint8_t* out, int32_t room) {
    if (src.text == nullptr || src.units == nullptr || wi.wordp < src.units ||
        wi.wordlen < 1)
        return -1;
    const int16_t w = vozCHlen(cp);
    const uint8_t dq = vozGetDoubleQuote(cp);
    int32_t quotes = 0;
    for (int32_t i = 0; i + w <= wi.wordlen; i += w)
        if (vozCHcmp(cp, wi.wordp + i, dq, nullptr) == 0) ++quotes;
    std::vector<uint8_t> folded;
    for (int32_t d = 0; d <= quotes && wi.wordp - d * w >= src.units; ++d) {
        const uint8_t* start = nullptr;
        int32_t len = 0;
        vozExtractOrgStr(cp, src.text, src.text + src.length, src.units,
                         wi.wordp - d * w, wi.wordp + wi.wordlen, &start, &len);
        if (start == nullptr || len < 1) continue;
        folded.assign(start, start + len);
        if (d > 0) {  // fold the doubled quotes
            size_t n = 0;
            for (size_t i = 0; i < folded.size(); ++i) {
                folded[n++] = folded[i];
                if (folded[i] == dq && i + 1 < folded.size() && folded[i + 1] == dq) ++i;
            }
            folded.resize(n);
        }
        const int32_t flen = static_cast<int32_t>(folded.size());
        if (flen <= room && normalisesInto(cp, folded.data(), flen, wi)) {
            std::memcpy(out, folded.data(), folded.size());
            return flen;
        }
    }
    return -1;
}

// Fills one word record from a term: a back-reference name is copied, a
// word given as the caller wrote it or else turned back into text of the
// code page. False with the status set.
bool copyWord(VOZ_CPINFO cp, const WordSource& src, const PFELEMENT& e,
              RTRVWORD* w, AreaCursor* c, int32_t wordTypeCode,
              GTRSTATUS* gsp) {
    *w = e.winfoX.wi;
    const int32_t room = static_cast<int32_t>(c->textEnd - c->text);
    if (w->type == 'B') {
        const int32_t len = w->wordlen > 0 ? w->wordlen : 0;
        if (len > 0) std::memcpy(c->text, e.winfoX.wi.wordp, static_cast<size_t>(len));
        w->wordp = c->text;
        c->text += len;
    } else if (w->type == 'W') {
        int32_t len = callerBytes(cp, src, e.winfoX.wi, c->text, room);
        if (len < 0) {
            vozUnnormalizeLine(cp, e.winfoX.wi.wordp, e.winfoX.wi.wordlen,
                               c->text, room, &len, VOZ_NORM_TEXT, gsp);
            if (voz_Failed(gsp)) return false;
            // Units of bytes that are no character of the code page have
            // no text: a word of nothing else cannot be written as a word
            // of a structured condition, which would be empty.
            if (len < 1) {
                voz_setStatus(gsp, RC_CONVERT, wordTypeCode);
                return false;
            }
        }
        w->wordp = c->text;
        w->wordlen = static_cast<int16_t>(len);
        c->text += len;
    } else {
        voz_setStatus(gsp, RC_CONVERT, wordTypeCode);
        return false;
    }
    if (w->rangenum > 0 && w->range != nullptr) {
        std::memcpy(c->pairs, w->range, sizeof(RTRVRANGE) * static_cast<size_t>(w->rangenum));
        w->range = c->pairs;
        c->pairs += w->rangenum;
    }
    return true;
}

// The order string of a simple query: its words numbered from 1, joined
// by the sign of its one operator. An operator letter other than the four
// is joined as OR, as the translation of a simple query takes it.
bool simpleOrder(const PFELEMENT* pf, int32_t count, int32_t words, char* out,
                 size_t outSize, GTRSTATUS* gsp) {
    if (count < 1 || pf[count - 1].kind == VOZ_PF_TERM) {
        voz_setStatus(gsp, RC_CONVERT, 2628);
        return false;
    }
    const RTRVOPERATOR& op = pf[count - 1].Operator;
    char joiner[24];
    switch (op.op) {
    case 'A': std::snprintf(joiner, sizeof joiner, " * "); break;
    case 'N': std::snprintf(joiner, sizeof joiner, " - "); break;
    case 'D': std::snprintf(joiner, sizeof joiner, " *%d ", op.op_dlmno); break;
    default: std::snprintf(joiner, sizeof joiner, " + "); break;
    }
    std::string text;
    for (int32_t i = 1; i <= words; ++i) {
        text += std::to_string(i) + " ";
        if (i < words) text += joiner;
    }
    if (text.size() >= outSize) {
        voz_setStatus(gsp, RC_CONVERT, 2632);
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

// The handle for this conversion: a new one, or the caller's with its
// area and work area freed.
VOZCONVHANDLE* takeHandle(void** hdlpp, int32_t memoryCode, GTRSTATUS* gsp) {
    auto* h = static_cast<VOZCONVHANDLE*>(*hdlpp);
    if (h == nullptr) {
        h = static_cast<VOZCONVHANDLE*>(std::calloc(1, sizeof(VOZCONVHANDLE)));
        if (h == nullptr) voz_setStatus(gsp, 11, memoryCode);
        return h;
    }
    std::free(h->area);
    h->area = nullptr;
    h->area_size = 0;
    vozQueryWorkTerm(&h->work);
    std::memset(&h->work, 0, sizeof h->work);
    return h;
}

VOZ_CPINFO descriptorOf(uint8_t codepage) {
    VOZ_CPINFO cp{};
    cp.callerCodePage = codepage;
    cp.code = codepage;
    vozCHsetCPInfo(&cp);
    return cp;
}

// Translates the condition by its form; false for a form the conversion
// does not take.
bool translate(VOZCONVHANDLE* h, const GTRSEARCH_COND& cond, bool mixed,
               VOZ_CPINFO cp, Translated* t, GTRSTATUS* gsp) {
    t->form = cond.cond_type;
    const bool taken = mixed ? (cond.cond_type == GTR_COND_MIX ||
                                cond.cond_type == GTR_COND_MIXQUERY)
                             : (cond.cond_type >= GTR_COND_SIMPLE &&
                                cond.cond_type <= GTR_COND_STRUCT);
    if (!taken) {
        t->form = 0;
        return false;
    }
    switch (cond.cond_type) {
    case GTR_COND_SIMPLE:
        vozTranslateCond_Simple(cp, cond.simple_query, cond.simple_option,
                                &t->queryBuf, &t->pf, &t->count, nullptr,
                                nullptr, gsp);
        break;
    case GTR_COND_QUERY:
        vozTranslateCond_Query(cp, cond.query, &t->queryBuf, &t->pf, &t->count,
                               nullptr, nullptr, &h->work, gsp);
        break;
    case GTR_COND_STRUCT:
        vozTranslateCond_Struct(cp, cond.struct_num, cond.struct_word,
                                cond.struct_order, &t->orderCopy, &t->wordBuf,
                                &t->pf, &t->count, nullptr, nullptr, gsp);
        break;
    case GTR_COND_MIX:
        vozTranslateCond_Mix(cp, cond.mix_num, cond.mix, cond.mix_order,
                             &t->orderCopy, &t->wordBuf, &t->pf, &t->count,
                             nullptr, nullptr, gsp);
        break;
    default:
        vozTranslateCond_MixQuery(cp, cond.query, &t->queryBuf, &t->wordBuf,
                                  &t->pf, &t->count, nullptr, nullptr,
                                  &h->work, gsp);
        break;
    }
    return true;
}

// Copies every kept term into the area's records. False with the status set.
bool fillRecords(VOZ_CPINFO cp, const WordSource& src, const Translated& t,
                 bool mixed,
                 const AreaLayout& a, uint8_t* area, const ConvCodes& codes,
                 GTRSTATUS* gsp) {
    AreaCursor c{reinterpret_cast<RTRVRANGE*>(area + a.records),
                 area + a.records + a.pairs, area + a.records + a.pairs + a.texts};
    int32_t k = 0;
    for (int32_t i = 0; i < t.count; ++i) {
        const PFELEMENT& e = t.pf[i];
        if (e.kind != VOZ_PF_TERM) continue;
        if (!mixed) {
            RTRVWORD* w = reinterpret_cast<RTRVWORD*>(area) + k++;
            if (!copyWord(cp, src, e, w, &c, codes.wordType, gsp)) return false;
            continue;
        }
        GTRSEARCHMIX* m = reinterpret_cast<GTRSEARCHMIX*>(area) + k++;
        if (isItemTerm(e)) {
            m->mix_type = GTR_MIX_ITEM;
            m->item = e.winfoX.item;
            if (quotedLength(cp, m->item) > 0) {
                m->item.char_len = static_cast<int16_t>(
                    unquoteInto(cp, m->item.char_ptr, m->item.char_len, c.text));
                m->item.char_ptr = c.text;
                c.text += m->item.char_len;
            }
        } else {
            m->mix_type = GTR_MIX_WORD;
            if (!copyWord(cp, src, e, &m->word, &c, codes.wordType, gsp)) return false;
        }
    }
    return true;
}

// Steps from the translation on, for the text forms. False with the status
// set.
bool convertText(VOZCONVHANDLE* h, const GTRSEARCH_COND& cond, bool mixed,
                 VOZ_CPINFO cp, Translated& t, const ConvCodes& codes,
                 GTRSEARCH_COND* out, GTRSTATUS* gsp) {
    const int32_t elements = t.count;
    Kept kept;
    if (!compact(cp, t.pf, &t.count, mixed, &kept, codes.specialNot, gsp)) return false;
    const bool simple = cond.cond_type == GTR_COND_SIMPLE;
    const size_t queryLength = simple ? 0 : std::strlen(cond.query);
    const AreaLayout a = layoutOf(kept, mixed ? sizeof(GTRSEARCHMIX) : sizeof(RTRVWORD),
                                  elements, queryLength);
    if (a.total > 0x7FFFFFFF ||
        (h->area = static_cast<uint8_t*>(std::calloc(1, a.total))) == nullptr) {
        voz_setStatus(gsp, 11, codes.area);
        return false;
    }
    h->area_size = static_cast<int32_t>(a.total);
    const char* caller = simple ? cond.simple_query : cond.query;
    const WordSource src{reinterpret_cast<const uint8_t*>(caller),
                         std::strlen(caller), t.queryBuf};
    if (!fillRecords(cp, src, t, mixed, a, h->area, codes, gsp)) return false;
    char* order = reinterpret_cast<char*>(h->area + a.records + a.pairs + a.texts);
    if (simple) {
        if (!simpleOrder(t.pf, t.count, kept.words, order, a.order, gsp)) return false;
    } else {
        vozSearchOrder_Query(t.pf, t.count, order, static_cast<int32_t>(a.order), gsp);
        if (voz_Failed(gsp)) return false;
    }
    out->scope = cond.scope;
    out->discon_count = cond.discon_count;
    out->word_limit = cond.word_limit;
    out->codepage = cond.codepage;
    if (mixed) {
        out->cond_type = GTR_COND_MIX;
        out->mix_num = kept.words;
        out->mix = reinterpret_cast<GTRSEARCHMIX*>(h->area);
        out->mix_order = order;
    } else {
        out->cond_type = GTR_COND_STRUCT;
        out->struct_num = kept.words;
        out->struct_word = reinterpret_cast<RTRVWORD*>(h->area);
        out->struct_order = order;
    }
    return true;
}

void convert(void** hdlpp, const GTRSEARCH_COND& cond, GTRSEARCH_COND* out,
             bool mixed, const ConvCodes& codes, GTRSTATUS* gsp) {
    if (hdlpp == nullptr) {
        voz_setStatus(gsp, 1, codes.noHandleVar);
        return;
    }
    if (out == nullptr) {
        voz_setStatus(gsp, 2, codes.noOutput);
        return;
    }
    std::memset(out, 0, sizeof *out);
    VOZCONVHANDLE* h = takeHandle(hdlpp, codes.handleMemory, gsp);
    *hdlpp = h;
    if (h == nullptr) return;
    if (vozReservedCheck_GTRSEARCH_COND(&cond, gsp) != 0) return;
    if (cond.codepage == 0 || cond.codepage > MAX_CODEPAGE) {
        voz_setStatus(gsp, 108, codes.codepage);
        return;
    }
    const VOZ_CPINFO cp = descriptorOf(cond.codepage);
    Translated t;
    if (!translate(h, cond, mixed, cp, &t, gsp)) {
        voz_setStatus(gsp, 2, codes.type);
        return;
    }
    if (voz_Failed(gsp)) return;
    if (t.count < 1) {
        voz_setStatus(gsp, 25, codes.empty);
        return;
    }
    const uint8_t unchanged = mixed ? GTR_COND_MIX : GTR_COND_STRUCT;
    if (cond.cond_type == unchanged) {
        *out = cond;
        return;
    }
    convertText(h, cond, mixed, cp, t, codes, out, gsp);
}

void traceStart(void** hdlpp, GTRSEARCH_COND* out) {
    vozTraceCallStart(kCallName, VOZ_CC_ORIGIN);
    vozTraceArg("hdlpp", &hdlpp, sizeof hdlpp, VOZ_CC_ORIGIN);
    if (hdlpp != nullptr) vozTraceArg("*hdlpp", hdlpp, sizeof *hdlpp, VOZ_CC_ORIGIN);
    vozTraceArg("new_cond_ptr", &out, sizeof out, VOZ_CC_ORIGIN);
}

void traceEnd(const GTRSEARCH_COND* out, const GTRSTATUS* gsp) {
    if (out != nullptr) vozSearchCond_Trace(*out);
    vozTraceCallEnd(kCallName, gsp, VOZ_CC_ORIGIN);
}

}  // namespace

void GTRconvertSearchCond(void** hdlpp, GTRSEARCH_COND cond,
                          GTRSEARCH_COND* new_cond_ptr, GTRSTATUS* gsp) {
    traceStart(hdlpp, new_cond_ptr);
    voz_ClearStatus(gsp);
    convert(hdlpp, cond, new_cond_ptr, false, kStructCodes, gsp);
    traceEnd(new_cond_ptr, gsp);
}

void GTRconvertSearchCond_Mix(void** hdlpp, GTRSEARCH_COND cond,
                              GTRSEARCH_COND* new_cond_ptr, GTRSTATUS* gsp) {
    traceStart(hdlpp, new_cond_ptr);
    voz_ClearStatus(gsp);
    convert(hdlpp, cond, new_cond_ptr, true, kMixCodes, gsp);
    traceEnd(new_cond_ptr, gsp);
}

void GTRconvertSearchCond_Release(void** hdlpp) {
    if (hdlpp == nullptr || *hdlpp == nullptr) return;
    auto* h = static_cast<VOZCONVHANDLE*>(*hdlpp);
    std::free(h->area);
    vozQueryWorkTerm(&h->work);
    std::free(h);
    *hdlpp = nullptr;
}
