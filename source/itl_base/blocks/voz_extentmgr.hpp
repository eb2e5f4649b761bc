// voz_extentmgr.hpp - CVozExtentMgr: a block file as a file of whole pages
// with its page buffer pool, and the file-level operations (rename, copy,
// remove) that the position brokers apply to whole block files.
//
// Pages are numbered from 0.  The page count is the number of pages the
// file has, or will have once the pool has written them: Expand raises it
// at once and the file grows when the new page's buffer is written.  A
// partly written last page (left by a killed process) does not count.
//
// Guarantees to the block managers:
//  - Pin returns the one buffer of the page (see voz_buffermgr.hpp); the
//    bytes stay valid and in place until the matching Unpin.
//  - Unpin with `modified` queues the page for writing; nothing reaches
//    the file before the pool writes it (replacement, flush, write-through,
//    Sync, destruction).
//  - Sync writes every changed page and forces the file's data to stable
//    storage: once it returns, every page written so far survives a crash.
//  - DestroyExtentMgr writes every changed page and closes the file.
// Not copyable; one thread.
#ifndef VOZ_EXTENTMGR_HPP
#define VOZ_EXTENTMGR_HPP

#include <cstddef>
#include <cstdint>

#include "blocks/voz_buffermgr.hpp"

class CVozExtentMgr : protected CVozBufferMgr {
public:
    // Makes an extent manager over `name`: opened "wb+" (created or
    // emptied) when `create` is not 0, else "rb+" when `update` is not 0,
    // else "rb".  The page count is the file size / page size.  Throws
    // (11, 3098) without memory and the open/seek/tell failures of
    // CVozFileIO; nothing is left open after a failure.  The caller owns
    // the result and frees it with DestroyExtentMgr.
    static CVozExtentMgr* GetExtentMgr(const char* name, uint32_t pageSize,
                                       int create, int update);
    // Flushes, closes and deletes `mgr` (null does nothing), in every
    // case; then throws the first failure: a flush or close failure, else
    // (17, 3083, name) when pages were still pinned.
    static void DestroyExtentMgr(CVozExtentMgr* mgr);
    // Removes `target` (failure ignored), then renames `source` to it; when
    // the system rename fails, copies and removes the source.  The numbers
    // are handed to Copy and not used.
    static void Rename(const char* source, const char* target, uint32_t n1,
                       uint32_t n2);
    // Copies the file; a failure throws the copy's retcode and errcode
    // with the source and target names.  The numbers are not used.
    static void Copy(const char* source, const char* target, uint32_t n1,
                     uint32_t n2);
    // Removes the file; failure (8, 3091, name).
    static void Remove(const char* name);

    ~CVozExtentMgr() override;

    // Sets `e` to (17, 3083, name) when pages are still pinned.
    void Terminate(CVozException& e);
    // Pins `page` into the handle's descriptor (read from the file when
    // `read` is not 0 and the page is not in the pool).  A page at or
    // beyond the page count throws (19, 3093, name).  Returns 1 when the
    // page was found in the pool, else 0.
    int Pin(uint32_t page, CVozPageInfo& handle, int read);
    // Ends a pin; `modified` not 0 marks the page changed first.
    void Unpin(CVozPageInfo& handle, int modified);
    // Ends a pin and throws away the changes made to the page since it was
    // last written: the next pin sees the file's content.  REQUIRES: the
    // page was not marked modified since it was last written.
    void UnpinDiscard(CVozPageInfo& handle);
    void MarkModified(CVozPageInfo& handle);
    // Writes every changed page (FlushBuffer).  Returns 0.
    int Flush() override;
    // Flush, then forces the file's data to stable storage (fsync of every
    // part and of the part directory).  Failure (5, 3084, name).
    void Sync();
    // Appends one zeroed page and returns its number; (17, 3099, name)
    // when the pool already held that page.
    uint32_t Expand();

    uint32_t PageCount() const { return m_pageCount; }
    uint32_t PinnedCount() const { return m_pinned; }
    const char* FileName() const { return m_fileName; }
    // The pool's state, for tests and benchmarks.
    uint32_t BufferCount() const { return CVozBufferMgr::BufferCount(); }
    bool Caching() const { return CVozBufferMgr::Caching(); }

private:
    CVozExtentMgr(const char* name, uint32_t pageSize);

    uint32_t m_pinned;     // pages pinned through this object
    char* m_fileName;      // malloc'ed copy of the name
    uint32_t m_extPageSize;
    uint32_t m_pageCount;
};

// Forces the data of file `path` to stable storage: a plain file, or every
// part of a partitioned file and its part directory.  0, or -1 with errno.
int voz_BLKsyncPath(const char* path);

// Replaces the content of file `path` by `n` bytes so that a process killed
// (or a system that fails) at any instant leaves either the old content or
// the new one, never a mixture: the bytes go to a temporary file beside
// the target, are forced to disk, and the temporary file is renamed over
// the target.  A partitioned file (a directory) gets its single part
// "0000" replaced this way; a missing file is created partitioned, as
// voz_XXopen would, with every missing directory level above it (each new
// level forced into its parent).  Throws (3, 3351) when a directory or the
// temporary file cannot be made, (5, 3354) when writing it fails, (5, 3357)
// when forcing it to disk fails and (9, 3358) when the rename fails; `path`
// as text.  REQUIRES: n < 2 GB (one part).
void voz_BLKreplaceFile(const char* path, const uint8_t* bytes, size_t n);
// As voz_BLKreplaceFile, but `path` is always a plain file (never made
// partitioned); missing directories above it are made.
void voz_BLKreplacePlainFile(const char* path, const uint8_t* bytes,
                             size_t n);
// Removes plain file `path` and forces its directory; a missing file is
// no failure (and nothing is forced).  (8, 3091) / (5, 3357) with `path`.
void voz_BLKremoveFile(const char* path);

#endif  // VOZ_EXTENTMGR_HPP
