// itl_docmap_error.hpp: raising the failures of the document-number maps.
// Every one is an ItlClException with return code 8 and action Inform;
// the context starts with the file's name where the failure has one.
#ifndef ITL_DOCMAP_ERROR_HPP
#define ITL_DOCMAP_ERROR_HPP

#include "itl_error.hpp"

// Message-table lines the maps use.
enum : int {
  ITL_MSG_FILE_NAME = 3,
  ITL_MSG_DOCUMENT_NUMBER = 12,
  ITL_MSG_KERNEL_ERROR_INFO = 18,
  ITL_MSG_OPTION = 20,
  ITL_MSG_FILE_CLOSE_FAILED = 29,
  ITL_MSG_FILE_OPEN_FAILED = 30,
  ITL_MSG_FILE_READ_FAILED = 31,
  ITL_MSG_FILE_WRITE_FAILED = 37,
  ITL_MSG_CONFIG_CONFLICT = 56,
};

// Raises `reason` with `name` (may be null) as the first context line
// and, when messageId is not 0, the line "<message>: <errno>".
[[noreturn]] void itlDocMapRaiseErrno(char const* origin, unsigned line,
                                      ItlEnReasonCode reason,
                                      char const* name, int messageId,
                                      int error);

// Raises 300 (Docmap_corrupted) with the line "File name: <name>" when
// `name` is not null.
[[noreturn]] void itlDocMapRaiseCorrupted(char const* origin, unsigned line,
                                          char const* name);

#endif  // ITL_DOCMAP_ERROR_HPP
