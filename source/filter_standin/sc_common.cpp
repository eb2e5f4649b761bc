// sc_common.cpp: the injection lookup both stand-in libraries use.
#include <cstring>

#include "sc_standin.hpp"

int32_t scStandinInjected(ScStDocument const& document, char const* procedure,
                          int32_t otherwise) {
  for (ScStInjection const& i : document.injections)
    if (i.procedure == procedure) return i.status;
  return otherwise;
}
