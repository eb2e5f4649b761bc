// Fuzz target: the document input scanner. The first byte picks the CCSID
// from a list (UTF-8, the UCS-2 flavours with and without marks, Latin-1,
// GB18030, a Japanese mixed code page, an unsupported one); the rest is the
// document, in an exactly sized buffer. The converted text must fit the
// buffer and the skipped bytes count only marks; a second document on the
// same scanner must not see the first.
#include <cstring>
#include <memory>
#include <string>

#include "cos_exception.hpp"
#include "cos_memmgr.hpp"
#include "fuzz_input.hpp"
#include "itl_document_input_scanner.hpp"
#include "itl_error.hpp"

namespace {

uint32_t const kCcsids[] = {1208, 1200, 13488, 17584, 61955, 65500, 65501,
                            819,  1392, 943,   37,    9999};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  uint32_t ccsid = kCcsids[in.byte() % (sizeof kCcsids / sizeof kCcsids[0])];
  std::string doc = in.rest();
  std::unique_ptr<char[]> exact(new char[doc.size() + 1]);
  std::memcpy(exact.get(), doc.data(), doc.size());

  ItlClDocumentInputScanner scanner;
  CosClMemoryPool pool(4096, 4096, 256);
  for (int pass = 0; pass < 2; ++pass) {
    scanner.reset();
    try {
      scanner.setInputText(pool, exact.get(),
                           static_cast<unsigned>(doc.size()),
                           CosClCCSID(ccsid));
    } catch (ItlClException const& e) {
      FUZZ_CHECK(e.getReturnCode() == 8);
      continue;
    } catch (CosClException const&) {
      continue;
    }
    FUZZ_CHECK(scanner.getSkippedBytes() <= 7);
    unsigned n = 0;
    unsigned short const* text = scanner.getNextBuffer(n);
    FUZZ_CHECK((text == nullptr) == (n == 0));
    FUZZ_CHECK(2ull * n <= scanner.getBufferCapacity());
    unsigned sum = 0;
    for (unsigned i = 0; i < n; ++i) sum += text[i];
    (void)sum;
    FUZZ_CHECK(scanner.getNextBuffer(n) == nullptr && n == 0);
  }
  return 0;
}
