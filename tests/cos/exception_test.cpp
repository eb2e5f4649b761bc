// Tests of exceptions, error records, the message numbers of error names,
// the ICU status table and the assertion routine.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "cos_exception.hpp"

namespace {

// Expects `e` to hold exactly these texts and numbers.
void expectException(CosClException const& e, char const* cause,
                     char const* location, int line, uint32_t id,
                     uint32_t errClass, uint32_t severity, uint32_t action) {
  EXPECT_STREQ(e.getCause(), cause);
  EXPECT_STREQ(e.getLocation(), location);
  EXPECT_EQ(e.getLine(), line);
  EXPECT_EQ(static_cast<uint32_t>(e.getErrorId()), id);
  EXPECT_EQ(static_cast<uint32_t>(e.getErrorClass()), errClass);
  EXPECT_EQ(static_cast<uint32_t>(e.getSeverity()), severity);
  EXPECT_EQ(static_cast<uint32_t>(e.getAction()), action);
}

// Throws an I/O failure; `line` receives the line of the raise.
void raiseCopyFailure(int& line) {
  // clang-format off
  line = __LINE__; COS_THROW("disk full", CosEnErrorId::FILE_COULD_NOT_COPY, CosEnErrorClass::IO_WRITE_PROBLEM, CosEnErrorSeverity::NORMAL, CosEnErrorAction::RETRY);
  // clang-format on
}

TEST(Exception, CarriesAllNumbersAndThePosition) {
  int line = 0;
  try {
    raiseCopyFailure(line);
    FAIL() << "did not throw";
  } catch (CosClExceptionABase const& base) {
    EXPECT_TRUE(base.isCosException());
    EXPECT_STREQ(base.getCause(), "disk full");
    CosClException const* e = dynamic_cast<CosClException const*>(&base);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->getErrorId(), CosEnErrorId::FILE_COULD_NOT_COPY);
    EXPECT_EQ(e->getErrorClass(), CosEnErrorClass::IO_WRITE_PROBLEM);
    EXPECT_EQ(e->getSeverity(), CosEnErrorSeverity::NORMAL);
    EXPECT_EQ(e->getAction(), CosEnErrorAction::RETRY);
    EXPECT_EQ(e->getLine(), line);
    EXPECT_EQ(e->getLocation(),
              std::string(__FILE__) + ":" + std::to_string(line));
    CosClException copy(*e);
    EXPECT_EQ(copy.getLocation(), e->getLocation());
    EXPECT_EQ(copy.getError().action, CosEnErrorAction::RETRY);
  }
}

TEST(Exception, DefaultBuiltIsEmpty) {
  expectException(CosClException(), "", "", 0, 0, 0, 0, 0);
  CosClException nulls(nullptr, nullptr, 1, _CosStUserError());
  EXPECT_STREQ(nulls.getCause(), "");
  EXPECT_STREQ(nulls.getLocation(), "");
}

TEST(Exception, FatalIsCaughtAsException) {
  _CosStUserError err(CosEnErrorId::MEMMGR_RUNTIME_OUT_OF_MEMORY,
                      CosEnErrorClass::OUT_OF_MEMORY,
                      CosEnErrorSeverity::FATAL, CosEnErrorAction::TERMINATE);
  try {
    COS_THROW_FATAL("", err.id, err.errClass, err.severity, err.action);
  } catch (CosClException const& e) {
    EXPECT_NE(dynamic_cast<CosClExceptionFatal const*>(&e), nullptr);
    EXPECT_EQ(e.getErrorId(), err.id);
  }
  EXPECT_THROW(COS_THROW_ERROR("x", err), CosClException);
}

TEST(ErrorRecord, ClearsAndSets) {
  static_assert(sizeof(_CosStError) == 8, "two 32-bit words");
  static_assert(sizeof(_CosStUserError) == 16, "four 32-bit words");
  _CosStUserError e(CosEnErrorId::DIRWALK_COULD_NOT_INIT,
                    CosEnErrorClass::IO_NOT_EXISTENT,
                    CosEnErrorSeverity::NORMAL, CosEnErrorAction::INFORM);
  EXPECT_TRUE(e.isError());
  _CosStError& base = e;
  EXPECT_EQ(base.errClass, CosEnErrorClass::IO_NOT_EXISTENT);
  e.clear();
  EXPECT_FALSE(e.isError());
  EXPECT_EQ(e.action, CosEnErrorAction::IGNORE);
  base.set(CosEnErrorId::PROCESS_COULD_NOT_LAUNCH,
           CosEnErrorClass::UNKNOWN_PROCESS);
  EXPECT_TRUE(base.isError());
}

