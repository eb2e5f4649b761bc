// cnet_regist.hpp -- compilation of a definition file into a dictionary,
// the commit that makes it live, the recovery of an interrupted commit,
// and the removal of a dictionary; the dictionary's word index (an engine
// index of the words, one character item per word, document number = word
// id), built at compilation and searched by lookups.
//
// Commit (under the compiler lock ".lk2"): set 1 and the prepared word
// index are complete and synced; then
//   1. "<name>.lkc" ("CLCM") is written and synced with its directory,
//   2. the access lock ".lk1" is taken and ".lk3" removed,
//   3. set 1 is renamed over set 0, file by file,
//   4. the word index is committed,
//   5. ".lk3" is written and ".lk1" released,
//   6. the mark is removed.
// A call that finds the mark once its own lock is granted lets that lock
// go, takes ".lk2" and ".lk1" alone without waiting (531 when busy),
// renames every set-1 file still there over set 0, rebuilds the word index
// from set 0, writes ".lk3", removes the mark and starts again. So a
// crash at any moment leaves the old dictionary or the new one, whole.
#ifndef CNET_REGIST_HPP
#define CNET_REGIST_HPP

#include <cstdint>

#include "cnet_file.hpp"
#include "cnet_lock.hpp"

// The commit mark's extension and contents.
constexpr const char* CNET_COMMIT_MARK_EXT = "lkc";

// Name of the commit mark of a dictionary (CNET_PATH_MAX bytes).
void cnetCommitMarkName(char* out, const CNETDIRS* dirs, const char* name);
bool cnetCommitMarkExists(const CNETDIRS* dirs, const char* name);

// Takes lock `mode` (Part of cnetLock) and finishes an interrupted commit
// first when its mark is found. On failure the locks taken stay in *lk.
bool cnetLockRecover(const CNETEXEC* opts, int mode, const char* dirspec,
                     const char* name, CNETLOCK* lk, CNETSTATUS* st);

// Builds the word index of file set `set` of the dictionary (its words in
// display form, one item each) and leaves it prepared: *handle is the open
// engine update, committed with 'G' or cancelled with 'C' by the caller.
// `commitNow` commits it at once.
bool cnetBuildWordIndex(const CNETEXEC* opts, const char* dirspec,
                        const char* name, int set, bool commitNow,
                        void** handle, CNETSTATUS* st);

// The word index's directory for the engine (the first directory; "/"
// for the root).
const char* cnetIndexDir(const CNETDIRS* dirs);

// Display form of a normalised word, at most `outMax` bytes (10000 +
// engine codes; 501 when longer).
bool cnetGTRunnormalizeWord(uint8_t codepage, const uint8_t* text,
                            uint32_t len, uint8_t* out, uint32_t outMax,
                            uint32_t* outLen, CNETSTATUS* st);

// The ids of the words matching `display` (item value of item 1, with the
// precision and masks) in the dictionary's word index, sorted by id.
// `*work` is the caller's search work (made on first use). *ids is
// allocated with malloc (null when none).
bool cnetWord_WordID(void** work, const CNETDIRS* dirs, const char* name,
                     uint8_t codepage, const uint8_t* display, uint32_t len,
                     uint16_t precision, uint8_t singleMask, uint8_t multiMask,
                     uint32_t** ids, uint32_t* count, CNETSTATUS* st);
void cnetWord_WordID_Release(void** work);

#endif  // CNET_REGIST_HPP
