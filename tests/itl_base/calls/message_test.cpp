// Tests of GTRgetMessage and itlGetEngineType: the English texts with their
// inserts, the Japanese table against the English one, and the bound of the
// caller's buffer.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "calls/voz_message.hpp"

namespace {

GTRSTATUS status(int32_t rc, int32_t ec) {
    GTRSTATUS st{};
    st.retcode = rc;
    st.errcode = ec;
    return st;
}

std::string message(uint8_t code, const GTRSTATUS& st) {
    std::vector<char> buf(VOZ_MESSAGE_MAX + 16, '\x7F');
    GTRSTATUS copy = st;
    GTRgetMessage(code, &copy, buf.data());
    EXPECT_EQ(std::memcmp(&copy, &st, sizeof st), 0) << "status changed";
    for (size_t i = VOZ_MESSAGE_MAX; i < buf.size(); ++i)
        EXPECT_EQ(buf[i], '\x7F') << "written past the message maximum";
    return std::string(buf.data());
}

TEST(Message, EnglishTextsWithTheirInserts) {
    GTRSTATUS open = status(3, 2501);
    std::strcpy(open.errfname1, "/x/a.k");
    open.system_errno = 2;
    GTRSTATUS rename = status(9, 7);
    std::strcpy(rename.errfname1, "a");
    std::strcpy(rename.errfname2, "b");
    rename.system_errno = 18;
    GTRSTATUS stop = status(151, 2551);
    std::strcpy(stop.errfname1, "s.txt");
    stop.detail = 3;
    GTRSTATUS warning{};
    warning.retrieve_status = 1;
    GTRSTATUS limitOnly{};
    limitOnly.retrieve_status = 2;
    GTRSTATUS used = status(153, 2560);
    used.detail = 42;

    const struct {
        GTRSTATUS st;
        const char* text;
    } cases[] = {
        {GTRSTATUS{}, ""},
        {warning, "Search has been stopped because of too many results."},
        {limitOnly, ""},
        {status(30, 5),
         "Document number is too small or too large. Document No. = 5, "
         "Max.= 2147483646"},
        {status(31, 9),
         "Document is too large. Number of char. = 9, Max.= 1073741823"},
        {open, "/x/a.k Open error. errcode = 2501 errno = 2"},
        {rename, "Rename error. From: a  To: b  errcode = 7 errno = 18"},
        {stop, "Stopword file s.txt (line = 3) define error. errcode = 2551"},
        {used, "This document number has already been used. Document number = "
               "42, errcode = 2560"},
        {status(12, 3), "Error has occurred. (retcode, errcode) = (12, 3)"},
        {status(-4, -1), "Error has occurred. (retcode, errcode) = (-4, -1)"},
        {status(6, 1), " Seek errorr. errcode = 1 errno = 0"},
        {status(8, 1), " Delete error. errcode = 1 erro = 0"},
        {status(23, 1), "VOZ version error. V4_0"},
        {status(28, 1), "Search operator error."},
        {status(120, 1772), "Field information is specified incorrectly. "
                            "Error-Number = 1772."},
        {status(128, 1704), "Reserved fields must be cleared by zero. "
                            "Error-Number = 1704."},
        {status(113, 1), "BACKREF file cannot be specified in ranking search."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.st.retcode);
        EXPECT_EQ(message(2, c.st), c.text);
        EXPECT_EQ(message(37, c.st), c.text);
    }
}

TEST(Message, CodeOutsideTheCodePagesAndEngineType) {
    for (uint8_t code : {uint8_t{0}, uint8_t{38}, uint8_t{255}})
        EXPECT_EQ(message(code, status(2, 1)),
                  "Codepage parameter cannot be interpreted.");
    EXPECT_STREQ(itlGetEngineType(), "ITL_ENGINE_VOZ_ONLY");
}

TEST(Message, UnterminatedNamesAreCutAt511Bytes) {
    GTRSTATUS st = status(9, 1);
    std::memset(st.errfname1, 'a', sizeof st.errfname1);
    std::memset(st.errfname2, 'b', sizeof st.errfname2);
    std::string m = message(2, st);
    EXPECT_EQ(m, "Rename error. From: " + std::string(511, 'a') + "  To: " +
                     std::string(511, 'b') + "  errcode = 1 errno = 0");
}

std::vector<std::string> specifiers(const char* format) {
    static const std::regex re("%l?[sd]");
    std::vector<std::string> out;
    std::string s(format);
    for (std::sregex_iterator it(s.begin(), s.end(), re), end; it != end; ++it)
        out.push_back(it->str());
    return out;
}

// True when `text` converts from Shift-JIS without an invalid sequence.
bool isShiftJis(const std::string& text) {
    iconv_t cd = iconv_open("UTF-8", "SHIFT_JIS");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in = text;
    std::vector<char> out(in.size() * 4 + 4);
    char* src = &in[0];
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    return r != static_cast<size_t>(-1) && srcLeft == 0;
}

TEST(Message, JapaneseTableTakesTheEnglishInsertsAndIsShiftJis) {
    for (int32_t rc = 0; rc <= 200; ++rc) {
        SCOPED_TRACE(rc);
        const char* en = vozMessageFormat(2, rc);
        const char* ja = vozMessageFormat(1, rc);
        ASSERT_NE(en, nullptr);
        ASSERT_NE(ja, nullptr);
        EXPECT_EQ(specifiers(ja), specifiers(en));
        EXPECT_TRUE(isShiftJis(ja));
        EXPECT_EQ(std::string(en) == vozMessageFormat(2, 9999),
                  std::string(ja) == vozMessageFormat(1, 9999))
            << "a text of its own in one language only";
    }
    EXPECT_EQ(vozMessageFormat(0, 1), nullptr);
    EXPECT_EQ(vozMessageFormat(38, 1), nullptr);
}

TEST(Message, LongestTextFitsInBothLanguages) {
    GTRSTATUS st = status(9, -2147483647 - 1);
    st.system_errno = -2147483647 - 1;
    std::memset(st.errfname1, 'a', 511);
    std::memset(st.errfname2, 'b', 511);
    for (uint8_t code : {uint8_t{1}, uint8_t{2}}) {
        std::string m = message(code, st);
        EXPECT_LT(m.size(), VOZ_MESSAGE_MAX);
        EXPECT_EQ(m.substr(m.size() - 11), "-2147483648") << "not cut";
    }
    GTRSTATUS stop = status(151, -2147483647 - 1);
    stop.detail = -2147483647 - 1;
    std::memset(stop.errfname1, 's', 511);
    for (uint8_t code : {uint8_t{1}, uint8_t{2}}) {
        std::string m = message(code, stop);
        EXPECT_EQ(m.substr(m.size() - 11), "-2147483648");
    }
}

}  // namespace
