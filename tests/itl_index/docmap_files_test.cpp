// Tests of the map files' byte layer: opening files, the control records
// of a data and index file pair, reading and mapping blocks, and the
// number search of fixed blocks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "docmap_test_util.hpp"
#include "itl_docmap_files.hpp"
#include "itl_index_location.hpp"

using namespace docmap_test;

namespace {

// The number-to-name file pair, with a way to swap the data descriptor.
class NumberFiles : public ItlClDocNameMappingFiles {
 public:
  explicit NumberFiles(ItlClIndexLocation const& location)
      : ItlClDocNameMappingFiles(location, ITL_DOCMAP_EXT_DID,
                                 ITL_DOCMAP_EXT_XID, ITL_DOCMAP_EXT_DII,
                                 ITL_DOCMAP_EXT_XII, ITL_DOCMAP_EYECATCH_DID,
                                 ITL_DOCMAP_EYECATCH_DII) {}
  // Replaces the data read descriptor (the old one is closed).
  void swapDataDescriptor(int fd) {
    close(iv_iDataFd);
    iv_iDataFd = fd;
  }
};

class DocMapFiles : public ::testing::Test {
 protected:
  TempDir dir{"docmap_files"};
  ItlClIndexLocation location{"ix", dir.path().c_str(), dir.path().c_str()};
  // Index files carry the index name, working files (".x..", ".ted") the
  // location's work base name.
  std::string path(char const* ext) {
    bool working = ext[1] == 'x' || std::string(ext) == ".ted";
    return dir / ((working ? location.getWorkBaseName() : std::string("ix")) + ext);
  }
};

TEST_F(DocMapFiles, UpdateCreatesRecordsOfExactBytes) {
  NumberFiles files(location);
  files.setNameLayout(64, false);
  files.access4Update();
  EXPECT_EQ(readFile(path(".xid")), dataCtl(0, 0, 64));
  EXPECT_EQ(readFile(path(".xii")), indexCtl(0, 0, 64));
  EXPECT_EQ(hex(readFile(path(".xid")), 12, 11),
            "44 4F 43 4D 41 50 20 44 49 44 00");
  EXPECT_EQ(hex(readFile(path(".xii")), 42), "40 00");

  files.indexControl().uiEntryCount = 3;
  files.indexControl().ulDocumentCount = 1500;
  files.dataControl().ulHighestDocNumber = 0x123456789AULL;
  files.dataControl().uiBlockCount = 3;
  files.writeControlRecord(-1);
  EXPECT_EQ(files.getDataWorkingDescriptor(), -1);
  EXPECT_EQ(hex(readFile(path(".xii")), 0, 12),
            "03 00 00 00 DC 05 00 00 00 00 00 00");
  EXPECT_EQ(readFile(path(".xid")), dataCtl(0x123456789AULL, 3, 64));

  // A ".dii" entry: block 1, highest 1500.
  uint8_t entry[12];
  itlPutLE32(entry, 1);
  itlPutLE64(entry + 4, 1500);
  EXPECT_EQ(hex(std::string(reinterpret_cast<char*>(entry), 12)),
            "01 00 00 00 DC 05 00 00 00 00 00 00");
  EXPECT_EQ(itlGetLE64(entry + 4), 1500u);

  // Read back through the index directory's names.
  std::string data = readFile(path(".xid"));
  data.resize(44 + 3 * 32768, '\0');
  ASSERT_TRUE(writeFile(path(".did"), data));
  ASSERT_EQ(rename(path(".xii").c_str(), path(".dii").c_str()), 0);
  NumberFiles reader(location);
  reader.setNameLayout(64, false);
  bool exists = false;
  reader.access4Read(exists);
  EXPECT_TRUE(exists);
  EXPECT_EQ(reader.dataControl().ulHighestDocNumber, 0x123456789AULL);
  EXPECT_EQ(reader.dataControl().uiBlockCount, 3u);
  EXPECT_EQ(reader.indexControl().uiEntryCount, 3u);
  EXPECT_EQ(reader.indexControl().ulDocumentCount, 1500u);
  EXPECT_STREQ(reader.indexControl().acEyecatcher, "DOCMAP DII");
}

TEST_F(DocMapFiles, WriteControlRecordAtCountZeroKeepsHighestNumber) {
  NumberFiles files(location);
  files.setNameLayout(16, true);
  files.access4Update();
  files.dataControl().ulHighestDocNumber = 77;
  files.indexControl().ulDocumentCount = 0;
  files.writeControlRecord(-1);
  EXPECT_EQ(files.getIndexWorkingDescriptor(), -1);
  EXPECT_EQ(get64(readFile(path(".xid")), 0), 77u);

  // The extra descriptor gets the data record and stays open.
  int fd = open(path(".ted").c_str(), O_RDWR | O_CREAT, 0600);
  files.access4Update();
  EXPECT_EQ(files.dataControl().ulHighestDocNumber, 77u);
  files.writeControlRecord(fd);
  EXPECT_NE(fcntl(fd, F_GETFD), -1) << "the extra descriptor stays open";
  close(fd);
  EXPECT_EQ(readFile(path(".ted")), dataCtl(77, 0, 16));
}

TEST_F(DocMapFiles, ControlRecordCases) {
  struct Case {
    char const* what;
    std::function<void()> setup;
    std::function<void(NumberFiles&)> act;
    int reason;
    std::vector<std::string> lines;  // expected in the context, in order
  };
  std::string dii = path(".dii"), did = path(".did");
  std::vector<Case> cases = {
      {"data file of 0 bytes, read",
       [&] { writeFile(did, ""); },
       [](NumberFiles& f) {
         bool exists = true;
         f.access4Read(exists);
         EXPECT_FALSE(exists);
       },
       0,
       {}},
      {"data copy of 0 bytes, update",
       [&] { writeFile(path(".xid"), ""); },
       [&](NumberFiles& f) {
         f.access4Update();
         EXPECT_EQ(readFile(path(".xid")), dataCtl(0, 0, 32));
       },
       0,
       {}},
      {"data copy of 20 bytes, update",
       [&] { writeFile(path(".xid"), std::string(20, 'x')); },
       [](NumberFiles& f) { f.access4Update(); },
       300,
       {"File read failed: uiBytesRead 20",
        "File read failed: sizeof(ItlStDataCtlRecord) 44"}},
      {"data file of 20 bytes, read",
       [&] { writeFile(did, std::string(20, 'x')); },
       [](NumberFiles& f) {
         bool exists;
         f.access4Read(exists);
       },
       300,
       {"File read failed: " + did}},
      {"index name size 0, configured 32",
       [&] {
         writeFile(did, dataCtl(0, 0, 32));
         writeFile(dii, indexCtl(0, 0, 0));
       },
       [](NumberFiles& f) {
         bool exists = false;
         f.access4Read(exists);
         EXPECT_TRUE(exists);
       },
       0,
       {}},
      {"index name size 64, configured 32",
       [&] {
         writeFile(did, dataCtl(0, 0, 64));
         writeFile(dii, indexCtl(0, 0, 64));
       },
       [](NumberFiles& f) {
         bool exists;
         f.access4Read(exists);
       },
       300,
       {"Indexed information is in conflict with configuration file settings",
        "File name: " + dii, "Option: MaxDocumentIDLength"}},
      {"index file missing, not tolerated", [] {},
       [](NumberFiles& f) { f.readIndexControl("rb", false, false); }, 374,
       {}},
      {"index file cut short, not tolerated",
       [&] { writeFile(dii, std::string(10, '\0')); },
       [](NumberFiles& f) { f.readIndexControl("rb", false, false); }, 300,
       {"File read failed: uiUnitsRead 0",
        "File read failed: sizeof(ItlStIndexCtlRecord) 44"}},
      {".did missing, .dii present",
       [&] { writeFile(dii, indexCtl(0, 0, 32)); },
       [](NumberFiles& f) {
         bool exists;
         f.access4Read(exists);
       },
       300,
       {}},
      {".dii missing, .did present",
       [&] { writeFile(did, dataCtl(0, 0, 32)); },
       [](NumberFiles& f) {
         bool exists;
         f.access4Read(exists);
       },
       300,
       {}},
      {".xii missing, .xid present",
       [&] { writeFile(path(".xid"), dataCtl(4, 0, 32)); },
       [](NumberFiles& f) { f.access4Update(); }, 300, {}},
      {"mode q", [] {},
       [](NumberFiles& f) { f.readIndexControl("q", false, false); }, 16,
       {"File open failed: illegal open mode q"}},
      {"no files at all, read",
       [] {},
       [](NumberFiles& f) {
         bool exists = true;
         f.access4Read(exists);
         EXPECT_FALSE(exists);
       },
       0,
       {}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    for (char const* ext : {".did", ".dii", ".xid", ".xii", ".ted"})
      unlink(path(ext).c_str());
    c.setup();
    NumberFiles files(location);
    files.setNameLayout(32, false);
    Thrown t = thrown([&] { c.act(files); });
    EXPECT_EQ(t.reason, c.reason) << t.context;
    size_t at = 0;
    for (std::string const& line : c.lines) {
      size_t found = t.context.find(line, at);
      EXPECT_NE(found, std::string::npos) << line << " in\n" << t.context;
      if (found != std::string::npos) at = found + line.size();
    }
    if (c.reason == 374) {
      EXPECT_EQ(t.context, "");
    }
  }
}

TEST_F(DocMapFiles, OpenFileRespectsUmaskAndTolerance) {
  struct Case {
    mode_t mask;
    mode_t expected;
  };
  for (Case c : {Case{002, 0660}, Case{022, 0640}, Case{077, 0600}}) {
    mode_t old = umask(c.mask);
    std::string name = dir / ("perm" + std::to_string(c.mask));
    int fd = -1;
    ItlClFileAccess::itlOpenFile(name.c_str(), "wb", false, fd);
    EXPECT_GE(fd, 0);
    close(fd);
    FILE* stream = nullptr;
    std::string name2 = name + "s";
    ItlClFileAccess::itlOpenFile(name2.c_str(), "w+b", false, stream);
    ASSERT_NE(stream, nullptr);
    fclose(stream);
    EXPECT_EQ(umask(old), c.mask) << "umask changed";
    struct stat st;
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.expected);
    ASSERT_EQ(stat(name2.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.expected);
  }

  int fd = 5;
  ItlClFileAccess::itlOpenFile((dir / "missing").c_str(), "rb", true, fd);
  EXPECT_EQ(fd, -1);
  FILE* stream = stdout;
  ItlClFileAccess::itlOpenFile((dir / "missing").c_str(), "r+b", true, stream);
  EXPECT_EQ(stream, nullptr);
  Thrown t = thrown([&] {
    ItlClFileAccess::itlOpenFile((dir / "missing").c_str(), "rb", false, fd);
  });
  EXPECT_EQ(t.reason, 16);
  EXPECT_NE(t.context.find("File open failed: 2"), std::string::npos)
      << t.context;

  mkdir((dir / "adir").c_str(), 0700);
  t = thrown([&] {
    ItlClFileAccess::itlOpenFile((dir / "adir").c_str(), "r+b", true, fd);
  });
  EXPECT_EQ(t.reason, 16);
  EXPECT_EQ(fd, -1);
}

// A number-to-name data file of fixed blocks, and its index control.
void writeFixedMap(std::string const& did, std::string const& dii,
                   std::vector<std::string> const& blocks, uint16_t size,
                   uint32_t claimedBlocks) {
  std::string data = dataCtl(1, claimedBlocks, size);
  for (std::string const& b : blocks) data += b;
  writeFile(did, data);
  writeFile(dii, indexCtl(claimedBlocks, 1, size));
}

TEST_F(DocMapFiles, ReadsAndMapsBlocksWithinTheFile) {
  std::vector<std::string> blocks = {
      fixedBlock({{1, "one"}, {2, "two"}}, 24),
      fixedBlock({{5, "five"}, {9, "nine"}, {12, "twelve"}}, 24),
      fixedBlock({{20, "twenty"}}, 24)};
  writeFixedMap(path(".did"), path(".dii"), blocks, 24, 3);
  NumberFiles files(location);
  files.setNameLayout(24, true);
  bool exists;
  files.access4Read(exists);
  ASSERT_TRUE(exists);

  files.readDataBlock(2);
  ItlClDocMapBlockFix* block = files.getFixBlock();
  EXPECT_EQ(files.getCurrentBlock(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block->getData()), 32768),
            readFile(path(".did")).substr(32812, 32768));
  EXPECT_EQ(block->getCount(), 3u);
  EXPECT_TRUE(block->searchDocNumber(9));
  EXPECT_EQ(std::string(reinterpret_cast<char const*>(
                block->nameAt(block->getCursor()))),
            "nine");
  files.readDataBlock(1);
  EXPECT_EQ(block->getCount(), 2u);
  EXPECT_FALSE(block->searchDocNumber(9));

  // Mapping: the block's bytes from offset 44 of a mapping at (n-1)*32768.
  block->mapBlock(files.getDataReadDescriptor(), "ix.did", 3, 3);
  EXPECT_TRUE(block->isMapped());
  EXPECT_EQ(block->getCount(), 1u);
  EXPECT_TRUE(block->searchDocNumber(20));
  block->unmapBlock();
  EXPECT_FALSE(block->isMapped());

  for (uint32_t bad : {0u, 4u, 7u}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(thrown([&] { files.readDataBlock(bad); }).reason, 300);
    EXPECT_EQ(thrown([&] {
                block->mapBlock(files.getDataReadDescriptor(), "ix.did", bad,
                                3);
              }).reason,
              300);
  }
}

TEST_F(DocMapFiles, FileCutInsideBlockTwoAndFailedRead) {
  std::vector<std::string> blocks = {fixedBlock({{1, "a"}}, 24),
                                     fixedBlock({{2, "b"}}, 24)};
  blocks[1].resize(1000);
  writeFixedMap(path(".did"), path(".dii"), blocks, 24, 2);
  NumberFiles files(location);
  files.setNameLayout(24, true);
  bool exists;
  files.access4Read(exists);
  files.readDataBlock(1);
  EXPECT_EQ(files.getBlock()->getCount(), 1u);
  EXPECT_EQ(thrown([&] { files.readDataBlock(2); }).reason, 300);
  EXPECT_EQ(thrown([&] {
              files.getBlock()->mapBlock(files.getDataReadDescriptor(),
                                         "ix.did", 2, 2);
            }).reason,
            300);
  // A block mapped whole except for its last byte is refused as well.
  blocks[1] = fixedBlock({{2, "b"}}, 24);
  blocks[1].pop_back();
  writeFixedMap(path(".did"), path(".dii"), blocks, 24, 2);
  EXPECT_EQ(thrown([&] {
              files.getBlock()->mapBlock(files.getDataReadDescriptor(),
                                         "ix.did", 2, 2);
            }).reason,
            300);

  // A descriptor that cannot read: 17, and no block counts as loaded.
  NumberFiles other(location);
  other.setNameLayout(24, true);
  other.access4Read(exists);
  other.swapDataDescriptor(open(path(".did").c_str(), O_WRONLY));
  Thrown t = thrown([&] { other.readDataBlock(1); });
  EXPECT_EQ(t.reason, 17);
  EXPECT_NE(t.context.find("File read failed"), std::string::npos);
  EXPECT_EQ(other.getCurrentBlock(), 0u);
  EXPECT_EQ(other.getBlock()->getCount(), 0u);
}

TEST(DocMapBlockFix, GeometryOfNameSize24) {
  ItlClDocMapBlockFix block(24);
  EXPECT_EQ(block.getCapacity(), 1024u);
  EXPECT_EQ(block.nameAt(1023) - block.getData(), 24552);
  EXPECT_EQ(block.nameAt(0) - block.getData(), 0);
  // Entry 1023's number slot is at 24576.
  itlPutLE64(block.getData() + 24576, 4242);
  EXPECT_EQ(block.slotNumber(1023), 4242u);
  itlPutLE64(block.getData() + 32760, 1);
  block.analyse();
  EXPECT_EQ(block.getCount(), 1024u);
}

TEST(DocMapBlockFix, SearchAgreesWithModel) {
  std::mt19937 rng(testSeed());
  for (int round = 0; round < 200; ++round) {
    uint16_t nameSize = static_cast<uint16_t>(1 + rng() % 60);
    ItlClDocMapBlockFix block(nameSize);
    uint32_t cap = block.getCapacity();
    uint32_t count = round % 5 == 0 ? cap : round % 5 == 1 ? 1 : 1 + rng() % cap;
    std::map<uint64_t, uint32_t> model;
    uint64_t n = 1 + rng() % 5;
    for (uint32_t i = 0; i < count; ++i) {
      itlPutLE64(block.getData() + 32760 - 8 * i, n);
      model[n] = i;
      n += 1 + (rng() % 4 == 0 ? rng() % 100 : 0);  // gaps
    }
    block.analyse();
    ASSERT_EQ(block.getCount(), count);
    std::vector<uint64_t> probes;
    for (int i = 0; i < 200; ++i) probes.push_back(rng() % (n + 10));
    probes.push_back(0);
    probes.push_back(n + 1000);
    std::vector<uint64_t> ascending = probes, descending = probes;
    std::sort(ascending.begin(), ascending.end());
    std::sort(descending.rbegin(), descending.rend());
    for (auto const* list : {&probes, &ascending, &descending})
      for (uint64_t p : *list) {
        bool found = block.searchDocNumber(p);
        auto it = model.find(p);
        ASSERT_EQ(found, it != model.end()) << p;
        if (found) {
          ASSERT_EQ(block.getCursor(), it->second);
        }
        ASSERT_LT(block.getCursor(), block.getCapacity());
      }
  }
}

TEST(DocMapBlockSeq, CountsEntriesUpToTheFirstZeroSlot) {
  ItlClDocMapBlockSeq block;
  for (uint32_t i = 0; i < 10; ++i)
    itlPutLE64(block.getData() + 32760 - 8 * i, i + 1);
  block.analyse();
  EXPECT_EQ(block.getCount(), 10u);
  // A block of nothing but non-zero bytes stops at the block's start.
  std::memset(block.getData(), 0xFF, 32768);
  block.analyse();
  EXPECT_EQ(block.getCount(), 4096u);
  block.clear();
  EXPECT_EQ(block.getCount(), 0u);
}

}  // namespace
