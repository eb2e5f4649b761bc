// Tests of the engine status record: the file-name rule, the no-overwrite
// rule of the setters, CVozException's mirror of GTRSTATUS, and the
// big-endian helpers.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "files/voz_exception.hpp"
#include "files/voz_status.hpp"

namespace {

std::string stored(const std::string& name) {
    char buf[VOZ_STATUS_NAME_LEN];
    memset(buf, 'Z', sizeof buf);
    voz_StatusName(buf, name.c_str());
    return std::string(buf);
}

}  // namespace

TEST(StatusName, ShortensLongNamesByTheRule) {
    struct Case {
        const char* what;
        std::string name;
        std::string expect;
    } cases[] = {
        {"511 characters stay whole", std::string(511, 'a'),
         std::string(511, 'a')},
        {"512 without a slash keep the last 507", std::string(512, 'b'),
         "..." + std::string(507, 'b')},
        {"600 whose only slash is last keep the last 507",
         std::string(599, 'c') + "/", "..." + std::string(506, 'c') + "/"},
        {"tail starts at the first slash of the last 507",
         std::string(100, 'd') + "/" + std::string(200, 'e') + "/" +
             std::string(298, 'f') + "/x",
         // length 601: search starts at 94; first '/' at 100
         ".../" + std::string(200, 'e') + "/" + std::string(298, 'f') + "/x"},
        {"a slash before the window is ignored",
         "/" + std::string(700, 'g'), "..." + std::string(507, 'g')},
        {"slash exactly at the window start",
         std::string(93, 'h') + "/" + std::string(506, 'i'),
         ".../" + std::string(506, 'i')},
    };
    for (const auto& c : cases) {
        std::string got = stored(c.name);
        EXPECT_EQ(got, c.expect) << c.what;
        EXPECT_LT(got.size(), VOZ_STATUS_NAME_LEN) << c.what;
    }
    EXPECT_EQ(stored(""), "");
    char buf[VOZ_STATUS_NAME_LEN] = "junk";
    voz_StatusName(buf, nullptr);
    EXPECT_STREQ(buf, "");
}

TEST(StatusRecord, LayoutIsFixed) {
    EXPECT_EQ(sizeof(GTRSTATUS), 1064u);
    EXPECT_EQ(offsetof(GTRSTATUS, errcode), 4u);
    EXPECT_EQ(offsetof(GTRSTATUS, retrieve_status), 8u);
    EXPECT_EQ(offsetof(GTRSTATUS, limit_mark), 11u);
    EXPECT_EQ(offsetof(GTRSTATUS, errfname2), 524u);
    EXPECT_EQ(offsetof(GTRSTATUS, detail), 1040u);
    EXPECT_EQ(offsetof(GTRSTATUS, reserved), 1044u);
}

TEST(StatusRecord, FirstFailureIsNeverOverwritten) {
    GTRSTATUS st;
    voz_ClearStatus(&st);
    voz_setStatus(&st, VOZ_RC_READ, 230, "/a/first", 5);
    voz_setStatus(&st, VOZ_RC_CLOSE, 247, "/b/second", 9);
    voz_setStatus2(&st, VOZ_RC_RENAME, 1806, "/c", "/d", 2);
    EXPECT_EQ(st.retcode, VOZ_RC_READ);
    EXPECT_EQ(st.errcode, 230);
    EXPECT_STREQ(st.errfname1, "/a/first");
    EXPECT_STREQ(st.errfname2, "");
    EXPECT_EQ(st.system_errno, 5);
    voz_setStatus(nullptr, 3, 1, "x");  // a null record is accepted
}

TEST(StatusRecord, SecondNameAndClear) {
    GTRSTATUS st;
    memset(&st, 0, sizeof st);
    voz_setStatus2(&st, VOZ_RC_RENAME, 1806, "/from", "/to", 18);
    EXPECT_STREQ(st.errfname1, "/from");
    EXPECT_STREQ(st.errfname2, "/to");
    EXPECT_TRUE(voz_Failed(&st));
    voz_ClearStatus(&st);
    GTRSTATUS zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(memcmp(&st, &zero, sizeof st), 0);
    EXPECT_FALSE(voz_Failed(&st));
}

