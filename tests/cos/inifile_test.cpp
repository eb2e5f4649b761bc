// Ini files: parsing of real and hand-made files, queries, cursors,
// changes, the writer and write-then-read round trips.

#include <gtest/gtest.h>

#include "ti_test_util.hpp"
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cos_inifile.hpp"
#include "cos_inifilesave.hpp"

namespace {

std::string data(char const* name) {
  return std::string(TI_TEST_DATA) + "/ini/" + name;
}

struct Errors {
  std::vector<std::pair<CosEnErrorId, unsigned>> seen;
  bool goOn = true;
};

bool collect(_CosStError const& error, unsigned line, void* user) {
  Errors* e = static_cast<Errors*>(user);
  EXPECT_EQ(error.errClass, CosEnErrorClass::USER_DATA_ERROR);
  e->seen.emplace_back(error.id, line);
  return e->goOn;
}

std::string value(CosClIniFile& ini, char const* section, char const* option) {
  char const* v = nullptr;
  if (!ini.getSection(section) || !ini.getOption(option, v)) return "<none>";
  return v;
}

// A unique file name in the temporary directory.
std::string tempName(char const* base) {
  char const* tmp = getenv("TMP");
  return std::string(tmp ? tmp : "/tmp") + "/" + base + std::to_string(getpid()) +
         ".ini";
}

// Dumps the live model: section -> list of (name, value, comment).
typedef std::vector<std::pair<std::string, std::vector<std::vector<std::string>>>> Model;
Model dumpModel(CosClIniFile const& ini) {
  Model m;
  for (CosClIniFileSectionCursor s(ini); s.isValid(); s.setToNext()) {
    m.emplace_back(s.getSection(), std::vector<std::vector<std::string>>());
    for (CosClIniFileOptionCursor o(s); o.isValid(); o.setToNext())
      m.back().second.push_back({o.getOption(), o.getValue(), o.getComment()});
  }
  return m;
}

}  // namespace

TEST(IniFile, ParsesEveryValueSyntaxOfTheFixture) {
  setenv("INI_TEST_HOME", "/u", 1);
  unsetenv("INI_TEST_UNSET");
  CosClIniFile ini(data("features.ini").c_str());
  Errors errors;
  ini.setErrorHandler(&collect, &errors);
  ASSERT_TRUE(ini.load(true));
  EXPECT_TRUE(errors.seen.empty());

  struct Case { char const* option; char const* value; char const* comment; };
  Case const cases[] = {
      {"plain", "abc", ""},
      {"quoted", "abc   ", ""},
      {"semi", "a;b", "note"},
      {"char", "x", "a quoted character"},
      {"tabbed", "1\t2", ""},
      {"hex", "AJ", ""},
      {"octal", "AA2", ""},
      {"escaped", "say \"hi\" \\ q", ""},
      {"path", "/u/data", ""},
      {"unset", "/data", ""},
      {"noclose", "$(INI_TEST_HOME", ""},
      {"list", "a,b,c", "end"},
      {"mykey", "1", ""},
  };
  ASSERT_TRUE(ini.getSection(" Main Part "));
  for (Case const& c : cases) {
    char const* v = nullptr;
    char const* comment = nullptr;
    ASSERT_TRUE(ini.getOption(c.option, v, comment)) << c.option;
    EXPECT_STREQ(v, c.value) << c.option;
    EXPECT_STREQ(comment, c.comment) << c.option;
  }
  // The option before the first section and the empty name are not found.
  EXPECT_FALSE(ini.getSection("options before the first section"));
  ASSERT_TRUE(ini.getSection(" MAIN PART "));
  char const* v = "unchanged";
  EXPECT_FALSE(ini.getOption("", v));
  EXPECT_STREQ(v, "unchanged");

  ASSERT_TRUE(ini.getSection("SECOND"));
  int n = 0;
  unsigned u = 0;
  bool b = false;
  EXPECT_TRUE(ini.getOption("number", n));
  EXPECT_EQ(n, 42);
  EXPECT_TRUE(ini.getOption("negative", n));
  EXPECT_EQ(n, -7);
  EXPECT_TRUE(ini.getOption("number", u));
  EXPECT_EQ(u, 42u);
  EXPECT_TRUE(ini.getOptionBool("flag", b));
  EXPECT_TRUE(b);
  EXPECT_FALSE(ini.getOption("missing", n));
}

