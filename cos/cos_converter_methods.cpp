// cos_converter_methods.cpp: the conversion methods that need neither ICU
// nor iconv: copy, byte-order swap, the library's single-byte and
// double-byte tables towards UCS-2, and the reverse tables and the
// truncating algorithm from UCS-2. The UTF-8 methods are in
// cos_converter_utf8.cpp.
//
// Every method checks the room left in the target before each character
// and stops with CPCONVERTER_TOO_BIG when it does not fit; the source then
// stands at the first character not written.
#include <cstring>

#include "cos_converter_methods.hpp"
#include "cos_converter_tables.hpp"

namespace {

const uint16_t kUnitEbcdicNewLine = 0x0085;
const uint16_t kUnitLineFeed = 0x000A;
const unsigned char kShiftOut = 0x0E;
const unsigned char kShiftIn = 0x0F;

inline void putUnit(char* p, uint16_t unit) { std::memcpy(p, &unit, 2); }
inline uint16_t getUnit(char const* p) {
    uint16_t unit;
    std::memcpy(&unit, p, 2);
    return unit;
}

// Number of whole UCS-2 units of the request that fit the target at
// `bytesPerUnit` output bytes each; sets TOO_BIG when not all fit and
// INCOMPLETE for an odd source size when all do.
unsigned int unitsToConvert(CosStConverterRequest& r, unsigned int bytesPerUnit) {
    unsigned int units = r.uiSourceSize / 2;
    unsigned int room = r.uiTargetSize / bytesPerUnit;
    if (room < units) {
        r.converter.setError(CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
        return room;
    }
    if (r.uiSourceSize % 2 != 0)
        r.converter.setError(CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
    return units;
}

// Bytes of a single-byte source that fit the target; TOO_BIG when not all.
unsigned int bytesToConvert(CosStConverterRequest& r) {
    unsigned int room = r.uiTargetSize / 2;
    if (room < r.uiSourceSize) {
        r.converter.setError(CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
        return room;
    }
    return r.uiSourceSize;
}

template <bool kEbcdic>
unsigned int convertSBCS(CosStConverterRequest& r) {
    const uint16_t* table = static_cast<const uint16_t*>(r.converter.getTable());
    const unsigned char* src = reinterpret_cast<const unsigned char*>(*r.ppcSource);
    unsigned int n = bytesToConvert(r);
    char* out = r.pcTarget;
    for (unsigned int i = 0; i < n; ++i) {
        uint16_t unit = table[src[i]];
        if (kEbcdic && unit == kUnitEbcdicNewLine) unit = kUnitLineFeed;
        putUnit(out + 2 * i, unit);
    }
    *r.ppcSource += n;
    return 2 * n;
}

inline uint16_t dbcsValue(const _CosStDBCSConversionTable* t, unsigned char first,
                          unsigned char second) {
    return t->ppusWards[t->aucWardIndex[first] - 1][second];
}

// Ends a table conversion: stores where the source stopped, returns bytes.
unsigned int finish(CosStConverterRequest& r, const unsigned char* stop, char* out) {
    *r.ppcSource = reinterpret_cast<char const*>(stop);
    return static_cast<unsigned int>(out - r.pcTarget);
}

void setTooBig(CosStConverterRequest& r) {
    r.converter.setError(CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
}

void setIncomplete(CosStConverterRequest& r) {
    r.converter.setError(CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
}

}  // namespace

unsigned int cosConvertError(CosStConverterRequest& r) {
    r.converter.setError(CosEnErrorId::CPCONVERTER_UNSUPPORTED,
                         CosEnErrorClass::INCONSISTENT_SITUATION);
    return 0;
}

unsigned int cosConvertByCopying(CosStConverterRequest& r) {
    unsigned int k = 2 * unitsToConvert(r, 2);
    if (k != 0) std::memcpy(r.pcTarget, *r.ppcSource, k);  // either may be null when empty
    *r.ppcSource += k;
    return k;
}

unsigned int cosConvertByEndianSwap(CosStConverterRequest& r) {
    unsigned int k = 2 * unitsToConvert(r, 2);
    char const* src = *r.ppcSource;
    for (unsigned int i = 0; i < k; i += 2) {
        r.pcTarget[i] = src[i + 1];
        r.pcTarget[i + 1] = src[i];
    }
    *r.ppcSource += k;
    return k;
}

unsigned int cosConvertByTablesSBCS_ASCIItoUCS2(CosStConverterRequest& r) {
    return convertSBCS<false>(r);
}

unsigned int cosConvertByTablesSBCS_EBCDICtoUCS2(CosStConverterRequest& r) {
    return convertSBCS<true>(r);
}

// A lead byte takes the next byte as its second byte; any other byte is a
// single-byte character (U+FFFD in a pure double-byte code page). A lead
// byte that ends the input is incomplete input and stays unconsumed.
unsigned int cosConvertByTablesDBCS_ASCIItoUCS2(CosStConverterRequest& r) {
    const _CosStDBCSConversionTable* t =
        static_cast<const _CosStDBCSConversionTable*>(r.converter.getTable());
    const unsigned char* src = reinterpret_cast<const unsigned char*>(*r.ppcSource);
    const unsigned char* end = src + r.uiSourceSize;
    char* out = r.pcTarget;
    char* outEnd = out + (r.uiTargetSize & ~1u);
    while (src < end) {
        unsigned char b = *src;
        uint16_t unit;
        unsigned int used = 1;
        if (t->paucLeadBytes[b]) {
            if (src + 1 == end) {
                setIncomplete(r);
                break;
            }
            unit = dbcsValue(t, b, src[1]);
            used = 2;
        } else {
            unit = dbcsValue(t, 0, b);
        }
        if (out == outEnd) {
            setTooBig(r);
            break;
        }
        putUnit(out, unit);
        out += 2;
        src += used;
    }
    return finish(r, src, out);
}

// Shifted EBCDIC: 0x0E enters and 0x0F leaves double-byte state, writing
// nothing. A pure double-byte code page has no single-byte state to start
// in: it starts, and may end, in double-byte state. A mixed source that
// ends in double-byte state, or a first byte without its second, is
// incomplete input (the latter stays unconsumed).
unsigned int cosConvertByTablesDBCS_EBCDICtoUCS2(CosStConverterRequest& r) {
    const _CosStDBCSConversionTable* t =
        static_cast<const _CosStDBCSConversionTable*>(r.converter.getTable());
    const unsigned char* src = reinterpret_cast<const unsigned char*>(*r.ppcSource);
    const unsigned char* end = src + r.uiSourceSize;
    char* out = r.pcTarget;
    char* outEnd = out + (r.uiTargetSize & ~1u);
    bool doubleByte = t->bIsPure;
    while (src < end) {
        unsigned char b = *src;
        if (b == kShiftOut || b == kShiftIn) {
            doubleByte = b == kShiftOut;
            ++src;
            continue;
        }
        uint16_t unit;
        unsigned int used = 1;
        if (doubleByte) {
            if (src + 1 == end) {
                setIncomplete(r);
                return finish(r, src, out);
            }
            unit = dbcsValue(t, b, src[1]);
            used = 2;
        } else {
            unit = dbcsValue(t, 0, b);
        }
        if (out == outEnd) {
            setTooBig(r);
            return finish(r, src, out);
        }
        if (unit == kUnitEbcdicNewLine) unit = kUnitLineFeed;
        putUnit(out, unit);
        out += 2;
        src += used;
    }
    if (doubleByte && !t->bIsPure) setIncomplete(r);
    return finish(r, src, out);
}

unsigned int cosConvertByTablesUCS2toSBCS(CosStConverterRequest& r) {
    const unsigned char* table = static_cast<const unsigned char*>(r.converter.getTable());
    unsigned int n = unitsToConvert(r, 1);
    char const* src = *r.ppcSource;
    for (unsigned int i = 0; i < n; ++i) {
        uint16_t u = getUnit(src + 2 * i);
        unsigned int page = table[u >> 8];
        r.pcTarget[i] = static_cast<char>(table[256 * page + (u & 0xFF)]);
    }
    *r.ppcSource += 2 * n;
    return n;
}

unsigned int cosConvertByAlgorithmUCS2to819(CosStConverterRequest& r) {
    unsigned int n = unitsToConvert(r, 1);
    char const* src = *r.ppcSource;
    for (unsigned int i = 0; i < n; ++i)
        r.pcTarget[i] = static_cast<char>(getUnit(src + 2 * i) & 0xFF);
    *r.ppcSource += 2 * n;
    return n;
}
