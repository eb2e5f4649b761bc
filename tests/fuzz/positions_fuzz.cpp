// Fuzz target: decoding of position lists, the one encoding that every
// level of the position store holds (document headers and position codes,
// pin tables). The first bytes choose a reader and its targets; the rest is
// the stream as it would come from disk. Every reader must either walk the
// stream or throw CVozException (retcode 17 for damaged data); none may
// read outside the stream or loop without end.

#include <cstring>
#include <vector>

#include "files/voz_exception.hpp"
#include "postings/voz_bufferpos.hpp"
#include "postings/voz_chunk.hpp"
#include "postings/voz_node.hpp"
#include "fuzz_input.hpp"

namespace {

typedef std::vector<uint8_t> Bytes;

void headers(Bytes const& s) {
  size_t at = 0;
  while (at < s.size()) {
    uint32_t delta = 0, length = 0;
    uint32_t n = voz_PosHeaderDecode(s.data() + at, s.size() - at, &delta, &length);
    FUZZ_CHECK(n <= s.size() - at);
    if (n == 0) break;
    at += n;
    if (length > s.size() - at) break;
    size_t end = at + length;
    while (at < end) {
      uint32_t size = voz_PosCodeSizeOf(s[at]);
      FUZZ_CHECK(size >= 1 && size <= 5);
      if (size > end - at) break;
      voz_PosCodeDecode(s.data() + at);
      at += size;
    }
    at = end;
  }
}

// The buffered reader: documents by SkipDoc, positions by the three
// position readers, with targets taken from the input.
void bufferReader(Bytes const& s, FuzzInput& in) {
  CVozBufferPos buf;
  buf.AppendRawData(s.data(), (uint32_t)s.size());
  buf.iv_lastDoc = 0xFFFFFFFF;
  uint32_t target = 0;
  for (size_t docs = 0;; ++docs) {
    FUZZ_CHECK(docs <= s.size() + 1);
    uint32_t id = buf.SkipDoc(target);
    if (id == VOZ_POS_NO_DOC) break;
    FUZZ_CHECK(id >= target);
    uint8_t mode = in.byte();
    for (int i = 0; i < 300; ++i) {
      int32_t pos;
      if (mode % 3 == 0) {
        pos = buf.SkipPos((int32_t)(in.byte() * (mode & 0x70)));
        if (pos == VOZ_POS_NO_POS) break;
        buf.MoveToNextPos();
      } else {
        uint8_t done = 0;
        pos = buf.SkipPosNext(mode % 3 == 1 ? 0 : in.byte(), done);
        if (pos == VOZ_POS_NO_POS || done) break;
      }
    }
    target = id + 1 + (mode & 0x80 ? in.byte() : 0);
  }
  uint16_t size = 0;
  CVozBufferPos pinned;
  pinned.AppendRawData(s.data(), (uint32_t)s.size());
  uint8_t* table = pinned.CreatePinPoint(size);
  if (table != nullptr && size >= 2) {
    uint16_t n = (uint16_t)(table[0] << 8 | table[1]);
    FUZZ_CHECK(2u + 6u * n <= size);
    pinned.SetPinPoint(n, table + 2);
    pinned.SkipDoc(in.byte() << 8);
  }
}

// A leaf's stream with a pin table from the input, read by the chunk.
void chunkReader(Bytes const& s, FuzzInput& in) {
  Bytes image(VOZ_PINTABLE_SIZE, 0);
  std::string pins = in.take(VOZ_PINTABLE_SIZE);
  memcpy(image.data(), pins.data(), pins.size());
  image.insert(image.end(), s.begin(), s.end());
  POS_BLOCK block{};
  block.numPinpoints = (uint8_t)(in.byte() % (VOZ_LEAF_PINPOINTS + 1));
  block.firstDocid = 0;
  block.lastDocid = 0xFFFFFFFF;
  block.poslen = (int32_t)s.size();
  block.data = image.data() + VOZ_PINTABLE_SIZE;
  block.flg_continued = in.byte() & 1;
  block.flg_continue = in.byte() & 1;
  CVozChunk chunk(block, block.flg_continue ? 0x7FFFFFF0 : 0xFFFFFFFF,
                  (int32_t)s.size());
  chunk.SkipByPinPoint((uint32_t)in.byte() << 4);
  for (size_t docs = 0;; ++docs) {
    FUZZ_CHECK(docs <= s.size() + 1);
    uint32_t id = 0;
    int32_t length = 0;
    if (chunk.ExtractVvg(&id, &length) != VOZ_CHUNK_OK) break;
    for (size_t n = 0;; ++n) {
      FUZZ_CHECK(n <= s.size() + 1);
      int32_t pos = 0, ordinal = 0;
      if (chunk.ExtractPos(0, &pos, &ordinal) != VOZ_CHUNK_OK) break;
    }
  }
}

void lumpReader(Bytes s, FuzzInput& in) {
  CVozLump lump(s.data(), (int32_t)s.size(), 0xFFFFFFFF, in.byte() & 1);
  lump.GetNumDocs();
  uint8_t table[VOZ_PINTABLE_SIZE];
  lump.CreatePinpoint(1 + in.byte() % 8, table);
  for (size_t docs = 0;; ++docs) {
    FUZZ_CHECK(docs <= s.size() + 1);
    int32_t length = 0;
    if (lump.CheckNextDocid(length) == 0xFFFFFFFF) break;
    uint8_t* rest = nullptr;
    int32_t restLength = 0, first = 0, last = 0;
    if (lump.StepDoc_PullOut(&rest, restLength, first, last) != VOZ_LUMP_DOC_DONE)
      break;
    FUZZ_CHECK(restLength >= 0 && rest >= s.data() &&
               rest + restLength <= s.data() + s.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 16384) return 0;
  FuzzInput in(data, size);
  uint8_t reader = in.byte();
  size_t streamLength = in.below(4096);
  std::string streamText = in.take(streamLength);
  Bytes stream(streamText.begin(), streamText.end());
  headers(stream);
  try {
    uint32_t first = 0xFFFFFFFF, last = 0, count = 0;
    int16_t headerSize = 0;
    int32_t firstLength = 0;
    CVozBridge::Extract_Signature_POS_DATA(stream.data(), (uint32_t)stream.size(),
                                           first, last, count, headerSize,
                                           firstLength);
  } catch (CVozException const&) {
  }
  try {
    switch (reader % 3) {
      case 0: bufferReader(stream, in); break;
      case 1: chunkReader(stream, in); break;
      default: lumpReader(stream, in); break;
    }
  } catch (CVozException const& e) {
    FUZZ_CHECK(e.retcode == 17 || e.retcode == 11);
  }
  return 0;
}
