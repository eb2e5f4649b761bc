// Tests of the binary call trace: the switch, the file, the block header,
// the record images and the status image.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "calls/voz_btrace.hpp"

namespace {

// Runs a test inside a fresh current directory.
class BTrace : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(old_, sizeof old_), nullptr);
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(old_), 0); }

    static std::string traceName() {
        char name[64];
        vozBTraceFileName(name, sizeof name);
        return name;
    }
    static void switchOn() { ASSERT_TRUE(writeFile("GTRbtrc", "")); }

    TempDir dir_{"btrace"};
    char old_[4096];
};

// Reads a record field by field.
struct Reader {
    std::string bytes;
    size_t at = 0;
    uint32_t be(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | (uint8_t)bytes.at(at++);
        return v;
    }
    uint32_t ptr() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= (uint32_t)(uint8_t)bytes.at(at++) << (8 * i);
        return v;
    }
    std::string take(size_t n) {
        std::string s = bytes.substr(at, n);
        at += n;
        return s;
    }
};

uint32_t low32(const void* p) { return (uint32_t)(uintptr_t)p; }

GTRSTATUS sampleStatus() {
    GTRSTATUS st{};
    st.retcode = 0x01020304;
    st.errcode = -2;
    st.retrieve_status = 1;
    st.processed_index = 0x80;
    strcpy(st.errfname1, "idx/file");
    st.system_errno = 13;
    st.detail = 0x0A0B0C0D;
    return st;
}

// Checks the block header and the record type; returns a reader behind it.
Reader header(const std::string& bytes, uint16_t type, time_t before) {
    Reader r{bytes};
    EXPECT_EQ(r.be(4), 3u);
    EXPECT_EQ(r.be(1), 8u);
    const uint32_t when = r.be(4);
    EXPECT_GE(when, (uint32_t)before);
    EXPECT_LE(when, (uint32_t)time(nullptr));
    EXPECT_EQ(r.be(4), (uint32_t)getpid());
    EXPECT_EQ(r.be(2), type);
    return r;
}

// Checks the rest: the gsp pointer, the status image and the end mark.
void trailer(Reader& r, const GTRSTATUS* st) {
    EXPECT_EQ(r.ptr(), low32(st));
    EXPECT_EQ((int32_t)r.be(4), st->retcode);
    EXPECT_EQ((int32_t)r.be(4), st->errcode);
    const std::string middle = r.take(1036 - 8);
    EXPECT_EQ(memcmp(middle.data(), (const char*)st + 8, middle.size()), 0);
    EXPECT_EQ((int32_t)r.be(4), st->system_errno);
    EXPECT_EQ((int32_t)r.be(4), st->detail);
    r.take(20);
    EXPECT_EQ(r.be(2), 0xEEEEu);
    EXPECT_EQ(r.at, r.bytes.size());
}

}  // namespace

TEST_F(BTrace, WithoutTheMarkerNothingIsWritten) {
    EXPECT_EQ(vozBTraceExists(), 'N');
    GTRSTATUS st{};
    vozBTraceCreateLast(nullptr, &st);
    vozBTraceEnd(nullptr, 0, &st);
    EXPECT_FALSE(exists(traceName()));
    EXPECT_EQ(vozTraceExists(), 'N');
    ASSERT_TRUE(writeFile("GTRtrc", ""));
    EXPECT_EQ(vozTraceExists(), 'Y');
    EXPECT_EQ(vozBTraceExists(), 'N');
}

TEST_F(BTrace, CreateLastRecordMatchesTheFixture) {
    switchOn();
    EXPECT_EQ(vozBTraceExists(), 'Y');
    char want[32];
    snprintf(want, sizeof want, "GTRbtrc%06x000000", (unsigned)getpid());
    EXPECT_EQ(traceName(), want);
    const GTRSTATUS st = sampleStatus();
    const time_t before = time(nullptr);
    vozBTraceCreateLast((void*)(uintptr_t)0x11223344, &st);
    std::string got = readFile(traceName());
    std::string fixture = readFile(std::string(TI_TEST_DATA) + "/calls/btrace_type4.bin");
    ASSERT_EQ(got.size(), 1089u);
    ASSERT_EQ(fixture.size(), 1089u);
    header(got, VOZ_BT_CREATE_LAST, before);
    // Time and process id were checked; the gsp pointer is the record's.
    memcpy(&fixture[5], &got[5], 8);
    const uint32_t gsp = low32(&st);
    memcpy(&fixture[19], &gsp, 4);
    EXPECT_EQ(got, fixture);
    // A second record is appended.
    vozBTraceCreateLast(nullptr, &st);
    EXPECT_EQ(readFile(traceName()).size(), 2u * 1089u);
}

