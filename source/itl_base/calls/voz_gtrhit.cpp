// voz_gtrhit.cpp -- GTRgetHitinfo, GTRgetHitinfoExt, GTRgetHitOffset and
// their shared worker vozGetHit (see voz_gtrhit.hpp).
//
// Each call checks its own pointers, then vozGetHit checks what every hit
// call checks (start position, code page, order, word rule), presets the
// offsets to -1, -1 and runs the walk of voz_pointhit.cpp.
#include "calls/voz_gtrhit.hpp"

#include <cstring>

#include "calls/voz_trace.hpp"
#include "characters/voz_cpinfo.hpp"
#include "cos_trace.hpp"

#define VOZ_GH_STR2(x) #x
#define VOZ_GH_STR(x) VOZ_GH_STR2(x)
#define VOZ_GH_ORIGIN __FILE__ ":" VOZ_GH_STR(__LINE__)

namespace {

bool traceOn() { return gs_pclCosTraceInstance != nullptr; }

// The arguments every hit call traces. The hit calls write no binary
// trace record, so they do not look for its marker file (a file-system
// lookup per call, and a caller may ask for the hits of every document).
void traceArgs(const char* call, const uint8_t* docmp, int32_t doclen,
               int32_t occnum, const OCC* occs) {
    vozTraceText(call, call, VOZ_GH_ORIGIN);  // the call's name alone
    vozTraceArg("docmp", &docmp, sizeof docmp, VOZ_GH_ORIGIN);
    vozTraceArg("doclen", &doclen, 4, VOZ_GH_ORIGIN);
    vozTraceArg("occnum", &occnum, 4, VOZ_GH_ORIGIN);
    if (occs == nullptr || !traceOn()) return;
    for (int32_t ox = 0; ox < occnum; ++ox)
        vozTraceArg("occs[ox]", &occs[ox], sizeof(OCC), VOZ_GH_ORIGIN);
}

void traceGsp(GTRSTATUS* gsp) {
    vozTraceArg("gsp", &gsp, sizeof gsp, VOZ_GH_ORIGIN);
}

void traceHits(const HITOFFSET* hitinfo, int32_t occnum) {
    if (hitinfo == nullptr || !traceOn()) return;
    for (int32_t hx = 0; hx < occnum; ++hx)
        vozTraceArg("hitinfo[hx]", &hitinfo[hx], sizeof(HITOFFSET),
                    VOZ_GH_ORIGIN);
}

// True when b sorts before a: document and position signed, then length.
bool before(const OCC& b, const OCC& a) {
    if (b.docno != a.docno) return b.docno < a.docno;
    if (b.pos != a.pos) return b.pos < a.pos;
    return b.len < a.len;
}

// Steps 2 to 5 of the checks; the word rule found into *rule.
bool checkHits(int32_t occnum, const OCC* occs, int32_t startpos,
               uint8_t codepage, uint8_t* rule, GTRSTATUS* gsp) {
    const int64_t first = static_cast<int64_t>(startpos) + 1;
    if (first < 1 || first > VOZ_HIT_POS_MAX) {
        voz_setStatus(gsp, VOZ_RC_STARTPOS, VOZ_EC_HIT_STARTPOS);
        return false;
    }
    if (!vozCPisValid(codepage)) {
        voz_setStatus(gsp, VOZ_RC_CODEPAGE, VOZ_EC_HIT_CODEPAGE);
        return false;
    }
    for (int32_t i = 1; i < occnum; ++i) {
        if (before(occs[i], occs[i - 1])) {
            voz_setStatus(gsp, VOZ_RC_HIT_ORDER, VOZ_EC_HIT_ORDER);
            return false;
        }
    }
    *rule = 0;
    for (int32_t i = 0; i < occnum; ++i) {
        if (occs[i].len == 0) continue;
        *rule = occs[i].match;  // byte 11: the word rule for the hit calls
        break;
    }
    if (*rule > 1) {
        voz_setStatus(gsp, VOZ_RC_HIT_RULE, VOZ_EC_HIT_RULE);
        return false;
    }
    return true;
}

// The errcode of an additional alphanumeric character, 0 when it is
// printable ASCII punctuation.
int32_t specialCharError(uint8_t c) {
    if (c < 0x21) return VOZ_EC_HITEXT_SPECIAL;
    if (c >= '0' && c <= '9') return VOZ_EC_HITEXT_SPECIAL + 1;
    if (c >= 'A' && c <= 'Z') return VOZ_EC_HITEXT_SPECIAL + 2;
    if (c >= 'a' && c <= 'z') return VOZ_EC_HITEXT_SPECIAL + 3;
    if (c > 0x7E) return VOZ_EC_HITEXT_SPECIAL + 4;
    return 0;
}

// The engine's creation parameters from the caller's record: zero but for
// the additional characters. False (status set) when the record is bad.
bool creationOf(const GTRHCREATEPARM* h, GTRCREATEPARM* p, uint8_t* code,
                GTRSTATUS* gsp) {
    memset(p, 0, sizeof *p);
    *code = 1;
    if (h == nullptr) return true;
    if (!vozCPisValid(h->codepage)) {
        voz_setStatus(gsp, VOZ_RC_CODEPAGE, VOZ_EC_HITEXT_CODEPAGE);
        return false;
    }
    if (h->special_alpha_num > VOZ_SPECIAL_LETTERS_MAX) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_HITEXT_SPECIALNUM);
        return false;
    }
    for (int i = 0; i < h->special_alpha_num; ++i) {
        const int32_t ec = specialCharError(
            static_cast<uint8_t>(h->special_alpha_list[i]));
        if (ec != 0) {
            voz_setStatus(gsp, VOZ_RC_PARAMETER, ec);
            return false;
        }
    }
    *code = h->codepage;
    p->specialLength = h->special_alpha_num;
    memcpy(p->specialLetters, h->special_alpha_list, sizeof p->specialLetters);
    return true;
}

}  // namespace

