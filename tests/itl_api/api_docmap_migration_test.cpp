// Tests of the document-map migration through its exported functions: a
// round trip of 1,000 names from variable names of at most 64 bytes to
// fixed names of 32 and back (numbers kept both ways, old names gone,
// deleted documents dropped by Prepare, numbers never reused), rollback
// leaving every file byte-identical, a migration without names, the
// cursor's validity, refused names and calling errors, and one table of
// null handles.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "migration_env.hpp"

namespace {

namespace fs = std::filesystem;

// Every regular file of the index directory with its content.
std::map<std::string, std::string> snapshot(std::string const& dir) {
  std::map<std::string, std::string> all;
  for (auto const& e : fs::directory_iterator(dir))
    if (e.is_regular_file())
      all[e.path().filename().string()] = readFile(e.path().string());
  return all;
}

// Regular files below the index's working directory.
std::vector<std::string> workingFiles(std::string const& dir) {
  std::vector<std::string> out;
  for (auto const& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() &&
        e.path().parent_path().filename().string().rfind("TMP_", 0) == 0)
      out.push_back(e.path().string());
  return out;
}

struct Migration {
  ItlTyNameMapMigrationHandle handle = nullptr;
  Migration(ItlTyIndexHandle index, uint16_t length, bool fixed) {
    EXPECT_EQ(itlHandleNewNameMapMigrationR3(index, length, fixed, &handle),
              0);
  }
  ~Migration() {
    if (handle != nullptr) itlHandleDeleteNameMapMigrationR3(&handle);
  }
};

std::string variableName(std::mt19937& random, int i) {
  std::string name = "doc/" + std::to_string(i) + "/";
  size_t length = std::uniform_int_distribution<size_t>(name.size(), 64)(random);
  while (name.size() < length)
    name += static_cast<char>('a' + random() % 26);
  return name;
}

// A 32-byte name of its own for document i.
std::string fixedName(int i) {
  char text[40];
  std::snprintf(text, sizeof text, "FIX%029d", i * 7 + 3);
  return std::string(text, 32);
}

TEST(DocMapMigration, RoundTripKeepsNumbersAndDropsOldNames) {
  uint32_t seed = testSeed();
  std::mt19937 random(seed);
  upfix::ApiIndex ix("MaxDocumentIDLength = 64\n");
  std::vector<std::string> names;
  for (int i = 0; i < 1000; ++i) names.push_back(variableName(random, i));
  ASSERT_EQ(migenv::nameMap(ix.index, names, true), "");
  // Every twentieth document deleted: Prepare drops them from the maps.
  std::vector<std::string> deleted;
  for (int i = 0; i < 1000; i += 20) deleted.push_back(names[i]);
  ASSERT_EQ(migenv::nameMap(ix.index, deleted, false), "");

  std::map<std::string, uint64_t> numberOf;  // original name -> number
  {
    ix.reopen();
    migenv::Lookup look(ix.index);
    for (std::string const& n : names) numberOf[n] = look.number(n);
  }
  for (std::string const& n : deleted) EXPECT_EQ(numberOf[n], 0u) << n;
  std::map<std::string, std::string> toFixed, fromFixed;
  for (int i = 0; i < 1000; ++i) {
    toFixed[names[i]] = fixedName(i);
    fromFixed[fixedName(i)] = names[i];
  }

  struct Round {
    uint16_t length;
    bool fixed;
    uint16_t oldLength;
    std::map<std::string, std::string> const* rename;
  };
  for (Round const& round : {Round{32, true, 64, &toFixed},
                             Round{64, false, 32, &fromFixed}}) {
    std::string what = "to " + std::to_string(round.length) +
                       (round.fixed ? " fixed" : " variable");
    {
      Migration m(ix.index, round.length, round.fixed);
      ASSERT_NE(m.handle, nullptr) << what;
      ASSERT_EQ(itlNameMapMigrationR3Prepare(m.handle), 0) << what;
      std::vector<std::string> seen =
          migenv::walk(m.handle, round.oldLength, [&](std::string const& old) {
            auto it = round.rename->find(old);
            return it == round.rename->end() ? std::string() : it->second;
          });
      EXPECT_EQ(seen.size(), 950u) << what;
      ASSERT_EQ(itlNameMapMigrationR3Process(m.handle), 0)
          << what << " reason " << ix.reason();
      ASSERT_EQ(itlNameMapMigrationR3Commit(m.handle), 0)
          << what << " reason " << ix.reason() << " " << ix.context();
    }
    {
      // The handle that migrated reads the new maps too.
      migenv::Lookup same(ix.index);
      std::string now = round.fixed ? fixedName(1) : names[1];
      EXPECT_EQ(same.number(now), numberOf[names[1]]) << what;
      EXPECT_EQ(same.name(numberOf[names[1]]), now) << what;
    }
    ix.reopen();
    migenv::Lookup look(ix.index);
    EXPECT_EQ(look.index.getConfig().getMaxDocIDLength(), round.length) << what;
    EXPECT_EQ(look.index.getConfig().getDocNamesHaveFixSize(), round.fixed)
        << what;
    uint64_t highest = 0;
    EXPECT_EQ(itlGetMaxDocNumber(ix.index, &highest), 0);
    EXPECT_EQ(highest, 1000u) << what;
    for (int i = 0; i < 1000; ++i) {
      std::string original = names[i];
      std::string now = round.fixed ? fixedName(i) : original;
      std::string before = round.fixed ? original : fixedName(i);
      uint64_t number = numberOf[original];
      if (number == 0) {
        EXPECT_EQ(look.number(now), 0u) << what << " deleted " << original;
        continue;
      }
      ASSERT_EQ(look.number(now), number) << what << " " << now;
      ASSERT_EQ(look.name(number), now) << what << " " << number;
      ASSERT_EQ(look.number(before), 0u) << what << " old name " << before;
    }
    // A deleted number has no name any more.
    int reason = 0;
    EXPECT_EQ(look.name(1, &reason), "") << what;
    EXPECT_TRUE(reason == ItlEnReasonCode_Docmap_docnumber_not_found ||
                reason == ItlEnReasonCode_Docmap_invalid_docnumber)
        << reason;
  }
  // The next document gets a number above the old highest, and the index
  // still takes documents of the new layout.
  ix.reopen();
  ASSERT_EQ(upfix::addDocuments(
                ix.index, {{"fresh-name", ItlEnDocumentFormat_Text, "word"}}),
            "");
  ix.reopen();
  migenv::Lookup look(ix.index);
  EXPECT_EQ(look.number("fresh-name"), 1001u);
  EXPECT_EQ(look.number(names[1]), numberOf[names[1]]);
}

TEST(DocMapMigration, RollbackLeavesEveryFileAsItWas) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 40\n");
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) names.push_back("name-" + std::to_string(i));
  ASSERT_EQ(migenv::nameMap(ix.index, names, true), "");
  ix.reopen();
  std::string dir = ix.dir.path();
  auto before = snapshot(dir);
  {
    Migration m(ix.index, 20, true);
    ASSERT_EQ(itlNameMapMigrationR3Prepare(m.handle), 0);
    migenv::walk(m.handle, 40, [](std::string const& old) {
      return (old + std::string(20, '.')).substr(0, 20);
    });
    ASSERT_EQ(itlNameMapMigrationR3Process(m.handle), 0) << ix.reason();
    EXPECT_FALSE(workingFiles(dir).empty());
    ASSERT_EQ(itlNameMapMigrationR3Rollback(m.handle), 0);
    EXPECT_EQ(workingFiles(dir), std::vector<std::string>{});
    EXPECT_EQ(snapshot(dir), before);
    // After a rollback there is nothing to commit.
    EXPECT_EQ(itlNameMapMigrationR3Commit(m.handle), 8);
    EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_calling_sequence);
  }
  EXPECT_EQ(snapshot(dir), before);
  EXPECT_EQ(workingFiles(dir), std::vector<std::string>{});
  ix.reopen();
  migenv::Lookup look(ix.index);
  EXPECT_EQ(look.index.getConfig().getMaxDocIDLength(), 40);
  EXPECT_EQ(look.number("name-7"), 8u);
}

