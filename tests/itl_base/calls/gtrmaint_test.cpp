// Tests of the maintenance calls: merge and document deletion of both
// sub-indexes through VOZ_mergeIndex / VOZ_mergeIndexFinish and
// GTRdeleteDoc / GTRdeleteDocFinish (live documents read back by
// verification and by the key iterator), their argument and handle
// errors, and the records they append to the binary call trace.
#include <arpa/inet.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "calls/voz_btrace.hpp"
#include "gtrmaint_fixture.hpp"

using namespace mtfix;

namespace {

Docs Range(int32_t lo, int32_t hi) {
    Docs d;
    for (int32_t i = lo; i <= hi; ++i) d[i] = static_cast<int>(i % kWordCount);
    return d;
}

// Builds main 1-20 and supp 21-30 of both sub-indexes.
Docs BuildBoth(const Env& env) {
    GTRSTATUS st{};
    Update(env.out, env.work, 'N', Range(1, 20), &st, 3);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    Update(env.out, env.work, 'A', Range(21, 30), &st, 3);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    return Range(1, 30);
}

void ExpectIndexHolds(const Env& env, const Docs& live) {
    GTRSTATUS st{};
    EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(live));
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(Live(env.out, 0, &st), Numbers(live)) << "the item sub-index";
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    std::map<std::string, int32_t> counts = KeyCounts(env.out, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_FALSE(counts.empty());
    EXPECT_EQ(counts, ModelCounts(live, counts));
}

TEST(GtrMaint, MergeOfBothSubIndexesDropsDeletedDocuments) {
    Env env;
    Docs live = BuildBoth(env);
    GTRSTATUS st{};
    Delete(env.out, env.work, {5, 27}, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    live.erase(5);
    live.erase(27);
    ExpectIndexHolds(env, live);
    void* h = nullptr;
    VOZ_mergeIndex(&h, "idx", env.out.c_str(), env.work.c_str(), nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0xC0);
    ExpectIndexHolds(env, live);  // nothing changes before the finish
    VOZ_mergeIndexFinish(h, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0xC0);
    EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    for (const char* gone : {"/Fullsupp", "/Itemsupp", "/Fulldel", "/Itemdel"})
        EXPECT_FALSE(std::filesystem::exists(env.dir + gone)) << gone;
    ExpectIndexHolds(env, live);
    // The next update works on the merged index.
    Update(env.out, env.work, 'A', Range(31, 33), &st, 3);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    for (const auto& [d, w] : Range(31, 33)) live[d] = w;
    ExpectIndexHolds(env, live);
}

TEST(GtrMaint, MergeCancelAndArgumentErrors) {
    Env env;
    GTRSTATUS st{};
    st.detail = 7;
    void* h = nullptr;
    VOZ_mergeIndex(&h, nullptr, env.out.c_str(), env.work.c_str(), nullptr, &st);
    EXPECT_STATUS(st, 2, 2662);
    EXPECT_EQ(st.detail, 7) << "tested before the status is cleared";
    VOZ_mergeIndexFinish(nullptr, 'G', &st);
    EXPECT_STATUS(st, 1, 2665);
    // No index at all: nothing to merge, nothing to finish.
    VOZ_mergeIndex(&h, "idx", env.out.c_str(), env.work.c_str(), nullptr, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(st.processed_index, 0);
    ASSERT_NE(h, nullptr);
    VOZ_mergeIndexFinish(h, 'G', &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;

    Docs live = BuildBoth(env);
    VOZ_mergeIndex(&h, "idx", env.out.c_str(), env.work.c_str(), nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    VOZ_mergeIndexFinish(h, 'C', &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::exists(env.dir + "/Fullsupp"));
    ExpectIndexHolds(env, live);
}

TEST(GtrMaint, DeleteDocCommitAndCancel) {
    Env env;
    GTRSTATUS st{};
    Docs live = Range(1, 12);
    Update(env.out, env.work, 'N', live, &st);  // text only: no item sub-index
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    Delete(env.out, env.work, {5, 6}, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    live.erase(5);
    live.erase(6);
    EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(live));
    std::map<std::string, int32_t> counts = KeyCounts(env.out, &st);
    EXPECT_EQ(counts, ModelCounts(live, counts));
    Delete(env.out, env.work, {7, 8}, 'C', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(live));
    EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    // The finish keeps what the caller's status held.
    void* h = nullptr;
    int32_t nine = 9;
    GTRdeleteDoc(&h, "idx", env.out.c_str(), env.work.c_str(), &nine, 1, nullptr, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    st.detail = 44;
    GTRdeleteDocFinish(h, 'G', &st);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(st.detail, 44);
    live.erase(9);
    EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(live));
}

TEST(GtrMaint, DeleteDocErrorsLeaveNoHandleAndNoChange) {
    Env env;
    GTRSTATUS st{};
    Update(env.out, env.work, 'N', Range(1, 5), &st);
    ASSERT_EQ(st.retcode, 0);
    const std::string longName(2047, 'n');
    const std::string longWork(2048, 'w');
    int32_t docs[] = {2, 3};
    struct Case {
        const char* name;
        const char* dir;
        const char* work;
        int32_t* nums;
        int32_t rc, ec;
    } cases[] = {
        {nullptr, env.out.c_str(), env.work.c_str(), docs, 2, 2667},
        {"idx", env.out.c_str(), nullptr, docs, 2, 2667},
        {"", env.out.c_str(), env.work.c_str(), docs, 29, 2668},
        {longName.c_str(), env.out.c_str(), env.work.c_str(), docs, 29, 2668},
        {"idx", env.out.c_str(), longWork.c_str(), docs, 35, 2669},
        {"idx", env.out.c_str(), env.work.c_str(), nullptr, 2, 3403},
    };
    for (const Case& c : cases) {
        void* h = reinterpret_cast<void*>(1);
        GTRdeleteDoc(&h, c.name, c.dir, c.work, c.nums, 2, nullptr, &st);
        EXPECT_STATUS(st, c.rc, c.ec);
        EXPECT_EQ(h, nullptr);
    }
    EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(Live(env.out, 0x40, &st), Numbers(Range(1, 5)));
    st = GTRSTATUS{};
    GTRdeleteDocFinish(nullptr, 'G', &st);
    EXPECT_STATUS(st, 1, 2670);
    char notAHandle[64] = "MERGEWRK";
    GTRdeleteDocFinish(notAHandle, 'G', &st);
    EXPECT_STATUS(st, 1, 2670);
}

// Record types of the binary trace file of this process, in order.
std::vector<int> TraceTypes() {
    char name[64];
    vozBTraceFileName(name, sizeof name);
    std::ifstream f(name, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const uint32_t pid = htonl(static_cast<uint32_t>(getpid()));
    std::vector<int> types;
    for (size_t i = 0; i + 15 <= b.size(); ++i) {
        if (memcmp(&b[i], "\0\0\0\x03\x08", 5) != 0 || memcmp(&b[i + 9], &pid, 4) != 0) continue;
        types.push_back(b[i + 13] << 8 | b[i + 14]);
        i += 14;
    }
    return types;
}

TEST(GtrMaint, EachCallAppendsItsTraceRecordAndAnEndRecord) {
    Env env;
    GTRSTATUS st{};
    Update(env.out, env.work, 'N', Range(1, 5), &st);
    Update(env.out, env.work, 'A', Range(6, 8), &st);
    ASSERT_EQ(st.retcode, 0);
    { std::ofstream marker("GTRbtrc"); }
    Delete(env.out, env.work, {2}, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    Merge(env.out, env.work, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    std::remove("GTRbtrc");
    // GTRdeleteDoc runs the update's delete call, which writes its own pair.
    EXPECT_EQ(TraceTypes(), (std::vector<int>{9, 6, 14, 14, 10, 14, 7, 14, 8, 14}));
    char name[64];
    vozBTraceFileName(name, sizeof name);
    std::remove(name);
}

// The bytes of one block: header with `type`, the fields, the status
// image of `st`, the end mark. Time and pointer values are taken from
// `got` (they differ by run).
std::vector<uint8_t> Block(uint16_t type, const std::vector<uint8_t>& fields,
                           const GTRSTATUS& st) {
    std::vector<uint8_t> b = {0, 0, 0, 3, 8, 0, 0, 0, 0};
    const uint32_t pid = static_cast<uint32_t>(getpid());
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(pid >> s));
    b.push_back(static_cast<uint8_t>(type >> 8));
    b.push_back(static_cast<uint8_t>(type));
    b.insert(b.end(), fields.begin(), fields.end());
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&st);
    for (int32_t v : {st.retcode, st.errcode})
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
    b.insert(b.end(), raw + 8, raw + 1036);
    for (int32_t v : {st.system_errno, st.detail})
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
    b.insert(b.end(), raw + 1044, raw + 1064);
    b.push_back(0xEE);
    b.push_back(0xEE);
    return b;
}

TEST(GtrMaint, FinishRecordsOfANullHandleMatchTheirLayout) {
    Env env;
    { std::ofstream marker("GTRbtrc"); }
    GTRSTATUS st{};
    VOZ_mergeIndexFinish(nullptr, 'G', &st);
    std::remove("GTRbtrc");
    char name[64];
    vozBTraceFileName(name, sizeof name);
    std::ifstream f(name, std::ios::binary);
    std::vector<uint8_t> got((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::remove(name);
    uint32_t gsp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&st));
    std::vector<uint8_t> gspLE = {uint8_t(gsp), uint8_t(gsp >> 8), uint8_t(gsp >> 16),
                                  uint8_t(gsp >> 24)};
    std::vector<uint8_t> fields8 = {0, 0, 0, 0, 'G'};
    fields8.insert(fields8.end(), gspLE.begin(), gspLE.end());
    std::vector<uint8_t> want = Block(VOZ_BT_MERGE_FINISH, fields8, GTRSTATUS{});
    const size_t second = want.size();
    std::vector<uint8_t> fields14 = {0, 0, 0, 0, 0, 0, 0, 0};
    fields14.insert(fields14.end(), gspLE.begin(), gspLE.end());
    const std::vector<uint8_t> end = Block(VOZ_BT_END, fields14, st);
    want.insert(want.end(), end.begin(), end.end());
    ASSERT_EQ(got.size(), want.size());
    for (size_t at : {size_t(5), second + 5})  // the times
        for (size_t i = 0; i < 4; ++i) want[at + i] = got[at + i];
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(got[i], want[i]) << "byte " << i << " of " << want.size();
    EXPECT_STATUS(st, 1, 2665);
}

}  // namespace
