// Helpers of the fuzz targets that work on whole indexes: a scratch
// directory per process, a small index built once per process through the
// update calls (two cycles, so that it has a main and a supp half and a
// deleted document), and a search through GTRsearchIndex whose answer is
// read back and checked.
//
// The index "idx" (code page 34, text and item sub-indexes, bigrams):
// documents 1..24 from the first cycle, 25..30 from the second, document 7
// deleted by the second. Each text is a few words of a small vocabulary
// (Latin words, digits, a few CJK characters); every document has the
// character item 3 (a colour) and the numeric item 5 (its number times 1.5).
#ifndef TESTS_FUZZ_FUZZ_INDEX_HPP
#define TESTS_FUZZ_FUZZ_INDEX_HPP

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "calls/voz_gtrcreate.hpp"
#include "calls/voz_gtrsearch.hpp"
#include "files/voz_file.hpp"
#include "postings/voz_idxset.hpp"
#include "search/voz_search.hpp"
#include "fuzz_input.hpp"

namespace fuzzidx {

// A fresh directory of this process (under /dev/shm when writable),
// removed with its contents at exit.
inline std::string const& scratchDir() {
  // Never destroyed: the removal at exit still needs the name.
  static std::string const* const dir = [] {
    auto* d = new std::string(std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                              "/ti_fuzz_" + std::to_string(getpid()));
    voz_RemoveTree(d->c_str());
    FUZZ_CHECK(mkdir(d->c_str(), 0700) == 0);
    return d;
  }();
  static bool const cleanup = std::atexit([] { voz_RemoveTree(scratchDir().c_str()); }) == 0;
  (void)cleanup;
  return *dir;
}

inline void writeFile(std::string const& path, std::string const& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  FUZZ_CHECK(fclose(f) == 0);
}

inline std::string readBytes(std::string const& path) {
  std::string s;
  FILE* f = fopen(path.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

constexpr int32_t kDocs = 30;
constexpr int32_t kDeleted = 7;

struct SmallIndex {
  std::string dir;   // the output directory holding "idx"
  std::string name = "idx";
};

inline std::string docText(int32_t docno) {
  static char const* const words[] = {
      "alpha", "beta", "gamma", "delta", "run", "runs", "running",
      "runner", "Tokyo", "kyoto", "4711", "x", "ab", "AB", "cd",
      "\xe6\x9d\xb1\xe4\xba\xac", "\xe5\xa4\xa7\xe9\x98\xaa", "end."};
  constexpr unsigned n = sizeof words / sizeof words[0];
  std::string text;
  unsigned r = static_cast<unsigned>(docno) * 2654435761u;
  int count = 2 + docno % 7;
  for (int i = 0; i < count; ++i) {
    r = r * 1103515245u + 12345u;
    if (i > 0) text += (r >> 8) % 5 == 0 ? ". " : " ";
    text += words[(r >> 16) % n];
  }
  return text;
}

inline void addDocument(void* h, int32_t docno, GTRSTATUS* st) {
  std::string text = docText(docno);
  int32_t start = 0;
  GTRcreateIndexOneDoc(h, reinterpret_cast<uint8_t const*>(text.data()),
                       static_cast<int32_t>(text.size()), docno, &start,
                       nullptr, st);
  FUZZ_CHECK(st->retcode == 0);
  static char const* const colours[] = {"red", "green", "blue", "Blue"};
  std::string colour = colours[docno % 4];
  REGISTITEM items[2];
  memset(items, 0, sizeof items);
  items[0].item_number = 3;
  items[0].item_type = 'C';
  items[0].char_ptr = reinterpret_cast<uint8_t*>(&colour[0]);
  items[0].char_len = static_cast<int16_t>(colour.size());
  items[1].item_number = 5;
  items[1].item_type = 'N';
  items[1].num_value = docno * 1.5;
  GTRcreateItemIndexOneDoc(h, docno, 2, items, st);
  FUZZ_CHECK(st->retcode == 0);
}

// One update cycle: documents first..last, then the deletions.
inline void cycle(SmallIndex const& ix, char operation, int32_t first,
                  int32_t last, std::vector<int32_t> deletions) {
  GTRHCREATEPARM p;
  memset(&p, 0, sizeof p);
  p.index_type = 2;
  p.codepage = 34;
  p.index_purpose = 3;
  p.index_subtype = 3;
  p.block_threshold = -1;
  p.block_size = -1;
  GTRSYSPARM sys;
  memset(&sys, 0, sizeof sys);
  sys.poolsize = 1 << 20;
  sys.poolsizedelta = 1 << 16;
  sys.displaylog = 'N';
  std::string work = scratchDir() + "/work";
  mkdir(work.c_str(), 0700);
  void* h = nullptr;
  int32_t maxDoc = 0;
  GTRSTATUS st{};
  GTRcreateIndexInit(&h, ix.name.c_str(), ix.dir.c_str(), work.c_str(),
                     operation, 'B', &p, &sys, &maxDoc, &st);
  FUZZ_CHECK(st.retcode == 0);
  for (int32_t d = first; d <= last; ++d) addDocument(h, d, &st);
  if (!deletions.empty()) {
    GTRdeleteDocs(h, static_cast<int32_t>(deletions.size()), deletions.data(),
                  nullptr, &st);
    FUZZ_CHECK(st.retcode == 0);
  }
  GTRcreateIndexLast(h, &st);
  FUZZ_CHECK(st.retcode == 0);
  GTRcreateIndexTerm(h, 'G', &st);
  FUZZ_CHECK(st.retcode == 0);
}

// The index of this process, built on the first call. The current
// directory moves to the scratch directory (which holds no "GTRSYS").
inline SmallIndex const& smallIndex() {
  static SmallIndex const ix = [] {
    SmallIndex s;
    s.dir = scratchDir() + "/out";
    FUZZ_CHECK(mkdir(s.dir.c_str(), 0700) == 0);
    FUZZ_CHECK(chdir(scratchDir().c_str()) == 0);
    cycle(s, 'N', 1, 24, {});
    cycle(s, 'A', 25, kDocs, {kDeleted});
    return s;
  }();
  return ix;
}

// The answer of one search, as read back from its result.
struct Answer {
  GTRSTATUS st{};
  std::set<int32_t> docs;
  int32_t docnum = 0;   // result_docnum
  int32_t occnum = 0;   // result_occnum
};

// Reads a memory result document by document and releases it; every entry
// must name a document of the index and the entries of one view one
// document.
inline void readHandle(GTRSEARCH_RES& r, Answer& a) {
  auto* h = static_cast<VOZRESULT*>(r.res_handle);
  r.res_handle = nullptr;
  if (h == nullptr) return;
  GTRSTATUS st{};
  VOZ_ResultOpen(h, &st);
  FUZZ_CHECK(st.retcode == 0);
  int32_t occs = 0;
  for (int32_t guard = 0; st.retcode == 0; ++guard) {
    FUZZ_CHECK(guard <= a.occnum + 1);
    OCC* e = nullptr;
    int32_t n = 0;
    float score = 0;
    VOZ_ResultView_Doc(h, -1, &e, &n, &score, &st);
    if (st.retcode != 0) break;
    FUZZ_CHECK(n >= 1);
    for (int32_t i = 0; i < n; ++i) {
      FUZZ_CHECK(e[i].docno == e[0].docno);
      a.docs.insert(e[i].docno);
    }
    occs += n;
  }
  FUZZ_CHECK(st.retcode == 123);
  FUZZ_CHECK(occs == a.occnum);
  VOZ_ResultClose(h, &st);
  VOZ_ResultRelease(h, &st);
  FUZZ_CHECK(st.retcode == 0);
}

inline void readFile(GTRSEARCH_RES const& r, Answer& a) {
  FILE* f = fopen(r.res_fname, "rb");
  FUZZ_CHECK(f != nullptr);
  if (r.res_type == GTR_RES_FILE_HEADER) FUZZ_CHECK(fseek(f, 128, SEEK_SET) == 0);
  OCC o;
  int32_t occs = 0;
  while (fread(&o, sizeof o, 1, f) == 1) {
    a.docs.insert(o.docno);
    ++occs;
  }
  fclose(f);
  FUZZ_CHECK(occs == a.occnum);
}

// What a search's answer is checked against: the index (each document a
// live one of the index), any documents (a back reference may name
// documents the index lacks), or nothing but its readability (a damaged
// index may answer wrongly, though it must answer).
enum class Expect { IndexDocs, AnyDocs, Readable };

// Searches the index with `cond` into a result of `resType` (a file in the
// scratch directory for the file types). On success the documents found
// are read back; unless only readability is expected, their count must be
// the result's document count and each must be a document `expect` allows.
inline Answer search(SmallIndex const& ix, GTRSEARCH_COND const& cond,
                     GTRSEARCH_RANK* rank, uint8_t resType,
                     void** handle = nullptr, Expect expect = Expect::IndexDocs) {
  Answer a;
  GTRSEARCH_RES r;
  memset(&r, 0, sizeof r);
  r.res_type = resType;
  r.res_dataform = 1;
  snprintf(r.res_fname, sizeof r.res_fname, "%s/result", scratchDir().c_str());
  GTRsearchIndex(handle, ix.name.c_str(), ix.dir.c_str(), scratchDir().c_str(),
                 cond, rank, nullptr, nullptr, &r, &a.st);
  a.docnum = r.result_docnum;
  a.occnum = r.result_occnum;
  if (a.st.retcode != 0) {
    if (r.res_handle != nullptr) readHandle(r, a);
    a.docs.clear();
    return a;
  }
  if (resType == GTR_RES_HANDLE) readHandle(r, a);
  else if (resType != GTR_RES_NONE) readFile(r, a);
  if (expect == Expect::Readable) return a;
  // A ranked result keeps at most the rank count's documents; its document
  // count stays that of the documents found (its occurrence count is that
  // of the documents kept).
  int32_t read = static_cast<int32_t>(a.docs.size());
  if (resType != GTR_RES_NONE && rank != nullptr && rank->rankcount > 0)
    FUZZ_CHECK(read <= a.docnum && read <= rank->rankcount);
  else if (resType != GTR_RES_NONE)
    FUZZ_CHECK(read == a.docnum);
  FUZZ_CHECK(a.docnum >= 0 && a.occnum >= read);
  for (int32_t d : a.docs)
    FUZZ_CHECK(expect == Expect::AnyDocs ? d >= 0 && d < 0x7FFFFFFF
                                         : d >= 1 && d <= kDocs && d != kDeleted);
  return a;
}

}  // namespace fuzzidx

#endif  // TESTS_FUZZ_FUZZ_INDEX_HPP
