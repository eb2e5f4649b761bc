// Crash tests of every commit of an index through the exported functions
// (update, merge, document-map migration, rename, copy, destroy): a forked
// child is killed before each file operation of the commit in turn and at
// a few random moments; the next open must find the old or the new state
// whole, engine and maps agreeing, and the next update must commit (see
// api_commit_crash.hpp; bench/crash_driver --api runs the same at scale).
#include <gtest/gtest.h>

#include <random>

#include "api_commit_crash.hpp"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomKills = 2;
#else
constexpr int kRandomKills = 6;
#endif

class ApiCommitCrash : public ::testing::TestWithParam<accrash::Kind> {};

TEST_P(ApiCommitCrash, KilledBeforeEveryOperationAndAtRandom) {
  uint32_t seed = testSeed();
  std::mt19937 rng(seed);
  accrash::Tally t;
  std::string fault = accrash::RunKills(GetParam(), kRandomKills, rng, &t, true);
  EXPECT_EQ(fault, "");
  EXPECT_GT(t.operations, 0);
  std::printf("%s: %d operations, %d kills: %d none, %d old, %d new; %d finished\n",
              accrash::NameOf(GetParam()), t.operations, t.kills, t.sawNothing,
              t.sawOld, t.sawNew, t.finished);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ApiCommitCrash, ::testing::ValuesIn(accrash::kKinds),
    [](::testing::TestParamInfo<accrash::Kind> const& info) {
      std::string n = accrash::NameOf(info.param);
      n[0] = static_cast<char>(n[0] - 'a' + 'A');
      return n;
    });

}  // namespace