TEST_F(BTrace, EndRecordCarriesHandleAndResult) {
    switchOn();
    const GTRSTATUS st = sampleStatus();
    const time_t before = time(nullptr);
    vozBTraceEnd((void*)(uintptr_t)0xCAFE, 4711, &st);
    Reader r = header(readFile(traceName()), VOZ_BT_END, before);
    EXPECT_EQ(r.ptr(), 0xCAFEu);
    EXPECT_EQ(r.be(4), 4711u);
    trailer(r, &st);
}

TEST_F(BTrace, CreateInitWithoutParametersWritesNoImages) {
    switchOn();
    GTRSTATUS st = sampleStatus();
    const time_t before = time(nullptr);
    const int32_t maxdoc = 0x01000002;
    vozBTraceCreateInit((void*)(uintptr_t)0x55, "idx", "/out", nullptr, 1, 2,
                        nullptr, nullptr, &maxdoc, &st);
    Reader r = header(readFile(traceName()), VOZ_BT_CREATE_INIT, before);
    EXPECT_EQ(r.ptr(), 0x55u);
    EXPECT_EQ(r.be(2), 4u);
    EXPECT_EQ(r.be(2), 5u);
    EXPECT_EQ(r.be(2), 1u);
    EXPECT_EQ(r.take(10), std::string("idx\0/out\0\0", 10));
    EXPECT_EQ(r.be(1), 1u);
    EXPECT_EQ(r.be(1), 2u);
    EXPECT_EQ(r.ptr(), 0u);      // hcparmp, no image
    EXPECT_EQ(r.ptr(), 0u);      // sysp, no image
    EXPECT_EQ(r.be(4), 0u);      // no "GTRSYS"
    EXPECT_EQ(r.be(4), 0x01000002u);
    trailer(r, &st);
}

TEST_F(BTrace, CreateInitCopiesStopWordAndParameterFiles) {
    switchOn();
    const std::string stop = "the\nand\n";
    const std::string sys(9000, 'p');  // two pieces
    ASSERT_TRUE(writeFile("stop.txt", stop));
    ASSERT_TRUE(writeFile("GTRSYS", sys));
    GTRSTOPWORDLIST list[1] = {};
    list[0].pszStopWordList = const_cast<char*>("stop.txt");
    GTRHCREATEPARM hc{};
    hc.index_type = 2;
    hc.codepage = 34;
    hc.index_purpose = 3;
    hc.vvglength = 0x0102;
    hc.word_rule = 1;
    hc.block_threshold = 0x0304;
    hc.block_size = -2;
    hc.special_alpha_num = 1;
    hc.stop_word_list_num = 1;
    hc.paStopWordList = list;
    hc.special_alpha_list[0] = '-';
    GTRSYSPARM sp{};
    sp.poolsize = 1000;
    sp.poolsizedelta = 20;
    sp.filemax = 3;
    sp.displaylog = 'Y';
    GTRSTATUS st{};
    vozBTraceCreateInit(nullptr, "i", "o", "w", 0, 0, &hc, &sp, nullptr, &st);
    Reader r = header(readFile(traceName()), VOZ_BT_CREATE_INIT, 0);
    r.take(4 + 6 + 6 + 2);
    EXPECT_EQ(r.ptr(), low32(&hc));
    EXPECT_EQ(r.take(4), std::string("\x02\x22\x03\x00", 4));
    EXPECT_EQ(r.be(4), 0x0102u);
    EXPECT_EQ(r.take(2), std::string("\x01\x00", 2));
    EXPECT_EQ(r.be(2), 0x0304u);
    EXPECT_EQ(r.be(2), 0xFFFEu);
    EXPECT_EQ(r.take(2), std::string("\x01\x01", 2));
    EXPECT_EQ(r.ptr(), low32(list));
    EXPECT_EQ(r.take(16), std::string("-") + std::string(15, '\0'));
    EXPECT_EQ(r.be(4), 0u);                        // reserved
    EXPECT_EQ(r.be(4), 9u);                        // "stop.txt" + NUL
    EXPECT_EQ(r.take(9), std::string("stop.txt\0", 9));
    EXPECT_EQ(r.be(4), stop.size());
    EXPECT_EQ(r.take(stop.size()), stop);
    EXPECT_EQ(r.ptr(), low32(&sp));
    EXPECT_EQ(r.be(4), 1000u);
    EXPECT_EQ(r.be(4), 20u);
    EXPECT_EQ(r.be(4), 3u);
    EXPECT_EQ(r.take(36), std::string("Y") + std::string(35, '\0'));
    EXPECT_EQ(r.be(4), sys.size());
    EXPECT_EQ(r.take(sys.size()), sys);
    EXPECT_EQ(r.be(4), 0u);                        // no currmaxdoc
    trailer(r, &st);
}

