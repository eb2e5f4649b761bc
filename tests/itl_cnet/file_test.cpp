// Tests of the dictionary's file layer: records against hand-made hex
// fixtures, in-place and moved rewrites, head checks, damaged records,
// names of file sets, existence, status names, output gating and renames.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "cnet_file.hpp"
#include "cnet_test_util.hpp"
#include "ti_test_util.hpp"

namespace {

// A small dictionary, by hand: two words ("car", "auto") that are
// synonyms of each other and members of one synonym group.
const char* const kHead =
    "434e4554 00000100 00000002 00000001 00000000 00000000"
    "00000001 00000001 00000002 00000000 22"
    "000000000000000000000000000000000000000000000000000000000000000000000000000000";
const char* const kWordSlots =
    "00000000 00000003 00000001 00000001 00 000000"   // car: 16 bytes at 0
    "00000010 00000004 00000001 00000001 00 000000";  // auto: 16 bytes at 16
const char* const kWordValues =
    "63617200 00000000 00000001 03 01 32 00"   // "car", group 0, -> 1 (3,1) 50
    "6175746f 00000000 00000000 03 01 64 00";  // "auto", group 0, -> 0 (3,1) 100
const char* const kGroupSlots = "00000000 00000010 00000002 00000000 03 01 00 00";
const char* const kGroupValues =
    "00000000 64 00 ff 00"   // car, 100, member
    "00000001 32 00 ff 00";  // auto, 50, member

struct Fixture {
    TempDir dir{"cnet_file"};
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETSTATUS st{};
    ~Fixture() {
        cnetFreeCNETCTL(ctl);
        std::free(ctl);
    }
    std::string file(const char* ext) { return dir.file(std::string("th.") + ext); }
    void writeSet(const std::string& head, const std::string& slots,
                  const std::string& values, const std::string& gslots,
                  const std::string& gvalues) {
        ASSERT_TRUE(writeFile(file("wdf"), unhex(head) + unhex(slots)));
        ASSERT_TRUE(writeFile(file("wdv"), unhex(values)));
        ASSERT_TRUE(writeFile(file("grf"), unhex(gslots)));
        ASSERT_TRUE(writeFile(file("grv"), unhex(gvalues)));
    }
    void writeGood() { writeSet(kHead, kWordSlots, kWordValues, kGroupSlots, kGroupValues); }
    bool open(const char* mode = "rb") {
        cnetFreeCNETCTL(ctl);  // a reopen starts from a fresh control
        return cnetSetCNETCTL(ctl, dir.path().c_str(), "th", 0, &st) &&
               cnetOpen(ctl, mode, &st);
    }
};

std::string text(const CNETWORD& w) {
    return std::string(reinterpret_cast<const char*>(w.text), w.textLen);
}

TEST(CnetRecords, WriteEqualsHexFixtureAndReadsBack) {
    Fixture fx;
    ASSERT_TRUE(fx.open("w+b")) << fx.st.retcode;
    CNETHEAD head{0, 2, 1, 0, 0, 1, 1, 2, 0, 34};
    ASSERT_TRUE(cnetWriteHead(fx.ctl, &head, &fx.st));
    uint32_t group0 = 0;
    CNETRELENTRY toAuto{1, {3, 1}, 50}, toCar{0, {3, 1}, 100};
    CNETWORD car{false, reinterpret_cast<const uint8_t*>("car"), 3, &group0, 1, &toAuto, 1};
    CNETWORD autoWord{false, reinterpret_cast<const uint8_t*>("auto"), 4, &group0, 1, &toCar, 1};
    ASSERT_TRUE(cnetWriteWord(fx.ctl, -1, &car, &fx.st));
    ASSERT_TRUE(cnetWriteWord(fx.ctl, -1, &autoWord, &fx.st));
    CNETGRPENTRY members[] = {{0, 100, {255, 0}}, {1, 50, {255, 0}}};
    CNETGROUP group{false, {3, 1}, members, 2, 0};
    ASSERT_TRUE(cnetWriteGroup(fx.ctl, -1, &group, &fx.st));
    ASSERT_TRUE(cnetClose(fx.ctl, &fx.st));

    EXPECT_EQ(hex(readFile(fx.file("wdf"))), hex(unhex(kHead) + unhex(kWordSlots)));
    EXPECT_EQ(hex(readFile(fx.file("wdv"))), hex(unhex(kWordValues)));
    EXPECT_EQ(hex(readFile(fx.file("grf"))), hex(unhex(kGroupSlots)));
    EXPECT_EQ(hex(readFile(fx.file("grv"))), hex(unhex(kGroupValues)));

    ASSERT_TRUE(fx.open());
    CNETHEAD back;
    ASSERT_TRUE(cnetReadHead(fx.ctl, &back, &fx.st));
    EXPECT_EQ(back.version, 0x100u);
    EXPECT_EQ(back.wordCount, 2u);
    EXPECT_EQ(back.maxGroupMembers, 2u);
    EXPECT_EQ(back.codepage, 34);
    CNETWORD w;
    ASSERT_TRUE(cnetReadWord(fx.ctl, 1, &w, &fx.st));
    EXPECT_EQ(text(w), "auto");
    ASSERT_EQ(w.groupCount, 1u);
    EXPECT_EQ(w.groups[0], 0u);
    ASSERT_EQ(w.relCount, 1u);
    EXPECT_EQ(w.rels[0].target, 0u);
    EXPECT_EQ(w.rels[0].rel.category, 3);
    EXPECT_EQ(w.rels[0].strength, 100);
    ASSERT_TRUE(cnetReadWord(fx.ctl, 0, &w, &fx.st));
    EXPECT_EQ(text(w), "car");
    EXPECT_EQ(w.rels[0].strength, 50);
    ASSERT_TRUE(cnetReadWord(fx.ctl, -1, &w, &fx.st));  // the next one: auto
    EXPECT_EQ(text(w), "auto");
    CNETGROUP g;
    ASSERT_TRUE(cnetReadGroup(fx.ctl, 0, &g, &fx.st));
    EXPECT_EQ(g.rel.category, 3);
    EXPECT_EQ(g.rel.id, 1);
    ASSERT_EQ(g.memberCount, 2u);
    EXPECT_EQ(g.entries[1].wordId, 1u);
    EXPECT_EQ(g.entries[1].strength, 50);
    EXPECT_EQ(g.entries[1].rel.category, 255);
    EXPECT_EQ(fx.st.retcode, 0u);
}

TEST(CnetRecords, ShrinkingWordStaysGrowingWordMovesToOldEnd) {
    Fixture fx;
    fx.writeGood();
    ASSERT_TRUE(fx.open("r+b"));
    CNETHEAD head;
    ASSERT_TRUE(cnetReadHead(fx.ctl, &head, &fx.st));
    CNETWORD shorter{false, reinterpret_cast<const uint8_t*>("ca"), 2, nullptr, 0,
                     nullptr, 0};
    ASSERT_TRUE(cnetWriteWord(fx.ctl, 0, &shorter, &fx.st));
    uint32_t group0 = 0;
    CNETRELENTRY toCar{0, {3, 1}, 100};
    CNETWORD longer{false, reinterpret_cast<const uint8_t*>("automobile"), 10,
                    &group0, 1, &toCar, 1};
    ASSERT_TRUE(cnetWriteWord(fx.ctl, 1, &longer, &fx.st));
    ASSERT_TRUE(cnetClose(fx.ctl, &fx.st));
    std::string slots = readFile(fx.file("wdf")).substr(80);
    EXPECT_EQ(hex(slots), hex(unhex("00000000 00000002 00000000 00000000 00 000000"
                                    "00000020 0000000a 00000001 00000001 00 000000")));
    EXPECT_EQ(hex(readFile(fx.file("wdv"))),
              hex(unhex("63610000 00000000 00000001 03 01 32 00"  // in place, old tail kept
                        "6175746f 00000000 00000000 03 01 64 00"
                        "6175746f 6d6f6269 6c650000 00000000 00000000 03 01 64 00")));
    ASSERT_TRUE(fx.open());
    ASSERT_TRUE(cnetReadHead(fx.ctl, &head, &fx.st));
    CNETWORD w;
    ASSERT_TRUE(cnetReadWord(fx.ctl, 1, &w, &fx.st));
    EXPECT_EQ(text(w), "automobile");
}

TEST(CnetRecords, HeadVersionAndMagic) {
    struct Case {
        const char* what;
        std::string magicVersion;
        uint32_t rc;
    } cases[] = {
        {"version 0x100", "434e4554 00000100", 0},
        {"version 0", "434e4554 00000000", 0},
        {"version 0x200", "434e4554 00000200", 542},
        {"magic CNEX", "434e4558 00000100", 541},
    };
    for (const Case& c : cases) {
        Fixture fx;
        std::string head = c.magicVersion + std::string(kHead).substr(17);
        fx.writeSet(head, kWordSlots, kWordValues, kGroupSlots, kGroupValues);
        ASSERT_TRUE(fx.open());
        CNETHEAD h;
        cnetReadHead(fx.ctl, &h, &fx.st);
        EXPECT_EQ(fx.st.retcode, c.rc) << c.what;
        if (c.rc != 0) {
            EXPECT_STREQ(fx.st.fname1, fx.file("wdf").c_str()) << c.what;
        }
    }
}

TEST(CnetRecords, DeletedWordAndGroupAnswerDeletedWithoutValueFile) {
    Fixture fx;
    std::string slots =
        "00000000 00000003 00000001 00000001 80 000000"   // car, deleted
        "00000010 00000004 00000001 00000001 00 000000";
    fx.writeSet(kHead, slots, "", "00000000 00000010 00000002 00000000 03 01 80 00", "");
    ASSERT_TRUE(fx.open());
    CNETHEAD h;
    ASSERT_TRUE(cnetReadHead(fx.ctl, &h, &fx.st));
    CNETWORD w;
    ASSERT_TRUE(cnetReadWord(fx.ctl, 0, &w, &fx.st));
    EXPECT_TRUE(w.deleted);
    CNETGROUP g;
    ASSERT_TRUE(cnetReadGroup(fx.ctl, 0, &g, &fx.st));
    EXPECT_TRUE(g.deleted);
    EXPECT_FALSE(cnetReadWord(fx.ctl, 1, &w, &fx.st));  // live, value file empty
    EXPECT_EQ(fx.st.retcode, 519u);
}

// Each damage of the fixture gives its retcode on reading, before any
// buffer is sized from the damaged field.
TEST(CnetRecords, DamagedRecordsGiveRetcodesNotCrashes) {
    struct Case {
        const char* what;
        const char* field;  // text of the fixture to replace
        const char* with;
        int which;          // 0 head, 1 word slots, 2 word values, 3 group slots, 4 group values
        bool group;         // read group 0 (else word 0)
        uint32_t rc;
    } cases[] = {
        {"value offset past the end", "00000000 00000003", "00001000 00000003", 1, false, 519},
        {"text length 0x7FFFFFF0", "00000000 00000003", "00000000 7ffffff0", 1, false, 519},
        {"group count above the head's maximum",
         "00000003 00000001 00000001", "00000003 00000001 00000002", 1, false, 541},
        {"relation count above the head's maximum",
         "00000003 00000001 00000001", "00000003 00000002 00000001", 1, false, 541},
        {"relation target equal to the word count", "00000001 03 01 32", "00000002 03 01 32",
         2, false, 541},
        {"group id equal to the group count", "63617200 00000000", "63617200 00000001", 2,
         false, 541},
        {"head word count beyond the slot file", "00000002 00000001", "00000003 00000001",
         0, false, 519},
        {"member count above the head's maximum", "00000010 00000002", "00000010 00000003",
         3, true, 541},
        {"group length not its entries", "00000010 00000002", "00000018 00000002", 3, true,
         541},
        {"group value offset past the end", "00000000 00000010", "00000009 00000010", 3,
         true, 519},
        {"member id equal to the word count", "00000001 32", "00000002 32", 4, true, 541},
    };
    for (const Case& c : cases) {
        std::string parts[5] = {kHead, kWordSlots, kWordValues, kGroupSlots, kGroupValues};
        size_t at = parts[c.which].find(c.field);
        ASSERT_NE(at, std::string::npos) << c.what;
        parts[c.which].replace(at, std::strlen(c.field), c.with);
        Fixture fx;
        fx.writeSet(parts[0], parts[1], parts[2], parts[3], parts[4]);
        ASSERT_TRUE(fx.open());
        CNETHEAD h;
        if (cnetReadHead(fx.ctl, &h, &fx.st)) {
            if (c.group) {
                CNETGROUP g;
                EXPECT_FALSE(cnetReadGroup(fx.ctl, 0, &g, &fx.st)) << c.what;
            } else {
                CNETWORD w;
                EXPECT_FALSE(cnetReadWord(fx.ctl, 0, &w, &fx.st)) << c.what;
            }
        }
        EXPECT_EQ(fx.st.retcode, c.rc) << c.what;
        EXPECT_LE(fx.ctl->rawCap, 4096u) << c.what;  // no buffer sized from damage
    }
}

TEST(CnetNames, RootDirectoryAndTwoDirectories) {
    CNETCTL* ctl = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETSTATUS st{};
    ASSERT_TRUE(cnetSetCNETCTL(ctl, "/", "th", 0, &st));
    EXPECT_STREQ(ctl->f[0].name, "/th.wdf");
    EXPECT_STREQ(ctl->f[3].name, "/th.grv");
    ASSERT_TRUE(cnetSetCNETCTL(ctl, "/", "th", 1, &st));
    EXPECT_STREQ(ctl->f[1].name, "/th.w1v");

    TempDir dir("cnet_names");
    ASSERT_EQ(mkdir(dir.file("a").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("b").c_str(), 0755), 0);
    ASSERT_TRUE(writeFile(dir.file("b/th.wdv"), ""));
    std::string spec = dir.file("a") + "\t" + dir.file("b");
    ASSERT_TRUE(cnetSetCNETCTL(ctl, spec.c_str(), "th", 0, &st));
    EXPECT_EQ(ctl->f[0].name, dir.file("a/th.wdf"));
    EXPECT_EQ(ctl->f[1].name, dir.file("b/th.wdv"));
    EXPECT_EQ(ctl->f[2].name, dir.file("a/th.grf"));
    EXPECT_EQ(st.retcode, 0u);
    std::free(ctl);
}

TEST(CnetNames, LengthsAndEmptiesGive502) {
    std::string n2047(2047, 'n'), n2048(2048, 'n');
    struct Case {
        std::string dirspec, name;
        uint32_t rc;
    } cases[] = {
        {"/tmp", n2047, 0},
        {"/tmp", n2048, 502},
        {"/" + n2047.substr(1), "th", 0},
        {"/" + n2048.substr(1), "th", 502},
        {"/tmp\t/" + n2048.substr(1), "th", 502},
        {"", "th", 502},
        {"/tmp", "", 502},
    };
    for (const Case& c : cases) {
        CNETDIRS dirs;
        CNETSTATUS st{};
        cnetSplitDirs(c.dirspec.c_str(), c.name.c_str(), &dirs, &st);
        EXPECT_EQ(st.retcode, c.rc) << c.dirspec.size() << " " << c.name.size();
    }
}

TEST(CnetNames, ExistenceOfTheLiveSet) {
    TempDir dir("cnet_exist");
    CNETSTATUS st{};
    bool exists = true;
    EXPECT_TRUE(cnetExist(dir.path().c_str(), "th", &exists, nullptr, &st));
    EXPECT_FALSE(exists);
    EXPECT_EQ(st.retcode, 0u);
    for (const char* ext : {"wdf", "wdv", "grf"})
        ASSERT_TRUE(writeFile(dir.file(std::string("th.") + ext), ""));
    EXPECT_FALSE(cnetExist(dir.path().c_str(), "th", &exists, nullptr, &st));
    EXPECT_EQ(st.retcode, 541u);
    EXPECT_EQ(st.fname1, dir.file("th.grv"));

    Fixture fx;
    fx.writeGood();
    st = {};
    uint8_t cp = 0;
    EXPECT_TRUE(cnetExist(fx.dir.path().c_str(), "th", &exists, &cp, &st));
    EXPECT_TRUE(exists);
    EXPECT_EQ(cp, 34);
}

TEST(CnetStatus, LongPathsKeepTheirTail) {
    char field[VOZ_CNET_NAME_LEN];
    std::string tail20 = "/" + std::string(19, 'b');
    std::string path = "/x" + std::string(578, 'a') + tail20;  // 600 bytes
    ASSERT_EQ(path.size(), 600u);
    cnetStatusName(field, path.c_str());
    EXPECT_EQ(std::string(field), "..." + tail20);

    std::string noSlash = "/d/" + std::string(597, 'c');
    cnetStatusName(field, noSlash.c_str());
    EXPECT_EQ(std::string(field), "..." + std::string(507, 'c'));

    std::string fits(511, 'e');
    cnetStatusName(field, fits.c_str());
    EXPECT_EQ(std::string(field), fits);
}

TEST(CnetOutput, ProgressStepsAndWarningsFollowTheOptionBits) {
    struct Case {
        bool null;
        uint16_t flags;
        bool progress, warnings;
    } cases[] = {
        {true, 0, true, true},
        {false, 0, false, false},
        {false, CNET_EXEC_PROGRESS, true, false},
        {false, CNET_EXEC_WARNINGS, false, true},
        {false, CNET_EXEC_PROGRESS | CNET_EXEC_WARNINGS, true, true},
    };
    for (const Case& c : cases) {
        CNETEXEC opts{};
        opts.flags = c.flags;
        const CNETEXEC* o = c.null ? nullptr : &opts;
        Captured got = capture([&] {
            cnetProgress(o, 1, 2);
            cnetProgress(o, 5, 0);  // no total: nothing
            cnetTimef(o, "Step1 start...\n");
            cnetWarnf(o, nullptr, "careful\n");
        });
        std::string out = got.out;
        if (c.progress) {
            ASSERT_EQ(out.substr(0, 14), "          50%\r");
            out = out.substr(14);
            // "Fri Dec 11 06:07:21 2026: Step1 start...\n"
            EXPECT_TRUE(std::regex_match(
                out, std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} "
                                "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: "
                                "Step1 start\\.\\.\\.\n")))
                << out;
        } else {
            EXPECT_EQ(out, "");
        }
        EXPECT_EQ(got.err, c.warnings ? "careful\n" : "");
    }
    CNETEXEC named{};
    named.flags = CNET_EXEC_WARNINGS;
    named.program = "thestool";
    Captured got = capture([&] {
        cnetWarnf(&named, nullptr, "a\n");
        cnetWarnf(&named, "defs.txt", "b\n");
    });
    EXPECT_EQ(got.err, "thestool: a\ndefs.txt: b\n");
}

