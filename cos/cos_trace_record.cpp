// Trace records, their text compression, the ring buffer and the autosave
// handler that appends the ring's unsaved bytes to the trace file.
//
// Ring invariant: the bytes from the saved position up to the write position
// (wrapping at the ring's end) are the records not yet handed to the
// overflow handler. Every time the write position reaches the ring's end
// the handler gets them, so with autosave the trace file receives every
// record once, whole and in order, however small the ring.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cos_trace.hpp"

namespace {

// Compression alphabet: code = position (0..62); 63 escapes a raw byte.
char const kAlphabet[] =
    " ,&*:_~()<>ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
unsigned const kEscape = 63;

// Code of `c` in the alphabet, or kEscape.
unsigned codeOf(unsigned char c) {
  static unsigned char table[256];
  static bool built = false;
  if (!built) {
    memset(table, kEscape, sizeof table);
    for (unsigned i = 0; i < 63; ++i) table[(unsigned char)kAlphabet[i]] = (unsigned char)i;
    built = true;
  }
  return table[c];
}

// Writes bits most significant first.
struct BitWriter {
  uint8_t* out;
  unsigned bits = 0;
  void put(unsigned value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
      unsigned byte = bits / 8, shift = 7 - bits % 8;
      if (shift == 7) out[byte] = 0;
      if ((value >> i) & 1) out[byte] |= (uint8_t)(1u << shift);
      ++bits;
    }
  }
};

struct BitReader {
  uint8_t const* in;
  unsigned total;
  unsigned bits = 0;
  unsigned get(unsigned count) {
    unsigned v = 0;
    for (unsigned i = 0; i < count; ++i, ++bits)
      v = (v << 1) | ((in[bits / 8] >> (7 - bits % 8)) & 1);
    return v;
  }
  unsigned left() const { return total - bits; }
};

