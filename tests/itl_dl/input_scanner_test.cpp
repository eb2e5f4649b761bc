// Tests of the document input scanner: byte-order marks on exactly sized
// buffers, unsupported CCSIDs, the raw path, and random text against ICU's
// own decoding.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "cos_memmgr.hpp"
#include "dl_test_util.hpp"
#include "itl_document_input_scanner.hpp"
#include "ti_test_util.hpp"

namespace {

struct Scanned {
  U16 text;
  uint32_t skipped;
};

Scanned scan(ItlClDocumentInputScanner& s, std::string const& bytes,
             uint32_t ccsid) {
  CosClMemoryPool pool(4096, 4096, 256);
  ExactBytes exact(bytes);
  s.reset();
  s.setInputText(pool, exact.data(), exact.size(), CosClCCSID(ccsid));
  Scanned r;
  unsigned n = 0;
  unsigned short const* p = s.getNextBuffer(n);
  if (p) r.text.assign(p, n);
  r.skipped = s.getSkippedBytes();
  unsigned again = 7;
  EXPECT_EQ(s.getNextBuffer(again), nullptr);
  EXPECT_EQ(again, 0u);
  return r;
}

TEST(InputScanner, DropsByteOrderMarks) {
  struct Case {
    std::string bytes;
    uint32_t ccsid;
    std::u16string text;
    uint32_t skipped;
  } const cases[] = {
      {"\xEF\xBB\xBF" "a", 1208, u"a", 3},
      {std::string("\xFE\xFF\x00\x61", 4), 1200, u"a", 2},
      {std::string("\xFF\xFE\x61\x00", 4), 13488, u"a", 2},
      {"\xE9", 819, u"\u00E9", 0},
      {std::string("\xFE\xFF", 2), 13488, u"", 2},
      {std::string("\xFE\xFF\xFF\xFE", 4), 17584, u"", 4},
      {std::string("\x61\x00", 2), 13488, u"a", 0},
      {std::string("\x00\x61", 2), 65500, u"a", 0},
      {std::string("\xFE\xFF\x00\x61", 4), 65500, u"a", 2},
  };
  ItlClDocumentInputScanner s;
  for (Case const& c : cases) {
    Scanned r = scan(s, c.bytes, c.ccsid);
    EXPECT_EQ(r.text, u16(c.text)) << "ccsid " << c.ccsid;
    EXPECT_EQ(r.skipped, c.skipped) << "ccsid " << c.ccsid;
  }
}

TEST(InputScanner, ShortUcs2DocumentsReadNothingBeyond) {
  ItlClDocumentInputScanner s;
  EXPECT_EQ(scan(s, "", 13488).text, U16());
  // One byte of UCS-2 is half a character: refused or empty, never a read
  // past the byte.
  Caught c = catchItl([&] {
    Scanned r = scan(s, "\xFE", 13488);
    EXPECT_EQ(r.text, U16());
  });
  if (c.reason != -1) {
    EXPECT_EQ(c.rc, 8);
  }
}

TEST(InputScanner, UnsupportedCcsidGivesReason11) {
  ItlClDocumentInputScanner s;
  Caught c = catchItl([&] { scan(s, "abc", 9999); });
  EXPECT_EQ(c.reason, 11);
  EXPECT_EQ(c.rc, 8);
  EXPECT_EQ(c.context, "Document CCSID: 9999");
  // The next document of a good CCSID reads again.
  EXPECT_EQ(scan(s, "xy", 1208).text, u16(u"xy"));
}

TEST(InputScanner, ResetAndRawBytes) {
  ItlClDocumentInputScanner s;
  unsigned n = 5;
  EXPECT_EQ(s.getNextBuffer(n), nullptr);
  EXPECT_EQ(n, 0u);
  scan(s, "hello", 1208);
  s.reset();
  n = 5;
  EXPECT_EQ(s.getNextBuffer(n), nullptr);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s.getSkippedBytes(), 0u);

