// Tests of the storage base classes: CVozFileIO's exceptions, the byte
// buffers' growth rule and the 32-bit sorts.
#include <ftw.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"


#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "files/voz_exception.hpp"
#include "files/voz_object_trace.hpp"

namespace {

// Runs `act` and returns the exception it throws (retcode -1 when none).
}  // namespace

TEST(VozFileIO, RoundTripThroughItsOwnBuffer) {
    TempDir dir;
    const std::string name = dir / "io";
    CVozFileIO io;
    io.Open(name.c_str(), "wb+");
    EXPECT_STREQ(io.Name(), name.c_str());
    std::string data(10000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
    io.Write(data.data(), static_cast<int32_t>(data.size()));
    EXPECT_EQ(io.Tell(), 10000);
    EXPECT_EQ(io.LastPosition(), 10000);
    io.Seek(5000, 0);
    char buf[100];
    io.Read(buf, 100);
    EXPECT_EQ(std::string(buf, 100), data.substr(5000, 100));
    io.Seek(-10, 2);
    io.Read(buf, 10);
    EXPECT_EQ(std::string(buf, 10), data.substr(9990));
    EXPECT_EQ(io.Flush(), 0);
    io.Close();
    EXPECT_FALSE(io.IsOpen());
    io.Close();  // closing a closed file does nothing
}

TEST(VozFileIO, EveryFailureThrowsItsCodeAndTheFileName) {
    TempDir dir;
    const std::string name = dir / "short";
    {
        CVozFileIO w;
        w.Open(name.c_str(), "wb");
        w.Write("0123456789", 10);
        w.Close();
    }
    struct Case {
        const char* what;
        std::function<void(CVozFileIO&)> act;
        int32_t rc, ec;
    } cases[] = {
        {"open of a missing file",
         [&](CVozFileIO& io) { io.Open((dir / "none").c_str(), "rb"); }, 3,
         3351},
        {"read of 100 where 40 remain",
         [&](CVozFileIO& io) {
             io.Open(name.c_str(), "rb");
             io.Seek(-4, 2);
             char b[100];
             io.Read(b, 100);
         },
         4, 3353},
        {"write to a read-only file",
         [&](CVozFileIO& io) {
             io.Open(name.c_str(), "rb");
             std::string big(10000, 'x');
             io.Write(big.data(), static_cast<int32_t>(big.size()));
         },
         5, 3354},
        {"seek before the start",
         [&](CVozFileIO& io) {
             io.Open(name.c_str(), "rb");
             io.Seek(-1, 0);
         },
         6, 3355},
        {"tell with the sticky error set",
         [&](CVozFileIO& io) {
             io.Open(name.c_str(), "rb");
             std::string big(10000, 'x');
             try {
                 io.Write(big.data(), static_cast<int32_t>(big.size()));
             } catch (const CVozException&) {
             }
             io.Tell();
         },
         7, 3356},
        {"close that must flush into a read-only file",
         [&](CVozFileIO& io) {
             io.Open(name.c_str(), "rb");
             io.Write("ab", 2);
             io.Close();
         },
         10, 3352},
    };
    for (auto& c : cases) {
        CVozFileIO io;
        CVozException e = thrown([&] { c.act(io); });
        EXPECT_EQ(e.retcode, c.rc) << c.what;
        EXPECT_EQ(e.errcode, c.ec) << c.what;
        EXPECT_EQ(e.system_errno, 0) << c.what;
        EXPECT_STREQ(e.errfname2, "") << c.what;
        EXPECT_NE(std::string(e.errfname1).find(c.rc == 3 ? "none" : "short"),
                  std::string::npos)
            << c.what;
        if (io.IsOpen()) voz_XXclose(io.File());
    }
}

TEST(ByteBuffer, GrowthRule) {
    CVozBufferByte1 b;
    EXPECT_EQ(b.Add("0123456789", 10), 10);
    EXPECT_EQ(b.capacity, 256);
    EXPECT_EQ(memcmp(b.data, "0123456789", 10), 0);
    b.Allocate(1000);
    EXPECT_EQ(b.capacity, 2000);
    EXPECT_EQ(b.length, 0);
    b.Allocate(100);  // no shrink
    EXPECT_EQ(b.capacity, 2000);

    // Add passes capacity + n to Extend, so an Add that does not fit grows
    // to min(2 (2c + n), 2c + n + 65536), at least 256.
    CVozBufferUByte1 u;
    std::vector<uint8_t> bytes(300, 7);
    u.Add(bytes.data(), 256);
    EXPECT_EQ(u.capacity, 512);
    u.Add(bytes.data(), 300);
    EXPECT_EQ(u.capacity, 2 * (2 * 512 + 300));
    EXPECT_EQ(u.length, 556);
    u.Allocate(100000);
    EXPECT_EQ(u.capacity, 100000 + 65536);
    u.Add(bytes.data(), 300);
    u.Extend(165536);  // does not fit beside the 300 bytes
    EXPECT_EQ(u.capacity, 165536 + 165536 + 65536);
    EXPECT_EQ(u.length, 300);
    EXPECT_EQ(u.data[299], 7);
    u.Extend(10);  // fits: nothing changes
    EXPECT_EQ(u.capacity, 165536 + 165536 + 65536);
}

// A buffer near 2 GB refuses to grow past it instead of overflowing the
// capacity it would ask for.
TEST(ByteBuffer, GrowthPastTwoGigabytesIsRefused) {
    CVozBufferByte1 b;
    b.errcode = 3053;
    b.capacity = b.length = INT32_MAX - 10;  // as if filled; no bytes touched
    CVozException e = thrown([&] { b.Add("0123456789abcdef", 16); });
    EXPECT_EQ(e.retcode, 11);
    EXPECT_EQ(e.errcode, 3053);
    EXPECT_EQ(b.length, INT32_MAX - 10);
    b.capacity = b.length = 0;  // nothing was allocated
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(ByteBuffer, FailedGrowthThrowsItsErrcodeAndKeepsTheBytes) {
    // The allocator is made to refuse in a child with a small address
    // space limit.
    pid_t pid = fork();
    if (pid == 0) {
        struct rlimit rl = {512u << 20, 512u << 20};
        setrlimit(RLIMIT_AS, &rl);
        CVozBufferByte1 b;
        b.errcode = 3052;
        b.Add("abc", 3);
        CVozException e = thrown([&] { b.Allocate(1 << 30); });
        bool ok = e.retcode == 11 && e.errcode == 3052 &&
                  e.errfname1[0] == '\0' && b.capacity == 256 &&
                  b.length == 3 && memcmp(b.data, "abc", 3) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

TEST(Sorts, SignedAndUnsignedOrder) {
    int32_t s[] = {3, -1, 2};
    CVozFunctions::SortINT4(s, 3, nullptr);
    EXPECT_EQ(std::vector<int32_t>(s, s + 3), (std::vector<int32_t>{-1, 2, 3}));
    uint32_t u[] = {3, 0xFFFFFFFFu, 2};
    CVozFunctions::SortUINT4(u, 3, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(u, u + 3),
              (std::vector<uint32_t>{2, 3, 4294967295u}));
    CVozFunctions::SortINT4(nullptr, 5, nullptr);
    int32_t one[] = {9};
    CVozFunctions::SortINT4(one, 1, nullptr);
    EXPECT_EQ(one[0], 9);
}

TEST(Sorts, AgreeWithStdSortOnRandomArrays) {
    std::mt19937 rng(testSeed());
    GTRSTATUS st = {};
    for (int round = 0; round < 200; ++round) {
        size_t n = rng() % 3000;
        uint32_t range = round % 3 == 0 ? 5 : 0xFFFFFFFFu;  // many duplicates
        std::vector<uint32_t> u(n);
        for (auto& v : u) v = range == 5 ? rng() % 5 : rng();
        std::vector<int32_t> s(u.begin(), u.end());
        std::vector<uint32_t> eu = u;
        std::vector<int32_t> es = s;
        std::sort(eu.begin(), eu.end());
        std::sort(es.begin(), es.end());
        CVozFunctions::SortUINT4(u.data(), static_cast<int32_t>(n), &st);
        CVozFunctions::SortINT4(s.data(), static_cast<int32_t>(n), &st);
        ASSERT_EQ(u, eu) << "round " << round;
        ASSERT_EQ(s, es) << "round " << round;
    }
    // Already sorted and reversed inputs keep the stack small.
    std::vector<int32_t> big(200000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<int32_t>(big.size() - i);
    CVozFunctions::SortINT4(big.data(), static_cast<int32_t>(big.size()), &st);
    EXPECT_TRUE(std::is_sorted(big.begin(), big.end()));
    EXPECT_EQ(st.retcode, 0);
}

TEST(Trace, NestsByTwoBlanksPerLevel) {
    int obj = 0;
    char expectBegin[64], expectEnd[64];
    snprintf(expectBegin, sizeof expectBegin, "\n@@begin>>> A::f %p",
             static_cast<void*>(&obj));
    snprintf(expectEnd, sizeof expectEnd, "\n@@end>>> %p",
             static_cast<void*>(&obj));
    testing::internal::CaptureStdout();
    ctrace.begin("A", "f", &obj);
    ctrace.msg_print("n=%d", 5);
    ctrace.msg_print("s=%s", "x");
    ctrace.end(&obj);
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, std::string(expectBegin) + "\n  @@n=5\n  @@s=x" + expectEnd);
    EXPECT_EQ(ctrace.depth, 0);
}
