// Fuzz target: stop-word lists. The first byte chooses one of three runs:
//  - the stop-word file of an index: the rest of the input is "voz.STP",
//    read into a work block; a file that reads is looked up with words
//    from the input and written back, and that copy reads again into the
//    same answers and writes again byte for byte;
//  - registration: the rest is a list of (class, length, bytes) words
//    registered into a few classes of one unit width; the lookups answer as
//    a set per class does (2 at the first meeting, 4 after), and so does
//    the list after a write and a read of its file;
//  - the caller's stop-word list file of an update cycle (one word a line,
//    read by vozReadStopLists for GTRcreateIndexInit) in one of a few code
//    pages: a list that is taken has at most one word a line and its
//    classes write and read back.

#include <sys/stat.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "build/voz_creatwrk.hpp"
#include "build/voz_stopword.hpp"
#include "calls/voz_gtrcreate.hpp"
#include "files/voz_names.hpp"
#include "fuzz_index.hpp"

namespace {

// A work block whose target set is index "idx" in directory `dir` (only
// the stop-word file's name is taken from it).
struct Block {
  _FCTLHEAD set;
  CREATWRK cw;
  explicit Block(std::string const& dir) : set(), cw() {
    GTRSTATUS st{};
    FUZZ_CHECK(voz_SetFctlForRead(&set, "idx", dir.c_str(), 0, 0, "KPLQ", "Full", &st) == 0);
    cw.targetSet = &set;
  }
  ~Block() { vozFreeStopWords(&cw); }
  std::string path() const {
    char p[VOZ_FNAME_LEN];
    voz_IDXgetFname(p, &set, VOZ_FT_STOPWORD);
    return p;
  }
};

std::string const& dirOf(int which) {
  static std::string dirs[2];
  if (dirs[which].empty()) {
    dirs[which] = fuzzidx::scratchDir() + (which == 0 ? "/a" : "/b");
    mkdir(dirs[which].c_str(), 0700);
    mkdir((dirs[which] + "/idx").c_str(), 0700);
  }
  return dirs[which];
}

// The answer of every class for `word` as a string of 0/1 per class.
std::string answers(CREATWRK* cw, std::string const& word) {
  std::string a;
  for (uint8_t c = 0; c < cw->stopClassCount; ++c) {
    int16_t width = cw->stopClasses[c].unitWidth;
    if (width <= 0 || word.size() % width != 0) {  // not whole units
      a += '0';
      continue;
    }
    uint32_t units = static_cast<uint32_t>(word.size() / width);
    a += static_cast<char>('0' + vozIsStopWord(cw, c, word.data(), units, nullptr));
  }
  return a;
}

// Writes the list of `from` into the file of `to`'s directory and reads it
// into `to`. Returns the bytes written.
std::string copyThroughFile(Block& from, Block& to) {
  from.cw.stopListPending = 1;
  GTRSTATUS st{};
  FUZZ_CHECK(vozWriteStopWordFile(&from.cw, &st) == 0);
  std::string bytes = fuzzidx::readBytes(from.path());
  if (to.path() != from.path()) fuzzidx::writeFile(to.path(), bytes);
  FUZZ_CHECK(vozReadStopWordFile(&to.cw, &st) == 0);
  FUZZ_CHECK(to.cw.stopListPending == 0);
  return bytes;
}

void fileRun(FuzzInput& in) {
  std::string words = in.take(in.below(256));
  Block a(dirOf(0));
  fuzzidx::writeFile(a.path(), in.rest());
  GTRSTATUS st{};
  if (vozReadStopWordFile(&a.cw, &st) != 0) {
    FUZZ_CHECK(st.retcode != 0);
    return;
  }
  // Candidates: pieces of the input's word bytes, each looked up in every
  // class with the met-words set.
  std::vector<std::string> candidates;
  for (size_t at = 0; at < words.size();) {
    size_t n = 1 + static_cast<uint8_t>(words[at]) % 24;
    candidates.push_back(words.substr(at + 1, n));
    at += 1 + n;
  }
  for (std::string const& w : candidates)
    for (uint8_t c = 0; c < a.cw.stopClassCount; ++c) {
      int16_t width = a.cw.stopClasses[c].unitWidth;
      GTRSTATUS cs{};
      int r = vozCheckStopWord(&a.cw, c, w.data(), static_cast<uint32_t>(w.size() / width),
                               nullptr, &cs);
      FUZZ_CHECK(r == 1 || r == 2 || r == 4);
    }
  Block b(dirOf(1));
  std::string first = copyThroughFile(a, b);
  for (std::string const& w : candidates) FUZZ_CHECK(answers(&a.cw, w) == answers(&b.cw, w));
  Block c(dirOf(1));
  FUZZ_CHECK(copyThroughFile(b, c) == first);
}

void registrationRun(FuzzInput& in) {
  uint8_t classes = static_cast<uint8_t>(1 + in.byte() % 4);
  uint16_t width = static_cast<uint16_t>(1 + in.byte() % 3);
  Block a(dirOf(0));
  GTRSTATUS st{};
  FUZZ_CHECK(vozRegisterStopWordInit(&a.cw, classes, &st) == 0);
  std::vector<std::set<std::string>> model(classes);
  std::vector<std::string> probes;
  while (in.left() > 0) {
    uint8_t cls = in.byte();
    std::string w = in.take(in.byte() % 40);
    int rc = vozRegisterStopWord(&a.cw, cls, w.data(), static_cast<uint32_t>(w.size()), &st);
    if (cls >= classes) {
      FUZZ_CHECK(rc != 0 && st.retcode == 2);
      st = GTRSTATUS{};
      continue;
    }
    FUZZ_CHECK(rc == 0);
    // Kept: whole units; a word over 10 units without a 0 byte (it is
    // stored NUL-terminated).
    bool isLong = w.size() > 10u * width;
    if (!w.empty() && w.size() % width == 0 && !(isLong && w.find('\0') != std::string::npos))
      model[cls].insert(w);
    probes.push_back(w);
    if (!w.empty()) {
      probes.push_back(w.substr(0, w.size() - 1) + static_cast<char>(w.back() ^ 1));
      if (w.size() >= width) probes.push_back(w.substr(0, w.size() - width));
    }
  }
  FUZZ_CHECK(vozRegisterStopWordTerm(&a.cw, width, &st) == 0);
  FUZZ_CHECK(a.cw.stopListPending == 1);
  auto expected = [&](std::string const& w) {
    std::string e;
    for (uint8_t c = 0; c < classes; ++c)
      e += w.size() % width == 0 && model[c].count(w) ? '1' : '0';
    return e;
  };
  std::set<std::string> met;
  for (std::string const& w : probes) {
    FUZZ_CHECK(answers(&a.cw, w) == expected(w));
    if (w.empty() || w.size() % width != 0) continue;
    for (uint8_t c = 0; c < classes; ++c) {
      GTRSTATUS cs{};
      int r = vozCheckStopWord(&a.cw, c, w.data(), static_cast<uint32_t>(w.size() / width),
                               nullptr, &cs);
      int want = model[c].count(w) == 0 ? 1 : met.insert(w).second ? 2 : 4;
      FUZZ_CHECK(r == want);
    }
  }
  Block b(dirOf(1));
  copyThroughFile(a, b);
  for (std::string const& w : probes) FUZZ_CHECK(answers(&b.cw, w) == expected(w));
}

void listFileRun(FuzzInput& in) {
  static uint8_t const codepages[] = {34, 1, 3, 10, 21, 37, 2, 28};
  uint8_t codepage = codepages[in.byte() % sizeof codepages];
  std::string list = in.rest();
  std::string path = fuzzidx::scratchDir() + "/stoplist";
  fuzzidx::writeFile(path, list);
  GTRSTOPWORDLIST files[1];
  memset(files, 0, sizeof files);
  files[0].pszStopWordList = &path[0];
  GTRHCREATEPARM p;
  memset(&p, 0, sizeof p);
  p.index_type = 2;
  p.codepage = codepage;
  p.index_purpose = 1;
  p.index_subtype = 3;
  p.stop_word_list_num = 1;
  p.paStopWordList = files;
  Block a(dirOf(0));
  GTRSTATUS st{};
  if (!vozReadStopLists(&a.cw, &p, &st)) {
    FUZZ_CHECK(st.retcode != 0);
    return;
  }
  FUZZ_CHECK(st.retcode == 0 && a.cw.stopClassCount == 1);
  VOZSTOPCLASS const& c = a.cw.stopClasses[0];
  uint32_t words = c.longCount;
  for (uint32_t n : c.countByUnits) words += n;
  // At most one word a line as the reader takes lines: up to a newline or
  // 255 characters.
  uint32_t lines = 0;
  for (size_t at = 0, run = 0; at < list.size(); ++at) {
    if (++run == 255 || list[at] == '\n' || at + 1 == list.size()) {
      ++lines;
      run = 0;
    }
  }
  FUZZ_CHECK(words <= lines);
  Block b(dirOf(1));
  copyThroughFile(a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 16384) return 0;
  static bool const inDir = chdir(fuzzidx::scratchDir().c_str()) == 0;
  FUZZ_CHECK(inDir);
  FuzzInput in(data, size);
  switch (in.byte() % 3) {
    case 0: fileRun(in); break;
    case 1: registrationRun(in); break;
    default: listFileRun(in); break;
  }
  return 0;
}
