// Tests of the name maps: numbering, lookups and their warnings, the
// "ITL-MAPFILE-1.00" bytes, damaged files, the shadow-file transactions
// (with a randomized model and a crash test) and the index events.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "cos_memmgr.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_file.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "ti_test_util.hpp"

namespace {

std::string hex(std::string const& bytes) {
  static char const digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

uint32_t length(std::string const& name) {
  return static_cast<uint32_t>(name.size() + 1);
}

struct NameMap : ::testing::Test {
  TempDir dir{"itl_name_map"};
  std::string work = dir / "work";
  ItlClIndexLocation location{"ix", dir.path().c_str(),
                              (mkdir(work.c_str(), 0700), work.c_str())};
  ItlClErrorInfo info;
  std::string mapFile = dir / "ix.tf";
  std::string shadowFile = work + "/" + location.getWorkBaseName() + ".tf$";

  std::unique_ptr<ItlClFieldNameMap> open() {
    auto map = std::make_unique<ItlClFieldNameMap>(location, info);
    map->init();
    map->onIndexFileInit();
    return map;
  }
  static void commit(ItlClMapABase& map) {
    map.onIndexFileStartTransaction();
    map.onIndexFileEndTransaction();
    map.onIndexFileCommitTransaction();
  }
  static uint32_t assign(ItlClMapABase& map, std::string const& name,
                         bool* isNew = nullptr) {
    uint32_t number = 0;
    bool added = false;
    map.assignNameToNumber(name.c_str(), length(name), number, added);
    if (isNew) *isNew = added;
    return number;
  }
};

// ---------------------------------------------------------------------------
// Numbers.

TEST_F(NameMap, AssignsAndLooksUpNames) {
  auto map = open();
  bool isNew = false;
  EXPECT_EQ(assign(*map, "title", &isNew), 2u);
  EXPECT_TRUE(isNew);
  EXPECT_EQ(assign(*map, "title", &isNew), 2u);
  EXPECT_FALSE(isNew);
  unsigned short field = 0;
  EXPECT_EQ(map->mapFieldNameToNumber("title", field), ItlEnReturnCode_Success);
  EXPECT_EQ(field, 2);

  struct Miss {
    char const* name;
  } const misses[] = {{"unknown"}, {""}};
  for (Miss const& m : misses) {
    info.reset();
    EXPECT_EQ(map->mapFieldNameToNumber(m.name, field), ItlEnReturnCode_Warning);
    EXPECT_EQ(field, 1);
    EXPECT_EQ(info.getReturnCode(), ItlEnReturnCode_Warning);
    EXPECT_EQ(info.getReasonCode(), ItlEnReasonCode_Map_name_not_found);
    EXPECT_EQ(info.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(info.getOrigin(), "source/itl_common/itl_map_abase:370");
    EXPECT_EQ(std::string(info.getContext()),
              std::string("Field or attribute name to be mapped: ") + m.name);
  }
}

TEST_F(NameMap, DeletedNameGetsANewNumber) {
  auto map = open();
  EXPECT_EQ(assign(*map, "a"), 2u);
  EXPECT_EQ(assign(*map, "b"), 3u);
  map->deleteName("a", 2);
  uint32_t number = 0;
  EXPECT_EQ(map->mapNameToNumber("a", 2, number), ItlEnReturnCode_Warning);
  EXPECT_EQ(number, 1u);
  EXPECT_EQ(assign(*map, "a"), 4u);
  EXPECT_EQ(assign(*map, "b"), 3u);
  map->deleteName("zz", 3);  // unknown: nothing
  EXPECT_EQ(map->getEntryCount(), 4u);
}

TEST_F(NameMap, NamesWithEqualHashesAreToldApart) {
  // 'c' + ('a' << 1) == 'e' + ('`' << 1): same hash, same length.
  ASSERT_EQ(itlMapHash("ca", 3), itlMapHash("e`", 3));
  EXPECT_EQ(itlMapHash("a", 2), 97u);
  auto map = open();
  EXPECT_EQ(assign(*map, "ca"), 2u);
  EXPECT_EQ(assign(*map, "e`"), 3u);
  EXPECT_EQ(assign(*map, "ca"), 2u);
  map->deleteName("ca", 3);
  EXPECT_EQ(assign(*map, "e`"), 3u);
  // The hash wraps at 32 bits.
  std::string big(400, '\xff');
  uint64_t wide = itlMapHash64(big.c_str(), 401);
  EXPECT_GT(wide, UINT32_MAX);
  EXPECT_EQ(itlMapHash(big.c_str(), 401), static_cast<uint32_t>(wide));
}

TEST_F(NameMap, AttributeMapsByType) {
  ItlClAttributeNameMap attributes(location, info);
  attributes.init();
  ItlClIndexFileMgr manager;
  attributes.registerAtFileMgr(manager);
  manager.notifyInit();
  ASSERT_EQ(manager.getCount(), 2u);
  EXPECT_EQ(manager.getFile(0), &attributes.getNumericMap());
  EXPECT_EQ(manager.getFile(1), &attributes.getStringMap());
  unsigned short number = 0, date = 0, text = 0;
  bool isNew = false;
  attributes.assignAttributeNameToNumber("m", ItlEnAttributeType_Number,
                                         number, isNew);
  attributes.assignAttributeNameToNumber("n", ItlEnAttributeType_Number,
                                         number, isNew);
  attributes.assignAttributeNameToNumber("n", ItlEnAttributeType_Date, date,
                                         isNew);
  EXPECT_FALSE(isNew);
  attributes.assignAttributeNameToNumber("n", ItlEnAttributeType_String, text,
                                         isNew);
  EXPECT_TRUE(isNew);
  EXPECT_EQ(number, 3);
  EXPECT_EQ(date, 3);
  EXPECT_EQ(text, 2);
  unsigned short found = 77;
  EXPECT_EQ(attributes.mapAttributeNameToNumber(
                "n", static_cast<ItlEnAttributeType>(5), found),
            ItlEnReturnCode_Success);
  EXPECT_EQ(found, 77);  // another type consults no map
  EXPECT_EQ(attributes.mapAttributeNameToNumber("m", ItlEnAttributeType_String,
                                                found),
            ItlEnReturnCode_Warning);
  EXPECT_EQ(found, 1);
}

TEST_F(NameMap, MapsRefuseNamesPastTheirMaximum) {
  ItlClAttributeNameMap attributes(location, info);
  attributes.init();
  unsigned short number = 0;
  bool isNew = false;
  for (int i = 0; i < 253; ++i)
    attributes.assignAttributeNameToNumber(("s" + std::to_string(i)).c_str(),
                                           ItlEnAttributeType_String, number,
                                           isNew);
  EXPECT_EQ(number, 254);
  try {
    attributes.assignAttributeNameToNumber("one more", ItlEnAttributeType_String,
                                           number, isNew);
    FAIL() << "string map took number 255";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Map_out_of_range);
    EXPECT_STREQ(e.getSourceFile(), "source/itl_common/itl_map_htab:152");
  }

  auto map = open();
  for (uint32_t i = 0; i < 32767; ++i) assign(*map, std::to_string(i));
  EXPECT_EQ(map->getEntryCount(), 32768u);
  EXPECT_THROW(assign(*map, "32767"), ItlClException);
  EXPECT_EQ(assign(*map, "5"), 7u);
}

TEST_F(NameMap, NameLengthIsBoundedSoThatASavedMapLoads) {
  auto map = open();
  std::string longest(ItlClMapABase::MAX_NAME_LENGTH - 1, 'x');
  EXPECT_EQ(assign(*map, longest), 2u);
  try {
    assign(*map, longest + "y");
    FAIL() << "a name the loader refuses was accepted";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Map_invalid_name);
  }
  uint32_t number;
  bool isNew;
  EXPECT_THROW(map->assignNameToNumber("", 0, number, isNew), ItlClException);
  commit(*map);
  auto again = open();
  EXPECT_EQ(assign(*again, longest), 2u);
}

// ---------------------------------------------------------------------------
// File bytes.

TEST_F(NameMap, CommittedFileHasExactBytesModeAndDisplay) {
  auto map = open();
  assign(*map, "a");
  map->onIndexFileEndTransaction();
  map->onIndexFileCommitTransaction();
  EXPECT_EQ(hex(readFile(mapFile)),
            hex(std::string("ITL-MAPFILE-1.00", 16)) +
                "00000002" "00000000" "00000001" "00000000"
                "00000002" "6100" "00000002" "00000061");
  struct stat st;
  ASSERT_EQ(stat(mapFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);
  EXPECT_FALSE(exists(shadowFile));

  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  map->display(out);
  std::fclose(out);
  EXPECT_EQ(std::string(text, size),
            "elementNumber elementName\n\n            2  a \n");
  std::free(text);
}

TEST_F(NameMap, DamagedFilesAreRefused) {
  auto good = [] {
    std::string bytes("ITL-MAPFILE-1.00", 16);
    bytes += std::string("\0\0\0\2" "\0\0\0\0" "\0\0\0\1" "\0\0\0\0", 16);
    bytes += std::string("\0\0\0\2" "a\0" "\0\0\0\2" "\0\0\0\x61", 14);
    return bytes;
  };
  struct Case {
    char const* what;
    std::string bytes;
  } const cases[] = {
      {"bad magic", "ITL-MAPFILE-2.00" + good().substr(16)},
      {"record length 32768",
       good().substr(0, 32) + std::string("\0\0\x80\0", 4) + good().substr(36)},
      {"cut in a record", good().substr(0, 40)},
      {"cut in the count", good().substr(0, 18)},
      {"name without its NUL",
       good().substr(0, 36) + "ab" + good().substr(38)},
      {"count above the maximum",
       good().substr(0, 16) + std::string("\0\1\0\0", 4) + good().substr(20)},
      {"empty file", ""},
  };
  for (Case const& c : cases) {
    ASSERT_TRUE(writeFile(mapFile, c.bytes));
    ItlClFieldNameMap map(location, info);
    map.init();
    try {
      map.onIndexFileInit();
      ADD_FAILURE() << c.what << ": loaded";
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_read_error) << c.what;
      EXPECT_EQ(std::string(e.getContext()), mapFile + "\n") << c.what;
      EXPECT_STREQ(e.getSourceFile(), "source/itl_common/itl_map_abase:473");
    }
    EXPECT_FALSE(map.isLoaded());
    EXPECT_EQ(map.getEntryCount(), 1u) << c.what;
  }
  ASSERT_TRUE(writeFile(mapFile, good()));
  auto map = open();
  EXPECT_EQ(assign(*map, "a"), 2u);
}

// ---------------------------------------------------------------------------
// Transactions.

TEST_F(NameMap, RollbackAfterEndReloadsAtNextInit) {
  auto map = open();
  assign(*map, "kept");
  commit(*map);
  map->onIndexFileStartTransaction();
  assign(*map, "dropped");
  map->onIndexFileEndTransaction();
  EXPECT_TRUE(exists(shadowFile));
  map->onIndexFileRollbackTransaction();
  EXPECT_FALSE(exists(shadowFile));
  EXPECT_FALSE(map->isLoaded());
  map->onIndexFileInit();
  uint32_t number;
  EXPECT_EQ(map->mapNameToNumber("dropped", 8, number), ItlEnReturnCode_Warning);
  EXPECT_EQ(assign(*map, "kept"), 2u);
  EXPECT_EQ(assign(*map, "new"), 3u);
}

TEST_F(NameMap, RollbackBeforeEndKeepsNamesInMemory) {
  auto map = open();
  map->onIndexFileStartTransaction();
  assign(*map, "a");
  map->onIndexFileRollbackTransaction();
  EXPECT_TRUE(map->isLoaded());
  EXPECT_EQ(assign(*map, "a"), 2u);
}

TEST_F(NameMap, LeftoverShadowGoesAtInitAndCommitNeedsIt) {
  ASSERT_TRUE(writeFile(shadowFile, "half a shadow"));
  ASSERT_TRUE(writeFile(dir / "ix.tf~", "half a copy"));
  auto map = open();
  EXPECT_FALSE(exists(shadowFile));
  EXPECT_FALSE(exists(dir / "ix.tf~"));
  try {
    map->onIndexFileCommitTransaction();
    FAIL() << "commit without a shadow";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_open_error);
    EXPECT_EQ(std::string(e.getContext()), "File name: " + shadowFile);
  }
}

