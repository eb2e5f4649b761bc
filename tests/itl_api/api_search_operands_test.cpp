// Tests of the exported functions that build query operands: search
// strings, search terms, string and numeric attribute conditions. Each
// checks codes through the error-info getters and the objects behind the
// handles.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "itl_api.h"
#include "itl_api_frame.hpp"
#include "itl_search_attribute.hpp"
#include "itl_search_string.hpp"
#include "itl_search_term.hpp"

namespace {

// Calls `f` with a bool argument whose byte is 2, as a C caller may pass:
// through the same function taking the byte (same calling convention).
template <class H>
ItlEnReturnCode callWithByte(ItlEnReturnCode (*f)(H, bool), H handle,
                             unsigned char byte) {
  auto raw = reinterpret_cast<ItlEnReturnCode (*)(H, unsigned char)>(
      reinterpret_cast<void (*)()>(f));
  return raw(handle, byte);
}

class SearchOperands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(itlHandleNewErrorInfo(&ei), 0);
    ASSERT_EQ(itlHandleNewContext(&ctx, ei), 0);
    ASSERT_EQ(itlHandleNewSearchString("alpha", 5, &ss, ctx), 0);
  }
  void TearDown() override {
    // Deleting does not reset the error info: it returns what is stored.
    if (ss != nullptr) {
      EXPECT_NE(itlHandleDeleteSearchString(&ss), 16);
      EXPECT_EQ(ss, nullptr);
    }
    EXPECT_EQ(itlHandleDeleteContext(&ctx), 0);
    EXPECT_EQ(itlHandleDeleteErrorInfo(&ei), 0);
  }
  // "rc/reason" as the getters report them.
  std::string codes() {
    std::ostringstream s;
    s << itlErrorInfoGetReturnCode(ei) << "/" << itlErrorInfoGetReasonCode(ei);
    return s.str();
  }
  ItlClAlSearchString& str() {
    return *reinterpret_cast<ItlClAlSearchString*>(ss);
  }
  std::string value() { return std::string(str().getValue(), str().getValueLength()); }

  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  ItlTySearchStringHandle ss = nullptr;
};

// ---- search strings -----------------------------------------------------------

