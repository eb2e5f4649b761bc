// Crash tests of the dictionary's commits: a forked child compiles
// dictionary B over dictionary A (or clears A) and is killed just before
// each file operation (counted through the thesaurus file hook and the
// engine's commit hook) and at random moments. Afterwards the dictionary
// must answer as A or as B as a whole, set 0 must equal a reference
// compile of A or of B byte for byte, no lock file may be missing, and the
// next compile must succeed and leave no temporary file. The killed
// compiles run their temporary store with a run of three records, so that
// the kills fall between the flushes and merges of the store as well.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include <dirent.h>

#include "calls/voz_gtrcreate.hpp"
#include "cnet_compile.hpp"
#include "cnet_dict_util.hpp"

namespace {

const char* const kDefA =
    ":WORDS:SYNONYM\ncar\nauto :50\n:WORDS\nbus\n.HIGHER_THAN vehicle\n";
const char* const kDefB =
    ":WORDS:SYNONYM\ncar\nmotorcar\n:WORDS:RELATED\nbus\ncoach\ntram\n"
    ":WORDS\nvehicle\n.LOWER_THAN car\n";

// Answers of fixed lookups, as one text ("543" when the dictionary is
// absent).
std::string answers(const std::string& dir) {
    std::string all;
    cdict::Lookup lk;
    for (const char* t : {"car", "bus", "vehicle", "auto", "coach"}) {
        std::vector<cdict::Found> got;
        CNETSTATUS st = lk.run(dir, "th", t, &got);
        all += std::string(t) + "=" + std::to_string(st.retcode) + ":";
        if (st.retcode == 543) return "543";
        for (auto& f : got) all += ::testing::PrintToString(f) + ",";
        all += ";";
    }
    return all;
}

// The temporary files ("th.$NN") in `dir`.
int tempFiles(const std::string& dir) {
    int n = 0;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return 0;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name).find("th.$") == 0) ++n;
    closedir(d);
    return n;
}

void plantTempFiles(const std::string& dir) {
    for (const char* n : {"$00", "$01", "$10", "$11", "$20", "$21"})
        writeFile(dir + "/th." + n, "left by a killed compile");
}

// The child's kill counter: operations before the kill (-1 never).
long g_killAt = -1;
long g_ops = 0;
int countOp(const char*, const char*) {
    if (g_ops++ == g_killAt) kill(getpid(), SIGKILL);
    return 0;
}
int countEngineOp(const char* op, const char* path) { return countOp(op, path); }

struct Reference {
    TempDir a{"cnet_crash_ra", fastTempParent()};
    TempDir b{"cnet_crash_rb", fastTempParent()};
    std::string filesA, filesB, ansA, ansB;
    Reference() {
        EXPECT_EQ(cdict::compile(a.path(), "th", kDefA).retcode, 0u);
        EXPECT_EQ(cdict::compile(b.path(), "th", kDefB).retcode, 0u);
        filesA = cdict::liveFiles(a.path(), "th");
        filesB = cdict::liveFiles(b.path(), "th");
        ansA = answers(a.path());
        ansB = answers(b.path());
        EXPECT_NE(ansA, ansB);
    }
};

// The plain build interrupts the compile before every operation. A
// sanitized child runs many times slower, so a sanitized build interrupts
// every fourth operation, the first and the last two (the plain build
// still covers every one).
bool interruptAt(long k, long total) {
#if defined(__SANITIZE_ADDRESS__)
    return k % 4 == 0 || k >= total - 2;
#else
    (void)total;
    (void)k;
    return true;
#endif
}