TEST_F(NameMap, ClearAndDestroyRemoveBothFiles) {
  for (bool destroy : {false, true}) {
    auto map = open();
    assign(*map, "a");
    commit(*map);
    map->onIndexFileStartTransaction();
    assign(*map, "b");
    map->onIndexFileEndTransaction();
    ASSERT_TRUE(exists(mapFile) && exists(shadowFile));
    if (destroy)
      map->onIndexFileDestroy();
    else
      map->onIndexFileClear();
    EXPECT_FALSE(exists(mapFile));
    EXPECT_FALSE(exists(shadowFile));
    EXPECT_EQ(map->getEntryCount(), 1u);
    EXPECT_EQ(assign(*map, "c"), 2u);
  }
}

TEST_F(NameMap, CommitAcrossFileSystems) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string shmWork = "/dev/shm/itl_map_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(shmWork.c_str(), 0700), 0);
  location.setWorkingDirectory(shmWork.c_str());
  auto map = open();
  assign(*map, "a");
  commit(*map);
  assign(*map, "b");
  commit(*map);
  EXPECT_FALSE(exists(shmWork + "/" + location.getWorkBaseName() + ".tf$"));
  EXPECT_FALSE(exists(dir / "ix.tf~"));
  rmdir(shmWork.c_str());
  auto again = open();
  EXPECT_EQ(again->getEntryCount(), 3u);
}

