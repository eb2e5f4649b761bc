// Opening an index for search: argument checks, which sets open, the
// key-information cache, release without close, and opens after a commit
// that a crash interrupted.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "build/voz_journal.hpp"
#include "files/voz_deldocs.hpp"
#include "search/voz_srchopen.hpp"
#include "search_fixture.hpp"

using namespace srchfix;

namespace {

SetSpec smallSet(uint32_t docs, const std::string& extra = "") {
    SetSpec s;
    for (uint32_t d = 0; d < docs; ++d) s.docs.push_back(d);
    s.keys.push_back({std::string("\0a\0b\0c", 6), {{0, {1, 5}}, {2, {3}}}});
    s.keys.push_back({std::string("\0d\0e\0f", 6), {{1, {2}}}});
    if (!extra.empty()) s.keys.push_back({extra, {{0, {9}}}});
    return s;
}

int openFds() {
    int n = 0;
    DIR* d = opendir("/proc/self/fd");
    while (d != nullptr && readdir(d) != nullptr) ++n;
    if (d != nullptr) closedir(d);
    return n;
}

struct OpenCase {
    const char* what;
    int nameLength;       // 0: "idx"; -1: empty
    int tempLength;       // 0: none
    bool indexExists;
    int32_t rc, ec;
};

TEST(SearchOpen, ChecksArgumentsAndReturnsTheHandle) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    ASSERT_OK(st);
    const OpenCase cases[] = {
        {"opens", 0, 0, true, 0, 0},
        {"missing index", 0, 0, false, 20, 264},
        {"empty name", -1, 0, true, 29, 1402},
        {"name of 2048", 2048, 0, true, 29, 1402},
        {"temporary directory of 2048", 0, 2048, true, 35, 1403},
        {"temporary directory of 2047", 0, 2047, true, 0, 0},
    };
    for (const OpenCase& c : cases) {
        std::string name = c.nameLength == 0 ? (c.indexExists ? "idx" : "nope")
                           : c.nameLength < 0 ? "" : std::string(c.nameLength, 'n');
        std::string temp(c.tempLength, 't');
        VOZSEARCH* h = nullptr;
        GTRSTATUS s{};
        GTRCREATEPARM p1{}, p2{};
        VOZ_SearchOpen_(&h, name.c_str(), dir.path().c_str(), "KPLQ", "MRNS",
                        "Full", "Item", c.tempLength ? temp.c_str() : nullptr,
                        &p1, &p2, VOZ_HALF_TEXT, &s, 0);
        EXPECT_EQ(s.retcode, c.rc) << c.what;
        EXPECT_EQ(s.errcode, c.ec) << c.what;
        EXPECT_NE(h, nullptr) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(h->openState, VOZ_OPEN_FIRST) << c.what;
            EXPECT_EQ(p1.fixedKeyUnits, 3) << c.what;
            EXPECT_EQ(p1.inputUnitWidth, 2) << c.what;
            EXPECT_EQ(p1.codeInfo[0], 7) << c.what;
        }
        VOZ_SearchClose_(h, &s, 0);
        VOZ_SearchRelease(&h, &s);
        EXPECT_EQ(h, nullptr);
    }
}

TEST(SearchOpen, OpensSuppOnlyWhereEveryRequestedHalfHasIt) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    ASSERT_OK(st);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    EXPECT_EQ(h->setOpen[0], 1);
    EXPECT_EQ(h->setOpen[1], 0) << "no supp set: only the main flag";
    VOZ_SearchClose_(h, &st, 0);
    // Item half with main and supp, text half with main only.
    writeSet(dir.path(), "idx", 0, 0, smallSet(2), st, "MRNS", "Item");
    writeSet(dir.path(), "idx", 1, 0, smallSet(5), st, "MRNS", "Item");
    ASSERT_OK(st);
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, "idx", dir.path().c_str(), "KPLQ", "MRNS", "Full",
                    "Item", nullptr, &p1, &p2, VOZ_HALF_TEXT | VOZ_HALF_ITEM,
                    &st, 0);
    ASSERT_OK(st);
    EXPECT_EQ(h->openState, VOZ_OPEN_FIRST | VOZ_OPEN_SECOND);
    EXPECT_EQ(h->setOpen[1], 0) << "supp only in the item half";
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchOpen_(&h, "idx", dir.path().c_str(), "KPLQ", "MRNS", "Full",
                    "Item", nullptr, &p1, &p2, VOZ_HALF_ITEM, &st, 0);
    ASSERT_OK(st);
    EXPECT_EQ(h->setOpen[1], 1) << "the item half alone has supp";
    EXPECT_EQ(h->second.set0[1].info.docCount, 5u);
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}

