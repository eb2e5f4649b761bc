// voz_file_internal.hpp - unbuffered transfer under FILE_CONTROL, shared by
// the buffered layer (voz_file.cpp) and the partitioned-file code
// (voz_file_part.cpp).  Not for use outside voz_file*.cpp.
//
// Invariant of an open record: for a plain file the descriptor's offset is
// `physpos`; for a partitioned file `logpos` == `physpos` (the raw position
// of the logical file) whenever the buffered layer is between calls.
#ifndef VOZ_FILE_INTERNAL_HPP
#define VOZ_FILE_INTERNAL_HPP

#include <cstdint>
#include <string>

#include "files/voz_file.hpp"

namespace vozfile {

// Name of part `part` of a partitioned file: "<dir>/%04x".
std::string partName(const char* dir, int32_t part);

// Opens a part as the Part layer says: access bits of the record's flags
// only, created (read-write) when missing and the record writes.  Returns
// the descriptor or -1 with errno.
int openPart(const std::string& name, int32_t oflags, int32_t perm);

// Makes `part` the current part (offset 0).  0 or -1 with errno.
int partOpen(FILE_CONTROL* f, int32_t part);

// Reads up to n bytes at the raw position.  Returns the bytes read (0 at
// the end of data) or -1 with errno; on failure the position is unchanged.
int64_t rawRead(FILE_CONTROL* f, void* buf, int64_t n);

// Writes n bytes at the raw position (the end in append mode).  Returns
// the bytes written (fewer after a failure) or -1 with errno when none.
int64_t rawWrite(FILE_CONTROL* f, const void* buf, int64_t n);

// Sets the raw position (plain: lseek; partitioned: checked 0..max).
// 0 or -1 with errno.
int setPos(FILE_CONTROL* f, int64_t pos);

// True when the record's mode writes.
bool writes(const FILE_CONTROL* f);

}  // namespace vozfile

#endif  // VOZ_FILE_INTERNAL_HPP
