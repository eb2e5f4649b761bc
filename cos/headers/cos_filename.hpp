// cos_filename.hpp: file-name values, backup and temporary names.
//
// CosClFilenameABase holds a file name in its own 4097-byte buffer and
// knows its parts:
//   name start ... path proper ... base name ... extension ... end
// where the base name begins after the last separator of the path proper
// and the extension (dot included) at the last "." of the base name, or at
// the end of the text when there is none. CosClFilename adds the
// operations that change a name in place; CosClBakFilename and
// CosClTmpFilename make backup and temporary names. See cos_location.hpp
// for styles, prefixes and the too-long mark; nothing here throws.
#ifndef COS_FILENAME_HPP
#define COS_FILENAME_HPP

#include "cos_location.hpp"

// A file name and its parts (read-only operations).
class CosClFilenameABase : public CosClPathProperty {
 public:
  // Empty name, slash style.
  CosClFilenameABase();
  // init(text); a null text gives the empty name.
  explicit CosClFilenameABase(char const* text);
  // Exactly `length` bytes of `data` (cut at COS_PATH_MAX_LENGTH).
  CosClFilenameABase(void const* data, unsigned int length);
  // init(path, base, extension).
  CosClFilenameABase(char const* path, char const* base, char const* extension);
  CosClFilenameABase(CosClFilenameABase const& other);
  CosClFilenameABase& operator=(CosClFilenameABase const& other);

  // Copies the text (cut at COS_PATH_MAX_LENGTH), then the parts.
  void init(char const* text);
  // path + separator (when missing) + base + "." (unless the extension
  // begins with one) + extension. A null path or base counts as empty; a
  // null extension adds nothing, an empty one leaves the name ending in
  // ".". What does not fit is cut (isTooLong()).
  void init(char const* path, char const* base, char const* extension);
  // Length, base-name and extension pointers from the text.
  void determineParts();
  // Extension pointer: the last "." from the base name on, else the end.
  void determineExtension();

  operator char const*() const { return m_szName; }
  char const* getAsCString() const { return m_szName; }
  unsigned int getLength() const { return m_uLength; }
  // Base name with its extension ("x.dat" of "/a/x.dat").
  char const* getBaseName() const { return m_pszBaseName; }
  // Extension with its dot (".dat"), "" when there is none.
  char const* getExtension() const { return m_pszExtension; }
  bool hasExtension() const { return *m_pszExtension != '\0'; }
  // A non-empty path proper precedes the base name.
  bool hasPath() const;

  // access(name, F_OK) succeeds.
  bool isExistent() const;

  // Each writes into a caller buffer of COS_PATH_BUFFER_SIZE bytes and
  // returns it.
  // The directory part (up to the base name), without its final separator
  // unless `withSeparator`; "" when there is no path proper.
  char* extractPath(char* buffer, bool withSeparator) const;
  // The base name without extension.
  char* extractBaseName(char* buffer) const;
  // The server prefix "\\srv\share" when there is one, else "".
  char* extractServer(char* buffer) const;

  // Comparisons: case-sensitive in slash style, else not.
  // The path proper equals the same number of characters of the other's.
  bool matchesPath(CosClFilenameABase const& other) const;
  // Base names (without extensions) are equal.
  bool matchesBase(CosClFilenameABase const& other) const;
  // The extension (without its dot unless `extension` begins with one)
  // equals `extension`.
  bool matchesExtension(char const* extension) const;
  // Base name with extension matches the wildcard pattern ("*", "?").
  bool matchesWildcardPattern(char const* pattern) const;
  // A backslash-style 8.3 name whose characters are all allowed there.
  bool isStyleFAT_8_3() const;

 protected:
  // Rebases every pointer of `other` into this value's own text.
  void copyFrom(CosClFilenameABase const& other);
  // Appends `text` (at most `max` bytes) at the end; cuts and marks the
  // value when it does not fit. Returns false when cut.
  bool append(char const* text, size_t max = (size_t)-1);

  char m_szName[COS_PATH_BUFFER_SIZE];  // the name text
  char* m_pszBaseName;     // into m_szName: after the last separator
  char* m_pszExtension;    // into m_szName: the extension's dot, or the end
  unsigned int m_uLength;  // characters in m_szName
};

// A file name that can be changed in place.
class CosClFilename : public CosClFilenameABase {
 public:
  CosClFilename() = default;
  explicit CosClFilename(char const* text) : CosClFilenameABase(text) {}
  CosClFilename(void const* data, unsigned int length)
      : CosClFilenameABase(data, length) {}
  CosClFilename(char const* path, char const* base, char const* extension)
      : CosClFilenameABase(path, base, extension) {}
  // location + base + extension, as init(path, base, extension).
  CosClFilename(CosClLocation const& location, char const* base,
                char const* extension);
  explicit CosClFilename(CosClFilenameABase const& other)
      : CosClFilenameABase(other) {}
  CosClFilename(CosClFilename const& other) = default;
  CosClFilename& operator=(CosClFilename const& other) = default;
  CosClFilename& operator=(CosClFilenameABase const& other) {
    CosClFilenameABase::operator=(other);
    return *this;
  }

  // Keeps the directory part; base name and extension become `name`.
  void setNewName(char const* name);
  // Keeps directory and extension; the base name becomes `base`.
  void setNewBaseName(char const* base);
  // Replaces the extension (a leading "." of the argument is skipped); a
  // null or empty argument removes it.
  void setNewExtension(char const* extension);
  // Keeps base name and extension in another directory.
  void setNewPath(char const* path);
  void setNewPath(CosClLocation const& location);
  // `location` + `name` (base name and extension).
  void setNew(CosClLocation const& location, char const* name);
  // Drops the directory part (and server prefix): "x.dat" of "/a/x.dat".
  void removePath();
};

// A backup name: the whole name followed by ".bak" (x.dat -> x.dat.bak;
// the extension then reads ".dat.bak").
class CosClBakFilename : public CosClFilenameABase {
 public:
  explicit CosClBakFilename(CosClFilenameABase const& name);
};

// A temporary name that did not exist: 12 characters
//   prefix (its first 5 characters at most), random characters up to 8,
//   ".", the process id's units, tens and hundreds digits
// in the chosen directory. The constructor reserves the name by creating an
// empty file with O_CREAT|O_EXCL (so a name taken meanwhile is never
// reused or truncated); the caller opens it or removes it. When the file
// cannot be created (say, the directory is missing), the name is one that
// did not exist at the time of the check and nothing is created.
class CosClTmpFilename : public CosClFilenameABase {
 public:
  // In cosGetTmpDirectory(), prefix "tmp".
  CosClTmpFilename();
  // In cosGetTmpDirectory().
  explicit CosClTmpFilename(char const* prefix);
  CosClTmpFilename(char const* directory, char const* prefix);
  // Prefix "tmp".
  explicit CosClTmpFilename(CosClLocation const& location);
  CosClTmpFilename(CosClLocation const& location, char const* prefix);
  // In the directory of `name`.
  CosClTmpFilename(CosClFilenameABase const& name, char const* prefix);

  // Builds and reserves a new name in the value's directory (above).
  void initPrefix(char const* prefix);
};

// The temporary directory: the value of TMP when it is set, else "/tmp".
// The text is the environment's own or a constant; do not free it.
char const* cosGetTmpDirectory();

#endif  // COS_FILENAME_HPP
