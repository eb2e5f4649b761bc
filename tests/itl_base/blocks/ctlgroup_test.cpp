// The commit journal of a group of control files: its bytes, the refusal
// of damaged journals, recovery after a kill at the commit point, and new
// control files in directories that do not exist yet.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_test_util.hpp"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "blocks/voz_ctlgroup.hpp"
#include "blocks/voz_extentmgr.hpp"
#include "files/voz_bigendian.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// FNV-1a, written again here: the journal's seal.
void Reseal(Bytes& b) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i + 4 < b.size(); ++i) {
        h ^= b[i];
        h *= 16777619u;
    }
    voz_putBE32(&b[b.size() - 4], h);
}

int g_ops = 0;
void CountOps(void*, const char*) { ++g_ops; }

TEST(ControlJournal, EncodesTheLayoutByteForByte) {
    const Bytes want = {
        0x56, 0x4F, 0x5A, 0x4A, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
        0x00, 0x26, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x61, 0x00,
        0x00, 0x00, 0x02, 0x01, 0x02, 0x00, 0x03, 0x64, 0x2F, 0x62,
        0x00, 0x00, 0x00, 0x00, 0xA3, 0x60, 0x72, 0xD1};
    Bytes got = voz_BLKencodeJournal({"a", "d/b"}, {{1, 2}, {}});
    EXPECT_EQ(got, want);
    std::vector<std::string> names;
    std::vector<Bytes> contents;
    ASSERT_TRUE(voz_BLKdecodeJournal(got, &names, &contents));
    EXPECT_EQ(names, (std::vector<std::string>{"a", "d/b"}));
    EXPECT_EQ(contents, (std::vector<Bytes>{{1, 2}, {}}));
}

TEST(ControlJournal, DamagedJournalsAreRefused) {
    const Bytes good = voz_BLKencodeJournal({"a", "d/b"}, {{1, 2}, {}});
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        bool reseal;
    };
    const Case cases[] = {
        {"magic", [](Bytes& b) { b[0] = 'X'; }, true},
        {"no files", [](Bytes& b) { voz_putBE32(&b[4], 0); }, true},
        {"17 files", [](Bytes& b) { voz_putBE32(&b[4], 17); }, true},
        {"more files than entries", [](Bytes& b) { voz_putBE32(&b[4], 3); }, true},
        {"total length", [](Bytes& b) { voz_putBE32(&b[8], 37); }, true},
        {"reserved", [](Bytes& b) { b[15] = 1; }, true},
        {"seal", [](Bytes& b) { b[23] ^= 1; }, false},
        {"name length past the end", [](Bytes& b) { voz_putBE16(&b[16], 0xFFFF); }, true},
        {"empty name", [](Bytes& b) { voz_putBE16(&b[16], 0); }, true},
        {"content past the end", [](Bytes& b) { voz_putBE32(&b[19], 0x7FFFFFFF); }, true},
        {"name with ..", [](Bytes& b) { b[27] = '.'; b[28] = '.'; b[29] = '/'; }, true},
        {"absolute name", [](Bytes& b) { b[27] = '/'; }, true},
        {"empty component", [](Bytes& b) { b[27] = '/'; b[28] = '/'; }, true},
        {"name with NUL", [](Bytes& b) { b[18] = 0; }, true},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end() - 4, 0); voz_putBE32(&b[8], 39); }, true},
        {"shorter than a header", [](Bytes& b) { b.resize(12); }, false},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.damage(b);
        if (c.reseal) Reseal(b);
        std::vector<std::string> names;
        std::vector<Bytes> contents;
        EXPECT_FALSE(voz_BLKdecodeJournal(b, &names, &contents)) << c.what;
    }
    // The same damage found on disk stops recovery with a status.
    TempDir dir("ctljournal");
    std::string journal = dir.path() + "/voz.PSC.jnl";
    Bytes bad = good;
    bad[0] = 'X';
    voz_BLKreplacePlainFile(journal.c_str(), bad.data(), bad.size());
    try {
        voz_BLKrecoverJournal(journal.c_str());
        ADD_FAILURE() << "a damaged journal was replayed";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 17);
        EXPECT_EQ(e.errcode, 3359);
    }
    EXPECT_FALSE(Exists(dir.path() + "/a"));
}

