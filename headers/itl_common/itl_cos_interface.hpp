// itl_cos_interface.hpp: cos failures as index-library errors.
//
// ItlClCosInterface maps a cos error record (identifier, class, severity,
// action) onto the index library's return code, reason code and action, and
// raises an ItlClException for a failed cos record. Index-library code that
// receives a cos error record hands it to handleCosError, which returns
// exactly when the record shows no failure. Stateless; all static.
#ifndef ITL_COS_INTERFACE_HPP
#define ITL_COS_INTERFACE_HPP

#include <cstdint>

#include "cos_exception.hpp"
#include "itl_codes.hpp"

class ItlClCosInterface {
 public:
  // The reason of the record's error id.
  static ItlEnReasonCode getItlReasonCodeForCosError(_CosStError const& error);
  // Table lookup; an id the table does not hold gives 28 Unexpected_cos_rc.
  static ItlEnReasonCode getItlReasonCodeForCosErrorId(uint32_t id);
  // 8 when the error id is not 0, else 0.
  static ItlEnReturnCode getItlReturnCodeForCosError(_CosStError const& error);
  // Always Inform.
  static ItlEnErrorAction getItlActionForCosError(_CosStError const& error);
  // Table lookup; an action the table does not hold gives Terminate.
  static ItlEnErrorAction getItlActionForCosErrorAction(CosEnErrorAction a);

  // Nothing when the error id is 0; otherwise throws an ItlClException:
  // return code 8, the mapped reason, Inform, the context lines
  // "COS Error Id: <id>" and "COS Error class: <class>", and the given
  // position (`sourceFile` a literal that outlives the exception).
  static void handleCosError(char const* sourceFile, unsigned line,
                             _CosStError const& error);
};

#endif  // ITL_COS_INTERFACE_HPP
