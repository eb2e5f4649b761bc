// cos_inifile.hpp: ini files: sections "[name]" with options "name = value
// ; comment", read into memory, queried, changed, walked with cursors and
// written back (CosClIniFileSave, cos_inifilesave.hpp).
//
// Names are compared ignoring case. A section name holds at most 80
// characters; an option's name, value and comment share a text area of
// 1024 bytes (terminators included). Deleted sections and options keep
// their places with empty names; queries, cursors and the writer skip them.
// The model lives in memory until the object is destroyed; loading twice
// appends. Memory comes from CosClMemoryManager (failures throw
// CosClExceptionFatal); syntax errors go to the error handler.
//
// Value syntax (after '=', leading white space skipped, up to the end of
// the line or a ';' outside quotes, trailing white space dropped):
//   'c'        one character ('\t' style escapes allowed)
//   "text"     copied as it stands, with '\' escapes
//   $(NAME)    the value of environment variable NAME (unset: nothing)
//   escapes    \a \b \f \n \r \t \v, \x and up to two hex digits, \ and up
//              to three octal digits, \ before any other character: itself
// A line starting with white space continues the last option's value
// when continuation is allowed.
#ifndef COS_INIFILE_HPP
#define COS_INIFILE_HPP

#include <iosfwd>

#include "cos_file.hpp"

class CosClIniFile;
class CosClIniFileSectionCursor;
class CosClIniFileOptionCursor;

// Text area of an option: name, zero, value, zero, comment, zero.
constexpr unsigned COS_INIFILE_TEXT_SIZE = 1024;
// Longest section name.
constexpr unsigned COS_INIFILE_SECTION_MAX = 80;
// Longest line the reader accepts (characters, without the delimiter).
constexpr unsigned COS_INIFILE_LINE_MAX = 1023;

class CosClIniFileOption {
 public:
  CosClIniFileOption();
  CosClIniFileOption(CosClIniFileOption const&) = delete;
  CosClIniFileOption& operator=(CosClIniFileOption const&) = delete;

  char const* getName() const { return iv_szText; }
  char const* getValue() const { return iv_pszValue; }
  char const* getComment() const { return iv_pszComment; }
  bool isDeleted() const { return iv_szText[0] == '\0'; }

  // Name, value and comment, each cut to the room left in the area.
  void set(char const* name, char const* value, char const* comment);
  // New value; the comment is kept.
  void setValue(char const* value);
  void setComment(char const* comment);
  void clear() { set("", "", ""); }

  CosClIniFileOption* iv_pclNext;

 private:
  char iv_szText[COS_INIFILE_TEXT_SIZE];
  char* iv_pszValue;    // into iv_szText
  char* iv_pszComment;  // into iv_szText
};

class CosClIniFileSection {
 public:
  explicit CosClIniFileSection(char const* name);
  CosClIniFileSection(CosClIniFileSection const&) = delete;
  CosClIniFileSection& operator=(CosClIniFileSection const&) = delete;

  char const* getName() const { return iv_szName; }
  bool isDeleted() const { return iv_szName[0] == '\0'; }
  // The first option of that name that is not deleted, or null.
  CosClIniFileOption* findOption(char const* name) const;

  CosClIniFileSection* iv_pclNext;
  CosClIniFileOption* iv_pclFirstOption;
  char iv_szName[COS_INIFILE_SECTION_MAX + 1];
};

// Called with the error record {identifier, USER_DATA_ERROR}, the line
// number and the user value; returns true to go on.
typedef bool (*CosPfuIniFileErrorHandler)(_CosStError const& error,
                                          unsigned line, void* userValue);

class CosClIniFile : public CosClFile {
 public:
  // Default extension ".ini".
  explicit CosClIniFile(CosClFilenameABase const& name);
  explicit CosClIniFile(char const* name);
  ~CosClIniFile() override;
  CosClIniFile(CosClIniFile const&) = delete;
  CosClIniFile& operator=(CosClIniFile const&) = delete;

  // Boolean texts.
  static char const* getStringAllTrueTokens() { return "|ON|TRUE|YES|1|OK|"; }
  static char const* getStringTrue() { return "ON"; }
  static char const* getStringFalse() { return "OFF"; }
  // The whole `value` is one of ON, TRUE, YES, 1, OK (ignoring case).
  static bool isTrueToken(char const* value);

  // Reads the file. False when it cannot be opened, when a line is longer
  // than COS_INIFILE_LINE_MAX characters (reported to the handler and
  // skipped; the rest is still read), or when the handler stopped it.
  bool load(bool allowContinuation = true);
  bool loadFromBuffer(char const* buffer, unsigned length, char delimiter,
                      bool newSectionPerHeader, bool allowContinuation);
  // The parser. With newSectionPerHeader false a header naming an existing
  // section makes that section current again.
  bool load(std::istream& stream, char delimiter, bool newSectionPerHeader,
            bool allowContinuation);
  void setErrorHandler(CosPfuIniFileErrorHandler handler, void* userValue) {
    iv_pfuErrorHandler = handler;
    iv_pvUserValue = userValue;
  }
  unsigned getLineNumber() const { return iv_uLineNumber; }

