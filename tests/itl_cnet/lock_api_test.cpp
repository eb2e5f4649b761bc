// Dictionary locks seen through the exported calls, between processes: a
// forked child compiles, commits or looks up and is held inside the call
// at a chosen file operation (through the test hook) while the test calls
// the library; a holder killed there leaves no lock behind. Inside one
// process, a call made from within another (from the hook) conflicts as
// it would between processes.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "cnet_dict_util.hpp"
#include "itl_api.h"
#include "itl_thesaurus.h"

namespace {

const char* const kDefA = ":WORDS:SYNONYM\ncar\nauto\n:WORDS:RELATED\nboat\nship\n";
const char* const kDefB = ":WORDS:SYNONYM\ncar\nmotorcar\n:WORDS:RELATED\nboat\nferry\n";

// A synonym lookup of "car" through the exported functions: "AUTO" (A),
// "MOTORCAR" (B), or "rc/reason: context".
std::string lookup(const std::string& dir) {
    ItlTyErrorInfoHandle ei = nullptr;
    ItlTyContextHandle ctx = nullptr;
    ItlTyThesaurusLookupHandle th = nullptr;
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    std::string out;
    ItlEnReturnCode rc = itlHandleNewThesaurusLookup(dir.c_str(), "th", 1252, 10, &th, ctx);
    ItlTyListHandle list = nullptr;
    if (rc == ItlEnReturnCode_Success) {
        itlThesaurusLookupSetRelationTypes(th, ITL_THES_SYNONYM);
        rc = itlThesaurusLookupPerform(th, &list, "car", 3);
    }
    if (rc != ItlEnReturnCode_Success) {
        out = std::to_string(rc) + "/" + std::to_string(itlErrorInfoGetReasonCode(ei)) + ": " +
              itlErrorInfoGetContext(ei);
    } else {
        ItlTyIteratorHandle it = nullptr;
        itlHandleNewIterator(list, &it);
        for (bool ok = itlListIteratorIsValid(it); ok; ok = itlListIteratorSetToNext(it, 1)) {
            char term[ITL_THES_TERM_MAX];
            uint32_t len = 0;
            itlThesaurusEntryObtainData(it, term, &len, nullptr, nullptr, nullptr, nullptr);
            out += (out.empty() ? "" : ",") + std::string(term, len);
        }
        itlHandleDeleteIterator(&it);
        itlHandleDeleteList(&list);
    }
    itlHandleDeleteThesaurusLookup(&th);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
    return out;
}

// The child's hold point: the nth (from 1) file operation named g_holdOp.
const char* g_holdOp = nullptr;
int g_holdNth = 0;
int g_seen = 0;
int g_toParent = -1, g_fromParent = -1;

int holdAt(const char* op, const char*) {
    if (g_holdOp != nullptr && std::strcmp(op, g_holdOp) == 0 && ++g_seen == g_holdNth) {
        char c = 'H';
        if (write(g_toParent, &c, 1) != 1 || read(g_fromParent, &c, 1) != 1) _exit(99);
    }
    return 0;
}

// A forked child that runs `fn` with the hook above and reports fn's text
// at its end. held() waits until it stands at its hold point.
class HeldChild {
public:
    HeldChild(const char* op, int nth, const std::function<std::string()>& fn) {
        int up[2], down[2];
        EXPECT_EQ(pipe(up), 0);
        EXPECT_EQ(pipe(down), 0);
        std::fflush(stdout);
        std::fflush(stderr);
        m_pid = fork();
        if (m_pid == 0) {
            close(up[0]);
            close(down[1]);
            g_holdOp = op;
            g_holdNth = nth;
            g_toParent = up[1];
            g_fromParent = down[0];
            cnetSetTestHooks(&holdAt, nullptr);
            const std::string r = "R" + fn();
            if (write(up[1], r.data(), r.size()) != static_cast<ssize_t>(r.size())) _exit(98);
            _exit(0);
        }
        close(up[1]);
        close(down[0]);
        m_in = up[0];
        m_out = down[1];
    }
    ~HeldChild() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_in);
        close(m_out);
    }
    // True once the child stands at its hold point (30 s at most).
    bool held() {
        pollfd p{m_in, POLLIN, 0};
        if (poll(&p, 1, 30000) != 1) return false;
        char c = 0;
        return read(m_in, &c, 1) == 1 && c == 'H';
    }
    // Lets the child go on; its result text.
    std::string finish() {
        char c = 'G';
        EXPECT_EQ(write(m_out, &c, 1), 1);
        std::string r;
        char buf[256];
        ssize_t n;
        while ((n = read(m_in, buf, sizeof buf)) > 0) r.append(buf, static_cast<size_t>(n));
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return r.empty() ? r : r.substr(1);
    }
    void killNow() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
};

struct Dict {
    TempDir dir{"cnet_lockapi", fastTempParent()};
    std::string path() const { return dir.path(); }
    std::string ansA, ansB;
    Dict() {
        EXPECT_EQ(cdict::compile(path(), "th", kDefA).retcode, 0u);
        ansA = lookup(path());
        EXPECT_EQ(ansA, "AUTO");
        writeFile(path() + "/b.def", kDefB);
    }
    // Compiles B (or A) over the dictionary; the retcode.
    uint32_t compile(bool b = true) {
        return cdict::compile(path(), "th", b ? kDefB : kDefA).retcode;
    }
};


// The context ends with the message; its first lines hold the codes.
bool inUse(const std::string& answer) {
    return answer.rfind("8/15: ", 0) == 0 &&
           answer.find("Thesaurus dictionary th is in use.") != std::string::npos;
}

