// itl_model_trace.hpp: trace records of the model loaders (private). Each
// costs one null test while the trace is off.
#ifndef ITL_MODEL_TRACE_HPP
#define ITL_MODEL_TRACE_HPP

#include <cstdint>
#include <cstring>

#include "cos_trace.hpp"

// The index library's trace component and detail.
constexpr uint16_t ITL_DL_TRACE_COMPONENT = 3;
constexpr CosEnTraceDetail ITL_DL_TRACE_DETAIL = CosEnTraceDetail::HIGH;

inline bool itlModelTraceOn() { return gs_pclCosTraceInstance != nullptr; }

// A text record "label" under `function` (null text: an empty one).
inline void itlModelTraceText(char const* function, char const* label,
                              char const* text) {
  if (!itlModelTraceOn()) return;
  if (text == nullptr) text = "";
  cosTraceDump(ITL_DL_TRACE_DETAIL, ITL_DL_TRACE_COMPONENT,
               CosEnTraceDataType::CSTRING, function, label, text,
               static_cast<uint32_t>(std::strlen(text)));
}

inline void itlModelTraceUInt(char const* function, char const* label,
                              uint32_t value) {
  if (!itlModelTraceOn()) return;
  cosTraceDump(ITL_DL_TRACE_DETAIL, ITL_DL_TRACE_COMPONENT,
               CosEnTraceDataType::UINT32, function, label, &value, 4);
}

// UTF-16 text of `units` code units.
inline void itlModelTraceUnits(char const* function, char const* label,
                               unsigned short const* units, uint32_t count) {
  if (!itlModelTraceOn()) return;
  cosTraceDump(ITL_DL_TRACE_DETAIL, ITL_DL_TRACE_COMPONENT,
               CosEnTraceDataType::UNICODE, function, label, units, count * 2);
}

#endif  // ITL_MODEL_TRACE_HPP
