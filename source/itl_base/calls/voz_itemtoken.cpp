// voz_itemtoken.cpp -- the item conditions of mixed query text, the text
// between two backquotes (voz_token_query.hpp):
//
//   Tn=value[#C|#N][<ab>]     character item n ('C'); a "quoted" value keeps
//                             its quotes (unquoted after normalisation)
//   Nn=number                 numeric item n ('N'), exactly that value
//   Nn=[low,high]  (  )       interval; '(' ')' exclude the bound, '*' is
//                             the lowest or highest double
//
// A number is at most 31 characters: a sign, digits with one '.', then an
// 'E' or 'e' and exponent digits with one sign; it is read with "." as the
// decimal point whatever the process locale. The filled item is translated
// by the item translators of structured conditions, and the element keeps
// a copy of it.
#include <cfloat>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>

#include "calls/voz_token_query.hpp"
#include "calls/voz_translate.hpp"

namespace {

constexpr int32_t RC_SYNTAX = VOZ_RC_QUERY_SYNTAX;
constexpr int NUMBER_MAX = 31;

bool fail(GTRSTATUS* gsp, int32_t rc, int32_t errcode) {
    voz_setStatus(gsp, rc, errcode);
    return false;
}

// Reads a number at *p (before end) into *value; *p moves to its
// terminator. False when the text is longer than NUMBER_MAX characters.
// An empty number reads as 0.
bool readNumber(const VozUnits& u, const uint8_t** p, const uint8_t* end,
                double* value) {
    char text[NUMBER_MAX + 2];
    int n = 0;
    bool dot = false, expo = false, expoSign = false, digit = false;
    const uint8_t* q = *p;
    for (; q < end; q += u.w) {
        char c = static_cast<char>(u.chr(q));
        bool fits;
        if (c >= '0' && c <= '9')
            fits = digit = true;
        else if (c == '+' || c == '-')
            fits = n == 0 || (expo && !expoSign && (expoSign = true));
        else if (c == '.')
            fits = !expo && !dot && (dot = true);
        else if (c == 'E' || c == 'e')
            fits = digit && !expo && (expo = true);
        else
            fits = false;
        if (!fits) break;
        if (n == NUMBER_MAX) return false;
        text[n++] = c;
    }
    text[n] = 0;
    *p = q;
    *value = n == 0 ? 0.0 : voz_A2F(text);
    return true;
}

// The lower bound of an interval: a number ended by ",", or '*' followed by
// any one character; *p is left on that separator.
bool lowerBound(const VozUnits& u, const uint8_t** p, const uint8_t* end,
                SEARCHITEM* item, GTRSTATUS* gsp) {
    if (u.is(*p, end, '*')) {
        item->num_min_value = -DBL_MAX;
        *p += u.w;
        return true;
    }
    if (!readNumber(u, p, end, &item->num_min_value))
        return fail(gsp, RC_SYNTAX, 1732);
    return u.is(*p, end, ',') || fail(gsp, RC_SYNTAX, 1734);
}

// The upper bound and the closing character.
bool upperBound(const VozUnits& u, const uint8_t** p, const uint8_t* end,
                SEARCHITEM* item, GTRSTATUS* gsp) {
    bool star = u.is(*p, end, '*');
    if (star) {
        item->num_max_value = DBL_MAX;
        *p += u.w;
    } else if (!readNumber(u, p, end, &item->num_max_value)) {
        return fail(gsp, RC_SYNTAX, 1732);
    }
    if (*p >= end) return fail(gsp, RC_SYNTAX, 1739);
    if (u.is(*p, end, ')'))
        item->num_max_equal = 'X';
    else if (u.is(*p, end, ']'))
        item->num_max_equal = 'I';
    else
        return fail(gsp, RC_SYNTAX, star ? 1740 : 1738);
    *p += u.w;
    return true;
}

// The option of a character item at p: [p + 1 unit, the next item token
// character of a later index or end).
const uint8_t* optionEnd(const VozUnits& u, const uint8_t* p,
                         const uint8_t* end, int index) {
    const uint8_t* itc = vozGetItemTokenChar(u.cp);
    return vozFindUnit(u, p + u.w, end, itc + index + 1, 4 - index);
}

}  // namespace

double voz_A2F(const char* text) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    if (cLocale == nullptr) return std::atof(text);
    return strtod_l(text, nullptr, cLocale);
}

void vozNumItemToken(const uint8_t* start, const uint8_t* end,
                     SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    const uint8_t* p = start;
    if (p >= end) {
        voz_setStatus(gsp, RC_SYNTAX, 1731);
        return;
    }
    bool open = u.is(p, end, '(');
    if (open || u.is(p, end, '[')) {
        item->num_min_equal = open ? 'X' : 'I';
        p += u.w;
        if (u.count(p, end) < 2) {
            voz_setStatus(gsp, RC_SYNTAX, 1733);
            return;
        }
        if (!lowerBound(u, &p, end, item, gsp)) return;
        // The separator and at least one unit after it.
        if (u.count(p, end) < 2) {
            voz_setStatus(gsp, RC_SYNTAX, 1735);
            return;
        }
        p += u.w;
        if (!upperBound(u, &p, end, item, gsp)) return;
    } else {
        if (!readNumber(u, &p, end, &item->num_min_value) || p == start) {
            voz_setStatus(gsp, RC_SYNTAX, 1732);
            return;
        }
        item->num_max_value = item->num_min_value;
        item->num_min_equal = item->num_max_equal = 'I';
    }
    if (p < end) voz_setStatus(gsp, RC_SYNTAX, 1741);
}