// A compile held while it builds its new set holds the compiler lock only:
// a second compile is refused at once, lookups go on with the old
// dictionary; the held compile then commits and lookups see the new one.
TEST(CnetLockApi, CompileWhileAnotherBuilds) {
    Dict d;
    HeldChild child("write", 1, [&] { return std::to_string(d.compile()); });
    ASSERT_TRUE(child.held());
    ScopedHooks hooks;
    // (B again: the held compile is still reading the definition file.)
    EXPECT_EQ(d.compile(), 531u);
    EXPECT_EQ(hooks.sleeps, 0);
    CNETSTATUS st;
    vozCNETclear(d.path().c_str(), "th", &st);
    EXPECT_EQ(st.retcode, 531u);
    EXPECT_EQ(lookup(d.path()), "AUTO");
    EXPECT_EQ(child.finish(), "0");
    EXPECT_EQ(lookup(d.path()), "MOTORCAR");
}

// A compile held inside its commit (the live set being replaced) keeps
// every reader out: the lookup functions give 8/15 "in use", the engine's
// calls 531; afterwards the new dictionary answers.
TEST(CnetLockApi, LookupDuringACommitIsInUse) {
    Dict d;
    HeldChild child("rename", 1, [&] { return std::to_string(d.compile()); });
    ASSERT_TRUE(child.held());
    const std::string got = lookup(d.path());
    EXPECT_TRUE(inUse(got)) << got;
    cdict::Lookup lk;
    EXPECT_EQ(lk.run(d.path(), "th", "car", nullptr).retcode, 531u);
    ScopedHooks hooks;
    EXPECT_EQ(d.compile(false), 531u);
    EXPECT_EQ(hooks.sleeps, 0);
    EXPECT_EQ(child.finish(), "0");
    EXPECT_EQ(lookup(d.path()), "MOTORCAR");
}

// A lookup held while it reads keeps a commit out: the commit counts down
// (its sleeps through the hook) and gives 531; the old dictionary stays
// live and whole, the held lookup answers from it, and the next compile
// succeeds.
TEST(CnetLockApi, CommitWhileALookupReads) {
    Dict d;
    HeldChild child("read", 1, [&] { return lookup(d.path()); });
    ASSERT_TRUE(child.held());
    {
        ScopedHooks hooks;
        uint32_t rc = 0;
        Captured out = capture([&] {
            rc = cdict::compile(d.path(), "th", kDefB, 8,
                                CNET_EXEC_REPLACE | CNET_EXEC_PROGRESS)
                     .retcode;
        });
        EXPECT_EQ(rc, 531u);
        EXPECT_EQ(hooks.sleeps, 15);
        EXPECT_NE(out.out.find("Cannot lock the dictionary."), std::string::npos) << out.out;
    }
    EXPECT_EQ(lookup(d.path()), "AUTO");  // readers share
    EXPECT_EQ(child.finish(), "AUTO");
    EXPECT_EQ(lookup(d.path()), "AUTO");
    EXPECT_EQ(d.compile(), 0u);
    EXPECT_EQ(lookup(d.path()), "MOTORCAR");
}

// Holders killed at their hold points: a killed reader and a killed
// builder leave no lock (the next compile locks at once); a commit killed
// after its mark is finished by the next lookup, which sees the new
// dictionary whole.
TEST(CnetLockApi, KilledHoldersLeaveNoLock) {
    Dict d;
    {
        HeldChild reader("read", 1, [&] { return lookup(d.path()); });
        ASSERT_TRUE(reader.held());
        reader.killNow();
        ScopedHooks hooks;
        EXPECT_EQ(d.compile(false), 0u);
        EXPECT_EQ(hooks.sleeps, 0);
    }
    {
        HeldChild builder("write", 1, [&] { return std::to_string(d.compile()); });
        ASSERT_TRUE(builder.held());
        builder.killNow();
        EXPECT_EQ(lookup(d.path()), "AUTO");
        ScopedHooks hooks;
        EXPECT_EQ(d.compile(false), 0u);
        EXPECT_EQ(hooks.sleeps, 0);
    }
    {
        HeldChild committer("rename", 2, [&] { return std::to_string(d.compile()); });
        ASSERT_TRUE(committer.held());
        committer.killNow();
        EXPECT_EQ(lookup(d.path()), "MOTORCAR");
        EXPECT_EQ(readFile(d.path() + "/th.lk3"), "CL03");
        EXPECT_EQ(d.compile(false), 0u);
        EXPECT_EQ(lookup(d.path()), "AUTO");
    }
}

// Inside one process: a compile, a clear and a lookup started from within
// a compile's commit (from the hook) are refused as they would be from
// another process, and the outer compile completes.
uint32_t g_innerCompile = 0, g_innerClear = 0;
std::string g_innerLookup;
const std::string* g_dir = nullptr;
int innerCalls(const char* op, const char*) {
    if (std::strcmp(op, "rename") == 0 && g_dir != nullptr) {
        const std::string dir = *g_dir;
        g_dir = nullptr;  // once
        g_innerCompile = cdict::compile(dir, "th", kDefA).retcode;
        CNETSTATUS st;
        vozCNETclear(dir.c_str(), "th", &st);
        g_innerClear = st.retcode;
        g_innerLookup = lookup(dir);
    }
    return 0;
}

TEST(CnetLockApi, CallsFromInsideACommitInOneProcess) {
    Dict d;
    const std::string dir = d.path();
    g_dir = &dir;
    cnetSetTestHooks(&innerCalls, nullptr);
    const uint32_t rc = d.compile();
    cnetSetTestHooks(nullptr, nullptr);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(g_innerCompile, 531u);
    EXPECT_EQ(g_innerClear, 531u);
    EXPECT_TRUE(inUse(g_innerLookup)) << g_innerLookup;
    EXPECT_EQ(lookup(d.path()), "MOTORCAR");
}

}  // namespace
