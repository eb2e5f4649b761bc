// Tests of the dump lines, pointer texts and dump functions. The layouts
// are compared byte for byte with the fixture tests/cos/data/dump_fixture.txt.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "cos_dump.hpp"

namespace {

std::string readFile(char const* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(MemoryDump, MatchesFixtureByteForByte) {
    // 40 bytes: text, control and high bytes, a blank, digits and letters.
    unsigned char hexInput[40];
    std::memcpy(hexInput, "Dump fixture: ", 14);
    unsigned char const odd[] = {0x00, 0x01, 0x1F, 0x7F, 0x80, 0xFF, 0x20, 0x41};
    std::memcpy(hexInput + 14, odd, sizeof odd);
    std::memcpy(hexInput + 22, "0123456789abcdefgh", 18);
    unsigned char const binInput[] = {0x41, 0x80, 0x20, 0xFF, 0x00, 0x0F,
                                      'x',  'y',  'z',  0xF0, 0x55};
    std::ostringstream out;
    cosDumpHex(out, hexInput, sizeof hexInput);
    cosDumpBin(out, binInput, sizeof binInput);
    EXPECT_EQ(out.str(), readFile(TI_TEST_DATA "/dump_fixture.txt"));
}

TEST(MemoryDump, HexLineLayout) {
    char const letters[] = "ABCDEFGHIJKLMNOP";
    CosClStrepHexDump full(16, letters, 16);
    EXPECT_STREQ(full.getAsCString(),
                 "00000010: 41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50 | ABCDEFGHIJKLMNOP");
    CosClStrepHexDump noOffset(letters, 2);
    EXPECT_STREQ(noOffset.getAsCString(),
                 "41 42 __ __ __ __ __ __  __ __ __ __ __ __ __ __ | AB______________");
    CosClStrepHexDump empty(0xFFFFFFFFu, letters, 0);
    EXPECT_STREQ(empty.getAsCString(),
                 "FFFFFFFF: __ __ __ __ __ __ __ __  __ __ __ __ __ __ __ __ | ________________");
    // More than 16 bytes: only the first 16 are used.
    CosClStrepHexDump tooLong(0, "abcdefghijklmnopqrstuvwxyz", 26);
    EXPECT_STREQ(tooLong.getAsCString(),
                 "00000000: 61 62 63 64 65 66 67 68  69 6A 6B 6C 6D 6E 6F 70 | abcdefghijklmnop");
    EXPECT_EQ(std::strlen(tooLong.getAsCString()), 77u);
}

TEST(MemoryDump, BinaryLineLayout) {
    unsigned char const a = 0x41;
    CosClStrepBinDump one(0, &a, 1);
    EXPECT_STREQ(one.getAsCString(),
                 "00000000: 01000001 ________ ________ ________  ________ ________ ________ "
                 "________ | A_______");
    CosClStrepBinDump noOffset("\x01\xFE", 2);
    EXPECT_STREQ(noOffset.getAsCString(),
                 "00000001 11111110 ________ ________  ________ ________ ________ ________ | ..______");
    CosClStrepBinDump tooLong(8, "0123456789", 10);
    EXPECT_EQ(std::strlen(tooLong.getAsCString()), 93u);
    EXPECT_EQ(std::string(tooLong.getAsCString()).substr(85), "01234567");
}

TEST(MemoryDump, TwentyBytesGiveTwoHexLines) {
    unsigned char data[20];
    for (unsigned i = 0; i < sizeof data; ++i) data[i] = static_cast<unsigned char>('a' + i);
    std::ostringstream out;
    cosDump(out, data, sizeof data);
    EXPECT_EQ(out.str(),
              "00000000: 61 62 63 64 65 66 67 68  69 6A 6B 6C 6D 6E 6F 70 | abcdefghijklmnop\n"
              "00000010: 71 72 73 74 __ __ __ __  __ __ __ __ __ __ __ __ | qrst____________\n");
}

TEST(MemoryDump, WiderElementsDumpTheirBytesInMemoryOrder) {
    unsigned short shorts[16];
    for (unsigned i = 0; i < 16; ++i) shorts[i] = static_cast<unsigned short>(0x4100 + i);
    std::ostringstream out;
    cosDumpHex(out, shorts, 16);
    EXPECT_EQ(out.str(),
              "00000000: 00 41 01 41 02 41 03 41  04 41 05 41 06 41 07 41 | .A.A.A.A.A.A.A.A\n"
              "00000010: 08 41 09 41 0A 41 0B 41  0C 41 0D 41 0E 41 0F 41 | .A.A.A.A.A.A.A.A\n");

    unsigned int ints[3] = {0x44434241u, 0x48474645u, 0x4C4B4A49u};
    std::ostringstream intOut;
    cosDumpBin(intOut, ints, 3);  // 12 bytes: lines at 0 and 8
    std::string text = intOut.str();
    EXPECT_EQ(text.substr(0, 10), "00000000: ");
    EXPECT_NE(text.find("\n00000008: 01001001 01001010 01001011 01001100  ________"),
              std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 9), "IJKL____\n");

    unsigned long long wide = 0x0807060504030201ull;
    std::ostringstream wideOut;
    cosDump(wideOut, &wide, 1);
    EXPECT_EQ(wideOut.str().substr(0, 34), "00000000: 01 02 03 04 05 06 07 08 ");
}

TEST(MemoryDump, ZeroCountWritesNothing) {
    unsigned char const byte = 1;
    std::ostringstream out;
    cosDumpHex(out, &byte, 0);
    cosDumpBin(out, &byte, 0);
    EXPECT_EQ(out.str(), "");
}

TEST(MemoryDump, FormsWithoutStreamWriteToStandardOutput) {
    unsigned char const data[] = {'h', 'i'};
    testing::internal::CaptureStdout();
    cosDump(data, 2);
    cosDumpBin(data, 1);
    cosDebugDump("title", data, 2);  // does nothing
    cosDebugImpDump(CosEnDump_Hex, "title", data, 2);
    std::string text = testing::internal::GetCapturedStdout();
    std::ostringstream expected;
    cosDumpHex(expected, data, 2);
    cosDumpBin(expected, data, 1);
    EXPECT_EQ(text, expected.str());
}

TEST(MemoryDump, AddressIsWrittenAsTheStreamWritesIt) {
    int object = 0;
    void const* pointers[] = {&object, nullptr, reinterpret_cast<void const*>(0xFFFFFFFFFFFFFFFFull)};
    for (void const* p : pointers) {
        std::ostringstream expected;
        expected << p;
        CosClStrepAddress address(p);
        EXPECT_EQ(address.getAsCString(), expected.str());
    }
    EXPECT_EQ(std::string(CosClStrepAddress(&object).getAsCString()).substr(0, 2), "0x");
}

}  // namespace
