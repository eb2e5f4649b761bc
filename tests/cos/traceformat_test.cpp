// Trace-file reader and formatter: a committed byte-exact trace file, the
// placeholders and flags, typed values, filters and every corruption that
// the formatter must refuse.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cos_dump.hpp"
#include "cos_message.hpp"
#include "cos_traceformat.hpp"

namespace {

std::string tempFile(char const* base) {
  static int n = 0;
  char const* tmp = getenv("TMP");
  return std::string(tmp ? tmp : "/tmp") + "/" + base + std::to_string(getpid()) +
         "_" + std::to_string(++n) + ".trc";
}

// A record with uncompressed texts; `length` overrides the data length.
std::string raw(uint32_t type, uint32_t detail, uint8_t comp,
                std::string const& msg, std::string const& func,
                std::string const& data, int64_t length = -1,
                uint32_t pid = 4660) {
  std::string r(20, '\0');
  r[0] = (char)(type | (detail << 6));
  r[1] = (char)comp;
  r[2] = (char)msg.size();
  r[3] = (char)func.size();
  uint32_t len = length < 0 ? (uint32_t)data.size() : (uint32_t)length;
  memcpy(&r[8], &pid, 4);
  memcpy(&r[16], &len, 4);
  return r + msg + func + data;
}

template <class T>
std::string bytesOf(T v) {
  return std::string(reinterpret_cast<char const*>(&v), sizeof v);
}

// A reader environment over `file`, showing every detail level.
struct Reader {
  std::string key;
  std::unique_ptr<CosClTraceEnvironment> env;
  explicit Reader(std::string const& file) {
    static int n = 0;
    key = "tfmt" + std::to_string(getpid()) + "n" + std::to_string(++n);
    std::string var = key;
    for (char& c : var) c = (char)toupper((unsigned char)c);
    setenv((var + "_TRACE_DETAIL").c_str(), "HIGH", 1);
    env.reset(new CosClTraceEnvironment(key.c_str(), nullptr, true));
    unsetenv((var + "_TRACE_DETAIL").c_str());
    env->setFileName(file.c_str());
  }
};

// Formats `bytes` written to a temporary file.
std::string formatBytes(std::string const& bytes, char const* format,
                        std::function<void(CosClTraceFormatter&)> setup = nullptr,
                        uint32_t* count = nullptr) {
  std::string file = tempFile("fmt");
  {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }
  Reader r(file);
  CosClTraceFormatter f(*r.env);
  f.setFormatString(format);
  if (setup) setup(f);
  std::ostringstream out;
  try {
    f.format(out);
  } catch (...) {
    remove(file.c_str());
    throw;
  }
  if (count) *count = f.getEntryCount();
  remove(file.c_str());
  return out.str();
}

// The identifier and location of the exception that formatting throws.
std::string failureOf(std::string const& bytes, char const* format = "%d") {
  try {
    formatBytes(bytes, format);
  } catch (CosClExceptionFatal const& e) {
    return std::to_string((unsigned)e.getErrorId()) + " " + e.getLocation();
  }
  return "no failure";
}

}  // namespace

TEST(TraceFormat, PrintsTheCommittedSampleFile) {
  Reader r(std::string(TI_TEST_DATA) + "/trace/sample.trc");
  CosClTraceFormatter f(*r.env);
  f.setFormatString("%f|%l|%c|%p|%m|%x|%d%n");
  std::ostringstream out;
  f.format(out);
  std::string bytes = "ABCDEFGHIJKLMNOPQR";
  std::string expected =
      "Main|OFF|1|4660||FE|\n"
      "Main|LOW|1|4660|Hello, World|ND|\n"
      "Main|MED|2|4660|s|cpsz|\"abc\"\n"
      "Main.cpp:12|HIGH|2|4660|raw|w32|4000000000\n"
      "Main|LOW|0|4660|bytes|DA (18 Bytes)|\n" +
      std::string(CosClStrepHexDump(0, bytes.data(), 16).getAsCString()) + "\n" +
      CosClStrepHexDump(16, bytes.data() + 16, 2).getAsCString() + "\n" +
      "Main|OFF|1|4660||FX|\n";
  EXPECT_EQ(out.str(), expected);
  EXPECT_EQ(f.getEntryCount(), 6u);
  // Compressed texts were read: the rate is below 1.
  EXPECT_GT(r.env->getCompressionRate(), 0.0);
  EXPECT_LT(r.env->getCompressionRate(), 1.0);
}