TEST(IniFile, ReadsDebianDesktopFiles) {
  CosClIniFile ini(data("xdg-user-dirs.desktop").c_str());
  Errors errors;
  ini.setErrorHandler(&collect, &errors);
  ASSERT_TRUE(ini.load(true));
  EXPECT_TRUE(errors.seen.empty());
  EXPECT_EQ(value(ini, "Desktop Entry", "Exec"), "xdg-user-dirs-update");
  EXPECT_EQ(value(ini, "desktop entry", "x-kde-autostart-phase"), "1");
  bool b = true;
  ASSERT_TRUE(ini.getSection("Desktop Entry"));
  EXPECT_TRUE(ini.getOptionBool("StartupNotify", b));
  EXPECT_FALSE(b);
  EXPECT_TRUE(ini.getOptionBool("NoDisplay", b));
  EXPECT_TRUE(b);

  // vim.desktop: '#' lines are not comments in this format (they hold no
  // '='), and ';' starts a comment.
  CosClIniFile vim(data("vim.desktop").c_str());
  Errors vimErrors;
  vim.setErrorHandler(&collect, &vimErrors);
  ASSERT_TRUE(vim.load(true));
  EXPECT_EQ(value(vim, "Desktop Entry", "Name[de]"), "Vim");
  EXPECT_EQ(value(vim, "Desktop Entry", "GenericName"), "Text Editor");
  EXPECT_EQ(value(vim, "Desktop Entry", "Exec"), "vim %F");
  char const* cat = nullptr;
  char const* comment = nullptr;
  ASSERT_TRUE(vim.getSection("Desktop Entry"));
  ASSERT_TRUE(vim.getOption("Categories", cat, comment));
  EXPECT_STREQ(cat, "Utility");
  EXPECT_STREQ(comment, "TextEditor;");
  std::vector<std::string> lines;
  std::ifstream in(data("vim.desktop"));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_FALSE(vimErrors.seen.empty());
  for (auto const& e : vimErrors.seen) {
    EXPECT_EQ(e.first, CosEnErrorId::INIFILE_INVAL_OPTION);
    ASSERT_LE(e.second, lines.size());
    EXPECT_EQ(lines[e.second - 1][0], '#') << "line " << e.second;
  }
  EXPECT_EQ(vimErrors.seen.front().second, 4u);

  // A file of comments only: one section, no options.
  CosClIniFile wce(data("wcetemu.ini").c_str());
  ASSERT_TRUE(wce.load(true));
  CosClIniFileOptionCursor none(wce, "Options");
  EXPECT_FALSE(none.isValid());
  CosClIniFileSectionCursor sections(wce);
  ASSERT_TRUE(sections.isValid());
  EXPECT_STREQ(sections.getSection(), "Options");
  EXPECT_FALSE(sections.setToNext());
}

TEST(IniFile, ReportsSyntaxErrorsWithLineNumbers) {
  char const text[] =
      "[ok]\n"        // 1
      "[broken\n"     // 2
      "novalue\n"     // 3
      "a = 1\n"       // 4
      "  more\n";     // 5
  CosClIniFile ini("x.ini");
  Errors errors;
  ini.setErrorHandler(&collect, &errors);
  EXPECT_TRUE(ini.loadFromBuffer(text, sizeof text - 1, '\n', true, false));
  std::vector<std::pair<CosEnErrorId, unsigned>> expected = {
      {CosEnErrorId::INIFILE_INVAL_SECTION, 2},
      {CosEnErrorId::INIFILE_INVAL_OPTION, 3},
      {CosEnErrorId::INIFILE_INVAL_WHITESPACE, 5}};
  EXPECT_EQ(errors.seen, expected);
  EXPECT_EQ(value(ini, "ok", "a"), "1");

  // A handler that says stop ends the load with false.
  CosClIniFile stopped("y.ini");
  Errors stop;
  stop.goOn = false;
  stopped.setErrorHandler(&collect, &stop);
  EXPECT_FALSE(stopped.loadFromBuffer(text, sizeof text - 1, '\n', true, false));
  EXPECT_EQ(stop.seen.size(), 1u);
  EXPECT_EQ(value(stopped, "ok", "a"), "<none>");

  // Without a handler errors are ignored.
  CosClIniFile quiet("z.ini");
  EXPECT_TRUE(quiet.loadFromBuffer(text, sizeof text - 1, '\n', true, false));
  EXPECT_EQ(value(quiet, "ok", "a"), "1");
}

