// voz_gtrcreate.hpp -- the update cycle that builds or extends an engine
// index: GTRcreateIndexInit, the document, item and delete calls,
// GTRcreateIndexLast and GTRcreateIndexTerm.
//
// Conventions: the handle is allocated by GTRcreateIndexInit and freed only
// by GTRcreateIndexTerm, or by a failing document, item, delete or flush
// call (the update is then cancelled and the caller starts a new cycle; a
// bad handle cancels nothing). Every call clears the status record first,
// except GTRcreateIndexLast and GTRcreateIndexTerm, and fills it at the
// first failing step. The engine keeps no pointer into a caller's record.
//
// A new index ("N") is built in a fresh "!" directory of the output
// directory and switched in at commit: the directory is synced, the other
// sub-index of an existing index is linked in, then one atomic exchange of
// the two directories puts the new index under the name and the old one
// aside, which is then removed. A crash leaves the old or the new index
// whole; a "!" directory left behind is removed by the next cycle ("N" or
// "A") of that index. A live cycle holds an advisory lock (flock) on its
// "!" directory from its start to the end of its handle, and the commit on
// the old index while it lies aside, so that a start never removes another
// live cycle's build.
#ifndef VOZ_GTRCREATE_HPP
#define VOZ_GTRCREATE_HPP

#include <cstdint>

#include "files/voz_file.hpp"
#include "files/voz_records.hpp"
#include "files/voz_status.hpp"

struct CREATWRK;

constexpr int VOZ_CREATE_NAME_LEN = 2075;

// Errcode (with retcode 101) of a document piece that ends inside a
// character.
constexpr int32_t VOZ_EC_DOC_SPLIT_CHAR = 2531;

// The creation handle (owned by the engine; opaque to callers).
struct VOZCREATEHANDLE {
    CREATWRK* text;            // work area of the text sub-index, or null
    CREATWRK* item;            // work area of the item sub-index, or null
    char tag[9];               // "CREATWRK"
    char tempName[VOZ_CREATE_NAME_LEN];   // "N": the name built under
    char indexName[VOZ_CREATE_NAME_LEN];  // "N": the caller's index name
    char outDir[VOZ_CREATE_NAME_LEN];     // "N": the output directory
    char operation;            // 'N' or 'A'
    int buildLock = -1;        // "N": the locked descriptor of the build's
                               // directory, or -1
};

// Opens an update cycle; *cwpp receives the handle (null after a failure
// from the builder's start on; untouched for argument errors).
void GTRcreateIndexInit(void** cwpp, const char* idxname, const char* outdir,
                        const char* wrkdir, char operation, char batchonline,
                        GTRHCREATEPARM* hcparmp, GTRSYSPARM* sysp,
                        int32_t* currmaxdoc, GTRSTATUS* gsp);

// Pools `length` bytes of text of document `docno`; *startpos in/out is the
// last position used so far (0 for a fresh document).
// A document may come in several calls (the same docno, *startpos carried
// over), but each call's text is cut into words on its own: a word cut by
// the end of a call becomes two words. A caller ends each piece at a blank,
// a delimiter or before a word it has not finished (and gives that word
// with the next piece). A piece of a UTF-8 code page that ends inside a
// character is refused with 101/2531 (VOZ_EC_DOC_SPLIT_CHAR), which
// cancels the update like every failing document call.
void GTRcreateIndexOneDocExt(void* cwp, const uint8_t* docmp, int32_t length,
                             int32_t docno, int32_t* startpos,
                             BOUNDARYINFO* beip, GTRONEDOCINFO* pVOZDocInfo,
                             GTRSTATUS* gsp);
void GTRcreateIndexOneDoc(void* cwp, const uint8_t* docmp, int32_t length,
                          int32_t docno, int32_t* startpos, BOUNDARYINFO* beip,
                          GTRSTATUS* gsp);

// Pools the `item_num` items of document `docno`.
void GTRcreateItemIndexOneDocExt(void* cwp, int32_t docno, int32_t item_num,
                                 REGISTITEM* item, GTRONEDOCINFO* pVOZDocInfo,
                                 GTRSTATUS* gsp);
