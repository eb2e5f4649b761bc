// itl_codes.hpp: the code sets of the index library for its C++ classes.
//
// The code sets and the callback types themselves are defined once, in the
// C-compatible itl_codes.h that the exported headers include too; this
// header adds what only the C++ side needs.
#ifndef ITL_CODES_HPP
#define ITL_CODES_HPP

#include <cstdint>

#include "itl_codes.h"

// Number of named reason codes and the highest one.
constexpr unsigned ITL_REASON_CODE_COUNT = 153;
constexpr int32_t ITL_REASON_CODE_MAX = 701;

#endif  // ITL_CODES_HPP
