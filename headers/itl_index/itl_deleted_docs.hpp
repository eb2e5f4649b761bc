// itl_deleted_docs.hpp: the deleted-documents list of an index.
//
// ".del" (index directory) and its working copy ".xel" (working directory)
// hold no header: a plain array of u64 document numbers, little-endian,
// 8 bytes each; count = size / 8. Outside a transaction ascending without
// repetitions; during one, the working copy may carry appended numbers in
// the order of deletion behind its sorted part until the end of the
// transaction rewrites it sorted. Only a missing or empty file means no
// deletions: one that exists but cannot be opened (16) or read (17) is an
// error, so an unread list is never replaced.
//
// Deletions of a transaction collect in a 4096-number buffer that is
// appended to the working copy when full and at the end.
#ifndef ITL_DELETED_DOCS_HPP
#define ITL_DELETED_DOCS_HPP

#include <cstdint>
#include <cstdio>

#include "cos_filename.hpp"
#include "itl_docmap_files.hpp"

class ItlClIndexLocation;
class ItlClDex;

class ItlClDeletedDocs : public ItlClFileAccess {
 public:
  static constexpr uint32_t BUFFER_BYTES = 32768;  // 4096 numbers

  explicit ItlClDeletedDocs(ItlClIndexLocation const& location);
  // Closes the stream, frees the list and the buffer; never throws.
  ~ItlClDeletedDocs();
  ItlClDeletedDocs(ItlClDeletedDocs const&) = delete;
  ItlClDeletedDocs& operator=(ItlClDeletedDocs const&) = delete;

  // Loads the working copy ".xel" for an update and keeps it open.
  void access4Update();
  // Loads the index directory's ".del" read-only.
  void access4Read();
  // Records the number of the named document as deleted; the lookup is the
  // name-to-number map's (a deleted name yields 0). 303 for an unknown or
  // already deleted name.
  void deleteDocument(ItlClDex& dex, _ItlStDocumentId const* id);
  // The step after the lookup: `number` 0, or one already deleted (in the
  // list or the buffer), is 303 with the name as message.
  void deleteDocumentNumber(uint64_t number, _ItlStDocumentId const* id);
  // Appends the buffered deletions to the working copy, then reloads and
  // sorts the whole list in memory.
  void updateDeletionBuffer();
  // Writes the sorted list over the working copy and closes it.
  void writeDeletionBuffer();
  // Sets *number to 0 when it is deleted (committed list or buffer).
  void reassignIfDeleted(uint64_t* number) const;
  // Deleted documents of the committed ".del" (size / 8; 0 when absent).
  void obtainNumberOfDocumentsDeleted(uint64_t& count) const;

  // The loaded list (ascending once sorted) and its entries.
  uint64_t const* getList() const { return iv_pulList; }
  uint32_t getListCount() const { return iv_uiListSize / 8; }
  // Numbers waiting in the buffer.
  uint32_t getBufferedCount() const {
    return (BUFFER_BYTES - iv_uiBufferFree) / 8;
  }
  uint64_t getDeletionCount() const { return iv_ulDeletionCount; }
  // Closes the stream and forgets list and buffer (rollback, new access).
  void reset();
  // The names again from the location. REQUIRES: nothing open.
  void refreshNames();
  // New base name of both files / new directory of the working copy.
  // REQUIRES: nothing open.
  void setNewBaseName(char const* name);
  void setWorkingDirectory(char const* directory);
  CosClFilename const& getFileName() const { return iv_clName; }
  CosClFilename const& getWorkingName() const { return iv_clWorkName; }
  bool isOpen() const { return iv_pStream != nullptr; }

 private:
  // Opens `name` with `mode` and loads it whole (see access4Update).
  void load(CosClFilename const& name, char const* mode);
  // Reads the whole open stream into a fresh list; 17 on failure.
  void readWhole(CosClFilename const& name, long long size);
  void freeList();
  void closeStream();

  ItlClIndexLocation const& iv_rclLocation;
  CosClFilename iv_clName;       // ".del", index directory
  CosClFilename iv_clWorkName;   // ".xel", working directory
  FILE* iv_pStream;              // null when closed
  uint32_t iv_uiListSize;        // bytes of the loaded list (multiple of 8)
  uint64_t* iv_pulList;          // owned; null when nothing loaded
  uint64_t* iv_pulBuffer;        // owned; 4096 slots, from the front
  uint32_t iv_uiBufferFree;      // free bytes of the buffer
  uint64_t iv_ulDeletionCount;   // deletions recorded by this object
};

#endif  // ITL_DELETED_DOCS_HPP
