// voz_status.hpp - the engine status record GTRSTATUS and the helpers that
// fill it.
//
// Every engine function takes a GTRSTATUS* last.  Callers clear the record
// to zero before a call and test `retcode` after it; a function that
// succeeds leaves the record untouched.  A failing function stops at the
// first failing step, fills the record and returns.  A set `retcode` is
// never overwritten: the helpers below do nothing while `retcode` != 0, so
// a later failure (typically a close in a cleanup path) never hides the
// first one.
//
// Two rules, by the kind of function:
//  1. Storage and inner engine functions (every layer below the calls)
//     leave the record untouched on success and keep a first failure, as
//     above.
//  2. Public engine calls (the calls layer) clear all 1064 bytes on entry,
//     before they check anything, so that a call that succeeds leaves every
//     byte zero. The exceptions leave the caller's record as they find it
//     and write it only where they fail: GTRcreateIndexLast,
//     GTRcreateIndexTerm and GTRdeleteDocFinish; GTRreleaseSelectivity
//     tests its handle variable before it clears the record, and the
//     searches into a result file check their own arguments before the
//     search clears it.
//
// The record is 1064 bytes with a fixed layout, because the engine's call
// trace writes it byte for byte and the storage classes' exception
// CVozException (voz_exception.hpp) has exactly the same fields and is
// copied onto it whole:
//   off  size  field
//     0     4  retcode          0 = success, else the failure kind (VOZ_RC_*)
//     4     4  errcode          the failing place (reason), or a value such
//                               as the document number for retcode 30
//     8     1  retrieve_status  set by searches only; 0 in storage failures
//     9     1  processed_index  set by the call layer only
//    10     1  filler           zero
//    11     1  limit_mark       set by searches only
//    12   512  errfname1        file name of the failure (shortened, below)
//   524   512  errfname2        second name (target of a rename or copy)
//  1036     4  system_errno     errno of the failing system call, or 0
//  1040     4  detail           one further value (CVozException's last
//                               constructor argument)
//  1044    20  reserved         zero
//
// File names: a name shorter than 512 characters is stored whole; a longer
// one is stored as "..." followed by its tail.  The tail starts at the first
// '/' found from position (length - 507) up to the next-to-last character,
// or at position (length - 507) when there is none, so the stored text has
// at most 510 characters.
#ifndef VOZ_STATUS_HPP
#define VOZ_STATUS_HPP

#include <cstddef>
#include <cstdint>

// Width of each of the two name texts of the status record.
constexpr size_t VOZ_STATUS_NAME_LEN = 512;

struct GTRSTATUS {
    int32_t retcode;
    int32_t errcode;
    uint8_t retrieve_status;
    uint8_t processed_index;
    uint8_t filler;
    uint8_t limit_mark;
    char errfname1[VOZ_STATUS_NAME_LEN];
    char errfname2[VOZ_STATUS_NAME_LEN];
    int32_t system_errno;
    int32_t detail;
    uint8_t reserved[20];
};
static_assert(sizeof(GTRSTATUS) == 1064, "GTRSTATUS layout is fixed");
static_assert(offsetof(GTRSTATUS, errfname1) == 12, "GTRSTATUS layout");
static_assert(offsetof(GTRSTATUS, system_errno) == 1036, "GTRSTATUS layout");

// Return codes set by the engine's storage.  They are the numbers of the
// engine messages that describe them: never renumber.
enum : int32_t {
    VOZ_RC_OK = 0,
    VOZ_RC_HANDLE = 1,          // handle / first parameter error
    VOZ_RC_PARAMETER = 2,       // parameter error
    VOZ_RC_OPEN = 3,
    VOZ_RC_READ = 4,
    VOZ_RC_WRITE = 5,
    VOZ_RC_SEEK = 6,
    VOZ_RC_TELL = 7,            // querying the position failed
    VOZ_RC_REMOVE = 8,
    VOZ_RC_RENAME = 9,
    VOZ_RC_CLOSE = 10,
    VOZ_RC_MEMORY = 11,
    VOZ_RC_INCONSISTENT = 17,   // inconsistent data or calls in wrong order
    VOZ_RC_MISMATCH = 18,       // index mismatch
    VOZ_RC_BEYOND_END = 19,     // record or block beyond the end of a file
    VOZ_RC_VERSION = 23,
    VOZ_RC_DOCNO_RANGE = 30,    // errcode holds the document number
    VOZ_RC_PATH_TOO_LONG = 35,
    VOZ_RC_CHARNORM = 101,      // "Character normalization error."
    VOZ_RC_WORK_TOO_LARGE = 129,
    VOZ_RC_WORK_TOO_LARGE2 = 130,
    VOZ_RC_NO_TEMP_DIR = 140,   // no temporary or index directory made
    VOZ_RC_DIR_NOT_REMOVABLE = 141,
    VOZ_RC_LIST_TOO_LONG = 154  // level-0 position list too long
};

// Highest document number the engine accepts (return code 30 above it).
constexpr uint32_t VOZ_MAX_DOCNO = 2147483646u;

// Stores `name` into the 512-byte text `dst` by the file-name rule above.
// A null name stores the empty string.
void voz_StatusName(char* dst, const char* name);

// Clears the record to zero.  A record whose fields are zero and whose
// two names are empty is left as it is (the bytes behind an empty name are
// not part of it); any other record is cleared whole.  A null `st` is
// accepted.
void voz_ClearStatus(GTRSTATUS* st);

// Records a failure: retcode, errcode, the first name (may be null) and the
// system error number.  Does nothing when `st` is null or already holds a
// failure (retcode != 0).
void voz_setStatus(GTRSTATUS* st, int32_t rc, int32_t ec,
                   const char* name = nullptr, int32_t sysErrno = 0);

// As voz_setStatus, with a second name (the target of a rename or copy).
void voz_setStatus2(GTRSTATUS* st, int32_t rc, int32_t ec, const char* name1,
                    const char* name2, int32_t sysErrno = 0);

// True when `st` is non-null and holds a failure.
inline bool voz_Failed(const GTRSTATUS* st) {
    return st != nullptr && st->retcode != 0;
}

#endif  // VOZ_STATUS_HPP
