// itl_voz_interface.hpp: engine failures as index-library errors.
//
// ItlClVozInterface maps the engine's status record (GTRSTATUS) onto the
// index library's return code, reason code and action, and raises an
// ItlClException that describes the engine's failure in context lines and
// carries a copy of the whole status. Index-library code that receives an
// engine status hands it to handleVozError, which returns exactly when the
// status shows no failure. Stateless; all static.
#ifndef ITL_VOZ_INTERFACE_HPP
#define ITL_VOZ_INTERFACE_HPP

#include <cstdint>

#include "itl_codes.hpp"

struct GTRSTATUS;

class ItlClVozInterface {
 public:
  // Table lookup; an engine return code the table does not map gives 27
  // Unexpected_voz_rc.
  static ItlEnReasonCode getItlReasonCodeForVozRc(int32_t retcode);
  static ItlEnReasonCode getItlReasonCodeForVozStatus(GTRSTATUS const& status);
  // 8 when the status's return code is not 0, else 0.
  static ItlEnReturnCode getItlReturnCodeForVozStatus(GTRSTATUS const& status);
  // Always Inform.
  static ItlEnErrorAction getItlActionForVozStatus(GTRSTATUS const& status);

  // Nothing when the status's return code is 0; otherwise throws an
  // ItlClException (8, mapped reason, Inform, the status copied) with the
  // lines "Kernel return code", "Kernel error code", one line chosen by the
  // engine return code (none for most codes), then "Processed index type",
  // "ERRNO variable", "Kernel error info" and "Context".
  static void handleVozError(char const* sourceFile, unsigned line,
                             GTRSTATUS const& status);
};

#endif  // ITL_VOZ_INTERFACE_HPP
