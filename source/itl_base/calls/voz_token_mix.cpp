// voz_token_mix.cpp -- vozIdentifyToken_MixQuery, the tokenizer of mixed
// query text: query text in which a token between backquotes is an item
// condition (`N5=[1,10)`, `T3="red"#C`). Every other token is read by the
// query-text tokenizer (voz_token_query.cpp); the item condition by
// vozItemToken (voz_itemtoken.cpp).
//
// Inside an item condition, double-quoted text is passed over as a whole
// (a doubled double quote counting as one quoted character), so that a
// backquote inside a quoted value does not end the condition.

#include "calls/voz_token_query.hpp"

namespace {

// The closing backquote of the item condition that starts at p (after the
// opening one), or null with the status set.
uint8_t* closingBackQuote(const VozUnits& u, uint8_t* p, uint8_t* end,
                          GTRSTATUS* gsp) {
    const uint8_t dq = vozGetDoubleQuote(u.cp);
    const uint8_t bq = vozGetBackQuote(u.cp);
    while (p < end) {
        if (u.is(p, end, bq)) return p;
        if (!u.is(p, end, dq)) {
            p += u.w;
            continue;
        }
        for (p += u.w;; p += u.w) {
            if (p >= end) {
                voz_setStatus(gsp, 105, 1722);
                return nullptr;
            }
            if (!u.is(p, end, dq)) continue;
            if (u.is(p + u.w, end, dq)) {
                p += u.w;
                continue;
            }
            break;
        }
        p += u.w;  // past the closing quote
        if (p >= end) {
            voz_setStatus(gsp, 105, 1722);
            return nullptr;
        }
    }
    voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1723);
    return nullptr;
}

}  // namespace

void vozIdentifyToken_MixQuery(uint8_t* pos, PFELEMENT* e, uint8_t** next,
                               VOZ_CPINFO cp, const uint8_t* unnorm,
                               const uint8_t* start, const RTRVRANK* rank,
                               QUERYWORK* work, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    uint8_t* end = nullptr;
    uint8_t* p = vozTokenStart(u, pos, e, &end);
    if (p == nullptr) return;
    if (!u.is(p, end, vozGetBackQuote(cp))) {
        vozIdentifyToken_Query(pos, e, next, cp, unnorm, start, rank, work,
                               gsp);
        return;
    }
    uint8_t* close = closingBackQuote(u, p + u.w, end, gsp);
    if (close == nullptr) return;
    if (close == p + u.w) {
        voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1723);
        return;
    }
    e->kind = VOZ_PF_TERM;
    vozItemToken(p + u.w, close, e, cp, unnorm, start, gsp);
    if (!voz_Failed(gsp)) *next = close + u.w;
}