TEST(DocMapMigration, WithoutNamesLeavesEmptyMapsAndKeepsTheHighestNumber) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 30\n");
  ASSERT_EQ(migenv::nameMap(ix.index, {"a", "b", "c", "d"}, true), "");
  {
    Migration m(ix.index, 50, false);
    ASSERT_EQ(itlNameMapMigrationR3Prepare(m.handle), 0);
    EXPECT_EQ(migenv::walk(m.handle, 30, [](std::string const&) {
                return std::string();
              }).size(),
              4u);
    ASSERT_EQ(itlNameMapMigrationR3Process(m.handle), 0) << ix.reason();
    ASSERT_EQ(itlNameMapMigrationR3Commit(m.handle), 0) << ix.reason();
  }
  ix.reopen();
  {
    migenv::Lookup look(ix.index);
    EXPECT_EQ(look.index.getConfig().getMaxDocIDLength(), 50);
    EXPECT_EQ(ix.count(), 0u);
    for (char const* n : {"a", "b", "c", "d"}) EXPECT_EQ(look.number(n), 0u);
    uint64_t highest = 0;
    EXPECT_EQ(itlGetMaxDocNumber(ix.index, &highest), 0);
    EXPECT_EQ(highest, 4u);
    // A walk of the empty map finds no entry.
    Migration again(ix.index, 50, false);
    EXPECT_EQ(migenv::walk(again.handle, 50,
                           [](std::string const&) { return std::string(); })
                  .size(),
              0u);
  }
  ix.reopen();
  ASSERT_EQ(migenv::nameMap(ix.index, {"e"}, true), "");
  ix.reopen();
  EXPECT_EQ(migenv::Lookup(ix.index).number("e"), 5u);
}