TEST_F(NameMap, RenameCopyAndMoveFollowTheIndex) {
  auto map = open();
  assign(*map, "a");
  commit(*map);
  std::string other = dir / "other";
  ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
  map->onIndexFileCopy(other.c_str());
  EXPECT_EQ(readFile(other + "/ix.tf"), readFile(mapFile));
  map->onIndexFileRename("renamed");
  EXPECT_FALSE(exists(mapFile));
  location.setIndexName("renamed");
  std::string third = dir / "third";
  ASSERT_EQ(mkdir(third.c_str(), 0700), 0);
  map->onIndexFileMove(third.c_str());
  EXPECT_TRUE(exists(third + "/renamed.tf"));
  EXPECT_FALSE(exists(dir / "renamed.tf"));
}

// Assigns, deletes, commits, rollbacks and reopens at random; names,
// numbers and hashes must equal a simple model at every check.
TEST_F(NameMap, AgreesWithModelAcrossTransactionsAndReopens) {
  std::mt19937 rng(testSeed());
  struct Entry {
    std::string name;
    bool alive;
    uint32_t hash;
  };
  std::vector<Entry> memory{{"", false, 0}}, committed = memory;
  auto map = open();
  bool ended = false;
  auto check = [&](int step) {
    ASSERT_EQ(map->getEntryCount(), memory.size()) << "step " << step;
    for (uint32_t n = 1; n <= memory.size(); ++n) {
      ItlStMapEntry const& e = map->getEntry(n);
      Entry const& m = memory[n - 1];
      ASSERT_EQ(e.iv_pacName != nullptr, m.alive) << "step " << step;
      if (m.alive) {
        ASSERT_EQ(std::string(e.iv_pacName), m.name);
      }
      ASSERT_EQ(e.iv_ulHashValue, m.hash) << "step " << step << " n " << n;
    }
  };
  for (int step = 1; step <= 3000; ++step) {
    int op = static_cast<int>(rng() % 100);
    std::string name = "n" + std::to_string(rng() % 150);
    if (op < 55) {
      uint32_t expected = 0;
      for (uint32_t n = 0; n < memory.size(); ++n)
        if (memory[n].alive && memory[n].name == name) expected = n + 1;
      if (expected == 0) {
        memory.push_back({name, true, itlMapHash(name.c_str(), length(name))});
        expected = static_cast<uint32_t>(memory.size());
      }
      ASSERT_EQ(assign(*map, name), expected) << "step " << step;
    } else if (op < 70) {
      map->deleteName(name.c_str(), length(name));
      for (Entry& e : memory)
        if (e.alive && e.name == name) e.alive = false;
    } else if (op < 80) {
      map->onIndexFileEndTransaction();
      ended = true;
      if (rng() % 2) {
        map->onIndexFileCommitTransaction();
        committed = memory;
        ended = false;
      }
    } else if (op < 90) {
      map->onIndexFileRollbackTransaction();
      if (ended) {
        map->onIndexFileInit();
        memory = committed;
      }
      ended = false;
    } else if (op < 95) {
      map = open();
      memory = committed;
      ended = false;
    } else {
      info.reset();
      uint32_t number = 0;
      map->mapNameToNumber(name.c_str(), length(name), number);
      uint32_t expected = 1;
      for (uint32_t n = 0; n < memory.size(); ++n)
        if (memory[n].alive && memory[n].name == name) expected = n + 1;
      ASSERT_EQ(number, expected) << "step " << step;
    }
    check(step);
  }
}

