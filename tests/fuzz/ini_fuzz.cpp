// Fuzz target: the ini-file parser, its queries and cursors, and the
// writer. The first byte chooses the parser's flags; the rest is the file.
// Whatever model the parser builds, writing it and reading the text back
// must give the same model when its names can be written at all and no
// written line is longer than the reader takes (escapes can make a value
// of the 1024-byte text area up to four times as long).

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cos_inifile.hpp"
#include "cos_inifilesave.hpp"
#include "fuzz_input.hpp"

namespace {

bool quiet(_CosStError const&, unsigned, void*) { return true; }

typedef std::vector<std::vector<std::string>> Model;

// Sections as {name} followed by {name, value, comment} per option.
Model dump(CosClIniFile const& ini, bool* writable) {
  Model m;
  for (CosClIniFileSectionCursor s(ini); s.isValid(); s.setToNext()) {
    m.push_back({s.getSection()});
    std::string name = s.getSection();
    // A name the writer cannot put in a header line as it stands.
    if (name.find_first_of("[]\r;") != std::string::npos ||
        name != std::string(name.c_str()))
      *writable = false;
    for (CosClIniFileOptionCursor o(s); o.isValid(); o.setToNext()) {
      int i;
      unsigned u;
      char c;
      bool b;
      o.getValue(i);
      o.getValue(u);
      o.getValue(c);
      o.getValueBool(b);
      std::string opt = o.getOption();
      if (opt.find_first_of("=;\"'[\\") != std::string::npos ||
          opt.empty() || opt.front() == ' ' || opt.front() == '\t' ||
          opt.back() == ' ' || opt.back() == '\t')
        *writable = false;
      m.push_back({opt, o.getValue(), o.getComment()});
    }
  }
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  uint8_t flags = in.byte();
  std::string text = in.rest();
  char const delimiter = (flags & 4) ? '\r' : '\n';

  CosClIniFileSave ini("fuzz.ini");
  ini.setErrorHandler(&quiet, nullptr);
  ini.loadFromBuffer(text.data(), (unsigned)text.size(), delimiter,
                     (flags & 1) != 0, (flags & 2) != 0);

  // Queries of the first section's names and of made-up ones.
  CosClIniFileSectionCursor first(ini);
  if (first.isValid()) {
    std::string section = first.getSection();
    FUZZ_CHECK(ini.getSection(section.c_str()));
    for (CosClIniFileOptionCursor o(first); o.isValid(); o.setToNext()) {
      std::string name = o.getOption();
      char const* value = nullptr;
      char const* comment = nullptr;
      FUZZ_CHECK(ini.getOption(name.c_str(), value, comment));
      int i;
      unsigned u;
      char c;
      bool b;
      ini.getOption(name.c_str(), i);
      ini.getOption(name.c_str(), u);
      ini.getOption(name.c_str(), c);
      ini.getOptionBool(name.c_str(), b);
    }
  }
  ini.getSection("no such section");

  // Write the model and read it back.
  bool writable = delimiter == '\n';
  Model model = dump(ini, &writable);
  std::ostringstream out;
  FUZZ_CHECK(ini.save(out));
  std::string written = out.str();
  for (size_t at = 0, nl; at < written.size(); at = nl + 1) {
    nl = written.find('\n', at);
    if (nl == std::string::npos) nl = written.size();
    if (nl - at > COS_INIFILE_LINE_MAX) writable = false;
  }
  if (writable) {
    CosClIniFile back("back.ini");
    back.setErrorHandler(&quiet, nullptr);
    back.loadFromBuffer(written.data(), (unsigned)written.size(), '\n', true,
                        true);
    bool ignored = true;
    FUZZ_CHECK(dump(back, &ignored) == model);
  }

  // Changes through the cursor on the loaded model.
  CosClIniFileSectionCursor s(ini);
  if (s.isValid()) {
    CosClIniFileOptionCursor o(s);
    if (o.isValid()) {
      ini.setNewValue(o, "changed");
      ini.deleteOption(o);
    }
    ini.addOption(s, "added", text.substr(0, 40).c_str());
    ini.deleteSection(s);
  }
  return 0;
}
