// cos_endian.cpp: in-place byte-order conversion of 16-bit unit buffers
// (contracts in cos_endian.hpp). Works byte by byte, so the buffer needs no
// particular alignment.
#include "cos_endian.hpp"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the 16-bit conversions below assume a little-endian host");

void cosEndianConvertW16Swap(void* buffer, unsigned lengthInBytes) {
    auto bytes = static_cast<unsigned char*>(buffer);
    for (unsigned i = 0; i + 1 < lengthInBytes; i += 2) {
        unsigned char first = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = first;
    }
}

void cosEndianConvertW16LittleToBig(void* buffer, unsigned lengthInBytes) {
    cosEndianConvertW16Swap(buffer, lengthInBytes);
}

void cosEndianConvertW16BigToLittle(void* buffer, unsigned lengthInBytes) {
    cosEndianConvertW16Swap(buffer, lengthInBytes);
}

void cosEndianConvertW16HostToBig(void* buffer, unsigned lengthInBytes) {
    cosEndianConvertW16Swap(buffer, lengthInBytes);
}

void cosEndianConvertW16BigToHost(void* buffer, unsigned lengthInBytes) {
    cosEndianConvertW16Swap(buffer, lengthInBytes);
}

void cosEndianConvertW16HostToLittle(void*, unsigned) {}

void cosEndianConvertW16LittleToHost(void*, unsigned) {}
