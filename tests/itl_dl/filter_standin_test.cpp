// Tests of our stand-in filter libraries (source/filter_standin), driven
// through the filter interface with redirected-input callbacks of the
// test's own: the toy format's elements, the data written never passing
// the caller's buffer, injected statuses and the counters the parser's
// tests rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "filter_standin_fixture.hpp"

namespace {

// A document in memory behind a redirected-input record.
struct MemoryInput {
  ItlStINSORedirectedIO io;
  std::string bytes;
  size_t pos = 0;

  static MemoryInput* self(void* r) {
    return static_cast<MemoryInput*>(static_cast<ItlStINSORedirectedIO*>(r)->pOwner);
  }
  explicit MemoryInput(std::string text) : bytes(std::move(text)) {
    std::memset(&io, 0, sizeof io);
    io.pOwner = this;
    io.pfnClose = [](void*) -> int32_t { return 0; };
    io.pfnRead = [](void* r, uint8_t* b, uint32_t size, uint32_t* count) -> int32_t {
      MemoryInput* m = self(r);
      *count = 0;
      if (m->pos >= m->bytes.size()) return ITL_INSO_IOERR_EOF;
      size_t n = std::min<size_t>(size, m->bytes.size() - m->pos);
      std::memcpy(b, m->bytes.data() + m->pos, n);
      m->pos += n;
      *count = static_cast<uint32_t>(n);
      return 0;
    };
    io.pfnSeek = [](void* r, uint16_t origin, int32_t offset) -> int32_t {
      MemoryInput* m = self(r);
      long base = origin == 0 ? 0 : origin == 1 ? static_cast<long>(m->pos)
                                                : static_cast<long>(m->bytes.size());
      long p = std::max(0L, std::min<long>(base + offset, m->bytes.size()));
      m->pos = static_cast<size_t>(p);
      return 0;
    };
    io.pfnTell = [](void* r, uint32_t* offset) -> int32_t {
      *offset = static_cast<uint32_t>(self(r)->pos);
      return 0;
    };
  }
};

template <class F>
F proc(void* lib, char const* name) {
  return StandinLibraries::call<F>(lib, name);
}

// Opens `text`, reads every element and closes; each element printed as
// "type/subtype/id:size=units" (units in hex, up to the buffer); the end
// status last.
std::string readDocument(StandinLibraries const& libs, std::string const& text,
                         uint32_t bufferSize = ITL_INSO_CONTENT_BUFFER_SIZE) {
  MemoryInput in(text);
  uint32_t doc = 0;
  int32_t st = proc<ItlPfnDAOpenDocument>(libs.da, "DAOpenDocument")(
      &doc, ITL_INSO_SPEC_REDIRECTED_IO, &in.io, 0);
  if (st != 0) return "open " + std::to_string(st);
  uint32_t content = 0;
  st = proc<ItlPfnCAOpenContent>(libs.ca, "CAOpenContent")(doc, &content);
  std::string out;
  if (st != 0) {
    out = "content " + std::to_string(st);
  } else {
    // Exactly the buffer size, so that ASan sees a write past it.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[bufferSize]());
    ItlStINSOContentElement e;
    std::memset(&e, 0, sizeof e);
    e.uiSize = sizeof e;
    e.uiBufferSize = bufferSize;
    e.pData = buffer.get();
    st = proc<ItlPfnCAReadFirst>(libs.ca, "CAReadFirst")(content, &e);
    while (st == 0) {
      char head[64];
      std::snprintf(head, sizeof head, "%u/%x/%u:%u=", e.uiType, e.uiSubtype,
                    e.uiPropertyId, e.uiDataSize);
      out += head;
      uint32_t n = std::min(e.uiDataSize, bufferSize) / 2;
      for (uint32_t i = 0; i < n && i < 4; ++i) {
        uint16_t u;
        std::memcpy(&u, buffer.get() + 2 * i, 2);
        char hex[8];
        std::snprintf(hex, sizeof hex, "%x,", u);
        out += hex;
      }
      out += " ";
      st = proc<ItlPfnCAReadNext>(libs.ca, "CAReadNext")(content, &e);
    }
    out += "end " + std::to_string(st);
    proc<ItlPfnCACloseContent>(libs.ca, "CACloseContent")(content);
  }
  proc<ItlPfnDACloseDocument>(libs.da, "DACloseDocument")(doc);
  return out;
}

TEST(FilterStandin, DeliversTheToyFormat) {
  StandinLibraries libs;
  struct Case {
    std::string text;
    std::string expected;
  } const cases[] = {
      {"", "end 31"},
      {"ab\n", "1/1/0:4=61,62, 1/2/0:2=a, end 31"},
      {"ab", "1/1/0:4=61,62, end 31"},
      {"\n", "1/2/0:2=a, end 31"},
      {"@begin 6\nT\n@end\n",
       "2/10000/6:0= 1/1/0:2=54, 1/2/0:2=a, 3/10000/0:0= end 31"},
      {"@begin 0 0x30000\n@end 0 0x30000", "2/30000/0:0= 3/30000/0:0= end 31"},
      {"@break 0x2029\n@pad 2\nx", "1/2/0:2=2029, 1/1/0:6=78,0,0, end 31"},
      {"@element 7 1 5", "7/1/5:0= end 31"},
      // A surrogate pair, and a byte that starts no UTF-8 sequence.
      {"\xF0\x9F\x98\x80\xFF", "1/1/0:6=d83d,de00,fffd, end 31"},
      // The reported size may exceed the buffer; the data never does.
      {"@size 20000\nab", "1/1/0:20000=61,62,0,0, end 31"},
      {"@status CAReadNext 9\nab", "1/1/0:4=61,62, end 9"},
      {"@status CAReadFirst 9\nab", "end 9"},
      {"@status DAOpenDocument 7\nab", "open 7"},
      {"@status CAOpenContent 12\n", "content 12"},
      // "@status" counts only before the first element.
      {"a\n@status CAReadNext 9", "1/1/0:2=61, 1/2/0:2=a, 1/1/0:40=40,73,74,61, end 31"},
  };
  for (Case const& c : cases)
    EXPECT_EQ(readDocument(libs, c.text), c.expected) << c.text;
  EXPECT_EQ(libs.daCounters().openDocuments, 0);
  EXPECT_EQ(libs.caCounters().openContents, 0);
}

TEST(FilterStandin, SplitsLongLinesAtTheBuffer) {
  StandinLibraries libs;
  std::string line(8192 + 3, 'q');
  EXPECT_EQ(readDocument(libs, line),
            "1/1/0:16384=71,71,71,71, 1/1/0:6=71,71,71, end 31");
  // A smaller buffer than the element: the data stops at the buffer.
  EXPECT_EQ(readDocument(libs, "abcdef", 5), "1/1/0:12=61,62, end 31");
}

TEST(FilterStandin, CountsAndInjects) {
  StandinLibraries libs;
  EXPECT_EQ(proc<ItlPfnDAInit>(libs.da, "DAInit")(), 0);
  libs.inject("DAInit", 30);
  libs.inject("DADeInit", 4);
  EXPECT_EQ(proc<ItlPfnDAInit>(libs.da, "DAInit")(), 30);
  EXPECT_EQ(proc<ItlPfnDADeInit>(libs.da, "DADeInit")(), 4);
  EXPECT_EQ(libs.daCounters().init, 2);
  EXPECT_EQ(libs.daCounters().deInit, 1);

  MemoryInput in("@status DASetOption 15\nx");
  uint32_t doc = 0;
  ASSERT_EQ(proc<ItlPfnDAOpenDocument>(libs.da, "DAOpenDocument")(
                &doc, ITL_INSO_SPEC_REDIRECTED_IO, &in.io, 0),
            0);
  uint32_t v = ITL_INSO_OPTION_FILTER_SETTINGS_VALUE;
  auto setOption = proc<ItlPfnDASetOption>(libs.da, "DASetOption");
  EXPECT_EQ(setOption(doc, 1, &v, 4), 15);
  uint32_t fallback = 4004;
  EXPECT_EQ(setOption(doc, 2, &fallback, 4), 15);
  EXPECT_EQ(libs.daCounters().option1, 0x14B00000u);
  EXPECT_EQ(libs.daCounters().option2, 4004u);
  EXPECT_EQ(libs.daCounters().openDocuments, 1);
  EXPECT_EQ(proc<ItlPfnDACloseDocument>(libs.da, "DACloseDocument")(doc), 0);
  EXPECT_EQ(libs.daCounters().closes, 1);
  // A second close of the same handle is refused and not counted.
  EXPECT_EQ(proc<ItlPfnDACloseDocument>(libs.da, "DACloseDocument")(doc), 15);
  EXPECT_EQ(libs.daCounters().closes, 1);
  // Only a redirected-input record is accepted.
  EXPECT_EQ(proc<ItlPfnDAOpenDocument>(libs.da, "DAOpenDocument")(&doc, 2,
                                                                  &in.io, 0),
            15);
}

TEST(FilterStandin, SecondBuildLacksSetOption) {
  StandinLibraries libs("nosetoption");
  EXPECT_EQ(dlsym(libs.da, "DASetOption"), nullptr);
  EXPECT_NE(dlsym(libs.da, "DAOpenDocument"), nullptr);
  EXPECT_NE(dlsym(libs.ca, "CAReadNext"), nullptr);
}

}  // namespace
