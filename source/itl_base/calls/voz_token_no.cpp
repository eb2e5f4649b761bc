// voz_token_no.cpp -- vozIdentifyToken_NO, the tokenizer of order strings:
// the plain-byte strings that join numbered conditions ("1 * (2 + 3)").
//
//   token          element
//   digits n       kind 9, itemNo n - 1
//   '*' digits d   kind 4 distance d (letter 'D')
//   * + - # ( )    kinds 3 1 5 6 7 8 (letters A O N N, none)
//   then S|F|P     the mode; 'P' only after AND or a distance (kind 11)
//   '!'            kind 9 whole document; rewritten to '#' and read again
// Bytes of value 32 or below before a token are skipped.
#include <cstring>

#include "calls/voz_postfix.hpp"

namespace {

const char rsv_char[] = "*+-#()";
const int16_t rsv_id[] = {VOZ_PF_AND, VOZ_PF_OR,   VOZ_PF_NOT,
                          VOZ_PF_SPECIAL_NOT, VOZ_PF_OPEN, VOZ_PF_CLOSE};
const char rsv_op[] = {'A', 'O', 'N', 'N', 0, 0};

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Reads the mode of an operator or parenthesis at *p (advancing past a
// letter), else applies the ranking record's default. Returns false with
// the status set when 'P' follows an operator that cannot take it.
bool readMode(uint8_t*& p, PFELEMENT* e, const RTRVRANK* rank,
              GTRSTATUS* gsp) {
    bool proximityAllowed = e->kind == VOZ_PF_AND || e->kind == VOZ_PF_DISTANCE;
    char letter = static_cast<char>(*p);
    if (letter == 'S' || letter == 'F') {
        e->mode = letter;
        ++p;
        return true;
    }
    if (letter == 'P') {
        if (!proximityAllowed) {
            voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1167);
            return false;
        }
        e->kind = VOZ_PF_PROXIMITY;
        e->mode = 'P';
        ++p;
        return true;
    }
    char dflt = rank != nullptr ? rank->howto_operate : 0;
    if (dflt == 'P') {
        if (proximityAllowed) {
            e->kind = VOZ_PF_PROXIMITY;
            e->mode = 'P';
        } else {
            e->mode = 'F';
        }
    } else {
        e->mode = dflt;
    }
    return true;
}

}  // namespace

void vozIdentifyToken_NO(uint8_t* pos, PFELEMENT* e, uint8_t** next,
                         VOZ_CPINFO /*cp*/, const uint8_t* /*unnorm*/,
                         const uint8_t* /*start*/, const RTRVRANK* rank,
                         QUERYWORK* /*work*/, GTRSTATUS* gsp) {
    std::memset(e, 0, sizeof *e);
    e->itemNo = -1;
    uint8_t* p = pos;
    while (*p != 0 && *p <= ' ') ++p;
    if (*p == 0) {
        e->kind = VOZ_PF_END;
        return;
    }
    const char* r = std::strchr(rsv_char, *p);
    if (r != nullptr) {
        size_t k = static_cast<size_t>(r - rsv_char);
        e->kind = rsv_id[k];
        e->Operator.op = rsv_op[k];
        ++p;
        if (e->kind == VOZ_PF_AND && isDigit(*p)) {
            int32_t d = 0;
            while (isDigit(*p)) {
                // Kept in 16 bits without a range check; saturate so that a
                // long run of digits cannot overflow the count.
                if (d < 0x7FFF) d = d * 10 + (*p - '0');
                ++p;
            }
            e->kind = VOZ_PF_DISTANCE;
            e->Operator.op = 'D';
            e->Operator.op_dlmno = static_cast<int16_t>(d > 0x7FFF ? 0x7FFF : d);
        }
        if (!readMode(p, e, rank, gsp)) return;
        *next = p;
        return;
    }
    if (*p == '!') {
        *p = '#';
        e->kind = VOZ_PF_TERM;
        e->whole_doc = 'Y';
        e->itemNo = 0;
        *next = p;
        return;
    }
    if (!isDigit(*p)) {
        voz_setStatus(gsp, VOZ_RC_QUERY_SYNTAX, 1165);
        return;
    }
    int64_t n = 0;
    while (isDigit(*p)) {
        if (n < 0x7FFFFFFF) n = n * 10 + (*p - '0');
        ++p;
    }
    e->kind = VOZ_PF_TERM;
    e->itemNo = static_cast<int32_t>((n > 0x7FFFFFFF ? 0x7FFFFFFF : n) - 1);
    *next = p;
}
