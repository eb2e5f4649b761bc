// Tests of the conversion of an index's name maps and document-map files
// to the 64-bit layout: fixtures made independently of the code, the
// layout judged by the whole file, conversion once per index, failures.
#include <gtest/gtest.h>

#include <string>

#include "itl_error.hpp"
#include "itl_index_location.hpp"
#include "itl_name_maps.hpp"
#include "ti_test_util.hpp"

namespace {

std::string data(char const* name) {
  return readFile(std::string(TI_TEST_DATA) + "/" + name);
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

struct MapConvert : ::testing::Test {
  TempDir dir{"itl_map_convert"};
  ItlClIndexLocation location{"ix", dir.path().c_str(), dir.path().c_str()};
  ItlClErrorInfo info;

  // A ".dii" control record whose document count (offset 4) is 256, so
  // that its byte at offset 4 is 0, and one entry per block.
  std::string control(uint32_t entries) {
    std::string c = bytes({static_cast<int>(entries), 0, 0, 0, 0, 1, 0, 0});
    c += std::string("\0\0\0\0DOCMAP DII", 14);
    c.resize(44, '\0');
    return c;
  }
  void writeDocMaps(std::string const& dii) {
    ASSERT_TRUE(writeFile(dir / "ix.dii", dii));
    ASSERT_TRUE(writeFile(dir / "ix.did", std::string(44, 'D') + "data"));
    ASSERT_TRUE(writeFile(dir / "ix.ded", std::string(44, 'E') + "more"));
    ASSERT_TRUE(writeFile(dir / "ix.dei", "0123456789"));
  }
  std::string convert(ItlClMapABase& map) {
    testing::internal::CaptureStdout();
    try {
      map.convert32To64();
    } catch (...) {
      testing::internal::GetCapturedStdout();
      throw;
    }
    return testing::internal::GetCapturedStdout();
  }
  std::unique_ptr<ItlClFieldNameMap> openMap() {
    auto map = std::make_unique<ItlClFieldNameMap>(location, info);
    map->init();
    map->onIndexFileInit();
    return map;
  }
};

TEST_F(MapConvert, ConvertsMapAndDocMapsOncePerIndex) {
  ASSERT_TRUE(writeFile(dir / "ix.tf", data("map32.tf")));
  std::string entry = bytes({1, 0, 0, 0, 0xDC, 5, 0, 0, 0, 0, 0, 0});
  writeDocMaps(control(1) + entry);
  auto map = openMap();
  EXPECT_EQ(map->getEntryCount(), 5u);
  std::string out = convert(*map);
  EXPECT_EQ(out, "NEEDS MIGRATION " + (dir / "ix.tf") + "\nNEEDS MIGRATION " +
                     (dir / "ix.dii") + "\n");
  EXPECT_EQ(readFile(dir / "ix.tf.64"), data("map32.tf.64"));
  EXPECT_EQ(readFile(dir / "ix.tf"), data("map32.tf"));  // never changed

  std::string dii = control(1);
  std::string expected = dii.substr(0, 4) + std::string(4, '\0') +
                         dii.substr(4, 40) +
                         bytes({1, 0, 0, 0, 0, 0, 0, 0, 0xDC, 5, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(readFile(dir / "ix.dii.64").size(), 48u + 16u);
  EXPECT_EQ(readFile(dir / "ix.dii.64"), expected);
  EXPECT_EQ(readFile(dir / "ix.did.64"),
            std::string(44, 'D') + std::string(4, '\0') + "data");
  EXPECT_EQ(readFile(dir / "ix.ded.64"),
            std::string(44, 'E') + std::string(4, '\0') + "more");
  EXPECT_EQ(readFile(dir / "ix.dei.64"),
            std::string("0123") + std::string(4, '\0') + "456789");

  // The other maps of the index do not convert the document maps again.
  ItlClAttributeNameMap attributes(location, info);
  attributes.init();
  attributes.getStringMap().onIndexFileInit();
  attributes.getStringMap().onIndexFileEndTransaction();
  attributes.getStringMap().onIndexFileCommitTransaction();
  EXPECT_EQ(convert(attributes.getStringMap()),
            "NEEDS MIGRATION " + (dir / "ix.as") + "\n");
}

TEST_F(MapConvert, ConvertedMapIsCopiedByteForByte) {
  ASSERT_TRUE(writeFile(dir / "ix.tf", data("map32.tf.64")));
  writeDocMaps(control(0));
  ItlClFieldNameMap map(location, info);
  map.init();
  EXPECT_EQ(convert(map), "Migration for file " + (dir / "ix.tf") +
                              " not necessary, already 64bit.\nNEEDS "
                              "MIGRATION " +
                              (dir / "ix.dii") + "\n");
  EXPECT_EQ(readFile(dir / "ix.tf.64"), data("map32.tf.64"));
}

TEST_F(MapConvert, LayoutIsJudgedByTheWholeFile) {
  // 255 names: the count 256 has a zero low byte.
  auto map = openMap();
  for (int i = 0; i < 255; ++i) {
    uint32_t number;
    bool isNew;
    std::string name = "f" + std::to_string(i);
    map->assignNameToNumber(name.c_str(), static_cast<uint32_t>(name.size() + 1),
                            number, isNew);
  }
  map->onIndexFileEndTransaction();
  map->onIndexFileCommitTransaction();
  // A ".dii" already in the 64-bit layout: 48 + 16 bytes.
  writeDocMaps(control(1) + std::string(4, '\0') + std::string(16, '\1'));
  std::string out = convert(*map);
  EXPECT_EQ(out, "NEEDS MIGRATION " + (dir / "ix.tf") + "\n");
  EXPECT_FALSE(exists(dir / "ix.dii.64"));
  std::string converted = readFile(dir / "ix.tf.64");
  EXPECT_EQ(converted.substr(16, 8), std::string("\0\0\0\0\0\0\1\0", 8));
}

TEST_F(MapConvert, FailuresRaise) {
  auto map = openMap();
  // No map file.
  try {
    convert(*map);
    FAIL() << "converted a missing map";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_write_error);
  }
  map->onIndexFileEndTransaction();
  map->onIndexFileCommitTransaction();
  // No ".dii": 18; ".did" missing once ".dii" needs migration: 17.
  try {
    convert(*map);
    FAIL() << "no document maps";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_write_error);
  }
  ASSERT_TRUE(writeFile(dir / "ix.dii", control(0)));
  try {
    map->convert32To64docmapfiles();
    FAIL() << "no .did";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_read_error);
    EXPECT_EQ(std::string(e.getContext()), (dir / "ix.did") + "\n");
  }
}

}  // namespace

