// cos_consoleui.hpp: the frame of every console program of the system.
//
// A program builds one CosClConsoleUI on the stack in main(), calls init()
// (title line; the built-in switches -quiet and -copyright), then
// handleUsageHelp() with its usage text (notation: cos_usage.hpp) and help
// text (help switches -h, -H, -?; every argument checked against the usage
// text), then queries its switches and writes its output through the
// operations below, so that all programs share one look:
//
//   (title line)   "\n<process name> - <title>   <subtitle>\n"
//   (header)       "\n" 74 dashes "\n<process name>: <title>:\n" then the
//                  process-name indentation
//   (formatHeader) "\n  <title>\n  " 72 dashes "\n"
//   (labelled)     "  <label>..........: value\n"; label field 36 wide by
//                  default, so values start in column 41
//
// Texts come from the object's message catalogue by number (the services
// library's own table unless a catalogue file is open; numbers of the
// library's texts get the message-number base added, numbers passed by the
// caller are used unchanged).
//
// A wrong command line ends the process through exit() with a fixed code
// (the console error identifiers): 201 usage, help or copyright shown, or
// unknown, forbidden or repeated arguments; 202 a required switch missing;
// 203 a switch without its value; 204 a non-numeric value for a numeric
// switch. A non-zero exit first writes the bell character to the output
// stream. No exception leaves these operations except the memory manager's
// out-of-memory failure.
//
// Standard output is the output stream and standard error the error stream;
// -quiet sends both to the null device. Usage, help, copyright and prompts
// always use standard output (prompts read standard input); argument errors
// always go to standard error. COS_CONSOLEUI_QUOTE_STRINGS (enabled value)
// puts string values of labelled lines in quotes.
#ifndef COS_CONSOLEUI_HPP
#define COS_CONSOLEUI_HPP

#include <cstdint>
#include <iosfwd>

#include "cos_exception.hpp"
#include "cos_message.hpp"

class CosClConsoleUI;

// The per-program display state; created by CosClConsoleUI::init().
class CosClConsoleUIParams {
 public:
  static constexpr unsigned ANSWER_MAX = 80;        // characters of a reply
  static constexpr unsigned PROCESS_NAME_MAX = 25;  // characters

  // The process name is the base name of `programPath`, cut to 25
  // characters and at its first ".".
  explicit CosClConsoleUIParams(char const* programPath);
  ~CosClConsoleUIParams();
  CosClConsoleUIParams(CosClConsoleUIParams const&) = delete;
  CosClConsoleUIParams& operator=(CosClConsoleUIParams const&) = delete;

  // Output and error go to the null device; sets the quiet flag.
  void setQuietMode();
  // Unless quiet: `stream` becomes the output and the error stream.
  void setOutputStream(std::ostream& stream);
  // `stream` becomes the output stream, standard error the error stream;
  // quiet mode ends.
  void forceOutputStream(std::ostream& stream);
  void flushOutputStream();

  // Stores copies of both texts (null or empty usage: none; null help:
  // none), releasing the previous ones.
  void setUsage(char const* usage, char const* help);
  bool hasUsage() const;

 private:
  friend class CosClConsoleUI;
  void releaseTexts();

  char* iv_pszUsage;                        // owned, or the no-usage marker
  char* iv_pszHelp;                         // owned, or null
  char iv_szAnswer[ANSWER_MAX + 1];         // last prompt reply
  char iv_szProcessName[PROCESS_NAME_MAX + 1];
  uint32_t iv_uProcessNameLength;
  uint32_t iv_uProgressIndex;               // 0..3, into "|/-\\"
  bool iv_bQuiet;
  bool iv_bHideTaggedLines;
  bool iv_bDisableTaggedLines;
  bool iv_bQuoteStrings;                    // COS_CONSOLEUI_QUOTE_STRINGS
  uint32_t iv_uLabelWidth;                  // default 36
  int iv_iLabelStyle;                       // CosClConsoleUI::CosEnFormatStyle
  char iv_cFillChar;                        // default '.'
  std::ostream* iv_pOut;                    // not owned unless the null device
  std::ostream* iv_pErr;
  std::ofstream* iv_pNullDevice;            // owned, quiet mode only
};