// Runs `action` in a child killed before operation `killAt` (-1: never)
// or after `delayUs` microseconds (when >= 0). Returns the operations the
// child counted when it ran to its end (through its exit status, capped).
int runKilled(const std::function<void()>& action, long killAt, long delayUs) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        g_killAt = killAt;
        g_ops = 0;
        const CnetCompileSettings smallRuns{false, 3, 0};
        cnetSetCompileSettings(&smallRuns);
        cnetSetTestHooks(&countOp, nullptr);
        vozSetCommitTestHook(&countEngineOp);
        action();
        _exit(static_cast<int>(std::min<long>(g_ops, 250)));
    }
    if (delayUs >= 0) {
        usleep(static_cast<useconds_t>(delayUs));
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void compileB(const std::string& dir) {
    CNETSTATUS st = cdict::compile(dir, "th", kDefB);
    if (st.retcode != 0) _exit(251);
}

// Returns 'A', 'B' or 'X' (absent) for the state found.
char checkAfter(const Reference& ref, const std::string& dir, bool clearing,
                const std::string& what) {
    const std::string ans = answers(dir);
    const bool isA = ans == ref.ansA, isB = ans == ref.ansB;
    if (clearing)
        EXPECT_TRUE(isA || ans == "543") << what << "\n" << ans;
    else
        EXPECT_TRUE(isA || isB) << what << "\n" << ans;
    if (isA || isB) {
        EXPECT_EQ(cdict::liveFiles(dir, "th"), isA ? ref.filesA : ref.filesB) << what;
        for (int n = 1; n <= 3; ++n)
            EXPECT_TRUE(exists(dir + "/th.lk" + std::to_string(n))) << what << " lk" << n;
    }
    EXPECT_FALSE(exists(dir + "/th.lkc")) << what;
    // The next compile succeeds and is complete.
    EXPECT_EQ(cdict::compile(dir, "th", kDefB).retcode, 0u) << what;
    EXPECT_EQ(answers(dir), ref.ansB) << what;
    EXPECT_EQ(cdict::liveFiles(dir, "th"), ref.filesB) << what;
    EXPECT_EQ(tempFiles(dir), 0) << what;
    return isA ? 'A' : isB ? 'B' : 'X';
}

TEST(CnetCrash, CompileKilledBeforeEveryOperation) {
    Reference ref;
    TempDir count{"cnet_crash_n", fastTempParent()};
    ASSERT_EQ(cdict::compile(count.path(), "th", kDefA).retcode, 0u);
    const int total = runKilled([&] { compileB(count.path()); }, -1, -1);
    ASSERT_GT(total, 10);
    ASSERT_LT(total, 250);
    std::string seen;
    int leftTemp = 0;   // kills that left temporary files
    for (long k = 0; k < total; ++k) {
        if (!interruptAt(k, total)) continue;
        TempDir d{"cnet_crash", fastTempParent()};
        ASSERT_EQ(cdict::compile(d.path(), "th", kDefA).retcode, 0u);
        runKilled([&] { compileB(d.path()); }, k, -1);
        if (tempFiles(d.path()) > 0) ++leftTemp;
        seen += checkAfter(ref, d.path(), false, "killed before operation " + std::to_string(k));
    }
    // Early kills leave A, kills after the commit mark leave B.
    std::printf("%d operations, states %s, %d left temporary files\n", total, seen.c_str(),
                leftTemp);
    EXPECT_GT(leftTemp, 0);
    EXPECT_NE(seen.find('A'), std::string::npos);
    EXPECT_NE(seen.find('B'), std::string::npos);
}

TEST(CnetCrash, CompileKilledAtRandomMoments) {
    Reference ref;
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    TempDir t{"cnet_crash_t", fastTempParent()};
    ASSERT_EQ(cdict::compile(t.path(), "th", kDefA).retcode, 0u);
    auto t0 = std::chrono::steady_clock::now();
    runKilled([&] { compileB(t.path()); }, -1, -1);
    const long us = std::max<long>(
        1000, std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - t0).count());
    for (int i = 0; i < 12; ++i) {
        TempDir d{"cnet_crash", fastTempParent()};
        ASSERT_EQ(cdict::compile(d.path(), "th", kDefA).retcode, 0u);
        const long delay = static_cast<long>(rng() % static_cast<uint32_t>(us));
        runKilled([&] { compileB(d.path()); }, -1, delay);
        checkAfter(ref, d.path(), false,
                   "seed " + std::to_string(seed) + " delay " + std::to_string(delay));
    }
}

TEST(CnetCrash, ClearKilledBeforeEveryOperation) {
    Reference ref;
    auto clear = [](const std::string& dir) {
        CNETSTATUS st;
        vozCNETclear(dir.c_str(), "th", &st);
        if (st.retcode != 0) _exit(251);
    };
    TempDir count{"cnet_crash_n", fastTempParent()};
    ASSERT_EQ(cdict::compile(count.path(), "th", kDefA).retcode, 0u);
    plantTempFiles(count.path());
    const int total = runKilled([&] { clear(count.path()); }, -1, -1);
    ASSERT_GT(total, 3);
    ASSERT_LT(total, 250);
    for (long k = 0; k < total; ++k) {
        TempDir d{"cnet_crash", fastTempParent()};
        ASSERT_EQ(cdict::compile(d.path(), "th", kDefA).retcode, 0u);
        plantTempFiles(d.path());
        runKilled([&] { clear(d.path()); }, k, -1);
        checkAfter(ref, d.path(), true, "clear killed before operation " + std::to_string(k));
        // A second clear completes the removal.
        CNETSTATUS st;
        vozCNETclear(d.path().c_str(), "th", &st);
        EXPECT_EQ(st.retcode, 0u);
        EXPECT_EQ(answers(d.path()), "543");
        EXPECT_EQ(tempFiles(d.path()), 0);
    }
}

}  // namespace
