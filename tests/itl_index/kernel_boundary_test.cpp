// The document side of the kernel interface without the engine: paragraph
// recognition, the engine's boundary record built from random boundaries,
// the boundary sort against std::sort, and UTF-16 text converted to UTF-8
// against ICU.
#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "calls/voz_reserved.hpp"
#include "cos_memmgr.hpp"
#include "itl_boundary_info.hpp"
#include "kernel_fixture.hpp"

namespace {

using Boundary = std::pair<uint32_t, int16_t>;  // position, delimiter

// The segment boundaries of a built record as (offset, delimiter) pairs.
std::vector<Boundary> segmentsOf(BOUNDARYINFO const* info, uint8_t const* text) {
  std::vector<Boundary> out;
  if (info == nullptr) return out;
  for (int32_t i = 0; i < info->delimiter_num; ++i)
    out.emplace_back(static_cast<uint32_t>(info->boundary_ptr[i] - text),
                     info->delimiter_NO[i]);
  return out;
}

// Bytes of `text` in UTF-8, as ICU counts them.
uint32_t utf8Length(std::u16string const& text) {
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(nullptr, 0, &length, reinterpret_cast<UChar const*>(text.data()),
              static_cast<int32_t>(text.size()), &status);
  return static_cast<uint32_t>(length);
}

bool aligned8(void const* p) { return reinterpret_cast<uintptr_t>(p) % 8 == 0; }

TEST(KernelBoundary, ParagraphsAtTheSecondLineEnd) {
  struct Case {
    char const* text;
    std::vector<uint32_t> at;
  };
  Case const cases[] = {
      {"a\n\nb", {2}},
      {"a\n \n\nb", {3}},
      {"a\r\n\r\nb", {4}},
      {"\n\na", {}},
      {"a\nb\nc", {}},
      {"a\n\n\n\nb\n\nc", {2, 7}},
      {"\xc3\xa9\n\t\nx", {4}},  // a non-ASCII letter is text; a tab is not
      {"a\n\n", {2}},
      {"", {}},
  };
  CosClMemoryPool pool(4096, 4096, 256);
  for (Case const& c : cases) {
    SCOPED_TRACE(c.text);
    ItlClBoundaryInfo info;
    std::string text = c.text;
    info.addParagraphBoundaries(pool, reinterpret_cast<uint8_t const*>(text.data()),
                                static_cast<uint32_t>(text.size()));
    std::vector<uint8_t> buffer(text.begin(), text.end());
    buffer.push_back(0);
    std::vector<Boundary> expect;
    for (uint32_t at : c.at) expect.emplace_back(at, 1);
    EXPECT_EQ(segmentsOf(info.makeBoundaryInfo(pool, buffer.data()), buffer.data()),
              expect);
  }
}

// Random fields and boundaries (boundaries added out of order, as parser
// boundaries followed by paragraph boundaries are): the record holds the
// same (position, delimiter) multiset, ascending; fields in the order of
// addition; every array 8-byte aligned; nothing at all without boundaries.
TEST(KernelBoundary, RandomBoundariesReachTheRecordSorted) {
  std::mt19937 rng(testSeed());
  std::vector<uint8_t> text(5000, 'x');
  // A pool over an odd address: the record's arrays must still be aligned.
  std::vector<char> raw(1 << 20);
  CosClMemoryPool pool(raw.data() + 3, static_cast<unsigned>(raw.size() - 3));
  for (int round = 0; round < 200; ++round) {
    pool.deleteAll();
    ItlClBoundaryInfo info;
    std::vector<Boundary> segments;
    std::vector<std::pair<uint16_t, std::pair<uint32_t, uint32_t>>> fields;
    int const count = static_cast<int>(rng() % 60);
    int const fieldCount = static_cast<int>(rng() % 5);
    for (int i = 0; i < count; ++i) {
      // Few distinct positions, so that equal positions are common.
      uint32_t at = rng() % 2 == 0 ? rng() % 8 : rng() % 5000;
      int16_t delimiter = static_cast<int16_t>(1 + rng() % 32);
      segments.emplace_back(at, delimiter);
      info.addSegmentBoundary(pool, static_cast<uint16_t>(delimiter), at);
    }
    for (int i = 0; i < fieldCount; ++i) {
      uint32_t start = rng() % 5000, end = start + rng() % (5000 - start + 1);
      uint16_t field = static_cast<uint16_t>(1 + rng() % 100);
      fields.push_back({field, {start, end}});
      info.addField(pool, field, start, end);
    }
    EXPECT_EQ(info.getSegmentCount(), static_cast<uint32_t>(count));
    BOUNDARYINFO* record = info.makeBoundaryInfo(pool, text.data());
    if (count == 0 && fieldCount == 0) {
      EXPECT_EQ(record, nullptr);
      continue;
    }
    ASSERT_NE(record, nullptr);
    std::vector<Boundary> got = segmentsOf(record, text.data());
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end(),
                               [](Boundary const& a, Boundary const& b) {
                                 return a.first < b.first;
                               }));
    std::sort(got.begin(), got.end());
    std::sort(segments.begin(), segments.end());
    EXPECT_EQ(got, segments);
    ASSERT_EQ(record->fld_boundary_num, fieldCount);
    for (int i = 0; i < fieldCount; ++i) {
      FLDBOUNDARYINFO const& f = record->fld_boundary[i];
      EXPECT_EQ(f.fld_number, fields[i].first);
      EXPECT_EQ(f.fld_start_ptr, text.data() + fields[i].second.first);
      EXPECT_EQ(f.fld_end_ptr, text.data() + fields[i].second.second);
    }
    if (count > 0) {
      EXPECT_TRUE(aligned8(record->boundary_ptr));
      EXPECT_TRUE(aligned8(record->delimiter_NO));
    }
    if (fieldCount > 0) {
      EXPECT_TRUE(aligned8(record->fld_boundary));
    }
    GTRSTATUS st{};
    EXPECT_EQ(vozReservedCheck_BOUNDARYINFO(record, &st), 0);
  }
}