// Fault mended: a line longer than 1023 characters used to end the reading
// silently while the load reported success.
TEST(IniFile, LongLineFailsTheLoadButKeepsReading) {
  std::string text = "[s]\nlong = " + std::string(1100, 'x') + "\nafter = 1\n";
  CosClIniFile ini("x.ini");
  Errors errors;
  ini.setErrorHandler(&collect, &errors);
  EXPECT_FALSE(ini.loadFromBuffer(text.data(), (unsigned)text.size(), '\n',
                                  true, true));
  ASSERT_EQ(errors.seen.size(), 1u);
  EXPECT_EQ(errors.seen[0].first, CosEnErrorId::INIFILE_INVAL_OPTION);
  EXPECT_EQ(errors.seen[0].second, 2u);
  EXPECT_EQ(value(ini, "s", "after"), "1");
  EXPECT_EQ(value(ini, "s", "long"), "<none>");

  // 1023 characters are still one valid line.
  std::string fits = "[s]\nv=" + std::string(1021, 'y') + "\n";
  CosClIniFile ok("y.ini");
  EXPECT_TRUE(ok.loadFromBuffer(fits.data(), (unsigned)fits.size(), '\n', true, true));
  EXPECT_EQ(value(ok, "s", "v").size(), 1021u);
}

// Fault mended: the value used to be searched as a substring of the true
// tokens, so "N", "E" and "" were true.
TEST(IniFile, GetOptionBoolMatchesWholeTokens) {
  struct Case { char const* text; bool expected; };
  Case const cases[] = {{"on", true},   {"Yes", true},   {"1", true},
                        {"ok", true},   {"TRUE", true},  {"N", false},
                        {"E", false},   {"", false},     {"0", false},
                        {"OFF", false}, {"no", false},   {"false", false},
                        {"ONE", false}, {"|ON|", false}};
  for (Case const& c : cases) {
    std::string text = std::string("[s]\nb = \"") + c.text + "\"\n";
    CosClIniFile ini("x.ini");
    ASSERT_TRUE(ini.loadFromBuffer(text.data(), (unsigned)text.size(), '\n', true, true));
    ASSERT_TRUE(ini.getSection("s"));
    bool b = !c.expected;
    ASSERT_TRUE(ini.getOptionBool("b", b)) << c.text;
    EXPECT_EQ(b, c.expected) << c.text;
    CosClIniFileOptionCursor cursor(ini, "s");
    bool cb = !c.expected;
    EXPECT_TRUE(cursor.getValueBool(cb));
    EXPECT_EQ(cb, c.expected) << c.text;
  }
}

TEST(IniFile, SectionsMergeOnlyWhenAsked) {
  char const text[] = "[a]\nx=1\n[b]\ny=2\n[A]\nz=3\n";
  CosClIniFile merged("m.ini");
  ASSERT_TRUE(merged.loadFromBuffer(text, sizeof text - 1, '\n', false, true));
  Model expect = {{"a", {{"x", "1", ""}, {"z", "3", ""}}}, {"b", {{"y", "2", ""}}}};
  EXPECT_EQ(dumpModel(merged), expect);

  CosClIniFile separate("s.ini");
  ASSERT_TRUE(separate.loadFromBuffer(text, sizeof text - 1, '\n', true, true));
  EXPECT_EQ(dumpModel(separate).size(), 3u);
  // A buffer with another delimiter.
  char const semi[] = "[c]|k = v|";
  CosClIniFile other("o.ini");
  ASSERT_TRUE(other.loadFromBuffer(semi, sizeof semi - 1, '|', true, true));
  EXPECT_EQ(value(other, "c", "k"), "v");
}

