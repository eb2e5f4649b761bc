// voz_reserved.cpp -- the reserved-field checks of the public records
// (voz_reserved.hpp lists the runs and errcodes).
//
// Every run is examined whole (an OR over its bytes), so a check costs the
// same whichever byte is wrong. A failure writes only retcode and errcode.
#include "calls/voz_reserved.hpp"

#include <cstddef>

namespace {

// True when any of the n bytes at p is non-zero.
bool nonZero(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    uint8_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= b[i];
    return acc != 0;
}

template <size_t N>
bool nonZero(const uint8_t (&run)[N]) {
    return nonZero(run, N);
}

// Sets retcode and errcode unless a failure is already recorded; returns
// the retcode of the check.
int32_t fail(GTRSTATUS* gsp, int32_t rc, int32_t ec) {
    if (gsp != nullptr && gsp->retcode == 0) {
        gsp->retcode = rc;
        gsp->errcode = ec;
    }
    return rc;
}

int32_t result(bool bad, GTRSTATUS* gsp, int32_t ec) {
    return bad ? fail(gsp, VOZ_RC_RESERVED, ec) : 0;
}

bool simpleOptionBad(const SIMPLERTRVOPT& o) {
    bool bad = o.Operator.reserved1 != 0;
    bad |= nonZero(o.Operator.reserved2);
    bad |= o.reserved1 != 0;
    bad |= nonZero(o.reserved2);
    return bad;
}

bool fieldRangeBad(const GTRFIELDRANGE& r) { return nonZero(r.reserved); }
bool fieldWeightBad(const GTRFIELDWEIGHT& w) { return nonZero(w.reserved); }

}  // namespace

int32_t vozReservedCheck_GTRSEARCH_COND(const GTRSEARCH_COND* p,
                                        GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    bool bad = nonZero(p->reserved1);
    bad |= simpleOptionBad(p->simple_option);
    bad |= nonZero(p->reserved2);
    bad |= nonZero(p->reserved3);
    bad |= nonZero(p->reserved4);
    bad |= nonZero(p->reserved5);
    return result(bad, gsp, VOZ_EC_RSV_SEARCH_COND);
}

int32_t vozReservedCheck_SIMPLERTRVOPT(const SIMPLERTRVOPT* p,
                                       GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(simpleOptionBad(*p), gsp, VOZ_EC_RSV_SIMPLERTRVOPT);
}

int32_t vozReservedCheck_GTRSEARCH_RANK(const GTRSEARCH_RANK* p,
                                        GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    int32_t rc = vozReservedCheck_GTRRANKFUNCINFO(p->pRankFuncInfo, gsp);
    if (rc != 0) return rc;
    bool bad = nonZero(p->reserved1) || nonZero(p->reserved2);
    return result(bad, gsp, VOZ_EC_RSV_SEARCH_RANK);
}

int32_t vozReservedCheck_GTRSEARCH_RES(const GTRSEARCH_RES* p,
                                       GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    bool bad = nonZero(p->reserved1);
    bad |= nonZero(p->reserved2);
    bad |= nonZero(p->reserved3);
    bad |= nonZero(p->reserved4);
    return result(bad, gsp, VOZ_EC_RSV_SEARCH_RES);
}

int32_t vozReservedCheck_GTRHCREATEPARM(const GTRHCREATEPARM* p,
                                        GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_HCREATEPARM);
}

int32_t vozReservedCheck_BOUNDARYINFO(const BOUNDARYINFO* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    if (nonZero(p->reserved1) || nonZero(p->reserved2))
        return fail(gsp, VOZ_RC_RESERVED, VOZ_EC_RSV_BOUNDARYINFO);
    if (p->fld_boundary_num <= 0 || p->fld_boundary == nullptr) return 0;
    bool bad = false;
    for (int32_t i = 0; i < p->fld_boundary_num; ++i) {
        const FLDBOUNDARYINFO& f = p->fld_boundary[i];
        bad |= nonZero(f.reserved1) || nonZero(f.reserved2);
    }
    return result(bad, gsp, VOZ_EC_RSV_FLDBOUNDARY);
}