void vozGetHit(const uint8_t* docmp, int32_t doclen, int32_t occnum,
               const OCC* occs, int32_t* startpos, HITOFFSET* hitinfo,
               const GTRCREATEPARM* cparm, uint8_t codepage, GTRSTATUS* gsp,
               int32_t* firstOpen) {
    uint8_t rule = 0;
    if (!checkHits(occnum, occs, *startpos, codepage, &rule, gsp)) return;
    for (int32_t i = 0; i < occnum; ++i) hitinfo[i] = HITOFFSET{-1, -1};
    int32_t counter = *startpos + 1;
    if (docmp == nullptr || doclen < 0) doclen = 0;  // no text: nothing found
    vozPointHitPart(docmp, doclen, cparm, codepage, VOZ_HIT_MODE, rule,
                    &counter, occnum, occs, hitinfo, firstOpen);
    *startpos = counter - 1;
}

void GTRgetHitinfo(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                   const OCC* occs, int32_t startpos, HITOFFSET* hitinfo,
                   uint8_t codepage, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceArgs("GTRgetHitinfo", docmp, doclen, occnum, occs);
    vozTraceArg("startpos", &startpos, 4, VOZ_GH_ORIGIN);
    vozTraceArg("hitinfo", &hitinfo, sizeof hitinfo, VOZ_GH_ORIGIN);
    vozTraceArg("codepage", &codepage, 1, VOZ_GH_ORIGIN);
    traceGsp(gsp);
    if (occnum != 0) {
        if (occs == nullptr || hitinfo == nullptr || occnum < 0) {
            voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_HIT_NULL);
        } else {
            int32_t counter = startpos;  // the caller's value stays
            vozGetHit(docmp, doclen, occnum, occs, &counter, hitinfo, nullptr,
                      codepage, gsp, nullptr);
        }
    }
    if (occnum > 0) traceHits(hitinfo, occnum);
    vozTraceCallEnd("GTRgetHitinfo", gsp, VOZ_GH_ORIGIN);
}

