// Crash tests of the commit of a set's position store, updated in place: a
// forked child merges new lists (with deletions) into the set and frees its
// broker, which commits.  It is killed with SIGKILL before each file
// operation of the commit in turn (a test hook counts them), and at random
// moments of the update and of the commit.  After each kill the store is
// reopened: the block store's three control files must all be the old ones
// or all the new ones (the new ones are known from the same update run
// beforehand on a copy), and every list, read with the key records of that
// state, must equal the model.  The next update runs on what the kill left.
// Both the block store and the sequential position file; seeds are
// printed, TEST_SEED replays one.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "blocks/voz_blockctrl.hpp"
#include "blocks/voz_ctlgroup.hpp"
#include "blocks/voz_sharedblock_ctrl.hpp"
#include "posstore_fixture.hpp"

namespace {

using namespace posfix;
using Keys = std::map<uint32_t, KEY_REC>;
using Clock = std::chrono::steady_clock;

struct HookState {
    int count = 0;
    int killAt = 0;  // 0: only count
};

void CountOrKill(void* context, const char*) {
    auto* h = static_cast<HookState*>(context);
    if (++h->count == h->killAt) raise(SIGKILL);
}

// The bytes of a control file (its part 0000 when partitioned); empty when
// missing.
std::vector<uint8_t> ReadControl(const std::string& path) {
    std::string file = std::filesystem::is_directory(path) ? path + "/0000"
                                                           : path;
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Store {
public:
    Store(const std::string& root, bool btree, int half = VOZ_HALF_MAIN_NEW)
        : m_root(root), m_btree(btree), m_half(half) {}

    // The half (by default the '#' main half) of index "idx" under `base`,
    // updated in place.
    _FCTLHEAD Set(const std::string& base) const {
        _FCTLHEAD f;
        GTRSTATUS st{};
        voz_SetFctlForRead(&f, "idx", base.c_str(), 0, 0, "KPLQ", "Full", &st);
        f.fileType = m_half;
        if (m_btree) {
            f.flags = VOZ_FCTL_BTREE;
            f.sharedBlockKB = f.branchBlockKB = f.leafBlockKB = 16;
        }
        return f;
    }

    // Creates the empty store; the block store's half directory is left
    // for the creation to make.
    void Create(GTRSTATUS& st) {
        _FCTLHEAD f = Set(m_root);
        if (m_btree) {
            std::filesystem::create_directories(m_root + "/idx");
            vozCreateFirstIndex(&f, &st);
            return;
        }
        vozCreateIndexDirectory(&f, &st);
        vozFreePosBroker(vozAllocatePosBroker(&f, "wb+", &st), &st);
    }

    std::vector<std::vector<uint8_t>> Controls(const std::string& base) const {
        std::vector<std::vector<uint8_t>> out;
        _FCTLHEAD f = Set(base);
        for (uint16_t k : {VOZ_FT_SHARED, VOZ_FT_BRANCH, VOZ_FT_LEAF}) {
            out.push_back(ReadControl(Name(f, VOZ_FT_CONTROL | k)));
        }
        return out;
    }

    // Writes the batch as the sequential source set.
    Keys WriteSource(const Model& batch, GTRSTATUS& st) {
        std::string src = m_root + "/src";
        voz_RemoveTree(src.c_str());
        _FCTLHEAD s = Source();
        Keys recs;
        IndexFixture(src, false).WriteSource(s, batch, recs, st);
        voz_IDXclose(&s, &st);
        return recs;
    }

    // One update of the set under `base`: the source's lists merged in,
    // `del` deleted; the broker is freed (the commit) with `hook` armed.
    // `mark` (when not -1) gets 'C' before the commit and 'D' after it.
    Keys Update(const std::string& base, const Keys& old, const Keys& src,
                const std::vector<uint32_t>& del, HookState* hook, int mark,
                GTRSTATUS& st) {
        _FCTLHEAD n = Set(base), s = Source();
        voz_IDXopen(&s, "rb", &st);
        n.posBroker = vozAllocatePosBroker(&n, "rb+", &st);
        _FCTLHEAD halves[2] = {n, n};
        halves[0].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
        halves[1].deletedDocs = vozAllocateDeletedDocs(nullptr, 1, &st);
        VOZ_deleteDocs(halves, static_cast<uint32_t>(del.size()), del.data(),
                       &st);
        n.deletedDocs = halves[0].deletedDocs;
        std::set<uint32_t> keys;
        for (auto& [k, r] : old) keys.insert(k);
        for (auto& [k, r] : src) keys.insert(k);
        std::unique_ptr<MCTLHEAD> tgt(new MCTLHEAD()), in(new MCTLHEAD());
        tgt->idx = n;
        in->idx = s;
        Keys out;
        uint64_t counter = 0;
        for (uint32_t key : keys) {
            if (st.retcode != 0) break;
            tgt->holdsKey = old.count(key) ? 'Y' : 'N';
            if (old.count(key)) tgt->curKey[0] = old.at(key);
            in->holdsKey = src.count(key) ? 'Y' : 'N';
            if (src.count(key)) in->curKey[0] = src.at(key);
            KEY_REC rec;
            SetKey(rec, key);
            if (!m_btree) rec.level = 0;
            vozMergeMerge(tgt.get(), in.get(), &rec, 1, &counter, &st);
            if (rec.docCount > 0) out[key] = rec;
        }
        vozFreeDeletedDocs(halves[0].deletedDocs, nullptr, &st);
        vozFreeDeletedDocs(halves[1].deletedDocs, nullptr, &st);
        Mark(mark, 'C');
        if (hook != nullptr) voz_BLKsetFileOpHook(CountOrKill, hook);
        vozFreePosBroker(n.posBroker, &st);
        voz_BLKsetFileOpHook(nullptr, nullptr);
        if (st.retcode == 0) Mark(mark, 'D');
        voz_IDXclose(&s, &st);
        return out;
    }

    // Every list of `keys` read through a read-only broker.
    Model Read(const std::string& base, const Keys& keys, GTRSTATUS& st) {
        Model out;
        _FCTLHEAD m = Set(base);
        m.posBroker = vozAllocatePosBroker(&m, "rb", &st);
        for (auto& [key, rec] : keys) {
            PCTLHEAD p{};
            voz_InitPctl(&p, &rec, 0, 'N', &st);
            List l;
            while (st.retcode == 0) {
                voz_PointVvgSkip(&m, &p, 0, &st);
                if (st.retcode != 0 || p.endOfDocs == 'Y') break;
                Doc d{static_cast<uint32_t>(p.curDoc), {}};
                for (;;) {
                    voz_PointPosSkip(&m, &p, 0, &st);
                    if (st.retcode != 0 || p.endOfPos == 'Y') break;
                    d.pos.push_back(p.curPos);
                }
                l.push_back(d);
            }
            voz_TermPctl(&p, &st);
            if (!l.empty()) out[key] = l;
        }
        vozFreePosBroker(m.posBroker, &st);
        return out;
    }

private:
    _FCTLHEAD Source() const {
        _FCTLHEAD s;
        GTRSTATUS st{};
        voz_SetFctlForRead(&s, "idx", (m_root + "/src").c_str(), 0, 0, "KPLQ",
                           "Full", &st);
        return s;
    }
    static void Mark(int fd, char c) {
        if (fd >= 0 && write(fd, &c, 1) != 1) _exit(3);
    }

    std::string m_root;
    bool m_btree;
    int m_half;
};

void CopyTree(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    fs::remove_all(to);
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

void KillCommits(bool btree) {
    TempDir dir("poscommit_crash", fastTempParent());
    uint32_t seed = testSeed();
    std::mt19937 rng(seed);
    const std::string root = dir.path(), dry = root + "/dry";
    Store store(root, btree);
    GTRSTATUS st{};
    store.Create(st);
    ASSERT_OK(st);
    Model model;
    Keys keys;
    auto controls = store.Controls(root);
    int kills = 0, inside = 0, newStates = 0, randomTrials = 8, ops = 0;
    for (int trial = 0;; ++trial) {
        Model batch = MakeBatch(rng, model, {40, 2600, 17000, 300},
                                1 + trial % 3, !btree);
        std::vector<uint32_t> del = PickDeletions(rng, model, 0.2);
        Keys src = store.WriteSource(batch, st);
        ASSERT_OK(st);
        // The same update, run to its end on a copy: the new state.
        CopyTree(root + "/idx", dry + "/idx");
        HookState counted;
        auto begin = Clock::now();
        Keys next = store.Update(dry, keys, src, del, &counted, -1, st);
        auto took = Clock::now() - begin;
        ASSERT_OK(st);
        auto newControls = store.Controls(dry);
        Model newModel = model;
        ApplyToModel(newModel, batch, del);
        ops = counted.count;
        if (trial >= ops + randomTrials) break;
        HookState hook;
        hook.killAt = trial < ops ? trial + 1 : 0;
        int marks[2];
        ASSERT_EQ(pipe(marks), 0);
        uint32_t wait = static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(took)
                .count()) + 1;
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(marks[0]);
            GTRSTATUS cst{};
            store.Update(root, keys, src, del, &hook, marks[1], cst);
            _exit(cst.retcode == 0 ? 0 : 1);
        }
        close(marks[1]);
        char got[2] = {0, 0};
        int n = 0;
        if (hook.killAt == 0) {
            // Random moments: half anywhere in the update, half after the
            // commit began.
            if (trial % 2 == 0 && read(marks[0], got, 1) == 1) ++n;
            usleep(rng() % (trial % 2 == 0 ? wait / 3 + 1 : wait));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ssize_t r;
        while (n < 2 && (r = read(marks[0], got + n, 2 - n)) > 0) n += int(r);
        close(marks[0]);
        bool killed = WIFSIGNALED(status);
        ASSERT_TRUE(killed || WEXITSTATUS(status) == 0) << "trial " << trial;
        bool began = n >= 1, done = n >= 2;
        kills += killed;
        inside += killed && began && !done;
        // Reopen: recovery first, then the state must be the old or the new.
        _FCTLHEAD f = store.Set(root);
        bool isNew = done;
        if (btree) {
            vozRecoverPosControls(&f, &st);
            ASSERT_OK(st);
            auto now = store.Controls(root);
            ASSERT_TRUE(now == controls || now == newControls)
                << "a mix of old and new controls, trial " << trial;
            isNew = now == newControls && (now != controls || done);
            ASSERT_TRUE(isNew || !done) << "trial " << trial;
        }
        if (isNew) {
            model = newModel;
            keys = next;
            controls = newControls;
            ++newStates;
        }
        ASSERT_EQ(store.Read(root, keys, st), model) << "trial " << trial;
        ASSERT_OK(st);
    }
    // A further update over whatever the kills left.
    Model batch = MakeBatch(rng, model, {500, 3000, 25000}, 2, !btree);
    std::vector<uint32_t> del = PickDeletions(rng, model, 0.3);
    Keys src = store.WriteSource(batch, st);
    keys = store.Update(root, keys, src, del, nullptr, -1, st);
    ASSERT_OK(st);
    ApplyToModel(model, batch, del);
    EXPECT_EQ(store.Read(root, keys, st), model);
    ASSERT_OK(st);
    std::printf("%d file operations in a commit; %d kills, %d inside the "
                "commit, %d left the new state\n", ops, kills, inside,
                newStates);
}

// One update of `store` with a fresh batch; returns the new key records and
// applies the batch to `model`.
Keys UpdateOnce(Store& store, const std::string& root, std::mt19937& rng,
                Model& model, const Keys& keys, GTRSTATUS& st) {
    Model batch = MakeBatch(rng, model, {60, 2600, 21000}, 1, false);
    Keys src = store.WriteSource(batch, st);
    Keys next = store.Update(root, keys, src, {}, nullptr, -1, st);
    ApplyToModel(model, batch, {});
    return next;
}

TEST(PosCommit, CreationMakesTheMissingHalfDirectory) {
    for (int half : {VOZ_HALF_MAIN_NEW, VOZ_HALF_SUPP_NEW}) {
        TempDir dir("poscommit_create");
        std::mt19937 rng(half);
        Store store(dir.path(), true, half);
        GTRSTATUS st{};
        store.Create(st);  // only the index directory exists
        ASSERT_OK(st);
        auto ctl = store.Controls(dir.path());
        ASSERT_EQ(ctl[0].size(), VOZ_SLOTCTL_HEADER) << "half " << half;
        EXPECT_EQ(ctl[0][0], 2);
        for (int i = 1; i < 3; ++i) {
            ASSERT_EQ(ctl[i].size(), VOZ_BLKCTL_HEADER);
            EXPECT_EQ(ctl[i][0], 1);
        }
        Model model;
        Keys keys = UpdateOnce(store, dir.path(), rng, model, {}, st);
        ASSERT_OK(st);
        EXPECT_EQ(store.Read(dir.path(), keys, st), model);
    }
}

TEST(PosCommit, ASwitchedHalfTakesAFurtherCommittedUpdate) {
    TempDir dir("poscommit_switch");
    const std::string root = dir.path();
    std::mt19937 rng(7);
    Store fresh(root, true), main(root, true, VOZ_HALF_MAIN);
    GTRSTATUS st{};
    fresh.Create(st);
    Model model;
    Keys keys = UpdateOnce(fresh, root, rng, model, {}, st);
    ASSERT_OK(st);
    _FCTLHEAD from = fresh.Set(root), to = main.Set(root);
    voz_IDXswitchDir(&from, &to, &st);
    ASSERT_OK(st);
    ASSERT_FALSE(std::filesystem::exists(Name(from, VOZ_FT_DIR)));
    // The update of main writes its controls into the '#' half, which the
    // switch took away.
    keys = UpdateOnce(main, root, rng, model, keys, st);
    ASSERT_OK(st);
    EXPECT_EQ(main.Read(root, keys, st), model);
    auto ctl = fresh.Controls(root);
    EXPECT_EQ(ctl[0][0], 2);
    EXPECT_GT(voz_getBE32(&ctl[2][8]), 0u);  // leaf blocks counted
    ASSERT_OK(st);
}

TEST(PosCommitCrash, BlockStoreIsAllOldOrAllNewAfterAKill) { KillCommits(true); }

TEST(PosCommitCrash, SequentialFileKeepsEveryCommittedList) {
    KillCommits(false);
}

}  // namespace
