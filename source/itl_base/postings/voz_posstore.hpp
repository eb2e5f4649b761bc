// voz_posstore.hpp - the function interface of the position store: the
// only way the engine outside the storage classes reaches position
// brokers, position lists and deleted-document lists.
//
// Conventions:
//  - Every function takes the caller's GTRSTATUS last.  A function that
//    can fail catches CVozException and copies its whole record onto the
//    status (rc, reason, both texts, the extra value; system_errno 0), then
//    returns its failure value (null, nothing or 0).  A function that
//    succeeds leaves the status untouched; a status that already holds a
//    failure is never overwritten.
//  - Objects handed out here are freed here: brokers by vozFreePosBroker
//    (called by voz_IDXclose), readers by vozFreePos (voz_TermPctl),
//    deleted-document lists by vozFreeDeletedDocs.
//  - After a failure the broker or reader may only be freed.
//  - A key record whose level byte is 16 has no position list.
#ifndef VOZ_POSSTORE_HPP
#define VOZ_POSSTORE_HPP

#include <cstdint>

#include "files/voz_merge_rec.hpp"
#include "files/voz_names.hpp"
#include "postings/voz_pctl.hpp"
#include "files/voz_status.hpp"

class CVozPos;
class CVozPosBroker;
class CVozDeletedDocs;

// ---- broker lifetime ---------------------------------------------------------
// A new, opened broker for `files` (null on failure): the block store when
// flags bit 0 is set (a transaction is started unless the set suppresses
// it; no memory 11/3407), else the sequential position file (11/3409), or
// for a work set a work broker, a replica of the broker of files->sharedFrom
// when the set shares its file (11/3408).
CVozPosBroker* vozAllocatePosBroker(_FCTLHEAD* files, const char* mode,
                                    GTRSTATUS* st);
// Commits the broker's transaction, closes and deletes it (null: nothing);
// a failing commit does not prevent the close.  The status gets the
// commit's failure, else the close's.
void vozFreePosBroker(CVozPosBroker* broker, GTRSTATUS* st);
// Sets flags bit 0x20 and creates the empty block files of the set.
void vozCreateFirstIndex(_FCTLHEAD* files, GTRSTATUS* st);
// Creates the index directory (kind 34) and the half's directory (kind 32)
// with their parents; 140/3405 and 140/3401 with the path and errno.
// 0 or -1.
int vozCreateIndexDirectory(_FCTLHEAD* files, GTRSTATUS* st);
// Size of the broker's sequential position file; 0 for null and for the
// block store.
uint64_t vozGetOffset(CVozPosBroker* broker, GTRSTATUS* st);

// ---- block files of a set ----------------------------------------------------
void vozRenamePosFiles(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
void vozCopyPosFiles(_FCTLHEAD* from, _FCTLHEAD* to, GTRSTATUS* st);
int vozRemovePosFiles(_FCTLHEAD* files, GTRSTATUS* st);
// Finishes a commit of the set's control files that a kill interrupted
// (voz_posbroker.hpp); nothing when none is pending.  A writable open does
// it by itself; copying a half does it first.
void vozRecoverPosControls(_FCTLHEAD* files, GTRSTATUS* st);

// ---- the sequential position file (its broker must be sequential) ---------
// Offset -1 seeks to the end; the resulting offset is kept in
// files->posOffset.  A set without a sequential broker is 17/3420.
void voz_fseek_POSFILE(_FCTLHEAD* files, int64_t offset, GTRSTATUS* st);
void voz_fread_POSFILE(void* buffer, int32_t length, _FCTLHEAD* files,
                       GTRSTATUS* st);
void voz_fwrite_POSFILE(const void* buffer, int32_t length, _FCTLHEAD* files,
                        GTRSTATUS* st);
int64_t voz_ftell_POSFILE(_FCTLHEAD* files, GTRSTATUS* st);

// ---- reading one key's list ----------------------------------------------------
// Moves to the first document >= target (0xFFFFFFFF counts as 0); every
// call moves at least one document forward (a reader stands on one
// document, and the next call begins behind it).  The reader is made on
// first use from pctl->posAttr; level 16 ends at once.  At the end:
// endOfDocs 'Y', curDoc 0x7FFFFFFF, the reader freed.  In every case that
// reaches the reader endOfPos becomes 'N' and curPos 0.  A document above
// the key record's highest document (lastDoc) is damage: 17/3423.
void voz_PointVvgSkip(_FCTLHEAD* files, PCTLHEAD* pctl, uint32_t target,
                      GTRSTATUS* st);
// First position >= target - basePos of the current document (every call
// moves at least one position forward); curPos = answer + basePos.  None:
// endOfPos 'Y', curPos unchanged.
void voz_PointPosSkip(_FCTLHEAD* files, PCTLHEAD* pctl, int32_t target,
                      GTRSTATUS* st);
// Stores the reader back and deletes it (null: nothing).
void vozFreePos(CVozPos* reader, GTRSTATUS* st);

// ---- merging one key -------------------------------------------------------------
// Merges the key's lists of the target (when it holds the key) and of the
// n sources that hold it into the target's store, with each set's deleted
// documents dropped, and writes the new location into bytes 8-27 of *out.
// Any holder at level 16 makes the result level 16 (location 0xFFFFFFFF,
// length 0) after every source list of the key was read through.
// *counter grows by one for every list read.
void vozMergeMerge(MCTLHEAD* target, MCTLHEAD* sources, KEY_REC* out, int n,
                   uint64_t* counter, GTRSTATUS* st);

// ---- deleted documents -----------------------------------------------------------
// A new list, read from the set's file when files is given; an empty list
// is deleted and null returned unless keepEmpty (11/3410).
CVozDeletedDocs* vozAllocateDeletedDocs(_FCTLHEAD* files, uint8_t keepEmpty,
                                        GTRSTATUS* st);
// Writes the list to the set's file (creating the "del" directory) when
// files is given, then deletes the list (null: nothing).  An index that
// does not exist is an error (140/3411): the deletions are not dropped
// silently; the list is freed all the same.
void vozFreeDeletedDocs(CVozDeletedDocs* list, _FCTLHEAD* files,
                        GTRSTATUS* st);
// The ascending ids (null for a null list) and their count.
const uint32_t* vozGetDeletedDocs(CVozDeletedDocs* list);
uint32_t vozGetNumDeletedDocs(CVozDeletedDocs* list);
// `halves` is the index update work area's pair of file sets, main then
// supp, one after the other.  Registers an updated document's old version
// as deleted in both (each set's list is read from its file first when it
// has none yet, and stays attached to the set).
void vozRegisterUpdateDoc(_FCTLHEAD* halves, uint32_t docId, GTRSTATUS* st);
// Registers n ids as deleted in main and supp.  n = 0: nothing; no
// context 1/3402; no ids 2/3403.
void VOZ_deleteDocs(_FCTLHEAD* halves, uint32_t n, const uint32_t* ids,
                    GTRSTATUS* st);

// Prints "pid/tid =%6x/%6x" with the process id and 0 to standard output.
void VOZ_printThreadIdProcessId();

#endif  // VOZ_POSSTORE_HPP