TEST(TraceFormat, EmptyFileCountsNoRecords) {
  uint32_t count = 99;
  EXPECT_EQ(formatBytes("", "%f%d", nullptr, &count), "");
  EXPECT_EQ(count, 0u);
}

TEST(TraceFormat, TypedValuesPrintAsTheirType) {
  struct Case { uint32_t type; std::string data; char const* expected; };
  Case const cases[] = {
      {10, std::string(1, '\1'), "TRUE"},
      {10, std::string(1, '\0'), "FALSE"},
      {11, std::string(1, 'A'), "0x41/65/'A'"},
      {11, std::string(1, '\xFF'), "0xFF/-1"},
      {12, std::string(1, '\xC8'), "0xC8/200"},
      {12, std::string(1, '\x05'), "0x5/5"},
      {13, bytesOf<int16_t>(-5), "-5"},
      {14, bytesOf<uint16_t>(65535), "65535"},
      {15, bytesOf<int32_t>(-70000), "-70000"},
      {16, bytesOf<uint32_t>(4000000000u), "4000000000"},
      {17, bytesOf<int64_t>(-5000000000LL), "-5000000000"},
      {18, bytesOf<uint64_t>(18000000000000000000ULL), "18000000000000000000"},
      {19, bytesOf<float>(1.5f), "1.5"},
      {20, bytesOf<double>(2.25), "2.25"},
      {21, bytesOf<long double>(0.5L), "0.5"},
      {7, bytesOf<uint32_t>(0x1234), "0x1234"},
      {7, bytesOf<uint64_t>(0xABCDEF012345ULL), "0xabcdef012345"},
      {6, "", "*** Illegal NULL pointer ***"},
      {3, "", ""},
      {8, "a b", "\"a b\""},
  };
  for (Case const& c : cases)
    EXPECT_EQ(formatBytes(raw(c.type, 0, 0, "", "", c.data), "%d"), c.expected)
        << c.type << " " << c.expected;
  // The hex flag adds a line under typed values.
  std::string withHex = formatBytes(raw(15, 0, 0, "", "", bytesOf<int32_t>(1)), "%d",
                                    [](CosClTraceFormatter& f) { f.setShowHex(true); });
  std::string one = bytesOf<int32_t>(1);
  EXPECT_EQ(withHex, std::string("1\nHEX: ") +
                         CosClStrepHexDump(one.data(), 4).getAsCString());
}

TEST(TraceFormat, TypeNamesAndClippedData) {
  std::string data(4096, 'x');
  std::string out = formatBytes(raw(5, 0, 0, "", "", data), "%x|%X%d");
  std::string head = "DA (4096 Bytes) *** Clipped ***|DATA (4096 Bytes) *** Clipped ***\n";
  EXPECT_EQ(out.substr(0, head.size()), head);
  std::string dump;
  for (unsigned off = 0; off < 4096; off += 16)
    dump += std::string(CosClStrepHexDump(off, data.data() + off, 16).getAsCString()) + "\n";
  EXPECT_EQ(out.substr(head.size()), dump);
  EXPECT_STREQ(CosClTraceFormatter::getTypeAsLongCString(21), "long double");
  EXPECT_STREQ(cosGetFormatDescription(9).shortName, "wc");
  EXPECT_THROW(cosGetFormatDescription(22), CosClExceptionFatal);

  // With the library's table attached the texts come from it.
  CosClMessageCatalog cat;
  cat.useStringTable(gs_apszCosMessageTable, COS_MESSAGE_TABLE_COUNT);
  out = formatBytes(raw(4, 0, 0, "", "", "ab"), "%x%d",
                    [&](CosClTraceFormatter& f) { f.attachCosMessageCatalog(cat); });
  EXPECT_EQ(out, "DA (2 Bytes)\n" +
                     std::string(CosClStrepHexDump(0, "ab", 2).getAsCString()));
}

