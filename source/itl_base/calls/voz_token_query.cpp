// voz_token_query.cpp -- vozIdentifyToken_Query, the tokenizer of query
// text (voz_postfix.hpp, voz_token_query.hpp).
//
//   token                 element
//   "word"  ""=one "      kind 9 'W' (the buffer is changed in place)
//   'file name'           kind 9 'B', the name from the unnormalised text
//   (  )                  kinds 7, 8; ")@..$.." kind 12 (group options)
//   * + - #               kinds 3 1 5 6; then S|F, or P (AND only: 11)
//   *d  (d 0..32)         kind 4 distance d; then S|F|P (P: 11)
//   !  !S  !P  !F         kind 9 'D' whole document; the '!' is rewritten
//                         to '#' and read again as the special NOT
//   anything else         kind 9 'W' up to the next token character
// Words and back-reference names then take their options in the order
// % @ # < $ / (voz_token_options.cpp).
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "calls/voz_token_query.hpp"
#include "characters/voz_cut.hpp"

namespace {

const char onechar_op_char[] = "*+-#";
const int16_t onechar_op_id[] = {VOZ_PF_AND, VOZ_PF_OR, VOZ_PF_NOT,
                                 VOZ_PF_SPECIAL_NOT};
const char onechar_op_code[] = "AONN";

// What a tokenizer call reads: the units, the token characters and the
// end of the text.
struct Reader {
    VozUnits u;
    const uint8_t* tc;
    uint8_t* end;
    bool tk(const uint8_t* p, int index) const {
        return u.is(p, end, tc[index]);
    }
    // The first unit from p on that is a token character of an index from
    // `from` on (the start option's only when `withStart`), or the end.
    uint8_t* findFrom(uint8_t* p, int from, bool withStart) const {
        for (; p < end; p += u.w)
            for (int i = from; i < VOZ_TK_COUNT; ++i)
                if ((i != VOZ_TK_START || withStart) && tk(p, i)) return p;
        return end;
    }
    bool letter(const uint8_t* p, char c) const { return u.is(p, end, c); }
};

void termDefaults(PFELEMENT* e, VOZ_CPINFO cp, char type, uint8_t* word,
                  int32_t len) {
    e->kind = VOZ_PF_TERM;
    RTRVWORDEXT& x = e->winfoX;
    x.wi.type = type;
    x.wi.wordp = word;
    x.wi.wordlen = static_cast<int16_t>(len > INT16_MAX ? INT16_MAX : len);
    x.wi.precision = 100;
    x.wi.casesens = 'N';
    x.wi.mask[0] = '*';
    x.wi.mask[1] = '?';
    vozCHcpy(cp, x.mask_unit[0], '*', nullptr);
    vozCHcpy(cp, x.mask_unit[1], '?', nullptr);
}

// A failed term gives back the section ranges it made (the conversion
// discards the element without looking at it).
void dropRanges(PFELEMENT* e) {
    if (e->range_list == 1) {
        std::free(e->winfoX.wi.range);
        e->winfoX.wi.range = nullptr;
        e->winfoX.wi.rangenum = 0;
        e->range_list = 0;
    }
}

// Options of a term from q on; returns the position after the last one,
// or null on failure.
uint8_t* termOptions(const Reader& r, uint8_t* q, PFELEMENT* e, QUERYWORK* work,
                     GTRSTATUS* gsp) {
    for (int i = VOZ_TK_PRECISION; i <= VOZ_TK_START; ++i) {
        if (!r.tk(q, i)) continue;
        uint8_t* optEnd = r.findFrom(q + r.u.w, i + 1, true);
        HandleToken[i](q + r.u.w, optEnd, e, r.u.cp, work, gsp);
        if (voz_Failed(gsp)) {
            dropRanges(e);
            return nullptr;
        }
        q = optEnd;
    }
    return q;
}

// Options of a group after ')' at q: a range, then a weight.
uint8_t* groupOptions(const Reader& r, uint8_t* q, PFELEMENT* e,
                      QUERYWORK* work, GTRSTATUS* gsp) {
    const uint8_t* sub = vozGetTokenCharForSubQuery(r.u.cp);
    for (int i = 0; i < 2; ++i) {
        if (!r.u.is(q, r.end, sub[i])) continue;
        uint8_t* optEnd = const_cast<uint8_t*>(
            vozFindUnit(r.u, q + r.u.w, r.end, sub + i + 1, 4 - i));
        HandleTokenForSubQuery[i](q + r.u.w, optEnd, e, r.u.cp, work, gsp);
        if (voz_Failed(gsp)) {
            dropRanges(e);
            return nullptr;
        }
        e->kind = VOZ_PF_GROUP;
        q = optEnd;
    }
    return q;
}

// "word": the doubled quotes inside are folded in place. Sets the term and
// returns the position after the closing quote, or null.
uint8_t* quotedWord(const Reader& r, uint8_t* p, PFELEMENT* e, GTRSTATUS* gsp) {
    const uint8_t dq = vozGetDoubleQuote(r.u.cp);
    const int16_t w = r.u.w;
    uint8_t* word = p + w;
    uint8_t* q = word;
    for (;;) {
        if (q >= r.end) break;
        if (!r.u.is(q, r.end, dq)) {
            q += w;
            continue;
        }
        if (!r.u.is(q + w, r.end, dq)) break;
        std::memmove(word + w, word, static_cast<size_t>(q - word));
        word += w;
        q += 2 * w;
    }
    if (q >= r.end || q == word) {
        voz_setStatus(gsp, 105, 1135);
        return nullptr;
    }
    termDefaults(e, r.u.cp, 'W', word, static_cast<int32_t>(q - word));
    return q + w;
}

// 'file name': the name's bytes are those of the unnormalised text.
uint8_t* backRefName(const Reader& r, uint8_t* p, PFELEMENT* e,
                     const uint8_t* unnorm, const uint8_t* start,
                     GTRSTATUS* gsp) {
    static const uint8_t sq[] = {'\''};
    uint8_t* first = p + r.u.w;
    uint8_t* q = const_cast<uint8_t*>(vozFindUnit(r.u, first, r.end, sq, 1));
    if (q >= r.end || q == first) {
        voz_setStatus(gsp, 107, 1136);
        return nullptr;
    }
    const uint8_t* name = nullptr;
    int32_t len = 0;
    if (unnorm != nullptr)
        vozExtractOrgStr(r.u.cp, unnorm, unnorm + std::strlen(
                             reinterpret_cast<const char*>(unnorm)),
                         start, first, q, &name, &len);
    if (len < 1 || len > 2047) {
        voz_setStatus(gsp, 107, 1138);
        return nullptr;
    }
    termDefaults(e, r.u.cp, 'B', const_cast<uint8_t*>(name), len);
    return q + r.u.w;
}

// The mode of an operator written without a letter.
void defaultMode(PFELEMENT* e, const RTRVRANK* rank) {
    if (rank == nullptr) return;
    if (rank->howto_operate == 'P') {
        if (e->kind == VOZ_PF_AND || e->kind == VOZ_PF_DISTANCE) {
            e->kind = VOZ_PF_PROXIMITY;
            e->mode = 'P';
        } else {
            e->mode = 'F';
        }
    } else {
        e->mode = rank->howto_operate;
    }
}

// A mode letter S, F or P at p; 0 when none.
char modeLetter(const Reader& r, const uint8_t* p) {
    for (char c : {'S', 'F', 'P'})
        if (r.letter(p, c)) return c;
    return 0;
}

// A word [p, stop) that starts with "*+-#": true when it is an operator
// (the element filled or the status set).
bool oneCharOperator(const Reader& r, uint8_t* p, uint8_t* stop, PFELEMENT* e,
                     const RTRVRANK* rank, GTRSTATUS* gsp) {
    int k = -1;
    for (int i = 0; i < 4 && k < 0; ++i)
        if (r.letter(p, onechar_op_char[i])) k = i;
    if (k < 0) return false;
    const int16_t w = r.u.w;
    int32_t units = r.u.count(p, stop);
    e->kind = onechar_op_id[k];
    e->Operator.op = onechar_op_code[k];
    if (units == 1) {
        defaultMode(e, rank);
        return true;
    }
    char mode = modeLetter(r, p + w);
    if (units == 2 && mode != 0) {
        if (mode == 'P' && e->kind != VOZ_PF_AND) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1166);
            return true;
        }
        if (mode == 'P') e->kind = VOZ_PF_PROXIMITY;
        e->mode = mode;
        return true;
    }
    if (k == 0) {  // '*' digits [mode]
        const uint8_t* q = p + w;
        int digits = 0, value = 0;
        for (int d; digits < 4 && (d = r.u.digit(q, stop)) >= 0; q += w, ++digits)
            value = value * 10 + d;
        mode = q < stop ? modeLetter(r, q) : 0;
        const uint8_t* after = mode != 0 ? q + w : q;
        if (digits >= 1 && digits <= 3 && value <= 32 && after == stop) {
            e->kind = VOZ_PF_DISTANCE;
            e->Operator.op = 'D';
            e->Operator.op_dlmno = static_cast<int16_t>(value);
            if (mode == 0) {
                defaultMode(e, rank);
            } else {
                e->mode = mode;
                if (mode == 'P') e->kind = VOZ_PF_PROXIMITY;
            }
            return true;
        }
    }
    std::memset(e, 0, sizeof *e);
    return false;
}

