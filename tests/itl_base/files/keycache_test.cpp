// The key-file cache of a search set: every read through it gives the item
// count and the bytes that the same read of the file gives, positioned
// reads and reads that continue after the last one alike, across page
// edges and past the end of the file; a cache ends cleanly.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "files/voz_file.hpp"
#include "files/voz_keycache.hpp"
#include "files/voz_keyfile_io.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

const VozReadReasons kWhy = {6, 1, 19, 2, 4, 3};

// A file set with its key file at `path` open for reading.
struct Set {
    _FCTLHEAD fs{};
    explicit Set(const std::string& path) { fs.keyFile = voz_XXopen(path.c_str(), "rb"); }
    ~Set() {
        voz_KeyCacheEnd(&fs);
        if (fs.keyFile != nullptr) voz_XXclose(fs.keyFile);
    }
};

std::string writeFile(const TempDir& dir, const std::vector<uint8_t>& bytes,
                      const char* name = "voz.KEY") {
    std::string path = dir / name;
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    EXPECT_EQ(voz_XXwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    EXPECT_EQ(voz_XXclose(f), 0);
    return path;
}

TEST(KeyCache, ReadsAgreeWithTheFile) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    // Lengths around the page size and of several pages with a partial one.
    for (size_t length : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097},
                          size_t{3 * 4096 + 1296 + 28 * 17}, size_t{70000}}) {
        TempDir dir("keycache");
        std::vector<uint8_t> bytes(length);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        const std::string path = writeFile(dir, bytes);
        Set plain(path), cached(path);
        voz_KeyCacheStart(&cached.fs);
        ASSERT_NE(cached.fs.keyCache, nullptr) << length;
        const size_t sizes[] = {1, 28, 96, 4096};
        for (int i = 0; i < 400; ++i) {
            const size_t size = sizes[rng() % 4];
            const size_t count = 1 + rng() % (i % 7 == 0 ? 300 : 4);
            // One read in four continues after the last one.
            const int64_t offset = rng() % 4 == 0
                ? -1 : static_cast<int64_t>(rng() % (length + 200));
            std::vector<uint8_t> a(size * count, 0xAA), b(size * count, 0xAA);
            GTRSTATUS sa{}, sb{};
            const int64_t ga = voz_KeyFileReadAt(&plain.fs, offset, a.data(),
                                                 size, count, kWhy, &sa);
            const int64_t gb = voz_KeyFileReadAt(&cached.fs, offset, b.data(),
                                                 size, count, kWhy, &sb);
            ASSERT_EQ(ga, gb) << "length " << length << " read " << i
                              << " at " << offset << " " << size << "x" << count;
            ASSERT_EQ(sa.retcode, sb.retcode);
            if (ga > 0) {
                ASSERT_EQ(0, memcmp(a.data(), b.data(), static_cast<size_t>(ga) * size))
                    << "length " << length << " read " << i << " at " << offset;
            }
        }
        voz_KeyCacheEnd(&cached.fs);
        EXPECT_EQ(cached.fs.keyCache, nullptr);
        voz_KeyCacheEnd(&cached.fs);  // harmless twice
    }
}

// A set that shares its key file reads through the owner's cache; a set
// without an open key file, or an empty file, starts none.
TEST(KeyCache, SharedSetsAndNothingToCache) {
    TempDir dir("keycache");
    std::vector<uint8_t> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    Set owner(writeFile(dir, bytes));
    voz_KeyCacheStart(&owner.fs);
    ASSERT_NE(owner.fs.keyCache, nullptr);
    _FCTLHEAD sharer{};
    sharer.sharedFrom = &owner.fs;
    voz_KeyCacheStart(&sharer);
    EXPECT_EQ(sharer.keyCache, nullptr) << "only the owner of the file caches";
    uint8_t got[28];
    GTRSTATUS st{};
    ASSERT_EQ(voz_KeyFileReadAt(&sharer, 5000, got, 28, 1, kWhy, &st), 1);
    EXPECT_EQ(0, memcmp(got, bytes.data() + 5000, 28));
    ASSERT_EQ(voz_KeyFileReadAt(&sharer, -1, got, 28, 1, kWhy, &st), 1);
    EXPECT_EQ(0, memcmp(got, bytes.data() + 5028, 28)) << "continues after the last";

    _FCTLHEAD closed{};
    voz_KeyCacheStart(&closed);
    EXPECT_EQ(closed.keyCache, nullptr);
    Set empty(writeFile(dir, {}, "empty"));
    voz_KeyCacheStart(&empty.fs);
    EXPECT_EQ(empty.fs.keyCache, nullptr);
}

}  // namespace