  // Queries: false when nothing is found (outputs then unchanged).
  bool getSection(char const* name);
  bool getOption(char const* name, char const*& value) const;
  bool getOption(char const* name, char const*& value,
                 char const*& comment) const;
  // Numbers are 32-bit: int (decimal, as atoi) and unsigned int (strtoul,
  // base 10) also serve where a 32-bit long is meant.
  bool getOption(char const* name, unsigned int& value) const;
  bool getOption(char const* name, unsigned int& value,
                 char const*& comment) const;
  bool getOption(char const* name, int& value) const;
  bool getOption(char const* name, int& value, char const*& comment) const;
  bool getOption(char const* name, char& value) const;
  bool getOptionBool(char const* name, bool& value) const;

  // Changes.
  bool addSection(char const* name);
  bool addOption(char const* section, char const* name, char const* value);
  bool addOption(CosClIniFileSectionCursor const& cursor, char const* name,
                 char const* value);
  bool setNewValue(char const* section, char const* option, char const* value);
  bool setNewValue(CosClIniFileSectionCursor const& cursor, char const* option,
                   char const* value);
  // The option cursor's current option.
  bool setNewValue(CosClIniFileOptionCursor const& cursor, char const* value);
  bool deleteSection(char const* name);
  bool deleteSection(CosClIniFileSectionCursor const& cursor);
  bool deleteOption(char const* section, char const* option);
  bool deleteOption(CosClIniFileSectionCursor const& cursor,
                    char const* option);
  // The option cursor's current option (the cursor stays on its place).
  bool deleteOption(CosClIniFileOptionCursor const& cursor);

  // Model access for cursors and the writer.
  CosClIniFileSection* getFirstSection() const { return iv_pclFirstSection; }
  CosClIniFileSection* getCurrentSection() const { return iv_pclCurrentSection; }
  // The first section of that name that is not deleted, or null.
  CosClIniFileSection* findSection(char const* name) const;

  // Value conversions shared by the queries and the option cursor.
  static int32_t toInt(char const* value);
  static uint32_t toUnsigned(char const* value);
  static char toChar(char const* value);
  // The character of the escape at `p` (just after a '\'); advances `p`
  // past it.
  static char parseEscape(char const*& p);

 private:
  struct ParseState;
  void freeModel();
  CosClIniFileSection* appendSection(char const* name);
  CosClIniFileOption* appendOption(CosClIniFileSection* section,
                                   char const* name, char const* value,
                                   char const* comment);
  bool deleteSection(CosClIniFileSection* section);
  bool deleteOption(CosClIniFileSection* section, char const* option);
  bool setNewValue(CosClIniFileSection* section, char const* option,
                   char const* value);
  CosClIniFileOption* findCurrentOption(char const* name) const;
  // Reports `id` at the current line; false when the handler says stop.
  bool report(CosEnErrorId id);
  bool parseLine(ParseState& state, char const* line);
  void parseHeader(ParseState& state, char const* line);

  CosClIniFileSection* iv_pclFirstSection;
  CosClIniFileSection* iv_pclLastSection;
  unsigned iv_uLineNumber;
  CosClIniFileSection* iv_pclCurrentSection;
  CosPfuIniFileErrorHandler iv_pfuErrorHandler;
  void* iv_pvUserValue;
};

// Walks the sections (deleted ones are skipped).
class CosClIniFileSectionCursor {
 public:
  explicit CosClIniFileSectionCursor(CosClIniFile const& iniFile);
  virtual ~CosClIniFileSectionCursor();

  virtual bool isValid() const { return iv_pclCurrent != nullptr; }
  virtual bool setToFirst();
  virtual bool setToNext();
  // True at once when the current section matches; else the first match.
  virtual bool setTo(char const* name);

  char const* getSection() const;
  CosClIniFileSection* getCurrent() const { return iv_pclCurrent; }
  CosClIniFile const& getIniFile() const { return iv_rclIniFile; }

 private:
  CosClIniFile const& iv_rclIniFile;
  CosClIniFileSection* iv_pclFirst;
  CosClIniFileSection* iv_pclCurrent;
};

// Walks the options of one section (deleted ones are skipped).
class CosClIniFileOptionCursor {
 public:
  // The ini file's current section.
  explicit CosClIniFileOptionCursor(CosClIniFile const& iniFile);
  // The section cursor's current section.
  explicit CosClIniFileOptionCursor(CosClIniFileSectionCursor const& cursor);
  // The named section (none when it does not exist).
  CosClIniFileOptionCursor(CosClIniFile const& iniFile, char const* section);
  virtual ~CosClIniFileOptionCursor();

  virtual bool isValid() const { return iv_pclCurrent != nullptr; }
  virtual bool setToFirst();
  virtual bool setToNext();
  virtual bool setTo(char const* name);

  // Each reads the current option. REQUIRES: isValid().
  char const* getOption() const;
  char const* getValue() const;
  char const* getComment() const;
  bool getValue(int& value) const;
  bool getValue(unsigned int& value) const;
  bool getValue(char& value) const;
  bool getValueBool(bool& value) const;

  CosClIniFileOption* getCurrent() const { return iv_pclCurrent; }
  CosClIniFileSection* getSection() const { return iv_pclSection; }

 private:
  void init();
  CosClIniFile const& iv_rclIniFile;
  CosClIniFileSection* iv_pclSection;
  CosClIniFileOption* iv_pclFirst;
  CosClIniFileOption* iv_pclCurrent;
};

#endif  // COS_INIFILE_HPP
