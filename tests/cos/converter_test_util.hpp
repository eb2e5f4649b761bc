// Helpers of the converter tests: running a conversion into a guarded
// buffer, and UCS-2 text as bytes.
#ifndef TESTS_COS_CONVERTER_TEST_UTIL_HPP
#define TESTS_COS_CONVERTER_TEST_UTIL_HPP

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cos_converter.hpp"

namespace convtest {

// Outcome of one convertBytes call.
struct Outcome {
    std::string out;        // bytes written
    size_t consumed = 0;    // source bytes consumed
    CosEnErrorId error = CosEnErrorId::NO_ERROR;
    bool guardIntact = true;  // nothing written past the target size
};

const unsigned char kGuard = 0xA5;
const size_t kGuardSize = 32;

// Converts `in` into a target of `targetSize` bytes followed by guard bytes.
inline Outcome run(CosClConverterABase const& c, std::string const& in, unsigned int targetSize) {
    std::vector<char> buffer(targetSize + kGuardSize, static_cast<char>(kGuard));
    char const* src = in.data();
    Outcome o;
    unsigned int n = c.convertBytes(buffer.data(), targetSize, &src, static_cast<unsigned int>(in.size()));
    o.out.assign(buffer.data(), n > targetSize ? targetSize : n);
    o.consumed = static_cast<size_t>(src - in.data());
    o.error = c.getError().id;
    for (size_t i = targetSize; i < buffer.size(); ++i)
        if (static_cast<unsigned char>(buffer[i]) != kGuard) o.guardIntact = false;
    EXPECT_LE(n, targetSize);
    return o;
}

// Converts `in` with a target sized by getMaximumSizeForSize.
inline Outcome runFull(CosClConverterABase const& c, std::string const& in) {
    return run(c, in, c.getMaximumSizeForSize(static_cast<unsigned int>(in.size())));
}

// UCS-2 units as host-order bytes and back.
inline std::string ucs2(std::u16string const& s) {
    return std::string(reinterpret_cast<char const*>(s.data()), 2 * s.size());
}
inline std::u16string units(std::string const& bytes) {
    std::u16string s(bytes.size() / 2, u'\0');
    std::memcpy(&s[0], bytes.data(), 2 * s.size());
    return s;
}

}  // namespace convtest

#endif
