// cos_icuerror.cpp: translation of ICU status codes into the library's
// error identifier, class, action and severity.
//
// One constant table, searched linearly (first match). ICU success (0) maps
// to zeros; codes 1..20 are ICU's standard errors in numeric order; the last
// row is ICU's "error limit" code. Any other code is an unexpected ICU
// error and throws.
#include "cos_exception.hpp"

#include <iterator>

namespace {

using Id = CosEnErrorId;
using Cl = CosEnErrorClass;
using Ac = CosEnErrorAction;
using Se = CosEnErrorSeverity;

constexpr _CosStIcuErrorEntry kIcuTable[] = {
    {U_ZERO_ERROR, Id::NO_ERROR, Cl::UNKNOWN, Ac::IGNORE, Se::NONE},
    {U_ILLEGAL_ARGUMENT_ERROR, Id::ICU_ILLEGAL_ARGUMENT_ERROR, Cl::USER_ERROR,
     Ac::INFORM, Se::INTERNAL},
    {U_MISSING_RESOURCE_ERROR, Id::ICU_MISSING_RESOURCE_ERROR, Cl::UNKNOWN,
     Ac::INFORM, Se::NORMAL},
    {U_INVALID_FORMAT_ERROR, Id::ICU_INVALID_FORMAT_ERROR, Cl::UNKNOWN,
     Ac::INFORM, Se::NORMAL},
    {U_FILE_ACCESS_ERROR, Id::ICU_FILE_ACCESS_ERROR, Cl::IO_PROBLEM,
     Ac::INFORM, Se::NORMAL},
    {U_INTERNAL_PROGRAM_ERROR, Id::ICU_INTERNAL_PROGRAM_ERROR, Cl::UNKNOWN,
     Ac::ABORT, Se::INTERNAL},
    {U_MESSAGE_PARSE_ERROR, Id::ICU_MESSAGE_PARSE_ERROR, Cl::USER_DATA_ERROR,
     Ac::INFORM, Se::NORMAL},
    {U_MEMORY_ALLOCATION_ERROR, Id::ICU_MEMORY_ALLOCATION_ERROR,
     Cl::OUT_OF_MEMORY, Ac::INFORM, Se::FATAL},
    {U_INDEX_OUTOFBOUNDS_ERROR, Id::ICU_INDEX_OUTOFBOUNDS_ERROR,
     Cl::USER_DATA_ERROR, Ac::INFORM, Se::NORMAL},
    {U_PARSE_ERROR, Id::ICU_PARSE_ERROR, Cl::USER_DATA_ERROR, Ac::INFORM,
     Se::NORMAL},
    {U_INVALID_CHAR_FOUND, Id::CPCONVERTER_INVALID_SEQ, Cl::INVALID_DATA,
     Ac::INFORM, Se::NORMAL},
    {U_TRUNCATED_CHAR_FOUND, Id::CPCONVERTER_INCOMPLETE, Cl::INVALID_DATA,
     Ac::INFORM, Se::NORMAL},
    {U_ILLEGAL_CHAR_FOUND, Id::CPCONVERTER_INVALID_SEQ, Cl::INVALID_DATA,
     Ac::INFORM, Se::NORMAL},
    {U_INVALID_TABLE_FORMAT, Id::ICU_INVALID_TABLE_FORMAT,
     Cl::USER_DATA_ERROR, Ac::INFORM, Se::NORMAL},
    {U_INVALID_TABLE_FILE, Id::ICU_INVALID_TABLE_FILE, Cl::IO_PROBLEM,
     Ac::INFORM, Se::NORMAL},
    {U_BUFFER_OVERFLOW_ERROR, Id::CPCONVERTER_TOO_BIG, Cl::USER_DATA_ERROR,
     Ac::INFORM, Se::NORMAL},
    {U_UNSUPPORTED_ERROR, Id::ICU_UNSUPPORTED_ERROR,
     Cl::FUNCTION_NOT_SUPPORTED, Ac::INFORM, Se::NORMAL},
    {U_RESOURCE_TYPE_MISMATCH, Id::ICU_RESOURCE_TYPE_MISMATCH,
     Cl::USER_DATA_ERROR, Ac::INFORM, Se::NORMAL},
    {U_ILLEGAL_ESCAPE_SEQUENCE, Id::ICU_ILLEGAL_ESCAPE_SEQUENCE,
     Cl::INVALID_DATA, Ac::INFORM, Se::NORMAL},
    {U_UNSUPPORTED_ESCAPE_SEQUENCE, Id::ICU_UNSUPPORTED_ESCAPE_SEQ,
     Cl::INVALID_DATA, Ac::INFORM, Se::NORMAL},
    {U_NO_SPACE_AVAILABLE, Id::ICU_NO_SPACE_AVAILABLE,
     Cl::RESOURCE_EXHAUSTED, Ac::INFORM, Se::NORMAL},
    // The limit code of the ICU in use (one more than its highest error).
    {U_ERROR_LIMIT, Id::ICU_ERROR_LIMIT, Cl::UNKNOWN, Ac::IGNORE, Se::NONE},
};

}  // namespace

_CosStIcuErrorEntry const* CosClIcuInterface::getTable(unsigned int* rowCount) {
  if (rowCount) *rowCount = static_cast<unsigned int>(std::size(kIcuTable));
  return kIcuTable;
}

_CosStIcuErrorEntry const& CosClIcuInterface::getCosEntryForIcuError(
    UErrorCode code) {
  for (_CosStIcuErrorEntry const& row : kIcuTable)
    if (row.icuCode == static_cast<int32_t>(code)) return row;
  throw CosClException("Unexpected ICU error", "cos_icu_interface:252", 252,
                       Id::ICU_UNEXPECTED_ICU_ERROR, Cl::UNKNOWN,
                       Se::INTERNAL, Ac::ABORT);
}

CosEnErrorId CosClIcuInterface::getCosErrorIdForIcuError(UErrorCode code) {
  return getCosEntryForIcuError(code).id;
}

CosEnErrorClass CosClIcuInterface::getCosErrorClassForIcuError(
    UErrorCode code) {
  return getCosEntryForIcuError(code).errClass;
}

CosEnErrorAction CosClIcuInterface::getCosErrorActionForIcuError(
    UErrorCode code) {
  return getCosEntryForIcuError(code).action;
}

CosEnErrorSeverity CosClIcuInterface::getCosErrorSeverityForIcuError(
    UErrorCode code) {
  return getCosEntryForIcuError(code).severity;
}

void CosClIcuInterface::mapIcuError(_CosStError& error, UErrorCode code) {
  _CosStIcuErrorEntry const& row = getCosEntryForIcuError(code);
  error.set(row.id, row.errClass);
}

void CosClIcuInterface::mapIcuError(_CosStUserError& error, UErrorCode code) {
  _CosStIcuErrorEntry const& row = getCosEntryForIcuError(code);
  error.set(row.id, row.errClass);
  error.severity = row.severity;
  error.action = row.action;
}

void CosClIcuInterface::handleIcuErrorCode(UErrorCode code) {
  if (code <= U_ZERO_ERROR) return;  // success or a warning
  _CosStUserError error;
  mapIcuError(error, code);
  throw CosClException("", "cos_icu_interface:325", 325, error);
}
