// Crash runs of the engine's update cycle, shared by the crash test
// (tests/itl_base/calls/engine_crash_test.cpp, a few dozen kills) and the
// driver bench/crash_driver.cpp (any number).
//
// A forked child runs one update of index "idx" through the engine calls
// and is killed with SIGKILL during its commit. Four kinds of update, on
// both sub-indexes (text and items):
//   append   GTRcreateIndexTerm 'G' of documents added to an existing index
//   merge    VOZ_mergeIndexFinish 'G' (the supp halves merged into main)
//   delete   GTRdeleteDocFinish 'G' of two documents
//   create   the first creation of the index (nothing there before), the
//            whole cycle from GTRcreateIndexInit
// each with the positions in sequential files (the default for small
// indexes) or in the block store (whose control files the commit switches
// too).
// Moments: the file operations of the commit (those of the journal, of
// the switch of a new index and of the block store) are counted through their test hooks in one
// run first. A kill then either dies just before operation k (precise), or
// operation k signals the parent, which kills after a random delay of up
// to the time the counting run took from that operation to the next (so
// the kills spread over the whole commit, inside operations too).
// After each kill the parent opens the index as a user would: both
// sub-indexes verify (GTRverifyIndex) and hold the same documents, those
// of the old or of the new content (or no index at all when none was there
// before), the key counts agree with them, the known query answers as
// before or as after (GTRsearchIndex), and the next update succeeds and
// leaves no temporary directory or journal mark behind.
// Header-only; failures come back as text (no gtest assertions), so that
// a plain program can drive it.
#ifndef TESTS_ITL_BASE_CALLS_ENGINE_CRASH_HPP
#define TESTS_ITL_BASE_CALLS_ENGINE_CRASH_HPP

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "blocks/voz_ctlgroup.hpp"
#include "build/voz_journal.hpp"
#include "gtrmaint_fixture.hpp"
#include "gtrquery_fixture.hpp"
#include "ti_crash_child.hpp"

