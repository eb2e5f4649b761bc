// voz_callseam.hpp -- the few functions of the call layer that the builder
// calls. The call layer lies above the builder, so its headers are not
// included here; these declarations must match its definitions
// (calls/voz_traceswitch.hpp).
#ifndef VOZ_CALLSEAM_HPP
#define VOZ_CALLSEAM_HPP

#include <cstdint>

struct GTRCREATEPARM;
struct GTRSTATUS;

// 'Y' when the binary call trace's marker file "GTRbtrc" exists in the
// current directory, else 'N'. The creation calls ask it on entry.
char vozBTraceExists();

// The key iterators' word conversions (calls/voz_normline.hpp,
// calls/voz_wordcalls.hpp, calls/voz_itemkey.hpp).
void vozNormalizeWord(uint8_t code, const uint8_t* word, int32_t length,
                      uint8_t* out, int32_t outSize, int32_t* outLen,
                      int32_t mode, const GTRCREATEPARM* cparm,
                      GTRSTATUS* st);
void GTRunnormalizeWord(uint8_t codepage, const uint8_t* key, int32_t length,
                        uint8_t* out, int32_t outSize, int32_t* outLen,
                        int32_t mode, GTRSTATUS* gsp);
int32_t vozUnnormalizeDouble(const uint8_t* key, int32_t keyLen,
                             int32_t* itemNo, double* value);

// The call layer's text trace of public calls (calls/voz_trace.hpp); the
// maintenance entry points of the builder trace through it.
void vozTraceCallStart(const char* call, const char* origin);
void vozTraceArg(const char* name, const void* data, uint32_t length,
                 const char* origin);
void vozTraceText(const char* name, const char* text, const char* origin);
void vozTraceCallEnd(const char* call, const GTRSTATUS* gsp,
                     const char* origin);

#endif  // VOZ_CALLSEAM_HPP
