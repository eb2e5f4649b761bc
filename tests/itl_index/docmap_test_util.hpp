// Helpers of the document-number map tests: hex dumps, the reason and
// context of a thrown ItlClException, and writers of map files built byte
// by byte, independently of the code under test.
#ifndef TESTS_ITL_INDEX_DOCMAP_TEST_UTIL_HPP
#define TESTS_ITL_INDEX_DOCMAP_TEST_UTIL_HPP

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "itl_error.hpp"
#include "ti_test_util.hpp"

namespace docmap_test {

inline std::string hex(std::string const& bytes, size_t from = 0,
                       size_t count = std::string::npos) {
  std::string out;
  char b[4];
  for (size_t i = from; i < bytes.size() && i - from < count; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", out.empty() ? "" : " ",
                  static_cast<unsigned char>(bytes[i]));
    out += b;
  }
  return out;
}

// What an operation threw: reason (0 when nothing was thrown, -1 for any
// other exception) and the context text.
struct Thrown {
  int reason = 0;
  std::string context;
};

inline Thrown thrown(std::function<void()> const& f) {
  Thrown t;
  try {
    f();
  } catch (ItlClException const& e) {
    t.reason = e.getReasonCode();
    t.context = e.getContext();
  } catch (...) {
    t.reason = -1;
  }
  return t;
}

inline void put16(std::string& s, size_t at, uint16_t v) {
  if (s.size() < at + 2) s.resize(at + 2, '\0');
  for (int i = 0; i < 2; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void put32(std::string& s, size_t at, uint32_t v) {
  if (s.size() < at + 4) s.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void put64(std::string& s, size_t at, uint64_t v) {
  if (s.size() < at + 8) s.resize(at + 8, '\0');
  for (int i = 0; i < 8; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline uint64_t get64(std::string const& s, size_t at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}
inline uint32_t get32(std::string const& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

// A 44-byte data control record.
inline std::string dataCtl(uint64_t highest, uint32_t blocks, uint16_t size,
                           char const* eye = "DOCMAP DID") {
  std::string r(44, '\0');
  put64(r, 0, highest);
  put32(r, 8, blocks);
  r.replace(12, std::string(eye).size(), eye);
  put16(r, 42, size);
  return r;
}

// A 44-byte index control record.
inline std::string indexCtl(uint32_t entries, uint64_t documents,
                            uint16_t size, char const* eye = "DOCMAP DII") {
  std::string r(44, '\0');
  put32(r, 0, entries);
  put64(r, 4, documents);
  r.replace(12, std::string(eye).size(), eye);
  put16(r, 42, size);
  return r;
}

// A fixed-layout number-to-name block: entries (number, name) from the
// top slot down, names of `nameSize` bytes from offset 0.
inline std::string fixedBlock(
    std::vector<std::pair<uint64_t, std::string>> const& entries,
    uint16_t nameSize) {
  std::string b(32768, '\0');
  for (size_t i = 0; i < entries.size(); ++i) {
    put64(b, 32760 - 8 * i, entries[i].first);
    b.replace(i * nameSize, nameSize,
              entries[i].second + std::string(nameSize, '\0'), 0, nameSize);
  }
  return b;
}

}  // namespace docmap_test

#endif  // TESTS_ITL_INDEX_DOCMAP_TEST_UTIL_HPP