TEST_F(BTrace, NeverFollowsArraysThatACallWouldRefuse) {
    switchOn();
    GTRHCREATEPARM hc{};
    hc.stop_word_list_num = 255;  // taken as 0: the list is not read
    hc.paStopWordList = reinterpret_cast<GTRSTOPWORDLIST*>(0x10);
    BOUNDARYINFO bi{};
    bi.delimiter_num = 5;         // arrays missing
    bi.fld_boundary_num = 2;
    REGISTITEM item{};
    item.item_type = 'C';
    item.char_len = 3;            // text pointer missing
    GTRSTATUS st{};
    // Each record alone: its size shows what was written.
    auto recordSize = [&](auto&& write) {
        unlink(traceName().c_str());
        write();
        const std::string rec = readFile(traceName());
        EXPECT_EQ(rec.substr(rec.size() - 2), "\xEE\xEE");
        return rec.size();
    };
    const size_t frame = 15 + 4 + 1066;  // header, type, gsp, status, mark
    EXPECT_EQ(recordSize([&] {
                  vozBTraceCreateInit(nullptr, nullptr, nullptr, nullptr, 0, 0,
                                      &hc, nullptr, nullptr, &st);
              }),
              frame + 4 + 6 + 3 + 2 + 44 + 8 + 4);
    EXPECT_EQ(recordSize([&] {
                  vozBTraceOneDoc(nullptr, 1, nullptr, 50, nullptr, &bi,
                                  nullptr, &st);
              }),
              frame + 4 + 4 + 4 + 4 + (4 + 4 + 1 + 4) + 4);
    EXPECT_EQ(recordSize([&] {
                  vozBTraceItemDoc(nullptr, 1, 1, &item, nullptr, &st);
              }),
              frame + 12 + 4 + 72 + 3 + 4);
    EXPECT_EQ(recordSize([&] {
                  vozBTraceItemDoc(nullptr, 1, 4, nullptr, nullptr, &st);
              }),
              frame + 12 + 4 + 4);
    EXPECT_EQ(recordSize([&] {
                  vozBTraceDeleteDocs(nullptr, 3, nullptr, nullptr, &st);
              }),
              frame + 4 + 4 + 4);
    EXPECT_EQ(recordSize([&] {
                  vozBTraceDeleteDoc(nullptr, "i", "d", "w", 3, nullptr,
                                     nullptr, &st);
              }),
              frame + 4 + 6 + 6 + 4 + 4 + 4);
}

