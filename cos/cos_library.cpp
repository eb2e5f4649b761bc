// cos_library.cpp: library level queries and diagnostic line prefixes
// (contracts in cos_library.hpp).
#include "cos_library.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ostream>

char const* cosLibraryGetLevel() {
    return "COSLibR5-24";
}

char const* cosLibraryGetTod() {
    return __DATE__;
}

bool cosLibraryIsShipCode() {
    return true;
}

int cosGetOperatingSystemId() {
    return 8;
}

void cos_tprint(std::ostream& out, char const* file, int line) {
    char const* base = file;
    for (char const* p = file; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    out << '[' << base << ':' << line << "] ";
}

void cos_tprintf(char const* file, int line, char const* format, ...) {
    std::printf("[%s:%d] ", file, line);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    if (std::strchr(format, '\n') == nullptr) std::putchar('\n');
    std::fflush(stdout);
}
