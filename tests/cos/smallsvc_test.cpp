// Tests of the small services: environment switches, bit arrays, the random
// number generator, sleeping and timing, byte order, library queries and
// diagnostic line prefixes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cos_bitarray.hpp"
#include "cos_endian.hpp"
#include "cos_envvar.hpp"
#include "cos_library.hpp"
#include "cos_memmgr.hpp"
#include "cos_random.hpp"
#include "cos_time.hpp"

namespace {

// Counting callbacks around the C library; installed by MemoryCounter.
unsigned gs_allocations = 0;
unsigned gs_largestRequest = 0;
void* countingAllocator(unsigned size) {
    ++gs_allocations;
    if (size > gs_largestRequest) gs_largestRequest = size;
    return std::malloc(size ? size : 1);
}
void* countingReallocator(void* block, unsigned size) { return std::realloc(block, size ? size : 1); }
void countingDeallocator(void* block) { std::free(block); }

struct MemoryCounter {
    MemoryCounter() {
        gs_allocations = gs_largestRequest = 0;
        CosClMemoryManager::setNewMemoryManager(countingAllocator, countingReallocator,
                                                countingDeallocator);
    }
    ~MemoryCounter() {
        CosClMemoryManager::setNewMemoryManager(CosClMemoryManager::systemAllocator,
                                                CosClMemoryManager::systemReallocator,
                                                CosClMemoryManager::systemDeallocator);
    }
};

// ---------------------------------------------------------------------------
// Environment variables

TEST(EnvironmentVariable, EnabledValues) {
    struct Case {
        char const* value;  // null: unset
        bool enabled;
    } const cases[] = {
        {"on", true},   {"Yes", true},      {"true", true}, {"1", true},  {"ON", true},
        {"tRuE", true}, {"enabled", false}, {"0", false},   {"", false},  {"off", false},
        {"ON ", false}, {" 1", false},      {"YESS", false}, {"11", false}, {nullptr, false},
    };
    CosClEnvironmentVariable variable("COS_SMALLSVC_SWITCH", nullptr);
    CosClEnvironmentVariableABase reader("COS_SMALLSVC_SWITCH");
    for (auto const& c : cases) {
        SCOPED_TRACE(c.value != nullptr ? c.value : "(unset)");
        ASSERT_TRUE(variable.setNewValue(c.value));
        EXPECT_EQ(reader.hasValueEnabled(), c.enabled);
        EXPECT_EQ(reader.hasValue(), c.value != nullptr);
    }
}

TEST(EnvironmentVariable, SetAppendAndReset) {
    CosClEnvironmentVariable variable("COS_SMALLSVC_PATH", "/a");
    EXPECT_STREQ(std::getenv("COS_SMALLSVC_PATH"), "/a");
    EXPECT_STREQ(variable.getValue(), "/a");
    EXPECT_TRUE(variable.appendValue(":/b"));
    EXPECT_STREQ(variable.getValue(), "/a:/b");
    EXPECT_EQ(variable.resetValue(), 0);
    EXPECT_EQ(std::getenv("COS_SMALLSVC_PATH"), nullptr);
    EXPECT_FALSE(variable.hasValue());
    EXPECT_TRUE(variable.appendValue("x"));  // unset counts as empty
    EXPECT_STREQ(variable.getValue(), "x");
    variable.resetValue();
}

TEST(EnvironmentVariable, SettingOutlivesTheObject) {
    // Before: the setting text lived inside the object and the environment
    // pointed into it after the object was gone.
    auto* scoped = new CosClEnvironmentVariable("COS_SMALLSVC_SCOPED", "kept");
    delete scoped;
    std::vector<std::string> churn(64, std::string(40, 'z'));  // reuse freed memory
    ASSERT_NE(std::getenv("COS_SMALLSVC_SCOPED"), nullptr);
    EXPECT_STREQ(std::getenv("COS_SMALLSVC_SCOPED"), "kept");
    unsetenv("COS_SMALLSVC_SCOPED");
}

TEST(EnvironmentVariable, OverlongNameNamesNoVariable) {
    std::string name40(40, 'N'), name41(41, 'N');
    CosClEnvironmentVariable fits(name40.c_str(), "1");
    EXPECT_STREQ(fits.getName(), name40.c_str());
    EXPECT_TRUE(fits.hasValueEnabled());
    setenv(name41.c_str(), "1", 1);
    CosClEnvironmentVariable tooLong(name41.c_str(), "ON");
    EXPECT_STREQ(tooLong.getName(), "");
    EXPECT_FALSE(tooLong.hasValue());  // not the 41-character variable
    EXPECT_FALSE(tooLong.setNewValue("1"));
    EXPECT_STREQ(std::getenv(name41.c_str()), "1");  // and not the 40-character one
    EXPECT_STREQ(std::getenv(name40.c_str()), "1");
    unsetenv(name40.c_str());
    unsetenv(name41.c_str());
}

TEST(EnvironmentVariable, QueryOnlyNames) {
    CosClEnvironmentVariableQueryOnly query;
    EXPECT_STREQ(query.getName(), "?");
    CosClEnvironmentVariable variable("COS_SMALLSVC_QUERY", "yes");
    CosClEnvironmentVariableQueryOnly same(variable);
    EXPECT_STREQ(same.getName(), "COS_SMALLSVC_QUERY");
    EXPECT_TRUE(same.hasValueEnabled());
    query.setNewName("COS_SMALLSVC_QUERY");
    EXPECT_STREQ(query.getValue(), "yes");
    variable.resetValue();
    EXPECT_FALSE(query.hasValue());
}

// ---------------------------------------------------------------------------
// Bit arrays

std::string stored(CosClBitArray const& bits) {
    std::ostringstream out;
    bits.write(out);
    return out.str();
}

TEST(BitArray, ByteCountsAndStoredForm) {
    EXPECT_EQ(CosClBitArray(0).getByteCount(), 1u);
    EXPECT_EQ(CosClBitArray(8).getByteCount(), 2u);
    EXPECT_EQ(CosClBitArray(9).getByteCount(), 2u);
    CosClBitArray bits(16);
    bits.setBit(0);
    bits.setBit(9);
    bits.setBit(15);
    EXPECT_EQ(stored(bits), std::string("\x10\x00\x00\x00" "\x01\x82\x00", 7));
    EXPECT_EQ(stored(CosClBitArray(0)), std::string("\x00\x00\x00\x00\x00", 5));
    CosClBitArray big(0x01020304);
    EXPECT_EQ(stored(big).substr(0, 4), "\x04\x03\x02\x01");
    EXPECT_EQ(stored(big).size(), 4u + 0x01020304u / 8 + 1);
}

TEST(BitArray, SetClearCopyAndCompare) {
    CosClBitArray bits(20);
    for (uint32_t i = 0; i < 20; i += 3) bits.setBit(i);
    bits.setBit(3, false);
    for (uint32_t i = 0; i < 20; ++i) EXPECT_EQ(bits.getBit(i), i % 3 == 0 && i != 3) << i;
    CosClBitArray copy(bits);
    EXPECT_TRUE(copy == bits);
    copy.setBit(19);
    EXPECT_TRUE(copy != bits);
    CosClBitArray other(5);
    other = copy;
    EXPECT_EQ(other.getBitCount(), 20u);
    EXPECT_TRUE(other == copy);
    other = other;
    EXPECT_TRUE(other == copy);
    EXPECT_FALSE(CosClBitArray(8) == CosClBitArray(9));  // same bytes, other count
}

TEST(BitArray, ReadsBackWhatWasWritten) {
    CosClBitArray bits(77);
    for (uint32_t i = 0; i < 77; i += 5) bits.setBit(i);
    std::stringstream stream;
    bits.write(stream);
    CosClBitArray back(3);  // another count: the stored one is taken over
    back.read(stream);
    EXPECT_TRUE(stream.good());
    EXPECT_TRUE(back == bits);
    EXPECT_EQ(back.getBitCount(), 77u);
}

TEST(BitArray, TruncatedStreamLeavesArrayUnchanged) {
    CosClBitArray bits(40);
    bits.setBit(33);
    std::string full = stored(bits);
    for (size_t cut : {size_t{0}, size_t{3}, size_t{4}, full.size() - 1}) {
        SCOPED_TRACE(cut);
        std::istringstream in(full.substr(0, cut));
        CosClBitArray target(7);
        target.setBit(6);
        CosClBitArray before(target);
        target.read(in);
        EXPECT_TRUE(in.fail());
        EXPECT_TRUE(target == before);
    }
}

TEST(BitArray, DamagedCountDoesNotAllocateBeyondTheData) {
    MemoryCounter counter;
    std::istringstream in(std::string("\xF0\xFF\xFF\xFF" "abc", 7));  // ~4 G bits
    CosClBitArray target(8);
    target.read(in);
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(target.getBitCount(), 8u);
    EXPECT_LE(gs_largestRequest, 4096u);
}

TEST(BitArray, AllocatesThroughMemoryManager) {
    MemoryCounter counter;
    CosClBitArray bits(100);
    CosClBitArray copy(bits);
    EXPECT_EQ(gs_allocations, 2u);
    EXPECT_EQ(gs_largestRequest, 13u);
}

// ---------------------------------------------------------------------------
// Random numbers

// The generator as published (Jenkins' IBAA, ALPHA 8), written out
// separately from the library's, with the seeding of init().
struct ReferenceIbaa {
    uint32_t m[256], r[256], aa = 0, bb = 0;
    int left = 0;
    explicit ReferenceIbaa(uint32_t seed) {
        uint32_t x = seed | 1;
        for (int i = 0; i < 256; ++i) {
            x = 16807 * (x % 127773) - 2836 * (x / 127773);
            m[i] = x;
        }
        pass();
    }
    void pass() {
        uint32_t a = aa, b = bb;
        for (int i = 0; i < 256; ++i) {
            uint32_t x = m[i];
            a = ((a << 19) ^ (a >> 13)) + m[(i + 128) & 255];
            uint32_t y = m[x & 255] + a + b;
            m[i] = y;
            r[i] = b = m[(y >> 8) & 255] + x;
        }
        aa = a;
        bb = b;
        left = 256;
    }
    uint32_t next() {
        if (left == 0) pass();
        return r[--left];
    }
};

TEST(RandomNumberGenerator, FollowsThePublishedGenerator) {
    for (uint32_t seed : {0u, 1u, 4711u, 999999u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(seed);
        CosClRandomNumberGenerator generator;
        generator.init(seed);
        ReferenceIbaa reference(seed);
        uint32_t lastResult = reference.r[255];
        ASSERT_EQ(reference.next(), lastResult);
        EXPECT_EQ(generator.getRandomNumber(), lastResult);  // last result first
        for (int i = 1; i < 1000; ++i) ASSERT_EQ(generator.getRandomNumber(), reference.next()) << i;
    }
}

TEST(RandomNumberGenerator, SameSeedGivesSameSequence) {
    // Before: the accumulators were never set, so a second init() with the
    // same seed continued from where the first sequence had left them.
    CosClRandomNumberGenerator first, second;
    first.init(12345);
    std::vector<uint32_t> sequence;
    for (int i = 0; i < 700; ++i) sequence.push_back(first.getRandomNumber());
    first.init(12345);
    second.init(12345);
    for (int i = 0; i < 700; ++i) {
        ASSERT_EQ(first.getRandomNumber(), sequence[i]) << i;
        ASSERT_EQ(second.getRandomNumber(), sequence[i]) << i;
    }
    CosClRandomNumberGenerator even, odd, other;
    even.init(12344);  // the lowest bit of the seed is always set
    odd.init(12345);
    other.init(12347);
    int sameAsOther = 0;
    for (int i = 0; i < 100; ++i) {
        uint32_t value = odd.getRandomNumber();
        EXPECT_EQ(even.getRandomNumber(), value);
        sameAsOther += other.getRandomNumber() == value;
    }
    EXPECT_LT(sameAsOther, 3);
}

TEST(RandomNumberGenerator, ScaledNumbersCoverTheirRange) {
    CosClRandomNumberGenerator generator;
    generator.init(2024);
    unsigned counts[11] = {};
    for (int i = 0; i < 20000; ++i) {
        uint32_t value = generator.getRandomNumber(10);
        ASSERT_LE(value, 10u);
        ++counts[value];
    }
    for (int v = 0; v < 10; ++v) {
        EXPECT_GT(counts[v], 1500u) << v;  // 2000 expected each
        EXPECT_LT(counts[v], 2500u) << v;
    }
    EXPECT_LE(counts[10], 1u);  // only from the largest word
    for (int i = 0; i < 100; ++i) EXPECT_EQ(generator.getRandomNumber(0), 0u);
    std::set<uint32_t> large;
    for (int i = 0; i < 1000; ++i) large.insert(generator.getRandomNumber(0xFFFFFFFFu));
    EXPECT_GT(large.size(), 990u);
}

TEST(RandomNumberGenerator, WordsCoverAllBits) {
    CosClRandomNumberGenerator generator;
    generator.init(77);
    uint32_t ored = 0, anded = 0xFFFFFFFFu;
    unsigned topNibble[16] = {};
    for (int i = 0; i < 16000; ++i) {
        uint32_t value = generator.getRandomNumber();
        ored |= value;
        anded &= value;
        ++topNibble[value >> 28];
    }
    EXPECT_EQ(ored, 0xFFFFFFFFu);
    EXPECT_EQ(anded, 0u);
    for (unsigned count : topNibble) {
        EXPECT_GT(count, 800u);  // 1000 expected each
        EXPECT_LT(count, 1200u);
    }
}

// ---------------------------------------------------------------------------
// Time, sleeping, timing

TEST(SleepAndTiming, SleepsAtLeastTheAskedTime) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cosSleepMilliSeconds(20), 0);
    auto afterMilli = std::chrono::steady_clock::now();
    EXPECT_EQ(cosSleepMicroSeconds(5000), 0);
    auto afterMicro = std::chrono::steady_clock::now();
    EXPECT_GE(afterMilli - start, std::chrono::milliseconds(20));
    EXPECT_GE(afterMicro - afterMilli, std::chrono::microseconds(5000));
    EXPECT_EQ(cosSleepSeconds(0), 0u);
    EXPECT_EQ(cosSleepMinutes(0), 0u);
    EXPECT_EQ(cosSleepHours(0), 0u);
}

