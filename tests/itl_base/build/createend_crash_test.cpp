// Crash safety of the creation commit: a forked child ends a cycle (a new
// index, an append) with VOZ_createIndexTerm 'G' and is killed with SIGKILL
// before each file operation of the journal (the test hook counts them)
// and at random moments; after recovery the document list (slot 38) and
// the postings of both halves are those of before or of after the commit,
// never an error, and nothing is left under "#" or "%" names.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "createend_fixture.hpp"
#include "engine_test_util.hpp"
#include "build/voz_journal.hpp"

using namespace endfix;

namespace {

namespace stdfs = std::filesystem;

int g_countdown = 0;

int KillAt(const char*, const char*) {
    if (--g_countdown == 0) raise(SIGKILL);
    return 0;
}

// The child: one cycle over `occ`, killed at journal operation `killAt`
// (0: never). Exits 0 when the commit succeeded.
[[noreturn]] void Child(const std::string& out, const std::string& work, char op,
                        const std::vector<Occ>& occ, int killAt) {
    GTRSTATUS st{};
    CREATWRK* cwp = StartCycle(out, work, op, Parm(), Sys(8192), &st);
    if (st.retcode != 0) _exit(2);
    Feed(cwp, occ, &st);
    if (st.retcode != 0 || VOZ_createIndexLast(cwp, &st) != 0) _exit(3);
    g_countdown = killAt;
    if (killAt > 0) voz_JnlSetTestHook(KillAt);
    VOZ_createIndexTerm(cwp, 'G', &st);
    _exit(st.retcode == 0 ? 0 : 4);
}

// Both halves' postings as a reader finds them after recovery.
Lists Content(const std::string& out, std::string* problem) {
    GTRSTATUS st{};
    _FCTLHEAD main = HalfSet(out, VOZ_HALF_MAIN);
    voz_JnlRecover(&main, &st);
    Half m = ReadHalf(out, VOZ_HALF_MAIN, &st);
    Half s = ReadHalf(out, VOZ_HALF_SUPP, &st);
    if (st.retcode != 0)
        *problem = "status " + std::to_string(st.retcode) + "/" + std::to_string(st.errcode);
    for (const std::string& n : DirNames(out + "/idx"))
        if (n[0] == '#' || n[0] == '%' || n == "voz.JNL") *problem += " leftover " + n;
    return Union(m.lists, s.lists);
}

struct Scenario {
    char op;
    std::vector<Occ> base, added;
};

// Sets up the index before the commit in `out` (fresh).
void Prepare(const Scenario& sc, const std::string& out, const std::string& work) {
    stdfs::remove_all(out);
    stdfs::remove_all(work);
    mkdir(out.c_str(), 0770);
    mkdir(work.c_str(), 0770);
    if (sc.op == 'A') {
        RunResult r = RunCycle(out, work, 'N', sc.base, Parm(), Sys(8192));
        ASSERT_OK(r.st);
    }
}

void RunScenario(const Scenario& sc, uint32_t seed) {
    TempDir tmp("endcrash");
    std::string out = tmp.path() + "/out", work = tmp.path() + "/work";
    Lists before = ModelOf(sc.base);
    std::vector<Occ> all = sc.base;
    all.insert(all.end(), sc.added.begin(), sc.added.end());
    Lists after = ModelOf(all);
    int steps = 0;
    for (int k = 1; k < 100; ++k) {
        Prepare(sc, out, work);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) Child(out, work, sc.op, sc.added, k);
        int status = 0;
        waitpid(pid, &status, 0);
        std::string problem;
        Lists got = Content(out, &problem);
        EXPECT_EQ(problem, "") << "killed at operation " << k;
        EXPECT_TRUE(got == before || got == after) << "killed at operation " << k;
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_TRUE(got == after);
            steps = k;
            break;
        }
    }
    EXPECT_GT(steps, 3) << "the commit ran through the journal";
    std::mt19937 rng(seed);
    for (int i = 0; i < 8; ++i) {
        Prepare(sc, out, work);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) Child(out, work, sc.op, sc.added, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 60000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        std::string problem;
        Lists got = Content(out, &problem);
        EXPECT_EQ(problem, "") << "random kill " << i;
        EXPECT_TRUE(got == before || got == after) << "random kill " << i;
    }
}

TEST(CreateEndCrash, NewIndexCommit) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    RunScenario({'N', {}, Corpus(seed, 1, 60, 20)}, seed);
}

TEST(CreateEndCrash, AppendCommit) {
    uint32_t seed = testSeed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    RunScenario({'A', Corpus(seed, 1, 60, 20), Corpus(seed + 1, 61, 40, 20)}, seed);
}

}  // namespace