class CosClConsoleUI {
 public:
  enum CosEnFormatStyle { LEFT = 0, RIGHT = 1, CENTERED = 2 };

  // Exit codes (the console error identifiers).
  static constexpr unsigned EXIT_USAGE = 201;
  static constexpr unsigned EXIT_ARG_MISSING = 202;
  static constexpr unsigned EXIT_ARG_EXPECTING_VALUE = 203;
  static constexpr unsigned EXIT_ARG_VALUE_TYPE_MISMATCH = 204;

  // REQUIRES: argv holds argc strings and outlives the object. The default
  // catalogue, base 0, no display parameters: call init() first.
  CosClConsoleUI(int argc, char const* const* argv);
  CosClConsoleUI(int argc, char** argv);
  virtual ~CosClConsoleUI();
  CosClConsoleUI(CosClConsoleUI const&) = delete;
  CosClConsoleUI& operator=(CosClConsoleUI const&) = delete;

  virtual CosClMessageCatalog& getMessageCatalog() { return iv_clCatalog; }
  uint32_t getMessageBase() const { return iv_uMessageBase; }
  int getArgc() const { return iv_iArgc; }
  char const* const* getArgv() const { return iv_ppszArgv; }

  // The services library's level label and compile date (copyright display).
  static char const* getLibraryLevel();
  static char const* getLibraryCompileDate();

  // ---- start-up, usage and help (cos_consoleui.cpp)
  // Creates the display parameters, installs the library's message table
  // in the default catalogue, handles -quiet (no title line) and writes the
  // title line; -copyright shows the copyright display and exits 201.
  // level and compileDate describe the program; either may be null.
  void init(char const* title, char const* subtitle = nullptr,
            char const* level = nullptr, char const* compileDate = nullptr);
  // Title and subtitle by message number (0: none; no title, no subtitle).
  void init(uint32_t titleId, uint32_t subtitleId, char const* level,
            char const* compileDate);
  // Sets the texts; a help switch shows usage and help and exits 201; then
  // every argument is checked against the usage text: unknown, forbidden
  // (tagged while disabled) and repeated arguments each give an error on
  // standard error, then the usage is shown and the process exits 201.
  void handleUsageHelp(char const* usage, char const* help);
  void handleUsageHelp(uint32_t usageId, uint32_t helpId);  // help 0: none
  void setUsage(char const* usage, char const* help);
  // The usage text; "" when none is set.
  char const* getUsage() const;
  void displayUsageHelp(char const* usage, char const* help, bool exit);
  void displayTitle(char const* title, char const* subtitle);
  void displayUsage(bool exit);
  void displayHelp(bool exit);
  [[noreturn]] void displayCopyright(char const* level,
                                     char const* compileDate);

  // ---- argument queries (cos_consoleui.cpp). Names: text ("v" or "-v"),
  // message number (looked up without the base) or one character.
  bool hasArgSwitch(char const* name) const;
  bool hasArgSwitch(uint32_t nameId) const;
  bool hasArgSwitch(char name) const;
  // False when absent; else the following argument (exit 203 when there is
  // none or it is a switch).
  bool hasArgString(char const* name, char const*& value);
  bool hasArgString(uint32_t nameId, char const*& value);
  bool hasArgString(char name, char const*& value);
  // False when absent; exit 203 when no value follows (a following switch
  // is no value), 204 when the value (after one optional "'") does not
  // begin with a digit or "-" and a digit. The value is converted by atol.
  bool hasArgNumval(char const* name, int32_t& value);
  bool hasArgNumval(uint32_t nameId, int32_t& value);
  bool hasArgNumval(char name, int32_t& value);
  bool hasArgNumval(char const* name, int16_t& value);
  bool hasArgNumval(uint32_t nameId, int16_t& value);
  bool hasArgNumval(char name, int16_t& value);
  // As the has-forms, but an absent switch is fatal (fatalMissingArg).
  void reqArgSwitch(char const* name);
  void reqArgSwitch(uint32_t nameId);
  void reqArgSwitch(char name);
  void reqArgString(char const* name, char const*& value);
  void reqArgString(uint32_t nameId, char const*& value);
  void reqArgString(char name, char const*& value);
  void reqArgNumval(char const* name, int32_t& value);
  void reqArgNumval(uint32_t nameId, int32_t& value);
  void reqArgNumval(char name, int32_t& value);
  // A fatal block naming the switch (the character form as "-c"); with a
  // usage text also the hint and the usage; exit 202.
  [[noreturn]] void fatalMissingArg(char const* name);
  [[noreturn]] void fatalMissingArg(char name);

