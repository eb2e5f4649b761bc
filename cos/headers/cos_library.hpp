// cos_library.hpp: level and platform of the services library, and the
// "[file:line] " prefixes of diagnostic lines.
#ifndef COS_LIBRARY_HPP
#define COS_LIBRARY_HPP

#include <iosfwd>

// The level label "COSLibR5-24" (a constant text).
char const* cosLibraryGetLevel();
// The compile date of the library as "Mmm dd yyyy" (a constant text; a
// one-digit day is padded with a blank, as the compiler writes it).
char const* cosLibraryGetTod();
// True: this is shipped code.
bool cosLibraryIsShipCode();
// 8, the identifier of this platform.
int cosGetOperatingSystemId();

// Writes "[", the base name of `file` (after its last "/" or "\"), ":",
// `line` and "] " to `out`.
void cos_tprint(std::ostream& out, char const* file, int line);
// Writes "[file:line] " (the file name unchanged) and the printf-formatted
// text to standard output, adds a newline when `format` holds none, and
// flushes standard output.
void cos_tprintf(char const* file, int line, char const* format, ...)
    __attribute__((format(printf, 3, 4)));

#endif  // COS_LIBRARY_HPP
