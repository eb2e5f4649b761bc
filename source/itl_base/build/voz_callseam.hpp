// voz_callseam.hpp -- the few functions of the call layer that the builder
// calls. The call layer lies above the builder, so its headers are not
// included here; these declarations must match its definitions
// (calls/voz_traceswitch.hpp).
#ifndef VOZ_CALLSEAM_HPP
#define VOZ_CALLSEAM_HPP

// 'Y' when the binary call trace's marker file "GTRbtrc" exists in the
// current directory, else 'N'. The creation calls ask it on entry.
char vozBTraceExists();

#endif  // VOZ_CALLSEAM_HPP
