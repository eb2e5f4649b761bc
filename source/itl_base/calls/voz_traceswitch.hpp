// voz_traceswitch.hpp -- whether the engine's call traces are switched on.
//
// The binary call trace is on while a marker file "GTRbtrc" exists in the
// current directory, the text trace while "GTRtrc" does. Callers ask once
// when a call starts; the answer is a character so that it can be stored
// in the engine's work records as it is.
#ifndef VOZ_TRACESWITCH_HPP
#define VOZ_TRACESWITCH_HPP

// 'Y' when "GTRbtrc" exists in the current directory, else 'N'.
char vozBTraceExists();
// 'Y' when "GTRtrc" exists in the current directory, else 'N'.
char vozTraceExists();

#endif  // VOZ_TRACESWITCH_HPP