TEST_F(SearchOperands, NewSearchStringChecksInOrder) {
  ItlTySearchStringHandle h = reinterpret_cast<ItlTySearchStringHandle>(&h);
  EXPECT_EQ(itlHandleNewSearchString("x", 1, &h, nullptr), 16);
  EXPECT_EQ(itlHandleNewSearchString("x", 1, nullptr, ctx), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(itlHandleNewSearchString(nullptr, 1, &h, ctx), 8);
  EXPECT_EQ(h, nullptr);
  std::string v128(128, 'q');
  EXPECT_EQ(itlHandleNewSearchString(v128.data(), 0, &h, ctx), 8);
  EXPECT_EQ(itlHandleNewSearchString(v128.data(), 129, &h, ctx), 8);
  EXPECT_EQ(h, nullptr);
  ASSERT_EQ(itlHandleNewSearchString(v128.data(), 128, &h, ctx), 0);
  ItlClAlSearchString& s = *reinterpret_cast<ItlClAlSearchString*>(h);
  EXPECT_EQ(s.getValueLength(), 128u);
  EXPECT_EQ(s.getCCSID().getCCSID(), 0u);
  EXPECT_EQ(s.getLanguage().getLanguage(), CosClLanguage::CosEnLanguageInvalid);
  EXPECT_EQ(s.getLanguage().getTerritory(), CosClLanguage::CosEnTerritoryInvalid);
  EXPECT_EQ(s.getRespectCase(), -1);
  EXPECT_EQ(itlHandleDeleteSearchString(&h), 0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(itlHandleDeleteSearchString(&h), 16);
  EXPECT_EQ(itlHandleDeleteSearchString(nullptr), 16);
}

TEST_F(SearchOperands, NewValueKeepsOldOnRefusalAndDoesNotReset) {
  std::string v129(129, 'z');
  EXPECT_EQ(itlSearchStringSetNewValue(ss, v129.data(), 129), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(value(), "alpha");
  EXPECT_EQ(itlSearchStringSetNewValue(ss, "b", 0), 8);
  EXPECT_EQ(itlSearchStringSetNewValue(ss, nullptr, 3), 8);
  EXPECT_EQ(value(), "alpha");
  // A setter does not reset the error info: success returns the old 8.
  EXPECT_EQ(itlSearchStringSetNewValue(ss, "be", 2), 8);
  EXPECT_EQ(value(), "be");
  EXPECT_EQ(str().getCapacity(), 2u);
  std::string v128(128, 'w');
  EXPECT_EQ(itlSearchStringSetNewValue(ss, v128.data(), 128), 8);
  EXPECT_EQ(value(), v128);
  EXPECT_EQ(itlSearchStringSetNewValue(nullptr, "a", 1), 16);
}

TEST_F(SearchOperands, RespectCaseAcceptsOnlyZeroAndOne) {
  EXPECT_EQ(itlSearchStringRespectCase(ss, true), 0);
  EXPECT_EQ(str().getRespectCase(), 1);
  EXPECT_EQ(callWithByte(itlSearchStringRespectCase, ss, 2), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(str().getRespectCase(), 1);
  EXPECT_EQ(itlSearchStringRespectCase(ss, false), 0);
  EXPECT_EQ(str().getRespectCase(), 0);
}

TEST_F(SearchOperands, MasksAreCheckedAndStored) {
  EXPECT_EQ(itlSearchStringSetMasks(ss, "?!#$%&", 6, "*+~^@=", 6), 0);
  EXPECT_EQ(std::string(str().getSingleMasks(), str().getSingleMaskLength()), "?!#$%&");
  EXPECT_EQ(std::string(str().getMultiMasks(), str().getMultiMaskLength()), "*+~^@=");
  // Seven single masks: refused, the stored masks stay.
  EXPECT_EQ(itlSearchStringSetMasks(ss, "1234567", 7, "*", 1), 8);
  EXPECT_EQ(codes(), "8/360");
  EXPECT_EQ(str().getSingleMaskLength(), 6u);
  // A multi count of 0: refused and both stored lengths emptied.
  EXPECT_EQ(itlSearchStringSetMasks(ss, "?", 1, "*", 0), 8);
  EXPECT_EQ(codes(), "8/361");
  EXPECT_EQ(str().getSingleMaskLength(), 0u);
  EXPECT_EQ(str().getMultiMaskLength(), 0u);
  EXPECT_TRUE(str().getMasksGiven());
  // A null pointer with a count: refused as that kind's mask.
  EXPECT_EQ(itlSearchStringSetMasks(ss, nullptr, 1, "*", 1), 8);
  EXPECT_EQ(codes(), "8/360");
  EXPECT_EQ(itlSearchStringSetMasks(nullptr, "?", 1, "*", 1), 16);
}

TEST_F(SearchOperands, CCSIDAndLanguageAreStoredEvenWhenRefused) {
  struct Case {
    unsigned ccsid;
    char const* language;
    char const* codes;
  } const cases[] = {
      {1208, "en", "0/0"},
      {819, "de-CH", "0/0"},
      {1208, "zz", "8/8"},
      {1208, "en-QQ", "8/8"},
      {0, "en", "8/10"},
      {4711, "fr", "8/10"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.language);
    ItlEnReturnCode rc = itlSearchStringSetCCSIDAndLanguage(
        ss, static_cast<ItlTyCCSID>(c.ccsid), c.language);
    EXPECT_EQ(rc == 0 ? std::string("0/0") : codes(), c.codes);
    EXPECT_EQ(str().getCCSID().getCCSID(), c.ccsid);
    EXPECT_EQ(str().getLanguage().getLanguage(),
              CosClLanguage(c.language).getLanguage());
  }
  EXPECT_EQ(itlSearchStringSetCCSIDAndLanguage(ss, 1208, nullptr), 8);
  EXPECT_EQ(codes(), "8/25");
}

TEST_F(SearchOperands, ResetFreesValueAndKeepsCaseRuleAndTerritory) {
  ASSERT_EQ(itlSearchStringSetCCSIDAndLanguage(ss, 1208, "de-CH"), 0);
  ASSERT_EQ(itlSearchStringRespectCase(ss, true), 0);
  ASSERT_EQ(itlSearchStringSetMasks(ss, "?", 1, "*", 1), 0);
  ASSERT_EQ(itlSearchStringSetNewValue(ss, "x", 200), 8);
  EXPECT_EQ(itlSearchStringResetToDefault(ss), 0);
  EXPECT_EQ(itlErrorInfoGetReturnCode(ei), 0);
  EXPECT_EQ(str().getValue(), nullptr);
  EXPECT_EQ(str().getValueLength(), 0u);
  EXPECT_EQ(str().getCapacity(), 0u);
  EXPECT_EQ(str().getCCSID().getCCSID(), 0u);
  EXPECT_EQ(str().getLanguage().getLanguage(), CosClLanguage::CosEnLanguageInvalid);
  EXPECT_EQ(str().getLanguage().getTerritory(), CosClLanguage("de-CH").getTerritory());
  EXPECT_FALSE(str().getMasksGiven());
  EXPECT_EQ(str().getSingleMaskLength(), 0u);
  EXPECT_EQ(str().getRespectCase(), 1);
  EXPECT_EQ(itlSearchStringSetNewValue(ss, "new", 3), 0);
  EXPECT_EQ(value(), "new");
}

// ---- search terms ---------------------------------------------------------------

class SearchTerms : public SearchOperands {
 protected:
  void SetUp() override {
    SearchOperands::SetUp();
    ASSERT_EQ(itlHandleNewSearchTerm(ss, &term, ctx), 0);
  }
  void TearDown() override {
    EXPECT_NE(itlHandleDeleteSearchTerm(&term), 16);
    EXPECT_EQ(term, nullptr);
    SearchOperands::TearDown();
  }
  ItlClAlSearchTerm& t() { return *reinterpret_cast<ItlClAlSearchTerm*>(term); }
  std::string fieldNames() {
    std::string out;
    auto const* list = t().getFieldNames();
    for (uint32_t i = 0; list != nullptr && i < list->getCount(); ++i)
      out += std::string(list->at(i).getName()) + ",";
    return out;
  }
  ItlTySearchTermHandle term = nullptr;
};

TEST_F(SearchTerms, NewTermChecksAndDefaults) {
  ItlTySearchTermHandle h = nullptr;
  EXPECT_EQ(itlHandleNewSearchTerm(ss, &h, nullptr), 16);
  EXPECT_EQ(itlHandleNewSearchTerm(nullptr, &h, ctx), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(itlHandleNewSearchTerm(ss, nullptr, ctx), 8);
  EXPECT_EQ(t().getWord().type, 0x57);
  EXPECT_EQ(t().getWord().precision, 100);
  EXPECT_EQ(t().getWord().weight, 0);
  EXPECT_EQ(t().getCaseRule(), -1);
  EXPECT_EQ(t().getFieldNames(), nullptr);
  EXPECT_EQ(itlHandleDeleteSearchTerm(&h), 16);
}

TEST_F(SearchTerms, PrecisionAndWeightBounds) {
  EXPECT_EQ(itlSearchTermSetPrecision(term, 1), 0);
  EXPECT_EQ(t().getWord().precision, 1);
  EXPECT_EQ(itlSearchTermSetPrecision(term, 100), 0);
  EXPECT_EQ(itlSearchTermSetPrecision(term, 0), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(itlSearchTermSetPrecision(term, 101), 8);
  EXPECT_EQ(t().getWord().precision, 100);
  EXPECT_EQ(itlSearchTermSetWeight(term, 0), 0);
  EXPECT_EQ(itlSearchTermSetWeight(term, 7), 0);
  EXPECT_EQ(itlSearchTermSetWeight(term, -1), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(t().getWord().weight, 7);
  EXPECT_EQ(itlSearchTermSetPrecision(nullptr, 5), 16);
}

TEST_F(SearchTerms, OptionsAreOnOnlyForOne) {
  EXPECT_EQ(itlSearchTermRespectKoreanWordBoundary(term, true), 0);
  EXPECT_EQ(t().getWord().start_option, 0x53);
  EXPECT_EQ(callWithByte(itlSearchTermRespectKoreanWordBoundary, term, 2), 0);
  EXPECT_EQ(t().getWord().start_option, 0);
  EXPECT_EQ(itlSearchTermCompareStemForms(term, true), 0);
  EXPECT_EQ(t().getWord().stemming, 1);
  EXPECT_EQ(itlSearchTermPreferMasks(term, true), 0);
  EXPECT_EQ(t().getWord().search_flag, 1);
  EXPECT_EQ(callWithByte(itlSearchTermPreferMasks, term, 2), 0);
  EXPECT_EQ(t().getWord().search_flag, 0);
}

TEST_F(SearchTerms, FieldListsStartWithSetAndGrow) {
  EXPECT_EQ(itlSearchTermAddField(term, "body"), 8);
  EXPECT_EQ(codes(), "8/368");
  EXPECT_NE(std::string(itlErrorInfoGetContext(ei)).find("body"), std::string::npos);
  EXPECT_EQ(t().getFieldNames(), nullptr);
  EXPECT_EQ(itlSearchTermAddFieldWeight(term, "body", 3), 8);
  EXPECT_EQ(codes(), "8/368");
  EXPECT_EQ(itlSearchTermSetField(term, nullptr), 8);
  EXPECT_EQ(codes(), "8/25");

  EXPECT_EQ(itlSearchTermSetField(term, "f0"), 0);
  std::string expected = "f0,";
  for (int i = 1; i <= 11; ++i) {
    std::string name = "field-" + std::to_string(i);
    // The Add calls return the stored code: still 8 from above.
    EXPECT_EQ(itlSearchTermAddField(term, name.c_str()), 8);
    expected += name + ",";
  }
  EXPECT_EQ(fieldNames(), expected);
  EXPECT_EQ(t().getFieldNames()->getCapacity(), 20u);
  EXPECT_EQ(itlSearchTermSetField(term, "only"), 0);
  EXPECT_EQ(fieldNames(), "only,");

  EXPECT_EQ(itlSearchTermSetFieldWeight(term, "title", 300), 0);
  EXPECT_EQ(itlSearchTermAddFieldWeight(term, "a-much-longer-name", 5), 8);
  auto const* weights = t().getFieldWeights();
  ASSERT_EQ(weights->getCount(), 2u);
  EXPECT_STREQ(weights->at(0).getName(), "title");
  EXPECT_EQ(weights->at(0).getWeight(), 300);
  EXPECT_STREQ(weights->at(1).getName(), "a-much-longer-name");
  EXPECT_EQ(weights->at(1).getWeight(), 5);
}

TEST_F(SearchTerms, ResetRestoresDefaultsAndKeepsWord) {
  ASSERT_EQ(itlSearchTermSetPrecision(term, 50), 0);
  ASSERT_EQ(itlSearchTermSetWeight(term, 9), 0);
  ASSERT_EQ(itlSearchTermCompareStemForms(term, true), 0);
  ASSERT_EQ(itlSearchTermSetField(term, "f"), 0);
  ASSERT_EQ(itlSearchTermSetFieldWeight(term, "g", 1), 0);
  ASSERT_EQ(itlSearchStringRespectCase(ss, true), 0);
  ASSERT_EQ(itlSearchTermSetNewSearchString(term, ss), 0);
  EXPECT_EQ(t().getCaseRule(), 1);
  ASSERT_EQ(itlSearchTermSetPrecision(term, 0), 8);
  EXPECT_EQ(itlSearchTermResetToDefault(term), 0);
  EXPECT_EQ(itlErrorInfoGetReturnCode(ei), 0);
  EXPECT_EQ(t().getWord().type, 0x57);
  EXPECT_EQ(t().getWord().precision, 100);
  EXPECT_EQ(t().getWord().weight, 0);
  EXPECT_EQ(t().getWord().stemming, 0);
  EXPECT_EQ(t().getFieldNames()->getCount(), 0u);
  EXPECT_EQ(t().getFieldWeights()->getCount(), 0u);
  EXPECT_EQ(t().getCaseRule(), -1);
  EXPECT_EQ(std::string(t().getSearchString().getValue(),
                        t().getSearchString().getValueLength()),
            "alpha");
}

TEST_F(SearchTerms, TermOutlivesItsSearchString) {
  ASSERT_EQ(itlSearchStringSetMasks(ss, "?", 1, "*", 1), 0);
  ASSERT_EQ(itlSearchStringSetCCSIDAndLanguage(ss, 1208, "en"), 0);
  ItlTySearchTermHandle second = nullptr;
  ASSERT_EQ(itlHandleNewSearchTerm(ss, &second, ctx), 0);
  ASSERT_EQ(itlHandleDeleteSearchString(&ss), 0);
  ItlClAlSearchString const& copy =
      reinterpret_cast<ItlClAlSearchTerm*>(second)->getSearchString();
  EXPECT_EQ(std::string(copy.getValue(), copy.getValueLength()), "alpha");
  EXPECT_EQ(copy.getCCSID().getCCSID(), 1208u);
  EXPECT_EQ(std::string(copy.getMultiMasks(), copy.getMultiMaskLength()), "*");
  EXPECT_EQ(itlHandleDeleteSearchTerm(&second), 0);
  // A new search string of a longer value replaces the copy's buffer.
  ASSERT_EQ(itlHandleNewSearchString("a longer value", 14, &ss, ctx), 0);
  EXPECT_EQ(itlSearchTermSetNewSearchString(term, ss), 0);
  EXPECT_EQ(std::string(t().getSearchString().getValue(),
                        t().getSearchString().getValueLength()),
            "a longer value");
  EXPECT_EQ(itlSearchTermSetNewSearchString(term, nullptr), 16);
}

// ---- string attribute conditions ---------------------------------------------

TEST_F(SearchOperands, StringAttributeChecksAndNames) {
  ItlTyStringAttributeHandle h = nullptr;
  EXPECT_EQ(itlHandleNewStringAttribute(ss, "a", &h, nullptr), 16);
  EXPECT_EQ(itlHandleNewStringAttribute(nullptr, "a", &h, ctx), 16);
  EXPECT_EQ(itlHandleNewStringAttribute(ss, nullptr, &h, ctx), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(itlHandleNewStringAttribute(ss, "a", nullptr, ctx), 8);
  std::string tooLong(65535, 'n');
  EXPECT_EQ(itlHandleNewStringAttribute(ss, tooLong.c_str(), &h, ctx), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(h, nullptr);
  std::string longest(65534, 'm');
  ASSERT_EQ(itlHandleNewStringAttribute(ss, longest.c_str(), &h, ctx), 0);
  auto& a = *reinterpret_cast<ItlClAlStringAttribute*>(h);
  EXPECT_EQ(a.getName(), longest);
  EXPECT_EQ(a.getNameBufferSize(), 65535u);
  EXPECT_EQ(itlStringAttributeSetName(h, tooLong.c_str()), 8);
  EXPECT_EQ(a.getName(), longest);
  EXPECT_EQ(itlStringAttributeSetName(h, "abc"), 0);
  EXPECT_STREQ(a.getName(), "abc");
  ASSERT_EQ(itlHandleDeleteStringAttribute(&h), 8);  // the stored 8
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(itlHandleDeleteStringAttribute(&h), 16);

  // Same length, then one longer: each whole and terminated.
  ASSERT_EQ(itlHandleNewStringAttribute(ss, "abc", &h, ctx), 0);
  auto& b = *reinterpret_cast<ItlClAlStringAttribute*>(h);
  EXPECT_EQ(itlStringAttributeSetName(h, "xyz"), 0);
  EXPECT_STREQ(b.getName(), "xyz");
  EXPECT_EQ(itlStringAttributeSetName(h, "wxyz"), 0);
  EXPECT_STREQ(b.getName(), "wxyz");
  EXPECT_EQ(b.getNameBufferSize(), 5u);
  EXPECT_EQ(itlStringAttributeSetName(h, nullptr), 8);
  EXPECT_EQ(itlStringAttributeSetSearchString(h, nullptr), 16);
  ASSERT_EQ(itlSearchStringSetNewValue(ss, "beta", 4), 8);
  EXPECT_EQ(itlStringAttributeSetSearchString(h, ss), 0);
  // Reset keeps the value and empties the name.
  EXPECT_EQ(itlStringAttributeReset(h), 0);
  EXPECT_STREQ(b.getName(), "");
  EXPECT_EQ(std::string(b.getSearchString().getValue(),
                        b.getSearchString().getValueLength()),
            "beta");
  ASSERT_EQ(itlHandleDeleteSearchString(&ss), 0);
  EXPECT_EQ(b.getSearchString().getValueLength(), 4u);
  EXPECT_EQ(itlHandleDeleteStringAttribute(&h), 0);
  EXPECT_EQ(h, nullptr);
}

// ---- numeric attribute conditions ----------------------------------------------

TEST_F(SearchOperands, NumericConditionChecksAndComparisons) {
  using C = ItlEnAttributeComparison;
  ItlTyNumericAttributeConditionHandle h =
      reinterpret_cast<ItlTyNumericAttributeConditionHandle>(&h);
  auto make = [&](char const* low, unsigned lowLength, C lc, char const* high,
                  unsigned highLength, C hc) {
    return itlHandleNewNumericAttributeCondition(
        "price", ItlEnAttributeType_Number, low, lowLength, lc, high,
        highLength, hc, &h, ctx);
  };
  C const gt = ItlEnAttributeComparison_GreaterThan;
  C const le = ItlEnAttributeComparison_LessOrEqual;
  EXPECT_EQ(itlHandleNewNumericAttributeCondition("p", ItlEnAttributeType_Number,
                                                  "1", 1, gt, "2", 1, le, &h,
                                                  nullptr),
            16);
  EXPECT_EQ(make("1", 0, gt, "2", 1, le), 8);
  EXPECT_EQ(codes(), "8/25");
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(make(nullptr, 1, gt, "2", 1, le), 8);
  EXPECT_EQ(make("1", 1, gt, "2", 0, le), 8);
  EXPECT_EQ(make("1", 1, static_cast<C>(5), "2", 1, le), 8);
  EXPECT_EQ(codes(), "8/372");
  EXPECT_NE(std::string(itlErrorInfoGetContext(ei)).find("1"), std::string::npos);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(make("1", 1, gt, "29", 2, static_cast<C>(0)), 8);
  EXPECT_EQ(codes(), "8/373");
  EXPECT_NE(std::string(itlErrorInfoGetContext(ei)).find("29"), std::string::npos);
  EXPECT_EQ(h, nullptr);

  ASSERT_EQ(make("10", 2, gt, "20", 2, le), 0);
  auto& n = *reinterpret_cast<ItlClAlNumericAttributeCondition*>(h);
  EXPECT_EQ(n.getItem().item_type, 'N');
  EXPECT_EQ(n.getItem().num_min_equal, 'X');
  EXPECT_EQ(n.getItem().num_max_equal, 'I');
  EXPECT_EQ(std::string(n.getLowValue(), n.getLowLength()), "10");
  EXPECT_EQ(itlNumericAttributeConditionSetValues(
                h, "when", ItlEnAttributeType_Date, "2001-01-01", 10,
                ItlEnAttributeComparison_GreaterOrEqual, "2002-01-01", 10,
                ItlEnAttributeComparison_LessThan),
            0);
  EXPECT_STREQ(n.getName(), "when");
  EXPECT_EQ(n.getType(), ItlEnAttributeType_Date);
  EXPECT_EQ(n.getItem().num_min_equal, 'I');
  EXPECT_EQ(n.getItem().num_max_equal, 'X');
  EXPECT_EQ(itlNumericAttributeConditionSetValues(h, nullptr, ItlEnAttributeType_Date,
                                                  "1", 1, gt, "2", 1, le),
            8);

  EXPECT_EQ(itlNumericAttributeConditionSetCCSIDAndLanguage(h, 1208, "zz"), 8);
  EXPECT_EQ(codes(), "8/8");
  EXPECT_EQ(n.getCCSID().getCCSID(), 1208u);
  EXPECT_EQ(itlNumericAttributeConditionSetCCSIDAndLanguage(h, 1208, "de-CH"), 0);
  EXPECT_EQ(itlNumericAttributeConditionReset(h), 0);
  EXPECT_EQ(n.getCCSID().getCCSID(), 0u);
  EXPECT_EQ(n.getLanguage().getLanguage(), CosClLanguage::CosEnLanguageInvalid);
  EXPECT_EQ(n.getLanguage().getTerritory(), CosClLanguage("de-CH").getTerritory());
  EXPECT_STREQ(n.getName(), "when");
  EXPECT_EQ(std::string(n.getHighValue(), n.getHighLength()), "2002-01-01");
  EXPECT_EQ(itlHandleDeleteNumericAttributeCondition(&h), 0);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(itlHandleDeleteNumericAttributeCondition(&h), 16);
}

TEST(SearchOperandsNullHandles, EveryFunctionGives16) {
  ItlTySearchStringHandle s = nullptr;
  ItlTySearchTermHandle t = nullptr;
  ItlTyStringAttributeHandle a = nullptr;
  ItlTyNumericAttributeConditionHandle n = nullptr;
  EXPECT_EQ(itlSearchStringSetCCSIDAndLanguage(s, 1208, "en"), 16);
  EXPECT_EQ(itlSearchStringRespectCase(s, true), 16);
  EXPECT_EQ(itlSearchStringResetToDefault(s), 16);
  EXPECT_EQ(itlSearchTermSetNewSearchString(t, s), 16);
  EXPECT_EQ(itlSearchTermRespectKoreanWordBoundary(t, true), 16);
  EXPECT_EQ(itlSearchTermCompareStemForms(t, true), 16);
  EXPECT_EQ(itlSearchTermPreferMasks(t, true), 16);
  EXPECT_EQ(itlSearchTermSetWeight(t, 1), 16);
  EXPECT_EQ(itlSearchTermSetField(t, "f"), 16);
  EXPECT_EQ(itlSearchTermSetFieldWeight(t, "f", 1), 16);
  EXPECT_EQ(itlSearchTermAddField(t, "f"), 16);
  EXPECT_EQ(itlSearchTermAddFieldWeight(t, "f", 1), 16);
  EXPECT_EQ(itlSearchTermResetToDefault(t), 16);
  EXPECT_EQ(itlHandleDeleteSearchTerm(nullptr), 16);
  EXPECT_EQ(itlStringAttributeReset(a), 16);
  EXPECT_EQ(itlStringAttributeSetName(a, "x"), 16);
  EXPECT_EQ(itlHandleDeleteStringAttribute(nullptr), 16);
  EXPECT_EQ(itlNumericAttributeConditionReset(n), 16);
  EXPECT_EQ(itlNumericAttributeConditionSetCCSIDAndLanguage(n, 0, "en"), 16);
  EXPECT_EQ(itlNumericAttributeConditionSetValues(n, "a", ItlEnAttributeType_Number,
                                                  "1", 1,
                                                  ItlEnAttributeComparison_GreaterThan,
                                                  "2", 1,
                                                  ItlEnAttributeComparison_LessThan),
            16);
  EXPECT_EQ(itlHandleDeleteNumericAttributeCondition(nullptr), 16);
}

}  // namespace