  char raw[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  s.setInputTextNoConv(raw, sizeof raw);
  unsigned len = 0;
  EXPECT_EQ(s.getInputBuffer(len), static_cast<void const*>(raw));
  EXPECT_EQ(len, 10u);
}

TEST(InputScanner, BufferGrowsWithSlackAndIsKept) {
  ItlClDocumentInputScanner s;
  scan(s, std::string(1000, 'x'), 1208);
  uint32_t cap = s.getBufferCapacity();
  EXPECT_GE(cap, 2000u + 16384u);
  Scanned r = scan(s, std::string(500, 'y'), 1208);
  EXPECT_EQ(r.text.size(), 500u);
  EXPECT_EQ(s.getBufferCapacity(), cap);
}

// Random text with and without marks equals ICU's decoding less the mark.
std::u16string randomText(std::mt19937& rng) {
  static char16_t const pool[] = {u'a', u'Z', u' ', u'\n', u'\u00E9', u'\u0416',
                                  u'\u4E2D', u'\uFF21', u'\u3042'};
  std::u16string s;
  size_t n = rng() % 200;
  for (size_t i = 0; i < n; ++i) {
    if (rng() % 16 == 0) {
      s += u'\xD83D';
      s += static_cast<char16_t>(0xDE00 + rng() % 64);
    } else {
      s += pool[rng() % (sizeof pool / sizeof pool[0])];
    }
  }
  return s;
}

U16 icuDecode(std::string const& bytes, char const* charset) {
  UErrorCode st = U_ZERO_ERROR;
  std::u16string out(bytes.size() + 4, u'\0');
  int32_t n = ucnv_convert("UTF-16LE", charset,
                           reinterpret_cast<char*>(&out[0]),
                           static_cast<int32_t>(out.size() * 2), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &st);
  EXPECT_TRUE(U_SUCCESS(st)) << u_errorName(st);
  out.resize(n / 2);
  if (!out.empty() && out[0] == u'\uFEFF') out.erase(0, 1);
  return u16(out);
}

std::string encode(std::u16string const& s, char const* charset) {
  UErrorCode st = U_ZERO_ERROR;
  std::string out(s.size() * 4 + 8, '\0');
  int32_t n = ucnv_convert(charset, "UTF-16LE", &out[0],
                           static_cast<int32_t>(out.size()),
                           reinterpret_cast<char const*>(s.data()),
                           static_cast<int32_t>(s.size() * 2), &st);
  EXPECT_TRUE(U_SUCCESS(st));
  out.resize(n);
  return out;
}

TEST(InputScanner, RandomTextMatchesIcu) {
  std::mt19937 rng(testSeed());
  ItlClDocumentInputScanner s;
  for (int round = 0; round < 300; ++round) {
    std::u16string text = randomText(rng);
    struct Form {
      std::string bytes;
      uint32_t ccsid;
      char const* charset;
    };
    std::string utf8 = encode(text, "UTF-8");
    std::string le = encode(text, "UTF-16LE");
    std::string be = encode(text, "UTF-16BE");
    Form const forms[] = {
        {utf8, 1208, "UTF-8"},
        {"\xEF\xBB\xBF" + utf8, 1208, "UTF-8"},
        {le, 13488, "UTF-16LE"},
        {"\xFF\xFE" + le, 1200, "UTF-16LE"},
        {"\xFE\xFF" + be, 1200, "UTF-16BE"},
        {be, 65500, "UTF-16BE"},
    };
    for (Form const& f : forms) {
      Scanned r = scan(s, f.bytes, f.ccsid);
      std::string decodable = f.bytes;
      ASSERT_EQ(r.text, icuDecode(decodable, f.charset))
          << "round " << round << " ccsid " << f.ccsid;
      ASSERT_EQ(r.text, u16(text));
    }
  }
}

// Real pages of a Debian package, as UTF-8 and as UTF-16 with a mark.
TEST(InputScanner, DebianHtmlPagesMatchIcu) {
  namespace fs = std::filesystem;
  fs::path root = "/usr/share/doc/python3.11/html";
  std::error_code ec;
  if (!fs::is_directory(root, ec)) GTEST_SKIP() << "python3.11-doc absent";
  std::vector<fs::path> files;
  for (auto const& e : fs::recursive_directory_iterator(root, ec))
    if (e.is_regular_file() && e.path().extension() == ".html")
      files.push_back(e.path());
  std::sort(files.begin(), files.end());
  if (files.size() > 25) files.resize(25);
  ItlClDocumentInputScanner s;
  for (fs::path const& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string bytes = ss.str();
    U16 expected = icuDecode(bytes, "UTF-8");
    ASSERT_EQ(scan(s, bytes, 1208).text, expected) << f;
    std::u16string text(expected.begin(), expected.end());
    ASSERT_EQ(scan(s, "\xFF\xFE" + encode(text, "UTF-16LE"), 1200).text,
              expected)
        << f;
  }
}

}  // namespace
