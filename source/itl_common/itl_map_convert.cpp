// itl_map_convert.cpp: conversion of an index's name maps and document-map
// files from the 32-bit to the 64-bit layout (for the index migration tool).
//
// The layout of a file is judged by its whole structure, never by one
// byte: a name map is in the 32-bit layout when it parses completely with
// 4-byte fields, and "already 64bit" only when it parses completely with
// 8-byte fields; a ".dii" file is in the 32-bit layout when its entry count
// (offset 0) accounts for exactly 44 + 12 * count bytes, in the 64-bit one
// for exactly 48 + 16 * count bytes. A file in neither layout is damaged:
// it raises (name map 17, ".dii" 300, context the file name) and no ".64"
// file is written for it. Output goes to the file's name with ".64"
// appended to its extension; the input files are never changed.
//
// 64-bit name map (big-endian):
//   off  size  field
//     0    16  "ITL-MAPFILE-1.00"
//    16     8  count
//    24     *  records: u64 L, L name bytes, u64 number, u64 hash (the map
//              hash kept to 64 bits)
// Document-map files (little-endian, 44-byte control record):
//   ".dii": bytes 0-3, 4 zero bytes, bytes 4-43, then per 12-byte entry its
//           bytes 0-3, 4 zero bytes, its bytes 4-11
//   ".did", ".ded": 4 zero bytes inserted at offset 44
//   ".dei": 4 zero bytes inserted at offset 4
// Failures raise ItlClException: 17 when an input cannot be read or a map
// file is in neither layout, 300 when a ".dii" is in neither layout, 18
// when the map file or ".dii" cannot be opened or an output cannot be
// written.
#include <cstdio>
#include <cstring>

#include "files/voz_bigendian.hpp"
#include "itl_error.hpp"
#include "itl_file_util.hpp"
#include "itl_index_location.hpp"
#include "itl_map_abase.hpp"
#include "itl_map_private.hpp"

namespace {

// True when `bytes` is a complete map file with 4-byte fields.
bool isMapLayout32(uint8_t const* bytes, uint32_t size) {
  if (size < 20 || std::memcmp(bytes, ITL_MAP_MAGIC, ITL_MAP_MAGIC_SIZE) != 0)
    return false;
  uint64_t count = voz_getBE32(bytes + 16);
  uint64_t at = 20;
  for (uint64_t n = 0; n < count; ++n) {
    if (size - at < 4) return false;
    uint64_t length = voz_getBE32(bytes + at);
    if (length > ItlClMapABase::MAX_NAME_LENGTH || size - at - 4 < length + 8)
      return false;
    at += 4 + length + 8;
  }
  return at == size;
}

// True when `bytes` is a complete map file with 8-byte fields.
bool isMapLayout64(uint8_t const* bytes, uint32_t size) {
  if (size < 24 || std::memcmp(bytes, ITL_MAP_MAGIC, ITL_MAP_MAGIC_SIZE) != 0)
    return false;
  uint64_t count = voz_getBE64(bytes + 16);
  uint64_t at = 24;
  for (uint64_t n = 0; n < count; ++n) {
    if (size - at < 8) return false;
    uint64_t length = voz_getBE64(bytes + at);
    if (length > ItlClMapABase::MAX_NAME_LENGTH || size - at - 8 < length + 16)
      return false;
    at += 8 + length + 16;
  }
  return at == size;
}

uint64_t getLE32(uint8_t const* bytes) {
  return static_cast<uint64_t>(bytes[0]) | (bytes[1] << 8) | (bytes[2] << 16) |
         (static_cast<uint64_t>(bytes[3]) << 24);
}

// Collects output bytes and writes them to a file at the end.
class Output {
 public:
  Output(char const* name) : iv_clFile(name, "wb"), iv_pszName(name) {
    if (iv_clFile.get() == nullptr) itlMapRaiseFileError(18, name);
  }
  void put(void const* data, size_t size) {
    if (iv_bOk && size != 0)
      iv_bOk = std::fwrite(data, 1, size, iv_clFile.get()) == size;
  }
  void put64(uint64_t value) {
    uint8_t bytes[8];
    voz_putBE64(bytes, value);
    put(bytes, 8);
  }
  void zeros(size_t count) {
    static uint8_t const kZeros[8] = {};
    put(kZeros, count);
  }
  void finish() {
    if (!iv_bOk || !iv_clFile.syncAndClose())
      itlMapRaiseFileError(18, iv_pszName);
  }