TEST(TraceFormat, FlagsShapeTheOutput) {
  std::string file = raw(1, 0, 0, "", "f1", bytesOf<int32_t>(1)) +
                     raw(3, 0, 0, "a", "f1", "") + raw(3, 0, 0, "b", "f1", "") +
                     raw(3, 0, 0, "c", "f2", "") +
                     raw(2, 0, 0, "", "f1", bytesOf<int32_t>(0));
  // Function text only on entries and when it changes.
  EXPECT_EQ(formatBytes(file, "[%f]%m%d%n", [](CosClTraceFormatter& f) {
              f.setShowFunctionOnEveryRecord(false);
            }),
            "[f1]\n[]a\n[]b\n[f2]c\n[f1]\n");
  // Without function records; with nesting levels and indentation.
  EXPECT_EQ(formatBytes(file, "%m%d%n", [](CosClTraceFormatter& f) {
              f.setShowFunctionRecords(false);
            }),
            "a\nb\nc\n");
  EXPECT_EQ(formatBytes(file, "%m%d%n", [](CosClTraceFormatter& f) {
              f.setShowNestingLevel(true);
              f.setDisplayIndentation("..");
            }),
            "Nesting level: 1\n..a\n..b\n..c\n..Nesting level: 0\n");
  // Formats without %d, the empty one too, skip the data of every record;
  // a second %d prints nothing.
  uint32_t count = 0;
  EXPECT_EQ(formatBytes(file, "%m"), "abc");
  EXPECT_EQ(formatBytes(file, "", nullptr, &count), "");
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(formatBytes(raw(15, 0, 0, "", "", bytesOf<int32_t>(-7)) +
                            raw(3, 0, 0, "z", "", ""),
                        "%m<%d|%d>"),
            "<-7|>z<|>");
  // Escapes and unknown placeholders in the format.
  EXPECT_EQ(formatBytes(raw(3, 0, 0, "m", "", ""), "\\t%m\\\\%q%%%d"), "\tm\\%%");
}

TEST(TraceFormat, FiltersByComponentDetailAndProcess) {
  std::string file = raw(3, 0, 0, "c0", "", "") + raw(3, 0, 3, "c3", "", "") +
                     raw(3, 0, 4, "c4", "", "") + raw(3, 2, 3, "med", "", "") +
                     raw(3, 0, 3, "pid", "", "", -1, 99);
  CosClTraceFilter filter;
  filter.disableAllComponentIds();
  filter.enableComponentIds("3");
  std::string name = tempFile("filter");
  {
    std::ofstream out(name, std::ios::binary);
    out << file;
  }
  Reader r(name);
  CosClTraceFormatter f(*r.env, &filter);
  f.setFormatString("%m%d ");
  std::ostringstream out;
  f.format(out);
  EXPECT_EQ(out.str(), "c0 c3 pid ");  // detail MED above LOW; c4 filtered
  EXPECT_EQ(f.getEntryCount(), 5u);   // skipped records are counted too
  filter.setProcessId("99");
  filter.setDetail("MED");
  std::ostringstream out2;
  f.format(out2);
  EXPECT_EQ(out2.str(), "pid ");
  remove(name.c_str());
}

