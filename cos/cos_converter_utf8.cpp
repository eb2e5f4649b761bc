// cos_converter_utf8.cpp: UTF-8 <-> UCS-2 and the one-character decoder.
//
// Decoding accepts only well-formed UTF-8. Anything else (a continuation
// byte where a sequence should start, C0, C1, F5-FF, an overlong form, a
// surrogate, a value past U+10FFFF, a sequence broken off by a byte that is
// not a continuation byte) becomes one U+FFFD for each maximal part of a
// sequence that could have been valid, as other converters do. A valid but
// unfinished sequence at the end of the input is incomplete input.
//
// Encoding writes one to four bytes per character. Lone surrogates and the
// noncharacters (U+FDD0-U+FDEF, U+xxFFFE, U+xxFFFF) become U+FFFF.
#include <cstring>

#include "cos_converter_methods.hpp"

namespace {

// Trailing-byte counts by first byte: 0 for 00-BF, 1 for C0-DF, 2 for
// E0-EF, 3 for F0-F7, 4 for F8-FB, 5 for FC-FF.
unsigned int trailingBytes(unsigned char b) {
    if (b < 0xC0) return 0;
    if (b < 0xE0) return 1;
    if (b < 0xF0) return 2;
    if (b < 0xF8) return 3;
    if (b < 0xFC) return 4;
    return 5;
}

// Validity of a sequence starting with `lead`: its total length (0 when
// the lead can start no sequence) and the range of its second byte.
struct LeadInfo {
    unsigned int length;
    unsigned char secondLow;
    unsigned char secondHigh;
};

LeadInfo leadInfo(unsigned char lead) {
    if (lead < 0x80) return {1, 0, 0};
    if (lead < 0xC2) return {0, 0, 0};
    if (lead < 0xE0) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead < 0xF0) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead < 0xF4) return {4, 0x80, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

const uint32_t kReplacement = 0xFFFD;

// Decodes the sequence at p (avail bytes readable, avail >= 1). Returns
// the number of bytes it takes; 0 when p holds a valid sequence that the
// input cuts off. *value receives the character or U+FFFD.
unsigned int decode(const unsigned char* p, size_t avail, uint32_t* value) {
    unsigned char lead = p[0];
    LeadInfo info = leadInfo(lead);
    if (info.length == 1) {
        *value = lead;
        return 1;
    }
    if (info.length == 0) {
        *value = kReplacement;
        return 1;
    }
    uint32_t v = lead & (0x7F >> info.length);
    for (unsigned int i = 1; i < info.length; ++i) {
        if (i == avail) return 0;
        unsigned char c = p[i];
        bool ok = i == 1 ? (c >= info.secondLow && c <= info.secondHigh) : (c & 0xC0) == 0x80;
        if (!ok) {
            *value = kReplacement;
            return i;
        }
        v = (v << 6) | (c & 0x3F);
    }
    *value = v;
    return info.length;
}

inline void putUnit(char* p, uint16_t unit) { std::memcpy(p, &unit, 2); }

void setError(CosStConverterRequest& r, CosEnErrorId id, CosEnErrorClass c) {
    r.converter.setError(id, c);
}

bool isNoncharacter(uint32_t v) {
    return (v >= 0xFDD0 && v <= 0xFDEF) || (v & 0xFFFE) == 0xFFFE;
}

}  // namespace

unsigned int CosClConverterABase::getUtf8TrailingBytes(unsigned char b) { return trailingBytes(b); }

uint32_t CosClConverterABase::convertUtf8CharToUtf32(char const* p) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    // Never reads past the first byte that cannot continue the sequence,
    // so the length given to decode() only has to cover the sequence.
    uint32_t value = kReplacement;
    if (decode(s, 4, &value) == 0) value = kReplacement;
    return value;
}

