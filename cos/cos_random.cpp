// cos_random.cpp: IBAA generator (contracts in cos_random.hpp).
//
// One IBAA step, for i = 0 .. 255:
//   x = m[i]
//   a = rotl(a, 19) + m[(i + 128) mod 256]
//   m[i] = y = m[x mod 256] + a + b
//   r[i] = b = m[(y >> 8) mod 256] + x
// All arithmetic is on 32-bit words with wrap-around.
#include "cos_random.hpp"

#include <sys/time.h>

CosClRandomNumberGenerator::CosClRandomNumberGenerator()
    : iv_auiMemory(), iv_auiResults() {
    struct timeval now;
    ::gettimeofday(&now, nullptr);
    init(static_cast<uint32_t>(now.tv_usec));
}

void CosClRandomNumberGenerator::init(uint32_t seed) {
    // Park-Miller "minimal standard" step by Schrage's method, kept in
    // unsigned words: a value that would be negative as a signed number is
    // used as it wraps, without adding the modulus back.
    uint32_t x = seed | 1u;
    for (uint32_t& word : iv_auiMemory) {
        x = 16807u * (x % 127773u) - 2836u * (x / 127773u);
        word = x;
    }
    iv_uiAccumulator = 0;
    iv_uiLastResult = 0;
    ibaa();
}

void CosClRandomNumberGenerator::ibaa() {
    uint32_t a = iv_uiAccumulator;
    uint32_t b = iv_uiLastResult;
    for (uint32_t i = 0; i < SIZE; ++i) {
        uint32_t x = iv_auiMemory[i];
        a = ((a << 19) | (a >> 13)) + iv_auiMemory[(i + SIZE / 2) % SIZE];
        uint32_t y = iv_auiMemory[x % SIZE] + a + b;
        iv_auiMemory[i] = y;
        b = iv_auiMemory[(y >> ALPHA) % SIZE] + x;
        iv_auiResults[i] = b;
    }
    iv_uiAccumulator = a;
    iv_uiLastResult = b;
    iv_uiAvailable = SIZE;
}

uint32_t CosClRandomNumberGenerator::getRandomNumber() {
    if (iv_uiAvailable == 0) ibaa();
    return iv_auiResults[--iv_uiAvailable];
}

uint32_t CosClRandomNumberGenerator::getRandomNumber(uint32_t limit) {
    long double r = getRandomNumber();
    return static_cast<uint32_t>(r / 4294967295.0L * limit);
}