namespace ecfix {

using mtfix::Docs;
using Clock = std::chrono::steady_clock;

enum class Kind { Append, Merge, Delete, Create };
constexpr Kind kKinds[] = {Kind::Append, Kind::Merge, Kind::Delete, Kind::Create};

// Where the positions lie.
enum class Store { Files, Blocks };
constexpr Store kStores[] = {Store::Files, Store::Blocks};

// The block-store threshold of the creation parameters.
inline int16_t ThresholdOf(Store store) { return store == Store::Blocks ? 1 : -1; }

inline const char* NameOf(Store store) { return store == Store::Blocks ? "blocks" : "files"; }

inline const char* NameOf(Kind kind) {
    switch (kind) {
    case Kind::Append: return "append";
    case Kind::Merge: return "merge";
    case Kind::Delete: return "delete";
    case Kind::Create: return "create";
    }
    return "?";
}

// The documents an append adds (every word, two of them the query's).
inline Docs Appended() { return {{31, 2}, {32, 3}, {33, 0}, {34, 1}, {35, 2}, {36, 4}}; }
// The documents a deletion removes: one of main, one of supp, both found
// by the query.
inline std::vector<int32_t> Deleted() { return {7, 23}; }
// The documents of the first creation.
inline Docs Created() {
    Docs d;
    for (int32_t n = 1; n <= 12; ++n) d[n] = static_cast<int>(n % mtfix::kWordCount);
    return d;
}

// The known query: the documents holding the word "ef" or "gh", as
// structured words matched case-sensitively (the words are lower case).
inline std::set<int32_t> QueryModel(const Docs& docs) {
    std::set<int32_t> out;
    for (const auto& [doc, word] : docs)
        if (word == 2 || word == 3) out.insert(doc);
    return out;
}

// ---- kill hooks ---------------------------------------------------------

// The hooks of the journal, the new-index switch and the block store share one state: the
// operations seen, the one to kill at, and where the parent waits.
struct HookState {
    int count = 0;
    int killAt = 0;       // 0: count only
    int signalFd = -1;    // -1: die at once; else tell the parent
    std::vector<Clock::time_point>* times = nullptr;  // counting run
};

inline HookState& Hook() {
    static HookState state;
    return state;
}

inline int OnFileOp(const char*, const char*) {
    HookState& h = Hook();
    if (h.times != nullptr) h.times->push_back(Clock::now());
    if (++h.count != h.killAt) return 0;
    if (h.signalFd < 0) raise(SIGKILL);
    const char c = 'k';
    if (write(h.signalFd, &c, 1) != 1) raise(SIGKILL);
    return 0;
}

inline void OnBlockFileOp(void*, const char* what) { OnFileOp(what, ""); }

inline void ArmHooks() {
    voz_JnlSetTestHook(OnFileOp);
    vozSetCommitTestHook(OnFileOp);
    voz_BLKsetFileOpHook(OnBlockFileOp, nullptr);
}

inline void DisarmHooks() {
    voz_JnlSetTestHook(nullptr);
    vozSetCommitTestHook(nullptr);
    voz_BLKsetFileOpHook(nullptr, nullptr);
}

// ---- the update and what it may leave -----------------------------------

// The content before and after the update.
struct States {
    bool existed = true;  // false: no index before (create)
    Docs before, after;
};

// Puts the index the update starts from into `env`.
inline States Prepare(const mtfix::Env& env, Kind kind, Store store) {
    States s;
    if (kind == Kind::Create) {
        s.existed = false;
        s.after = Created();
        return s;
    }
    s.before = s.after = mtfix::CopyBase(env, ThresholdOf(store));
    if (kind == Kind::Append)
        for (const auto& d : Appended()) s.after.insert(d);
    if (kind == Kind::Delete)
        for (int32_t d : Deleted()) s.after.erase(d);
    return s;
}

// Runs the update of `kind` with the hooks armed for its commit.
inline GTRSTATUS RunUpdate(const mtfix::Env& env, Kind kind, Store store) {
    GTRSTATUS st{};
    switch (kind) {
    case Kind::Append:
        mtfix::Update(env.out, env.work, 'A', Appended(), &st, 3, ThresholdOf(store), ArmHooks);
        break;
    case Kind::Merge:
        mtfix::Merge(env.out, env.work, 'G', &st, ArmHooks);
        break;
    case Kind::Delete:
        mtfix::Delete(env.out, env.work, Deleted(), 'G', &st, ArmHooks);
        break;
    case Kind::Create:
        ArmHooks();
        mtfix::Update(env.out, env.work, 'N', Created(), &st, 3, ThresholdOf(store));
        break;
    }
    DisarmHooks();
    return st;
}

inline std::string StatusText(const GTRSTATUS& st) {
    return std::to_string(st.retcode) + "/" + std::to_string(st.errcode) + " " + st.errfname1;
}

template <typename C>
std::string ListText(const C& numbers) {
    std::string t = "{";
    for (const auto& n : numbers) t += (t.size() > 1 ? " " : "") + std::to_string(n);
    return t + "}";
}

// The entries of `dir` and of its directories, for failure reports.
inline std::string Listing(const std::string& dir) {
    std::string t;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        t += " " + std::filesystem::relative(it->path(), dir).string();
    return t;
}

// The documents the known query finds; the search's status in `st`.
inline std::set<int32_t> Query(const mtfix::Env& env, GTRSTATUS* st) {
    gqfix::WordCond q({"ef", "gh"}, "1 + 2");
    for (RTRVWORD& w : q.words) w.casesens = 'C';
    GTRSEARCH_RES r = gqfix::result(GTR_RES_FILE, env.tmp.path() + "/query.res");
    GTRsearchIndex(nullptr, "idx", env.out.c_str(), nullptr, q.c, nullptr, nullptr, nullptr,
                   &r, st);
    std::set<int32_t> docs;
    if (st->retcode == 0) docs = gqfix::readFile(r);
    std::remove(r.res_fname);
    return docs;
}

// Names in the output directory holding '!' (new indexes not switched in).
inline std::vector<std::string> Builds(const mtfix::Env& env) {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(env.out)) {
        const std::string n = e.path().filename().string();
        if (n.find('!') != std::string::npos) v.push_back(n);
    }
    return v;
}