void GTRgetHitinfoExt(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                      const OCC* occs, int32_t startpos, HITOFFSET* hitinfo,
                      const GTRHCREATEPARM* hcparmp, GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceArgs("GTRgetHitinfoExt", docmp, doclen, occnum, occs);
    vozTraceArg("startpos", &startpos, 4, VOZ_GH_ORIGIN);
    vozTraceArg("hitinfo", &hitinfo, sizeof hitinfo, VOZ_GH_ORIGIN);
    if (hcparmp != nullptr)
        vozTraceArg("hcparmp->codepage", &hcparmp->codepage, 1, VOZ_GH_ORIGIN);
    traceGsp(gsp);
    GTRCREATEPARM parm;
    uint8_t code = 1;
    if (creationOf(hcparmp, &parm, &code, gsp) && occnum != 0) {
        if (occs == nullptr || hitinfo == nullptr || occnum < 0) {
            voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_HITEXT_NULL);
        } else {
            int32_t counter = startpos;
            vozGetHit(docmp, doclen, occnum, occs, &counter, hitinfo, &parm,
                      code, gsp, nullptr);
        }
    }
    if (occnum > 0) traceHits(hitinfo, occnum);
    vozTraceCallEnd("GTRgetHitinfoExt", gsp, VOZ_GH_ORIGIN);
}

void GTRgetHitOffset(const uint8_t* docmp, int32_t doclen, int32_t occnum,
                     const OCC* occs, uint8_t codepage, int32_t* startpos,
                     HITOFFSET* hitinfo, int32_t* starthx, int32_t* endhx,
                     GTRSTATUS* gsp) {
    voz_ClearStatus(gsp);
    traceArgs("GTRgetHitOffset", docmp, doclen, occnum, occs);
    vozTraceArg("codepage", &codepage, 1, VOZ_GH_ORIGIN);
    if (startpos != nullptr) vozTraceArg("startpos", startpos, 4, VOZ_GH_ORIGIN);
    vozTraceArg("hitinfo", &hitinfo, sizeof hitinfo, VOZ_GH_ORIGIN);
    traceGsp(gsp);
    int32_t start = -1;
    int32_t end = -1;
    if (occnum != 0 && (occs == nullptr || hitinfo == nullptr || occnum < 0)) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_HITOFF_NULL);
    } else if (occnum != 0 && startpos == nullptr) {
        voz_setStatus(gsp, VOZ_RC_PARAMETER, VOZ_EC_HITOFF_STARTPOS);
    } else if (occnum == 0) {
        start = end = 0;  // nothing to place; the numbering stays
    } else {
        // Occurrences that ended before this piece are skipped.
        const int64_t first = static_cast<int64_t>(*startpos) + 1;
        start = 0;
        for (; start < occnum; ++start) {
            const OCC& o = occs[start];
            if (o.pos >= first || static_cast<int64_t>(o.pos) + o.len > first)
                break;
            hitinfo[start] = HITOFFSET{-1, -1};
        }
        if (start == occnum) {
            end = occnum;
        } else {
            int32_t open = 0;
            vozGetHit(docmp, doclen, occnum - start, occs + start, startpos,
                      hitinfo + start, nullptr, codepage, gsp, &open);
            if (!voz_Failed(gsp)) end = start + open;
        }
    }
    if (starthx != nullptr) *starthx = start;
    if (endhx != nullptr) *endhx = end;
    if (occnum > 0) traceHits(hitinfo, occnum);
    vozTraceArg("starthx", &start, 4, VOZ_GH_ORIGIN);
    vozTraceArg("endhx", &end, 4, VOZ_GH_ORIGIN);
    vozTraceCallEnd("GTRgetHitOffset", gsp, VOZ_GH_ORIGIN);
}
