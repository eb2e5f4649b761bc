// dl_test_util.hpp: helpers of the document layer's tests: exact heap
// copies of byte strings (so that ASan sees any read past them), UTF-16
// literals as unsigned short strings, and the capture of an
// index-library exception.
#ifndef TESTS_ITL_DL_DL_TEST_UTIL_HPP
#define TESTS_ITL_DL_DL_TEST_UTIL_HPP

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "itl_error.hpp"

// `bytes` in a heap block of exactly their size.
class ExactBytes {
 public:
  explicit ExactBytes(std::string const& bytes)
      : m_size(bytes.size()), m_data(new char[bytes.size() ? bytes.size() : 1]) {
    if (!bytes.empty()) std::memcpy(m_data.get(), bytes.data(), bytes.size());
  }
  char const* data() const { return m_size ? m_data.get() : nullptr; }
  unsigned size() const { return static_cast<unsigned>(m_size); }

 private:
  size_t m_size;
  std::unique_ptr<char[]> m_data;
};

using U16 = std::basic_string<unsigned short>;

inline U16 u16(std::u16string const& s) { return U16(s.begin(), s.end()); }

// What an ItlClException carried, or reason -1 when none was thrown.
struct Caught {
  int reason = -1;
  int rc = -1;
  std::string context;
  std::string origin;
};

// What a context of `text` holds: at most 512 bytes, a longer one cut to
// 509 and ended by "...".
inline std::string contextOf(std::string const& text) {
  return text.size() <= 512 ? text : text.substr(0, 509) + "...";
}

inline Caught catchItl(std::function<void()> const& f) {
  Caught c;
  try {
    f();
  } catch (ItlClException const& e) {
    c.reason = e.getReasonCode();
    c.rc = e.getReturnCode();
    c.context = e.getContext();
    c.origin = e.getSourceFile();
  }
  return c;
}

// Parses a definition text into `model`; what it threw.
template <class Model>
Caught loadModel(Model& model, std::string const& text) {
  return catchItl([&] {
    model.loadFromBuffer(text.data(), static_cast<unsigned>(text.size()));
  });
}

// `defs` inside the root element `root`.
inline std::string inRoot(char const* root, std::string const& defs) {
  return std::string("<") + root + ">" + defs + "</" + root + ">";
}

// A definition a model refuses: reason, context and origin line (0: the
// origin is only checked to lie in the model's file).
struct Refusal {
  std::string text;
  int reason;
  std::string context;
  int line;
};

// Loads each text into a new Model; expects its refusal and an unloaded
// model. `file` is the origin without ":<line>".
template <class Model>
void expectRefusals(std::initializer_list<Refusal> cases,
                    std::string const& file) {
  for (Refusal const& c : cases) {
    ItlClErrorInfo info;
    Model m(info);
    Caught got = loadModel(m, c.text);
    EXPECT_EQ(got.reason, c.reason) << c.text;
    EXPECT_EQ(got.rc, 8) << c.text;
    EXPECT_EQ(got.context, contextOf(c.context)) << c.text;
    if (c.line != 0)
      EXPECT_EQ(got.origin, file + ":" + std::to_string(c.line)) << c.text;
    else
      EXPECT_EQ(got.origin.rfind(file + ":", 0), 0u) << got.origin;
    // Reasons of the compilation come after a complete parse.
    bool compiled = c.reason == 217 || c.reason == 218 || c.reason >= 650;
    EXPECT_EQ(m.isLoaded(), compiled) << c.text;
  }
}

#endif  // TESTS_ITL_DL_DL_TEST_UTIL_HPP