// What the next open of the index finds after a kill: -1 no index, 0 the
// old content, 1 the new. Checks it whole, then runs the next update. The
// first fault goes into *why.
inline int CheckAfterKill(const mtfix::Env& env, Kind kind, Store store, const States& s,
                          std::string* why) {
    auto fail = [why](const std::string& m) {
        if (why->empty()) *why = m;
    };
    GTRSTATUS st{};
    int found = -1;
    Docs now;
    if (!s.existed && !std::filesystem::exists(env.dir)) {
        Query(env, &st);
        if (st.retcode != 20) fail("no index, yet the search answered " + StatusText(st));
    } else {
        const std::vector<int32_t> text = mtfix::Live(env.out, 0x40, &st);
        if (st.retcode != 0) fail("text verification " + StatusText(st));
        const std::vector<int32_t> items = mtfix::Live(env.out, 0, &st);
        if (st.retcode != 0) fail("item verification " + StatusText(st));
        if (!why->empty()) return found;
        if (text != items) fail("text " + ListText(text) + " and items " + ListText(items) + " apart");
        const bool isOld = s.existed && text == mtfix::Numbers(s.before);
        const bool isNew = text == mtfix::Numbers(s.after);
        if (!isOld && !isNew) fail("documents " + ListText(text) + " neither old nor new");
        const bool textSupp = std::filesystem::exists(env.dir + "/Fullsupp");
        if (textSupp != std::filesystem::exists(env.dir + "/Itemsupp"))
            fail("one sub-index merged alone");
        found = kind == Kind::Merge ? (textSupp ? 0 : 1) : (isNew ? 1 : 0);
        now = found == 1 ? s.after : s.before;
        const std::map<std::string, int32_t> counts = mtfix::KeyCounts(env.out, &st);
        if (st.retcode != 0) fail("key counts " + StatusText(st));
        else if (counts != mtfix::ModelCounts(now, counts)) fail("key counts apart from the documents");
        const std::set<int32_t> hits = Query(env, &st);
        if (st.retcode != 0) fail("the query failed " + StatusText(st));
        else if (hits != QueryModel(now)) fail("the query found " + ListText(hits));
    }
    if (!why->empty()) return found;
    // The next update: one more document of a word the query finds.
    mtfix::Update(env.out, env.work, found == -1 ? 'N' : 'A', {{40, 2}}, &st, 3,
                  ThresholdOf(store));
    if (st.retcode != 0) {
        fail("the next update failed " + StatusText(st));
        return found;
    }
    now[40] = 2;
    const std::vector<int32_t> text = mtfix::Live(env.out, 0x40, &st);
    if (st.retcode != 0 || text != mtfix::Numbers(now))
        fail("after the next update: " + StatusText(st) + " " + ListText(text));
    const std::set<int32_t> hits = Query(env, &st);
    if (st.retcode != 0 || hits != QueryModel(now))
        fail("after the next update the query found " + ListText(hits));
    if (!env.leftovers().empty()) fail("left in the index:" + Listing(env.dir));
    if (!Builds(env).empty()) fail("a new index left beside it");
    return found;
}

// ---- the kills --------------------------------------------------------------

struct Tally {
    int operations = 0;  // file operations counted in one commit
    int kills = 0;
    int sawNothing = 0;  // create: no index after the kill
    int sawOld = 0;
    int sawNew = 0;
    int finished = 0;    // updates that ended before their delayed kill
    int planned = 0;     // kills the run set out to land
};

// With `everyOperation`, the operations interrupted precisely. The plain
// build interrupts every one. A sanitized build runs each child many times
// slower, so it interrupts every fourth operation, the first and the last
// two (the plain build still covers every one).
#if defined(__SANITIZE_ADDRESS__)
constexpr int kPreciseStride = 4;
#else
constexpr int kPreciseStride = 1;
#endif

inline std::vector<int> PreciseOperations(int ops) {
    std::vector<int> at;
    for (int k = 1; k <= ops; ++k)
        if (k % kPreciseStride == 0 || k == 1 || k >= ops - 1) at.push_back(k);
    return at;
}