// Every identifier in order: its name is the next message, from 47 on.
TEST(MessageIds, IdentifiersNumberTheirNamesInOrder) {
  constexpr uint32_t ids[] = {
      0,       201,     202,     203,     204,     205,     1000001,
      1000002, 1000003, 1000101, 1000102, 1000103, 1000104, 1000105,
      1000201, 1000202, 1000301, 1000302, 1000303, 1000304, 1000401,
      1000402, 1000403, 1000404, 1000601, 1000602, 1000701, 1000702,
      1000703, 1000801, 1000802, 1000901, 1000902, 1000903, 1000904,
      1000905, 1000906, 1001001, 1001002, 1001003, 1001004, 1001101,
      1001102, 1001103, 1001104, 1001105, 1001106, 1001107, 1001108,
      1001109, 1001110, 1001111, 1001112, 1001113, 1001114, 1001115,
      1001116, 1001117, 1001118};
  static_assert(std::size(ids) == 105 - 47 + 1, "59 identifiers");
  for (unsigned i = 0; i < std::size(ids); ++i)
    EXPECT_EQ(cosErrorGetIdAsMessageId(ids[i]), 47 + i) << ids[i];
  EXPECT_EQ(cosErrorGetIdAsMessageId(CosEnErrorId::ICU_ERROR_LIMIT), 105u);
  EXPECT_EQ(cosErrorGetIdAsMessageId(CosEnErrorId::CPCONVERTER_TOO_BIG), 80u);
  for (uint32_t none : {1u, 200u, 206u, 1000000u, 1000004u, 1000106u,
                        1000500u, 1000501u, 1001005u, 1001100u, 1001119u,
                        0xFFFFFFFFu})
    EXPECT_EQ(cosErrorGetIdAsMessageId(none), 0u) << none;
}

TEST(MessageIds, ClassesSeveritiesAndActions) {
  constexpr uint32_t classes[] = {0,   1,   2,   100, 101, 200, 201,
                                  202, 203, 204, 205, 206, 300, 301,
                                  400, 500, 501, 502, 503, 504, 505,
                                  506, 507, 900, 901, 902, 903};
  for (unsigned i = 0; i < std::size(classes); ++i)
    EXPECT_EQ(cosErrorGetClassAsMessageId(classes[i]), 106 + i);
  EXPECT_EQ(cosErrorGetClassAsMessageId(CosEnErrorClass::HARDWARE_NOT_SUPPORTED),
            132u);
  struct Case { uint32_t value, message; };
  for (Case c : {Case{3, 0}, Case{99, 0}, Case{508, 0}, Case{904, 0}})
    EXPECT_EQ(cosErrorGetClassAsMessageId(c.value), c.message) << c.value;
  for (Case c : {Case{0, 133}, Case{1, 134}, Case{2, 135}, Case{5, 136},
                 Case{6, 137}, Case{7, 138}, Case{8, 139}, Case{10, 140},
                 Case{3, 0}, Case{4, 0}, Case{9, 0}, Case{11, 0}})
    EXPECT_EQ(cosErrorGetSeverityAsMessageId(c.value), c.message) << c.value;
  // The table holds "USER" at 145 and "RETRYDELAY" at 146.
  for (Case c : {Case{0, 141}, Case{1, 142}, Case{2, 143}, Case{3, 144},
                 Case{4, 146}, Case{5, 145}, Case{6, 147}, Case{8, 148},
                 Case{10, 149}, Case{7, 0}, Case{9, 0}, Case{11, 0}})
    EXPECT_EQ(cosErrorGetActionAsMessageId(c.value), c.message) << c.value;
  EXPECT_EQ(cosErrorGetActionAsMessageId(CosEnErrorAction::RETRYDELAY), 146u);
  EXPECT_EQ(cosErrorGetSeverityAsMessageId(CosEnErrorSeverity::PANIC), 140u);
}

// The ICU table row by row: {code, id, class, action, severity}.
struct IcuRow {
  int32_t code;
  uint32_t id, errClass, action, severity;
};
constexpr IcuRow kIcuRows[] = {
    {1, 1001102, 100, 1, 7},  {2, 1001103, 0, 1, 5},
    {3, 1001104, 0, 1, 5},    {4, 1001105, 500, 1, 5},
    {5, 1001106, 0, 8, 7},    {6, 1001107, 101, 1, 5},
    {7, 1001108, 200, 1, 6},  {8, 1001109, 101, 1, 5},
    {9, 1001110, 101, 1, 5},  {10, 1000902, 202, 1, 5},
    {11, 1000904, 202, 1, 5}, {12, 1000902, 202, 1, 5},
    {13, 1001111, 101, 1, 5}, {14, 1001112, 500, 1, 5},
    {15, 1000903, 101, 1, 5}, {16, 1001113, 1, 1, 5},
    {17, 1001114, 101, 1, 5}, {18, 1001115, 202, 1, 5},
    {19, 1001116, 202, 1, 5}, {20, 1001117, 201, 1, 5},
    {U_ERROR_LIMIT, 1001118, 0, 0, 0},
};

