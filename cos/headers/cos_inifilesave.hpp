// cos_inifilesave.hpp: writes ini files that CosClIniFile reads back.
//
// Either the whole model (save()) or piece by piece (saveSection,
// saveOption...). Layout per section: an empty line, "[name]", then one
// line per option: name, tab, "= ", value and, with a comment, tab, "; ",
// comment. A value is written between double quotes, with escapes, exactly
// when it would not read back as it stands: when it holds ';', a control
// character, a quote character or "$(", or begins or ends with white space.
// Inside quotes '\' and '"' are escaped too. An empty value is written as
// "name\t= " so that the option survives the round trip.
//
// Write failures show only in the returned stream state; nothing throws.
#ifndef COS_INIFILESAVE_HPP
#define COS_INIFILESAVE_HPP

#include <fstream>
#include <ostream>

#include "cos_inifile.hpp"

class CosClIniFileSave : public CosClIniFile {
 public:
  explicit CosClIniFileSave(CosClFilenameABase const& name);
  explicit CosClIniFileSave(char const* name);
  // Flushes and closes the stream; the model goes with the base.
  ~CosClIniFileSave() override;

  // The object's own stream, opened on the ini file's name (created or
  // truncated) by the first write into it.
  std::ostream& getStream() { return iv_clStream; }

  // Writes the whole model into the ini file: the own stream is (re)opened
  // on the file's name, truncating it, so the file holds the model once
  // however often save() runs. Returns the stream's good state.
  bool save();
  // Writes the whole model into `out`; flushes. Returns out's good state.
  bool save(std::ostream& out);

  // Each of these and save(out) writes into `out`, the caller's stream or
  // the own one: a file stream that is not open yet (std::ofstream,
  // std::fstream) is first opened on the ini file's name, created or
  // truncated; any other stream is written as it stands. Writing into a
  // caller's stream leaves the own stream untouched. Each returns the
  // stream's good state.
  bool saveSection(std::ostream& out, char const* name,
                   char const* comment = nullptr);
  bool saveOption(std::ostream& out, char const* name, char const* value,
                  char const* comment = nullptr);
  bool saveOption(std::ostream& out, char const* name, int value,
                  char const* comment = nullptr);
  bool saveOption(std::ostream& out, char const* name, unsigned int value,
                  char const* comment = nullptr);
  bool saveOption(std::ostream& out, char const* name, char value,
                  char const* comment = nullptr);
  bool saveOptionBool(std::ostream& out, char const* name, bool value,
                      char const* comment = nullptr);
  // The name part: name, tab, "=", blank.
  bool saveOption(std::ostream& out, char const* name);
  // The comment part: tab, ";", blank, comment, newline; or a newline.
  bool saveComment(std::ostream& out, char const* comment);
  // One character: \a \b \f \n \r \t \v, '\' doubled, other control
  // characters as \x and two hex digits, the rest as they are.
  bool saveChar(std::ostream& out, char c);

  // Whether `value` is written between quotes (rules above).
  static bool needsQuotes(char const* value);

 private:
  void ensureOpen(std::ostream& out);

  std::fstream iv_clStream;
  bool iv_bOpened;
};

#endif  // COS_INIFILESAVE_HPP
