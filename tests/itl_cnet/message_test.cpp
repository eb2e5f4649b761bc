// Tests of vozCNETgetMessage: every dictionary retcode and 567 reason,
// the general line, code-page checks, engine messages and the longest
// message against the header's buffer size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "calls/voz_message.hpp"
#include "voz_cnet.h"

namespace {

std::string message(uint8_t cp, const CNETSTATUS& st) {
    char buf[VOZ_CNET_MESSAGE_MAX];
    std::memset(buf, 'x', sizeof buf);
    int32_t n = vozCNETgetMessage(cp, &st, buf);
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(buf));
    return buf;
}

CNETSTATUS status(uint32_t rc, uint32_t ec, const char* f1 = "", const char* f2 = "",
                  uint32_t line = 0) {
    CNETSTATUS st{};
    st.retcode = rc;
    st.errcode = ec;
    st.line = line;
    std::strcpy(st.fname1, f1);
    std::strcpy(st.fname2, f2);
    return st;
}

TEST(CnetMessage, EveryRetcodeAndReason) {
    struct Case {
        uint32_t rc, ec, line;
        const char* text;
    } cases[] = {
        {501, 7, 0, "vozC501E: Error: Unexpected error.  errcode = 7"},
        {502, 7, 0, "vozC502E: Error: The length of filename or directory name is out of range."},
        {503, 7, 0, "vozC503E: Error: Parameter error.  errcode = 7"},
        {504, 7, 0, "vozC504E: Error: Reserved parameters and reserved fields must be "
                    "specified as described.  errcode=7"},
        {510, 7, 0, "vozC510E: Error: X Open error.  errcode = 7"},
        {511, 7, 0, "vozC511E: Error: X Read error.  errcode = 7"},
        {512, 7, 0, "vozC512E: Error: X Write error.  errcode = 7"},
        {513, 7, 0, "vozC513E: Error: X Seek errorr.  errcode = 7"},
        {514, 7, 0, "vozC514E: Error: X ftell error.  errcode = 7"},
        {515, 7, 0, "vozC515E: Error: X Delete error.  errcode = 7"},
        {516, 7, 0, "vozC516E: Error: Rename error.  From: X  To: Y  errcode = 7"},
        {517, 7, 0, "vozC517E: Error: X Close error.  errcode = 7"},
        {518, 7, 0, "Error has occurred. (retcode, errcode) = (518, 7)"},
        {519, 7, 0, "vozC519E: Error: Unexpected end of file."},
        {520, 7, 0, "vozC520E: Error: Memory allocation error.  errcode = 7"},
        {530, 7, 0, "vozC530E: Error: Locking error.  errcode = 7"},
        {531, 7, 0, "vozC531E: Error: Locked.  Try again.  errcode = 7"},
        {540, 7, 0, "vozC540E: Error: Output file X exists."},
        {541, 7, 0, "vozC541E: Error: Dictionary file integrity has been lost.  errcode = 7"},
        {542, 7, 0, "vozC542E: Error: Dictionary version error."},
        {543, 7, 0, "vozC543E: Error: Dictionary does not exist."},
        {544, 7, 0, "vozC544E: Error: Dictionary exists."},
        {550, 7, 0, "vozC550E: Error: Character normalization error."},
        {551, 7, 0, "vozC551E: Error: Specified base word is not valid."},
        {552, 7, 0, "vozC552E: Error: The word was not found."},
        {600, 3, 0, "Error has occurred. (retcode, errcode) = (600, 3)"},
        {567, 1, 12, "vozC567E: Error: Input file error.  REASON: Empty definition."},
        {567, 2, 12, "vozC567E: Error: Input file error.  REASON: line 12: Syntax of the block head."},
        {567, 3, 12, "vozC567E: Error: Input file error.  REASON: line 12: Syntax of the relation."},
        {567, 4, 12, "vozC567E: Error: Input file error.  REASON: line 12: Syntax at the start "
                     "of the user definition."},
        {567, 5, 12, "vozC567E: Error: Input file error.  REASON: line 12: Syntax at the end "
                     "of the user definition."},
        {567, 6, 12, "vozC567E: Error: Input file error.  REASON: line 12: User definition "
                     "number is out of range."},
        {567, 7, 12, "vozC567E: Error: Input file error.  REASON: line 12: Invalid empty word."},
        {567, 8, 12, "vozC567E: Error: Input file error.  REASON: line 12: Too long word."},
        {567, 9, 12, "vozC567E: Error: Input file error.  REASON: line 12: Syntax of the strength."},
        {567, 10, 12, "vozC567E: Error: Input file error.  REASON: line 12: Strength is out of "
                      "range."},
        {567, 0, 12, "Error has occurred. (retcode, errcode) = (567, 0)"},
        {567, 11, 12, "Error has occurred. (retcode, errcode) = (567, 11)"},
        {0, 0, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(message(8, status(c.rc, c.ec, "X", "Y", c.line)), c.text) << c.rc << "/" << c.ec;
}

TEST(CnetMessage, CodePagesOutsideOneToThirtySevenAreRefused) {
    for (uint8_t cp : {0, 38, 255}) {
        EXPECT_EQ(message(cp, status(540, 0, "X")), "Codepage parameter cannot be interpreted.");
        EXPECT_EQ(message(cp, status(0, 0)), "Codepage parameter cannot be interpreted.");
    }
}

TEST(CnetMessage, EngineFailuresAreTheEnginesMessages) {
    for (uint8_t cp : {1, 8, 34}) {
        for (int32_t rc : {3, 9, 11, 20, 101, 123, 999}) {
            CNETSTATUS st = status(10000 + rc, 10000 + 42, "/a/f1", "/a/f2");
            GTRSTATUS gs{};
            gs.retcode = rc;
            gs.errcode = 42;
            std::strcpy(gs.errfname1, "/a/f1");
            std::strcpy(gs.errfname2, "/a/f2");
            char engine[VOZ_MESSAGE_MAX];
            GTRgetMessage(cp, &gs, engine);
            EXPECT_EQ(message(cp, st), engine) << int(cp) << " " << rc;
        }
    }
}

// The header's size holds the longest message: two names of 511 bytes (no
// terminator in the fields) and the largest numbers, every retcode, the
// engine's included, in both of its languages.
TEST(CnetMessage, LongestMessageFitsTheHeadersSize) {
    CNETSTATUS st{};
    std::memset(st.fname1, 'a', sizeof st.fname1);
    std::memset(st.fname2, 'b', sizeof st.fname2);
    st.errcode = 0xFFFFFFFFu;
    st.line = 0xFFFFFFFFu;
    size_t longest = 0;
    for (uint32_t rc = 500; rc < 600; ++rc) {
        st.retcode = rc;
        longest = std::max(longest, message(8, st).size());
    }
    EXPECT_EQ(longest, 17u + 21 + 511 + 6 + 511 + 12 + 10);  // the rename text
    for (uint8_t cp : {1, 8}) {
        for (uint32_t rc = 10000; rc < 10300; ++rc) {
            st.retcode = rc;
            longest = std::max(longest, message(cp, st).size());
        }
    }
    EXPECT_LT(longest, static_cast<size_t>(VOZ_CNET_MESSAGE_MAX));
}

}  // namespace