  // ---- settings
  char const* getProcessName() const;
  void setOutputStream(std::ostream& stream);
  std::ostream& getOutputStream() const;
  std::ostream& getErrorStream() const;
  bool mustBeQuiet() const;
  void hideTaggedLines();
  void disableTaggedLines();
  void setFormatWidth(unsigned width);
  void setFormatStyle(CosEnFormatStyle style);
  void setFormatFillChar(char fill);
  // Bell (when code != 0), streams flushed, exit(code).
  [[noreturn]] void processExit(uint32_t code);

  // ---- layout primitives (cos_consoleui_output.cpp)
  void newline();
  void beep();
  void horizontalBar();
  void indent(std::ostream& stream);
  void indent(std::ostream& stream, unsigned count, char c);
  void header(std::ostream& stream, char const* title, bool colon);
  void header(std::ostream& stream, uint32_t titleId, bool colon);
  void formatHeader(char const* title);
  void formatHeader(uint32_t titleId);
  // Writes `text`: "!" hides the rest of its line, "\n" included, when
  // tagged lines are hidden or disabled (else only the "!" is left out); in
  // usage mode '"', '(' and ')' are left out; "@" in column 0 or 1 (the
  // counter starts at 1 and restarts at 0 after "\n") is a line break;
  // each "\n" is followed by `indentCount` blanks; an end of line closes
  // the text unless its last character is "\n" (an empty text gets one).
  void display(std::ostream& stream, char const* text, unsigned indentCount,
               bool usageMode);

  // ---- labelled lines on the output stream (cos_consoleui_format.cpp)
  void format(char const* label);
  void format(uint32_t labelId);
  void format(char const* label, char const* value);
  void format(uint32_t labelId, char const* value);
  void format(char const* label, char value);
  void format(uint32_t labelId, char value);
  void format(char const* label, char const* value, unsigned length);
  void format(uint32_t labelId, char const* value, unsigned length);
  void format(char const* label, int32_t value);
  void format(uint32_t labelId, int32_t value);
  void format(char const* label, uint32_t value);
  void format(uint32_t labelId, uint32_t value);
  void format(char const* label, int64_t value);
  void format(uint32_t labelId, int64_t value);
  void format(char const* label, uint64_t value);
  void format(uint32_t labelId, uint64_t value);
  void format(char const* label, int16_t value);
  void format(uint32_t labelId, int16_t value);
  void format(char const* label, uint16_t value);
  void format(uint32_t labelId, uint16_t value);
  void format(char const* label, float value);
  void format(uint32_t labelId, float value);
  void format(char const* label, double value);
  void format(uint32_t labelId, double value);
  void formatBool(char const* label, bool value);
  void formatBool(uint32_t labelId, bool value);
  void formatErrId(uint32_t id, bool full);
  void format(CosEnErrorClass errClass);
  void format(CosEnErrorSeverity severity);
  void format(CosEnErrorAction action);
  void format(_CosStError const& error, bool full);
  void format(_CosStUserError const& error, bool full);
  void format(CosClException const& exception, bool full);
  // A section header, then 16 bytes a line as offset, hex and characters.
  void dump(char const* title, char const* data, unsigned length);
  void dump(uint32_t titleId, char const* data, unsigned length);