// Makes allocation number `failAt` (counting allocations and
// reallocations through the cos memory manager) fail while installed.
struct FailingMemory {
  static int count, failAt;
  static void* allocate(unsigned int size) {
    return ++count == failAt ? nullptr : std::malloc(size);
  }
  static void* reallocate(void* p, unsigned int size) {
    return ++count == failAt ? nullptr : std::realloc(p, size);
  }
  explicit FailingMemory(int n) {
    count = 0;
    failAt = n;
    CosClMemoryManager::setNewMemoryManager(allocate, reallocate, std::free);
  }
  ~FailingMemory() {
    CosClMemoryManager::setNewMemoryManager(
        CosClMemoryManager::systemAllocator,
        CosClMemoryManager::systemReallocator,
        CosClMemoryManager::systemDeallocator);
  }
};
int FailingMemory::count = 0;
int FailingMemory::failAt = 0;

// Every allocation of opening, loading, assigning and committing fails in
// turn: each failure is an out-of-memory exception (no leak under the
// sanitizers), and the committed map still opens afterwards.
TEST_F(NameMap, AllocationFailuresEndInOutOfMemory) {
  {
    auto map = open();
    for (int i = 0; i < 300; ++i) assign(*map, std::string(i % 300, 'n'));
    commit(*map);
  }
  for (int n = 1;; ++n) {
    bool failed = false;
    {
      FailingMemory memory(n);
      try {
        auto map = open();
        assign(*map, "new one");
        commit(*map);
      } catch (CosClException const& e) {
        failed = true;
        EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::OUT_OF_MEMORY) << n;
      }
    }
    auto map = open();
    ASSERT_GE(map->getEntryCount(), 301u) << "allocation " << n;
    if (!failed) break;
    ASSERT_LT(n, 10000);
  }
}

