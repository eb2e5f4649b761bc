// Index file sets: a set is written, copied, renamed, moved, appended to
// another as a second section and switched into place, and every copy reads
// back list for list; existence tests with an alternate directory; removal;
// the failure paths with their return codes and reasons; a rename that
// cannot be completed leaves the target as it was.
#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "files/voz_bigendian.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_idxset.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keywrite.hpp"
#include "postings/voz_posstore.hpp"
#include "posstore_fixture.hpp"

namespace {

namespace stdfs = std::filesystem;

// key -> documents -> positions
using Lists = std::map<uint32_t, std::map<uint32_t, std::vector<int32_t>>>;


_FCTLHEAD Set(const std::string& dir, int type = 0) {
    _FCTLHEAD f;
    GTRSTATUS st{};
    voz_SetFctlForRead(&f, "idx", dir.c_str(), 0, 0, "KPLQ", "Full", &st);
    f.fileType = type;
    return f;
}

std::vector<uint8_t> Encode(const std::map<uint32_t, std::vector<int32_t>>& l) {
    posfix::List list;
    for (auto& [id, pos] : l) list.push_back({id, pos});
    return posfix::Encode(list);
}

Lists MakeLists(uint32_t firstKey, uint32_t keys, uint32_t scale) {
    Lists l;
    for (uint32_t k = 0; k < keys; ++k) {
        for (uint32_t d = 0; d < 20 + k * scale; ++d) {
            l[firstKey + k][d * 3 + k] = {int32_t(d), int32_t(d + 7 + k)};
        }
    }
    return l;
}

// Writes `lists` as the section at fs->keyBase of the open set `fs`.
void WriteSection(_FCTLHEAD& fs, const Lists& lists, GTRSTATUS& st) {
    KEYINFO_0 info{};
    memcpy(info.version, "V4_0", 4);
    voz_WriteKeyInfo(&fs, &info, &st);
    for (auto& [key, docs] : lists) {
        std::vector<uint8_t> bytes = Encode(docs);
        voz_fseek_POSFILE(&fs, -1, &st);
        KEY_REC k{};
        k.kind = VOZ_KIND_FIXED;
        k.recCount = 1;
        voz_putBE32(k.key, key);
        k.location = uint32_t(fs.posOffset);
        k.locationHigh = uint16_t(uint64_t(fs.posOffset) >> 32);
        k.dataLength = uint32_t(bytes.size());
        k.docCount = uint32_t(docs.size());
        k.lastDoc = docs.rbegin()->first;
        voz_fwrite_POSFILE(bytes.data(), int32_t(bytes.size()), &fs, &st);
        voz_WriteKey(&fs, &info, &k, 255, nullptr, &st);
    }
    voz_WriteKeyInfo(&fs, &info, &st);
}

void CreateSet(_FCTLHEAD fs, const Lists& lists, GTRSTATUS& st) {
    vozCreateIndexDirectory(&fs, &st);
    voz_IDXopen(&fs, "wb+", &st);
    WriteSection(fs, lists, st);
    voz_IDXclose(&fs, &st);
}

// Reads the section at `keyBase` of the set back through the interface.
Lists ReadSet(_FCTLHEAD fs, GTRSTATUS& st, uint64_t keyBase = 0) {
    Lists out;
    fs.keyBase = keyBase;
    if (voz_IDXopen(&fs, "rb", &st) != 0) return out;
    KEYINFO_0 info;
    voz_ReadKeyInfo(&fs, &info, 0, nullptr, &st);
    for (uint32_t r = 0; r < info.fixedRecords && st.retcode == 0; ++r) {
        KEY_REC k[2];
        voz_ReadKey(&fs, k, int32_t(r), &st);
        PCTLHEAD p{};
        voz_InitPctl(&p, &k[0], 0, 'N', &st);
        auto& docs = out[voz_getBE32(k[0].key)];
        for (voz_PointVvgSkip(&fs, &p, 0, &st); p.endOfDocs != 'Y' && !st.retcode;
             voz_PointVvgSkip(&fs, &p, 0, &st)) {
            auto& pos = docs[uint32_t(p.curDoc)];
            for (voz_PointPosSkip(&fs, &p, 0, &st); p.endOfPos != 'Y';
                 voz_PointPosSkip(&fs, &p, 0, &st)) {
                pos.push_back(p.curPos);
            }
        }
        voz_TermPctl(&p, &st);
    }
    voz_IDXclose(&fs, &st);
    return out;
}

bool Exists(const std::string& p) {
    struct stat sb;
    return stat(p.c_str(), &sb) == 0;
}

using posfix::Name;

TEST(IndexFileSets, CopyRenameMoveAndSwitchKeepEveryList) {
    TempDir dir("idxset");
    Lists lists = MakeLists(1, 6, 400);
    GTRSTATUS st{};
    _FCTLHEAD a = Set(dir.path() + "/a");
    CreateSet(a, lists, st);
    ASSERT_OK(st);
    ASSERT_EQ(ReadSet(a, st), lists);

    _FCTLHEAD b = Set(dir.path() + "/b");
    ASSERT_EQ(voz_IDXcopy(&a, &b, &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(ReadSet(b, st), lists);
    EXPECT_EQ(ReadSet(a, st), lists);

    _FCTLHEAD c = Set(dir.path() + "/c");
    ASSERT_EQ(voz_IDXrename(&b, &c, &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(voz_IDXqueryExistence(&b, nullptr, &st), VOZ_MISSING);
    EXPECT_EQ(ReadSet(c, st), lists);

    ASSERT_EQ(voz_IDXmove(&c, (dir.path() + "/d").c_str(), &st), 0);
    _FCTLHEAD d = Set(dir.path() + "/d");
    EXPECT_EQ(ReadSet(d, st), lists);
    ASSERT_OK(st);

    // A new half "#main" with other lists is switched over main.
    Lists other = MakeLists(100, 3, 900);
    _FCTLHEAD fresh = Set(dir.path() + "/a", VOZ_HALF_MAIN_NEW);
    CreateSet(fresh, other, st);
    ASSERT_OK(st);
    ASSERT_EQ(voz_IDXswitchDir(&fresh, &a, &st), 0);
    ASSERT_OK(st);
    EXPECT_EQ(ReadSet(a, st), other);
    EXPECT_FALSE(Exists(Name(fresh, VOZ_FT_DIR)));
    for (auto& e : stdfs::directory_iterator(dir.path() + "/a/idx")) {
        EXPECT_EQ(e.path().string().find(".~"), std::string::npos)
            << e.path();
    }
    // The whole index directory moves under another name.
    _FCTLHEAD moved = a;
    strcpy(moved.indexName, "idx2");
    ASSERT_EQ(voz_IDXswitchRootDir(&a, &moved, &st), 0);
    EXPECT_EQ(ReadSet(moved, st), other);
    ASSERT_OK(st);
}

TEST(IndexFileSets, AppendedSectionReadsBackBesideTheFirst) {
    TempDir dir("idxset");
    Lists first = MakeLists(1, 4, 300), second = MakeLists(50, 5, 200);
    GTRSTATUS st{};
    _FCTLHEAD to = Set(dir.path() + "/w");
    CreateSet(to, first, st);
    _FCTLHEAD from = Set(dir.path() + "/s");
    CreateSet(from, second, st);
    ASSERT_OK(st);
    uint64_t base = stdfs::file_size(Name(to, VOZ_FT_KEY) + "/0000");
    _FCTLHEAD sec = to;
    sec.keyBase = base;
    ASSERT_EQ(voz_IDXopen(&sec, "rb+", &st), 0);
    ASSERT_EQ(voz_IDXappend(&sec, &from, &st), 0);
    ASSERT_OK(st);
    voz_IDXclose(&sec, &st);
    EXPECT_EQ(ReadSet(to, st, 0), first);
    EXPECT_EQ(ReadSet(to, st, base), second);
    ASSERT_OK(st);
}

TEST(IndexFileSets, ExistenceWithAlternateDirectory) {
    TempDir dir("idxset");
    GTRSTATUS st{};
    Lists lists = MakeLists(1, 2, 10);
    CreateSet(Set(dir.path() + "/alt"), lists, st);
    CreateSet(Set(dir.path() + "/prim"), lists, st);
    ASSERT_OK(st);
    // The alternate directory keeps the key file only.
    _FCTLHEAD alt = Set(dir.path() + "/alt");
    voz_RemoveTree(Name(alt, VOZ_FT_POS).c_str());
    std::string spec = dir.path() + "/prim\t" + dir.path() + "/alt";
    _FCTLHEAD both;
    voz_SetFctlForRead(&both, "idx", spec.c_str(), 0, 0, "KPLQ", "Full", &st);
    EXPECT_EQ(voz_IDXqueryExistence(&both, nullptr, &st), VOZ_EXISTS);
    ASSERT_EQ(voz_IDXopen(&both, "rb", &st), 0);
    EXPECT_EQ(both.altUse[0], 'Y');
    EXPECT_EQ(both.altUse[1], 'N');
    voz_IDXclose(&both, &st);
    EXPECT_EQ(ReadSet(both, st), lists);
    ASSERT_OK(st);
    KEYINFO_0 info;
    _FCTLHEAD none = Set(dir.path() + "/none");
    EXPECT_EQ(voz_IDXqueryExistence(&none, &info, &st), VOZ_MISSING);
    EXPECT_EQ(info.version[0], 0);
}

TEST(IndexFileSets, RemoveGoesOnWithoutThePositionFile) {
    TempDir dir("idxset");
    GTRSTATUS st{};
    _FCTLHEAD fs = Set(dir.path());
    CreateSet(fs, MakeLists(1, 2, 10), st);
    voz_RemoveTree(Name(fs, VOZ_FT_POS).c_str());
    ASSERT_EQ(voz_IDXremove(&fs, &st), 0);
    ASSERT_OK(st);
    EXPECT_FALSE(Exists(Name(fs, VOZ_FT_KEY)));
    EXPECT_FALSE(Exists(Name(fs, VOZ_FT_DIR)));
    ASSERT_EQ(voz_IDXremoveAllContents(&fs, &st), 0);
    EXPECT_FALSE(Exists(Name(fs, VOZ_FT_DIR | VOZ_FT_SHARED)));
}

// Fault mended: a rename used to remove the target first and then try to
// move the source in; when that failed, the target was gone.  The target
// now stays until its replacement is complete.
TEST(IndexFileSets, FailedRenameLeavesTheTargetIntact) {
    if (!Exists("/dev/shm")) GTEST_SKIP() << "needs a second file system";
    TempDir dir("idxset");
    std::string shm = "/dev/shm/idxset_test." + std::to_string(getpid());
    GTRSTATUS st{};
    Lists kept = MakeLists(1, 3, 50);
    _FCTLHEAD target = Set(dir.path());
    CreateSet(target, kept, st);
    _FCTLHEAD source = Set(shm);
    CreateSet(source, MakeLists(9, 1, 1), st);
    ASSERT_OK(st);
    // An entry that no copy can read: a socket inside the source's key file.
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string sp = Name(source, VOZ_FT_KEY) + "/sock";
    strncpy(addr.sun_path, sp.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    int rc = voz_IDXrename(&source, &target, &st);
    close(sock);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(st.retcode, VOZ_RC_RENAME);
    EXPECT_EQ(st.errcode, 2311);
    EXPECT_TRUE(Exists(Name(source, VOZ_FT_KEY)));
    EXPECT_EQ(ReadSet(target, st = GTRSTATUS{}), kept);
    voz_RemoveTree(shm.c_str());
}

TEST(IndexFileSets, FailurePathsReportTheirCodes) {
    TempDir dir("idxset");
    GTRSTATUS st{};
    _FCTLHEAD fs = Set(dir.path());
    CreateSet(fs, MakeLists(1, 1, 1), st);
    ASSERT_OK(st);
    struct Case {
        const char* what;
        int32_t rc, reason;
        GTRSTATUS st;
    };
    std::vector<Case> cases;
    auto run = [&](const char* what, int32_t rc, int32_t reason, auto f) {
        GTRSTATUS s{};
        f(s);
        cases.push_back({what, rc, reason, s});
    };
    run("open without key file", 3, 223, [&](GTRSTATUS& s) {
        _FCTLHEAD m = Set(dir.path() + "/none");
        voz_IDXopen(&m, "rb", &s);
    });
    run("key file alone", 3, 2302, [&](GTRSTATUS& s) {
        _FCTLHEAD m = Set(dir.path() + "/none");
        voz_IDXopenKey(&m, "rb", &s);
    });
    run("alternate and primary missing", 3, 240, [&](GTRSTATUS& s) {
        _FCTLHEAD m;
        std::string spec = dir.path() + "/x\t" + dir.path() + "/y";
        voz_SetFctlForRead(&m, "idx", spec.c_str(), 0, 0, "KPLQ", "Full", &s);
        voz_IDXopen(&m, "rb", &s);
    });
    run("switch into a missing parent", 9, 1806, [&](GTRSTATUS& s) {
        _FCTLHEAD to = Set(dir.path() + "/missing/deeper");
        voz_IDXswitchDir(&fs, &to, &s);
    });
    run("deleted-documents directory not removable", 141, 1809,
        [&](GTRSTATUS& s) {
            _FCTLHEAD sets[2] = {fs, fs};
            std::string del = Name(fs, VOZ_FT_DIR | VOZ_FT_DELETED);
            stdfs::create_directories(del + "/stray");
            voz_RemoveDelDir(sets, &s);
        });
    run("append onto a set without a sequential broker", 17, 3420,
        [&](GTRSTATUS& s) {
            _FCTLHEAD to = Set(dir.path());
            _FCTLHEAD from = Set(dir.path());
            voz_IDXappend(&to, &from, &s);
        });
    for (const Case& c : cases) {
        EXPECT_EQ(c.st.retcode, c.rc) << c.what;
        EXPECT_EQ(c.st.errcode, c.reason) << c.what;
    }
    // A close after a failure keeps the first failure.
    _FCTLHEAD m = Set(dir.path() + "/none");
    voz_IDXopen(&m, "rb", &st);
    voz_IDXclose(&m, &st);
    EXPECT_EQ(st.errcode, 223);
}

}  // namespace
