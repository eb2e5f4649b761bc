// Readers and a writer at once, each in a process of its own: four forked
// readers search the index in a loop through the exported functions while
// the test process commits 50 updates (three documents in, one out) and
// then a merge. Every search must succeed and find exactly the documents
// of one committed state (the model's names, each hit's name resolving),
// a state no older than the last commit finished before the search began
// and no newer than the one in flight when it ended. Readers must not wait
// for the writer: with a transaction processed and not yet committed, the
// writer waits until every reader has finished searches begun after that
// point (a reader blocked by the writer would never get there; the wait
// only gives up after a minute, to fail rather than hang).
//
// Two readers open a new index handle for every search; the other two keep
// one index handle for their life and make a new search handle each time.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "itl_api.h"
#include "update_fixture.hpp"

namespace {

constexpr int kReaders = 4;
// A sanitized build, whose updates and searches run some twenty times
// slower, commits 12 updates and waits for the readers' progress before
// every third commit and the merge's (the plain build: 50, and at each).
#if defined(__SANITIZE_ADDRESS__)
constexpr int kUpdates = 12;
constexpr int kProgressEvery = 3;
#else
constexpr int kUpdates = 50;
constexpr int kProgressEvery = 1;
#endif
constexpr int kMergeState = kUpdates + 1;  // the merge changes no name

using Names = std::set<std::string>;

// The names of state `s` (s updates committed; the merge is state
// kUpdates + 1):
// "s0".."s2" from the start, update i adds "u<i>_0".."u<i>_2" and removes
// "u<i-1>_0".
Names modelNames(int s) {
  Names names = {"s0", "s1", "s2"};
  int updates = std::min(s, kUpdates);
  for (int i = 0; i < updates; ++i) {
    for (int j = 0; j < 3; ++j)
      names.insert("u" + std::to_string(i) + "_" + std::to_string(j));
    if (i > 0) names.erase("u" + std::to_string(i - 1) + "_0");
  }
  return names;
}

// Shared between the processes (an anonymous shared mapping made before
// the forks).
struct Shared {
  std::atomic<int> committed;  // states committed so far by the writer
  std::atomic<int> stop;
  std::atomic<uint64_t> searches[kReaders];
  std::atomic<uint64_t> failures[kReaders];
  int lastState[kReaders];
  char firstFailure[kReaders][512];
};

struct Reader {
  int slot;
  std::string dir;
  Shared* shared;
  bool keepIndex;

  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyIndexHandle kept = nullptr;

  std::string reason(char const* what, int rc) const {
    return upfix::describe(ei, what, rc);
  }

