// Crash safety of an index update through the position store: a forked
// child updates a block-store index the builder's way (a copy of the half
// as "#main", lists merged into it with deletions, key file rewritten, the
// broker's transaction committed) and is killed with SIGKILL at a random
// moment before the switch that commits the update.  Reopening the index
// gives the state before the update, and a later update on top of the
// leftovers succeeds and reads back as the model says.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "posstore_fixture.hpp"

namespace {

using namespace posfix;

void KillUpdates(bool btree) {
    TempDir dir("posstore_crash");
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    IndexFixture idx(dir.path(), btree);
    Model model;
    GTRSTATUS st{};
    Model first = MakeBatch(rng, model, {1, 300, 1900, 2100, 6000, 12000, 900}, 1);
    auto begin = std::chrono::steady_clock::now();
    idx.Round(first, {}, st);
    // Kills fall anywhere in an update of about that length; the window
    // adapts so that about half of the updates are cut short.
    auto span = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now() - begin).count();
    uint32_t window = static_cast<uint32_t>(std::max<int64_t>(span, 2000));
    ASSERT_OK(st);
    ApplyToModel(model, first, {});
    ASSERT_EQ(idx.ReadAll(st), model);
    int killedEarly = 0;
    for (int trial = 0; trial < 24; ++trial) {
        uint32_t childSeed = static_cast<uint32_t>(rng());
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            std::mt19937 crng(childSeed);
            Model batch = MakeBatch(crng, model, {40, 700, 300, 1200}, 1, !btree);
            std::vector<uint32_t> del = PickDeletions(crng, model, 0.3);
            GTRSTATUS cst{};
            idx.Round(batch, del, cst, false);
            char c = cst.retcode == 0 ? 'D' : 'F';
            if (write(ready[1], &c, 1) != 1) _exit(2);
            pause();  // the commit (switch) never comes before the kill
            _exit(0);
        }
        close(ready[1]);
        usleep(static_cast<useconds_t>(rng() % window));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        char c = 0;
        if (read(ready[0], &c, 1) != 1) {
            ++killedEarly;
            window = window + window / 4;
        } else {
            window = std::max<uint32_t>(window - window / 4, 1000);
        }
        close(ready[0]);
        ASSERT_NE(c, 'F') << "the child's update failed, trial " << trial;
        std::string problem;
        ASSERT_EQ(idx.ReadAll(st, &problem), model) << "trial " << trial;
        ASSERT_OK(st);
        ASSERT_EQ(problem, "");
    }
    // The index takes a normal update over whatever the killed ones left.
    Model batch = MakeBatch(rng, model, {500, 2500, 40}, 2, !btree);
    std::vector<uint32_t> del = PickDeletions(rng, model, 0.2);
    idx.Round(batch, del, st);
    ASSERT_OK(st);
    ApplyToModel(model, batch, del);
    EXPECT_EQ(idx.ReadAll(st), model);
    std::printf("%d of 24 updates killed before they were complete\n", killedEarly);
}

TEST(PosStoreCrash, KilledUpdateLeavesTheCommittedBlockStore) {
    KillUpdates(true);
}

TEST(PosStoreCrash, KilledUpdateLeavesTheCommittedSequentialFile) {
    KillUpdates(false);
}

}  // namespace
