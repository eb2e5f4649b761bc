// voz_idxadmin.hpp - an index as a whole set of files: deleting one
// sub-index (or its supp half), renaming the root directory or one
// sub-index's file sets, copying one sub-index into another root
// directory, and creating a new root directory.  The call layer's delete
// and move calls (voz_gtradmin.hpp) run these once per sub-index.
//
// An index lives in its root directory D/I; each sub-index ("Full" with
// letters "KPLQ", "Item" with "MRNS") has four file sets: regular main,
// X main, regular supp, X supp.  A sub-index exists when its regular main
// file set does.  Every entry point first finishes a commit that a crash
// left pending (voz_journal.hpp), so it acts on the old or on the new
// index, never on a half-switched one.
//
// Failures go into the caller's GTRSTATUS (first failure kept) with file
// names shortened by the status rule.  A copy or rename that stops half-way
// leaves the file sets already handled in place.
#ifndef VOZ_IDXADMIN_HPP
#define VOZ_IDXADMIN_HPP

#include <cstdint>

struct GTRSTATUS;
struct KEYINFO_0;
struct _FCTLHEAD;

// The four file sets of a sub-index, in this order: regular main, X main,
// regular supp, X supp.
constexpr int VOZ_ADMIN_SETS = 4;

// Fills sets[0..3] for reading (voz_SetFctlForRead), each marked to take
// its flags from its key file.  0 or -1 (the preparation's status).
int voz_AdminSets(_FCTLHEAD* sets, const char* idxname, const char* idxdir,
                  const char* letters, const char* prefix, GTRSTATUS* st);
// voz_IDXqueryExistence of a marked set ('E', 'N' or 'A'); a failure while
// its key file is read is copied into `st` and answers 'A'.
char voz_AdminExists(_FCTLHEAD* fs, KEYINFO_0* info, GTRSTATUS* st);

// Deletes sub-index `prefix`/`letters`: func 0 the whole sub-index (both
// halves, block files, stop words, deleted-document lists), any other
// value the supp half only.  Pending work under "#"/"%" names is cleared
// first.  A missing sub-index (or, func != 0, supp half) sets retcode 20
// with errcode 0, yet whatever exists is still removed.  0 or -1.
int VOZ__deleteIndex(int8_t func, const char* idxname, const char* idxdir,
                     const char* letters, const char* prefix, GTRSTATUS* gsp);

// func 3: renames the root directory idxdir/idxname to newdir/newname
// (neither sub-index 20/2312; target exists 140/2313; rename(2) failed
// 9/2314); processed_index receives 0x80 for a text, 0x40 for an item
// sub-index present.  Any other func renames the file sets of one
// sub-index (1 text, else item) to `newname` inside `idxdir` (no such
// sub-index 20; a target file set exists 9/459 and nothing moves).
// Names null, empty or 2048 long 29/423, directory 35/424, new directory
// 35/2311.  `textLetters`/`itemLetters` and `textPrefix`/`itemPrefix`
// name the two sub-indexes.  0 or -1.
int VOZ_renameIndex(const char* idxname, const char* idxdir,
                    const char* textLetters, const char* itemLetters,
                    const char* textPrefix, const char* itemPrefix,
                    const char* newname, const char* newdir, uint8_t func,
                    GTRSTATUS* gsp);

// Copies the four file sets of sub-index `prefix`/`letters` to index
// `newname` in `newdir` (names 29/2315, directory 35/2316, new directory
// 35/2317; no such sub-index 20/2318).  Storage failures pass through.
int VOZ_copyIndex(const char* idxname, const char* idxdir,
                  const char* letters, const char* prefix,
                  const char* newname, const char* newdir, GTRSTATUS* gsp);

// Creates newdir/newname with its missing parents; an existing path or
// one that cannot be made: 140/2319 with the path and errno.  0 or -1.
int vozCreateRootDirectory(const char* newname, const char* newdir,
                           GTRSTATUS* gsp);

#endif  // VOZ_IDXADMIN_HPP
