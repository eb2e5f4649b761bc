// cos_directory.hpp: directories (CosClDirectory) and directory walks
// (CosClDirectoryWalk).
//
// A CosClDirectory holds an absolute path that ends in "/": relative texts
// ("x/", "./a/", "~/d/", "a/../b/") are expanded against the current
// directory or $HOME when the object is built. Operations follow the
// conventions of cos_file.hpp: a bool result, the reason of a failure in
// the last error, a success clears it, nothing throws. A directory whose
// path could not be built (expansion failed: empty path, or a path cut to
// fit) refuses every operation that changes the disk.
//
// A CosClDirectoryWalk lists the entries of one directory in the order the
// file system gives them, "." and ".." included.
#ifndef COS_DIRECTORY_HPP
#define COS_DIRECTORY_HPP

#include "cos_file.hpp"

class CosClDirectory : public CosClFileABase {
 public:
  // The process's current directory (DIRECTORY_EXPANSION_FAILED when it
  // cannot be read).
  CosClDirectory();
  // The text, backslashes made "/", then expanded (see above). A failed
  // expansion leaves an empty path and DIRECTORY_EXPANSION_FAILED with
  // IO_INVALID_NAME.
  explicit CosClDirectory(char const* path);
  explicit CosClDirectory(CosClLocation const& location);
  CosClDirectory(CosClDirectory const& other);
  CosClDirectory& operator=(CosClDirectory const& other) = default;
  ~CosClDirectory() override;

  operator char const*() const override { return m_clPath.getAsCString(); }
  char const* getAsCString() const override { return m_clPath.getAsCString(); }
  bool isExistent() const override;
  bool isDirectory() const override { return true; }
  bool isFile() const override { return false; }
  // rmdir. DIRECTORY_COULD_NOT_REMOVE with IO_INVALID_NAME (missing) or
  // IO_STILL_IN_USE (not empty, busy, not permitted).
  bool remove() override;
  time_t getDateTimeOfCreation() const override;
  time_t getDateTimeOfLastAccess() const override;
  time_t getDateTimeOfLastModification() const override;

  CosClLocation const& getLocation() const { return m_clPath; }
  _CosStError const& getLastError() const { return m_stError; }

  // Number of "/" in the path proper, minus one ("/a/b/" has 2).
  unsigned int getNumOfSubDirs() const;

  // Creates every missing level of the path with `mode` (0777 by default,
  // less the umask). An existing directory succeeds at once.
  // DIRECTORY_COULD_NOT_CREATE with IO_NOT_EXISTENT when a level cannot be
  // made (or a non-directory stands in the way).
  bool create();
  bool create(unsigned long mode);
  // create(mode), then chmod to mode & (0777 - mask); returns the result
  // of the creation.
  bool create(unsigned long mode, unsigned long mask);

  // With `withContents`, removeTree(*this) first; then remove(). A missing
  // directory fails as remove() says (DIRECTORY_COULD_NOT_REMOVE with
  // IO_INVALID_NAME).
  bool removeAll(bool withContents);
  // Removes everything inside `directory` (not the directory itself):
  // files and symbolic links are unlinked (a link to a directory is not
  // followed), sub-directories emptied and removed. Stops at the first
  // failure and reports it here: DIRWALK_COULD_NOT_INIT (a directory
  // cannot be listed), FILE_COULD_NOT_REMOVE or DIRECTORY_COULD_NOT_REMOVE.
  bool removeTree(CosClDirectory const& directory);

  // chdir. DIRECTORY_COULD_NOT_CHANGE with IO_NOT_EXISTENT.
  bool setAsCurrent();
  // Appends the location's path proper and expands the result ("a/" on
  // "/x/" gives "/x/a/", ".." components resolved). On failure the path
  // stays as it was: DIRECTORY_EXPANSION_FAILED with IO_INVALID_NAME (also
  // when the path is empty because it could not be built).
  bool attachSubDir(CosClLocation const& location);
  // Drops the last component ("/a/b/" -> "/a/"). On a root:
  // DIRECTORY_COULD_NOT_DETACH with LOGIC.
  bool detachLastSubDir();
  // detachLastSubDir `count` times, stopping at the first failure.
  bool detachSubDirs(unsigned int count);

 private:
  // Expands a relative path; DIRECTORY_EXPANSION_FAILED when it fails.
  void expandRelativeDirectory();
  // Fails with `id` and IO_INVALID_NAME when the path is empty or cut.
  bool refuseBadPath(CosEnErrorId id);

  CosClLocation m_clPath;  // absolute, ends in "/"
  _CosStError m_stError;   // last error; cleared by a success
};

class CosClOSSDirectoryWalker;

// Entries of one directory. Not copyable (owns the open stream).
class CosClDirectoryWalk {
 public:
  // Opens the walk (an empty location walks "./") and moves to the first
  // entry. DIRWALK_COULD_NOT_INIT with IO_PROBLEM when the directory
  // cannot be opened: the walk is then invalid at once. Throws
  // CosClExceptionFatal only when memory is exhausted.
  explicit CosClDirectoryWalk(CosClLocation const& location);
  // A directory whose path could not be built (empty) is not walked:
  // DIRWALK_COULD_NOT_INIT with IO_INVALID_NAME.
  explicit CosClDirectoryWalk(CosClDirectory const& directory);
  CosClDirectoryWalk(CosClDirectoryWalk const&) = delete;
  CosClDirectoryWalk& operator=(CosClDirectoryWalk const&) = delete;
  ~CosClDirectoryWalk();

  // A current entry exists.
  bool isValid() const;
  // Moves to the next entry; at the end the walk becomes invalid
  // (DIRWALK_NO_CONTINUATION with IO_PROBLEM when reading failed).
  bool setToNext();

  // Directory path followed by the entry name; the entry name alone.
  // REQUIRES: isValid().
  char const* getNameWithPath() const;
  char const* getNameWithoutPath() const;

  // Entry kinds, by the mode stat() reports (0 when stat fails).
  bool isDirectory() const;
  bool isCurrentDirectory() const;  // a directory named exactly "."
  bool isParentDirectory() const;   // a directory named exactly ".."
  bool isSubDirectory() const;      // any other directory
  bool isHidden() const;    // a non-directory whose name begins with "."
  bool isReadOnly() const;  // the owner-write bit is missing

  // The entry name matches the wildcard pattern (case-sensitive).
  bool matchesWildcardPattern(char const* pattern) const;

  _CosStError const& getLastError() const { return m_stError; }

 private:
  // `refuse`: invalid at once, nothing opened.
  void open(CosClLocation const& location, bool refuse);

  CosClOSSDirectoryWalker* m_pclWalker;  // owned (memory manager)
  _CosStError m_stError;                 // written by the walker
};

#endif  // COS_DIRECTORY_HPP
