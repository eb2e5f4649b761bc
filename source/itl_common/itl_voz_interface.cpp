// itl_voz_interface.cpp: the table that maps engine return codes onto
// reason codes, and the raise of a failed engine status.
//
// The exception describes the engine's failure in context lines: the
// engine's return and error codes, one line chosen by the return code (the
// failing file's name where there is one), then the processed sub-index,
// errno, the detail value and the retrieval status. It also carries the
// whole status record, which the API hands out on request.
#include "itl_voz_interface.hpp"

#include "files/voz_status.hpp"
#include "itl_error.hpp"

namespace {

struct Row {
  int32_t key;
  int32_t value;
};

// Engine return code -> reason. Codes that map to 27 explicitly are left to
// the default, which gives the same answer.
constexpr Row gs_astVoz2ItlRcMap[] = {
    {0, 0},     {1, 1},     {2, 25},    {3, 16},    {4, 17},    {5, 18},
    {6, 19},    {7, 20},    {8, 23},    {9, 22},    {10, 21},   {11, 2},
    {15, 6},    {16, 103},  {17, 7},    {19, 103},  {20, 100},  {21, 6},
    {29, 101},  {35, 101},  {50, 4},    {114, 40},  {119, 40},  {131, 4},
    {135, 4},   {140, 24},  {141, 23},  {151, 50},  {153, 306}, {999, 4},
    {551, 25},  {521, 346}, {544, 104}, {541, 103}, {543, 100}, {542, 345},
    {517, 21},  {510, 16},  {519, 344}, {511, 17},  {515, 23},  {516, 22},
    {513, 19},  {514, 20},  {512, 18},  {531, 15},  {520, 2},   {502, 347},
    {552, 348},
};

// The line added for an engine return code: message number and whether the
// failing file's name follows. Codes not listed add no line.
struct LineRow {
  int32_t retcode;
  int message;
  bool withFile;
};
constexpr LineRow gs_astVozLines[] = {
    {2, 64, false},   {3, 30, true},    {4, 31, true},    {5, 37, true},
    {6, 35, true},    {7, 36, true},    {8, 32, true},    {10, 29, true},
    {11, 42, false},  {15, 41, false},  {16, 55, false},  {20, 57, false},
    {22, 71, false},  {23, 58, false},  {25, 68, false},  {29, 59, false},
    {30, 76, false},  {31, 77, false},  {35, 70, false},  {101, 61, false},
    {111, 72, false}, {113, 73, false}, {114, 66, false}, {116, 67, false},
    {118, 65, false}, {119, 75, false}, {127, 69, false}, {129, 43, false},
    {140, 38, true},  {141, 39, true},  {150, 40, false}, {152, 44, true},
};

// A NUL-terminated view of a 512-byte name field (the engine terminates it,
// but the record may come from anywhere).
struct Name {
  char text[VOZ_STATUS_NAME_LEN + 1];
  explicit Name(char const* field) {
    for (size_t i = 0; i < VOZ_STATUS_NAME_LEN; ++i) text[i] = field[i];
    text[VOZ_STATUS_NAME_LEN] = '\0';
  }
};

void addRetcodeLine(ItlClException& e, GTRSTATUS const& status) {
  Name file1(status.errfname1);
  if (status.retcode == 9) {
    Name file2(status.errfname2);
    e.context(34) << ": '" << file1.text << "' - '" << file2.text << "'";
    return;
  }
  if (status.retcode == 151) {
    e.context(62, file1.text) << ": " << status.detail;
    return;
  }
  for (LineRow const& row : gs_astVozLines) {
    if (row.retcode != status.retcode) continue;
    std::ostream& out = e.context(row.message);
    if (row.withFile) out << ": '" << file1.text << "'";
    return;
  }
}

}  // namespace

ItlEnReasonCode ItlClVozInterface::getItlReasonCodeForVozRc(int32_t retcode) {
  for (Row const& row : gs_astVoz2ItlRcMap)
    if (row.key == retcode) return static_cast<ItlEnReasonCode>(row.value);
  return ItlEnReasonCode_Unexpected_voz_rc;
}

ItlEnReasonCode ItlClVozInterface::getItlReasonCodeForVozStatus(
    GTRSTATUS const& status) {
  return getItlReasonCodeForVozRc(status.retcode);
}

ItlEnReturnCode ItlClVozInterface::getItlReturnCodeForVozStatus(
    GTRSTATUS const& status) {
  return status.retcode != 0 ? ItlEnReturnCode_Error : ItlEnReturnCode_Success;
}

ItlEnErrorAction ItlClVozInterface::getItlActionForVozStatus(
    GTRSTATUS const&) {
  return ItlEnErrorAction_Inform;
}

void ItlClVozInterface::handleVozError(char const* sourceFile, unsigned line,
                                       GTRSTATUS const& status) {
  if (status.retcode == 0) return;
  ItlClException e(sourceFile, line, getItlReasonCodeForVozStatus(status));
  e.setVozStatus(status);
  e.context(14) << ": " << status.retcode;
  e.context(15) << ": " << status.errcode;
  addRetcodeLine(e, status);
  e.context(16) << ": " << static_cast<unsigned>(status.processed_index);
  e.context(17) << ": " << status.system_errno;
  e.context(18) << ": " << status.detail;
  e.context(1) << ": "
               << static_cast<int>(static_cast<int8_t>(status.retrieve_status));
  e.raise();
}