TEST(IniFile, ChangesAndCursors) {
  CosClIniFile ini("x.ini");
  EXPECT_FALSE(ini.addOption("none", "a", "1"));
  ASSERT_TRUE(ini.addSection("one"));
  ASSERT_TRUE(ini.addSection("two"));
  EXPECT_TRUE(ini.addOption("one", "a", "1"));
  EXPECT_TRUE(ini.addOption("one", "b", "2"));
  EXPECT_FALSE(ini.addOption("one", "A", "other"));  // exists
  EXPECT_EQ(value(ini, "one", "a"), "1");

  CosClIniFileSectionCursor sc(ini);
  ASSERT_TRUE(sc.setTo("TWO"));
  EXPECT_TRUE(ini.addOption(sc, "c", "3"));
  EXPECT_TRUE(ini.setNewValue(sc, "c", "33"));
  EXPECT_TRUE(ini.setNewValue("one", "b", "a much longer value than before"));
  EXPECT_FALSE(ini.setNewValue("one", "zz", "1"));
  EXPECT_EQ(value(ini, "one", "b"), "a much longer value than before");
  EXPECT_EQ(value(ini, "two", "c"), "33");

  EXPECT_TRUE(ini.deleteOption("one", "a"));
  EXPECT_FALSE(ini.deleteOption("one", "a"));
  Model expect = {{"one", {{"b", "a much longer value than before", ""}}},
                  {"two", {{"c", "33", ""}}}};
  EXPECT_EQ(dumpModel(ini), expect);
  EXPECT_TRUE(ini.deleteSection(sc));
  EXPECT_EQ(dumpModel(ini).size(), 1u);
  EXPECT_FALSE(ini.getSection("two"));

  CosClIniFileOptionCursor oc(ini, "one");
  ASSERT_TRUE(oc.isValid());
  EXPECT_STREQ(oc.getOption(), "b");
  EXPECT_TRUE(oc.setTo("B"));
  EXPECT_FALSE(oc.setTo("a"));  // deleted
  EXPECT_FALSE(oc.setToNext());
  EXPECT_TRUE(oc.setToFirst());

  // Changes through an option cursor act on its current option.
  EXPECT_TRUE(ini.addOption("one", "d", "4"));
  ASSERT_TRUE(oc.setTo("d"));
  EXPECT_TRUE(ini.setNewValue(oc, "44"));
  EXPECT_EQ(value(ini, "one", "d"), "44");
  EXPECT_TRUE(ini.deleteOption(oc));
  EXPECT_FALSE(ini.deleteOption(oc));  // already deleted
  EXPECT_FALSE(ini.setNewValue(oc, "5"));
  EXPECT_EQ(value(ini, "one", "d"), "<none>");
  EXPECT_TRUE(oc.setToFirst());
  EXPECT_STREQ(oc.getOption(), "b");
  EXPECT_FALSE(oc.setToNext());

  // Quoted characters through the char query.
  char const text[] = "[c]\nq = \"'\\t'\"\nr = z\n";
  CosClIniFile chars("c.ini");
  ASSERT_TRUE(chars.loadFromBuffer(text, sizeof text - 1, '\n', true, true));
  ASSERT_TRUE(chars.getSection("c"));
  char c = 0;
  EXPECT_TRUE(chars.getOption("q", c));
  EXPECT_EQ(c, '\t');
  EXPECT_TRUE(chars.getOption("r", c));
  EXPECT_EQ(c, 'z');
}

TEST(IniFileSave, WritesTheDocumentedLayout) {
  CosClIniFileSave w("w.ini");
  std::ostringstream out;
  w.saveSection(out, "s", nullptr);
  w.saveOptionBool(out, "flag", true, "x");
  w.saveOption(out, "semi", "a;b");
  w.saveOption(out, "tab", "1\t2");
  w.saveOption(out, "ch", (char)1);
  w.saveOption(out, "n", -5);
  w.saveOption(out, "u", 7u);
  w.saveOption(out, "bs", "c:\\dir");
  EXPECT_EQ(out.str(),
            "\n[s]\n"
            "flag\t= ON\t; x\n"
            "semi\t= \"a;b\"\n"
            "tab\t= \"1\\t2\"\n"
            "ch\t= '\\x01'\n"
            "n\t= -5\n"
            "u\t= 7\n"
            "bs\t= c:\\dir\n");

  // Deleted sections and options are not written.
  CosClIniFileSave model("m.ini");
  model.addSection("gone");
  model.addOption("gone", "a", "1");
  model.addSection("kept");
  model.addOption("kept", "a", "1");
  model.addOption("kept", "b", "2");
  model.deleteSection("gone");
  model.deleteOption("kept", "a");
  std::ostringstream out2;
  EXPECT_TRUE(model.save(out2));
  EXPECT_EQ(out2.str(), "\n[kept]\nb\t= 2\n");
}

