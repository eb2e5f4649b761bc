// The finishes of a merge (VOZ_mergeIndexFinish 'G') and of a deletion
// (GTRdeleteDocFinish 'G') through the engine calls, their process killed
// (SIGKILL) before every file operation of the commit journal and at
// random moments: the next open answers as before or as after for both
// sub-indexes alike (never text merged or deleted without items),
// verification passes and the next update succeeds.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "build/voz_journal.hpp"
#include "gtrmaint_fixture.hpp"

using namespace mtfix;

namespace {

int gOp = 0;
int gKillAt = 0;

int CountingHook(const char*, const char*) {
    if (++gOp == gKillAt) kill(getpid(), SIGKILL);
    return 0;
}

// What the kill may leave: the maintenance step applied or not.
enum class Step { Merge, Delete, Both };
const std::vector<int32_t> kDeleted = {7, 23};

// The deletion and/or the merge; with `hooked` the journal hook counts
// (and kills at) the operations of the finishes only.
void RunStep(const Env& env, Step step, bool hooked = false) {
    GTRSTATUS st{};
    void* h = nullptr;
    if (step != Step::Merge) {
        std::vector<int32_t> docs = kDeleted;
        GTRdeleteDoc(&h, "idx", env.out.c_str(), env.work.c_str(), docs.data(),
                     static_cast<int32_t>(docs.size()), nullptr, &st);
        if (hooked) voz_JnlSetTestHook(CountingHook);
        if (st.retcode == 0) GTRdeleteDocFinish(h, 'G', &st);
        voz_JnlSetTestHook(nullptr);
    }
    if (step != Step::Delete && st.retcode == 0) {
        VOZ_mergeIndex(&h, "idx", env.out.c_str(), env.work.c_str(), nullptr, &st);
        if (hooked) voz_JnlSetTestHook(CountingHook);
        if (st.retcode == 0) VOZ_mergeIndexFinish(h, 'G', &st);
        voz_JnlSetTestHook(nullptr);
    }
}

// Checks the index after a kill: both sub-indexes verify and hold `before`
// or `after` alike, both halves are merged alike, and an update works.
// Returns 1 when the index was found as after, 0 as before.
// *merged tells whether the supp halves were merged away.
// `update` false skips the update (it costs synced commits).
int CheckAfterKill(const Env& env, const Docs& before, const Docs& after,
                   bool* merged = nullptr, bool update = true) {
    GTRSTATUS st{};
    const std::vector<int32_t> text = Live(env.out, 0x40, &st);
    EXPECT_EQ(st.retcode, 0) << "text verification " << st.errcode;
    const std::vector<int32_t> items = Live(env.out, 0, &st);
    EXPECT_EQ(st.retcode, 0) << "item verification " << st.errcode;
    EXPECT_EQ(text, items) << "text and items apart";
    EXPECT_TRUE(text == Numbers(before) || text == Numbers(after));
    EXPECT_EQ(std::filesystem::exists(env.dir + "/Fullsupp"),
              std::filesystem::exists(env.dir + "/Itemsupp")) << "one sub-index merged alone";
    if (merged != nullptr) *merged = !std::filesystem::exists(env.dir + "/Fullsupp");
    std::map<std::string, int32_t> counts = KeyCounts(env.out, &st);
    EXPECT_EQ(st.retcode, 0) << st.errcode;
    EXPECT_EQ(counts, ModelCounts(text == Numbers(after) ? after : before, counts));
    if (!update) return text == Numbers(after) ? 1 : 0;
    Update(env.out, env.work, 'A', {{40, 1}}, &st, 3);
    EXPECT_EQ(st.retcode, 0) << "the next update " << st.errcode;
    EXPECT_EQ(env.leftovers(), std::vector<std::string>{});
    return text == Numbers(after) ? 1 : 0;
}

void KillBeforeEveryJournalOperation(Step step) {
    Docs after;
    int operations = 0;
    {
        Env env;
        after = CopyBase(env);
        gOp = 0;
        gKillAt = 0;
        RunStep(env, step, true);
        operations = gOp;
    }
    ASSERT_GT(operations, 3);
    for (int32_t d : step == Step::Merge ? std::vector<int32_t>{} : kDeleted) after.erase(d);
    int sawOld = 0, sawNew = 0;
    for (int k = 1; k <= operations; ++k) {
        SCOPED_TRACE("killed before journal operation " + std::to_string(k));
        Env env;
        const Docs before = CopyBase(env);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            gOp = 0;
            gKillAt = k;
            RunStep(env, step, true);
            _exit(3);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended without dying";
        // A merge keeps the documents: only the halves tell old from new.
        bool merged = false;
        int found = CheckAfterKill(env, before, step == Step::Merge ? before : after, &merged,
                                   k % 3 == 0 || k == operations);
        if (step == Step::Merge) found = merged ? 1 : 0;
        (found == 1 ? sawNew : sawOld)++;
    }
    std::printf("%d kills: %d found as before, %d as after\n", operations, sawOld, sawNew);
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST(GtrMaintCrash, MergeFinishKilledAtEveryJournalStep) {
    KillBeforeEveryJournalOperation(Step::Merge);
}

TEST(GtrMaintCrash, DeleteFinishKilledAtEveryJournalStep) {
    KillBeforeEveryJournalOperation(Step::Delete);
}

TEST(GtrMaintCrash, DeleteAndMergeKilledAtRandomMoments) {
    Docs after;
    long long took = 0;
    {
        Env env;
        after = CopyBase(env);
        const auto t0 = std::chrono::steady_clock::now();
        RunStep(env, Step::Both);
        took = std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - t0).count();
    }
    for (int32_t d : kDeleted) after.erase(d);
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        Env env;
        const Docs before = CopyBase(env);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RunStep(env, Step::Both);
            _exit(0);
        }
        usleep(static_cast<useconds_t>(rng() % static_cast<uint32_t>(took + 1)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        CheckAfterKill(env, before, after);
    }
}

}  // namespace