std::string crashName(uint32_t i) {
  return "name" + std::to_string(i) + std::string(i % 50, 'x');
}

// A child commits growing maps (reporting each commit through a pipe) and
// is killed at a random moment; the map reopened afterwards holds a
// committed state: the last reported one or the one in flight, never a
// blend. Returns the number of names found.
uint32_t crashRound(NameMap& f, std::mt19937& rng, uint32_t committed) {
  int pipeFd[2];
  EXPECT_EQ(pipe(pipeFd), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(pipeFd[0]);
    try {
      auto map = f.open();
      for (uint32_t i = map->getEntryCount();; ++i) {
        NameMap::assign(*map, crashName(i));
        NameMap::commit(*map);
        if (write(pipeFd[1], &i, sizeof i) != sizeof i) _exit(2);
      }
    } catch (...) {
      _exit(3);
    }
  }
  close(pipeFd[1]);
  usleep(1000 + rng() % 40000);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status))
      << "writer ended by itself: " << WEXITSTATUS(status);
  uint32_t done = committed, value;
  while (read(pipeFd[0], &value, sizeof value) == sizeof value) done = value;
  close(pipeFd[0]);
  auto map = f.open();
  uint32_t names = map->getEntryCount() - 1;
  EXPECT_TRUE(names == done || names == done + 1)
      << names << " names, " << done << " reported";
  for (uint32_t i = 1; i <= names; ++i)
    EXPECT_STREQ(map->getEntry(i + 1).iv_pacName, crashName(i).c_str());
  return names;
}

