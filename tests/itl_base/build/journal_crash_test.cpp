// Crash safety of a journal commit over real file sets: a merge-like
// commit replaces a main half (block store with its new control files under
// "#", or the sequential position file), sets the supp half aside and
// replaces the deleted-document list.  A forked child runs the commit and
// is killed with SIGKILL before each of its file operations (the test hook
// counts them) and at random moments; recovery then leaves the old or the
// new content, nothing under "#" or "%" names and no mark, and the index
// takes a further update.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "posstore_fixture.hpp"
#include "build/voz_journal.hpp"

namespace {

using namespace posfix;
namespace stdfs = std::filesystem;

// What a reader finds: main's lists read through the position store, the
// supp half's files byte for byte, main's deleted-document list.
struct Content {
    Model main;
    std::map<std::string, std::string> supp;
    std::vector<uint32_t> deleted;
    bool operator==(const Content& o) const {
        return main == o.main && supp == o.supp && deleted == o.deleted;
    }
};

_FCTLHEAD HalfSet(const std::string& root, int half) {
    _FCTLHEAD f;
    GTRSTATUS st{};
    voz_SetFctlForRead(&f, "idx", root.c_str(), half, 0, "KPLQ", "Full", &st);
    return f;
}

std::map<std::string, std::string> TreeBytes(const std::string& path) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = stdfs::recursive_directory_iterator(path, ec);
         !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
            out[stdfs::relative(it->path(), path).string()] =
                readFile(it->path().string());
        }
    }
    return out;
}

Content Read(const std::string& root, bool btree, GTRSTATUS& st,
             std::string* problem) {
    Content c;
    IndexFixture idx(root, btree);
    c.main = idx.ReadAll(st, problem);
    c.supp = TreeBytes(root + "/idx/Fullsupp");
    _FCTLHEAD m = HalfSet(root, 0);
    CVozDeletedDocs* list = vozAllocateDeletedDocs(&m, 0, &st);
    const uint32_t* ids = vozGetDeletedDocs(list);
    c.deleted.assign(ids, ids + vozGetNumDeletedDocs(list));
    vozFreeDeletedDocs(list, nullptr, &st);
    return c;
}

// A sequential supp half holding `batch`.
void WriteSupp(const std::string& root, const Model& batch, GTRSTATUS& st) {
    IndexFixture idx(root, false);
    _FCTLHEAD s = HalfSet(root, 1);
    std::map<uint32_t, KEY_REC> recs;
    idx.WriteSource(s, batch, recs, st);
    KEYINFO_0 info{};
    memcpy(info.version, "V4_0", 4);
    voz_WriteKeyInfo(&s, &info, &st);
    for (auto& [key, rec] : recs)
        voz_WriteKey(&s, &info, &rec, 255, nullptr, &st);
    voz_WriteKeyInfo(&s, &info, &st);
    voz_IDXclose(&s, &st);
}

// Writes `ids` as main's deleted-document list under the "#" name.
void WriteNewDeleted(const std::string& root, bool btree,
                     const std::vector<uint32_t>& ids, GTRSTATUS& st) {
    IndexFixture idx(root, btree);
    _FCTLHEAD halves[2] = {idx.Set(0, root), idx.Set(1, root)};
    halves[0].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
    halves[1].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
    VOZ_deleteDocs(halves, static_cast<uint32_t>(ids.size()), ids.data(), &st);
    vozFreeDeletedDocs(halves[0].deletedDocs, &halves[0], &st);
    vozFreeDeletedDocs(halves[1].deletedDocs, nullptr, &st);
}

struct Scene {
    std::string root;  // template: the index before the commit, new parts laid
    Content before, after;
    Model afterModel;
};

