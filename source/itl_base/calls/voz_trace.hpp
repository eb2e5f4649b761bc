// voz_trace.hpp -- the engine calls' text traces.
//
// Two writers: the trace of the public calls through the process's trace
// facility (cos_trace.hpp; written only while gs_pclCosTraceInstance is
// set, tested before each record), and a small writer of labelled values
// and hex dumps to a caller's stream (VOZ_traceNew, VOZ_trace, hexdump).
// Neither changes a call's result; neither allocates.
#ifndef VOZ_TRACE_HPP
#define VOZ_TRACE_HPP

#include <cstdint>
#include <cstdio>

#include "files/voz_status.hpp"

// ---- trace facility -----------------------------------------------------------
// Records of the engine calls: detail 2 (MED), component 1. `origin` is
// the source position of the call ("file:line"); it must outlive the call.

// True while the trace facility records (callers in hot loops test it once
// instead of once per argument).
bool vozTraceOn();
// "<call> start".
void vozTraceCallStart(const char* call, const char* origin);
// One argument: a value or record of `length` bytes (data type 4).
void vozTraceArg(const char* name, const void* data, uint32_t length,
                 const char* origin);
// One argument that is a NUL-terminated text (data type 8); null allowed.
void vozTraceText(const char* name, const char* text, const char* origin);
// "<call> end", the seven status fields "(gsp)->retcode", "(gsp)->errcode",
// "(gsp)->errfname1", "(gsp)->errfname2", "(gsp)->retrieve_status",
// "(gsp)->processed_index", "(gsp)->system_errno" (none for a null gsp),
// then the trace is flushed.
void vozTraceCallEnd(const char* call, const GTRSTATUS* gsp,
                     const char* origin);

// ---- text trace to a stream ---------------------------------------------------
// Kinds of VOZ_traceNew's value.
constexpr int VOZ_TRACE_KIND_INT8 = 1;
constexpr int VOZ_TRACE_KIND_INT16 = 2;
constexpr int VOZ_TRACE_KIND_INT32 = 4;

// Every line starts with 17 blanks. With a title: "=== title === " and the
// current time (ctime form, ending in a newline). With a non-empty label:
// kinds 1, 2, 4 "label ((address)) = " and the signed 8-, 16- or 32-bit
// value at data; any other kind "label (address)" and a hex dump of
// `length` bytes. Null title, label or data write nothing of their part.
// The stream is flushed.
void VOZ_traceNew(FILE* stream, const char* title, const char* label,
                  const void* data, int32_t length, int kind);
// VOZ_traceNew with kind 0.
void VOZ_trace(FILE* stream, const char* title, const char* label,
               const void* data, int32_t length);
// One 79-character line per 16 bytes: the 8-character label, the offset
// (8 upper-case hex digits) and ':', four groups of 8 hex digits, the bytes
// as characters (below 32 or above 127 as '.'). Nothing for length < 1.
void hexdump(FILE* stream, const char* label, const void* data,
             int32_t length);
// Two upper-case hex digits of `b` into out[0..1].
void hexconv(char* out, uint8_t b);

#endif  // VOZ_TRACE_HPP