TEST(TraceFormat, RefusesCorruptedFiles) {
  struct Case { std::string bytes; char const* format; char const* failure; };
  Case const cases[] = {
      {raw(2, 0, 0, "", "", std::string(8, '\0')), "%d", "1000703 cos_trace_format:416"},
      {raw(1, 0, 0, "", "", std::string(2, '\0')), "%d", "1000703 cos_trace_format:398"},
      {raw(3, 0, 0, "", "", "x"), "%d", "1000703 cos_trace_format:433"},
      {raw(0, 0, 0, "", "", ""), "%d", "1000703 cos_trace_format:541"},
      {raw(25, 0, 0, "", "", ""), "%x", "1000703 cos_trace_format:149"},
      {raw(7, 0, 0, "", "", "ab"), "%d", "1000703 cos_trace_format:364"},
      {raw(15, 0, 0, "", "", std::string(128, '\0')), "%d",
       "1000703 cos_trace_format:377"},
      {raw(4, 0, 0, "", "", "abc", 40), "%d", "1000702 cos_trace_format:277"},
      {raw(8, 0, 0, "", "", "abc", 40), "%d", "1000702 cos_trace_format:323"},
      {raw(7, 0, 0, "", "", "ab", 8), "%d", "1000702 cos_trace_format:247"},
      {raw(15, 0, 0, "", "", "ab", 4), "%d", "1000702 cos_trace_format:342"},
      {raw(3, 0, 0, "", "", "").substr(0, 12), "%d",
       "1000702 cos_trace_format:read_header"},
      {raw(3, 0, 0, "message", "", "").substr(0, 23), "%d",
       "1000702 cos_trace_format:read_texts"},
  };
  for (Case const& c : cases) EXPECT_EQ(failureOf(c.bytes, c.format), c.failure);

  // The class of the bad type and the missing file.
  try {
    cosGetFormatDescription(30);
    ADD_FAILURE();
  } catch (CosClExceptionFatal const& e) {
    EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::DATA_OUT_OF_BOUNDS);
    EXPECT_EQ(e.getSeverity(), CosEnErrorSeverity::FATAL);
  }
  Reader r("/nonexistent/dir/none.trc");
  CosClTraceFormatter f(*r.env);
  std::ostringstream out;
  try {
    f.format(out);
    ADD_FAILURE();
  } catch (CosClExceptionFatal const& e) {
    EXPECT_EQ(e.getErrorId(), CosEnErrorId::TRACEFORMAT_COULD_NOT_OPEN);
    EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::IO_PERMISSION_DENIED);
    EXPECT_STREQ(e.getLocation(), "cos_trace_format:837");
  }
}

// The nesting level comes from the file: one beyond what traced calls can
// reach is refused, not printed as that many indentations per line.
TEST(TraceFormat, RefusesANestingLevelNoTraceCanReach) {
  std::string entry = raw(1, 0, 0, "", "f", bytesOf<int32_t>(0x7FFFFFFF));
  ASSERT_EQ(entry.size(), 25u);
  auto indented = [](CosClTraceFormatter& f) { f.setDisplayIndentation(".."); };
  try {
    formatBytes(entry, "%d%n", indented);
    ADD_FAILURE() << "level 0x7FFFFFFF accepted";
  } catch (CosClExceptionFatal const& e) {
    EXPECT_EQ(e.getErrorId(), CosEnErrorId::TRACEFORMAT_FILE_CORRUPTED);
    EXPECT_EQ(e.getErrorClass(), CosEnErrorClass::INVALID_DATA);
  }
  EXPECT_EQ(failureOf(raw(2, 0, 0, "", "f", bytesOf<int32_t>(INT32_MIN))),
            "1000703 cos_trace_format:nesting");
  EXPECT_EQ(failureOf(raw(1, 0, 0, "", "f", bytesOf<int32_t>(65537))),
            "1000703 cos_trace_format:nesting");
  // The deepest level accepted indents; a negative one (an exit without its
  // entry) indents nothing.
  std::string deep = formatBytes(raw(1, 0, 0, "", "f", bytesOf<int32_t>(65536)) +
                                     raw(2, 0, 0, "", "f", bytesOf<int32_t>(-3)),
                                 "%d%n", indented);
  EXPECT_EQ(deep, "\n" + std::string(2 * 65536, '.') + "\n");
}