TEST(SearchOpen, OpensTheXIndexOnlyForUnacceptedVariableKeys) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    struct { uint32_t var, filtered; bool xOpen; } cases[] = {
        {0, 0, false}, {4, 4, false}, {5, 4, true}};
    for (auto c : cases) {
        SetSpec s = smallSet(2);
        s.varKeys = c.var;
        s.filteredVarKeys = c.filtered;
        s.keyIndex = false;  // the table would lie behind the counted keys
        writeSet(dir.path(), "idx", 0, 0, s, st);
        writeSet(dir.path(), "idx", 0, 1, smallSet(0), st);
        ASSERT_OK(st);
        VOZSEARCH* h = openText(dir.path(), "idx", st);
        ASSERT_OK(st);
        EXPECT_EQ(h->first.set1[0].fctl.keyFile != nullptr, c.xOpen)
            << c.var << " > " << c.filtered;
        VOZ_SearchClose_(h, &st, 0);
        VOZ_SearchRelease(&h, &st);
    }
}

TEST(SearchOpen, ReusesTheCachedKeyIndexOfAnUnchangedIndex) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    ASSERT_OK(st);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    const IDXINFO& v = h->first.set0[0];
    ASSERT_GT(v.info.keyIndexEntries, 0u);
    std::vector<KEYIDX_ENTRY> before(v.keyIndex, v.keyIndex + v.info.keyIndexEntries);
    VOZ_SearchClose_(h, &st, 0);
    // Damage the table on disk, the header unchanged: a reopen that read
    // the table again would see the damage.
    std::string key = dir.path() + "/idx/Fullmain/voz.KEY";
    std::string part = pathExists(key + "/0000") ? key + "/0000" : key;
    FILE* f = fopen(part.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    fseek(f, -16, SEEK_END);
    uint8_t junk[16];
    memset(junk, 0xEE, sizeof junk);
    fwrite(junk, 1, sizeof junk, f);
    fclose(f);
    openText(dir.path(), "idx", st, nullptr, h);
    ASSERT_OK(st);
    const IDXINFO& w = h->first.set0[0];
    ASSERT_EQ(w.info.keyIndexEntries, before.size());
    EXPECT_EQ(memcmp(w.keyIndex, before.data(), before.size() * 16), 0)
        << "the unchanged index reopens with the cached block";
    VOZ_SearchClose_(h, &st, 0);
    // A rebuilt index (one more key, another first unit) is read anew.
    writeSet(dir.path(), "idx", 0, 0, smallSet(3, std::string("\0z\0z\0z", 6)), st);
    ASSERT_OK(st);
    openText(dir.path(), "idx", st, nullptr, h);
    ASSERT_OK(st);
    EXPECT_EQ(h->first.set0[0].info.keyIndexEntries, before.size() + 1);
    EXPECT_EQ(h->first.set0[0].keyIndex[before.size()].unit[1], 'z');
    VOZ_SearchClose_(h, &st, 0);
    VOZ_SearchRelease(&h, &st);
}

TEST(SearchOpen, ReleaseWithoutCloseClosesTheFiles) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    writeSet(dir.path(), "idx", 1, 0, smallSet(4), st);
    ASSERT_OK(st);
    int before = openFds();
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    int once = openFds();
    EXPECT_GT(once, before);
    openText(dir.path(), "idx", st, nullptr, h);  // reopened without a close
    ASSERT_OK(st);
    EXPECT_EQ(openFds(), once);
    VOZ_SearchRelease(&h, &st);
    EXPECT_EQ(openFds(), before);
    EXPECT_EQ(h, nullptr);
}

