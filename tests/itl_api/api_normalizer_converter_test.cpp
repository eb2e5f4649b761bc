// Tests of the normalizer and code-page converter handles: the index's
// umlaut setting, the switch between the Thai and the other normalisation,
// the argument checks (a refused call switches nothing), and conversions
// with their failures reported after the written size.
#include <gtest/gtest.h>

#include <string>

#include "api_index_env.hpp"
#include "itl_api.h"
#include "itl_normalization.hpp"
#include "itl_normalizer.hpp"

namespace {

std::string const kUmlautTemplate =
    "[IndexId]\nVersion = 4.6\n[Index]\nRespectCase = ON\n"
    "UmlautNormalization = ON\n[IndexV4]\nBlockMode = OFF\n";

ItlClNormalizer& objectOf(ItlTyNormalizerHandle handle) {
  return *reinterpret_cast<ItlClNormalizer*>(handle);
}

class Normalizer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewNormalizer(env.openSearch(), 1200, "en_US", &n), 0)
        << env.reason();
    ASSERT_NE(n, nullptr);
  }
  void TearDown() override {
    if (n != nullptr) {
      EXPECT_EQ(itlHandleDeleteNormalizer(&n), 0);
    }
    EXPECT_EQ(n, nullptr);
  }
  std::u16string run(char const* language, std::u16string const& text) {
    ItlTyUTF16Unit out[256];
    uint32_t length = 256;
    EXPECT_EQ(itlNormalizerProcess(
                  n, language,
                  reinterpret_cast<ItlTyUTF16Unit const*>(text.data()),
                  static_cast<uint32_t>(text.size()), out, &length),
              0)
        << env.reason();
    return std::u16string(reinterpret_cast<char16_t const*>(out), length);
  }

  apifix::Env env{"api_normalizer", kUmlautTemplate};
  ItlTyNormalizerHandle n = nullptr;
};

TEST_F(Normalizer, UmlautsFollowTheIndexConfiguration) {
  EXPECT_EQ(run("en_US", u"M\u00fcller"), u"Mueller");
  EXPECT_FALSE(objectOf(n).isThai());
}