// Fault mended: empty values, blanks at either end, quotes and "$(" used
// to be written so that the reader read something else back.
TEST(IniFileSave, RoundTripKeepsEveryValue) {
  std::vector<std::string> values = {
      "",          "  lead",     "trail  ",   "\"quoted\"", "it's",
      "$(HOME)/x", "a;b",        "tab\there", "back\\slash", "\x01\x7f",
      "x\\x41",    "'c'",        "plain text", "utf8 \xc3\xa4",  "\\"};
  std::string name = tempName("inisave");
  {
    CosClIniFileSave w(name.c_str());
    w.addSection("vals");
    for (size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(w.addOption("vals", ("v" + std::to_string(i)).c_str(),
                              values[i].c_str()));
    ASSERT_TRUE(w.setNewValue("vals", "v0", ""));
    ASSERT_TRUE(w.save());
  }
  CosClIniFile r(name.c_str());
  Errors errors;
  r.setErrorHandler(&collect, &errors);
  ASSERT_TRUE(r.load(true));
  EXPECT_TRUE(errors.seen.empty());
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(value(r, "vals", ("v" + std::to_string(i)).c_str()), values[i])
        << "value " << i;
  remove(name.c_str());
}

TEST(IniFileSave, RandomModelsRoundTrip) {
  std::mt19937 rng(testSeed());
  std::string const alphabet = "ab ;\"'$()\\\t\x01xyz=[]#";
  auto randomText = [&](size_t maxLen) {
    std::string s;
    size_t n = rng() % (maxLen + 1);
    for (size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  std::string name = tempName("inirand");
  for (int round = 0; round < 20; ++round) {
    Model model;
    {
      CosClIniFileSave w(name.c_str());
      int sections = 1 + rng() % 4;
      for (int s = 0; s < sections; ++s) {
        std::string sec = "sec" + std::to_string(s);
        w.addSection(sec.c_str());
        model.emplace_back(sec, std::vector<std::vector<std::string>>());
        int options = rng() % 6;
        for (int o = 0; o < options; ++o) {
          std::string opt = "opt" + std::to_string(o);
          std::string v = randomText(30);
          ASSERT_TRUE(w.addOption(sec.c_str(), opt.c_str(), v.c_str()));
          model.back().second.push_back({opt, v, ""});
        }
      }
      ASSERT_TRUE(w.save());
    }
    CosClIniFile r(name.c_str());
    ASSERT_TRUE(r.load(true));
    ASSERT_EQ(dumpModel(r), model) << "round " << round;
  }
  remove(name.c_str());
}

// Fault mended: the writer used to write nothing into a file stream that
// the caller passed in unopened, and once any caller's stream had been
// written a later save() wrote nothing either.
TEST(IniFileSave, WritesIntoTheCallersStreamAndSavesLater) {
  std::string name = tempName("inicaller");
  remove(name.c_str());
  CosClIniFileSave w(name.c_str());
  w.addSection("s");
  w.addOption("s", "a", "1;2");
  w.addOption("s", "b", " x ");
  Model const expected = {{"s", {{"a", "1;2", ""}, {"b", " x ", ""}}}};

  // An open stream of the caller: the text read back is the model.
  std::ostringstream text;
  ASSERT_TRUE(w.save(text));
  CosClIniFile fromText("t.ini");
  std::string written = text.str();
  ASSERT_TRUE(fromText.loadFromBuffer(written.data(), (unsigned)written.size(),
                                      '\n', true, true));
  EXPECT_EQ(dumpModel(fromText), expected);

  // A file stream not yet open is opened on the ini file's name.
  auto readFile = [&] {
    CosClIniFile r(name.c_str());
    EXPECT_TRUE(r.load(true));
    return dumpModel(r);
  };
  {
    std::ofstream file;
    ASSERT_TRUE(w.saveSection(file, "piece", "c"));
    ASSERT_TRUE(w.saveOption(file, "n", 5));
    ASSERT_TRUE(file.is_open());
  }
  EXPECT_EQ(readFile(), (Model{{"piece", {{"n", "5", ""}}}}));

  // save() still writes the file, and a second save() rewrites it whole.
  ASSERT_TRUE(w.save());
  EXPECT_EQ(readFile(), expected);
  w.addOption("s", "c", "3");
  ASSERT_TRUE(w.save());
  EXPECT_EQ(readFile(), (Model{{"s", {{"a", "1;2", ""}, {"b", " x ", ""}, {"c", "3", ""}}}}));
  remove(name.c_str());
}

TEST(IniFile, MissingFileLoadsNothing) {
  CosClIniFile ini("/nonexistent/dir/none.ini");
  EXPECT_FALSE(ini.load(true));
  EXPECT_EQ(ini.getFirstSection(), nullptr);
  CosClIniFile noext("/nonexistent/dir/none");
  EXPECT_STREQ(noext.getName().getExtension(), ".ini");
}
