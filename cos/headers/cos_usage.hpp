// cos_usage.hpp: cursor bases and the cursor over a usage text.
//
// A console program describes its command line once, as a usage text in a
// small notation (several lines separated by "\n"):
//   -name          a switch entry (name: the letters and digits after "-")
//   <text>         an argument placeholder entry; blanks and "." belong to it
//   ( )            group a switch with the placeholders it requires
//   [ ]            optional parts
//   { } |          choices; they only separate entries
//   ...            an ellipsis entry (the cursor stops on its last dot)
//   word           a plain word entry, when a blank precedes it in the scan
//   !              the rest of the line is tagged (hidden or forbidden on
//                  request of the console user interface)
//   "text"         quoted text, passed over whole
// Example: "(-i <index name>)\n(-p <index directory>)\n[-v] [<word> ...]".
// "/" and a "-" followed by a digit are ordinary text here.
//
// An argument is a switch when it begins with "-" and its second character
// is not a decimal digit: "-x" and "-trace" are switches, "-5" is a value.
//
// Cursors are small values: they point into texts they do not own and never
// allocate. Nothing here reports errors; a failed search leaves a cursor
// invalid.
#ifndef COS_USAGE_HPP
#define COS_USAGE_HPP

// A cursor that walks forwards.
class CosClUniDirCursorABase {
 public:
  virtual ~CosClUniDirCursorABase() = default;
  virtual bool isValid() const = 0;
  // Each returns whether the cursor is valid afterwards.
  virtual bool setToFirst() = 0;
  virtual bool setToNext() = 0;
};

// A cursor that also walks backwards.
class CosClBiDirCursorABase : public CosClUniDirCursorABase {
 public:
  virtual bool setToLast() = 0;
  virtual bool setToPrevious() = 0;
};

// Position on one entry of a usage text. The depths and flags are counted
// from construction and setToFirst() does not clear them: build a fresh
// cursor for each walk from the start.
class CosClUsageCursor : public CosClUniDirCursorABase {
 public:
  // REQUIRES: usage is a zero-terminated text that outlives the cursor.
  explicit CosClUsageCursor(char const* usage);
  CosClUsageCursor(CosClUsageCursor const&) = default;
  CosClUsageCursor& operator=(CosClUsageCursor const&) = default;

  // The current position is not the end of the text.
  bool isValid() const override { return *iv_pszCurrent != '\0'; }
  // To the first entry of the text.
  bool setToFirst() override;
  // Past the current entry, to the next one. Always advances.
  bool setToNext() override;

  // The entry at the current position (up to the end of the text).
  char const* getCurrent() const { return iv_pszCurrent; }
  // Unclosed "(" and "[" before the current entry.
  int getArgDepth() const { return iv_iArgDepth; }
  int getOptionalDepth() const { return iv_iOptDepth; }
  // The current entry follows a "!" on its line.
  bool isTaggedLine() const { return iv_bTagged; }

  // The current entry is a switch / an ellipsis.
  bool isSwitch() const { return isSwitchIndicator(iv_pszCurrent); }
  bool isArgEllipsis() const { return *iv_pszCurrent == '.'; }
  // The current entry is a switch that requires a value: it lies inside
  // "(" and the next entry is a non-switch at the same depth.
  bool reqArg() const;
  // The current entry is a switch whose values end in an ellipsis.
  bool reqArgEllipsis() const;
  // The entry's text starts with `text` and the entry ends right after it
  // (end of text, blank, tab, newline or one of "[]<>(){}-|").
  bool matches(char const* text) const;
  // The current entry is a switch whose name (after "-") matches the name
  // of `arg` (after its "-" when `arg` is a switch, else `arg` whole).
  bool matchesSwitch(char const* arg) const;

  // `text` begins with "-" and its second character is not a digit.
  static bool isSwitchIndicator(char const* text);
  // False for the characters that usage displays leave out: '"', '(' and
  // ')'.
  static bool isToBeDisplayed(char c);

 private:
  void locateNext();
  void skipCurrent();

  char const* iv_pszStart;    // the usage text (not owned)
  char const* iv_pszCurrent;  // current entry, or the terminator
  int iv_iOptDepth;           // unclosed "["
  int iv_iArgDepth;           // unclosed "("
  bool iv_bTagged;            // a "!" was seen on this line
  bool iv_bPlaceholder;       // inside "<" ... ">"
};

#endif  // COS_USAGE_HPP