TEST_F(BTrace, BoundaryAndItemImages) {
    switchOn();
    uint8_t text[10] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
    int16_t nos[2] = {3, 39};
    uint8_t* ptrs[2] = {text + 2, text + 7};
    FLDBOUNDARYINFO fld[1] = {};
    fld[0].fld_number = 9;
    fld[0].fld_start_ptr = text + 1;
    fld[0].fld_end_ptr = text + 9;
    BOUNDARYINFO bi{};
    bi.delimiter_num = 2;
    bi.delimiter_NO = nos;
    bi.boundary_ptr = ptrs;
    bi.word_boundary = 1;
    bi.fld_boundary_num = 1;
    bi.fld_boundary = fld;
    GTRONEDOCINFO di{};
    di.usDocType = 2;
    const int32_t startpos = 77;
    GTRSTATUS st{};
    vozBTraceOneDoc((void*)(uintptr_t)8, 42, text, 10, &startpos, &bi, &di, &st);
    Reader r = header(readFile(traceName()), VOZ_BT_ONE_DOC, 0);
    EXPECT_EQ(r.ptr(), 8u);
    EXPECT_EQ(r.be(4), 42u);
    EXPECT_EQ(r.be(4), 10u);
    EXPECT_EQ(r.take(10), "abcdefghij");
    EXPECT_EQ(r.be(4), 77u);
    EXPECT_EQ(r.ptr(), low32(&bi));
    EXPECT_EQ(r.be(4), 2u);
    EXPECT_EQ(r.be(1), 1u);
    EXPECT_EQ(r.be(2), 3u);
    EXPECT_EQ(r.be(4), 2u);
    EXPECT_EQ(r.be(2), 39u);
    EXPECT_EQ(r.be(4), 7u);
    EXPECT_EQ(r.be(4), 1u);
    EXPECT_EQ(r.be(2), 9u);
    EXPECT_EQ(r.be(4), 1u);
    EXPECT_EQ(r.be(4), 9u);
    EXPECT_EQ(r.ptr(), low32(&di));
    EXPECT_EQ(r.be(2), 2u);
    r.take(30);
    trailer(r, &st);

    ASSERT_EQ(unlink(traceName().c_str()), 0);
    REGISTITEM items[2] = {};
    items[0].item_number = 5;
    items[0].item_type = 'C';
    items[0].char_ptr = text;
    items[0].char_len = 4;
    items[1].item_number = 300;
    items[1].item_type = 'N';
    items[1].num_value = 1.5;  // 3FF8000000000000
    vozBTraceItemDoc(nullptr, 7, 2, items, nullptr, &st);
    r = header(readFile(traceName()), VOZ_BT_ITEM_DOC, 0);
    r.take(4);
    EXPECT_EQ(r.be(4), 7u);
    EXPECT_EQ(r.be(4), 2u);
    EXPECT_EQ(r.ptr(), low32(items));
    EXPECT_EQ(r.be(2), 5u);
    EXPECT_EQ(r.be(1), (uint32_t)'C');
    r.take(17);
    EXPECT_EQ(r.ptr(), low32(text));
    EXPECT_EQ(r.be(2), 4u);
    r.take(22);
    EXPECT_EQ(r.be(4), 0u);
    EXPECT_EQ(r.be(4), 0u);
    r.take(16);
    EXPECT_EQ(r.take(4), "abcd");
    EXPECT_EQ(r.be(2), 300u);
    r.take(1 + 17 + 4);
    EXPECT_EQ(r.be(2), 0u);
    r.take(22);
    EXPECT_EQ(r.be(4), 0x3FF80000u);
    EXPECT_EQ(r.be(4), 0u);
    r.take(16);
    EXPECT_EQ(r.ptr(), 0u);  // no document information
    trailer(r, &st);
}

TEST_F(BTrace, MaintenanceRecordsWriteTheirStrings) {
    switchOn();
    GTRSTATUS st{};
    vozBTraceDeleteIndex('D', "idx", "dir", &st);
    Reader r = header(readFile(traceName()), VOZ_BT_DELETE_INDEX, 0);
    EXPECT_EQ(r.be(1), (uint32_t)'D');
    EXPECT_EQ(r.be(2), 4u);
    EXPECT_EQ(r.be(2), 4u);
    EXPECT_EQ(r.take(8), std::string("idx\0dir\0", 8));
    trailer(r, &st);
    ASSERT_EQ(unlink(traceName().c_str()), 0);
    const int32_t docs[2] = {4, 0x7FFFFFFE};
    vozBTraceDeleteDoc((void*)(uintptr_t)1, "a", "b", "c", 2, docs, nullptr, &st);
    r = header(readFile(traceName()), VOZ_BT_DELETE_DOC, 0);
    EXPECT_EQ(r.ptr(), 1u);
    r.take(6 + 6);
    EXPECT_EQ(r.be(4), 2u);
    EXPECT_EQ(r.be(4), 4u);
    EXPECT_EQ(r.be(4), 0x7FFFFFFEu);
    EXPECT_EQ(r.ptr(), 0u);
    EXPECT_EQ(r.be(4), 0u);
    trailer(r, &st);
    ASSERT_EQ(unlink(traceName().c_str()), 0);
    vozBTraceFinish(VOZ_BT_MERGE_FINISH, (void*)(uintptr_t)2, 1, &st);
    r = header(readFile(traceName()), VOZ_BT_MERGE_FINISH, 0);
    EXPECT_EQ(r.ptr(), 2u);
    EXPECT_EQ(r.be(1), 1u);
    trailer(r, &st);
}

TEST_F(BTrace, UnopenableTraceFileWritesNothing) {
    switchOn();
    ASSERT_EQ(mkdir(traceName().c_str(), 0700), 0);  // a directory in the way
    GTRSTATUS st{};
    vozBTraceCreateLast(nullptr, &st);
    vozBTraceVerify("i", "d", "o", 1, nullptr, &st);
    vozBTraceMove(1, "i", "d", "t", &st);
    struct stat sb;
    ASSERT_EQ(stat(traceName().c_str(), &sb), 0);
    EXPECT_TRUE(S_ISDIR(sb.st_mode));
    EXPECT_EQ(st.retcode, 0);
}