// Hook state of the child: the file operation running, the one to die
// before (0: none).
int gFileOp = 0;
int gKillAtOp = 0;

int countingFileOpHook(char const*, char const*) {
  if (++gFileOp == gKillAtOp) kill(getpid(), SIGKILL);
  return 0;
}

// In a child: opens the map, assigns the next name and commits, dying
// before file operation `killAt` (0: never). Returns the child's wait
// status; a child that lives exits with the number of operations it ran.
int commitOneMore(NameMap& f, int killAt) {
  pid_t pid = fork();
  if (pid == 0) {
    gFileOp = 0;
    gKillAtOp = killAt;
    itlSetFileOpTestHook(countingFileOpHook);
    try {
      auto map = f.open();
      NameMap::assign(*map, crashName(map->getEntryCount()));
      NameMap::commit(*map);
    } catch (...) {
      _exit(255);
    }
    _exit(gFileOp);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

// A child committing one more name is killed before each file operation
// of the commit in turn: the map reopened holds the names before or after
// that commit, each in its place.
void killBeforeEveryFileOperation(NameMap& f) {
  {
    auto map = f.open();
    for (uint32_t i = 1; i <= 3; ++i) NameMap::assign(*map, crashName(i));
    NameMap::commit(*map);
  }
  int status = commitOneMore(f, 0);
  ASSERT_TRUE(WIFEXITED(status));
  int operations = WEXITSTATUS(status);
  ASSERT_GT(operations, 2);
  ASSERT_LT(operations, 255);
  uint32_t names = 4;
  int kept = 0, switched = 0;
  for (int k = 1; k <= operations; ++k) {
    SCOPED_TRACE("killed before file operation " + std::to_string(k));
    ASSERT_TRUE(WIFSIGNALED(commitOneMore(f, k)));
    auto map = f.open();
    uint32_t now = map->getEntryCount() - 1;
    ASSERT_TRUE(now == names || now == names + 1) << now << " names";
    for (uint32_t i = 1; i <= now; ++i)
      ASSERT_STREQ(map->getEntry(i + 1).iv_pacName, crashName(i).c_str());
    (now == names ? kept : switched)++;
    names = now;
  }
  std::printf("%d kills: %d kept the old map, %d found the new\n", operations,
              kept, switched);
  EXPECT_GT(kept, 0);
  EXPECT_GT(switched, 0);
}

TEST_F(NameMap, KilledBeforeEveryFileOperationOfACommit) {
  killBeforeEveryFileOperation(*this);
}

// The same with the shadow on another file system (commit by copy).
TEST_F(NameMap, KilledBeforeEveryFileOperationOfACommitAcrossFileSystems) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string shmWork = "/dev/shm/itl_map_ops_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(shmWork.c_str(), 0700), 0);
  location.setWorkingDirectory(shmWork.c_str());
  killBeforeEveryFileOperation(*this);
  unlink((shmWork + "/" + location.getWorkBaseName() + ".tf$").c_str());
  rmdir(shmWork.c_str());
}

TEST_F(NameMap, CrashDuringCommitLeavesACommittedMap) {
  std::mt19937 rng(testSeed());
  uint32_t committed = 0;
  for (int round = 0; round < 20 && !HasFailure(); ++round)
    committed = crashRound(*this, rng, committed);
}

// The same with the shadow on another file system (commit by copy).
TEST_F(NameMap, CrashDuringCommitAcrossFileSystems) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string shmWork = "/dev/shm/itl_map_crash_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(shmWork.c_str(), 0700), 0);
  location.setWorkingDirectory(shmWork.c_str());
  std::mt19937 rng(testSeed());
  uint32_t committed = 0;
  for (int round = 0; round < 10 && !HasFailure(); ++round)
    committed = crashRound(*this, rng, committed);
  EXPECT_FALSE(exists(dir / "ix.tf~"));  // the last open removed a leftover
  unlink((shmWork + "/" + location.getWorkBaseName() + ".tf$").c_str());
  rmdir(shmWork.c_str());
}

}  // namespace
