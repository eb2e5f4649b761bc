// voz_bigendian.hpp - big-endian put/get helpers of the engine's storage.
//
// Every integer in the engine's files (key file, block control files, slot
// control file, deleted-document lists, B-tree blocks, position data) is
// big-endian and written field by field through these helpers; no record
// is ever written as a struct image.  The pointers need no alignment.
#ifndef VOZ_BIGENDIAN_HPP
#define VOZ_BIGENDIAN_HPP

#include <cstdint>

inline void voz_putBE16(void* p, uint16_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v >> 8);
    b[1] = static_cast<uint8_t>(v);
}

inline void voz_putBE32(void* p, uint32_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v >> 24);
    b[1] = static_cast<uint8_t>(v >> 16);
    b[2] = static_cast<uint8_t>(v >> 8);
    b[3] = static_cast<uint8_t>(v);
}

inline void voz_putBE64(void* p, uint64_t v) {
    uint8_t* b = static_cast<uint8_t*>(p);
    voz_putBE32(b, static_cast<uint32_t>(v >> 32));
    voz_putBE32(b + 4, static_cast<uint32_t>(v));
}

inline uint16_t voz_getBE16(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

inline uint32_t voz_getBE32(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return (static_cast<uint32_t>(b[0]) << 24) |
           (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

inline uint64_t voz_getBE64(const void* p) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return (static_cast<uint64_t>(voz_getBE32(b)) << 32) | voz_getBE32(b + 4);
}

// Signed views of the same encodings (two's complement).
inline void voz_putBE16s(void* p, int16_t v) {
    voz_putBE16(p, static_cast<uint16_t>(v));
}
inline void voz_putBE32s(void* p, int32_t v) {
    voz_putBE32(p, static_cast<uint32_t>(v));
}
inline void voz_putBE64s(void* p, int64_t v) {
    voz_putBE64(p, static_cast<uint64_t>(v));
}
inline int16_t voz_getBE16s(const void* p) {
    return static_cast<int16_t>(voz_getBE16(p));
}
inline int32_t voz_getBE32s(const void* p) {
    return static_cast<int32_t>(voz_getBE32(p));
}
inline int64_t voz_getBE64s(const void* p) {
    return static_cast<int64_t>(voz_getBE64(p));
}

#endif  // VOZ_BIGENDIAN_HPP