unsigned int cosConvertByAlgorithmUTF8toUCS2(CosStConverterRequest& r) {
    const unsigned char* src = reinterpret_cast<const unsigned char*>(*r.ppcSource);
    const unsigned char* end = src + r.uiSourceSize;
    char* out = r.pcTarget;
    char* outEnd = out + (r.uiTargetSize & ~1u);
    while (src < end) {
        // The common case: runs of ASCII, eight bytes at a time.
        while (end - src >= 8 && outEnd - out >= 16) {
            uint64_t eight;
            std::memcpy(&eight, src, 8);
            if (eight & 0x8080808080808080ull) break;
            for (int i = 0; i < 8; ++i) putUnit(out + 2 * i, src[i]);
            src += 8;
            out += 16;
        }
        if (src == end) break;
        if (*src < 0x80 && out != outEnd) {
            putUnit(out, *src++);
            out += 2;
            continue;
        }
        uint32_t v;
        unsigned int used = decode(src, static_cast<size_t>(end - src), &v);
        if (used == 0) {
            setError(r, CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
            break;
        }
        size_t need = v > 0xFFFF ? 4 : 2;
        if (static_cast<size_t>(outEnd - out) < need) {
            setError(r, CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
            break;
        }
        if (v > 0xFFFF) {
            putUnit(out, static_cast<uint16_t>(0xD800 + ((v - 0x10000) >> 10)));
            putUnit(out + 2, static_cast<uint16_t>(0xDC00 + ((v - 0x10000) & 0x3FF)));
        } else {
            putUnit(out, static_cast<uint16_t>(v));
        }
        out += need;
        src += used;
    }
    *r.ppcSource = reinterpret_cast<char const*>(src);
    return static_cast<unsigned int>(out - r.pcTarget);
}

unsigned int cosConvertByAlgorithmUCS2toUTF8(CosStConverterRequest& r) {
    char const* src = *r.ppcSource;
    char const* end = src + (r.uiSourceSize & ~1u);
    unsigned char* out = reinterpret_cast<unsigned char*>(r.pcTarget);
    unsigned char* outEnd = out + r.uiTargetSize;
    bool stopped = false;
    while (src < end) {
        // The common case: runs of ASCII, eight units at a time, each one
        // byte (a unit below 0x80 has no bit of 0xFF80 set).
        while (end - src >= 16 && outEnd - out >= 8) {
            uint64_t lanes[2];
            std::memcpy(lanes, src, 16);
            if ((lanes[0] | lanes[1]) & 0xFF80FF80FF80FF80ull) break;
            for (int i = 0; i < 8; ++i) {
                uint16_t unit;
                std::memcpy(&unit, src + 2 * i, 2);
                out[i] = static_cast<unsigned char>(unit);
            }
            src += 16;
            out += 8;
        }
        if (src == end) break;
        uint16_t u;
        std::memcpy(&u, src, 2);
        uint32_t v = u;
        unsigned int units = 1;
        if (u >= 0xD800 && u <= 0xDBFF && end - src >= 4) {
            uint16_t low;
            std::memcpy(&low, src + 2, 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                v = 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (low - 0xDC00);
                units = 2;
            }
        }
        if ((units == 1 && v >= 0xD800 && v <= 0xDFFF) || isNoncharacter(v)) v = 0xFFFF;
        size_t need = v < 0x80 ? 1 : v < 0x800 ? 2 : v < 0x10000 ? 3 : 4;
        if (static_cast<size_t>(outEnd - out) < need) {
            setError(r, CosEnErrorId::CPCONVERTER_TOO_BIG, CosEnErrorClass::DATA_OUT_OF_BOUNDS);
            stopped = true;
            break;
        }
        switch (need) {
        case 1:
            *out++ = static_cast<unsigned char>(v);
            break;
        case 2:
            *out++ = static_cast<unsigned char>(0xC0 | (v >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (v & 0x3F));
            break;
        case 3:
            *out++ = static_cast<unsigned char>(0xE0 | (v >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (v & 0x3F));
            break;
        default:
            *out++ = static_cast<unsigned char>(0xF0 | (v >> 18));
            *out++ = static_cast<unsigned char>(0x80 | ((v >> 12) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (v & 0x3F));
            break;
        }
        src += 2 * units;
    }
    if (!stopped && r.uiSourceSize % 2 != 0)
        setError(r, CosEnErrorId::CPCONVERTER_INCOMPLETE, CosEnErrorClass::USER_DATA_ERROR);
    *r.ppcSource = src;
    return static_cast<unsigned int>(out - reinterpret_cast<unsigned char*>(r.pcTarget));
}