// Inputs that drive a naive quicksort deep: sorted, reversed, all equal,
// organ pipe; the delimiters move with their positions.
TEST(KernelBoundary, SortAgreesWithStdSort) {
  std::mt19937 rng(testSeed());
  std::vector<uint8_t> text(100000);
  for (int kind = 0; kind < 5; ++kind) {
    for (int32_t n : {0, 1, 2, 3, 17, 1000, 50000}) {
      SCOPED_TRACE(std::to_string(kind) + " " + std::to_string(n));
      std::vector<uint8_t*> positions(static_cast<size_t>(n));
      std::vector<int16_t> delimiters(static_cast<size_t>(n));
      for (int32_t i = 0; i < n; ++i) {
        int32_t at = kind == 0   ? i
                     : kind == 1 ? n - i
                     : kind == 2 ? 7
                     : kind == 3 ? std::min(i, n - i)
                                 : static_cast<int32_t>(rng() % 100000);
        positions[static_cast<size_t>(i)] = text.data() + at % 100000;
        delimiters[static_cast<size_t>(i)] = static_cast<int16_t>(at % 100000 % 30000);
      }
      ItlClBoundaryInfo::sortSegmentBoundaryArrays(positions.data(), delimiters.data(), n);
      EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
      for (int32_t i = 0; i < n; ++i)
        ASSERT_EQ(delimiters[static_cast<size_t>(i)],
                  static_cast<int16_t>((positions[static_cast<size_t>(i)] - text.data()) % 30000));
    }
  }
}

// The services layer writes the noncharacters (U+FDD0..U+FDEF, U+xxFFFE,
// U+xxFFFF) as U+FFFF on purpose; ICU keeps them.
bool isNoncharacter(uint32_t c) {
  return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// Random well-formed UTF-16 of 40 KB without noncharacters, handed over in
// random pieces (never splitting a surrogate pair), converts byte for byte
// as ICU converts it; the buffer grows past its first 16384 bytes.
TEST(KernelText, Utf16ConvertsAsIcuDoes) {
  std::mt19937 rng(testSeed());
  kfix::Index index;
  for (int round = 0; round < 5; ++round) {
    std::u16string text;
    while (text.size() < 20000) {
      uint32_t kind = rng() % 5;
      if (kind == 0) {
        text += static_cast<char16_t>(0x20 + rng() % 0x5F);
      } else if (kind == 1) {
        text += static_cast<char16_t>(0x80 + rng() % 0x780);
      } else if (kind == 2) {
        uint32_t c = 0x800 + rng() % (0x10000 - 0x800);
        if (c >= 0xD800 && c <= 0xDFFF) c -= 0x800;
        if (isNoncharacter(c)) continue;
        text += static_cast<char16_t>(c);
      } else if (kind == 3) {
        uint32_t c = 0x10000 + rng() % 0x100000;
        if (isNoncharacter(c)) continue;
        text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        text += static_cast<char16_t>(rng() % 0x20);  // controls, NUL too
      }
    }
    std::string expect(text.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8(&expect[0], static_cast<int32_t>(expect.size()), &length,
                reinterpret_cast<UChar const*>(text.data()),
                static_cast<int32_t>(text.size()), &status);
    ASSERT_TRUE(U_SUCCESS(status));
    expect.resize(static_cast<size_t>(length));

    index.kernel->rollbackCurrentDocument();
    index.open();
    index.pool.deleteAll();
    index.kernel->addingToDocument(1, true);
    size_t at = 0;
    while (at < text.size()) {
      size_t piece = std::min<size_t>(text.size() - at, 1 + rng() % 3000);
      if (at + piece < text.size() && text[at + piece - 1] >= 0xD800 &&
          text[at + piece - 1] <= 0xDBFF)
        ++piece;
      index.kernel->addDocumentText(reinterpret_cast<unsigned short const*>(text.data() + at),
                                    static_cast<unsigned>(piece));
      at += piece;
      ASSERT_EQ(index.kernel->getBufferPosition(), utf8Length(text.substr(0, at)));
    }
    ASSERT_EQ(index.kernel->getBufferPosition(), expect.size());
    EXPECT_EQ(std::memcmp(index.kernel->getText(), expect.data(), expect.size()), 0);
    index.kernel->rollbackUpdate();
  }
}

}  // namespace
