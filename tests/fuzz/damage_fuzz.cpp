// Fuzz target: the key files and position files of an index opened for
// search after random damage. The small index of fuzz_index.hpp is built
// once per process; each input is a list of patches to the bytes of its
// key and position files (both halves, both sub-indexes, the X-index key
// files) or a cut of one file, then a few searches through GTRsearchIndex
// (which opens the index with VOZ_SearchOpen_) and, when the input asks, a
// verification of a sub-index (GTRverifyIndex). A damaged file must end in
// a status (never a crash, a walk without end or a read out of bounds);
// once the files are mended the searches answer as before.

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "calls/voz_gtradmin.hpp"
#include "fuzz_index.hpp"

namespace {

using fuzzidx::Answer;

// Queries of each kind of lookup: words, n-grams of CJK text, a short
// word, masks, stemming, fuzzy, distance, NOT, the whole document, items.
struct Query {
  uint8_t form;
  char const* text;
};
Query const kQueries[] = {
    {GTR_COND_QUERY, "alpha"},
    {GTR_COND_QUERY, "alpha * beta"},
    {GTR_COND_QUERY, "gamma + delta + kyoto"},
    {GTR_COND_QUERY, "run%STEM"},
    {GTR_COND_QUERY, "run*"},
    {GTR_COND_QUERY, "*unner"},
    {GTR_COND_QUERY, "Tokyo%80"},
    {GTR_COND_QUERY, "alpha *2 beta"},
    {GTR_COND_QUERY, "! delta"},
    {GTR_COND_QUERY, "x + ab"},
    {GTR_COND_QUERY, "4711 - end"},
    {GTR_COND_QUERY, "\xe6\x9d\xb1\xe4\xba\xac + \xe5\xa4\xa7"},
    {GTR_COND_QUERY, "\"end.\" *S alpha"},
    {GTR_COND_MIXQUERY, "`N5=[3,9)` + alpha"},
    {GTR_COND_MIXQUERY, "`N5=(*,20]` * gamma"},
};
constexpr size_t kQueryCount = sizeof kQueries / sizeof kQueries[0];

bool verbose() { return getenv("TI_FUZZ_VERBOSE") != nullptr; }

struct File {
  std::string path;
  std::string original;
};

struct Damage {
  std::vector<File> files;
  std::vector<std::set<int32_t>> baseline;  // documents of each query
};

// Every file of the index's set directories ("Fullmain", "Itemsupp", ...)
// but the deleted-document lists: the key files, their X-index key files
// and the position files.
void collect(std::string const& dir, std::vector<File>& out) {
  DIR* d = opendir(dir.c_str());
  FUZZ_CHECK(d != nullptr);
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (std::string const& n : names) {
    std::string p = dir + "/" + n;
    struct stat sb;
    FUZZ_CHECK(stat(p.c_str(), &sb) == 0);
    if (S_ISDIR(sb.st_mode)) {
      if (n.find("del") == std::string::npos) collect(p, out);
    } else if (n != "voz.STP") {
      out.push_back({p, fuzzidx::readBytes(p)});
    }
  }
}

Answer run(Query const& q, fuzzidx::Expect expect = fuzzidx::Expect::IndexDocs) {
  std::string text = q.text;
  GTRSEARCH_COND c;
  memset(&c, 0, sizeof c);
  c.codepage = 34;
  c.cond_type = q.form;
  c.query = &text[0];
  return fuzzidx::search(fuzzidx::smallIndex(), c, nullptr, GTR_RES_HANDLE, nullptr, expect);
}

Damage& damage() {
  static Damage* d = nullptr;
  if (d != nullptr) return *d;
  d = new Damage;
  fuzzidx::SmallIndex const& ix = fuzzidx::smallIndex();
  collect(ix.dir + "/" + ix.name, d->files);
  FUZZ_CHECK(d->files.size() >= 8);
  for (Query const& q : kQueries) {
    Answer a = run(q);
    if (a.st.retcode != 0)
      fprintf(stderr, "\"%s\" on the whole index: %d/%d\n", q.text, a.st.retcode, a.st.errcode);
    FUZZ_CHECK(a.st.retcode == 0);
    d->baseline.push_back(a.docs);
  }
  if (verbose())
    for (File const& f : d->files) fprintf(stderr, "%s %zu\n", f.path.c_str(), f.original.size());
  return *d;
}

void writeAt(std::string const& path, size_t offset, std::string const& bytes) {
  FILE* f = fopen(path.c_str(), "r+b");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(fseek(f, static_cast<long>(offset), SEEK_SET) == 0);
  FUZZ_CHECK(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  FUZZ_CHECK(fclose(f) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 2048) return 0;
  Damage& d = damage();
  FuzzInput in(data, size);
  uint8_t mode = in.byte();
  std::vector<bool> touched(d.files.size(), false);
  int count = 1 + in.byte() % 8;
  for (int i = 0; i < count && in.left() > 0; ++i) {
    size_t which = in.byte() % d.files.size();
    File const& f = d.files[which];
    size_t n = f.original.size();
    if (n == 0) continue;
    uint32_t raw = static_cast<uint32_t>(in.byte()) << 8 | in.byte();
    size_t offset = raw % n;
    uint8_t kind = in.byte();
    touched[which] = true;
    if (kind >= 0xF8) {  // cut the file there
      FUZZ_CHECK(truncate(f.path.c_str(), static_cast<off_t>(offset)) == 0);
      continue;
    }
    std::string bytes = in.take(1 + kind % 16);
    if (bytes.empty()) break;
    if (bytes.size() > n - offset) bytes.resize(n - offset);
    if (verbose()) fprintf(stderr, "patch %s at %zu, %zu bytes\n", f.path.c_str(), offset, bytes.size());
    writeAt(f.path, offset, bytes);
  }

  // A few searches of the damaged index; the documents found may be wrong
  // (a damaged list may name documents of the other half), but every
  // search ends and its answer reads.
  int searches = 1 + mode % 3;
  for (int i = 0; i < searches; ++i) {
    Query const& q = kQueries[in.byte() % kQueryCount];
    if (verbose()) fprintf(stderr, "search %s\n", q.text);
    run(q, fuzzidx::Expect::Readable);
  }
  if (mode & 0x08) {
    GTRVERIFYINFO info;
    GTRSTATUS st{};
    GTRverifyIndex(fuzzidx::smallIndex().name.c_str(), fuzzidx::smallIndex().dir.c_str(),
                   nullptr, static_cast<int8_t>(mode & 0x10 ? 0x48 : 0x08), &info, &st);
  }

  for (size_t i = 0; i < d.files.size(); ++i)
    if (touched[i]) fuzzidx::writeFile(d.files[i].path, d.files[i].original);
  // Mended, the index answers as before.
  if (mode & 0x20) {
    size_t q = in.byte() % kQueryCount;
    Answer a = run(kQueries[q]);
    FUZZ_CHECK(a.st.retcode == 0 && a.docs == d.baseline[q]);
  }
  return 0;
}