// Builds the template: main committed, supp and a deleted-document list
// live, then the new main under "#ullmain" and the new list under
// "#ulldel" (not switched).
void BuildScene(Scene& sc, bool btree, std::mt19937& rng) {
    GTRSTATUS st{};
    IndexFixture idx(sc.root, btree);
    Model model;
    Model first = MakeBatch(rng, model, {300, 2500, 40, 9000, 1200}, 1);
    idx.Round(first, {}, st);
    ApplyToModel(model, first, {});
    WriteSupp(sc.root, MakeBatch(rng, {}, {200, 900}, 40), st);
    WriteNewDeleted(sc.root, btree, {5, 17}, st);
    ASSERT_OK(st);
    stdfs::rename(sc.root + "/idx/#ulldel", sc.root + "/idx/Fulldel");
    Model batch = MakeBatch(rng, model, {700, 40, 3000}, 1, !btree);
    std::vector<uint32_t> del = PickDeletions(rng, model, 0.3);
    idx.Round(batch, del, st, false);
    WriteNewDeleted(sc.root, btree, del, st);
    ASSERT_OK(st);
    sc.afterModel = model;
    ApplyToModel(sc.afterModel, batch, del);
    if (btree) {
        // The new half carries its own control files; the live ones stay.
        for (const char* half :
             {"/idx/#ullmain/voz.PSC", "/idx/Fullmain/voz.PSC"}) {
            ASSERT_TRUE(exists(sc.root + half)) << half;
        }
        bool differ = false;
        for (const char* ctl : {"/voz.PSC", "/voz.PNC", "/voz.PLC"}) {
            differ = differ || slurp(sc.root + "/idx/#ullmain" + ctl) !=
                                   slurp(sc.root + "/idx/Fullmain" + ctl);
        }
        ASSERT_TRUE(differ);
    }
    sc.before = Read(sc.root, btree, st, nullptr);
    ASSERT_OK(st);
    ASSERT_EQ(sc.before.main, model);
    ASSERT_FALSE(sc.before.supp.empty());
    ASSERT_EQ(sc.before.deleted, (std::vector<uint32_t>{5, 17}));
    sc.after.main = sc.afterModel;
    sc.after.deleted = del;
}

VOZJOURNAL MergeJournal(const std::string& root) {
    VOZJOURNAL j;
    GTRSTATUS st{};
    _FCTLHEAD m = HalfSet(root, 0);
    voz_JnlBegin(&j, &m, &st);
    voz_JnlAdd(&j, VOZ_JNL_REPLACE, VOZ_JNL_MAIN, "Full", &st);
    voz_JnlAdd(&j, VOZ_JNL_SET_ASIDE, VOZ_JNL_SUPP, "Full", &st);
    voz_JnlAdd(&j, VOZ_JNL_REPLACE, VOZ_JNL_DELETED, "Full", &st);
    return j;
}

void CopyTree(const std::string& from, const std::string& to) {
    stdfs::remove_all(to);
    stdfs::copy(from, to, stdfs::copy_options::recursive);
}

// Hook state: the running operation number, the one to die before, the
// operation to fail (once, as the system would), and the names of the
// operations seen.
int gOp = 0, gKillAt = 0;
std::string gFailName;
std::vector<std::string> gNames;

int CountingHook(const char* op, const char* path) {
    if (++gOp == gKillAt) kill(getpid(), SIGKILL);
    std::string p = path;
    std::string name = std::string(op) + " " + p.substr(p.rfind('/') + 1);
    gNames.push_back(name);
    if (name != gFailName) return 0;
    gFailName.clear();
    return 1;
}

void SetHook(int killAt, const std::string& failName) {
    gOp = 0;
    gKillAt = killAt;
    gFailName = failName;
    gNames.clear();
    voz_JnlSetTestHook(CountingHook);
}

// Forks a child that commits the journal of `root` and dies before
// operation `killAt` (0: never), failing the operation `failName`; with
// `ready` it reports on the pipe just before the commit.  Returns the
// child's pid.
pid_t StartCommit(const std::string& root, int killAt, int ready,
                  const std::string& failName = "") {
    pid_t pid = fork();
    if (pid != 0) return pid;
    SetHook(killAt, failName);
    VOZJOURNAL j = MergeJournal(root);
    if (ready >= 0 && write(ready, "R", 1) != 1) _exit(3);
    GTRSTATUS st{};
    _exit(voz_JnlCommit(&j, &st) == 0 ? 0 : 1);
}