// Seconds since the epoch on the precise real-time clock. time() reads a
// coarse clock that lags gettimeofday() by up to a tick, so comparing with
// it failed now and then just after a second boundary.
double systemSeconds() {
    auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count();
}

TEST(SleepAndTiming, WallClockAgreesWithSystemTime) {
    // The tolerance covers the microsecond truncation of gettimeofday(); a
    // wrongly scaled microsecond part is off by far more.
    constexpr double kTolerance = 0.05;
    for (int i = 0; i < 1000; ++i) {
        double before = systemSeconds();
        double now = CosClTiming::wallClockTime();
        double after = systemSeconds();
        ASSERT_GE(now, before - kTolerance) << i;
        ASSERT_LE(now, after + kTolerance) << i;
    }
    EXPECT_EQ(cosGetTimeStamp(), 0u);
}

TEST(SleepAndTiming, TimingInitClearsValues) {
    CosClTiming timing;
    timing.iv_dStart = 1;
    timing.iv_dEnd = 2;
    timing.iv_dLast = 3;
    timing.iv_dTotal = 4;
    timing.init(true);
    EXPECT_EQ(timing.iv_dStart + timing.iv_dEnd + timing.iv_dLast + timing.iv_dTotal, 0.0);
}

// ---------------------------------------------------------------------------
// Byte order