TEST(SearchOpen, LoadsTheDeletedDocumentList) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    ASSERT_OK(st);
    _FCTLHEAD main = setOf(dir.path(), "idx", 0, 0);
    char name[VOZ_FNAME_LEN];
    voz_IDXgetFname(name, &main, VOZ_FT_DELETED);
    mkTreeDir(std::string(name).substr(0, std::string(name).rfind('/')).c_str());
    CVozDeletedDocs del;
    uint32_t gone[] = {2, 1};
    del.RegisterDeletedDocs(gone, 2);
    del.Externalize(name);
    VOZSEARCH* h = openText(dir.path(), "idx", st);
    ASSERT_OK(st);
    CVozDeletedDocs* list = h->first.set0[0].fctl.deletedDocs;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(vozGetNumDeletedDocs(list), 2u);
    EXPECT_EQ(vozGetDeletedDocs(list)[0], 1u);
    VOZ_SearchClose_(h, &st, 0);
    EXPECT_EQ(h->first.set0[0].fctl.deletedDocs, nullptr);
    VOZ_SearchRelease(&h, &st);
}

TEST(SearchOpen, KeyOnlyOpensKeyFiles) {
    TempDir dir("srchopen");
    GTRSTATUS st{};
    writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
    ASSERT_OK(st);
    VOZSEARCH* h = nullptr;
    GTRCREATEPARM p1{}, p2{};
    VOZ_SearchOpen_(&h, "idx", dir.path().c_str(), "KPLQ", "MRNS", "Full",
                    "Item", nullptr, &p1, &p2, VOZ_HALF_TEXT, &st, 1);
    ASSERT_OK(st);
    EXPECT_NE(h->first.set0[0].fctl.keyFile, nullptr);
    EXPECT_EQ(h->first.set0[0].fctl.posBroker, nullptr);
    VOZ_SearchClose_(h, &st, 1);
    EXPECT_EQ(h->first.set0[0].fctl.keyFile, nullptr);
    VOZ_SearchRelease(&h, &st);
}

// A child commits a new main half through the journal and is killed before
// operation `killAt`; the index then opens as the old or the new one.
TEST(SearchOpen, OpensTheOldOrTheNewIndexAfterACrashedCommit) {
    int killAt = 0;
    for (bool finished = false; !finished && killAt < 64; ++killAt) {
        TempDir dir("srchcrash");
        GTRSTATUS st{};
        writeSet(dir.path(), "idx", 0, 0, smallSet(3), st);
        writeSet(dir.path(), "idx", 2, 0, smallSet(7), st);  // "#main"
        ASSERT_OK(st);
        static int s_count, s_killAt;
        s_count = 0;
        s_killAt = killAt;
        pid_t pid = fork();
        if (pid == 0) {
            voz_JnlSetTestHook([](const char*, const char*) {
                if (s_count++ == s_killAt) raise(SIGKILL);
                return 0;
            });
            VOZJOURNAL j;
            GTRSTATUS cs{};
            _FCTLHEAD any = setOf(dir.path(), "idx", 0, 0);
            voz_JnlBegin(&j, &any, &cs);
            voz_JnlAdd(&j, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, "Full", &cs);
            voz_JnlCommit(&j, &cs);
            _exit(cs.retcode == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        finished = WIFEXITED(status);
        if (finished) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
        VOZSEARCH* h = openText(dir.path(), "idx", st);
        ASSERT_OK(st) << "killed before operation " << killAt;
        uint32_t docs = h->first.set0[0].info.docCount;
        EXPECT_TRUE(docs == 3 || docs == 7) << docs << " at " << killAt;
        if (finished) {
            EXPECT_EQ(docs, 7u);
        }
        EXPECT_FALSE(voz_JnlMarkExists(&h->first.set0[0].fctl));
        VOZ_SearchClose_(h, &st, 0);
        VOZ_SearchRelease(&h, &st);
    }
    EXPECT_GT(killAt, 2) << "the commit ran through several operations";
}

}  // namespace
