// cnet_base.hpp -- what every part of the thesaurus dictionary engine
// shares: the status helpers, the dictionary specification and file names,
// the output of progress, time-stamped steps and warnings, and the test
// hooks that stand before file operations and sleeps.
//
// Status rule: a helper that records a failure does nothing when the status
// is null or already holds one, so a clean-up failure never hides the first
// failure. Every failing place passes its own site number as errcode.
#ifndef CNET_BASE_HPP
#define CNET_BASE_HPP

#include <cstddef>
#include <cstdint>

#include "voz_cnet.h"

// Dictionary error codes (the numbers of their messages; never renumber).
enum : uint32_t {
    CNET_RC_UNEXPECTED = 501,
    CNET_RC_NAME_LENGTH = 502,
    CNET_RC_PARAMETER = 503,
    CNET_RC_RESERVED = 504,
    CNET_RC_OPEN = 510,
    CNET_RC_READ = 511,
    CNET_RC_WRITE = 512,
    CNET_RC_SEEK = 513,
    CNET_RC_TELL = 514,
    CNET_RC_DELETE = 515,
    CNET_RC_RENAME = 516,
    CNET_RC_CLOSE = 517,
    CNET_RC_EOF = 519,
    CNET_RC_MEMORY = 520,
    CNET_RC_LOCKING = 530,
    CNET_RC_LOCKED = 531,
    CNET_RC_OUTPUT_EXISTS = 540,
    CNET_RC_INTEGRITY = 541,
    CNET_RC_VERSION = 542,
    CNET_RC_NOT_EXIST = 543,
    CNET_RC_EXISTS = 544,
    CNET_RC_NORMALIZE = 550,
    CNET_RC_BASE_WORD = 551,
    CNET_RC_NOT_FOUND = 552,
    CNET_RC_DEFINITION = 567,
    CNET_RC_ENGINE = 10000  // + the engine's retcode
};

// Longest dictionary name and directory, terminator excluded.
constexpr size_t CNET_NAME_MAX = 2047;
// Room for any file name formed from a directory, a name and a suffix.
constexpr size_t CNET_PATH_MAX = 2 * CNET_NAME_MAX + 16;

// ---- status ---------------------------------------------------------------

void cnetClearStatus(CNETSTATUS* st);
// Stores `path` into a 512-byte name field: whole when it has at most 511
// bytes, else "..." and the shortest tail that begins at a "/" within its
// last 507 bytes, else "..." and its last 507 bytes. Null stores "".
void cnetStatusName(char* field, const char* path);
// Records a failure unless st is null or already failed.
void cnetSetStatus(CNETSTATUS* st, uint32_t rc, uint32_t ec,
                   const char* name1 = nullptr, const char* name2 = nullptr);
inline bool cnetFailed(const CNETSTATUS* st) {
    return st != nullptr && st->retcode != 0;
}

// ---- dictionary specification and names -------------------------------------

// The directories of a specification: one, or two joined by a TAB. A
// directory that is exactly "/" is held as "" so that "%s/%s.%s" names a
// file directly under the root.
struct CNETDIRS {
    char first[CNET_NAME_MAX + 1];
    char second[CNET_NAME_MAX + 1];
    bool two;
};

// Checks the name and the directory list (non-empty, each directory and the
// name shorter than 2048 bytes; else 502) and splits it into *dirs.
bool cnetSplitDirs(const char* dirspec, const char* name, CNETDIRS* dirs,
                   CNETSTATUS* st);

// The extensions of the four file sets, by set 0..3 and file kind.
enum { CNET_WORD_SLOTS = 0, CNET_WORD_VALUES = 1, CNET_GROUP_SLOTS = 2,
       CNET_GROUP_VALUES = 3 };
extern const char* const cnet_ext[4][4];

// "%s/%s.%s": with two directories the name in the second directory when
// that file exists, else the name in the first. `out` has CNET_PATH_MAX
// bytes.
void cnetFileName(char* out, const CNETDIRS* dirs, const char* name,
                  const char* ext);

// ---- output ---------------------------------------------------------------

bool cnetShowProgress(const CNETEXEC* opts);
bool cnetShowWarnings(const CNETEXEC* opts);
// "          %ld%%\r" (done * 100 / total), only when total is non-zero.
void cnetProgress(const CNETEXEC* opts, uint64_t done, uint64_t total);
// A time-stamped line on standard output: "%a %b %d %X %Y: ", the program
// name and ": " when given, then the text.
void cnetTimef(const CNETEXEC* opts, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));
// Plain text on standard output under the progress bit (flushed).
void cnetOutf(const CNETEXEC* opts, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));
// A warning on standard error: "<prefix>: " first, where the prefix is
// `source` when non-null, else the program name when non-empty.
void cnetWarnf(const CNETEXEC* opts, const char* source, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));

// ---- test hooks -------------------------------------------------------------

// Asked before every file operation that changes the disk ("write",
// "fsync", "rename", "delete", "lock-create", "lock-remove") with the path,
// and by every reader once it holds its lock ("read", with the path of
// the word slot file); a non-zero answer is an errno with which the
// operation fails.
using CnetFileOpHook = int (*)(const char* operation, const char* path);
// Replaces sleep() in the rename retries and the lock waits.
using CnetSleepHook = void (*)(unsigned seconds);
void cnetSetTestHooks(CnetFileOpHook fileOp, CnetSleepHook sleeper);
// The hook's answer for the operation (errno set to it), 0 without a hook.
int cnetFileOpRefused(const char* operation, const char* path);
void cnetSleep(unsigned seconds);

#endif  // CNET_BASE_HPP