  // ---- message blocks (cos_consoleui_output.cpp); null texts are left out
  void msg(std::ostream& stream, char const* s1, char const* s2 = nullptr,
           char const* s3 = nullptr, char const* s4 = nullptr,
           char const* s5 = nullptr);
  void info(char const* title, char const* text = nullptr,
            char const* a1 = nullptr, char const* a2 = nullptr,
            char const* a3 = nullptr);
  void warning(char const* s1, char const* s2 = nullptr,
               char const* s3 = nullptr, char const* s4 = nullptr,
               char const* s5 = nullptr);
  void error(char const* s1, char const* s2 = nullptr,
             char const* s3 = nullptr, char const* s4 = nullptr,
             char const* s5 = nullptr);
  void error(std::ostream& stream, char const* s1, char const* s2 = nullptr,
             char const* s3 = nullptr);
  void exception(CosClException const& exception, char const* s1 = nullptr,
                 char const* s2 = nullptr, char const* s3 = nullptr,
                 char const* s4 = nullptr, char const* s5 = nullptr);
  [[noreturn]] void fatal(uint32_t exitCode, char const* s1,
                          char const* s2 = nullptr, char const* s3 = nullptr,
                          char const* s4 = nullptr, char const* s5 = nullptr);

  // ---- prompts on standard output, replies from standard input
  // (cos_consoleui_prompt.cpp). A reply holds at most 80 characters; an
  // empty reply (also at the end of input) takes the default.
  void prompt(char const* text, char const* hint, char const* defaultAnswer);
  // The reply (valid until the next prompt).
  char const* promptString(char const* text, char const* defaultAnswer);
  char const* promptString(uint32_t textId, char const* defaultAnswer);
  // Asks until the reply is a number within [min, max]; at the end of input
  // with a default out of bounds the process exits 203.
  int32_t promptNumval(char const* text, int32_t min, int32_t max,
                       int32_t defaultValue);
  int32_t promptNumval(uint32_t textId, int32_t min, int32_t max,
                       int32_t defaultValue);
  bool promptYesNo(char const* text, bool defaultYes);
  bool promptYesNo(uint32_t textId, bool defaultYes);
  void promptForKey();

  // ---- progress mark on the output stream
  void progressStart();
  void progressStep(char const* text = nullptr);
  void progressStop();

 private:
  // The rule line: 74 dashes and a line end.
  static constexpr char RULE_LINE[] =
      "--------------------------------------------------------------------------\n";

  // The text of library message `id` (the base added).
  CosClMessage text(uint32_t id) const;
  // The text of message `id` as given (no base).
  CosClMessage callerText(uint32_t id) const;
  CosClConsoleUIParams& params() const;
  bool catalogHasTexts() const;
  bool checkArguments();
  bool numval(char const* name, int32_t& value);
  // The fatal block of a wrong command line, on standard error whatever
  // the error stream (also in quiet mode), then processExit(exitCode).
  [[noreturn]] void fatalArgument(uint32_t exitCode, char const* s1,
                                  char const* s2, char const* s3 = nullptr);
  // The label field of a labelled line.
  void writeLabel(std::ostream& stream, char const* label);
  template <class T>
  void formatValue(char const* label, T const& value);
  void formatQuoted(char const* label, char const* value, unsigned length,
                    char quote);
  void writeErrId(std::ostream& stream, uint32_t id, bool full);
  // One line: label `labelId`, the name text `nameId` (the number `value`
  // when there is no name).
  void writeNameLine(std::ostream& stream, uint32_t labelId, uint32_t nameId,
                     uint32_t value);
  // Identifier (always), class, and with `withUser` severity and action,
  // each when `full` or not 0.
  void formatErrorFields(std::ostream& stream, _CosStUserError const& error,
                         bool full, bool withUser);
  void formatException(std::ostream& stream, CosClException const& exception,
                       bool full);
  bool readAnswer(char const* defaultAnswer);

  CosClMessageCatalog iv_clCatalog;
  uint32_t iv_uMessageBase;
  int iv_iArgc;
  char const* const* iv_ppszArgv;
  CosClConsoleUIParams* iv_pParams;  // owned; created by init()
};

#endif  // COS_CONSOLEUI_HPP