// Copies at most `limit` bytes of `text`; returns the count.
unsigned copyText(uint8_t* out, char const* text, unsigned limit) {
  unsigned n = (unsigned)strnlen(text, limit);
  memcpy(out, text, n);
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// CosClTraceEntry

unsigned CosClTraceEntry::compressCString(uint8_t* out, char const* text,
                                          unsigned limit) {
  if (text == nullptr || limit == 0) return 0;
  unsigned const maxBits = limit * 8;
  unsigned const stopBits = maxBits - 8;  // 2032 for 255 bytes
  BitWriter w{out};
  for (char const* p = text; *p != '\0' && w.bits <= stopBits; ++p) {
    unsigned code = codeOf((unsigned char)*p);
    if (code != kEscape) {
      w.put(code, 6);
    } else {
      if (w.bits + 14 > maxBits) break;
      w.put(kEscape, 6);
      w.put((unsigned char)*p, 8);
    }
  }
  unsigned rest = (8 - w.bits % 8) % 8;
  if (rest > 0) w.put((1u << rest) - 1, rest);
  return w.bits / 8;
}

unsigned CosClTraceEntry::deCompressCString(char* out, uint8_t const* in,
                                            unsigned storedLength) {
  BitReader r{in, storedLength * 8};
  unsigned n = 0;
  while (r.left() >= 6) {
    unsigned code = r.get(6);
    if (code == kEscape) {
      if (r.left() < 8) break;  // the fill bits of the last byte
      out[n++] = (char)r.get(8);
    } else {
      out[n++] = kAlphabet[code];
    }
  }
  out[n] = '\0';
  return n;
}

CosClTraceEntry::CosClTraceEntry(CosClTraceEnvironment& environment)
    : iv_rclEnvironment(environment), iv_uRecordLength(0), iv_pvData(nullptr) {
  memset(iv_aucRecord, 0, sizeof iv_aucRecord);
}

CosClTraceEntry::CosClTraceEntry(CosClTraceEnvironment& environment,
                                 CosEnTraceDetail detail, uint16_t componentId,
                                 CosEnTraceDataType type,
                                 char const* functionText,
                                 char const* messageText, void const* data,
                                 uint32_t length)
    : CosClTraceEntry(environment) {
  uint32_t t = (uint32_t)type;
  if (data == nullptr) {
    length = 0;
    t = (uint32_t)CosEnTraceDataType::DATA_NULL;
  } else if (length > environment.getBufferSize()) {
    length = environment.getBufferSize();
    t = (uint32_t)CosEnTraceDataType::DATA_CLIPPED;
  }
  iv_pvData = data;
  setType(t);
  setDetail((uint32_t)detail);
  iv_aucRecord[1] = (uint8_t)(componentId & 0xFF);
  setField(4, 0);
  setField(8, environment.getProcessId());
  setField(12, 0);
  setField(16, length);
  if (messageText == nullptr) messageText = "";
  if (functionText == nullptr) functionText = "";
  uint8_t* texts = iv_aucRecord + COS_TRACE_RECORD_HEADER_SIZE;
  unsigned m, f;
  if (environment.getSettings().hasFlag(COS_TRACE_FLAG_COMPRESS)) {
    iv_aucRecord[0] |= 0x20;
    m = compressCString(texts, messageText, COS_TRACE_TEXT_MAX);
    f = compressCString(texts + m, functionText, COS_TRACE_TEXT_MAX);
  } else {
    m = copyText(texts, messageText, COS_TRACE_TEXT_MAX);
    f = copyText(texts + m, functionText, COS_TRACE_TEXT_MAX);
  }
  iv_aucRecord[2] = (uint8_t)m;
  iv_aucRecord[3] = (uint8_t)f;
  iv_uRecordLength = COS_TRACE_RECORD_HEADER_SIZE + m + f;
}

CosClTraceEntry::~CosClTraceEntry() = default;

uint32_t CosClTraceEntry::getField(unsigned offset) const {
  uint32_t v;
  memcpy(&v, iv_aucRecord + offset, 4);
  return v;
}

void CosClTraceEntry::setField(unsigned offset, uint32_t value) {
  memcpy(iv_aucRecord + offset, &value, 4);
}

// ---------------------------------------------------------------------------
// CosClTraceBufferManager

struct CosClTraceBufferManager::Header {
  uint32_t marker;
  uint32_t ringSize;
  uint8_t* start;
  uint8_t* last;
  uint8_t* saved;
  uint8_t* write;
};

CosClTraceBufferManager::CosClTraceBufferManager(
    CosClResourceKeyABase const& key, void* buffer, uint32_t bufferSize)
    : iv_rclKey(key), iv_pucBuffer(static_cast<uint8_t*>(buffer)),
      iv_pfuHandler(nullptr), iv_pvHandlerData(nullptr), iv_bPending(false) {
  static_assert(sizeof(Header) == COS_TRACE_BUFFER_HEADER_SIZE,
                "buffer header size");
  Header* h = header();
  if (h->marker != MARKER) {
    h->marker = MARKER;
    h->ringSize = bufferSize - COS_TRACE_BUFFER_HEADER_SIZE;
    h->start = iv_pucBuffer + COS_TRACE_BUFFER_HEADER_SIZE;
    h->last = h->start + h->ringSize - 1;
    h->saved = h->start;
    h->write = h->start;
  }
}

CosClTraceBufferManager::Header* CosClTraceBufferManager::header() const {
  return reinterpret_cast<Header*>(iv_pucBuffer);
}

uint32_t CosClTraceBufferManager::getRingSize() const {
  return header()->ringSize;
}
uint32_t CosClTraceBufferManager::getWriteOffset() const {
  return (uint32_t)(header()->write - header()->start);
}
uint32_t CosClTraceBufferManager::getSavedOffset() const {
  return (uint32_t)(header()->saved - header()->start);
}

void CosClTraceBufferManager::write(CosClTraceEntry const& entry) {
  (void)iv_rclKey;  // the access guard it names does nothing here
  iv_bPending = true;
  write(entry.getRecord(), entry.getRecordLength());
  write(static_cast<uint8_t const*>(entry.getData()), entry.getDataLength());
}

void CosClTraceBufferManager::write(uint8_t const* bytes, uint32_t n) {
  if (n == 0) return;
  Header* h = header();
  uint32_t room = (uint32_t)(h->last - h->write + 1);
  if (n < room) {
    memcpy(h->write, bytes, n);
    h->write += n;
    return;
  }
  memcpy(h->write, bytes, room);
  h->write += room;  // one past the last byte
  overflow();
  uint32_t rest = n - room;
  memcpy(h->start, bytes + room, rest);
  h->write = h->start + rest;
}

void CosClTraceBufferManager::flush() {
  if (!iv_bPending) return;
  overflow();
  iv_bPending = false;
}

void CosClTraceBufferManager::overflow() {
  if (iv_pfuHandler == nullptr) return;
  Header* h = header();
  _CosStTraceBufferCallBackInfo info;
  info.data = iv_pvHandlerData;
  if (h->saved >= h->write) {
    info.firstStart = h->saved;
    info.firstLength = (uint32_t)(h->last + 1 - h->saved);
    info.secondStart = h->start;
    info.secondLength = (uint32_t)(h->write - h->start);
  } else {
    info.firstStart = h->saved;
    info.firstLength = (uint32_t)(h->write - h->saved);
    info.secondStart = h->write;
    info.secondLength = 0;
  }
  iv_pfuHandler(info);
  h->saved = h->write;
}

// ---------------------------------------------------------------------------
// Autosave handler.

namespace {

// Writes all of a span; false on a write error.
bool writeSpan(int fd, uint8_t const* data, uint32_t length, uint32_t& done) {
  while (length > 0) {
    ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= (uint32_t)n;
    done += (uint32_t)n;
  }
  return true;
}

}  // namespace

void cosTraceBufferOverflowHandler(_CosStTraceBufferCallBackInfo& info) {
  CosClTraceEnvironment* env = static_cast<CosClTraceEnvironment*>(info.data);
  // A name cut to fit its buffer would name another file: nothing is saved.
  if (env == nullptr || env->getFileName().isTooLong()) return;
  char const* name = env->getFileName().getAsCString();
  bool verbose = env->getSettings().hasFlag(COS_TRACE_FLAG_VERBOSE);
  if (verbose) {
    printf("[COS: TRACE: writing file: %s]\n", name);
    struct stat st;
    if (stat(name, &st) == 0 && st.st_size != 0)
      printf("[COS: TRACE: file exists with size: %lld]\n",
             (long long)st.st_size);
  }
  int fd = open(name, O_WRONLY | O_APPEND | O_CREAT, 0666);
  if (fd < 0) {
    if (verbose) {
      printf("[COS: TRACE: could not open: %s (errno: %d)]\n", name, errno);
      fflush(stdout);
    }
    return;
  }
  uint32_t done = 0;
  if (writeSpan(fd, info.firstStart, info.firstLength, done))
    writeSpan(fd, info.secondStart, info.secondLength, done);
  int status = close(fd);
  if (verbose) {
    printf("[COS: TRACE: bytes written: %u file status: %d]\n", done, status);
    fflush(stdout);
  }
}
