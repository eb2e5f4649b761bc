// voz_object_trace.hpp - CTrace, a method trace of the storage classes
// that prints to standard output.  No engine operation calls it and
// nothing switches it on or off; it exists for debugging by hand.
//
// Every line starts with a newline, two blanks per nesting level and "@@".
#ifndef VOZ_OBJECT_TRACE_HPP
#define VOZ_OBJECT_TRACE_HPP

#include <cstdint>

class CTrace {
public:
    // Prints "begin>>> <cls>::<method> <obj>", then nests one level deeper.
    void begin(const char* cls, const char* method, const void* obj);
    // Returns one level, then prints "end>>> <obj>".
    void end(const void* obj);
    // Prints `format` filled with the value.
    void msg_print(const char* format, const void* value);
    void msg_print(const char* format, unsigned long value);
    void msg_print(const char* format, unsigned short value);
    void msg_print(const char* format, short value);
    void msg_print(const char* format, long value);
    void msg_print(const char* format, int value);
    void msg_print(const char* format, const char* value);

    int32_t depth = 0;  // nesting level

private:
    void lead() const;
};

// The one trace object; depth 0 when the library is loaded.
extern CTrace ctrace;

#endif  // VOZ_OBJECT_TRACE_HPP
