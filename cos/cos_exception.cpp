// cos_exception.cpp: the exception classes, the raise helpers and the
// message numbers of the names of error identifiers, classes, severities
// and actions.
//
// The message numbers index the library's own message table, whose texts
// are the names of the values. The numbering follows the order of each
// enumeration, with one exception kept from the table: the table holds
// "USER" before "RETRYDELAY", so action 5 comes before action 4.
#include "cos_exception.hpp"

#include <iterator>

CosClExceptionABase::~CosClExceptionABase() = default;
CosClException::~CosClException() = default;
CosClExceptionFatal::~CosClExceptionFatal() = default;

void cosThrowException(char const* cause, char const* location, int line,
                       CosEnErrorId id, CosEnErrorClass errClass,
                       CosEnErrorSeverity severity, CosEnErrorAction action) {
  throw CosClException(cause, location, line, id, errClass, severity, action);
}

void cosThrowException(char const* cause, char const* location, int line,
                       _CosStUserError const& error) {
  throw CosClException(cause, location, line, error);
}

void cosThrowExceptionFatal(char const* cause, char const* location, int line,
                            CosEnErrorId id, CosEnErrorClass errClass,
                            CosEnErrorSeverity severity,
                            CosEnErrorAction action) {
  throw CosClExceptionFatal(cause, location, line, id, errClass, severity,
                            action);
}

namespace {

// A run of consecutive identifiers whose names are consecutive messages.
struct IdFamily {
  uint32_t firstId;
  uint32_t count;
  unsigned int firstMessage;
};

constexpr IdFamily kIdFamilies[] = {
    {0, 1, 47},         {201, 5, 48},       {1000001, 3, 53},
    {1000101, 5, 56},   {1000201, 2, 61},   {1000301, 4, 63},
    {1000401, 4, 67},   {1000601, 2, 71},   {1000701, 3, 73},
    {1000801, 2, 76},   {1000901, 6, 78},   {1001001, 4, 84},
    {1001101, 18, 88},
};

// Values of an enumeration in the order of their messages.
constexpr uint32_t kClasses[] = {0,   1,   2,   100, 101, 200, 201,
                                 202, 203, 204, 205, 206, 300, 301,
                                 400, 500, 501, 502, 503, 504, 505,
                                 506, 507, 900, 901, 902, 903};
constexpr uint32_t kSeverities[] = {0, 1, 2, 5, 6, 7, 8, 10};
constexpr uint32_t kActions[] = {0, 1, 2, 3, 5, 4, 6, 8, 10};  // 5 before 4

// Message of `value` when the messages of `values` start at `firstMessage`.
template <size_t N>
unsigned int lookUp(uint32_t const (&values)[N], unsigned int firstMessage,
                    uint32_t value) {
  for (size_t i = 0; i < N; ++i)
    if (values[i] == value) return firstMessage + static_cast<unsigned>(i);
  return 0;
}

}  // namespace

unsigned int cosErrorGetIdAsMessageId(uint32_t id) {
  for (IdFamily const& f : kIdFamilies)
    if (id >= f.firstId && id - f.firstId < f.count)
      return f.firstMessage + (id - f.firstId);
  return 0;
}

unsigned int cosErrorGetClassAsMessageId(uint32_t errClass) {
  return lookUp(kClasses, 106, errClass);
}

unsigned int cosErrorGetSeverityAsMessageId(uint32_t severity) {
  return lookUp(kSeverities, 133, severity);
}

unsigned int cosErrorGetActionAsMessageId(uint32_t action) {
  return lookUp(kActions, 141, action);
}
