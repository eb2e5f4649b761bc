// Fuzz target: the position store's blocks and slots as read from disk. A
// small index whose lists sit at every level (slots of the shared file,
// B-trees of leaf and branch blocks) is built once per process; each input
// is a list of patches to the bytes of its slot, leaf, branch and key
// files, then one list or every list is read whole or by skips, and the patches are
// undone. Damaged bytes must end in a status (never a crash, a read out of
// bounds or a walk without end).

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "posstore_fixture.hpp"
#include "fuzz_input.hpp"

namespace {

using namespace posfix;

struct Store {
  std::string dir;
  IndexFixture* index = nullptr;
  std::map<uint32_t, KEY_REC> keys;
  std::vector<std::string> parts;  // the files patched, as part 0000
};

Store& store() {
  static Store s;
  if (s.index != nullptr) return s;
  s.dir = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
          "/ti_btree_fuzz_" + std::to_string(getpid());
  voz_RemoveTree(s.dir.c_str());
  FUZZ_CHECK(mkdir(s.dir.c_str(), 0700) == 0);
  std::atexit([] { voz_RemoveTree(store().dir.c_str()); });
  s.index = new IndexFixture(s.dir, true);
  std::mt19937 rng(7);
  Model batch;
  uint32_t key = 1;
  for (size_t bytes : {1, 60, 300, 2100, 9000, 16000, 40000}) {
    List list = MakeList(rng, bytes, key * 3, bytes > 20000 ? 400 : 40);
    batch[key++] = list;
  }
  GTRSTATUS st{};
  s.index->Round(batch, {}, st);
  FUZZ_CHECK(st.retcode == 0);
  s.keys = s.index->ReadKeys(st);
  if (getenv("TI_FUZZ_VERBOSE") != nullptr)
    for (auto& k : s.keys)
      fprintf(stderr, "key %u level %u bytes %u\n", k.first, k.second.level,
              k.second.dataLength);
  FUZZ_CHECK(st.retcode == 0 && s.keys.size() == batch.size());
  _FCTLHEAD m = s.index->Set(0, s.dir);
  for (uint16_t type : {VOZ_FT_SHARED, VOZ_FT_LEAF, VOZ_FT_BRANCH, VOZ_FT_KEY})
    s.parts.push_back(Name(m, type) + "/0000");
  return s;
}

struct Patch {
  std::string file;
  long offset;
  std::string original;
};

std::string readAt(std::string const& file, long offset, size_t n) {
  std::string out(n, '\0');
  FILE* f = fopen(file.c_str(), "rb");
  FUZZ_CHECK(f != nullptr);
  fseek(f, offset, SEEK_SET);
  out.resize(fread(&out[0], 1, n, f));
  fclose(f);
  return out;
}

void writeAt(std::string const& file, long offset, std::string const& bytes) {
  FILE* f = fopen(file.c_str(), "r+b");
  FUZZ_CHECK(f != nullptr);
  fseek(f, offset, SEEK_SET);
  FUZZ_CHECK(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  fclose(f);
}

long fileSize(std::string const& file) {
  FILE* f = fopen(file.c_str(), "rb");
  if (f == nullptr) return 0;
  fseek(f, 0, SEEK_END);
  long n = ftell(f);
  fclose(f);
  return n;
}

// Reads one list (or, when the input asks, every list) through the store's
// functions: whole, or by skips to targets from the input. Every walk is
// bounded by the list's size.
void readLists(Store& s, FuzzInput& in) {
  _FCTLHEAD m = s.index->Set(0, s.dir);
  m.flags = VOZ_FCTL_TAKE_FLAGS;
  GTRSTATUS st{};
  if (voz_IDXopen(&m, "rb", &st) != 0) return;
  uint8_t choice = in.byte();
  size_t which = choice % (s.keys.size() + 1);  // the last value: all
  size_t index = 0;
  for (auto& entry : s.keys) {
    if (which != s.keys.size() && which != index++) continue;
    KEY_REC rec = entry.second;
    PCTLHEAD p{};
    GTRSTATUS ls{};
    voz_InitPctl(&p, &rec, 0, 'N', &ls);
    bool skip = in.flag();
    uint32_t target = 0;
    for (uint32_t docs = 0; ls.retcode == 0; ++docs) {
      FUZZ_CHECK(docs <= 200000);
      voz_PointVvgSkip(&m, &p, skip ? target : 0, &ls);
      if (ls.retcode != 0 || p.endOfDocs == 'Y') break;
      if (skip) target = (uint32_t)p.curDoc + 1 + in.byte() * 16;
      // A few positions of each document: the documents' headers are
      // what the walk must get through quickly.
      for (uint32_t n = 0; ls.retcode == 0 && n < 4; ++n) {
        voz_PointPosSkip(&m, &p, skip ? in.byte() * 64 : 0, &ls);
        if (ls.retcode != 0 || p.endOfPos == 'Y') break;
      }
    }
    voz_TermPctl(&p, &ls);
  }
  voz_IDXclose(&m, &st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  Store& s = store();
  FuzzInput in(data, size);
  std::vector<Patch> patches;
  int count = 1 + in.byte() % 8;
  for (int i = 0; i < count && in.left() > 0; ++i) {
    std::string const& file = s.parts[in.byte() % s.parts.size()];
    long n = fileSize(file);
    if (n == 0) continue;
    uint32_t raw = (uint32_t)in.byte() << 16 | (uint32_t)in.byte() << 8 | in.byte();
    long offset = (long)(raw % (uint32_t)n);
    std::string bytes = in.take(1 + in.byte() % 16);
    if (bytes.empty()) break;
    if ((long)bytes.size() > n - offset) bytes.resize(n - offset);
    patches.push_back({file, offset, readAt(file, offset, bytes.size())});
    writeAt(file, offset, bytes);
  }
  readLists(s, in);
  for (auto p = patches.rbegin(); p != patches.rend(); ++p)
    writeAt(p->file, p->offset, p->original);
  return 0;
}