  // One search for "common" on `index`; its hits' names into `names`.
  std::string search(ItlTyIndexHandle index, Names& names) {
    ItlTyIndexSearchHandle searchHandle = nullptr;
    ItlTyQueryHandle query = nullptr;
    ItlTyQueryResultHandle result = nullptr;
    ItlTyListHandle list = nullptr;
    ItlTyDocumentIDHandle id = nullptr;
    ItlTySearchStringHandle string = nullptr;
    ItlTySearchTermHandle term = nullptr;
    std::string failure;
    int rc = itlHandleNewIndexSearch(index, &searchHandle);
    if (rc >= 8) failure = reason("itlHandleNewIndexSearch", rc);
    if (failure.empty()) {
      rc = itlHandleNewQuery(searchHandle, "en_US", 1208, &query);
      if (rc >= 8) failure = reason("itlHandleNewQuery", rc);
    }
    if (failure.empty()) {
      rc = itlHandleNewSearchString("common", 6, &string, ctx);
      if (rc < 8) rc = itlHandleNewSearchTerm(string, &term, ctx);
      if (rc < 8) rc = itlQueryAddSearchTerm(query, term);
      if (rc >= 8) failure = reason("search term", rc);
    }
    if (failure.empty()) {
      rc = itlHandleNewQueryResult(&result, ctx);
      if (rc < 8) rc = itlQueryProcess(query, result, &list);
      if (rc >= 8) failure = reason("itlQueryProcess", rc);
    }
    if (failure.empty() && list != nullptr) {
      rc = itlHandleNewDocumentID(index, &id);
      if (rc >= 8) failure = reason("itlHandleNewDocumentID", rc);
      ItlTyIteratorHandle it = nullptr;
      if (failure.empty() && itlHandleNewIterator(list, &it) < 8) {
        for (bool ok = itlListIteratorIsValid(it); ok && failure.empty();
             ok = itlListIteratorSetToNext(it, 1)) {
          rc = itlQueryResultElementObtainData(it, id, nullptr, nullptr,
                                               nullptr);
          char const* name = nullptr;
          uint32_t length = 0;
          if (rc < 8) rc = itlDocumentIDObtainName(id, &name, &length);
          if (rc >= 8) {
            failure = reason("a hit without its name", rc);
          } else {
            names.insert(std::string(name, length));
          }
        }
        itlHandleDeleteIterator(&it);
      }
    }
    if (id != nullptr) itlHandleDeleteDocumentID(&id);
    if (list != nullptr) itlHandleDeleteList(&list);
    if (result != nullptr) itlHandleDeleteQueryResult(&result);
    if (term != nullptr) itlHandleDeleteSearchTerm(&term);
    if (string != nullptr) itlHandleDeleteSearchString(&string);
    if (query != nullptr) itlHandleDeleteQuery(&query);
    if (searchHandle != nullptr) itlHandleDeleteIndexSearch(&searchHandle);
    return failure;
  }

  std::string once() {
    int before = shared->committed.load();
    Names names;
    std::string failure;
    ItlTyIndexHandle index = kept;
    if (index == nullptr) {
      int rc = itlHandleNewIndex(ctx, "ix", dir.c_str(), &index);
      if (rc < 8) rc = itlIndexSetWorkingDirectory(index, dir.c_str());
      if (rc >= 8) failure = reason("itlHandleNewIndex", rc);
    }
    if (failure.empty()) failure = search(index, names);
    if (kept == nullptr && index != nullptr) itlHandleDeleteIndex(&index);
    if (!failure.empty()) return failure;
    int after = shared->committed.load();
    // The state a search finds: one committed before it ended, or the
    // one being committed; never one older than it could see at its start.
    for (int s = std::min(after + 1, kMergeState); s >= before; --s) {
      if (names == modelNames(s)) {
        if (s < shared->lastState[slot]) {
          return "state " + std::to_string(s) + " after state " +
                 std::to_string(shared->lastState[slot]);
        }
        shared->lastState[slot] = s;
        return "";
      }
    }
    std::string found;
    for (std::string const& n : names) found += " " + n;
    return std::to_string(names.size()) + " names match no state in " +
           std::to_string(before) + ".." + std::to_string(after + 1) + ":" +
           found.substr(0, 300);
  }

  [[noreturn]] void run() {
    itlHandleNewErrorInfo(&ei);
    itlHandleNewContext(&ctx, ei);
    if (keepIndex) {
      itlHandleNewIndex(ctx, "ix", dir.c_str(), &kept);
      itlIndexSetWorkingDirectory(kept, dir.c_str());
    }
    while (shared->stop.load() == 0) {
      std::string failure = once();
      if (!failure.empty() && shared->failures[slot]++ == 0) {
        std::snprintf(shared->firstFailure[slot],
                      sizeof shared->firstFailure[slot], "%s",
                      failure.c_str());
      }
      ++shared->searches[slot];
      // A sanitized build leaves the writer some of the cores.
      if (kProgressEvery > 1) usleep(5000);
    }
    if (kept != nullptr) itlHandleDeleteIndex(&kept);
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
    _exit(0);
  }
};

// The writer's transactions, with a pause between process and commit.
class Writer {
 public:
  Writer(upfix::ApiIndex& ix, Shared* shared, std::vector<pid_t> const& pids)
      : iv_rIx(ix), iv_pShared(shared), iv_pids(pids) {}