// Recovers the trial's index and checks it against the scene: nothing
// left under "#" or "%" names, no mark, the old or the new content (as
// wanted); with `update` the index then takes a further update.
void CheckRecovered(const Scene& sc, const std::string& root, bool btree,
                    const std::string& where, bool wantNew, bool wantOld,
                    bool update, std::mt19937& rng) {
    _FCTLHEAD m = HalfSet(root, 0);
    GTRSTATUS st{};
    // A reader first: it only rolls forward, and what it reads is whole.
    ASSERT_EQ(voz_JnlRollForward(&m, &st), 0) << where << " " << st.errcode;
    ASSERT_EQ(voz_JnlMarkExists(&m), 0) << where;
    std::string problem;
    Content seen = Read(root, btree, st, &problem);
    ASSERT_OK(st);
    ASSERT_EQ(problem, "") << where;
    ASSERT_TRUE(seen == sc.before || seen == sc.after) << where << ": reader";
    ASSERT_EQ(voz_JnlRecover(&m, &st), 0) << where << " " << st.errcode;
    for (const auto& e : stdfs::directory_iterator(root + "/idx")) {
        std::string name = e.path().filename().string();
        ASSERT_NE(name[0], '#') << where << " left " << name;
        ASSERT_NE(name[0], '%') << where << " left " << name;
        ASSERT_EQ(name.find("voz.JNL"), std::string::npos) << where;
        ASSERT_EQ(name.find('~'), std::string::npos) << where;
    }
    Content c = Read(root, btree, st, &problem);
    ASSERT_OK(st);
    ASSERT_EQ(problem, "") << where;
    bool isOld = c == sc.before, isNew = c == sc.after;
    ASSERT_TRUE(isOld || isNew) << where << ": a blend of old and new";
    if (!wantOld) {
        ASSERT_TRUE(isNew) << where;
    }
    if (!wantNew) {
        ASSERT_TRUE(isOld) << where;
    }
    if (!update) return;
    // The recovered index takes a normal update.
    Model model = isNew ? sc.after.main : sc.before.main;
    Model batch = MakeBatch(rng, model, {100, 2200}, 2, !btree);
    IndexFixture idx(root, btree);
    idx.Round(batch, {}, st);
    ASSERT_OK(st);
    ApplyToModel(model, batch, {});
    ASSERT_EQ(idx.ReadAll(st), model) << where;
}

// One crash test's seed, directories and scene.
struct CrashRun {
    explicit CrashRun(const char* tag) : rng(testSeed()), dir(tag) {
        sc.root = dir / "template";
        trial = dir / "trial";
    }
    std::mt19937 rng;
    TempDir dir;
    Scene sc;
    std::string trial;  // where each commit runs, on a copy of the template
};

// Runs the commit on a fresh copy of the template with the hook counting
// (and failing `failName`); returns the operations' names.
std::vector<std::string> DryRun(const Scene& sc, const std::string& trial,
                                const std::string& failName, int wantRc) {
    CopyTree(sc.root, trial);
    SetHook(0, failName);
    VOZJOURNAL j = MergeJournal(trial);
    GTRSTATUS st{};
    EXPECT_EQ(voz_JnlCommit(&j, &st), wantRc) << st.errcode;
    voz_JnlSetTestHook(nullptr);
    return gNames;
}

// Commits in a child on a fresh copy, killed before operation k; returns
// the text that names the kill.
std::string KillChildAt(const Scene& sc, const std::string& trial, int k,
                        const std::string& failName,
                        const std::vector<std::string>& names) {
    CopyTree(sc.root, trial);
    pid_t pid = StartCommit(trial, k, -1, failName);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    std::string where = "killed before operation " + std::to_string(k) + " (" +
                        names[static_cast<size_t>(k - 1)] + ")";
    EXPECT_TRUE(pid > 0 && WIFSIGNALED(status)) << where;
    return where;
}