namespace {

// A file in neither layout is an error naming the file; no ".64" file is
// written for it and nothing claims it was "already 64bit".
TEST_F(MapConvert, FileInNeitherLayoutIsAnError) {
  std::string good = data("map32.tf");
  std::string good64 = data("map32.tf.64");
  struct Case {
    char const* what;
    std::string content;
  } const cases[] = {
      {"truncated 32-bit map", good.substr(0, good.size() - 1)},
      {"32-bit map with a trailing byte", good + "x"},
      {"truncated 64-bit map", good64.substr(0, good64.size() - 3)},
      {"wrong magic", "ITL-MAPFILE-2.00" + good.substr(16)},
      {"magic alone", good.substr(0, 16)},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeFile(dir / "ix.tf", c.content));
    writeDocMaps(control(0));
    std::remove((dir / "ix.tf.64").c_str());
    ItlClIndexLocation fresh{"ix", dir.path().c_str(), dir.path().c_str()};
    ItlClFieldNameMap map(fresh, info);
    map.init();
    try {
      std::string out = convert(map);
      ADD_FAILURE() << "converted: " << out;
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_read_error);
      EXPECT_EQ(std::string(e.getContext()), (dir / "ix.tf") + "\n");
    }
    EXPECT_FALSE(exists(dir / "ix.tf.64"));
    EXPECT_FALSE(exists(dir / "ix.dii.64"));
  }

  std::string entry(12, '\x01');
  std::string const diis[] = {
      control(1) + entry + "x",             // one byte too many
      control(2) + entry,                   // count says two entries
      control(1).substr(0, 40),             // shorter than a control record
      control(1) + std::string(4, '\0') + std::string(15, '\1'),  // 64-bit, short
  };
  ASSERT_TRUE(writeFile(dir / "ix.tf", good));
  auto map = openMap();
  map->onIndexFileEndTransaction();
  map->onIndexFileCommitTransaction();
  for (auto const& dii : diis) {
    writeDocMaps(dii);
    try {
      map->convert32To64docmapfiles();
      ADD_FAILURE() << "converted a .dii of " << dii.size() << " bytes";
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Docmap_corrupted);
      EXPECT_EQ(std::string(e.getContext()), (dir / "ix.dii") + "\n");
    }
    EXPECT_FALSE(exists(dir / "ix.dii.64"));
    EXPECT_FALSE(exists(dir / "ix.did.64"));
  }
}

}  // namespace
