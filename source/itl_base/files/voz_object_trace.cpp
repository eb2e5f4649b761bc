// voz_object_trace.cpp - CTrace: hand-debugging trace to standard output.
// The format texts come from the caller, as with printf.
#include "files/voz_object_trace.hpp"

#include <cstdio>

CTrace ctrace;

void CTrace::lead() const {
    printf("\n");
    for (int32_t i = 0; i < depth; ++i) printf("  ");
    printf("@@");
}

void CTrace::begin(const char* cls, const char* method, const void* obj) {
    lead();
    printf("begin>>> %s::%s %p", cls, method, obj);
    ++depth;
}

void CTrace::end(const void* obj) {
    --depth;
    lead();
    printf("end>>> %p", obj);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#define VOZ_TRACE_PRINT(T)                                   \
    void CTrace::msg_print(const char* format, T value) {    \
        lead();                                              \
        printf(format, value);                               \
    }
VOZ_TRACE_PRINT(const void*)
VOZ_TRACE_PRINT(unsigned long)
VOZ_TRACE_PRINT(unsigned short)
VOZ_TRACE_PRINT(short)
VOZ_TRACE_PRINT(long)
VOZ_TRACE_PRINT(int)
VOZ_TRACE_PRINT(const char*)
#undef VOZ_TRACE_PRINT
#pragma GCC diagnostic pop
