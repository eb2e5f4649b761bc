// itl_api_codes.hpp: the name of each return code, action and reason code
// ("ItlEnReasonCode_Invalid_argument" for 25), a static text; null for a
// number without a name.
#ifndef ITL_API_CODES_HPP
#define ITL_API_CODES_HPP

#include <cstdint>

char const* itlApiReturnCodeName(int32_t code);
char const* itlApiActionName(int32_t code);
char const* itlApiReasonCodeName(int32_t code);

#endif  // ITL_API_CODES_HPP