void GTRcreateItemIndexOneDoc(void* cwp, int32_t docno, int32_t item_num,
                              REGISTITEM* item, GTRSTATUS* gsp);

// Removes `count` documents in every open sub-index; `reserved` must be
// null (2/2518).
void GTRdeleteDocs(void* cwp, int32_t count, int32_t* docnos, void* reserved,
                   GTRSTATUS* gsp);

// Flushes everything pooled into the index files (text, then items).
void GTRcreateIndexLast(void* cwp, GTRSTATUS* gsp);

// 'C' cancels, any other letter commits; frees the handle.
void GTRcreateIndexTerm(void* cwp, char go_or_cancel, GTRSTATUS* gsp);

// Not supported: 50/2534 and 50/2542, -1.
int32_t GTRcreateIndexPluralDoc(void* a, void* b, void* c, void* d,
                                GTRSTATUS* gsp);
int32_t GTRcreateItemIndexPluralDoc(void* a, void* b, void* c, void* d,
                                    GTRSTATUS* gsp);

// ---- inside the call layer ------------------------------------------------

// True when `cwp` is a live handle (non-null, tag "CREATWRK").
bool vozIsCreateHandle(const void* cwp);

// Cancels the update and frees the handle; `gsp` keeps its first failure
// (the cancel's own failures go into a record of its own).
void vozCancelCreate(VOZCREATEHANDLE* h);

// Pools one document's items into the item work area (the checks and
// pooling of the item call after its handle test). 0 or -1.
int vozPoolItems(VOZCREATEHANDLE* h, int32_t docno, int32_t item_num,
                 const REGISTITEM* item, const GTRONEDOCINFO* info,
                 GTRSTATUS* gsp);

// The commit of a new index: links the other sub-index of an existing
// index `outDir`/`indexName` into `outDir`/`tempName` (`builtPurpose` 1
// text, 2 items, 3 both), syncs it and exchanges the two directories, then
// removes the old one. 0 or -1 (9/2560 exchange, 3/2561 link or copy, 5/2562
// sync, 8/2563 removal of the old index; the old index stays whole on every
// failure before the exchange).
int vozCommitNewIndex(const char* outDir, const char* indexName,
                      const char* tempName, int builtPurpose, GTRSTATUS* gsp);

// Registers the stop words of the caller's list files (`h`'s
// paStopWordList, one word a line, cut by the creation record's rules) as
// the classes of text work area `cw`, and builds their tables. Nothing
// without lists. False on a failure: no list 2/2548, a file that does not
// open 3/2549, a line that is not one word 151/2550 or 151/2551
// (st->detail the line number), and the registration's failures.
bool vozReadStopLists(CREATWRK* cw, const GTRHCREATEPARM* h, GTRSTATUS* st);

// Writes the owner file (naming `indexName`) into `outDir`/`dirName`,
// under a temporary name renamed when complete: a crash leaves no partial
// owner file, and the next cycle clears a start left with only the
// temporary one.
// 0 or -1.
int vozMarkBuildOwner(const char* outDir, const char* dirName,
                      const char* indexName);

// Removes leftover "!" directories of unfinished builds of `indexName`
// in `outDir` (never the index itself, never a build whose directory a
// live cycle holds locked).
void vozRemoveUnfinishedBuilds(const char* outDir, const char* indexName);

// Opens the directory `path` and takes its advisory lock without waiting:
// the descriptor holding it, or -1 (the directory is missing or another
// live cycle holds the lock). Closing the descriptor gives the lock up; so
// does the death of the process.
int vozLockBuild(const char* path);

// Removes the build directory `path`, its owner file last. 0 or -1.
int vozRemoveBuild(const char* path);

// Test hook: called before every file operation of the commit and of the
// removal of builds (link or copy, fsync, owner-file write, exchange or
// rename, removal of an entry, unlink, rmdir) with a short name of the operation and its path.
// A non-zero answer makes the operation fail with EIO. Null: none. For
// crash and failure tests only; the engine never sets it.
using VozCommitTestHook = int (*)(const char* operation, const char* path);
void vozSetCommitTestHook(VozCommitTestHook hook);

#endif  // VOZ_GTRCREATE_HPP
