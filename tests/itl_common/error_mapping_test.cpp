// Tests of the mapping of cos and engine failures onto index-library errors:
// every row and default of the three tables, and the exceptions raised for
// failed cos records and engine statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/voz_status.hpp"
#include "itl_cos_interface.hpp"
#include "itl_error.hpp"
#include "itl_voz_interface.hpp"

namespace {

GTRSTATUS zeroStatus() {
  GTRSTATUS s;
  std::memset(&s, 0, sizeof s);
  return s;
}

TEST(ErrorMapping, EveryRowAndDefaultOfTheThreeTables) {
  struct Pair {
    uint32_t key;
    int32_t value;
  };
  std::vector<Pair> const cos = {
      {1000001, 110}, {1000002, 111}, {1000003, 112}, {1000101, 28},
      {1000102, 15},  {1000103, 15},  {1000104, 15},  {1000105, 28},
      {1000401, 18},  {1000402, 23},  {1000403, 28},  {1000404, 22},
      {1000601, 28},  {1000602, 28},  {1000801, 2},   {1000802, 2},
      {1000901, 4},   {1000902, 500}, {1000903, 501}, {1000904, 502},
      {1000905, 503}, {1000906, 2},   {1001001, 2},   {1001002, 2},
      {0, 28},        {1001003, 28},  {1000201, 28},  {999, 28},
  };
  for (Pair const& p : cos)
    EXPECT_EQ(ItlClCosInterface::getItlReasonCodeForCosErrorId(p.key), p.value)
        << "cos id " << p.key;

  std::vector<Pair> const actions = {
      {0, 100000}, {1, 100001}, {2, 100001}, {3, 100001}, {4, 100001},
      {5, 100001}, {6, 100004}, {8, 100005}, {10, 100005}, {7, 100004},
      {9, 100004}, {11, 100004},
  };
  for (Pair const& p : actions)
    EXPECT_EQ(ItlClCosInterface::getItlActionForCosErrorAction(
                  static_cast<CosEnErrorAction>(p.key)),
              p.value)
        << "cos action " << p.key;

  std::vector<Pair> const voz = {
      {0, 0},     {1, 1},     {2, 25},    {3, 16},    {4, 17},    {5, 18},
      {6, 19},    {7, 20},    {8, 23},    {9, 22},    {10, 21},   {11, 2},
      {15, 6},    {16, 103},  {17, 7},    {19, 103},  {20, 100},  {21, 6},
      {29, 101},  {35, 101},  {50, 4},    {114, 40},  {119, 40},  {131, 4},
      {135, 4},   {140, 24},  {141, 23},  {151, 50},  {153, 306}, {999, 4},
      {551, 25},  {521, 346}, {544, 104}, {541, 103}, {543, 100}, {542, 345},
      {517, 21},  {510, 16},  {519, 344}, {511, 17},  {515, 23},  {516, 22},
      {513, 19},  {514, 20},  {512, 18},  {531, 15},  {520, 2},   {502, 347},
      {552, 348},
      // Mapped to 27 explicitly, and a few that no row names.
      {18, 27},   {22, 27},   {28, 27},   {30, 27},   {31, 27},   {101, 27},
      {113, 27},  {150, 27},  {152, 27},  {567, 27},  {12, 27},   {154, 27},
      {100000, 27},
  };
  for (Pair const& p : voz) {
    EXPECT_EQ(ItlClVozInterface::getItlReasonCodeForVozRc(
                  static_cast<int32_t>(p.key)),
              p.value)
        << "engine rc " << p.key;
  }
  EXPECT_EQ(ItlClVozInterface::getItlReasonCodeForVozRc(-1), 27);

  _CosStError failed(CosEnErrorId::FILE_COULD_NOT_COPY,
                     CosEnErrorClass::IO_PROBLEM);
  EXPECT_EQ(ItlClCosInterface::getItlReturnCodeForCosError(failed), 8);
  EXPECT_EQ(ItlClCosInterface::getItlReturnCodeForCosError(_CosStError()), 0);
  EXPECT_EQ(ItlClCosInterface::getItlActionForCosError(failed), 100001);
  GTRSTATUS s = zeroStatus();
  EXPECT_EQ(ItlClVozInterface::getItlReturnCodeForVozStatus(s), 0);
  s.retcode = 3;
  EXPECT_EQ(ItlClVozInterface::getItlReturnCodeForVozStatus(s), 8);
  EXPECT_EQ(ItlClVozInterface::getItlActionForVozStatus(s), 100001);
}

TEST(ErrorMapping, HandleCosErrorRaisesMappedReasonWithCosLines) {
  _CosStError error(CosEnErrorId::FILE_COULD_NOT_RENAME,
                    CosEnErrorClass::IO_ALREADY_IN_USE);
  try {
    ItlClCosInterface::handleCosError("source/itl_dl/x:9", 9, error);
    FAIL() << "no exception";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_rename_error);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getContext(), "COS Error Id: 1000404\nCOS Error class: 505");
    EXPECT_STREQ(e.getSourceFile(), "source/itl_dl/x:9");
    EXPECT_EQ(e.getLine(), 9u);
    EXPECT_STREQ(e.getCause(), "");
  }
  EXPECT_NO_THROW(ItlClCosInterface::handleCosError("f", 1, _CosStError()));
}