// The file operations of one commit of `kind` and the microseconds from
// each to the next (the last: to the end of the update).
inline std::vector<long long> CountOperations(Kind kind, Store store, std::string* why) {
    mtfix::Env env(fastTempParent());
    Prepare(env, kind, store);
    std::vector<Clock::time_point> times;
    Hook() = HookState{};
    Hook().times = &times;
    const GTRSTATUS st = RunUpdate(env, kind, store);
    times.push_back(Clock::now());
    Hook() = HookState{};
    std::vector<long long> gaps;
    if (st.retcode != 0) {
        *why = "the update failed: " + StatusText(st);
        return gaps;
    }
    for (size_t i = 0; i + 1 < times.size(); ++i)
        gaps.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(times[i + 1] - times[i]).count());
    if (gaps.empty()) *why = "no file operation counted";
    return gaps;
}

// Kills the update of `kind` `kills` times: the even attempts just before
// an operation, the first before the last operation (most often after the
// switch), the others spread evenly over all of them from a random start
// (with twice as many kills as operations, each one in turn); the odd
// attempts at a random delay after a random operation. With
// `everyOperation`, first one kill just before each operation in turn (every
// `kPreciseStride`th in a sanitized build), then
// the `kills` at random delays. Returns the first fault ("" none).
inline std::string RunKills(Kind kind, Store store, int kills, std::mt19937& rng, Tally* t,
                            bool everyOperation = false) {
    std::string why;
    const std::vector<long long> gaps = CountOperations(kind, store, &why);
    if (!why.empty()) return why;
    const int ops = static_cast<int>(gaps.size());
    t->operations = ops;
    const std::vector<int> preciseAt =
        everyOperation ? PreciseOperations(ops) : std::vector<int>();
    const int preciseCount = static_cast<int>(preciseAt.size());
    if (everyOperation) kills += preciseCount;
    t->planned = kills;
    const long long start = static_cast<long long>(rng() % static_cast<uint32_t>(ops));
    const long long preciseKills = (kills + 1) / 2;
    for (int attempt = 0; t->kills < kills && attempt < 3 * kills + ops; ++attempt) {
        const bool precise = everyOperation ? attempt < preciseCount : attempt % 2 == 0;
        const int k = everyOperation && precise ? preciseAt[attempt]
                      : everyOperation || !precise
                          ? 1 + static_cast<int>(rng() % static_cast<uint32_t>(ops))
                      : attempt == 0 ? ops
                                     : 1 + static_cast<int>((start + attempt / 2 * ops / preciseKills) % ops);
        const long long delay =
            precise ? 0 : static_cast<long long>(rng() % static_cast<uint64_t>(gaps[k - 1] + 1));
        mtfix::Env env(fastTempParent());
        const States s = Prepare(env, kind, store);
        int fds[2];
        if (pipe(fds) != 0) return "no pipe";
        const pid_t pid = fork();
        if (pid < 0) return "no fork";
        if (pid == 0) {
            close(fds[0]);
            Hook() = HookState{};
            Hook().killAt = k;
            Hook().signalFd = precise ? -1 : fds[1];
            const GTRSTATUS st = RunUpdate(env, kind, store);
            _exit(st.retcode == 0 ? 0 : 1);
        }
        close(fds[1]);
        const int status = tiReapKilledChild(pid, fds[0], precise, delay);
        const bool killed = WIFSIGNALED(status);
        const std::string where = std::string(NameOf(kind)) + " (" + NameOf(store) + "): killed " +
                                  (precise ? "before" : std::to_string(delay) + " us after") +
                                  " operation " + std::to_string(k) + " of " +
                                  std::to_string(ops) + ": ";
        if (!killed && WEXITSTATUS(status) != 0) return where + "the update failed by itself";
        const int found = CheckAfterKill(env, kind, store, s, &why);
        if (!why.empty()) return where + why;
        if (!killed) {
            ++t->finished;
            if (found != 1) return where + "the update ended, yet the index is not the new one";
            continue;
        }
        ++t->kills;
        (found < 0 ? t->sawNothing : found == 0 ? t->sawOld : t->sawNew)++;
    }
    if (t->kills < kills)
        return std::string(NameOf(kind)) + " (" + NameOf(store) + "): too few kills landed";
    return "";
}

}  // namespace ecfix

#endif  // TESTS_ITL_BASE_CALLS_ENGINE_CRASH_HPP
