// voz_rawcut.cpp -- the raw cutting of text into position parts.
//
// One walk serves both rules; `digits` says whether digits join letters.
// Every step goes through the character layer's next-character routine, so
// the classes (and the additional alphanumeric characters of the creation
// parameters) are those the index was built with.
#include "calls/voz_rawcut.hpp"

namespace {

struct Stepper {
    uint8_t code;
    uint8_t ctl;
    const GTRCREATEPARM* cparm;
    const uint8_t* end;

    // Class of the character at p; *next behind it; *state advanced.
    char step(const uint8_t* p, const uint8_t** next, VOZ_CONTTEXT* cont,
              uint8_t* state) const {
        const char cls = vozCHpointNextChar(code, p, next, end, cont, ctl,
                                            cparm, state);
        if (*next <= p || *next > end) *next = end;  // always progress
        return cls;
    }
};

bool isRunChar(char cls, bool digits) {
    return cls == VOZ_CLASS_LETTER || (digits && cls == VOZ_CLASS_DIGIT);
}

int32_t cutRaw(const uint8_t* start, const uint8_t* end, VOZ_CONTTEXT* cont,
               uint8_t code, uint8_t option, const uint8_t** partStart,
               const uint8_t** partEnd, const uint8_t** next,
               const GTRCREATEPARM* cparm, uint8_t* state,
               uint8_t* stateAtPartEnd, bool digits) {
    uint8_t endState = *state;
    if (start == nullptr || start >= end) {
        *partStart = start;
        *partEnd = *next = end;
        if (stateAtPartEnd != nullptr) *stateAtPartEnd = endState;
        return 0;
    }
    const Stepper s{code, (uint8_t)(option & 0x40), cparm, end};
    const uint8_t* p = start;
    const uint8_t* q = nullptr;
    uint8_t st = *state;
    int32_t count = 0;
    // A run of letters from the start.
    while (p < end && count < VOZ_RAWPART_MAX) {
        uint8_t trial = st;
        if (!isRunChar(s.step(p, &q, nullptr, &trial), digits)) break;
        st = trial;
        p = q;
        ++count;
    }
    if (count > 0) {
        *partStart = start;
        *partEnd = *next = p;
        *state = st;
        if (stateAtPartEnd != nullptr) *stateAtPartEnd = st;
        return count;
    }
    // The stretch before the next run: skip leading blanks and shifts.
    st = *state;
    for (; p < end; p = q) {
        uint8_t trial = st;
        const char cls = s.step(p, &q, cont, &trial);
        if (cls != VOZ_CLASS_BLANK && cls != VOZ_CLASS_SHIFT) break;
        st = trial;
    }
    *partStart = p;
    const uint8_t* lastEnd = p;
    endState = st;
    int32_t counted = 0;
    for (; p < end; p = q) {
        uint8_t trial = st;
        const char cls = s.step(p, &q, nullptr, &trial);
        if (isRunChar(cls, digits)) break;
        st = trial;
        if (cls == VOZ_CLASS_SHIFT) continue;
        ++count;
        if (cls == VOZ_CLASS_BLANK) continue;
        counted = count;
        lastEnd = q;
        endState = st;
    }
    *next = p;
    *state = st;
    if (counted == 0) {
        *partStart = *partEnd = p;  // nothing but blanks before the run
        endState = st;
    } else {
        *partEnd = lastEnd;
    }
    if (stateAtPartEnd != nullptr) *stateAtPartEnd = endState;
    return counted;
}

}  // namespace

int32_t vozCutIntoPartRawA(const uint8_t* start, const uint8_t* end,
                           VOZ_CONTTEXT* cont, uint8_t code, uint8_t option,
                           const uint8_t** partStart, const uint8_t** partEnd,
                           const uint8_t** next, const GTRCREATEPARM* cparm,
                           uint8_t* state, uint8_t* stateAtPartEnd) {
    return cutRaw(start, end, cont, code, option, partStart, partEnd, next,
                  cparm, state, stateAtPartEnd, false);
}

int32_t vozCutIntoPartRawAN(const uint8_t* start, const uint8_t* end,
                            VOZ_CONTTEXT* cont, uint8_t code, uint8_t option,
                            const uint8_t** partStart, const uint8_t** partEnd,
                            const uint8_t** next, const GTRCREATEPARM* cparm,
                            uint8_t* state, uint8_t* stateAtPartEnd) {
    return cutRaw(start, end, cont, code, option, partStart, partEnd, next,
                  cparm, state, stateAtPartEnd, true);
}

const VOZ_RAWCUT_FN Func_CutIntoPartRaw[2] = {vozCutIntoPartRawA,
                                              vozCutIntoPartRawAN};