void KillAtEveryOperation(bool btree) {
    CrashRun run("journal_crash");
    ASSERT_NO_FATAL_FAILURE(BuildScene(run.sc, btree, run.rng));
    const Scene& sc = run.sc;
    std::mt19937& rng = run.rng;
    const std::string& trial = run.trial;
    // A clean commit on a copy gives the operations and the new content.
    std::vector<std::string> names = DryRun(sc, trial, "", 0);
    GTRSTATUS rst{};
    ASSERT_EQ(Read(trial, btree, rst, nullptr), sc.after);
    auto mark = std::find(names.begin(), names.end(), "rename voz.JNL.tmp");
    ASSERT_NE(mark, names.end());
    int markOp = static_cast<int>(mark - names.begin()) + 1;
    int total = static_cast<int>(names.size());
    for (int k = 1; k <= total; ++k) {
        std::string where = KillChildAt(sc, trial, k, "", names);
        // Before the mark is in place the old index stays, after it the
        // new one comes.
        ASSERT_NO_FATAL_FAILURE(CheckRecovered(sc, trial, btree, where,
                                               k > markOp, k <= markOp,
                                               k % 5 == 0 || k == total, rng));
    }
}

// The last switch fails, and the child is killed before each operation of
// the undo that follows: the mark still stands for the new index until it
// is dropped, so recovery gives the new index, and the old one after.
void KillDuringUndo(bool btree) {
    CrashRun run("journal_crash_undo");
    ASSERT_NO_FATAL_FAILURE(BuildScene(run.sc, btree, run.rng));
    const Scene& sc = run.sc;
    std::mt19937& rng = run.rng;
    const std::string& trial = run.trial;
    const std::string failing = "rename #ulldel";
    std::vector<std::string> names = DryRun(sc, trial, failing, -1);
    GTRSTATUS rst{};
    ASSERT_EQ(Read(trial, btree, rst, nullptr), sc.before);
    int failOp = static_cast<int>(
                     std::find(names.begin(), names.end(), failing) -
                     names.begin()) +
                 1;
    int total = static_cast<int>(names.size());
    ASSERT_GT(total, failOp + 3);
    for (int k = failOp + 1; k <= total; ++k) {
        std::string where = KillChildAt(sc, trial, k, failing, names);
        bool dropped = names[static_cast<size_t>(k - 2)] == "remove voz.JNL";
        ASSERT_NO_FATAL_FAILURE(CheckRecovered(sc, trial, btree, where,
                                               !dropped, dropped, k == total,
                                               rng));
    }
}

void KillAtRandomMoments(bool btree) {
    CrashRun run("journal_crash_random");
    ASSERT_NO_FATAL_FAILURE(BuildScene(run.sc, btree, run.rng));
    const Scene& sc = run.sc;
    std::mt19937& rng = run.rng;
    const std::string& trial = run.trial;
    // Kills fall within about twice the time of a whole commit.
    auto begin = std::chrono::steady_clock::now();
    DryRun(sc, trial, "", 0);
    int64_t span = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - begin)
                       .count();
    uint32_t window = static_cast<uint32_t>(std::max<int64_t>(2 * span, 500));
    int finished = 0;
    for (int t = 0; t < 16; ++t) {
        CopyTree(sc.root, trial);
        int pipeFd[2];
        ASSERT_EQ(pipe(pipeFd), 0);
        pid_t pid = StartCommit(trial, 0, pipeFd[1]);
        ASSERT_GT(pid, 0);
        close(pipeFd[1]);
        char c = 0;
        ASSERT_EQ(read(pipeFd[0], &c, 1), 1);
        close(pipeFd[0]);
        usleep(rng() % window);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0);
            ++finished;
        }
        ASSERT_NO_FATAL_FAILURE(
            CheckRecovered(sc, trial, btree, "random kill " + std::to_string(t),
                           true, !WIFEXITED(status), t % 4 == 0, rng));
    }
    std::printf("%d of 16 commits finished before the kill\n", finished);
}

TEST(JournalCrash, BlockStoreKilledBeforeEveryOperation) {
    KillAtEveryOperation(true);
}
TEST(JournalCrash, SequentialKilledBeforeEveryOperation) {
    KillAtEveryOperation(false);
}
TEST(JournalCrash, BlockStoreKilledDuringUndo) { KillDuringUndo(true); }
TEST(JournalCrash, SequentialKilledDuringUndo) { KillDuringUndo(false); }
TEST(JournalCrash, BlockStoreKilledAtRandomMoments) {
    KillAtRandomMoments(true);
}
TEST(JournalCrash, SequentialKilledAtRandomMoments) {
    KillAtRandomMoments(false);
}

}  // namespace