TEST_F(Normalizer, ThaiAndBackSwitchTheNormalisation) {
  ItlClNormalization const* first = objectOf(n).getCurrent();
  run("en_GB", u"abc");
  EXPECT_EQ(objectOf(n).getCurrent(), first);  // same kind: kept
  std::u16string thai = run("th_TH", u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35\u0e04\u0e23\u0e31\u0e1a");
  EXPECT_TRUE(objectOf(n).isThai());
  EXPECT_NE(thai.find(u' '), std::u16string::npos);  // words separated
  run("TH", u"\u0e2a");
  EXPECT_TRUE(objectOf(n).isThai());
  EXPECT_EQ(run("de_DE", u"M\u00fcller"), u"Mueller");
  EXPECT_FALSE(objectOf(n).isThai());
}

TEST_F(Normalizer, RefusedCallsSwitchNothing) {
  std::u16string text = u"abc";
  auto const* src = reinterpret_cast<ItlTyUTF16Unit const*>(text.data());
  ItlTyUTF16Unit out[8];
  uint32_t length = 8;
  EXPECT_EQ(itlNormalizerProcess(n, nullptr, src, 3, out, &length), 8);
  EXPECT_EQ(itlNormalizerProcess(n, "th_TH", nullptr, 3, out, &length), 8);
  EXPECT_EQ(itlNormalizerProcess(n, "th_TH", src, 3, nullptr, &length), 8);
  EXPECT_EQ(itlNormalizerProcess(n, "th_TH", src, 3, out, nullptr), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_FALSE(objectOf(n).isThai());
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(itlNormalizerProcess(nullptr, "en_US", src, 3, out, &length), 16);

  ItlTyNormalizerHandle other = nullptr;
  EXPECT_EQ(itlHandleNewNormalizer(env.search, 1200, "en_US", nullptr), 8);
  EXPECT_EQ(env.reason(), ItlEnReasonCode_Invalid_handle);
  EXPECT_EQ(itlHandleNewNormalizer(nullptr, 1200, "en_US", &other), 16);
  EXPECT_EQ(itlHandleDeleteNormalizer(nullptr), 16);
  EXPECT_EQ(itlHandleDeleteNormalizer(&other), 16);
}

class CpConverter : public ::testing::Test {
 protected:
  void TearDown() override {
    if (c != nullptr) {
      EXPECT_EQ(itlHandleDeleteCpConverter(&c), 0);
    }
    itlHandleDeleteContext(&ctx);
    itlHandleDeleteErrorInfo(&ei);
  }
  int reason() const { return itlErrorInfoGetReasonCode(ei); }

  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTyCpConverterHandle c = nullptr;
  bool made = itlHandleNewErrorInfo(&ei) == 0 &&
              itlHandleNewContext(&ctx, ei) == 0;
};

TEST_F(CpConverter, ConvertsLatin1ToUtf8) {
  ASSERT_TRUE(made);
  ASSERT_EQ(itlHandleNewCpConverter(ctx, 819, 1208, &c), 0) << reason();
  char target[8] = {};
  uint32_t size = sizeof target;
  EXPECT_EQ(itlCpConverterConvert(c, "\xE9", 1, target, &size), 0);
  EXPECT_EQ(std::string(target, size), "\xC3\xA9");
}

TEST_F(CpConverter, RefusedMakers) {
  ASSERT_TRUE(made);
  EXPECT_EQ(itlHandleNewCpConverter(ctx, 819, 1208, nullptr), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_handle);
  // Source CCSID 0 is refused before the target is looked at.
  EXPECT_EQ(itlHandleNewCpConverter(ctx, 0, 0, &c), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_ccsid);
  EXPECT_EQ(itlHandleNewCpConverter(ctx, 819, 0, &c), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_ccsid);
  // A pair of known CCSIDs that no converter serves.
  EXPECT_EQ(itlHandleNewCpConverter(ctx, 819, 256, &c), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Operation_not_supported);
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(itlHandleNewCpConverter(nullptr, 819, 1208, &c), 16);
  EXPECT_EQ(itlHandleDeleteCpConverter(nullptr), 16);
  EXPECT_EQ(itlHandleDeleteCpConverter(&c), 16);
}

TEST_F(CpConverter, FailuresReportAfterTheWrittenSize) {
  ASSERT_TRUE(made);
  // The services' UTF-8 decoder writes U+FFFD for an invalid byte; a byte
  // that the iconv table of 904 does not hold is an invalid sequence.
  ItlTyCpConverterHandle from904 = nullptr;
  ASSERT_EQ(itlHandleNewCpConverter(ctx, 904, 1208, &from904), 0) << reason();
  ASSERT_EQ(itlHandleNewCpConverter(ctx, 1208, 819, &c), 0) << reason();
  struct Case {
    char const* what;
    ItlTyCpConverterHandle converter;
    std::string source;
    uint32_t room;
    int reason;
    uint32_t written;
  } const cases[] = {
      {"invalid byte", from904, "a\x81" "b", 8,
       ItlEnReasonCode_Cpconverter_invalid_sequence, 1},
      {"cut sequence", c, "ab\xC3", 8, ItlEnReasonCode_Cpconverter_incomplete, 2},
      {"too small", c, "abcd", 2, ItlEnReasonCode_Cpconverter_too_big, 2},
  };
  for (Case const& k : cases) {
    char target[8];
    uint32_t size = k.room;
    EXPECT_EQ(itlCpConverterConvert(k.converter, k.source.data(),
                                    static_cast<uint32_t>(k.source.size()),
                                    target, &size),
              8)
        << k.what;
    EXPECT_EQ(reason(), k.reason) << k.what;
    EXPECT_EQ(size, k.written) << k.what;
  }
  EXPECT_EQ(itlHandleDeleteCpConverter(&from904), 0);
  char target[4];
  uint32_t size = 4;
  EXPECT_EQ(itlCpConverterConvert(c, nullptr, 1, target, &size), 8);
  EXPECT_EQ(itlCpConverterConvert(c, "a", 1, nullptr, &size), 8);
  EXPECT_EQ(itlCpConverterConvert(c, "a", 1, target, nullptr), 8);
  EXPECT_EQ(reason(), ItlEnReasonCode_Invalid_argument);
  EXPECT_EQ(itlCpConverterConvert(nullptr, "a", 1, target, &size), 16);
  // The converter still works after failures.
  size = 4;
  EXPECT_EQ(itlCpConverterConvert(c, "ok", 2, target, &size), 0);
  EXPECT_EQ(std::string(target, size), "ok");
}

}  // namespace
