// cos_location.hpp: path values of the services library.
//
// Every file handling of the system goes through fixed-size path values:
// CosClLocation (this header) for a directory, CosClFilenameABase and its
// relatives (cos_filename.hpp) for a file. Both derive from
// CosClPathProperty, which knows the path style and the optional prefixes:
//   - style 1: slash style, separator "/" (the platform's own);
//   - style 0: backslash style, separator "\" (a text with a backslash or
//     with a drive letter "C:");
//   - a network-server prefix: two backslashes, server, backslash, share;
//     the "path proper" starts after it (at the share's closing backslash).
// Paths are plain byte strings.
//
// Conventions of the path values:
//   - A value holds at most COS_PATH_MAX_LENGTH (4096) characters in a
//     buffer of its own (4097 bytes); the pointers of CosClPathProperty
//     point into that buffer and copies rebase them into their own.
//   - A text that does not fit is cut at the limit and never written past
//     the buffer; the value then answers isTooLong() with true, and the
//     file, directory, process and library objects refuse to touch the disk
//     with such a name (a cut name may name another, existing file).
//   - Nothing here throws or allocates.
#ifndef COS_LOCATION_HPP
#define COS_LOCATION_HPP

#include <cstddef>

class CosClFilenameABase;

// Longest path text a path value holds, without its terminator.
constexpr size_t COS_PATH_MAX_LENGTH = 4096;
constexpr size_t COS_PATH_BUFFER_SIZE = COS_PATH_MAX_LENGTH + 1;

// Style and prefixes of a path text that a derived value owns.
class CosClPathProperty {
 public:
  // Style of a text: 0 when it begins with a letter and ":" (a drive);
  // otherwise 1 without a backslash, 0 with one.
  static unsigned int getStyle(char const* text);
  // Separator of a text's style: "/" for style 1, "\" for style 0.
  static char const* getPathSep(char const* text);
  // Replaces every backslash of `text` by "/".
  static void normalizePath(char* text);

  unsigned int getStyle() const { return m_uStyle; }
  // Separator of this value's style.
  char const* getPathSep() const { return m_uStyle == 1 ? "/" : "\\"; }
  char getPathSepChar() const { return m_uStyle == 1 ? '/' : '\\'; }

  // True with a server prefix; in slash style when the path proper begins
  // with "/"; in backslash style when it has a drive and "\" follows it.
  bool isAbsolute() const;
  // The path proper's second character is ":".
  bool hasDrive() const;
  // The path proper holds no backslash.
  bool isNormalized() const;
  // A server prefix precedes the path proper.
  bool hasServer() const { return m_pszPathStart != m_pszNameStart; }

  // True when a text given to this value was cut to fit the buffer.
  bool isTooLong() const { return m_bTooLong; }

 protected:
  CosClPathProperty()
      : m_pszNameStart(nullptr),
        m_pszPathStart(nullptr),
        m_uStyle(1),
        m_bTooLong(false) {}
  // Copies are made by the derived values, which rebase the pointers.
  CosClPathProperty(CosClPathProperty const&) = delete;
  CosClPathProperty& operator=(CosClPathProperty const&) = delete;

  // Name start = path start = text; determinePath(); style of the path.
  void init(char* text);
  // Moves the path start behind a network-server prefix "\\srv\share".
  void determinePath();
  // Points name start and path start at `text` with the offsets `other`
  // has into `otherText`; copies style and the too-long mark.
  void rebase(CosClPathProperty const& other, char const* otherText,
              char* text);

  char* m_pszNameStart;   // start of the owner's text
  char* m_pszPathStart;   // start of the path proper (after a server prefix)
  unsigned int m_uStyle;  // 1 slash style, 0 backslash style
  bool m_bTooLong;        // a text was cut at COS_PATH_MAX_LENGTH
};

// A directory path. Invariant: a non-empty location ends with its style's
// separator (unless the text filled the whole buffer: isTooLong()).
class CosClLocation : public CosClPathProperty {
 public:
  // The text (null: empty), a separator appended when missing; with
  // `normalize`, backslashes of the path proper become "/".
  explicit CosClLocation(char const* text = "", bool normalize = false);
  // Exactly `length` bytes of `data`, then as above.
  CosClLocation(void const* data, unsigned int length, bool normalize);
  // The directory part of a file name (its text up to the base name).
  explicit CosClLocation(CosClFilenameABase const& name,
                         bool normalize = false);
  CosClLocation(CosClLocation const& other);

  CosClLocation& operator=(CosClLocation const& other);
  // The text, then init(false).
  CosClLocation& operator=(char const* text);

  // Determines prefixes, style and length again and appends the separator
  // when missing; with `normalize` first replaces backslashes of the path
  // proper by "/".
  void init(bool normalize);

  operator char const*() const { return m_szPath; }
  char const* getAsCString() const { return m_szPath; }
  // The path proper (after a server prefix).
  char const* getPathProper() const { return m_pszPathStart; }
  unsigned int getLength() const { return m_uLength; }
  bool isEmpty() const { return m_uLength == 0; }

  // access(path, F_OK) succeeds.
  bool isExistent() const;
  // "/", "C:\" or "\\srv\share\": an absolute path of nothing but its root.
  bool isRoot() const;

 protected:
  friend class CosClDirectory;  // edits the path in place (attach, detach)

  // Copies at most COS_PATH_MAX_LENGTH bytes of `data` (or up to its
  // terminator when `length` is npos) into the path text.
  void assign(char const* data, size_t length);

  char m_szPath[COS_PATH_BUFFER_SIZE];  // the path text
  unsigned int m_uLength;               // characters in m_szPath
};

#endif  // COS_LOCATION_HPP