TEST(DocMapMigration, CursorValidityAndRefusedNames) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 16\n");
  ASSERT_EQ(migenv::nameMap(ix.index, {"one", "two", "three"}, true), "");
  auto m = std::make_unique<Migration>(ix.index, 8, true);
  ItlTyNameMapMigrationHandle h = m->handle;
  ASSERT_EQ(itlNameMapMigrationR3SetCursorToFirst(h), 0);
  bool valid = true;
  ASSERT_EQ(itlNameMapMigrationR3CursorIsValid(h, &valid), 0);
  EXPECT_FALSE(valid) << "right after SetCursorToFirst";
  char buffer[16];
  uint16_t length = 0;
  ASSERT_EQ(itlNameMapMigrationR3ObtainCurrentName(h, buffer, &length), 0);
  EXPECT_EQ(std::string(buffer, length), "one");

  // Names the new fixed 8-byte maps cannot hold: 25, nothing recorded.
  struct Bad {
    char const* name;
    uint16_t length;
    bool nullLength;
  };
  for (Bad const& b : {Bad{"123456789", 9, false}, Bad{"short", 5, false},
                       Bad{"", 0, false}, Bad{nullptr, 8, false},
                       Bad{"12345678", 8, true}}) {
    EXPECT_EQ(itlNameMapMigrationR3SetCurrentName(
                  h, b.name, b.nullLength ? nullptr : &b.length),
              8)
        << (b.name ? b.name : "(null)");
    EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
  }
  uint16_t eight = 8;
  ASSERT_EQ(itlNameMapMigrationR3SetCurrentName(h, "ONE.....", &eight), 0);
  // The same entry twice: a calling error.
  EXPECT_EQ(itlNameMapMigrationR3SetCurrentName(h, "ONE-----", &eight), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_calling_sequence);
  EXPECT_EQ(itlNameMapMigrationR3CursorIsValid(h, nullptr), 8);
  EXPECT_EQ(itlNameMapMigrationR3ObtainCurrentName(h, nullptr, &length), 8);
  EXPECT_EQ(itlNameMapMigrationR3ObtainCurrentName(h, buffer, nullptr), 8);

  for (char const* expected : {"two", "three"}) {
    ASSERT_EQ(itlNameMapMigrationR3SetCursorToNext(h), 0);
    ASSERT_EQ(itlNameMapMigrationR3CursorIsValid(h, &valid), 0);
    EXPECT_TRUE(valid) << expected;
    ASSERT_EQ(itlNameMapMigrationR3ObtainCurrentName(h, buffer, &length), 0);
    EXPECT_EQ(std::string(buffer, length), expected);
  }
  // Past the last entry: invalid, every cursor call still returns 0.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(itlNameMapMigrationR3SetCursorToNext(h), 0);
    ASSERT_EQ(itlNameMapMigrationR3CursorIsValid(h, &valid), 0);
    EXPECT_FALSE(valid);
    ASSERT_EQ(itlNameMapMigrationR3ObtainCurrentName(h, buffer, &length), 0);
    EXPECT_EQ(length, 0);
  }
  EXPECT_EQ(itlNameMapMigrationR3SetCurrentName(h, "NOWHERE.", &eight), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_calling_sequence);
  // Commit before Process is refused and changes nothing.
  EXPECT_EQ(itlNameMapMigrationR3Commit(h), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_calling_sequence);
  ASSERT_EQ(itlNameMapMigrationR3Process(h), 0) << ix.reason();
  ASSERT_EQ(itlNameMapMigrationR3Commit(h), 0) << ix.reason();
  m.reset();  // before its index handle goes
  ix.reopen();
  migenv::Lookup look(ix.index);
  EXPECT_EQ(look.number("ONE....."), 1u);
  EXPECT_EQ(look.number("one"), 0u);
  EXPECT_EQ(look.number("two"), 0u);
}

