// A new index replacing an old one, its writer killed (SIGKILL) before each
// file operation of its switch (counted through the commit's test hook)
// and at random moments of the cycle: the index then reads back as exactly
// the old or the new content, and the next cycle, new or added to, leaves
// no "!" directory behind.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include "build/createend_fixture.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "gtrcreate_fixture.hpp"
#include "gtrquery_fixture.hpp"

namespace {

namespace fs = std::filesystem;

// One cycle of `operation` ('N' new index, 'A' added to) on "idx" with
// `docs` documents of `word`, numbered after the index's last.
void cycle(const std::string& out, const std::string& work,
           const std::string& word, int docs, GTRSTATUS* st,
           char operation = 'N') {
    GTRHCREATEPARM p = gtrfix::HParm();
    GTRSYSPARM sys = gtrfix::SysParm(1 << 16, 1 << 14);
    int32_t maxDoc = 0;
    void* h = nullptr;
    GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), operation, 'B',
                       &p, &sys, &maxDoc, st);
    for (int d = maxDoc + 1; d <= maxDoc + docs && st->retcode == 0; ++d) {
        const std::string text = word + " " + word + "s and more " + word;
        int32_t start = 0;
        GTRcreateIndexOneDoc(h, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<int32_t>(text.size()), d, &start,
                             nullptr, st);
    }
    if (st->retcode != 0) return;
    GTRcreateIndexLast(h, st);
    if (st->retcode != 0) return;
    GTRcreateIndexTerm(h, 'G', st);
}

// The key texts of the index's text sub-index.
std::set<std::string> keysOf(const std::string& out) {
    GTRSTATUS st{};
    endfix::Half half = endfix::ReadHalf(out, VOZ_HALF_MAIN, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode << " " << st.errfname1;
    std::set<std::string> keys;
    for (const auto& [k, d] : half.lists) keys.insert(k);
    return keys;
}

// The "!" directories of `out`, with their entries.
std::string temps(const std::string& out) {
    std::string t;
    for (const auto& e : fs::directory_iterator(out)) {
        if (e.path().filename().string().find('!') == std::string::npos)
            continue;
        t += e.path().filename().string() + ":";
        for (const auto& f : fs::directory_iterator(e.path()))
            t += " " + f.path().filename().string();
        t += ";";
    }
    return t;
}

// Hook state: the file operation running and the one to die before.
int gOp = 0;
int gKillAt = 0;

int countingHook(const char*, const char*) {
    if (++gOp == gKillAt) kill(getpid(), SIGKILL);
    return 0;
}

// Clears what a killed cycle left (an added-to cycle without documents)
// and checks that it touched nothing else.
void clearLeftovers(const std::string& out, const std::string& work) {
    const std::set<std::string> keys = keysOf(out);
    GTRSTATUS cs{};
    cycle(out, work, "", 0, &cs, 'A');
    ASSERT_EQ(cs.retcode, 0) << cs.errcode;
    EXPECT_EQ(temps(out), "");
    EXPECT_EQ(keysOf(out), keys);
}

}  // namespace

