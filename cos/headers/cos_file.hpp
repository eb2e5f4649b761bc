// cos_file.hpp: files on disk (CosClFile) and their common base.
//
// CosClFile and CosClDirectory (cos_directory.hpp) are the objects through
// which the system touches files and directories. Conventions:
//   - Operations report success as a bool (queries answer 0 or false when
//     the file cannot be examined) and leave the reason of a failure in the
//     object's last error (_CosStError); a success clears it. Nothing
//     throws; the object stays usable after a failure.
//   - A name that was cut to fit its buffer (isTooLong() of the path
//     value) is never handed to the system: operations on it fail with the
//     operation's error identifier and class IO_INVALID_NAME.
// The message catalogue, ini files, executables and shared libraries
// derive from CosClFile.
#ifndef COS_FILE_HPP
#define COS_FILE_HPP

#include <cstdint>
#include <ctime>
#include <iosfwd>

#include "cos_exception.hpp"
#include "cos_filename.hpp"

// What files and directories have in common, and the path helpers.
class CosClFileABase {
 public:
  virtual ~CosClFileABase();

  virtual operator char const*() const = 0;
  virtual char const* getAsCString() const = 0;
  virtual bool isExistent() const = 0;
  virtual bool isDirectory() const = 0;
  virtual bool isFile() const = 0;
  virtual bool remove() = 0;
  // Seconds since the epoch; 0 when the file cannot be examined.
  virtual time_t getDateTimeOfCreation() const = 0;  // status change time
  virtual time_t getDateTimeOfLastAccess() const = 0;
  virtual time_t getDateTimeOfLastModification() const = 0;

  // The same three dates of any path (stat); 0 when stat fails.
  static time_t getDateTimeOfCreation(char const* path);
  static time_t getDateTimeOfLastAccess(char const* path);
  static time_t getDateTimeOfLastModification(char const* path);

  // True when `path` is not absolute or has a component that is exactly
  // "." or ".." (so "/a/v1./" is not relative; "/a/./" and "x/" are).
  static bool isRelativePath(char const* path);
  // Makes an absolute directory path of `path` in place: a leading "~"
  // becomes $HOME, a relative path is taken from the current directory,
  // "." components vanish and ".." components remove their predecessor.
  // The result ends with "/"; text after the input's last "/" is dropped.
  // Returns false and empties `path` when ".." would climb above the root
  // or the result would not fit.
  // REQUIRES: path is a buffer of COS_PATH_BUFFER_SIZE bytes.
  static bool expandRelativePath(char* path);

 protected:
  CosClFileABase() = default;
  CosClFileABase(CosClFileABase const&) = default;
  CosClFileABase& operator=(CosClFileABase const&) = default;
};

// A file, named by a CosClFilename.
class CosClFile : public CosClFileABase {
 public:
  // The name; when it has no extension and `defaultExtension` is given,
  // that extension is set.
  explicit CosClFile(CosClFilenameABase const& name,
                     char const* defaultExtension = nullptr);
  CosClFile(CosClFile const&) = default;
  CosClFile& operator=(CosClFile const&) = default;
  ~CosClFile() override;

  operator char const*() const override { return m_clName.getAsCString(); }
  char const* getAsCString() const override { return m_clName.getAsCString(); }
  bool isExistent() const override;
  bool isDirectory() const override { return false; }
  bool isFile() const override { return true; }
  // unlink (also of a read-only file; a symbolic link is removed, the file
  // it points to keeps its mode). FILE_COULD_NOT_REMOVE with IO_NOT_EXISTENT
  // (no such file) or IO_PERMISSION_DENIED (any other reason).
  bool remove() override;
  time_t getDateTimeOfCreation() const override;
  time_t getDateTimeOfLastAccess() const override;
  time_t getDateTimeOfLastModification() const override;

  CosClFilename const& getName() const { return m_clName; }
  _CosStError const& getLastError() const { return m_stError; }

  // The base name begins with ".".
  bool isHidden() const;
  // access(name, W_OK) fails.
  bool isReadOnly() const;
  // chmod to 0440 (true) or 0660 (false); returns chmod's result (0 = done).
  int setReadOnly(bool readOnly);
  // The whole size in bytes; 0 when stat fails.
  uint64_t getFileSize() const;
  // The extension without its dot, "" when there is none.
  char const* getFileType() const;

  // Copies the file's bytes to `target`, with `keepMode` also its mode.
  // Errors: FILE_COULD_NOT_COPY_SELF/INCONSISTENT_SITUATION onto its own
  // name (nothing touched); FILE_COULD_NOT_COPY with IO_READ_PROBLEM (the
  // source cannot be opened) or IO_WRITE_PROBLEM (the target cannot be
  // created, a read or write fails). A copy that fails after the target
  // was opened removes the target when it is a regular file: no partial
  // file stays behind (a device or pipe named as target is left alone).
  bool copyTo(CosClFilenameABase const& target, bool keepMode);
  // Copies to the same base name and extension in `directory`.
  bool copyTo(CosClLocation const& directory, bool keepMode);
  // rename(); on success the object takes the target's name.
  // FILE_COULD_NOT_RENAME with IO_ALREADY_IN_USE when the target exists,
  // else IO_PERMISSION_DENIED.
  bool renameAs(CosClFilenameABase const& target);

  // Searches the directories of the colon-separated list in environment
  // variable `variable` (empty elements skipped) for `name`'s base name
  // and extension: on success `name` carries the directory where it was
  // found and true is returned. False when the variable is not set or no
  // directory holds the file (`name` then keeps the last directory tried).
  bool determineFileInEnvVarPath(CosClFilename& name,
                                 char const* variable) const;

 protected:
  // Fails with `id` and IO_INVALID_NAME when the name was cut.
  bool refuseTooLong(CosEnErrorId id);

  CosClFilename m_clName;  // the file's name
  _CosStError m_stError;   // last error; cleared by a success
};

// This platform has no text mode: every stream is binary.
bool cosFileIsOpenedInBinaryMode(std::istream& stream);
bool cosFileIsOpenedInBinaryMode(std::ostream& stream);
bool cosFileIsOpenedInTextMode(std::istream& stream);
bool cosFileIsOpenedInTextMode(std::ostream& stream);

#endif  // COS_FILE_HPP