TEST(DocMapMigration, TwoDocumentsGivenOneNameAreRefused) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 16\n");
  ASSERT_EQ(migenv::nameMap(ix.index, {"a1", "a2", "a3"}, true), "");
  ix.reopen();
  auto before = snapshot(ix.dir.path());
  Migration m(ix.index, 16, false);
  migenv::walk(m.handle, 16, [](std::string const& old) {
    return old == "a3" ? std::string("z") : std::string("same");
  });
  EXPECT_EQ(itlNameMapMigrationR3Process(m.handle), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Docmap_duplicate_docid);
  EXPECT_EQ(itlNameMapMigrationR3Commit(m.handle), 8);
  EXPECT_EQ(itlNameMapMigrationR3Rollback(m.handle), 0);
  EXPECT_EQ(snapshot(ix.dir.path()), before);
}

TEST(DocMapMigration, ArgumentsOfCreation) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 16\n");
  ItlTyNameMapMigrationHandle h = nullptr;
  EXPECT_EQ(itlHandleNewNameMapMigrationR3(ix.index, 8, false, nullptr), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_handle);
  for (uint16_t bad : {uint16_t{0}, uint16_t{4097}}) {
    h = reinterpret_cast<ItlTyNameMapMigrationHandle>(&ix);
    EXPECT_EQ(itlHandleNewNameMapMigrationR3(ix.index, bad, false, &h), 8);
    EXPECT_EQ(ix.reason(), ItlEnReasonCode_Invalid_argument);
    EXPECT_EQ(h, nullptr);
  }
  // An index without maps has nothing to walk.
  ASSERT_EQ(itlHandleNewNameMapMigrationR3(ix.index, 8, false, &h), 0);
  EXPECT_EQ(itlNameMapMigrationR3SetCursorToFirst(h), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Index_corrupted);
  EXPECT_EQ(itlHandleDeleteNameMapMigrationR3(&h), 0);
  EXPECT_EQ(h, nullptr);
}

