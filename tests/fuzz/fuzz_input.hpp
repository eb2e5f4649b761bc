// Helpers of the fuzz targets: a reader that takes the choices of one run
// (small numbers, flags, lengths) from the front of the fuzzer's bytes and
// leaves the rest as the data under test, and a check that aborts with a
// message when an invariant of the code under test does not hold.
//
// Every target defines LLVMFuzzerTestOneInput. Built with libFuzzer it is
// driven by the fuzzer; built with replay_main.cpp it runs each file of a
// seed corpus once, as an ordinary test.
#ifndef TESTS_FUZZ_FUZZ_INPUT_HPP
#define TESTS_FUZZ_FUZZ_INPUT_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Aborts when `cond` is false: the fuzzer then keeps the input as a crash.
#define FUZZ_CHECK(cond)                                                   \
  do {                                                                     \
    if (!(cond)) {                                                         \
      std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__,     \
                   __LINE__, #cond);                                       \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

class FuzzInput {
 public:
  FuzzInput(uint8_t const* data, size_t size) : m_data(data), m_size(size) {}

  // The next byte, 0 when none is left.
  uint8_t byte() {
    if (m_size == 0) return 0;
    --m_size;
    return *m_data++;
  }
  bool flag() { return (byte() & 1) != 0; }
  // A number in [0, bound); 0 when bound is 0.
  uint32_t below(uint32_t bound) {
    uint32_t v = byte();
    v = (v << 8) | byte();
    return bound == 0 ? 0 : v % bound;
  }
  // Up to `max` bytes, fewer when the input ends.
  std::string take(size_t max) {
    size_t n = max < m_size ? max : m_size;
    std::string s(reinterpret_cast<char const*>(m_data), n);
    m_data += n;
    m_size -= n;
    return s;
  }
  // The rest of the input.
  std::string rest() { return take(m_size); }
  size_t left() const { return m_size; }
  uint8_t const* data() const { return m_data; }

 private:
  uint8_t const* m_data;
  size_t m_size;
};

#endif  // TESTS_FUZZ_FUZZ_INPUT_HPP