// The single NOT alone or with a mode letter: the whole-document operand.
bool specialNot(const Reader& r, uint8_t* p, uint8_t* stop, PFELEMENT* e) {
    if (!r.u.is(p, stop, vozGetSingleNot(r.u.cp))) return false;
    int32_t units = r.u.count(p, stop);
    if (units != 1 && !(units == 2 && modeLetter(r, p + r.u.w) != 0))
        return false;
    e->kind = VOZ_PF_TERM;
    e->winfoX.wi.type = 'D';
    vozCHcpy(r.u.cp, p, '#', nullptr);
    return true;
}

}  // namespace

void vozIdentifyToken_Query(uint8_t* pos, PFELEMENT* e, uint8_t** next,
                            VOZ_CPINFO cp, const uint8_t* unnorm,
                            const uint8_t* start, const RTRVRANK* rank,
                            QUERYWORK* work, GTRSTATUS* gsp) {
    Reader r{vozUnits(cp), vozGetTokenChar(cp), nullptr};
    uint8_t* p = vozTokenStart(r.u, pos, e, &r.end);
    if (p == nullptr) return;
    uint8_t* q = nullptr;
    if (r.u.is(p, r.end, vozGetDoubleQuote(cp))) {
        q = quotedWord(r, p, e, gsp);
    } else if (r.u.is(p, r.end, '\'')) {
        q = backRefName(r, p, e, unnorm, start, gsp);
    } else if (r.tk(p, VOZ_TK_OPEN)) {
        e->kind = VOZ_PF_OPEN;
        *next = p + r.u.w;
        return;
    } else if (r.tk(p, VOZ_TK_CLOSE)) {
        e->kind = VOZ_PF_CLOSE;
        q = groupOptions(r, p + r.u.w, e, work, gsp);
        if (q != nullptr) *next = q;
        return;
    } else {
        uint8_t* stop =
            r.findFrom(p + r.u.w, 0, vozCHwordBoundaryEnable(cp.code));
        if (specialNot(r, p, stop, e)) {
            *next = p;
            return;
        }
        if (oneCharOperator(r, p, stop, e, rank, gsp)) {
            *next = stop;
            return;
        }
        termDefaults(e, cp, 'W', p, static_cast<int32_t>(stop - p));
        q = stop;
    }
    if (q == nullptr) return;
    q = termOptions(r, q, e, work, gsp);
    if (q != nullptr) *next = q;
}