TEST(DocMapMigration, DamagedMapIsRecordedNotThrown) {
  upfix::ApiIndex ix("MaxDocumentIDLength = 16\n");
  std::vector<std::string> names;
  for (int i = 0; i < 50; ++i) names.push_back("n" + std::to_string(i));
  ASSERT_EQ(migenv::nameMap(ix.index, names, true), "");
  ix.reopen();
  std::string did = ix.dir / "ix.did";
  std::string bytes = readFile(did);
  ASSERT_GT(bytes.size(), 44u + 32768u - 1);
  // A name length that runs into the number slots.
  bytes[44] = '\xF0';
  bytes[45] = '\x00';
  ASSERT_TRUE(writeFile(did, bytes));
  ItlTyNameMapMigrationHandle h = nullptr;
  ASSERT_EQ(itlHandleNewNameMapMigrationR3(ix.index, 16, false, &h), 0);
  EXPECT_EQ(itlNameMapMigrationR3SetCursorToFirst(h), 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Docmap_corrupted);
  // The cursor stands on nothing: its functions go on returning 0.
  bool valid = true;
  EXPECT_EQ(itlNameMapMigrationR3SetCursorToNext(h), 0);
  EXPECT_EQ(itlNameMapMigrationR3CursorIsValid(h, &valid), 0);
  EXPECT_FALSE(valid);
  // A block count beyond the file: the next block is refused as well.
  bytes = readFile(did);
  bytes[44] = 2;
  bytes[8] = 9;  // u32 block count at offset 8
  ASSERT_TRUE(writeFile(did, bytes));
  itlHandleDeleteNameMapMigrationR3(&h);
  ix.reopen();
  ASSERT_EQ(itlHandleNewNameMapMigrationR3(ix.index, 16, false, &h), 0);
  int rc = itlNameMapMigrationR3SetCursorToFirst(h);
  for (int i = 0; rc == 0 && i < 100; ++i)
    rc = itlNameMapMigrationR3SetCursorToNext(h);
  EXPECT_EQ(rc, 8);
  EXPECT_EQ(ix.reason(), ItlEnReasonCode_Docmap_corrupted);
  itlHandleDeleteNameMapMigrationR3(&h);
}

TEST(DocMapMigration, NullHandleIs16InAllEleven) {
  ItlTyNameMapMigrationHandle none = nullptr;
  ItlTyNameMapMigrationHandle made = nullptr;
  bool valid = false;
  char buffer[8];
  uint16_t length = 4;
  struct Call {
    char const* name;
    int rc;
  };
  std::vector<Call> calls = {
      {"New", itlHandleNewNameMapMigrationR3(nullptr, 8, false, &made)},
      {"Delete", itlHandleDeleteNameMapMigrationR3(nullptr)},
      {"Delete of null", itlHandleDeleteNameMapMigrationR3(&none)},
      {"Prepare", itlNameMapMigrationR3Prepare(nullptr)},
      {"SetCursorToFirst", itlNameMapMigrationR3SetCursorToFirst(nullptr)},
      {"CursorIsValid", itlNameMapMigrationR3CursorIsValid(nullptr, &valid)},
      {"ObtainCurrentName",
       itlNameMapMigrationR3ObtainCurrentName(nullptr, buffer, &length)},
      {"SetCurrentName",
       itlNameMapMigrationR3SetCurrentName(nullptr, "abcd", &length)},
      {"SetCursorToNext", itlNameMapMigrationR3SetCursorToNext(nullptr)},
      {"Process", itlNameMapMigrationR3Process(nullptr)},
      {"Commit", itlNameMapMigrationR3Commit(nullptr)},
      {"Rollback", itlNameMapMigrationR3Rollback(nullptr)},
  };
  for (Call const& c : calls) EXPECT_EQ(c.rc, 16) << c.name;
  EXPECT_EQ(made, nullptr);
}

}  // namespace