TEST(ErrorMapping, HandleVozErrorDescribesTheFailureAndCarriesTheStatus) {
  GTRSTATUS s = zeroStatus();
  s.retcode = 9;
  s.errcode = 77;
  std::strcpy(s.errfname1, "/a");
  std::strcpy(s.errfname2, "/b");
  try {
    ItlClVozInterface::handleVozError("source/itl_index/k:3", 3, s);
    FAIL() << "no exception";
  } catch (ItlClException const& e) {
    EXPECT_EQ(e.getReasonCode(), ItlEnReasonCode_Io_rename_error);
    EXPECT_EQ(e.getReturnCode(), ItlEnReturnCode_Error);
    EXPECT_EQ(e.getAction(), ItlEnErrorAction_Inform);
    EXPECT_STREQ(e.getContext(),
                 "Kernel return code: 9\nKernel error code: 77\n"
                 "File rename failed: '/a' - '/b'\nProcessed index type: 0\n"
                 "ERRNO variable: 0\nKernel error info: 0\nContext: 0");
    ASSERT_NE(e.peekVozStatus(), nullptr);
    EXPECT_EQ(std::memcmp(e.peekVozStatus(), &s, sizeof s), 0);
  }
}

TEST(ErrorMapping, HandleVozErrorLinesByReturnCode) {
  struct Case {
    int32_t retcode;
    ItlEnReasonCode reason;
    char const* line;  // null: no line of its own
  } const cases[] = {
      {12, ItlEnReasonCode_Unexpected_voz_rc, nullptr},
      {3, ItlEnReasonCode_Io_open_error, "File open failed: '/a'"},
      {5, ItlEnReasonCode_Io_write_error, "File write failed: '/a'"},
      {11, ItlEnReasonCode_Out_of_memory, "The system ran out of storage"},
      {140, ItlEnReasonCode_Io_mkdir_error, "Directory creation failed: '/a'"},
      {151, ItlEnReasonCode_Stopwordfile_contains_invalid_data,
       "Stopword file '/a' contains invalid character(s) or multiple entries "
       "at line: -5"},
      {152, ItlEnReasonCode_Unexpected_voz_rc,
       "Error in unified buffer management: '/a'"},
  };
  for (Case const& c : cases) {
    GTRSTATUS s = zeroStatus();
    s.retcode = c.retcode;
    s.errcode = -2;
    s.processed_index = 200;
    s.retrieve_status = 0xFF;
    s.system_errno = 13;
    s.detail = -5;
    std::strcpy(s.errfname1, "/a");
    std::string middle = c.line ? std::string(c.line) + "\n" : "";
    std::string expected = "Kernel return code: " + std::to_string(c.retcode) +
                           "\nKernel error code: -2\n" + middle +
                           "Processed index type: 200\nERRNO variable: 13\n"
                           "Kernel error info: -5\nContext: -1";
    try {
      ItlClVozInterface::handleVozError("f:1", 1, s);
      ADD_FAILURE() << "no exception for " << c.retcode;
    } catch (ItlClException const& e) {
      EXPECT_EQ(e.getReasonCode(), c.reason) << c.retcode;
      EXPECT_EQ(std::string(e.getContext()), expected);
    }
  }
  GTRSTATUS ok = zeroStatus();
  EXPECT_NO_THROW(ItlClVozInterface::handleVozError("f", 1, ok));
}

TEST(ErrorMapping, UnterminatedEngineNameStaysInsideTheField) {
  GTRSTATUS s = zeroStatus();
  s.retcode = 3;
  std::memset(s.errfname1, 'n', sizeof s.errfname1);  // no terminator
  try {
    ItlClVozInterface::handleVozError("f", 1, s);
  } catch (ItlClException const& e) {
    std::string text = e.getContext();
    EXPECT_EQ(text.size(), 512u);
    EXPECT_EQ(text.substr(509), "...");
  }
}

}  // namespace