struct RenameSets {
    TempDir dir{"cnet_rename", systemTempDir()};
    CNETCTL* from = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETCTL* to = static_cast<CNETCTL*>(std::calloc(1, sizeof(CNETCTL)));
    CNETSTATUS st{};
    RenameSets() {
        chmod(dir.path().c_str(), 0755);
        cnetSetCNETCTL(from, dir.path().c_str(), "th", 1, &st);
        cnetSetCNETCTL(to, dir.path().c_str(), "th", 0, &st);
        for (int i = 0; i < 4; ++i) writeFile(from->f[i].name, cnet_ext[1][i]);
    }
    ~RenameSets() {
        std::free(from);
        std::free(to);
    }
};

TEST(CnetRename, BusyIsRetriedWithNumberedWarnings) {
    RenameSets sets;
    ScopedHooks hooks;
    hooks.refuse["rename"] = {EBUSY, 2};
    Captured got = capture([&] {
        EXPECT_TRUE(cnetRename(sets.from, sets.to, nullptr, &sets.st));
    });
    std::string a = sets.from->f[0].name, b = sets.to->f[0].name;
    EXPECT_EQ(got.err, "\n VOZ Warning!! renaming " + a + " to " + b + " ... (1)" +
                           "\n VOZ Warning!! renaming " + a + " to " + b + " ... (2)");
    EXPECT_EQ(hooks.sleeps, 2);
    EXPECT_EQ(sets.st.retcode, 0u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(readFile(sets.to->f[i].name), cnet_ext[1][i]);
}

TEST(CnetRename, PermissionRefusalsFailAtOnce) {
    {
        RenameSets sets;
        ScopedHooks hooks;
        hooks.refuse["rename"] = {EPERM, -1};
        Captured got = capture([&] {
            EXPECT_FALSE(cnetRename(sets.from, sets.to, nullptr, &sets.st));
        });
        EXPECT_EQ(sets.st.retcode, 516u);
        EXPECT_STREQ(sets.st.fname1, sets.from->f[0].name);
        EXPECT_STREQ(sets.st.fname2, sets.to->f[0].name);
        EXPECT_EQ(hooks.sleeps, 0);
        EXPECT_EQ(got.err, "");
    }
    // A real EACCES: the directory is not writable by the child's user
    // (root is never refused, so a root test lowers its user first).
    RenameSets sets;
    int rc = runChild([&] {
        if (getuid() == 0) {
            struct passwd* nobody = getpwnam("nobody");
            uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
            if (setgid(uid) != 0 || setuid(uid) != 0) return 10;
        } else if (chmod(sets.dir.path().c_str(), 0555) != 0) {
            return 11;
        }
        ScopedHooks hooks;
        Captured got = capture([&] { cnetRename(sets.from, sets.to, nullptr, &sets.st); });
        if (sets.st.retcode != 516) return 1;
        if (hooks.sleeps != 0 || !got.err.empty()) return 2;
        if (std::string(sets.st.fname2) != sets.to->f[0].name) return 3;
        return 0;
    });
    chmod(sets.dir.path().c_str(), 0755);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(sets.from->f[0].name), "w1f");  // nothing moved
}

TEST(CnetDelete, AbsentFilesAreNoFailureRefusalIs515) {
    RenameSets sets;
    ASSERT_TRUE(cnetDelete(sets.from, &sets.st));
    EXPECT_FALSE(exists(sets.from->f[2].name));
    ASSERT_TRUE(cnetDelete(sets.from, &sets.st));  // again: nothing there
    ScopedHooks hooks;
    hooks.refuse["delete"] = {EIO, 1};
    EXPECT_FALSE(cnetDelete(sets.from, &sets.st));
    EXPECT_EQ(sets.st.retcode, 515u);
    EXPECT_STREQ(sets.st.fname1, sets.from->f[0].name);
}

TEST(CnetCopy, CopiesEverySetFile) {
    RenameSets sets;
    ASSERT_TRUE(cnetCopy(sets.from, sets.to, &sets.st));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(readFile(sets.to->f[i].name), cnet_ext[1][i]);
}

}  // namespace
