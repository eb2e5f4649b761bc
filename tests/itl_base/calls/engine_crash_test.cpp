// The engine's update cycle killed (SIGKILL) during the commit of an
// append, of a merge, of a deletion and of the first creation of an index
// (see engine_crash.hpp): after every kill the next open finds the old or
// the new index whole, verification passes, the known query answers as
// before or as after, and the next update succeeds. With each store of
// positions, one kill just before every file operation of the commit
// (counted through the test hooks), then 15 at random moments; the seed
// is printed, TEST_SEED replays it (bench/crash_driver runs any number).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "engine_crash.hpp"

namespace {

// Kills of `kind` before every file operation and at 15 random moments,
// with each store of positions.
void KillDuringCommit(ecfix::Kind kind) {
    const uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    int sawOld = 0, sawNew = 0;
    for (ecfix::Store store : ecfix::kStores) {
        SCOPED_TRACE(ecfix::NameOf(store));
#if defined(__SANITIZE_ADDRESS__)
        const int kills = 5;  // a sanitized child runs many times slower
#else
        const int kills = 15;
#endif
        ecfix::Tally t;
        const std::string why = ecfix::RunKills(kind, store, kills, rng, &t, true);
        std::printf("%s (%s): %d operations, %d kills: %d no index, %d old, %d new; %d ended first\n",
                    ecfix::NameOf(kind), ecfix::NameOf(store), t.operations, t.kills,
                    t.sawNothing, t.sawOld, t.sawNew, t.finished);
        ASSERT_EQ(why, "") << "seed " << seed;
        EXPECT_EQ(t.kills, t.planned);
        sawOld += t.sawOld + t.sawNothing;
        sawNew += t.sawNew;
    }
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

TEST(EngineCrash, AppendCommitKilledIsOldOrNew) { KillDuringCommit(ecfix::Kind::Append); }

TEST(EngineCrash, MergeFinishKilledIsOldOrNew) { KillDuringCommit(ecfix::Kind::Merge); }

TEST(EngineCrash, DeletionFinishKilledIsOldOrNew) { KillDuringCommit(ecfix::Kind::Delete); }

TEST(EngineCrash, FirstCreationKilledIsNothingOrNew) { KillDuringCommit(ecfix::Kind::Create); }

// An update of both sub-indexes commits them under one journal mark: with
// a mark each, a kill between the two left the text appended and the
// items not (the blend the append kills above found).
TEST(EngineCrash, BothSubIndexesCommitUnderOneMark) {
    static int marks = 0;
    for (ecfix::Kind kind : {ecfix::Kind::Append, ecfix::Kind::Create}) {
        SCOPED_TRACE(ecfix::NameOf(kind));
        mtfix::Env env(fastTempParent());
        ecfix::Prepare(env, kind, ecfix::Store::Files);
        marks = 0;
        voz_JnlSetTestHook([](const char* op, const char*) {
            if (std::strcmp(op, "write-mark") == 0) ++marks;
            return 0;
        });
        GTRSTATUS st{};
        mtfix::Update(env.out, env.work, kind == ecfix::Kind::Create ? 'N' : 'A',
                      kind == ecfix::Kind::Create ? ecfix::Created() : ecfix::Appended(), &st, 3);
        voz_JnlSetTestHook(nullptr);
        ASSERT_EQ(st.retcode, 0) << st.errcode;
        EXPECT_EQ(marks, 1);
    }
}

}  // namespace
