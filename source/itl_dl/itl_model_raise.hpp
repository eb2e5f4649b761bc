// itl_model_raise.hpp: how the model loaders raise their failures
// (private). Each failing place has a fixed origin "<file>:<line>".
#ifndef ITL_MODEL_RAISE_HPP
#define ITL_MODEL_RAISE_HPP

#include "itl_error.hpp"

// Origin literal and line of a fixed failing place of `file`.
#define ITL_MODEL_ORIGIN(file, line) file ":" #line, line

// Reason with context lines: `id1` with ": value1" (no value when null),
// then, when `id2` is not 0, `id2` with ": value2".
[[noreturn]] inline void itlModelRaise(char const* origin, unsigned line,
                                       ItlEnReasonCode reason, int id1,
                                       char const* value1, int id2 = 0,
                                       char const* value2 = nullptr) {
  ItlClException e(origin, line, reason);
  if (value1 != nullptr)
    e.context(id1) << ": " << value1;
  else
    e.context(id1);
  if (id2 != 0) e.context(id2) << ": " << (value2 ? value2 : "");
  e.raise();
}

#endif  // ITL_MODEL_RAISE_HPP