  // Waits until every reader has finished two more searches (so at least
  // one begun after the call); false when a reader died or a minute passed.
  bool readersProgress() {
    uint64_t start[kReaders];
    for (int r = 0; r < kReaders; ++r) start[r] = iv_pShared->searches[r];
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (;;) {
      bool all = true;
      for (int r = 0; r < kReaders; ++r)
        all = all && iv_pShared->searches[r] >= start[r] + 2;
      if (all) return true;
      for (pid_t pid : iv_pids) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
          ADD_FAILURE() << "reader " << pid << " ended, status " << status;
          return false;
        }
      }
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  // Update i: adds u<i>_0..2, removes u<i-1>_0.
  std::string update(int i, bool waitForReaders = true) {
    ItlTyErrorInfoHandle ei = upfix::errorInfoOf(iv_rIx.index);
    ItlTyIndexUpdateHandle update = nullptr;
    ItlTyDocumentIDHandle id = nullptr;
    int rc = itlHandleNewIndexUpdate(iv_rIx.index, &update);
    if (rc >= 8) return upfix::describe(ei, "itlHandleNewIndexUpdate", rc);
    rc = itlHandleNewDocumentID(iv_rIx.index, &id);
    std::string failure;
    for (int j = 0; j < 3 && rc < 8; ++j) {
      std::string name = "u" + std::to_string(i) + "_" + std::to_string(j);
      std::string text = "common words of update " + std::to_string(i) +
                         " and its document " + name;
      ItlTyCCSID ccsid = 1208;
      rc = itlDocumentIDSetName(id, name.data(),
                                static_cast<uint32_t>(name.size()));
      if (rc < 8)
        rc = itlIndexUpdateDocument(update, id, ItlEnDocumentFormat_Text,
                                    nullptr, text.data(),
                                    static_cast<uint32_t>(text.size()),
                                    &ccsid, "en_US");
    }
    if (rc < 8 && i > 0) {
      std::string name = "u" + std::to_string(i - 1) + "_0";
      rc = itlDocumentIDSetName(id, name.data(),
                                static_cast<uint32_t>(name.size()));
      if (rc < 8) rc = itlIndexUpdateRemoveDocument(update, id);
    }
    if (rc < 8) rc = itlIndexUpdateProcess(update);
    if (rc >= 8) failure = upfix::describe(ei, "update", rc);
    if (failure.empty() && waitForReaders && i % kProgressEvery == 0 &&
        !readersProgress())
      failure = "readers made no progress before commit " + std::to_string(i);
    if (failure.empty()) {
      rc = itlIndexUpdateCommit(update);
      if (rc >= 8) failure = upfix::describe(ei, "itlIndexUpdateCommit", rc);
    }
    if (!failure.empty()) itlIndexUpdateRollback(update);
    itlHandleDeleteDocumentID(&id);
    itlHandleDeleteIndexUpdate(&update);
    return failure;
  }

  std::string merge(bool waitForReaders = true) {
    ItlTyErrorInfoHandle ei = upfix::errorInfoOf(iv_rIx.index);
    ItlTyIndexMergeHandle merge = nullptr;
    int rc = itlHandleNewIndexMerge(iv_rIx.index, &merge);
    if (rc < 8) rc = itlIndexMergeProcess(merge);
    std::string failure;
    if (rc >= 8) failure = upfix::describe(ei, "merge", rc);
    if (failure.empty() && waitForReaders && !readersProgress())
      failure = "readers made no progress before the merge's commit";
    if (failure.empty()) {
      rc = itlIndexMergeCommit(merge);
      if (rc >= 8) failure = upfix::describe(ei, "itlIndexMergeCommit", rc);
    }
    if (merge != nullptr) itlHandleDeleteIndexMerge(&merge);
    return failure;
  }

