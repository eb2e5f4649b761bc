// Tests of the dictionary locks: between forked processes (a child holds a
// lock while the test asks for another), inside one process through the
// registry, the waits and their output (sleeps go through the test hook),
// and the lock files that every mode leaves behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "cnet_lock.hpp"
#include "cnet_test_util.hpp"
#include "ti_test_util.hpp"

namespace {

struct Dict {
    TempDir dir{"cnet_lock", fastTempParent()};
    std::string lk(int n) const { return dir.file("th.lk" + std::to_string(n)); }
    const char* spec() const { return dir.path().c_str(); }
    // A complete dictionary's marks: a commit's lock and unlock.
    void complete() {
        CNETLOCK lk;
        cnetLockInit(&lk);
        CNETSTATUS st{};
        CNETEXEC quiet{};
        ASSERT_TRUE(cnetLock(&quiet, 2, spec(), "th", &lk, &st)) << st.retcode;
        ASSERT_TRUE(cnetUnlock(&quiet, 2, spec(), "th", &lk, &st)) << st.retcode;
        ASSERT_EQ(readFile(this->lk(3)), "CL03");
    }
};

// A forked child that takes the locks of one mode and holds them until
// told to let go ('r'); it answers each step on a pipe.
class Holder {
public:
    Holder(const Dict& d, int mode) {
        int up[2], down[2];
        if (pipe(up) != 0 || pipe(down) != 0) std::abort();
        std::fflush(stdout);
        std::fflush(stderr);
        m_pid = fork();
        if (m_pid == 0) {
            close(up[0]);
            close(down[1]);
            CNETLOCK lk;
            cnetLockInit(&lk);
            CNETSTATUS st{};
            CNETEXEC quiet{};
            char ok = cnetLock(&quiet, mode, d.spec(), "th", &lk, &st) ? 'y' : 'n';
            if (write(up[1], &ok, 1) != 1) _exit(2);
            char cmd;
            while (read(down[0], &cmd, 1) == 1) {
                if (cmd == 'r') {
                    cnetUnlock(&quiet, mode, d.spec(), "th", &lk, &st);
                    if (write(up[1], "d", 1) != 1) _exit(2);
                }
            }
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        m_up = up[0];
        m_down = down[1];
        char ok = 0;
        if (read(m_up, &ok, 1) != 1) ok = 0;
        m_locked = ok == 'y';
    }
    ~Holder() {
        close(m_down);
        close(m_up);
        waitpid(m_pid, nullptr, 0);
    }
    bool locked() const { return m_locked; }
    void release() {
        char ack;
        if (write(m_down, "r", 1) != 1 || read(m_up, &ack, 1) != 1) std::abort();
    }

private:
    pid_t m_pid;
    int m_up, m_down;
    bool m_locked;
};

struct Call {
    CNETLOCK lk;
    CNETSTATUS st{};
    Call() { cnetLockInit(&lk); }
    bool lock(const Dict& d, int mode, const CNETEXEC* opts = nullptr) {
        return cnetLock(opts, mode, d.spec(), "th", &lk, &st);
    }
    bool unlock(const Dict& d, int mode) {
        CNETEXEC quiet{};
        return cnetUnlock(&quiet, mode, d.spec(), "th", &lk, &st);
    }
};

// "\n", a time-stamped line, the countdown from `from` to `to`, "\n", a
// time-stamped line, with the stamps replaced by "<t>".
std::string waitOutput(int from, int to, const char* outcome) {
    std::string s = "\n<t>Waiting to lock the dictionary...\n";
    for (int n = from; n >= to; --n)
        s += "          " + std::to_string(n) + "sec          \r";
    return s + "\n<t>" + outcome;
}

std::string unstamp(const std::string& out) {
    std::string s;
    size_t i = 0;
    while (i < out.size()) {
        // "Fri Dec 11 06:07:21 2026: " is 26 bytes
        if (out.size() - i >= 26 && out[i + 24] == ':' && out[i + 25] == ' ' &&
            out[i + 13] == ':' && out[i + 16] == ':') {
            s += "<t>";
            i += 26;
        } else {
            s += out[i++];
        }
    }
    return s;
}

TEST(CnetLockProcesses, SecondCompilationIsRefusedAtOnce) {
    Dict d;
    Holder first(d, 1);
    ASSERT_TRUE(first.locked());
    ScopedHooks hooks;
    Call second;
    EXPECT_FALSE(second.lock(d, 1));
    EXPECT_EQ(second.st.retcode, 531u);
    EXPECT_EQ(second.st.fname1, d.lk(2));
    EXPECT_EQ(hooks.sleeps, 0);
    second.unlock(d, 1);
}

TEST(CnetLockProcesses, CommitAgainstReaderCountsDownAndKeepsTheMark) {
    Dict d;
    d.complete();
    Holder reader(d, 4);
    ASSERT_TRUE(reader.locked());
    ScopedHooks hooks;
    Call commit;
    Captured got = capture([&] { EXPECT_FALSE(commit.lock(d, 2)); });
    EXPECT_EQ(unstamp(got.out), waitOutput(15, 1, "Cannot lock the dictionary.\n"));
    EXPECT_EQ(hooks.sleeps, 15);
    EXPECT_EQ(commit.st.retcode, 531u);
    EXPECT_EQ(commit.st.fname1, d.lk(1));
    EXPECT_EQ(readFile(d.lk(3)), "CL03");  // still readable
    commit.unlock(d, 3);
    commit.unlock(d, 2);
    EXPECT_EQ(readFile(d.lk(3)), "CL03");
}

TEST(CnetLockProcesses, ReaderLettingGoMidWaitGivesLocked) {
    Dict d;
    d.complete();
    Holder reader(d, 4);
    ASSERT_TRUE(reader.locked());
    ScopedHooks hooks;
    hooks.onSleep = [&](unsigned) {
        if (hooks.sleeps == 3) reader.release();
    };
    Call commit;
    Captured got = capture([&] { EXPECT_TRUE(commit.lock(d, 2)); });
    EXPECT_EQ(unstamp(got.out), waitOutput(15, 13, "Locked.\n"));
    EXPECT_FALSE(exists(d.lk(3)));  // removed under the lock
    EXPECT_TRUE(commit.unlock(d, 2));
    EXPECT_EQ(readFile(d.lk(3)), "CL03");
    EXPECT_EQ(readFile(d.lk(1)), "CL01");
}

TEST(CnetLockProcesses, ClearAgainstReaderKeepsTheMark) {
    Dict d;
    d.complete();
    Holder reader(d, 4);
    ScopedHooks hooks;
    Call clear;
    Captured got = capture([&] { EXPECT_FALSE(clear.lock(d, 3)); });
    EXPECT_EQ(got.out, "");  // a clear waits silently
    EXPECT_EQ(hooks.sleeps, 3);
    EXPECT_EQ(clear.st.retcode, 531u);
    EXPECT_EQ(clear.st.fname1, d.lk(1));
    EXPECT_EQ(readFile(d.lk(3)), "CL03");
    clear.unlock(d, 3);
    // The clear's compiler lock is free again.
    Call compile;
    EXPECT_TRUE(compile.lock(d, 1));
    compile.unlock(d, 1);
}

TEST(CnetLockProcesses, ReaderWithoutMarkGets543) {
    Dict d;
    Call reader;
    EXPECT_FALSE(reader.lock(d, 4));
    EXPECT_EQ(reader.st.retcode, 543u);
    EXPECT_EQ(reader.st.fname1, d.lk(3));
    EXPECT_EQ(reader.lk.fd[0], -1);
    // With the mark but while a compilation replaces it: 543 as well.
    d.complete();
    Call commit;
    ASSERT_TRUE(commit.lock(d, 2));
    int rc = runChild([&] {
        Call r;
        r.lock(d, 4);
        return static_cast<int>(r.st.retcode - 500);
    });
    EXPECT_EQ(rc, 31);  // the commit's access lock refuses the reader first
    commit.unlock(d, 2);
}

TEST(CnetLockFiles, AccessAndCompilerLocksSurviveEveryUnlock) {
    Dict d;
    d.complete();
    for (int mode : {1, 2, 3, 4}) {
        if (mode == 4 && !exists(d.lk(3))) d.complete();
        Call c;
        ASSERT_TRUE(c.lock(d, mode)) << mode << " " << c.st.retcode;
        EXPECT_TRUE(c.unlock(d, mode)) << mode;
        EXPECT_TRUE(exists(d.lk(1))) << mode;
        if (mode != 2 && mode != 4) {
            EXPECT_EQ(readFile(d.lk(2)), "CL02") << mode;
        }
        // A commit writes the mark again; a clear leaves it removed.
        if (mode == 2) {
            EXPECT_EQ(readFile(d.lk(3)), "CL03");
        }
        if (mode == 3) {
            EXPECT_FALSE(exists(d.lk(3)));
        }
    }
    EXPECT_EQ(readFile(d.lk(1)), "CL01");
}

// A compilation killed while it holds its locks (after the commit lock
// removed the mark) leaves no lock behind: the next compilation locks at
// once, and readers are kept out until a commit writes the mark again.
TEST(CnetLockProcesses, LocksDieWithTheirProcess) {
    Dict d;
    d.complete();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        Call compile, commit;
        CNETEXEC quiet{};
        bool ok = compile.lock(d, 1) && commit.lock(d, 2, &quiet);
        if (write(ready[1], ok ? "y" : "n", 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_FALSE(exists(d.lk(3)));
    Call reader;
    EXPECT_FALSE(reader.lock(d, 4));
    EXPECT_EQ(reader.st.retcode, 543u);
    ScopedHooks hooks;
    Call compile, commit;
    EXPECT_TRUE(compile.lock(d, 1));
    EXPECT_TRUE(commit.lock(d, 2));
    EXPECT_EQ(hooks.sleeps, 0);
    EXPECT_TRUE(commit.unlock(d, 2));
    EXPECT_TRUE(compile.unlock(d, 1));
    Call after;
    EXPECT_TRUE(after.lock(d, 4));
    after.unlock(d, 4);
}

TEST(CnetLockFiles, TwoDirectoriesAreNeverLocked) {
    Dict d;
    std::string spec = d.dir.path() + "\t" + d.dir.path();
    for (int mode : {1, 2, 3, 4}) {
        CNETLOCK lk;
        cnetLockInit(&lk);
        CNETSTATUS st{};
        EXPECT_TRUE(cnetLock(nullptr, mode, spec.c_str(), "th", &lk, &st));
        EXPECT_TRUE(cnetUnlock(nullptr, mode, spec.c_str(), "th", &lk, &st));
    }
    for (int n : {1, 2, 3}) EXPECT_FALSE(exists(d.lk(n)));
}

TEST(CnetLockFiles, OtherModesAndKindsAre501) {
    Dict d;
    Call c;
    EXPECT_FALSE(c.lock(d, 5));
    EXPECT_EQ(c.st.retcode, 501u);
    int err = 0;
    EXPECT_EQ(cnetLockFile(d.lk(1).c_str(), 17, &err), -1);
    EXPECT_EQ(err, EINVAL);
}

TEST(CnetLockFiles, RefusedMarkRemovalIs515AndKeepsIt) {
    Dict d;
    d.complete();
    ScopedHooks hooks;
    hooks.refuse["lock-remove"] = {EIO, -1};
    Call commit;
    EXPECT_FALSE(commit.lock(d, 2, nullptr));
    EXPECT_EQ(commit.st.retcode, 515u);
    EXPECT_EQ(commit.st.fname1, d.lk(3));
    commit.unlock(d, 2);
    EXPECT_EQ(readFile(d.lk(3)), "CL03");
}

TEST(CnetLockInProcess, RequestsConflictAsBetweenProcesses) {
    Dict d;
    d.complete();
    ScopedHooks hooks;
    {
        Call a, b;
        ASSERT_TRUE(a.lock(d, 1));
        EXPECT_FALSE(b.lock(d, 1));
        EXPECT_EQ(b.st.retcode, 531u);
        b.unlock(d, 1);
        EXPECT_TRUE(a.unlock(d, 1));
        Call c;  // free again
        EXPECT_TRUE(c.lock(d, 1));
        c.unlock(d, 1);
    }
    {
        Call commit, reader;
        ASSERT_TRUE(commit.lock(d, 2));
        EXPECT_FALSE(reader.lock(d, 4));
        EXPECT_EQ(reader.st.retcode, 531u);
        EXPECT_EQ(reader.st.fname1, d.lk(1));
        reader.unlock(d, 4);
        commit.unlock(d, 2);
    }
    {
        Call reader, commit;
        ASSERT_TRUE(reader.lock(d, 4));
        CNETEXEC quiet{};
        hooks.sleeps = 0;
        EXPECT_FALSE(commit.lock(d, 2, &quiet));
        EXPECT_EQ(hooks.sleeps, 15);
        EXPECT_EQ(commit.st.retcode, 531u);
        commit.unlock(d, 3);
        reader.unlock(d, 4);
        EXPECT_EQ(readFile(d.lk(3)), "CL03");
    }
}

// The holder count: one of two readers letting go must not drop the
// process's shared lock (a close of any descriptor of the file would).
TEST(CnetLockInProcess, OneReaderLettingGoKeepsTheSharedLock) {
    Dict d;
    d.complete();
    Call r1, r2;
    ASSERT_TRUE(r1.lock(d, 4));
    ASSERT_TRUE(r2.lock(d, 4));
    EXPECT_EQ(r1.lk.fd[0], r2.lk.fd[0]);  // one descriptor for the file
    EXPECT_TRUE(r1.unlock(d, 4));
    auto childTry = [&] {
        return runChild([&] {
            int err = 0;
            int fd = cnetLockFile(d.lk(1).c_str(), CNET_LOCK_EXCLUSIVE, &err);
            return fd >= 0 ? 0 : (err == EAGAIN || err == EACCES ? 1 : 2);
        });
    };
    EXPECT_EQ(childTry(), 1);  // still held by r2
    EXPECT_TRUE(r2.unlock(d, 4));
    EXPECT_EQ(childTry(), 0);
}

}  // namespace
