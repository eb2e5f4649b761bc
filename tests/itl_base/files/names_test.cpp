// Tests of the index file names (voz_IDXgetFname, voz_SetFctlForRead),
// file existence, file copies and unique temporary files and directories.
#include <errno.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "files/voz_file.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"

namespace {

// A descriptor made as the call layer makes it.
std::unique_ptr<_FCTLHEAD> fileSet(const char* dirSpec, const char* index,
                                   int half, int set, const char* letters,
                                   const char* prefix) {
    std::unique_ptr<_FCTLHEAD> fs(new _FCTLHEAD);
    GTRSTATUS st = {};
    EXPECT_EQ(voz_SetFctlForRead(fs.get(), index, dirSpec, half, set, letters,
                                 prefix, &st),
              0);
    return fs;
}

std::string nameOf(const _FCTLHEAD* fs, uint16_t type) {
    char buf[VOZ_FNAME_LEN];
    int n = voz_IDXgetFname(buf, fs, type);
    EXPECT_EQ(n, static_cast<int>(strlen(buf)));
    return buf;
}

bool writeText(const std::string& path, const std::string& text) {
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = voz_XXwrite(text.data(), 1, text.size(), f) == text.size();
    return voz_XXclose(f) == 0 && ok;
}

std::string readText(const std::string& path) {
    FILE_CONTROL* f = voz_XXopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string out;
    char buf[512];
    size_t n;
    while ((n = voz_XXread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    voz_XXclose(f);
    return out;
}

// True when `s` is `head`, then n characters of "0-9a-z", then `tail`.
bool isRandomName(const std::string& s, const std::string& head, size_t n,
                  const std::string& tail) {
    if (s.size() != head.size() + n + tail.size()) return false;
    if (s.compare(0, head.size(), head) != 0) return false;
    if (s.compare(head.size() + n, tail.size(), tail) != 0) return false;
    for (size_t i = head.size(); i < head.size() + n; ++i) {
        if (!((s[i] >= '0' && s[i] <= '9') || (s[i] >= 'a' && s[i] <= 'z'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(IndexFileNames, EveryFileOfTheTextSubIndex) {
    auto fs = fileSet("/D", "I", 0, 0, "KPLQ", "Full");
    struct Case {
        uint16_t type;
        const char* expect;
    } cases[] = {
        {0, "/D/I/Fullmain/voz.KEY"},
        {1, "/D/I/Fullmain/voz.POS"},
        {2, "/D/I/voz.PSB"},
        {3, "/D/I/voz.PND"},
        {4, "/D/I/voz.PLF"},
        {0x12, "/D/I/Fullmain/voz.PSC"},
        {0x13, "/D/I/Fullmain/voz.PNC"},
        {0x14, "/D/I/Fullmain/voz.PLC"},
        {7, "/D/I/voz.STP"},
        {8, "/D/I/Fulldel/Main.DEL"},
        {8 | 0x20, "/D/I/Fulldel"},
        {0x20, "/D/I/Fullmain"},
        {2 | 0x20, "/D/I"},
        {72, "/D/I/#ulldel/Main.DEL"},   // deleted list under the new prefix
        {104, "/D/I/#ulldel"},
        {0x40, "/D/I/#ullmain/voz.KEY"},
        {0x80, "/D/I/%ullmain/voz.KEY"},
        {0xC0 | 0x20, "/D/I/#ullmain"},
        {82, "/D/I/#ullmain/voz.PSC"},   // control names under '#'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameOf(fs.get(), c.type), c.expect) << "type " << c.type;
    }
    // The X-index (set 1) takes the second pair of letters.
    auto x = fileSet("/D", "I", 0, 1, "KPLQ", "Full");
    EXPECT_EQ(nameOf(x.get(), 0), "/D/I/Fullmain/voz.LEY");
    EXPECT_EQ(nameOf(x.get(), 1), "/D/I/Fullmain/voz.QOS");
    // The supp half.
    auto supp = fileSet("/D", "I", 1, 0, "MRNS", "Item");
    EXPECT_EQ(nameOf(supp.get(), 0), "/D/I/Itemsupp/voz.MEY");
    EXPECT_EQ(nameOf(supp.get(), 8), "/D/I/Itemdel/Supp.DEL");
}

TEST(IndexFileNames, HalfKindsAndRootDirectory) {
    auto fs = fileSet("/", "x", 0, 0, "KPLQ", "Full");
    EXPECT_EQ(nameOf(fs.get(), 0), "/x/Fullmain/voz.KEY");

    auto item = fileSet("/D", "I", 1, 0, "MRNS", "Item");
    struct Case {
        int32_t kind;
        uint16_t type;
        const char* expect;
    } cases[] = {
        {3, 0x20, "/D/I/#temsupp"},
        {4, 0x20, "/D/I/%temmain"},
        {2, 0, "/D/I/#temmain/voz.MEY"},
        {5, 8, "/D/I/%temdel/Supp.DEL"},
        {6, 0, "/D/I.MMM"},
        {6, 1, "/D/I.RRR"},
        {7, 0, "/D/I.M00"},
        {19, 1, "/D/I.R12"},
    };
    for (const auto& c : cases) {
        item->fileType = c.kind;
        EXPECT_EQ(nameOf(item.get(), c.type), c.expect) << "kind " << c.kind;
    }
}

TEST(IndexFileNames, AlternateDirectoryIsUsedPerSwitch) {
    auto fs = fileSet("/prim\t/alt", "I", 0, 0, "KPLQ", "Full");
    EXPECT_STREQ(fs->directory, "/prim");
    EXPECT_STREQ(fs->altDirectory, "/alt");
    EXPECT_EQ(nameOf(fs.get(), 0), "/prim/I/Fullmain/voz.KEY");
    fs->altUse[0] = 'Y';
    EXPECT_EQ(nameOf(fs.get(), 0), "/alt/I/Fullmain/voz.KEY");
    EXPECT_EQ(nameOf(fs.get(), 1), "/prim/I/Fullmain/voz.POS");
    fs->altUse[1] = 'Y';
    EXPECT_EQ(nameOf(fs.get(), 1), "/alt/I/Fullmain/voz.POS");
}

TEST(IndexFileNames, TooLongDirectoriesAreRefused) {
    std::unique_ptr<_FCTLHEAD> fs(new _FCTLHEAD);
    std::string longDir(2075, 'd');
    struct Case {
        std::string spec;
        int32_t reason;
    } cases[] = {
        {longDir + "\t/alt", 238},
        {"/prim\t" + longDir, 239},
    };
    for (const auto& c : cases) {
        GTRSTATUS st = {};
        EXPECT_EQ(voz_SetFctlForRead(fs.get(), "I", c.spec.c_str(), 0, 0,
                                     "KPLQ", "Full", &st),
                  -1);
        EXPECT_EQ(st.retcode, VOZ_RC_PATH_TOO_LONG);
        EXPECT_EQ(st.errcode, c.reason);
    }
    GTRSTATUS st = {};
    EXPECT_EQ(voz_SetFctlForRead(fs.get(), longDir.c_str(), "/d", 0, 0, "KPLQ",
                                 "Full", &st),
              -1);
    EXPECT_EQ(st.errcode, 243);  // index name
    st = {};
    std::string fits(2074, 'd');
    EXPECT_EQ(voz_SetFctlForRead(fs.get(), "I", fits.c_str(), 0, 0, "KPLQ",
                                 "Full", &st),
              0);
    // A path that cannot fit the buffer reports its full length.
    char buf[VOZ_FNAME_LEN];
    EXPECT_GE(voz_IDXgetFname(buf, fs.get(), 0),
              static_cast<int>(VOZ_FNAME_LEN));
    EXPECT_LT(strlen(buf), VOZ_FNAME_LEN);
}

TEST(IndexFileNames, FileExistenceOfBlockStoreNeedsAllThree) {
    TempDir dir;
    auto fs = fileSet(dir.path().c_str(), "I", 0, 0, "KPLQ", "Full");
    EXPECT_NE(voz_IDXfileExistence(fs.get(), 0), 0);
    ASSERT_TRUE(writeText(nameOf(fs.get(), 0), "key"));
    EXPECT_EQ(voz_IDXfileExistence(fs.get(), 0), 0);
    fs->flags = VOZ_FCTL_BTREE;
    ASSERT_TRUE(writeText(nameOf(fs.get(), 2), "sb"));
    ASSERT_TRUE(writeText(nameOf(fs.get(), 3), "nd"));
    EXPECT_NE(voz_IDXfileExistence(fs.get(), 1), 0);
    ASSERT_TRUE(writeText(nameOf(fs.get(), 4), "lf"));
    EXPECT_EQ(voz_IDXfileExistence(fs.get(), 1), 0);
}

TEST(FileCopy, CopiesWholeFileAndReportsFailures) {
    TempDir dir;
    std::string data;
    for (int i = 0; i < 20000; ++i) data.push_back(static_cast<char>(i * 13));
    ASSERT_TRUE(writeText(dir / "src", data));
    GTRSTATUS st = {};
    EXPECT_EQ(voz_FileCopy((dir / "src").c_str(), (dir / "dst").c_str(), &st),
              0);
    EXPECT_EQ(st.retcode, 0);
    EXPECT_EQ(readText(dir / "dst"), data);

    st = {};
    EXPECT_EQ(voz_FileCopy((dir / "nosrc").c_str(), (dir / "d2").c_str(), &st),
              -1);
    EXPECT_EQ(st.retcode, VOZ_RC_OPEN);
    EXPECT_EQ(st.errcode, 228);
    EXPECT_EQ(std::string(st.errfname1), dir / "nosrc");
    EXPECT_EQ(st.system_errno, ENOENT);

    // A source part that cannot be read is a read failure, not its end.
    ASSERT_EQ(mkdir((dir / "src/0001").c_str(), 0770), 0);
    st = {};
    EXPECT_EQ(voz_FileCopy((dir / "src").c_str(), (dir / "d3").c_str(), &st),
              -1);
    EXPECT_EQ(st.retcode, VOZ_RC_READ);
    EXPECT_EQ(st.errcode, 230);
    EXPECT_EQ(std::string(st.errfname1), dir / "src");
    EXPECT_EQ(st.system_errno, EISDIR);

    // A target under a plain file cannot be created.
    FILE* fp = fopen((dir / "plain").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    st = {};
    EXPECT_EQ(voz_FileCopy((dir / "src").c_str(), (dir / "plain/x/y").c_str(),
                           &st),
              -1);
    EXPECT_EQ(st.retcode, VOZ_RC_OPEN);
    EXPECT_EQ(st.errcode, 229);
    EXPECT_EQ(st.system_errno, ENOTDIR);
}

TEST(TempFile, NamesFollowThePatterns) {
    TempDir dir;
    char name[VOZ_FNAME_LEN];
    FILE_CONTROL* f = nullptr;
    GTRSTATUS st = {};
    ASSERT_EQ(voz_XXopenTempEx(name, nullptr, "tmp", dir.path().c_str(), &f,
                               &st),
              0);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(isRandomName(name, dir.path() + "/!", 7, ".tmp")) << name;
    EXPECT_EQ(voz_XXwrite("abc", 1, 3, f), 3u);
    EXPECT_EQ(voz_XXclose(f), 0);
    EXPECT_EQ(readText(name), "abc");

    char prefix[16] = "work";
    ASSERT_EQ(voz_XXopenTempEx(name, prefix, "w", (dir / "sub").c_str(), &f,
                               &st),
              0);
    EXPECT_EQ(std::string(name), dir / "sub/work.w");  // parent made
    EXPECT_STREQ(prefix, "work");                     // no retry happened
    voz_XXclose(f);
}

TEST(TempFile, CollisionTriesTheNextNameAndNeverEmptiesTheOther) {
    // The first name already exists: as a plain file and as a partitioned
    // file of another user.  Both used to be opened "wb+" and emptied.
    TempDir dir;
    FILE* fp = fopen((dir / "abcdefg.t").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fputs("precious", fp);
    fclose(fp);
    ASSERT_TRUE(writeText(dir / "zz.t", "also precious"));

    struct Case {
        const char* prefix;
        const char* cut;
        std::string keeps;
        std::string content;
    } cases[] = {
        {"abcdefg", "abcd", dir / "abcdefg.t", "precious"},
        {"zz", "zz", dir / "zz.t", "also precious"},
    };
    for (const auto& c : cases) {
        char prefix[16];
        snprintf(prefix, sizeof prefix, "%s", c.prefix);
        char name[VOZ_FNAME_LEN];
        FILE_CONTROL* f = nullptr;
        GTRSTATUS st = {};
        ASSERT_EQ(voz_XXopenTempEx(name, prefix, "t", dir.path().c_str(), &f,
                                   &st),
                  0)
            << c.prefix;
        voz_XXclose(f);
        std::string chars = std::string(prefix).substr(strlen(c.cut) + 1);
        EXPECT_TRUE(isRandomName(prefix, std::string(c.cut) + "!", 3, ""))
            << prefix;
        EXPECT_EQ(std::string(name),
                  dir / (std::string(c.cut) + "!" + chars + ".t"));
        EXPECT_EQ(readText(c.keeps), c.content) << c.prefix;
    }
}

TEST(TempFile, OtherFailuresReportErrno) {
    TempDir dir;
    FILE* fp = fopen((dir / "file").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    fclose(fp);
    char name[VOZ_FNAME_LEN];
    FILE_CONTROL* f = reinterpret_cast<FILE_CONTROL*>(1);
    GTRSTATUS st = {};
    EXPECT_EQ(voz_XXopenTempEx(name, nullptr, "t", (dir / "file").c_str(), &f,
                               &st),
              -1);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(st.retcode, VOZ_RC_OPEN);
    EXPECT_EQ(st.errcode, ENOTDIR);
    EXPECT_EQ(st.system_errno, ENOTDIR);
    EXPECT_EQ(std::string(st.errfname1).rfind(dir / "file/!", 0), 0u);
    EXPECT_STREQ(name, "");
}

TEST(TempDirectory, ReplacesTheLastFourCharactersOrAppends) {
    TempDir dir;
    struct Case {
        const char* base;
        const char* head;
    } cases[] = {
        {"indexname", "index!"},
        {"abcd", "abcd!"},
        {"ab", "ab!"},
    };
    for (const auto& c : cases) {
        char name[VOZ_FNAME_LEN];
        GTRSTATUS st = {};
        ASSERT_EQ(vozCreateTempDir(name, dir.path().c_str(), c.base, &st), 0);
        EXPECT_TRUE(isRandomName(name, c.head, 3, "")) << name;
        struct stat sb;
        ASSERT_EQ(stat((dir / name).c_str(), &sb), 0);
        EXPECT_TRUE(S_ISDIR(sb.st_mode));
    }
    // Under a plain file no directory can be made.
    FILE* fp = fopen((dir / "plain").c_str(), "wb");
    fclose(fp);
    char name[VOZ_FNAME_LEN];
    GTRSTATUS st = {};
    EXPECT_EQ(vozCreateTempDir(name, (dir / "plain").c_str(), "base", &st), -1);
    EXPECT_EQ(st.retcode, VOZ_RC_NO_TEMP_DIR);
    EXPECT_EQ(st.errcode, 2115);
    EXPECT_EQ(st.system_errno, ENOTDIR);
}