TEST(EndianW16, SwapsWholeUnitsOnly) {
    unsigned char buffer[] = {1, 2, 3, 4, 5};
    cosEndianConvertW16Swap(buffer, 5);
    EXPECT_EQ(std::memcmp(buffer, "\x02\x01\x04\x03\x05", 5), 0);  // odd byte alone
    cosEndianConvertW16Swap(buffer, 1);
    cosEndianConvertW16Swap(buffer, 0);
    EXPECT_EQ(std::memcmp(buffer, "\x02\x01\x04\x03\x05", 5), 0);
}

TEST(EndianW16, BigEndianConversionsSwapAndLittleOnesDoNot) {
    uint16_t const host[2] = {0x1234, 0xABCD};
    using Convert = void (*)(void*, unsigned);
    Convert const swapping[] = {cosEndianConvertW16LittleToBig, cosEndianConvertW16BigToLittle,
                                cosEndianConvertW16HostToBig, cosEndianConvertW16BigToHost};
    for (Convert convert : swapping) {
        uint16_t units[2] = {host[0], host[1]};
        convert(units, sizeof units);
        EXPECT_EQ(std::memcmp(units, "\x12\x34\xAB\xCD", 4), 0);
    }
    for (Convert convert : {cosEndianConvertW16HostToLittle, cosEndianConvertW16LittleToHost}) {
        uint16_t units[2] = {host[0], host[1]};
        convert(units, sizeof units);
        EXPECT_EQ(units[0], 0x1234);
        EXPECT_EQ(units[1], 0xABCD);
    }
}

// ---------------------------------------------------------------------------
// Library queries and line prefixes

TEST(LibraryLevel, LevelAndPlatform) {
    EXPECT_STREQ(cosLibraryGetLevel(), "COSLibR5-24");
    EXPECT_TRUE(std::regex_match(cosLibraryGetTod(),
                                 std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}")));
    EXPECT_TRUE(cosLibraryIsShipCode());
    EXPECT_EQ(cosGetOperatingSystemId(), 8);
}

TEST(LibraryLevel, LinePrefixes) {
    std::ostringstream out;
    cos_tprint(out, "/src/cos/demo.src", 42);
    cos_tprint(out, "c:\\dir\\win.src", 7);
    cos_tprint(out, "plain.src", -1);
    EXPECT_EQ(out.str(), "[demo.src:42] [win.src:7] [plain.src:-1] ");

    testing::internal::CaptureStdout();
    cos_tprintf("/src/cos/demo.src", 42, "value %d", 5);
    cos_tprintf("a.src", 1, "done\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[/src/cos/demo.src:42] value 5\n[a.src:1] done\n");
}

}  // namespace