TEST(IcuErrors, FailingCodesThrowTheirRow) {
  for (IcuRow const& r : kIcuRows) {
    UErrorCode code = static_cast<UErrorCode>(r.code);
    try {
      CosClIcuInterface::handleIcuErrorCode(code);
      ADD_FAILURE() << r.code << " did not throw";
    } catch (CosClException const& e) {
      SCOPED_TRACE(r.code);
      expectException(e, "", "cos_icu_interface:325", 325, r.id, r.errClass,
                      r.severity, r.action);
    }
    _CosStUserError user;
    CosClIcuInterface::mapIcuError(user, code);
    EXPECT_EQ(static_cast<uint32_t>(user.severity), r.severity);
    _CosStError plain;
    CosClIcuInterface::mapIcuError(plain, code);
    EXPECT_EQ(static_cast<uint32_t>(plain.id), r.id);
    EXPECT_EQ(static_cast<uint32_t>(
                  CosClIcuInterface::getCosErrorClassForIcuError(code)),
              r.errClass);
  }
  unsigned rows = 0;
  CosClIcuInterface::getTable(&rows);
  EXPECT_EQ(rows, 22u);
}

TEST(IcuErrors, NamesFollowIcuOwnNames) {
  // The identifier names repeat ICU's error names for codes 1..9.
  EXPECT_STREQ(u_errorName(U_ILLEGAL_ARGUMENT_ERROR),
               "U_ILLEGAL_ARGUMENT_ERROR");
  EXPECT_EQ(CosClIcuInterface::getCosErrorIdForIcuError(U_BUFFER_OVERFLOW_ERROR),
            CosEnErrorId::CPCONVERTER_TOO_BIG);
  EXPECT_EQ(CosClIcuInterface::getCosErrorIdForIcuError(U_NO_SPACE_AVAILABLE),
            CosEnErrorId::ICU_NO_SPACE_AVAILABLE);
}

TEST(IcuErrors, SuccessAndWarningsDoNothing) {
  for (UErrorCode code : {U_ZERO_ERROR, U_USING_FALLBACK_WARNING,
                          U_USING_DEFAULT_WARNING, U_STRING_NOT_TERMINATED_WARNING})
    EXPECT_NO_THROW(CosClIcuInterface::handleIcuErrorCode(code)) << code;
  _CosStUserError e(CosEnErrorId::CONUI_USAGE, CosEnErrorClass::LOGIC,
                    CosEnErrorSeverity::PANIC, CosEnErrorAction::PANIC);
  CosClIcuInterface::mapIcuError(e, U_ZERO_ERROR);
  EXPECT_FALSE(e.isError());
  EXPECT_EQ(e.severity, CosEnErrorSeverity::NONE);
  EXPECT_EQ(e.action, CosEnErrorAction::IGNORE);
}

TEST(IcuErrors, CodesOutsideTheTableAreUnexpected) {
  for (int32_t code : {21, 32, 0x10408, int32_t{U_REGEX_RULE_SYNTAX}, -1}) {
    try {
      CosClIcuInterface::getCosErrorSeverityForIcuError(
          static_cast<UErrorCode>(code));
      ADD_FAILURE() << code << " did not throw";
    } catch (CosClException const& e) {
      SCOPED_TRACE(code);
      expectException(e, "Unexpected ICU error", "cos_icu_interface:252", 252,
                      1001101, 0, 7, 8);
    }
  }
  EXPECT_THROW(CosClIcuInterface::handleIcuErrorCode(
                   static_cast<UErrorCode>(21)),
               CosClException);
}

using AssertDeathTest = ::testing::Test;

TEST_F(AssertDeathTest, WritesTheReportAndAborts) {
  EXPECT_DEATH(cos__assert("count > 0", "walk.cpp", 42),
               "\n\\*\\*\\* INTERNAL ERROR OCCURED \\*\\*\\*\n"
               "\\*\\*\\* ASSERTION FAILED: count > 0\n"
               "\\*\\*\\*             LINE: 42\n"
               "\\*\\*\\*           MODULE: walk.cpp\n"
               "\\*\\*\\*       PROCESS ID: [0-9]+\n\n");
  EXPECT_DEATH(cos__assert_msg("p", "f.cpp", 7, "doIt", "no handle"),
               "OCCURED \\*\\*\\*\n"
               "\\*\\*\\* no handle \\*\\*\\*\n"
               "\\*\\*\\*         FUNCTION: doIt\n"
               "\\*\\*\\* ASSERTION FAILED: p\n");
  // Without a message the function is not shown.
  EXPECT_DEATH(cos__assert_msg("p", "f.cpp", 7, "doIt", nullptr),
               "OCCURED \\*\\*\\*\n\\*\\*\\* ASSERTION FAILED: p\n");
}

int gs_abortSignals = 0;

void assertAgainOnAbort(int) {
  if (++gs_abortSignals == 1) cos__assert("second", "handler.cpp", 2);
}

TEST_F(AssertDeathTest, SecondAssertionWhileReportingStillWritesItsText) {
  EXPECT_DEATH(
      {
        signal(SIGABRT, assertAgainOnAbort);
        cos__assert("first", "main.cpp", 1);
      },
      "ASSERTION FAILED: first\n(.|\n)*ASSERTION FAILED: second\n");
}

}  // namespace
