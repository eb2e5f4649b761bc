// cos_endian.hpp: byte order of buffers of 16-bit units.
//
// Each function takes a buffer of 16-bit units and its length in BYTES and
// converts it in place; an odd last byte is left alone, and a length below
// 2 leaves the buffer unchanged. This platform is little-endian, so the
// little/host pairs do nothing and the big-endian conversions swap.
#ifndef COS_ENDIAN_HPP
#define COS_ENDIAN_HPP

// Swaps the two bytes of every unit.
void cosEndianConvertW16Swap(void* buffer, unsigned lengthInBytes);

void cosEndianConvertW16LittleToBig(void* buffer, unsigned lengthInBytes);
void cosEndianConvertW16BigToLittle(void* buffer, unsigned lengthInBytes);
void cosEndianConvertW16HostToBig(void* buffer, unsigned lengthInBytes);
void cosEndianConvertW16BigToHost(void* buffer, unsigned lengthInBytes);
void cosEndianConvertW16HostToLittle(void* buffer, unsigned lengthInBytes);
void cosEndianConvertW16LittleToHost(void* buffer, unsigned lengthInBytes);

#endif  // COS_ENDIAN_HPP