int32_t vozReservedCheck_GTRSYSPARM(const GTRSYSPARM* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_SYSPARM);
}

int32_t vozReservedCheck_REGISTITEM(const REGISTITEM* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    bool bad = nonZero(p->reserved1);
    bad |= nonZero(p->reserved2);
    bad |= nonZero(p->reserved3);
    return result(bad, gsp, VOZ_EC_RSV_REGISTITEM);
}

int32_t vozReservedCheck_GTRFIELDRANGE(const GTRFIELDRANGE* p,
                                       GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(fieldRangeBad(*p), gsp, VOZ_EC_RSV_FIELDRANGE);
}

int32_t vozReservedCheck_GTRFIELDWEIGHT(const GTRFIELDWEIGHT* p,
                                        GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(fieldWeightBad(*p), gsp, VOZ_EC_RSV_FIELDWEIGHT);
}

int32_t vozReservedCheck_RTRVWORD(const RTRVWORD* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    if (p->fld_number > 0 && p->pFieldRange != nullptr) {
        for (int32_t i = 0; i < p->fld_number; ++i) {
            const GTRFIELDRANGE& r = p->pFieldRange[i];
            int32_t rc = vozReservedCheck_GTRFIELDRANGE(&r, gsp);
            if (rc != 0) return rc;
            if (r.fld_start_num == 0 || r.fld_end_num < r.fld_start_num)
                return fail(gsp, VOZ_RC_FIELDINFO, VOZ_EC_FIELDRANGE_VALUE);
        }
    }
    if (p->weight > 0 && p->pFieldWeight != nullptr) {
        for (int32_t i = 0; i < p->weight; ++i) {
            const GTRFIELDWEIGHT& w = p->pFieldWeight[i];
            int32_t rc = vozReservedCheck_GTRFIELDWEIGHT(&w, gsp);
            if (rc != 0) return rc;
            if (w.fld_end_num < w.fld_start_num || w.weight < 0)
                return fail(gsp, VOZ_RC_WEIGHT, VOZ_EC_FIELDWEIGHT_VALUE);
        }
    }
    bool bad = nonZero(p->reserved1);
    bad |= nonZero(p->reserved2);
    bad |= nonZero(p->reserved3);
    return result(bad, gsp, VOZ_EC_RSV_RTRVWORD);
}

int32_t vozReservedCheck_SEARCHITEM(const SEARCHITEM* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    bool bad = nonZero(p->reserved1);
    bad |= nonZero(p->reserved2);
    bad |= nonZero(p->reserved3);
    bad |= nonZero(p->reserved4);
    return result(bad, gsp, VOZ_EC_RSV_SEARCHITEM);
}

int32_t vozReservedCheck_GTRKEYINFO(const GTRKEYINFO* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_KEYINFO);
}

int32_t vozReservedCheck_GTRSKIPFUNCINFO(const GTRSKIPFUNCINFO* p,
                                         GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_SKIPFUNCINFO);
}

int32_t vozReservedCheck_GTRRANKFUNCINFO(const GTRRANKFUNCINFO* p,
                                         GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_RANKFUNCINFO);
}

int32_t vozReservedCheck_GTRONEDOCINFO(const GTRONEDOCINFO* p,
                                       GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    return result(nonZero(p->reserved), gsp, VOZ_EC_RSV_ONEDOCINFO);
}

int32_t vozReservedCheck_GTRSEARCHMIX(const GTRSEARCHMIX* p, GTRSTATUS* gsp) {
    if (p == nullptr) return 0;
    bool bad = nonZero(p->reserved1) || nonZero(p->reserved2);
    return result(bad, gsp, VOZ_EC_RSV_SEARCHMIX);
}
