// voz_itemkey.cpp -- character and numeric item keys (layouts in
// voz_itemkey.hpp).
#include "calls/voz_itemkey.hpp"

#include <cstring>

#include "characters/voz_cut.hpp"

namespace {

// Strip mode of item text: leading and trailing blanks, wide blanks and
// control characters.
constexpr uint8_t ITEM_STRIP = 0x80 | 0x20;

constexpr int16_t NUMERIC_UNIT = 2;
constexpr uint8_t SIGN_BIT = 0x80;

// A key that cannot be built: 101/1124 and no length.
int32_t charItemFail(GTRSTATUS* gsp) {
    voz_setStatus(gsp, VOZ_RC_CHARNORM, VOZ_EC_CHARITEM_CONVERT);
    return 0;
}

// The value's 8 bytes, big-endian, transformed to sort as the numbers do.
void sortableBytes(double value, uint8_t b[8]) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    bool negativeZero = bits == (uint64_t{1} << 63);
    // Every negative number (the tiny ones whose top byte is exactly 0x80
    // included) is inverted, so that it sorts below +0 and below the
    // negatives of smaller magnitude; -0.0 joins +0.0.
    if ((b[0] & SIGN_BIT) != 0 && !negativeZero) {
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(~b[i]);
    } else {
        b[0] |= SIGN_BIT;
    }
}

}  // namespace

int32_t vozNormalizeCharItem(int32_t itemNo, const uint8_t* text,
                             int32_t textLen, VOZ_CPINFO cp, uint8_t* out,
                             int32_t outSize, int32_t* outLen,
                             const GTRCREATEPARM* /*cparm*/, GTRSTATUS* gsp) {
    *outLen = 0;
    if (outSize > 0) std::memset(out, 0, static_cast<size_t>(outSize));
    int16_t width = vozCHlen(cp);
    if (outSize < 2 * width) return charItemFail(gsp);
    uint8_t mark = static_cast<uint8_t>(itemNo);
    vozCHsetCharItem_StartMark(width, out, mark);

    int32_t converted = 0;
    const uint8_t* first = nullptr;
    const uint8_t* last = nullptr;
    uint8_t shift = 0;
    if (text != nullptr && textLen > 0)
        vozCHstripBlank(text, text + textLen, cp.code, ITEM_STRIP, &first,
                        &last, &shift);
    if (first != nullptr && last > first) {
        converted = outSize - 2 * width;
        uint8_t state = 0;
        int32_t rc = vozCHconvertFlat(cp, first, last, nullptr, 0, out + width,
                                      &converted, nullptr, &state);
        if (rc != VOZ_CH_DONE) {
            std::memset(out, 0, static_cast<size_t>(outSize));
            return charItemFail(gsp);
        }
    }
    vozCHsetCharItem_EndMark(width, out + width + converted, mark);
    *outLen = converted + 2 * width;
    return *outLen;
}

int32_t vozNormalizeDouble(const double* value, int32_t itemNo, int16_t width,
                           uint8_t* out) {
    int32_t head = vozCHdoubleHead_Set(out, static_cast<uint16_t>(itemNo), width);
    if (head < 0) return -1;
    uint8_t b[8];
    sortableBytes(*value, b);
    int32_t n = 8;
    while (n > 0 && b[n - 1] == 0) --n;
    std::memcpy(out + head, b, static_cast<size_t>(n));
    int32_t len = head + n;
    if (len % NUMERIC_UNIT != 0) out[len++] = 0;
    return len;
}

int32_t vozUnnormalizeDouble(const uint8_t* key, int32_t keyLen,
                             int32_t* itemNo, double* value) {
    if (key == nullptr || keyLen < 2) return -1;
    int32_t head = 2;
    int32_t item = key[0];
    if ((key[0] & SIGN_BIT) != 0) {
        if (keyLen < 3) return -1;
        head = 3;
        item = (key[0] & 0x7F) * 256 + key[2];
    }
    uint8_t b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int32_t n = keyLen - head < 8 ? keyLen - head : 8;
    std::memcpy(b, key + head, static_cast<size_t>(n));
    if ((b[0] & SIGN_BIT) != 0) {
        b[0] = static_cast<uint8_t>(b[0] & ~SIGN_BIT);
    } else {
        for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(~b[i]);
    }
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | b[i];
    std::memcpy(value, &bits, sizeof bits);
    *itemNo = item;
    return 0;
}
