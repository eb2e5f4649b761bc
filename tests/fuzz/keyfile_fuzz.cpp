// Fuzz target: the key file's reading side. The input (after one byte of
// choices) is the whole key file: the header with its slots, the key
// records and the key-index table. The header is read and taken as the
// index's basic information; then every record is read singly, in pairs
// and in runs, chains are compared, and the binary searches run for keys
// from the input. Damaged bytes must end in a status, never in a crash.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "files/voz_file.hpp"
#include "files/voz_keyfile.hpp"
#include "files/voz_keyrec.hpp"
#include "files/voz_names.hpp"
#include "files/voz_status.hpp"
#include "fuzz_input.hpp"

namespace {

std::string const& keyPath() {
  static std::string const path =
      std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
      "/ti_keyfile_fuzz_" + std::to_string(getpid());
  static bool cleanup = std::atexit([] { remove(keyPath().c_str()); }) == 0;
  (void)cleanup;
  return path;
}

void writeFile(std::string const& path, std::string const& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
  fclose(f);
}

void searches(IDXINFO* idx, FuzzInput& in) {
  for (int i = 0; i < 4; ++i) {
    uint8_t key[6];
    for (uint8_t& b : key) b = in.byte();
    KEY_REC rec;
    int32_t number = 0;
    GTRSTATUS st{};
    voz_BinSearchKey(i % 2 ? VOZ_BS_FIELD : VOZ_BS_PATTERN, key, idx, &rec,
                     &number, &st);
    GTRSTATUS st2{};
    voz_BinSearchPatt(key, idx, &rec, &number, &st2);
    uint8_t fieldKey[6];
    GTRSTATUS st3{};
    voz_BinSearchFldNumber((uint16_t)(key[0] << 8 | key[1]), fieldKey, idx,
                           &rec, &number, &st3);
    int32_t entry = -2;
    voz_BinSearchKeyInfo2(key, idx, &entry);
    if (idx->keyIndex != nullptr && idx->info.keyIndexEntries > 0)
      FUZZ_CHECK(entry >= 0 && (uint32_t)entry < idx->info.keyIndexEntries);
  }
}

void records(IDXINFO* idx, FuzzInput& in, int32_t count) {
  static KEY_REC chain[2][255];
  int cur = 0;
  bool have = false;
  for (int32_t r = 0; r < count; ++r) {
    GTRSTATUS st{};
    memset(chain[cur], 0, sizeof chain[cur]);
    if (voz_ReadKey(&idx->fctl, chain[cur], r, &st) == 0) {
      if (have) voz_VkeyCmp(chain[1 - cur], chain[cur]);
      have = true;
      cur = 1 - cur;
    }
    KEY_REC two[2];
    int32_t length = -1;
    GTRSTATUS st2{};
    voz_ReadKeyRec_1(&idx->fctl, two, idx->info.unitWidth, &length, r, &st2);
  }
  KEY_REC run[16];
  GTRSTATUS st{};
  int32_t n = count < 16 ? count : 16;
  if (n > 0)
    voz_ReadKeyMulti(&idx->fctl, run, (int32_t)in.below((uint32_t)count), 
                     n - (int32_t)in.below((uint32_t)n), in.byte() & 1, &st);
  GTRSTATUS st3{};
  voz_ReadKey(&idx->fctl, chain[0], VOZ_NEXT_RECORD, &st3);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 65536) return 0;
  FuzzInput in(data, size);
  uint8_t choice = in.byte();
  size_t fileLength = in.left() > 64 ? in.left() - 32 : in.left();
  writeFile(keyPath(), in.take(fileLength));

  std::unique_ptr<IDXINFO> idx(new IDXINFO());
  GTRSTATUS st{};
  FUZZ_CHECK(voz_SetFctlForRead(&idx->fctl, "idx", "/nonexistent", 0, 0,
                                "KPLQ", "Full", &st) == 0);
  idx->fctl.keyFile = voz_XXopen(keyPath().c_str(), "rb");
  FUZZ_CHECK(idx->fctl.keyFile != nullptr);

  KEYINFO_0 info;
  KEYIDX_ENTRY* table = nullptr;
  if (voz_ReadKeyInfo(&idx->fctl, &info, choice & 1, &table, &st) == 0 &&
      voz_SetIndexBasic(idx.get(), &info, &st) == 0) {
    idx->keyIndex = table;
    int32_t count = (int32_t)((fileLength > VOZ_KEYINFO_SIZE
                                   ? fileLength - VOZ_KEYINFO_SIZE
                                   : 0) / VOZ_KEYREC_SIZE) + 2;
    records(idx.get(), in, count);
    searches(idx.get(), in);
    GTRSTATUS check{};
    voz_CheckIndexBasic(&idx->info, &info, &check);
  }
  free(table);
  voz_XXclose(idx->fctl.keyFile);
  return 0;
}