TEST(GtrCreateCrash, KilledBeforeEveryFileOperationIsOldOrNew) {
    gtrfix::Env env;  // out and work, the current directory in a fresh one
    const std::string& out = env.out;
    const std::string& work = env.work;
    GTRSTATUS st{};
    cycle(out, work, "melon", 20, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::set<std::string> newKeys = keysOf(out);
    cycle(out, work, "apple", 20, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::set<std::string> oldKeys = keysOf(out);
    ASSERT_NE(oldKeys, newKeys);
    // Count the file operations of one replacing cycle, then restore.
    gOp = 0;
    gKillAt = 0;
    vozSetCommitTestHook(countingHook);
    cycle(out, work, "melon", 20, &st);
    vozSetCommitTestHook(nullptr);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const int operations = gOp;
    ASSERT_GT(operations, 3);
    cycle(out, work, "apple", 20, &st);
    ASSERT_EQ(st.retcode, 0);
    int sawOld = 0, sawNew = 0;
    for (int k = 1; k <= operations; ++k) {
        SCOPED_TRACE("killed before file operation " + std::to_string(k));
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            gOp = 0;
            gKillAt = k;
            vozSetCommitTestHook(countingHook);
            GTRSTATUS cs{};
            cycle(out, work, "melon", 20, &cs);
            _exit(3);  // the operation was never reached
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended without dying";
        const std::set<std::string> after = keysOf(out);
        ASSERT_TRUE(after == oldKeys || after == newKeys);
        (after == oldKeys ? sawOld : sawNew)++;
        clearLeftovers(out, work);
        if (after == newKeys) {
            cycle(out, work, "apple", 20, &st);
            ASSERT_EQ(st.retcode, 0);
        }
    }
    std::printf("%d kills: %d kept the old index, %d found the new\n",
                operations, sawOld, sawNew);
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST(GtrCreateCrash, ReplacedIndexIsOldOrNew) {
    gtrfix::Env env;  // out and work, the current directory in a fresh one
    const std::string& out = env.out;
    const std::string& work = env.work;
    GTRSTATUS st{};
    cycle(out, work, "apple", 50, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::set<std::string> oldKeys = keysOf(out);
    // How long a replacing cycle takes, to spread the kills over it.
    const auto t0 = std::chrono::steady_clock::now();
    cycle(out, work, "melon", 400, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - t0)
                          .count();
    const std::set<std::string> newKeys = keysOf(out);
    ASSERT_NE(oldKeys, newKeys);
    cycle(out, work, "apple", 50, &st);   // back to the old content
    ASSERT_EQ(st.retcode, 0);
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " +
                     std::to_string(round));
        const std::set<std::string> before = keysOf(out);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            GTRSTATUS cs{};
            cycle(out, work, round % 2 == 0 ? "melon" : "apple",
                  round % 2 == 0 ? 400 : 50, &cs);
            _exit(cs.retcode == 0 ? 0 : 1);
        }
        usleep(static_cast<useconds_t>(took / 2 + rng() % (took + 1)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        const std::set<std::string> after = keysOf(out);
        EXPECT_TRUE(after == oldKeys || after == newKeys);
        (after == before ? sawOld : sawNew)++;
        // The next cycle, also one that adds to the index, clears what the
        // killed one left.
        if (round % 2 == 0) {
            clearLeftovers(out, work);
        } else {
            GTRSTATUS cs{};
            void* h = nullptr;
            int32_t maxDoc = 0;
            GTRcreateIndexInit(&h, "idx", out.c_str(), work.c_str(), 'N', 'B',
                               nullptr, nullptr, &maxDoc, &cs);
            ASSERT_EQ(cs.retcode, 0);
            GTRcreateIndexTerm(h, 'C', &cs);
            EXPECT_EQ(temps(out), "");
            EXPECT_EQ(keysOf(out), after);
        }
    }
    std::printf("seed %u: %d kept, %d switched\n", seed, sawOld, sawNew);
}

// A start killed while it marks its build (before the owner file's rename)
// leaves a "!" directory with only the unfinished mark; the next cycle of
// the index clears it. (A kill in the middle of the owner file's write once
// left a directory no cycle would remove.)
TEST(GtrCreateCrash, StartKilledWhileMarkingItsBuildIsCleared) {
    gtrfix::Env env;  // out and work, the current directory in a fresh one
    const std::string& out = env.out;
    const std::string& work = env.work;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        vozSetCommitTestHook([](const char* op, const char* path) {
            const std::string p = path;
            if (strcmp(op, "rename") == 0 && p.size() > 8 &&
                p.compare(p.size() - 8, 8, "/voz.OWN") == 0)
                kill(getpid(), SIGKILL);
            return 0;
        });
        GTRSTATUS cs{};
        cycle(out, work, "melon", 3, &cs);
        _exit(3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended without dying";
    EXPECT_NE(temps(out), "");
    EXPECT_FALSE(fs::exists(out + "/idx"));
    GTRSTATUS st{};
    cycle(out, work, "melon", 3, &st, 'A');
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(temps(out), "");
}

// The first creation of an index killed before each file operation of its
// cycle: the next cycle, one that adds to the index, succeeds and leaves no
// "!" directory behind (once only a new-index cycle removed them).
TEST(GtrCreateCrash, FirstCreationKilledThenAddedToLeavesNothing) {
    gtrfix::Env env;  // out and work, the current directory in a fresh one
    const std::string& out = env.out;
    const std::string& work = env.work;
    gOp = 0;
    gKillAt = 0;
    vozSetCommitTestHook(countingHook);
    GTRSTATUS st{};
    cycle(out, work, "melon", 5, &st);
    vozSetCommitTestHook(nullptr);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const int operations = gOp;
    ASSERT_GT(operations, 2);
    for (int k = 1; k <= operations; ++k) {
        SCOPED_TRACE("killed before file operation " + std::to_string(k));
        fs::remove_all(out);
        fs::create_directories(out);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            gOp = 0;
            gKillAt = k;
            vozSetCommitTestHook(countingHook);
            GTRSTATUS cs{};
            cycle(out, work, "melon", 5, &cs);
            _exit(3);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended without dying";
        const bool switched = fs::exists(out + "/idx");
        cycle(out, work, "apple", 2, &st, 'A');
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_EQ(temps(out), "");
        EXPECT_FALSE(gqfix::searchDocs(out.c_str(), "apple").empty());
        EXPECT_EQ(gqfix::searchDocs(out.c_str(), "melon").empty(), !switched);
    }
}

// A start of the index while another cycle of it is live leaves that
// cycle's build alone: both commit.
TEST(GtrCreateCrash, StartLeavesALiveCyclesBuild) {
    gtrfix::Env env;  // out and work, the current directory in a fresh one
    const std::string& out = env.out;
    const std::string& work = env.work;
    GTRSTATUS st{};
    cycle(out, work, "apple", 2, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    GTRHCREATEPARM p = gtrfix::HParm();
    int32_t maxDoc = 0;
    void* live = nullptr;
    GTRcreateIndexInit(&live, "idx", out.c_str(), work.c_str(), 'N', 'B', &p,
                       nullptr, &maxDoc, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::string text = "melon";
    int32_t start = 0;
    GTRcreateIndexOneDoc(live, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int32_t>(text.size()), 1, &start, nullptr,
                         &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    const std::string building = temps(out);
    ASSERT_NE(building, "");
    for (char op : {'A', 'N'}) {
        GTRSTATUS os{};
        cycle(out, work, "pear", 1, &os, op);
        ASSERT_EQ(os.retcode, 0) << op << " " << os.errcode;
        EXPECT_EQ(temps(out), building) << op;
    }
    GTRcreateIndexLast(live, &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    GTRcreateIndexTerm(live, 'G', &st);
    ASSERT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(temps(out), "");
    EXPECT_EQ(gqfix::searchDocs(out.c_str(), "melon"), gqfix::Docs{1});
    EXPECT_EQ(gqfix::searchDocs(out.c_str(), "pear"), gqfix::Docs{});
}
