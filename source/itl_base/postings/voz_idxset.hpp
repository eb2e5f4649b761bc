// voz_idxset.hpp - operations on a whole file set of an index (its
// descriptor _FCTLHEAD and file names: voz_names.hpp): opening and closing
// it with its key file and position broker, testing its existence,
// removing, renaming, moving, copying and appending file sets, and
// switching directories, with which the commit and merge steps swap a newly
// built file set in.
//
// Failures go into the caller's GTRSTATUS with the file name shortened by
// the status rule and errno; a close failure never overwrites an earlier
// one.  A missing file is never an error for a remove or a rename.
//
// Replacing a file: every rename and copy onto an existing target keeps the
// target until its replacement is complete: a rename is rename(2); where
// that is impossible (another file system, or a partitioned file, which is
// a directory, over another) the replacement is first made under a
// temporary name beside the target and then moved over it.
#ifndef VOZ_IDXSET_HPP
#define VOZ_IDXSET_HPP

#include <cstdint>

#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"

struct GTRSTATUS;

// Answers of voz_IDXqueryExistence.
constexpr char VOZ_EXISTS = 'E';
constexpr char VOZ_MISSING = 'N';
constexpr char VOZ_NO_ACCESS = 'A';

// 'E' when the key file and the position data of the set exist, 'A' when
// one is missing because access is denied, else 'N'.  With `info` the
// record is cleared and, for 'E', filled from the key file's header.
char voz_IDXqueryExistence(_FCTLHEAD* fs, KEYINFO_0* info, GTRSTATUS* st);

// Opens the key file (3/223) and the position broker.  With flag 0x80 the
// header's flags are taken into the set; block sizes are taken from the
// header for a block-store set.  0 or -1.
int voz_IDXopen(_FCTLHEAD* fs, const char* mode, GTRSTATUS* st);
// Closes the key file (10/224) and frees the broker (committing it).
// Null or closed: nothing.  0 or -1.
int voz_IDXclose(_FCTLHEAD* fs, GTRSTATUS* st);
// The key file alone (3/2302, 3/2303; close 10/225).
int voz_IDXopenKey(_FCTLHEAD* fs, const char* mode, GTRSTATUS* st);
int voz_IDXcloseKey(_FCTLHEAD* fs, GTRSTATUS* st);
// Installs a key-file buffer of `size` bytes at *cursor when it fits
// before `limit` (the cursor advances); non-zero when it does not fit.
int voz_IDXsetvbuf(_FCTLHEAD* fs, char** cursor, char* limit, int32_t size);

// Removes the set's position file (8/2305), control files (2306, 2307,
// 2331) with the journal of an unfinished commit of them, and key file
// (2304), each when it exists, then the half's directory (half kinds below
// 6).  0 or -1.
int voz_IDXremove(_FCTLHEAD* fs, GTRSTATUS* st);
// Drops the journal of an unfinished commit of the set's control files
// (voz_posbroker.hpp) without replaying it, for controls replaced or
// removed from outside (voz_IDXcopy onto the set, voz_IDXremove).  The
// failure's status; 0 or -1.
int voz_IDXdiscardPosJournal(_FCTLHEAD* fs, GTRSTATUS* st);
// voz_IDXremove, and for a main half also the block files, the stop-word
// file (2113) and the deleted-document list (2116); then the
// deleted-documents directory and the index directory when empty.
int voz_IDXremoveAllContents(_FCTLHEAD* fs, GTRSTATUS* st);
// Removes the deleted-document lists of sets[0] and sets[1] (8/1808) and
// then the deleted-documents directory (141/1809 when it stays).
int voz_RemoveDelDir(_FCTLHEAD* sets, GTRSTATUS* st);

// Renames the half's directory (when it exists), the block files, the
// position file and the key file of `from` to the names of `to`
// (9/2311, 9/2312, 9/2313).  0 or -1.
int voz_IDXrename(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
// voz_IDXrename to the same set in `newDirectory`.
int voz_IDXmove(_FCTLHEAD* fs, const char* newDirectory, GTRSTATUS* st);
// Copies the key file, the position data (sequential file, or block files
// and control files) and, for set number 0, the deleted-document list.
int voz_IDXcopy(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
// Appends the keys and sequential position data of `from` to the open set
// `to` (whose broker is sequential): position offsets are shifted by the
// target's current position-file offset (read 4/2117, write 5/2118, data
// read 2119, data write 2120).  0 or -1.
int voz_IDXappend(_FCTLHEAD* to, _FCTLHEAD* from, GTRSTATUS* st);

// Rename the half's directory (9/1806), the index directory (9/2114), the
// deleted-documents directory (9/1807) of `from` to those of `to`; a
// missing source does nothing.  0 or -1.
int voz_IDXswitchDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
int voz_IDXswitchRootDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
int voz_SwitchDelDir(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);

// Replaces `to` by `from` (rename(2); else a copy to a temporary name
// beside `to` moved over it, then `from` removed).  A failure is return
// code 9 with `reason`, both names and errno; `to` is then unchanged.
int voz_ReplacePath(const char* from, const char* to, int32_t reason,
                    GTRSTATUS* st);
// Copies `from` over `to` the same way (the source stays); failures of
// the copy keep their own codes, the final move is 9/`reason`.
int voz_CopyReplacing(const char* from, const char* to, int32_t reason,
                      GTRSTATUS* st);

// Removes a file or a directory tree (a missing path is fine).  0 or -1.
int voz_RemoveTree(const char* path);

#endif  // VOZ_IDXSET_HPP
