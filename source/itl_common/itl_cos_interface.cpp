// itl_cos_interface.cpp: the tables that map cos errors onto reason codes
// and actions, and the raise of a failed cos error record.
//
// Tables are searched front to back; the first row whose key matches wins.
// The rows are part of what callers see (reason codes in their error
// info): change them only together with the callers' expectations.
#include "itl_cos_interface.hpp"

#include "itl_error.hpp"

namespace {

struct Row {
  uint32_t key;
  int32_t value;
};

// cos error id -> reason code.
constexpr Row gs_astCos2ItlRcMap[] = {
    {1000001, ItlEnReasonCode_Index_ini_file_missing_section},
    {1000002, ItlEnReasonCode_Index_ini_file_missing_option},
    {1000003, ItlEnReasonCode_Index_ini_file_invalid_option_data},
    {1000101, ItlEnReasonCode_Unexpected_cos_rc},
    {1000102, ItlEnReasonCode_Io_access_denied},
    {1000103, ItlEnReasonCode_Io_access_denied},
    {1000104, ItlEnReasonCode_Io_access_denied},
    {1000105, ItlEnReasonCode_Unexpected_cos_rc},
    {1000401, ItlEnReasonCode_Io_write_error},
    {1000402, ItlEnReasonCode_Io_remove_error},
    {1000403, ItlEnReasonCode_Unexpected_cos_rc},
    {1000404, ItlEnReasonCode_Io_rename_error},
    {1000601, ItlEnReasonCode_Unexpected_cos_rc},
    {1000602, ItlEnReasonCode_Unexpected_cos_rc},
    {1000801, ItlEnReasonCode_Out_of_memory},
    {1000802, ItlEnReasonCode_Out_of_memory},
    {1000901, ItlEnReasonCode_Operation_not_supported},
    {1000902, ItlEnReasonCode_Cpconverter_invalid_sequence},
    {1000903, ItlEnReasonCode_Cpconverter_too_big},
    {1000904, ItlEnReasonCode_Cpconverter_incomplete},
    {1000905, ItlEnReasonCode_Cpconverter_bad_descr},
    {1000906, ItlEnReasonCode_Out_of_memory},
    {1001001, ItlEnReasonCode_Out_of_memory},
    {1001002, ItlEnReasonCode_Out_of_memory},
};

// cos error action -> index-library action.
constexpr Row gs_astCos2ItlActionMap[] = {
    {0, ItlEnErrorAction_Ignore},    {1, ItlEnErrorAction_Inform},
    {2, ItlEnErrorAction_Inform},    {3, ItlEnErrorAction_Inform},
    {5, ItlEnErrorAction_Inform},    {4, ItlEnErrorAction_Inform},
    {6, ItlEnErrorAction_Terminate}, {8, ItlEnErrorAction_Abort},
    {10, ItlEnErrorAction_Abort},
};

template <size_t N>
int32_t lookup(Row const (&table)[N], uint32_t key, int32_t fallback) {
  for (Row const& row : table)
    if (row.key == key) return row.value;
  return fallback;
}

}  // namespace

ItlEnReasonCode ItlClCosInterface::getItlReasonCodeForCosErrorId(uint32_t id) {
  return static_cast<ItlEnReasonCode>(
      lookup(gs_astCos2ItlRcMap, id, ItlEnReasonCode_Unexpected_cos_rc));
}

ItlEnReasonCode ItlClCosInterface::getItlReasonCodeForCosError(
    _CosStError const& error) {
  return getItlReasonCodeForCosErrorId(static_cast<uint32_t>(error.id));
}

ItlEnReturnCode ItlClCosInterface::getItlReturnCodeForCosError(
    _CosStError const& error) {
  return error.isError() ? ItlEnReturnCode_Error : ItlEnReturnCode_Success;
}

ItlEnErrorAction ItlClCosInterface::getItlActionForCosError(
    _CosStError const&) {
  return ItlEnErrorAction_Inform;
}

ItlEnErrorAction ItlClCosInterface::getItlActionForCosErrorAction(
    CosEnErrorAction action) {
  return static_cast<ItlEnErrorAction>(
      lookup(gs_astCos2ItlActionMap, static_cast<uint32_t>(action),
             ItlEnErrorAction_Terminate));
}

void ItlClCosInterface::handleCosError(char const* sourceFile, unsigned line,
                                       _CosStError const& error) {
  if (!error.isError()) return;
  ItlClException e(sourceFile, line, getItlReasonCodeForCosError(error));
  e.context(27) << ": " << static_cast<uint32_t>(error.id);
  e.context(28) << ": " << static_cast<int32_t>(error.errClass);
  e.raise();
}