 private:
  ItlClStdioFile iv_clFile;
  char const* iv_pszName;
  bool iv_bOk = true;
};

void writeMap64(uint8_t const* bytes, char const* outName) {
  Output out(outName);
  uint32_t count = voz_getBE32(bytes + 16);
  out.put(ITL_MAP_MAGIC, ITL_MAP_MAGIC_SIZE);
  out.put64(count);
  uint32_t at = 20;
  for (uint32_t n = 0; n < count; ++n) {
    uint32_t length = voz_getBE32(bytes + at);
    char const* name = reinterpret_cast<char const*>(bytes + at + 4);
    out.put64(length);
    out.put(name, length);
    out.put64(voz_getBE32(bytes + at + 4 + length));
    out.put64(itlMapHash64(name, length));
    at += 4 + length + 8;
  }
  out.finish();
}

CosClFilename docMapName(ItlClIndexLocation const& location,
                         char const* extension) {
  return CosClFilename(location.getIndexDirectory(), location.getIndexName(),
                       extension);
}

CosClFilename outputName(CosClFilename const& input) {
  char extension[64];
  std::snprintf(extension, sizeof extension, "%s.64",
                input.getExtension()[0] == '.' ? input.getExtension() + 1
                                               : input.getExtension());
  CosClFilename output(input);
  output.setNewExtension(extension);
  return output;
}

// Copies `input` to its ".64" name with 4 zero bytes inserted at `offset`.
void copyWithGap(CosClFilename const& input, uint32_t offset) {
  ItlClByteBuffer content;
  if (!itlReadWholeFile(input, content) || content.size() < offset)
    itlMapRaiseFileError(17, input);
  Output out(outputName(input));
  out.put(content.data(), offset);
  out.zeros(4);
  out.put(content.data() + offset, content.size() - offset);
  out.finish();
}

}  // namespace

void ItlClMapABase::convert32To64() {
  CosClFilename map = getMapFileName();
  ItlClByteBuffer content;
  if (!itlReadWholeFile(map, content)) itlMapRaiseFileError(18, map);
  CosClFilename output = outputName(map);
  if (isMapLayout32(content.data(), content.size())) {
    std::printf("NEEDS MIGRATION %s\n", map.getAsCString());
    writeMap64(content.data(), output);
    iv_bShadowWritten = true;
  } else if (isMapLayout64(content.data(), content.size())) {
    std::printf("Migration for file %s not necessary, already 64bit.\n",
                map.getAsCString());
    Output out(output);
    out.put(content.data(), content.size());
    out.finish();
  } else {
    std::fflush(stdout);
    itlMapRaiseFileError(17, map);
  }
  std::fflush(stdout);
  if (!iv_rclLocation.areDocMapFilesConverted()) {
    convert32To64docmapfiles();
    iv_rclLocation.markDocMapFilesConverted();
  }
}

void ItlClMapABase::convert32To64docmapfiles() {
  CosClFilename dii = docMapName(iv_rclLocation, "dii");
  ItlClByteBuffer content;
  if (!itlReadWholeFile(dii, content)) itlMapRaiseFileError(18, dii);
  uint32_t size = content.size();
  if (size == 0) {
    std::fputs("zero size file!\n", stderr);
    return;
  }
  uint8_t const* bytes = content.data();
  uint64_t count = size >= 44 ? getLE32(bytes) : 0;
  if (size >= 48 && size == 48 + 16 * count) return;  // already 64-bit
  if (size < 44 || size != 44 + 12 * count) {
    ItlClException e(ITL_MAP_FILE_ORIGIN, ITL_MAP_FILE_LINE,
                     ItlEnReasonCode_Docmap_corrupted);
    e.resetContext(dii);
    e.raise();
  }
  std::printf("NEEDS MIGRATION %s\n", dii.getAsCString());
  std::fflush(stdout);
  {
    Output out(outputName(dii));
    out.put(bytes, 4);
    out.zeros(4);
    out.put(bytes + 4, 40);
    for (uint32_t at = 44; at < size; at += 12) {
      out.put(bytes + at, 4);
      out.zeros(4);
      out.put(bytes + at + 4, 8);
    }
    out.finish();
  }
  copyWithGap(docMapName(iv_rclLocation, "did"), 44);
  copyWithGap(docMapName(iv_rclLocation, "ded"), 44);
  copyWithGap(docMapName(iv_rclLocation, "dei"), 4);
}