// A kill right after the journal's rename: the controls are old, the
// journal complete.  Recovery makes all of them new, once.
TEST(ControlJournal, RecoveryFinishesAnInterruptedCommit) {
    TempDir dir("ctljournal");
    const std::string d = dir.path();
    const std::string ctl[2] = {d + "/half/voz.PSC", d + "/half/voz.PNC"};
    const std::string journal = ctl[0] + ".jnl";
    Bytes oldBytes = {1, 1, 1}, newA = {2, 2}, newB = {3, 3, 3, 3};
    for (const std::string& c : ctl) {
        voz_BLKreplaceFile(c.c_str(), oldBytes.data(), oldBytes.size());
    }
    Bytes j = voz_BLKencodeJournal({"voz.PSC", "voz.PNC"}, {newA, newB});
    voz_BLKreplacePlainFile(journal.c_str(), j.data(), j.size());
    EXPECT_TRUE(voz_BLKrecoverJournal(journal.c_str()));
    EXPECT_EQ(ReadFile(ctl[0] + "/0000"), newA);
    EXPECT_EQ(ReadFile(ctl[1] + "/0000"), newB);
    EXPECT_FALSE(Exists(journal));
    EXPECT_FALSE(voz_BLKrecoverJournal(journal.c_str()));
    // A kill before the commit point leaves only the temporary journal:
    // it is dropped and the controls stay as they are.
    std::ofstream(journal + ".tmp") << "half";
    EXPECT_FALSE(voz_BLKrecoverJournal(journal.c_str()));
    EXPECT_FALSE(Exists(journal + ".tmp"));
    EXPECT_EQ(ReadFile(ctl[1] + "/0000"), newB);
}

TEST(ControlJournal, GroupWritesAllOrNothingAndSkipsWhatItWrote) {
    TempDir dir("ctljournal");
    const std::string d = dir.path() + "/a/b/c";  // none of it exists
    const std::string journal = d + "/voz.PSC.jnl";
    CVozControlGroup group;
    group.Add((d + "/voz.PSC").c_str(), {5});
    group.Add((d + "/voz.PLC").c_str(), {6, 6});
    group.Add((d + "/voz.PSC").c_str(), {7});  // replaces the first content
    EXPECT_EQ(group.Size(), 2u);
    g_ops = 0;
    voz_BLKsetFileOpHook(CountOps, nullptr);
    group.Write(journal.c_str());
    int first = g_ops;
    EXPECT_TRUE(group.Empty());
    EXPECT_EQ(ReadFile(d + "/voz.PSC/0000"), (Bytes{7}));
    EXPECT_EQ(ReadFile(d + "/voz.PLC/0000"), (Bytes{6, 6}));
    EXPECT_FALSE(Exists(journal));
    // The same contents again: nothing to write.
    group.Add((d + "/voz.PSC").c_str(), {7});
    group.Add((d + "/voz.PLC").c_str(), {6, 6});
    g_ops = 0;
    group.Write(journal.c_str());
    EXPECT_EQ(g_ops, 0);
    voz_BLKsetFileOpHook(nullptr, nullptr);
    EXPECT_GT(first, 10);
    // A control outside the journal's directory is refused, nothing written.
    group.Add((dir.path() + "/voz.PNC").c_str(), {1});
    EXPECT_THROW(group.Write(journal.c_str()), CVozException);
    EXPECT_FALSE(Exists(dir.path() + "/voz.PNC"));
    EXPECT_TRUE(group.Empty());
}

TEST(ControlJournal, ReplaceFileMakesEveryMissingDirectory) {
    TempDir dir("ctljournal");
    const std::string path = dir.path() + "/x/#ullmain/y/voz.PLC";
    Bytes b = {9, 8, 7};
    voz_BLKreplaceFile(path.c_str(), b.data(), b.size());
    EXPECT_EQ(ReadFile(path + "/0000"), b);
    // A level that is a file cannot be made a directory.
    std::ofstream(dir.path() + "/plain") << "x";
    std::string blocked = dir.path() + "/plain/sub/voz.PLC";
    try {
        voz_BLKreplaceFile(blocked.c_str(), b.data(), b.size());
        ADD_FAILURE() << "made a control below a plain file";
    } catch (const CVozException& e) {
        EXPECT_EQ(e.retcode, 3);
        EXPECT_EQ(e.errcode, 3351);
    }
}

}  // namespace