TEST(VozException, MirrorsTheStatusRecordByteForByte) {
    std::string longName = std::string(550, 'q');
    CVozException e(VOZ_RC_MEMORY, 3451, longName.c_str(), "/target", 77);
    EXPECT_EQ(e.retcode, 11);
    EXPECT_EQ(e.errcode, 3451);
    EXPECT_EQ(std::string(e.errfname1), "..." + std::string(507, 'q'));
    EXPECT_STREQ(e.errfname2, "/target");
    EXPECT_EQ(e.system_errno, 0);
    EXPECT_EQ(e.detail, 77);

    GTRSTATUS st;
    memset(&st, 0xAB, sizeof st);
    e.CopyTo(&st);
    EXPECT_EQ(st.retcode, 11);
    EXPECT_EQ(st.detail, 77);
    EXPECT_EQ(st.retrieve_status, 0);
    EXPECT_EQ(st.reserved[19], 0);
    EXPECT_STREQ(st.errfname2, "/target");

    CVozException back(st);  // a filled status thrown as an exception
    EXPECT_EQ(memcmp(&back, &st, sizeof st), 0);
    CVozException copy;
    copy = back;
    EXPECT_EQ(memcmp(&copy, &e, sizeof st), 0);
    try {
        throw copy;
    } catch (const CVozException& caught) {
        GTRSTATUS out;
        memset(&out, 0, sizeof out);
        voz_StatusFromException(&out, caught);
        EXPECT_EQ(out.errcode, 3451);
    }
}

TEST(VozException, NullTextsAreEmpty) {
    CVozException e(VOZ_RC_INCONSISTENT, 6210);
    EXPECT_STREQ(e.errfname1, "");
    EXPECT_STREQ(e.errfname2, "");
    EXPECT_EQ(e.detail, 0);
}

TEST(BigEndian, GoldenBytesAndRoundTrip) {
    uint8_t b[14];
    voz_putBE16(b, 0x1234);
    voz_putBE32(b + 2, 0x89ABCDEFu);
    voz_putBE64(b + 6, 0x0102030405060708ull);
    const uint8_t golden[14] = {0x12, 0x34, 0x89, 0xAB, 0xCD, 0xEF, 0x01,
                                0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(memcmp(b, golden, sizeof b), 0);
    EXPECT_EQ(voz_getBE16(b), 0x1234);
    EXPECT_EQ(voz_getBE32(b + 2), 0x89ABCDEFu);
    EXPECT_EQ(voz_getBE64(b + 6), 0x0102030405060708ull);
    // Unaligned and signed views.
    voz_putBE32s(b + 1, -2);
    EXPECT_EQ(voz_getBE32s(b + 1), -2);
    EXPECT_EQ(voz_getBE32(b + 1), 0xFFFFFFFEu);
    voz_putBE16s(b + 3, -300);
    EXPECT_EQ(voz_getBE16s(b + 3), -300);
    voz_putBE64s(b + 5, -5000000000LL);
    EXPECT_EQ(voz_getBE64s(b + 5), -5000000000LL);
}

// The clear tests a few words before it writes: a record with any one
// field set (or a name not empty) is cleared whole, each byte in turn.
TEST(StatusRecord, ClearFindsAnySetFieldAndClearsTheWhole) {
    const GTRSTATUS zero{};
    std::vector<size_t> offsets;
    for (size_t i = 0; i < offsetof(GTRSTATUS, errfname1); ++i) offsets.push_back(i);
    offsets.push_back(offsetof(GTRSTATUS, errfname1));
    offsets.push_back(offsetof(GTRSTATUS, errfname2));
    for (size_t i = offsetof(GTRSTATUS, system_errno); i < sizeof(GTRSTATUS); ++i)
        offsets.push_back(i);
    for (size_t at : offsets) {
        GTRSTATUS st;
        memset(&st, 0, sizeof st);
        reinterpret_cast<uint8_t*>(&st)[at] = 0x80;
        st.errfname1[100] = 'x';  // behind the name: cleared with the rest
        voz_ClearStatus(&st);
        EXPECT_EQ(memcmp(&st, &zero, sizeof st), 0) << "byte " << at;
    }
    // A clear record stays clear.
    GTRSTATUS st{};
    voz_ClearStatus(&st);
    EXPECT_EQ(memcmp(&st, &zero, sizeof st), 0);
}
