// Deleted-document lists: registration merges and orders, the file layout is
// byte-exact, lists reload, bad numbers and damaged files fail cleanly.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "files/voz_deldocs.hpp"
#include "files/voz_file.hpp"

namespace {

namespace fs = std::filesystem;

std::vector<uint32_t> listOf(const CVozDeletedDocs& d) {
    return {d.Numbers(), d.Numbers() + d.Count()};
}

// A list file is a partitioned file: its bytes are in part 0000.
std::vector<uint8_t> partBytes(const std::string& name) {
    std::ifstream in(name + "/0000", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writePart(const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(name);
    std::ofstream(name + "/0000", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(DeletedDocs, RegisterSortsAndMergesDuplicates) {
    CVozDeletedDocs d;
    uint32_t first[] = {5, 3, 5};
    d.RegisterDeletedDocs(first, 3);
    EXPECT_EQ((std::vector<uint32_t>{3, 5}), listOf(d));
    uint32_t second[] = {9, 4, 3};
    d.RegisterDeletedDocs(second, 3);
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 5, 9}), listOf(d));
    uint32_t before[] = {1, 0, 1};
    d.RegisterDeletedDocs(before, 3);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 3, 4, 5, 9}), listOf(d));
    d.RegisterDeletedDocs(nullptr, 0);
    EXPECT_EQ(6u, d.Count());
}

TEST(DeletedDocs, NumbersAboveTheLimitAreRefused) {
    CVozDeletedDocs d;
    uint32_t ok[] = {7, 2147483646u};
    d.RegisterDeletedDocs(ok, 2);
    for (uint32_t bad : {2147483647u, 4000000000u}) {
        uint32_t batch[] = {1, bad, 8};
        try {
            d.RegisterDeletedDocs(batch, 3);
            ADD_FAILURE() << "accepted " << bad;
        } catch (CVozException& e) {
            EXPECT_EQ(30, e.retcode);
            EXPECT_EQ(bad, static_cast<uint32_t>(e.errcode));
            EXPECT_STREQ("", e.errfname1);
        }
        EXPECT_EQ((std::vector<uint32_t>{7, 2147483646u}), listOf(d)) << "list unchanged";
    }
}

TEST(DeletedDocs, FileLayoutIsByteExact) {
    TempDir dir;
    std::string name = dir.file("Main.DEL");
    CVozDeletedDocs d;
    uint32_t nums[] = {300, 2, 1};
    d.RegisterDeletedDocs(nums, 3);
    d.Externalize(name.c_str());
    std::vector<uint8_t> want = {0, 0, 0, 3};
    want.resize(32, 0);
    for (uint8_t b : {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 1, 0x2C}) want.push_back(b);
    EXPECT_EQ(want, partBytes(name));
    EXPECT_EQ((std::vector<uint32_t>{1, 2, 300}), listOf(d)) << "memory keeps host order";
}

TEST(DeletedDocs, EmptyListWritesNoFileAndMissingFileLoadsEmpty) {
    TempDir dir;
    std::string name = dir.file("Supp.DEL");
    CVozDeletedDocs d;
    d.Internalize(name.c_str());
    EXPECT_EQ(0u, d.Count());
    d.Externalize(name.c_str());
    EXPECT_FALSE(fs::exists(name));
    // An existing file is left as it is by an empty list.
    writePart(name, {0, 0, 0, 1, 9, 9});
    d.Externalize(name.c_str());
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 1, 9, 9}), partBytes(name));
}

TEST(DeletedDocs, ReloadKeepsReservedHeaderBytes) {
    TempDir dir;
    std::string name = dir.file("Main.DEL");
    std::vector<uint8_t> bytes = {0, 0, 0, 2, 0xAB};
    bytes.resize(32, 0);
    bytes[31] = 0xCD;
    for (uint8_t b : {0, 0, 0, 4, 0, 0, 0, 8}) bytes.push_back(b);
    writePart(name, bytes);
    CVozDeletedDocs d;
    d.Internalize(name.c_str());
    EXPECT_EQ((std::vector<uint32_t>{4, 8}), listOf(d));
    uint32_t more[] = {6};
    d.RegisterDeletedDocs(more, 1);
    d.Externalize(name.c_str());
    std::vector<uint8_t> got = partBytes(name);
    ASSERT_EQ(32u + 12u, got.size());
    EXPECT_EQ(3, got[3]);
    EXPECT_EQ(0xAB, got[4]);
    EXPECT_EQ(0xCD, got[31]);
}

TEST(DeletedDocs, ShortFileThrowsTheReadFailure) {
    TempDir dir;
    std::string name = dir.file("Main.DEL");
    std::vector<uint8_t> bytes = {0, 0, 0, 3};
    bytes.resize(32, 0);
    for (uint8_t b : {0, 0, 0, 1, 0, 0, 0, 2}) bytes.push_back(b);  // 2 of 3
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"header says 3, file holds 2", bytes},
        {"header cut short", {0, 0, 0, 1}},
        {"vast count", {0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
    };
    for (auto& c : cases) {
        fs::remove_all(name);
        writePart(name, c.bytes);
        CVozDeletedDocs d;
        try {
            d.Internalize(name.c_str());
            ADD_FAILURE() << c.what;
        } catch (CVozException& e) {
            EXPECT_EQ(4, e.retcode) << c.what;
            EXPECT_EQ(3353, e.errcode) << c.what;
            EXPECT_EQ(name, e.errfname1) << c.what;
        }
        // The file was closed: it can be replaced at once.
        uint32_t one[] = {1};
        d.RegisterDeletedDocs(one, 1);
        d.Externalize(name.c_str());
    }
}

TEST(DeletedDocs, AgreesWithSetModelAcrossReloads) {
    std::mt19937 rng(testSeed());
    TempDir dir;
    std::string name = dir.file("Main.DEL");
    std::set<uint32_t> model;
    for (int round = 0; round < 20; ++round) {
        CVozDeletedDocs d;
        d.Internalize(name.c_str());
        ASSERT_EQ(std::vector<uint32_t>(model.begin(), model.end()), listOf(d))
            << "round " << round;
        for (int batch = 0; batch < 5; ++batch) {
            std::vector<uint32_t> nums(rng() % 400);
            uint32_t span = rng() % 2 ? 1000 : 2147483647u;
            for (auto& n : nums) n = rng() % span;
            d.RegisterDeletedDocs(nums.data(), static_cast<uint32_t>(nums.size()));
            model.insert(nums.begin(), nums.end());
        }
        d.Externalize(name.c_str());
    }
}

}  // namespace