void vozItemCaseToken(const uint8_t* start, const uint8_t* end,
                      SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    if (u.count(start, end) != 1)
        voz_setStatus(gsp, 106, 1742);
    else if (u.is(start, end, 'C') || u.is(start, end, 'N'))
        item->char_casesens = u.is(start, end, 'C') ? 'C' : 'N';
    else
        voz_setStatus(gsp, 106, 1743);
    if (voz_Failed(gsp)) vozTraceOptionError("Casesens error!", start, end);
}

void vozItemMaskChar(const uint8_t* start, const uint8_t* end,
                     SEARCHITEM* item, VOZ_CPINFO cp, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    if (u.count(start, end) != 3)
        voz_setStatus(gsp, 111, 1744);
    else if (!u.is(start + 2 * u.w, end, '>'))
        voz_setStatus(gsp, 111, 1745);
    else if (std::memcmp(start, start + u.w, static_cast<size_t>(u.w)) == 0)
        voz_setStatus(gsp, 111, 1746);
    if (voz_Failed(gsp)) {
        vozTraceOptionError("Mask char error!", start, end);
        return;
    }
    item->char_mask[0] = static_cast<char>(u.chr(start));
    item->char_mask[1] = static_cast<char>(u.chr(start + u.w));
}

void vozCharItemToken(const uint8_t* start, const uint8_t* end,
                      SEARCHITEM* item, VOZ_CPINFO cp, const uint8_t* unnorm,
                      const uint8_t* normStart, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    if (start >= end) {
        voz_setStatus(gsp, RC_SYNTAX, 1728);
        return;
    }
    item->char_casesens = 'N';
    item->char_precision = 100;
    item->char_mask[0] = '*';
    item->char_mask[1] = '?';
    const uint8_t* itc = vozGetItemTokenChar(cp);
    const uint8_t dq = vozGetDoubleQuote(cp);
    const uint8_t* valueEnd = nullptr;
    if (u.is(start, end, dq)) {
        for (const uint8_t* q = start + u.w; q < end; q += u.w) {
            if (!u.is(q, end, dq)) continue;
            if (u.is(q + u.w, end, dq)) {
                q += u.w;  // a doubled quote stays in the value
                continue;
            }
            valueEnd = q + u.w;
            break;
        }
        if (valueEnd == nullptr) {
            voz_setStatus(gsp, 105, 1729);
            return;
        }
    } else {
        valueEnd = vozFindUnit(u, start + u.w, end, itc, 5);
    }
    const uint8_t* org = nullptr;
    int32_t len = 0;
    if (unnorm != nullptr)
        vozExtractOrgStr(cp, unnorm,
                         unnorm + std::strlen(reinterpret_cast<const char*>(unnorm)),
                         normStart, start, valueEnd, &org, &len);
    if (len < 1 || len > 128) {
        voz_setStatus(gsp, RC_SYNTAX, 1730);
        return;
    }
    item->char_ptr = const_cast<uint8_t*>(org);
    item->char_len = static_cast<int16_t>(len);
    const uint8_t* p = valueEnd;
    if (u.is(p, end, itc[0])) {
        const uint8_t* e = optionEnd(u, p, end, 0);
        vozItemCaseToken(p + u.w, e, item, cp, gsp);
        if (voz_Failed(gsp)) return;
        p = e;
    }
    if (u.is(p, end, itc[1]))
        vozItemMaskChar(p + u.w, optionEnd(u, p, end, 1), item, cp, gsp);
}

void vozItemToken(const uint8_t* start, const uint8_t* end, PFELEMENT* e,
                  VOZ_CPINFO cp, const uint8_t* unnorm,
                  const uint8_t* normStart, GTRSTATUS* gsp) {
    VozUnits u = vozUnits(cp);
    SEARCHITEM item;
    std::memset(&item, 0, sizeof item);
    const uint8_t* p = start;
    if (p >= end) {
        voz_setStatus(gsp, RC_SYNTAX, 1747);
        return;
    }
    if (u.is(p, end, 'T'))
        item.item_type = 'C';
    else if (u.is(p, end, 'N'))
        item.item_type = 'N';
    else {
        voz_setStatus(gsp, RC_SYNTAX, 1724);
        return;
    }
    p += u.w;
    int64_t number = 0;
    int digits = 0;
    for (int d; (d = u.digit(p, end)) >= 0 && digits < 15; p += u.w, ++digits)
        number = number * 10 + d;
    if (digits == 0) {
        voz_setStatus(gsp, RC_SYNTAX, 1725);
        return;
    }
    // Numbers past the 16-bit field are kept out of range for the check of
    // the item translators.
    item.item_number = static_cast<uint16_t>(number > 65535 ? 65535 : number);
    if (p >= end) {
        voz_setStatus(gsp, RC_SYNTAX, 1726);
        return;
    }
    if (!u.is(p, end, '=')) {
        voz_setStatus(gsp, RC_SYNTAX, 1727);
        return;
    }
    p += u.w;
    if (item.item_type == 'C') {
        vozCharItemToken(p, end, &item, cp, unnorm, normStart, gsp);
        if (!voz_Failed(gsp))
            vozTranslateCharItem(cp, &item, e->itemNo, &e->winfoX, gsp);
    } else {
        vozNumItemToken(p, end, &item, cp, gsp);
        if (!voz_Failed(gsp))
            vozTranslateNumItem(&item, e->itemNo, &e->winfoX, gsp);
    }
    if (!voz_Failed(gsp)) e->winfoX.item = item;
}