 private:
  upfix::ApiIndex& iv_rIx;
  Shared* iv_pShared;
  std::vector<pid_t> const& iv_pids;
};

TEST(ApiReadersWriter, SearchesSeeWholeStatesWhileUpdatesAndAMergeCommit) {
  upfix::ApiIndex ix;
  ASSERT_EQ(upfix::addDocuments(
                ix.index,
                {upfix::Document("s0", ItlEnDocumentFormat_Text, "common one"),
                 upfix::Document("s1", ItlEnDocumentFormat_Text, "common two"),
                 upfix::Document("s2", ItlEnDocumentFormat_Html,
                                 "<p>common three</p>")}),
            "");
  ix.reopen();

  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  auto* shared = new (memory) Shared();
  std::vector<pid_t> pids;
  for (int r = 0; r < kReaders; ++r) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      Reader{r, ix.dir.path(), shared, r >= 2}.run();
    }
    pids.push_back(pid);
  }

  Writer writer(ix, shared, pids);
  std::string failure;
  for (int i = 0; i < kUpdates && failure.empty(); ++i) {
    failure = writer.update(i);
    if (failure.empty()) shared->committed = i + 1;
  }
  if (failure.empty()) failure = writer.merge();
  if (failure.empty()) shared->committed = kMergeState;
  // The readers' searches after the last commit find the last state.
  bool progressed = failure.empty() && writer.readersProgress();
  shared->stop = 1;
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "reader status " << status;
  }
  EXPECT_EQ(failure, "");
  EXPECT_TRUE(progressed);
  for (int r = 0; r < kReaders; ++r) {
    SCOPED_TRACE("reader " + std::to_string(r));
    EXPECT_EQ(shared->failures[r].load(), 0u) << shared->firstFailure[r];
    EXPECT_EQ(shared->lastState[r], kMergeState);
    std::printf("reader %d: %llu searches\n", r,
                static_cast<unsigned long long>(shared->searches[r].load()));
  }
  munmap(memory, sizeof(Shared));

  ix.reopen();
  EXPECT_EQ(ix.count(), modelNames(kMergeState).size());
  EXPECT_EQ(upfix::addDocuments(
                ix.index,
                {upfix::Document("last", ItlEnDocumentFormat_Text, "common")}),
            "");
}

// The same without processes: an index handle kept open across commits of
// another handle (adds, a removal, a merge) answers each new search with
// the documents of the last commit and resolves every hit's name.
TEST(ApiReadersWriter, AKeptHandleSeesLaterCommitsWithTheirNames) {
  upfix::ApiIndex ix;
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {upfix::Document("s0", ItlEnDocumentFormat_Text,
                                           "common zero")}),
            "");
  ix.reopen();
  Shared shared{};
  Reader reader{0, ix.dir.path(), &shared, true};
  reader.ei = ix.ei;
  reader.ctx = ix.ctx;
  ASSERT_EQ(itlHandleNewIndex(ix.ctx, "ix", ix.dir.path().c_str(),
                              &reader.kept),
            0);
  itlIndexSetWorkingDirectory(reader.kept, ix.dir.path().c_str());
  Names found;
  ASSERT_EQ(reader.search(reader.kept, found), "");
  EXPECT_EQ(found, Names({"s0"}));

  std::vector<pid_t> none;
  Writer writer(ix, &shared, none);
  Names expected = {"s0"};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(writer.update(i, false), "");
    expected = modelNames(i + 1);
    expected.erase("s1");
    expected.erase("s2");
    found.clear();
    ASSERT_EQ(reader.search(reader.kept, found), "") << "after update " << i;
    EXPECT_EQ(found, expected) << "after update " << i;
  }
  ASSERT_EQ(writer.merge(false), "");
  found.clear();
  ASSERT_EQ(reader.search(reader.kept, found), "");
  EXPECT_EQ(found, expected);
  itlHandleDeleteIndex(&reader.kept);
}

}  // namespace
